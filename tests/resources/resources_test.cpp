// The resource script against what the program's code and its users rely on: every dialog loads with
// the controls the code addresses (id, class, the style bits its code depends on, text), each control
// lies inside its dialog, none covers another and no text is cut off; the menus and accelerators
// carry the program's commands; every icon has the sizes the program asks for and draws with soft
// edges. Each dialog is also drawn into previews/dialogs/ of the build folder for people to look at.
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
#include <string>
#include <tuple>
#include <vector>

#include <windows.h>
#include <commctrl.h>
#include <winver.h>

#include "resource.h"
#include "ui_test_support.h"
#include "version_info.h"

namespace {

using lvx::uitest::RectIn;

const std::wstring kAppDir = L"" LVX_APP_DIR;

struct Control {
  int id;
  const wchar_t* cls;
  const wchar_t* text = nullptr;  // checked when given
  DWORD style = 0;                // bits the code relies on
  bool disabled = false;          // disabled until the code enables it
};

struct Dialog {
  int id;
  const char* name;
  const wchar_t* title;  // null: a frameless child page
  std::vector<Control> controls;
  std::vector<const wchar_t*> labels = {};  // texts of unnamed labels and group boxes
  bool programIcon = false;
};

const wchar_t *const B = L"Button", *const E = L"Edit", *const CB = L"ComboBox", *const S = L"Static",
              *const LV = WC_LISTVIEWW, *const TAB = WC_TABCONTROLW;
const DWORD kDropList = CBS_DROPDOWNLIST, kTick = BS_AUTOCHECKBOX;

const std::vector<Dialog>& Dialogs() {
  static const std::vector<Dialog> dialogs = {
    {IDD_ABOUTBOX, "aboutbox", L"About Lumivex",
     {{IDC_ABOUT_VERSION, S, L"" LVX_ABOUT_VERSION_TEXT}, {IDOK, B, L"OK"}}, {}, true},
    {IDD_MAIN, "main", L"Lumivex",
     {{IDC_MAIN_PATTERN, CB}, {IDC_MAIN_FOLDER, CB}, {IDC_MAIN_BROWSE, B}, {IDC_MAIN_SEARCH, B},
      {IDC_MAIN_RESULTS, LV, nullptr, LVS_REPORT | LVS_OWNERDATA}, {IDC_MAIN_SORT_TABS, TAB},
      {IDC_MAIN_STATUS, E, nullptr, ES_READONLY}, {IDC_MAIN_REFINE_LABEL, S, L"[Refine Mode is On]"}}},
    {IDD_TOOLBAR_PAGE, "toolbar_page", nullptr, {}},
    {IDD_SIZEDATE_PAGE, "sizedate_page", nullptr,
     {{IDC_SD_USE_MIN, B, L"Minimum Size(KB):", kTick}, {IDC_SD_MIN, E, nullptr, ES_NUMBER, true},
      {IDC_SD_MIN_SPIN, UPDOWN_CLASSW, nullptr, 0, true}, {IDC_SD_USE_MAX, B, L"Maximum Size(KB):", kTick},
      {IDC_SD_MAX, E, nullptr, ES_NUMBER, true}, {IDC_SD_MAX_SPIN, UPDOWN_CLASSW, nullptr, 0, true},
      {IDC_SD_USE_FROM, B, L"Date Modified From:", kTick}, {IDC_SD_FROM, DATETIMEPICK_CLASSW, nullptr, 0, true},
      {IDC_SD_USE_TO, B, L"Date Modified To:", kTick}, {IDC_SD_TO, DATETIMEPICK_CLASSW, nullptr, 0, true}}},
    {IDD_ADVANCED_PAGE, "advanced_page", nullptr,
     {{IDC_ADV_SEARCH_FOR, CB, nullptr, kDropList}, {IDC_ADV_NO_SUBDIRS, B, L"No Subdirectories", kTick},
      {IDC_ADV_ALLOW_ONE_CHAR, B, L"Allow 1 Character Search", kTick}}},
    {IDD_EDIT_TOOLBAR, "edit_toolbar", L"Customize Toolbar",
     {{IDC_ETB_LIST, L"ListBox", nullptr, LBS_NOTIFY}, {IDC_ETB_UP, B, L"Up"}, {IDC_ETB_DOWN, B, L"Down"},
      {IDC_ETB_DEL, B, L"Del"}, {IDC_ETB_ADD, B, L"Add"}, {IDC_ETB_PREVIEW, B, L"TestBtn", BS_OWNERDRAW},
      {IDC_ETB_ICON_BROWSE, B, L"Browse..."}, {IDC_ETB_TEXT, E}, {IDC_ETB_ACTION, E}, {IDC_ETB_LOCATION, E},
      {IDC_ETB_LOCATION_BROWSE, B, L"Browse..."}, {IDC_ETB_SAVE, B, L"Save"}, {IDC_ETB_CANCEL, B, L"Cancel"}},
     {L"Button Setting", L"Text", L"Action", L"Location"}},
    {IDD_ADD_TBBUTTON, "add_tbbutton", L"Add Toolbar Button",
     {{IDC_ATB_PREVIEW, B, L"BtnTest", BS_OWNERDRAW}, {IDC_ATB_ICON_BROWSE, B, L"Browse.."}, {IDC_ATB_TEXT, E},
      {IDC_ATB_ACTION, E}, {IDC_ATB_LOCATION, E}, {IDC_ATB_LOCATION_BROWSE, B, L"Browse.."},
      {IDC_ATB_ADD, B, L"Add"}, {IDC_ATB_CANCEL, B, L"Cancel"}},
     {L"Text", L"Action", L"Location"}},
    {IDD_SAVE_RESULTS, "save_results", L"Save Results",
     {{IDC_SAVE_FILE_PATH_LABEL, S, L"File Path:"}, {IDC_SAVE_FILE_PATH, E}, {IDC_SAVE_BROWSE, B, L"Browse..."},
      {IDC_SAVE_FORMAT_LABEL, S, L"Format:"}, {IDC_SAVE_FORMAT, E},
      {IDC_SAVE_SELECTED_ONLY, B, L"Save Selected Items Only", kTick}, {IDOK, B, L"Save"}, {IDCANCEL, B, L"Cancel"}}},
    {IDD_WELCOME, "welcome", L"Welcome to Lumivex",
     {{IDC_WEB_LINK, S, L"" LVX_HOMEPAGE_URL, SS_NOTIFY}, {IDOK, B, L"OK"}},
     {L"Welcome to Lumivex .", L"With Lumivex you can instantly find files on your computer within few seconds.",
      L"Tips:", L"* You can start seaching after the search cache is built.",
      L"* Building the cache usually takes only  1-5 minutes.",
      L"* Search cache is built automatically when you run this program for the first time.",
      L"* The search cache will be updated automatically after the building.", L"Product Information on the Web:"},
     true},
    {IDD_ABOUT, "about", L"About Lumivex",
     {{IDC_ABOUT_VERSION, S, L"" LVX_ABOUT_VERSION_TEXT}, {IDC_ABOUT_VISIT, S, L"Visit our website:"},
      {IDC_WEB_LINK, S, L"" LVX_HOMEPAGE_URL, SS_NOTIFY}, {IDOK, B, L"OK"}},
     {}, true},
    {IDD_SELECT_DRIVES, "select_drives", L"Select Drives to Search ...",
     {{IDC_DRIVES_LIST, LV, nullptr, LVS_REPORT}, {IDC_DRIVES_OK, B, L"OK"}, {IDC_DRIVES_CANCEL, B, L"Cancel"},
      {IDC_DRIVES_AUTO_REMOVABLE, B, L"Automatically refresh removable drives", kTick}}},
    {IDD_UPDATE_LOCATION, "update_location", L"Update Location...",
     {{IDC_UPDLOC_LOCATION, E}, {IDC_UPDLOC_BROWSE, B, L"Browse"},
      {IDC_UPDLOC_NO_SUBDIRS, B, L"Don't update subdirs", kTick}, {IDOK, B, L"OK"}, {IDCANCEL, B, L"Cancel"}}},
    {IDD_SETTINGS, "settings", L"Settings", {{IDC_SETTINGS_TABS, TAB}, {IDOK, B, L"OK"}, {IDCANCEL, B, L"Cancel"}}},
    {IDD_PAGE_GENERAL, "page_general", nullptr,
     {{IDC_GEN_AUTOSTART, B, L"Execute at windows startup", kTick},
      {IDC_GEN_REALTIME, B, L"Real-time updating (Monitor and update the file changes automatically)", kTick},
      {IDC_GEN_CHECK_INTEGRITY, B, L"Check cache integrity when the program is launched", kTick},
      {IDC_GEN_SHOW_WARNINGS, B, L"Show warning messages", kTick},
      {IDC_GEN_CHECK_UPDATES, B, L"Check for updates automatically:", kTick},
      {IDC_GEN_UPDATE_INTERVAL, CB, nullptr, kDropList}}},
    {IDD_UPDATER, "updater", L"Lumivex Updater", {{IDC_UPDATER_PROGRESS, PROGRESS_CLASSW}, {IDCANCEL, B, L"Cancel"}},
     {L"Checking for updates..."}},
  };
  return dialogs;
}

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

// A dialog loaded hidden; a page is hosted by a plain hidden window, as the program hosts it.
using Window = std::unique_ptr<HWND__, void (*)(HWND)>;
Window Load(const Dialog& d) {
  static HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 800, 600, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
  return Window(CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(d.id), d.title ? nullptr : host,
                                   DialogProc, 0),
                [](HWND w) { DestroyWindow(w); });
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

std::vector<Child> ChildrenOf(HWND dlg) {
  std::vector<Child> children;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    children.push_back({c, GetDlgCtrlID(c), ClassOf(c), DWORD(GetWindowLongW(c, GWL_STYLE)), RectIn(c, dlg)});
  return children;
}

bool IsGroupBox(const Child& c) { return Is(c.cls, B) && (c.style & BS_TYPEMASK) == BS_GROUPBOX; }

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
  bool isButton = Is(c.cls, B), isStatic = Is(c.cls, S);
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

// Each control lies inside its dialog, none covers another (but a group box, and a spin button on its
// box's edge) and no text is cut off. A drawn dialog has its background, its texts' ink and more: not
// one flat colour.
TEST_F(ResourcesTest, EveryDialogCarriesTheControlsItsCodeAddressesFitsAndDraws) {
  std::string folder = LVX_DIALOG_PREVIEW_DIR;
  std::filesystem::create_directories(std::filesystem::path(folder));
  for (const Dialog& d : Dialogs()) {
    SCOPED_TRACE(d.name);
    Window loaded = Load(d);
    HWND dlg = loaded.get();
    ASSERT_NE(dlg, nullptr) << "CreateDialogParam failed: " << GetLastError();
    DWORD style = DWORD(GetWindowLongW(dlg, GWL_STYLE));
    if (d.title) {
      EXPECT_EQ(TextOf(dlg), d.title);
      EXPECT_EQ(style & (WS_CHILD | WS_CAPTION), DWORD(WS_CAPTION));
    } else {
      EXPECT_EQ(style & (WS_CHILD | WS_CAPTION | WS_THICKFRAME), DWORD(WS_CHILD));
    }
    EXPECT_FALSE(style & WS_VISIBLE) << "the code decides when the window shows";
    for (const Control& c : d.controls) {
      SCOPED_TRACE(c.id);
      HWND w = GetDlgItem(dlg, c.id);
      ASSERT_NE(w, nullptr);
      EXPECT_TRUE(Is(ClassOf(w), c.cls)) << Narrow(ClassOf(w));
      DWORD bits = DWORD(GetWindowLongW(w, GWL_STYLE));
      EXPECT_EQ(bits & c.style, c.style);
      if (c.text) EXPECT_EQ(TextOf(w), c.text);
      EXPECT_EQ(IsWindowEnabled(w) == FALSE, c.disabled);
      if (Is(c.cls, UPDOWN_CLASSW)) {  // bound to the number box just before it, which it keeps current
        EXPECT_EQ(HWND(SendMessageW(w, UDM_GETBUDDY, 0, 0)), GetDlgItem(dlg, c.id - 1));
        EXPECT_EQ(bits & (UDS_SETBUDDYINT | UDS_ARROWKEYS), DWORD(UDS_SETBUDDYINT | UDS_ARROWKEYS));
      }
      if (Is(c.cls, L"ListBox")) EXPECT_FALSE(bits & LBS_SORT) << "the order is the buttons'";
    }
    std::vector<std::wstring> texts;
    bool icon = false;
    for (const Child& c : ChildrenOf(dlg)) {
      if (c.id == IDC_STATIC) texts.push_back(TextOf(c.hwnd));
      if (Is(c.cls, S) && (c.style & SS_TYPEMASK) == SS_ICON) icon = icon || SendMessageW(c.hwnd, STM_GETICON, 0, 0);
    }
    for (const wchar_t* label : d.labels)
      EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << Narrow(label);
    EXPECT_EQ(icon, d.programIcon);
    if (d.id == IDD_MAIN) {  // of its own class, with the main menu as its menu bar
      EXPECT_EQ(ClassOf(dlg), L"" LVX_MAIN_WINDOW_CLASS);
      wchar_t first[32] = {};
      GetMenuStringW(GetMenu(dlg), 0, first, 32, MF_BYPOSITION);
      EXPECT_STREQ(first, L"&File");
    }

    RECT client;
    GetClientRect(dlg, &client);
    std::vector<Child> children = ChildrenOf(dlg);
    for (size_t i = 0; i < children.size(); ++i) {
      const Child& a = children[i];
      SCOPED_TRACE(Narrow(TextOf(a.hwnd)) + " #" + std::to_string(a.id));
      EXPECT_TRUE(Inside(a.rect, client));
      EXPECT_EQ(TextDoesNotFit(a), "");
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
        if (&b != &a && Overlap(a.rect, b.rect)) EXPECT_TRUE(Inside(b.rect, frame)) << "inside the group: #" << b.id;
    }

    if (d.id == IDD_SETTINGS) EXPECT_TRUE(HostGeneralPage(dlg)) << "the general page fits the settings tab";
    lvx::uitest::Image image = lvx::uitest::Shoot(dlg, std::to_string(d.id) + "_" + d.name, folder.c_str());
    std::vector<uint32_t> colours;
    for (uint32_t p : image.pixels)
      if (colours.size() < 3 && std::find(colours.begin(), colours.end(), p) == colours.end()) colours.push_back(p);
    EXPECT_EQ(colours.size(), d.controls.empty() ? 1u : 3u);
  }
}

// The menu in one line: items apart by "|", a command as "text=id" (then "~" when grayed), a
// separator as "-", a popup as "text{items}".
std::wstring Flatten(HMENU menu) {
  std::wstring out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = 128;
    GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
    out += i ? L"|" : L"";
    if (info.fType & MFT_SEPARATOR)
      out += L"-";
    else if (info.hSubMenu)
      out += text + (L"{" + Flatten(info.hSubMenu) + L"}");
    else
      out += text + (L"=" + std::to_wstring(info.wID)) + (info.fState & MFS_GRAYED ? L"~" : L"");
  }
  return out;
}

TEST_F(ResourcesTest, MenusAndAcceleratorsCarryTheProgramsCommandsAndTexts) {
  const std::pair<int, const wchar_t*> menus[] = {
    {IDR_MAINMENU,
     L"&File{&Save Results As..=32773|-|Save &Cache File As...=32785|&Load Cache File...=32821|-|E&xit=32771}|"
     L"&Edit{&Select All\tCtrl+A=32794|-|&Copy\tCtrl+C=32877|&Delete\tDel=32878}|"
     L"&View{&Arrange Results By{&Name=32776|&Location=32777|&Size=32778|&Type=32779|&Date Modified=32782}|-|"
     L"Font...=32857|&Refresh=32786|-|Styles{Windows Theme=32866|Vista Style=32867}}|"
     L"&Tools{&Select Drives to Search...=32846|&Customize Toolbar...=32783|-|"
     L"&Update Search Cache{&Update Entire Search Cache=32883|&Stop Updating=32889~|&Pause Updating=32884~}|"
     L"Update &Location...=32890|&Tools{&Clean Search History=32829|Clean Location &History=32830|-|"
     L"&Defrag Cache File=32792}|-|&Refine Mode\tCtrl+R=32874|-|S&ettings...=32891}|"
     L"&Help{&Content...=32788|Check for updates=32855|-|&About...=32772}"},
    // Position 0 of the result menu is a separator: "E&xplorer Action" goes in front of it.
    {IDR_LISTMENU,
     L"LISTMENU{-|Search In &Same Folder=32812|Search In &This Folder=32833|-|&Open=32797|&Browse File=32808|"
     L"Browse &Folder=32799|Op&en Command Prompt=32800|Copy &Whole File Path=32809|"
     L"Copy &Location Path=32811|-|&Copy\tCtrl+C=32805|&Delete\tDel=32803}"},
    {IDR_TRAYMENU,
     L"TRAYMENU{Open Main &Window=32813|-|&Update Search Cache{&Update Entire Search Cache=32885|"
     L"&Stop Updating=32886~|&Pause Updating=32887~}|-|E&xit=32814}"},
  };
  for (const auto& [id, expected] : menus) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    ASSERT_NE(menu, nullptr) << id;
    EXPECT_EQ(Narrow(Flatten(menu)), Narrow(expected)) << id;
    DestroyMenu(menu);
  }
  wchar_t about[64] = {};  // the system menu's about item
  EXPECT_GT(LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 64), 0);
  EXPECT_STREQ(about, L"&About Lumivex ...");

  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  ASSERT_NE(table, nullptr);
  std::vector<ACCEL> keys(size_t(CopyAcceleratorTableW(table, nullptr, 0)));
  CopyAcceleratorTableW(table, keys.data(), int(keys.size()));
  DestroyAcceleratorTable(table);
  using Key = std::tuple<int, int, int>;  // modifiers, virtual key, command
  std::vector<Key> got;
  for (const ACCEL& a : keys) {
    EXPECT_TRUE(a.fVirt & FVIRTKEY);
    got.emplace_back(a.fVirt & (FCONTROL | FALT | FSHIFT), a.key, a.cmd);
  }
  std::vector<Key> expected = {
    {FCONTROL, 'A', 32853}, {FALT, 'N', 32858}, {FALT, 'L', 32859}, {FALT, 'S', 32860}, {FALT, 'Y', 32861},
    {FALT, 'M', 32862}, {FALT, 'U', 32863}, {0, VK_APPS, 32868}, {FSHIFT, VK_APPS, 32869},
    // the keys the menus name: Copy, Delete, Refine Mode
    {FCONTROL, 'C', 32877}, {0, VK_DELETE, 32878}, {FCONTROL, 'R', 32874}};
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
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
  // The toolbar's icons beside the program, at the toolbar's two sizes.
  for (const wchar_t* name : {L"music01", L"movie01", L"doc01", L"pic01", L"home01", L"default"}) {
    SCOPED_TRACE(Narrow(name));
    std::wstring path = kAppDir + L"\\icons\\" + name + L".ico";
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 6u);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t count = p[4] | p[5] << 8;
    ASSERT_GE(bytes.size(), 6 + 16 * count);
    std::vector<std::pair<int, int>> entries;  // size, bits per pixel
    for (size_t i = 0; i < count; ++i) entries.emplace_back(p[6 + 16 * i], p[6 + 16 * i + 6]);
    EXPECT_EQ(entries, (std::vector<std::pair<int, int>>{{16, 32}, {32, 32}, {37, 32}, {40, 32}, {48, 32}}));
    for (int size : {37, 40}) {
      HICON icon = HICON(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
      ExpectDrawnWithSoftEdges(icon, size);
      DestroyIcon(icon);
    }
  }
}

TEST_F(ResourcesTest, TheVersionComesFromTheProjectAndTheManifestBringsCommonControls6) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::vector<BYTE> block(GetFileVersionInfoSizeW(self, nullptr));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(self, 0, DWORD(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, DWORD(LVX_VERSION_MAJOR << 16 | LVX_VERSION_MINOR));
  EXPECT_EQ(fixed->dwFileVersionLS, DWORD(LVX_VERSION_PATCH << 16 | LVX_VERSION_BUILD));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  auto text = [&](const wchar_t* key) {
    wchar_t* value = nullptr;
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
    return VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ? std::wstring(value)
                                                                                                   : std::wstring();
  };
  EXPECT_EQ(text(L"FileVersion"), L"" LVX_VERSION_TEXT);
  EXPECT_EQ(text(L"ProductVersion"), L"" LVX_VERSION_TEXT);
  EXPECT_EQ(text(L"ProductName"), L"Lumivex");
  EXPECT_EQ(text(L"OriginalFilename"), L"lumivex.exe");
  for (const wchar_t* key : {L"CompanyName", L"FileDescription", L"LegalCopyright"}) EXPECT_NE(text(key), L"") << Narrow(key);

  // The manifest asks for version 6 of the common controls: the process loaded them from the side-
  // by-side store, not the version 5 of the system folder.
  wchar_t controls[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), controls, MAX_PATH);
  std::wstring path = controls;
  std::transform(path.begin(), path.end(), path.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
  EXPECT_NE(path.find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos) << Narrow(path);
}

}  // namespace
