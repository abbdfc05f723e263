#include "indexer/change_records.h"

#include "cache/format.h"
#include "platform/file.h"
#include "platform/watch.h"

namespace lvx::indexer {

void WalkChangeRecords(const uint8_t* buffer, uint32_t bytes, const std::u16string& root,
                       const std::function<void(const std::u16string& folder)>& queueFolder) {
  uint32_t at = 0;
  std::u16string path;
  while (uint64_t(at) + kChangeRecordHeader <= bytes) {
    uint32_t next = cache::LoadU32(buffer + at);
    uint32_t action = cache::LoadU32(buffer + at + 4);
    uint32_t nameBytes = cache::LoadU32(buffer + at + 8);
    if (nameBytes > bytes - at - kChangeRecordHeader) return;  // a record that leaves the buffer
    if (action == os::kActionAdded || action == os::kActionRemoved ||
        action == os::kActionModified || action == os::kActionRenamedNewName) {
      path.assign(root);
      size_t length = nameBytes / 2;
      const uint8_t* name = buffer + at + kChangeRecordHeader;
      for (size_t i = 0; i < length; ++i) path.push_back(char16_t(cache::LoadU16(name + 2 * i)));
      size_t slash = path.find_last_of(u'\\');
      if (slash != std::u16string::npos) {
        std::u16string name = path.substr(slash + 1);
        bool arrived = action == os::kActionAdded || action == os::kActionRenamedNewName;
        bool folderArrived = arrived && !name.empty() && os::KindOf(path) == os::PathKind::Folder;
        path.resize(slash + 1);
        std::u16string longForm = os::LongPathOf(path);
        if (!longForm.empty()) {
          if (longForm.back() != u'\\') longForm.push_back(u'\\');
          // What was put into a folder before its watch was ready is reported nowhere, and the
          // holding folder's refresh keeps a folder it has cached already: rescan the folder itself.
          // Queued first, it costs nothing when the folder is new to the cache (not found there);
          // the holding folder's refresh then scans it whole.
          if (folderArrived) queueFolder(u'*' + longForm + name + u'\\');
          queueFolder(longForm);
        }
      }
    }
    // The last record, or one that would not move on.
    if (next == 0 || next < kChangeRecordHeader) return;
    if (uint64_t(at) + next >= bytes) return;
    at += next;
  }
}

}  // namespace lvx::indexer
