// The in-memory edit pane: the shared EditPane contract, plus its counters.
#include "text/memory_edit_pane.h"

#include <gtest/gtest.h>

#include "edit_pane_contract.h"

namespace hemlo::text {
namespace {

INSTANTIATE_TEST_SUITE_P(Memory, EditPaneContract,
                         EditPaneParams([] { return std::make_unique<MemoryEditPane>(); }),
                         EditPaneParamName);

TEST(MemoryEditPane, CountsPresentationCalls) {
  MemoryEditPane pane("abc");
  EXPECT_EQ(pane.Text(), "abc");
  pane.Focus();
  pane.ScrollCaretIntoView();
  pane.ScrollCaretIntoView();
  pane.Undo();
  EXPECT_EQ(pane.focus_calls(), 1);
  EXPECT_EQ(pane.scroll_calls(), 2);
  EXPECT_EQ(pane.undo_calls(), 1);
  EXPECT_EQ(pane.Text(), "abc");  // Undo does nothing to the text
}

}  // namespace
}  // namespace hemlo::text
