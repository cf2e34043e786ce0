// Folder upload: the wire order on a scripted server, and real trees into
// vsftpd and pyftpdlib checked on the server's disk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "base/preview_record.h"
#include "base/program_folder.h"
#include "ops_test_support.h"
#include "text/cp932.h"
#include "transfer/folder_upload.h"
#include "remote/ftp_remote_files.h"

namespace hemlo::transfer {
namespace {

using namespace testing;
using ::testing::ElementsAre;

struct FakeRun {
  FakeFtpServer server;
  TempDir local;
  ftp::TIdFTP ftp;
  ScriptedPrompts prompts;
  RecordingHost host;
  fs::path site() const { return local.path() / "site"; }
  OpOutcome Upload(TransferMode mode) {
    server.Run();
    ConnectClient(ftp, server.port());
    host.on_refresh_remote = [this] {
      ftp.CurrentDirectory();
      ftp.ListDirectory(nullptr, "", true);
    };
    FtpRemoteFiles remote_files(ftp);
    TransferContext ctx{remote_files, prompts, host, site().string(), mode};
    OpOutcome outcome = UploadFolderTree(ctx);
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "");
    return outcome;
  }
};

TEST(FolderUploadWire, ListsOncePerParentCreatesMissingFoldersThenUploads) {
  FakeRun run;
  WriteFile(run.site() / "index.htm", "<html>");
  WriteFile(run.site() / "img" / "a.gif", "GIF");
  EXPECT_EQ(run.Upload(TransferMode::kAscii), OpOutcome::kDone);
  EXPECT_THAT(run.server.CommandsAfterLogin(),
              ElementsAre("LIST", "MKD site", "LIST site/", "MKD site/img", "TYPE A",
                          "STOR site/index.htm", "STOR site/img/a.gif", "PWD", "LIST", "QUIT"));
  EXPECT_EQ(run.server.files["site/img/a.gif"], "GIF");
  EXPECT_THAT(run.host.statuses,
              ElementsAre("ｱｯﾌﾟﾛｰﾄﾞ中...", (run.site() / "index.htm").string() + "(1/2)",
                          (run.site() / "img" / "a.gif").string() + "(2/2)", "完了"));
  EXPECT_TRUE(run.prompts.asked.empty());
}

TEST(FolderUploadWire, PreviewCopiesOfThisProgramStayAtHome) {
  FakeRun run;
  const fs::path previous = ProgramFolder();
  SetProgramFolder(run.local.path());
  WriteFile(run.site() / "index.htm", "<html>");
  WriteFile(run.site() / "indexbak.htm", "preview");
  WriteFile(run.site() / "userbak.htm", "the user's own file");
  PreviewRecord::Shared().Written((run.site() / "indexbak.htm").string(), &run);
  EXPECT_EQ(run.Upload(TransferMode::kBinary), OpOutcome::kDone);
  EXPECT_EQ(PreviewRecord::Shared().Release(&run), 1);
  EXPECT_THAT(run.server.CommandsAfterLogin(),
              ElementsAre("LIST", "MKD site", "STOR site/index.htm", "STOR site/userbak.htm", "PWD",
                          "LIST", "QUIT"));
  EXPECT_EQ(run.host.statuses.back(), "完了（ﾌﾟﾚﾋﾞｭｰ用のﾌｧｲﾙ 1 個は送っていません）");
  SetProgramFolder(previous);
}

TEST(FolderUploadWire, SiblingsShareOneListingAndExistingFoldersAreReused) {
  FakeRun run;
  run.server.folders.insert("site");
  run.server.folders.insert("site/b");
  for (const char* f : {"a", "b", "c"}) WriteFile(run.site() / f / "x.txt", f);
  EXPECT_EQ(run.Upload(TransferMode::kBinary), OpOutcome::kDone);
  EXPECT_THAT(run.server.CommandsAfterLogin(),
              ElementsAre("LIST", "LIST site/", "MKD site/a", "MKD site/c", "STOR site/a/x.txt",
                          "STOR site/b/x.txt", "STOR site/c/x.txt", "PWD", "LIST", "QUIT"));
}

TEST(FolderUploadWire, DoubleByteNamesKeepATrailByteThatLooksLikeASeparator) {
  FakeRun run;
  // "表" is 0x95 0x5C in Shift-JIS.
  WriteFile(run.site() / "表" / "a.htm", "a");
  EXPECT_EQ(run.Upload(TransferMode::kBinary), OpOutcome::kDone);
  const std::string folder = "site/" + text::Sjis("表");
  EXPECT_THAT(run.server.CommandsAfterLogin(),
              ElementsAre("LIST", "MKD site", "LIST site/", "MKD " + folder,
                          "STOR " + folder + "/a.htm", "PWD", "LIST", "QUIT"));
  EXPECT_EQ(run.server.files[folder + "/a.htm"], "a");
}

TEST(FolderUploadWire, NameWithoutAShiftJisFormIsReportedNeverSentMangled) {
  FakeRun run;
  WriteFile(run.site() / "smile\xF0\x9F\x98\x80.htm", "emoji");
  WriteFile(run.site() / "ok.htm", "ok");
  run.prompts.answers = {Answer::Ok};
  EXPECT_EQ(run.Upload(TransferMode::kBinary), OpOutcome::kDone);
  EXPECT_THAT(Texts(run.prompts),
              ElementsAre("「site/smile\xF0\x9F\x98\x80.htm」\r\nの名前にはShift-JISで表せない"
                          "文字「\xF0\x9F\x98\x80」があるため、スキップします"));
  for (const std::string& c : run.server.Commands())
    EXPECT_EQ(c.find("smile"), std::string::npos) << c;
  EXPECT_EQ(run.server.files["site/ok.htm"], "ok");
  // The end says something was left behind.
  EXPECT_EQ(run.host.statuses.back(), "完了（1 件をスキップしました）");
}

TEST(FolderUploadWire, PathLongerThan255BytesIsReportedNeverCut) {
  FakeRun run;
  const std::string long_name(251, 'x');  // "site/" + 251 = 256 bytes
  WriteFile(run.site() / long_name, "long");
  WriteFile(run.site() / "short.txt", "short");
  run.prompts.answers = {Answer::Ok};
  EXPECT_EQ(run.Upload(TransferMode::kBinary), OpOutcome::kDone);
  EXPECT_THAT(
      Texts(run.prompts),
      ElementsAre("「site/" + long_name + "」\r\nはパスが255バイトを超えるため、スキップします"));
  for (const std::string& c : run.server.Commands())
    EXPECT_EQ(c.find("xxxx"), std::string::npos) << c;
  EXPECT_EQ(run.server.files["site/short.txt"], "short");
}

TEST(FolderUploadWire, EscapeDuringTheFolderPhaseStopsOnceAndUploadsNothing) {
  FakeRun run;
  WriteFile(run.site() / "index.htm", "i");
  WriteFile(run.site() / "img" / "a.gif", "a");
  WriteFile(run.site() / "css" / "s.css", "s");
  int events = 0;
  run.prompts.answers = {Answer::Ok};
  run.prompts.on_process_events = [&] {
    if (++events == 2) run.host.idle = true;  // after the first folder
  };
  EXPECT_EQ(run.Upload(TransferMode::kBinary), OpOutcome::kStopped);
  EXPECT_THAT(Texts(run.prompts), ElementsAre("中断しました！！"));
  for (const std::string& c : run.server.Commands()) EXPECT_NE(c.rfind("STOR", 0), 0u) << c;
  EXPECT_EQ(run.host.statuses.back(), "完了");
  EXPECT_EQ(run.host.remote_refreshes, 1);
}

TEST(FolderUploadWire, EmptyFolderCreatesJustItself) {
  FakeRun run;
  fs::create_directories(run.site());
  EXPECT_EQ(run.Upload(TransferMode::kBinary), OpOutcome::kDone);
  EXPECT_THAT(run.server.CommandsAfterLogin(),
              ElementsAre("LIST", "MKD site", "PWD", "LIST", "QUIT"));
  EXPECT_EQ(run.host.statuses.back(), "完了");
}

TEST(FolderUploadPaths, RemoteParentPath) {
  EXPECT_EQ(RemoteParentPath("site"), "");
  EXPECT_EQ(RemoteParentPath("site/img"), "site/");
  EXPECT_EQ(RemoteParentPath("site/img/"), "site/");
  EXPECT_EQ(RemoteParentPath("site/img/x"), "site/img/");
}

// ------------------------------------------------------------ real servers

// The server, and whether the files go over three connections.
class FolderUploadReal : public ::testing::TestWithParam<std::tuple<std::string, bool>> {
 protected:
  std::string Server() const { return std::get<0>(GetParam()); }
  void SetUp() override {
    if (Server() == "vsftpd")
      server_ = std::make_unique<Vsftpd>();
    else
      server_ = std::make_unique<Pyftpdlib>();
    ConnectClient(ftp_, server_->Port(), server_->RemoteDir());
    ftp_.MlstSupported();  // as the window does on connecting
  }
  OpOutcome Upload() {
    TransferContext ctx{files_, prompts_, host_, (local_.path() / "site").string(),
                        TransferMode::kBinary};
    if (!std::get<1>(GetParam())) return UploadFolderTree(ctx);
    FtpEndpoint endpoint;
    endpoint.host_field = "127.0.0.1:" + std::to_string(server_->Port());
    endpoint.user = "anonymous";
    endpoint.password = "test@example.com";
    endpoint.start_folder = ftp_.CurrentDirectory();
    endpoint.encoding = NameEncodingMode::kShiftJis;  // as the context's names
    ParallelFiles parallel{
        3, endpoint.start_folder,
        [endpoint](int,
                   const publish::CancelRegistrar& cancel_with) -> std::unique_ptr<RemoteFiles> {
          return ConnectFtpRemoteFiles(endpoint, cancel_with);
        }};
    return UploadFolderTree(ctx, &parallel);
  }

  std::unique_ptr<RealServer> server_;
  ftp::TIdFTP ftp_;
  FtpRemoteFiles files_{ftp_};
  ScriptedPrompts prompts_;
  RecordingHost host_;
  TempDir local_;
};

TEST_P(FolderUploadReal, PublishesATreeThenPublishesItAgainOverItself) {
  const fs::path site = local_.path() / "site";
  WriteFile(site / "index.htm", "first");
  WriteFile(site / ".htaccess", "hidden file");
  WriteFile(site / ".private" / "p.txt", "in a hidden folder");
  WriteFile(site / "img" / "a.gif", std::string("GIF\0\r\n\xff", 7));
  // Names travel as Shift-JIS; only vsftpd keeps those bytes as they are.
  const bool japanese = Server() == "vsftpd";
  const std::string jp_folder = "画像";
  if (japanese) WriteFile(site / jp_folder / "写真.jpg", "jpeg");

  EXPECT_EQ(Upload(), OpOutcome::kDone);
  EXPECT_TRUE(prompts_.asked.empty()) << (prompts_.asked.empty() ? "" : prompts_.asked[0].text);
  const fs::path remote = server_->Disk() / "site";
  EXPECT_EQ(ReadFile(remote / "index.htm"), "first");
  EXPECT_EQ(ReadFile(remote / ".htaccess"), "hidden file");
  EXPECT_EQ(ReadFile(remote / ".private" / "p.txt"), "in a hidden folder");
  EXPECT_EQ(ReadFile(remote / "img" / "a.gif"), std::string("GIF\0\r\n\xff", 7));
  if (japanese) {
    const fs::path sjis = remote / text::Sjis(jp_folder);
    EXPECT_TRUE(fs::is_directory(sjis));
    EXPECT_EQ(ReadFile(sjis / text::Sjis("写真.jpg")), "jpeg");
    EXPECT_FALSE(fs::exists(remote / jp_folder));
  }
  EXPECT_EQ(host_.statuses.back(), "完了");

  // Again, into a folder that now has the tree and an extra file.
  WriteFile(remote / "extra.txt", "left alone");
  server_->Adopt();
  WriteFile(site / "index.htm", "second, longer than the first");
  prompts_.asked.clear();
  EXPECT_EQ(Upload(), OpOutcome::kDone);
  // A folder made twice would have been refused and reported.
  EXPECT_TRUE(prompts_.asked.empty()) << (prompts_.asked.empty() ? "" : prompts_.asked[0].text);
  EXPECT_EQ(ReadFile(remote / "index.htm"), "second, longer than the first");
  EXPECT_EQ(ReadFile(remote / "extra.txt"), "left alone");
  EXPECT_TRUE(host_.idle);
}

TEST_P(FolderUploadReal, RemoteFileNamedLikeALocalSubfolderIsReportedAndTheRestGoesOn) {
  const fs::path site = local_.path() / "site";
  WriteFile(site / "index.htm", "index");
  WriteFile(site / "img" / "a.gif", "gif");
  WriteFile(site / "css" / "s.css", "css");
  WriteFile(server_->Disk() / "site" / "img", "a plain file");
  server_->Adopt();
  prompts_.answers = {Answer::Ok, Answer::Ok};

  EXPECT_EQ(Upload(), OpOutcome::kDone);
  const auto texts = Texts(prompts_);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "ﾌｫﾙﾀﾞ「site/img」\r\nが作成できません");
  EXPECT_EQ(texts[1], "「site/img/a.gif」\r\nがｱｯﾌﾟﾛｰﾄﾞできません\r\n\r\nｻｰﾊﾞによって拒否されます");
  EXPECT_EQ(ReadFile(server_->Disk() / "site" / "index.htm"), "index");
  EXPECT_EQ(ReadFile(server_->Disk() / "site" / "css" / "s.css"), "css");
  EXPECT_EQ(ReadFile(server_->Disk() / "site" / "img"), "a plain file");
  EXPECT_EQ(host_.statuses.back(), "完了");
}

INSTANTIATE_TEST_SUITE_P(Servers, FolderUploadReal,
                         ::testing::Combine(::testing::Values("vsftpd", "pyftpdlib"),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::get<0>(info.param) +
                                  (std::get<1>(info.param) ? "_three_connections" : "");
                         });

}  // namespace
}  // namespace hemlo::transfer
