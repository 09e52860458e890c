// Static targets through the public calls on the simulated lab: the firmware logs in as soon as a
// target is added, the saved-target file records each portal, and a target goes only when no
// session of it is logged in.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "schema/target.h"
#include "support/one_second.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

std::string record(const std::string& key, const std::string& name, const std::string& address, const std::string& port,
                   const std::string& isid, const std::string& initiator, const std::string& options = "Yes,Yes,None,None") {
  return key + "," + name + "," + address + "," + port + "," + isid + "," + initiator + "," + options +
         ",None,,,,,Static,Prohibited,Prohibited,Prohibited\n";
}

TEST_F(IscsiLab, AddTargetLogsInAndRecordsEachPortal) {
  struct Row {
    const char* lhba;
    const char* name;
    const char* address;
    const char* port;
    uint32_t result;
    const char* shown_address;
    const char* session;   // SessionStatus of Session0, or NULL for no target
  };
  const Row rows[] = {
      {kGen3Lhba, kOpenTarget, "10.0.0.5", nullptr, 0, "10.0.0.5", "Open"},
      {kGen3Lhba, kCrcTarget, "10.0.0.7", "3261", 0, "10.0.0.7", "Login failed"},   // no CRC32C offered
      {kGen3Lhba, kChapTarget, "10.0.0.6", "3260", 0, "10.0.0.6", "Login failed"},  // no CHAP offered
      {kGen3Lhba, "iqn.2026-01.com.example:nowhere", "10.9.9.9", "3260", 0, "10.9.9.9", "Login failed"},
      {kGen3Lhba, "iqn.2026-01.com.example:v6", "fd00::5", nullptr, 1, nullptr, nullptr},   // generation 3: no IPv6
      {kGen5Lhba, kOpenTarget, "fd00::5", "3260", 0, "FD00:0000:0000:0000:0000:0000:0000:0005", "Open"},
  };
  int next[2] = {0, 0};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.lhba) + " " + r.name + " " + r.address);
    EXPECT_EQ(add_target(r.lhba, r.name, r.address, r.port), r.result);
    if (r.session == nullptr) {
      EXPECT_EQ(last_status().code, 330u);
      continue;
    }
    const std::string target = target_path(r.lhba, next[r.lhba == kGen5Lhba]++);
    EXPECT_EQ(value_at(target + "/TargetISCSIName"), r.name);
    EXPECT_EQ(value_at(target + "/TargetType"), "Static");
    EXPECT_EQ(value_at(target + "/TargetPortal0/TargetIPAddress"), r.shown_address);
    EXPECT_EQ(value_at(target + "/TargetPortal0/TargetPortNumber"), r.port != nullptr ? r.port : "3260");
    EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), r.session);
    EXPECT_EQ(value_at(target + "/Session0/ISIDQualifier"), "0000");
    EXPECT_EQ(value_at(target + "/Session0/Persistent"), "True");
    EXPECT_EQ(value_at(target + "/Session0/Connection0/DestinationIPAddress"), r.shown_address);
  }
  // Each portal twice: as added, and with the ISID of its persistent session.
  const std::string key3 = "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0";
  const std::string key5 = "Vexalon1,iSCSIPhysicalHBA0,LogicalHBA0";
  const std::string v6 = "FD00:0000:0000:0000:0000:0000:0000:0005";
  std::string want;
  const char* added[][3] = {{kOpenTarget, "10.0.0.5", "3260"},
                            {kCrcTarget, "10.0.0.7", "3261"},
                            {kChapTarget, "10.0.0.6", "3260"},
                            {"iqn.2026-01.com.example:nowhere", "10.9.9.9", "3260"}};
  for (const auto& a : added) {
    want += record(key3, a[0], a[1], a[2], "", kGen3Initiator) + record(key3, a[0], a[1], a[2], "0", kGen3Initiator);
  }
  const std::string gen5 = "iqn.1990-07.com.quillmarchant:bl5202b0007";
  want += record(key5, kOpenTarget, v6, "3260", "", gen5) + record(key5, kOpenTarget, v6, "3260", "0", gen5);
  EXPECT_EQ(saved(), want);
}

TEST_F(IscsiLab, DuplicatesAreRefusedAndANewPortalKeepsTheTargetsOptions) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  EXPECT_STATUS(add_target(kGen3Lhba, "IQN.2026-01.COM.EXAMPLE:STORE.OPEN", "10.0.0.6"), 21,
                "Cannot add duplicate target entry as a target already exists with same target name. Please provide "
                "different target name to add another target.");
  EXPECT_STATUS(add_target(kGen3Lhba, "iqn.2026-01.com.example:a,b", "10.0.0.6"), 6, "TargetName: Invalid value.");
  EXPECT_STATUS(add_target(kGen3Lhba, "iqn.2026-01.com.example:z", "010.0.0.6"), 6, "IPAddress: Invalid value.");
  const uint32_t target = tag_at(target_path(kGen3Lhba, 0));
  EXPECT_STATUS(act(target, "AddTargetPortal", {"010.0.0.5"}), 6, "IPAddress: Invalid value.");
  EXPECT_STATUS(act(target, "AddTargetPortal", {"10.0.0.5", "3260"}), 214,
                "Given TargetPortal already exist. Please given another Target IPaddress and PortNumber");
  EXPECT_STATUS(act(target, "DeleteTargetPortal", {"7"}), 20,
                "Invalid instance number. Please use valid instance number.");

  // The target's own options stand in the record of its new portal and are left as they are.
  ASSERT_EQ(set_value(tag_at(target_path(kGen3Lhba, 0) + "/TargetLoginOptions"), "HeaderDigest", "CRC32C"), 0u);
  const std::string before = saved();
  ASSERT_EQ(act(target, "AddTargetPortal", {"10.0.0.5", "3262"}), 0u);
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 0) + "/TargetPortal1/TargetPortNumber"), "3262");
  EXPECT_EQ(cached_at(target_path(kGen3Lhba, 0) + "/TargetLoginOptions/HeaderDigest"), "CRC32C");
  const std::string key = "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0";
  EXPECT_EQ(saved(), before + record(key, kOpenTarget, "10.0.0.5", "3262", "", kGen3Initiator, "Yes,Yes,CRC32C,None") +
                         record(key, kOpenTarget, "10.0.0.5", "3262", "1", kGen3Initiator, "Yes,Yes,CRC32C,None"));
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 0) + "/Session1/SessionStatus"), "Login failed");
}

TEST_F(IscsiLab, DeleteIsRefusedWhileASessionIsLoggedInAndAcceptedAfter) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  ASSERT_EQ(add_target(kGen3Lhba, kChapTarget, "10.0.0.6"), 0u);
  const std::string before = saved();
  const uint32_t lhba = tag_at(kGen3Lhba);
  EXPECT_STATUS(act(lhba, "DeleteTarget", {"0"}), 34,
                "Cannot delete iSCSI target with a session that is logged in. Please perform an OEMQMLogOut for the "
                "iSCSI session and the target can then be deleted.");
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 0) + "/TargetISCSIName"), kOpenTarget);
  EXPECT_EQ(saved(), before);
  EXPECT_STATUS(act(lhba, "DeleteTarget", {"9"}), 20, "Invalid instance number. Please use valid instance number.");
  // A refused delete still withdraws the failed session of a second portal, which the firmware drops.
  ASSERT_EQ(act(tag_at(target_path(kGen3Lhba, 0)), "AddTargetPortal", {"10.0.0.5", "3262"}), 0u);
  EXPECT_EQ(act(lhba, "DeleteTarget", {"0"}), 1u);

  ASSERT_EQ(session_control(kOpenTarget, VXSIM_SESSION_CLOSE), 1);
  sim_.inject_status(28, 6, 1, 0xFF, 1);   // a registration the firmware keeps keeps its target
  EXPECT_STATUS(act(lhba, "DeleteTarget", {"0"}), 127, "Failed to delete persistency of the session.");
  EXPECT_EQ(act(lhba, "DeleteTarget", {"0"}), 0u);
  EXPECT_EQ(tag_at(target_path(kGen3Lhba, 0)), kMissing);
  EXPECT_EQ(saved().find(kOpenTarget), std::string::npos);
  EXPECT_NE(saved().find(kChapTarget), std::string::npos);
  // The firmware withdrew the registration: a new add logs in afresh with the first ISID.
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 0) + "/Session0/SessionStatus"), "Open");
  EXPECT_EQ(value_at(target_path(kGen3Lhba, 0) + "/Session0/ISIDQualifier"), "0000");
}

TEST_F(IscsiLab, ATargetGoesWithTheRecordsOfAllItsPortalsAndShowsTheTypeRecorded) {
  ASSERT_EQ(add_target(kGen3Lhba, kChapTarget, "10.0.0.6"), 0u);
  const uint32_t target = tag_at(target_path(kGen3Lhba, 0));
  ASSERT_EQ(act(target, "AddTargetPortal", {"10.0.0.6", "3262"}), 0u);
  ASSERT_EQ(act(target, "AddTargetPortal", {"10.0.0.7"}), 0u);
  std::string file = saved();
  ASSERT_EQ(std::count(file.begin(), file.end(), '\n'), 6);
  for (size_t at; (at = file.find(",Static,")) != std::string::npos;) file.replace(at, 8, ",Discovered,");
  root_.write(kSavedTargets, file);
  EXPECT_EQ(value_of(target, "TargetType"), "Discovered");
  EXPECT_EQ(act(tag_at(kGen3Lhba), "DeleteTarget", {"0"}), 0u) << "no session of it is logged in";
  EXPECT_EQ(saved(), "");
}

// A writer that edits the file in place and puts its modification time back (`cp -p`, `touch -r`,
// `rsync --inplace -t`) moves only its change time, which stays in the second this process read the
// file in: the edit is seen all the same, and a later write keeps it.
TEST_F(IscsiLab, AnEditThatKeepsTheModificationTimeIsSeenAndKept) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  const std::string type = target_path(kGen3Lhba, 0) + "/TargetType";
  const std::string path = root_.at(kSavedTargets);
  const OneSecond times;   // the steps below share one second of the file times
  // The file was last modified long ago (a copy that kept its times), changed now.
  const struct timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  ASSERT_EQ(value_at(type), "Static");
  std::string file = saved();
  for (size_t at; (at = file.find(",Static,")) != std::string::npos;) file.replace(at, 8, ",Manual,");
  root_.write(kSavedTargets, file);   // in place, the same size
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  EXPECT_EQ(value_at(type), "Manual");
  ASSERT_EQ(add_target(kGen3Lhba, kChapTarget, "10.0.0.6"), 0u);
  const std::string after = saved();
  EXPECT_GT(after.size(), file.size());
  EXPECT_EQ(after.substr(0, file.size()), file) << "the new target's records follow the edit's";
}

TEST_F(IscsiLab, Generation3HoldsAt128Targets) {
  // 127 targets built as the restore builds them, the 128th added: the next is one too many.
  hm_node* lhba = vx::get_node(static_cast<int32_t>(tag_at(kGen3Lhba)));
  for (int i = 0; i < 127; ++i) {
    hm_node* target = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    vx::set_prop_val(target, "TargetISCSIName", "iqn.2026-01.com.example:t%d", i);
  }
  EXPECT_EQ(add_target(kGen3Lhba, kChapTarget, "10.0.0.6"), 0u);
  EXPECT_STATUS(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 175,
                "The Target count exceeded the configured maximum limit.");
  EXPECT_EQ(add_target(kGen5Lhba, kOpenTarget, "10.0.0.5"), 0u) << "generation 5 counts no targets here";
}

TEST_F(IscsiLab, EtoFollowsTheFirmwareSessionAndIsCachedOnlyWhenTaken) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  const uint32_t target = tag_at(target_path(kGen3Lhba, 0));
  EXPECT_EQ(value_of(target, "ETO"), "10");
  EXPECT_EQ(set_value(target, "ETO", "25"), 0u);
  EXPECT_EQ(value_of(target, "ETO"), "25");
  sim_.inject_status(17, 6, 1, 0xFF, 1);
  EXPECT_STATUS(set_value(target, "ETO", "40"), 87,
                "Cannot set session config params. Application internal error occurred. Please check varu2d.log file "
                "for more information.");
  EXPECT_EQ(cached_at(target_path(kGen3Lhba, 0) + "/ETO"), "25");
}

TEST_F(IscsiLab, BootTargetOnGeneration5LivesInTheFlashRegion) {
  ASSERT_EQ(add_target(kGen5Lhba, kOpenTarget, "10.0.0.5", nullptr, "True"), 0u);
  const std::string session = target_path(kGen5Lhba, 0) + "/Session0";
  EXPECT_EQ(value_at(session + "/iSCSIBoot"), "True");
  const std::string region3 = "/var/lib/vxsim/BL5202B0007/objects/%2Fiscsidata%2FPort0%2FInstance0%2FRegion3";
  EXPECT_NE(root_.read(region3).find(kOpenTarget), std::string::npos);
  EXPECT_EQ(root_.read(region3).size() % 4, 0u);
  EXPECT_EQ(set_value(tag_at(session), "iSCSIBoot", "False"), 0u);
  EXPECT_EQ(value_at(session + "/iSCSIBoot"), "False");
  EXPECT_EQ(root_.read(region3).find(kOpenTarget), std::string::npos);
}

}  // namespace
}  // namespace vxtest
