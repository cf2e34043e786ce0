// Uploads, downloads and the stop test against vsftpd and pyftpdlib on
// loopback, checked on the server's disk; hostile listings on a scripted
// server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <memory>

#include "base/program_folder.h"
#include "base/version_store.h"
#include "ftp/scripted_client.h"
#include "ops_test_support.h"
#include "text/cp932.h"
#include "transfer/remote_delete.h"
#include "remote/ftp_remote_files.h"
#include "transfer/transfer_ops.h"

namespace hemlo::transfer {
namespace {

using namespace testing;
using ::testing::ElementsAre;

std::unique_ptr<RealServer> MakeServer(const std::string& name) {
  if (name == "vsftpd") return std::make_unique<Vsftpd>();
  return std::make_unique<Pyftpdlib>();
}

class RealServerTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    server_ = MakeServer(GetParam());
    ConnectClient(ftp_, server_->Port(), server_->RemoteDir());
    ftp_.MlstSupported();  // as the window does on connecting: MLSD on pyftpdlib, LIST on vsftpd
    host_.on_refresh_remote = [this] { ListRows(ftp_); };
  }
  TransferContext Context() { return {files_, prompts_, host_, local_.path().string(), mode_}; }

  std::unique_ptr<RealServer> server_;
  ftp::TIdFTP ftp_;
  FtpRemoteFiles files_{ftp_};
  ScriptedPrompts prompts_;
  RecordingHost host_;
  TempDir local_;
  TransferMode mode_ = TransferMode::kBinary;
};

TEST_P(RealServerTest, UploadsSelectedFilesWithProgressInOrder) {
  WriteFile(local_.path() / "a.htm", "<p>a</p>\r\n");
  WriteFile(local_.path() / "b.css", std::string(70000, 'b'));
  WriteFile(local_.path() / "c.gif", std::string("GIF89a\0\r\n\x1a", 10));
  WriteFile(local_.path() / "unselected.txt", "no");
  auto ctx = Context();

  EXPECT_EQ(UploadFiles(ctx, LocalSelection{{"a.htm", "b.css", "c.gif"}}), OpOutcome::kDone);

  EXPECT_THAT(host_.statuses,
              ElementsAre("ｱｯﾌﾟﾛｰﾄﾞ中...", "a.htm(1/3)", "b.css(2/3)", "c.gif(3/3)", "完了"));
  EXPECT_EQ(host_.remote_refreshes, 1);
  EXPECT_EQ(host_.select_all_cleared, 1);
  EXPECT_TRUE(host_.idle);
  EXPECT_GT(host_.byte_reports, 0);
  EXPECT_TRUE(prompts_.asked.empty());
  for (const char* name : {"a.htm", "b.css", "c.gif"})
    EXPECT_EQ(ReadFile(server_->Disk() / name), ReadFile(local_.path() / name)) << name;
  EXPECT_FALSE(fs::exists(server_->Disk() / "unselected.txt"));
}

TEST_P(RealServerTest, NothingSelectedSendsNothingAndStaysClosable) {
  auto ctx = Context();
  host_.idle = true;
  EXPECT_EQ(UploadFiles(ctx, LocalSelection{}), OpOutcome::kNothing);
  EXPECT_TRUE(host_.statuses.empty());
  EXPECT_TRUE(host_.idle);
  EXPECT_EQ(host_.remote_refreshes, 0);
}

TEST_P(RealServerTest, RefusedFileIsReportedAndTheRestGoesOn) {
  WriteFile(local_.path() / "one.txt", "1");
  WriteFile(local_.path() / "three.txt", "3");
  auto ctx = Context();
  // "two.txt" does not exist locally: the client fails on it.
  prompts_.answers = {Answer::Ok};
  EXPECT_EQ(UploadFiles(ctx, LocalSelection{{"one.txt", "two.txt", "three.txt"}}),
            OpOutcome::kDone);
  const std::string missing = (local_.path() / "two.txt").string();
  EXPECT_THAT(
      Texts(prompts_),
      ElementsAre("「" + missing + "」\r\nがｱｯﾌﾟﾛｰﾄﾞできません\r\n\r\nｻｰﾊﾞによって拒否されます"));
  EXPECT_EQ(ReadFile(server_->Disk() / "three.txt"), "3");
  EXPECT_EQ(host_.statuses.back(), "完了");
}

TEST_P(RealServerTest, EscapeDuringUploadStopsAfterTheNextFile) {
  for (const char* n : {"1.txt", "2.txt", "3.txt", "4.txt"}) WriteFile(local_.path() / n, n);
  // Escape is pressed while file 2 travels.
  host_.on_file_progress = [this](int n, int) {
    if (n == 2) host_.idle = true;
  };
  prompts_.answers = {Answer::Ok};
  auto ctx = Context();
  EXPECT_EQ(UploadFiles(ctx, LocalSelection{{"1.txt", "2.txt", "3.txt", "4.txt"}}),
            OpOutcome::kStopped);
  EXPECT_TRUE(fs::exists(server_->Disk() / "2.txt"));
  EXPECT_FALSE(fs::exists(server_->Disk() / "3.txt"));
  ASSERT_EQ(prompts_.asked.size(), 1u);
  EXPECT_EQ(prompts_.asked[0].caption, "中断");
  EXPECT_EQ(prompts_.asked[0].text, "中断しました！！");
  EXPECT_EQ(host_.statuses.back(), "完了");
  EXPECT_EQ(host_.remote_refreshes, 1);
  EXPECT_TRUE(host_.idle);
}

TEST_P(RealServerTest, DroppedFilesSkipFoldersAndCountOnlyFiles) {
  WriteFile(local_.path() / "drop" / "x.htm", "x");
  WriteFile(local_.path() / "drop" / "y.htm", "y");
  fs::create_directories(local_.path() / "drop" / "folder");
  const std::string x = (local_.path() / "drop" / "x.htm").string();
  const std::string y = (local_.path() / "drop" / "y.htm").string();
  auto ctx = Context();
  EXPECT_EQ(UploadFiles(ctx, DroppedFiles{{x, (local_.path() / "drop" / "folder").string(), y}}),
            OpOutcome::kDone);
  EXPECT_THAT(host_.statuses, ElementsAre("ｱｯﾌﾟﾛｰﾄﾞ中...", x + "(1/2)", y + "(2/2)", "完了"));
  EXPECT_EQ(ReadFile(server_->Disk() / "y.htm"), "y");
  EXPECT_FALSE(fs::exists(server_->Disk() / "folder"));
}

TEST_P(RealServerTest, DownloadsAFolderTreeAndAFileReplacingLocalFiles) {
  WriteFile(server_->Disk() / "site" / "index.htm", "new index");
  WriteFile(server_->Disk() / "site" / ".htaccess", "hidden");
  WriteFile(server_->Disk() / "site" / "img" / "deep" / "a.gif", std::string("\0\1\2\r\n", 5));
  WriteFile(server_->Disk() / "top.txt", "new top\r\n");
  WriteFile(server_->Disk() / "other.txt", "not selected");
  server_->Adopt();
  WriteFile(local_.path() / "top.txt", "old top, longer than the new one");
  WriteFile(local_.path() / "site" / "index.htm", "old index");
  ftp::testing::TempFolder state;  // the version store's
  SetProgramFolder(state.path());
  auto rows = ListRows(ftp_);
  Select(rows, {"site", "top.txt"});
  auto ctx = Context();

  EXPECT_EQ(DownloadSelection(ctx, rows), OpOutcome::kDone);
  // The replaced local files stay in the version store.
  for (const auto& [path, old] : {std::pair{local_.path() / "top.txt", "old top, longer than the new one"},
                                  std::pair{local_.path() / "site" / "index.htm", "old index"}}) {
    const auto kept = ProgramVersionStore().Versions(path);
    ASSERT_EQ(kept.size(), 1u) << path;
    EXPECT_EQ(ProgramVersionStore().Bytes(path, kept[0].hash), std::optional<std::string>(old));
  }

  EXPECT_TRUE(prompts_.asked.empty());
  EXPECT_EQ(ReadFile(local_.path() / "top.txt"), "new top\r\n");
  EXPECT_EQ(ReadFile(local_.path() / "site" / "index.htm"), "new index");
  EXPECT_EQ(ReadFile(local_.path() / "site" / ".htaccess"), "hidden");
  EXPECT_EQ(ReadFile(local_.path() / "site" / "img" / "deep" / "a.gif"),
            std::string("\0\1\2\r\n", 5));
  EXPECT_FALSE(fs::exists(local_.path() / "other.txt"));
  EXPECT_EQ(host_.statuses.front(), "ﾀﾞｳﾝﾛｰﾄﾞ中...");
  EXPECT_EQ(host_.statuses.back(), "完了");
  EXPECT_EQ(host_.local_refreshes, 1);
  EXPECT_TRUE(host_.idle);
}

TEST_P(RealServerTest, CollectRemoteTreeIsBreadthFirstAndSkipsDotEntries) {
  WriteFile(server_->Disk() / "r" / "f1", "1");
  WriteFile(server_->Disk() / "r" / "a" / "f2", "2");
  WriteFile(server_->Disk() / "r" / "a" / "b" / "f3", "3");
  WriteFile(server_->Disk() / "r" / "c" / "f4", "4");
  server_->Adopt();
  auto ctx = Context();
  host_.idle = false;  // as inside an operation: no stop request
  const RemoteTree tree = CollectRemoteTree(ctx, ListedName(ctx.names, "r"));
  EXPECT_EQ(ftp_.ListingIsMlsd(), GetParam() == "pyftpdlib");
  const auto wires = [](const std::vector<ListedName>& list) {
    std::vector<std::string> out;
    for (const ListedName& n : list) out.push_back(n.Wire());
    return out;
  };
  std::vector<std::string> folders = wires(tree.FolderList), files = wires(tree.FileList);
  std::sort(folders.begin() + 1, folders.begin() + 3);
  EXPECT_THAT(folders, ElementsAre("r", "r/a", "r/c", "r/a/b"));
  EXPECT_EQ(std::set<std::string>(files.begin(), files.end()),
            (std::set<std::string>{"r/f1", "r/a/f2", "r/c/f4", "r/a/b/f3"}));
  EXPECT_EQ(files.front(), "r/f1");
  EXPECT_EQ(files.back(), "r/a/b/f3");
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServerTest, ::testing::Values("vsftpd", "pyftpdlib"),
                         [](const auto& info) { return info.param; });

// ------------------------------------------------------------- hostile server

// A download of rows and of a tree whose names are fine, would leave the
// folder, or have no exact local form: each bad name is reported once (a
// folder's contents go with it without a word), counted, never written,
// and the walk still lists and fetches in the same order.
TEST(HostileServer, BadNamesAreReportedOnceAndNeverWritten) {
  const std::string sjis_a = "\x82\xA0", sjis_i = "\x82\xA2", sjis_u = "\x82\xA4";
  struct Case {
    const char* name;
    text::NameEncoding encoding;
    std::set<std::string> folders;
    std::map<std::string, std::string> files;
    std::map<std::string, std::vector<std::string>> listings;
    std::vector<RemoteRow> rows;
    std::vector<std::string> texts;     // every message, in order
    std::vector<std::string> commands;  // LIST and RETR, in order
    std::map<std::string, std::string> local;
    std::string status;
  } const cases[] = {
      {"names that leave the folder",
       text::NameEncoding::kShiftJis,
       {"site"},
       {{"site/good.htm", "good"}, {"../evil", "evil"}, {"a/b", "ab"}},
       {{"site",
         {"-rw-r--r-- 1 u g 4 Jan 01 2020 good.htm", "-rw-r--r-- 1 u g 4 Jan 01 2020 ../evil",
          "-rw-r--r-- 1 u g 2 Jan 01 2020 a/b", "drwxr-xr-x 2 u g 0 Jan 01 2020 ..",
          "drwxr-xr-x 2 u g 0 Jan 01 2020 .", "-rw-r--r-- 1 u g 2 Jan 01 2020 /etc/passwd"}}},
       {{"site", true, true, ""}, {"../evil", false, true, ""}},
       {"「../evil」\r\nはフォルダの外を指す名前のため、スキップします",
        "「a/b」\r\nはフォルダの外を指す名前のため、スキップします",
        "「/etc/passwd」\r\nはフォルダの外を指す名前のため、スキップします",
        "「../evil」\r\nはフォルダの外を指す名前のため、スキップします"},
       {"LIST -a site", "RETR site/good.htm"},
       {{"site/good.htm", "good"}},
       "完了（4 件をスキップしました）"},
      {"names with no local form",
       text::NameEncoding::kUtf8,
       {"site", "site/" + sjis_a, "site/" + sjis_a + "/deeper", "site/ok", sjis_i},
       {{"site/good.htm", "good"},
        {"site/" + sjis_i + ".htm", "i"},
        {"site/" + sjis_a + "/inner.htm", "inner"},
        {"site/" + sjis_a + "/deeper/x.htm", "x"},
        {"site/ok/fine.htm", "fine"},
        {"site/ok/" + sjis_u + ".htm", "u"},
        {"site/a\\b", "ab"},
        {sjis_i + "/in.htm", "in"},
        {sjis_u + ".txt", "row"},
        {"top.htm", "top"}},
       {},
       {{"site", true, true, ""},
        {sjis_u + ".txt", false, true, ""},
        {sjis_i, true, true, ""},
        {"top.htm", false, true, ""}},
       {"「a\\b」\r\nはフォルダの外を指す名前のため、スキップします",
        "「site/??」\r\nの名前はUTF-8とファイル名の間で変換できないため、スキップします",
        "「site/??.htm」\r\nの名前はUTF-8とファイル名の間で変換できないため、スキップします",
        "「site/ok/??.htm」\r\nの名前はUTF-8とファイル名の間で変換できないため、スキップします",
        "「??.txt」\r\nの名前はUTF-8とファイル名の間で変換できないため、スキップします",
        "「??」\r\nの名前はUTF-8とファイル名の間で変換できないため、スキップします"},
       {"LIST -a site", "LIST -a site/ok", "LIST -a site/" + sjis_a,
        "LIST -a site/" + sjis_a + "/deeper", "RETR site/good.htm", "RETR site/ok/fine.htm",
        "LIST -a " + sjis_i, "RETR top.htm"},
       {{"site/good.htm", "good"}, {"site/ok/fine.htm", "fine"}, {"top.htm", "top"}},
       "完了（6 件をスキップしました）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFtpServer server;
    server.folders.insert(c.folders.begin(), c.folders.end());
    server.files = c.files;
    server.listings = c.listings;
    server.Run();
    TempDir top;
    const fs::path local = top.path() / "inside";
    fs::create_directories(local);
    ftp::TIdFTP ftp;
    ConnectClient(ftp, server.port());
    ScriptedPrompts prompts;
    prompts.answers.assign(c.texts.size(), Answer::Ok);
    RecordingHost host;
    FtpRemoteFiles remote_files(ftp);
    TransferContext ctx{remote_files,
                        prompts,
                        host,
                        local.string(),
                        TransferMode::kBinary,
                        text::RemoteNames(c.encoding)};

    EXPECT_EQ(DownloadSelection(ctx, c.rows), OpOutcome::kDone);
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "");

    EXPECT_EQ(Texts(prompts), c.texts);
    std::vector<std::string> commands;
    for (const std::string& command : server.Commands())
      if (command.rfind("LIST", 0) == 0 || command.rfind("RETR", 0) == 0)
        commands.push_back(command);
    EXPECT_EQ(commands, c.commands);
    std::map<std::string, std::string> written;
    for (const auto& e : fs::recursive_directory_iterator(top.path()))
      if (e.is_regular_file())
        written[fs::relative(e.path(), local).generic_string()] = ReadFile(e.path());
    EXPECT_EQ(written, c.local);
    EXPECT_EQ(host.statuses.back(), c.status);
  }
}

// Entries whose size or time cannot be read (a time that is no date, a
// size past 64 bits, a negative one) are still fetched or deleted by name;
// a line nothing reads is counted, and both walks end saying so, together
// with the name skipped as unsafe.
TEST(HostileServer, WalksKeepEntriesWithUnreadableFactsAndCountUnreadLines) {
  struct Walk {
    const char* op;
    std::function<OpOutcome(TransferContext&, const std::vector<RemoteRow>&)> run;
    const char* command;  // sent once for each entry
  };
  const Walk walks[] = {{"download", DownloadSelection, "RETR "},
                        {"delete", DeleteSelection, "DELE "}};
  const char* const entries[] = {"a.htm", "b.htm", "c.htm"};
  for (const Walk& walk : walks) {
    SCOPED_TRACE(walk.op);
    FakeFtpServer server;
    server.folders.insert("site");
    for (const char* e : entries) server.files[std::string("site/") + e] = e;
    server.listings["site"] = {
        "type=file;size=5;modify=2024XX01000000; a.htm",
        "type=file;size=99999999999999999999;modify=20240101000000; b.htm",
        "type=file;size=-5; c.htm",
        "this line is no listing entry at all",
        "type=file;size=1; ../evil",
    };
    server.Run();
    TempDir local;
    ftp::TIdFTP ftp;
    ConnectClient(ftp, server.port());
    ScriptedPrompts prompts;
    prompts.answers = {Answer::Yes, Answer::Ok};
    RecordingHost host;
    FtpRemoteFiles remote_files(ftp);
    TransferContext ctx{remote_files, prompts, host, local.path().string(),
                        TransferMode::kBinary};
    EXPECT_EQ(walk.run(ctx, {{"site", true, true, ""}}), OpOutcome::kDone);
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "");
    const std::vector<std::string> commands = server.Commands();
    for (const char* e : entries) {
      const std::string command = walk.command + std::string("site/") + e;
      EXPECT_EQ(std::count(commands.begin(), commands.end(), command), 1) << command;
    }
    ASSERT_FALSE(host.statuses.empty());
    EXPECT_EQ(host.statuses.back(), "完了（1 件をスキップしました、1 件を読めませんでした）");
  }
}

// A long single file shows movement: work events reach the host a few
// times a second, the last one always, and the client's own handlers are
// kept and given back.
TEST(ByteProgress, ForwardsWorkEventsThrottledAndRestoresHandlers) {
  ftp::TIdFTP ftp;
  int own_calls = 0;
  ftp.OnWork = [&](ftp::TIdTCPConnection&, ftp::TWorkMode, int64_t) { ++own_calls; };
  struct Host : RecordingHost {
    std::vector<std::pair<int64_t, int64_t>> bytes;
    void SetByteProgress(int64_t d, int64_t t) override { bytes.emplace_back(d, t); }
  } host;
  {
    int64_t now = 0;  // the clock moves only when the test says
    WorkProgress progress(ftp, ProgressOf(host), [&] { return now; });
    ftp.OnWorkBegin(ftp, ftp::TWorkMode::wmWrite, 3000);
    now = 49;
    ftp.OnWork(ftp, ftp::TWorkMode::wmWrite, 1000);  // too soon after the start
    now = 130;
    ftp.OnWork(ftp, ftp::TWorkMode::wmWrite, 2000);
    ftp.OnWork(ftp, ftp::TWorkMode::wmWrite, 3000);
    ftp.OnWorkEnd(ftp, ftp::TWorkMode::wmWrite);
    // A download of unknown size still moves.
    ftp.OnWorkBegin(ftp, ftp::TWorkMode::wmRead, 0);
    ftp.OnWork(ftp, ftp::TWorkMode::wmRead, 500);
    ftp.OnWorkEnd(ftp, ftp::TWorkMode::wmRead);
  }
  using P = std::pair<int64_t, int64_t>;
  EXPECT_THAT(host.bytes,
              ElementsAre(P{0, 3000}, P{2000, 3000}, P{3000, 3000}, P{0, 0}, P{500, 500}));
  EXPECT_EQ(own_calls, 4);
  EXPECT_FALSE(ftp.OnWorkBegin);
  ASSERT_TRUE(ftp.OnWork);
}

// STOR writes in place: where the server stopped storing after the bytes
// began to flow, the user is told that the server's file is incomplete;
// a refusal before that leaves the old file and says nothing more.
TEST(UploadFailure, AFileCutOffOnTheServerIsNamedIncomplete) {
  TempDir local;
  WriteFile(local.path() / "a.htm", "a");
  WriteFile(local.path() / "b.htm", std::string(100'000, 'b'));
  ftp::testing::ScriptedServer server([](ftp::testing::ScriptSession& s) {
    ftp::testing::Login(s);
    s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("STOR a.htm");
    s.Send("553 not allowed\r\n");
    const std::string port = s.Expect("PORT ");
    s.Send("200 ok\r\n");
    s.Expect("STOR b.htm");
    s.Send("150 go\r\n");
    const int fd = s.ConnectData(port);
    ftp::testing::ScriptSession::ReceiveAll(fd);
    ::close(fd);
    s.Send("552 disk full\r\n");
    s.Expect("QUIT");
  });
  ftp::TIdFTP ftp;
  ftp::testing::Configure(ftp, server.port());
  ftp.Connect();
  ScriptedPrompts prompts;
  prompts.answers.assign(3, Answer::Ok);
  RecordingHost host;
  FtpRemoteFiles remote_files(ftp);
  TransferContext ctx{remote_files, prompts, host, local.path().string(), TransferMode::kBinary};
  EXPECT_EQ(UploadFiles(ctx, LocalSelection{{"a.htm", "b.htm"}}), OpOutcome::kDone);
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  const auto refused = [&](const char* name) {
    return "「" + (local.path() / name).string() +
           "」\r\nがｱｯﾌﾟﾛｰﾄﾞできません\r\n\r\nｻｰﾊﾞによって拒否されます";
  };
  EXPECT_THAT(Texts(prompts),
              ElementsAre(refused("a.htm"), refused("b.htm"),
                          "サーバの「b.htm」は途中までしか送られていないため、不完全です"
                          "（もう一度アップロードしてください）"));
}

TEST(DownloadFailure, FirstErrorEndsTheDownloadWithTheServersMessage) {
  FakeFtpServer server;
  server.files["a.txt"] = "a";
  server.files["c.txt"] = "c";
  server.Run();
  TempDir local;
  ftp::TIdFTP ftp;
  ConnectClient(ftp, server.port());
  ScriptedPrompts prompts;
  RecordingHost host;
  FtpRemoteFiles remote_files(ftp);
  TransferContext ctx{remote_files, prompts, host, local.path().string(), TransferMode::kBinary};
  std::vector<RemoteRow> rows = {
      {"a.txt", false, true, ""}, {"gone.txt", false, true, ""}, {"c.txt", false, true, ""}};
  EXPECT_EQ(DownloadSelection(ctx, rows), OpOutcome::kFailed);
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_THAT(Texts(prompts, "error"), ElementsAre("no such file\r\n"));
  EXPECT_FALSE(fs::exists(local.path() / "c.txt"));
  EXPECT_EQ(host.statuses.back(), "gone.txt(2/3)");
  EXPECT_EQ(host.local_refreshes, 0);
  // The window must still close.
  EXPECT_TRUE(host.idle);
}

TEST(DownloadFailure, LocalFolderThatCannotBeMadeEndsTheDownload) {
  FakeFtpServer server;
  server.folders.insert("site");
  server.files["site/a.txt"] = "a";
  server.Run();
  TempDir local;
  WriteFile(local.path() / "site", "a local file in the way");
  ftp::TIdFTP ftp;
  ConnectClient(ftp, server.port());
  ScriptedPrompts prompts;
  RecordingHost host;
  FtpRemoteFiles remote_files(ftp);
  TransferContext ctx{remote_files, prompts, host, local.path().string(), TransferMode::kBinary};
  EXPECT_EQ(DownloadSelection(ctx, {{"site", true, true, ""}}), OpOutcome::kFailed);
  ftp.Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_THAT(Texts(prompts, "error"),
              ElementsAre((local.path() / "site").string() + "は作成できません"));
  EXPECT_EQ(ReadFile(local.path() / "site"), "a local file in the way");
  for (const std::string& c : server.Commands()) EXPECT_NE(c.rfind("RETR", 0), 0u) << c;
}

}  // namespace
}  // namespace hemlo::transfer
