// Address, MAC, rate and hex texts; the status mapping; the type checks that need no tree.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ima/address_text.h"
#include "ima/front.h"
#include "support/test_support.h"

namespace vx {
namespace {

TEST(TextForms, AddressesParseWithinBoundsOrGiveZeros) {
  const std::string fe80 = std::string("\xFE\x80", 2) + std::string(6, '\0');
  const struct {
    const char* text;
    bool ok;
    uint32_t ipv4;
    std::string bytes;   // the first bytes expected, the rest zero
  } cases[] = {
      {"192.168.1.20", true, 1, "\xC0\xA8\x01\x14"},
      {"N/A", false, 1, ""},
      {"0", false, 1, ""},
      {"1.2.3", false, 1, ""},
      {"1.2.3.256", false, 1, ""},
      {"1.2.3.4x", false, 1, ""},
      {"fe80:0000:0000:0000:0201:02ff:fe03:0405", true, 0, fe80 + "\x02\x01\x02\xFF\xFE\x03\x04\x05"},
      {"fe80::1", true, 0, fe80 + std::string(7, '\0') + "\x01"},
      {"fe80:::1", false, 0, ""},
  };
  for (const auto& c : cases) {
    IMA_IP_ADDRESS address;
    std::memset(&address, 0x5A, sizeof address);
    EXPECT_EQ(parse_ip_text(c.text, &address), c.ok) << c.text;
    EXPECT_EQ(address.ipv4Address, c.ipv4) << c.text;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(address.ipAddress), 16), c.bytes + std::string(16 - c.bytes.size(), '\0'));
  }
  char text[64];
  format_ip_text(IMA_IP_ADDRESS{1, {10, 0, 200, 255}}, text, sizeof text);
  EXPECT_STREQ(text, "10.0.200.255");
  format_ip_text(IMA_IP_ADDRESS{0, {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xab, 1}}, text, sizeof text);
  EXPECT_STREQ(text, "fe80:0000:0000:0000:0000:0000:0000:ab01");
  format_port_text(0, text, sizeof text);
  EXPECT_STREQ(text, "3260");
}

TEST(TextForms, MacsRatesAndHex) {
  uint8_t mac[6];
  EXPECT_TRUE(parse_mac_text("00-1f-4e-30-00-02", mac));
  EXPECT_EQ(mac[1] + mac[5], 0x1F + 0x02);
  for (const char* bad : {"00:1f:4e:30:00:02", "00-1f-4e-30-00", "00-1f-4e-30-00-02-", "N/A", "100-1f-4e-30-00-02"}) {
    EXPECT_FALSE(parse_mac_text(bad, mac)) << bad;
    EXPECT_EQ(mac[1], 0) << bad;
  }
  const std::pair<const char*, uint32_t> rates[] = {
      {"10 Gbps", 10000}, {"100 Mbps", 100}, {"2.5 Gb", 2500}, {"10Gb", 10000}, {"1000 mb", 1000},
      {"less than 1Gb", 0}, {"0 (Link Down)", 0}, {"", 0}, {"5000000 Gb", 705032704u}, {"1e5", 1000},
  };
  for (const auto& [text, want] : rates) EXPECT_EQ(parse_rate_text(text), want) << text;
  EXPECT_EQ(parse_rate_text(std::string(400, '9').c_str()), 0u);   // beyond a double
  uint8_t bytes[8] = {};
  EXPECT_EQ(Covert_Hex_To_Bin(bytes, "0a1", 3, 8), IMA_STATUS_SUCCESS);
  EXPECT_EQ(bytes[0] * 256 + bytes[1], 0x0A00);
  EXPECT_EQ(Covert_Hex_To_Bin(bytes, "ffee", 40, 8), IMA_STATUS_SUCCESS);   // ends at the NUL
  EXPECT_EQ(bytes[1], 0xEE);
  EXPECT_EQ(Covert_Hex_To_Bin(nullptr, "00", 2, 1), IMA_ERROR_GENERAL);
}

TEST(StatusMapping, NoFailureReadsAsSuccess) {
  vxtest::TempRoot root;   // the log line lands under it (or nowhere), never in the real /tmp
  const std::pair<uint32_t, IMA_STATUS> cases[] = {
      {0, IMA_STATUS_SUCCESS}, {0xFFFFFFFFu, IMA_ERROR_OBJECT_NOT_FOUND}, {1, IMA_ERROR_INVALID_PARAMETER},
      {14, IMA_ERROR_SYNC_TIMEOUT}, {149, IMA_ERROR_GENERAL}, {55, IMA_ERROR_GENERAL},
      {IMA_ERROR_NOT_SUPPORTED, IMA_ERROR_NOT_SUPPORTED},
  };
  for (const auto& [status, want] : cases) EXPECT_EQ(ErrorCheck(status), want) << status;
}

// The entry points' tests cover every type against their own sets; here the checks no set reaches.
TEST(Identifiers, TypeChecksComeBeforeTheNode) {
  EXPECT_EQ(CheckParameters(-3, 0, 0, 0, 0xFFFF), IMA_ERROR_INVALID_OBJECT_TYPE);
  EXPECT_EQ(CheckParameters(16, 0, 0, 0, 0xFFFFFFFFu), IMA_ERROR_INCORRECT_OBJECT_TYPE);
  EXPECT_EQ(CheckParameters(3, 0, 0, 0, 0xFFFF), IMA_ERROR_OBJECT_NOT_FOUND);   // no tree at all
  const IMA_STATUS level[18] = {0xC0000001, 0xC0000002, 0xC0000002, 0, 0xC0000002, 0, 0xC0000002, 0, 0, 0,
                                 0xC0000002, 0, 0, 0xC0000002, 0xC0000002, 0xC0000002, 0xC0000002, 0xC0000001};
  for (uint32_t type = 0; type <= 17; ++type) EXPECT_EQ(IMA_VMW_CheckSupportedParameterLevel({type, 0, 0, 0}), level[type]);
}

}  // namespace
}  // namespace vx
