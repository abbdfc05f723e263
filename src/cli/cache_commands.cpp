#include "cli/cache_commands.h"

#include <cstdio>

#include "cache/dump.h"
#include "cache/state_file.h"
#include "indexer/cacher.h"
#include "platform/drive.h"
#include "platform/text.h"

namespace lvx::cli {

using cache::CDBMapFile;
using cache::NO_BLOCK;

namespace {

// Every fixed drive, as the program selects them by default.
uint32_t FixedDrives() {
  uint32_t mask = 0;
  for (int i = 0; i < 26; ++i) {
    std::u16string root{char16_t(u'A' + i), u':', u'\\'};
    if (os::DriveKindOf(root) == os::DriveKind::Fixed) mask |= 1u << i;
  }
  return mask;
}

}  // namespace

int RunBuild(const Args& args) {
  std::string cachePath;
  uint32_t mask = 0;
  bool maskGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (args[i] == "--drives" && i + 1 < args.size()) {
      if (!ParseDriveMask(args[++i], &mask)) {
        PrintError("--drives takes a hexadecimal mask such as 0x4 (drive C)");
        return kExitUsage;
      }
      maskGiven = true;
    } else if (args[i] == "--map" && i + 1 < args.size()) {
      if (int mapped = ApplyDriveMap(args[++i], &error); mapped != kExitOk) {
        PrintError(error);
        return mapped;
      }
    } else if (args[i].rfind("--", 0) == 0 || !cachePath.empty()) {
      PrintError("unexpected argument '" + args[i] + "'");
      return kExitUsage;
    } else {
      cachePath = args[i];
    }
  }
  if (cachePath.empty()) {
    PrintError("build needs the path of the cache file");
    return kExitUsage;
  }
  if (!maskGiven) mask = FixedDrives();

  cache::CacheContext context;
  context.SetPath(U16(cachePath));
  cache::StateFile state(cache::StateFile::BesideCacheFile(context.Path()));
  indexer::CCacher cacher(context, state);
  StderrStatus status;
  cacher.SetStatusSink(&status);
  int result = cacher.BuildNow(mask);
  if (result == -1) {
    PrintError("the build failed");
    return kExitFailed;
  }
  return kExitOk;
}

int RunDump(const Args& args) {
  if (args.size() != 1) {
    PrintError("dump takes the path of the cache file");
    return kExitUsage;
  }
  CDBMapFile file;
  if (!file.OpenForReading(U16(args[0]))) return kExitFailed;
  WarnIfUnfinished(U16(args[0]));
  cache::DumpResult result = cache::DumpCache(file, stdout);
  std::fflush(stdout);
  if (!result.ok) {
    PrintError(args[0] + ": " + result.error + "; please rebuild the cache");
    return kExitFailed;
  }
  std::printf("%u folder blocks, %u entries\n", result.blocks, result.records);
  return kExitOk;
}

int RunFind(const Args& args) {
  if (args.size() != 2) {
    PrintError("find takes the path of the cache file and a path such as C:\\Windows");
    return kExitUsage;
  }
  CDBMapFile file;
  if (!file.OpenForReading(U16(args[0]))) return kExitFailed;
  uint32_t child = NO_BLOCK, linkOffset = NO_BLOCK;
  std::u16string path = U16(args[1]);
  uint32_t record = file.FindPath(cache::kRootBlockOffset, path.c_str(), &child, &linkOffset);
  if (record == NO_BLOCK) {
    std::printf("NO_BLOCK\n");
    return kExitFailed;
  }
  cache::Record r;
  file.ReadRecord(record, 0, &r);
  auto text = [](uint32_t v) { return v == NO_BLOCK ? std::string("NO_BLOCK") : std::to_string(v); };
  std::printf("record %u  %s  %s\n", record, r.type == cache::RECORD_FILE ? "file" : "folder",
              U8(std::u16string(r.name, r.nameLength)).c_str());
  if (r.type == cache::RECORD_FILE)
    std::printf("size %u KB  child NO_BLOCK\n", r.sizeOrLink);
  else
    std::printf("link offset %s  child %s\n", text(linkOffset).c_str(), text(child).c_str());
  return kExitOk;
}

}  // namespace lvx::cli
