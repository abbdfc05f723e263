// Reads a DirectoryWatch on a thread of its own and keeps every change record it gets, so that a
// test can make changes and wait for the records they cause. Every buffer is checked against the
// record layout (offsets 4-aligned and inside the bytes returned, names inside their record); a
// malformed one is kept as a problem for the test to assert on.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "platform/watch.h"

namespace lvx::test {

struct ChangeRecord {
  uint32_t action = 0;
  std::u16string name;
  bool operator==(const ChangeRecord& o) const { return action == o.action && name == o.name; }
};

inline std::string Describe(const ChangeRecord& r) {
  return std::to_string(r.action) + ":" + U8(r.name);
}

inline std::string Describe(const std::vector<ChangeRecord>& records) {
  std::string out;
  for (const ChangeRecord& r : records) out += Describe(r) + " ";
  return out;
}

// Parses bytes of change records into out. Returns an empty string, or what is wrong.
inline std::string ParseChangeRecords(const uint8_t* data, size_t bytes,
                                      std::vector<ChangeRecord>* out) {
  size_t at = 0;
  for (;;) {
    if (at + 12 > bytes) return "record header past the end at " + std::to_string(at);
    uint32_t next, action, length;
    std::memcpy(&next, data + at, 4);
    std::memcpy(&action, data + at + 4, 4);
    std::memcpy(&length, data + at + 8, 4);
    if (length % 2 != 0) return "odd name length " + std::to_string(length);
    if (at + 12 + length > bytes) return "name past the end at " + std::to_string(at);
    if (next != 0 && (next % 4 != 0 || next < 12 + length))
      return "bad next offset " + std::to_string(next);
    if (action < 1 || action > 5) return "bad action " + std::to_string(action);
    ChangeRecord r;
    r.action = action;
    r.name.resize(length / 2);
    std::memcpy(r.name.data(), data + at + 12, length);
    out->push_back(std::move(r));
    if (next == 0) return {};
    at += next;
  }
}

class WatchReader {
 public:
  explicit WatchReader(os::DirectoryWatch& watch, uint32_t bufferSize = 4096)
      : watch_(watch), size_(bufferSize), thread_([this] { Run(); }) {}
  ~WatchReader() { Stop(); }
  WatchReader(const WatchReader&) = delete;
  WatchReader& operator=(const WatchReader&) = delete;

  // Waits until the predicate holds over the records so far, or the time is up.
  template <typename Pred>
  bool WaitUntil(Pred pred, int timeoutMs = 15000) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return pred(); });
  }
  bool WaitFor(uint32_t action, const std::u16string& name, int timeoutMs = 15000) {
    return WaitUntil([&] { return Has(action, name); }, timeoutMs);
  }
  bool WaitForZeros(int count, int timeoutMs = 15000) {
    return WaitUntil([&] { return zeros_ >= count; }, timeoutMs);
  }
  bool WaitForFailures(int count, int timeoutMs = 15000) {
    return WaitUntil([&] { return failures_ >= count; }, timeoutMs);
  }

  std::vector<ChangeRecord> Records() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return records_;
  }
  // The index of the first record like this one, or -1.
  int IndexOf(uint32_t action, const std::u16string& name) const {
    std::lock_guard<std::mutex> hold(mutex_);
    auto it = std::find(records_.begin(), records_.end(), ChangeRecord{action, name});
    return it == records_.end() ? -1 : int(it - records_.begin());
  }
  int Zeros() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return zeros_;
  }
  int Failures() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return failures_;
  }
  uint32_t FailureError() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return failureError_;
  }
  size_t LargestRead() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return largest_;
  }
  std::string Problems() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return problems_;
  }

  // Ends the reading thread: a stop flag and a wake-up.
  void Stop() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stop_ = true;
    }
    watch_.Wake();
    thread_.join();
  }

 private:
  bool Has(uint32_t action, const std::u16string& name) const {  // mutex_ held
    return std::find(records_.begin(), records_.end(), ChangeRecord{action, name}) !=
           records_.end();
  }

  void Run() {
    std::vector<uint8_t> buffer(size_ + 64, 0xCD);
    for (;;) {
      int n = watch_.Read(buffer.data(), size_);
      uint32_t error = n < 0 ? os::LastError() : 0;
      {
        std::lock_guard<std::mutex> hold(mutex_);
        if (n < 0) {
          ++failures_;
          failureError_ = error;
        } else if (n == 0) {
          ++zeros_;
        } else {
          largest_ = std::max(largest_, size_t(n));
          if (size_t(n) > size_) problems_ += "read past the buffer; ";
          for (size_t i = size_; i < buffer.size(); ++i)
            if (buffer[i] != 0xCD) {
              problems_ += "wrote past the buffer; ";
              break;
            }
          std::string problem = ParseChangeRecords(buffer.data(), size_t(n), &records_);
          if (!problem.empty()) problems_ += problem + "; ";
        }
        if (stop_) break;
      }
      changed_.notify_all();
      if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    changed_.notify_all();
  }

  os::DirectoryWatch& watch_;
  const uint32_t size_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;                  // guarded by mutex_
  std::vector<ChangeRecord> records_;  // guarded by mutex_
  int zeros_ = 0;                      // guarded by mutex_
  int failures_ = 0;                   // guarded by mutex_
  uint32_t failureError_ = 0;          // guarded by mutex_
  size_t largest_ = 0;                 // guarded by mutex_
  std::string problems_;               // guarded by mutex_
  std::thread thread_;                 // last: starts once the rest is set up
};

}  // namespace lvx::test
