// How a start of the program meets the copies already running: the uninstall switch closes the
// running copy and removes the program's registry traces; a second start in the same Windows session
// brings the running copy forward and ends; and the session files in the machine-wide data folder
// let at most two Windows sessions run the program at once.
//
// The mutex is named in the session's own namespace, so it tells only about this session; the
// session files lie in the machine-wide folder and are held open (exclusive, delete-on-close) for
// the life of each process, so a file that cannot be deleted belongs to a copy running in another
// session, and a file left by a crashed copy is simply deleted.
#pragma once

#include <string>
#include <vector>

#include "framework/win_api.h"

namespace lvx::shell {

// The top-level window that carries the property with the value 1, or null.
HWND FindMarkedWindow(const wchar_t* property);

// True when the start goes on; false when "/uninstall" was given (after closing the running copy
// and removing the Run value and the program's keys of every loaded user).
bool HandleUninstallSwitch(const std::vector<std::wstring>& arguments);

// Closes another program's window that carries the foreign marker, then creates the instance mutex
// (its handle in *mutex). False after handing over to the copy that runs in this session.
bool ActivateRunningCopy(HANDLE* mutex);

// The session file name: "User.session" for n = -1, else "User(n).session", in folder (which ends
// in a backslash).
std::wstring SessionFileName(const std::wstring& folder, int n);

// Deletes the stale session files of folder and claims one; false (after the message) when limit or
// more copies run in other sessions. Without a usable folder the start goes on without a file.
bool ClaimSessionIn(const std::wstring& folder, int limit);
// The same in the machine-wide data folder.
bool ClaimSession(int limit);

// Sets the working directory and the program folder to the folder of the program file; returns it.
std::wstring SetWorkingDirectory();

}  // namespace lvx::shell
