#pragma once
// The site check: every page under the site folder looked over for what
// breaks once it is published — links and images to local files that do not
// exist, fragments no page defines, images without a size or an alt text,
// a charset declaration the bytes disagree with, bytes in neither encoding,
// duplicate ids, markup errors (libtidy), http:// parts that an https site
// cannot load, pages without a viewport line, images too big for the web.
// Nothing goes to the network. No Qt here.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "site/image_size.h"

namespace hemlo::site {

enum class Problem {
  kMissingTarget,     // a local link or image whose file does not exist
  kMissingFragment,   // "page#id" where the page has no such id
  kImageWithoutSize,  // <img> without width or height
  kMissingAlt,        // <img> without alt
  kDuplicateId,       // the same id twice in a page (the second is reported)
  kCharsetMismatch,   // the declared charset and the bytes disagree
  kNeitherEncoding,   // neither Shift-JIS nor UTF-8
  kMarkupError,       // from libtidy
  kMarkupWarning,     // from libtidy
  kMixedContent,      // an http:// image, script, style sheet or frame
  kNoViewport,        // a page without <meta name="viewport">
  kLargeImage,        // an image file over 500 KB or wider than 2,000 pixels
};

inline constexpr std::uintmax_t kLargeImageBytes = 500 * 1024;
inline constexpr int kLargeImageWidth = 2000;

struct Finding {
  std::filesystem::path page;
  Problem problem = Problem::kMissingTarget;
  std::size_t offset = 0;               // bytes of the page
  std::size_t line = 1;                 // from 1
  std::size_t column = 0;               // characters from the line start
  std::string detail;                   // the link, the id, the charset or tidy's key (UTF-8)
  std::string message;                  // Japanese, for the list
  std::optional<ImageSize> image_size;  // kImageWithoutSize: the image file's size when readable
};

struct CheckResult {
  std::vector<Finding> findings;  // by page, then by place
  std::size_t pages = 0;
  std::vector<std::filesystem::path> unreadable;
};

// `site_root` is the folder "/..." links resolve against. Every page and
// style sheet under it, or only `files` (pages and style sheets under it,
// such as those a publish will send) when that is not empty.
CheckResult CheckSite(const std::filesystem::path& site_root,
                      const std::vector<std::filesystem::path>& files = {});

// Of `files`, those the check reads: pages and style sheets.
std::vector<std::filesystem::path> CheckedFiles(const std::vector<std::filesystem::path>& files);

// Writes the missing width and height of the finding's <img> from its image
// file into the page (atomically, nothing else changed). Empty on success,
// else a Japanese message.
std::string FillImageSize(const Finding& finding);

}  // namespace hemlo::site
