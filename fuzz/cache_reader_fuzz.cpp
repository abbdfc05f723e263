// Opens an arbitrary byte string as a cache file and runs the readers and the free-list walk on it:
// dump, path lookups and block allocation must never read or write outside the mapping or hang.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "cache/dump.h"
#include "cache/map_file.h"
#include "platform/message.h"
#include "platform/text.h"

namespace {

// In memory where the system offers it: every input is written and mapped again.
std::string ScratchPath() {
  static std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/lvx-fuzz-" +
                            std::to_string(getpid()) + ".db";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    lvx::os::SetMessageSink([](const std::u16string&) {});
    return true;
  }();
  (void)quiet;
  if (size == 0 || size > (1u << 22)) return 0;
  std::string path = ScratchPath();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  using namespace lvx;
  cache::CDBMapFile file;
  if (!file.OpenForUpdate(U16(path))) return 0;
  cache::DumpCache(file, nullptr);
  uint32_t child = 0, link = 0;
  for (const char16_t* p : {u"C:", u"C:\\", u"C:\\Windows\\notepad.exe", u"A:\\a\\b\\c\\d\\e"})
    file.FindPath(cache::kRootBlockOffset, p, &child, &link);
  file.AllocBlock(1);
  file.AllocBlock(uint32_t(size));
  file.AllocBlock(0xFFFFFFF0u);
  return 0;
}
