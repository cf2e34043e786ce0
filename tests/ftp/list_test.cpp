// Listing format detection and the line rules.
#include <gtest/gtest.h>

#include "ftp/id_ftp.h"
#include "ftp/id_ftp_list.h"

namespace hemlo::ftp {
namespace {

constexpr TIdCivilDate kMarch2024{2024, 3, 10};

TIdFTPListItems Load(const std::vector<std::string>& lines, TIdCivilDate today = kMarch2024) {
  TIdFTPListItems items;
  items.Today = today;
  items.LoadList(lines);
  return items;
}

double Date(int y, int m, int d, int h = 0, int min = 0, int ms = 999) {
  return *EncodeDateTime(y, m, d, h, min, 0, ms);
}

TEST(FtpListFormat, Detection) {
  using F = TIdFTPListFormat;
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("drwxr-xr-x 2 o g 512 Jan 5 12:30 www"), F::flfUnix);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("total 24"), F::flfNone);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("drwxrwxrwt 2 o g 512 Jan 5 12:30 tmp"), F::flfUnix);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("srwxr-xr-x 2 o g 0 Jan 5 12:30 sock"), F::flfUnix);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("FOO.TXT;1 2 1-JAN-2000 10:00 [U] (R,R,R,R)"),
            F::flfVax);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("01-15-03  10:30AM       <DIR>          docs"),
            F::flfDos);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("01-15-03  10:30AM                1,234 a b.txt"),
            F::flfDos);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("01-15-03  10:30AM                 abcd x"),
            F::flfUnknown);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("anything", false), F::flfNoDetails);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat(""), F::flfNone);
  EXPECT_EQ(TIdFTPListItems::CheckListFormat("type=file;size=1; a"), F::flfMlsd);
}

TEST(FtpListUnix, FieldsDatesAndYearRollback) {
  auto items = Load({"total 24", "drwxr-xr-x 2 owner group 512 Jan 5 12:30 www",
                     "-rw-r--r-- 1 owner group 2048 Nov 20 08:05 old.txt"});
  ASSERT_EQ(items.Count(), 2u);
  const auto& www = items[0];
  EXPECT_EQ(www.FileName, "www");
  EXPECT_EQ(www.ItemType, TIdDirItemType::ditDirectory);
  EXPECT_EQ(www.PermissionText(), "rwxr-xr-x");
  EXPECT_EQ(www.OwnerName, "owner");
  EXPECT_EQ(www.GroupName, "group");
  EXPECT_EQ(www.LinkCount, 2);
  EXPECT_EQ(www.Size, 512);
  EXPECT_DOUBLE_EQ(www.ModifiedDate, Date(2024, 1, 5, 12, 30));
  // November is after March: listed last year.
  EXPECT_DOUBLE_EQ(items[1].ModifiedDate, Date(2023, 11, 20, 8, 5));
  EXPECT_EQ(items[1].RawLine, "-rw-r--r-- 1 owner group 2048 Nov 20 08:05 old.txt");
}

TEST(FtpListUnix, MissingGroupLinksAndSpaces) {
  auto items = Load({"-rw-r--r-- 1 owner 1234 Feb 3 2003 index.html",
                     "lrwxrwxrwx 1 owner group 11 Jan 1 2000 link -> target",
                     "-rw-r--r-- 1 o g 5 Jan 1 2000 two  spaces",
                     "lrwxrwxrwx 1 o g 5 Jan 1 2000 plainlink"});
  ASSERT_EQ(items.Count(), 4u);
  EXPECT_EQ(items[0].OwnerName, "");
  EXPECT_EQ(items[0].GroupName, "owner");
  EXPECT_EQ(items[0].Size, 1234);
  EXPECT_DOUBLE_EQ(items[0].ModifiedDate, Date(2003, 2, 3));
  EXPECT_EQ(items[1].ItemType, TIdDirItemType::ditSymbolicLink);
  EXPECT_EQ(items[1].FileName, "link");
  EXPECT_EQ(items[1].LinkTarget, "target");
  EXPECT_EQ(items[2].FileName, "two  spaces");
  EXPECT_EQ(items[3].FileName, "plainlink");
  EXPECT_EQ(items[3].LinkTarget, "");
}

TEST(FtpListUnix, FailingLineIsSkippedAloneAndCounted) {
  auto items =
      Load({"-rw-r--r-- 1 o g 1 Jan 1 2000 a", "-rw-r--r-- 1 o g 1 Feb 30 2003 bad", "   \t ",
            "-rw-r--r-- 1 o g 1 Jan 1 2000 b", "-rw-r--r-- 1 o g 1 Jan 32 2000 c",
            "-rw-r--r-- 1 o g 1 Jan 1 25:00 d", "-rw-r--r-- 1 o g 1 Jan 1 2000 e",
            "-rw-r--r-- 1 o g 1 Jan 1", "-rw-r--r-- 1 o g 1 Jan 2 2000 f"});
  ASSERT_EQ(items.Count(), 4u);
  EXPECT_EQ(items[0].FileName, "a");
  EXPECT_EQ(items[3].FileName, "f");
  EXPECT_EQ(items.UnparsedLines(), 4u);
}

TEST(FtpListUnix, ShiftJisNamesStayBytes) {
  const std::string name = "\x95\x5C\x8E\xA6.htm";  // 表示.htm
  auto items = Load({"-rw-r--r-- 1 o g 10 Jan 1 2000 " + name});
  ASSERT_EQ(items.Count(), 1u);
  EXPECT_EQ(items[0].FileName, name);
}

TEST(FtpListDos, DirectoriesFilesAndUnreadableDates) {
  const std::string dir = "01-15-03  10:30AM       <DIR>          docs";
  ASSERT_EQ(dir.find("<DIR>"), 24u);
  auto items = Load(
      {dir, "01-15-03  10:30PM                1,234 a b.txt", "13-45-03  10:30AM   7 bad date"});
  EXPECT_EQ(items.ListFormat, TIdFTPListFormat::flfDos);
  ASSERT_EQ(items.Count(), 3u);
  EXPECT_EQ(items[0].FileName, "docs");
  EXPECT_EQ(items[0].ItemType, TIdDirItemType::ditDirectory);
  EXPECT_EQ(items[0].Size, 0);
  EXPECT_DOUBLE_EQ(items[0].ModifiedDate, Date(2003, 1, 15, 10, 30, 0));
  EXPECT_EQ(items[0].PermissionText(), "?????????");
  EXPECT_EQ(items[0].OwnerName, "????????");
  EXPECT_EQ(items[1].FileName, "a b.txt");
  EXPECT_EQ(items[1].Size, 1234);
  EXPECT_DOUBLE_EQ(items[1].ModifiedDate, Date(2003, 1, 15, 22, 30, 0));
  EXPECT_EQ(items[2].FileName, "bad date");
  EXPECT_EQ(items[2].ModifiedDate, 0.0);
}

// An MLSD entry may carry no facts (" name"). Read line by line, the MLSD
// lines around it tell it apart; among `ls` lines it stays unread.
TEST(FtpListMlsd, EntryWithoutFacts) {
  const struct {
    std::vector<std::string> lines;
    std::vector<std::string> names;
    size_t unread;
  } kCases[] = {
      {{"type=file;size=5;modify=20240101000000; first.txt", " bare.txt", "   spaced.txt"},
       {"first.txt", "bare.txt", "  spaced.txt"},
       0},
      {{"-rw-r--r-- 1 o g 1 Jan 1 2000 a", " bare.txt"}, {"a"}, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.lines.back());
    const auto items = Load(c.lines);
    std::vector<std::string> names;
    for (const auto& item : items.Items()) names.push_back(item.FileName);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(items.UnparsedLines(), c.unread);
  }
}

TEST(FtpListOther, UnknownEmptyAndNameOnlyListings) {
  EXPECT_EQ(
      Load({"drwxrwxrwt 2 o g 512 Jan 5 12:30 tmp", "-rw-r--r-- 1 o g 1 Jan 1 2000 a"}).Count(),
      2u);
  EXPECT_EQ(Load({}).Count(), 0u);
  TIdFTPListItems names;
  names.LoadList({"  a b ", "c"}, false);
  ASSERT_EQ(names.Count(), 2u);
  EXPECT_EQ(names[0].FileName, "a b");
}

TEST(FtpListOther, ListingBytesSplitAtEveryLineEnd) {
  // The bytes come in pieces of any size: every cut gives the same lines.
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"a\r\n\r\n", {"a", ""}},
      {"a\r\r\nb\n\n", {"a", "", "b", ""}},
      {std::string("\x95\x5C\0\n", 4), {std::string("\x95\x5C\0", 3)}},
      {"", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitListingLines(c.bytes), c.lines);
    for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
      std::vector<std::string> lines;
      ListingLineSplitter splitter(lines);
      splitter.Add(c.bytes.data(), cut);
      for (size_t i = cut; i < c.bytes.size(); ++i) splitter.Add(c.bytes.data() + i, 1);
      splitter.Finish();
      EXPECT_EQ(lines, c.lines) << "cut at " << cut;
    }
  }
}

TEST(FtpDataChannel, PortAndPasvArguments) {
  EXPECT_EQ(PortArgument("192.168.0.5", 1234), "192,168,0,5,4,210");
  SocketAddress a = ParsePasvReply("Entering Passive Mode (127,0,0,1,4,210).");
  EXPECT_EQ(a.ip, "127.0.0.1");
  EXPECT_EQ(a.port, 1234);
  EXPECT_EQ(ParsePasvReply("Entering 10,0,0,2,0,21").ip, "10.0.0.2");
  EXPECT_THROW(ParsePasvReply("Entering (1,2,x,4,5,6)"), EIdException);
}

}  // namespace
}  // namespace hemlo::ftp
