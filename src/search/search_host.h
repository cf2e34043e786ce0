#pragma once
// What the find/replace dialog and the jump to a line need of the main frame.
// The frame implements it; tests implement it over a MemoryEditPane.
#include "text/edit_pane.h"

namespace hemlo::search {

class SearchHost {
 public:
  virtual ~SearchHost() = default;
  // The active document window's edit pane; null when no document window is open.
  virtual text::EditPane* ActiveEditPane() = 0;
};

}  // namespace hemlo::search
