#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sys/wait.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/atomic_file.h"
#include "shell/document_file.h"
#include "shell/history.h"
#include "shell/recovery.h"

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
  std::string bytes;
  ASSERT_TRUE(ReadDocument(page, bytes));
  EXPECT_EQ(bytes, std::string("a\r\nb\r\nc\r\n\x95\x5c\0end", 15));
  const FileResult missing = ReadDocument(dir_ / "none.htm", bytes);
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.message.empty());
}

TEST_F(Files, SaveReplacesAtomicallyAndFailureKeepsOldFile) {
  const fs::path page = dir_ / "page.htm";
  ASSERT_TRUE(WriteDocument(page, "old"));
  ASSERT_TRUE(WriteDocument(page, "new\r\n\x82\xa0"));
  EXPECT_EQ(Read(page), "new\r\n\x82\xa0");
  if (::geteuid() != 0) {  // root ignores folder permissions
    ::chmod(dir_.c_str(), 0555);
    const FileResult refused = WriteDocument(page, "lost");
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.message.empty());
    ::chmod(dir_.c_str(), 0755);
    EXPECT_EQ(Read(page), "new\r\n\x82\xa0");
  }
  // A write-protected page is refused, as it is for root too.
  ASSERT_EQ(::chmod(page.c_str(), 0444), 0);
  const FileResult protected_page = WriteDocument(page, "lost");
  EXPECT_FALSE(protected_page);
  EXPECT_NE(protected_page.message.find("読み取り専用"), std::string::npos);
  EXPECT_EQ(Read(page), "new\r\n\x82\xa0");
  // Writing into a missing folder fails and reports why.
  EXPECT_FALSE(WriteDocument(dir_ / "missing" / "x.htm", "x"));
  // No temporary files are left behind.
  int files = 0;
  for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(Files, SaveKeepsModeOwnerAndLinksAndWritesWhereTheLinkPoints) {
  fs::create_directories(dir_ / "real");
  fs::create_directories(dir_ / "site");
  fs::create_directories(dir_ / "shared");
  struct Case {
    const char* what;
    fs::path saved;   // the path the page was opened under
    fs::path target;  // the file that must get the text
    mode_t mode;
    bool group_folder = false;  // the writer's own file, in a set-group-id folder of another group
  } cases[] = {
      {"plain file keeps its mode", dir_ / "plain.htm", dir_ / "plain.htm", 0640},
      {"relative link", dir_ / "site/index.htm", dir_ / "real/index.htm", 0600},
      {"absolute link to a link", dir_ / "site/top.htm", dir_ / "real/top.htm", 0604},
      {"group of a set-group-id folder", dir_ / "shared/page.htm", dir_ / "shared/page.htm", 0644,
       true},
  };
  fs::create_symlink("../real/index.htm", dir_ / "site/index.htm");
  fs::create_symlink(dir_ / "real/top2.htm", dir_ / "site/top.htm");
  fs::create_symlink("top.htm", dir_ / "real/top2.htm");
  // Root may give the file away: the owner survives the save too.
  const bool chown_ok = ::geteuid() == 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(c.target) << "old";
    ASSERT_EQ(::chmod(c.target.c_str(), c.mode), 0);
    if (c.group_folder) {
      if (!chown_ok) continue;
      ASSERT_EQ(::chown(c.target.parent_path().c_str(), 0, 4330), 0);
      ASSERT_EQ(::chmod(c.target.parent_path().c_str(), 02775), 0);
      ASSERT_EQ(::chown(c.target.c_str(), ::geteuid(), ::getegid()), 0);
    } else if (chown_ok) {
      ASSERT_EQ(::chown(c.target.c_str(), 4321, 4322), 0);
    }
    const FileResult saved = WriteDocument(c.saved, "new");
    ASSERT_TRUE(saved) << saved.message;
    EXPECT_EQ(Read(c.target), "new");
    struct stat st {};
    ASSERT_EQ(::stat(c.target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    if (chown_ok) {
      EXPECT_EQ(std::make_pair(st.st_uid, st.st_gid),
                c.group_folder ? std::make_pair(::geteuid(), ::getegid())
                               : std::make_pair(4321u, 4322u));
    }
    EXPECT_EQ(fs::is_symlink(c.saved), c.saved != c.target);
    for (auto& e : fs::directory_iterator(c.target.parent_path())) {
      EXPECT_NE(e.path().filename().string()[0], '.') << "temporary file left";
    }
  }
}

TEST_F(Files, AWriteThatFailsMidwayKeepsTheOldFile) {
  // A file-size limit makes the write fail part-way, as a full disk would,
  // also for root (who ignores permissions).
  const fs::path page = dir_ / "big.htm";
  ASSERT_TRUE(WriteDocument(page, "old contents"));
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const FileResult written = WriteDocument(page, std::string(100000, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(written);
  EXPECT_FALSE(written.message.empty());
  EXPECT_EQ(Read(page), "old contents");
  int files = 0;
  for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

TEST_F(Files, RecoveryCopiesOfFramesEndingTogetherAllSurviveAndOldOnesAreListed) {
  const fs::path folder = dir_ / "recovery";
  fs::create_directories(folder);
  // A copy of the earlier naming, left by an older version.
  ASSERT_TRUE(WriteFileAtomically(folder / "3-old.htm", "old copy"));
  ASSERT_TRUE(WriteFileAtomically(folder / "3-old.htm.path", "/site/old.htm"));
  // Frames end at the same moment, each with a modified index.htm and an untitled page.
  constexpr int kFrames = 6;
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  std::vector<pid_t> frames;
  for (int i = 0; i < kFrames; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(gate[1]);
      char c;
      [[maybe_unused]] const ssize_t n = ::read(gate[0], &c, 1);  // until the gate opens
      const std::string site = "/site" + std::to_string(i) + "/index.htm";
      const auto errors =
          shell::WriteRecoveryCopies(folder, {{site, "page " + site}, {"", "untitled"}});
      ::_exit(errors.empty() ? 0 : 1);
    }
    frames.push_back(pid);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  for (pid_t pid : frames) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::multiset<std::string> got;
  std::string bytes;
  const auto copies = shell::ListRecoveryCopies(folder);
  for (const auto& c : copies) {
    ASSERT_TRUE(ReadWholeFile(c.copy, bytes));
    got.insert(c.original + "=" + bytes);
  }
  std::multiset<std::string> want = {"/site/old.htm=old copy"};
  for (int i = 0; i < kFrames; ++i) {
    const std::string site = "/site" + std::to_string(i) + "/index.htm";
    want.insert(site + "=page " + site);
    want.insert("=untitled");
  }
  EXPECT_EQ(got, want);
  // The question names the pages it offers.
  const std::string question = shell::RecoveryQuestion(copies);
  EXPECT_NE(question.find("/site/old.htm"), std::string::npos);
  EXPECT_NE(question.find("（無題）"), std::string::npos);
  for (std::size_t i = 0; i < 10; ++i)
    EXPECT_NE(question.find(copies[i].original), std::string::npos);
  EXPECT_NE(question.find("ほか 3 件"), std::string::npos);
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
