// 以前の版 through the real frame: three saves leave three earlier versions,
// and 復元 brings the first back into the pane as one undo step, byte for
// byte once saved.
#include <gtest/gtest.h>

#include <filesystem>

#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/startup.h"
#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "support/scripted_prompts.h"
#include "text/cp932.h"
#include "text/qt_edit_pane.h"

namespace hemlo {
namespace {

TEST(VersionsEndToEnd, ThreeSavesShowThreeVersionsAndRestoreBringsTheFirstBack) {
  QTemporaryDir state, site;
  ScriptedPrompts prompts;
  PrepareApplication(*qApp);
  SetProgramFolder(state.path().toStdString());
  Forms forms = CreateForms();
  std::unique_ptr<TMainForm> frame(forms.MainForm);
  frame->SetPrompts(&prompts);
  frame->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));

  const std::string page = site.filePath(QStringLiteral("index.htm")).toStdString();
  const std::string first = text::Sjis("<html>\r\n<p>初版の本文</p>\r\n</html>\r\n");
  ASSERT_TRUE(WriteFileAtomically(page, first));
  TMDIChild* child = frame->OpenDocument(QString::fromStdString(page));
  ASSERT_NE(child, nullptr);
  text::QtEditPane* pane = child->Memo();
  for (int i = 2; i <= 4; ++i) {
    pane->SelectAll();
    pane->ReplaceSelection(text::Sjis("<html>\r\n<p>第") + std::to_string(i) +
                           text::Sjis("版の本文</p>\r\n</html>\r\n"));
    frame->action(FrameCommand::FileSave)->trigger();
  }
  std::string saved;
  ASSERT_TRUE(ReadWholeFile(page, saved));
  const std::string fourth = saved;

  frame->action(FrameCommand::FileVersions)->trigger();
  auto* window = frame->findChild<QWidget*>(QStringLiteral("Versions"));
  ASSERT_NE(window, nullptr);
  auto* list = window->findChild<QTreeWidget*>(QStringLiteral("lstVersions"));
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("上書き保存"));
  list->setCurrentItem(list->topLevelItem(2));  // the oldest: the file as first opened
  window->findChild<QPushButton*>(QStringLiteral("btnRestore"))->click();

  EXPECT_EQ(pane->DocumentBytes(), first);
  EXPECT_TRUE(pane->Modified());
  ASSERT_TRUE(ReadWholeFile(page, saved));
  EXPECT_EQ(saved, fourth);  // nothing written until the user saves
  pane->Undo();
  EXPECT_EQ(pane->DocumentBytes(), fourth);  // one step
  pane->Redo();
  frame->action(FrameCommand::FileSave)->trigger();
  ASSERT_TRUE(ReadWholeFile(page, saved));
  EXPECT_EQ(saved, first);
  window->close();

  // A store that cannot be written: the saves go ahead, the status bar says so once.
  const std::filesystem::path store = std::filesystem::path(state.path().toStdString()) / "versions";
  std::filesystem::rename(store, store.string() + ".away");
  ASSERT_TRUE(WriteFileAtomically(store, "not a folder"));
  for (int i = 0; i < 2; ++i) {
    pane->SelectAll();
    pane->ReplaceSelection("<p>" + std::to_string(i) + "</p>\r\n");
    frame->StatusBar1()->SetText(0, QString());
    frame->action(FrameCommand::FileSave)->trigger();
    ASSERT_TRUE(ReadWholeFile(page, saved));
    EXPECT_EQ(saved, "<p>" + std::to_string(i) + "</p>\r\n");
    EXPECT_EQ(frame->StatusBar1()->panel(0)->text().startsWith(QStringLiteral("以前の版を残せませんでした")),
              i == 0) << i;
  }
}

}  // namespace
}  // namespace hemlo
