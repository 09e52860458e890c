// Targets, discovery and sessions over a hand-built initiator: the groups are made by the builders
// with fixed values (every property reads its cached value), and every action records how it was
// called and does only what a test scripts. What is checked is what the front end asks of the
// hierarchy and what it makes of the answers.
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "ima.h"
#include "ima/front.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/send_target_portal.h"
#include "schema/session.h"
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

void fake(hm_node* node) { vxtest::cache_values(node, recorded); }

struct Portal {
  const char* address;
  const char* port;
  int pgt;
};

class Initiator : public ::testing::Test {
 protected:
  static constexpr uint32_t kOwner = 5;
  void SetUp() override {
    g_calls.clear();
    g_effects.clear();
    ASSERT_EQ(IMA_VMW_PluginInit(kOwner), IMA_STATUS_SUCCESS);
    hm_node* vexalon = vx::initialize_Vexalon(vx::get_node(0), nullptr, nullptr, nullptr);
    phba = vx::initialize_iSCSIPhysicalHBA(vexalon, nullptr, nullptr, nullptr);
    lhba = vx::initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
    ASSERT_NE(lhba, nullptr);
    discovery = vx::internal_get_node(lhba, "Discovery", kGroup);
    fake(lhba);
  }
  void TearDown() override { IMA_VMW_PluginCleanup(); }

  static hm_node* portal(hm_node* target, const Portal& p) {
    hm_node* made = vx::initialize_TargetPortal(target, nullptr, nullptr, nullptr);
    set_prop_val(made, "TargetIPAddress", "%s", p.address);
    set_prop_val(made, "TargetPortNumber", "%s", p.port);
    set_prop_val(made, "PortalGroupTag", "%d", p.pgt);
    fake(made);
    return made;
  }
  hm_node* target(const char* name, std::initializer_list<Portal> portals) {
    hm_node* made = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
    set_prop_val(made, "TargetISCSIName", "%s", name);
    fake(made);
    for (const Portal& p : portals) portal(made, p);
    return made;
  }
  static hm_node* session(hm_node* target, const char* status, const Portal& to, const char* link = "Logged-in") {
    hm_node* made = vx::initialize_Session(target, nullptr, nullptr, nullptr);
    hm_node* connection = vx::initialize_Connection(made, nullptr, nullptr, nullptr);
    set_prop_val(made, "SessionStatus", "%s", status);
    set_prop_val(connection, "DestinationIPAddress", "%s", to.address);
    set_prop_val(connection, "DestinationPortNumber", "%s", to.port);
    set_prop_val(connection, "Status", "%s", link);
    fake(made);
    return made;
  }
  static hm_node* stp(hm_node* discovery, const char* address, const char* port) {
    hm_node* made = vx::initialize_SendTargetPortal(discovery, nullptr, nullptr, nullptr);
    set_prop_val(made, "IPAddress", "%s", address);
    set_prop_val(made, "PortNumber", "%s", port);
    fake(made);
    return made;
  }
  static hm_node* at(hm_node* group, const char* name) { return vx::internal_get_node(group, name, kGroup); }
  static IMA_OID oid(uint32_t type, const hm_node* node) { return {type, kOwner, static_cast<uint32_t>(node->tag), 0}; }
  static std::vector<int32_t> tags(IMA_STATUS (*fn)(IMA_OID, IMA_OID_LIST**), const IMA_OID& of, uint32_t type) {
    IMA_OID_LIST* list = nullptr;
    std::vector<int32_t> out;
    EXPECT_EQ(fn(of, &list), IMA_STATUS_SUCCESS);
    for (uint32_t i = 0; list != nullptr && i < list->oidCount; ++i) {
      EXPECT_EQ(list->oids[i].objectType, type);
      out.push_back(static_cast<int32_t>(list->oids[i].sequenceLow));
    }
    IMA_FreeMemory(list);
    return out;
  }

  vxtest::TempRoot root;
  hm_node* phba = nullptr;
  hm_node* lhba = nullptr;
  hm_node* discovery = nullptr;
};

TEST_F(Initiator, ListsAndRecordsFollowTheTree) {
  hm_node* a = target("iqn.a", {{"10.0.0.1", "3260", 1}, {"10.0.0.2", "3260", 2}, {"10.0.0.3", "3261", 3}});
  target("iqn.portal-less", {});
  hm_node* c = target("iqn.c", {{"10.0.0.9", "3260", 7}, {"10.0.0.8", "3260", 0}});
  session(a, "Closed", {"10.0.0.1", "3260", 0});
  hm_node* open1 = session(a, "open", {"10.0.0.2", "3260", 0});
  hm_node* open2 = session(a, "Open", {"10.0.0.1", "3260", 0});
  hm_node* lun = vx::initialize_LUN(c, nullptr, nullptr, nullptr);
  set_prop_val(lun, "LUNNumber", "0001ab0000000000");
  fake(lun);
  const IMA_OID lhba_oid = oid(IMA_OBJECT_TYPE_LHBA, lhba);
  auto tag = [&](hm_node* t, const char* name) { return at(t, name)->tag; };
  EXPECT_EQ(tags(IMA_GetTargetOidList, lhba_oid, 9), (std::vector<int32_t>{tag(a, "TargetPortal0"), tag(c, "TargetPortal0")}));
  EXPECT_EQ(tags(IMA_GetStaticDiscoveryTargetOidList, lhba_oid, 12),
            (std::vector<int32_t>{tag(a, "TargetPortal0"), tag(a, "TargetPortal1"), tag(a, "TargetPortal2"),
                                  tag(c, "TargetPortal0"), tag(c, "TargetPortal1")}));
  EXPECT_EQ(tags(IMA_GetSessionOidList, lhba_oid, 14), (std::vector<int32_t>{open1->tag, open2->tag}));
  EXPECT_EQ(tags(IMA_GetLuOidList, oid(9, at(c, "TargetPortal0")), 10), std::vector<int32_t>{lun->tag});

  // A logical unit names its target by the lowest-numbered portal left.
  vx::delete_node(at(c, "TargetPortal0"));
  IMA_LU_PROPERTIES lu;
  ASSERT_EQ(IMA_GetLuProperties(oid(10, lun), &lu), IMA_STATUS_SUCCESS);
  EXPECT_EQ(static_cast<int32_t>(lu.associatedTargetOid.sequenceLow), tag(c, "TargetPortal1"));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(lu.targetLun), 8), std::string("\x00\x01\xab\x00\x00\x00\x00\x00", 8));

  // The session leads to portal 1 (address and port): its identifier and portal group tag.
  set_prop_val(open1, "SessionTSIH", "%s", "12");
  set_prop_val(open1, "ISID", "%s", "400001370000");
  set_prop_val(at(open1, "SessionNegotiatedLoginOptions"), "ImmediateData", "%s", "No");
  IMA_SESSION_PROPERTIES s;
  ASSERT_EQ(IMA_GetSessionProperties(oid(14, open1), &s), IMA_STATUS_SUCCESS);
  EXPECT_EQ(static_cast<int32_t>(s.associatedTargetOid.sequenceLow), tag(a, "TargetPortal1"));
  EXPECT_EQ(s.targetPortalGroupTag * 100u + s.tsih, 212u);
  EXPECT_EQ(s.isid[0] * 1000 + s.isid[3], 0x40 * 1000 + 0x37);
  EXPECT_EQ(s.immediateData * 10 + s.initialR2T, 1u);   // "No"; the default "Yes"
  EXPECT_EQ(s.maxBurstLength, 262144u);

  hm_node* connection = at(open1, "Connection0");
  set_prop_val(at(connection, "ConnectionNegotiatedLoginOptions"), "DataDigest", "%s", "CRC32C");
  set_prop_val(connection, "RedirectedDestinationIPAddress", "%s", "n/a");
  IMA_CONNECTION_PROPERTIES cp;
  IMA_VMW_CONNECTION_STATUS cs;
  std::memset(&cs, 0x5A, sizeof cs);
  ASSERT_EQ(IMA_GetConnectionProperties(oid(13, connection), &cp), IMA_STATUS_SUCCESS);
  ASSERT_EQ(IMA_VMW_GetConnectionStatus(oid(13, connection), &cs), IMA_STATUS_SUCCESS);
  EXPECT_EQ(cp.dataDigest * 10 + cp.headerDigest, 10u);
  EXPECT_EQ(cp.maxRecvDataSegmentLength, 65536u);
  EXPECT_EQ(cs.destination.ipAddress[3] + cs.redirected.ipv4Address + cs.redirected.ipAddress[0], 2u + 0 + 0x5A);
  EXPECT_EQ(cs.state, IMA_VMW_CONNECTION_STATE_LOGGED_IN);
}

TEST_F(Initiator, LiveSessionsAndOneLoginPerPortal) {
  struct Row {
    const char* session;
    const char* link;
    int live;
  };
  const Row rows[] = {{"Login failed", "Connection closed", 1}, {"Open", "Connection closed", 0},
                      {"Closed", "Logged-in", 0}, {"Login failed", "Logged-in", 1}, {"Open", "Logged-in", 1}};
  hm_node* t = target("iqn.t", {{"10.0.0.1", "3260", 1}, {"10.0.0.2", "3260", 2}, {"10.0.0.2", "3262", 3}});
  for (const Row& row : rows) {
    hm_node* s = session(t, row.session, {"10.0.0.2", "3260", 0}, row.link);
    EXPECT_EQ(vx::check_session({s->tag}, "10.0.0.2", "3260"), row.live) << row.session << " " << row.link;
    EXPECT_EQ(vx::check_session({s->tag}, "10.0.0.2", "3262"), 0);
    vx::delete_node(s);
  }
  // No session yet: every portal is named, so that each gets its own session.
  ASSERT_EQ(IMA_VMW_AddSession(oid(9, at(t, "TargetPortal2"))), IMA_STATUS_SUCCESS);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"Login on Target: 10.0.0.1|3260|||False",
                                               "Login on Target: 10.0.0.2|3260|||False",
                                               "Login on Target: 10.0.0.2|3262|||False"}));
  session(t, "Open", {"10.0.0.2", "3262", 0});
  g_calls.clear();
  g_effects["Login"] = [](hm_node*, char[6][256]) { return refused(118); };
  EXPECT_EQ(IMA_VMW_AddSession(oid(IMA_OBJECT_TYPE_LHBA, lhba)), IMA_STATUS_SUCCESS);   // failures only logged
  EXPECT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(IMA_VMW_Rediscover(oid(IMA_OBJECT_TYPE_LHBA, lhba)), IMA_STATUS_SUCCESS);   // nothing below an LHBA
  EXPECT_EQ(g_calls.size(), 2u);
}

TEST_F(Initiator, RemovingSessionsAndStaticTargets) {
  hm_node* t = target("iqn.t", {{"10.0.0.1", "3260", 1}, {"10.0.0.1", "3270", 2}});
  session(t, "Open", {"10.0.0.1", "3270", 0});
  hm_node* s1 = session(t, "Open", {"10.0.0.1", "3260", 0});
  g_effects["Logout"] = [](hm_node*, char[6][256]) { return refused(115); };
  EXPECT_EQ(IMA_VMW_RemoveSession(oid(14, s1)), IMA_ERROR_LOGOUT_REFUSED);
  EXPECT_EQ(IMA_RemoveStaticDiscoveryTarget(oid(12, at(t, "TargetPortal0"))), IMA_ERROR_INVALID_PARAMETER);
  g_effects.clear();
  // Only the session to that address and port is logged out; a child of the target that is no
  // portal names nothing to remove.
  EXPECT_EQ(IMA_RemoveStaticDiscoveryTarget(oid(12, s1)), IMA_ERROR_OBJECT_NOT_FOUND);
  ASSERT_EQ(IMA_RemoveStaticDiscoveryTarget(oid(12, at(t, "TargetPortal0"))), IMA_STATUS_SUCCESS);
  vx::delete_node(at(t, "TargetPortal0"));
  ASSERT_EQ(IMA_RemoveStaticDiscoveryTarget(oid(9, at(t, "TargetPortal1"))), IMA_STATUS_SUCCESS);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"Logout on Target: 1", "Logout on Target: 1", "Logout on Target: 1",
                                               "DeleteTargetPortal on Target: 0", "Logout on Target: 0",
                                               "DeleteTarget on LogicalHBA: 0"}));
}

TEST_F(Initiator, AddingFindsWhatWasAddedByNameAddressAndPort) {
  target("iqn.other", {{"10.0.0.5", "3260", 1}});
  hm_node* named = target("iqn.named", {{"10.0.0.6", "3260", 1}});
  stp(discovery, "10.0.0.5", "3261");
  g_effects["AddTarget"] = [](hm_node*, char[6][256]) { return refused(21); };
  g_effects["AddTargetPortal"] = [](hm_node* t, char p[6][256]) { return portal(t, {p[0], p[1], 0}) ? 0u : 1u; };
  g_effects["AddSendTargetPortal"] = [](hm_node* d, char p[6][256]) { return stp(d, p[0], p[1]) ? 0u : 1u; };
  g_effects["DiscoverTargets"] = [](hm_node*, char[6][256]) { return 1u; };
  IMA_STATIC_DISCOVERY_TARGET add{};
  for (size_t i = 0; i < 9; ++i) add.targetName[i] = static_cast<IMA_WCHAR>("iqn.named"[i]);
  add.targetAddress.hostnameIpAddress.id.ipAddress = {1, {10, 0, 0, 5}};
  IMA_OID made{};
  ASSERT_EQ(IMA_AddStaticDiscoveryTarget(oid(IMA_OBJECT_TYPE_LHBA, lhba), add, &made), IMA_STATUS_SUCCESS);
  EXPECT_EQ(static_cast<int32_t>(made.sequenceLow), at(named, "TargetPortal1")->tag);
  IMA_TARGET_ADDRESS address{};
  address.hostnameIpAddress.id.ipAddress = add.targetAddress.hostnameIpAddress.id.ipAddress;
  ASSERT_EQ(IMA_AddDiscoveryAddress(oid(IMA_OBJECT_TYPE_LHBA, lhba), address, &made), IMA_STATUS_SUCCESS);
  EXPECT_EQ(static_cast<int32_t>(made.sequenceLow), at(discovery, "SendTargetPortal1")->tag);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"AddTarget on LogicalHBA: iqn.named|10.0.0.5|3260|False",
                                               "AddTargetPortal on Target: 10.0.0.5|3260",
                                               "AddSendTargetPortal on Discovery: 10.0.0.5|3260",
                                               "DiscoverTargets on SendTargetPortal: "}));
  EXPECT_FALSE(vx::rediscovery_failed());
  EXPECT_EQ(IMA_VMW_Rediscover(oid(IMA_OBJECT_TYPE_PHBA, phba)), IMA_STATUS_SUCCESS);
  EXPECT_TRUE(vx::rediscovery_failed());
}

}  // namespace
