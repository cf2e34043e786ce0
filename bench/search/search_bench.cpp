// Replace all and find next on a 20 MB Shift-JIS text, against GNU sed in the
// same run. Not a test: prints figures and ratios.
//
//   search_bench [MiB=20] [matches=200000] [keep-heap | typing | typing-plain |
//                typing-marks | typing-marks-paired] [completion [runs=7]]
//
// "typing-plain" runs the typing figures with the colouring off,
// "typing-marks" with the markup marks on, "typing-marks-paired" with the
// marks switched on for every other key, so both states share one process,
// one page and the same moment's load. "typing
// completion" times typing markup with the editing aids (end tags,
// completion, matching tags, marks) off and on instead.
//
// On these virtual machines a first-touch page fault costs tens of
// microseconds, so every fresh 20 MB buffer costs a few hundred ms. With
// "keep-heap" malloc keeps large blocks in its heap (mallopt), so repeated
// big allocations reuse pages: that shows how much of each figure is faults.
//
// Replace all is timed from the text in the edit pane to the result back in
// the pane (Button1Click with tag 2), as the user waits for it. sed is timed
// on the same bytes in a file: LC_ALL=C sed "s/word/other/gI" file >/dev/null.
// Both outputs are compared byte for byte once.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "base/atomic_file.h"
#include "support/scripted_prompts.h"
#include "search/find_replace.h"
#include "text/cp932.h"
#include "site/markup_check.h"
#include "text/memory_edit_pane.h"

#ifdef HEMLO_BENCH_QT_PANE
#include <QApplication>
#include <QKeyEvent>

#include "completion_typing.h"
#include <QTextCursor>
#include <QTextDocument>

#include "text/qt_edit_pane.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using hemlo::search::FindReplaceOptions;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double TimeIt(const std::function<void()>& f) {
  const auto t0 = Clock::now();
  f();
  return Seconds(Clock::now() - t0);
}

// Lines of Japanese and ASCII page text, one "word" in some letter case per
// `every` bytes. The pieces end on whole characters, so no byte-wise matcher
// (sed in the C locale) can see a "word" that starts inside a character.
std::string MakeText(std::size_t bytes, std::size_t matches) {
  using hemlo::text::Sjis;
  const std::vector<std::string> pieces = {Sjis("これは日本語の文章です。"),
                                           Sjis("<p>段落の中に"),
                                           Sjis("</p>"),
                                           " the ",
                                           Sjis("ホームページ"),
                                           Sjis("ＨＴＭＬ"),
                                           "<a href=\"index.htm\">",
                                           "</a>",
                                           Sjis("表示"),
                                           Sjis("ｶﾀｶﾅ"),
                                           " 123 ",
                                           Sjis("、"),
                                           "<br>",
                                           Sjis("ソフト"),
                                           " text ",
                                           Sjis("。")};
  const std::string words[] = {"word", "Word", "WORD", "wOrD"};
  const std::size_t every = bytes / matches;
  std::mt19937 rng(2026);
  std::string s;
  s.reserve(bytes + 256);
  std::size_t line = 0;
  for (std::size_t m = 0; m < matches; ++m) {
    const std::size_t target = (m + 1) * every;
    s += words[rng() % 4];
    while (s.size() + 8 < target) {
      s += pieces[rng() % pieces.size()];
      if (++line % 7 == 0) s += "\r\n";
    }
  }
  while (s.size() < bytes) s += ' ';
  return s;
}

int RunShell(const std::string& command) {
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

struct Figures {
  double replace_all = 0;
  double find_next = 0;
  double text_read = 0;
  double text_write = 0;
  double select_end = 0;
  bool same_as_sed = false;
  std::size_t found_at = 0;
  double undo = 0;
  bool undo_restores = false;
};

template <typename Pane>
Figures Measure(Pane& pane, const std::string& text, const std::string& sed_out,
                const std::string& needle_text, std::size_t needle_at, int runs) {
  Figures f;
  FindReplaceOptions replace;
  replace.search = "word";
  replace.replace = "other";
  FindReplaceOptions find;
  find.search = "zqneedle";
  f.replace_all = 1e9;
  for (int r = 0; r < runs; ++r) {
    pane.SetText(text);
    hemlo::ScriptedPrompts prompts;
    prompts.answers = {hemlo::Answer::Ok};
    f.replace_all =
        std::min(f.replace_all, TimeIt([&] {
                   hemlo::search::Button1Click(hemlo::search::kReplaceAll, replace, &pane, prompts);
                 }));
    if (r == 0) {
      f.same_as_sed = pane.Text() == sed_out && pane.Modified();
      // The replace all is one undo step; undoing it gives the text back.
      f.undo = TimeIt([&] { pane.Undo(); });
      f.undo_restores = pane.Text() == text;
    }
  }
  // Where the time goes: the pane's own whole-text read and rebuild.
  pane.SetText(text);
  f.text_read = 1e9;
  f.text_write = 1e9;
  for (int r = 0; r < runs; ++r) {
    std::string copy;
    f.text_read = std::min(f.text_read, TimeIt([&] { copy = pane.Text(); }));
    f.text_write = std::min(f.text_write, TimeIt([&] { pane.SetText(copy); }));
  }
  pane.SetText(needle_text);
  f.select_end = 1e9;
  for (int r = 0; r < runs; ++r) {
    pane.SetSelStart(0);
    f.select_end = std::min(f.select_end, TimeIt([&] {
                              pane.SetSelStart(needle_at);
                              pane.SetSelLength(8);
                              pane.ScrollCaretIntoView();
                            }));
  }
  f.find_next = 1e9;
  for (int r = 0; r < runs; ++r) {
    pane.SetSelStart(needle_text.size());  // the caret at the end; nothing selected
    hemlo::ScriptedPrompts prompts;
    f.find_next =
        std::min(f.find_next, TimeIt([&] {
                   hemlo::search::Button1Click(hemlo::search::kFindNext, find, &pane, prompts);
                 }));
    f.found_at = pane.SelStart();
  }
  if (f.found_at != needle_at)
    std::fprintf(stderr, "find next landed at %zu, expected %zu\n", f.found_at, needle_at);
  return f;
}

void Report(const char* pane_name, const Figures& f, double sed) {
  std::printf("%-16s replace all %.3f s  (%.2fx sed)  output %s\n", pane_name, f.replace_all,
              f.replace_all / sed,
              f.same_as_sed ? "identical to sed's, document modified" : "DIFFERS");
  std::printf("%-16s   of which the pane's Text() %.3f s, SetText() %.3f s\n", pane_name,
              f.text_read, f.text_write);
  std::printf("%-16s undo of that replace all %.3f s, text %s\n", pane_name, f.undo,
              f.undo_restores ? "restored" : "NOT RESTORED");
  std::printf("%-16s find next to the end %.1f ms\n", pane_name, f.find_next * 1000);
  std::printf("%-16s   of which selecting and scrolling to the match %.1f ms\n", pane_name,
              f.select_end * 1000);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
  const std::size_t matches = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200000;
  const bool keep_heap = argc > 3 && std::string(argv[3]) == "keep-heap";
  const bool plain = argc > 3 && std::string(argv[3]) == "typing-plain";
  const bool paired = argc > 3 && std::string(argv[3]) == "typing-marks-paired";
  const bool marks = paired || (argc > 3 && std::string(argv[3]) == "typing-marks");
  const bool typing_only =
      plain || marks || (argc > 3 && std::string(argv[3]) == "typing");
  if (keep_heap) {
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 1024 << 20);
  }
  const int runs = 3;
  const std::string text = MakeText(mib << 20, matches);
  std::string needle_text = text;
  needle_text.replace(needle_text.size() - 12, 8, "zqneedle");
  const std::size_t needle_at = needle_text.size() - 12;

  const fs::path dir =
      fs::temp_directory_path() / ("hemlo_search_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path in = dir / "in.txt";
  const fs::path out = dir / "out.txt";
  if (!hemlo::WriteFileAtomically(in, text)) return 1;

  // sed, best of the runs, then once into a file to compare outputs.
  double sed = 1e9;
  const std::string sed_cmd = "LC_ALL=C sed \"s/word/other/gI\" " + in.string();
  for (int r = 0; r < (typing_only ? 0 : runs); ++r)
    sed = std::min(sed, TimeIt([&] { RunShell(sed_cmd + " >/dev/null"); }));
  RunShell(sed_cmd + " >" + out.string());
  std::string sed_out;
  hemlo::ReadWholeFile(out, sed_out);
  // "other" is one byte longer than "word".
  const std::size_t sed_matches = sed_out.size() - text.size();

  std::printf("text %.1f MiB, %zu matches (sed replaced %zu), best of %d runs%s\n",
              text.size() / 1048576.0, matches, sed_matches, runs,
              keep_heap ? ", malloc keeping its heap" : "");
  if (!typing_only) std::printf("%-16s replace all %.3f s\n", "sed (C locale)", sed);

  if (!typing_only) {
    // The text work alone, without any pane.
    double core = 1e9;
    std::size_t count = 0;
    for (int r = 0; r < runs; ++r)
      core = std::min(
          core, TimeIt([&] { hemlo::search::ReplaceAllText(text, "word", "other", &count); }));
    std::printf("%-16s replace all %.3f s  (%.2fx sed), %zu replacements\n", "ReplaceAllText", core,
                core / sed, count);
  }
  if (!typing_only) {
    hemlo::text::MemoryEditPane pane;
    Report("MemoryEditPane", Measure(pane, text, sed_out, needle_text, needle_at, runs), sed);
  }
#ifdef HEMLO_BENCH_QT_PANE
  {
    int qargc = 1;
    char name[] = "search_bench";
    char* qargv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(qargc, qargv);
    hemlo::text::QtEditPane pane;
    pane.resize(800, 600);
    pane.show();
    if (!typing_only)
      Report("QtEditPane", Measure(pane, text, sed_out, needle_text, needle_at, runs), sed);
    // Typing, colouring and line numbers on as the window has them: each key
    // delivered and painted. The generated page ends in one line of padding
    // spaces; typing is measured on the page with that padding broken into
    // lines of 100, and separately at the end of the long line itself.
    pane.SetHighlighting(!plain);
    pane.SetLineNumbers(true);
    // "typing-marks": the markup check runs after each pause, as in the window.
    pane.SetMarkupChecker([](const std::string& bytes, hemlo::text::Encoding encoding) {
      std::vector<hemlo::text::QtEditPane::MarkupMark> out;
      for (hemlo::site::MarkupIssue& issue : hemlo::site::CheckMarkup(bytes, encoding))
        out.push_back({issue.line, issue.severity == hemlo::site::MarkupSeverity::kError,
                       std::move(issue.message)});
      return out;
    });
    pane.SetMarkupMarks(marks);
    const std::size_t padding = text.size() - text.find_last_not_of(' ') - 1;
    std::string lined = text.substr(0, text.size() - padding);
    for (std::size_t i = 0; i < padding; i += 100)
      lined += "\r\n" + std::string(std::min<std::size_t>(100, padding - i), ' ');
    if (argc > 4 && std::string(argv[4]) == "completion") {
      RunCompletionTyping(app, pane, lined, dir, argc > 5 ? std::atoi(argv[5]) : 7);
      fs::remove_all(dir);
      return 0;
    }
    const auto type_at = [&](const std::string& page, std::size_t offset, const char* where,
                             bool edit_top = false) {
      pane.SetText(page);
      pane.SetSelStart(offset);
      pane.ScrollCaretIntoView();
      // The colours of the view catch up between events after the jump; the
      // UI takes events in between. Timed apart from the keys.
      app.processEvents();
      const double catch_up = TimeIt([&] {
        pane.viewport()->repaint();
        while (pane.SyntaxScanPending()) app.processEvents();
      });
      app.processEvents();
      const int kKeys = paired ? 200 : 50;
      std::vector<double> times, times_on;
      const std::size_t scanned_before = pane.SyntaxUnitsScanned();
      for (int k = 0; k < kKeys; ++k) {
        if (edit_top) {  // an edit near the top before each key, not timed
          QTextCursor top(pane.document());
          top.insertText(QStringLiteral("x"));
        }
        if (paired) pane.SetMarkupMarks(k % 2 == 1);  // not timed
        (paired && k % 2 == 1 ? times_on : times).push_back(TimeIt([&] {
          QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
          QCoreApplication::sendEvent(&pane, &press);
          pane.viewport()->repaint();
          app.processEvents();  // the gutter's update
        }));
      }
      if (paired) {
        std::sort(times.begin(), times.end());
        std::sort(times_on.begin(), times_on.end());
        const auto p95 = [](const std::vector<double>& v) { return v[v.size() * 95 / 100 - 1]; };
        std::printf("%-16s typing %s, marks off / on alternating per key: median %.2f / %.2f ms, "
                    "p95 %.2f / %.2f ms (ratio %.2f), %zu keys each\n",
                    "QtEditPane", where, times[times.size() / 2] * 1000,
                    times_on[times_on.size() / 2] * 1000, p95(times) * 1000, p95(times_on) * 1000,
                    p95(times_on) / p95(times), times.size());
        return;
      }
      const double total = std::accumulate(times.begin(), times.end(), 0.0);
      std::sort(times.begin(), times.end());
      std::printf(
          "%-16s typing %s: median %.2f ms per key, p95 %.2f ms, average %.2f ms, worst %.2f ms "
          "(%d keys); colouring scanned %zu characters per key; colours caught up "
          "after the jump in %.0f ms\n",
          "QtEditPane", where, times[kKeys / 2] * 1000, times[kKeys * 95 / 100 - 1] * 1000,
          total / kKeys * 1000, times.back() * 1000, kKeys,
          (pane.SyntaxUnitsScanned() - scanned_before) / kKeys, catch_up * 1000);
    };
    type_at(lined, lined.size(), "at the end of the page");
    type_at(lined, lined.size() / 2, "in the middle of the page");
    type_at(lined, lined.size(), "at the end, each key after an edit at the top", true);
    // The same page in lines of about 6 KB (every 100 lines joined).
    std::string wide;
    wide.reserve(lined.size());
    std::size_t breaks = 0;
    for (std::size_t i = 0; i < lined.size(); ++i) {
      if (lined[i] == '\r' && i + 1 < lined.size() && lined[i + 1] == '\n' && ++breaks % 100) {
        ++i;
        continue;
      }
      wide += lined[i];
    }
    type_at(wide, wide.size(), "at the end of the page of 6 KB lines");
    type_at(wide, wide.size(), "at the end of the page of 6 KB lines, after an edit at the top",
            true);
    const std::string long_line =
        "at the end of its " + std::to_string(padding + 1) + "-byte last line";
    type_at(text, text.size(), long_line.c_str());
    if (marks) {
      // What a pause costs on the largest page that is checked: the copy of
      // its bytes on the UI thread, and the check on the worker.
      const std::string page = lined.substr(0, hemlo::text::QtEditPane::kMarkupMarksLimit);
      pane.SetText(page.substr(0, page.rfind("\r\n")));
      std::string copy;
      const double snapshot = TimeIt([&] { copy = pane.DocumentBytes(); });
      std::size_t issues = 0;
      const double check = TimeIt(
          [&] { issues = hemlo::site::CheckMarkup(copy, hemlo::text::Encoding::kShiftJis).size(); });
      std::printf("%-16s markup marks on a %.1f MiB page: the copy on the UI thread %.1f ms, "
                  "the check on the worker %.0f ms (%zu issues)\n",
                  "QtEditPane", copy.size() / 1048576.0, snapshot * 1000, check * 1000, issues);
    }
  }
#else
  std::printf("QtEditPane: not built (hemlo_text_ui missing); figures above use MemoryEditPane\n");
#endif
  fs::remove_all(dir);
  return 0;
}
