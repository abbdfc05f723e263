#include "indexer/cacher.h"

#include <cstring>

#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/message.h"
#include "indexer/stop_wait.h"
#include "platform/text.h"

namespace lvx::indexer {

using cache::CacheItem;
using cache::NO_BLOCK;

namespace {
const char16_t kTraverseMemory[] = u"Memory Allocation Failure! In CCacher::TraverseDirectory";
}  // namespace

CCacher::CCacher(cache::CacheContext& context, cache::IStateStore& state)
    : context_(context), state_(state) {}

CCacher::~CCacher() { Stop(); }

std::vector<std::u16string> CCacher::DriveList(uint32_t driveMask) {
  std::vector<std::u16string> roots;
  for (int i = 0; i < 26; ++i) {
    std::u16string root{char16_t(u'A' + i), u':', u'\\'};
    uint32_t type = os::GetDriveType(root);
    bool walkable = type == os::kDriveFixed || type == os::kDriveRemovable || type == os::kDriveRemote;
    if (walkable && (driveMask & (1u << i))) roots.push_back(root);
  }
  return roots;
}

bool CCacher::StartBuild(uint32_t driveMask) {
  if (thread_ && thread_->Finished()) thread_.reset();  // the build ended by itself
  if (thread_) return false;
  resumeEvent_.Set();
  paused_ = false;
  stop_ = false;
  driveMask_ = driveMask;
  thread_ = std::make_unique<os::Thread>([this] { return BuildThreadProc(); });
  if (!thread_->Start()) {
    thread_.reset();
    stop_ = true;
    return false;
  }
  return true;
}

void CCacher::Pause() {
  if (!thread_) return;
  resumeEvent_.Reset();
  paused_ = true;
}

void CCacher::Resume() {
  if (!thread_) return;
  paused_ = false;
  resumeEvent_.Set();
}

void CCacher::RequestStop() {
  stop_ = true;
  // A paused build waits on the resume event; wake it so that it sees the stop at once.
  resumeEvent_.Set();
}

void CCacher::Stop() {
  if (!thread_) return;
  RequestStop();
  // A build that does not end in time keeps its thread object: no second build may start on the
  // same scratch and cache file objects while it still runs.
  if (thread_->JoinDispatching(kStopWaitMs)) thread_.reset();
}

bool CCacher::WaitForBuild(uint32_t milliseconds) {
  if (!thread_) return true;
  if (!thread_->Join(milliseconds)) return false;
  thread_.reset();
  return true;
}

uint32_t CCacher::BuildThreadProc() {
  RunBuild();
  return 0;
}

int CCacher::RunBuild() {
  std::vector<std::u16string> drives = DriveList(driveMask_);
  state_.WriteState(u"UpdateCacheExit", u"FALSE");
  int result = BuildCache(drives);
  if (result != -2) state_.WriteState(u"UpdateCacheExit", u"TRUE");
  if (notify_) notify_->Notify(cache::NotifyCacheBuilt, 0);
  return result;
}

int CCacher::BuildNow(uint32_t driveMask) {
  if (thread_) return -1;
  resumeEvent_.Set();
  paused_ = false;
  stop_ = false;
  driveMask_ = driveMask;
  int result = RunBuild();
  stop_ = true;
  return result;
}

void CCacher::SetStatus(const std::u16string& text) {
  if (status_) status_->SetStatusText(text);
}

bool CCacher::SaveToCacheFile() {
  // A scratch file that lost its mapping holds nothing to copy: the cache file is left alone.
  if (scratchFull_ || !scratch_.IsOpen()) return false;
  uint32_t length = scratch_.AppendPosition();
  if (!cacheFile_.OpenMapFile(cachePath_, os::kGenericRead | os::kGenericWrite, os::kShareNone,
                              os::kCreateAlways, os::kAttributeNormal, os::kPageReadWrite, length,
                              os::kMapWrite))
    return false;
  scratch_.PutU32(cache::kDataEndOffset, length);
  scratch_.PutU32(cache::kMappedSizeOffset, length);
  bool copied = cacheFile_.CopyFileContents(scratch_, length);
  cacheFile_.CloseMapFile(false);
  return copied;
}

int CCacher::BuildCache(const std::vector<std::u16string>& driveList) {
  cachePath_ = context_.Path();
  if (!scratch_.OpenMapFile(cachePath_ + u".tmp", os::kGenericRead | os::kGenericWrite,
                            os::kShareNone, os::kCreateAlways,
                            os::kFlagDeleteOnClose | os::kAttributeNormal, os::kPageReadWrite,
                            scratchSize_ ? scratchSize_ : scratch_.GetMapSize(), os::kMapWrite))
    return -1;
  excludedFolder_ = os::NetworkNeighbourhoodFolder();
  if (!excludedFolder_.empty()) excludedFolder_ += u'\\';
  excludedLength_ = excludedFolder_.size();

  scratch_.SetAppendPosition(cache::kDataStart);
  items_ = totalSize_ = elapsed_ = 0;
  lastReported_ = NO_BLOCK;
  scratchFull_ = false;
  startTick_ = currentTick_ = os::TickCount();
  scratch_.PutU32(cache::kFormatWordOffset, cache::kFormatWord);
  scratch_.PutU32(cache::kDrivesDoneOffset, 0);
  scratch_.PutU32(cache::kDrivesBusyOffset, 0);
  scratch_.PutU32(cache::kFreeListHeadOffset, NO_BLOCK);

  // From the first moment there is an empty but valid cache file for searches to open.
  if (os::GetFileAttributes(cachePath_) == os::kInvalidAttributes &&
      (os::LastError() == os::kErrorFileNotFound || os::LastError() == os::kErrorPathNotFound)) {
    os::LockGuard hold(context_.cacheLock);
    SaveToCacheFile();
  }

  uint32_t rootPosition = cache::kRootRecordsOffset;
  uint32_t drivesDone = 0;
  bool stopped = false;
  std::u16string path;
  path.reserve(1024);
  for (int i = 0; i < 26; ++i) {
    ++items_;
    char16_t name[3] = {char16_t(u'A' + i), u':', 0};
    CacheItem drive{name, NO_BLOCK, 1, 0, 0};
    uint32_t linkOffset = NO_BLOCK;
    uint32_t appendPosition = scratch_.AppendPosition();
    scratch_.SetAppendPosition(rootPosition);
    scratch_.AppendRecord(drive, &linkOffset);
    scratch_.SetAppendPosition(appendPosition);
    rootPosition += cache::kDriveRecordLength;

    path.assign({name[0], u':', u'\\'});
    int walk = 0;
    bool walked = false;
    for (const std::u16string& root : driveList) {
      if (root == path) {
        walk = TraverseDirectory(path, linkOffset);
        walked = true;
        break;
      }
    }
    if (walk != -2) {
      drivesDone |= 1u << i;
      scratch_.PutU32(cache::kDrivesDoneOffset, drivesDone);
    }
    currentTick_ = os::TickCount();
    elapsed_ = currentTick_ - startTick_;
    // Only a walked drive changes what searches can find; a letter without a drive waits for the
    // next copy, which spares rewriting the whole file up to 25 times.
    if (walked) {
      os::LockGuard hold(context_.cacheLock);
      SaveToCacheFile();
    }
    if (walk == -2) {
      stopped = true;
      break;
    }
    if (scratchFull_) break;
  }
  scratch_.PutU16(rootPosition, cache::RECORD_END);
  scratch_.PutU32(cache::kRootBlockOffset, rootPosition + 2 - cache::kRootBlockOffset);
  if (!stopped) scratch_.PutU32(cache::kDrivesDoneOffset, cache::kAllDrivesDone);

  if (scratchFull_) {
    scratch_.CloseMapFile(false);
    return -1;
  }
  bool saved;
  {
    os::LockGuard hold(context_.cacheLock);
    saved = SaveToCacheFile();
    scratch_.CloseMapFile(false);  // delete-on-close: the system removes the scratch file
  }
  if (!saved) return -1;
  SetStatus(Format("[Caching is Finished] %d items cached,  %lus (%.1fGB)", int(items_),
                   static_cast<unsigned long>(elapsed_ / 1000), totalSize_ / 1048576.0));
  state_.WriteState(u"CacheFileSize", Format("%d", int(scratch_.AppendPosition() / 1048576)));
  state_.WriteState(u"CacheFileVersion", u"1");
  return stopped ? -2 : 0;
}

// Once the scratch file cannot grow (a full disk, the 40-window limit), the build is over: the
// failure is reported once, every later folder and entry is refused at once, and nothing is
// copied over the cache file.
bool CCacher::GrowScratch() {
  if (scratchFull_) return false;
  if (scratch_.CheckMapFileSize()) return true;
  scratchFull_ = true;
  return false;
}

// The room kept ahead of the append position is checked per folder; a folder with more than that
// many entries grows the scratch file again in the middle of its listing.
bool CCacher::AppendEntry(const CacheItem& item, uint32_t* linkOffset) {
  if (scratch_.AppendRecord(item, linkOffset)) return true;
  return GrowScratch() && scratch_.AppendRecord(item, linkOffset);
}

// Lists one folder into its block, then walks its subfolders in record order. path ends in '\\' and
// is restored before returning. 0 done, -1 this folder failed (the walk goes on), -2 stopped.
int CCacher::TraverseDirectory(std::u16string& path, uint32_t linkOffset) {
  if (StopRequested()) return -2;
  if (paused_) {
    resumeEvent_.Wait(os::kInfinite);
    if (StopRequested()) return -2;
  }
  if (!GrowScratch()) return -1;
  if (excludedLength_ != 0 && excludedLength_ == path.size() &&
      CompareFolded(path.c_str(), excludedFolder_.c_str()) == 0) {
    excludedLength_ = 0;
    return 0;
  }
  size_t folderLength = path.size();
  path += u'*';
  os::FindHandle find = os::FindFirstFile(path, &find_);
  path.resize(folderLength);

  uint32_t blockStart = scratch_.AppendPosition();
  scratch_.PutU32(linkOffset, blockStart);
  scratch_.SetAppendPosition(blockStart + 4);

  // Subfolders met in this folder: names packed in one buffer, each with its link offset.
  std::u16string subfolderNames;
  std::vector<std::pair<uint32_t, uint32_t>> subfolders;  // (name start, link offset)
  bool stopped = false;
  if (find.IsValid()) {
    do {
      if (StopRequested()) {
        stopped = true;
        break;
      }
      // "." and ".." are not counted, so the same count comes round again: report it once.
      if (items_ % 1000 == 0 && items_ != lastReported_) {
        lastReported_ = items_;
        currentTick_ = os::TickCount();
        SetStatus(Format("[Caching Drive %c ] %d items cached,  %lus (%.1fGB)", char(path[0]),
                         int(items_), static_cast<unsigned long>((currentTick_ - startTick_) / 1000),
                         totalSize_ / 1048576.0));
      }
      CacheItem item{find_.name, 0, 0, find_.lastWriteTime.low, find_.lastWriteTime.high};
      if (find_.IsDirectory()) {
        if (IsDotOrDotDot(find_.name)) continue;
        item.isFolder = 1;
        uint32_t childLink = NO_BLOCK;
        if (!AppendEntry(item, &childLink)) continue;
        subfolders.emplace_back(uint32_t(subfolderNames.size()), childLink);
        subfolderNames.append(find_.name);
        subfolderNames.push_back(0);
      } else {
        item.sizeOrLink = cache::SizeInKB(find_.sizeHigh, find_.sizeLow);
        totalSize_ += item.sizeOrLink;
        if (!AppendEntry(item, nullptr)) continue;
      }
      ++items_;
    } while (os::FindNextFile(find, &find_));
    os::FindClose(find);
  }
  if (scratch_.GetSpan(scratch_.AppendPosition(), cache::kEndMarkSize) == nullptr)
    GrowScratch();
  scratch_.AppendU16(cache::RECORD_END);
  scratch_.PutU32(blockStart, scratch_.AppendPosition() - blockStart);
  // A stop in the middle of a folder ends the walk: the drive is not complete.
  if (stopped) return -2;

  for (const auto& [nameStart, childLink] : subfolders) {
    path.append(subfolderNames.c_str() + nameStart);
    path += u'\\';
    int result = TraverseDirectory(path, childLink);
    path.resize(folderLength);
    if (result == -2) return -2;
  }
  return 0;
}

}  // namespace lvx::indexer
