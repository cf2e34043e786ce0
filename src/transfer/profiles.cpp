#include "transfer/profiles.h"

#include "transfer/comma_text.h"

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
  f.resize(kProfileFields + 2);
  RegistrationName = f[0];
  HostName = f[1];
  UserId = f[2];
  Password = f[3];
  LastRemoteFolder = f[4];
  DataMode = DataModeOfField(f[5]);
  NameEncoding = NameEncodingOfField(f[6]);
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
  ProfileCounter = Count() + 1;
}

std::string ProfilePanel::LineOfFields(const std::string& fifth) const {
  std::vector<std::string> fields{RegistrationName, HostName, UserId, Password, fifth};
  // Automatic is what a line without the field means: such lines stay as
  // they always were. The sixth field goes first whenever the seventh does,
  // so readers of six fields still find the data mode in its place.
  const bool names = NameEncoding != NameEncodingMode::kAutomatic;
  if (names || DataMode != DataConnectionMode::kAutomatic)
    fields.push_back(DataModeField(DataMode));
  if (names) fields.push_back(NameEncodingField(NameEncoding));
  return JoinCommaText(fields);
}

bool ProfilePanel::SaveClick() {
  if (RegistrationName.empty() || HostName.empty() || UserId.empty() || Password.empty())
    return false;
  const int n = ProfileCounter == 0 ? 1 : ProfileCounter;
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

void ProfilePanel::WriteBack() {
  const int n = ProfileCounter;
  if (n < 1 || n > Count()) return;
  ProfileList[static_cast<size_t>(n - 1)] = LineOfFields(LastRemoteFolder);
}

}  // namespace hemlo::transfer
