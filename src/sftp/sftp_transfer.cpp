// File transfers: the library is handed large buffers and keeps many
// requests in flight for each; the window, not the round trip, sets the
// speed.
#include <libssh2.h>
#include <libssh2_sftp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/remote_errors.h"
#include "sftp/sftp_client.h"

namespace hemlo::sftp {

namespace {

[[noreturn]] void LocalFailure(const char* what, int error) {
  throw remote::LocalFileError(std::string(what) + ": " + std::strerror(error));
}

size_t BufferSize(const TransferTuning& t) {
  return std::max<size_t>(size_t(t.chunk) * size_t(std::max(t.in_flight, 1)), 32 * 1024);
}

}  // namespace

void SftpClient::Download(const std::string& remote, int fd, const Progress& progress) {
  LIBSSH2_SFTP_HANDLE* handle = OpenHandle(
      [&] {
        return libssh2_sftp_open_ex(ssh_.Sftp(), remote.data(), unsigned(remote.size()),
                                    LIBSSH2_FXF_READ, 0, LIBSSH2_SFTP_OPENFILE);
      },
      "ファイルを開けません", remote);
  try {
    int64_t total = 0;
    LIBSSH2_SFTP_ATTRIBUTES a{};
    if (Run([&] { return libssh2_sftp_fstat_ex(handle, &a, 0); }, "情報") == 0 &&
        (a.flags & LIBSSH2_SFTP_ATTR_SIZE)) {
      total = int64_t(a.filesize);
    }
    if (progress) progress(0, total);
    std::vector<char> buffer(BufferSize(tuning_));
    int64_t done = 0;
    for (;;) {
      ssize_t n = 0;
      ssh_.Drive(
          [&] {
            n = libssh2_sftp_read(handle, buffer.data(), buffer.size());
            return n != LIBSSH2_ERROR_EAGAIN;
          },
          Timeout(), "SFTP");
      if (n == 0) break;
      if (n < 0) Failed(int(n), "ファイルを読めません", remote);
      for (ssize_t written = 0; written < n;) {
        const ssize_t w =
            ::pwrite(fd, buffer.data() + written, size_t(n - written), off_t(done + written));
        if (w < 0) {
          if (errno == EINTR) continue;
          LocalFailure("ローカルのファイルに書けません", errno);
        }
        written += w;
      }
      done += n;
      if (progress) progress(done, total);
    }
  } catch (const remote::ConnectionLost&) {
    throw;
  } catch (...) {
    // Reads still in flight are the library's to drop.
    if (Connected()) CloseHandle(handle, false, "ファイルを閉じられません", remote);
    throw;
  }
  CloseHandle(handle, true, "ファイルを閉じられません", remote);
}

void SftpClient::Upload(int fd, int64_t size, const std::string& remote, const Progress& progress) {
  LIBSSH2_SFTP_HANDLE* handle = OpenHandle(
      [&] {
        return libssh2_sftp_open_ex(ssh_.Sftp(), remote.data(), unsigned(remote.size()),
                                    LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT | LIBSSH2_FXF_TRUNC, 0666,
                                    LIBSSH2_SFTP_OPENFILE);
      },
      "ファイルを作れません", remote);
  try {
    const int64_t total = size < 0 ? 0 : size;
    if (progress) progress(0, total);
    // [begin, end) of `buffer` is not yet acknowledged; the library has
    // sent part of it and must be handed the same bytes again.
    const size_t window = BufferSize(tuning_);
    std::vector<char> buffer(window * 2);
    size_t begin = 0, end = 0;
    bool at_end = false;
    int64_t acknowledged = 0;
    for (;;) {
      if (begin >= window) {  // keep room behind the window, copying rarely
        std::memmove(buffer.data(), buffer.data() + begin, end - begin);
        end -= begin;
        begin = 0;
      }
      while (!at_end && end - begin < window) {
        const ssize_t n = ::read(fd, buffer.data() + end, buffer.size() - end);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) LocalFailure("ローカルのファイルを読めません", errno);
        if (n == 0) at_end = true;
        end += size_t(n);
      }
      if (begin == end) break;
      ssize_t n = 0;
      ssh_.Drive(
          [&] {
            n = libssh2_sftp_write(handle, buffer.data() + begin, end - begin);
            return n != LIBSSH2_ERROR_EAGAIN;
          },
          Timeout(), "SFTP");
      if (n < 0) Failed(int(n), "ファイルに書けません", remote);
      begin += size_t(n);
      acknowledged += n;
      if (progress) progress(acknowledged, total);
    }
  } catch (const remote::ConnectionLost&) {
    throw;
  } catch (...) {
    if (Connected()) CloseHandle(handle, false, "ファイルを閉じられません", remote);
    throw;
  }
  // The close reports what the server could not store (a full disk).
  CloseHandle(handle, true, "ファイルを書き終えられません", remote);
}

}  // namespace hemlo::sftp
