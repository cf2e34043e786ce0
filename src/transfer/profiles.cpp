#include "transfer/profiles.h"

#include "text/cp932.h"
#include "transfer/comma_text.h"
#include "transfer/remote_session.h"

namespace hemlo::transfer {

void UpgradeProfileLines(std::vector<std::string>& lines) {
  if (lines.empty()) return;
  const int have = static_cast<int>(SplitCommaText(lines.front()).size());
  if (have >= kProfileFields) return;
  const std::string pad(static_cast<size_t>(kProfileFields - have), ',');
  for (auto& line : lines) line += pad;
}

namespace {

// A mode's word in the profile file; the automatic mode has the word "auto",
// which is also what an unknown word reads as.
template <typename Mode>
struct ModeWord {
  Mode mode;
  const char* word;
};

constexpr ModeWord<DataConnectionMode> kDataModeWords[] = {
    {DataConnectionMode::kPassive, "passive"}, {DataConnectionMode::kActive, "active"}};
constexpr ModeWord<NameEncodingMode> kNameEncodingWords[] = {{NameEncodingMode::kShiftJis, "sjis"},
                                                             {NameEncodingMode::kUtf8, "utf8"}};

template <typename Mode, std::size_t N>
std::string WordOf(Mode mode, const ModeWord<Mode> (&words)[N]) {
  for (const auto& w : words)
    if (w.mode == mode) return w.word;
  return "auto";
}

template <typename Mode, std::size_t N>
Mode ModeOf(const std::string& field, const ModeWord<Mode> (&words)[N]) {
  for (const auto& w : words)
    if (field == w.word) return w.mode;
  return Mode::kAutomatic;
}

}  // namespace

std::string DataModeField(DataConnectionMode mode) { return WordOf(mode, kDataModeWords); }

DataConnectionMode DataModeOfField(const std::string& field) {
  return ModeOf(field, kDataModeWords);
}

std::string NameEncodingField(NameEncodingMode mode) { return WordOf(mode, kNameEncodingWords); }

NameEncodingMode NameEncodingOfField(const std::string& field) {
  return ModeOf(field, kNameEncodingWords);
}

int ConnectionsOfField(const std::string& field) {
  if (field.size() != 1 || field[0] < '0' + kMinConnections || field[0] > '0' + kMaxConnections)
    return kDefaultConnections;
  return field[0] - '0';
}

namespace {

// The fields after the fifth as a line without them reads them; a line
// ends after its last field that differs from these.
const char* const kAbsentTail[] = {"auto", "auto", "", "", "", "", ""};

// Fields 6 to 12 as the panel shows them.
std::vector<std::string> TailFields(const ProfilePanel& p) {
  return {DataModeField(p.DataMode),
          NameEncodingField(p.NameEncoding),
          p.SiteFolder,
          p.Connections == kDefaultConnections ? std::string() : std::to_string(p.Connections),
          p.PasswordInFile ? kPasswordInFileField : "",
          p.FolderUploadParallel ? kFolderUploadParallelField : "",
          p.PublishFolder};
}

}  // namespace

int ProfileHoldingPage(const std::vector<std::string>& lines, const std::string& page,
                       int preferred) {
  int best = 0;
  size_t best_length = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto f = SplitCommaText(lines[i]);
    if (f.size() <= kProfileFields + 2 || f[kProfileFields + 2].empty()) continue;
    auto folder = text::Cp932ToUtf8(f[kProfileFields + 2]);
    if (!folder) continue;
    while (folder->size() > 1 && folder->back() == '/') folder->pop_back();
    // Whole path components only: /www/site does not hold /www/site2/a.htm.
    const bool holds = page.size() > folder->size() && page.starts_with(*folder) &&
                       (page[folder->size()] == '/' || *folder == "/");
    const bool wins = best == 0 || folder->size() > best_length ||
                      (folder->size() == best_length && static_cast<int>(i) + 1 == preferred);
    if (holds && wins) {
      best = static_cast<int>(i) + 1;
      best_length = folder->size();
    }
  }
  return best;
}

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
  std::vector<std::string> f;
  if (!ProfileList.empty() && n >= 1 && n <= Count())
    f = SplitCommaText(ProfileList[static_cast<size_t>(n - 1)]);
  f.resize(kProfileFields + std::size(kAbsentTail));
  RegistrationName = f[0];
  HostName = f[1];
  UserId = f[2];
  Password = f[3];
  LastRemoteFolder = f[4];
  DataMode = DataModeOfField(f[5]);
  NameEncoding = NameEncodingOfField(f[6]);
  SiteFolder = f[7];
  Connections = ConnectionsOfField(f[8]);
  PasswordInFile = f[kPasswordInFileIndex] == kPasswordInFileField;
  FolderUploadParallel = f[kFolderUploadParallelIndex] == kFolderUploadParallelField;
  PublishFolder = f[kPublishFolderIndex];
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
  ProfileCounter = Count() + 1;
}

std::string ProfilePanel::LineOfFields(const std::string& fifth) const {
  std::vector<std::string> fields{RegistrationName, HostName, UserId, Password, fifth};
  // A line without a field means its default: lines with defaults only stay
  // as they always were, and a later field brings the earlier ones with it,
  // so readers of fewer fields find theirs in place.
  const std::vector<std::string> tail = TailFields(*this);
  size_t used = tail.size();
  while (used > 0 && tail[used - 1] == kAbsentTail[used - 1]) --used;
  fields.insert(fields.end(), tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(used));
  return JoinCommaText(fields);
}

bool ProfilePanel::SaveClick() {
  const int n = ProfileCounter == 0 ? 1 : ProfileCounter;
  // A password is asked for at connect where none is kept: a stored profile
  // that keeps none stays so, and an SFTP login may need none at all (the
  // agent's or the user's keys).
  const std::vector<std::string> stored =
      n <= Count() ? SplitCommaText(ProfileList[static_cast<size_t>(n - 1)])
                   : std::vector<std::string>();
  const bool keeps_none = n <= Count() && (stored.size() <= 3 || stored[3].empty());
  if (RegistrationName.empty() || HostName.empty() || UserId.empty() ||
      (Password.empty() && !keeps_none && !ParseSftpHost(HostName)))
    return false;
  // Saving always forgets the remote folder: the account may have changed.
  const std::string line = LineOfFields({});
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
  if (!StoreField(kProfileFields + 2, folder)) return false;  // the eighth field
  SiteFolder = folder;
  return true;
}

bool ProfilePanel::StorePublishFolder(const std::string& folder) {
  if (!StoreField(kPublishFolderIndex, folder)) return false;
  PublishFolder = folder;
  return true;
}

bool ProfilePanel::StoreField(size_t index, const std::string& value) {
  const int n = ProfileCounter;
  if (n < 1 || n > Count()) return false;
  std::string& line = ProfileList[static_cast<size_t>(n - 1)];
  std::vector<std::string> f = SplitCommaText(line);
  if (f.size() < kProfileFields) f.resize(kProfileFields);
  // Fields missing before it in their absent form.
  for (size_t i = f.size(); i < index; ++i) f.push_back(kAbsentTail[i - kProfileFields]);
  if (f.size() == index)
    f.push_back(value);
  else
    f[index] = value;
  line = JoinCommaText(f);
  return true;
}

void ProfilePanel::WriteBack() {
  const int n = ProfileCounter;
  if (n < 1 || n > Count()) return;
  ProfileList[static_cast<size_t>(n - 1)] = LineOfFields(LastRemoteFolder);
}

}  // namespace hemlo::transfer
