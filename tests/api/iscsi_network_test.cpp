// The network of an iSCSI port through the public calls on the lab: IPv4 address, DHCP, VLAN and
// gateway, routes and ARP entries, IPv6, iSNS, and what every refused value leaves behind.
#include <gtest/gtest.h>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "iscsi/common.h"
#include "iscsi/route_arp.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kGen3Phba = "Vexalon0/iSCSIPhysicalHBA0";
constexpr const char* kGen5Phba = "Vexalon1/iSCSIPhysicalHBA0";
constexpr const char* kGen5NetFile = "/var/lib/vxsim/BL5202B0007/records/net-004.00.2";
constexpr const char* kZero = "0000:0000:0000:0000:0000:0000:0000:0000";

class NetLab : public IscsiLab {
 protected:
  static std::string tcpip(const char* phba) { return std::string(phba) + "/Network/TCPIPConfiguration"; }
  static std::string ipv6(const char* phba) { return tcpip(phba) + "/IPv6Configuration"; }
  static std::string isns(const char* phba) { return std::string(phba) + "/iSNS"; }
  uint32_t run(const std::string& group, const char* action, std::initializer_list<const char*> slots) {
    vx::varu_set_last_status(0, "");
    return act(tag_at(group), action, slots);
  }
  uint32_t set(const std::string& group, const char* prop, const char* value) {
    vx::varu_set_last_status(0, "");
    return set_value(tag_at(group), prop, value);
  }
  uint32_t status() const { return last_status().code; }
  // Firmware commands of one opcode and subsystem since the journal was cleared.
  size_t sent(uint8_t opcode, uint8_t subsystem) const {
    size_t n = 0;
    for (const vxsim_journal_entry& e : sim_.commands()) n += e.opcode == opcode && e.subsystem == subsystem;
    return n;
  }
};

TEST_F(NetLab, AddressGatewayVlanAndDhcp) {
  const std::string t = tcpip(kGen5Phba);
  sim_.inject_status(21, 2, 3, 0, 1);
  EXPECT_EQ(run(t, "ConfigureIPAddress", {"10.0.0.21", "255.255.255.0"}), 1u);
  EXPECT_EQ(status(), 122u);
  ASSERT_EQ(run(t, "ConfigureIPAddress", {"10.0.0.21", "255.255.255.0"}), 0u);
  EXPECT_EQ(value_at(t + "/InitiatorIPAddress"), "10.0.0.21");
  EXPECT_EQ(value_at(t + "/InitiatorSubnetMask"), "255.255.255.0");
  EXPECT_EQ(run(t, "ConfigureIPAddress", {"10.0.0.21", "255.255.255.0"}), 0u);
  EXPECT_EQ(status(), 56u) << "the same settings again change nothing";

  ASSERT_EQ(set(t, "DefaultGateway", "10.0.0.1"), 0u);
  EXPECT_EQ(value_at(t + "/DefaultGateway"), "10.0.0.1");
  sim_.journal_clear();
  EXPECT_EQ(set(t, "DefaultGateway", "fd00::1"), 1u) << "an IPv6 text is no IPv4 gateway";
  EXPECT_EQ(status(), 17u);
  EXPECT_EQ(sent(23, 2), 0u) << "a refused gateway sends nothing, the old one stays";
  EXPECT_EQ(value_at(t + "/DefaultGateway"), "10.0.0.1");

  ASSERT_EQ(run(t, "ConfigureVLAN", {"100", "5"}), 0u);
  EXPECT_NE(root_.read(kGen5NetFile).find("\"vlan_tag\":41060"), std::string::npos);
  EXPECT_EQ(cached_at(t + "/VLANId") + "/" + cached_at(t + "/Priority"), "100/5");
  ASSERT_EQ(run(t, "ConfigureVLAN", {"100", nullptr}), 0u);
  EXPECT_EQ(cached_at(t + "/Priority"), "0");
  ASSERT_EQ(run(t, "VLANDisable", {}), 0u);
  EXPECT_EQ(cached_at(t + "/VLANEnabled") + "/" + cached_at(t + "/VLANId"), "False/");

  ASSERT_EQ(run(t, "DHCPEnable", {}), 0u);
  EXPECT_EQ(value_at(t + "/InitiatorIPAddress"), "10.0.0.102") << "the pool's first address plus node 2";
  EXPECT_EQ(value_at(t + "/DHCPEnabled"), "True");
  EXPECT_EQ(value_at(t + "/DefaultGateway"), "10.0.0.1");
  EXPECT_EQ(run(t, "DHCPEnable", {}), 0u);
  EXPECT_EQ(status(), 57u);
  EXPECT_EQ(run(t, "ConfigureIPAddress", {"10.0.0.22", "255.255.255.0"}), 1u);
  EXPECT_EQ(status(), 43u);
  EXPECT_EQ(set(t, "DefaultGateway", "10.0.0.2"), 1u);
  EXPECT_EQ(status(), 49u);
  ASSERT_EQ(run(t, "DHCPDisable", {}), 0u);
  EXPECT_EQ(value_at(t + "/InitiatorIPAddress") + " " + value_at(t + "/DHCPEnabled"), "0.0.0.0 False");
}

TEST_F(NetLab, ABootSessionKeepsTheAddress) {
  const std::string t = tcpip(kGen3Phba);
  ASSERT_EQ(set(t, "DefaultGateway", "10.0.0.1"), 0u);
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5", nullptr, "True"), 0u);
  ASSERT_EQ(value_at(target_path(kGen3Lhba, 0) + "/Session0/iSCSIBoot"), "True");
  EXPECT_EQ(run(t, "ConfigureIPAddress", {"10.0.0.31", "255.255.255.0"}), 1u);
  EXPECT_EQ(status(), 44u);
  EXPECT_EQ(run(t, "DHCPEnable", {}), 1u);
  EXPECT_EQ(status(), 44u);
  EXPECT_EQ(set(t, "DefaultGateway", "10.0.0.2"), 1u);
  EXPECT_EQ(status(), 44u);
  EXPECT_EQ(run(t, "DeleteDefaultGateway", {}), 1u);
  EXPECT_EQ(status(), 44u);
  EXPECT_EQ(value_at(t + "/InitiatorIPAddress") + " " + value_at(t + "/DefaultGateway"), "0.0.0.0 10.0.0.1");
}

TEST_F(NetLab, RoutesKeepTheirNumbersAndARemovalEnds) {
  const std::string table = tcpip(kGen3Phba) + "/RouteTable";
  ASSERT_EQ(run(table, "AddRouteTableEntry", {"10.1.0.0", "255.255.0.0", "10.0.0.1"}), 0u);
  ASSERT_EQ(run(table, "AddRouteTableEntry", {"10.2.0.0", "255.255.0.0", "10.0.0.1"}), 0u);
  EXPECT_EQ(value_at(table + "/RouteTableEntry1/Destination"), "10.2.0.0");
  EXPECT_EQ(run(table, "DeleteRouteTableEntry", {"7"}), 1u);
  EXPECT_EQ(status(), 20u);
  sim_.inject_status(11, 2, 3, 0, 1);
  EXPECT_EQ(run(table, "DeleteRouteTableEntry", {"0"}), 1u);
  EXPECT_EQ(status(), 129u);
  EXPECT_EQ(groups_under(table), (Strings{"RouteTableEntry0", "RouteTableEntry1"}));
  ASSERT_EQ(run(table, "DeleteRouteTableEntry", {"0"}), 0u);
  EXPECT_EQ(groups_under(table), Strings{"RouteTableEntry1"});
  sim_.journal_clear();
  EXPECT_EQ(run(table, "AddRouteTableEntry", {"fd00::", "255.255.0.0", "10.0.0.1"}), 1u);
  EXPECT_EQ(status(), 17u);
  EXPECT_EQ(sent(11, 2), 0u);
  sim_.inject_status(11, 2, 1, 22, 1);
  EXPECT_EQ(run(table, "AddRouteTableEntry", {"10.3.0.0", "255.255.0.0", "10.0.0.1"}), 1u);
  EXPECT_EQ(last_status().text, "Failed to add route entries. Exceed maximum manual route entries.");

  hm_node* phba = vx::get_node(static_cast<int32_t>(tag_at(kGen3Phba)));
  // A firmware that takes a deletion and still reports the route ends the removal with 1.
  sim_.inject_status(11, 2, 0, 0, -1);
  EXPECT_EQ(vx::VARU_delete_available_routes(phba), 1u);
  sim_.clear_faults();
  ASSERT_EQ(run(table, "AddRouteTableEntry", {"10.4.0.0", "255.255.0.0", "10.0.0.1"}), 0u);
  EXPECT_EQ(vx::VARU_delete_available_routes(phba), 0u);
  EXPECT_TRUE(groups_under(table).empty());
}

TEST_F(NetLab, ArpEntriesAreRebuiltAndNeverRecordedAsDeleted) {
  const std::string table = tcpip(kGen3Phba) + "/ARPTable";
  ASSERT_EQ(run(table, "AddARPTableEntry", {"10.0.0.5", "00:11:22:33:44:55"}), 0u);
  ASSERT_EQ(run(table, "AddARPTableEntry", {"10.0.0.6", "00-11-22-33-44-66"}), 0u);
  EXPECT_EQ(value_at(table + "/ARPTableEntry0/MACAddress"), "00-11-22-33-44-55");
  EXPECT_EQ(run(table, "AddARPTableEntry", {"10.0.0.7", "00-11-22-33-44-6G"}), 1u);
  EXPECT_EQ(status(), 17u);
  sim_.inject_status(9, 2, 3, 0, 1);
  EXPECT_EQ(run(table, "AddARPTableEntry", {"10.0.0.7", "00-11-22-33-44-77"}), 1u);
  EXPECT_EQ(status(), 130u);
  EXPECT_EQ(groups_under(table), (Strings{"ARPTableEntry0", "ARPTableEntry1"}));
  EXPECT_EQ(run(table, "DeleteARPTableEntry", {"5"}), 1u);
  EXPECT_EQ(status(), 20u);
  ASSERT_EQ(run(table, "DeleteARPTableEntry", {"0"}), 0u);
  EXPECT_EQ(value_at(table + "/ARPTableEntry0/IPAddress"), "10.0.0.6");
  hm_node* entry = vx::get_node(static_cast<int32_t>(tag_at(table + "/ARPTableEntry0")));
  EXPECT_EQ(vx::group_data(entry)->creating_action, nullptr) << "a rebuild after a deletion records no action";
}

TEST_F(NetLab, Ipv6IsNotOnGeneration3) {
  const std::string v6 = ipv6(kGen3Phba);
  EXPECT_EQ(cached_at(v6 + "/InitiatorRoutableAddress1"), "N/A") << "as start-up read it";
  for (const char* p : {"IPv6State", "InitiatorLinkLocalAddress", "InitiatorRoutableAddress2", "DefaultIPv6Gateway"}) {
    EXPECT_EQ(value_at(v6 + "/" + p), "N/A") << p;
  }
  EXPECT_EQ(run(v6, "ConfigureIPv6Address", {"1", "fd00::21"}), 1u);
  EXPECT_EQ(status(), 291u);
  EXPECT_EQ(run(v6, "AutoAssignEnable", {"Auto"}), 1u);
  EXPECT_EQ(status(), 291u);
  EXPECT_EQ(set(v6, "DefaultIPv6Gateway", "fd00::1"), 1u) << "a refused write never reads as success";
  EXPECT_EQ(status(), 291u);
}

TEST_F(NetLab, Ipv6AddressesGatewayAndAutoAssignment) {
  const std::string v6 = ipv6(kGen5Phba);
  EXPECT_EQ(value_at(v6 + "/InitiatorLinkLocalAddress"), "FE80:0000:0000:0000:021F:4EFF:FE50:0002");
  ASSERT_EQ(run(v6, "ConfigureIPv6Address", {"1", "fd00::21"}), 0u);
  ASSERT_EQ(run(v6, "ConfigureIPv6Address", {"2", "fd00::22"}), 0u);
  EXPECT_EQ(value_at(v6 + "/InitiatorRoutableAddress2"), "FD00:0000:0000:0000:0000:0000:0000:0022");
  // Judged whole: a valid address followed by more characters is refused before anything goes.
  sim_.journal_clear();
  EXPECT_EQ(run(v6, "ConfigureIPv6Address", {"1", "FD00:0000:0000:0000:0000:0000:0000:00210"}), 1u);
  EXPECT_EQ(status(), 17u);
  EXPECT_EQ(sent(21, 2), 0u);
  EXPECT_EQ(value_at(v6 + "/InitiatorRoutableAddress1"), "FD00:0000:0000:0000:0000:0000:0000:0021");
  EXPECT_EQ(run(v6, "ConfigureIPv6Address", {"2", "fd00::5"}), 1u) << "a target's address";
  EXPECT_EQ(status(), 69u);
  ASSERT_EQ(run(v6, "ConfigureIPv6Address", {"1", "0::0"}), 0u);
  EXPECT_EQ(value_at(v6 + "/InitiatorRoutableAddress1"), kZero);

  ASSERT_EQ(set(v6, "DefaultIPv6Gateway", "fd00::1"), 0u);
  EXPECT_EQ(value_at(v6 + "/DefaultIPv6Gateway"), "FD00:0000:0000:0000:0000:0000:0000:0001");
  EXPECT_EQ(set(v6, "DefaultIPv6Gateway", "::"), 1u);
  EXPECT_EQ(status(), 17u);
  ASSERT_EQ(run(v6, "AutoAssignEnable", {"DHCP"}), 0u);
  EXPECT_EQ(value_at(v6 + "/IPv6State"), "AutoAssign");
  EXPECT_EQ(value_at(v6 + "/DefaultIPv6Gateway"), kZero) << "auto-assignment removes the gateway";
  EXPECT_EQ(value_at(v6 + "/InitiatorRoutableAddress1"), "FD00:0000:0000:0000:021F:4EFF:FE50:0002");
  ASSERT_EQ(run(v6, "AutoAssignDisable", {}), 0u);
  EXPECT_EQ(value_at(v6 + "/IPv6State"), "Static");
}

TEST_F(NetLab, StatisticsFollowLoginsAndIo) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  const std::string stats = std::string(kGen3Lhba) + "/iSCSIStatistics";
  EXPECT_EQ(value_at(stats + "/LoginAcceptRsps"), "1");
  EXPECT_EQ(value_at(stats + "/NodeRoles"), "2");
  // Each kind of refused login is counted as its kind, with the target and address that refused.
  const struct {
    const char* name;
    const char* address;
    const char* port;
    const char* login_kind;
    const char* session_kind;
    const char* counter;
  } refusals[] = {
      {kChapTarget, "10.0.0.6", nullptr, "LoginAuthenticationFailure", "OtherErrors", "LoginAuthFails"},
      {kCrcTarget, "10.0.0.7", "3261", "LoginNegotiationFailure", "DigestErrors", "SessionDigestErrors"},
      {"iqn.2026-01.com.example:nowhere", "10.0.0.99", nullptr, "OtherFailure", "ConnectionTimeoutErrors",
       "SessionConnectionTimeout"},
  };
  for (const auto& r : refusals) {
    add_target(kGen3Lhba, r.name, r.address, r.port);
    EXPECT_EQ(value_at(stats + "/LastFailureType"), r.login_kind) << r.name;
    EXPECT_EQ(cached_at(stats + "/LastTgtFailureName") + " " + cached_at(stats + "/LastTgtFailureAddr"),
              std::string(r.name) + " " + r.address);
    EXPECT_EQ(value_at(stats + "/LastSessionFailureType"), r.session_kind) << r.name;
    EXPECT_EQ(cached_at(stats + "/" + r.counter), "1") << r.name;
  }
  EXPECT_EQ(value_at(stats + "/LoginFailures"), "3");
  EXPECT_EQ(value_at(stats + "/SessionCount"), "4");

  const std::string target = target_path(kGen3Lhba, 0);
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 1) + "/TargetAlias"), "chap") << "a failed session is listed too";
  ASSERT_EQ(act(tag_at(target), "ReScanLUNS", {}), 0u);
  EXPECT_EQ(value_at(target + "/TargetAlias"), "open");
  const std::string session = target + "/Session0/iSCSISessionStatistics";
  EXPECT_GT(std::stoul(value_at(session + "/CmdPdus")), 0u);
  EXPECT_EQ(value_at(session + "/CmdPdus"), cached_at(session + "/RspPdus"));
  const unsigned long before = std::stoul(value_at(session + "/TxDataOctetsHigh"));
  ASSERT_EQ(act(tag_at(target + "/LUN0"), "SCSIWrite", {"50", "3"}), 0u);
  EXPECT_EQ(std::stoul(value_at(session + "/TxDataOctetsHigh")), before + 3 * 512);

  // A session the firmware no longer lists reads as a failure, not as its old values.
  hm_node* node = vx::get_node(static_cast<int32_t>(tag_at(target + "/Session0")));
  vx::logout_request gone{vx::record_of(node)->firmware_handle};
  ASSERT_EQ(vx::ioctl_logout_target(vx::get_port_number(node), &gone, 0, 0), 0u);
  EXPECT_EQ(value_at(session + "/CmdPdus"), "<1>");
}

TEST_F(NetLab, PortFactsOfTheFirmware) {
  stop();
  use_config_text(R"({"adapters": [{"serial_number": "P1", "generation": 3, "pci": {"bus": 7},
      "iscsi_functions": [{"function": 2, "port": 0, "mac": "00:1f:4e:00:00:02", "qos_speed": 123},
                          {"function": 3, "port": 1, "link": "down", "mtu": 1500}]}]})");
  ASSERT_EQ(start(), 0u);
  const std::string up = "Vexalon0/iSCSIPhysicalHBA0/Network/NICConfiguration";
  const std::string down = "Vexalon0/iSCSIPhysicalHBA1/Network/NICConfiguration";
  EXPECT_EQ(value_at(up + "/PortSpeed"), "1.2Gb");
  EXPECT_EQ(value_at(up + "/PortMaxSpeed") + " " + value_at(up + "/MaxMTUSize"), "10Gb 9000");
  EXPECT_EQ(value_at(up + "/LogicalLinkStatus") + " " + value_at(up + "/ActivePort"), "Up 0");
  EXPECT_EQ(value_at(up + "/MACAddress"), "00-1f-4e-00-00-02");
  EXPECT_EQ(value_at(down + "/LogicalLinkStatus") + " " + value_at(down + "/ActivePort"), "Down None");
  EXPECT_EQ(value_at(down + "/PortSpeed") + " " + value_at(down + "/MaxMTUSize"), "0 (Link Down) 1500");
  stop();
  use_example("iscsi-lab.json");
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/PortSpeed"), "10Gb") << "asked on the NIC path";
}

TEST_F(NetLab, IsnsServersFollowTheFirmware) {
  const std::string g3 = isns(kGen3Phba);
  ASSERT_EQ(run(g3, "ConfigureiSNSServer", {"10.0.0.8", nullptr}), 0u);
  EXPECT_EQ(value_at(g3 + "/iSNSServer0/IPAddress") + ":" + value_at(g3 + "/iSNSServer0/PortNumber"), "10.0.0.8:3205");
  sim_.journal_clear();
  EXPECT_EQ(run(g3, "ConfigureiSNSServer", {"10.0.0.9", "3205"}), 1u) << "generation 3 has one server";
  EXPECT_EQ(status(), 81u);
  EXPECT_EQ(sent(29, 2), 0u);
  ASSERT_EQ(set(g3, "iSNSEnabled", "Yes"), 0u);
  sim_.journal_clear();
  ASSERT_EQ(set(g3, "iSNSEnabled", "yes"), 0u);
  EXPECT_EQ(sent(29, 2), 0u) << "already on: nothing sent";
  ASSERT_EQ(set(g3, "iSNSEnabled", "No"), 0u);
  ASSERT_EQ(VARU_refresh_group(static_cast<int32_t>(tag_at(g3))), 0u);
  EXPECT_EQ(value_at(g3 + "/iSNSServer0/IPAddress"), "10.0.0.8") << "switching keeps the servers";
  EXPECT_EQ(run(g3, "DeleteiSNSServer", {"2"}), 1u);
  EXPECT_EQ(status(), 20u);
  ASSERT_EQ(run(g3, "DeleteiSNSServer", {"0"}), 0u);
  ASSERT_EQ(VARU_refresh_group(static_cast<int32_t>(tag_at(g3))), 0u);
  EXPECT_TRUE(groups_under(g3).empty());

  const std::string g5 = isns(kGen5Phba);
  EXPECT_EQ(run(g5, "ConfigureiSNSServer", {"10.0.0.99", "3205"}), 0u) << "kept, but nothing answers there";
  EXPECT_EQ(status(), 32u);
  ASSERT_EQ(run(g5, "DiscoveryiSNSThruDHCP", {}), 0u);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(VARU_refresh_group(static_cast<int32_t>(tag_at(g5))), 0u);
  EXPECT_EQ(groups_under(g5), (Strings{"iSNSServer0", "iSNSServer1"})) << "the first instance is left as it was";
  EXPECT_EQ(value_at(g5 + "/iSNSServer1/IPAddress"), "10.0.0.8");
  ASSERT_EQ(run(g5, "ConfigureiSNSServer", {"fd00::8", "3205"}), 0u);
  EXPECT_EQ(value_at(g5 + "/iSNSServer2/IPAddress"), "FD00:0000:0000:0000:0000:0000:0000:0008");
}

// Malformed, out-of-range and over-long values: the status, and neither the tree nor the
// simulated adapter changed.
TEST_F(NetLab, RefusedValuesChangeNothing) {
  const std::string t = tcpip(kGen5Phba);
  const std::string v6 = ipv6(kGen5Phba);
  ASSERT_EQ(run(t, "ConfigureIPAddress", {"10.0.0.21", "255.255.255.0"}), 0u);
  ASSERT_EQ(run(t + "/RouteTable", "AddRouteTableEntry", {"10.1.0.0", "255.255.0.0", "10.0.0.1"}), 0u);
  ASSERT_EQ(run(isns(kGen5Phba), "ConfigureiSNSServer", {"10.0.0.8", nullptr}), 0u);
  const std::string over_long(300, '1');
  const struct {
    std::string group;
    const char* name;   // an action, or a property when `value` is given
    std::initializer_list<const char*> params;
    const char* value;
    uint32_t code;
  } rows[] = {
      {t, "ConfigureIPAddress", {"10.0.0.256", "255.255.255.0"}, nullptr, 17},
      {t, "ConfigureIPAddress", {"10.0.0.22", "255.0.255.0"}, nullptr, 17},
      {t, "ConfigureIPAddress", {over_long.c_str(), "255.255.255.0"}, nullptr, 8},
      {t, "ConfigureVLAN", {"4095", nullptr}, nullptr, 7},
      {t, "ConfigureVLAN", {"100", "8"}, nullptr, 7},
      {t, "ConfigureVLAN", {"1e2", nullptr}, nullptr, 6},
      {t, "DefaultGateway", {}, "10.0.0.300", 6},
      {t, "DefaultGateway", {}, "fd00::9", 17},
      {t + "/RouteTable", "AddRouteTableEntry", {"10.2.0.0", "255.0.255.0", "10.0.0.1"}, nullptr, 6},
      {t + "/RouteTable", "AddRouteTableEntry", {"10.2.0.0", "255.255.0.0", "fd00::1"}, nullptr, 17},
      {t + "/RouteTable", "DeleteRouteTableEntry", {"1024"}, nullptr, 7},
      {t + "/ARPTable", "AddARPTableEntry", {"10.0.0.7", "00:11:22:33:44:5"}, nullptr, 8},
      {t + "/ARPTable", "AddARPTableEntry", {"10.0.0.7", "0011:22:33:44:555"}, nullptr, 17},
      {t + "/ARPTable", "DeleteARPTableEntry", {"64"}, nullptr, 7},
      {v6, "ConfigureIPv6Address", {"3", "fd00::21"}, nullptr, 6},
      {v6, "ConfigureIPv6Address", {"1", "fd00::21::1"}, nullptr, 17},
      {v6, "ConfigureIPv6Address", {"1", over_long.c_str()}, nullptr, 8},
      {v6, "AutoAssignEnable", {"Static"}, nullptr, 6},
      {v6, "DefaultIPv6Gateway", {}, "fd00:0:0:0:0:0:0:1:2", 17},
      {isns(kGen5Phba), "ConfigureiSNSServer", {"10.0.0.8", "80"}, nullptr, 7},
      {isns(kGen5Phba), "ConfigureiSNSServer", {"fd00::8::1", nullptr}, nullptr, 6},
      {isns(kGen5Phba), "DeleteiSNSServer", {"4"}, nullptr, 7},
      {isns(kGen5Phba), "iSNSEnabled", {}, "Maybe", 6},
  };
  for (const auto& r : rows) {
    snapshot(tag_at(kGen5Phba));   // every value read afresh first
    const std::string tree = tree_text(tag_at(kGen5Phba), "", false);
    const std::string state = root_.read(kGen5NetFile);
    const uint32_t rc = r.value != nullptr ? set(r.group, r.name, r.value) : run(r.group, r.name, r.params);
    EXPECT_NE(rc, 0u) << r.name;
    EXPECT_EQ(status(), r.code) << r.name;
    EXPECT_EQ(tree_text(tag_at(kGen5Phba), "", false), tree) << r.name;
    EXPECT_EQ(root_.read(kGen5NetFile), state) << r.name;
  }
}

}  // namespace
}  // namespace vxtest
