// Path rules on whole Shift-JIS characters and the local tree walk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "text/cp932.h"
#include "transfer/local_paths.h"
#include "transfer/local_trash.h"

namespace hemlo::transfer {
namespace {
namespace fs = std::filesystem;
using text::Sjis;

TEST(LocalPaths, ParentPathExamples) {
  EXPECT_EQ(ParentPath("C:\\www\\site\\", '\\'), "C:\\www\\");
  EXPECT_EQ(ParentPath("C:\\www\\site", '\\'), "C:\\www\\");
  EXPECT_EQ(ParentPath("site/sub", '/'), "site/");
  EXPECT_EQ(ParentPath("site", '/'), "");
  EXPECT_EQ(ParentPath("", '/'), "");
  EXPECT_EQ(ParentPath("/", '/', PathText::kUtf8), "");
  EXPECT_EQ(ParentPath("/home/u/site/", '/', PathText::kUtf8), "/home/u/");
}

TEST(LocalPaths, TrailByteIsNotASeparator) {
  // 表 is 0x95 0x5C: its trail byte has the value of "\\".
  const std::string folder = "C:\\www\\" + Sjis("表");
  EXPECT_EQ(WithTrailingSeparator(folder, '\\'), folder + "\\");
  EXPECT_EQ(ParentPath(folder, '\\'), "C:\\www\\");
  EXPECT_EQ(ParentPath(folder + "\\", '\\'), "C:\\www\\");
  EXPECT_EQ(ParentPath(Sjis("表"), '\\'), "");
  EXPECT_EQ(SwapSeparators(folder + "\\a", '/'), "C:/www/" + Sjis("表") + "/a");
  EXPECT_EQ(SwapSeparators("site/img/" + Sjis("表"), '\\'), "site\\img\\" + Sjis("表"));
}

TEST(LocalPaths, CollectLocalTreeBreadthFirst) {
  const fs::path root = fs::temp_directory_path() / ("ferrox_tree_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "A" / "deep");
  fs::create_directories(root / "B");
  fs::create_directories(root / ".hidden_dir");
  std::ofstream(root / "top.htm") << "x";
  std::ofstream(root / ".htaccess") << "x";
  std::ofstream(root / "A" / "a.gif") << "x";
  std::ofstream(root / "A" / "deep" / "d.txt") << "x";
  std::ofstream(root / "B" / "b.gif") << "x";
  fs::create_directory_symlink(root, root / "B" / "loop");

  const LocalTreeLists t = CollectLocalTree(root.string());
  ASSERT_FALSE(t.FolderList.empty());
  EXPECT_EQ(t.FolderList[0], root.string());
  auto pos = [](const std::vector<std::string>& v, const fs::path& p) {
    return std::find(v.begin(), v.end(), p.string()) - v.begin();
  };
  const auto& F = t.FolderList;
  // The first level (A, B, .hidden_dir) comes before anything deeper.
  EXPECT_LT(pos(F, root / "A"), pos(F, root / "A" / "deep"));
  EXPECT_LT(pos(F, root / "B"), pos(F, root / "A" / "deep"));
  EXPECT_LT(pos(F, root / ".hidden_dir"), static_cast<long>(F.size()));
  // Files directly in root first, then each folder's in visiting order.
  const auto& L = t.FileList;
  ASSERT_EQ(L.size(), 5u);
  EXPECT_LT(pos(L, root / ".htaccess"), 2);
  EXPECT_LT(pos(L, root / "top.htm"), 2);
  EXPECT_EQ((pos(L, root / "A" / "a.gif") < pos(L, root / "B" / "b.gif")),
            (pos(F, root / "A") < pos(F, root / "B")));
  EXPECT_EQ(L.back(), (root / "A" / "deep" / "d.txt").string());
  // The link back to root is listed but not walked again.
  EXPECT_EQ(
      std::count_if(L.begin(), L.end(),
                    [](const std::string& f) { return f.find("top.htm") != std::string::npos; }),
      1);
  fs::remove_all(root);
}

TEST(LocalTrash, ItemsOfOneNameEachKeepTheirOwnInfoFile) {
  const fs::path root = fs::temp_directory_path() / ("hemlo_trash_" + std::to_string(::getpid()));
  fs::remove_all(root);
  const fs::path trash = root / "data/Trash";
  fs::create_directories(trash / "files");
  std::ofstream(trash / "files/a.htm.3") << "stray";  // a name taken without an info file
  const char* old_data = std::getenv("XDG_DATA_HOME");
  const std::string saved = old_data ? old_data : "";
  ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  std::vector<fs::path> trashed;
  for (int i = 1; i <= 3; ++i) {
    const fs::path item = root / ("site" + std::to_string(i)) / "a.htm";
    fs::create_directories(item.parent_path());
    std::ofstream(item) << "page " << i;
    const FileResult trashed_now = MoveToTrash(item.string());
    EXPECT_TRUE(trashed_now) << trashed_now.message;
    trashed.push_back(item);
  }
  if (old_data)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
  const std::pair<const char*, int> expected[] = {{"a.htm", 1}, {"a.htm.2", 2}, {"a.htm.4", 3}};
  for (const auto& [entry, n] : expected) {
    SCOPED_TRACE(entry);
    std::ifstream info(trash / "info" / (std::string(entry) + ".trashinfo"));
    std::string text((std::istreambuf_iterator<char>(info)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Path=" + trashed[static_cast<std::size_t>(n - 1)].string() + "\n"),
              std::string::npos)
        << text;
    std::ifstream file(trash / "files" / entry);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "page " + std::to_string(n));
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace hemlo::transfer
