#include "shell/lumivex_dlg.h"

#include "framework/app.h"
#include "framework/message_box.h"
#include "platform/message.h"
#include "platform/text.h"
#include "resource.h"
#include "search/post_sink.h"
#include "search/search_types.h"
#include "shell/app_messages.h"
#include "shell/history_store.h"
#include "shell/ini_store.h"
#include "shell/ini_values.h"
#include "shell/language_loader.h"
#include "shell/registry_settings.h"
#include "shell/settings_files.h"
#include "shell/update_schedule.h"
#include "shell/update_settings.h"
#include "shell/win_text.h"
#include "shell/window_settings.h"
#include "skin/skin.h"
#include "uilib/containers.h"

namespace lvx::shell {
namespace {

constexpr DWORD kInitWaitMs = 3000;
constexpr wchar_t kHotKeyAtom[] = L"Shift+Esc";
constexpr const char16_t* kPageHosts[3] = {u"tabQuickButtons", u"tabSizeDate", u"tabAdvanced"};
constexpr const wchar_t* kSortTabs[] = {L"Defa&ult", L"&Name", L"&Location", L"&Size", L"T&ype", L"Date &Modified"};

// The state file's keys as the main window writes them.
bool StateIs(const std::u16string& key, const std::u16string& defaultValue, const char16_t* wanted) {
  return EqualsFolded(ReadIniString(u"STATEINFO", key, Paths().stateInfo, defaultValue), wanted);
}

bool HasFocusIn(HWND box) {
  HWND focus = ::GetFocus();
  return focus && box && (focus == box || ::IsChild(box, focus));
}

}  // namespace

// The abnormal-end question of the start-up check, as a Yes/No box owned by the window.
class CLumivexDlg::StartupQuestion : public indexer::IStartupQuestion {
 public:
  explicit StartupQuestion(HWND owner) : owner_(owner) {}
  bool Ask(const std::u16string& text) override { return ui::AskYesNo(owner_, W(text), kProductTitle); }

 private:
  HWND owner_;
};

// The engine's notifications as WM_ENGINE_NOTIFY posted to the window.
class CLumivexDlg::WindowNotifySink : public search::PostMessageSink {
 public:
  explicit WindowNotifySink(HWND window) : PostMessageSink(window) {}
};

CLumivexDlg::CLumivexDlg(cache::CacheContext& context) : CUILibDialog(IDD_MAIN), context_(context) {}

CLumivexDlg::~CLumivexDlg() = default;

bool CLumivexDlg::OnInitDialog() {
  if (!InitWindowFrame()) return false;
  if (!ReleaseDefaultSettings()) {
    shown_ = false;
    Show(SW_HIDE);
    EndDialog(IDABORT);
    return false;
  }
  LoadLanguageTable();
  driveMask_ = ReadActiveDriveMask();
  autoSelRemovable_ = ReadAutoSelRemovable();
  options_.LoadAll();
  general_ = dynamic_cast<CGeneralOptions*>(options_.GetOptions(OPTIONS_GENERAL));
  CreateContents();

  context_.SetPath(indexer::CacheFilePath(Paths().userDataFolder,
                                          ReadIniString(u"CACHEFILE", u"filepath", Paths().settings, u"default.db")));
  firstRun_ = FileExists(Paths().stateInfo) && StateIs(u"FirstRun", u"FALSE", u"TRUE");
  EnsureShutdownTimeouts();
  SetAutoStart(general_->bAutoStart);

  state_ = std::make_unique<SettingsStateStore>();
  notify_ = std::make_unique<WindowNotifySink>(Handle());
  status_.SetTarget(Handle(), Item(IDC_MAIN_STATUS));
  cacher_ = std::make_unique<indexer::CCacher>(context_, *state_);
  cacher_->SetStatusSink(&status_);
  cacher_->SetNotifySink(notify_.get());
  monitor_ = std::make_unique<indexer::ChangeMonitor>(context_);
  monitor_->SetSinks(&status_, notify_.get());
  lifecycle_ = std::make_unique<indexer::CacheLifecycle>(context_, *state_, *cacher_, *monitor_);
  search_ = std::make_unique<search::SearchEngine>(context_, notify_.get());
  RunCacheDecision();
  if (rebuildStarted_) ShowStateRow(results::ModeCacheBuilding);

  if (!firstRun_) {
    ShowWelcomeDialog();
    state_->WriteState(u"FirstRun", u"TRUE");
  }
  // ProgramExit "FALSE" was written by the cache decision.
  RECT window, work;
  ::GetWindowRect(Handle(), &window);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = window.right - window.left, height = window.bottom - window.top;
  ::SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  placement_.length = sizeof placement_;
  ::GetWindowPlacement(Handle(), &placement_);

  const auto arguments = ui::CApp::Current() ? ui::CApp::Current()->Arguments() : std::vector<std::wstring>{};
  shown_ = !(arguments.size() == 2 && ::lstrcmpiW(arguments[1].c_str(), kHideSwitch) == 0);
  if (shown_) ::SetFocus(Item(IDC_MAIN_PATTERN));

  initialised_.Set();
  if (!rebuildStarted_) firstRun_ = true;
  trayReady_ = true;
  exiting_ = false;
  RegisterHotKey();
  StartThreads();
  if (general_->nCheckUpdate != kCheckNever) ScheduleUpdateCheck(general_->nCheckUpdate, updater_);
  Post(WM_APP_INITDONE);
  return false;  // the focus is set by hand: the pattern box
}

bool CLumivexDlg::InitWindowFrame() {
  if (!HasLayout()) {
    os::ErrorBox(LayoutError());
    shown_ = false;
    EndDialog(IDABORT);
    return false;
  }
  if (HMENU system = ::GetSystemMenu(Handle(), FALSE)) {
    wchar_t about[256] = {};
    if (::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 256) > 0) {
      ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  bigIcon_ = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_LUMIVEX), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_LUMIVEX), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
  Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  ::SetPropW(Handle(), kInstanceMarker, reinterpret_cast<HANDLE>(1));
  accelerators_ = ::LoadAcceleratorsW(module, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  return true;
}

void CLumivexDlg::CreateContents() {
  CreateTrayIcon();
  skinFlag_ = ReadSkinStyle() == SkinStyle::Vista;
  if (HMENU menu = ::GetMenu(Handle()))
    ::CheckMenuRadioItem(menu, ID_VIEW_STYLE_WINDOWS, ID_VIEW_STYLE_VISTA,
                         skinFlag_ ? ID_VIEW_STYLE_VISTA : ID_VIEW_STYLE_WINDOWS, MF_BYCOMMAND);
  CreatePages();
  sortTabs_.Attach(Item(IDC_MAIN_SORT_TABS));
  for (int i = 0; i < int(std::size(kSortTabs)); ++i) sortTabs_.InsertItem(i, kSortTabs[i]);
  CreateResultsList();

  patternBox_.Attach(Item(IDC_MAIN_PATTERN));
  folderBox_.Attach(Item(IDC_MAIN_FOLDER));
  folderBox_.SetText(W(kMyComputer));
  LoadPatternHistory(patterns_);
  LoadFolderHistory(folders_);
  for (const auto& item : patterns_.Items()) patternBox_.Add(W(item));
  for (const auto& item : folders_.Items()) folderBox_.Add(W(item));

  AttachHost(u"cbSearch", Item(IDC_MAIN_PATTERN));
  AttachHost(u"cbFolder", Item(IDC_MAIN_FOLDER));
  AttachHost(u"btnBrowse", Item(IDC_MAIN_BROWSE));
  AttachHost(u"btnSearch", Item(IDC_MAIN_SEARCH));
  AttachHost(u"listResult", Item(IDC_MAIN_RESULTS));
  AttachHost(u"tabSort", Item(IDC_MAIN_SORT_TABS));
  AttachHost(u"statusBar", Item(IDC_MAIN_STATUS));
  ui::CChildPage* pages[3] = {&toolbarPage_, &sizeDatePage_, &advancedPage_};
  for (int i = 0; i < 3; ++i) AttachHost(kPageHosts[i], pages[i]->Handle());
  if (auto* tabs = dynamic_cast<uilib::CTabLayoutUI*>(PaintManager().FindControl(u"tabPagesToolbar"))) {
    tabs->SelectItem(1);
    tabs->SelectItem(0);
  }
  ApplySavedFont();
  PaintManager().SetDefaultLinkFontColor(0x000000);
  PaintManager().SetDefaultLinkHoverFontColor(0xCA6506);
  SetText(kProductTitle);
  ApplyLayoutSize();
  Relayout();
}

void CLumivexDlg::CreatePages() {
  toolbarPage_.CreatePage(Handle());
  sizeDatePage_.CreatePage(Handle());
  advancedPage_.CreatePage(Handle());
}

void CLumivexDlg::RunCacheDecision() {
  indexer::StartupOptions options;
  options.realtimeUpdate = general_->bRealtimeUpdate;
  options.checkIntegrity = general_->bCheckIntegrity;
  options.showWarnings = general_->bShowWarnings;
  options.firstRun = !firstRun_;
  options.driveMask = driveMask_;
  StartupQuestion question(Handle());
  indexer::StartupDecision decision = lifecycle_->StartupCheck(options, question);
  rebuildStarted_ = decision.action == indexer::StartupAction::Build;
  if (rebuildStarted_) cacheComplete_ = false;
}

void CLumivexDlg::ShowWelcomeDialog() {
  welcome_ = std::make_unique<dialogs::CWelcomeDlg>();
  if (welcome_->CreateModeless(Handle())) welcome_->Show(SW_SHOW);
}

void CLumivexDlg::RegisterHotKey() {
  hotKey_ = ::GlobalAddAtomW(kHotKeyAtom);
  hotKeyRegistered_ = hotKey_ != 0 && ::RegisterHotKey(Handle(), hotKey_, MOD_SHIFT, VK_ESCAPE);
}

void CLumivexDlg::StartThreads() {
  search_->StartSearchThread();
  updater_.StartUpdateThread(Handle(), ReadUpdateServer());
}

void CLumivexDlg::OnInitDone() {
  if (skinFlag_)
    skin::SkinAttach();
  else
    skin::SkinDetach();
  EnableCacheMenus(::GetMenu(Handle()), !cacheComplete_);
  EnableCacheMenus(TrayMenu(), !cacheComplete_);
}

void CLumivexDlg::ShowMainWindow() {
  shown_ = true;
  if (::IsIconic(Handle())) Post(WM_SYSCOMMAND, SC_RESTORE);
  Show(SW_SHOW);
  ::BringWindowToTop(Handle());
  ::SetForegroundWindow(Handle());
  ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (HWND pattern = Item(IDC_MAIN_PATTERN)) {
    ::SetFocus(pattern);
    ::PostMessageW(pattern, WM_SETFOCUS, 0, 0);
  }
}

void CLumivexDlg::OnEngineNotify(WPARAM code, LPARAM value) {
  if (code <= search::NotifyBadLocation) {
    OnSearchNotify(code, value);
  } else if (code == cache::NotifyCacheBuilt) {
    cacher_->Stop();
    if (general_->bRealtimeUpdate) {
      monitor_->StartWatchers(driveMask_);
      monitor_->StartDrains(driveMask_);
    }
    EnableCacheMenus(::GetMenu(Handle()), false);
    EnableCacheMenus(TrayMenu(), false);
    // The ready row replaces the building row, not the results of a search that ended meanwhile.
    if (!firstRun_ && listResults_.Mode() != results::ModeResults) ShowStateRow(results::ModeCacheReady);
    firstRun_ = true;
    cacheComplete_ = true;
  } else if (code == cache::NotifyRefreshDone) {
    if (!general_->bRealtimeUpdate) {
      monitor_->StopWatchers();
      monitor_->StopDrains();
    }
  }
}

void CLumivexDlg::WaitForInitialisation() { initialised_.Wait(kInitWaitMs); }

void CLumivexDlg::SaveHistories() {
  std::u16string pattern = FromW(patternBox_.Text().c_str());
  std::u16string folder = FromW(folderBox_.Text().c_str());
  AddPatternHistory(patterns_, pattern);
  AddFolderHistory(folders_, folder);
}

void CLumivexDlg::WriteProgramExit() {
  if (state_) state_->WriteState(u"ProgramExit", u"TRUE");
}

void CLumivexDlg::OnCancel() {
  if (exiting_) {
    EndDialog(IDCANCEL);
    return;
  }
  exiting_ = true;
  placement_.length = sizeof placement_;
  ::GetWindowPlacement(Handle(), &placement_);
  ::SetErrorMode(::SetErrorMode(0) | SEM_NOGPFAULTERRORBOX);
  shown_ = false;
  Show(SW_HIDE);
  if (general_) SaveHistories();
  WaitForInitialisation();
  if (search_) search_->StopSearchThread();
  updater_.StopUpdateThread();
  if (hotKeyRegistered_) ::UnregisterHotKey(Handle(), hotKey_);
  hotKeyRegistered_ = false;
  RemoveTrayIcon();
  ReleaseResultsList();
  if (cacher_) cacher_->Stop();
  if (monitor_) {
    monitor_->StopDrains();
    monitor_->StopWatchers();
    monitor_->SavePending();
  }
  WriteProgramExit();
  EndDialog(IDCANCEL);
}

void CLumivexDlg::OnEndSession() {
  if (exiting_) return;
  exiting_ = true;
  ::SetErrorMode(::SetErrorMode(0) | SEM_NOGPFAULTERRORBOX);
  shown_ = false;
  Show(SW_HIDE);
  WaitForInitialisation();
  if (search_) search_->StopSearchThread();
  if (cacher_) cacher_->Stop();
  ReleaseResultsList();
  if (monitor_) {
    monitor_->StopDrains();
    monitor_->StopWatchers();
    monitor_->SavePending();
  }
  updater_.StopUpdateThread();
  RemoveTrayIcon();
  WriteProgramExit();
}

bool CLumivexDlg::OnClose() {
  // Only the first WM_CLOSE ends the program; the window may get more while it exits.
  if (!closeSeen_) {
    closeSeen_ = true;
    OnCancel();
  }
  return true;
}

void CLumivexDlg::OnDestroy() {
  ReleaseResultsList();
  ::RemovePropW(Handle(), kInstanceMarker);
  status_.SetTarget(nullptr, nullptr);
  if (hotKey_) ::GlobalDeleteAtom(hotKey_);
  hotKey_ = 0;
}

bool CLumivexDlg::OnWindowPosChanging(WINDOWPOS* pos) {
  if (!shown_) pos->flags &= ~SWP_SHOWWINDOW;
  return false;
}

bool CLumivexDlg::OnSysCommand(WPARAM command) {
  if ((command & 0xFFF0) == SC_CLOSE) {
    Show(SW_HIDE);
    return true;
  }
  if ((command & 0xFFF0) == IDM_ABOUTBOX) {
    ui::CDialogBox about(IDD_ABOUTBOX);
    about.DoModal(Handle());
    return true;
  }
  return false;
}

bool CLumivexDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_LBUTTONDOWN && msg->hwnd == sortTabs_.Handle()) OnSortTabPress(msg->lParam);
  if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) {
    if (msg->wParam == VK_ESCAPE) {
      if (msg->message == WM_KEYDOWN) Show(SW_HIDE);
      return true;
    }
    // Enter starts a search from the boxes on its release; pressed, it does nothing (no default
    // button ends the window).
    if (msg->wParam == VK_RETURN) {
      if (msg->message == WM_KEYUP) OnEnterKey(msg);
      return true;
    }
  }
  if (accelerators_ && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
    // Delete, the context-menu key and C keep their editing meaning outside the results list.
    const bool listKey = msg->wParam == VK_DELETE || msg->wParam == VK_APPS || msg->wParam == 'C';
    if ((!listKey || HasFocusIn(Item(IDC_MAIN_RESULTS))) && ::TranslateAcceleratorW(Handle(), accelerators_, msg))
      return true;
  }
  return CUILibDialog::PreTranslateMessage(msg);
}

void CLumivexDlg::Notify(uilib::TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::u16string& name = msg.pSender->GetName();
  if (msg.sType == u"click") {
    OnSortButton(name);
    return;
  }
  if (msg.sType != u"selectchanged") return;
  int page = name == u"tabQuickBtn" ? 0 : name == u"tabSizeDateBtn" ? 1 : name == u"tabAdvancedBtn" ? 2 : -1;
  auto* tabs = dynamic_cast<uilib::CTabLayoutUI*>(PaintManager().FindControl(u"tabPagesToolbar"));
  if (page >= 0 && tabs && tabs->GetCurSel() != page) tabs->SelectItem(page);
}

bool CLumivexDlg::OnCommand(int id, int code, HWND control) {
  return OnSearchCommand(id, code) || OnMenuCommand(id);
}

bool CLumivexDlg::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->idFrom == IDC_MAIN_SORT_TABS) return OnSortTabNotify(header);
  return OnResultsNotify(header);
}

bool CLumivexDlg::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (OnTrayMessage(msg, w, l, result)) return true;
  if (OnCommandsMessage(msg, w, l, result)) return true;
  if (msg == rowNameMessage_ && msg != 0) {
    *result = RowNameAtom(w);
    return true;
  }
  switch (msg) {
    case WM_WINDOWPOSCHANGING:
      OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(l));
      break;
    case WM_SYSCOMMAND:
      if (OnSysCommand(w)) {
        *result = 0;
        return true;
      }
      break;
    case WM_QUICK_SEARCH:
      OnQuickSearch(w);
      *result = 0;
      return true;
    case WM_HOTKEY:
    case WM_APP_SHOWWINDOW:
      ShowMainWindow();
      *result = 0;
      return true;
    case WM_APP_INITDONE:
      OnInitDone();
      *result = 0;
      return true;
    case WM_APP_STATUSTEXT:
      status_.Apply();
      *result = 0;
      return true;
    case search::WM_ENGINE_NOTIFY:
      OnEngineNotify(w, l);
      *result = 0;
      return true;
    case WM_QUERYENDSESSION:
      *result = TRUE;
      return true;
    case WM_ENDSESSION:
      if (w) OnEndSession();
      *result = 0;
      return true;
    default:
      break;
  }
  return CUILibDialog::WindowProc(msg, w, l, result);
}

}  // namespace lvx::shell
