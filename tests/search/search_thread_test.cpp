// The search thread's notification sequence and acknowledgement handshake, with a sink that
// records what the main window would receive and acknowledges as the main window does.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/message.h"
#include "search_fixture.h"
#include "support/recording_sink.h"

namespace lvx::test {
namespace {

using namespace lvx::search;
using Note = std::pair<uint32_t, intptr_t>;
using Notes = std::vector<Note>;
constexpr intptr_t kAny = -12345;  // matches any value (elapsed times, pointers)

class RecordingNotify : public cache::INotifySink {
 public:
  void Attach(SearchEngine* engine) { engine_ = engine; }
  // With acknowledging off, the sink records only: a main window that hangs. Turned on again, it
  // catches up and answers every hand-over it was sent meanwhile, unless it lost them (a window
  // that was closing).
  void SetAcknowledging(bool on, bool catchUp = true) {
    int owed;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      acknowledging_ = on;
      owed = on && catchUp ? owed_ : 0;
      if (on) owed_ = 0;
    }
    while (owed-- > 0) engine_->Acknowledge();
  }
  // The next n hand-over posts fail, as a PostMessageW to a full queue does: they never arrive.
  void FailHandOvers(int n) {
    std::lock_guard<std::mutex> hold(mutex_);
    failHandOvers_ = n;
  }

  bool NotifyHandOver(uint32_t code, intptr_t value) override {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (failHandOvers_ > 0) {
        --failHandOvers_;
        return false;
      }
    }
    Notify(code, value);
    return true;
  }
  // Called on the search thread for each notification, before any acknowledgement.
  void OnNotify(std::function<void(uint32_t, intptr_t)> hook) {
    std::lock_guard<std::mutex> hold(mutex_);
    hook_ = std::move(hook);
  }

  void Notify(uint32_t code, intptr_t value) override {
    std::function<void(uint32_t, intptr_t)> hook;
    bool ack;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      notes_.emplace_back(code, value);
      hook = hook_;
      ack = acknowledging_;
    }
    if (hook) hook(code, value);
    // The main window acknowledges after (0, 3) and after every (2, x).
    if ((code == NotifyState && value == StateNothingFound) || code == NotifyResults) {
      if (ack) {
        engine_->Acknowledge();
      } else {
        std::lock_guard<std::mutex> hold(mutex_);
        ++owed_;
      }
    }
    changed_.notify_all();
  }

  Notes Take() {
    std::lock_guard<std::mutex> hold(mutex_);
    Notes out;
    out.swap(notes_);
    return out;
  }
  Notes Seen() {
    std::lock_guard<std::mutex> hold(mutex_);
    return notes_;
  }
  // Waits until the notifications hold n that satisfy the test; false on timeout.
  bool WaitFor(std::function<bool(const Note&)> test, int n = 1, int ms = 20000) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::milliseconds(ms), [&] {
      int found = 0;
      for (const Note& note : notes_) found += test(note);
      return found >= n;
    });
  }
  // A run ends with the elapsed time or a warning.
  bool WaitForRuns(int n) {
    return WaitFor([](const Note& note) { return note.first == NotifyElapsed || (note.first >= 5 && note.first <= 7); }, n);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  Notes notes_;  // guarded by mutex_
  std::function<void(uint32_t, intptr_t)> hook_;  // guarded by mutex_
  bool acknowledging_ = true;  // guarded by mutex_
  int owed_ = 0;               // guarded by mutex_: hand-overs received while not acknowledging
  int failHandOvers_ = 0;      // guarded by mutex_
  SearchEngine* engine_ = nullptr;
};

void ExpectSequence(const Notes& seen, const Notes& expected) {
  ASSERT_EQ(seen.size(), expected.size()) << "notification count";
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].first, expected[i].first) << "code at " << i;
    if (expected[i].second != kAny) {
      EXPECT_EQ(seen[i].second, expected[i].second) << "value at " << i;
    }
  }
}

const Notes kStart = {{NotifyState, StateSearching}, {NotifyResults, 0}, {NotifyCount, 1}};

Notes Concat(std::initializer_list<Notes> parts) {
  Notes all;
  for (const Notes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

void SubmitTo(SearchEngine& engine, const std::u16string& pattern, const std::u16string& location = u"",
              uint8_t refine = 0) {
  SearchRequest r;
  r.filterCodes[0] = NameMatches;
  r.filterCount = 1;
  r.pattern = pattern;
  r.location = location;
  r.driveMask = kDriveC | kDriveD;
  r.refine = refine;
  engine.SubmitRequest(r);
  engine.SignalRequest();
}

bool IsCount(const Note& n) { return n.first == NotifyCount; }

class SearchThread : public SearchFixture {
 protected:
  void SetUp() override {
    TreeImage image = StandardImage();
    Write(image);
    sink_.Attach(&threaded_);
    ASSERT_TRUE(threaded_.StartSearchThread());
  }
  void TearDown() override { threaded_.StopSearchThread(); }

  void Submit(const std::u16string& pattern, const std::u16string& location = u"", uint8_t refine = 0) {
    SubmitTo(threaded_, pattern, location, refine);
  }

  RecordingNotify sink_;
  SearchEngine threaded_{context_, &sink_};
};

TEST_F(SearchThread, EmptyPatternEmptiesTheList) {
  Submit(u"");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  ExpectSequence(sink_.Take(), Concat({kStart, {{NotifyState, StateNothingFound}, {NotifyTotalSize, 0}, {NotifyElapsed, kAny}}}));
}

TEST_F(SearchThread, HitsAreHandedOverThenTotalAndTime) {
  Submit(u"*.mp3", u"C:\\Music");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  Notes seen = sink_.Take();
  ExpectSequence(seen, Concat({kStart,
                               {{NotifyState, StateResults}, {NotifyCount, 3}, {NotifyResults, kAny},
                                {NotifyTotalSize, 15}, {NotifyElapsed, kAny}}}));
  ASSERT_EQ(seen.size(), 8u);
  auto* array = reinterpret_cast<const SearchResult*>(seen[5].second);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(std::u16string(array[0].path) + array[0].name, u"C:\\Music\\song.mp3");
  EXPECT_EQ(std::u16string(array[2].name), u"x.mp3");
  EXPECT_GE(seen[7].second, 0);
}

TEST_F(SearchThread, InvalidLocationShowsHitsThenTheWarning) {
  Submit(u"d.mp3;", u"C:\\nowhere");  // the whole name: "LOUD.MP3" is no hit
  ASSERT_TRUE(sink_.WaitForRuns(1));
  ExpectSequence(sink_.Take(), Concat({kStart, {{NotifyState, StateResults}, {NotifyCount, 1},
                                                {NotifyResults, kAny}, {NotifyBadLocation, 0}}}));
}

TEST_F(SearchThread, FailuresEndWithTheirWarnings) {
  RecordingMessages messages;
  // A refine with no full search before it.
  Submit(u"a*", u"", 1);
  ASSERT_TRUE(sink_.WaitForRuns(1));
  ExpectSequence(sink_.Take(), Concat({kStart, {{NotifyState, StateNothingFound}, {NotifyRefineNoMemory, 0}}}));
  // A full search over a cache file that is not there.
  context_.SetPath(dir_.Child("absent.db"));
  Submit(u"*");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  ExpectSequence(sink_.Take(), Concat({kStart, {{NotifyState, StateNothingFound}, {NotifySearchNoMemory, 0}}}));
  EXPECT_GE(messages.Count(), 1u);
}

TEST_F(SearchThread, RefineHandsOverTheRefinedArray) {
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  sink_.Take();
  Submit(u"L*", u"", 1);
  ASSERT_TRUE(sink_.WaitForRuns(1));
  Notes seen = sink_.Take();
  ExpectSequence(seen, Concat({kStart, {{NotifyState, StateResults}, {NotifyCount, 1}, {NotifyResults, kAny},
                                        {NotifyTotalSize, 0}, {NotifyElapsed, kAny}}}));
  auto* array = reinterpret_cast<const SearchResult*>(seen[5].second);
  EXPECT_EQ(std::u16string(array[0].name), u"LOUD.MP3");
}

// The list has not confirmed that it let go of the full result set (it may still be sorting it in
// place): a refine, which reads that set, is refused with warning 5 until the list answers again.
TEST_F(SearchThread, RefineRefusedWhileTheListMayHoldTheResults) {
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  sink_.Take();
  threaded_.SetAckTimeout(150);
  sink_.SetAcknowledging(false);
  Submit(u"L*", u"", 1);
  ASSERT_TRUE(sink_.WaitForRuns(1));
  ExpectSequence(sink_.Take(), Concat({kStart, {{NotifyState, StateNothingFound}, {NotifyRefineNoMemory, 0}}}));
  sink_.SetAcknowledging(true);
  Submit(u"L*", u"", 1);
  ASSERT_TRUE(sink_.WaitForRuns(1));
  Notes seen = sink_.Take();
  ExpectSequence(seen, Concat({kStart, {{NotifyState, StateResults}, {NotifyCount, 1}, {NotifyResults, kAny},
                                        {NotifyTotalSize, 0}, {NotifyElapsed, kAny}}}));
}

// The damaged-cache box is shown once the cache lock is released: a modal box must not hold back
// the builder and the refreshes, which wait for that lock.
// Records each box together with whether a writer could have taken the cache lock at that moment.
class LockProbe {
 public:
  explicit LockProbe(cache::CacheContext& context) : context_(context) {
    previous_ = os::SetMessageSink([this](const std::u16string& text) {
      bool free = false;
      std::thread probe([&] {  // a writer's try for the lock
        if (context_.cacheLock.TryAcquire()) {
          free = true;
          context_.cacheLock.Release();
        }
      });
      probe.join();
      std::lock_guard<std::mutex> hold(mutex_);
      texts_.push_back(text);
      lockFree_.push_back(free);
    });
  }
  ~LockProbe() { Restore(); }
  void Restore() {
    if (restored_) return;
    os::SetMessageSink(previous_);
    restored_ = true;
  }
  std::vector<std::u16string> Texts() {
    std::lock_guard<std::mutex> hold(mutex_);
    return texts_;
  }
  std::vector<bool> LockFree() {
    std::lock_guard<std::mutex> hold(mutex_);
    return lockFree_;
  }

 private:
  cache::CacheContext& context_;
  os::MessageSink previous_;
  bool restored_ = false;
  std::mutex mutex_;
  std::vector<std::u16string> texts_;  // guarded by mutex_
  std::vector<bool> lockFree_;         // guarded by mutex_
};

TEST_F(SearchThread, DamageIsReportedAfterTheCacheLockIsReleased) {
  TreeImage image = StandardImage();
  Write(image);
  // Old links back to its parent's block: a loop.
  Put32(bytes_, image.RecordOf(u"C:\\Music\\Old") + 2 + 2 * 3 + 2, image.BlockOf(u"C:\\Music"));
  Rewrite();
  LockProbe probe(context_);
  Submit(u"*");
  const bool ran = sink_.WaitForRuns(1);
  probe.Restore();
  ASSERT_TRUE(ran);
  ExpectSequence(sink_.Take(), Concat({kStart, {{NotifyState, StateNothingFound}, {NotifySearchNoMemory, 0}}}));
  ASSERT_EQ(probe.Texts().size(), 1u);
  EXPECT_NE(probe.Texts()[0].find(u"damaged"), std::u16string::npos);
  EXPECT_TRUE(probe.LockFree()[0]) << "the box was shown while the search held the cache lock";
}

TEST_F(SearchThread, AnOpenFailureIsReportedAfterTheCacheLockIsReleased) {
  context_.SetPath(context_.Path() + u".missing");
  LockProbe probe(context_);
  Submit(u"*");
  const bool ran = sink_.WaitForRuns(1);
  probe.Restore();
  ASSERT_TRUE(ran);
  ASSERT_EQ(probe.Texts().size(), 1u);
  EXPECT_NE(probe.Texts()[0].find(u" In CDBMapFile::OpenMapFile - 000"), std::u16string::npos);
  EXPECT_TRUE(probe.LockFree()[0]) << "the box was shown while the search held the cache lock";
}

// While one search waits for the cache lock, three more requests arrive: the first search's
// results are never shown, and one further search runs, with the last request.
TEST_F(SearchThread, NewerRequestsOvertakeARunningSearch) {
  context_.cacheLock.Acquire();
  Submit(u"*");
  ASSERT_TRUE(sink_.WaitFor([](const Note& n) { return n.first == NotifyCount; }));
  os::Sleep(300);  // the thread now waits for the lock
  Submit(u"a.txt");
  Submit(u"z.mp3.mp3");
  Submit(u"d.mp3;");
  context_.cacheLock.Release();
  ASSERT_TRUE(sink_.WaitForRuns(1));
  os::Sleep(100);  // nothing else may follow
  Notes seen = sink_.Take();
  const Notes last = {{NotifyState, StateResults}, {NotifyCount, 1}, {NotifyResults, kAny},
                      {NotifyTotalSize, 7}, {NotifyElapsed, kAny}};
  // On a slow machine the thread may not have taken the first request yet: it then runs only the last.
  if (seen.size() == kStart.size() + last.size())
    ExpectSequence(seen, Concat({kStart, last}));
  else
    ExpectSequence(seen, Concat({kStart, kStart, last}));
  ASSERT_GE(seen.size(), 3u);
  auto* array = reinterpret_cast<const SearchResult*>(seen[seen.size() - 3].second);
  EXPECT_EQ(std::u16string(array[0].path) + array[0].name, u"D:\\d.mp3");
}

// A request submitted (not yet signalled) while the results are handed over: the outcome of the
// older search is not posted, since a newer one is on its way.
TEST_F(SearchThread, ChangedRequestSuppressesTheOutcome) {
  sink_.OnNotify([this](uint32_t code, intptr_t value) {
    if (code == NotifyResults && value != 0) {
      SearchRequest r;
      r.pattern = u"something else";
      threaded_.SubmitRequest(r);
    }
  });
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitFor([](const Note& n) { return n.first == NotifyResults && n.second != 0; }));
  os::Sleep(200);
  ExpectSequence(sink_.Take(), Concat({kStart, {{NotifyState, StateResults}, {NotifyCount, 5}, {NotifyResults, kAny}}}));
  // A request that differs only in letter case is no change.
  sink_.OnNotify([this](uint32_t code, intptr_t value) {
    if (code == NotifyResults && value != 0) {
      SearchRequest r;
      r.pattern = u"*.MP3";
      threaded_.SubmitRequest(r);
    }
  });
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
}

// A request that arrives while the thread waits for the list to let go of its array is the one the
// run applies: it runs once, not a second time for its own signal.
TEST_F(SearchThread, RequestDuringTheFirstHandOverRunsOnce) {
  auto submitted = std::make_shared<bool>(false);
  sink_.OnNotify([this, submitted](uint32_t code, intptr_t value) {
    if (code == NotifyCount && value == 1 && !*submitted) {
      *submitted = true;  // search thread only
      Submit(u"d.mp3;");
    }
  });
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  os::Sleep(200);  // nothing else may follow
  Notes seen = sink_.Take();
  ExpectSequence(seen, Concat({kStart, {{NotifyState, StateResults}, {NotifyCount, 1}, {NotifyResults, kAny},
                                        {NotifyTotalSize, 7}, {NotifyElapsed, kAny}}}));
}

TEST_F(SearchThread, RequestChangedSinceFoldsTheSubmittedPattern) {
  SearchRequest r;
  r.pattern = u"Abc";
  engine_.SubmitRequest(r);
  engine_.ApplyRequest();
  EXPECT_FALSE(engine_.RequestChangedSince());
  r.pattern = u"ABC";
  engine_.SubmitRequest(r);
  EXPECT_FALSE(engine_.RequestChangedSince());
  r.pattern = u"abd";
  engine_.SubmitRequest(r);
  EXPECT_TRUE(engine_.RequestChangedSince());
}

TEST_F(SearchThread, StartsOnceAndStopsAtOnceWhenIdle) {
  EXPECT_FALSE(threaded_.StartSearchThread());
  auto start = std::chrono::steady_clock::now();
  threaded_.StopSearchThread();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  threaded_.StopSearchThread();  // a second stop does nothing
  EXPECT_TRUE(threaded_.StartSearchThread());
  Submit(u"d.mp3");
  EXPECT_TRUE(sink_.WaitForRuns(1));
}

// The main window hangs: the thread goes on after each acknowledgement wait, and a stop does not
// wait for the acknowledgement either. Hand-overs that are answered late, that never arrived, or
// that a stopped thread awaited leave no later search waiting out its timeouts.
TEST_F(SearchThread, AcknowledgementNeverGiven) {
  threaded_.SetAckTimeout(150);
  sink_.SetAcknowledging(false);
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  Notes first = sink_.Take();
  ExpectSequence(first, Concat({kStart, {{NotifyState, StateResults}, {NotifyCount, 5}, {NotifyResults, kAny},
                                         {NotifyTotalSize, 25}, {NotifyElapsed, kAny}}}));
  auto* held = reinterpret_cast<const SearchResult*>(first[5].second);
  // The next search cannot know that the list let go of the first array, so the array stays
  // readable (AddressSanitizer would report a read of freed memory).
  Submit(u"a.txt");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  sink_.Take();
  EXPECT_EQ(std::u16string(held[4].path) + held[4].name, u"D:\\d.mp3");
  EXPECT_EQ(threaded_.AckTimeouts(), 4u);
  // The main window catches up and answers the four hand-overs late; from then on nothing waits.
  sink_.SetAcknowledging(true);
  Submit(u"d.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  Submit(u"z*");
  ASSERT_TRUE(sink_.WaitForRuns(2));
  sink_.Take();
  EXPECT_EQ(threaded_.AckTimeouts(), 4u) << "searches after the window caught up waited";

  // Posts that fail never reach the window: no acknowledgement is awaited for them, and the arrays
  // the list was not told to let go of are kept until a hand-over that arrived is answered.
  sink_.FailHandOvers(3);  // both hand-overs of the first search, the detaching one of the second
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  Submit(u"d.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(2));
  Submit(u"a.txt");
  ASSERT_TRUE(sink_.WaitForRuns(3));
  sink_.Take();
  EXPECT_EQ(threaded_.AckTimeouts(), 4u) << "a failed post was waited for";

  // A stop while the thread waits for an acknowledgement ends it without the 100 s wait.
  threaded_.SetAckTimeout(SearchEngine::kAckWaitMs);
  sink_.SetAcknowledging(false);
  Submit(u"*");
  ASSERT_TRUE(sink_.WaitFor([](const Note& n) { return n.first == NotifyCount && n.second == 1; }));
  auto start = std::chrono::steady_clock::now();
  threaded_.StopSearchThread();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(threaded_.AckTimeouts(), 4u);
  sink_.Take();

  // The closing window never answered that hand-over: a new thread does not wait for it.
  threaded_.SetAckTimeout(150);
  ASSERT_TRUE(threaded_.StartSearchThread());
  sink_.SetAcknowledging(true, false);
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  Submit(u"d.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(2));
  sink_.Take();
  EXPECT_EQ(threaded_.AckTimeouts(), 4u) << "a new thread waited for an old thread's hand-over";

  // Or it answers it after the restart: that acknowledgement answers no hand-over of the new thread.
  sink_.SetAcknowledging(false);
  Submit(u"*");
  ASSERT_TRUE(sink_.WaitForRuns(1));  // unanswered: two timeouts
  sink_.Take();
  threaded_.StopSearchThread();
  ASSERT_TRUE(threaded_.StartSearchThread());
  sink_.SetAcknowledging(true);  // two late answers for the stopped thread
  sink_.SetAcknowledging(false);
  Submit(u"d.mp3");
  ASSERT_TRUE(sink_.WaitForRuns(1));
  EXPECT_EQ(threaded_.AckTimeouts(), 8u) << "a stale acknowledgement answered a new hand-over";
  sink_.SetAcknowledging(true);
}

class SearchThreadBig : public SearchFixture {};

// A stop whose wait runs out while the thread waits for the cache lock behind a writer: the thread
// keeps its object, no second thread starts beside it, it runs no search once it has the lock, and
// destroying the engine waits for it (AddressSanitizer would report the engine freed under it).
TEST_F(SearchThreadBig, ThreadOutlivingItsStopWaitKeepsTheEngine) {
  TreeImage image = StandardImage();
  Write(image);
  RecordingNotify sink;
  auto engine = std::make_unique<SearchEngine>(context_, &sink);
  sink.Attach(engine.get());
  engine->SetStopTimeout(50);
  ASSERT_TRUE(engine->StartSearchThread());

  context_.cacheLock.Acquire();  // a build copying its scratch file over the cache
  SubmitTo(*engine, u"*.mp3");
  ASSERT_TRUE(sink.WaitFor(IsCount));
  os::Sleep(300);  // the thread is now waiting for the lock
  engine->StopSearchThread();
  EXPECT_FALSE(engine->StartSearchThread()) << "a second thread beside one that still runs";
  sink.Take();
  context_.cacheLock.Release();
  bool started = false;
  for (int i = 0; i < 500 && !(started = engine->StartSearchThread()); ++i) os::Sleep(10);
  ASSERT_TRUE(started) << "the stopped thread has ended, a new one may start";
  EXPECT_TRUE(sink.Take().empty());
  EXPECT_EQ(engine->LastWalkCount(), 0) << "the stopped thread searched after all";
  SubmitTo(*engine, u"d.mp3;");
  ASSERT_TRUE(sink.WaitForRuns(1));
  os::Sleep(100);  // one thread, one run
  ExpectSequence(sink.Take(), Concat({kStart, {{NotifyState, StateResults}, {NotifyCount, 1}, {NotifyResults, kAny},
                                               {NotifyTotalSize, 7}, {NotifyElapsed, kAny}}}));

  context_.cacheLock.Acquire();
  SubmitTo(*engine, u"*.mp3");
  ASSERT_TRUE(sink.WaitFor(IsCount));
  os::Sleep(300);
  engine->StopSearchThread();
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    engine.reset();  // the program's exit
    destroyed.store(true);
  });
  os::Sleep(200);
  EXPECT_FALSE(destroyed.load()) << "the engine went while its thread still ran";
  context_.cacheLock.Release();
  destroyer.join();
  EXPECT_TRUE(destroyed.load());
  ExpectSequence(sink.Take(), kStart);
}

// Stopping while a search walks a large tree ends the thread promptly and posts nothing more.
TEST_F(SearchThreadBig, StopWhileSearching) {
  std::vector<Node> top;
  for (int i = 0; i < 300; ++i) {
    std::vector<Node> files;
    for (int k = 0; k < 500; ++k) files.push_back(File(u"file" + U16(std::to_string(k)) + u".dat", 1));
    top.push_back(Folder(u"d" + U16(std::to_string(i)), files));
  }
  TreeImage image;
  image.AddDrive(u'C', top);
  Write(image);
  RecordingNotify sink;
  auto engine = std::make_unique<SearchEngine>(context_, &sink);
  sink.Attach(engine.get());
  ASSERT_TRUE(engine->StartSearchThread());
  SearchRequest r;
  r.filterCodes[0] = NameMatches;
  r.filterCount = 1;
  r.pattern = u"*9*";
  r.driveMask = kDriveC;
  engine->SubmitRequest(r);
  engine->SignalRequest();
  ASSERT_TRUE(sink.WaitFor([](const Note& n) { return n.first == NotifyCount; }));
  auto start = std::chrono::steady_clock::now();
  engine->StopSearchThread();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  size_t after = sink.Seen().size();
  os::Sleep(100);
  EXPECT_EQ(sink.Seen().size(), after);
  engine.reset();  // frees whatever the run left
}

}  // namespace
}  // namespace lvx::test
