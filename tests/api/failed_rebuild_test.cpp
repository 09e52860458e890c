// A rebuild whose bootstrap fails leaves no tree; the next VARU_init builds one, or says it could not.
#include <gtest/gtest.h>

#include "engine/api_lock.h"
#include "engine/builder.h"
#include "support/test_support.h"
#include "varu.h"

namespace vxtest {
namespace {

bool has_tree() {
  uint32_t tag = 0;
  return VARU_get_node_tag(0, "VARUDebugLevel", &tag, VARU_KIND_PROPERTY) == 0;
}

TEST(FailedRebuild, TheNextClientBuildsTheTree) {
  TempRoot root;
  ASSERT_EQ(VARU_init(), 0u);
  vx::public_call("test", [] {
    vx::request_tree_rebuild();
    vx::hm_fail_allocations_after(2);   // the rebuild makes its tag table, not "ROOT"'s data
    return 0u;
  });
  EXPECT_FALSE(has_tree());
  EXPECT_EQ(VARU_init(), 1u) << "still failing: said so";
  vx::hm_fail_allocations_after(-1);
  EXPECT_EQ(VARU_init(), 0u);
  EXPECT_TRUE(has_tree());
  EXPECT_EQ(VARU_exit(), 0u);
  EXPECT_TRUE(has_tree()) << "the first client is still there";
  EXPECT_EQ(VARU_exit(), 0u);
  EXPECT_FALSE(has_tree());
}

}  // namespace
}  // namespace vxtest
