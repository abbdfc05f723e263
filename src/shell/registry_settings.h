// The two registry places the program keeps in the current user's hive: its Run value (start with
// Windows, hidden) and the shutdown timeouts of Control Panel\Desktop, which give the program time
// to save its state when Windows ends.
#pragma once

#include <string>

namespace lvx::shell {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValueName[] = L"Lumivex";
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

enum class AutoStartResult {
  Written,    // the Run value was (re)written
  Unchanged,  // it already held the wanted text, or there was nothing to remove
  Removed,    // the value was deleted
  Failed,     // the key could not be opened or written ("Failed to open registry  ." shown), or
              // the value could not be queried for another reason than its absence
};

// On: the Run value "Lumivex" holds the program path and " /hide", written only when it differs
// (ignoring case). Off: the value is deleted when it exists.
AutoStartResult SetAutoStart(bool on);
// The text SetAutoStart writes for this program.
std::u16string AutoStartCommand();

// AutoEndTasks "0", HungAppTimeout and WaitToKillAppTimeout at least "5000", all REG_SZ; values
// already right are left alone, and a key that cannot be opened is skipped silently.
void EnsureShutdownTimeouts();

}  // namespace lvx::shell
