// The search run: the request's working copy and filter chain, the three walks over the cache
// tree, the refine, and the result buffers.
//
// The walk keeps its own stack of open blocks instead of recursing, so a deep tree cannot exhaust the
// thread's stack. Every record goes through the file's validating ReadRecord. A folder that links
// to a block already open on the stack (an ancestor) ends the search as damaged; and the walk may
// read at most as many records as the file could hold (a record takes 16 bytes and a block at least
// 6), so records that share blocks cannot make it walk for ever either.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/message.h"
#include "platform/text.h"
#include "search/block_reader.h"
#include "search/search_engine.h"

namespace lvx::search {

namespace {

const char16_t kMyComputer[] = u"My Computer";
const char16_t kDamagedText[] = u"The cache file is damaged. Please rebuild the cache.";

inline uint32_t DriveBit(char16_t letter) { return 1u << ((uint32_t(letter) - u'A') & 31u); }

inline uint64_t Time(uint32_t low, uint32_t high) { return (uint64_t(high) << 32) | low; }

// A buffer of allocated + 1 elements cut to used + 1. One with much slack moves to a block of its
// own: a heap that shrinks a large block in place may keep all of its pages committed. The buffer
// stays as it is when no memory can be had.
template <typename T>
T* FitBuffer(T* buffer, size_t used, size_t allocated) {
  const size_t bytes = (used + 1) * sizeof(T);
  if (allocated - used > allocated / 4) {
    if (void* fresh = std::malloc(bytes)) {
      std::memcpy(fresh, buffer, used * sizeof(T));
      std::free(buffer);
      return static_cast<T*>(fresh);
    }
  }
  void* moved = std::realloc(buffer, bytes);
  return moved ? static_cast<T*>(moved) : buffer;
}

}  // namespace

SearchEngine::SearchEngine(cache::CacheContext& context, cache::INotifySink* sink)
    : context_(context), sink_(sink) {
  collectWalk_ = &SearchEngine::WalkTree<WalkMode::Collect>;
  countWalk_ = &SearchEngine::WalkTree<WalkMode::Count>;
  exactWalk_ = &SearchEngine::WalkTree<WalkMode::Exact>;
  cache::CacheContext::AddKeptReader(this);
}

SearchEngine::~SearchEngine() {
  cache::CacheContext::RemoveKeptReader(this);
  StopSearchThread();
  // A thread that outlived the stop wait (blocked on the cache lock behind a writer, say) still
  // uses this engine: wait for it, since everything it touches is freed below.
  if (thread_) thread_->JoinDispatching(os::kInfinite);
  holdReleases_ = false;  // the main window is gone: nothing can still hold an array
  FreeResults();
  ReleaseParked();
}

// --- request and filters ---

void SearchEngine::ApplyRequest() {
  SearchRequest request;
  {
    os::LockGuard hold(requestLock_);
    request = submitted_;
  }
  BuildFilterChain(request);
  minSizeKB_ = request.minSizeKB;
  maxSizeKB_ = request.maxSizeKB;
  modifiedFrom_ = request.modifiedFrom.Value();
  modifiedTo_ = request.modifiedTo.Value();
  driveMask_ = request.driveMask;
  location_ = request.location;
  pattern_ = FoldQuery(request.pattern);
  refine_ = request.refine != 0;
}

void SearchEngine::BuildFilterChain(const SearchRequest& request) {
  static const Filter kFilters[kFilterCodeCount] = {FilterName,    FilterTopLevel, FilterMinSize,
                                                    FilterMaxSize, FilterFrom,     FilterTo,
                                                    FilterFiles,   FilterFolders};
  filterCount_ = 0;
  int count = request.filterCount < 0 ? 0 : (request.filterCount > kMaxFilters ? kMaxFilters : request.filterCount);
  for (int i = 0; i < count; ++i) {
    uint32_t code = request.filterCodes[i];
    if (code < kFilterCodeCount) filters_[filterCount_++] = kFilters[code];  // unknown codes pass
  }
  nameFirst_ = filterCount_ > 0 && filters_[0] == FilterName;
}

bool SearchEngine::PassesFilters() const { return PassesFiltersFrom(0); }

bool SearchEngine::PassesFiltersFrom(int first) const {
  for (int i = first; i < filterCount_; ++i)
    if (!filters_[i](*this)) return false;
  return true;
}

bool SearchEngine::FilterName(const SearchEngine& e) {
  return e.current_.holdsRequired && e.query_.Matches(e.current_.name, e.current_.nameLength);
}
// In the walk: directly in the location folder. In a refine, which has no depth: the entry's folder
// is the location folder of the full search.
bool SearchEngine::FilterTopLevel(const SearchEngine& e) {
  if (!e.refining_) return e.current_.depth == 1;
  return e.current_.path != nullptr && e.basePath_.compare(e.current_.path) == 0;
}
bool SearchEngine::FilterMinSize(const SearchEngine& e) { return e.current_.sizeKB >= e.minSizeKB_; }
bool SearchEngine::FilterMaxSize(const SearchEngine& e) { return e.current_.sizeKB <= e.maxSizeKB_; }
bool SearchEngine::FilterFrom(const SearchEngine& e) { return e.current_.time >= e.modifiedFrom_; }
bool SearchEngine::FilterTo(const SearchEngine& e) { return e.current_.time <= e.modifiedTo_; }
bool SearchEngine::FilterFiles(const SearchEngine& e) { return !e.current_.isFolder; }
bool SearchEngine::FilterFolders(const SearchEngine& e) { return e.current_.isFolder; }

// --- buffers ---

void SearchEngine::SetCapacities(uint32_t arrayCapacity, uint32_t headroom, size_t poolCapacity) {
  initialArrayCapacity_ = arrayCapacity;
  headroom_ = headroom;
  initialPoolCapacity_ = poolCapacity;
}

bool SearchEngine::AllocateBuffers(uint32_t entries, size_t characters) {
  if (characters > SIZE_MAX / sizeof(char16_t) - 1 || entries > SIZE_MAX / sizeof(SearchResult) - 1)
    return false;
  results_ = static_cast<SearchResult*>(std::malloc((size_t(entries) + 1) * sizeof(SearchResult)));
  pool_ = static_cast<char16_t*>(std::malloc((characters + 1) * sizeof(char16_t)));
  if (results_ && pool_) {
    arrayAllocated_ = entries;
    poolAllocated_ = characters;
    return true;
  }
  DropBuffers();
  return false;
}

// Doubles the array, up to the capacity in effect; false at the capacity or with no memory. The
// array is the run's own until it is handed over, so it may move.
bool SearchEngine::GrowArray() {
  if (arrayAllocated_ >= arrayCapacity_) return false;
  const uint32_t entries = arrayAllocated_ >= arrayCapacity_ / 2 ? arrayCapacity_ : arrayAllocated_ * 2 + 1;
  auto* moved = static_cast<SearchResult*>(std::realloc(results_, (size_t(entries) + 1) * sizeof(SearchResult)));
  if (moved == nullptr) return false;
  results_ = moved;
  arrayAllocated_ = entries;
  return true;
}

// Doubles the pool until need more characters fit, up to the capacity in effect; the entries follow
// a pool that moved.
bool SearchEngine::GrowPool(size_t need) {
  if (poolUsed_ + need > poolCapacity_) return false;
  size_t characters = poolAllocated_;
  while (poolUsed_ + need > characters)
    characters = characters >= poolCapacity_ / 2 ? poolCapacity_ : characters * 2 + 1;
  const uintptr_t old = reinterpret_cast<uintptr_t>(pool_);
  auto* moved = static_cast<char16_t*>(std::realloc(pool_, (characters + 1) * sizeof(char16_t)));
  if (moved == nullptr) return false;
  pool_ = moved;
  poolAllocated_ = characters;
  RebaseEntries(old);
  return true;
}

// Points the entries into the pool again after it moved from old.
void SearchEngine::RebaseEntries(uintptr_t old) {
  if (reinterpret_cast<uintptr_t>(pool_) == old) return;
  auto rebase = [&](const char16_t* p) {
    return pool_ + (reinterpret_cast<uintptr_t>(p) - old) / sizeof(char16_t);
  };
  for (uint32_t i = 0; i < resultCount_; ++i) {
    results_[i].path = rebase(results_[i].path);
    results_[i].name = rebase(results_[i].name);
  }
}

// Gives back what the run did not use. The pool may move; the entries then follow it.
void SearchEngine::ShrinkBuffers() {
  if (pool_) {
    const uintptr_t old = reinterpret_cast<uintptr_t>(pool_);
    pool_ = FitBuffer(pool_, poolUsed_, poolAllocated_);
    poolAllocated_ = poolUsed_;
    RebaseEntries(old);
  }
  if (results_) {
    results_ = FitBuffer(results_, resultCount_, arrayAllocated_);
    arrayAllocated_ = resultCount_;
  }
}

void SearchEngine::ReleaseBuffer(void* buffer) {
  if (buffer == nullptr) return;
  if (holdReleases_)
    parked_.push_back(buffer);
  else
    std::free(buffer);
}

void SearchEngine::ReleaseParked() {
  for (void* buffer : parked_) std::free(buffer);
  parked_.clear();
}

void SearchEngine::FreeResults() {
  ReleaseBuffer(pool_);
  ReleaseBuffer(results_);
  ReleaseBuffer(refined_);
  pool_ = nullptr;
  results_ = nullptr;
  refined_ = nullptr;
  arrayAllocated_ = 0;
  poolAllocated_ = 0;
  resultCount_ = 0;
  poolUsed_ = 0;
  refinedCount_ = 0;
  refinedTotal_ = 0;
}

// Frees this run's own buffers, which nothing outside the engine has seen yet.
void SearchEngine::DropBuffers() {
  std::free(results_);
  std::free(pool_);
  results_ = nullptr;
  pool_ = nullptr;
  arrayAllocated_ = 0;
  poolAllocated_ = 0;
  resultCount_ = 0;
  totalSize_ = 0;
  poolUsed_ = 0;
}

// --- the walk ---

template <SearchEngine::WalkMode kMode>
bool SearchEngine::OnHit() {
  const bool newPath = sharedPath_ == kNoPath;
  const size_t need = (newPath ? size_t(pathLength_) + 1 : 0) + current_.nameLength + 1;
  if constexpr (kMode == WalkMode::Count) {
    ++countedHits_;
    countedChars_ += need;
    if (newPath) sharedPath_ = 0;
    return true;
  } else {
    if constexpr (kMode == WalkMode::Collect) {
      // Files give up at the limit, folders only past it; the array is never overrun either way.
      const int64_t limit = int64_t(arrayCapacity_) - headroom_;
      if (current_.isFolder ? int64_t(resultCount_) > limit : int64_t(resultCount_) >= limit)
        return false;
    }
    // The exact walk's buffers were sized by the count: it never grows them.
    if (resultCount_ >= arrayAllocated_ && (kMode == WalkMode::Exact || !GrowArray())) return false;
    if (poolUsed_ + need > poolAllocated_ && (kMode == WalkMode::Exact || !GrowPool(need))) return false;
    if (newPath) {
      sharedPath_ = poolUsed_;
      std::memcpy(pool_ + poolUsed_, pathBuffer_, pathLength_ * sizeof(char16_t));
      pool_[poolUsed_ + pathLength_] = 0;
      poolUsed_ += pathLength_ + 1;
    }
    const char16_t* path = pool_ + sharedPath_;
    char16_t* name = pool_ + poolUsed_;
    std::memcpy(name, current_.name, current_.nameLength * sizeof(char16_t));
    name[current_.nameLength] = 0;
    poolUsed_ += current_.nameLength + 1;
    results_[resultCount_++] = SearchResult{path, ICON_UNRESOLVED, name, current_.sizeKB,
                                            uint8_t(current_.isFolder), os::FileTime::From(current_.time)};
    totalSize_ += current_.sizeKB;
    return true;
  }
}

// One open block: where its next record is, where the block ends (0: the mapping's end, for a root
// block still being built), the path length of its entries, the file total so far, and the folder
// record that led to it, tested once the block is done. A block that lies whole in one view is read
// from its bytes (base), any other through the file.
struct SearchEngine::WalkFrame {
  uint32_t block, position, limit, pathLength;
  size_t pathText;  // the frame's path text in the pool, kept while a child frame is open
  uint64_t subtotal;
  const uint8_t* base;
  cache::Record folder;
  bool holds;
};

bool SearchEngine::OpenFrame(uint32_t block, uint32_t pathLength, WalkFrame* frame) {
  uint32_t capacity = 0;
  if (!map_->ReadBlockCapacity(block, &capacity)) return false;
  frame->block = block;
  frame->position = block + 4;
  frame->limit = capacity == 0 ? 0 : block + capacity;
  frame->pathLength = pathLength;
  frame->pathText = kNoPath;
  frame->subtotal = 0;
  frame->base = (fastRecords_ && capacity != 0) ? BlockBytes(block, capacity) : nullptr;
  return true;
}

// Makes the record the entry under test and keeps it when the filters pass it; false on overflow.
template <SearchEngine::WalkMode kMode>
inline bool SearchEngine::TestEntry(const cache::Record& r, bool holds, uint32_t sizeKB,
                                    bool isFolder, uint32_t depth) {
  // The name test first, as the chain would make it, before the entry is made current: most names
  // fail it, and most of those at the scan for the characters a match needs.
  int first = 0;
  if (nameFirst_) {
    if (!holds || !query_.Matches(r.name, r.nameLength)) return true;
    first = 1;
  }
  current_.name = r.name;
  current_.nameLength = r.nameLength;
  current_.holdsRequired = holds;
  current_.sizeKB = sizeKB;
  current_.isFolder = isFolder;
  current_.time = Time(r.timeLow, r.timeHigh);
  current_.depth = depth;
  return !PassesFiltersFrom(first) || OnHit<kMode>();
}

// A folder record met in the walk: skipped when it is a drive outside the mask, entered when it has
// a block (its own test waits until the block is done), else tested at once with size 0.
template <SearchEngine::WalkMode kMode>
SearchEngine::WalkEnd SearchEngine::VisitFolder(const cache::Record& r, bool holds,
                                                std::vector<WalkFrame>& stack) {
  const uint32_t depth = depthBase_ + uint32_t(stack.size());
  if (depth == 1) {
    // A top-level entry of a drive outside the mask is skipped with its whole subtree.
    char16_t letter = pathLength_ > 0 ? pathBuffer_[0] : (r.nameLength > 0 ? r.name[0] : u'\\');
    if ((driveMask_ & DriveBit(letter)) == 0) return WalkEnd::Done;
  }
  // A folder whose path would not fit a Win32 path is tested, but not entered.
  const bool fits = uint64_t(pathLength_) + r.nameLength + 1 < kPathBufferChars;
  if (!fits || r.sizeOrLink == cache::NO_BLOCK)
    return TestEntry<kMode>(r, holds, 0, true, depth) ? WalkEnd::Done : WalkEnd::Overflow;
  for (const WalkFrame& ancestor : stack)
    if (ancestor.block == r.sizeOrLink) return WalkEnd::Damaged;
  if (splicing_ && depth == unitDepth_) {
    // A subtree that the walkers have walked: its hits, then the folder with the subtree's total.
    if (kMode == WalkMode::Collect && int64_t(resultCount_) > int64_t(arrayCapacity_) - headroom_)
      return WalkEnd::Overflow;
    if (nextUnit_ >= units_.size() || units_[nextUnit_].block != r.sizeOrLink) return WalkEnd::Damaged;
    Unit& unit = units_[nextUnit_++];
    if constexpr (kMode == WalkMode::Collect) {
      if (!SpliceUnit(unit)) return WalkEnd::Overflow;
    } else if constexpr (kMode == WalkMode::Count) {
      // The unit's place in the exact buffers.
      unit.first = uint32_t(countedHits_);
      unit.poolFirst = size_t(countedChars_);
      unit.poolEnd = size_t(countedChars_ + unit.chars);
      countedHits_ += unit.count;
      countedChars_ += unit.chars;
    } else {
      resultCount_ += unit.count;
      poolUsed_ = unit.poolEnd;
      totalSize_ += unit.total;
    }
    stack.back().subtotal += unit.subtotal;
    return TestEntry<kMode>(r, holds, cache::SaturateKB(unit.subtotal), true, depth) ? WalkEnd::Done
                                                                                     : WalkEnd::Overflow;
  }
  WalkFrame child{};
  if (!OpenFrame(r.sizeOrLink, uint32_t(pathLength_ + r.nameLength + 1), &child))
    return WalkEnd::Damaged;
  std::memcpy(pathBuffer_ + pathLength_, r.name, r.nameLength * sizeof(char16_t));
  pathLength_ = child.pathLength;
  pathBuffer_[pathLength_ - 1] = u'\\';
  child.folder = r;
  child.holds = holds;
  if (kMode == WalkMode::Collect && int64_t(resultCount_) > int64_t(arrayCapacity_) - headroom_)
    return WalkEnd::Overflow;
  stack.back().pathText = sharedPath_;
  sharedPath_ = kNoPath;
  stack.push_back(child);
  return WalkEnd::Done;
}

// The end of a block: the folder that led to it gets the block's total as its size and is tested.
// The total is summed in 64 bits and a folder of 4 TB or more is listed (and filtered) at the largest
// 32-bit size. Folder sizes are not stored in the cache: each search sums them afresh, so a folder
// stays saturated exactly while its subtree holds that much, whatever refreshes did in between.
template <SearchEngine::WalkMode kMode>
bool SearchEngine::CloseFolder(std::vector<WalkFrame>& stack) {
  const WalkFrame done = stack.back();
  stack.pop_back();
  WalkFrame& parent = stack.back();
  pathLength_ = parent.pathLength;
  sharedPath_ = parent.pathText;
  parent.subtotal += done.subtotal;
  return TestEntry<kMode>(done.folder, done.holds, cache::SaturateKB(done.subtotal), true,
                          depthBase_ + uint32_t(stack.size()));
}

template <SearchEngine::WalkMode kMode>
SearchEngine::WalkEnd SearchEngine::WalkTree(uint32_t startBlock) {
  const NameScanner scanner(query_.Required());
  const uint32_t startPath = pathLength_;
  std::vector<WalkFrame> stack;
  stack.reserve(64);
  WalkFrame first{};
  if (!OpenFrame(startBlock, startPath, &first)) return WalkEnd::Damaged;
  sharedPath_ = kNoPath;
  if (kMode == WalkMode::Collect && int64_t(resultCount_) > int64_t(arrayCapacity_) - headroom_)
    return WalkEnd::Overflow;
  stack.push_back(first);

  uint64_t budget = uint64_t(map_->GetMapSize()) / 6 + 16;
  uint32_t poll = stopPoll_;
  cache::Record r;
  bool holds = true;  // the current record's name holds a required character
  for (;;) {
    WalkFrame& f = stack.back();
    bool valid;
    if (f.base) {
      valid = ParseRecord(f.base + (f.position - f.block), f.position, f.limit - f.position, scanner, &r, &holds);
    } else {
      holds = true;
      valid = map_->ReadRecord(f.position, f.limit, &r);
    }
    if (!valid || --budget == 0) return WalkEnd::Damaged;
    if (--poll == 0) {
      poll = stopPoll_;
      if (StopRequested()) return WalkEnd::Stopped;
      if (kMode == WalkMode::Collect && parent_ && OverLimits()) return WalkEnd::Overflow;
    }
    if (r.type == cache::RECORD_END) {
      if (stack.size() == 1) break;
      if (!CloseFolder<kMode>(stack)) return WalkEnd::Overflow;
      continue;
    }
    f.position += r.length;
    if (r.type == cache::RECORD_FILE) {
      f.subtotal += r.sizeOrLink;
      if (!TestEntry<kMode>(r, holds, r.sizeOrLink, false, depthBase_ + uint32_t(stack.size())))
        return WalkEnd::Overflow;
    } else if (r.type == cache::RECORD_FOLDER) {
      // f is not used after this: the folder may push a frame.
      WalkEnd step = VisitFolder<kMode>(r, holds, stack);
      if (step != WalkEnd::Done) return step;
    }
    // Any other type (a folder taken over by a replacement block) is passed over.
  }
  lastSubtotal_ = stack.back().subtotal;
  pathLength_ = startPath;
  return WalkEnd::Done;
}

// The parallel walk's walkers and splicing run the collecting walk from search_parallel.cpp.
template SearchEngine::WalkEnd SearchEngine::WalkTree<SearchEngine::WalkMode::Collect>(uint32_t);
template SearchEngine::WalkEnd SearchEngine::WalkTree<SearchEngine::WalkMode::Count>(uint32_t);
template SearchEngine::WalkEnd SearchEngine::WalkTree<SearchEngine::WalkMode::Exact>(uint32_t);

// The bytes of a block that lies whole in one view of the mapping, or null.
const uint8_t* SearchEngine::BlockBytes(uint32_t block, uint32_t capacity) {
  if (const uint8_t* span = map_->GetSpan(block, capacity)) return span;
  // A longer block is read from its bytes too when its window's view holds it whole.
  const uint64_t windowStart = uint64_t(block / cache::CDBMapFile::kWindowSize) * cache::CDBMapFile::kWindowSize;
  const uint64_t viewEnd = std::min<uint64_t>(windowStart + cache::CDBMapFile::kWindowSize + cache::CDBMapFile::kOverlap,
                                              map_->GetMapSize());
  if (uint64_t(block) + capacity > viewEnd) return nullptr;
  return map_->GetPointer(block);
}

bool SearchEngine::StopRequested() const {
  if (stop_.load(std::memory_order_relaxed)) return true;
  return parent_ && (parent_->stop_.load(std::memory_order_relaxed) || parent_->abort_.load(std::memory_order_relaxed));
}

// --- the runs ---

int SearchEngine::RunSearch(const std::u16string& pattern, const std::u16string& location) {
  os::LockGuard kept(keptLock_);
  bool fresh = false;
  if (!BeginRun(pattern, &fresh)) return -1;
  int result = 0;
  WalkEnd end = WalkEnd::Done;
  for (;;) {
    uint32_t start = cache::kRootBlockOffset;
    bool walk = true;
    result = ChooseStart(location, &start, &walk);
    end = WalkEnd::Done;
    arrayCapacity_ = initialArrayCapacity_;
    poolCapacity_ = initialPoolCapacity_;
    if (!AllocateBuffers(std::min(arrayCapacity_, kFirstArrayChunk), std::min(poolCapacity_, kFirstPoolChunk)))
      end = WalkEnd::Overflow;  // as after a failed exact allocation: no memory
    else if (walk)
      end = CollectHits(start);
    // A kept mapping that reads as damaged is made afresh once: the file may have changed in a way
    // that neither its generation nor its size told.
    if (end != WalkEnd::Damaged || fresh) break;
    DropBuffers();
    file_.CloseMapFile(false);
    if (!MapCacheFile(keptPath_, &fresh)) {
      end = WalkEnd::Stopped;  // the file has shown its message
      break;
    }
  }
  query_ = CompiledQuery();
  if (end != WalkEnd::Done) {
    // Overflow here means that the exact-size buffers could not be had.
    if (end == WalkEnd::Damaged) failure_ = Failure::Damaged;
    DropBuffers();
    endTick_ = os::TickCount();
    return -1;
  }
  ShrinkBuffers();
  endTick_ = os::TickCount();
  return result;
}

// Uses the kept mapping when it was made for this path and file generation and the file still has
// its size; else maps the file afresh (*fresh). False when the file cannot be opened (it has shown
// its own message).
bool SearchEngine::MapCacheFile(const std::u16string& path, bool* fresh) {
  const uint32_t generation = cache::CacheContext::FileGeneration();
  if (file_.IsOpen() && keptPath_ == path && keptGeneration_ == generation) {
    os::File probe = os::OpenToRead(path);
    uint64_t size = 0;
    const bool same = probe.IsOpen() && os::SizeOf(probe, &size) && size == file_.GetMapSize();
    os::Close(probe);
    if (same) {
      *fresh = false;
      return true;
    }
  }
  file_.CloseMapFile(false);
  *fresh = true;
  keptPath_ = path;
  keptGeneration_ = generation;
  return file_.OpenForReading(path);
}

void SearchEngine::LetGo() {
  os::LockGuard kept(keptLock_);
  file_.CloseMapFile(false);
}

// Clears the last result set, maps the cache file and compiles the query; false (-1 for the run)
// when the file cannot be opened or there is no memory for the pattern list.
bool SearchEngine::BeginRun(const std::u16string& pattern, bool* fresh) {
  const std::u16string cachePath = context_.Path();
  startTick_ = os::TickCount();
  resultCount_ = 0;
  totalSize_ = 0;
  walkCount_ = 0;
  refining_ = false;
  failure_ = Failure::None;
  FreeResults();
  if (!MapCacheFile(cachePath, fresh)) {
    endTick_ = os::TickCount();
    return false;  // the file has shown its own message
  }
  runPattern_ = pattern;
  query_ = CompileQuery(pattern);
  if (query_.Valid()) return true;
  failure_ = Failure::NoMemory;
  endTick_ = os::TickCount();
  return false;
}

// Where the walk starts: the root block for "My Computer" or no location, the location's block
// (the path buffer then holds the location and a backslash), nowhere for a location on a drive
// outside the mask. -2 when the location is not a cached folder: the walk covers every drive.
int SearchEngine::ChooseStart(const std::u16string& location, uint32_t* start, bool* walk) {
  pathLength_ = 0;
  int result = 0;
  const std::u16string place = Trim(location);
  if (!place.empty() && place != kMyComputer) {
    if ((driveMask_ & DriveBit(place[0])) == 0) {
      *walk = false;
    } else {
      uint32_t child = cache::NO_BLOCK;
      uint32_t found = place.size() + 1 < kPathBufferChars
                           ? file_.FindPath(cache::kRootBlockOffset, place.c_str(), &child, nullptr)
                           : cache::NO_BLOCK;
      if (found != cache::NO_BLOCK && child != cache::NO_BLOCK) {
        *start = child;
        std::memcpy(pathBuffer_, place.data(), place.size() * sizeof(char16_t));
        pathLength_ = uint32_t(place.size());
        if (place.back() != u'\\') pathBuffer_[pathLength_++] = u'\\';
      } else {
        result = -2;
      }
    }
  }
  basePath_.assign(pathBuffer_, pathLength_);
  return result;
}

// The collecting walk; when it overflows, a counting walk and an exact collecting walk into
// buffers of the counted size.
SearchEngine::WalkEnd SearchEngine::CollectHits(uint32_t start) {
  walkCount_ = 1;
  WalkEnd end = WalkEnd::Done;
  if (!ParallelCollect(start, &end)) end = (this->*collectWalk_)(start);
  if (end != WalkEnd::Overflow) return end;
  DropBuffers();
  arrayCapacity_ = 0;
  poolCapacity_ = 0;
  countedHits_ = 0;
  countedChars_ = 0;
  pathLength_ = uint32_t(basePath_.size());
  walkCount_ = 2;
  end = (this->*countWalk_)(start);
  if (end != WalkEnd::Done) return end;
  if (countedHits_ > 0xFFFFFFFEu || countedChars_ != uint64_t(size_t(countedChars_))) return WalkEnd::Overflow;
  arrayCapacity_ = uint32_t(countedHits_);
  poolCapacity_ = size_t(countedChars_);
  if (!AllocateBuffers(arrayCapacity_, poolCapacity_)) return WalkEnd::Overflow;
  walkCount_ = 3;
  pathLength_ = uint32_t(basePath_.size());
  return (this->*exactWalk_)(start);
}

void SearchEngine::ShowFailure() {
  if (failure_ == Failure::NoMemory) os::ErrorBox(u"Out of memory!");
  if (failure_ == Failure::Damaged) os::ErrorBox(kDamagedText);
  failure_ = Failure::None;
}

int SearchEngine::RefineResults(const std::u16string& pattern) {
  ReleaseBuffer(refined_);
  refined_ = nullptr;
  refinedCount_ = 0;
  refinedTotal_ = 0;
  // While the list has not confirmed that it let go of the full result set, it may still sort that
  // set in place: reading it now would race with the main thread.
  if (results_ == nullptr || resultCount_ == 0 || holdReleases_) return -1;
  startTick_ = os::TickCount();
  query_ = CompileQuery(pattern);
  if (!query_.Valid()) {
    os::ErrorBox(u"pszNewQuery Out of memory!");
    return -1;
  }
  refining_ = true;
  auto load = [this](const SearchResult& r) {
    current_.name = r.name;
    current_.nameLength = uint32_t(std::char_traits<char16_t>::length(r.name));
    current_.sizeKB = r.sizeKB;
    current_.isFolder = r.isFolder != 0;
    current_.time = r.modified.Value();
    current_.depth = 0;
    current_.path = r.path;
    current_.holdsRequired = true;
  };
  uint32_t count = 0;
  for (uint32_t i = 0; i < resultCount_; ++i) {
    load(results_[i]);
    count += PassesFilters();
  }
  int result = 0;
  if (count > 0) {
    refined_ = static_cast<SearchResult*>(std::calloc(count, sizeof(SearchResult)));
    if (refined_ == nullptr) {
      result = -1;
    } else {
      for (uint32_t i = 0; i < resultCount_ && refinedCount_ < count; ++i) {
        load(results_[i]);
        if (!PassesFilters()) continue;
        refined_[refinedCount_++] = results_[i];
        refinedTotal_ += results_[i].sizeKB;
      }
    }
  }
  refining_ = false;
  current_.path = nullptr;
  query_ = CompiledQuery();
  endTick_ = os::TickCount();
  return result;
}

}  // namespace lvx::search
