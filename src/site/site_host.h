#pragma once
// What the site windows need of the main frame: the open pages and a way to
// show a place in a page. The frame implements it; tests use their own.
#include <cstddef>
#include <filesystem>
#include <string>

#include "text/edit_pane.h"

namespace hemlo::site {

class SiteHost {
 public:
  virtual ~SiteHost() = default;
  // The folder of the active page; empty without one.
  virtual std::string ActivePageFolder() = 0;
  // The site's local folder as the transfer tool last had it; empty when unknown.
  virtual std::string SiteFolder() = 0;
  // The edit pane of the page open from `path`; null when it is not open.
  virtual text::EditPane* OpenPane(const std::filesystem::path& path) = 0;
  // Opens the page (or brings its window forward) with the caret at the
  // line (from 1) and column (characters from 0).
  virtual void ShowPlace(const std::filesystem::path& path, std::size_t line,
                         std::size_t column) = 0;
  // Whether a move leaves redirect pages at the old addresses, as the author
  // last chose; off until chosen.
  virtual bool LeavesRedirects() { return false; }
  virtual void RememberLeavesRedirects(bool) {}
};

}  // namespace hemlo::site
