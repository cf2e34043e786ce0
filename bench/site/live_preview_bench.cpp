// Typing with ライブプレビュー on, in a 100 KB page of the real frame: the
// time each key takes to be handled and painted (p95 over bursts of keys),
// against the same typing with live preview off in the same run (runs
// alternate), and the time from the last key of a burst until the web pane's
// document shows what was typed. Usage: live_preview_bench [runs=5] [keys=100]
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/startup.h"
#include "base/program_folder.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "text/cp932.h"

namespace {

using hemlo::TMDIChild;

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * (v.size() - 1))];
}

double Median(std::vector<double> v) { return Percentile(std::move(v), 0.5); }

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Shows(TMDIChild* child, const QString& id) {
  bool done = false, found = false;
  child->WebBrowser()->page()->runJavaScript(
      QStringLiteral("document.getElementById('%1') !== null").arg(id), [&](const QVariant& v) {
        found = v.toBool();
        done = true;
      });
  QElapsedTimer t;
  t.start();
  while (!done && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return found;
}

// Types `keys` characters, each sent and painted before the next; ms per key.
std::vector<double> Type(TMDIChild* child, int keys, const QString& id) {
  std::vector<double> ms;
  const QString text = QStringLiteral("<b id=\"%1\">").arg(id);
  for (int k = 0; k < keys; ++k) {
    const QString one = k < text.size() ? text.mid(k, 1) : QStringLiteral("字");
    QElapsedTimer t;
    t.start();
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, one);
    QApplication::sendEvent(child->Memo(), &press);
    child->Memo()->viewport()->repaint();
    QCoreApplication::processEvents();
    ms.push_back(t.nsecsElapsed() / 1e6);
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  hemlo::PrepareProcess();
  QApplication app(argc, argv);
  hemlo::PrepareApplication(app);
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  const int keys = argc > 2 ? std::atoi(argv[2]) : 100;
  QTemporaryDir folder;
  hemlo::SetProgramFolder(folder.path().toStdString());
  std::string page = hemlo::text::Sjis("<html><body>\r\n");
  while (page.size() < 100000)
    page += hemlo::text::Sjis(
        "<p>ライブプレビューの段落です。<img src=\"a.gif\" alt=\"\"> English too.</p>\r\n");
  page += "</body></html>\r\n";
  const QString path = folder.filePath(QStringLiteral("page.htm"));
  std::ofstream(path.toStdString(), std::ios::binary) << page;
  hemlo::Forms forms = hemlo::CreateForms();
  std::unique_ptr<hemlo::TMainForm> frame(forms.MainForm);
  frame->show();
  TMDIChild* child = frame->OpenDocument(path);
  child->Memo()->moveCursor(QTextCursor::End);
  QAction* live = frame->action(hemlo::FrameCommand::LivePreview);
  live->trigger();
  for (QElapsedTimer t; !t.isValid() || t.elapsed() < 20000;) {  // the engine's first start
    if (!t.isValid()) t.start();
    if (Shows(child, QStringLiteral("nothing")) == false &&
        child->WebBrowser()->url().scheme() == "hemlo-live")
      break;
    Wait(50);
  }
  Wait(1500);
  std::vector<double> on, off, shown;
  for (int r = 0; r < runs; ++r) {
    for (bool with_live : {true, false}) {
      if (live->isChecked() != with_live) live->trigger();
      Wait(600);
      const QString id = QStringLiteral("m%1%2").arg(r).arg(with_live ? "on" : "off");
      std::vector<double> ms = Type(child, keys, id);
      (with_live ? on : off).insert((with_live ? on : off).end(), ms.begin(), ms.end());
      if (!with_live) continue;
      QElapsedTimer t;
      t.start();
      while (!Shows(child, id) && t.elapsed() < 5000) Wait(10);
      shown.push_back(t.elapsed());
    }
  }
  std::printf("per key, live preview on: median %.2f ms, p95 %.2f ms, worst %.2f ms\n", Median(on),
              Percentile(on, 0.95), Percentile(on, 1.0));
  std::printf("per key, live preview off: median %.2f ms, p95 %.2f ms, worst %.2f ms\n",
              Median(off), Percentile(off, 0.95), Percentile(off, 1.0));
  std::printf("p95 ratio on/off %.2fx; shown after the last key: median %.0f ms, worst %.0f ms\n",
              Percentile(on, 0.95) / Percentile(off, 0.95), Median(shown), Percentile(shown, 1.0));
  child->Memo()->SetModified(false);
  frame->close();
  return 0;
}
