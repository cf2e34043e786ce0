#pragma once
// TFrmDispCap: the desktop colour picker of the builder dialog's colour tab.
// A borderless window over the screen's work area showing a snapshot of the
// whole screen taken when the window is created; any mouse button picks the
// pixel under the cursor and closes the window, Escape closes it picking
// nothing.
#include <QDialog>
#include <QPixmap>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "authoring/builder_model.h"

class QScreen;

namespace hemlo::authoring {

// The snapshot could not be taken (an empty picture, as on Wayland).
class DesktopCaptureError : public std::runtime_error {
 public:
  DesktopCaptureError() : std::runtime_error("Can not capture the desktop !") {}
};

// Copies the whole of `screen` (grabWindow(0)); an empty pixmap on failure.
QPixmap GrabDesktop(QScreen* screen);

class TFrmDispCap : public QDialog {
  Q_OBJECT
 public:
  using Grabber = std::function<QPixmap(QScreen*)>;

  // Takes the snapshot and builds the window over the work area of the
  // owner's screen (the primary screen without an owner). Throws
  // DesktopCaptureError when the snapshot is empty.
  explicit TFrmDispCap(QWidget* owner, const Grabber& grab = GrabDesktop);
  ~TFrmDispCap() override;

  int PickedRed = 0;
  int PickedGreen = 0;
  int PickedBlue = 0;

  // The picked pixel; nullopt until a mouse button was pressed (Escape).
  std::optional<PickedColor> Picked() const;
  const QPixmap& DesktopImage() const { return *DesktopImage_; }

 protected:
  void paintEvent(QPaintEvent* event) override;       // FormPaint
  void mousePressEvent(QMouseEvent* event) override;  // FormMouseDown
  void keyPressEvent(QKeyEvent* event) override;      // FormKeyDown

 private:
  // Released with the window.
  std::unique_ptr<QPixmap> DesktopImage_;
  bool picked_ = false;
};

}  // namespace hemlo::authoring
