// The pending file: the requests still queued when the change monitor stopped, kept beside the cache
// file (its name + ".pending") so that the next start refreshes what changed before the stop.
//
//   "LVXPEND1" | u32 count | u32 FNV-1a of the entries | count x (u16 length | length UTF-16 units)
//
// little-endian. Each entry is a queue request (change_monitor_queue.h): an optional '#', '@' or
// '*', then a folder path "X:\...\" on drive letter X.
#pragma once

#include <string>
#include <vector>

namespace lvx::indexer {

std::u16string PendingFilePath(const std::u16string& cachePath);

// Writes a new file beside path and renames it over path; no requests remove the file. 0, or -1
// when a step failed (the file of the last successful write stays as it was).
int WritePendingFile(const std::u16string& path, const std::vector<std::u16string>& requests);

enum class PendingRead { Missing, Read, Damaged };
// Damaged: the file cannot be read in full, or its shape, checksum or an entry is wrong; no
// request is handed out then.
PendingRead ReadPendingFile(const std::u16string& path, std::vector<std::u16string>* requests);

}  // namespace lvx::indexer
