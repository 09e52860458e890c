// The iSCSI physical HBA builder: its listing, limits, numbering, persistence fields, fresh values
// and the value rules as a caller of the public calls meets them.
#include <cstdio>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/names_iscsi_phba.h"
#include "support/test_support.h"
#include "unit/schema/listing.h"
#include "varu.h"

namespace {

struct NodeCounts {
  int groups = 0;
  int properties = 0;
  int actions = 0;
};

void count_below(hm_node* node, NodeCounts* c) {
  if (node->kind == kGroup) ++c->groups;
  if (node->kind == kProperty) ++c->properties;
  if (node->kind == kAction) ++c->actions;
  hm_group_data* g = vx::group_data(node);
  if (node->kind != kGroup || g == nullptr) return;
  for (hm_node* c2 = g->first_child; c2 != nullptr && c2 != node; c2 = c2->next) count_below(c2, c);
}

int tree_nodes() {
  NodeCounts c;
  count_below(vx::get_node(0), &c);
  return c.groups + c.properties + c.actions;
}

// What a refused build must leave as it was.
struct Snapshot {
  int nodes;
  uint32_t allocations;
  uint32_t priority;
  bool operator==(const Snapshot& o) const {
    return nodes == o.nodes && allocations == o.allocations && priority == o.priority;
  }
};
Snapshot snapshot() { return {tree_nodes(), vx::varu_alloc_count(), vx::persistency_priority}; }

// The static group at `path` ("Network/TCPIPConfiguration") below `from`.
hm_node* group_at(hm_node* from, const std::string& path) {
  std::stringstream parts(path);
  std::string part;
  hm_node* node = from;
  while (node != nullptr && std::getline(parts, part, '/')) {
    if (part != ".") node = vx::internal_get_node(node, part.c_str(), kGroup);
  }
  return node;
}

int number_of(hm_node* instance) {
  hm_instance_info* info = vx::instance_info(instance);
  return info == nullptr ? -1 : info->number;
}

class IscsiPhbaSchema : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VARU_init(), 0u);
    root_ = vx::get_node(0);
    ASSERT_NE(root_, nullptr);
    vexalon_ = vx::initialize_Vexalon(root_, nullptr, nullptr, nullptr);
    ASSERT_NE(vexalon_, nullptr);
  }
  void TearDown() override { VARU_exit(); }

  hm_node* build() { return vx::initialize_iSCSIPhysicalHBA(vexalon_, nullptr, nullptr, nullptr); }

  vxtest::TempRoot temp_;
  hm_node* root_ = nullptr;
  hm_node* vexalon_ = nullptr;
};

TEST_F(IscsiPhbaSchema, InstanceMatchesItsListing) {
  hm_node* phba = build();
  ASSERT_NE(phba, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("iSCSIPhysicalHBA.tsv", phba));

  NodeCounts built;
  count_below(phba, &built);
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
  Snapshot before = snapshot();
  EXPECT_EQ(build(), nullptr);
  EXPECT_TRUE(snapshot() == before);
  EXPECT_NE(vx::internal_get_node(vexalon_, "iSCSIPhysicalHBA7", kGroup), nullptr);
}

TEST_F(IscsiPhbaSchema, NumbersArePerControllerAndLowestFree) {
  hm_node* other = vx::initialize_Vexalon(root_, nullptr, nullptr, nullptr);
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
  EXPECT_EQ(vx::internal_get_node(vexalon_, "iSCSIPhysicalHBA1", kGroup), again);
  EXPECT_EQ(vx::get_first_instance(vexalon_, vx::kGroupiSCSIPhysicalHBA), first);
}

TEST_F(IscsiPhbaSchema, NeverPersistent) {
  uint32_t priority = vx::persistency_priority;
  hm_node* phba = build();
  ASSERT_NE(phba, nullptr);
  hm_group_data* g = vx::group_data(phba);
  EXPECT_EQ(g->invoked_on, nullptr);
  EXPECT_EQ(g->creating_action, nullptr);
  EXPECT_EQ(g->params, nullptr);
  EXPECT_EQ(g->priority, 0u);
  EXPECT_EQ(g->backend_info, nullptr);   // the enumeration attaches the driver record
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
    hm_node* group = group_at(phba, row.group);
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
    hm_node* group = group_at(phba, row.group);
    ASSERT_NE(group, nullptr);
    hm_node* prop = vx::internal_get_node(group, row.property, kProperty);
    ASSERT_NE(prop, nullptr);
    char value[vx::kValueSize];
    std::snprintf(value, sizeof value, "%s", row.value);
    uint32_t rc = VARU_set_property_val(static_cast<uint32_t>(group->tag), prop->tag, value, sizeof value);
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
  Snapshot before = snapshot();
  for (int32_t budget : {0, 1, 2, 3, 40, 100, 140}) {
    SCOPED_TRACE(budget);
    vx::hm_fail_allocations_after(budget);
    EXPECT_EQ(build(), nullptr);
    vx::hm_fail_allocations_after(-1);
    EXPECT_TRUE(snapshot() == before);
  }
  hm_node* phba = build();
  ASSERT_NE(phba, nullptr);
  EXPECT_EQ(number_of(phba), 0);
}

}  // namespace
