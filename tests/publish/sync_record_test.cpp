// The sync record file: what is written reads back, names with any byte
// included, and a damaged file costs only its damaged lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "publish/sync_record.h"
#include "support/ftp_test_net.h"

namespace hemlo::publish {
namespace {

namespace fs = std::filesystem;

TEST(SyncRecord, WrittenRecordReadsBackAndDamageCostsOnlyItsLines) {
  ftp::testing::TempFolder dir;
  const fs::path path = RecordPath(dir.path(), "ftp.example.jp", "user", "/www", "/home/u/site");
  EXPECT_EQ(path.parent_path(), dir.path());
  EXPECT_NE(path, RecordPath(dir.path(), "ftp.example.jp", "user", "/www", "/home/u/other"));
  EXPECT_TRUE(LoadRecord(path).files.empty());  // none yet

  SyncRecord r;
  const std::string sha(64, 'a');
  r.files["index.htm"] = {120, sha, 1700000000123456789, 120, 1700000000};
  r.files["日本語/ページ.htm"] = {5, sha, 1, -1, std::nullopt};
  r.files["odd\tname\nwith%breaks\r.htm"] = {0, sha, 2, 0, 17};
  const FileResult saved = SaveRecord(path, r);
  ASSERT_TRUE(saved) << saved.message;
  const SyncRecord back = LoadRecord(path);
  ASSERT_EQ(back.files.size(), r.files.size());
  for (const auto& [p, e] : r.files) {
    ASSERT_TRUE(back.files.count(p)) << p;
    const RecordEntry& b = back.files.at(p);
    EXPECT_EQ(b.size, e.size);
    EXPECT_EQ(b.sha256, e.sha256);
    EXPECT_EQ(b.local_mtime_ns, e.local_mtime_ns);
    EXPECT_EQ(b.remote_size, e.remote_size);
    EXPECT_EQ(b.remote_mtime, e.remote_mtime);
  }

  struct Damage {
    const char* name;
    std::string text;
    size_t entries;
  };
  const std::string good = "3\t" + sha + "\t1\t3\t4\tgood.htm\n";
  const Damage cases[] = {
      {"cut short", "HemloPublish 1\n" + good + "3\t" + sha + "\t1\t3", 1},
      {"bad number", "HemloPublish 1\n" + good + "x\t" + sha + "\t1\t3\t4\tbad.htm\n", 1},
      {"short hash", "HemloPublish 1\n" + good + "3\tabc\t1\t3\t4\tbad.htm\n", 1},
      {"bad escape", "HemloPublish 1\n" + good + "3\t" + sha + "\t1\t3\t4\tbad%G.htm\n", 1},
      {"CR LF lines", "HemloPublish 1\r\n3\t" + sha + "\t1\t3\t4\tgood.htm\r\n", 1},
      {"another kind of file", "something else\n" + good, 0},
      {"empty", "", 0},
  };
  for (const auto& c : cases) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.text;
    const SyncRecord got = LoadRecord(path);
    EXPECT_EQ(got.files.size(), c.entries) << c.name;
    if (c.entries) {
      EXPECT_EQ(got.files.count("good.htm"), 1u) << c.name;
    }
  }
}

}  // namespace
}  // namespace hemlo::publish
