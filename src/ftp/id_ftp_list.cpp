#include "ftp/id_ftp_list.h"

#include <algorithm>
#include <ctime>

#include "base/ascii_case.h"
#include "ftp/id_exception.h"
#include "ftp/id_ftp_list_internal.h"
#include "ftp/id_reply.h"

namespace hemlo::ftp {

namespace {

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

TIdCivilDate LocalToday() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

}  // namespace

std::optional<double> EncodeDateTime(int64_t year, int64_t month, int64_t day, int64_t hour,
                                     int64_t minute, int64_t second, int64_t msec) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
  int dim = kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
  if (day > dim) return std::nullopt;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    return std::nullopt;
  const int64_t days =
      listing::DaysFromCivil(year, month, day) - listing::DaysFromCivil(1899, 12, 30);
  const double fraction =
      static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / 86400000.0;
  // Before 1899-12-30 the fraction counts away from zero.
  return days >= 0 ? days + fraction : days - fraction;
}

std::optional<double> ParseDosDateTime(std::string_view text) {
  text = TrimControl(text);
  size_t sp = text.find(' ');
  std::string_view date = text.substr(0, sp);
  std::string_view time =
      sp == std::string_view::npos ? std::string_view() : TrimControl(text.substr(sp));
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
  if (year < 100) year += year < 70 ? 2000 : 1900;
  int64_t hour = 0, minute = 0, second = 0;
  if (!time.empty()) {
    std::string t = AsciiUppered(std::string(time));
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

namespace {

using namespace listing;

// `ls`'s "total 24" line in the locales servers run: Japanese in UTF-8,
// Shift-JIS and EUC-JP, Korean, Chinese, German, Russian and others.
bool IsTotalWord(std::string_view word) {
  static const char* const kWords[] = {"total",
                                       "insgesamt",
                                       "totale",
                                       "totaal",
                                       "razem",
                                       "celkem",
                                       "toplam",
                                       "\xC3\xB6sszesen",
                                       "\xE5\x90\x88\xE8\xA8\x88",
                                       "\x8D\x87\x8C\x76",
                                       "\xB9\xE7\xB7\xD7",
                                       "\xED\x95\xA9\xEA\xB3\x84",
                                       "\xC7\xD5\xB0\xE8",
                                       "\xE6\x80\xBB\xE7\x94\xA8\xE9\x87\x8F",
                                       "\xD7\xDC\xD3\xC3\xC1\xBF",
                                       "\xD0\xB8\xD1\x82\xD0\xBE\xD0\xB3\xD0\xBE"};
  for (const char* w : kWords)
    if (EqualsNoCase(word, w)) return true;
  return false;
}

// Lines that frame a listing without naming an entry: "total 24", the VMS
// "Directory DISK:[DIR]" heading and "Total of 3 files, ..." trailer.
bool IsFrameLine(const Words& w) {
  if (w.count == 0) return true;
  std::string_view first = w[0];
  if (IsTotalWord(first))
    return w.count == 1 || (w.count == 2 && ReadSize(w[1])) || EqualsNoCase(w[1], "of");
  if (EqualsNoCase(first, "grand")) return w.count > 1 && EqualsNoCase(w[1], "total");
  // "65536000 bytes - Total size", "1234 bytes free"
  if (w.count >= 2 && Digits(first, 18) >= 0 && EqualsNoCase(w[1], "bytes")) return true;
  return EqualsNoCase(first, "Directory") && w.count == 2;
}

}  // namespace

TIdFTPListFormat listing::DetectFormat(std::string_view line, const Words& w) {
  using F = TIdFTPListFormat;
  if (LooksLikeMlsd(line)) return F::flfMlsd;
  if (!line.empty() && line[0] == '+' && line.find('\t') != std::string_view::npos)
    return F::flfEplf;
  if (w.count == 0) return F::flfNone;
  // Its flags pass for an `ls` mode; its columns do not.
  if (IsConnectEnterpriseLine(w)) return F::flfConnectEnterprise;
  if (IsUnixMode(w[0]) || IsNumericLsLine(w) || IsVShellLine(w)) return F::flfUnix;
  if (w.count > 1 && w[0].size() == 1 && (w[0][0] == 'd' || w[0][0] == '-') && w[1][0] == '[')
    return F::flfNetware;
  if (IsVmsName(w[0])) return F::flfVax;
  if (IsDosLine(w)) return F::flfDos;
  if (IsOs2Line(w)) return F::flfOs2;
  if (IsOs400Line(w)) return F::flfOs400;
  if (IsFrameLine(w) || IsMainframeHeading(w)) return F::flfNone;
  if (IsMvsLine(w)) return F::flfMvs;
  if (IsVmCmsLine(w)) return F::flfVmCms;
  if (IsOs9Line(w)) return F::flfOs9;
  if (IsNonStopLine(w)) return F::flfNonStop;
  if (IsVxWorksLine(w)) return F::flfVxWorks;
  if (IsWfftpLine(w)) return F::flfWfftp;
  return F::flfUnknown;
}

TIdFTPListFormat TIdFTPListItems::CheckListFormat(const std::string& line, bool details) {
  if (!details) return TIdFTPListFormat::flfNoDetails;
  Words w;
  SplitWords(line, w);
  return DetectFormat(line, w);
}

bool TIdFTPListItems::ParseAs(TIdFTPListFormat format, TIdFTPListItem& item,
                              const TIdCivilDate& today, const Words* words,
                              UnixColumns* cols) const {
  using F = TIdFTPListFormat;
  Words own;
  auto w = [&]() -> const Words& {
    if (words) return *words;
    SplitWords(item.RawLine, own);
    return own;
  };
  switch (format) {
    case F::flfNone:
      return true;
    case F::flfUnix:
      return ParseUnixLine(item, w(), today, UtcOffsetMinutes, cols);
    case F::flfVax:
      return ParseVmsLine(item, w());
    case F::flfDos:
      return ParseDosLine(item, w());
    case F::flfNetware:
      return ParseNetwareLine(item, w(), today);
    case F::flfOs2:
      return ParseOs2Line(item, w());
    case F::flfOs400:
      return ParseOs400Line(item, w());
    case F::flfMvs:
      return ParseMvsLine(item, w());
    case F::flfVmCms:
      return ParseVmCmsLine(item, w());
    case F::flfOs9:
      return ParseOs9Line(item, w());
    case F::flfNonStop:
      return ParseNonStopLine(item, w());
    case F::flfVxWorks:
      return ParseVxWorksLine(item, w());
    case F::flfWfftp:
      return ParseWfftpLine(item, w());
    case F::flfConnectEnterprise:
      return ParseConnectEnterpriseLine(item, w(), today);
    case F::flfEplf:
      return ParseEplfLine(item, UtcOffsetMinutes);
    case F::flfMlsd:
      return ParseMlsdLine(item, UtcOffsetMinutes) == MlsdResult::kEntry;
    case F::flfNoDetails:
      item.FileName = std::string(TrimControl(item.RawLine));
      return true;
    case F::flfCustom:
      if (!OnParseCustomListFormat) return false;
      try {
        OnParseCustomListFormat(item);
      } catch (const std::exception&) {
        return false;
      }
      return true;
    case F::flfUnknown:
      break;
  }
  return false;
}

void TIdFTPListItems::ParseLine(TIdFTPListItem& item) const {
  if (!ParseAs(ListFormat, item, Today ? *Today : LocalToday(), nullptr))
    throw EIdInvalidFTPListingFormat();
}

TIdFTPListFormat TIdFTPListItems::Add(std::string line, std::optional<TIdFTPListFormat> forced,
                                      const TIdCivilDate& today, UnixColumns* cols) {
  using F = TIdFTPListFormat;
  TIdFTPListItem& item = items_.emplace_back();
  item.RawLine = std::move(line);
  F format;
  bool ok;
  if (forced ? *forced == F::flfMlsd : LooksLikeMlsd(item.RawLine)) {
    // The folder's own entry and its parent are not entries of the folder.
    format = F::flfMlsd;
    MlsdResult r = ParseMlsdLine(item, UtcOffsetMinutes);
    if (r == MlsdResult::kEntry) return format;
    items_.pop_back();
    if (r == MlsdResult::kBad) ++unparsed_;
    return format;
  } else if (forced) {
    format = *forced;
    ok = ParseAs(format, item, today, nullptr);
  } else {
    Words w;  // split once for detection and reading
    SplitWords(item.RawLine, w);
    format = DetectFormat(item.RawLine, w);
    if (format == F::flfNone) {
      items_.pop_back();
      return format;
    }
    ok = ParseAs(format, item, today, &w, cols);
  }
  if (!ok) {
    items_.pop_back();
    ++unparsed_;
  }
  return format;
}

namespace {

// The group and size columns of the `ls` lines of one listing, so that a
// line whose group runs into its size can be split where the others are.
class ColumnLayout {
 public:
  void Note(const UnixColumns& c) {
    for (Span& s : spans_) {
      if (s.group_begin == c.group_begin && s.size_end == c.size_end) {
        s.group_end = std::max(s.group_end, c.group_end);
        s.size_begin = std::min(s.size_begin, c.size_begin);
        return;
      }
    }
    if (spans_.size() < 64)
      spans_.push_back({c.group_begin, c.group_end, c.size_begin, c.size_end});
  }
  // Where the size starts in a glued group and size: after the longest
  // group of the lines that line up with it, when that leaves digits that
  // still fit their column; otherwise the whole trailing number.
  size_t SizeBegin(const UnixColumns& c, std::string_view line) const {
    for (const Span& s : spans_) {
      if (s.group_begin != c.group_begin || s.size_end != c.size_end) continue;
      const size_t p = std::max(s.group_end, c.size_begin);
      if (p < c.size_end && p <= s.size_begin && p > c.group_begin) {
        for (size_t k = p; k < c.size_end; ++k)
          if (!IsDigit(line[k])) return c.size_begin;
        return p;
      }
    }
    return c.size_begin;
  }

 private:
  struct Span {
    size_t group_begin, group_end, size_begin, size_end;
  };
  std::vector<Span> spans_;
};

}  // namespace

void TIdFTPListItems::LoadList(std::span<const std::string> lines, bool details) {
  using F = TIdFTPListFormat;
  Clear();
  ListFormat = F::flfUnknown;
  const TIdCivilDate today = Today ? *Today : LocalToday();  // one date for the whole listing
  std::optional<F> forced;
  if (!details) forced = F::flfNoDetails;
  bool first = true;
  items_.reserve(lines.size());
  ColumnLayout layout;
  std::vector<std::pair<size_t, UnixColumns>> glued;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (first && OnCheckListFormat) {
      // The handler sees the first line's format and may impose another.
      F format = CheckListFormat(line, details);
      if (format == F::flfNone) continue;
      first = false;
      ListFormat = format;
      OnCheckListFormat(*this, ListFormat);
      if (ListFormat != format) forced = ListFormat;
    }
    if (!forced && i + 1 < lines.size() && line.find(';') != std::string::npos &&
        JoinVmsLines(line, lines[i + 1])) {
      ++i;
      if (first) {
        first = false;
        ListFormat = F::flfVax;
      }
      continue;
    }
    // An MLSD entry may come without facts (" name"): only the listing
    // around it tells it from other lines.
    const bool bare_facts = !forced && !first && ListFormat == F::flfMlsd && line[0] == ' ';
    UnixColumns cols;
    const size_t before = items_.size();
    const F format = Add(line, bare_facts ? std::optional<F>(F::flfMlsd) : forced, today, &cols);
    if (cols.valid && items_.size() > before) {
      if (cols.glued)
        glued.emplace_back(before, cols);
      else
        layout.Note(cols);
    }
    if (first && format != F::flfNone && format != F::flfUnknown) {
      first = false;
      ListFormat = format;
    }
  }
  for (const auto& [index, cols] : glued) {
    TIdFTPListItem& item = items_[index];
    const size_t p = layout.SizeBegin(cols, item.RawLine);
    if (p == cols.size_begin) continue;
    item.GroupName = item.RawLine.substr(cols.group_begin, p - cols.group_begin);
    item.Size = Digits(std::string_view(item.RawLine).substr(p, cols.size_end - p), 18);
  }
}

bool TIdFTPListItems::JoinVmsLines(const std::string& line, const std::string& next) {
  // A VMS name too long for its column: the fields follow on the next line.
  const size_t word_end = line.find_first_of(" \t", line.find_first_not_of(" \t"));
  if (word_end != std::string::npos && line.find_first_not_of(" \t", word_end) != std::string::npos)
    return false;  // more than one word: cheap way out for every other line
  Words w;
  SplitWords(line, w);
  if (w.count != 1 || !IsVmsName(w[0])) return false;
  Words n;
  SplitWords(next, n);
  if (n.count < 1 || IsVmsName(n[0])) return false;
  TIdFTPListItem item;
  item.RawLine = line + ' ' + std::string(SkipBlanks(next));
  SplitWords(item.RawLine, w);
  if (!ParseVmsLine(item, w)) return false;
  items_.push_back(std::move(item));
  return true;
}

void TIdFTPListItems::LoadMlsd(std::span<const std::string> lines) {
  Clear();
  ListFormat = TIdFTPListFormat::flfMlsd;
  items_.reserve(lines.size());
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    Add(line, TIdFTPListFormat::flfMlsd, {});
  }
}

}  // namespace hemlo::ftp
