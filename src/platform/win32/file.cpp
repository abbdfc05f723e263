// Files, mappings and INI files on Win32. INI values are read through a 32768-character buffer, so
// that a long value is cut, never overrun.
#include <vector>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/ini.h"
#include "platform/win32/win32.h"

namespace lvx::os {

using fault::Op;
using win32::W;

namespace {

File Open(const String& path, DWORD access, DWORD share, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  if (fault::ShouldFail(Op::Open)) return {};
  HANDLE h = ::CreateFileW(W(path), access, share, nullptr, disposition, flags, nullptr);
  return {reinterpret_cast<intptr_t>(h)};  // INVALID_HANDLE_VALUE is the layer's -1
}

HANDLE H(File file) { return reinterpret_cast<HANDLE>(file.id); }

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

}  // namespace

File OpenToRead(const String& path) {
  return Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

File OpenToReadAlone(const String& path) { return Open(path, GENERIC_READ, 0, OPEN_EXISTING); }
File OpenToUpdate(const String& path) { return Open(path, kReadWrite, FILE_SHARE_READ, OPEN_EXISTING); }
File CreateAnew(const String& path) { return Open(path, kReadWrite, 0, CREATE_ALWAYS); }

File CreateScratch(const String& path) {
  return Open(path, kReadWrite, 0, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL);
}

void Close(File& file) { file.IsOpen() && ::CloseHandle(H(file)), file = {}; }

bool SizeOf(File file, uint64_t* size) {
  LARGE_INTEGER li;
  if (fault::ShouldFail(Op::Read) || !::GetFileSizeEx(H(file), &li)) return false;
  *size = uint64_t(li.QuadPart);
  return true;
}

bool ReadFrom(File file, void* buffer, uint32_t length, uint32_t* done) {
  DWORD n = 0;
  *done = 0;
  if (fault::ShouldFail(Op::Read) || !::ReadFile(H(file), buffer, length, &n, nullptr)) return false;
  *done = n;
  return true;
}

bool WriteTo(File file, const void* buffer, uint32_t length) {
  DWORD n = 0;
  if (fault::ShouldFail(Op::Write) || !::WriteFile(H(file), buffer, length, &n, nullptr)) return false;
  return n == length;
}

Mapping Map(File file, uint32_t size, bool writable) {
  LARGE_INTEGER length;
  if (fault::ShouldFail(Op::Map)) return {};
  // A mapping of no file would be one of the page file.
  if (!file.IsOpen()) return ::SetLastError(ERROR_INVALID_HANDLE), Mapping{};
  if (size == 0 && !::GetFileSizeEx(H(file), &length)) return {};
  HANDLE h = ::CreateFileMappingW(H(file), nullptr, writable ? PAGE_READWRITE : PAGE_READONLY, 0,
                                  size, nullptr);
  if (h == nullptr) return {};
  return {reinterpret_cast<intptr_t>(h), size != 0 ? size : uint32_t(length.QuadPart), writable};
}

void Unmap(Mapping& mapping) { mapping.IsOpen() && ::CloseHandle(reinterpret_cast<HANDLE>(mapping.id)), mapping = {}; }

uint8_t* View(const Mapping& mapping, uint32_t offset, uint32_t length) {
  if (fault::ShouldFail(Op::View)) return nullptr;
  if (!mapping.IsOpen()) return ::SetLastError(ERROR_INVALID_HANDLE), nullptr;
  return static_cast<uint8_t*>(::MapViewOfFile(reinterpret_cast<HANDLE>(mapping.id),
                                               mapping.writable ? FILE_MAP_WRITE : FILE_MAP_READ,
                                               0, offset, length));
}

void Unview(uint8_t* view, uint32_t) { view != nullptr && ::UnmapViewOfFile(view); }

PathKind KindOf(const String& path) {
  DWORD attributes = fault::ShouldFail(Op::Read) ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(W(path));
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
  return ErrorOf(::GetLastError()) == Error::NotFound ? PathKind::Missing : PathKind::Unknown;
}

bool RemoveFile(const String& path) {
  return !fault::ShouldFail(Op::Write) && ::DeleteFileW(W(path));
}

bool CopyOver(const String& from, const String& to) {
  return !fault::ShouldFail(Op::Write) && ::CopyFileW(W(from), W(to), FALSE);
}

bool MoveOver(const String& from, const String& to) {
  // The bytes first (a mapping's too, once its views are gone), then the name, written through.
  File file = fault::ShouldFail(Op::Write) ? File{} : Open(from, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  bool flushed = file.IsOpen() && ::FlushFileBuffers(H(file));
  Close(file);
  return flushed && ::MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool MakeFolder(const String& path) {
  return !fault::ShouldFail(Op::Write) && ::CreateDirectoryW(W(path), nullptr);
}

String IniRead(const String& section, const String& key, const String& defaultValue, const String& file) {
  constexpr DWORD kChars = 32768;
  if (fault::ShouldFail(Op::Read)) return defaultValue.substr(0, kChars - 1);
  std::vector<wchar_t> buffer(kChars, L'\0');
  DWORD n = ::GetPrivateProfileStringW(W(section), W(key), W(defaultValue), buffer.data(), kChars, W(file));
  return String(win32::U(buffer.data()), n < kChars ? n : kChars - 1);
}

bool IniWrite(const String& section, const String& key, const String& value, const String& file) {
  return !fault::ShouldFail(Op::Write) && ::WritePrivateProfileStringW(W(section), W(key), W(value), W(file));
}

bool IniDelete(const String& section, const String& key, const String& file) {
  return !fault::ShouldFail(Op::Write) && ::WritePrivateProfileStringW(W(section), W(key), nullptr, W(file));
}

}  // namespace lvx::os
