// Static targets, targets, sessions, connections and LUNs on the iSCSI lab (examples/iscsi-lab.json)
// as the host reads them: every record pattern-filled with guard bytes behind it, and compared with
// what the hierarchy holds.
#include <arpa/inet.h>
#include <strings.h>

#include <set>

#include "tests/ima/ima_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kLhba = "Vexalon1/iSCSIPhysicalHBA0/LogicalHBA0";   // generation 5: IPv6 too
constexpr const char* kOpen = "iqn.2026-01.com.example:store.open";

class LabTest : public ImaTest {
 protected:
  void SetUp() override {
    ImaTest::SetUp();
    started("iscsi-lab.json");
    lhba = oid_at(IMA_OBJECT_TYPE_LHBA, kLhba);
  }
  // A property below the logical HBA as the hierarchy holds it.
  std::string value(const std::string& path) {
    auto get = reinterpret_cast<decltype(&VARU_get_property_val)>(host.symbol("VARU_get_property_val"));
    const std::string group = std::string(kLhba) + "/" + path.substr(0, path.rfind('/'));
    char text[VARU_VALUE_SIZE] = "";
    EXPECT_EQ(get(static_cast<uint32_t>(tag_at(group)), static_cast<uint32_t>(tag_at(kLhba + ("/" + path), VARU_KIND_PROPERTY)),
                  text, sizeof text), 0u) << path;
    return text;
  }
  int32_t below(const std::string& path) { return tag_at(std::string(kLhba) + "/" + path); }
  // Fills a pattern-filled record through `get` and checks what lies behind it.
  template <typename Record>
  Guarded read(IMA_STATUS (*get)(IMA_OID, Record*), const IMA_OID& of) {
    Guarded record(sizeof(Record));
    EXPECT_EQ(get(of, record.as<Record>()), IMA_STATUS_SUCCESS) << imahost::oid_text(of);
    EXPECT_TRUE(record.guard_intact()) << imahost::oid_text(of);
    return record;
  }
  IMA_STATUS add(const char* name, const char* address, uint16_t port, IMA_OID* made) {
    IMA_STATIC_DISCOVERY_TARGET target{};
    for (size_t i = 0; name[i] != '\0'; ++i) target.targetName[i] = static_cast<unsigned char>(name[i]);
    IMA_IP_ADDRESS& ip = target.targetAddress.hostnameIpAddress.id.ipAddress;
    ip.ipv4Address = std::strchr(address, ':') == nullptr;
    ::inet_pton(ip.ipv4Address ? AF_INET : AF_INET6, address, ip.ipAddress);
    target.targetAddress.portNumber = port;
    return ima().IMA_AddStaticDiscoveryTarget(lhba, target, made);
  }
  std::vector<int32_t> tags(IMA_STATUS (*fn)(IMA_OID, IMA_OID_LIST**), const IMA_OID& of) {
    std::vector<int32_t> out;
    for (const IMA_OID& each : list(fn, of)) out.push_back(static_cast<int32_t>(each.sequenceLow));
    return out;
  }

  IMA_OID lhba{};
};

TEST_F(LabTest, StaticTargetsByNameAddressAndPort) {
  IMA_OID first{}, second{}, again{};
  // Another target at the same address and port: the new portal is the one under the name given.
  ASSERT_EQ(add("iqn.2026-01.com.example:elsewhere", "10.0.0.5", 3260, &again), IMA_STATUS_SUCCESS);
  ASSERT_EQ(add(kOpen, "10.0.0.5", 0, &first), IMA_STATUS_SUCCESS);
  // The same name with another portal: a portal of the same target.
  ASSERT_EQ(add(kOpen, "fd00::5", 3260, &second), IMA_STATUS_SUCCESS);
  EXPECT_EQ(add(kOpen, "fd00::5", 3260, &again), IMA_ERROR_INVALID_PARAMETER);
  // A name taken in other letter case: the portal search decides (found at that address and port, or none).
  IMA_OID upper{};
  EXPECT_EQ(add("IQN.2026-01.COM.EXAMPLE:STORE.OPEN", "10.0.0.5", 3260, &upper), IMA_STATUS_SUCCESS);
  EXPECT_TRUE(same(upper, first));
  EXPECT_EQ(add("IQN.2026-01.COM.EXAMPLE:STORE.OPEN", "10.0.0.6", 3260, &upper), IMA_ERROR_GENERAL);
  EXPECT_TRUE(same(again, IMA_OID{}) && first.objectType == IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET);
  const std::vector<int32_t> portals{below("Target1/TargetPortal0"), below("Target1/TargetPortal1")};
  EXPECT_EQ((std::vector<int32_t>{static_cast<int32_t>(first.sequenceLow), static_cast<int32_t>(second.sequenceLow)}), portals);
  EXPECT_EQ(tags(ima().IMA_GetStaticDiscoveryTargetOidList, lhba),
            (std::vector<int32_t>{below("Target0/TargetPortal0"), portals[0], portals[1]}));
  EXPECT_EQ(tags(ima().IMA_VMW_GetTargetOidList, lhba), (std::vector<int32_t>{below("Target0/TargetPortal0"), portals[0]}));

  const Guarded v6 = read(ima().IMA_GetStaticDiscoveryTargetProperties, second);
  EXPECT_TRUE(v6.wide(32, 224) == kOpen && same(*reinterpret_cast<const IMA_OID*>(&v6.bytes[16]), lhba));
  EXPECT_EQ(v6.u32(928) + v6.u32(932) + v6.bytes[936] * 256 + v6.bytes[937] + v6.bytes[951], 0xfd00u + 5);   // IPv6
  EXPECT_EQ(std::to_string(v6.u32(1964) & 0xFFFF) + " " + std::to_string(v6.u32(1956) & 0xFFFF),
            value("Target1/TargetPortal1/PortalGroupTag") + " 3260");
}

TEST_F(LabTest, SessionsConnectionsAndLunsAsTheHierarchyHoldsThem) {
  IMA_OID portal{};
  ASSERT_EQ(add(kOpen, "10.0.0.5", 3260, &portal), IMA_STATUS_SUCCESS);   // logs in at once
  const IMA_OID target = oid(IMA_OBJECT_TYPE_TARGET, static_cast<int32_t>(portal.sequenceLow));
  const std::vector<IMA_OID> sessions = list(ima().IMA_GetSessionOidList, lhba);
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_TRUE(same(sessions[0], list(ima().IMA_GetSessionOidList, target).at(0)));

  const Guarded session = read(ima().IMA_GetSessionProperties, sessions[0]);
  EXPECT_TRUE(same(*reinterpret_cast<const IMA_OID*>(&session.bytes[0]), lhba));
  EXPECT_EQ(static_cast<int32_t>(session.u32(24)), below("Target0/TargetPortal0"));
  EXPECT_EQ(std::to_string(session.u32(88) >> 16), value("Target0/Session0/SessionTSIH"));
  EXPECT_EQ(std::to_string(session.u32(88) & 0xFFFF), value("Target0/TargetPortal0/PortalGroupTag"));
  EXPECT_EQ(std::to_string(session.u32(76)), value("Target0/Session0/SessionNegotiatedLoginOptions/MaxBurstLength"));

  const std::vector<IMA_OID> connections = list(ima().IMA_GetConnectionOidList, sessions[0]);
  const Guarded props = read(ima().IMA_GetConnectionProperties, connections[0]);
  EXPECT_TRUE(same(*reinterpret_cast<const IMA_OID*>(&props.bytes[0]), sessions[0]));
  EXPECT_EQ(std::to_string(props.u32(16) & 0xFFFF), value("Target0/Session0/Connection0/iSCSIConnectionID"));
  EXPECT_EQ(std::to_string(props.u32(36)), value("InitiatorDefaultLoginOptions/MaxRecvDataSegmentLength"));
  EXPECT_EQ(props.u32(32) + props.u32(48), 2u * 0xA5A5A5A5u);   // the host's own fields
  const Guarded status = read(ima().IMA_VMW_GetConnectionStatus, connections[0]);
  EXPECT_EQ(status.u32(0) + status.u32(4) + status.bytes[8] + status.bytes[11], 1u + 1 + 10 + 5);   // 10.0.0.5
  EXPECT_EQ(status.u32(72), value("Target0/Session0/Connection0/Status") == "Logged-in" ? 4u : 0xA5A5A5A5u);

  // The LUNs of the session the adapter opened are there at once, without a refresh.
  const std::vector<IMA_OID> luns = list(ima().IMA_GetLuOidList, lhba);
  ASSERT_FALSE(luns.empty());
  for (size_t i = 0; i < luns.size(); ++i) {
    const Guarded lu = read(ima().IMA_GetLuProperties, luns[i]);
    EXPECT_EQ(static_cast<int32_t>(lu.u32(8)), below("Target0/TargetPortal0"));
    char hex[17];
    std::snprintf(hex, sizeof hex, "%08x%08x", ntohl(lu.u32(16)), ntohl(lu.u32(20)));
    EXPECT_EQ(strcasecmp(hex, value("Target0/LUN" + std::to_string(i) + "/LUNNumber").c_str()), 0) << hex;
  }
}

TEST_F(LabTest, DiscoveryFindsTargetsAndSessionsComeAndGo) {
  IMA_TARGET_ADDRESS address{};
  address.hostnameIpAddress.id.ipAddress = {1, {10, 0, 0, 9}};
  IMA_OID added{};
  // The portal asks for CHAP: the first discovery fails, and the address stays.
  ASSERT_EQ(ima().IMA_AddDiscoveryAddress(lhba, address, &added), IMA_STATUS_SUCCESS);
  EXPECT_EQ(ima().IMA_AddDiscoveryAddress(lhba, address, &added), IMA_ERROR_INVALID_PARAMETER);
  IMA_OID other_port{};
  address.portNumber = 3261;   // another address: found by its port too
  ASSERT_EQ(ima().IMA_AddDiscoveryAddress(lhba, address, &other_port), IMA_STATUS_SUCCESS);
  EXPECT_EQ(tags(ima().IMA_GetDiscoveryAddressOidList, lhba),
            (std::vector<int32_t>{below("Discovery/SendTargetPortal0"), below("Discovery/SendTargetPortal1")}));
  EXPECT_EQ(static_cast<int32_t>(other_port.sequenceLow), below("Discovery/SendTargetPortal1"));
  const Guarded props = read(ima().IMA_GetDiscoveryAddressProperties, added);
  EXPECT_EQ(props.u32(36) + props.bytes[40] + props.bytes[43] + (props.u32(1060) & 0xFFFF), 1u + 10 + 9 + 3260);
  EXPECT_TRUE(list(ima().IMA_GetTargetOidList, lhba).empty());
  auto act = reinterpret_cast<decltype(&VARU_do_action)>(host.symbol("VARU_do_action"));
  const std::string auth = std::string(kLhba) + "/Discovery/SendTargetPortal0/SendTargetPortalLoginOptions/Authentication";
  char chap[6][256] = {"One-Way CHAP", "", "", "discuser", "discsecret12", "Required"};
  chap[1][0] = chap[2][0] = static_cast<char>(VARU_PARAM_ABSENT);
  ASSERT_EQ(act(tag_at(auth), tag_at(auth + "/ConfigureCHAP", VARU_KIND_ACTION), chap, nullptr), 0u);

  // A rediscovery finds both targets and logs in to every portal; the CHAP target refuses.
  const IMA_OID phba = oid_at(IMA_OBJECT_TYPE_PHBA, "Vexalon1/iSCSIPhysicalHBA0");
  ASSERT_EQ(ima().IMA_VMW_Rediscover(phba), IMA_STATUS_SUCCESS);
  IMA_UINT32 state = 0;
  EXPECT_EQ(ima().IMA_VMW_GetDiscoveryStatus(phba, &state) + state, IMA_VMW_DISCOVERY_STATUS_FAILED);
  EXPECT_EQ(list(ima().IMA_GetTargetOidList, lhba).size(), 2u);
  const IMA_OID open = oid(IMA_OBJECT_TYPE_TARGET, below("Target0/TargetPortal0"));
  auto portals_in_session = [&] {   // the portals the target's open sessions lead to
    std::set<uint32_t> seen;
    for (const IMA_OID& session : list(ima().IMA_GetSessionOidList, open)) {
      seen.insert(read(ima().IMA_GetSessionProperties, session).u32(24));
    }
    return seen;
  };
  const std::set<uint32_t> both{static_cast<uint32_t>(below("Target0/TargetPortal0")),
                                static_cast<uint32_t>(below("Target0/TargetPortal1"))};
  EXPECT_EQ(portals_in_session(), both);

  // A session removed and added back goes to the portal left without one.
  ASSERT_EQ(ima().IMA_VMW_RemoveSession(list(ima().IMA_GetSessionOidList, open).at(0)), IMA_STATUS_SUCCESS);
  EXPECT_EQ(list(ima().IMA_GetSessionOidList, open).size(), 1u);
  ASSERT_EQ(ima().IMA_VMW_AddSession(open), IMA_STATUS_SUCCESS);
  EXPECT_EQ(list(ima().IMA_GetSessionOidList, open).size(), 2u);
  EXPECT_EQ(portals_in_session(), both);

  // What was added goes: the target with its sessions, portal by portal, and the address.
  ASSERT_EQ(ima().IMA_RemoveStaticDiscoveryTarget(oid(12, below("Target0/TargetPortal1"))), IMA_STATUS_SUCCESS);
  ASSERT_EQ(ima().IMA_RemoveStaticDiscoveryTarget(oid(12, below("Target0/TargetPortal0"))), IMA_STATUS_SUCCESS);
  EXPECT_EQ(list(ima().IMA_GetTargetOidList, lhba).size(), 1u);
  EXPECT_TRUE(list(ima().IMA_GetSessionOidList, lhba).empty());
  ASSERT_EQ(ima().IMA_RemoveDiscoveryAddress(added), IMA_STATUS_SUCCESS);
  ASSERT_EQ(ima().IMA_RemoveDiscoveryAddress(other_port), IMA_STATUS_SUCCESS);
  EXPECT_TRUE(list(ima().IMA_GetDiscoveryAddressOidList, lhba).empty());
}

}  // namespace
}  // namespace vxtest
