// The walk over a buffer of change records (FILE_NOTIFY_INFORMATION layout, see platform/watch.h):
// each added, removed, modified or renamed-to entry names the folder that holds it, which is what
// gets refreshed. A plain function so that tests can feed it hand-made buffers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace lvx::indexer {

// NextEntryOffset, Action and FileNameLength: the bytes of a record before its name.
constexpr uint32_t kChangeRecordHeader = 12;

// For each record with action 1, 2, 3 or 5 (not 4, the old name of a rename): root + name, cut after
// its last backslash, converted to its long form; queueFolder receives it ending in '\\'. A folder
// that arrived (1 or 5) is first handed on as "*" + its path + '\\', a rescan of its subtree. A
// holding folder that no longer exists is skipped. Records that leave the buffer end the walk.
void WalkChangeRecords(const uint8_t* buffer, uint32_t bytes, const std::u16string& root,
                       const std::function<void(const std::u16string& folder)>& queueFolder);

}  // namespace lvx::indexer
