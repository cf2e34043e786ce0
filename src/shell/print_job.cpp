#include "shell/print_job.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace hemlo {

bool PrintTextJob(const std::vector<QString>& lines, const QFont& font) {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return false;
  QPrinter printer(info, QPrinter::HighResolution);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  painter.setFont(font);
  const QFontMetrics metrics(painter.font(), &printer);
  const int line_height = metrics.lineSpacing();
  const QRect page = painter.viewport();
  int y = metrics.ascent();
  for (const QString& line : lines) {
    if (y > page.height()) {  // a full page starts a new one
      if (!printer.newPage()) return false;
      y = metrics.ascent();
    }
    painter.drawText(0, y, line);
    y += line_height;
  }
  return painter.end();
}

}  // namespace hemlo
