// The main window: a layout dialog (dialog 102, icon 167, accelerators 168) that owns the engine
// (builder, change monitor, search engine, update check), runs the start-up sequence in its
// initialisation and the two exit sequences (the orderly exit, and the end of the Windows session).
// It hides instead of closing; a second copy, the hot key Shift+Esc and WM_APP_SHOWWINDOW bring it
// back.
//
// The search flow (main_search.cpp: the triggers, the request, refine mode; main_results.cpp: the
// engine's notifications, the results list and the sort) decides when a search starts, hands the
// request to the search thread and shows the outcome in the list and the status line.
#pragma once

#include <memory>
#include <string>

#include "cache/cache_context.h"
#include "framework/basic_controls.h"
#include "framework/common_controls.h"
#include "framework/menu.h"
#include "indexer/cache_lifecycle.h"
#include "indexer/cacher.h"
#include "indexer/change_monitor.h"
#include "options_ui/advanced_page.h"
#include "options_ui/dialogs/info_dialogs.h"
#include "options_ui/dialogs/updater_dialog.h"
#include "options_ui/size_date_page.h"
#include "options_ui/toolbar_page.h"
#include "platform/thread.h"
#include "results/list_ctrl_ex.h"
#include "results/result_actions.h"
#include "results/result_menu.h"
#include "search/search_engine.h"
#include "shell/history_list.h"
#include "shell/options.h"
#include "shell/search_rules.h"
#include "shell/state_store.h"
#include "shell/status_line.h"
#include "shell/uilib_dialog.h"
#include "shell/update_checker.h"

namespace lvx::shell {

class CLumivexDlg : public CUILibDialog {
 public:
  explicit CLumivexDlg(cache::CacheContext& context);
  ~CLumivexDlg() override;

  // Shows the window and brings it to the front with the focus in the pattern box.
  void ShowMainWindow();

  bool PreTranslateMessage(MSG* msg) override;
  void Notify(uilib::TNotifyUI& msg) override;

 protected:
  bool OnInitDialog() override;
  // Enter does not end the dialog.
  void OnOK() override {}
  // The orderly exit.
  void OnCancel() override;
  bool OnClose() override;
  void OnDestroy() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  class StartupQuestion;
  class WindowNotifySink;

  bool InitWindowFrame();
  void CreateContents();
  void CreatePages();
  void RunCacheDecision();
  // The welcome of a first start: modeless, owned by the window.
  void ShowWelcomeDialog();
  void RegisterHotKey();
  void StartThreads();
  void OnInitDone();
  void OnEngineNotify(WPARAM code, LPARAM value);
  void OnEndSession();
  void WaitForInitialisation();
  void SaveHistories();
  void WriteProgramExit();
  bool OnWindowPosChanging(WINDOWPOS* pos);
  bool OnSysCommand(WPARAM command);

  // The notification-area icon and its menu, the tray click and history timers, volume events
  // (main_tray.cpp). OnTrayMessage takes the messages of all of them, before the window's own.
  void CreateTrayIcon();
  void AddTrayIcon();
  void RemoveTrayIcon();
  bool OnTrayMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result);
  void OnTrayNotify(WPARAM id, LPARAM event);
  void OpenTrayMenu();
  bool OnTrayCommand(int id, int code);
  bool OnTrayTimer(UINT_PTR id);
  // Called at every keystroke in the pattern box, after the last typed texts were taken.
  void RestartHistoryTimer();
  void OnDeviceChange(WPARAM event, LPARAM data);

  // --- Search flow: triggers, request and refine mode (main_search.cpp) ---
  bool OnSearchCommand(int id, int code);
  void OnPatternEdited();
  void OnPatternPicked();
  void OnBrowse();
  // Enter in a box, the Search button: both boxes' texts, then both histories.
  void SearchFromBoxes();
  void OnQuickSearch(WPARAM index);
  // Enter released in the pattern or the location box.
  bool OnEnterKey(const MSG* msg);
  void SetCurrentTexts(const std::u16string& pattern, const std::u16string& folder);
  void StartSearch();
  void ExcludeListFromSkin();
  void AddToHistory(HistoryList& list, ui::CComboBox& box, const std::u16string& text);
  void ToggleRefineMode();
  std::u16string BoxText(const ui::CComboBox& box) const;

  // --- Search flow: results list, engine notifications and sort (main_results.cpp) ---
  void CreateResultsList();
  void ApplySavedFont();
  void ReleaseResultsList();
  void OnSearchNotify(WPARAM code, LPARAM value);
  void OnSearchState(LPARAM state);
  void OnSearchDone(uint32_t elapsedMs);
  void ShowStatus(const std::u16string& text);
  void ShowStateRow(results::ListMode mode);
  // The Update Search Cache items of a menu while a full build runs or after it.
  void EnableCacheMenus(HMENU menu, bool building);
  bool OnSortButton(const std::u16string& name);
  void OnSortTabPress(LPARAM point);
  bool OnSortTabNotify(NMHDR* header);
  void PickSort(search::SortKey key);
  void SortList();
  void ShowSortState();
  // The name of a row as a global atom (0 for none): how a test reads the owner-data list.
  LRESULT RowNameAtom(WPARAM row);

  // --- Menu and accelerator commands, result actions, the update check's answers (main_commands.cpp) ---
  bool OnMenuCommand(int id);
  // Double click and right click on the results list.
  bool OnResultsNotify(NMHDR* header);
  // Messages the commands take before the window's own handling (false: not taken, or taken and
  // passed on).
  bool OnCommandsMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result);
  void CreateCommandObjects();
  void EnableFileMenu();
  void StartFullBuild();
  void StopUpdating();
  void PauseOrResumeUpdating();
  void SetPauseTexts(const wchar_t* text);
  void CacheFileCommand(bool save);
  void SelectAllRows();
  void ChooseListFont();
  void ChooseStyle(bool vista);
  void SelectDrives();
  void UpdateLocation();
  void OpenSettings();
  void OpenHelp();
  void CheckForUpdates();
  void OnUpdateResult(WPARAM code);

  // The tray menu (its first popup), null while there is none.
  HMENU TrayMenu() const;

  cache::CacheContext& context_;
  // Made once the data folder is known.
  std::unique_ptr<SettingsStateStore> state_;
  std::unique_ptr<WindowNotifySink> notify_;
  StatusLineSink status_;
  std::unique_ptr<indexer::CCacher> cacher_;
  std::unique_ptr<indexer::ChangeMonitor> monitor_;
  std::unique_ptr<indexer::CacheLifecycle> lifecycle_;
  std::unique_ptr<search::SearchEngine> search_;
  CUpdateChecker updater_;
  COptionsManager options_;
  CGeneralOptions* general_ = nullptr;

  ui::CComboBox patternBox_, folderBox_;
  ui::CTabControl sortTabs_;
  options::CToolbarPage toolbarPage_;
  options::CSizeDatePage sizeDatePage_;
  options::CAdvancedPage advancedPage_;
  std::unique_ptr<dialogs::CWelcomeDlg> welcome_;
  HistoryList patterns_{HistoryKind::Pattern};
  HistoryList folders_{HistoryKind::Folder};
  HACCEL accelerators_ = nullptr;
  HICON bigIcon_ = nullptr, smallIcon_ = nullptr;

  uint32_t driveMask_ = 0;
  int autoSelRemovable_ = 0;
  bool firstRun_ = false;        // the welcome was shown before; later the cache-ready flag
  bool rebuildStarted_ = false;  // a full build was started during this start-up
  bool cacheComplete_ = true;
  bool shown_ = true;            // false while the window must stay hidden (/hide)
  bool closeSeen_ = false;
  bool trayReady_ = false;
  bool exiting_ = false;
  ATOM hotKey_ = 0;
  bool hotKeyRegistered_ = false;
  os::Event initialised_{true, false};
  WINDOWPLACEMENT placement_{};

  // The tray menu, and the texts of the last keystroke in the pattern box that the history timers
  // move to the top of the lists.
  ui::CMenu trayMenu_;
  std::u16string lastTypedPattern_, lastTypedFolder_;
  bool skinFlag_ = false;  // the "Vista Style" look

  // Search flow.
  results::CListCtrlEx listResults_;
  os::Lock requestLock_;
  std::u16string currentPattern_, currentFolder_;  // guarded by requestLock_
  bool refineOn_ = false;
  std::u16string refineBase_;
  std::u16string lastFullPattern_;
  bool fullSearchRan_ = false;
  SortChoice sort_;
  int pressedTab_ = -1;      // the sort tab under the last press, until its click
  bool tabChanged_ = false;  // the press changed the selected tab
  uint32_t shownCount_ = 0;
  uint64_t shownTotalKB_ = 0;
  bool firstSearchDone_ = false;
  UINT rowNameMessage_ = 0;

  // Commands.
  std::unique_ptr<results::CResultActions> actions_;
  std::unique_ptr<results::CResultMenu> resultMenu_;
  std::unique_ptr<dialogs::CDialogUpdater> updaterDialog_;  // hidden until a check is asked for
  bool paused_ = false;      // the running build is paused
  int staleBuildEnds_ = 0;   // ends of builds stopped to start again, still to come
  UINT menuStateMessage_ = 0;
};

}  // namespace lvx::shell
