// Where the engine's workers report: progress text for the status line, and the engine
// notifications that the main window receives as WM_ENGINE_NOTIFY (0x801E) with a code.
#pragma once

#include <cstdint>
#include <string>

namespace lvx::cache {

// Engine notification codes (wParam of WM_ENGINE_NOTIFY).
enum NotifyCode : uint32_t {
  NotifyCacheBuilt = 8,
  NotifyRefreshDone = 9,
};

class IStatusSink {
 public:
  virtual ~IStatusSink() = default;
  // Replaces the status line's text. Called from worker threads.
  virtual void SetStatusText(const std::u16string& text) = 0;
};

class INotifySink {
 public:
  virtual ~INotifySink() = default;
  // Posts a notification to the main window. Called from worker threads.
  virtual void Notify(uint32_t code, intptr_t lParam) = 0;
  // As Notify, for a notification that the main window acknowledges (the search thread's result
  // hand-over): false when it could not be delivered, so that no acknowledgement is awaited for it.
  virtual bool NotifyHandOver(uint32_t code, intptr_t lParam) {
    Notify(code, lParam);
    return true;
  }
};

// The STATEINFO keys that the build and compaction write into the state file.
class IStateStore {
 public:
  virtual ~IStateStore() = default;
  virtual bool WriteState(const std::u16string& key, const std::u16string& value) = 0;
  virtual std::u16string ReadState(const std::u16string& key, const std::u16string& defaultValue) = 0;
};

}  // namespace lvx::cache
