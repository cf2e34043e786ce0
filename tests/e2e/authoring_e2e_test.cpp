// Authoring commands and files through the real menus of the real frame.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "app/startup.h"
#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "text/cp932.h"

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
  // 色分け表示 and 行番号 are kept in Editor.ini.
  frame->action(FrameCommand::LineNumbers)->trigger();
  EXPECT_FALSE(child->Memo()->LineNumbers());
  EXPECT_EQ(EditorSettings::Load(folder.path().toStdString() + "/Editor.ini").line_numbers, false);
  child->Memo()->SetModified(false);
  frame->close();
}

}  // namespace
}  // namespace hemlo
