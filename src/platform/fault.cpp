#include "platform/fault.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace lvx::os::fault {
namespace {

// failAt: the number of the call that fails (0 = none).
struct Armed { int failAt = 0, calls = 0; bool andAfter = false; Error error = Error::None; };

std::mutex gMutex;
Armed gArmed[int(Op::kCount)];  // guarded by gMutex
std::atomic<bool> gAnyArmed{false};
int gExitAt = 0, gExitCode = 0, gAllCalls = 0;  // guarded by gMutex

void Arm(Op op, int n, Error error, bool andAfter) {
  std::lock_guard<std::mutex> hold(gMutex);
  gArmed[int(op)] = {gArmed[int(op)].calls + n, gArmed[int(op)].calls, andAfter, error};
  gAnyArmed = true;
}

}  // namespace

void FailNth(Op op, int n, Error error) { Arm(op, n, error, false); }
void FailFrom(Op op, int n, Error error) { Arm(op, n, error, true); }
void Reset() {
  std::lock_guard<std::mutex> hold(gMutex);
  for (Armed& a : gArmed) a = Armed{};
  gExitAt = gAllCalls = 0;
  gAnyArmed = true;  // keep counting calls after a reset
}

void ExitAt(int n, int exitCode) {
  std::lock_guard<std::mutex> hold(gMutex);
  gExitAt = gAllCalls + n, gExitCode = exitCode, gAnyArmed = true;
}

int Calls(Op op) { std::lock_guard<std::mutex> hold(gMutex); return gArmed[int(op)].calls; }

bool ShouldFail(Op op) {
  // The program never arms the seam; until a test touches it, calls cost one relaxed load.
  if (!gAnyArmed.load(std::memory_order_relaxed)) return false;
  Error error;
  {
    std::lock_guard<std::mutex> hold(gMutex);
    Armed& a = gArmed[int(op)];
    ++a.calls;
    if (++gAllCalls == gExitAt) std::_Exit(gExitCode);
    if (a.failAt == 0 || a.calls < a.failAt || (!a.andAfter && a.calls > a.failAt)) return false;
    error = a.error;
  }
  SetLastError(CodeOf(error));
  return true;
}

}  // namespace lvx::os::fault
