// What a failed step leaves behind on the lab: a saved file that cannot be written, a registration
// or an address the firmware refuses. The action fails with a status that says what stands, the
// tree, the saved files and the adapter tell one story, and a new process shows what the failing
// one showed. Two clients on one host record a send-target portal once.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kRaceFlag = "VXIMA_RACE_CHILD";
constexpr const char* kReady = "/cfg/race-ready";
constexpr const char* kGo = "/cfg/race-go";
constexpr int kRacedPortals = 24;

// Adds send-target portals 10.1.0.1 .. 10.1.0.24 to the generation-3 logical HBA (some refused).
void add_raced_portals() {
  const uint32_t discovery = tag_at(std::string(kGen3Lhba) + "/Discovery");
  for (int i = 1; i <= kRacedPortals; ++i) {
    act(discovery, "AddSendTargetPortal", {("10.1.0." + std::to_string(i)).c_str(), "3260"});
  }
}

TEST_F(IscsiLab, ASavedTargetFileThatCannotBeWrittenChangesNothing) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  ASSERT_EQ(add_target(kGen3Lhba, kCrcTarget, "10.0.0.7", "3261"), 0u);   // its session fails: idle
  const std::string open = target_path(kGen3Lhba, 0);
  const std::string idle = target_path(kGen3Lhba, 1);
  const std::string records = saved();
  std::filesystem::create_directory(root_.at(std::string(kSavedTargets) + ".tmp"));   // no rewrite can land
  const std::string kept = "Failed to update savetgt.txt. The persistent registration of the session is kept.";
  const struct {
    std::string group;
    const char* action;
    std::initializer_list<const char*> params;
    std::string text;
    std::string stays;    // a node the failure keeps
    std::string absent;   // a node it did not make, or one that went (the logged-out session)
  } rows[] = {
      {kGen3Lhba, "AddTarget", {kChapTarget, "10.0.0.6"}, "Failed to update savetgt.txt. The target is not added.", "",
       target_path(kGen3Lhba, 2)},
      {open, "AddTargetPortal", {"10.0.0.5", "3262"}, "Failed to update savetgt.txt. The target portal is not added.",
       "", open + "/TargetPortal1"},
      {kGen3Lhba, "DeleteTarget", {"1"}, kept, idle + "/Session0", ""},
      {idle, "DeleteTargetPortal", {"0"}, kept, idle + "/TargetPortal0", ""},
      {open, "Logout", {}, kept, open, open + "/Session0"},   // logged out; registered still
      {idle + "/TargetLoginOptions/Authentication", "ConfigureCHAP",
       {"One-Way CHAP", nullptr, nullptr, "u", "tgtsecret123"},
       "Failed to update savetgt.txt. No changes have been made to the configuration.", idle, ""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.action);
    EXPECT_STATUS(act(tag_at(r.group), r.action, r.params), 336, r.text);
    EXPECT_TRUE(r.stays.empty() || tag_at(r.stays) != kMissing) << r.stays;
    EXPECT_TRUE(r.absent.empty() || tag_at(r.absent) == kMissing) << r.absent;
    EXPECT_EQ(saved(), records);
  }
  expect_same_after_restart(kGen3Lhba);
}

TEST_F(IscsiLab, ARefusedRegistrationKeepsThePreviousOptions) {
  ASSERT_EQ(add_target(kGen3Lhba, kChapTarget, "10.0.0.6"), 0u);   // no CHAP yet: its session fails
  const std::string target = target_path(kGen3Lhba, 0);
  const std::string options = target + "/TargetLoginOptions";
  ASSERT_EQ(value_at(target + "/Session0/SessionStatus"), "Login failed");
  const std::string records = saved();
  const std::string refused =
      "The adapter refused to register the target with the new login options. The previous login options are kept.";
  sim_.inject_status(27, 6, 1, 0xFF, 1);
  EXPECT_STATUS(act(tag_at(options + "/Authentication"), "ConfigureCHAP",
                    {"One-Way CHAP", nullptr, nullptr, "tgtuser", "tgtsecret123", "Required"}),
                337, refused);
  sim_.inject_status(27, 6, 1, 0xFF, 1);
  EXPECT_STATUS(set_value(tag_at(options), "DataDigest", "CRC32C"), 337, refused);
  EXPECT_EQ(value_at(options + "/Authentication/AuthenticationMethod") + " " + value_at(options + "/DataDigest"),
            "None None");
  EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), "Login failed") << "registered as before";
  EXPECT_EQ(saved(), records) << "the record keeps its ISID and its options";
  expect_same_after_restart(kGen3Lhba);
}

TEST_F(IscsiLab, ARefusedAddressOrGatewayKeepsTheOldOne) {
  const std::string t = "Vexalon1/iSCSIPhysicalHBA0/Network/TCPIPConfiguration";
  ASSERT_EQ(act(tag_at(t), "ConfigureIPAddress", {"10.0.0.21", "255.255.255.0"}), 0u);
  ASSERT_EQ(set_value(tag_at(t), "DefaultGateway", "10.0.0.1"), 0u);
  // 10.0.0.5 is a target's: the firmware answers the duplicate.
  EXPECT_STATUS(act(tag_at(t), "ConfigureIPAddress", {"10.0.0.5", "255.255.0.0"}), 69,
                "Duplicate IP address detected. Please check that the IP address given is not conflicting with an "
                "existing IP address in the subnet. Choose a unique IP address.");
  sim_.inject_status_after(23, 2, 3, 0, 1, 1);   // the old gateway goes, the new one is refused
  EXPECT_EQ(set_value(tag_at(t), "DefaultGateway", "10.0.0.2"), 1u);
  EXPECT_EQ(last_status().code, 132u);
  EXPECT_EQ(value_at(t + "/InitiatorIPAddress") + " " + value_at(t + "/InitiatorSubnetMask") + " " +
                value_at(t + "/DefaultGateway"),
            "10.0.0.21 255.255.255.0 10.0.0.1");
  expect_same_after_restart(t);
}

TEST_F(IscsiLab, TwoClientsRecordEachSendTargetPortalOnce) {
  root_.write("/cfg/.keep", "");
  const pid_t child = spawn_child("RaceChild.AddsTheSamePortals", kRaceFlag);
  for (int waited = 0; !root_.exists(kReady) && waited < 30000; ++waited) ::usleep(1000);
  ASSERT_TRUE(root_.exists(kReady)) << "the second client started";
  root_.write(kGo, "");
  add_raced_portals();
  ASSERT_EQ(wait_child(child), 0);
  const std::string records = root_.read("/scratch/Talvix/savestp.txt");
  for (int i = 1; i <= kRacedPortals; ++i) {
    const std::string address = ",10.1.0." + std::to_string(i) + ",3260,";
    EXPECT_EQ(records.find(address), records.rfind(address)) << address << " recorded once";
  }
  // Records that two clients once both wrote make one portal each at the next start.
  root_.write("/scratch/Talvix/savestp.txt", records + records);
  stop();
  ASSERT_EQ(start(), 0u);
  size_t portals = 0;
  for (const std::string& g : groups_under(std::string(kGen3Lhba) + "/Discovery")) {
    portals += g.rfind("SendTargetPortal", 0) == 0;
  }
  EXPECT_EQ(portals, static_cast<size_t>(kRacedPortals));
}

TEST(RaceChild, AddsTheSamePortals) {
  if (std::getenv(kRaceFlag) == nullptr) GTEST_SKIP() << "runs in the child of TwoClientsRecordEachSendTargetPortal";
  const std::string root = std::getenv("VXIMA_ROOT");
  ASSERT_EQ(VARU_init(), 0u);
  std::ofstream(root + kReady).put('\n');
  for (int waited = 0; !std::filesystem::exists(root + kGo) && waited < 30000; ++waited) ::usleep(1000);
  add_raced_portals();
  VARU_exit();
}

TEST(RestartChild, ShowsTheSameTree) {
  if (std::getenv(kRestartFlag) == nullptr) GTEST_SKIP() << "runs in the child of expect_same_after_restart";
  FILE* f = std::fopen((std::string(std::getenv("VXIMA_ROOT")) + kRestartWalk).c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::string expected;
  for (int c; (c = std::fgetc(f)) != EOF;) expected.push_back(static_cast<char>(c));
  std::fclose(f);
  const std::string path = expected.substr(0, expected.find('\n'));
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(walk(tag_at(path)), expected.substr(path.size() + 1));
  VARU_exit();
}

}  // namespace
}  // namespace vxtest
