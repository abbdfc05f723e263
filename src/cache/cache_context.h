// The process-wide cache context: the cache file path and the three locks that keep the threads
// that use the cache file apart. Lock order: refreshLock before cacheLock, never the reverse;
// pathLock only around a copy of the path, with nothing taken inside it.
//
// It also keeps the readers that hold the cache file mapped between uses (the search engine), and
// the file generation that tells them the file may have changed under them. Writers call
// FileChanging before they replace a cache file, open it alone or grow its mapping: the kept
// mappings are let go of (on Windows a kept handle would stand in the writer's way) and the next
// use maps the file afresh. Both are process-wide, since the writers' mapped files know no context;
// a change to some other file costs a reader one fresh mapping, nothing more.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/thread.h"

namespace lvx::cache {

// A reader that keeps the cache file mapped. LetGo is called from a writer's thread and closes the
// mapping once no use of it runs; it must take no lock a writer may hold, apart from its own.
class IKeptReader {
 public:
  virtual ~IKeptReader() = default;
  virtual void LetGo() = 0;
};

class CacheContext {
 public:
  // Held by a full search, by the build around each copy over the cache file, and by a location
  // refresh around each change to the tree.
  os::Lock cacheLock;
  // Held by a drain thread around one whole location refresh: one refresh at a time.
  os::Lock refreshLock;

  void SetPath(const std::u16string& path) {
    os::LockGuard hold(pathLock_);
    path_ = path;
  }
  std::u16string Path() const {
    os::LockGuard hold(pathLock_);
    return path_;
  }

  // Changes whenever a cache file may have been replaced or grown; read it before mapping the file.
  static uint32_t FileGeneration() { return Kept().generation.load(std::memory_order_acquire); }
  // Called by a writer before it replaces a cache file, opens it alone, or grows its mapping.
  static void FileChanging() {
    KeptState& kept = Kept();
    os::LockGuard hold(kept.lock);
    kept.generation.fetch_add(1, std::memory_order_acq_rel);
    for (IKeptReader* reader : kept.readers) reader->LetGo();
  }
  static void AddKeptReader(IKeptReader* reader) {
    KeptState& kept = Kept();
    os::LockGuard hold(kept.lock);
    kept.readers.push_back(reader);
  }
  static void RemoveKeptReader(IKeptReader* reader) {
    KeptState& kept = Kept();
    os::LockGuard hold(kept.lock);
    for (size_t i = 0; i < kept.readers.size(); ++i)
      if (kept.readers[i] == reader) kept.readers.erase(kept.readers.begin() + long(i));
  }

 private:
  struct KeptState {
    os::Lock lock;
    std::atomic<uint32_t> generation{0};
    std::vector<IKeptReader*> readers;  // guarded by lock
  };
  static KeptState& Kept() {
    static KeptState kept;
    return kept;
  }

  mutable os::Lock pathLock_;
  std::u16string path_;  // guarded by pathLock_
};

}  // namespace lvx::cache
