// The system's side of the message boxes on POSIX: errno values and their kinds, the C library's
// texts, memory facts (RAM and swap together standing for the page file), and the immediate exit.
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>

#include "platform/message.h"
#include "platform/posix/posix.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace lvx::os {
namespace {

thread_local uint32_t tLastError = 0;

// The user part of the address space; below 64 KB nothing is ever mapped.
constexpr uint64_t kAddressSpaceTop = sizeof(void*) == 8 ? (uint64_t(1) << 47) : (uint64_t(3) << 30);
constexpr uint64_t kAddressSpaceBottom = 0x10000;

}  // namespace

const ErrorCode kErrorCodes[] = {
    {Error::None, 0},          {Error::NotFound, ENOENT},      {Error::NotFound, ENOTDIR},
    {Error::Exists, EEXIST},   {Error::AccessDenied, EACCES},  {Error::AccessDenied, EPERM},
    {Error::AccessDenied, EROFS}, {Error::AccessDenied, EISDIR}, {Error::InUse, EBUSY},
    {Error::InUse, ETXTBSY},   {Error::DiskFull, ENOSPC},      {Error::DiskFull, EDQUOT},
    {Error::DiskFull, EFBIG},  {Error::OutOfMemory, ENOMEM},   {Error::OutOfMemory, EAGAIN},
    {Error::TooManyFiles, EMFILE}, {Error::TooManyFiles, ENFILE}, {Error::IoError, EIO},
};
const size_t kErrorCodeCount = std::size(kErrorCodes);

uint32_t LastError() { return tLastError; }
void SetLastError(uint32_t code) { tLastError = code; }

String SystemErrorText(uint32_t code) {
  const char* text = code < 4096 ? ::strerrordesc_np(int(code)) : nullptr;
  return text ? U16(text) + u"\r\n" : String();
}
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
  unsigned long long pages = 0;  // the process's size
  if (FILE* statm = std::fopen("/proc/self/statm", "re")) {
    if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  f.totalVirtual = kAddressSpaceTop;
  f.availVirtual = kAddressSpaceTop - std::min(kAddressSpaceTop, uint64_t(pages) * ::getpagesize());
  return f;
}

// The largest gap between the regions /proc/self/maps lists, up to the top of the address space.
uint64_t LargestFreeBlock() {
  FILE* maps = std::fopen("/proc/self/maps", "re");
  if (maps == nullptr) return 0;
  uint64_t largest = 0, previousEnd = kAddressSpaceBottom;
  unsigned long long start = 0, end = 0;
  while (std::fscanf(maps, "%llx-%llx%*[^\n]", &start, &end) == 2) {
    uint64_t from = std::min<uint64_t>(start, kAddressSpaceTop);
    if (from > previousEnd) largest = std::max(largest, from - previousEnd);
    previousEnd = std::max<uint64_t>(previousEnd, end);
  }
  std::fclose(maps);
  return std::max(largest, kAddressSpaceTop - std::min(previousEnd, kAddressSpaceTop));
}

void ExitProcessNow(uint32_t code) { ::_exit(int(code)); }

bool Thread::WaitDispatching(uintptr_t, uint32_t) { return true; }

}  // namespace lvx::os
