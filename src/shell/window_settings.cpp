#include "shell/window_settings.h"

#include <cstring>
#include <vector>

#include "platform/drive.h"
#include "platform/file.h"
#include "shell/drive_selection.h"
#include "shell/ini_store.h"
#include "shell/ini_values.h"
#include "shell/settings_files.h"
#include "shell/win_text.h"

namespace lvx::shell {
namespace {

static_assert(sizeof(LOGFONTW) == kLogFontBytes, "fontinfo.ini carries a LOGFONTW");

uint32_t WindowsMajorVersion() {
  // RtlGetVersion tells the truth where GetVersionEx answers for the manifest.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                   reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                             : nullptr;
  if (rtlGetVersion && rtlGetVersion(&info) == 0) return info.dwMajorVersion;
  return 6;
}

}  // namespace

uint32_t ReadStoredDriveMask() {
  return ParseDriveMask(ReadIniString(u"OPTIONS", u"SELECT_DRIVES", Paths().settings, u"0xffffffff"));
}

uint32_t ReadActiveDriveMask() {
  return ActiveDriveMask(ReadStoredDriveMask(),
                         [](const std::u16string& root) { return uint32_t(os::DriveKindOf(root)); });
}

bool WriteDriveMask(uint32_t mask) {
  return WriteIniString(u"OPTIONS", u"SELECT_DRIVES", FormatDriveMask(mask), Paths().settings);
}

int ReadAutoSelRemovable() { return ReadIniInt(u"OPTIONS", u"AutoSelRemovable", u"0", Paths().settings); }

bool WriteAutoSelRemovable(int value) {
  return WriteIniString(u"OPTIONS", u"AutoSelRemovable", IniNumber(value), Paths().settings);
}

SkinStyle ReadSkinStyle() {
  return ChooseSkinStyle(ReadIniString(u"SKIN_INFO", u"Style", Paths().skinInfo, u""), WindowsMajorVersion());
}

bool WriteSkinStyle(SkinStyle style) {
  return WriteIniString(u"SKIN_INFO", u"Style", SkinStyleText(style), Paths().skinInfo);
}

bool ReadFontFile(LOGFONTW* font) {
  os::File file = os::OpenToRead(Paths().fontInfo);
  if (!file.IsOpen()) return false;
  // The longest valid file: the structure, the length and 31 units of face name.
  uint8_t bytes[kLogFontBytes + 4 + 2 * kMaxFaceNameChars];
  uint32_t read = 0;
  bool ok = os::ReadFrom(file, bytes, sizeof bytes, &read);
  os::Close(file);
  FontRecord record;
  if (!ok || !ParseFontFile(bytes, read, &record)) return false;
  std::memcpy(font, record.logFont.data(), kLogFontBytes);
  std::memset(font->lfFaceName, 0, sizeof font->lfFaceName);
  std::memcpy(font->lfFaceName, record.faceName.data(), record.faceName.size() * sizeof(char16_t));
  return true;
}

bool WriteFontFile(const LOGFONTW& font) {
  FontRecord record;
  std::memcpy(record.logFont.data(), &font, kLogFontBytes);
  size_t n = 0;
  while (n < LF_FACESIZE && font.lfFaceName[n]) ++n;
  record.faceName = FromW(font.lfFaceName, n);
  std::vector<uint8_t> bytes = SerializeFontFile(record);
  os::File file = os::CreateAnew(Paths().fontInfo);
  if (!file.IsOpen()) return false;
  bool ok = os::WriteTo(file, bytes.data(), uint32_t(bytes.size()));
  os::Close(file);
  return ok;
}

}  // namespace lvx::shell
