#pragma once
// Paths of a move, shared by its planning and its undo. No Qt here.
#include <filesystem>
#include <string>

namespace hemlo::site {

// `p` is `base` or lies under it (both normal and absolute).
inline bool Within(const std::filesystem::path& p, const std::filesystem::path& base) {
  const std::string& s = p.native();
  const std::string& b = base.native();
  return s.size() >= b.size() && s.compare(0, b.size(), b) == 0 &&
         (s.size() == b.size() || s[b.size()] == '/');
}

// Where `p` is once `from` has become `to`.
inline std::filesystem::path Mapped(const std::filesystem::path& p,
                                    const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
  if (!Within(p, from)) return p;
  return std::filesystem::path(to.native() + p.native().substr(from.native().size()));
}

// `target` as a relative reference from a page at `page` (both absolute and
// normal), in ASCII: names %-encoded as UTF-8, the form a browser sends
// whatever the page's encoding. Made in link_plan.cpp, beside the rewrite.
std::string LinkBetween(const std::filesystem::path& page, const std::filesystem::path& target);

}  // namespace hemlo::site
