#include "framework/pickers.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "platform/thread.h"

namespace lvx::ui {

namespace {

constexpr DWORD kPathChars = 32768;

os::Lock& ResponderLock() {
  static os::Lock lock;
  return lock;
}

PickResponder& Responder() {  // guarded by ResponderLock()
  static PickResponder responder;
  return responder;
}

// Asks the installed responder; false in *asked when there is none.
bool AskResponder(const PickRequest& request, PickAnswer* answer, bool* asked) {
  PickResponder responder;
  {
    os::LockGuard guard(ResponderLock());
    responder = Responder();
  }
  *asked = bool(responder);
  return responder && responder(request, answer);
}

bool PickFile(PickKind kind, HWND owner, std::wstring_view filter, std::wstring_view defaultExt,
              std::wstring* path) {
  PickRequest request{kind, owner, {}, std::wstring(filter), std::wstring(defaultExt), *path};
  PickAnswer answer;
  bool asked = false;
  bool chosen = AskResponder(request, &answer, &asked);
  if (asked) {
    if (chosen) *path = answer.path;
    return chosen;
  }
  std::wstring filterText = FilterFromBars(filter);
  // A default extension is given without its "*." or ".": "*.ico" names the extension "ico".
  std::wstring ext(defaultExt);
  while (!ext.empty() && (ext[0] == L'*' || ext[0] == L'.')) ext.erase(0, 1);
  std::vector<wchar_t> buffer(kPathChars, L'\0');
  path->copy(buffer.data(), std::min<size_t>(path->size(), kPathChars - 1));
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filterText.empty() ? nullptr : filterText.c_str();
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = kPathChars;
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  // The program finds its own files through the current directory: the dialogs must not move it.
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  BOOL ok;
  if (kind == PickKind::OpenFile) {
    ofn.Flags |= OFN_FILEMUSTEXIST;
    ok = ::GetOpenFileNameW(&ofn);
  } else {
    ofn.Flags |= OFN_OVERWRITEPROMPT;
    ok = ::GetSaveFileNameW(&ofn);
  }
  if (!ok) return false;
  *path = buffer.data();
  return true;
}

}  // namespace

PickResponder SetPickResponder(PickResponder responder) {
  os::LockGuard guard(ResponderLock());
  std::swap(Responder(), responder);
  return responder;
}

std::wstring FilterFromBars(std::wstring_view filter) {
  std::wstring out(filter);
  for (wchar_t& c : out) {
    if (c == L'|') c = L'\0';
  }
  // The system reads pairs up to an empty string: make sure of two terminators at the end.
  while (out.size() < 2 || out[out.size() - 1] != L'\0' || out[out.size() - 2] != L'\0') out.push_back(L'\0');
  return out;
}

bool PickOpenFile(HWND owner, std::wstring_view filter, std::wstring_view defaultExt, std::wstring* path) {
  return PickFile(PickKind::OpenFile, owner, filter, defaultExt, path);
}

bool PickSaveFile(HWND owner, std::wstring_view filter, std::wstring_view defaultExt, std::wstring* path) {
  return PickFile(PickKind::SaveFile, owner, filter, defaultExt, path);
}

bool PickFolder(HWND owner, std::wstring_view title, std::wstring* path) {
  PickRequest request{PickKind::Folder, owner, std::wstring(title), {}, {}, {}};
  PickAnswer answer;
  bool asked = false;
  bool chosen = AskResponder(request, &answer, &asked);
  if (asked) {
    if (chosen) *path = answer.path;
    return chosen;
  }
  // The resizable picker needs COM on this thread; without it the classic one is shown.
  HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::wstring titleText(title);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = titleText.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | (SUCCEEDED(com) ? BIF_NEWDIALOGSTYLE : 0);
  PIDLIST_ABSOLUTE root = nullptr;
  if (SUCCEEDED(::SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &root))) info.pidlRoot = root;
  PIDLIST_ABSOLUTE picked = ::SHBrowseForFolderW(&info);
  bool ok = false;
  if (picked) {
    std::vector<wchar_t> buffer(kPathChars, L'\0');
    ok = ::SHGetPathFromIDListEx(picked, buffer.data(), kPathChars, GPFIDL_DEFAULT) && buffer[0];
    if (ok) *path = buffer.data();
    ::CoTaskMemFree(picked);
  }
  if (root) ::CoTaskMemFree(root);
  if (SUCCEEDED(com)) ::CoUninitialize();
  return ok;
}

bool PickFont(HWND owner, LOGFONTW* font) {
  PickRequest request{PickKind::Font, owner, {}, {}, {}, {}};
  PickAnswer answer;
  answer.font = *font;
  bool asked = false;
  bool chosen = AskResponder(request, &answer, &asked);
  if (asked) {
    if (chosen) *font = answer.font;
    return chosen;
  }
  LOGFONTW chosenFont = *font;
  CHOOSEFONTW cf = {};
  cf.lStructSize = sizeof(cf);
  cf.hwndOwner = owner;
  cf.lpLogFont = &chosenFont;
  cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
  if (!::ChooseFontW(&cf)) return false;
  *font = chosenFont;
  return true;
}

}  // namespace lvx::ui
