// Every command wrapper against the simulated adapter: what reached the device is what the
// wrapper's row says, on each path it can take; the paths that send nothing; faults; and the
// firmware status map, row by row: result, and what it leaves in the last status.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "access/fw_commands.h"
#include "access/fw_status.h"
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

// Paths that send nothing: an unusable protocol or adapter, a NIC-only command asked for the iSCSI
// path, the configuration signature of a NIC-only adapter (success, unsent).
TEST_F(FwCommandsTest, UnusablePathsSendNothing) {
  using Call = uint32_t (*)(uint8_t*);
  const struct { Call call; uint8_t mask; uint32_t result; } cases[] = {   // mask: adapter 0's protocol bits
      {[](uint8_t* b) { return vx::ioctl_get_port_state(1, b, 0, 0, 3); }, 0, 1},
      {[](uint8_t* b) { return vx::ioctl_get_quenta_vpd_data(1, b, 16, 0, 0, 3); }, 0, 1},
      {[](uint8_t* b) { return vx::ioctl_set_mac(1, b, 0, 0, 1); }, 0, 1},
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
  uint8_t beacon[4] = {};   // port 0
  EXPECT_EQ(vx::ioctl_get_beacon_state(1, beacon, 0, 0, vx::kProtocolIscsi), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60)) << "a late answer still counts";
}

constexpr uint32_t kSentinelCode = 4242;
constexpr const char* kSentinelText = "left alone";

// The text each last-status code carries, written out apart from the messages table.
const std::map<uint32_t, std::string> kTexts = {
    {23, "TCP Connect Failure. Please make sure that the target is enabled and operational."},
    {24, "Initiator error. Please make sure your initiator is configured and enabled at the target."},
    {25, "Authentication failure. Please make sure your initiator is properly enabled for authentication at the "
        "target."},
    {26, "Authorization failure. Please make sure you are using the correct CHAP username and secret."},
    {27, "Session already opened."},
    {32, "Destination host not reachable. Please check cable and network connections and make sure IP address is "
        "valid. For more information, see Troubleshooting section in Vexalon documentation."},
    {33, "An error occurred changing the DHCP setting. Please check the configuration on the network and the DHCP "
        "server."},
    {35, "Failed to get session related info, because session is in closed state."},
    {37, "Invalid Secret Length. Please make sure that the secret is over 12 characters and less than 16 "
        "characters in length."},
    {38, "Initiator CHAP secret is same as target CHAP secret. Please set a different initiator CHAP secret from "
        "the target CHAP secret."},
    {41, "Active session(s) present. Please log out of all sessions before clearing configuration. For systems "
        "booting from an iSCSI target, configuration can only be cleared using the iSCSI Prism Utility."},
    {45, "The Vexalon iSCSI initiator TCP/IP settings are not configured. Please configure the TCP/IP settings "
        "before issuing this command."},
    {52, "The Link Status is Down. Please check the cable."},
    {117, "The target logout request did not complete because IOs were pending. Please quiesce IO to the device "
        "and re-attempt the logout."},
    {136, "Unable to flash the firmware image as there is a CRC mismatch."},
    {144, "The requested target does not exist at this address."},
    {149, "This Operation is not supported."},
    {153, "This LoopBack type is not supported on this Vexalon controller."},
    {154, "The given port is already in loopback state, only after exiting this loopback mode, a new loopback type "
        "can be applied."},
    {164, "Login Service not available. Please make sure that the target is operational."},
    {175, "The Target count exceeded the configured maximum limit."},
    {195, "IOCTL is not supported with the current privilege level."},
    {196, "IOCTL is not supported for the VF at all."},
};

// status, additional status, opcode, result, last-status code (0: left as it was). The last four
// rows: the low bytes of the four header time-outs, what an unanswered buffer reads as.
const uint32_t kRows[][5] = {
    {0, 44, 23, 0, 0}, {0, 0xFFFF, 255, 0, 0}, {67, 0, 1, 1, 0}, {255, 16, 29, 1, 0}, {1, 0, 5, 116, 0},
    {1, 16, 5, 1, 41}, {1, 17, 5, 1, 27}, {1, 18, 5, 35, 35}, {1, 19, 29, 32, 0}, {1, 19, 28, 32, 32},
    {1, 21, 5, 1, 23}, {1, 22, 5, 245, 0}, {1, 23, 5, 1, 52}, {1, 24, 17, 0, 33}, {1, 30, 5, 213, 0},
    {1, 43, 5, 1, 24}, {1, 44, 23, 25, 0}, {1, 44, 27, 25, 0}, {1, 44, 24, 1, 25}, {1, 45, 5, 1, 26},
    {1, 46, 5, 144, 144}, {1, 56, 5, 1, 164}, {1, 58, 5, 1, 38}, {1, 59, 5, 1, 37}, {1, 75, 57, 229, 0},
    {1, 75, 1, 213, 0}, {1, 75, 2, 327, 0}, {1, 77, 7, 1, 136}, {1, 79, 5, 151, 0}, {1, 80, 5, 5, 0},
    {1, 81, 5, 151, 0}, {1, 83, 19, 153, 153}, {1, 84, 19, 154, 154}, {1, 85, 5, 155, 0}, {1, 99, 5, 198, 0},
    {1, 100, 5, 243, 0}, {1, 104, 5, 253, 0}, {1, 105, 1, 213, 0}, {1, 105, 2, 5, 0}, {1, 161, 5, 5, 0},
    {1, 162, 5, 262, 0}, {1, 163, 5, 5, 0}, {1, 0xFFFF, 5, 5, 0}, {2, 44, 24, 1, 25}, {2, 162, 5, 262, 0},
    {3, 0, 57, 229, 0}, {3, 0, 58, 1, 0}, {4, 7, 63, 31, 0}, {5, 0, 5, 196, 196}, {5, 96, 5, 195, 195},
    {5, 97, 5, 5, 0}, {20, 0, 23, 1, 175}, {20, 0, 24, 1, 0}, {31, 0, 28, 0, 0}, {31, 0, 24, 0, 0},
    {31, 0, 27, 28, 0}, {44, 0, 7, 55, 0}, {46, 0, 5, 1, 45}, {46, 1, 5, 5, 0}, {49, 0, 24, 1, 117},
    {66, 103, 69, 236, 0}, {66, 102, 69, 149, 0}, {66, 103, 70, 149, 0}, {66, 0, 73, 149, 0}, {66, 0, 12, 149, 0},
    {66, 0, 8, 149, 0}, {66, 0, 9, 149, 149}, {6, 0, 5, 1, 0}, {30, 0, 5, 1, 0}, {65, 0, 5, 1, 0},
    {120, 0, 1, 1, 0}, {30, 0, 1, 1, 0}, {20, 0, 18, 1, 0}, {11, 0, 18, 1, 0},
};

TEST(FwStatus, EachRowGivesItsResultAndMessage) {
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << "status " << row[0] << " additional " << row[1] << " opcode " << row[2]);
    vx::varu_set_last_status(kSentinelCode, kSentinelText);
    EXPECT_EQ(vx::VaruStatusFromIOCTLResponse(row[0], row[1], static_cast<uint8_t>(row[2])), row[3]);
    const vxtest::LastStatus ls = vxtest::last_status();
    EXPECT_EQ(ls.code, row[4] != 0 ? row[4] : kSentinelCode);
    EXPECT_EQ(ls.text, row[4] != 0 ? kTexts.at(row[4]) : kSentinelText);
  }
}

// A failure never reads as success; status bytes past the map's last family give 1.
TEST(FwStatus, EveryStatusByteIsClassified) {
  for (uint32_t status = 0; status <= 0x1FF; ++status) {
    const uint32_t result = vx::VaruStatusFromIOCTLResponse(status, 0xABCD, 77);
    EXPECT_TRUE(status == 0 ? result == 0 : status > 66 ? result == 1 : result != 0) << status << ": " << result;
  }
  for (uint32_t s : {0u, 1u, 295u, 0xFFFFFFFFu}) EXPECT_EQ(vx::VaruStatusFromHBAStatus(s), 1u);
}

}  // namespace
