#include "authoring/disp_cap_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace hemlo::authoring {

namespace {

QScreen* ScreenOf(QWidget* owner) {
  if (owner != nullptr) {
    if (QScreen* s = owner->screen()) return s;
  }
  return QGuiApplication::primaryScreen();
}

}  // namespace

QPixmap GrabDesktop(QScreen* screen) {
  if (screen == nullptr) return {};
  // A message box closed just before (the picker's own hint) can still be
  // in the picture until the windows below it have repainted the place it
  // left: let them, and take the picture once two copies in a row agree.
  // A copy is a round trip to the display, so the repaint requests that
  // closing caused have arrived before the next round of events.
  QElapsedTimer clock;
  clock.start();
  QPixmap shot = screen->grabWindow(0);
  while (!shot.isNull() && clock.elapsed() < 1500) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) w->repaint();
    QPixmap again = screen->grabWindow(0);
    if (again.toImage() == shot.toImage()) break;
    shot = std::move(again);
  }
  return shot;
}

TFrmDispCap::TFrmDispCap(QWidget* owner, const Grabber& grab)
    : QDialog(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("FrmDispCap"));
  setWindowTitle(QStringLiteral("FrmDispCap"));
  QScreen* screen = ScreenOf(owner);
  QPixmap shot = grab ? grab(screen) : QPixmap();
  // An empty picture is the "cannot capture" case: refuse to build a window
  // that would show nothing and pick black.
  if (shot.isNull()) throw DesktopCaptureError();
  DesktopImage_ = std::make_unique<QPixmap>(std::move(shot));

  setCursor(Qt::CrossCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The window sees every key, whichever widget would have had the focus.
  setFocusPolicy(Qt::StrongFocus);
  if (screen != nullptr) setGeometry(screen->availableGeometry());
}

TFrmDispCap::~TFrmDispCap() = default;

std::optional<PickedColor> TFrmDispCap::Picked() const {
  if (!picked_) return std::nullopt;
  return PickedColor{PickedRed, PickedGreen, PickedBlue};
}

void TFrmDispCap::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  // Drawn at the client origin, one device pixel per screen pixel.
  p.drawPixmap(0, 0, *DesktopImage_);
}

void TFrmDispCap::mousePressEvent(QMouseEvent* event) {
  // The colour of the window's drawing under the cursor: the snapshot pixel,
  // or the background where the snapshot does not reach.
  const qreal ratio = DesktopImage_->devicePixelRatio();
  const QPoint pos = event->position().toPoint();
  const QPoint px(qRound(pos.x() * ratio), qRound(pos.y() * ratio));
  QColor colour = palette().window().color();
  const QImage image = DesktopImage_->toImage();
  if (image.rect().contains(px)) colour = image.pixelColor(px);
  PickedRed = colour.red();
  PickedGreen = colour.green();
  PickedBlue = colour.blue();
  picked_ = true;
  accept();
}

void TFrmDispCap::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    reject();
    return;
  }
  event->accept();  // every other key is ignored, also by the owner
}

}  // namespace hemlo::authoring
