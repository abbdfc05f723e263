// The "Vista Style" skin: the process's dialogs get the gradient background, their labels and check
// boxes show it through, and their push buttons are drawn with rounded frames that light up under
// the pointer. SkinAttach skins the windows of the calling thread (the UI thread) that exist and
// those created later; SkinDetach gives every window its plain look back; SkinDetachEx keeps one
// window (and its children) plain, also across later attaches.
//
// How: a thread CBT hook sees every window of the thread at creation (HCBT_CREATEWND) and an
// enumeration of the thread's windows covers those that exist. A dialog is subclassed to paint the
// gradient and answer its controls' colour messages; a push button of a skinned dialog is made
// owner-drawn and drawn by its dialog's subclass. Detaching removes the subclasses, gives the
// buttons their type back and repaints.
#pragma once

#include "framework/win_api.h"

namespace lvx::skin {

// True when the skin is attached (also when it already was); false when the hook cannot be set.
bool SkinAttach();
void SkinDetach();
// Removes the skin from the window and its children and keeps them plain; false for a null handle
// or a window of another thread.
bool SkinDetachEx(HWND window);

bool IsSkinAttached();
// The window is drawn by the skin now.
bool IsSkinned(HWND window);

}  // namespace lvx::skin
