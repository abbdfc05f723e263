// Files as the engine uses them. Each open says what the file is for, and the backend asks its
// system for what that needs: on Windows the access and sharing that keep the cache's writers and
// readers apart; on POSIX, which has no sharing, a file is replaced by a new one instead of being
// cut short, so that a reader's view never loses its bytes. Failures leave LastError() set.
#pragma once

#include "platform/os_types.h"

namespace lvx::os {

// An open file: a HANDLE on Windows, a descriptor on POSIX; -1 when not open.
struct File {
  intptr_t id = -1;
  bool IsOpen() const { return id != -1; }
};

// An existing file, for reading, while others may read and change it (searches and the CLI).
File OpenToRead(const String& path);
// An existing file, for reading, that no one else may have open meanwhile (Windows).
File OpenToReadAlone(const String& path);
// An existing file, for reading and writing, that others may only read meanwhile.
File OpenToUpdate(const String& path);
// A new empty file in place of any file of that name, for reading and writing, alone.
File CreateAnew(const String& path);
// As CreateAnew, for a scratch file that vanishes when it is closed or the program ends.
File CreateScratch(const String& path);
void Close(File& file);

bool SizeOf(File file, uint64_t* size);
// Reads up to length bytes at the file position; fewer only at the end of the file.
bool ReadFrom(File file, void* buffer, uint32_t length, uint32_t* done);
// Writes all bytes at the file position.
bool WriteTo(File file, const void* buffer, uint32_t length);

// A file's bytes mapped into memory, viewed part by part. A mapping larger than a writable file
// makes it that long first, its space reserved, so that a full disk fails here, not in a view.
struct Mapping {
  intptr_t id = 0;  // Windows: the mapping object; POSIX: the file's descriptor
  uint32_t size = 0;
  bool writable = false;
  bool IsOpen() const { return size != 0; }
};
// size 0 maps the whole file (an empty file cannot be mapped).
Mapping Map(File file, uint32_t size, bool writable);
void Unmap(Mapping& mapping);
// length bytes from offset, a multiple of 65536, all inside the mapping; null on failure.
uint8_t* View(const Mapping& mapping, uint32_t offset, uint32_t length);
void Unview(uint8_t* view, uint32_t length);

enum class PathKind { Missing, File, Folder, Unknown };  // Unknown: there, but not to be examined
PathKind KindOf(const String& path);
inline bool FileExists(const String& path) { return KindOf(path) == PathKind::File; }
bool RemoveFile(const String& path);
// Copies a file's bytes and last-write time over another, or into a new one.
bool CopyOver(const String& from, const String& to);
// Puts a file in another's place in one step, flushed first: a crash leaves the one or the other.
bool MoveOver(const String& from, const String& to);
bool MakeFolder(const String& path);

}  // namespace lvx::os
