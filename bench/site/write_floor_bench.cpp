// What writing a site's pages costs on this disk with nothing of ours
// around it: `files` new files of 22 KB in 40 folders, written on 8
// threads, each flushed (or not, as sed writes), then renamed over the
// old ones. The floor under parts_bench and link_bench. Runs alternate
// flushed and unflushed; prints each run.
// Usage: write_floor_bench [files=2000] [runs=3]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "site_pages.h"

namespace {

template <typename Fn>
void OnThreads(int n, Fn fn) {
  std::atomic<int> next{0};
  std::vector<std::thread> pool;
  for (int k = 0; k < 8; ++k)
    pool.emplace_back([&] {
      for (int i; (i = next++) < n;) fn(i);
    });
  for (std::thread& t : pool) t.join();
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  const fs::path root = fs::temp_directory_path() / "hemlo-write-floor";
  const std::string page(22000, 'x');
  auto name = [&](int i) {
    return (root / std::to_string(i % 40) / ("p" + std::to_string(i) + ".htm")).string();
  };
  for (int r = 0; r < 2 * runs; ++r) {
    const bool flush = r % 2 == 0;
    fs::remove_all(root);
    for (int d = 0; d < 40; ++d) fs::create_directories(root / std::to_string(d));
    for (int i = 0; i < files; ++i) {
      const int fd = ::open(name(i).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || ::write(fd, page.data(), page.size()) < 0) return 1;
      ::close(fd);
    }
    ::sync();
    auto t = bench::Clock::now();
    OnThreads(files, [&](int i) {
      const int fd = ::open((name(i) + ".tmp").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      if (fd < 0 || ::write(fd, page.data(), page.size()) < 0) std::abort();
      if (flush) ::fsync(fd);
      ::close(fd);
    });
    const double staged = bench::Ms(t);
    t = bench::Clock::now();
    OnThreads(files, [&](int i) { std::rename((name(i) + ".tmp").c_str(), name(i).c_str()); });
    std::printf("%s: write %.0f ms, rename %.0f ms, together %.0f ms\n",
                flush ? "flushed  " : "unflushed", staged, bench::Ms(t), staged + bench::Ms(t));
  }
  fs::remove_all(root);
  std::fflush(stdout);
  return std::system("uptime") == 0 ? 0 : 1;
}
