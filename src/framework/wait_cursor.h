// The hourglass while a long action runs on the UI thread. While one is alive, windows of the
// framework answer WM_SETCURSOR with the hourglass, so moving the pointer does not bring the arrow
// back; the last one to end restores the cursor that was shown before the first.
#pragma once

#include "framework/win_api.h"

namespace lvx::ui {

class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  // True while one is alive on the calling thread.
  static bool Active();
};

}  // namespace lvx::ui
