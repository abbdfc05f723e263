// Shared set-up of the indexer tests: a cache file in a temporary folder with its state file beside
// it, a test drive to build from, sinks that record what the engine reports, and a reading of cache
// files written apart from the engine's own reader, so that the engine is checked against a second
// reading of the format and the disk is listed with the standard library, not the engine's OS layer.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <mutex>
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

class Notifications : public cache::INotifySink, public Collected<uint32_t> {
 public:
  void Notify(uint32_t code, intptr_t) override { Add(code); }
};

class StatusTexts : public cache::IStatusSink, public Collected<std::u16string> {
 public:
  void SetStatusText(const std::u16string& text) override { Add(text); }
};

// A word of a file image; NO_BLOCK past its end.
inline uint32_t Word(const std::vector<uint8_t>& bytes, uint32_t at) {
  return uint64_t(at) + 4 <= bytes.size() ? cache::LoadU32(&bytes[at]) : cache::NO_BLOCK;
}

// One drive of a cache file image: its tree as sorted lines ("dir/" for a folder, "dir/file|KB" for
// a file), the block of every folder ("" is the root), and whether every block and record lay
// inside the file and its block.
struct CachedDrive {
  std::vector<std::string> lines;
  std::map<std::string, uint32_t> blocks;
  bool sound = true;
};

inline void ReadBlock(const std::vector<uint8_t>& b, uint32_t block, const std::string& folder,
                      CachedDrive& out, int depth) {
  out.blocks[folder] = block;
  uint32_t capacity = Word(b, block);
  if (depth > 64 || block >= b.size() || capacity < 6 || capacity > b.size() - block) {
    out.sound = false;
    return;
  }
  std::string prefix = folder.empty() ? "" : folder + "/";
  for (uint32_t at = block + 4, end = block + capacity;;) {
    if (at + 2 > end) return void(out.sound = false);
    uint16_t type = cache::LoadU16(&b[at]);
    if (type == cache::RECORD_END) return;
    std::u16string name;
    uint32_t p = at + 2;
    for (; p + 2 <= end && cache::LoadU16(&b[p]) != 0; p += 2) name.push_back(cache::LoadU16(&b[p]));
    if (p + 14 > end) return void(out.sound = false);
    uint32_t value = cache::LoadU32(&b[p + 2]);
    std::string path = prefix + U8(name);
    if (type == cache::RECORD_FILE) out.lines.push_back(path + "|" + std::to_string(value));
    if (type == cache::RECORD_FOLDER) {
      out.lines.push_back(path + "/");
      if (value != cache::NO_BLOCK) ReadBlock(b, value, path, out, depth + 1);
    }
    at = p + 14;
  }
}

inline CachedDrive ReadDrive(const std::vector<uint8_t>& b, char16_t letter) {
  CachedDrive out;
  for (uint32_t at = cache::kRootRecordsOffset; at + 20 <= std::min<size_t>(b.size(), cache::kDataStart);
       at += 20) {
    if (cache::LoadU16(&b[at]) == cache::RECORD_END) break;
    uint32_t link = Word(b, at + 8);
    if (cache::LoadU16(&b[at + 2]) == letter && link != cache::NO_BLOCK) ReadBlock(b, link, "", out, 0);
  }
  std::sort(out.lines.begin(), out.lines.end());
  return out;
}

inline std::vector<uint32_t> FreeList(const std::vector<uint8_t>& b) {
  std::vector<uint32_t> list;
  for (uint32_t at = Word(b, cache::kFreeListHeadOffset); at != cache::NO_BLOCK && list.size() < 10000;
       at = Word(b, at + 4))
    list.push_back(at);
  return list;
}

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
  else std::ofstream(path, std::ios::binary | std::ios::trunc)
           .write(reinterpret_cast<const char*>(image->data()), std::streamsize(image->size()));
}

// The same lines as ReadDrive, listed from the disk.
inline void ListDisk(const fs::path& folder, const std::string& prefix, std::vector<std::string>& out) {
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    std::u8string name8 = entry.path().filename().u8string();
    std::string name = prefix + std::string(name8.begin(), name8.end());
    if (entry.is_directory()) {
      out.push_back(name + "/");
      ListDisk(entry.path(), name + "/", out);
    } else {
      uint64_t size = entry.file_size();
      out.push_back(name + "|" + std::to_string(cache::SizeInKB(uint32_t(size >> 32), uint32_t(size))));
    }
  }
}

inline std::vector<std::string> DiskTree(const std::string& hostRoot) {
  std::vector<std::string> out;
  ListDisk(fs::path(hostRoot), "", out);
  std::sort(out.begin(), out.end());
  return out;
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
  std::vector<uint8_t> Bytes() const { return ReadImage(Beside("")).value_or(std::vector<uint8_t>{}); }
  CachedDrive Cached() const { return ReadDrive(Bytes(), drive_.Letter()); }
  std::vector<std::string> Disk() const { return DiskTree(drive_.HostRoot()); }
  uint32_t U32(uint32_t at) const { return Word(Bytes(), at); }
  uint32_t BlockOf(const std::string& folder) const {
    CachedDrive cached = Cached();
    auto found = cached.blocks.find(folder);
    return found == cached.blocks.end() ? cache::NO_BLOCK : found->second;
  }
  void ExpectCacheMatchesDisk() const {
    CachedDrive cached = Cached();
    EXPECT_TRUE(cached.sound);
    EXPECT_EQ(cached.lines, Disk());
  }
  // Host path of a file beside the cache file ("" for the cache file itself).
  fs::path Beside(const std::string& suffix) const { return fs::path(dir_.HostPath()) / ("lumivex.db" + suffix); }

  TempDir dir_;
  TestDrive drive_;
  std::u16string cachePath_ = dir_.Path() + u"lumivex.db";
  cache::CacheContext context_;
  cache::StateFile state_{cache::StateFile::BesideCacheFile(cachePath_)};
  RecordingMessages messages_;
  Notifications notify_;
  StatusTexts status_;
};

}  // namespace lvx::test
