// Starts the real frame with every start-up form and looks at it.
#include <gtest/gtest.h>

#include <QDir>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <cstdlib>

#include "app/startup.h"
#include "shell/main_form.h"

namespace hemlo {
namespace {

QString ScreenshotDir() {
  const char* build = std::getenv("HEMLO_BUILD_DIR");
  QDir dir(build ? QString::fromLocal8Bit(build) : QDir::currentPath());
  dir.mkpath(QStringLiteral("screenshots"));
  return dir.filePath(QStringLiteral("screenshots"));
}

TEST(MainWindow, StartsEmptyWithCaptionAndScreenshot) {
  PrepareApplication(*qApp);
  Forms forms = CreateForms();
  std::unique_ptr<TMainForm> frame(forms.MainForm);
  frame->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));

  EXPECT_EQ(frame->windowTitle(), QStringLiteral("Hemlo２"));
  EXPECT_EQ(frame->minimumSize(), QSize(680, 440));
  EXPECT_EQ(frame->ActiveChild(), nullptr);
  EXPECT_TRUE(frame->Children().isEmpty());

  // Menu bar captions in order.
  QStringList captions;
  for (QAction* a : frame->menuBar()->actions()) captions << a->text();
  EXPECT_EQ(captions, (QStringList{"ファイル(&F)", "編集", "文字", "書式", "挿入", "段落", "表",
                                   "色...", "加工", "環境設定", "お気に入り", "ウィンドウ", "ヘルプ"}));

  // The address box is 375 pixels narrower than the toolbar, also after a resize.
  QTest::qWait(50);
  EXPECT_EQ(frame->cmbURL()->width(), frame->ToolBar2()->width() - 375);
  frame->resize(900, 600);
  QTest::qWait(50);
  EXPECT_EQ(frame->cmbURL()->width(), frame->ToolBar2()->width() - 375);
  EXPECT_EQ(frame->StatusBar1()->panel(0)->width(), 200);
  EXPECT_EQ(frame->StatusBar1()->panel(2)->width(), 200);
  EXPECT_EQ(frame->StatusBar1()->panel(1)->width(), frame->StatusBar1()->width() - 400);

  // Window actions are off without document windows.
  EXPECT_FALSE(frame->action("WindowCascade1")->isEnabled());

  const QString file = ScreenshotDir() + "/main_frame_empty.png";
  ASSERT_TRUE(frame->grab().save(file));
  std::printf("screenshot: %s\n", qPrintable(file));
}

}  // namespace
}  // namespace hemlo
