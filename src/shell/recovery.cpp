#include "shell/recovery.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <unistd.h>

#include "base/atomic_file.h"
#include "base/program_folder.h"

namespace hemlo::shell {
namespace {
namespace fs = std::filesystem;

constexpr const char* kPathSuffix = ".path";

// "<pid>.<n>" (or "<n>" of the earlier naming) before the first "-", as a
// sort key; nullopt when the name is not one of ours.
std::optional<std::pair<long, long>> Key(const std::string& name) {
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string::npos) return std::nullopt;
  const std::string head = name.substr(0, dash);
  const std::size_t dot = head.find('.');
  auto number = [](const std::string& digits) -> long {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
        digits.size() > 12)
      return 0;
    return std::stol(digits);
  };
  if (dot == std::string::npos) {
    const long n = number(head);
    return n > 0 ? std::optional(std::pair(0L, n)) : std::nullopt;
  }
  const long pid = number(head.substr(0, dot));
  const long n = number(head.substr(dot + 1));
  return pid > 0 && n > 0 ? std::optional(std::pair(pid, n)) : std::nullopt;
}

bool IsPathFile(const std::string& name) {
  const std::string suffix = kPathSuffix;
  return name.size() > suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}
}  // namespace

std::vector<std::string> WriteRecoveryCopies(const fs::path& folder,
                                             const std::vector<RecoveryPage>& pages) {
  std::vector<std::string> errors;
  if (const FileResult made = MakePrivateFolder(folder); !made)
    return std::vector<std::string>(pages.size(), made.message);
  const std::string prefix = std::to_string(::getpid()) + ".";
  long n = 1;
  for (const RecoveryPage& page : pages) {
    std::string name = fs::path(page.original).filename().string();
    if (name.empty()) name = "untitled.htm";
    for (;; ++n) {
      const fs::path copy = folder / (prefix + std::to_string(n) + "-" + name);
      fs::path path_file = copy;
      path_file += kPathSuffix;
      // The path file claims the name; the copy, written whole, completes the pair.
      WriteResult r = CreateFileExclusively(path_file, page.original, 0600);
      if (!r && r.code == EEXIST) continue;
      if (r) {
        r = CreateFileExclusively(copy, page.bytes, 0600);
        if (!r) {
          std::error_code ec;
          fs::remove(path_file, ec);
          if (r.code == EEXIST) continue;  // a stray copy of a process long gone
        }
      }
      if (!r) errors.push_back(copy.string() + ": " + r.error);
      ++n;
      break;
    }
  }
  return errors;
}

KeptCopies KeepRecoveryCopies(const std::vector<fs::path>& folders,
                              const std::vector<RecoveryPage>& pages) {
  KeptCopies kept;
  for (const RecoveryPage& page : pages) {
    bool done = false;
    for (const fs::path& folder : folders) {
      const auto errors = WriteRecoveryCopies(folder, {page});
      kept.errors.insert(kept.errors.end(), errors.begin(), errors.end());
      if ((done = errors.empty())) break;
    }
    kept.lost += done ? 0 : 1;
  }
  return kept;
}

std::vector<RecoveryCopy> ListRecoveryCopies(const fs::path& folder) {
  std::vector<std::pair<std::pair<long, long>, RecoveryCopy>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    const auto key = Key(name);
    if (!key || IsPathFile(name) || !entry.is_regular_file(ec)) continue;
    RecoveryCopy copy{{}, entry.path()};
    fs::path path_file = entry.path();
    path_file += kPathSuffix;
    ReadWholeFile(path_file, copy.original);
    found.emplace_back(*key, std::move(copy));
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<RecoveryCopy> copies;
  for (auto& f : found) copies.push_back(std::move(f.second));
  return copies;
}

std::string RecoveryQuestion(const std::vector<RecoveryCopy>& copies, const fs::path& usual) {
  constexpr std::size_t kNamed = 10;
  std::string text = "前回の終了時に保存されていなかったページが " + std::to_string(copies.size()) +
                     " 件あります。開きますか？\r\n\r\n";
  for (std::size_t i = 0; i < copies.size() && i < kNamed; ++i)
    text +=
        "　" + (copies[i].original.empty() ? std::string("（無題）") : copies[i].original) + "\r\n";
  if (copies.size() > kNamed)
    text += "　ほか " + std::to_string(copies.size() - kNamed) + " 件\r\n";
  std::vector<fs::path> elsewhere;
  for (const RecoveryCopy& c : copies) {
    const fs::path folder = c.copy.parent_path();
    if (!usual.empty() && folder != usual &&
        std::find(elsewhere.begin(), elsewhere.end(), folder) == elsewhere.end())
      elsewhere.push_back(folder);
  }
  for (const fs::path& folder : elsewhere)
    text += "\r\n" + usual.string() + " に書き込めなかったため、" + folder.string() +
            " に残してあります。\r\n";
  return text + "\r\nはい: 開く　いいえ: 破棄する　キャンセル: 次回の起動まで残す";
}

fs::path RecoveryFolder() { return ProgramFolder() / "recovery"; }

std::vector<fs::path> RecoveryFolders() {
  std::vector<fs::path> folders = {RecoveryFolder()};
  const fs::path parent = ProgramFolder().parent_path();
  if (!parent.empty() && parent != ProgramFolder()) folders.push_back(parent / "Hemlo2-recovery");
  const fs::path scratch = TemporaryFolder() / "recovery";
  if (std::find(folders.begin(), folders.end(), scratch) == folders.end())
    folders.push_back(scratch);
  return folders;
}

void RemoveRecoveryCopy(const RecoveryCopy& copy) {
  std::error_code ec;
  fs::path path_file = copy.copy;
  path_file += kPathSuffix;
  fs::remove(copy.copy, ec);
  fs::remove(path_file, ec);
}

}  // namespace hemlo::shell
