// NIC physical and logical HBAs: their nodes against the listings, limits and numbering per parent
// instance, defaults, and the value rules the engine applies to them.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/handlers.h"
#include "schema/names_nic.h"
#include "schema/nic_hba.h"
#include "support/test_support.h"
#include "unit/schema/listing.h"
#include "unit/schema/schema_fixture.h"
#include "varu.h"

namespace {

using namespace vx;
using vxtest::cached;
using vxtest::tags_in_use;

std::vector<int> numbers(hm_node* parent, const char* name) {
  std::vector<int> out;
  for (hm_node* n = get_first_instance(parent, name); n != nullptr && instance_info(n)->number != -1;
       n = instance_info(n)->next) {
    out.push_back(instance_info(n)->number);
  }
  return out;
}

class NicHbaSchema : public vxtest::WithParents<vxtest::StartedTree, vxtest::Depth::kController> {
 protected:
  hm_node* physical(hm_node* under) { return initialize_NICPhysicalHBA(under, nullptr, nullptr, nullptr); }
  hm_node* logical(hm_node* under) { return initialize_NICLogicalHBA(under, nullptr, nullptr, nullptr); }
};

TEST_F(NicHbaSchema, InstancesMatchTheirListings) {
  hm_node* phba = physical(vexalon);
  ASSERT_NE(phba, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("NICPhysicalHBA.tsv", phba));
  EXPECT_EQ(vxtest::count_nodes(phba).total(), 59);
  hm_node* lhba = logical(phba);
  ASSERT_NE(lhba, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("NICLogicalHBA.tsv", lhba));
  // Instances follow the static contents of their parent and are found by their shown names.
  EXPECT_EQ(group_data(vexalon)->last_child, phba);
  EXPECT_EQ(group_data(phba)->last_child, lhba);
  EXPECT_EQ(internal_get_node(phba, "niclogicalhba0", kGroup), lhba);
}

TEST_F(NicHbaSchema, LimitsPerParentInstanceLeaveTheTreeUnchanged) {
  struct Row {
    const char* group;
    int max;
  };
  hm_node* phba = physical(vexalon);
  ASSERT_NE(phba, nullptr);
  for (const Row& r : {Row{kGroupNICPhysicalHBA, 32}, Row{kGroupNICLogicalHBA, 64}}) {
    SCOPED_TRACE(r.group);
    bool is_physical = std::strcmp(r.group, kGroupNICPhysicalHBA) == 0;
    hm_node* parent = is_physical ? vexalon : phba;
    for (int i = static_cast<int>(numbers(parent, r.group).size()); i < r.max; ++i) {
      hm_node* made = is_physical ? physical(parent) : logical(parent);
      ASSERT_NE(made, nullptr) << i;
      EXPECT_EQ(instance_info(made)->number, i);
      EXPECT_EQ(instance_info(made)->max_instances, r.max);
    }
    int32_t tags = tags_in_use();
    uint32_t allocations = varu_alloc_count();
    uint32_t priority = persistency_priority;
    hm_node* last = group_data(parent)->last_child;
    EXPECT_EQ(is_physical ? physical(parent) : logical(parent), nullptr);
    EXPECT_EQ(tags_in_use(), tags);
    EXPECT_EQ(varu_alloc_count(), allocations);
    EXPECT_EQ(persistency_priority, priority);
    EXPECT_EQ(group_data(parent)->last_child, last);
    EXPECT_EQ(static_cast<int>(numbers(parent, r.group).size()), r.max);
  }
}

TEST_F(NicHbaSchema, NumbersAreCountedPerParentInstance) {
  hm_node* second_controller = initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(second_controller, nullptr);
  hm_node* p00 = physical(vexalon);
  hm_node* p01 = physical(vexalon);
  hm_node* p10 = physical(second_controller);
  ASSERT_TRUE(p00 && p01 && p10);
  EXPECT_EQ(instance_info(p01)->number, 1);
  EXPECT_EQ(instance_info(p10)->number, 0);
  for (hm_node* p : {p00, p01, p10}) {
    hm_node* first = logical(p);
    hm_node* second = logical(p);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(instance_info(first)->number, 0);
    EXPECT_EQ(instance_info(second)->number, 1);
  }
  // Filling one physical HBA's 64 numbers does not take any from its siblings.
  while (logical(p01) != nullptr) {
  }
  EXPECT_EQ(numbers(p01, kGroupNICLogicalHBA).size(), 64u);
  EXPECT_EQ(instance_info(logical(p00))->number, 2);
  EXPECT_EQ(instance_info(logical(p10))->number, 2);
}

// A refresh deletes every logical HBA and builds them again: numbers start over at 0 and nothing
// of the old ones is left.
TEST_F(NicHbaSchema, LogicalHbasAreReplacedFromNumberZero) {
  hm_node* phba = physical(vexalon);
  ASSERT_NE(phba, nullptr);
  int32_t tags_before = tags_in_use();
  uint32_t allocations_before = varu_alloc_count();
  for (int i = 0; i < 3; ++i) ASSERT_NE(logical(phba), nullptr);
  while (hm_node* first = get_first_instance(phba, kGroupNICLogicalHBA)) ASSERT_EQ(delete_node(first), kStatusOk);
  EXPECT_EQ(tags_in_use(), tags_before);
  EXPECT_EQ(varu_alloc_count(), allocations_before);
  EXPECT_EQ(instance_info(logical(phba))->number, 0);
}

TEST_F(NicHbaSchema, NotPersistentAndDefaultsInTheCache) {
  uint32_t priority = persistency_priority;
  hm_node* phba = physical(vexalon);
  ASSERT_NE(phba, nullptr);
  hm_node* lhba = logical(phba);
  ASSERT_NE(lhba, nullptr);
  for (hm_node* g : {phba, lhba}) {
    vxtest::expect_not_recorded(g);
    EXPECT_EQ(group_data(g)->backend_info, nullptr);
  }
  EXPECT_EQ(persistency_priority, priority);

  struct Row {
    hm_node* group;
    const char* name;
    const char* value;
  };
  hm_node* vpd = internal_get_node(phba, nic::kGroupVPD, kGroup);
  hm_node* driver = internal_get_node(phba, nic::kGroupDriver, kGroup);
  hm_node* boot = internal_get_node(phba, nic::kGroupNetworkBootConfiguration, kGroup);
  ASSERT_TRUE(vpd && driver && boot);
  const Row rows[] = {
      {lhba, nic::kPropTxRate, "100"},
      {lhba, nic::kPropVLANID, "0"},
      {lhba, nic::kPropLinkStatus, "Up"},
      {phba, nic::kPropIsVF, "False"},
      {phba, nic::kPropPortNumber, "0"},
      {phba, nic::kPropMTUSize, "1500"},
      {phba, nic::kPropPortSpeed, "0 (Link Down)"},
      {vpd, "VPDData0", ""},
      {vpd, "VPDData8", ""},
      {driver, nic::kPropDriverName, "VX2NET"},
      {boot, nic::kPropVolatileMACAddress, "00:00:00:00:00:00"},
  };
  for (const Row& r : rows) EXPECT_EQ(cached(r.group, r.name), r.value) << r.name;
  for (int i = 0; i < nic::kVPDSegments; ++i) {
    char name[kNameSize];
    std::snprintf(name, sizeof name, nic::kPropVPDDataFormat, i);
    EXPECT_NE(internal_get_node(vpd, name, kProperty), nullptr) << name;
  }
}

TEST_F(NicHbaSchema, RulesRefuseBadInputBeforeTheHandler) {
  hm_node* phba = physical(vexalon);
  ASSERT_NE(phba, nullptr);
  hm_node* lhba = logical(phba);
  ASSERT_NE(lhba, nullptr);

  struct Write {
    hm_node* group;
    const char* property;
    const char* value;
    uint32_t code;
    const char* text;
  };
  const Write writes[] = {
      {phba, nic::kPropIsVF, "True", 10, "Read only property"},
      {phba, nic::kPropMACAddress, "00:11", 8, "Number of characters should be from 17 to 17."},
      {lhba, nic::kPropTxRate, "0", 7, "Value out of range. Valid range is from 1 to 10000."},
      {lhba, nic::kPropVLANID, "4095", 7, "Value out of range. Valid range is from 0 to 4094."},
  };
  for (const Write& w : writes) {
    SCOPED_TRACE(w.property);
    hm_node* prop = internal_get_node(w.group, w.property, kProperty);
    ASSERT_NE(prop, nullptr);
    EXPECT_STATUS(vxtest::set_through_api(w.group, prop, w.value), w.code, w.text);
  }

  struct Call {
    const char* group;   // static sub-group of the physical HBA, or "" for the instance
    const char* action;
    std::vector<const char*> slots;   // NULL: not given
    uint32_t code;
    const char* text;
  };
  const Call calls[] = {
      {nic::kGroupNetworkBootConfiguration, nic::kActionSetNetworkBoot, {"On"}, 6, "NetworkBootState: Invalid value."},
      {nic::kGroupNetworkBootConfiguration, nic::kActionSetNetworkBoot, {"Enabled", "iSCSI"}, 6,
       "NetworkBootMethod: Invalid value."},
      {nic::kGroupNetworkBootConfiguration, nic::kActionConfigureVLAN, {"4096"}, 7,
       "VLANId: Value out of range. Valid range is from 0 to 4095."},
      {nic::kGroupPCI, nic::kActionDumpNICPCIConfigRegion, {nullptr, "4"}, 9, "RegisterOffset: Parameter missing."},
      {nic::kGroupPCI, nic::kActionDumpNICPCIConfigRegion, {"0", "65"}, 7,
       "Count: Value out of range. Valid range is from 1 to 64."},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.action);
    hm_node* target = c.group[0] == '\0' ? phba : internal_get_node(phba, c.group, kGroup);
    ASSERT_NE(target, nullptr);
    hm_node* action = internal_get_node(target, c.action, kAction);
    ASSERT_NE(action, nullptr);
    char params[6][256];
    std::memset(params, VARU_PARAM_ABSENT, sizeof params);
    for (size_t i = 0; i < c.slots.size(); ++i) {
      if (c.slots[i] != nullptr) std::snprintf(params[i], sizeof params[i], "%s", c.slots[i]);
    }
    EXPECT_STATUS(VARU_do_action(static_cast<uint32_t>(target->tag), action->tag, params, nullptr), c.code, c.text);
  }
}

}  // namespace
