// Two clients of the library at once (two processes on one root and one simulated lab), logging in
// to the same target through the two iSCSI ports of the generation-3 adapter: the ISID qualifier of
// a new session is chosen from what the adapters hold and what other choices claim, in a short
// section across the processes that no login waits in. Steps that depend on each other are ordered
// through files under the root, never through timing.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "access/wire.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/lookups.h"
#include "iscsi/records.h"
#include "iscsi/saved_files.h"
#include "iscsi/sessions.h"
#include "platform/file_store.h"
#include "tests/api/iscsi_fixture.h"
#include "tests/tools/tool_runner.h"
#include "support/request_hook.h"

namespace vxtest {
namespace {

constexpr const char* kChildFlag = "VXIMA_TWO_CLIENTS_CHILD";
constexpr const char* kPort0 = "Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0";
constexpr const char* kPort1 = "Vexalon0/iSCSIPhysicalHBA1/LogicalHBA0";
constexpr int kLoopLogins = 12;   // each process's, on its own port
constexpr int kFreshRounds = 15;  // each client's, a process a step

std::string target_on(const char* lhba) { return std::string(lhba) + "/Target0"; }
uint32_t login(const char* lhba) { return act(tag_at(target_on(lhba)), "Login", {}); }
uint32_t logout(const char* lhba) { return act(tag_at(target_on(lhba)), "Logout", {}); }
std::string qualifier(const char* lhba) { return value_at(target_on(lhba) + "/Session0/ISIDQualifier"); }

std::string read_text(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The step files of the two processes.
std::string step_path(const char* step) { return std::string(std::getenv("VXIMA_ROOT")) + "/cfg/" + step; }
void tell(const char* step) {
  if (FILE* f = std::fopen(step_path(step).c_str(), "w")) std::fclose(f);
}
// Waits until the other process told `step`: false after two minutes, or once `child` (when given)
// has ended without telling it (a code that waits for the other process's step to end first then
// fails its test rather than hanging it).
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

// This process's hold on one firmware command: when the first (opcode, subsystem) after it is set
// goes out (after `skip` others of that kind), `told` is told, and the command waits until `until`
// is heard (`rescued` when two minutes passed first), or for good when `until` is NULL (the other
// process then kills this one). With `after`, the command is sent and answered first, and the
// caller waits before it goes on.
struct Hold {
  uint8_t opcode;
  uint8_t subsystem;
  const char* told;
  const char* until;
  int skip = 0;
  bool after = false;
  bool met = false;
  bool rescued = false;
};

// Whether this request is the hold's command (counting it against `skip`).
bool meets(Hold* hold, unsigned long request, const void* arg) {
  const CommandId c = command_of(request, arg);
  return !hold->met && request == vx::wire::kIscsiFirmwareCommand && c.opcode == hold->opcode &&
         c.subsystem == hold->subsystem && hold->skip-- == 0;
}

void wait_at(Hold* hold) {
  hold->met = true;
  tell(hold->told);
  if (hold->until == nullptr) {
    for (;;) ::pause();
  }
  hold->rescued = !heard(hold->until);
}

// This process's requests pass `hold` for a scope: before its command goes out, or once it is
// answered.
class Holding {
 public:
  explicit Holding(Hold* hold)
      : hook_([hold](unsigned long request, void* arg) {
                if (!hold->after && meets(hold, request, arg)) wait_at(hold);
              },
              [hold](unsigned long request, void* arg) {
                if (hold->after && meets(hold, request, arg)) wait_at(hold);
              }) {}

 private:
  RequestHook hook_;
};

// A step (a login, a logout, a property set) held at the command `hold` names: it must be met, and
// let go by the other process's word (not by the guard), and the step must succeed.
template <typename Step>
void held(Hold hold, Step step) {
  {
    Holding holding(&hold);
    EXPECT_EQ(step(), 0u) << last_status().code << " " << last_status().text;
  }
  EXPECT_TRUE(hold.met);
  EXPECT_FALSE(hold.rescued) << "let go by its guard, not by the other process";
}

void login_held(const char* lhba, Hold hold) {
  held(hold, [lhba] { return login(lhba); });
}

constexpr uint8_t kLoginCommand = 23;
constexpr uint8_t kLogoutCommand = 24;
constexpr uint8_t kRegistration = 27;
constexpr uint8_t kWithdrawal = 28;
constexpr uint8_t kSessionList = 29;
constexpr uint8_t kIscsiSubsystem = 6;

// The saved-target records of the open target that carry a session's ISID, as "<logical HBA
// key>/<ISID>".
std::vector<std::string> saved_sessions() {
  std::vector<std::string> out;
  std::istringstream lines(read_text(std::string(std::getenv("VXIMA_ROOT")) + kSavedTargets));
  for (std::string line; std::getline(lines, line);) {
    const std::vector<std::string> f = vx::split_record(line);
    if (f.size() <= vx::kTargetIsidField || f[vx::kTargetNameField] != kOpenTarget || f[vx::kTargetIsidField].empty()) {
      continue;
    }
    out.push_back(f[1] + "/" + f[vx::kTargetIsidField]);
  }
  return out;
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
  void loop_beside(std::initializer_list<const char*> parts);
  // This process's session on port 0, closed by the adapter, then the other client `test` started
  // (-1 when a step failed).
  pid_t closed_session_then(const char* test) {
    if (login(kPort0) != 0 || session_control(kOpenTarget, VXSIM_SESSION_CLOSE) != 1) return -1;
    return other(test);
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

// A session the adapter lists is in use whatever its record answers: one whose read fails keeps its
// qualifier and its place in the tree.
TEST_F(TwoClients, ASessionWhoseReadFailsIsStillHeld) {
  ASSERT_EQ(login(kPort0), 0u);
  ASSERT_EQ(login(kPort1), 0u);
  ASSERT_EQ(qualifier(kPort1), "0001");
  ASSERT_EQ(logout(kPort1), 0u);
  sim_.journal_clear();
  sim_.inject_status(14, kIscsiSubsystem, 1, 0xFF, 1);   // the next session read fails
  ASSERT_EQ(login(kPort1), 0u) << last_status().code << " " << last_status().text;
  int failed_reads = 0;
  for (const vxsim_journal_entry& e : sim_.commands()) failed_reads += e.opcode == 14 && e.status != 0 ? 1 : 0;
  EXPECT_EQ(failed_reads, 1);
  EXPECT_EQ(qualifier(kPort1), "0001");
  EXPECT_EQ(cached_at(target_on(kPort0) + "/Session0/ISIDQualifier"), "0000") << "port 0's session left the tree";
  EXPECT_EQ(shared_qualifier(), "");
}

// A target another process added where this one has none: its sessions count for this one's choice.
TEST_F(TwoClients, ASessionWhereThisProcessHasNoTargetCounts) {
  ASSERT_EQ(act(tag_at(kPort1), "DeleteTarget", {"0"}), 0u);
  const pid_t b = other("TwoClientsChild.AddsTheTargetOnPortOne");
  ASSERT_GT(b, 0);
  ASSERT_TRUE(heard("b-logged-in", b));
  ASSERT_EQ(tag_at(target_on(kPort1)), kMissing);
  ASSERT_EQ(login(kPort0), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(qualifier(kPort0), "0001");
  EXPECT_EQ(shared_qualifier(), "");
  EXPECT_EQ(logout(kPort0), 0u);
  tell("a-logged-out");
  EXPECT_EQ(wait_child(b), 0);
}

TEST(TwoClientsChild, AddsTheTargetOnPortOne) {
  CHILD_STARTS();
  EXPECT_EQ(act(tag_at(kPort1), "AddTarget", {kOpenTarget, "10.0.0.5"}), 0u);
  EXPECT_EQ(qualifier(kPort1), "0000");
  tell("b-logged-in");
  ASSERT_TRUE(heard("a-logged-out"));
  EXPECT_EQ(logout(kPort1), 0u);
  VARU_exit();
}

// B's login command takes its time (the adapter holds it until A is done): A's login on the other
// port and the public calls of A's second thread meanwhile wait for nothing of B's, and B's claim
// keeps A off its qualifier. A's login starts once the second thread's first call has returned, and
// B is held until A's login has returned: A's login succeeds only if it waits for nothing of B's
// (else B's guard lets go first, or A's section wait fails it), and the second thread's calls all
// fall while B's login is held. A call that overlaps A's own login waits for this process's lock
// for as long as that login takes, which tells nothing of B: only the others must go through.
TEST_F(TwoClients, NoLoginWaitsForAnotherProcesssLogin) {
  const pid_t b = other("TwoClientsChild.LogsInSlowlyOnPortOne");
  ASSERT_GT(b, 0);
  ASSERT_TRUE(heard("b-in-login", b));
  enum Phase : int { kBefore, kLoggingIn, kAfter };
  std::atomic<int> phase{kBefore};
  std::atomic<bool> done{false};
  std::mutex m;
  std::condition_variable first_returned;
  int calls = 0;   // under m
  std::vector<uint32_t> apart_from_the_login;
  std::thread second([&] {
    while (!done) {
      const int began = phase;
      uint32_t tag = 0;
      const uint32_t result = VARU_get_node_tag(0, "VARUDebugLevel", &tag, VARU_KIND_PROPERTY);
      const bool apart = began == phase && began != kLoggingIn;
      {
        const std::lock_guard<std::mutex> lock(m);
        ++calls;
        if (apart) apart_from_the_login.push_back(result);
      }
      first_returned.notify_all();
    }
  });
  {
    std::unique_lock<std::mutex> lock(m);
    first_returned.wait(lock, [&] { return calls > 0; });
  }
  phase = kLoggingIn;
  const uint32_t in = login(kPort0);
  phase = kAfter;
  {
    std::unique_lock<std::mutex> lock(m);
    const size_t seen = apart_from_the_login.size();
    first_returned.wait(lock, [&] { return apart_from_the_login.size() > seen; });   // one more after the login
  }
  done = true;
  second.join();
  tell("a-done");
  EXPECT_EQ(in, 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(qualifier(kPort0), "0001");
  EXPECT_GE(apart_from_the_login.size(), 2u);
  EXPECT_EQ(apart_from_the_login, std::vector<uint32_t>(apart_from_the_login.size(), 0u))
      << "a call of the second thread got 14 while B's login was held";
  ASSERT_TRUE(heard("b-logged-in", b));
  EXPECT_EQ(shared_qualifier(), "");
  EXPECT_EQ(logout(kPort0), 0u);
  tell("a-logged-out");
  EXPECT_EQ(wait_child(b), 0);
}

TEST(TwoClientsChild, LogsInSlowlyOnPortOne) {
  CHILD_STARTS();
  Hold hold{kLoginCommand, kIscsiSubsystem, "b-in-login", "a-done"};
  {
    Holding holding(&hold);
    EXPECT_EQ(login(kPort1), 0u) << last_status().code << " " << last_status().text;
  }
  EXPECT_TRUE(hold.met);
  EXPECT_FALSE(hold.rescued) << "A's login waited for B's";
  EXPECT_EQ(qualifier(kPort1), "0000");
  tell("b-logged-in");
  ASSERT_TRUE(heard("a-logged-out"));
  EXPECT_EQ(logout(kPort1), 0u);
  VARU_exit();
}

// The files of the ISID claims that stand (every process's) under the root.
int claim_files() {
  int n = 0;
  if (DIR* d = ::opendir((std::string(std::getenv("VXIMA_ROOT")) + "/scratch/Talvix/isid_claims").c_str())) {
    while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.' ? 1 : 0;
    ::closedir(d);
  }
  return n;
}

// A process killed inside its choice's section, or once its claim is made, leaves nothing that
// blocks a login or keeps its qualifier.
TEST_F(TwoClients, AProcessKilledInItsChoiceLeavesNothingBehind) {
  for (const char* part : {"TwoClientsChild.DiesInItsSection", "TwoClientsChild.DiesHoldingItsClaim"}) {
    SCOPED_TRACE(part);
    for (const char* step : {"started", "c-held"}) std::remove(step_path(step).c_str());
    const pid_t c = other(part);
    ASSERT_GT(c, 0);
    ASSERT_TRUE(heard("c-held", c));
    ::kill(c, SIGKILL);
    ::waitpid(c, nullptr, 0);
    ASSERT_EQ(login(kPort0), 0u) << last_status().code << " " << last_status().text;
    EXPECT_EQ(qualifier(kPort0), "0000");
    EXPECT_EQ(claim_files(), 0) << "a claim outlived the login, or its dead maker";
    ASSERT_EQ(logout(kPort0), 0u);
  }
}

void dies_holding(uint8_t opcode) {
  Hold hold{opcode, kIscsiSubsystem, "c-held", nullptr};
  Holding holding(&hold);
  login(kPort1);
}

TEST(TwoClientsChild, DiesInItsSection) {
  CHILD_STARTS();
  dies_holding(kSessionList);
}

TEST(TwoClientsChild, DiesHoldingItsClaim) {
  CHILD_STARTS();
  dies_holding(kRegistration);
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

// This process's loop on port 0 beside the loops of the other processes `parts`.
void TwoClients::loop_beside(std::initializer_list<const char*> parts) {
  std::vector<pid_t> others;
  for (const char* part : parts) {
    std::remove(step_path("started").c_str());
    others.push_back(other(part));
    ASSERT_GT(others.back(), 0) << part;
  }
  tell("go");
  EXPECT_EQ(loop_logins(kPort0), 0);
  for (pid_t p : others) EXPECT_EQ(wait_child(p), 0);
  EXPECT_TRUE(open_sessions().empty());
}

TEST_F(TwoClients, LoginsAndLogoutsOfTwoProcessesAtOnce) { loop_beside({"TwoClientsChild.LogsInAndOutOnPortOne"}); }

// Three processes, two of them on one port.
TEST_F(TwoClients, LoginsAndLogoutsOfThreeProcessesOnTwoPorts) {
  loop_beside({"TwoClientsChild.LogsInAndOutOnPortOne", "TwoClientsChild.LogsInAndOutOnPortZero"});
}

void loops_on(const char* lhba) {
  ASSERT_TRUE(heard("go"));
  EXPECT_EQ(loop_logins(lhba), 0);
  VARU_exit();
}

TEST(TwoClientsChild, LogsInAndOutOnPortOne) {
  CHILD_STARTS();
  loops_on(kPort1);
}

TEST(TwoClientsChild, LogsInAndOutOnPortZero) {
  CHILD_STARTS();
  loops_on(kPort0);
}

constexpr const char* kRefresher = "iqn.2026-01.com.example:refresher";

// A refresh logs in to a saved target while it holds the saved files, and the other process's
// logins record their sessions in those files: neither waits for the other for longer than its
// step, and every step succeeds.
TEST_F(TwoClients, ARefreshThatLogsInAndLoginsOfAnotherProcessAtOnce) {
  const pid_t b = other("TwoClientsChild.LogsInAndOutOnPortOne");
  ASSERT_GT(b, 0);
  tell("go");
  const std::string saved_path = root_.at(kSavedTargets);
  for (int round = 0; round < kLoopLogins; ++round) {
    SCOPED_TRACE(round);
    // The saved record of port 0's target first carries a session of another initiator name, so
    // that the refresh makes the target anew and logs in to it.
    ASSERT_EQ(vx::delete_with_records(vx::get_node(static_cast<int32_t>(tag_at(target_on(kPort0))))), 0u);
    ASSERT_TRUE(vx::file_store::update_file(saved_path, [](std::string& content, bool) {
      const size_t at = content.find("Vexalon0,iSCSIPhysicalHBA0,LogicalHBA0,");
      if (at == std::string::npos) return false;
      std::vector<std::string> f = vx::split_record(content.substr(at, content.find('\n', at) - at));
      f[6] = "7";
      f[7] = kRefresher;
      std::string line;
      for (size_t i = 0; i < f.size(); ++i) line += (i ? "," : "") + f[i];
      content = line + "\n" + content;
      return true;
    }, 0600));
    ASSERT_EQ(act(tag_at(std::string(kPort0) + "/Discovery"), "RefreshAvailableTargets", {}), 0u)
        << last_status().code << " " << last_status().text;
    EXPECT_EQ(cached_at(target_on(kPort0) + "/Session0/SessionInitiatorName"), kRefresher);
    EXPECT_EQ(qualifier(kPort0), "0007");
    EXPECT_EQ(shared_qualifier(), "");
    ASSERT_EQ(logout(kPort0), 0u) << last_status().code << " " << last_status().text;
  }
  EXPECT_EQ(wait_child(b), 0);
}

// ---- every qualifier in use is claimed or listed at every moment ------------------------------------

// The Session instances of a target in this process's tree, as "qualifier status".
std::vector<std::string> sessions_shown(const char* lhba) {
  std::vector<std::string> out;
  for (uint32_t g : children_of(tag_at(target_on(lhba)), VARU_KIND_GROUP)) {
    if (name_of(g, VARU_KIND_GROUP).rfind("Session", 0) != 0) continue;
    out.push_back(value_of(g, "ISIDQualifier") + " " + value_of(g, "SessionStatus"));
  }
  return out;
}

// R's choice reads C's claim before it lists any session: C claimed 0 before R's section, and
// while R lists port 0 (no session yet) C registers, logs in and ends its claim; R then lists port
// 1 and takes 1.
TEST_F(TwoClients, AChoiceReadsEveryClaimBeforeAnySessionList) {
  const pid_t c = other("TwoClientsChild.ClaimsAndLogsInWhileTheOtherLists");
  ASSERT_GT(c, 0);
  ASSERT_TRUE(heard("c-claimed", c));
  // Port 0's list is a size query and a fetch; R is held before port 1's.
  login_held(kPort1, Hold{kSessionList, kIscsiSubsystem, "r-listed", "c-done", 2});
  EXPECT_EQ(qualifier(kPort1), "0001");
  EXPECT_EQ(shared_qualifier(), "");
  EXPECT_EQ(logout(kPort1), 0u);
  tell("r-logged-out");
  EXPECT_EQ(wait_child(c), 0);
}

TEST(TwoClientsChild, ClaimsAndLogsInWhileTheOtherLists) {
  CHILD_STARTS();
  login_held(kPort0, Hold{kRegistration, kIscsiSubsystem, "c-claimed", "r-listed"});
  EXPECT_EQ(qualifier(kPort0), "0000");
  tell("c-done");
  ASSERT_TRUE(heard("r-logged-out"));
  EXPECT_EQ(logout(kPort0), 0u);
  VARU_exit();
}

// Logouts and withdrawals in this process's journal.
int logouts_sent(const SimControls& sim) {
  int n = 0;
  for (const vxsim_journal_entry& e : sim.commands()) {
    n += e.subsystem == kIscsiSubsystem && (e.opcode == kLogoutCommand || e.opcode == kWithdrawal) ? 1 : 0;
  }
  return n;
}

// C reuses P's closed session on port 0 and its login command is held; meanwhile P logs that
// session out, then logs in on port 1. The reused qualifier is C's claim: P's logout is refused
// before anything is sent (were it held before its withdrawal, C would log in meanwhile and lose its
// registration to it), and P takes 1. C's command then opens a new session, which C shows (the one
// it reused is gone), registered and recorded.
TEST_F(TwoClients, AReusedSessionsQualifierIsClaimedForTheLogin) {
  const pid_t c = closed_session_then("TwoClientsChild.ReusesTheClosedSessionSlowly");   // this process is P
  ASSERT_GT(c, 0);
  ASSERT_TRUE(heard("c-in-login", c));
  sim_.journal_clear();
  Hold withdrawal{kWithdrawal, kIscsiSubsystem, "p-held", "c-logged-in"};
  uint32_t out = 0;
  {
    Holding holding(&withdrawal);
    out = logout(kPort0);
  }
  const LastStatus why = last_status();
  EXPECT_FALSE(withdrawal.met) << "P's logout went on beside C's claim";
  EXPECT_EQ(out, 1u);
  EXPECT_EQ(why.code, 336u);
  EXPECT_EQ(why.text, claimed_elsewhere(0));
  EXPECT_EQ(logouts_sent(sim_), 0);
  EXPECT_EQ(sessions_shown(kPort0), std::vector<std::string>{"0000 Closed"});
  EXPECT_EQ(login(kPort1), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(qualifier(kPort1), "0001");
  if (!withdrawal.met) tell("p-held");
  ASSERT_TRUE(heard("c-logged-in", c));
  EXPECT_EQ(shared_qualifier(), "");
  EXPECT_EQ(logout(kPort1), 0u);
  tell("p-logged-out");
  EXPECT_EQ(wait_child(c), 0);
}

TEST(TwoClientsChild, ReusesTheClosedSessionSlowly) {
  CHILD_STARTS();
  ASSERT_EQ(sessions_shown(kPort0), std::vector<std::string>{"0000 Closed"});
  login_held(kPort0, Hold{kLoginCommand, kIscsiSubsystem, "c-in-login", "p-held"});
  EXPECT_EQ(sessions_shown(kPort0), std::vector<std::string>{"0000 Open"});
  tell("c-logged-in");
  ASSERT_TRUE(heard("p-logged-out"));
  EXPECT_EQ(sessions_shown(kPort0), std::vector<std::string>{"0000 Open"});
  EXPECT_EQ(value_at(target_on(kPort0) + "/Session0/Persistent"), "True") << "as the adapter has it";
  EXPECT_EQ(registrations(), std::vector<std::string>{"0 0000 ImmediateData=Yes"});
  EXPECT_EQ(saved_sessions(), std::vector<std::string>{"iSCSIPhysicalHBA0/0"});
  EXPECT_EQ(logout(kPort0), 0u) << last_status().code << " " << last_status().text;
  EXPECT_TRUE(open_sessions().empty());
  EXPECT_EQ(registrations(), std::vector<std::string>{});
  EXPECT_EQ(saved_sessions(), std::vector<std::string>{}) << "a record of the session's registration outlived it";
  VARU_exit();
}

// The other order: P's logout of its closed session on port 0 is held before its logout command,
// its claim made; C, a fresh process, logs in on port 0 meanwhile. C takes another qualifier at
// once, and P's logout takes nothing of C's.
TEST_F(TwoClients, ALoginBesideALogoutOfTheClosedSessionTakesAnotherQualifier) {
  const pid_t c = closed_session_then("TwoClientsChild.LogsInWhileTheOtherLogsOutItsClosedSession");   // P
  ASSERT_GT(c, 0);
  held(Hold{kLogoutCommand, kIscsiSubsystem, "p-held", "c-logged-in"}, [] { return logout(kPort0); });
  tell("p-logged-out");
  EXPECT_EQ(wait_child(c), 0);
  EXPECT_EQ(registrations(), std::vector<std::string>{});
  EXPECT_EQ(saved_sessions(), std::vector<std::string>{});
}

TEST(TwoClientsChild, LogsInWhileTheOtherLogsOutItsClosedSession) {
  CHILD_STARTS();
  ASSERT_EQ(sessions_shown(kPort0), std::vector<std::string>{"0000 Closed"});
  ASSERT_TRUE(heard("p-held"));
  EXPECT_EQ(login(kPort0), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(sessions_shown(kPort0), (std::vector<std::string>{"0000 Closed", "0001 Open"}))
      << "P's qualifier is held by its logout";
  tell("c-logged-in");
  ASSERT_TRUE(heard("p-logged-out"));
  // C's session is Session1 (its copy of P's goes at its first read).
  EXPECT_EQ(value_at(target_on(kPort0) + "/Session1/Persistent"), "True") << "as the adapter has it";
  EXPECT_EQ(registrations(), std::vector<std::string>{"0 0001 ImmediateData=Yes"});
  EXPECT_EQ(saved_sessions(), std::vector<std::string>{"iSCSIPhysicalHBA0/1"});
  EXPECT_EQ(act(tag_at(target_on(kPort0)), "Logout", {"1"}), 0u) << last_status().code << " " << last_status().text;
  VARU_exit();
}

// A session another process logged in, which this one does not show, is in use while the adapter
// lists it: when its record cannot be read, the login is refused with the read's status and
// nothing is sent; once it can be, the login takes another qualifier.
TEST_F(TwoClients, AnUnreadableSessionOfAnotherProcessRefusesTheLogin) {
  const pid_t b = other("TwoClientsChild.LogsInOnPortOneUntilTheOtherIsDone");
  ASSERT_GT(b, 0);
  ASSERT_TRUE(heard("b-logged-in", b));
  sim_.journal_clear();
  sim_.inject_status(14, kIscsiSubsystem, 1, 0xFF, 1);   // the next session read fails
  EXPECT_STATUS(login(kPort0), 85, vx::msg::kGetSessionFailed);
  int sent = 0;
  for (const vxsim_journal_entry& e : sim_.commands()) sent += e.subsystem == 6 && (e.opcode == 23 || e.opcode == 27);
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(tag_at(target_on(kPort0) + "/Session0"), kMissing);
  ASSERT_EQ(login(kPort0), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(qualifier(kPort0), "0001");
  EXPECT_EQ(shared_qualifier(), "");
  EXPECT_EQ(logout(kPort0), 0u);
  tell("a-done");
  EXPECT_EQ(wait_child(b), 0);
}

TEST(TwoClientsChild, LogsInOnPortOneUntilTheOtherIsDone) {
  CHILD_STARTS();
  EXPECT_EQ(login(kPort1), 0u);
  EXPECT_EQ(qualifier(kPort1), "0000");
  tell("b-logged-in");
  ASSERT_TRUE(heard("a-done"));
  EXPECT_EQ(logout(kPort1), 0u);
  VARU_exit();
}

// B's session on port 0 is in A's tree (A started after B's login); B logs it out just before A's
// login reads it, through the read of its initiator name or through the target's ETO. A's login
// goes on without it: it succeeds, and A shows only its own session.
TEST_F(TwoClients, ASessionLoggedOutJustBeforeALoginReadsItIsGone) {
  struct Round {
    const char* child;
    const char* qualifier;   // A's: 0 once B's session is gone before the choice, else 1
  };
  for (const Round& r : {Round{"TwoClientsChild.LogsInAsItsInitiatorsSessionEnds", "0000"},
                         Round{"TwoClientsChild.LogsInAsTheSessionOfItsEtoEnds", "0001"}}) {
    SCOPED_TRACE(r.child);
    for (const char* step : {"started", "a-held", "b-logged-out", "a-done"}) std::remove(step_path(step).c_str());
    ASSERT_EQ(login(kPort0), 0u);   // this process is B
    root_.write("/cfg/a-qualifier", r.qualifier);
    const pid_t a = other(r.child);
    ASSERT_GT(a, 0);
    ASSERT_TRUE(heard("a-held", a));
    EXPECT_EQ(logout(kPort0), 0u);
    tell("b-logged-out");
    EXPECT_EQ(wait_child(a), 0);
    EXPECT_TRUE(open_sessions().empty());
  }
}

// A's login on port 0, held at its `skip`+1-th command (opcode, subsystem 6) until B logged out.
void logs_in_as_the_other_logs_out(uint8_t opcode, int skip) {
  const std::string want = read_text(step_path("a-qualifier"));
  ASSERT_EQ(sessions_shown(kPort0), std::vector<std::string>{"0000 Open"});
  login_held(kPort0, Hold{opcode, kIscsiSubsystem, "a-held", "b-logged-out", skip});
  EXPECT_EQ(sessions_shown(kPort0), std::vector<std::string>{want + " Open"});
  EXPECT_EQ(shared_qualifier(), "");
  EXPECT_EQ(logout(kPort0), 0u) << last_status().code << " " << last_status().text;
  VARU_exit();
}

// The login's first reads are of B's session (its connection's address and port by the lookup of a
// session at the portal, then its initiator name): held before the third.
TEST(TwoClientsChild, LogsInAsItsInitiatorsSessionEnds) {
  CHILD_STARTS();
  logs_in_as_the_other_logs_out(14, 2);
}

// Held at the login command: the choice saw B's session open, and the ETO read comes after.
TEST(TwoClientsChild, LogsInAsTheSessionOfItsEtoEnds) {
  CHILD_STARTS();
  logs_in_as_the_other_logs_out(kLoginCommand, 0);
}

// ---- what frees a qualifier holds it to its last command ----------------------------------------------

// P logs out its persistent session on port 0, held before its withdrawal (its records gone) and,
// in a second round, just after its logout command; meanwhile C, a fresh process, logs in on port
// 0 at once. P's qualifier is held until its withdrawal and record removal are done: C takes
// another, and nothing of P's logout takes C's registration or record.
TEST_F(TwoClients, ALogoutHoldsItsQualifierUntilItsWithdrawalIsDone) {
  for (const Hold& at : {Hold{kWithdrawal, kIscsiSubsystem, "p-held", "c-logged-in"},
                         Hold{kLogoutCommand, kIscsiSubsystem, "p-held", "c-logged-in", 0, true}}) {
    SCOPED_TRACE(at.opcode == kWithdrawal ? "before the withdrawal" : "after the logout command");
    for (const char* step : {"started", "p-held", "c-logged-in", "p-logged-out"}) std::remove(step_path(step).c_str());
    ASSERT_EQ(login(kPort0), 0u);   // this process is P
    ASSERT_EQ(saved_sessions(), std::vector<std::string>{"iSCSIPhysicalHBA0/0"});
    const pid_t c = other("TwoClientsChild.LogsInWhileTheOtherLogsOut");
    ASSERT_GT(c, 0);
    held(at, [] { return logout(kPort0); });
    tell("p-logged-out");
    EXPECT_EQ(wait_child(c), 0);
    EXPECT_EQ(registrations(), std::vector<std::string>{});
    EXPECT_EQ(saved_sessions(), std::vector<std::string>{});
  }
}

TEST(TwoClientsChild, LogsInWhileTheOtherLogsOut) {
  CHILD_STARTS();
  ASSERT_TRUE(heard("p-held"));
  EXPECT_EQ(login(kPort0), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(sessions_shown(kPort0), std::vector<std::string>{"0001 Open"}) << "P's qualifier is held by its logout";
  tell("c-logged-in");
  ASSERT_TRUE(heard("p-logged-out"));
  EXPECT_EQ(value_at(target_on(kPort0) + "/Session0/Persistent"), "True") << "as the adapter has it";
  EXPECT_EQ(registrations(), std::vector<std::string>{"0 0001 ImmediateData=Yes"});
  EXPECT_EQ(saved_sessions(), std::vector<std::string>{"iSCSIPhysicalHBA0/1"});
  EXPECT_EQ(logout(kPort0), 0u) << last_status().code << " " << last_status().text;
  VARU_exit();
}

// P's closed persistent session on port 0 is registered again with the login options P changes;
// once the adapter has taken its withdrawal, C logs in on port 1. The qualifier stays P's through
// its registration again: C takes another at once, and P's change stands.
TEST_F(TwoClients, AnIdleSessionRegisteredAgainKeepsItsQualifier) {
  const pid_t c = closed_session_then("TwoClientsChild.LogsInAsTheOtherRegistersAgain");   // this process is P
  ASSERT_GT(c, 0);
  held(Hold{kWithdrawal, kIscsiSubsystem, "p-withdrawn", "c-logged-in", 0, true},
       [] { return set_value(tag_at(target_on(kPort0) + "/TargetLoginOptions"), "ImmediateData", "No"); });
  EXPECT_EQ(registrations(), (std::vector<std::string>{"0 0000 ImmediateData=No", "1 0001 ImmediateData=Yes"}));
  EXPECT_EQ(sessions_shown(kPort0), std::vector<std::string>{"0000 Open"}) << "logged in again by its registration";
  tell("p-changed");
  EXPECT_EQ(wait_child(c), 0);
}

TEST(TwoClientsChild, LogsInAsTheOtherRegistersAgain) {
  CHILD_STARTS();
  ASSERT_TRUE(heard("p-withdrawn"));
  EXPECT_EQ(login(kPort1), 0u) << last_status().code << " " << last_status().text;
  EXPECT_EQ(qualifier(kPort1), "0001") << "P's qualifier is held through its registration again";
  tell("c-logged-in");
  ASSERT_TRUE(heard("p-changed"));
  EXPECT_EQ(logout(kPort1), 0u);
  VARU_exit();
}

// A withdrawal ends no claim of its caller's: P's closed session registered again with changed
// options still claims its qualifier at the first command after its withdrawal, and the claim ends
// with the change.
TEST_F(TwoClients, AWithdrawalEndsNoClaimOfItsCaller) {
  ASSERT_EQ(login(kPort0), 0u);
  ASSERT_EQ(session_control(kOpenTarget, VXSIM_SESSION_CLOSE), 1);
  const uint32_t options = tag_at(target_on(kPort0) + "/TargetLoginOptions");
  bool withdrawn = false;
  int claims_then = -1;   // at the first command after the withdrawal
  {
    const RequestHook hook(
        [&](unsigned long request, void* arg) {
          if (withdrawn && claims_then < 0 && command_of(request, arg).opcode >= 0) claims_then = claim_files();
        },
        [&](unsigned long request, void* arg) {
          const CommandId c = command_of(request, arg);
          withdrawn = withdrawn || (c.opcode == kWithdrawal && c.subsystem == kIscsiSubsystem);
        });
    EXPECT_EQ(set_value(options, "ImmediateData", "No"), 0u) << last_status().code << " " << last_status().text;
  }
  EXPECT_TRUE(withdrawn);
  EXPECT_EQ(claims_then, 1);
  EXPECT_EQ(claim_files(), 0);
  EXPECT_EQ(registrations(), std::vector<std::string>{"0 0000 ImmediateData=No"});
}

// Three clients' logins and logouts, two of them on port 0, each step a fresh vxcli process as a
// host's management client runs them (so every step's process mirrors the sessions of the others at
// its start, and those end under it): after every step no two open sessions share a qualifier, and
// no login is refused. A logout may find the session it would take gone to another's logout.
TEST_F(TwoClients, StepsOfThreeClientsEachAFreshProcess) {
  std::mutex checking;
  std::vector<std::string> faults;
  auto client = [&](const char* lhba, const char* who) {
    for (int round = 0; round < kFreshRounds; ++round) {
      for (const char* step : {"Login", "Logout"}) {
        const Ran ran = run_tool("vxcli", "do ROOT/" + target_on(lhba) + "/" + step);
        const std::lock_guard<std::mutex> lock(checking);
        const std::string at = std::string(who) + " " + step + " " + std::to_string(round);
        if (ran.exit != 0 && std::string(step) == "Login") faults.push_back(at + ": " + ran.err);
        const std::string shared = shared_qualifier();
        if (!shared.empty()) faults.push_back(at + ": " + shared + " shared");
      }
    }
  };
  std::thread a(client, kPort0, "A");
  std::thread b(client, kPort0, "B");
  std::thread c(client, kPort1, "C");
  a.join();
  b.join();
  c.join();
  std::string told;
  for (const std::string& f : faults) told += f + "\n";
  EXPECT_TRUE(faults.empty()) << told;
}

}  // namespace
}  // namespace vxtest
