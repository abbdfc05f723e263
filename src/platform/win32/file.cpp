// Files, mappings and error codes on Win32: each function is the system call of the same name, with
// the layer's null-is-invalid handles and the test seam of fault.h in front of the calls that change
// or open something.
#include "platform/win32/win32_api.h"

#include "platform/fault.h"
#include "platform/file.h"

namespace lvx::os {

using fault::Op;
using win32::W;

// The layer's constants are passed to the system unchanged.
static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE);
static_assert(kShareRead == FILE_SHARE_READ && kShareWrite == FILE_SHARE_WRITE &&
              kShareDelete == FILE_SHARE_DELETE);
static_assert(kCreateNew == CREATE_NEW && kCreateAlways == CREATE_ALWAYS &&
              kOpenExisting == OPEN_EXISTING && kOpenAlways == OPEN_ALWAYS);
static_assert(kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY &&
              kAttributeNormal == FILE_ATTRIBUTE_NORMAL &&
              kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT &&
              kFlagDeleteOnClose == FILE_FLAG_DELETE_ON_CLOSE);
static_assert(kPageReadOnly == PAGE_READONLY && kPageReadWrite == PAGE_READWRITE &&
              kMapWrite == FILE_MAP_WRITE && kMapRead == FILE_MAP_READ);
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorNoMoreFiles == ERROR_NO_MORE_FILES &&
              kErrorAlreadyExists == ERROR_ALREADY_EXISTS && kErrorDiskFull == ERROR_DISK_FULL &&
              kErrorCommitmentLimit == ERROR_COMMITMENT_LIMIT && kErrorTimeout == ERROR_TIMEOUT &&
              kErrorDirectoryNotEmpty == ERROR_DIR_NOT_EMPTY && kErrorFileExists == ERROR_FILE_EXISTS &&
              kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
              kErrorFilenameTooLong == ERROR_FILENAME_EXCED_RANGE);
static_assert(kInvalidAttributes == INVALID_FILE_ATTRIBUTES && kInfinite == INFINITE);

uint32_t LastError() { return ::GetLastError(); }

void SetLastError(uint32_t code) { ::SetLastError(code); }

namespace {

// The layer's null handle is "no handle"; the system would read NULL in some calls as a handle of
// its own kind (or answer with varying codes), so such calls stop here with ERROR_INVALID_HANDLE.
bool Invalid(const void* handle) {
  if (handle != nullptr) return false;
  ::SetLastError(ERROR_INVALID_HANDLE);
  return true;
}

// FormatMessageW into a system-allocated buffer; empty when the system has no text in that language.
String FormatSystemText(uint32_t code, DWORD language) {
  wchar_t* text = nullptr;
  DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  String out;
  if (n != 0 && text != nullptr) out.assign(win32::U(text), n);
  if (text != nullptr) ::LocalFree(text);
  return out;
}

}  // namespace

String SystemErrorText(uint32_t code) {
  // Asking for the text must not disturb the code a caller is about to report.
  DWORD saved = ::GetLastError();
  // US English first, as the boxes were written for; a system without English message resources
  // would otherwise show no box at all, so its own language follows.
  String text = FormatSystemText(code, 1033);
  if (text.empty()) text = FormatSystemText(code, 0);
  ::SetLastError(saved);
  return text;
}

FileHandle OpenFile(const String& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t flagsAndAttributes) {
  if (fault::ShouldFail(Op::Open)) return {};
  HANDLE h = ::CreateFileW(W(path), access, share, nullptr, disposition, flagsAndAttributes, nullptr);
  return {win32::FromSystemHandle(h)};
}

bool CloseFile(FileHandle file) {
  if (Invalid(file.value)) return false;
  return ::CloseHandle(file.value) != 0;
}

bool GetFileSize(FileHandle file, uint64_t* size) {
  if (Invalid(file.value)) return false;
  LARGE_INTEGER li;
  if (!::GetFileSizeEx(file.value, &li)) return false;
  if (size) *size = uint64_t(li.QuadPart);
  return true;
}

bool ReadFile(FileHandle file, void* buffer, uint32_t length, uint32_t* done) {
  if (done) *done = 0;
  if (Invalid(file.value)) return false;
  // The system wants somewhere to put the count even when the caller does not.
  DWORD n = 0;
  BOOL ok = ::ReadFile(file.value, buffer, length, &n, nullptr);
  if (done) *done = n;
  return ok != 0;
}

bool WriteFile(FileHandle file, const void* buffer, uint32_t length, uint32_t* done) {
  if (done) *done = 0;
  if (fault::ShouldFail(Op::Write) || Invalid(file.value)) return false;
  DWORD n = 0;
  BOOL ok = ::WriteFile(file.value, buffer, length, &n, nullptr);
  if (done) *done = n;
  return ok != 0;
}

bool SetFileSize(FileHandle file, uint64_t size) {
  if (fault::ShouldFail(Op::Write) || Invalid(file.value)) return false;
  // SetEndOfFile works at the file pointer; the pointer is put back afterwards so that a resize
  // leaves reads and writes where they were, as ftruncate does.
  LARGE_INTEGER zero{}, here{};
  if (!::SetFilePointerEx(file.value, zero, &here, FILE_CURRENT)) return false;
  LARGE_INTEGER target;
  target.QuadPart = LONGLONG(size);
  if (!::SetFilePointerEx(file.value, target, nullptr, FILE_BEGIN)) return false;
  BOOL ok = ::SetEndOfFile(file.value);
  DWORD error = ::GetLastError();
  ::SetFilePointerEx(file.value, here, nullptr, FILE_BEGIN);
  ::SetLastError(error);
  return ok != 0;
}

MappingHandle CreateMapping(FileHandle file, uint32_t protection, uint32_t size) {
  if (fault::ShouldFail(Op::Map) || Invalid(file.value)) return {};
  HANDLE h = ::CreateFileMappingW(file.value, nullptr, protection, 0, size, nullptr);
  return {h};
}

bool CloseMapping(MappingHandle mapping) {
  if (Invalid(mapping.value)) return false;
  return ::CloseHandle(mapping.value) != 0;
}

void* MapView(MappingHandle mapping, uint32_t access, uint32_t offset, uint32_t length) {
  if (fault::ShouldFail(Op::View) || Invalid(mapping.value)) return nullptr;
  return ::MapViewOfFile(mapping.value, access, 0, offset, length);
}

bool UnmapView(void* view) { return !Invalid(view) && ::UnmapViewOfFile(view) != 0; }

uint32_t GetFileAttributes(const String& path) { return ::GetFileAttributesW(W(path)); }

bool FileExists(const String& path) {
  DWORD a = ::GetFileAttributesW(W(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DeleteFile(const String& path) {
  if (fault::ShouldFail(Op::Write)) return false;
  return ::DeleteFileW(W(path)) != 0;
}

bool CopyFile(const String& from, const String& to, bool failIfExists) {
  if (fault::ShouldFail(Op::Write)) return false;
  return ::CopyFileW(W(from), W(to), failIfExists) != 0;
}

bool MoveFileReplace(const String& from, const String& to) {
  if (fault::ShouldFail(Op::Write)) return false;
  return ::MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool CreateDirectory(const String& path) { return ::CreateDirectoryW(W(path), nullptr) != 0; }

bool RemoveDirectory(const String& path) { return ::RemoveDirectoryW(W(path)) != 0; }

}  // namespace lvx::os
