#pragma once
// Shared parts: a file Library/NAME.lbi under the site folder whose text each
// page holds between <!-- #BeginLibraryItem "/Library/NAME.lbi" --> and
// <!-- #EndLibraryItem -->. An update writes the part's text into every copy,
// its relative links made relative to the page's folder and the text in the
// page's encoding; every byte outside the markers stays. No Qt here.
//
// What a part has written is kept as a record (its last few texts) in a
// folder of the program's state; a copy that matches none of them, nor the
// part's current text, each rewritten for its page, was edited by hand.
// Without a record (a site kept until now by another tool) the copy most
// pages hold is taken for the part's last text.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "site/site_search.h"

namespace hemlo::site {

// `url` (relative to the folder `from` of the site, "" for the site folder
// itself, "/"-separated) made relative to folder `to`. Addresses with a
// scheme, "//", "/", "#" or "?" first, and those climbing above the site
// folder, come back unchanged; "?query" and "#fragment" are kept.
std::string RelocateUrl(std::string_view url, std::string_view from, std::string_view to);

// Every link of an HTML fragment (href, src, srcset, action, formaction,
// poster, data, background and CSS url()) relocated from folder `from` to `to`.
std::string RelocateLinks(std::string_view html, std::string_view from, std::string_view to);

// One copy of a part in a page.
struct PartCopy {
  std::string name;        // "/Library/menu.lbi" as the marker says
  std::size_t offset = 0;  // bytes of the page: the copy's text, markers excluded
  std::size_t length = 0;
};
struct MarkerScan {
  std::vector<PartCopy> copies;
  bool broken = false;  // a Begin without its End, an End without a Begin, or nested
};
MarkerScan ScanMarkers(std::string_view page);

// <!-- #BeginLibraryItem "/Library/menu.lbi" --> for "/Library/menu.lbi".
std::string BeginMarker(std::string_view name);
inline constexpr std::string_view kEndMarker = "<!-- #EndLibraryItem -->";

enum class PageState {
  kUpdate,       // copies as the part wrote them, now different
  kHandEdited,   // a copy differs from what the part wrote: only when ticked
  kBroken,       // markers broken: left alone
  kUnencodable,  // a Shift-JIS page that cannot hold a character of the part
};

struct PartPage {
  std::filesystem::path path;
  PageState state = PageState::kUpdate;
  std::vector<std::string> parts;  // names of the parts whose copies change
  std::string refused;             // kUnencodable: the character
  bool included = true;            // ticked in the list
  FileHits change;                 // bytes as read; one hit per copy to replace
};

struct PartsPlan {
  std::vector<PartPage> pages;       // pages whose copies change, or that have a problem
  std::vector<std::string> missing;  // "page: /Library/x.lbi", a marker of a part not there
  std::map<std::string, std::string> texts;  // part name -> its text (UTF-8) now
  std::size_t pages_holding = 0;             // pages holding any of the parts
};

// The update of every part (`only` empty) or of the named ones across the
// pages under `site`. `records` is the folder of the records; `previous`
// gives a text a part had before (its bytes before a save), which also
// counts as written by the part.
PartsPlan PlanPartsUpdate(const std::filesystem::path& site, const std::filesystem::path& records,
                          const std::vector<std::string>& only = {},
                          const std::map<std::string, std::string>& previous = {});

// The ticked pages of the plan that can be written, as a replacement
// (site_replace writes it, checks nothing changed since, and undoes it).
SearchResult PlanAsReplacement(const PartsPlan& plan);

// Adds the parts' texts to what they have written into the site (the last
// few texts of each are kept, so copies put back by an undo still count).
bool WritePartRecords(const std::filesystem::path& site, const std::filesystem::path& records,
                      const PartsPlan& plan);
// The same for one part's text (UTF-8), when it is inserted into a page.
bool RecordPartText(const std::filesystem::path& site, const std::filesystem::path& records,
                    const std::string& name, const std::string& text);

// The part's text (UTF-8, line breaks "\n"); nullopt when it cannot be read.
std::optional<std::string> ReadPart(const std::filesystem::path& file);

// The part's text for a page in `page_folder` (a folder under `site`),
// markers included, in the page's encoding and line break; nullopt names the
// refused character.
std::optional<std::string> PartForPage(const std::filesystem::path& site, std::string_view name,
                                       std::string_view text,
                                       const std::filesystem::path& page_folder,
                                       Encoding encoding, std::string_view line_break,
                                       std::string* refused);

// The site a page's folder belongs to: the nearest folder at or above it
// that holds a Library folder; empty when there is none.
std::filesystem::path SiteOfPage(const std::filesystem::path& page_folder);
// The site of a part file: the folder holding its Library folder; empty when
// the file is no .lbi under a Library folder.
std::filesystem::path SiteOfPart(const std::filesystem::path& part);

// "/Library/menu.lbi" for a part file under `site`; empty when it is not one.
std::string PartName(const std::filesystem::path& site, const std::filesystem::path& part);

}  // namespace hemlo::site
