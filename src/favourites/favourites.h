#pragma once
// The favourites: "favorite.ini" in the program's folder, one row per line,
// three quoted fields (category, title, URL), Shift-JIS. No Qt here; the
// window (TForm4) keeps the tree and calls these to read and write it.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_result.h"

namespace hemlo::favourites {

inline constexpr const char* kFavouritesFileName = "favorite.ini";

std::filesystem::path FavouritesPath();  // in ProgramFolder()

struct FavouriteRow {
  std::string category;
  std::string title;
  std::string url;
};

// '"' category '","' title '","' url '"', inner quotes doubled.
std::string FormatRow(std::string_view category, std::string_view title, std::string_view url);

// Splits a row as a comma-separated list: a field in double quotes may hold
// commas and blanks, and "" in it stands for one quote; an unquoted field
// runs to the next comma, its inner blanks kept and the outer ones dropped.
std::vector<std::string> SplitRow(std::string_view line);

// Fields 1-3 of a row; nullopt when it has fewer than three.
std::optional<FavouriteRow> ParseRow(std::string_view line);

// The rows a first start offers when there is no file: one category.
std::vector<std::string> BuiltInRows();

// Lines of a file as a text list reads them (CRLF, LF or lone CR).
std::vector<std::string> SplitLines(std::string_view bytes);

// The favourites list: the file's rows as lines, loaded once at start-up and
// written back by SaveFavourites.
class FavouritesList {
 public:
  // Reads favorite.ini from the program's folder, or takes the built-in rows
  // when it does not exist. Fails when the file exists but cannot be read;
  // the list is then empty and Save refuses to replace the unread file.
  FileResult Load();

  const std::vector<std::string>& lines() const { return lines_; }
  void set_lines(std::vector<std::string> lines) { lines_ = std::move(lines); }
  void clear() { lines_.clear(); }
  bool load_failed() const { return load_failed_; }

 private:
  std::vector<std::string> lines_;
  bool load_failed_ = false;
};

// A favourite record: the URL carried by an entry node.
struct FavouriteRecord {
  std::string url;
};

// Every record made during one opening of the window; all released together
// when the window has closed.
using FavouriteRecordList = std::vector<std::unique_ptr<FavouriteRecord>>;

struct FavouriteEntry {
  std::string title;
  std::string url;
  bool operator==(const FavouriteEntry&) const = default;
};

struct FavouriteCategory {
  std::string name;
  std::vector<FavouriteEntry> entries;
  bool operator==(const FavouriteCategory&) const = default;
};

// The tree built from the list, in list order: a new category node whenever
// field 1 differs from the previous row's (so non-adjacent rows of one
// category make two nodes). Rows with fewer than three fields are skipped.
std::vector<FavouriteCategory> BuildFavouriteTree(const std::vector<std::string>& lines);

// The file's sort order: the rows decoded from Shift-JIS and compared by the
// collation of the user's locale (LC_ALL, LC_COLLATE, LANG), letter case
// ignored; half-width kana sort with their full-width forms.
int CompareIgnoringCase(std::string_view a, std::string_view b);

// True when a category named `name` exists already, in any letter case
// (Latin, full-width Latin, Greek and Cyrillic letters folded to one case).
bool CategoryExists(const std::vector<std::string>& names, std::string_view name);

// The rows SaveFavourites writes: every entry with a non-empty URL, in display
// order, plus the malformed rows of the previous list (kept so that nothing
// the user had is lost), sorted ignoring case (stable for equal rows).
std::vector<std::string> RowsToSave(const std::vector<FavouriteCategory>& tree,
                                    const std::vector<std::string>& previous_lines);

// SaveFavourites without the window: builds the rows, writes favorite.ini
// atomically and, when that worked, makes them the list. A tree that is the
// one the list makes leaves an existing file alone, as the user wrote it.
// The message is UTF-8, for the standard error box.
FileResult SaveFavourites(const std::vector<FavouriteCategory>& tree, FavouritesList& list);

}  // namespace hemlo::favourites
