// The parallel collecting walk. The levels just below the walk's start are planned first: the
// folders of one depth (the first depth that has enough of them) become units, each a subtree that
// one walker collects whole into its own buffers; a walker takes the next unit when it has done one.
// The engine then walks the levels above the units itself and, where the one-thread walk would
// enter a unit's folder, splices the unit's hits in and tests the folder with the unit's total. So
// the result array is exactly the one-thread array, entry for entry. Damage or a stop in any unit
// ends the walk as the one-thread walk would end; so does overflow, after which the engine counts
// and collects exactly, in one thread, as before.
#include <algorithm>
#include <cstring>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "search/search_engine.h"

namespace lvx::search {

namespace {

// Units per walker, so that walkers that get large subtrees are evened out by the others.
constexpr size_t kUnitsPerWalker = 8;
constexpr uint32_t kDeepestSplit = 3;
constexpr size_t kMaxUnits = 65536;
// How many records a walker reads between two looks at the stop flag and the collecting limits.
constexpr uint32_t kWalkerPoll = 4096;
// A 32-bit process maps every window of the file for the walkers: only while that is modest.
constexpr uint64_t kMaxParallelMapping =
    sizeof(void*) == 4 ? 8ull * cache::CDBMapFile::kWindowSize : uint64_t(cache::CDBMapFile::kMaxMappingSize);

inline uint32_t DriveBitOf(char16_t letter) { return 1u << ((uint32_t(letter) - u'A') & 31u); }

}  // namespace

SearchEngine::SearchEngine(SearchEngine& parent)
    : context_(parent.context_), sink_(nullptr), parent_(&parent) {
  map_ = &parent.file_;
}

bool SearchEngine::ParallelCollect(uint32_t start, WalkEnd* end) {
  int walkers = walkers_ > 0 ? walkers_ : int(std::thread::hardware_concurrency());
  walkers = std::min(walkers, kMaxWalkers);
  if (walkers < 2 || parent_ != nullptr || !fastRecords_) return false;
  const uint32_t size = file_.GetMapSize();
  if (size == 0 || size > kMaxParallelMapping) return false;
  // Every window is mapped before the walkers start: from then on they only read the mapping.
  for (uint64_t at = 0; at < size; at += cache::CDBMapFile::kWindowSize)
    if (file_.GetPointer(uint32_t(at)) == nullptr) return false;

  // The first depth with enough units, else the deepest with two or more.
  std::vector<Unit> units, found;
  std::u16string paths;
  for (uint32_t depth = 1; depth <= kDeepestSplit; ++depth) {
    found.clear();
    unitPaths_.clear();
    if (!PlanUnits(start, 1, pathLength_, depth, &found)) break;  // the one-thread walk tells why
    if (found.size() >= 2) {
      units.swap(found);
      paths.swap(unitPaths_);
      unitDepth_ = depth;
    }
    if (units.size() >= kUnitsPerWalker * size_t(walkers)) break;
  }
  unitPaths_.swap(paths);
  if (units.size() < 2) return false;

  while (walkerEngines_.size() < size_t(walkers)) walkerEngines_.push_back(std::unique_ptr<SearchEngine>(new SearchEngine(*this)));
  for (int i = 0; i < walkers; ++i)
    if (!PrepareWalker(*walkerEngines_[i], uint32_t(walkers))) return false;
  units_.swap(units);

  *end = WalkParts<WalkMode::Collect>(start, walkers);
  for (int i = 0; i < walkers; ++i) walkerEngines_[i]->DropBuffers();
  if (*end == WalkEnd::Overflow) {
    // As the one-thread walk does: count, then collect into buffers of exactly that size. What the
    // walkers' threads freed goes back to the system first, or the exact buffers would come on top.
    DropBuffers();
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    arrayCapacity_ = 0;
    poolCapacity_ = 0;
    countedHits_ = 0;
    countedChars_ = 0;
    walkCount_ = 2;
    *end = WalkParts<WalkMode::Count>(start, walkers);
    if (*end == WalkEnd::Done) {
      if (countedHits_ > 0xFFFFFFFEu || countedChars_ != uint64_t(size_t(countedChars_)) ||
          !AllocateBuffers(uint32_t(countedHits_), size_t(countedChars_))) {
        *end = WalkEnd::Overflow;
      } else {
        arrayCapacity_ = uint32_t(countedHits_);
        poolCapacity_ = size_t(countedChars_);
        walkCount_ = 3;
        *end = WalkParts<WalkMode::Exact>(start, walkers);
      }
    }
  }
  units_.clear();
  return true;
}

// One walk of the given mode: the walkers take the units, then this engine walks the levels above
// them and splices the units in.
template <SearchEngine::WalkMode kMode>
SearchEngine::WalkEnd SearchEngine::WalkParts(uint32_t start, int walkers) {
  for (int i = 0; i < walkers; ++i) {
    SearchEngine& walker = *walkerEngines_[i];
    walker.countedHits_ = 0;
    walker.countedChars_ = 0;
    if (kMode == WalkMode::Exact) {
      // The walkers write their units' parts of this engine's buffers, as the count laid them out.
      walker.results_ = results_;
      walker.pool_ = pool_;
      walker.totalSize_ = 0;
    }
  }
  abort_.store(false);
  std::atomic<uint32_t> next{0};
  std::vector<std::unique_ptr<os::Thread>> threads;
  for (int i = 1; i < walkers; ++i) {
    SearchEngine* walker = walkerEngines_[i].get();
    auto thread = std::make_unique<os::Thread>([walker, this, &next] {
      walker->WalkUnits<kMode>(units_, next);
      return 0u;
    });
    if (thread->Start()) threads.push_back(std::move(thread));  // else the others take its share
  }
  walkerEngines_[0]->WalkUnits<kMode>(units_, next);
  for (auto& thread : threads) thread->Join(os::kInfinite);
  if (kMode == WalkMode::Exact) {
    for (int i = 0; i < walkers; ++i) {
      SearchEngine& walker = *walkerEngines_[i];
      walker.results_ = nullptr;
      walker.pool_ = nullptr;
      walker.DropBuffers();
    }
  }

  // Damage before overflow before a stop: whatever the one-thread walk would have met first, each
  // leads to the same outcome.
  WalkEnd end = WalkEnd::Done;
  for (const Unit& unit : units_)
    if (unit.end != WalkEnd::Done && (end == WalkEnd::Done || unit.end == WalkEnd::Damaged ||
                                      (unit.end == WalkEnd::Overflow && end == WalkEnd::Stopped)))
      end = unit.end;
  if (end != WalkEnd::Done) return end;
  pathLength_ = uint32_t(basePath_.size());
  nextUnit_ = 0;
  splicing_ = true;
  end = WalkTree<kMode>(start);
  splicing_ = false;
  if (end == WalkEnd::Done && nextUnit_ != units_.size()) end = WalkEnd::Damaged;
  return end;
}

// The folders at unitDepth under block (at depth), with their paths, in walk order; the walk's own
// rules decide which folders are entered. False on damage.
bool SearchEngine::PlanUnits(uint32_t block, uint32_t depth, uint32_t pathLength, uint32_t unitDepth,
                             std::vector<Unit>* units) {
  cache::BlockCursor cursor(file_, block);
  cache::Record r;
  while (cursor.Next(&r)) {
    if (r.type != cache::RECORD_FOLDER) continue;
    if (depth == 1) {
      char16_t letter = pathLength > 0 ? pathBuffer_[0] : (r.nameLength > 0 ? r.name[0] : u'\\');
      if ((driveMask_ & DriveBitOf(letter)) == 0) continue;
    }
    if (uint64_t(pathLength) + r.nameLength + 1 >= kPathBufferChars || r.sizeOrLink == cache::NO_BLOCK) continue;
    std::memcpy(pathBuffer_ + pathLength, r.name, r.nameLength * sizeof(char16_t));
    const uint32_t childLength = pathLength + r.nameLength + 1;
    pathBuffer_[childLength - 1] = u'\\';
    if (depth == unitDepth) {
      Unit unit;
      unit.block = r.sizeOrLink;
      unit.pathStart = unitPaths_.size();
      unit.pathLength = childLength;
      unitPaths_.append(pathBuffer_, childLength);
      units->push_back(unit);
      if (units->size() > kMaxUnits) return false;
    } else if (!PlanUnits(r.sizeOrLink, depth + 1, childLength, unitDepth, units)) {
      return false;
    }
  }
  return !cursor.Damaged();
}

// The run's filters, bounds and query, and a share of the collecting limits; false without memory.
bool SearchEngine::PrepareWalker(SearchEngine& walker, uint32_t share) {
  walker.stop_.store(false);
  std::copy(filters_, filters_ + kMaxFilters, walker.filters_);
  walker.filterCount_ = filterCount_;
  walker.nameFirst_ = nameFirst_;
  walker.minSizeKB_ = minSizeKB_;
  walker.maxSizeKB_ = maxSizeKB_;
  walker.modifiedFrom_ = modifiedFrom_;
  walker.modifiedTo_ = modifiedTo_;
  walker.driveMask_ = driveMask_;
  walker.refining_ = false;
  walker.fastRecords_ = fastRecords_;
  walker.stopPoll_ = std::min(stopPoll_, kWalkerPoll);
  walker.depthBase_ = unitDepth_;
  if (!walker.query_.Valid() || walker.runPattern_ != runPattern_) {
    walker.runPattern_ = runPattern_;
    walker.query_ = CompileQuery(runPattern_);
    if (!walker.query_.Valid()) return false;
  }
  // Each walker may collect up to the limits; all of them together are held to the limits at the
  // looks at the stop flag (OverLimits).
  (void)share;
  walker.headroom_ = headroom_;
  walker.arrayCapacity_ = arrayCapacity_;
  walker.poolCapacity_ = poolCapacity_;
  walker.publishedHits_.store(0);
  walker.publishedChars_.store(0);
  walker.DropBuffers();
  return walker.AllocateBuffers(std::min(walker.arrayCapacity_, kFirstArrayChunk),
                                std::min(walker.poolCapacity_, kFirstPoolChunk));
}

// On a walker: takes units until none is left, each walked after the ones before it. The count
// gives each unit its hits and characters, and the splicing walk its place in the final buffers,
// which the exact walk fills.
template <SearchEngine::WalkMode kMode>
void SearchEngine::WalkUnits(std::vector<Unit>& units, std::atomic<uint32_t>& next) {
  for (;;) {
    const uint32_t i = next.fetch_add(1);
    if (i >= units.size()) return;
    Unit& unit = units[i];
    unit.walker = this;
    if (parent_->abort_.load()) {
      unit.end = WalkEnd::Stopped;
      continue;
    }
    if (kMode == WalkMode::Collect) {
      unit.first = resultCount_;
      unit.poolFirst = poolUsed_;
    } else if (kMode == WalkMode::Exact) {
      resultCount_ = unit.first;
      poolUsed_ = unit.poolFirst;
      arrayAllocated_ = unit.first + unit.count;
      poolAllocated_ = unit.poolEnd;
    }
    const uint64_t hits = countedHits_, chars = countedChars_, total = totalSize_;
    std::memcpy(pathBuffer_, parent_->unitPaths_.data() + unit.pathStart, unit.pathLength * sizeof(char16_t));
    pathLength_ = unit.pathLength;
    sharedPath_ = kNoPath;
    unit.end = WalkTree<kMode>(unit.block);
    if (kMode == WalkMode::Collect) {
      unit.count = resultCount_ - unit.first;
      unit.poolEnd = poolUsed_;
    } else if (kMode == WalkMode::Count) {
      unit.count = uint32_t(std::min<uint64_t>(countedHits_ - hits, 0xFFFFFFFFu));
      unit.chars = countedChars_ - chars;
    }
    unit.total = totalSize_ - total;
    unit.subtotal = lastSubtotal_;
    if (unit.end != WalkEnd::Done) parent_->abort_.store(true);
  }
}

// On a walker, at a look at the stop flag: have all walkers together collected half as much as the
// collecting limits allow? Then the walk goes over to counting and collecting exactly: buffers
// that grow on several threads leave much of what they outgrew with the threads' heaps, and near
// the limits together they would hold more than the exact buffers of the whole result.
bool SearchEngine::OverLimits() {
  publishedHits_.store(resultCount_, std::memory_order_relaxed);
  publishedChars_.store(poolUsed_, std::memory_order_relaxed);
  uint64_t hits = 0, chars = 0;
  for (const auto& walker : parent_->walkerEngines_) {
    hits += walker->publishedHits_.load(std::memory_order_relaxed);
    chars += walker->publishedChars_.load(std::memory_order_relaxed);
  }
  return int64_t(hits) > (int64_t(arrayCapacity_) - headroom_) / 2 || chars > poolCapacity_ / 2;
}

// Appends a unit's hits and their pool text; false where the one-thread walk would have overflowed:
// a file hit at the limit, a folder hit past it.
bool SearchEngine::SpliceUnit(const Unit& unit) {
  if (unit.count == 0) return true;
  const SearchEngine& walker = *unit.walker;
  const size_t chars = unit.poolEnd - unit.poolFirst;
  const int64_t last = int64_t(resultCount_) + unit.count - 1;  // the position of the unit's last hit
  const int64_t limit = int64_t(arrayCapacity_) - headroom_;
  if (last > limit || (last == limit && !walker.results_[unit.first + unit.count - 1].isFolder)) return false;
  while (resultCount_ + unit.count > arrayAllocated_)
    if (!GrowArray()) return false;
  if (poolUsed_ + chars > poolAllocated_ && !GrowPool(chars)) return false;
  const char16_t* from = walker.pool_ + unit.poolFirst;
  char16_t* to = pool_ + poolUsed_;
  std::memcpy(to, from, chars * sizeof(char16_t));
  for (uint32_t i = 0; i < unit.count; ++i) {
    SearchResult hit = walker.results_[unit.first + i];
    hit.path = to + (hit.path - from);
    hit.name = to + (hit.name - from);
    results_[resultCount_++] = hit;
  }
  poolUsed_ += chars;
  totalSize_ += unit.total;
  return true;
}

}  // namespace lvx::search
