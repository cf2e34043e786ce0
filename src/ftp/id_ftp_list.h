#pragma once
// Directory listing items and the parser that turns LIST lines into them.
// Names stay the server's bytes (Shift-JIS); nothing is converted.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::ftp {

enum class TIdFTPListFormat { flfNone, flfDos, flfUnix, flfVax, flfNoDetails, flfUnknown, flfCustom };
enum class TIdDirItemType { ditDirectory, ditFile, ditSymbolicLink };

struct TIdFTPListItem {
  std::string RawLine;
  std::string FileName;
  int64_t Size = 0;
  double ModifiedDate = 0;  // days since 1899-12-30, fraction = time of day
  TIdDirItemType ItemType = TIdDirItemType::ditFile;
  std::string UserPermissions = "???";
  std::string GroupPermissions = "???";
  std::string OtherPermissions = "???";
  std::string OwnerName = "????????";
  std::string GroupName = "????????";
  int LinkCount = 0;
  std::string LinkTarget;

  std::string PermissionText() const { return UserPermissions + GroupPermissions + OtherPermissions; }
  // True when FileName must never become part of a local path: it is empty,
  // "." or "..", or holds "/", "\\" (outside Shift-JIS double-byte
  // characters) or NUL. A hostile server could otherwise make a download
  // write outside the chosen folder.
  bool UnsafeName() const;
};

bool IsUnsafeListingName(std::string_view name);

struct TIdCivilDate {
  int Year = 0;
  int Month = 0;
  int Day = 0;
};

class TIdFTPListItems {
 public:
  TIdFTPListFormat ListFormat = TIdFTPListFormat::flfUnix;
  // The date that listings without a year are read against; the local
  // date when empty.
  std::optional<TIdCivilDate> Today;
  std::function<void(TIdFTPListItems& sender, TIdFTPListFormat& format)> OnCheckListFormat;
  std::function<void(TIdFTPListItem& item)> OnParseCustomListFormat;

  // Detects the format from the first line (details = false: NLST names).
  static TIdFTPListFormat CheckListFormat(const std::string& first_line, bool details = true);
  // Detects the format from `lines` and loads them, parsing each line.
  void LoadList(const std::vector<std::string>& lines, bool details = true);
  // Parses one item's RawLine by ListFormat. Throws on a line it cannot read.
  void ParseLine(TIdFTPListItem& item) const;

  size_t Count() const { return items_.size(); }
  const TIdFTPListItem& operator[](size_t i) const { return items_[i]; }
  const std::vector<TIdFTPListItem>& Items() const { return items_; }
  void Clear() { items_.clear(); }

 private:
  void ParseLineAt(TIdFTPListItem& item, const TIdCivilDate& today) const;
  std::vector<TIdFTPListItem> items_;
};

// Days since 1899-12-30 for a valid date and time, nullopt otherwise.
std::optional<double> EncodeDateTime(int64_t year, int64_t month, int64_t day, int64_t hour,
                                     int64_t minute, int64_t second, int64_t msec);
// Reads an MS-DOS listing date "mm/dd/yy hh:mm[AM|PM]"; nullopt when it
// cannot be read. Two-digit years 00-49 are 20xx, 50-99 are 19xx.
std::optional<double> ParseDosDateTime(std::string_view text);

}  // namespace hemlo::ftp
