// The program's own window messages and the names by which a running copy is found.
#pragma once

#include "framework/win_api.h"

namespace lvx::shell {

constexpr UINT WM_QUICK_SEARCH = WM_APP + 5;
constexpr UINT WM_APP_INITDONE = WM_APP + 11;
constexpr UINT WM_APP_TRAYNOTIFY = WM_APP + 12;
constexpr UINT WM_APP_SHOWWINDOW = WM_APP + 20;
constexpr UINT WM_APP_UPDATERESULT = WM_APP + 40;
// A worker has put new text for the status line (StatusLineSink); the main thread shows it.
constexpr UINT WM_APP_STATUSTEXT = WM_APP + 50;

// The main window's class: a copy of the system dialog class under a name of its own.
constexpr wchar_t kMainWindowClass[] = L"LVXWND_UnicodeClass";
// The instance mutex's name and the property the main window carries with the value 1.
constexpr wchar_t kInstanceMarker[] = L"LVX-2DFFEFB1-E7C2-4acb-9E32-9506AD4960D0";
// The property of another desktop program's main window, which is closed at start.
constexpr wchar_t kForeignMarker[] = L"Halvorn-1.1";
constexpr wchar_t kProductTitle[] = L"Lumivex";

constexpr wchar_t kUninstallSwitch[] = L"/uninstall";
constexpr wchar_t kHideSwitch[] = L"/hide";
constexpr wchar_t kSkinArchive[] = L"\\skins\\default.zip";
constexpr wchar_t kSessionMessage[] =
    L"This program is now running by another user and can not run concurrently by multiple user!";
constexpr int kSessionLimit = 2;

}  // namespace lvx::shell
