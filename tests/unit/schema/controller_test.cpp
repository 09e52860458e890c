// The controller instance: its nodes against the listing, numbering and limit under "ROOT", clean
// failure, defaults, and the value rules it hands to the engine's checks.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/names_controller.h"
#include "support/test_support.h"
#include "unit/schema/listing.h"
#include "unit/schema/schema_fixture.h"
#include "varu.h"

namespace {

using namespace vx;
using vxtest::cached;
using vxtest::NodeCounts;
using vxtest::node_at;
using vxtest::tree_state;
using vxtest::TreeState;

// Shown names of the direct children of `group` of one kind (0: all), in chain order.
std::vector<std::string> children(hm_node* group, uint32_t kind = 0) {
  std::vector<std::string> out;
  hm_group_data* gd = group_data(group);
  for (hm_node* c = gd->first_child; c != group; c = c->next) {
    if (kind != 0 && c->kind != kind) continue;
    char shown[kNameSize];
    hm_instance_name(c, shown);
    out.emplace_back(shown);
  }
  return out;
}

using ControllerSchema = vxtest::StartedTree;

TEST_F(ControllerSchema, InstanceMatchesItsListing) {
  hm_node* v = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(v, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("Vexalon.tsv", v));
}

TEST_F(ControllerSchema, NodeCountsAndDirectChildrenInCreationOrder) {
  hm_node* v = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(v, nullptr);
  NodeCounts c = vxtest::count_nodes(v);
  EXPECT_EQ(c.groups, 15);
  EXPECT_EQ(c.properties, 79);
  EXPECT_EQ(c.actions, 24);
  EXPECT_EQ(c.total(), 118);
  vxtest::ListingCounts listed = vxtest::CountListing("Vexalon.tsv");
  EXPECT_EQ(listed.groups, c.groups);
  EXPECT_EQ(listed.properties, c.properties);
  EXPECT_EQ(listed.actions, c.actions);

  // The listing fixes the order; these are the direct children by kind.
  EXPECT_EQ(children(v, kProperty).size(), 27u);
  EXPECT_EQ(children(v, kGroup).size(), 12u);
  EXPECT_EQ(children(v, kAction).size(), 4u);
  // The instance is found under its shown name, and its static groups by their constants.
  EXPECT_EQ(internal_get_node(root, "vexalon0", kGroup), v);
  EXPECT_NE(node_at(v, std::string(controller::kGroupProfileManagement) + "/" + controller::kGroupConfiguredProfile),
            nullptr);
}

TEST_F(ControllerSchema, SixteenPerRootThenRefusedWithNothingChanged) {
  for (int i = 0; i < 16; ++i) {
    hm_node* v = initialize_Vexalon(root, nullptr, nullptr, nullptr);
    ASSERT_NE(v, nullptr) << i;
    EXPECT_EQ(instance_info(v)->number, i);
    EXPECT_EQ(instance_info(v)->max_instances, 16);
    EXPECT_EQ(instance_info(v)->base, 0);
  }
  EXPECT_EQ(children(root, kGroup).back(), "Vexalon15");
  TreeState before = tree_state();
  EXPECT_EQ(initialize_Vexalon(root, nullptr, nullptr, nullptr), nullptr);
  EXPECT_TRUE(tree_state() == before);
  // Also when the caller passes an action: the refusal takes no priority.
  char params[6][256] = {};
  hm_node* some_action = node_at(root, "Vexalon0/UpgradeFlashROM");
  ASSERT_NE(some_action, nullptr);
  EXPECT_EQ(initialize_Vexalon(root, root, some_action, params), nullptr);
  EXPECT_TRUE(tree_state() == before);
}

TEST_F(ControllerSchema, LowestFreeNumberAfterDeleteAndNoLeftovers) {
  TreeState empty = tree_state();
  hm_node* v[3];
  for (hm_node*& n : v) ASSERT_NE(n = initialize_Vexalon(root, nullptr, nullptr, nullptr), nullptr);
  ASSERT_EQ(delete_node(v[1]), kStatusOk);
  hm_node* again = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(instance_info(again)->number, 1);
  hm_node* next = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(instance_info(next)->number, 3);
  EXPECT_EQ(children(root, kGroup), (std::vector<std::string>{"Vexalon0", "Vexalon1", "Vexalon2", "Vexalon3"}));
  for (hm_node* n : {v[0], again, v[2], next}) ASSERT_EQ(delete_node(n), kStatusOk);
  EXPECT_TRUE(tree_state() == empty);
}

TEST_F(ControllerSchema, AnyFailedAllocationLeavesNothingBehind) {
  TreeState before = tree_state();
  // Every allocation of the build in turn fails; the allocation counter of a whole build bounds the loop.
  hm_node* whole = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(whole, nullptr);
  int32_t needed = static_cast<int32_t>(varu_alloc_count() - before.allocations);
  ASSERT_EQ(delete_node(whole), kStatusOk);
  ASSERT_GT(needed, 118);
  for (int32_t budget = 0; budget < needed; ++budget) {
    hm_fail_allocations_after(budget);
    hm_node* v = initialize_Vexalon(root, nullptr, nullptr, nullptr);
    hm_fail_allocations_after(-1);
    ASSERT_EQ(v, nullptr) << "budget " << budget;
    ASSERT_TRUE(tree_state() == before) << "budget " << budget;
  }
  hm_node* v = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(instance_info(v)->number, 0);   // the number stayed free
}

TEST_F(ControllerSchema, BuiltByEnumerationIsNotPersistent) {
  uint32_t priority = persistency_priority;
  hm_node* v = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(v, nullptr);
  vxtest::expect_not_recorded(v);
  EXPECT_EQ(group_data(v)->refresh, nullptr);
  EXPECT_EQ(persistency_priority, priority);
}

TEST_F(ControllerSchema, DefaultsInTheCache) {
  hm_node* v = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(v, nullptr);
  struct Row {
    const char* path;
    const char* value;
  };
  // The properties without a default start empty; the others hold the table's text.
  const Row rows[] = {
      {"FCoEx86BIOSVersion", ""},
      {"FCoEEFIVersion", ""},
      {"UEFIBIOSVersion", ""},
      {"FRUVPD/FRUVPDData0", ""},
      {"FRUVPD/FRUVPDData10", ""},
      {"NICCIM/PortControllerName", ""},
      {"NICCIM/ControllerType", ""},
      {"NICCIM/ProtocolSupported", ""},
      {"AdvancedMode", "Enabled"},
      {"VexalonOnDieTemperature", "45"},
      {"ProfileManagement/ConfiguredProfile/SettableMaxFunctionNumber", "No"},
      {"NCSI/NCSISupport", "Not Supported"},
      {"Diagnostics/IsLoopbackSupported", "True"},
  };
  for (const Row& r : rows) {
    hm_node* p = node_at(v, r.path);
    ASSERT_NE(p, nullptr) << r.path;
    ASSERT_EQ(p->kind, kProperty) << r.path;
    EXPECT_EQ(cached(p), r.value) << r.path;
  }
  // The eleven FRU VPD segments follow the name format that the handlers use.
  hm_node* fru = internal_get_node(v, controller::kGroupFRUVPD, kGroup);
  for (int i = 0; i < controller::kFRUVPDSegments; ++i) {
    char name[kNameSize];
    std::snprintf(name, sizeof name, controller::kPropFRUVPDDataFormat, i);
    EXPECT_NE(internal_get_node(fru, name, kProperty), nullptr) << name;
  }
  EXPECT_EQ(children(fru).size(), static_cast<size_t>(controller::kFRUVPDSegments));
}

// Stored rules as the engine applies them: a property write and action parameters are refused
// before any handler runs.
TEST_F(ControllerSchema, RulesRefuseBadInputBeforeTheHandler) {
  hm_node* v = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(v, nullptr);

  hm_property* advanced = property_data(node_at(v, "AdvancedMode"));
  ASSERT_NE(advanced, nullptr);
  char enabled[kValueSize] = "enabled";   // list items compare without regard to case
  EXPECT_EQ(varu_validate(enabled, advanced->allowed, advanced->vtype, advanced->min, advanced->max), kStatusOk);

  hm_node* profile = node_at(v, "ProfileManagement/ActiveProfile");
  hm_node* profile_id = node_at(profile, "ProfileId");
  ASSERT_NE(profile_id, nullptr);
  char three[] = "3";
  EXPECT_STATUS(VARU_set_property_val(static_cast<uint32_t>(profile->tag), profile_id->tag, three, sizeof three),
                kStatusReadOnly, "Read only property");
  EXPECT_EQ(cached(profile_id), "0");

  struct Row {
    const char* action;                // path below the instance
    std::vector<const char*> slots;    // NULL: not given
    uint32_t code;
    const char* text;
  };
  const Row rows[] = {
      {"ExtFATData/EnableLoggingOnAllModules", {"2"}, 6, "TraceLevel: Invalid value."},
      {"Diagnostics/HostToDDRDMATest", {"0123456789abcdef", "63", "1"}, 7,
       "ByteCount: Value out of range. Valid range is from 64 to 4096."},
      {"Diagnostics/NetworkLoopBackTest", {"0123456789abcdef", "1500", "1", "0", "0", nullptr}, 9,
       "LoopbackType: Parameter missing."},
      {"UpgradeFlashROM", {"ab"}, 8, "UFIFileName: Number of characters should be from 3 to 255."},
      {"RetrieveFwCliData", {"out.txt", nullptr}, 9, "FWCliString: Parameter missing."},
      {"ProfileManagement/SetProfileId", {"0"}, 7, "ProfileId: Value out of range. Valid range is from 1 to 256."},
      {"Personality/SetPersonality", {"Illegal"}, 6, "NewPersonality: Invalid value."},
  };
  for (const Row& r : rows) {
    hm_node* action = node_at(v, r.action);
    ASSERT_NE(action, nullptr) << r.action;
    ASSERT_EQ(action->kind, kAction) << r.action;
    char params[6][256];
    std::memset(params, VARU_PARAM_ABSENT, sizeof params);
    for (size_t i = 0; i < r.slots.size(); ++i) {
      if (r.slots[i] != nullptr) std::snprintf(params[i], sizeof params[i], "%s", r.slots[i]);
    }
    SCOPED_TRACE(r.action);
    EXPECT_STATUS(VARU_do_action(static_cast<uint32_t>(action->parent->tag), action->tag, params, nullptr), r.code,
                  r.text);
  }
}

}  // namespace
