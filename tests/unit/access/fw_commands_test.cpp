// Every command wrapper against the simulated adapter: what reached the device is what the
// wrapper's row says, on each path it can take; plus the paths that send nothing and faults.
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

class FwCommandsTest : public vxtest::SimTest {
 protected:
  // Calls the row's wrapper on the path `nic` and checks the one command that reached the device:
  // node, PCI address, opcode, subsystem, request length, header version, time-out, domain, port.
  void check_row(size_t index, bool nic) {
    const vx::FwCommand& cmd = vx::kFwCommands[index];
    vx::varu_glob.protocol_mask[0] = nic ? vx::kProtocolBitNic : vx::kProtocolBitIscsi;
    const bool by_adapter = cmd.path == FwPath::A || cmd.path == FwPath::AC || cmd.path == FwPath::SA;
    std::vector<uint8_t> buffer(70000, 0);
    buffer[vx::kFatLengthOffset] = kFatData;
    uint16_t size = 0;
    Args args{1, buffer.data(), &size, 5, 1, by_adapter ? 0 : nic ? vx::kProtocolNic : vx::kProtocolIscsi};
    sim_.journal_clear();
    kCallers[index](args);
    auto commands = sim_.commands();
    ASSERT_EQ(commands.size(), 1u) << cmd.name;
    const vxsim_journal_entry& e = commands[0];
    const vx::PciAddress& pci = vx::varu_glob.nic_pci[0];
    const uint32_t length = cmd.length == FwLength::VAR   ? kVarLength
                            : cmd.length == FwLength::FAT ? vx::kFatFixedRequest + kFatData
                                                          : cmd.request;
    const uint32_t timeout = cmd.opcode == 18 ? (cmd.subsystem == 2 ? 20 : 11) : nic ? 30 : 120;
    auto text = [](auto... v) { return ((std::to_string(v) + " ") + ...); };
    EXPECT_EQ(std::string(e.path) + " " + text(e.bus, e.device, e.function, e.opcode, e.subsystem, e.request_length,
                                                 e.version, e.timeout, e.domain, e.port_number),
              (nic ? std::string(wire::kNicNodePath) + " " + text(pci.bus, pci.device, pci.function)
                   : std::string(wire::kIscsiNodePrefix) + "0 0 0 0 ") +
                  text(cmd.opcode, cmd.subsystem, length, cmd.version, timeout, 5, 1))
        << cmd.name << (nic ? " on the NIC node" : " on the iSCSI node");
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

// A size query reports the size and the fetch uses it.
TEST_F(FwCommandsTest, SizeQueryAndItsFetch) {
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

// Paths that send nothing: an unusable protocol or adapter, a NIC-only command asked for the iSCSI
// path, the configuration signature of a NIC-only adapter (success, unsent).
TEST_F(FwCommandsTest, UnusablePathsSendNothing) {
  using Call = uint32_t (*)(uint8_t*);
  const struct { Call call; uint8_t mask; uint32_t result; } cases[] = {   // mask: adapter 0's protocol bits
      {[](uint8_t* b) { return vx::ioctl_get_port_state(1, b, 0, 0, 3); }, 0, 1},
      {[](uint8_t* b) { return vx::ioctl_qos_get(1, b, 0, 0, 0); }, 0, 1},
      {[](uint8_t* b) { return vx::ioctl_get_quenta_vpd_data(1, b, 16, 0, 0, 3); }, 0, 1},
      {[](uint8_t* b) { return vx::ioctl_set_mac(1, b, 0, 0, 1); }, 0, 1},
      {[](uint8_t* b) { return vx::ioctl_get_oem_params(1, b, 0, 0, 0); }, 4, 1},
      {[](uint8_t* b) { return vx::ioctl_get_oem_params(1, b, 0, 0, 16); }, 1, 1},
      {[](uint8_t* b) { uint16_t s; return vx::ioctl_get_eventlogbuffersize(1, b, &s, 0, 0, 0); }, 0, 1},
      {[](uint8_t* b) { return vx::ioctl_set_config_sign(1, b, 0, 0, 0); }, 2, 0},
      {[](uint8_t*) { return vx::ioctl_retrieve_fat(1, nullptr, 0, 0, 0); }, 1, 1},
      {[](uint8_t* b) { return vx::ioctl_get_configured_personality(1, b, 70000, 0, 0, 1); }, 1, 1},
      {[](uint8_t* b) { return vx::ioctl_get_flash_component_details(0, reinterpret_cast<uint32_t*>(b), 0, 0, 1); },
       1, 1},
  };
  for (const auto& c : cases) {
    vx::varu_glob.protocol_mask[0] = c.mask;
    std::vector<uint8_t> buffer(1024, 0);
    sim_.journal_clear();
    EXPECT_EQ(c.call(buffer.data()), c.result) << &c - cases;
    EXPECT_TRUE(sim_.journal().empty()) << &c - cases;
  }
  // The flow-control commands take a buffer laid out like a command buffer: the payload is 16 bytes in.
  std::vector<uint8_t> buffer(64, 0xCC);
  vx::ioctl_common_get_flow_control(1, buffer.data(), 0, 0, vx::kProtocolIscsi);
  EXPECT_EQ(buffer[0], 0xCC);
  ASSERT_EQ(sim_.commands().size(), 1u);
  EXPECT_EQ(sim_.commands()[0].request_length, 4u);
}

// Firmware faults through a wrapper: the statuses and messages of the status map reach the caller;
// a command that never got an answer is not a success; the next command goes through.
TEST_F(FwCommandsTest, InjectedFaultsReachTheCaller) {
  const struct { uint8_t status; uint16_t additional; uint32_t result, code; } statuses[] = {   // code 0: none
      {1, 44, 25, 0}, {1, 45, 1, 26}, {1, 162, 262, 0}, {20, 0, 1, 175}, {4, 0, 31, 0}, {66, 0, 149, 149}};
  for (const auto& c : statuses) {
    vx::varu_set_last_status(0, "");
    sim_.inject_status(23, 6, c.status, c.additional, 1);
    std::vector<uint8_t> payload(1420, 0);
    EXPECT_EQ(vx::ioctl_login_target(1, payload.data(), 0, 0), c.result) << int(c.status) << "/" << c.additional;
    EXPECT_EQ(vxtest::last_status().code, c.code) << int(c.status) << "/" << c.additional;
  }
  for (int32_t protocol : {vx::kProtocolIscsi, vx::kProtocolNic}) {
    for (int error : {EIO, ENODEV, 0}) {   // 0: unanswered
      if (error != 0) {
        sim_.inject_errno(77, 1, 0, error, 1);
      } else {
        sim_.inject_unanswered(77, 1, 1);
      }
      uint8_t payload[4] = {};
      EXPECT_EQ(vx::ioctl_get_port_name(1, payload, 0, 0, protocol), 1u) << protocol << " " << error;
      EXPECT_EQ(vx::ioctl_get_port_name(1, payload, 0, 0, protocol), 0u) << protocol << " " << error;
    }
  }
  sim_.inject_errno(77, 1, 0, EIO, 1);
  uint8_t buffer[20] = {};
  EXPECT_EQ(vx::IssueIOCTL(vx::varu_glob.iscsi_fds[0], 77, 1, 4, buffer, 0, 0, vx::kProtocolIscsi, 1),
            vx::kStatusDriverIo) << "EIO is visible as such one level down";
  // Flash component details answer the raw status.
  uint32_t record[6] = {4, 1, 4, 0, 0, 0};
  sim_.inject_status(6, 1, 7, 0, 1);
  EXPECT_EQ(vx::ioctl_get_flash_component_details(1, record, 0, 0, vx::kProtocolIscsi), 7u);
  sim_.inject_unanswered(6, 1, 2);
  EXPECT_EQ(vx::ioctl_get_flash_component_details(1, record, 0, 0, vx::kProtocolIscsi), 120u);
  EXPECT_EQ(vx::ioctl_get_flash_component_details(1, record, 0, 0, vx::kProtocolNic), 30u);
  sim_.inject_delay(70, 1, 60, 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(vx::ioctl_get_beacon_state(1, reinterpret_cast<uint8_t*>(record), 0, 0, vx::kProtocolIscsi), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60)) << "a late answer still counts";
}

}  // namespace
