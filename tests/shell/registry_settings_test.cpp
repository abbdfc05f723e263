// The Run value and the shutdown timeouts, in the current user's hive of the test's wine prefix.
// Each test puts back what it found.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include <windows.h>

#include "shell/registry_settings.h"
#include "support/recording_sink.h"

namespace lvx::shell {
namespace {

struct SavedValue {
  DWORD type = 0;
  std::wstring text;
};

std::optional<SavedValue> Query(const wchar_t* key, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t), type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, buffer, &size) != ERROR_SUCCESS)
    return std::nullopt;
  if (type == REG_DWORD) {
    DWORD number = 0;
    std::memcpy(&number, buffer, sizeof number);
    return SavedValue{type, std::to_wstring(number)};
  }
  return SavedValue{type, buffer};
}

void Put(const wchar_t* key, const wchar_t* name, const std::optional<SavedValue>& value) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
  if (!value) {
    RegDeleteValueW(h, name);
  } else if (value->type == REG_DWORD) {
    DWORD number = DWORD(std::stoul(value->text));
    RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  } else {
    RegSetValueExW(h, name, 0, value->type, reinterpret_cast<const BYTE*>(value->text.c_str()),
                   DWORD((value->text.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(h);
}

class RestoredValues {
 public:
  RestoredValues(const wchar_t* key, std::initializer_list<const wchar_t*> names) : key_(key) {
    for (const wchar_t* name : names) saved_.emplace_back(name, Query(key, name));
  }
  ~RestoredValues() {
    for (const auto& [name, value] : saved_) Put(key_, name, value);
  }

 private:
  const wchar_t* key_;
  std::vector<std::pair<const wchar_t*, std::optional<SavedValue>>> saved_;
};

TEST(AutoStart, TurningItOnTwiceWritesTheRunValueOnce) {
  RestoredValues restore(kRunKey, {kRunValueName});
  test::RecordingMessages messages;
  Put(kRunKey, kRunValueName, std::nullopt);

  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Written);
  auto value = Query(kRunKey, kRunValueName);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, DWORD(REG_SZ));
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  EXPECT_NE(value->text.find(program), std::wstring::npos);
  EXPECT_EQ(value->text.substr(value->text.size() - 6), L" /hide");

  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Unchanged);

  // A value of another case is the same command; a stale one is replaced.
  std::wstring upper = value->text;
  for (auto& c : upper) c = wchar_t(towupper(c));
  Put(kRunKey, kRunValueName, SavedValue{REG_SZ, upper});
  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Unchanged);
  Put(kRunKey, kRunValueName, SavedValue{REG_SZ, L"C:\\old\\lumivex.exe /hide"});
  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Written);
  EXPECT_EQ(Query(kRunKey, kRunValueName)->text, value->text);

  EXPECT_EQ(SetAutoStart(false), AutoStartResult::Removed);
  EXPECT_FALSE(Query(kRunKey, kRunValueName));
  EXPECT_EQ(SetAutoStart(false), AutoStartResult::Unchanged);
  EXPECT_EQ(messages.Count(), 0u);
}

TEST(AutoStart, AMissingRunKeyIsCreated) {
  RestoredValues restore(kRunKey, {kRunValueName});
  test::RecordingMessages messages;
  // A profile that never had a Run key (a new user). Only an empty key is removed here.
  Put(kRunKey, kRunValueName, std::nullopt);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD subkeys = 0, values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  if (subkeys != 0 || values != 0) GTEST_SKIP() << "the Run key holds other entries";
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kRunKey), ERROR_SUCCESS);

  EXPECT_EQ(SetAutoStart(false), AutoStartResult::Unchanged);  // nothing to remove, nothing created
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Written);
  auto value = Query(kRunKey, kRunValueName);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->text.substr(value->text.size() - 6), L" /hide");
  EXPECT_EQ(messages.Count(), 0u);
}

TEST(ShutdownTimeouts, RaisedToTheMinimumAndLeftAloneWhenRight) {
  RestoredValues restore(kDesktopKey, {L"AutoEndTasks", L"HungAppTimeout", L"WaitToKillAppTimeout"});
  Put(kDesktopKey, L"AutoEndTasks", SavedValue{REG_SZ, L"1"});
  Put(kDesktopKey, L"HungAppTimeout", SavedValue{REG_SZ, L"1000"});
  Put(kDesktopKey, L"WaitToKillAppTimeout", SavedValue{REG_DWORD, L"20000"});  // right number, wrong type
  EnsureShutdownTimeouts();
  for (auto [name, want] : {std::pair{L"AutoEndTasks", L"0"}, std::pair{L"HungAppTimeout", L"5000"},
                            std::pair{L"WaitToKillAppTimeout", L"5000"}}) {
    auto value = Query(kDesktopKey, name);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, DWORD(REG_SZ));
    EXPECT_EQ(value->text, want);
  }

  Put(kDesktopKey, L"HungAppTimeout", SavedValue{REG_SZ, L"8000"});
  Put(kDesktopKey, L"WaitToKillAppTimeout", std::nullopt);
  EnsureShutdownTimeouts();
  EXPECT_EQ(Query(kDesktopKey, L"HungAppTimeout")->text, L"8000");
  EXPECT_EQ(Query(kDesktopKey, L"WaitToKillAppTimeout")->text, L"5000");
  EXPECT_EQ(Query(kDesktopKey, L"AutoEndTasks")->text, L"0");
}

}  // namespace
}  // namespace lvx::shell
