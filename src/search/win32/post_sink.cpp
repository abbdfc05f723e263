#include "search/post_sink.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "search/search_types.h"

namespace lvx::search {

static_assert(WM_ENGINE_NOTIFY == WM_APP + 30, "the engine's message sits in the application range");

void PostMessageSink::Notify(uint32_t code, intptr_t lParam) { NotifyHandOver(code, lParam); }

// A post fails when the window is gone or its queue is full; the message then never arrives.
bool PostMessageSink::NotifyHandOver(uint32_t code, intptr_t lParam) {
  return PostMessageW(static_cast<HWND>(window_), WM_ENGINE_NOTIFY, WPARAM(code), LPARAM(lParam)) != 0;
}

}  // namespace lvx::search
