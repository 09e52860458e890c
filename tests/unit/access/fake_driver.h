// A scripted driver behind the device seam: records every request with the bytes the library
// handed over, and answers as the test says. One adapter: iSCSI nodes 0 and 1, one NIC chip at
// bus 3 device 0 with functions 0 and 1 (vmnic0, vmnic1 in the host configuration).
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "platform/platform.h"
#include "access/wire.h"
#include "engine/hm.h"
#include "support/test_support.h"

namespace vxtest {

constexpr int kNicFd = 900;
constexpr int kIscsiFdBase = 100;

struct SentRequest {
  int fd;
  unsigned long request;
  std::vector<uint8_t> bytes;   // as the library handed them over
};

struct FakeDriver {
  std::set<int> iscsi_nodes{0, 1};
  bool nic_node = true;
  vx::wire::ChipInfoRecord inventory{};
  std::vector<SentRequest> sent;
  std::set<int> open_fds;
  int chip_result = 0;   // what the inventory request returns
  int result = 0;     // what ioctl returns
  int error = 0;      // errno with a non-zero result
  // Writes the answer over the argument (`room` bytes of it belong to the request).
  std::function<void(unsigned long request, uint8_t* arg, size_t room)> answer;

  FakeDriver() {
    inventory.count = 1;
    inventory.records[0] = vx::wire::ChipRecord{3, 0, 2, {0, 1}};
  }

  // Bytes of the argument that the request owns.
  static size_t room(unsigned long request, const uint8_t* arg) {
    uint32_t length = 0;
    switch (request) {
      case vx::wire::kIscsiFirmwareCommand:
        std::memcpy(&length, arg + 8, 4);
        return vx::wire::kHeaderSize + length;
      case vx::wire::kNicFirmwareCommand:
        std::memcpy(&length, arg + vx::wire::kNicHeaderOffset + 8, 4);
        return vx::wire::kNicWrapperOverhead + length;
      case vx::wire::kNicChipInfo: return sizeof(vx::wire::ChipInfoRecord);
      case vx::wire::kNicLinkInfo:
      case vx::wire::kNicVirtualFunctions: return sizeof(vx::wire::LinkInfoRecord);
      case vx::wire::kNicPciConfigRead: return sizeof(vx::wire::PciConfigReadRecord);
      default: return vx::kVmhbaNameSize;
    }
  }

  // The command header inside a firmware request's argument.
  static uint8_t* header(unsigned long request, uint8_t* arg) {
    return arg + (request == vx::wire::kNicFirmwareCommand ? vx::wire::kNicHeaderOffset : 0);
  }

  // Firmware commands only (the NIC path's inventory reads left out).
  std::vector<SentRequest> commands() const {
    std::vector<SentRequest> out;
    for (const SentRequest& s : sent) {
      if (s.request == vx::wire::kIscsiFirmwareCommand || s.request == vx::wire::kNicFirmwareCommand) out.push_back(s);
    }
    return out;
  }
};

inline FakeDriver*& fake_driver() {
  static FakeDriver* driver = nullptr;
  return driver;
}

inline int fake_open(const char* path, int, mode_t) {
  FakeDriver& d = *fake_driver();
  std::string p(path);
  if (p == vx::wire::kNicNodePath) {
    if (!d.nic_node) return errno = ENOENT, -1;
    d.open_fds.insert(kNicFd);
    return kNicFd;
  }
  const std::string prefix = vx::wire::kIscsiNodePrefix;
  if (p.compare(0, prefix.size(), prefix) == 0) {
    int n = std::stoi(p.substr(prefix.size()));
    if (d.iscsi_nodes.count(n) == 0) return errno = ENOENT, -1;
    d.open_fds.insert(kIscsiFdBase + n);
    return kIscsiFdBase + n;
  }
  return errno = ENOENT, -1;
}

inline int fake_close(int fd) {
  fake_driver()->open_fds.erase(fd);
  return 0;
}

inline int fake_ioctl(int fd, unsigned long request, void* arg) {
  FakeDriver& d = *fake_driver();
  auto* bytes = static_cast<uint8_t*>(arg);
  if (d.open_fds.count(fd) == 0) return errno = EBADF, -1;
  size_t room = FakeDriver::room(request, bytes);
  d.sent.push_back(SentRequest{fd, request, std::vector<uint8_t>(bytes, bytes + room)});
  if (request == vx::wire::kNicChipInfo) {
    std::memcpy(bytes, &d.inventory, sizeof d.inventory);
    return d.chip_result;
  }
  // A driver that takes the request answers success unless the test says otherwise.
  const bool command = request == vx::wire::kIscsiFirmwareCommand || request == vx::wire::kNicFirmwareCommand;
  if (command && d.result == 0) {
    uint8_t* header = bytes + (request == vx::wire::kNicFirmwareCommand ? vx::wire::kNicHeaderOffset : 0);
    std::memset(header + vx::wire::kResponseStatusOffset, 0, 3);
  }
  if (d.answer) d.answer(request, bytes, room);
  if (d.result != 0) errno = d.error;
  return d.result;
}

// Installs the fake for the test's life and opens the nodes as start-up does.
class FakeDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::make_unique<TempRoot>();
    fake_driver() = &driver_;
    root_->write(vx::wire::kEsxConfPath,
                 "/device/003:00.0/vmkname = \"vmnic0\"\n/device/003:00.1/vmkname = \"vmnic1\"\n");
    vx::reset_varu_glob();
    vx::varu_glob.iscsi_node_count = vx::os_get_port_instances(vx::varu_glob.iscsi_fds, vx::wire::kMaxIscsiNodes);
    vx::varu_glob.nic_function_count =
        vx::os_get_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
    vx::os_put_nic_port_instances(vx::varu_glob.nic_fds, vx::wire::kMaxNicHandles);
    driver_.sent.clear();
  }
  void TearDown() override { fake_driver() = nullptr; }

  // Points the library's log at the test root, at full detail.
  std::string open_log() {
    vx::make_dirs(vx::host_path("/tmp"));
    vx::varu_set_debug_level_value(6);
    vx::varu_log_open();
    return "/tmp/varu2d.log";
  }

  FakeDriver driver_;
  std::unique_ptr<TempRoot> root_;
  vx::ScopedHostOp<int (*)(const char*, int, mode_t)> open_{&vx::HostOps::open, fake_open};
  vx::ScopedHostOp<int (*)(int)> close_{&vx::HostOps::close, fake_close};
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> ioctl_{&vx::HostOps::ioctl, fake_ioctl};
};

}  // namespace vxtest
