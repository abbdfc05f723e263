#include "support/recording_sink.h"

namespace lvx::test {

RecordingMessages::RecordingMessages(std::function<void()> onBox) {
  previous_ = os::SetMessageSink([this, onBox](const std::u16string& text) {
    if (onBox) onBox();
    std::lock_guard<std::mutex> hold(mutex_);
    texts_.push_back(text);
  });
}

RecordingMessages::~RecordingMessages() { os::SetMessageSink(std::move(previous_)); }

std::vector<std::u16string> RecordingMessages::Texts() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return texts_;
}

bool RecordingMessages::Contains(const std::u16string& part) const {
  std::lock_guard<std::mutex> hold(mutex_);
  for (const auto& t : texts_)
    if (t.find(part) != std::u16string::npos) return true;
  return false;
}

size_t RecordingMessages::Count() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return texts_.size();
}

}  // namespace lvx::test
