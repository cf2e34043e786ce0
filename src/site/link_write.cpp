#include "site/link_write.h"

#include <string_view>

#include "base/atomic_batch.h"
#include "base/atomic_file.h"
#include "base/version_store.h"

namespace hemlo::site {

namespace fs = std::filesystem;

bool HoldsBytes(const fs::path& path, const std::string& expected) {
  std::string now;
  return ReadWholeFile(path, now) && now == expected;
}

std::string Listed(const char* heading, const std::vector<std::string>& lines) {
  std::string text = heading;
  for (const std::string& l : lines) text += "\n" + l;
  return text;
}

FileResult WriteAllOrNone(const std::vector<std::pair<fs::path, const std::string*>>& writes,
                          const std::vector<const std::string*>& previous, std::string_view writer,
                          std::string* version_notice) {
  std::vector<fs::path> targets;
  std::vector<std::string_view> bytes;
  for (const auto& [path, after] : writes) {
    targets.push_back(path);
    bytes.push_back(*after);
  }
  std::vector<StagedFile> staged;
  if (const BatchFailure f = StageFiles(targets, bytes, staged, &ProgramSpareFiles()))
    return FileFailed(targets[f.index].string() + " に書き込めません: " + f.result.error);
  // Each file was just checked to hold `previous`: a link into the store
  // keeps those bytes at no cost.
  const VersionResult kept = KeepBeforeWrite(targets, writer);
  if (!kept && version_notice && version_notice->empty()) *version_notice = kept.message;
  std::vector<bool> renamed;
  const BatchFailure f = CommitStagedFiles(staged, renamed);
  if (!f) return {};
  std::string message = targets[f.index].string() + " に書き込めません: " + f.result.error;
  for (std::size_t k = 0; k < writes.size(); ++k)
    if (renamed[k] && !WriteFileAtomically(targets[k], *previous[k]))
      message += "\n" + targets[k].string() + " を元に戻せませんでした。";
  return FileFailed(std::move(message));
}

}  // namespace hemlo::site
