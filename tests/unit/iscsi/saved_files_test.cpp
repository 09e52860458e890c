// The saved text files: whole-field matching, the three removal modes, the field reader, the
// writers' refusal of values that would break a record, the start-up damage check, and the file
// seen whole after a writer is killed in the middle of rewrites.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "iscsi/saved_files.h"
#include "schema/controller.h"
#include "schema/handlers.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "support/test_support.h"

namespace {

using namespace vx;

// A target record of LogicalHBA0 under iSCSIPhysicalHBA<phba> with name, address, port and ISID.
std::string target_line(int phba, const std::string& name, const std::string& address, const std::string& port,
                        const std::string& isid, const std::string& secret = "") {
  return "Vexalon0,iSCSIPhysicalHBA" + std::to_string(phba) + ",LogicalHBA0," + name + "," + address + "," + port +
         "," + isid + ",iqn.init,Yes,Yes,None,None,One-Way CHAP,,," + "tuser," + secret + ",Static,Preferred,Prohibited,Prohibited\n";
}

class SavedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(init_hm(), 0);
    hm_node* controller = initialize_Vexalon(get_node(0), nullptr, nullptr, nullptr);
    lhba_ = initialize_LogicalHBA(initialize_iSCSIPhysicalHBA(controller, nullptr, nullptr, nullptr), nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(lhba_, nullptr);
  }
  void TearDown() override { exit_hm(); }

  vxtest::TempRoot root_;
  hm_node* lhba_ = nullptr;
};

TEST_F(SavedFiles, KeysMatchWholeFields) {
  const struct {
    const char* line;
    std::vector<std::string> key;
    bool ignore_case;
    bool match;
  } rows[] = {
      {"Vexalon0,iSCSIPhysicalHBA0,LogicalHBA10,t", {"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA1"}, true, false},
      {"Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,t,10.0.0.1,3260", {"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA0", "t",
                                                                  "10.0.0.1", "326"}, true, false},
      {"Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,T", {"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA0", "t"}, true, true},
      {"Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,T", {"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA0", "t"}, false, false},
      {"Vexalon0,iSCSIPhysicalHBA0", {"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA0"}, true, false},
  };
  for (const auto& r : rows) EXPECT_EQ(record_matches(split_record(r.line), r.key, r.ignore_case), r.match) << r.line;
}

TEST_F(SavedFiles, RemovalModesAndTheirKeys) {
  const std::string a = target_line(0, "iqn.t1", "10.0.0.1", "3260", "");
  const std::string b = target_line(0, "iqn.t1", "10.0.0.1", "3260", "0");
  const std::string c = target_line(0, "IQN.T1", "10.0.0.1", "3260", "1", "p%dsecret%s12");
  const std::string d = target_line(0, "iqn.t1", "10.0.0.1", "326", "");
  const std::string e = target_line(0, "iqn.t2", "10.0.0.1", "3260", "0", "50%off-secret");
  const std::string f = target_line(1, "iqn.t1", "10.0.0.1", "3260", "");
  const std::string all = a + "\n" + b + c + d + e + f;   // with an empty line, which is skipped
  const struct {
    const char* name;
    const char* port;
    uint32_t isid;
    uint32_t mode;
    std::string left;
  } rows[] = {
      {"iqn.t1", "3260", kAnyIsid, kTargetRecords, d + e + f},
      {"iqn.t1", "3260", 1, kTargetRecords, a + b + d + e + f},
      {"iqn.t1", "326", kAnyIsid, kTargetRecords, a + b + c + e + f},
      {nullptr, nullptr, kAnyIsid, kLogicalHbaRecords, f},
  };
  for (const auto& r : rows) {
    root_.write(kSaveTargetFile, all);
    EXPECT_EQ(VARU_remove_entry_from_file(lhba_, r.name, "10.0.0.1", r.port, r.isid, r.mode), 0u);
    EXPECT_EQ(root_.read(kSaveTargetFile), r.left) << (r.name ? r.name : "") << " " << r.isid;
  }
  // Duplicates are told exactly, case and all.
  root_.write(kSaveTargetFile, all);
  EXPECT_EQ(VARU_check_for_duplicate_entry_in_file(0, 0, 0, "iqn.t1", "10.0.0.1", "3260", kTargetRecords, 1), 0u);
  EXPECT_EQ(VARU_check_for_duplicate_entry_in_file(0, 0, 0, "IQN.T1", "10.0.0.1", "3260", kTargetRecords, 1), 1u);
  EXPECT_EQ(VARU_check_for_duplicate_entry_in_file(0, 1, 0, "iqn.t1", "10.0.0.1", "3260", kTargetRecords, kAnyIsid), 1u);

  root_.write(kSaveTargetFile, "");
  EXPECT_EQ(VARU_remove_entry_from_file(lhba_, "iqn.t1", "10.0.0.1", "3260", kAnyIsid, kTargetRecords), 0u);
  EXPECT_TRUE(root_.exists(kSaveTargetFile));
  EXPECT_EQ(VARU_remove_entry_from_file(lhba_, nullptr, "10.0.0.1", "3260", kAnyIsid, kPortalRecords), 1u);
  EXPECT_FALSE(root_.exists(kSavePortalFile)) << "a missing file is not created";
}

TEST_F(SavedFiles, FieldReaderClearsEverySlotAndWritersRefuseBrokenValues) {
  std::vector<std::string> fields = {"stale", "stale"};
  const std::vector<std::string> key = {"vexalon0", "iscsiphysicalhba0", "logicalhba0"};
  EXPECT_EQ(VARU_get_iscsi_data_from_file("Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.9", key, &fields, 5, 3), 0u);
  EXPECT_EQ(fields, (std::vector<std::string>{"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA0", "10.0.0.9", ""}));
  EXPECT_EQ(VARU_get_iscsi_data_from_file("Vexalon1,iSCSIPhysicalHBA0,LogicalHBA0,x", key, &fields, 5, 3), 1u);
  EXPECT_EQ(fields, std::vector<std::string>(5));

  for (const char* bad : {"a,b", "a\nb", "a\rb", "a\tb", "a\x7f"}) {
    EXPECT_FALSE(append_record(kSavePortalFile, {"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA0", bad})) << bad;
  }
  EXPECT_FALSE(root_.exists(kSavePortalFile));
  root_.write(kSavePortalFile, "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.8,3260");   // no newline at its end
  ASSERT_TRUE(append_record(kSavePortalFile, {"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA0", "10.0.0.9", "3260"}));
  hm_node* adapter = get_first_instance(get_node(0), "Vexalon");
  hm_node* phba = get_first_instance(adapter, "iSCSIPhysicalHBA");
  EXPECT_EQ(VARU_sync_stp_with_file(adapter, phba, lhba_, lhba_, "10.0.0.9", "3260"), 0u);
  EXPECT_EQ(VARU_sync_stp_with_file(adapter, phba, lhba_, lhba_, "10.0.0.9", "3261"), 1u);
  EXPECT_EQ(VARU_sync_stp_with_file(adapter, phba, lhba_, lhba_, "10.0.0.8", "3260"), 0u);
}

TEST_F(SavedFiles, DamagedFilesAreMovedAsideAndSoundOnesKeptByteForByte) {
  varu_set_debug_level_value(6);
  ASSERT_TRUE(varu_log_open());
  const std::string sound_target = target_line(0, "iqn." + std::string(1500, 'x'), "10.0.0.1", "3260", "");
  const std::string portal = "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.9,3260,,Yes,Yes,None,None,None,,,,,Prohibited,Prohibited\n";
  const std::string sound_options = "Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,Yes,Yes,None,None,None,,,,,Prohibited,Prohibited,Prohibited\n";
  const struct {
    const char* file;
    std::string content;
    bool damaged;
  } rows[] = {
      {kSaveTargetFile, sound_target + "\n" + sound_target, false},
      {kSavePortalFile, portal, true},   // 16 commas
      {kInitiatorOptionsFile, "Adapter0" + sound_options.substr(8), true},
  };
  for (const auto& r : rows) root_.write(r.file, r.content);
  EXPECT_EQ(VARU_check_for_corrupted_database(), 0u);
  varu_log_close();
  varu_set_debug_level_value(0);
  const std::string log = root_.read("/tmp/varu2d.log");
  for (const auto& r : rows) {
    SCOPED_TRACE(r.file);
    EXPECT_EQ(root_.exists(r.file), !r.damaged);
    EXPECT_EQ(root_.read(std::string(r.file) + (r.damaged ? ".corrupt" : "")), r.content);
  }
  EXPECT_NE(log.find("VARU_check_for_corrupted_database:tokens = 16, /scratch/Talvix/savestp.txt corrupted. So "
                     "deleting it.\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("tokens = 14, /scratch/Talvix/intr_logopts.txt corrupted"), std::string::npos);
}

// A writer killed at any point of a rewrite leaves the old content or the new, never a mix.
TEST_F(SavedFiles, AKilledWriterLeavesTheOldOrTheNewFile) {
  std::string one;
  std::string two;
  for (int i = 0; i < 200; ++i) {
    one += target_line(0, "iqn.t" + std::to_string(i), "10.0.0.1", "3260", "");
    two += target_line(0, "iqn.t" + std::to_string(i), "10.0.0.1", "3260", "7");
  }
  std::mt19937 random(20260101);
  for (int round = 0; round < 40; ++round) {
    root_.write(kSaveTargetFile, one);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (bool to_two = true;; to_two = !to_two) {
        rewrite_records(kSaveTargetFile, [&](std::string& line) {
          std::vector<std::string> f = split_record(line);
          f[kTargetIsidField] = to_two ? "7" : "";
          line.clear();
          for (size_t i = 0; i < f.size(); ++i) line += (i ? "," : "") + f[i];
          return true;
        });
      }
    }
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const std::string left = root_.read(kSaveTargetFile);
    EXPECT_TRUE(left == one || left == two) << "round " << round << ": " << left.size() << " bytes";
  }
}

}  // namespace
