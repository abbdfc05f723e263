#include "results/row_text.h"

#include "platform/local_time.h"
#include "platform/text.h"

namespace lvx::results {

const char16_t* StateText(int mode) {
  switch (mode) {
    case ModeSearching:
      return u"  Searching......";
    case ModeNothingFound:
      return u"  No Results Found.";
    case ModeCacheBuilding:
      return u" The search cache is being built now. It usually takes only 1-5 minutes. Please wait a moment.";
    case ModeCacheReady:
      return u"  The caching is finished! You can start searching now.  ";
    default:
      return nullptr;
  }
}

std::u16string SizeText(uint32_t sizeKB) { return FormatThousands(sizeKB) + u"KB"; }

std::u16string DateText(os::FileTime modified) {
  os::LocalTime local;
  if (!os::UtcToLocal(modified, &local)) return {};
  return Format("%4d-%02d-%02d %02d:%02d", local.year, local.month, local.day, local.hour, local.minute);
}

std::u16string TipText(const search::SearchResult& entry) {
  const char16_t* path = entry.path ? entry.path : u"";
  std::u16string text = entry.name ? entry.name : u"";
  if (*path) {
    text += u"\r\nLocation:  ";
    text += path;
    text += u"\r\nDate Modified :  ";
    text += DateText(entry.modified);
  } else {
    text += u"\r\nLocation:  My Computer ";
    text += u"\r\nModified Date:  N/A";
  }
  text += u"\r\nSize:  ";
  text += FormatThousands(entry.sizeKB);
  text += u" KB";
  return text;
}

bool RightTextNeedsEllipsis(int leftWidth, int rightWidth, int available, uint32_t* widest) {
  const int64_t sum = int64_t(leftWidth) + rightWidth;
  if (sum > int64_t(*widest)) *widest = uint32_t(sum + 10);
  return sum > available;
}

std::u16string IconDriveRoot(std::u16string_view path, std::u16string_view name) {
  if (path.empty()) return name.empty() ? std::u16string() : std::u16string(name) + u"\\";
  return std::u16string(1, path[0]) + u":\\";
}

namespace {

bool IsLocal(uint32_t type) {
  return type == DriveRemovable || type == DriveFixed || type == DriveCdRom || type == DriveRamDisk;
}

}  // namespace

IconPlan PlanIconLookup(std::u16string_view path, std::u16string_view name, bool isFolder, uint32_t driveType) {
  if (path.empty()) {
    // A drive entry: its name is "C:", and the shell knows the drive by its root.
    std::u16string root = std::u16string(name) + u"\\";
    if (IsLocal(driveType)) return {IconLookup::Real, root};
    if (isFolder && driveType != DriveNoRoot) return {IconLookup::FolderIcon, {}};
    return {IconLookup::ByAttributes, root};
  }
  if (IsLocal(driveType)) return {IconLookup::Real, std::u16string(path) + std::u16string(name)};
  if (isFolder) return {IconLookup::FolderIcon, {}};
  return {IconLookup::ByAttributes, std::u16string(name)};
}

}  // namespace lvx::results
