// OpenVMS lines: "NAME.EXT;3  12/15  15-JAN-2003 10:30:45.12  [GRP,OWNER]
// (RWED,RWED,RE,RE)". The fields after the name come in whatever order the
// server prefers; a long name is followed by its fields on the next line,
// which the loader joins before the line gets here.
#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// "15-JAN-2003"
bool ReadVmsDate(std::string_view w, DateParts& d) {
  size_t a = w.find('-');
  if (a == std::string_view::npos || a == 0 || a > 2) return false;
  size_t b = w.find('-', a + 1);
  if (b == std::string_view::npos) return false;
  int64_t day = Digits(w.substr(0, a));
  int month = MonthFromName(w.substr(a + 1, b - a - 1));
  std::string_view ys = w.substr(b + 1);
  int64_t year = ys.size() == 4 ? Digits(ys) : -1;
  if (day < 1 || month == 0 || year < 0) return false;
  d.day = day;
  d.month = month;
  d.year = year;
  d.has_year = true;
  return true;
}

// "12", "12/15": blocks used (and allocated).
int64_t ReadBlocks(std::string_view w) {
  size_t slash = w.find('/');
  if (slash != std::string_view::npos && Digits(w.substr(slash + 1)) < 0) return -1;
  return Digits(w.substr(0, slash));
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
  if (w.count < 3 || !IsVmsName(w[0])) return false;
  DateParts d;
  d.msec = 0;
  bool dated = false;
  item.Size = 0;
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
    } else if (ReadVmsDate(t, d)) {
      dated = true;
    } else if (!ReadTime(t, d)) {
      int64_t blocks = ReadBlocks(t);
      if (blocks < 0) return false;
      item.Size = blocks * 512;
    }
  }
  if (!dated) return false;
  std::optional<double> when = FinishDate(d, {});
  if (!when) return false;
  item.ModifiedDate = *when;
  std::string_view name = w[0].substr(0, w[0].rfind(';'));
  item.ItemType = TIdDirItemType::ditFile;
  if (name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), ".DIR")) {
    item.ItemType = TIdDirItemType::ditDirectory;
    name.remove_suffix(4);
  }
  item.FileName = std::string(name);
  return true;
}

}  // namespace hemlo::ftp::listing
