#include "shell/frame_rules.h"

#include "base/ascii_case.h"

namespace hemlo {

std::array<int, 3> StatusPanelWidths(int bar_width) {
  const int middle = bar_width - 400;
  return {200, middle < 0 ? 0 : middle, 200};
}

int UrlBoxWidth(int toolbar_width) {
  const int w = toolbar_width - 375;
  return w < 0 ? 0 : w;
}

std::string FolderOfPath(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

double TabStopPixels(int space_width, int tab_width, int average_char_width) {
  const int units = space_width * tab_width * 3 / 4;
  return static_cast<double>(units) * average_char_width / 4.0;
}

namespace {

// The scheme at the start of `text` (lower case), empty when there is none.
std::string SchemeOf(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0) return {};
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = text[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && (i == 0 || !other)) return {};
  }
  return AsciiLowered(text.substr(0, colon));
}

}  // namespace

AddressKind KindOfAddressText(const std::string& text, bool is_local_file) {
  static const char* const kKnown[] = {"http", "https",      "file",   "about",       "data",
                                       "ftp",  "javascript", "mailto", "view-source", "blob"};
  const std::string scheme = SchemeOf(text);
  if (!scheme.empty()) {
    for (const char* known : kKnown)
      if (scheme == known) return AddressKind::AsTyped;
    if (text.compare(scheme.size(), 3, "://") == 0) return AddressKind::AsTyped;
  }
  return is_local_file ? AddressKind::LocalFile : AddressKind::Web;
}

bool ListableAddress(const std::string& url) {
  return !url.empty() && SchemeOf(url) != "about" && SchemeOf(url) != kLivePreviewScheme;
}

}  // namespace hemlo
