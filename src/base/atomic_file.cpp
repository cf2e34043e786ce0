#include "base/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hemlo {
namespace {

WriteResult Fail(int err) { return {false, std::strerror(err)}; }

bool WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

WriteResult WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                                mode_t mode, bool force_mode) {
  struct stat st {};
  mode_t final_mode = mode;
  if (!force_mode && ::stat(target.c_str(), &st) == 0) final_mode = st.st_mode & 07777;

  std::string tmpl =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  if (target.parent_path().empty()) tmpl = "." + target.filename().string() + ".XXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return Fail(errno);
  auto abandon = [&](int err) {
    ::close(fd);
    ::unlink(tmpl.c_str());
    return Fail(err);
  };
  if (::fchmod(fd, final_mode) != 0) return abandon(errno);
  if (!WriteAll(fd, bytes)) return abandon(errno);
  if (::fsync(fd) != 0) return abandon(errno);
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(tmpl.c_str());
    return Fail(err);
  }
  if (::rename(tmpl.c_str(), target.c_str()) != 0) {
    int err = errno;
    ::unlink(tmpl.c_str());
    return Fail(err);
  }
  return {};
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  bytes.clear();
  if (::fstat(fd, &st) == 0 && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace hemlo
