// The target, target portal and LUN builders: listings, limits, numbering, persistence fields,
// defaults, the writable set and parameter rules.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine/builder.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/names_iscsi.h"
#include "schema/target.h"
#include "unit/schema/listing.h"
#include "unit/schema/schema_fixture.h"

namespace {

using vxtest::number_of;
using vxtest::tags_in_use;
using Builder = hm_node* (*)(hm_node*, hm_node*, hm_node*, char[6][256]);

using TargetSchema = vxtest::WithParents<vxtest::TreeFixture, vxtest::Depth::kTarget>;

TEST_F(TargetSchema, EachGroupMatchesItsListing) {
  struct Row {
    const char* tsv;
    Builder build;
    bool under_target;
    int nodes;
  };
  const Row rows[] = {
      {"Target.tsv", vx::initialize_Target, false, 26},
      {"TargetPortal.tsv", vx::initialize_TargetPortal, true, 4},
      {"LUN.tsv", vx::initialize_LUN, true, 11},
  };
  for (const Row& r : rows) {
    int32_t before = tags_in_use();
    hm_node* made = r.build(r.under_target ? target : lhba, nullptr, nullptr, nullptr);
    ASSERT_NE(made, nullptr) << r.tsv;
    EXPECT_TRUE(vxtest::MatchesListing(r.tsv, made));
    EXPECT_EQ(tags_in_use() - before, r.nodes) << r.tsv;
  }
}

TEST_F(TargetSchema, TheInstanceAfterTheLastIsRefused) {
  struct Row {
    const char* name;
    Builder build;
    bool under_target;
    int max;
  };
  const Row rows[] = {
      {"Target", vx::initialize_Target, false, 256},
      {"TargetPortal", vx::initialize_TargetPortal, true, 64},
      {"LUN", vx::initialize_LUN, true, 256},
  };
  for (const Row& r : rows) {
    hm_node* parent = r.under_target ? target : lhba;
    int made = r.under_target ? 0 : 1;   // Target0 stands already
    hm_node* last = nullptr;
    for (; made < r.max; ++made) {
      last = r.build(parent, nullptr, nullptr, nullptr);
      ASSERT_NE(last, nullptr) << r.name << " " << made;
    }
    EXPECT_EQ(number_of(last), r.max - 1) << r.name;
    int32_t before = tags_in_use();
    uint32_t priority = vx::persistency_priority;
    EXPECT_EQ(r.build(parent, nullptr, nullptr, nullptr), nullptr) << r.name;
    EXPECT_EQ(tags_in_use(), before) << r.name;
    EXPECT_EQ(vx::persistency_priority, priority);
  }
}

TEST_F(TargetSchema, NumbersAreLowestFreeAndPerParent) {
  hm_node* t1 = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
  ASSERT_NE(vx::initialize_Target(lhba, nullptr, nullptr, nullptr), nullptr);
  ASSERT_EQ(vx::delete_node(t1), vx::kStatusOk);
  hm_node* again = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(number_of(again), 1);
  EXPECT_EQ(number_of(vx::initialize_Target(lhba, nullptr, nullptr, nullptr)), 3);

  // Portals: reuse within one target, a fresh count under another.
  hm_node* p[3];
  for (hm_node*& n : p) n = vx::initialize_TargetPortal(target, nullptr, nullptr, nullptr);
  ASSERT_EQ(vx::delete_node(p[1]), vx::kStatusOk);
  EXPECT_EQ(number_of(vx::initialize_TargetPortal(target, nullptr, nullptr, nullptr)), 1);
  EXPECT_EQ(number_of(vx::initialize_TargetPortal(again, nullptr, nullptr, nullptr)), 0);
  EXPECT_EQ(number_of(vx::initialize_LUN(again, nullptr, nullptr, nullptr)), 0);

  // Targets of another logical HBA count from 0 again.
  hm_node* phba1 = vx::initialize_iSCSIPhysicalHBA(phba->parent, nullptr, nullptr, nullptr);
  ASSERT_NE(phba1, nullptr);
  hm_node* lhba1 = vx::initialize_LogicalHBA(phba1, nullptr, nullptr, nullptr);
  ASSERT_NE(lhba1, nullptr);
  EXPECT_EQ(number_of(vx::initialize_Target(lhba1, nullptr, nullptr, nullptr)), 0);

  // Instances follow their static siblings, portals first as created.
  EXPECT_EQ(vxtest::child_names(target),
            "TargetLoginOptions,TargetISCSIName,TargetAlias,ETO,TargetType,Login,DeleteTargetPortal,"
            "AddTargetPortal,Logout,ReScanLUNS,TargetPortal0,TargetPortal1,TargetPortal2");
}

TEST_F(TargetSchema, PersistenceFieldsFollowTheCaller) {
  hm_node* add_target = vx::internal_get_node(lhba, vx::kActionAddTarget, kAction);
  ASSERT_NE(add_target, nullptr);
  char params[6][256] = {};
  std::strcpy(params[0], "iqn.2001-04.com.example:disk1");
  std::strcpy(params[1], "192.168.1.20");
  params[2][0] = '\xff';

  uint32_t priority = vx::persistency_priority;
  hm_node* saved = vx::initialize_Target(lhba, lhba, add_target, params);
  ASSERT_NE(saved, nullptr);
  ASSERT_NO_FATAL_FAILURE(vxtest::expect_recorded(saved, lhba, add_target, priority));
  EXPECT_EQ(vx::persistency_priority, priority + 1);
  hm_group_data* g = vx::group_data(saved);
  EXPECT_NE(static_cast<void*>(g->params), static_cast<void*>(params));
  EXPECT_EQ(std::memcmp(g->params, params, sizeof params), 0);
  // Static sub-groups never carry the fields.
  EXPECT_EQ(vx::group_data(vx::internal_get_node(saved, vx::kGroupTargetLoginOptions, kGroup))->creating_action,
            nullptr);

  // A portal made without action takes no priority; a LUN given params without action keeps them.
  hm_node* portal = vx::initialize_TargetPortal(saved, nullptr, nullptr, nullptr);
  ASSERT_NE(portal, nullptr);
  vxtest::expect_not_recorded(portal);
  hm_node* lun = vx::initialize_LUN(saved, saved, nullptr, params);
  ASSERT_NE(lun, nullptr);
  ASSERT_NE(vx::group_data(lun)->params, nullptr);
  EXPECT_EQ(std::memcmp(vx::group_data(lun)->params, params, sizeof params), 0);
  EXPECT_EQ(vx::group_data(lun)->priority, 0u);
  EXPECT_EQ(vx::persistency_priority, priority + 1);
}

TEST_F(TargetSchema, ParameterAndValueRules) {
  hm_node* lun = vx::initialize_LUN(target, nullptr, nullptr, nullptr);
  ASSERT_NE(lun, nullptr);
  struct Row {
    hm_node* group;
    const char* node;
    const char* param;   // NULL: the node is a property
    const char* value;
    uint32_t want;
  };
  const Row rows[] = {
      {target, "ETO", nullptr, "3601", vx::kStatusOutOfRange},
      {target, "ETO", nullptr, "0x1E", vx::kStatusOk},
      {target, "Login", "PortNumber", "1023", vx::kStatusOutOfRange},
      {target, "Login", "BootTarget", "Maybe", vx::kStatusInvalidValue},
      {target, "DeleteTargetPortal", "InstanceNumber", "64", vx::kStatusOutOfRange},
      {target, "Logout", "InstanceNumber", "63", vx::kStatusOk},
      {target, "AddTargetPortal", "IPAddress", "10.0.0.300", vx::kStatusInvalidValue},
      {lun, "SCSIWrite", "Count", "0", vx::kStatusOutOfRange},
  };
  for (const Row& r : rows) {
    hm_node* node = vx::internal_get_node(r.group, r.node, r.param == nullptr ? kProperty : kAction);
    ASSERT_NE(node, nullptr) << r.node;
    EXPECT_EQ(vxtest::check_value(node, r.param, r.value), r.want) << r.node << " " << r.value;
  }
}

}  // namespace
