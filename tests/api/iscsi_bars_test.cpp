// A host restart with a whole iSCSI configuration (address, gateway, IPv6, routes, iSNS, login
// options and CHAP at the initiator and a target, static targets, a send-target portal): a new
// process builds the same tree, value for value. And the erase of that configuration.
#include <cstdlib>

#include <gtest/gtest.h>

#include "adapter/controller_attribs.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kPhba = "Vexalon1/iSCSIPhysicalHBA0";
constexpr const char* kPortalsFile = "/scratch/Talvix/savestp.txt";

class Bars : public IscsiLab {
 protected:
  uint32_t run(const std::string& group, const char* action, std::initializer_list<const char*> slots) {
    return act(tag_at(group), action, slots);
  }
  // The configuration of the restart bar, on the generation-5 adapter's first function.
  void configure() {
    const std::string t = std::string(kPhba) + "/Network/TCPIPConfiguration";
    const std::string lhba = kGen5Lhba;
    ASSERT_EQ(run(t, "ConfigureIPAddress", {"10.0.0.21", "255.255.255.0"}), 0u);
    ASSERT_EQ(set_value(tag_at(t), "DefaultGateway", "10.0.0.1"), 0u);
    ASSERT_EQ(run(t + "/RouteTable", "AddRouteTableEntry", {"10.1.0.0", "255.255.0.0", "10.0.0.1"}), 0u);
    ASSERT_EQ(run(t + "/ARPTable", "AddARPTableEntry", {"10.0.0.5", "00-11-22-33-44-55"}), 0u);
    ASSERT_EQ(run(t + "/IPv6Configuration", "ConfigureIPv6Address", {"1", "fd00::21"}), 0u);
    ASSERT_EQ(set_value(tag_at(t + "/IPv6Configuration"), "DefaultIPv6Gateway", "fd00::1"), 0u);
    ASSERT_EQ(run(std::string(kPhba) + "/iSNS", "ConfigureiSNSServer", {"10.0.0.8", nullptr}), 0u);
    ASSERT_EQ(set_value(tag_at(std::string(kPhba) + "/iSNS"), "iSNSEnabled", "Yes"), 0u);
    ASSERT_EQ(run(lhba + "/InitiatorLoginOptions/Authentication", "ConfigureCHAP",
                  {"One-Way CHAP", nullptr, nullptr, "tgtuser", "tgtsecret123", "Required"}),
              0u);
    ASSERT_EQ(set_value(tag_at(lhba + "/InitiatorLoginOptions"), "ImmediateData", "No"), 0u);
    ASSERT_EQ(add_target(kGen5Lhba, kChapTarget, "10.0.0.6"), 0u);
    ASSERT_EQ(add_target(kGen5Lhba, kOpenTarget, "10.0.0.5"), 0u);
    ASSERT_EQ(run(target_path(kGen5Lhba, 1) + "/TargetLoginOptions/Authentication", "DeleteCHAP", {}), 0u);
    ASSERT_EQ(set_value(tag_at(target_path(kGen5Lhba, 1) + "/TargetLoginOptions"), "DataDigest", "CRC32C"), 0u);
    ASSERT_EQ(run(lhba + "/Discovery", "AddSendTargetPortal", {"10.0.0.9", "3260"}), 0u);
    ASSERT_EQ(run(lhba + "/Discovery/SendTargetPortal0/SendTargetPortalLoginOptions/Authentication", "ConfigureCHAP",
                  {"One-Way CHAP", nullptr, nullptr, "discuser", "discsecret12", "Required"}),
              0u);
  }
};

TEST_F(Bars, ANewProcessBuildsTheSameTree) {
  configure();
  ASSERT_EQ(value_at(target_path(kGen5Lhba, 0) + "/Session0/SessionStatus"), "Open");
  // What the firmware found meanwhile (iSNS is on) and the LUNs, as a start-up reads them.
  ASSERT_EQ(act(tag_at(std::string(kGen5Lhba) + "/Discovery"), "RefreshAvailableTargets", {}), 0u);
  expect_same_after_restart("");   // the session open again among the rest
}

TEST_F(Bars, EraseIsRefusedWithAnOpenSessionAndOtherwiseClearsTheFunction) {
  configure();
  const std::string targets = saved();
  snapshot(tag_at(kPhba));   // every value read afresh first
  const std::string tree = tree_text(tag_at(kPhba), "", false);
  EXPECT_EQ(act(tag_at(kPhba), "EraseConfiguration", {}), 1u);
  EXPECT_EQ(last_status().code, 41u);
  EXPECT_EQ(tree_text(tag_at(kPhba), "", false), tree) << "nothing changed, routes included";
  EXPECT_EQ(saved(), targets);

  for (int t = 0; t < 2; ++t) ASSERT_EQ(act(tag_at(target_path(kGen5Lhba, t)), "Logout", {}), 0u);
  vx::vm_flag = 1;
  EXPECT_EQ(act(tag_at(kPhba), "EraseConfiguration", {}), 1u);
  EXPECT_EQ(last_status().code, 256u);
  vx::vm_flag = 0;
  ASSERT_EQ(act(tag_at(kPhba), "EraseConfiguration", {}), 0u);
  EXPECT_EQ(last_status().code, 184u);
  const std::string t = std::string(kPhba) + "/Network/TCPIPConfiguration";
  EXPECT_EQ(value_at(t + "/InitiatorIPAddress") + " " + value_at(t + "/DefaultGateway"), "0.0.0.0 0.0.0.0");
  EXPECT_TRUE(groups_under(t + "/RouteTable").empty());
  EXPECT_EQ(value_at(t + "/IPv6Configuration/InitiatorRoutableAddress1"), "0000:0000:0000:0000:0000:0000:0000:0000");
  EXPECT_EQ(value_at(t + "/IPv6Configuration/InitiatorLinkLocalAddress"), "FE80:0000:0000:0000:021F:4EFF:FE50:0002");
  EXPECT_EQ(value_at(std::string(kPhba) + "/iSNS/iSNSEnabled"), "No");
  EXPECT_TRUE(groups_under(std::string(kPhba) + "/iSNS").empty());
  EXPECT_EQ(tag_at(target_path(kGen5Lhba, 0)), kMissing);
  EXPECT_EQ(tag_at(std::string(kGen5Lhba) + "/Discovery/SendTargetPortal0"), kMissing);
  EXPECT_EQ(saved().find("Vexalon1,iSCSIPhysicalHBA0,"), std::string::npos);
  EXPECT_EQ(root_.read(kPortalsFile).find("Vexalon1,iSCSIPhysicalHBA0,"), std::string::npos);
  const std::string auth = std::string(kGen5Lhba) + "/InitiatorLoginOptions/Authentication";
  EXPECT_EQ(value_at(auth + "/AuthenticationMethod") + " " + value_at(auth + "/CHAPParam"), "None Prohibited");
  EXPECT_EQ(value_at(std::string(kGen5Lhba) + "/InitiatorLoginOptions/ImmediateData"), "Yes");
}

TEST_F(Bars, EraseAllRunsEveryFunctionAndReportsTheFirstFailure) {
  ASSERT_EQ(add_target(kGen5Lhba, kOpenTarget, "10.0.0.5"), 0u);   // an open session on one function
  sim_.journal_clear();
  EXPECT_EQ(act(tag_at("Vexalon1"), "EraseAllConfiguration", {}), 1u);
  EXPECT_EQ(last_status().code, 41u) << "the first failure's status, though the others went on";
  size_t erases = 0;
  size_t profiles = 0;
  for (const vxsim_journal_entry& e : sim_.commands()) {
    erases += e.opcode == 7 && e.subsystem == 1;
    profiles += e.opcode == 169 && e.subsystem == 1;
  }
  EXPECT_EQ(erases, 5u) << "the second iSCSI function, both ports and both NIC functions";
  EXPECT_EQ(profiles, 1u);
  ASSERT_EQ(act(tag_at(target_path(kGen5Lhba, 0)), "Logout", {}), 0u);
  EXPECT_EQ(act(tag_at("Vexalon1"), "EraseAllConfiguration", {}), 0u);
  sim_.journal_clear();
  EXPECT_EQ(act(tag_at("Vexalon0"), "EraseAllConfiguration", {}), 0u);
  for (const vxsim_journal_entry& e : sim_.commands()) EXPECT_NE(e.opcode, 169) << "a profile only on generation 5";
}

}  // namespace
}  // namespace vxtest
