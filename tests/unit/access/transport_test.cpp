// The command transport against a scripted driver: the header as sent, both device paths, the
// dispatch over handles, the lengths it refuses, what a failing driver turns into, and the
// chunked flash write.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "access/backend_state.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "engine/hm.h"
#include "engine/messages.h"
#include "fake_driver.h"

namespace {

using vxtest::FakeDriverTest;
using vxtest::SentRequest;
namespace wire = vx::wire;

// The header bytes of a sent command, wherever the path put them.
const uint8_t* header_of(const SentRequest& s) {
  return s.bytes.data() + (s.request == wire::kNicFirmwareCommand ? wire::kNicHeaderOffset : 0);
}

void answer_status(uint8_t* header, uint8_t status, uint16_t additional, uint32_t length) {
  header[4] = status;
  std::memcpy(header + 5, &additional, 2);
  std::memcpy(header + 12, &length, 4);
}

// What every wrapper sends is checked against its row through the simulated adapter; here the
// bytes that only a scripted driver sees: the NIC wrapper, the payload behind the header, and the
// version byte only for version 1.
TEST_F(FakeDriverTest, HeaderAndWrapperAsSent) {
  uint8_t payload[40];
  std::memset(payload, 0x5A, sizeof payload);
  EXPECT_EQ(vx::Send_Ioctl_PayLoad(-1, 5, 1, sizeof payload, sizeof payload + 16, payload, 1, 3, 2, vx::kProtocolNic,
                                   2, 7), 0u);
  EXPECT_EQ(vx::Send_Ioctl_PayLoad(vx::varu_glob.iscsi_fds[1], 5, 1, sizeof payload, sizeof payload + 16, payload, 1,
                                   3, 2, vx::kProtocolIscsi, 2, 1), 0u);
  auto commands = driver_.commands();
  ASSERT_EQ(commands.size(), 2u);
  const SentRequest& nic = commands[0];
  EXPECT_EQ(nic.fd, vxtest::kNicFd);
  EXPECT_EQ(std::string(nic.bytes.begin(), nic.bytes.begin() + 21), std::string("QUILLMARCHANT CORP\x03\x00\x01", 21));
  EXPECT_EQ(nic.bytes.size(), sizeof payload + 37);
  EXPECT_EQ(vx::varu_glob.nic_fds[0], vx::kNoDescriptor) << "the NIC node is closed after the command";
  EXPECT_EQ(commands[1].fd, vxtest::kIscsiFdBase + 1);
  for (const SentRequest& s : commands) {
    const uint8_t* h = header_of(s);
    EXPECT_EQ(std::vector<uint32_t>({h[2], h[3], h[12], static_cast<uint32_t>(h[13] | h[14] | h[15]), h[16]}),
              std::vector<uint32_t>({2, 3, s.fd == vxtest::kNicFd ? 0u : 1u, 0, 0x5A}));
  }
  driver_.sent.clear();
  EXPECT_EQ(vx::IssueIOCTLWithPayLoad(1, 88, 1, 0, 16, nullptr, 1, 0, 0), 0u);
  EXPECT_EQ(vx::IssueNICIOCTLWithPayLoad(1, 88, 1, 0, 16, nullptr, 1, 0, 0), 0u);
  ASSERT_EQ(driver_.commands().size(), 2u);
  EXPECT_EQ(driver_.commands()[0].bytes.size(), 16u) << "an empty request sends the header alone";
  EXPECT_EQ(driver_.commands()[1].bytes.size(), 37u);
  // Without a payload the request goes out as zeros, on either path.
  driver_.sent.clear();
  EXPECT_EQ(vx::IssueIOCTLWithPayLoad(1, 88, 1, 8, 40, nullptr, 1, 0, 0), 0u);
  EXPECT_EQ(vx::IssueNICIOCTLWithPayLoad(1, 88, 1, 8, 40, nullptr, 1, 0, 0), 0u);
  ASSERT_EQ(driver_.commands().size(), 2u);
  for (const SentRequest& s : driver_.commands()) {
    ASSERT_EQ(s.bytes.size(), s.fd == vxtest::kNicFd ? 45u : 24u);
    EXPECT_EQ(std::vector<uint8_t>(header_of(s) + 13, header_of(s) + 24), std::vector<uint8_t>(11, 0));
  }
}

// Lengths are computed in 32 bits; what does not fit the 16-bit buffer length is refused unsent.
TEST_F(FakeDriverTest, OversizedRequestsAreRefusedUnsent) {
  std::vector<uint8_t> payload(70000);
  EXPECT_EQ(vx::Send_Ioctl_PayLoad(vx::varu_glob.iscsi_fds[0], 1, 1, 100, 50, payload.data(), 1, 0, 0, 1, 1), 1u);
  EXPECT_EQ(vx::IssueIOCTL(vx::varu_glob.iscsi_fds[0], 1, 1, 65520, payload.data(), 0, 0, 1, 1), 1u);
  EXPECT_EQ(vx::ioctl_get_mac(1, payload.data(), 65520, 0, 0, vx::kProtocolIscsi), 1u);
  // 20 + 0xFFFF from the record's length field would wrap a 16-bit sum.
  payload[8] = 0xFF;
  payload[9] = 0xFF;
  vx::varu_glob.protocol_mask[0] = vx::kProtocolBitIscsi;
  EXPECT_EQ(vx::ioctl_retrieve_fat(1, payload.data(), 0, 0, 0), 1u);
  // The record's length field is 32 bits wide: a length past 16 bits is not cut to its low bits.
  const uint32_t fat_lengths[] = {0x10000u + 44u, 0xFFFFFFFFu, 0xFFFFFFF0u, 65500u};
  for (uint32_t fat : fat_lengths) {
    std::memcpy(payload.data() + vx::kFatLengthOffset, &fat, sizeof fat);
    EXPECT_EQ(vx::ioctl_retrieve_fat(1, payload.data(), 0, 0, 0), 1u) << fat;
  }
  EXPECT_TRUE(driver_.commands().empty());
  const uint32_t largest_fat = 65499;
  std::memcpy(payload.data() + vx::kFatLengthOffset, &largest_fat, sizeof largest_fat);
  EXPECT_EQ(vx::ioctl_retrieve_fat(1, payload.data(), 0, 0, 0), 0u);
  ASSERT_EQ(driver_.commands().size(), 1u);
  uint32_t sent_length;
  std::memcpy(&sent_length, driver_.commands()[0].bytes.data() + 8, sizeof sent_length);
  EXPECT_EQ(sent_length, 65519u);
  driver_.sent.clear();
  // The largest that fits goes out.
  EXPECT_EQ(vx::ioctl_get_mac(1, payload.data(), 65519, 0, 0, vx::kProtocolIscsi), 0u);
  EXPECT_EQ(driver_.commands().size(), 1u);
}

TEST_F(FakeDriverTest, HandlesAreDispatchedAndBounded) {
  const struct { int32_t handle; bool nic; uint32_t result; size_t sent; } cases[] = {
      {1, false, 0, 1},   {2, false, 0, 1}, {-1, false, 0, 2}, {0, false, 1, 0}, {-2, false, 1, 0}, {129, false, 1, 0},
      {1, true, 0, 1},    {-1, true, 0, 2}, {0, true, 1, 0},   {129, true, 1, 0}, {-7, true, 1, 0},
      {3, true, 1, 0},    // two NIC functions: handle 3 names none
  };
  for (const auto& c : cases) {
    driver_.sent.clear();
    uint8_t payload[8] = {};
    EXPECT_EQ(c.nic ? vx::IssueNICIOCTLWithPayLoad(c.handle, 5, 1, 8, 24, payload, 1, 0, 0)
                    : vx::IssueIOCTLWithPayLoad(c.handle, 5, 1, 8, 24, payload, 1, 0, 0), c.result) << &c - cases;
    EXPECT_EQ(driver_.commands().size(), c.sent) << &c - cases;
  }
  // All ports: the last node's result; nothing sent when there is no node.
  int calls = 0;
  driver_.answer = [&calls](unsigned long, uint8_t* arg, size_t) {
    if (++calls % 2 == 0) answer_status(arg, 1, 30, 0);
  };
  uint8_t payload[4] = {};
  EXPECT_EQ(vx::IssueIOCTLWithPayLoad(vx::kAllPorts, 5, 1, 4, 20, payload, 1, 0, 0), 213u);
  calls = 1;
  EXPECT_EQ(vx::IssueIOCTLWithPayLoad(vx::kAllPorts, 5, 1, 4, 20, payload, 1, 0, 0), 0u);
  driver_.sent.clear();
  vx::os_put_port_instances(vx::varu_glob.iscsi_fds, wire::kMaxIscsiNodes);
  vx::varu_glob.nic_function_count = 0;
  EXPECT_EQ(vx::IssueIOCTLWithPayLoad(vx::kAllPorts, 5, 1, 4, 20, payload, 1, 0, 0), 0u);
  EXPECT_EQ(vx::IssueNICIOCTLWithPayLoad(vx::kAllPorts, 5, 1, 4, 20, payload, 1, 0, 0), 0u);
  EXPECT_TRUE(driver_.sent.empty());
}

// A driver that fails the request leaves the header as written: its status byte is the low byte
// of the Timeout, which maps to 1. EIO from the iSCSI driver is its own result, 295. An unknown
// protocol sends nothing.
TEST_F(FakeDriverTest, DriverFailuresBecomeOne) {
  const struct { bool nic; int error; uint32_t issue_result; uint8_t status_byte; } cases[] = {
      {false, EIO, vx::kStatusDriverIo, 120}, {false, ENODEV, 0, 120}, {false, EINVAL, 0, 120},
      {true, EIO, 0, 30}, {true, ENODEV, 0, 30}};
  driver_.result = -1;
  const int32_t fd = vx::varu_glob.iscsi_fds[0];
  for (const auto& c : cases) {
    driver_.error = c.error;
    const int32_t protocol = c.nic ? vx::kProtocolNic : vx::kProtocolIscsi;
    uint8_t buffer[16 + 8] = {}, payload[8] = {};
    EXPECT_EQ(vx::IssueIOCTL(fd, 5, 1, 8, buffer, 0, 0, protocol, 1), c.issue_result) << &c - cases;
    EXPECT_EQ(buffer[4], c.status_byte) << &c - cases;
    EXPECT_EQ(vx::Send_Ioctl_PayLoad(fd, 5, 1, 8, 24, payload, 1, 0, 0, protocol, 1), 1u) << &c - cases;
  }
}

// The answer is copied back before the status is looked at: a failed command still overwrites the
// caller's payload; direction 0 copies nothing. Additional status 23 fails without a log line.
TEST_F(FakeDriverTest, FailedCommandsCopyBackAndLogTheirStatus) {
  const std::string log = open_log();
  const int32_t fd = vx::varu_glob.iscsi_fds[0];
  driver_.answer = [](unsigned long, uint8_t* arg, size_t room) {
    std::memset(arg + 16, 0xAB, room - 16);
    answer_status(arg, 1, 44, 0);
  };
  uint8_t payload[12] = {}, untouched[12] = {};
  vx::varu_set_last_status(0, "");
  EXPECT_EQ(vx::Send_Ioctl_PayLoad(fd, 5, 1, sizeof payload, 28, payload, 2, 0, 0, 1, 1), 1u);
  EXPECT_EQ(payload[0] & payload[11], 0xAB);
  EXPECT_EQ(vxtest::last_status().code, 25u);
  EXPECT_EQ(vx::Send_Ioctl_PayLoad(fd, 5, 1, sizeof untouched, 28, untouched, 0, 0, 0, 1, 1), 1u);
  EXPECT_EQ(untouched[0], 0);
  const size_t logged = root_->read(log).size();
  EXPECT_NE(root_->read(log).find("The IOCTL with opcode:0x5 subsystem:0x1 failed with status 0x1"), std::string::npos);
  driver_.answer = [](unsigned long, uint8_t* arg, size_t) { answer_status(arg, 1, 23, 0); };
  EXPECT_EQ(vx::Send_Ioctl_PayLoad(fd, 5, 1, 4, 20, payload, 1, 0, 0, 1, 1), 1u);
  EXPECT_EQ(vxtest::last_status().code, 52u);
  EXPECT_EQ(root_->read(log).size(), logged) << "additional status 23 fails without a log line";
  vx::varu_log_close();
}

// The version byte belongs to each call: commands of both versions issued from two threads at
// once each carry their own.
TEST_F(FakeDriverTest, HeaderVersionIsPerCall) {
  std::vector<uint8_t> payload_a(32), payload_b(32);
  auto worker = [](uint8_t* payload, bool v1) {
    for (int i = 0; i < 200; ++i) {
      if (v1) {
        vx::ioctl_common_read_object_v1(1, payload, 32, 0, 0, vx::kProtocolIscsi);
      } else {
        vx::ioctl_get_NIC_link_params(2, payload, 0, 0, vx::kProtocolIscsi);
      }
    }
  };
  std::thread a(worker, payload_a.data(), true);
  std::thread b(worker, payload_b.data(), false);
  a.join();
  b.join();
  auto commands = driver_.commands();
  ASSERT_EQ(commands.size(), 400u);
  for (const SentRequest& s : commands) {
    const uint8_t* h = header_of(s);
    EXPECT_EQ(h[12], h[0] == 171 ? 1 : 0) << "opcode " << int(h[0]);
  }
}

std::vector<uint8_t> image_request(uint32_t total, uint32_t type, uint32_t offset) {
  std::vector<uint8_t> bytes(sizeof(vx::flashrom_request) + total);
  const vx::flashrom_request head{7, type, total, offset};
  std::memcpy(bytes.data(), &head, sizeof head);
  for (uint32_t i = 0; i < total; ++i) bytes[sizeof head + i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

uint32_t flash(std::vector<uint8_t>& request, int32_t handle = 1, int32_t protocol = 1, int32_t advance = 1) {
  return vx::ioctl_upgrade_flash(handle, reinterpret_cast<vx::flashrom_request*>(request.data()), 0, 0, protocol,
                                 advance);
}

// Operation, length and offset of every chunk sent, as "op/length/offset".
std::vector<std::string> chunks_sent(const vxtest::FakeDriver& d) {
  std::vector<std::string> out;
  for (vxtest::SentRequest s : d.commands()) {
    const uint8_t* h = vxtest::FakeDriver::header(s.request, s.bytes.data());
    uint32_t words[4], request_length;
    std::memcpy(words, h + 16, sizeof words);
    std::memcpy(&request_length, h + 8, 4);
    EXPECT_EQ(request_length, 32788u);
    EXPECT_EQ(h[0] * 256 + h[1], 7 * 256 + 1);
    out.push_back(std::to_string(words[0]) + "/" + std::to_string(words[2]) + "/" + std::to_string(words[3]));
  }
  return out;
}

TEST_F(FakeDriverTest, ImageGoesOutInChunks) {
  std::vector<uint8_t> request = image_request(70000, 5, 0x1000);
  EXPECT_EQ(flash(request), 0u);
  EXPECT_EQ(chunks_sent(driver_), (std::vector<std::string>{"2/32768/4096", "2/32768/36864", "1/4464/69632"}));
  EXPECT_EQ(std::memcmp(driver_.commands()[2].bytes.data() + 32, request.data() + 16 + 65536, 4464), 0)
      << "the last chunk carries the image's tail";
  driver_.sent.clear();
  EXPECT_EQ(flash(request, 1, vx::kProtocolNic, 0), 0u);
  EXPECT_EQ(chunks_sent(driver_), (std::vector<std::string>{"2/32768/4096", "2/32768/4096", "1/4464/4096"}))
      << "without the flag every chunk keeps the offset";
}

}  // namespace
