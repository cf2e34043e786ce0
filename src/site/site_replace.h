#pragma once
// Replacement across a site, from a search that carried a replacement text:
// every ticked hit replaced in its file, each file written whole and
// atomically in its own encoding, and the original bytes kept so one undo
// restores every file exactly. No Qt here.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "site/site_search.h"

namespace hemlo::site {

struct FileChange {
  std::filesystem::path path;
  Encoding encoding = Encoding::kShiftJis;
  std::string before;
  std::string after;
};

// What one replacement did, enough to undo it.
struct ReplaceRecord {
  std::vector<FileChange> files;
  std::size_t replacements = 0;
};

// The file's bytes with its ticked hits replaced; nullopt when a replacement
// holds a character the file's encoding cannot (named in `refused`).
std::optional<std::string> ReplacedBytes(const FileHits& file, std::string* refused = nullptr);

struct ReplaceOutcome {
  bool ok = false;
  std::string message;  // Japanese: why nothing (or not everything) was written
  // The files now changed: all of them when ok; after a failure only those
  // that could not be put back, named in the message, for 元に戻す.
  ReplaceRecord record;
  // Set when the earlier versions could not be kept (the files were written).
  std::string version_notice;
};

// Every file changes or none does: files that cannot hold their replacement,
// that are write-protected or that changed after the search are all named and
// nothing is written. Every new file is written out in full before any takes
// its place, so a full disk changes nothing.
ReplaceOutcome ApplyReplacement(const SearchResult& result);

struct UndoOutcome {
  std::vector<std::filesystem::path> restored;
  // Files edited after the replacement are left as they are and named here (Japanese).
  std::string message;
  std::string version_notice;  // as in ReplaceOutcome
};
UndoOutcome UndoReplacement(const ReplaceRecord& record);

}  // namespace hemlo::site
