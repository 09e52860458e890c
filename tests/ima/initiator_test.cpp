// Static targets, targets, sessions, connections and LUNs on the iSCSI lab (examples/iscsi-lab.json)
// as the host reads them: every record pattern-filled with guard bytes behind it, and compared with
// what the hierarchy holds.
#include <arpa/inet.h>
#include <strings.h>

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
  Guarded read(IMA_STATUS (*get)(IMA_OID, Record*), const IMA_OID& of, IMA_STATUS want = IMA_STATUS_SUCCESS) {
    Guarded record(sizeof(Record));
    EXPECT_EQ(get(of, record.as<Record>()), want) << imahost::oid_text(of);
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
  ASSERT_EQ(add(kOpen, "10.0.0.5", 0, &first), IMA_STATUS_SUCCESS);
  // The same name with another portal: a portal of the same target.
  ASSERT_EQ(add(kOpen, "fd00::5", 3260, &second), IMA_STATUS_SUCCESS);
  EXPECT_EQ(add(kOpen, "fd00::5", 3260, &again), IMA_ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(same(again, IMA_OID{}) && first.objectType == IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET);
  const std::vector<int32_t> portals{below("Target0/TargetPortal0"), below("Target0/TargetPortal1")};
  EXPECT_EQ((std::vector<int32_t>{static_cast<int32_t>(first.sequenceLow), static_cast<int32_t>(second.sequenceLow)}), portals);
  EXPECT_EQ(tags(ima().IMA_GetStaticDiscoveryTargetOidList, lhba), portals);
  EXPECT_EQ(tags(ima().IMA_VMW_GetTargetOidList, lhba), std::vector<int32_t>{below("Target0/TargetPortal0")});

  const Guarded v6 = read(ima().IMA_GetStaticDiscoveryTargetProperties, second);
  EXPECT_EQ(v6.wide(32, 224), kOpen);
  EXPECT_EQ(v6.u32(928) + v6.u32(932), 0u);   // no host name; IPv6
  EXPECT_EQ(v6.bytes[936] * 256 + v6.bytes[937] + v6.bytes[951], 0xfd00u + 5);
  EXPECT_EQ(v6.u32(1956) & 0xFFFF, 3260u);
  EXPECT_EQ(std::to_string(v6.u32(1964) & 0xFFFF), value("Target0/TargetPortal1/PortalGroupTag"));
  EXPECT_TRUE(same(*reinterpret_cast<const IMA_OID*>(&v6.bytes[16]), lhba));

  // A target identifier: taken by the VMware variant only; the standard one refuses it, cleared.
  const IMA_OID target = oid(IMA_OBJECT_TYPE_TARGET, below("Target0/TargetPortal0"));
  EXPECT_EQ(read(ima().IMA_VMW_GetStaticDiscoveryTargetProperties, target).u32(932), 1u);
  EXPECT_TRUE(read(ima().IMA_GetStaticDiscoveryTargetProperties, target, IMA_ERROR_INCORRECT_OBJECT_TYPE).all(0));
}

TEST_F(LabTest, SessionsConnectionsAndLunsAsTheHierarchyHoldsThem) {
  IMA_OID portal{};
  ASSERT_EQ(add(kOpen, "10.0.0.5", 3260, &portal), IMA_STATUS_SUCCESS);   // logs in at once
  const IMA_OID target = oid(IMA_OBJECT_TYPE_TARGET, static_cast<int32_t>(portal.sequenceLow));
  const std::vector<IMA_OID> sessions = list(ima().IMA_GetSessionOidList, lhba);
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_TRUE(same(sessions[0], list(ima().IMA_GetSessionOidList, target).at(0)));
  EXPECT_EQ(static_cast<int32_t>(sessions[0].sequenceLow), below("Target0/Session0"));

  const Guarded session = read(ima().IMA_GetSessionProperties, sessions[0]);
  EXPECT_TRUE(same(*reinterpret_cast<const IMA_OID*>(&session.bytes[0]), lhba));
  EXPECT_EQ(static_cast<int32_t>(session.u32(24)), below("Target0/TargetPortal0"));
  EXPECT_EQ(std::to_string(session.u32(88) >> 16), value("Target0/Session0/SessionTSIH"));
  EXPECT_EQ(std::to_string(session.u32(88) & 0xFFFF), value("Target0/TargetPortal0/PortalGroupTag"));
  EXPECT_EQ(std::to_string(session.u32(76)), value("Target0/Session0/SessionNegotiatedLoginOptions/MaxBurstLength"));
  EXPECT_EQ(session.u32(60), value("Target0/Session0/SessionNegotiatedLoginOptions/ImmediateData") == "Yes" ? 1u : 0u);

  const std::vector<IMA_OID> connections = list(ima().IMA_GetConnectionOidList, sessions[0]);
  ASSERT_EQ(connections.size(), 1u);
  const Guarded props = read(ima().IMA_GetConnectionProperties, connections[0]);
  EXPECT_TRUE(same(*reinterpret_cast<const IMA_OID*>(&props.bytes[0]), sessions[0]));
  EXPECT_EQ(std::to_string(props.u32(16) & 0xFFFF), value("Target0/Session0/Connection0/iSCSIConnectionID"));
  EXPECT_EQ(std::to_string(props.u32(36)), value("InitiatorDefaultLoginOptions/MaxRecvDataSegmentLength"));
  EXPECT_EQ(props.u32(32) + props.u32(48), 2u * 0xA5A5A5A5u);   // the host's own fields
  const Guarded status = read(ima().IMA_VMW_GetConnectionStatus, connections[0]);
  EXPECT_EQ(status.u32(0) + status.u32(4) + status.bytes[8] + status.bytes[11], 1u + 1 + 10 + 5);   // 10.0.0.5
  EXPECT_EQ(status.u32(72), value("Target0/Session0/Connection0/Status") == "Logged-in" ? 4u : 0xA5A5A5A5u);

  // The front end lists what the hierarchy holds: a refresh of the target finds its LUNs first.
  reinterpret_cast<decltype(&VARU_refresh_group)>(host.symbol("VARU_refresh_group"))(below("Target0"));
  const std::vector<IMA_OID> luns = list(ima().IMA_GetLuOidList, lhba);
  ASSERT_FALSE(luns.empty());
  EXPECT_EQ(luns.size(), list(ima().IMA_GetLuOidList, target).size());
  for (size_t i = 0; i < luns.size(); ++i) {
    const Guarded lu = read(ima().IMA_GetLuProperties, luns[i]);
    EXPECT_EQ(static_cast<int32_t>(lu.u32(8)), below("Target0/TargetPortal0"));
    char hex[17];
    std::snprintf(hex, sizeof hex, "%08x%08x", ntohl(lu.u32(16)), ntohl(lu.u32(20)));
    EXPECT_EQ(strcasecmp(hex, value("Target0/LUN" + std::to_string(i) + "/LUNNumber").c_str()), 0) << hex;
  }
}

}  // namespace
}  // namespace vxtest
