// The rows of the drive dialog: which drives are listed and how each one reads. Kept apart from the
// dialog so the listing can be driven by any drive source (the system's, or a test's).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lvx::dialogs {

// The name of a drive type number as the system reports it (0 "UNKNOWN" ... 6 "RAMDISK");
// "UNKNOWN" for a number outside the table.
const wchar_t* DriveTypeName(uint32_t type);

struct DriveRow {
  wchar_t letter = L'A';
  uint32_t type = 0;
  std::wstring drive;        // "C:    [Hard Disk]"
  std::wstring description;  // " System(C:)"
};

// What the system says about a drive root such as "C:\".
struct DriveProbe {
  std::function<uint32_t(const std::wstring& root)> type;    // a DRIVE_ number
  std::function<std::wstring(const std::wstring& root)> label;  // empty when there is none
};

// Only removable (2) and fixed (3) drives are listed: the others cannot be cached.
bool IsListedDriveType(uint32_t type);

// The first column: the drive and its type name, apart by blanks (a tab shows as a box in a list
// cell); the second: a blank, the label and the drive in brackets.
DriveRow MakeDriveRow(wchar_t letter, uint32_t type, const std::wstring& label);

// A to Z, the listed drives only, in letter order.
std::vector<DriveRow> ListDriveRows(const DriveProbe& probe);

// The system's drive types and volume labels.
DriveProbe SystemDriveProbe();

// The bit of a drive letter in a drive mask ((letter - 'A') modulo 32); 0 for anything but A to Z.
uint32_t DriveBit(wchar_t letter);

}  // namespace lvx::dialogs
