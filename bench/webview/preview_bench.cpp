// Preview of a 1 MB Shift-JIS page, from the click to the page's load
// finished, against the peer: the same file loaded straight into a plain
// QWebEngineView. Runs alternate so both see the same machine state; prints
// medians and the ratio. Usage: webview_preview_bench [runs]
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "shell/preview.h"
#include "text/cp932.h"
#include "text/memory_edit_pane.h"
#include "webview/ui_web_browser.h"
#include "support/scripted_prompts.h"

namespace {

namespace fs = std::filesystem;

struct Pane : hemlo::text::MemoryEditPane {
  explicit Pane(std::string t) : MemoryEditPane(t) { SetModified(true); }
};

std::string MakePage(std::size_t target) {
  std::string page = hemlo::text::Sjis("<html><head><title>大きなページ</title></head><body>\r\n");
  const std::string row = hemlo::text::Sjis(
      "<tr><td>日本語の表です</td><td><b>ｶﾀｶﾅ</b> と English</td><td><a "
      "href=\"x.htm\">リンク</a></td></tr>\r\n");
  const std::string para = hemlo::text::Sjis(
      "<p>これは一メガバイトのページを作るための段落です。表示の速さを測ります。①②③</p>\r\n");
  // Mostly paragraphs, a small table now and then: a long hand-written page.
  int n = 0;
  while (page.size() < target) {
    page += para;
    if (++n % 50 == 0) page += "<table border=1>\r\n" + row + row + row + "</table>\r\n";
  }
  page += "</body></html>\r\n";
  return page;
}

// Waits for loadFinished with a bound; returns elapsed ms or -1.
template <typename Start>
double Timed(QWebEngineView& view, Start start) {
  QEventLoop loop;
  bool ok = false;
  auto c = QObject::connect(&view, &QWebEngineView::loadFinished, &loop, [&](bool r) {
    ok = r;
    loop.quit();
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  QElapsedTimer t;
  t.start();
  start();
  loop.exec();
  const double ms = t.nsecsElapsed() / 1e6;
  QObject::disconnect(c);
  return ok ? ms : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  hemlo::webview::PrepareWebEngine();
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;

  char templ[] = "/tmp/hemlo_preview_bench_XXXXXX";
  if (!::mkdtemp(templ)) return 1;
  const fs::path root = templ;
  hemlo::SetProgramFolder(root);
  const std::string page = MakePage(1 << 20);
  const fs::path doc = root / "top.htm";
  if (!hemlo::WriteFileAtomically(doc, page)) return 1;

  hemlo::webview::TUIWebBrowser hemlo_view;
  QWebEngineView plain;
  hemlo_view.resize(800, 600);
  plain.resize(800, 600);
  hemlo_view.show();
  plain.show();

  Pane pane(page);
  hemlo::ScriptedPrompts prompts;
  hemlo::shell::PreviewState state;
  std::string caption = doc.string();
  hemlo::shell::PreviewContext ctx;
  ctx.pane = &pane;
  ctx.caption = &caption;
  ctx.owner = &hemlo_view;
  ctx.prompts = &prompts;
  ctx.state = &state;
  ctx.navigate = [&](const std::string& url) { hemlo_view.Navigate(QString::fromStdString(url)); };
  const QUrl plain_url = QUrl::fromLocalFile(QString::fromStdString(doc.string()));

  std::vector<double> preview_ms, plain_ms, write_ms;
  for (int i = 0; i <= runs; ++i) {  // run 0 warms both views up
    double w = 0;
    const double p = Timed(hemlo_view, [&] {
      QElapsedTimer t;
      t.start();
      hemlo::shell::Image1Click(ctx);  // writes the preview file, then asks the view to load it
      w = t.nsecsElapsed() / 1e6;
    });
    const double q = Timed(plain, [&] { plain.load(plain_url); });
    if (p < 0 || q < 0) {
      std::fprintf(stderr, "load failed (preview %.1f, plain %.1f)\n", p, q);
      return 1;
    }
    if (i > 0) {
      preview_ms.push_back(p);
      plain_ms.push_back(q);
      write_ms.push_back(w);
    }
  }
  const double mp = Median(preview_ms), mq = Median(plain_ms);
  std::printf("page: %zu bytes, %d runs\n", page.size(), runs);
  std::printf("preview (click to load finished): median %.1f ms (min %.1f)\n", mp,
              *std::min_element(preview_ms.begin(), preview_ms.end()));
  std::printf("  of which the click handler (file written): median %.1f ms\n", Median(write_ms));
  std::printf("plain QWebEngineView load:        median %.1f ms (min %.1f)\n", mq,
              *std::min_element(plain_ms.begin(), plain_ms.end()));
  std::printf("ratio preview/plain: %.2f\n", mp / mq);
  hemlo::shell::DocumentWindowDestroyed(state, caption, &hemlo_view);
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}
