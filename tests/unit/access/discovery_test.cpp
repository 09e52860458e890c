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

TEST_F(FakeDriverTest, NodesAndInventoryBecomeHandlesInOrder) {
  driver_.iscsi_nodes = {1, 5, 127};
  std::vector<int32_t> table(wire::kMaxIscsiNodes, 0x55), want = {101, 105, 227};
  want.resize(wire::kMaxIscsiNodes, -1);
  EXPECT_EQ(vx::os_get_port_instances(table.data(), wire::kMaxIscsiNodes), 3);
  EXPECT_EQ(table, want) << "stored densely";
  vx::os_put_port_instances(table.data(), wire::kMaxIscsiNodes);
  EXPECT_EQ(table, std::vector<int32_t>(wire::kMaxIscsiNodes, -1));
  // Records in order, an empty record skipped, counts beyond the record bounded by it, and no
  // handle written past the table.
  wire::ChipInfoRecord three{}, full{};
  three.count = 3;
  three.records[0] = {3, 0, 2, {4, 5}};
  three.records[2] = {7, 1, 1, {2}};
  full.count = 200;
  for (uint8_t r = 0; r < 8; ++r) full.records[r] = {r, 0, 200, {0, 1, 2, 3, 4, 5, 6, 7}};
  const struct { wire::ChipInfoRecord* record; int32_t first; uint32_t count; int at; const char* handles; } rows[] = {
      {&three, 0, 3, 0, "3.0.4 3.0.5 7.1.2 "}, {&full, 0, 64, 62, "7.0.6 7.0.7 0.0.0 "},
      {&full, 100, 128, 126, "3.0.2 3.0.3 "},    {&full, 127, 128, 127, "0.0.0 "}, {&full, 500, 500, 127, "0.0.0 "}};
  for (const auto& r : rows) {
    driver_.inventory = *r.record;
    std::memset(vx::varu_glob.nic_pci, 0, sizeof vx::varu_glob.nic_pci);
    ASSERT_GT(vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles), 0);
    EXPECT_EQ(vx::enumerate_vx_nics(r.first), r.count) << &r - rows;
    std::string handles;
    for (int h = r.at; h < r.at + 3 && h < wire::kMaxNicHandles; ++h) {
      const vx::PciAddress& a = vx::varu_glob.nic_pci[h];
      handles += std::to_string(a.bus) + "." + std::to_string(a.device) + "." + std::to_string(a.function) + " ";
    }
    EXPECT_EQ(handles, r.handles) << &r - rows;
    vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles);
  }
  driver_.chip_result = -1;
  EXPECT_EQ(vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles), 0) << "no inventory";
  driver_.chip_result = 0;
  driver_.nic_node = false;
  EXPECT_EQ(vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, wire::kMaxNicHandles), 0) << "no node";
  EXPECT_EQ(vx::varu_glob.nic_fds[0], -1);
}

// Driver-private requests: what the driver answers is bounded by the room the caller gave, and a
// failing or unknown handle sends nothing or closes the node.
TEST_F(FakeDriverTest, DriverPrivateRequestsStayInBounds) {
  char text[600] = "", name[300], small[8];
  uint32_t dword = 0, vfs = 0;
  uint8_t reply[976];
  driver_.sent.clear();
  EXPECT_EQ(vx::VARU_get_quenta_pci_data(0, 0, 4, text), 1u);
  EXPECT_EQ(vx::VARU_get_quenta_pci_data(129, 0, 4, text), 1u);
  EXPECT_EQ(vx::ioctl_quenta_read_pci_conf(-1, 0, 0, &dword), 1u);
  EXPECT_EQ(vx::ioctl_get_vmhba_name(0, name, sizeof name), 1u);
  EXPECT_EQ(vx::ioctl_get_vmhba_name(129, name, sizeof name), 1u);
  EXPECT_EQ(vx::ioctl_get_mtu(3, reply), 1u) << "beyond the two functions enumerated";
  EXPECT_EQ(vx::ioctl_get_virt_f_info(200, reply, &vfs), 1u);
  EXPECT_TRUE(driver_.sent.empty());

  driver_.answer = [](unsigned long, uint8_t* arg, size_t room) { std::memset(arg, 'A', room); };
  EXPECT_EQ(vx::ioctl_get_vmhba_name(1, name, sizeof name), 0u);
  EXPECT_EQ(std::string(name), std::string(255, 'A'));
  EXPECT_EQ(vx::ioctl_get_vmhba_name(2, small, sizeof small), 0u);
  EXPECT_STREQ(small, "AAAAAAA");
  // A failing request fails the call and closes the NIC node.
  driver_.result = -1;
  driver_.error = ENODEV;
  EXPECT_EQ(vx::ioctl_get_mtu(1, reply), 1u);
  EXPECT_EQ(vx::varu_glob.nic_fds[0], -1);
  EXPECT_EQ(vx::VARU_get_quenta_pci_data(1, 0, 4, text), 1u);
  EXPECT_EQ(vx::ioctl_quenta_read_pci_conf(1, 0, 0, &dword), 1u);
  EXPECT_EQ(vx::ioctl_get_vmhba_name(1, name, sizeof name), 1u);
}

// ---- the interface check's shell commands ------------------------------------------------------

std::vector<std::string> g_commands;
std::string g_bus_info;   // what ethtool prints

int fake_system(const char* command) {
  const std::string c(command);
  g_commands.push_back(c);
  if (c.rfind("ethtool", 0) == 0) {
    FILE* f = std::fopen(c.substr(c.rfind("> ") + 2).c_str(), "w");
    if (f == nullptr) return 1 << 8;
    std::fputs(g_bus_info.c_str(), f);
    std::fclose(f);
    return 0;
  }
  return c.find("\"4f 1f\"") != std::string::npos ? 0 : 1 << 8;   // the second vendor ID
}

TEST(InterfaceCheck, OnlyCheckedTextReachesTheShell) {
  vxtest::TempRoot root;
  vx::make_dirs(vx::host_path("/tmp"));
  vx::ScopedHostOp<int (*)(const char*)> system_op(&vx::HostOps::system, fake_system);
  const struct { const char* ifname; const char* bus_info; uint32_t result; size_t commands; } cases[] = {
      {nullptr, "", 1, 0}, {"vmnic0;reboot", "", 1, 0}, {"$(reboot)", "", 1, 0}, {"vmnic0123456789x", "", 1, 0},
      {"vmnic_1.2-a", "0000:03:00.0\n", 0, 3}, {"vmnic0", "", 1, 1},   // no bus-info: lspci would list all
      {"vmnic0", "0000:03:00.0;reboot\n", 1, 1}, {"vmnic0", "0000:03:00.0 $(id)\n", 1, 1},
  };
  for (const auto& c : cases) {
    g_commands.clear();
    g_bus_info = c.bus_info;
    EXPECT_EQ(vx::VARU_check_valid_interface(c.ifname), c.result) << &c - cases;
    EXPECT_EQ(g_commands.size(), c.commands) << &c - cases;
    EXPECT_FALSE(root.exists("/tmp/ifname.txt")) << "the output file is removed";
  }
  g_commands.clear();
  g_bus_info = "0000:03:00.0\n";
  EXPECT_EQ(vx::VARU_check_valid_interface("vmnic0"), 0u);
  EXPECT_EQ(g_commands.at(1), "lspci -s 0000:03:00.0 -x 2> /dev/null | grep -a \"^00:\" | grep -a -q \"4e 1f\"");
}

// ---- against the simulated adapter --------------------------------------------------------------

using vxtest::SimTest;

// Enumerates the functions as the rebuild's start-up does, storing the set.
void store_nic_set() {
  vx::varu_glob.nic_function_count = vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
  vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
}

// When the NIC driver's function set changed, commands fail unsent (for every port too) until the
// rebuild's start-up stores the new set; then the next command goes out.
TEST_F(SimTest, ChangedNicFunctionsRefuseTheCommand) {
  const struct { int first, count; int32_t new_count; int32_t handle; } cases[] = {
      {0, 1, 1, 1}, {0, 2, 2, 1}, {4, 2, 2, 1}, {0, 1, 1, vx::kAllPorts}};   // less, more, other, all ports
  for (const auto& c : cases) {
    ASSERT_EQ(sim_.set_nic_functions(0, c.first, c.count), 0);
    const uint32_t generation = vx::varu_glob.nic_generation;
    sim_.journal_clear();
    uint8_t payload[4] = {};
    EXPECT_EQ(vx::ioctl_get_port_name(c.handle, payload, 0, 0, vx::kProtocolNic), 1u) << &c - cases;
    EXPECT_TRUE(sim_.commands().empty());
    EXPECT_EQ(vx::varu_glob.nic_generation, generation + 1);
    EXPECT_EQ(vx::varu_glob.nic_fds[0], -1);
    EXPECT_EQ(vx::ioctl_get_port_name(c.handle, payload, 0, 0, vx::kProtocolNic), 1u);
    store_nic_set();
    EXPECT_EQ(vx::varu_glob.nic_function_count, c.new_count);
    EXPECT_EQ(vx::ioctl_get_port_name(c.handle, payload, 0, 0, vx::kProtocolNic), 0u);
    EXPECT_EQ(sim_.commands().size(), 1u);
  }
  ASSERT_EQ(sim_.set_nic_functions(0, 0, 2), 0);
  uint8_t reply[976];
  EXPECT_EQ(vx::ioctl_get_mtu(1, reply), 1u) << "the driver-private requests refuse the same way";
  store_nic_set();
  EXPECT_EQ(vx::ioctl_get_mtu(1, reply), 0u);
}

}  // namespace
