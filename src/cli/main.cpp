// lvx: the engine's command-line front end.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cache_commands.h"
#include "cli/cli_common.h"
#include "cli/monitor_commands.h"
#include "cli/search_command.h"

#ifdef _WIN32
#include "platform/text.h"
#endif

namespace lvx::cli {
namespace {

const char kUsage[] =
    "usage: lvx COMMAND ...\n"
    "  lvx build CACHE [--drives MASK] [--map L=DIR]...   build the cache of the drives in MASK\n"
    "                                                      (hexadecimal, default: every fixed drive)\n"
    "  lvx dump CACHE                                      print the header and the tree\n"
    "  lvx find CACHE PATH                                 look a path up (e.g. C:\\Windows)\n"
    "  lvx search CACHE PATTERN [--location LOC] [--files | --folders] [--no-subdirs]\n"
    "             [--min-kb N] [--max-kb N] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--drives MASK]\n"
    "             [--sort name|location|size|type|date] [--flip] [--format FMT] [--count]\n"
    "                                                      search as the main window searches\n"
    "  lvx refresh CACHE REQUEST [--map L=DIR]...          refresh one folder: \"#C:\\A\\\" (whole\n"
    "                                                      subtree), \"@C:\\\" or \"C:\\A\\\"\n"
    "  lvx compact CACHE                                   compact the cache file\n"
    "  lvx watch CACHE [--drives MASK] [--map L=DIR]...    keep the cache current until Ctrl+C\n"
    "  --map C=/some/dir (POSIX only) lets drive letter C stand for a folder.\n";

int Main(const Args& all) {
  if (all.size() < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  InstallStderrMessages();
  static const struct {
    const char* name;
    int (*run)(const Args&);
  } kCommands[] = {{"build", RunBuild},       {"dump", RunDump},       {"find", RunFind},
                   {"search", RunSearchCommand}, {"refresh", RunRefresh}, {"compact", RunCompact},
                   {"watch", RunWatch}};
  const std::string command = all[1];
  if (command == "--help" || command == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  const Args args(all.begin() + 2, all.end());
  int result = kExitUsage;
  auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                            [&command](const auto& c) { return command == c.name; });
  if (found != std::end(kCommands))
    result = found->run(args);
  else
    PrintError("unknown command '" + command + "'");
  if (result == kExitUsage) std::fputs(kUsage, stderr);
  return result;
}

}  // namespace
}  // namespace lvx::cli

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  lvx::cli::Args args;
  for (int i = 0; i < argc; ++i)
    args.push_back(lvx::U8(reinterpret_cast<const char16_t*>(argv[i])));
  return lvx::cli::Main(args);
}
#else
int main(int argc, char** argv) { return lvx::cli::Main(lvx::cli::Args(argv, argv + argc)); }
#endif
