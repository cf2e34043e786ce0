#pragma once
// The connection-profile panel of the transfer tool without its widgets:
// the stored list, the fields on show, the counter and the rules of the
// six profile buttons. The window copies the fields to and from its edits.
// Every text here is Shift-JIS bytes.
#include <string>
#include <vector>

namespace hemlo::transfer {

// Fields of one stored profile, in file order. A sixth field, after them,
// holds the data-connection mode; a line without it means automatic, and
// readers that know five fields find theirs where they always were.
inline constexpr int kProfileFields = 5;

// How the client opens data connections: automatic tries passive first and
// falls back to active; the other two insist on one way.
enum class DataConnectionMode { kAutomatic, kPassive, kActive };
// The sixth field's text: "auto", "passive", "active" (automatic is not
// written). Anything else reads as automatic.
std::string DataModeField(DataConnectionMode mode);
DataConnectionMode DataModeOfField(const std::string& field);

// How names travel on the wire: automatic uses UTF-8 when the server
// announces it and Shift-JIS otherwise. A seventh field holds it, after the
// sixth (written as "auto" when only this one is set); a line without it
// means automatic.
enum class NameEncodingMode { kAutomatic, kShiftJis, kUtf8 };
// "auto", "sjis", "utf8". Anything else reads as automatic.
std::string NameEncodingField(NameEncodingMode mode);
NameEncodingMode NameEncodingOfField(const std::string& field);

// An eighth field holds the local site folder the site sync publishes
// (Shift-JIS bytes of the path; empty: not chosen yet), a ninth the number of
// connections the sync uploads over ("1" to "8"; empty or anything else
// means kDefaultConnections). Like the modes, they are written only when set,
// the fields before them then written in their place.
inline constexpr int kMinConnections = 1;
inline constexpr int kMaxConnections = 8;
inline constexpr int kDefaultConnections = 2;
int ConnectionsOfField(const std::string& field);

// A tenth field says the user chose to keep the password in this file
// (unencrypted) where no desktop keyring runs; otherwise the password lives
// in the keyring or, without one, only for the session.
inline constexpr int kPasswordInFileIndex = 9;
inline constexpr const char* kPasswordInFileField = "plain";

// An eleventh field asks ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ to send its files over the
// connections of the ninth field as well; a line without it keeps the
// folder upload on the window's one connection.
inline constexpr int kFolderUploadParallelIndex = 10;
inline constexpr const char* kFolderUploadParallelField = "parallel";

// A twelfth field holds the site's remote folder (the server's bytes, as
// the fifth): the site sync publishes there whatever folder is on show.
// Empty, as on a line without it: the first publish takes the folder on
// show and keeps it.
inline constexpr int kPublishFolderIndex = 11;

// The stored profile (from 1) whose site folder holds `page` (an absolute
// UTF-8 local path), the innermost when folders nest; 0 when none does.
// Of profiles with the same folder (a test server and the live one, say)
// `preferred` wins, else the first.
int ProfileHoldingPage(const std::vector<std::string>& lines, const std::string& page,
                       int preferred = 0);

// Older files hold four fields per line: when the first line has fewer than
// five, every line gets as many "," as the first line lacks.
void UpgradeProfileLines(std::vector<std::string>& lines);

class ProfilePanel {
 public:
  // The fields on show: Edit1..Edit4 and Label5.
  std::string RegistrationName;
  std::string HostName;
  std::string UserId;
  std::string Password;
  std::string LastRemoteFolder;
  DataConnectionMode DataMode = DataConnectionMode::kAutomatic;
  NameEncodingMode NameEncoding = NameEncodingMode::kAutomatic;
  std::string SiteFolder;  // Shift-JIS bytes of a local path
  int Connections = kDefaultConnections;
  bool PasswordInFile = false;
  bool FolderUploadParallel = false;
  std::string PublishFolder;  // the server's bytes; empty: not chosen yet

  std::vector<std::string> ProfileList;
  int ProfileCounter = 0;
  bool NextEnabled = true;  // the "次" button

  int Count() const { return static_cast<int>(ProfileList.size()); }

  // Loads stored lines (upgrading four-field files) and shows profile 1,
  // or leaves the counter at 0 when there is none.
  void Load(std::vector<std::string> lines);

  void ShowProfile(int n);
  void PrevClick();  // "前"
  void NextClick();  // "次"
  void AddClick();   // "追加" (modes automatic, no site folder, default connections)
  // "保存": false when a field is empty (the caller shows the message and
  // nothing changed). On true the caller writes ProfileList to the file.
  bool SaveClick();
  void CancelAddClick();  // "追加中止"
  void DeleteClick();     // "削除"
  // After a disconnection: the stored profile on show takes the fields on
  // show, the remote folder included. Nothing happens while no stored
  // profile is shown.
  void WriteBack();
  // Stores `folder` as the site folder of the stored profile on show (only
  // that field of its line changes) and shows it. False while no stored
  // profile is shown; the caller writes ProfileList to the file on true.
  bool StoreSiteFolder(const std::string& folder);
  // The same for the remote folder the site is published to.
  bool StorePublishFolder(const std::string& folder);

 private:
  bool StoreField(size_t index, const std::string& value);
  std::string LineOfFields(const std::string& fifth) const;
};

}  // namespace hemlo::transfer
