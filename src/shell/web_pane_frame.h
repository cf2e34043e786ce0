#pragma once
// The document window's web pane holder: the view fills it at the PC width,
// or stands centred at a phone's or a tablet's width (preview_width.h), the
// rest of the pane in the window colour.
#include <QPointer>
#include <QWebEngineView>
#include <QWidget>

namespace hemlo {

class WebPaneFrame : public QWidget {
 public:
  explicit WebPaneFrame(QWidget* parent = nullptr);
  // Takes `view` as the pane's view; the one it replaces is hidden and let
  // go of (it deletes itself).
  void SetView(QWebEngineView* view);
  // CSS pixels, kPreviewPc for the pane's own width.
  void SetPreviewWidth(int css_width);
  int PreviewWidth() const { return css_width_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOutView();
  QPointer<QWebEngineView> view_;
  int css_width_ = 0;
};

}  // namespace hemlo
