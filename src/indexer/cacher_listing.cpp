#include "indexer/cacher_listing.h"

#include <algorithm>
#include <chrono>

#include "platform/text.h"

namespace lvx::indexer {

namespace {
// Entries listed ahead and not yet written, at most (a few MB).
constexpr size_t kAheadEntries = 1u << 17;
}  // namespace

FolderPrefetcher::FolderPrefetcher(const std::atomic<bool>& paused, std::u16string excluded)
    : paused_(paused), excluded_(std::move(excluded)) {}

FolderPrefetcher::~FolderPrefetcher() { End(); }

int FolderPrefetcher::DefaultThreads() {
  unsigned cores = std::thread::hardware_concurrency();
  return int(std::clamp(cores, 2u, 4u));
}

FolderPrefetcher::Listing* FolderPrefetcher::Begin(const std::u16string& root, int threads) {
  End();
  std::lock_guard<std::mutex> hold(mutex_);
  quit_ = false;
  root_ = std::make_unique<Listing>();
  Listing* first = root_.get();
  first->path = root;
  queue_.push_back(first);
  for (int i = 0; i < threads; ++i) {
    auto thread = std::make_unique<os::Thread>([this] {
      Work();
      return 0u;
    });
    if (!thread->Start()) break;  // the writer lists what the others do not
    threads_.push_back(std::move(thread));
  }
  return first;
}

void FolderPrefetcher::End() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    quit_ = true;
  }
  work_.notify_all();
  for (auto& thread : threads_) thread->Join(os::kInfinite);
  threads_.clear();
  std::lock_guard<std::mutex> hold(mutex_);
  queue_.clear();
  root_.reset();
  buffered_ = 0;
}

bool FolderPrefetcher::Excluded(const std::u16string& path) const {
  return !excluded_.empty() && path.size() == excluded_.size() && CompareFolded(path.c_str(), excluded_.c_str()) == 0;
}

void FolderPrefetcher::List(Listing* folder, os::FolderListing* listing, bool helper) {
  if (!listing->Open(folder->path)) return;
  os::FolderEntry e;
  while (!(helper && quit_.load(std::memory_order_relaxed)) && listing->Next(&e)) {
    folder->entries.push_back(Entry{uint32_t(folder->names.size()), e.isFolder, e.sizeHigh, e.sizeLow, e.lastWriteTime});
    folder->names.append(e.name);
    folder->names.push_back(0);
  }
  listing->Close();
}

void FolderPrefetcher::Finish(Listing* folder) {
  folder->state = Listing::State::Done;
  buffered_ += folder->entries.size();
  size_t queued = 0;
  for (const Entry& e : folder->entries) {
    const char16_t* name = folder->names.c_str() + e.name;
    if (!e.isFolder || IsDotOrDotDot(name)) continue;
    folder->subfolders.push_back(std::make_unique<Listing>());
    Listing* sub = folder->subfolders.back().get();
    sub->path = folder->path + name + u'\\';
    // The writer walks the first subfolder's subtree next: the subfolders go first, in their order.
    if (!Excluded(sub->path)) queue_.insert(queue_.begin() + ptrdiff_t(queued++), sub);
  }
}

void FolderPrefetcher::Work() {
  os::FolderListing listing;
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    // A paused build is polled: its resume comes through an event of its own.
    const bool ready = work_.wait_for(hold, std::chrono::milliseconds(50), [this] {
      return quit_ || (!queue_.empty() && buffered_ < kAheadEntries && !paused_.load(std::memory_order_relaxed));
    });
    if (quit_) return;
    if (!ready) continue;
    Listing* folder = queue_.front();
    queue_.pop_front();
    folder->state = Listing::State::Busy;
    hold.unlock();
    List(folder, &listing, true);
    hold.lock();
    Finish(folder);
    done_.notify_all();
    if (!queue_.empty()) work_.notify_one();
  }
}

void FolderPrefetcher::Take(Listing* folder) {
  std::unique_lock<std::mutex> hold(mutex_);
  if (folder->state == Listing::State::Queued) {
    auto at = std::find(queue_.begin(), queue_.end(), folder);
    if (at != queue_.end()) queue_.erase(at);
    folder->state = Listing::State::Busy;
    hold.unlock();
    List(folder, &ownListing_, false);
    hold.lock();
    Finish(folder);
    if (!queue_.empty()) work_.notify_all();
  }
  done_.wait(hold, [folder] { return folder->state == Listing::State::Done; });
}

void FolderPrefetcher::Unlink(std::unique_lock<std::mutex>& hold, Listing* folder) {
  done_.wait(hold, [folder] { return folder->state != Listing::State::Busy; });
  if (folder->state == Listing::State::Queued) {
    auto at = std::find(queue_.begin(), queue_.end(), folder);
    if (at != queue_.end()) queue_.erase(at);
    return;  // no subfolders yet
  }
  buffered_ -= folder->entries.size();
  folder->entries.clear();
  for (auto& sub : folder->subfolders)
    if (sub) Unlink(hold, sub.get());
}

void FolderPrefetcher::Drop(Listing* folder, size_t k) {
  std::unique_ptr<Listing> gone;
  {
    std::unique_lock<std::mutex> hold(mutex_);
    if (k >= folder->subfolders.size() || !folder->subfolders[k]) return;
    Unlink(hold, folder->subfolders[k].get());
    gone = std::move(folder->subfolders[k]);
  }
  work_.notify_all();
}

void FolderPrefetcher::Release(Listing* folder) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    buffered_ -= folder->entries.size();
    std::vector<Entry>().swap(folder->entries);
    std::u16string().swap(folder->names);
  }
  work_.notify_all();
}

}  // namespace lvx::indexer
