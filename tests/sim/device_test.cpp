// The simulated drivers: device nodes, descriptors and the driver-private requests.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "sim_support.h"

namespace simtest {
namespace {

// Node 0 by order, node 2 by an explicit gap, node 3 continues after it on the second adapter.
constexpr const char* kGapConfig = R"({"adapters": [
  {"serial_number": "A1", "generation": 3, "pci": {"bus": 5, "device": 0},
   "iscsi_functions": [{"function": 2, "port": 0, "name": "vmhba40"},
                       {"function": 3, "port": 1, "name": "vmhba41", "iscsi_node": 2}]},
  {"serial_number": "B2", "generation": 5, "pci": {"bus": 6, "device": 1}, "ports": 1,
   "iscsi_functions": [{"function": 1, "name": "vmhba42"}],
   "some_later_key": {"ignored": true}}]})";

TEST_F(SimTest, iscsi_nodes_follow_configuration_order_with_gaps) {
  load_text(kGapConfig);
  struct Row {
    std::string path;
    const char* name;   // nullptr: the node does not exist
  };
  const Row rows[] = {
      {iscsi_path(0), "vmhba40"},
      {iscsi_path(1), nullptr},
      {iscsi_path(2), "vmhba41"},
      {iscsi_path(3), "vmhba42"},
      {iscsi_path(4), nullptr},
      {std::string(wire::kIscsiNodePrefix) + "02", nullptr},
      {std::string(wire::kIscsiNodePrefix) + "x", nullptr},
      {wire::kNicNodePath, nullptr},   // no NIC function configured
      {root.at(iscsi_path(2)), "vmhba41"},   // the path under VXIMA_ROOT names the same node
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    int fd = open(row.path);
    if (row.name == nullptr) {
      EXPECT_EQ(fd, -1);
      EXPECT_EQ(errno, ENOENT);
      continue;
    }
    ASSERT_GE(fd, 0);
    char name[64];
    std::memset(name, 0x5A, sizeof name);
    EXPECT_EQ(vxsim_device_ioctl(fd, wire::kIscsiHostAdapterName, name), 0);
    EXPECT_STREQ(name, row.name);
    EXPECT_EQ(static_cast<uint8_t>(name[std::strlen(row.name) + 1]), 0x5A);   // nothing past the NUL
    EXPECT_EQ(vxsim_device_close(fd), 0);
  }
  EXPECT_FALSE(root.exists(wire::kEsxConfPath));
}

TEST_F(SimTest, descriptors_are_real_and_owned_until_closed) {
  load_example("one-adapter.json");
  int fd = open(iscsi_path(0));
  int nic = open(wire::kNicNodePath);
  ASSERT_GE(fd, 0);
  ASSERT_GE(nic, 0);
  EXPECT_NE(fd, nic);
  EXPECT_NE(::fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(vxsim_owns_fd(fd), 1);
  EXPECT_EQ(vxsim_owns_fd(0), 0);
  EXPECT_EQ(vxsim_device_close(fd), 0);
  EXPECT_EQ(vxsim_owns_fd(fd), 0);
  EXPECT_EQ(vxsim_device_close(fd), -1);
  EXPECT_EQ(errno, EBADF);
  char buf[64];
  EXPECT_EQ(vxsim_device_ioctl(fd, wire::kIscsiHostAdapterName, buf), -1);
  EXPECT_EQ(errno, EBADF);
  // Requests that a node does not carry, and a missing argument.
  EXPECT_EQ(vxsim_device_ioctl(nic, wire::kIscsiHostAdapterName, buf), -1);
  EXPECT_EQ(errno, ENOTTY);
  EXPECT_EQ(vxsim_device_ioctl(nic, wire::kNicChipInfo, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  vxsim_device_close(nic);
}

wire::ChipInfoRecord chip_info() {
  wire::ChipInfoRecord rec;
  std::memset(&rec, 0xEE, sizeof rec);
  int fd = vxsim_device_open(wire::kNicNodePath, 2);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(vxsim_device_ioctl(fd, wire::kNicChipInfo, &rec), 0);
  vxsim_device_close(fd);
  return rec;
}

TEST_F(SimTest, chip_inventory_lists_each_adapters_nic_functions) {
  struct Row {
    const char* example;
    std::vector<std::vector<int>> chips;   // bus, device, functions...
  };
  const Row rows[] = {
      {"one-adapter.json", {{3, 0, 0, 1}}},
      {"two-adapters.json", {{3, 0, 0, 1}, {4, 0, 0, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.example);
    load_example(row.example);
    wire::ChipInfoRecord rec = chip_info();
    ASSERT_EQ(rec.count, row.chips.size());
    for (size_t i = 0; i < 8; ++i) {
      const wire::ChipRecord& r = rec.records[i];
      if (i >= row.chips.size()) {
        EXPECT_EQ(r.function_count, 0);
        continue;
      }
      const std::vector<int>& want = row.chips[i];
      EXPECT_EQ(r.bus, want[0]);
      EXPECT_EQ(r.device, want[1]);
      ASSERT_EQ(r.function_count, want.size() - 2);
      for (size_t f = 0; f < r.function_count; ++f) EXPECT_EQ(r.functions[f], want[2 + f]);
    }
  }
}

TEST_F(SimTest, esx_conf_names_every_nic_function_and_is_only_created_when_missing) {
  load_example("two-adapters.json");
  EXPECT_EQ(root.read(wire::kEsxConfPath),
            "/device/003:00.0/vmkname = \"vmnic0\"\n"
            "/device/003:00.1/vmkname = \"vmnic1\"\n"
            "/device/004:00.0/vmkname = \"vmnic2\"\n"
            "/device/004:00.1/vmkname = \"vmnic3\"\n");
  root.write(wire::kEsxConfPath, "/net/other = \"1\"\n");
  ASSERT_EQ(vxsim_reset(), 0);
  EXPECT_EQ(root.read(wire::kEsxConfPath), "/net/other = \"1\"\n");
}

wire::LinkInfoRecord link_request(unsigned long request, uint8_t bus, uint8_t device, uint8_t function, int* rc) {
  wire::LinkInfoRecord rec;
  std::memset(&rec, 0xEE, sizeof rec);
  rec.bus = bus;
  rec.device = device;
  rec.function = function;
  rec.zero = 0;
  int fd = vxsim_device_open(wire::kNicNodePath, 2);
  *rc = vxsim_device_ioctl(fd, request, &rec);
  vxsim_device_close(fd);
  return rec;
}

TEST_F(SimTest, link_and_virtual_function_information) {
  load_example("two-adapters.json");
  struct Row {
    uint8_t bus, device, function;
    uint16_t mtu;
    uint8_t vfs;
  };
  const Row rows[] = {{3, 0, 0, 1500, 0}, {3, 0, 1, 9000, 0}, {4, 0, 0, 1500, 2}, {4, 0, 1, 1500, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << int(row.bus) << ":" << int(row.function));
    int rc = 0;
    wire::LinkInfoRecord link = link_request(wire::kNicLinkInfo, row.bus, row.device, row.function, &rc);
    ASSERT_EQ(rc, 0);
    uint16_t mtu;
    std::memcpy(&mtu, link.reply + wire::kMtuOffset, 2);
    EXPECT_EQ(mtu, row.mtu);
    EXPECT_EQ(link.reply[wire::kLinkDownReasonOffset], 0);
    wire::LinkInfoRecord vf = link_request(wire::kNicVirtualFunctions, row.bus, row.device, row.function, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(vf.reply[wire::kVfCountOffset], row.vfs);
    EXPECT_EQ(vf.reply[975], 0);   // the whole reply is written
  }
  int rc = 0;
  wire::LinkInfoRecord vf = link_request(wire::kNicVirtualFunctions, 4, 0, 0, &rc);
  const uint8_t first_mac[] = {0x00, 0x1f, 0x4e, 0x51, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(vf.reply + 16, first_mac, 6), 0);
  EXPECT_EQ(vf.reply[16 + 6], 100);   // VLAN of the first virtual function
  EXPECT_EQ(vf.reply[32 + 8], 3);     // QoS of the second
  // iSCSI functions and absent functions are not the NIC driver's.
  for (uint8_t fn : {2, 5}) {
    link_request(wire::kNicLinkInfo, 3, 0, fn, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(errno, ENODEV);
  }
}

// A data area the driver can reach through a 32-bit address, as the library allocates it.
uint8_t* low_area(size_t size) {
#if UINTPTR_MAX > 0xFFFFFFFFu
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
#else
  return static_cast<uint8_t*>(std::malloc(size));
#endif
}

TEST_F(SimTest, pci_configuration_read_writes_only_the_asked_range) {
  load_example("two-adapters.json");
  uint8_t* area = low_area(8192);
  ASSERT_NE(area, nullptr);
  int fd = open(wire::kNicNodePath);
  struct Row {
    uint8_t bus, function;
    uint32_t offset, length;
    int rc, error;
    uint32_t returned;      // length field after the call
    uint32_t first_dword;   // of the data written
  };
  const Row rows[] = {
      {3, 0, 0, 4, 0, 0, 4, 0x07101f4e},                         // vendor and NIC device ID
      {4, 1, 0, 4, 0, 0, 4, 0x07201f4e},
      {3, 0, 208, 4, 0, 0, 4, 0x00820000},                       // link status: 5 GT/s, x8
      {4, 0, 208, 4, 0, 0, 4, 0x00830000},                       // 8 GT/s, x8
      {3, 0, 4094, 16, 0, 0, 2, 0},                              // cut at the end of the space
      {3, 0, 4097, 4, -1, EINVAL, 4, 0},
      {3, 2, 0, 4, -1, ENODEV, 4, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << int(row.bus) << ":" << int(row.function) << " +" << row.offset);
    std::memset(area, 0xEE, 8192);
    wire::PciConfigReadRecord rec{row.bus, 0, row.function, row.offset, row.length,
                                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(area))};
    EXPECT_EQ(vxsim_device_ioctl(fd, wire::kNicPciConfigRead, &rec), row.rc);
    if (row.rc != 0) {
      EXPECT_EQ(errno, row.error);
      EXPECT_EQ(area[0], 0xEE);
      continue;
    }
    const uint32_t returned = rec.length;   // packed: copied before comparing
    EXPECT_EQ(returned, row.returned);
    if (row.returned == 4) {
      uint32_t dword;
      std::memcpy(&dword, area, 4);
      EXPECT_EQ(dword, row.first_dword);
    }
    EXPECT_EQ(area[row.returned], 0xEE);
  }
  wire::PciConfigReadRecord null_area{3, 0, 0, 0, 4, 0};
  EXPECT_EQ(vxsim_device_ioctl(fd, wire::kNicPciConfigRead, &null_area), -1);
  EXPECT_EQ(errno, EFAULT);
  vxsim_device_close(fd);
}

TEST_F(SimTest, nic_wrapper_is_checked_and_routed_by_pci_address) {
  load_example("two-adapters.json");
  struct Row {
    bool good_signature;
    uint8_t bus, function;
    int rc, error;
  };
  const Row rows[] = {{true, 4, 1, 0, 0}, {false, 4, 1, -1, ENODEV}, {true, 4, 2, -1, ENODEV}, {true, 9, 0, -1, ENODEV}};
  for (const Row& row : rows) {
    Request r = nic_command(row.bus, 0, row.function, 32, 1, 540);
    if (!row.good_signature) r.bytes[17] = 'p';
    int error = 0;
    EXPECT_EQ(send(wire::kNicNodePath, r, &error), row.rc);
    if (row.rc != 0) {
      EXPECT_EQ(error, row.error);
      EXPECT_EQ(r.status(), 30);   // unanswered: the low byte of the time-out stays
    } else {
      EXPECT_EQ(r.payload()[510], row.function);
    }
    vxsim_journal_entry e;
    ASSERT_EQ(vxsim_journal_get(vxsim_journal_count() - 1, &e), 0);
    EXPECT_EQ(e.bus, row.bus);
    EXPECT_EQ(e.function, row.function);
    EXPECT_EQ(e.result, row.rc);
  }
}

TEST_F(SimTest, oversized_request_length_is_refused_untouched) {
  load_example("one-adapter.json");
  Request r = command(32, 1, 540);
  uint32_t huge = 0x7FFFFFFF;
  std::memcpy(&r.bytes[8], &huge, 4);
  std::vector<uint8_t> before = r.bytes;
  int error = 0;
  EXPECT_EQ(send(iscsi_path(0), r, &error), -1);
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(r.bytes, before);
}

TEST_F(SimTest, answers_never_pass_the_room) {
  load_example("one-adapter.json");
  const uint8_t commands[][2] = {{32, 1}, {72, 1}, {171, 1}, {172, 1}, {6, 6}, {7, 6}, {78, 1}, {79, 1}, {200, 9}};
  for (bool nic : {false, true}) {
    for (const auto& c : commands) {
      for (uint32_t length : {0u, 3u, 8u, 111u, 112u, 200u}) {
        SCOPED_TRACE(::testing::Message() << "nic " << nic << " op " << int(c[0]) << " len " << length);
        Request r = nic ? nic_command(3, 0, 1, c[0], c[1], length) : command(c[0], c[1], length);
        if (length >= 112) std::memcpy(r.payload() + 8, "/obj", 5);   // a valid object name
        EXPECT_EQ(send(nic ? wire::kNicNodePath : iscsi_path(1), r), 0);
        EXPECT_TRUE(r.canary_intact());
      }
    }
  }
}

}  // namespace
}  // namespace simtest
