// The commands of the main window's menus and accelerators: the result actions and the list's menu,
// the cache-update commands with their menu states in the main and the tray menu, the cache file
// commands, the dialogs, the font and the look, and the update check the user starts.
#include <iterator>

#include <windows.h>
#include <shellapi.h>

#include "framework/message_box.h"
#include "framework/pickers.h"
#include "framework/wait_cursor.h"
#include "options_ui/dialogs/select_drives_dlg.h"
#include "options_ui/dialogs/settings_dialog.h"
#include "options_ui/dialogs/update_location_dlg.h"
#include "options_ui/dialogs/updater_dialog.h"
#include "options_ui/edit_toolbar_dlg.h"
#include "options_ui/toolbar_store.h"
#include "resource.h"
#include "results/result_actions.h"
#include "results/result_menu.h"
#include "results/save_results_dlg.h"
#include "shell/app_messages.h"
#include "shell/history_store.h"
#include "shell/lumivex_dlg.h"
#include "shell/registry_settings.h"
#include "shell/settings_files.h"
#include "shell/update_rules.h"
#include "shell/update_settings.h"
#include "shell/volume_rules.h"
#include "shell/win_text.h"
#include "shell/window_settings.h"
#include "skin/skin.h"

namespace lvx::shell {
namespace {

constexpr wchar_t kRebuildTitle[] = L"Update Search Cache";
constexpr wchar_t kRebuildQuestion[] =
    L"Lumivex can automatically update your search cache in real time.\r\nYou should update the search cache "
    L"manually only if you can not find updated files in the results.\r\n\r\nAre you sure to rebuild the "
    L"entire search cache?";
constexpr wchar_t kPauseText[] = L"&Pause Updating";
constexpr wchar_t kResumeText[] = L"&Resume Updating";
constexpr char16_t kStoppedStatus[] = u"Caching is stopped by user.";
constexpr char16_t kPausedStatus[] = u"Caching is paused by user.";
constexpr wchar_t kCacheFilter[] = L"Cache File(*.db)|*.db||";
constexpr wchar_t kCacheFileName[] = L"*.db";
constexpr wchar_t kHelpFile[] = L"help.chm";

constexpr wchar_t kUpdaterTitle[] = L"Lumivex Updater";
constexpr wchar_t kNoConnection[] = L"Can not connect to the server, please check your network connection.";
constexpr wchar_t kNoUpdate[] = L"There is no new update available.";
constexpr wchar_t kNewVersionFormat[] =
    L"A new version(%s) of Lumivex is available,would you like to download it now?\r\n\r\nWhat's New?\r\n%s"
    L"\r\n\r\nClick Yes to download, click No to cancel.";
constexpr wchar_t kKnownVersionFormat[] =
    L"A new version(%s) of Lumivex is available, would you like to download it now?\r\n\r\nWhat's New?\r\n%s"
    L"\r\n\r\nClick Yes to download, click No to cancel.";

// Answered with the state of a menu item, wParam = id: lParam 0 the main menu, 1 the tray menu
// (GetMenuState's value, or -1); 2 and 3 the item's text as a global atom, which the asker deletes.
constexpr wchar_t kMenuStateMessage[] = L"Lumivex.MenuState";

// The format with its two "%s" replaced by a and b in order.
std::wstring FillIn(const wchar_t* format, const std::u16string& a, const std::u16string& b) {
  std::wstring text = format;
  size_t at = 0;
  for (const std::u16string* value : {&a, &b}) {
    at = text.find(L"%s", at);
    if (at == std::wstring::npos) break;
    text.replace(at, 2, W(*value));
    at += value->size();
  }
  return text;
}

void SetItemText(HMENU menu, UINT id, const wchar_t* text) {
  if (!menu || ::GetMenuState(menu, id, MF_BYCOMMAND) == UINT(-1)) return;
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = const_cast<wchar_t*>(text);
  ::SetMenuItemInfoW(menu, id, FALSE, &info);
}

// The box's list made the history's again; the text in its edit part stays.
void RefillBox(ui::CComboBox& box, const HistoryList& list) {
  while (box.Count() > 0) box.Delete(box.Count() - 1);
  for (const auto& item : list.Items()) box.Add(W(item));
}

}  // namespace

bool CLumivexDlg::OnMenuCommand(int id) {
  if (!general_ || exiting_) return false;
  if (actions_ && actions_->RunCommand(UINT(id))) return true;
  switch (id) {
    case ID_ACCEL_CONTEXT_MENU:
    case ID_ACCEL_SHIFT_CONTEXT_MENU:
      if (resultMenu_) resultMenu_->ShowByKeyboard();
      return true;
    case ID_FILE_SAVE_RESULTS:
      results::SaveResultsCommand(listResults_, Handle());
      return true;
    case ID_FILE_SAVE_CACHE_AS:
    case ID_FILE_LOAD_CACHE:
      CacheFileCommand(id == ID_FILE_SAVE_CACHE_AS);
      return true;
    case ID_EDIT_SELECT_ALL:
    case ID_ACCEL_SELECT_ALL:
      SelectAllRows();
      return true;
    case ID_VIEW_REFRESH:
      listResults_.Invalidate();
      return true;
    case ID_VIEW_FONT:
      ChooseListFont();
      return true;
    case ID_VIEW_STYLE_WINDOWS:
    case ID_VIEW_STYLE_VISTA:
      ChooseStyle(id == ID_VIEW_STYLE_VISTA);
      return true;
    case ID_TOOLS_SELECT_DRIVES:
      SelectDrives();
      return true;
    case ID_TOOLS_CUSTOMIZE_TOOLBAR: {
      options::CEditToolbarDlg editor(Paths().settings, options::CurrentProgramFolder());
      if (editor.DoModal(Handle()) == IDOK) toolbarPage_.LoadButtons();
      return true;
    }
    case ID_TOOLS_UPDATE_CACHE:
      if (cacheComplete_ && general_->bShowWarnings && !ui::AskYesNo(Handle(), kRebuildQuestion, kRebuildTitle))
        return true;
      StartFullBuild();
      return true;
    case ID_TOOLS_STOP_UPDATING:
      StopUpdating();
      return true;
    case ID_TOOLS_PAUSE_UPDATING:
      PauseOrResumeUpdating();
      return true;
    case ID_TOOLS_UPDATE_LOCATION:
      UpdateLocation();
      return true;
    case ID_TOOLS_CLEAN_SEARCH_HISTORY:
      CleanPatternHistory(patterns_);
      RefillBox(patternBox_, patterns_);
      return true;
    case ID_TOOLS_CLEAN_LOCATION_HISTORY:
      CleanFolderHistory(folders_);
      RefillBox(folderBox_, folders_);
      return true;
    case ID_TOOLS_DEFRAG_CACHE:
      // Compaction rewrites the file that a running build copies its drives into.
      if (!cacher_->IsRunning()) {
        ui::CWaitCursor wait;
        lifecycle_->DefragCacheFile(driveMask_);
      }
      return true;
    case ID_TOOLS_SETTINGS:
      OpenSettings();
      return true;
    case ID_HELP_CONTENT:
      OpenHelp();
      return true;
    case ID_HELP_CHECK_UPDATES:
      CheckForUpdates();
      return true;
    case ID_HELP_ABOUT: {
      dialogs::CMyAboutDlg about;
      about.DoModal(Handle());
      return true;
    }
    default:
      return false;
  }
}

bool CLumivexDlg::OnResultsNotify(NMHDR* header) {
  if (header->idFrom != IDC_MAIN_RESULTS || !actions_ || exiting_) return false;
  if (header->code == NM_DBLCLK) {
    actions_->OpenItems();
    return true;
  }
  if (header->code == NM_RCLICK) {
    POINT screen{};
    ::GetCursorPos(&screen);
    resultMenu_->ShowAt(screen);
    return true;
  }
  return false;
}

bool CLumivexDlg::OnCommandsMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (msg == WM_APP_INITDONE) {
    CreateCommandObjects();
    return false;  // the window's own handling follows
  }
  if (msg == WM_APP_UPDATERESULT) {
    OnUpdateResult(w);
    *result = 0;
    return true;
  }
  if (msg == WM_INITMENUPOPUP) {
    EnableFileMenu();
    return false;
  }
  if (msg == search::WM_ENGINE_NOTIFY && w == cache::NotifyCacheBuilt && staleBuildEnds_ > 0) {
    // The end of a build that was stopped to start again: the new build is running.
    --staleBuildEnds_;
    *result = 0;
    return true;
  }
  if (msg == menuStateMessage_ && msg != 0) {
    EnableFileMenu();
    HMENU menu = (l & 1) ? TrayMenu() : ::GetMenu(Handle());
    *result = -1;
    if (!menu || ::GetMenuState(menu, UINT(w), MF_BYCOMMAND) == UINT(-1)) return true;
    if (l < 2) {
      *result = LRESULT(::GetMenuState(menu, UINT(w), MF_BYCOMMAND));
    } else {
      wchar_t text[128] = {};
      ::GetMenuStringW(menu, UINT(w), text, int(std::size(text)), MF_BYCOMMAND);
      *result = ::GlobalAddAtomW(text);
    }
    return true;
  }
  return false;
}

void CLumivexDlg::CreateCommandObjects() {
  menuStateMessage_ = ::RegisterWindowMessageW(kMenuStateMessage);
  if (!actions_) {
    actions_ = std::make_unique<results::CResultActions>(
        &listResults_, Handle(), [this](const std::u16string& text) { ShowStatus(text); },
        [this](const std::u16string& folder) {
          folderBox_.SetText(W(folder));
          SetCurrentTexts(BoxText(patternBox_), folder);
        });
    resultMenu_ = std::make_unique<results::CResultMenu>(&listResults_, Handle());
  }
  if (!updaterDialog_) {
    updaterDialog_ = std::make_unique<dialogs::CDialogUpdater>();
    updaterDialog_->SetChecker(&updater_);
    if (!updaterDialog_->CreateModeless(Handle())) updaterDialog_.reset();
  }
}

// While a build runs the cache file is rewritten under it: neither saved nor replaced.
void CLumivexDlg::EnableFileMenu() {
  HMENU menu = ::GetMenu(Handle());
  if (!menu) return;
  const UINT state = cacher_ && cacher_->IsRunning() ? MF_GRAYED : MF_ENABLED;
  for (UINT id : {ID_FILE_SAVE_CACHE_AS, ID_FILE_LOAD_CACHE}) ::EnableMenuItem(menu, id, MF_BYCOMMAND | state);
}

void CLumivexDlg::StartFullBuild() {
  // The waits below dispatch messages: the menus change only once the new build runs.
  monitor_->StopDrains();
  if (cacher_->IsRunning()) {
    ++staleBuildEnds_;
    cacher_->Stop();
    if (cacher_->IsRunning()) --staleBuildEnds_;  // it did not end in time: its end is still to come
  }
  if (!cacher_->StartBuild(driveMask_)) {
    // The old build did not end in time or no thread could be made: nothing new builds.
    if (!cacher_->IsRunning()) monitor_->StartDrains(driveMask_);
    return;
  }
  cacheComplete_ = false;
  paused_ = false;
  SetPauseTexts(kPauseText);
  EnableCacheMenus(::GetMenu(Handle()), true);
  EnableCacheMenus(TrayMenu(), true);
  if (listResults_.Mode() != results::ModeResults) ShowStateRow(results::ModeCacheBuilding);
}

void CLumivexDlg::StopUpdating() {
  if (!cacher_->IsRunning()) return;
  cacher_->Stop();
  paused_ = false;
  monitor_->StartDrains(driveMask_);
  EnableCacheMenus(::GetMenu(Handle()), false);
  EnableCacheMenus(TrayMenu(), false);
  // What is in the cache is searchable now, complete or not.
  cacheComplete_ = true;
  if (!firstRun_) {
    firstRun_ = true;
    ShowStateRow(results::ModeCacheReady);
  }
  ShowStatus(kStoppedStatus);
}

void CLumivexDlg::PauseOrResumeUpdating() {
  if (!cacher_->IsRunning()) return;
  if (!paused_) {
    cacher_->Pause();
    paused_ = true;
    SetPauseTexts(kResumeText);
    ShowStatus(kPausedStatus);
  } else {
    cacher_->Resume();
    paused_ = false;
    SetPauseTexts(kPauseText);
  }
}

void CLumivexDlg::SetPauseTexts(const wchar_t* text) {
  SetItemText(::GetMenu(Handle()), ID_TOOLS_PAUSE_UPDATING, text);
  SetItemText(TrayMenu(), ID_TRAY_PAUSE_UPDATING, text);
}

void CLumivexDlg::CacheFileCommand(bool save) {
  if (cacher_->IsRunning()) return;  // the items are disabled meanwhile; the engine refuses too
  std::wstring path = kCacheFileName;
  const bool picked = save ? ui::PickSaveFile(Handle(), kCacheFilter, L"db", &path)
                           : ui::PickOpenFile(Handle(), kCacheFilter, L"db", &path);
  if (!picked || path.empty()) return;
  ui::CWaitCursor wait;
  if (save)
    lifecycle_->SaveCacheFileAs(FromW(path.c_str()), driveMask_);
  else
    lifecycle_->LoadCacheFile(FromW(path.c_str()), driveMask_);
}

void CLumivexDlg::SelectAllRows() {
  {
    ui::CWaitCursor wait;
    listResults_.SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
  }
  ::SetFocus(listResults_.Handle());
}

void CLumivexDlg::ChooseListFont() {
  LOGFONTW font{};
  if (HFONT current = listResults_.Font()) ::GetObjectW(current, sizeof font, &font);
  if (!ui::PickFont(Handle(), &font)) return;
  WriteFontFile(font);
  listResults_.SetListFont(font);
  listResults_.Invalidate();
}

void CLumivexDlg::ChooseStyle(bool vista) {
  if (vista) {
    if (!skin::IsSkinAttached()) skin::SkinAttach();
    skinFlag_ = true;
    ExcludeListFromSkin();
  } else {
    if (skin::IsSkinAttached()) {
      skin::SkinDetachEx(listResults_.Handle());
      skin::SkinDetachEx(Handle());
      skin::SkinDetach();
    }
    skinFlag_ = false;
  }
  if (HMENU menu = ::GetMenu(Handle()))
    ::CheckMenuRadioItem(menu, ID_VIEW_STYLE_WINDOWS, ID_VIEW_STYLE_VISTA,
                         vista ? ID_VIEW_STYLE_VISTA : ID_VIEW_STYLE_WINDOWS, MF_BYCOMMAND);
  WriteSkinStyle(vista ? SkinStyle::Vista : SkinStyle::Default);
  // The skin may have rebuilt the menus: their cache items follow the build again.
  const bool building = !cacheComplete_;
  EnableCacheMenus(::GetMenu(Handle()), building);
  EnableCacheMenus(TrayMenu(), building);
  if (building) SetPauseTexts(paused_ ? kResumeText : kPauseText);
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void CLumivexDlg::SelectDrives() {
  dialogs::CSelectDrivesDlg dialog;
  dialog.driveMask = driveMask_;
  dialog.autoRefreshRemovable = uint8_t(autoSelRemovable_ != 0);
  if (dialog.DoModal(Handle()) != IDOK) return;
  const uint32_t old = driveMask_;
  driveMask_ = dialog.driveMask;
  autoSelRemovable_ = dialog.autoRefreshRemovable;
  WriteDriveMask(driveMask_);
  WriteAutoSelRemovable(autoSelRemovable_);
  monitor_->StartWatchers(driveMask_);
  const uint32_t joined = driveMask_ & ~old;
  for (int i = 0; i < 26; ++i)
    if (joined & (1u << i)) monitor_->Refresher(char16_t(u'A' + i)).EnqueueLocation(RootRefreshRequest(i));
  if (!cacher_->IsRunning()) monitor_->StartDrains(driveMask_);
}

void CLumivexDlg::UpdateLocation() {
  dialogs::CDlgUpdateLoc dialog;
  if (dialog.DoModal(Handle()) != IDOK || dialog.location.empty()) return;
  const wchar_t letter = dialog.location[0];
  const int drive = (letter | 0x20) - L'a';
  if (drive < 0 || drive >= 26) return;
  monitor_->Refresher(char16_t(u'A' + drive)).EnqueueLocation(FromW(dialog.RefreshRequest().c_str()));
  if (!cacher_->IsRunning()) monitor_->StartDrains(driveMask_);
}

void CLumivexDlg::OpenSettings() {
  const bool autoStart = general_->bAutoStart, realtime = general_->bRealtimeUpdate;
  dialogs::CSettingsDialog dialog;
  dialog.SetOptionsManager(&options_);
  if (dialog.DoModal(Handle()) != IDOK) return;
  general_ = dynamic_cast<CGeneralOptions*>(options_.GetOptions(OPTIONS_GENERAL));
  if (!general_) return;
  if (general_->bAutoStart != autoStart) SetAutoStart(general_->bAutoStart);
  if (general_->bRealtimeUpdate == realtime) return;
  if (general_->bRealtimeUpdate) {
    monitor_->StartWatchers(driveMask_);
    if (!cacher_->IsRunning()) monitor_->StartDrains(driveMask_);
  } else {
    monitor_->StopDrains();
    monitor_->StopWatchers();
  }
}

void CLumivexDlg::OpenHelp() {
  wchar_t module[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path(module, length);
  const size_t slash = path.find_last_of(L'\\');
  path = (slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash)) + L"\\" + kHelpFile;
  ::ShellExecuteW(Handle(), nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CLumivexDlg::CheckForUpdates() {
  if (!updaterDialog_) CreateCommandObjects();
  if (!updaterDialog_) return;
  updaterDialog_->Show(SW_SHOW);
  updaterDialog_->Begin();
}

void CLumivexDlg::OnUpdateResult(WPARAM code) {
  // Only a check the user started, whose dialog still shows, answers every outcome.
  const bool manual = updaterDialog_ && updaterDialog_->IsVisible();
  if (!manual && code != UpdateNewVersion) return;
  if (manual) updaterDialog_->Finish();
  updater_.ClearManual();
  switch (code) {
    case UpdateUnreachable:
      ui::MessageBoxFor(Handle(), kNoConnection, kUpdaterTitle, MB_OK | MB_ICONEXCLAMATION);
      break;
    case UpdateNoNewVersion:
      ui::MessageBoxFor(Handle(), kNoUpdate, kUpdaterTitle, MB_OK | MB_ICONINFORMATION);
      break;
    case UpdateNewVersion:
    case UpdateKnownVersion: {
      const UpdateOffer offer = ReadUpdateOffer(ReadUpdateServer());
      if (!IsVisible() || ::IsIconic(Handle())) ShowMainWindow();
      const std::wstring question = FillIn(code == UpdateNewVersion ? kNewVersionFormat : kKnownVersionFormat,
                                           offer.main, offer.whatsNew);
      if (ui::MessageBoxFor(Handle(), question, kUpdaterTitle, MB_YESNO | MB_ICONQUESTION) == IDYES)
        ::ShellExecuteW(Handle(), nullptr, W(offer.freeUrl), nullptr, nullptr, SW_SHOWNORMAL);
      break;
    }
    default:
      break;
  }
}

}  // namespace lvx::shell
