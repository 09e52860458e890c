// The live controller, NCSI, port and flow-control properties of examples/nic-lab.json through the
// public calls: values per generation, what reading and writing send, refusals, virtual functions
// and readers on several threads.
#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include "adapter/live_properties.h"
#include "engine/api_lock.h"
#include "engine/messages.h"
#include "support/fake_clock.h"
#include "tests/api/nic_lab_fixture.h"

namespace vxtest {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;
const std::string p0 = kPort0;
const std::string p1 = kPort1;
const std::string kGen3Port = "Vexalon1/PortDiscoveryAndConfiguration0";
const std::string kGen2Port = "Vexalon2/PortDiscoveryAndConfiguration0";
const std::string kGen4Port = "Vexalon3/PortDiscoveryAndConfiguration0";
const std::string kDynamic = "Vexalon2/NCSI/NCSIDynamicConfiguration0/";

void expect_values(const Rows& rows) {
  for (const auto& [path, want] : rows) EXPECT_EQ(value_at(path), want) << path;
}

class Live : public NicLab {};

TEST_F(Live, ControllerValuesFollowEachGeneration) {
  expect_values({
      {"Vexalon0/VexalonOnDieTemperature", "55"},
      {"Vexalon1/VexalonOnDieTemperature", "N/A"},
      {"Vexalon0/ControllerStatus", "Alive"},
      {"Vexalon1/ControllerStatus", "Dead"},
      {"Vexalon3/ControllerStatus", "N/A"},
      {"Vexalon0/FFVName", "FFV-A"},
      {"Vexalon2/FFVName", "N/A"},
      {"Vexalon3/FFVName", "<1>"},   // the adapter has none: "N/A" is kept
      {"Vexalon0/ProfileManagement/RebootRequired", "No"},
      {"Vexalon0/PCIExpressBusWidth", "x8"},
      {"Vexalon0/PCIExpressLinkSpeed", "7.5GT/s"},
      {"Vexalon0/NICCIM/PortControllerName", "Talvix Brightlane at 0x5:0x0"},
      {"Vexalon0/NICCIM/MaxSupportedController", "2"},
      {"Vexalon1/NICCIM/ControllerType", "Ethernet"},
      {"Vexalon1/NICCIM/ProtocolSupported", "IEEE P802.3ae"},
      {"Vexalon0/NICPhysicalHBA0/MTUSize", "1500"},
      {"Vexalon2/NCSI/NCSIVersion", "1.2.3.4-5"},
      {"Vexalon2/NCSI/NCSISupport", "Supported"},
      {"Vexalon2/NCSI/NCSIVXHandShake", "Success"},
      {"Vexalon2/NCSI/NCSIStaticConfiguration0/PortSwap", "Yes"},
      {"Vexalon2/NCSI/NCSIStaticConfiguration0/Port1MAC", "00:1f:4e:20:30:11"},
      {"Vexalon2/NCSI/NCSIStaticConfiguration0/MgmtVLANId", "100"},
      {kDynamic + "EnableWOLPort1", "No"},   // its byte is 6: the property keeps its text
      {kDynamic + "MgmtVLANId", "200"},
      {"Vexalon1/NCSI/NCSISupport", "Not Supported"},
      {"Vexalon1/NCSI/NCSIVXHandShake", "N/A"},
      {"Vexalon1/NCSI/NCSIVersion", "N/A"},
      {"Vexalon3/NCSI/NCSISupport", "Not Supported"},
  });
  EXPECT_EQ(cached_at("Vexalon3/FFVName"), "N/A");
  EXPECT_EQ(tag_at("Vexalon1/NCSI/NCSIStaticConfiguration0"), kMissing);
  sim_.reply_with(21, 11, {0, 0, 2});
  EXPECT_EQ(value_at("Vexalon0/ControllerStatus"), "N/A");

  // Generation 3 refreshes its versions only when the flash version is read; generation 4 always.
  sim_.journal_clear();
  value_at("Vexalon1/BIOSVersion");
  value_at("Vexalon1/BIOSVersion");
  EXPECT_EQ(sent(32, 1), 0u);
  EXPECT_EQ(value_at("Vexalon1/FirmwareVersionOnFlash"), "4.2.324.0");
  EXPECT_EQ(value_at("Vexalon3/BIOSVersion"), "");
  EXPECT_EQ(value_at("Vexalon3/FirmwareStatus"), "Working");
  EXPECT_EQ(sent(32, 1), 3u);

  // FRU VPD: one read of the first segment fills all eleven.
  EXPECT_EQ(value_at("Vexalon0/FRUVPD/FRUVPDData3"), "");
  ASSERT_EQ(value_at("Vexalon0/FRUVPD/FRUVPDData0").substr(0, 8), "00010203");
  const std::string eighth = value_at("Vexalon0/FRUVPD/FRUVPDData8");
  const std::string tenth = value_at("Vexalon0/FRUVPD/FRUVPDData10");
  EXPECT_EQ(value_at("Vexalon0/FRUVPD/FRUVPDData3").substr(0, 4), "7d7e") << "bytes 381..507";
  EXPECT_EQ(eighth, "f8f9fafbfcfdfeff");
  EXPECT_EQ(tenth.size(), 255u);
  EXPECT_EQ(tenth.substr(0, 4), "7f80");

  // FFV: set zero-padded on generation 5; refused on 2 and 3, "N/A" where the adapter has none.
  ASSERT_EQ(set_at("Vexalon0/FFVName", "FFV-B"), 0u);
  std::vector<uint8_t> want(36, 0);
  want[0] = 1;
  want[1] = 32;
  std::copy_n("FFV-B", 5, want.begin() + 4);
  EXPECT_EQ(last(2, 19), want);
  EXPECT_EQ(value_at("Vexalon0/FFVName"), "FFV-B");
  EXPECT_STATUS(set_at("Vexalon1/FFVName", "FFV-C"), 298, vx::msg::kFfvNotSupported);
  EXPECT_EQ(set_at("Vexalon3/FFVName", "FFV-C"), 1u);
}

TEST_F(Live, NcsiDynamicSettingsWriteOneFieldOfTheRecord) {
  ASSERT_EQ(value_at(kDynamic + "Port0MAC"), "00:1f:4e:20:30:20");
  ASSERT_EQ(set_at(kDynamic + "EnableWOLPort1", "yes"), 0u);
  std::vector<uint8_t> request = last(87, 1);
  ASSERT_EQ(request.size(), 32u);
  EXPECT_EQ(request[4 + 14], 0x07) << "bit 0 set in the WOL byte 0x06";
  EXPECT_EQ(cached_at(kDynamic + "EnableWOLPort1"), "yes");
  ASSERT_EQ(set_at(kDynamic + "Port0MAC", "00-11-22-33-44-55"), 0u);
  request = last(87, 1);
  EXPECT_EQ(std::vector<uint8_t>(request.begin() + 5, request.begin() + 11),
            (std::vector<uint8_t>{0, 0x11, 0x22, 0x33, 0x44, 0x55}));
  EXPECT_EQ(value_at(kDynamic + "Port0MAC"), "00:11:22:33:44:55");
  EXPECT_EQ(set_at(kDynamic + "MgmtVLANId", "300"), 0u);
  EXPECT_EQ(value_at(kDynamic + "MgmtVLANId"), "300");
  sim_.journal_clear();
  EXPECT_STATUS(set_at(kDynamic + "Port1MAC", "00:11:22:33:44"), 8, "Number of characters should be from 17 to 17.");
  EXPECT_STATUS(set_at(kDynamic + "Port1MAC", "00:11:22:33:44:zz"), 17, vx::msg::kInvalidValueUseValid);
  sim_.reply_with(86, 1, {1, 2});
  EXPECT_EQ(value_at("Vexalon2/NCSI/NCSIVXHandShake"), "Success") << "handshake 2 leaves the text";
  sim_.reply_with(86, 1, {0});
  EXPECT_EQ(value_at("Vexalon2/NCSI/NCSISupport"), "Not Supported");
  EXPECT_STATUS(set_at(kDynamic + "EnableWOLPort0", "Yes"), 145, vx::msg::kNcsiDisabled);
  EXPECT_EQ(sent(87, 1), 0u);
}

TEST_F(Live, PortValuesAndWrites) {
  expect_values({
      {p0 + "/PortState", "Enabled"},
      {p0 + "/PhysicalLinkStatus", "Up"},
      {p0 + "/BeaconState", "Disabled"},
      {p1 + "/BeaconState", "Enabled"},
      {p0 + "/ConfiguredSpeed", "10Gb/1Gb"},
      {p1 + "/Mode", "Force"},
      {p1 + "/ConfiguredSpeed", "10Mb"},
      {p1 + "/DACCableLength", "3"},
      {kGen2Port + "/Mode", "N/A"},
      {p1 + "/PHYType", "0x11"},
      {p0 + "/FCoEWWPN", "10:00:00:1f:4e:50:00:00"},
      {p1 + "/BaseT10G/NVPValue", "70"},
      {kGen2Port + "/BaseT10G/NVPValue", "N/A"},
      {p0 + "/TXThrottle", "N/A"},
      {kGen2Port + "/TXThrottle", "N/A"},
      {p0 + "/BaseT10G/PHYLinkDownReason", "0"},
      {kGen2Port + "/BaseT10G/PHYLinkDownReason", "N/A"},
  });
  sim_.reply_with(134, 1, {9, 0, 0, 0});
  EXPECT_EQ(value_at(p0 + "/ConfiguredSpeed"), "10Mb");
  EXPECT_EQ(cached_at(p0 + "/Mode"), "Auto-Negotiate");
  sim_.reply_with(134, 1, {17, 0, 0, 0});
  EXPECT_EQ(value_at(p0 + "/Mode"), "Auto-Negotiate");
  EXPECT_EQ(cached_at(p0 + "/ConfiguredSpeed"), "10Mb") << "code 17 names no speed";

  sim_.journal_clear();
  EXPECT_EQ(set_at(p0 + "/PortState", "enabled"), 0u);
  EXPECT_EQ(sent(62, 1), 0u) << "already so";
  EXPECT_EQ(set_at(p0 + "/PortState", "Disabled"), 0u);
  EXPECT_EQ(value_at(p0 + "/PortState"), "Disabled");

  // The throttle is set only on generation 2 running FCoE, as the personality says in any case.
  EXPECT_STATUS(set_at(kGen3Port + "/TXThrottle", "1"), 210, vx::msg::kTxThrottleNotSupported);
  EXPECT_STATUS(set_at(kGen2Port + "/TXThrottle", "1"), 210, vx::msg::kTxThrottleNotSupported);
  vx::set_prop_val(vx::get_node(static_cast<int32_t>(tag_at("Vexalon2/Personality"))), "CurrentPersonality", "%s",
                   "FCoE");
  EXPECT_EQ(value_at(kGen2Port + "/TXThrottle"), "2");
  EXPECT_STATUS(set_at(kGen2Port + "/TXThrottle", "3"), 6, vx::msg::kTxThrottleValues);
  EXPECT_EQ(set_at(kGen2Port + "/TXThrottle", "1"), 0u);
  EXPECT_EQ(value_at(kGen2Port + "/TXThrottle"), "1");

  EXPECT_STATUS(set_at(p1 + "/BaseT10G/NVPValue", "0x50"), 6, "NVPValue: Invalid Value.");
  EXPECT_EQ(sent(10, 18), 0u);
  EXPECT_EQ(set_at(p1 + "/BaseT10G/NVPValue", "80"), 0u);
  EXPECT_EQ(last(10, 18), (std::vector<uint8_t>{1, 0, 0, 0, 80, 0, 0, 0}));
  EXPECT_EQ(value_at(p1 + "/BaseT10G/NVPValue"), "80");
}

TEST_F(Live, TenGigabitCountersAreReadAtMostEveryTenSeconds) {
  FakeClock clock;
  EXPECT_EQ(value_at(p1 + "/BaseT10G/Temperature"), "2");
  EXPECT_EQ(value_at(p1 + "/BaseT10G/PHYFrameCounter"), "94489280532") << "word 21 : word 19";
  EXPECT_EQ(sent(8, 18), 1u);
  clock.advance_ms(9999);
  EXPECT_EQ(value_at(p1 + "/BaseT10G/PairASNR"), "0x3");
  EXPECT_EQ(sent(8, 18), 1u);
  clock.advance_ms(1);
  value_at(p1 + "/BaseT10G/PairASNR");
  EXPECT_EQ(sent(8, 18), 2u);
  EXPECT_EQ(value_at(p0 + "/BaseT10G/LDPCFrameLow"), "14") << "another port, its own time";
  EXPECT_EQ(value_at(kGen3Port + "/BaseT10G/PHYFrameCounter"), "20") << "the first form";
  EXPECT_EQ(value_at(kGen2Port + "/BaseT10G/Temperature"), "N/A");
  EXPECT_EQ(sent(8, 18), 4u);
}

TEST_F(Live, FlowControlInBothCommandForms) {
  hm_node* port = vx::get_node(static_cast<int32_t>(tag_at(p0)));
  expect_values({{p0 + "/TxFlowControl", "Enabled"},
                 {p0 + "/RxFlowControl", "Disabled"},
                 {kGen3Port + "/RxFlowControl", "Enabled"},
                 {kGen4Port + "/TxFlowControl", "N/A"},
                 {kGen2Port + "/RxFlowControl", "N/A"}});
  EXPECT_EQ(sent(37, 1), 1u);
  ASSERT_EQ(set_at(p0 + "/RxFlowControl", "Enabled"), 0u);
  EXPECT_EQ(last(205, 1), (std::vector<uint8_t>{0x11, 8, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(value_at(p0 + "/RxFlowControl"), "Enabled");
  ASSERT_EQ(set_at(p1 + "/TxFlowControl", "Enabled"), 0u);
  EXPECT_EQ(last(205, 1), (std::vector<uint8_t>{0x11, 8, 0, 1, 0, 0, 0, 0}));
  ASSERT_EQ(vx::public_call("test", [&] { return vx::VARU_reset_flow_control_properties(port, "npar"); }), 0u);
  EXPECT_EQ(last(205, 1)[1], 11);
  const size_t management = sent(205, 1);
  EXPECT_EQ(set_at(kGen4Port + "/TxFlowControl", "Enabled"), 0u);
  EXPECT_STATUS(set_at(kGen3Port + "/TxFlowControl", "Disabled"), 291, vx::msg::kNotSupportedOnAdapter);
  EXPECT_EQ(sent(205, 1), management);
}

// Every writable property of these groups refuses what it cannot take, and neither the tree's
// values nor the adapter's settings change.
TEST_F(Live, BadValuesChangeNothing) {
  const std::string dcbx = p0 + "/DCBX/";
  const std::string tlvs = dcbx + "ApplicationTLVGroups/AdministratorTLVSetting";
  const std::string pg0 = dcbx + "PriorityGroups/AdministratorPGSetting/PG0/ConfigurePGSettings";
  struct Row {
    std::string path;
    std::vector<const char*> values;   // one value: a property; more: an action's slots
    uint32_t code;
  };
  const std::string too_long(101, '7');
  const Row rows[] = {
      {p0 + "/PortState", {"Up"}, 6},
      {p0 + "/TXThrottle", {"123"}, 8},
      {p0 + "/RxFlowControl", {"maybe"}, 6},
      {p1 + "/BaseT10G/NVPValue", {"1e3"}, 6},
      {p1 + "/BaseT10G/NVPValue", {too_long.c_str()}, 8},
      {"Vexalon0/FFVName", {"abc"}, 8},
      {kDynamic + "MgmtVLANId", {"5000"}, 7},
      {dcbx + "DCBXPortVars/DCBXState", {"On"}, 6},
      {dcbx + "DCBXPortVars/DCBXMode", {"IEEE"}, 6},
      {dcbx + "PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip", {"zz"}, 6},
      {dcbx + "PriorityGroups/AdministratorPGSetting/Willing", {"Maybe"}, 6},
      {dcbx + "QCN/AdministratorQCNSetting/CNPVBitMap", {"0x1"}, 10},
      {tlvs + "/ApplicationTLV0/PriorityBitMap", {"-3"}, 6},
      {tlvs + "/ApplicationTLV0/PriorityBitMap", {"0x1FF"}, 8},
      {p0 + "/LLDP/LocalConfiguration/TxState", {"on"}, 6},
      {tlvs + "/AddApplicationTLV", {"2", "860", "1", ""}, 7},
      {tlvs + "/AddApplicationTLV", {"1", "860", "0x1FF", ""}, 8},
      {tlvs + "/DeleteApplicationTLV", {"15"}, 7},
      {pg0, {"0x1z", "10"}, 6},
      {pg0, {"0x01", "256"}, 7},
  };
  const std::string before = tree_text(tag_at("Vexalon0")) + tree_text(tag_at("Vexalon2"));
  for (const Row& r : rows) {
    const bool action = r.values.size() > 1 || r.path.find("DeleteApplicationTLV") != std::string::npos;
    const char* v = r.values[0];
    const uint32_t rc = !action ? set_at(r.path, v)
                                : act_at(r.path, {v, r.values.size() > 1 ? r.values[1] : nullptr,
                                                  r.values.size() > 2 ? r.values[2] : nullptr,
                                                  r.values.size() > 3 && r.values[3][0] != '\0' ? r.values[3] : nullptr});
    EXPECT_EQ(rc, 1u) << r.path << " " << v;
    EXPECT_EQ(last_status().code, r.code) << r.path << " " << v;
  }
  EXPECT_EQ(tree_text(tag_at("Vexalon0")) + tree_text(tag_at("Vexalon2")), before);
  for (const auto& [op, sub] : {std::pair<int, int>{2, 16}, {5, 16}, {2, 15}, {62, 1}, {132, 1}, {10, 18},
                                {205, 1}, {87, 1}, {2, 19}}) {
    EXPECT_EQ(sent(static_cast<uint8_t>(op), static_cast<uint8_t>(sub)), 0u) << op << "/" << sub;
  }
}

// Each reader makes all its reads; a read that waited out its second for the lock while another
// reader held it is made again (until_not_busy) and is no mismatch.
TEST_F(Live, ReadersOnSeveralThreadsSeeOneAdapter) {
  const std::vector<std::string> paths = {
      p0 + "/PortState", p1 + "/BeaconState", p0 + "/DCBX/PFC/PeerPFCSetting/PriorityBitMap",
      p1 + "/LLDP/LocalConfiguration/TxState", "Vexalon0/VexalonOnDieTemperature", "Vexalon0/FirmwareVersionOnFlash",
      p0 + "/DCBX/PriorityGroups/AdministratorPGSetting/PG2/Bandwidth", p1 + "/RxFlowControl"};
  struct Read {
    uint32_t group;
    uint32_t property;
    std::string want;
  };
  std::vector<Read> reads;
  for (const std::string& p : paths) {
    reads.push_back({tag_at(p.substr(0, p.rfind('/'))), tag_at(p, VARU_KIND_PROPERTY), value_at(p)});
  }
  std::vector<std::thread> threads;
  std::vector<int> mismatches(6, 0);
  for (size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        const Read& r = reads[(t + static_cast<size_t>(round)) % reads.size()];
        char value[VARU_VALUE_SIZE] = "";
        const uint32_t rc =
            until_not_busy([&] { return VARU_get_property_val(r.group, r.property, value, sizeof value); });
        if (rc != 0 || value != r.want) ++mismatches[t];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches, std::vector<int>(mismatches.size(), 0));
}

class LiveVf : public StartupTest {};

// The refresh time is kept per adapter and port: port 2 of one adapter is not port 0 of the next.
TEST_F(LiveVf, EveryAdapterPortHasItsOwnRefreshTime) {
  use_config_text(R"({"adapters": [
      {"serial_number": "A3", "generation": 3, "ports": 4, "pci": {"bus": 3}, "nic_functions": [{"function": 0, "port": 2}]},
      {"serial_number": "B3", "generation": 3, "ports": 4, "pci": {"bus": 4}, "nic_functions": [{"function": 0, "port": 0}]}]})");
  ASSERT_EQ(start(), 0u);
  FakeClock clock;
  sim_.journal_clear();
  EXPECT_EQ(value_at("Vexalon0/PortDiscoveryAndConfiguration0/BaseT10G/Temperature"), "2");
  EXPECT_EQ(value_at("Vexalon1/PortDiscoveryAndConfiguration0/BaseT10G/Temperature"), "2");
  EXPECT_EQ(sim_.payloads_of(8, 18).size(), 2u);
}

// Seen from an SR-IOV virtual function these values read "N/A" and the writes are refused.
TEST_F(LiveVf, ReadsNotAvailableAndRefusesWrites) {
  use_config_text(R"({"adapters": [{"serial_number": "VF5", "generation": 5, "virtual_function": true,
                      "ffv_name": "FFV-V", "nic_functions": [{"function": 0, "port": 0}]}]})");
  ASSERT_EQ(start(), 0u);
  const std::string port = "Vexalon0/PortDiscoveryAndConfiguration0";
  for (const std::string& path :
       {port + "/BeaconState", port + "/PortState", port + "/Mode", port + "/TXThrottle", port + "/BaseT10G/NVPValue",
        port + "/BaseT10G/PHYLinkDownReason", port + "/DCBX/DCBXPortVars/DCBXMode",
        port + "/DCBX/PFC/AdministratorPFCSetting/Enabled", port + "/LLDP/LocalConfiguration/ChassisId",
        port + "/LLDP/LLDPStatistics/RxPacketCount", std::string("Vexalon0/FFVName"),
        std::string("Vexalon0/ProfileManagement/RebootRequired"), std::string("Vexalon0/FRUVPD/FRUVPDData0")}) {
    char buf[VARU_VALUE_SIZE] = "";
    const uint32_t rc = VARU_get_property_val(tag_at(path.substr(0, path.rfind('/'))),
                                              tag_at(path, VARU_KIND_PROPERTY), buf, sizeof buf);
    EXPECT_EQ(std::to_string(rc) + buf + std::to_string(last_status().code), "1N/A256") << path;
  }
  for (const auto& [path, value] : std::vector<std::pair<std::string, const char*>>{
           {port + "/PortState", "Disabled"}, {port + "/TXThrottle", "1"}, {port + "/TxFlowControl", "Disabled"},
           {"Vexalon0/FFVName", "FFV-W"}}) {
    EXPECT_STATUS(set_at(path, value), 256, vx::msg::kNotOnVirtualFunction);
  }
  EXPECT_STATUS(VARU_get_property_val(tag_at("Vexalon0"), tag_at("Vexalon0/ControllerStatus", VARU_KIND_PROPERTY),
                                      std::array<char, 256>{}.data(), 256),
                256, vx::msg::kNotOnVirtualFunction);
  EXPECT_TRUE(sim_.payloads_of(2, 19).empty());
}

}  // namespace
}  // namespace vxtest
