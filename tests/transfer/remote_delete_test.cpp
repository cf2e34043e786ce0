// Remote deletion: order of folders, the wire order on a scripted server,
// and whole trees on vsftpd and pyftpdlib checked on disk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "ops_test_support.h"
#include "transfer/remote_delete.h"

namespace hemlo::transfer {
namespace {

using namespace testing;
using ::testing::ElementsAre;

TEST(FoldersDeepestFirst, OrdersByNumericDepthAtAnyDepth) {
  const text::RemoteNames names;
  const ListedName root(names, "r");
  std::vector<ListedName> folders = {root};
  ListedName path = root;
  for (int i = 0; i < 120; ++i) {
    path = path.Child(ListedName(names, "d"));
    folders.push_back(path);
  }
  folders.push_back(root.Child(ListedName(names, "B")));
  folders.push_back(root.Child(ListedName(names, "a")));
  std::vector<std::string> order;
  for (const ListedName& f : FoldersDeepestFirst(folders)) order.push_back(f.Wire());
  ASSERT_EQ(order.size(), folders.size());
  // Every folder comes before its parent, past 99 and 100 levels too.
  for (size_t i = 1; i < order.size(); ++i) {
    const size_t d_prev = std::count(order[i - 1].begin(), order[i - 1].end(), '/');
    const size_t d = std::count(order[i].begin(), order[i].end(), '/');
    EXPECT_GE(d_prev, d) << i;
  }
  EXPECT_EQ(order.front(), path.Wire());
  EXPECT_EQ(order.back(), "r");
  // Same depth: descending, letters compared without case.
  const auto it = std::find(order.begin(), order.end(), "r/d");
  EXPECT_THAT(std::vector<std::string>(it, it + 3), ElementsAre("r/d", "r/B", "r/a"));
}

struct FakeDelete {
  FakeFtpServer server;
  ftp::TIdFTP ftp;
  FtpRemoteFiles files{ftp};
  ScriptedPrompts prompts;
  RecordingHost host;
  void Start() {
    server.Run();
    ConnectClient(ftp, server.port());
    host.on_refresh_remote = [this] {
      ftp.CurrentDirectory();
      ftp.ListDirectory(nullptr, "", true);
    };
  }
  TransferContext Context() {
    return {files, prompts, host, "/nonexistent", TransferMode::kBinary};
  }
  void Finish() {
    ftp.Disconnect();
    EXPECT_EQ(server.Join(), "");
  }
};

TEST(RemoteDeleteWire, FolderTreeFilesFirstThenFoldersDeepestFirst) {
  FakeDelete run;
  run.server.folders = {"", "site", "site/img"};
  run.server.files = {{"site/index.htm", "i"}, {"site/img/a.gif", "a"}, {"keep.txt", "k"}};
  run.Start();
  run.prompts.answers = {Answer::Yes};
  auto ctx = run.Context();
  std::vector<RemoteRow> rows = {{"keep.txt", false, false, ""}, {"site", true, true, ""}};
  EXPECT_EQ(DeleteSelection(ctx, rows), OpOutcome::kDone);
  run.Finish();
  EXPECT_THAT(
      run.server.CommandsAfterLogin(),
      ElementsAre("LIST -a site", "LIST -a site/img", "DELE site/index.htm", "DELE site/img/a.gif",
                  "RMD site/img", "RMD site", "PWD", "LIST", "QUIT"));
  ASSERT_EQ(run.prompts.asked.size(), 1u);
  EXPECT_EQ(run.prompts.asked[0].caption, "警告");
  EXPECT_EQ(run.prompts.asked[0].text, "siteを削除します。\n\n   よろしいですか？");
  EXPECT_THAT(run.host.statuses, ElementsAre("削除中...", "完了"));
  EXPECT_EQ(run.server.files.count("keep.txt"), 1u);
}

// A VMS folder shown as WWW is walked as WWW and removed as the file the
// server listed, WWW.DIR;1.
TEST(RemoteDeleteWire, FolderShownShorterIsRemovedByItsListedName) {
  FakeDelete run;
  run.server.folders = {"", "WWW.DIR;1"};
  run.server.files = {{"WWW/A.TXT", "a"}};
  run.server.listings["WWW"] = {"-rw-r--r-- 1 u g 1 Jan 01 2020 A.TXT"};
  run.Start();
  run.prompts.answers = {Answer::Yes};
  auto ctx = run.Context();
  EXPECT_EQ(DeleteSelection(ctx, {{"WWW", true, true, "", "WWW.DIR;1"}}), OpOutcome::kDone);
  run.Finish();
  EXPECT_THAT(run.server.CommandsAfterLogin(),
              ElementsAre("LIST -a WWW", "DELE WWW/A.TXT", "RMD WWW.DIR;1", "PWD", "LIST", "QUIT"));
  EXPECT_EQ(run.prompts.asked.at(0).text, "WWWを削除します。\n\n   よろしいですか？");
}

TEST(RemoteDeleteWire, AnswerOtherThanYesDeletesNothing) {
  FakeDelete run;
  run.server.files = {{"a.txt", "a"}};
  run.Start();
  run.prompts.answers = {Answer::No};
  auto ctx = run.Context();
  EXPECT_EQ(DeleteSelection(ctx, {{"a.txt", false, true, ""}}), OpOutcome::kNothing);
  run.Finish();
  EXPECT_THAT(run.server.CommandsAfterLogin(), ElementsAre("QUIT"));
}

TEST(RemoteDeleteWire, EscapeStopsBeforeTheNextRowAndStillRefreshes) {
  FakeDelete run;
  run.server.files = {{"1", ""}, {"2", ""}, {"3", ""}};
  run.Start();
  run.prompts.answers = {Answer::Yes, Answer::Ok};
  int events = 0;
  run.prompts.on_process_events = [&] {
    if (++events == 2) run.host.idle = true;  // Escape while the first row is deleted
  };
  auto ctx = run.Context();
  std::vector<RemoteRow> rows = {
      {"1", false, true, ""}, {"2", false, true, ""}, {"3", false, true, ""}};
  EXPECT_EQ(DeleteSelection(ctx, rows), OpOutcome::kStopped);
  run.Finish();
  EXPECT_THAT(run.server.CommandsAfterLogin(), ElementsAre("DELE 1", "PWD", "LIST", "QUIT"));
  EXPECT_EQ(Texts(run.prompts).back(), "中断しました！！");
  EXPECT_EQ(run.host.statuses.back(), "完了");
  EXPECT_TRUE(run.host.idle);
}

TEST(RemoteDeleteWire, RefusalEndsTheCommandWithoutRefresh) {
  FakeDelete run;
  run.server.files = {{"1", ""}, {"3", ""}};
  run.Start();
  run.prompts.answers = {Answer::Yes};
  auto ctx = run.Context();
  std::vector<RemoteRow> rows = {
      {"1", false, true, ""}, {"2", false, true, ""}, {"3", false, true, ""}};
  EXPECT_EQ(DeleteSelection(ctx, rows), OpOutcome::kFailed);
  run.Finish();
  EXPECT_THAT(run.server.CommandsAfterLogin(), ElementsAre("DELE 1", "DELE 2", "QUIT"));
  EXPECT_THAT(Texts(run.prompts, "error"), ElementsAre("no\r\n"));
  EXPECT_EQ(run.host.statuses.back(), "削除中...");
  EXPECT_EQ(run.host.remote_refreshes, 0);
  EXPECT_TRUE(run.host.idle);
}

TEST(RemoteDeleteWire, CreateFolderAsksAndRefreshes) {
  FakeDelete run;
  run.Start();
  run.prompts.inputs = {std::string("新規"), std::nullopt};
  auto ctx = run.Context();
  EXPECT_EQ(CreateRemoteFolder(ctx, "/"), OpOutcome::kDone);
  EXPECT_EQ(CreateRemoteFolder(ctx, "/"), OpOutcome::kNothing);  // cancelled
  EXPECT_EQ(CreateRemoteFolder(ctx, ""), OpOutcome::kNothing);   // no remote folder yet
  run.Finish();
  EXPECT_EQ(run.server.folders.count("\x90\x56\x8B\x4B"), 1u);  // "新規" in Shift-JIS
  EXPECT_EQ(run.prompts.asked[0].caption, "ﾌｫﾙﾀﾞ作成");
  EXPECT_EQ(run.prompts.asked[0].text, "新しいﾌｫﾙﾀﾞ名を指定してください");
  EXPECT_EQ(run.host.remote_refreshes, 1);
}

class RemoteDeleteReal : public ::testing::TestWithParam<std::string> {};

TEST_P(RemoteDeleteReal, DeletesAThreeLevelTreeWithHiddenFiles) {
  std::unique_ptr<RealServer> server;
  if (GetParam() == "vsftpd")
    server = std::make_unique<Vsftpd>();
  else
    server = std::make_unique<Pyftpdlib>();
  const fs::path d = server->Disk();
  WriteFile(d / "tree" / "top.htm", "t");
  WriteFile(d / "tree" / ".hidden", "h");
  WriteFile(d / "tree" / "a" / "mid.htm", "m");
  WriteFile(d / "tree" / "a" / "b" / "deep.htm", "d");
  fs::create_directories(d / "tree" / "a" / "b" / "c");
  fs::create_directories(d / "tree" / "z");
  WriteFile(d / "other.htm", "o");
  server->Adopt();

  ftp::TIdFTP ftp;
  ConnectClient(ftp, server->Port(), server->RemoteDir());
  EXPECT_EQ(ftp.MlstSupported(), GetParam() == "pyftpdlib");  // the walk lists through MLSD there
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Yes};
  RecordingHost host;
  host.on_refresh_remote = [&] { ListRows(ftp); };
  FtpRemoteFiles remote_files(ftp);
  TransferContext ctx{remote_files, prompts, host, "/nonexistent", TransferMode::kBinary};
  auto rows = ListRows(ftp);
  Select(rows, {"tree"});
  // The first selected row decides: a folder.
  EXPECT_EQ(DeleteSelection(ctx, rows), OpOutcome::kDone);
  EXPECT_EQ(Texts(prompts, "error").size(), 0u);
  EXPECT_FALSE(fs::exists(d / "tree"));
  EXPECT_TRUE(fs::exists(d / "other.htm"));
}

INSTANTIATE_TEST_SUITE_P(Servers, RemoteDeleteReal, ::testing::Values("vsftpd", "pyftpdlib"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace hemlo::transfer
