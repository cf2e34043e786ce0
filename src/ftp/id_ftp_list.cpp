#include "ftp/id_ftp_list.h"

#include <ctime>

#include "ftp/id_exception.h"
#include "ftp/id_reply.h"

namespace hemlo::ftp {

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

// Delphi-style Copy: 1-based, clipped to the text.
std::string_view Copy(std::string_view s, size_t index1, size_t count) {
  if (index1 == 0 || index1 > s.size()) return {};
  return s.substr(index1 - 1, count);
}

bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;  // days since 1970-01-01
}

TIdCivilDate LocalToday() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

void SplitColumns(std::string_view line, std::vector<std::string_view>& cols) {
  cols.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size()) break;
    size_t j = line.find(' ', i);
    if (j == std::string_view::npos) j = line.size();
    std::string_view col = TrimControl(line.substr(i, j - i));
    cols.push_back(col);
    i = j;
  }
}

int MonthNumber(std::string_view s) {
  static const char kMonths[] = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
  if (s.size() != 3) return 0;
  char u[3];
  for (int i = 0; i < 3; ++i) u[i] = (s[i] >= 'a' && s[i] <= 'z') ? static_cast<char>(s[i] - 32) : s[i];
  for (int m = 0; m < 12; ++m)
    if (kMonths[m * 3] == u[0] && kMonths[m * 3 + 1] == u[1] && kMonths[m * 3 + 2] == u[2]) return m + 1;
  return 0;
}

std::string_view TrimRightWhite(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(0, e);
}

// Splits off the first space-separated word of `rest` (already trimmed).
std::string_view TakeWord(std::string_view& rest) {
  rest = TrimControl(rest);
  size_t sp = rest.find(' ');
  std::string_view word = rest.substr(0, sp);
  rest = sp == std::string_view::npos ? std::string_view() : TrimControl(rest.substr(sp));
  return word;
}

void ParseUnix(TIdFTPListItem& item, const TIdCivilDate& today) {
  // Reused between lines: a listing has many thousands of them.
  thread_local std::vector<std::string_view> cols;
  SplitColumns(TrimRightWhite(item.RawLine), cols);
  if (cols.size() == 8 && !cols[4].empty() &&
      ((cols[4][0] >= 'A' && cols[4][0] <= 'Z') || (cols[4][0] >= 'a' && cols[4][0] <= 'z'))) {
    cols.insert(cols.begin() + 2, std::string_view());
  }
  if (cols.size() < 8) throw EIdInvalidFTPListingFormat();
  std::string_view mode = cols[0];
  char type = mode.empty() ? ' ' : mode[0];
  if (type >= 'a' && type <= 'z') type = static_cast<char>(type - 32);
  item.UserPermissions = std::string(Copy(mode, 2, 3));
  item.GroupPermissions = std::string(Copy(mode, 5, 3));
  item.OtherPermissions = std::string(Copy(mode, 8, 3));
  item.LinkCount = static_cast<int>(ToIntDef(cols[1], 0));
  item.OwnerName = std::string(cols[2]);
  item.GroupName = std::string(cols[3]);
  item.Size = ToIntDef(cols[4], 0);

  const int64_t month = MonthNumber(cols[5]);
  const int64_t day = ToIntDef(cols[6], today.Day);
  int64_t year, hour = 0, minute = 0;
  std::string_view tm = cols[7];
  size_t colon = tm.find(':');
  if (colon != std::string_view::npos) {
    hour = ToIntDef(tm.substr(0, colon), 0);
    minute = ToIntDef(tm.substr(colon + 1), 0);
    year = today.Year;
    if (today.Month < month) --year;
  } else {
    year = ToIntDef(tm, today.Year);
  }
  std::optional<double> date = EncodeDateTime(year, month, day, hour, minute, 0, 999);
  if (!date) throw EIdInvalidFTPListingFormat();
  item.ModifiedDate = *date;

  std::string name;
  for (size_t i = 8; i < cols.size(); ++i) {
    if (i > 8) name += ' ';
    name.append(cols[i]);
  }
  if (type == 'D') {
    item.ItemType = TIdDirItemType::ditDirectory;
  } else if (type == 'L') {
    item.ItemType = TIdDirItemType::ditSymbolicLink;
  } else {
    item.ItemType = TIdDirItemType::ditFile;
  }
  size_t arrow = item.ItemType == TIdDirItemType::ditSymbolicLink ? name.find(" -> ") : std::string::npos;
  if (arrow != std::string::npos) {
    item.FileName = name.substr(0, arrow);
    item.LinkTarget = name.substr(arrow + 4);
  } else {
    item.FileName = std::move(name);
  }
}

void ParseDos(TIdFTPListItem& item) {
  std::string_view line = item.RawLine;
  std::string date_text;
  date_text.append(Copy(line, 1, 2));
  date_text += '/';
  date_text.append(Copy(line, 4, 2));
  date_text += '/';
  date_text.append(Copy(line, 7, 2));
  date_text += ' ';
  std::string_view rest = line.size() >= 9 ? line.substr(8) : std::string_view();
  date_text.append(TakeWord(rest));
  std::string marker;
  for (char c : TakeWord(rest))
    if (c != ',') marker += c;
  if (Upper(marker) == "<DIR>") {
    item.ItemType = TIdDirItemType::ditDirectory;
    item.Size = 0;
  } else {
    item.ItemType = TIdDirItemType::ditFile;
    item.Size = ToIntDef(marker, 0);
  }
  item.FileName = std::string(TrimControl(rest));
  item.ModifiedDate = ParseDosDateTime(date_text).value_or(0.0);
}

}  // namespace

bool IsUnsafeListingName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return true;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsCp932Lead(c) && i + 1 < name.size()) {
      ++i;  // the trail byte may be 0x5C without being a backslash
      continue;
    }
    if (c == '/' || c == '\\' || c == '\0') return true;
  }
  return false;
}

bool TIdFTPListItem::UnsafeName() const { return IsUnsafeListingName(FileName); }

std::optional<double> EncodeDateTime(int64_t year, int64_t month, int64_t day, int64_t hour,
                                     int64_t minute, int64_t second, int64_t msec) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
  int dim = kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
  if (day > dim) return std::nullopt;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    return std::nullopt;
  const int64_t days = DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30);
  const double fraction = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / 86400000.0;
  // Before 1899-12-30 the fraction counts away from zero.
  return days >= 0 ? days + fraction : days - fraction;
}

std::optional<double> ParseDosDateTime(std::string_view text) {
  text = TrimControl(text);
  size_t sp = text.find(' ');
  std::string_view date = text.substr(0, sp);
  std::string_view time = sp == std::string_view::npos ? std::string_view() : TrimControl(text.substr(sp));
  // Date: m/d/y with "/" separators.
  int64_t parts[3];
  for (int i = 0; i < 3; ++i) {
    size_t slash = date.find('/');
    std::string_view p = i < 2 ? date.substr(0, slash) : date;
    if (i < 2 && slash == std::string_view::npos) return std::nullopt;
    parts[i] = ToIntDef(TrimControl(p), -1);
    if (parts[i] < 0) return std::nullopt;
    if (i < 2) date.remove_prefix(slash + 1);
  }
  int64_t year = parts[2];
  if (year < 100) year += year < 50 ? 2000 : 1900;
  int64_t hour = 0, minute = 0, second = 0;
  if (!time.empty()) {
    std::string t = Upper(time);
    int ampm = 0;
    if (t.size() >= 2 && (t.ends_with("AM") || t.ends_with("PM"))) {
      ampm = t.ends_with("AM") ? 1 : 2;
      t = std::string(TrimControl(std::string_view(t).substr(0, t.size() - 2)));
    } else if (t.size() >= 1 && (t.back() == 'A' || t.back() == 'P')) {
      ampm = t.back() == 'A' ? 1 : 2;
      t.pop_back();
    }
    std::string_view tv = t;
    size_t c1 = tv.find(':');
    if (c1 == std::string_view::npos) return std::nullopt;
    hour = ToIntDef(tv.substr(0, c1), -1);
    std::string_view after = tv.substr(c1 + 1);
    size_t c2 = after.find(':');
    minute = ToIntDef(after.substr(0, c2), -1);
    if (c2 != std::string_view::npos) second = ToIntDef(after.substr(c2 + 1), -1);
    if (hour < 0 || minute < 0 || second < 0) return std::nullopt;
    if (ampm != 0) {
      if (hour < 1 || hour > 12) return std::nullopt;
      if (hour == 12) hour = 0;
      if (ampm == 2) hour += 12;
    }
  }
  return EncodeDateTime(year, parts[0], parts[1], hour, minute, second, 0);
}

TIdFTPListFormat TIdFTPListItems::CheckListFormat(const std::string& first_line, bool details) {
  if (!details) return TIdFTPListFormat::flfNoDetails;
  const std::string u = Upper(first_line);
  auto mode_char = [](char c) { return c == '-' || c == 'R' || c == 'W' || c == 'X'; };
  if (u.size() >= 10 && (u[0] == '-' || u[0] == 'D' || u[0] == 'L')) {
    bool all = true;
    for (int i = 1; i <= 9; ++i) all = all && mode_char(u[i]);
    if (all) return TIdFTPListFormat::flfUnix;
  }
  if (u.starts_with("TOTAL")) return TIdFTPListFormat::flfUnix;
  if (u.find("DSK:") != std::string::npos) return TIdFTPListFormat::flfVax;
  auto sep = [](char c) { return c == '-' || c == '/'; };
  if (u.size() < 6 || !sep(u[2]) || !sep(u[5])) return TIdFTPListFormat::flfUnknown;
  std::string_view marker = TrimControl(Copy(u, 25, 6));
  if (marker == "<DIR>") return TIdFTPListFormat::flfDos;
  if (!marker.empty()) return TIdFTPListFormat::flfUnknown;
  std::string size;
  for (char c : TrimControl(Copy(u, 31, 8)))
    if (c != ',') size += c;
  return ToIntDef(size, -1) >= 0 && !size.empty() && size[0] != '-' && size[0] != '+'
             ? TIdFTPListFormat::flfDos
             : TIdFTPListFormat::flfUnknown;
}

void TIdFTPListItems::ParseLine(TIdFTPListItem& item) const {
  ParseLineAt(item, Today ? *Today : LocalToday());
}

void TIdFTPListItems::ParseLineAt(TIdFTPListItem& item, const TIdCivilDate& today) const {
  switch (ListFormat) {
    case TIdFTPListFormat::flfNone:
      return;
    case TIdFTPListFormat::flfUnix:
    case TIdFTPListFormat::flfVax:
      ParseUnix(item, today);
      return;
    case TIdFTPListFormat::flfDos:
      ParseDos(item);
      return;
    case TIdFTPListFormat::flfNoDetails:
      item.FileName = std::string(TrimControl(item.RawLine));
      return;
    case TIdFTPListFormat::flfCustom:
      if (!OnParseCustomListFormat) throw EIdInvalidFTPListingFormat();
      OnParseCustomListFormat(item);
      return;
    case TIdFTPListFormat::flfUnknown:
      break;
  }
  throw EIdInvalidFTPListingFormat();
}

void TIdFTPListItems::LoadList(const std::vector<std::string>& lines, bool details) {
  items_.clear();
  if (lines.empty()) return;
  ListFormat = CheckListFormat(lines.front(), details);
  if (OnCheckListFormat) OnCheckListFormat(*this, ListFormat);
  const TIdCivilDate today = Today ? *Today : LocalToday();  // one date for the whole listing
  size_t start = 0;
  if (ListFormat == TIdFTPListFormat::flfUnix && Upper(lines.front()).starts_with("TOTAL")) start = 1;
  items_.reserve(lines.size());
  for (size_t i = start; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    items_.emplace_back();
    items_.back().RawLine = line;
    try {
      ParseLineAt(items_.back(), today);
    } catch (...) {
      // A line that cannot be read discards everything gathered so far.
      items_.clear();
    }
  }
}

}  // namespace hemlo::ftp
