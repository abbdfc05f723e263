// Memory facts for the memory error box, and the immediate exit, on POSIX: physical memory and
// swap from sysinfo (memory and swap together stand for the page file), the process's address
// space from its limit and /proc.
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/message.h"

namespace lvx::os {
namespace {

// The user part of the address space; below 64 KB nothing is ever mapped.
constexpr uint64_t kAddressSpaceTop = sizeof(void*) == 8 ? (uint64_t(1) << 47) : (uint64_t(3) << 30);
constexpr uint64_t kAddressSpaceBottom = 0x10000;

}  // namespace

MemoryFacts GetMemoryFacts() {
  MemoryFacts f;
  struct sysinfo si;
  if (::sysinfo(&si) == 0) {
    uint64_t unit = si.mem_unit ? si.mem_unit : 1;
    f.totalPhys = uint64_t(si.totalram) * unit;
    f.availPhys = (uint64_t(si.freeram) + si.bufferram) * unit;
    f.totalPageFile = f.totalPhys + uint64_t(si.totalswap) * unit;
    f.availPageFile = f.availPhys + uint64_t(si.freeswap) * unit;
  }
  f.totalVirtual = kAddressSpaceTop;
  struct rlimit rl;
  if (::getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
    f.totalVirtual = std::min<uint64_t>(f.totalVirtual, rl.rlim_cur);
  unsigned long long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "re")) {
    if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  uint64_t used = pages * uint64_t(::sysconf(_SC_PAGESIZE));
  f.availVirtual = used < f.totalVirtual ? f.totalVirtual - used : 0;
  return f;
}

// The largest gap between the regions /proc/self/maps lists, up to the top of the address space.
uint64_t LargestFreeBlock() {
  FILE* maps = std::fopen("/proc/self/maps", "re");
  if (maps == nullptr) return 0;
  uint64_t largest = 0, previousEnd = kAddressSpaceBottom;
  unsigned long long start = 0, end = 0;
  int c = 0;
  while (std::fscanf(maps, "%llx-%llx", &start, &end) == 2) {
    uint64_t s = std::min<uint64_t>(start, kAddressSpaceTop);
    if (s > previousEnd) largest = std::max(largest, s - previousEnd);
    previousEnd = std::max<uint64_t>(previousEnd, end);
    while ((c = std::fgetc(maps)) != EOF && c != '\n') {
    }
  }
  std::fclose(maps);
  if (kAddressSpaceTop > previousEnd) largest = std::max(largest, kAddressSpaceTop - previousEnd);
  return largest;
}

void ExitProcessNow(uint32_t code) { ::_exit(int(code)); }

}  // namespace lvx::os
