// The node tree: tags, instance rings, lookups, deletion and links, the bootstrap, the property cache.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "tree_helpers.h"

using namespace vx;
using vxtest::add_action;
using vxtest::add_group;
using vxtest::add_instance;
using vxtest::add_property;
using vxtest::child_names;
using vxtest::ring_numbers;
using vxtest::tags_in_use;

namespace {

using TreeTest = vxtest::TreeFixture;

uint8_t g_target_bits[32];
uint8_t g_session_bits[32];

uint32_t do_nothing(hm_node*, hm_node*, char[6][256]) { return 0; }
const hm_action_descriptor kGlobalAction{do_nothing, 1, 0, {}};
const hm_action_descriptor kLocalAction{do_nothing, 0, 2,
                                        {{1, "TargetName", "name", 0, nullptr, 1, 223},
                                         {0, "PortNumber", "port", 1, nullptr, 1, 65535},
                                         {0, "Hidden", "beyond the count", 0, nullptr, 0, 0}}};

// Rows of internal_get_node lookups and what each finds.
struct Lookup {
  hm_node* parent;
  const char* name;
  uint32_t kind;
  hm_node* want;
};
template <size_t N>
void expect_lookups(const Lookup (&rows)[N]) {
  for (const Lookup& r : rows) {
    EXPECT_EQ(internal_get_node(r.parent, r.name, r.kind), r.want) << (r.name ? r.name : "(null)") << " " << r.kind;
  }
}

// Bootstraps whose allocations fail (budgets 2 to 5: "ROOT"'s data block, then each
// property's), more often than the registry has slots, leave no tree; exit frees everything,
// links included, and a rebuild starts at tag 0 again.
TEST(TreeLifecycle, ExitAndFailedBootstrapsLeaveNothing) {
  vxtest::TempRoot temp;
  const uint32_t start = varu_alloc_count();
  for (int round = 0; round < 2; ++round) {
    for (int32_t budget : {2, 3, 4, 5}) {
      hm_fail_allocations_after(budget);
      EXPECT_EQ(init_hm(), 1) << budget;
      hm_fail_allocations_after(-1);
      EXPECT_EQ(get_node(0), nullptr);
    }
    ASSERT_EQ(init_hm(), 0);
    EXPECT_EQ(init_hm(), 1) << "a standing tree is not built twice";
    hm_node* root = hierarchy_name_.root;
    hm_node* lhba = add_group(root, "LogicalHBA");
    hm_node* target = add_instance(lhba, "Target", 3, g_target_bits, 256);
    EXPECT_EQ(get_node(4), lhba);
    hm_node* link = create_link(root, "ToTarget", target, nullptr, nullptr, nullptr);
    create_link(lhba, "ToLink", link, nullptr, nullptr, nullptr);
    create_link(target, "ToRootProperty", get_node(1), nullptr, nullptr, nullptr);
    exit_hm();
    EXPECT_EQ(get_node(0), nullptr);
    EXPECT_EQ(varu_alloc_count(), start);
    EXPECT_EQ(is_set(g_target_bits, 256, 3), 0);
  }
}

// Instances stand together in ascending order, in one ring per name and parent; children added
// after the first instance follow the instances.
TEST_F(TreeTest, InstancesStandTogetherInAscendingOrderOneRingPerNameAndParent) {
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* other = add_group(root, "LogicalHBA");
  hm_node* t4 = add_instance(lhba, "Target", 4, g_target_bits, 256);
  add_property(lhba, "After");
  hm_node* s1 = add_instance(lhba, "Session", 1, g_session_bits, 64);
  for (int n : {7, 1, 5}) add_instance(lhba, "Target", n, g_target_bits, 256);
  add_instance(lhba, "Session", 0, g_session_bits, 64);
  hm_node* o4 = add_instance(other, "Target", 4, nullptr, 256);
  EXPECT_EQ(child_names(lhba), "Target1,Target4,Target5,Target7,After,Session0,Session1");
  EXPECT_EQ(ring_numbers(t4), "1,4,5,7");
  EXPECT_EQ(ring_numbers(s1), "0,1");
  EXPECT_EQ(ring_numbers(o4), "4");
  EXPECT_EQ(get_first_instance(lhba, "Target"), internal_get_node(lhba, "Target1", kGroup));
  EXPECT_EQ(get_first_instance(lhba, "target"), nullptr) << "the group name is compared exactly";
}

TEST_F(TreeTest, NameLookupsCompareShownNamesIgnoringCase) {
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* prop = add_property(lhba, "TargetName");
  hm_node* t3 = add_instance(lhba, "Target", 3, g_target_bits, 256);
  hm_node* t12 = add_instance(lhba, "Target", 12, g_target_bits, 256);
  hm_node* local = add_action(lhba, "Login", kLocalAction);
  hm_node* alias = create_link(lhba, "Alias", t3, nullptr, nullptr, nullptr);
  hm_node* prop_link = create_link(lhba, "NameLink", prop, nullptr, nullptr, nullptr);
  hm_node* global = add_action(root, "GlobalReset", kGlobalAction);
  add_action(root, "RootOnly", kLocalAction);
  hm_node* inner = add_group(t3, "Inner");
  const std::string long_name(34, 'L'), longer = long_name + "12";   // shown names are cut at 34 characters
  hm_node* long_group = add_instance(lhba, long_name.c_str(), 12, nullptr, 100);
  expect_lookups({
      {lhba, "target3", kGroup, t3},          {lhba, "TARGET12", 0, t12},
      {lhba, "Target", kGroup, nullptr},      {lhba, "Target1", kGroup, nullptr},
      {lhba, "Target03", kGroup, nullptr},    {lhba, "Target3", kProperty, nullptr},
      {lhba, "targetname", kProperty, prop},  {lhba, "TargetName", kGroup, nullptr},
      {lhba, "login", kAction, local},        {lhba, "Alias", kGroup, alias},   // a link counts as its target's kind
      {lhba, "Alias", kLink, nullptr},        {lhba, "namelink", kProperty, prop_link},
      {lhba, "GlobalReset", kAction, global}, {lhba, "GlobalReset", 0, nullptr},
      {lhba, "RootOnly", kAction, nullptr},   {alias, "inner", kGroup, inner},   // a link parent stands for its target
      {lhba, nullptr, 0, nullptr},            {nullptr, "Target3", 0, nullptr},
      {prop, "X", 0, nullptr},                {lhba, long_name.c_str(), kGroup, long_group},
      {lhba, longer.c_str(), kGroup, nullptr},
  });
  EXPECT_EQ(varu_internal_get_param(local, "targetname"), &kLocalAction.params[0]);
  EXPECT_EQ(varu_internal_get_param(local, "Hidden"), nullptr) << "only the first param_count slots";
  EXPECT_EQ(varu_internal_get_param(prop, "TargetName"), nullptr);
}

// An instance is found by number through its ring, and finds what the walk over the children
// finds: a name two instances show, a static group or property that looks like an instance,
// leading zeros, rings no index holds (a negative number, memory refused), numbers reused.
TEST_F(TreeTest, InstancesFoundByNumberAsTheWalkFindsThem) {
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* target1_7 = add_instance(lhba, "Target1", 7, nullptr, 16);   // "Target17", first in order
  std::vector<hm_node*> t, u, p;
  for (int n = 0; n < 70; ++n) t.push_back(add_instance(lhba, "Target", n, nullptr, 4096));
  hm_node* target0_5 = add_instance(lhba, "Target0", 5, nullptr, 16);
  hm_node* port = add_group(root, "Port");
  hm_node* static7 = add_group(port, "Unit7");
  for (int n = 0; n < 10; ++n) u.push_back(add_instance(port, "Unit", n, nullptr, 16));
  hm_node* prop12 = add_property(port, "Unit12");
  hm_node* negative = add_instance(root, "Neg", -3, nullptr, 8);
  hm_node* pool = add_group(root, "Pool");
  for (int n = 0; n < 9; ++n) {
    hm_fail_allocations_after(n == 8 ? 3 : -1);   // the ninth is made, the index of its ring is not
    p.push_back(add_instance(pool, "Pool", n, nullptr, 16));
  }
  hm_fail_allocations_after(-1);
  expect_lookups({
      {lhba, "target17", 0, target1_7}, {lhba, "TARGET23", kGroup, t[23]},   {lhba, "Target05", 0, target0_5},
      {lhba, "Target007", 0, nullptr},  {lhba, "Target64", kGroup, t[64]},   {lhba, "Target70", 0, nullptr},
      {lhba, "Target3", kAction, nullptr}, {lhba, "Target4294967296", 0, nullptr}, {lhba, "Target-1", 0, nullptr},
      {port, "unit7", kGroup, static7}, {port, "Unit8", 0, u[8]},            {port, "Unit12", kProperty, prop12},
      {port, "Unit12", kGroup, nullptr}, {root, "neg-3", 0, negative},      {pool, "pool8", kGroup, p[8]},
  });
  for (hm_node* gone : {t[3], t[69], static7}) ASSERT_EQ(delete_node(gone), kStatusOk);
  hm_node* again = add_instance(lhba, "Target", 3, nullptr, 4096);
  for (int n = 64; n < 69; ++n) delete_node(t[static_cast<size_t>(n)]);   // a page of numbers emptied
  hm_node* t66 = add_instance(lhba, "Target", 66, nullptr, 4096);
  expect_lookups({{lhba, "target3", kGroup, again}, {lhba, "Target69", 0, nullptr}, {port, "Unit7", 0, u[7]},
                  {lhba, "TARGET66", 0, t66}});
  EXPECT_EQ(child_names(lhba).substr(0, 48), "Target17,Target0,Target1,Target2,Target3,Target4");
  EXPECT_EQ(instance_info(t66)->prev, t[63]);
  for (int n = 63; n > 0; --n) delete_node(n == 3 ? again : t[static_cast<size_t>(n)]);
  expect_lookups({{lhba, "Target0", 0, t[0]}, {lhba, "Target2", 0, nullptr}, {lhba, "Target05", 0, target0_5}});
}

TEST_F(TreeTest, PropertyCacheIsBounded) {
  hm_node* g = add_group(root, "G");
  hm_node* p = add_property(g, "Value", "start");
  create_link(g, "ValueLink", p, nullptr, nullptr, nullptr);
  const std::string long_text(300, 'v');
  char buf[kValueSize];
  EXPECT_EQ(set_prop_val(g, "value", "%s-%d", "n", 7), 0);
  EXPECT_STREQ(property_value(property_data(p)), "n-7");
  EXPECT_EQ(set_prop_val(g, "Missing", "%s", "x") + set_prop_val(g, "G", "%s", "x"), 2);
  EXPECT_EQ(set_prop_val(g, "ValueLink", "%s", long_text.c_str()), 0);
  EXPECT_EQ(std::string(property_value(property_data(p))), long_text.substr(0, 255));
  EXPECT_EQ(SET_CACHE_PROP_VAL(g, "%d", 42), -1);
  std::string in = long_text;
  EXPECT_EQ(handle_internal_property(p, in.data(), kSet), 0u);
  EXPECT_EQ(handle_internal_property(p, buf, kGet), 0u);
  EXPECT_EQ(std::string(buf), long_text.substr(0, 255));
  EXPECT_EQ(handle_internal_property(g, buf, kGet), 1u);
  char value[kValueSize] = "written";
  EXPECT_EQ(internal_set_property(g, "VALUE", value) + internal_get_property(g, "ValueLink", buf), 0u);
  EXPECT_STREQ(buf, "written");
}

// A value of any length, written any way, reads back as it was written (cut at 255 characters),
// also after a longer or a shorter one; each row's text is made of its own letter so a byte left
// from an earlier value shows. What a value kept on the heap took is freed with its property.
TEST_F(TreeTest, CachedValuesOfEveryLengthReadBackExactly) {
  enum class Way { kSetPropVal, kCache, kHandler, kOwnText };
  struct Row {
    size_t length;
    Way way;
  };
  constexpr Row kRows[] = {
      {0, Way::kHandler},   {23, Way::kSetPropVal}, {24, Way::kCache},      {200, Way::kHandler},
      {25, Way::kSetPropVal}, {255, Way::kCache},   {256, Way::kHandler},   {1, Way::kSetPropVal},
      {300, Way::kCache},   {22, Way::kHandler},    {254, Way::kSetPropVal}, {100, Way::kOwnText},
      {40, Way::kOwnText},  {30, Way::kHandler},    {10, Way::kOwnText},
  };
  const uint32_t start = varu_alloc_count();
  hm_node* g = add_group(root, "G");
  hm_node* p = add_property(g, "Value");
  hm_property* data = property_data(p);
  char letter = 'a';
  for (const Row& r : kRows) {
    std::string text(r.length, letter++);
    std::string want = text.substr(0, kValueSize - 1);
    switch (r.way) {
      case Way::kSetPropVal: ASSERT_EQ(set_prop_val(g, "Value", "%s", text.c_str()), 0); break;
      case Way::kCache:
        ASSERT_EQ(SET_CACHE_PROP_VAL(p, "%s", text.c_str()), static_cast<int>(r.length));
        break;
      case Way::kHandler: ASSERT_EQ(handle_internal_property(p, text.data(), kSet), 0u); break;
      case Way::kOwnText: {
        // The tail of the value written over the value itself.
        std::string before = property_value(data);
        ASSERT_GE(before.size(), r.length);
        want = before.substr(before.size() - r.length);
        char* tail = const_cast<char*>(property_value(data)) + before.size() - r.length;
        ASSERT_EQ(handle_internal_property(p, tail, kSet), 0u);
        break;
      }
    }
    char buf[kValueSize];
    std::memset(buf, 'x', sizeof buf);
    ASSERT_EQ(internal_get_property(g, "Value", buf), 0u);
    EXPECT_EQ(std::string(buf), want) << r.length;
    EXPECT_EQ(std::string(property_value(data)), want) << r.length;
  }
  EXPECT_EQ(delete_node(g), 0u);
  EXPECT_EQ(varu_alloc_count(), start);
}

// A long value needs memory; without it the write fails with its status and the value stays.
TEST_F(TreeTest, AValueWithoutMemoryForItKeepsTheOldOne) {
  hm_node* g = add_group(root, "G");
  hm_node* p = add_property(g, "Value", "short");
  std::string text(100, 'L');
  hm_fail_allocations_after(0);
  EXPECT_STATUS(handle_internal_property(p, text.data(), kSet), 1u, msg::kOutOfMemory);
  EXPECT_EQ(set_prop_val(g, "Value", "%s", text.c_str()), 1);
  EXPECT_EQ(SET_CACHE_PROP_VAL(p, "%s", text.c_str()), -1);
  EXPECT_EQ(handle_internal_property(p, text.data() + 90, kSet), 0u) << "a short text needs none";
  hm_fail_allocations_after(-1);
  EXPECT_STREQ(property_value(property_data(p)), "LLLLLLLLLL");
}

TEST_F(TreeTest, DeletingASubtreeFreesItAllAndClearsTheBit) {
  const uint32_t start = varu_alloc_count();
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* t2 = add_instance(lhba, "Target", 2, g_target_bits, 256);
  add_property(add_group(t2, "Login"), "InitialR2T");
  add_action(t2, "Logout", kLocalAction);
  hm_node* t0 = add_instance(lhba, "Target", 0, g_target_bits, 256);
  EXPECT_EQ(delete_node(t2), 0u);
  EXPECT_EQ(is_set(g_target_bits, 256, 2), 0);
  EXPECT_NE(is_set(g_target_bits, 256, 0), 0);
  EXPECT_EQ(child_names(lhba), "Target0");
  EXPECT_EQ(ring_numbers(t0), "0");
  // The last instance takes its sentinel with it; a new one makes a new sentinel.
  EXPECT_EQ(delete_node(t0), 0u);
  EXPECT_EQ(ring_numbers(add_instance(lhba, "Target", 7, g_target_bits, 256)), "7");
  EXPECT_EQ(delete_node(lhba), 0u);
  EXPECT_EQ(get_first_one(g_target_bits, 256), -1);
  EXPECT_EQ(varu_alloc_count(), start);
  EXPECT_EQ(delete_node(nullptr), 1u);
}

// A link from outside blocks the delete of its target and every ancestor; links inside the
// subtree (before their target in the walk, or to a link) do not; a forced delete removes the
// links into the subtree first.
TEST_F(TreeTest, LinksIntoASubtreeGuardItsDelete) {
  const uint32_t start = varu_alloc_count();
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* early = create_link(lhba, "Early", lhba, nullptr, nullptr, nullptr);
  hm_node* t1 = add_instance(lhba, "Target", 1, g_target_bits, 256);
  hm_node* auth = add_group(t1, "Authentication");
  hm_node* secret = add_property(auth, "TargetSecret");
  create_link(t1, "Back", early, nullptr, nullptr, nullptr);
  hm_node* elsewhere = add_group(root, "Elsewhere");
  hm_node* link = create_link(elsewhere, "Secret", secret, nullptr, nullptr, nullptr);
  EXPECT_EQ(create_link(elsewhere, "SECRET", secret, nullptr, nullptr, nullptr), nullptr) << "names are unique";
  EXPECT_EQ(add_instance(lhba, "target", 1, nullptr, 256), nullptr) << "numbers are unique";
  const int32_t before = tags_in_use();
  for (hm_node* n : {secret, auth, t1, lhba}) EXPECT_EQ(delete_node(n), kStatusStillLinked) << n->name;
  EXPECT_EQ(tags_in_use(), before);
  EXPECT_EQ(delete_node(link), 0u);
  EXPECT_EQ(secret->link_count, 0u);
  hm_node* outside = add_property(root, "Outside");
  create_link(t1, "Out", outside, nullptr, nullptr, nullptr);
  EXPECT_EQ(delete_node(lhba), 0u);
  EXPECT_EQ(outside->link_count, 0u);

  hm_node* t = add_instance(add_group(root, "Again"), "Target", 1, g_target_bits, 256);
  hm_node* to_prop = create_link(elsewhere, "Name", add_property(t, "TargetName"), nullptr, nullptr, nullptr);
  hm_node* to_link = create_link(root, "NameAgain", to_prop, nullptr, nullptr, nullptr);
  const int32_t link_tags[] = {to_prop->tag, to_link->tag};
  _delete_node(t);
  for (int32_t tag : link_tags) EXPECT_EQ(get_node(tag), nullptr) << tag;
  EXPECT_EQ(child_names(elsewhere), "");
  for (const char* name : {"Again", "Elsewhere", "Outside"}) {
    EXPECT_EQ(delete_node(internal_get_node(root, name, 0)), 0u) << name;
  }
  EXPECT_EQ(varu_alloc_count(), start);
}

}  // namespace
