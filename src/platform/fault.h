// Test seam: makes the Nth call of a kind of OS operation fail with a chosen error (or the Nth call
// of any kind end the process), so that tests can stop an operation at step 1, 2, 3 ... and check
// what survives. Both backends ask ShouldFail before each call that can fail; the program never arms it.
#pragma once

#include "platform/os_types.h"

namespace lvx::os::fault {

enum class Op {
  Open,    // the opens and creates of files
  Read,    // reading a file, its size, what a path names, an INI value
  Write,   // writing a file; removing, copying, moving files, making folders; INI writes
  Map,     // mapping a file
  View,    // viewing part of a mapping
  List,    // listing a folder: its start and each entry
  Watch,   // starting a watch, each read of it, the long form of a path
  Thread,  // starting a thread
  Alloc,   // the engine's large buffers (asked by the engine itself: the backends allocate nothing)
  kCount
};

// The nth call of op from now on (1 = the next one) fails with error; arming again replaces it.
void FailNth(Op op, int n, Error error);
void FailFrom(Op op, int n, Error error);  // every call of op from the nth on
void Reset();
int Calls(Op op);  // calls of op since the last Reset (armed or not)
// The nth OS call of any kind from now on ends the process at once, as a kill there would.
void ExitAt(int n, int exitCode = 86);

// For the backends: counts a call and tells whether it must fail (then LastError is set).
bool ShouldFail(Op op);

}  // namespace lvx::os::fault
