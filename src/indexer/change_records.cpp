#include "indexer/change_records.h"

#include <cstring>

#include "cache/format.h"
#include "platform/watch.h"

namespace lvx::indexer {

void WalkChangeRecords(const uint8_t* buffer, uint32_t bytes, const std::u16string& root,
                       const std::function<void(const std::u16string& folder)>& queueFolder) {
  uint32_t at = 0;
  std::u16string path;
  while (uint64_t(at) + 12 <= bytes) {
    uint32_t next = cache::LoadU32(buffer + at);
    uint32_t action = cache::LoadU32(buffer + at + 4);
    uint32_t nameBytes = cache::LoadU32(buffer + at + 8);
    if (nameBytes > bytes - at - 12) return;  // a record that leaves the buffer
    if (action == os::kActionAdded || action == os::kActionRemoved ||
        action == os::kActionModified || action == os::kActionRenamedNewName) {
      path.assign(root);
      size_t length = nameBytes / 2;
      for (size_t i = 0; i < length; ++i) path.push_back(char16_t(cache::LoadU16(buffer + at + 12 + 2 * i)));
      size_t slash = path.find_last_of(u'\\');
      if (slash != std::u16string::npos) {
        path.resize(slash + 1);
        std::u16string longForm = os::LongPathOf(path);
        if (!longForm.empty()) {
          if (longForm.back() != u'\\') longForm.push_back(u'\\');
          queueFolder(longForm);
        }
      }
    }
    if (next == 0 || next < 12) return;  // the last record, or one that would not move on
    if (uint64_t(at) + next >= bytes) return;
    at += next;
  }
}

uint32_t WriteChangeRecord(uint8_t* buffer, uint32_t action, const std::u16string& name, bool last) {
  uint32_t length = (12 + 2 * uint32_t(name.size()) + 3) & ~3u;
  std::memset(buffer, 0, length);
  cache::StoreU32(buffer, last ? 0 : length);
  cache::StoreU32(buffer + 4, action);
  cache::StoreU32(buffer + 8, 2 * uint32_t(name.size()));
  for (size_t i = 0; i < name.size(); ++i) cache::StoreU16(buffer + 12 + 2 * i, name[i]);
  return length;
}

}  // namespace lvx::indexer
