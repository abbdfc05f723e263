// Shared set-up of the indexer tests: a cache file in a temporary folder, a state file beside it, a
// test drive to build from, and the sinks that record what the engine reports.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <vector>

#include "cache/cache_context.h"
#include "cache/engine_sinks.h"
#include "cache/map_file.h"
#include "cache/state_file.h"
#include "indexer/cacher.h"
#include "platform/fault.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"

namespace lvx::test {

class Notifications : public cache::INotifySink {
 public:
  void Notify(uint32_t code, intptr_t) override {
    std::lock_guard<std::mutex> hold(mutex_);
    codes_.push_back(code);
  }
  std::vector<uint32_t> Codes() {
    std::lock_guard<std::mutex> hold(mutex_);
    return codes_;
  }

 private:
  std::mutex mutex_;
  std::vector<uint32_t> codes_;
};

class StatusTexts : public cache::IStatusSink {
 public:
  void SetStatusText(const std::u16string& text) override {
    std::lock_guard<std::mutex> hold(mutex_);
    texts_.push_back(text);
  }
  std::vector<std::u16string> Texts() {
    std::lock_guard<std::mutex> hold(mutex_);
    return texts_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::u16string> texts_;
};

class IndexerTest : public ::testing::Test {
 protected:
  IndexerTest() { context_.SetPath(cachePath_); }
  ~IndexerTest() override { os::fault::Reset(); }

  // A full build of the test drive; fails the test when it does not complete.
  void Build() {
    indexer::CCacher cacher(context_, state_);
    ASSERT_EQ(cacher.BuildNow(drive_.Mask()), 0);
  }
  // Opens the cache file read-only (closed again by the next call or the fixture).
  cache::CDBMapFile& Cache() {
    cache_.CloseMapFile(false);
    EXPECT_TRUE(cache_.OpenForReading(cachePath_));
    return cache_;
  }
  void CloseCache() { cache_.CloseMapFile(false); }
  uint32_t U32(uint32_t offset) {
    uint32_t v = 0xDEADBEEF;
    Cache().GetU32(offset, &v);
    CloseCache();
    return v;
  }
  // The block of a cached folder ("sub/dir"; "" for the root), NO_BLOCK when not found.
  uint32_t BlockOf(const std::string& folder) {
    uint32_t child = cache::NO_BLOCK;
    std::u16string path = folder.empty() ? drive_.Root().substr(0, 2) : drive_.Path(folder);
    if (Cache().FindPath(cache::kRootBlockOffset, path.c_str(), &child, nullptr) == cache::NO_BLOCK)
      child = cache::NO_BLOCK;
    CloseCache();
    return child;
  }
  std::vector<uint32_t> FreeList() {
    std::vector<uint32_t> list;
    cache::CDBMapFile& file = Cache();
    uint32_t b = 0;
    file.GetU32(cache::kFreeListHeadOffset, &b);
    while (b != cache::NO_BLOCK && list.size() < 100000) {
      list.push_back(b);
      if (!file.GetU32(b + 4, &b)) break;
    }
    CloseCache();
    return list;
  }

  TempDir dir_;
  TestDrive drive_;
  std::u16string cachePath_ = dir_.Path() + u"lumivex.db";
  cache::CacheContext context_;
  cache::StateFile state_{cache::StateFile::BesideCacheFile(cachePath_)};
  cache::CDBMapFile cache_;
  RecordingMessages messages_;
  Notifications notify_;
  StatusTexts status_;
};

}  // namespace lvx::test
