// Sessions and connections: listings, limits, numbering per target, persistence fields and the
// one writable property.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"
#include "schema/session.h"
#include "schema/target.h"
#include "support/test_support.h"
#include "unit/schema/listing.h"
#include "varu.h"

namespace {

struct NodeCounts {
  int groups = 0;
  int properties = 0;
  int actions = 0;
  int total() const { return groups + properties + actions; }
};

void count_below(hm_node* node, NodeCounts* c) {
  if (node->kind == kGroup) ++c->groups;
  if (node->kind == kProperty) ++c->properties;
  if (node->kind == kAction) ++c->actions;
  hm_group_data* g = vx::group_data(node);
  if (node->kind != kGroup || g == nullptr) return;
  for (hm_node* child = g->first_child; child != nullptr && child != node; child = child->next) {
    count_below(child, c);
  }
}

int tree_nodes() {
  NodeCounts c;
  count_below(vx::get_node(0), &c);
  return c.total();
}

int number_of(hm_node* instance) {
  hm_instance_info* info = vx::instance_info(instance);
  return info == nullptr ? -1 : info->number;
}

class SessionSchema : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VARU_init(), 0u);
    hm_node* vexalon = vx::initialize_Vexalon(vx::get_node(0), nullptr, nullptr, nullptr);
    ASSERT_NE(vexalon, nullptr);
    hm_node* phba = vx::initialize_iSCSIPhysicalHBA(vexalon, nullptr, nullptr, nullptr);
    ASSERT_NE(phba, nullptr);
    lhba_ = vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
    ASSERT_NE(lhba_, nullptr);
    target_ = vx::initialize_Target(lhba_, nullptr, nullptr, nullptr);
    ASSERT_NE(target_, nullptr);
  }
  void TearDown() override { VARU_exit(); }

  hm_node* session(hm_node* target) { return vx::initialize_Session(target, nullptr, nullptr, nullptr); }
  hm_node* connection(hm_node* session) { return vx::initialize_Connection(session, nullptr, nullptr, nullptr); }

  vxtest::TempRoot temp_;
  hm_node* lhba_ = nullptr;
  hm_node* target_ = nullptr;
};

TEST_F(SessionSchema, InstancesMatchTheirListings) {
  hm_node* s = session(target_);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("Session.tsv", s));
  NodeCounts sc;
  count_below(s, &sc);
  EXPECT_EQ(sc.groups, 5);
  EXPECT_EQ(sc.properties, 35);
  EXPECT_EQ(sc.actions, 0);

  hm_node* c = connection(s);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("Connection.tsv", c));
  NodeCounts cc;
  count_below(c, &cc);
  EXPECT_EQ(cc.groups, 2);
  EXPECT_EQ(cc.properties, 13);
  EXPECT_EQ(cc.actions, 0);
  // The connection follows the session's own children.
  EXPECT_EQ(vx::group_data(s)->last_child, c);
}

TEST_F(SessionSchema, SixtyFifthSessionAndSecondConnectionRefused) {
  hm_node* last = nullptr;
  for (int i = 0; i < 64; ++i) {
    last = session(target_);
    ASSERT_NE(last, nullptr);
    ASSERT_EQ(number_of(last), i);
  }
  ASSERT_NE(connection(last), nullptr);
  int nodes = tree_nodes();
  uint32_t allocations = vx::varu_alloc_count();
  EXPECT_EQ(session(target_), nullptr);
  EXPECT_EQ(connection(last), nullptr);
  EXPECT_EQ(tree_nodes(), nodes);
  EXPECT_EQ(vx::varu_alloc_count(), allocations);
  EXPECT_NE(vx::internal_get_node(target_, "Session63", kGroup), nullptr);
  EXPECT_NE(vx::internal_get_node(last, "Connection0", kGroup), nullptr);
}

TEST_F(SessionSchema, NumbersArePerTargetAndReusedLowestFirst) {
  hm_node* other_target = vx::initialize_Target(lhba_, nullptr, nullptr, nullptr);
  ASSERT_NE(other_target, nullptr);
  hm_node* sessions[5];
  for (hm_node*& s : sessions) {
    s = session(target_);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(connection(s), nullptr);
  }
  hm_node* elsewhere = session(other_target);
  EXPECT_EQ(number_of(elsewhere), 0);
  EXPECT_EQ(number_of(connection(elsewhere)), 0);

  // Removing Session3 removes its connection too; both numbers are free again.
  ASSERT_EQ(vx::delete_node(sessions[3]), vx::kStatusOk);
  hm_node* again = session(target_);
  EXPECT_EQ(number_of(again), 3);
  EXPECT_EQ(vx::internal_get_node(target_, "Session3", kGroup), again);
  hm_node* c = connection(again);
  EXPECT_EQ(number_of(c), 0);
  EXPECT_EQ(number_of(session(target_)), 5);
}

// The login and the session walk pass the Target, its Login action and a parameter block: the
// session is persistent and takes one priority; its connection never records anything.
TEST_F(SessionSchema, SessionRecordsTheLoginConnectionNothing) {
  hm_node* login = vx::internal_get_node(target_, vx::kActionLogin, kAction);
  ASSERT_NE(login, nullptr);
  char params[vx::kParamCount][vx::kValueSize] = {};
  std::snprintf(params[0], sizeof params[0], "%s", "10.0.0.5");
  std::snprintf(params[1], sizeof params[1], "%s", "3260");
  std::snprintf(params[2], sizeof params[2], "%s", "iqn.1992-08.com.example:host");
  std::snprintf(params[3], sizeof params[3], "%s", "7");

  uint32_t priority = vx::persistency_priority;
  hm_node* s = vx::initialize_Session(target_, target_, login, params);
  ASSERT_NE(s, nullptr);
  hm_node* c = connection(s);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(vx::persistency_priority, priority + 1);

  hm_group_data* g = vx::group_data(s);
  EXPECT_EQ(g->invoked_on, target_);
  EXPECT_EQ(g->creating_action, login);
  EXPECT_EQ(g->priority, priority);
  ASSERT_NE(g->params, nullptr);
  EXPECT_EQ(std::memcmp(g->params, params, sizeof params), 0);
  EXPECT_NE(g->params, params);   // a copy of its own

  hm_group_data* cg = vx::group_data(c);
  EXPECT_EQ(cg->creating_action, nullptr);
  EXPECT_EQ(cg->invoked_on, nullptr);
  EXPECT_EQ(cg->params, nullptr);
  EXPECT_EQ(cg->priority, 0u);
}

TEST_F(SessionSchema, OnlyIscsiBootIsWritable) {
  struct Row {
    bool on_connection;
    const char* group;   // NULL: the instance itself
    const char* property;
    const char* value;
    bool refused;
    uint32_t code;
  };
  const Row kRows[] = {
      {false, nullptr, vx::kPropSessioniSCSIBoot, "maybe", true, vx::kStatusInvalidValue},
      {false, nullptr, vx::kPropSessioniSCSIBoot, "TRUE", false, 0},
      {false, nullptr, vx::kPropSessionStatus, "Open", true, vx::kStatusReadOnly},
      {false, vx::kGroupSessionNegotiatedLoginOptions, vx::kPropMaxConnections, "1", true, vx::kStatusReadOnly},
      {true, nullptr, vx::kPropConnectionStatus, "Logged-in", true, vx::kStatusReadOnly},
      {true, vx::kGroupConnectionNegotiatedLoginOptions, vx::kPropHeaderDigest, "CRC32C", true,
       vx::kStatusReadOnly},
  };
  hm_node* s = session(target_);
  ASSERT_NE(s, nullptr);
  hm_node* c = connection(s);
  ASSERT_NE(c, nullptr);
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::string(row.property) + "=" + row.value);
    hm_node* group = row.on_connection ? c : s;
    if (row.group != nullptr) group = vx::internal_get_node(group, row.group, kGroup);
    ASSERT_NE(group, nullptr);
    hm_node* prop = vx::internal_get_node(group, row.property, kProperty);
    ASSERT_NE(prop, nullptr);
    char value[vx::kValueSize];
    std::snprintf(value, sizeof value, "%s", row.value);
    uint32_t rc = VARU_set_property_val(static_cast<uint32_t>(group->tag), prop->tag, value, sizeof value);
    uint32_t code = vxtest::last_status().code;
    if (row.refused) {
      EXPECT_EQ(rc, vx::kStatusFailed);
      EXPECT_EQ(code, row.code);
    } else {
      // Past the rules the handler decides.
      EXPECT_NE(code, vx::kStatusInvalidValue);
      EXPECT_NE(code, vx::kStatusReadOnly);
    }
  }
}

}  // namespace
