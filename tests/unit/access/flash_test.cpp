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

struct Chunk {
  uint32_t operation;
  uint32_t length;
  uint32_t offset;
};

std::vector<uint8_t> image_request(uint32_t total, uint32_t type, uint32_t offset) {
  std::vector<uint8_t> bytes(sizeof(vx::flashrom_request) + total);
  vx::flashrom_request head{7, type, total, offset};
  std::memcpy(bytes.data(), &head, sizeof head);
  for (uint32_t i = 0; i < total; ++i) bytes[sizeof head + i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

std::vector<Chunk> chunks_sent(const vxtest::FakeDriver& d) {
  std::vector<Chunk> out;
  for (vxtest::SentRequest s : d.commands()) {
    const uint8_t* h = vxtest::FakeDriver::header(s.request, s.bytes.data());
    uint32_t words[4];
    std::memcpy(words, h + 16, sizeof words);
    uint32_t request_length;
    std::memcpy(&request_length, h + 8, 4);
    EXPECT_EQ(request_length, 32788u);
    EXPECT_EQ(h[0], 7);
    EXPECT_EQ(h[1], 1);
    out.push_back(Chunk{words[0], words[2], words[3]});
  }
  return out;
}

TEST_F(FakeDriverTest, ImageGoesOutInChunks) {
  std::vector<uint8_t> request = image_request(70000, 5, 0x1000);
  const auto* head = reinterpret_cast<const vx::flashrom_request*>(request.data());
  EXPECT_EQ(vx::ioctl_upgrade_flash(1, head, 0, 0, vx::kProtocolIscsi, 1), 0u);
  std::vector<Chunk> chunks = chunks_sent(driver_);
  ASSERT_EQ(chunks.size(), 3u);
  const Chunk want[] = {{2, 32768, 0x1000}, {2, 32768, 0x1000 + 32768}, {1, 4464, 0x1000 + 65536}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(chunks[i].operation, want[i].operation) << i;
    EXPECT_EQ(chunks[i].length, want[i].length) << i;
    EXPECT_EQ(chunks[i].offset, want[i].offset) << i;
  }
  // The last chunk carries the image's tail.
  const vxtest::SentRequest last = driver_.commands()[2];
  EXPECT_EQ(std::memcmp(last.bytes.data() + 32, request.data() + 16 + 65536, 4464), 0);

  driver_.sent.clear();
  EXPECT_EQ(vx::ioctl_upgrade_flash(1, head, 0, 0, vx::kProtocolNic, 0), 0u);
  chunks = chunks_sent(driver_);
  ASSERT_EQ(chunks.size(), 3u);
  for (const Chunk& c : chunks) EXPECT_EQ(c.offset, 0x1000u) << "without the flag every chunk keeps the offset";
}

struct FlashFailure {
  uint32_t image_type;
  uint8_t status;
  uint16_t additional;
  uint32_t result;
};

TEST_F(FakeDriverTest, FlashStopsAtTheFirstRefusedChunk) {
  const FlashFailure cases[] = {
      {23, 1, 77, 0},   // CRC mismatch on this image type counts as done
      {5, 1, 77, 1},
      {23, 1, 76, 1},
      {5, 3, 0, 3},
  };
  for (const FlashFailure& c : cases) {
    SCOPED_TRACE(testing::Message() << c.image_type << " " << int(c.status) << "/" << c.additional);
    driver_.sent.clear();
    driver_.answer = [&c](unsigned long, uint8_t* arg, size_t) {
      arg[4] = c.status;
      std::memcpy(arg + 5, &c.additional, 2);
    };
    std::vector<uint8_t> request = image_request(70000, c.image_type, 0);
    EXPECT_EQ(vx::ioctl_upgrade_flash(1, reinterpret_cast<vx::flashrom_request*>(request.data()), 0, 0, 1, 1),
              c.result);
    EXPECT_EQ(driver_.commands().size(), 1u);
  }
}

TEST_F(FakeDriverTest, FlashTransportFailureAndEmptyImage) {
  std::vector<uint8_t> empty = image_request(0, 5, 0);
  EXPECT_EQ(vx::ioctl_upgrade_flash(1, reinterpret_cast<vx::flashrom_request*>(empty.data()), 0, 0, 1, 1), 0u);
  EXPECT_TRUE(driver_.sent.empty());

  driver_.result = -1;
  driver_.error = EIO;
  std::vector<uint8_t> request = image_request(40000, 5, 0);
  EXPECT_EQ(vx::ioctl_upgrade_flash(1, reinterpret_cast<vx::flashrom_request*>(request.data()), 0, 0, 1, 1),
            vx::kStatusDriverIo);
  EXPECT_EQ(driver_.commands().size(), 1u);
  EXPECT_EQ(vx::ioctl_upgrade_flash(0, reinterpret_cast<vx::flashrom_request*>(request.data()), 0, 0, 1, 1), 1u);
}

}  // namespace
