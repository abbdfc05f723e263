// Reads a DirectoryWatch on a thread of its own and keeps every change record it gets, so that a
// test can make changes and wait for the records they cause. Each buffer is checked against the
// record layout and for writes past its end; what is wrong is kept for the test to assert on.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "platform/watch.h"

namespace lvx::test {

struct ChangeRecord {
  uint32_t action = 0;
  std::u16string name;
  bool operator==(const ChangeRecord& o) const { return action == o.action && name == o.name; }
};

class WatchReader {
 public:
  explicit WatchReader(os::DirectoryWatch& watch, uint32_t size = 4096)
      : watch_(watch), size_(size), thread_([this] { Run(); }) {}
  ~WatchReader() { Stop(); }

  bool WaitUntil(const std::function<bool()>& ready, int timeoutMs = 15000) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), ready);
  }
  // The index of the first record like this one, or -1.
  int IndexOf(uint32_t action, const std::u16string& name) {
    std::lock_guard<std::mutex> hold(mutex_);
    return IndexLocked(action, name);
  }
  bool WaitFor(uint32_t action, const std::u16string& name, int timeoutMs = 15000) {
    return WaitUntil([&] { return IndexLocked(action, name) >= 0; }, timeoutMs);
  }
  std::string Describe() {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string out = problems;
    for (const ChangeRecord& r : records) out += " " + std::to_string(r.action) + ":" + U8(r.name);
    return out;
  }
  void Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    watch_.Wake();
    thread_.join();
  }

  // What was read: guarded by mutex_, so read in a WaitUntil or after Stop. zeros: reads that gave
  // 0 bytes (wake-ups and losses).
  std::vector<ChangeRecord> records;
  int zeros = 0, failures = 0;
  uint32_t failureError = 0;
  std::string problems;

 private:
  int IndexLocked(uint32_t action, const std::u16string& name) {
    auto it = std::find(records.begin(), records.end(), ChangeRecord{action, name});
    return it == records.end() ? -1 : int(it - records.begin());
  }
  void Parse(const uint8_t* data, uint64_t bytes) {
    for (uint64_t at = 0;;) {
      uint32_t header[3] = {};  // next, action, name bytes
      if (at + 12 <= bytes) std::memcpy(header, data + at, 12);
      if (at + 12 + header[2] > bytes || header[1] < 1 || header[1] > 5 ||
          (header[0] != 0 && (header[0] % 4 != 0 || header[0] < 12 + header[2])))
        return void(problems += "malformed record at " + std::to_string(at) + ";");
      records.push_back({header[1], std::u16string(header[2] / 2, u'\0')});
      std::memcpy(records.back().name.data(), data + at + 12, header[2]);
      if (header[0] == 0) return;
      at += header[0];
    }
  }
  void Run() {
    std::vector<uint8_t> buffer(size_ + 64, 0xCD);
    while (!stop_) {
      int n = watch_.Read(buffer.data(), size_);
      {
        std::lock_guard<std::mutex> hold(mutex_);
        if (n < 0) ++failures, failureError = os::LastError();
        if (n == 0) ++zeros;
        if (n > int(size_)) problems += "read past the buffer;";
        if (n > 0) Parse(buffer.data(), uint32_t(n));
        if (std::any_of(buffer.begin() + size_, buffer.end(), [](uint8_t b) { return b != 0xCD; }))
          problems += "written past the buffer;";
      }
      changed_.notify_all();
      if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  os::DirectoryWatch& watch_;
  const uint32_t size_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once the rest is set up
};

}  // namespace lvx::test
