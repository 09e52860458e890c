// Value rules: one row per edge case, through varu_validate as the public calls use it.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine/hm.h"

namespace {

struct Case {
  uint8_t vtype;
  const char* allowed;
  int32_t min;
  int32_t max;
  const char* input;
  uint32_t want;
  const char* rewritten;   // the value afterwards; NULL = unchanged
};

constexpr const char* kFe80 = "FE80:0000:0000:0000:0000:0000:0000:0001";

const Case kCases[] = {
    // strings: only the length counts
    {0, nullptr, 5, 11, "abcd", 8, nullptr},
    {0, nullptr, 5, 11, "abcdefghijkl", 8, nullptr},
    {0, nullptr, 1, 3, "\x01\x02", 0, nullptr},
    // integers: base 0, whole text, signed inclusive bounds
    {1, nullptr, 0, 3, "3", 0, nullptr},
    {1, nullptr, 0, 3, "4", 7, nullptr},
    {1, nullptr, 0, 3, "", 6, nullptr},
    {1, nullptr, 0, 3, "2 ", 6, nullptr},
    {1, nullptr, 0, 3, "0x3", 0, nullptr},
    {1, nullptr, 0, 3, "010", 7, nullptr},
    {1, nullptr, 0, 3, "0x", 6, nullptr},
    {1, nullptr, INT32_MIN, INT32_MAX, "2147483647", 0, nullptr},
    {1, nullptr, INT32_MIN, INT32_MAX, "2147483648", 7, nullptr},
    {1, nullptr, INT32_MIN, INT32_MAX, "-2147483649", 7, nullptr},
    {1, nullptr, 0, 100, "99999999999999999999999", 7, nullptr},
    // IPv4
    {2, nullptr, 0, 0, "10.0.0.1", 0, nullptr},
    {2, nullptr, 0, 0, "127.0.0.1", 6, nullptr},
    {2, nullptr, 0, 0, "256.1.1.1", 6, nullptr},
    {2, nullptr, 0, 0, "1.2.3", 6, nullptr},
    {2, nullptr, 0, 0, "1..2.3", 0, nullptr},
    {2, nullptr, 0, 0, "0.0.0.0", 6, nullptr},
    {2, nullptr, 0, 0, "255.255.255.255", 6, nullptr},
    {2, nullptr, 0, 0, "1.2.3.-4", 6, nullptr},
    {2, nullptr, 0, 0, "192.168.100.2000", 6, nullptr},
    {2, nullptr, 0, 0, "", 6, nullptr},
    {2, nullptr, 0, 0, "1:", 6, nullptr},   // two characters: read as IPv4
    // IPv6: expanded in place, upper case
    {2, nullptr, 0, 0, "fe80::1", 0, kFe80},
    {2, nullptr, 0, 0, "1::", 0, "0001:0000:0000:0000:0000:0000:0000:0000"},
    {2, nullptr, 0, 0, "abcd:EF01:2:3:4:5:6:7", 0, "ABCD:EF01:0002:0003:0004:0005:0006:0007"},
    {2, nullptr, 0, 0, "1:2:3::4", 0, "0001:0002:0003:0000:0000:0000:0000:0004"},
    {2, nullptr, 0, 0, "::1", 6, nullptr},
    {2, nullptr, 0, 0, "1:2:3:4:5:6:7:12345", 6, nullptr},
    {2, nullptr, 0, 0, "1::2::3", 6, nullptr},
    {2, nullptr, 0, 0, "1:2:3:4::5:6:7:8", 6, nullptr},
    {2, nullptr, 0, 0, "fe80::g", 6, nullptr},
    // subnet masks
    {3, nullptr, 0, 0, "255.255.255.0", 0, nullptr},
    {3, nullptr, 0, 0, "255.0.255.0", 6, nullptr},
    {3, nullptr, 0, 0, "0.0.0.0", 6, nullptr},
    {3, nullptr, 0, 0, "128.0.0.0", 0, nullptr},
    {3, nullptr, 0, 0, "255.255.256.0", 6, nullptr},
    {3, nullptr, 0, 0, "255.255.254.0 ", 0, nullptr},   // characters after a part's digits are ignored
    {3, nullptr, 0, 0, "255.255.255.255.", 6, nullptr},
    // lists: whole items, ignoring case, untrimmed
    {4, "Enabled,Disabled", 0, 0, "DISABLED", 0, nullptr},
    {4, "Enabled,Disabled", 0, 0, "Enabled ", 6, nullptr},
    {4, "Enabled,Disabled", 0, 0, "Enabled,Disabled", 6, nullptr},
    {4, "Enabled,", 0, 0, "", 0, nullptr},
    {4, nullptr, 0, 0, "x", 6, nullptr},
    // no rule above 4
    {5, nullptr, 0, 0, "anything at all", 0, nullptr},
};

TEST(Validate, EveryRuleByRows) {
  for (const Case& c : kCases) {
    char value[256] = {};
    std::snprintf(value, sizeof value, "%s", c.input);
    const std::string where = "type " + std::to_string(c.vtype) + " input \"" + c.input + "\"";
    EXPECT_EQ(vx::varu_validate(value, c.allowed, c.vtype, c.min, c.max), c.want) << where;
    EXPECT_STREQ(value, c.rewritten != nullptr ? c.rewritten : c.input) << where;
  }
  EXPECT_EQ(vx::varu_validate(nullptr, nullptr, 0, 0, 10), 6u);
  EXPECT_EQ(vx::varu_validate_ipv6(nullptr), 6u);
  EXPECT_EQ(vx::varu_validate_list(nullptr, "a"), 6u);
  char a[40] = "fe80::1";
  EXPECT_EQ(vx::validateIPv6Address(a), 0u) << "the other entry point agrees";
  EXPECT_STREQ(a, kFe80);
}

// Long texts of digits and colons: the work text never overflows, a refused value stays as it
// was, and nothing past the 40 bytes of a valid result is written.
TEST(Validate, Ipv6StaysWithinItsBuffers) {
  std::string groups, after_double;
  for (int i = 0; i < 60; ++i) groups += "abcd:";
  for (int i = 0; i < 50; ++i) after_double += "2:";
  const std::string inputs[] = {std::string(300, '1'), std::string(300, ':'), "1:" + std::string(250, '1'), groups,
                                "1::" + after_double,  "1:2:3:4:5:6:7:8::",  "1:2:3:4:5:6:7::"};
  for (const std::string& input : inputs) {
    char value[512];
    std::memset(value, 'Z', sizeof value);
    std::memcpy(value, input.c_str(), input.size() + 1);
    EXPECT_EQ(vx::varu_validate_ipv6(value), 6u) << input;
    EXPECT_EQ(std::string(value), input);
    EXPECT_EQ(value[input.size() + 1], 'Z');
  }
  char value[64];
  std::memset(value, 'Z', sizeof value);
  std::memcpy(value, "1::2", 5);
  EXPECT_EQ(vx::varu_validate_ipv6(value), 0u);
  EXPECT_EQ(std::strlen(value), 39u);
  for (size_t i = 40; i < sizeof value; ++i) EXPECT_EQ(value[i], 'Z') << i;
  const std::string long_value(1000, '9');
  EXPECT_EQ(vx::varu_validate_val_integer(long_value.c_str(), 0, 10), 7u);
  EXPECT_EQ(vx::varu_validate_subnetmask(long_value.c_str()), 6u);
  EXPECT_EQ(vx::varu_validate_val_string(long_value.c_str(), 0, 255), 8u);
}

}  // namespace
