#pragma once
// Directory listing items and the parser that turns LIST and MLSD lines into
// them. Every line is read on its own: its format is recognised from the
// line itself, and a line that cannot be read is left out and counted.
// Only two things look past a line: a VMS name alone on its line takes its
// fields from the next, and an `ls` group run into its size is split where
// the listing's other lines put the column.
// Names stay the server's bytes (Shift-JIS, EUC-JP or UTF-8); nothing is
// converted.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::ftp {

namespace listing {
struct Words;
struct UnixColumns;
}  // namespace listing

// flfVax is the VMS family. flfMlsd reads RFC 3659 fact lines.
enum class TIdFTPListFormat {
  flfNone,
  flfDos,
  flfUnix,
  flfVax,
  flfNoDetails,
  flfUnknown,
  flfCustom,
  flfMlsd,
  flfEplf,
  flfNetware,
  flfOs2,
  flfOs400,
  flfMvs,    // IBM MVS datasets and PDS members
  flfVmCms,  // z/VM CMS files
  flfOs9,
  flfNonStop,            // HP NonStop (Guardian)
  flfVxWorks,            // Nortel switches on VxWorks
  flfWfftp,              // Nortel (Bay Networks) BayRS routers
  flfConnectEnterprise,  // Sterling Connect:Enterprise mailboxes
};
enum class TIdDirItemType { ditDirectory, ditFile, ditSymbolicLink };

struct TIdFTPListItem {
  std::string RawLine;
  std::string FileName;
  int64_t Size = 0;         // -1 when the listing gives none or one that cannot be read
  double ModifiedDate = 0;  // days since 1899-12-30, fraction = time of day
  TIdDirItemType ItemType = TIdDirItemType::ditFile;
  std::string UserPermissions = "???";
  std::string GroupPermissions = "???";
  std::string OtherPermissions = "???";
  std::string OwnerName = "????????";
  std::string GroupName = "????????";
  int LinkCount = 0;
  std::string LinkTarget;
  // The name commands that act on the entry itself (rename, delete) send,
  // when it is not FileName: a VMS folder shown as WWW is WWW.DIR;1.
  std::string WireName;

  std::string PermissionText() const {
    return UserPermissions + GroupPermissions + OtherPermissions;
  }
};

struct TIdCivilDate {
  int Year = 0;
  int Month = 0;
  int Day = 0;
};

class TIdFTPListItems {
 public:
  // After LoadList: the format of the first line that was read (flfUnknown
  // when none was). ParseLine parses by it.
  TIdFTPListFormat ListFormat = TIdFTPListFormat::flfUnix;
  // The date that listings without a year are read against; the local
  // date when empty.
  std::optional<TIdCivilDate> Today;
  // The offset from UTC, in minutes, at which MLSD and EPLF times (which
  // are UTC) are shown; the local zone's offset at each moment when empty.
  std::optional<int> UtcOffsetMinutes;
  // Called once per LoadList with the first line's format; a handler that
  // changes it makes every line be read by the format it chose.
  std::function<void(TIdFTPListItems& sender, TIdFTPListFormat& format)> OnCheckListFormat;
  std::function<void(TIdFTPListItem& item)> OnParseCustomListFormat;

  // The format of one line (details = false: NLST names). Lines that carry
  // no entry (blank, "total 24", a VMS heading) are flfNone.
  static TIdFTPListFormat CheckListFormat(const std::string& line, bool details = true);
  // Loads LIST (details) or NLST lines, each read by its own format.
  void LoadList(std::span<const std::string> lines, bool details = true);
  void LoadList(const std::vector<std::string>& lines, bool details = true) {
    LoadList(std::span<const std::string>(lines), details);
  }
  // Loads MLSD lines; the entries for the folder itself and its parent are
  // left out.
  void LoadMlsd(std::span<const std::string> lines);
  void LoadMlsd(const std::vector<std::string>& lines) {
    LoadMlsd(std::span<const std::string>(lines));
  }
  // Parses one item's RawLine by ListFormat. Throws on a line it cannot read.
  void ParseLine(TIdFTPListItem& item) const;

  size_t Count() const { return items_.size(); }
  const TIdFTPListItem& operator[](size_t i) const { return items_[i]; }
  const std::vector<TIdFTPListItem>& Items() const { return items_; }
  // Lines of the last load that looked like entries but could not be read.
  size_t UnparsedLines() const { return unparsed_; }
  void Clear() {
    items_.clear();
    unparsed_ = 0;
  }

 private:
  // `words`: the words of item.RawLine when already split.
  // `cols`: where an `ls` line's group and size columns lie.
  bool ParseAs(TIdFTPListFormat format, TIdFTPListItem& item, const TIdCivilDate& today,
               const listing::Words* words, listing::UnixColumns* cols = nullptr) const;
  // Reads one line (by `forced`, else by its own format) into a new item;
  // returns the format it was read by.
  TIdFTPListFormat Add(std::string line, std::optional<TIdFTPListFormat> forced,
                       const TIdCivilDate& today, listing::UnixColumns* cols = nullptr);
  // Adds the VMS entry a lone name line and its field line make; false
  // when they make none.
  bool JoinVmsLines(const std::string& line, const std::string& next);
  std::vector<TIdFTPListItem> items_;
  size_t unparsed_ = 0;
};

// Days since 1899-12-30 for a valid date and time, nullopt otherwise.
std::optional<double> EncodeDateTime(int64_t year, int64_t month, int64_t day, int64_t hour,
                                     int64_t minute, int64_t second, int64_t msec);
// Reads an MS-DOS listing date "mm/dd/yy hh:mm[AM|PM]"; nullopt when it
// cannot be read. Two-digit years 00-49 are 20xx, 50-99 are 19xx.
std::optional<double> ParseDosDateTime(std::string_view text);

}  // namespace hemlo::ftp
