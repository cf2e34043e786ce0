// The program as a desktop application: the session ending under it, pages
// handed over by the desktop, the guide, the web engine's own texts.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QWebEngineView>
#include <QDropEvent>
#include <QMdiArea>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <csignal>
#include <algorithm>
#include <fstream>

#include "app/session_end.h"
#include "app/startup.h"
#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "shell/desktop_open.h"
#include "shell/help.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "shell/recovery.h"
#include "text/cp932.h"

namespace hemlo {
namespace {

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    PrepareApplication(*qApp);
    SetProgramFolder(folder_.path().toStdString());
  }
  std::unique_ptr<TMainForm> Start() {
    Forms forms = CreateForms();
    std::unique_ptr<TMainForm> frame(forms.MainForm);
    frame->SetPrompts(&prompts_);
    frame->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    return frame;
  }
  static void Finish(std::unique_ptr<TMainForm>& frame) {
    for (TMDIChild* c : frame->Children()) c->Memo()->SetModified(false);
    frame->close();
    frame.reset();
  }
  QString Page(const char* name, const char* text) {
    const QString path = folder_.filePath(QString::fromUtf8(name));
    std::ofstream(path.toStdString(), std::ios::binary) << text;
    return path;
  }

  QTemporaryDir folder_;
  ScriptedPrompts prompts_;
};

TEST_F(Desktop, SigtermKeepsModifiedPagesThatTheNextStartOffers) {
  struct Case {
    const char* what;
    std::vector<const char*> blocked;  // plain files where folders would go
    const char* kept_in;               // nullptr: nowhere, the run ends with 1
  };
  const Case cases[] = {
      {"the recovery folder", {}, "state/recovery"},
      {"the state folder's parent when recovery/ cannot be written",
       {"state/recovery"},
       "Hemlo2-recovery"},
      {"nowhere", {"state/recovery", "Hemlo2-recovery"}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string root = folder_.path().toStdString() + "/";
    std::filesystem::remove_all(root + "state");
    std::filesystem::remove_all(root + "Hemlo2-recovery");
    std::filesystem::create_directories(root + "state");
    SetProgramFolder(root + "state");
    for (const char* name : c.blocked) std::ofstream(root + name) << "not a folder";
    prompts_.asked.clear();
    // A UTF-8 page with a character Shift-JIS lacks must come back as UTF-8.
    const QString page = Page("top.htm", "<p>old \xF0\x9F\x98\x80</p>\r\n");
    std::string edited_bytes;
    int exit_code = -1;
    {
      auto frame = Start();
      SessionEnd session;
      session.quit = [&](int code) { exit_code = code; };
      session.Attach(frame.get());
      TMDIChild* edited = frame->OpenDocument(page);
      edited->Memo()->ReplaceSelection("<!-- edited -->");
      edited_bytes = edited->Memo()->DocumentBytes();
      ASSERT_NE(edited_bytes.find("edited"), std::string::npos);
      ASSERT_NE(edited_bytes.find("\xF0\x9F\x98\x80"), std::string::npos);
      frame->FileNew1Execute();
      frame->ActiveChild()->Memo()->SetText("<p>new page</p>\r\n");
      for (TMDIChild* child : frame->Children()) child->Memo()->SetModified(true);
      ::raise(SIGTERM);
      ASSERT_TRUE(QTest::qWaitFor([&] { return exit_code >= 0; }, 5000));
      EXPECT_TRUE(prompts_.asked.empty());
      Finish(frame);
    }
    EXPECT_EQ(exit_code, c.kept_in ? 0 : 1);
    if (c.kept_in) {
      EXPECT_EQ(shell::ListRecoveryCopies(root + c.kept_in).size(), 2u);
    }
    std::string history;
    std::getline(std::ifstream(root + "state/Rireki.ini"), history);
    EXPECT_EQ(history, page.toStdString() + "\r");
    std::string untouched;
    std::getline(std::ifstream(page.toStdString()), untouched);
    EXPECT_EQ(untouched, "<p>old \xF0\x9F\x98\x80</p>\r");
    if (!c.kept_in) continue;

    // Next start: はい opens both as modified pages under their own names,
    // and the question says where they were kept when it was not recovery/.
    prompts_.answers.push_back(Answer::Yes);
    auto frame = Start();
    OfferRecoveredPages(*frame);
    ASSERT_EQ(prompts_.asked.size(), 1u);
    EXPECT_NE(prompts_.asked[0].text.find("2 件"), std::string::npos);
    EXPECT_EQ(prompts_.asked[0].text.find(root + "Hemlo2-recovery") != std::string::npos,
              !c.blocked.empty());
    const auto children = frame->Children();
    ASSERT_EQ(children.size(), 2);
    QStringList captions;
    std::vector<std::string> texts;
    for (TMDIChild* child : children) {
      captions << child->Caption();
      texts.push_back(child->Memo()->DocumentBytes());
      EXPECT_TRUE(child->Memo()->Modified());
    }
    EXPECT_TRUE(captions.contains(page) && captions.contains(QString()));
    EXPECT_NE(std::find(texts.begin(), texts.end(), edited_bytes), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "<p>new page</p>\r\n"), texts.end());
    EXPECT_TRUE(shell::ListRecoveryCopies(root + c.kept_in).empty());
    Finish(frame);
  }
}

TEST_F(Desktop, ArgumentsAndDroppedFilesOpenThroughTheNormalOpen) {
  auto frame = Start();
  new FileDrops(*frame);
  const QString first = Page("a.htm", "a\r\n");
  const QString second = Page("b.htm", "b\r\n");
  // A name not taken yet starts a new page of that name, written by 上書き保存
  // without a dialog; a missing folder is refused.
  const QString fresh = folder_.filePath("new.htm");
  OpenPaths(*frame, {first, fresh, folder_.filePath("gone/x.htm")});
  ASSERT_EQ(frame->Children().size(), 2);
  EXPECT_EQ(frame->ActiveChild()->Caption(), fresh);
  ASSERT_EQ(prompts_.asked.size(), 1u);
  EXPECT_NE(prompts_.asked[0].text.find("フォルダが見つかりません"), std::string::npos);
  frame->ActiveChild()->Memo()->SetText("<p>new</p>\r\n");
  frame->FileSaveItemClick();
  EXPECT_EQ(prompts_.asked.size(), 1u);
  std::string saved;
  std::getline(std::ifstream(fresh.toStdString()), saved);
  EXPECT_EQ(saved, "<p>new</p>\r");
  frame->FileCloseItemClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame->Children().size() == 1; }, 5000));
  OpenPaths(*frame, {QUrl::fromLocalFile(second).toString()});
  ASSERT_EQ(frame->Children().size(), 2);
  EXPECT_EQ(frame->ActiveChild()->Caption(), second);
  EXPECT_EQ(frame->history().Slots()[0], second.toStdString());
  EXPECT_EQ(frame->history().Slots()[1], fresh.toStdString());
  EXPECT_EQ(frame->history().Slots()[2], first.toStdString());

  // A file dropped on a document window's edit pane opens instead of landing in the text.
  const QString dropped = Page("c.htm", "c\r\n");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(dropped)});
  QWidget* target = frame->ActiveChild()->Memo()->viewport();
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame->Children().size() == 3; }, 5000));
  EXPECT_EQ(frame->ActiveChild()->Caption(), dropped);
  EXPECT_EQ(frame->Children()[1]->Memo()->Text(), "b\r\n");

  // The README's picture: a page and its preview.
  const std::string html = text::Sjis(
      "<html>\r\n<head><title>わたしのページ</title></head>\r\n<body>\r\n"
      "<h1>ようこそ</h1>\r\n<p>Hemlo２で書いた<b>はじめてのページ</b>です。</p>\r\n"
      "<ul>\r\n<li>日記</li>\r\n<li>写真</li>\r\n<li>リンク</li>\r\n</ul>\r\n</body>\r\n</"
      "html>\r\n");
  TMDIChild* shown = frame->OpenDocument(Page("index.htm", html.c_str()));
  QSignalSpy loaded(shown->WebBrowser(), &QWebEngineView::loadFinished);
  frame->resize(900, 620);
  shown->parentWidget()->showMaximized();
  frame->Image1Click();
  if (QTest::qWaitFor(
          [&] {
            return shown->WebBrowser()->url().fileName() == "indexbak.htm" && !loaded.isEmpty();
          },
          20000)) {
    QDir dir(QString::fromLocal8Bit(qgetenv("HEMLO_BUILD_DIR")));
    dir.mkpath(QStringLiteral("screenshots"));
    frame->grab().save(dir.filePath(QStringLiteral("screenshots/desktop_page.png")));
  }
  Finish(frame);
}

class UrlCatcher : public QObject {
  Q_OBJECT
 public slots:
  void open(const QUrl& url) { urls << url; }

 public:
  QList<QUrl> urls;
};

TEST_F(Desktop, HelpShowsTheInstalledGuideInItsOwnWindowOrSaysItIsMissing) {
  auto frame = Start();
  // Never through the desktop's handler for HTML files, which may be this editor.
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
  frame->mnuHelpClick();  // the guide the build copies beside the executable
  frame->mnuHelpClick();  // a second time: the same window
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  EXPECT_TRUE(catcher.urls.isEmpty());
  const auto windows = frame->findChildren<HelpWindow*>();
  ASSERT_EQ(windows.size(), 1);
  HelpWindow* help = windows[0];
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return help->view()->url().toLocalFile().endsWith("/share/hemlo2/help/index.html") &&
               help->windowTitle() == "Hemlo２ 使用方法" &&
               help->view()->title() == "Hemlo２ 使用方法";
      },
      20000))
      << help->view()->title().toStdString();
  EXPECT_TRUE(frame->Children().isEmpty());
  EXPECT_EQ(frame->history().Slots()[0], "");

  // The guide names every command of the frame's menus.
  QString guide;
  for (const QFileInfo& page : QDir(HelpFolder()).entryInfoList({QStringLiteral("*.html")})) {
    QFile file(page.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    guide += QString::fromUtf8(file.readAll());
  }
  for (int c = 0; c < static_cast<int>(FrameCommand::kCount); ++c) {
    QAction* a = frame->action(static_cast<FrameCommand>(c));
    const auto places = a->associatedObjects();
    if (std::none_of(places.begin(), places.end(),
                     [](QObject* o) { return qobject_cast<QMenu*>(o) != nullptr; }))
      continue;  // toolbar buttons only
    const QString name =
        a->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|\\.\\.\\.$")));
    EXPECT_TRUE(guide.contains(name)) << "the guide never names " << name.toStdString();
  }

  SetHelpFolder(folder_.filePath("nothing"));
  prompts_.answers = {Answer::Ok};
  frame->mnuHelpClick();
  SetHelpFolder(QString());
  ASSERT_EQ(prompts_.asked.size(), 1u);
  EXPECT_NE(prompts_.asked[0].text.find("インストールされていません"), std::string::npos);

  // The web pane's own menu speaks Japanese.
  frame->FileNew1Execute();
  EXPECT_EQ(frame->ActiveChild()->WebBrowser()->page()->action(QWebEnginePage::Back)->text(),
            "戻る");
  EXPECT_EQ(frame->ActiveChild()->WebBrowser()->page()->action(QWebEnginePage::ViewSource)->text(),
            "ページのソースを表示");
  Finish(frame);
}

}  // namespace
}  // namespace hemlo

#include "desktop_test.moc"
