// Words, dates and sizes as listing lines print them.
#include <climits>
#include <ctime>
#include <string>

#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// A number followed by the bytes that mark what it is ("4月", "18日",
// "2003年" in any encoding, "26.", "08,"): the digits decide, the marker
// only separates, so markers in encodings nobody here can decode still
// read. Returns the value, or -1 when the word is not 1 to `max_digits`
// digits followed by at most four bytes that are not digits.
int64_t MarkedNumber(std::string_view w, size_t max_digits, bool marker_required) {
  size_t n = 0;
  while (n < w.size() && IsDigit(w[n])) ++n;
  if (n == 0 || n > max_digits || w.size() - n > 4) return -1;
  if (marker_required && n == w.size()) return -1;
  for (size_t i = n; i < w.size(); ++i)
    if (IsDigit(w[i]) || w[i] == ':') return -1;
  return Digits(w.substr(0, n));
}

// A time, or a four-digit year (with an East Asian year suffix or not).
bool TimeOrYear(std::string_view w, DateParts& d) {
  if (ReadTime(w, d)) {
    d.has_year = false;
    return true;
  }
  if (w.size() < 4 || (w.size() > 4 && IsDigit(w[4]))) return false;
  const int64_t y = MarkedNumber(w, 4, false);
  if (y < 1000) return false;
  d.year = y;
  d.has_year = true;
  d.hour = d.minute = d.second = 0;
  return true;
}

bool IsZone(std::string_view w) {
  return w.size() == 5 && (w[0] == '+' || w[0] == '-') && Digits(w.substr(1)) >= 0;
}

}  // namespace

// "5", "05", "26." (German), "5.," (Hungarian): the day of the month, or -1.
int64_t DayWord(std::string_view w) {
  for (int i = 0; i < 2 && !w.empty() && (w.back() == '.' || w.back() == ','); ++i)
    w.remove_suffix(1);
  if (w.empty() || w.size() > 2) return -1;
  int64_t d = Digits(w);
  return d >= 1 && d <= 31 ? d : -1;
}

void SplitWords(std::string_view line, Words& words) {
  words.line = line;
  words.count = 0;
  size_t i = 0;
  const size_t n = line.size();
  while (i < n && words.count < kMaxWords) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    size_t j = i;
    while (j < n && line[j] != ' ' && line[j] != '\t') ++j;
    words.at[words.count++] = {i, j};
    i = j;
  }
}

std::string_view SkipBlanks(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

int64_t Digits(std::string_view s, std::size_t max_digits) {
  if (s.empty() || s.size() > max_digits) return -1;
  int64_t v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool ReadTime(std::string_view w, DateParts& d, bool allow_ampm) {
  int ampm = 0;
  if (allow_ampm && !w.empty()) {
    char last = ToUpper(w.back());
    if (last == 'M' && w.size() >= 2) {
      char prev = ToUpper(w[w.size() - 2]);
      if (prev == 'A' || prev == 'P') {
        ampm = prev == 'A' ? 1 : 2;
        w.remove_suffix(2);
      }
    } else if (last == 'A' || last == 'P') {
      ampm = last == 'A' ? 1 : 2;
      w.remove_suffix(1);
    }
  }
  size_t c1 = w.find(':');
  if (c1 == std::string_view::npos || c1 == 0 || c1 > 2) return false;
  int64_t h = Digits(w.substr(0, c1));
  std::string_view rest = w.substr(c1 + 1);
  if (rest.size() < 2) return false;
  int64_t m = Digits(rest.substr(0, 2));
  int64_t s = 0, ms = -1;
  rest.remove_prefix(2);
  if (!rest.empty()) {
    if (rest[0] != ':' || rest.size() < 3) return false;
    s = Digits(rest.substr(1, 2));
    rest.remove_prefix(3);
    ms = 0;
    if (!rest.empty()) {
      if (rest[0] != '.' && rest[0] != ',') return false;
      std::string_view frac = rest.substr(1);
      if (frac.empty() || frac.size() > 9 || Digits(frac) < 0) return false;
      std::string three(frac.substr(0, 3));
      three.resize(3, '0');
      ms = Digits(three);
    }
  }
  if (h < 0 || m < 0 || s < 0 || m > 59 || s > 60) return false;
  if (ampm != 0) {
    if (h < 1 || h > 12) return false;
    if (h == 12) h = 0;
    if (ampm == 2) h += 12;
  }
  if (h > 24 || (h == 24 && (m != 0 || s != 0))) return false;
  d.hour = h;
  d.minute = m;
  d.second = s > 59 ? 59 : s;
  if (ms >= 0) d.msec = ms;
  return true;
}

bool ReadNumericDate(std::string_view w, DateParts& d, bool two_digit_years) {
  if (w.size() < 6 || w.size() > 10) return false;
  char sep = 0;
  std::string_view parts[3];
  size_t start = 0, n = 0;
  for (size_t i = 0; i <= w.size(); ++i) {
    if (i == w.size() || w[i] == '-' || w[i] == '/' || w[i] == '.') {
      if (i < w.size()) {
        if (sep == 0) sep = w[i];
        if (w[i] != sep || n >= 2) return false;
      }
      parts[n++] = w.substr(start, i - start);
      start = i + 1;
    }
  }
  if (n != 3) return false;
  int64_t v[3];
  for (int i = 0; i < 3; ++i) {
    if (parts[i].empty() || parts[i].size() > 4) return false;
    v[i] = Digits(parts[i]);
    if (v[i] < 0) return false;
  }
  int64_t y, m, day;
  if (parts[0].size() == 4) {
    if (parts[1].size() > 2 || parts[2].size() > 2) return false;
    y = v[0], m = v[1], day = v[2];
  } else {
    if (parts[0].size() > 2 || parts[1].size() > 2) return false;
    if (parts[2].size() == 4) {
      y = v[2];
    } else if (two_digit_years && parts[2].size() == 2) {
      y = v[2] < 70 ? 2000 + v[2] : 1900 + v[2];
    } else if (two_digit_years && parts[2].size() == 3) {
      y = 1900 + v[2];  // OS/2 prints years after 1999 as 100, 101, ...
    } else {
      return false;
    }
    if (sep == '.' || v[0] > 12) {
      day = v[0], m = v[1];
    } else {
      m = v[0], day = v[1];
    }
  }
  if (m < 1 || m > 12 || day < 1 || day > 31) return false;
  d.year = y;
  d.month = m;
  d.day = day;
  d.has_year = true;
  return true;
}

bool ReadDayMonthYear(std::string_view w, DateParts& d, bool two_digit_years, bool* known_month) {
  size_t a = w.find('-');
  if (a == std::string_view::npos || a == 0 || a > 2) return false;
  size_t b = w.find('-', a + 1);
  if (b == std::string_view::npos || b - a - 1 < 3) return false;
  const int64_t day = Digits(w.substr(0, a));
  std::string_view month = w.substr(a + 1, b - a - 1), ys = w.substr(b + 1);
  for (char c : month)
    if (!IsAlpha(c)) return false;
  int64_t year = ys.size() == 4 ? Digits(ys) : -1;
  if (two_digit_years && ys.size() == 2 && Digits(ys) >= 0)
    year = Digits(ys) < 70 ? 2000 + Digits(ys) : 1900 + Digits(ys);
  if (day < 1 || day > 31 || year < 0) return false;
  const int m = MonthFromName(month);
  if (known_month) *known_month = m != 0;
  if (m == 0 && !known_month) return false;
  d.day = day;
  d.month = m;
  d.year = year;
  d.has_year = true;
  return true;
}

namespace {

// "2003年4月18日", "2003年 4月 18日", "2003Y04M18D": the year first, a
// marker after the year and the month. With `bare_year` the year may stand
// alone as its own word ("2003  3月 20日"). Returns the words taken, 0 for
// none.
size_t MatchYearFirst(const Words& w, size_t i, DateParts& d, bool bare_year = false) {
  int64_t v[3];
  size_t n = 0, j = i;
  for (; j < w.count && j < i + 3 && n < 3; ++j) {
    std::string_view word = w[j];
    if (word.empty() || !IsDigit(word[0])) return 0;
    while (!word.empty() && n < 3) {
      size_t digits = 0;
      while (digits < word.size() && IsDigit(word[digits])) ++digits;
      size_t marker = digits;
      while (marker < word.size() && !IsDigit(word[marker])) ++marker;
      if (digits == 0 || digits > (n == 0 ? 4 : 2) || marker - digits > 4) return 0;
      // Year and month carry their marker.
      if (n < 2 && marker == digits && !(n == 0 && bare_year && digits == word.size())) return 0;
      if (n == 0 && digits != 4) return 0;
      v[n++] = Digits(word.substr(0, digits));
      word.remove_prefix(marker);
    }
    if (!word.empty()) return 0;
  }
  if (n != 3 || v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31) return 0;
  d.year = v[0];
  d.month = v[1];
  d.day = v[2];
  d.has_year = true;
  return j - i;
}

// A date of numbers alone leaves the time at midnight; a time may follow.
size_t WithOptionalTime(const Words& w, size_t i, size_t taken, DateParts& d) {
  if (i + taken < w.count && ReadTime(w[i + taken], d)) return taken + 1;
  d.hour = d.minute = 0;
  // Without a time the name column is often padded to line up.
  d.padded_name = true;
  return taken;
}

}  // namespace

size_t MatchLsDate(const Words& w, size_t i, bool weak, DateParts& d) {
  if (i >= w.count) return 0;
  std::string_view t0 = w[i];
  const bool three = i + 2 < w.count;
  if (!IsDigit(t0[0])) {
    // "Jan 5 12:30", "juil. 26 2003", "Oct 08, 2002 09:47"
    if (!three) return 0;
    int m = MonthFromName(t0);
    if (m == 0) return 0;
    std::string_view day_word = w[i + 1];
    int64_t day = DayWord(day_word);
    if (day < 0 || !TimeOrYear(w[i + 2], d)) return 0;
    d.month = m;
    d.day = day;
    // After "Oct 08, 2002" some servers add the time too.
    if (d.has_year && day_word.back() == ',' && i + 3 < w.count && ReadTime(w[i + 3], d)) return 4;
    return 3;
  }
  // ISO: "2005-06-07 21:22", "2005-06-07 21:22:33.123456789 +0200", "2005-06-07"
  if (t0.size() == 10 && t0[4] == '-' && t0[7] == '-') {
    if (!ReadNumericDate(t0, d, false)) return 0;
    if (i + 1 < w.count && ReadTime(w[i + 1], d))
      return i + 2 < w.count && IsZone(w[i + 2]) ? 3 : 2;
    return WithOptionalTime(w, i, 1, d);
  }
  // Recent files of the "iso" style: "06-07 21:22"; "09-26 2000"
  if (t0.size() == 5 && t0[2] == '-' && i + 1 < w.count) {
    int64_t m = Digits(t0.substr(0, 2)), day = Digits(t0.substr(3));
    if (m < 1 || m > 12 || day < 1 || day > 31) return 0;
    std::string_view next = w[i + 1];
    if (ReadTime(next, d)) {
      d.has_year = false;
    } else if (next.size() == 4 && Digits(next) >= 1000) {
      d.year = Digits(next);
      d.has_year = true;
      d.hour = d.minute = 0;
    } else {
      return 0;
    }
    d.month = m;
    d.day = day;
    return 2;
  }
  if (three) {
    // Hungarian "2013. febr. 5."
    if (t0.size() == 5 && t0[4] == '.' && Digits(t0.substr(0, 4)) >= 1000) {
      int m = MonthFromName(w[i + 1]);
      int64_t day = DayWord(w[i + 2]);
      if (m == 0 || day < 0) return 0;
      d.year = Digits(t0.substr(0, 4));
      d.has_year = true;
      d.month = m;
      d.day = day;
      d.hour = d.minute = 0;
      return 3;
    }
    // "29 Jul 02:27", "26. Juli 2003", "26. Juli, 12:30"
    int64_t day = DayWord(t0);
    if (day > 0) {
      int m = MonthFromName(w[i + 1]);
      if (m > 0) {
        if (!TimeOrYear(w[i + 2], d)) return 0;
        d.month = m;
        d.day = day;
        return 3;
      }
    }
    // "4月 18日 2003年", "12月 29 03:26", "4월 18일 2003년", in any encoding
    const int64_t m = MarkedNumber(t0, 2, true);
    if (m > 0 && t0.back() != '.' && t0.back() != ',') {
      const int64_t dd = MarkedNumber(w[i + 1], 2, false);
      if (m > 12 || dd < 1 || dd > 31 || !TimeOrYear(w[i + 2], d)) return 0;
      d.month = m;
      d.day = dd;
      return 3;
    }
  }
  // "01-jun-99", "15-JAN-2003"
  if (ReadDayMonthYear(t0, d, true, nullptr)) return WithOptionalTime(w, i, 1, d);
  // "2003年4月18日"
  if (t0.size() > 4 && IsDigit(t0[3]) && !IsDigit(t0[4]) && t0[4] != ':') {
    if (size_t n = MatchYearFirst(w, i, d)) return WithOptionalTime(w, i, n, d);
  }
  // "2003/10/12", "12-03-2003", "2004.07.15", with or without a time
  if (t0.find_first_of("-/.") != std::string_view::npos) {
    if (!ReadNumericDate(t0, d, false)) return 0;
    return WithOptionalTime(w, i, 1, d);
  }
  // A bare year before a marked month: "2003   3月 20日". Weak only: a
  // four-digit size before a marked month-first date must stay a size.
  if (weak && t0.size() == 4 && Digits(t0) >= 1000 && i + 2 < w.count) {
    if (size_t n = MatchYearFirst(w, i, d, true)) return WithOptionalTime(w, i, n, d);
  }
  // Numeric month first: "3 29 03:26"
  if (weak && three) {
    int64_t m = Digits(t0), day = DayWord(w[i + 1]);
    if (t0.size() <= 2 && m >= 1 && m <= 12 && day > 0 && TimeOrYear(w[i + 2], d)) {
      d.month = m;
      d.day = day;
      return 3;
    }
  }
  return 0;
}

std::optional<double> FinishDate(DateParts d, const TIdCivilDate& today) {
  if (!d.has_year) {
    d.year = today.Year;
    if (today.Month < d.month) --d.year;
  }
  if (d.hour == 24) {
    std::optional<double> midnight = EncodeDateTime(d.year, d.month, d.day, 0, 0, 0, d.msec);
    if (!midnight) return std::nullopt;
    return *midnight + 1.0;
  }
  return EncodeDateTime(d.year, d.month, d.day, d.hour, d.minute, d.second, d.msec);
}

double UtcToShown(int64_t unix_seconds, int64_t msec, const std::optional<int>& offset_minutes) {
  int64_t offset;
  if (offset_minutes) {
    offset = static_cast<int64_t>(*offset_minutes) * 60;
  } else {
    // One zone lookup per hour of listing times: a large listing repeats them.
    thread_local int64_t cached_hour = INT64_MIN;
    thread_local int64_t cached_offset = 0;
    const int64_t hour = unix_seconds / 3600;
    if (hour != cached_hour) {
      std::time_t t = static_cast<std::time_t>(unix_seconds);
      std::tm tm{};
      cached_offset = localtime_r(&t, &tm) ? tm.tm_gmtoff : 0;
      cached_hour = hour;
    }
    offset = cached_offset;
  }
  const int64_t s = unix_seconds + offset;
  int64_t days = s / 86400, rem = s % 86400;
  if (rem < 0) {
    rem += 86400;
    --days;
  }
  days += 25569;  // 1970-01-01 counted from 1899-12-30
  const double fraction = static_cast<double>(rem * 1000 + msec) / 86400000.0;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

std::optional<int64_t> ReadSize(std::string_view w) {
  if (w.empty() || !IsDigit(w[0])) return std::nullopt;
  size_t lead = 0;
  while (lead < w.size() && IsDigit(w[lead])) ++lead;
  auto value_of = [](std::string_view digits) -> std::optional<int64_t> {
    if (digits.size() > 18) return std::nullopt;
    int64_t v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    return v;
  };
  if (lead == w.size()) return value_of(w);
  // "1,234" and "1.234.567": groups of three digits after one kind of separator.
  const char sep = w[lead];
  if ((sep == ',' || sep == '.') && lead <= 3) {
    std::string digits(w.substr(0, lead));
    size_t j = lead;
    bool grouped = true;
    while (grouped && j < w.size()) {
      grouped = w[j] == sep && j + 4 <= w.size() && IsDigit(w[j + 1]) && IsDigit(w[j + 2]) &&
                IsDigit(w[j + 3]);
      if (grouped) digits.append(w.substr(j + 1, 3));
      j += 4;
    }
    if (grouped) return value_of(digits);
  }
  if (lead > 15) return std::nullopt;
  const int64_t whole = *value_of(w.substr(0, lead));
  size_t i = lead;
  // "33.5k", "2M", "1,2G", "512B", "4.0KiB"
  double value = static_cast<double>(whole);
  if (w[i] == '.' || w[i] == ',') {
    double scale = 0.1;
    size_t j = i + 1;
    if (j >= w.size() || !IsDigit(w[j])) return std::nullopt;
    for (; j < w.size() && IsDigit(w[j]); ++j, scale /= 10) value += (w[j] - '0') * scale;
    i = j;
  }
  std::string_view unit = w.substr(i);
  double mult;
  switch (unit.empty() ? ' ' : ToUpper(unit[0])) {
    case 'B':
      mult = 1;
      break;
    case 'K':
      mult = 1024.0;
      break;
    case 'M':
      mult = 1024.0 * 1024;
      break;
    case 'G':
      mult = 1024.0 * 1024 * 1024;
      break;
    case 'T':
      mult = 1024.0 * 1024 * 1024 * 1024;
      break;
    case 'P':
      mult = 1024.0 * 1024 * 1024 * 1024 * 1024;
      break;
    default:
      return std::nullopt;
  }
  unit.remove_prefix(1);
  if (!unit.empty() && !EqualsNoCase(unit, "B") && !EqualsNoCase(unit, "iB")) return std::nullopt;
  if (mult == 1 && !unit.empty()) return std::nullopt;
  const double bytes = value * mult;
  if (bytes > 9.0e18) return std::nullopt;
  return static_cast<int64_t>(bytes + 0.5);
}

}  // namespace hemlo::ftp::listing
