// Every writer of the cache file under every single OS failure. For each kind of OS call a clean run
// counts the calls the writer makes; then, for n = 1 to that count, the starting files are put back,
// call n of that kind fails, the writer runs again, and the file it writes must be wholly the old one
// or wholly the new one, the failure reported once (not at all when the writer got past it), and the
// result must say which. A window that cannot be mapped ends the process by design: those cases run
// in a child process (native builds only), which makes them the crash test of each writer.
#include <cstdio>
#include <functional>
#include <sstream>

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
  int n = 0;
  int result = 0;
  std::vector<std::u16string> messages;
  bool ended = false;  // the process ended in the middle (a child process)
  Image file;
};

class WriterSweepTest : public test::IndexerTest {
 protected:
  // Runs every single-failure case of a writer of subject and hands each to check.
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
      std::printf("[ sweep    ] kind %d: %d calls\n", k, calls_[k]);
      for (int n = 1; n <= calls_[k]; ++n) {
        Case c;
        c.op = Op(k);
        c.n = n;
        restore();
        if (c.op == kEndsProcess) {
          if (!RunToTheEnd(c, run)) continue;
        } else {
          test::RecordingMessages messages;
          os::fault::Reset();
          os::fault::FailNth(c.op, n, os::kErrorAccessDenied);
          c.result = run();
          os::fault::Reset();
          c.messages = messages.Texts();
        }
        c.file = test::ReadImage(subject);
        SCOPED_TRACE(Describe(c));
        check(c);
      }
    }
  }

  // A case whose failure ends the process, run in a child that shares this test's files. The one
  // box it shows goes to the child's error output, where the matcher counts it.
  bool RunToTheEnd(Case& c, const std::function<int()>& run) {
#ifdef _WIN32
    (void)c;
    (void)run;
    return false;  // no fork: the native builds check the sudden end
#else
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
          os::SetMessageSink([](const std::u16string& text) {
            std::fprintf(stderr, "<box>%s", U8(text).c_str());
          });
          os::fault::Reset();
          os::fault::FailNth(c.op, c.n, os::kErrorNotEnoughMemory);
          run();
          std::exit(3);
        },
        ::testing::ExitedWithCode(0), ::testing::MatchesRegex("[^<]*<box>[^<]*MapFilePos - 002[^<]*"))
        << "kind " << int(c.op) << " call " << c.n;
    c.ended = true;
    return true;
#endif
  }

  std::string Describe(const Image& image) const {
    if (!image) return "no file";
    std::ostringstream text;
    text << image->size() << " bytes";
    if (image == old_) return text.str() + " (the old file)";
    if (image == new_) return text.str() + " (the new file)";
    auto differs = [&](const Image& other) {
      if (!other) return std::string("-");
      size_t at = std::mismatch(image->begin(), image->begin() + std::min(image->size(), other->size()),
                                other->begin()).first - image->begin();
      return std::to_string(at);
    };
    text << std::hex << ", DrivesDone 0x" << test::Word(*image, cache::kDrivesDoneOffset)
         << ", DrivesBusy 0x" << test::Word(*image, cache::kDrivesBusyOffset) << std::dec
         << ", root capacity " << test::Word(*image, cache::kRootBlockOffset)
         << ", first difference from the old file at " << differs(old_) << ", from the new at "
         << differs(new_);
    return text.str();
  }
  std::string Describe(const Case& c) const {
    std::ostringstream text;
    text << "kind " << int(c.op) << " call " << c.n << ": ";
    if (c.ended)
      text << "the process ended";
    else
      text << "result " << c.result << ", " << c.messages.size() << " message(s)"
           << (c.messages.empty() ? "" : ": " + U8(c.messages[0].substr(c.messages[0].rfind(u'\n') + 1)));
    return text.str() + "; left " + Describe(c.file);
  }

  // The rule: the old file or the new one, and a result and a report that say which.
  void ExpectOldOrNew(const Case& c) {
    bool isOld = c.file == old_, isNew = c.file == new_;
    EXPECT_TRUE(isOld || isNew) << "neither the old nor the new file";
    if (c.ended) return;  // the child's matcher counted its one box
    EXPECT_EQ(c.result == 0, isNew) << "the result does not say what the file holds";
    EXPECT_LE(c.messages.size(), 1u);
    EXPECT_TRUE(c.result == 0 || c.messages.size() == 1) << "a failure reported " << c.messages.size() << " times";
  }
  // A case that leaves a third file, as it is today: failed, reported once, and that file.
  void ExpectFailedLeaving(const Case& c, const Image& left, size_t messages = 1) {
    EXPECT_EQ(c.file, left) << "the known third outcome changed";
    if (c.ended) return;
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.messages.size(), messages);
  }
  // A listing that fails ends that folder's listing: the writer goes on with the entries it got,
  // and every entry in the file is on the disk or was in the old file.
  void ExpectPartialListing(const Case& c) {
    EXPECT_EQ(c.result, 0);
    EXPECT_TRUE(c.messages.empty());
    ASSERT_TRUE(c.file);
    test::CachedDrive cached = test::ReadDrive(*c.file, drive_.Letter());
    EXPECT_TRUE(cached.sound);
    std::vector<std::string> known = Disk(), old = Lines(old_);
    known.insert(known.end(), old.begin(), old.end());
    std::sort(known.begin(), known.end());
    EXPECT_TRUE(std::includes(known.begin(), known.end(), cached.lines.begin(), cached.lines.end()));
    EXPECT_EQ(test::Word(*c.file, cache::kDrivesDoneOffset), cache::kAllDrivesDone);
    EXPECT_EQ(test::Word(*c.file, cache::kDrivesBusyOffset), 0u);
  }
  bool Last(const Case& c) const { return c.n == calls_[int(c.op)]; }
  Image Zeros() const { return std::vector<uint8_t>(new_->size(), 0); }
  std::vector<std::string> Lines(const Image& image) const {
    return test::ReadDrive(image.value_or(std::vector<uint8_t>{}), drive_.Letter()).lines;
  }

  Image old_, new_;
  std::vector<int> calls_;
};

TEST_F(WriterSweepTest, FullBuild) {
  for (int i = 0; i < 6; ++i)
    for (int f = 0; f < 2; ++f)
      drive_.MakeFile("folder" + std::to_string(i) + "/file" + std::to_string(f) + ".txt", 100);
  Build();
  old_ = test::ReadImage(Beside(""));
  drive_.MakeFile("folder2/new.txt", 5000);
  CCacher cacher(context_, state_);
  cacher.SetScratchMappingSize(cache::kDataStart + 16777216 + 256);  // the scratch file grows once
  Sweep(
      Beside(""), [&] { test::WriteImage(Beside(""), old_); },
      [&] { return cacher.BuildNow(drive_.Mask()); },
      [&](const Case& c) {
        if (!c.ended) {
          EXPECT_FALSE(test::fs::exists(Beside(".tmp"))) << "the scratch file is left";
        }
        if (c.op == Op::List) return ExpectPartialListing(c);
        // Each copy over the cache file (after the drive, and the last) empties the file before it
        // writes it, so a failure in the last copy loses the cache (the next start rebuilds it).
        if (c.op == Op::Open && Last(c)) {
          // The last copy cannot open the file: the copy made after the drive stays, complete
          // for the drive but without its end (root capacity 0, later letters missing, the
          // drive's letter the last one done).
          std::vector<uint8_t> between = *new_;
          uint32_t letter = drive_.Letter() - u'A';
          cache::StoreU32(&between[cache::kDrivesDoneOffset], (2u << letter) - 1);
          cache::StoreU32(&between[cache::kRootBlockOffset], 0);
          std::fill(between.begin() + cache::kRootRecordsOffset + 20 * (letter + 1),
                    between.begin() + cache::kRootRecordsOffset + 20 * 26 + 2, 0);
          return ExpectFailedLeaving(c, between);
        }
        if (c.op == Op::Map && Last(c)) return ExpectFailedLeaving(c, std::vector<uint8_t>{});
        if (c.op == kEndsProcess && c.n >= calls_[int(c.op)] - 1) return ExpectFailedLeaving(c, Zeros());
        ExpectOldOrNew(c);
      });
}

struct Yes : IStartupQuestion {
  bool Ask(const std::u16string&) override { return true; }
};

TEST_F(WriterSweepTest, LocationRefresh) {
  // A folder whose kept subfolder is taken over before a new one is stored, which grows the file.
  drive_.MakeFile("work/keep/x.txt", 1);
  for (int i = 0; i < 3; ++i) drive_.MakeFile("work/gone/y" + std::to_string(i) + ".txt", 1);
  drive_.MakeFile("grow/a.txt", 1);
  Build();
  const Image built = old_ = test::ReadImage(Beside(""));
  drive_.Remove("work/gone");
  drive_.MakeFile("work/new/z.txt", 1);
  for (int i = 0; i < 3; ++i) drive_.MakeFile("work/more" + std::to_string(i) + ".txt", 1);
  CLocationRefresher refresher(context_, drive_.Letter());
  Yes yes;
  auto restore = [&] { test::WriteImage(Beside(""), built); };
  Sweep(Beside(""), restore, [&] { return refresher.RefreshLocation(drive_.Path("work/")); },
        [&](const Case& c) {
          if (c.op == Op::List) return ExpectPartialListing(c);
          // The file cannot grow for the new subfolder: the refresh is given up without a word
          // (the change is lost until the folder changes again).
          if (c.op == Op::Map && Last(c)) return ExpectFailedLeaving(c, old_, 0);
          if (c.op == kEndsProcess && Last(c)) {
            // The end comes after "keep" was taken over and before the new block replaced the
            // old: "keep" stays marked taken over, hidden from every reader with its subtree, and
            // no drive is marked busy, so the next start keeps the cache as it is.
            std::vector<std::string> hidden = Lines(old_);
            std::erase_if(hidden, [](const std::string& line) { return line.rfind("work/keep/", 0) == 0; });
            EXPECT_EQ(Lines(c.file), hidden);
            EXPECT_EQ(test::Word(*c.file, cache::kDrivesBusyOffset), 0u);
            return;
          }
          ExpectOldOrNew(c);
        });
  // A folder that only grows: its new block is appended in place of the old one.
  for (int i = 0; i < 3; ++i) drive_.MakeFile("grow/more" + std::to_string(i) + ".txt", 1);
  Sweep(Beside(""), restore, [&] { return refresher.RefreshLocation(drive_.Path("grow/")); },
        [&](const Case& c) {
          if (c.op == Op::List) return ExpectPartialListing(c);
          if (c.op == Op::Map && Last(c)) {
            // The file cannot grow for the new block: the old block stays, the drive is marked
            // busy so that the next start offers a rebuild, and nothing is said now.
            std::vector<uint8_t> marked = *old_;
            cache::StoreU32(&marked[cache::kDrivesBusyOffset], drive_.Mask());
            return ExpectFailedLeaving(c, marked, 0);
          }
          if (c.op == kEndsProcess && Last(c)) {
            // The end comes while the block is replaced: the drive stays marked busy and the
            // next start rebuilds.
            EXPECT_EQ(test::Word(*c.file, cache::kDrivesBusyOffset), drive_.Mask());
            EXPECT_EQ(DecideAtStartup(cachePath_, state_, {}, yes).action, StartupAction::Build);
            return;
          }
          ExpectOldOrNew(c);
        });
}

TEST_F(WriterSweepTest, Compaction) {
  for (int i = 0; i < 4; ++i) drive_.MakeFile("d" + std::to_string(i) + "/s/f.txt", 1);
  Build();
  CLocationRefresher refresher(context_, drive_.Letter());
  for (int i = 0; i < 4; ++i) {
    drive_.MakeFile("d" + std::to_string(i) + "/s/more-" + std::to_string(i) + ".txt", 1);
    ASSERT_EQ(refresher.RefreshLocation(drive_.Path("d" + std::to_string(i) + "/s/")), 0);
  }
  old_ = test::ReadImage(Beside(""));
  cache::CacheDefragmenter defragmenter;
  Sweep(
      Beside(""), [&] { test::WriteImage(Beside(""), old_); },
      [&] { return defragmenter.Defragment(cachePath_, state_); },
      [&](const Case& c) {
        if (!c.ended) {
          EXPECT_FALSE(test::fs::exists(Beside(".frag"))) << "the scratch file is left";
        }
        // The old file is deleted before the new one is made: a failure in making it loses the
        // cache (the next start builds a new one).
        if (c.op == Op::Open && Last(c)) return ExpectFailedLeaving(c, std::nullopt);
        if (c.op == Op::Map && Last(c)) return ExpectFailedLeaving(c, std::vector<uint8_t>{});
        if (c.op == kEndsProcess && Last(c)) return ExpectFailedLeaving(c, Zeros());
        ExpectOldOrNew(c);
      });
}

TEST_F(WriterSweepTest, LoadAndSave) {
  drive_.MakeFile("one.txt", 1);
  Build();
  Image first = test::ReadImage(Beside(""));
  drive_.MakeFile("two.txt", 1);
  Build();
  test::fs::path chosen = test::fs::path(dir_.HostPath()) / "chosen.db";
  test::WriteImage(chosen, first);
  old_ = test::ReadImage(Beside(""));
  CCacher cacher(context_, state_);
  ChangeMonitor monitor(context_);
  CacheLifecycle lifecycle(context_, state_, cacher, monitor);
  Sweep(
      Beside(""),
      [&] {
        test::WriteImage(Beside(""), old_);
        test::WriteImage(Beside(".bak"), std::nullopt);
      },
      [&] { return lifecycle.LoadCacheFile(dir_.Path() + u"chosen.db", drive_.Mask()) ? 0 : -1; },
      [&](const Case& c) {
        ExpectOldOrNew(c);
        if (!c.ended) {
          EXPECT_EQ(test::ReadImage(Beside(".bak")), c.result == 0 ? old_ : std::nullopt);
        }
      });
  old_ = std::nullopt;  // saving: the chosen file is the one written
  Sweep(
      chosen, [&] { test::WriteImage(chosen, std::nullopt); },
      [&] { return lifecycle.SaveCacheFileAs(dir_.Path() + u"chosen.db", drive_.Mask()) ? 0 : -1; },
      [&](const Case& c) { ExpectOldOrNew(c); });
}

}  // namespace
}  // namespace lvx::indexer
