#include "shell/history_list.h"

#include <algorithm>

#include "shell/ini_values.h"

namespace lvx::shell {
namespace {

int Clamp(int value) { return std::clamp(value, 0, kHistoryLimit); }

}  // namespace

HistoryList::HistoryList(HistoryKind kind) : kind_(kind) {
  if (kind_ == HistoryKind::Folder) items_.push_back(kMyComputer);
}

void HistoryList::SetMaxNumber(int maxNumber) { maxNumber_ = std::min(maxNumber, kHistoryLimit); }

void HistoryList::Select(int index) {
  selection_ = (index >= 0 && index < int(items_.size())) ? index : -1;
}

std::u16string HistoryList::ItemKey(int n) {
  return u"PATTERN_" + IniNumber(n);
}

int HistoryList::Find(const std::u16string& text) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i] == text) return int(i);
  return -1;
}

void HistoryList::Insert(int index, const std::u16string& text) {
  items_.insert(items_.begin() + index, text);
  if (selection_ >= index) ++selection_;
}

void HistoryList::Erase(int index) {
  items_.erase(items_.begin() + index);
  if (selection_ == index)
    selection_ = -1;
  else if (selection_ > index)
    --selection_;
}

int HistoryList::StoredCount() const {
  int stored = int(items_.size()) - FirstStored();
  return std::max(0, std::min(stored, maxNumber_));
}

void HistoryList::Load(IHistoryStore& store) {
  items_.clear();
  selection_ = -1;
  SetMaxNumber(IniDecimal(store.Read(u"maxnumber", u"10")));
  if (maxNumber_ > 0) {
    // Only the first maxnumber stored items are read, newest (PATTERN_0) ending on top.
    int count = std::min(Clamp(IniDecimal(store.Read(u"hisnumber", u"0"))), maxNumber_);
    const char16_t* fallback = kind_ == HistoryKind::Folder ? kMyComputer : u"*.mp3";
    for (int n = count - 1; n >= 0; --n)
      Insert(0, TrimIniValue(store.Read(ItemKey(n), fallback)));
  }
  if (kind_ == HistoryKind::Folder) Insert(0, kMyComputer);
}

bool HistoryList::AddToList(const std::u16string& input) {
  bool folder = kind_ == HistoryKind::Folder;
  std::u16string text = folder ? TrimIniValue(input) : input;
  int top = FirstStored();
  int found = Find(text);
  if (folder && found == 0) return false;  // "My Computer" itself: list and file stay
  if (found >= 0) {
    Erase(found);
    Insert(top, text);
  } else if (!text.empty()) {
    if (int(items_.size()) - top < maxNumber_) {
      Insert(top, text);
    } else {
      // Full: the last item goes, or the one before it when the last is the selection; nothing is
      // deleted or inserted when that index would be a pinned or missing item.
      int victim = int(items_.size()) - 1;
      if (victim == selection_) --victim;
      if (victim >= top) {
        Erase(victim);
        Insert(top, text);
      }
    }
  }
  if (selection_ < 0 && !items_.empty()) selection_ = 0;
  return true;
}

void HistoryList::DeleteStoredKeys(IHistoryStore& store) const {
  int old = Clamp(IniDecimal(store.Read(u"hisnumber", u"0")));
  for (int n = 0; n < old; ++n) store.Delete(ItemKey(n));
}

void HistoryList::Save(IHistoryStore& store) const {
  DeleteStoredKeys(store);
  int count = StoredCount();
  store.Write(u"hisnumber", IniNumber(count));
  for (int n = 0; n < count; ++n) store.Write(ItemKey(n), items_[size_t(n + FirstStored())]);
}

void HistoryList::Add(const std::u16string& text, IHistoryStore& store) {
  if (AddToList(text)) Save(store);
}

void HistoryList::Clean(IHistoryStore& store) {
  items_.resize(size_t(FirstStored()));
  selection_ = -1;
  DeleteStoredKeys(store);
  store.Write(u"hisnumber", u"0");
}

}  // namespace lvx::shell
