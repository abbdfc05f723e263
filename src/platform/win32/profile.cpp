// INI files on Win32: the private profile functions, with the layer's fixed 32768-character read
// buffer so that a long value is cut, never overrun.
#include "platform/win32/win32_api.h"

#include <vector>

#include "platform/fault.h"
#include "platform/profile.h"

namespace lvx::os {

using win32::W;

String GetProfileString(const String& section, const String& key, const String& defaultValue,
                        const String& file) {
  std::vector<wchar_t> buffer(kProfileBufferChars, L'\0');
  DWORD n = ::GetPrivateProfileStringW(W(section), W(key), W(defaultValue), buffer.data(),
                                       kProfileBufferChars, W(file));
  if (n >= kProfileBufferChars) n = kProfileBufferChars - 1;
  return String(win32::U(buffer.data()), n);
}

bool WriteProfileString(const String& section, const String& key, const String& value,
                        const String& file) {
  if (fault::ShouldFail(fault::Op::Write)) return false;
  return ::WritePrivateProfileStringW(W(section), W(key), W(value), W(file)) != 0;
}

int GetProfileInt(const String& section, const String& key, int defaultValue, const String& file) {
  return int(::GetPrivateProfileIntW(W(section), W(key), defaultValue, W(file)));
}

}  // namespace lvx::os
