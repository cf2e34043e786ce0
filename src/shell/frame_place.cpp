#include "shell/frame_place.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace hemlo {
namespace {

bool Contains(const FrameRect& area, int x, int y) {
  return x >= area.x && y >= area.y && x < area.x + area.width && y < area.y + area.height;
}

}  // namespace

FrameRect PlaceFrame(const std::optional<FrameRect>& saved, int slot,
                     const std::vector<FrameRect>& screens, FrameRect first) {
  const FrameRect primary = screens.empty() ? FrameRect{0, 0, 1024, 768} : screens.front();
  FrameRect r = first;
  r.x = primary.x + (primary.width - r.width) / 2;
  r.y = primary.y + (primary.height - r.height) / 2;
  if (saved) {
    FrameRect s = *saved;
    s.width = std::max(s.width, first.width);
    s.height = std::max(s.height, first.height);
    // The title bar's left end must be on a screen to grab the frame by it.
    const bool reachable = std::any_of(screens.begin(), screens.end(), [&](const FrameRect& a) {
      return Contains(a, s.x + 8, s.y + 8);
    });
    if (reachable || screens.empty())
      r = s;
    else {
      r.width = s.width;
      r.height = s.height;
      r.x = primary.x + (primary.width - r.width) / 2;
      r.y = primary.y + (primary.height - r.height) / 2;
    }
  }
  FrameRect area = primary;
  for (const FrameRect& a : screens)
    if (Contains(a, r.x + 8, r.y + 8)) area = a;
  r.x += kFrameStep * slot;
  r.y += kFrameStep * slot;
  // Within the screen where it can be; a frame larger than it keeps its top-left corner.
  r.x = std::max(area.x, std::min(r.x, area.x + area.width - r.width));
  r.y = std::max(area.y, std::min(r.y, area.y + area.height - r.height));
  return r;
}

FrameSlot::FrameSlot(const std::filesystem::path& folder) {
  // One name per slot in the abstract socket namespace: no file is left
  // behind, and the kernel frees the name when the process ends.
  for (int n = 0; n < 64; ++n) {
    const std::string name = "hemlo2-frame-" +
                             std::to_string(std::hash<std::string>{}(folder.string())) + "-" +
                             std::to_string(n);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);  // sun_path[0] == 0: abstract
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;  // nothing to coordinate with: every frame is the first
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address),
               static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length)) == 0) {
      number_ = n;
      fd_ = fd;
      return;
    }
    ::close(fd);
  }
}

FrameSlot::~FrameSlot() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace hemlo
