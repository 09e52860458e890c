// The NIC function settings on examples/nic-lab.json through the public calls: bandwidth caps, vNIC,
// network boot, boot VLAN, VEPA, advanced mode, iSCSI BIOS, the MAC addresses, SR-IOV on its three
// paths, the virtual functions written through the `ip` stand-in, and the erases. What went to the
// adapter is read from the simulator's journal.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "access/flash_erase.h"
#include "adapter/controller_attribs.h"
#include "adapter/mac_addresses.h"
#include "engine/messages.h"
#include "platform/platform.h"
#include "schema/handlers.h"
#include "schema/nic_hba.h"
#include "tests/api/nic_test_support.h"

namespace vxtest {
namespace {

using namespace nic;
constexpr const char* kNic0 = "Vexalon0/NICPhysicalHBA0";
constexpr const char* kBoot0 = "Vexalon0/NICPhysicalHBA0/NetworkBootConfiguration";
constexpr const char* kVf1 = "Vexalon0/NICPhysicalHBA0/NICLogicalHBA1";

// The argument lists the library asked the seam to run, and the exit status they get.
std::vector<std::vector<std::string>> g_runs;
int g_exit = 0;
int fake_runner(const std::vector<std::string>& argv, int) {
  g_runs.push_back(argv);
  return g_exit;
}

// The library's real runner, given as long as a busy machine takes to start and run the stand-in:
// its ten seconds are a host's answer time, and a test held to them would time the test machine.
const vx::ProgramRunner kRealRunner = vx::program_runner();
int patient_runner(const std::vector<std::string>& argv, int) { return kRealRunner(argv, 10 * 60); }

class NicFunctions : public StartupTest {
 protected:
  void SetUp() override {
    vx::vm_flag = 0;
    use_example("nic-lab.json");
    // The stand-in is the host's ip command of this root.
    char self[PATH_MAX] = "";
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const std::string bin = std::string(self, static_cast<size_t>(n)).substr(0, std::string(self).rfind('/'));
    root_.write("/sbin/.keep", "");
    ASSERT_EQ(::symlink((bin + "/vxsim-ip").c_str(), root_.at("/sbin/ip").c_str()), 0);
    ASSERT_EQ(start(), 0u);
    sim_.journal_clear();
  }
  std::vector<Bytes> sent(int opcode, int subsystem = 1) const {
    return sim_.payloads_of(static_cast<uint8_t>(opcode), static_cast<uint8_t>(subsystem));
  }
  Bytes last(int opcode, int subsystem = 1) const {
    const std::vector<Bytes> p = sent(opcode, subsystem);
    return p.empty() ? Bytes{} : p.back();
  }

  vx::ScopedProgramRunner patient_{patient_runner};
};

TEST_F(NicFunctions, EachGenerationShowsWhatItsAdapterKeeps) {
  const std::pair<std::string, std::string> rows[] = {
      {"Vexalon0/NICPhysicalHBA0/vNIC/vNICEnabled", "true"},
      {"Vexalon0/NICPhysicalHBA0/vNIC/vNICName", "vnic-a"},
      {"Vexalon0/NICPhysicalHBA0/vNIC/OuterVLANID", "564"},
      {"Vexalon0/NICPhysicalHBA0/vNIC/MinBandwidth", "10"},
      {"Vexalon0/NICPhysicalHBA1/vNIC/vNICEnabled", "False"},
      {"Vexalon0/NICPhysicalHBA1/vNIC/OuterVLANID", ""},
      {"Vexalon0/iSCSIPhysicalHBA0/Network/NICConfiguration/vNIC/vNICName", "vnic-iscsi"},
      {"Vexalon0/iSCSIPhysicalHBA0/Network/NICConfiguration/vNIC/MaxBandwidth", "80"},
      {"Vexalon0/NICPhysicalHBA0/MaxBitsPerSecond", "100"},
      {"Vexalon0/NICPhysicalHBA1/MaxBitsPerSecond", "2.5"},   // 1 Gb/s port, 25 percent
      {"Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0/iSCSIQoS/MaxBitsPerSecond", "100"},
      {"Vexalon2/NICPhysicalHBA0/MaxBitsPerSecond", "10000"},
      {"Vexalon2/NICPhysicalHBA0/MinBitsPerSecond", "N/A"},
      {"Vexalon2/iSCSIPhysicalHBA0/LogicalHBA0/iSCSIQoS/MaxBitsPerSecond", "N/A"},
      {"Vexalon3/NICPhysicalHBA0/MaxBitsPerSecond", "<1>"},
      {"Vexalon3/NICPhysicalHBA0/vNIC/vNICName", "<1>"},
      {std::string(kBoot0) + "/NetworkBootState", "Enabled"},
      {std::string(kBoot0) + "/NetworkBootMethod", "PXE"},
      {std::string(kBoot0) + "/VLANId", "12"},
      {std::string(kBoot0) + "/VLANPriority", "3"},
      {std::string(kBoot0) + "/VolatileMACAddress", "00-1f-4e-50-00-10"},
      {"Vexalon0/NICPhysicalHBA1/NetworkBootConfiguration/NetworkBootState", "N/A"},   // no expansion ROM
      {"Vexalon3/NICPhysicalHBA0/NetworkBootConfiguration/AvailableNetworkBootMethods", "PXE,iBFT"},
      {"Vexalon0/NICPhysicalHBA0/VEPAState", "Disabled"},
      {"Vexalon1/NICPhysicalHBA0/VEPAState", "N/A"},
      {"Vexalon1/AdvancedMode", "Enabled"},
      {"Vexalon0/AdvancedMode", "N/A"},
      {"Vexalon0/iSCSIPhysicalHBA0/iSCSIBIOSEnable", "Yes"},
      {"Vexalon0/iSCSIPhysicalHBA1/iSCSIBIOSEnable", "No"},
      {"Vexalon0/NICPhysicalHBA0/SRIOVState", "Disabled"},
      {"Vexalon1/NICPhysicalHBA0/SRIOVState", "Disabled"},
      {"Vexalon2/NICPhysicalHBA0/SRIOVState", "N/A"},
      {"Vexalon3/NICPhysicalHBA0/SRIOVState", "N/A"},   // no entry in the common profile block
      {"Vexalon0/ProfileManagement/ActiveProfile/Port0/Function0/SRIOVState", "Disabled"},
      {"Vexalon0/ProfileManagement/ActiveProfile/Port0/Function1/SRIOVState", "N/A"},
      {"Vexalon0/NICPhysicalHBA0/LogicalLinkStatus", "Up"},
      {std::string(kVf1) + "/MACAddress", "00:1f:4e:50:20:01"},
      {std::string(kVf1) + "/VLANID", "100"},
      {std::string(kVf1) + "/TxRate", "250"},
      {std::string(kVf1) + "/LinkStatus", "Up"},
  };
  for (const auto& [path, want] : rows) EXPECT_EQ(value_at(path), want) << path;
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/PermanentMACAddress"),
            value_at("Vexalon0/NICPhysicalHBA0/FactoryDefaultMACAddress"));
  EXPECT_EQ(groups_under(kNic0).size(), 9u) << "three virtual functions";
}

TEST_F(NicFunctions, BootVlanVepaAdvancedModeAndBiosSettingsGoToTheFlash) {
  EXPECT_STATUS(act_at(kBoot0, "SetNetworkBoot", {"Enabled", "iBFT"}), 273, vx::msg::kBootMethodRefused);
  EXPECT_STATUS(act_at(kBoot0, "SetNetworkBoot", {"Enabled", nullptr}), 274, vx::msg::kBootMethodMissing);
  EXPECT_STATUS(act_at("Vexalon0/NICPhysicalHBA1/NetworkBootConfiguration", "SetNetworkBoot", {"Disabled", nullptr}),
                272, vx::msg::kNetworkBootRefused);
  EXPECT_TRUE(sent(67).empty());
  ASSERT_EQ(act_at(kBoot0, "SetNetworkBoot", {"Disabled", nullptr}), 0u);
  EXPECT_EQ(last(67), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(value_at(std::string(kBoot0) + "/NetworkBootState"), "Disabled");
  // Without a priority the VLAN goes with the priority last read.
  ASSERT_EQ(value_at(std::string(kBoot0) + "/VLANPriority"), "3");
  ASSERT_EQ(act_at(kBoot0, "ConfigureVLAN", {"42", nullptr}), 0u);
  const Bytes vlan = last(4, 21);
  ASSERT_EQ(vlan.size(), 48u);
  EXPECT_EQ((Bytes{vlan[0], vlan[3], vlan[12], vlan[13], vlan[14], vlan[15]}), (Bytes{0x02, 0x80, 42, 0, 3, 0x80}));
  EXPECT_EQ(value_at(std::string(kBoot0) + "/VLANId"), "42");
  EXPECT_STATUS(act_at("Vexalon2/NICPhysicalHBA0/NetworkBootConfiguration", "ConfigureVLAN", {"5", "1"}), 291,
                vx::msg::kNotSupportedOnAdapter);

  EXPECT_STATUS(set_at("Vexalon0/NICPhysicalHBA0/VEPAState", "Enabled"), 297, vx::msg::kVepaRefused);
  expect_told(set_at("Vexalon0/NICPhysicalHBA0/SRIOVState", "Enabled"), 252, vx::msg::kSriovChanged);
  ASSERT_EQ(set_at("Vexalon0/NICPhysicalHBA0/VEPAState", "Enabled"), 0u);
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/VEPAState"), "Enabled");
  EXPECT_STATUS(set_at("Vexalon1/NICPhysicalHBA0/VEPAState", "Enabled"), 297, vx::msg::kVepaRefused);

  expect_told(set_at("Vexalon1/AdvancedMode", "Disabled"), 312, vx::msg::kAdvancedModeChanged);
  EXPECT_EQ(value_at("Vexalon1/AdvancedMode"), "Disabled");
  EXPECT_STATUS(set_at("Vexalon0/AdvancedMode", "Enabled"), 311, vx::msg::kAdvancedModeRefused);
  ASSERT_EQ(set_at("Vexalon0/iSCSIPhysicalHBA0/iSCSIBIOSEnable", "No"), 0u);
  EXPECT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/iSCSIBIOSEnable"), "No");
  sim_.inject_status(66, 1, 1, 0, 1);
  EXPECT_STATUS(set_at("Vexalon0/iSCSIPhysicalHBA0/iSCSIBIOSEnable", "Yes"), 141, vx::msg::kBootReadFailed);
}

TEST_F(NicFunctions, MacAddressesVolatilePermanentAndLastConfigured) {
  const std::string vmac = std::string(kBoot0) + "/VolatileMACAddress";
  ASSERT_EQ(value_at(vmac), "00-1f-4e-50-00-10");
  sim_.journal_clear();
  EXPECT_EQ(set_at(vmac, "00-1F-4E-50-00-10"), 0u);
  EXPECT_STATUS(set_at(vmac, "zz:1f:4e:50:00:10"), 17, vx::msg::kInvalidValueUseValid);
  EXPECT_TRUE(sent(4, 21).empty()) << "the same address and a bad one send nothing";
  ASSERT_EQ(set_at(vmac, "00:1f:4e:50:00:99"), 0u);
  EXPECT_EQ(value_at(vmac), "00-1f-4e-50-00-99");
  sim_.inject_status(4, 21, 1, 0, 1);
  EXPECT_STATUS(set_at(vmac, "00:1f:4e:50:00:98"), 328, vx::msg::kVolatileMacFailed);
  EXPECT_STATUS(set_at("Vexalon2/NICPhysicalHBA0/NetworkBootConfiguration/VolatileMACAddress", "00:1f:4e:50:00:98"),
                291, vx::msg::kNotSupportedOnAdapter);
  EXPECT_STATUS(set_at("Vexalon0/NICPhysicalHBA0/PermanentMACAddress", "00:1f:4e:50:00:98"), 70,
                vx::msg::kSettingNotSupportedInOs);

  // The last configured MAC: one descriptor of the function, the address in it, read back.
  hm_node* g5 = node_at("Vexalon0");
  hm_node* nic = node_at(kNic0);
  EXPECT_STATUS(call([&] { return vx::VARU_set_last_configured_mac(g5, nic, "00:1f:4e:zz:10:77", 2); }), 17,
                vx::msg::kInvalidValueUseValid);
  ASSERT_EQ(call([&] { return vx::VARU_set_last_configured_mac(g5, nic, "00:1f:4e:50:10:77", 2); }), 0u);
  const Bytes one = last(165);
  ASSERT_EQ(one.size(), 184u);
  EXPECT_EQ((Bytes{one[4], one[8], one[8 + 10], one[8 + 15]}), (Bytes{1, 81, 0x00, 0x77}));
  ASSERT_EQ(call([&] { return vx::VARU_get_last_configured_mac(g5, nic, 2); }), 0u);
  EXPECT_EQ(cached_at(std::string(kNic0) + "/PermanentMACAddress"), "00-1f-4e-50-10-77");
  sim_.inject_status(165, 1, 1, 0, 1);
  EXPECT_STATUS(call([&] { return vx::VARU_set_last_configured_mac(g5, nic, "00:1f:4e:50:10:78", 2); }), 161,
                vx::msg::kSetMacFailed);
  // The reset takes the factory address; a query that fails tells so.
  expect_told(call([&] { return vx::do_NICPhysicalHBA_ResetMACAddress(nic, nullptr, nullptr); }), 304,
              vx::msg::kRebootForChange);
  EXPECT_EQ(cached_at(std::string(kNic0) + "/PermanentMACAddress"),
            cached_at(std::string(kNic0) + "/FactoryDefaultMACAddress"));
  hm_node* iscsi = node_at("Vexalon0/iSCSIPhysicalHBA0/Network/NICConfiguration");
  expect_told(
      call([&] { return vx::do_iSCSIPhysicalHBA_Network_NICConfiguration_ResetMACAddress(iscsi, nullptr, nullptr); }),
      304, vx::msg::kRebootForChange);
  sim_.inject_status(1, 1, 1, 0, 1);
  EXPECT_STATUS(call([&] { return vx::do_NICPhysicalHBA_ResetMACAddress(nic, nullptr, nullptr); }), 159,
                vx::msg::kNoFactoryMac);
  // Generation 2 keeps it in its adapter configuration block.
  hm_node* g2 = node_at("Vexalon2");
  hm_node* nic2 = node_at("Vexalon2/NICPhysicalHBA0");
  ASSERT_EQ(call([&] { return vx::VARU_set_last_configured_mac(g2, nic2, "00-1f-4e-20-30-aa", 2); }), 0u);
  ASSERT_EQ(call([&] { return vx::VARU_get_last_configured_mac(g2, nic2, 2); }), 0u);
  EXPECT_EQ(cached_at("Vexalon2/NICPhysicalHBA0/PermanentMACAddress"), "00-1f-4e-20-30-aa");
  sim_.inject_status(81, 1, 1, 0, 1);
  EXPECT_STATUS(call([&] { return vx::VARU_get_last_configured_mac(g2, nic2, 2); }), 160, vx::msg::kGetMacFailed);
  EXPECT_EQ(act_at("Vexalon0/iSCSIPhysicalHBA0/Network/NICConfiguration", "RefreshNICConfig", {}), 0u);
}

// Each path asks for the current MAC with its own request (byte 0 zero on the iSCSI path, set on
// the NIC path; byte 1 set on both) and shows the function's own address.
TEST_F(NicFunctions, CurrentMacQueriesOfTheIscsiAndNicPaths) {
  const struct {
    const char* path;
    uint8_t byte0;
    const char* mac;
  } rows[] = {
      {"Vexalon0/iSCSIPhysicalHBA0/Network/NICConfiguration/MACAddress", 0, "00-1f-4e-50-10-02"},
      {"Vexalon0/iSCSIPhysicalHBA1/Network/NICConfiguration/MACAddress", 0, "00-1f-4e-50-10-03"},
      {"Vexalon1/iSCSIPhysicalHBA0/Network/NICConfiguration/MACAddress", 0, "00-1f-4e-30-20-02"},
      {"Vexalon0/NICPhysicalHBA1/MACAddress", 1, "00-1f-4e-50-10-01"},
      {"Vexalon1/NICPhysicalHBA0/MACAddress", 1, "00-1f-4e-30-20-00"},
  };
  for (const auto& r : rows) {
    sim_.journal_clear();
    EXPECT_EQ(value_at(r.path), r.mac) << r.path;
    Bytes want(72, 0);
    want[0] = r.byte0;
    want[1] = 1;
    EXPECT_EQ(sent(1), std::vector<Bytes>{want}) << r.path;
  }
  // The permanent table is still answered for the reset to the factory address.
  sim_.journal_clear();
  expect_told(call([&] { return vx::do_NICPhysicalHBA_ResetMACAddress(node_at("Vexalon0/NICPhysicalHBA1"), nullptr,
                                                                      nullptr); }),
              304, vx::msg::kRebootForChange);
  ASSERT_EQ(sent(1).size(), 1u);
  EXPECT_EQ((Bytes{sent(1)[0][0], sent(1)[0][1]}), (Bytes{9, 0}));
  EXPECT_EQ(cached_at("Vexalon0/NICPhysicalHBA1/PermanentMACAddress"), "00-1f-4e-50-10-01");
}

TEST_F(NicFunctions, SriovOnTheProfileTheSingleDescriptorAndTheLegacyPaths) {
  // Generation 5: the whole configured profile, each port keeping its mode.
  expect_told(set_at("Vexalon0/NICPhysicalHBA0/SRIOVState", "Enabled"), 252, vx::msg::kSriovChanged);
  const Bytes full = last(165);
  ASSERT_EQ(full.size(), 8u + 88 * 4 + 68);
  EXPECT_EQ((Bytes{full[0], full[3], full[4], full[8], full[8 + 12], full[8 + 16]}), (Bytes{1, 0x80, 5, 80, 1, 255}));
  EXPECT_EQ((Bytes{full[8 + 88 * 4], full[8 + 88 * 4 + 52], full[8 + 88 * 4 + 53]}), (Bytes{86, 1, 1}));
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/SRIOVState"), "Enabled");
  EXPECT_EQ(value_at("Vexalon0/ProfileManagement/ConfiguredProfile/Port0/Function0/SRIOVState"), "Enabled")
      << "the pending choice follows the adapter";
  // Generation 3: one descriptor.
  expect_told(set_at("Vexalon1/NICPhysicalHBA0/SRIOVState", "Enabled"), 252, vx::msg::kSriovChanged);
  const Bytes single = last(165);
  ASSERT_EQ(single.size(), 22624u);
  EXPECT_EQ((Bytes{single[4], single[8], single[8 + 12], single[8 + 13], single[8 + 14]}), (Bytes{1, 80, 1, 0xFF, 1}));
  // Firmware without profiles: the adapter configuration block, refused while ZMC is on.
  sim_.inject_status(164, 1, 1, 30, -1);
  sim_.inject_status(165, 1, 1, 30, -1);
  EXPECT_EQ(value_at("Vexalon1/NICPhysicalHBA0/SRIOVState"), "Disabled");
  sim_.inject_status(82, 1, 1, 104, 1);
  EXPECT_STATUS(set_at("Vexalon1/NICPhysicalHBA0/SRIOVState", "Enabled"), 253, vx::msg::kSriovZmc);
  expect_told(set_at("Vexalon1/NICPhysicalHBA0/SRIOVState", "Enabled"), 252, vx::msg::kSriovChanged);
  EXPECT_EQ(value_at("Vexalon1/NICPhysicalHBA0/SRIOVState"), "Enabled");
  // What sends nothing is no success.
  EXPECT_STATUS(set_at("Vexalon2/NICPhysicalHBA0/SRIOVState", "Enabled"), 247, vx::msg::kSriovNotChangeable);
  EXPECT_STATUS(set_at("Vexalon3/NICPhysicalHBA0/SRIOVState", "Enabled"), 247, vx::msg::kSriovNotChangeable);
}

TEST_F(NicFunctions, VirtualFunctionsChangeThroughTheIpCommandAndStay) {
  ASSERT_EQ(set_at(std::string(kVf1) + "/MACAddress", "00-1f-4e-50-20-aa"), 0u);
  ASSERT_EQ(set_at(std::string(kVf1) + "/VLANID", "7"), 0u);
  ASSERT_EQ(set_at(std::string(kVf1) + "/TxRate", "300"), 0u);
  EXPECT_EQ(root_.read("/var/log/vxsim-ip.log"),
            "link set vmnic0 vf 1 mac 00:1f:4e:50:20:aa\nlink set vmnic0 vf 1 vlan 7\nlink set vmnic0 vf 1 vlan 7 rate "
            "300\n");
  stop();
  ASSERT_EQ(sim_.reset(), 0);
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(value_at(std::string(kVf1) + "/MACAddress"), "00:1f:4e:50:20:aa");
  EXPECT_EQ(value_at(std::string(kVf1) + "/VLANID"), "7");
  EXPECT_EQ(value_at(std::string(kVf1) + "/TxRate"), "300");
  // The command's refusal is the write's.
  root_.write("/etc/vxsim-ip.exit", "3");
  EXPECT_STATUS(set_at(std::string(kVf1) + "/MACAddress", "00-1f-4e-50-20-ab"), 161, vx::msg::kSetMacFailed);
  EXPECT_STATUS(
      set_at(std::string(kVf1) + "/VLANID", "8"), 1,
      "The ip link command for interface \"vmnic0\", virtual function 1 was not run or failed (exit status 3).");
  EXPECT_EQ(value_at(std::string(kVf1) + "/VLANID"), "7");
}

// Without the host's ip command every write says which program could not be run and why; a later
// refusal that runs nothing does not inherit that reason.
TEST_F(NicFunctions, AMissingIpCommandIsNamed) {
  ASSERT_EQ(::unlink(root_.at("/sbin/ip").c_str()), 0);
  const std::string missing =
      "The program " + vx::host_path("/sbin/ip") + " could not be run: No such file or directory.";
  const struct {
    const char* property;
    const char* value;
    uint32_t code;
  } rows[] = {{"MACAddress", "00-1f-4e-50-20-ab", 161}, {"VLANID", "8", 1}, {"TxRate", "300", 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.property);
    EXPECT_STATUS(set_at(std::string(kVf1) + "/" + row.property, row.value), row.code, missing);
  }
  EXPECT_EQ(value_at(std::string(kVf1) + "/VLANID"), "100");
  call([&] { return static_cast<uint32_t>(vx::set_prop_val(node_at(kNic0), "IfName", "%s", "vm nic0")); });
  EXPECT_STATUS(
      set_at(std::string(kVf1) + "/VLANID", "9"), 1,
      "The ip link command for interface \"vm nic0\", virtual function 1 was not run or failed (exit status -1).");
}

TEST_F(NicFunctions, TheIpCommandGetsParsedValuesAndNothingElse) {
  vx::ScopedProgramRunner fake(fake_runner);
  g_runs.clear();
  const std::string ip = vx::host_path("/sbin/ip");
  ASSERT_EQ(set_at(std::string(kVf1) + "/MACAddress", "00-1F-4E-50-20-BB"), 0u);
  ASSERT_EQ(set_at(std::string(kVf1) + "/VLANID", "010"), 0u);
  hm_node* rate = node_at(std::string(kVf1) + "/TxRate", VARU_KIND_PROPERTY);
  char odd[256] = "\n5";
  ASSERT_EQ(call([&] { return vx::handle_niclogicalhba_txrate(rate, odd, 1); }), 0u);
  EXPECT_EQ(g_runs, (std::vector<std::vector<std::string>>{
                        {ip, "link", "set", "vmnic0", "vf", "1", "mac", "00:1f:4e:50:20:bb"},
                        {ip, "link", "set", "vmnic0", "vf", "1", "vlan", "10"},
                        {ip, "link", "set", "vmnic0", "vf", "1", "vlan", "100", "rate", "5"}}));
  g_runs.clear();
  hm_node* vlan = node_at(std::string(kVf1) + "/VLANID", VARU_KIND_PROPERTY);
  char too_high[256] = "4095";
  EXPECT_STATUS(call([&] { return vx::handle_niclogicalhba_vlanid(vlan, too_high, 1); }), 17,
                vx::msg::kInvalidValueUseValid);
  EXPECT_STATUS(set_at(std::string(kVf1) + "/MACAddress", "zz:11:22:33:44:55"), 17, vx::msg::kInvalidValueUseValid);
  hm_node* nic = node_at(kNic0);
  for (const char* name : {"vmnic0;reboot", "vm nic0"}) {
    call([&] { return static_cast<uint32_t>(vx::set_prop_val(nic, "IfName", "%s", name)); });
    EXPECT_STATUS(set_at(std::string(kVf1) + "/MACAddress", "00-1f-4e-50-20-bc"), 161, vx::msg::kSetMacFailed);
    EXPECT_EQ(set_at(std::string(kVf1) + "/VLANID", "9"), 1u);
  }
  // A virtual function the driver's table does not hold is neither read nor written.
  hm_node* extra = nullptr;
  call([&] { return (extra = vx::initialize_NICLogicalHBA(nic, nullptr, nullptr, nullptr)) != nullptr ? 0u : 1u; });
  ASSERT_NE(extra, nullptr);
  call([&] { return static_cast<uint32_t>(vx::set_prop_val(nic, "IfName", "%s", "vmnic0")); });
  EXPECT_STATUS(set_at("Vexalon0/NICPhysicalHBA0/NICLogicalHBA3/VLANID", "9"), 1,
                "Virtual function 3 is not in the table the driver reports.");
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/NICLogicalHBA3/MACAddress"), "<1>");
  EXPECT_TRUE(g_runs.empty());
}

// On generation 5 the port speed is the function's bandwidth cap: the 1 Gb/s port's 25 percent
// ("2.5") reads 250Mb, the 10 Gb/s port's whole cap 10Gb, on the NIC and the iSCSI side.
TEST_F(NicFunctions, PortSpeedIsTheBandwidthCap) {
  const std::pair<const char*, const char*> rows[] = {
      {"Vexalon0/NICPhysicalHBA1/PortSpeed", "250Mb"},
      {"Vexalon0/NICPhysicalHBA0/PortSpeed", "10Gb"},
      {"Vexalon0/iSCSIPhysicalHBA0/Network/NICConfiguration/PortSpeed", "10Gb"}};
  for (const auto& [path, want] : rows) EXPECT_EQ(value_at(path), want) << path;
}

TEST_F(NicFunctions, ErasesOfNicAndPortSettings) {
  ASSERT_EQ(act_at(kBoot0, "ConfigureVLAN", {"42", "1"}), 0u);
  expect_told(act_at(kNic0, "EraseNICConfiguration", {}), 184, vx::msg::kErasedReboot);
  EXPECT_EQ(value_at(std::string(kBoot0) + "/VLANId"), "12") << "back to the factory's";
  sim_.inject_status(7, 1, 44, 0, 1);
  expect_told(act_at(kNic0, "EraseNICConfiguration", {}), 239, vx::msg::kRebootImmediately);
  sim_.inject_status(7, 1, 44, 0, 1);
  EXPECT_EQ(call([&] { return vx::VARU_EraseNICConfiguration(node_at(kNic0)); }), 55u);
  sim_.inject_status(7, 1, 1, 0, 1);
  EXPECT_EQ(act_at(kNic0, "EraseNICConfiguration", {}), 116u) << "the command's status";
  EXPECT_EQ(last_status().code, 188u);
  // Inside the adapter-wide erase an answer 55 of a NIC erase is a success.
  sim_.inject_status_after(7, 1, 44, 0, 4, 2);
  EXPECT_EQ(act_at("Vexalon0", "EraseAllConfiguration", {}), 0u);

  // The port's erase puts its forwarding, DCBX and LLDP administrator settings back.
  const std::string port0 = "Vexalon0/PortDiscoveryAndConfiguration0/";
  const std::string willing = port0 + "DCBX/PriorityGroups/AdministratorPGSetting/Willing";
  ASSERT_EQ(set_at("Vexalon0/NICPhysicalHBA0/SRIOVState", "Enabled"), 0u);
  ASSERT_EQ(set_at("Vexalon0/NICPhysicalHBA0/VEPAState", "Enabled"), 0u);
  ASSERT_EQ(set_at(willing, "No"), 0u);
  ASSERT_EQ(set_at(port0 + "LLDP/LocalConfiguration/TxState", "Disabled"), 0u);
  expect_told(act_at("Vexalon0/PortDiscoveryAndConfiguration0", "ErasePortandDiscoveryConfiguration", {}), 184,
              vx::msg::kErasedReboot);
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/VEPAState") + value_at(willing) +
                value_at(port0 + "LLDP/LocalConfiguration/TxState"),
            "DisabledYesEnabled");
  sim_.inject_status(7, 1, 1, 0, 1);
  EXPECT_EQ(act_at("Vexalon0/PortDiscoveryAndConfiguration0", "ErasePortandDiscoveryConfiguration", {}), 116u);
  EXPECT_EQ(last_status().code, 187u);
}

// Seen from an SR-IOV virtual function neither erase runs: each fails with status 256 and sends
// nothing.
TEST_F(StartupTest, ErasesRefusedOnAVirtualFunction) {
  vx::vm_flag = 0;
  use_config_text(R"({"adapters": [{"serial_number": "VF5", "generation": 5, "virtual_function": true,
                      "nic_functions": [{"function": 0, "port": 0}]}]})");
  ASSERT_EQ(start(), 0u);
  sim_.journal_clear();
  const std::pair<const char*, const char*> erases[] = {
      {kNic0, "EraseNICConfiguration"},
      {"Vexalon0/PortDiscoveryAndConfiguration0", "ErasePortandDiscoveryConfiguration"}};
  for (const auto& [group, action] : erases) {
    SCOPED_TRACE(action);
    EXPECT_STATUS(act_at(group, action, {}), 256, vx::msg::kNotOnVirtualFunction);
  }
  EXPECT_TRUE(sim_.payloads_of(7, 1).empty());
  vx::vm_flag = 0;
}

}  // namespace
}  // namespace vxtest
