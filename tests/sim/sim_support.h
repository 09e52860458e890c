// Helpers of the simulated adapter's tests: a loaded module on a fresh root and hand-built requests.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access/wire.h"
#include "sim/vxsim.h"
#include "sim/vxsim_control.h"
#include "support/test_support.h"

namespace simtest {

namespace wire = vx::wire;

inline std::string iscsi_path(int n) { return wire::kIscsiNodePrefix + std::to_string(n); }

// A command buffer as the library builds it: header + payload (+ NIC wrapper), then 64 canary bytes
// past the room the request gives, which must come back untouched.
struct Request {
  std::vector<uint8_t> bytes;
  size_t header = 0;   // offset of the header
  size_t room = 0;     // bytes the driver may write

  uint8_t* payload() { return bytes.data() + header + wire::kHeaderSize; }
  uint8_t status() const { return bytes[header + wire::kResponseStatusOffset]; }
  uint32_t u32(size_t payload_offset) const {
    uint32_t v;
    std::memcpy(&v, &bytes[header + wire::kHeaderSize + payload_offset], 4);
    return v;
  }
  bool canary_intact() const { return std::vector<uint8_t>(bytes.begin() + room, bytes.end()) == canary(); }
  static std::vector<uint8_t> canary() { return std::vector<uint8_t>(64, 0xA5); }
};

// A command for an iSCSI node, or for the NIC node at bus/device/function when `nic` is set.
inline Request command(uint8_t opcode, uint8_t subsystem, uint32_t request_length, bool nic = false,
                       uint8_t bus = 0, uint8_t device = 0, uint8_t function = 0) {
  Request r;
  r.header = nic ? wire::kNicHeaderOffset : 0;
  r.room = r.header + wire::kHeaderSize + request_length;
  r.bytes.assign(r.room, 0);
  r.bytes.insert(r.bytes.end(), 64, 0xA5);
  if (nic) {
    std::memcpy(r.bytes.data(), wire::kNicSignature, wire::kNicSignatureSize);
    r.bytes[wire::kNicBusOffset] = bus;
    r.bytes[wire::kNicDeviceOffset] = device;
    r.bytes[wire::kNicFunctionOffset] = function;
  }
  wire::Request_Header h{};
  h.PageCode = opcode;
  h.subsystem = subsystem;
  h.Timeout = nic ? 30 : 120;
  h.request_length = request_length;
  std::memcpy(r.bytes.data() + r.header, &h, sizeof h);
  return r;
}

// Sends `r` on a freshly opened node; returns the ioctl result and leaves errno in *error.
inline int send(const std::string& path, Request& r, int* error = nullptr) {
  const int fd = vxsim_device_open(path.c_str(), 2);
  if (fd < 0) return -2;
  const int rc = vxsim_device_ioctl(fd, r.header ? wire::kNicFirmwareCommand : wire::kIscsiFirmwareCommand,
                                    r.bytes.data());
  if (error) *error = errno;
  vxsim_device_close(fd);
  return rc;
}

// Every test runs on a fresh root with a loaded module.
class SimTest : public ::testing::Test {
 protected:
  void load_example(const std::string& name) {
    ::setenv("VXIMA_SIMULATOR", vxtest::source_path("examples/" + name).c_str(), 1);
    ASSERT_EQ(vxsim_reset(), 0) << vxsim_last_error();
  }
  vxtest::TempRoot root;
};

}  // namespace simtest
