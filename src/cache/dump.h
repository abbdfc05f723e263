// Reads a whole cache file as a check of its structure and, optionally, prints it: the header
// fields, then the tree in pre-order (offset, type, name, size or link, time). Used by `lvx dump`
// and the fuzz target; never trusts the file.
#pragma once

#include <cstdio>
#include <string>

#include "cache/map_file.h"

namespace lvx::cache {

struct DumpResult {
  bool ok = false;
  std::string error;     // why the file was refused, when !ok
  uint32_t blocks = 0;   // folder blocks reached from the root
  uint32_t records = 0;  // file and folder records below the drives
};

// out may be null (check only).
DumpResult DumpCache(CDBMapFile& file, std::FILE* out);

}  // namespace lvx::cache
