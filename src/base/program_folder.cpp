#include "base/program_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hemlo {
namespace {
namespace fs = std::filesystem;

// Until a state folder is chosen (main chooses one; a test may not), state
// and scratch files go to a private folder of this process's own in the
// system's temporary folder, made when first asked for and removed when the
// process ends: never into the folder the program happened to be started from.
constexpr std::string_view kOwnPrefix = "hemlo2-";

// Such folders of ours whose process is gone (killed before it could remove
// its own) and that nobody touched for an hour (a process in another pid
// namespace sharing the folder looks gone too).
void RemoveOrphans(const fs::path& base) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(base, ec)) {
    const std::string name = e.path().filename().string();
    if (!name.starts_with(kOwnPrefix)) continue;
    const std::string digits = name.substr(kOwnPrefix.size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    struct stat st {};
    if (::lstat(e.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_mtime > ::time(nullptr) - 3600)
      continue;
    const long pid = std::strtol(digits.c_str(), nullptr, 10);
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(e.path(), ec);
  }
}

struct Folders {
  ~Folders() {
    std::error_code ec;
    if (!made.empty() && ::getpid() == owner) fs::remove_all(made, ec);  // not a forked child's
  }
  // The folder of our own, made now if no folder has been chosen yet.
  void Settle() {
    static std::mutex settling;  // the first to ask may be any thread
    std::lock_guard lock(settling);
    if (chosen || !made.empty()) return;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    RemoveOrphans(base);
    made = base / (std::string(kOwnPrefix) + std::to_string(::getpid()));
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) made.clear();
    owner = ::getpid();
    state = temporary = made.empty() ? base : made;
  }
  bool chosen = false;
  fs::path state, temporary;
  fs::path made;  // the folder of our own, when there is one
  pid_t owner = 0;
};

Folders& Current() {
  static Folders folders;
  return folders;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// XDG says relative values are invalid and must be ignored.
fs::path Absolute(const std::string& value) {
  fs::path p(value);
  return p.is_absolute() ? p : fs::path();
}

fs::path HomeBased(const std::string& xdg, const std::string& home, const char* fallback) {
  if (fs::path p = Absolute(xdg); !p.empty()) return p;
  if (fs::path h = Absolute(home); !h.empty()) return h / fallback;
  return fs::temp_directory_path();
}
}  // namespace

fs::path ProgramFolder() {
  Current().Settle();
  return Current().state;
}
fs::path TemporaryFolder() {
  Current().Settle();
  return Current().temporary;
}
fs::path TableTestFile() { return TemporaryFolder() / "TABLEFILE.$$$"; }

void SetProgramFolder(const fs::path& folder) {
  Current().chosen = true;
  Current().state = folder;
  Current().temporary = folder;
}
void SetTemporaryFolder(const fs::path& folder) {
  Current().Settle();
  Current().temporary = folder;
}

const std::vector<std::string_view>& StateFileNames() {
  static const std::vector<std::string_view> names = {"Rireki.ini", "favorite.ini", "Ferrox.ini",
                                                      "LastDir.ini", "FerroxCerts.ini"};
  return names;
}

FolderEnvironment FolderEnvironment::FromProcess() {
  return {Env("XDG_CONFIG_HOME"), Env("XDG_RUNTIME_DIR"), Env("XDG_CACHE_HOME"), Env("HOME")};
}

StateFolders ChooseStateFolders(const fs::path& executable_folder, const FolderEnvironment& env) {
  if (::access(executable_folder.c_str(), W_OK) == 0) {
    std::error_code ec;
    for (std::string_view name : StateFileNames())
      if (fs::exists(executable_folder / name, ec))
        return {executable_folder, executable_folder, true};
  }
  StateFolders folders;
  folders.state = HomeBased(env.xdg_config_home, env.home, ".config") / "Hemlo2";
  fs::path runtime = Absolute(env.xdg_runtime_dir);
  std::error_code ec;
  if (runtime.empty() || !fs::is_directory(runtime, ec))
    runtime = HomeBased(env.xdg_cache_home, env.home, ".cache");
  folders.temporary = runtime / "Hemlo2";
  return folders;
}

FileResult MakePrivateFolder(const fs::path& folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return {};
  if (!folder.parent_path().empty() && folder.parent_path() != folder)
    if (FileResult parent = MakePrivateFolder(folder.parent_path()); !parent) return parent;
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return FileFailed(folder.string() + ": " + std::strerror(errno));
  return {};
}

}  // namespace hemlo
