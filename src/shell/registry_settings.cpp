#include "shell/registry_settings.h"

#include <vector>

#include <windows.h>

#include "platform/message.h"
#include "shell/registry_rules.h"
#include "shell/win_text.h"

namespace lvx::shell {
namespace {

enum class ValueState { Missing, Present, Unreadable };

// A string value of an open key, terminated whatever the registry holds. isString tells whether its
// type is REG_SZ.
ValueState QueryString(HKEY key, const wchar_t* name, std::u16string* text, bool* isString) {
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return ValueState::Missing;
  if (status != ERROR_SUCCESS) return ValueState::Unreadable;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, 0);
  DWORD bytes = DWORD((buffer.size() - 1) * sizeof(wchar_t));
  status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return ValueState::Missing;
  if (status != ERROR_SUCCESS) return ValueState::Unreadable;
  size_t units = bytes / sizeof(wchar_t);
  while (units > 0 && buffer[units - 1] == 0) --units;
  *text = FromW(buffer.data(), units);
  *isString = type == REG_SZ;
  return ValueState::Present;
}

bool SetString(HKEY key, const wchar_t* name, const std::u16string& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(W(text)),
                        DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

AutoStartResult Failure() {
  os::ErrorBox(u"Failed to open registry  .");
  return AutoStartResult::Failed;
}

}  // namespace

std::u16string AutoStartCommand() {
  std::vector<wchar_t> path(32768, 0);
  DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
  return RunValueText(FromW(path.data(), n < path.size() ? n : 0));
}

AutoStartResult SetAutoStart(bool on) {
  HKEY key = nullptr;
  // A new profile may have no Run key yet: turning the start on creates it; turning it off has
  // nothing to remove then.
  LONG opened = on ? RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                     nullptr, &key, nullptr)
                   : RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
  if (opened != ERROR_SUCCESS) return on ? Failure() : AutoStartResult::Unchanged;
  std::u16string stored;
  bool isString = false;
  ValueState state = QueryString(key, kRunValueName, &stored, &isString);
  AutoStartResult result = AutoStartResult::Unchanged;
  if (on) {
    std::u16string wanted = AutoStartCommand();
    if (state == ValueState::Unreadable)
      result = AutoStartResult::Failed;  // left alone, as the system would not tell what is there
    else if (state == ValueState::Present && isString && RunValueMatches(stored, wanted))
      result = AutoStartResult::Unchanged;
    else
      result = SetString(key, kRunValueName, wanted) ? AutoStartResult::Written : Failure();
  } else if (state != ValueState::Missing) {
    result = RegDeleteValueW(key, kRunValueName) == ERROR_SUCCESS ? AutoStartResult::Removed
                                                                   : AutoStartResult::Failed;
  }
  RegCloseKey(key);
  return result;
}

void EnsureShutdownTimeouts() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  std::u16string text;
  bool isString = false;
  if (QueryString(key, L"AutoEndTasks", &text, &isString) != ValueState::Present ||
      AutoEndTasksNeedsRewrite(isString, text))
    SetString(key, L"AutoEndTasks", u"0");
  for (const wchar_t* name : {L"HungAppTimeout", L"WaitToKillAppTimeout"}) {
    text.clear();
    if (QueryString(key, name, &text, &isString) != ValueState::Present || TimeoutNeedsRewrite(isString, text))
      SetString(key, name, u"5000");
  }
  RegCloseKey(key);
}

}  // namespace lvx::shell
