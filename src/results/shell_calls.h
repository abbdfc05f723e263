// The shell calls of the result actions: starting programs and documents, deleting to the Recycle
// Bin. Every call goes through one seam, so a test can see the exact file, verb, parameters, command
// line and working directory, and answer in place of the system without anything being started.
#pragma once

#include <functional>

#include "framework/win_api.h"

namespace lvx::results {

struct ShellCall {
  enum Kind { Execute, Process, Delete };
  Kind kind = Execute;
  HWND owner = nullptr;
  std::wstring verb;        // Execute; empty for the default action
  std::wstring file;        // Execute: the program or document; Process: the program's full path
  std::wstring parameters;  // Execute: the parameters; Process: the whole command line
  std::wstring directory;   // Process: the working directory
  int show = SW_SHOWNORMAL;
  std::wstring fileList;    // Delete: the paths, each ended by a NUL, the list by one more
  UINT flags = 0;           // Delete: the FOF_ flags
};

// What the system did: the call was made and ran, it failed, or (Delete) the user cancelled a part.
enum class ShellOutcome { Done, Failed, Cancelled };

// Answers a call in place of the system (true, with *outcome set), or passes it on (false).
using ShellResponder = std::function<bool(const ShellCall& call, ShellOutcome* outcome)>;
// Installs a responder for the process (null restores the system); returns the previous one.
ShellResponder SetShellResponder(ShellResponder responder);

// ShellExecuteExW.
ShellOutcome ShellExecuteCall(HWND owner, std::wstring_view verb, std::wstring_view file,
                              std::wstring_view parameters, int show = SW_SHOWNORMAL);
// CreateProcessW of a program by its full path, in a new console, with the given working
// directory; no command interpreter ever reads the directory.
ShellOutcome StartProgramIn(std::wstring_view program, std::wstring_view commandLine, std::wstring_view directory);
// SHFileOperationW FO_DELETE of a NUL-separated, double-NUL-ended list.
ShellOutcome ShellDelete(HWND owner, const std::wstring& fileList, UINT flags);

// The full path of a program in the system folder ("C:\windows\system32\cmd.exe").
std::wstring SystemProgram(std::wstring_view name);

}  // namespace lvx::results
