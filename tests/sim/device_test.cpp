// The simulated drivers: device nodes, descriptors and the driver-private requests.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "sim_support.h"

namespace simtest {
namespace {

TEST_F(SimTest, iscsi_nodes_follow_configuration_order_with_gaps) {
  // Node 0 by order, node 2 by an explicit gap, node 3 continues after it on the second adapter.
  load_text(R"({"adapters": [
    {"serial_number": "A1", "generation": 3, "pci": {"bus": 5, "device": 0},
     "iscsi_functions": [{"function": 2, "port": 0, "name": "vmhba40"},
                         {"function": 3, "port": 1, "name": "vmhba41", "iscsi_node": 2}]},
    {"serial_number": "B2", "generation": 5, "pci": {"bus": 6, "device": 1}, "ports": 1,
     "iscsi_functions": [{"function": 1, "name": "vmhba42"}], "some_later_key": {"ignored": true}}]})");
  const std::pair<std::string, const char*> rows[] = {   // NULL: the node does not exist
      {iscsi_path(0), "vmhba40"}, {iscsi_path(1), nullptr}, {iscsi_path(2), "vmhba41"}, {iscsi_path(3), "vmhba42"},
      {iscsi_path(4), nullptr},   {iscsi_path(0) + "2", nullptr}, {wire::kNicNodePath, nullptr},
      {root.at(iscsi_path(2)), "vmhba41"}};   // the path under VXIMA_ROOT names the same node
  for (const auto& [path, want] : rows) {
    const int fd = open(path);
    if (want == nullptr) {
      EXPECT_EQ(fd, -1) << path;
      continue;
    }
    char name[64];
    std::memset(name, 0x5A, sizeof name);
    EXPECT_EQ(vxsim_device_ioctl(fd, wire::kIscsiHostAdapterName, name), 0) << path;
    EXPECT_STREQ(name, want);
    EXPECT_EQ(static_cast<uint8_t>(name[std::strlen(want) + 1]), 0x5A) << "nothing past the NUL";
    EXPECT_EQ(vxsim_device_close(fd), 0);
  }
}

TEST_F(SimTest, descriptors_are_real_and_owned_until_closed) {
  load_example("one-adapter.json");
  int fd = open(iscsi_path(0));
  int nic = open(wire::kNicNodePath);
  ASSERT_GE(fd, 0);
  ASSERT_GE(nic, 0);
  EXPECT_NE(::fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(vxsim_owns_fd(fd), 1);
  EXPECT_EQ(vxsim_owns_fd(0), 0);
  EXPECT_EQ(vxsim_device_close(fd), 0);
  EXPECT_EQ(vxsim_owns_fd(fd), 0);
  EXPECT_EQ(vxsim_device_close(fd), -1);
  char buf[64];
  const struct { int fd; unsigned long request; void* arg; int error; } refused[] = {
      {fd, wire::kIscsiHostAdapterName, buf, EBADF}, {nic, wire::kIscsiHostAdapterName, buf, ENOTTY},
      {nic, wire::kNicChipInfo, nullptr, EFAULT}};
  for (const auto& r : refused) {
    EXPECT_EQ(vxsim_device_ioctl(r.fd, r.request, r.arg), -1);
    EXPECT_EQ(errno, r.error);
  }
  vxsim_device_close(nic);
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
  const struct { uint8_t bus, function; uint32_t offset, length; int rc, error; uint32_t returned, dword; } rows[] = {
      {3, 0, 0, 4, 0, 0, 4, 0x07101f4e},     // vendor and NIC device ID
      {4, 0, 208, 4, 0, 0, 4, 0x00830000},   // link status: 8 GT/s, x8
      {3, 0, 4094, 16, 0, 0, 2, 0},          // cut at the end of the space
      {3, 0, 4097, 4, -1, EINVAL, 4, 0},
      {3, 2, 0, 4, -1, ENODEV, 4, 0},
  };
  for (const auto& row : rows) {
    std::memset(area, 0xEE, 8192);
    wire::PciConfigReadRecord rec{row.bus, 0, row.function, row.offset, row.length,
                                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(area))};
    EXPECT_EQ(vxsim_device_ioctl(fd, wire::kNicPciConfigRead, &rec), row.rc) << &row - rows;
    EXPECT_EQ(row.rc == 0 ? 0 : errno, row.error);
    const uint32_t returned = rec.length;   // packed: copied before comparing
    uint32_t dword;
    std::memcpy(&dword, area, 4);
    EXPECT_EQ(returned, row.returned) << &row - rows;
    EXPECT_EQ(row.rc == 0 && row.returned == 4 ? dword : 0, row.dword) << &row - rows;
    EXPECT_EQ(area[row.rc == 0 ? row.returned : 0], 0xEE) << &row - rows;
  }
  wire::PciConfigReadRecord null_area{3, 0, 0, 0, 4, 0};
  EXPECT_EQ(vxsim_device_ioctl(fd, wire::kNicPciConfigRead, &null_area), -1);
  EXPECT_EQ(errno, EFAULT);
  vxsim_device_close(fd);
}

TEST_F(SimTest, nic_wrapper_is_checked_and_routed_by_pci_address) {
  load_example("two-adapters.json");
  const struct { bool good_signature; uint8_t bus, function; int rc; } rows[] = {
      {true, 4, 1, 0}, {false, 4, 1, -1}, {true, 4, 2, -1}, {true, 9, 0, -1}};
  for (const auto& row : rows) {
    Request r = nic_command(row.bus, 0, row.function, 32, 1, 540);
    if (!row.good_signature) r.bytes[17] = 'p';
    int error = 0;
    EXPECT_EQ(send(wire::kNicNodePath, r, &error), row.rc) << &row - rows;
    EXPECT_EQ(row.rc == 0 ? ENODEV : error, ENODEV);
    EXPECT_EQ(row.rc == 0 ? r.payload()[510] : r.status(), row.rc == 0 ? row.function : 30) << "unanswered: 30";
    vxsim_journal_entry e;
    ASSERT_EQ(vxsim_journal_get(vxsim_journal_count() - 1, &e), 0);
    EXPECT_EQ(e.bus * 256 + e.function, row.bus * 256 + row.function);
  }
}

TEST_F(SimTest, answers_never_pass_the_room) {
  load_example("one-adapter.json");
  Request huge = command(32, 1, 540);
  const uint32_t length = 0x7FFFFFFF;
  std::memcpy(&huge.bytes[8], &length, 4);
  const std::vector<uint8_t> before = huge.bytes;
  int error = 0;
  EXPECT_EQ(send(iscsi_path(0), huge, &error), -1);
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(huge.bytes, before) << "an oversized request length is refused untouched";
  const uint8_t commands[][2] = {{32, 1}, {72, 1}, {171, 1}, {172, 1}, {6, 6}, {7, 6}, {78, 1}, {79, 1}, {200, 9}};
  for (bool nic : {false, true}) {
    for (const auto& c : commands) {
      for (uint32_t len : {0u, 3u, 8u, 111u, 112u, 200u}) {
        Request r = nic ? nic_command(3, 0, 1, c[0], c[1], len) : command(c[0], c[1], len);
        if (len >= 112) std::memcpy(r.payload() + 8, "/obj", 5);   // a valid object name
        EXPECT_EQ(send(nic ? wire::kNicNodePath : iscsi_path(1), r), 0);
        EXPECT_TRUE(r.canary_intact()) << "nic " << nic << " op " << int(c[0]) << " len " << len;
      }
    }
  }
  Request cut = command(32, 1, 200);
  ASSERT_EQ(send(iscsi_path(0), cut), 0);
  EXPECT_EQ(cut.status(), 4) << "a record larger than the request is cut with status 4";
  EXPECT_EQ(cut.length(), 540u);
}

}  // namespace
}  // namespace simtest
