// Shared set-up of the indexer tests: a cache file in a temporary folder with its state file beside
// it, a test drive to build from, and sinks that record what the engine reports. Cache files are read
// apart from the engine's reader and the disk is listed with the standard library, so that the
// engine is checked against a second reading of the format and of the disk.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cache/cache_context.h"
#include "cache/state_file.h"
#include "indexer/cacher.h"
#include "platform/fault.h"
#include "platform/text.h"
#include "support/cache_image.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace lvx::test {

namespace fs = std::filesystem;

// What worker threads report, kept for the test thread.
template <typename T>
class Collected {
 public:
  void Add(const T& item) {
    std::lock_guard<std::mutex> hold(mutex_);
    items_.push_back(item);
  }
  std::vector<T> Items() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return items_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<T> items_;  // guarded by mutex_
};
struct Notifications : cache::INotifySink, Collected<uint32_t> {
  void Notify(uint32_t code, intptr_t) override { Add(code); }
};
struct StatusTexts : cache::IStatusSink, Collected<std::u16string> {
  void SetStatusText(const std::u16string& text) override { Add(text); }
};

// A whole file, or nothing when there is no file.
using Image = std::optional<std::vector<uint8_t>>;
inline Image ReadImage(const fs::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes(size_t(in.tellg()));
  in.seekg(0).read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}
inline void WriteImage(const fs::path& path, const Image& image) {
  std::error_code ignored;
  if (!image) fs::remove(path, ignored);
  if (image) std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image->data()), image->size());
}
// A word of a file; NO_BLOCK past its end.
inline uint32_t Word(const std::vector<uint8_t>& bytes, uint32_t at) {
  return uint64_t(at) + 4 <= bytes.size() ? cache::LoadU32(&bytes[at]) : cache::NO_BLOCK;
}

// One drive of a cache file: its tree as sorted lines ("dir/" for a folder, "dir/file|KB" for a
// file), the block of every folder ("" is the root) and the blocks in the order of their records,
// and whether every block and record lay inside the file and its block.
struct CachedDrive {
  std::vector<std::string> lines;
  std::map<std::string, uint32_t> blocks;
  std::vector<uint32_t> preOrder;
  bool sound = true;
};

inline void ReadBlock(const std::vector<uint8_t>& b, uint32_t block, const std::string& folder, CachedDrive& out,
                      int depth) {
  out.blocks[folder] = block;
  out.preOrder.push_back(block);
  uint32_t capacity = Word(b, block), end = block + capacity;
  if (depth > 64 || block >= b.size() || capacity < 6 || capacity > b.size() - block) return void(out.sound = false);
  for (uint32_t at = block + 4; at + 2 <= end && cache::LoadU16(&b[at]) != cache::RECORD_END;) {
    std::u16string name;
    uint32_t p = at + 2;
    for (; p + 2 <= end && cache::LoadU16(&b[p]) != 0; p += 2) name.push_back(cache::LoadU16(&b[p]));
    if (p + 14 > end) return void(out.sound = false);
    uint16_t type = cache::LoadU16(&b[at]);
    uint32_t value = cache::LoadU32(&b[p + 2]);
    std::string path = (folder.empty() ? "" : folder + "/") + U8(name);
    if (type == cache::RECORD_FILE) out.lines.push_back(path + "|" + std::to_string(value));
    if (type == cache::RECORD_FOLDER) out.lines.push_back(path + "/");
    if (type == cache::RECORD_FOLDER && value != cache::NO_BLOCK) ReadBlock(b, value, path, out, depth + 1);
    at = p + 14;
    if (at + 2 > end) out.sound = false;  // no end mark inside the block
  }
}

inline CachedDrive ReadDrive(const std::vector<uint8_t>& b, char16_t letter) {
  CachedDrive out;
  for (uint32_t at = cache::kRootRecordsOffset; at + 20 <= std::min<size_t>(b.size(), cache::kDataStart); at += 20) {
    if (cache::LoadU16(&b[at]) == cache::RECORD_END) break;
    if (cache::LoadU16(&b[at + 2]) == letter && Word(b, at + 8) != cache::NO_BLOCK)
      ReadBlock(b, Word(b, at + 8), "", out, 0);
  }
  std::sort(out.lines.begin(), out.lines.end());
  return out;
}

inline std::vector<uint32_t> FreeList(const std::vector<uint8_t>& b) {
  std::vector<uint32_t> list;
  for (uint32_t at = Word(b, cache::kFreeListHeadOffset); at != cache::NO_BLOCK && list.size() < 10000; at = Word(b, at + 4))
    list.push_back(at);
  return list;
}

// The lines of ReadDrive, listed from the disk.
inline void ListDisk(const fs::path& folder, const std::string& prefix, std::vector<std::string>& out) {
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    std::u8string name8 = entry.path().filename().u8string();
    std::string name = prefix + std::string(name8.begin(), name8.end());
    uint64_t size = entry.is_directory() ? 0 : entry.file_size();
    out.push_back(entry.is_directory() ? name + "/" : name + "|" + std::to_string(cache::SizeInKB(size >> 32, uint32_t(size))));
    if (entry.is_directory()) ListDisk(entry.path(), name + "/", out);
  }
}

class IndexerTest : public ::testing::Test {
 protected:
  IndexerTest() { context_.SetPath(cachePath_); }
  ~IndexerTest() override { os::fault::Reset(); }

  // A full build of the test drive; fails the test when it does not complete.
  void Build() {
    indexer::CCacher cacher(context_, state_);
    ASSERT_EQ(cacher.BuildNow(drive_.Mask()), 0);
  }
  // Host path of a file beside the cache file ("" for the cache file itself).
  fs::path Beside(const std::string& suffix) const { return fs::path(dir_.HostPath()) / ("lumivex.db" + suffix); }
  std::vector<uint8_t> Bytes() const { return ReadImage(Beside("")).value_or(std::vector<uint8_t>{}); }
  uint32_t U32(uint32_t at) const { return Word(Bytes(), at); }
  CachedDrive Cached() const { return ReadDrive(Bytes(), drive_.Letter()); }
  std::vector<std::string> Disk() const {
    std::vector<std::string> lines;
    ListDisk(fs::path(drive_.HostRoot()), "", lines);
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  void ExpectCacheMatchesDisk() const {
    CachedDrive cached = Cached();
    EXPECT_TRUE(cached.sound);
    EXPECT_EQ(cached.lines, Disk());
  }

  TempDir dir_;
  TestDrive drive_;
  std::u16string cachePath_ = dir_.Path() + u"lumivex.db";
  cache::CacheContext context_;
  cache::StateFile state_{cache::StateFile::BesideCacheFile(cachePath_)};
  RecordingMessages messages_;
  Notifications notify_;
  StatusTexts status_;
};

#ifndef _WIN32
// Runs work in a child process that shares the test's files and ends at its nth OS call (with
// exitCode), as a kill there would; else with 0 when work returned 0, 1 otherwise. Returns the
// child's exit code, -1 when it did not exit.
inline int EndAt(int n, int exitCode, const std::function<int()>& work) {
  pid_t child = fork();
  if (child == 0) {
    os::SetMessageSink([](const std::u16string&) {});
    os::fault::Reset();
    os::fault::ExitAt(n, exitCode);
    std::_Exit(work() == 0 ? 0 : 1);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace lvx::test
