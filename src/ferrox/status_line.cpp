#include "ferrox/status_line.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "ferrox/ftp_window_parts.h"

namespace hemlo::transfer_ui {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent) {
  setObjectName(QStringLiteral("StatusBar1"));
  setSizeGripEnabled(true);
  setAutoFillBackground(true);
  SetColour(this, QPalette::Window, palette().color(QPalette::Button));
  SetColour(this, QPalette::WindowText, Qt::black);
  message = new QLabel(QStringLiteral("Ferrox"), this);
  message->setObjectName(QStringLiteral("StatusPanel0"));
  message->setFixedWidth(250);
  program = new QLabel(QStringLiteral("Hemlo２"), this);
  program->setObjectName(QStringLiteral("StatusPanel1"));
  program->setFixedWidth(50);
  addWidget(message);
  addWidget(program);
  progress = new QProgressBar(this);
  progress->setObjectName(QStringLiteral("ProgressBar1"));
  progress->setFixedWidth(120);
  progress->setRange(0, 1000);
  progress->setTextVisible(true);
  progress->hide();
  addPermanentWidget(progress);
}

void StatusLine::SetFileProgress(int n, int m) {
  if (m <= 0) {
    progress->hide();
    FitMessage();
    return;
  }
  progress->setFormat(QStringLiteral("%1/%2").arg(n).arg(m));
  progress->setRange(0, 1000);
  progress->setValue(0);
  progress->show();
  FitMessage();
}

void StatusLine::SetByteProgress(int64_t done, int64_t total) {
  if (total <= 0) {
    progress->setRange(0, 0);  // size unknown: the bar moves anyway
  } else {
    progress->setRange(0, 1000);
    progress->setValue(static_cast<int>(std::min<int64_t>(1000, done * 1000 / total)));
  }
}

void StatusLine::FitMessage() {
  // A site sync shows no bar: its progress line, rate included, needs the room.
  message->setFixedWidth(std::max(0, width() - (progress->isVisibleTo(this) ? 200 : 80)));
}

void StatusLine::resizeEvent(QResizeEvent* event) {
  FitMessage();
  QStatusBar::resizeEvent(event);
}

}  // namespace hemlo::transfer_ui
