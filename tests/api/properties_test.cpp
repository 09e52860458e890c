// Reading and writing properties through their handlers, walking the tree, links, and running
// actions: what the handler receives, groups it creates, calls back into the API, rebuilds.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_store.h"
#include "tests/api/lab_fixture.h"

namespace vxtest {
namespace {

class Properties : public LabTest {};

TEST_F(Properties, ValuesGoThroughTheirRulesAndHandlers) {
  const struct { const char* prop; const char* value; const char* stored; } rows[] = {
      {"Name", "renamed", "renamed"}, {"Count", "0x10", "0x10"}, {"Mask", "255.255.0.0", "255.255.0.0"},
      {"Address", "fe80::1", "FE80:0000:0000:0000:0000:0000:0000:0001"}, {"Mode", "off", "off"},
      {"Name", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"}};   // UTF-8 is text
  for (const auto& row : rows) {
    char value[256];
    std::memset(value, 'Z', sizeof value);
    std::strcpy(value, row.value);
    const uint32_t prop = child(widget, row.prop, VARU_KIND_PROPERTY);
    EXPECT_EQ(VARU_set_property_val(widget, static_cast<int32_t>(prop), value, std::strlen(row.value) + 1), 0u);
    EXPECT_EQ(value_of(widget, row.prop), row.stored) << row.prop;
    EXPECT_STREQ(value, row.value) << "the caller's buffer is only read";
  }
  // Reads never pass the caller's length.
  char buf[8];
  std::memset(buf, 'Z', sizeof buf);
  const uint32_t name = child(widget, "Name", VARU_KIND_PROPERTY);
  EXPECT_EQ(VARU_get_property_val(widget, name, buf, 4), 0u);
  EXPECT_EQ(std::string(buf, 5), std::string("\xc3\xa9t\0Z", 5));
  EXPECT_EQ(VARU_get_property_val(widget, name, buf, 1), 0u);
  EXPECT_EQ(std::string(buf, 2), std::string("\0\xa9", 2)) << "untouched past len";
  // Handler results pass through; the debug level's handler keeps the level file.
  EXPECT_EQ(VARU_get_property_val(widget, child(widget, "Busy", VARU_KIND_PROPERTY), buf, 8), 42u);
  EXPECT_EQ(last_status().text, "Widget is busy.");
  EXPECT_EQ(set_value(widget, "Busy", "x"), 42u);
  EXPECT_EQ(set_value(0, "VARUDebugLevel", "4"), 0u);
  EXPECT_EQ(value_of(0, "VARUDebugLevel"), "4");
  EXPECT_NE(root.read("/scratch/Talvix/libvaru.conf").find("VARULogLevel 4"), std::string::npos);
  EXPECT_STATUS(set_value(0, "VARUDebugLevel", "7"), 6, "Invalid value.");
}

// A level the file cannot keep is not taken: the set fails and names the file, and the level in
// force (and shown) stays the one the file holds.
TEST_F(Properties, ALevelTheFileCannotKeepIsRefused) {
  ASSERT_EQ(set_value(0, "VARUDebugLevel", "2"), 0u);
  const std::string kept = root.read("/scratch/Talvix/libvaru.conf");
  {
    const vx::file_store::SystemCalls saved = vx::file_store::system_calls();
    vx::file_store::system_calls().fsync = [](int) {
      errno = EIO;
      return -1;
    };
    EXPECT_STATUS(set_value(0, "VARUDebugLevel", "6"), 336, "Failed to update libvaru.conf. The log level is kept.");
    vx::file_store::system_calls() = saved;
  }
  EXPECT_EQ(vx::varu_debug_level(), 2);
  EXPECT_EQ(value_of(0, "VARUDebugLevel"), "2");
  EXPECT_EQ(root.read("/scratch/Talvix/libvaru.conf"), kept);
}

TEST_F(Properties, ChildListsFilterByKind) {
  const std::pair<int32_t, const char*> rows[] = {
      {VARU_KIND_GROUP, "Settings"},
      {VARU_KIND_PROPERTY, "Name,Count,Address,Mask,Mode,Serial,Busy"},
      {VARU_KIND_READONLY_PROPERTY, "Serial"},
      {VARU_KIND_WRITABLE_PROPERTY, "Name,Count,Address,Mask,Mode,Busy"},
      {VARU_KIND_PLAIN_PROPERTY, "Name,Count,Address,Mask,Mode,Busy"},
      {VARU_KIND_ACTION, "AddGadget,DeleteGadget,Configure,NoHandler,Slow,Nested,Rebuild"},
      {VARU_KIND_ANY, ""},
      {VARU_KIND_LINK, ""},
  };
  for (const auto& [kind, want] : rows) {
    std::string names;
    for (uint32_t tag : children_of(widget, kind)) {
      names += (names.empty() ? "" : ",") + name_of(tag, kind <= 4 ? kind : VARU_KIND_PROPERTY);
    }
    EXPECT_EQ(names, want) << "kind " << kind;
  }
  uint32_t parent = kNoTag, root_parent = kNoTag;
  EXPECT_EQ(VARU_get_parent_tag(static_cast<int32_t>(widget), &parent) + VARU_get_parent_tag(0, &root_parent), 0u);
  EXPECT_EQ(parent + root_parent, 0u) << "ROOT is its own parent";
  hm_node_description d{};
  ASSERT_EQ(VARU_get_node_description(static_cast<int32_t>(child(widget, "Count", 2)), &d), 0u);
  EXPECT_STREQ(d.description, "Count.");
  EXPECT_EQ(std::vector<int32_t>({d.kind, d.vtype, d.min, d.max}), std::vector<int32_t>({2, 1, 0, 100}));
}

// A linked group stands for its target; a property named through a link is read and written only
// when the link and its target are both children of the group; property lists never show links.
TEST_F(Properties, LinksStandForTheirTargetWithinTheirGroup) {
  hm_node* w = vx::get_node(static_cast<int32_t>(widget));
  hm_node* settings = vx::internal_get_node(w, "Settings", kGroup);
  ASSERT_NE(vx::create_link(w, "Alias", settings, nullptr, nullptr, nullptr), nullptr);
  const uint32_t alias = child(widget, "Alias", VARU_KIND_GROUP);
  const uint32_t level = child(static_cast<uint32_t>(settings->tag), "Level", VARU_KIND_PROPERTY);
  EXPECT_EQ(name_of(alias, VARU_KIND_GROUP), "Alias");
  char buf[256] = "9";
  EXPECT_EQ(VARU_set_property_val(alias, static_cast<int32_t>(level), buf, 2), 0u);
  std::strcpy(buf, "");
  EXPECT_EQ(VARU_get_property_val(alias, level, buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "9");
  EXPECT_EQ(children_of(alias, VARU_KIND_PROPERTY), std::vector<uint32_t>{level});
  uint32_t out = 0;
  EXPECT_EQ(VARU_get_node_tag(static_cast<int32_t>(alias), "Level", &out, 2), 1u) << "a link is no parent here";
  EXPECT_EQ(VARU_refresh_group(static_cast<int32_t>(alias)), 0u) << "a link is not refreshed";
  EXPECT_EQ(VARU_refresh_group(settings->tag), 5u) << "the handler's result";
  EXPECT_EQ(VARU_refresh_group(static_cast<int32_t>(widget)) + VARU_refresh_group(1000), 0u);

  hm_node* sibling = vx::create_link(w, "NameAlias", vx::internal_get_node(w, "Name", kProperty), nullptr, nullptr,
                                     nullptr);
  hm_node* away =
      vx::create_link(w, "LevelAlias", vx::get_node(static_cast<int32_t>(level)), nullptr, nullptr, nullptr);
  ASSERT_TRUE(sibling && away);
  std::strcpy(buf, "through");
  EXPECT_EQ(VARU_set_property_val(widget, sibling->tag, buf, 8), 0u);
  EXPECT_EQ(value_of(widget, "Name"), "through");
  std::strcpy(buf, "7");
  EXPECT_EQ(VARU_get_property_val(widget, static_cast<uint32_t>(away->tag), buf, sizeof buf), 1u);
  EXPECT_EQ(VARU_set_property_val(widget, away->tag, buf, 2), 1u);
  EXPECT_EQ(value_of(static_cast<uint32_t>(settings->tag), "Level"), "9");
  for (int32_t kind : {VARU_KIND_PROPERTY, VARU_KIND_WRITABLE_PROPERTY, VARU_KIND_PLAIN_PROPERTY}) {
    for (uint32_t tag : children_of(widget, kind)) {
      EXPECT_TRUE(tag != static_cast<uint32_t>(sibling->tag) && tag != static_cast<uint32_t>(away->tag)) << kind;
    }
  }
}

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
