// The results list in a hidden window: its accessors at their boundaries, removal, the 64-bit total,
// the icon thread (write-back across a sort, network drives never asked for real, stop), the tooltip
// texts, the header, the row height, the drawn rows and the navigation keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>

#include "platform/fault.h"
#include "results/icon_source.h"
#include "list_host.h"
#include "support/temp_dir.h"
#include "ui_test_support.h"

namespace lvx::results {
namespace {

constexpr int kListId = 1001;
using search::ICON_UNRESOLVED;
using listhost::HostFrame;
using listhost::Rows;

// The shell, except that the drive letters in `remote` are network drives; every question is kept.
class RecordingSource : public IconSource {
 public:
  using Lookup = std::pair<std::wstring, bool>;  // the path, and whether asked by attributes alone
  std::wstring remote;

  uint32_t DriveType(const std::wstring& root) override {
    return IsRemote(root) ? DRIVE_REMOTE : ShellIconSource().DriveType(root);
  }
  int SmallIconIndex(const std::wstring& path, bool byAttributes, DWORD attributes) override {
    std::unique_lock<std::mutex> guard(mutex_);
    lookups_.push_back({path, byAttributes});
    guard.unlock();
    if (IsRemote(path) && !byAttributes) return -1;  // a network drive is never touched
    return ShellIconSource().SmallIconIndex(path, byAttributes, attributes);
  }
  std::vector<Lookup> Lookups() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lookups_;
  }

 private:
  bool IsRemote(const std::wstring& path) const {
    return path.size() >= 2 && path[1] == L':' && remote.find(path[0]) != std::wstring::npos;
  }
  std::mutex mutex_;
  std::vector<Lookup> lookups_;
};

class TestList : public CListCtrlEx {
 public:
  POINT pointer = {};
  bool realPointer = false;
  std::wstring lastTip;
  std::vector<std::pair<HMENU, HWND>> popped;  // the view menus shown, and their owners

 protected:
  POINT TipPointer() const override { return realPointer ? CListCtrlEx::TipPointer() : pointer; }
  bool OnToolTipText(NMTTDISPINFOW* info, LRESULT* result) override {
    const bool handled = CListCtrlEx::OnToolTipText(info, result);
    lastTip = info->lpszText ? info->lpszText : L"";
    return handled;
  }
  void PopupViewMenu(HMENU menu, POINT, HWND owner) override { popped.push_back({menu, owner}); }
};

// 2024-07-01 14:30 UTC, 16:30 in Berlin (the test's zone).
constexpr uint64_t kJulyAfternoon = (1719844200ull + 11644473600ull) * 10000000ull;

class ResultsListTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::InitCommonControls(); }

  void SetUp() override {
    ASSERT_TRUE(frame.Create());
    ASSERT_TRUE(MakeList(list, kListId));
  }
  void TearDown() override { os::fault::Reset(); }

  bool MakeList(TestList& target, int id, IconSource* icons = nullptr) {
    target.SetIconSource(icons ? icons : &source);
    return listhost::MakeList(target, frame, id, temp.Path());
  }
  RECT RowRect(int row, int part = LVIR_BOUNDS) {
    RECT rc = {part, 0, 0, 0};
    list.Send(LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&rc));
    return rc;
  }
  std::wstring TipAt(POINT client) {
    ::ClientToScreen(list.Handle(), &client);
    list.pointer = client;
    NMTTDISPINFOW info = {};
    info.hdr = {list.ToolTip(), 0, TTN_GETDISPINFOW};
    list.Send(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? info.lpszText : L"";
  }
  std::wstring TipOfRow(int row) {
    RECT rc = RowRect(row);
    return TipAt(POINT{rc.left + 40, (rc.top + rc.bottom) / 2});
  }
  bool AllResolved(const Rows& rows) {
    return std::all_of(rows.entries.begin(), rows.entries.end(), [](auto& e) { return e.iconIndex != ICON_UNRESOLVED; });
  }

  test::TempDir temp;
  RecordingSource source;
  HostFrame frame;
  TestList list;
  Rows rows;
};

TEST_F(ResultsListTest, RowOperationsKeepToTheRowsAndTheArray) {
  rows.Add(u"C:\\a\\", u"x.txt", UINT32_MAX).Add(u"C:\\b\\", u"sub", UINT32_MAX, true).Add(u"", u"C:", 2, true);
  list.SetVirtualCount(3);
  std::u16string name, path;
  bool folder = false;
  EXPECT_FALSE(list.GetItemPath(0, &name, &path)) << "no array";
  EXPECT_FALSE(list.GetItemIsFolder(0, &folder));
  EXPECT_FALSE(list.RemoveItem(0));
  EXPECT_EQ(list.GetTotalSizeKB(), CListCtrlEx::kNoTotal);
  // More rows than entries (the count arrives before the array): the rows past it have none.
  listhost::ShowRows(list, rows, 5);
  for (auto [row, ok] : {std::pair{-1, false}, {0, true}, {2, true}, {3, false}, {5, false}}) {
    EXPECT_EQ(list.GetItemPath(row, &name, &path), ok) << row;
    EXPECT_EQ(list.GetItemIsFolder(row, &folder), ok) << row;
  }
  EXPECT_EQ(list.GetTotalSizeKB(), 0x200000000ull) << "past 32 bits, only rows with entries";
  list.SetVirtualCount(3);
  EXPECT_FALSE(list.RemoveItem(3));
  ASSERT_TRUE(list.RemoveItem(1));
  EXPECT_EQ(list.Count(), 2);
  ASSERT_TRUE(list.GetItemPath(1, &name, &path));
  ASSERT_TRUE(list.GetItemIsFolder(1, &folder));
  EXPECT_EQ(name + u"|" + path + (folder ? u"|folder" : u""), u"C:||folder");
  EXPECT_EQ(list.GetTotalSizeKB(), uint64_t(UINT32_MAX) + 2);
}

// Answers without the shell: index 11 for "C:\\b", held until opened, and 22 for anything else.
class GatedSource : public IconSource {
 public:
  std::atomic<bool> entered{false};
  os::Event gate{true, false};
  uint32_t DriveType(const std::wstring&) override { return DRIVE_FIXED; }
  int SmallIconIndex(const std::wstring& path, bool, DWORD) override {
    if (path != L"C:\\b") return 22;
    entered = true;
    gate.Wait(os::kInfinite);
    return 11;
  }
};

TEST_F(ResultsListTest, AnIconLookedUpBeforeTheRowsMovedIsNotStored) {
  GatedSource gated;
  TestList other;
  ASSERT_TRUE(MakeList(other, kListId + 1, &gated));
  struct OpenAtEnd {
    os::Event& gate;
    ~OpenAtEnd() { gate.Set(); }  // before the list stops its thread, whatever failed
  } openAtEnd{gated.gate};
  rows.Add(u"C:\\", u"b").Add(u"C:\\", u"a");
  listhost::ShowRows(other, rows);
  uitest::RenderClient(other.Handle());
  ASSERT_TRUE(uitest::PumpUntil([&] { return gated.entered.load(); }, 10000));
  // "b" is being looked up for row 0 when the sort moves "a" there.
  EXPECT_TRUE(other.SortResults(search::SortName, true));
  gated.gate.Set();
  ASSERT_TRUE(uitest::PumpUntil([&] {
    uitest::RenderClient(other.Handle());
    return AllResolved(rows);
  }, 10000));
  EXPECT_EQ(std::pair(rows.entries[0].iconIndex, rows.entries[1].iconIndex), std::pair(22, 11));
  other.StopIconThread();
}

TEST_F(ResultsListTest, DrawnRowsGetTheirIconsAndNetworkDrivesAreNeverAskedForReal) {
  source.remote = L"N";
  rows.Add(u"C:\\windows\\", u"notepad.exe").Add(u"N:\\share\\", u"report.docx");
  rows.Add(u"N:\\share\\", u"sub", 0, true).Add(u"", u"N:", 0, true);
  listhost::ShowRows(list, rows);
  uitest::RenderClient(list.Handle());
  ASSERT_TRUE(uitest::PumpUntil([&] { return AllResolved(rows); }, 30000));
  EXPECT_EQ(rows.entries[3].iconIndex, list.FolderIcon());
  int byName = 0, notepad = 0;
  for (const auto& [path, byAttributes] : source.Lookups()) {
    EXPECT_FALSE(path[0] == L'N' && !byAttributes) << "asked for real: " << std::string(path.begin(), path.end());
    byName += path == L"report.docx" && byAttributes;
    notepad += path == L"C:\\windows\\notepad.exe" && !byAttributes;
  }
  EXPECT_GE(byName, 1);
  EXPECT_GE(notepad, 1) << "a local file is asked for real";
}

TEST_F(ResultsListTest, TipsHoveringTheHeaderAndTheRowHeight) {
  rows.Add(u"C:\\docs\\", u"notes.txt", 1234567, false, kJulyAfternoon).Add(u"", u"C:", 0, true);
  rows.Add(u"C:\\long\\", std::u16string(200, u'W') + u".txt", 1234);
  listhost::ShowRows(list, rows);
  EXPECT_EQ(TipOfRow(0), L"notes.txt\r\nLocation:  C:\\docs\\\r\nDate Modified :  2024-07-01 16:30\r\nSize:  1,234,567 KB");
  EXPECT_EQ(TipOfRow(1), L"C:\r\nLocation:  My Computer \r\nModified Date:  N/A\r\nSize:  0 KB");
  RECT below = RowRect(2);
  EXPECT_EQ(TipAt(POINT{below.left + 40, below.bottom + 20}), L"") << "no row";
  // Hovering shows the tip of the row under the pointer.
  frame.Show(SW_SHOWNORMAL);
  list.realPointer = true;
  for (int row : {0, 1}) {
    // The pointer comes to rest on the row: one move, as the mouse gives it.
    RECT rc = RowRect(row);
    POINT at = {rc.left + 60, (rc.top + rc.bottom) / 2};
    MSG move = {list.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y), 0, {}};
    ::ClientToScreen(list.Handle(), &at);
    ::SetCursorPos(at.x, at.y);
    list.lastTip.clear();
    EXPECT_FALSE(list.PreTranslateMessage(&move)) << "the message goes on as usual";
    ASSERT_TRUE(uitest::PumpUntil([&] { return ::IsWindowVisible(list.ToolTip()) && !list.lastTip.empty(); }, 10000))
        << row;
    EXPECT_EQ(list.lastTip.substr(0, 4), row == 0 ? L"note" : L"C:\r\n") << row;
  }
  list.realPointer = false;
  // The header opens the view menu and fits the column to the widest row drawn.
  uitest::RenderClient(list.Handle());
  EXPECT_GT(list.WidestText(), 600u) << "a row wider than the column was drawn";
  NMHEADERW note = {};
  note.hdr = {list.Header(), UINT_PTR(::GetDlgCtrlID(list.Header())), UINT(HDN_DIVIDERDBLCLICKW)};
  list.Send(WM_NOTIFY, note.hdr.idFrom, reinterpret_cast<LPARAM>(&note));
  EXPECT_EQ(list.ColumnWidth(0), int(list.WidestText()));
  note.hdr.code = UINT(HDN_ITEMCLICKW);
  list.Send(WM_NOTIFY, note.hdr.idFrom, reinterpret_cast<LPARAM>(&note));
  EXPECT_EQ(list.popped, (std::vector<std::pair<HMENU, HWND>>{{::GetSubMenu(::GetMenu(frame.Handle()), 2), frame.Handle()}}));
  list.SetMode(ModeResults);
  EXPECT_EQ(list.WidestText(), 600u) << "a mode change starts again";
  // A click stays with the list; the other notifications reach the parent.
  for (auto [code, parentSees] : {std::pair{UINT(NM_CLICK), false}, {UINT(NM_DBLCLK), true}, {UINT(NM_RCLICK), true}}) {
    frame.notifications.clear();
    NMHDR header = {list.Handle(), UINT_PTR(kListId), code};
    frame.Send(WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(!frame.notifications.empty(), parentSees) << code;
  }
  // Rows are two lines of the list's font, and the list takes their height.
  LOGFONTW font = {};
  font.lfHeight = -24;
  wcscpy(font.lfFaceName, L"Tahoma");
  list.SetListFont(font);
  EXPECT_GE(list.ItemHeight(), 2 * 24 + 4) << "two lines of 24-pixel characters";
  RECT row = RowRect(0);
  EXPECT_EQ(row.bottom - row.top, list.ItemHeight()) << "the list took the height";
  list.SetMode(ModeSearching);
  EXPECT_EQ(TipOfRow(0), L"") << "state rows have no tip";
}

TEST_F(ResultsListTest, StateRowsShowTheirTextModeNoneNothingAndASelectedRowItsFrame) {
  list.SetVirtualCount(1);
  for (int mode = ModeNone; mode <= ModeCacheReady; ++mode) {
    if (mode == ModeResults) continue;
    list.SetMode(ListMode(mode));
    // Each state row is kept as a picture (build/<preset>/screenshots/results_state_*.png).
    static const char* const kNames[] = {"", "", "searching", "nothing_found", "cache_building", "cache_ready"};
    uitest::Image image = mode == ModeNone ? uitest::RenderClient(list.Handle())
                                           : uitest::Shoot(list.Handle(), std::string("results_state_") + kNames[mode]);
    RECT row = RowRect(0);
    int dark = 0;
    for (int y = row.top; y < row.bottom; ++y)
      for (int x = 0; x < 300; ++x) dark += GetRValue(image.At(x, y)) < 128;
    EXPECT_EQ(dark > 0, mode != ModeNone) << mode;
  }
  // The selected row has the frame and the gradient.
  rows.Add(u"C:\\windows\\", u"notepad.exe", 0, false, kJulyAfternoon).Add(u"C:\\Users\\Public\\Documents\\", u"Quarterly report.docx", 1234, false, kJulyAfternoon);
  rows.Add(u"C:\\long\\", std::u16string(90, u'x') + u".log", 1234567, false, kJulyAfternoon).Add(u"", u"C:", 51234567, true);
  listhost::ShowRows(list, rows);
  list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  uitest::RenderClient(list.Handle());
  uitest::PumpUntil([&] { return AllResolved(rows); }, 30000);
  uitest::Image image = uitest::Shoot(list.Handle(), "results_list");
  for (int row : {0, 1}) {
    RECT label = RowRect(row, LVIR_LABEL);
    const int middle = (label.top + label.bottom) / 2;
    const bool selected = row == 1;
    COLORREF edge = image.At(label.left + 16, middle), inside = image.At(label.left + 56, middle - 1);
    EXPECT_TRUE(uitest::Near(edge, selected ? RGB(172, 168, 153) : RGB(255, 255, 255), 12)) << row << uitest::Describe(edge);
    EXPECT_TRUE(uitest::Near(inside, selected ? RGB(226, 224, 220) : RGB(255, 255, 255), 6)) << row << uitest::Describe(inside);
  }
}

TEST_F(ResultsListTest, GenericIconsFallBackWhenTheProbesCannotBeMade) {
  int id = kListId + 1;
  for (auto [failFile, failFolder] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
    if (failFile) os::fault::FailNth(os::fault::Op::Open, 1, os::Error::AccessDenied);
    if (failFolder) os::fault::FailNth(os::fault::Op::Write, 1, os::Error::AccessDenied);
    TestList other;
    ASSERT_TRUE(MakeList(other, id++));
    os::fault::Reset();
    if (failFile) { EXPECT_EQ(other.DefaultFileIcon(), 3); }
    if (failFolder) { EXPECT_EQ(other.FolderIcon(), other.DefaultFileIcon()); }
    EXPECT_TRUE(std::filesystem::is_empty(temp.HostPath())) << "the probes are gone";
    other.StopIconThread();  // a sleeping thread ends; a second stop finds nothing left
    EXPECT_TRUE(other.IconThreadEnded());
    other.StopIconThread();
    other.Destroy();
  }
}

// The navigation keys as a user presses them, alone, with Shift and with Ctrl: the focused row, the
// selected rows and the top row after each, from a list with a page of P rows.
TEST_F(ResultsListTest, KeysMoveFocusAndSelectionAsAUserExpects) {
  // modifier: 0, VK_SHIFT or VK_CONTROL; the one selected range (first -1: none).
  struct Step { UINT key; int modifier, focus, firstSelected, lastSelected; };
  auto press = [&](UINT key, int modifier) {
    BYTE keys[256] = {};
    keys[modifier] = modifier ? 0x80 : 0;
    ::SetKeyboardState(keys);
    list.Send(WM_KEYDOWN, key, 0);
    keys[modifier] = 0;
    ::SetKeyboardState(keys);
  };
  auto selected = [&] {
    std::vector<int> rows;
    for (int r = list.NextItem(-1); r >= 0; r = list.NextItem(r)) rows.push_back(r);
    return rows;
  };
  auto range = [](int first, int last) {
    std::vector<int> rows;
    for (int r = first; first >= 0 && r <= last; ++r) rows.push_back(r);
    return rows;
  };
  auto focus = [&] { return list.NextItem(-1, LVNI_FOCUSED); };
  auto top = [&] { return int(list.Send(LVM_GETTOPINDEX)); };
  constexpr int kRows = 1000;
  list.SetVirtualCount(kRows);
  const int P = int(list.Send(LVM_GETCOUNTPERPAGE));
  ASSERT_GT(P, 3);
  const Step steps[] = {
      {VK_DOWN, 0, 0, 0, 0},                       // no focus yet: the first row
      {VK_NEXT, 0, P - 1, P - 1, P - 1},           // the page's bottom row
      {VK_NEXT, 0, 2 * P - 2, 2 * P - 2, 2 * P - 2},  // from there a page on
      {VK_DOWN, VK_SHIFT, 2 * P - 1, 2 * P - 2, 2 * P - 1},
      {VK_NEXT, VK_SHIFT, 3 * P - 2, 2 * P - 2, 3 * P - 2},
      {VK_UP, VK_SHIFT, 3 * P - 3, 2 * P - 2, 3 * P - 3},
      {VK_UP, VK_CONTROL, 3 * P - 4, 2 * P - 2, 3 * P - 3},  // focus alone
      {VK_SPACE, 0, 3 * P - 4, 3 * P - 4, 3 * P - 4},
      {VK_UP, 0, 3 * P - 5, 3 * P - 5, 3 * P - 5},
      {VK_HOME, VK_SHIFT, 0, 0, 3 * P - 5},        // back over the mark
      {VK_END, 0, kRows - 1, kRows - 1, kRows - 1},  // more rows than are cleared one by one
      {VK_PRIOR, 0, kRows - P, kRows - P, kRows - P},  // the page's top row
      {VK_PRIOR, 0, kRows - 2 * P + 1, kRows - 2 * P + 1, kRows - 2 * P + 1},
      {VK_END, VK_SHIFT, kRows - 1, kRows - 2 * P + 1, kRows - 1},
      {VK_HOME, 0, 0, 0, 0},
      {VK_UP, 0, 0, 0, 0},                         // nothing above the first row
  };
  for (const Step& step : steps) {
    press(step.key, step.modifier);
    SCOPED_TRACE(testing::Message() << "key " << step.key << " modifier " << step.modifier);
    EXPECT_EQ(focus(), step.focus);
    EXPECT_EQ(selected(), range(step.firstSelected, step.lastSelected));
    EXPECT_LE(top(), step.focus);
    EXPECT_GT(top() + P, step.focus) << "the focused row is shown";
  }
  EXPECT_NE(std::find(frame.notifications.begin(), frame.notifications.end(), UINT(LVN_KEYDOWN)),
            frame.notifications.end());
  // Every row (select-all), a row far after the focus, a row before it: a plain move keeps only its
  // own row; the shown rows stay where they were.
  struct Case { std::vector<int> selected; int focus; } cases[] = {{{}, 40}, {{-1}, 40}, {{40, 300}, 40}, {{3, 40}, 40}, {{3, 40, 41, 42, 499}, 42}};
  for (const Case& c : cases) {
    list.SetItemState(-1, 0, LVIS_SELECTED);
    list.EnsureVisible(c.focus + 2);  // the row below the focus is shown too
    list.SetItemState(c.focus, LVIS_FOCUSED, LVIS_FOCUSED);
    for (int r : c.selected) list.SetItemState(r, LVIS_SELECTED, LVIS_SELECTED);
    const int shownTop = top();
    press(VK_DOWN, 0);
    EXPECT_EQ(focus(), c.focus + 1);
    EXPECT_EQ(selected(), range(c.focus + 1, c.focus + 1)) << c.selected.size();
    EXPECT_EQ(top(), shownTop);
  }
}

}  // namespace
}  // namespace lvx::results
