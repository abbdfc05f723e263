// The main window: a layout dialog (dialog 102, icon 167, accelerators 168) that owns the engine
// (builder, change monitor, search engine, update check), runs the start-up sequence in its
// initialisation and the two exit sequences (the orderly exit, and the end of the Windows session).
// It hides instead of closing; a second copy, the hot key Shift+Esc and WM_APP_SHOWWINDOW bring it
// back.
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
#include "platform/thread.h"
#include "search/search_engine.h"
#include "shell/history_list.h"
#include "shell/options.h"
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
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  class StartupQuestion;
  class WindowNotifySink;

  bool InitWindowFrame();
  void CreateContents();
  void RunCacheDecision();
  // The welcome of a first start: shown by the welcome dialog once it is part of the program.
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
  std::unique_ptr<ui::CChildPage> pages_[3];
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
};

}  // namespace lvx::shell
