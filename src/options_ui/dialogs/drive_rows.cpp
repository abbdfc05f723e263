#include "options_ui/dialogs/drive_rows.h"

#include "framework/win_api.h"

namespace lvx::dialogs {

const wchar_t* DriveTypeName(uint32_t type) {
  static const wchar_t* const kNames[] = {L"UNKNOWN",      L"NO_ROOT_DIR", L"Removable Disk", L"Hard Disk",
                                          L"Network Drive", L"CDROM",      L"RAMDISK"};
  return type < std::size(kNames) ? kNames[type] : kNames[0];
}

bool IsListedDriveType(uint32_t type) { return type == DRIVE_REMOVABLE || type == DRIVE_FIXED; }

DriveRow MakeDriveRow(wchar_t letter, uint32_t type, const std::wstring& label) {
  DriveRow row;
  row.letter = letter;
  row.type = type;
  std::wstring drive = {letter, L':'};
  row.drive = drive + L"    [" + DriveTypeName(type) + L"]";
  row.description = L" " + label + L"(" + drive + L")";
  return row;
}

std::vector<DriveRow> ListDriveRows(const DriveProbe& probe) {
  std::vector<DriveRow> rows;
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    std::wstring root = {letter, L':', L'\\'};
    uint32_t type = probe.type(root);
    if (!IsListedDriveType(type)) continue;
    rows.push_back(MakeDriveRow(letter, type, probe.label(root)));
  }
  return rows;
}

DriveProbe SystemDriveProbe() {
  DriveProbe probe;
  probe.type = [](const std::wstring& root) { return uint32_t(::GetDriveTypeW(root.c_str())); };
  probe.label = [](const std::wstring& root) {
    // An empty removable drive asks to have a disk inserted unless told not to.
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    wchar_t label[MAX_PATH + 1] = {};
    BOOL ok = ::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
    ::SetErrorMode(oldMode);
    return ok ? std::wstring(label) : std::wstring();
  };
  return probe;
}

uint32_t DriveBit(wchar_t letter) {
  if (letter < L'A' || letter > L'Z') return 0;
  return 1u << ((letter - L'A') % 32);
}

}  // namespace lvx::dialogs
