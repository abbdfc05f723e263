// The backends' part of Thread::JoinDispatching; not part of the layer's interface.
#pragma once

#include <cstdint>
#include <thread>

namespace lvx::os {

// Waits up to the time for the thread to end while the calling thread's window messages keep
// being dispatched; true once it has ended. Where there are no window messages, true at once (the
// plain join that follows does the waiting).
bool WaitDispatching(std::thread& thread, uint32_t milliseconds);

}  // namespace lvx::os
