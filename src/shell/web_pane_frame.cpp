#include "shell/web_pane_frame.h"

#include <QResizeEvent>

#include "shell/preview_width.h"

namespace hemlo {

WebPaneFrame::WebPaneFrame(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("WebPaneFrame"));
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Mid);
}

void WebPaneFrame::SetView(QWebEngineView* view) {
  if (view_ && view_ != view) {
    view_->hide();
    view_->setParent(nullptr);
  }
  view_ = view;
  view->setParent(this);
  // The engine keeps a page's zoom per page; a page loaded later starts again from 1.
  connect(view, &QWebEngineView::loadStarted, this, [this] { LayOutView(); });
  LayOutView();
  view->show();
}

void WebPaneFrame::SetPreviewWidth(int css_width) {
  css_width_ = PreviewWidthFromSetting(css_width);
  LayOutView();
}

void WebPaneFrame::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOutView();
}

void WebPaneFrame::LayOutView() {
  if (!view_) return;
  const PreviewGeometry g = PreviewGeometryFor(width(), css_width_);
  view_->setGeometry(g.x, 0, g.width, height());
  if (view_->zoomFactor() != g.zoom) view_->setZoomFactor(g.zoom);
}

}  // namespace hemlo
