// The pending-choices file under several writers: threads of one process and a second process
// changing fields of their own lines at once, and a writer killed at random points.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "adapter/pending_profile.h"
#include "support/test_support.h"

namespace {

using namespace vx;

// Three adapters of four functions each.
std::vector<std::string> original_lines() {
  std::vector<std::string> lines;
  for (const char* serial : {"BL5202A0001", "BL5202A0002", "BL5202A0003"}) {
    for (int f = 0; f < 4; ++f) lines.push_back(std::string(serial) + ",0x5,1,None,0x" + std::to_string(f) + ",NIC,Disabled");
  }
  return lines;
}

std::string content_of(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// True when `content` is the original lines with only the protocol and SR-IOV fields changed, to
// values a writer sets.
bool only_fields_changed(const std::string& content) {
  const std::vector<std::string> lines = pending_lines(content);
  const std::vector<std::string> original = original_lines();
  if (lines.size() != original.size() || content.empty() || content.back() != '\n') return false;
  for (size_t i = 0; i < lines.size(); ++i) {
    char got[kPendingFields][kValueSize];
    char want[kPendingFields][kValueSize];
    VARU_compare_cprofile_data(lines[i].c_str(), "", "", nullptr, got, kMatchAdapter);
    VARU_compare_cprofile_data(original[i].c_str(), "", "", nullptr, want, kMatchAdapter);
    for (int f = 0; f < kPendingFields; ++f) {
      const std::string value = got[f];
      const bool changeable = (f == kFieldProtocol && (value == "NIC" || value == "iSCSI")) ||
                              (f == kFieldSRIOV && (value == "Enabled" || value == "Disabled"));
      if (value != want[f] && !changeable) return false;
    }
  }
  return true;
}

// Sets `field` of function `function` of adapter `serial` to alternating values, `times` times;
// the last value written.
std::string keep_setting(const char* serial, int function, PendingField field, int times) {
  const AdapterKey key{serial, "0x5"};
  const std::string number = "0x" + std::to_string(function);
  const char* values[2][2] = {{"NIC", "iSCSI"}, {"Disabled", "Enabled"}};
  std::string last;
  for (int i = 0; i < times; ++i) {
    last = values[field == kFieldSRIOV][i % 2];
    if (set_pending_field(key, number.c_str(), last.c_str(), kMatchFunction, field) != 0) return "<failed>";
  }
  return last;
}

// Which line a read answers with: fields compared ignoring case and whole (a field cut short or
// running on does not match), missing fields empty, the last field running to the end of the line,
// and a function's second NIC or NIC+RoCE line taking the place of its first.
TEST(PendingFile, ReadsMatchWholeFieldsAndTakeAFunctionsSecondNicLine) {
  const struct {
    std::string content;
    const char* function;   // NULL: by adapter
    int want;               // index of the line answered, -1 none
  } rows[] = {
      {"bl1,0X5,1,None,0x0,iSCSI,N/A\n", "0x0", 0},
      {"BL1,0x5,1,None,0x0,NIC,Disabled\n", "0x00", -1},
      {"BL10,0x5,1,None,0x0,NIC,Disabled\nBL1,0x50,1,None,0x0,NIC,Disabled\n", nullptr, -1},
      {"BL1,0x5\n", nullptr, 0},
      {"BL1,0x5\n", "0x0", -1},
      {"BL1,0x5,1,None,0x0,NIC,Disabled\nBL1,0x5,1,None,0x0,NIC+RoCE,Dis,abled\n", "0x0", 1},
      {"BL1,0x5,1,None,0x0,NIC,Disabled\nBL1,0x5,1,None,0x1,NIC,Disabled\n", "0x1", 1},
      {"BL1,0x5,1,None,0x0,NIC,Disabled\nBL1,0x5,1,None,0x0,iSCSI,N/A\n", "0x0", 0},
      {"BL1,0x5,1,None,0x0,FCoE,N/A\nBL1,0x5,1,None,0x0,NIC,Disabled\n", "0x0", 0},
      {std::string("BL1\0x,0x5,1,None,0x0,NIC,Disabled\n", 35), nullptr, 0},
  };
  const AdapterKey key{"BL1", "0x5"};
  for (const auto& row : rows) {
    vxtest::TempRoot root;
    root.write(kPendingProfileFile, row.content);
    char fields[kPendingFields][kValueSize] = {};
    const uint32_t rc = get_pending_fields(key, row.function, fields, row.function ? kMatchFunction : kMatchAdapter);
    const std::vector<std::string> lines = pending_lines(row.content);
    if (row.want < 0) {
      EXPECT_EQ(rc, 1u) << row.content;
      continue;
    }
    ASSERT_EQ(rc, 0u) << row.content;
    char want[kPendingFields][kValueSize];
    VARU_compare_cprofile_data(lines[static_cast<size_t>(row.want)].c_str(), "", "", nullptr, want, kMatchAdapter);
    for (int f = 0; f < kPendingFields; ++f) EXPECT_STREQ(fields[f], want[f]) << row.content << " field " << f;
  }
}

// Every writer sets its fields a number of times, all of them let go at once: however the machine
// schedules them, each write meets the others' lines.
TEST(PendingFile, TwoProcessesAndFourThreadsLeaveEveryLineWithOnlyItsFieldsChanged) {
  constexpr int kSets = 200;   // each thread's, and the other process's over its four functions
  vxtest::TempRoot root;
  root.write(kPendingProfileFile, content_of(original_lines()));
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  const pid_t child = ::fork();
  if (child == 0) {   // the other process: the third adapter's SR-IOV fields
    ::close(go[1]);
    char word = 0;
    bool ok = ::read(go[0], &word, 1) == 1;
    for (int f = 0; f < 4; ++f) ok = ok && keep_setting("BL5202A0003", f, kFieldSRIOV, kSets / 4) != "<failed>";
    ::_exit(ok ? 0 : 1);
  }
  ::close(go[0]);
  std::atomic<bool> started{false};
  std::vector<std::string> last(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      while (!started) std::this_thread::yield();
      last[t] = keep_setting(t < 2 ? "BL5202A0001" : "BL5202A0002", t % 2 == 0 ? 1 : 3, t % 2 == 0 ? kFieldProtocol : kFieldSRIOV, kSets);
    });
  }
  started = true;
  EXPECT_EQ(::write(go[1], "1", 1), 1);
  ::close(go[1]);
  for (std::thread& t : threads) t.join();
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string content = root.read(kPendingProfileFile);
  EXPECT_TRUE(only_fields_changed(content)) << content;
  const std::vector<std::string> lines = pending_lines(content);
  EXPECT_EQ(lines[1], "BL5202A0001,0x5,1,None,0x1," + last[0] + ",Disabled");
  EXPECT_EQ(lines[7], "BL5202A0002,0x5,1,None,0x3,NIC," + last[3]);
}

TEST(PendingFile, AWriterKilledAnywhereLeavesTheOldOrTheNewContent) {
  vxtest::TempRoot root;
  root.write(kPendingProfileFile, content_of(original_lines()));
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    const pid_t child = vxtest::started_child([round]() -> int {
      for (;;) keep_setting("BL5202A0002", round % 4, kFieldSRIOV, 2);
    });
    ASSERT_GT(child, 0);
    ::usleep(static_cast<useconds_t>(random() % 20000));
    vxtest::kill_child(child);
    const std::string content = root.read(kPendingProfileFile);
    ASSERT_TRUE(only_fields_changed(content)) << "round " << round << ":\n" << content;
  }
}

TEST(PendingFile, ReadsSetsAndRemovalsKeepOtherAdaptersLines) {
  vxtest::TempRoot root;
  const std::string foreign = "BL9,0x9,4,ZMC,0x0,NIC,Enabled\n";
  root.write(kPendingProfileFile, foreign + "BL1,0x5,1,None,0x0,NIC,Disabled\nBL1,0x5,1,None,0x0,NIC+RoCE,Disabled\n"
                                            "BL1,0x5,1,None,0x2,iSCSI,N/A\n");
  const AdapterKey key{"bl1", "0X5"};
  char fields[kPendingFields][kValueSize] = {};
  ASSERT_EQ(get_pending_fields(key, "0x0", fields, kMatchFunction), 0u);
  EXPECT_STREQ(fields[kFieldProtocol], "NIC+RoCE") << "the second line of a NIC function";
  EXPECT_EQ(get_pending_fields(key, "0x7", fields, kMatchFunction), 1u);
  EXPECT_EQ(set_pending_field(key, nullptr, "NPAR", kMatchAdapter, kFieldMCType), 0u);
  EXPECT_EQ(root.read(kPendingProfileFile), foreign + "BL1,0x5,1,NPAR,0x0,NIC,Disabled\nBL1,0x5,1,NPAR,0x0,NIC+RoCE,Disabled\n"
                                                     "BL1,0x5,1,NPAR,0x2,iSCSI,N/A\n");
  EXPECT_EQ(replace_adapter_lines(key, {"BL1,0x5,2,None,0x0,NIC,N/A", "BL1,0x5,2,None,0x0,NIC,N/A", "BL9,0x9,4,ZMC,0x0,NIC,Enabled"},
                                  {0, 2}),
            0u);
  EXPECT_EQ(root.read(kPendingProfileFile), foreign + "BL1,0x5,2,None,0x0,NIC,N/A\nBL1,0x5,2,None,0x0,NIC,N/A\n")
      << "a line already in the file before its port is written once";
  EXPECT_EQ(VARU_delete_cfg_prof_from_file("BL1", "0x5"), 0u);
  EXPECT_EQ(root.read(kPendingProfileFile), foreign);
  EXPECT_EQ(pending_lines("a\nb"), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
