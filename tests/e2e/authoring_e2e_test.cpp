// Authoring commands and files through the real menus of the real frame.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <filesystem>
#include <fstream>

#include "app/startup.h"
#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "text/cp932.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "webview/ui_web_browser.h"

namespace hemlo {
namespace {

using text::Sjis;

std::unique_ptr<TMainForm> StartFrame(ScriptedPrompts& prompts) {
  Forms forms = CreateForms();
  std::unique_ptr<TMainForm> frame(forms.MainForm);
  frame->SetPrompts(&prompts);
  frame->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  return frame;
}

std::string ReadFile(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(AuthoringEndToEnd, TemplateWordSaveAndReopenAfterRestart) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  PrepareApplication(*qApp);
  SetProgramFolder(folder.path().toStdString());
  const QString page = folder.filePath(QStringLiteral("新しいページ.htm"));
  ScriptedPrompts prompts;
  prompts.inputs = {page.toStdString()};
  std::string expected;
  {
    auto frame = StartFrame(prompts);
    frame->action(FrameCommand::BasicHtml)->trigger();  // no window: opens one, asks nothing
    ASSERT_EQ(frame->Children().size(), 1);
    TMDIChild* child = frame->ActiveChild();
    EXPECT_EQ(child->Memo()->TextLength(), 401u);
    EXPECT_EQ(child->Memo()->SelStart(), 318u);
    EXPECT_FALSE(child->Memo()->Modified());
    EXPECT_TRUE(prompts.asked.empty());
    QKeyEvent kanji(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("語"));
    QApplication::sendEvent(child->Memo(), &kanji);
    QTest::keyClicks(child->Memo(), QStringLiteral("word"));
    expected = child->Memo()->Text();
    frame->action(FrameCommand::FileSaveAs)->trigger();
    EXPECT_FALSE(child->Memo()->Modified());
    frame->close();
  }
  const std::string on_disk = ReadFile(page);
  EXPECT_EQ(on_disk, expected);
  ASSERT_EQ(on_disk.size(), 401u + 6u);
  EXPECT_EQ(on_disk.substr(318, 6), Sjis("語word"));
  EXPECT_EQ(on_disk.substr(318 - 17, 17), "bgcolor=\"#ffffff\"");
  // Every line break is CRLF.
  for (std::size_t i = 0; i < on_disk.size(); ++i) {
    if (on_disk[i] == '\n') {
      ASSERT_EQ(on_disk[i - 1], '\r');
    }
  }

  // Restart: the history brings the page back.
  auto frame = StartFrame(prompts);
  EXPECT_EQ(frame->history_action(0)->text(), page);
  frame->history_action(0)->trigger();
  ASSERT_EQ(frame->Children().size(), 1);
  EXPECT_EQ(frame->ActiveChild()->Memo()->Text(), on_disk);
  EXPECT_EQ(frame->ActiveChild()->Caption(), page);
  frame->close();
}

TEST(AuthoringEndToEnd, FilesComeBackByteForByteWithCrLf) {
  QTemporaryDir folder;
  PrepareApplication(*qApp);
  SetProgramFolder(folder.path().toStdString());
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts);
  auto round_trip = [&](const std::string& name, const std::string& bytes) {
    const QString path = folder.filePath(QString::fromStdString(name));
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
    TMDIChild* child = frame->OpenDocument(path);
    child->Memo()->SetModified(true);
    frame->FileSaveItemClick();
    EXPECT_FALSE(child->Memo()->Modified());
    return ReadFile(path);
  };
  EXPECT_EQ(round_trip("lf.htm", "a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(round_trip("cr.htm", "a\rb"), "a\r\nb");  // no final break stays so
  // Invalid Shift-JIS (stray trail byte, lone lead byte at the end, 0xA0,
  // 0xFD-0xFF, NUL) and a NEC row-13 duplicate come back identical.
  const std::string odd("x\x40\x80\xA0\xFD\xFE\xFF\0\x87\x90\xFA\x5B\x81\x5C\x82", 15);
  EXPECT_EQ(round_trip("odd.htm", odd), odd);
  // An empty page is never written and asks nothing.
  TMDIChild* empty = frame->OpenDocument(QString());
  frame->FileSaveItemClick();
  EXPECT_TRUE(prompts.asked.empty());
  empty->Memo()->SetModified(false);
  frame->close();
}

TEST(AuthoringEndToEnd, ThreeCommandsThroughTheMenus) {
  QTemporaryDir folder;
  PrepareApplication(*qApp);
  SetProgramFolder(folder.path().toStdString());
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts);
  // Without a document window the commands do nothing.
  frame->findChild<QAction*>(QStringLiteral("Font1Click_2"))->trigger();
  EXPECT_TRUE(frame->Children().isEmpty());

  TMDIChild* child = frame->OpenDocument(QString());
  child->Memo()->SetText(Sjis("あword"));
  child->Memo()->SetSelStart(2);
  child->Memo()->SetSelLength(4);
  frame->findChild<QAction*>(QStringLiteral("Font1Click_2"))->trigger();  // 太字
  EXPECT_EQ(child->Memo()->Text(), Sjis("あ<b>word</b>"));
  EXPECT_EQ(child->Memo()->SelStart(), 13u);
  frame->findChild<QAction*>(QStringLiteral("mnuKaigyoClick_0"))
      ->trigger();  // 改行 with nothing selected
  EXPECT_EQ(child->Memo()->Text(), Sjis("あ<b>word</b><br>\r\n"));
  child->Memo()->SelectAll();
  frame->action(FrameCommand::Comment)->trigger();  // コメント化
  EXPECT_EQ(child->Memo()->Text(), Sjis("<!--あ<b>word</b><br>\r\n-->\r\n"));
  EXPECT_TRUE(child->Memo()->Modified());
  // 元に戻す undoes each command in turn, やり直し redoes it.
  frame->action(FrameCommand::Undo)->trigger();
  EXPECT_EQ(child->Memo()->Text(), Sjis("あ<b>word</b><br>\r\n"));
  frame->action(FrameCommand::Undo)->trigger();
  EXPECT_EQ(child->Memo()->Text(), Sjis("あ<b>word</b>"));
  frame->action(FrameCommand::Redo)->trigger();
  frame->action(FrameCommand::Redo)->trigger();
  EXPECT_EQ(child->Memo()->Text(), Sjis("<!--あ<b>word</b><br>\r\n-->\r\n"));
  // 文字コード変換: to UTF-8 and back; an emoji keeps the page UTF-8.
  frame->action(FrameCommand::ConvertEncoding)->trigger();
  EXPECT_EQ(child->Memo()->DocumentBytes(), "<!--\xE3\x81\x82<b>word</b><br>\r\n-->\r\n");
  EXPECT_EQ(frame->StatusBar1()->panel(2)->text(), QStringLiteral("UTF-8"));
  child->Memo()->SetSelStart(0);
  child->Memo()->insertPlainText(QStringLiteral("😀"));
  prompts.answers.push_back(Answer::Ok);
  frame->action(FrameCommand::ConvertEncoding)->trigger();
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_NE(prompts.asked.back().text.find("😀"), std::string::npos);
  EXPECT_EQ(child->Memo()->DocumentEncoding(), text::Encoding::kUtf8);
  // A byte that is no Shift-JIS character would leave invalid UTF-8 that
  // reads back as Shift-JIS: the conversion to UTF-8 is refused, naming it.
  child->Memo()->LoadDocument(Sjis("日") + "\x80", text::Encoding::kShiftJis);
  prompts.answers.push_back(Answer::Ok);
  frame->action(FrameCommand::ConvertEncoding)->trigger();
  EXPECT_EQ(prompts.asked.back().text,
            "Shift-JIS として読めないバイトがあるため UTF-8 に変換できません（0x80）");
  EXPECT_EQ(child->Memo()->DocumentBytes(), Sjis("日") + "\x80");
  // 色分け表示 and 行番号 are kept in Editor.ini.
  frame->action(FrameCommand::LineNumbers)->trigger();
  EXPECT_FALSE(child->Memo()->LineNumbers());
  EXPECT_EQ(EditorSettings::Load(folder.path().toStdString() + "/Editor.ini").line_numbers, false);
  child->Memo()->SetModified(false);
  frame->close();
}

// Runs `act` on the next modal dialog once it is up (20 s at most).
void WhenModal(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer(qApp);
  const QDeadlineTimer deadline(20000);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act, deadline] {
    QWidget* w = QApplication::activeModalWidget();
    if ((w == nullptr || !w->isVisible()) && !deadline.hasExpired()) return;
    poll->deleteLater();
    if (w != nullptr) act(w);
  });
  poll->start(20);
}

// The acceptance run for both encodings: a page opens from disk, takes a
// table from the builder dialog, a link and a transform found with the find
// dialog, previews with its characters intact, undoes and redoes every
// command, and saves as its own bytes plus exactly the edits.
TEST(AuthoringEndToEnd, PagesOfBothEncodingsTakeCommandsPreviewUndoAndSaveExactly) {
  struct Page {
    const char* name;
    std::string file, saved;
    QString title, link, kana, shown;
  };
  const std::string table_head = "<table border=\"1\" width=\"320\" height=\"150\">\r\n <caption>";
  const std::string table_rows =
      "</caption>\r\n<TR><TD>data</TD><TD>data</TD></TR>\r\n"
      "<TR><TD>data</TD><TD>data</TD></TR>\r\n</table>";
  const std::string head = "<html><head><meta charset=\"";
  const std::string tail = "\r\n</body></html>\r\n";
  const std::string link = "<a href=\"http://ここにURLを入れてね\">";
  const Page pages[] = {
      {"utf8.htm", head + "utf-8\"></head><body>\r\n<p>ｶﾅ😀 naïve</p>" + tail,
       head + "utf-8\"></head><body>\r\n" + table_head + "café 😀 ①" + table_rows + "<p>カナ😀 " +
           link + "naïve</a></p>" + tail,
       QStringLiteral("café 😀 ①"), QStringLiteral("naïve"), QStringLiteral("ｶﾅ😀"),
       QStringLiteral("café 😀 ①\n")},
      {"sjis.htm", head + "Shift_JIS\"></head><body>\r\n" + Sjis("<p>ｶﾅ① 髙﨑</p>") + tail,
       head + "Shift_JIS\"></head><body>\r\n" + Sjis(table_head + "㈱ Ⅰ﨑" + table_rows) +
           Sjis("<p>カナ① " + link + "髙﨑</a></p>") + tail,
       QStringLiteral("㈱ Ⅰ﨑"), QStringLiteral("髙﨑"), QStringLiteral("ｶﾅ①"),
       QStringLiteral("㈱ Ⅰ﨑\n")},
  };
  QTemporaryDir folder;
  PrepareApplication(*qApp);
  SetProgramFolder(folder.path().toStdString());
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts);
  for (const Page& page : pages) {
    SCOPED_TRACE(page.name);
    const QString path = folder.filePath(QString::fromLatin1(page.name));
    std::ofstream(path.toStdString(), std::ios::binary) << page.file;
    prompts.inputs.push_back(path.toStdString());
    frame->action(FrameCommand::FileOpen)->trigger();
    TMDIChild* child = frame->ActiveChild();
    ASSERT_NE(child, nullptr);
    text::EditPane& pane = *child->Memo();
    std::vector<std::string> steps{pane.Text()};

    // 表の設定... with a title typed into the builder dialog, at the caret.
    pane.SetSelStart(pane.Text().find("<p>"));
    WhenModal([&](QWidget* dialog) {
      dialog->findChild<QCheckBox*>(QStringLiteral("CheckTitle"))->setChecked(true);
      auto* title = dialog->findChild<QLineEdit*>(QStringLiteral("EdTitle"));
      title->clear();
      title->insert(page.title);
      dialog->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    frame->findChild<QAction*>(QStringLiteral("mnuTableSetClick_0"))->trigger();
    steps.push_back(pane.Text());

    // A link and a transform, on selections made with the find dialog.
    frame->action(FrameCommand::Find)->trigger();
    auto* find = frame->findChild<QDialog*>(QStringLiteral("FindReplace"));
    ASSERT_NE(find, nullptr);
    auto select = [&](const QString& what) {
      find->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(what);
      find->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
      EXPECT_NE(pane.SelLength(), 0u);
    };
    select(page.link);
    frame->findChild<QAction*>(QStringLiteral("URL1Click_0"))->trigger();
    steps.push_back(pane.Text());
    pane.SetSelStart(0);
    select(page.kana);
    prompts.answers.push_back(Answer::Yes);
    frame->action(FrameCommand::HalfWidthKana)->trigger();
    steps.push_back(pane.Text());
    find->hide();

    // Every command is undone and redone in turn.
    for (std::size_t i = steps.size() - 1; i > 0; --i) {
      frame->action(FrameCommand::Undo)->trigger();
      EXPECT_EQ(pane.Text(), steps[i - 1]) << "undo " << i;
    }
    for (std::size_t i = 1; i < steps.size(); ++i) {
      frame->action(FrameCommand::Redo)->trigger();
      EXPECT_EQ(pane.Text(), steps[i]) << "redo " << i;
    }

    // The preview renders the page's characters, caption first.
    frame->Image1Click();
    QString rendered;
    auto body_text = [&] {
      bool done = false;
      child->WebBrowser()->page()->runJavaScript(
          QStringLiteral("document.body ? document.body.innerText : ''"), [&](const QVariant& v) {
            rendered = v.toString();
            done = true;
          });
      (void)QTest::qWaitFor([&] { return done; }, 5000);
      return rendered.startsWith(page.shown);
    };
    EXPECT_TRUE(QTest::qWaitFor(body_text, 20000)) << rendered.toStdString();
    EXPECT_TRUE(rendered.contains(page.link));

    frame->action(FrameCommand::FileSave)->trigger();
    EXPECT_FALSE(pane.Modified());
    EXPECT_EQ(ReadFile(path), page.saved);
  }
  frame->close();
}

TEST(AuthoringEndToEnd, EndTagsAndAbbreviationsWhileTypingOnAShiftJisPage) {
  QTemporaryDir folder;
  PrepareApplication(*qApp);
  SetProgramFolder(folder.path().toStdString());
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts);
  const QString path = folder.filePath(QStringLiteral("sjis.htm"));
  const std::string head = Sjis("<html><body>\r\n\t<p>表示ソ</p>\r\n\t");
  const std::string tail = "\r\n</body></html>\r\n";
  std::ofstream(path.toStdString(), std::ios::binary) << head + tail;
  TMDIChild* child = frame->OpenDocument(path);
  ASSERT_NE(child, nullptr);
  text::QtEditPane* memo = child->Memo();
  text::EditPane& pane = *memo;
  pane.SetSelStart(head.size());

  // <ul> is closed, the caret between; one undo takes both away.
  QTest::keyClicks(memo, QStringLiteral("<ul>"));
  EXPECT_EQ(pane.Text(), head + "<ul></ul>" + tail);
  EXPECT_EQ(pane.SelStart(), head.size() + 4);
  frame->action(FrameCommand::Undo)->trigger();
  EXPECT_EQ(pane.Text(), head + tail);
  frame->action(FrameCommand::Redo)->trigger();
  pane.SetSelStart(head.size() + 4);

  // li*3 and Tab: three items at the page's indentation, the caret in the
  // first; its end tag typed by hand goes over the one there.
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, QStringLiteral("li*3"));
  QTest::keyClick(memo, Qt::Key_Tab);
  const std::string items = "<ul>\r\n\t<li></li>\r\n\t<li></li>\r\n\t<li></li></ul>";
  EXPECT_EQ(pane.Text(), head + items + tail);
  EXPECT_EQ(pane.SelStart(), head.size() + 11);
  frame->action(FrameCommand::Undo)->trigger();  // the expansion, as one step
  EXPECT_EQ(pane.Text(), head + "<ul>\r\n\tli*3</ul>" + tail);
  frame->action(FrameCommand::Redo)->trigger();
  pane.SetSelStart(head.size() + 11);
  QTest::keyClicks(memo, QStringLiteral("</lx<em></em>"));
  EXPECT_EQ(pane.SelStart(), head.size() + 27);
  // Tab after what is no abbreviation indents; the page is saved byte for
  // byte as typed.
  QTest::keyClick(memo, Qt::Key_Tab);
  frame->action(FrameCommand::FileSave)->trigger();
  EXPECT_EQ(ReadFile(path),
            head + "<ul>\r\n\t<li></li>lx<em></em>\t\r\n\t<li></li>\r\n\t<li></li></ul>" + tail);

  // Both can be turned off, and stay so in Editor.ini.
  frame->action(FrameCommand::ClosingTags)->trigger();
  frame->action(FrameCommand::Abbreviations)->trigger();
  pane.SetSelStart(0);
  QTest::keyClicks(memo, QStringLiteral("<b>p"));
  QTest::keyClick(memo, Qt::Key_Tab);
  EXPECT_EQ(pane.Text().substr(0, 5), "<b>p\t");
  const EditorSettings kept = EditorSettings::Load(folder.path().toStdString() + "/Editor.ini");
  EXPECT_FALSE(kept.closing_tags);
  EXPECT_FALSE(kept.abbreviations);
  pane.SetModified(false);
  frame->close();
}

TEST(AuthoringEndToEnd, CompletionOffersTheSiteImagesOnAShiftJisPage) {
  QTemporaryDir folder;
  PrepareApplication(*qApp);
  SetProgramFolder(folder.path().toStdString());
  // The page in a folder of the site a transfer profile publishes.
  const std::string site = folder.filePath(QStringLiteral("site")).toStdString();
  for (const char* f : {"blog/b.gif", "blog/page.htm", "img/photo.png", "img/写真.jpg", "style.css"}) {
    std::filesystem::create_directories(std::filesystem::path(site + "/" + f).parent_path());
    std::ofstream(site + "/" + f, std::ios::binary) << "x";
  }
  ASSERT_TRUE(transfer::WriteProfileFile(
                  folder.path().toStdString(),
                  {transfer::JoinCommaText(
                      {"site", "ftp.invalid", "u", "", "/", "auto", "auto", *text::Utf8ToCp932(site)})})
                  .ok);
  ScriptedPrompts prompts;
  auto frame = StartFrame(prompts);
  const QString path = QString::fromStdString(site + "/blog/page.htm");
  const std::string head = Sjis("<html><body>\r\n<p>表示ソ</p>\r\n");
  const std::string tail = "\r\n</body></html>\r\n";
  std::ofstream(path.toStdString(), std::ios::binary) << head + tail;
  TMDIChild* child = frame->OpenDocument(path);
  ASSERT_NE(child, nullptr);
  text::QtEditPane* memo = child->Memo();
  text::EditPane& pane = *memo;
  pane.SetSelStart(head.size());

  // The site's images as links from the page; what is typed narrows them
  // and stays in the text; Enter takes the first.
  QTest::keyClicks(memo, QStringLiteral("<img src=\""));
  QTRY_VERIFY_WITH_TIMEOUT(memo->CompletionShown(), 5000);
  EXPECT_EQ(memo->CompletionLabels().join(QLatin1Char(',')),
            QStringLiteral("b.gif,../img/photo.png,../img/写真.jpg"));
  QTest::keyClicks(memo, QStringLiteral("../i"));
  EXPECT_EQ(memo->CompletionLabels().join(QLatin1Char(',')),
            QStringLiteral("../img/photo.png,../img/写真.jpg"));
  QTest::keyClick(memo, Qt::Key_Down);
  QTest::keyClick(memo, Qt::Key_Return);
  EXPECT_FALSE(memo->CompletionShown());
  // A space opens the attributes; Escape closes them, inserting nothing.
  QTest::keyClicks(memo, QStringLiteral("\" "));
  EXPECT_TRUE(memo->CompletionShown());
  QTest::keyClick(memo, Qt::Key_Escape);
  EXPECT_FALSE(memo->CompletionShown());
  QTest::keyClicks(memo, QStringLiteral(">"));
  frame->action(FrameCommand::FileSave)->trigger();
  EXPECT_EQ(ReadFile(path), head + Sjis("<img src=\"../img/写真.jpg\" >") + tail);

  // Turned off, no list opens, and the choice stays in Editor.ini.
  frame->action(FrameCommand::Completion)->trigger();
  QTest::keyClicks(memo, QStringLiteral("<"));
  EXPECT_FALSE(memo->CompletionShown());
  EXPECT_FALSE(EditorSettings::Load(folder.path().toStdString() + "/Editor.ini").completion);
  pane.SetModified(false);
  frame->close();
}

}  // namespace
}  // namespace hemlo
