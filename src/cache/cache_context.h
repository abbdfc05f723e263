// The process-wide cache context: the cache file path and the three locks that keep the threads
// that use the cache file apart. Lock order: refreshLock before cacheLock, never the reverse;
// pathLock only around a copy of the path, with nothing taken inside it.
#pragma once

#include <string>

#include "platform/thread.h"

namespace lvx::cache {

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

 private:
  mutable os::Lock pathLock_;
  std::u16string path_;  // guarded by pathLock_
};

}  // namespace lvx::cache
