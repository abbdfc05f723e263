// The resource script against what the program's code expects of it: every dialog loads and carries
// the controls the code addresses (id, class, style, text), each control lies inside its dialog,
// none covers another and no text is cut off; the menus and accelerators carry the program's
// commands; every icon has the sizes the program asks for and draws with soft edges. Each dialog is
// also drawn into previews/dialogs/<id>_<name>.png of the build folder for people to look at.
//
// Runs under wine with a display (xvfb-run).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <windows.h>
#include <commctrl.h>
#include <winver.h>

#include "resource.h"
#include "version_info.h"

namespace {

const std::wstring kAppDir = L"" LVX_APP_DIR;
const std::wstring kShotDir = L"" LVX_DIALOG_PREVIEW_DIR;

// ---------------------------------------------------------------------------------------------
// What the code expects of each dialog

enum Kind { Push, Check, OwnerDraw, Edit, NumberEdit, ReadOnlyEdit, Combo, DropList, ListBox, Label,
            Link, ReportList, OwnerDataList, Spin, DatePicker, Progress, Tabs };

struct KindTraits { const wchar_t* cls; DWORD mask; DWORD value; };

KindTraits TraitsOf(Kind kind) {
  switch (kind) {
    case Push: return {L"Button", BS_TYPEMASK & ~DWORD(BS_DEFPUSHBUTTON), BS_PUSHBUTTON};
    case Check: return {L"Button", BS_TYPEMASK, BS_AUTOCHECKBOX};
    case OwnerDraw: return {L"Button", BS_TYPEMASK, BS_OWNERDRAW};
    case Edit: return {L"Edit", ES_NUMBER | ES_READONLY, 0};
    case NumberEdit: return {L"Edit", ES_NUMBER | ES_READONLY, ES_NUMBER};
    case ReadOnlyEdit: return {L"Edit", ES_READONLY, ES_READONLY};
    case Combo: return {L"ComboBox", 3, CBS_DROPDOWN};
    case DropList: return {L"ComboBox", 3, CBS_DROPDOWNLIST};
    case ListBox: return {L"ListBox", LBS_NOTIFY | LBS_SORT, LBS_NOTIFY};  // the order is the buttons'
    case Label: return {L"Static", SS_TYPEMASK, SS_LEFT};
    case Link: return {L"Static", SS_TYPEMASK | SS_NOTIFY, SS_LEFT | SS_NOTIFY};
    case ReportList: return {WC_LISTVIEWW, LVS_TYPEMASK | LVS_SINGLESEL, LVS_REPORT | LVS_SINGLESEL};
    case OwnerDataList: return {WC_LISTVIEWW, LVS_TYPEMASK | LVS_OWNERDATA, LVS_REPORT | LVS_OWNERDATA};
    case Spin:
      return {UPDOWN_CLASSW, UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ARROWKEYS,
              UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ARROWKEYS};
    case DatePicker: return {DATETIMEPICK_CLASSW, DTS_RIGHTALIGN | 0x0C, DTS_RIGHTALIGN | DTS_SHORTDATEFORMAT};
    case Progress: return {PROGRESS_CLASSW, 0, 0};
    case Tabs: return {WC_TABCONTROLW, 0, 0};
  }
  return {L"", 0, 0};
}

struct Control {
  int id;
  Kind kind;
  const wchar_t* text = nullptr;  // checked when given
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

const std::vector<Dialog>& Dialogs() {
  static const std::vector<Dialog> dialogs = {
    {IDD_ABOUTBOX, "aboutbox", L"About Lumivex",
     {{IDC_ABOUT_VERSION, Label, L"" LVX_ABOUT_VERSION_TEXT}, {IDOK, Push, L"OK"}}, {}, true},
    {IDD_MAIN, "main", L"Lumivex",
     {{IDC_MAIN_PATTERN, Combo}, {IDC_MAIN_FOLDER, Combo}, {IDC_MAIN_BROWSE, Push},
      {IDC_MAIN_SEARCH, Push}, {IDC_MAIN_RESULTS, OwnerDataList}, {IDC_MAIN_SORT_TABS, Tabs},
      {IDC_MAIN_STATUS, ReadOnlyEdit}, {IDC_MAIN_REFINE_LABEL, Label, L"[Refine Mode is On]"}}},
    {IDD_TOOLBAR_PAGE, "toolbar_page", nullptr, {}},
    {IDD_SIZEDATE_PAGE, "sizedate_page", nullptr,
     {{IDC_SD_USE_MIN, Check, L"Minimum Size(KB):"}, {IDC_SD_MIN, NumberEdit, nullptr, true},
      {IDC_SD_MIN_SPIN, Spin, nullptr, true}, {IDC_SD_USE_MAX, Check, L"Maximum Size(KB):"},
      {IDC_SD_MAX, NumberEdit, nullptr, true}, {IDC_SD_MAX_SPIN, Spin, nullptr, true},
      {IDC_SD_USE_FROM, Check, L"Date Modified From:"}, {IDC_SD_FROM, DatePicker, nullptr, true},
      {IDC_SD_USE_TO, Check, L"Date Modified To:"}, {IDC_SD_TO, DatePicker, nullptr, true}}},
    {IDD_ADVANCED_PAGE, "advanced_page", nullptr,
     {{IDC_ADV_SEARCH_FOR, DropList}, {IDC_ADV_NO_SUBDIRS, Check, L"No Subdirectories"},
      {IDC_ADV_ALLOW_ONE_CHAR, Check, L"Allow 1 Character Search"}}},
    {IDD_EDIT_TOOLBAR, "edit_toolbar", L"Customize Toolbar",
     {{IDC_ETB_LIST, ListBox}, {IDC_ETB_UP, Push, L"Up"}, {IDC_ETB_DOWN, Push, L"Down"},
      {IDC_ETB_DEL, Push, L"Del"}, {IDC_ETB_ADD, Push, L"Add"}, {IDC_ETB_PREVIEW, OwnerDraw, L"TestBtn"},
      {IDC_ETB_ICON_BROWSE, Push, L"Browse..."}, {IDC_ETB_TEXT, Edit}, {IDC_ETB_ACTION, Edit},
      {IDC_ETB_LOCATION, Edit}, {IDC_ETB_LOCATION_BROWSE, Push, L"Browse..."},
      {IDC_ETB_SAVE, Push, L"Save"}, {IDC_ETB_CANCEL, Push, L"Cancel"}},
     {L"Button Setting", L"Text", L"Action", L"Location"}},
    {IDD_ADD_TBBUTTON, "add_tbbutton", L"Add Toolbar Button",
     {{IDC_ATB_PREVIEW, OwnerDraw, L"BtnTest"}, {IDC_ATB_ICON_BROWSE, Push, L"Browse.."},
      {IDC_ATB_TEXT, Edit}, {IDC_ATB_ACTION, Edit}, {IDC_ATB_LOCATION, Edit},
      {IDC_ATB_LOCATION_BROWSE, Push, L"Browse.."}, {IDC_ATB_ADD, Push, L"Add"},
      {IDC_ATB_CANCEL, Push, L"Cancel"}},
     {L"Text", L"Action", L"Location"}},
    {IDD_SAVE_RESULTS, "save_results", L"Save Results",
     {{IDC_SAVE_FILE_PATH_LABEL, Label, L"File Path:"}, {IDC_SAVE_FILE_PATH, Edit},
      {IDC_SAVE_BROWSE, Push, L"Browse..."}, {IDC_SAVE_FORMAT_LABEL, Label, L"Format:"},
      {IDC_SAVE_FORMAT, Edit}, {IDC_SAVE_SELECTED_ONLY, Check, L"Save Selected Items Only"},
      {IDOK, Push, L"Save"}, {IDCANCEL, Push, L"Cancel"}}},
    {IDD_WELCOME, "welcome", L"Welcome to Lumivex",
     {{IDC_WEB_LINK, Link, L"" LVX_HOMEPAGE_URL}, {IDOK, Push, L"OK"}},
     {L"Welcome to Lumivex .",
      L"With Lumivex you can instantly find files on your computer within few seconds.", L"Tips:",
      L"* You can start seaching after the search cache is built.",
      L"* Building the cache usually takes only  1-5 minutes.",
      L"* Search cache is built automatically when you run this program for the first time.",
      L"* The search cache will be updated automatically after the building.",
      L"Product Information on the Web:"},
     true},
    {IDD_ABOUT, "about", L"About Lumivex",
     {{IDC_ABOUT_VERSION, Label, L"" LVX_ABOUT_VERSION_TEXT}, {IDC_ABOUT_VISIT, Label, L"Visit our website:"},
      {IDC_WEB_LINK, Link, L"" LVX_HOMEPAGE_URL}, {IDOK, Push, L"OK"}},
     {}, true},
    {IDD_SELECT_DRIVES, "select_drives", L"Select Drives to Search ...",
     {{IDC_DRIVES_LIST, ReportList}, {IDC_DRIVES_OK, Push, L"OK"}, {IDC_DRIVES_CANCEL, Push, L"Cancel"},
      {IDC_DRIVES_AUTO_REMOVABLE, Check, L"Automatically refresh removable drives"}}},
    {IDD_UPDATE_LOCATION, "update_location", L"Update Location...",
     {{IDC_UPDLOC_LOCATION, Edit}, {IDC_UPDLOC_BROWSE, Push, L"Browse"},
      {IDC_UPDLOC_NO_SUBDIRS, Check, L"Don't update subdirs"}, {IDOK, Push, L"OK"},
      {IDCANCEL, Push, L"Cancel"}}},
    {IDD_SETTINGS, "settings", L"Settings",
     {{IDC_SETTINGS_TABS, Tabs}, {IDOK, Push, L"OK"}, {IDCANCEL, Push, L"Cancel"}}},
    {IDD_PAGE_GENERAL, "page_general", nullptr,
     {{IDC_GEN_AUTOSTART, Check, L"Execute at windows startup"},
      {IDC_GEN_REALTIME, Check, L"Real-time updating (Monitor and update the file changes automatically)"},
      {IDC_GEN_CHECK_INTEGRITY, Check, L"Check cache integrity when the program is launched"},
      {IDC_GEN_SHOW_WARNINGS, Check, L"Show warning messages"},
      {IDC_GEN_CHECK_UPDATES, Check, L"Check for updates automatically:"},
      {IDC_GEN_UPDATE_INTERVAL, DropList}}},
    {IDD_UPDATER, "updater", L"Lumivex Updater",
     {{IDC_UPDATER_PROGRESS, Progress}, {IDCANCEL, Push, L"Cancel"}}, {L"Checking for updates..."}},
  };
  return dialogs;
}

const Dialog& DialogOf(int id) {
  return *std::find_if(Dialogs().begin(), Dialogs().end(), [id](const Dialog& d) { return d.id == id; });
}

// ---------------------------------------------------------------------------------------------
// Loading dialogs

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

HICON PreviewIcon() {
  static HICON icon = HICON(LoadImageW(nullptr, (kAppDir + L"\\icons\\default.ico").c_str(), IMAGE_ICON,
                                       37, 37, LR_LOADFROMFILE));
  return icon;
}

// Draws the owner-drawn toolbar-button previews roughly as the toolbar does, for the pictures.
INT_PTR CALLBACK DialogProc(HWND dlg, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message != WM_DRAWITEM) return FALSE;
  auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
  RECT r = item->rcItem;
  FillRect(item->hDC, &r, GetSysColorBrush(COLOR_WINDOW));
  FrameRect(item->hDC, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  DrawIconEx(item->hDC, (r.left + r.right - 37) / 2, r.top + 5, PreviewIcon(), 37, 37, 0, nullptr, DI_NORMAL);
  RECT text{r.left, r.top + 44, r.right, r.bottom - 2};
  SetBkMode(item->hDC, TRANSPARENT);
  std::wstring caption = TextOf(item->hwndItem);
  DrawTextW(item->hDC, caption.c_str(), -1, &text, DT_CENTER | DT_SINGLELINE | DT_BOTTOM);
  return TRUE;
}

class Loaded {
 public:
  explicit Loaded(const Dialog& d) {
    if (!d.title) {  // a page: hosted by a plain hidden window, as the program hosts it
      host_ = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 800, 600, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    dlg_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(d.id), host_, DialogProc, 0);
  }
  ~Loaded() {
    if (dlg_) DestroyWindow(dlg_);
    if (host_) DestroyWindow(host_);
  }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
  HWND dialog() const { return dlg_; }
  HWND host() const { return host_; }

 private:
  HWND host_ = nullptr;
  HWND dlg_ = nullptr;
};

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
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    children.push_back({c, GetDlgCtrlID(c), ClassOf(c), DWORD(GetWindowLongW(c, GWL_STYLE)), r});
  }
  return children;
}

bool IsGroupBox(const Child& c) {
  return _wcsicmp(c.cls.c_str(), L"Button") == 0 && (c.style & BS_TYPEMASK) == BS_GROUPBOX;
}

// The box a spin button is bound to (it may sit on the box's edge), or null.
HWND BuddyOf(const Child& c) {
  if (_wcsicmp(c.cls.c_str(), UPDOWN_CLASSW) != 0) return nullptr;
  return HWND(SendMessageW(c.hwnd, UDM_GETBUDDY, 0, 0));
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
  if (text.empty()) return {};
  bool isButton = _wcsicmp(c.cls.c_str(), L"Button") == 0;
  bool isStatic = _wcsicmp(c.cls.c_str(), L"Static") == 0;
  DWORD type = isButton ? c.style & BS_TYPEMASK : c.style & SS_TYPEMASK;
  if (!(isButton && type != BS_OWNERDRAW) && !(isStatic && type <= SS_RIGHT)) return {};
  int width = c.rect.right - c.rect.left, height = c.rect.bottom - c.rect.top;
  HDC dc = GetDC(c.hwnd);
  HGDIOBJ old = SelectObject(dc, HFONT(SendMessageW(c.hwnd, WM_GETFONT, 0, 0)));
  RECT r{0, 0, width, 0};
  int room = width, roomY = height;
  UINT flags = DT_CALCRECT | DT_EXPANDTABS;
  if (isStatic) {
    flags |= DT_WORDBREAK;
  } else {
    flags |= DT_SINGLELINE;
    if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON)
      room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
    else if (type == BS_GROUPBOX)
      room -= 16;
    else
      room -= 6, roomY -= 4;
  }
  DrawTextW(dc, text.c_str(), -1, &r, flags);
  SelectObject(dc, old);
  ReleaseDC(c.hwnd, dc);
  if (r.right <= room && r.bottom <= roomY) return {};
  return "text needs " + std::to_string(r.right) + "x" + std::to_string(r.bottom) + " px, has " +
         std::to_string(room) + "x" + std::to_string(roomY);
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

TEST_F(ResourcesTest, EveryDialogCarriesTheControlsItsCodeAddresses) {
  for (const Dialog& d : Dialogs()) {
    SCOPED_TRACE(d.name);
    Loaded loaded(d);
    HWND dlg = loaded.dialog();
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
      KindTraits traits = TraitsOf(c.kind);
      EXPECT_EQ(_wcsicmp(ClassOf(w).c_str(), traits.cls), 0) << Narrow(ClassOf(w));
      EXPECT_EQ(DWORD(GetWindowLongW(w, GWL_STYLE)) & traits.mask, traits.value);
      if (c.text) {
        EXPECT_EQ(TextOf(w), c.text);
      }
      EXPECT_EQ(IsWindowEnabled(w) == FALSE, c.disabled);
      if (c.kind == Spin) {  // bound to the number box just before it
        EXPECT_EQ(HWND(SendMessageW(w, UDM_GETBUDDY, 0, 0)), GetDlgItem(dlg, c.id - 1));
      }
    }
    std::vector<std::wstring> texts;
    bool icon = false;
    for (const Child& c : ChildrenOf(dlg)) {
      if (c.id == IDC_STATIC) texts.push_back(TextOf(c.hwnd));
      if (_wcsicmp(c.cls.c_str(), L"Static") == 0 && (c.style & SS_TYPEMASK) == SS_ICON)
        icon = icon || SendMessageW(c.hwnd, STM_GETICON, 0, 0) != 0;
    }
    for (const wchar_t* label : d.labels)
      EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << Narrow(label);
    EXPECT_EQ(icon, d.programIcon);
  }
  // The main window is of its own class, with the main menu as its menu bar.
  Loaded main(DialogOf(IDD_MAIN));
  ASSERT_NE(main.dialog(), nullptr);
  EXPECT_EQ(ClassOf(main.dialog()), L"" LVX_MAIN_WINDOW_CLASS);
  wchar_t first[32] = {};
  GetMenuStringW(GetMenu(main.dialog()), 0, first, 32, MF_BYPOSITION);
  EXPECT_STREQ(first, L"&File");
}

TEST_F(ResourcesTest, ControlsLieInsideTheirDialogWithoutOverlapsOrCutTexts) {
  for (const Dialog& d : Dialogs()) {
    SCOPED_TRACE(d.name);
    Loaded loaded(d);
    ASSERT_NE(loaded.dialog(), nullptr);
    RECT client;
    GetClientRect(loaded.dialog(), &client);
    std::vector<Child> children = ChildrenOf(loaded.dialog());
    for (size_t i = 0; i < children.size(); ++i) {
      const Child& a = children[i];
      SCOPED_TRACE(Narrow(TextOf(a.hwnd)) + " #" + std::to_string(a.id));
      EXPECT_TRUE(Inside(a.rect, client));
      EXPECT_EQ(TextDoesNotFit(a), "");
      for (size_t j = i + 1; j < children.size(); ++j) {
        const Child& b = children[j];
        if (IsGroupBox(a) || IsGroupBox(b) || BuddyOf(a) == b.hwnd || BuddyOf(b) == a.hwnd) continue;
        EXPECT_FALSE(Overlap(a.rect, b.rect)) << "overlaps " << Narrow(TextOf(b.hwnd)) << " #" << b.id;
      }
      if (!IsGroupBox(a)) continue;
      RECT frame = a.rect;
      InflateRect(&frame, -2, -2);
      frame.top += 6;  // the caption rides on the top line
      for (const Child& b : children) {
        if (&b != &a && Overlap(a.rect, b.rect)) {
          EXPECT_TRUE(Inside(b.rect, frame)) << "not wholly inside the group: #" << b.id;
        }
      }
    }
  }
}

// Puts the general page into the settings dialog's tab, as the settings dialog does; the page's
// rectangle and the tab's display area in the dialog's coordinates.
HWND HostGeneralPage(HWND settings, RECT& page, RECT& area) {
  HWND tabs = GetDlgItem(settings, IDC_SETTINGS_TABS);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(L"General");
  SendMessageW(tabs, TCM_INSERTITEMW, 0, LPARAM(&item));
  GetWindowRect(tabs, &area);
  MapWindowPoints(nullptr, settings, reinterpret_cast<POINT*>(&area), 2);
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, LPARAM(&area));
  HWND w = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PAGE_GENERAL), settings,
                              DialogProc, 0);
  SetWindowPos(w, HWND_TOP, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  GetWindowRect(w, &page);
  MapWindowPoints(nullptr, settings, reinterpret_cast<POINT*>(&page), 2);
  return w;
}

TEST_F(ResourcesTest, TheGeneralPageFitsTheSettingsTab) {
  Loaded settings(DialogOf(IDD_SETTINGS));
  ASSERT_NE(settings.dialog(), nullptr);
  RECT page, area;
  ASSERT_NE(HostGeneralPage(settings.dialog(), page, area), nullptr);
  EXPECT_TRUE(Inside(page, area));
}

// ---------------------------------------------------------------------------------------------
// Pictures of the dialogs

std::string PngOf(int width, int height, const std::vector<uint8_t>& rgb) {
  static uint32_t table[256];
  if (!table[1])
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  auto be32 = [](std::string& s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s += char(v >> shift);
  };
  auto chunk = [&](std::string& out, const char* kind, const std::string& data) {
    be32(out, uint32_t(data.size()));
    std::string body = kind + data;
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char ch : body) crc = table[(crc ^ ch) & 0xFF] ^ (crc >> 8);
    out += body;
    be32(out, crc ^ 0xFFFFFFFFu);
  };
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(&rgb[size_t(y) * width * 3]), size_t(width) * 3);
  }
  std::string z = "\x78\x01";  // zlib stream of stored blocks: no compressor needed
  uint32_t a = 1, b = 0;
  for (unsigned char ch : raw) a = (a + ch) % 65521, b = (b + a) % 65521;
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - at);
    z += char(at + n >= raw.size() ? 1 : 0);
    z += char(n & 0xFF), z += char(n >> 8), z += char(~n & 0xFF), z += char((~n >> 8) & 0xFF);
    z.append(raw, at, n);
  }
  be32(z, (b << 16) | a);
  std::string header;
  be32(header, uint32_t(width));
  be32(header, uint32_t(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  std::string png = "\x89PNG\r\n\x1a\n";
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", "");
  return png;
}

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

void Pump(int ms) {
  DWORD end = GetTickCount() + DWORD(ms);
  MSG msg;
  while (GetTickCount() < end) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

// Fills the controls the code fills at start, so that the pictures show the dialogs as users see them.
void Dress(int id, HWND dlg) {
  auto items = [&](int control, std::initializer_list<const wchar_t*> texts, int selected) {
    for (const wchar_t* t : texts) SendDlgItemMessageW(dlg, control, CB_ADDSTRING, 0, LPARAM(t));
    SendDlgItemMessageW(dlg, control, CB_SETCURSEL, WPARAM(selected), 0);
  };
  auto tabs = [&](int control, std::initializer_list<const wchar_t*> texts) {
    int n = 0;
    for (const wchar_t* t : texts) {
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<wchar_t*>(t);
      SendDlgItemMessageW(dlg, control, TCM_INSERTITEMW, WPARAM(n++), LPARAM(&item));
    }
  };
  auto column = [&](int control, int index, const wchar_t* text, int width) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.pszText = const_cast<wchar_t*>(text);
    col.cx = width;
    SendDlgItemMessageW(dlg, control, LVM_INSERTCOLUMNW, WPARAM(index), LPARAM(&col));
  };
  switch (id) {
    case IDD_MAIN:
      SendMessageW(dlg, WM_SETICON, ICON_SMALL,
                   LPARAM(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_LUMIVEX), IMAGE_ICON, 16, 16, 0)));
      tabs(IDC_MAIN_SORT_TABS, {L"Defa&ult", L"&Name", L"&Location", L"&Size", L"T&ype", L"Date &Modified"});
      column(IDC_MAIN_RESULTS, 0, L"Search Results", 560);
      SetDlgItemTextW(dlg, IDC_MAIN_FOLDER, L"My Computer");
      SetDlgItemTextW(dlg, IDC_MAIN_STATUS, L"Ready");
      break;
    case IDD_ADVANCED_PAGE:
      items(IDC_ADV_SEARCH_FOR, {L"Search For : Files and Folders", L"Search For : Files Only",
                                 L"Search For : Folders Only"}, 0);
      break;
    case IDD_PAGE_GENERAL:
      items(IDC_GEN_UPDATE_INTERVAL, {L"Every Day", L"Every Week", L"Every Month", L"Never"}, 1);
      for (int box : {IDC_GEN_AUTOSTART, IDC_GEN_REALTIME, IDC_GEN_CHECK_INTEGRITY, IDC_GEN_SHOW_WARNINGS,
                      IDC_GEN_CHECK_UPDATES})
        CheckDlgButton(dlg, box, BST_CHECKED);
      break;
    case IDD_SETTINGS: {
      RECT page, area;
      Dress(IDD_PAGE_GENERAL, HostGeneralPage(dlg, page, area));
      break;
    }
    case IDD_SELECT_DRIVES: {
      column(IDC_DRIVES_LIST, 0, L"Drive", 150);
      column(IDC_DRIVES_LIST, 1, L"Description", 250);
      SendDlgItemMessageW(dlg, IDC_DRIVES_LIST, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                          LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
      LVITEMW row{};
      row.mask = LVIF_TEXT;
      row.pszText = const_cast<wchar_t*>(L"C:  \t[Hard Disk]");
      SendDlgItemMessageW(dlg, IDC_DRIVES_LIST, LVM_INSERTITEMW, 0, LPARAM(&row));
      row.iSubItem = 1;
      row.pszText = const_cast<wchar_t*>(L" System(C:)");
      SendDlgItemMessageW(dlg, IDC_DRIVES_LIST, LVM_SETITEMTEXTW, 0, LPARAM(&row));
      break;
    }
    case IDD_SAVE_RESULTS:
      SetDlgItemTextW(dlg, IDC_SAVE_FILE_PATH, L"C:\\SearchResults.txt");
      SetDlgItemTextW(dlg, IDC_SAVE_FORMAT, L"[FILEDIR][FILENAME]");
      break;
    case IDD_UPDATER:
      SendDlgItemMessageW(dlg, IDC_UPDATER_PROGRESS, PBM_SETPOS, 40, 0);
      break;
  }
}

// How many distinct colours the picture holds, counting up to a limit.
size_t CountColours(const std::vector<uint8_t>& rgb, size_t limit) {
  std::vector<uint32_t> colours;
  for (size_t i = 0; i + 2 < rgb.size() && colours.size() < limit; i += 3) {
    uint32_t c = rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2];
    if (std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
  }
  return colours.size();
}

// The window as it shows on the screen, as RGB rows.
std::vector<uint8_t> Capture(HWND w, int& width, int& height) {
  RECT r;
  GetWindowRect(w, &r);
  width = r.right - r.left;
  height = r.bottom - r.top;
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  const auto* px = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < size_t(width) * height; ++i)
    rgb[i * 3] = px[i * 4 + 2], rgb[i * 3 + 1] = px[i * 4 + 1], rgb[i * 3 + 2] = px[i * 4];
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return rgb;
}

TEST_F(ResourcesTest, EachDialogDrawsIntoAPictureForReview) {
  CreateDirectoryW((kShotDir + L"\\..").c_str(), nullptr);
  CreateDirectoryW(kShotDir.c_str(), nullptr);
  for (const Dialog& d : Dialogs()) {
    SCOPED_TRACE(d.name);
    Loaded loaded(d);
    ASSERT_NE(loaded.dialog(), nullptr);
    Dress(d.id, loaded.dialog());
    HWND shown = loaded.dialog();
    if (loaded.host()) {  // a page: its host takes the page's size and shows it
      RECT page;
      GetWindowRect(loaded.dialog(), &page);
      SetWindowPos(loaded.host(), HWND_TOPMOST, 0, 0, page.right - page.left, page.bottom - page.top,
                   SWP_NOACTIVATE);
      ShowWindow(loaded.dialog(), SW_SHOWNA);
      shown = loaded.host();
    }
    SetWindowPos(shown, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    // A drawn dialog has its background, its texts' ink and more: not one flat colour. The display
    // may take a moment to show it.
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    size_t colours = 0, expected = d.controls.empty() ? 1 : 3;
    for (int attempt = 0; attempt < 10 && colours < expected; ++attempt) {
      Pump(200);
      rgb = Capture(shown, width, height);
      colours = CountColours(rgb, expected);
    }
    EXPECT_EQ(colours, expected);
    std::wstring path = kShotDir + L"\\" + std::to_wstring(d.id) + L"_" +
                        std::wstring(d.name, d.name + strlen(d.name)) + L".png";
    std::ofstream(std::filesystem::path(path), std::ios::binary) << PngOf(width, height, rgb);
  }
}

// ---------------------------------------------------------------------------------------------
// Menus, accelerators, strings

// One line per item: the path of popup texts, then " = id" for a command, "-" for a separator.
void Flatten(HMENU menu, const std::wstring& path, std::vector<std::wstring>& out) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = 128;
    GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
    if (info.fType & MFT_SEPARATOR) {
      out.push_back(path + L"-");
    } else if (info.hSubMenu) {
      out.push_back(path + text);
      Flatten(info.hSubMenu, path + text + L" > ", out);
    } else {
      out.push_back(path + text + L" = " + std::to_wstring(info.wID) + (info.fState & MFS_GRAYED ? L" grayed" : L""));
    }
  }
}

std::vector<std::wstring> MenuLines(int id) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
  std::vector<std::wstring> lines;
  if (menu) Flatten(menu, L"", lines);
  DestroyMenu(menu);
  return lines;
}

TEST_F(ResourcesTest, MenusCarryTheProgramsCommandsAndTexts) {
  const std::vector<std::pair<int, std::vector<std::wstring>>> menus = {
    {IDR_MAINMENU,
     {L"&File", L"&File > &Save Results As.. = 32773", L"&File > -", L"&File > Save &Cache File As... = 32785",
      L"&File > &Load Cache File... = 32821", L"&File > -", L"&File > E&xit = 32771",
      L"&Edit", L"&Edit > &Select All\tCtrl+A = 32794", L"&Edit > -", L"&Edit > &Copy\tCtrl+C = 32877",
      L"&Edit > &Delete\tDel = 32878",
      L"&View", L"&View > &Arrange Results By", L"&View > &Arrange Results By > &Name = 32776",
      L"&View > &Arrange Results By > &Location = 32777", L"&View > &Arrange Results By > &Size = 32778",
      L"&View > &Arrange Results By > &Type = 32779", L"&View > &Arrange Results By > &Date Modified = 32782",
      L"&View > -", L"&View > Font... = 32857", L"&View > &Refresh = 32786", L"&View > -", L"&View > Styles",
      L"&View > Styles > Windows Theme = 32866", L"&View > Styles > Vista Style = 32867",
      L"&Tools", L"&Tools > &Select Drives to Search... = 32846", L"&Tools > &Customize Toolbar... = 32783",
      L"&Tools > -", L"&Tools > &Update Search Cache",
      L"&Tools > &Update Search Cache > &Update Entire Search Cache = 32883",
      L"&Tools > &Update Search Cache > &Stop Updating = 32889 grayed",
      L"&Tools > &Update Search Cache > &Pause Updating = 32884 grayed",
      L"&Tools > Update &Location... = 32890", L"&Tools > &Tools",
      L"&Tools > &Tools > &Clean Search History = 32829", L"&Tools > &Tools > Clean Location &History = 32830",
      L"&Tools > &Tools > -", L"&Tools > &Tools > &Defrag Cache File = 32792", L"&Tools > -",
      L"&Tools > &Refine Mode\tCtrl+R = 32874", L"&Tools > -", L"&Tools > S&ettings... = 32891",
      L"&Help", L"&Help > &Content... = 32788", L"&Help > Check for updates = 32855", L"&Help > -",
      L"&Help > &About... = 32772"}},
    // Position 0 of the result menu is a separator: "E&xplorer Action" goes in front of it.
    {IDR_LISTMENU,
     {L"LISTMENU", L"LISTMENU > -", L"LISTMENU > Search In &Same Folder = 32812",
      L"LISTMENU > Search In &This Folder = 32833", L"LISTMENU > -", L"LISTMENU > &Open = 32797",
      L"LISTMENU > &Browse File = 32808", L"LISTMENU > Browse &Folder = 32799",
      L"LISTMENU > Op&en Command Prompt = 32800", L"LISTMENU > Copy &Whole File Path = 32809",
      L"LISTMENU > Copy &Location Path = 32811", L"LISTMENU > -", L"LISTMENU > &Copy\tCtrl+C = 32805",
      L"LISTMENU > &Delete\tDel = 32803"}},
    {IDR_TRAYMENU,
     {L"TRAYMENU", L"TRAYMENU > Open Main &Window = 32813", L"TRAYMENU > -",
      L"TRAYMENU > &Update Search Cache",
      L"TRAYMENU > &Update Search Cache > &Update Entire Search Cache = 32885",
      L"TRAYMENU > &Update Search Cache > &Stop Updating = 32886 grayed",
      L"TRAYMENU > &Update Search Cache > &Pause Updating = 32887 grayed", L"TRAYMENU > -",
      L"TRAYMENU > E&xit = 32814"}},
  };
  for (const auto& [id, expected] : menus) {
    SCOPED_TRACE(id);
    std::vector<std::wstring> lines = MenuLines(id);
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(Narrow(lines[i]), Narrow(expected[i]));
  }
  // The system menu's about item.
  wchar_t about[64] = {};
  EXPECT_GT(LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 64), 0);
  EXPECT_STREQ(about, L"&About Lumivex ...");
}

TEST_F(ResourcesTest, AcceleratorsCarryTheMainWindowsKeys) {
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  ASSERT_NE(table, nullptr);
  std::vector<ACCEL> keys(size_t(CopyAcceleratorTableW(table, nullptr, 0)));
  CopyAcceleratorTableW(table, keys.data(), int(keys.size()));
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
  DestroyAcceleratorTable(table);
}

// ---------------------------------------------------------------------------------------------
// Icons

// Draws the icon over black and over white; from the two, its alpha at every pixel.
std::vector<int> AlphaOf(HICON icon, int size) {
  std::vector<int> alpha;
  std::vector<uint32_t> over[2];
  for (int pass = 0; pass < 2; ++pass) {
    BITMAPINFO info = TopDown32(size, size);
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
  for (size_t i = 0; i < over[0].size(); ++i) alpha.push_back(255 - int((over[1][i] >> 8 & 0xFF) - (over[0][i] >> 8 & 0xFF)));
  return alpha;
}

// Opaque shapes on a transparent ground, soft edges between.
void ExpectDrawnWithSoftEdges(HICON icon, int size) {
  ASSERT_NE(icon, nullptr);
  std::vector<int> alpha = AlphaOf(icon, size);
  int opaque = 0, clear = 0, soft = 0;
  for (int a : alpha) (a >= 250 ? opaque : a <= 5 ? clear : soft)++;
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
}

TEST_F(ResourcesTest, TheToolbarIconsBesideTheProgramHaveTheirSizesAndSoftEdges) {
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
    for (int size : {37, 40}) {  // the toolbar's two sizes
      HICON icon = HICON(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
      ExpectDrawnWithSoftEdges(icon, size);
      DestroyIcon(icon);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Version and manifest

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* key) {
  wchar_t* value = nullptr;
  UINT length = 0;
  std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
  if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return L"";
  return value;
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
  EXPECT_EQ(VersionString(block, L"FileVersion"), L"" LVX_VERSION_TEXT);
  EXPECT_EQ(VersionString(block, L"ProductVersion"), L"" LVX_VERSION_TEXT);
  EXPECT_EQ(VersionString(block, L"ProductName"), L"Lumivex");
  EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"lumivex.exe");
  for (const wchar_t* key : {L"CompanyName", L"FileDescription", L"LegalCopyright"}) {
    EXPECT_NE(VersionString(block, key), L"") << Narrow(key);
  }

  // The manifest asks for version 6 of the common controls: the process loaded them from the side-
  // by-side store, not the version 5 of the system folder.
  wchar_t controls[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), controls, MAX_PATH);
  std::wstring path = controls;
  std::transform(path.begin(), path.end(), path.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
  EXPECT_NE(path.find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos) << Narrow(path);
}

}  // namespace
