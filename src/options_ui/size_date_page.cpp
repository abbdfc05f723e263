#include "options_ui/size_date_page.h"

#include "platform/local_time.h"
#include "resource.h"

namespace lvx::options {
namespace {

constexpr int kSizeMax = 0x7FFFFFFF;

}  // namespace

bool DayBoundFromPicker(HWND picker, bool endOfDay, os::FileTime* bound) {
  SYSTEMTIME day = {};
  if (::SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&day)) != GDT_VALID) return false;
  // The offset of that day, not today's: a summer day keeps its summer offset when asked in winter.
  return os::LocalDayToUtc(day.wYear, day.wMonth, day.wDay, endOfDay, bound);
}

const CSizeDatePage::SizeBound CSizeDatePage::kSizes[2] = {
    {IDC_SD_USE_MIN, IDC_SD_MIN, IDC_SD_MIN_SPIN, &SizeDateChoices::useMinSize, &SizeDateChoices::minSizeKB},
    {IDC_SD_USE_MAX, IDC_SD_MAX, IDC_SD_MAX_SPIN, &SizeDateChoices::useMaxSize, &SizeDateChoices::maxSizeKB}};
const CSizeDatePage::DateBound CSizeDatePage::kDates[2] = {
    {IDC_SD_USE_FROM, IDC_SD_FROM, false, &SizeDateChoices::useFrom, &SizeDateChoices::modifiedFrom},
    {IDC_SD_USE_TO, IDC_SD_TO, true, &SizeDateChoices::useTo, &SizeDateChoices::modifiedTo}};

CSizeDatePage::CSizeDatePage() : controls::CGradientPage(IDD_SIZEDATE_PAGE) {}

bool CSizeDatePage::OnInitDialog() {
  const int checkIds[4] = {IDC_SD_USE_MIN, IDC_SD_USE_MAX, IDC_SD_USE_FROM, IDC_SD_USE_TO};
  for (int i = 0; i < 4; ++i) checks_[i].SubclassDlgItem(checkIds[i], Handle());
  for (const SizeBound& bound : kSizes) {
    ::SendDlgItemMessageW(Handle(), bound.spinId, UDM_SETRANGE32, 0, kSizeMax);
    ::SendDlgItemMessageW(Handle(), bound.editId, EM_SETLIMITTEXT, 10, 0);
  }
  return true;
}

bool CSizeDatePage::OnCommand(int id, int code, HWND control) {
  for (const SizeBound& bound : kSizes) {
    if (id == bound.checkId && code == BN_CLICKED) return SizeTicked(bound), true;
    if (id == bound.editId && code == EN_CHANGE) return SizeEdited(bound), true;
  }
  for (const DateBound& bound : kDates)
    if (id == bound.checkId && code == BN_CLICKED) return DateTicked(bound), true;
  return false;
}

bool CSizeDatePage::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->code != DTN_DATETIMECHANGE) return false;
  for (const DateBound& bound : kDates)
    if (int(header->idFrom) == bound.pickerId) DatePicked(bound);
  *result = 0;
  return true;
}

int32_t CSizeDatePage::SpinValue(const SizeBound& bound) {
  BOOL failed = FALSE;
  const LRESULT position = ::SendDlgItemMessageW(Handle(), bound.spinId, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed));
  if (!failed) return int32_t(position);
  // A number beyond the spin button's range counts as the largest size; an empty box as 0.
  wchar_t text[16] = {};
  ::GetDlgItemTextW(Handle(), bound.editId, text, 16);
  std::u16string_view view(reinterpret_cast<const char16_t*>(text));
  const int32_t size = SizeFromText(view);
  return size < 0 ? 0 : size;
}

void CSizeDatePage::SizeTicked(const SizeBound& bound) {
  const bool on = ::IsDlgButtonChecked(Handle(), bound.checkId) == BST_CHECKED;
  ::EnableWindow(Item(bound.editId), on);
  ::EnableWindow(Item(bound.spinId), on);
  choices_.*bound.use = on;
  choices_.*bound.value = on ? SpinValue(bound) : -1;
  ::InvalidateRect(Item(bound.spinId), nullptr, TRUE);
}

void CSizeDatePage::SizeEdited(const SizeBound& bound) {
  if (choices_.*bound.use) choices_.*bound.value = SpinValue(bound);
}

void CSizeDatePage::DateTicked(const DateBound& bound) {
  const bool on = ::IsDlgButtonChecked(Handle(), bound.checkId) == BST_CHECKED;
  ::EnableWindow(Item(bound.pickerId), on);
  choices_.*bound.use = on;
  if (on) DatePicked(bound);
}

void CSizeDatePage::DatePicked(const DateBound& bound) {
  if (!(choices_.*bound.use)) return;
  os::FileTime time;
  if (DayBoundFromPicker(Item(bound.pickerId), bound.endOfDay, &time)) choices_.*bound.value = time;
}

}  // namespace lvx::options
