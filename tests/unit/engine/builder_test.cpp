// The instance builder, driven by a small schema of its own.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tree_helpers.h"

using namespace vx;
using vxtest::child_names;
using vxtest::tags_in_use;

namespace {

uint32_t handle_mode(hm_node*, char*, uint32_t) { return 0; }
uint32_t refresh_bays(hm_node*) { return 0; }
uint32_t refresh_widget(hm_node*) { return 0; }
uint32_t do_reset(hm_node*, hm_node*, char[6][256]) { return 0; }
const hm_action_descriptor kResetAction{do_reset, 0, 0, {}};

// Shelf<n> under "ROOT" (at most 2) with Widget<n> under Shelf<n>/Bays (at most 3 per shelf).
InstanceBits g_shelf_bits;
constexpr SchemaRow kShelfRows[] = {
    /* 0 */ property(kInstance, "Label", "Label of the shelf.", kReadWrite, handle_internal_property, length(1, 32),
                     "unnamed"),
    /* 1 */ group(kInstance, "Bays", "Where the widgets go.", refresh_bays),
    /* 2 */ group(kInstance, "Config", "Settings of the shelf."),
    /* 3 */ property(2, "Mode", "Mode of the shelf.", kReadWrite, handle_mode, one_of("On,Off", 2, 3), "On"),
    /* 4 */ group(2, "Advanced", "More settings."),
    /* 5 */ property(4, "Speed", "Speed of the belt.", kReadOnly, handle_internal_property, range(0, 100)),
    /* 6 */ property(1, "Count", "Widgets in the bays.", kReadOnly, handle_internal_property, range(0, 3), "0"),
    /* 7 */ action(kInstance, "Reset", "Resets the shelf.", kResetAction),
};
constexpr GroupSpec kShelf = group_spec("Shelf", "A shelf.", 2, nullptr, kShelfRows, g_shelf_bits);

InstanceBits g_widget_bits;
constexpr SchemaRow kWidgetRows[] = {
    property(kInstance, "Serial", "Serial number.", kReadOnly, handle_internal_property, length(0, 16)),
    action(kInstance, "Remove", "Removes the widget.", kResetAction),
};
constexpr GroupSpec kWidget = group_spec("Widget", "A widget.", 3, refresh_widget, kWidgetRows, g_widget_bits);

InstanceBits g_leaf_bits;
constexpr GroupSpec kLeaf = group_spec("Leaf", "A leaf.", 5000, nullptr, g_leaf_bits);

hm_node* initialize_Shelf(hm_node* p, hm_node* o, hm_node* a, char params[6][256]) {
  return build_instance(kShelf, p, o, a, params);
}
hm_node* initialize_Widget(hm_node* p, hm_node* o, hm_node* a, char params[6][256]) {
  return build_instance(kWidget, p, o, a, params);
}

static_assert(schema_problem("Shelf", "A shelf.", 2, kShelfRows, 8) == nullptr);

struct BuilderTest : vxtest::TreeFixture {
  hm_node* bays(hm_node* shelf) { return internal_get_node(shelf, "Bays", kGroup); }
  int32_t number(hm_node* n) { return n != nullptr ? instance_info(n)->number : -1; }
};

TEST_F(BuilderTest, RowsBecomeNodesInTableOrder) {
  hm_node* shelf = initialize_Shelf(root, nullptr, nullptr, nullptr);
  ASSERT_NE(shelf, nullptr);
  EXPECT_EQ(number(shelf), 0);
  EXPECT_EQ(shelf->parent, root);
  EXPECT_EQ(child_names(shelf), "Label,Bays,Config,Reset");
  EXPECT_EQ(child_names(bays(shelf)), "Count");
  hm_node* config = internal_get_node(shelf, "Config", kGroup);
  EXPECT_EQ(child_names(config), "Mode,Advanced");
  EXPECT_EQ(child_names(internal_get_node(config, "Advanced", kGroup)), "Speed");

  // Tags follow the table's creation order (row 6 goes back to an earlier group).
  const char* by_tag[] = {"Shelf", "Label", "Bays", "Config", "Mode", "Advanced", "Speed", "Count", "Reset"};
  for (int32_t i = 0; i < 9; ++i) EXPECT_STREQ(get_node(4 + i)->name, by_tag[i]) << 4 + i;

  struct PropertyRow {
    hm_node* group;
    const char* name;
    const char* value;
    uint32_t access;
    hm_property_handler handler;
    uint8_t vtype;
    int32_t min, max;
    const char* allowed;
  };
  const PropertyRow rows[] = {
      {shelf, "Label", "unnamed", kReadWrite, handle_internal_property, 0, 1, 32, nullptr},
      {config, "Mode", "On", kReadWrite, handle_mode, 4, 2, 3, "On,Off"},
      {internal_get_node(config, "Advanced", kGroup), "Speed", "", kReadOnly, handle_internal_property, 1, 0, 100,
       nullptr},
      {bays(shelf), "Count", "0", kReadOnly, handle_internal_property, 1, 0, 3, nullptr},
  };
  for (const PropertyRow& r : rows) {
    SCOPED_TRACE(r.name);
    hm_node* n = internal_get_node(r.group, r.name, kProperty);
    ASSERT_NE(n, nullptr);
    hm_property* p = property_data(n);
    EXPECT_STREQ(p->value, r.value);
    EXPECT_EQ(p->access, r.access);
    EXPECT_EQ(p->handler, r.handler);
    EXPECT_EQ(p->vtype, r.vtype);
    EXPECT_EQ(p->min, r.min);
    EXPECT_EQ(p->max, r.max);
    EXPECT_STREQ(p->allowed != nullptr ? p->allowed : "(none)", r.allowed != nullptr ? r.allowed : "(none)");
  }
  // Texts are the table's own, not copies.
  EXPECT_EQ(internal_get_node(shelf, "Label", kProperty)->name, kShelfRows[0].name);
  EXPECT_EQ(shelf->description, kShelf.description);
  EXPECT_EQ(action_data(internal_get_node(shelf, "Reset", kAction)), &kResetAction);
  EXPECT_EQ(group_data(bays(shelf))->refresh, refresh_bays);
  EXPECT_EQ(group_data(bays(shelf))->instance, nullptr);
  EXPECT_EQ(group_data(shelf)->refresh, nullptr);

  hm_node* widget = initialize_Widget(bays(shelf), nullptr, nullptr, nullptr);
  ASSERT_NE(widget, nullptr);
  EXPECT_EQ(group_data(widget)->refresh, refresh_widget);
  EXPECT_EQ(child_names(bays(shelf)), "Count,Widget0");
  EXPECT_EQ(child_names(widget), "Serial,Remove");
}

TEST_F(BuilderTest, NumbersAreLowestFreeAndLimitedPerParent) {
  hm_node* shelf = initialize_Shelf(root, nullptr, nullptr, nullptr);
  std::vector<hm_node*> w;
  for (int i = 0; i < 3; ++i) w.push_back(initialize_Widget(bays(shelf), nullptr, nullptr, nullptr));
  EXPECT_EQ(number(w[0]), 0);
  EXPECT_EQ(number(w[2]), 2);
  ASSERT_EQ(delete_node(w[1]), 0u);
  EXPECT_EQ(number(initialize_Widget(bays(shelf), nullptr, nullptr, nullptr)), 1);
  EXPECT_EQ(child_names(bays(shelf)), "Count,Widget0,Widget1,Widget2");

  // Full: nothing changes, not even the priority counter.
  const uint32_t allocations = varu_alloc_count();
  const int32_t tags = tags_in_use();
  const uint32_t priority = persistency_priority;
  hm_node* action_node = internal_get_node(shelf, "Reset", kAction);
  EXPECT_EQ(initialize_Widget(bays(shelf), shelf, action_node, nullptr), nullptr);
  EXPECT_EQ(varu_alloc_count(), allocations);
  EXPECT_EQ(tags_in_use(), tags);
  EXPECT_EQ(persistency_priority, priority);
  EXPECT_EQ(child_names(bays(shelf)), "Count,Widget0,Widget1,Widget2");
}

TEST_F(BuilderTest, EachAncestorCombinationHasItsOwnNumbers) {
  hm_node* s0 = initialize_Shelf(root, nullptr, nullptr, nullptr);
  hm_node* s1 = initialize_Shelf(root, nullptr, nullptr, nullptr);
  EXPECT_EQ(number(s1), 1);
  EXPECT_EQ(initialize_Shelf(root, nullptr, nullptr, nullptr), nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(number(initialize_Widget(bays(s0), nullptr, nullptr, nullptr)), i);
  EXPECT_EQ(initialize_Widget(bays(s0), nullptr, nullptr, nullptr), nullptr);
  hm_node* w = initialize_Widget(bays(s1), nullptr, nullptr, nullptr);
  EXPECT_EQ(number(w), 0);
  EXPECT_NE(instance_info(w)->bitfield, instance_info(get_first_instance(bays(s0), "Widget"))->bitfield);

  // After shelf 0 goes, a new shelf 0 starts its widgets at 0 again.
  uint8_t* old_bits = instance_info(get_first_instance(bays(s0), "Widget"))->bitfield;
  ASSERT_EQ(delete_node(s0), 0u);
  hm_node* again = initialize_Shelf(root, nullptr, nullptr, nullptr);
  EXPECT_EQ(number(again), 0);
  hm_node* w0 = initialize_Widget(bays(again), nullptr, nullptr, nullptr);
  EXPECT_EQ(number(w0), 0);
  EXPECT_EQ(instance_info(w0)->bitfield, old_bits) << "bitfields stay where they are";
  EXPECT_EQ(child_names(root), "VARUServiceVersion,VARUHierarchyVersion,VARUDebugLevel,Shelf0,Shelf1");
}

TEST_F(BuilderTest, PersistenceFieldsFollowTheCaller) {
  hm_node* shelf = initialize_Shelf(root, nullptr, nullptr, nullptr);
  hm_node* reset = internal_get_node(shelf, "Reset", kAction);
  char params[6][256] = {"name", "10.0.0.1", "3260", ""};
  struct Row {
    bool with_action;
    bool with_params;
  };
  const Row rows[] = {{true, true}, {false, true}, {true, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.with_action) + "/" + std::to_string(r.with_params));
    const uint32_t before = persistency_priority;
    hm_node* w = initialize_Widget(bays(shelf), r.with_action ? shelf : nullptr, r.with_action ? reset : nullptr,
                                   r.with_params ? params : nullptr);
    ASSERT_NE(w, nullptr);
    hm_group_data* gd = group_data(w);
    EXPECT_EQ(gd->invoked_on, r.with_action ? shelf : nullptr);
    EXPECT_EQ(gd->creating_action, r.with_action ? reset : nullptr);
    EXPECT_EQ(gd->priority, r.with_action ? before : 0u);
    EXPECT_EQ(persistency_priority, before + (r.with_action ? 1u : 0u));
    if (r.with_params) {
      ASSERT_NE(gd->params, nullptr);
      EXPECT_EQ(std::memcmp(gd->params, params, sizeof params), 0);
    } else {
      EXPECT_EQ(gd->params, nullptr);
    }
  }
  // Static sub-groups never carry them.
  EXPECT_EQ(group_data(bays(shelf))->priority, 0u);
}

TEST_F(BuilderTest, GroupsAreReportedToTheRunningActionUpTo4097) {
  std::vector<uint32_t> tags(4098, 0xDEADBEEF);
  varu_internal_new_tags = tags.data();
  new_tag_index = 0;
  hm_node* shelf = initialize_Shelf(root, nullptr, nullptr, nullptr);
  hm_node* widget = initialize_Widget(bays(shelf), nullptr, nullptr, nullptr);
  EXPECT_EQ(tags[0], static_cast<uint32_t>(shelf->tag));
  EXPECT_EQ(tags[1], static_cast<uint32_t>(widget->tag));
  for (int i = 2; i < 4097; ++i) {
    hm_node* leaf = build_instance(kLeaf, root, nullptr, nullptr, nullptr);
    ASSERT_NE(leaf, nullptr) << i;
    ASSERT_EQ(tags[i], static_cast<uint32_t>(leaf->tag));
  }
  EXPECT_EQ(new_tag_index, 4097u);

  const uint32_t allocations = varu_alloc_count();
  const int32_t in_use = tags_in_use();
  testing::internal::CaptureStdout();
  EXPECT_EQ(build_instance(kLeaf, root, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many groups added in this action\n");
  EXPECT_EQ(varu_alloc_count(), allocations);
  EXPECT_EQ(tags_in_use(), in_use);
  EXPECT_EQ(tags[4097], 0xDEADBEEF);
  EXPECT_EQ(new_tag_index, 4097u);

  // Without a running action nothing is listed and nothing is refused.
  varu_internal_new_tags = nullptr;
  EXPECT_NE(build_instance(kLeaf, root, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(BuilderTest, AFailedBuildLeavesNothingBehind) {
  hm_node* first_shelf = initialize_Shelf(root, nullptr, nullptr, nullptr);
  hm_node* reset = internal_get_node(first_shelf, "Reset", kAction);
  char params[6][256] = {"p"};
  const uint32_t allocations = varu_alloc_count();
  const int32_t in_use = tags_in_use();
  const uint32_t priority = persistency_priority;
  const std::string chain = child_names(root);
  int failures = 0;
  hm_node* built = nullptr;
  // Fail each allocation of the build in turn: the group, every row, the parameter block.
  for (int32_t budget = 0; budget < 100 && built == nullptr; ++budget) {
    hm_fail_allocations_after(budget);
    built = initialize_Shelf(root, first_shelf, reset, params);
    hm_fail_allocations_after(-1);
    if (built != nullptr) break;
    ++failures;
    ASSERT_EQ(varu_alloc_count(), allocations) << budget;
    ASSERT_EQ(tags_in_use(), in_use) << budget;
    ASSERT_EQ(persistency_priority, priority) << budget;
    ASSERT_EQ(child_names(root), chain) << budget;
  }
  ASSERT_NE(built, nullptr);
  EXPECT_GE(failures, 15);
  EXPECT_EQ(number(built), 1) << "failed builds left the number free";
  EXPECT_EQ(group_data(built)->priority, priority);
}

TEST_F(BuilderTest, ABadTableMadeAtRunTimeBuildsNothing) {
  static InstanceBits bits;
  // The parent of row 0 is a later row: refused while compiling, and at run time too.
  static const SchemaRow rows[] = {
      property(1, "Early", "x", kReadOnly, handle_internal_property, length(0, 1)),
      group(kInstance, "Late", "x"),
  };
  GroupSpec bad{"Bad", "x", 4, nullptr, rows, 2, &bits};
  const uint32_t allocations = varu_alloc_count();
  EXPECT_EQ(build_instance(bad, root, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(varu_alloc_count(), allocations);
  EXPECT_EQ(tags_in_use(), 4);
  EXPECT_EQ(build_instance(kShelf, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST(SchemaTable, ProblemsAreFound) {
  const std::string long_name(35, 'n');
  const std::string long_value(256, 'v');
  struct Row {
    SchemaRow rows[2];
    size_t count;
    uint16_t max;
    const char* want;
  };
  const Row cases[] = {
      {{group(kInstance, "G", "d"), property(0, "P", "d", kReadOnly, handle_internal_property, length(0, 1))}, 2, 1,
       nullptr},
      {{group(kInstance, "G", "d")}, 1, 0, "group without instances"},
      {{property(0, "P", "d", kReadOnly, handle_internal_property, length(0, 1))}, 1, 1,
       "parent is not an earlier group row"},
      {{property(kInstance, "P", "d", kReadOnly, handle_internal_property, length(0, 1)),
        property(0, "Q", "d", kReadOnly, handle_internal_property, length(0, 1))},
       2, 1, "parent is not an earlier group row"},
      {{group(kInstance, long_name.c_str(), "d")}, 1, 1, "name missing or too long"},
      {{property(kInstance, "P", "d", 3, handle_internal_property, length(0, 1))}, 1, 1,
       "property access neither 1 nor 2"},
      {{property(kInstance, "P", "d", kReadOnly, handle_internal_property, length(0, 1), long_value.c_str())}, 1, 1,
       "default value too long"},
      {{property(kInstance, "P", "d", kReadOnly, handle_internal_property, one_of(long_value.c_str(), 0, 1))}, 1, 1,
       "allowed list too long"},
  };
  for (const Row& c : cases) {
    const char* got = schema_problem("G", "d", c.max, c.rows, c.count);
    EXPECT_STREQ(got != nullptr ? got : "(sound)", c.want != nullptr ? c.want : "(sound)");
  }
  EXPECT_STREQ(schema_problem(long_name.c_str(), "d", 1, nullptr, 0), "group name missing or too long");
}

}  // namespace
