// The rules behind typing in the edit pane, without the pane: expanding
// table>tr*20>td*10, and the end tag for a '>' and a "</" at the end of a
// page, over the full window the pane hands them.
// Run: build-*/bin/typing_bench [runs=7]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "text/abbreviation.h"
#include "text/closing_tags.h"
#include "text/cp932.h"

namespace {

using Clock = std::chrono::steady_clock;

// Median over `runs` of the time of one call, each run the mean of `reps` calls.
double MedianMs(int runs, int reps, const std::function<void()>& f) {
  std::vector<double> t;
  for (int r = 0; r < runs; ++r) {
    const auto start = Clock::now();
    for (int i = 0; i < reps; ++i) f();
    t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count() / reps);
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 7;
  std::size_t out = 0;
  const double expand = MedianMs(runs, 200, [&] {
    out += hemlo::text::ExpandAbbreviation("\ttable>tr*20>td*10", "\t", "\t")->text.size();
  });
  std::printf("expand table>tr*20>td*10: median %.4f ms (%zu bytes out)\n", expand,
              out / (static_cast<std::size_t>(runs) * 200));
  // A page of nested markup with Japanese text, longer than the window.
  std::string page;
  const std::string line = hemlo::text::Sjis("<div class=\"x\"><p>日本語の<b>文章</b>です。</p></div>\r\n");
  while (page.size() < 2 * hemlo::text::kClosingTagWindow) page += line;
  page += "<ul><li>";
  const std::string gt = page + "<p>";
  const std::string slash = page + "</";
  const double close = MedianMs(runs, 200, [&] {
    out += hemlo::text::EndTagAfterGreaterThan(gt, "").size();
  });
  const double complete = MedianMs(runs, 200, [&] {
    out += hemlo::text::CompleteEndTag(slash, "").insert.size();
  });
  std::printf("end tag after '>' on a %zu KiB page: median %.4f ms\n", page.size() / 1024, close);
  std::printf("\"</\" completed on the same page: median %.4f ms\n", complete);
  return out == 0;
}
