// Start-up when adapters are missing, fail or answer nonsense: it always succeeds, and one failing
// function or adapter never keeps the others out of the tree.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "access/backend_state.h"
#include "backend/enumeration.h"
#include "access/platform.h"
#include "access/wire.h"
#include "adapter/controller_attribs.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

constexpr const char* kAdapterNotFound =
    "Brightlane Adapter Not found. Please make sure Talvix NIC/iSCSI drivers are installed properly or Brightlane "
    "adapter inserted on PCIe Slot.";

// One adapter of a configuration: iSCSI functions 4..4+ports-1 and NIC functions 0..ports-1 on
// ports 0..ports-1 (either kind may be left out).
std::string adapter(const std::string& serial, int generation, int bus, bool iscsi, bool nic,
                    const std::string& extra = "") {
  std::string s = "{\"serial_number\": \"" + serial + "\", \"generation\": " + std::to_string(generation) +
                  ", \"pci\": {\"bus\": " + std::to_string(bus) + "}, \"ports\": 2" + extra;
  if (iscsi) s += ", \"iscsi_functions\": [{\"function\": 4, \"port\": 0}, {\"function\": 5, \"port\": 1}]";
  if (nic) s += ", \"nic_functions\": [{\"function\": 0, \"port\": 0}, {\"function\": 1, \"port\": 1}]";
  return s + "}";
}

std::string config(const std::vector<std::string>& adapters) {
  std::string s = "{\"adapters\": [";
  for (size_t i = 0; i < adapters.size(); ++i) s += (i ? ", " : "") + adapters[i];
  return s + "]}";
}

// No adapter, an adapter without functions, no simulator or drivers at all: only ROOT stands.
TEST_F(StartupTest, WithoutAdaptersOnlyRootStandsAndStatusIs313) {
  for (const char* json : {"{\"adapters\": []}", "{\"adapters\": [{\"serial_number\": \"X1\", \"generation\": 3}]}",
                           static_cast<const char*>(nullptr)}) {
    log_level(6);
    if (json != nullptr) use_config_text(json);
    if (json == nullptr) ::unsetenv("VXIMA_SIMULATOR");
    ASSERT_EQ(start(), 0u);
    EXPECT_EQ(last_status().code, 313u);
    EXPECT_EQ(last_status().text, kAdapterNotFound);
    EXPECT_TRUE(groups_under("").empty());
    EXPECT_EQ(children_of(0, VARU_KIND_PROPERTY).size(), 3u);
    EXPECT_EQ(value_at("VARUServiceVersion") + value_at("VARUHierarchyVersion"), "00");
    EXPECT_NE(log().find("backend_init:Brightlane Adapter Not Found.\n"), std::string::npos);
    stop();
  }
}

TEST_F(StartupTest, FirstIscsiFunctionFailingLeavesTheRest) {
  log_level(6);
  use_example("two-adapters.json");
  sim_.inject_status(32, 1, 3, 0, 1);   // the first controller-attributes command
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(groups_under(""), (Strings{"Vexalon0", "Vexalon1"}));
  EXPECT_EQ(phbas_of("Vexalon0"), (Strings{"iSCSIPhysicalHBA0", "NICPhysicalHBA0", "NICPhysicalHBA1"}));
  EXPECT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/PCI/FunctionNumber"), "0x3");
  EXPECT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/PortNumber"), "1");
  EXPECT_EQ(phbas_of("Vexalon1").size(), 4u);
  EXPECT_NE(log().find("VARU_enumerate_iscsi_functions:VARU_get_cntr_attribs failed for i = 0.\n"), std::string::npos);
  // Port 0 of adapter 0 now has only its NIC function.
  EXPECT_EQ(vx::get_port_bitmap(0, 0), vx::kPortBitNic);
  EXPECT_EQ(vx::get_port_bitmap(0, 1), vx::kPortBitIscsi);
}

TEST_F(StartupTest, AdapterWhoseIscsiFunctionsFailIsStillFoundThroughItsNicFunctions) {
  use_example("two-adapters.json");
  sim_.inject_status(32, 1, 3, 0, 2);   // both iSCSI functions of the first adapter
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(value_at("Vexalon0/SerialNumber"), "BL5202B0007");
  EXPECT_EQ(phbas_of("Vexalon0").size(), 4u);
  EXPECT_EQ(value_at("Vexalon1/SerialNumber"), "BL3202A0001");
  EXPECT_EQ(phbas_of("Vexalon1"), (Strings{"NICPhysicalHBA0", "NICPhysicalHBA1"}));
  EXPECT_EQ(vx::varu_glob.protocol_mask[0], vx::kProtocolBitIscsi);
  EXPECT_EQ(vx::varu_glob.protocol_mask[1], vx::kProtocolBitNic);
  EXPECT_EQ(vx::get_port_bitmap(1, 0), vx::kPortBitNic);
  EXPECT_TRUE(groups_under("Vexalon1/NICPhysicalHBA0").size() == 6u);
}

TEST_F(StartupTest, NicFunctionWithoutAttributesJoinsItsAdapterByPciAddress) {
  use_example("one-adapter.json");
  sim_.inject_errno(32, 1, static_cast<uint32_t>(vx::wire::kNicFirmwareCommand), EIO, 1);
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(groups_under(""), (Strings{"Vexalon0"}));
  EXPECT_EQ(phbas_of("Vexalon0"),
            (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0", "NICPhysicalHBA1"}));
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/PCI/BusNumber"), "0x3");
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/PCI/FunctionNumber"), "0x0");
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/PCI/DeviceID"), "0") << "identity unknown";
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/IfName"), "vmnic0");
  EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA1/PCI/DeviceID"), "0x0710");
}

TEST_F(StartupTest, FailingDriverRequestsOnlyLeaveTheirValuesUnset) {
  for (uint32_t request : {vx::wire::kIscsiHostAdapterName, vx::wire::kNicVirtualFunctions}) {
    use_example("two-adapters.json");
    sim_.inject_errno(VXSIM_ANY, VXSIM_ANY, request, EIO, -1);
    ASSERT_EQ(start(), 0u);
    EXPECT_EQ(groups_under("").size(), 2u);
    EXPECT_EQ(phbas_of("Vexalon1").size(), 4u);
    if (request == vx::wire::kIscsiHostAdapterName) {
      EXPECT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0/IfName"), "vmhba");
    } else {
      EXPECT_EQ(groups_under("Vexalon1/NICPhysicalHBA0").size(), 6u) << "no virtual function groups";
    }
    stop();
  }
}

TEST_F(StartupTest, ProbeRefusedOnAVirtualFunctionMarksIsVF) {
  const struct { int generation; bool virtual_function; const char* is_vf; } rows[] = {
      {3, false, "False"}, {3, true, "True"}, {5, true, "True"}, {4, true, "True"}, {2, true, "False"}};
  for (const auto& row : rows) {
    vx::vm_flag = 0;
    use_config_text(config({adapter("VM1", row.generation, 7, true, true,
                                    row.virtual_function ? ", \"virtual_function\": true" : "")}));
    ASSERT_EQ(start(), 0u);
    EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/IsVF") + value_at("Vexalon0/NICPhysicalHBA1/IsVF"),
              std::string(row.is_vf) + row.is_vf) << row.generation;
    EXPECT_EQ(vx::vm_flag, std::string(row.is_vf) == "True" ? 1 : 0);
    stop();
  }
}

TEST_F(StartupTest, QuentaAdapterWithoutOemSerialIsMatchedByPciAddress) {
  use_config_text(config({adapter("QT0001", 4, 5, true, true, ", \"oem_serial_number\": \"\""),
                          adapter("QT0002", 4, 6, true, true)}));
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(value_at("Vexalon0/SerialNumber") + " " + value_at("Vexalon1/SerialNumber"), "N/A QT0002");
  EXPECT_EQ(phbas_of("Vexalon0").size() + phbas_of("Vexalon1").size(), 8u);
  // The MAC list of the newer generations gives the factory address.
  EXPECT_EQ(value_at("Vexalon1/NICPhysicalHBA1/FactoryDefaultMACAddress"), "02-00-06-00-01-00");
}

uint32_t unreadable(hm_node*, char*, uint32_t) { return 1; }

// The controllers are compared in order; one that cannot be compared ends the search, and the
// function would get a controller of its own.
TEST_F(StartupTest, ControllerThatCannotBeComparedEndsTheSearch) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  vx::cntr_attribs rec{};   // a function of the second example adapter
  rec.bus = 4;
  std::memcpy(rec.serial_number, "BL5202B0007", 11);
  const auto* attrs = reinterpret_cast<const uint8_t*>(&rec);
  char text[256] = "";
  EXPECT_EQ(vx::VARU_get_iscsi_node_info(1, text, attrs, 0), vx::kNodeFound);
  EXPECT_STREQ(text, "1");
  // Vexalon0's first iSCSI physical HBA cannot tell its bus: both kinds stop there.
  hm_property* bus = vx::property_data(vx::get_node(static_cast<int32_t>(
      tag_at("Vexalon0/iSCSIPhysicalHBA0/PCI/BusNumber", VARU_KIND_PROPERTY))));
  ASSERT_NE(bus, nullptr);
  const hm_property_handler saved = bus->handler;
  bus->handler = unreadable;
  EXPECT_EQ(vx::VARU_get_iscsi_node_info(1, text, attrs, 0), vx::kNodeNew);
  EXPECT_EQ(vx::VARU_get_nic_node_info(1, text, attrs, 0), vx::kNodeNew);
  bus->handler = saved;
  // Without iSCSI physical HBAs Vexalon0 ends an iSCSI function's search; a NIC function's goes on.
  for (const char* path : {"Vexalon0/iSCSIPhysicalHBA1", "Vexalon0/iSCSIPhysicalHBA0"}) {
    hm_node* phba = vx::get_node(static_cast<int32_t>(tag_at(path)));
    vx::varu_dfree(vx::group_data(phba)->backend_info);
    vx::group_data(phba)->backend_info = nullptr;
    ASSERT_EQ(vx::delete_node(phba), 0u) << path;
  }
  EXPECT_EQ(vx::VARU_get_iscsi_node_info(1, text, attrs, 0), vx::kNodeNew);
  text[0] = '\0';
  EXPECT_EQ(vx::VARU_get_nic_node_info(1, text, attrs, 0), vx::kNodeFound);
  EXPECT_STREQ(text, "1");
}

// The VPD fill looks at the controller's generation before the function's PCI data.
TEST_F(StartupTest, VpdFillAsksForTheGenerationFirst) {
  use_example("one-adapter.json");
  ASSERT_EQ(start(), 0u);
  hm_node* phba = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0")));
  hm_node* pci = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0/PCI")));
  vx::set_prop_val(pci, "FunctionNumber", "%s", "2z");
  for (const auto& [device_id, status] : {std::pair<const char*, uint32_t>{"zz", 163}, {"0x0712", 0}}) {
    vx::set_prop_val(pci, "DeviceID", "%s", device_id);
    vx::varu_set_last_status(0, "");
    EXPECT_EQ(vx::VARU_update_vpd_data(phba, 1, 1), 1u) << device_id;
    EXPECT_EQ(last_status().code, status) << device_id;
  }
}

// Answers corrupted on their way back from the simulated driver.
int (*g_real_ioctl)(int, unsigned long, void*) = nullptr;

int corrupting_ioctl(int fd, unsigned long request, void* arg) {
  int rc = g_real_ioctl(fd, request, arg);
  auto* bytes = static_cast<uint8_t*>(arg);
  if (rc != 0 || bytes == nullptr) return rc;
  if (request == vx::wire::kIscsiFirmwareCommand && bytes[0] == 32) {
    bytes[16 + offsetof(vx::cntr_attribs, port_number)] = 9;
    bytes[16 + offsetof(vx::cntr_attribs, function)] = 200;
  }
  if (request == vx::wire::kNicVirtualFunctions) bytes[4 + vx::wire::kVfCountOffset] = 200;
  return rc;
}

TEST_F(StartupTest, CountsAndIndexesFromTheAdapterAreBounded) {
  use_example("two-adapters.json");
  g_real_ioctl = vx::host_ops().ioctl;
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> swap(&vx::HostOps::ioctl, corrupting_ioctl);
  ASSERT_EQ(start(), 0u);
  // Port 9 is no port: the default stays, and the port table has no entry for it.
  EXPECT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/PortNumber"), "0");
  EXPECT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/PCI/FunctionNumber"), "0xc8");
  EXPECT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/Network/NICConfiguration/FactoryDefaultMACAddress"),
            "00:00:00:00:00:00")
      << "no MAC read from outside the answer";
  // 200 virtual functions reported: as many as the answer can describe.
  Strings groups = groups_under("Vexalon1/NICPhysicalHBA0");
  EXPECT_EQ(groups.size(), 6u + 60u);
  EXPECT_EQ(groups.back(), "NICLogicalHBA59");
  EXPECT_EQ(vx::nic_vf_count(3), 60);
}

}  // namespace
}  // namespace vxtest
