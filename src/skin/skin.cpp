#include "skin/skin.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "skin/skin_internal.h"

namespace lvx::skin {

namespace {

// The skin lives on the UI thread: the hook, the exclusions and every call are that thread's.
HHOOK hook = nullptr;
std::vector<HWND> excluded;

LRESULT CALLBACK CbtProc(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_CREATEWND) {
    HWND hwnd = reinterpret_cast<HWND>(w);
    if (!detail::IsExcluded(hwnd)) detail::Apply(hwnd, true);
  }
  return ::CallNextHookEx(hook, code, w, l);
}

bool OwnedByThisThread(HWND hwnd) {
  return ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId();
}

// Parents before their children: a push button is skinned only inside a skinned dialog.
void ForTreeParentsFirst(HWND root, const std::function<void(HWND)>& visit) {
  if (!OwnedByThisThread(root)) return;
  visit(root);
  for (HWND child = ::GetWindow(root, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    ForTreeParentsFirst(child, visit);
  }
}

// Children before their parents: buttons get their type back while their dialog can still draw them.
void ForTreeChildrenFirst(HWND root, const std::function<void(HWND)>& visit) {
  if (!OwnedByThisThread(root)) return;
  for (HWND child = ::GetWindow(root, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    ForTreeChildrenFirst(child, visit);
  }
  visit(root);
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM l) {
  reinterpret_cast<std::vector<HWND>*>(l)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> ThreadTopLevelWindows() {
  std::vector<HWND> windows;
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

void Repaint(HWND hwnd) {
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void ForgetDestroyedWindows() {
  excluded.erase(std::remove_if(excluded.begin(), excluded.end(), [](HWND h) { return !::IsWindow(h); }),
                 excluded.end());
}

}  // namespace

namespace detail {

bool IsExcluded(HWND hwnd) {
  HWND desktop = ::GetDesktopWindow();
  for (HWND h = hwnd; h && h != desktop; h = ::GetAncestor(h, GA_PARENT)) {
    if (std::find(excluded.begin(), excluded.end(), h) != excluded.end()) return true;
  }
  return false;
}

}  // namespace detail

bool SkinAttach() {
  if (!hook) {
    hook = ::SetWindowsHookExW(WH_CBT, CbtProc, nullptr, ::GetCurrentThreadId());
    if (!hook) return false;
  }
  ForgetDestroyedWindows();
  for (HWND top : ThreadTopLevelWindows()) {
    ForTreeParentsFirst(top, [](HWND h) {
      if (!detail::IsExcluded(h)) detail::Apply(h, false);
    });
    Repaint(top);
  }
  return true;
}

void SkinDetach() {
  if (hook) ::UnhookWindowsHookEx(hook);
  hook = nullptr;
  for (HWND top : ThreadTopLevelWindows()) {
    ForTreeChildrenFirst(top, [](HWND h) { detail::Remove(h); });
    Repaint(top);
  }
}

bool SkinDetachEx(HWND window) {
  if (!window || !::IsWindow(window) || !OwnedByThisThread(window)) return false;
  ForgetDestroyedWindows();
  if (!detail::IsExcluded(window)) excluded.push_back(window);
  ForTreeChildrenFirst(window, [](HWND h) { detail::Remove(h); });
  Repaint(window);
  return true;
}

bool IsSkinAttached() { return hook != nullptr; }

bool IsSkinned(HWND window) { return detail::Has(window); }

}  // namespace lvx::skin
