// OpenVMS lines: "NAME.EXT;3  12/15  15-JAN-2003 10:30:45.12  [GRP,OWNER]
// (RWED,RWED,RE,RE)". The fields after the name come in whatever order the
// server prefers; a long name is followed by its fields on the next line,
// which the loader joins before the line gets here.
#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// "12", "12/15": blocks used (and allocated), as bytes; "2KB", "1.5MB":
// bytes. -1 for anything else.
int64_t ReadVmsSize(std::string_view w) {
  size_t slash = w.find('/');
  if (slash != std::string_view::npos && Digits(w.substr(slash + 1)) < 0) return -1;
  const int64_t blocks = Digits(w.substr(0, slash));
  if (blocks >= 0) return blocks * 512;
  if (slash != std::string_view::npos || !IsAlpha(w.back())) return -1;
  return ReadSize(w).value_or(-1);
}

// One VMS access class ("RWED") as an rwx triplet.
std::string Triplet(std::string_view rights) {
  std::string t = "---";
  for (char c : rights) {
    if (c == 'R') t[0] = 'r';
    if (c == 'W') t[1] = 'w';
    if (c == 'E') t[2] = 'x';
  }
  return t;
}

// The words from `k` up to the one that ends with `close`.
std::string_view Bracketed(const Words& w, size_t& k, char close) {
  size_t j = k;
  while (j + 1 < w.count && w[j].back() != close) ++j;
  std::string_view all = w.line.substr(w.at[k].begin, w.at[j].end - w.at[k].begin);
  k = j;
  all.remove_prefix(1);
  if (!all.empty() && all.back() == close) all.remove_suffix(1);
  return all;
}

}  // namespace

bool IsVmsName(std::string_view w) {
  size_t semi = w.rfind(';');
  if (semi == std::string_view::npos || semi == 0 || w.size() - semi - 1 > 5) return false;
  return Digits(w.substr(semi + 1)) >= 0;
}

bool ParseVmsLine(TIdFTPListItem& item, const Words& w) {
  // "NAME.TXT;1  15-JAN-2003": a server may print the date alone.
  if (w.count < 2 || !IsVmsName(w[0])) return false;
  DateParts d;
  d.msec = 0;
  bool dated = false, date_known = false;
  item.Size = -1;
  item.OwnerName.clear();
  item.GroupName.clear();
  for (size_t k = 1; k < w.count; ++k) {
    std::string_view t = w[k];
    if (t[0] == '[') {
      std::string_view owner = Bracketed(w, k, ']');
      size_t comma = owner.find(',');
      item.GroupName =
          comma == std::string_view::npos ? std::string() : std::string(owner.substr(0, comma));
      item.OwnerName = std::string(
          SkipBlanks(comma == std::string_view::npos ? owner : owner.substr(comma + 1)));
    } else if (t[0] == '(') {
      std::string_view prot = Bracketed(w, k, ')');
      std::string_view classes[4];
      for (int c = 0; c < 4; ++c) {
        size_t comma = prot.find(',');
        classes[c] = prot.substr(0, comma);
        prot = comma == std::string_view::npos ? std::string_view() : prot.substr(comma + 1);
      }
      item.UserPermissions = Triplet(classes[1]);
      item.GroupPermissions = Triplet(classes[2]);
      item.OtherPermissions = Triplet(classes[3]);
    } else if (!dated && ReadDayMonthYear(t, d, false, &date_known)) {
      // A month name nobody here knows costs the date, not the entry.
      dated = true;
    } else if (!ReadTime(t, d)) {
      const int64_t size = ReadVmsSize(t);
      if (size < 0) return false;
      item.Size = size;
    }
  }
  if (!dated) return false;
  std::optional<double> when;
  if (date_known && !(when = FinishDate(d, {}))) return false;
  item.ModifiedDate = when.value_or(0.0);
  // A file keeps its version: RETR, DELE and RNFR take it as listed. A
  // folder is the file NAME.DIR;1 to the server; the user knows it, and
  // enters it, as NAME, while rename and delete need the file's name.
  std::string_view name = w[0];
  std::string_view stem = name.substr(0, name.rfind(';'));
  const bool folder = stem.size() > 4 && EqualsNoCase(stem.substr(stem.size() - 4), ".DIR");
  item.ItemType = folder ? TIdDirItemType::ditDirectory : TIdDirItemType::ditFile;
  if (folder) {
    item.FileName = std::string(stem.substr(0, stem.size() - 4));
    item.WireName = std::string(name);
  } else {
    item.FileName = std::string(name);
    item.WireName.clear();
  }
  return true;
}

}  // namespace hemlo::ftp::listing
