// The desktop colour picker under Xvfb, driven through 色取得.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include "authoring/disp_cap_form.h"
#include "base/qt_prompts.h"
#include "form_test_support.h"
#include "support/test_bounds.h"

namespace hemlo::authoring::testing {
namespace {

class DispCapTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    prompts_.answers.assign(10, Answer::Ok);
    // A white window over the whole screen, so the snapshot is white.
    white_ = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
    white_->setAutoFillBackground(true);
    QPalette p = white_->palette();
    p.setColor(QPalette::Window, Qt::white);
    white_->setPalette(p);
    white_->setGeometry(QGuiApplication::primaryScreen()->geometry());
    white_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(white_.get()));
    // The X server has drawn it once a snapshot of the screen is white.
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          const QImage shot = screen->grabWindow(0).toImage();
          return !shot.isNull() &&
                 shot.pixelColor(shot.width() / 2, shot.height() / 2) == Qt::white &&
                 shot.pixelColor(1, 1) == Qt::white;
        },
        test_support::BoundMs(5'000)));
    SetSliders(10, 11, 12);
  }
  void TearDown() override {
    white_.reset();
    FormTest::TearDown();
  }
  void SetSliders(int r, int g, int b) {
    c<QScrollBar>("ScrollBar1")->setValue(r);
    c<QScrollBar>("ScrollBar2")->setValue(g);
    c<QScrollBar>("ScrollBar3")->setValue(b);
  }
  std::array<int, 3> Sliders() const {
    return {c<QScrollBar>("ScrollBar1")->value(), c<QScrollBar>("ScrollBar2")->value(),
            c<QScrollBar>("ScrollBar3")->value()};
  }

  std::unique_ptr<QWidget> white_;
};

TEST_F(DispCapTest, ClickOnWhiteSetsAllSlidersTo255WithAnyButton) {
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
    SetSliders(10, 11, 12);
    bool saw_picker = false;
    WhenModal([&](QWidget* w) {
      auto* picker = qobject_cast<TFrmDispCap*>(w);
      ASSERT_NE(picker, nullptr);
      saw_picker = true;
      EXPECT_EQ(picker->windowTitle(), "FrmDispCap");
      EXPECT_TRUE(picker->windowFlags() & Qt::FramelessWindowHint);
      EXPECT_EQ(picker->cursor().shape(), Qt::CrossCursor);
      EXPECT_EQ(picker->geometry(), QGuiApplication::primaryScreen()->availableGeometry());
      QTest::mouseClick(picker, button, {}, picker->rect().center());
    });
    c<QPushButton>("Button5")->click();
    EXPECT_TRUE(saw_picker);
    EXPECT_EQ(LastAsked("message"),
              "マウスの形が十字形になったら、\r\n取得したい色のところでクリックしてください");
    EXPECT_EQ(Sliders(), (std::array<int, 3>{255, 255, 255})) << button;
    EXPECT_EQ(c<QLabel>("LblH")->text(), "#FFFFFF");
  }
}

TEST_F(DispCapTest, EscapePicksNothingAndSlidersStay) {
  WhenModal([&](QWidget* w) {
    ASSERT_NE(qobject_cast<TFrmDispCap*>(w), nullptr);
    QTest::keyClick(w, Qt::Key_A);  // other keys are ignored
    EXPECT_TRUE(w->isVisible());
    QTest::keyClick(w, Qt::Key_Escape);
  });
  c<QPushButton>("Button5")->click();
  EXPECT_EQ(Sliders(), (std::array<int, 3>{10, 11, 12}));
  EXPECT_EQ(c<QLabel>("LblRGB")->text(), "RGB(10,11,12)");
}

TEST_F(DispCapTest, EachPickTakesANewSnapshot) {
  // The picture changes between two picks; the second pick sees the new one.
  TFrmDispCap first(nullptr);
  const QImage a = first.DesktopImage().toImage();
  QPalette p = white_->palette();
  p.setColor(QPalette::Window, QColor(0, 0, 255));
  white_->setPalette(p);
  white_->update();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const QImage b = GrabDesktop(QGuiApplication::primaryScreen()).toImage();
        return b.pixelColor(b.rect().center()) == QColor(0, 0, 255);
      },
      5000));
  WhenModal([&](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); });
  c<QPushButton>("Button5")->click();
  EXPECT_EQ(a.pixelColor(a.rect().center()), QColor(Qt::white));
  EXPECT_EQ(Sliders(), (std::array<int, 3>{0, 0, 255}));
}

TEST_F(DispCapTest, TheSnapshotNeverShowsAMessageBoxClosedJustBefore) {
  QtPrompts real(white_.get());
  QRect box;
  WhenModal([&](QWidget* w) {
    box = w->frameGeometry();
    QTest::keyClick(w, Qt::Key_Return);
  });
  real.Message("確認",
               "マウスの形が十字形になったら、\r\n取得したい色のところでクリックしてください",
               Buttons::Ok, Icon::Information);
  const QImage shot = GrabDesktop(QGuiApplication::primaryScreen()).toImage();
  ASSERT_FALSE(box.isEmpty());
  for (const QPoint& at :
       {box.center(), box.topLeft() + QPoint(8, 8), box.bottomRight() - QPoint(8, 8)})
    EXPECT_EQ(shot.pixelColor(at), QColor(Qt::white)) << at.x() << "," << at.y();
}

TEST_F(DispCapTest, FailedCaptureShowsErrorAndKeepsSliders) {
  form_->SetDesktopGrabber([](QScreen*) { return QPixmap(); });
  c<QPushButton>("Button5")->click();
  EXPECT_EQ(LastAsked("error"), "Can not capture the desktop !");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(Sliders(), (std::array<int, 3>{10, 11, 12}));
}

}  // namespace
}  // namespace hemlo::authoring::testing
