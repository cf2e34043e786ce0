#pragma once
// Small layout and input rules of the main frame, kept free of the toolkit.
#include <array>
#include <optional>
#include <string>

namespace hemlo {

// Status bar panels: 200 | width - 400 | 200 (never negative).
std::array<int, 3> StatusPanelWidths(int bar_width);

// The address box is 375 pixels narrower than the toolbar.
int UrlBoxWidth(int toolbar_width);

// Tab widths the user may set: a zero or negative tab stop breaks the pane.
inline constexpr int kMinTabWidth = 1;
inline constexpr int kMaxTabWidth = 64;

// Folder part of a path ("/web/top.htm" -> "/web"); empty for an empty path.
std::string FolderOfPath(const std::string& path);

// Tab-stop distance in pixels for a width in characters: the interval
// (space * width * 3 div 4) counts quarters of the average character width.
double TabStopPixels(int space_width, int tab_width, int average_char_width);

// How the address box reads the text typed. Text that starts with a known
// scheme ("http:", "file:", "about:", ...) or with any scheme followed by
// "//" goes to the web pane as typed. Otherwise it is read as the user means
// it: an existing local path (`is_local_file` tells) as that file, anything
// else as a web address, "http://" + the text. So "127.0.0.1:2111/pop.html"
// and "www.example.jp" reach their servers.
enum class AddressKind { AsTyped, LocalFile, Web };
AddressKind KindOfAddressText(const std::string& text, bool is_local_file);

// The scheme the live preview serves a page's current text at.
inline constexpr const char* kLivePreviewScheme = "hemlo-live";

// Addresses the address box's list never takes ("about:blank", live previews).
bool ListableAddress(const std::string& url);

}  // namespace hemlo
