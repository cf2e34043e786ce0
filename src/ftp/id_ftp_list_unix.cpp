// `ls -l` style lines (every Unix server, and the Unix emulation of Windows
// and Mac servers) and NetWare lines, which share their date column.
#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

bool IsPermissionChar(char c) {
  switch (c) {
    case '-':
    case 'r':
    case 'w':
    case 'x':
    case 's':
    case 'S':
    case 't':
    case 'T':
    case 'l':
    case 'L':
    case '?':
    case 'A':
    case 'a':
    case 'E':
    case 'e':
      return true;
    default:
      return false;
  }
}

// The size column just before a date at word `date`: a size, or a device's
// "major, minor" / "major,minor". Returns the word index the column starts
// at, 0 when there is none. A group that fills its column runs into the
// size ("longgroup123456"): `glued` is then where the size's digits start
// (the whole trailing number; the listing may later line it up better).
size_t SizeColumn(const Words& w, size_t date, char type, int64_t& size, size_t& glued) {
  glued = 0;
  if (date < 2) return 0;
  std::string_view last = w[date - 1];
  if (type == 'c' || type == 'b') {
    size = 0;
    std::string_view before = w[date - 2];
    if (date >= 3 && before.size() >= 2 && before.back() == ',' &&
        Digits(before.substr(0, before.size() - 1)) >= 0)
      return date - 2;
    size_t comma = last.find(',');
    if (comma != std::string_view::npos && Digits(last.substr(0, comma)) >= 0 &&
        Digits(last.substr(comma + 1)) >= 0)
      return date - 1;
  }
  if (std::optional<int64_t> v = ReadSize(last)) {
    size = *v;
    return date - 1;
  }
  if (date < 3 || IsDigit(last[0])) return 0;
  size_t digits = last.size();
  while (digits > 0 && IsDigit(last[digits - 1])) --digits;
  if (digits == last.size() || last.size() - digits > 18) return 0;
  size = Digits(last.substr(digits), 18);
  glued = w.at[date - 1].begin + digits;
  return date - 1;
}

// Owner and group from the words between `first` and the size column;
// the group ends at `group_end` (where a glued size begins) or with the
// word before the size column.
void ReadOwnerGroup(const Words& w, size_t first, size_t size_col, size_t glued,
                    TIdFTPListItem& item, UnixColumns* cols) {
  item.OwnerName.clear();
  item.GroupName.clear();
  const size_t last = glued ? size_col + 1 : size_col;  // words that hold owner and group
  if (last <= first) return;
  const size_t group_end = glued ? glued : w.at[size_col - 1].end;
  size_t group_begin = w.at[first].begin;
  if (last - first > 1) {
    item.OwnerName = std::string(w[first]);
    group_begin = w.at[first + 1].begin;
  }
  // With one word only, the group column is missing: what is there is
  // taken as the group.
  item.GroupName = std::string(w.line.substr(group_begin, group_end - group_begin));
  if (cols && last - first > 1) {
    cols->group_begin = group_begin;
    cols->group_end = group_end;
    cols->size_begin = glued ? glued : w.at[size_col].begin;
    cols->size_end = w.at[size_col].end;
    cols->glued = glued != 0;
    cols->valid = true;
  }
}

// Finds the date of an `ls -l` line at or after word `from` that has a size
// column before it. The leftmost one wins, so a date-like name stays whole.
bool FindDate(const Words& w, size_t from, char type, size_t& date, size_t& taken, size_t& size_col,
              int64_t& size, size_t& glued, DateParts& d) {
  for (int pass = 0; pass < 2; ++pass) {
    const bool weak = pass == 1;
    // A numeric month needs link count, owner and size before it, so
    // that a numeric owner and group are not read as a date.
    for (size_t i = weak ? from + 3 : from + 1; i < w.count; ++i) {
      d = DateParts{};
      size_t n = MatchLsDate(w, i, weak, d);
      if (n == 0) continue;
      size_t col = SizeColumn(w, i, type, size, glued);
      if (col == 0 || col < from) continue;
      // The name follows the date after one separator.
      if (w.at[i + n - 1].end + 1 >= w.line.size()) continue;
      date = i;
      taken = n;
      size_col = col;
      return true;
    }
  }
  return false;
}

// Digits and date separators only, with at least one separator: "2003-13-45".
bool LooksNumericDate(std::string_view word) {
  bool separator = false;
  for (char c : word) {
    if (c == '-' || c == '/' || c == '.' || c == ':')
      separator = true;
    else if (!IsDigit(c))
      return false;
  }
  return separator;
}

void SetKind(TIdFTPListItem& item, char type, std::string_view name) {
  const char t = ToUpper(type);
  item.ItemType = t == 'D'   ? TIdDirItemType::ditDirectory
                  : t == 'L' ? TIdDirItemType::ditSymbolicLink
                             : TIdDirItemType::ditFile;
  size_t arrow =
      item.ItemType == TIdDirItemType::ditSymbolicLink ? name.find(" -> ") : std::string_view::npos;
  if (arrow != std::string_view::npos) {
    item.FileName = std::string(name.substr(0, arrow));
    item.LinkTarget = std::string(name.substr(arrow + 4));
  } else {
    item.FileName = std::string(name);
  }
}

}  // namespace

bool IsUnixMode(std::string_view word) {
  if (word.size() == 11) {
    const char mark = word[10];
    if (mark != '+' && mark != '@' && mark != '.' && mark != '*') return false;
  } else if (word.size() != 10) {
    return false;
  }
  if (!IsAlpha(word[0]) && word[0] != '-' && word[0] != '?') return false;
  for (size_t i = 1; i < 10; ++i)
    if (!IsPermissionChar(word[i])) return false;
  return true;
}

bool ParseUnixLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today,
                   const std::optional<int>& offset_minutes, UnixColumns* cols) {
  if (w.count < 4) return false;
  if (!IsUnixMode(w[0])) {
    if (IsNumericLsLine(w)) return ParseNumericLsLine(item, w, offset_minutes);
    return IsVShellLine(w) && ParseVShellLine(item, w, today);
  }
  std::string_view mode = w[0];
  const char type = mode[0];
  size_t date = 0, taken = 0, size_col = 0, glued = 0;
  int64_t size = 0;
  DateParts d;
  std::optional<double> when;
  std::string_view name;
  if (FindDate(w, 1, type, date, taken, size_col, size, glued, d)) {
    when = FinishDate(d, today);
    if (!when) return false;
    name = w.line.substr(w.at[date + taken - 1].end + 1);
    if (d.padded_name) name = SkipBlanks(name);
  } else {
    // No date we can read: "mode links owner group size name" (no date at
    // all), or a month name nobody here knows, which costs only the date.
    if (w.count < 6 || Digits(w[1]) < 0 || !ReadSize(w[4])) return false;
    std::string_view next = w[5];
    if (MonthFromName(next) != 0) return false;  // a date cut short
    size_col = 4;
    size = *ReadSize(w[4]);
    DateParts probe;
    auto time_or_year = [&](std::string_view t) {
      return ReadTime(t, probe) || (t.size() == 4 && Digits(t) >= 1000);
    };
    if (w.count >= 9 && !IsDigit(next[0]) && DayWord(w[6]) > 0 && time_or_year(w[7])) {
      name = w.line.substr(w.at[7].end + 1);
    } else {
      // A date we failed to read must not become part of the name.
      if (LooksNumericDate(next) || (w.count > 6 && time_or_year(w[6])) ||
          (w.count > 7 && ReadTime(w[7], probe)))
        return false;
      name = w.line.substr(w.at[4].end + 1);
    }
    if (name.empty()) return false;
  }

  size_t first = 1;
  item.LinkCount = 0;
  if (size_col > 1) {
    int64_t links = Digits(w[1]);
    if (links >= 0) {
      item.LinkCount = static_cast<int>(links);
      first = 2;
    }
  }
  ReadOwnerGroup(w, first, size_col, glued, item, cols);
  item.UserPermissions = std::string(mode.substr(1, 3));
  item.GroupPermissions = std::string(mode.substr(4, 3));
  item.OtherPermissions = std::string(mode.substr(7, 3));
  item.Size = size;
  item.ModifiedDate = when.value_or(0.0);
  SetKind(item, type, name);
  return true;
}

bool ParseNetwareLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today) {
  if (w.count < 6) return false;
  std::string_view type = w[0], rights = w[1];
  if (type.size() != 1 || (type[0] != 'd' && type[0] != '-')) return false;
  if (rights.size() < 2 || rights.front() != '[' || rights.back() != ']') return false;
  size_t date = 0, taken = 0, size_col = 0, glued = 0;
  int64_t size = 0;
  DateParts d;
  if (!FindDate(w, 2, '-', date, taken, size_col, size, glued, d) || glued) return false;
  std::optional<double> when = FinishDate(d, today);
  if (!when) return false;
  item.OwnerName =
      size_col > 2
          ? std::string(w.line.substr(w.at[2].begin, w.at[size_col - 1].end - w.at[2].begin))
          : std::string();
  item.GroupName.clear();
  item.Size = size;
  item.ModifiedDate = *when;
  // NetWare pads the name column with spaces.
  std::string_view name = SkipBlanks(w.After(date + taken - 1));
  if (name.empty()) return false;
  SetKind(item, type[0], name);
  return true;
}

}  // namespace hemlo::ftp::listing
