// What a volume arriving or going away while the program runs does to the active drive mask. With
// AutoSelRemovable off the letters of the volume only leave the mask (in memory, on arrival and on
// removal alike); with it on an arriving fixed or removable drive joins the mask, and the caller
// writes the mask back, starts the change monitor for it and queues a refresh of each joined root.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace lvx::shell {

enum class VolumeEvent { Arrival, Removal };

struct VolumeOutcome {
  uint32_t mask = 0;    // the active drive mask after the event
  uint32_t joined = 0;  // the drives that joined it: the mask is stored and their roots refreshed
};

// unitMask: bit i for drive letter 'A' + i, as the system reports the volume (bits past Z are
// ignored). driveType gives the Win32 drive type (2 removable, 3 fixed) of a root such as "E:\".
VolumeOutcome ApplyVolumeEvent(uint32_t active, VolumeEvent event, uint32_t unitMask, bool autoSelect,
                               const std::function<uint32_t(const std::u16string& root)>& driveType);

// The refresh request for a drive's root: "@E:\" lists the root again and keeps what still exists.
std::u16string RootRefreshRequest(int driveIndex);

}  // namespace lvx::shell
