#pragma once

#include "cli/cli_common.h"

namespace lvx::cli {

// lvx build CACHE [--drives MASK] [--map L=DIR]...
int RunBuild(const Args& args);
// lvx dump CACHE
int RunDump(const Args& args);
// lvx find CACHE PATH
int RunFind(const Args& args);

}  // namespace lvx::cli
