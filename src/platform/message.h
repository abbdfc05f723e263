// Where the program's message boxes go. The engine never shows a box itself: it calls the sink the
// program installed (the window shows a "Lumivex" box; the CLI prints; tests record). The three
// error boxes build their texts here, from the system's error text and memory facts.
#pragma once

#include <functional>

#include "platform/os_types.h"

namespace lvx::os {

// Receives the text of one message box. Called from any thread; a sink must be thread-safe.
using MessageSink = std::function<void(const String& text)>;
// Installs a sink and returns the previous one. The default sink writes the text to stderr.
MessageSink SetMessageSink(MessageSink sink);

// While one is alive, the boxes of the calling thread are not shown (a check that expects failures,
// such as looking at a file that may not be a cache database). Other threads are not affected.
struct QuietMessages {
  QuietMessages();
  ~QuietMessages();
  QuietMessages(const QuietMessages&) = delete;
};

// While one is alive, the boxes of the calling thread are held back and shown when it ends (a thread
// that holds a lock others wait for shows its boxes after releasing it). Nested ones show at the end
// of the outermost.
struct DeferredMessages {
  DeferredMessages();
  ~DeferredMessages();
  DeferredMessages(const DeferredMessages&) = delete;
};
// Shows the calling thread's held-back boxes now (before the process ends at once).
void FlushDeferredMessages();

void ErrorBox(const String& text);
// "ErrorCode = %lu, %s\r\n%s" with the system text of code and where; nothing when the system has
// no text for the code.
void SystemErrorBox(uint32_t code, const String& where);
// As SystemErrorBox, followed by the request size, the largest free block of the address space and
// the memory text.
void MemoryErrorBox(uint32_t code, uint32_t requestSize, const String& where);

struct MemoryFacts {
  uint64_t availPhys = 0, totalPhys = 0;
  uint64_t availPageFile = 0, totalPageFile = 0;
  uint64_t availVirtual = 0, totalVirtual = 0;
};
MemoryFacts GetMemoryFacts();
// The size of the largest free region of the address space (0 when it cannot be had).
uint64_t LargestFreeBlock();
// "Memory :\t%lu Bytes / %lu Bytes\r\nPageFile :\t...\r\nVirtualMemory :\t...\r\n".
String MemoryText(const MemoryFacts& facts);

// Ends the process at once with the exit code, no clean-up (a failed window mapping).
[[noreturn]] void ExitProcessNow(uint32_t code);

}  // namespace lvx::os
