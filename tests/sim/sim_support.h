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

// Bytes past the room a request gives; they must come back untouched.
constexpr size_t kCanary = 64;
constexpr uint8_t kCanaryByte = 0xA5;

// A command buffer as the library builds it: header + payload (+ NIC wrapper), then a canary.
struct Request {
  std::vector<uint8_t> bytes;
  size_t header = 0;   // offset of the header
  size_t room = 0;     // bytes the driver may write

  uint8_t* payload() { return bytes.data() + header + wire::kHeaderSize; }
  uint8_t status() const { return bytes[header + wire::kResponseStatusOffset]; }
  uint16_t additional() const {
    uint16_t v;
    std::memcpy(&v, &bytes[header + wire::kResponseAdditionalOffset], 2);
    return v;
  }
  uint32_t length() const {
    uint32_t v;
    std::memcpy(&v, &bytes[header + wire::kResponseLengthOffset], 4);
    return v;
  }
  bool canary_intact() const {
    for (size_t i = room; i < bytes.size(); ++i) {
      if (bytes[i] != kCanaryByte) return false;
    }
    return true;
  }
};

inline Request command(uint8_t opcode, uint8_t subsystem, uint32_t request_length, bool nic = false,
                       uint8_t bus = 0, uint8_t device = 0, uint8_t function = 0) {
  Request r;
  r.header = nic ? wire::kNicHeaderOffset : 0;
  r.room = r.header + wire::kHeaderSize + request_length;
  r.bytes.assign(r.room + kCanary, kCanaryByte);
  std::memset(r.bytes.data(), 0, r.room);
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

inline Request nic_command(uint8_t bus, uint8_t device, uint8_t function, uint8_t opcode, uint8_t subsystem,
                           uint32_t request_length) {
  return command(opcode, subsystem, request_length, true, bus, device, function);
}

// Sends `r` on a freshly opened node; returns the ioctl result and leaves errno in *error.
inline int send(const std::string& path, Request& r, int* error = nullptr) {
  int fd = vxsim_device_open(path.c_str(), 2);
  if (fd < 0) return -2;
  unsigned long request = r.header ? wire::kNicFirmwareCommand : wire::kIscsiFirmwareCommand;
  int rc = vxsim_device_ioctl(fd, request, r.bytes.data());
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
  int open(const std::string& path) { return vxsim_device_open(path.c_str(), 2); }

  vxtest::TempRoot root;
};

}  // namespace simtest
