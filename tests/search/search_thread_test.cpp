// The search thread's notification sequence and acknowledgement handshake, with a sink that records
// what the main window would receive and acknowledges as the main window does; newer requests
// overtaking a running search; boxes shown only after the cache lock is released; stopping.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
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

// Acknowledges (0, 3) and every (2, x) as the main window does, unless told to hang.
class RecordingNotify : public cache::INotifySink {
 public:
  void Attach(SearchEngine* engine) { engine_ = engine; }
  // Off: a main window that hangs. On again, it answers every hand-over it was sent meanwhile,
  // unless it lost them (a window that was closing).
  void SetAcknowledging(bool on, bool catchUp = true) {
    std::unique_lock<std::mutex> hold(mutex_);
    acknowledging_ = on;
    int owed = on ? std::exchange(owed_, 0) : 0;
    hold.unlock();
    while (catchUp && owed-- > 0) engine_->Acknowledge();
  }
  // The next n hand-over posts fail, as a PostMessageW to a full queue does: they never arrive.
  void FailHandOvers(int n) { Locked([&] { failHandOvers_ = n; }); }
  // Called on the search thread for each notification, before any acknowledgement.
  void OnNotify(std::function<void(uint32_t, intptr_t)> hook) { Locked([&] { hook_ = std::move(hook); }); }

  bool NotifyHandOver(uint32_t code, intptr_t value) override {
    bool fail = false;
    Locked([&] { fail = failHandOvers_ > 0 && failHandOvers_-- > 0; });
    if (!fail) Notify(code, value);
    return !fail;
  }
  void Notify(uint32_t code, intptr_t value) override {
    std::function<void(uint32_t, intptr_t)> hook;
    bool handOver = (code == NotifyState && value == StateNothingFound) || code == NotifyResults, ack = false;
    Locked([&] {
      notes_.emplace_back(code, value);
      hook = hook_;
      ack = acknowledging_;
      owed_ += handOver && !ack;
    });
    if (hook) hook(code, value);
    if (handOver && ack) engine_->Acknowledge();
    changed_.notify_all();
  }

  Notes Take() {
    std::lock_guard<std::mutex> hold(mutex_);
    return std::exchange(notes_, {});
  }
  size_t Count() {
    std::lock_guard<std::mutex> hold(mutex_);
    return notes_.size();
  }
  // Waits until n notifications satisfy the test; false on timeout.
  bool WaitFor(std::function<bool(const Note&)> test, int n = 1) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::seconds(20), [&] {
      return std::count_if(notes_.begin(), notes_.end(), test) >= n;
    });
  }
  bool WaitForCount() { return WaitFor([](const Note& n) { return n.first == NotifyCount; }); }
  // A run ends with the elapsed time or a warning.
  bool WaitForRuns(int n) {
    return WaitFor([](const Note& note) { return note.first == NotifyElapsed || (note.first >= 5 && note.first <= 7); }, n);
  }

 private:
  void Locked(const std::function<void()>& f) {
    std::lock_guard<std::mutex> hold(mutex_);
    f();
  }
  SearchEngine* engine_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  Notes notes_;                                    // guarded by mutex_
  std::function<void(uint32_t, intptr_t)> hook_;  // guarded by mutex_
  bool acknowledging_ = true;                      // guarded by mutex_
  int owed_ = 0;           // guarded by mutex_: hand-overs received while not acknowledging
  int failHandOvers_ = 0;  // guarded by mutex_
};

const Notes kStart = {{NotifyState, StateSearching}, {NotifyResults, 0}, {NotifyCount, 1}};

// kStart, then each part; kAny in an expected value takes the value seen.
Notes Expected(const Notes& seen, std::initializer_list<Notes> parts) {
  Notes all = kStart;
  for (const Notes& p : parts) all.insert(all.end(), p.begin(), p.end());
  for (size_t i = 0; i < all.size() && i < seen.size(); ++i)
    if (all[i].second == kAny) all[i].second = seen[i].second;
  return all;
}
Notes Found(intptr_t count, intptr_t total) {
  return {{NotifyState, StateResults}, {NotifyCount, count}, {NotifyResults, kAny}, {NotifyTotalSize, total},
          {NotifyElapsed, kAny}};
}
std::u16string FirstHit(const Notes& seen) {
  for (const Note& n : seen)
    if (n.first == NotifyResults && n.second) {
      auto* array = reinterpret_cast<const SearchResult*>(n.second);
      return std::u16string(array[0].path) + array[0].name;
    }
  return u"<none>";
}

class SearchThread : public SearchFixture {
 protected:
  void SetUp() override {
    Write(StandardImage());
    sink_.Attach(threaded_.get());
    ASSERT_TRUE(threaded_->StartSearchThread());
  }
  void TearDown() override {
    if (threaded_) threaded_->StopSearchThread();
  }

  void Submit(const std::u16string& pattern, const std::u16string& location = u"", uint8_t refine = 0,
              bool signal = true) {
    SearchRequest r;  // of its own: the hooks submit from the search thread
    r.filterCodes[0] = NameMatches;
    r.filterCount = 1;
    r.pattern = pattern;
    r.location = location;
    r.driveMask = kDriveC | kDriveD;
    r.refine = refine;
    threaded_->SubmitRequest(r);
    if (signal) threaded_->SignalRequest();
  }
  // Submits and waits for the run's end; returns what it posted.
  Notes RunOne(const std::u16string& pattern, const std::u16string& location = u"", uint8_t refine = 0) {
    Submit(pattern, location, refine);
    EXPECT_TRUE(sink_.WaitForRuns(1));
    return sink_.Take();
  }
  // A writer holds the cache lock while a search waits for it.
  void HoldCacheLockOverASearch(const std::u16string& pattern) {
    context_.cacheLock.Acquire();
    Submit(pattern);
    ASSERT_TRUE(sink_.WaitForCount());
    os::Sleep(300);  // the thread now waits for the lock
  }

  RecordingNotify sink_;
  std::unique_ptr<SearchEngine> threaded_ = std::make_unique<SearchEngine>(context_, &sink_);
};

TEST_F(SearchThread, EachOutcomeHasItsSequence) {
  Notes seen = RunOne(u"");  // the empty list and "0 items found"
  EXPECT_EQ(seen, Expected(seen, {{{NotifyState, StateNothingFound}, {NotifyTotalSize, 0}, {NotifyElapsed, kAny}}}));
  seen = RunOne(u"a*", u"", 1);  // a refine with no full search before it
  EXPECT_EQ(seen, Expected(seen, {{{NotifyState, StateNothingFound}, {NotifyRefineNoMemory, 0}}}));
  seen = RunOne(u"*.mp3", u"C:\\Music");
  EXPECT_EQ(seen, Expected(seen, {Found(3, 15)}));
  EXPECT_EQ(FirstHit(seen), u"C:\\Music\\song.mp3");
  seen = RunOne(u"L*", u"", 1);  // the refined array is handed over
  EXPECT_EQ(seen, Expected(seen, {Found(1, 0)}));
  EXPECT_EQ(FirstHit(seen), u"C:\\Music\\LOUD.MP3");
  seen = RunOne(u"d.mp3;", u"C:\\nowhere");  // the hits, then the warning
  EXPECT_EQ(seen, Expected(seen, {{{NotifyState, StateResults}, {NotifyCount, 1}, {NotifyResults, kAny},
                                   {NotifyBadLocation, 0}}}));
}

// The list has not confirmed that it let go of the full result set (it may still be sorting it in
// place): a refine, which reads that set, is refused with warning 5 until the list answers again.
TEST_F(SearchThread, RefineRefusedWhileTheListMayHoldTheResults) {
  RunOne(u"*.mp3");
  threaded_->SetAckTimeout(150);
  sink_.SetAcknowledging(false);
  Notes seen = RunOne(u"L*", u"", 1);
  EXPECT_EQ(seen, Expected(seen, {{{NotifyState, StateNothingFound}, {NotifyRefineNoMemory, 0}}}));
  sink_.SetAcknowledging(true);
  seen = RunOne(u"L*", u"", 1);
  EXPECT_EQ(seen, Expected(seen, {Found(1, 0)}));
}

// A failure's box is shown once the cache lock is released: a modal box must not hold back the
// builder and the refreshes, which wait for that lock.
TEST_F(SearchThread, FailuresAreReportedAfterTheCacheLockIsReleased) {
  const struct {
    const char* what;
    std::function<void()> damage;
    std::u16string text;
  } cases[] = {
      {"a loop", [&] { image_.SetU32(image_.LinkOf(u"C:\\Music\\Old"), image_.BlockOf(u"C:\\Music")); }, u"damaged"},
      {"a missing file", [&] { context_.SetPath(cachePath_ + u".missing"); }, u" In CDBMapFile::OpenMapFile - 000"},
  };
  for (const auto& c : cases) {
    c.damage();
    Rewrite();
    std::vector<bool> lockFree;  // at each box: could a writer take the cache lock?
    RecordingMessages boxes([&] {
      std::thread writer([&] {
        bool free = context_.cacheLock.TryAcquire();
        if (free) context_.cacheLock.Release();
        lockFree.push_back(free);
      });
      writer.join();
    });
    Notes seen = RunOne(u"*");
    EXPECT_EQ(seen, Expected(seen, {{{NotifyState, StateNothingFound}, {NotifySearchNoMemory, 0}}})) << c.what;
    ASSERT_EQ(boxes.Count(), 1u) << c.what;
    EXPECT_TRUE(boxes.Contains(c.text)) << c.what;
    EXPECT_EQ(lockFree, std::vector<bool>{true}) << c.what << ": the box was shown under the cache lock";
  }
}

// While one search waits for the cache lock, three more requests arrive: the first search's
// results are never shown, and one further search runs, with the last request.
TEST_F(SearchThread, NewerRequestsOvertakeARunningSearch) {
  HoldCacheLockOverASearch(u"*");
  Submit(u"a.txt");
  Submit(u"z.mp3.mp3");
  Submit(u"d.mp3;");
  context_.cacheLock.Release();
  ASSERT_TRUE(sink_.WaitForRuns(1));
  os::Sleep(100);  // nothing else may follow
  Notes seen = sink_.Take();
  // On a slow machine the thread may not have taken the first request yet: it then runs only the last.
  if (seen.size() > kStart.size() + 5) seen.erase(seen.begin(), seen.begin() + 3);
  EXPECT_EQ(seen, Expected(seen, {Found(1, 7)}));
  EXPECT_EQ(FirstHit(seen), u"D:\\d.mp3");
}

// A request submitted (not yet signalled) while the results are handed over: the outcome of the
// older search is not posted, since a newer one is on its way; one that differs only in letter case
// is no change. One signalled during the first hand-over is the one the run applies, once.
TEST_F(SearchThread, RequestsArrivingDuringTheHandOver) {
  auto submitAt = [&](uint32_t code, intptr_t value, const std::u16string& pattern, bool signal) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    sink_.OnNotify([=, this](uint32_t c, intptr_t v) {
      if (c == code && (value == kAny ? v != 0 : v == value) && !done->exchange(true)) Submit(pattern, u"", 0, signal);
    });
  };
  submitAt(NotifyResults, kAny, u"something else", false);
  Submit(u"*.mp3");
  ASSERT_TRUE(sink_.WaitFor([](const Note& n) { return n.first == NotifyResults && n.second != 0; }));
  os::Sleep(200);
  Notes seen = sink_.Take();
  EXPECT_EQ(seen, Expected(seen, {{{NotifyState, StateResults}, {NotifyCount, 5}, {NotifyResults, kAny}}}));

  submitAt(NotifyResults, kAny, u"*.MP3", false);
  seen = RunOne(u"*.mp3");
  EXPECT_EQ(seen, Expected(seen, {Found(5, 25)}));

  submitAt(NotifyCount, 1, u"d.mp3;", true);
  seen = RunOne(u"*.mp3");
  os::Sleep(200);  // nothing else may follow
  EXPECT_EQ(sink_.Count(), 0u);
  EXPECT_EQ(seen, Expected(seen, {Found(1, 7)}));
}

// A stop ends the thread within its stop wait (a new one may start at once): idle, while it waits
// for an acknowledgement, while it walks a large tree; nothing is posted after the stop.
TEST_F(SearchThread, StopsPromptly) {
  auto stopQuickly = [&](const char* what) {
    threaded_->StopSearchThread();
    size_t after = sink_.Count();
    EXPECT_TRUE(threaded_->StartSearchThread()) << what << ": the thread outlived its stop";
    threaded_->StopSearchThread();
    EXPECT_EQ(sink_.Count(), after) << what;
  };
  EXPECT_FALSE(threaded_->StartSearchThread());
  stopQuickly("idle");
  threaded_->StopSearchThread();  // a second stop does nothing
  ASSERT_TRUE(threaded_->StartSearchThread());
  EXPECT_EQ(RunOne(u"d.mp3").size(), 8u);

  sink_.SetAcknowledging(false);  // waiting for the 100 s acknowledgement
  Submit(u"*");
  ASSERT_TRUE(sink_.WaitForCount());
  stopQuickly("awaiting the acknowledgement");
  EXPECT_EQ(threaded_->AckTimeouts(), 0u);
  sink_.SetAcknowledging(true, false);

  std::vector<Node> top;
  for (int i = 0; i < 300; ++i) {
    std::vector<Node> files;
    for (int k = 0; k < 500; ++k) files.push_back(File(u"file" + U16(std::to_string(k)) + u".dat", 1));
    top.push_back(Folder(u"d" + U16(std::to_string(i)), files));
  }
  Write(CacheImage::FromTree({{u'C', top}}));
  ASSERT_TRUE(threaded_->StartSearchThread());
  sink_.Take();
  Submit(u"*9*");
  ASSERT_TRUE(sink_.WaitForCount());
  stopQuickly("searching");
  threaded_.reset();  // frees whatever the run left
}

// The main window hangs: the thread goes on after each acknowledgement wait. Hand-overs that are
// answered late, that never arrived, or that a stopped thread awaited leave no later search waiting
// out its timeouts.
TEST_F(SearchThread, AcknowledgementNeverGiven) {
  threaded_->SetAckTimeout(150);
  sink_.SetAcknowledging(false);
  Notes first = RunOne(u"*.mp3");
  EXPECT_EQ(first, Expected(first, {Found(5, 25)}));
  auto* held = reinterpret_cast<const SearchResult*>(first[5].second);
  // The next search cannot know that the list let go of the first array, so the array stays
  // readable (AddressSanitizer would report a read of freed memory).
  RunOne(u"a.txt");
  EXPECT_EQ(std::u16string(held[4].path) + held[4].name, u"D:\\d.mp3");
  EXPECT_EQ(threaded_->AckTimeouts(), 4u);
  // The main window catches up and answers the four hand-overs late; from then on nothing waits.
  sink_.SetAcknowledging(true);
  RunOne(u"d.mp3");
  RunOne(u"z*");
  EXPECT_EQ(threaded_->AckTimeouts(), 4u) << "searches after the window caught up waited";

  // Posts that fail never reach the window: no acknowledgement is awaited for them, and the arrays
  // the list was not told to let go of are kept until a hand-over that arrived is answered.
  sink_.FailHandOvers(3);  // both hand-overs of the first search, the detaching one of the second
  for (const char16_t* pattern : {u"*.mp3", u"d.mp3", u"a.txt"}) RunOne(pattern);
  EXPECT_EQ(threaded_->AckTimeouts(), 4u) << "a failed post was waited for";

  // A stop while the thread waits for an acknowledgement; the closing window never answers that
  // hand-over: a new thread does not wait for it.
  threaded_->SetAckTimeout(SearchEngine::kAckWaitMs);
  sink_.SetAcknowledging(false);
  Submit(u"*");
  ASSERT_TRUE(sink_.WaitForCount());
  threaded_->StopSearchThread();
  EXPECT_EQ(threaded_->AckTimeouts(), 4u);
  sink_.Take();
  threaded_->SetAckTimeout(150);
  ASSERT_TRUE(threaded_->StartSearchThread());
  sink_.SetAcknowledging(true, false);
  RunOne(u"*.mp3");
  RunOne(u"d.mp3");
  EXPECT_EQ(threaded_->AckTimeouts(), 4u) << "a new thread waited for an old thread's hand-over";

  // Or it answers it after the restart: that acknowledgement answers no hand-over of the new thread.
  sink_.SetAcknowledging(false);
  RunOne(u"*");  // unanswered: two timeouts
  threaded_->StopSearchThread();
  ASSERT_TRUE(threaded_->StartSearchThread());
  sink_.SetAcknowledging(true);  // two late answers for the stopped thread
  sink_.SetAcknowledging(false);
  RunOne(u"d.mp3");
  EXPECT_EQ(threaded_->AckTimeouts(), 8u) << "a stale acknowledgement answered a new hand-over";
  sink_.SetAcknowledging(true);
}

// A stop whose wait runs out while the thread waits for the cache lock behind a writer: the thread
// keeps its object, no second thread starts beside it, it runs no search once it has the lock, and
// destroying the engine waits for it (AddressSanitizer would report the engine freed under it).
TEST_F(SearchThread, ThreadOutlivingItsStopWaitKeepsTheEngine) {
  threaded_->SetStopTimeout(50);
  HoldCacheLockOverASearch(u"*.mp3");
  threaded_->StopSearchThread();
  EXPECT_FALSE(threaded_->StartSearchThread()) << "a second thread beside one that still runs";
  sink_.Take();
  context_.cacheLock.Release();
  bool started = false;
  for (int i = 0; i < 500 && !(started = threaded_->StartSearchThread()); ++i) os::Sleep(10);
  ASSERT_TRUE(started) << "the stopped thread has ended, a new one may start";
  EXPECT_EQ(sink_.Count(), 0u);
  EXPECT_EQ(threaded_->LastWalkCount(), 0) << "the stopped thread searched after all";
  Notes seen = RunOne(u"d.mp3;");
  os::Sleep(100);  // one thread, one run
  EXPECT_EQ(sink_.Count(), 0u);
  EXPECT_EQ(seen, Expected(seen, {Found(1, 7)}));

  HoldCacheLockOverASearch(u"*.mp3");
  threaded_->StopSearchThread();
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    threaded_.reset();  // the program's exit
    destroyed.store(true);
  });
  os::Sleep(200);
  EXPECT_FALSE(destroyed.load()) << "the engine went while its thread still ran";
  context_.cacheLock.Release();
  destroyer.join();
  EXPECT_EQ(sink_.Take(), kStart);
}

}  // namespace
}  // namespace lvx::test
