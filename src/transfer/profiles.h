#pragma once
// The connection-profile panel of the transfer tool without its widgets:
// the stored list, the fields on show, the counter and the rules of the
// six profile buttons. The window copies the fields to and from its edits.
// Every text here is Shift-JIS bytes.
#include <string>
#include <vector>

#include "remote/profile.h"

namespace hemlo::transfer {

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
  std::string Exclusions = kDefaultExclusions;  // patterns, "" for none

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
  bool StoreField(Profile::Field field, const std::string& value);
  // The fields on show with `fifth` as the remote folder, after them the
  // fields of profile n this version does not know.
  std::string LineOfFields(const std::string& fifth, int n) const;
};

}  // namespace hemlo::transfer
