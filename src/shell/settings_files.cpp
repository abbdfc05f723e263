#include "shell/settings_files.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/file.h"
#include "platform/message.h"
#include "shell/ini_store.h"
#include "shell/ini_values.h"
#include "shell/version.h"
#include "shell/win_text.h"

namespace lvx::shell {
namespace {

SettingsPaths gPaths;  // written at start before any worker exists, read-only afterwards

constexpr size_t kMaxPathChars = 259;

bool ShellFolder(int csidl, std::u16string* out) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return false;
  *out = FromW(path);
  return !out->empty();
}

bool IsFolder(const std::u16string& path) { return os::KindOf(path) == os::PathKind::Folder; }

void FixPaths(const std::u16string& user, const std::u16string& common) {
  gPaths.userDataFolder = user;
  gPaths.commonDataFolder = common;
  gPaths.settings = user + u"\\settings.ini";
  gPaths.stateInfo = user + u"\\stateinfo.ini";
  gPaths.skinInfo = user + u"\\skininfo.ini";
  gPaths.installInfo = user + u"\\installinfo.ini";
  gPaths.update = user + u"\\update.ini";
  gPaths.tmpUpdate = user + u"\\tmpupdate.ini";
  gPaths.fontInfo = user + u"\\fontinfo.ini";
  gPaths.installData = common + u"\\installdata.ini";
}

// Whether a file must be replaced by its default: it is missing, or it was read and found to be no
// Unicode file or of an older version. A file that cannot be opened or read (another program holds
// it without shared read) is kept: it may hold the user's options and histories, and meanwhile the
// readers fall back to their defaults. Something else at the file's path (a folder) is replaced,
// which fails and stops the start with its message.
bool MustReplace(const std::u16string& path) {
  os::PathKind kind = os::KindOf(path);
  if (kind == os::PathKind::Missing || kind == os::PathKind::Folder) return true;
  os::File file = os::OpenToRead(path);
  if (!file.IsOpen()) return os::ErrorOf(os::LastError()) == os::Error::NotFound;
  unsigned char mark[2] = {};
  uint32_t read = 0;
  bool replace = false;
  if (os::ReadFrom(file, mark, 2, &read)) {
    // The version is read while the handle is still open, so that no other program can take the
    // file for itself between the two reads.
    replace = read < 2 || mark[0] != 0xFF || mark[1] != 0xFE || IsOlderThan(path, kKeptFileVersion);
  }
  os::Close(file);
  return replace;
}

bool ReleaseUnlessKept(const std::u16string& path, uint16_t id) {
  return !MustReplace(path) || ReleaseResourceFile(path, id);
}

// installinfo.ini Info/InstallDoneFor: the program version whose install bookkeeping this user has
// done although installdata.ini could not record it (a machine-wide file the installer wrote as
// administrator and this user may only read).
constexpr char16_t kInstallDoneKey[] = u"InstallDoneFor";

// First start after an install (no installdata.ini) or an installer-marked upgrade: the per-user
// files are reset so the first update check says which of the two it is. Failures here are not
// fatal; the next start simply repeats the bookkeeping. When installdata.ini cannot take
// "Installed", the per-user note stands in for it, so each user's options and check state are
// reset once for this version rather than at every start.
void InstallBookkeeping() {
  const SettingsPaths& p = gPaths;
  std::u16string installType;
  bool fresh = !FileExists(p.installData);
  if (fresh)
    installType = u"NewInstall";
  else if (EqualsFolded(ReadIniString(u"INSTALLINFO", u"InstallType", p.installData, u"Upgrade"), u"Upgrade"))
    installType = u"Upgrade";
  else
    return;
  if (ReadIniString(u"Info", kInstallDoneKey, p.installInfo, u"") == kRunningVersion) return;
  bool released = ReleaseResourceFile(p.installInfo, kResFileVersionIni);
  if (released) {
    WriteIniString(u"Info", u"IsChecked", u"FALSE", p.installInfo);
    WriteIniString(u"Info", u"InstallType", installType, p.installInfo);
  }
  WriteIniString(u"OPTIONS", u"CHECKUPDATE", u"1", p.settings);
  bool recorded = (!fresh || ReleaseResourceFile(p.installData, kResFileVersionIni)) &&
                  WriteIniString(u"INSTALLINFO", u"InstallType", u"Installed", p.installData);
  if (!recorded && released) WriteIniString(u"Info", kInstallDoneKey, kRunningVersion, p.installInfo);
}

}  // namespace

const SettingsPaths& Paths() { return gPaths; }

void SetProgramFolder(const std::u16string& folder) { gPaths.programFolder = folder; }

bool ReleaseDefaultSettings(const std::u16string& product) {
  std::u16string appData, commonAppData;
  if (!ShellFolder(CSIDL_APPDATA, &appData)) {
    os::ErrorBox(u"Can not load the application data directory");
    return false;
  }
  if (!ShellFolder(CSIDL_COMMON_APPDATA, &commonAppData)) {
    os::ErrorBox(u"Can not load the application common data directory");
    return false;
  }
  std::u16string folder = u"\\" + product + u" Data";
  return ReleaseDefaultSettingsIn(appData + folder, commonAppData + folder);
}

bool ReleaseDefaultSettingsIn(const std::u16string& userFolder, const std::u16string& commonFolder) {
  if (!IsFolder(userFolder) && !MakeDirectoryPath(userFolder)) {
    os::ErrorBox(u"Can not create the application data directory");
    return false;
  }
  if (!IsFolder(commonFolder) && !MakeDirectoryPath(commonFolder)) {
    os::ErrorBox(u"Can not create the application common data directory");
    return false;
  }
  FixPaths(userFolder, commonFolder);
  if (!ReleaseUnlessKept(gPaths.settings, kResSettingsIni) ||
      !ReleaseUnlessKept(gPaths.skinInfo, kResFileVersionIni) ||
      !ReleaseUnlessKept(gPaths.stateInfo, kResStateIni)) {
    os::ErrorBox(u"Can not release the default settings");
    return false;
  }
  InstallBookkeeping();
  return true;
}

bool ReleaseResourceFile(const std::u16string& path, uint16_t id, const std::u16string& type) {
  HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), W(type));
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  DWORD size = SizeofResource(nullptr, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return false;
  os::File file = os::CreateAnew(path);
  if (!file.IsOpen()) return false;
  bool ok = os::WriteTo(file, bytes, size);
  os::Close(file);
  return ok;
}

bool IsUnicodeFile(const std::u16string& path) {
  os::File file = os::OpenToRead(path);
  if (!file.IsOpen()) return false;
  unsigned char mark[2] = {};
  uint32_t read = 0;
  bool ok = os::ReadFrom(file, mark, 2, &read) && read == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
  os::Close(file);
  return ok;
}

bool IsOlderThan(const std::u16string& path, int version) {
  return ReadIniInt(u"FILEVER", u"VER", u"0", path) < version;
}

bool FileExists(const std::u16string& path) { return os::KindOf(path) != os::PathKind::Missing; }

bool MakeDirectoryPath(const std::u16string& path) {
  if (path.size() < 2 || path.size() > kMaxPathChars) return false;
  size_t start;
  if (path[1] == u':') {
    start = 2;
  } else if (path[0] == u'\\' && path[1] == u'\\') {
    // \\server\share\ exists or not as a whole; creation starts below it.
    size_t server = path.find(u'\\', 2);
    size_t share = server == std::u16string::npos ? server : path.find(u'\\', server + 1);
    if (server == 2 || share == std::u16string::npos || share == server + 1) return false;
    start = share;
  } else {
    return false;
  }
  for (size_t i = start; i < path.size(); ++i) {
    if (path[i] != u'\\') continue;
    std::u16string prefix = path.substr(0, i);
    if (i > start && !IsFolder(prefix)) os::MakeFolder(prefix);
  }
  if (!IsFolder(path)) os::MakeFolder(path);
  return IsFolder(path);
}

}  // namespace lvx::shell
