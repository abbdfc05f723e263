// Memory facts for the memory error box, and the immediate process exit, on POSIX. The facts are
// the nearest Linux counterparts of GlobalMemoryStatus: physical memory from sysinfo and
// /proc/meminfo, the "page file" as the commit limit, virtual memory as the process's address space.
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/message.h"

namespace lvx::os {
namespace {

// The user part of the address space.
constexpr uint64_t kAddressSpaceTop = sizeof(void*) == 8 ? (uint64_t(1) << 47) : (uint64_t(3) << 30);
constexpr uint64_t kAddressSpaceBottom = 0x10000;  // below vm.mmap_min_addr nothing is mapped

// A "Key:  123 kB" value of /proc/meminfo or /proc/self/status, in bytes; false when absent.
bool ReadKb(const char* file, const char* key, uint64_t* bytes) {
  FILE* f = std::fopen(file, "re");
  if (f == nullptr) return false;
  char line[256];
  size_t keyLength = std::strlen(key);
  bool found = false;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':') {
      unsigned long long kb = 0;
      if (std::sscanf(line + keyLength + 1, "%llu", &kb) == 1) {
        *bytes = uint64_t(kb) * 1024u;
        found = true;
      }
      break;
    }
  }
  std::fclose(f);
  return found;
}

}  // namespace

MemoryFacts GetMemoryFacts() {
  MemoryFacts facts;
  struct sysinfo si;
  if (::sysinfo(&si) == 0) {
    uint64_t unit = si.mem_unit ? si.mem_unit : 1;
    facts.totalPhys = uint64_t(si.totalram) * unit;
    facts.availPhys = uint64_t(si.freeram) * unit;
    facts.totalPageFile = (uint64_t(si.totalram) + si.totalswap) * unit;
    facts.availPageFile = (uint64_t(si.freeram) + si.freeswap) * unit;
  }
  uint64_t value = 0;
  if (ReadKb("/proc/meminfo", "MemAvailable", &value)) facts.availPhys = value;
  uint64_t limit = 0, committed = 0;
  if (ReadKb("/proc/meminfo", "CommitLimit", &limit) &&
      ReadKb("/proc/meminfo", "Committed_AS", &committed)) {
    facts.totalPageFile = limit;
    facts.availPageFile = committed < limit ? limit - committed : 0;
  }
  facts.totalVirtual = kAddressSpaceTop;
  struct rlimit rl;
  if (::getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY &&
      uint64_t(rl.rlim_cur) < facts.totalVirtual)
    facts.totalVirtual = uint64_t(rl.rlim_cur);
  uint64_t used = 0;
  if (ReadKb("/proc/self/status", "VmSize", &used))
    facts.availVirtual = used < facts.totalVirtual ? facts.totalVirtual - used : 0;
  return facts;
}

uint64_t LargestFreeBlock() {
  FILE* f = std::fopen("/proc/self/maps", "re");
  if (f == nullptr) return 0;
  uint64_t largest = 0;
  uint64_t previousEnd = kAddressSpaceBottom;
  bool any = false;
  char line[512];
  while (std::fgets(line, sizeof line, f) != nullptr) {
    // A line longer than the buffer continues on the next fgets; only line starts hold ranges.
    bool whole = std::strchr(line, '\n') != nullptr;
    unsigned long long start = 0, end = 0;
    if (std::sscanf(line, "%llx-%llx", &start, &end) == 2) {
      any = true;
      uint64_t s = std::min<uint64_t>(start, kAddressSpaceTop);
      if (s > previousEnd) largest = std::max(largest, s - previousEnd);
      previousEnd = std::max<uint64_t>(previousEnd, end);
    }
    while (!whole && std::fgets(line, sizeof line, f) != nullptr)
      whole = std::strchr(line, '\n') != nullptr;
  }
  std::fclose(f);
  if (!any) return 0;
  if (kAddressSpaceTop > previousEnd) largest = std::max(largest, kAddressSpaceTop - previousEnd);
  return largest;
}

void ExitProcessNow(uint32_t code) { ::_exit(int(code)); }

}  // namespace lvx::os
