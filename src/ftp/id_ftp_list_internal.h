#pragma once
// Pieces shared by the listing families: words of a line, dates, sizes and
// the per-family line readers. Each reader returns false for a line it
// cannot read, and leaves the item in an unspecified state then.
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/ascii_case.h"
#include "ftp/id_ftp_list.h"

namespace hemlo::ftp::listing {

// One space- or tab-separated word, as offsets into its line.
struct Word {
  size_t begin = 0;
  size_t end = 0;
};

// At most this many words are looked at; the rest of a line is a name.
inline constexpr size_t kMaxWords = 24;

struct Words {
  std::string_view line;
  Word at[kMaxWords];
  size_t count = 0;
  std::string_view operator[](size_t i) const {
    return i < count ? line.substr(at[i].begin, at[i].end - at[i].begin) : std::string_view();
  }
  // The line from the end of word i on.
  std::string_view After(size_t i) const { return line.substr(at[i].end); }
  std::string_view From(size_t i) const { return line.substr(at[i].begin); }
};

void SplitWords(std::string_view line, Words& words);

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline char ToUpper(char c) { return AsciiUpper(c); }
inline bool EqualsNoCase(std::string_view a, std::string_view b) { return AsciiEqualNoCase(a, b); }
std::string_view SkipBlanks(std::string_view s);

// Value of a run of 1 to `max_digits` decimal digits; -1 for anything else.
// Nine suit the fields of a date; sizes and times take up to 18.
int64_t Digits(std::string_view s, std::size_t max_digits = 9);

// Broken-down listing time; a date without a year is placed in the last
// twelve months by the listing's date.
struct DateParts {
  int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 999;
  bool has_year = false;
  bool padded_name = false;  // blanks before the name are column padding
};

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d);

// Month number (1-12) of an English or localized month name or
// abbreviation, with or without a trailing "."; 0 when it is none.
int MonthFromName(std::string_view word);
// "5", "05", "26." (German), "08," (VShell): the day of the month, or -1.
int64_t DayWord(std::string_view word);
// "h:mm", "hh:mm", "hh:mm:ss", "hh:mm:ss.fff"; also "10:30AM" when
// `allow_ampm`.
bool ReadTime(std::string_view word, DateParts& d, bool allow_ampm = false);
// Numeric dates: yyyy-mm-dd, yyyy/mm/dd, yyyy.mm.dd, dd.mm.yyyy,
// mm-dd-yyyy, mm/dd/yyyy, dd-mm-yyyy when dd > 12, and with
// `two_digit_years` also mm-dd-yy and dd.mm.yy (yy < 70 is 20yy).
bool ReadNumericDate(std::string_view word, DateParts& d, bool two_digit_years);
// "15-JAN-2003", and with `two_digit_years` "01-jun-99". With
// `known_month` a month name nobody here knows still matches (month 0) and
// says so there.
bool ReadDayMonthYear(std::string_view word, DateParts& d, bool two_digit_years, bool* known_month);
// The date of an `ls -l` style line starting at word i: how many words it
// takes, 0 when none starts there. `weak` also accepts numeric months
// ("3 29 03:26"), which only count where nothing stronger is found.
size_t MatchLsDate(const Words& w, size_t i, bool weak, DateParts& d);
// Days since 1899-12-30 of the parts, with the year filled in from `today`
// and "24:00" taken as the start of the next day.
std::optional<double> FinishDate(DateParts d, const TIdCivilDate& today);
// Day number of a UTC moment shown at `offset_minutes` from UTC, or at the
// local zone's offset of that moment.
double UtcToShown(int64_t unix_seconds, int64_t msec, const std::optional<int>& offset_minutes);

// "1234", "1,234", "1.234.567", "33.5k", "2M", "1.2G": bytes, or nullopt.
std::optional<int64_t> ReadSize(std::string_view word);

// "0644", "2775", "0o755", "0100644": the permission triplets, with set-id
// and sticky bits shown the way `ls` shows them; false for anything else.
bool SetModeTriplets(std::string_view octal, TIdFTPListItem& item);

// The family readers. `w` holds the words of item.RawLine.
// Where the group and size columns of an `ls -l` line lie (offsets into the
// line), so that a group and size run together can be lined up with the
// other lines of the listing.
struct UnixColumns {
  size_t group_begin = 0, group_end = 0, size_begin = 0, size_end = 0;
  bool glued = false;  // one word; size_begin is where its trailing digits start
  bool valid = false;  // owner and group were both there
};

bool IsUnixMode(std::string_view word);
// `ls -l` lines, and the numeric `ls` and VShell lines read with them.
bool ParseUnixLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today,
                   const std::optional<int>& offset_minutes, UnixColumns* cols = nullptr);
bool IsNumericLsLine(const Words& w);
bool ParseNumericLsLine(TIdFTPListItem& item, const Words& w,
                        const std::optional<int>& offset_minutes);
bool IsVShellLine(const Words& w);
bool ParseVShellLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today);
bool ParseNetwareLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today);
bool ParseDosLine(TIdFTPListItem& item, const Words& w);
bool ParseVmsLine(TIdFTPListItem& item, const Words& w);
bool ParseOs2Line(TIdFTPListItem& item, const Words& w);
bool ParseOs400Line(TIdFTPListItem& item, const Words& w);
bool ParseEplfLine(TIdFTPListItem& item, const std::optional<int>& offset_minutes);
// MLSD: kSkip for the folder's own and parent entries.
enum class MlsdResult { kEntry, kSkip, kBad };
MlsdResult ParseMlsdLine(TIdFTPListItem& item, const std::optional<int>& offset_minutes);
bool LooksLikeMlsd(std::string_view line);

// Mainframe and embedded families.
bool IsMvsLine(const Words& w);
bool ParseMvsLine(TIdFTPListItem& item, const Words& w);
bool IsVmCmsLine(const Words& w);
bool ParseVmCmsLine(TIdFTPListItem& item, const Words& w);
bool IsOs9Line(const Words& w);
bool ParseOs9Line(TIdFTPListItem& item, const Words& w);
bool IsNonStopLine(const Words& w);
bool ParseNonStopLine(TIdFTPListItem& item, const Words& w);
bool IsMainframeHeading(const Words& w);

// Network devices and mailbox servers.
bool IsVxWorksLine(const Words& w);
bool ParseVxWorksLine(TIdFTPListItem& item, const Words& w);
bool IsWfftpLine(const Words& w);
bool ParseWfftpLine(TIdFTPListItem& item, const Words& w);
bool IsConnectEnterpriseLine(const Words& w);
bool ParseConnectEnterpriseLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today);

// The format of a line from its words (MLSD and EPLF lines are told by
// their first bytes); flfNone for lines that frame a listing.
TIdFTPListFormat DetectFormat(std::string_view line, const Words& w);

// Word-shape tests used by format detection.
bool IsDosLine(const Words& w);
bool IsVmsName(std::string_view word);
bool IsOs2Line(const Words& w);
bool IsOs400Line(const Words& w);

}  // namespace hemlo::ftp::listing
