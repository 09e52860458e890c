// Send-target portals and SendTargets discovery through the public calls on the simulated lab and on
// generated networks: what a discovery records, the pages of a long answer, the refresh of all
// targets, and the Discovery group that follows the send-target-portal file.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kSavedPortals = "/scratch/Talvix/savestp.txt";
constexpr const char* kDiscoveryPortal = "10.0.0.9";

size_t lines_with(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class IscsiDiscovery : public IscsiLab {
 protected:
  std::string discovery(const char* lhba) const { return std::string(lhba) + "/Discovery"; }
  std::string stp(const char* lhba, int n) const { return discovery(lhba) + "/SendTargetPortal" + std::to_string(n); }
  uint32_t add_portal(const char* lhba, const char* address, const char* port = "3260") {
    return act(tag_at(discovery(lhba)), "AddSendTargetPortal", {address, port});
  }
  // The lab's discovery portal, with the CHAP it asks for.
  void add_lab_portal(const char* lhba) {
    ASSERT_EQ(add_portal(lhba, kDiscoveryPortal), 0u);
    const uint32_t auth = tag_at(stp(lhba, 0) + "/SendTargetPortalLoginOptions/Authentication");
    ASSERT_EQ(act(auth, "ConfigureCHAP", {"One-Way CHAP", nullptr, nullptr, "discuser", "discsecret12", "Required"}), 0u);
  }
  size_t journal_count(uint8_t opcode, uint8_t subsystem) const {
    const auto commands = sim_.commands();
    return static_cast<size_t>(std::count_if(commands.begin(), commands.end(), [&](const vxsim_journal_entry& e) {
      return e.opcode == opcode && e.subsystem == subsystem && e.status == 0;
    }));
  }
};

TEST_F(IscsiDiscovery, DiscoveryRecordsEachPortalOnceAndLogsOut) {
  add_lab_portal(kGen5Lhba);
  const std::string mac = cached_at("Vexalon1/iSCSIPhysicalHBA0/Network/NICConfiguration/MACAddress");
  EXPECT_EQ(root_.read(kSavedPortals), "Vexalon1,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.9,3260," + mac +
                                           ",Yes,Yes,None,None,One-Way CHAP,,,discuser,discsecret12,Required,"
                                           "Prohibited,Prohibited\n");
  sim_.journal_clear();
  const uint32_t portal = tag_at(stp(kGen5Lhba, 0));
  ASSERT_EQ(act(portal, "DiscoverTargets", {}), 0u);
  EXPECT_EQ(journal_count(24, 6), 1u) << "the discovery session is logged out";
  const struct {
    const char* path;
    const char* value;
  } rows[] = {
      {"Target0/TargetISCSIName", kOpenTarget},
      {"Target0/TargetType", "Discovered"},
      {"Target0/TargetPortal0/TargetIPAddress", "10.0.0.5"},
      {"Target0/TargetPortal1/TargetIPAddress", "FD00:0000:0000:0000:0000:0000:0000:0005"},
      {"Target0/TargetPortal1/PortalGroupTag", "1"},
      {"Target1/TargetISCSIName", kChapTarget},
      {"Target1/TargetPortal0/TargetPortNumber", "3260"},
  };
  for (const auto& r : rows) EXPECT_EQ(value_at(std::string(kGen5Lhba) + "/" + r.path), r.value) << r.path;
  EXPECT_EQ(tag_at(std::string(kGen5Lhba) + "/Target0/Session0"), kMissing) << "discovery logs in to no target";
  const std::string once = saved();
  EXPECT_EQ(lines_with(once, "\n"), 3u);
  ASSERT_EQ(act(portal, "DiscoverTargets", {kChapTarget}), 0u);
  ASSERT_EQ(act(portal, "DiscoverTargets", {}), 0u);
  EXPECT_EQ(saved(), once) << "a second discovery records nothing again";

  // A discovery login whose CHAP the portal refuses ends in the authentication status.
  const uint32_t auth = tag_at(stp(kGen5Lhba, 0) + "/SendTargetPortalLoginOptions/Authentication");
  ASSERT_EQ(act(auth, "ConfigureCHAP", {"One-Way CHAP", nullptr, nullptr, "discuser", "wrongsecret1", "Required"}), 0u);
  EXPECT_STATUS(act(portal, "DiscoverTargets", {}), 25,
                "Authentication failure. Please make sure your initiator is properly enabled for authentication at the "
                "target.");
}

TEST_F(IscsiDiscovery, PortalsAreCheckedAndTheFileIsTheTruth) {
  ASSERT_EQ(add_portal(kGen3Lhba, "10.0.0.9", "3260"), 0u);
  const char* duplicate =
      "There already exists a send target portal entry with the given IP address and port number. Please provide "
      "different ipaddress or port number to add another send target portal entry.";
  EXPECT_STATUS(add_portal(kGen3Lhba, "10.0.0.9", "3260"), 22, duplicate);
  EXPECT_STATUS(add_portal(kGen3Lhba, "fd00::9"), 330, "IPv6 configuration is not supported on given adapter.");
  EXPECT_STATUS(act(tag_at(discovery(kGen3Lhba)), "DeleteSendTargetPortal", {"5"}), 20,
                "Invalid instance number. Please use valid instance number.");
  // A record without its node still counts as a duplicate; a node without its record discovers nothing.
  const std::string record = root_.read(kSavedPortals);
  root_.write(kSavedPortals, record + "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.10,3260,x,Yes,Yes,None,None,"
                                      "None,,,,,,,\n");
  EXPECT_STATUS(add_portal(kGen3Lhba, "10.0.0.10"), 22, duplicate);
  root_.write(kSavedPortals, "");
  sim_.journal_clear();
  EXPECT_EQ(act(tag_at(stp(kGen3Lhba, 0)), "DiscoverTargets", {}), 1u);
  EXPECT_EQ(sim_.commands().size(), 0u) << "no firmware command for a portal the file does not record";

  // The Discovery refresh follows the file: two records make two portals, none makes none.
  root_.write(kSavedPortals, record + "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.11,3261,00-1f-4e-30-00-02,No,"
                                      "Yes,CRC32C,None,None,,,,,,Preferred,\n");
  ASSERT_EQ(VARU_refresh_group(static_cast<int32_t>(tag_at(discovery(kGen3Lhba)))), 0u);
  EXPECT_EQ(value_at(stp(kGen3Lhba, 1) + "/IPAddress"), "10.0.0.11");
  EXPECT_EQ(value_at(stp(kGen3Lhba, 1) + "/SendTargetPortalLoginOptions/HeaderParam"), "Preferred");
  EXPECT_EQ(value_at(stp(kGen3Lhba, 1) + "/SendTargetPortalLoginOptions/Authentication/CHAPParam"), "Prohibited");
  ::unlink(root_.at(kSavedPortals).c_str());
  ASSERT_EQ(VARU_refresh_group(static_cast<int32_t>(tag_at(discovery(kGen3Lhba)))), 0u);
  EXPECT_EQ(tag_at(stp(kGen3Lhba, 0)), kMissing);
  EXPECT_EQ(tag_at(stp(kGen3Lhba, 1)), kMissing);
}

TEST_F(IscsiDiscovery, RefreshReportsTheUnreachablePortalAndKeepsTheRest) {
  add_lab_portal(kGen3Lhba);
  ASSERT_EQ(add_portal(kGen3Lhba, "10.9.9.9"), 0u);
  EXPECT_STATUS(act(tag_at(discovery(kGen3Lhba)), "RefreshAvailableTargets", {}), 79,
                "1 out of 2 SendTargetsPortals are failed to discover targets.");
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 0) + "/TargetISCSIName"), kOpenTarget);
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 1) + "/TargetISCSIName"), kChapTarget);
}

TEST_F(IscsiDiscovery, TheFirmwareTargetDatabaseComesBackWithARefresh) {
  ASSERT_EQ(add_target(kGen5Lhba, kOpenTarget, "10.0.0.5"), 0u);
  // A saved-target file that no longer records the target: the firmware still knows it.
  root_.write(kSavedTargets, "");
  ASSERT_EQ(act(tag_at(discovery(kGen5Lhba)), "RefreshAvailableTargets", {}), 0u);
  const std::string target = target_path(kGen5Lhba, 0);
  EXPECT_EQ(value_at(target + "/TargetISCSIName"), kOpenTarget);
  EXPECT_EQ(value_at(target + "/TargetType"), "Discovered");
  EXPECT_EQ(value_at(target + "/TargetPortal0/TargetIPAddress"), "10.0.0.5");
  EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), "Open");
  EXPECT_EQ(lines_with(saved(), kOpenTarget), 1u);
}

// The saved-target file after a start-up restore, two discoveries and a refresh, byte for byte: a
// record of port 0 goes at the start, a last line left without its newline stays whole, a new
// portal of a restored target is recorded with that target's options and type, a new target with
// the initiator's, and nothing twice.
TEST_F(IscsiDiscovery, TheSavedTargetFileAfterAPassIsPinned) {
  ASSERT_EQ(add_target(kGen5Lhba, kCrcTarget, "10.0.0.7", "3261"), 0u);   // the firmware keeps it registered
  stop();
  const std::string key = "Vexalon1,iSCSIPhysicalHBA0,LogicalHBA0,";
  std::string initiator = "iqn.x:old-name";   // the first records name an initiator name of the past
  auto record = [&](const std::string& name, const std::string& portal, const std::string& rest) {
    return key + name + "," + portal + ",," + initiator + "," + rest;
  };
  const std::string other = "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,iqn.x:y,10.0.0.7,3261,,x,Yes,Yes,None,None,"
                            "None,,,,,Static,,,\n";
  const std::string mine = "Yes,No,None,CRC32C,None,,,,,Static,,Preferred,";
  const std::string restored = record(kOpenTarget, "10.0.0.5,3260", mine);
  root_.write(kSavedTargets, other + record("iqn.x:gone", "10.0.0.8,0", mine) + "\n" + restored);
  ASSERT_EQ(start(), 0u);
  add_lab_portal(kGen5Lhba);
  for (const char* name : {"", kChapTarget}) ASSERT_EQ(act(tag_at(stp(kGen5Lhba, 0)), "DiscoverTargets", {name}), 0u);
  ASSERT_EQ(act(tag_at(discovery(kGen5Lhba)), "RefreshAvailableTargets", {}), 0u);
  initiator = value_at(std::string(kGen5Lhba) + "/InitiatoriSCSIName/InitiatoriSCSIName");
  const std::string initiators = "Yes,Yes,None,None,None,,,,,Discovered,Prohibited,Prohibited,Prohibited\n";
  EXPECT_EQ(saved(), other + restored + "\n" +
                         record(kCrcTarget, "10.0.0.7,3261", initiators) +
                         record(kOpenTarget, "FD00:0000:0000:0000:0000:0000:0000:0005,3260",
                                "Yes,No,None,CRC32C,None,,,,,Static,Prohibited,Preferred,Prohibited\n") +
                         record(kChapTarget, "10.0.0.6,3260", initiators));
}

// Generated networks: `count` targets behind one discovery portal that answers `page` per page.
class IscsiLongDiscovery : public IscsiDiscovery {
 protected:
  void SetUp() override {}
  void start_with(int count, int page) {
    std::ifstream in(source_path("examples/iscsi-lab.json"));
    std::stringstream text;
    text << in.rdbuf();
    nlohmann::json doc = nlohmann::json::parse(text.str());
    nlohmann::json targets = nlohmann::json::array();
    for (int i = 0; i < count; ++i) {
      targets.push_back({{"name", "iqn.2026-01.com.example:t" + std::to_string(i)},
                         {"portals", {{{"address", "10.1." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1)}}}}});
    }
    doc["network"] = {{"targets", targets}, {"discovery_portals", {{{"address", kDiscoveryPortal}, {"page_size", page}}}}};
    use_config_text(doc.dump());
    ASSERT_EQ(start(), 0u);
  }
  // A copy of this process discovering through the generation-5 portal, after `wait_for` appears;
  // it runs when this returns.
  pid_t fork_discovery(const std::string& wait_for = "") {
    const uint32_t portal = tag_at(stp(kGen5Lhba, 0));
    return started_child([&]() -> int {
      while (!wait_for.empty() && !root_.exists(wait_for)) ::usleep(100);
      return static_cast<int>(act(portal, "DiscoverTargets", {}));
    });
  }
};

TEST_F(IscsiLongDiscovery, Generation5ContinuesPastThePage) {
  start_with(150, 100);
  ASSERT_EQ(add_portal(kGen5Lhba, kDiscoveryPortal), 0u);
  ASSERT_EQ(act(tag_at(stp(kGen5Lhba, 0)), "DiscoverTargets", {}), 0u);
  EXPECT_EQ(journal_count(34, 6), 1u);
  EXPECT_EQ(value_at(target_path(kGen5Lhba, 149) + "/TargetISCSIName"), "iqn.2026-01.com.example:t149");
  EXPECT_EQ(lines_with(saved(), "\n"), 150u);
}

// A discovery that stops at the continuation keeps the first page's targets, recorded; one whose
// records cannot be written at its end keeps nothing it found, and says so.
TEST_F(IscsiLongDiscovery, APassWritesWhatItMadeOrTakesItBack) {
  start_with(150, 100);
  ASSERT_EQ(add_portal(kGen5Lhba, kDiscoveryPortal), 0u);
  const uint32_t portal = tag_at(stp(kGen5Lhba, 0));
  sim_.inject_status(34, 6, 1, 0, 1);
  EXPECT_STATUS(act(portal, "DiscoverTargets", {}), 131, "Unable to discover targets for the sendtargetportal.");
  const std::string first_page = saved();
  EXPECT_EQ(lines_with(first_page, "\n"), 100u);
  EXPECT_NE(tag_at(target_path(kGen5Lhba, 99)), kMissing);
  std::filesystem::create_directory(root_.at(std::string(kSavedTargets) + ".tmp"));   // no write can land
  EXPECT_STATUS(act(portal, "DiscoverTargets", {}), 336,
                "Failed to update savetgt.txt. The targets found are not added.");
  EXPECT_EQ(saved(), first_page);
  EXPECT_NE(tag_at(target_path(kGen5Lhba, 99) + "/TargetPortal0"), kMissing);
  EXPECT_EQ(tag_at(target_path(kGen5Lhba, 100)), kMissing);
}

// A discovery killed at any point leaves the saved-target file as it was or with every target
// recorded; two processes discovering at once record each target once.
TEST_F(IscsiLongDiscovery, KilledOrRacingDiscoveriesLeaveWholeFiles) {
  start_with(64, 100);
  ASSERT_EQ(add_portal(kGen5Lhba, kDiscoveryPortal), 0u);
  const std::string old = "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,iqn.x:y,10.0.0.7,3261,,x,Yes,Yes,None,None,None,,,,,"
                          "Static,,,\n";
  root_.write(kSavedTargets, old);
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(wait_child(fork_discovery()), 0);
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun);
  const std::string full = saved();
  ASSERT_EQ(lines_with(full, "\n"), 65u);
  std::mt19937 random(20260121);
  for (int round = 0; round < 16; ++round) {
    root_.write(kSavedTargets, old);
    const pid_t child = fork_discovery();
    ASSERT_GT(child, 0);
    ::usleep(std::uniform_int_distribution<useconds_t>(0, static_cast<useconds_t>(took.count()))(random));
    kill_child(child);
    const std::string left = saved();
    EXPECT_TRUE(left == old || left == full) << "round " << round << ": " << left.size() << " bytes";
  }
  root_.write(kSavedTargets, old);
  const pid_t one = fork_discovery("/cfg/go");
  const pid_t two = fork_discovery("/cfg/go");
  root_.write("/cfg/go", "");
  EXPECT_EQ(wait_child(one), 0);
  EXPECT_EQ(wait_child(two), 0);
  EXPECT_EQ(saved(), full);
}

TEST_F(IscsiLongDiscovery, Generation3StopsAt128) {
  start_with(200, 250);
  ASSERT_EQ(add_portal(kGen3Lhba, kDiscoveryPortal), 0u);
  ASSERT_EQ(act(tag_at(stp(kGen3Lhba, 0)), "DiscoverTargets", {}), 0u);
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 127) + "/TargetISCSIName"), "iqn.2026-01.com.example:t127");
  EXPECT_EQ(tag_at(target_path(kGen3Lhba, 128)), kMissing);
  EXPECT_EQ(journal_count(34, 6), 0u);
}

}  // namespace
}  // namespace vxtest
