#pragma once
// A copy of a picture for a web page: its EXIF orientation applied, scaled so
// the longest side fits, written as JPEG or WebP with nothing but the pixels
// (no EXIF, GPS, camera or colour-profile block). The original is only read.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace hemlo::photo {

enum class WebFormat { kJpeg, kWebp };
// What becomes of transparent pixels in a JPEG, which cannot hold them.
enum class AlphaChoice { kRefuse, kFlattenOnWhite };

inline constexpr int kDefaultLongestSide = 1600;
inline constexpr int kDefaultQuality = 80;
// Larger pictures than these are offered a web copy.
inline constexpr std::uintmax_t kOfferAboveBytes = 500 * 1024;

// Size and shape of a picture as it is shown (orientation applied).
struct PictureFacts {
  std::uintmax_t bytes = 0;
  int width = 0;
  int height = 0;
  bool has_alpha = false;
};

// Nullopt when the file is no picture Qt can read.
std::optional<PictureFacts> ReadFacts(const std::filesystem::path& file);

// Whether inserting the picture should offer a web copy.
bool WorthAWebCopy(const PictureFacts& facts, int longest_side = kDefaultLongestSide);

struct WebCopyRequest {
  std::filesystem::path source;
  std::filesystem::path target;
  WebFormat format = WebFormat::kWebp;
  int longest_side = kDefaultLongestSide;
  int quality = kDefaultQuality;
  AlphaChoice alpha = AlphaChoice::kRefuse;
};

struct WebCopyResult {
  bool ok = false;
  std::string error;   // Japanese, for the user, when !ok
  int width = 0;       // of the copy
  int height = 0;
};

// Writes the copy atomically. Refuses to write over the source, and a picture
// with transparent pixels to JPEG unless the request flattens it.
WebCopyResult MakeWebCopy(const WebCopyRequest& request);

// "<folder>/<stem>.<ext>", or "<stem>-2.<ext>", "-3"... when taken.
std::filesystem::path FreeName(const std::filesystem::path& folder, const std::string& stem,
                               WebFormat format);

}  // namespace hemlo::photo

namespace hemlo::photo {

// `<img src="…" width="…" height="…" alt="…">`, UTF-8; the alt text escaped.
std::string ImgTag(const std::string& src, int width, int height, const std::string& alt);

}  // namespace hemlo::photo
