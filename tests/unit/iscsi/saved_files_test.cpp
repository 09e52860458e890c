// The saved text files: whole-field matching, the three removal modes, the field reader, the
// writers' refusal of values that would break a record, the start-up damage check, the file seen
// whole after a writer is killed in the middle of rewrites, and what a process keeps of a file:
// not read again while unchanged, read again after any change, also by another process.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "iscsi/saved_files.h"
#include "platform/file_store.h"
#include "schema/controller.h"
#include "schema/handlers.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "support/one_second.h"
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
    const pid_t child = vxtest::started_child([&]() -> int {
      for (bool to_two = true;; to_two = !to_two) {
        rewrite_records(kSaveTargetFile, [&](std::string& line) {
          std::vector<std::string> f = split_record(line);
          f[kTargetIsidField] = to_two ? "7" : "";
          line.clear();
          for (size_t i = 0; i < f.size(); ++i) line += (i ? "," : "") + f[i];
          return true;
        });
      }
    });
    ASSERT_GT(child, 0);
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
    vxtest::kill_child(child);
    const std::string left = root_.read(kSaveTargetFile);
    EXPECT_TRUE(left == one || left == two) << "round " << round << ": " << left.size() << " bytes";
  }
}

// ---- what a process keeps of a file -----------------------------------------------------------

int g_reads = 0;
ssize_t counted_read(int fd, void* buf, size_t count) {
  ++g_reads;
  return ::read(fd, buf, count);
}

// Counts the reads of the saved files while it stands.
class ReadCounter {
 public:
  ReadCounter() { vx::file_store::system_calls().read = counted_read; }
  ~ReadCounter() { vx::file_store::system_calls() = saved_; }
  int since() {
    const int n = g_reads;
    g_reads = 0;
    return n;
  }

 private:
  vx::file_store::SystemCalls saved_ = vx::file_store::system_calls();
};

// The clock a file's version is taken by, `ahead` seconds past the real one: a minute ahead, every
// version is of a file that changed long before (neither its modification nor its change time can
// be put back), and is trusted while the file shows the same status.
class VersionClock {
 public:
  explicit VersionClock(int ahead) {
    offset() = ahead;
    vx::file_store::system_calls().clock_gettime = [](clockid_t clock, struct timespec* now) {
      const int rc = ::clock_gettime(clock, now);
      now->tv_sec += offset();
      return rc;
    };
  }
  ~VersionClock() { vx::file_store::system_calls() = saved_; }
  VersionClock(const VersionClock&) = delete;
  VersionClock& operator=(const VersionClock&) = delete;

 private:
  static int& offset() {
    static int seconds = 0;
    return seconds;
  }
  vx::file_store::SystemCalls saved_ = vx::file_store::system_calls();
};
constexpr int kLongAfter = 60;

// The ISID field of the record of iqn.t<n>, "-" without one, "?" when the file cannot be read.
std::string isid_of(int n) {
  std::vector<std::string> found;
  const std::vector<std::string> key = {"Vexalon0", "iSCSIPhysicalHBA0", "LogicalHBA0", "iqn.t" + std::to_string(n)};
  if (find_record(kSaveTargetFile, key, true, 0, &found) == file_store::ReadResult::kFailed) return "?";
  return found.size() > kTargetIsidField ? found[kTargetIsidField] : "-";
}

// Rewrites the ISID of every record through the records of this process: one digit, so that the
// file keeps its size.
bool set_isids(char digit) {
  return rewrite_records(kSaveTargetFile, [&](std::string& line) {
    std::vector<std::string> f = split_record(line);
    f[kTargetIsidField] = std::string(1, digit);
    line = join_record(f);
    return true;
  });
}

TEST_F(SavedFiles, AnUnchangedFileIsNotReadAgainAndAnyChangeIsSeen) {
  std::string records;
  for (int i = 0; i < 50; ++i) records += target_line(0, "iqn.t" + std::to_string(i), "10.0.0.1", "3260", "1");
  const size_t first_isid = records.find(",1,iqn.init");
  const std::string changed = records.substr(0, first_isid) + ",2" + records.substr(first_isid + 2);
  root_.write(kSaveTargetFile, records);
  const VersionClock clock(kLongAfter);
  ReadCounter reads;
  ASSERT_EQ(isid_of(0), "1");
  EXPECT_GT(reads.since(), 0);
  EXPECT_EQ(isid_of(49), "1");
  EXPECT_EQ(isid_of(7), "1");
  EXPECT_EQ(reads.since(), 0) << "the file is the one read: its records are taken as they were";

  // Each change, however it is made, is seen by the next lookup; the contents are all one size.
  const struct {
    const char* how;
    std::function<void()> change;
    std::string isid;
    bool in_one_second;   // the change and the lookup share one second of the file times
  } rows[] = {
      {"replaced (as another process's store does)",
       [&] { ASSERT_TRUE(file_store::write_file(root_.at(kSaveTargetFile), changed)); }, "2", false},
      {"written in place (an edit by hand)", [&] { root_.write(kSaveTargetFile, records); }, "1", false},
      {"replaced, read, and at once written in place: within one second of the file's times",
       [&] {
         ASSERT_TRUE(file_store::write_file(root_.at(kSaveTargetFile), changed));
         EXPECT_EQ(isid_of(0), "2");
         root_.write(kSaveTargetFile, records);
       },
       "1", true},
      {"removed", [&] { ::unlink(root_.at(kSaveTargetFile).c_str()); }, "-", false},
      {"made again", [&] { root_.write(kSaveTargetFile, changed); }, "2", false},
  };
  for (const auto& r : rows) {
    if (root_.exists(kSaveTargetFile)) isid_of(0);   // known, and settled
    std::optional<vxtest::OneSecond> times;
    if (r.in_one_second) times.emplace();
    r.change();
    EXPECT_EQ(isid_of(0), r.isid) << r.how;
  }
  // What this process writes is what it reads next.
  ASSERT_TRUE(set_isids('3'));
  EXPECT_EQ(isid_of(0), "3");
  EXPECT_EQ(root_.read(kSaveTargetFile).find(",2,"), std::string::npos);
}

// Two processes take turns: each checks that it sees the change the other made last, then changes
// the file twice. Every content has the same size and, put back after each change, the same
// modification time: only the file itself tells one from the other.
TEST_F(SavedFiles, TwoProcessesSeeEachOthersChanges) {
  std::string records;
  for (int i = 0; i < 20; ++i) records += target_line(0, "iqn.t" + std::to_string(i), "10.0.0.1", "3260", "0");
  root_.write(kSaveTargetFile, records);
  const struct timespec old_times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, root_.at(kSaveTargetFile).c_str(), old_times, 0), 0);
  const VersionClock clock(kLongAfter);   // every version settled: only the file's status tells
  ASSERT_EQ(isid_of(0), "0");   // this process keeps the file from here on, and so does its child
  constexpr int kTurns = 200;
  auto play = [&](int in, int out, int first) {
    ReadCounter reads;
    int wrong = 0;
    for (int turn = first; turn < kTurns; turn += 2) {
      char want = 0;
      if (::read(in, &want, 1) != 1) return kTurns;
      reads.since();
      if (isid_of(0) != std::string(1, want) || isid_of(19) != std::string(1, want)) ++wrong;
      const int read = reads.since();
      if (turn > 1 && read == 0) ++wrong;   // the other's change was read (none before turn 1)
      if (isid_of(10) != std::string(1, want) || reads.since() != 0) ++wrong;   // and kept
      const char next = static_cast<char>('0' + turn % 10);
      for (char digit : {static_cast<char>('0' + (turn + 5) % 10), next}) {
        if (!set_isids(digit) ||
            ::utimensat(AT_FDCWD, root_.at(kSaveTargetFile).c_str(), old_times, 0) != 0) {
          return kTurns;
        }
      }
      if (::write(out, &next, 1) != 1) return kTurns;
    }
    return wrong;
  };
  const vxtest::Turns turns = vxtest::take_turns(play);
  EXPECT_EQ(turns.parent, 0);
  EXPECT_EQ(turns.child, 0);
}

}  // namespace
