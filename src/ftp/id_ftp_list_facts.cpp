// Listings made of facts: MLSD ("type=file;size=10;modify=...; name") and
// EPLF ("+i8388621.48594,m825718503,r,s280,\tname"). Both name the entry
// exactly after one separator, so names keep leading spaces.
#include <cstdint>

#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// Sizes and times in seconds.
int64_t Digits64(std::string_view s) { return Digits(s, 18); }

// A count that fits in 64 bits, or -1.
int64_t ReadCount(std::string_view s) {
  if (s.empty() || s.size() > 19) return -1;
  uint64_t v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return -1;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return v > static_cast<uint64_t>(INT64_MAX) ? -1 : static_cast<int64_t>(v);
}

// "20030115103045" or "20030115103045.123", UTC.
bool ReadModify(std::string_view v, const std::optional<int>& offset, double& out) {
  if (v.size() < 14) return false;
  int64_t ms = 0;
  if (v.size() > 14) {
    if (v[14] != '.' || v.size() == 15 || v.size() > 24) return false;
    std::string three(v.substr(15, 3));
    three.resize(3, '0');
    ms = Digits(three);
    if (ms < 0 || Digits64(v.substr(15)) < 0) return false;
  }
  const int64_t y = Digits(v.substr(0, 4)), mo = Digits(v.substr(4, 2)), d = Digits(v.substr(6, 2));
  const int64_t h = Digits(v.substr(8, 2)), mi = Digits(v.substr(10, 2)),
                s = Digits(v.substr(12, 2));
  if (!EncodeDateTime(y, mo, d, h, mi, s > 59 ? 59 : s, 0)) return false;
  const int64_t unix_seconds = (DaysFromCivil(y, mo, d) * 24 + h) * 3600 + mi * 60 + s;
  out = UtcToShown(unix_seconds, ms, offset);
  return true;
}

}  // namespace

// "0644", "2775", "0o755" (pyftpdlib): the permission triplets, with
// set-id and sticky bits shown the way `ls` shows them.
bool SetModeTriplets(std::string_view octal, TIdFTPListItem& item) {
  if (octal.size() > 2 && octal[0] == '0' && (octal[1] == 'o' || octal[1] == 'O'))
    octal.remove_prefix(2);
  if (octal.empty() || octal.size() > 7) return false;
  unsigned mode = 0;
  for (char c : octal) {
    if (c < '0' || c > '7') return false;
    mode = mode * 8 + static_cast<unsigned>(c - '0');
  }
  auto triplet = [mode](unsigned shift, unsigned special, char set, char set_noexec) {
    std::string t(3, '-');
    const unsigned bits = (mode >> shift) & 7;
    if (bits & 4) t[0] = 'r';
    if (bits & 2) t[1] = 'w';
    if (bits & 1) t[2] = 'x';
    if (mode & special) t[2] = (bits & 1) ? set : set_noexec;
    return t;
  };
  item.UserPermissions = triplet(6, 04000, 's', 'S');
  item.GroupPermissions = triplet(3, 02000, 's', 'S');
  item.OtherPermissions = triplet(0, 01000, 't', 'T');
  return true;
}

bool LooksLikeMlsd(std::string_view line) {
  if (line.empty() || !IsAlpha(line[0])) return false;
  size_t space = line.find(' ');
  if (space == std::string_view::npos || space < 3) return false;
  std::string_view facts = line.substr(0, space);
  if (facts.back() == ';') return facts.find('=') != std::string_view::npos;
  // Older servers leave out the last ";": then every fact must be
  // "name=value" and one of them a fact every server sends.
  bool known = false;
  while (!facts.empty()) {
    const size_t semi = facts.find(';');
    std::string_view fact = facts.substr(0, semi);
    facts = semi == std::string_view::npos ? std::string_view() : facts.substr(semi + 1);
    const size_t eq = fact.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    std::string_view key = fact.substr(0, eq);
    known = known || EqualsNoCase(key, "type") || EqualsNoCase(key, "size") ||
            EqualsNoCase(key, "modify") || EqualsNoCase(key, "perm") || EqualsNoCase(key, "unique");
  }
  return known;
}

MlsdResult ParseMlsdLine(TIdFTPListItem& item, const std::optional<int>& offset) {
  std::string_view line = item.RawLine;
  size_t space = line.find(' ');
  if (space == std::string_view::npos || space + 1 >= line.size()) return MlsdResult::kBad;
  std::string_view facts = line.substr(0, space);
  item.ItemType = TIdDirItemType::ditFile;
  item.Size = -1;  // unknown until a fact gives it
  item.OwnerName.clear();
  item.GroupName.clear();
  while (!facts.empty()) {
    size_t semi = facts.find(';');
    std::string_view fact = facts.substr(0, semi);
    facts = semi == std::string_view::npos ? std::string_view() : facts.substr(semi + 1);
    if (fact.empty()) continue;
    size_t eq = fact.find('=');
    if (eq == std::string_view::npos || eq == 0) return MlsdResult::kBad;
    std::string_view key = fact.substr(0, eq), value = fact.substr(eq + 1);
    if (EqualsNoCase(key, "type")) {
      if (EqualsNoCase(value, "cdir") || EqualsNoCase(value, "pdir")) return MlsdResult::kSkip;
      if (EqualsNoCase(value, "dir")) {
        item.ItemType = TIdDirItemType::ditDirectory;
      } else if (value.size() >= 13 && EqualsNoCase(value.substr(0, 13), "OS.unix=slink")) {
        item.ItemType = TIdDirItemType::ditSymbolicLink;
        if (value.size() > 14 && value[13] == ':') item.LinkTarget = std::string(value.substr(14));
      } else if (EqualsNoCase(value, "OS.unix=symlink")) {
        item.ItemType = TIdDirItemType::ditSymbolicLink;
      }
    } else if (EqualsNoCase(key, "size") || EqualsNoCase(key, "sizd")) {
      // A size or time that cannot be read leaves it unknown: the name is
      // enough to download or delete the entry.
      item.Size = ReadCount(value);
    } else if (EqualsNoCase(key, "modify")) {
      if (!ReadModify(value, offset, item.ModifiedDate)) item.ModifiedDate = 0;
    } else if (EqualsNoCase(key, "unix.mode")) {
      SetModeTriplets(value, item);
    } else if (EqualsNoCase(key, "unix.owner") || EqualsNoCase(key, "unix.uid")) {
      item.OwnerName = std::string(value);
    } else if (EqualsNoCase(key, "unix.group") || EqualsNoCase(key, "unix.gid")) {
      item.GroupName = std::string(value);
    }
  }
  item.FileName = std::string(line.substr(space + 1));
  return MlsdResult::kEntry;
}

bool ParseEplfLine(TIdFTPListItem& item, const std::optional<int>& offset) {
  std::string_view line = item.RawLine;
  size_t tab = line.find('\t');
  if (line.size() < 2 || line[0] != '+' || tab == std::string_view::npos || tab + 1 >= line.size())
    return false;
  std::string_view facts = line.substr(1, tab - 1);
  item.ItemType = TIdDirItemType::ditFile;
  item.Size = -1;  // folders carry no size
  while (!facts.empty()) {
    size_t comma = facts.find(',');
    std::string_view fact = facts.substr(0, comma);
    facts = comma == std::string_view::npos ? std::string_view() : facts.substr(comma + 1);
    if (fact.empty()) continue;
    std::string_view value = fact.substr(1);
    switch (fact[0]) {
      case '/':
        item.ItemType = TIdDirItemType::ditDirectory;
        break;
      case 's': {
        int64_t size = Digits64(value);
        if (size < 0) return false;
        item.Size = size;
        break;
      }
      case 'm': {
        int64_t t = Digits64(value);
        if (t < 0 || t > 253402300799) return false;  // after 9999-12-31
        item.ModifiedDate = UtcToShown(t, 0, offset);
        break;
      }
      case 'u':
        if (value.size() > 1 && value[0] == 'p') SetModeTriplets(value.substr(1), item);
        break;
      default:
        break;
    }
  }
  item.FileName = std::string(line.substr(tab + 1));
  return true;
}

}  // namespace hemlo::ftp::listing
