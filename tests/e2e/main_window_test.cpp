// Starts the real frame with every start-up form and looks at it.
#include <gtest/gtest.h>

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <cstdlib>
#include <functional>

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
  EXPECT_EQ(captions,
            (QStringList{"ファイル(&F)", "編集", "文字", "書式", "挿入", "段落", "表", "色...",
                         "加工", "サイト", "環境設定", "お気に入り", "ウィンドウ", "ヘルプ"}));

  // The address box is 375 pixels narrower than the toolbar, also after a resize.
  const auto address_box_fits = [&] {
    return frame->cmbURL()->width() == frame->ToolBar2()->width() - 375;
  };
  EXPECT_TRUE(QTest::qWaitFor(address_box_fits, 3000));
  const int toolbar_width = frame->ToolBar2()->width();
  frame->resize(900, 600);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return frame->ToolBar2()->width() != toolbar_width && address_box_fits(); }, 3000));
  EXPECT_EQ(frame->StatusBar1()->panel(0)->width(), 200);
  EXPECT_EQ(frame->StatusBar1()->panel(2)->width(), 200);
  EXPECT_EQ(frame->StatusBar1()->panel(1)->width(), frame->StatusBar1()->width() - 400);

  // Window actions are off without document windows.
  EXPECT_FALSE(frame->action(FrameCommand::WindowCascade)->isEnabled());

  const QString file = ScreenshotDir() + "/main_frame_empty.png";
  ASSERT_TRUE(frame->grab().save(file));
  std::printf("screenshot: %s\n", qPrintable(file));
}

// Receivers of a signal, which QObject keeps to itself.
struct SignalProbe : QObject {
  static int Receivers(const QObject* sender, const char* signal) {
    return (sender->*(&SignalProbe::receivers))(signal);
  }
};

TEST(MainWindow, EveryMenuItemAndToolButtonReachesAReceiver) {
  Forms forms = CreateForms();
  std::unique_ptr<TMainForm> frame(forms.MainForm);
  QStringList dead;
  std::function<void(QAction*)> visit = [&](QAction* a) {
    if (a->isSeparator() || qobject_cast<QWidgetAction*>(a)) return;  // widgets checked below
    if (QMenu* m = a->menu()) {
      for (QAction* item : m->actions()) visit(item);
      return;
    }
    // Each menu, menu bar and tool button showing the action holds one
    // connection of its own; the toolbar itself holds none.
    int own = 0;
    for (QObject* o : a->associatedObjects()) own += qobject_cast<QToolBar*>(o) ? 0 : 1;
    if (SignalProbe::Receivers(a, SIGNAL(triggered(bool))) <= own)
      dead << a->objectName() + " " + a->text();
  };
  for (QAction* a : frame->menuBar()->actions()) visit(a);
  for (QAction* a : frame->ToolBar2()->actions()) visit(a);
  for (QToolButton* b : frame->ToolBar2()->findChildren<QToolButton*>()) {
    if (!b->defaultAction() && !b->objectName().startsWith("qt_") &&
        SignalProbe::Receivers(b, SIGNAL(clicked(bool))) == 0)
      dead << b->objectName();
  }
  EXPECT_TRUE(dead.isEmpty()) << dead.join(", ").toStdString();
}

}  // namespace
}  // namespace hemlo
