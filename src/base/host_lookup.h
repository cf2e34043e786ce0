#pragma once
// Finding a server's IPv4 address by its name, for connections of either
// protocol. A lookup runs on a thread of its own so that the caller can
// wait for it in slices and give up on a cancel without blocking.
#include <memory>
#include <string>

namespace hemlo {

bool IsDottedIPv4(const std::string& host);

// `ip` when found, else `error` in the Winsock numbering of the socket
// texts (11001: no such name).
struct HostAddress {
  std::string ip;
  int error = 0;
};

// "LOCALHOST" becomes 127.0.0.1, a dotted address stays, other names go to
// the resolver (first IPv4 address). Blocks.
HostAddress ResolveHostAddress(const std::string& host);

// The thread owns its share of the state: abandoning the lookup never
// blocks. Raises std::system_error when no thread can be started.
class HostLookup {
 public:
  explicit HostLookup(const std::string& host);
  ~HostLookup();
  HostLookup(const HostLookup&) = delete;
  HostLookup& operator=(const HostLookup&) = delete;
  // Becomes readable when the lookup has finished.
  int fd() const;
  // The outcome; error 10036 (still under way) before fd() is readable.
  HostAddress Result();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace hemlo
