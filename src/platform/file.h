// Files and file mappings. Handles are opaque; an invalid handle is returned on failure and the
// system error code is kept for LastError(), as GetLastError() keeps it on Windows.
#pragma once

#include "platform/os_types.h"

namespace lvx::os {

struct FileHandle {
  void* value = nullptr;
  bool IsValid() const { return value != nullptr; }
};
struct MappingHandle {
  void* value = nullptr;
  bool IsValid() const { return value != nullptr; }
};

// The error code of the last failing call of this layer on this thread.
uint32_t LastError();
void SetLastError(uint32_t code);
// The system's text for an error code ("The system cannot find the file specified.\r\n" on
// Windows), or empty when the system has none.
String SystemErrorText(uint32_t code);

// CreateFileW: path, desired access, share mode, creation disposition, flags and attributes.
// With kFlagDeleteOnClose the file vanishes when its last handle is closed.
FileHandle OpenFile(const String& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t flagsAndAttributes);
bool CloseFile(FileHandle file);
// Size of an open file; false on failure.
bool GetFileSize(FileHandle file, uint64_t* size);
// Reads and writes at the current position (used by the text and INI writers, not by the cache).
bool ReadFile(FileHandle file, void* buffer, uint32_t length, uint32_t* done);
bool WriteFile(FileHandle file, const void* buffer, uint32_t length, uint32_t* done);
// Sets the file length (extends with zeros or truncates).
bool SetFileSize(FileHandle file, uint64_t size);

// CreateFileMappingW: size 0 maps the whole current file; a size above the file's length extends a
// file opened for writing to that size.
MappingHandle CreateMapping(FileHandle file, uint32_t protection, uint32_t size);
bool CloseMapping(MappingHandle mapping);
// MapViewOfFile: length 0 maps from offset to the end of the mapping. Null on failure.
void* MapView(MappingHandle mapping, uint32_t access, uint32_t offset, uint32_t length);
bool UnmapView(void* view);

// File attributes of a path, or kInvalidAttributes (LastError set) when it cannot be had.
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;
uint32_t GetFileAttributes(const String& path);
bool FileExists(const String& path);  // exists and is not a folder
bool DeleteFile(const String& path);
bool CopyFile(const String& from, const String& to, bool failIfExists);
// MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED.
bool MoveFileReplace(const String& from, const String& to);
bool CreateDirectory(const String& path);
bool RemoveDirectory(const String& path);

}  // namespace lvx::os
