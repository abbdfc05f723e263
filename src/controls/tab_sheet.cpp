#include "controls/tab_sheet.h"

namespace lvx::controls {

void CTabSheet::OnSubclassed() {
  // The pages are the control's children: the control must not draw over them, and the dialog
  // manager must walk into them for Tab and mnemonics.
  ModifyStyle(0, WS_CLIPCHILDREN);
  ModifyExStyle(0, WS_EX_CONTROLPARENT);
}

int CTabSheet::AddPage(std::wstring_view title, ui::CChildPage* page) {
  if (!Handle() || !page) return -1;
  if (!page->Handle()) {
    if (!page->CreatePage(Handle())) return -1;
  } else if (::GetParent(page->Handle()) != Handle()) {
    ::SetParent(page->Handle(), Handle());
  }
  int index = InsertItem(PageCount(), title);
  if (index < 0) return -1;
  pages_.insert(pages_.begin() + index, page);
  page->Move(PageRect(), false);
  if (PageCount() == 1 || Selection() < 0) {
    SetActivePage(index);
  } else {
    page->Show(SW_HIDE);
  }
  return index;
}

ui::CChildPage* CTabSheet::Page(int index) const {
  return index >= 0 && index < PageCount() ? pages_[size_t(index)] : nullptr;
}

bool CTabSheet::SetActivePage(int index) {
  if (index < 0 || index >= PageCount()) return false;
  Select(index);
  ShowPage(index);
  return true;
}

void CTabSheet::ShowPage(int index) {
  RECT rect = PageRect();
  for (int i = 0; i < PageCount(); ++i) {
    ui::CChildPage* page = pages_[size_t(i)];
    if (!page->Handle()) continue;
    if (i == index) {
      page->Move(rect, false);
      ::SetWindowPos(page->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
      page->Invalidate(true);
    } else {
      page->Show(SW_HIDE);
    }
  }
}

bool CTabSheet::OnReflectNotify(NMHDR* header, LRESULT* result) {
  if (header->code == TCN_SELCHANGE) ShowPage(Selection());
  return false;
}

void CTabSheet::OnSize(UINT type, int cx, int cy) {
  RECT rect = PageRect();
  for (ui::CChildPage* page : pages_) {
    if (page->Handle()) page->Move(rect, true);
  }
}

}  // namespace lvx::controls
