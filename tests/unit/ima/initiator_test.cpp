// Targets, discovery and sessions over a hand-built initiator: the groups are made by the builders
// with fixed values (every property reads its cached value), and every action records how it was
// called and does only what a test scripts. What is checked is what the front end asks of the
// hierarchy and what it makes of the answers.
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "ima.h"
#include "ima/front.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/session.h"
#include "schema/table_entries.h"
#include "schema/target.h"
#include "support/cached_tree.h"
#include "support/test_support.h"

namespace {

using vx::set_prop_val;
using Effect = std::function<uint32_t(hm_node* group, char params[6][256])>;

std::vector<std::string> g_calls;       // "Action on Group: slot0|slot1|..."
std::map<std::string, Effect> g_effects;

// An action refused as the handlers refuse: the reason in the last status, 1 as the result.
uint32_t refused(uint32_t code) {
  vx::varu_set_last_status(code, "refused");
  return 1;
}

uint32_t recorded(hm_node* group, hm_node* action, char params[6][256]) {
  std::string call = std::string(action->name) + " on " + group->name + ":";
  for (int i = 0; i < vx::action_data(action)->param_count; ++i) call += std::string(i ? "|" : " ") + params[i];
  g_calls.push_back(call);
  auto effect = g_effects.find(action->name);
  return effect == g_effects.end() ? 0 : effect->second(group, params);
}

using Values = std::initializer_list<std::pair<const char*, const char*>>;
using Builder = hm_node* (*)(hm_node*, hm_node*, hm_node*, char[6][256]);

// An instance made by `build` below parent, with these values and recording actions.
hm_node* made(Builder build, hm_node* parent, Values values) {
  hm_node* node = build(parent, nullptr, nullptr, nullptr);
  for (const auto& [name, value] : values) set_prop_val(node, name, "%s", value);
  vxtest::cache_values(node, recorded);
  return node;
}
hm_node* portal(hm_node* target, const char* address, const char* port, const char* pgt = "0") {
  return made(vx::initialize_TargetPortal, target,
              {{"TargetIPAddress", address}, {"TargetPortNumber", port}, {"PortalGroupTag", pgt}});
}
hm_node* session(hm_node* target, const char* status, const char* address, const char* port,
                 const char* link = "Logged-in") {
  hm_node* s = made(vx::initialize_Session, target, {{"SessionStatus", status}});
  made(vx::initialize_Connection, s, {{"DestinationIPAddress", address}, {"DestinationPortNumber", port}, {"Status", link}});
  return s;
}
hm_node* at(hm_node* group, const char* name) { return vx::internal_get_node(group, name, kGroup); }

class Initiator : public ::testing::Test {
 protected:
  static constexpr uint32_t kOwner = 5;
  void SetUp() override {
    g_calls.clear();
    g_effects.clear();
    ASSERT_EQ(IMA_VMW_PluginInit(kOwner), IMA_STATUS_SUCCESS);
    hm_node* vexalon = vx::initialize_Vexalon(vx::get_node(0), nullptr, nullptr, nullptr);
    lhba = made(vx::initialize_LogicalHBA, vx::initialize_iSCSIPhysicalHBA(vexalon, nullptr, nullptr, nullptr), {});
  }
  void TearDown() override { IMA_VMW_PluginCleanup(); }

  // A target with portals of (address, port) pairs.
  hm_node* target(const char* name, Values portals) {
    hm_node* t = made(vx::initialize_Target, lhba, {{"TargetISCSIName", name}});
    for (const auto& [address, port] : portals) portal(t, address, port);
    return t;
  }
  static IMA_OID oid(uint32_t type, const hm_node* node) { return {type, kOwner, static_cast<uint32_t>(node->tag), 0}; }
  static std::vector<int32_t> tags(IMA_STATUS (*fn)(IMA_OID, IMA_OID_LIST**), const IMA_OID& of) {
    IMA_OID_LIST* list = nullptr;
    EXPECT_EQ(fn(of, &list), IMA_STATUS_SUCCESS);
    std::vector<int32_t> out;
    for (uint32_t i = 0; i < list->oidCount; ++i) out.push_back(static_cast<int32_t>(list->oids[i].sequenceLow));
    IMA_FreeMemory(list);
    return out;
  }

  vxtest::TempRoot root;
  hm_node* lhba = nullptr;
};

TEST_F(Initiator, ListsAndRecordsFollowTheTree) {
  hm_node* a = target("iqn.a", {{"10.0.0.1", "3260"}});
  portal(a, "10.0.0.2", "3261", "2");
  portal(a, "10.0.0.2", "3260");
  target("iqn.portal-less", {});
  hm_node* c = target("iqn.c", {{"10.0.0.9", "3260"}, {"10.0.0.8", "3260"}});
  session(a, "Closed", "10.0.0.1", "3260");
  hm_node* open1 = session(a, "open", "10.0.0.2", "3261");
  hm_node* open2 = session(a, "Open", "10.0.0.1", "3260");
  hm_node* lun = made(vx::initialize_LUN, c, {{"LUNNumber", "0001ab0000000000"}});
  const IMA_OID lhba_oid = oid(IMA_OBJECT_TYPE_LHBA, lhba);
  EXPECT_EQ(tags(IMA_GetTargetOidList, lhba_oid), (std::vector<int32_t>{at(a, "TargetPortal0")->tag, at(c, "TargetPortal0")->tag}));
  EXPECT_EQ(tags(IMA_GetSessionOidList, lhba_oid), (std::vector<int32_t>{open1->tag, open2->tag}));

  IMA_TARGET_PROPERTIES tp;
  ASSERT_EQ(IMA_GetTargetProperties(oid(9, at(a, "TargetPortal1")), &tp), IMA_STATUS_SUCCESS);
  EXPECT_EQ(tp.name[4] * 100 + tp.name[5] * 10 + tp.discoverySettable * 2 + tp.discoveryEnabled, 'a' * 100u + 1);
  EXPECT_EQ(tp.associatedLhbaOid.sequenceLow, static_cast<uint32_t>(lhba->tag));

  // A logical unit names its target by the lowest-numbered portal left.
  vx::delete_node(at(c, "TargetPortal0"));
  IMA_LU_PROPERTIES lu;
  ASSERT_EQ(IMA_GetLuProperties(oid(10, lun), &lu), IMA_STATUS_SUCCESS);
  EXPECT_EQ(static_cast<int32_t>(lu.associatedTargetOid.sequenceLow), at(c, "TargetPortal1")->tag);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(lu.targetLun), 8), std::string("\x00\x01\xab\0\0\0\0\0", 8));
  // With no portal left there is no target to name: the lookup's failure, never the root's tag.
  vx::delete_node(at(c, "TargetPortal1"));
  EXPECT_NE(IMA_GetLuProperties(oid(10, lun), &lu), IMA_STATUS_SUCCESS);
  EXPECT_EQ(lu.associatedTargetOid.objectType, 0u);

  // The portal group tag is that of the portal of the session's address and port; flags of "No" are 0.
  set_prop_val(at(open1, "SessionNegotiatedLoginOptions"), "ImmediateData", "%s", "No");
  IMA_SESSION_PROPERTIES s;
  ASSERT_EQ(IMA_GetSessionProperties(oid(14, open1), &s), IMA_STATUS_SUCCESS);
  EXPECT_EQ(s.targetPortalGroupTag * 100 + s.immediateData * 10 + s.initialR2T, 201u);

  // A session is live unless closed; one whose connection is closed while its log-in is failing.
  const std::tuple<const char*, const char*, int> rows[] = {
      {"Login failed", "Connection closed", 1}, {"Open", "Connection closed", 0}, {"Closed", "Logged-in", 0},
      {"Login failed", "Logged-in", 1}, {"Open", "Logged-in", 1}};
  for (const auto& [status, link, live] : rows) {
    hm_node* row = session(c, status, "10.0.0.2", "3260", link);
    EXPECT_EQ(vx::check_session({row->tag}, "10.0.0.2", "3260"), live) << status << " " << link;
    EXPECT_EQ(vx::check_session({row->tag}, "10.0.0.2", "3262"), 0);
    vx::delete_node(row);
  }
  EXPECT_EQ(IMA_VMW_Rediscover(lhba_oid), IMA_STATUS_SUCCESS);   // nothing below a logical HBA
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(Initiator, RemovingSessionsAndStaticTargets) {
  hm_node* t = target("iqn.t", {{"10.0.0.1", "3260"}, {"10.0.0.1", "3270"}});
  session(t, "Open", "10.0.0.1", "3270");
  hm_node* s1 = session(t, "Open", "10.0.0.1", "3260");
  g_effects["Logout"] = [](hm_node*, char[6][256]) { return refused(115); };
  EXPECT_EQ(IMA_VMW_RemoveSession(oid(14, s1)), IMA_ERROR_LOGOUT_REFUSED);
  EXPECT_EQ(IMA_RemoveStaticDiscoveryTarget(oid(12, at(t, "TargetPortal0"))), IMA_ERROR_INVALID_PARAMETER);
  g_effects.clear();
  // Only the session to that address and port is logged out; a child of the target that is no
  // portal names nothing to remove.
  EXPECT_EQ(IMA_RemoveStaticDiscoveryTarget(oid(12, s1)), IMA_ERROR_OBJECT_NOT_FOUND);
  ASSERT_EQ(IMA_RemoveStaticDiscoveryTarget(oid(12, at(t, "TargetPortal0"))), IMA_STATUS_SUCCESS);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"Logout on Target: 1", "Logout on Target: 1", "Logout on Target: 1",
                                               "DeleteTargetPortal on Target: 0"}));
}

TEST_F(Initiator, DiscoverySettingsOfThePhysicalHba) {
  hm_node* isns = made([](hm_node* phba, hm_node*, hm_node*, char[6][256]) { return at(phba, "iSNS"); }, lhba->parent,
                       {{"iSNSEnabled", "YES"}});
  IMA_DISCOVERY_PROPERTIES d;
  std::memset(&d, 0x5A, sizeof d);
  ASSERT_EQ(IMA_GetDiscoveryProperties(oid(IMA_OBJECT_TYPE_LHBA, lhba), &d), IMA_STATUS_SUCCESS);
  EXPECT_EQ(std::vector<uint32_t>({d.iSnsDiscoveryEnabled, d.iSnsDiscoveryMethod, d.iSnsHost.hostnameInUse,
                                   d.iSnsHost.id.hostname[255], d.slpDiscoveryEnabled, d.staticDiscoveryEnabled}),
            std::vector<uint32_t>({1, 1, 1, 0, 0, 1}));   // no server: an empty host name
  made(vx::initialize_iSNSServer, isns, {{"IPAddress", "10.0.0.8"}});
  ASSERT_EQ(IMA_GetDiscoveryProperties(oid(IMA_OBJECT_TYPE_PHBA, lhba->parent), &d), IMA_STATUS_SUCCESS);
  EXPECT_EQ(d.iSnsHost.hostnameInUse + d.iSnsHost.id.ipAddress.ipv4Address + d.iSnsHost.id.ipAddress.ipAddress[3], 9u);
}

}  // namespace
