#include "results/save_results.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/file.h"
#include "platform/message.h"
#include "platform/text.h"
#include "results/shell_calls.h"

namespace lvx::results {

namespace {

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

// The line in the ANSI code page; false when its buffer could not be had.
bool ToAnsi(const std::u16string& line, std::unique_ptr<char, FreeDeleter>* bytes, int* length, bool* lossy) {
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(line.data());
  const int units = int(line.size());
  // The code pages that report unmappable characters (UTF-8 and UTF-7 map every one).
  const UINT acp = ::GetACP();
  BOOL usedDefault = FALSE;
  BOOL* askDefault = acp == CP_UTF8 || acp == CP_UTF7 ? nullptr : &usedDefault;
  const int needed = units == 0 ? 0 : ::WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
  bytes->reset(static_cast<char*>(std::malloc(size_t(needed) + 1)));
  if (!*bytes) return false;
  *length = needed == 0 ? 0 : ::WideCharToMultiByte(CP_ACP, 0, wide, units, bytes->get(), needed, nullptr, askDefault);
  *lossy = usedDefault != FALSE;
  return true;
}

}  // namespace

std::u16string ExpandLineFormat(std::u16string_view format, std::u16string_view path, std::u16string_view name) {
  // One pass over the format: a folder or name that itself reads like a placeholder stays as it is.
  constexpr std::u16string_view kDir = u"[FILEDIR]", kName = u"[FILENAME]";
  std::u16string line;
  for (size_t at = 0; at < format.size();) {
    if (format.substr(at, kDir.size()) == kDir) {
      line += path;
      at += kDir.size();
    } else if (format.substr(at, kName.size()) == kName) {
      line += name;
      at += kName.size();
    } else {
      line += format[at++];
    }
  }
  return line + u"\r\n";
}

int SaveResults(CListCtrlEx& list, const std::u16string& filePath, const std::u16string& format, bool selectedOnly) {
  std::vector<int> selected;
  for (int row = list.NextItem(-1); selectedOnly && row >= 0; row = list.NextItem(row)) selected.push_back(row);
  int lossyLines = 0;
  enum class Outcome { Written, NoResults, NoMemory, WriteFailed } outcome = Outcome::Written;
  {
    // The boxes wait until the list's lock is released.
    os::DeferredMessages deferred;
    os::File file = os::CreateAnew(filePath);
    if (!file.IsOpen()) {
      os::ErrorBox(u"Couldn't create the file!");
      return -1;
    }
    int row = 0;
    size_t next = 0;
    const bool attached = list.VisitResults([&](const search::SearchResult& entry) {
      const int index = row++;
      if (selectedOnly) {
        if (next == selected.size()) return false;
        if (selected[next] != index) return true;
        ++next;
      }
      std::unique_ptr<char, FreeDeleter> bytes;
      int length = 0;
      bool lossy = false;
      if (!ToAnsi(ExpandLineFormat(format, entry.path, entry.name), &bytes, &length, &lossy)) {
        outcome = Outcome::NoMemory;
        return false;
      }
      if (lossy) ++lossyLines;
      if (length > 0 && !os::WriteTo(file, bytes.get(), uint32_t(length))) {
        outcome = Outcome::WriteFailed;
        return false;
      }
      return true;
    });
    os::Close(file);
    if (!attached) outcome = Outcome::NoResults;
    switch (outcome) {
      case Outcome::NoResults: os::ErrorBox(u"Can not save without results!"); return -1;
      case Outcome::NoMemory: os::ErrorBox(u"Memory Alloction Failure!"); return -1;
      case Outcome::WriteFailed: os::ErrorBox(u"Couldn't write the file!"); return -1;
      case Outcome::Written: break;
    }
    if (lossyLines > 0) {
      os::ErrorBox(Format("%s lines hold characters that the system's code page cannot write; they were saved "
                          "with the code page's default character in their place.",
                          U8(FormatThousands(uint32_t(lossyLines))).c_str()));
    }
  }
  const std::wstring path(filePath.begin(), filePath.end());
  ShellExecuteCall(nullptr, L"Open", L"notepad.exe", L" \"" + path + L"\"");
  return 0;
}

}  // namespace lvx::results
