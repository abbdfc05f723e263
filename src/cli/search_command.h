#pragma once

#include <cstdio>

#include "cli/cli_common.h"

namespace lvx::cli {

// lvx search CACHE PATTERN [--location LOC] [--files | --folders] [--no-subdirs] [--min-kb N]
// [--max-kb N] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--drives MASK]
// [--sort name|location|size|type|date] [--flip] [--format FMT] [--count]
// Hits go to stdout, the status line to stderr. 0 done (also after an invalid location), 1 the
// search failed, 2 usage.
int RunSearchCommand(const Args& args);
// The same, writing hits to out and the status line to err.
int RunSearchCommand(const Args& args, std::FILE* out, std::FILE* err);

}  // namespace lvx::cli
