// Starting and stopping clients, and calls made while no client is started.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "tests/api/lab_fixture.h"

namespace vxtest {
namespace {

TEST(Clients, CallsWithoutAStartedClientFailWithOneButTheLastStatusIsReadable) {
  TempRoot root;
  static char buf[600], params[6][256];
  static uint32_t tags[64], count;
  static int32_t room;
  static hm_node_description description;
  static hm_param_info info;
  static hm_persistence_info persistence;
  const std::function<uint32_t()> calls[] = {
      [] { return VARU_get_node_tag(0, "VARUDebugLevel", tags, 2); },
      [] { return VARU_get_node_name(0, buf, 1); },
      [] { return VARU_get_parent_tag(1, tags); },
      [] { return VARU_get_child_tags(0, tags, &count, 2); },
      [] { return VARU_get_valid_instances(0, "Widget", tags, &count); },
      [] { return VARU_get_property_val(0, 3, buf, 256); },
      [] { return VARU_set_property_val(0, 3, std::strcpy(buf, "3"), 2); },
      [] { return VARU_do_action(0, 1, params, nullptr); },
      [] { return VARU_refresh_group(0); },
      [] { return VARU_get_node_description(0, &description); },
      [] { return VARU_get_param_info(1, &info); },
      [] { return (room = 64, VARU_get_persistent_nodes(tags, &room)); },
      [] { return VARU_get_persistence_info(0, &persistence); },
      [] { return restore_hm(stdin); },
  };
  for (const auto& call : calls) EXPECT_EQ(call(), 1u) << "before VARU_init: call " << &call - calls;
  EXPECT_EQ(VARU_exit(), 0u);
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(VARU_exit(), 0u);
  for (const auto& call : calls) EXPECT_EQ(call(), 1u) << "after VARU_exit: call " << &call - calls;
  EXPECT_EQ(VARU_exit(), 0u);
  // A client whose VARU_init failed must still be able to read why.
  vx::varu_set_last_status(313, "no adapter");
  uint32_t code = 0;
  EXPECT_EQ(VARU_get_last_status(&code, buf), 0u);
  EXPECT_EQ(code, 313u);
  EXPECT_STREQ(buf, "no adapter");
}

TEST(Clients, SecondClientSharesTheTreeAndLastExitFreesIt) {
  TempRoot root;
  write_log_level(root, 5);
  const uint32_t allocations = vx::varu_alloc_count();
  ASSERT_EQ(VARU_init(), 0u);
  ASSERT_NE(lab::add_widget(), nullptr);
  const uint32_t widget = child(0, "Widget0", VARU_KIND_GROUP);
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(child(0, "Widget0", VARU_KIND_GROUP), widget) << "a second client does not rebuild";
  EXPECT_EQ(VARU_exit(), 0u);
  EXPECT_EQ(child(0, "Widget0", VARU_KIND_GROUP), widget) << "one client is left";
  EXPECT_EQ(VARU_exit(), 0u);
  EXPECT_EQ(child(0, "Widget0", VARU_KIND_GROUP), kNoTag);
  EXPECT_EQ(VARU_exit(), 0u) << "no client: nothing to do";
  EXPECT_EQ(vx::varu_alloc_count(), allocations) << "the last exit frees the tree";
  const std::string log = root.read("/tmp/varu2d.log");
  for (const char* line : {"INFO:New client #1!\n", "INFO:New client #2!\n", "INFO:Client disconnecting #2\n",
                           "INFO:Client disconnecting #1\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

// A first VARU_init whose tree cannot be built counts no client and leaves the log open: the
// calls that follow are still logged.
TEST(Clients, FailedStartCountsNoClientAndKeepsLogging) {
  TempRoot root;
  write_log_level(root, 6);
  vx::hm_fail_allocations_after(2);   // the tag table is made, "ROOT"'s data block is not
  EXPECT_EQ(VARU_init(), 1u);
  vx::hm_fail_allocations_after(-1);
  uint32_t tag = 0;
  EXPECT_EQ(VARU_get_node_tag(0, "VARUDebugLevel", &tag, 2), 1u) << "no client";
  EXPECT_EQ(VARU_exit(), 0u);
  const std::string log = root.read("/tmp/varu2d.log");
  const size_t left = log.find("--- leaving VARU_init ---\n");
  ASSERT_NE(left, std::string::npos) << log;
  EXPECT_NE(log.find("--- entering VARU_exit ---\n", left), std::string::npos) << log;
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(VARU_get_node_tag(0, "VARUDebugLevel", &tag, 2), 0u);
  EXPECT_EQ(tag, 3u);
  EXPECT_EQ(VARU_exit(), 0u);
}

}  // namespace
}  // namespace vxtest
