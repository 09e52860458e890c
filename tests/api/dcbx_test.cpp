// DCBX of the ports of examples/nic-lab.json through the public calls: administrator edits and the
// record they carry over, priority groups, application TLVs (both record versions), mode, QCN,
// LLDP, the MIB and the operational mode.
#include <functional>
#include <string>
#include <vector>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/port_tree.h"
#include "engine/api_lock.h"
#include "engine/messages.h"
#include "tests/api/nic_lab_fixture.h"

namespace vxtest {
namespace {

const std::string kDcbx = std::string(kPort0) + "/DCBX/";
const std::string kAdminTlvs = kDcbx + "ApplicationTLVGroups/AdministratorTLVSetting";
const std::string kAdminPgs = kDcbx + "PriorityGroups/AdministratorPGSetting";

// The port's administrator record as the adapter holds it now.
std::vector<uint8_t> admin_record(const char* port, bool v1) {
  std::vector<uint8_t> r(v1 ? 368 : 312, 0);
  hm_node* node = vx::get_node(static_cast<int32_t>(tag_at(port)));
  vx::public_call("test", [&]() -> uint32_t {
    const int32_t handle = vx::get_port_number(node);
    const uint8_t number = static_cast<uint8_t>(vx::get_phba_port_number(node));
    return v1 ? vx::ioctl_get_dcbx_cfg_params_v1(handle, r.data(), 0, number, 1)
              : vx::ioctl_get_dcbx_cfg_params(handle, r.data(), 0, number, 1);
  });
  return r;
}

class Dcbx : public NicLab {};

TEST_F(Dcbx, AdministratorEditsCarryTheRecordOver) {
  struct Edit {
    const char* path;
    const char* value;
    bool v1;
    std::function<void(std::vector<uint8_t>&)> change;
    const char* reads;
  };
  const Edit edits[] = {
      {"PriorityGroups/AdministratorPGSetting/Willing", "No", false, [](auto& r) { r[4] &= ~4; }, "No"},
      // Only the low byte of 0x105 counts: priorities 0 and 2.
      {"PFC/AdministratorPFCSetting/PriorityBitMap", "261", false,
       [](auto& r) { std::fill(r.begin() + 64, r.begin() + 72, 0), r[64] = r[66] = 1; }, "0x05"},
      {"PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip", "0x81", false,
       [](auto& r) { r[32] = r[60] = 15; }, "0x81"},
      {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV1/PriorityBitMap", "0x03", false,
       [](auto& r) { std::fill(r.begin() + 128, r.begin() + 136, 0), r[128] = r[129] = 1; }, "0x03"},
      {"QCN/AdministratorQCNSetting/Willing", "Yes", true, [](auto& r) { r[12] |= 4; }, "Yes"},
      {"DCBXPortVars/DCBXState", "Disabled", false, [](auto& r) { r[0] = 0; }, "Disabled"},
  };
  for (const Edit& e : edits) {
    std::vector<uint8_t> want = admin_record(kPort0, e.v1);
    want[1] = want[2];   // the reply's entry count
    want[2] = want[3] = 0;
    std::fill(want.begin() + 20, want.begin() + 24, 0);
    if (!e.v1) std::fill(want.begin() + 12, want.begin() + 16, 0);
    if (e.v1) std::fill(want.begin() + 313, want.end(), 0);
    e.change(want);
    sim_.journal_clear();
    EXPECT_EQ(set_at(kDcbx + e.path, e.value), 0u) << e.path;
    EXPECT_EQ(last(2, 16), want) << e.path;
    EXPECT_EQ(value_at(kDcbx + e.path), e.reads) << e.path;
  }
  // The adapter copies administrator writes into the operational record.
  EXPECT_EQ(value_at(kDcbx + "PFC/OperationalPFCSettings/PriorityBitMap"), "0x05");
  EXPECT_EQ(value_at(kDcbx + "QCN/AdministratorQCNSetting/CNPVBitMap"), "0x8") << "kept by the QCN write";

  const std::pair<const char*, uint32_t> refused[] = {{"0x105", 8}, {"", 8}, {"2x", 6}, {"-1", 6}};
  sim_.journal_clear();
  for (const auto& [value, code] : refused) {
    EXPECT_EQ(set_at(kDcbx + "PFC/AdministratorPFCSetting/PriorityBitMap", value), 1u) << value;
    EXPECT_EQ(last_status().code, code) << value;
  }
  EXPECT_EQ(last_status().text, vx::msg::kInvalidValueCapital);
  EXPECT_EQ(sent(2, 16), 0u);
}

TEST_F(Dcbx, PriorityGroupsTakeTheirMembersFromEveryOtherGroup) {
  // 50 + 30 + 40: over 100 percent, nothing sent and nothing cached changes.
  EXPECT_STATUS(act_at(kAdminPgs + "/PG0/ConfigurePGSettings", {"0x03", "50"}), 51, vx::msg::kBandwidthOver100);
  EXPECT_EQ(sent(2, 16), 0u);
  EXPECT_EQ(cached_at(kAdminPgs + "/PG1/PriorityMembership"), "0");
  ASSERT_EQ(act_at(kAdminPgs + "/PG2/ConfigurePGSettings", {"0x03", "40"}), 0u);
  const std::vector<uint8_t> request = last(2, 16);
  ASSERT_EQ(request.size(), 312u);
  const uint8_t groups[8] = {2, 2, 1, 1, 15, 15, 15, 15};   // the priorities of no group go to 15
  for (int k = 0; k < 8; ++k) EXPECT_EQ(request[32 + 4 * k], groups[k]) << k;
  EXPECT_EQ(request[24 + 2], 40);
  const std::pair<const char*, const char*> members[] = {{"PG0", "0x00"}, {"PG1", "0x0c"}, {"PG2", "0x03"}};
  for (const auto& [pg, want] : members) EXPECT_EQ(cached_at(kAdminPgs + "/" + pg + "/PriorityMembership"), want);
  EXPECT_EQ(value_at(kAdminPgs + "/PG15PriorityMemberShip"), "0xf0");
  EXPECT_EQ(act_at(kAdminPgs + "/PG3/ConfigurePGSettings", {"0x80", "255"}), 0u) << "255 takes no share";
  EXPECT_EQ(value_at(kDcbx + "PriorityGroups/PeerPGSetting/PG1/PriorityMembership"), "0x70");
}

TEST_F(Dcbx, ApplicationTlvsAreAddedAndDeletedThroughTheirEntries) {
  // Entries 0 and 3 are in use: a new TLV takes entry 1 and becomes instance 2.
  std::vector<uint32_t> made(8);
  ASSERT_EQ(act(tag_at(kAdminTlvs), "AddApplicationTLV", {"1", "860", "0x20", nullptr}, made.data()), 0u);
  const std::string added = kAdminTlvs + "/ApplicationTLV2";
  EXPECT_EQ(made[0], tag_at(added));
  EXPECT_EQ(vx::apptlv_entry(vx::get_node(static_cast<int32_t>(tag_at(added)))), 1);
  std::vector<uint8_t> request = last(2, 16);
  ASSERT_EQ(request.size(), 368u);
  EXPECT_EQ(request[1], 3);
  EXPECT_EQ(std::vector<uint8_t>(request.begin() + 88, request.begin() + 104),
            (std::vector<uint8_t>{0x5c, 0x03, 1, 1, 0x21, 0x1b, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(value_at(added + "/PriorityBitMap") + value_at(added + "/OUI"), "0x200x1b21");
  hm_persistence_info info{};
  ASSERT_EQ(VARU_get_persistence_info(static_cast<int32_t>(tag_at(added)), &info), 0u);
  EXPECT_EQ(std::string(info.params[1]) + "," + info.params[3], "860,6945") << "the default OUI is recorded";

  ASSERT_EQ(act_at(kAdminTlvs + "/DeleteApplicationTLV", {"0"}), 0u);
  request = last(2, 16);
  EXPECT_EQ(request[1], 2);
  EXPECT_EQ(request[72 + 3], 0) << "entry 0 freed";
  EXPECT_EQ(tag_at(kAdminTlvs + "/ApplicationTLV0"), kMissing);
  EXPECT_STATUS(act_at(kAdminTlvs + "/DeleteApplicationTLV", {"0"}), 20, vx::msg::kInvalidInstanceNumber);

  // 13 entries are free: the fifteenth TLV fills the table, the sixteenth is refused unsent.
  for (int i = 0; i < 13; ++i) ASSERT_EQ(act_at(kAdminTlvs + "/AddApplicationTLV", {"0", "35078", "1", "0x1"}), 0u) << i;
  sim_.journal_clear();
  EXPECT_STATUS(act_at(kAdminTlvs + "/AddApplicationTLV", {"0", "35078", "1", nullptr}), 158, vx::msg::kMaxApplicationTlvs);
  EXPECT_EQ(sent(2, 16), 0u);

  // A refresh makes the instances again from the record, in entry order and not persistent.
  EXPECT_EQ(VARU_refresh_group(tag_at(kAdminTlvs)), 0u);
  EXPECT_EQ(value_at(kAdminTlvs + "/ApplicationTLV14/ProtocolID"), "0x8906");
  EXPECT_EQ(VARU_get_persistence_info(static_cast<int32_t>(tag_at(kAdminTlvs + "/ApplicationTLV0")), &info), 1u);
}

TEST_F(Dcbx, FirmwareWithTheShortRecordOnlyTakesTlvsThroughIt) {
  const std::string tlvs = std::string(kPort1) + "/DCBX/ApplicationTLVGroups/AdministratorTLVSetting";
  ASSERT_EQ(act_at(tlvs + "/AddApplicationTLV", {"0", "0x8914", "3", "0x123"}), 0u);
  ASSERT_EQ(sent(2, 16), 1u);
  EXPECT_EQ(last(2, 16).size(), 312u);
  EXPECT_EQ(value_at(tlvs + "/ApplicationTLV0/ProtocolID") + value_at(tlvs + "/ApplicationTLV0/OUI"), "0x89140x123");
  EXPECT_EQ(act_at(tlvs + "/DeleteApplicationTLV", {"0"}), 0u);
  EXPECT_EQ(last(2, 16)[72 + 3], 0);
  // The entry holds 16 bits; the other parameters must be numbers.
  const std::pair<std::vector<const char*>, const char*> refused[] = {
      {{"0", "70000", "3", nullptr}, "ProtocolID: Invalid Value."},
      {{"0", "1", "zz", nullptr}, "PriorityBitMap: Invalid Value."},
      {{"0", "1", "3", "0x1g"}, "OUI: Invalid Value."},
  };
  for (const auto& [slots, text] : refused) {
    EXPECT_STATUS(act(tag_at(tlvs), "AddApplicationTLV", {slots[0], slots[1], slots[2], slots[3]}), 6, text);
  }
  EXPECT_EQ(sent(2, 16), 2u);
}

TEST_F(Dcbx, FailedTlvEditsTellTheDcbxSettingsWereNotObtained) {
  const std::string tlvs = std::string(kPort1) + "/DCBX/ApplicationTLVGroups/AdministratorTLVSetting";
  ASSERT_EQ(act_at(tlvs + "/AddApplicationTLV", {"0", "0x8914", "3", nullptr}), 0u);
  // Port 0 edits the 368-byte record; port 1 knows only the 312-byte one, read after the other's
  // refusal. An add fails with 1, a delete with the failing status (1/99 and 1/100 map to 198 and
  // 243); nothing changes.
  struct Row {
    const std::string group;
    bool add;
    int opcode;
    int skip;
    uint16_t additional;
    uint32_t result;
  };
  const Row rows[] = {
      {kAdminTlvs, false, 1, 0, 99, 198}, {kAdminTlvs, true, 1, 0, 99, 1},
      {tlvs, false, 1, 1, 99, 198},       {tlvs, false, 2, 0, 100, 243},
      {tlvs, true, 1, 1, 99, 1},          {tlvs, true, 2, 0, 100, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.group + (r.add ? " add, opcode " : " delete, opcode ") + std::to_string(r.opcode));
    const size_t before = groups_under(r.group).size();
    sim_.inject_status_after(r.opcode, 16, 1, r.additional, r.skip, 1);
    EXPECT_EQ(r.add ? act_at(r.group + "/AddApplicationTLV", {"0", "35078", "1", nullptr})
                    : act_at(r.group + "/DeleteApplicationTLV", {"0"}),
              r.result);
    EXPECT_EQ(last_status().code, 101u);
    EXPECT_EQ(last_status().text, vx::msg::kDcbxReadFailed);
    EXPECT_EQ(groups_under(r.group).size(), before);
    sim_.clear_faults();
  }
  // A full table is told as such through the short record too.
  for (int i = 1; i < 15; ++i) ASSERT_EQ(act_at(tlvs + "/AddApplicationTLV", {"0", "35078", "1", nullptr}), 0u) << i;
  EXPECT_STATUS(act_at(tlvs + "/AddApplicationTLV", {"0", "35078", "1", nullptr}), 158, vx::msg::kMaxApplicationTlvs);
}

TEST_F(Dcbx, ModeChangesOnlyToWhatTheRequestCanSay) {
  const std::string mode = kDcbx + "DCBXPortVars/DCBXMode";
  EXPECT_EQ(value_at(mode), "Auto-IEEE");
  EXPECT_EQ(set_at(mode, "auto-ieee"), 0u);
  EXPECT_STATUS(set_at(mode, "Auto-CEE"), 291, vx::msg::kNotSupportedOnAdapter);
  EXPECT_EQ(sent(5, 16), 0u);
  EXPECT_EQ(set_at(mode, "CIN"), 0u);
  EXPECT_EQ(last_status().code, 152u) << "a change that needs a reboot";
  EXPECT_EQ(last(5, 16), (std::vector<uint8_t>{0, 1, 0, 0}));
  EXPECT_EQ(value_at(mode), "CIN");
  sim_.reply_with(4, 16, {4, 0, 0, 0});
  EXPECT_EQ(value_at(mode), "CIN") << "an unknown mode leaves the text";
}

TEST_F(Dcbx, QcnLldpAndPortVariablesReadWhatTheAdapterHolds) {
  const std::pair<std::string, std::string> rows[] = {
      {kDcbx + "QCN/AdministratorQCNSetting/Enabled", "Yes"},
      {kDcbx + "QCN/PeerQCNSetting/ReadyBitMap", "0x10"},
      {kDcbx + "QCN/OperationalQCNSettings/OperationalMode", "True"},
      {kDcbx + "PFC/PeerPFCSetting/Error", "Yes"},
      {kDcbx + "PriorityGroups/PeerPGSetting/NumPGSupported", "2"},
      {kDcbx + "PriorityGroups/PeerPGSetting/PG15PriorityMemberShip", "0x80"},
      {kDcbx + "PriorityGroups/OperationalPGSettings/OperationalMode", "True"},
      {std::string(kPort1) + "/DCBX/PriorityGroups/OperationalPGSettings/OperationalMode", "N/A"},
      {"Vexalon1/PortDiscoveryAndConfiguration0/DCBX/PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip",
       "N/A"},
      {kDcbx + "DCBXPortVars/SequenceNumber", "2"},
      {kDcbx + "DCBXPortVars/AppFeatureSequenceNumber", "10"},
      {kDcbx + "DCBXStatistics/NumPacketsDropped", "20"},
      {"Vexalon3/PortDiscoveryAndConfiguration0/DCBX/DCBXStatistics/TxPacketCount", "9"},
      {std::string(kPort0) + "/LLDP/LocalConfiguration/SystemNameTLV", "Enabled"},
      {std::string(kPort0) + "/LLDP/LocalConfiguration/SystemDescriptionTLV", "Disabled"},
      {std::string(kPort0) + "/LLDP/LocalConfiguration/ChassisType", "MAC Address"},
      {std::string(kPort0) + "/LLDP/LocalConfiguration/SystemCapabilities", "Station"},
      {std::string(kPort0) + "/LLDP/PeerConfiguration/PortId", "Ethernet1/7"},
      {std::string(kPort0) + "/LLDP/PeerConfiguration/SystemCapabilities", "Bridge"},
      {std::string(kPort0) + "/LLDP/LLDPStatistics/UnrecognizedTLVs", "7"},
      {std::string(kPort0) + "/LLDP/LLDPStatistics/OrganizationalTLVCount", "1"},
  };
  for (const auto& [path, want] : rows) EXPECT_EQ(value_at(path), want) << path;
  // QCN needs a generation with it.
  for (const char* controller : {"Vexalon1", "Vexalon2", "Vexalon3"}) {
    const std::string qcn = std::string(controller) + "/PortDiscoveryAndConfiguration0/DCBX/QCN/AdministratorQCNSetting";
    EXPECT_EQ(value_at(qcn + "/Enabled"), "<1>") << controller;
    EXPECT_STATUS(set_at(qcn + "/Enabled", "Yes"), 326, vx::msg::kQcnNotSupported);
  }
  // A configured multichannel type (NPAR on the generation-3 adapter) takes the operational mode
  // away; so does the firmware's function capability, before any DCBX read.
  EXPECT_EQ(value_at("Vexalon1/PortDiscoveryAndConfiguration0/DCBX/PriorityGroups/OperationalPGSettings/OperationalMode"),
            "N/A");
  std::vector<uint8_t> config(124, 0);
  config[120] = 0x40;
  sim_.reply_with(58, 1, config);
  sim_.journal_clear();
  EXPECT_EQ(value_at(kDcbx + "DCBXPortVars/DCBXState"), "N/A");
  EXPECT_EQ(sent(1, 16), 0u);
}

TEST_F(Dcbx, LldpSwitchesChangeOneBitOfTheLocalRecord) {
  const std::string local = std::string(kPort0) + "/LLDP/LocalConfiguration/";
  EXPECT_EQ(set_at(local + "TxState", "enabled"), 0u);
  EXPECT_EQ(sent(2, 15), 0u) << "already so";
  EXPECT_EQ(set_at(local + "TxState", "Disabled"), 0u);
  EXPECT_EQ(last(2, 15), (std::vector<uint8_t>{0x02, 1, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(set_at(local + "SystemCapabilitiesTLV", "Enabled"), 0u);
  EXPECT_EQ(last(2, 15), (std::vector<uint8_t>{0x02, 1, 1, 0, 1, 0, 0, 0}));
  EXPECT_EQ(value_at(local + "TxState") + value_at(local + "SystemCapabilitiesTLV"), "DisabledEnabled");
  sim_.inject_status(2, 15, 1, 0xFF, 1);
  EXPECT_NE(set_at(local + "RxState", "Disabled"), 0u);
  EXPECT_EQ(last_status().text, vx::msg::kLldpWriteFailed);
  EXPECT_EQ(cached_at(local + "RxState"), "Enabled");
}

}  // namespace
}  // namespace vxtest
