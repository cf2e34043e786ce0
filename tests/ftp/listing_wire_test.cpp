// Which listing command goes on the wire: MLSD where the server offers MLST,
// LIST otherwise or when MLSD is refused; and a whole tree walked, fetched
// and removed through those listings on real servers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "ftp/id_ftp.h"
#include "support/real_servers.h"
#include "support/scripted_server.h"
#include "support/test_watchdog.h"
#include "scripted_client.h"

namespace hemlo::ftp {
namespace {

namespace fs = std::filesystem;
using testing::Configure;
using testing::ReadText;
using testing::ScriptedServer;
using testing::ScriptSession;
using testing::TempFolder;

// One listing in active mode: `reply` to `command`, then, after a 150, `data`.
void ServeListing(ScriptSession& s, const std::string& command, const std::string& reply,
                  const std::string& data) {
  const std::string port = s.Expect("PORT ");
  s.Send("200 ok\r\n");
  if (s.ReadCommand() != command) throw std::runtime_error("script: expected " + command);
  s.Send(reply);
  if (reply.rfind("150", 0) != 0) return;
  int fd = s.ConnectData(port);
  ScriptSession::SendAll(fd, data);
  ::close(fd);
  s.Send("226 done\r\n");
}

void Greet(ScriptSession& s) {
  s.Send("220 ready\r\n");
  s.Expect("USER user");
  s.Send("331 password please\r\n");
  s.Expect("PASS secret");
  s.Send("230 logged in\r\n");
  s.Expect("TYPE");
  s.Send("200 ok\r\n");
  s.Expect("SYST");
  s.Send("215 UNIX Type: L8\r\n");
}

constexpr const char* kLine = "drwxr-xr-x 2 u g 4096 Jan 01 2020 www\r\n";

TEST(FtpListingWire, MlsdWhereOfferedListOtherwise) {
  // FEAT offers MLST: the facts it does not send unasked are asked for,
  // then MLSD (a "-" name as it is); refused as unknown, LIST from then on
  // without asking again.
  ScriptedServer offers([](ScriptSession& s) {
    Greet(s);
    s.Expect("FEAT");
    s.Send(
        "211-Features:\r\n MDTM\r\n MLST modify*;perm*;size*;type*;unique*;UNIX.mode;\r\n REST "
        "STREAM\r\n"
        "211 End\r\n");
    s.Expect("OPTS MLST type;size;modify;perm;unix.mode;");
    s.Send("200 MLST OPTS type;size;modify;perm;unix.mode;\r\n");
    ServeListing(s, "MLSD -old", "150 here\r\n",
                 "type=cdir;modify=20240101000000; /-old\r\n"
                 "type=file;size=3;modify=20240101000000;unix.mode=0640;  lead.txt\r\n"
                 "type=dir;modify=20240101000000; sub\r\n");
    ServeListing(s, "MLSD", "500 MLSD not understood\r\n", "");
    ServeListing(s, "LIST -a", "150 here\r\n", kLine);
    ServeListing(s, "LIST -a sub", "150 here\r\n", kLine);
    s.Expect("QUIT");
  });
  TIdFTP ftp;
  Configure(ftp, offers.port());
  ftp.Connect();
  ftp.ListEntries("-old");
  EXPECT_TRUE(ftp.ListingIsMlsd());
  ASSERT_EQ(ftp.DirectoryListing().Count(), 2u);
  EXPECT_EQ(ftp.DirectoryListing()[0].FileName, " lead.txt");
  EXPECT_EQ(ftp.DirectoryListing()[0].PermissionText(), "rw-r-----");
  EXPECT_EQ(ftp.DirectoryListing()[1].ItemType, TIdDirItemType::ditDirectory);
  ftp.ListEntries();
  EXPECT_FALSE(ftp.ListingIsMlsd());
  ASSERT_EQ(ftp.DirectoryListing().Count(), 1u);
  EXPECT_EQ(ftp.DirectoryListing()[0].FileName, "www");
  ftp.ListEntries("sub");
  ftp.Disconnect();
  EXPECT_EQ(offers.Join(), "");

  // Without asking, nothing is added to the wire; a server without FEAT
  // lists through LIST.
  ScriptedServer plain([](ScriptSession& s) {
    Greet(s);
    ServeListing(s, "LIST -a", "150 here\r\n", kLine);
    s.Expect("FEAT");
    s.Send("500 unknown\r\n");
    ServeListing(s, "LIST -a site/", "150 here\r\n", kLine);
    s.Expect("QUIT");
  });
  Configure(ftp, plain.port());
  ftp.Connect();
  ftp.ListEntries({}, true, false);
  ftp.ListEntries("site/");
  EXPECT_FALSE(ftp.ListingIsMlsd());
  ftp.Disconnect();
  EXPECT_EQ(plain.Join(), "");
}

class FtpListingTree : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    server_ = GetParam() == "vsftpd" ? testing::StartVsftpd() : testing::StartPyftpdlib();
    Configure(ftp_, *server_);
    ftp_.Connect();
    ftp_.ChangeDirectory(server_->remote_work);
  }
  void TearDown() override { ftp_.Disconnect(); }

  std::vector<TIdFTPListItem> Entries(const std::string& folder) {
    ftp_.ListEntries(folder);
    // What came back is MLSD's facts on pyftpdlib, `ls` lines on vsftpd.
    const bool mlsd = GetParam() == "pyftpdlib";
    EXPECT_EQ(ftp_.ListingIsMlsd(), mlsd) << folder;
    for (const std::string& line : ftp_.ListingText())
      EXPECT_EQ(line.find("type=") != std::string::npos, mlsd) << line;
    std::vector<TIdFTPListItem> out;
    for (const TIdFTPListItem& item : ftp_.DirectoryListing().Items())
      if (item.FileName != "." && item.FileName != "..") out.push_back(item);
    EXPECT_EQ(ftp_.DirectoryListing().UnparsedLines(), 0u) << folder;
    return out;
  }
  void Fetch(const std::string& folder, const fs::path& local) {
    fs::create_directories(local);
    for (const TIdFTPListItem& item : Entries(folder)) {
      const std::string remote = folder + "/" + item.FileName;
      if (item.ItemType == TIdDirItemType::ditDirectory) {
        Fetch(remote, local / item.FileName);
      } else {
        ftp_.Download(remote, (local / item.FileName).string(), true, false);
      }
    }
  }
  void Remove(const std::string& folder) {
    for (const TIdFTPListItem& item : Entries(folder)) {
      const std::string remote = folder + "/" + item.FileName;
      if (item.ItemType == TIdDirItemType::ditDirectory) {
        Remove(remote);
        ftp_.RemoveDirectory(remote);
      } else {
        ftp_.DeleteFile(remote);
      }
    }
  }

  testing::TestWatchdog watchdog_;  // first: bounds the test and its server
  std::unique_ptr<testing::RealServer> server_;
  TIdFTP ftp_;
};

// The walks of folder download and remote deletion: every entry, dot
// files, a name with a leading space and a folder named "-old" included.
TEST_P(FtpListingTree, WholeTreeIsFetchedAndRemovedThroughItsListings) {
  const std::map<std::string, std::string> files = {
      {"site/index.htm", "<html>"},
      {"site/.htaccess", "deny from all"},
      {"site/ lead.txt", "lead"},
      {"site/-old/a.txt", "old"},
      {"site/img/b.gif", std::string("GIF\0\x01", 5)}};
  for (const auto& [path, body] : files) {
    fs::create_directories((server_->files / path).parent_path());
    std::ofstream(server_->files / path, std::ios::binary) << body;
  }
  if (GetParam() == "vsftpd") {
    // Written by root; the anonymous account must be able to delete them.
    for (auto& e : fs::recursive_directory_iterator(server_->files))
      fs::permissions(e.path(), fs::perms::all);
  }
  TempFolder local;
  Fetch("site", local.path() / "site");
  for (const auto& [path, body] : files) EXPECT_EQ(ReadText(local.path() / path), body) << path;
  Remove("site");
  ftp_.RemoveDirectory("site");
  EXPECT_FALSE(fs::exists(server_->files / "site"));
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpListingTree, ::testing::Values("vsftpd", "pyftpdlib"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace hemlo::ftp
