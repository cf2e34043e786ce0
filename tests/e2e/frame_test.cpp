// The frame and its document windows driven as a user would, with scripted
// answers to every question.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QSplitter>
#include <QAbstractItemView>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <cstdlib>
#include <fstream>

#include "app/startup.h"
#include "base/dialog_folder.h"
#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "text/cp932.h"
#include "ferrox/ftp_window.h"
#include "support/test_bounds.h"

namespace hemlo {
namespace {

using text::Sjis;

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    SetProgramFolder(folder_.path().toStdString());
    PrepareApplication(*qApp);
    SetProgramFolder(folder_.path().toStdString());  // the application's folder is not ours
    Forms forms = CreateForms();
    frame_.reset(forms.MainForm);
    frame_->SetPrompts(&prompts_);
    frame_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
  }
  void TearDown() override {
    for (TMDIChild* c : frame_->Children()) c->Memo()->SetModified(false);
    frame_->close();
    frame_.reset();
  }
  QString Panel(int i) { return frame_->StatusBar1()->panel(i)->text(); }

  QTemporaryDir folder_;
  ScriptedPrompts prompts_;
  std::unique_ptr<TMainForm> frame_;
};

TEST_F(Frame, CaretTextCountsBytes) {
  TMDIChild* child = frame_->OpenDocument(QString());
  child->ShowCaretPosition();
  EXPECT_EQ(Panel(1), QStringLiteral("1行1列目 (全1行)"));
  child->Memo()->SetText(Sjis("ああx\r\nline2"));
  child->Memo()->SetSelStart(4);  // after the two double-byte characters
  child->ShowCaretPosition();
  EXPECT_EQ(Panel(1), QStringLiteral("1行5列目 (全2行)"));
  child->Memo()->SetSelStart(9);
  child->ShowCaretPosition();
  EXPECT_EQ(Panel(1), QStringLiteral("2行3列目 (全2行)"));
}

// The caret text follows whatever moved the caret, and the window shown.
TEST_F(Frame, CaretTextFollowsEditsWindowsAndIsEmptyWithoutAPage) {
  const QString page = folder_.filePath(QStringLiteral("twenty.htm"));
  {
    std::ofstream out(page.toStdString(), std::ios::binary);
    for (int i = 0; i < 20; ++i) out << (i ? "\r\nline" : "line");  // 20 lines
  }
  auto settled = [&](const char* text) {
    return QTest::qWaitFor([&] { return Panel(1) == QString::fromUtf8(text); }, 3000);
  };
  TMDIChild* first = frame_->OpenDocument(page);
  EXPECT_TRUE(settled("1行1列目 (全20行)")) << Panel(1).toStdString();
  first->Memo()->SetSelStart(6 * 12 + 4);  // the end of line 13
  // 改行 from the menu inserts "<br>" and a line break.
  frame_->findChild<QAction*>(QStringLiteral("mnuKaigyoClick_0"))->trigger();
  EXPECT_TRUE(settled("14行1列目 (全21行)")) << Panel(1).toStdString();
  TMDIChild* second = frame_->OpenDocument(QString());
  EXPECT_TRUE(settled("1行1列目 (全1行)")) << Panel(1).toStdString();
  second->Memo()->ReplaceSelection("ab");
  EXPECT_TRUE(settled("1行3列目 (全1行)")) << Panel(1).toStdString();
  auto* area = frame_->findChild<QMdiArea*>();
  area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
  EXPECT_TRUE(settled("14行1列目 (全21行)")) << Panel(1).toStdString();
  for (TMDIChild* c : frame_->Children()) c->Memo()->SetModified(false);
  area->closeAllSubWindows();
  EXPECT_TRUE(settled("")) << Panel(1).toStdString();
  EXPECT_EQ(Panel(2), QStringLiteral("Hemlo２ HTMLエディタ"));
}

TEST_F(Frame, EnterCopiesTheIndentOfTheNearestNonEmptyLine) {
  TMDIChild* child = frame_->OpenDocument(QString());
  auto enter_at = [&](const std::string& text, std::size_t caret) {
    child->Memo()->SetText(text);
    child->Memo()->SetSelStart(caret);
    child->Memo()->setFocus();
    QTest::keyClick(child->Memo(), Qt::Key_Return);
    return child->Memo()->Text();
  };
  // Two tabs at the end of the first line.
  EXPECT_EQ(enter_at("\t\tabc", 5), "\t\tabc\r\n\t\t");
  // A line made only of two full-width spaces counts as non-empty.
  EXPECT_EQ(enter_at("\x81\x40\x81\x40", 4), "\x81\x40\x81\x40\r\n\x81\x40\x81\x40");
  // In the middle of an indented line: the indent goes before the moved text.
  EXPECT_EQ(enter_at("  abcd", 4), "  ab\r\n  cd");
  // Two empty lines between the caret and the indented line.
  EXPECT_EQ(enter_at(" \tx\r\n\r\n", 7), " \tx\r\n\r\n\r\n \t");
  // No indentation anywhere above: nothing is added.
  EXPECT_EQ(enter_at("abc", 3), "abc\r\n");
}

// Returns once everything queued before the call has run (deferred
// deletions included): a zero timer queued now fires only after it.
std::string ReadWhole(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void RunQueuedEvents() {
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  ASSERT_TRUE(QTest::qWaitFor([&ran] { return ran; }, 5000));
}

// The close question names the page; はい closes unsaved, 保存 saves and
// closes, キャンセル keeps it. The title and the window list mark the page.
TEST_F(Frame, CloseQueryNamesThePageAndOffersSave) {
  const QString page = folder_.filePath(QStringLiteral("a.htm"));
  std::ofstream(page.toStdString(), std::ios::binary) << "old";
  QMenu* window_menu = frame_->findChild<QMenu*>(QStringLiteral("Window1"));
  auto listed = [&] {
    emit window_menu->aboutToShow();
    return window_menu->actions().last()->text();
  };
  struct Case {
    Answer answer;
    bool closes;
    const char* on_disk;
  };
  for (const Case& c : {Case{Answer::Cancel, false, "old"}, Case{Answer::Save, true, "oldx"},
                        Case{Answer::Yes, true, "oldx"}}) {
    TMDIChild* child = frame_->OpenDocument(page);
    QPointer<TMDIChild> watch(child);
    EXPECT_EQ(listed(), "&1 " + page);
    child->Memo()->SetSelStart(3);
    child->Memo()->ReplaceSelection(c.answer == Answer::Yes ? "lost" : "x");
    EXPECT_EQ(listed(), "&1 " + page + "*");
    EXPECT_TRUE(child->isWindowModified());
    prompts_.answers.push_back(c.answer);
    const std::size_t before = prompts_.asked.size();
    frame_->FileCloseItemClick();
    RunQueuedEvents();
    ASSERT_EQ(prompts_.asked.size(), before + 1);
    const ScriptedPrompts::Asked& q = prompts_.asked.back();
    EXPECT_EQ(q.caption, "確認");
    EXPECT_EQ(q.text, "「" + page.toStdString() +
                                          "」\r\n\r\n現在書き込まれてある内容を保存しないで閉じます"
                                          "。\r\n\r\n　…よろしいですか？");
    EXPECT_EQ(q.buttons, Buttons::YesSaveCancel);
    EXPECT_EQ(q.default_button, Answer::Cancel);  // Enter keeps the page
    EXPECT_EQ(ReadWhole(page), c.on_disk);
    if (c.closes) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !watch; }, 2000));
    } else {
      ASSERT_TRUE(watch);
      child->Memo()->SetModified(false);
      EXPECT_EQ(listed(), "&1 " + page);
      frame_->FileCloseItemClick();
      ASSERT_TRUE(QTest::qWaitFor([&] { return !watch; }, 2000));
    }
  }
  EXPECT_EQ(prompts_.asked.size(), 3u);  // the unmodified window asked nothing
}

TEST_F(Frame, ExitWithTwoModifiedWindowsAnsweredNoKeepsBoth) {
  for (int i = 0; i < 2; ++i) frame_->OpenDocument(QString())->Memo()->ReplaceSelection("x");
  prompts_.answers = {Answer::Yes, Answer::No};
  frame_->FileExit1Execute();
  RunQueuedEvents();
  EXPECT_EQ(prompts_.asked.size(), 2u);
  EXPECT_TRUE(frame_->isVisible());
  EXPECT_EQ(frame_->Children().size(), 2);
}

TEST_F(Frame, TabWidthChangesOnlyTheActiveWindowAndLaterOnes) {
  TMDIChild* first = frame_->OpenDocument(QString());
  TMDIChild* second = frame_->OpenDocument(QString());
  const qreal before = first->Memo()->tabStopDistance();
  prompts_.inputs = {std::string("4")};
  frame_->mnuTabClick();
  EXPECT_EQ(frame_->TabWidth, 4);
  EXPECT_EQ(first->Memo()->tabStopDistance(), before);
  EXPECT_GT(second->Memo()->tabStopDistance(), before);
  TMDIChild* third = frame_->OpenDocument(QString());
  EXPECT_EQ(third->Memo()->tabStopDistance(), second->Memo()->tabStopDistance());
  // Not a usable width: the conversion error, nothing changes.
  prompts_.inputs.push_back(std::string("0"));
  prompts_.inputs.push_back(std::string("abc"));
  frame_->mnuTabClick();
  frame_->mnuTabClick();
  EXPECT_EQ(frame_->TabWidth, 4);
  ASSERT_GE(prompts_.asked.size(), 5u);
  EXPECT_EQ(prompts_.asked[2].text, "1 から 64 までの数を入れてください");
  EXPECT_EQ(prompts_.asked[4].text, "'abc' は整数ではありません");
}

TEST_F(Frame, PrintWithoutPrinterReportsAnErrorAndNoConfirmation) {
  frame_->mnuPrintClick();  // no window: nothing
  EXPECT_TRUE(prompts_.asked.empty());
  frame_->OpenDocument(QString())->Memo()->SetText("line 1\r\nline 2");
  prompts_.answers = {Answer::Ok};
  frame_->mnuPrintClick();
  ASSERT_EQ(prompts_.asked.size(), 1u);
  // The test machines have no printer.
  EXPECT_EQ(prompts_.asked[0].text, "印刷エラー");
}

TEST_F(Frame, WindowMenuListsTheWindowsAndChecksTheActiveOne) {
  frame_->OpenDocument(QStringLiteral("/tmp/one.htm"));
  frame_->OpenDocument(QStringLiteral("/tmp/two.htm"));
  EXPECT_TRUE(frame_->action(FrameCommand::WindowCascade)->isEnabled());
  QMenu* menu = frame_->findChild<QMenu*>(QStringLiteral("Window1"));
  emit menu->aboutToShow();
  QStringList checked, all;
  for (QAction* a : menu->actions()) {
    if (!a->isCheckable()) continue;
    all << a->text();
    if (a->isChecked()) checked << a->text();
  }
  EXPECT_EQ(all, (QStringList{"&1 /tmp/one.htm", "&2 /tmp/two.htm"}));
  EXPECT_EQ(checked, QStringList{"&2 /tmp/two.htm"});
}

TEST_F(Frame, PreviewShowsRelativeImagesAndClosingRemovesThePreviewFile) {
  QDir(folder_.path()).mkpath(QStringLiteral("my site"));
  const QString dir = folder_.filePath(QStringLiteral("my site"));
  QImage image(7, 5, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(dir + "/pic.png"));
  const QString page = dir + "/top.htm";
  std::ofstream(page.toStdString(), std::ios::binary) << "<html><body><img id=i src=\"pic.png\">";
  TMDIChild* child = frame_->OpenDocument(page);
  QPointer<TMDIChild> watch(child);
  frame_->Image1Click();
  const QString preview = dir + "/topbak.htm";
  EXPECT_TRUE(QFileInfo::exists(preview));
  auto image_width = [&] {
    int width = -2;
    child->WebBrowser()->page()->runJavaScript(
        QStringLiteral("(function(){var i=document.getElementById('i');return "
                       "i&&i.complete?i.naturalWidth:-1;})()"),
        [&](const QVariant& v) { width = v.toInt(); });
    (void)QTest::qWaitFor([&] { return width != -2; }, 5000);
    return width;
  };
  int width = -1;
  EXPECT_TRUE(QTest::qWaitFor([&] { return (width = image_width()) == 7; }, 20000));
  EXPECT_EQ(width, 7);

  // 最大化 then 元に戻す leaves an 81 pixel edit pane.
  frame_->mnuWebMAXClick(true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return child->MemoHeight() <= 2; }, 3000));
  frame_->mnuWebMAXClick(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return child->MemoHeight() == 81; }, 3000))
      << child->MemoHeight();

  frame_->FileCloseItemClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watch; }, 3000));
  EXPECT_FALSE(QFileInfo::exists(preview));
  EXPECT_TRUE(QFileInfo::exists(page));
}

TEST_F(Frame, APageThatClosesItsViewLeavesAUsableWebPane) {
  const QString dir = folder_.path();
  QDir(dir).mkpath(QStringLiteral("sub"));
  // A link to a page whose name merely holds "close", and a frame sent to a
  // "close" address, leave the view alone.
  std::ofstream((dir + "/go.html").toStdString())
      << "<a id=a href='enclosed.htm'>x</a><script>document.getElementById('a').click();</script>";
  std::ofstream((dir + "/enclosed.htm").toStdString())
      << "<iframe src='sub/close' onload=\"document.title='framed'\"></iframe>";
  std::ofstream((dir + "/sub/close").toStdString()) << "frame";
  std::ofstream((dir + "/after.html").toStdString()) << "<title>after</title>ok";
  frame_->OpenUrl(QUrl::fromLocalFile(dir + "/go.html").toString());
  TMDIChild* child = frame_->ActiveChild();
  ASSERT_NE(child, nullptr);
  QPointer<webview::TUIWebBrowser> first(child->WebBrowser());
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return first->LocationName() == QStringLiteral("framed"); }, 20000));
  ASSERT_TRUE(first);
  const int height = first->height();
  ASSERT_GT(height, 0);
  // The page's own script going to "close" closes it.
  first->page()->runJavaScript(QStringLiteral("location.href='sub/close';"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !first; }, 20000));
  ASSERT_NE(child->WebBrowser(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return child->WebBrowser()->height() == height; }, 2000));
  frame_->OpenUrl(QUrl::fromLocalFile(dir + "/after.html").toString());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return child->WebBrowser()->LocationName() == QStringLiteral("after"); }, 20000));
}

TEST_F(Frame, TransferToolOpensOnTheActivePagesFolder) {
  QDir(folder_.path()).mkpath(QStringLiteral("サイト"));
  const QString dir = folder_.filePath(QStringLiteral("サイト"));
  std::ofstream((dir + "/index.htm").toStdString()) << "x";
  frame_->OpenDocument(dir + "/index.htm");
  frame_->mnuFTPClick();
  TFtp1* ftp = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<TFtp1*>(w)) ftp = t;
  ASSERT_NE(ftp, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ftp->isVisible(); }, 3000));
  EXPECT_EQ(ftp->windowTitle(), QStringLiteral("Ferrox"));
  EXPECT_EQ(QString::fromStdString(ftp->LocalFolder()).remove(QRegularExpression("/$")), dir);
  ftp->hide();
}

// Every save puts the page at the top of the history (opening leaves the
// order), and a page saved into the folder Ferrox shows is listed there.
TEST_F(Frame, SavesPutThePageOnTopOfTheHistoryAndInFerroxsList) {
  const QString a = folder_.filePath(QStringLiteral("a.htm"));
  const QString b = folder_.filePath(QStringLiteral("b.htm"));
  const QString c = folder_.filePath(QStringLiteral("c.htm"));
  for (const QString& p : {a, b}) std::ofstream(p.toStdString(), std::ios::binary) << "x";
  TFtp1* ftp = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<TFtp1*>(w)) ftp = t;
  ASSERT_NE(ftp, nullptr);
  ASSERT_TRUE(ftp->SetLocalFolder(folder_.path()));
  auto* local = ftp->findChild<QAbstractItemView*>(QStringLiteral("ListView2"));
  auto local_names = [&] {
    QStringList names;
    for (int r = 0; r < local->model()->rowCount(); ++r)
      names << local->model()->index(r, 0).data().toString();
    return names;
  };
  auto history = [&] {
    QStringList entries;
    for (int i = 0; i < 3; ++i) entries << frame_->history_action(i)->text();
    return entries;
  };
  TMDIChild* first = frame_->OpenDocument(a);
  frame_->OpenDocument(b);
  frame_->OpenDocument(a);  // opened again: the order stays
  EXPECT_EQ(history(), (QStringList{b, a, ""}));
  first->Memo()->ReplaceSelection("y");
  qobject_cast<QMdiSubWindow*>(first->parentWidget())
      ->mdiArea()
      ->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
  frame_->FileSaveItemClick();
  EXPECT_EQ(history(), (QStringList{a, b, ""}));
  // Named through プレビュー's question.
  EXPECT_FALSE(local_names().contains(QStringLiteral("c.htm")));
  frame_->OpenDocument(QString())->Memo()->ReplaceSelection("<p>c</p>");
  prompts_.answers = {Answer::Ok};
  prompts_.inputs = {c.toStdString()};
  frame_->Image1Click();
  EXPECT_EQ(frame_->ActiveChild()->Caption(), c);
  EXPECT_EQ(history(), (QStringList{c, a, b}));
  EXPECT_TRUE(local_names().contains(QStringLiteral("c.htm")))
      << local_names().join(' ').toStdString();
}

// A new window gives the edit pane half its height and keeps that share
// when maximised; the split the user drags to is the next windows' and
// stays in Editor.ini.
TEST_F(Frame, EditPaneTakesHalfAndTheDraggedSplitIsKept) {
  auto share = [](TMDIChild* c) {
    const QList<int> s = c->findChild<QSplitter*>(QStringLiteral("Splitter1"))->sizes();
    return static_cast<double>(s[0]) / (s[0] + s[1]);
  };
  TMDIChild* child = frame_->OpenDocument(QString());
  EXPECT_NEAR(share(child), 0.5, 0.02);
  auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
  const int normal_height = child->height();
  sub->showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return child->height() > normal_height; }, 3000));
  EXPECT_NEAR(share(child), 0.5, 0.02);
  // The user drags the bar up to a quarter of the height.
  auto* splitter = child->findChild<QSplitter*>(QStringLiteral("Splitter1"));
  QSplitterHandle* handle = splitter->handle(1);
  const QPoint grip = handle->rect().center();
  QTest::mousePress(handle, Qt::LeftButton, {}, grip);
  const QPoint to = splitter->mapToGlobal(QPoint(grip.x(), splitter->height() / 4));
  QMouseEvent move(QEvent::MouseMove, handle->mapFromGlobal(to), to, Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(handle, &move);
  QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(to));
  EXPECT_NEAR(share(child), 0.25, 0.03);
  sub->showNormal();
  ASSERT_TRUE(QTest::qWaitFor([&] { return child->height() < normal_height + 5; }, 3000));
  EXPECT_NEAR(share(child), 0.25, 0.03);
  TMDIChild* next = frame_->OpenDocument(QString());
  EXPECT_NEAR(share(next), 0.25, 0.03);
  frame_->close();
  EXPECT_NEAR(EditorSettings::Load(folder_.path().toStdString() + "/Editor.ini").edit_pane_share,
              250, 30);
}

TEST_F(Frame, FileDialogsStartWhereTheUserWorksAndSetTheLinkBase) {
  DialogFolder::Set(std::nullopt);
  QDir(folder_.path()).mkpath(QStringLiteral("site/img"));
  QDir(folder_.path()).mkpath(QStringLiteral("other"));
  const std::string site = folder_.filePath(QStringLiteral("site")).toStdString();
  const std::string other = folder_.filePath(QStringLiteral("other")).toStdString();
  std::ofstream(site + "/index.htm") << "x";
  std::ofstream(site + "/img/a.gif") << "GIF";
  prompts_.inputs = {site + "/index.htm", site + "/img/a.gif", other + "/b.htm", std::nullopt};
  frame_->FileOpen1Execute();
  TMDIChild* page = frame_->ActiveChild();
  ASSERT_NE(page, nullptr);
  page->Memo()->SetSelStart(0);
  frame_->findChild<QAction*>(QStringLiteral("mnuInsertClick_0"))->trigger();  // ファイル名...
  EXPECT_EQ(page->Memo()->Text(), "img/a.gifx");
  frame_->FileSaveAsItemClick();
  frame_->FileCloseItemClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame_->Children().isEmpty(); }, 2000));
  frame_->FileOpen1Execute();
  std::vector<std::string> started;
  for (const auto& a : prompts_.asked) started.push_back(a.text);
  // No page and no folder yet: home; then the page's folder; then, with no
  // page open, the folder last used. Never the program's folder.
  EXPECT_EQ(started, (std::vector<std::string>{qgetenv("HOME").toStdString(), site, site, other}));
}

TEST_F(Frame, MenusShowKeysAndNamesAsTheyAreAndIconsStayInside) {
  // 開く(&O)... shows Ctrl+O, and the key still opens exactly one dialog.
  EXPECT_EQ(frame_->action(FrameCommand::FileOpenItem)->shortcut(),
            QKeySequence(Qt::CTRL | Qt::Key_O));
  prompts_.inputs = {std::nullopt};
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  QTest::keyClick(frame_.get(), Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(prompts_.asked.size(), 1u);
  EXPECT_EQ(prompts_.asked[0].kind, "open");

  // A "&" in a history path is shown, not taken for a mnemonic.
  const QString page = folder_.filePath(QStringLiteral("Q&A.htm"));
  std::ofstream(page.toStdString()) << "x";
  frame_->OpenDocument(page);
  EXPECT_EQ(frame_->history_action(0)->iconText(), page);

  // すべて整列 after すべてを最小化 keeps every icon inside the client area.
  frame_->resize(420, 500);
  for (int i = 0; i < 6; ++i) frame_->OpenDocument(QString());
  frame_->action(FrameCommand::WindowMinimizeAll)->trigger();
  frame_->action(FrameCommand::WindowArrangeAll)->trigger();
  auto* area = frame_->findChild<QMdiArea*>();
  ASSERT_NE(area, nullptr);
  for (QMdiSubWindow* w : area->subWindowList())
    EXPECT_TRUE(area->viewport()->rect().contains(w->geometry()))
        << w->geometry().x() << "," << w->geometry().y();
}

TEST_F(Frame, HistoryWrittenAtShutdownWithSevenLines) {
  const QString page = folder_.filePath(QStringLiteral("a.htm"));
  std::ofstream(page.toStdString(), std::ios::binary) << "x\n";
  TMDIChild* child = frame_->OpenDocument(page);
  EXPECT_EQ(child->Memo()->Text(), "x\r\n");
  EXPECT_FALSE(child->Memo()->Modified());
  EXPECT_EQ(frame_->history_action(0)->text(), page);
  frame_->close();
  std::string bytes;
  std::ifstream in((folder_.path() + "/Rireki.ini").toStdString(), std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(bytes, page.toStdString() + "\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(Frame, AddressBoxOpensAPageAndListsIt) {
  // A local web server for the page.
  QDir(folder_.path()).mkpath(QStringLiteral("site"));
  std::ofstream(folder_.filePath(QStringLiteral("site/index.html")).toStdString())
      << "<html><head><title>t</title></head><body>hello</body></html>";
  std::ofstream(folder_.filePath(QStringLiteral("site/pop.html")).toStdString())
      << "<html><body>popup</body></html>";
  QProcess server;
  server.setWorkingDirectory(folder_.filePath(QStringLiteral("site")));
  // Port 0: the server listens on a port the kernel picks, then prints it.
  server.start(QStringLiteral("/usr/bin/python3"),
               {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1"});
  ASSERT_TRUE(server.waitForStarted(5000));
  const QRegularExpression serving(QStringLiteral("Serving HTTP on \\S+ port (\\d+)"));
  QString said;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        said += QString::fromUtf8(server.readAllStandardOutput());
        return serving.match(said).hasMatch();
      },
      10000));
  const quint16 port = serving.match(said).captured(1).toUShort();

  const QString address = QStringLiteral("http://127.0.0.1:%1/index.html").arg(port);
  frame_->cmbURL()->setEditText(address);
  QTest::keyClick(frame_->cmbURL()->lineEdit(), Qt::Key_Return);
  ASSERT_EQ(frame_->Children().size(), 1);
  TMDIChild* child = frame_->ActiveChild();
  EXPECT_TRUE(child->Caption().isEmpty());
  EXPECT_FALSE(child->Memo()->Modified());
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame_->cmbURL()->itemText(0) == address; }, 20000));
  EXPECT_EQ(frame_->cmbURL()->currentText(), address);

  // A pop-up from the page becomes a new untitled document window showing it.
  child->WebBrowser()->page()->runJavaScript(QStringLiteral("window.open('pop.html', 'x');"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame_->Children().size() == 2; }, 10000));
  TMDIChild* popup = frame_->ActiveChild();
  ASSERT_NE(popup, child);
  EXPECT_TRUE(popup->Caption().isEmpty());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return popup->WebBrowser()->LocationURL() ==
               QStringLiteral("http://127.0.0.1:%1/pop.html").arg(port);
      },
      20000));
  // Pages loaded later are listed once, newest first; file pages never.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return frame_->cmbURL()->itemText(0) ==
               QStringLiteral("http://127.0.0.1:%1/pop.html").arg(port);
      },
      20000));
  const int listed = frame_->cmbURL()->count();
  child->WebBrowser()->Navigate(
      QUrl::fromLocalFile(folder_.filePath(QStringLiteral("site/index.html"))).toString());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return child->WebBrowser()->LocationURL().startsWith(QStringLiteral("file:")); },
      20000));

  // Text without a scheme is read as a web address and never closes the
  // window; a blank page is never listed.
  TMDIChild* active = frame_->ActiveChild();
  frame_->cmbURL()->setEditText(QStringLiteral("127.0.0.1:%1/index.html").arg(port));
  QTest::keyClick(frame_->cmbURL()->lineEdit(), Qt::Key_Return);
  ASSERT_EQ(frame_->Children().size(), 2);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return active->WebBrowser()->LocationURL() == address; }, 20000));
  // An address already listed is not listed again, and the box shows the
  // page just shown, not the entry added last; had the file page above been
  // listed, it would be counted here too.
  const QString pop = QStringLiteral("http://127.0.0.1:%1/pop.html").arg(port);
  EXPECT_TRUE(QTest::qWaitFor([&] { return frame_->cmbURL()->currentText() == address; }, 20000))
      << frame_->cmbURL()->currentText().toStdString();
  EXPECT_EQ(frame_->cmbURL()->itemText(0), pop);
  EXPECT_EQ(frame_->cmbURL()->count(), listed);
  // A blank page is never listed and leaves the box as it was.
  active->WebBrowser()->Navigate(QStringLiteral("about:blank"));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return active->WebBrowser()->LocationURL() == QStringLiteral("about:blank"); }, 20000));
  RunQueuedEvents();
  EXPECT_EQ(frame_->cmbURL()->currentText(), address);
  for (int i = 0; i < frame_->cmbURL()->count(); ++i)
    EXPECT_NE(frame_->cmbURL()->itemText(i), QStringLiteral("about:blank"));
  frame_->resize(900, 650);
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame_->size() == QSize(900, 650); },
                              test_support::BoundMs(3'000)));
  const char* build = std::getenv("HEMLO_BUILD_DIR");
  QDir dir(build ? QString::fromLocal8Bit(build) : QDir::currentPath());
  dir.mkpath(QStringLiteral("screenshots"));
  frame_->grab().save(dir.filePath(QStringLiteral("screenshots/frame_with_page.png")));
  server.kill();
  server.waitForFinished(3000);
}

TEST_F(Frame, RedoKeyAndEncodingStatusFollowTheEdit) {
  const QString page = folder_.filePath(QStringLiteral("sjis.htm"));
  std::ofstream(page.toStdString(), std::ios::binary)
      << Sjis("<html><head><meta charset=\"Shift_JIS\"></head><body>あ</body></html>\r\n");
  TMDIChild* child = frame_->OpenDocument(page);
  frame_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  child->Memo()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return child->Memo()->hasFocus(); }, 3000));
  EXPECT_EQ(Panel(2), QStringLiteral("Shift-JIS"));

  // 文字コード変換 rewrites the declaration: the status agrees with it, also
  // after undo and redo. Keys come as the window system sends them, with
  // control characters as their text.
  auto key = [&](Qt::Key k, char16_t control) {
    QTest::sendKeyEvent(QTest::Click, child->Memo(), k, QString(QChar(control)),
                        Qt::ControlModifier);
  };
  const std::string sjis = child->Memo()->DocumentBytes();
  frame_->ConvertEncodingClick();
  const std::string utf8 = child->Memo()->DocumentBytes();
  ASSERT_NE(utf8.find("charset=\"UTF-8\""), std::string::npos);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Panel(2) == QStringLiteral("UTF-8"); }, 3000))
      << Panel(2).toStdString();
  key(Qt::Key_Z, 0x1A);
  EXPECT_EQ(child->Memo()->DocumentBytes(), sjis);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Panel(2) == QStringLiteral("Shift-JIS"); }, 3000))
      << Panel(2).toStdString();
  key(Qt::Key_Y, 0x19);
  EXPECT_EQ(child->Memo()->DocumentBytes(), utf8);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Panel(2) == QStringLiteral("UTF-8"); }, 3000))
      << Panel(2).toStdString();

  // Typing, undone from the menu, comes back with Ctrl+Y; keys that bring
  // their letter as text (input methods, remote desktops) undo and redo too.
  QTest::keyClicks(child->Memo(), QStringLiteral("xy"));
  const std::string typed = child->Memo()->DocumentBytes();
  ASSERT_NE(typed, utf8);
  frame_->action(FrameCommand::Undo)->trigger();
  ASSERT_EQ(child->Memo()->DocumentBytes(), utf8);
  key(Qt::Key_Y, 0x19);
  EXPECT_EQ(child->Memo()->DocumentBytes(), typed);
  QTest::keyClick(child->Memo(), Qt::Key_Z, Qt::ControlModifier);  // text "z"
  EXPECT_EQ(child->Memo()->DocumentBytes(), utf8);
  QTest::keyClick(child->Memo(), Qt::Key_Y, Qt::ControlModifier);  // text "y"
  EXPECT_EQ(child->Memo()->DocumentBytes(), typed);
}

TEST_F(Frame, FrameOpensWhereItWasLeftAndASecondOneStandsAside) {
  EXPECT_EQ(frame_->size(), QSize(680, 440));  // a new user's first frame
  frame_->setGeometry(50, 60, 800, 500);
  frame_->close();
  frame_.reset();
  frame_ = std::make_unique<TMainForm>();
  EXPECT_EQ(frame_->geometry(), QRect(50, 60, 800, 500));
  {
    TMainForm second;
    EXPECT_EQ(second.geometry(), QRect(80, 90, 800, 500));
  }
  // Closed maximised: maximised again, over the place it had before.
  frame_->show();
  frame_->showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame_->isMaximized(); }, 3000));
  frame_->close();
  frame_.reset();
  frame_ = std::make_unique<TMainForm>();
  EXPECT_TRUE(frame_->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(frame_->normalGeometry().size(), QSize(800, 500));
}

}  // namespace
}  // namespace hemlo
