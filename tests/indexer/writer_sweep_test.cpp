// Every writer of the cache file under every single OS failure. For each kind of OS call a clean run
// counts the calls the writer makes; then, for n = 1 to that count, the starting files are put back,
// call n of that kind fails, the writer runs again, and the file it writes must be wholly the old one
// or wholly the new one, the failure reported once (not at all when the writer got past it), and the
// result must say which. A window that cannot be mapped ends the process by design: those cases run
// in a child process (native builds only), which makes them the crash test of each writer.
// The cases that leave a third file today assert that file, with what it loses.
#include <functional>
#include <random>

#include "cache/defragmenter.h"
#include "indexer/cache_lifecycle.h"
#include "indexer/location_refresher.h"
#include "indexer_fixture.h"

namespace lvx::indexer {
namespace {

using os::fault::Op;
using test::Image;
constexpr Op kEndsProcess = Op::View;

struct Case {
  Op op;
  int n;
  int result = 0;
  size_t messages = 0;
  bool ended = false;  // the process ended in the middle (a child process)
  Image file{};
};

class WriterSweepTest : public test::IndexerTest {
 protected:
  void Sweep(const test::fs::path& subject, const std::function<void()>& restore,
             const std::function<int()>& run, const std::function<void(const Case&)>& check) {
    restore();
    os::fault::Reset();
    ASSERT_EQ(run(), 0) << "the clean run";
    new_ = test::ReadImage(subject);
    ASSERT_NE(new_, old_);
    calls_.clear();
    for (int k = 0; k < int(Op::kCount); ++k) calls_.push_back(os::fault::Calls(Op(k)));
    for (int k = 0; k < int(Op::kCount); ++k) {
      for (int n = 1; n <= calls_[k]; ++n) {
        Case c{Op(k), n};
        restore();
        if (c.op == kEndsProcess) {
          if (!RunToTheEnd(c, run)) continue;
        } else {
          test::RecordingMessages messages;
          os::fault::Reset();
          os::fault::FailNth(c.op, n, os::Error::AccessDenied);
          c.result = run();
          os::fault::Reset();
          c.messages = messages.Count();
        }
        c.file = test::ReadImage(subject);
        SCOPED_TRACE("kind " + std::to_string(k) + " call " + std::to_string(n) + ": " +
                     (c.ended ? "the process ended" : "result " + std::to_string(c.result) + ", " +
                                                          std::to_string(c.messages) + " message(s)") +
                     "; left " + Describe(c.file));
        check(c);
      }
    }
  }

  // Runs a case whose failure ends the process in a child that shares this test's files; its one
  // box goes to the child's error output, where the matcher counts it.
  bool RunToTheEnd([[maybe_unused]] Case& c, [[maybe_unused]] const std::function<int()>& run) {
#ifdef _WIN32
    return false;  // no fork under wine: the native builds check the sudden end
#else
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
          os::SetMessageSink([](const std::u16string& text) { std::fprintf(stderr, "<box>%s", U8(text).c_str()); });
          os::fault::Reset();
          os::fault::FailNth(c.op, c.n, os::Error::OutOfMemory);
          run();
          std::exit(3);
        },
        ::testing::ExitedWithCode(int(cache::CDBMapFile::kMappingFailedExitCode)), ::testing::MatchesRegex("[^<]*<box>[^<]*MapFilePos - 002[^<]*"));
    return c.ended = true;
#endif
  }

  std::string Describe(const Image& image) const {
    if (!image) return "no file";
    if (image == old_ || image == new_) return image == old_ ? "the old file" : "the new file";
    return std::to_string(image->size()) + " bytes, DrivesDone " +
           std::to_string(test::Word(*image, cache::kDrivesDoneOffset)) + ", DrivesBusy " +
           std::to_string(test::Word(*image, cache::kDrivesBusyOffset)) + ", root capacity " +
           std::to_string(test::Word(*image, cache::kRootBlockOffset));
  }

  // The rule: the old file or the new one, and a result and a report that say which.
  void ExpectOldOrNew(const Case& c) {
    EXPECT_TRUE(c.file == old_ || c.file == new_) << "neither the old nor the new file";
    if (c.ended) return;  // the child's matcher counted its one box
    EXPECT_EQ(c.result == 0, c.file == new_) << "the result does not say what the file holds";
    EXPECT_TRUE(c.result == 0 ? c.messages <= 1 : c.messages == 1) << c.messages << " reports of the failure";
  }
  // A case that leaves a third file, as it does today: failed, reported (or not), and that file.
  void ExpectFailedLeaving(const Case& c, const Image& left, size_t messages = 1) {
    EXPECT_EQ(c.file, left) << "the known third outcome changed";
    EXPECT_TRUE(c.ended || (c.result == -1 && c.messages == messages)) << "reports of the failure";
  }
  // A writer that empties the cache file before it rewrites it loses the cache when the last open,
  // mapping or copy (the last `copies` views) fails; the next start builds a new one.
  bool ExpectLostInRewrite(const Case& c, const std::function<Image()>& leftByOpen, int copies) {
    if (c.op == Op::Open && Last(c))
      ExpectFailedLeaving(c, leftByOpen());
    else if (c.op == Op::Map && Last(c))
      ExpectFailedLeaving(c, std::vector<uint8_t>{});
    else if (c.op == kEndsProcess && c.n > calls_[int(c.op)] - copies)
      ExpectFailedLeaving(c, std::vector<uint8_t>(new_->size(), 0));
    else
      return false;
    return true;
  }
  // A listing that fails ends that folder's listing: the writer goes on with the entries it got,
  // and every entry in the file is on the disk or was in the old file.
  void ExpectPartialListing(const Case& c) {
    EXPECT_TRUE(c.result == 0 && c.messages == 0 && c.file);
    test::CachedDrive cached = test::ReadDrive(c.file.value_or(std::vector<uint8_t>{}), drive_.Letter());
    std::vector<std::string> known = Disk(), old = Lines(old_);
    known.insert(known.end(), old.begin(), old.end());
    std::sort(known.begin(), known.end());
    EXPECT_TRUE(cached.sound);
    EXPECT_TRUE(std::includes(known.begin(), known.end(), cached.lines.begin(), cached.lines.end()));
    EXPECT_EQ(U32Of(c.file, cache::kDrivesBusyOffset), 0u);
  }
  // The end comes after the file grew for a new block and before that block is linked in: the old
  // tree in a longer file, nothing marked, so the next start keeps the cache as it is.
  void ExpectOldTreeInAGrownFile(const Case& c) {
    EXPECT_EQ(Lines(c.file), Lines(old_));
    EXPECT_GT(c.file.value_or(std::vector<uint8_t>{}).size(), old_->size());
    EXPECT_EQ(U32Of(c.file, cache::kDrivesBusyOffset), 0u);
  }
  bool Last(const Case& c) const { return c.n == calls_[int(c.op)]; }
  std::vector<std::string> Lines(const Image& image) const {
    return test::ReadDrive(image.value_or(std::vector<uint8_t>{}), drive_.Letter()).lines;
  }
  static uint32_t U32Of(const Image& image, uint32_t at) {
    return test::Word(image.value_or(std::vector<uint8_t>{}), at);
  }

  Image old_, new_;
  std::vector<int> calls_;
};

TEST_F(WriterSweepTest, FullBuild) {
  for (int i = 0; i < 12; ++i) drive_.MakeFile("folder" + std::to_string(i / 2) + "/file" + std::to_string(i) + ".txt", 100);
  Build();
  old_ = test::ReadImage(Beside(""));
  drive_.MakeFile("folder2/new.txt", 5000);
  CCacher cacher(context_, state_);
  cacher.SetScratchMappingSize(cache::kDataStart + 16777216 + 256);  // the scratch file grows once
  // The last copy cannot open the cache file: the copy made after the drive stays, complete for the
  // drive but without the end of the build (root capacity 0, the later letters not there and not
  // done), so the next start rebuilds.
  auto betweenCopies = [&]() -> Image {
    std::vector<uint8_t> between = *new_;
    uint32_t letter = drive_.Letter() - u'A';
    cache::StoreU32(&between[cache::kDrivesDoneOffset], (2u << letter) - 1);
    cache::StoreU32(&between[cache::kRootBlockOffset], 0);
    std::fill(&between[cache::kRootRecordsOffset + 20 * (letter + 1)], &between[cache::kRootRecordsOffset + 20 * 26 + 2], 0);
    return between;
  };
  Sweep(Beside(""), [&] { test::WriteImage(Beside(""), old_); }, [&] { return cacher.BuildNow(drive_.Mask()); },
        [&](const Case& c) {
          EXPECT_TRUE(c.ended || !test::fs::exists(Beside(".tmp"))) << "the scratch file is left";
          if (c.op == Op::List) return ExpectPartialListing(c);
          if (!ExpectLostInRewrite(c, betweenCopies, 2)) ExpectOldOrNew(c);
        });
}

TEST_F(WriterSweepTest, LocationRefresh) {
  drive_.MakeFile("work/keep/x.txt", 1);
  for (int i = 0; i < 3; ++i) drive_.MakeFile("work/gone/y" + std::to_string(i) + ".txt", 1);
  drive_.MakeFile("grow/a.txt", 1);
  Build();
  const Image built = old_ = test::ReadImage(Beside(""));
  auto restore = [&] { test::WriteImage(Beside(""), built); };
  CLocationRefresher refresher(context_);
  // "keep" is taken over, then the new subfolder's block is stored, which grows the file.
  drive_.Remove("work/gone");
  for (const char* added : {"work/new/z.txt", "work/more0.txt", "work/more1.txt", "work/more2.txt"})
    drive_.MakeFile(added, 1);
  Sweep(Beside(""), restore, [&] { return refresher.RefreshLocation(drive_.Path("work/")); },
        [&](const Case& c) {
          if (c.op == Op::List) return ExpectPartialListing(c);
          // The file cannot grow for the new subfolder: the refresh is given up and reported once,
          // and the change waits until the folder changes again.
          if (c.op == Op::Map && Last(c)) return ExpectFailedLeaving(c, old_);
          if (c.op == kEndsProcess && Last(c)) return ExpectOldTreeInAGrownFile(c);
          ExpectOldOrNew(c);
        });
  // Running out of memory for a folder's new block is among the swept failures: the refresh is undone.
  EXPECT_GT(calls_[int(Op::Alloc)], 0);
  // A folder that only grows: its new block is appended in place of the old one.
  for (const char* added : {"grow/more0.txt", "grow/more1.txt", "grow/more2.txt"}) drive_.MakeFile(added, 1);
  Sweep(Beside(""), restore, [&] { return refresher.RefreshLocation(drive_.Path("grow/")); },
        [&](const Case& c) {
          if (c.op == Op::List) return ExpectPartialListing(c);
          // The file cannot grow: the old block stays, and the failure is reported once.
          if (c.op == Op::Map && Last(c)) return ExpectFailedLeaving(c, old_);
          if (c.op == kEndsProcess && Last(c)) return ExpectOldTreeInAGrownFile(c);
          ExpectOldOrNew(c);
        });
}

// Random changes, each refreshed as the monitor would ask, keep the cache equal to the disk and leave
// free, moved and small never-freed blocks; compaction must give exactly the file of a fresh build.
TEST_F(WriterSweepTest, CompactionGivesTheFileOfAFreshBuild) {
  std::mt19937 random(11);
  for (int i = 0; i < 36; ++i)
    drive_.MakeFile("d" + std::to_string(i / 6) + "/s" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt",
                    random() % 3000);
  Build();
  CLocationRefresher refresher(context_);
  for (int step = 0; step < 40; ++step) {
    std::string folder = "d" + std::to_string(random() % 6) + "/";
    if (random() % 2) folder += "s" + std::to_string(random() % 3) + "/";
    if (random() % 4 == 0) drive_.Remove(folder);
    drive_.MakeFile(folder + "n" + std::to_string(step) + ".txt", random() % 100000);
    // As the monitor would: the folder that holds the change, then its parents up to the root,
    // whose blocks hold the folders' changed times. A folder new to the cache is not found (-1);
    // its parent's refresh brings it in whole.
    for (std::string at = folder;; at = at.substr(0, at.rfind('/', at.size() - 2) + 1)) {
      int result = refresher.RefreshLocation((step % 5 || at.empty() ? u"" : u"#") +
                                             (at.empty() ? drive_.Root() : drive_.Path(at)));
      ASSERT_TRUE(result == 0 || !at.empty()) << step;
      if (at.empty()) break;
    }
  }
  ExpectCacheMatchesDisk();
  old_ = test::ReadImage(Beside(""));
  ASSERT_FALSE(test::FreeList(*old_).empty()) << "the refreshes left free blocks";
  cache::CacheDefragmenter defragmenter;
  Sweep(Beside(""), [&] { test::WriteImage(Beside(""), old_); },
        [&] { return defragmenter.Defragment(cachePath_, state_); },
        [&](const Case& c) {
          EXPECT_TRUE(c.ended || !test::fs::exists(Beside(".frag"))) << "the scratch file is left";
          // The old file is deleted before the new one is made: nothing stays when that fails.
          if (!ExpectLostInRewrite(c, [] { return Image(); }, 1)) ExpectOldOrNew(c);
        });
  test::WriteImage(Beside(""), old_);
  ASSERT_EQ(defragmenter.Defragment(cachePath_, state_), 0);
  for (auto [key, value] : {std::pair{u"UpdateCacheExit", u"TRUE"}, {u"CacheFileVersion", u"1"}, {u"CacheFileSize", u"0"}})
    EXPECT_EQ(state_.ReadState(key, u""), value);
  Build();
  EXPECT_EQ(test::ReadImage(Beside("")), new_) << "compacted and freshly built differ";
}

TEST_F(WriterSweepTest, LoadAndSave) {
  drive_.MakeFile("one.txt", 1);
  Build();
  test::fs::path chosen = test::fs::path(dir_.HostPath()) / "chosen.db";
  test::WriteImage(chosen, test::ReadImage(Beside("")));
  drive_.MakeFile("two.txt", 1);
  Build();
  old_ = test::ReadImage(Beside(""));
  CCacher cacher(context_, state_);
  ChangeMonitor monitor(context_);
  CacheLifecycle lifecycle(context_, state_, cacher, monitor);
  auto restore = [&] {
    test::WriteImage(Beside(""), old_);
    test::WriteImage(Beside(".bak"), std::nullopt);
  };
  Sweep(Beside(""), restore, [&] { return lifecycle.LoadCacheFile(dir_.Path() + u"chosen.db", 0) ? 0 : -1; },
        [&](const Case& c) {
          ExpectOldOrNew(c);
          EXPECT_TRUE(c.ended || test::ReadImage(Beside(".bak")) == (c.result == 0 ? old_ : Image()))
              << "the .bak file is the old cache after a load, and none after a failed one";
        });
  old_ = std::nullopt;  // saving: the chosen file is the one written
  Sweep(chosen, [&] { test::WriteImage(chosen, std::nullopt); },
        [&] { return lifecycle.SaveCacheFileAs(dir_.Path() + u"chosen.db", 0) ? 0 : -1; },
        [&](const Case& c) { ExpectOldOrNew(c); });
}

}  // namespace
}  // namespace lvx::indexer
