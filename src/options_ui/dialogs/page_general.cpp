#include "options_ui/dialogs/page_general.h"

#include "framework/message_box.h"
#include "resource.h"

namespace lvx::dialogs {

CPageGeneral::CPageGeneral() : controls::CGradientPage(IDD_PAGE_GENERAL) {}

bool CPageGeneral::PreTranslateMessage(MSG* msg) {
  if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && msg->wParam == VK_RETURN) return true;
  return msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE;
}

bool CPageGeneral::OnInitDialog() {
  struct Box {
    controls::CTransCheck* box;
    int id;
    bool on;
  };
  for (const Box& b : {Box{&autoStart_, IDC_GEN_AUTOSTART, bAutoStart}, Box{&realtime_, IDC_GEN_REALTIME, bRealtimeUpdate},
                       Box{&integrity_, IDC_GEN_CHECK_INTEGRITY, bCheckIntegrity},
                       Box{&warnings_, IDC_GEN_SHOW_WARNINGS, bShowWarnings},
                       Box{&checkUpdates_, IDC_GEN_CHECK_UPDATES, false}}) {
    b.box->SubclassDlgItem(b.id, Handle());
    b.box->Send(BM_SETCHECK, b.on ? BST_CHECKED : BST_UNCHECKED);
  }
  interval_.Attach(Item(IDC_GEN_UPDATE_INTERVAL));
  for (const wchar_t* text : {L"Every Day", L"Every Week", L"Every Month", L"Never"}) interval_.Add(text);
  // A stored value outside the list reads as "Never", the one choice that asks nothing of the network.
  if (nCheckUpdate < 0 || nCheckUpdate > kCheckNever) nCheckUpdate = kCheckNever;
  ShowInterval(nCheckUpdate);
  return true;
}

void CPageGeneral::ShowInterval(int value) {
  bool on = value != kCheckNever;
  checkUpdates_.Send(BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED);
  interval_.Select(value);
  interval_.Enable(on);
}

bool CPageGeneral::ConfirmClear(controls::CTransCheck& box, const wchar_t* question, bool current) {
  if (box.IsChecked()) return true;
  if (ui::MessageBoxFor(Handle(), question, L"Lumivex", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) return false;
  box.Send(BM_SETCHECK, BST_CHECKED);
  return current;
}

bool CPageGeneral::OnCommand(int id, int code, HWND control) {
  if (id == IDC_GEN_UPDATE_INTERVAL) {
    if (code != CBN_SELCHANGE) return false;
    int selected = interval_.Selection();
    if (selected < 0) return true;
    nCheckUpdate = selected;
    if (selected == kCheckNever) ShowInterval(kCheckNever);
    return true;
  }
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_GEN_AUTOSTART: bAutoStart = ConfirmClear(autoStart_, kNoAutoStartQuestion, bAutoStart); return true;
    case IDC_GEN_REALTIME: bRealtimeUpdate = ConfirmClear(realtime_, kStopRealtimeQuestion, bRealtimeUpdate); return true;
    case IDC_GEN_CHECK_INTEGRITY: bCheckIntegrity = integrity_.IsChecked(); return true;
    case IDC_GEN_SHOW_WARNINGS: bShowWarnings = warnings_.IsChecked(); return true;
    case IDC_GEN_CHECK_UPDATES:
      nCheckUpdate = checkUpdates_.IsChecked() ? 1 : kCheckNever;
      ShowInterval(nCheckUpdate);
      return true;
    default: return false;
  }
}

}  // namespace lvx::dialogs
