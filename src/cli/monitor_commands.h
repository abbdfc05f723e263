#pragma once

#include "cli/cli_common.h"

namespace lvx::cli {

// lvx refresh CACHE REQUEST [--map L=DIR]...
int RunRefresh(const Args& args);
// lvx compact CACHE
int RunCompact(const Args& args);
// lvx watch CACHE [--drives MASK] [--map L=DIR]...
int RunWatch(const Args& args);

}  // namespace lvx::cli
