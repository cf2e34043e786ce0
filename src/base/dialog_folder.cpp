#include "base/dialog_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace hemlo {
namespace {

namespace fs = std::filesystem;

std::optional<std::string>& LastFolder() {
  static std::optional<std::string> folder;
  return folder;
}

std::string FolderOf(const std::string& file) {
  const fs::path p = fs::path(file).lexically_normal();
  return p.has_parent_path() ? p.parent_path().string() : std::string();
}

std::string Home() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

// Device of `path` or of its nearest existing parent; nullopt when none.
std::optional<dev_t> DeviceOf(const std::string& path) {
  fs::path p = fs::path(path).lexically_normal();
  for (;;) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) return st.st_dev;
    if (!p.has_parent_path() || p.parent_path() == p) return std::nullopt;
    p = p.parent_path();
  }
}

}  // namespace

std::optional<std::string> DialogFolder::Last() { return LastFolder(); }

void DialogFolder::Chosen(const std::string& file) {
  const std::string folder = FolderOf(file);
  if (!folder.empty()) LastFolder() = folder;
}

void DialogFolder::Set(std::optional<std::string> folder) { LastFolder() = std::move(folder); }

std::string DialogFolder::LinkBase() {
  if (LastFolder()) return *LastFolder();
  std::error_code ec;
  fs::path cwd = fs::current_path(ec);
  return ec ? std::string() : cwd.string();
}

std::string DialogFolder::StartFor(const std::string& active_document) {
  if (!active_document.empty()) {
    const std::string folder = FolderOf(active_document);
    std::error_code ec;
    if (!folder.empty() && fs::is_directory(folder, ec)) return folder;
  }
  if (LastFolder()) return *LastFolder();
  return Home();
}

bool OnSameMount(const std::string& a, const std::string& b) {
  const auto da = DeviceOf(a);
  const auto db = DeviceOf(b);
  return !da || !db || *da == *db;
}

}  // namespace hemlo
