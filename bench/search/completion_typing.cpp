#include "completion_typing.h"

#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <ctime>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Processor time of the UI thread: the machine is shared, so wall time
// alone also counts other programs' turns.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

double Median(std::vector<double> v) { return Percentile(std::move(v), 0.5); }

// What an author types: a block with attributes, a style attribute, an
// image from the site, text.
const char16_t kTyped[] =
    u"<div class=\"note\" id=\"n1\"><p style=\"color: red; font-weight: bold\">"
    u"日本語の text, more words</p><img src=\"img/im1\" alt=\"写真\"><a href=\"../\" "
    u"target=\"_blank\">link</a> and <span lang=\"ja\">終わり</span> ";

}  // namespace

void RunCompletionTyping(QApplication& app, hemlo::text::QtEditPane& pane, const std::string& page,
                         const fs::path& scratch, int runs) {
  // A site of 300 images and pages beside the page.
  const fs::path site = scratch / "site";
  fs::create_directories(site / "img");
  for (int i = 0; i < 300; ++i) {
    std::ofstream(site / "img" / ("im" + std::to_string(i) + ".png")) << "x";
    std::ofstream(site / ("page" + std::to_string(i) + ".htm")) << "x";
  }
  pane.SetSiteOfPage([site] { return std::make_pair(site, site); });
  pane.SetText(page);
  for (const bool middle : {true, false}) {
    pane.SetSelStart(middle ? page.size() / 2 : pane.TextLength());
    const int start = pane.textCursor().position();
    pane.ScrollCaretIntoView();
    app.processEvents();
    while (pane.SyntaxScanPending()) app.processEvents();

    std::vector<double> p95[2], cpu95[2], shown, shown_cpu;
    std::size_t keys = 0, listed = 0;
    // Run 0 of each state warms up (the site's files are gathered then).
    for (int r = 0; r <= runs; ++r)
      for (int on = 0; on < 2; ++on) {
        // Every aid of the editor at once: end tags, completion, matching
        // tags, marks.
        pane.SetClosingTags(on == 1);
        pane.SetCompletion(on == 1);
        pane.SetMatchingTags(on == 1);
        pane.SetMarkupMarks(on == 1);
        std::vector<double> times, cpu, list_times, list_cpu;
        const int length = pane.document()->characterCount();
        for (const char16_t* c = kTyped; *c; ++c) {
          const auto t0 = std::chrono::steady_clock::now();
          const double c0 = ThreadSeconds();
          const QString text{QChar(*c)};
          QKeyEvent press(QEvent::KeyPress, *c == u' ' ? Qt::Key_Space : Qt::Key_A,
                          Qt::NoModifier, text);
          QCoreApplication::sendEvent(&pane, &press);
          pane.viewport()->repaint();
          app.processEvents();  // the gutter's and the list's paint
          const double t = Seconds(t0), tc = ThreadSeconds() - c0;
          times.push_back(t);
          cpu.push_back(tc);
          if (pane.CompletionShown()) list_times.push_back(t), list_cpu.push_back(tc);
        }
        // Every pass types on the page as it was: on a line grown by the
        // passes before, the second state of a pair would type on a longer one.
        pane.SetCompletion(false);  // the list closed
        QTextCursor typed(pane.document());
        typed.setPosition(start);
        typed.setPosition(start + pane.document()->characterCount() - length,
                          QTextCursor::KeepAnchor);
        typed.removeSelectedText();
        pane.setTextCursor(typed);
        // Site files arrive from the worker between runs.
        app.processEvents();
        if (r == 0) continue;
        keys = times.size();
        p95[on].push_back(Percentile(times, 0.95));
        cpu95[on].push_back(Percentile(cpu, 0.95));
        if (on) {
          listed += list_times.size();
          shown.push_back(Percentile(list_times, 0.95));
          shown_cpu.push_back(Percentile(list_cpu, 0.95));
        }
      }
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
      if (std::fscanf(f, "%lf", &load) != 1) load = 0;
      std::fclose(f);
    }
    const double off = Median(p95[0]) * 1000, on = Median(p95[1]) * 1000;
    // Each run's two states follow one another: their ratio shares the
    // moment's load, which a slow spell of the machine over a few runs
    // would otherwise tip towards one state.
    std::vector<double> paired, paired_cpu;
    for (std::size_t r = 0; r < p95[0].size() && r < p95[1].size(); ++r) {
      paired.push_back(p95[1][r] / p95[0][r]);
      paired_cpu.push_back(cpu95[1][r] / cpu95[0][r]);
    }
    const double coff = Median(cpu95[0]) * 1000, con = Median(cpu95[1]) * 1000;
    std::printf(
        "QtEditPane       typing markup %s, %zu keys a run, %d runs each, alternating, "
        "load %.1f:\n"
        "                 p95 per key: aids off %.2f ms, on %.2f ms, ratio %.2f "
        "(processor time %.2f / %.2f ms, ratio %.2f)\n"
        "                 run by run (each run's on / off): median ratio %.2f, processor time %.2f\n"
        "                 list shown after the key: p95 %.2f ms, processor time %.2f ms "
        "(medians of the runs' p95; %zu keys with the list up)\n",
        middle ? "in the middle of the page" : "at the end of the page", keys, runs, load, off,
        on, off > 0 ? on / off : 0, coff, con, coff > 0 ? con / coff : 0, Median(paired),
        Median(paired_cpu), Median(shown) * 1000,
        Median(shown_cpu) * 1000, listed);
  }
}
