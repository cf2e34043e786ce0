#include "base/host_lookup.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <system_error>
#include <thread>

#include "base/ascii_case.h"
#include "base/socket_errors.h"

namespace hemlo {

bool IsDottedIPv4(const std::string& host) {
  in_addr a{};
  return ::inet_pton(AF_INET, host.c_str(), &a) == 1;
}

HostAddress ResolveHostAddress(const std::string& host) {
  if (AsciiEqualNoCase(host, "localhost")) return {"127.0.0.1"};
  if (IsDottedIPv4(host)) return {host};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
  if (rc != 0 || result == nullptr) return {{}, rc != 0 ? WinsockErrorFromResolver(rc) : 11001};
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr, text,
              sizeof text);
  ::freeaddrinfo(result);
  return {text};
}

struct HostLookup::State {
  std::mutex mutex;
  int event_fd = -1;
  bool done = false;
  HostAddress address;
  ~State() {
    if (event_fd >= 0) ::close(event_fd);
  }
};

HostLookup::HostLookup(const std::string& host) : state_(std::make_shared<State>()) {
  state_->event_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (state_->event_fd < 0) throw std::system_error(errno, std::generic_category());
  std::thread([state = state_, host] {
    HostAddress address = ResolveHostAddress(host);
    std::lock_guard<std::mutex> lock(state->mutex);
    state->address = std::move(address);
    state->done = true;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(state->event_fd, &one, sizeof one);
  }).detach();
}

HostLookup::~HostLookup() = default;

int HostLookup::fd() const { return state_->event_fd; }

HostAddress HostLookup::Result() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->done) return {{}, 10036};
  return state_->address;
}

}  // namespace hemlo
