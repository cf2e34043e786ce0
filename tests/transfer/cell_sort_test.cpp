// Date and size cells, and the shared sort rules over them.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>

#include "ftp/id_ftp_list.h"
#include "remote/cell_text.h"
#include "remote/remote_session.h"
#include "transfer/sort_rules.h"

namespace hemlo::transfer {
namespace {

TEST(CellText, Dates) {
  EXPECT_EQ(DateCellText({2024, 3, 9, 0, 0, 0}), "2024/03/09");
  EXPECT_EQ(DateCellText({2024, 3, 9, 7, 5, 0}), "2024/03/09 07:05:00");
  EXPECT_EQ(DateCellText({2024, 3, 9, 0, 0, 1}), "2024/03/09 00:00:01");
  const double d = *ftp::EncodeDateTime(2023, 12, 31, 23, 59, 59, 0);
  EXPECT_EQ(DateCellText(FromDayNumber(d)), "2023/12/31 23:59:59");
  EXPECT_EQ(DateCellText(FromDayNumber(*ftp::EncodeDateTime(2000, 2, 29, 0, 0, 0, 0))),
            "2000/02/29");
  EXPECT_EQ(DateCellText(FromDayNumber(*ftp::EncodeDateTime(1970, 1, 1, 12, 0, 0, 0))),
            "1970/01/01 12:00:00");
}

TEST(CellText, Sizes) {
  EXPECT_EQ(SizeCellText(0), "         0");
  EXPECT_EQ(SizeCellText(999), "       999");
  EXPECT_EQ(SizeCellText(1000), "     1,000");
  EXPECT_EQ(SizeCellText(1234567), " 1,234,567");
  EXPECT_EQ(SizeCellText(12345678), "12,345,678");
  EXPECT_EQ(SizeCellText(1234567890), "1,234,567,890");  // longer texts are not cut
}

TEST(SortRules, HeaderClicksToggleOnlyTheSameColumn) {
  SortState s;
  s.SortDirection = 2;  // start-up state
  s.HeaderClick(1);
  EXPECT_EQ(s.SortDirection, -2);
  s.HeaderClick(1);
  EXPECT_EQ(s.SortDirection, 2);
  s.HeaderClick(2);
  EXPECT_EQ(s.SortColumn, 2);
  EXPECT_EQ(s.SortDirection, 3);
  s.HeaderClick(0);
  EXPECT_EQ(s.SortDirection, 1);
  s.HeaderClick(0);
  EXPECT_EQ(s.SortDirection, -1);
}

std::vector<std::vector<std::string>> Sorted(std::vector<std::vector<std::string>> rows,
                                             const SortState& s) {
  std::stable_sort(rows.begin(), rows.end(),
                   [&](const auto& a, const auto& b) { return CompareRows(s, a, b) < 0; });
  return rows;
}

TEST(SortRules, SizesByMagnitudeDatesAsText) {
  SortState s;
  s.HeaderClick(2);
  const auto rows = Sorted(
      {{"a", "", SizeCellText(1000)}, {"b", "", SizeCellText(20)}, {"c", "", SizeCellText(300)}},
      s);
  EXPECT_EQ(rows[0][0], "b");
  EXPECT_EQ(rows[1][0], "c");
  EXPECT_EQ(rows[2][0], "a");
  // Wider than the padding, or with no padding at all, still by value.
  const auto wide =
      Sorted({{"g", "", SizeCellText(1200000000)}, {"m", "", "123,456"}, {"d", "", ""}}, s);
  EXPECT_EQ(wide[0][0], "d");
  EXPECT_EQ(wide[1][0], "m");
  EXPECT_EQ(wide[2][0], "g");
  s.HeaderClick(1);
  s.HeaderClick(1);  // descending
  const auto by_date =
      Sorted({{"x", "2024/01/05"}, {"y", "2024/01/05 10:00:00"}, {"z", "2023/12/31 23:00:00"}}, s);
  EXPECT_EQ(by_date[0][0], "y");
  EXPECT_EQ(by_date[1][0], "x");
  EXPECT_EQ(by_date[2][0], "z");
}

TEST(SortRules, TextColumnsFoldOnlyAsciiLetters) {
  EXPECT_EQ(CompareTextAscii("rwx", "RWX"), 0);
  // '_' lies between 'Z' and 'a': folding to upper case puts it after letters.
  EXPECT_GT(CompareTextAscii("_", "b"), 0);
  EXPECT_LT(CompareTextAscii("ab", "abc"), 0);
  EXPECT_NE(CompareTextAscii("\xC3\xA9", "\xC3\x89"), 0);  // é/É are not folded
}

TEST(SortRules, NamesAreLocaleAwareAndCaseSensitive) {
  // A collator that is not plain byte order must decide column 0.
  const NameCollator reverse = [](const std::string& a, const std::string& b) {
    return b.compare(a);
  };
  SortState s;
  s.HeaderClick(0);
  EXPECT_GT(CompareRows(s, {"a"}, {"b"}, reverse), 0);
  s.HeaderClick(0);
  EXPECT_LT(CompareRows(s, {"a"}, {"b"}, reverse), 0);
  // With a UTF-8 locale the default collation is used, case-sensitive.
  if (std::setlocale(LC_COLLATE, "C.UTF-8") || std::setlocale(LC_COLLATE, "en_US.UTF-8")) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    EXPECT_NE(CollateUtf8("a", "A"), 0);
    EXPECT_LT(CollateUtf8("abc", "abd"), 0);
    EXPECT_EQ(CollateUtf8("same", "same"), 0);
  }
}

TEST(SortRules, MissingColumnKeepsOrder) {
  SortState s;
  s.HeaderClick(3);  // the remote list's "属性", absent from the local list
  const auto rows = Sorted({{"b", "1", "2"}, {"a", "1", "2"}}, s);
  EXPECT_EQ(rows[0][0], "b");
}

TEST(RemoteRows, CellsAndImages) {
  ftp::TIdFTPListItems items;
  items.Today = ftp::TIdCivilDate{2024, 6, 1};
  items.LoadList({"drwxr-xr-x   2 u g      4096 Jan 05  2024 img",
                  "-rw-r--r--   1 u g   1234567 May 20 09:15 index.htm",
                  "lrwxrwxrwx   1 u g        11 May 20 09:15 link -> index.htm",
                  "type=file;size=-5;modify=2024XX01000000; unknown.htm"});
  const auto rows = RowsOfListing(items);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_TRUE(rows[0].Folder);
  EXPECT_EQ(rows[0].DateText, "2024/01/05");
  EXPECT_EQ(rows[0].PermissionText, "rwxr-xr-x");
  EXPECT_FALSE(rows[1].Folder);
  EXPECT_EQ(rows[1].SizeText, " 1,234,567");
  EXPECT_EQ(rows[1].DateText, "2024/05/20 09:15:00");
  EXPECT_FALSE(rows[2].Folder);  // links show the file image
  // Size and date the server sent unreadably: blank, the entry still listed.
  EXPECT_EQ(rows[3].FileName, "unknown.htm");
  EXPECT_EQ(rows[3].SizeText, "");
  EXPECT_EQ(rows[3].DateText, "");
}

TEST(HostPort, PortAfterColon) {
  EXPECT_EQ(SplitHostPort("ftp.example.jp", 21).host, "ftp.example.jp");
  EXPECT_EQ(SplitHostPort("ftp.example.jp", 21).port, 21);
  const HostPort hp = SplitHostPort("127.0.0.1:2121", 21);
  EXPECT_EQ(hp.host, "127.0.0.1");
  EXPECT_EQ(hp.port, 2121);
  for (const char* odd : {"host:", ":21", "host:99999", "host:0", "host:2x"}) {
    EXPECT_EQ(SplitHostPort(odd, 21).host, odd);
    EXPECT_EQ(SplitHostPort(odd, 21).port, 21);
  }
}

TEST(HostPort, FtpesPrefixAsksForTls) {
  const struct {
    const char* field;
    const char* host;
    int port;
    bool tls;
  } cases[] = {
      {"ftp.example.jp", "ftp.example.jp", 21, false},
      {"ftp.example.jp:2121", "ftp.example.jp", 2121, false},
      {"ftpes://ftp.example.jp", "ftp.example.jp", 21, true},
      {"ftpes://127.0.0.1:2121", "127.0.0.1", 2121, true},
      {"FTPES://Ftp.Example.JP/", "Ftp.Example.JP", 21, true},
      {"FtpEs://host:990/", "host", 990, true},
      {"ftps://host", "host", 990, true},  // implicit TLS: its own port
      {"FTPS://127.0.0.1:2990/", "127.0.0.1", 2990, true},
      {"ftp://host", "ftp://host", 21, false},  // only the TLS schemes are known
      {"ftpes:/host", "ftpes:/host", 21, false},
  };
  for (const auto& c : cases) {
    const HostPort hp = ParseHostField(c.field, 21);
    EXPECT_EQ(hp.host, c.host) << c.field;
    EXPECT_EQ(hp.port, c.port) << c.field;
    EXPECT_EQ(hp.tls, c.tls) << c.field;
    EXPECT_EQ(hp.implicit_tls, std::string_view(c.field).substr(0, 5) == "ftps:" ||
                                   std::string_view(c.field).substr(0, 5) == "FTPS:")
        << c.field;
  }
}

TEST(HostPort, SftpPrefixChoosesSftpOnPort22) {
  const struct {
    const char* field;
    const char* host;  // nullptr: not an SFTP field
    int port;
  } cases[] = {
      {"sftp://example.jp", "example.jp", 22}, {"SFTP://127.0.0.1:2222/", "127.0.0.1", 2222},
      {"sftp://host:", "host:", 22},           {"example.jp", nullptr, 0},
      {"ftpes://example.jp", nullptr, 0},      {"sftp:/example.jp", nullptr, 0},
  };
  for (const auto& c : cases) {
    const auto hp = ParseSftpHost(c.field);
    ASSERT_EQ(hp.has_value(), c.host != nullptr) << c.field;
    if (!hp) continue;
    EXPECT_EQ(hp->host, c.host) << c.field;
    EXPECT_EQ(hp->port, c.port) << c.field;
  }
}

}  // namespace
}  // namespace hemlo::transfer
