#include "text/site_files.h"

#include <algorithm>

namespace hemlo::text {

namespace fs = std::filesystem;

std::vector<std::string> ListSiteFiles(const fs::path& root, std::stop_token stop) {
  std::vector<std::string> out;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
    if (stop.stop_requested() || out.size() >= kSiteFileLimit) break;
    const std::string name = it->path().filename().string();
    std::error_code kind;
    const bool folder = it->is_directory(kind);
    if (name.starts_with('.') || (folder && it.depth() + 1 >= kSiteFileDepth)) {
      if (folder) it.disable_recursion_pending();
      continue;
    }
    if (!folder && it->is_regular_file(kind))
      out.push_back(it->path().lexically_relative(root).generic_string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

namespace {
std::vector<std::string_view> Parts(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    if (!part.empty() && part != ".") parts.push_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}
}  // namespace

std::string PathFromPage(std::string_view page_folder, std::string_view file) {
  const auto from = Parts(page_folder);
  const auto to = Parts(file);
  // The folders both share drop out; each of the page's left is "../".
  std::size_t common = 0;
  while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) ++common;
  std::string out;
  for (std::size_t i = common; i < from.size(); ++i) out += "../";
  for (std::size_t i = common; i < to.size(); ++i) {
    out += to[i];
    if (i + 1 < to.size()) out += '/';
  }
  return out;
}

SiteFiles::~SiteFiles() {
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
}

SiteFiles::List SiteFiles::Get(const fs::path& root, std::function<void()> ready,
                               std::chrono::steady_clock::duration max_age) {
  std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  const bool same = root == root_ && files_ != nullptr;
  if (!running_ && (!same || now - gathered_ > max_age)) {
    if (!same) files_.reset();
    root_ = root;
    running_ = true;
    if (worker_.joinable()) worker_.join();  // ended: it cleared running_
    worker_ = std::jthread([this, root, ready = std::move(ready)](std::stop_token stop) {
      auto list = std::make_shared<const std::vector<std::string>>(ListSiteFiles(root, stop));
      {
        std::lock_guard lock(mutex_);
        running_ = false;
        if (root != root_ || stop.stop_requested()) return;
        files_ = std::move(list);
        gathered_ = std::chrono::steady_clock::now();
      }
      if (ready) ready();
    });
  }
  return same ? files_ : nullptr;
}

}  // namespace hemlo::text
