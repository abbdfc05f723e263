#include "indexer/location_refresher.h"

#include "platform/dir.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::indexer {

using cache::CacheItem;
using cache::NO_BLOCK;

namespace {

std::u16string SystemText(uint32_t code) {
  std::u16string text = Trim(os::SystemErrorText(code));
  return text.empty() ? Format("system error %lu", static_cast<unsigned long>(code)) : text;
}

std::u16string FoldedName(const char16_t* name, uint32_t length) {
  std::u16string folded(name, length);
  for (char16_t& c : folded) c = FoldAscii(c);
  return folded;
}

}  // namespace

// What one refresh has read and stored so far. The old block is only read while the folder is
// listed: its folder records are found here by name, and marked taken over in the file only after
// the new block is linked in.
struct CLocationRefresher::Scan {
  struct OldFolder {
    uint32_t record, link;
  };
  struct SameName {
    std::vector<OldFolder> folders;  // in record order
    size_t taken = 0;                // a name met again takes the next record of that name
  };
  std::unordered_map<std::u16string, SameName> oldFolders;  // by ASCII-folded name
  std::vector<uint32_t> takenRecords;
  std::vector<uint32_t> storedBlocks;  // blocks stored for new subfolders, freed if abandoned
  bool listed = false;                 // a folder was listed: the first one is the location itself
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
  failure_.clear();
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
  if (path.empty()) return Fail(-1, u"the location is not in the cache");
  if (cachePath_.empty()) cachePath_ = context_.Path();
  if (!cacheFile_.OpenForUpdate(cachePath_)) {
    if (cacheFile_.Damaged()) return Fail(-1, u"the cache file is damaged");
    return Fail(-1, u"the cache file cannot be opened: " + SystemText(cacheFile_.FailureCode()));
  }
  // A location is a folder: without its backslash the pattern would list the folder's siblings.
  if (path.back() != u'\\') path.push_back(u'\\');
  std::u16string lookup = path;
  lookup.pop_back();
  uint32_t oldBlock = NO_BLOCK, linkOffset = NO_BLOCK;
  uint32_t recordOffset = cacheFile_.FindPath(cache::kRootBlockOffset, lookup.c_str(), &oldBlock,
                                              &linkOffset);
  cache::Record record;
  if (recordOffset == NO_BLOCK || !cacheFile_.ReadRecord(recordOffset, 0, &record) ||
      record.type != cache::RECORD_FOLDER || DriveIndex(path[0]) < 0) {
    cacheFile_.CloseMapFile(false);
    return Fail(-1, u"the location is not in the cache");
  }

  Scan scan;
  // A full refresh lists the whole subtree anew; the old tree stays linked until the new one is.
  if (!full_ && oldBlock != NO_BLOCK) {
    os::LockGuard hold(context_.cacheLock);
    cache::BlockCursor cursor(cacheFile_, oldBlock);
    while (cursor.Next(&record))
      if (record.type == cache::RECORD_FOLDER)
        scan.oldFolders[FoldedName(record.name, record.nameLength)].folders.push_back(
            {record.offset, record.sizeOrLink});
  }
  locationText_ = path + u"*";
  std::u16string pattern = locationText_;
  cache::BlockBuilder block;
  int scanned = ScanFolder(pattern, &block, full_ ? NO_BLOCK : oldBlock, scan);
  // A drive that cannot be read (unplugged, a network drive that is down) lists as empty: that is
  // no reason to drop what the cache holds of it.
  if (scanned == 0 && !scan.listed && !DriveReadable(path)) scanned = -1;
  if (scanned == 0) scanned = Commit(scan, block.Finish(), oldBlock, linkOffset);
  if (scanned != 0) {
    Abandon(scan);
    return scanned;
  }
  cacheFile_.CloseMapFile(false);
  if (progress_) Progress(true);
  if (postEnd && notify_) notify_->Notify(cache::NotifyRefreshDone, 0);
  return 0;
}

int CLocationRefresher::Fail(int result, const std::u16string& why) {
  failure_ = why;
  return result;
}

std::u16string CLocationRefresher::GrowthFailure() const {
  uint32_t code = cacheFile_.FailureCode();
  return code == 0 ? u"the cache file cannot grow" : u"the cache file cannot grow: " + SystemText(code);
}

// Whether the folder can be listed, or, when it cannot, whether its parent can (then the folder
// itself is unreadable or gone, and its block is emptied). A drive root that cannot be listed, or
// a folder whose parent cannot be, means that the drive cannot be read; only an empty root that is
// there (Windows lists nothing at all for it) lists as empty.
bool CLocationRefresher::DriveReadable(const std::u16string& folder) {
  os::FolderListing listing;
  if (listing.Open(folder)) return true;
  uint32_t code = os::LastError();
  size_t parentEnd = folder.rfind(u'\\', folder.size() - 2);
  if (parentEnd == std::u16string::npos || parentEnd < 2) {
    if (os::ErrorOf(code) == os::Error::NotFound && os::KindOf(folder) == os::PathKind::Folder) return true;
  } else if (listing.Open(folder.substr(0, parentEnd + 1))) {
    return true;
  }
  Fail(-1, folder + u" cannot be read: " + SystemText(code));
  // The user asked for this refresh; the change monitor's requests fail quietly.
  if (progress_) os::ErrorBox(u"Not refreshed: " + failure_);
  return false;
}

// Links the new block in place of the old one, then frees what the new tree no longer holds. The
// link word is the one write that switches readers from the old tree to the new.
int CLocationRefresher::Commit(const Scan& scan, std::span<const uint8_t> block, uint32_t oldBlock,
                               uint32_t linkOffset) {
  os::LockGuard hold(context_.cacheLock);
  uint32_t stored = NO_BLOCK;
  if (cacheFile_.StoreNewBlock(block, &stored) != 0) return Fail(-1, GrowthFailure());
  cacheFile_.PutU32(linkOffset, stored);
  for (uint32_t taken : scan.takenRecords) cacheFile_.PutU16(taken, cache::RECORD_TAKEN_OVER);
  if (oldBlock != NO_BLOCK) cacheFile_.FreeBlock(oldBlock);
  return 0;
}

// Undoes what a refresh stored before it ended early: the blocks stored for new subfolders go back
// to the free list. Nothing else was changed.
void CLocationRefresher::Abandon(const Scan& scan) {
  // A failed growth has closed the mapping: the file is opened again for the undo.
  if (!cacheFile_.IsOpen() && !scan.storedBlocks.empty()) cacheFile_.OpenForUpdate(cachePath_);
  if (cacheFile_.IsOpen()) {
    os::LockGuard hold(context_.cacheLock);
    for (uint32_t stored : scan.storedBlocks) cacheFile_.FreeOneBlock(stored);
  }
  cacheFile_.CloseMapFile(false);
}

uint32_t CLocationRefresher::TakeOver(Scan& scan, const char16_t* name) {
  auto found = scan.oldFolders.find(FoldedName(name, uint32_t(std::char_traits<char16_t>::length(name))));
  if (found == scan.oldFolders.end() || found->second.taken == found->second.folders.size())
    return NO_BLOCK;
  const Scan::OldFolder& old = found->second.folders[found->second.taken++];
  scan.takenRecords.push_back(old.record);
  return old.link;
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
  if (cacheFile_.StoreNewBlock(block.Finish(), &offset) != 0) return Fail(-1, GrowthFailure());
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
    return Fail(-1, u"out of memory");
  }
  size_t folderLength = pattern.size() - 1;
  os::FolderEntry data;
  os::FolderListing listing;
  bool failed = false, stopped = false;
  if (listing.Open(std::u16string_view(pattern).substr(0, folderLength))) {
    scan.listed = true;
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
        uint32_t link = oldBlock != NO_BLOCK ? TakeOver(scan, data.name) : NO_BLOCK;
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
        Fail(-1, u"out of memory");
        failed = true;
        break;
      }
    }
  }
  if (stopped) return Fail(-2, u"stopped");
  return failed ? -1 : 0;
}

}  // namespace lvx::indexer
