// Updating a shared part held by every page of a 2,000-page site (about
// 50 MB, half Shift-JIS CRLF, half UTF-8 LF, pages in 40 folders at two
// depths), against the peer `grep -rl` + `sed -i` doing the same rewrite in
// the same run. Runs alternate, warm cache; ours lists and writes (every page
// flushed to disk and renamed into place, as every save), sed rewrites in
// place. Prints medians and the ratio.
// Usage: parts_bench [pages=2000] [runs=5] [folder]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/version_store.h"
#include "site/shared_parts.h"
#include "site/site_replace.h"
#include "site_pages.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::Median;
using bench::Ms;
// The menu as Library/menu.lbi holds it; `label` is what an edit changes.
std::string Menu(const std::string& label) {
  std::string m = "\n<ul class=\"menu\">\n";
  for (int i = 0; i < 8; ++i)
    m += "<li><a href=\"../part" + std::to_string(i) + "/page" + std::to_string(i) +
         ".htm\">項目" + std::to_string(i) + "</a></li>\n";
  m += "<li><img src=\"../img/logo.png\" alt=\"" + label + "\"></li>\n</ul>\n";
  return m;
}

std::string Page(const std::string& copy, bool utf8) {
  std::string p = "<html><head><meta charset=\"" + std::string(utf8 ? "UTF-8" : "Shift_JIS") +
                  "\"><title>ページ</title></head><body>\n"
                  "<!-- #BeginLibraryItem \"/Library/menu.lbi\" -->" +
                  copy + "<!-- #EndLibraryItem -->\n";
  for (int k = 0; p.size() < 25000; ++k)
    p += "<p id=\"p" + std::to_string(k) +
         "\">これはサイトの段落です。日本語と English の文が続きます。</p>\n";
  p += "</body></html>\n";
  return utf8 ? p : bench::SjisCrlf(p);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace hemlo::site;
  const int pages = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const fs::path root =
      argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path() / "hemlo-parts-bench";
  const fs::path records = root.string() + "-records";
  fs::remove_all(root);
  fs::remove_all(records);
  fs::create_directories(root / "Library");
  // Each run a new label, so every page's bytes before the write are new to
  // the version store, as in real use (one old text for all runs would let
  // the store skip every page after the first run).
  auto label = [](int k) { return "ロゴ" + std::to_string(k); };
  const std::string v1 = Menu(label(0));
  std::ofstream(root / "Library/menu.lbi", std::ios::binary) << v1;
  std::size_t bytes = 0;
  for (int n = 0; n < pages; ++n) {
    // Half the folders one level down, half two.
    const std::string folder =
        "part" + std::to_string(n % 40) + (n % 80 >= 40 ? "/deep" : std::string());
    const fs::path dir = root / folder;
    fs::create_directories(dir);
    const std::string copy = RelocateLinks(v1, "Library", folder);
    const std::string page = Page(copy, n % 2 == 1);
    bytes += page.size();
    std::ofstream(dir / ("page" + std::to_string(n) + ".htm"), std::ios::binary) << page;
  }
  RecordPartText(root, records, "/Library/menu.lbi", v1);
  std::printf("%d pages, %.1f MB in %s\n", pages, bytes / 1e6, root.c_str());
  const std::string warm = "LC_ALL=C grep -rlc BeginLibraryItem '" + root.string() + "' >/dev/null";
  if (std::system(warm.c_str()) != 0) return 1;

  // The peer: the same change, as the pages hold it in each encoding, to the next label.
  auto sed = [&](int from, int to) {
    return "cd '" + root.string() +
           "' && LC_ALL=C grep -rl --include='*.htm' 'BeginLibraryItem \"/Library/menu.lbi\"' . "
           "| LC_ALL=C xargs sed -i -e 's/alt=\"" + label(from) + "\"/alt=\"" + label(to) +
           "\"/' -e 's/alt=\"" + hemlo::text::Sjis(label(from)) + "\"/alt=\"" +
           hemlo::text::Sjis(label(to)) + "\"/'";
  };
  std::vector<double> ours, peer, lists, folds;
  for (int r = 0; r < runs; ++r) {
    std::ofstream(root / "Library/menu.lbi", std::ios::binary) << Menu(label(2 * r + 1));
    auto t = Clock::now();
    const PartsPlan plan = PlanPartsUpdate(root, records);
    const double listed = Ms(t);
    const ReplaceOutcome out = ApplyReplacement(PlanAsReplacement(plan));
    WritePartRecords(root, records, plan);
    ours.push_back(Ms(t));
    lists.push_back(listed);
    if (!out.ok || out.record.files.size() != static_cast<std::size_t>(pages)) {
      std::printf("ours wrote %zu pages: %s\n", out.record.files.size(), out.message.c_str());
      return 1;
    }
    // The version store folds the old pages in afterwards, on its worker;
    // the peer runs only once it is done, so neither slows the other.
    t = Clock::now();
    hemlo::WaitForVersionStore();
    folds.push_back(Ms(t));
    const std::string next = Menu(label(2 * r + 2));
    std::ofstream(root / "Library/menu.lbi", std::ios::binary) << next;
    t = Clock::now();
    if (std::system(sed(2 * r + 1, 2 * r + 2).c_str()) != 0) return 1;
    peer.push_back(Ms(t));
    RecordPartText(root, records, "/Library/menu.lbi", next);
    // The peer must have changed every copy, or the next run of ours does less.
    if (PlanPartsUpdate(root, records).pages.size() != 0) {
      std::printf("sed left copies unchanged\n");
      return 1;
    }
    std::printf("run %d: ours %.0f ms (list %.0f ms; the store's fold after it %.0f ms), "
                "grep+sed %.0f ms\n",
                r + 1, ours.back(), lists.back(), folds.back(), peer.back());
  }
  std::printf(
      "update the part in %d pages: ours %.0f ms (list %.0f ms; fold after it %.0f ms), "
      "grep -rl + sed -i %.0f ms (%.2fx)\n",
      pages, Median(ours), Median(lists), Median(folds), Median(peer), Median(ours) / Median(peer));
  std::fflush(stdout);
  if (std::system("uptime") != 0) return 1;
  fs::remove_all(root);
  fs::remove_all(records);
  return 0;
}
