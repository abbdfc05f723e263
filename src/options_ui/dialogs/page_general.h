// The "General" page of the settings dialog. The page is itself a set of general options: its check
// boxes and the update interval change its own fields, and the settings dialog stores them after OK.
#pragma once

#include "controls/look.h"
#include "controls/trans_controls.h"
#include "framework/basic_controls.h"
#include "shell/options.h"

namespace lvx::dialogs {

constexpr wchar_t kNoAutoStartQuestion[] =
    L"If you don't start Lumivex with windows, the file changes will not be detected by LVX any more "
    L"and the search results may become inaccurate.\r\n\r\nDon't start Lumivex with windows?";
constexpr wchar_t kStopRealtimeQuestion[] =
    L"If you stop Real-time Updating, the file changes will not be detected any more and the search "
    L"results may become inaccurate\r\n\r\nStop ?";

// The update-check interval list: item n is CHECKUPDATE value n.
constexpr int kCheckNever = 3;

class CPageGeneral : public controls::CGradientPage, public shell::CGeneralOptions {
 public:
  CPageGeneral();

  // Enter and Escape stay in the page: they would otherwise end the settings dialog around it.
  bool PreTranslateMessage(MSG* msg) override;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  // Clearing a box that protects the cache asks first; No ticks it again. Returns the new value.
  bool ConfirmClear(controls::CTransCheck& box, const wchar_t* question, bool current);
  void ShowInterval(int value);

  controls::CTransCheck autoStart_, realtime_, integrity_, warnings_, checkUpdates_;
  ui::CComboBox interval_;
};

}  // namespace lvx::dialogs
