#include "base/preview_record.h"

#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string_view>
#include <system_error>

#include "base/atomic_file.h"
#include "base/program_folder.h"

namespace hemlo {

namespace fs = std::filesystem;

namespace {

std::string_view BaseName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

PreviewRecord::PreviewRecord(std::function<std::string()> state_file)
    : state_file_(std::move(state_file)) {}

PreviewRecord& PreviewRecord::Shared() {
  static PreviewRecord record([] { return (ProgramFolder() / kPreviewRecordName).string(); });
  return record;
}

bool PreviewRecord::Stat(const std::string& path, Identity& out) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  out.device = st.st_dev;
  out.inode = st.st_ino;
  out.size = static_cast<unsigned long long>(st.st_size);
  out.mtime_ns = static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec;
  return true;
}

// One line per file: device, inode, size, modification time in nanoseconds
// and the path (the rest of the line).
void PreviewRecord::Load() const {
  if (!state_file_) return;
  const std::string path = state_file_();
  if (path == loaded_from_) return;
  loaded_from_ = path;
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return;
  std::istringstream in(bytes);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Identity id;
    std::string name;
    if (!(fields >> id.device >> id.inode >> id.size >> id.mtime_ns)) continue;
    fields.get();  // the blank before the path
    std::getline(fields, name);
    if (!name.empty() && !files_.count(name)) files_[name].identity = id;
  }
}

void PreviewRecord::Save() const {
  if (!state_file_) return;
  std::ostringstream out;
  for (const auto& [name, r] : files_) {
    if (name.find('\n') != std::string::npos) continue;  // cannot be written as a line
    out << r.identity.device << ' ' << r.identity.inode << ' ' << r.identity.size << ' '
        << r.identity.mtime_ns << ' ' << name << '\n';
  }
  // A record that cannot be kept only costs the next run its leftovers.
  (void)WriteFileAtomically(state_file_(), out.str(), 0600);
}

bool PreviewRecord::IsOurs(const std::string& path) const {
  Load();
  auto it = files_.find(path);
  Identity now;
  if (it != files_.end()) return Stat(path, now) && now == it->second.identity;
  // The same file reached by another spelling of its folder (a link on the
  // way, "//"): the identity says it. Only names we wrote cost a look, so
  // walking a large site stays cheap.
  const std::string_view base = BaseName(path);
  bool named = false;
  for (const auto& entry : files_) named = named || BaseName(entry.first) == base;
  if (!named || !Stat(path, now)) return false;
  for (const auto& entry : files_)
    if (entry.second.identity == now) return true;
  return false;
}

void PreviewRecord::Written(const std::string& path, const void* owner) {
  Load();
  Identity id;
  if (!Stat(path, id)) return;
  Record& r = files_[path];
  r.identity = id;
  r.owners.insert(owner);
  Save();
}

int PreviewRecord::Release(const void* owner) {
  Load();
  int deleted = 0;
  bool changed = false;
  for (auto it = files_.begin(); it != files_.end();) {
    Record& r = it->second;
    if (r.owners.erase(owner) == 0 || !r.owners.empty()) {
      ++it;
      continue;
    }
    Identity now;
    if (Stat(it->first, now) && now == r.identity) {
      std::error_code ec;
      if (fs::remove(it->first, ec)) ++deleted;
    }
    it = files_.erase(it);
    changed = true;
  }
  if (changed) Save();
  return deleted;
}

}  // namespace hemlo
