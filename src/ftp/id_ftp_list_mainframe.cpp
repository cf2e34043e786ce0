// Mainframe and embedded listings: IBM MVS datasets and PDS members, z/VM
// (CMS) files, OS-9 and HP NonStop (Guardian). None of them gives a size in
// bytes except where noted; such entries have Size -1.
#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// "2003/03/11" or "2003-03-11": year first.
bool ReadYearFirst(std::string_view word, DateParts& d) {
  if (word.size() != 10 || (word[4] != '/' && word[4] != '-') || word[7] != word[4]) return false;
  const int64_t y = Digits(word.substr(0, 4)), m = Digits(word.substr(5, 2)),
                day = Digits(word.substr(8, 2));
  if (y < 1000 || m < 1 || m > 12 || day < 1 || day > 31) return false;
  d.year = y;
  d.month = m;
  d.day = day;
  d.has_year = true;
  return true;
}

bool AllOf(std::string_view w, bool (*pred)(char)) {
  if (w.empty()) return false;
  for (char c : w)
    if (!pred(c)) return false;
  return true;
}

bool IsHex(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsUpperAlnum(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || c == '#' || c == '$' || c == '@';
}

bool SetDate(TIdFTPListItem& item, DateParts d) {
  d.msec = 0;
  std::optional<double> when = FinishDate(d, {});
  if (!when) return false;
  item.ModifiedDate = *when;
  return true;
}

void Reset(TIdFTPListItem& item, std::string_view name, bool folder) {
  item.FileName = std::string(name);
  item.ItemType = folder ? TIdDirItemType::ditDirectory : TIdDirItemType::ditFile;
  item.Size = -1;
  item.ModifiedDate = 0;
  item.OwnerName.clear();
  item.GroupName.clear();
}

// A dataset's referred date; "**NONE**" when it was never read since.
bool ReadReferred(std::string_view word, DateParts& d, bool& dated) {
  dated = ReadYearFirst(word, d);
  return dated || word == "**NONE**";
}

// Bytes on `tracks` tracks of a disk of `unit` filled with blocks of
// `block` bytes (no keys), from the device's track geometry: each block
// takes its count field and gaps and its data in whole cells of the track
// (3390: 27998-byte blocks fit twice, 18452 three times). -1 for a device
// or block size it does not know.
int64_t BytesOnTracks(std::string_view unit, int64_t tracks, int64_t block) {
  if (tracks < 0 || block <= 0) return -1;
  int64_t per_track;
  if (unit == "3390") {
    // 1729 cells of 34 bytes; 19 per block before its data, which carries
    // 6 more bytes every 232.
    const int64_t cells = 19 + (block + 6 * ((block + 6 + 231) / 232) + 6 + 33) / 34;
    per_track = 1729 / cells;
  } else if (unit == "3380") {
    // 1499 cells of 32 bytes.
    const int64_t cells = 15 + (block + 12 + 31) / 32;
    per_track = 1499 / cells;
  } else {
    return -1;
  }
  if (per_track == 0) return -1;
  return tracks * per_track * block;
}

}  // namespace

// "WYOSPT 3390   2003/03/11  1   15  FB      80  8800  PS  USER.DATA",
// "Migrated                                   USER.OLD",
// "Pseudo Directory                           USER.SUB";
// members: "MEMBER1   01.01 2003/01/15 2003/01/16 10:30    10    10     0 USERID",
// load modules: "IEFBR14   000008 00000F          00 FO    RN RU      31    ANY".
bool IsMvsLine(const Words& w) {
  if (w.count == 2 && EqualsNoCase(w[0], "Migrated")) return true;
  if (w.count == 3 && EqualsNoCase(w[0], "Pseudo") && EqualsNoCase(w[1], "Directory")) return true;
  DateParts d;
  bool dated = false;
  if (w.count == 10 && AllOf(w[0], IsUpperAlnum) && ReadReferred(w[2], d, dated) &&
      Digits(w[3]) >= 0 && Digits(w[6]) >= 0 && Digits(w[7]) >= 0 && AllOf(w[5], IsUpperAlnum))
    return true;
  std::string_view vv = w[1];
  if (w.count >= 9 && vv.size() == 5 && vv[2] == '.' && Digits(vv.substr(0, 2)) >= 0 &&
      Digits(vv.substr(3)) >= 0 && ReadYearFirst(w[2], d) && ReadYearFirst(w[3], d))
    return true;
  return w.count >= 4 && w[1].size() == 6 && w[2].size() == 6 && AllOf(w[1], IsHex) &&
         AllOf(w[2], IsHex) && AllOf(w[0], IsUpperAlnum);
}

bool ParseMvsLine(TIdFTPListItem& item, const Words& w) {
  if (!IsMvsLine(w)) return false;
  if (w.count == 2) {
    Reset(item, w[1], false);  // migrated to tape: nothing known but the name
    return true;
  }
  if (w.count == 3) {
    Reset(item, w[2], true);
    return true;
  }
  DateParts d;
  bool dated = false;
  if (w.count == 10 && ReadReferred(w[2], d, dated)) {
    // A partitioned dataset holds members: it is entered like a folder.
    const std::string_view dsorg = w[8];
    const bool folder = dsorg.substr(0, 2) == "PO";
    Reset(item, w[9], folder);
    // The size a sequential dataset takes on its tracks: about its bytes.
    if (!folder) item.Size = BytesOnTracks(w[1], Digits(w[4]), Digits(w[7]));
    return !dated || SetDate(item, d);
  }
  Reset(item, w[0], false);
  if (ReadYearFirst(w[3], d)) {
    if (!ReadTime(w[4], d)) return false;
    return SetDate(item, d);
  }
  return true;  // a load module: no date
}

// "PROFILE  EXEC     V         72         15          1 2003-01-15 10:30:45 VMSYSU"
bool IsVmCmsLine(const Words& w) {
  if (w.count < 8) return false;
  std::string_view recfm = w[2];
  if (recfm != "F" && recfm != "V" && !EqualsNoCase(recfm, "DIR") && recfm != "-") return false;
  DateParts d;
  return (Digits(w[3]) >= 0 || w[3] == "-") && (Digits(w[4]) >= 0 || w[4] == "-") &&
         (Digits(w[5]) >= 0 || w[5] == "-") &&
         (ReadYearFirst(w[6], d) || ReadNumericDate(w[6], d, true)) && ReadTime(w[7], d);
}

bool ParseVmCmsLine(TIdFTPListItem& item, const Words& w) {
  if (!IsVmCmsLine(w)) return false;
  const bool folder = EqualsNoCase(w[1], "DIR") || EqualsNoCase(w[2], "DIR");
  // CMS names a file by its name and type; RETR takes them joined by ".".
  const std::string name = folder ? std::string(w[0]) : std::string(w[0]) + "." + std::string(w[1]);
  Reset(item, name, folder);
  if (w[2] == "F") {
    // Fixed-length records: the size is exact.
    const int64_t lrecl = Digits(w[3]), records = Digits(w[4]);
    if (lrecl >= 0 && records >= 0) item.Size = lrecl * records;
  }
  DateParts d;
  if (!ReadYearFirst(w[6], d) && !ReadNumericDate(w[6], d, true)) return false;
  if (!ReadTime(w[7], d)) return false;
  return SetDate(item, d);
}

// " 0.0     03/01/15 1030  ------wr       A6      1234 file.txt"
bool IsOs9Line(const Words& w) {
  if (w.count < 7) return false;
  std::string_view owner = w[0], date = w[1], time = w[2], attr = w[3];
  const size_t dot = owner.find('.');
  if (dot == std::string_view::npos || Digits(owner.substr(0, dot)) < 0 ||
      Digits(owner.substr(dot + 1)) < 0)
    return false;
  if (date.size() != 8 || date[2] != '/' || date[5] != '/' || time.size() != 4 ||
      Digits(time) < 0 || attr.size() != 8)
    return false;
  for (char c : attr)
    if (c != '-' && c != 'd' && c != 's' && c != 'e' && c != 'w' && c != 'r') return false;
  return AllOf(w[4], IsHex) && Digits(w[5], 18) >= 0;
}

bool ParseOs9Line(TIdFTPListItem& item, const Words& w) {
  if (!IsOs9Line(w)) return false;
  std::string_view date = w[1], time = w[2];
  DateParts d;
  const int64_t yy = Digits(date.substr(0, 2));
  d.year = yy < 70 ? 2000 + yy : 1900 + yy;
  d.month = Digits(date.substr(3, 2));
  d.day = Digits(date.substr(6, 2));
  d.has_year = true;
  d.hour = Digits(time.substr(0, 2));
  d.minute = Digits(time.substr(2, 2));
  std::string_view name = w.line.substr(w.at[5].end + 1);
  if (name.empty()) return false;
  Reset(item, name, w[3][0] == 'd');
  item.Size = Digits(w[5], 18);
  item.OwnerName = std::string(w[0]);
  return SetDate(item, d);
}

// "ALTERN        1000           12345 15-Jan-03 10:30:45  255,255 \"oooo\""
bool IsNonStopLine(const Words& w) {
  if (w.count < 5 || !IsAlpha(w[0][0]) || Digits(w[2], 18) < 0) return false;
  std::string_view code = w[1];
  if (!code.empty() && (code.back() == 'O' || code.back() == 'o')) code.remove_suffix(1);
  DateParts d;
  if (Digits(code) < 0 || !ReadDayMonthYear(w[3], d, true, nullptr) || !ReadTime(w[4], d))
    return false;
  // The owner: "255,255", "255, 255" or "SUPER.SUPER"; some servers leave
  // it out.
  const std::string_view owner = w[5];
  return w.count == 5 || owner.find_first_of(",.") != std::string_view::npos || Digits(owner) >= 0;
}

bool ParseNonStopLine(TIdFTPListItem& item, const Words& w) {
  if (!IsNonStopLine(w)) return false;
  DateParts d;
  if (!ReadDayMonthYear(w[3], d, true, nullptr) || !ReadTime(w[4], d)) return false;
  Reset(item, w[0], false);
  item.Size = Digits(w[2], 18);  // the end-of-file position: bytes
  return SetDate(item, d);
}

// Column headings and rulers of these listings.
bool IsMainframeHeading(const Words& w) {
  if (w.count == 0) return false;
  bool ruler = true;
  for (size_t i = 0; i < w.count && ruler; ++i)
    for (char c : w[i]) ruler = ruler && c == '-';
  if (ruler) return true;
  const std::string_view first = w[0], second = w[1], last = w[w.count - 1];
  return (EqualsNoCase(first, "Volume") && EqualsNoCase(last, "Dsname")) ||
         (EqualsNoCase(first, "Name") &&
          (EqualsNoCase(second, "VV.MM") || EqualsNoCase(second, "Size"))) ||
         (EqualsNoCase(first, "Owner") && EqualsNoCase(second, "Last")) ||
         (EqualsNoCase(first, "File") &&
          (EqualsNoCase(second, "Code") || EqualsNoCase(second, "Name"))) ||
         (EqualsNoCase(first, "size") && EqualsNoCase(second, "date"));
}

}  // namespace hemlo::ftp::listing
