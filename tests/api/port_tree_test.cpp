// The port tree that start-up builds for every controller of examples/nic-lab.json, seen through
// the public calls: port instances and their fixed facts per generation, PG and ApplicationTLV
// instances, persistence of the administrator's TLVs, and the steps' failures.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/walks.h"
#include "adapter/port_tree.h"
#include "engine/messages.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kGen5Port0 = "Vexalon0/PortDiscoveryAndConfiguration0";
constexpr const char* kGen3Port0 = "Vexalon1/PortDiscoveryAndConfiguration0";
constexpr const char* kAdminTlvs = "/DCBX/ApplicationTLVGroups/AdministratorTLVSetting";
constexpr const char* kPGs = "/DCBX/PriorityGroups/";

std::vector<uint32_t> instances(const std::string& parent, const char* group) {
  std::vector<uint32_t> numbers(64);
  uint32_t count = 0;
  if (VARU_get_valid_instances(static_cast<int32_t>(tag_at(parent)), group, numbers.data(), &count) != 0) return {};
  numbers.resize(count);
  return numbers;
}

std::vector<uint32_t> persistent() {
  std::vector<uint32_t> tags(64);
  int32_t count = static_cast<int32_t>(tags.size());
  if (VARU_get_persistent_nodes(tags.data(), &count) != 0) return {};
  tags.resize(static_cast<size_t>(count));
  return tags;
}

hm_node* node(const std::string& path) { return vx::get_node(static_cast<int32_t>(tag_at(path))); }

class PortTree : public StartupTest {};

TEST_F(PortTree, EveryControllerGetsItsPortsWithTheirFactsPGsAndApplicationTLVs) {
  use_example("nic-lab.json");
  ASSERT_EQ(start(), 0u);
  // Physical HBAs on ports 0 and 2 only: two instances, numbered 0 and 1.
  EXPECT_EQ(instances("Vexalon1", "PortDiscoveryAndConfiguration"), (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(value_at(std::string(kGen3Port0) + "/PortNumber"), "0");
  EXPECT_EQ(value_at("Vexalon1/PortDiscoveryAndConfiguration1/PortNumber"), "2");

  std::string names;
  const uint32_t port = tag_at(kGen3Port0);
  for (int32_t kind : {VARU_KIND_PROPERTY, VARU_KIND_GROUP, VARU_KIND_ACTION}) {
    names += std::to_string(children_of(port, kind).size()) + " ";
  }
  EXPECT_EQ(names, "16 4 4 ");
  std::vector<uint32_t> tags;
  collect_tags(port, &tags);
  EXPECT_EQ(tags.size(), 182u + 8 * (4 + 3 + 3) + 3 * 11)
      << "the fixed subtree, PG0-PG7 of each setting, no TLV, and the channels of its three functions";
  for (const char* setting : {"AdministratorPGSetting", "PeerPGSetting", "OperationalPGSettings"}) {
    EXPECT_EQ(instances(kGen3Port0 + std::string(kPGs) + setting, "PG"),
              (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
  }

  // The fixed facts as each generation reports them (the live properties' readers come later).
  const std::pair<std::string, std::string> facts[] = {
      {"Vexalon0/PortDiscoveryAndConfiguration0/PortName", "A"},
      {"Vexalon0/PortDiscoveryAndConfiguration1/InterfaceType", "BASET_10GB_TYPE"},
      {"Vexalon0/PortDiscoveryAndConfiguration1/ANSpeedsSupported", "100Mb,1Gb,10Gb"},
      {"Vexalon0/PortDiscoveryAndConfiguration1/ForceSpeedsSupported", "10Gb"},
      {"Vexalon0/PortDiscoveryAndConfiguration1/BaseT10G/IsClearCountersSupported", "True"},
      {"Vexalon0/Diagnostics/IsLoopbackSupported", "True"},
      {"Vexalon1/PortDiscoveryAndConfiguration1/PortName", "2"},
      {"Vexalon1/PortDiscoveryAndConfiguration1/InterfaceType", "KX4_10GB_TYPE"},
      {"Vexalon1/PortDiscoveryAndConfiguration1/ANSpeedsSupported", "1Gb,10Gb"},
      {"Vexalon1/PortDiscoveryAndConfiguration1/BaseT10G/IsClearCountersSupported", "N/A"},
      {"Vexalon1/Diagnostics/IsLoopbackSupported", "False"},
      {"Vexalon2/PortDiscoveryAndConfiguration0/ANSpeedsSupported", "N/A"},
      {"Vexalon2/PortDiscoveryAndConfiguration1/PortName", "1"},
      {"Vexalon2/PortDiscoveryAndConfiguration1/InterfaceType", "Not Supported"},
      {"Vexalon3/PortDiscoveryAndConfiguration0/ForceSpeedsSupported", "N/A"},
      {"Vexalon3/PortDiscoveryAndConfiguration1/PortName", "1"},
      {"Vexalon3/PortDiscoveryAndConfiguration1/InterfaceType", "N/A"},
  };
  for (const auto& [path, want] : facts) EXPECT_EQ(cached_at(path), want) << path;

  // Entries 0 and 3 in use: instances 0 and 1, each showing and recording its own entry.
  const std::string admin = kGen5Port0 + std::string(kAdminTlvs);
  EXPECT_EQ(instances(admin, "ApplicationTLV"), (std::vector<uint32_t>{0, 1}));
  const std::pair<std::string, std::string> tlv[] = {
      {"/ApplicationTLV0/ProtocolID", "0x8906"}, {"/ApplicationTLV0/ProtocolSelector", "0"},
      {"/ApplicationTLV1/ProtocolID", "0xcbc"},  {"/ApplicationTLV1/ProtocolSelector", "1"},
      {"/ApplicationTLV1/PriorityBitMap", "0x10"}, {"/ApplicationTLV1/OUI", "0x1b21"},
  };
  for (const auto& [path, want] : tlv) EXPECT_EQ(cached_at(admin + path), want) << path;
  EXPECT_EQ(vx::apptlv_entry(node(admin + "/ApplicationTLV1")), 3);
  const std::string operational = std::string(kGen5Port0) + "/DCBX/ApplicationTLVGroups/OperationalTLVSettings";
  EXPECT_EQ(vx::apptlv_entry(node(operational + "/ApplicationTLV0")), 3);
  const std::string peer = "Vexalon0/PortDiscoveryAndConfiguration1/DCBX/ApplicationTLVGroups/PeerTLVSetting";
  EXPECT_EQ(cached_at(peer + "/ApplicationTLV0/OUI"), "0xa0c9");

  // Only the administrator's are persistent: in creation order, with what AddApplicationTLV needs.
  const std::vector<uint32_t> saved = persistent();
  ASSERT_EQ(saved, (std::vector<uint32_t>{tag_at(admin + "/ApplicationTLV0"), tag_at(admin + "/ApplicationTLV1")}));
  hm_persistence_info info{};
  ASSERT_EQ(VARU_get_persistence_info(static_cast<int32_t>(saved[1]), &info), 0u);
  EXPECT_EQ(info.action_tag, tag_at(admin + "/AddApplicationTLV", VARU_KIND_ACTION));
  EXPECT_EQ(info.invoked_on_tag, tag_at(admin));
  EXPECT_EQ(std::string(info.params[0]) + "," + info.params[1] + "," + info.params[2] + "," + info.params[3],
            "1,3260,16,6945");
  EXPECT_EQ(VARU_get_persistence_info(static_cast<int32_t>(tag_at(operational + "/ApplicationTLV0")), &info), 1u);
}

TEST_F(PortTree, APortWhoseDcbxReadFailsLeavesTheOtherPortsWhole) {
  use_example("nic-lab.json");
  sim_.inject_status(1, 16, 1, 0xFF, 1);   // the first DCBX read: port 0 of the first controller
  ASSERT_EQ(start(), 0u);
  for (const char* setting : {"AdministratorTLVSetting", "OperationalTLVSettings", "PeerTLVSetting"}) {
    EXPECT_EQ(instances(kGen5Port0 + std::string("/DCBX/ApplicationTLVGroups/") + setting, "ApplicationTLV").size(),
              0u);
  }
  EXPECT_EQ(instances(kGen5Port0 + std::string(kPGs) + "PeerPGSetting", "PG").size(), 8u) << "made before the read";
  EXPECT_EQ(instances("Vexalon0/PortDiscoveryAndConfiguration1/DCBX/ApplicationTLVGroups/PeerTLVSetting",
                      "ApplicationTLV").size(),
            1u);
  EXPECT_TRUE(persistent().empty());
}

TEST_F(PortTree, FailedReadsLeaveTheirStatus) {
  use_example("nic-lab.json");
  ASSERT_EQ(start(), 0u);
  hm_node* port = node(kGen3Port0);
  const int32_t handle = vx::get_port_number(port);
  sim_.inject_status(77, 1, 1, 0xFF, 1);
  EXPECT_STATUS(vx::VARU_update_portname(handle, port), 75, vx::msg::kPortNameFailed);
  sim_.inject_status(102, 1, 1, 0xFF, 2);
  EXPECT_STATUS(vx::VARU_update_speed_props(handle, port), 228, vx::msg::kPhyDetailFailed);
  EXPECT_EQ(vx::VARU_update_interfacetype(handle, port), 1u);
  EXPECT_EQ(cached_at(std::string(kGen3Port0) + "/InterfaceType"), "N/A");
  hm_node* gen5_port = node(kGen5Port0);
  sim_.inject_status(8, 18, 1, 0xFF, 1);
  EXPECT_EQ(vx::VARU_update_is_clear_counter(vx::get_port_number(gen5_port), gen5_port), 0u);
  EXPECT_EQ(cached_at(std::string(kGen5Port0) + "/BaseT10G/IsClearCountersSupported"), "False");
  sim_.inject_status(20, 11, 1, 0xFF, 1);
  EXPECT_EQ(vx::VARU_update_diagnostics_prop(node("Vexalon0")), 1u);
}

TEST_F(PortTree, OnAVirtualFunctionThePortHasNoName) {
  use_config_text(R"({"adapters": [{"serial_number": "VF1", "generation": 3, "virtual_function": true,
                      "nic_functions": [{"function": 0, "port": 0}]}]})");
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(cached_at("Vexalon0/PortDiscoveryAndConfiguration0/PortName"), "N/A");
  EXPECT_EQ(cached_at("Vexalon0/PortDiscoveryAndConfiguration0/InterfaceType"), "SFP_PLUS_10GB_TYPE");
}

}  // namespace
}  // namespace vxtest
