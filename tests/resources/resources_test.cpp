// The resource script against rules every window and its users rely on: each dialog loads hidden,
// its controls lie inside it, none covers another, no text is cut off, a spin button keeps the box
// before it current; the keys the menus name are accelerators; every icon has the sizes the program
// asks for and draws with soft edges; the manifest brings version 6 of the common controls. Which
// controls each dialog carries is checked by the tests that drive the dialogs. Each dialog is also
// drawn into previews/dialogs/ of the build folder for people to look at.
//
// Runs under wine with a display (xvfb-run).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "resource.h"
#include "ui_test_support.h"

namespace {

using lvx::uitest::RectIn;

std::wstring TextOf(HWND w) {
  wchar_t buffer[512] = {};
  GetWindowTextW(w, buffer, 512);
  return buffer;
}

std::wstring ClassOf(HWND w) {
  wchar_t buffer[128] = {};
  GetClassNameW(w, buffer, 128);
  return buffer;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

bool Is(const std::wstring& cls, const wchar_t* name) { return _wcsicmp(cls.c_str(), name) == 0; }

INT_PTR CALLBACK DialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The dialog templates of the program, by id.
std::vector<int> DialogIds() {
  std::vector<int> ids;
  EnumResourceNamesW(
      GetModuleHandleW(nullptr), MAKEINTRESOURCEW(5) /* RT_DIALOG */,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
        if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<int>*>(ids)->push_back(int(ULONG_PTR(name)));
        return TRUE;
      },
      LONG_PTR(&ids));
  return ids;
}

class ResourcesTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&icc);
    // The main window's class: a copy of the dialog class under its own name, as the program makes it.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    GetClassInfoExW(nullptr, L"#32770", &wc);
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"" LVX_MAIN_WINDOW_CLASS;
    RegisterClassExW(&wc);
  }
};

struct Child {
  HWND hwnd;
  int id;
  std::wstring cls;
  DWORD style;
  RECT rect;  // in the dialog's client coordinates
};

bool IsGroupBox(const Child& c) { return Is(c.cls, L"Button") && (c.style & BS_TYPEMASK) == BS_GROUPBOX; }

// A spin button may sit on the edge of the box it is bound to.
bool Bound(const Child& a, const Child& b) {
  return Is(a.cls, UPDOWN_CLASSW) && HWND(SendMessageW(a.hwnd, UDM_GETBUDDY, 0, 0)) == b.hwnd;
}

bool Overlap(const RECT& a, const RECT& b) {
  RECT both;
  return IntersectRect(&both, &a, &b) != FALSE;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// Why the text of a control does not fit it, or empty.
std::string TextDoesNotFit(const Child& c) {
  std::wstring text = TextOf(c.hwnd);
  bool isButton = Is(c.cls, L"Button"), isStatic = Is(c.cls, L"Static");
  DWORD type = isButton ? c.style & BS_TYPEMASK : c.style & SS_TYPEMASK;
  if (text.empty() || (!(isButton && type != BS_OWNERDRAW) && !(isStatic && type <= SS_RIGHT))) return {};
  int room = c.rect.right - c.rect.left, roomY = c.rect.bottom - c.rect.top;
  UINT flags = DT_CALCRECT | DT_EXPANDTABS | (isStatic ? DT_WORDBREAK : DT_SINGLELINE);
  if (isButton && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON))
    room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
  else if (isButton && type == BS_GROUPBOX)
    room -= 16;
  else if (isButton)
    room -= 6, roomY -= 4;
  RECT r{0, 0, c.rect.right - c.rect.left, 0};
  HDC dc = GetDC(c.hwnd);
  HGDIOBJ old = SelectObject(dc, HFONT(SendMessageW(c.hwnd, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), -1, &r, flags);
  SelectObject(dc, old);
  ReleaseDC(c.hwnd, dc);
  if (r.right <= room && r.bottom <= roomY) return {};
  return "text needs " + std::to_string(r.right) + "x" + std::to_string(r.bottom) + " px, has " +
         std::to_string(room) + "x" + std::to_string(roomY);
}

// Puts the general page into the settings dialog's tab, as the settings dialog does; true when the
// page lies inside the tab's display area.
bool HostGeneralPage(HWND settings) {
  HWND tabs = GetDlgItem(settings, IDC_SETTINGS_TABS);
  TCITEMW item{TCIF_TEXT, 0, 0, const_cast<wchar_t*>(L"General"), 0, -1, 0};
  SendMessageW(tabs, TCM_INSERTITEMW, 0, LPARAM(&item));
  RECT area = RectIn(tabs, settings);
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, LPARAM(&area));
  HWND w = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PAGE_GENERAL), settings, DialogProc, 0);
  SetWindowPos(w, HWND_TOP, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  return w && Inside(RectIn(w, settings), area);
}

// A page is a frameless child, any other dialog has a caption; the code decides when each shows.
// Each control lies inside its dialog, none covers another (but a group box, and a spin button on its
// box's edge) and no text is cut off. A drawn dialog has its background, its texts' ink and more: not
// one flat colour.
TEST_F(ResourcesTest, EveryDialogLoadsHiddenFitsAndDraws) {
  std::string folder = LVX_DIALOG_PREVIEW_DIR;
  std::filesystem::create_directories(std::filesystem::path(folder));
  const std::vector<int> ids = DialogIds();
  EXPECT_GE(ids.size(), 15u);
  for (int id : ids) {
    SCOPED_TRACE(id);
    // Loaded hidden, owned by (a page: hosted in) a plain hidden window, as the program hosts it.
    static HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 800, 600, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    std::unique_ptr<HWND__, BOOL(WINAPI*)(HWND)> loaded(
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), host, DialogProc, 0), DestroyWindow);
    HWND dlg = loaded.get();
    ASSERT_NE(dlg, nullptr) << "CreateDialogParam failed: " << GetLastError();
    DWORD style = DWORD(GetWindowLongW(dlg, GWL_STYLE));
    if (style & WS_CHILD)
      EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME)) << "a page has no frame";
    else
      EXPECT_EQ(style & WS_CAPTION, DWORD(WS_CAPTION));
    EXPECT_FALSE(style & WS_VISIBLE) << "the code decides when the window shows";

    RECT client;
    GetClientRect(dlg, &client);
    std::vector<Child> children;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      children.push_back({c, GetDlgCtrlID(c), ClassOf(c), DWORD(GetWindowLongW(c, GWL_STYLE)), RectIn(c, dlg)});
    for (size_t i = 0; i < children.size(); ++i) {
      const Child& a = children[i];
      SCOPED_TRACE(Narrow(TextOf(a.hwnd)) + " #" + std::to_string(a.id));
      EXPECT_TRUE(Inside(a.rect, client));
      EXPECT_EQ(TextDoesNotFit(a), "");
      if (Is(a.cls, UPDOWN_CLASSW)) {  // bound to the number box just before it, which it keeps current
        EXPECT_TRUE(i > 0 && Bound(a, children[i - 1]));
        EXPECT_EQ(a.style & (UDS_SETBUDDYINT | UDS_ARROWKEYS), DWORD(UDS_SETBUDDYINT | UDS_ARROWKEYS));
      }
      EXPECT_FALSE(Is(a.cls, L"ListBox") && (a.style & LBS_SORT)) << "a list box keeps the code's order";
      for (size_t j = i + 1; j < children.size(); ++j) {
        const Child& b = children[j];
        if (IsGroupBox(a) || IsGroupBox(b) || Bound(a, b) || Bound(b, a)) continue;
        EXPECT_FALSE(Overlap(a.rect, b.rect)) << "overlaps " << Narrow(TextOf(b.hwnd)) << " #" << b.id;
      }
      if (!IsGroupBox(a)) continue;
      RECT frame = a.rect;
      InflateRect(&frame, -2, -2);
      frame.top += 6;  // the caption rides on the top line
      for (const Child& b : children)
        EXPECT_TRUE(&b == &a || !Overlap(a.rect, b.rect) || Inside(b.rect, frame)) << "inside the group: #" << b.id;
    }

    EXPECT_TRUE(id != IDD_SETTINGS || HostGeneralPage(dlg)) << "the general page fits the settings tab";
    std::string name = std::to_string(id), word;  // "<id>_<words of the title>"
    for (wchar_t c : (style & WS_CHILD ? std::wstring(L"page") : TextOf(dlg)) + L" ")
      if (std::iswalnum(c)) word += char(std::towlower(c));
      else if (!word.empty()) name += "_" + word, word.clear();
    lvx::uitest::Image image = lvx::uitest::Shoot(dlg, name, folder.c_str());
    std::set<uint32_t> colours(image.pixels.begin(), image.pixels.end());
    EXPECT_EQ(std::min<size_t>(colours.size(), 3), children.empty() ? 1u : 3u);
  }
}

// The key a menu item names after its tab ("Ctrl+C", "Del"), as an accelerator: modifiers, virtual key.
std::tuple<int, int> KeyNamed(std::wstring name) {
  int modifiers = 0;
  for (auto [prefix, bit] : {std::pair{L"Ctrl+", FCONTROL}, {L"Alt+", FALT}, {L"Shift+", FSHIFT}})
    if (name.rfind(prefix, 0) == 0) modifiers |= bit, name.erase(0, wcslen(prefix));
  return {modifiers, name == L"Del" ? VK_DELETE : name.size() == 1 ? int(name[0]) : -1};
}

// The keys the items of the menu and its submenus name.
void NamedKeys(HMENU menu, std::vector<std::tuple<int, int>>* keys) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, UINT(i), text, 128, MF_BYPOSITION);
    if (const wchar_t* tab = wcschr(text, L'\t')) keys->push_back(KeyNamed(tab + 1));
    if (HMENU sub = GetSubMenu(menu, i)) NamedKeys(sub, keys);
  }
}

TEST_F(ResourcesTest, EveryKeyTheMenusNameIsAnAcceleratorAndNoKeyIsTakenTwice) {
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  ASSERT_NE(table, nullptr);
  std::vector<ACCEL> accels(size_t(CopyAcceleratorTableW(table, nullptr, 0)));
  CopyAcceleratorTableW(table, accels.data(), int(accels.size()));
  DestroyAcceleratorTable(table);
  std::set<std::tuple<int, int>> keys;
  for (const ACCEL& a : accels) {
    EXPECT_TRUE(a.fVirt & FVIRTKEY);
    EXPECT_TRUE(keys.insert({a.fVirt & (FCONTROL | FALT | FSHIFT), a.key}).second) << "key " << a.key << " twice";
  }
  std::vector<std::tuple<int, int>> named;
  for (int id : {IDR_MAINMENU, IDR_LISTMENU, IDR_TRAYMENU}) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    ASSERT_NE(menu, nullptr) << id;
    NamedKeys(menu, &named);
    DestroyMenu(menu);
  }
  EXPECT_GE(named.size(), 3u);
  for (auto [modifiers, key] : named) EXPECT_TRUE(keys.count({modifiers, key})) << modifiers << "+" << key;
}

// Draws the icon over black and over white: opaque shapes on a transparent ground, soft edges between.
void ExpectDrawnWithSoftEdges(HICON icon, int size) {
  ASSERT_NE(icon, nullptr);
  std::vector<uint32_t> over[2];
  for (int pass = 0; pass < 2; ++pass) {
    BITMAPINFO info{};
    info.bmiHeader = lvx::uitest::TopDown32(size, size);
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::fill_n(static_cast<uint32_t*>(bits), size * size, pass ? 0x00FFFFFFu : 0u);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    over[pass].assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + size * size);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  int opaque = 0, clear = 0, soft = 0;
  for (size_t i = 0; i < over[0].size(); ++i) {
    int alpha = 255 - int((over[1][i] >> 8 & 0xFF) - (over[0][i] >> 8 & 0xFF));
    (alpha >= 250 ? opaque : alpha <= 5 ? clear : soft)++;
  }
  EXPECT_GE(opaque, size / 2);
  EXPECT_GT(clear, 0);
  EXPECT_GT(soft, size / 2) << "edges are not anti-aliased";
}

// The width of the image a resource icon group holds for a size, 0 when none is exactly that size.
int ExactImage(int group, int size) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(group), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
  if (!res) return 0;
  auto* dir = static_cast<BYTE*>(LockResource(LoadResource(self, res)));
  int id = LookupIconIdFromDirectoryEx(dir, TRUE, size, size, LR_DEFAULTCOLOR);
  HRSRC image = FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3) /* RT_ICON */);
  if (!image) return 0;
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(self, image)));
  if (memcmp(data, "\x89PNG", 4) == 0) return data[16] << 24 | data[17] << 16 | data[18] << 8 | data[19];
  BITMAPINFOHEADER header;
  memcpy(&header, data, sizeof(header));
  return header.biBitCount == 32 && header.biWidth == size ? size : 0;
}

TEST_F(ResourcesTest, TheProgramsIconsHaveEverySizeAndSoftEdges) {
  const std::vector<std::pair<int, std::vector<int>>> icons = {
    {IDI_LUMIVEX, {16, 20, 24, 32, 40, 48, 64, 256}}, {IDI_MORE, {16, 20, 24, 32}}};
  for (const auto& [id, sizes] : icons) {
    for (int size : sizes) {
      SCOPED_TRACE(std::to_string(id) + " at " + std::to_string(size));
      EXPECT_EQ(ExactImage(id, size), size);
      HICON icon = HICON(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
      ExpectDrawnWithSoftEdges(icon, size);
      DestroyIcon(icon);
    }
  }
  // The toolbar's icons beside the program hold 32-bit images of the toolbar's two sizes.
  for (const wchar_t* name : {L"music01", L"movie01", L"doc01", L"pic01", L"home01", L"default"}) {
    SCOPED_TRACE(Narrow(name));
    std::wstring path = L"" LVX_APP_DIR L"\\icons\\" + std::wstring(name) + L".ico";
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 6u);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t count = p[4] | p[5] << 8;
    ASSERT_GE(bytes.size(), 6 + 16 * count);
    std::set<std::pair<int, int>> entries;  // size, bits per pixel
    for (size_t i = 0; i < count; ++i) entries.emplace(p[6 + 16 * i], p[6 + 16 * i + 6]);
    for (int size : {37, 40}) {
      EXPECT_TRUE(entries.count({size, 32})) << size;
      HICON icon = HICON(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
      ExpectDrawnWithSoftEdges(icon, size);
      DestroyIcon(icon);
    }
  }
}

// The manifest asks for version 6 of the common controls: the process loaded them from the side-by-
// side store, not the version 5 of the system folder. (The version resource is checked against the
// package by the installer test.)
TEST_F(ResourcesTest, TheManifestBringsCommonControls6) {
  wchar_t controls[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), controls, MAX_PATH);
  std::wstring path = controls;
  std::transform(path.begin(), path.end(), path.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
  EXPECT_NE(path.find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos) << Narrow(path);
}

}  // namespace
