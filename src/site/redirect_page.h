#pragma once
// The small page left at a moved page's old address so that visitors and
// search engines following old links reach the new one. No Qt here.
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hemlo::site {

// A page at `old_path` sending visitors to `new_path` (both absolute and
// normal), in the encoding and line breaks of `moved_bytes` (the moved
// page): a refresh, a canonical link and a plain link for browsers that
// do not follow the refresh.
std::string RedirectPage(const std::filesystem::path& old_path,
                         const std::filesystem::path& new_path, std::string_view moved_bytes);

// Pages, as the old address of a move is served: .htm and .html.
bool IsRedirectable(const std::filesystem::path& path);

// The pages a move of `from` (a file or a folder) takes away from their
// addresses; listed before the move.
std::vector<std::filesystem::path> PagesMoving(const std::filesystem::path& from);

// What a move left at the old addresses, for its undo to take away.
struct RedirectPages {
  std::vector<std::pair<std::filesystem::path, std::string>> pages;  // path, bytes written
  std::vector<std::filesystem::path> folders;  // made for them, parents first
};

// After `from` became `to`: a redirect page at each of `olds`, never over a
// file that is there; those not written are named in `skipped` with why.
RedirectPages LeaveRedirects(const std::vector<std::filesystem::path>& olds,
                             const std::filesystem::path& from, const std::filesystem::path& to,
                             std::vector<std::string>& skipped);
// The pages no longer holding what was written are named in `edited`.
bool RedirectsIntact(const RedirectPages& left, std::vector<std::string>& edited);
// Takes them away with the folders made for them (a folder something else
// was put into stays).
void RemoveRedirects(const RedirectPages& left);
// Writes them again after an undo that could not go on; what could not be
// put back is named in the result.
std::string PutRedirectsBack(const RedirectPages& left);

}  // namespace hemlo::site
