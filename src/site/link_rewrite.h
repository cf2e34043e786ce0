#pragma once
// Moving or renaming a file or folder of a site without breaking its links:
// every reference to it in the site's pages and style sheets (and every
// relative reference inside what moves) is found and rewritten, each file in
// its own encoding with every byte outside the changed values kept. Applying
// keeps what one undo needs to put every file and name back. No Qt here.
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "site/page_text.h"
#include "site/redirect_page.h"
#include "site/site_replace.h"

namespace hemlo::site {

struct LinkChange {
  std::size_t offset = 0;  // bytes of the file, of the value's first byte
  std::size_t length = 0;
  std::size_t line = 1;
  std::string before;  // bytes as in the file
  std::string after;   // bytes to write (empty when not decidable)
  std::string shown_before;  // UTF-8, for the list
  std::string shown_after;
  // False for what looks like a reference but is not one the rewrite can
  // judge (inside a script, an event handler, a javascript: link): listed,
  // never written.
  bool decidable = true;
  bool included = true;
};

struct LinkFile {
  std::filesystem::path path;   // where it is now
  std::filesystem::path moved;  // where it will be (== path unless inside what moves)
  Encoding encoding = Encoding::kShiftJis;
  std::string bytes;  // as read, so applying sees whether the file changed since
  std::vector<LinkChange> changes;
};

struct LinkPlan {
  std::filesystem::path root, from, to;
  std::vector<LinkFile> files;  // only files with at least one change or unchecked place
  std::string error;            // Japanese; set when the move cannot be made at all
};

// Files whose references are rewritten.
inline constexpr std::string_view kLinkFilePatterns = "*.htm;*.html;*.shtml;*.xhtml;*.css";

// `from` (a file or folder under `root`) is to become `to`.
LinkPlan PlanLinkUpdate(const std::filesystem::path& root, const std::filesystem::path& from,
                        const std::filesystem::path& to);

// The file's bytes with its ticked, decidable changes made.
std::string RewrittenBytes(const LinkFile& file);

struct MoveRecord {
  std::filesystem::path from, to;
  std::vector<FileChange> files;  // paths as before the move
  std::size_t changes = 0;
  RedirectPages redirects;  // left at the old addresses of moved pages
};

struct MoveOutcome {
  bool ok = false;
  std::string message;  // Japanese, when !ok
  MoveRecord record;
  std::string version_notice;  // the version store could not keep a file's old bytes
  std::vector<std::string> redirects_skipped;  // old addresses left without a page, and why
};

// Writes every changed file (all or none, each atomically), then renames.
// When the rename fails the files are put back. With `redirects` a page
// moved leaves a redirect page at its old address.
MoveOutcome ApplyLinkUpdate(const LinkPlan& plan, bool redirects = false);

// Takes the redirect pages away, renames back and restores every file's
// bytes; refuses, changing nothing, when any of them was edited after the
// move or the old name is taken.
struct MoveUndoOutcome {
  bool ok = false;
  std::string message;  // Japanese, when !ok
  std::string version_notice;  // as in MoveOutcome
};
MoveUndoOutcome UndoLinkUpdate(const MoveRecord& record);

}  // namespace hemlo::site
