// The pattern and folder histories: the list that the main window's combo boxes mirror, and the
// rules by which a searched text enters it and the list is written back to its settings section.
//
// The model follows a combo box exactly: items in display order (newest first), one optional
// selected index that moves when items are inserted or deleted above it and is lost when its own
// item is deleted. The folder list keeps the fixed item "My Computer" at index 0; stored folder n is
// item n + 1 there. Storage goes through IHistoryStore (settings.ini in the program, a map in the
// tests) one key at a time: maxnumber, hisnumber and PATTERN_0 ... PATTERN_(hisnumber-1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lvx::shell {

enum class HistoryKind { Pattern, Folder };

constexpr char16_t kMyComputer[] = u"My Computer";
// No history grows beyond this many items, whatever maxnumber or hisnumber the file claims: the
// lists are typed into by hand and a damaged count must not make a load or a save run for ever.
constexpr int kHistoryLimit = 1000;

// One settings section, key by key.
class IHistoryStore {
 public:
  virtual ~IHistoryStore() = default;
  virtual std::u16string Read(const std::u16string& key, const std::u16string& defaultValue) = 0;
  virtual void Write(const std::u16string& key, const std::u16string& value) = 0;
  virtual void Delete(const std::u16string& key) = 0;
};

class HistoryList {
 public:
  explicit HistoryList(HistoryKind kind);

  HistoryKind Kind() const { return kind_; }
  // Size limit (maxnumber), read by Load.
  int MaxNumber() const { return maxNumber_; }
  void SetMaxNumber(int maxNumber);
  const std::vector<std::u16string>& Items() const { return items_; }
  // The selected item, or -1 when none is selected. Typing into the box with its list closed
  // clears the selection (as a combo box does); picking an item from the list selects it.
  int Selection() const { return selection_; }
  void Select(int index);

  // Fills the list from the section: maxnumber, then PATTERN_(hisnumber-1) ... PATTERN_0 each
  // inserted at the top; the folder list then gets "My Computer" on top.
  void Load(IHistoryStore& store);
  // The list part of adding a searched text (also run by the typing timer, without a write).
  // True when the section must be rewritten (false only for a folder found at index 0).
  bool AddToList(const std::u16string& text);
  // AddToList, then the section is rewritten from the list.
  void Add(const std::u16string& text, IHistoryStore& store);
  // Rewrites the section: the old PATTERN_n keys go, hisnumber and the items are written anew.
  void Save(IHistoryStore& store) const;
  // Empties the list (the folder list keeps "My Computer") and the section.
  void Clean(IHistoryStore& store);

  // Key names of the section.
  static std::u16string ItemKey(int n);

 private:
  int Find(const std::u16string& text) const;
  void Insert(int index, const std::u16string& text);
  void Erase(int index);
  int StoredCount() const;   // items that go into the file
  int FirstStored() const { return kind_ == HistoryKind::Folder ? 1 : 0; }
  void DeleteStoredKeys(IHistoryStore& store) const;

  HistoryKind kind_;
  int maxNumber_ = 10;
  std::vector<std::u16string> items_;
  int selection_ = -1;
};

}  // namespace lvx::shell
