#pragma once
// One stored connection profile: a line of Ferrox.ini (Shift-JIS bytes,
// comma text) with its fields by name. A line read and not changed is
// written back as the very bytes it was read from; a changed one keeps the
// fields it does not know (a newer version's) after its own. Core code (no
// Qt).
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::transfer {

// How the client opens data connections: automatic tries passive first and
// falls back to active; the other two insist on one way.
enum class DataConnectionMode { kAutomatic, kPassive, kActive };
// The mode's word: "auto", "passive", "active". Anything else reads as
// automatic.
std::string DataModeField(DataConnectionMode mode);
DataConnectionMode DataModeOfField(const std::string& field);

// How names travel on the wire: automatic uses UTF-8 when the server
// announces it and Shift-JIS otherwise.
enum class NameEncodingMode { kAutomatic, kShiftJis, kUtf8 };
// "auto", "sjis", "utf8". Anything else reads as automatic.
std::string NameEncodingField(NameEncodingMode mode);
NameEncodingMode NameEncodingOfField(const std::string& field);

// What the site sync never sends nor deletes unless the profile says
// otherwise (publish/exclusions.h reads the patterns).
inline constexpr const char* kDefaultExclusions =
    ".git/ .svn/ *.bak *~ *.tmp Thumbs.db .DS_Store desktop.ini _notes/";
// The field's text for a list of patterns, and back: no patterns at all
// are stored as one blank, since an empty field at the end of a line is
// dropped and would read as the defaults.
std::string ExclusionsField(const std::string& patterns);
std::string ExclusionsOfField(const std::string& field);

inline constexpr int kMinConnections = 1;
inline constexpr int kMaxConnections = 8;
inline constexpr int kDefaultConnections = 2;
// "1" to "8"; empty or anything else means kDefaultConnections.
int ConnectionsOfField(const std::string& field);

class Profile {
 public:
  // The fields in file order. The first five were all older versions knew;
  // each later one came with a version and is written only when it (or one
  // after it) differs from what a line without it means, so readers of
  // fewer fields find theirs where they always were.
  enum Field : int {
    kName,
    kHost,
    kUser,
    kPassword,  // empty: in the keyring, or asked for at connect
    kRemoteFolder,
    kDataMode,        // DataModeField; absent: "auto"
    kNameEncoding,    // NameEncodingField; absent: "auto"
    kSiteFolder,      // local path of the site the sync publishes; empty: not chosen
    kConnections,     // connections the sync uploads over; empty: the default
    kPasswordInFile,  // "plain": the user keeps the password in this file
    kFolderUploadParallel,  // "parallel": ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ uses those connections too
    kPublishFolder,  // the server's folder the sync publishes to; empty: not chosen
    kExclusions,     // patterns the sync leaves alone; absent: kDefaultExclusions
    kKnownFields
  };
  // What a line without the field reads it as.
  static const char* AbsentText(Field field);
  static constexpr int kOldestFields = kDataMode;  // five
  static constexpr const char* kPasswordInFileWord = "plain";
  static constexpr const char* kFolderUploadParallelWord = "parallel";

  Profile() = default;
  static Profile Parse(std::string_view line);
  // The line to store: the bytes parsed while nothing changed, else the
  // fields joined (never fewer than five).
  std::string Line() const;

  // A field's text as stored; "" where the line has no such field.
  const std::string& Text(Field field) const;
  // Sets a field; fields missing before it are filled with their absent
  // text, so the line means what it meant.
  void Set(Field field, std::string text);
  // Drops empty fields after the fifth from the end of the line.
  void DropEmptyTail();
  // The fields after the known ones, as read.
  std::vector<std::string> UnknownFields() const;
  size_t FieldCount() const { return fields_.size(); }

  const std::string& Name() const { return Text(kName); }
  const std::string& Host() const { return Text(kHost); }
  const std::string& User() const { return Text(kUser); }
  const std::string& Password() const { return Text(kPassword); }
  const std::string& RemoteFolder() const { return Text(kRemoteFolder); }
  DataConnectionMode DataMode() const { return DataModeOfField(Text(kDataMode)); }
  NameEncodingMode NameEncoding() const { return NameEncodingOfField(Text(kNameEncoding)); }
  const std::string& SiteFolder() const { return Text(kSiteFolder); }
  int Connections() const { return ConnectionsOfField(Text(kConnections)); }
  bool PasswordInFile() const { return Text(kPasswordInFile) == kPasswordInFileWord; }
  bool FolderUploadParallel() const {
    return Text(kFolderUploadParallel) == kFolderUploadParallelWord;
  }
  const std::string& PublishFolder() const { return Text(kPublishFolder); }
  // The patterns (Shift-JIS bytes); the defaults where the line has none.
  std::string Exclusions() const {
    return FieldCount() > kExclusions ? ExclusionsOfField(Text(kExclusions)) : kDefaultExclusions;
  }

 private:
  std::string line_;
  bool changed_ = false;
  std::vector<std::string> fields_;
};

// Older files hold four fields per line: when the first line has fewer than
// five, every line gets as many "," as the first line lacks.
void UpgradeProfileLines(std::vector<std::string>& lines);

// The stored profile (from 1) whose site folder holds `page` (an absolute
// UTF-8 local path), the innermost when folders nest; 0 when none does.
// Of profiles with the same folder (a test server and the live one, say)
// `preferred` wins, else the first.
int ProfileHoldingPage(const std::vector<std::string>& lines, const std::string& page,
                       int preferred = 0);

}  // namespace hemlo::transfer
