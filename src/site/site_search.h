#pragma once
// Search across a site: every file under a folder that matches the file
// patterns, each read in its own encoding (Shift-JIS or UTF-8, as the editor
// decides for it), hits reported by file, line and column. No Qt here.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "site/page_text.h"
#include "site/site_files.h"

namespace hemlo::site {

struct SearchOptions {
  std::string pattern;  // UTF-8, one line
  bool match_case = false;
  bool whole_word = false;  // letters, digits and '_' make words
  bool regex = false;       // Perl syntax (PCRE2), matched line by line
  std::string file_patterns{kDefaultFilePatterns};
  // UTF-8. With a regular expression "$&" and "$1".."$9" stand for the match and its groups.
  std::optional<std::string> replacement;
};

struct Hit {
  std::size_t offset = 0;  // bytes of the file
  std::size_t length = 0;
  std::size_t line = 1;        // from 1
  std::size_t column = 0;      // characters from the line start
  std::size_t line_start = 0;  // bytes of the file
  std::size_t line_end = 0;    // where its line break (or the file) starts
  std::string line_text;       // UTF-8, for display
  std::string replacement;     // UTF-8, when the search carried one
  bool included = true;        // replace this one
};

struct FileHits {
  std::filesystem::path path;
  Encoding encoding = Encoding::kShiftJis;
  std::string bytes;  // as read, so a replacement sees whether the file changed since
  std::vector<Hit> hits;
};

struct SearchResult {
  std::vector<FileHits> files;  // files with hits only
  std::size_t files_searched = 0;
  std::vector<std::filesystem::path> unreadable;
  std::string error;  // the pattern is empty or no valid expression (Japanese)
  std::size_t HitCount() const;
};

// One compiled search, reused for every file.
class Matcher {
 public:
  explicit Matcher(const SearchOptions& options);
  ~Matcher();
  const std::string& error() const { return error_; }
  // Offsets, lengths and replacements of the non-overlapping hits, in order.
  std::vector<Hit> Find(std::string_view bytes, Encoding encoding) const;

 private:
  struct Compiled;
  std::vector<Hit> FindLiteral(std::string_view bytes, Encoding encoding) const;
  std::vector<Hit> FindRegex(std::string_view bytes, Encoding encoding) const;
  SearchOptions options_;
  std::string error_;
  std::unique_ptr<Compiled> compiled_;
};

// Fills line, column and display text of hits in increasing order.
void PlaceHits(std::string_view bytes, Encoding encoding, std::vector<Hit>& hits);

SearchResult SearchSite(const std::filesystem::path& root, const SearchOptions& options);

}  // namespace hemlo::site
