// What start-up builds for the simulated adapters (one controller per adapter, its physical HBAs in
// order, the values read from each adapter) and the tree's life: shut-down frees it, a new start
// builds the same tree, a changed set of NIC functions rebuilds it at the end of the call that
// noticed, and the calls of a separate back-end client. Start-up when adapters are missing, fail or
// answer nonsense: it always succeeds, and one failing function or adapter never keeps the others
// out of the tree.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "access/backend_state.h"
#include "adapter/controller_attribs.h"
#include "backend/enumeration.h"
#include "access/fw_commands.h"
#include "platform/platform.h"
#include "access/transport.h"
#include "access/wire.h"
#include "backend/backend.h"
#include "engine/api_lock.h"
#include "iscsi/common.h"
#include "schema/session.h"
#include "schema/target.h"
#include "tests/api/startup_fixture.h"

namespace vxtest {
namespace {

bool tags_dense() {
  std::vector<uint32_t> tags;
  collect_tags(0, &tags);
  std::sort(tags.begin(), tags.end());
  for (size_t i = 0; i < tags.size(); ++i) {
    if (tags[i] != i) return false;
  }
  return true;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

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
  EXPECT_TRUE(tags_dense());
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

// Shut-down frees every allocation and closes the devices; the records of the physical HBAs and of
// the iSCSI side below them (TCP/IP group, sessions, connections, LUNs) are freed once each, and a
// group that only points at a physical HBA's record, as a port instance does, is left alone.
TEST_F(StartupTest, ExitFreesEachOwnedRecordOnce) {
  use_example("one-adapter.json");
  const uint32_t before = vx::varu_alloc_count();
  ASSERT_EQ(start(), 0u);
  hm_node* phba = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0")));
  hm_node* lhba = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0/LogicalHBA0")));
  hm_node* tcpip = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/iSCSIPhysicalHBA0/Network/TCPIPConfiguration")));
  hm_node* sharer = vx::get_node(static_cast<int32_t>(tag_at("Vexalon0/Diagnostics")));
  ASSERT_TRUE(phba && lhba && tcpip && sharer);
  hm_node* target = vx::initialize_Target(lhba, nullptr, nullptr, nullptr);
  ASSERT_NE(target, nullptr);
  hm_node* session = vx::initialize_Session(target, nullptr, nullptr, nullptr);
  ASSERT_NE(session, nullptr);
  hm_node* connection = vx::initialize_Connection(session, nullptr, nullptr, nullptr);
  hm_node* lun = vx::initialize_LUN(target, nullptr, nullptr, nullptr);
  ASSERT_TRUE(connection && lun);
  for (hm_node* owner : {tcpip, session, connection, lun}) {
    if (vx::group_data(owner)->backend_info == nullptr) vx::group_data(owner)->backend_info = vx::varu_dcalloc(16);
  }
  vx::group_data(sharer)->backend_info = vx::group_data(phba)->backend_info;
  stop();
  EXPECT_EQ(vx::varu_alloc_count(), before);
  for (int32_t fd : vx::varu_glob.iscsi_fds) EXPECT_EQ(fd, vx::kNoDescriptor);
  EXPECT_EQ(vx::varu_glob.nic_fds[0], vx::kNoDescriptor);
}

TEST_F(StartupTest, SecondStartBuildsTheSameTree) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  const std::string first = tree_text();
  stop();
  ASSERT_EQ(start(), 0u);
  EXPECT_EQ(tree_text(), first);
}

TEST_F(StartupTest, ChangedNicFunctionsRebuildTheTreeWhenTheCallEnds) {
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  const uint32_t gone = tag_at("Vexalon1/NICPhysicalHBA1");
  ASSERT_NE(gone, kMissing);
  const std::string adapter0 = tree_text(tag_at("Vexalon0"), "", false);

  ASSERT_EQ(sim_.set_nic_functions(1, 0, 1), 0);   // the second adapter keeps only vmnic2
  sim_.journal_clear();
  uint32_t inside = 0;
  bool still_there = false;
  vx::public_call("test", vx::CallNeeds::kTree, vx::StatusReset::kClear, [&]() -> uint32_t {
    uint8_t record[540] = {};
    inside = vx::ioctl_fetch_controller_attribs(1, record, 0, 0, vx::kProtocolNic);
    // The caller's nodes stay valid until its call ends.
    hm_node* node = vx::get_node(static_cast<int32_t>(gone));
    still_there = node != nullptr && std::string(node->name) == "NICPhysicalHBA";
    return 0;
  });
  EXPECT_EQ(inside, 1u) << "the NIC command that noticed the change fails";
  EXPECT_TRUE(still_there);

  // The command itself never reached the driver: the rebuild's inventory read comes first, its
  // iSCSI functions before its NIC functions.
  const std::vector<vxsim_journal_entry> journal = sim_.journal();
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal[0].request, vx::wire::kNicChipInfo);
  auto first = [&journal](uint32_t request) {
    return std::find_if(journal.begin(), journal.end(), [request](const auto& e) { return e.request == request; });
  };
  EXPECT_LT(first(vx::wire::kIscsiFirmwareCommand), first(vx::wire::kNicFirmwareCommand));
  EXPECT_EQ(tag_at("VARUDebugLevel", VARU_KIND_PROPERTY), 3u);
  EXPECT_EQ(phbas_of("Vexalon1"), (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0"}));
  EXPECT_EQ(tree_text(tag_at("Vexalon0"), "", false), adapter0) << "adapter 0 is rebuilt the same";
  EXPECT_TRUE(tags_dense()) << "every other tag renumbered from 4";
  EXPECT_EQ(vx::varu_glob.nic_function_count, 3);
}

TEST_F(StartupTest, ClientInitRebuildsOnlyAfterAChange) {
  std::string json = read_file(source_path("examples/two-adapters.json"));
  use_config_text(json);
  ASSERT_EQ(start(), 0u);
  const std::string before = tree_text();
  sim_.journal_clear();
  EXPECT_EQ(backend_client_init(2), 0u);
  EXPECT_EQ(sim_.journal_count(), 0) << "mode 2 does nothing";
  EXPECT_EQ(backend_client_init(0), 0u);
  EXPECT_EQ(tree_text(), before);
  for (uint32_t handle : {1, 2, 3}) EXPECT_EQ(VARU_backend_client_bdf(handle), 0u);

  ASSERT_EQ(sim_.set_nic_functions(0, 0, 1), 0);
  EXPECT_EQ(backend_client_init(0), 0u);
  EXPECT_EQ(phbas_of("Vexalon0"), (Strings{"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0"}));
  EXPECT_EQ(phbas_of("Vexalon1").size(), 4u);
  EXPECT_TRUE(tags_dense());

  // Same slots, another adapter: the serial number tells.
  json.replace(json.find("BL3202A0001"), 11, "BL3202A0099");
  root_.write("/cfg/adapters.json", json);
  ASSERT_EQ(sim_.reset(), 0);
  EXPECT_EQ(backend_client_init(0), 0u);
  EXPECT_EQ(value_at("Vexalon0/SerialNumber"), "BL3202A0099");
  EXPECT_EQ(VARU_backend_client_bdf(1), 0u);
}

TEST_F(StartupTest, ClientInitWithoutAnyFunctionReportsNoController) {
  use_config_text("{\"adapters\": []}");
  ASSERT_EQ(start(), 0u);
  EXPECT_STATUS(backend_client_init(0), 18, "System has no controller.");
}

// A NIC driver whose function count changes at every look.
int (*g_real_ioctl)(int, unsigned long, void*) = nullptr;
int g_inventory_calls = 0;

int flapping_ioctl(int fd, unsigned long request, void* arg) {
  int rc = g_real_ioctl(fd, request, arg);
  if (rc == 0 && request == vx::wire::kNicChipInfo && (g_inventory_calls++ % 2) == 0) {
    auto* record = static_cast<vx::wire::ChipInfoRecord*>(arg);
    if (record->count > 0 && record->records[0].function_count > 0) --record->records[0].function_count;
  }
  return rc;
}

TEST_F(StartupTest, ClientInitGivesUpOnFunctionsThatKeepChanging) {
  log_level(6);
  use_example("two-adapters.json");
  ASSERT_EQ(start(), 0u);
  g_real_ioctl = vx::host_ops().ioctl;
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> swap(&vx::HostOps::ioctl, flapping_ioctl);
  EXPECT_EQ(backend_client_init(0), 1u);
  EXPECT_NE(log().find("backend_client_init:There is a change in VARU NIC hierarchy.\n"), std::string::npos);
  EXPECT_NE(log().find("gave up after 3 rebuilds"), std::string::npos);
}

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
    ASSERT_EQ(vx::delete_with_records(phba), 0u) << path;
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
