#include "transfer/profiles.h"

#include "text/cp932.h"
#include "remote/remote_session.h"

namespace hemlo::transfer {

namespace {

// Fields 6 to 13 as the panel shows them.
std::vector<std::string> TailFields(const ProfilePanel& p) {
  return {DataModeField(p.DataMode),
          NameEncodingField(p.NameEncoding),
          p.SiteFolder,
          p.Connections == kDefaultConnections ? std::string() : std::to_string(p.Connections),
          p.PasswordInFile ? Profile::kPasswordInFileWord : "",
          p.FolderUploadParallel ? Profile::kFolderUploadParallelWord : "",
          p.PublishFolder,
          ExclusionsField(p.Exclusions)};
}

}  // namespace

void ProfilePanel::Load(std::vector<std::string> lines) {
  ProfileList = std::move(lines);
  if (ProfileList.empty()) {
    ProfileCounter = 0;
    return;
  }
  UpgradeProfileLines(ProfileList);
  ShowProfile(1);
}

void ProfilePanel::ShowProfile(int n) {
  ProfileCounter = n;
  const Profile p =
      n >= 1 && n <= Count() ? Profile::Parse(ProfileList[static_cast<size_t>(n - 1)]) : Profile();
  RegistrationName = p.Name();
  HostName = p.Host();
  UserId = p.User();
  Password = p.Password();
  LastRemoteFolder = p.RemoteFolder();
  DataMode = p.DataMode();
  NameEncoding = p.NameEncoding();
  SiteFolder = p.SiteFolder();
  Connections = p.Connections();
  PasswordInFile = p.PasswordInFile();
  FolderUploadParallel = p.FolderUploadParallel();
  PublishFolder = p.PublishFolder();
  Exclusions = p.Exclusions();
}

void ProfilePanel::PrevClick() {
  NextEnabled = true;
  if (ProfileCounter > 1) ShowProfile(ProfileCounter - 1);
}

void ProfilePanel::NextClick() {
  if (ProfileCounter != Count()) ShowProfile(ProfileCounter + 1);
}

void ProfilePanel::AddClick() {
  NextEnabled = false;
  RegistrationName.clear();
  HostName.clear();
  UserId.clear();
  Password.clear();
  DataMode = DataConnectionMode::kAutomatic;
  NameEncoding = NameEncodingMode::kAutomatic;
  SiteFolder.clear();
  Connections = kDefaultConnections;
  PasswordInFile = false;
  FolderUploadParallel = false;
  PublishFolder.clear();
  Exclusions = kDefaultExclusions;
  ProfileCounter = Count() + 1;
}

std::string ProfilePanel::LineOfFields(const std::string& fifth, int n) const {
  Profile line;
  line.Set(Profile::kName, RegistrationName);
  line.Set(Profile::kHost, HostName);
  line.Set(Profile::kUser, UserId);
  line.Set(Profile::kPassword, Password);
  line.Set(Profile::kRemoteFolder, fifth);
  // A line without a field means its default: lines with defaults only stay
  // as they always were, and a later field brings the earlier ones with it,
  // so readers of fewer fields find theirs in place.
  const std::vector<std::string> tail = TailFields(*this);
  const std::vector<std::string> unknown =
      n >= 1 && n <= Count()
          ? Profile::Parse(ProfileList[static_cast<size_t>(n - 1)]).UnknownFields()
          : std::vector<std::string>();
  int used = static_cast<int>(tail.size());
  while (unknown.empty() && used > 0 &&
         tail[size_t(used - 1)] ==
             Profile::AbsentText(Profile::Field(Profile::kDataMode + used - 1)))
    --used;
  for (int i = 0; i < used; ++i) line.Set(Profile::Field(Profile::kDataMode + i), tail[size_t(i)]);
  for (size_t i = 0; i < unknown.size(); ++i)
    line.Set(Profile::Field(Profile::kKnownFields + int(i)), unknown[i]);
  return line.Line();
}

bool ProfilePanel::SaveClick() {
  const int n = ProfileCounter == 0 ? 1 : ProfileCounter;
  // A password is asked for at connect where none is kept: a stored profile
  // that keeps none stays so, and an SFTP login may need none at all (the
  // agent's or the user's keys).
  const bool keeps_none =
      n <= Count() && Profile::Parse(ProfileList[static_cast<size_t>(n - 1)]).Password().empty();
  if (RegistrationName.empty() || HostName.empty() || UserId.empty() ||
      (Password.empty() && !keeps_none && !ParseSftpHost(HostName)))
    return false;
  // Saving always forgets the remote folder: the account may have changed.
  const std::string line = LineOfFields({}, n);
  if (Count() < n) {
    ProfileList.push_back(line);
    ProfileCounter = Count();
  } else {
    ProfileList[static_cast<size_t>(n - 1)] = line;
    ProfileCounter = n;
  }
  NextEnabled = true;
  return true;
}

void ProfilePanel::CancelAddClick() {
  ShowProfile(1);
  NextEnabled = true;
}

void ProfilePanel::DeleteClick() {
  const int n = ProfileCounter;
  if (n == 0 || n > Count()) return;
  ProfileList.erase(ProfileList.begin() + (n - 1));
  ShowProfile(ProfileList.empty() ? 0 : 1);
  NextEnabled = true;
}

bool ProfilePanel::StoreSiteFolder(const std::string& folder) {
  if (!StoreField(Profile::kSiteFolder, folder)) return false;
  SiteFolder = folder;
  return true;
}

bool ProfilePanel::StorePublishFolder(const std::string& folder) {
  if (!StoreField(Profile::kPublishFolder, folder)) return false;
  PublishFolder = folder;
  return true;
}

bool ProfilePanel::StoreField(Profile::Field field, const std::string& value) {
  const int n = ProfileCounter;
  if (n < 1 || n > Count()) return false;
  std::string& line = ProfileList[static_cast<size_t>(n - 1)];
  Profile p = Profile::Parse(line);
  p.Set(field, value);
  line = p.Line();
  return true;
}

void ProfilePanel::WriteBack() {
  const int n = ProfileCounter;
  if (n < 1 || n > Count()) return;
  ProfileList[static_cast<size_t>(n - 1)] = LineOfFields(LastRemoteFolder, n);
}

}  // namespace hemlo::transfer
