#pragma once
// The files of a site folder for completion: gathered on a worker thread
// (never on the caller's), kept, and gathered again when asked for after
// they have aged. Paths are UTF-8 with '/' separators.
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace hemlo::text {

// At most this many files are listed, this deep; hidden entries are skipped.
inline constexpr std::size_t kSiteFileLimit = 5000;
inline constexpr int kSiteFileDepth = 8;

// The files under `root`, relative to it, sorted; stops early when asked.
std::vector<std::string> ListSiteFiles(const std::filesystem::path& root,
                                       std::stop_token stop = {});

// `file` (relative to the site) as a link from a page in `page_folder`
// (relative to the site too; empty for the site's top): "../images/a.png".
std::string PathFromPage(std::string_view page_folder, std::string_view file);

class SiteFiles {
 public:
  using List = std::shared_ptr<const std::vector<std::string>>;
  ~SiteFiles();
  // The files of `root` as last gathered (empty until the first gathering
  // ends). Starts a gathering when there is none of this root or it is
  // older than `max_age`; `ready` is called on the worker thread when it ends.
  List Get(const std::filesystem::path& root, std::function<void()> ready,
           std::chrono::steady_clock::duration max_age = std::chrono::seconds(10));

 private:
  std::mutex mutex_;
  std::filesystem::path root_;
  List files_;
  std::chrono::steady_clock::time_point gathered_{};
  bool running_ = false;
  std::jthread worker_;
};

}  // namespace hemlo::text
