// The framework's one way in to <windows.h>: standard headers first, NOMINMAX, and the common
// controls, so that every file of the framework and of the code built on it sees the same set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
