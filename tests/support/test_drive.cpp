#include "support/test_drive.h"

#include <filesystem>

#include "platform/drive.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace lvx::test {
namespace {
fs::path Below(const std::string& host, const std::string& relative) { return fs::path(host) / fs::u8path(relative); }
#ifdef _WIN32
void EmptyFolder(const std::string& host) {
  std::error_code ec;
  for (auto& entry : fs::directory_iterator(host, ec)) fs::remove_all(entry.path(), ec);
}
#endif
}  // namespace

TestDrive::TestDrive() : letter_(u'T') {
#ifdef _WIN32
  host_ = "T:\\";
  EmptyFolder(host_);
#else
  temp_ = std::make_unique<TempDir>();
  host_ = temp_->HostPath();
  os::MapDrive(letter_, host_);
#endif
}

TestDrive::~TestDrive() {
#ifdef _WIN32
  EmptyFolder(host_);
#else
  os::MapDrive(letter_, "");
#endif
}

std::u16string TestDrive::Root() const { return std::u16string{letter_, u':', u'\\'}; }

std::u16string TestDrive::Path(const std::string& relative) const {
  std::u16string path = Root() + U16(relative);
  for (char16_t& c : path)
    if (c == u'/') c = u'\\';
  return path;
}

void TestDrive::MakeFile(const std::string& relative, uint64_t size) const { MakeFileAt(Below(host_, relative), size); }
void TestDrive::MakeFolder(const std::string& relative) const { fs::create_directories(Below(host_, relative)); }
void TestDrive::Remove(const std::string& relative) const { fs::remove_all(Below(host_, relative)); }
void TestDrive::Rename(const std::string& from, const std::string& to) const {
  fs::rename(Below(host_, from), Below(host_, to));
}

}  // namespace lvx::test
