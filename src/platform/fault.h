// Test seam: makes the Nth call of a kind of OS operation fail with a chosen error, so that tests can
// fail step 1, then 2, then 3 ... of an operation and check what survives. Never armed in the program.
#pragma once

#include <cstdint>

namespace lvx::os::fault {

enum class Op {
  Open,   // OpenFile
  Map,    // CreateMapping
  View,   // MapView
  Write,  // WriteFile, SetFileSize, CopyFile, MoveFileReplace, DeleteFile, WriteProfileString
  List,   // FindFirstFile, FindNextFile
  kCount
};

// The nth call of op from now on (1 = the next one) fails with error. One failure per kind is armed
// at a time; arming again replaces it.
void FailNth(Op op, int n, uint32_t error);
// Every call of op from the nth on fails with error.
void FailFrom(Op op, int n, uint32_t error);
void Reset();
// How many calls of op were made since the last Reset (armed or not).
int Calls(Op op);

// For the backends: counts a call and tells whether it must fail (then LastError is set).
bool ShouldFail(Op op);

}  // namespace lvx::os::fault
