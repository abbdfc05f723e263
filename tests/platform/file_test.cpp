// Files, mappings, folder listings and INI values as the program uses them, on every backend, and
// the seam before each kind of call. POSIX only: the NTFS listing order that makes a cache built on
// Linux deterministic, symbolic links, and host names that are not UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>

#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "platform/watch.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"

namespace lvx::os {
namespace {

namespace fs = std::filesystem;
constexpr uint32_t kWindow = 52428800;  // one cache window
constexpr uint32_t kOverlap = 1048576;  // a view's reach into the next window

class FileTest : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }
  std::string Read(const String& path) {
    File f = OpenToRead(path);
    std::string bytes(64, '\0');
    uint32_t done = 0;
    EXPECT_TRUE(ReadFrom(f, bytes.data(), uint32_t(bytes.size()), &done)) << LastError();
    Close(f);
    return bytes.substr(0, done);
  }
  void Write(const String& path, const std::string& bytes) {
    File f = CreateAnew(path);
    ASSERT_TRUE(f.IsOpen() && WriteTo(f, bytes.data(), uint32_t(bytes.size()))) << LastError();
    Close(f);
  }
  test::TempDir dir_;
};

TEST_F(FileTest, WindowViewsShareTheBytesOfAMappingThatGrewTheFile) {
  const uint32_t size = 2 * kWindow + 4000;  // window 2 is a short tail
  String path = dir_.Child("cache.db");
  File f = CreateAnew(path);
  Mapping m = Map(f, size, true);
  ASSERT_TRUE(m.IsOpen()) << LastError();
  uint8_t* w0 = View(m, 0, kWindow + kOverlap);
  uint8_t* w1 = View(m, kWindow, size - kWindow);  // to the end: its overlap would leave the mapping
  uint8_t* w2 = View(m, 2 * kWindow, 4000);
  ASSERT_TRUE(w0 && w1 && w2) << LastError();
  const char record[] = "a record across the end of window 0";
  std::memcpy(w0 + kWindow - 10, record, sizeof record);
  EXPECT_EQ(std::memcmp(w1, record + 10, sizeof record - 10), 0);
  w1[kWindow + 3999] = 0xA5;
  EXPECT_EQ(w2[3999], 0xA5);
  EXPECT_EQ(View(m, 4096, 16), nullptr) << "off the 64 KB grid";
  EXPECT_EQ(View(m, 3 * kWindow, 16), nullptr) << "past the mapping";
  Unview(w0, kWindow + kOverlap), Unview(w1, size - kWindow), Unview(w2, 4000);
  Unmap(m);
  Close(f);
  // Reopened, the whole file maps at size 0 with what the views wrote; read-only, it cannot grow.
  f = OpenToRead(path);
  m = Map(f, 0, false);
  uint8_t* all = View(m, 0, size);
  ASSERT_EQ(m.size, size);
  ASSERT_NE(all, nullptr) << LastError();
  EXPECT_EQ(std::memcmp(all + kWindow - 10, record, sizeof record), 0);
  EXPECT_EQ(all[size - 1], 0xA5);
  Unview(all, size);
  Unmap(m);
  EXPECT_FALSE(Map(f, size + 4096, false).IsOpen());
  EXPECT_EQ(fs::file_size(fs::path(path)), size);
  Close(f);
}

TEST_F(FileTest, EachOpenDoesWhatItSays) {
  EXPECT_FALSE(OpenToUpdate(dir_.Child("no/such/folder/x")).IsOpen());
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  dir_.MakeFolder("folder");
  EXPECT_FALSE(OpenToReadAlone(dir_.Child("folder")).IsOpen()) << "a folder is no file";
  Write(dir_.Child("u"), "0123456789");
  File f = OpenToUpdate(dir_.Child("u"));
  ASSERT_TRUE(WriteTo(f, "ab", 2));
  Close(f);
  EXPECT_EQ(Read(dir_.Child("u")), "ab23456789") << "an update writes in place";
  Write(dir_.Child("u"), "");
  f = OpenToReadAlone(dir_.Child("u"));
  EXPECT_FALSE(Map(f, 0, false).IsOpen()) << "a file made anew is empty, and has nothing to map";
  Close(f);
  for (int round = 0; round < 2; ++round) {
    f = CreateScratch(dir_.Child("cache.db.tmp"));
#ifndef _WIN32
    EXPECT_EQ(KindOf(dir_.Child("cache.db.tmp")), PathKind::Missing) << "no name even while open";
#endif
    Mapping m = Map(f, 1 << 20, true);
    EXPECT_TRUE(m.IsOpen()) << LastError();
    Unmap(m);
    Close(f);
    EXPECT_EQ(KindOf(dir_.Child("cache.db.tmp")), PathKind::Missing) << "a scratch file vanishes";
  }
  // A reader's view keeps its bytes while a writer makes the file anew.
  String path = dir_.Child("cache.db");
  Write(path, std::string(65536, 'r'));
  File reader = OpenToRead(path);
  Mapping m = Map(reader, 0, false);
  uint8_t* view = View(m, 0, 65536);
  ASSERT_NE(view, nullptr);
  File writer = CreateAnew(path);  // Windows refuses it while the reader is there; POSIX makes a new file
  if (writer.IsOpen()) WriteTo(writer, "w", 1);
  Close(writer);
  EXPECT_EQ(view[65535], 'r');
  Unview(view, 65536);
  Unmap(m);
  Close(reader);
}

TEST_F(FileTest, PathOperations) {
  Write(dir_.Child("a"), "contents of a");
  fs::last_write_time(fs::path(dir_.Child("a")), fs::file_time_type::clock::now() - std::chrono::hours(50));
  Write(dir_.Child("b"), "b");
  ASSERT_TRUE(CopyOver(dir_.Child("a"), dir_.Child("b")));
  EXPECT_EQ(Read(dir_.Child("b")), "contents of a");
  EXPECT_EQ(fs::last_write_time(fs::path(dir_.Child("b"))), fs::last_write_time(fs::path(dir_.Child("a"))));
  EXPECT_FALSE(CopyOver(dir_.Child("missing"), dir_.Child("d")));
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  ASSERT_TRUE(CopyOver(dir_.Child("a"), dir_.Child("c")) && MoveOver(dir_.Child("c"), dir_.Child("b")));
  EXPECT_EQ(KindOf(dir_.Child("c")), PathKind::Missing);
  ASSERT_TRUE(MakeFolder(dir_.Child("sub")));
  EXPECT_FALSE(MakeFolder(dir_.Child("sub")));
  EXPECT_EQ(ErrorOf(LastError()), Error::Exists);
  EXPECT_FALSE(MoveOver(dir_.Child("b"), dir_.Child("sub"))) << "a folder is never replaced";
  EXPECT_EQ(KindOf(dir_.Child("sub")), PathKind::Folder);
  EXPECT_TRUE(FileExists(dir_.Child("b")) && !FileExists(dir_.Child("sub")));
  ASSERT_TRUE(RemoveFile(dir_.Child("b")));
  EXPECT_FALSE(RemoveFile(dir_.Child("b")));
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
}

// Each call that can fail is failed once through the seam: it reports the armed kind and changes
// nothing, and the next call works.
TEST_F(FileTest, TheFaultSeamFailsEachKindOfCall) {
  String path = dir_.Child("seam.db");
  Write(path, std::string(70000, 's'));
  File f = OpenToUpdate(path);
  Mapping m = Map(f, 0, true);
  uint32_t done = 0, folders = 0;
  uint64_t size = 0;
  char buffer[8];
  FolderListing listing;
  FolderEntry entry;
  String ini = dir_.Child("seam.ini");
  auto opens = [&](File g) { bool ok = g.IsOpen(); Close(g); return ok; };
  auto maps = [&](Mapping g) { bool ok = g.IsOpen(); Unmap(g); return ok; };
  struct Case {
    fault::Op op;
    Error error;
    std::function<bool()> call;
  } cases[] = {
      {fault::Op::Open, Error::TooManyFiles, [&] { return opens(OpenToRead(path)); }},
      {fault::Op::Open, Error::InUse, [&] { return opens(CreateScratch(path + u".tmp")); }},
      {fault::Op::Read, Error::IoError, [&] { return ReadFrom(f, buffer, 8, &done); }},
      {fault::Op::Read, Error::IoError, [&] { return SizeOf(f, &size); }},
      {fault::Op::Read, Error::AccessDenied, [&] { return KindOf(path) == PathKind::File; }},
      {fault::Op::Watch, Error::IoError, [&] { return !LongPathOf(dir_.Path()).empty(); }},
      {fault::Op::Write, Error::DiskFull, [&] { return WriteTo(f, "w", 1); }},
      {fault::Op::Write, Error::DiskFull, [&] { return CopyOver(path, path + u".copy"); }},
      {fault::Op::Write, Error::AccessDenied, [&] { return MakeFolder(dir_.Child(std::to_string(++folders))); }},
      {fault::Op::Map, Error::DiskFull, [&] { return maps(Map(f, 200000, true)); }},
      {fault::Op::View, Error::OutOfMemory, [&] {
         uint8_t* v = View(m, 65536, 100);
         return Unview(v, 100), v != nullptr;
       }},
      {fault::Op::List, Error::AccessDenied, [&] { return listing.Open(dir_.Path()); }},
      {fault::Op::List, Error::IoError, [&] { return listing.Next(&entry); }},
      {fault::Op::Write, Error::DiskFull, [&] { return IniWrite(u"S", u"K", u"new", ini); }},
      {fault::Op::Read, Error::IoError, [&] { return IniRead(u"S", u"K", u"default", ini) == u"new"; }},
  };
  for (const Case& c : cases) {
    fault::FailNth(c.op, 1, c.error);
    EXPECT_FALSE(c.call()) << int(c.op);
    EXPECT_EQ(ErrorOf(LastError()), c.error) << int(c.op);
    EXPECT_TRUE(c.call()) << int(c.op) << " " << LastError();
  }
  EXPECT_EQ(fs::file_size(fs::path(path)), 200000u) << "only the mapping that was not failed grew the file";
  fault::Reset();
  fault::FailFrom(fault::Op::Write, 2, Error::DiskFull);
  EXPECT_TRUE(WriteTo(f, "a", 1));
  EXPECT_FALSE(WriteTo(f, "b", 1) || WriteTo(f, "c", 1));
  EXPECT_EQ(fault::Calls(fault::Op::Write), 3);
  Unmap(m);
  Close(f);
}

uint64_t SizeOf(const FolderEntry& e) { return (uint64_t(e.sizeHigh) << 32) | e.sizeLow; }

// The entries of a folder by name, "." and ".." apart in *dots; "!" when it cannot be listed.
std::map<String, FolderEntry> List(FolderListing& listing, const String& folder,
                                   std::vector<String>* dots = nullptr) {
  std::map<String, FolderEntry> entries;
  if (!listing.Open(folder)) return {{u"!", {}}};
  for (FolderEntry e; listing.Next(&e);) {
    String name = e.name;
    if (dots && (name == u"." || name == u".."))
      dots->push_back(name);
    else
      entries[name] = e;
  }
  EXPECT_EQ(ErrorOf(LastError()), Error::None) << "the end is no failure";
  return entries;
}

TEST(FolderListingTest, EntriesCarryKindSizeAndTimeAndFailuresSayWhy) {
  test::TestDrive drive;
  drive.MakeFile("dir/small.txt", 1234);
  drive.MakeFile("dir/big.bin", 5000000000ull);  // sparse; the size needs the high word
  drive.MakeFile("dir/Sub Folder/inside", 1);
  FolderListing listing;
  std::vector<String> dots;
  auto entries = List(listing, drive.Path("dir/"), &dots);
  EXPECT_EQ(dots, (std::vector<String>{u".", u".."})) << "first, in this order";
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_TRUE(entries[u"Sub Folder"].isFolder);
  EXPECT_EQ(SizeOf(entries[u"Sub Folder"]), 0u);
  EXPECT_EQ(SizeOf(entries[u"small.txt"]), 1234u);
  EXPECT_EQ(SizeOf(entries[u"big.bin"]), 5000000000ull);
  for (const char16_t* name : {u"small.txt", u"Sub Folder"})  // FILETIMEs of now: 2020 to 2100
    EXPECT_TRUE(entries[name].lastWriteTime.Value() > 132223104000000000ull &&
                entries[name].lastWriteTime.Value() < 157469184000000000ull) << U8(name);
  EXPECT_EQ(List(listing, drive.Root()).count(u"dir"), 1u);
  EXPECT_EQ(List(listing, drive.Path("missing/")).count(u"!"), 1u);
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  EXPECT_EQ(List(listing, drive.Path("dir/small.txt/")).count(u"!"), 1u) << "a file is no folder";
  EXPECT_EQ(DriveKindOf(drive.Root()), DriveKind::Fixed);
}

TEST_F(FileTest, AnIniFileKeepsItsOtherLinesAndAnyTextWhileKeysChange) {
  const String ini = dir_.Child("state.ini");
  EXPECT_EQ(IniRead(u"STATEINFO", u"X", u"fallback", ini), u"fallback") << "no file yet";
  String start = u"; kept comment\r\n[STATEINFO]\r\nA=1\r\n  Spaced Key  =  spaced value  \r\n\r\n[OTHER]\r\nA=other\r\n";
  std::ofstream(dir_.HostPath() + "/state.ini", std::ios::binary)
      << "\xFF\xFE" << std::string(reinterpret_cast<const char*>(start.data()), start.size() * 2);
  EXPECT_EQ(IniRead(u"stateinfo", u"spaced key", u"", ini), u"spaced value");
  EXPECT_EQ(IniRead(u"OTHER", u"a", u"", ini), u"other") << "a key of another section";
  const String text = u"\u65e5\u672c \u00e9 \U0001F600";
  ASSERT_TRUE(IniWrite(u"StateInfo", u"NEW", text, ini) && IniWrite(u"STATEINFO", u"a", u"2", ini));
  ASSERT_TRUE(IniWrite(u"THIRD", u"C", u"3", ini) && IniDelete(u"STATEINFO", u"Spaced Key", ini));
  ASSERT_TRUE(IniWrite(u"S", u"LONG", String(40000, u'v'), ini));
  EXPECT_EQ(IniRead(u"STATEINFO", u"NEW", u"", ini), text);
  EXPECT_EQ(IniRead(u"STATEINFO", u"A", u"", ini), u"2");
  EXPECT_EQ(IniRead(u"STATEINFO", u"SPACED KEY", u"gone", ini), u"gone");
  EXPECT_EQ(IniRead(u"THIRD", u"C", u"", ini), u"3");
  EXPECT_EQ(IniRead(u"S", u"LONG", u"", ini), String(32767, u'v')) << "cut, never overrun";
  std::ifstream in(dir_.HostPath() + "/state.ini", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "UTF-16LE after its byte-order mark";
  String saved(reinterpret_cast<const char16_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  size_t other = saved.find(u"[OTHER]\r\nA=other");
  EXPECT_EQ(saved.find(u"; kept comment"), 0u) << U8(saved);
  EXPECT_LT(saved.find(u"NEW=" + text), other) << "a new key goes into its own section";
  EXPECT_GT(saved.find(u"[THIRD]"), other);
  EXPECT_FALSE(IniWrite(u"A", u"B", u"C", dir_.Child("no/such/x.ini")));
}

#ifndef _WIN32
// The NTFS order, written plainly: upper-case a-z, compare the keys, then the names.
bool NtfsLess(const String& a, const String& b) {
  auto key = [](String s) {
    for (char16_t& c : s) c = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    return s;
  };
  return key(a) != key(b) ? key(a) < key(b) : a < b;
}

TEST(PosixListingTest, RandomNamesComeInNtfsOrderAndLinksAreNeverFollowed) {
  test::TempDir dir;
  std::mt19937 random(777);
  const char* pieces[] = {"a", "A", "b", "Z", "_", "[", "`", "0", " ", ".", "\xc3\xa9", "\xc3\x89",
                          "\xe6\x97\xa5", "\xf0\x9f\x98\x80", "\xff"};
  std::vector<String> expected;
  for (int i = 0; i < 300; ++i) {
    std::string name;
    for (size_t k = 1 + random() % 6; k > 0; --k) name += pieces[random() % std::size(pieces)];
    if (name == "." || name == ".." || fs::exists(dir.HostPath() + "/" + name)) continue;
    dir.MakeFile(name);
    expected.push_back(FromHostBytes(name));
  }
  fs::create_directory_symlink(".", dir.HostPath() + "/~loop");
  expected.push_back(u"~loop");
  std::sort(expected.begin(), expected.end(), NtfsLess);
  FolderListing listing;
  ASSERT_TRUE(listing.Open(dir.Path()));
  std::vector<String> listed;
  for (FolderEntry e; listing.Next(&e);) {
    listed.push_back(e.name);
    EXPECT_TRUE(listed.back() != u"~loop" || (!e.isFolder && e.sizeLow == 1)) << "the link itself";
  }
  ASSERT_GE(listed.size(), 2u);
  EXPECT_EQ(std::vector<String>(listed.begin() + 2, listed.end()), expected);
}

TEST(PosixNamesTest, BytesThatAreNotUtf8RoundTripAndOpenByTheListedName) {
  std::mt19937 random(12345);
  const unsigned char pool[] = {'a', '/', 0x80, 0xbf, 0xc2, 0xc3, 0xe0, 0xe6, 0xed, 0xf0, 0xf4, 0xff};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = char(pool[random() % sizeof pool]);
    ASSERT_EQ(ToHostBytes(FromHostBytes(bytes)), bytes) << round;
  }
  EXPECT_EQ(FromHostBytes("a\xff\xc3\xa9\xe6\x97"), u"a\xDCFF\u00e9\xDCE6\xDC97");
  test::TestDrive drive;
  drive.MakeFile("bad\xff.txt", 5);
  FolderListing listing;
  FolderEntry e;
  ASSERT_TRUE(listing.Open(drive.Root()) && listing.Next(&e));
  File f = OpenToRead(drive.Root() + e.name);
  uint64_t size = 0;
  EXPECT_TRUE(SizeOf(f, &size) && size == 5) << LastError();
  Close(f);
  EXPECT_EQ(HostPath(drive.Root() + e.name), drive.HostRoot() + "/bad\xff.txt");
  EXPECT_EQ(HostPath(u"Q:\\a"), "") << "an unmapped letter";
  EXPECT_EQ(HostPath(u"/tmp/x\\y"), "/tmp/x/y");
}
#endif

}  // namespace
}  // namespace lvx::os
