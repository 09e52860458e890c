// The chunked flash write, seen from the driver.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "fake_driver.h"

namespace {

using vxtest::FakeDriverTest;

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

TEST_F(FakeDriverTest, FlashStopsAtTheFirstRefusedChunk) {
  const struct { uint32_t image_type; uint8_t status; uint16_t additional; uint32_t result; } cases[] = {
      {23, 1, 77, 0},   // CRC mismatch on this image type counts as done
      {5, 1, 77, 1}, {23, 1, 76, 1}, {5, 3, 0, 3}};
  for (const auto& c : cases) {
    driver_.sent.clear();
    driver_.answer = [&c](unsigned long, uint8_t* arg, size_t) {
      arg[4] = c.status;
      std::memcpy(arg + 5, &c.additional, 2);
    };
    std::vector<uint8_t> request = image_request(70000, c.image_type, 0);
    EXPECT_EQ(flash(request), c.result) << c.image_type << " " << int(c.status) << "/" << c.additional;
    EXPECT_EQ(driver_.commands().size(), 1u);
  }
  driver_.answer = nullptr;
  driver_.sent.clear();
  std::vector<uint8_t> empty = image_request(0, 5, 0);
  EXPECT_EQ(flash(empty), 0u);
  EXPECT_TRUE(driver_.sent.empty());
  driver_.result = -1;
  driver_.error = EIO;
  std::vector<uint8_t> request = image_request(40000, 5, 0);
  EXPECT_EQ(flash(request), vx::kStatusDriverIo);
  EXPECT_EQ(driver_.commands().size(), 1u);
  EXPECT_EQ(flash(request, 0), 1u);
}

}  // namespace
