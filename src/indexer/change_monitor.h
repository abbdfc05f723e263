// The change monitor: a DriveWatcher and a CLocationRefresher per drive letter, and the operations
// the main window uses to start and stop them. All called on the main thread.
#pragma once

#include <array>
#include <memory>

#include "indexer/drive_watcher.h"
#include "indexer/location_refresher.h"
#include "indexer/stop_wait.h"
#include "platform/text.h"

namespace lvx::indexer {

class ChangeMonitor {
 public:
  explicit ChangeMonitor(cache::CacheContext& context);
  ~ChangeMonitor();

  void SetSinks(cache::IStatusSink* status, cache::INotifySink* notify);
  CLocationRefresher& Refresher(char16_t letter) { return *refreshers_[Slot(letter)]; }

  // Fixed drives are watched in any case, network drives when selected in the mask, others never.
  void StartWatchers(uint32_t driveMask);
  // Lets the watchers read what the system has reported (Settle), then wakes every watcher and
  // waits up to kStopWaitMs in all for them to end.
  void StopWatchers();
  void StartDrains(uint32_t driveMask);
  // Stops every drain thread, waiting up to kStopWaitMs while dispatching the caller's window
  // messages.
  void StopDrains();
  // How long StopWatchers and StopDrains wait (kStopWaitMs unless set).
  void SetStopWait(uint32_t milliseconds) { stopWaitMs_ = milliseconds; }
  bool AnyWatcherRunning() const;
  bool Watching(char16_t letter) const { return watchers_[Slot(letter)]->Running(); }
  bool AnyDrainRunning() const;

  // Keeps every queued request in the pending file beside the cache file (no file when none is
  // queued); called once the drains and watchers have stopped. When the file cannot be written, the
  // drives with requests are marked busy in the cache file, so that the next start offers a rebuild.
  // 0, or -1 (reported).
  int SavePending();
  // Queues the requests of the pending file ahead of anything else and writes the file again from
  // the queues, so that a stop without SavePending still finds them. A damaged file is reported,
  // and every drive in driveMask is rescanned instead. 0, or -1 when the file was damaged.
  int ApplyPending(uint32_t driveMask);

 private:
  // Drive letters in either case; anything else is refused by the callers' contract (A is used).
  static size_t Slot(char16_t letter) {
    int index = DriveIndex(letter);
    return index < 0 ? 0 : size_t(index);
  }

  void Report(const std::u16string& text);
  // Waits, up to kSettleMs, until every running watcher waits inside one read, that is, has read
  // every change reported so far. A watcher that does not get there may leave changes unread: its
  // drive gets a silent rescan instead.
  void Settle();
  static constexpr uint32_t kSettleMs = 3000, kSettleSampleMs = 50;

  cache::CacheContext& context_;
  cache::IStatusSink* status_ = nullptr;
  uint32_t stopWaitMs_ = kStopWaitMs;
  // Destroyed in reverse: the watchers, which queue into the refreshers, end first.
  std::array<std::unique_ptr<CLocationRefresher>, 26> refreshers_;
  std::array<std::unique_ptr<DriveWatcher>, 26> watchers_;
};

}  // namespace lvx::indexer
