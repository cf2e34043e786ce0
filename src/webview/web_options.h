#pragma once
// The eight published options of the web view and what they mean to the
// embedded browser: the host-information flags, the ambient download-control
// value and, derived from those two numbers, the engine behaviour the Qt view
// applies. Plain C++ so the rules are tested without a display.
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "base/ascii_case.h"

namespace hemlo::webview {

// Members of DownLoadControl, in their declared order.
enum class DownloadControl : int {
  CS_Images,
  CS_Videos,
  CS_BGSounds,
  CS_NoScripts,
  CS_NoJava,
  CS_NoActiveXRun,
  cs_NoActiveXDownLoad,
  CS_DownLoadOnly,
  CS_ReSynchronize,
  CS_NoCash,
  CS_NoFrame,
  CS_ForceOffLine,
  CS_NoClientPull,
  CS_Silent,
  CS_OffLine,
};
inline constexpr int kDownloadControlCount = 15;

// A set of DownloadControl members (bit i = member i).
class DownloadControlSet {
 public:
  constexpr DownloadControlSet() = default;
  constexpr DownloadControlSet(std::initializer_list<DownloadControl> members) {
    for (DownloadControl m : members) Include(m);
  }
  constexpr bool Has(DownloadControl m) const { return (bits_ >> static_cast<int>(m)) & 1u; }
  constexpr void Include(DownloadControl m) { bits_ |= 1u << static_cast<int>(m); }
  constexpr void Exclude(DownloadControl m) { bits_ &= ~(1u << static_cast<int>(m)); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const DownloadControlSet&) const = default;

 private:
  std::uint32_t bits_ = 0;
};

// Values both the document window and the builder dialog use; also the
// values a view starts with.
struct WebOptions {
  bool IeNoContext = false;
  bool IeNO3DBORDER = false;
  bool IeSCROLL_hidden = false;
  bool IeDontSCRIPT = false;
  bool IeEnableAccelerator = true;
  bool IeNoBehavior = false;
  bool IeAutoComplete = true;
  DownloadControlSet DownLoadControl{DownloadControl::CS_Images, DownloadControl::CS_Videos,
                                     DownloadControl::CS_BGSounds};
  bool operator==(const WebOptions&) const = default;
};

// Host-information flags.
inline constexpr std::uint32_t kHostNo3DBorder = 0x4;
inline constexpr std::uint32_t kHostScrollNo = 0x8;
inline constexpr std::uint32_t kHostDisableScriptInactive = 0x10;
inline constexpr std::uint32_t kHostOverrideBehaviorFactory = 0x400;
inline constexpr std::uint32_t kHostEnableFormsAutoComplete = 0x4000;

// The OR of one flag per set option (0x4000 with the default options).
std::uint32_t HostInfoFlags(const WebOptions& options);

// Download-control flag of one member.
std::uint32_t DownloadControlFlag(DownloadControl member);
// The ambient download-control value: the OR of the members' flags, as the
// signed 32-bit integer the browser reads (0x70 with the default set).
std::int32_t AmbientDownloadControl(DownloadControlSet set);

// What the Qt WebEngine view does, decided from the two numbers above (not
// from the options directly, so the numbers are the single source).
struct EngineBehaviour {
  bool scroll_bars = true;       // off for the no-scroll host flag
  bool javascript = true;        // off for the disable-script flag or no-scripts
  bool auto_load_images = true;  // only when images are downloaded
  bool offline = false;          // forced offline or offline: no network requests
  bool no_cache = false;         // pragma no-cache: no HTTP cache
  bool silent = false;           // JavaScript dialogs are answered silently
  bool frames = true;            // off for no-frame-download: sub-frames not fetched
  bool autoplay_media = true;    // videos or background sounds play without a gesture
  bool operator==(const EngineBehaviour&) const = default;
};

EngineBehaviour BehaviourFor(std::uint32_t host_flags, std::int32_t ambient);
inline EngineBehaviour BehaviourFor(const WebOptions& options) {
  return BehaviourFor(HostInfoFlags(options), AmbientDownloadControl(options.DownLoadControl));
}

// Context menu: true when the engine's own menu is shown; false means the
// host shows none of it (and pops up the attached menu, when there is one).
constexpr bool ShowsStandardContextMenu(const WebOptions& options) { return !options.IeNoContext; }

// An address that asks the view to close: its last path segment, or its
// whole scheme-specific part, is "close" in any case ("about:close",
// "http://example.jp/app/Close?x=1"). "enclosed.htm" or a folder named
// "closet" are ordinary pages.
constexpr bool UrlRequestsClose(std::string_view url) {
  auto is_close = [](std::string_view s) { return AsciiEqualNoCase(s, "close"); };
  std::string_view rest = url.substr(0, url.find_first_of("?#"));
  const std::size_t colon = rest.find(':');
  const std::size_t slash = rest.find('/');
  if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash))
    rest.remove_prefix(colon + 1);
  if (is_close(rest)) return true;
  const std::size_t last = rest.rfind('/');
  return last != std::string_view::npos && is_close(rest.substr(last + 1));
}

// How a navigation was started, as far as the close rule cares.
enum class NavigationOrigin { PageLinkOrScript, Program, Reload, Other };

// The view closes only for a top-level navigation that the page itself
// starts (a link or its script) to a close address; never for sub-frames,
// reloads, or addresses the program passes.
constexpr bool NavigationClosesView(std::string_view url, NavigationOrigin origin,
                                    bool main_frame) {
  return main_frame && origin == NavigationOrigin::PageLinkOrScript && UrlRequestsClose(url);
}

}  // namespace hemlo::webview
