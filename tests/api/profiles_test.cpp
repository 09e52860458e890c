// Profiles, pending profile choices, link configurations, function-number limits, personalities and
// multichannel on examples/nic-lab.json, through the public calls: what each generation shows, the
// requests the actions send (from the journal's payloads), and the statuses of every refusal.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/profiles.h"
#include "engine/api_lock.h"
#include "engine/messages.h"
#include "iscsi/lookups.h"
#include "platform/file_store.h"
#include "schema/handlers.h"
#include "tests/api/iscsi_fixture.h"
#include "tests/api/lab_fixture.h"
#include "tests/api/nic_test_support.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kGen5 = "Vexalon0";
constexpr const char* kGen3 = "Vexalon1";
constexpr const char* kCProf = "Vexalon0/ProfileManagement/ConfiguredProfile";
constexpr const char* kPending = "/scratch/Talvix/config_prof.txt";
constexpr const char* kGen5Lines =
    "BL5202L0001,0x5,1,None,0x0,NIC,Disabled\nBL5202L0001,0x5,1,None,0x0,NIC+RoCE,Disabled\n"
    "BL5202L0001,0x5,1,None,0x2,iSCSI,N/A\nBL5202L0001,0x5,1,None,0x1,NIC,Disabled\n"
    "BL5202L0001,0x5,1,None,0x3,FCoE,N/A\n";

uint32_t run_step(uint32_t (*step)(hm_node*), const std::string& controller) {
  hm_node* node = vx::get_node(static_cast<int32_t>(tag_at(controller)));
  return vx::public_call("test", [&]() -> uint32_t { return step(node); });
}

// Runs an action on the group at `path`.
uint32_t act_at(const std::string& path, const char* action, std::initializer_list<const char*> slots) {
  return act(tag_at(path), action, slots);
}

uint32_t set_at(const std::string& path, const std::string& value) {
  const size_t slash = path.rfind('/');
  return set_value(tag_at(path.substr(0, slash)), path.substr(slash + 1).c_str(), value);
}

// A success that leaves a status to tell.
void expect_told(uint32_t rc, uint32_t code, const char* text) {
  EXPECT_EQ(rc, 0u);
  const LastStatus s = last_status();
  EXPECT_EQ(s.code, code);
  EXPECT_EQ(s.text, text);
}

class Profiles : public StartupTest {
 protected:
  void SetUp() override {
    vx::vm_flag = 0;
    use_example("nic-lab.json");
    ASSERT_EQ(start(), 0u);
    sim_.journal_clear();
  }
  // The payloads of one command since the journal was cleared.
  std::vector<Bytes> sent(int opcode) const { return sim_.payloads_of(static_cast<uint8_t>(opcode), 1); }
  Bytes head(int opcode, size_t n) const {
    const std::vector<Bytes> p = sent(opcode);
    return p.empty() ? Bytes{} : Bytes(p.back().begin(), p.back().begin() + static_cast<long>(std::min(n, p.back().size())));
  }
  std::vector<uint32_t> ports(const char* controller) const {
    std::vector<uint32_t> numbers(16);
    uint32_t count = 0;
    VARU_get_valid_instances(static_cast<int32_t>(tag_at(controller)), "PortDiscoveryAndConfiguration", numbers.data(), &count);
    numbers.resize(count);
    return numbers;
  }
};

TEST_F(Profiles, EachGenerationShowsWhatItsAdapterKeeps) {
  const std::pair<std::string, std::string> rows[] = {
      {"Vexalon0/ProfileManagement/Profile0/ProfileDescription", "NIC+RoCE, iSCSI, FCoE x2"},
      {"Vexalon0/ProfileManagement/Profile0/Protocol0/ProtocolName", "NIC+RoCE"},
      {"Vexalon0/ProfileManagement/Profile0/Protocol0/FunctionCount", "2"},
      {"Vexalon0/ProfileManagement/Profile0/Protocol2/ProtocolName", "FCoE"},
      {"Vexalon0/ProfileManagement/Profile2/ProfileId", "3"},
      {"Vexalon0/ProfileManagement/Profile2/Protocol0/FunctionCount", "4"},
      {"Vexalon0/ProfileManagement/ActiveProfile/ProfileId", "1"},
      {"Vexalon0/ProfileManagement/ActiveProfile/Port0/MaxRoCEPFCount", "1"},
      {"Vexalon0/ProfileManagement/ActiveProfile/Port0/Function0/Protocol", "NIC+RoCE"},
      {"Vexalon0/ProfileManagement/ActiveProfile/Port1/Function1/MACAddress", "00-1f-4e-50-10-03"},
      {"Vexalon0/ProfileManagement/ConfiguredProfile/Port1/Function1/Protocol", "FCoE"},
      {"Vexalon0/ProfileManagement/ConfiguredProfile/Port1/Function1/SRIOVState", "N/A"},
      {"Vexalon0/ProfileManagement/ConfiguredProfile/Port1/Function1/AvailableProtocols", "NIC,FCoE"},
      {"Vexalon0/ProfileManagement/ConfiguredProfile/ProfileId", "1"},
      {"Vexalon0/ProfileManagement/ConfiguredProfile/IPLMaxFunctionNumber", "15"},
      {"Vexalon0/ProfileManagement/ConfiguredProfile/SettableMaxFunctionNumber", "Yes"},
      {"Vexalon0/ProfileManagement/MaxFunctionsPerPort", "4"},
      {"Vexalon0/NICPhysicalHBA0/IsRoCEEnabled", "True"},
      {"Vexalon0/NICPhysicalHBA1/IsRoCEEnabled", "False"},
      {"Vexalon0/LinkReconfiguration/ConfiguredLinkConfigID", "1"},
      {"Vexalon0/LinkReconfiguration/LinkConfig1/LinkConfigDescription", "4 x 10 Gbps SFP+"},
      {"Vexalon0/ChannelManagement/SupportedMCTypes", "NPAR"},
      {"Vexalon0/ChannelManagement/CurrentManagementType", "N/A"},
      {"Vexalon1/ChannelManagement/SupportedMCTypes", "ZMC,NPAR,vNIC1"},
      {"Vexalon1/ChannelManagement/CurrentManagementType", "NPAR"},
      {"Vexalon1/LinkReconfiguration/ActiveLinkConfigID", "N/A"},
      {"Vexalon1/ProfileManagement/MaxFunctionsPerPort", "N/A"},
      {"Vexalon1/ProfileManagement/ConfiguredProfile/MaxFunctionNumber", "N/A"},
      {"Vexalon3/NICPhysicalHBA0/IsRoCEEnabled", "N/A"},
  };
  for (const auto& [path, want] : rows) EXPECT_EQ(value_at(path), want) << path;
  EXPECT_EQ(groups_under("Vexalon1/ProfileManagement").size(), 2u) << "no profiles on generation 3";
  EXPECT_EQ(root_.read(kPending), kGen5Lines);
  // Channels at start-up: the configured profile's functions that are on, on their port.
  const std::pair<std::string, std::string> channels[] = {
      {"Vexalon1/PortDiscoveryAndConfiguration0/ChannelManagement/Channel0", "0x0 NIC Enabled 5 25 100"},
      {"Vexalon1/PortDiscoveryAndConfiguration0/ChannelManagement/Channel1", "0x4 NIC Disabled 2 0 100"},
      {"Vexalon1/PortDiscoveryAndConfiguration0/ChannelManagement/Channel2", "0x2 iSCSI Enabled N/A 50 100"},
      {"Vexalon1/PortDiscoveryAndConfiguration1/ChannelManagement/Channel0", "0x6 NIC Enabled 2 0 100"},
      {"Vexalon0/PortDiscoveryAndConfiguration0/ChannelManagement/Channel0", "0x0 NIC+RoCE Enabled 2 0 100"},
      {"Vexalon0/PortDiscoveryAndConfiguration1/ChannelManagement/Channel1", "0x3 FCOE Enabled N/A 0 100"},
  };
  for (const auto& [path, want] : channels) {
    std::string got;
    for (const char* p : {"FunctionNumber", "Type", "LogicalLinkState", "LPVID", "MinBandWidth", "MaxBandWidth"}) {
      got += (got.empty() ? "" : " ") + cached_at(path + "/" + p);
    }
    EXPECT_EQ(got, want) << path;
  }
  EXPECT_EQ(groups_under("Vexalon1/PortDiscoveryAndConfiguration1/ChannelManagement").size(), 1u) << "PF 5 is off";
}

TEST_F(Profiles, PendingChoicesAreShownBackAndKeptInTheirLines) {
  const std::string foreign = "BL9999X0001,0x9,4,ZMC,0x0,NIC,Enabled\n";
  root_.write(kPending, foreign + kGen5Lines);
  const std::string f0 = std::string(kCProf) + "/Port0/Function0/";
  ASSERT_EQ(set_at(f0 + "Protocol", "None"), 0u);
  EXPECT_EQ(value_at(f0 + "Protocol"), "NIC") << "function 0 keeps a protocol";
  ASSERT_EQ(set_at(std::string(kCProf) + "/Port1/Function0/SRIOVState", "Enabled"), 0u);
  ASSERT_EQ(set_at(std::string(kCProf) + "/Port1/MCType", "NPAR"), 0u);
  ASSERT_EQ(set_at(std::string(kCProf) + "/ProfileId", "2"), 0u);
  EXPECT_EQ(value_at(std::string(kCProf) + "/Port0/MCType"), "NPAR") << "one multichannel type per adapter";
  EXPECT_EQ(value_at(std::string(kCProf) + "/Port1/Function0/SRIOVState"), "Enabled");
  EXPECT_EQ(root_.read(kPending), foreign +
                                      "BL5202L0001,0x5,2,NPAR,0x0,NIC,Disabled\nBL5202L0001,0x5,2,NPAR,0x0,NIC,Disabled\n"
                                      "BL5202L0001,0x5,2,NPAR,0x2,iSCSI,N/A\nBL5202L0001,0x5,2,NPAR,0x1,NIC,Enabled\n"
                                      "BL5202L0001,0x5,2,NPAR,0x3,FCoE,N/A\n");
  // Refused before the file is touched: a value that would break the lines, a mode not on offer.
  const std::string before = root_.read(kPending);
  const struct { const char* path; const char* value; uint32_t code; const char* text; } refused[] = {
      {"/Port1/Function1/Protocol", "FCoE,x", 6, vx::msg::kInvalidValue},
      {"/Port1/Function1/Protocol", "N\nIC", 6, vx::msg::kInvalidValue},
      {"/Port0/MCType", "HPFlex", 294, vx::msg::kChannelTypeNotSupported},
      {"/Port0/MCType", "ZMC", 294, vx::msg::kChannelTypeNotSupported},
  };
  for (const auto& r : refused) EXPECT_STATUS(set_at(std::string(kCProf) + r.path, r.value), r.code, r.text);
  EXPECT_EQ(root_.read(kPending), before);
  // A rebuild of the configured profile writes the adapter's lines afresh; the other's stay.
  ASSERT_EQ(act_at("Vexalon0/ProfileManagement", "SetProfileId", {"1"}), 0u);
  EXPECT_EQ(root_.read(kPending), foreign + kGen5Lines);
}

TEST_F(Profiles, AChoiceTheFileDoesNotTakeIsRefusedAndNothingChanges) {
  struct FailingSync {
    vx::file_store::SystemCalls saved = vx::file_store::system_calls();
    FailingSync() {
      vx::file_store::system_calls().fsync = [](int) {
        errno = EIO;
        return -1;
      };
    }
    ~FailingSync() { vx::file_store::system_calls() = saved; }
  };
  const char* paths[] = {"/ProfileId", "/Port0/MCType", "/Port1/Function0/SRIOVState", "/Port0/Function1/Protocol"};
  const char* values[] = {"2", "NPAR", "Enabled", "NIC"};
  {
    FailingSync failing;
    for (size_t i = 0; i < 4; ++i) {
      const std::string path = std::string(kCProf) + paths[i];
      const std::string before = value_at(path);
      EXPECT_STATUS(set_at(path, values[i]), 336,
                    "Failed to update config_prof.txt. No changes have been made to the configuration.");
      EXPECT_EQ(value_at(path), before) << path;
    }
  }
  EXPECT_EQ(root_.read(kPending), kGen5Lines);
}

// A second process on the same root: its start-up writes the lines of every adapter anew.
constexpr const char* kSecondClientFlag = "VXIMA_PROFILE_SECOND_CLIENT";

TEST(ProfileSecondClient, StartsAndStops) {
  if (std::getenv(kSecondClientFlag) == nullptr) GTEST_SKIP() << "runs in the child of ChoicesAnotherStartUpWroteOver...";
  ASSERT_EQ(VARU_init(), 0u);
  VARU_exit();
}

TEST_F(Profiles, ChoicesAnotherStartUpWroteOverAreNotSavedAndOthersChoicesAre) {
  const std::string sriov = std::string(kCProf) + "/Port1/Function0/SRIOVState";
  const std::string protocol = std::string(kCProf) + "/Port0/Function1/Protocol";
  auto save = [] { return act_at("Vexalon0/ProfileManagement", "SaveProfile", {}); };
  // A choice of another live client (function 0x3 as NIC) is saved with this one's own.
  ASSERT_EQ(set_at(sriov, "Enabled"), 0u);
  std::string lines = root_.read(kPending);
  lines.replace(lines.find(",0x3,FCoE,"), 10, ",0x3,NIC,");
  root_.write(kPending, lines);
  expect_told(save(), 304, vx::msg::kRebootForChange);
  Bytes request = sent(165).back();
  EXPECT_EQ((Bytes{request[8 + 88 + 12], request[8 + 88 * 3 + 14]}), (Bytes{1, 1})) << "0x1 SR-IOV, 0x3 NIC";
  // This process's own rebuild drops its choices: what it shows afterwards is the adapter's.
  ASSERT_EQ(set_at(protocol, "NIC"), 0u);
  ASSERT_EQ(act_at("Vexalon0/ProfileManagement", "SetProfileId", {"1"}), 0u);
  expect_told(save(), 304, vx::msg::kRebootForChange);

  ASSERT_EQ(set_at(protocol, "NIC"), 0u);
  const std::string chosen = root_.read(kPending);
  EXPECT_EQ(run_child("ProfileSecondClient.StartsAndStops", kSecondClientFlag), 0);
  ASSERT_NE(root_.read(kPending), chosen);
  sim_.journal_clear();
  EXPECT_STATUS(save(), 338,
                "The pending profile choices were changed by another application. Please make the choices again and "
                "save the profile.");
  EXPECT_TRUE(sent(165).empty()) << "nothing sent";
  EXPECT_EQ(value_at(protocol), "iSCSI");
  // Told once: the choices are forgotten, and a save now sends what the lines show.
  expect_told(save(), 304, vx::msg::kRebootForChange);
}

// The lines of a choice are written anew under this process by a rebuild it did not ask for: of its
// own tree, after another adapter's NIC functions changed, or another process's start-up. The save
// tells that the choice is gone and sends nothing; the configured profile stays the adapter's.
TEST_F(Profiles, AChoiceARebuildNobodyAskedForWroteOverIsNotSaved) {
  const std::string id = std::string(kCProf) + "/ProfileId";
  const struct {
    const char* how;
    std::function<void()> write_over;
  } rows[] = {
      {"Vexalon3 loses a NIC function; the next NIC call has the tree rebuilt",
       [&] {
         ASSERT_EQ(sim_.set_nic_functions(3, 0, 1), 0);
         value_at("Vexalon0/NICPhysicalHBA0/PortSpeed");
         EXPECT_EQ(phbas_of("Vexalon3"), (Strings{"NICPhysicalHBA0"})) << "rebuilt";
       }},
      {"another process starts", [] { EXPECT_EQ(run_child("ProfileSecondClient.StartsAndStops", kSecondClientFlag), 0); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.how);
    ASSERT_EQ(set_at(id, "2"), 0u);
    r.write_over();
    sim_.journal_clear();
    EXPECT_STATUS(act_at("Vexalon0/ProfileManagement", "SaveProfile", {}), 338,
                  "The pending profile choices were changed by another application. Please make the choices again "
                  "and save the profile.");
    EXPECT_TRUE(sent(165).empty()) << "nothing sent";
    EXPECT_EQ(value_at(id), "1");
  }
}

TEST_F(Profiles, ProfileAndLinkChoicesChangeTheConfiguredProfileAndThePorts) {
  expect_told(act_at("Vexalon0/ProfileManagement", "SetProfileId", {"2"}), 280, vx::msg::kProfileConfigured);
  EXPECT_EQ(head(168, 4), (Bytes{2, 0, 0, 0}));
  EXPECT_EQ(value_at(std::string(kCProf) + "/ProfileId"), "2");
  EXPECT_EQ(groups_under(std::string(kCProf) + "/Port0").size(), 4u);
  EXPECT_EQ(value_at(std::string(kCProf) + "/Port0/MCType"), "NPAR");
  sim_.journal_clear();
  EXPECT_STATUS(act_at("Vexalon0/ProfileManagement", "SetProfileId", {"256"}), 7, vx::msg::kProfileIdRange);
  EXPECT_TRUE(sent(168).empty());
  EXPECT_EQ(act_at("Vexalon0/ProfileManagement", "SetFactoryDefaults", {}), 0u);
  EXPECT_EQ(head(168, 4), (Bytes{0, 0, 0, 0x80}));
  EXPECT_EQ(value_at(std::string(kCProf) + "/ProfileId"), "1");

  // Another link configuration: its ports are made; back to the active one: the surplus go.
  ASSERT_EQ(act_at("Vexalon0/LinkReconfiguration", "SetLinkConfigID", {"2"}), 0u);
  EXPECT_EQ(head(202, 4), (Bytes{2, 0, 0, 0}));
  EXPECT_EQ(ports(kGen5), (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(value_at("Vexalon0/PortDiscoveryAndConfiguration3/PortNumber"), "3");
  EXPECT_EQ(vx::get_port_number(vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/PortDiscoveryAndConfiguration3")))),
            vx::get_port_number(vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0")))))
      << "a made port's commands go to its own adapter";
  EXPECT_EQ(value_at("Vexalon0/LinkReconfiguration/ConfiguredLinkConfigID"), "2");
  ASSERT_EQ(act_at("Vexalon0/LinkReconfiguration", "SetLinkConfigID", {"1"}), 0u);
  EXPECT_EQ(ports(kGen5), (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(act_at("Vexalon0/LinkReconfiguration", "SetLinkConfigFactoryDefaults", {}), 0u);
  EXPECT_EQ(head(202, 4), (Bytes{0, 0, 0, 0x80}));

  // The highest function number: 7 or 15, or back to the default.
  expect_told(act_at(kCProf, "SetMaxFunctionNumber", {"15"}), 280, vx::msg::kProfileConfigured);
  EXPECT_EQ(head(95, 4), (Bytes{15, 0, 0, 0}));
  EXPECT_EQ(value_at(std::string(kCProf) + "/MaxFunctionNumber"), "15");
  EXPECT_EQ(act_at(kCProf, "SetMaxFunctionNumber", {nullptr}), 0u);
  EXPECT_EQ(head(95, 4), (Bytes{0, 0, 0, 0x80}));
  sim_.journal_clear();
  EXPECT_STATUS(act_at(kCProf, "SetMaxFunctionNumber", {"8"}), 6, vx::msg::kMaxFunctionValues);
  EXPECT_TRUE(sent(95).empty());
}

TEST_F(Profiles, PersonalitiesPerGenerationAndPath) {
  const char* current[] = {"FCoE", "iSCSI", "Unknown", "Illegal"};
  const char* configured[] = {"FCoE", "iSCSI", "iSCSI", "N/A"};
  for (int i = 0; i < 4; ++i) {
    const std::string group = "Vexalon" + std::to_string(i) + "/Personality/";
    EXPECT_EQ(value_at(group + "CurrentPersonality"), current[i]) << i;
    EXPECT_EQ(value_at(group + "ConfiguredPersonality"), configured[i]) << i;
  }
  expect_told(act_at("Vexalon0/Personality", "SetPersonality", {"iSCSI"}), 143, vx::msg::kPersonalityChanged);
  const Bytes request = sent(165).back();
  ASSERT_EQ(request.size(), 22624u);
  EXPECT_EQ(Bytes(request.begin() + 4, request.begin() + 8), (Bytes{2, 0, 0, 0})) << "the two storage functions";
  EXPECT_EQ(Bytes(request.begin() + 8, request.begin() + 23), (Bytes{80, 88, 0, 0x80, 0, 0, 2, 0, 0, 0, 0, 0, 0, 1, 2}));
  EXPECT_EQ(request[8 + 88 + 6], 3);
  EXPECT_EQ(value_at("Vexalon0/Personality/ConfiguredPersonality"), "iSCSI");
  EXPECT_EQ(value_at("Vexalon0/Personality/CurrentPersonality"), "FCoE") << "what runs until the next start";
  EXPECT_EQ(act_at("Vexalon1/Personality", "SetPersonality", {"ISCSI"}), 0u);
  EXPECT_EQ(last_status().code, 0u) << "the personality already running";
  // The legacy path: the block is read, PF 2 and 3 edited, and written back.
  expect_told(act_at("Vexalon2/Personality", "SetPersonality", {"FCoE"}), 143, vx::msg::kPersonalityChanged);
  const Bytes block = sent(82).back();
  ASSERT_EQ(block.size(), 836u);
  EXPECT_EQ(Bytes(block.begin() + 8, block.begin() + 11), (Bytes{2, 0, 2}));
  EXPECT_EQ(Bytes(block.begin() + 60, block.begin() + 63), (Bytes{3, 0, 2}));
  EXPECT_EQ(value_at("Vexalon2/Personality/ConfiguredPersonality"), "FCoE");
}

TEST_F(Profiles, ChannelManagementChangesTheModeAndRebuildsTheChannels) {
  const std::string g3 = std::string(kGen3) + "/ChannelManagement";
  expect_told(act_at(g3, "ConfigureChannelManagement", {"Enabled", "vNIC1"}), 284, vx::msg::kMultiChannelChanged);
  Bytes request = sent(165).back();
  ASSERT_EQ(request.size(), 184u);
  EXPECT_EQ(Bytes(request.begin(), request.begin() + 14), (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 85, 88, 0, 0, 0, 4}));
  EXPECT_EQ(value_at(g3 + "/ConfiguredManagementType"), "vNIC1");
  EXPECT_EQ(value_at(g3 + "/CurrentManagementType"), "NPAR");
  EXPECT_EQ(groups_under("Vexalon1/PortDiscoveryAndConfiguration0/ChannelManagement").size(), 3u) << "rebuilt";
  EXPECT_EQ(act_at(g3, "ConfigureChannelManagement", {"Disabled", nullptr}), 0u);
  EXPECT_EQ(sent(165).back()[13], 1);
  const struct { const char* group; const char* state; const char* type; uint32_t code; const char* text; } refused[] = {
      {"Vexalon0/ChannelManagement", "Enabled", "NPAR", 289, vx::msg::kMultiChannelNotSupported},
      {"Vexalon1/ChannelManagement", "Enabled", nullptr, 293, vx::msg::kChannelTypeMissing},
      {"Vexalon1/ChannelManagement", "Enabled", "UFP", 294, vx::msg::kChannelTypeNotSupported},
  };
  for (const auto& r : refused) EXPECT_STATUS(act_at(r.group, "ConfigureChannelManagement", {r.state, r.type}), r.code, r.text);
  // Only HPZMC on offer: "ZMC" is no whole item of it.
  sim_.reply_with(123, 1, Bytes{0, 2, 0, 0}, 2);
  EXPECT_EQ(value_at(g3 + "/SupportedMCTypes"), "HPZMC");
  EXPECT_STATUS(act_at(g3, "ConfigureChannelManagement", {"Enabled", "ZMC"}), 294, vx::msg::kChannelTypeNotSupported);
}

TEST_F(Profiles, RefusalsOfTheAdapterGiveTheirStatuses) {
  struct Row {
    int opcode;
    uint16_t additional;
    std::function<uint32_t()> run;
    uint32_t code;
    const char* text;
  };
  const Row rows[] = {
      {166, 0xFF, [] { return run_step(vx::VARU_list_available_profiles, kGen5); }, 275, vx::msg::kGetProfileListFailed},
      {161, 0xFF, [] { run_step(vx::VARU_list_available_profiles, kGen5); return 1u; }, 276, vx::msg::kGetProfileCapacitiesFailed},
      {167, 0xFF, [] { return run_step(vx::VARU_get_active_profiles, kGen5); }, 277, vx::msg::kGetActiveProfileFailed},
      {164, 0xFF, [] { return value_at("Vexalon0/ProfileManagement/MaxFunctionsPerPort") == "<1>"; }, 278, vx::msg::kGetProfileConfigFailed},
      {84, 0xFF, [] { return act_at("Vexalon1/ChannelManagement", "ConfigureChannelManagement", {"Enabled", "NPAR"}); }, 279, vx::msg::kGetResetNeededFailed},
      {168, 0xFF, [] { return act_at("Vexalon0/ProfileManagement", "SetProfileId", {"2"}); }, 281, vx::msg::kSetActiveProfileFailed},
      {165, 0xFF, [] { return act_at("Vexalon1/ChannelManagement", "ConfigureChannelManagement", {"Enabled", "NPAR"}); }, 283, vx::msg::kSetPortProtocolFailed},
      {165, 0xFF, [] { return act_at("Vexalon0/Personality", "SetPersonality", {"NIC"}); }, 283, vx::msg::kSetPortProtocolFailed},
      {165, 79, [] { return act_at("Vexalon0/Personality", "SetPersonality", {"NIC"}); }, 151, vx::msg::kPersonalityNotSupported},
      {82, 81, [] { return act_at("Vexalon2/Personality", "SetPersonality", {"NIC"}); }, 151, vx::msg::kPersonalityNotSupported},
      {81, 0xFF, [] { return act_at("Vexalon2/Personality", "SetPersonality", {"NIC"}); }, 139, vx::msg::kPersonalityChangeFailed},
      {81, 0xFF, [] { return run_step(vx::VARU_update_current_personality, "Vexalon2"); }, 140, vx::msg::kPersonalityReadFailed},
      {114, 0xFF, [] { return value_at("Vexalon1/Personality/ConfiguredPersonality") == "<1>"; }, 177, vx::msg::kConfiguredPersonalityFailed},
      {123, 0xFF, [] { return value_at("Vexalon1/ChannelManagement/SupportedMCTypes") == "<1>"; }, 292, vx::msg::kGetCapabilitiesFailed},
      {94, 0xFF, [] { return value_at(std::string(kCProf) + "/MaxFunctionNumber") == "<1>"; }, 314, vx::msg::kGetAriFailed},
      {95, 0xFF, [] { return act_at(kCProf, "SetMaxFunctionNumber", {"7"}); }, 314, vx::msg::kGetAriFailed},
      {201, 0xFF, [] { return value_at("Vexalon0/LinkReconfiguration/ConfiguredLinkConfigID") == "<1>"; }, 332, vx::msg::kGetLinkReconfigFailed},
      {202, 0xFF, [] { return act_at("Vexalon0/LinkReconfiguration", "SetLinkConfigID", {"2"}); }, 334, vx::msg::kSetLinkReconfigFailed},
      {0, 0, [] { return act_at("Vexalon1/LinkReconfiguration", "SetLinkConfigID", {"1"}); }, 333, vx::msg::kLinkReconfigNotSupported},
  };
  for (const Row& r : rows) {
    if (r.opcode != 0) sim_.inject_status(r.opcode, 1, 1, r.additional, 1);
    EXPECT_EQ(r.run(), 1u) << r.code;
    EXPECT_EQ(last_status().code, r.code) << r.opcode;
    EXPECT_EQ(last_status().text, r.text) << r.opcode;
    sim_.clear_faults();
  }
  // An adapter whose maximum function number is fixed is not asked to change it.
  sim_.reply_with(94, 1, Bytes{7, 15, 7, 0}, 1);
  sim_.journal_clear();
  EXPECT_STATUS(act_at(kCProf, "SetMaxFunctionNumber", {"15"}), 316, vx::msg::kMaxFunctionNotSettable);
  EXPECT_TRUE(sent(95).empty());
  // No ARI on the adapter: the three numbers read "N/A" and nothing is wrong.
  sim_.inject_status(94, 1, 1, 30, 1);
  EXPECT_EQ(value_at(std::string(kCProf) + "/IPLMaxFunctionNumber"), "N/A");
}

TEST_F(Profiles, AChannelRebuildTellsTheStatusOfTheFailedRead) {
  hm_node* port = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/PortDiscoveryAndConfiguration0")));
  sim_.inject_status(164, 1, 1, 99, 1);   // maps to 198
  EXPECT_EQ(vx::public_call("test", [&]() -> uint32_t { return vx::VARU_get_multi_channels_info(0, port); }), 198u);
  EXPECT_EQ(last_status().code, 278u);
  EXPECT_EQ(last_status().text, vx::msg::kGetProfileConfigFailed);
}

TEST_F(Profiles, ARoceDescriptorAheadOfEveryFunctionBelongsToLinkZero) {
  // Ports of links 0 and 1; PF 1 has only a RoCE descriptor, before any NIC, iSCSI or FCoE one.
  const Bytes reply = vxtest::nic::profile_reply({{85, {{4, 0}, {12, 4}}},
                                                  {85, {{4, 1}, {12, 4}}},
                                                  {80, {{6, 1}, {13, 1}}},
                                                  {84, {{6, 1}}},
                                                  {80, {{6, 2}, {13, 1}}},
                                                  {81, {{6, 2}, {10, 0x02}, {44, 1}}}});
  const std::pair<const char*, uint8_t> groups[] = {{"ActiveProfile", 2}, {"ConfiguredProfile", 0}};
  for (const auto& [name, type] : groups) {
    const std::string group = std::string(kGen5) + "/ProfileManagement/" + name;
    hm_node* node = vx::get_node(static_cast<int32_t>(tag_at(group)));
    hm_node* controller = vx::get_node(static_cast<int32_t>(tag_at(kGen5)));
    sim_.reply_with(164, 1, reply, 3);   // the ports, then each port's functions
    ASSERT_EQ(vx::public_call("test", [&, type = type]() -> uint32_t {
                return vx::purge_nodes_within(node, "Port") | vx::VARU_get_port_profile(controller, node, 1, type, 0);
              }),
              0u)
        << name;
    // The function has no MAC of its own: the builder's stays.
    EXPECT_EQ(groups_under(group + "/Port0").size(), 1u) << name;
    EXPECT_EQ(cached_at(group + "/Port0/Function0/Protocol") + " " + cached_at(group + "/Port0/Function0/FunctionNumber") +
                  " " + cached_at(group + "/Port0/Function0/MACAddress"),
              "RoCE 0x1 00:00:00:00:00:00")
        << name;
    EXPECT_EQ(groups_under(group + "/Port1").size(), 1u) << name;
    EXPECT_EQ(cached_at(group + "/Port1/Function0/FunctionNumber"), "0x2") << name;
  }
}

TEST_F(Profiles, OnAVirtualFunctionTheProfileHandlersRefuseOrReadNotAvailable) {
  vx::vm_flag = 1;
  const struct { std::function<uint32_t()> run; } rows[] = {
      {[] { return act_at("Vexalon0/Personality", "SetPersonality", {"NIC"}); }},
      {[] { return act_at("Vexalon0/LinkReconfiguration", "SetLinkConfigID", {"2"}); }},
      {[] { return act_at("Vexalon0/ProfileManagement", "SetFactoryDefaults", {}); }},
      {[] { return act_at(kCProf, "SetMaxFunctionNumber", {"7"}); }},
      {[] { return value_at("Vexalon0/Personality/ConfiguredPersonality") == "<1>"; }},
      {[] { return value_at("Vexalon0/ProfileManagement/MaxFunctionsPerPort") == "<1>"; }},
      {[] { return value_at(std::string(kCProf) + "/SettableMaxFunctionNumber") == "<1>"; }},
      {[] { return value_at(std::string(kCProf) + "/ProfileId") == "<1>"; }},
      {[] { return value_at("Vexalon1/ChannelManagement/SupportedMCTypes") == "<1>"; }},
      {[] { return run_step(vx::VARU_update_current_personality, kGen5); }},
  };
  sim_.journal_clear();
  for (const auto& r : rows) EXPECT_STATUS(r.run(), 256, vx::msg::kNotOnVirtualFunction);
  EXPECT_TRUE(sent(168).empty() && sent(202).empty() && sent(165).empty() && sent(95).empty());
  EXPECT_EQ(cached_at("Vexalon0/Personality/CurrentPersonality"), "N/A");
  EXPECT_EQ(value_at(std::string(kCProf) + "/Port0/Function0/Protocol"), "N/A");
  vx::vm_flag = 0;
}

TEST_F(Profiles, BadRepliesNeitherHangNorOverrun) {
  // 200 profiles: the list holds 101 entries, and 100 instances are made.
  Bytes list(52120, 0);
  const uint32_t count = 200;
  std::memcpy(list.data(), &count, 4);
  for (size_t i = 0; i < 101; ++i) list[4 + 516 * i] = static_cast<uint8_t>(i + 1), list[4 + 516 * i + 4] = 'P';
  hm_node* management = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/ProfileManagement")));
  vx::public_call("test", [&]() -> uint32_t { return vx::purge_nodes_within(management, "Profile"); });
  sim_.reply_with(166, 1, list);
  EXPECT_EQ(run_step(vx::VARU_list_available_profiles, kGen5), 1u) << "the 101st is refused by the builder";
  std::vector<uint32_t> numbers(128);
  uint32_t made = 0;
  VARU_get_valid_instances(static_cast<int32_t>(tag_at("Vexalon0/ProfileManagement")), "Profile", numbers.data(), &made);
  EXPECT_EQ(made, 100u);
  // A descriptor of length 0, and a count past the reply: refused as a failed read.
  const Bytes zero_length{3, 0, 0, 0, 85, 0};
  Bytes past(4, 0);
  past[0] = 0xFF, past[1] = 0xFF;
  for (const Bytes& reply : {zero_length, past}) {
    sim_.reply_with(164, 1, reply);
    EXPECT_EQ(value_at("Vexalon0/ProfileManagement/MaxFunctionsPerPort"), "<1>");
    EXPECT_EQ(last_status().code, 278u);
    EXPECT_EQ(last_status().text, vx::msg::kGetProfileConfigFailed);
  }
}

TEST_F(StartupTest, OnlyGeneration5ReturnsToTheFactoryProfile) {
  use_config_text(R"({"adapters": [{"serial_number": "BL6", "generation": 6, "iscsi_functions": [{"function": 2}],
                      "profiles": {"list": [{"id": 1}]}}]})");
  ASSERT_EQ(start(), 0u);
  sim_.journal_clear();
  EXPECT_STATUS(act_at("Vexalon0/ProfileManagement", "SetFactoryDefaults", {}), 301, vx::msg::kFactoryProfileNotSupported);
  EXPECT_TRUE(sim_.payloads_of(168, 1).empty());
}

}  // namespace
}  // namespace vxtest
