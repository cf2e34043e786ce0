// Saving a page with the version store on and off, alternated in the same
// run (median of each), and what a hundred one-line edits of a 1 MB page
// leave in the store.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "base/version_store.h"
#include "shell/document_file.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string Page(std::size_t bytes) {
  std::string s = "<html><body>\r\n";
  for (int i = 0; s.size() < bytes; ++i)
    s += "<p class=\"x\">Line " + std::to_string(i) + " of the sample page, with some words.</p>\r\n";
  return s;
}

// A different line each time, so every save stores a new version.
void Edit(std::string& page, int n) {
  const std::size_t at = page.find("\r\n", (static_cast<std::size_t>(n) * 7919) % page.size());
  page.insert(at == std::string::npos ? page.size() : at, "<b>" + std::to_string(n) + "</b>");
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double SaveMs(const fs::path& file, std::string& page, int n) {
  Edit(page, n);
  const auto start = Clock::now();
  if (const hemlo::FileResult r = hemlo::WriteDocument(file, page); !r)
    std::fprintf(stderr, "save: %s\n", r.message.c_str());
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Compare(const fs::path& dir, std::size_t bytes, int runs) {
  const fs::path file = dir / ("page-" + std::to_string(bytes) + ".htm");
  std::string page = Page(bytes);
  hemlo::WriteDocument(file, page);
  std::vector<double> on, off, fold;
  for (int i = 0; i < 2 * runs; ++i) {
    const bool store = i % 2 == 0;
    hemlo::SetVersionCap(store ? hemlo::kDefaultVersionCapBytes : 0);
    (store ? on : off).push_back(SaveMs(file, page, i + 1));
    // The worker's folding in, after the save has returned (a user's next
    // save comes seconds later): timed apart, and never inside the next save.
    const auto start = Clock::now();
    hemlo::WaitForVersionStore();
    if (store) fold.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  // What the store itself adds to a save: setting the old page aside.
  std::vector<double> aside;
  hemlo::SetVersionCap(hemlo::kDefaultVersionCapBytes);
  for (int i = 0; i < runs; ++i) {
    Edit(page, 1000 + i);
    const auto start = Clock::now();
    hemlo::KeepBeforeWrite(file, "上書き保存");
    aside.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    hemlo::WriteFileAtomically(file, page);
    hemlo::WaitForVersionStore();
  }
  const double a = Median(on), b = Median(off);
  std::printf("save of %.1f MB: store on %.1f ms, off %.1f ms (median of %d each): %.2fx; "
              "the store's part of the save %.2f ms; folded in on the worker after it: %.1f ms\n",
              bytes / 1048576.0, a, b, runs, a / b, Median(aside), Median(fold));
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 9;
  const fs::path dir = fs::temp_directory_path() / ("hemlo-version-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir / "state");
  hemlo::SetProgramFolder(dir / "state");
  Compare(dir, 1 << 20, runs);
  Compare(dir, 20 << 20, runs);

  // A hundred saves of a 1 MB page, each changing one line. The worker may
  // still be writing a pending entry: let it finish before the folder goes.
  hemlo::WaitForVersionStore();
  fs::remove_all(dir / "state" / "versions");
  hemlo::SetVersionCap(hemlo::kDefaultVersionCapBytes);
  const fs::path file = dir / "hundred.htm";
  std::string page = Page(1 << 20);
  hemlo::WriteDocument(file, page);
  for (int i = 1; i <= 100; ++i) SaveMs(file, page, i);
  const auto& store = hemlo::ProgramVersionStore();
  std::printf("store after 100 one-line saves of a 1 MB page: %.2f MB, %zu versions\n",
              store.TotalBytes() / 1048576.0, store.Versions(file).size());
  hemlo::WaitForVersionStore();
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}
