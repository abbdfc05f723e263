// The results list's state and operations, and its icon thread. The list reads the attached array
// under resultLock_ only for short copies; the icon thread copies an entry's strings out, asks the
// shell without any lock held, and stores the index back only if the entries have not moved since
// (the generation count), so a slow lookup never holds up drawing and never lands on another entry.
#include "results/list_ctrl_ex.h"

#include <objbase.h>

#include <algorithm>

#include "platform/file.h"
#include "results/icon_source.h"

namespace lvx::results {

namespace {

// The probe's extension is registered to no program, so the shell answers with its generic icon.
constexpr char16_t kProbeName[] = u"~lvx-probe-6f2c1d9e.lvxnoassoc";
constexpr uint32_t kIconThreadStopWait = 8000;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

CListCtrlEx::CListCtrlEx() : iconSource_(&ShellIconSource()) {}

CListCtrlEx::~CListCtrlEx() {
  // The thread uses this object: it must be gone before the object is.
  StopIconThread();
  if (toolTip_) ::DestroyWindow(toolTip_);
  if (font_) ::DeleteObject(font_);
}

void CListCtrlEx::SetIconSource(IconSource* source) { iconSource_ = source ? source : &ShellIconSource(); }

void CListCtrlEx::InitList(const std::u16string& probeFolder) {
  Send(LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
  Send(LVM_SETIMAGELIST, LVSIL_SMALL, 0);
  largeImages_ = SystemImageList(false);
  smallImages_ = SystemImageList(true);
  SetImageList(largeImages_, LVSIL_NORMAL);
  SetImageList(smallImages_, LVSIL_SMALL);
  Remeasure();
  // The generic icons are known before the thread that falls back on them runs.
  FindGenericIcons(probeFolder);
  StartIconThread();
  CreateToolTip();
}

void CListCtrlEx::FindGenericIcons(const std::u16string& probeFolder) {
  std::u16string probe = probeFolder;
  if (!probe.empty() && probe.back() != u'\\' && probe.back() != u'/') probe += u'\\';
  probe += kProbeName;
  defaultFileIcon_ = 3;
  os::File file = os::CreateScratch(probe);
  if (file.IsOpen()) {
    int index = iconSource_->SmallIconIndex(Wide(probe), false, 0);
    if (index >= 0) defaultFileIcon_ = index;
    os::Close(file);  // deletes it
  }
  folderIcon_ = defaultFileIcon_;
  // A probe folder left behind by a program that ended here would keep the lookup from being made.
  ::RemoveDirectoryW(Wide(probe).c_str());
  if (os::MakeFolder(probe)) {
    int index = iconSource_->SmallIconIndex(Wide(probe), false, 0);
    if (index >= 0) folderIcon_ = index;
    ::RemoveDirectoryW(Wide(probe).c_str());
  }
}

void CListCtrlEx::SetMode(ListMode mode) {
  {
    os::LockGuard draw(drawLock_);
    widestText_ = 600;
    mode_ = mode;
  }
  lastTipItem_ = -1;
}

ListMode CListCtrlEx::Mode() const { return mode_; }

void CListCtrlEx::AttachResults(search::SearchResult* entries, uint32_t count) {
  {
    os::LockGuard guard(resultLock_);
    entries_ = entries;
    entryCount_ = entries ? count : 0;
    ++generation_;
  }
  // Rows queued for the previous array mean nothing for this one.
  os::LockGuard queue(queueLock_);
  iconQueue_.clear();
}

uint32_t CListCtrlEx::RowsWithEntries() const {
  int rows = Count();
  return rows <= 0 ? 0 : std::min(uint32_t(rows), entryCount_);
}

bool CListCtrlEx::GetItemPath(int row, std::u16string* name, std::u16string* path) {
  if (row < 0 || row >= Count()) return false;
  os::LockGuard guard(resultLock_);
  if (!entries_ || uint32_t(row) >= entryCount_) return false;
  const search::SearchResult& entry = entries_[row];
  name->assign(entry.name ? entry.name : u"");
  path->assign(entry.path ? entry.path : u"");
  return true;
}

bool CListCtrlEx::GetItemIsFolder(int row, bool* isFolder) {
  if (row < 0 || row >= Count()) return false;
  os::LockGuard guard(resultLock_);
  if (!entries_ || uint32_t(row) >= entryCount_) return false;
  *isFolder = entries_[row].isFolder != 0;
  return true;
}

bool CListCtrlEx::RemoveItem(int row) {
  int rows = Count();
  if (row < 0 || row >= rows) return false;
  {
    os::LockGuard guard(resultLock_);
    if (!entries_ || uint32_t(row) >= entryCount_) return false;
    std::copy(entries_ + row + 1, entries_ + entryCount_, entries_ + row);
    --entryCount_;
    ++generation_;
  }
  SetVirtualCount(rows - 1, LVSICF_NOSCROLL);
  lastTipItem_ = -1;
  Invalidate(false);
  return true;
}

uint64_t CListCtrlEx::GetTotalSizeKB() {
  os::LockGuard guard(resultLock_);
  if (!entries_) return kNoTotal;
  uint64_t total = 0;
  for (uint32_t i = 0, n = RowsWithEntries(); i < n; ++i) total += entries_[i].sizeKB;
  return total;
}

bool CListCtrlEx::VisitResults(const std::function<bool(const search::SearchResult&)>& visit) {
  os::LockGuard guard(resultLock_);
  if (!entries_) return false;
  for (uint32_t i = 0, n = RowsWithEntries(); i < n; ++i) {
    if (!visit(entries_[i])) break;
  }
  return true;
}

bool CListCtrlEx::SortResults(search::SortKey key, bool ascending) {
  bool sorted = false;
  {
    os::LockGuard guard(resultLock_);
    if (entries_) {
      sorted = search::SortResultArray(entries_, RowsWithEntries(), key, ascending);
      if (sorted) ++generation_;
    }
  }
  lastTipItem_ = -1;
  Invalidate(false);
  return sorted;
}

void CListCtrlEx::SetListFont(const LOGFONTW& font) {
  HFONT made = ::CreateFontIndirectW(&font);
  if (!made) return;
  logFont_ = font;
  SetFont(made, true);
  if (font_) ::DeleteObject(font_);
  font_ = made;
  Remeasure();
}

HFONT CListCtrlEx::ListFont() const {
  if (font_) return font_;
  HFONT font = Font();
  return font ? font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

// ---- The icon thread ----

void CListCtrlEx::StartIconThread() {
  if (iconThread_) return;
  iconTarget_ = Handle();
  stopEvent_.Reset();
  auto thread = std::make_unique<os::Thread>([this] { return IconThreadProc(); });
  if (thread->Start()) iconThread_ = std::move(thread);
}

void CListCtrlEx::StopIconThread() {
  stopEvent_.Set();
  wakeEvent_.Set();
  if (!iconThread_) return;
  // The thread may be waiting for this thread's messages (a redraw request): keep them flowing.
  iconThreadEnded_ = iconThread_->JoinDispatching(kIconThreadStopWait);
  iconThread_.reset();
}

uint32_t CListCtrlEx::IconThreadProc() {
  HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (;;) {
    int32_t row = -1;
    {
      os::LockGuard queue(queueLock_);
      if (!iconQueue_.empty()) {
        row = iconQueue_.front();
        iconQueue_.pop_front();
      }
    }
    if (row < 0) {
      wakeEvent_.Wait(os::kInfinite);
    } else {
      std::u16string path, name;
      bool isFolder = false;
      uint64_t generation;
      {
        os::LockGuard guard(resultLock_);
        generation = generation_;
        if (entries_ && uint32_t(row) < entryCount_) {
          const search::SearchResult& entry = entries_[row];
          path = entry.path ? entry.path : u"";
          name = entry.name ? entry.name : u"";
          isFolder = entry.isFolder != 0;
        }
      }
      std::u16string root = IconDriveRoot(path, name);
      uint32_t type = root.empty() ? DriveNoRoot : iconSource_->DriveType(Wide(root));
      IconPlan plan = PlanIconLookup(path, name, isFolder, type);
      int index = folderIcon_;
      if (plan.how != IconLookup::FolderIcon) {
        index = iconSource_->SmallIconIndex(Wide(plan.text), plan.how == IconLookup::ByAttributes,
                                            FILE_ATTRIBUTE_NORMAL);
        if (index < 0) index = defaultFileIcon_;
      }
      bool stored = false;
      {
        os::LockGuard guard(resultLock_);
        if (entries_ && uint32_t(row) < entryCount_ && generation == generation_) {
          entries_[row].iconIndex = index;
          stored = true;
        }
      }
      // Posted, not sent: the list's thread may itself be waiting for this one to end.
      if (stored) ::SendNotifyMessageW(iconTarget_, LVM_REDRAWITEMS, WPARAM(row), LPARAM(row));
    }
    if (stopEvent_.Wait(0)) break;
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}

}  // namespace lvx::results
