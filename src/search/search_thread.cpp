// The search thread and the hand-over of result arrays to the main window.
//
// Requests do not queue: the engine keeps the last submitted request, and the request event says
// that there is a newer one. For each request the thread posts (state searching), (results 0),
// (count 1) so that the list lets go of the previous array, and waits for the acknowledgement;
// it runs the search; unless a newer request arrived meanwhile, it posts (state nothing found), or
// (state results), (count n), (array), waits for the acknowledgement again, and ends with the
// outcome: (total size) and (elapsed), or a warning code.
//
// Every hand-over that asks for an acknowledgement is counted, and the main window's
// acknowledgements are counted too, so a late acknowledgement of an earlier hand-over is never
// taken for the current one. When the main window has not confirmed that it let go of the previous
// arrays, they are not freed but parked until a later hand-over is confirmed: a slow main window
// may keep reading an array it still holds.
#include "search/search_engine.h"

namespace lvx::search {

bool SearchEngine::StartSearchThread() {
  if (thread_ && thread_->Finished()) thread_.reset();  // a thread that outlived its stop has ended
  if (thread_) return false;
  requestEvent_.Reset();
  stop_.store(false);
  thread_ = std::make_unique<os::Thread>([this] { return ThreadProc(); });
  if (!thread_->Start()) {
    thread_.reset();
    return false;
  }
  return true;
}

void SearchEngine::StopSearchThread() {
  if (!thread_) return;
  stop_.store(true);
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

void SearchEngine::Acknowledge() {
  acks_.fetch_add(1, std::memory_order_acq_rel);
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

// Waits for the acknowledgement of the hand-over just posted; false when it did not come in time
// (the thread then goes on as if it had) or the thread is being stopped.
bool SearchEngine::AwaitAcknowledgement() {
  const uint32_t expected = ++acksExpected_;
  const uint32_t start = os::TickCount();
  while (int32_t(acks_.load(std::memory_order_acquire) - expected) < 0) {
    if (stop_.load()) return false;
    uint32_t waited = os::TickCount() - start;
    if (waited >= ackTimeout_) return false;
    ackEvent_.Wait(ackTimeout_ - waited);
  }
  return true;
}

uint32_t SearchEngine::ThreadProc() {
  for (;;) {
    requestEvent_.Wait(os::kInfinite);
    if (stop_.load()) return 0;

    Post(NotifyState, StateSearching);
    Post(NotifyResults, 0);
    Post(NotifyCount, 1);
    const bool released = AwaitAcknowledgement();
    if (stop_.load()) return 0;
    if (released) ReleaseParked();
    holdReleases_ = !released;

    ApplyRequest();
    const bool wasEmpty = pattern_.empty();
    if (wasEmpty) pattern_.assign(1, u';');
    int outcome;
    if (!refine_) {
      os::LockGuard hold(context_.cacheLock);
      if (stop_.load()) return 0;  // stopped while a writer held the cache
      outcome = RunSearch(pattern_, location_);
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
    const uint32_t total = refine_ ? refinedTotal_ : totalSize_;
    if (outcome == -1) {
      count = 0;
      array = nullptr;
    }
    if (stop_.load()) return 0;
    if (count == 0) {
      Post(NotifyState, StateNothingFound);
    } else {
      Post(NotifyState, StateResults);
      Post(NotifyCount, intptr_t(count));
      Post(NotifyResults, reinterpret_cast<intptr_t>(array));
    }
    AwaitAcknowledgement();
    if (stop_.load()) return 0;

    if (outcome == -1) {
      Post(refine_ ? NotifyRefineNoMemory : NotifySearchNoMemory, 0);
    } else if (outcome == -2) {
      Post(NotifyBadLocation, 0);
    } else if (!(RequestChangedSince() && !wasEmpty)) {
      Post(NotifyTotalSize, intptr_t(total));
      Post(NotifyElapsed, intptr_t(endTick_ - startTick_));
    }
  }
}

}  // namespace lvx::search
