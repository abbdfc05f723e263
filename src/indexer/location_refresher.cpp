#include "indexer/location_refresher.h"

#include "platform/dir.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::indexer {

using cache::CacheItem;
using cache::NO_BLOCK;

// What one refresh has stored so far, so that an abandoned refresh can be undone.
struct CLocationRefresher::Scan {
  std::vector<uint32_t> storedBlocks;
};

CLocationRefresher::CLocationRefresher(cache::CacheContext& context) : context_(context) {}

CLocationRefresher::~CLocationRefresher() {
  // A drain thread that outlived a stop's wait (kept by KeepDrainThread) still uses this object:
  // wait for it, dispatching the window messages its progress text may need.
  std::unique_ptr<os::Thread> thread = RequestDrainStop();
  if (thread) thread->JoinDispatching(os::kInfinite);
}

void CLocationRefresher::Progress(bool finished) {
  currentTick_ = os::TickCount();
  if (status_ == nullptr) return;
  std::u16string counts = Format(" %d items cached , %lus ", int(items_),
                                 static_cast<unsigned long>((currentTick_ - startTick_) / 1000));
  if (finished)
    status_->SetStatusText(u"[Refreshing Location " +
                           locationText_.substr(0, locationText_.size() - 1) + u" Finished]" +
                           counts);
  else
    status_->SetStatusText(u"[Refreshing Location " + locationText_ + u" ]" + counts);
}

int CLocationRefresher::RefreshLocation(const std::u16string& request) {
  std::u16string path = request;
  full_ = progress_ = false;
  items_ = 0;
  bool postEnd = false;
  if (!path.empty() && path[0] == ChangeQueue::kSubtree) {
    full_ = true;
    path.erase(0, 1);
  } else if (!path.empty() && (path[0] == u'#' || path[0] == u'@')) {
    full_ = path[0] == u'#';
    progress_ = true;
    postEnd = true;
    startTick_ = os::TickCount();
    path.erase(0, 1);
  }
  // No location at all names nothing in the cache.
  if (path.empty()) return -1;
  if (cachePath_.empty()) cachePath_ = context_.Path();
  if (!cacheFile_.OpenForUpdate(cachePath_)) return -1;
  // A location is a folder: without its backslash the pattern would list the folder's siblings.
  if (path.back() != u'\\') path.push_back(u'\\');
  std::u16string lookup = path;
  lookup.pop_back();
  uint32_t oldBlock = NO_BLOCK, linkOffset = NO_BLOCK;
  uint32_t recordOffset = cacheFile_.FindPath(cache::kRootBlockOffset, lookup.c_str(), &oldBlock,
                                              &linkOffset);
  cache::Record record;
  int drive = DriveIndex(path[0]);
  if (recordOffset == NO_BLOCK || !cacheFile_.ReadRecord(recordOffset, 0, &record) ||
      record.type != cache::RECORD_FOLDER || drive < 0) {
    cacheFile_.CloseMapFile(false);
    return -1;
  }
  uint32_t bit = 1u << drive;

  bool freedOldTree = false;
  if (full_ && oldBlock != NO_BLOCK) {
    freedOldTree = true;
    os::LockGuard hold(context_.cacheLock);
    cacheFile_.SetDriveBusy(bit, true);
    cacheFile_.FreeBlock(oldBlock);
    // The link must not name freed space while the scan below may reuse it.
    cacheFile_.PutU32(linkOffset, NO_BLOCK);
    cacheFile_.SetDriveBusy(bit, false);
    oldBlock = NO_BLOCK;
  }

  locationText_ = path + u"*";
  std::u16string pattern = locationText_;
  Scan scan;
  cache::BlockBuilder block;
  int scanned = ScanFolder(pattern, &block, oldBlock, scan);
  if (scanned != 0) {
    Abandon(scan, oldBlock, bit, freedOldTree);
    return scanned;
  }
  int replaced;
  {
    os::LockGuard hold(context_.cacheLock);
    cacheFile_.SetDriveBusy(bit, true);
    replaced = cacheFile_.ReplaceBlock(block.Finish(), oldBlock, linkOffset);
    if (replaced == 0) cacheFile_.SetDriveBusy(bit, false);
  }
  if (replaced != 0) {
    // The file could not be grown: the old block stays, its taken-over folders are given back, and
    // the drive's busy bit stays set so that the next start offers a rebuild.
    Abandon(scan, oldBlock, bit, true);
    return -1;
  }
  cacheFile_.CloseMapFile(false);
  if (progress_) Progress(true);
  if (postEnd && notify_) notify_->Notify(cache::NotifyRefreshDone, 0);
  return 0;
}

// Undoes what a refresh stored before it ended early: the old block's taken-over folders become
// folder records again and the blocks stored for new subfolders go back to the free list. When the
// old tree was freed already (a '#' request) or the file could not be grown, the drive's busy bit
// is left set, so that the next start knows the cache lost part of that drive.
void CLocationRefresher::Abandon(const Scan& scan, uint32_t oldBlock, uint32_t bit, bool markBusy) {
  // A failed growth has closed the mapping: the file is opened again for the undo.
  if (!cacheFile_.IsOpen()) cacheFile_.OpenForUpdate(cachePath_);
  if (cacheFile_.IsOpen()) {
    os::LockGuard hold(context_.cacheLock);
    if (oldBlock != NO_BLOCK) cacheFile_.RestoreTakenOver(oldBlock);
    for (uint32_t stored : scan.storedBlocks) cacheFile_.FreeOneBlock(stored);
    if (markBusy) cacheFile_.SetDriveBusy(bit, true);
  }
  cacheFile_.CloseMapFile(false);
}

int CLocationRefresher::StoreSubfolder(std::u16string& pattern, size_t folderLength,
                                       const char16_t* name, uint32_t* link, Scan& scan) {
  pattern.resize(folderLength);
  pattern += name;
  pattern += u"\\*";
  cache::BlockBuilder block;
  int scanned = ScanFolder(pattern, &block, NO_BLOCK, scan);
  pattern.resize(folderLength);
  pattern += u'*';
  if (scanned != 0) return scanned;
  os::LockGuard hold(context_.cacheLock);
  uint32_t offset = NO_BLOCK;
  if (cacheFile_.StoreNewBlock(block.Finish(), &offset) != 0) return -1;
  scan.storedBlocks.push_back(offset);
  *link = offset;
  return 0;
}

// Lists the folder of pattern ("...\\*") into the records of a new block; subfolders keep their
// blocks from oldBlock where they are still there, and are scanned completely where they are new.
// 0 done (the caller finishes the block); -1 when memory ran out or the file could not be grown, -2
// when stopped (the caller undoes what the scan stored).
int CLocationRefresher::ScanFolder(std::u16string& pattern, cache::BlockBuilder* block,
                                   uint32_t oldBlock, Scan& scan) {
  if (!block->Start()) {
    os::ErrorBox(u"Out of memory!");
    return -1;
  }
  size_t folderLength = pattern.size() - 1;
  os::FolderEntry data;
  os::FolderListing listing;
  bool failed = false, stopped = false;
  if (listing.Open(std::u16string_view(pattern).substr(0, folderLength))) {
    while (listing.Next(&data)) {
      // A listing cut short would drop the subfolders not yet met, with their whole trees: the
      // refresh is abandoned and the drain thread queues the location again.
      if (stop_.load(std::memory_order_relaxed)) {
        stopped = true;
        break;
      }
      if (progress_) {
        if (items_ % 1000 == 0) Progress(false);
        ++items_;
      }
      CacheItem item{data.name, 0, 0, data.lastWriteTime.low, data.lastWriteTime.high};
      if (data.isFolder) {
        if (IsDotOrDotDot(data.name)) continue;
        uint32_t link = NO_BLOCK;
        if (oldBlock != NO_BLOCK) {
          os::LockGuard hold(context_.cacheLock);
          link = cacheFile_.TakeOverFolder(oldBlock, data.name);
        }
        if (link == NO_BLOCK) {
          int stored = StoreSubfolder(pattern, folderLength, data.name, &link, scan);
          if (stored != 0) {
            (stored == -2 ? stopped : failed) = true;
            break;
          }
        }
        item.isFolder = 1;
        item.sizeOrLink = link;
      } else {
        item.sizeOrLink = cache::SizeInKB(data.sizeHigh, data.sizeLow);
      }
      if (!block->Append(item)) {
        os::ErrorBox(u"Out of memory!");
        failed = true;
        break;
      }
    }
  }
  if (stopped) return -2;
  return failed ? -1 : 0;
}

}  // namespace lvx::indexer
