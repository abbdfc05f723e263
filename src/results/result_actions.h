// CResultActions: what the user does with the rows selected in the results list: open them, show
// them in Explorer, open a command prompt in their folder, copy their paths or the items themselves
// to the clipboard, move them to the Recycle Bin, and make a row's folder the search location. Each
// action reads the selected rows, in ascending order, through the list's accessors, and acts through
// the shell seam (shell_calls.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "results/list_ctrl_ex.h"

namespace lvx::results {

// One selected row as the actions see it.
struct SelectedRow {
  int row = -1;
  std::u16string name, path;  // path: the folder with its backslash, empty for a drive entry
  std::u16string FullPath() const { return path + name; }
  // What the shell is given for the item: the full path, or the drive's root for a drive entry.
  std::u16string ShellPath() const { return path.empty() ? name + u"\\" : path + name; }
  bool IsDrive() const { return path.empty(); }
};

// The selected rows in ascending order; false when one could not be read.
bool ReadSelectedRows(CListCtrlEx& list, std::vector<SelectedRow>* rows);

// The texts the actions hand on (the text on the clipboard, the drop list).
std::u16string FullPathsText(const std::vector<SelectedRow>& rows);
std::u16string LocationPathsText(const std::vector<SelectedRow>& rows);
// The CF_HDROP block: the 20-byte header (list at 20, wide), each path NUL-ended, one more NUL.
std::vector<uint8_t> FileDropBlock(const std::vector<SelectedRow>& rows);
// The folder a command prompt starts in: the row's folder, or a drive entry's root.
std::u16string PromptFolder(const SelectedRow& row);

class CResultActions {
 public:
  using TextSink = std::function<void(const std::u16string& text)>;
  // setStatus writes the main window's status line; setLocation puts a folder into its location box
  // (no search starts by itself).
  CResultActions(CListCtrlEx* list, HWND owner, TextSink setStatus, TextSink setLocation);

  void OpenItems();
  void ShowInFolder();
  void OpenContainingFolder();
  void OpenCommandPrompt();
  void CopyFullPaths();
  void CopyLocationPaths();
  void CopyFiles();
  void DeleteItems();
  void SearchInSameFolder();
  void SearchInThisFolder();

  // Runs the action of a result-menu or Edit-menu command (with the wait cursor where the action is
  // long); false for any other id.
  bool RunCommand(UINT id);

  HWND Owner() const { return owner_; }
  CListCtrlEx* List() const { return list_; }

 private:
  bool Selected(std::vector<SelectedRow>* rows);
  bool FirstSelected(SelectedRow* row, bool* isFolder);

  CListCtrlEx* list_;
  HWND owner_;
  TextSink setStatus_;
  TextSink setLocation_;
};

// Clipboard writes of the actions; false when the clipboard could not be opened or filled.
bool PutClipboardText(HWND owner, const std::u16string& text);
bool PutClipboardFileDrop(HWND owner, const std::vector<uint8_t>& block);

}  // namespace lvx::results
