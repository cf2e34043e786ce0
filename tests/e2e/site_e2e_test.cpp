// The site windows and the live preview through the real frame.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "app/startup.h"
#include "base/program_folder.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "support/scripted_prompts.h"
#include "text/cp932.h"

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

}  // namespace
}  // namespace hemlo
