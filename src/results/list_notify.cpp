// The results list's window side: the styles it adds to itself, the tooltip with the details of
// the row under the pointer, and the column header (a click opens the main window's View menu, a
// divider double-click fits the column to the widest row text drawn).
#include "results/list_ctrl_ex.h"

#include <windowsx.h>

namespace lvx::results {

namespace {

constexpr int kTipWidth = 500;
constexpr int kViewMenu = 2;  // the main window's menu bar: File, Edit, View, ...

}  // namespace

void CListCtrlEx::OnSubclassed() {
  // The image lists are the shell's own: the list must never destroy them.
  ModifyStyle(0, LVS_OWNERDRAWFIXED | LVS_SHAREIMAGELISTS);
  SetExtendedStyle(0, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
}

void CListCtrlEx::CreateToolTip() {
  if (toolTip_) return;
  toolTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  if (!toolTip_) return;
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = Handle();
  tool.uId = 0;
  tool.rect = ClientRect();
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  ::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
  ::SendMessageW(toolTip_, TTM_ACTIVATE, TRUE, 0);
}

void CListCtrlEx::OnSize(UINT type, int cx, int cy) {
  if (!toolTip_) return;
  // The one tool covers the whole list.
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = Handle();
  tool.uId = 0;
  tool.rect = RECT{0, 0, cx, cy};
  ::SendMessageW(toolTip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool CListCtrlEx::PreTranslateMessage(MSG* msg) {
  if (toolTip_) {
    if (msg->message == WM_MOUSEMOVE && msg->hwnd == Handle() && ::IsWindowVisible(toolTip_)) {
      // The whole list is one tool: on another row the shown tip goes, and the move relayed below
      // has it come back with that row's text.
      POINT at = {GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)};
      if (HitTest(at) != lastTipItem_) ::SendMessageW(toolTip_, TTM_POP, 0, 0);
    }
    ::SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
  }
  return false;
}

POINT CListCtrlEx::TipPointer() const {
  DWORD pos = ::GetMessagePos();
  return POINT{short(LOWORD(pos)), short(HIWORD(pos))};
}

bool CListCtrlEx::OnToolTipText(NMTTDISPINFOW* info, LRESULT* result) {
  POINT at = TipPointer();
  ::ScreenToClient(Handle(), &at);
  int row = HitTest(at);
  *result = 0;
  ::SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
  if (row >= 0 && row == lastTipItem_) {
    info->lpszText = tipText_.data();
    return true;
  }
  if (row >= 0 && row < Count() && mode_ == ModeResults) {
    os::LockGuard guard(resultLock_);
    if (entries_ && uint32_t(row) < entryCount_) {
      std::u16string text = TipText(entries_[row]);
      tipText_.assign(text.begin(), text.end());
      lastTipItem_ = row;
      info->lpszText = tipText_.data();
      return true;
    }
  }
  tipText_.clear();
  lastTipItem_ = -1;
  info->szText[0] = 0;
  info->lpszText = info->szText;
  return false;
}

void CListCtrlEx::PopupViewMenu(HMENU menu, POINT screen, HWND owner) {
  ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
}

bool CListCtrlEx::OnNotify(NMHDR* header, LRESULT* result) {
  if (toolTip_ && header->hwndFrom == toolTip_ && header->code == TTN_GETDISPINFOW) {
    OnToolTipText(reinterpret_cast<NMTTDISPINFOW*>(header), result);
    return true;
  }
  if (header->hwndFrom != Header()) return false;
  switch (header->code) {
    case HDN_ITEMCLICKW:
    case HDN_ITEMCLICKA: {
      HWND owner = ::GetAncestor(Handle(), GA_ROOT);
      HMENU bar = owner ? ::GetMenu(owner) : nullptr;
      HMENU view = bar ? ::GetSubMenu(bar, kViewMenu) : nullptr;
      if (view) {
        DWORD pos = ::GetMessagePos();
        PopupViewMenu(view, POINT{short(LOWORD(pos)), short(HIWORD(pos))}, owner);
      }
      *result = 0;
      return true;
    }
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA:
      SetColumnWidth(0, int(widestText_));
      *result = 0;
      return true;
    default:
      return false;
  }
}

bool CListCtrlEx::OnReflectNotify(NMHDR* header, LRESULT* result) {
  if (header->code != UINT(NM_CLICK)) return false;
  *result = 0;
  return true;
}

}  // namespace lvx::results
