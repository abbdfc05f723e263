// The results list in the main window: its set-up and release, the search thread's notifications
// (state rows, count, the hand-over of the result array, the outcome in the status line), the menu
// items that follow the cache build, and the sort with its tab, buttons and menu checks kept in step.
#include "framework/wait_cursor.h"
#include "resource.h"
#include "shell/lumivex_dlg.h"
#include "shell/settings_files.h"
#include "shell/window_settings.h"
#include "shell/win_text.h"
#include "uilib/text_controls.h"

namespace lvx::shell {
namespace {

constexpr wchar_t kResultsColumn[] = L"Search Results";
constexpr int kResultsColumnWidth = 560;
// Answered with the name of row wParam as a global atom, which the asker deletes.
constexpr wchar_t kRowNameMessage[] = L"Lumivex.RowName";
constexpr wchar_t kPauseText[] = L"&Pause Updating";

constexpr const char16_t* kSortButtons[] = {u"tbSortDefault", u"tbSortName", u"tbSortLocation",
                                            u"tbSortSize",    u"tbSortType", u"tbSortDateModified"};
constexpr UINT kSortMenuIds[] = {0, ID_VIEW_SORT_NAME, ID_VIEW_SORT_LOCATION, ID_VIEW_SORT_SIZE, ID_VIEW_SORT_TYPE,
                                 ID_VIEW_SORT_DATE};

void EnableItem(HMENU menu, UINT id, bool on) {
  ::EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void CLumivexDlg::CreateResultsList() {
  listResults_.Subclass(Item(IDC_MAIN_RESULTS));
  listResults_.InsertColumn(0, kResultsColumn, kResultsColumnWidth);
  listResults_.InitList(Paths().userDataFolder);
  rowNameMessage_ = ::RegisterWindowMessageW(kRowNameMessage);
}

// The font saved by the Font... command, when there is one; the list measures its rows anew.
void CLumivexDlg::ApplySavedFont() {
  LOGFONTW font{};
  if (ReadFontFile(&font)) listResults_.SetListFont(font);
}

// Ends the list's icon thread; the list draws on without icons until the window goes.
void CLumivexDlg::ReleaseResultsList() { listResults_.StopIconThread(); }

void CLumivexDlg::ShowStatus(const std::u16string& text) {
  status_.SetStatusText(text);
  status_.Apply();
}

void CLumivexDlg::OnSearchNotify(WPARAM code, LPARAM value) {
  switch (code) {
    case search::NotifyState:
      OnSearchState(value);
      break;
    case search::NotifyCount:
      shownCount_ = uint32_t(value);
      listResults_.SetVirtualCount(int(shownCount_), 0);
      break;
    case search::NotifyResults: {
      auto* entries = reinterpret_cast<search::SearchResult*>(value);
      listResults_.AttachResults(entries, entries ? uint32_t(listResults_.Count()) : 0);
      search_->Acknowledge();
      listResults_.Invalidate();
      break;
    }
    case search::NotifyElapsed:
      OnSearchDone(uint32_t(value));
      break;
    case search::NotifyTotalSize:
      // The message's value is pointer-sized: the engine keeps the total in full width.
      shownTotalKB_ = search_->PostedTotalSizeKB();
      break;
    default:
      if (const char16_t* warning = SearchWarningText(uint32_t(code))) ShowStatus(warning);
      break;
  }
}

void CLumivexDlg::OnSearchState(LPARAM state) {
  if (state == search::StateSearching) {
    listResults_.SetMode(results::ModeSearching);
  } else if (state == search::StateResults) {
    listResults_.SetMode(results::ModeResults);
  } else if (state == search::StateNothingFound) {
    shownCount_ = 0;
    // Until the first build has ended an empty result says the cache is not there yet.
    ShowStateRow(firstRun_ ? results::ModeNothingFound : results::ModeCacheBuilding);
    search_->Acknowledge();
  }
}

void CLumivexDlg::OnSearchDone(uint32_t elapsedMs) {
  ShowStatus(FoundStatusText(shownCount_, shownTotalKB_, elapsedMs));
  if (sort_.key == search::SortUnsorted) return;
  if (BoxText(patternBox_).size() > 1) {
    SortList();
  } else {
    sort_.key = search::SortUnsorted;
    ShowSortState();
  }
}

// One state row in place of the results.
void CLumivexDlg::ShowStateRow(results::ListMode mode) {
  listResults_.SetMode(mode);
  listResults_.AttachResults(nullptr, 0);
  listResults_.SetVirtualCount(1, 0);
  listResults_.Invalidate();
}

void CLumivexDlg::EnableCacheMenus(HMENU menu, bool building) {
  if (!menu) return;
  for (UINT id : {ID_TOOLS_UPDATE_CACHE, ID_TRAY_UPDATE_CACHE, ID_TOOLS_DEFRAG_CACHE}) EnableItem(menu, id, !building);
  for (UINT id : {ID_TOOLS_STOP_UPDATING, ID_TRAY_STOP_UPDATING, ID_TOOLS_PAUSE_UPDATING, ID_TRAY_PAUSE_UPDATING})
    EnableItem(menu, id, building);
  if (building) return;
  for (UINT id : {ID_TOOLS_PAUSE_UPDATING, ID_TRAY_PAUSE_UPDATING}) {
    if (::GetMenuState(menu, id, MF_BYCOMMAND) != UINT(-1))
      ::ModifyMenuW(menu, id, MF_BYCOMMAND | MF_STRING | MF_GRAYED, id, kPauseText);
  }
}

bool CLumivexDlg::OnSortButton(const std::u16string& name) {
  for (int key = search::SortUnsorted; key <= search::SortDate; ++key) {
    if (name == kSortButtons[key]) {
      PickSort(search::SortKey(key));
      return true;
    }
  }
  return false;
}

// A new tab is a new key; a click on the tab already selected flips the direction like the menu.
// The tab under a press is taken from the press itself; the click that follows it decides.
void CLumivexDlg::OnSortTabPress(LPARAM point) {
  TCHITTESTINFO hit{{short(LOWORD(point)), short(HIWORD(point))}, 0};
  pressedTab_ = int(sortTabs_.Send(TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  tabChanged_ = false;
}

bool CLumivexDlg::OnSortTabNotify(NMHDR* header) {
  if (header->code == TCN_SELCHANGE) {
    tabChanged_ = true;
    PickSort(search::SortKey(sortTabs_.Selection()));
    return true;
  }
  if (header->code == NM_CLICK) {
    if (!tabChanged_ && pressedTab_ > search::SortUnsorted && pressedTab_ == sortTabs_.Selection())
      PickSort(search::SortKey(pressedTab_));
    pressedTab_ = -1;
    tabChanged_ = false;
    return true;
  }
  return false;
}

void CLumivexDlg::PickSort(search::SortKey key) {
  if (key < search::SortUnsorted || key > search::SortDate) return;
  sort_ = ChooseSort(sort_, key);
  // The unsorted key keeps the order the list has.
  if (key != search::SortUnsorted) SortList();
  ShowSortState();
}

void CLumivexDlg::SortList() {
  ui::CWaitCursor wait;
  listResults_.SortResults(sort_.key, sort_.ascending);
}

void CLumivexDlg::ShowSortState() {
  if (sortTabs_.Selection() != sort_.key) sortTabs_.Select(sort_.key);
  for (int key = search::SortUnsorted; key <= search::SortDate; ++key) {
    auto* button = dynamic_cast<uilib::COptionUI*>(PaintManager().FindControl(kSortButtons[key]));
    if (!button) continue;
    const bool selected = key == sort_.key;
    button->SetText(SortButtonText(search::SortKey(key), selected, sort_.ascending));
    if (selected && !button->IsSelected()) button->Selected(true);
  }
  if (HMENU menu = ::GetMenu(Handle())) {
    for (int key = search::SortName; key <= search::SortDate; ++key)
      ::CheckMenuItem(menu, kSortMenuIds[key], MF_BYCOMMAND | (key == sort_.key ? MF_CHECKED : MF_UNCHECKED));
  }
}

LRESULT CLumivexDlg::RowNameAtom(WPARAM row) {
  std::u16string name, path;
  if (!listResults_.GetItemPath(int(row), &name, &path) || name.empty()) return 0;
  return ::GlobalAddAtomW(W(name));
}

}  // namespace lvx::shell
