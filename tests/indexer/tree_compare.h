// Reads a cached drive back as text lines, and lists the same drive from disk the same way, so that a
// test can compare the cache with the disk it was built from.
#pragma once

#include <string>
#include <vector>

#include "cache/map_file.h"

namespace lvx::test {

// "path|KB" for files, "path\\" for folders (path relative to the drive root), sorted. A damaged tree
// gives a line "DAMAGED".
std::vector<std::string> CachedTree(cache::CDBMapFile& file, char16_t letter);
// The same lines from the disk, through the OS layer's listing.
std::vector<std::string> DiskTree(const std::u16string& root);

}  // namespace lvx::test
