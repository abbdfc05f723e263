// POSIX has no window messages: the dispatching join is the plain one.
#include "platform/thread_wait.h"

namespace lvx::os {

bool WaitDispatching(std::thread&, uint32_t) { return true; }

}  // namespace lvx::os
