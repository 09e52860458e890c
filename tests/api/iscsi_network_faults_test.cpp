// What a refusing firmware leaves behind: every read and action of the network, statistics and
// iSNS side answers its own status and changes nothing; and the paths only a failure reaches.
#include <filesystem>

#include <gtest/gtest.h>

#include "adapter/controller_attribs.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kPhba = "Vexalon1/iSCSIPhysicalHBA0";

class NetFaults : public IscsiLab {
 protected:
  static std::string at(const char* rest) { return std::string(kPhba) + rest; }
};

TEST_F(NetFaults, EachRefusedCommandGivesItsStatus) {
  const std::string t = at("/Network/TCPIPConfiguration");
  const std::string stats = std::string(kGen5Lhba) + "/iSCSIStatistics";
  ASSERT_EQ(act(tag_at(t), "ConfigureIPAddress", {"10.0.0.21", "255.255.255.0"}), 0u);
  set_value(0, "VARUDebugLevel", "3");   // a refused id list is logged as a failure of the whole read
  sim_.inject_status(24, 2, 3, 0, 1);
  EXPECT_EQ(value_at(t + "/InitiatorIPAddress"), "<1>");
  EXPECT_NE(log().find("get_all_interfaces failed\n"), std::string::npos);
  const struct {
    int opcode;
    int subsystem;
    std::string group;
    const char* name;   // a property to read, or an action (with `action` set)
    bool action;
    uint32_t code;
  } rows[] = {
      {24, 2, t, "InitiatorIPAddress", false, 98},
      {25, 2, t, "DHCPEnabled", false, 99},
      {22, 2, t, "DefaultGateway", false, 133},
      {25, 2, t + "/IPv6Configuration", "IPv6State", false, 99},
      {22, 2, t + "/IPv6Configuration", "DefaultIPv6Gateway", false, 133},
      {10, 2, t + "/RouteTable", "RefreshRouteTableEntry", true, 100},
      {8, 2, t + "/ARPTable", "RefreshARPTableEntry", true, 97},
      {14, 2, t, "VLANDisable", true, 124},
      {18, 2, t, "DHCPDisable", true, 123},
      {18, 2, t + "/IPv6Configuration", "AutoAssignDisable", true, 123},
      {28, 2, at("/iSNS"), "iSNSEnabled", false, 80},
      {30, 2, stats, "NodeRoles", false, 91},
      {46, 6, stats, "SessionCount", false, 95},
      {47, 6, stats, "LoginFailures", false, 96},
      {7, 2, at("/Network/NICConfiguration"), "MaxMTUSize", false, 93},
      {5, 1, at("/Network/NICConfiguration"), "LogicalLinkStatus", false, 227},
      {5, 1, at("/Network/NICConfiguration"), "ActivePort", false, 94},
  };
  for (const auto& r : rows) {
    snapshot(tag_at(kPhba));
    const std::string tree = tree_text(tag_at(kPhba), "", false);
    vx::varu_set_last_status(0, "");
    sim_.inject_status(r.opcode, r.subsystem, 3, 0, -1);
    const uint32_t rc = r.action ? act(tag_at(r.group), r.name, {}) : (value_at(r.group + "/" + r.name)[0] == '<');
    sim_.clear_faults();
    EXPECT_NE(rc, 0u) << r.name;
    EXPECT_EQ(last_status().code, r.code) << r.name;
    EXPECT_EQ(tree_text(tag_at(kPhba), "", false), tree) << r.name;
  }
}

TEST_F(NetFaults, ARefusedWriteOfTheIsnsRecordIsReadBack) {
  const std::string isns = at("/iSNS");
  ASSERT_EQ(act(tag_at(isns), "ConfigureiSNSServer", {"10.0.0.8", nullptr}), 0u);
  // The firmware refuses the deletion's record, yet a second look shows one server: the instance goes.
  sim_.inject_status(29, 2, 3, 0, 1);
  EXPECT_EQ(act(tag_at(isns), "DeleteiSNSServer", {"0"}), 0u);
  EXPECT_TRUE(groups_under(isns).empty());
  // A server nothing answers at is kept; switching iSNS does not register it again.
  ASSERT_EQ(act(tag_at(isns), "ConfigureiSNSServer", {"10.0.0.99", "3205"}), 0u);
  EXPECT_EQ(last_status().code, 32u);
  ASSERT_EQ(set_value(tag_at(isns), "iSNSEnabled", "Yes"), 0u);
  EXPECT_EQ(set_value(tag_at(isns), "iSNSEnabled", "No"), 0u);
  EXPECT_EQ(value_at(isns + "/iSNSEnabled"), "No");
  EXPECT_EQ(value_at(isns + "/iSNSServer0/IPAddress"), "10.0.0.99");
}

TEST_F(NetFaults, TheLinkLocalAddressAndDuplicatesOfTheFirmware) {
  const std::string v6 = at("/Network/TCPIPConfiguration/IPv6Configuration");
  ASSERT_EQ(act(tag_at(v6), "ConfigureIPv6Address", {"0", "fe80::21"}), 0u);
  EXPECT_EQ(value_at(v6 + "/InitiatorLinkLocalAddress"), "FE80:0000:0000:0000:0000:0000:0000:0021");
  // Routable addresses are kept while the firmware has room; the first address stays in place.
  for (const char* address : {"fd00::31", "fd00::32"}) ASSERT_EQ(act(tag_at(v6), "ConfigureIPv6Address", {"2", address}), 0u);
  EXPECT_EQ(value_at(v6 + "/InitiatorRoutableAddress2"), "FD00:0000:0000:0000:0000:0000:0000:0032");
  const std::string t = at("/Network/TCPIPConfiguration");
  ASSERT_EQ(act(tag_at(t), "DHCPEnable", {}), 0u);
  sim_.inject_status(17, 2, 1, 24, 1);   // a DHCP error the firmware reports on the way
  ASSERT_EQ(act(tag_at(t), "DHCPDisable", {}), 0u);
  EXPECT_EQ(act(tag_at(t), "DeleteDefaultGateway", {}), 0u) << "nothing to delete";
}

TEST_F(NetFaults, ErasesThatCannotRun) {
  const std::string phba = at("");
  // The firmware refuses the erase: its status comes back and the program's side stays.
  ASSERT_EQ(act(tag_at(std::string(kGen5Lhba) + "/Discovery"), "AddSendTargetPortal", {"10.0.0.9", "3260"}), 0u);
  sim_.inject_status(7, 1, 1, 16, 1);
  EXPECT_EQ(act(tag_at(phba), "EraseConfiguration", {}), 1u);
  EXPECT_EQ(last_status().code, 41u);
  EXPECT_NE(tag_at(std::string(kGen5Lhba) + "/Discovery/SendTargetPortal0"), kMissing);
  vx::vm_flag = 1;
  EXPECT_EQ(act(tag_at("Vexalon1"), "EraseAllConfiguration", {}), 1u);
  EXPECT_EQ(last_status().code, 256u);
  vx::vm_flag = 0;
  // A saved-target file that cannot be rewritten keeps its records: no erase to report.
  std::filesystem::create_directory(root_.at(kSavedTargets));
  EXPECT_EQ(act(tag_at(phba), "EraseConfiguration", {}), 1u);
}

}  // namespace
}  // namespace vxtest
