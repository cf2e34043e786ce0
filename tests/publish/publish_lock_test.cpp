// Two publishes never share a site folder or a server folder: the second
// is refused (naming what is taken) until the first lets go, and a refusal
// keeps nothing of its own held.
#include <gtest/gtest.h>

#include "publish/publish_lock.h"
#include "support/ftp_test_net.h"

namespace hemlo::publish {
namespace {

TEST(PublishLock, ASecondPublishOfTheSameSiteOrServerFolderWaitsForTheFirst) {
  ftp::testing::TempFolder state;
  auto first = PublishLock::Take(state.path(), {"site A", "server X"});
  ASSERT_NE(first, nullptr);
  struct Row {
    std::vector<std::string> keys;
    bool taken;
    size_t held;
  };
  const Row rows[] = {
      {{"site A", "server Y"}, false, 0},  // another profile on the same site folder
      {{"site B", "server X"}, false, 1},  // another site into the same server folder
      {{"site B", "server Y"}, true, 0},
  };
  for (const Row& row : rows) {
    size_t held = 99;
    auto second = PublishLock::Take(state.path(), row.keys, &held);
    EXPECT_EQ(second != nullptr, row.taken) << row.keys[0] << ", " << row.keys[1];
    if (!row.taken) {
      EXPECT_EQ(held, row.held) << row.keys[0] << ", " << row.keys[1];
    }
  }
  first.reset();
  EXPECT_NE(PublishLock::Take(state.path(), {"site A", "server X"}), nullptr);
}

}  // namespace
}  // namespace hemlo::publish
