// The ISID choice of a login, session states, ping through the TCP/IP group and the refresh of a
// NIC physical HBA's virtual functions, on the simulated lab.
#include <cstring>

#include <gtest/gtest.h>

#include "access/wire.h"

#include "engine/hm.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/records.h"
#include "iscsi/sessions.h"
#include "iscsi/targets.h"
#include "support/request_hook.h"
#include "tests/api/iscsi_fixture.h"

namespace vxtest {
namespace {

TEST(SessionState, TextsInTheirOrder) {
  const struct {
    uint32_t state;
    const char* text;
  } rows[] = {{vx::kSessionOpen | vx::kSessionClosed, "Open"}, {vx::kSessionClosed, "Closed"},
              {vx::kSessionLoginInProgress, "Login in Progress"}, {vx::kSessionLoginFailed, "Login failed"},
              {vx::kSessionLogoutFailed, "Logout failed"}, {vx::kSessionRecovery12 | vx::kSessionDeleted, "In Recovery"},
              {vx::kSessionRecovery6, "In Recovery"}, {vx::kSessionDeleted, "Deleted"}, {0, "Unknown"}};
  for (const auto& r : rows) EXPECT_STREQ(vx::session_state_text(r.state), r.text) << r.state;
}

// A read of the target's ETO finds its session's configuration unreadable and the adapter's list
// without the session: the session leaves the tree at the end of the call, once the list asked
// again confirms it. Listed again by then, it stays.
TEST_F(IscsiLab, ASessionTheListShowsAgainStaysAtTheEndOfTheCall) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);   // logs in
  const std::string target = target_path(kGen3Lhba, 0);
  ASSERT_EQ(cached_at(target + "/Session0/SessionStatus"), "Open");
  const std::string eto = cached_at(target + "/ETO");
  sim_.inject_status(16, 6, 1, 0xFF, 1);
  {
    // Once the session configuration read (16) has failed, the next active-session list (29: a size
    // query, then the list) leaves every session out, as it would once they ended: its count is 0.
    int list_commands = -1;
    const RequestHook hidden(nullptr, [&](unsigned long request, void* arg) {
      const CommandId c = command_of(request, arg);
      auto* bytes = static_cast<uint8_t*>(arg);
      if (request != vx::wire::kIscsiFirmwareCommand || c.subsystem != 6) return;
      if (c.opcode == 16 && bytes[4] != 0 && list_commands < 0) list_commands = 0;
      if (c.opcode == 29 && list_commands >= 0 && ++list_commands == 2) {
        std::memset(bytes + sizeof(vx::wire::Request_Header), 0, sizeof(uint32_t));
      }
    });
    EXPECT_EQ(value_at(target + "/ETO"), eto) << "the value stands, as for a target without a session";
  }
  EXPECT_EQ(cached_at(target + "/Session0/SessionStatus"), "Open") << "dropped though listed at the end of the call";
}

TEST_F(IscsiLab, IsidOfALoginThroughAPortal) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  hm_node* target = vx::get_node(static_cast<int32_t>(tag_at(target_path(kGen3Lhba, 0))));
  const struct {
    const char* given;
    uint32_t result;
    uint32_t status;
    uint32_t isid;
  } rows[] = {{"", 0, 0, 1}, {"0x1F", 0, 0, 31}, {"12x", 1, 8, 0}, {"65536", 1, 8, 0}, {"0", 1, 71, 0}};
  for (const auto& r : rows) {
    uint32_t found = 9;
    uint32_t isid = 0;
    hm_node* session = nullptr;
    vx::varu_set_last_status(0, "");
    EXPECT_EQ(vx::VARU_get_isid(target, r.given, kOpenTarget, kGen3Initiator, "10.0.0.5", "3260", &found, &isid, &session),
              r.result)
        << r.given;
    EXPECT_EQ(last_status().code, r.status) << r.given;
    EXPECT_EQ(r.result == 0 ? isid : 0u, r.isid) << r.given;
  }
  // A closed session through the same portal is taken again with its ISID.
  ASSERT_EQ(session_control(kOpenTarget, VXSIM_SESSION_CLOSE), 1);
  uint32_t found = 0;
  uint32_t isid = 9;
  hm_node* session = nullptr;
  ASSERT_EQ(vx::VARU_get_isid(target, "", kOpenTarget, kGen3Initiator, "10.0.0.5", "3260", &found, &isid, &session), 0u);
  EXPECT_EQ(found, 1u);
  EXPECT_EQ(isid, 0u);
  EXPECT_EQ(session, vx::get_node(static_cast<int32_t>(tag_at(target_path(kGen3Lhba, 0) + "/Session0"))));
  // Without a session the qualifier given is the one taken.
  ASSERT_EQ(vx::delete_with_records(session), 0u);
  ASSERT_EQ(vx::VARU_get_isid(target, "5", kOpenTarget, kGen3Initiator, "10.0.0.5", "3260", &found, &isid, &session), 0u);
  EXPECT_EQ(isid, 5u);
}

// The adapter cannot tell which sessions it holds: the login is refused with why, and neither a
// registration nor a login is sent.
TEST_F(IscsiLab, ALoginWhoseSessionsCannotBeReadSendsNothing) {
  ASSERT_EQ(add_target(kGen3Lhba, kOpenTarget, "10.0.0.5"), 0u);
  const uint32_t target = tag_at(target_path(kGen3Lhba, 0));
  ASSERT_EQ(act(target, "Logout", {}), 0u);
  sim_.journal_clear();
  sim_.inject_status(29, 6, 1, 0xFF, 1);   // the size of the active-session list
  EXPECT_STATUS(act(target, "Login", {}), 31, vx::msg::kInsufficientBuffer);
  for (const vxsim_journal_entry& e : sim_.commands()) EXPECT_TRUE(e.opcode != 27 && e.opcode != 23) << +e.opcode;
  EXPECT_EQ(act(target, "Login", {}), 0u) << "once the adapter answers";
  // A list that grew between its size query and its fetch (another process logged in) is asked again.
  ASSERT_EQ(act(target, "Logout", {}), 0u);
  sim_.inject_status_after(29, 6, 4, 0, 1, 1);   // the first fetch: the answer no longer fits
  EXPECT_EQ(act(target, "Login", {}), 0u) << last_status().code << " " << last_status().text;
}

TEST_F(IscsiLab, PingReachesWhatTheNetworkHas) {
  const uint32_t tcpip = tag_at("Vexalon0/iSCSIPhysicalHBA0/Network/TCPIPConfiguration");
  const struct {
    const char* address;
    uint32_t status;
  } rows[] = {{"10.0.0.5", 0}, {"fd00::5", 0}, {"10.0.0.99", 53}, {"+10.0.0.5", 17}};
  for (const auto& r : rows) {
    vx::varu_set_last_status(0, "");
    EXPECT_EQ(act(tcpip, "Ping", {r.address}), r.status == 0 ? 0u : 1u) << r.address;
    EXPECT_EQ(last_status().code, r.status) << r.address;
  }
}

TEST_F(IscsiLab, RefreshOfANicFunctionRebuildsItsVirtualFunctions) {
  const std::string nic = "Vexalon1/NICPhysicalHBA0";
  ASSERT_EQ(VARU_refresh_group(static_cast<int32_t>(tag_at(nic))), 0u);
  EXPECT_NE(tag_at(nic + "/NICLogicalHBA1"), kMissing);
  EXPECT_EQ(tag_at(nic + "/NICLogicalHBA2"), kMissing);
}

}  // namespace
}  // namespace vxtest
