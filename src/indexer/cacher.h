// CCacher: builds the whole cache of the selected drives from nothing, on a thread of its own. It walks
// each selected drive folder by folder and lays the blocks out in pre-order into a delete-on-close
// scratch file; after each drive letter it copies the scratch file over the cache file under the cache
// lock, so searches see the drives already done while later ones are still being walked.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "cache/cache_context.h"
#include "cache/engine_sinks.h"
#include "cache/fresh_file_writer.h"
#include "indexer/cacher_listing.h"
#include "platform/dir.h"
#include "platform/thread.h"

namespace lvx::indexer {

class CCacher {
 public:
  CCacher(cache::CacheContext& context, cache::IStateStore& state);
  ~CCacher();

  void SetStatusSink(cache::IStatusSink* sink) { status_ = sink; }
  void SetNotifySink(cache::INotifySink* sink) { notify_ = sink; }

  // Starts a build of the drives in the mask; false when a build thread exists.
  bool StartBuild(uint32_t driveMask);
  void Pause();
  void Resume();
  // Asks the build to end and waits for it (15 s at a time, dispatching window messages).
  void Stop();
  // Asks the build to end without waiting; callable from any thread, the build's own included.
  void RequestStop();
  bool IsRunning() const { return thread_ != nullptr && !thread_->Finished(); }
  // Waits for a running build to end by itself (tests, the CLI); true when it ended in time.
  bool WaitForBuild(uint32_t milliseconds);

  // A whole build on the calling thread, as the build thread runs it (state keys, notification):
  // 0 complete, -2 stopped, -1 failed. For the CLI and tests.
  int BuildNow(uint32_t driveMask);
  // The walk and the copies proper: 0 complete, -2 stopped, -1 failed.
  int BuildCache(const std::vector<std::u16string>& driveList);
  // The root paths ("C:\\") of the letters in the mask whose drives are fixed, removable or remote.
  static std::vector<std::u16string> DriveList(uint32_t driveMask);

  // The scratch file's first mapping size (50 MB by default; later builds reuse what growth made).
  // Tests start small to reach growth quickly.
  void SetScratchMappingSize(uint32_t bytes) { scratchSize_ = bytes; }
  // Threads that list folders ahead of the writer; 0 lists every folder on the build's own thread.
  // The file is the same either way.
  void SetListingThreads(int threads) { listingThreads_ = threads; }

  uint32_t Items() const { return items_; }
  uint64_t TotalSizeKB() const { return totalSize_; }
  uint32_t ElapsedMs() const { return elapsed_; }

 private:
  struct Subfolders;

  uint32_t BuildThreadProc();
  int RunBuild();
  bool BeginBuild();
  int BuildDrive(int index, const std::vector<std::u16string>& driveList, uint32_t* drivesDone);
  int FinishBuild(bool stopped);
  int TraverseDirectory(std::u16string& path, uint32_t linkOffset, FolderPrefetcher::Listing* folder);
  bool ListFolder(std::u16string& path, uint32_t linkOffset, FolderPrefetcher::Listing* folder,
                  Subfolders* subfolders);
  void AddEntry(const char16_t* name, const FolderPrefetcher::Entry& entry, size_t subfolder,
                Subfolders* subfolders);
  void ReportProgress(char16_t drive);
  // Copies the scratch file over the cache file under the cache lock.
  bool SaveToCacheFile();
  void SetStatus(const std::u16string& text);
  double TotalGB() const { return double(totalSize_) / 1048576.0; }  // the total size is in KB
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  cache::CacheContext& context_;
  cache::IStateStore& state_;
  cache::IStatusSink* status_ = nullptr;
  cache::INotifySink* notify_ = nullptr;

  os::Event resumeEvent_{false, false};
  std::atomic<bool> paused_{false};
  uint32_t driveMask_ = 0;
  std::unique_ptr<os::Thread> thread_;
  std::atomic<bool> stop_{true};
  std::u16string cachePath_;
  cache::FreshFileWriter writer_;  // the ".tmp" scratch file
  std::u16string excludedFolder_;
  size_t excludedLength_ = 0;
  uint32_t startTick_ = 0, currentTick_ = 0;
  uint32_t elapsed_ = 0;
  uint64_t totalSize_ = 0;
  uint32_t items_ = 0;
  uint32_t lastReported_ = 0;  // items at the last progress text
  uint32_t scratchSize_ = 0;   // 0: the scratch instance's current mapping size
  int listingThreads_ = FolderPrefetcher::DefaultThreads();
  std::unique_ptr<FolderPrefetcher> prefetcher_;  // during a drive's walk
};

}  // namespace lvx::indexer
