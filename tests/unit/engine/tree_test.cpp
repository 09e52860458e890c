// The node tree: tags, instance rings, lookups, deletion and links, the bootstrap, the property cache.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

// ---- bootstrap ---------------------------------------------------------------------------------

TEST_F(TreeTest, BootstrapGivesRootAndItsPropertiesTagsZeroToThree) {
  ASSERT_EQ(get_node(0), root);
  EXPECT_STREQ(root->name, "ROOT");
  EXPECT_STREQ(root->description, " ");
  EXPECT_EQ(root->parent, root);
  EXPECT_EQ(root->kind, kGroup);
  EXPECT_EQ(persistency_priority, 1u);
  EXPECT_EQ(hm_get_root(""), root);
  EXPECT_EQ(child_names(root), "VARUServiceVersion,VARUHierarchyVersion,VARUDebugLevel");

  struct Row {
    int32_t tag;
    const char* name;
    const char* description;
    const char* value;
    uint32_t access;
    hm_property_handler handler;
    uint8_t vtype;
    int32_t min, max;
    const char* allowed;
  };
  const Row rows[] = {
      {1, "VARUServiceVersion", "This property specifies the version number of the VaruService.", "0", 1,
       handle_internal_property, 0, 5, 32, nullptr},
      {2, "VARUHierarchyVersion", "This property specifies the version number of the VARU hierarchy.", "0", 1,
       handle_internal_property, 0, 3, 32, nullptr},
      {3, "VARUDebugLevel",
       "This property specifies the VARUDebugLevel. Possible values are 0 - Disabled, 1 - FATAL, 2 - CRITICAL, 3 - "
       "ERROR, 4 - WARNING, 5 - INFORMATION, 6 - DEBUG. By default VARUDebugLevel is 3 - Error. If VARU or system is "
       "restarted VARUDebugLevel will be the default value.",
       "3", 2, handle_VARUDebugLevel, 4, 5, 11, "0,1,2,3,4,5,6"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    hm_node* n = get_node(r.tag);
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n->name, r.name);
    EXPECT_STREQ(n->description, r.description);
    EXPECT_EQ(n->parent, root);
    hm_property* p = property_data(n);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->value, r.value);
    EXPECT_EQ(p->access, r.access);
    EXPECT_EQ(p->handler, r.handler);
    EXPECT_EQ(p->vtype, r.vtype);
    EXPECT_EQ(p->min, r.min);
    EXPECT_EQ(p->max, r.max);
    if (r.allowed == nullptr) {
      EXPECT_EQ(p->allowed, nullptr);
    } else {
      EXPECT_STREQ(p->allowed, r.allowed);
    }
  }
}

TEST(TreeLifecycle, ExitFreesEverythingAndARebuildStartsAgainAtTagZero) {
  vxtest::TempRoot temp;
  uint32_t start = varu_alloc_count();
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(init_hm(), 0);
    EXPECT_EQ(init_hm(), 1) << "a standing tree is not built twice";
    hm_node* lhba = add_group(hierarchy_name_.root, "LogicalHBA");
    add_instance(lhba, "Target", 3, g_target_bits, 256);
    EXPECT_EQ(get_node(4), lhba);
    exit_hm();
    EXPECT_EQ(get_node(0), nullptr);
    EXPECT_EQ(varu_alloc_count(), start);
    EXPECT_EQ(is_set(g_target_bits, 256, 3), 0);
  }
}

TEST(TreeLifecycle, FailedBootstrapsNeitherLeakNorFillTheRegistry) {
  vxtest::TempRoot temp;
  const uint32_t start = varu_alloc_count();
  // Budgets 2 to 5 fail "ROOT"'s data block and then each property's in turn; more attempts than
  // the registry has slots.
  for (int32_t budget : {2, 3, 4, 5, 2, 3, 4, 5}) {
    hm_fail_allocations_after(budget);
    EXPECT_EQ(init_hm(), 1) << budget;
    hm_fail_allocations_after(-1);
    EXPECT_EQ(get_node(0), nullptr);
  }
  ASSERT_EQ(init_hm(), 0);
  EXPECT_NE(get_node(3), nullptr);
  exit_hm();
  EXPECT_EQ(varu_alloc_count(), start);
}

// ---- registry and tags -------------------------------------------------------------------------

TEST(Registry, FiveHierarchiesAtMostAndExactNames) {
  static hm_node roots[6];
  static hm_hierarchy h[6];
  const char* names[6] = {"a", "b", "c", "d", "e", "f"};
  for (int i = 0; i < 6; ++i) {
    h[i].name = names[i];
    h[i].root = &roots[i];
  }
  for (int i = 0; i < 5; ++i) EXPECT_EQ(hm_setup_hierarchy(&h[i]), 0) << i;
  EXPECT_EQ(hm_setup_hierarchy(&h[5]), 1);
  EXPECT_EQ(h[5].table, nullptr);
  EXPECT_EQ(hm_find_hierarchy("f"), nullptr);
  EXPECT_EQ(hm_find_hierarchy("c"), &h[2]);
  EXPECT_EQ(hm_find_hierarchy("C"), nullptr);
  EXPECT_EQ(hm_find_hierarchy(nullptr), nullptr);
  EXPECT_EQ(hm_get_root("e"), &roots[4]);
  EXPECT_EQ(hm_get_root("x"), nullptr);
  // Setting up a registered, empty hierarchy again keeps its slot.
  EXPECT_EQ(hm_setup_hierarchy(&h[1]), 0);
  EXPECT_EQ(h[1].capacity, 1024);
  exit_hm();
  EXPECT_EQ(hm_find_hierarchy("a"), nullptr);
  EXPECT_EQ(hm_setup_hierarchy(&h[5]), 0);
  exit_hm();
}

TEST_F(TreeTest, GetNodeNeverReadsOutsideTheTable) {
  add_group(root, "Four");
  const int32_t capacity = hierarchy_name_.capacity;
  const int32_t tags[] = {-1, INT32_MIN, capacity, capacity + 1, INT32_MAX, 5, 1023};
  for (int32_t tag : tags) EXPECT_EQ(get_node(tag), nullptr) << tag;
  EXPECT_NE(get_node(4), nullptr);
  std::strcpy(varu_current_hierarchy, "other");
  EXPECT_EQ(get_node(0), nullptr);
  varu_current_hierarchy[0] = '\0';
}

TEST_F(TreeTest, TagsAreReusedLowestFirst) {
  hm_node* a = add_group(root, "A");
  hm_node* b = add_group(root, "B");
  hm_node* c = add_group(root, "C");
  ASSERT_EQ(a->tag, 4);
  ASSERT_EQ(c->tag, 6);
  EXPECT_EQ(delete_node(b), 0u);
  EXPECT_EQ(delete_node(a), 0u);
  EXPECT_EQ(get_node(5), nullptr);
  EXPECT_EQ(add_group(root, "D")->tag, 4);
  EXPECT_EQ(add_group(root, "E")->tag, 5);
  EXPECT_EQ(add_group(root, "F")->tag, 7);
  EXPECT_EQ(child_names(root), "VARUServiceVersion,VARUHierarchyVersion,VARUDebugLevel,C,D,E,F");
}

TEST_F(TreeTest, TableGrowsPastOneThousandTwentyFour) {
  uint32_t start = varu_alloc_count();
  hm_node* g = add_group(root, "Many");
  for (int i = 0; i < 1100; ++i) ASSERT_NE(add_property(g, "P"), nullptr) << i;
  EXPECT_EQ(hierarchy_name_.capacity, 2048);
  EXPECT_EQ(tags_in_use(), 4 + 1 + 1100);
  for (int32_t t = 0; t < 4 + 1 + 1100; ++t) ASSERT_NE(get_node(t), nullptr) << t;
  EXPECT_EQ(get_node(1105), nullptr);
  EXPECT_EQ(delete_node(g), 0u);
  EXPECT_EQ(tags_in_use(), 4);
  EXPECT_EQ(add_group(root, "Next")->tag, 4);
  EXPECT_EQ(delete_node(get_node(4)), 0u);
  // The grown table stays; everything else is back.
  EXPECT_EQ(varu_alloc_count(), start);
}

TEST(TreeFull, TheLargestTableRefusesAndSaysSo) {
  const uint32_t start = varu_alloc_count();
  static hm_hierarchy small;
  auto* top = static_cast<hm_node*>(hm_alloc(sizeof(hm_node)));
  auto* gd = static_cast<hm_group_data*>(hm_alloc(sizeof(hm_group_data)));
  top->kind = kGroup;
  top->name = "TOP";
  top->parent = top;
  top->data = gd;
  small.name = "small";
  small.root = top;
  small.max_tags = 2048;
  ASSERT_EQ(hm_setup_hierarchy(&small), 0);
  ASSERT_EQ(add_node(top, &small), 0);
  for (int i = 1; i < 2048; ++i) {
    auto* n = vxtest::new_test_node(top, kProperty, "P", hm_alloc(sizeof(hm_property)));
    ASSERT_EQ(add_node(n, &small), i);
  }
  auto* extra = vxtest::new_test_node(top, kProperty, "P", hm_alloc(sizeof(hm_property)));
  testing::internal::CaptureStdout();
  EXPECT_EQ(add_node(extra, &small), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hierarchy FULL!\n");
  varu_dfree(extra->data);
  varu_dfree(extra);
  exit_hm();
  EXPECT_EQ(varu_alloc_count(), start);
}

// ---- instance rings ----------------------------------------------------------------------------

TEST_F(TreeTest, InstancesStandTogetherInAscendingOrder) {
  struct Row {
    std::vector<int> numbers;   // in the order they are added
    const char* chain;
    const char* ring;
  };
  const Row rows[] = {
      {{5, 2}, "Before,Target2,Target5,After", "2,5"},
      {{5, 2, 7, 3, 0}, "Before,Target0,Target2,Target3,Target5,Target7,After", "0,2,3,5,7"},
      {{1, 2, 3}, "Before,Target1,Target2,Target3,After", "1,2,3"},
      {{9}, "Before,Target9,After", "9"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.chain);
    hm_node* lhba = add_group(root, "LogicalHBA");
    add_property(lhba, "Before");
    std::vector<hm_node*> made;
    for (size_t i = 0; i < r.numbers.size(); ++i) {
      made.push_back(add_instance(lhba, "Target", r.numbers[i], g_target_bits, 256));
      // Later children follow the first instance; instances added after them still join the others.
      if (i == 0) add_property(lhba, "After");
    }
    EXPECT_EQ(child_names(lhba), r.chain);
    EXPECT_EQ(ring_numbers(made[0]), r.ring);
    EXPECT_EQ(delete_node(lhba), 0u);
  }
}

TEST_F(TreeTest, EachNameAndParentHasItsOwnRing) {
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* other = add_group(root, "LogicalHBA");
  hm_node* t4 = add_instance(lhba, "Target", 4, g_target_bits, 256);
  hm_node* s1 = add_instance(lhba, "Session", 1, g_session_bits, 64);
  hm_node* t1 = add_instance(lhba, "Target", 1, g_target_bits, 256);
  hm_node* s0 = add_instance(lhba, "Session", 0, g_session_bits, 64);
  hm_node* o4 = add_instance(other, "Target", 4, nullptr, 256);
  EXPECT_EQ(child_names(lhba), "Target1,Target4,Session0,Session1");
  EXPECT_EQ(ring_numbers(t4), "1,4");
  EXPECT_EQ(ring_numbers(s1), "0,1");
  EXPECT_EQ(ring_numbers(o4), "4");
  EXPECT_EQ(get_first_instance(lhba, "Target"), t1);
  EXPECT_EQ(get_first_instance(lhba, "Session"), s0);
  EXPECT_EQ(get_first_instance(other, "Target"), o4);
}

TEST_F(TreeTest, DuplicatesAreRefusedOnlyForInstancesAndLinks) {
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* target = add_instance(lhba, "Target", 5, g_target_bits, 256);
  add_property(lhba, "P");
  add_group(lhba, "G");
  ASSERT_NE(create_link(lhba, "Alias", target, nullptr, nullptr, nullptr), nullptr);
  const int32_t before = tags_in_use();
  const std::string chain = child_names(lhba);

  EXPECT_EQ(add_instance(lhba, "Target", 5, nullptr, 256), nullptr);
  EXPECT_EQ(add_instance(lhba, "target", 5, nullptr, 256), nullptr);
  EXPECT_EQ(create_link(lhba, "ALIAS", target, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(tags_in_use(), before);
  EXPECT_EQ(child_names(lhba), chain);
  EXPECT_EQ(ring_numbers(target), "5");

  EXPECT_NE(add_property(lhba, "P"), nullptr);
  EXPECT_NE(add_property(lhba, "p"), nullptr);
  EXPECT_NE(add_group(lhba, "G"), nullptr);
  EXPECT_NE(create_link(lhba, "Alias", lhba, nullptr, nullptr, nullptr), nullptr);
  EXPECT_NE(create_link(lhba, "Other", target, nullptr, nullptr, nullptr), nullptr);
  EXPECT_NE(add_instance(lhba, "Target", 6, nullptr, 256), nullptr);
  EXPECT_EQ(target->link_count, 2u);
}

TEST_F(TreeTest, ChildrenOnlyUnderGroups) {
  hm_node* p = add_property(root, "P");
  EXPECT_EQ(add_property(p, "Q"), nullptr);
  hm_node* link = create_link(root, "L", p, nullptr, nullptr, nullptr);
  EXPECT_EQ(add_property(link, "Q"), nullptr);
  EXPECT_EQ(create_link(root, "Dangling", nullptr, nullptr, nullptr, nullptr), nullptr);
  hm_node loose{};
  EXPECT_EQ(create_link(root, "ToNothing", &loose, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(add_node(p, &hierarchy_name_), -1) << "a node is added once";
}

// ---- lookups -----------------------------------------------------------------------------------

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
  hm_node* empty = add_group(root, "Empty");

  struct Row {
    hm_node* parent;
    const char* name;
    uint32_t kind;
    hm_node* want;
  };
  const Row rows[] = {
      {lhba, "target3", kGroup, t3},
      {lhba, "TARGET12", 0, t12},
      {lhba, "Target", kGroup, nullptr},        // an instance is shown with its number
      {lhba, "Target1", kGroup, nullptr},       // not a prefix of Target12
      {lhba, "Target03", kGroup, nullptr},
      {lhba, "Target12x", 0, nullptr},
      {lhba, "Target3", kProperty, nullptr},
      {lhba, "targetname", kProperty, prop},
      {lhba, "TargetName", kGroup, nullptr},
      {lhba, "login", kAction, local},
      {lhba, "Alias", kGroup, alias},          // a link counts with its target's kind
      {lhba, "Alias", kLink, nullptr},
      {lhba, "namelink", kProperty, prop_link},
      {lhba, "GlobalReset", kAction, global},  // global actions under "ROOT"
      {lhba, "GlobalReset", 0, nullptr},
      {lhba, "RootOnly", kAction, nullptr},
      {alias, "Target3", kGroup, nullptr},     // a link parent stands for its target
      {empty, "GlobalReset", kAction, nullptr},
      {lhba, nullptr, 0, nullptr},
      {nullptr, "Target3", 0, nullptr},
      {prop, "X", 0, nullptr},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(internal_get_node(r.parent, r.name, r.kind), r.want)
        << (r.name != nullptr ? r.name : "(null)") << " kind " << r.kind;
  }
  add_group(t3, "Inner");
  EXPECT_NE(internal_get_node(alias, "inner", kGroup), nullptr);
  EXPECT_EQ(get_first_instance(lhba, "target"), nullptr) << "the group name is compared exactly";
  EXPECT_EQ(get_first_instance(lhba, "Target"), t3);
  EXPECT_EQ(get_first_instance(lhba, "TargetName"), nullptr);
}

TEST_F(TreeTest, ShownNamesAreCutAtThirtyFourCharacters) {
  const char* long_name = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefgh";   // 34 characters
  hm_node* g = add_instance(root, long_name, 12, nullptr, 100);
  char shown[kNameSize];
  std::memset(shown, 'x', sizeof shown);
  hm_instance_name(g, shown);
  EXPECT_EQ(std::string(shown), long_name);
  EXPECT_EQ(internal_get_node(root, "abcdefghijklmnopqrstuvwxyzABCDEFGH", kGroup), g) << "looked up as shown";
  EXPECT_EQ(internal_get_node(root, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefgh12", kGroup), nullptr);
  hm_instance_name(get_node(3), shown);
  EXPECT_STREQ(shown, "VARUDebugLevel");
  hm_instance_name(nullptr, shown);
  EXPECT_STREQ(shown, "");
}

TEST_F(TreeTest, DynamicAncestorIsTheNearestInstance) {
  hm_node* vx0 = add_instance(root, "Vexalon", 0, nullptr, 16);
  hm_node* net = add_group(vx0, "Network");
  hm_node* tcp = add_group(net, "TCPIPConfiguration");
  hm_node* vlan = add_property(tcp, "VLANId");
  hm_node* plain = add_group(root, "Plain");
  const std::pair<hm_node*, hm_node*> rows[] = {
      {vlan, vx0}, {tcp, vx0}, {vx0, vx0}, {root, nullptr}, {get_node(1), nullptr}, {plain, nullptr}, {nullptr, nullptr},
  };
  for (const auto& [node, want] : rows) EXPECT_EQ(get_dynamic_ancester(node), want);
}

TEST_F(TreeTest, ActionParametersByNameIgnoringCase) {
  hm_node* login = add_action(root, "Login", kLocalAction);
  hm_node* prop = add_property(root, "P");
  EXPECT_EQ(varu_internal_get_param(login, "targetname"), &kLocalAction.params[0]);
  EXPECT_EQ(varu_internal_get_param(login, "PortNumber"), &kLocalAction.params[1]);
  EXPECT_EQ(varu_internal_get_param(login, "Hidden"), nullptr) << "only the first param_count slots";
  EXPECT_EQ(varu_internal_get_param(login, nullptr), nullptr);
  EXPECT_EQ(varu_internal_get_param(prop, "TargetName"), nullptr);
  EXPECT_EQ(varu_internal_get_param(nullptr, "TargetName"), nullptr);
}

// ---- property cache ----------------------------------------------------------------------------

TEST_F(TreeTest, PropertyCacheIsBounded) {
  hm_node* g = add_group(root, "G");
  hm_node* p = add_property(g, "Value", "start");
  create_link(g, "ValueLink", p, nullptr, nullptr, nullptr);
  const std::string long_text(300, 'v');
  char buf[kValueSize];

  EXPECT_EQ(set_prop_val(g, "value", "%s-%d", "n", 7), 0);
  EXPECT_STREQ(property_data(p)->value, "n-7");
  EXPECT_EQ(set_prop_val(g, "Missing", "%s", "x"), 1);
  EXPECT_EQ(set_prop_val(g, "G", "%s", "x"), 1);
  EXPECT_EQ(set_prop_val(g, "ValueLink", "%s", "via link"), 0);
  EXPECT_STREQ(property_data(p)->value, "via link");
  EXPECT_EQ(set_prop_val(g, "Value", "%s", long_text.c_str()), 0);
  EXPECT_EQ(std::strlen(property_data(p)->value), 255u);

  EXPECT_EQ(SET_CACHE_PROP_VAL(p, "%d", 42), 2);
  EXPECT_STREQ(property_data(p)->value, "42");
  EXPECT_EQ(SET_CACHE_PROP_VAL(g, "%d", 42), -1);

  std::string in = long_text;
  EXPECT_EQ(handle_internal_property(p, in.data(), kSet), 0u);
  EXPECT_EQ(std::string(property_data(p)->value), long_text.substr(0, 255));
  EXPECT_EQ(handle_internal_property(p, buf, kGet), 0u);
  EXPECT_EQ(std::string(buf), long_text.substr(0, 255));
  EXPECT_EQ(handle_internal_property(p, buf, 7), 0u);
  EXPECT_EQ(handle_internal_property(g, buf, kGet), 1u);

  char value[kValueSize] = "written";
  EXPECT_EQ(internal_set_property(g, "VALUE", value), 0u);
  EXPECT_EQ(internal_get_property(g, "ValueLink", buf), 0u);
  EXPECT_STREQ(buf, "written");
  EXPECT_EQ(internal_get_property(g, "Missing", buf), 1u);
  EXPECT_EQ(internal_set_property(g, "Missing", value), 1u);
  EXPECT_EQ(internal_get_property(root, "VARUServiceVersion", buf), 0u);
  EXPECT_STREQ(buf, "0");
}

// ---- deletion and links ------------------------------------------------------------------------

TEST_F(TreeTest, DeletingASubtreeFreesItAllAndClearsTheBit) {
  uint32_t start = varu_alloc_count();
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
  EXPECT_EQ(tags_in_use(), 4 + 2);
  // The last instance takes its sentinel with it; a new one makes a new sentinel.
  EXPECT_EQ(delete_node(t0), 0u);
  EXPECT_EQ(child_names(lhba), "");
  hm_node* t7 = add_instance(lhba, "Target", 7, g_target_bits, 256);
  EXPECT_EQ(ring_numbers(t7), "7");
  EXPECT_EQ(delete_node(lhba), 0u);
  EXPECT_EQ(get_first_one(g_target_bits, 256), -1);
  EXPECT_EQ(varu_alloc_count(), start);
  EXPECT_EQ(delete_node(nullptr), 1u);
}

TEST_F(TreeTest, DeleteRefusesWhileLinkedFromOutside) {
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* t1 = add_instance(lhba, "Target", 1, g_target_bits, 256);
  hm_node* auth = add_group(t1, "Authentication");
  hm_node* secret = add_property(auth, "TargetSecret");
  hm_node* elsewhere = add_group(root, "Elsewhere");
  hm_node* link = create_link(elsewhere, "Secret", secret, nullptr, nullptr, nullptr);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(secret->link_count, 1u);
  const int32_t before = tags_in_use();
  for (hm_node* n : {secret, auth, t1, lhba}) {
    EXPECT_EQ(delete_node(n), kStatusStillLinked) << n->name;
  }
  EXPECT_EQ(tags_in_use(), before);
  EXPECT_EQ(child_names(auth), "TargetSecret");
  EXPECT_EQ(delete_node(link), 0u);
  EXPECT_EQ(secret->link_count, 0u);
  EXPECT_EQ(delete_node(t1), 0u);
}

TEST_F(TreeTest, LinksWithinTheDeletedSubtreeDoNotBlockIt) {
  uint32_t start = varu_alloc_count();
  hm_node* lhba = add_group(root, "LogicalHBA");
  // The link comes before its target in the walk, and a link points at a link.
  hm_node* first = create_link(lhba, "Early", lhba, nullptr, nullptr, nullptr);
  hm_node* t1 = add_instance(lhba, "Target", 1, g_target_bits, 256);
  hm_node* p = add_property(t1, "TargetName");
  create_link(lhba, "Name", p, nullptr, nullptr, nullptr);
  create_link(t1, "Back", first, nullptr, nullptr, nullptr);
  hm_node* outside = add_property(root, "Outside");
  create_link(t1, "Out", outside, nullptr, nullptr, nullptr);
  EXPECT_EQ(outside->link_count, 1u);
  EXPECT_EQ(delete_node(lhba), 0u);
  EXPECT_EQ(outside->link_count, 0u);
  EXPECT_EQ(delete_node(outside), 0u);
  EXPECT_EQ(varu_alloc_count(), start);
}

TEST_F(TreeTest, ForcedDeleteRemovesTheLinksIntoTheSubtreeFirst) {
  uint32_t start = varu_alloc_count();
  hm_node* lhba = add_group(root, "LogicalHBA");
  hm_node* t1 = add_instance(lhba, "Target", 1, g_target_bits, 256);
  hm_node* p = add_property(t1, "TargetName");
  hm_node* elsewhere = add_group(root, "Elsewhere");
  hm_node* to_prop = create_link(elsewhere, "Name", p, nullptr, nullptr, nullptr);
  hm_node* to_link = create_link(root, "NameAgain", to_prop, nullptr, nullptr, nullptr);
  const int32_t link_tags[] = {to_prop->tag, to_link->tag};
  _delete_node(t1);
  for (int32_t tag : link_tags) EXPECT_EQ(get_node(tag), nullptr) << tag;
  EXPECT_EQ(child_names(elsewhere), "");
  EXPECT_EQ(child_names(lhba), "");
  EXPECT_EQ(delete_node(lhba), 0u);
  EXPECT_EQ(delete_node(elsewhere), 0u);
  EXPECT_EQ(varu_alloc_count(), start);
}

TEST(TreeLifecycle, ExitWithLinksEverywhereLeavesNoDanglingLink) {
  vxtest::TempRoot temp;
  uint32_t start = varu_alloc_count();
  ASSERT_EQ(init_hm(), 0);
  hm_node* root = hierarchy_name_.root;
  hm_node* a = add_group(root, "A");
  hm_node* b = add_group(root, "B");
  hm_node* pa = add_property(a, "PA");
  create_link(b, "ToPA", pa, nullptr, nullptr, nullptr);
  hm_node* to_b = create_link(a, "ToB", b, nullptr, nullptr, nullptr);
  create_link(root, "ToToB", to_b, nullptr, nullptr, nullptr);
  create_link(root, "ToRootProperty", get_node(1), nullptr, nullptr, nullptr);
  exit_hm();
  EXPECT_EQ(varu_alloc_count(), start);
}

TEST_F(TreeTest, LinkCopiesItsNameAndTakesAPriorityOnlyWhenAdded) {
  hm_node* g = add_group(root, "G");
  hm_node* action_node = add_action(root, "Make", kLocalAction);
  char params[6][256] = {"one", "two"};
  const std::string long_name(60, 'n');
  const uint32_t p0 = persistency_priority;
  hm_node* link = create_link(g, long_name.c_str(), g, g, action_node, &params[0][0]);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(std::string(link->name), long_name.substr(0, 34));
  EXPECT_NE(link->name, long_name.c_str());
  EXPECT_EQ(link->description, g->description);
  hm_link_data* ld = link_data(link);
  EXPECT_EQ(ld->priority, p0);
  EXPECT_EQ(ld->invoked_on, g);
  EXPECT_EQ(ld->creating_action, action_node);
  EXPECT_STREQ(ld->params[1], "two");
  EXPECT_EQ(create_link(g, long_name.c_str(), g, g, action_node, nullptr), nullptr);
  EXPECT_EQ(persistency_priority, p0 + 1);
  hm_node* plain = create_link(g, "Plain", g, nullptr, nullptr, nullptr);
  EXPECT_EQ(link_data(plain)->priority, 0u);
  EXPECT_EQ(link_data(plain)->params, nullptr);
  EXPECT_EQ(resolve_link(plain), g);
}

}  // namespace
