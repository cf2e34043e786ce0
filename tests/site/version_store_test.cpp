// The version store under each writer that replaces a user's page: what was
// there before comes back byte for byte, and the write itself never fails
// because of the store.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "base/version_store.h"
#include "shell/document_file.h"
#include "site/link_write.h"
#include "site/site_replace.h"

namespace hemlo {
namespace {

namespace fs = std::filesystem;

struct Written {
  bool ok = false;
  VersionResult kept;
};

// Each writer replaces `before` (what the file holds) with `after`.
Written Save(const fs::path& page, const std::string&, const std::string& after) {
  Written w;
  w.ok = WriteDocument(page, after, &w.kept).ok;
  return w;
}

Written Replace(const fs::path& page, const std::string& before, const std::string& after) {
  // One hit over the whole file whose replacement is the new text.
  site::SearchResult result;
  site::FileHits file;
  file.path = page;
  file.encoding = text::Encoding::kUtf8;
  file.bytes = before;
  site::Hit hit;
  hit.offset = 0;
  hit.length = before.size();
  hit.replacement = after;
  file.hits.push_back(hit);
  result.files.push_back(file);
  const site::ReplaceOutcome out = site::ApplyReplacement(result);
  return {out.ok, {out.version_notice.empty(), out.version_notice}};
}

// The write a move's link update (and its undo) makes of each page.
Written Link(const fs::path& page, const std::string& before, const std::string& after) {
  std::string notice;
  const bool ok = site::WriteAllOrNone({{page, &after}}, {&before}, "リンクの更新", &notice).ok;
  return {ok, {notice.empty(), notice}};
}

// Lines of text that compress as a page does, or noise that does not.
std::string Page(std::size_t bytes, unsigned seed, bool noise = false) {
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < bytes) {
    if (noise) {
      s += static_cast<char>('a' + rng() % 26);
    } else {
      s += "<p>段落 " + std::to_string(s.size()) + " の本文 " + std::to_string(rng() % 1000) +
           "</p>\r\n";
    }
  }
  return s;
}

std::string EditLine(std::string s, std::size_t at, int n) {
  const std::string mark = "<b>" + std::to_string(n) + "</b>";
  s.replace(s.find("\r\n", at) + 2, 0, mark);
  return s;
}

enum class Case { kNewFile, kSmallEditOfLargeFile, kStoreUnwritable, kDiskFull, kReadOnlyStore, kCapReached };

struct Row {
  const char* writer_name;
  std::function<Written(const fs::path&, const std::string&, const std::string&)> write;
  const char* kept_as;
  Case what;
};

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  static const char* names[] = {"NewFile",  "SmallEditOfLargeFile", "StoreUnwritable",
                                "DiskFull", "ReadOnlyStore",        "CapReached"};
  return std::string(info.param.writer_name) + names[static_cast<int>(info.param.what)];
}

class VersionStoreWriters : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("hemlo-versions-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "site");
    fs::create_directories(dir_ / "state");
    SetProgramFolder(dir_ / "state");
    SetVersionCap(kDefaultVersionCapBytes);
    VersionNoticeOnce({});
  }
  void TearDown() override {
    SetVersionCap(kDefaultVersionCapBytes);
    WaitForVersionStore();
    for (const fs::path& m : mounts_) ::umount2(m.c_str(), MNT_DETACH);
    fs::remove_all(dir_);
  }
  // A small file system of its own, to fill up or make read-only; false
  // where this process may not mount one.
  bool MountSmall(const fs::path& at, std::size_t bytes) {
    fs::create_directories(at);
    if (::mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) != 0)
      return false;
    mounts_.push_back(at);
    return true;
  }
  fs::path dir_;
  std::vector<fs::path> mounts_;
};

TEST_P(VersionStoreWriters, KeepsWhatWasThereAndNeverStopsTheWrite) {
  const Row& row = GetParam();
  const fs::path page = dir_ / "site" / "index.htm";
  const VersionStore& store = ProgramVersionStore();
  std::vector<std::string> history;  // every text the page held, oldest first
  auto write = [&](const std::string& next) {
    std::string now;
    ReadWholeFile(page, now);
    const Written w = row.write(page, now, next);
    ASSERT_TRUE(w.ok);
    std::string on_disk;
    ASSERT_TRUE(ReadWholeFile(page, on_disk));
    ASSERT_EQ(on_disk, next);
    history.push_back(next);
  };
  switch (row.what) {
    case Case::kNewFile: {
      if (std::string(row.writer_name) == "Save") {
        write("<p>初版</p>");  // nothing was there: nothing kept
        EXPECT_TRUE(store.Versions(page).empty());
      } else {
        ASSERT_TRUE(WriteFileAtomically(page, "<p>初版</p>"));
        history.push_back("<p>初版</p>");
      }
      write("<p>第二版</p>");
      const auto v = store.Versions(page);
      ASSERT_EQ(v.size(), 1u);
      EXPECT_EQ(v[0].writer, row.kept_as);
      EXPECT_EQ(v[0].size, history[history.size() - 2].size());
      EXPECT_EQ(store.Bytes(page, v[0].hash), history[history.size() - 2]);
      break;
    }
    case Case::kSmallEditOfLargeFile: {
      std::string text = Page(1 << 20, 1);
      ASSERT_TRUE(WriteFileAtomically(page, text));
      history.push_back(text);
      write(text = EditLine(text, 1000, 0));
      const std::uint64_t one = store.TotalBytes();
      for (int i = 1; i <= 6; ++i) write(text = EditLine(text, i * 150000, i));
      const auto v = store.Versions(page);  // newest first
      ASSERT_EQ(v.size(), 7u);
      for (std::size_t i = 0; i < v.size(); ++i)
        EXPECT_EQ(store.Bytes(page, v[i].hash), history[history.size() - 2 - i]) << i;
      // Six more versions of a megabyte cost a few kilobytes.
      EXPECT_LT(store.TotalBytes(), one + 16 * 1024);
      break;
    }
    case Case::kStoreUnwritable: {
      ASSERT_TRUE(WriteFileAtomically(page, "<p>前</p>"));
      ASSERT_TRUE(WriteFileAtomically(dir_ / "state" / "versions", "not a folder"));
      const std::string before = "<p>前</p>";
      const Written w = row.write(page, before, "<p>後</p>");
      EXPECT_TRUE(w.ok);
      EXPECT_FALSE(w.kept.ok);
      EXPECT_NE(VersionNoticeOnce(w.kept), "");
      const Written again = row.write(page, "<p>後</p>", "<p>後の後</p>");
      EXPECT_TRUE(again.ok);
      EXPECT_EQ(VersionNoticeOnce(again.kept), "");  // said once only
      std::string on_disk;
      ReadWholeFile(page, on_disk);
      EXPECT_EQ(on_disk, "<p>後の後</p>");
      break;
    }
    case Case::kDiskFull: {
      // Page and store share a disk that has room for the new page only:
      // the old bytes are still kept (a link needs no room), and come back.
      if (!MountSmall(dir_ / "disk", 4 << 20)) GTEST_SKIP() << "no tmpfs mount allowed here";
      fs::create_directories(dir_ / "disk" / "site");
      SetProgramFolder(dir_ / "disk" / "state");
      const fs::path small_page = dir_ / "disk" / "site" / "index.htm";
      const std::string v1 = Page(256 * 1024, 1, true), v2 = Page(256 * 1024, 2, true),
                        v3 = Page(256 * 1024, 3, true);
      ASSERT_TRUE(WriteFileAtomically(small_page, v1));
      Written w = row.write(small_page, v1, v2);
      ASSERT_TRUE(w.ok && w.kept.ok);
      ASSERT_EQ(store.Versions(small_page).size(), 1u);  // folded in while there was room
      struct statvfs fs_info {};
      ASSERT_EQ(::statvfs((dir_ / "disk").c_str(), &fs_info), 0);
      const std::uint64_t free = static_cast<std::uint64_t>(fs_info.f_bavail) * fs_info.f_bsize;
      ASSERT_TRUE(WriteFileAtomically(dir_ / "disk" / "filler", std::string(free - v3.size() - 48 * 1024, 'x')));
      w = row.write(small_page, v2, v3);
      EXPECT_TRUE(w.ok);
      EXPECT_TRUE(w.kept.ok);
      std::string on_disk;
      ReadWholeFile(small_page, on_disk);
      EXPECT_EQ(on_disk, v3);
      const auto v = store.Versions(small_page);
      ASSERT_EQ(v.size(), 2u);
      EXPECT_EQ(v[0].writer, row.kept_as);
      EXPECT_EQ(store.Bytes(small_page, v[0].hash), v2);
      EXPECT_EQ(store.Bytes(small_page, v[1].hash), v1);
      break;
    }
    case Case::kReadOnlyStore: {
      // The store on a disk of its own that becomes read-only: the saves go
      // ahead, the status bar hears of it once, what was kept stays.
      if (!MountSmall(dir_ / "state", 4 << 20)) GTEST_SKIP() << "no tmpfs mount allowed here";
      ASSERT_TRUE(WriteFileAtomically(page, "<p>一</p>"));
      Written w = row.write(page, "<p>一</p>", "<p>二</p>");  // copied: another file system
      ASSERT_TRUE(w.ok && w.kept.ok);
      ASSERT_EQ(store.Versions(page).size(), 1u);
      ASSERT_EQ(::mount(nullptr, (dir_ / "state").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
      w = row.write(page, "<p>二</p>", "<p>三</p>");
      EXPECT_TRUE(w.ok);
      EXPECT_FALSE(w.kept.ok);
      EXPECT_NE(VersionNoticeOnce(w.kept), "");
      w = row.write(page, "<p>三</p>", "<p>四</p>");
      EXPECT_TRUE(w.ok);
      EXPECT_EQ(VersionNoticeOnce(w.kept), "");  // said once only
      std::string on_disk;
      ReadWholeFile(page, on_disk);
      EXPECT_EQ(on_disk, "<p>四</p>");
      const auto v = store.Versions(page);
      ASSERT_EQ(v.size(), 1u);
      EXPECT_EQ(store.Bytes(page, v[0].hash), "<p>一</p>");
      break;
    }
    case Case::kCapReached: {
      constexpr std::uint64_t kCap = 350 * 1024;
      SetVersionCap(kCap);
      ASSERT_TRUE(WriteFileAtomically(page, Page(100 * 1024, 100, true)));
      history.push_back(Page(100 * 1024, 100, true));
      for (unsigned i = 1; i <= 8; ++i) {
        write(Page(100 * 1024, 100 + i, true));
        EXPECT_LE(store.TotalBytes(), kCap) << i;
      }
      const auto v = store.Versions(page);
      ASSERT_FALSE(v.empty());
      EXPECT_LT(v.size(), 8u);  // the oldest went
      for (std::size_t i = 0; i < v.size(); ++i)
        EXPECT_EQ(store.Bytes(page, v[i].hash), history[history.size() - 2 - i]) << i;
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionStoreWriters,
    ::testing::Values(Row{"Save", &Save, "上書き保存", Case::kNewFile},
                      Row{"Save", &Save, "上書き保存", Case::kSmallEditOfLargeFile},
                      Row{"Save", &Save, "上書き保存", Case::kStoreUnwritable},
                      Row{"Save", &Save, "上書き保存", Case::kDiskFull},
                      Row{"Save", &Save, "上書き保存", Case::kReadOnlyStore},
                      Row{"Save", &Save, "上書き保存", Case::kCapReached},
                      Row{"Replace", &Replace, "サイト置換", Case::kNewFile},
                      Row{"Replace", &Replace, "サイト置換", Case::kSmallEditOfLargeFile},
                      Row{"Replace", &Replace, "サイト置換", Case::kStoreUnwritable},
                      Row{"Replace", &Replace, "サイト置換", Case::kDiskFull},
                      Row{"Replace", &Replace, "サイト置換", Case::kReadOnlyStore},
                      Row{"Replace", &Replace, "サイト置換", Case::kCapReached},
                      Row{"Link", &Link, "リンクの更新", Case::kNewFile},
                      Row{"Link", &Link, "リンクの更新", Case::kStoreUnwritable},
                      Row{"Link", &Link, "リンクの更新", Case::kDiskFull}),
    RowName);

// A site-wide write of many pages sets them all aside in one batch and the
// worker folds them in together: every page's earlier bytes come back, and
// nothing stays set aside once the worker is done.
TEST(VersionBatch, EveryPageOfASiteWideWriteIsKept) {
  const fs::path dir = fs::temp_directory_path() / ("hemlo-batch-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "site");
  SetProgramFolder(dir / "state");
  site::SearchResult result;
  for (int i = 0; i < 40; ++i) {
    const fs::path page = dir / "site" / ("p" + std::to_string(i) + ".htm");
    const std::string before = Page(3000, static_cast<unsigned>(i));
    ASSERT_TRUE(WriteFileAtomically(page, before));
    site::FileHits file;
    file.path = page;
    file.bytes = before;
    file.hits.push_back({});
    file.hits.back().offset = 0;
    file.hits.back().length = 3;
    file.hits.back().replacement = "<i>";
    result.files.push_back(file);
  }
  ASSERT_TRUE(site::ApplyReplacement(result).ok);
  WaitForVersionStore();
  std::size_t aside = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir / "state" / "versions"))
    aside += e.path().filename().string().starts_with("pending.");
  EXPECT_EQ(aside, 0u);
  const VersionStore& store = ProgramVersionStore();
  for (const site::FileHits& f : result.files) {
    const auto v = store.Versions(f.path);
    ASSERT_EQ(v.size(), 1u) << f.path;
    EXPECT_EQ(store.Bytes(f.path, v[0].hash), f.bytes) << f.path;
  }
  fs::remove_all(dir);
}

// Site-wide writes reuse the inodes of the objects the store no longer
// needs: from the third write on every page is written into a spare (no new
// inode), yet every page keeps its mode and every earlier version comes back
// byte for byte; a spare something else also names is never written into.
TEST(VersionSpares, ASiteWideWriteTakesTheStoresSparesAndLosesNoVersion) {
  const fs::path dir = fs::temp_directory_path() / ("hemlo-spares-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "site");
  SetProgramFolder(dir / "state");
  struct statvfs room {};
  ASSERT_EQ(::statvfs(dir.c_str(), &room), 0);
  if (static_cast<std::uint64_t>(room.f_bavail) * room.f_frsize < (1ull << 30))
    GTEST_SKIP() << "spares are kept only on a disk with room";
  const mode_t modes[] = {0644, 0640, 0600};
  // The first page's folder gives new files an access list (rwx, r-x, r-x),
  // which a spare would not bring.
  fs::create_directories(dir / "site" / "acl");
  const unsigned char acl[] = {2, 0, 0, 0, 1, 0, 7, 0, 255, 255, 255, 255, 4, 0, 5, 0,
                               255, 255, 255, 255, 32, 0, 5, 0, 255, 255, 255, 255};
  if (::setxattr((dir / "site" / "acl").c_str(), "system.posix_acl_default", acl, sizeof acl, 0) != 0)
    GTEST_SKIP() << "no access lists on this disk";
  std::vector<fs::path> pages;
  std::vector<std::vector<std::string>> texts(40);
  for (int i = 0; i < 40; ++i) {
    pages.push_back(dir / "site" / (i == 0 ? "acl" : "") / ("p" + std::to_string(i) + ".htm"));
    texts[i].push_back(Page(3000, static_cast<unsigned>(i)));
    ASSERT_TRUE(WriteFileAtomically(pages[i], texts[i][0], modes[i % 3], true));
  }
  const fs::path spare_folder = dir / "state" / "versions" / kSpareFolderName;
  auto spares = [&] {
    std::map<ino_t, fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(spare_folder, ec)) {
      struct stat st {};
      EXPECT_EQ(::stat(e.path().c_str(), &st), 0);
      EXPECT_EQ(st.st_size, 0) << "a spare holds bytes: " << e.path();
      out[st.st_ino] = e.path();
    }
    return out;
  };
  fs::path linked_elsewhere;
  for (int write = 1; write <= 3; ++write) {
    const std::map<ino_t, fs::path> before = spares();
    if (write == 3) {
      ASSERT_GE(before.size(), pages.size()) << "the second write's fold gave no spares";
      linked_elsewhere = dir / "elsewhere";
      ASSERT_EQ(::link(before.begin()->second.c_str(), linked_elsewhere.c_str()), 0);
    }
    site::SearchResult result;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      site::FileHits file;
      file.path = pages[i];
      file.bytes = texts[i].back();
      site::Hit hit;
      hit.length = 3;
      hit.replacement = "<" + std::to_string(write) + ">";
      file.hits.push_back(hit);
      result.files.push_back(file);
      texts[i].push_back(hit.replacement + texts[i].back().substr(3));
    }
    ASSERT_TRUE(site::ApplyReplacement(result).ok);
    WaitForVersionStore();
    std::size_t into_spares = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      struct stat st {};
      ASSERT_EQ(::stat(pages[i].c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, modes[i % 3]) << pages[i];
      into_spares += before.count(st.st_ino);
      if (write == 3) {
        EXPECT_NE(st.st_ino, before.begin()->first) << "the spare named elsewhere was taken";
        EXPECT_TRUE(i != 0 || !before.count(st.st_ino)) << "a spare went into the listed folder";
      }
    }
    // All but the one named elsewhere serve (one spare a page came from the
    // second fold), for every page but the first.
    if (write == 3) {
      EXPECT_EQ(into_spares, std::min(pages.size() - 1, before.size() - 1));
    }
  }
  std::string elsewhere;
  ASSERT_TRUE(ReadWholeFile(linked_elsewhere, elsewhere));
  EXPECT_EQ(elsewhere.size(), 0u) << "a file named elsewhere was written into";
  spares();  // every spare left is empty
  const VersionStore& store = ProgramVersionStore();
  // A spare a fold has linked but not yet emptied is no version: the size
  // the cap is held to leaves it out.
  const std::uint64_t total = store.TotalBytes();
  std::ofstream(spare_folder / "linked.held") << std::string(100000, 'x');
  EXPECT_EQ(store.TotalBytes(), total);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    std::string now;
    ASSERT_TRUE(ReadWholeFile(pages[i], now));
    EXPECT_EQ(now, texts[i].back());
    const auto v = store.Versions(pages[i]);
    ASSERT_EQ(v.size(), 3u) << pages[i];
    for (std::size_t k = 0; k < v.size(); ++k)  // newest first
      EXPECT_EQ(store.Bytes(pages[i], v[k].hash), texts[i][2 - k]) << pages[i] << " version " << k;
  }
  fs::remove_all(dir);
}

// At least 50 versions or 30 days: a busy day keeps all, a month later the newest 50 stay.
TEST(VersionRetention, KeepsFiftyOrAMonth) {
  const fs::path dir = fs::temp_directory_path() / ("hemlo-retention-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  VersionStore store(dir / "versions");
  const fs::path page = dir / "a.htm";
  const std::int64_t t0 = 1'700'000'000;
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(store.Keep(page, "v" + std::to_string(i), "上書き保存", t0 + i));
  EXPECT_EQ(store.Versions(page).size(), 60u);
  ASSERT_TRUE(store.Keep(page, "v60", "上書き保存", t0 + kKeptVersionSeconds + 100));
  const auto v = store.Versions(page);
  ASSERT_EQ(v.size(), 50u);
  EXPECT_EQ(store.Bytes(page, v.back().hash), "v11");
  EXPECT_EQ(store.Bytes(page, v.front().hash), "v60");
  fs::remove_all(dir);
}

// The total cap takes the oldest version of all pages first.
TEST(VersionRetention, CapTakesTheOldestOfAllPagesFirst) {
  const fs::path dir = fs::temp_directory_path() / ("hemlo-cap-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  VersionStore store(dir / "versions");
  const fs::path a = dir / "a.htm", b = dir / "b.htm";
  const std::int64_t t0 = 1'700'000'000;
  // Noise: every version costs about the same, so three fit and a fourth does not.
  ASSERT_TRUE(store.Keep(a, Page(20000, 1, true), "上書き保存", t0));
  ASSERT_TRUE(store.Keep(b, Page(20000, 2, true), "上書き保存", t0 + 1));
  ASSERT_TRUE(store.Keep(a, Page(20000, 3, true), "上書き保存", t0 + 2));
  store.set_cap(store.TotalBytes() + 1000);
  ASSERT_TRUE(store.Keep(b, Page(20000, 4, true), "上書き保存", t0 + 3));
  const auto in_a = store.Versions(a), in_b = store.Versions(b);
  ASSERT_EQ(in_a.size(), 1u);  // a's first went, the oldest of all
  EXPECT_EQ(store.Bytes(a, in_a[0].hash), Page(20000, 3, true));
  ASSERT_EQ(in_b.size(), 2u);
  EXPECT_EQ(store.Bytes(b, in_b[1].hash), Page(20000, 2, true));
  fs::remove_all(dir);
}

// What a save set aside and nobody folded in (the program ended, or crashed)
// is there for the next look; a copy torn by the crash is not taken for a version.
TEST(VersionSetAside, IsFoldedInByTheNextLook) {
  const fs::path dir = fs::temp_directory_path() / ("hemlo-aside-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path page = dir / "a.htm";
  const std::int64_t t0 = 1'700'000'000;
  {
    VersionStore first(dir / "versions");
    ASSERT_TRUE(WriteFileAtomically(page, "linked"));
    ASSERT_TRUE(first.SetAside(page, "上書き保存", t0));
    ASSERT_TRUE(WriteFileAtomically(page, "copied"));
    ASSERT_TRUE(first.SetAside(page, std::string("copied"), "サイト置換", t0 + 1));
    fs::path folder;
    ASSERT_TRUE(first.SetAside(page, std::string("torn by a crash"), "サイト置換", t0 + 2, &folder));
    std::vector<fs::path> aside;  // the names sort oldest first
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string().starts_with("pending.")) aside.push_back(e.path());
    ASSERT_EQ(aside.size(), 3u);
    std::sort(aside.begin(), aside.end());
    fs::resize_file(aside.back(), 4);
    ASSERT_TRUE(WriteFileAtomically(page, "now"));
  }
  VersionStore next(dir / "versions");
  const auto v = next.Versions(page);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].writer, "サイト置換");
  EXPECT_EQ(next.Bytes(page, v[0].hash), "copied");
  EXPECT_EQ(next.Bytes(page, v[1].hash), "linked");
  fs::remove_all(dir);
}

// A new version is a row appended to the page's index (no new file), and a
// row torn by a crash costs only itself: the versions before and after read.
TEST(VersionIndex, AppendsARowAndSurvivesATornOne) {
  const fs::path dir = fs::temp_directory_path() / ("hemlo-torn-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  VersionStore store(dir / "versions");
  const fs::path page = dir / "a.htm";
  const std::int64_t t0 = 1'700'000'000;
  ASSERT_TRUE(store.Keep(page, "one", "上書き保存", t0));
  fs::path index;
  for (const auto& e : fs::recursive_directory_iterator(dir / "versions"))
    if (e.path().filename() == "index") index = e.path();
  ASSERT_FALSE(index.empty());
  struct stat before {};
  ASSERT_EQ(::stat(index.c_str(), &before), 0);
  ASSERT_TRUE(store.Keep(page, "two", "上書き保存", t0 + 1));
  struct stat after {};
  ASSERT_EQ(::stat(index.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  // "two"'s row torn mid-hash: its writer, the tab before it, the line's end and ten digits go.
  fs::resize_file(index, fs::file_size(index) - std::string("上書き保存").size() - 12);
  ASSERT_TRUE(store.Keep(page, "three", "サイト置換", t0 + 2));
  const auto v = store.Versions(page);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(store.Bytes(page, v[0].hash), "three");
  EXPECT_EQ(v[0].writer, "サイト置換");
  EXPECT_EQ(store.Bytes(page, v[1].hash), "one");
  fs::remove_all(dir);
}

// The store's size is kept between keeps, not counted each time; a store
// emptied behind its back must not make the next keep throw versions away.
TEST(VersionCap, RemovesNothingOnAStaleCount) {
  const fs::path dir = fs::temp_directory_path() / ("hemlo-stale-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  VersionStore store(dir / "versions", 200 * 1024);
  const std::int64_t t0 = 1'700'000'000;
  for (int i = 0; i < 2; ++i)
    ASSERT_TRUE(store.Keep(dir / "a.htm", Page(120 * 1024, i, true), "上書き保存", t0 + i));
  fs::remove_all(dir / "versions");  // the user clears the store by hand
  ASSERT_TRUE(store.Keep(dir / "b.htm", Page(120 * 1024, 7, true), "上書き保存", t0 + 2));
  EXPECT_EQ(store.Versions(dir / "b.htm").size(), 1u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace hemlo
