#include "remote/profile.h"

#include "text/cp932.h"

#include "remote/comma_text.h"

namespace hemlo::transfer {

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

const std::string kNoText;

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

std::string ExclusionsField(const std::string& patterns) {
  return patterns.find_first_not_of(" \t") == std::string::npos ? " " : patterns;
}

std::string ExclusionsOfField(const std::string& field) {
  const size_t first = field.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return field.substr(first, field.find_last_not_of(" \t") + 1 - first);
}

const char* Profile::AbsentText(Field field) {
  if (field == kExclusions) return kDefaultExclusions;
  return field == kDataMode || field == kNameEncoding ? "auto" : "";
}

Profile Profile::Parse(std::string_view line) {
  Profile p;
  p.line_ = std::string(line);
  p.fields_ = SplitCommaText(line);
  return p;
}

std::string Profile::Line() const {
  if (!changed_) return line_;
  return JoinCommaText(fields_);
}

const std::string& Profile::Text(Field field) const {
  const auto i = static_cast<size_t>(field);
  return i < fields_.size() ? fields_[i] : kNoText;
}

void Profile::Set(Field field, std::string text) {
  const auto index = static_cast<size_t>(field);
  if (fields_.size() < kOldestFields) fields_.resize(kOldestFields);
  while (fields_.size() < index) fields_.push_back(AbsentText(Field(fields_.size())));
  if (fields_.size() == index)
    fields_.push_back(std::move(text));
  else
    fields_[index] = std::move(text);
  changed_ = true;
}

void Profile::DropEmptyTail() {
  if (fields_.size() < kOldestFields) fields_.resize(kOldestFields);
  while (fields_.size() > kOldestFields && fields_.back().empty()) fields_.pop_back();
  changed_ = true;
}

std::vector<std::string> Profile::UnknownFields() const {
  if (fields_.size() <= kKnownFields) return {};
  return {fields_.begin() + kKnownFields, fields_.end()};
}

void UpgradeProfileLines(std::vector<std::string>& lines) {
  if (lines.empty()) return;
  const int have = static_cast<int>(Profile::Parse(lines.front()).FieldCount());
  if (have >= Profile::kOldestFields) return;
  const std::string pad(static_cast<size_t>(Profile::kOldestFields - have), ',');
  for (auto& line : lines) line += pad;
}

int ProfileHoldingPage(const std::vector<std::string>& lines, const std::string& page,
                       int preferred) {
  int best = 0;
  size_t best_length = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Profile profile = Profile::Parse(lines[i]);
    if (profile.SiteFolder().empty()) continue;
    auto folder = text::Cp932ToUtf8(profile.SiteFolder());
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

}  // namespace hemlo::transfer
