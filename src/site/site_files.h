#pragma once
// The pages of a site: every file under a folder whose name matches one of a
// list of patterns such as "*.htm;*.html;*.css;*.js". No Qt here.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace hemlo::site {

inline constexpr std::string_view kDefaultFilePatterns = "*.htm;*.html;*.css;*.js";
inline constexpr std::string_view kPagePatterns = "*.htm;*.html";

// "*.htm; *.HTML" -> {"*.htm", "*.HTML"}: split at ';' (and ','), blanks trimmed.
std::vector<std::string> SplitPatterns(std::string_view patterns);

// '*' and '?' wildcards, ASCII letters in either case.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// Regular files under `root` (any depth, symbolic links to folders not
// followed, each file once even when reached through a link), sorted by
// path. Unreadable folders are skipped, and so are the preview copies this
// program wrote beside the pages.
std::vector<std::filesystem::path> ListSiteFiles(const std::filesystem::path& root,
                                                 std::string_view patterns);

}  // namespace hemlo::site
