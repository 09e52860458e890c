// The start-up restore from the saved files: default initiator options, targets with their
// portals and options, records that can make no target, and send-target portals.
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kOptionsFile = "/scratch/Talvix/intr_logopts.txt";
constexpr const char* kPortalsFile = "/scratch/Talvix/savestp.txt";
constexpr const char* kKey = "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,";

std::string target_record(const char* address, const char* port, const char* digest) {
  return std::string(kKey) + kOpenTarget + "," + address + "," + port + ",," + kGen3Initiator + ",Yes,No," + digest +
         ",None,None,,,,,Static,,Prohibited,\n";
}

TEST_F(IscsiLab, AFirstStartWritesTheDefaultInitiatorOptions) {
  const std::string options = root_.read(kOptionsFile);
  EXPECT_NE(options.find(std::string(kKey) + "Yes,Yes,None,None,None,,,,,Prohibited,Prohibited,Prohibited\n"),
            std::string::npos);
  EXPECT_NE(options.find("Vexalon1,iSCSIPhysicalHBA1,LogicalHBA0,"), std::string::npos);
  EXPECT_EQ(cached_at(std::string(kGen3Lhba) + "/InitiatorLoginOptions/Authentication/CHAPParam"), "Prohibited");
  stop();
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(root_.read(kOptionsFile), options) << "a record found is not written again";
}

TEST_F(IscsiLab, AnUnreadableOptionsFileIsNeverTakenAsOneWithoutTheRecord) {
  stop();
  const std::string file = root_.at(kOptionsFile);
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);   // there, but no file to read
  ASSERT_EQ(start(), 0u);
  EXPECT_TRUE(std::filesystem::is_directory(file)) << "no default record written in its place";
  EXPECT_EQ(cached_at(std::string(kGen3Lhba) + "/InitiatorLoginOptions/Authentication/CHAPParam"), "Prohibited");
}

TEST_F(IscsiLab, SavedTargetsComeBackWithTheirPortalsAndOptions) {
  stop();
  // Two portals of one target (the later record's options win), one record with port 0, and one
  // of another logical HBA.
  const std::string other = "Vexalon1,iSCSIPhysicalHBA0,LogicalHBA0," + std::string(kCrcTarget) +
                            ",10.0.0.7,3261,,x,Yes,Yes,None,None,None,,,,,Static,,,\n";
  root_.write(kSavedTargets, target_record("10.0.0.5", "3260", "None") + target_record("fd00::5", "3260", "CRC32C") +
                                 target_record("10.0.0.8", "0", "None") + other);
  root_.write(kPortalsFile, std::string(kKey) + "FD00:0000:0000:0000:0000:0000:0000:0009,3260,00-1f-4e-30-00-02," +
                                "Yes,Yes,None,None,None,,,,,,,\n");
  ASSERT_EQ(start(), 0u);
  const std::string target = target_path(kGen3Lhba, 0);
  EXPECT_EQ(value_at(target + "/TargetISCSIName"), kOpenTarget);
  EXPECT_EQ(value_at(target + "/TargetPortal1/TargetIPAddress"), "fd00::5");
  EXPECT_EQ(tag_at(target + "/TargetPortal2"), kMissing) << "port 0 makes no portal";
  EXPECT_EQ(cached_at(target + "/TargetLoginOptions/HeaderDigest"), "CRC32C");
  EXPECT_EQ(cached_at(target + "/TargetLoginOptions/ImmediateData"), "No");
  EXPECT_EQ(cached_at(target + "/TargetLoginOptions/DataParam"), "Prohibited") << "an empty field";
  EXPECT_EQ(value_at(target + "/TargetAlias"), "") << "no session: the firmware never had the target";
  EXPECT_EQ(value_at(std::string(kGen5Lhba) + "/Target0/TargetISCSIName"), kCrcTarget);
  EXPECT_EQ(saved(), target_record("10.0.0.5", "3260", "None") + target_record("fd00::5", "3260", "CRC32C") + other);

  const std::string stp = std::string(kGen3Lhba) + "/Discovery/SendTargetPortal0";
  EXPECT_EQ(cached_at(stp + "/IPAddress"), "FD00:0000:0000:0000:0000:0000:0000:0009");
  EXPECT_EQ(cached_at(stp + "/PortNumber"), "3260");
  hm_node* node = vx::get_node(static_cast<int32_t>(tag_at(stp)));
  EXPECT_STREQ(vx::group_data(node)->params[0], "FD00:0000:0000:0000:0000:0000:0000:0009") << "recorded whole";
}

TEST_F(IscsiLab, ARestoredTargetTheFirmwareReportsKeepsItsPortalAndTakesTheRecordsOptions) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  // Every record of the target (with and without the ISID of its persistent session) asks for a
  // header digest now.
  std::string records = saved();
  const std::string from = ",None,None,None,,,,,Static";
  for (size_t at; (at = records.find(from)) != std::string::npos;) records.replace(at, from.size(), ",CRC32C,None,None,,,,,Static");
  root_.write(kSavedTargets, records);
  stop();
  ASSERT_EQ(start(), 0u);
  const std::string target = target_path(kGen3Lhba, 0);
  EXPECT_EQ(value_at(target + "/Session0/SessionStatus"), "Open");
  EXPECT_EQ(tag_at(target + "/TargetPortal1"), kMissing) << "no second portal for the one the firmware has";
  EXPECT_EQ(cached_at(target + "/TargetLoginOptions/HeaderDigest"), "CRC32C");
}

}  // namespace
}  // namespace vxtest
