// The main window's search triggers: typing and picking in the pattern box, Enter in either box,
// the Search button and the quick-search buttons; the location box and Browse; the request handed
// to the search thread; refine mode.
#include "framework/pickers.h"
#include "options_ui/toolbar_store.h"
#include "resource.h"
#include "shell/history_store.h"
#include "shell/lumivex_dlg.h"
#include "shell/win_text.h"
#include "skin/skin.h"
#include "uilib/control.h"

namespace lvx::shell {
namespace {

constexpr wchar_t kBrowseTitle[] = L"Select Folder";
constexpr char16_t kSearching[] = u"Searching...";

bool IsWithin(HWND window, HWND box) { return window && box && (window == box || ::IsChild(box, window)); }

}  // namespace

std::u16string CLumivexDlg::BoxText(const ui::CComboBox& box) const { return FromW(box.Text().c_str()); }

bool CLumivexDlg::OnSearchCommand(int id, int code) {
  switch (id) {
    case IDC_MAIN_PATTERN:
      if (code == CBN_EDITCHANGE) OnPatternEdited();
      if (code == CBN_SELCHANGE) OnPatternPicked();
      return code == CBN_EDITCHANGE || code == CBN_SELCHANGE;
    case IDC_MAIN_FOLDER:
      // Typing or picking a location only takes its text; the next search uses it.
      if (code == CBN_EDITCHANGE) SetCurrentTexts(BoxText(patternBox_), BoxText(folderBox_));
      if (code == CBN_SELCHANGE) {
        const int picked = folderBox_.Selection();
        SetCurrentTexts(BoxText(patternBox_), picked >= 0 ? FromW(folderBox_.ItemText(picked).c_str()) : BoxText(folderBox_));
      }
      return code == CBN_EDITCHANGE || code == CBN_SELCHANGE;
    case IDC_MAIN_SEARCH:
      if (code == BN_CLICKED) SearchFromBoxes();
      return code == BN_CLICKED;
    case IDC_MAIN_BROWSE:
      if (code == BN_CLICKED) OnBrowse();
      return code == BN_CLICKED;
    case ID_TOOLS_REFINE_MODE:
      ToggleRefineMode();
      return true;
    case ID_VIEW_SORT_NAME:
    case ID_ACCEL_SORT_NAME:
      PickSort(search::SortName);
      return true;
    case ID_VIEW_SORT_LOCATION:
    case ID_ACCEL_SORT_LOCATION:
      PickSort(search::SortLocation);
      return true;
    case ID_VIEW_SORT_SIZE:
    case ID_ACCEL_SORT_SIZE:
      PickSort(search::SortSize);
      return true;
    case ID_VIEW_SORT_TYPE:
    case ID_ACCEL_SORT_TYPE:
      PickSort(search::SortType);
      return true;
    case ID_VIEW_SORT_DATE:
    case ID_ACCEL_SORT_DATE:
      PickSort(search::SortDate);
      return true;
    case ID_ACCEL_UNSORTED:
      PickSort(search::SortUnsorted);
      return true;
    default:
      return false;
  }
}

void CLumivexDlg::OnPatternEdited() {
  const std::u16string pattern = BoxText(patternBox_), folder = BoxText(folderBox_);
  SetCurrentTexts(pattern, folder);
  if (TypingStartsSearch(pattern, advancedPage_.Choices().allowOneChar != 0, refineOn_)) StartSearch();
  lastTypedPattern_ = pattern;
  lastTypedFolder_ = folder;
  RestartHistoryTimer();
}

void CLumivexDlg::OnPatternPicked() {
  const int picked = patternBox_.Selection();
  if (picked < 0) return;
  SetCurrentTexts(FromW(patternBox_.ItemText(picked).c_str()), BoxText(folderBox_));
  StartSearch();
}

void CLumivexDlg::SearchFromBoxes() {
  const std::u16string pattern = BoxText(patternBox_), folder = BoxText(folderBox_);
  SetCurrentTexts(pattern, folder);
  StartSearch();
  AddToHistory(patterns_, patternBox_, pattern);
  AddToHistory(folders_, folderBox_, folder);
}

bool CLumivexDlg::OnEnterKey(const MSG* msg) {
  if (!IsWithin(msg->hwnd, patternBox_.Handle()) && !IsWithin(msg->hwnd, folderBox_.Handle())) return false;
  SearchFromBoxes();
  return true;
}

void CLumivexDlg::OnQuickSearch(WPARAM index) {
  const options::_TBBTN* record = toolbarPage_.Record(index);
  if (!record) return;  // kNoButtonIndex, or a button that is gone
  SetCurrentTexts(record->pattern, options::QuickSearchLocation(record->location, BoxText(folderBox_)));
  StartSearch();
}

void CLumivexDlg::OnBrowse() {
  std::wstring chosen;
  if (!ui::PickFolder(Handle(), kBrowseTitle, &chosen) || chosen.empty()) chosen = W(kMyComputer);
  folderBox_.SetText(chosen);
  SetCurrentTexts(BoxText(patternBox_), FromW(chosen.c_str()));
}

void CLumivexDlg::SetCurrentTexts(const std::u16string& pattern, const std::u16string& folder) {
  os::LockGuard hold(requestLock_);
  currentPattern_ = pattern;
  currentFolder_ = folder;
}

void CLumivexDlg::StartSearch() {
  if (!search_) return;
  if (!firstSearchDone_) {
    firstSearchDone_ = true;
    if (skinFlag_) ExcludeListFromSkin();
  }
  SearchInputs inputs;
  {
    os::LockGuard hold(requestLock_);
    inputs.pattern = currentPattern_;
    inputs.location = currentFolder_;
  }
  inputs.refineOn = refineOn_;
  inputs.refineBase = refineBase_;
  inputs.driveMask = driveMask_;
  const search::SearchRequest request =
      BuildSearchRequest(advancedPage_.Choices(), sizeDatePage_.Choices(), inputs, &lastFullPattern_);
  if (!request.refine) fullSearchRan_ = true;
  status_.SetStatusText(kSearching);
  status_.Apply();
  search_->SubmitRequest(request);
  search_->SignalRequest();
}

// The list keeps its plain look under the "Vista Style" skin.
void CLumivexDlg::ExcludeListFromSkin() {
  skin::SkinDetachEx(listResults_.Handle());
  skin::SkinAttach();
}

void CLumivexDlg::AddToHistory(HistoryList& list, ui::CComboBox& box, const std::u16string& text) {
  if (list.Kind() == HistoryKind::Pattern)
    AddPatternHistory(list, text);
  else
    AddFolderHistory(list, text);
  // The box mirrors the list; its edit text stays as typed.
  const std::wstring typed = box.Text();
  box.Clear();
  for (const auto& item : list.Items()) box.Add(W(item));
  box.SetText(typed);
}

// On: the last full search's pattern is the base each typed pattern refines (the pattern box's text
// when no full search ran yet, so the first search builds the base). Off: full searches again.
void CLumivexDlg::ToggleRefineMode() {
  refineOn_ = !refineOn_;
  if (refineOn_) refineBase_ = fullSearchRan_ ? lastFullPattern_ : BoxText(patternBox_);
  if (auto* label = PaintManager().FindControl(u"textRefine")) label->SetVisible(refineOn_);
  if (HMENU menu = ::GetMenu(Handle()))
    ::CheckMenuItem(menu, ID_TOOLS_REFINE_MODE, MF_BYCOMMAND | (refineOn_ ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace lvx::shell
