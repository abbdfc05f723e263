// The main window's notification-area icon and its menu, the timers of the tray click and of the
// histories, and the volumes that arrive or go away while the program runs.
#include "shell/lumivex_dlg.h"

#include <iterator>

#include <windows.h>
#include <shellapi.h>
#include <dbt.h>

#include "framework/message_box.h"
#include "platform/drive.h"
#include "resource.h"
#include "shell/app_messages.h"
#include "shell/history_store.h"
#include "shell/volume_rules.h"
#include "shell/win_text.h"
#include "shell/window_settings.h"

namespace lvx::shell {
namespace {

constexpr UINT kTrayIconId = 0;
// Timer 1 opens the tray menu once a left click has not become a double click; timer 2 runs a
// while after the last keystroke in the pattern box, timer 3 saves the histories once the window
// is hidden.
constexpr UINT_PTR kTrayClickTimer = 1, kHistoryTimer = 2, kHistorySaveTimer = 3;
constexpr UINT kHistoryDelayMs = 7000, kHistorySaveMs = 30000;
constexpr wchar_t kExitQuestion[] =
    L"If you exit Lumivex, the file changes will not be detected by Trackmind any more and the search "
    L"results may become inaccurate.\r\n\r\nExit Lumivex?";

// The combo box's list made equal to the history item by item; the text in its edit part stays.
void MirrorHistory(ui::CComboBox& box, const HistoryList& list) {
  const auto& items = list.Items();
  for (int i = 0; i < int(items.size()); ++i) {
    std::wstring text = W(items[i]);
    if (i < box.Count()) {
      if (box.ItemText(i) == text) continue;
      box.Delete(i);
    }
    box.Insert(i, text);
  }
  while (box.Count() > int(items.size())) box.Delete(box.Count() - 1);
}

// Sent to every top-level window when the taskbar starts again (after a crash of the shell); the
// icons of the notification area are gone then and must be added anew.
UINT TaskbarCreated() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

NOTIFYICONDATAW IconData(HWND window) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = kTrayIconId;
  return data;
}

}  // namespace

void CLumivexDlg::CreateTrayIcon() {
  trayMenu_.Load(IDR_TRAYMENU);
  AddTrayIcon();
}

void CLumivexDlg::AddTrayIcon() {
  NOTIFYICONDATAW data = IconData(Handle());
  data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  data.uCallbackMessage = WM_APP_TRAYNOTIFY;
  data.hIcon = smallIcon_;
  ::lstrcpynW(data.szTip, kProductTitle, int(std::size(data.szTip)));
  ::Shell_NotifyIconW(NIM_ADD, &data);
}

void CLumivexDlg::RemoveTrayIcon() {
  NOTIFYICONDATAW data = IconData(Handle());
  ::Shell_NotifyIconW(NIM_DELETE, &data);
}

bool CLumivexDlg::OnTrayMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  *result = 0;
  switch (msg) {
    case WM_APP_TRAYNOTIFY:
      OnTrayNotify(w, l);
      return true;
    case WM_COMMAND:
      return OnTrayCommand(LOWORD(w), HIWORD(w));
    case WM_TIMER:
      return OnTrayTimer(w);
    case WM_DEVICECHANGE:
      OnDeviceChange(w, l);
      *result = TRUE;
      return true;
    default:
      // Other windows of the process may want the taskbar's new start too.
      if (msg == TaskbarCreated() && msg != 0) AddTrayIcon();
      return false;
  }
}

void CLumivexDlg::OnTrayNotify(WPARAM id, LPARAM event) {
  // The exit waits for the engine threads while dispatching messages: a click then shows nothing.
  if (id != kTrayIconId || !trayReady_ || exiting_) return;
  switch (UINT(event)) {
    case WM_LBUTTONDOWN:
      SetTimer(kTrayClickTimer, ::GetDoubleClickTime());
      break;
    case WM_LBUTTONDBLCLK:
      KillTimer(kTrayClickTimer);
      if (IsVisible() && !::IsIconic(Handle()))
        Show(SW_HIDE);
      else
        ShowMainWindow();
      break;
    case WM_RBUTTONDOWN:
      OpenTrayMenu();
      break;
    default:
      break;
  }
}

void CLumivexDlg::OpenTrayMenu() {
  ui::CMenu popup(trayMenu_.SubMenu(0), false);
  if (!popup.Handle()) return;
  POINT cursor{};
  ::GetCursorPos(&cursor);
  // A menu of a window in the background would not close when the user clicks elsewhere.
  ::SetForegroundWindow(Handle());
  popup.Track(Handle(), cursor, TPM_RIGHTALIGN | TPM_RIGHTBUTTON);
  Post(WM_NULL);
}

bool CLumivexDlg::OnTrayCommand(int id, int code) {
  switch (id) {
    case ID_TRAY_OPEN:
      ShowMainWindow();
      return true;
    case ID_FILE_EXIT:
    case ID_TRAY_EXIT:
      if (!general_ || !general_->bShowWarnings || ui::AskYesNo(Handle(), kExitQuestion, kProductTitle)) OnCancel();
      return true;
    // The tray menu's update commands are those of the main menu.
    case ID_TRAY_UPDATE_CACHE:
      Send(WM_COMMAND, ID_TOOLS_UPDATE_CACHE);
      return true;
    case ID_TRAY_STOP_UPDATING:
      Send(WM_COMMAND, ID_TOOLS_STOP_UPDATING);
      return true;
    case ID_TRAY_PAUSE_UPDATING:
      Send(WM_COMMAND, ID_TOOLS_PAUSE_UPDATING);
      return true;
    default:
      return false;
  }
}

void CLumivexDlg::RestartHistoryTimer() { SetTimer(kHistoryTimer, kHistoryDelayMs); }

HMENU CLumivexDlg::TrayMenu() const { return trayMenu_.SubMenu(0); }

bool CLumivexDlg::OnTrayTimer(UINT_PTR id) {
  if (id != kTrayClickTimer && id != kHistoryTimer && id != kHistorySaveTimer) return false;
  if (exiting_) {
    KillTimer(id);  // once the exit began no menu opens and the exit decides what is saved
    return true;
  }
  switch (id) {
    case kTrayClickTimer:
      KillTimer(id);
      OpenTrayMenu();
      return true;
    case kHistoryTimer:
      KillTimer(id);
      patterns_.AddToList(lastTypedPattern_);
      folders_.AddToList(lastTypedFolder_);
      MirrorHistory(patternBox_, patterns_);
      MirrorHistory(folderBox_, folders_);
      SetTimer(kHistorySaveTimer, kHistorySaveMs);
      return true;
    case kHistorySaveTimer:
      if (IsVisible()) return true;
      KillTimer(id);
      AddPatternHistory(patterns_, lastTypedPattern_);
      AddFolderHistory(folders_, lastTypedFolder_);
      MirrorHistory(patternBox_, patterns_);
      MirrorHistory(folderBox_, folders_);
      return true;
    default:
      return false;
  }
}

void CLumivexDlg::OnDeviceChange(WPARAM event, LPARAM data) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  if (!header || header->dbch_devicetype != DBT_DEVTYP_VOLUME || header->dbch_size < sizeof(DEV_BROADCAST_VOLUME))
    return;
  // Before the engine is set up, and once the exit has stopped it, nothing may start it again.
  if (!trayReady_ || exiting_ || !monitor_ || !cacher_) return;
  const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data);
  VolumeOutcome outcome =
      ApplyVolumeEvent(driveMask_, event == DBT_DEVICEARRIVAL ? VolumeEvent::Arrival : VolumeEvent::Removal,
                       volume->dbcv_unitmask, autoSelRemovable_ != 0,
                       [](const std::u16string& root) { return uint32_t(os::DriveKindOf(root)); });
  driveMask_ = outcome.mask;
  if (!outcome.joined) return;
  WriteDriveMask(driveMask_);
  monitor_->StartWatchers(driveMask_);
  for (int i = 0; i < 26; ++i)
    if (outcome.joined & (1u << i)) monitor_->Refresher(char16_t(u'A' + i)).EnqueueLocation(RootRefreshRequest(i));
  if (!cacher_->IsRunning()) monitor_->StartDrains(driveMask_);
}

}  // namespace lvx::shell
