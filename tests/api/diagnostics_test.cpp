// The diagnostic actions through the public calls on the simulated lab: loopback modes and tests,
// the DDR DMA test, transceiver and PCI dumps, the PHY self test, cable test and counters, and the
// back-end client's shut-down leaving no port in loopback.
#include <sys/time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend/backend.h"
#include "engine/messages.h"
#include "platform/platform.h"
#include "tests/api/iscsi_fixture.h"
#include "tests/api/maintenance_fixture.h"

namespace vxtest {
namespace {

using std::string;

constexpr const char* kChildFlag = "VXIMA_DIAGNOSTICS_CHILD";
const string kDiag = string(kGen5) + "/Diagnostics";
const string kBaseT = string(kGen5) + "/PortDiscoveryAndConfiguration1/BaseT10G";

uint32_t u32_at(const std::vector<uint8_t>& p, size_t offset) {
  uint32_t v = 0;
  std::memcpy(&v, p.data() + offset, sizeof v);
  return v;
}

string counters(const string& diag = kDiag) {
  string out;
  for (const char* c : {"SendErrorCount", "ReceiveErrorCount", "DataMiscompareCount", "TotalCompleteCount",
                        "TotalTestCycles", "TotalCompleteCycles", "TotalErrorCycles"}) {
    out += value_at(diag + "/" + c) + " ";
  }
  return out;
}

// The wall clock, 10 ms further on every reading.
int stepping_clock(timeval* now) {
  static int64_t ms = 1000000;
  ms += 10;
  now->tv_sec = ms / 1000;
  now->tv_usec = (ms % 1000) * 1000;
  return 0;
}

class Diagnostics : public MaintenanceLab {};

TEST_F(Diagnostics, LoopbackModesAreEnteredTestedAndLeftWithTheirChecks) {
  start_lab();
  sim_.journal_clear();
  EXPECT_STATUS(run(kDiag, "EnterLoopBackMode", {"0", "1", "MacLoopBack"}), 67, vx::msg::kPortsMustMatch);
  EXPECT_STATUS(run(kDiag, "EnterLoopBackMode", {"0", "0", "TwoPortLoopBack"}), 68, vx::msg::kPortsMustDiffer);
  EXPECT_STATUS(run(kDiag, "EnterLoopBackMode", {"3", "0", "MacLoopBack"}), 231, vx::msg::kNoHbaForSource);
  EXPECT_STATUS(run(kDiag, "EnterLoopBackMode", {"0", "3", "MacLoopBack"}), 231, vx::msg::kNoHbaForDestination);
  EXPECT_STATUS(run(kDiag, "ExitLoopBackMode", {"0", "3"}), 231, vx::msg::kNoHbaForDestinationThie);
  EXPECT_TRUE(sim_.payloads_of(19, 11).empty() && sim_.payloads_of(20, 11).empty()) << "refused before any command";

  const char* test[] = {"0102030405060708", "4056", "100", "0", "0", "MacLoopBack"};
  auto loop_test = [&](const char* bytes, const char* pattern = "0102030405060708") {
    return run(kDiag, "NetworkLoopBackTest", {pattern, bytes, test[2], test[3], test[4], test[5]});
  };
  EXPECT_STATUS(loop_test("4056"), 155, vx::msg::kLoopbackModeNotSet);
  EXPECT_EQ(counters(), "0 0 0 0 0 0 0 ");
  ASSERT_EQ(run(kDiag, "EnterLoopBackMode", {"0", "0", "MacLoopBack"}), 0u);
  EXPECT_STATUS(run(kDiag, "EnterLoopBackMode", {"0", "0", "MacLoopBack"}), 172, vx::msg::kLoopbackAlreadySet);
  EXPECT_STATUS(run(kDiag, "EnterLoopBackMode", {"0", "0", "OnePortLoopBack"}), 154, vx::msg::kFwAlreadyInLoopback);
  EXPECT_STATUS(loop_test("4057"), 167, vx::msg::kMacLoopbackByteCount);
  EXPECT_STATUS(loop_test("4056", "12G4"), 78, vx::msg::kInvalidPattern);
  sim_.journal_clear();
  ASSERT_EQ(loop_test("4056"), 0u);
  EXPECT_EQ(counters(), "2 1 1 97 1 0 0 ") << "100 loops, 98 sent and 99 received without error";
  const auto sent = sim_.payloads_of(18, 11);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(string(sent[0].begin(), sent[0].end()),
            string("\0\0\0\0\x64\0\0\0\x08\x07\x06\x05\x04\x03\x02\x01\0\0\0\0\0\0\0\0\xd8\x0f\0\0", 28));

  ASSERT_EQ(run(kDiag, "ExitLoopBackMode", {"0", "0"}), 0u);
  EXPECT_STATUS(run(kDiag, "ExitLoopBackMode", {"0", "0"}), 171, vx::msg::kNoLoopbackSet);
  ASSERT_EQ(run(kDiag, "EnterLoopBackMode", {"0", "1", "TwoPortLoopBack"}), 0u);
  EXPECT_STATUS(run(kDiag, "ExitLoopBackMode", {"1", "1"}), 68, vx::msg::kPortsMustDiffer);
  ASSERT_EQ(run(kDiag, "ExitLoopBackMode", {"0", "1"}), 0u);

  EXPECT_STATUS(run(string(kGen3) + "/Diagnostics", "EnterLoopBackMode", {"0", "0", "MacLoopBack"}), 324,
                vx::msg::kLoopbackNotSupported);
  EXPECT_STATUS(run(string(kGen2) + "/Diagnostics", "EnterLoopBackMode", {"0", "0", "PhyLoopBack"}), 168,
                vx::msg::kPhyLoopbackUnsupported);
  ASSERT_EQ(run(kDiag, "EnterLoopBackMode", {"1", "1", "PhyLoopBack"}), 0u) << "the adapter has PHY loopback";
}

TEST_F(Diagnostics, TheDmaTestSendsThePatternAndTimesItsLoopsByTheSeamsClock) {
  start_lab(R"({"adapters": [{"serial_number": "S5", "generation": 5, "iscsi_functions": [{"function": 2}],
      "dma": {"send_failed_every": 4, "miscompare_every": 2}}]})");
  sim_.journal_clear();
  {
    vx::ScopedHostOp<int (*)(timeval*)> clock(&vx::HostOps::gettimeofday, stepping_clock);
    ASSERT_EQ(run("Vexalon0/Diagnostics", "HostToDDRDMATest", {"0102030405060708", "100", "4"}), 0u);
  }
  EXPECT_EQ(counters("Vexalon0/Diagnostics"), "1 2 2 1 10 2 7 ") << "4 loops in 10 ms: one send error, two miscompares";
  const auto sent = sim_.payloads_of(17, 11);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(u32_at(sent[0], 8), 96u) << "the byte count rounded down to 8";
  EXPECT_EQ(std::vector<uint8_t>(sent[3].begin() + 16, sent[3].begin() + 26),
            (std::vector<uint8_t>{8, 7, 6, 5, 4, 3, 2, 1, 8, 7}));
  EXPECT_EQ(sent[3][16 + 96], 0);

  sim_.inject_status(17, 11, 3, 0, 1);
  EXPECT_STATUS(run("Vexalon0/Diagnostics", "HostToDDRDMATest", {"0102", "64", "1"}), 63, vx::msg::kDmaTestFailed);
  EXPECT_EQ(counters("Vexalon0/Diagnostics"), "0 0 0 0 0 0 0 ");
}

TEST_F(Diagnostics, DumpsAnswerWithTheirTextAsTheMessage) {
  start_lab();
  struct Row {
    string group;
    const char* action;
    const char* first;
    const char* second;
    uint32_t code;
    const char* text;
  };
  const string port0 = string(kGen5) + "/PortDiscoveryAndConfiguration0";
  const Row rows[] = {
      {string(kGen5) + "/iSCSIPhysicalHBA0/PCI", "DumpiSCSIPCIConfigRegion", "4", "20", 61,
       "06 04 10 00 01 00 00 01 00 00 80 00 00 00 00 00 \n00 00 00 00 "},
      {string(kGen5) + "/iSCSIPhysicalHBA0/PCI", "DumpiSCSIPCIConfigRegion", "252", "64", 61, "00 00 00 00 "},
      {string(kGen5) + "/NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", "0x0", "4", 61, "4e 1f 20 07 "},
      {string(kGen4) + "/NICPhysicalHBA1/PCI", "DumpNICPCIConfigRegion", "0", "4", 61, "4e 1f 20 e2 "},
      {string(kGen5) + "/PortDiscoveryAndConfiguration1", "DumpTransceiverData", "A0", nullptr, 64, vx::msg::kTransceiverFailed},
      {string(kGen2) + "/PortDiscoveryAndConfiguration0", "DumpTransceiverData", "A2", nullptr, 191,
       vx::msg::kTransceiverNotSupported},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(act(tag_at(r.group), r.action, {r.first, r.second}), r.code == 61 ? 0u : 1u) << r.group << " " << r.first;
    EXPECT_EQ(last_status().code, r.code);
    EXPECT_EQ(last_status().text, r.text);
  }
  ASSERT_EQ(run(port0, "DumpTransceiverData", {"A2"}), 0u);
  const string text = last_status().text;
  EXPECT_EQ(last_status().code, 60u);
  EXPECT_EQ(text.substr(0, 18), "fcfdfeff f8f9fafb ");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << "64 words, 16 to a line";
  EXPECT_EQ(text.size(), 64u * 9 + 3);
}

TEST_F(Diagnostics, SelfTestCableTestAndCountersOfA10GBaseTPort) {
  start_lab();
  sim_.journal_clear();
  EXPECT_STATUS(run(kBaseT, "SelfTest", {"CrossTalk", "PairA"}), 216, vx::msg::kSelfTestNeedsTarget);
  ASSERT_EQ(run(kBaseT, "SelfTest", {"CrossTalk", "PairB", "PairD"}), 0u);
  EXPECT_EQ(value_at(kBaseT + "/SelfTestResult"), "4");
  const auto self = sim_.payloads_of(9, 18);
  ASSERT_EQ(self.size(), 1u);
  EXPECT_EQ(self[0].size(), 555u);
  EXPECT_EQ(string() + char('0' + self[0][0]) + " " + std::to_string(u32_at(self[0], 4)) + " " +
                std::to_string(u32_at(self[0], 8)) + " " + std::to_string(u32_at(self[0], 12)),
            "1 5 1 3");

  ASSERT_EQ(run(kBaseT, "RunTDR"), 0u);
  string tdr;
  for (const char* p : {"PairAResult", "PairBResult", "PairCResult", "PairDResult", "PairALengthEstimation",
                        "PairBLengthEstimation", "PairCLengthEstimation", "PairDLengthEstimation", "NVPUsed"}) {
    tdr += value_at(kBaseT + "/" + p) + " ";
  }
  EXPECT_EQ(tdr, "1 2 0 1 0 200 300 0 72 ") << "lengths only of the pairs whose result is not 1";

  ASSERT_EQ(run(kBaseT, "ClearCounters"), 0u);
  const auto clear = sim_.payloads_of(8, 18);
  ASSERT_FALSE(clear.empty());
  EXPECT_EQ(u32_at(clear.back(), 0) * 10 + u32_at(clear.back(), 4), 11u) << "port 1, clear bit";
  EXPECT_STATUS(run(string(kGen3) + "/PortDiscoveryAndConfiguration0/BaseT10G", "ClearCounters"), 325,
                vx::msg::kClearCountersUnsupported);
  sim_.inject_status(11, 18, 3, 0, 1);
  EXPECT_STATUS(run(kBaseT, "RunTDR"), 218, vx::msg::kTdrFailed);
}

TEST_F(Diagnostics, BeaconingIsSwitchedOnePortAtATime) {
  start_lab();
  const string port0 = string(kGen5) + "/PortDiscoveryAndConfiguration0";
  const string port1 = string(kGen5) + "/PortDiscoveryAndConfiguration1";
  sim_.journal_clear();
  EXPECT_STATUS(run(port0, "Beacon", {"10", nullptr, "Enabled"}), 134, vx::msg::kBeaconDurationMissing);
  EXPECT_TRUE(sim_.payloads_of(69, 1).empty());
  EXPECT_EQ(run(port0, "Beacon", {nullptr, nullptr, "Disabled"}), 0u);
  EXPECT_EQ(last_status().code, 244u);
  EXPECT_EQ(last_status().text, vx::msg::kBeaconAlreadyDisabled);
  EXPECT_STATUS(run(port0, "Beacon", {"10", "5", "Enabled"}), 236, vx::msg::kBeaconActive);   // port 1 beacons
  ASSERT_EQ(run(port1, "Beacon", {nullptr, nullptr, "Disabled"}), 0u);
  ASSERT_EQ(run(port0, "Beacon", {"10", "5", "Enabled"}), 0u);
  EXPECT_EQ(value_at(port0 + "/BeaconState") + value_at(port1 + "/BeaconState"), "EnabledDisabled");
  EXPECT_EQ(sim_.payloads_of(69, 1).back(), (std::vector<uint8_t>{0, 1, 10, 5}));

  sim_.inject_status(70, 1, 66, 0, 1);
  EXPECT_STATUS(run(port1, "Beacon", {"1", "1", "Enabled"}), 150, vx::msg::kBeaconNotSupported);
  sim_.inject_status(69, 1, 66, 0, 1);
  EXPECT_STATUS(run(port0, "Beacon", {nullptr, nullptr, "Disabled"}), 149, vx::msg::kOperationNotSupported);
  sim_.inject_status(69, 1, 3, 0, 1);
  EXPECT_STATUS(run(port0, "Beacon", {nullptr, nullptr, "Disabled"}), 119, vx::msg::kBeaconFailed);
}

TEST_F(Diagnostics, PortSpeedIsCheckedSentAndReadBack) {
  start_lab();
  const string gen5 = string(kGen5) + "/PortDiscoveryAndConfiguration0";
  const string gen4 = string(kGen4) + "/PortDiscoveryAndConfiguration1";
  auto speed = [&](const string& port, const char* s, const char* mode, const char* dac = nullptr) {
    return run(port, "SetPortSpeed", {s, mode, dac});
  };
  auto shown = [&](const string& port) {
    return value_at(port + "/ConfiguredSpeed") + "|" + value_at(port + "/Mode") + "|" + value_at(port + "/DACCableLength");
  };
  EXPECT_STATUS(speed(string(kGen2) + "/PortDiscoveryAndConfiguration0", "10Gb", "Force"), 226, vx::msg::kPortSpeedOnVx2);
  EXPECT_STATUS(speed(gen5, "10Gb", "Force"), 224, vx::msg::kPortSpeedNeedsDac);   // SFP+ forced without DAC
  EXPECT_EQ(speed(gen5, "10Gb/1Gb", "Auto-Negotiate", "0"), 0u);
  EXPECT_EQ(last_status().code, 240u);
  EXPECT_EQ(last_status().text, vx::msg::kPortSpeedUnchanged);
  EXPECT_STATUS(speed(gen5, "1Gb", "Force", "1"), 260, vx::msg::kPortSpeedVnic1Gb);   // its vNIC is enabled
  ASSERT_EQ(speed(gen5, "10Gb", "Force", "1"), 0u);
  EXPECT_EQ(shown(gen5), "10Gb|Force|1") << "the DAC length of an SFP+ port is sent";

  sim_.journal_clear();
  struct Row {
    const char* speed;
    const char* mode;
    uint32_t code;        // status, or 0
    const char* text;
    const char* shown;    // what the port reads back after a success
  };
  const Row rows[] = {
      {"40Gb", "Force", 229, vx::msg::kPortSpeedUnsupported, nullptr},
      {nullptr, "Auto-Negotiate", 225, vx::msg::kPortSpeedNeedsSpeed, nullptr},
      {"10Gb", "Force", 0, nullptr, "10Gb|Force|0"},
      {"10Gb/1Gb", "Auto-Negotiate", 0, nullptr, "10Gb/1Gb|Auto-Negotiate|0"},
      {"20Gb/1Gb", "Auto-Negotiate", 0, nullptr, "20Gb/1Gb|Auto-Negotiate|0"},
      {"10Gb", "Default", 0, nullptr, "All Supported Speeds|Default|0"},
  };
  for (const Row& r : rows) {
    if (r.code != 0) {
      EXPECT_STATUS(speed(gen4, r.speed, r.mode), r.code, r.text);
      continue;
    }
    EXPECT_EQ(speed(gen4, r.speed, r.mode), 0u) << r.speed << " " << r.mode;
    EXPECT_EQ(shown(gen4), r.shown);
  }
  string codes;
  for (const auto& p : sim_.payloads_of(57, 1)) codes += std::to_string(p[0]) + std::to_string(p[1]) + ":" + std::to_string(p[2] | p[3] << 8) + " ";
  EXPECT_EQ(codes, "11:1 11:6 11:74 11:0 ") << "port twice, then the code";

  // A forced speed the port lists that is no single speed.
  vx::set_prop_val(vx::get_node(static_cast<int32_t>(tag_at(gen4))), "ForceSpeedsSupported", "%s", "10Gb/1Gb,1Gb");
  EXPECT_STATUS(speed(gen4, "10Gb/1Gb", "Force"), 223, vx::msg::kPortSpeedForceValues);
  sim_.inject_status(57, 1, 1, 75, 1);
  EXPECT_STATUS(speed(gen4, "1Gb", "Force"), 229, vx::msg::kPortSpeedUnsupported);
  sim_.inject_status(57, 1, 5, 1, 1);
  EXPECT_STATUS(speed(gen4, "1Gb", "Force"), 222, vx::msg::kPortSpeedFailed);
}

TEST_F(Diagnostics, TheClientShutDownLeavesNoBeaconOnAndNoPortInLoopback) {
  start_lab();
  ASSERT_EQ(run(kDiag, "EnterLoopBackMode", {"0", "0", "MacLoopBack"}), 0u);
  ASSERT_EQ(run(string(kGen2) + "/Diagnostics", "EnterLoopBackMode", {"0", "1", "TwoPortLoopBack"}), 0u);
  ASSERT_EQ(value_at(string(kGen5) + "/PortDiscoveryAndConfiguration1/BeaconState"), "Enabled");
  backend_client_exit(1);   // does nothing
  EXPECT_STATUS(run(kDiag, "EnterLoopBackMode", {"0", "0", "MacLoopBack"}), 172, vx::msg::kLoopbackAlreadySet);
  backend_client_exit(0);
  stop();
  EXPECT_EQ(run_child("DiagnosticsChild.FindsNoBeaconOnAndNoPortInLoopback", kChildFlag), 0);
}

TEST(DiagnosticsChild, FindsNoBeaconOnAndNoPortInLoopback) {
  if (std::getenv(kChildFlag) == nullptr) GTEST_SKIP() << "runs in the child of the client shut-down test";
  ASSERT_EQ(VARU_init(), 0u);
  EXPECT_EQ(value_at(string(kGen5) + "/PortDiscoveryAndConfiguration0/BeaconState") +
                value_at(string(kGen5) + "/PortDiscoveryAndConfiguration1/BeaconState"),
            "DisabledDisabled");
  for (const char* adapter : {kGen5, kGen2}) {
    for (const char* pair : {"00", "01", "10", "11"}) {
      const string source(1, pair[0]);
      const string destination(1, pair[1]);
      EXPECT_STATUS(act(tag_at(string(adapter) + "/Diagnostics"), "ExitLoopBackMode", {source.c_str(), destination.c_str()}),
                    171, vx::msg::kNoLoopbackSet);
    }
  }
  VARU_exit();
}

}  // namespace
}  // namespace vxtest
