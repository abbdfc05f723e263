// A search engine over a cache file that the test writes itself.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cache/cache_context.h"
#include "platform/text.h"
#include "search/search_engine.h"
#include "support/cache_image.h"
#include "support/temp_dir.h"

namespace lvx::test {

constexpr uint32_t kDriveC = 1u << 2;
constexpr uint32_t kDriveD = 1u << 3;
constexpr uint32_t kAllDrives = 0xFFFFFFFFu;
using Lines = std::vector<std::u16string>;

// C: with files, nested folders, an empty and an uncached folder; D: with one file. Times are
// distinct so that the date filters can pick entries.
inline CacheImage StandardImage() {
  return CacheImage::FromTree(
      {{u'C', {File(u"a.txt", 1, 100),
               Folder(u"Music", {File(u"song.mp3", 10, 300), File(u"LOUD.MP3", 0, 400),
                                 Folder(u"Old", {File(u"x.mp3", 5, 600)}, 500)}, 200),
               Folder(u"empty", {}, 700), Uncached(u"notcached", 800), File(u"z.mp3.mp3", 3, 900)}},
       {u'D', {File(u"d.mp3", 7, 1000)}}});
}

class SearchFixture : public ::testing::Test {
 protected:
  SearchFixture() { context_.SetPath(cachePath_); }

  void Write(const CacheImage& image) {
    image_ = image;
    Rewrite();
  }
  // As a writer does: the engine's kept mapping is let go of before the file is written over.
  void Rewrite() {
    cache::CacheContext::FileChanging();
    image_.WriteTo(cachePath_);
  }

  // Runs a full search the way the search thread does: submit, apply, run, show any failure.
  int Search(const std::u16string& pattern, const std::u16string& location = u"",
             const std::vector<uint32_t>& filters = {search::NameMatches}, uint32_t mask = kDriveC | kDriveD) {
    request_.location = location;
    request_.driveMask = mask;
    Apply(pattern, filters, 0);
    int result = engine_.RunSearch(search::FoldQuery(pattern), location);
    engine_.ShowFailure();
    return result;
  }
  int Refine(const std::u16string& pattern, const std::vector<uint32_t>& filters = {search::NameMatches}) {
    Apply(pattern, filters, 1);
    return engine_.RefineResults(search::FoldQuery(pattern));
  }
  void Apply(const std::u16string& pattern, const std::vector<uint32_t>& filters, uint8_t refine) {
    request_.pattern = pattern;
    request_.refine = refine;
    request_.filterCount = int32_t(filters.size());
    for (size_t i = 0; i < filters.size(); ++i) request_.filterCodes[i] = filters[i];
    engine_.SubmitRequest(request_);
    engine_.ApplyRequest();
  }

  static Lines LinesOf(const search::SearchResult* results, uint32_t count) {
    Lines lines;
    for (uint32_t i = 0; i < count; ++i) lines.push_back(std::u16string(results[i].path) + results[i].name);
    return lines;
  }
  Lines Hits() const { return LinesOf(engine_.Results(), engine_.ResultCount()); }
  Lines Refined() const { return LinesOf(engine_.RefinedResults(), engine_.RefinedCount()); }
  const search::SearchResult& Hit(const std::u16string& line) const {
    for (uint32_t i = 0; i < engine_.ResultCount(); ++i) {
      const search::SearchResult& r = engine_.Results()[i];
      if (std::u16string(r.path) + r.name == line) return r;
    }
    ADD_FAILURE() << "no hit " << U8(line);
    static search::SearchResult none{};
    return none;
  }

  TempDir dir_;
  std::u16string cachePath_ = dir_.Child("cache.db");
  CacheImage image_;
  cache::CacheContext context_;
  search::SearchEngine engine_{context_, nullptr};
  search::SearchRequest request_;
};

}  // namespace lvx::test
