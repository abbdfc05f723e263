// "Save Results" (dialog 147): the file path, the line format and whether only the selected rows
// are saved. "Save" checks the entries (none blank, the format holds a placeholder) and asks before
// an existing file is replaced; the writing is SaveResults (save_results.h).
#pragma once

#include <string>

#include "controls/look.h"
#include "results/list_ctrl_ex.h"

namespace lvx::results {

class CSaveResultsDlg : public controls::CGradientDialog {
 public:
  CSaveResultsDlg();

  const std::u16string& FilePath() const { return filePath_; }
  const std::u16string& LineFormat() const { return format_; }
  bool SelectedOnly() const { return selectedOnly_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnOK() override;

 private:
  std::u16string filePath_ = u"C:\\SearchResults.txt";
  std::u16string format_ = u"[FILEDIR][FILENAME]";
  bool selectedOnly_ = false;
};

// The "Save Results As.." command: the dialog, then, after "Save", the file written with the
// hourglass shown. True when a file was written.
bool SaveResultsCommand(CListCtrlEx& list, HWND owner);

}  // namespace lvx::results
