#include "remote/cell_text.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace hemlo::transfer {

std::string DateCellText(const CivilTime& t) {
  char buf[64];
  if (t.hour == 0 && t.minute == 0 && t.second == 0)
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", t.year, t.month, t.day);
  else
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
  return buf;
}

CivilTime FromDayNumber(double days) {
  // Whole seconds, the fraction dropped: listings carry no milliseconds, and
  // the parser's sub-second filler must not turn 09:15 into 09:15:01 or a
  // date-only entry into one with a time. The small slack absorbs the
  // representation error of the day fraction.
  const double total = std::floor(days * 86400.0 + 1e-4);
  long long secs = static_cast<long long>(total);
  long long day = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
  long long tod = secs - day * 86400;
  // Days since 1899-12-30 -> civil date (Howard Hinnant's algorithm on the
  // 1970 epoch, which is day 25569).
  long long z = day - 25569 + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  CivilTime t;
  t.year = static_cast<int>(y);
  t.month = static_cast<int>(m);
  t.day = static_cast<int>(d);
  t.hour = static_cast<int>(tod / 3600);
  t.minute = static_cast<int>(tod / 60 % 60);
  t.second = static_cast<int>(tod % 60);
  return t;
}

CivilTime LocalWriteTime(const std::filesystem::file_time_type& ft) {
  const auto sys = std::chrono::file_clock::to_sys(ft);
  const std::time_t tt = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(
          std::chrono::floor<std::chrono::seconds>(sys)));
  std::tm tm{};
  localtime_r(&tt, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string SizeCellText(int64_t size) {
  const bool negative = size < 0;
  unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(size)
                                  : static_cast<unsigned long long>(size);
  std::string digits = std::to_string(v);
  std::string out;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    if (i && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  if (negative) out.insert(out.begin(), '-');
  if (out.size() < 10) out.insert(0, 10 - out.size(), ' ');
  return out;
}

}  // namespace hemlo::transfer
