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
#include "iscsi/common.h"
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

TEST_F(StartupTest, WithoutAdaptersOnlyRootStandsAndStatusIs313) {
  for (const char* json : {"{\"adapters\": []}", "{\"adapters\": [{\"serial_number\": \"X1\", \"generation\": 3}]}"}) {
    SCOPED_TRACE(json);
    log_level(6);
    use_config_text(json);
    ASSERT_EQ(start(), 0u);
    uint32_t code = 0;
    char text[VARU_STATUS_TEXT_SIZE] = "";
    ASSERT_EQ(VARU_get_last_status(&code, text), 0u);
    EXPECT_EQ(code, 313u);
    EXPECT_STREQ(text, kAdapterNotFound);
    EXPECT_TRUE(groups_under("").empty());
    EXPECT_EQ(children_of(0, VARU_KIND_PROPERTY).size(), 3u);
    EXPECT_EQ(value_at("VARUServiceVersion"), "0");
    EXPECT_EQ(value_at("VARUHierarchyVersion"), "0");
    EXPECT_NE(log().find("backend_init:Brightlane Adapter Not Found.\n"), std::string::npos);
    stop();
  }
}

TEST_F(StartupTest, WithoutSimulatorOrDriversStartUpStillSucceeds) {
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(last_status().code, 313u);
  EXPECT_TRUE(groups_under("").empty());
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

struct DriverFault {
  const char* what;
  uint32_t request;
  const char* path;
  const char* want;
};

TEST_F(StartupTest, FailingDriverRequestsOnlyLeaveTheirValuesUnset) {
  const DriverFault rows[] = {
      {"host adapter name", static_cast<uint32_t>(vx::wire::kIscsiHostAdapterName),
       "Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0/IfName", "vmhba"},
      {"virtual functions", static_cast<uint32_t>(vx::wire::kNicVirtualFunctions), "Vexalon1/NICPhysicalHBA0",
       "6 groups"},
  };
  for (const DriverFault& row : rows) {
    SCOPED_TRACE(row.what);
    use_example("two-adapters.json");
    sim_.inject_errno(VXSIM_ANY, VXSIM_ANY, row.request, EIO, -1);
    ASSERT_EQ(start(), 0u);
    EXPECT_EQ(groups_under("").size(), 2u);
    EXPECT_EQ(phbas_of("Vexalon1").size(), 4u);
    if (std::string(row.want) == "6 groups") {
      EXPECT_EQ(groups_under(row.path).size(), 6u);
    } else {
      EXPECT_EQ(value_at(row.path), row.want);
    }
    stop();
  }
}

struct VmRow {
  int generation;
  bool virtual_function;
  const char* is_vf;
};

TEST_F(StartupTest, ProbeRefusedOnAVirtualFunctionMarksIsVF) {
  const VmRow rows[] = {
      {3, false, "False"}, {3, true, "True"}, {5, true, "True"}, {4, true, "True"}, {2, true, "False"},
  };
  for (const VmRow& row : rows) {
    SCOPED_TRACE(row.generation);
    vx::vm_flag = 0;
    use_config_text(config({adapter("VM1", row.generation, 7, true, true,
                                    row.virtual_function ? ", \"virtual_function\": true" : "")}));
    ASSERT_EQ(start(), 0u);
    EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA0/IsVF"), row.is_vf);
    EXPECT_EQ(value_at("Vexalon0/NICPhysicalHBA1/IsVF"), row.is_vf);
    EXPECT_EQ(vx::vm_flag, std::string(row.is_vf) == "True" ? 1 : 0);
    stop();
  }
}

TEST_F(StartupTest, QuentaAdapterWithoutOemSerialIsMatchedByPciAddress) {
  use_config_text(config({adapter("QT0001", 4, 5, true, true, ", \"oem_serial_number\": \"\""),
                          adapter("QT0002", 4, 6, true, true)}));
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(groups_under(""), (Strings{"Vexalon0", "Vexalon1"}));
  EXPECT_EQ(value_at("Vexalon0/SerialNumber"), "N/A");
  EXPECT_EQ(value_at("Vexalon1/SerialNumber"), "QT0002");
  for (const char* controller : {"Vexalon0", "Vexalon1"}) {
    EXPECT_EQ(phbas_of(controller),
              (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0", "NICPhysicalHBA1"}))
        << controller;
  }
  // The MAC list of the newer generations gives the factory address.
  EXPECT_EQ(value_at("Vexalon1/NICPhysicalHBA1/FactoryDefaultMACAddress"), "02-00-06-00-01-00");
}

uint32_t unreadable(hm_node*, char*, uint32_t) { return 1; }

// The attributes record of a function of the second example adapter (bus 4, its serial).
std::vector<uint8_t> second_adapter_function() {
  vx::cntr_attribs rec{};
  rec.bus = 4;
  std::memcpy(rec.serial_number, "BL5202B0007", 11);
  std::vector<uint8_t> bytes(sizeof rec);
  std::memcpy(bytes.data(), &rec, sizeof rec);
  return bytes;
}

// The controllers are compared in order; one that cannot be compared ends the search, and the
// function would get a controller of its own.
TEST_F(StartupTest, ControllerThatCannotBeComparedEndsTheSearch) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  const std::vector<uint8_t> attrs = second_adapter_function();
  char text[256] = "";
  ASSERT_EQ(vx::VARU_get_iscsi_node_info(1, text, attrs.data(), 0), vx::kNodeFound);
  EXPECT_STREQ(text, "1");
  ASSERT_EQ(vx::VARU_get_nic_node_info(1, text, attrs.data(), 0), vx::kNodeFound);

  // Vexalon0's first iSCSI physical HBA cannot tell its bus: compared through it, both kinds stop there.
  const uint32_t bus_tag = tag_at("Vexalon0/iSCSIPhysicalHBA0/PCI/BusNumber", VARU_KIND_PROPERTY);
  hm_node* bus = vx::get_node(static_cast<int32_t>(bus_tag));
  ASSERT_NE(vx::property_data(bus), nullptr);
  hm_property_handler saved = vx::property_data(bus)->handler;
  vx::property_data(bus)->handler = unreadable;
  EXPECT_EQ(vx::VARU_get_iscsi_node_info(1, text, attrs.data(), 0), vx::kNodeNew);
  EXPECT_EQ(vx::VARU_get_nic_node_info(1, text, attrs.data(), 0), vx::kNodeNew);
  vx::property_data(bus)->handler = saved;

  // Without iSCSI physical HBAs Vexalon0 ends an iSCSI function's search; a NIC function's is
  // compared with its NIC physical HBA instead and goes on to Vexalon1.
  for (const char* path : {"Vexalon0/iSCSIPhysicalHBA1", "Vexalon0/iSCSIPhysicalHBA0"}) {
    hm_node* phba = vx::get_node(static_cast<int32_t>(tag_at(path)));
    ASSERT_NE(phba, nullptr) << path;
    ASSERT_EQ(vx::delete_with_records(phba), 0u) << path;
  }
  EXPECT_EQ(vx::VARU_get_iscsi_node_info(1, text, attrs.data(), 0), vx::kNodeNew);
  text[0] = '\0';
  EXPECT_EQ(vx::VARU_get_nic_node_info(1, text, attrs.data(), 0), vx::kNodeFound);
  EXPECT_STREQ(text, "1");
}

// The VPD fill looks at the controller's generation before the function's PCI data.
TEST_F(StartupTest, VpdFillAsksForTheGenerationFirst) {
  use_example("one-adapter.json");
  ASSERT_EQ(start(), 0u);
  hm_node* phba = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0")));
  hm_node* pci = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0/PCI")));
  ASSERT_NE(pci, nullptr);
  vx::set_prop_val(pci, "FunctionNumber", "%s", "2z");
  struct Row {
    const char* device_id;
    uint32_t want_status;
  };
  const Row rows[] = {{"zz", 163}, {"0x0712", 0}};
  for (const Row& row : rows) {
    vx::set_prop_val(pci, "DeviceID", "%s", row.device_id);
    vx::varu_set_last_status(0, "");
    EXPECT_EQ(vx::VARU_update_vpd_data(phba, 1, 1), 1u) << row.device_id;
    EXPECT_EQ(last_status().code, row.want_status) << row.device_id;
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
