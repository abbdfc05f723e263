// Shared between the hook (which windows get the skin) and the painters (what a skinned window does).
#pragma once

#include "framework/win_api.h"

namespace lvx::skin::detail {

enum class Kind { None, Dialog, PushButton };

// What the skin would make of the window (a dialog, a plain push button of a skinned dialog).
Kind KindOf(HWND window);
// Subclasses the window as its kind; false when it is of no kind or already skinned. atCreation: the
// window is being created (the CBT hook) and has not seen WM_CREATE yet.
bool Apply(HWND window, bool atCreation);
// Removes the skin from the window; false when it had none.
bool Remove(HWND window);
bool Has(HWND window);
// The window or one of its ancestors was excluded.
bool IsExcluded(HWND window);

}  // namespace lvx::skin::detail
