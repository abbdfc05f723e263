// The system's side of the message boxes on Win32: GetLastError's codes and their kinds,
// FormatMessageW's texts, the memory facts, and the immediate exit.
#include <iterator>

#include "platform/message.h"
#include "platform/win32/win32.h"

namespace lvx::os {

const ErrorCode kErrorCodes[] = {
    {Error::None, ERROR_SUCCESS},           {Error::NotFound, ERROR_FILE_NOT_FOUND},
    {Error::NotFound, ERROR_PATH_NOT_FOUND}, {Error::Exists, ERROR_ALREADY_EXISTS},
    {Error::Exists, ERROR_FILE_EXISTS},     {Error::AccessDenied, ERROR_ACCESS_DENIED},
    {Error::InUse, ERROR_SHARING_VIOLATION}, {Error::InUse, ERROR_LOCK_VIOLATION},
    {Error::InUse, ERROR_USER_MAPPED_FILE}, {Error::DiskFull, ERROR_DISK_FULL},
    {Error::DiskFull, ERROR_HANDLE_DISK_FULL}, {Error::OutOfMemory, ERROR_NOT_ENOUGH_MEMORY},
    {Error::OutOfMemory, ERROR_OUTOFMEMORY}, {Error::OutOfMemory, ERROR_COMMITMENT_LIMIT},
    {Error::TooManyFiles, ERROR_TOO_MANY_OPEN_FILES}, {Error::IoError, ERROR_IO_DEVICE},
};
const size_t kErrorCodeCount = std::size(kErrorCodes);

uint32_t LastError() { return ::GetLastError(); }
void SetLastError(uint32_t code) { ::SetLastError(code); }

String SystemErrorText(uint32_t code) {
  // Asking for the text must not disturb the code a caller is about to report. US English first,
  // as the boxes were written for; a system without English messages gives its own language.
  DWORD saved = ::GetLastError();
  String out;
  for (DWORD language : {1033u, 0u}) {
    wchar_t* text = nullptr;  // allocated by the system
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = ::FormatMessageW(flags, nullptr, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n != 0 && text != nullptr) out.assign(win32::U(text), n);
    ::LocalFree(text);
    if (!out.empty()) break;
  }
  ::SetLastError(saved);
  return out;
}

MemoryFacts GetMemoryFacts() {
  MEMORYSTATUSEX s;
  s.dwLength = sizeof s;
  if (!::GlobalMemoryStatusEx(&s)) return {};
  return {s.ullAvailPhys,     s.ullTotalPhys,    s.ullAvailPageFile,
          s.ullTotalPageFile, s.ullAvailVirtual, s.ullTotalVirtual};
}

// Walks the address space region by region from address 0 until the system has no more regions to
// tell of (or the walk wraps past the top); free regions are those in state MEM_FREE.
uint64_t LargestFreeBlock() {
  uint64_t largest = 0;
  MEMORY_BASIC_INFORMATION info;
  for (uintptr_t at = 0, next; ::VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info);
       at = next) {
    if (info.State == MEM_FREE && info.RegionSize > largest) largest = info.RegionSize;
    next = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (next <= at) break;
  }
  return largest;
}

void ExitProcessNow(uint32_t code) { ::ExitProcess(code); }

}  // namespace lvx::os
