#include "transfer/local_paths.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "text/cp932.h"

namespace hemlo::transfer {
namespace fs = std::filesystem;
namespace {

// Calls f(offset, length) for every character of `path`.
template <typename F>
void ForEachChar(std::string_view path, PathText text, F f) {
  for (size_t i = 0; i < path.size();) {
    const size_t len = text == PathText::kShiftJis ? text::CharLength(path, i) : 1;
    f(i, len);
    i += len;
  }
}

// Offset of the last character that is `separator`, or npos.
size_t LastSeparator(std::string_view path, char separator, PathText text) {
  size_t last = std::string_view::npos;
  ForEachChar(path, text, [&](size_t i, size_t len) {
    if (len == 1 && path[i] == separator) last = i;
  });
  return last;
}

bool EndsWithSeparator(std::string_view path, char separator, PathText text) {
  if (path.empty()) return false;
  const size_t last = LastSeparator(path, separator, text);
  return last == path.size() - 1;
}

}  // namespace

std::string SwapSeparators(std::string_view path, char target, PathText text) {
  const char from = target == '/' ? '\\' : '/';
  const char to = target == '/' ? '/' : '\\';
  std::string out;
  out.reserve(path.size());
  ForEachChar(path, text, [&](size_t i, size_t len) {
    if (len == 1 && path[i] == from)
      out += to;
    else
      out.append(path.substr(i, len));
  });
  return out;
}

std::string ParentPath(std::string_view path, char separator, PathText text) {
  if (EndsWithSeparator(path, separator, text)) path.remove_suffix(1);
  const size_t last = LastSeparator(path, separator, text);
  if (last == std::string_view::npos) return {};
  return std::string(path.substr(0, last + 1));
}

std::string WithTrailingSeparator(std::string_view path, char separator, PathText text) {
  std::string out(path);
  if (!EndsWithSeparator(path, separator, text)) out += separator;
  return out;
}

LocalTreeLists CollectLocalTree(const std::string& root) {
  LocalTreeLists tree;
  tree.FolderList.push_back(root);
  std::set<fs::path> walked;
  for (size_t k = 0; k < tree.FolderList.size(); ++k) {
    const std::string folder = tree.FolderList[k];
    std::error_code ec;
    const fs::path canonical = fs::canonical(fs::path(folder), ec);
    if (!ec && !walked.insert(canonical).second) continue;  // a link loop
    fs::directory_iterator it(fs::path(folder), fs::directory_options::skip_permission_denied, ec);
    if (ec) continue;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      if (ec) break;
      const std::string name = it->path().filename().string();
      if (name == "." || name == "..") continue;
      const std::string full = WithTrailingSeparator(folder, '/', PathText::kUtf8) + name;
      std::error_code dec;
      if (it->is_directory(dec))
        tree.FolderList.push_back(full);
      else
        tree.FileList.push_back(full);
    }
  }
  return tree;
}

}  // namespace hemlo::transfer
