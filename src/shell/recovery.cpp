#include "shell/recovery.h"

#include <algorithm>
#include <cstdlib>

#include "base/atomic_file.h"
#include "base/program_folder.h"

namespace hemlo::shell {
namespace {
namespace fs = std::filesystem;

constexpr const char* kPathSuffix = ".path";

// The number before the first "-", or 0 when the name is not one of ours.
long Number(const std::string& name) {
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string::npos) return 0;
  char* end = nullptr;
  const long n = std::strtol(name.c_str(), &end, 10);
  return end == name.c_str() + dash ? n : 0;
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
  std::string error;
  if (!MakePrivateFolder(folder, &error)) return std::vector<std::string>(pages.size(), error);
  long next = 1;
  for (const RecoveryCopy& c : ListRecoveryCopies(folder))
    next = std::max(next, Number(c.copy.filename().string()) + 1);
  for (const RecoveryPage& page : pages) {
    std::string name = fs::path(page.original).filename().string();
    if (name.empty()) name = "untitled.htm";
    const fs::path copy = folder / (std::to_string(next++) + "-" + name);
    fs::path path_file = copy;
    path_file += kPathSuffix;
    // The copy is written last: its presence marks a complete pair.
    WriteResult r = WriteFileAtomically(path_file, page.original, 0600, true);
    if (r) r = WriteFileAtomically(copy, page.bytes, 0600, true);
    if (!r) errors.push_back(copy.string() + ": " + r.error);
  }
  return errors;
}

std::vector<RecoveryCopy> ListRecoveryCopies(const fs::path& folder) {
  std::vector<std::pair<long, RecoveryCopy>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    const long n = Number(name);
    if (n <= 0 || IsPathFile(name) || !entry.is_regular_file(ec)) continue;
    RecoveryCopy copy{{}, entry.path()};
    fs::path path_file = entry.path();
    path_file += kPathSuffix;
    ReadWholeFile(path_file, copy.original);
    found.emplace_back(n, std::move(copy));
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<RecoveryCopy> copies;
  for (auto& f : found) copies.push_back(std::move(f.second));
  return copies;
}

fs::path RecoveryFolder() { return ProgramFolder() / "recovery"; }

void RemoveRecoveryCopy(const RecoveryCopy& copy) {
  std::error_code ec;
  fs::path path_file = copy.copy;
  path_file += kPathSuffix;
  fs::remove(copy.copy, ec);
  fs::remove(path_file, ec);
}

}  // namespace hemlo::shell
