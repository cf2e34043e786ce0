#include "shell/page_site.h"

#include "base/program_folder.h"
#include "text/cp932.h"
#include "transfer/ferrox_files.h"
#include "remote/profile.h"
#include "transfer/profiles.h"

namespace hemlo {

std::pair<std::filesystem::path, std::filesystem::path> SiteOfPage(const std::string& page) {
  if (page.empty()) return {};
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::absolute(page, ec).lexically_normal();
  if (ec) return {};
  const std::filesystem::path folder = path.parent_path();
  const std::vector<std::string> lines = transfer::ReadProfileFile(ProgramFolder());
  const int n = transfer::ProfileHoldingPage(lines, path.string());
  if (n > 0) {
    const auto site =
        text::Cp932ToUtf8(transfer::Profile::Parse(lines[static_cast<std::size_t>(n - 1)]).SiteFolder());
    if (site && std::filesystem::is_directory(*site, ec)) {
      std::filesystem::path root = std::filesystem::path(*site).lexically_normal();
      if (!root.has_filename() && root.has_parent_path() && root != root.root_path())
        root = root.parent_path();  // "/www/site/" as "/www/site"
      return {root, folder};
    }
  }
  return {folder, folder};
}

}  // namespace hemlo
