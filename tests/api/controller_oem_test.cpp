// What start-up reads about each controller after placing its functions: the OEM block, the
// personalities the adapter may run and the additional attributes, per generation; what the steps
// leave when the adapter refuses them, answers nonsense, or is seen from a virtual function.
#include <string>
#include <vector>

#include "adapter/controller_attribs.h"
#include "adapter/oem_attribs.h"
#include "engine/api_lock.h"
#include "engine/messages.h"
#include "schema/handlers.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

// Generations 3, 5, 5, 4 and 2, in this order Vexalon0 to Vexalon4.
constexpr const char* kLab = R"({"adapters": [
  {"serial_number": "BL3202A0001", "generation": 3, "pci": {"bus": 3}, "personality_word": "0x00000003",
   "additional_attributes": {"ipl_file_no": 7, "ipl_suffix": "0x1a", "phy_firmware": "1.2.3", "phy_config_id": "00A1",
                             "versions": {"uefi_nic": "11.2.1", "fcoe_efi": "3.0"}},
   "iscsi_functions": [{"function": 2}], "nic_functions": [{"function": 0}]},
  {"serial_number": "BL5202B0001", "generation": 5, "pci": {"bus": 4},
   "additional_attributes": {"ipl_file_no": 256, "ipl_suffix": "0x1a"}, "iscsi_functions": [{"function": 2}]},
  {"serial_number": "BL5202B0002", "generation": 5, "pci": {"bus": 5},
   "additional_attributes": {"ipl_file_no": 294, "ipl_suffix": "0x1a", "phy_firmware": "2.0"},
   "iscsi_functions": [{"function": 2}]},
  {"serial_number": "BL4202D0001", "generation": 4, "pci": {"bus": 6}, "oem_serial_number": "Q",
   "personality_bits": ["iSCSI", "FCoE"], "additional_attributes": {"ipl_file_name": "QM-4T10.ufi", "phy_firmware": "9"},
   "iscsi_functions": [{"function": 2}], "nic_functions": [{"function": 0}]},
  {"serial_number": "BL2202E0001", "generation": 2, "pci": {"bus": 7}, "available_personalities": "NIC/iSCSI/FCoE",
   "iscsi_functions": [{"function": 2}]}]})";

std::string ipl_record(int n) { return std::string(vx::ipl_file_name_table.records[n]) + "1A"; }

// Runs a start-up step of the controller under the API lock, as start-up does.
uint32_t run_step(uint32_t (*step)(hm_node*), const std::string& controller) {
  hm_node* node = vx::get_node(static_cast<int32_t>(tag_at(controller)));
  return vx::public_call("test", [&]() -> uint32_t { return step(node); });
}

class ControllerOem : public StartupTest {
 protected:
  void SetUp() override {
    use_config_text(kLab);
    ASSERT_EQ(start(), 0u);
  }
};

TEST_F(ControllerOem, ValuesFollowEachGeneration) {
  // "=": the cached text, for properties whose reader is built elsewhere.
  const std::pair<std::string, std::string> rows[] = {
      {"Vexalon0/OEM/OEMSerialNumber", "BL3202A0001"},
      {"Vexalon0/OEM/TalvixSerialNumber", "BL33323032413030303100"},
      {"Vexalon0/OEM/PersonalityManagementWord", "0x00000003"},
      {"Vexalon0/Personality/AvailablePersonalities", "NIC/iSCSI"},
      {"Vexalon0/UEFINICVersion", "=11.2.1"},
      {"Vexalon0/FCoEEFIVersion", "=3.0"},
      {"Vexalon0/UEFIBIOSVersion", "="},
      {"Vexalon0/PHYFirmwareVersion", "=1.2.3"},
      {"Vexalon0/PHYConfigurationId", "=0x00A1"},
      {"Vexalon0/IPLFileName", "=" + ipl_record(7)},
      {"Vexalon1/IPLFileName", "=" + ipl_record(114)},
      {"Vexalon1/PHYFirmwareVersion", "=N/A"},
      {"Vexalon1/Personality/AvailablePersonalities", "NIC"},   // later generations leave the default
      {"Vexalon2/IPLFileName", "=N/A"},
      {"Vexalon2/PHYConfigurationId", "=0x"},
      // Generation 4 is asked on the NIC node through its NIC function, which names this adapter.
      {"Vexalon3/OEM/OEMSerialNumber", "N/A"},
      {"Vexalon3/OEM/TalvixSerialNumber", "BL34323032"},
      {"Vexalon3/Personality/AvailablePersonalities", "iSCSI/FCoE"},
      {"Vexalon3/IPLFileName", "=QM-4T10.ufi"},
      {"Vexalon3/PHYFirmwareVersion", "=N/A"},
      {"Vexalon4/Personality/AvailablePersonalities", "NIC/iSCSI/FCoE"},
      {"Vexalon4/IPLFileName", "=N/A"},
  };
  for (const auto& [path, want] : rows) {
    EXPECT_EQ(want[0] == '=' ? "=" + cached_at(path) : value_at(path), want) << path;
  }
  // Every request goes out zeroed, at its size.
  const std::pair<int, size_t> requests[] = {{76, 44}, {113, 512}, {121, 612}};
  for (const auto& [opcode, size] : requests) {
    const auto payloads = sim_.payloads_of(static_cast<uint8_t>(opcode), 1);
    EXPECT_FALSE(payloads.empty()) << opcode;
    for (const auto& p : payloads) EXPECT_EQ(p, std::vector<uint8_t>(size, 0)) << opcode;
  }
}

TEST_F(ControllerOem, RefusedCommandsLeaveTheirStatusAndTheValues) {
  const struct { int opcode; uint32_t (*step)(hm_node*); const char* controller; uint32_t code; const char* text; } rows[] = {
      {76, vx::VARU_update_oem_props, "Vexalon0", 74, vx::msg::kNoOemAttributes},
      {76, vx::VARU_update_oem_props, "Vexalon3", 74, vx::msg::kNoOemAttributes},
      {113, vx::VARU_update_available_personalities, "Vexalon4", 176, vx::msg::kNoAvailablePersonalities},
      {76, vx::VARU_update_available_personalities, "Vexalon3", 74, vx::msg::kNoOemAttributes},
  };
  for (const auto& row : rows) {
    const std::string before = tree_text(tag_at(row.controller));
    sim_.inject_status(row.opcode, 1, 3, 0, 1);
    EXPECT_STATUS(run_step(row.step, row.controller), row.code, row.text);
    EXPECT_EQ(tree_text(tag_at(row.controller)), before) << row.opcode;
  }
  const std::string before = tree_text(tag_at("Vexalon1"));
  sim_.inject_status(121, 1, 3, 0, 1);
  EXPECT_NE(run_step(vx::VARU_update_cntr_additional_attribs, "Vexalon1"), 0u);
  EXPECT_EQ(tree_text(tag_at("Vexalon1")), before);
}

TEST_F(ControllerOem, RepliesWithoutTerminatorsGiveBoundedValues) {
  const struct { int opcode; char fill; uint32_t (*step)(hm_node*); const char* controller; const char* path; size_t length; } rows[] = {
      {76, 'A', vx::VARU_update_oem_props, "Vexalon0", "OEM/OEMSerialNumber", 24},
      {76, 'A', vx::VARU_update_oem_props, "Vexalon3", "OEM/OEMSerialNumber", 24},
      {113, 'C', vx::VARU_update_available_personalities, "Vexalon0", "Personality/AvailablePersonalities", 255},
      {121, 'B', vx::VARU_update_cntr_additional_attribs, "Vexalon0", "UEFISCSIVersion", 32},
      {121, 'B', vx::VARU_update_cntr_additional_attribs, "Vexalon0", "PHYFirmwareVersion", 160},
      {121, 'B', vx::VARU_update_cntr_additional_attribs, "Vexalon0", "PHYConfigurationId", 10},
      {121, 'B', vx::VARU_update_cntr_additional_attribs, "Vexalon1", "IPLFileName", 88},
  };
  for (const auto& row : rows) {
    const size_t room = row.opcode == 76 ? 44 : row.opcode == 113 ? 512 : 612;
    sim_.reply_with(row.opcode, 1, std::vector<uint8_t>(room, static_cast<uint8_t>(row.fill)));
    run_step(row.step, row.controller);
    EXPECT_EQ(cached_at(std::string(row.controller) + "/" + row.path).size(), row.length) << row.path;
  }
}

TEST_F(StartupTest, OnAVirtualFunctionOemAndPersonalitiesReadNotAvailable) {
  vx::vm_flag = 0;
  use_config_text(R"({"adapters": [{"serial_number": "VF1", "generation": 3, "virtual_function": true,
                      "iscsi_functions": [{"function": 2}], "nic_functions": [{"function": 0}]}]})");
  ASSERT_EQ(start(), 0u);
  for (const char* path : {"OEM/OEMSerialNumber", "OEM/TalvixSerialNumber", "OEM/PersonalityManagementWord",
                           "Personality/AvailablePersonalities"}) {
    EXPECT_EQ(value_at(std::string("Vexalon0/") + path), "N/A") << path;
  }
  EXPECT_STATUS(run_step(vx::VARU_update_available_personalities, "Vexalon0"), 256, vx::msg::kNotOnVirtualFunction);
  EXPECT_EQ(run_step(vx::VARU_update_oem_props, "Vexalon0"), 1u);
}

}  // namespace
}  // namespace vxtest
