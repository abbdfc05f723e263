#include "support/test_drive.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/drive.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace lvx::test {
#ifdef _WIN32
namespace {
void EmptyFolder(const std::string& host) {
  std::error_code ec;
  for (auto& entry : fs::directory_iterator(host, ec)) fs::remove_all(entry.path(), ec);
}
}  // namespace
#endif

TestDrive::TestDrive() {
#ifdef _WIN32
  letter_ = u'T';
  host_ = "T:\\";
  EmptyFolder(host_);
#else
  letter_ = u'T';
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

void TestDrive::MakeFile(const std::string& relative, uint64_t size) const {
  fs::path p = fs::path(host_) / fs::u8path(relative);
  fs::create_directories(p.parent_path());
  { std::ofstream(p, std::ios::binary); }
  if (size) fs::resize_file(p, size);
}

void TestDrive::MakeFolder(const std::string& relative) const {
  fs::create_directories(fs::path(host_) / fs::u8path(relative));
}

void TestDrive::Remove(const std::string& relative) const {
  fs::remove_all(fs::path(host_) / fs::u8path(relative));
}

void TestDrive::Rename(const std::string& from, const std::string& to) const {
  fs::rename(fs::path(host_) / fs::u8path(from), fs::path(host_) / fs::u8path(to));
}

bool TestDrive::Exists(const std::string& relative) const {
  return fs::exists(fs::path(host_) / fs::u8path(relative));
}

}  // namespace lvx::test
