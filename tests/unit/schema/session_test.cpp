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
#include "unit/schema/schema_fixture.h"
#include "varu.h"

namespace {

using vxtest::NodeCounts;
using vxtest::number_of;
using vxtest::tree_nodes;

class SessionSchema : public vxtest::WithParents<vxtest::StartedTree, vxtest::Depth::kTarget> {
 protected:
  hm_node* session(hm_node* target) { return vx::initialize_Session(target, nullptr, nullptr, nullptr); }
  hm_node* connection(hm_node* session) { return vx::initialize_Connection(session, nullptr, nullptr, nullptr); }
};

TEST_F(SessionSchema, InstancesMatchTheirListings) {
  hm_node* s = session(target);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("Session.tsv", s));
  NodeCounts sc = vxtest::count_nodes(s);
  EXPECT_EQ(sc.groups, 5);
  EXPECT_EQ(sc.properties, 35);
  EXPECT_EQ(sc.actions, 0);

  hm_node* c = connection(s);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(vxtest::MatchesListing("Connection.tsv", c));
  NodeCounts cc = vxtest::count_nodes(c);
  EXPECT_EQ(cc.groups, 2);
  EXPECT_EQ(cc.properties, 13);
  EXPECT_EQ(cc.actions, 0);
  // The connection follows the session's own children.
  EXPECT_EQ(vx::group_data(s)->last_child, c);
}

TEST_F(SessionSchema, SixtyFifthSessionAndSecondConnectionRefused) {
  hm_node* last = nullptr;
  for (int i = 0; i < 64; ++i) {
    last = session(target);
    ASSERT_NE(last, nullptr);
    ASSERT_EQ(number_of(last), i);
  }
  ASSERT_NE(connection(last), nullptr);
  int nodes = tree_nodes();
  uint32_t allocations = vx::varu_alloc_count();
  EXPECT_EQ(session(target), nullptr);
  EXPECT_EQ(connection(last), nullptr);
  EXPECT_EQ(tree_nodes(), nodes);
  EXPECT_EQ(vx::varu_alloc_count(), allocations);
  EXPECT_NE(vx::internal_get_node(target, "Session63", kGroup), nullptr);
  EXPECT_NE(vx::internal_get_node(last, "Connection0", kGroup), nullptr);
}

TEST_F(SessionSchema, NumbersArePerTargetAndReusedLowestFirst) {
  hm_node* other_target = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
  ASSERT_NE(other_target, nullptr);
  hm_node* sessions[5];
  for (hm_node*& s : sessions) {
    s = session(target);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(connection(s), nullptr);
  }
  hm_node* elsewhere = session(other_target);
  EXPECT_EQ(number_of(elsewhere), 0);
  EXPECT_EQ(number_of(connection(elsewhere)), 0);

  // Removing Session3 removes its connection too; both numbers are free again.
  ASSERT_EQ(vx::delete_node(sessions[3]), vx::kStatusOk);
  hm_node* again = session(target);
  EXPECT_EQ(number_of(again), 3);
  EXPECT_EQ(vx::internal_get_node(target, "Session3", kGroup), again);
  hm_node* c = connection(again);
  EXPECT_EQ(number_of(c), 0);
  EXPECT_EQ(number_of(session(target)), 5);
}

// The login and the session walk pass the Target, its Login action and a parameter block: the
// session is persistent and takes one priority; its connection never records anything.
TEST_F(SessionSchema, SessionRecordsTheLoginConnectionNothing) {
  hm_node* login = vx::internal_get_node(target, vx::kActionLogin, kAction);
  ASSERT_NE(login, nullptr);
  char params[vx::kParamCount][vx::kValueSize] = {};
  std::snprintf(params[0], sizeof params[0], "%s", "10.0.0.5");
  std::snprintf(params[1], sizeof params[1], "%s", "3260");
  std::snprintf(params[2], sizeof params[2], "%s", "iqn.1992-08.com.example:host");
  std::snprintf(params[3], sizeof params[3], "%s", "7");

  uint32_t priority = vx::persistency_priority;
  hm_node* s = vx::initialize_Session(target, target, login, params);
  ASSERT_NE(s, nullptr);
  hm_node* c = connection(s);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(vx::persistency_priority, priority + 1);

  ASSERT_NO_FATAL_FAILURE(vxtest::expect_recorded(s, target, login, priority));
  hm_group_data* g = vx::group_data(s);
  EXPECT_EQ(std::memcmp(g->params, params, sizeof params), 0);
  EXPECT_NE(g->params, params);   // a copy of its own

  vxtest::expect_not_recorded(c);
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
  hm_node* s = session(target);
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
    uint32_t rc = vxtest::set_through_api(group, prop, row.value);
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
