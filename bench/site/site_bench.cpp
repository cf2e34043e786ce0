// Search across a site and the site check, on 2,000 generated pages (about
// 50 MB, half Shift-JIS, half UTF-8, CRLF and LF), against the peer
// `LC_ALL=C grep -rc WORD` on the same folder in the same run (grep decodes
// nothing). The site check's markup part runs against Debian's `tidy -e -q`
// started once per page. Runs alternate, warm cache; prints medians and ratios.
// Usage: site_bench [pages=2000] [runs=5] [folder] [check]
// ("check": only the site check and its markup part, without the peers.)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/atomic_file.h"
#include "site/markup_check.h"
#include "site/page_text.h"
#include "site/site_check.h"
#include "site/site_files.h"
#include "site/site_search.h"
#include "site_pages.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::Median;
using bench::Ms;
// The markup part of the site check alone: every page read and given to
// libtidy, on every core as the check does.
std::size_t MarkupPart(const fs::path& root) {
  const std::vector<fs::path> pages = hemlo::site::ListSiteFiles(root, "*.htm");
  std::atomic<std::size_t> next{0}, issues{0};
  auto work = [&] {
    std::string bytes;
    for (std::size_t i; (i = next.fetch_add(1)) < pages.size();)
      if (hemlo::ReadWholeFile(pages[i], bytes))
        issues += hemlo::site::CheckMarkup(bytes, hemlo::site::ClassifyPage(bytes).encoding).size();
  };
  std::vector<std::thread> pool;
  for (unsigned i = 1; i < std::clamp(std::thread::hardware_concurrency(), 1u, 4u); ++i)
    pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return issues;
}

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const fs::path root = argc > 3 && *argv[3] ? fs::path(argv[3])
                                              : fs::temp_directory_path() / "hemlo-site-bench";
  const bool check_only = argc > 4 && std::string(argv[4]) == "check";
  fs::remove_all(root);
  fs::create_directories(root / "img");
  std::ofstream(root / "img/pic.gif", std::ios::binary)
      << std::string("GIF89a\x04\x00\x03\x00\0\0\0", 13);
  std::size_t bytes = 0;
  for (int n = 0; n < pages; ++n) {
    const std::string page = bench::SitePage(n, pages, n % 2 == 1);
    bytes += page.size();
    const fs::path dir = root / ("part" + std::to_string(n % 40));
    fs::create_directories(dir);
    std::ofstream(dir / ("page" + std::to_string(n) + ".htm"), std::ios::binary) << page;
  }
  std::printf("%d pages, %.1f MB in %s\n", pages, bytes / 1e6, root.c_str());

  hemlo::site::SearchOptions options;
  options.pattern = "update";
  const std::string grep = "LC_ALL=C grep -rc update '" + root.string() + "' >/dev/null";
  if (std::system(grep.c_str()) < 0) std::puts("grep failed");  // warms the page cache
  hemlo::site::SearchOptions any_case = options;
  options.match_case = true;
  const std::string grep_i = "LC_ALL=C grep -rci update '" + root.string() + "' >/dev/null";
  const std::string tidy =
      "find '" + root.string() + "' -name '*.htm' -exec tidy -e -q {} \\; 2>/dev/null";
  std::vector<double> ours, peer, ours_i, peer_i, japanese, check, markup, peer_tidy, check_cpu;
  std::size_t hits = 0, findings = 0, issues = 0;
  for (int r = 0; r < runs; ++r) {
    auto t = Clock::now();
    if (check_only) {
      const double cpu = bench::CpuMs();
      findings = hemlo::site::CheckSite(root).findings.size();
      check.push_back(Ms(t));
      check_cpu.push_back(bench::CpuMs() - cpu);
      t = Clock::now();
      issues = MarkupPart(root);
      markup.push_back(Ms(t));
      std::printf("run %d: site check %.0f ms (processor %.0f ms), markup part %.0f ms\n", r + 1,
                  check.back(), check_cpu.back(), markup.back());
      continue;
    }
    hits = hemlo::site::SearchSite(root, options).HitCount();
    ours.push_back(Ms(t));
    t = Clock::now();
    if (std::system(grep.c_str()) != 0) std::puts("grep failed");
    peer.push_back(Ms(t));
    t = Clock::now();
    (void)hemlo::site::SearchSite(root, any_case);
    ours_i.push_back(Ms(t));
    t = Clock::now();
    if (std::system(grep_i.c_str()) != 0) std::puts("grep failed");
    peer_i.push_back(Ms(t));
    hemlo::site::SearchOptions jp;
    jp.pattern = "段落";
    t = Clock::now();
    (void)hemlo::site::SearchSite(root, jp);
    japanese.push_back(Ms(t));
    t = Clock::now();
    findings = hemlo::site::CheckSite(root).findings.size();
    check.push_back(Ms(t));
    t = Clock::now();
    issues = MarkupPart(root);
    markup.push_back(Ms(t));
    t = Clock::now();
    if (std::system(tidy.c_str()) < 0) std::puts("tidy failed");  // 1 on warnings: no failure
    peer_tidy.push_back(Ms(t));
  }
  if (check_only) {
    std::printf(
        "site check (%zu findings): %.0f ms (processor %.0f ms); its markup part (%zu issues): "
        "%.0f ms\n",
        findings, Median(check), Median(check_cpu), issues, Median(markup));
    std::fflush(stdout);
    return std::system("uptime") == 0 ? 0 : 1;
  }
  std::printf("search \"update\" (%zu hits): %.0f ms, grep -rc %.0f ms, ratio %.2fx\n", hits,
              Median(ours), Median(peer), Median(ours) / Median(peer));
  std::printf("any case: %.0f ms, grep -rci %.0f ms, ratio %.2fx\n", Median(ours_i), Median(peer_i),
              Median(ours_i) / Median(peer_i));
  std::printf("search \"段落\" in both encodings: %.0f ms\n", Median(japanese));
  std::printf("site check (%zu findings): %.0f ms\n", findings, Median(check));
  std::printf("its markup part (%zu issues): %.0f ms, tidy -e -q per page %.0f ms, %.2fx faster\n",
              issues, Median(markup), Median(peer_tidy), Median(peer_tidy) / Median(markup));
  return 0;
}
