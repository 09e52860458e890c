// Reading and writing properties through their handlers, walking the tree, links.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
  hm_node* away = vx::create_link(w, "LevelAlias", vx::get_node(static_cast<int32_t>(level)), nullptr, nullptr, nullptr);
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

}  // namespace
}  // namespace vxtest
