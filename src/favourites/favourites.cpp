#include "favourites/favourites.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "base/ascii_case.h"
#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "text/comma_fields.h"
#include "text/cp932.h"

namespace hemlo::favourites {
namespace {

bool IsBlank(unsigned char c) { return c >= 1 && c <= ' '; }

bool IsBlankLine(std::string_view line) {
  return std::all_of(line.begin(), line.end(),
                     [](char c) { return IsBlank(static_cast<unsigned char>(c)) || c == '\0'; });
}

void AppendQuoted(std::string& out, std::string_view field) {
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return AsciiLower(c);
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;                 // Ａ-Ｚ
  if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return c + 0x20;  // Latin-1 capitals
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;  // Greek
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;                 // Cyrillic
  if (c >= 0x0400 && c <= 0x040F) return c + 0x50;                 // Ё and its row
  return c;
}

std::u16string FoldedKey(std::string_view bytes) {
  std::u16string s = text::Decode(bytes).text;
  for (auto& c : s) c = FoldCase(c);
  return s;
}

// The user's collation locale from the environment, as ICU names it. The C
// and POSIX locales take the root collation: ICU's POSIX tailoring would put
// every capital before every small letter.
std::string CollationLocale() {
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value == nullptr || *value == '\0') continue;
    std::string name(value);
    name = name.substr(0, name.find_first_of(".@"));
    return name == "C" || name == "POSIX" ? std::string() : name;
  }
  return {};
}

// The locale's collation at secondary strength: letter case (and the width
// of kana, which Japanese collation ranks with case) is not a difference.
class Collator {
 public:
  Collator() {
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open(CollationLocale().c_str(), &status);
    if (U_FAILURE(status)) {
      collator_ = nullptr;
      return;
    }
    ucol_setStrength(collator_, UCOL_SECONDARY);
  }
  ~Collator() {
    if (collator_) ucol_close(collator_);
  }
  Collator(const Collator&) = delete;
  Collator& operator=(const Collator&) = delete;

  // Texts decoded from Shift-JIS; folded code order when ICU has no collator.
  int Compare(const std::u16string& a, const std::u16string& b) const {
    if (collator_ == nullptr) {
      const int c = FoldKey(a).compare(FoldKey(b));
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    switch (ucol_strcoll(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()))) {
      case UCOL_LESS:
        return -1;
      case UCOL_GREATER:
        return 1;
      default:
        return 0;
    }
  }

 private:
  static std::u16string FoldKey(std::u16string s) {
    for (auto& c : s) c = FoldCase(c);
    return s;
  }
  UCollator* collator_ = nullptr;
};

}  // namespace

std::filesystem::path FavouritesPath() { return ProgramFolder() / kFavouritesFileName; }

std::string FormatRow(std::string_view category, std::string_view title, std::string_view url) {
  std::string row;
  row.reserve(category.size() + title.size() + url.size() + 8);
  AppendQuoted(row, category);
  row += ',';
  AppendQuoted(row, title);
  row += ',';
  AppendQuoted(row, url);
  return row;
}

std::vector<std::string> SplitRow(std::string_view s) {
  // NUL stays field text here, as the favourites file has always read it. A
  // hand-written row ("cat,My Page,http://...") keeps its titles whole: the
  // rows this program writes are quoted, so they read the same either way.
  return text::SplitCommaFields(s, /*nul_is_blank=*/false, /*blank_ends_field=*/false);
}

std::optional<FavouriteRow> ParseRow(std::string_view line) {
  auto fields = SplitRow(line);
  if (fields.size() < 3) return std::nullopt;
  return FavouriteRow{std::move(fields[0]), std::move(fields[1]), std::move(fields[2])};
}

std::vector<std::string> BuiltInRows() {
  const std::string category = text::Sjis("おすすめ");
  return {
      FormatRow(category, text::Sjis("Yahoo! JAPAN"), "https://www.yahoo.co.jp/"),
      FormatRow(category, text::Sjis("Google 日本"), "https://www.google.co.jp/"),
      FormatRow(category, text::Sjis("MDN HTML リファレンス"),
                "https://developer.mozilla.org/ja/docs/Web/HTML"),
      FormatRow(category, text::Sjis("気象庁"), "https://www.jma.go.jp/"),
  };
}

std::vector<std::string> SplitLines(std::string_view bytes) {
  // CR and LF are never trail bytes, so a byte-wise split is safe here.
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t j = i;
    while (j < bytes.size() && bytes[j] != '\r' && bytes[j] != '\n') ++j;
    lines.emplace_back(bytes.substr(i, j - i));
    if (j < bytes.size() && bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n') ++j;
    i = j + 1;
  }
  return lines;
}

FileResult FavouritesList::Load() {
  lines_.clear();
  load_failed_ = false;
  const auto path = FavouritesPath();
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  if (!exists && !ec) {
    lines_ = BuiltInRows();
    return {};
  }
  std::string bytes;
  std::string why;
  if (ec || !ReadWholeFile(path, bytes, &why)) {
    load_failed_ = true;
    return FileFailed(path.string() + ": " + (ec ? ec.message() : why));
  }
  lines_ = SplitLines(bytes);
  return {};
}

std::vector<FavouriteCategory> BuildFavouriteTree(const std::vector<std::string>& lines) {
  std::vector<FavouriteCategory> tree;
  std::string current;
  bool have_current = false;  // a first row with an empty category still opens a node
  for (const auto& line : lines) {
    auto row = ParseRow(line);
    if (!row) continue;
    if (!have_current || row->category != current) {
      current = row->category;
      have_current = true;
      tree.push_back({row->category, {}});
    }
    tree.back().entries.push_back({std::move(row->title), std::move(row->url)});
  }
  return tree;
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
  return Collator().Compare(text::Decode(a).text, text::Decode(b).text);
}

bool CategoryExists(const std::vector<std::string>& names, std::string_view name) {
  const auto key = FoldedKey(name);
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return FoldedKey(n) == key; });
}

std::vector<std::string> RowsToSave(const std::vector<FavouriteCategory>& tree,
                                    const std::vector<std::string>& previous_lines) {
  std::vector<std::string> rows;
  for (const auto& category : tree)
    for (const auto& entry : category.entries)
      if (!entry.url.empty()) rows.push_back(FormatRow(category.name, entry.title, entry.url));
  for (const auto& line : previous_lines)
    if (!IsBlankLine(line) && !ParseRow(line)) rows.push_back(line);

  std::vector<std::pair<std::u16string, std::string>> keyed;
  keyed.reserve(rows.size());
  for (auto& r : rows) keyed.emplace_back(text::Decode(r).text, std::move(r));
  const Collator collator;
  std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& x, const auto& y) {
    return collator.Compare(x.first, y.first) < 0;
  });
  rows.clear();
  for (auto& [key, row] : keyed) rows.push_back(std::move(row));
  return rows;
}

FileResult SaveFavourites(const std::vector<FavouriteCategory>& tree, FavouritesList& list) {
  const auto path = FavouritesPath();
  if (list.load_failed())
    return {false, path.string() + " を読み込めなかったため、上書きしません。"};
  std::error_code ec;
  if (tree == BuildFavouriteTree(list.lines()) && std::filesystem::exists(path, ec)) return {};
  auto rows = RowsToSave(tree, list.lines());
  std::string bytes;
  for (const auto& r : rows) {
    bytes += r;
    bytes += "\r\n";
  }
  const auto written = WriteFileAtomically(path, bytes);
  if (!written) return {false, "ファイル " + path.string() + " を作成できません。" + written.error};
  list.set_lines(std::move(rows));
  return {};
}

}  // namespace hemlo::favourites
