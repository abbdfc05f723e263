#include "platform/fault.h"

#include <atomic>
#include <mutex>

#include "platform/file.h"

namespace lvx::os::fault {
namespace {

struct Armed {
  int failAt = 0;     // call number that fails (0 = none)
  bool andAfter = false;
  uint32_t error = 0;
  int calls = 0;
};

std::mutex gMutex;
Armed gArmed[int(Op::kCount)];  // guarded by gMutex
std::atomic<bool> gAnyArmed{false};

}  // namespace

void FailNth(Op op, int n, uint32_t error) {
  std::lock_guard<std::mutex> hold(gMutex);
  Armed& a = gArmed[int(op)];
  a.failAt = a.calls + n;
  a.andAfter = false;
  a.error = error;
  gAnyArmed = true;
}

void FailFrom(Op op, int n, uint32_t error) {
  std::lock_guard<std::mutex> hold(gMutex);
  Armed& a = gArmed[int(op)];
  a.failAt = a.calls + n;
  a.andAfter = true;
  a.error = error;
  gAnyArmed = true;
}

void Reset() {
  std::lock_guard<std::mutex> hold(gMutex);
  for (Armed& a : gArmed) a = Armed{};
  gAnyArmed = true;  // keep counting calls after a reset
}

int Calls(Op op) {
  std::lock_guard<std::mutex> hold(gMutex);
  return gArmed[int(op)].calls;
}

bool ShouldFail(Op op) {
  // The program never arms the seam; until a test touches it, calls cost one relaxed load.
  if (!gAnyArmed.load(std::memory_order_relaxed)) return false;
  uint32_t error = 0;
  {
    std::lock_guard<std::mutex> hold(gMutex);
    Armed& a = gArmed[int(op)];
    ++a.calls;
    if (a.failAt == 0) return false;
    bool fail = a.andAfter ? a.calls >= a.failAt : a.calls == a.failAt;
    if (!fail) return false;
    error = a.error;
  }
  SetLastError(error);
  return true;
}

}  // namespace lvx::os::fault
