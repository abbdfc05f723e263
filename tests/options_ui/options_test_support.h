// What the tests of the filter pages and the toolbar share: a hidden stand-in for the main window
// that records quick searches, a settings file of their own, the message box answered in place of
// the user, and the messages a user's actions send.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "framework/common_controls.h"
#include "framework/message_box.h"
#include "framework/pickers.h"
#include "options_ui/toolbar_page.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "ui_test_support.h"

namespace lvx::options {

inline std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
inline std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

// The main window's stand-in: records the quick searches it is sent.
class Host : public ui::CWindow {
 public:
  std::vector<WPARAM> quickSearches;

 protected:
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override {
    if (msg != WM_QUICK_SEARCH) return CWindow::WindowProc(msg, w, l, result);
    quickSearches.push_back(w);
    *result = 0;
    return true;
  }
};

inline void Command(HWND dialog, int id, int code) {
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}
inline void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
inline void Type(HWND dialog, int id, const wchar_t* text) { ::SetDlgItemTextW(dialog, id, text); }
inline void PickDay(HWND dialog, int id, WORD year, WORD month, WORD day) {
  const SYSTEMTIME t = {year, month, 0, day, 13, 0, 0, 0};  // the time of day the picker holds does not matter
  HWND picker = ::GetDlgItem(dialog, id);
  ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
  NMDATETIMECHANGE change = {{picker, UINT_PTR(id), UINT(DTN_DATETIMECHANGE)}, GDT_VALID, t};
  ::SendMessageW(dialog, WM_NOTIFY, WPARAM(id), reinterpret_cast<LPARAM>(&change));
}
inline bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != 0; }

using uitest::Shoot;

class OptionsUiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::InitCommonControls(); }
  void SetUp() override {
    ASSERT_TRUE(host_.CreateFrame(0, L"host", WS_OVERLAPPEDWINDOW, RECT{0, 0, 700, 300}, nullptr));
    dir_ = std::filesystem::temp_directory_path() / ("options_ui_" + std::to_string(::GetCurrentProcessId()));
    std::filesystem::create_directories(dir_);
    settings_ = (dir_ / "settings.ini").u16string();
    appDir_ = U16(LVX_APP_DIR);
    for (char16_t& c : appDir_)
      if (c == u'/') c = u'\\';
    ui::SetMessageResponder([this](const ui::MessageRequest& r) {
      asked_.push_back(r.text);
      return IDOK;
    });
  }
  void TearDown() override {
    ui::SetMessageResponder(nullptr);
    ui::SetPickResponder(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  // The program's default settings file with its five buttons; the second searches C:\Music.
  void WriteDefaultToolbar() {
    ASSERT_TRUE(shell::ReleaseResourceFile(settings_, 181));
    shell::WriteIniString(u"TOOLBAR", u"SEARCHLOC_1", u"C:\\Music", settings_);
  }
  std::u16string Key(const std::u16string& key) { return shell::ReadIniString(u"TOOLBAR", key, settings_, u"(missing)"); }

  Host host_;
  std::filesystem::path dir_;
  std::u16string settings_, appDir_;
  std::vector<std::wstring> asked_;
};

}  // namespace lvx::options
