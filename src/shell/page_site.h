#pragma once
// Where a page's site lies, for the file names completion offers.
#include <filesystem>
#include <string>
#include <utility>

namespace hemlo {

// (site folder, page folder) of the page at `page` (a UTF-8 path): the
// site folder of the transfer tool's profile that holds the page (the
// innermost), else the page's own folder; both empty for an untitled page.
std::pair<std::filesystem::path, std::filesystem::path> SiteOfPage(const std::string& page);

}  // namespace hemlo
