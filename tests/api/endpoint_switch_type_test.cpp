// What no table installs and no caller reaches, driven directly: the IP-endpoint readers of a NIC
// physical HBA (on a group of their own, as a table would put them) and the switch-type update.
#include "access/walks.h"
#include "adapter/controller_properties.h"
#include "engine/api_lock.h"
#include "engine/builder.h"
#include "engine/messages.h"
#include "tests/api/nic_lab_fixture.h"

namespace vxtest {
namespace {

// Vexalon0 (found first through its iSCSI function) has every function-mode bit but the switch
// type's; Vexalon1 only that one, and the host named only its first NIC function.
constexpr const char* kAdapters = R"({"adapters": [
 {"serial_number": "SW5", "generation": 5, "pci": {"bus": 5}, "fw_config": {"function_mode": "0x20000"},
  "nic_functions": [{"function": 0, "port": 0}, {"function": 1, "port": 1}]},
 {"serial_number": "SW3", "generation": 3, "pci": {"bus": 3}, "fw_config": {"function_mode": "0xfffdffff"},
  "iscsi_functions": [{"function": 1}], "nic_functions": [{"function": 0}]}]})";

#define READER(p) vx::property(vx::kInstance, #p, "-", kReadOnly, vx::handle_CIM_##p, vx::length(0, 255), "-")
vx::InstanceBits g_bits;
constexpr vx::SchemaRow kRows[] = {READER(IPProtocolEndPointName), READER(IPProtocolIfType), READER(IPv4Address),
                                   READER(SubnetMask), READER(GateWay), READER(IPv6GateWay), READER(IPv6Address),
                                   READER(AddressOrigin)};
#undef READER
constexpr vx::GroupSpec kEndpoint = vx::group_spec("IPEndpoint", "-", 1, nullptr, kRows, g_bits);

hm_node* node_at(const std::string& path) { return vx::get_node(static_cast<int32_t>(tag_at(path))); }

class EndpointAndSwitchType : public NicLab {
 protected:
  void SetUp() override {
    root_.write("/etc/vmware/esx.conf", "/device/005:00.0/vmkname = \"vmnic4\"\n");   // kept by the simulator
    use_config_text(kAdapters);
    ASSERT_EQ(start(), 0u);
    ASSERT_EQ(value_at("Vexalon1/SerialNumber"), "SW5");
    sim_.journal_clear();
  }
};

TEST_F(EndpointAndSwitchType, EndpointReadersAnswerTheHostsValuesOrTheirFallBacks) {
  for (const char* parent : {"Vexalon1/NICPhysicalHBA0", "Vexalon1/NICPhysicalHBA1", ""}) {
    ASSERT_NE(vx::build_instance(kEndpoint, node_at(parent), nullptr, nullptr, nullptr), nullptr);
  }
  // The host layer reports no interface type, origin or address ("N/A"): texts stay, addresses fall back.
  const std::string n0 = "Vexalon1/NICPhysicalHBA0/IPEndpoint0/", n1 = "Vexalon1/NICPhysicalHBA1/IPEndpoint0/";
  const std::pair<std::string, const char*> rows[] = {
      {n0 + "IPProtocolEndPointName", "vmnic4"}, {n1 + "IPProtocolEndPointName", "N/A"},   // the host has no name
      {n0 + "IPProtocolIfType", "N/A"},          {n0 + "AddressOrigin", "N/A"},
      {n0 + "IPv4Address", "0.0.0.0"},          {n0 + "SubnetMask", "0.0.0.0"},
      {n1 + "GateWay", "0.0.0.0"},               {n0 + "IPv6GateWay", "0000:0000:0000:0000"},
      {n1 + "IPv6Address", "0000:0000:0000:0000"}, {"IPEndpoint0/IPv4Address", "<1>"},   // below no NIC HBA
  };
  for (const auto& [path, want] : rows) EXPECT_EQ(value_at(path), want) << path;
  EXPECT_TRUE(sim_.commands().empty()) << "the readers ask the host, not the adapter";
  // An address of the reader's family is kept as the host gives it.
  EXPECT_STREQ(vx::endpoint_value("10.0.0.5", vx::EndpointValue::kIpv4), "10.0.0.5");
  EXPECT_STREQ(vx::endpoint_value("fe80::1", vx::EndpointValue::kIpv6), "fe80::1");
  EXPECT_STREQ(vx::endpoint_value("fe80::1", vx::EndpointValue::kIpv4), "0.0.0.0");
  EXPECT_STREQ(vx::endpoint_value("10.0.0.5", vx::EndpointValue::kIpv6), "0000:0000:0000:0000");
  EXPECT_STREQ(vx::endpoint_value("10.0.0.256", vx::EndpointValue::kIpv4), "0.0.0.0");
}

TEST_F(EndpointAndSwitchType, SwitchTypeIsSetOnlyWhenTheFunctionModeAsks) {
  std::vector<uint8_t> asks(16, 0);
  asks[14] = 0x02;   // bit 0x20000 of the u32 at 12
  // Controller, its physical HBA, the mode answered in place of the adapter's, a status for the
  // configuration read; the result and the set-switch-type commands sent.
  const struct {
    const char *controller, *phba;
    bool asks;
    uint8_t fail;
    uint32_t want;
    size_t sets;
  } rows[] = {
      {"Vexalon1", "NICPhysicalHBA0", false, 0, 0, 1},     {"Vexalon0", "iSCSIPhysicalHBA0", false, 0, 0, 0},
      {"Vexalon1", "NICPhysicalHBA1", false, 66, 149, 0},  // the configuration cannot be read
      {"Vexalon0", "iSCSIPhysicalHBA0", true, 0, 149, 1},  // the adapter's own mode refuses the command
  };
  for (const auto& row : rows) {
    sim_.journal_clear();
    if (row.asks) sim_.reply_with(58, 1, asks);
    if (row.fail != 0) sim_.inject_status(58, 1, row.fail, 0, 1);
    hm_node* controller = node_at(row.controller);
    hm_node* phba = node_at(std::string(row.controller) + "/" + row.phba);
    EXPECT_EQ(vx::public_call("test", [&] {
                return vx::VARU_update_switch_type(controller, vx::get_port_number(phba), 0,
                                                   static_cast<uint8_t>(vx::get_phba_port_number(phba)));
              }),
              row.want) << row.phba << row.fail << row.asks;
    EXPECT_EQ(last_status().text, row.want == 0 ? "" : vx::msg::kFwOperationNotSupported);
    EXPECT_EQ(sent(58, 1), 1u);
    EXPECT_EQ(sim_.payloads_of(124, 1), std::vector<std::vector<uint8_t>>(row.sets, std::vector<uint8_t>(8, 0)));
  }
}

}  // namespace
}  // namespace vxtest
