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
    if (msg == WM_QUICK_SEARCH) {
      quickSearches.push_back(w);
      *result = 0;
      return true;
    }
    return CWindow::WindowProc(msg, w, l, result);
  }
};

inline void Command(HWND dialog, int id, int code) {
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}
inline void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
inline void Type(HWND dialog, int id, const wchar_t* text) { ::SetDlgItemTextW(dialog, id, text); }
inline void PickDay(HWND dialog, int id, WORD year, WORD month, WORD day) {
  SYSTEMTIME t = {};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = 13;  // the time of day the picker holds does not matter
  HWND picker = ::GetDlgItem(dialog, id);
  ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
  NMDATETIMECHANGE change = {};
  change.nmhdr = {picker, UINT_PTR(id), UINT(DTN_DATETIMECHANGE)};
  change.dwFlags = GDT_VALID;
  change.st = t;
  ::SendMessageW(dialog, WM_NOTIFY, WPARAM(id), reinterpret_cast<LPARAM>(&change));
}
inline bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != 0; }

// Draws the window and its shown children as they paint themselves (WM_PRINT). Each child starts
// from what its parent drew under it, so a control that leaves its background alone (a group box)
// shows the dialog through it, as on the screen.
inline void PrintInto(HWND hwnd, HDC target, POINT at) {
  RECT client = {};
  ::GetClientRect(hwnd, &client);
  HDC dc = ::CreateCompatibleDC(target);
  HBITMAP bitmap = ::CreateCompatibleBitmap(target, client.right, client.bottom);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::BitBlt(dc, 0, 0, client.right, client.bottom, target, at.x, at.y, SRCCOPY);
  ::SendMessageW(hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  ::BitBlt(target, at.x, at.y, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  std::vector<HWND> children;
  for (HWND c = ::GetWindow(hwnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (!(::GetWindowLongPtrW(*it, GWL_STYLE) & WS_VISIBLE)) continue;
    POINT p = {0, 0};
    ::MapWindowPoints(*it, hwnd, &p, 1);
    PrintInto(*it, target, POINT{at.x + p.x, at.y + p.y});
  }
}

// Renders the window into screenshots/<name>.bmp.
inline void Shoot(HWND window, const std::string& name) {
  ::SetFocus(nullptr);
  RECT client = {};
  ::GetClientRect(window, &client);
  ASSERT_GT(client.right, 0) << name;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  PrintInto(window, dc, POINT{0, 0});
  ::GdiFlush();
  uitest::Image image;
  image.width = client.right;
  image.height = client.bottom;
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  image.pixels.assign(p, p + size_t(image.width) * size_t(image.height));
  for (uint32_t& px : image.pixels) px &= 0xFFFFFF;
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  EXPECT_TRUE(uitest::SaveBmp(image, name)) << name;
}

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
  // The default five buttons, as the program's default settings file has them.
  void WriteDefaultToolbar() {
    const char16_t* rows[5][3] = {{u"music01", u"Music", u"*.mp3"},
                                  {u"movie01", u"Video", u"*.avi;*.rmvb"},
                                  {u"doc01", u"Document", u"*.doc;*.xls;*.pdf"},
                                  {u"pic01", u"Pictures", u"*.jpg;*.bmp"},
                                  {u"home01", u"Clear", u";"}};
    shell::WriteIniString(u"TOOLBAR", u"tbnumber", u"5", settings_);
    for (int n = 0; n < 5; ++n) {
      std::u16string k = U16(std::to_wstring(n));
      shell::WriteIniString(u"TOOLBAR", u"ICON_" + k, u".\\icons\\" + std::u16string(rows[n][0]) + u".ico", settings_);
      shell::WriteIniString(u"TOOLBAR", u"ICONTEXT_" + k, rows[n][1], settings_);
      shell::WriteIniString(u"TOOLBAR", u"QUERYPATTER_" + k, rows[n][2], settings_);
      shell::WriteIniString(u"TOOLBAR", u"SEARCHLOC_" + k, n == 1 ? u"C:\\Music" : u"DEFAULT", settings_);
    }
  }
  std::u16string Key(const std::u16string& key) { return shell::ReadIniString(u"TOOLBAR", key, settings_, u"(missing)"); }

  Host host_;
  std::filesystem::path dir_;
  std::u16string settings_, appDir_;
  std::vector<std::wstring> asked_;
};

}  // namespace lvx::options
