#include "site/image_size.h"

#include <fstream>
#include <string>

namespace hemlo::site {

namespace {

unsigned Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }
unsigned Be16(std::string_view s, std::size_t i) { return Byte(s, i) << 8 | Byte(s, i + 1); }
unsigned Le16(std::string_view s, std::size_t i) { return Byte(s, i) | Byte(s, i + 1) << 8; }
unsigned Le24(std::string_view s, std::size_t i) { return Le16(s, i) | Byte(s, i + 2) << 16; }
unsigned long Be32(std::string_view s, std::size_t i) {
  return static_cast<unsigned long>(Be16(s, i)) << 16 | Be16(s, i + 2);
}

std::optional<ImageSize> Jpeg(std::string_view s) {
  std::size_t i = 2;
  while (i + 4 <= s.size()) {
    if (Byte(s, i) != 0xFF) return std::nullopt;
    const unsigned marker = Byte(s, i + 1);
    if (marker == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      i += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // no frame header before the data
    const unsigned length = Be16(s, i + 2);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (i + 9 > s.size()) return std::nullopt;
      return ImageSize{static_cast<int>(Be16(s, i + 7)), static_cast<int>(Be16(s, i + 5))};
    }
    i += 2 + length;
  }
  return std::nullopt;
}

std::optional<ImageSize> WebP(std::string_view s) {
  if (s.size() < 30) return std::nullopt;
  const std::string_view chunk = s.substr(12, 4);
  if (chunk == "VP8 " && Byte(s, 23) == 0x9D && Byte(s, 24) == 0x01 && Byte(s, 25) == 0x2A)
    return ImageSize{static_cast<int>(Le16(s, 26) & 0x3FFF),
                     static_cast<int>(Le16(s, 28) & 0x3FFF)};
  if (chunk == "VP8L" && Byte(s, 20) == 0x2F) {
    const unsigned long bits = Le16(s, 21) | static_cast<unsigned long>(Le16(s, 23)) << 16;
    return ImageSize{static_cast<int>((bits & 0x3FFF) + 1),
                     static_cast<int>((bits >> 14 & 0x3FFF) + 1)};
  }
  if (chunk == "VP8X")
    return ImageSize{static_cast<int>(Le24(s, 24) + 1), static_cast<int>(Le24(s, 27) + 1)};
  return std::nullopt;
}

}  // namespace

std::optional<ImageSize> ReadImageSize(std::string_view s) {
  if (s.size() >= 24 && s.substr(0, 8) == "\x89PNG\r\n\x1a\n" && s.substr(12, 4) == "IHDR")
    return ImageSize{static_cast<int>(Be32(s, 16)), static_cast<int>(Be32(s, 20))};
  if (s.size() >= 10 && (s.substr(0, 6) == "GIF87a" || s.substr(0, 6) == "GIF89a"))
    return ImageSize{static_cast<int>(Le16(s, 6)), static_cast<int>(Le16(s, 8))};
  if (s.size() >= 4 && Byte(s, 0) == 0xFF && Byte(s, 1) == 0xD8) return Jpeg(s);
  if (s.size() >= 16 && s.substr(0, 4) == "RIFF" && s.substr(8, 4) == "WEBP") return WebP(s);
  return std::nullopt;
}

std::optional<ImageSize> ReadImageSize(const std::filesystem::path& file) {
  // A JPEG's frame header may follow large metadata; the rest is never needed.
  constexpr std::size_t kEnough = 1 << 20;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string head(kEnough, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return ReadImageSize(std::string_view(head));
}

}  // namespace hemlo::site
