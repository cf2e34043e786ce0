#pragma once
// The pixel size of a PNG, GIF, JPEG or WebP image, read from its header.
// No Qt here.
#include <filesystem>
#include <optional>
#include <string_view>

namespace hemlo::site {

struct ImageSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const ImageSize&, const ImageSize&) = default;
};

// nullopt for another format or a header cut short.
std::optional<ImageSize> ReadImageSize(std::string_view bytes);
std::optional<ImageSize> ReadImageSize(const std::filesystem::path& file);

}  // namespace hemlo::site
