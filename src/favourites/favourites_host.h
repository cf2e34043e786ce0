#pragma once
// What the favourites window needs of the main frame. The frame implements it;
// tests implement it with fixed answers. Texts are UTF-8.
#include <string>

namespace hemlo::favourites {

class FavouritesHost {
 public:
  virtual ~FavouritesHost() = default;
  // True while at least one document window is open.
  virtual bool HasDocumentWindow() const = 0;
  // The active document window's web pane: its location URL and location
  // name (page title); empty with no document window or no page.
  virtual std::string ActivePageUrl() const = 0;
  virtual std::string ActivePageTitle() const = 0;
  // The frame's OpenUrl: shows the address in the active web pane, or in a
  // new document window when none is open.
  virtual void OpenUrl(const std::string& url) = 0;
  // A note for the frame's status bar.
  virtual void ShowStatus(const std::string& text) { (void)text; }
};

}  // namespace hemlo::favourites
