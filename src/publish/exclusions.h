#pragma once
// The files a site sync never sends and never deletes on the server
// ("除外するファイル"): patterns separated by blanks, as in
// ".git/ *.bak Thumbs.db". A pattern ending in "/" names folders only
// (and everything below them); one without an inner "/" is matched
// against each name in the tree, one with an inner "/" against the whole
// path from the site's root. Wildcards as fnmatch(3): * ? [...].
// Core code (no Qt); UTF-8.
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::publish {

class Exclusions {
 public:
  Exclusions() = default;  // excludes nothing
  explicit Exclusions(std::string_view patterns);

  // `rel`: "/"-separated, relative to the site's root.
  bool Excludes(std::string_view rel, bool folder) const;
  bool Empty() const { return patterns_.empty(); }

 private:
  struct Pattern {
    std::string glob;
    bool folders_only = false;
    bool whole_path = false;
  };
  std::vector<Pattern> patterns_;
};

}  // namespace hemlo::publish
