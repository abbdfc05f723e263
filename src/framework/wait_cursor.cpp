#include "framework/wait_cursor.h"

namespace lvx::ui {

namespace {
thread_local int depth = 0;
thread_local HCURSOR before = nullptr;
}  // namespace

CWaitCursor::CWaitCursor() {
  HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  if (depth++ == 0) before = previous;
}

CWaitCursor::~CWaitCursor() {
  if (--depth > 0) return;
  ::SetCursor(before ? before : ::LoadCursorW(nullptr, IDC_ARROW));
  before = nullptr;
}

bool CWaitCursor::Active() { return depth > 0; }

}  // namespace lvx::ui
