// Running actions: what the handler receives, groups it creates, calls back into the API, rebuilds.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/api/lab_fixture.h"

namespace vxtest {
namespace {

class Actions : public LabTest {};

TEST_F(Actions, HandlerGetsCheckedCopyAndCallersBlockStaysAsItWas) {
  char params[6][256];
  std::memset(params, 'Q', sizeof params);   // bytes after each text must not matter
  std::strcpy(params[0], "ok");
  std::strcpy(params[1], "-5");
  std::strcpy(params[2], "fe80::1");
  params[3][0] = static_cast<char>(VARU_PARAM_ABSENT);
  std::strcpy(params[4], "green");
  params[5][0] = static_cast<char>(VARU_PARAM_ABSENT);
  char saved[6][256];
  std::memcpy(saved, params, sizeof saved);
  const uint32_t configure = child(widget, "Configure", VARU_KIND_ACTION);
  ASSERT_EQ(VARU_do_action(widget, static_cast<int32_t>(configure), params, nullptr), 0u);
  EXPECT_EQ(std::memcmp(params, saved, sizeof saved), 0);
  const std::string seen[] = {"ok", "-5", "FE80:0000:0000:0000:0000:0000:0000:0001", "", "green", ""};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(lab::g_seen_params[i], seen[i]) << i;
  EXPECT_EQ(std::string(lab::g_seen_params[3], 256), std::string(256, '\0')) << "absent optional: all zero";
  EXPECT_NE(log().find("--- leaving VARU_do_action ---\n"), std::string::npos);
  hm_param_info info{};
  ASSERT_EQ(VARU_get_param_info(configure, &info), 0u);
  EXPECT_EQ(info.param_count, 6);
  EXPECT_STREQ(info.params[4].allowed, "Red,Green");
  EXPECT_EQ(info.params[1].min, -5);
  EXPECT_EQ(info.params[0].required, 1);
}

TEST_F(Actions, CreatedGroupsAreReportedAndCanBeDeleted) {
  std::vector<uint32_t> created(VARU_MAX_NEW_TAGS, 0xAAAAAAAAu);
  ASSERT_EQ(act(widget, "AddGadget", {"first", "1000"}, created.data()), 0u);
  ASSERT_EQ(act(widget, "AddGadget", {"second"}, nullptr), 0u);
  const uint32_t gadget0 = child(widget, "Gadget0", VARU_KIND_GROUP);
  EXPECT_EQ(created[0], gadget0);
  EXPECT_EQ(created[1], 0xAAAAAAAAu) << "only the instance group is reported";
  EXPECT_EQ(vx::varu_internal_new_tags, nullptr) << "the list is set only while the handler runs";
  EXPECT_EQ(value_of(gadget0, "Port"), "1000");
  uint32_t numbers[16] = {};
  uint32_t count = 0;
  ASSERT_EQ(VARU_get_valid_instances(static_cast<int32_t>(widget), "Gadget", numbers, &count), 0u);
  EXPECT_EQ(std::vector<uint32_t>(numbers, numbers + count), (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(VARU_get_valid_instances(static_cast<int32_t>(widget), "gadget", numbers, &count), 0u);
  EXPECT_EQ(count, 0u) << "instance names are exact";
  EXPECT_EQ(act(widget, "DeleteGadget", {"0"}), 0u);
  EXPECT_EQ(child(widget, "Gadget0", VARU_KIND_GROUP), kNoTag);
  EXPECT_STATUS(act(widget, "DeleteGadget", {"0"}), 1, "No such gadget.");
  ASSERT_EQ(act(widget, "AddGadget", {"third"}, created.data()), 0u);
  EXPECT_EQ(name_of(created[0], VARU_KIND_GROUP), "Gadget0") << "lowest free number again";
}

// Once target and action are known kinds, the caller's list is cleared, also when the parameters
// are then refused or the action has no handler.
TEST_F(Actions, NewTagsListIsClearedOnceTheNodesAreKnown) {
  const uint32_t configure = child(widget, "Configure", VARU_KIND_ACTION);
  char params[6][256];
  std::memset(params, static_cast<char>(VARU_PARAM_ABSENT), sizeof params);
  const struct { uint32_t target, action, first_after; } rows[] = {
      {widget, child(widget, "Count", VARU_KIND_PROPERTY), 0xAAAAAAAAu},   // a property as action
      {widget, configure, 0},                                               // required parameter missing
      {0, configure, 0},                                                    // action of another group
      {widget, child(widget, "NoHandler", VARU_KIND_ACTION), 0},
  };
  for (const auto& row : rows) {
    std::vector<uint32_t> list(VARU_MAX_NEW_TAGS, 0xAAAAAAAAu);
    EXPECT_EQ(VARU_do_action(row.target, static_cast<int32_t>(row.action), params, list.data()), 1u) << &row - rows;
    EXPECT_EQ(list[0], row.first_after) << &row - rows;
    EXPECT_EQ(list[1], 0xAAAAAAAAu) << &row - rows;
  }
  EXPECT_EQ(lab::g_handler_calls, 0);
}

TEST_F(Actions, HandlerMayCallTheApiAndAskForARebuildWhenTheCallEnds) {
  EXPECT_EQ(act(widget, "Nested", {}), 0u);
  EXPECT_EQ(lab::g_nested_result, 0u);
  EXPECT_EQ(lab::g_nested_value, "widget");
  std::vector<uint32_t> created(VARU_MAX_NEW_TAGS, 7);
  EXPECT_EQ(act(widget, "Rebuild", {}, created.data()), 0u);
  EXPECT_EQ(created[0], 0u);
  EXPECT_EQ(created[1], 7u);
  EXPECT_EQ(child(0, "Widget0", VARU_KIND_GROUP), kNoTag) << "the tree was built again without the lab widget";
  EXPECT_EQ(child(0, "VARUDebugLevel", VARU_KIND_PROPERTY), 3u);
  EXPECT_EQ(vx::in_public_call(), false);
}

}  // namespace
}  // namespace vxtest
