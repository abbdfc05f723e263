// Shared by the tests of the results list and its actions: result entries with strings of their
// own, and a hidden frame (menu bar "&File", "&Edit", "&View", "&Help") hosting a CListCtrlEx.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "framework/common_controls.h"
#include "results/list_ctrl_ex.h"

namespace lvx::results::listhost {

struct Rows {
  std::deque<std::u16string> texts;
  std::vector<search::SearchResult> entries;
  Rows& Add(std::u16string path, std::u16string name, uint32_t sizeKB = 0, bool folder = false, uint64_t time = 0) {
    texts.push_back(std::move(path));
    const char16_t* p = texts.back().c_str();
    texts.push_back(std::move(name));
    entries.push_back({p, search::ICON_UNRESOLVED, texts.back().c_str(), sizeKB, uint8_t(folder), os::FileTime::From(time)});
    return *this;
  }
};

// Keeps the notifications its children send and the commands it gets.
class HostFrame : public ui::CWindow {
 public:
  std::vector<UINT> notifications;
  std::vector<int> commands;

  bool Create() {
    HMENU bar = ::CreateMenu();
    for (const wchar_t* title : {L"&File", L"&Edit", L"&View", L"&Help"}) {
      ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(::CreatePopupMenu()), title);
    }
    return CreateFrame(0, L"results", WS_OVERLAPPEDWINDOW, RECT{0, 0, 720, 420}, nullptr, bar);
  }

 protected:
  bool OnNotify(NMHDR* header, LRESULT* result) override {
    notifications.push_back(header->code);
    return false;
  }
  bool OnCommand(int id, int, HWND) override {
    commands.push_back(id);
    return true;
  }
};

// The list as the main window makes it: report view, owner data, one column.
inline bool MakeList(CListCtrlEx& list, HostFrame& frame, int id, const std::u16string& probeFolder) {
  RECT rc = frame.ClientRect();
  if (!list.CreateControl(WC_LISTVIEWW, L"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA, 0, rc,
                          frame.Handle(), id)) {
    return false;
  }
  list.InsertColumn(0, L"Search Results", 560);
  list.InitList(probeFolder);
  return true;
}

// Attaches the rows and shows them (count: the row count, all entries by default).
inline void ShowRows(CListCtrlEx& list, Rows& rows, int count = -1) {
  list.AttachResults(rows.entries.data(), uint32_t(rows.entries.size()));
  list.SetVirtualCount(count < 0 ? int(rows.entries.size()) : count);
  list.SetMode(ModeResults);
}

}  // namespace lvx::results::listhost
