#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/text.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>
#endif

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

// Files are sparse where the file system can make them so: a test may ask for terabytes.
void MakeFileAt(const std::filesystem::path& path, uint64_t size) {
  fs::create_directories(path.parent_path());
  { std::ofstream(path, std::ios::binary); }
  if (size == 0) return;
#ifdef _WIN32
  // The C runtime's resize refuses a size past the free space of the disk.
  HANDLE h = ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD ignored = 0;
  ::DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = LONGLONG(size);
  bool ok = h != INVALID_HANDLE_VALUE && ::SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(h);
  const DWORD error = ok ? 0 : ::GetLastError();
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  if (!ok) throw fs::filesystem_error("cannot resize file", path, std::error_code(int(error), std::system_category()));
#else
  fs::resize_file(path, size);
#endif
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
