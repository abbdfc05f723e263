// "Update Location...": a folder to bring up to date in the cache, picked or typed, and whether its
// subfolders are left as they are. After OK the caller queues RefreshRequest() with the location
// refresh.
#pragma once

#include <cstdint>
#include <string>

#include "controls/button_ex.h"
#include "controls/look.h"
#include "controls/trans_controls.h"
#include "framework/basic_controls.h"

namespace lvx::dialogs {

constexpr wchar_t kInvalidPathMessage[] = L"Invalid file path!";
constexpr wchar_t kPickFolderTitle[] = L"Please select a folder...";

class CDlgUpdateLoc : public controls::CGradientDialog {
 public:
  CDlgUpdateLoc();

  std::wstring location;
  uint8_t noSubdirs = 0;

  // "#" and the location (the whole subtree again), or "@" and the location (its own entries only,
  // the cached contents of its subfolders kept) when noSubdirs is set.
  std::wstring RefreshRequest() const { return (noSubdirs ? L"@" : L"#") + location; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnOK() override;

 private:
  ui::CEditBox edit_;
  controls::CTransCheck noSubdirsBox_;
  controls::CButtonEx browse_, ok_, cancel_;
};

}  // namespace lvx::dialogs
