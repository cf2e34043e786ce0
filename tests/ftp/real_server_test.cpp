// The same suite against real servers on loopback: vsftpd and pyftpdlib.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "ftp/id_ftp.h"
#include "scripted_client.h"
#include "support/real_servers.h"
#include "support/test_watchdog.h"

namespace hemlo::ftp {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::RealServer;
using testing::TempFolder;
using testing::WriteFile;

std::string RandomBytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  std::mt19937_64 rng(seed);
  for (size_t i = 0; i < n; i += 8) {
    uint64_t v = rng();
    for (size_t j = 0; j < 8 && i + j < n; ++j) s[i + j] = static_cast<char>(v >> (8 * j));
  }
  return s;
}

std::string Join(const std::string& dir, const std::string& name) {
  return dir.empty() || dir.back() != '/' ? dir + "/" + name : dir + name;
}

class FtpRealServer : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    server_ = GetParam() == "vsftpd" ? testing::StartVsftpd() : testing::StartPyftpdlib();
    testing::Configure(ftp_, *server_);
    if (getenv("FTP_TRACE"))
      ftp_.OnStatus = [](TIdTCPConnection& c, TIdStatus, const std::string& t) {
        fprintf(stderr, "status %s (last %d %s)\n", t.c_str(), c.LastReply.NumericCode,
                c.LastReply.Text.empty() ? "" : c.LastReply.Text[0].c_str());
      };
    ftp_.Connect();
    ftp_.ChangeDirectory(server_->remote_work);
  }
  void TearDown() override { ftp_.Disconnect(); }

  const TIdFTPListItem* Find(const std::string& name) {
    for (const auto& item : ftp_.DirectoryListing().Items())
      if (item.FileName == name) return &item;
    return nullptr;
  }

  testing::TestWatchdog watchdog_;  // first: bounds the test and its server
  std::unique_ptr<RealServer> server_;
  TIdFTP ftp_;
  TempFolder local_;
};

TEST_P(FtpRealServer, DirectoryAndFileCommands) {
  EXPECT_EQ(ftp_.GreetingReply.NumericCode, 220);
  EXPECT_EQ(ftp_.LoginReply.NumericCode, 230);
  EXPECT_FALSE(ftp_.SystemDescription.empty());
  EXPECT_EQ(ftp_.CurrentDirectory(), server_->remote_work);

  ftp_.CreateDirectory("dir1");
  EXPECT_TRUE(fs::is_directory(server_->files / "dir1"));
  ftp_.ChangeDirectory("dir1");
  EXPECT_EQ(ftp_.CurrentDirectory(), Join(server_->remote_work, "dir1"));
  ftp_.ParentDirectory();
  EXPECT_EQ(ftp_.CurrentDirectory(), server_->remote_work);

  WriteFile(local_.path() / "a.txt", "hello");
  ftp_.Upload((local_.path() / "a.txt").string(), "dir1/a.txt");
  ftp_.RenameFile("dir1/a.txt", "dir1/b.txt");
  EXPECT_FALSE(fs::exists(server_->files / "dir1" / "a.txt"));
  EXPECT_EQ(ReadText(server_->files / "dir1" / "b.txt"), "hello");

  if (server_->name == "pyftpdlib") {
    ftp_.SiteCommand("CHMOD 600 dir1/b.txt");
    struct stat st {};
    ASSERT_EQ(::stat((server_->files / "dir1" / "b.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  } else {
    // vsftpd never allows SITE CHMOD to anonymous users; the refusal must
    // leave the client ready.
    try {
      ftp_.SiteCommand("CHMOD 600 dir1/b.txt");
      FAIL() << "vsftpd accepted SITE CHMOD from an anonymous user";
    } catch (const EIdProtocolReplyError& e) {
      EXPECT_GE(e.ErrorCode(), 500);
    }
  }

  try {
    ftp_.RemoveDirectory("dir1");  // not empty
    FAIL();
  } catch (const EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ErrorCode(), 550);
  }
  ftp_.DeleteFile("dir1/b.txt");
  EXPECT_FALSE(fs::exists(server_->files / "dir1" / "b.txt"));
  ftp_.RemoveDirectory("dir1");
  EXPECT_FALSE(fs::exists(server_->files / "dir1"));
  EXPECT_THROW(ftp_.ChangeDirectory("no-such-dir"), EIdProtocolReplyError);
  EXPECT_THROW(ftp_.Download("no-such-file", (local_.path() / "x").string(), true),
               EIdProtocolReplyError);
  EXPECT_FALSE(fs::exists(local_.path() / "x"));
  EXPECT_EQ(ftp_.CurrentDirectory(), server_->remote_work);  // still in step
}

TEST_P(FtpRealServer, ListingParsedIntoItems) {
  fs::create_directory(server_->files / "sub");
  WriteFile(server_->files / "ten.bin", std::string(10, 'x'));
  WriteFile(server_->files / "with space.htm", std::string(1234, 'y'));
  std::vector<std::string> lines;
  ftp_.ListDirectory(&lines);
  EXPECT_EQ(lines, ftp_.ListingText());
  EXPECT_EQ(ftp_.DirectoryListing().ListFormat, TIdFTPListFormat::flfUnix);
  ASSERT_NE(Find("sub"), nullptr);
  EXPECT_EQ(Find("sub")->ItemType, TIdDirItemType::ditDirectory);
  ASSERT_NE(Find("ten.bin"), nullptr);
  EXPECT_EQ(Find("ten.bin")->Size, 10);
  EXPECT_EQ(Find("ten.bin")->ItemType, TIdDirItemType::ditFile);
  EXPECT_EQ(Find("ten.bin")->PermissionText(), "rw-r--r--");
  // Dated today (the servers list recent files with a time, not a year).
  const double now_days = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
  EXPECT_NEAR(Find("ten.bin")->ModifiedDate, now_days, 1.5);
  ASSERT_NE(Find("with space.htm"), nullptr);
  EXPECT_EQ(Find("with space.htm")->Size, 1234);

  ftp_.ListDirectory(&lines, "sub");
  EXPECT_EQ(ftp_.DirectoryListing().Count(), 0u);
  ftp_.ListDirectory(&lines, "", false);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ten.bin"), lines.end());
}

TEST_P(FtpRealServer, UploadAndDownloadKeepEveryByte) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"empty.bin", ""},
      {"small.bin", std::string("line\r\nlf\nnul\0\x95\x5C\xff", 16)},
      {"large.bin", RandomBytes(64u << 20, 7)},
  };
  int hook_calls = 0;  // events keep running while the bytes flow
  ftp_.SetWaitHook([&] { return ++hook_calls > 0; });
  for (const auto& [name, bytes] : files) {
    const fs::path up = local_.path() / ("up-" + name);
    WriteFile(up, bytes);
    ftp_.Upload(up.string(), name);
    EXPECT_TRUE(ReadText(server_->files / name) == bytes) << name << " differs on the server";
    const fs::path down = local_.path() / ("down-" + name);
    ftp_.Download(name, down.string(), true, false);
    EXPECT_TRUE(ReadText(down) == bytes) << name << " differs after download";
    // Overwriting an existing local file with the tool's arguments.
    WriteFile(down, "stale local contents that are longer than some files");
    ftp_.Download(name, down.string(), true, false);
    EXPECT_TRUE(ReadText(down) == bytes) << name << " not replaced";
  }
  ftp_.Download("small.bin", "/dev/null", true, false);  // devices are written straight into
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(local_.path()))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names.size(), 6u);  // no temporary files left behind
  EXPECT_GT(hook_calls, 4);
}

// Japanese names travel byte for byte in the server's own encoding: raw
// Shift-JIS on vsftpd, UTF-8 on pyftpdlib, which announces UTF8 in FEAT
// (and decodes every name as UTF-8, replacing other bytes).
TEST_P(FtpRealServer, JapaneseNamesRoundTrip) {
  const bool utf8 = !server_->names_as_bytes;
  EXPECT_EQ(ftp_.FeatureAnnounced("utf8"), utf8);
  // Refused or not, a server that announces UTF8 takes it.
  if (utf8) ftp_.EnableUtf8Names();
  const std::string dir = utf8 ? "ソフト" : "\x83\x5C\x83\x74\x83\x67";
  const std::string file = utf8 ? "表示.htm" : "\x95\x5C\x8E\xA6.htm";
  const std::string renamed = utf8 ? "能力.htm" : "\x94\x5C\x97\xCD.htm";
  ftp_.CreateDirectory(dir);
  EXPECT_TRUE(fs::is_directory(server_->files / dir));
  ftp_.ChangeDirectory(dir);
  EXPECT_EQ(ftp_.CurrentDirectory(), Join(server_->remote_work, dir));
  WriteFile(local_.path() / "page", "<html>\x82\xA0</html>");
  ftp_.Upload((local_.path() / "page").string(), file);
  EXPECT_TRUE(fs::exists(server_->files / dir / file));
  ftp_.ListDirectory();
  ASSERT_NE(Find(file), nullptr) << ftp_.ListingText().front();
  ftp_.RenameFile(file, renamed);
  ftp_.Download(renamed, (local_.path() / "back").string(), true);
  EXPECT_EQ(ReadText(local_.path() / "back"), "<html>\x82\xA0</html>");
  ftp_.DeleteFile(renamed);
  ftp_.ParentDirectory();
  ftp_.RemoveDirectory(dir);
  EXPECT_FALSE(fs::exists(server_->files / dir));
}

TEST_P(FtpRealServer, HiddenListingShowsEveryKindOfFolder) {
  // setgid and sticky folders (common on shared hosts), a folder whose name
  // looks like options, and a dot file that a plain LIST hides on vsftpd.
  const std::pair<const char*, mode_t> folders[] = {
      {"shared", 02775}, {"tmp", 01777}, {"-old", 0755}};
  for (const auto& [name, mode] : folders) {
    fs::create_directory(server_->files / name);
    ::chmod((server_->files / name).c_str(), mode);
  }
  WriteFile(server_->files / ".htaccess", "deny from all");
  WriteFile(server_->files / "-old" / "inside.htm", "x");
  ftp_.ListDirectory(nullptr, "", true, true);
  std::vector<std::string> names;
  for (const auto& item : ftp_.DirectoryListing().Items()) names.push_back(item.FileName);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"-old", ".htaccess", "shared", "tmp"}))
      << ::testing::PrintToString(ftp_.ListingText());
  ASSERT_NE(Find("shared"), nullptr);
  EXPECT_EQ(Find("shared")->ItemType, TIdDirItemType::ditDirectory);
  ASSERT_NE(Find("tmp"), nullptr);
  EXPECT_EQ(Find("tmp")->ItemType, TIdDirItemType::ditDirectory);
  ftp_.ListDirectory(nullptr, "-old", true, true);
  ASSERT_EQ(ftp_.DirectoryListing().Count(), 1u) << ::testing::PrintToString(ftp_.ListingText());
  EXPECT_EQ(ftp_.DirectoryListing()[0].FileName, "inside.htm");
}

// Data-connection modes against servers that refuse one of them: the
// automatic mode gets through either way and keeps to what worked.
TEST(FtpDataModes, AutomaticModeGetsThroughWhicheverModeTheServerRefuses) {
  testing::TestWatchdog watchdog;  // bounds the test and its server
  struct Case {
    const char* conf;
    TIdDataMode mode;
    bool works;
    TIdDataMode in_use;
  } cases[] = {
      {"port_enable=NO\n", TIdDataMode::dmAuto, true, TIdDataMode::dmPassive},
      {"port_enable=NO\n", TIdDataMode::dmActive, false, TIdDataMode::dmActive},
      {"pasv_enable=NO\n", TIdDataMode::dmAuto, true, TIdDataMode::dmActive},
      {"pasv_enable=NO\n", TIdDataMode::dmPassive, false, TIdDataMode::dmAuto},
  };
  for (const Case& c : cases) {
    auto server = testing::StartVsftpd(c.conf);
    WriteFile(server->files / "page.htm", "<html></html>");
    TIdFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = server->port;
    ftp.Username = server->user;
    ftp.Password = server->password;
    ftp.DataMode = c.mode;
    ftp.Connect();
    ftp.ChangeDirectory(server->remote_work);
    const std::string label =
        std::string(c.conf) + " mode " + std::to_string(static_cast<int>(c.mode));
    for (int i = 0; i < 2; ++i) {
      try {
        ftp.ListDirectory();
        EXPECT_TRUE(c.works) << label;
        EXPECT_EQ(ftp.DirectoryListing().Count(), 1u) << label;
      } catch (const EIdException& e) {
        EXPECT_FALSE(c.works) << label << ": " << e.what();
      }
    }
    EXPECT_EQ(ftp.DataModeInUse(), c.in_use) << label;
    EXPECT_TRUE(ftp.Connected()) << label;
    ftp.Disconnect();
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpRealServer, ::testing::Values("vsftpd", "pyftpdlib"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace hemlo::ftp
