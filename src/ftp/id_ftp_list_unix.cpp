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
// at, 0 when there is none.
size_t SizeColumn(const Words& w, size_t date, char type, int64_t& size) {
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
  std::optional<int64_t> v = ReadSize(last);
  if (!v) return 0;
  size = *v;
  return date - 1;
}

// Owner and group from the words between `first` and the size column.
void ReadOwnerGroup(const Words& w, size_t first, size_t size_col, TIdFTPListItem& item) {
  item.OwnerName.clear();
  item.GroupName.clear();
  if (size_col <= first) return;
  if (size_col - first == 1) {
    // The group column is missing: what is there is taken as the group.
    item.GroupName = std::string(w[first]);
    return;
  }
  item.OwnerName = std::string(w[first]);
  item.GroupName = std::string(
      w.line.substr(w.at[first + 1].begin, w.at[size_col - 1].end - w.at[first + 1].begin));
}

// Finds the date of an `ls -l` line at or after word `from` that has a size
// column before it. The leftmost one wins, so a date-like name stays whole.
bool FindDate(const Words& w, size_t from, char type, size_t& date, size_t& taken, size_t& size_col,
              int64_t& size, DateParts& d) {
  for (int pass = 0; pass < 2; ++pass) {
    const bool weak = pass == 1;
    // A numeric month needs link count, owner and size before it, so
    // that a numeric owner and group are not read as a date.
    for (size_t i = weak ? from + 3 : from + 1; i < w.count; ++i) {
      d = DateParts{};
      size_t n = MatchLsDate(w, i, weak, d);
      if (n == 0) continue;
      size_t col = SizeColumn(w, i, type, size);
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

bool ParseUnixLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today) {
  if (w.count < 4 || !IsUnixMode(w[0])) return false;
  std::string_view mode = w[0];
  const char type = mode[0];
  size_t date = 0, taken = 0, size_col = 0;
  int64_t size = 0;
  DateParts d;
  if (!FindDate(w, 1, type, date, taken, size_col, size, d)) return false;
  std::optional<double> when = FinishDate(d, today);
  if (!when) return false;

  size_t first = 1;
  item.LinkCount = 0;
  if (size_col > 1) {
    int64_t links = Digits(w[1]);
    if (links >= 0) {
      item.LinkCount = static_cast<int>(links);
      first = 2;
    }
  }
  ReadOwnerGroup(w, first, size_col, item);
  item.UserPermissions = std::string(mode.substr(1, 3));
  item.GroupPermissions = std::string(mode.substr(4, 3));
  item.OtherPermissions = std::string(mode.substr(7, 3));
  item.Size = size;
  item.ModifiedDate = *when;
  SetKind(item, type, w.line.substr(w.at[date + taken - 1].end + 1));
  return true;
}

bool ParseNetwareLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today) {
  if (w.count < 6) return false;
  std::string_view type = w[0], rights = w[1];
  if (type.size() != 1 || (type[0] != 'd' && type[0] != '-')) return false;
  if (rights.size() < 2 || rights.front() != '[' || rights.back() != ']') return false;
  size_t date = 0, taken = 0, size_col = 0;
  int64_t size = 0;
  DateParts d;
  if (!FindDate(w, 2, '-', date, taken, size_col, size, d)) return false;
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
