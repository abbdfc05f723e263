// Folder listings for the full build, made ahead of the writer on a few threads. The writer still
// takes the folders in its own pre-order and lays out every block as a walk on one thread would;
// the threads only spare it the waiting on the system. A folder's listing is queued as soon as its
// parent is listed, the earliest in the writer's order first; a folder that no thread has taken yet
// when the writer reaches it is listed by the writer itself. The listings made and not yet written
// are bounded, so the threads never run far ahead of the writer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dir.h"
#include "platform/thread.h"

namespace lvx::indexer {

class FolderPrefetcher {
 public:
  struct Entry {
    uint32_t name;  // start in Listing::names (each name ends in a 0)
    bool isFolder;
    uint32_t sizeHigh, sizeLow;
    os::FileTime lastWriteTime;
  };
  struct Listing {
    std::u16string path;    // ends in the separator
    std::u16string names;
    std::vector<Entry> entries;          // in the system's order, "." and ".." included
    // One per folder entry but "." and "..", in entry order; null once dropped.
    std::vector<std::unique_ptr<Listing>> subfolders;
    enum class State : uint8_t { Queued, Busy, Done } state = State::Queued;
  };

  // paused: while set, the threads take no new folder. excluded: a folder never listed ahead.
  FolderPrefetcher(const std::atomic<bool>& paused, std::u16string excluded);
  ~FolderPrefetcher();

  // Starts the walk of one drive root with up to threads helpers (0: the writer lists everything).
  Listing* Begin(const std::u16string& root, int threads);
  // Waits for the folder's listing (made by a helper, or here when none has begun it); it stays
  // valid until Release. A folder that cannot be listed has no entries.
  void Take(Listing* folder);
  // The writer is done with a folder's entries.
  void Release(Listing* folder);
  // The writer is done with the subtree of a folder's subfolder k (walked or not).
  void Drop(Listing* folder, size_t k);
  // Ends the walk: the helpers stop and every listing is freed.
  void End();

  // Helpers for a build on this machine: a few, for the system's listing calls to overlap.
  static int DefaultThreads();

 private:
  void Work();
  // Lists the folder with the given listing object; the lock is not held. A helper's listing is cut
  // short when the walk ends (the writer has left by then).
  void List(Listing* folder, os::FolderListing* listing, bool helper);
  // Under the lock: the folder is listed; its subfolders go to the front of the queue.
  void Finish(Listing* folder);
  bool Excluded(const std::u16string& path) const;
  // Under the lock: takes a subtree out of the helpers' reach (waiting for a listing under way).
  void Unlink(std::unique_lock<std::mutex>& hold, Listing* folder);

  const std::atomic<bool>& paused_;
  const std::u16string excluded_;
  std::mutex mutex_;
  std::condition_variable work_, done_;
  std::deque<Listing*> queue_;                      // guarded by mutex_, the soonest needed first
  std::unique_ptr<Listing> root_;                   // guarded by mutex_
  size_t buffered_ = 0;                             // guarded by mutex_: entries listed, not released
  std::atomic<bool> quit_{false};                   // set under mutex_
  std::vector<std::unique_ptr<os::Thread>> threads_;
  os::FolderListing ownListing_;  // the writer's own
};

}  // namespace lvx::indexer
