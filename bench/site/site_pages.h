#pragma once
// What the site benchmarks share: timing, medians and the generated pages.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "text/cp932.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// Processor time of the whole process so far, every thread counted: on a
// shared machine it moves far less with the load than the wall clock does.
inline double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// A UTF-8 LF page as a Shift-JIS CRLF one.
inline std::string SjisCrlf(const std::string& utf8) {
  std::string crlf;
  for (char c : utf8) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return hemlo::text::Sjis(crlf);
}

// A hand-written page of about 25 KB: paragraphs, a table, links to its
// neighbours, an image with its size, a few ids; "update" now and then.
// `nav` goes first in the body.
inline std::string SitePage(int n, int pages, bool utf8, std::string_view nav = {}) {
  std::string p = "<html><head><meta charset=\"" + std::string(utf8 ? "UTF-8" : "Shift_JIS") +
                  "\"><title>ページ " + std::to_string(n) + "</title></head><body>\n";
  p += nav;
  for (int k = 0; p.size() < 27500; ++k) {
    p += "<p id=\"p" + std::to_string(k) +
         "\">これはサイトの段落です。日本語と English の文が"
         "続きます。①②③ ｶﾀｶﾅ も少し。";
    if (k % 7 == 0) p += "Last update: 2026-12-08. ";
    // Neighbours in the same folder (folders hold every 40th page).
    p += "<a href=\"page" + std::to_string((n + 40 * (k + 1)) % pages) + ".htm#p0\">次へ</a></p>\n";
    if (k % 10 == 0)
      p += "<table><tr><td>表</td><td><img src=\"/img/pic.gif\" width=\"4\" height=\"3\" "
           "alt=\"絵\"></td></tr></table>\n";
  }
  p += "</body></html>\n";
  return utf8 ? p : SjisCrlf(p);
}

}  // namespace bench
