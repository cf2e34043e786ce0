// Pieces shared by the client's source files: not part of its interface.
#pragma once

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "ftp/id_ftp.h"

namespace hemlo::ftp {

struct TIdFTP::DataChannel {
  Socket listener;                    // active mode, until the server connects
  Socket connection;                  // the data connection itself
  std::unique_ptr<TIdTLSStream> tls;  // set once its handshake is done
  // Breaks the connection off: the server sees a reset, never a clean end.
  void Reset() {
    tls.reset();
    connection.Reset();
    listener.Close();
  }
};

namespace detail {

inline const std::vector<int16_t> kTransferInCodes = {125, 150, 154};
// 110 (a restart marker) only comes in passive mode; accepting it in both
// costs nothing.
inline const std::vector<int16_t> kTransferOutCodes = {110, 125, 150};

inline std::string ErrnoText() { return std::strerror(errno); }

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace detail
}  // namespace hemlo::ftp
