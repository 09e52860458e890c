// Device discovery and the driver-private requests, against a scripted driver and against the
// simulated adapter.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "engine/hm.h"
#include "engine/messages.h"
#include "fake_driver.h"
#include "sim_harness.h"

namespace {

namespace wire = vx::wire;
using vxtest::FakeDriverTest;

struct NodeScan {
  std::set<int> present;
  std::vector<int> fds;   // entries 0.. expected; the rest -1
};

TEST_F(FakeDriverTest, IscsiNodesAreStoredDensely) {
  const NodeScan cases[] = {
      {{0, 2}, {100, 102}},
      {{}, {}},
      {{1, 5, 127}, {101, 105, 227}},
  };
  for (const NodeScan& c : cases) {
    driver_.iscsi_nodes = c.present;
    int32_t table[wire::kMaxIscsiNodes];
    std::memset(table, 0x55, sizeof table);
    EXPECT_EQ(vx::os_get_port_instances(table, wire::kMaxIscsiNodes), static_cast<int32_t>(c.fds.size()));
    for (int i = 0; i < wire::kMaxIscsiNodes; ++i) {
      const int want = i < static_cast<int>(c.fds.size()) ? c.fds[static_cast<size_t>(i)] : -1;
      ASSERT_EQ(table[i], want) << "entry " << i;
    }
    vx::os_put_port_instances(table, wire::kMaxIscsiNodes);
    for (int32_t fd : table) ASSERT_EQ(fd, -1);
  }
}

struct Inventory {
  const char* what;
  wire::ChipInfoRecord record;
  std::vector<vx::PciAddress> handles;
};

TEST_F(FakeDriverTest, InventoryRecordsBecomeHandlesInOrder) {
  Inventory two{"2 records", {}, {{3, 0, 4}, {3, 0, 5}, {7, 1, 2}}};
  two.record.count = 2;
  two.record.records[0] = {3, 0, 2, {4, 5}};
  two.record.records[1] = {7, 1, 1, {2}};
  Inventory empty_record{"empty first record", {}, {{9, 2, 6}}};
  empty_record.record.count = 2;
  empty_record.record.records[0] = {8, 0, 0, {}};
  empty_record.record.records[1] = {9, 2, 1, {6}};
  Inventory oversized{"counts beyond the record", {}, {}};
  oversized.record.count = 200;
  for (uint8_t r = 0; r < 8; ++r) {
    oversized.record.records[r] = {r, 0, 200, {0, 1, 2, 3, 4, 5, 6, 7}};
    for (uint8_t f = 0; f < 8; ++f) oversized.handles.push_back({r, 0, f});
  }
  for (const Inventory* c : {&two, &empty_record, &oversized}) {
    SCOPED_TRACE(c->what);
    driver_.inventory = c->record;
    std::memset(vx::varu_glob.nic_pci, 0xEE, sizeof vx::varu_glob.nic_pci);
    ASSERT_GT(vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles), 0);
    EXPECT_EQ(vx::enumerate_vx_nics(0), c->handles.size());
    for (size_t h = 0; h < c->handles.size(); ++h) {
      EXPECT_EQ(vx::varu_glob.nic_pci[h].bus, c->handles[h].bus) << h;
      EXPECT_EQ(vx::varu_glob.nic_pci[h].device, c->handles[h].device) << h;
      EXPECT_EQ(vx::varu_glob.nic_pci[h].function, c->handles[h].function) << h;
    }
    vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
  }
}

TEST_F(FakeDriverTest, HandlesStopAtTheTableEnd) {
  for (uint8_t r = 0; r < 8; ++r) driver_.inventory.records[r] = {r, 0, 8, {0, 1, 2, 3, 4, 5, 6, 7}};
  driver_.inventory.count = 8;
  ASSERT_GT(vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles), 0);
  EXPECT_EQ(vx::enumerate_vx_nics(100), 128u);
  EXPECT_EQ(vx::varu_glob.nic_pci[127].bus, 3) << "handle 128 is record 3's fourth function";
  EXPECT_EQ(vx::varu_glob.nic_pci[127].function, 3);
  EXPECT_EQ(vx::enumerate_vx_nics(127), 128u);
  EXPECT_EQ(vx::varu_glob.nic_pci[127].bus, 0);
  EXPECT_EQ(vx::enumerate_vx_nics(500), 500u) << "nothing written past the table";
}

TEST_F(FakeDriverTest, NoNodeOrNoInventoryMeansNoFunctions) {
  driver_.chip_result = -1;
  EXPECT_EQ(vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles), 0);
  vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
  driver_.chip_result = 0;
  driver_.nic_node = false;
  EXPECT_EQ(vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles), 0);
  EXPECT_EQ(vx::varu_glob.nic_fds[0], -1);
}

struct EsxCase {
  const char* what;
  const char* conf;    // nullptr: no file
  const char* name;    // of handle 1 (bus 3, device 0, function 0)
  int32_t count;
};

TEST_F(FakeDriverTest, InterfaceNamesFromTheHostConfiguration) {
  const EsxCase cases[] = {
      {"plain", "/device/003:00.0/vmkname = \"vmnic12\"\n", "vmnic12", 2},
      {"cut to 9", "/device/003:00.0/vmkname = \"vmnic123456789\"\n", "vmnic1234", 2},
      {"among others", "/a = \"b\"\n/device/003:00.1/vmkname = \"vmnic7\"\n/device/003:00.0/vmkname = \"vmnic6\"\n",
       "vmnic6", 2},
      {"no quotes", "/device/003:00.0/vmkname = vmnic3\n", "", 2},
      {"one quote", "/device/003:00.0/vmkname = \"vmnic3\n", "", 2},
      {"no equals sign", "/device/003:00.0/vmkname \"vmnic3\"\n", "", 2},
      {"key missing", "/device/003:00.2/vmkname = \"vmnic3\"\n", "", 2},
      {"last line without newline", "/device/003:00.0/vmkname = \"vmnic4\"", "vmnic4", 2},
      {"no file", nullptr, "", 0},
  };
  for (const EsxCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.conf != nullptr) {
      root_->write(wire::kEsxConfPath, c.conf);
    } else {
      ::unlink(root_->at(wire::kEsxConfPath).c_str());
    }
    std::memset(vx::varu_glob.nic_ifname, 'x', sizeof vx::varu_glob.nic_ifname);
    EXPECT_EQ(vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles), c.count);
    EXPECT_STREQ(vx::varu_glob.nic_ifname[0], c.name);
    if (c.count == 0) {
      EXPECT_EQ(vx::varu_glob.nic_fds[0], -1) << "closed when no name source";
    }
    vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
  }
}

// A configuration read answered with `returned` bytes of 0x00, 0x01, ...
void answer_config_read(vxtest::FakeDriver& d, uint32_t returned) {
  d.answer = [returned](unsigned long request, uint8_t* arg, size_t) {
    if (request != wire::kNicPciConfigRead) return;
    wire::PciConfigReadRecord record;
    std::memcpy(&record, arg, sizeof record);
    auto* data = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(record.data_address));
    for (uint32_t i = 0; i < record.length; ++i) data[i] = static_cast<uint8_t>(i);   // the room asked for
    std::memcpy(arg + offsetof(wire::PciConfigReadRecord, length), &returned, 4);
  };
}

std::string dump_of(uint32_t n) {
  std::string text;
  for (uint32_t i = 0; i < n; ++i) {
    if (i != 0 && i % 16 == 0) text += '\n';
    char item[4];
    std::snprintf(item, sizeof item, "%02x ", i & 0xFF);
    text += item;
  }
  return text.substr(0, 599);
}

struct DumpCase {
  uint32_t length;
  uint32_t returned;
  uint32_t result;
  uint32_t shown;
};

TEST_F(FakeDriverTest, ConfigurationDump) {
  const DumpCase cases[] = {
      {20, 20, 0, 20}, {0, 0, 0, 0},       {16, 16, 0, 16},   {17, 17, 0, 17},  {300, 300, 0, 256},
      {20, 12, 0, 12}, {20, 5000, 0, 20}, {979, 979, 0, 256}, {980, 980, 1, 0},
  };
  for (const DumpCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << " asked, " << c.returned << " returned");
    answer_config_read(driver_, c.returned);
    char text[600];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(vx::VARU_get_quenta_pci_data(1, 0, c.length, text), c.result);
    if (c.result == 0) {
      EXPECT_EQ(std::string(text), dump_of(c.shown));
    }
  }
  EXPECT_EQ(dump_of(20), "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f \n10 11 12 13 ");
}

TEST_F(FakeDriverTest, ConfigurationReadFailures) {
  char text[600] = "";
  uint32_t dword = 0;
  answer_config_read(driver_, 4);
  EXPECT_EQ(vx::VARU_get_quenta_pci_data(0, 0, 4, text), 1u);
  EXPECT_EQ(vx::VARU_get_quenta_pci_data(129, 0, 4, text), 1u);
  EXPECT_EQ(vx::ioctl_quenta_read_pci_conf(-1, 0, 0, &dword), 1u);
  EXPECT_TRUE(driver_.sent.empty());
  driver_.result = -1;
  driver_.error = ENODEV;
  EXPECT_EQ(vx::VARU_get_quenta_pci_data(1, 0, 4, text), 1u);
  EXPECT_EQ(vx::ioctl_quenta_read_pci_conf(1, 0, 0, &dword), 1u);
  EXPECT_EQ(vx::varu_glob.nic_fds[0], -1);
}

TEST_F(FakeDriverTest, HostAdapterNameIsBounded) {
  driver_.answer = [](unsigned long, uint8_t* arg, size_t room) { std::memset(arg, 'A', room); };
  char name[300];
  EXPECT_EQ(vx::ioctl_get_vmhba_name(1, name, sizeof name), 0u);
  EXPECT_EQ(std::string(name), std::string(255, 'A'));
  char small[8];
  EXPECT_EQ(vx::ioctl_get_vmhba_name(2, small, sizeof small), 0u);
  EXPECT_STREQ(small, "AAAAAAA");
  EXPECT_EQ(vx::ioctl_get_vmhba_name(0, name, sizeof name), 1u);
  EXPECT_EQ(vx::ioctl_get_vmhba_name(129, name, sizeof name), 1u);
  driver_.result = -1;
  EXPECT_EQ(vx::ioctl_get_vmhba_name(1, name, sizeof name), 1u);
}

struct LinkCase {
  int result;
  uint32_t want;
  bool copied;
};

TEST_F(FakeDriverTest, LinkInformationResults) {
  const LinkCase cases[] = {{0, 0, true}, {1, 0, false}, {-1, 1, false}};
  for (const LinkCase& c : cases) {
    driver_.result = c.result;
    driver_.error = EINVAL;
    driver_.answer = [](unsigned long, uint8_t* arg, size_t) { arg[4 + 8] = 0xDC; arg[4 + 9] = 0x05; };
    uint8_t reply[976];
    std::memset(reply, 0x77, sizeof reply);
    EXPECT_EQ(vx::ioctl_get_mtu(1, reply), c.want) << c.result;
    EXPECT_EQ(reply[8], c.copied ? 0xDC : 0x77) << c.result;
    EXPECT_EQ(vx::varu_glob.nic_fds[0], -1);
  }
  driver_.sent.clear();
  uint8_t reply[976];
  EXPECT_EQ(vx::ioctl_get_mtu(0, reply), 1u);
  EXPECT_EQ(vx::ioctl_get_mtu(129, reply), 1u);
  EXPECT_EQ(vx::ioctl_get_mtu(3, reply), 1u) << "beyond the two functions enumerated";
  uint32_t vfs = 0;
  EXPECT_EQ(vx::ioctl_get_virt_f_info(200, reply, &vfs), 1u);
  EXPECT_TRUE(driver_.sent.empty());
}

struct SpeedCase {
  const char* property;
  uint32_t dword;
  const char* text;
};

TEST_F(FakeDriverTest, PciExpressSpeedAndWidth) {
  const SpeedCase cases[] = {
      {"PCIExpressLinkSpeed", 1u << 16, "2.5GT/s"},   {"PCIExpressLinkSpeed", 2u << 16, "5.0GT/s"},
      {"pciexpresslinkspeed", 3u << 16, "7.5GT/s"},   {"PCIExpressLinkSpeed", (8u << 16) | (4u << 20), "0.0GT/s"},
      {"PCIExpressLinkWidth", 8u << 20, "x8"},        {"PCIExpressLinkWidth", (16u << 20) | (2u << 16), "x16"},
      {"PCIExpressLinkWidth", 0xFFFFFFFFu, "x63"},
  };
  hm_node nic{};
  nic.kind = kGroup;
  nic.name = "NICPhysicalHBA";
  hm_node iscsi = nic;
  iscsi.name = "iSCSIPhysicalHBA";
  for (const SpeedCase& c : cases) {
    SCOPED_TRACE(c.text);
    uint32_t dword = c.dword;
    // Generation 4 reads the dword at 164 through the NIC driver; the others through opcode 72,
    // whose answer carries the configuration space from payload byte 8.
    driver_.answer = [dword](unsigned long request, uint8_t* arg, size_t) {
      if (request == wire::kNicPciConfigRead) {
        wire::PciConfigReadRecord record;
        std::memcpy(&record, arg, sizeof record);
        const uint32_t offset = record.offset;
        const uint32_t address = record.data_address;
        EXPECT_EQ(offset, 164u);
        std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &dword, 4);
      } else {
        uint8_t* header = request == wire::kNicFirmwareCommand ? arg + 21 : arg;
        EXPECT_EQ(header[0], 72);
        uint32_t offset;
        std::memcpy(&offset, header + 16, 4);
        EXPECT_EQ(offset, 208u);
        std::memcpy(header + 16 + 8 + 208, &dword, 4);
      }
    };
    for (hm_node* node : {&nic, &iscsi}) {
      for (uint32_t generation : {4u, 3u}) {
        char out[256] = "";
        EXPECT_EQ(vx::VARU_get_pci_express_data(1, 0, 0, generation, node, c.property, out), 0u);
        EXPECT_STREQ(out, c.text);
      }
    }
  }
}

TEST_F(FakeDriverTest, PciExpressReadFailureSetsStatus121) {
  hm_node other{};
  other.kind = kGroup;
  other.name = "Vexalon";
  char out[256] = "";
  vx::varu_set_last_status(0, "");
  EXPECT_EQ(vx::VARU_get_pci_express_data(1, 0, 0, 3, &other, "PCIExpressLinkSpeed", out), 1u);
  EXPECT_EQ(vxtest::last_status().code, 121u);
  EXPECT_EQ(vxtest::last_status().text, vx::msg::kConfigDumpFailed);
  EXPECT_TRUE(driver_.sent.empty());
  driver_.result = -1;
  vx::varu_set_last_status(0, "");
  EXPECT_EQ(vx::VARU_get_pci_express_data(1, 0, 0, 4, nullptr, "PCIExpressLinkSpeed", out), 1u);
  EXPECT_EQ(vxtest::last_status().code, 121u);
}

// ---- the interface check's shell commands ------------------------------------------------------

std::vector<std::string>& commands_run() {
  static std::vector<std::string> commands;
  return commands;
}
std::string& bus_info_answer() {
  static std::string answer;
  return answer;
}

int fake_system(const char* command) {
  std::string c(command);
  commands_run().push_back(c);
  if (c.rfind("ethtool", 0) == 0) {
    std::string path = c.substr(c.rfind("> ") + 2);
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return 1 << 8;
    std::fputs(bus_info_answer().c_str(), f);
    std::fclose(f);
    return 0;
  }
  return c.find("\"4f 1f\"") != std::string::npos ? 0 : 1 << 8;   // the second vendor ID
}

struct InterfaceCase {
  const char* ifname;
  const char* bus_info;   // what ethtool prints
  uint32_t result;
  size_t commands;        // shell commands run
};

TEST(InterfaceCheck, OnlyCheckedTextReachesTheShell) {
  vxtest::TempRoot root;
  vx::make_dirs(vx::host_path("/tmp"));
  vx::ScopedHostOp<int (*)(const char*)> system_op(&vx::HostOps::system, fake_system);
  const InterfaceCase cases[] = {
      {nullptr, "", 1, 0},
      {"", "", 1, 0},
      {"vmnic0;reboot", "", 1, 0},
      {"vmnic0 x", "", 1, 0},
      {"$(reboot)", "", 1, 0},
      {"`id`", "", 1, 0},
      {"vmnic0123456789x", "", 1, 0},   // 16 characters
      {"vmnic0", "0000:03:00.0\n", 0, 3},
      {"vmnic_1.2-a", "0000:03:00.0\n", 0, 3},
      {"vmnic0", "", 1, 1},             // no bus-info: lspci would list every device
      {"vmnic0", "0000:03:00.0;reboot\n", 1, 1},
      {"vmnic0", "0000:03:00.0 $(id)\n", 1, 1},
  };
  for (const InterfaceCase& c : cases) {
    SCOPED_TRACE(c.ifname != nullptr ? c.ifname : "(null)");
    commands_run().clear();
    bus_info_answer() = c.bus_info;
    EXPECT_EQ(vx::VARU_check_valid_interface(c.ifname), c.result);
    EXPECT_EQ(commands_run().size(), c.commands);
    EXPECT_FALSE(root.exists("/tmp/ifname.txt")) << "the output file is removed";
  }
  commands_run().clear();
  bus_info_answer() = "0000:03:00.0\n";
  vx::VARU_check_valid_interface("vmnic0");
  ASSERT_EQ(commands_run().size(), 3u);
  EXPECT_EQ(commands_run()[0], "ethtool -i vmnic0 2> /dev/null | grep -a bus-info | cut -d\" \" -f2 > " +
                                   root.path() + "/tmp/ifname.txt");
  EXPECT_EQ(commands_run()[1], "lspci -s 0000:03:00.0 -x 2> /dev/null | grep -a \"^00:\" | grep -a -q \"4e 1f\"");
  EXPECT_EQ(commands_run()[2], "lspci -s 0000:03:00.0 -x 2> /dev/null | grep -a \"^00:\" | grep -a -q \"4f 1f\"");
}

// ---- against the simulated adapter --------------------------------------------------------------

using vxtest::SimTest;

TEST_F(SimTest, DiscoveryFindsTheConfiguredFunctions) {
  EXPECT_EQ(vx::varu_glob.iscsi_node_count, 2);
  EXPECT_EQ(vx::varu_glob.nic_function_count, 2);
  EXPECT_STREQ(vx::varu_glob.nic_ifname[0], "vmnic0");
  EXPECT_STREQ(vx::varu_glob.nic_ifname[1], "vmnic1");
  char name[256];
  ASSERT_EQ(vx::ioctl_get_vmhba_name(1, name), 0u);
  EXPECT_STREQ(name, "vmhba33");
  uint8_t reply[976];
  ASSERT_EQ(vx::ioctl_get_mtu(2, reply), 0u);
  EXPECT_EQ(reply[8] | (reply[9] << 8), 9000);
  hm_node nic{};
  nic.kind = kGroup;
  nic.name = "NICPhysicalHBA";
  char out[256];
  ASSERT_EQ(vx::VARU_get_pci_express_data(1, 0, 0, 3, &nic, "PCIExpressLinkSpeed", out), 0u);
  EXPECT_STREQ(out, "5.0GT/s");
  ASSERT_EQ(vx::VARU_get_pci_express_data(1, 0, 0, 3, &nic, "PCIExpressLinkWidth", out), 0u);
  EXPECT_STREQ(out, "x8");
  char dump[600];
  ASSERT_EQ(vx::VARU_get_quenta_pci_data(1, 0, 4, dump), 0u);
  EXPECT_STREQ(dump, "4e 1f 10 07 ");   // vendor and NIC device ID, low byte first
  uint32_t vfs = 99;
  EXPECT_EQ(vx::get_vf_count(1, &vfs), 0u);
  EXPECT_EQ(vfs, 0u);
}

struct FunctionChange {
  const char* what;
  int first;
  int count;
  int32_t new_count;
};

// Enumerates the functions as the rebuild's start-up does, storing the set.
void store_nic_set() {
  vx::varu_glob.nic_function_count = vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
  vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
}

// When the NIC driver's function set changed, commands fail unsent until the rebuild's start-up
// stores the new set; then the next command goes out.
TEST_F(SimTest, ChangedNicFunctionsRefuseTheCommand) {
  const FunctionChange cases[] = {
      {"one function less", 0, 1, 1},
      {"one function more", 0, 2, 2},
      {"same count, other functions", 4, 2, 2},
  };
  for (const FunctionChange& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(sim_.set_nic_functions(0, c.first, c.count), 0);
    const uint32_t generation = vx::varu_glob.nic_generation;
    sim_.journal_clear();
    uint8_t payload[4] = {};
    EXPECT_EQ(vx::ioctl_get_port_name(1, payload, 0, 0, vx::kProtocolNic), 1u);
    EXPECT_TRUE(sim_.commands().empty());
    EXPECT_EQ(vx::varu_glob.nic_generation, generation + 1);
    EXPECT_EQ(vx::varu_glob.nic_fds[0], -1);
    EXPECT_EQ(vx::ioctl_get_port_name(1, payload, 0, 0, vx::kProtocolNic), 1u);
    store_nic_set();
    EXPECT_EQ(vx::varu_glob.nic_function_count, c.new_count);
    EXPECT_EQ(vx::ioctl_get_port_name(1, payload, 0, 0, vx::kProtocolNic), 0u);
    EXPECT_EQ(sim_.commands().size(), 1u);
  }
  // The driver-private requests refuse the same way.
  ASSERT_EQ(sim_.set_nic_functions(0, 0, 2), 0);
  uint8_t reply[976];
  EXPECT_EQ(vx::ioctl_get_mtu(1, reply), 1u);
  store_nic_set();
  EXPECT_EQ(vx::ioctl_get_mtu(1, reply), 0u);
}

TEST_F(SimTest, AllNicPortsStopWhenTheSetChanges) {
  ASSERT_EQ(sim_.set_nic_functions(0, 0, 1), 0);
  uint8_t payload[4] = {};
  EXPECT_EQ(vx::ioctl_get_port_name(vx::kAllPorts, payload, 0, 0, vx::kProtocolNic), 1u);
  EXPECT_TRUE(sim_.commands().empty());
  store_nic_set();
  EXPECT_EQ(vx::ioctl_get_port_name(vx::kAllPorts, payload, 0, 0, vx::kProtocolNic), 0u);
  EXPECT_EQ(sim_.commands().size(), 1u);
}

}  // namespace
