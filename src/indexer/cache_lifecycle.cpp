#include "indexer/cache_lifecycle.h"

#include "cache/defragmenter.h"
#include "cache/map_file.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::indexer {

using cache::CDBMapFile;
using cache::NO_BLOCK;

const char16_t kAbnormalEndQuestion[] =
    u"Program terminated abnormally last time, Trackmind may be interfered.\r\n\r\n"
    u"Would you like to update cache now?(not a must)";

namespace {

// A state value read as a number; a negative one counts as 0, as the profile functions read them.
uint32_t Number(const std::u16string& text) {
  int32_t value = LeadingDecimal(text);
  return value < 0 ? 0 : uint32_t(value);
}

// A failure's text, followed by the system's own words for its cause when there are any.
std::u16string WithReason(const std::u16string& text, uint32_t code) {
  std::u16string reason = code != 0 ? os::SystemErrorText(code) : std::u16string();
  return reason.empty() ? text : text + u"\r\n" + reason;
}

}  // namespace

void RemoveLeftovers(const std::u16string& cachePath) {
  for (const char16_t* suffix : {u".tmp", u".frag", cache::kReplacementSuffix, u".pending.new"})
    if (os::KindOf(cachePath + suffix) == os::PathKind::File) os::RemoveFile(cachePath + suffix);
}

std::u16string CacheFilePath(const std::u16string& dataFolder, const std::u16string& fileName) {
  std::u16string folder = dataFolder;
  if (!folder.empty() && folder.back() == u'\\') folder.pop_back();
  return folder + u"\\" + (fileName.empty() ? u"default.db" : fileName);
}

bool CacheUsable(const std::u16string& cachePath, cache::IStateStore& state) {
  return os::FileExists(cachePath) && Number(state.ReadState(u"CacheFileVersion", u"0")) >= 1;
}

StartupDecision DecideAtStartup(const std::u16string& cachePath, cache::IStateStore& state,
                                const StartupOptions& options, IStartupQuestion& question) {
  StartupDecision decision;
  os::File file = os::OpenToReadAlone(cachePath);
  if (file.IsOpen()) {
    uint64_t size = 0;
    if (os::SizeOf(file, &size)) decision.fileSizeMB = uint32_t(size / cache::kBytesPerMB);
    os::Close(file);
  }
  decision.usable = CacheUsable(cachePath, state);
  decision.startWatchers = options.realtimeUpdate;
  if (!decision.usable) {
    decision.action = StartupAction::Build;
    return decision;
  }
  {
    // Without the file's facts, it counts as an unfinished build that was being changed.
    decision.drivesDone = 0;
    decision.drivesBusy = 0xFFFFFFFFu;
    CDBMapFile cache;
    bool opened;
    {
      os::QuietMessages quiet;
      opened = cache.OpenForReading(cachePath);
    }
    if (opened) {
      if (!cache.GetU32(cache::kDrivesDoneOffset, &decision.drivesDone)) decision.drivesDone = 0;
      if (!cache.GetU32(cache::kDrivesBusyOffset, &decision.drivesBusy))
        decision.drivesBusy = 0xFFFFFFFFu;
    }
  }
  decision.startDrains = options.realtimeUpdate;
  if (options.firstRun) return decision;
  if (decision.drivesDone != cache::kAllDrivesDone) {
    decision.action = StartupAction::Build;
    return decision;
  }
  if (decision.drivesBusy != 0 && options.checkIntegrity) {
    bool rebuild = true;
    if (options.showWarnings) {
      decision.asked = true;
      rebuild = question.Ask(kAbnormalEndQuestion);
    }
    if (rebuild) {
      decision.action = StartupAction::Build;
      return decision;
    }
  }
  // Compared in 64 bits: a recorded size near the top of 32 bits must not wrap into "grown".
  uint64_t recorded = Number(state.ReadState(u"CacheFileSize", u"0"));
  if (decision.fileSizeMB == 0 || decision.fileSizeMB >= recorded + 9)
    decision.action = StartupAction::Compact;
  return decision;
}

CacheLifecycle::CacheLifecycle(cache::CacheContext& context, cache::IStateStore& state,
                               CCacher& cacher, ChangeMonitor& monitor)
    : context_(context), state_(state), cacher_(cacher), monitor_(monitor) {}

StartupDecision CacheLifecycle::StartupCheck(const StartupOptions& options,
                                             IStartupQuestion& question) {
  RemoveLeftovers(context_.Path());
  StartupDecision decision = DecideAtStartup(context_.Path(), state_, options, question);
  // Changes seen before the last stop but not yet refreshed wait for the drains like new ones.
  monitor_.ApplyPending(options.driveMask);
  if (decision.startWatchers) monitor_.StartWatchers(options.driveMask);
  if (decision.startDrains) monitor_.StartDrains(options.driveMask);
  switch (decision.action) {
    case StartupAction::Build:
      // A build recreates the cache file: no refresh may have it open meanwhile. The build's end
      // (NotifyCacheBuilt) starts the refresh threads again.
      monitor_.StopDrains();
      cacher_.StartBuild(options.driveMask);
      break;
    case StartupAction::Compact:
      DefragCacheFile(options.driveMask);
      break;
    case StartupAction::None:
      break;
  }
  state_.WriteState(u"ProgramExit", u"FALSE");
  return decision;
}

void CacheLifecycle::StopDrains(bool* wereRunning) {
  *wereRunning = monitor_.AnyDrainRunning();
  monitor_.StopDrains();
}

// Only the threads that ran before the operation come back: switching real-time updating off is
// not undone by a compaction, a save or a load.
void CacheLifecycle::RestartDrains(bool wereRunning, uint32_t driveMask) {
  if (wereRunning) monitor_.StartDrains(driveMask);
}

int CacheLifecycle::DefragCacheFile(uint32_t driveMask) {
  bool wereRunning = false;
  StopDrains(&wereRunning);
  cache::CacheDefragmenter defragmenter;
  int result = defragmenter.Defragment(context_.Path(), state_);
  RestartDrains(wereRunning, driveMask);
  return result;
}

bool CacheLifecycle::SaveCacheFileAs(const std::u16string& target, uint32_t driveMask) {
  // The build's next copy would overwrite a loaded file, and a saved one would be half a build.
  if (cacher_.IsRunning()) {
    os::ErrorBox(u"Can not save file as " + target + u" while the cache is being built.");
    return false;
  }
  std::u16string cachePath = context_.Path();
  bool wereRunning = false;
  StopDrains(&wereRunning);
  bool saved = os::CopyOver(cachePath, target);
  if (!saved) os::ErrorBox(WithReason(u"Can not save file as " + target, os::LastError()));
  RestartDrains(wereRunning, driveMask);
  return saved;
}

// Beyond the header, which the open checks: a root block of at most 26 records whose links lie
// among the blocks.
bool CacheLifecycle::LooksLikeCacheFile(CDBMapFile& file) {
  uint32_t dataEnd = 0;
  file.GetU32(cache::kDataEndOffset, &dataEnd);
  cache::BlockCursor root(file, cache::kRootBlockOffset);
  cache::Record record;
  int drives = 0;
  while (root.Next(&record)) {
    if (++drives > 26) return false;
    if (record.type == cache::RECORD_FOLDER && record.sizeOrLink != NO_BLOCK &&
        (record.sizeOrLink < cache::kDataStart || record.sizeOrLink >= dataEnd))
      return false;
  }
  return !root.Damaged();
}

// The old cache file is kept as ".bak" first; then a copy of the chosen file replaces the cache file
// in one step, so that a failure or a crash at any moment leaves the old cache or the loaded one.
bool CacheLifecycle::LoadCacheFile(const std::u16string& source, uint32_t driveMask) {
  if (cacher_.IsRunning()) {
    os::ErrorBox(u"Can not load file " + source + u" while the cache is being built.");
    return false;
  }
  std::u16string cachePath = context_.Path();
  CDBMapFile chosen;
  bool loaded = false, wereRunning = false;
  uint32_t code = 0;  // the system's code of a failure that has one
  {
    os::QuietMessages quiet;  // the load's own message says what failed
    loaded = chosen.OpenForReading(source);
    if (!loaded && !chosen.Damaged()) code = os::LastError();
  }
  loaded = loaded && LooksLikeCacheFile(chosen);
  if (loaded) {
    StopDrains(&wereRunning);
    os::LockGuard hold(context_.cacheLock);  // no search maps the cache again before it is replaced
    loaded = (os::KindOf(cachePath) == os::PathKind::Missing || os::CopyOver(cachePath, cachePath + u".bak")) &&
             cache::ReplaceCacheFile(chosen, chosen.GetMapSize(), cachePath);
    if (!loaded) code = os::LastError();
  }
  chosen.CloseMapFile(false);
  if (!loaded) os::ErrorBox(WithReason(u"Can not load file " + source, code));
  RestartDrains(wereRunning, driveMask);
  return loaded;
}

}  // namespace lvx::indexer
