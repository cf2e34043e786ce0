#include "base/version_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <system_error>

#include "base/atomic_file.h"
#include "base/version_object.h"

// The files of one page's store folder: its index, and writes and flushes of them.
namespace hemlo::version_files {

namespace fs = std::filesystem;

using version_object::IsHash;

namespace {

constexpr const char* kIndexHeading = "HemloVersions 1";

std::string IndexRow(const StoredVersion& v) {
  return std::to_string(v.time) + "\t" + std::to_string(v.size) + "\t" + v.hash + "\t" + v.writer +
         "\n";
}

WriteResult Errno(int code) { return {false, std::strerror(code), code}; }

WriteResult WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Errno(n < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(n);
  }
  return {};
}

}  // namespace

VersionResult Failed(const std::string& what) {
  return {false, "以前の版を残せませんでした（" + what + "）"};
}

WriteResult WriteQuickly(const fs::path& target, std::string_view bytes) {
  const std::string temporary = target.string() + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return Errno(errno);
  if (WriteResult written = WriteAll(fd, bytes); !written) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return written;
  }
  if (::close(fd) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
    const WriteResult failed = Errno(errno);
    ::unlink(temporary.c_str());
    return failed;
  }
  return {};
}

void Flush(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void FlushFolder(const fs::path& dir) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file(ec)) Flush(e.path());
  Flush(dir);
}

std::vector<StoredVersion> ReadIndex(const fs::path& dir, IndexShape* shape) {
  std::vector<StoredVersion> out;
  std::string bytes;
  if (!ReadWholeFile(dir / kIndexName, bytes)) return out;
  std::istringstream in(bytes);
  std::string line;
  if (!std::getline(in, line) || line != kIndexHeading) return out;
  if (shape) *shape = {true, bytes.ends_with('\n')};
  std::getline(in, line);  // the page's path, for a reader of the folder
  while (std::getline(in, line)) {
    std::istringstream row(line);
    StoredVersion v;
    if (!(row >> v.time >> v.size >> v.hash) || !IsHash(v.hash)) continue;  // a torn row
    std::getline(row, v.writer);
    if (!v.writer.empty() && v.writer.front() == '\t') v.writer.erase(0, 1);
    out.push_back(std::move(v));
  }
  return out;  // oldest first
}

WriteResult WriteIndex(const fs::path& dir, const fs::path& page,
                       const std::vector<StoredVersion>& entries) {
  std::string out = std::string(kIndexHeading) + "\n";
  std::string name = page.string();
  std::replace(name.begin(), name.end(), '\n', ' ');
  out += name + "\n";
  for (const StoredVersion& v : entries) out += IndexRow(v);
  return WriteQuickly(dir / kIndexName, out);
}

WriteResult AppendIndexRow(const fs::path& dir, const IndexShape& shape, const StoredVersion& v) {
  const std::string row = (shape.ends_in_line ? "" : "\n") + IndexRow(v);
  const int fd = ::open((dir / kIndexName).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return Errno(errno);
  if (WriteResult written = WriteAll(fd, row); !written) {
    ::close(fd);
    return written;
  }
  if (::close(fd) != 0) return Errno(errno);
  return {};
}

std::uint64_t FolderBytes(const fs::path& dir, const std::set<fs::path>& folded) {
  std::uint64_t total = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    if (!folded.empty() && folded.count(e.path())) continue;
    const auto n = e.file_size(ec);
    if (!ec) total += n;
  }
  return total;
}

std::string PageLine(const fs::path& dir) {
  std::string bytes, line;
  ReadWholeFile(dir / kIndexName, bytes);
  std::istringstream in(bytes);
  std::getline(in, line);
  std::getline(in, line);
  return line;
}

}  // namespace hemlo::version_files
