// The results list's text rules: state rows, size and date texts, the "... " rule and how an
// entry's icon is looked up on each kind of drive. The tips are checked on the list itself.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "results/row_text.h"

namespace lvx::results {
namespace {

// 100-ns units from 1601 to a UTC time given as Unix seconds.
os::FileTime Utc(int64_t unixSeconds) {
  return os::FileTime::From(uint64_t(unixSeconds + os::FileTime::kUnixEpochSeconds) * 10000000u);
}

TEST(ResultsText, StateRows) {
  const std::pair<int, const char16_t*> cases[] = {
      {ModeNone, nullptr},
      {ModeResults, nullptr},
      {ModeSearching, u"  Searching......"},
      {ModeNothingFound, u"  No Results Found."},
      {ModeCacheBuilding, u" The search cache is being built now. It usually takes only 1-5 minutes. Please wait a moment."},
      {ModeCacheReady, u"  The caching is finished! You can start searching now.  "},
      {6, nullptr},
      {-1, nullptr},
  };
  for (auto [mode, text] : cases) {
    const char16_t* got = StateText(mode);
    if (!text) {
      EXPECT_EQ(got, nullptr) << mode;
    } else {
      ASSERT_NE(got, nullptr) << mode;
      EXPECT_EQ(std::u16string(got), text) << mode;
    }
  }
}

TEST(ResultsText, SizeAndDate) {
  const std::pair<uint32_t, const char16_t*> sizes[] = {
      {0, u"0KB"}, {999, u"999KB"}, {1234, u"1,234KB"}, {1234567, u"1,234,567KB"}, {UINT32_MAX, u"4,294,967,295KB"}};
  for (auto [kb, text] : sizes) EXPECT_EQ(SizeText(kb), text) << kb;
  // Berlin: UTC+2 in summer, UTC+1 in winter; the rule of the moment shown, not of today.
  const std::pair<os::FileTime, const char16_t*> dates[] = {
      {Utc(1719844200), u"2024-07-01 16:30"},  // 14:30 UTC
      {Utc(1705319100), u"2024-01-15 12:45"},  // 11:45 UTC
      {Utc(946684799), u"2000-01-01 00:59"},   // the last second of 1999 UTC
  };
  for (auto [time, text] : dates) EXPECT_EQ(DateText(time), text) << U8(text);
}

TEST(ResultsText, EllipsisAndWidestText) {
  struct Case {
    int left, right, available;
    uint32_t widestBefore;
    bool ellipsis;
    uint32_t widestAfter;
  };
  const Case cases[] = {
      {100, 50, 200, 600, false, 600},  // fits, narrower than the widest
      {500, 100, 600, 600, false, 600}, // exactly fits, exactly the widest: unchanged
      {500, 101, 601, 600, false, 611}, // wider than the widest, still fits
      {700, 100, 700, 600, true, 810},
      {300, 50, 340, 900, true, 900},   // does not fit, the widest stays
  };
  for (const Case& c : cases) {
    uint32_t widest = c.widestBefore;
    EXPECT_EQ(RightTextNeedsEllipsis(c.left, c.right, c.available, &widest), c.ellipsis) << c.left << "+" << c.right;
    EXPECT_EQ(widest, c.widestAfter) << c.left << "+" << c.right;
  }
}

TEST(ResultsText, IconLookupPerDriveType) {
  using L = IconLookup;
  struct Case {
    uint32_t type;
    L drive, folder, file;  // a drive entry "X:", a folder and a file on the drive
  };
  const Case cases[] = {
      {DriveUnknown, L::FolderIcon, L::FolderIcon, L::ByAttributes},
      {DriveNoRoot, L::ByAttributes, L::FolderIcon, L::ByAttributes},
      {DriveRemovable, L::Real, L::Real, L::Real},
      {DriveFixed, L::Real, L::Real, L::Real},
      {DriveRemote, L::FolderIcon, L::FolderIcon, L::ByAttributes},
      {DriveCdRom, L::Real, L::Real, L::Real},
      {DriveRamDisk, L::Real, L::Real, L::Real},
  };
  auto text = [](L how, const char16_t* real, const char16_t* byName) -> std::u16string {
    return how == L::Real ? real : how == L::ByAttributes ? byName : u"";
  };
  for (const Case& c : cases) {
    IconPlan drive = PlanIconLookup(u"", u"X:", true, c.type);
    EXPECT_EQ(drive.how, c.drive) << c.type;
    EXPECT_EQ(drive.text, text(c.drive, u"X:\\", u"X:\\")) << c.type;
    IconPlan folder = PlanIconLookup(u"X:\\a\\", u"sub", true, c.type);
    EXPECT_EQ(folder.how, c.folder) << c.type;
    EXPECT_EQ(folder.text, text(c.folder, u"X:\\a\\sub", u"sub")) << c.type;
    IconPlan file = PlanIconLookup(u"X:\\a\\", u"report.docx", false, c.type);
    EXPECT_EQ(file.how, c.file) << c.type;
    EXPECT_EQ(file.text, text(c.file, u"X:\\a\\report.docx", u"report.docx")) << c.type;
  }
  // A drive entry that is no folder is asked by attributes whatever its remote type.
  EXPECT_EQ(PlanIconLookup(u"", u"N:", false, DriveRemote).how, L::ByAttributes);
  EXPECT_EQ(IconDriveRoot(u"D:\\x\\", u"a.txt"), u"D:\\");
  EXPECT_EQ(IconDriveRoot(u"", u"C:"), u"C:\\");
  EXPECT_EQ(IconDriveRoot(u"", u""), u"");
}

}  // namespace
}  // namespace lvx::results
