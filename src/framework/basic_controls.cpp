#include "framework/basic_controls.h"

#include <vector>

namespace lvx::ui {

namespace {

const CStringListControl::Messages* ComboMessages() {
  static const CStringListControl::Messages m = {
      CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT, CB_GETCOUNT, CB_GETCURSEL,
      CB_SETCURSEL, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_FINDSTRINGEXACT, CB_SETITEMDATA, CB_GETITEMDATA, CB_ERR};
  return &m;
}

const CStringListControl::Messages* ListMessages() {
  static const CStringListControl::Messages m = {
      LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_GETCOUNT, LB_GETCURSEL,
      LB_SETCURSEL, LB_GETTEXTLEN, LB_GETTEXT, LB_FINDSTRINGEXACT, LB_SETITEMDATA, LB_GETITEMDATA, LB_ERR};
  return &m;
}

}  // namespace

CComboBox::CComboBox() : CStringListControl(*ComboMessages()) {}
CListBox::CListBox() : CStringListControl(*ListMessages()) {}

int CStringListControl::Add(std::wstring_view text) {
  std::wstring copy(text);
  LRESULT r = Send(m_.add, 0, reinterpret_cast<LPARAM>(copy.c_str()));
  return r < 0 ? -1 : int(r);
}

int CStringListControl::Insert(int index, std::wstring_view text) {
  std::wstring copy(text);
  LRESULT r = Send(m_.insert, WPARAM(index), reinterpret_cast<LPARAM>(copy.c_str()));
  return r < 0 ? -1 : int(r);
}

bool CStringListControl::Delete(int index) {
  return index >= 0 && index < Count() && Send(m_.remove, WPARAM(index)) != m_.error;
}

void CStringListControl::Clear() { Send(m_.reset); }

int CStringListControl::Count() const {
  LRESULT r = Send(m_.count);
  return r < 0 ? 0 : int(r);
}

int CStringListControl::Selection() const {
  LRESULT r = Send(m_.getSel);
  return r < 0 ? -1 : int(r);
}

bool CStringListControl::Select(int index) {
  if (index >= Count()) return false;
  LRESULT r = Send(m_.setSel, WPARAM(index < 0 ? -1 : index));
  return index < 0 || r == index;
}

std::wstring CStringListControl::ItemText(int index) const {
  if (index < 0 || index >= Count()) return {};
  LRESULT n = Send(m_.textLen, WPARAM(index));
  if (n <= 0) return {};
  std::vector<wchar_t> buffer(size_t(n) + 1, L'\0');
  n = Send(m_.text, WPARAM(index), reinterpret_cast<LPARAM>(buffer.data()));
  return n > 0 ? std::wstring(buffer.data(), size_t(n)) : std::wstring();
}

int CStringListControl::FindExact(std::wstring_view text, int after) const {
  std::wstring copy(text);
  LRESULT r = Send(m_.findExact, WPARAM(after), reinterpret_cast<LPARAM>(copy.c_str()));
  return r < 0 ? -1 : int(r);
}

bool CStringListControl::SetItemData(int index, LPARAM data) {
  return index >= 0 && index < Count() && Send(m_.setData, WPARAM(index), data) != m_.error;
}

LPARAM CStringListControl::ItemData(int index) const {
  return index >= 0 && index < Count() ? Send(m_.getData, WPARAM(index)) : 0;
}

}  // namespace lvx::ui
