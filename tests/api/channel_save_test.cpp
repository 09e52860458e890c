// Channel settings and the profile save through the public calls: what each channel write sends
// (from the journal's payloads), the refusals that send nothing, and SaveProfile turning the pending
// choices into one full write, the rebuilt configured profile and the channels' settings restored.
#include <cstring>
#include <string>
#include <vector>

#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "tests/api/nic_test_support.h"

namespace vxtest {
namespace {

using namespace nic;
constexpr const char* kPort0 = "Vexalon1/PortDiscoveryAndConfiguration0/ChannelManagement/";
constexpr const char* kCProf = "Vexalon0/ProfileManagement/ConfiguredProfile";
constexpr const char* kPending = "/scratch/Talvix/config_prof.txt";

class Channels : public StartupTest {
 protected:
  void start_with(const char* example) {
    vx::vm_flag = 0;
    use_example(example);
    ASSERT_EQ(start(), 0u);
    sim_.journal_clear();
  }
  // The descriptor of the last single-descriptor write (empty when none went out).
  Bytes written() const {
    const std::vector<Bytes> p = sim_.payloads_of(165, 1);
    return p.empty() || p.back().size() != 184 ? Bytes{} : Bytes(p.back().begin() + 8, p.back().end());
  }
  size_t writes() const { return sim_.payloads_of(165, 1).size(); }
};

TEST_F(Channels, GenerationThreeChannelsReadAndWriteTheirDescriptors) {
  start_with("nic-lab.json");
  const std::pair<std::string, std::string> rows[] = {
      {"Channel0/LPVID", "5"}, {"Channel0/MinBandWidth", "25"}, {"Channel0/LogicalLinkState", "Enabled"},
      {"Channel0/OuterVLANID", "N/A"}, {"Channel0/vNICName", "N/A"}, {"Channel1/LogicalLinkState", "Disabled"},
      {"Channel2/LPVID", "N/A"}, {"Channel2/MaxBandWidth", "100"},
  };
  for (const auto& [path, want] : rows) EXPECT_EQ(value_at(kPort0 + path), want) << path;
  EXPECT_STATUS(set_at(std::string(kPort0) + "Channel0/LPVID", "1"), 308, vx::msg::kLpvidRange);
  EXPECT_STATUS(set_at(std::string(kPort0) + "Channel2/LPVID", "7"), 286, vx::msg::kLpvidStorage);
  EXPECT_STATUS(act_at(std::string(kPort0) + "Channel0", "ConfigureQoS", {"60", "40"}), 287, vx::msg::kQosMinAboveMax);
  EXPECT_EQ(writes(), 0u);

  // An LPVID keeps the link-disabled flag the channel shows; the other fields go as "unchanged".
  ASSERT_EQ(set_at(std::string(kPort0) + "Channel1/LPVID", "9"), 0u);
  Bytes d = written();
  ASSERT_EQ(d.size(), 176u);
  EXPECT_EQ((Bytes{d[0], d[1], d[2], d[3], d[45], d[44]}), (Bytes{81, 88, 0x80, 0x44, 0x02, 0}));
  EXPECT_EQ((std::vector<uint32_t>{u16(d, 6), u16(d, 36), u16(d, 8), u16(d, 62), u32(d, 48), u32(d, 52)}),
            (std::vector<uint32_t>{4, 9, 0xFFFF, 0xFFFF, 0xFFFFFFFFu, 0xFFFFFFFFu}));
  EXPECT_EQ(value_at(std::string(kPort0) + "Channel1/LPVID"), "9");
  EXPECT_EQ(value_at(std::string(kPort0) + "Channel1/LogicalLinkState"), "Disabled");
  ASSERT_EQ(set_at(std::string(kPort0) + "Channel0/LogicalLinkState", "Disabled"), 0u);
  d = written();
  EXPECT_EQ((std::vector<uint32_t>{d[45], u16(d, 36)}), (std::vector<uint32_t>{0x02, 5}));
  EXPECT_EQ(value_at(std::string(kPort0) + "Channel0/LogicalLinkState"), "Disabled");
  ASSERT_EQ(act_at(std::string(kPort0) + "Channel2", "ConfigureQoS", {"30", "40"}), 0u);
  d = written();
  EXPECT_EQ((std::vector<uint32_t>{d[0], d[2], u32(d, 36), u32(d, 40)}), (std::vector<uint32_t>{82, 0, 30, 40}));
  EXPECT_EQ(value_at(std::string(kPort0) + "Channel2/MinBandWidth"), "30");

  // The configured mode decides what may change.
  ASSERT_EQ(act_at("Vexalon1/ChannelManagement", "ConfigureChannelManagement", {"Enabled", "vNIC1"}), 0u);
  EXPECT_EQ(act_at(std::string(kPort0) + "Channel0", "ConfigureQoS", {"10", "20"}), 285u);
  EXPECT_EQ(last_status().text, vx::msg::kLinkDisabledQos);
  EXPECT_EQ(value_at(std::string(kPort0) + "Channel0/OuterVLANID"), "0");
  ASSERT_EQ(act_at("Vexalon1/ChannelManagement", "ConfigureChannelManagement", {"Disabled", nullptr}), 0u);
  // The link state follows the mode running now (NPAR: in force), not the one configured for the
  // next start; LPVID tests the configured one.
  ASSERT_EQ(set_at(std::string(kPort0) + "Channel1/LogicalLinkState", "Enabled"), 0u);
  d = written();
  EXPECT_EQ((Bytes{d[2], d[3], d[45]}), (Bytes{0x80, 0x44, 0}));
  EXPECT_EQ(value_at(std::string(kPort0) + "Channel1/LogicalLinkState"), "Enabled");
  const size_t before = writes();
  EXPECT_STATUS(set_at(std::string(kPort0) + "Channel0/LPVID", "9"), 323, vx::msg::kChannelParameterRefused);
  EXPECT_STATUS(
      set_at("Vexalon0/PortDiscoveryAndConfiguration0/ChannelManagement/Channel0/LogicalLinkState", "Enabled"), 323,
      vx::msg::kChannelParameterRefused);
  EXPECT_STATUS(act_at(std::string(kPort0) + "Channel0", "ConfigureQoS", {"10", "20"}), 323,
                vx::msg::kChannelParameterRefused);
  EXPECT_EQ(writes(), before);
}

TEST_F(Channels, TheModeBitOfALinkWriteIsSetOnlyWhileAModeRuns) {
  start_with("nic-lab.json");
  // Function 0's descriptor comes with byte 3 bits 1, 6 and 7 set; the port runs NPAR, or no mode.
  const std::pair<uint8_t, uint8_t> rows[] = {{5, 0x44}, {1, 0x04}};
  for (const auto& [mode, want] : rows) {
    sim_.reply_with(164, 1, profile_reply({{85, {{5, mode}}}, {80, {{13, 1}}}, {81, {{3, 0xC2}}}}), -1);
    EXPECT_EQ(set_at(std::string(kPort0) + "Channel0/LogicalLinkState", "Disabled"), 0u) << int{mode};
    EXPECT_EQ(written().at(3), want) << int{mode};
    sim_.clear_faults();
  }
}

TEST_F(Channels, SaveProfileSendsThePendingChoicesAndRebuildsWhatTheyChanged) {
  start_with("nic-lab.json");
  ASSERT_EQ(set_at(std::string(kCProf) + "/Port1/Function0/SRIOVState", "Enabled"), 0u);
  ASSERT_EQ(set_at(std::string(kCProf) + "/Port1/Function1/Protocol", "None"), 0u);
  const uint32_t rc = act_at("Vexalon0/ProfileManagement", "SaveProfile", {});
  EXPECT_EQ(rc, 0u);
  EXPECT_EQ(last_status().code, 304u);
  EXPECT_EQ(last_status().text, vx::msg::kRebootForChange);
  const std::vector<Bytes> sent = sim_.payloads_of(165, 1);
  ASSERT_EQ(sent.size(), 1u);
  const Bytes& r = sent[0];
  ASSERT_EQ(r.size(), 88u * 4 + 76);
  EXPECT_EQ((std::vector<uint32_t>{r[0], r[3], u32(r, 4)}), (std::vector<uint32_t>{1, 0x80, 5}));
  // PF 0 (NIC+RoCE), 1 (SR-IOV on), 2 (iSCSI), 3 (switched off): state, protocol, SR-IOV, VFs.
  const std::vector<uint32_t> want[] = {{0, 1, 8, 0, 0}, {1, 1, 1, 1, 255}, {2, 1, 2, 0, 0}, {3, 0, 1, 0, 0}};
  for (size_t k = 0; k < 4; ++k) {
    const size_t at = 8 + 88 * k;
    EXPECT_EQ((std::vector<uint32_t>{u16(r, at + 6), r[at + 13], r[at + 14], r[at + 12], u16(r, at + 16)}), want[k])
        << k;
  }
  EXPECT_EQ((Bytes{r[8 + 88 * 4], r[8 + 88 * 4 + 1], r[8 + 88 * 4 + 52], r[8 + 88 * 4 + 53]}), (Bytes{86, 68, 1, 1}));
  // Each port's flow control goes again with its mode (8: not NPAR).
  std::vector<Bytes> flow;
  for (const Bytes& p : sim_.payloads_of(205, 1)) {
    if (p[1] != 0) flow.push_back(p);   // the reads carry no mode
  }
  ASSERT_EQ(flow.size(), 2u);
  EXPECT_EQ((Bytes{flow[0][1], flow[0][3], flow[1][1], flow[1][3]}), (Bytes{8, 0, 8, 1}));
  EXPECT_EQ(value_at(std::string(kCProf) + "/Port1/Function1/State"), "Disabled");
  EXPECT_EQ(value_at(std::string(kCProf) + "/Port1/Function0/SRIOVState"), "Enabled");
  EXPECT_NE(root_.read(kPending).find("BL5202L0001,0x5,1,None,0x1,NIC,Enabled\n"), std::string::npos);

  // No reset needed: success without a status.
  sim_.reply_with(84, 1, Bytes{0, 0, 0, 0});
  EXPECT_EQ(act_at("Vexalon0/ProfileManagement", "SaveProfile", {}), 0u);
  EXPECT_EQ(last_status().code, 0u);
  // A refused save leaves the configured profile as the adapter has it: the pending edit is gone.
  ASSERT_EQ(set_at(std::string(kCProf) + "/Port0/Function1/Protocol", "None"), 0u);
  sim_.inject_status(165, 1, 1, 0xFF, 1);
  EXPECT_STATUS(act_at("Vexalon0/ProfileManagement", "SaveProfile", {}), 305, vx::msg::kSaveRefused);
  EXPECT_EQ(value_at(std::string(kCProf) + "/Port0/Function1/Protocol"), "iSCSI");
  // A profile id one byte cannot carry is refused before anything is sent.
  std::string lines = root_.read(kPending);
  for (size_t at = lines.find(",1,None,"); at != std::string::npos; at = lines.find(",1,None,", at)) {
    lines.replace(at, 3, ",300,");
  }
  root_.write(kPending, lines);
  sim_.journal_clear();
  EXPECT_STATUS(act_at("Vexalon0/ProfileManagement", "SaveProfile", {}), 6, vx::msg::kProfileIdRange);
  EXPECT_TRUE(sim_.commands().empty());
  EXPECT_STATUS(act_at("Vexalon1/ProfileManagement", "SaveProfile", {}), 303, vx::msg::kSaveNotSupported);
}

TEST_F(Channels, AProfileShortOfItsDescriptorsOrOfAPendingFunctionIsNotSaved) {
  start_with("nic-lab.json");
  // PF 0 alone: the pending functions 0x1, 0x2 and 0x3 have no descriptor to be written from.
  Bytes pf0_only(4 + 88, 0);
  pf0_only[0] = 1, pf0_only[4] = 80, pf0_only[5] = 88;
  const struct { Bytes reply; uint32_t code; const char* text; } rows[] = {
      {Bytes{0xFF, 0xFF, 0, 0}, 278, vx::msg::kGetProfileConfigFailed},   // 65535 descriptors in 4 bytes
      {Bytes{3, 0, 0, 0, 80, 0}, 278, vx::msg::kGetProfileConfigFailed},  // a descriptor of length 0
      {pf0_only, 305, vx::msg::kSaveRefused},
  };
  for (const auto& r : rows) {
    sim_.journal_clear();
    sim_.reply_with(164, 1, r.reply);
    EXPECT_STATUS(act_at("Vexalon0/ProfileManagement", "SaveProfile", {}), r.code, r.text);
    EXPECT_EQ(writes(), 0u) << r.code;
  }
  EXPECT_NE(root_.read(kPending).find("BL5202L0001,0x5,1,None,0x3,FCoE,N/A\n"), std::string::npos) << "lines kept";
  // A rebuild on such an answer fails as a failed read; it builds no empty profile.
  sim_.reply_with(164, 1, Bytes{0xFF, 0xFF, 0, 0});
  EXPECT_STATUS(act_at("Vexalon0/ProfileManagement", "SetProfileId", {"1"}), 278, vx::msg::kGetProfileConfigFailed);
}

TEST_F(Channels, SaveProfileRestoresTheChannelsOfAMultichannelPort) {
  use_config_text(R"({"adapters": [{"serial_number": "BL5202S0009", "generation": 5, "pci": {"bus": 9}, "ports": 1,
    "mc_capabilities": ["NPAR"], "nic_functions": [{"function": 0, "port": 0}],
    "profiles": {"list": [{"id": 2, "description": "NPAR"}], "active": 2, "next": 2, "factory": 2,
      "configurations": {"2": {"protocols": ["NIC", "iSCSI"],
        "ports": [{"link": 0, "mc_type": "NPAR", "max_pf": 4, "counts": {"nic": 2, "iscsi": 1}}],
        "functions": [{"pf": 0, "min_bw": 10, "max_bw": 50, "lpvid": 7}, {"pf": 2, "min_bw": 20, "max_bw": 60},
                      {"pf": 4, "min_bw": 30, "max_bw": 70, "link_disabled": true}]}}}}]})");
  ASSERT_EQ(start(), 0u);
  const std::string channels = "Vexalon0/PortDiscoveryAndConfiguration0/ChannelManagement/";
  EXPECT_EQ(value_at(channels + "Channel0/LPVID"), "7");
  // The function that changes protocol starts its channel settings anew in the adapter; the save
  // puts back what the channels had.
  ASSERT_EQ(set_at("Vexalon0/ProfileManagement/ConfiguredProfile/Port0/Function1/Protocol", "iSCSI"), 0u);
  ASSERT_EQ(act_at("Vexalon0/ProfileManagement", "SaveProfile", {}), 0u);
  const std::pair<std::string, std::string> rows[] = {
      {"Channel0/MinBandWidth", "10"}, {"Channel0/LPVID", "7"}, {"Channel1/Type", "iSCSI"},
      {"Channel1/MinBandWidth", "20"}, {"Channel1/MaxBandWidth", "60"}, {"Channel2/LogicalLinkState", "Disabled"},
  };
  for (const auto& [path, want] : rows) EXPECT_EQ(value_at(channels + path), want) << path;
  // An SR-IOV change rewrites the profile with each port in the mode it is configured in.
  ASSERT_EQ(set_at("Vexalon0/NICPhysicalHBA0/SRIOVState", "Enabled"), 0u);
  const Bytes full = sim_.payloads_of(165, 1).back();
  ASSERT_EQ(full.size(), 8u + 88 * 3 + 68);
  EXPECT_EQ(full[8 + 88 * 3 + 52], 5) << "NPAR";
  EXPECT_EQ(value_at("Vexalon0/ProfileManagement/ConfiguredProfile/Port0/MCType"), "NPAR");
}

TEST_F(Channels, SaveProfileRestoresEveryChannelOfAVnicPortOnGeneration6) {
  use_config_text(R"({"adapters": [{"serial_number": "BL6S0001", "generation": 6, "pci": {"bus": 9}, "ports": 1,
    "mc_capabilities": ["vNIC1"], "nic_functions": [{"function": 0, "port": 0}],
    "profiles": {"list": [{"id": 2, "description": "vNIC1"}], "active": 2, "next": 2, "factory": 2,
      "configurations": {"2": {"protocols": ["NIC"],
        "ports": [{"link": 0, "mc_type": "vNIC1", "max_pf": 4, "counts": {"nic": 2}}],
        "functions": [{"pf": 0, "min_bw": 10, "max_bw": 50, "lpvid": 7},
                      {"pf": 2, "min_bw": 20, "max_bw": 60, "link_disabled": true}]}}}}]})");
  ASSERT_EQ(start(), 0u);
  // This generation's channels come with a mode change.
  ASSERT_EQ(act_at("Vexalon0/ChannelManagement", "ConfigureChannelManagement", {"Enabled", "vNIC1"}), 0u);
  // Per channel: its bandwidths (this generation's ConfigureQoS tests no mode), then LPVID and link
  // state: function, link edit, link-disabled flag, LPVID, minimum, maximum.
  auto channel_writes = [this] {
    std::vector<std::vector<uint32_t>> out;
    for (const Bytes& p : sim_.payloads_of(165, 1)) {
      if (p.size() != 184) continue;
      const Bytes d(p.begin() + 8, p.end());
      out.push_back({u16(d, 6), d[2], d[45], u16(d, 36), u32(d, 48), u32(d, 52)});
    }
    return out;
  };
  constexpr uint32_t kKept = 0xFFFFFFFFu;
  sim_.journal_clear();
  ASSERT_EQ(act_at("Vexalon0/ProfileManagement", "SaveProfile", {}), 0u);
  EXPECT_EQ(channel_writes(), (std::vector<std::vector<uint32_t>>{{0, 0, 0, 7, 10, 50},
                                                                  {0, 0x80, 0, 7, kKept, kKept},
                                                                  {0, 0x80, 0, 7, kKept, kKept},
                                                                  {2, 0, 2, 2, 20, 60},
                                                                  {2, 0x80, 2, 2, kKept, kKept},
                                                                  {2, 0x80, 2, 2, kKept, kKept}}));
  // The port's mode texts are read after the first channel's bandwidths: when they cannot be, the
  // restore ends there.
  sim_.inject_status_after(84, 1, 1, 0xFF, 1, -1);
  sim_.journal_clear();
  ASSERT_EQ(act_at("Vexalon0/ProfileManagement", "SaveProfile", {}), 0u);
  EXPECT_EQ(channel_writes(), (std::vector<std::vector<uint32_t>>{{0, 0, 0, 7, 10, 50}}));
}

TEST_F(Channels, AnSriovChangeSendsAPortWithoutAModeAsNone) {
  use_config_text(R"({"adapters": [{"serial_number": "BL5S0002", "generation": 5, "pci": {"bus": 9}, "ports": 4,
    "nic_functions": [{"function": 0, "port": 0}],
    "profiles": {"list": [{"id": 1}], "configurations": {"1": {"protocols": ["NIC"],
      "ports": [{"mc_type": 0, "max_pf": 1}, {"mc_type": 9, "max_pf": 1}, {"mc_type": 11, "max_pf": 1},
                {"mc_type": "NPAR", "max_pf": 1}],
      "functions": [{"pf": 0}]}}}}]})");
  ASSERT_EQ(start(), 0u);
  sim_.journal_clear();
  ASSERT_EQ(set_at("Vexalon0/NICPhysicalHBA0/SRIOVState", "Enabled"), 0u);
  const std::vector<Bytes> sent = sim_.payloads_of(165, 1);
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].size(), 8u + 88 + 68);
  EXPECT_EQ(Bytes(sent[0].begin() + 8 + 88 + 52, sent[0].begin() + 8 + 88 + 56), (Bytes{1, 1, 1, 5}));
}

}  // namespace
}  // namespace vxtest
