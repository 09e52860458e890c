// What start-up builds for the simulated adapters: one controller per adapter, its physical HBAs
// in order, and the values read from each adapter.
#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

TEST_F(StartupTest, TwoAdaptersGiveTwoControllersWithIscsiFunctionsBeforeNicFunctions) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(groups_under(""), (Strings{"Vexalon0", "Vexalon1"}));
  const Strings phbas = {"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0", "NICPhysicalHBA1"};
  EXPECT_EQ(phbas_of("Vexalon0"), phbas);
  EXPECT_EQ(phbas_of("Vexalon1"), phbas);
  EXPECT_EQ(groups_under("Vexalon1/NICPhysicalHBA0"),
            (Strings{"VPD", "vNIC", "NetworkBootConfiguration", "CIM", "PCI", "Driver", "NICLogicalHBA0",
                     "NICLogicalHBA1"}));
  EXPECT_EQ(groups_under("Vexalon0/NICPhysicalHBA0").size(), 6u) << "no virtual function on that port";
  for (const char* phba : {"Vexalon0/iSCSIPhysicalHBA0", "Vexalon1/iSCSIPhysicalHBA1"}) {
    const Strings groups = groups_under(phba);
    EXPECT_EQ(std::count(groups.begin(), groups.end(), "LogicalHBA0"), 1) << phba;
  }
  // Tags from a fresh start: ROOT's properties, then every tag from 0 up used once; the iSCSI
  // functions of every adapter first, then the NIC functions, then the logical HBAs.
  EXPECT_EQ(tag_at("VARUDebugLevel", VARU_KIND_PROPERTY), 3u);
  EXPECT_EQ(tag_at("Vexalon0"), 4u);
  std::vector<uint32_t> tags, dense;
  collect_tags(0, &tags);
  std::sort(tags.begin(), tags.end());
  dense.resize(tags.size());
  std::iota(dense.begin(), dense.end(), 0u);
  EXPECT_EQ(tags, dense);
  EXPECT_LT(tag_at("Vexalon0/iSCSIPhysicalHBA1"), tag_at("Vexalon1"));
  EXPECT_LT(tag_at("Vexalon1/iSCSIPhysicalHBA1"), tag_at("Vexalon0/NICPhysicalHBA0"));
  EXPECT_LT(tag_at("Vexalon1/NICPhysicalHBA1"), tag_at("Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0"));
}

// Read through the public calls; "=" before a value: start-up's cached text, for properties whose
// reader is built elsewhere.
constexpr std::pair<const char*, const char*> kValues[] = {
    {"VARUServiceVersion", "1.0.99.0"},
    {"VARUHierarchyVersion", "10.6"},
    {"Vexalon0/SerialNumber", "BL3202A0001"},
    {"Vexalon0/Description", "Brightlane 10GbE 2-port converged network adapter"},
    {"Vexalon0/Capabilities", "TCP offload,Raw Ethernet,iSCSI Initiator"},
    {"Vexalon1/SerialNumber", "BL5202B0007"},
    {"Vexalon0/iSCSIPhysicalHBA1/PortNumber", "1"},
    {"Vexalon0/iSCSIPhysicalHBA0/LDTO", "20"},
    {"Vexalon0/iSCSIPhysicalHBA0/PCI/DeviceID", "0x0712"},
    {"Vexalon0/iSCSIPhysicalHBA0/PCI/SubsysDeviceID", "0xe712"},
    {"Vexalon0/iSCSIPhysicalHBA1/PCI/FunctionNumber", "0x3"},
    {"Vexalon0/iSCSIPhysicalHBA0/Driver/DriverName", "vx2iscsi.o"},
    {"Vexalon0/iSCSIPhysicalHBA0/Driver/DriverVersion", "4.2.327.0"},
    {"Vexalon0/iSCSIPhysicalHBA1/Network/NICConfiguration/FactoryDefaultMACAddress", "00-1f-4e-30-00-03"},
    {"Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0/IfName", "vmhba33"},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/IfName", "vmhba36"},
    {"Vexalon1/NICPhysicalHBA0/IfName", "vmnic2"},
    {"Vexalon0/NICPhysicalHBA0/IsVF", "False"},
    {"Vexalon1/NICPhysicalHBA1/FactoryDefaultMACAddress", "00-1f-4e-50-00-01"},
    {"Vexalon1/NICPhysicalHBA0/PCI/DeviceID", "0x0720"},
    {"Vexalon1/NICPhysicalHBA0/Driver/DriverVersion", "10.2.477.0"},
    {"Vexalon1/iSCSIPhysicalHBA1/LogicalHBA0/Enabled", "=True"},
    {"Vexalon1/BIOSVersion", "=10.2.470.14"},
    {"Vexalon0/FirmwareStatus", "=Working"},
};

TEST_F(StartupTest, PropertiesCarryWhatEachAdapterReports) {
  use_example("two-adapters.json");
  root_.write("/scratch/Talvix/config_prof.txt", "Vexalon0,1\n");
  ASSERT_EQ(start(), 0u);
  for (const auto& [path, want] : kValues) {
    EXPECT_EQ(want[0] == '=' ? "=" + cached_at(path) : value_at(path), want) << path;
  }
  EXPECT_FALSE(root_.exists("/scratch/Talvix/config_prof.txt")) << "a leftover pending profile file is deleted";
}

TEST_F(StartupTest, ControllerAttributesAreDecoded) {
  const struct { uint32_t capabilities; int firmware_status, iscsi_versions; const char* want[4]; } rows[] = {
      {0x11, 0, 0x21, {"TCP offload,iSCSI Initiator", "Working", "1", "2"}},
      {0x8011, 1, 0x10, {"Invalid", "Degraded", "0", "1"}},
      {0, 3, 0xFF, {"", "Failed", "15", "15"}},
      {0x3FF, 7, 0,
       {"TCP offload,Raw Ethernet,RDMA Protocol,Virtual Machines,iSCSI Initiator,iSCSI target plus initiator,"
        "FCoE Initiator,FCoE Target,DAL,LRO", "Unknown", "0", "0"}},
  };
  for (const auto& row : rows) {
    use_config_text("{\"adapters\": [{\"serial_number\": \"A1\", \"generation\": 3, \"capabilities\": " +
                    std::to_string(row.capabilities) + ", \"firmware_status\": " + std::to_string(row.firmware_status) +
                    ", \"iscsi_versions\": " + std::to_string(row.iscsi_versions) +
                    ", \"iscsi_functions\": [{\"function\": 2}]}]}");
    ASSERT_EQ(start(), 0u);
    const Strings got = {value_at("Vexalon0/Capabilities"), cached_at("Vexalon0/FirmwareStatus"),
                         value_at("Vexalon0/iSCSIPhysicalHBA0/iSCSIVersionMin"),
                         value_at("Vexalon0/iSCSIPhysicalHBA0/iSCSIVersionMax")};
    EXPECT_EQ(got, Strings(row.want, row.want + 4)) << row.capabilities;
    stop();
  }
}

TEST_F(StartupTest, VpdIsAHexDumpInNineSegments) {
  use_example("one-adapter.json");
  ASSERT_EQ(start(), 0u);
  for (const char* vpd : {"Vexalon0/iSCSIPhysicalHBA0/VPD", "Vexalon0/NICPhysicalHBA1/VPD"}) {
    std::string all;
    for (int k = 0; k < 9; ++k) {
      const std::string segment = value_at(std::string(vpd) + "/VPDData" + std::to_string(k));
      EXPECT_EQ(segment.size(), k < 8 ? 254u : 16u) << vpd << " segment " << k;
      all += segment;
    }
    EXPECT_EQ(all.substr(0, 2), "82") << "identifier-string tag";
    EXPECT_NE(all.find("4272696768746c616e65"), std::string::npos) << "\"Brightlane\" in the identifier";
    EXPECT_NE(all.find("424c3332303241303030"), std::string::npos) << "the serial number in the SN field";
  }
}

}  // namespace
}  // namespace vxtest
