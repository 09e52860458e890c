// Every command wrapper against the simulated adapter: what reached the device (node, opcode,
// subsystem, request length, header version, time-out) is what the wrapper's row says, on each
// path it can take; plus the rows whose behaviour is not a plain send.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "engine/hm.h"
#include "sim_harness.h"

namespace {

namespace wire = vx::wire;
using vx::FwId;
using vx::FwLength;
using vx::FwPath;

constexpr uint16_t kVarLength = 100;
constexpr uint16_t kFatData = 44;

struct Args {
  int32_t handle;
  uint8_t* buffer;
  uint16_t* size;
  uint8_t domain;
  uint8_t port;
  int32_t route;
};
using Caller = uint32_t (*)(const Args&);

uint32_t call_ioctl_get_available_personalities(const Args& a) {
  return vx::ioctl_get_available_personalities(a.handle, a.buffer, a.domain, a.port, a.route);
}
uint32_t call_ioctl_get_configured_personality(const Args& a) {
  return vx::ioctl_get_configured_personality(a.handle, a.buffer, kVarLength, a.domain, a.port, a.route);
}
uint32_t call_ioctl_get_flash_component_details(const Args& a) {
  return vx::ioctl_get_flash_component_details(a.handle, reinterpret_cast<uint32_t*>(a.buffer), a.domain, a.port,
                                               a.route);
}
uint32_t call_ioctl_upgrade_flash(const Args& a) {
  auto* request = reinterpret_cast<vx::flashrom_request*>(a.buffer);
  request->total_length = 10;
  request->image_type = 1;
  return vx::ioctl_upgrade_flash(a.handle, request, a.domain, a.port, a.route, 0);
}

#define CALL_I_FIX(w) [](const Args& a) { return vx::w(a.handle, a.buffer, a.domain, a.port); }
#define CALL_N_FIX(w) CALL_I_FIX(w)
#define CALL_N_OFF16(w) CALL_I_FIX(w)
#define CALL_I_VAR(w) [](const Args& a) { return vx::w(a.handle, a.buffer, kVarLength, a.domain, a.port); }
#define CALL_P_FIX(w) [](const Args& a) { return vx::w(a.handle, a.buffer, a.domain, a.port, a.route); }
#define CALL_P_OFF16(w) CALL_P_FIX(w)
#define CALL_PN_FIX(w) CALL_P_FIX(w)
#define CALL_A_FIX(w) CALL_P_FIX(w)
#define CALL_AC_FIX(w) CALL_P_FIX(w)
#define CALL_A_FAT(w) CALL_P_FIX(w)
#define CALL_P_VAR(w) [](const Args& a) { return vx::w(a.handle, a.buffer, kVarLength, a.domain, a.port, a.route); }
#define CALL_A_VAR(w) CALL_P_VAR(w)
#define CALL_A_NONE(w) [](const Args& a) { return vx::w(a.handle, a.domain, a.port, a.route); }
#define CALL_S_FIX(w) [](const Args& a) { return vx::w(a.handle, a.buffer, a.size, a.domain, a.port); }
#define CALL_S_NONE(w) [](const Args& a) { return vx::w(a.handle, a.size, a.domain, a.port); }
#define CALL_SA_FIX(w) [](const Args& a) { return vx::w(a.handle, a.buffer, a.size, a.domain, a.port, a.route); }
#define CALL_D_FIX(w) &call_##w
#define CALL_D_VAR(w) &call_##w

const Caller kCallers[] = {
#define FW_CMD(wrapper, op, sub, length, request, dir, path, ver, pair) CALL_##path##_##length(wrapper),
#include "access/fw_commands.def"
#undef FW_CMD
};
static_assert(sizeof kCallers / sizeof kCallers[0] == vx::kFwCommandCount);

uint32_t expected_length(const vx::FwCommand& cmd) {
  switch (cmd.length) {
    case FwLength::VAR: return kVarLength;
    case FwLength::FAT: return vx::kFatFixedRequest + kFatData;
    default: return cmd.request;
  }
}

uint32_t expected_timeout(const vx::FwCommand& cmd, bool nic) {
  if (cmd.opcode == 18) return cmd.subsystem == 2 ? 20 : 11;
  return nic ? 30 : 120;
}

bool on_iscsi_node(const vxsim_journal_entry& e) {
  return std::string(e.path).rfind(wire::kIscsiNodePrefix, 0) == 0;
}

class FwCommandsTest : public vxtest::SimTest {
 protected:
  // Calls the row's wrapper on the path `nic` and checks the one command that reached the device.
  void check_row(size_t index, bool nic) {
    const vx::FwCommand& cmd = vx::kFwCommands[index];
    SCOPED_TRACE(testing::Message() << cmd.name << (nic ? " on the NIC node" : " on the iSCSI node"));
    const int32_t protocol = nic ? vx::kProtocolNic : vx::kProtocolIscsi;
    vx::varu_glob.protocol_mask[0] = nic ? vx::kProtocolBitNic : vx::kProtocolBitIscsi;
    const bool by_adapter = cmd.path == FwPath::A || cmd.path == FwPath::AC || cmd.path == FwPath::SA;
    std::vector<uint8_t> buffer(70000, 0);
    buffer[vx::kFatLengthOffset] = kFatData;
    uint16_t size = 0;
    Args args{1, buffer.data(), &size, 5, 1, by_adapter ? 0 : protocol};
    sim_.journal_clear();
    kCallers[index](args);

    auto commands = sim_.commands();
    ASSERT_EQ(commands.size(), 1u);
    const vxsim_journal_entry& e = commands[0];
    EXPECT_EQ(on_iscsi_node(e), !nic) << e.path;
    if (nic) {
      EXPECT_STREQ(e.path, wire::kNicNodePath);
      EXPECT_EQ(e.bus, vx::varu_glob.nic_pci[0].bus);
      EXPECT_EQ(e.device, vx::varu_glob.nic_pci[0].device);
      EXPECT_EQ(e.function, vx::varu_glob.nic_pci[0].function);
    }
    EXPECT_EQ(e.opcode, cmd.opcode);
    EXPECT_EQ(e.subsystem, cmd.subsystem);
    EXPECT_EQ(e.request_length, expected_length(cmd));
    EXPECT_EQ(e.version, cmd.version);
    EXPECT_EQ(e.timeout, expected_timeout(cmd, nic));
    EXPECT_EQ(e.domain, 5);
    EXPECT_EQ(e.port_number, 1);
    EXPECT_EQ(vx::varu_glob.nic_fds[0], vx::kNoDescriptor);
  }
};

TEST_F(FwCommandsTest, EveryWrapperSendsWhatItsRowSays) {
  for (size_t i = 0; i < vx::kFwCommandCount; ++i) {
    const FwPath path = vx::kFwCommands[i].path;
    if (path != FwPath::N && path != FwPath::PN) check_row(i, false);
    if (path != FwPath::I && path != FwPath::S && path != FwPath::AC) check_row(i, true);
  }
}

// Rows that the command table pins down, checked against the numbers themselves.
TEST(FwCommandTable, RowsPinnedDown) {
  EXPECT_EQ(vx::kFwCommandCount, 171u);
  const vx::FwCommand& erase = vx::fw_command(FwId::ioctl_erase_ROM);
  EXPECT_EQ(erase.opcode, 7);
  EXPECT_EQ(erase.subsystem, 1);
  EXPECT_EQ(erase.request, 20u);
  EXPECT_EQ(erase.direction, 2);
  EXPECT_EQ(erase.version, 0);
  EXPECT_EQ(vx::fw_command(FwId::ioctl_get_quenta_oem_params_v1).version, 0) << "v1 in name only";
  EXPECT_EQ(vx::fw_command(FwId::ioctl_get_quenta_oem_params_v1).path, FwPath::N);
  EXPECT_EQ(vx::fw_command(FwId::ioctl_get_quenta_vpd_data).version, 1);
  EXPECT_EQ(vx::fw_command(FwId::ioctl_ddr_dma_test).request, 8208u);
  EXPECT_EQ(vx::fw_command(FwId::ioctl_upgrade_flash).request, 32788u);

  // Commands that share opcode and subsystem stay separate rows.
  int mac_family = 0;
  for (const vx::FwCommand& c : vx::kFwCommands) mac_family += c.opcode == 1 && c.subsystem == 1;
  EXPECT_EQ(mac_family, 3);

  // Size queries and fetches name each other and share opcode and subsystem.
  int queries = 0;
  for (size_t i = 0; i < vx::kFwCommandCount; ++i) {
    const vx::FwCommand& c = vx::kFwCommands[i];
    const bool query = c.path == FwPath::S || c.path == FwPath::SA;
    if (!query) continue;
    ++queries;
    ASSERT_NE(c.pair, FwId::none) << c.name;
    const vx::FwCommand& fetch = vx::fw_command(c.pair);
    EXPECT_EQ(fetch.pair, static_cast<FwId>(i)) << c.name;
    EXPECT_EQ(fetch.opcode, c.opcode) << c.name;
    EXPECT_EQ(fetch.subsystem, c.subsystem) << c.name;
    EXPECT_EQ(fetch.length, FwLength::VAR) << c.name;
    EXPECT_EQ(c.direction, 0) << c.name;
  }
  EXPECT_EQ(queries, 9);
  for (const vx::FwCommand& c : vx::kFwCommands) {
    const bool own_buffer = c.path == FwPath::D;
    const bool query = c.path == FwPath::S || c.path == FwPath::SA;
    if (!own_buffer && !query) {
      EXPECT_TRUE(c.direction >= 1 && c.direction <= 3) << c.name;
    }
    EXPECT_LE(c.version, 1) << c.name;
    EXPECT_LE(c.request, vx::kMaxRequestLength) << c.name;
  }
}

struct RouteCase {
  const char* what;
  uint32_t (*call)(uint8_t* buffer);
  uint8_t mask;           // adapter 0's protocol bits
  uint32_t result;
};

// Paths that send nothing: an unusable protocol, a NIC-only command asked for the iSCSI path, the
// configuration signature of a NIC-only adapter (success, unsent).
TEST_F(FwCommandsTest, UnusablePathsSendNothing) {
  const RouteCase cases[] = {
      {"P protocol 3", [](uint8_t* b) { return vx::ioctl_get_port_state(1, b, 0, 0, 3); }, 0, 1},
      {"P protocol 4", [](uint8_t* b) { return vx::ioctl_get_port_state(1, b, 0, 0, 4); }, 0, 1},
      {"P protocol 0", [](uint8_t* b) { return vx::ioctl_qos_get(1, b, 0, 0, 0); }, 0, 1},
      {"vpd protocol 3", [](uint8_t* b) { return vx::ioctl_get_quenta_vpd_data(1, b, 16, 0, 0, 3); }, 0, 1},
      {"set_mac on iSCSI", [](uint8_t* b) { return vx::ioctl_set_mac(1, b, 0, 0, 1); }, 0, 1},
      {"A empty mask", [](uint8_t* b) { return vx::ioctl_get_oem_params(1, b, 0, 0, 0); }, 0, 1},
      {"A third protocol", [](uint8_t* b) { return vx::ioctl_get_oem_params(1, b, 0, 0, 0); }, 4, 1},
      {"A adapter out of range", [](uint8_t* b) { return vx::ioctl_get_oem_params(1, b, 0, 0, 16); }, 1, 1},
      {"A adapter -1", [](uint8_t* b) { return vx::ioctl_get_capabilities(1, b, 0, 0, -1); }, 1, 1},
      {"SA empty mask", [](uint8_t* b) { uint16_t s; return vx::ioctl_get_eventlogbuffersize(1, b, &s, 0, 0, 0); }, 0, 1},
      {"config sign, NIC adapter", [](uint8_t* b) { return vx::ioctl_set_config_sign(1, b, 0, 0, 0); }, 2, 0},
      {"config sign, no protocol", [](uint8_t* b) { return vx::ioctl_get_config_sign(1, b, 0, 0, 0); }, 0, 1},
      {"FAT without payload", [](uint8_t*) { return vx::ioctl_retrieve_fat(1, nullptr, 0, 0, 0); }, 1, 1},
  };
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.what);
    vx::varu_glob.protocol_mask[0] = c.mask;
    std::vector<uint8_t> buffer(1024, 0);
    sim_.journal_clear();
    EXPECT_EQ(c.call(buffer.data()), c.result);
    EXPECT_TRUE(sim_.journal().empty());
  }
}

// The flow-control commands take a buffer laid out like a command buffer: the payload sent is the
// part 16 bytes in, and the answer lands there.
TEST_F(FwCommandsTest, FlowControlPayloadStartsSixteenBytesIn) {
  std::vector<uint8_t> buffer(64, 0xCC);
  vx::ioctl_common_get_flow_control(1, buffer.data(), 0, 0, vx::kProtocolIscsi);
  EXPECT_EQ(buffer[0], 0xCC) << "the first 16 bytes are not the payload";
  auto commands = sim_.commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].request_length, 4u);
}

TEST_F(FwCommandsTest, SizeQueryReportsTheSizeAndTheFetchUsesIt) {
  std::vector<uint8_t> query(1164, 0);
  uint16_t size = 0;
  ASSERT_EQ(vx::ioctl_get_activesessionidbuffersize(1, query.data(), &size, 0, 0), 0u);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> fetch(size, 0);
  EXPECT_EQ(vx::ioctl_get_activesessionid(1, fetch.data(), size, 0, 0), 0u);
  auto commands = sim_.commands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].request_length, 12u);
  EXPECT_EQ(commands[1].request_length, size);
}

// Firmware faults through a wrapper: the statuses and messages of the status map reach the caller.
struct FaultCase {
  uint8_t status;
  uint16_t additional;
  uint32_t result;
  uint32_t code;   // 0 = last status stays empty
};

TEST_F(FwCommandsTest, InjectedStatusesReachTheCaller) {
  const FaultCase cases[] = {
      {1, 44, 25, 0},     // the login command reports its own authentication failure
      {1, 45, 1, 26},
      {1, 162, 262, 0},
      {20, 0, 1, 175},    // login: target count exceeded
      {4, 0, 31, 0},
      {66, 0, 149, 149},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.status) << "/" << c.additional);
    vx::varu_set_last_status(0, "");
    sim_.inject_status(23, 6, c.status, c.additional, 1);
    std::vector<uint8_t> payload(1420, 0);
    EXPECT_EQ(vx::ioctl_login_target(1, payload.data(), 0, 0), c.result);
    EXPECT_EQ(vxtest::last_status().code, c.code);
  }
}

struct DriverFaultCase {
  bool nic;
  int error;              // 0 = unanswered
  uint32_t result;
};

TEST_F(FwCommandsTest, DriverFaultsGiveOne) {
  const DriverFaultCase cases[] = {
      {false, EIO, 1}, {false, ENODEV, 1}, {false, 0, 1}, {true, EIO, 1}, {true, ENODEV, 1}, {true, 0, 1},
  };
  for (const DriverFaultCase& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.nic ? "NIC " : "iSCSI ") << c.error);
    if (c.error != 0) {
      sim_.inject_errno(77, 1, 0, c.error, 1);
    } else {
      sim_.inject_unanswered(77, 1, 1);
    }
    uint8_t payload[4] = {};
    EXPECT_EQ(vx::ioctl_get_port_name(1, payload, 0, 0, c.nic ? vx::kProtocolNic : vx::kProtocolIscsi), c.result);
    sim_.clear_faults();
    EXPECT_EQ(vx::ioctl_get_port_name(1, payload, 0, 0, c.nic ? vx::kProtocolNic : vx::kProtocolIscsi), 0u)
        << "the next command goes through";
  }
  // EIO is visible as such one level down.
  sim_.inject_errno(77, 1, 0, EIO, 1);
  uint8_t buffer[20] = {};
  EXPECT_EQ(vx::IssueIOCTL(vx::varu_glob.iscsi_fds[0], 77, 1, 4, buffer, 0, 0, vx::kProtocolIscsi, 1),
            vx::kStatusDriverIo);
}

TEST_F(FwCommandsTest, DelayedAnswerStillSucceeds) {
  sim_.inject_delay(70, 1, 60, 1);
  uint8_t payload[4] = {};
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(vx::ioctl_get_beacon_state(1, payload, 0, 0, vx::kProtocolIscsi), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

TEST_F(FwCommandsTest, AllPortsReachesEveryNode) {
  uint8_t payload[540] = {};
  EXPECT_EQ(vx::ioctl_fetch_controller_attribs(vx::kAllPorts, payload, 0, 0, vx::kProtocolIscsi), 0u);
  EXPECT_EQ(static_cast<int32_t>(sim_.commands().size()), vx::varu_glob.iscsi_node_count);
  sim_.journal_clear();
  EXPECT_EQ(vx::ioctl_fetch_controller_attribs(vx::kAllPorts, payload, 0, 0, vx::kProtocolNic), 0u);
  EXPECT_EQ(static_cast<int32_t>(sim_.commands().size()), vx::varu_glob.nic_function_count);
}

// The firmware reports a raw status here; a command that never got an answer is not a success.
TEST_F(FwCommandsTest, FlashComponentDetailsReturnsTheRawStatus) {
  uint32_t record[6] = {4, 1, 4, 0, 0, 0};
  sim_.inject_status(6, 1, 7, 0, 1);
  EXPECT_EQ(vx::ioctl_get_flash_component_details(1, record, 0, 0, vx::kProtocolIscsi), 7u);
  sim_.inject_unanswered(6, 1, 1);
  EXPECT_EQ(vx::ioctl_get_flash_component_details(1, record, 0, 0, vx::kProtocolIscsi), 120u);
  sim_.inject_unanswered(6, 1, 1);
  EXPECT_EQ(vx::ioctl_get_flash_component_details(1, record, 0, 0, vx::kProtocolNic), 30u);
  EXPECT_EQ(vx::ioctl_get_flash_component_details(0, record, 0, 0, vx::kProtocolIscsi), 1u);
}

TEST_F(FwCommandsTest, PersonalityQueriesMapTheirStatus) {
  std::vector<uint8_t> buffer(16 + 512, 0);
  sim_.inject_status(113, 1, 66, 0, 1);
  EXPECT_EQ(vx::ioctl_get_available_personalities(1, buffer.data(), 0, 0, vx::kProtocolIscsi), 149u);
  EXPECT_EQ(vx::ioctl_get_available_personalities(1, buffer.data(), 0, 0, 3), 1u);
  EXPECT_EQ(vx::ioctl_get_configured_personality(1, buffer.data(), 70000, 0, 0, 1), 1u);
}

}  // namespace
