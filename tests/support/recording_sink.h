// Records the message boxes the engine shows while it is alive, and restores the previous sink.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message.h"

namespace lvx::test {

class RecordingMessages {
 public:
  // onBox runs on the showing thread as each box is shown (to look at the state at that moment).
  explicit RecordingMessages(std::function<void()> onBox = {}) {
    previous_ = os::SetMessageSink([this, onBox](const std::u16string& text) {
      if (onBox) onBox();
      std::lock_guard<std::mutex> hold(mutex_);
      texts_.push_back(text);
    });
  }
  ~RecordingMessages() { os::SetMessageSink(std::move(previous_)); }
  std::vector<std::u16string> Texts() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return texts_;
  }
  bool Contains(const std::u16string& part) const {
    for (const auto& t : Texts())
      if (t.find(part) != std::u16string::npos) return true;
    return false;
  }
  size_t Count() const { return Texts().size(); }

 private:
  mutable std::mutex mutex_;
  std::vector<std::u16string> texts_;  // guarded by mutex_
  os::MessageSink previous_;
};

}  // namespace lvx::test
