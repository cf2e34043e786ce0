#include "site/site_files.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "base/ascii_case.h"
#include "base/preview_record.h"

namespace hemlo::site {

namespace {

bool Glob(std::string_view s, std::string_view p) {
  std::size_t si = 0, pi = 0, star = std::string_view::npos, mark = 0;
  while (si < s.size()) {
    if (pi < p.size() && (p[pi] == '?' || AsciiLower(p[pi]) == AsciiLower(s[si]))) {
      ++si, ++pi;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++, mark = si;
    } else if (star != std::string_view::npos) {
      pi = star + 1, si = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

std::vector<std::string> SplitPatterns(std::string_view patterns) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find_first_of(";,", start);
    if (end == std::string_view::npos) end = patterns.size();
    std::string_view one = patterns.substr(start, end - start);
    while (!one.empty() && (one.front() == ' ' || one.front() == '\t')) one.remove_prefix(1);
    while (!one.empty() && (one.back() == ' ' || one.back() == '\t')) one.remove_suffix(1);
    if (!one.empty()) out.emplace_back(one);
    start = end + 1;
  }
  return out;
}

bool MatchesPattern(std::string_view name, std::string_view pattern) { return Glob(name, pattern); }

std::vector<std::filesystem::path> ListSiteFiles(const std::filesystem::path& root,
                                                 std::string_view patterns) {
  namespace fs = std::filesystem;
  const std::vector<std::string> wanted = SplitPatterns(patterns);
  std::vector<fs::path> plain;
  std::vector<fs::path> links;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code sec;
    // The entry's type comes with the folder listing: no call per file.
    if (!it->is_regular_file(sec)) continue;
    const std::string name = it->path().filename().native();
    if (!std::any_of(wanted.begin(), wanted.end(),
                     [&](const std::string& p) { return Glob(name, p); }))
      continue;
    // Preview copies hold unsaved text: not the site's.
    if (PreviewRecord::Shared().IsOurs(it->path().native())) continue;
    (it->is_symlink(sec) ? links : plain).push_back(it->path());
  }
  // A file reached both directly and through a link is listed once, directly.
  std::set<std::string> seen;
  for (const fs::path& f : plain) seen.insert(f.native());
  for (const fs::path& link : links) {
    std::error_code sec;
    const fs::path real = fs::canonical(link, sec);
    if (!sec && seen.insert(real.native()).second) plain.push_back(link);
  }
  std::sort(plain.begin(), plain.end(),
            [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
  return plain;
}

}  // namespace hemlo::site
