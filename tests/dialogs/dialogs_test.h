// Shared by the dialog tests: a temporary data folder with the default settings released into it,
// and the message box, picker and web seams answering in place of the user.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/message_box.h"
#include "framework/pickers.h"
#include "support/temp_dir.h"

namespace lvx::dialogs::test {

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::wstring Folder() const { return std::wstring(dir_.Path().begin(), dir_.Path().end()); }
  // settings.ini's value, "<none>" when the key is missing.
  std::wstring Setting(const wchar_t* section, const wchar_t* key) const;
  void WriteSetting(const wchar_t* section, const wchar_t* key, const std::wstring& value) const;

  lvx::test::TempDir dir_;
  std::vector<ui::MessageRequest> asked_;
  std::deque<int> answers_;                   // IDOK when empty
  std::vector<ui::PickRequest> picks_;
  std::deque<std::wstring> picked_;           // an empty path cancels
  std::vector<std::wstring> opened_;          // addresses handed to the shell
};

}  // namespace lvx::dialogs::test
