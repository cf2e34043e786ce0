#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/atomic_file.h"
#include "shell/document_file.h"
#include "shell/history.h"

namespace hemlo {
namespace {

namespace fs = std::filesystem;

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("hemlo-files-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0755);
    fs::remove_all(dir_);
  }
  std::string Read(const fs::path& p) {
    std::string s;
    EXPECT_TRUE(ReadWholeFile(p, s));
    return s;
  }
  fs::path dir_;
};

using Files = TempDir;

TEST_F(Files, ReadTurnsEveryLineBreakIntoCrLfAndKeepsOtherBytes) {
  const fs::path page = dir_ / "lf.htm";
  ASSERT_TRUE(WriteFileAtomically(page, std::string("a\nb\rc\r\n\x95\x5c\0end", 13)));
  std::string bytes, error;
  ASSERT_TRUE(ReadDocument(page, bytes, error));
  EXPECT_EQ(bytes, std::string("a\r\nb\r\nc\r\n\x95\x5c\0end", 15));
  EXPECT_FALSE(ReadDocument(dir_ / "none.htm", bytes, error));
  EXPECT_FALSE(error.empty());
}

TEST_F(Files, SaveReplacesAtomicallyAndFailureKeepsOldFile) {
  const fs::path page = dir_ / "page.htm";
  std::string error;
  ASSERT_TRUE(WriteDocument(page, "old", error));
  ASSERT_TRUE(WriteDocument(page, "new\r\n\x82\xa0", error));
  EXPECT_EQ(Read(page), "new\r\n\x82\xa0");
  if (::geteuid() != 0) {  // root ignores folder permissions
    ::chmod(dir_.c_str(), 0555);
    EXPECT_FALSE(WriteDocument(page, "lost", error));
    EXPECT_FALSE(error.empty());
    ::chmod(dir_.c_str(), 0755);
    EXPECT_EQ(Read(page), "new\r\n\x82\xa0");
  }
  // Writing into a missing folder fails and reports why.
  EXPECT_FALSE(WriteDocument(dir_ / "missing" / "x.htm", "x", error));
  // No temporary files are left behind.
  int files = 0;
  for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(Files, AWriteThatFailsMidwayKeepsTheOldFile) {
  // A file-size limit makes the write fail part-way, as a full disk would,
  // also for root (who ignores permissions).
  const fs::path page = dir_ / "big.htm";
  std::string error;
  ASSERT_TRUE(WriteDocument(page, "old contents", error));
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ok = WriteDocument(page, std::string(100000, 'x'), error);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Read(page), "old contents");
  int files = 0;
  for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

TEST_F(Files, HistoryKeepsSevenNewestFirstAndReopeningKeepsOrder) {
  History h;
  for (int i = 1; i <= 8; ++i) ASSERT_TRUE(h.Add("/p/" + std::to_string(i) + ".htm"));
  EXPECT_EQ(h.Slots()[0], "/p/8.htm");
  EXPECT_EQ(h.Slots()[6], "/p/2.htm");
  const auto before = h.Slots();
  ASSERT_TRUE(h.Add("/p/6.htm"));  // the third newest, opened again
  EXPECT_EQ(h.Slots(), before);
}

TEST_F(Files, HistoryFileThreeLinesPaddedToSeven) {
  const fs::path ini = dir_ / "Rireki.ini";
  // Japanese path stored in Shift-JIS ("/ページ.htm").
  ASSERT_TRUE(WriteFileAtomically(ini, "/a.htm\r\n/\x83\x79\x81\x5b\x83\x57.htm\r\n/c.htm\r\n"));
  History h;
  h.Load(ini);
  EXPECT_EQ(h.Slots()[0], "/a.htm");
  EXPECT_EQ(h.Slots()[1], "/ページ.htm");
  EXPECT_EQ(h.Slots()[2], "/c.htm");
  EXPECT_EQ(h.Slots()[3], "");
  ASSERT_TRUE(h.Save(ini));
  EXPECT_EQ(Read(ini), "/a.htm\r\n/\x83\x79\x81\x5b\x83\x57.htm\r\n/c.htm\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(Files, HistoryReadsAtMostSevenLinesAndRefusesUnrepresentablePaths) {
  const fs::path ini = dir_ / "Rireki.ini";
  ASSERT_TRUE(WriteFileAtomically(ini, "1\n2\n3\n4\n5\n6\n7\n8\n9\n"));
  History h;
  h.Load(ini);
  EXPECT_EQ(h.Slots()[6], "7");
  EXPECT_FALSE(h.Add("/tmp/\xF0\x9F\x98\x80.htm"));  // emoji: no Shift-JIS code
  EXPECT_EQ(h.Slots()[0], "1");
  History missing;
  missing.Load(dir_ / "none.ini");
  for (auto& s : missing.Slots()) EXPECT_EQ(s, "");
}

}  // namespace
}  // namespace hemlo
