// Lines that lead with numbers where `ls` puts letters: numeric `ls`
// ("0100644 500 101 12345 1700000000 name": octal mode, owner and group
// ids, size, Unix time) and VShell ("1234  Oct 08, 2002 09:47 name", a
// folder marked by a trailing "/"). Both are read as `ls` lines.
#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// The file-type bits of an octal st_mode: the `ls` type letter, or 0.
char TypeOfOctalMode(std::string_view word) {
  if (word.size() < 5 || word.size() > 7) return 0;
  unsigned mode = 0;
  for (char c : word) {
    if (c < '0' || c > '7') return 0;
    mode = mode * 8 + static_cast<unsigned>(c - '0');
  }
  switch ((mode >> 12) & 017) {
    case 010:
      return '-';
    case 004:
      return 'd';
    case 012:
      return 'l';
    case 002:
      return 'c';
    case 006:
      return 'b';
    case 001:
      return 'p';
    case 014:
      return 's';
    default:
      return 0;
  }
}

void SetKindAndName(TIdFTPListItem& item, char type, std::string_view name) {
  item.LinkTarget.clear();
  item.ItemType = type == 'd'   ? TIdDirItemType::ditDirectory
                  : type == 'l' ? TIdDirItemType::ditSymbolicLink
                                : TIdDirItemType::ditFile;
  const size_t arrow = type == 'l' ? name.find(" -> ") : std::string_view::npos;
  if (arrow != std::string_view::npos) {
    item.LinkTarget = std::string(name.substr(arrow + 4));
    name = name.substr(0, arrow);
  }
  item.FileName = std::string(name);
}

}  // namespace

bool IsNumericLsLine(const Words& w) {
  return w.count >= 6 && TypeOfOctalMode(w[0]) != 0 && Digits(w[1]) >= 0 && Digits(w[2]) >= 0 &&
         Digits(w[3], 18) >= 0 && Digits(w[4], 11) >= 0;
}

bool ParseNumericLsLine(TIdFTPListItem& item, const Words& w,
                        const std::optional<int>& offset_minutes) {
  if (!IsNumericLsLine(w)) return false;
  const int64_t seconds = Digits(w[4], 11);
  if (seconds > 253402300799) return false;  // after 9999-12-31
  // The columns are padded to line up: the name starts at its first
  // non-blank byte.
  std::string_view name = SkipBlanks(w.After(4));
  if (name.empty()) return false;
  SetModeTriplets(w[0], item);
  item.OwnerName = std::string(w[1]);
  item.GroupName = std::string(w[2]);
  item.LinkCount = 0;
  item.Size = Digits(w[3], 18);
  item.ModifiedDate = UtcToShown(seconds, 0, offset_minutes);
  SetKindAndName(item, TypeOfOctalMode(w[0]), name);
  return true;
}

bool IsVShellLine(const Words& w) {
  if (w.count < 6 || !IsDigit(w[0][0]) || !ReadSize(w[0]) || MonthFromName(w[1]) == 0) return false;
  std::string_view day = w[2];
  return day.back() == ',' && DayWord(day) > 0 && w[3].size() == 4 && Digits(w[3]) >= 1000;
}

bool ParseVShellLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today) {
  if (!IsVShellLine(w)) return false;
  DateParts d;
  if (MatchLsDate(w, 1, false, d) != 4) return false;  // the time is part of the date
  const std::optional<double> when = FinishDate(d, today);
  if (!when) return false;
  std::string_view name = w.line.substr(w.at[4].end + 1);
  const bool folder = name.size() > 1 && name.back() == '/';
  if (folder) name.remove_suffix(1);
  if (name.empty()) return false;
  item.OwnerName.clear();
  item.GroupName.clear();
  item.Size = *ReadSize(w[0]);
  item.ModifiedDate = *when;
  SetKindAndName(item, folder ? 'd' : '-', name);
  return true;
}

}  // namespace hemlo::ftp::listing
