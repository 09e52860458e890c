// The checks of user text (MAC, IPv4 by kind, iSCSI name) and the address texts of records.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"
#include "iscsi/records.h"
#include "iscsi/validators.h"
#include "support/test_support.h"

namespace {

using namespace vx;

TEST(Validators, MacAddressesAreSixGroupsOfOneOrTwoHexDigits) {
  const struct {
    const char* text;
    uint32_t valid;
  } rows[] = {
      {"00:11:22:aa:BB:cc", 1}, {"00-11-22-33-44-55", 1}, {"0:1:2:3:4:5", 1},   {"00:11:22:33:44", 0},
      {"00:11:22:33:44:55:", 0}, {"00:11:22:33:44:100", 0}, {"000:11:22:33:44:5", 0}, {"00::22:33:44:55", 0},
      {"00:11:22:33:44:5g", 0}, {"00:11:22:33:44:55:66", 0}, {"00:11:22:33:44:55X", 0}, {"", 0},
  };
  for (const auto& r : rows) {
    uint8_t mac[6] = {};
    EXPECT_EQ(validateMACAddress(r.text, mac), r.valid) << r.text;
  }
  uint8_t mac[6] = {};
  ASSERT_EQ(validateMACAddress("0a:1B:2c:3D:4e:F", mac), 1u);
  EXPECT_EQ(std::memcmp(mac, "\x0a\x1b\x2c\x3d\x4e\x0f", 6), 0);
  EXPECT_EQ(convert("1fz", 16), 31u);
  EXPECT_EQ(convert("", 16), 0u);
}

TEST(Validators, Ipv4AddressesByKind) {
  const struct {
    const char* text;
    int32_t kind;
    uint32_t valid;
  } rows[] = {
      {"192.168.1.1", kIpHost, 1},  {"0.0.0.1", kIpHost, 1},       {"127.0.0.1", kIpHost, 0},
      {"255.1.1.1", kIpHost, 0},    {"0.0.0.0", kIpHost, 0},       {"1.2.3", kIpHost, 0},
      {"1..2.3", kIpHost, 0},       {"1.2.3.4.", kIpHost, 0},      {"1.2.3.256", kIpHost, 0},
      {".1.2.3", kIpHost, 0},       {"1.2.3.4%", kIpHost, 0},      {"192.168.100.1001", kIpHost, 0},
      {"10.0.0.1 ", kIpHost, 0},    {"0.0.0.0", kIpAnyButZero, 0}, {"0.0.0.1", kIpAnyButZero, 1},
      {"10.0.0.0", kIpKind2, 0},    {"230.1.1.1", kIpKind3, 0},    {"127.0.0.1", kIpShapeOnly, 1},
      {"255.255.255.0", kIpSubnetMask, 1}, {"255.240.0.0", kIpSubnetMask, 1}, {"255.0.255.0", kIpSubnetMask, 0},
      {"255.240.240.0", kIpSubnetMask, 0}, {"0.0.0.0", kIpSubnetMask, 0},  {"255.255.255.255", kIpSubnetMask, 1},
  };
  for (const auto& r : rows) {
    uint8_t bytes[4] = {};
    EXPECT_EQ(validateIPAddress(r.text, bytes, r.kind), r.valid) << r.text << " kind " << r.kind;
  }
}

TEST(Validators, IscsiNamesAreFoldedOrRefusedWithStatus30) {
  const std::string longest(223, 'a');
  const struct {
    std::string text;
    const char* folded;   // NULL: refused
  } rows[] = {
      {"IQN.2026-01.COM.Example:Disk", "iqn.2026-01.com.example:disk"},
      {longest, nullptr},
      {std::string(224, 'a'), nullptr},
      {"iqn.2026-01.com.example:a b", nullptr},
      {"iqn.2026-01.com.example:a_b", nullptr},
      {"", nullptr},
  };
  for (const auto& r : rows) {
    char out[224] = {};
    varu_set_last_status(0, "");
    const uint32_t result = validateISCSIName(r.text.c_str(), out);
    if (r.text == longest) {
      EXPECT_EQ(result, 0u);
      EXPECT_EQ(std::string(out), longest);
      continue;
    }
    EXPECT_EQ(result, r.folded != nullptr ? 0u : 1u) << r.text;
    if (r.folded != nullptr) {
      EXPECT_STREQ(out, r.folded);
    } else {
      EXPECT_EQ(vxtest::last_status().code, 30u) << r.text;
    }
  }
}

TEST(Validators, RecordAddressesInBothDirections) {
  const uint8_t v4[16] = {10, 0, 0, 5};
  const uint8_t v6[16] = {0xfd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5};
  char text[64];
  ipaddr_to_string(v4, text, sizeof text, kAddressTypeNone);
  EXPECT_STREQ(text, "0.0.0.0");
  ipaddr_to_string(v4, text, sizeof text, kAddressTypeIpv4);
  EXPECT_STREQ(text, "10.0.0.5");
  ipaddr_to_string(v6, text, sizeof text, kAddressTypeIpv6);
  EXPECT_STREQ(text, "FD00:0000:0000:0000:0000:0000:0000:0005");
  ipaddr_to_string(v6, text, 8, kAddressTypeIpv6);
  EXPECT_STREQ(text, "FD00:00") << "cut to the output";

  // IPv6 by its ':' whatever its length; IPv4 texts longer than 15 characters are no addresses.
  const struct {
    const char* text;
    bool ok;
    uint8_t type;
  } rows[] = {{"fd00::5", true, kAddressTypeIpv6}, {"::1", true, kAddressTypeIpv6}, {"10.0.0.5", true, kAddressTypeIpv4},
              {"FD00:0000:0000:0000:0000:0000:0000:0005", true, kAddressTypeIpv6}, {"10.0.0", false, 0},
              {"fd00:::5", false, 0}, {"010.000.000.005x", false, 0}};
  for (const auto& r : rows) {
    uint8_t bytes[16] = {};
    uint8_t type = 0;
    EXPECT_EQ(parse_address(r.text, bytes, &type), r.ok) << r.text;
    EXPECT_EQ(type, r.ok ? r.type : 0) << r.text;
  }
}

}  // namespace
