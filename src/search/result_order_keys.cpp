#include "search/result_order_keys.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "platform/fault.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace lvx::search {

namespace {

// The sort's large buffers; none when memory runs out, and the caller falls back to a way that
// needs less.
template <class T>
std::unique_ptr<T[]> Buffer(size_t count) {
  if (os::fault::ShouldFail(os::fault::Op::Alloc)) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

struct Slot {
  uint64_t key;
  const char16_t* text;  // the text of the slot's current text part, so that loading it is one read
  uint32_t index;        // the entry's position before the sort
  bool tied = false;     // equal on the whole chain to the slot before it
};

// The keys of a chain, in order. Text is the folder path itself, used to rank the paths.
enum class Part : uint8_t { Kind, Extension, Name, Path, Size, Date, Text };

struct Chain {
  Part parts[4];
  bool invert[4];  // the key compares the other way round
  int count;
};

Chain ChainOf(SortKey key, bool ascending) {
  const bool all = !ascending;
  switch (key) {
    case SortName: return {{Part::Name, Part::Path}, {all, all}, 2};
    case SortLocation: return {{Part::Path, Part::Name}, {all, all}, 2};
    case SortSize: return {{Part::Size, Part::Name, Part::Path}, {all, false, false}, 3};
    case SortDate: return {{Part::Date, Part::Name, Part::Path}, {all, false, false}, 3};
    default: return {{Part::Kind, Part::Extension, Part::Name, Part::Path}, {all, all, all, all}, 4};
  }
}

bool IsText(Part p) { return p == Part::Name || p == Part::Extension || p == Part::Text; }

// Four folded code units from text on, the first in the top bits, zeros after the terminator, so
// that the numbers order as the texts do.
inline uint64_t Pack4(const char16_t* text) {
  uint64_t key = 0;
  for (int k = 0; k < 4 && text[k]; ++k) key |= uint64_t(FoldAscii(text[k])) << (48 - 16 * k);
  return key;
}
// The text ended within these four units: its last unit is the terminator.
inline bool Ended(uint64_t plainKey) { return (plainKey & 0xFFFF) == 0; }

class KeySorter {
 public:
  KeySorter(const SearchResult* results, const uint32_t* pathRanks, Chain chain, Slot* scratch, Slot* base)
      : results_(results), ranks_(pathRanks), chain_(chain), scratch_(scratch), base_(base) {}

  // Sorts the slots from begin to end, which tie on every part before part (and, for a text part,
  // on its first offset units).
  void Sort(Slot* begin, Slot* end, int part, uint32_t offset);
  // Loads the keys of one part and sorts by them: the first level, which callers may share out.
  void SortLevel(Slot* begin, Slot* end, int part, uint32_t offset);
  struct Range {
    Slot *begin, *end;
    int part;
    uint32_t offset;
  };
  // The runs that a sorted level left: while one of them holds most of the slots, its next level is
  // sorted here; the rest are left in work, about even in size, for threads to share.
  void Narrow(Slot* begin, Slot* end, int part, uint32_t offset, std::vector<Range>* work);
  void Drain(std::vector<Range>* work);

 private:
  uint64_t Load(const Slot& s, Part part, uint32_t offset) const;
  // The keys of one part for a range; false when they are all the same.
  bool LoadKeys(Slot* begin, Slot* end, int part, uint32_t offset) const;
  // Points the slots at the text of a part, which they are about to be compared by.
  void Aim(Slot* begin, Slot* end, Part part) const;
  void PushRuns(Slot* begin, Slot* end, int part, uint32_t offset, std::vector<Range>* work) const;
  // Moves a range whose keys at this level are all equal on to the next level.
  void Advance(Slot* begin, Slot* end, int* part, uint32_t* offset) const;
  bool Descend(Slot* begin, Slot* end, int* part, uint32_t* offset) const;
  void SortByKey(Slot* begin, Slot* end);
  void RadixSort(Slot* begin, Slot* end);

  const SearchResult* results_;
  const uint32_t* ranks_;
  Chain chain_;
  Slot* scratch_;  // as long as the whole slot array; a range uses its own stretch of it
  Slot* base_;
};

// Slots start at their first text part; only the type order has a second (the extension, then the
// whole name).
void KeySorter::Aim(Slot* begin, Slot* end, Part part) const {
  if (part == Part::Name && chain_.parts[0] == Part::Kind)
    for (Slot* s = begin; s != end; ++s) s->text = results_[s->index].name;
}

uint64_t KeySorter::Load(const Slot& s, Part part, uint32_t offset) const {
  switch (part) {
    case Part::Text:
    case Part::Name:
    case Part::Extension: return Pack4(s.text + offset);
    case Part::Path: return ranks_[s.index];
    case Part::Size: return results_[s.index].sizeKB;
    case Part::Date: return results_[s.index].modified.Value();
    case Part::Kind: return results_[s.index].isFolder ? 0 : 1;  // folders first
  }
  return 0;
}

void KeySorter::SortByKey(Slot* begin, Slot* end) {
  size_t n = size_t(end - begin);
  if (n >= 1024) return RadixSort(begin, end);
  if (n <= 16) {
    for (Slot* i = begin + 1; i < end; ++i) {
      Slot v = *i;
      Slot* j = i;
      for (; j > begin && (j - 1)->key > v.key; --j) *j = *(j - 1);
      *j = v;
    }
    return;
  }
  std::sort(begin, end, [](const Slot& a, const Slot& b) { return a.key < b.key; });
}

// Least significant byte first; a byte that all keys share costs no pass (text keys of plain
// ASCII names have four such bytes).
void KeySorter::RadixSort(Slot* begin, Slot* end) {
  const size_t n = size_t(end - begin);
  uint32_t counts[8][256] = {};
  for (Slot* s = begin; s != end; ++s)
    for (int d = 0; d < 8; ++d) ++counts[d][(s->key >> (8 * d)) & 0xFF];
  Slot* from = begin;
  Slot* to = scratch_ + (begin - base_);
  for (int d = 0; d < 8; ++d) {
    uint32_t* c = counts[d];
    if (c[(begin->key >> (8 * d)) & 0xFF] == n) continue;
    for (uint32_t v = 0, sum = 0; v < 256; ++v) {
      uint32_t k = c[v];
      c[v] = sum;
      sum += k;
    }
    for (Slot* s = from; s != from + n; ++s) to[c[(s->key >> (8 * d)) & 0xFF]++] = *s;
    std::swap(from, to);
  }
  if (from != begin) std::memcpy(static_cast<void*>(begin), from, n * sizeof(Slot));
}

// The texts lie all over the pool: each is asked for a few slots ahead, so that the reads overlap.
bool KeySorter::LoadKeys(Slot* begin, Slot* end, int part, uint32_t offset) const {
  const Part p = chain_.parts[part];
  const uint64_t flip = chain_.invert[part] ? ~uint64_t(0) : 0;
  const bool text = IsText(p);
  constexpr ptrdiff_t kAhead = 8;
  bool differ = false;
  for (Slot* s = begin; s != end; ++s) {
    if (text && end - s > kAhead) __builtin_prefetch(s[kAhead].text + offset);
    s->key = Load(*s, p, offset) ^ flip;
    differ |= s->key != begin->key;
  }
  return differ;
}

void KeySorter::SortLevel(Slot* begin, Slot* end, int part, uint32_t offset) {
  LoadKeys(begin, end, part, offset);
  SortByKey(begin, end);
}

void KeySorter::Narrow(Slot* begin, Slot* end, int part, uint32_t offset, std::vector<Range>* work) {
  for (;;) {
    const size_t before = work->size();
    PushRuns(begin, end, part, offset, work);
    auto size = [](const Range& r) { return r.end - r.begin; };
    auto big = std::max_element(work->begin() + ptrdiff_t(before), work->end(),
                                [&](const Range& a, const Range& b) { return size(a) < size(b); });
    if (big == work->end() || size(*big) * 4 < (end - begin) * 3) return;
    Range r = *big;
    work->erase(big);
    begin = r.begin, end = r.end, part = r.part, offset = r.offset;
    if (!Descend(begin, end, &part, &offset)) return work->push_back({begin, end, part, offset});
    SortByKey(begin, end);
  }
}

void KeySorter::Advance(Slot* begin, Slot* end, int* part, uint32_t* offset) const {
  const uint64_t flip = chain_.invert[*part] ? ~uint64_t(0) : 0;
  if (IsText(chain_.parts[*part]) && !Ended(begin->key ^ flip)) {
    *offset += 4;
  } else {
    if (++*part < chain_.count) Aim(begin, end, chain_.parts[*part]);
    *offset = 0;
  }
}

// Loads the keys of the first level from part on where they differ; false when the range is equal
// on the whole chain. A single run (a shared prefix, or a folder's many entries) goes on at once.
bool KeySorter::Descend(Slot* begin, Slot* end, int* part, uint32_t* offset) const {
  for (; *part < chain_.count; Advance(begin, end, part, offset))
    if (LoadKeys(begin, end, *part, *offset)) return true;
  return false;
}

void KeySorter::Sort(Slot* begin, Slot* end, int part, uint32_t offset) {
  std::vector<Range> work{{begin, end, part, offset}};
  Drain(&work);
}

// Each run of equal keys goes on with the next four units of a text, or the next part.
void KeySorter::PushRuns(Slot* begin, Slot* end, int part, uint32_t offset, std::vector<Range>* work) const {
  if (end - begin < 2) return;
  Slot* run = begin;
  for (Slot* s = begin + 1; s <= end; ++s) {
    if (s != end && s->key == run->key) continue;
    if (s - run > 1) {
      int next = part;
      uint32_t at = offset;
      Advance(run, s, &next, &at);
      work->push_back({run, s, next, at});
    }
    run = s;
  }
}

// The ranges are apart, so their order does not matter; a list rather than recursion keeps the
// stack small whatever the texts share.
void KeySorter::Drain(std::vector<Range>* work) {
  while (!work->empty()) {
    auto [begin, end, part, offset] = work->back();
    work->pop_back();
    if (end - begin < 2) continue;
    if (Descend(begin, end, &part, &offset)) {  // the keys differ: sort, then each run
      SortByKey(begin, end);
      PushRuns(begin, end, part, offset, work);
    } else {  // equal on the whole chain: the order they came in
      std::sort(begin, end, [](const Slot& a, const Slot& b) { return a.index < b.index; });
      for (Slot* s = begin + 1; s != end; ++s) s->tied = true;
    }
  }
}

// Folder paths as ranks: equal ranks for paths equal without regard to case, ranks in path order.
// Results of one folder share their path text, so the texts are told apart by their addresses.
bool RankPaths(const SearchResult* results, uint32_t count, uint32_t* ranks) {
  std::vector<const char16_t*> texts;
  std::vector<std::pair<const char16_t*, uint32_t>> table(4096, {nullptr, 0});
  size_t mask = table.size() - 1;
  auto insert = [&](const char16_t* text, uint32_t id) {
    size_t h = (reinterpret_cast<uintptr_t>(text) >> 1) * 0x9E3779B97F4A7C15ull >> 20;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      if (table[i].first == text) return table[i].second;
      if (!table[i].first) return table[i] = {text, id}, id;
    }
  };
  for (uint32_t i = 0; i < count; ++i) {
    const char16_t* text = results[i].path;
    if (i > 0 && text == results[i - 1].path) {
      ranks[i] = ranks[i - 1];
      continue;
    }
    ranks[i] = insert(text, uint32_t(texts.size()));
    if (ranks[i] != texts.size()) continue;
    texts.push_back(text);
    if (texts.size() * 2 > table.size()) {  // keep the table at most half full
      std::vector<std::pair<const char16_t*, uint32_t>> old(table.size() * 2, {nullptr, 0});
      old.swap(table);
      mask = table.size() - 1;
      for (const auto& e : old)
        if (e.first) insert(e.first, e.second);
    }
  }
  const uint32_t distinct = uint32_t(texts.size());
  std::unique_ptr<Slot[]> slots = Buffer<Slot>(distinct);
  std::unique_ptr<Slot[]> scratch = Buffer<Slot>(distinct);
  if (!slots || !scratch) return false;
  for (uint32_t d = 0; d < distinct; ++d) slots[d] = Slot{0, texts[d], d};
  KeySorter sorter(nullptr, nullptr, Chain{{Part::Text}, {false}, 1}, scratch.get(), slots.get());
  sorter.Sort(slots.get(), slots.get() + distinct, 0, 0);
  std::vector<uint32_t> rankOf(distinct);
  uint32_t rank = 0;
  for (uint32_t d = 0; d < distinct; ++d) {
    if (d > 0 && !slots[d].tied) ++rank;
    rankOf[slots[d].index] = rank;
  }
  for (uint32_t i = 0; i < count; ++i) ranks[i] = rankOf[ranks[i]];
  return true;
}

// Below this many entries a second thread costs more than it saves.
constexpr uint32_t kParallelFrom = 65536;

// Runs work on a helper thread, or on the calling thread when none can be had; the destructor waits
// for it.
class Helper {
 public:
  explicit Helper(std::function<void()> work) : work_(std::move(work)), thread_([this] {
    work_();
    return 0u;
  }) {
    if (!thread_.Start()) work_();
  }
  ~Helper() { thread_.Join(os::kInfinite); }

 private:
  std::function<void()> work_;
  os::Thread thread_;
};

// Puts entry slots[i].index at position i: gathered into a copy where memory allows (the reads
// are independent, so they overlap), else by following each cycle of the permutation once.
void Permute(SearchResult* results, Slot* slots, uint32_t count) {
  std::unique_ptr<SearchResult[]> copy = Buffer<SearchResult>(count);
  if (copy) {
    auto gather = [&](uint32_t from, uint32_t to) {
      for (uint32_t i = from; i < to; ++i) {
        if (to - i > 8) __builtin_prefetch(&results[slots[i + 8].index]);
        copy[i] = results[slots[i].index];
      }
    };
    if (count < kParallelFrom) {
      gather(0, count);
    } else {
      Helper second([&] { gather(count / 2, count); });
      gather(0, count / 2);
    }
    std::memcpy(static_cast<void*>(results), copy.get(), size_t(count) * sizeof(SearchResult));
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (slots[i].index == i) continue;
    SearchResult held = results[i];
    for (uint32_t j = i;;) {
      uint32_t k = slots[j].index;
      slots[j].index = j;
      if (k == i) {
        results[j] = held;
        break;
      }
      results[j] = results[k];
      j = k;
    }
  }
}

}  // namespace

bool SortByExtractedKeys(SearchResult* results, uint32_t count, SortKey key, bool sortAscending) {
  const Chain chain = ChainOf(key, sortAscending);
  std::unique_ptr<Slot[]> slots = Buffer<Slot>(count);
  std::unique_ptr<Slot[]> scratch = Buffer<Slot>(count);
  std::unique_ptr<uint32_t[]> ranks = Buffer<uint32_t>(count);
  if (!slots || !scratch || !ranks) return false;
  Slot* begin = slots.get();
  Slot* end = begin + count;
  KeySorter sorter(results, ranks.get(), chain, scratch.get(), begin);
  const bool type = key == SortType;
  auto extract = [&] {
    for (uint32_t i = 0; i < count; ++i)
      slots[i] = Slot{0, type ? Extension(results[i].name) : results[i].name, i};
  };
  if (count < kParallelFrom) {
    extract();
    if (!RankPaths(results, count, ranks.get())) return false;
    sorter.Sort(begin, end, 0, 0);
  } else {
    // The path ranks are made beside the first level unless the paths are that level.
    bool ranked = true;
    if (chain.parts[0] == Part::Path) {
      ranked = RankPaths(results, count, ranks.get());
      if (ranked) extract(), sorter.SortLevel(begin, end, 0, 0);
    } else {
      Helper ranker([&] { ranked = RankPaths(results, count, ranks.get()); });
      extract();
      sorter.SortLevel(begin, end, 0, 0);
    }
    if (!ranked) return false;
    // The runs left are apart from each other: about half of their slots go to a helper thread.
    std::vector<KeySorter::Range> mine, other;
    sorter.Narrow(begin, end, 0, 0, &mine);
    ptrdiff_t share = 0;
    while (!mine.empty() && share < ptrdiff_t(count / 2)) {
      share += mine.back().end - mine.back().begin;
      other.push_back(mine.back());
      mine.pop_back();
    }
    Helper second([&] { sorter.Drain(&other); });
    sorter.Drain(&mine);
  }
  Permute(results, begin, count);
  return true;
}

}  // namespace lvx::search
