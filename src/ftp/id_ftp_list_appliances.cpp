// Listings of network devices and mailbox servers: Nortel's VxWorks and
// WFFTP (BayRS) routers and switches, and Sterling Connect:Enterprise
// mailboxes. Each is told by the shape of all its columns together, so
// that no line of a common family is taken for one.
#include "ftp/id_ftp_list_internal.h"

namespace hemlo::ftp::listing {

namespace {

// "JUL-06-2008": month name, day and four-digit year.
bool ReadMonthDayYear(std::string_view word, DateParts& d) {
  const size_t a = word.find('-');
  if (a == std::string_view::npos || word.size() - a != 8 || word[a + 3] != '-') return false;
  const int m = MonthFromName(word.substr(0, a));
  const int64_t day = Digits(word.substr(a + 1, 2)), year = Digits(word.substr(a + 4));
  if (m == 0 || day < 1 || day > 31 || year < 1000) return false;
  d.month = m;
  d.day = day;
  d.year = year;
  d.has_year = true;
  return true;
}

// "hh:mm:ss": these devices always print the seconds.
bool ReadFullTime(std::string_view word, DateParts& d) {
  return word.size() == 8 && word[2] == ':' && word[5] == ':' && ReadTime(word, d);
}

// "Wed", "Wed.": the weekday BayRS prints between date and time.
bool IsWeekday(std::string_view word) {
  if (!word.empty() && word.back() == '.') word.remove_suffix(1);
  static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  for (const char* day : kDays)
    if (EqualsNoCase(word, day)) return true;
  return false;
}

bool Finish(TIdFTPListItem& item, DateParts d, std::string_view name, bool folder, int64_t size) {
  if (name.empty()) return false;
  d.msec = 0;
  const std::optional<double> when = FinishDate(d, {});
  if (!when) return false;
  item.FileName = std::string(name);
  item.ItemType = folder ? TIdDirItemType::ditDirectory : TIdDirItemType::ditFile;
  item.Size = size;
  item.ModifiedDate = *when;
  item.OwnerName.clear();
  item.GroupName.clear();
  return true;
}

// The status flags of a Connect:Enterprise batch: ten of "-" and capital
// letters, with a capital where `ls` shows only r, w or "-" (the second
// flag is always A or C). `protocol`: the flags run into "FTP" or another
// protocol name, as the UNIX server prints them.
bool IsBatchFlags(std::string_view word, bool& protocol) {
  if (word.size() < 10) return false;
  protocol = word.size() > 10;
  for (size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    if (c != '-' && (c < 'A' || c > 'Z')) return false;
    if (i >= 10 && c == '-') return false;
  }
  return word[1] == 'A' || word[1] == 'C';
}

}  // namespace

// "   48736        JUL-06-2008  09:57:52   NVRAM.CFG",
// "    1024        JUL-03-2008  14:37:34   IPV6              <DIR>"
bool IsVxWorksLine(const Words& w) {
  DateParts d;
  return w.count >= 4 && Digits(w[0], 18) >= 0 && ReadMonthDayYear(w[1], d) &&
         ReadFullTime(w[2], d);
}

bool ParseVxWorksLine(TIdFTPListItem& item, const Words& w) {
  DateParts d;
  if (!IsVxWorksLine(w) || !ReadMonthDayYear(w[1], d) || !ReadFullTime(w[2], d)) return false;
  size_t last = w.count - 1;
  const bool folder = last > 3 && w[last] == "<DIR>";
  if (folder) --last;
  const std::string_view name = w.line.substr(w.at[3].begin, w.at[last].end - w.at[3].begin);
  return Finish(item, d, name, folder, folder ? -1 : Digits(w[0], 18));
}

// " bn.exe        11324464  07/28/04  Wed.     15:25:04"; some versions
// leave out the weekday.
bool IsWfftpLine(const Words& w) {
  if (w.count != 4 && w.count != 5) return false;
  DateParts d;
  const std::string_view date = w[2];
  return Digits(w[1], 18) >= 0 && date.size() >= 8 && date[2] == '/' &&
         ReadNumericDate(date, d, true) && (w.count == 4 || IsWeekday(w[3])) &&
         ReadFullTime(w[w.count - 1], d);
}

bool ParseWfftpLine(TIdFTPListItem& item, const Words& w) {
  DateParts d;
  if (!IsWfftpLine(w) || !ReadNumericDate(w[2], d, true) || !ReadFullTime(w[w.count - 1], d))
    return false;
  return Finish(item, d, w[0], false, Digits(w[1], 18));
}

// UNIX server: "-C--E-----FTP B QUA1I1      18128       41 Aug 12 13:56 QUADTEST"
// (flags and protocol, ASCII or binary, mailbox, bytes, records);
// z/OS server: "-A-R------ 1 SZ999FTI 0692432 7 Mar 3 15:33 RESTORE"
// (flags, batch type, mailbox, batch number, blocks: no size in bytes).
bool IsConnectEnterpriseLine(const Words& w) {
  bool protocol = false;
  if (w.count < 9 || !IsBatchFlags(w[0], protocol)) return false;
  const std::string_view kind = w[1];
  if (protocol ? kind != "A" && kind != "B" : Digits(kind) < 0) return false;
  DateParts d;
  return Digits(w[3], 18) >= 0 && Digits(w[4], 18) >= 0 && MatchLsDate(w, 5, false, d) == 3;
}

bool ParseConnectEnterpriseLine(TIdFTPListItem& item, const Words& w, const TIdCivilDate& today) {
  if (!IsConnectEnterpriseLine(w)) return false;
  DateParts d;
  MatchLsDate(w, 5, false, d);
  // A date without a year lies in the last twelve months.
  if (!d.has_year) {
    d.year = today.Year;
    if (today.Month < d.month) --d.year;
    d.has_year = true;
  }
  const bool protocol = w[0].size() > 10;
  if (!Finish(item, d, SkipBlanks(w.After(7)), false, protocol ? Digits(w[3], 18) : -1))
    return false;
  item.OwnerName = std::string(w[2]);  // the mailbox
  return true;
}

}  // namespace hemlo::ftp::listing
