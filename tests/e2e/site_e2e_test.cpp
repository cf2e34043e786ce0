// The site windows and the live preview through the real frame.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWebEnginePage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>
#include <QFileSystemModel>
#include <QTreeView>
#include <fstream>
#include <functional>
#include <atomic>
#include <thread>
#include <iostream>

#include "app/startup.h"
#include "base/program_folder.h"
#include "photo/exif_sample.h"
#include "shell/desktop_open.h"
#include "shell/live_preview.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/site_panel.h"
#include "base/atomic_file.h"
#include "publish/site_marks.h"
#include "publish/sync_record.h"
#include "transfer/ferrox_files.h"
#include "remote/comma_text.h"
#include "remote/profile.h"
#include "shell/preview_width.h"
#include "site/markup_check.h"
#include "support/scripted_prompts.h"
#include "text/cp932.h"
#include "text/view_codes.h"
#include "support/test_bounds.h"

namespace hemlo {
namespace {

using text::Sjis;

struct Site {
  QTemporaryDir dir;
  void Put(const char* name, const std::string& bytes) const {
    std::ofstream(dir.filePath(QString::fromUtf8(name)).toStdString(), std::ios::binary) << bytes;
  }
  std::string Read(const char* name) const {
    std::ifstream in(dir.filePath(QString::fromUtf8(name)).toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

std::unique_ptr<TMainForm> StartFrame(ScriptedPrompts& prompts, const QString& program_folder) {
  PrepareApplication(*qApp);
  SetProgramFolder(program_folder.toStdString());
  Forms forms = CreateForms();
  std::unique_ptr<TMainForm> frame(forms.MainForm);
  frame->SetPrompts(&prompts);
  frame->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  return frame;
}

bool Soon(const std::function<bool()>& done) {
  return QTest::qWaitFor(done, test_support::BoundMs(5000));
}

std::string Bytes(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <typename T>
T* Find(QWidget* window, const char* name) {
  T* w = window->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

TEST(SiteEndToEnd, ReplaceAcrossATwoEncodingSiteUpdatesTheOpenPageAndUndoesByteExact) {
  Site site;
  const std::string sjis_page = Sjis("<p>旧名 です</p>\r\n<p>旧名</p>\r\n");
  const std::string utf8_page = "<p>旧名 😀</p>\n";
  site.Put("a.htm", sjis_page);
  site.Put("b.html", utf8_page);
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts, site.dir.path());
  TMDIChild* open = frame->OpenDocument(site.Path("a.htm"));
  frame->action(FrameCommand::SiteSearch)->trigger();
  auto* window = frame->findChild<QWidget*>(QStringLiteral("SiteSearch"));
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->isVisible());
  EXPECT_EQ(Find<QLineEdit>(window, "edFolder")->text(), site.dir.path());
  Find<QLineEdit>(window, "edSearch")->setText(QStringLiteral("旧名"));
  Find<QLineEdit>(window, "edReplace")->setText(QStringLiteral("新しい名前"));
  QTest::mouseClick(Find<QPushButton>(window, "btnPreview"), Qt::LeftButton);
  auto* list = Find<QTreeWidget>(window, "lvResults");
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(1)->text(3), QStringLiteral("<p>新しい名前</p>"));
  QTest::mouseClick(Find<QPushButton>(window, "btnReplace"), Qt::LeftButton);
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_EQ(site.Read("a.htm"), Sjis("<p>新しい名前 です</p>\r\n<p>新しい名前</p>\r\n"));
  EXPECT_EQ(site.Read("b.html"), "<p>新しい名前 😀</p>\n");
  // The open page shows the file's new text, one undo step away from the old one.
  EXPECT_EQ(open->Memo()->DocumentBytes(), site.Read("a.htm"));
  EXPECT_FALSE(open->Memo()->Modified());
  open->Memo()->Undo();
  EXPECT_EQ(open->Memo()->DocumentBytes(), sjis_page);
  open->Memo()->Redo();

  QTest::mouseClick(Find<QPushButton>(window, "btnUndo"), Qt::LeftButton);
  EXPECT_EQ(site.Read("a.htm"), sjis_page);
  EXPECT_EQ(site.Read("b.html"), utf8_page);
  EXPECT_EQ(open->Memo()->DocumentBytes(), sjis_page);

  // A double click shows the place: the second hit is on line 2 of a.htm.
  QTest::mouseClick(Find<QPushButton>(window, "btnSearch"), Qt::LeftButton);
  ASSERT_EQ(list->topLevelItemCount(), 3);
  frame->FileNew1Execute();
  emit list->itemDoubleClicked(list->topLevelItem(1), 0);
  EXPECT_EQ(frame->ActiveChild(), open);
  EXPECT_EQ(open->Memo()->CaretPosition().line, 1);
  EXPECT_EQ(open->Memo()->CaretPosition().column, 3);
  frame->close();
}

TEST(SiteEndToEnd, SiteCheckListsTheFaultsFillsAnImageSizeAndShowsThePlace) {
  Site site;
  // Whole pages, so that the markup and the viewport line are sound.
  const std::string head =
      "<!DOCTYPE html>\r\n<html><head><meta name=\"viewport\" content=\"width=device-width\">"
      "<title>t</title></head><body>\r\n";
  const std::string tail = "</body></html>\r\n";
  site.Put("index.htm",
           Sjis(head + "<p>表紙</p>\r\n<a href=\"gone.htm\">x</a><img src=\"a.gif\">\r\n" + tail));
  site.Put("ok.html", head + "<p id=\"a\">ok</p><a href=\"index.htm\">i</a>\r\n" + tail);
  site.Put("a.gif", std::string("GIF89a\x04\x00\x03\x00\0\0\0", 13));
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts, site.dir.path());
  frame->OpenDocument(site.Path("ok.html"));
  frame->action(FrameCommand::SiteCheck)->trigger();
  auto* window = frame->findChild<QWidget*>(QStringLiteral("SiteCheck"));
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->isVisible());
  QTest::mouseClick(Find<QPushButton>(window, "btnCheck"), Qt::LeftButton);
  auto* list = Find<QTreeWidget>(window, "lvFindings");
  ASSERT_EQ(list->topLevelItemCount(), 3);  // the link, the alt text, the size
  EXPECT_EQ(list->topLevelItem(2)->text(2),
            QStringLiteral("画像に width と height の指定がありません（4×3）"));
  list->topLevelItem(2)->setSelected(true);
  QTest::mouseClick(Find<QPushButton>(window, "btnFillSize"), Qt::LeftButton);
  EXPECT_EQ(site.Read("index.htm"),
            Sjis(head +
                 "<p>表紙</p>\r\n<a href=\"gone.htm\">x</a><img src=\"a.gif\" width=\"4\" "
                 "height=\"3\">\r\n" +
                 tail));
  ASSERT_EQ(list->topLevelItemCount(), 2);
  emit list->itemDoubleClicked(list->topLevelItem(0), 0);
  ASSERT_NE(frame->ActiveChild(), nullptr);
  EXPECT_EQ(frame->ActiveChild()->Caption(), site.Path("index.htm"));
  EXPECT_EQ(frame->ActiveChild()->Memo()->CaretPosition().line, 3);
  EXPECT_EQ(frame->ActiveChild()->Memo()->CaretPosition().column, 9);
  EXPECT_TRUE(prompts.asked.empty());
  frame->close();
}

TEST(SiteEndToEnd, SharedPartInsertedAndSavedUpdatesPagesAtTwoDepthsAndUndoesByteExact) {
  Site site;
  QTemporaryDir program;
  QDir(site.dir.path()).mkpath(QStringLiteral("Library"));
  QDir(site.dir.path()).mkpath(QStringLiteral("sub"));
  const auto held = [](const std::string& copy) {
    return "<!-- #BeginLibraryItem \"/Library/menu.lbi\" -->" + copy + "<!-- #EndLibraryItem -->";
  };
  const std::string v1 = "<a href=\"../index.htm\">ホーム</a>";
  const std::string v2 = "<a href=\"../sub/new.htm\">新着</a>";
  site.Put("Library/menu.lbi", v1);
  const std::string root_page = Sjis("<p>頭</p>\r\n" + held("<a href=\"index.htm\">ホーム</a>"));
  site.Put("index.htm", root_page);
  site.Put("sub/a.html", "<p>日本</p>\r\n");
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts, program.path());

  // 挿入 › 共通部品... puts the part at the caret, its link relative to sub/.
  TMDIChild* page = frame->OpenDocument(site.Path("sub/a.html"));
  prompts.inputs = {site.Path("Library/menu.lbi").toStdString()};
  frame->action(FrameCommand::InsertPart)->trigger();
  frame->action(FrameCommand::FileSave)->trigger();
  const std::string sub_page = held("<a href=\"../index.htm\">ホーム</a>") + "<p>日本</p>\r\n";
  ASSERT_EQ(site.Read("sub/a.html"), sub_page);

  // Saving the part asks about the two pages, lists them, and writes them.
  TMDIChild* part = frame->OpenDocument(site.Path("Library/menu.lbi"));
  part->Memo()->SelectAll();
  part->Memo()->ReplaceSelection(text::Utf8ToView(v2));
  prompts.asked.clear();
  prompts.answers = {Answer::Yes};
  frame->action(FrameCommand::FileSave)->trigger();
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_NE(prompts.asked[0].text.find("2 ページ"), std::string::npos) << prompts.asked[0].text;
  auto* window = frame->findChild<QWidget*>(QStringLiteral("SharedParts"));
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->isVisible());
  auto* list = Find<QTreeWidget>(window, "lvPages");
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Checked);
  EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Checked);
  QTest::mouseClick(Find<QPushButton>(window, "btnUpdate"), Qt::LeftButton);
  EXPECT_EQ(site.Read("index.htm"),
            Sjis("<p>頭</p>\r\n" + held("<a href=\"sub/new.htm\">新着</a>")));
  EXPECT_EQ(site.Read("sub/a.html"), held("<a href=\"new.htm\">新着</a>") + "<p>日本</p>\r\n");
  EXPECT_EQ(page->Memo()->DocumentBytes(), site.Read("sub/a.html"));

  QTest::mouseClick(Find<QPushButton>(window, "btnUndo"), Qt::LeftButton);
  EXPECT_EQ(site.Read("index.htm"), root_page);
  EXPECT_EQ(site.Read("sub/a.html"), sub_page);
  EXPECT_EQ(page->Memo()->DocumentBytes(), sub_page);
  EXPECT_EQ(prompts.asked.size(), 1u);
  frame->close();
}

// The live preview's scheme must be known before the tests' QApplication exists.
const bool kSchemeRegistered = (RegisterLivePreviewScheme(), true);

QVariant Evaluate(TMDIChild* child, const QString& script) {
  QVariant value;
  bool done = false;
  child->WebBrowser()->page()->runJavaScript(script, [&](const QVariant& v) {
    value = v;
    done = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  return value;
}

TEST(SiteEndToEnd, LivePreviewFollowsTypingWithImagesAndWritesNothingBesideThePage) {
  ASSERT_TRUE(kSchemeRegistered);
  Site site;
  QTemporaryDir program;
  site.Put("index.htm", Sjis("<html><body><img src=\"i/one.png\">\r\n</body></html>\r\n"));
  QDir(site.dir.path()).mkdir(QStringLiteral("i"));
  site.Put("i/one.png",
           QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4"
                                  "2mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==")
               .toStdString());
  const QStringList before = QDir(site.dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts, program.path());
  TMDIChild* child = frame->OpenDocument(site.Path("index.htm"));
  QAction* live = frame->action(FrameCommand::LivePreview);
  ASSERT_FALSE(live->isChecked());  // off until chosen
  live->trigger();
  // Turning it on shows the page at once, its image from the page's folder.
  const QString image =
      QStringLiteral("document.images.length ? document.images[0].naturalWidth : 0");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Evaluate(child, image).toInt() == 1; }, 15000))
      << child->WebBrowser()->url().toString().toStdString();
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  child->Memo()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return child->Memo()->hasFocus(); }, 2000));
  child->Memo()->moveCursor(QTextCursor::End);
  QTest::keyClicks(child->Memo(), QStringLiteral("<p id=\"x\">"));
  QKeyEvent kanji(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("日本語"));
  QApplication::sendEvent(child->Memo(), &kanji);
  QElapsedTimer typed;
  typed.start();
  const QString probe = QStringLiteral("(document.getElementById('x') || {}).textContent");
  qint64 shown = -1;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const bool there = Evaluate(child, probe).toString() == QStringLiteral("日本語");
        if (there) shown = typed.elapsed();
        return there;
      },
      test_support::BoundMs(3'000)));
  EXPECT_GE(shown, 0);
  EXPECT_LT(shown, test_support::BoundMs(1'000));
  std::cout << "live preview shown " << shown << " ms after the last key\n";
  EXPECT_EQ(Evaluate(child, image).toInt(), 1);
  EXPECT_TRUE(child->Memo()->hasFocus());
  EXPECT_EQ(QDir(site.dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
  EXPECT_EQ(frame->cmbURL()->findText(LivePreviewUrl(site.Path("index.htm")).toString()), -1);
  child->Memo()->SetModified(false);
  frame->close();
}

TEST(SiteEndToEnd, MovingAPageRewritesTheLinksOfOpenPagesAndUndoesByteExact) {
  Site site;
  const std::string index = Sjis("<p>目次</p>\r\n<a href=\"old.html#a\">旧</a>\r\n");
  const std::string moved = "<p id=\"a\">移動</p>\n<a href=\"index.htm\">目次</a>\n";
  site.Put("index.htm", index);
  site.Put("old.html", moved);
  QDir(site.dir.path()).mkdir(QStringLiteral("sub"));
  ScriptedPrompts prompts;
  prompts.answers = {Answer::Ok};
  auto frame = StartFrame(prompts, site.dir.path());
  TMDIChild* open = frame->OpenDocument(site.Path("index.htm"));
  frame->action(FrameCommand::LinkUpdate)->trigger();
  auto* window = frame->findChild<QWidget*>(QStringLiteral("LinkUpdate"));
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->isVisible());
  Find<QLineEdit>(window, "edFolder")->setText(site.dir.path());
  Find<QLineEdit>(window, "edFrom")->setText(QStringLiteral("old.html"));
  Find<QLineEdit>(window, "edTo")->setText(QStringLiteral("sub/new.html"));
  QTest::mouseClick(Find<QPushButton>(window, "btnList"), Qt::LeftButton);
  auto* list = Find<QTreeWidget>(window, "lvChanges");
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("2"));
  EXPECT_EQ(list->topLevelItem(0)->text(3), QStringLiteral("sub/new.html#a"));
  EXPECT_EQ(list->topLevelItem(1)->text(3), QStringLiteral("../index.htm"));

  // Unsaved edits in a page to be written: nothing happens until it is saved.
  open->Memo()->SetModified(true);
  QTest::mouseClick(Find<QPushButton>(window, "btnMove"), Qt::LeftButton);
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(site.Read("index.htm"), index);
  open->Memo()->SetModified(false);

  QTest::mouseClick(Find<QPushButton>(window, "btnMove"), Qt::LeftButton);
  EXPECT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(site.Read("index.htm"), Sjis("<p>目次</p>\r\n<a href=\"sub/new.html#a\">旧</a>\r\n"));
  EXPECT_EQ(site.Read("sub/new.html"), "<p id=\"a\">移動</p>\n<a href=\"../index.htm\">目次</a>\n");
  EXPECT_FALSE(QFile::exists(site.Path("old.html")));
  EXPECT_EQ(open->Memo()->DocumentBytes(), site.Read("index.htm"));

  QTest::mouseClick(Find<QPushButton>(window, "btnUndo"), Qt::LeftButton);
  EXPECT_EQ(site.Read("index.htm"), index);
  EXPECT_EQ(site.Read("old.html"), moved);
  EXPECT_FALSE(QFile::exists(site.Path("sub/new.html")));
  EXPECT_EQ(open->Memo()->DocumentBytes(), index);

  // Ticked, the old address keeps a page that sends visitors on; the undo
  // takes it away with the move.
  Find<QCheckBox>(window, "chkRedirect")->setChecked(true);
  QTest::mouseClick(Find<QPushButton>(window, "btnList"), Qt::LeftButton);
  QTest::mouseClick(Find<QPushButton>(window, "btnMove"), Qt::LeftButton);
  EXPECT_NE(site.Read("old.html").find("content=\"0; url=sub/new.html\""), std::string::npos);
  QTest::mouseClick(Find<QPushButton>(window, "btnUndo"), Qt::LeftButton);
  EXPECT_EQ(site.Read("old.html"), moved);
  EXPECT_FALSE(QFile::exists(site.Path("sub/new.html")));
  frame->close();
  // The tick is kept for the next start.
  frame = StartFrame(prompts, site.dir.path());
  frame->action(FrameCommand::LinkUpdate)->trigger();
  window = frame->findChild<QWidget*>(QStringLiteral("LinkUpdate"));
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(Find<QCheckBox>(window, "chkRedirect")->isChecked());
  frame->close();
}

TEST(SiteEndToEnd, SitePanelShowsTheSiteWithPublishMarksRenamesKeepingLinksAndFollowsTheDisk) {
  Site site;
  QTemporaryDir state;
  const std::string index = "<a href=\"about.html\">about</a>\n";
  const std::string about = "<p>about</p>\n";
  site.Put("index.htm", index);
  site.Put("about.html", about);
  site.Put("news.html", "<p>news</p>\n");
  const QString root = QDir(site.dir.path()).canonicalPath();
  transfer::Profile profile = transfer::Profile::Parse("web,ftp.example.com,user,,/");
  profile.Set(transfer::Profile::kSiteFolder, Sjis(root.toStdString()));
  profile.Set(transfer::Profile::kPublishFolder, "/www");
  ASSERT_TRUE(transfer::WriteProfileFile(state.path().toStdString(), {profile.Line()}).ok);
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts, state.path());
  auto* panel = frame->findChild<TSitePanel*>(QStringLiteral("SitePanel"));
  ASSERT_NE(panel, nullptr);

  // ファイル › サイトを開く...: shown, and kept for the next start.
  panel->ChooseFolder = [&](const std::string&) { return root.toStdString(); };
  frame->action(FrameCommand::SiteOpen)->trigger();
  EXPECT_TRUE(panel->isVisible());
  EXPECT_NE(Bytes(state.filePath("Editor.ini")).find("SiteFolder=" + root.toStdString() + "\r\n"),
            std::string::npos);
  auto* tree = Find<QTreeView>(panel, "tvSite");
  auto* model = qobject_cast<QFileSystemModel*>(tree->model());
  const auto names = [&] {
    QStringList shown;
    for (int i = 0; i < model->rowCount(tree->rootIndex()); ++i)
      shown << model->index(i, 0, tree->rootIndex()).data().toString();
    shown.sort();
    return shown.join(' ');
  };
  EXPECT_TRUE(Soon([&] { return names() == QStringLiteral("about.html index.htm news.html"); })) << names().toStdString();
  const auto mark = [&](const char* name) {
    return model->index(root + '/' + name).siblingAtColumn(1).data().toString();
  };
  EXPECT_EQ(mark("index.htm"), QString());  // nothing published yet

  // The last publish sent index.htm as it is and about.html with other bytes of its size.
  publish::SyncRecord record;
  record.files["index.htm"].size = static_cast<int64_t>(index.size());
  record.files["index.htm"].sha256 = *publish::FileSha256(site.Path("index.htm").toStdString());
  record.files["about.html"].size = static_cast<int64_t>(about.size());
  record.files["about.html"].sha256 = std::string(64, '0');
  const auto record_path = publish::ProfileRecordPath(state.path().toStdString(), profile.Line());
  ASSERT_TRUE(record_path);
  ASSERT_TRUE(publish::SaveRecord(*record_path, record));
  EXPECT_TRUE(Soon([&] { return mark("index.htm") == QStringLiteral("公開済み"); })) << mark("index.htm").toStdString();
  EXPECT_EQ(mark("about.html"), QStringLiteral("変更あり"));
  EXPECT_EQ(mark("news.html"), QStringLiteral("新規"));
  // Edited on disk with its size kept: the hash tells.
  ASSERT_TRUE(WriteFileAtomically(site.Path("index.htm").toStdString(),
                                  "<a href=\"about.html\">ABOUT</a>\n"));
  EXPECT_TRUE(Soon([&] { return mark("index.htm") == QStringLiteral("変更あり"); })) << mark("index.htm").toStdString();
  ASSERT_TRUE(WriteFileAtomically(site.Path("index.htm").toStdString(), index));

  // Activating a page (Enter, or a double click) opens it through the frame's open.
  tree->setCurrentIndex(model->index(root + "/news.html"));
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Return);
  ASSERT_TRUE(Soon([&] { return frame->Children().size() == 1; }));
  EXPECT_EQ(frame->Children()[0]->Caption(), root + "/news.html");

  // 名前の変更 goes through リンクの更新: the linking page follows, one 元に戻す puts all back.
  tree->setCurrentIndex(model->index(root + "/about.html"));
  prompts.inputs = {std::string("profile.html")};
  panel->findChild<QAction*>(QStringLiteral("actRename"))->trigger();
  auto* links = frame->findChild<QWidget*>(QStringLiteral("LinkUpdate"));
  ASSERT_TRUE(links && links->isVisible());
  ASSERT_EQ(Find<QTreeWidget>(links, "lvChanges")->topLevelItemCount(), 1);
  QTest::mouseClick(Find<QPushButton>(links, "btnMove"), Qt::LeftButton);
  EXPECT_EQ(site.Read("index.htm"), "<a href=\"profile.html\">about</a>\n");
  EXPECT_TRUE(Soon([&] { return names() == QStringLiteral("index.htm news.html profile.html"); })) << names().toStdString();
  QTest::mouseClick(Find<QPushButton>(links, "btnUndo"), Qt::LeftButton);
  EXPECT_EQ(site.Read("index.htm"), index);
  EXPECT_EQ(site.Read("about.html"), about);

  // A file made by another program shows up.
  site.Put("later.html", "<p>later</p>\n");
  EXPECT_TRUE(Soon([&] { return names() == QStringLiteral("about.html index.htm later.html news.html"); })) << names().toStdString();
  EXPECT_TRUE(prompts.asked.size() == 1u) << prompts.asked.size();  // only the name was asked
  frame->close();
}


TEST(SiteEndToEnd, AnUnclosedDivIsMarkedInTheMarginAfterThePauseAndUnmarkedWhenClosed) {
  Site site;
  const std::string head = Sjis(
      "<!DOCTYPE html>\r\n<html lang=\"ja\"><head><title>表</title></head>\r\n<body>\r\n"
      "<p>ソ</p>\r\n");
  site.Put("marks.htm", head + "</body></html>\r\n");
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts, site.dir.path());
  frame->action(FrameCommand::ClosingTags)->trigger();  // the <div> stays open as typed
  ASSERT_TRUE(frame->action(FrameCommand::MarkupMarks)->isChecked());  // on for a new user
  TMDIChild* child = frame->OpenDocument(site.Path("marks.htm"));
  text::QtEditPane* memo = child->Memo();
  const int pause = text::QtEditPane::kMarkupPauseMs;
  QTest::qWait(pause + 700);
  EXPECT_TRUE(memo->LineMarks().empty());  // a sound page has none

  memo->SetSelStart(head.size());
  QTest::keyClicks(memo, QStringLiteral("<div>x"));
  QElapsedTimer paused;
  paused.start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !memo->LineMarks().empty(); },
                              test_support::BoundMs(1'000)));
  EXPECT_LT(paused.elapsed(), test_support::BoundMs(1'000));
  ASSERT_FALSE(memo->LineMarks().empty());
  // On the line of the <div> (the 5th), the message as the margin's tooltip.
  const text::QtEditPane::LineMark mark = memo->LineMarks().front();
  EXPECT_EQ(mark.line, 4);
  EXPECT_TRUE(mark.message.contains(QStringLiteral("div"))) << mark.message.toStdString();
  const QTextBlock block = memo->document()->findBlockByNumber(mark.line);
  const int y = memo->cursorRect(QTextCursor(block)).center().y();
  EXPECT_EQ(memo->GutterToolTip(y), mark.message);

  // Closed: the mark goes after the next pause.
  QTest::keyClicks(memo, QStringLiteral("</div>"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return memo->LineMarks().empty(); },
                              test_support::BoundMs(1'500)))
      << memo->LineMarks().front().message.toStdString();

  // The caret in the end tag: both tags highlighted; Ctrl+M goes to the
  // start tag and back.
  memo->SetSelStart(head.size() + 8);
  QCoreApplication::processEvents();
  EXPECT_EQ(memo->MatchedTags().size(), 2u);
  QAction* jump = frame->action(FrameCommand::MatchingTag);
  EXPECT_EQ(jump->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
  jump->trigger();
  EXPECT_EQ(memo->SelStart(), head.size());
  jump->trigger();
  EXPECT_EQ(memo->SelStart(), head.size() + 6);
  memo->SetSelStart(head.size() + 12);

  // A check still running when the text changes never shows its result:
  // the end tag is taken out, and typed again while the check of the page
  // without it runs.
  std::atomic<int> started{0}, finished{0};
  memo->SetMarkupChecker([&](const std::string& bytes, text::Encoding encoding) {
    ++started;
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    std::vector<text::QtEditPane::MarkupMark> marks;
    for (site::MarkupIssue& issue : site::CheckMarkup(bytes, encoding))
      marks.push_back({issue.line, true, issue.message});
    ++finished;
    return marks;
  });
  for (int i = 0; i < 6; ++i) QTest::keyClick(memo, Qt::Key_Backspace);
  ASSERT_TRUE(QTest::qWaitFor([&] { return started == 1; }, test_support::BoundMs(2'000)));
  QTest::keyClicks(memo, QStringLiteral("</div>"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 1; }, test_support::BoundMs(2'000)));
  QTest::qWait(50);  // the result's way back to the window
  EXPECT_TRUE(memo->LineMarks().empty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 2; }, test_support::BoundMs(3'000)));
  QTest::qWait(50);
  EXPECT_TRUE(memo->LineMarks().empty());

  // Off: no marks, and so kept.
  frame->action(FrameCommand::MarkupMarks)->trigger();
  EXPECT_FALSE(memo->MarkupMarks());
  EXPECT_FALSE(EditorSettings::Load(site.Path("Editor.ini").toStdString()).markup_marks);
  memo->SetModified(false);
  frame->close();
}

TEST(SiteEndToEnd, PhoneWidthLaysThePreviewOutAt375CssPixelsAndIsKept) {
  ASSERT_TRUE(kSchemeRegistered);
  Site site;
  site.Put("w.htm", Sjis("<html><head><meta name=\"viewport\" content=\"width=device-width\">"
                         "</head><body><p>幅</p></body></html>\r\n"));
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts, site.dir.path());
  frame->resize(1200, 900);
  TMDIChild* child = frame->OpenDocument(site.Path("w.htm"));
  child->parentWidget()->showMaximized();
  ASSERT_TRUE(frame->action(FrameCommand::PreviewPc)->isChecked());
  frame->action(FrameCommand::PreviewPhone)->trigger();
  const QString width = QStringLiteral("window.innerWidth + ',' + window.devicePixelRatio");
  const auto shows = [&](const QString& want) {
    return QTest::qWaitFor([&] { return Evaluate(child, width).toString() == want; },
                           test_support::BoundMs(15'000));
  };
  // The preview, then the live preview, at 375 CSS pixels and a ratio of 2.
  frame->Image1Click();
  EXPECT_TRUE(shows(QStringLiteral("375,2"))) << Evaluate(child, width).toString().toStdString();
  frame->action(FrameCommand::LivePreview)->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return child->WebBrowser()->url().scheme() != "file"; },
                              test_support::BoundMs(15'000)));
  EXPECT_TRUE(shows(QStringLiteral("375,2"))) << Evaluate(child, width).toString().toStdString();
  EXPECT_EQ(EditorSettings::Load(site.Path("Editor.ini").toStdString()).preview_width,
            kPreviewPhone);
  // タブレット and PC: 768, then the pane's own width.
  frame->action(FrameCommand::PreviewTablet)->trigger();
  EXPECT_TRUE(shows(QStringLiteral("768,1"))) << Evaluate(child, width).toString().toStdString();
  frame->action(FrameCommand::PreviewPc)->trigger();
  EXPECT_TRUE(shows(QStringLiteral("%1,1").arg(child->WebBrowser()->width())))
      << Evaluate(child, width).toString().toStdString();
  frame->close();
}

// One author's session on one Shift-JIS page of a site, through the real
// window: end tags, an abbreviation, the site's images offered, a mark for an
// unclosed <div> that goes when it is closed, a phone photo dropped on the
// text, the page saved as typed, and its preview at a phone's width.
// Characters an input method commits come as one key with its text.
void Type(QWidget* pane, const QString& text) {
  QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, text);
  QApplication::sendEvent(pane, &key);
}

TEST(SiteEndToEnd, AShiftJisPageWrittenWithEveryAidSavesAsTypedAndPreviewsAtPhoneWidth) {
  ASSERT_TRUE(kSchemeRegistered);
  Site site;
  QDir(site.dir.path()).mkpath(QStringLiteral("img"));
  site.Put("img/photo.png", "x");
  site.Put("img/写真.jpg", "x");
  site.Put("style.css", "x");
  QImage stored(2000, 1000, QImage::Format_RGB32);
  stored.fill(qRgb(90, 140, 200));
  const std::string original = photo::Jpeg(stored, 6);  // upright it is 1000 x 2000
  QTemporaryDir program;  // the photo comes from outside the site
  const QString photo = program.filePath(QStringLiteral("phone.jpg"));
  std::ofstream(photo.toStdString(), std::ios::binary) << original;
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path().toStdString(),
                  {transfer::JoinCommaText({"site", "ftp.invalid", "u", "", "/", "auto", "auto",
                                            *text::Utf8ToCp932(site.dir.path().toStdString())})})
                  .ok);
  const std::string head = Sjis(
      "<!DOCTYPE html>\r\n<html lang=\"ja\"><head><meta charset=\"Shift_JIS\">"
      "<meta name=\"viewport\" content=\"width=device-width\"><title>旅</title></head>\r\n"
      "<body>\r\n<p>表示ソ</p>\r\n");
  const std::string tail = "\r\n</body></html>\r\n";
  site.Put("walk.htm", head + tail);
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts, program.path());
  new FileDrops(*frame);
  frame->resize(1200, 900);
  TMDIChild* child = frame->OpenDocument(site.Path("walk.htm"));
  ASSERT_NE(child, nullptr);
  child->parentWidget()->showMaximized();
  text::QtEditPane* memo = child->Memo();
  memo->SetSelStart(head.size());
  std::string typed = head;  // the page as it should stand, up to the caret

  // <ul> is closed with the caret between; li*3 and Tab make three items.
  QTest::keyClicks(memo, QStringLiteral("<ul>"));
  EXPECT_EQ(memo->Text(), typed + "<ul></ul>" + tail);
  EXPECT_EQ(memo->SelStart(), typed.size() + 4);
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, QStringLiteral("li*3"));
  QTest::keyClick(memo, Qt::Key_Tab);
  EXPECT_EQ(memo->Text(), typed + "<ul>\r\n<li></li>\r\n<li></li>\r\n<li></li></ul>" + tail);
  EXPECT_EQ(memo->SelStart(), typed.size() + 10);
  for (const char* item : {"一", "二", "三"}) {  // each item gets its words
    memo->SetSelStart(memo->Text().find("<li></li>") + 4);
    Type(memo, QString::fromUtf8(item));
  }
  typed += Sjis("<ul>\r\n<li>一</li>\r\n<li>二</li>\r\n<li>三</li></ul>\r\n");
  EXPECT_EQ(memo->Text(), typed.substr(0, typed.size() - 2) + tail);
  memo->SetSelStart(typed.size() - 2);
  QTest::keyClick(memo, Qt::Key_Return);

  // <img src=" lists the site's images only, relative to the page.
  QTest::keyClicks(memo, QStringLiteral("<img src=\""));
  EXPECT_TRUE(Soon([&] { return memo->CompletionShown(); }));
  EXPECT_EQ(memo->CompletionLabels().join(QLatin1Char(',')),
            QStringLiteral("img/photo.png,img/写真.jpg"));
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, QStringLiteral("\" alt=\""));
  Type(memo, QStringLiteral("写真"));
  QTest::keyClicks(memo, QStringLiteral("\">"));
  EXPECT_FALSE(memo->CompletionShown());
  typed += Sjis("<img src=\"img/photo.png\" alt=\"写真\">");
  EXPECT_EQ(memo->Text(), typed + tail);

  // The page so far is sound: after the pause no line is marked.
  const int pause = text::QtEditPane::kMarkupPauseMs;
  QTest::qWait(pause + 700);
  EXPECT_TRUE(memo->LineMarks().empty()) << memo->LineMarks().front().message.toStdString();
  // A <div> left open (its end tag taken out) is marked within a second of
  // the pause, on its line; closed, the mark goes.
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, QStringLiteral("<div>"));
  for (int i = 0; i < 6; ++i) QTest::keyClick(memo, Qt::Key_Delete);
  Type(memo, QStringLiteral("旅"));
  typed += Sjis("\r\n<div>旅");
  EXPECT_EQ(memo->Text(), typed + tail);
  QElapsedTimer paused;
  paused.start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !memo->LineMarks().empty(); },
                              test_support::BoundMs(pause + 1'000)));
  EXPECT_LT(paused.elapsed(), test_support::BoundMs(pause + 1'000));
  ASSERT_FALSE(memo->LineMarks().empty());
  EXPECT_EQ(memo->LineMarks().front().line, 9);
  EXPECT_TRUE(memo->LineMarks().front().message.contains(QStringLiteral("div")));
  QTest::keyClicks(memo, QStringLiteral("</div>"));
  typed += "</div>";
  EXPECT_EQ(memo->Text(), typed + tail);
  EXPECT_TRUE(QTest::qWaitFor([&] { return memo->LineMarks().empty(); },
                              test_support::BoundMs(pause + 1'000)))
      << memo->LineMarks().front().message.toStdString();

  // A GPS-tagged phone photo dropped at the caret: a small clean copy in the
  // site's images/ and an <img> with its upright size.
  QTimer answer;
  int asked = 0;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != QStringLiteral("PictureInsert")) return;
    ++asked;
    dialog->findChild<QLineEdit*>(QStringLiteral("alt"))->setText(QStringLiteral("海の写真"));
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  answer.start(20);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(photo)});
  const QPoint at = memo->cursorRect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(memo->viewport(), &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(memo->viewport(), &drop);
  typed += Sjis("<img src=\"images/phone.webp\" width=\"800\" height=\"1600\" alt=\"海の写真\">");
  EXPECT_TRUE(Soon([&] { return memo->Text() == typed + tail; })) << memo->Text();
  answer.stop();
  EXPECT_EQ(asked, 1);
  const std::string copy = site.Read("images/phone.webp");
  ASSERT_FALSE(copy.empty());
  EXPECT_LT(copy.size(), original.size());
  EXPECT_EQ(copy.find("Exif"), std::string::npos);
  EXPECT_EQ(copy.find(std::string("\x61\x1e\x00\x00", 4)), std::string::npos);  // GPS seconds
  EXPECT_EQ(Bytes(photo), original);

  // Saved, the file holds exactly the bytes typed.
  frame->action(FrameCommand::FileSave)->trigger();
  EXPECT_FALSE(memo->Modified());
  EXPECT_EQ(site.Read("walk.htm"), typed + tail);

  // スマートフォン lays the page out at 375 CSS pixels, at a ratio of 2.
  frame->action(FrameCommand::PreviewPhone)->trigger();
  frame->Image1Click();
  const QString width = QStringLiteral("window.innerWidth + ',' + window.devicePixelRatio");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Evaluate(child, width).toString() == QStringLiteral("375,2"); },
      test_support::BoundMs(15'000)))
      << Evaluate(child, width).toString().toStdString();
  frame->close();
}

}  // namespace
}  // namespace hemlo
