// The UI benchmark: how long the running program's window takes to answer what a user does, next
// to the engine's own search time reported in the same run, and how much private memory it holds.
#pragma once

#include "framework/win_api.h"

namespace lvx::drive {

// Runs the measurements on the main window of a program whose cache is built and prints figures
// and goal checks. 0 when measured; 3 when the window gives no search outcome.
int RunUiBench(HWND main);

}  // namespace lvx::drive
