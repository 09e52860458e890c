// The pending-choices file at start-up: written once for every adapter's configured profile, not at
// all when it already holds exactly those lines, and never left with the lines of an earlier run.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_store.h"
#include "tests/api/lab_fixture.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kPending = "/scratch/Talvix/config_prof.txt";

// A generation-5 adapter of two ports whose one profile has a NIC function with RoCE (0x0) and an
// iSCSI function (0x2) on link 0 and a NIC function (0x1) on link 1.
std::string gen5(const std::string& serial, int bus) {
  return "{\"serial_number\": \"" + serial + "\", \"generation\": 5, \"pci\": {\"bus\": " + std::to_string(bus) +
         R"(}, "ports": 2,
  "profiles": {"list": [{"id": 1, "description": "NIC+RoCE, iSCSI"}],
    "configurations": {"1": {"protocols": ["NIC", "RoCE", "iSCSI"],
      "ports": [{"link": 0, "max_pf": 2, "counts": {"nic": 1, "iscsi": 1}}, {"link": 1, "max_pf": 2, "counts": {"nic": 1}}],
      "functions": [{"pf": 0, "link": 0, "mac": "00:1f:4e:50:10:00", "roles": ["NIC", "RoCE"], "roce": true},
                    {"pf": 2, "link": 0, "protocol": "iSCSI", "mac": "00:1f:4e:50:10:02", "sriov": "N/A",
                     "sriov_changeable": false},
                    {"pf": 1, "link": 1, "mac": "00:1f:4e:50:10:01"}]}}},
  "iscsi_functions": [{"function": 2, "port": 0}],
  "nic_functions": [{"function": 0, "port": 0}, {"function": 1, "port": 1}]})";
}

// The lines the configured profile of such an adapter writes.
std::string lines_of(const std::string& serial, const char* bus) {
  const std::string prefix = serial + "," + bus + ",1,None,";
  return prefix + "0x0,NIC,Disabled\n" + prefix + "0x0,NIC+RoCE,Disabled\n" + prefix + "0x2,iSCSI,N/A\n" + prefix +
         "0x1,NIC,Disabled\n";
}

// Counts the fsyncs of the pending-choices file (and of its temporary file) while it stands.
class PendingSyncs {
 public:
  PendingSyncs() {
    count() = 0;
    vx::file_store::system_calls().fsync = [](int fd) {
      char link[64];
      char target[4096];
      std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
      const ssize_t n = ::readlink(link, target, sizeof target - 1);
      if (n > 0 && std::string(target, static_cast<size_t>(n)).find("config_prof") != std::string::npos) ++count();
      return ::fsync(fd);
    };
  }
  ~PendingSyncs() { vx::file_store::system_calls() = saved_; }
  PendingSyncs(const PendingSyncs&) = delete;
  PendingSyncs& operator=(const PendingSyncs&) = delete;
  static int& count() {
    static int n = 0;
    return n;
  }

 private:
  vx::file_store::SystemCalls saved_ = vx::file_store::system_calls();
};

class StartupPendingLines : public StartupTest {
 protected:
  void SetUp() override {
    use_config_text("{\"adapters\": [" + gen5("GEN5A", 32) + ", " + gen5("GEN5B", 33) + ", " + gen5("GEN5C", 34) +
                    "]}");
  }
  ino_t inode() const {
    struct stat st {};
    return ::stat(root_.at(kPending).c_str(), &st) == 0 ? st.st_ino : 0;
  }
  const std::string all_ = lines_of("GEN5A", "0x20") + lines_of("GEN5B", "0x21") + lines_of("GEN5C", "0x22");
};

// A leftover file (an adapter that is gone, an old choice of one that is here) is replaced by the
// lines of the adapters present, in one write; a restart that would write the same lines does not
// write at all.
TEST_F(StartupPendingLines, WrittenOnceAndOnlyWhenTheLinesChange) {
  root_.write(kPending, "GONE01,0x9,1,None,0x0,NIC,Disabled\nGEN5B,0x21,1,None,0x2,NIC,N/A\n");
  {
    PendingSyncs syncs;
    ASSERT_EQ(start(), 0u);
    EXPECT_EQ(root_.read(kPending), all_);
    EXPECT_EQ(PendingSyncs::count(), 1) << "one file for three adapters";
  }
  const ino_t written = inode();
  stop();
  {
    PendingSyncs syncs;
    ASSERT_EQ(start(), 0u);
    EXPECT_EQ(PendingSyncs::count(), 0) << "the same lines are not written again";
  }
  EXPECT_EQ(inode(), written);
  EXPECT_EQ(root_.read(kPending), all_);
}

// While the start-up builds the lines, its reads see them, not what the file held before: an old
// choice that made function 0x0 an iSCSI function does not stop its NIC+RoCE line.
TEST_F(StartupPendingLines, TheStartUpReadsTheLinesItBuilds) {
  root_.write(kPending, "GEN5A,0x20,1,None,0x0,iSCSI,Disabled\n");
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(root_.read(kPending), all_);
  EXPECT_EQ(value_at("Vexalon0/ProfileManagement/ConfiguredProfile/Port0/Function0/Protocol"), "NIC+RoCE");
}

// The choices this process made are forgotten by its own next start-up, which wrote over them: a
// save afterwards sends the lines as they are instead of refusing them as changed by another.
TEST_F(StartupPendingLines, ARestartForgetsTheChoicesItWroteOver) {
  const std::string protocol = "Vexalon0/ProfileManagement/ConfiguredProfile/Port0/Function1/Protocol";
  ASSERT_EQ(start(), 0u);
  ASSERT_EQ(set_value(tag_at(protocol.substr(0, protocol.rfind('/'))), "Protocol", "NIC"), 0u);
  ASSERT_NE(root_.read(kPending), all_);
  stop();
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(root_.read(kPending), all_);
  EXPECT_EQ(act(tag_at("Vexalon0/ProfileManagement"), "SaveProfile", {}), 0u);
  EXPECT_NE(last_status().code, 338u);
}

// A start-up that cannot write the file leaves none: an earlier run's lines never pass for its own.
TEST_F(StartupPendingLines, AFileThatCannotBeWrittenIsRemoved) {
  root_.write(kPending, "GEN5A,0x20,1,None,0x2,NIC,N/A\n");
  vx::file_store::SystemCalls saved = vx::file_store::system_calls();
  vx::file_store::system_calls().fsync = [](int) {
    errno = EIO;
    return -1;
  };
  const uint32_t rc = start();
  vx::file_store::system_calls() = saved;
  ASSERT_EQ(rc, 0u);
  EXPECT_FALSE(root_.exists(kPending));
}

}  // namespace
}  // namespace vxtest
