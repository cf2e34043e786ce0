#include "publish/exclusions.h"

#include <fnmatch.h>

namespace hemlo::publish {

Exclusions::Exclusions(std::string_view patterns) {
  size_t i = 0;
  while (i < patterns.size()) {
    while (i < patterns.size() && (patterns[i] == ' ' || patterns[i] == '\t')) ++i;
    size_t end = i;
    while (end < patterns.size() && patterns[end] != ' ' && patterns[end] != '\t') ++end;
    std::string glob(patterns.substr(i, end - i));
    i = end;
    Pattern p;
    while (!glob.empty() && glob.back() == '/') {
      p.folders_only = true;
      glob.pop_back();
    }
    while (!glob.empty() && glob.front() == '/') {
      p.whole_path = true;  // "/drafts/" is the root's own folder
      glob.erase(0, 1);
    }
    if (glob.empty()) continue;
    p.whole_path = p.whole_path || glob.find('/') != std::string::npos;
    p.glob = std::move(glob);
    patterns_.push_back(std::move(p));
  }
}

bool Exclusions::Excludes(std::string_view rel, bool folder) const {
  const std::string path(rel);
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (const auto& p : patterns_) {
    if (p.folders_only && !folder) continue;
    const std::string& subject = p.whole_path ? path : name;
    if (::fnmatch(p.glob.c_str(), subject.c_str(), p.whole_path ? FNM_PATHNAME : 0) == 0)
      return true;
  }
  return false;
}

}  // namespace hemlo::publish
