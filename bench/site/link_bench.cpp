// Moving a page that 150 pages link to, on the 2,000-page tree of site_bench
// (about 50 MB, half Shift-JIS CRLF, half UTF-8 LF): PlanLinkUpdate and
// ApplyLinkUpdate together, against a `grep -rl | xargs sed -i` script and
// `mv` doing the same rewrite. Each run is undone (untimed) before the next;
// runs alternate, warm cache; prints medians, the ratio and the load.
// Usage: link_bench [pages=2000] [runs=7] [folder]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "site/link_rewrite.h"
#include "site_pages.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::Median;
using bench::Ms;

int Run(const std::string& command) { return std::system(command.c_str()); }

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  const fs::path root =
      argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path() / "hemlo-link-bench";
  fs::remove_all(root);
  fs::create_directories(root / "img");
  fs::create_directories(root / "info");
  std::ofstream(root / "img/pic.gif", std::ios::binary)
      << std::string("GIF89a\x04\x00\x03\x00\0\0\0", 13);
  int linking = 0;
  for (int n = 0; n < pages; ++n) {
    const bool about = n % 13 == 0 && linking < 150;
    linking += about ? 1 : 0;
    const fs::path dir = root / ("part" + std::to_string(n % 40));
    fs::create_directories(dir);
    std::ofstream(dir / ("page" + std::to_string(n) + ".htm"), std::ios::binary)
        << bench::SitePage(n, pages, n % 2 == 1,
                            about ? "<nav><a href=\"../about.htm#top\">このサイトについて</a></nav>\n"
                                  : "");
  }
  std::ofstream(root / "about.htm", std::ios::binary)
      << "<html><head><meta charset=\"UTF-8\"></head><body id=\"top\">\n"
         "<a href=\"part0/page0.htm\">表紙</a> <img src=\"img/pic.gif\">\n</body></html>\n";
  std::printf("%d pages, %d link to about.htm, in %s\n", pages, linking, root.c_str());

  const std::string r = "'" + root.string() + "'";
  // The same rewrite by hand: the linking pages, the moved page's own links, the move.
  const std::string sed =
      "cd " + r + " && LC_ALL=C grep -rl --include='*.htm' '\\.\\./about\\.htm' part* | "
      "xargs sed -i 's#\\.\\./about\\.htm#../info/about.htm#g' && "
      "sed -i 's#href=\"part#href=\"../part#g; s#src=\"img/#src=\"../img/#g' about.htm && "
      "mv about.htm info/about.htm";
  const std::string unsed =
      "cd " + r + " && mv info/about.htm about.htm && "
      "sed -i 's#href=\"\\.\\./part#href=\"part#g; s#src=\"\\.\\./img/#src=\"img/#g' about.htm && "
      "LC_ALL=C grep -rl --include='*.htm' 'info/about\\.htm' part* | "
      "xargs sed -i 's#\\.\\./info/about\\.htm#../about.htm#g'";
  (void)Run("LC_ALL=C grep -rc update " + r + " >/dev/null");  // warm the page cache

  std::vector<double> ours, peer, lists;
  std::size_t files = 0, changes = 0;
  bool same = true;
  for (int k = 0; k < runs; ++k) {
    auto t = Clock::now();
    const auto plan = hemlo::site::PlanLinkUpdate(root, root / "about.htm", root / "info/about.htm");
    lists.push_back(Ms(t));
    const auto out = hemlo::site::ApplyLinkUpdate(plan);
    ours.push_back(Ms(t));
    if (!out.ok) {
      std::printf("move failed: %s\n", out.message.c_str());
      return 1;
    }
    files = out.record.files.size();
    changes = out.record.changes;
    std::vector<std::pair<fs::path, std::string>> written;
    for (const auto& c : out.record.files)
      written.emplace_back(c.path.filename() == "about.htm" ? root / "info/about.htm" : c.path,
                           c.after);
    const auto undone = hemlo::site::UndoLinkUpdate(out.record);
    if (!undone.ok) {
      std::printf("undo failed: %s\n", undone.message.c_str());
      return 1;
    }
    t = Clock::now();
    if (Run(sed) != 0) std::puts("sed script failed");
    peer.push_back(Ms(t));
    for (const auto& [path, bytes] : written) {
      std::string now;
      same = same && hemlo::ReadWholeFile(path, now) && now == bytes;
    }
    if (Run(unsed) != 0) std::puts("undoing the sed script failed");
  }
  std::printf("move about.htm: %zu files, %zu links; ours %.0f ms (list %.0f ms), grep|sed %.0f ms, "
              "ratio %.2fx; same bytes as sed: %s\n",
              files, changes, Median(ours), Median(lists), Median(peer),
              Median(ours) / Median(peer), same ? "yes" : "NO");
  std::fflush(stdout);
  (void)Run("uptime");
  return 0;
}
