// INI files on Win32: the private profile functions, read through a 32768-character buffer so that
// a long value is cut, never overrun.
#include <vector>

#include "platform/fault.h"
#include "platform/ini.h"
#include "platform/win32/win32.h"

namespace lvx::os {

using win32::W;

String IniRead(const String& section, const String& key, const String& defaultValue,
               const String& file) {
  constexpr DWORD kChars = 32768;
  if (fault::ShouldFail(fault::Op::Read)) return defaultValue.substr(0, kChars - 1);
  std::vector<wchar_t> buffer(kChars, L'\0');
  DWORD n = ::GetPrivateProfileStringW(W(section), W(key), W(defaultValue), buffer.data(), kChars,
                                       W(file));
  return String(win32::U(buffer.data()), n < kChars ? n : kChars - 1);
}

bool IniWrite(const String& section, const String& key, const String& value, const String& file) {
  return !fault::ShouldFail(fault::Op::Write) &&
         ::WritePrivateProfileStringW(W(section), W(key), W(value), W(file));
}

bool IniDelete(const String& section, const String& key, const String& file) {
  return !fault::ShouldFail(fault::Op::Write) &&
         ::WritePrivateProfileStringW(W(section), W(key), nullptr, W(file));
}

}  // namespace lvx::os
