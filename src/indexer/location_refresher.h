// CLocationRefresher: the per-drive refresh worker. It brings one folder of the cache (or a whole
// subtree) back in line with the disk: the folder is listed again into a new block in memory,
// subfolders that still exist keep their cached blocks (taken over from the old block), new
// subfolders are scanned completely, and the new block is linked in place of the old one under the
// cache lock, which then frees the blocks of subfolders that have gone. Requests come through the
// drive's change queue, drained by the drive's drain thread (drain.cpp), one refresh at a time in
// the whole program under the refresh lock.
//
// Nothing reachable from the root changes until the new block is complete: new blocks go into free
// space or past DataEnd, one link word switches the folder to its new block, and only then are the
// old blocks freed. A process that ends at any moment leaves the old tree or the new one; what it
// stored or had not yet freed is only unused space, which compaction takes back.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cache/block_builder.h"
#include "cache/cache_context.h"
#include "cache/engine_sinks.h"
#include "cache/map_file.h"
#include "indexer/change_monitor_queue.h"
#include "platform/thread.h"

namespace lvx::indexer {

class CLocationRefresher {
 public:
  explicit CLocationRefresher(cache::CacheContext& context);
  ~CLocationRefresher();
  CLocationRefresher(const CLocationRefresher&) = delete;
  CLocationRefresher& operator=(const CLocationRefresher&) = delete;

  void SetStatusSink(cache::IStatusSink* sink) { status_ = sink; }
  void SetNotifySink(cache::INotifySink* sink) { notify_ = sink; }

  // One request: "#" + folder (rescan the whole subtree, progress, posts its end), "@" + folder (this
  // folder, progress, posts its end), "*" + folder (rescan the whole subtree, silently: a folder that
  // arrived, a burst folded by the queue, changes the system dropped), or a plain folder path (from the change monitor). Folder paths
  // end in '\\'. 0 refreshed; -1 the cache file cannot be opened, the location is not in the
  // cache, its drive cannot be read (the drive root, or the folder and its parent, cannot be
  // listed), or the refresh was abandoned (out of memory, the file cannot grow); -2 stopped (the
  // drain thread queues the location again). After -1 and -2 the cache is as it was.
  int RefreshLocation(const std::u16string& request);
  // Why the last refresh returned -1 or -2, with the system's text where the system gave a reason.
  const std::u16string& FailureText() const { return failure_; }

  // --- change queue and drain thread ---
  void EnqueueLocation(const std::u16string& location);
  // From a watcher, a changed folder or "*" + a folder that arrived: merged with what is queued
  // (change_monitor_queue.h). While no drain thread runs, a drive outside the selection keeps at
  // most kMaxIdleQueue changes, then one "#" rescan of its root instead of them.
  void EnqueueChange(const std::u16string& location);
  // A request kept from before: at the front, ahead of later changes.
  void RestoreRequest(const std::u16string& request);
  static constexpr size_t kMaxIdleQueue = 10000;
  // Whether the drive is selected for the cache (set when the watchers are started).
  void SetSelected(bool selected) { selected_ = selected; }
  std::vector<std::u16string> QueuedLocations() const;

  // The drain thread's pauses in ms (merging waits for a quiet queue, the idle poll, the longest
  // merge). Set before StartDrain; tests use them to make an order certain.
  struct DrainTiming {
    uint32_t coalescePause = 150, idlePoll = 1000, maxCoalesce = 5000;
  };
  void SetDrainTiming(const DrainTiming& timing) { timing_ = timing; }

  void StartDrain();
  // Sets the stop flag and hands over the drain thread (null when none ran), for StopDrains to wait on.
  std::unique_ptr<os::Thread> RequestDrainStop();
  bool DrainRunning() const { return drainThread_ != nullptr && !drainThread_->Finished(); }
  // A drain thread that did not end in time comes back here: no second one starts meanwhile.
  void KeepDrainThread(std::unique_ptr<os::Thread> thread) { drainThread_ = std::move(thread); }
  // Refreshes done by the drain thread so far (tests, the CLI).
  uint32_t RefreshCount() const { return refreshCount_.load(); }
  // Called after each refresh the drain thread ran, with the location and the result (the CLI).
  void SetRefreshObserver(std::function<void(const std::u16string&, int)> observer) {
    observer_ = std::move(observer);
  }

 private:
  struct Scan;
  int ScanFolder(std::u16string& pattern, cache::BlockBuilder* block, uint32_t oldBlock, Scan& scan);
  int StoreSubfolder(std::u16string& pattern, size_t folderLength, const char16_t* name,
                     uint32_t* link, Scan& scan);
  uint32_t TakeOver(Scan& scan, const char16_t* name);
  bool DriveReadable(const std::u16string& folder);
  int Commit(const Scan& scan, std::span<const uint8_t> block, uint32_t oldBlock, uint32_t linkOffset);
  int Fail(int result, const std::u16string& why);
  std::u16string GrowthFailure() const;
  void Abandon(const Scan& scan);
  void Progress(bool finished);
  uint32_t DrainThreadProc();
  bool TakeFront(std::u16string* location);
  void MergeRepeats(const std::u16string& location);

  cache::CacheContext& context_;
  cache::IStatusSink* status_ = nullptr;
  cache::INotifySink* notify_ = nullptr;

  std::u16string locationText_;  // the location followed by "*"; shown in progress text
  std::u16string failure_;       // why the last refresh failed
  std::u16string cachePath_;
  cache::CDBMapFile cacheFile_;
  // Set to end the drain thread; a refresh in progress also ends its listing early.
  std::atomic<bool> stop_{false};
  os::Event wake_{false, false};  // an idle drain thread waits on it
  bool full_ = false;
  bool progress_ = false;
  uint32_t items_ = 0;
  uint32_t startTick_ = 0, currentTick_ = 0;

  mutable os::Lock queueLock_;
  ChangeQueue queue_;  // guarded by queueLock_
  std::unique_ptr<os::Thread> drainThread_;
  std::atomic<bool> drainRunning_{false};  // readable from the watcher threads
  std::atomic<bool> selected_{false};
  DrainTiming timing_;
  std::atomic<uint32_t> refreshCount_{0};
  std::function<void(const std::u16string&, int)> observer_;
};

}  // namespace lvx::indexer
