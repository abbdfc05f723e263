// The data folders and the settings files in them, and the release of the default files at start.
//
// Every INI file is UTF-16LE with a byte-order mark; the defaults are carried in the program as
// "RT_INIFILE" resources (179: [FILEVER] only, used for skininfo, installinfo and installdata;
// 180: stateinfo; 181: settings). A kept file must exist, start with FF FE and carry [FILEVER]
// VER >= 16000; anything else is replaced by its default, so a file from an older program or one
// saved as ANSI by hand never reaches the readers. settings.ini follows the same rule, which keeps
// the user's options, histories, drives and toolbar across restarts. A file that exists but cannot
// be opened at start (held by another program) is kept as it is, never taken for a stale one.
#pragma once

#include <cstdint>
#include <string>

namespace lvx::shell {

constexpr char16_t kProductWord[] = u"Lumivex";
constexpr char16_t kIniResourceType[] = u"RT_INIFILE";
constexpr uint16_t kResFileVersionIni = 179;
constexpr uint16_t kResStateIni = 180;
constexpr uint16_t kResSettingsIni = 181;
constexpr int kKeptFileVersion = 16000;

// Folder paths have no trailing backslash; file paths are folder + "\" + name.
struct SettingsPaths {
  std::u16string userDataFolder;    // CSIDL_APPDATA\Lumivex Data
  std::u16string commonDataFolder;  // CSIDL_COMMON_APPDATA\Lumivex Data
  std::u16string programFolder;     // the folder of the program file (the working directory)
  std::u16string settings, stateInfo, skinInfo, installInfo, update, tmpUpdate, fontInfo;  // user
  std::u16string installData;                                                            // common
};

// The process-wide paths, fixed once at start by ReleaseDefaultSettings (before any worker thread
// exists) and only read afterwards.
const SettingsPaths& Paths();
void SetProgramFolder(const std::u16string& folder);

// Computes the data folders from the shell ("%s Data" with the product word), creates them when
// missing and releases the default files. On failure the reason has been shown through the error
// box and the start must end.
bool ReleaseDefaultSettings(const std::u16string& product = kProductWord);
// The same with the two folders given (a portable install, the tests).
bool ReleaseDefaultSettingsIn(const std::u16string& userFolder, const std::u16string& commonFolder);

// Writes resource id of the type, unchanged, into a file created anew.
bool ReleaseResourceFile(const std::u16string& path, uint16_t id, const std::u16string& type = kIniResourceType);
// The first two bytes are FF FE.
bool IsUnicodeFile(const std::u16string& path);
// [FILEVER] VER (read default "0") is below version.
bool IsOlderThan(const std::u16string& path, int version);
// The attribute lookup succeeds, or fails with another error than file- or path-not-found.
bool FileExists(const std::u16string& path);
// Creates a folder and its missing parents. Takes a drive-letter path ("C:\...") or a network path
// ("\\server\share\..."), at most 259 characters.
bool MakeDirectoryPath(const std::u16string& path);

}  // namespace lvx::shell
