// The application object: the start routine that decides whether this copy may run (uninstall
// switch, a copy already running in this session, the limit of two Windows sessions), hands the
// user-interface archive to the layout library and runs the main window modally.
#pragma once

#include "cache/cache_context.h"
#include "framework/app.h"

namespace lvx::shell {

class CLumivexApp : public ui::CApp {
 public:
  CLumivexApp();
  ~CLumivexApp() override;

  cache::CacheContext& CacheContext() { return cacheContext_; }

 protected:
  bool InitInstance() override;
  int ExitInstance() override;

 private:
  bool RegisterMainWindowClass();
  // The program's failure texts as "Lumivex" boxes with the exclamation icon, owned by the main
  // window when shown from its thread.
  void InstallMessageSink();

  cache::CacheContext cacheContext_;
  HANDLE mutex_ = nullptr;
  bool oleReady_ = false;
  int exitCode_ = 0;
  DWORD uiThread_ = 0;
};

}  // namespace lvx::shell
