// The Ferrox window: start-up and close sequences, profile buttons through
// the widgets, the idle flag, the local pane, and a real server session.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/real_servers.h"
#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ftp_window_controls.h"
#include "ferrox/ftp_window.h"
#include "publish/publish_plan_view.h"
#include "support/scripted_prompts.h"
#include "support/test_watchdog.h"

namespace hemlo {
namespace {
namespace fs = std::filesystem;
using ftp::testing::TempFolder;

void Touch(const fs::path& p, const std::string& bytes, int age_minutes) {
  std::ofstream(p, std::ios::binary) << bytes;
  fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(age_minutes));
}

QStringList Column(QTreeWidget* list, int column) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(column);
  return out;
}

QTreeWidgetItem* Row(QTreeWidget* list, const QString& name) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0) == name) return list->topLevelItem(i);
  return nullptr;
}

class FtpWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program = std::make_unique<TempFolder>();
    local = std::make_unique<TempFolder>();
    SetProgramFolder(program->path());
  }
  std::unique_ptr<TFtp1> Open() {
    auto w = std::make_unique<TFtp1>(&prompts);
    return w;
  }
  void WriteProfiles(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::string> lines;
    for (const auto& r : rows) lines.push_back(transfer::JoinCommaText(r));
    ASSERT_TRUE(transfer::WriteProfileFile(program->path(), lines).ok);
  }
  void PointLastDirAt(const fs::path& folder) {
    ASSERT_TRUE(WriteFileAtomically(program->path() / "LastDir.ini", folder.string() + "\r\n"));
  }

  ftp::testing::TestWatchdog watchdog;  // first: bounds the test and its servers
  ScriptedPrompts prompts;
  std::unique_ptr<TempFolder> program;
  std::unique_ptr<TempFolder> local;
};

TEST_F(FtpWindowTest, StartupLayoutAndLocalListNewestFirst) {
  Touch(local->path() / "old.htm", "o", 300);
  Touch(local->path() / "new.htm", "nn", 1);
  Touch(local->path() / ".hidden", "h", 100);
  fs::create_directory(local->path() / "sub");
  PointLastDirAt(local->path());
  auto w = Open();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ferrox"));
  EXPECT_EQ(w->minimumSize(), QSize(480, 480));
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("0"));
  EXPECT_TRUE(Ui(w).Edit1->text().isEmpty());
  EXPECT_EQ(Ui(w).Edit4->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(Ui(w).Button2->isEnabled());
  EXPECT_TRUE(Ui(w).Button1->isEnabled());
  EXPECT_EQ(Ui(w).ComboBox1->currentText(), QStringLiteral("ﾊﾞｲﾅﾘ"));
  EXPECT_EQ(w->TransferMode(), transfer::TransferMode::kBinary);
  EXPECT_TRUE(w->IdleFlag());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ferrox"));
  EXPECT_EQ(w->LocalFolder(), local->path().string());
  // Files only, hidden ones included, newest first.
  EXPECT_EQ(Column(Ui(w).ListView2, 0), (QStringList{"new.htm", ".hidden", "old.htm"}));
  EXPECT_EQ(w->Sort().SortDirection, -2);
  // A click on the same header turns it ascending.
  w->ColumnClick(Ui(w).ListView2, 1);
  EXPECT_EQ(Column(Ui(w).ListView2, 0), (QStringList{"old.htm", ".hidden", "new.htm"}));
  EXPECT_EQ(Column(Ui(w).ListView2, 2).first(), QStringLiteral("         1"));
  // The folder list shows the subfolder; the drive box the mount root.
  EXPECT_FALSE(
      Ui(w).DirectoryListBox1->findItems(QStringLiteral("sub"), Qt::MatchEndsWith).isEmpty());
  EXPECT_FALSE(Ui(w).DriveComboBox1->currentText().isEmpty());
  EXPECT_TRUE(prompts.asked.empty());

  // At the window's fixed size every caption is whole (nothing squeezed
  // below the width its text needs), and Tab walks the profile fields in
  // the order they are shown.
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  EXPECT_EQ(w->size(), QSize(480, 480));
  for (QWidget* c : w->findChildren<QWidget*>()) {
    if (!c->isVisible() || (!qobject_cast<QAbstractButton*>(c) && !qobject_cast<QLabel*>(c)))
      continue;
    // A push button may be narrower than the style's least width, not than its text.
    auto* push = qobject_cast<QPushButton*>(c);
    EXPECT_GE(c->width(),
              push ? std::min(push->sizeHint().width(),
                              push->fontMetrics().horizontalAdvance(push->text()) +
                                  2 * push->style()->pixelMetric(QStyle::PM_ButtonMargin))
                   : c->minimumSizeHint().width())
        << c->objectName().toStdString() << " "
        << (qobject_cast<QAbstractButton*>(c) ? qobject_cast<QAbstractButton*>(c)->text()
                                              : qobject_cast<QLabel*>(c)->text())
               .toStdString();
  }
  // A site sync's progress shows whole, its rate included.
  w->SetStatusText(transfer::ProgressText(1503, 2000, 6'000'003, 8'000'000, 12.3 * 1024 * 1024));
  EXPECT_LE(Ui(w).StatusPanel0->fontMetrics().horizontalAdvance(Ui(w).StatusPanel0->text()),
            Ui(w).StatusPanel0->contentsRect().width())
      << w->StatusText().toStdString();
  const char* const order[] = {"Edit1",
                               "Edit2",
                               "Edit3",
                               "Edit4",
                               "cmbDataMode",
                               "cmbNameEncoding",
                               "edSiteFolder",
                               "btnSiteFolder",
                               "edPublishFolder",
                               "spnConnections",
                               "chkFolderUploadParallel",
                               "edExclusions",
                               "chkPasswordInFile"};
  QWidget* at = w->findChild<QWidget*>(QStringLiteral("Edit1"));
  for (const char* name : order) {
    while (at && (at->focusPolicy() == Qt::NoFocus || at->objectName().startsWith("qt_")))
      at = at->nextInFocusChain();
    ASSERT_TRUE(at);
    EXPECT_EQ(at->objectName().toStdString(), name);
    at = at->nextInFocusChain();
  }
}

TEST_F(FtpWindowTest, ProfilesThroughTheButtons) {
  WriteProfiles({{"one", "h1", "u1", "p1"}, {"two site", "h2", "u2", "p,2"}});
  auto w = Open();
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("1"));
  EXPECT_EQ(Ui(w).Edit1->text(), QStringLiteral("one"));
  QTest::mouseClick(Ui(w).Button5, Qt::LeftButton);
  EXPECT_EQ(Ui(w).Edit1->text(), QStringLiteral("two site"));
  EXPECT_EQ(Ui(w).Edit4->text(), QStringLiteral("p,2"));
  w->Button6Click();  // 追加
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("3"));
  EXPECT_FALSE(Ui(w).Button5->isEnabled());
  Ui(w).Edit1->setText(QStringLiteral("三番目"));
  Ui(w).Edit2->setText(QStringLiteral("h3"));
  Ui(w).Edit3->setText(QStringLiteral("u3"));
  prompts.answers = {Answer::Ok};
  w->Button7Click();  // password missing
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].text, "4つとも記入してください");
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("3"));
  Ui(w).Edit4->setText(QStringLiteral("p 3"));
  EXPECT_EQ(Ui(w).cmbDataMode->currentText(), QStringLiteral("自動"));
  Ui(w).cmbDataMode->setCurrentIndex(1);  // パッシブ
  EXPECT_EQ(Ui(w).cmbNameEncoding->currentText(), QStringLiteral("自動"));
  Ui(w).cmbNameEncoding->setCurrentIndex(2);  // UTF-8
  w->Button7Click();
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("3"));
  EXPECT_TRUE(Ui(w).Button5->isEnabled());
  // The file was written at once, owner-only, upgraded to five fields. No
  // keyring runs here: a password the file held stays there (marked so), a
  // new one lives for the session unless the box is ticked.
  const auto lines = transfer::ReadProfileFile(program->path());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "one,h1,u1,p1,,auto,auto,,,plain");
  EXPECT_EQ(transfer::SplitCommaText(lines[2]),
            (std::vector<std::string>{"\x8E\x4F\x94\xD4\x96\xDA", "h3", "u3", "", "", "passive",
                                      "utf8"}));
  EXPECT_EQ(Ui(w).Edit4->text(), QStringLiteral("p 3"));
  auto* in_file = w->findChild<QCheckBox*>(QStringLiteral("chkPasswordInFile"));
  ASSERT_TRUE(in_file && in_file->isVisibleTo(w.get()));
  in_file->setChecked(true);
  w->Button7Click();
  EXPECT_EQ(transfer::SplitCommaText(transfer::ReadProfileFile(program->path())[2])[3], "p 3");
  struct stat st {};
  ASSERT_EQ(::stat((program->path() / "Ferrox.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A character Shift-JIS lacks is refused, nothing stored.
  prompts.answers.push_back(Answer::Ok);
  Ui(w).Edit1->setText(QStringLiteral("emoji \U0001F600"));
  w->Button7Click();
  EXPECT_NE(prompts.asked.back().text.find("Shift-JIS"), std::string::npos);
  EXPECT_EQ(transfer::ReadProfileFile(program->path()).size(), 3u);
  w->Button8Click();  // 追加中止 shows profile 1
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("1"));
  EXPECT_EQ(Ui(w).cmbNameEncoding->currentText(), QStringLiteral("自動"));
  w->Button9Click();  // 削除 of profile 1: not written until close
  EXPECT_EQ(Ui(w).Edit1->text(), QStringLiteral("two site"));
  EXPECT_EQ(transfer::ReadProfileFile(program->path()).size(), 3u);
  w->close();
  EXPECT_EQ(transfer::ReadProfileFile(program->path()).size(), 2u);
}

TEST_F(FtpWindowTest, IdleFlagGuardsCloseAndOnlyEscapeSetsIt) {
  PointLastDirAt(local->path());
  auto w = Open();
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  w->SetIdleFlag(false);
  EXPECT_FALSE(w->close());
  EXPECT_TRUE(w->isVisible());
  QTest::keyClick(Ui(w).Edit1, Qt::Key_A);
  EXPECT_FALSE(w->IdleFlag());
  QTest::keyClick(Ui(w).ListView2, Qt::Key_Escape);
  EXPECT_TRUE(w->IdleFlag());
  // Ordinary typing never makes the window refuse to close.
  QTest::keyClick(Ui(w).Edit1, Qt::Key_B);
  EXPECT_TRUE(w->IdleFlag());
  // An operation that fails still leaves the window closable.
  prompts.answers.clear();
  w->RunOperation([] { throw ftp::EIdNotConnected(); });
  ASSERT_TRUE(Settle(*w));
  EXPECT_TRUE(w->IdleFlag());
  ASSERT_FALSE(prompts.asked.empty());
  EXPECT_EQ(prompts.asked.back().text, "Not Connected");
  EXPECT_TRUE(w->close());
  EXPECT_FALSE(w->isVisible());
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(program->path() / "LastDir.ini", bytes));
  EXPECT_EQ(bytes, local->path().string() + "\r\n");
  // No profiles: Ferrox.ini is not created.
  EXPECT_FALSE(fs::exists(program->path() / "Ferrox.ini"));
  // Status bar panel 0 follows the bar's width (no progress bar shown).
  w->show();
  w->resize(700, 500);
  QApplication::processEvents();
  EXPECT_EQ(Ui(w).StatusPanel0->width(), Ui(w).StatusBar1->width() - 80);
}

TEST_F(FtpWindowTest, LocalFolderMenus) {
  fs::create_directories(local->path() / "site" / "img");
  fs::create_directories(local->path() / "other");
  Touch(local->path() / "site" / "a.htm", "a", 5);
  Touch(local->path() / "site" / "b.htm", "b", 4);
  Touch(local->path() / "site" / "c.htm", "c", 3);
  auto w = Open();
  ASSERT_TRUE(w->SetLocalFolder(QString::fromStdString((local->path() / "site").string())));
  EXPECT_EQ(Ui(w).ListView2->topLevelItemCount(), 3);

  // ﾌｫﾙﾀﾞ作成: an existing name does nothing and says nothing.
  prompts.inputs = {std::string("img"), std::string("new dir"), std::nullopt};
  w->mnuMakeFolderClick();
  EXPECT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].caption, "ﾌｫﾙﾀﾞ作成");
  w->mnuMakeFolderClick();
  EXPECT_TRUE(fs::is_directory(local->path() / "site" / "new dir"));
  w->mnuMakeFolderClick();  // cancelled
  EXPECT_FALSE(
      Ui(w).DirectoryListBox1->findItems(QStringLiteral("new dir"), Qt::MatchEndsWith).isEmpty());

  // 削除 of the local list names only the first selected file.
  Row(Ui(w).ListView2, "b.htm")->setSelected(true);
  Row(Ui(w).ListView2, "a.htm")->setSelected(true);
  w->ColumnClick(Ui(w).ListView2, 0);
  if (w->Sort().SortDirection < 0) w->ColumnClick(Ui(w).ListView2, 0);
  prompts.answers.insert(prompts.answers.end(), {Answer::No, Answer::Yes});
  w->mnuDeleteFilesClick();
  EXPECT_TRUE(fs::exists(local->path() / "site" / "a.htm"));
  w->mnuDeleteFilesClick();
  EXPECT_EQ(prompts.asked.back().caption, "警告");
  EXPECT_EQ(prompts.asked.back().text, "a.htmを削除します。\n\n   よろしいですか？");
  EXPECT_EQ(prompts.asked.back().buttons, Buttons::YesNoCancel);
  EXPECT_FALSE(fs::exists(local->path() / "site" / "a.htm"));
  EXPECT_FALSE(fs::exists(local->path() / "site" / "b.htm"));
  EXPECT_EQ(Column(Ui(w).ListView2, 0), QStringList{"c.htm"});

  // ﾌｫﾙﾀﾞ名変更 to an existing name stays at the parent, changes nothing.
  prompts.inputs.insert(prompts.inputs.end(), {std::string("other"), std::string("renamed")});
  w->mnuRenameFolderClick();
  EXPECT_EQ(w->LocalFolder(), local->path().string());
  EXPECT_TRUE(fs::is_directory(local->path() / "site"));
  ASSERT_TRUE(w->SetLocalFolder(QString::fromStdString((local->path() / "site").string())));
  w->mnuRenameFolderClick();
  EXPECT_EQ(w->LocalFolder(), (local->path() / "renamed").string());
  EXPECT_TRUE(fs::exists(local->path() / "renamed" / "c.htm"));

  // ﾌｫﾙﾀﾞ削除 asks first; "No" keeps everything where it was.
  prompts.answers.push_back(Answer::No);
  w->mnuDeleteFolderClick();
  EXPECT_EQ(w->LocalFolder(), (local->path() / "renamed").string());
  EXPECT_TRUE(fs::exists(local->path() / "renamed"));
  EXPECT_EQ(prompts.asked.back().default_button, Answer::No);

  // "Yes" moves it into the user's trash as the desktop lays it out, also
  // for a user who has none yet, and leaves the working folder alone.
  const fs::path data = local->path() / "data";
  const fs::path work = local->path() / "work";
  fs::create_directories(work);
  const fs::path cwd = fs::current_path();
  const char* old_data = std::getenv("XDG_DATA_HOME");
  const std::string saved_data = old_data ? old_data : "";
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  fs::current_path(work);
  prompts.answers.push_back(Answer::Yes);
  w->mnuDeleteFolderClick();
  fs::current_path(cwd);
  if (old_data)
    ::setenv("XDG_DATA_HOME", saved_data.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
  EXPECT_FALSE(fs::exists(local->path() / "renamed"));
  EXPECT_TRUE(fs::exists(data / "Trash" / "files" / "renamed" / "c.htm"));
  std::ifstream info(data / "Trash" / "info" / "renamed.trashinfo");
  std::string first, path;
  std::getline(info, first);
  std::getline(info, path);
  EXPECT_EQ(first, "[Trash Info]");
  EXPECT_EQ(path, "Path=" + (local->path() / "renamed").string());
  EXPECT_TRUE(fs::is_empty(work));
}

// ---- against a real server ----

class FtpWindowServerTest : public FtpWindowTest {
 protected:
  void SetUp() override {
    FtpWindowTest::SetUp();
    server = ftp::testing::StartPyftpdlib();
    fs::create_directories(server->files / "site" / "img");
    Touch(server->files / "site" / "big.bin", std::string(120000, 'x'), 10);
    Touch(server->files / "site" / "small.txt", "12", 20);
    Touch(server->files / "site" / "mid.htm", std::string(3000, 'm'), 30);
    Touch(server->files / "top.htm", "t", 5);
    PointLastDirAt(local->path());
  }
  std::string HostField() const { return "127.0.0.1:" + std::to_string(server->port); }
  std::unique_ptr<ftp::testing::RealServer> server;
};

TEST_F(FtpWindowServerTest, GoneFolderFallsBackHomeAndDisconnectRemembersFolder) {
  WriteProfiles({{"local", HostField(), server->user, server->password, "/no/such/folder"}});
  auto w = Open();
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/no/such/folder"));
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;  // no message
  ASSERT_TRUE(w->Client().Connected());
  EXPECT_EQ(w->Session().HomeFolder, "/");
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/"));
  EXPECT_EQ(w->StatusText(), QStringLiteral("接続成功"));
  EXPECT_FALSE(Ui(w).Button1->isEnabled());
  EXPECT_TRUE(Ui(w).Button2->isEnabled());
  EXPECT_FALSE(Ui(w).Edit1->isEnabled());
  EXPECT_FALSE(Ui(w).Button7->isEnabled());
  const int site = RemoteRow(Ui(w).ListView1, "site");
  ASSERT_GE(site, 0);
  EXPECT_EQ(RemoteCell(Ui(w).ListView1, site, 3).size(), 9);
  EXPECT_EQ(RemoteCell(Ui(w).ListView1, site, 3).left(1), QStringLiteral("r"));
  ASSERT_TRUE(SelectRemote(*w, "site"));
  EXPECT_TRUE(w->SelectedRemoteRows().at(0).folder);

  // Double-click on a file row does nothing.
  ASSERT_TRUE(SelectRemote(*w, "top.htm"));
  w->SetStatusText("before");
  w->ListView1DblClick();
  ASSERT_TRUE(Settle(*w));
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/"));
  EXPECT_EQ(w->StatusText(), QStringLiteral("before"));
  // On a folder row it enters and empties the status.
  ASSERT_TRUE(SelectRemote(*w, "site"));
  w->ListView1DblClick();
  ASSERT_TRUE(Settle(*w));
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/site"));
  EXPECT_EQ(w->StatusText(), QString());
  EXPECT_EQ(RemoteCount(Ui(w).ListView1), 4);
  // The date column is wide enough for the whole date and time.
  const int dated = RemoteRow(Ui(w).ListView1, "mid.htm");
  EXPECT_GE(Ui(w).ListView1->columnWidth(1), Ui(w).ListView1->fontMetrics().horizontalAdvance(
                                                 RemoteCell(Ui(w).ListView1, dated, 1)));
  // Sort by size: padding makes text order the order of magnitude.
  w->ColumnClick(Ui(w).ListView1, 2);
  const QStringList sizes = RemoteColumn(Ui(w).ListView1, 2);
  for (int i = 1; i < sizes.size(); ++i)
    EXPECT_LE(QString(sizes[i - 1]).remove(',').trimmed().toLongLong(),
              QString(sizes[i]).remove(',').trimmed().toLongLong());
  EXPECT_EQ(RemoteColumn(Ui(w).ListView1, 0).first(), QStringLiteral("small.txt"));
  EXPECT_EQ(RemoteColumn(Ui(w).ListView1, 0).last(), QStringLiteral("big.bin"));
  EXPECT_EQ(RemoteCell(Ui(w).ListView1, RemoteRow(Ui(w).ListView1, "big.bin"), 2),
            QStringLiteral("   120,000"));
  w->ColumnClick(Ui(w).ListView1, 2);
  EXPECT_EQ(RemoteColumn(Ui(w).ListView1, 0).first(), QStringLiteral("big.bin"));

  const char* shots = std::getenv("HEMLO_BUILD_DIR");
  if (shots) {
    const fs::path dir = fs::path(shots) / "screenshots";
    fs::create_directories(dir);
    w->grab().save(QString::fromStdString((dir / "ferrox_connected.png").string()));
  }

  // Up goes to the parent, and never above home.
  w->BitBtn1Click();
  ASSERT_TRUE(Settle(*w));
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/"));
  w->BitBtn1Click();
  ASSERT_TRUE(Settle(*w));
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/"));
  ASSERT_TRUE(SelectRemote(*w, "site"));
  w->ListView1DblClick();
  ASSERT_TRUE(Settle(*w));
  ASSERT_EQ(Ui(w).Label5->text(), QStringLiteral("/site"));

  // 切断 keeps the folder in the profile (memory now, file at close).
  w->Button2Click();
  EXPECT_FALSE(w->Client().Connected());
  EXPECT_EQ(RemoteCount(Ui(w).ListView1), 0);
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/site"));
  EXPECT_EQ(w->StatusText(), QStringLiteral("切断成功"));
  EXPECT_TRUE(Ui(w).Button1->isEnabled());
  EXPECT_TRUE(Ui(w).Edit1->isEnabled());
  EXPECT_EQ(transfer::SplitCommaText(w->Profiles().ProfileList[0])[4], "/site");
  ASSERT_TRUE(w->close());
  w.reset();

  // A new start and 接続 opens in that folder.
  EXPECT_EQ(transfer::SplitCommaText(transfer::ReadProfileFile(program->path())[0])[4], "/site");
  auto again = Open();
  again->Button1Click();
  ASSERT_TRUE(Settle(*again));
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_EQ(Ui(again).Label5->text(), QStringLiteral("/site"));
  EXPECT_GE(RemoteRow(Ui(again).ListView1, "big.bin"), 0);
  // 終了 disconnects and closes; no write-back of the profile happens.
  again->Button3Click();
  EXPECT_FALSE(again->Client().Connected());
  EXPECT_FALSE(again->isVisible());
}

TEST_F(FtpWindowServerTest, RenameInPlaceSendsOnlyChanges) {
  WriteProfiles({{"local", HostField(), server->user, server->password, "/site"}});
  auto w = Open();
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_TRUE(w->Client().Connected());
  QTableView* list = Ui(w).ListView1;
  const int row = RemoteRow(list, "small.txt");
  ASSERT_GE(row, 0);
  w->BeginRename(row);
  EXPECT_EQ(w->RenameOldName(), "small.txt");
  EXPECT_TRUE(w->RenameEditing());
  EXPECT_FALSE(w->EndRename(row, QStringLiteral("small.txt")));  // unchanged: nothing sent
  EXPECT_TRUE(w->RenameOldName().empty());
  EXPECT_FALSE(w->RenameEditing());
  EXPECT_TRUE(fs::exists(server->files / "site" / "small.txt"));
  w->BeginRename(row);
  EXPECT_TRUE(w->EndRename(row, QStringLiteral("renamed.txt")));
  ASSERT_TRUE(Settle(*w));
  EXPECT_TRUE(fs::exists(server->files / "site" / "renamed.txt"));
  EXPECT_FALSE(fs::exists(server->files / "site" / "small.txt"));
  ASSERT_TRUE(SelectRemote(*w, "renamed.txt"));
  EXPECT_EQ(w->SelectedRemoteRows().at(0).name, "renamed.txt");
  EXPECT_EQ(RemoteCell(list, row, 0), QStringLiteral("renamed.txt"));
  // A refused rename shows the server's message; the row keeps acting on
  // the name the server still has.
  w->BeginRename(row);
  EXPECT_TRUE(w->EndRename(row, QStringLiteral("no/such/dir/x")));
  ASSERT_TRUE(Settle(*w));
  ASSERT_FALSE(prompts.asked.empty());
  EXPECT_EQ(prompts.asked.back().kind, "error");
  EXPECT_EQ(RemoteCell(list, row, 0), QStringLiteral("renamed.txt"));
  ASSERT_TRUE(SelectRemote(*w, "renamed.txt"));
  EXPECT_EQ(w->SelectedRemoteRows().at(0).name, "renamed.txt");
  // Through the widget: F2, type, Enter.
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  const int mid = RemoteRow(list, "mid.htm");
  list->setCurrentIndex(list->model()->index(mid, 0));
  list->setFocus();
  QTest::keyClick(list, Qt::Key_F2);
  auto* editor = list->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(w->RenameOldName(), "mid.htm");
  editor->setText(QStringLiteral("page.htm"));
  QSignalSpy ended(w.get(), &TFtp1::commandFinished);
  QTest::keyClick(editor, Qt::Key_Return);
  // The row changes when the server has answered RNFR/RNTO.
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() > 0; }, 5000));
  EXPECT_EQ(RemoteCell(list, mid, 0), QStringLiteral("page.htm"));
  EXPECT_TRUE(fs::exists(server->files / "site" / "page.htm"));
  EXPECT_TRUE(w->RenameOldName().empty());
  w->Button2Click();
}

TEST_F(FtpWindowServerTest, FailuresAreShownAndBounded) {
  // Nothing listens: the error is shown, the window ends disconnected.
  const uint16_t closed_port = ftp::testing::FreeLoopbackPort();
  WriteProfiles({{"dead", "127.0.0.1:" + std::to_string(closed_port), "u", "p", ""},
                 {"mute", "", "u", "p", ""},
                 {"badpw", HostField(), "nobody-here", "wrong", ""}});
  auto w = Open();
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].kind, "error");
  EXPECT_FALSE(w->Client().Connected());
  EXPECT_EQ(w->StatusText(), QStringLiteral("切断成功"));
  EXPECT_TRUE(Ui(w).Button1->isEnabled());
  EXPECT_TRUE(Ui(w).Edit2->isEnabled());

  // A server that accepts and never greets: the reply wait ends.
  uint16_t mute_port = 0;
  int mute = ftp::testing::ListenLoopback(mute_port, 1);
  w->Button5Click();
  Ui(w).Edit2->setText(QStringLiteral("127.0.0.1:%1").arg(mute_port));
  w->Client().ReplyTimeout = 1500;
  const auto t0 = std::chrono::steady_clock::now();
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
  ::close(mute);
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(prompts.asked[1].kind, "error");
  EXPECT_FALSE(w->Client().Connected());

  // An address nothing answers for: the connect wait ends too.
  Ui(w).Edit2->setText(QStringLiteral("192.0.2.1:21"));  // TEST-NET-1, never routed
  w->Session().ConnectTimeoutMs = 1000;
  const auto t1 = std::chrono::steady_clock::now();
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::seconds(10));
  ASSERT_EQ(prompts.asked.size(), 3u);
  EXPECT_EQ(prompts.asked[2].kind, "error");
  EXPECT_FALSE(w->Client().Connected());
  prompts.asked.pop_back();

  // A refused login: message shown, status ends at 切断成功.
  w->Button5Click();
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_EQ(prompts.asked.size(), 3u);
  EXPECT_EQ(prompts.asked[2].kind, "error");
  EXPECT_EQ(w->StatusText(), QStringLiteral("切断成功"));
  EXPECT_FALSE(w->Client().Connected());
}

// A profile that keeps no password is asked for it at connect (masked),
// once per session; an anonymous login is never asked.
TEST_F(FtpWindowTest, PasswordNotKeptIsAskedOncePerSession) {
  auto server = ftp::testing::StartPyftpdlib(nullptr, false, /*named_account=*/true);
  const std::string host = "127.0.0.1:" + std::to_string(server->port);
  WriteProfiles({{"anon", host, "anonymous", "", ""}, {"nopw", host, server->user, "", ""}});
  auto w = Open();
  using Input = std::optional<std::string>;
  struct Row {
    const char* name;
    std::vector<Input> typed;  // answers to the password question
    std::vector<std::string> asked;
    bool connected;
    const char* status;
  } const rows[] = {
      // This server has no anonymous login: refused, but never asked.
      {"anonymous", {}, {"error"}, false, "切断成功"},
      {"cancelled", {std::nullopt}, {"password"}, false, "接続を中止しました"},
      {"typed", {Input(server->password)}, {"password"}, true, "接続成功"},
      {"kept for the session", {}, {}, true, "接続成功"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    if (&r == &rows[1]) w->Button5Click();
    prompts.asked.clear();
    prompts.inputs.insert(prompts.inputs.end(), r.typed.begin(), r.typed.end());
    w->Button1Click();
    ASSERT_TRUE(Settle(*w));
    std::vector<std::string> kinds;
    for (const auto& a : prompts.asked) kinds.push_back(a.kind);
    EXPECT_EQ(kinds, r.asked);
    EXPECT_EQ(w->Client().Connected(), r.connected);
    EXPECT_EQ(w->StatusText(), QString::fromUtf8(r.status));
    if (r.connected) w->Button2Click();
  }
}

// The first session of a new user: a profile for a local vsftpd, saved,
// connected, walked into, sorted; after a restart the same folder opens.
TEST_F(FtpWindowTest, NewUserAgainstVsftpdComesBackToTheSameFolder) {
  auto server = ftp::testing::StartVsftpd();
  fs::create_directories(server->files / "www" / "img");
  Touch(server->files / "www" / "index.htm", std::string(1500, 'i'), 3);
  Touch(server->files / "www" / "photo.jpg", std::string(250000, 'p'), 2);
  Touch(server->files / "www" / "robots.txt", "User-agent: *\n", 1);
  PointLastDirAt(local->path());
  auto w = Open();
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("0"));
  QTest::mouseClick(Ui(w).Button6, Qt::LeftButton);
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("1"));
  Ui(w).Edit1->insert(QStringLiteral("テスト サーバ"));  // QTest types ASCII only
  QTest::keyClicks(Ui(w).Edit2, QStringLiteral("127.0.0.1:%1").arg(server->port));
  QTest::keyClicks(Ui(w).Edit3, QString::fromStdString(server->user));
  QTest::keyClicks(Ui(w).Edit4, QString::fromStdString(server->password));
  QTest::mouseClick(Ui(w).Button7, Qt::LeftButton);
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_EQ(Ui(w).LblCount->text(), QStringLiteral("1"));
  QTest::mouseClick(Ui(w).Button1, Qt::LeftButton);
  ASSERT_TRUE(Settle(*w));
  ASSERT_TRUE(w->Client().Connected()) << (prompts.asked.empty() ? "" : prompts.asked.back().text);
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/"));
  for (const char* step : {"pub", "www"}) {
    ASSERT_TRUE(SelectRemote(*w, QString::fromLatin1(step))) << step;
    w->ListView1DblClick();
    ASSERT_TRUE(Settle(*w));
  }
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/pub/www"));
  QHeaderView* header = Ui(w).ListView1->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(2) + 5, 5));
  EXPECT_EQ(w->Sort().SortDirection, 3);
  EXPECT_EQ(RemoteColumn(Ui(w).ListView1, 0).first(), QStringLiteral("robots.txt"));
  EXPECT_EQ(RemoteColumn(Ui(w).ListView1, 0).last(), QStringLiteral("photo.jpg"));
  if (const char* build = std::getenv("HEMLO_BUILD_DIR")) {
    const fs::path dir = fs::path(build) / "screenshots";
    fs::create_directories(dir);
    w->grab().save(QString::fromStdString((dir / "ferrox_vsftpd_connected.png").string()));
  }
  QTest::mouseClick(Ui(w).Button2, Qt::LeftButton);
  EXPECT_FALSE(w->Client().Connected());
  ASSERT_TRUE(w->close());
  w.reset();

  auto again = Open();
  EXPECT_EQ(Ui(again).Edit1->text(), QStringLiteral("テスト サーバ"));
  EXPECT_EQ(Ui(again).Label5->text(), QStringLiteral("/pub/www"));
  again->Button1Click();
  ASSERT_TRUE(Settle(*again));
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_EQ(Ui(again).Label5->text(), QStringLiteral("/pub/www"));
  EXPECT_GE(RemoteRow(Ui(again).ListView1, "photo.jpg"), 0);
  again->Button2Click();
}

// Shift-JIS names on the server show as Japanese and are sent back byte for
// byte, including 表, whose second byte is "\\".
TEST_F(FtpWindowTest, ShiftJisRemoteNamesTravelExactly) {
  auto server = ftp::testing::StartVsftpd();
  const std::string hyou = "\x95\x5C";                           // 表
  const std::string folder = "\x83\x54\x83\x43\x83\x67" + hyou;  // サイト表
  fs::create_directories(server->files / folder);
  Touch(server->files / folder / ("\x83\x79\x81\x5B\x83\x57.htm"), "x", 1);  // ページ.htm
  WriteProfiles({{"vs", "127.0.0.1:" + std::to_string(server->port), server->user, server->password,
                  "/pub"}});
  PointLastDirAt(local->path());
  auto w = Open();
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_TRUE(w->Client().Connected());
  ASSERT_TRUE(SelectRemote(*w, QStringLiteral("サイト表")));
  w->ListView1DblClick();
  ASSERT_TRUE(Settle(*w));
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_EQ(Ui(w).Label5->text(), QStringLiteral("/pub/サイト表"));
  EXPECT_EQ(w->RemoteFolder(), "/pub/" + folder);
  // A rename to a name Shift-JIS lacks is refused before anything is sent.
  const int page = RemoteRow(Ui(w).ListView1, QStringLiteral("ページ.htm"));
  ASSERT_GE(page, 0);
  prompts.answers.push_back(Answer::Ok);
  w->BeginRename(page);
  EXPECT_FALSE(w->EndRename(page, QStringLiteral("\U0001F600.htm")));
  EXPECT_TRUE(fs::exists(server->files / folder / "\x83\x79\x81\x5B\x83\x57.htm"));
  w->Button2Click();
  EXPECT_EQ(transfer::SplitCommaText(w->Profiles().ProfileList[0])[4], "/pub/" + folder);
}

TEST_F(FtpWindowTest, SelectAllAndDesktopDrops) {
  Touch(local->path() / "a.htm", "a", 2);
  Touch(local->path() / "b.htm", "b", 1);
  PointLastDirAt(local->path());
  auto w = Open();
  // No remote row selected: the local list is the target.
  Ui(w).CheckBox1->setChecked(true);
  EXPECT_EQ(w->SelectedLocalNames().size(), 2u);
  w->UncheckSelectAll();
  EXPECT_TRUE(w->SelectedLocalNames().empty());

  int uploads = 0;
  QObject::connect(w.get(), &TFtp1::uploadDroppedRequested, [&] { ++uploads; });
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/x.htm")),
                QUrl::fromLocalFile(QStringLiteral("/tmp/dir"))});
  for (QAbstractItemView* list :
       std::initializer_list<QAbstractItemView*>{Ui(w).ListView2, Ui(w).ListView1}) {
    const QPoint at = list->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
  }
  EXPECT_EQ(uploads, 1);  // only the remote list takes desktop files
  EXPECT_EQ(w->DroppedFiles(), (std::vector<std::string>{"/tmp/x.htm", "/tmp/dir"}));
  // Unwired operation buttons do nothing.
  QTest::mouseClick(Ui(w).Button10, Qt::LeftButton);
  ASSERT_TRUE(Settle(*w));
  QTest::mouseClick(Ui(w).Button11, Qt::LeftButton);
  ASSERT_TRUE(Settle(*w));
  EXPECT_TRUE(w->IdleFlag());
}

}  // namespace
}  // namespace hemlo
