// The search thread and the hand-over of result arrays to the main window.
//
// Requests do not queue: the engine keeps the last submitted request, and the request event says
// that there is a newer one. For each request the thread posts (state searching), (results 0),
// (count 1) so that the list lets go of the previous array, and waits for the acknowledgement;
// it runs the search; unless a newer request arrived meanwhile, it posts (state nothing found), or
// (state results), (count n), (array), waits for the acknowledgement again, and ends with the
// outcome: (total size) and (elapsed), or a warning code.
//
// Every hand-over that reached the main window is counted, and the main window's acknowledgements
// are counted too, so a late acknowledgement of an earlier hand-over is never taken for the current
// one. A hand-over whose post failed never arrives and is not counted; an acknowledgement with no
// hand-over outstanding is dropped; a new thread awaits none of the hand-overs of a stopped one. So
// one lost message cannot leave every later search waiting out its timeouts. When the main window
// has not confirmed that it let go of the previous arrays, they are not freed but parked until a
// later hand-over is confirmed: a slow main window may keep reading an array it still holds.
#include "platform/message.h"
#include "search/search_engine.h"

#include <limits>

namespace lvx::search {

bool SearchEngine::StartSearchThread() {
  if (thread_ && thread_->Finished()) thread_.reset();  // a thread that outlived its stop has ended
  if (thread_) return false;
  requestEvent_.Reset();
  ackEvent_.Reset();
  stop_.store(false);
  handOvers_.store(acks_.load());  // what a stopped thread still awaited will not be awaited
  thread_ = std::make_unique<os::Thread>([this] { return ThreadProc(); });
  if (!thread_->Start()) {
    thread_.reset();
    return false;
  }
  return true;
}

// Also ends a walk that runs on the caller's own thread (RunSearch called directly): the next
// StartSearchThread clears the flag.
void SearchEngine::StopSearchThread() {
  stop_.store(true);
  if (!thread_) return;
  requestEvent_.Set();
  ackEvent_.Set();  // a thread waiting for an acknowledgement stops waiting
  // A thread that does not end in time keeps its object (see thread_).
  if (thread_->JoinDispatching(stopTimeout_)) thread_.reset();
}

void SearchEngine::SubmitRequest(const SearchRequest& request) {
  os::LockGuard hold(requestLock_);
  submitted_ = request;
}

void SearchEngine::SignalRequest() { requestEvent_.Set(); }

// An acknowledgement with no hand-over outstanding (a repeat, or a late one for a stopped thread's
// hand-over) is dropped: counted, it would answer the next hand-over before the list has taken it.
void SearchEngine::Acknowledge() {
  uint32_t given = acks_.load();
  while (int32_t(given - handOvers_.load()) < 0)
    if (acks_.compare_exchange_weak(given, given + 1)) break;
  ackEvent_.Set();
}

bool SearchEngine::RequestChangedSince() {
  std::u16string submitted;
  {
    os::LockGuard hold(requestLock_);
    submitted = submitted_.pattern;
  }
  return FoldQuery(submitted) != pattern_;
}

void SearchEngine::Post(uint32_t code, intptr_t value) {
  if (sink_) sink_->Notify(code, value);
}

// Posts a notification that the main window acknowledges; false when it could not be delivered.
bool SearchEngine::PostHandOver(uint32_t code, intptr_t value) {
  if (!sink_) return false;
  handOvers_.fetch_add(1);  // before the post: the main window may answer before it returns
  if (sink_->NotifyHandOver(code, value)) return true;
  handOvers_.fetch_sub(1);
  return false;
}

// Waits for the acknowledgement of every hand-over delivered so far; false when it did not come
// in time (the thread then goes on as if it had) or the thread is being stopped.
bool SearchEngine::AwaitAcknowledgement() {
  const uint32_t expected = handOvers_.load();
  const uint32_t start = os::TickCount();
  while (int32_t(acks_.load() - expected) < 0) {
    if (stop_.load()) return false;
    uint32_t waited = os::TickCount() - start;
    if (waited >= ackTimeout_) {
      ackTimeouts_.fetch_add(1);
      return false;
    }
    ackEvent_.Wait(ackTimeout_ - waited);
  }
  return true;
}

uint32_t SearchEngine::ThreadProc() {
  for (;;) {
    if (!requestEvent_.Wait(kIdleLetGoMs)) {
      LetGo();
      requestEvent_.Wait(os::kInfinite);
    }
    if (stop_.load()) return 0;

    Post(NotifyState, StateSearching);
    const bool delivered = PostHandOver(NotifyResults, 0);
    Post(NotifyCount, 1);
    // A detaching post that never arrived leaves the list holding the previous arrays.
    const bool released = delivered && AwaitAcknowledgement();
    if (stop_.load()) return 0;
    if (released) ReleaseParked();
    holdReleases_ = !released;

    // ApplyRequest takes the newest request: one signalled since the wake-up is served by this run.
    requestEvent_.Wait(0);
    ApplyRequest();
    const bool wasEmpty = pattern_.empty();
    if (wasEmpty) pattern_.assign(1, u';');
    int outcome;
    if (!refine_) {
      {
        // A box from opening the file waits until the lock is released: a modal box must not hold
        // back the builder and the refreshes.
        os::DeferredMessages afterTheLock;
        os::LockGuard hold(context_.cacheLock);
        if (stop_.load()) return 0;  // stopped while a writer held the cache
        outcome = RunSearch(pattern_, location_);
      }
      ShowFailure();
    } else {
      outcome = RefineResults(pattern_);
    }
    holdReleases_ = false;

    if (requestEvent_.Wait(0)) {
      requestEvent_.Set();  // the poll consumed the newer request's signal
      continue;
    }
    uint32_t count = refine_ ? refinedCount_ : resultCount_;
    SearchResult* array = refine_ ? refined_ : results_;
    const uint64_t total = refine_ ? refinedTotal_ : totalSize_;
    if (outcome == -1) {
      count = 0;
      array = nullptr;
    }
    if (stop_.load()) return 0;
    bool handed;
    if (count == 0) {
      handed = PostHandOver(NotifyState, StateNothingFound);
    } else {
      Post(NotifyState, StateResults);
      Post(NotifyCount, intptr_t(count));
      handed = PostHandOver(NotifyResults, reinterpret_cast<intptr_t>(array));
    }
    // Once the list has taken this run's array (or none), it holds none of the parked ones.
    if (handed && AwaitAcknowledgement()) ReleaseParked();
    if (stop_.load()) return 0;

    if (outcome == -1) {
      Post(refine_ ? NotifyRefineNoMemory : NotifySearchNoMemory, 0);
    } else if (outcome == -2) {
      Post(NotifyBadLocation, 0);
    } else if (!(RequestChangedSince() && !wasEmpty)) {
      postedTotal_.store(total);
      const uint64_t widest = uint64_t(std::numeric_limits<intptr_t>::max());
      Post(NotifyTotalSize, intptr_t(total < widest ? uint64_t(total) : widest));
      Post(NotifyElapsed, intptr_t(endTick_ - startTick_));
    }
  }
}

}  // namespace lvx::search
