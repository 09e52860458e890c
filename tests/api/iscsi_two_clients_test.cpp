// Two clients of the library at once (two processes on one root and one simulated lab), logging in
// to the same target through the two iSCSI ports of the generation-3 adapter: the ISID qualifier of
// a new session is chosen from what the adapters hold, as one step across the processes. Steps
// that depend on each other are ordered through files under the root, never through timing.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "iscsi/common.h"
#include "iscsi/lookups.h"
#include "iscsi/records.h"
#include "iscsi/sessions.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kChildFlag = "VXIMA_TWO_CLIENTS_CHILD";
constexpr const char* kPort0 = "Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0";
constexpr const char* kPort1 = "Vexalon0/iSCSIPhysicalHBA1/LogicalHBA0";
constexpr int kLoopLogins = 12;   // each process's, on its own port

std::string target_on(const char* lhba) { return std::string(lhba) + "/Target0"; }
uint32_t login(const char* lhba) { return act(tag_at(target_on(lhba)), "Login", {}); }
uint32_t logout(const char* lhba) { return act(tag_at(target_on(lhba)), "Logout", {}); }
std::string qualifier(const char* lhba) { return value_at(target_on(lhba) + "/Session0/ISIDQualifier"); }

// The step files of the two processes.
std::string step_path(const char* step) { return std::string(std::getenv("VXIMA_ROOT")) + "/cfg/" + step; }
void tell(const char* step) {
  if (FILE* f = std::fopen(step_path(step).c_str(), "w")) std::fclose(f);
}
// Waits until the other process told `step`: false after two minutes, or once `child` (when given)
// has ended without telling it.
bool heard(const char* step, pid_t child = -1) {
  for (int i = 0; i < 120000; ++i) {
    if (::access(step_path(step).c_str(), F_OK) == 0) return true;
    if (child > 0 && ::waitpid(child, nullptr, WNOHANG) == child) return false;
    ::usleep(1000);
  }
  return false;
}

// The open sessions of the lab's open target that the adapter's two iSCSI functions hold, as
// "initiator name/qualifier", read from the firmware itself.
std::vector<std::string> open_sessions() {
  std::vector<std::string> out;
  for (const char* lhba : {kPort0, kPort1}) {
    const vx::CommandAddress at = vx::command_address(vx::get_node(static_cast<int32_t>(tag_at(lhba))));
    std::vector<uint32_t> ids;
    if (vx::fetch_active_session_ids(at, &ids) != 0) continue;
    for (uint32_t id : ids) {
      vx::session_info info{};
      if (!vx::VARU_get_session_params(id, at, &info) || (info.state & vx::kSessionOpen) == 0 ||
          vx::field_text(info.target_name, sizeof info.target_name) != kOpenTarget) {
        continue;
      }
      char isid[8];
      std::snprintf(isid, sizeof isid, "%02x%02x", info.isid[4], info.isid[5]);
      out.push_back(vx::field_text(info.initiator_name, sizeof info.initiator_name) + "/" + isid);
    }
  }
  return out;
}

// "" when no two open sessions share an initiator name and a qualifier; else the one shared.
std::string shared_qualifier() {
  std::map<std::string, int> seen;
  for (const std::string& s : open_sessions()) {
    if (++seen[s] > 1) return s;
  }
  return "";
}

class TwoClients : public IscsiLab {
 protected:
  // The open target on both ports of the first adapter, with no session left: AddTarget logs in.
  void SetUp() override {
    IscsiLab::SetUp();
    log_level(0);
    root_.write("/cfg/.keep", "");
    for (const char* lhba : {kPort0, kPort1}) {
      ASSERT_EQ(add_target(lhba, kOpenTarget, "10.0.0.5"), 0u);
      ASSERT_EQ(logout(lhba), 0u);
    }
    ASSERT_TRUE(open_sessions().empty());
  }
  // The other client: this test program again with only `test` run, once it has started (-1 when
  // it did not).
  pid_t other(const char* test) {
    const pid_t child = spawn_child(test, kChildFlag);
    return heard("started", child) ? child : -1;
  }
};

// A child's part: skipped when it runs on its own, as a test among the others; it starts the
// library and says so.
#define CHILD_STARTS()                                                                     \
  if (std::getenv(kChildFlag) == nullptr) GTEST_SKIP() << "runs in a child of TwoClients"; \
  ASSERT_EQ(VARU_init(), 0u);                                                              \
  tell("started")

// B's session, logged out after A started: the copy A made of it at its start refuses none of A's
// logins (71), and goes.
TEST_F(TwoClients, ASessionAnotherProcessLoggedOutTakesNoQualifier) {
  ASSERT_EQ(login(kPort1), 0u);   // this process is B
  const pid_t a = other("TwoClientsChild.LogsInAfterTheOtherLoggedOut");
  ASSERT_GT(a, 0);
  ASSERT_EQ(logout(kPort1), 0u);
  tell("b-logged-out");
  EXPECT_EQ(wait_child(a), 0);
}

TEST(TwoClientsChild, LogsInAfterTheOtherLoggedOut) {
  CHILD_STARTS();
  EXPECT_EQ(cached_at(target_on(kPort1) + "/Session0/ISIDQualifier"), "0000") << "B's, as found at the start";
  ASSERT_TRUE(heard("b-logged-out"));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(login(kPort0), 0u) << round << ": " << last_status().code << " " << last_status().text;
    EXPECT_EQ(qualifier(kPort0), "0000") << round;
    EXPECT_EQ(logout(kPort0), 0u) << round;
  }
  EXPECT_EQ(tag_at(target_on(kPort1) + "/Session0"), kMissing) << "the copy the adapter no longer reports is gone";
  VARU_exit();
}

// B logs in while A's session on port 0 is open, on the other port or on A's: B's own session with
// another qualifier (not A's key again); after A's logout B logs out, and in again with the first.
TEST_F(TwoClients, ALoginBesideAnotherProcesssSessionTakesAnotherQualifier) {
  for (const char* b_part : {"TwoClientsChild.LogsInOnTheOtherPort", "TwoClientsChild.LogsInOnTheSamePort"}) {
    for (const char* step : {"started", "a-logged-in", "b-logged-in", "a-logged-out"}) std::remove(step_path(step).c_str());
    const pid_t b = other(b_part);
    ASSERT_GT(b, 0) << b_part;
    ASSERT_EQ(login(kPort0), 0u);   // this process is A
    EXPECT_EQ(qualifier(kPort0), "0000");
    tell("a-logged-in");
    ASSERT_TRUE(heard("b-logged-in", b)) << b_part;
    EXPECT_EQ(open_sessions().size(), 2u) << b_part;
    EXPECT_EQ(shared_qualifier(), "") << b_part;
    EXPECT_EQ(logout(kPort0), 0u);
    EXPECT_EQ(qualifier(kPort0), "<missing>") << "A's tree shows B's session nowhere: " << b_part;
    tell("a-logged-out");
    EXPECT_EQ(wait_child(b), 0) << b_part;
    EXPECT_TRUE(open_sessions().empty()) << b_part;
  }
}

void logs_in_beside_the_other(const char* lhba) {
  ASSERT_TRUE(heard("a-logged-in"));
  EXPECT_EQ(login(lhba), 0u);
  EXPECT_EQ(qualifier(lhba), "0001");
  tell("b-logged-in");
  ASSERT_TRUE(heard("a-logged-out"));
  EXPECT_EQ(logout(lhba), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(login(lhba), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(qualifier(lhba), "0000");
  EXPECT_EQ(logout(lhba), 0u);
  VARU_exit();
}

TEST(TwoClientsChild, LogsInOnTheOtherPort) {
  CHILD_STARTS();
  logs_in_beside_the_other(kPort1);
}

TEST(TwoClientsChild, LogsInOnTheSamePort) {
  CHILD_STARTS();
  logs_in_beside_the_other(kPort0);
}

// Both processes log in and out on their own port as fast as they can: no login is refused, and
// while a process's session is open no other open session has its qualifier.
int loop_logins(const char* lhba) {
  int faults = 0;
  for (int i = 0; i < kLoopLogins; ++i) {
    const uint32_t in = login(lhba);
    EXPECT_EQ(in, 0u) << lhba << " login " << i << ": " << last_status().code << " " << last_status().text;
    if (in != 0) {
      ++faults;
      continue;
    }
    const std::string shared = shared_qualifier();
    EXPECT_EQ(shared, "") << lhba << " login " << i;
    faults += shared.empty() ? 0 : 1;
    EXPECT_EQ(logout(lhba), 0u) << lhba << " logout " << i;
  }
  return faults;
}

TEST_F(TwoClients, LoginsAndLogoutsOfTwoProcessesAtOnce) {
  const pid_t b = other("TwoClientsChild.LogsInAndOutOnPortOne");
  ASSERT_GT(b, 0);
  tell("go");
  EXPECT_EQ(loop_logins(kPort0), 0);
  EXPECT_EQ(wait_child(b), 0);
  EXPECT_TRUE(open_sessions().empty());
}

TEST(TwoClientsChild, LogsInAndOutOnPortOne) {
  CHILD_STARTS();
  ASSERT_TRUE(heard("go"));
  EXPECT_EQ(loop_logins(kPort1), 0);
  VARU_exit();
}

}  // namespace
}  // namespace vxtest
