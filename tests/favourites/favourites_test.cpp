#include "favourites/favourites.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "favourites/favourites_fixture.h"
#include "text/cp932.h"

namespace hemlo::favourites {
namespace {

namespace fs = std::filesystem;
using text::Sjis;

using FavouritesFileTest = FavouritesFolderTest;

TEST_F(FavouritesFileTest, FirstStartOffersOneCategoryAndWritesItOnSave) {
  FavouritesList list;
  ASSERT_TRUE(list.Load());
  EXPECT_FALSE(fs::exists(folder_ / "favorite.ini"));  // nothing written before a save
  const auto tree = BuildFavouriteTree(list.lines());
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree[0].entries.size(), 4u);
  for (const auto& e : tree[0].entries) EXPECT_EQ(e.url.rfind("https://", 0), 0u) << e.url;

  ASSERT_TRUE(SaveFavourites(tree, list));
  const std::string bytes = FileBytes();
  EXPECT_EQ(SplitLines(bytes).size(), 4u);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  EXPECT_EQ(bytes.find('\n', 0), bytes.find("\r\n", 0) + 1);  // only CRLF line ends

  FavouritesList reloaded;
  ASSERT_TRUE(reloaded.Load());
  EXPECT_EQ(reloaded.lines(), list.lines());
}

TEST_F(FavouritesFileTest, TitleWithQuotesAndCommasSurvivesSaveAndReload) {
  const std::string title = Sjis("“引用” と \"quoted\", 表示");
  std::vector<FavouriteCategory> tree = {{Sjis("分類"), {{title, "http://example.jp/?a=1,2"}}}};
  FavouritesList list;
  ASSERT_TRUE(list.Load());
  ASSERT_TRUE(SaveFavourites(tree, list));
  EXPECT_NE(FileBytes().find("\"\"quoted\"\""), std::string::npos);

  FavouritesList reloaded;
  ASSERT_TRUE(reloaded.Load());
  const auto again = BuildFavouriteTree(reloaded.lines());
  ASSERT_EQ(again.size(), 1u);
  ASSERT_EQ(again[0].entries.size(), 1u);
  EXPECT_EQ(again[0].name, Sjis("分類"));
  EXPECT_EQ(again[0].entries[0].title, title);
  EXPECT_EQ(again[0].entries[0].url, "http://example.jp/?a=1,2");
}

TEST_F(FavouritesFileTest, NewEntryLandsInSortedPositionIgnoringCase) {
  WriteFile("\"alpha\",\"one\",\"http://a/\"\r\n\"Charlie\",\"three\",\"http://c/\"\r\n");
  FavouritesList list;
  ASSERT_TRUE(list.Load());
  auto tree = BuildFavouriteTree(list.lines());
  ASSERT_EQ(tree.size(), 2u);
  // Added under the last category in the tree, but "BRAVO" sorts between.
  tree.push_back({"BRAVO", {{"two", "http://b/"}}});
  tree[0].entries.push_back({"no address", ""});  // dropped: empty URL
  ASSERT_TRUE(SaveFavourites(tree, list));
  EXPECT_EQ(FileBytes(),
            "\"alpha\",\"one\",\"http://a/\"\r\n"
            "\"BRAVO\",\"two\",\"http://b/\"\r\n"
            "\"Charlie\",\"three\",\"http://c/\"\r\n");
}

TEST_F(FavouritesFileTest, MalformedRowIsSkippedInTheTreeButKeptInTheFile) {
  WriteFile(
      "\"news\",\"NHK\",\"https://www3.nhk.or.jp/\"\r\n"
      "\"half a row\",\"only two\"\r\n"
      "\r\n"
      "\"news\",\"JMA\",\"https://www.jma.go.jp/\"\r\n");
  FavouritesList list;
  ASSERT_TRUE(list.Load());
  auto tree = BuildFavouriteTree(list.lines());
  ASSERT_EQ(tree.size(), 1u);  // the bad row does not split the category
  EXPECT_EQ(tree[0].entries.size(), 2u);
  tree[0].entries.erase(tree[0].entries.begin());  // the user deletes NHK
  ASSERT_TRUE(SaveFavourites(tree, list));
  EXPECT_EQ(FileBytes(),
            "\"half a row\",\"only two\"\r\n"
            "\"news\",\"JMA\",\"https://www.jma.go.jp/\"\r\n");
}

TEST_F(FavouritesFileTest, HandWrittenRowStaysAsWrittenUntilSomethingChanges) {
  const std::string hand = "z,Last,http://z/\r\ncat,My Page,http://my.example/page\r\n";
  WriteFile(hand);
  FavouritesList list;
  ASSERT_TRUE(list.Load());
  auto tree = BuildFavouriteTree(list.lines());
  ASSERT_TRUE(SaveFavourites(tree, list));
  EXPECT_EQ(FileBytes(), hand);
  tree[1].entries[0].title = "Our Page";
  ASSERT_TRUE(SaveFavourites(tree, list));
  EXPECT_EQ(FileBytes(),
            "\"cat\",\"Our Page\",\"http://my.example/page\"\r\n\"z\",\"Last\",\"http://z/\"\r\n");
}

TEST_F(FavouritesFileTest, UnreadableFileIsReportedAndNeverOverwritten) {
  fs::create_directories(folder_ / "favorite.ini");  // exists, cannot be read as a file
  FavouritesList list;
  const FileResult loaded = list.Load();
  EXPECT_FALSE(loaded);
  EXPECT_FALSE(loaded.message.empty());
  EXPECT_TRUE(list.lines().empty());
  const auto result = SaveFavourites({{"c", {{"t", "http://x/"}}}}, list);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(fs::is_directory(folder_ / "favorite.ini"));
}

TEST_F(FavouritesFileTest, FailedWriteKeepsTheListAndReportsIt) {
  FavouritesList list;
  ASSERT_TRUE(list.Load());
  const auto before = list.lines();
  SetProgramFolder(folder_ / "missing" / "folder");
  const auto result = SaveFavourites({{"c", {{"t", "http://x/"}}}}, list);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("favorite.ini"), std::string::npos);
  EXPECT_EQ(list.lines(), before);
}

TEST(FavouriteRowTest, SplitFollowsTheCommaTextRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitRow("\"a b\",\"c,d\",\"e\"\"f\""), (V{"a b", "c,d", "e\"f"}));
  EXPECT_EQ(SplitRow("  plain words ,x"), (V{"plain words", "x"}));
  EXPECT_EQ(SplitRow("\"a\",,\"c\""), (V{"a", "", "c"}));
  EXPECT_EQ(SplitRow("\"a\",\"b\","), (V{"a", "b", ""}));
  EXPECT_EQ(SplitRow("\"unclosed, still one"), (V{"unclosed, still one"}));
  // NUL stays field text, unlike in the transfer profiles.
  EXPECT_EQ(SplitRow(std::string("a\0b,c", 5)), (V{std::string("a\0b", 3), "c"}));
  EXPECT_TRUE(SplitRow("").empty());
  // "表" ends in 0x5C and "ソ" in 0x5C too; neither disturbs the split.
  EXPECT_EQ(SplitRow(Sjis("\"表\",\"ソ\",\"u\"")), (V{Sjis("表"), Sjis("ソ"), "u"}));
  EXPECT_EQ(ParseRow("\"a\",\"b\""), std::nullopt);
  const std::string row = FormatRow("c\"1", "t", "u");
  EXPECT_EQ(row, "\"c\"\"1\",\"t\",\"u\"");
  const auto parsed = ParseRow(row);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->category, "c\"1");
}

TEST(FavouriteTreeTest, NonAdjacentRowsOfOneCategoryMakeTwoNodes) {
  const auto tree = BuildFavouriteTree({FormatRow("A", "1", "u1"), FormatRow("B", "2", "u2"),
                                        FormatRow("A", "3", "u3"), FormatRow("a", "4", "u4")});
  ASSERT_EQ(tree.size(), 4u);
  EXPECT_EQ(tree[0].name, "A");
  EXPECT_EQ(tree[2].name, "A");
  EXPECT_EQ(tree[3].name, "a");  // the comparison while building is exact
}

TEST(CategoryNameTest, DuplicatesInAnotherLetterCaseAreFound) {
  const std::vector<std::string> names = {"News", Sjis("ｗｅｂ"), Sjis("ニュース"), Sjis("Ωmega")};
  EXPECT_TRUE(CategoryExists(names, "NEWS"));
  EXPECT_TRUE(CategoryExists(names, Sjis("ＷＥＢ")));
  EXPECT_TRUE(CategoryExists(names, Sjis("ωMEGA")));
  EXPECT_FALSE(CategoryExists(names, "web"));  // width is not case
  EXPECT_FALSE(CategoryExists(names, Sjis("ﾆｭｰｽ")));
  EXPECT_FALSE(CategoryExists(names, "New"));
  EXPECT_EQ(CompareIgnoringCase("abc", "ABD"), -1);
  EXPECT_EQ(CompareIgnoringCase("ABC", "abc"), 0);
}

TEST(FavouritesSortTest, FollowsTheLocalesCollationIgnoringCase) {
  const char* saved = std::getenv("LC_ALL");
  const std::string restore = saved ? saved : "";
  std::vector<FavouriteCategory> tree;
  for (const char* name : {"カタカナ", "キ", "ｶﾀｶﾅ", "b", "B", "a"})
    tree.push_back({Sjis(name), {{"t", "u"}}});
  for (const char* locale : {"ja_JP.UTF-8", "C"}) {
    ::setenv("LC_ALL", locale, 1);
    std::vector<std::string> names;
    for (const std::string& row : RowsToSave(tree, {})) names.push_back(ParseRow(row)->category);
    EXPECT_EQ(names,
              (std::vector<std::string>{"a", "b", "B", Sjis("カタカナ"), Sjis("ｶﾀｶﾅ"), Sjis("キ")}))
        << locale;
  }
  if (saved)
    ::setenv("LC_ALL", restore.c_str(), 1);
  else
    ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace hemlo::favourites
