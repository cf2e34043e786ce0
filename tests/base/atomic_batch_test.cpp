// A batch of whole-file writes: until the renames every page holds its old
// bytes and every temporary its whole new ones; a file that cannot be
// written leaves no temporary and no page changed.
#include "base/atomic_batch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace hemlo {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> t;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string bytes;
    if (e.is_regular_file() && ReadWholeFile(e.path(), bytes))
      t[fs::relative(e.path(), root).string()] = bytes;
  }
  return t;
}

TEST(AtomicBatch, EveryPageOldOrNewAndNothingLeftBehindAFailure) {
  const fs::path root = fs::temp_directory_path() / ("hemlo_batch_" + std::to_string(::getpid()));
  const struct {
    const char* what;
    int missing;  // the target whose folder is missing, or -1
  } cases[] = {{"all written", -1}, {"one folder missing", 13}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root);
    std::vector<fs::path> targets;
    std::vector<std::string> after;
    std::map<std::string, std::string> old_tree, new_tree;
    for (int i = 0; i < 20; ++i) {  // enough for the threads to take part
      const std::string name = (i == c.missing ? "gone/" : "d" + std::to_string(i % 3) + "/") +
                               "p" + std::to_string(i) + ".htm";
      targets.push_back(root / name);
      after.push_back("new " + std::to_string(i) + std::string(5000 + i, 'n'));
      new_tree[name] = after.back();
      if (i == c.missing) continue;
      fs::create_directories(targets.back().parent_path());
      ASSERT_TRUE(WriteFileAtomically(targets.back(), "old " + std::to_string(i)));
      old_tree[name] = "old " + std::to_string(i);
    }
    std::vector<StagedFile> staged;
    const BatchFailure f = StageFiles(targets, {after.begin(), after.end()}, staged);
    ASSERT_EQ(static_cast<bool>(f), c.missing >= 0);
    if (f) {
      EXPECT_EQ(f.index, static_cast<std::size_t>(c.missing));
      EXPECT_EQ(Tree(root), old_tree);
      continue;
    }
    // Staged: the pages as they were, each temporary whole beside its page.
    std::map<std::string, std::string> staged_tree = old_tree;
    for (std::size_t i = 0; i < staged.size(); ++i)
      staged_tree[fs::relative(staged[i].temporary, root).string()] = after[i];
    EXPECT_EQ(Tree(root), staged_tree);
    std::vector<bool> renamed;
    ASSERT_FALSE(CommitStagedFiles(staged, renamed));
    EXPECT_EQ(renamed, std::vector<bool>(targets.size(), true));
    EXPECT_EQ(Tree(root), new_tree);
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace hemlo
