// Memory facts for the memory error box, and the immediate process exit, on Win32.
#include "platform/win32/win32.h"

#include "platform/message.h"

namespace lvx::os {

MemoryFacts GetMemoryFacts() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  MemoryFacts facts;
  if (!::GlobalMemoryStatusEx(&status)) return facts;
  facts.availPhys = status.ullAvailPhys;
  facts.totalPhys = status.ullTotalPhys;
  facts.availPageFile = status.ullAvailPageFile;
  facts.totalPageFile = status.ullTotalPageFile;
  facts.availVirtual = status.ullAvailVirtual;
  facts.totalVirtual = status.ullTotalVirtual;
  return facts;
}

// Walks the address space region by region from address 0 until the system has no more regions to
// tell of. Free regions are the ones with a null allocation base; their state, MEM_FREE, says so
// directly.
uint64_t LargestFreeBlock() {
  uint64_t largest = 0;
  uintptr_t address = 0;
  for (;;) {
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) == 0) break;
    if (info.State == MEM_FREE && info.RegionSize > largest) largest = info.RegionSize;
    uintptr_t next = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (info.RegionSize == 0 || next <= address) break;  // wrapped past the top, or no progress
    address = next;
  }
  return largest;
}

void ExitProcessNow(uint32_t code) {
  ::ExitProcess(code);
}

}  // namespace lvx::os
