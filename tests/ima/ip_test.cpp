// The IP configuration of an iSCSI function through the IMA entry points on the simulated lab: set
// through the portal, port and physical HBA identifiers, read back through the records and the
// hierarchy; and the address keys of a target's portals.
#include <arpa/inet.h>

#include "tests/ima/settings_fixture.h"

namespace vxtest {
namespace {

IMA_IP_ADDRESS address(const char* text) {
  IMA_IP_ADDRESS out{};
  out.ipv4Address = std::strchr(text, ':') == nullptr ? 1 : 0;
  ::inet_pton(out.ipv4Address != 0 ? AF_INET : AF_INET6, text, out.ipAddress);
  return out;
}

// The address bytes at `at` of a record, as text.
std::string bytes_at(const Guarded& record, size_t at, bool ipv6) {
  char text[INET6_ADDRSTRLEN] = "";
  ::inet_ntop(ipv6 ? AF_INET6 : AF_INET, record.bytes.data() + at, text, sizeof text);
  return text;
}

class IpTest : public SettingsTest {
 protected:
  const std::string tcpip = std::string(kPhba) + "/Network/TCPIPConfiguration";
  const std::string ipv6 = tcpip + "/IPv6Configuration";
  IMA_OID phba() { return oid_at(IMA_OBJECT_TYPE_PHBA, kPhba); }
  IMA_OID pnp() { return oid_at(IMA_OBJECT_TYPE_PNP, std::string(kPhba) + "/Network/NICConfiguration"); }
};

TEST_F(IpTest, Ipv4AddressMaskGatewayAndDhcp) {
  const IMA_OID lnp = oid_at(IMA_OBJECT_TYPE_LNP, kPhba);
  const std::vector<IMA_OID> portals = list(ima().IMA_GetNetworkPortalOidList, lnp);
  ASSERT_EQ(portals.size(), 1u);
  EXPECT_TRUE(same(portals[0], oid_at(IMA_OBJECT_TYPE_NETWORK_PORTAL, tcpip)));
  const IMA_IP_ADDRESS host = address("10.0.0.50");
  ASSERT_EQ(ima().IMA_SetNetworkPortalIpAddress(portals[0], &host), IMA_STATUS_SUCCESS);
  EXPECT_EQ(values(tcpip, {"InitiatorIPAddress", "InitiatorSubnetMask"}), "10.0.0.50|255.255.255.0");
  ASSERT_EQ(ima().IMA_SetSubnetMask(pnp(), address("255.255.0.0")), IMA_STATUS_SUCCESS);
  ASSERT_EQ(ima().IMA_SetDefaultGateway(phba(), address("10.0.0.1")), IMA_STATUS_SUCCESS);
  EXPECT_EQ(values(tcpip, {"InitiatorIPAddress", "InitiatorSubnetMask", "DefaultGateway"}), "10.0.0.50|255.255.0.0|10.0.0.1");

  Guarded portal(sizeof(IMA_NETWORK_PORTAL_PROPERTIES));
  ASSERT_EQ(ima().IMA_GetNetworkPortalProperties(portals[0], portal.as<IMA_NETWORK_PORTAL_PROPERTIES>()), IMA_STATUS_SUCCESS);
  EXPECT_EQ(std::to_string(portal.u32(0)) + " " + bytes_at(portal, 4, false), "1 10.0.0.50");
  EXPECT_TRUE(same(*reinterpret_cast<IMA_OID*>(portal.data() + 20), lnp));
  // The standard record is written at its named fields only; the VMware one is cleared first.
  for (const bool vmware : {false, true}) {
    Guarded ip(sizeof(IMA_IP_PROPERTIES));
    auto* props = ip.as<IMA_IP_PROPERTIES>();
    ASSERT_EQ(vmware ? ima().IMA_VMW_GetIpProperties(phba(), props) : ima().IMA_GetIpProperties(pnp(), props), IMA_STATUS_SUCCESS);
    const std::string untouched = vmware ? "0" : std::to_string(0xA5A5A5A5u);
    EXPECT_EQ(ip.words({0, 4, 8, 12, 16, 36, 40, 44, 64, 68, 96}), "1 0 1 1 1 1 1 1 0 0 0");
    EXPECT_EQ(ip.words({92, 100, 120}), untouched + " " + untouched + " " + untouched);
    EXPECT_EQ(bytes_at(ip, 20, false) + " " + bytes_at(ip, 48, false), "255.255.0.0 10.0.0.1");
    EXPECT_TRUE(ip.guard_intact());
  }
  Guarded extended(sizeof(IMA_VMW_EXTENDED_IP_PROPERTIES));
  ASSERT_EQ(ima().IMA_VMW_GetExtendedIpProperties(pnp(), extended.as<IMA_VMW_EXTENDED_IP_PROPERTIES>()), IMA_STATUS_SUCCESS);
  EXPECT_EQ(bytes_at(extended, 28, false) + " " + bytes_at(extended, 56, false), "255.255.0.0 10.0.0.1");
  EXPECT_EQ(extended.words({0, 4, 12, 20, 24, 48, 72, 76, 92, 96, 124, 132, 152, 184}), "0 1 0 1 1 1 1 0 64 1 1 0 0 0");
  EXPECT_TRUE(extended.guard_intact());

  // While DHCP is on, a new gateway is refused and the previous one stays.
  ASSERT_EQ(ima().IMA_SetIpConfigMethod(pnp(), 1), IMA_STATUS_SUCCESS);
  EXPECT_EQ(values(tcpip, {"DHCPEnabled"}), "True");
  EXPECT_FALSE(IMA_SUCCESS(ima().IMA_VMW_SetDefaultGateway(pnp(), address("10.0.0.2"))));
  EXPECT_EQ(values(tcpip, {"DefaultGateway"}), "10.0.0.1");
  EXPECT_EQ(ima().IMA_SetIpConfigMethod(pnp(), 2), IMA_ERROR_INVALID_PARAMETER);
  ASSERT_EQ(ima().IMA_SetIpConfigMethod(pnp(), 0), IMA_STATUS_SUCCESS);
  EXPECT_EQ(values(tcpip, {"DHCPEnabled"}), "False");

  IMA_MIN_MAX_VALUE mtu{9, 9, 9, 9, 9, 9, 9};
  ASSERT_EQ(ima().IMA_VMW_GetMtuProperties(phba(), &mtu), IMA_STATUS_SUCCESS);
  EXPECT_EQ(std::to_string(mtu.currentValue) + std::to_string(mtu.currentValueValid + mtu.settable + mtu.maximumValue),
            values(std::string(kPhba) + "/Network/NICConfiguration", {"MaxMTUSize"}) + "1");
  EXPECT_EQ(ima().IMA_VMW_SetArpRedirect(phba(), 1), IMA_ERROR_NOT_SUPPORTED);
}

TEST_F(IpTest, Ipv6AddressGatewayAndAutoConfiguration) {
  const IMA_IP_ADDRESS host = address("fd00::50");
  ASSERT_EQ(ima().IMA_VMW_SetNetworkPortalIpAddress(phba(), &host, 1, 1), IMA_STATUS_SUCCESS);
  EXPECT_EQ(values(ipv6, {"InitiatorRoutableAddress1", "IPv6State"}), "FD00:0000:0000:0000:0000:0000:0000:0050|Static");
  ASSERT_EQ(ima().IMA_VMW_SetDefaultGateway(pnp(), address("fd00::1")), IMA_STATUS_SUCCESS);
  EXPECT_EQ(values(ipv6, {"DefaultIPv6Gateway"}), "FD00:0000:0000:0000:0000:0000:0000:0001");
  IMA_VMW_NETWORK_PORTAL_PROPERTIES* portal = nullptr;
  ASSERT_EQ(ima().IMA_VMW_GetNetworkPortalProperties(phba(), &portal), IMA_STATUS_SUCCESS);
  Guarded copy(sizeof *portal);
  std::memcpy(copy.data(), portal, sizeof *portal);
  ima().IMA_FreeMemory(portal);
  EXPECT_EQ(bytes_at(copy, 8, true) + " " + copy.words({4, 24, 28}), "fd00::50 1 64 1");
  Guarded extended(sizeof(IMA_VMW_EXTENDED_IP_PROPERTIES));
  ASSERT_EQ(ima().IMA_VMW_GetExtendedIpProperties(phba(), extended.as<IMA_VMW_EXTENDED_IP_PROPERTIES>()), IMA_STATUS_SUCCESS);
  EXPECT_EQ(extended.words({100, 128}) + " " + bytes_at(extended, 136, true), "0 1 fd00::1");

  ASSERT_EQ(ima().IMA_VMW_SetIpv6ConfigMethod(pnp(), 1, 1), IMA_STATUS_SUCCESS);
  EXPECT_EQ(values(ipv6, {"IPv6State"}), "AutoAssign");
  ASSERT_EQ(ima().IMA_VMW_GetExtendedIpProperties(phba(), extended.as<IMA_VMW_EXTENDED_IP_PROPERTIES>()), IMA_STATUS_SUCCESS);
  EXPECT_EQ(extended.u32(100), 1u);
  ASSERT_EQ(ima().IMA_VMW_SetIpv6ConfigMethod(phba(), 0, 0), IMA_STATUS_SUCCESS);
  ASSERT_EQ(ima().IMA_VMW_SetNetworkPortalIpAddress(phba(), nullptr, 1, 0), IMA_STATUS_SUCCESS);
  EXPECT_EQ(values(ipv6, {"IPv6State"}), "Static");

  // The first adapter's functions have no IPv6: no record.
  portal = nullptr;
  EXPECT_EQ(ima().IMA_VMW_GetNetworkPortalProperties(oid_at(IMA_OBJECT_TYPE_PHBA, "Vexalon0/iSCSIPhysicalHBA1"), &portal),
            IMA_ERROR_NOT_SUPPORTED);
  EXPECT_EQ(portal, nullptr);
}

TEST_F(IpTest, AddressKeysListEveryPortalOfTheTarget) {
  const std::string target = add_target("iqn.2026-01.com.example:store.open", "10.0.0.5");
  ASSERT_EQ(act(target, "AddTargetPortal", {"fd00::5", "3260"}), 0u);
  IMA_ADDRESS_KEYS* keys = nullptr;
  ASSERT_EQ(ima().IMA_GetAddressKeys(oid_at(IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET, target + "/TargetPortal1"), &keys),
            IMA_STATUS_SUCCESS);
  ASSERT_EQ(keys->addressKeyCount, 2u);
  Guarded entries(2 * sizeof(IMA_ADDRESS_KEY));   // the entries from offset 4, as bytes
  std::memcpy(entries.data(), keys->addressKeys, 2 * sizeof(IMA_ADDRESS_KEY));
  ima().IMA_FreeMemory(keys);
  const std::string tag = values(target + "/TargetPortal0", {"PortalGroupTag"});
  for (size_t i = 0; i < 2; ++i) {
    const size_t at = i * sizeof(IMA_ADDRESS_KEY);
    EXPECT_EQ(std::to_string(entries.u32(at)) + " " + bytes_at(entries, at + 4, i == 1) + " " +
                  std::to_string(entries.u32(at + 24) & 0xFFFF) + " " + std::to_string(entries.u32(at + 32) & 0xFFFF),
              i == 0 ? "1 10.0.0.5 3260 " + tag : "0 fd00::5 3260 " + tag);
  }
  ASSERT_EQ(ima().IMA_GetAddressKeys(oid_at(IMA_OBJECT_TYPE_DISCOVERY_ADDRESS, add_discovery_portal("10.0.0.9")), &keys),
            IMA_STATUS_SUCCESS);
  EXPECT_EQ(keys->addressKeyCount, 0u);
  ima().IMA_FreeMemory(keys);
}

}  // namespace
}  // namespace vxtest
