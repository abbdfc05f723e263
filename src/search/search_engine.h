// SearchEngine: runs one search at a time over the cache file and keeps its result set, on a search
// thread of its own that hands each result array to the main window.
//
// A full search (search_run.cpp) walks the folder blocks depth first from the location, tests
// every record against the filter chain and copies each hit's folder path and name into a name pool
// that grows by doubling up to a fixed capacity; a folder's path is stored once for all its hits.
// When the array or the pool would pass its capacity, the walk is abandoned, a second walk
// counts the hits and their characters, and a third collects into buffers of exactly that size. The
// walk is iterative and validates every record it reads, so a damaged cache file ends the search
// with -1 instead of a crash or an endless walk. A refine filters the last full result set again.
// On a machine with several cores the walks are split into subtrees that walkers take in parallel
// (search_parallel.cpp); the result array is the one-thread array all the same.
//
// The cache file stays mapped from one search to the next while it is unchanged: the engine is a
// kept reader of the cache context, which lets go of the mapping whenever a writer replaces the file
// or grows it, and a search checks the file's generation and size before it uses the mapping again.
//
// The search thread (search_thread.cpp) takes only the newest request, and hands the result array
// over with the notification sequence described there.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cache/cache_context.h"
#include "cache/engine_sinks.h"
#include "cache/map_file.h"
#include "platform/thread.h"
#include "search/query.h"
#include "search/search_types.h"

namespace lvx::search {

class SearchEngine : public cache::IKeptReader {
 public:
  static constexpr uint32_t kInitialArrayCapacity = 600000;
  static constexpr uint32_t kCapacityHeadroom = 70000;
  static constexpr size_t kInitialPoolCapacity = 68900000;  // characters
  // What a collecting walk allocates first; it doubles up to the capacities above as hits come.
  static constexpr uint32_t kFirstArrayChunk = 4096;
  static constexpr size_t kFirstPoolChunk = 65536;  // characters
  static constexpr uint32_t kPathBufferChars = 32768;
  static constexpr uint32_t kAckWaitMs = 100000;
  static constexpr uint32_t kStopWaitMs = 8000;
  static constexpr uint32_t kStopPollInterval = 65536;  // records
  // An idle search thread lets go of the kept mapping after this long, for other processes' writers.
  static constexpr uint32_t kIdleLetGoMs = 5000;

  // The sink receives the notifications (WM_ENGINE_NOTIFY codes 0 to 7) from the search thread.
  SearchEngine(cache::CacheContext& context, cache::INotifySink* sink);
  ~SearchEngine() override;
  SearchEngine(const SearchEngine&) = delete;
  SearchEngine& operator=(const SearchEngine&) = delete;

  // --- search thread (main thread side) ---
  bool StartSearchThread();
  void StopSearchThread();
  void SubmitRequest(const SearchRequest& request);
  void SignalRequest();
  // The main window has taken over or let go of a result array (after codes 0/3 and 2).
  void Acknowledge();

  // --- search thread side ---
  bool RequestChangedSince();
  void ApplyRequest();
  // Full search: 0 done, -1 cache unreadable, damaged or out of memory, -2 invalid location (all
  // selected drives were searched). The caller holds the cache lock, and once it has released it
  // calls ShowFailure: a modal box under the lock would hold back the builder and the refreshes.
  int RunSearch(const std::u16string& pattern, const std::u16string& location);
  // Shows the message of the last full search's failure (damaged cache, out of memory), once.
  void ShowFailure();
  // Filters the last full result set again: 0, or -1 when there is nothing to refine, no memory, or
  // the list may still hold (and sort) the full result set.
  int RefineResults(const std::u16string& pattern);
  bool PassesFilters() const;
  void FreeResults();
  // Closes the kept mapping once no search uses it (any thread).
  void LetGo() override;

  // --- results (owned by the engine; read them only while no search runs) ---
  SearchResult* Results() const { return results_; }
  uint32_t ResultCount() const { return resultCount_; }
  // Totals add the hits' sizes as listed, in 64 bits.
  uint64_t TotalSizeKB() const { return totalSize_; }
  SearchResult* RefinedResults() const { return refined_; }
  uint32_t RefinedCount() const { return refinedCount_; }
  uint64_t RefinedTotalSizeKB() const { return refinedTotal_; }
  // The total of the last NotifyTotalSize in full width: the message's value is pointer-sized and
  // holds it only saturated on a 32-bit build. Read it when handling that notification.
  uint64_t PostedTotalSizeKB() const { return postedTotal_.load(); }
  uint32_t StartTick() const { return startTick_; }
  uint32_t EndTick() const { return endTick_; }
  // Characters of the name pool that the last full search filled.
  size_t PoolUsed() const { return poolUsed_; }
  // How many walks the last full search made: 1, or 3 after an overflow (0 when none ran).
  int LastWalkCount() const { return walkCount_; }

  // --- test seams ---
  void SetCapacities(uint32_t arrayCapacity, uint32_t headroom, size_t poolCapacity);
  void SetAckTimeout(uint32_t milliseconds) { ackTimeout_ = milliseconds; }
  void SetStopTimeout(uint32_t milliseconds) { stopTimeout_ = milliseconds; }
  // How many acknowledgement waits ran out.
  uint32_t AckTimeouts() const { return ackTimeouts_.load(); }
  // Off: every record is read through CDBMapFile::ReadRecord (the reference reader).
  void SetFastRecords(bool on) { fastRecords_ = on; }
  // How many threads a full search walks with; 0: one per core, at most kMaxWalkers.
  void SetWalkers(int walkers) { walkers_ = walkers; }
  static constexpr int kMaxWalkers = 4;
  // How many records the walk reads between two looks at the stop flag.
  void SetStopPollInterval(uint32_t records) { stopPoll_ = records ? records : 1; }

 private:
  enum class WalkMode { Collect, Count, Exact };
  enum class Failure { None, NoMemory, Damaged };
  enum class WalkEnd { Done, Overflow, Damaged, Stopped };
  using Filter = bool (*)(const SearchEngine&);
  using Walk = WalkEnd (SearchEngine::*)(uint32_t startBlock);

  // The entry under test.
  struct Entry {
    const char16_t* name = nullptr;
    uint32_t nameLength = 0;
    uint32_t sizeKB = 0;
    bool isFolder = false;
    uint64_t time = 0;
    uint32_t depth = 0;
    const char16_t* path = nullptr;  // refine only: the entry's folder path
    bool holdsRequired = true;  // false: the name lacks every character a match needs
  };

  struct WalkFrame;
  // A subtree of the parallel collecting walk: the folder's block and path, and what its walker
  // collected (entries [first, first + count) and pool [poolFirst, poolEnd) of that walker).
  struct Unit {
    uint32_t block = 0;
    size_t pathStart = 0;
    uint32_t pathLength = 0;
    SearchEngine* walker = nullptr;
    uint32_t first = 0, count = 0;
    size_t poolFirst = 0, poolEnd = 0;
    uint64_t chars = 0;  // counted pool characters
    uint64_t subtotal = 0, total = 0;
    WalkEnd end = WalkEnd::Done;
  };

  explicit SearchEngine(SearchEngine& parent);  // a walker of the parallel walk
  const uint8_t* BlockBytes(uint32_t block, uint32_t capacity);
  bool StopRequested() const;
  // Parallel collecting walk (search_parallel.cpp); false when the walk is not split.
  bool ParallelCollect(uint32_t start, WalkEnd* end);
  bool PlanUnits(uint32_t block, uint32_t depth, uint32_t pathLength, uint32_t unitDepth,
                 std::vector<Unit>* units);
  bool PrepareWalker(SearchEngine& walker, uint32_t share);
  template <WalkMode kMode>
  WalkEnd WalkParts(uint32_t start, int walkers);
  template <WalkMode kMode>
  void WalkUnits(std::vector<Unit>& units, std::atomic<uint32_t>& next);
  bool SpliceUnit(const Unit& unit);
  bool OverLimits();

  bool BeginRun(const std::u16string& pattern, bool* fresh);
  bool MapCacheFile(const std::u16string& path, bool* fresh);
  int ChooseStart(const std::u16string& location, uint32_t* start, bool* walk);
  WalkEnd CollectHits(uint32_t start);
  template <WalkMode kMode>
  WalkEnd WalkTree(uint32_t startBlock);
  bool OpenFrame(uint32_t block, uint32_t pathLength, WalkFrame* frame);
  template <WalkMode kMode>
  WalkEnd VisitFolder(const cache::Record& r, bool holds, std::vector<WalkFrame>& stack);
  template <WalkMode kMode>
  bool CloseFolder(std::vector<WalkFrame>& stack);  // false: overflow
  template <WalkMode kMode>
  bool TestEntry(const cache::Record& r, bool holds, uint32_t sizeKB, bool isFolder, uint32_t depth);
  template <WalkMode kMode>
  bool OnHit();  // false: overflow
  bool PassesFiltersFrom(int first) const;
  bool AllocateBuffers(uint32_t entries, size_t characters);
  bool GrowArray();
  bool GrowPool(size_t need);
  void RebaseEntries(uintptr_t old);
  void DropBuffers();
  void ShrinkBuffers();
  void ReleaseBuffer(void* buffer);
  void ReleaseParked();
  void BuildFilterChain(const SearchRequest& request);

  static bool FilterName(const SearchEngine& e);
  static bool FilterTopLevel(const SearchEngine& e);
  static bool FilterMinSize(const SearchEngine& e);
  static bool FilterMaxSize(const SearchEngine& e);
  static bool FilterFrom(const SearchEngine& e);
  static bool FilterTo(const SearchEngine& e);
  static bool FilterFiles(const SearchEngine& e);
  static bool FilterFolders(const SearchEngine& e);

  // Thread (search_thread.cpp).
  uint32_t ThreadProc();
  void Post(uint32_t code, intptr_t value);
  bool PostHandOver(uint32_t code, intptr_t value);
  bool AwaitAcknowledgement();

  cache::CacheContext& context_;
  cache::INotifySink* sink_;

  // Thread members.
  os::Event ackEvent_{false, false};
  os::Event requestEvent_{false, false};
  std::atomic<bool> stop_{false};
  // Kept while its thread lives, even past a stop that timed out: that thread still uses this
  // engine, and no second thread may start beside it.
  std::unique_ptr<os::Thread> thread_;
  // Hand-overs delivered to the main window, and its acknowledgements; acks_ never passes
  // handOvers_. Written by the search thread, and by StartSearchThread while no thread runs.
  std::atomic<uint32_t> handOvers_{0};
  std::atomic<uint32_t> acks_{0};
  std::atomic<uint32_t> ackTimeouts_{0};
  std::atomic<uint64_t> postedTotal_{0};
  uint32_t ackTimeout_ = kAckWaitMs;
  uint32_t stopTimeout_ = kStopWaitMs;
  os::Lock requestLock_;
  SearchRequest submitted_;  // guarded by requestLock_

  // Working copy of the request for the running search (search thread only).
  Filter filters_[kMaxFilters] = {};
  int filterCount_ = 0;
  bool nameFirst_ = false;  // the chain starts with the name test
  uint32_t minSizeKB_ = 0, maxSizeKB_ = 0;
  uint64_t modifiedFrom_ = 0, modifiedTo_ = 0;
  std::u16string location_;
  std::u16string pattern_;
  uint32_t driveMask_ = 0xFFFFFFFFu;
  bool refine_ = false;
  bool refining_ = false;  // the filters run over a result set, not the tree
  bool fastRecords_ = true;
  uint32_t stopPoll_ = kStopPollInterval;

  CompiledQuery query_;
  // The kept mapping: held under keptLock_ by a search and by LetGo, with the path and the file
  // generation it was made for.
  os::Lock keptLock_;
  cache::CDBMapFile file_;
  std::u16string keptPath_;
  uint32_t keptGeneration_ = 0;
  char16_t pathBuffer_[kPathBufferChars] = {};
  uint32_t pathLength_ = 0;
  Entry current_;
  // The folder path of the entries directly in the last full search's location.
  std::u16string basePath_;

  // Result set.
  SearchResult* results_ = nullptr;
  uint32_t resultCount_ = 0;
  uint64_t totalSize_ = 0;
  char16_t* pool_ = nullptr;
  size_t poolUsed_ = 0;
  // The capacities in effect bound the collecting walk; the buffers hold only what is allocated.
  uint32_t arrayCapacity_ = 0;
  size_t poolCapacity_ = 0;
  uint32_t arrayAllocated_ = 0;
  size_t poolAllocated_ = 0;
  // Where the pool holds the current folder's path text (kNoPath: not yet). The hits of one folder
  // share that text; the counting walk only notes that it has counted it.
  static constexpr size_t kNoPath = SIZE_MAX;
  size_t sharedPath_ = kNoPath;
  uint64_t countedChars_ = 0;  // counting walk
  uint64_t countedHits_ = 0;
  SearchResult* refined_ = nullptr;
  uint32_t refinedCount_ = 0;
  uint64_t refinedTotal_ = 0;
  uint32_t startTick_ = 0, endTick_ = 0;
  int walkCount_ = 0;
  Failure failure_ = Failure::None;  // of the last full search, until ShowFailure

  uint32_t initialArrayCapacity_ = kInitialArrayCapacity;
  uint32_t headroom_ = kCapacityHeadroom;
  size_t initialPoolCapacity_ = kInitialPoolCapacity;

  Walk collectWalk_ = nullptr, exactWalk_ = nullptr, countWalk_ = nullptr;

  // Parallel walk. A walker is an engine of its own that reads its parent's mapping (every window
  // mapped before the walkers start) and collects whole subtrees into its own buffers; the parent
  // then walks the levels above them and splices their hits in walk order.
  int walkers_ = 0;
  SearchEngine* parent_ = nullptr;  // set on a walker
  std::atomic<bool> abort_{false};  // a walker met damage or overflow: the others stop
  std::atomic<uint32_t> publishedHits_{0};  // a walker's hits and pool characters so far
  std::atomic<size_t> publishedChars_{0};
  cache::CDBMapFile* map_ = &file_;
  uint32_t depthBase_ = 0;     // depth of the walk's start block, less one
  uint64_t lastSubtotal_ = 0;  // the file total of the last walk's start block
  std::u16string runPattern_;  // the pattern the run compiled
  std::vector<std::unique_ptr<SearchEngine>> walkerEngines_;
  std::vector<Unit> units_;
  std::u16string unitPaths_;
  size_t nextUnit_ = 0;
  uint32_t unitDepth_ = 0;
  bool splicing_ = false;

  // Arrays the main window may still hold because it did not acknowledge letting go of them: they
  // are freed once a later hand-over has been acknowledged (search thread only).
  bool holdReleases_ = false;
  std::vector<void*> parked_;
};

}  // namespace lvx::search
