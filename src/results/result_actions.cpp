#include "results/result_actions.h"

#include <cstring>

#include "framework/win_api.h"

#include <shellapi.h>
#include <shlobj.h>

#include "framework/message_box.h"
#include "framework/wait_cursor.h"
#include "platform/text.h"
#include "resource.h"
#include "results/shell_calls.h"

namespace lvx::results {

namespace {

std::wstring W(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

bool EndsWithUrl(const std::u16string& path) {
  return path.size() >= 4 && EqualsFolded(std::u16string_view(path).substr(path.size() - 4), u".url");
}

}  // namespace

bool ReadSelectedRows(CListCtrlEx& list, std::vector<SelectedRow>* rows) {
  rows->clear();
  for (int row = list.NextItem(-1); row >= 0; row = list.NextItem(row)) {
    SelectedRow selected;
    selected.row = row;
    if (!list.GetItemPath(row, &selected.name, &selected.path)) return false;
    rows->push_back(std::move(selected));
  }
  return true;
}

std::u16string FullPathsText(const std::vector<SelectedRow>& rows) {
  std::u16string text;
  for (const SelectedRow& row : rows) text += row.FullPath() + u"\r\n";
  return text;
}

std::u16string LocationPathsText(const std::vector<SelectedRow>& rows) {
  std::u16string text;
  for (const SelectedRow& row : rows) text += (row.IsDrive() ? row.name : row.path) + u"\r\n";
  return text;
}

std::vector<uint8_t> FileDropBlock(const std::vector<SelectedRow>& rows) {
  std::u16string list;
  for (const SelectedRow& row : rows) list += row.ShellPath() + u'\0';
  list += u'\0';
  DROPFILES header = {};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::vector<uint8_t> block(sizeof(header) + list.size() * sizeof(char16_t));
  std::memcpy(block.data(), &header, sizeof(header));
  std::memcpy(block.data() + sizeof(header), list.data(), list.size() * sizeof(char16_t));
  return block;
}

std::u16string PromptFolder(const SelectedRow& row) {
  if (!row.IsDrive()) return row.path;
  return row.name.substr(0, 2) + u"\\";
}

CResultActions::CResultActions(CListCtrlEx* list, HWND owner, TextSink setStatus, TextSink setLocation)
    : list_(list), owner_(owner), setStatus_(std::move(setStatus)), setLocation_(std::move(setLocation)) {}

bool CResultActions::Selected(std::vector<SelectedRow>* rows) { return ReadSelectedRows(*list_, rows); }

bool CResultActions::FirstSelected(SelectedRow* row, bool* isFolder) {
  row->row = list_->NextItem(-1);
  return row->row >= 0 && list_->GetItemPath(row->row, &row->name, &row->path) &&
         list_->GetItemIsFolder(row->row, isFolder);
}

void CResultActions::OpenItems() {
  std::vector<SelectedRow> rows;
  Selected(&rows);
  for (const SelectedRow& row : rows) {
    const std::u16string full = row.FullPath();
    if (full.empty()) return;
    if (EndsWithUrl(full)) {
      ShellExecuteCall(owner_, L"open", L"rundll32.exe", L"shdocvw.dll,OpenURL " + W(full));
    } else {
      ShellExecuteCall(nullptr, L"", L"\"" + W(full) + L"\"", L"");
    }
  }
}

void CResultActions::ShowInFolder() {
  std::vector<SelectedRow> rows;
  Selected(&rows);
  for (const SelectedRow& row : rows) {
    ShellExecuteCall(nullptr, L"Open", L"explorer.exe", L" /select,\"" + W(row.FullPath()) + L"\"");
  }
}

void CResultActions::OpenContainingFolder() {
  std::vector<SelectedRow> rows;
  Selected(&rows);
  for (const SelectedRow& row : rows) {
    ShellExecuteCall(nullptr, L"Open", L"explorer.exe", L" \"" + W(row.path) + L"\"");
  }
}

// The prompt starts in the folder as its working directory: the folder's name never reaches the
// command interpreter, so names holding "&", "%" or quotes are only names.
void CResultActions::OpenCommandPrompt() {
  std::vector<SelectedRow> rows;
  Selected(&rows);
  const std::wstring cmd = SystemProgram(L"cmd.exe");
  for (const SelectedRow& row : rows) {
    StartProgramIn(cmd, L"\"" + cmd + L"\"", W(PromptFolder(row)));
  }
}

void CResultActions::CopyFullPaths() {
  std::vector<SelectedRow> rows;
  Selected(&rows);
  PutClipboardText(owner_, FullPathsText(rows));
}

void CResultActions::CopyLocationPaths() {
  std::vector<SelectedRow> rows;
  Selected(&rows);
  PutClipboardText(owner_, LocationPathsText(rows));
}

void CResultActions::CopyFiles() {
  std::vector<SelectedRow> rows;
  Selected(&rows);
  if (!rows.empty()) PutClipboardFileDrop(owner_, FileDropBlock(rows));
}

void CResultActions::DeleteItems() {
  std::vector<SelectedRow> rows;
  if (!Selected(&rows)) return;
  // Drive entries are never deleted, so their rows stay.
  std::vector<SelectedRow> deleted;
  std::wstring fileList;
  for (const SelectedRow& row : rows) {
    if (row.IsDrive()) continue;
    fileList += W(row.FullPath()) + L'\0';
    deleted.push_back(row);
  }
  if (deleted.empty()) return;
  fileList += L'\0';
  if (ShellDelete(owner_, fileList, FOF_ALLOWUNDO | FOF_WANTNUKEWARNING) != ShellOutcome::Done) return;
  int removed = 0;
  for (const SelectedRow& row : deleted) {
    const int now = row.row - removed;
    // The shell's dialogs dispatch messages: a search that ended meanwhile may have replaced the
    // rows, and a row that no longer holds the deleted item is not removed.
    std::u16string name, path;
    if (!list_->GetItemPath(now, &name, &path) || name != row.name || path != row.path) break;
    list_->SetItemState(now, 0, LVIS_SELECTED);
    if (!list_->RemoveItem(now)) break;
    ++removed;
  }
  list_->Invalidate(false);
  const uint64_t total = list_->GetTotalSizeKB();
  if (setStatus_) {
    setStatus_(Format("%s Items Found (%sKB)", U8(FormatThousands(uint32_t(list_->Count()))).c_str(),
                      U8(FormatThousands(total == CListCtrlEx::kNoTotal ? 0 : total)).c_str()));
  }
}

void CResultActions::SearchInSameFolder() {
  SelectedRow row;
  bool isFolder = false;
  if (!FirstSelected(&row, &isFolder)) return;
  if (setLocation_) setLocation_(row.IsDrive() ? row.name : row.path);
}

void CResultActions::SearchInThisFolder() {
  SelectedRow row;
  bool isFolder = false;
  if (!FirstSelected(&row, &isFolder)) return;
  if (isFolder) {
    if (setLocation_) setLocation_(row.FullPath());
    return;
  }
  ui::MessageBoxFor(owner_, L"This is not a folder!", L"Lumivex", MB_OK);
  if (setLocation_) setLocation_(u"");
}

bool CResultActions::RunCommand(UINT id) {
  using Action = void (CResultActions::*)();
  struct Entry {
    UINT id;
    Action action;
    bool wait;
  };
  static constexpr Entry kCommands[] = {
      {ID_LIST_SEARCH_SAME_FOLDER, &CResultActions::SearchInSameFolder, false},
      {ID_LIST_SEARCH_THIS_FOLDER, &CResultActions::SearchInThisFolder, false},
      {ID_LIST_OPEN, &CResultActions::OpenItems, true},
      {ID_LIST_BROWSE_FILE, &CResultActions::ShowInFolder, true},
      {ID_LIST_BROWSE_FOLDER, &CResultActions::OpenContainingFolder, true},
      {ID_LIST_COMMAND_PROMPT, &CResultActions::OpenCommandPrompt, false},
      {ID_LIST_COPY_FULL_PATH, &CResultActions::CopyFullPaths, true},
      {ID_LIST_COPY_LOCATION, &CResultActions::CopyLocationPaths, true},
      {ID_LIST_COPY, &CResultActions::CopyFiles, true},
      {ID_LIST_DELETE, &CResultActions::DeleteItems, true},
      {ID_EDIT_COPY_FILES, &CResultActions::CopyFiles, true},
      {ID_EDIT_DELETE_FILES, &CResultActions::DeleteItems, true},
  };
  for (const Entry& entry : kCommands) {
    if (entry.id != id) continue;
    if (entry.wait) {
      ui::CWaitCursor wait;
      (this->*entry.action)();
    } else {
      (this->*entry.action)();
    }
    return true;
  }
  return false;
}

namespace {

// Empties the clipboard and places a movable block of the bytes in the format.
bool PutClipboardBlock(HWND owner, UINT format, const void* bytes, size_t size, UINT flags) {
  if (!::OpenClipboard(owner)) return false;
  ::EmptyClipboard();
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | flags, size);
  bool placed = false;
  if (void* target = memory ? ::GlobalLock(memory) : nullptr) {
    std::memcpy(target, bytes, size);
    ::GlobalUnlock(memory);
    placed = ::SetClipboardData(format, memory) != nullptr;
  }
  if (!placed && memory) ::GlobalFree(memory);
  ::CloseClipboard();
  return placed;
}

}  // namespace

bool PutClipboardText(HWND owner, const std::u16string& text) {
  return PutClipboardBlock(owner, CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t), 0);
}

bool PutClipboardFileDrop(HWND owner, const std::vector<uint8_t>& block) {
  return PutClipboardBlock(owner, CF_HDROP, block.data(), block.size(), GMEM_ZEROINIT | GMEM_DDESHARE);
}

}  // namespace lvx::results
