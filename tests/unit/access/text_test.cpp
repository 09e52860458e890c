// Text, address and number routines as table rows; every writer is checked against its output size.
#include "access/text.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"

namespace {

// An output buffer of `size` bytes followed by guard bytes that must stay untouched.
struct Guarded {
  explicit Guarded(size_t size) : bytes(size + 8, '#'), size(size) {}
  char* data() { return bytes.data(); }
  bool guard_intact() const { return std::string(bytes.begin() + size, bytes.end()) == "########"; }
  std::string text() const { return std::string(bytes.data(), strnlen(bytes.data(), size)); }
  std::vector<char> bytes;
  size_t size;
};

TEST(Text, WritersStayWithinTheOutput) {
  const struct { const char* text; int32_t out_len; uint32_t want_rc; const char* want; } fields[] = {
      {"abc,def", 8, 0, "abc"}, {",abc", 8, 1, ""}, {"abcd", 4, 0, "abc"}, {"abcdefgh,x", 4, 0, "abc"},
      {"abc", 1, 0, ""}};
  for (const auto& r : fields) {
    Guarded out(static_cast<size_t>(r.out_len));
    EXPECT_EQ(vx::get_field(r.text, ',', out.data(), r.out_len), r.want_rc) << r.text;
    EXPECT_EQ(out.text(), r.want) << r.text;
    EXPECT_TRUE(out.guard_intact() && out.bytes[static_cast<size_t>(r.out_len) - 1] == '\0') << r.text;
  }
  const uint8_t fe80[16] = {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  for (const auto& [size, want] : {std::pair<size_t, const char*>{40, "fe80::1"}, {5, "fe80"}, {1, ""}}) {
    Guarded out(size);
    vx::U8IPv6ToStr(fe80, out.data(), size);
    EXPECT_EQ(out.text(), want);
    EXPECT_TRUE(out.guard_intact()) << size;
  }
  const struct { const char* src; size_t size; uint32_t want_rc; const char* want; } macs[] = {
      {"00-11-22-aa-bb-cc", 18, 0, "00:11:22:aa:bb:cc"}, {"00-11-22-aa-bb-cc", 17, 1, "00:11:22:aa:bb:c"},
      {"00-11", 1, 1, ""}};
  for (const auto& r : macs) {
    Guarded out(r.size);
    EXPECT_EQ(vx::VARU_convert_mac_addr(r.src, '-', out.data(), r.size, ':'), r.want_rc) << r.size;
    EXPECT_EQ(out.text(), r.want);
    EXPECT_TRUE(out.guard_intact()) << r.size;
  }
  const struct { const char* hex; int32_t len; size_t size; int32_t want_rc; std::vector<uint8_t> want; } hexes[] = {
      {"0a1B", 4, 2, 0, {0x0a, 0x1b}}, {"0a1B", 3, 2, 0, {0x0a, 0xEE}},   // an odd length drops the last character
      {"0a1b", 4, 1, -1, {0xEE}},      {"0g", 2, 1, -1, {0xEE}},           // would not fit, not hex: nothing written
      {"0a", 4, 2, -1, {0xEE, 0xEE}},  {"0a", -2, 1, -1, {0xEE}}};
  for (const auto& r : hexes) {
    std::vector<uint8_t> out(r.size + 4, 0xEE), want = r.want;
    want.resize(r.size + 4, 0xEE);
    EXPECT_EQ(vx::convert_hex_to_bin(r.hex, r.len, out.data(), r.size), r.want_rc) << r.hex << "/" << r.len;
    EXPECT_EQ(out, want) << r.hex << "/" << r.len;
  }
  char dst[8];
  EXPECT_EQ(vx::get_field(nullptr, ',', dst, 4) + vx::VARU_convert_mac_addr(nullptr, '-', dst, 8, ':'), 2u);
  EXPECT_EQ(vx::convert_hex_to_bin(nullptr, 2, reinterpret_cast<uint8_t*>(dst), 2), -1);
}

TEST(Text, Ipv6RoundTripThroughTheExpandedForm) {
  for (const char* t : {"fe80::1", "1::", "0::1", "1:2:3:4:5:6:7:8", "2001:db8::ff00:42:8329:0", "1::2:0:0:0:3"}) {
    char expanded[vx::kIpv6TextSize] = "";
    std::snprintf(expanded, sizeof expanded, "%s", t);
    ASSERT_EQ(vx::validateIPv6Address(expanded), 0u) << t;
    uint8_t bytes[16 + 8];
    std::memset(bytes, 0xAA, sizeof bytes);
    vx::StrToU8IPv6(expanded, sizeof expanded, bytes);
    EXPECT_EQ(bytes[16], 0xAA) << "nothing past 16 bytes";
    char back[vx::kIpv6TextSize];
    vx::U8IPv6ToStr(bytes, back, sizeof back);
    EXPECT_STREQ(back, t);
  }
}

}  // namespace
