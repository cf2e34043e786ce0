#pragma once
// Where the frame opens: where the user left it, a second running frame
// standing aside from the first. Kept free of the toolkit.
#include <filesystem>
#include <optional>
#include <vector>

namespace hemlo {

struct FrameRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const FrameRect&) const = default;
};

// How far each further running frame stands from the one before.
inline constexpr int kFrameStep = 30;

// The frame's rectangle: the saved one (at least `first` in size), else
// `first` centred on the first screen; moved kFrameStep down and right per
// frame already running (`slot`), kept inside the screen it lands on. A
// saved place on no screen any more (a monitor unplugged) is centred again.
FrameRect PlaceFrame(const std::optional<FrameRect>& saved, int slot,
                     const std::vector<FrameRect>& screens, FrameRect first);

// The number of this frame among the running ones that keep their state in
// `folder` (0 for the first), held while the object lives; a claim ends with
// its process, however that ends.
class FrameSlot {
 public:
  explicit FrameSlot(const std::filesystem::path& folder);
  ~FrameSlot();
  FrameSlot(const FrameSlot&) = delete;
  FrameSlot& operator=(const FrameSlot&) = delete;
  int number() const { return number_; }

 private:
  int number_ = 0;
  int fd_ = -1;
};

}  // namespace hemlo
