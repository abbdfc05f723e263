#include "indexer/cacher.h"

#include <algorithm>

#include "indexer/stop_wait.h"
#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::indexer {

using cache::CacheItem;
using cache::NO_BLOCK;

CCacher::CCacher(cache::CacheContext& context, cache::IStateStore& state)
    : context_(context), state_(state) {}

CCacher::~CCacher() {
  Stop();
  // A build that outlived the stop's wait still uses this object: wait for it.
  if (thread_) thread_->JoinDispatching(os::kInfinite);
}

std::vector<std::u16string> CCacher::DriveList(uint32_t driveMask) {
  std::vector<std::u16string> roots;
  for (int i = 0; i < 26; ++i) {
    std::u16string root{char16_t(u'A' + i), u':', u'\\'};
    os::DriveKind kind = os::DriveKindOf(root);
    bool walkable = kind == os::DriveKind::Fixed || kind == os::DriveKind::Removable ||
                    kind == os::DriveKind::Remote;
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
  os::LockGuard hold(context_.cacheLock);
  return writer_.CopyTo(cachePath_);
}

int CCacher::BuildCache(const std::vector<std::u16string>& driveList) {
  if (!BeginBuild()) return -1;
  uint32_t drivesDone = 0;
  bool stopped = false;
  for (int i = 0; i < 26 && !stopped && !writer_.Full(); ++i)
    stopped = BuildDrive(i, driveList, &drivesDone) == -2;
  return FinishBuild(stopped);
}

// Opens the scratch file and starts the counters. From the first moment there is an empty but valid
// cache file for searches to open.
bool CCacher::BeginBuild() {
  cachePath_ = context_.Path();
  if (!writer_.Create(cachePath_ + u".tmp", scratchSize_ ? scratchSize_ : writer_.MappingSize()))
    return false;
  excludedFolder_ = os::NetworkNeighbourhoodFolder();
  if (!excludedFolder_.empty()) excludedFolder_ += u'\\';
  excludedLength_ = excludedFolder_.size();
  items_ = totalSize_ = elapsed_ = 0;
  lastReported_ = NO_BLOCK;
  startTick_ = currentTick_ = os::TickCount();
  if (os::KindOf(cachePath_) == os::PathKind::Missing)
    SaveToCacheFile();
  return true;
}

// Writes the drive record of letter 'A' + index, walks the drive when it is in the list, and copies
// the scratch file over the cache file after a walk. Returns the walk's result (0 when not walked).
int CCacher::BuildDrive(int index, const std::vector<std::u16string>& driveList,
                        uint32_t* drivesDone) {
  ++items_;
  char16_t name[3] = {char16_t(u'A' + index), u':', 0};
  uint32_t linkOffset = NO_BLOCK;
  writer_.AddRootRecord(CacheItem{name, NO_BLOCK, 1, 0, 0}, &linkOffset);
  std::u16string path{name[0], u':', u'\\'};
  bool walked = std::find(driveList.begin(), driveList.end(), path) != driveList.end();
  int walk = 0;
  if (walked) {
    prefetcher_ = std::make_unique<FolderPrefetcher>(paused_, excludedFolder_);
    walk = TraverseDirectory(path, linkOffset, prefetcher_->Begin(path, listingThreads_));
    prefetcher_.reset();
  }
  if (walk != -2) {
    *drivesDone |= 1u << index;
    writer_.SetDrivesDone(*drivesDone);
  }
  currentTick_ = os::TickCount();
  elapsed_ = currentTick_ - startTick_;
  // Only a walked drive changes what searches can find; a letter without a drive waits for the
  // next copy, which spares rewriting the whole file up to 25 times.
  if (walked) SaveToCacheFile();
  return walk;
}

// Ends the root block, makes the last copy and reports. -1 when the scratch file could not grow or
// the last copy failed, else -2 when stopped or 0.
int CCacher::FinishBuild(bool stopped) {
  writer_.FinishRoot(!stopped);
  if (writer_.Full()) {
    writer_.Close();
    return -1;
  }
  bool saved;
  {
    os::LockGuard hold(context_.cacheLock);
    saved = writer_.CopyTo(cachePath_);
    writer_.Close();
  }
  if (!saved) return -1;
  SetStatus(Format("[Caching is Finished] %d items cached,  %lus (%.1fGB)", int(items_),
                   static_cast<unsigned long>(elapsed_ / 1000), TotalGB()));
  writer_.RecordInState(state_);
  return stopped ? -2 : 0;
}

// Subfolders met in one folder: each one's link offset and its place among the listing's
// subfolders, whose listing holds its path.
struct CCacher::Subfolders {
  struct Link {
    uint32_t offset;
    size_t subfolder;
  };
  std::vector<Link> links;
};

// Lists one folder into its block, then walks its subfolders in record order. path ends in '\\' and
// is restored before returning. 0 done, -1 this folder failed (the walk goes on), -2 stopped.
int CCacher::TraverseDirectory(std::u16string& path, uint32_t linkOffset, FolderPrefetcher::Listing* folder) {
  if (StopRequested()) return -2;
  if (paused_) {
    resumeEvent_.Wait(os::kInfinite);
    if (StopRequested()) return -2;
  }
  // The room kept ahead of the append position is checked per folder; a folder with more entries
  // than that grows the scratch file again in the middle of its listing.
  if (!writer_.ReserveRoom()) return -1;
  if (excludedLength_ != 0 && excludedLength_ == path.size() &&
      CompareFolded(path.c_str(), excludedFolder_.c_str()) == 0) {
    excludedLength_ = 0;
    return 0;
  }
  Subfolders subfolders;
  // A stop in the middle of a folder ends the walk: the drive is not complete.
  if (!ListFolder(path, linkOffset, folder, &subfolders)) return -2;
  size_t folderLength = path.size();
  for (const Subfolders::Link& link : subfolders.links) {
    path = folder->subfolders[link.subfolder]->path;
    int result = TraverseDirectory(path, link.offset, folder->subfolders[link.subfolder].get());
    // A stop leaves the listings to the prefetcher's end, which lets go of them all at once:
    // dropping a subtree that was left half walked costs a search of the queue per folder.
    path.resize(folderLength);
    if (result == -2) return -2;
    prefetcher_->Drop(folder, link.subfolder);
  }
  return 0;
}

// Writes the folder's block from its listing; a folder that cannot be listed gets an empty block.
// False when a stop request cut the listing short.
bool CCacher::ListFolder(std::u16string& path, uint32_t linkOffset, FolderPrefetcher::Listing* folder,
                         Subfolders* subfolders) {
  prefetcher_->Take(folder);
  uint32_t blockStart = writer_.BeginBlock(linkOffset);
  bool stopped = false;
  size_t subfolder = 0;
  for (const FolderPrefetcher::Entry& entry : folder->entries) {
    if (StopRequested()) {
      stopped = true;
      break;
    }
    ReportProgress(path[0]);
    const char16_t* name = folder->names.c_str() + entry.name;
    AddEntry(name, entry, subfolder, subfolders);
    subfolder += entry.isFolder && !IsDotOrDotDot(name);
  }
  prefetcher_->Release(folder);
  writer_.EndBlock(blockStart);
  return !stopped;
}

// "." and ".." are not counted, so the same count comes round again: it is reported once.
void CCacher::ReportProgress(char16_t drive) {
  if (items_ % 1000 != 0 || items_ == lastReported_) return;
  lastReported_ = items_;
  currentTick_ = os::TickCount();
  SetStatus(Format("[Caching Drive %c ] %d items cached,  %lus (%.1fGB)", char(drive), int(items_),
                   static_cast<unsigned long>((currentTick_ - startTick_) / 1000), TotalGB()));
}

// Appends the record of the entry just listed; a folder is remembered for the walk below.
void CCacher::AddEntry(const char16_t* name, const FolderPrefetcher::Entry& entry, size_t subfolder,
                       Subfolders* subfolders) {
  CacheItem item{name, 0, 0, entry.lastWriteTime.low, entry.lastWriteTime.high};
  if (entry.isFolder) {
    if (IsDotOrDotDot(name)) return;
    item.isFolder = 1;
    uint32_t childLink = NO_BLOCK;
    if (!writer_.AppendRecord(item, &childLink)) return;
    subfolders->links.push_back({childLink, subfolder});
  } else {
    item.sizeOrLink = cache::SizeInKB(entry.sizeHigh, entry.sizeLow);
    totalSize_ += item.sizeOrLink;
    if (!writer_.AppendRecord(item, nullptr)) return;
  }
  ++items_;
}

}  // namespace lvx::indexer
