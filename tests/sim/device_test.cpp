// The simulated drivers: the driver-private requests and the room of every answer.
#include <sys/mman.h>
#include <unistd.h>

#include "sim_support.h"

namespace simtest {
namespace {

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
