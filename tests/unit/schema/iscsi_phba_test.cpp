// The iSCSI physical HBA builder: its listing, limits, numbering, persistence fields, fresh values
// and the value rules as a caller of the public calls meets them.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/names_iscsi_phba.h"
#include "support/test_support.h"
#include "unit/schema/listing.h"
#include "unit/schema/schema_fixture.h"
#include "varu.h"

namespace {

using vxtest::node_at;
using vxtest::number_of;
using vxtest::tree_state;
using vxtest::TreeState;

class IscsiPhbaSchema : public vxtest::WithParents<vxtest::StartedTree, vxtest::Depth::kController> {
 protected:
  hm_node* build() { return vx::initialize_iSCSIPhysicalHBA(vexalon, nullptr, nullptr, nullptr); }
};

TEST_F(IscsiPhbaSchema, InstanceMatchesItsListing) {
  hm_node* phba = build();
  ASSERT_NE(phba, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("iSCSIPhysicalHBA.tsv", phba));

  vxtest::NodeCounts built = vxtest::count_nodes(phba);
  vxtest::ListingCounts listed = vxtest::CountListing("iSCSIPhysicalHBA.tsv");
  EXPECT_EQ(built.groups, 12);
  EXPECT_EQ(built.properties, 51);
  EXPECT_EQ(built.actions, 23);
  EXPECT_EQ(listed.groups, built.groups);
  EXPECT_EQ(listed.properties, built.properties);
  EXPECT_EQ(listed.actions, built.actions);
}

TEST_F(IscsiPhbaSchema, NinthFunctionRefusedWithTreeUnchanged) {
  for (int i = 0; i < 8; ++i) {
    hm_node* phba = build();
    ASSERT_NE(phba, nullptr);
    EXPECT_EQ(number_of(phba), i);
  }
  TreeState before = tree_state();
  EXPECT_EQ(build(), nullptr);
  EXPECT_TRUE(tree_state() == before);
  EXPECT_NE(vx::internal_get_node(vexalon, "iSCSIPhysicalHBA7", kGroup), nullptr);
}

TEST_F(IscsiPhbaSchema, NumbersArePerControllerAndLowestFree) {
  hm_node* other = vx::initialize_Vexalon(root, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  hm_node* first = build();
  hm_node* elsewhere = vx::initialize_iSCSIPhysicalHBA(other, nullptr, nullptr, nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(elsewhere, nullptr);
  EXPECT_EQ(number_of(first), 0);
  EXPECT_EQ(number_of(elsewhere), 0);

  hm_node* second = build();
  ASSERT_NE(build(), nullptr);
  ASSERT_EQ(vx::delete_node(second), vx::kStatusOk);
  hm_node* again = build();
  EXPECT_EQ(number_of(again), 1);
  EXPECT_EQ(number_of(build()), 3);
  // The shown name follows the number, and instances stay in number order.
  EXPECT_EQ(vx::internal_get_node(vexalon, "iSCSIPhysicalHBA1", kGroup), again);
  EXPECT_EQ(vx::get_first_instance(vexalon, vx::kGroupiSCSIPhysicalHBA), first);
}

TEST_F(IscsiPhbaSchema, NeverPersistent) {
  uint32_t priority = vx::persistency_priority;
  hm_node* phba = build();
  ASSERT_NE(phba, nullptr);
  vxtest::expect_not_recorded(phba);
  EXPECT_EQ(vx::group_data(phba)->backend_info, nullptr);   // the enumeration attaches the driver record
  EXPECT_EQ(vx::persistency_priority, priority);
}

TEST_F(IscsiPhbaSchema, FreshValuesBeforeTheFirstQuery) {
  struct Row {
    const char* group;
    const char* property;
    const char* value;
  };
  const Row kRows[] = {
      {".", vx::kPropPhbaPortNumber, "0"},
      {".", vx::kPropPhbaLDTO, "20"},
      {"Driver", vx::kPropPhbaDriverName, "VX2ISCSI"},
      {"VPD", vx::kPropPhbaVPDData[0], ""},
      {"VPD", vx::kPropPhbaVPDData[8], ""},
      {"PCI", vx::kPropPhbaVendorID, "0"},
      {"Network/TCPIPConfiguration", vx::kPropPhbaVLANEnabled, "False"},
      {"Network/NICConfiguration", vx::kPropPhbaFactoryDefaultMACAddress, "00:00:00:00:00:00"},
  };
  hm_node* phba = build();
  ASSERT_NE(phba, nullptr);
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::string(row.group) + "/" + row.property);
    hm_node* group = node_at(phba, row.group, kGroup);
    ASSERT_NE(group, nullptr);
    char value[vx::kValueSize] = "unread";
    EXPECT_EQ(vx::internal_get_property(group, row.property, value), vx::kStatusOk);
    EXPECT_STREQ(value, row.value);
  }
}

// Whether a write passes the value rules: refusals carry the rule's status; a value
// that passes reaches the handler, whatever that answers.
constexpr uint32_t kPasses = 0;

bool refused_by_rules(uint32_t code) {
  return code == vx::kStatusInvalidValue || code == vx::kStatusOutOfRange || code == vx::kStatusBadLength ||
         code == vx::kStatusReadOnly;
}

TEST_F(IscsiPhbaSchema, PropertyWritesFollowTheRules) {
  struct Row {
    const char* group;
    const char* property;
    const char* value;
    uint32_t want;
  };
  const Row kRows[] = {
      {".", vx::kPropPhbaiSCSIBIOSEnable, "yes", kPasses},
      {".", vx::kPropPhbaiSCSIBIOSEnable, "Maybe", vx::kStatusInvalidValue},
      {".", vx::kPropPhbaPortNumber, "1", vx::kStatusReadOnly},
      {"Network/TCPIPConfiguration", vx::kPropPhbaVLANEnabled, "True", vx::kStatusReadOnly},
      {"Network/TCPIPConfiguration", vx::kPropPhbaDefaultGateway, "0.0.0.0", vx::kStatusInvalidValue},
      {"Network/TCPIPConfiguration", vx::kPropPhbaDefaultGateway, "255.255.255.255", vx::kStatusInvalidValue},
      {"Network/TCPIPConfiguration", vx::kPropPhbaDefaultGateway, "1234567890123456", vx::kStatusInvalidValue},
      {"Network/TCPIPConfiguration/IPv6Configuration", vx::kPropPhbaDefaultIPv6Gateway, "x", kPasses},
      {"Network/NICConfiguration", vx::kPropPhbaPermanentMACAddress, "00-11-22-33-44-55", kPasses},
      {"Network/NICConfiguration", vx::kPropPhbaPermanentMACAddress, "00-11-22", vx::kStatusBadLength},
      {"iSNS", vx::kPropPhbaiSNSEnabled, "NO", kPasses},
      {"iSNS", vx::kPropPhbaiSNSEnabled, "on", vx::kStatusInvalidValue},
  };
  hm_node* phba = build();
  ASSERT_NE(phba, nullptr);
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::string(row.property) + "=" + row.value);
    hm_node* group = node_at(phba, row.group, kGroup);
    ASSERT_NE(group, nullptr);
    hm_node* prop = vx::internal_get_node(group, row.property, kProperty);
    ASSERT_NE(prop, nullptr);
    uint32_t rc = vxtest::set_through_api(group, prop, row.value);
    uint32_t code = vxtest::last_status().code;
    if (row.want == kPasses) {
      EXPECT_FALSE(refused_by_rules(code)) << "status " << code;
    } else {
      EXPECT_EQ(rc, vx::kStatusFailed);
      EXPECT_EQ(code, row.want);
    }
  }
}

TEST_F(IscsiPhbaSchema, FailedAllocationLeavesNothingBehind) {
  TreeState before = tree_state();
  for (int32_t budget : {0, 1, 2, 3, 40, 100, 140}) {
    SCOPED_TRACE(budget);
    vx::hm_fail_allocations_after(budget);
    EXPECT_EQ(build(), nullptr);
    vx::hm_fail_allocations_after(-1);
    EXPECT_TRUE(tree_state() == before);
  }
  hm_node* phba = build();
  ASSERT_NE(phba, nullptr);
  EXPECT_EQ(number_of(phba), 0);
}

}  // namespace
