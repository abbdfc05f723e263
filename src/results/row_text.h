// The texts and small rules of the results list that need no window: the state rows, the size and
// date texts of a row, the tooltip text, the fitting of two texts on one line, the row height and
// the choice of how an entry's icon is looked up. The list draws with them; tests check them natively.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "search/search_types.h"

namespace lvx::results {

enum ListMode : int {
  ModeNone = 0,  // nothing is drawn
  ModeResults = 1,
  ModeSearching = 2,
  ModeNothingFound = 3,
  ModeCacheBuilding = 4,
  ModeCacheReady = 5,
};

// The one row shown in a state mode; null for ModeNone, ModeResults and unknown values.
const char16_t* StateText(int mode);

// "1,234KB": the size as the first line shows it.
std::u16string SizeText(uint32_t sizeKB);
// "2024-03-07 09:05": the local wall-clock time of a UTC file time; empty when it has none.
std::u16string DateText(os::FileTime modified);
// The tip of a row: name, location, date and size on four lines ("\r\n" between them). A drive
// entry (empty path) has "My Computer" as its location and no date.
std::u16string TipText(const search::SearchResult& entry);

// One text line holds a left text (name or folder) and a right text (size or date). Returns true
// when both do not fit in the available width, so that the right text is to carry "... " in front
// and the left one ends where it begins. *widest grows to the pair's width + 10 when the pair is
// wider than it was (a divider double-click sizes the column to it).
bool RightTextNeedsEllipsis(int leftWidth, int rightWidth, int available, uint32_t* widest);
constexpr char16_t kEllipsisPrefix[] = u"... ";

// Two text lines and a 4-pixel margin.
inline int RowHeight(int charHeight, int externalLeading) { return (charHeight + externalLeading) * 2 + 4; }

// How the icon of an entry is found. Real asks the shell about the existing item; ByAttributes
// asks what an item of that name would show, without touching the disk; FolderIcon takes the
// generic folder icon. Only local drives are asked for real, so network and missing drives never
// stall the lookup.
enum class IconLookup { Real, ByAttributes, FolderIcon };
struct IconPlan {
  IconLookup how;
  std::u16string text;  // the path or name that is looked up
};

// Drive types as the system reports them.
enum DriveType : uint32_t {
  DriveUnknown = 0,
  DriveNoRoot = 1,
  DriveRemovable = 2,
  DriveFixed = 3,
  DriveRemote = 4,
  DriveCdRom = 5,
  DriveRamDisk = 6,
};

// The root whose type decides the lookup: "X:\" from the folder path, or the drive entry's own
// name ("C:") with a backslash. Empty for an entry without either.
std::u16string IconDriveRoot(std::u16string_view path, std::u16string_view name);
IconPlan PlanIconLookup(std::u16string_view path, std::u16string_view name, bool isFolder, uint32_t driveType);

}  // namespace lvx::results
