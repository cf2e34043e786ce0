#include "transfer/ferrox_files.h"

#include <system_error>

#include "base/atomic_file.h"
#include "text/cp932.h"
#include "remote/comma_text.h"

namespace hemlo::transfer {
namespace fs = std::filesystem;

const char* const kNotShiftJis = "Shift-JISで表せない文字を含むため保存できません";

std::vector<std::string> ReadProfileFile(const fs::path& folder, FileOutcome* outcome) {
  const fs::path path = folder / kProfileFileName;
  std::error_code ec;
  if (!fs::exists(path, ec)) return {};
  std::string bytes;
  if (const FileResult read = ReadWholeFile(path, bytes); !read) {
    if (outcome) *outcome = {false, path.string() + ": " + read.message};
    return {};
  }
  return SplitFileLines(bytes);
}

FileOutcome WriteProfileFile(const fs::path& folder, const std::vector<std::string>& lines) {
  const fs::path path = folder / kProfileFileName;
  const WriteResult r = WriteFileAtomically(path, JoinFileLines(lines), 0600, true);
  if (r) return {};
  return {false, path.string() + ": " + r.error};
}

std::optional<std::string> ReadLastDir(const fs::path& folder) {
  std::string bytes;
  std::error_code ec;
  const fs::path path = folder / kLastDirFileName;
  if (!fs::exists(path, ec) || !ReadWholeFile(path, bytes)) return std::nullopt;
  const auto lines = SplitFileLines(bytes);
  if (lines.empty() || lines.front().empty()) return std::nullopt;
  return text::Cp932ToUtf8(lines.front());
}

FileOutcome WriteLastDir(const fs::path& folder, const std::string& local_path) {
  const fs::path path = folder / kLastDirFileName;
  const auto sjis = text::Utf8ToCp932(local_path);
  if (!sjis) return {false, local_path + ": " + kNotShiftJis};
  const WriteResult r = WriteFileAtomically(path, *sjis + "\r\n");
  if (r) return {};
  return {false, path.string() + ": " + r.error};
}

}  // namespace hemlo::transfer
