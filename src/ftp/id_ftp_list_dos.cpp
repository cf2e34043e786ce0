// Lines that begin with a date or a size column: MS-DOS/IIS, OS/2, and
// the IBM i (OS/400) integrated file system.
#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// "01-15-03", "01/15/2003", "2003-01-15", "15.01.2003": shape only, so that
// a line with an impossible date still reads as an entry of its family.
bool HasDateShape(std::string_view w, size_t max_last_part) {
  size_t parts = 1, len = 0;
  char sep = 0;
  for (char c : w) {
    if (IsDigit(c)) {
      if (++len > 4) return false;
    } else if (c == '-' || c == '/' || c == '.') {
      if (len == 0 || (sep != 0 && c != sep)) return false;
      sep = c;
      ++parts;
      len = 0;
    } else {
      return false;
    }
  }
  return parts == 3 && len > 0 && len <= max_last_part;
}

bool HasTimeShape(std::string_view w) {
  return w.size() >= 4 && IsDigit(w[0]) && w.find(':') != std::string_view::npos &&
         w.find(':') <= 2;
}

bool IsAmPm(std::string_view w) { return EqualsNoCase(w, "AM") || EqualsNoCase(w, "PM"); }

}  // namespace

bool IsDosLine(const Words& w) {
  if (w.count < 4 || !HasDateShape(w[0], 4) || !HasTimeShape(w[1])) return false;
  std::string_view marker = w[IsAmPm(w[2]) ? 3 : 2];
  return (marker.size() > 2 && marker.front() == '<' && marker.back() == '>') || ReadSize(marker);
}

bool ParseDosLine(TIdFTPListItem& item, const Words& w) {
  if (!IsDosLine(w)) return false;
  size_t k = 2;
  std::string time(w[1]);
  if (IsAmPm(w[2])) {
    time += w[2];
    ++k;
  }
  if (k + 1 >= w.count) return false;
  std::string_view marker = w[k];
  if (EqualsNoCase(marker, "<DIR>") || EqualsNoCase(marker, "<JUNCTION>") ||
      EqualsNoCase(marker, "<SYMLINKD>")) {
    item.ItemType = TIdDirItemType::ditDirectory;
    item.Size = 0;
  } else {
    std::optional<int64_t> size = ReadSize(marker);
    if (!size) return false;
    item.ItemType = TIdDirItemType::ditFile;
    item.Size = *size;
  }
  std::string_view name = SkipBlanks(w.After(k));
  if (name.empty()) return false;
  item.FileName = std::string(name);
  // A date that cannot be read leaves the entry undated rather than lost.
  DateParts d;
  d.msec = 0;
  std::optional<double> when;
  if (ReadNumericDate(w[0], d, true) && ReadTime(time, d, true)) when = FinishDate(d, {});
  item.ModifiedDate = when.value_or(0.0);
  return true;
}

// "    0           DIR   05-12-97   16:44  PSFONTS"
bool IsOs2Line(const Words& w) {
  if (w.count < 4 || !IsDigit(w[0][0]) || !ReadSize(w[0])) return false;
  size_t k = 1;
  while (k < w.count && k <= 3 && !w[k].empty() && IsAlpha(w[k][0])) ++k;
  return k + 2 < w.count && HasDateShape(w[k], 3) && HasTimeShape(w[k + 1]);
}

bool ParseOs2Line(TIdFTPListItem& item, const Words& w) {
  if (!IsOs2Line(w)) return false;
  item.Size = *ReadSize(w[0]);
  item.ItemType = TIdDirItemType::ditFile;
  size_t k = 1;
  for (; IsAlpha(w[k][0]); ++k)
    if (EqualsNoCase(w[k], "DIR")) item.ItemType = TIdDirItemType::ditDirectory;
  DateParts d;
  d.msec = 0;
  if (!ReadNumericDate(w[k], d, true) || !ReadTime(w[k + 1], d)) return false;
  std::optional<double> when = FinishDate(d, {});
  if (!when) return false;
  item.ModifiedDate = *when;
  std::string_view name = SkipBlanks(w.After(k + 1));
  if (name.empty()) return false;
  item.FileName = std::string(name);
  return true;
}

// "QSYS            18944 02/04/97 16:57:03 *DIR       QOpenSys/"
bool IsOs400Line(const Words& w) {
  return w.count >= 6 && ReadSize(w[1]) && HasDateShape(w[2], 4) && HasTimeShape(w[3]) &&
         w[4].size() > 1 && w[4][0] == '*';
}

bool ParseOs400Line(TIdFTPListItem& item, const Words& w) {
  if (!IsOs400Line(w)) return false;
  DateParts d;
  d.msec = 0;
  if (!ReadNumericDate(w[2], d, true) || !ReadTime(w[3], d)) return false;
  std::optional<double> when = FinishDate(d, {});
  if (!when) return false;
  std::string_view kind = w[4];
  const bool folder = EqualsNoCase(kind, "*DIR") || EqualsNoCase(kind, "*DDIR") ||
                      EqualsNoCase(kind, "*LIB") || EqualsNoCase(kind, "*FLR");
  std::string_view name = SkipBlanks(w.After(4));
  if (folder && name.size() > 1 && name.back() == '/') name.remove_suffix(1);
  if (name.empty()) return false;
  item.OwnerName = std::string(w[0]);
  item.Size = *ReadSize(w[1]);
  item.ModifiedDate = *when;
  item.ItemType = folder ? TIdDirItemType::ditDirectory : TIdDirItemType::ditFile;
  item.FileName = std::string(name);
  return true;
}

}  // namespace hemlo::ftp::listing
