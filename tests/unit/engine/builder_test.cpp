// The instance builder, driven by a small schema of its own.
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/item_rows.h"
#include "tree_helpers.h"

using namespace vx;
using vxtest::add_group;
using vxtest::child_names;
using vxtest::tags_in_use;

namespace {

uint32_t handle_mode(hm_node*, char*, uint32_t) { return 0; }
uint32_t refresh_bays(hm_node*) { return 0; }
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
};
constexpr GroupSpec kWidget = group_spec("Widget", "A widget.", 3, refresh_bays, kWidgetRows, g_widget_bits);

// Widgets made for shelves only: an array of one bitfield per shelf.
InstanceBits g_boxed_bits;
constexpr GroupSpec kBoxed = group_spec("Boxed", "A widget.", 3, nullptr, kWidgetRows, g_boxed_bits, 2);
static_assert(bitfield_array_bytes(kBoxed) == 2);

InstanceBits g_leaf_bits;
constexpr GroupSpec kLeaf = group_spec("Leaf", "A leaf.", 5000, nullptr, g_leaf_bits);

InstanceBits g_item_bits;
constexpr GroupSpec kItem = group_spec("Item", "", 4096, nullptr, vxtest::kItemRows, g_item_bits);

static_assert(schema_problem("Shelf", "A shelf.", 2, kShelfRows, 8) == nullptr);

struct BuilderTest : vxtest::TreeFixture {
  hm_node* shelf(hm_node* o = nullptr, hm_node* a = nullptr, char params[6][256] = nullptr) {
    return build_instance(kShelf, root, o, a, params);
  }
  hm_node* widget(hm_node* s, hm_node* o = nullptr, hm_node* a = nullptr, char params[6][256] = nullptr) {
    return build_instance(kWidget, bays(s), o, a, params);
  }
  hm_node* bays(hm_node* s) { return internal_get_node(s, "Bays", kGroup); }
  int32_t number(hm_node* n) { return n != nullptr ? instance_info(n)->number : -1; }
};

TEST_F(BuilderTest, GroupsAreReportedToTheRunningActionUpTo4097) {
  std::vector<uint32_t> tags(4098, 0xDEADBEEF);
  varu_internal_new_tags = tags.data();
  new_tag_index = 0;
  hm_node* s = shelf();
  EXPECT_EQ(tags[0], static_cast<uint32_t>(s->tag));
  EXPECT_EQ(tags[1], static_cast<uint32_t>(widget(s)->tag));
  for (int i = 2; i < 4097; ++i) {
    hm_node* leaf = build_instance(kLeaf, root, nullptr, nullptr, nullptr);
    ASSERT_NE(leaf, nullptr) << i;
    ASSERT_EQ(tags[i], static_cast<uint32_t>(leaf->tag));
  }
  const uint32_t allocations = varu_alloc_count();
  const int32_t in_use = tags_in_use();
  testing::internal::CaptureStdout();
  EXPECT_EQ(build_instance(kLeaf, root, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many groups added in this action\n");
  EXPECT_EQ(varu_alloc_count(), allocations);
  EXPECT_EQ(tags_in_use(), in_use);
  EXPECT_EQ(tags[4097], 0xDEADBEEF);
  varu_internal_new_tags = nullptr;
  EXPECT_NE(build_instance(kLeaf, root, nullptr, nullptr, nullptr), nullptr) << "no running action: no limit";
}

TEST_F(BuilderTest, AFailedBuildLeavesNothingBehind) {
  hm_node* first = shelf();
  hm_node* reset = internal_get_node(first, "Reset", kAction);
  char params[6][256] = {"p"};
  const uint32_t allocations = varu_alloc_count();
  const int32_t in_use = tags_in_use();
  const uint32_t priority = persistency_priority;
  const std::string chain = child_names(root);
  hm_node* built = nullptr;
  int failures = 0;
  // Fail each allocation of the build in turn: the instance with its rows, the parameter block.
  for (int32_t budget = 0; budget < 100 && built == nullptr; ++budget, ++failures) {
    hm_fail_allocations_after(budget);
    built = shelf(first, reset, params);
    hm_fail_allocations_after(-1);
    if (built != nullptr) break;
    ASSERT_EQ(varu_alloc_count(), allocations) << budget;
    ASSERT_EQ(tags_in_use(), in_use) << budget;
    ASSERT_EQ(persistency_priority, priority) << budget;
    ASSERT_EQ(child_names(root), chain) << budget;
  }
  ASSERT_NE(built, nullptr);
  EXPECT_EQ(failures, 2) << "one allocation for the instance with its rows, one for the parameter block";
  EXPECT_EQ(number(built), 1) << "failed builds left the number free";
}

TEST_F(BuilderTest, AParentPastTheBitfieldArrayGetsNoInstance) {
  hm_node* s0 = shelf();
  hm_node* s1 = shelf();
  hm_node* under_s0 = widget(s0);
  hm_node* under_s1 = widget(s1);
  EXPECT_NE(build_instance(kBoxed, bays(s1), nullptr, nullptr, nullptr), nullptr) << "bitfield 1 of 2";
  EXPECT_NE(build_instance(kBoxed, under_s0, nullptr, nullptr, nullptr), nullptr) << "Widget0 of Shelf0: bitfield 0";
  const uint32_t allocations = varu_alloc_count();
  const int32_t in_use = tags_in_use();
  // Widget0 of Shelf1 is the fourth combination of ancestors' numbers: past the array.
  EXPECT_EQ(build_instance(kBoxed, under_s1, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(varu_alloc_count(), allocations);
  EXPECT_EQ(tags_in_use(), in_use);
  EXPECT_EQ(child_names(under_s1), "Serial");
}

// An instance with every node of its rows is one allocation; a value longer than a property's
// record holds, the creating action's parameters and a ring's sentinel are one more each.
TEST_F(BuilderTest, AnInstanceWithItsRowsIsOneAllocation) {
  shelf();   // the ring of shelves and its sentinel stand
  char params[6][256] = {"p"};
  const std::string long_label(100, 'L');
  struct Step {
    const char* what;
    std::function<void()> run;
    int32_t allocations;
  };
  hm_node* s = nullptr;
  const Step kSteps[] = {
      {"instance", [&] { s = shelf(); }, 1},
      {"its first widget and the widgets' ring", [&] { widget(s); }, 2},
      {"a second widget", [&] { widget(s); }, 1},
      {"a long value", [&] { set_prop_val(s, "Label", "%s", long_label.c_str()); }, 1},
      {"a short value again", [&] { set_prop_val(s, "Label", "short"); }, -1},
      {"a row deleted on its own", [&] { delete_node(internal_get_node(s, "Label", kProperty)); }, 0},
      {"the instance with its widgets and their ring", [&] { delete_node(s); }, -4},
      {"an instance with the creating action's parameters", [&] { s = shelf(nullptr, nullptr, params); }, 2},
  };
  for (const Step& step : kSteps) {
    const uint32_t before = varu_alloc_count();
    step.run();
    EXPECT_EQ(static_cast<int32_t>(varu_alloc_count() - before), step.allocations) << step.what;
  }
}

// The allocation goes with the last of its nodes, whichever order they are deleted in: every node
// read after its neighbours went, nothing left behind.
TEST_F(BuilderTest, AnInstancesNodesGoInAnyOrder) {
  shelf();
  const std::vector<std::vector<const char*>> kPlans = {
      {},
      {"Label", "Reset", "Bays/Count"},
      {"Bays"},
      {"Config/Advanced/Speed", "Config/Advanced", "Config/Mode", "Config", "Bays/Widget1", "Bays/Count", "Bays",
       "Reset", "Label"},
      {"Bays/Widget0", "Config", "Bays/Widget1", "Label", "Bays", "Reset"},
  };
  for (const auto& plan : kPlans) {
    const uint32_t start = varu_alloc_count();
    hm_node* s = shelf();
    widget(s);
    widget(s);
    set_prop_val(internal_get_node(s, "Config", kGroup), "Mode", "%s", std::string(200, 'M').c_str());
    std::string deleted;
    for (const char* path : plan) {
      hm_node* n = s;
      std::string rest = path;
      for (size_t slash; n != nullptr; rest = rest.substr(slash + 1)) {
        slash = rest.find('/');
        n = internal_get_node(n, rest.substr(0, slash).c_str(), 0);
        if (slash == std::string::npos) break;
      }
      ASSERT_NE(n, nullptr) << path;
      ASSERT_EQ(delete_node(n), 0u) << path;
      deleted += std::string(deleted.empty() ? "" : ",") + path;
      char shown[kNameSize];
      hm_instance_name(s, shown);
      EXPECT_STREQ(shown, "Shelf1") << "after " << deleted;
    }
    EXPECT_EQ(delete_node(s), 0u);
    EXPECT_EQ(varu_alloc_count(), start) << "after " << deleted;
  }
}

// Heap per node of a tree of the usual shape (instances of nine short properties), allocator
// overhead included. Sanitizers keep their own heap, so only the plain builds measure it.
TEST_F(BuilderTest, ATreeOfPropertiesTakesLittleHeapPerNode) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer's allocator is not glibc's";
#else
  constexpr int kItems = 2000;
  constexpr double kLimit = sizeof(void*) == 8 ? 160 : 112;
  hm_node* top = add_group(root, "Items");   // the instance ring and its sentinel stand
  build_instance(kItem, top, nullptr, nullptr, nullptr);
  const size_t before = mallinfo2().uordblks;
  for (int i = 1; i < kItems; ++i) ASSERT_NE(build_instance(kItem, top, nullptr, nullptr, nullptr), nullptr);
  const double per_node = static_cast<double>(mallinfo2().uordblks - before) / ((kItems - 1) * 10);
  RecordProperty("bytes_per_node", std::to_string(per_node));
  std::printf("heap per node: %.1f bytes (%zu-bit)\n", per_node, sizeof(void*) * 8);
  EXPECT_LE(per_node, kLimit);
#endif
}

}  // namespace
