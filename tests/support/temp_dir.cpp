#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace lvx::test {

TempDir::TempDir() {
  std::random_device rd;
  fs::path base = fs::temp_directory_path() / ("lvx-test-" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(base);
  host_ = base.string();
  std::string win = host_;
#ifdef _WIN32
  for (char& c : win)
    if (c == '/') c = '\\';
  if (win.back() != '\\') win += '\\';
#else
  if (win.back() != '/') win += '/';
#endif
  path_ = U16(win);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(host_, ec);
}

void MakeFileAt(const std::filesystem::path& path, uint64_t size) {
  fs::create_directories(path.parent_path());
  { std::ofstream(path, std::ios::binary); }
  if (size) fs::resize_file(path, size);
}

void TempDir::MakeFile(const std::string& relative, uint64_t size) const { MakeFileAt(fs::path(host_) / relative, size); }

void TempDir::MakeFolder(const std::string& relative) const {
  fs::create_directories(fs::path(host_) / relative);
}

std::u16string TempDir::Child(const std::string& relative) const {
  std::string r = relative;
#ifdef _WIN32
  for (char& c : r)
    if (c == '/') c = '\\';
#endif
  return path_ + U16(r);
}

}  // namespace lvx::test
