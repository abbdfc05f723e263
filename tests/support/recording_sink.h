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
  explicit RecordingMessages(std::function<void()> onBox = {});
  ~RecordingMessages();
  std::vector<std::u16string> Texts() const;
  bool Contains(const std::u16string& part) const;
  size_t Count() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::u16string> texts_;  // guarded by mutex_
  os::MessageSink previous_;
};

}  // namespace lvx::test
