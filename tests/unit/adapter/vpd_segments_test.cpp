// The VPD of a physical HBA as nine hex segments: every byte value as two lower-case digits, in
// order, 127 bytes to each of the first eight segments and the last 8 bytes to the ninth.
#include <cstdint>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "adapter/controller_attribs.h"
#include "unit/schema/schema_fixture.h"

namespace vxtest {
namespace {

using VpdSegments = WithParents<TreeFixture, Depth::kPhysicalHba>;

TEST_F(VpdSegments, EveryByteValueIsTwoLowerCaseHexDigits) {
  hm_node* vpd = node_at(phba, "VPD", kGroup);
  ASSERT_NE(vpd, nullptr);
  // Two patterns: each byte value at every offset modulo 256, and its inverse.
  for (const uint8_t flip : {0x00, 0xFF}) {
    uint8_t data[vx::kVpdDataSize];
    std::string want;
    for (uint32_t i = 0; i < vx::kVpdDataSize; ++i) {
      data[i] = static_cast<uint8_t>(i ^ flip);
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", data[i]);
      want += hex;
    }
    ASSERT_EQ(vx::store_vpd_segments(vpd, data), 0u);
    std::string got;
    for (int k = 0; k < vx::kVpdSegments; ++k) {
      char value[vx::kValueSize] = "";
      ASSERT_TRUE(vx::read_property(vpd, ("VPDData" + std::to_string(k)).c_str(), value));
      EXPECT_EQ(std::string(value).size(), k < 8 ? 254u : 16u) << k;
      got += value;
    }
    EXPECT_EQ(got, want);
  }
}

}  // namespace
}  // namespace vxtest
