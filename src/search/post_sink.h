// The program's notification sink on Windows: every engine notification becomes a WM_ENGINE_NOTIFY
// message (wParam the code, lParam the value) posted to the main window. Built on WIN32 only.
#pragma once

#include <cstdint>

#include "cache/engine_sinks.h"

namespace lvx::search {

class PostMessageSink : public cache::INotifySink {
 public:
  // window is the main window's HWND.
  explicit PostMessageSink(void* window) : window_(window) {}
  void Notify(uint32_t code, intptr_t lParam) override;
  bool NotifyHandOver(uint32_t code, intptr_t lParam) override;  // false: PostMessageW failed

 private:
  void* window_;
};

}  // namespace lvx::search
