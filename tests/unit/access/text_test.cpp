// Text, address and number routines as table rows; every writer is checked against its output size.
#include "access/text.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"

namespace {

constexpr char kCanary = '#';

// An output buffer of `size` bytes followed by guard bytes that must stay untouched.
struct Guarded {
  explicit Guarded(size_t size) : bytes(size + 8, kCanary), size(size) {}
  char* data() { return bytes.data(); }
  bool guard_intact() const { return std::string(bytes.begin() + size, bytes.end()) == std::string(8, kCanary); }
  std::string text() const { return std::string(bytes.data(), strnlen(bytes.data(), size)); }
  std::vector<char> bytes;
  size_t size;
};

std::vector<uint8_t> bytes_of(std::initializer_list<unsigned> groups) {
  std::vector<uint8_t> out;
  for (unsigned g : groups) out.insert(out.end(), {static_cast<uint8_t>(g >> 8), static_cast<uint8_t>(g & 0xFF)});
  return out;
}

TEST(Text, FirstFieldStaysWithinTheOutput) {
  const struct { const char* text; char delim; int32_t out_len; uint32_t want_rc; const char* want; } fields[] = {
      {"abc,def", ',', 8, 0, "abc"}, {",abc", ',', 8, 1, ""},    {"", ',', 8, 0, ""},   {"abc", ',', 4, 0, "abc"},
      {"abcd", ',', 4, 0, "abc"},    {"abcdefgh,x", ',', 4, 0, "abc"}, {"a b", ' ', 2, 0, "a"}, {"abc", ',', 1, 0, ""}};
  for (const auto& r : fields) {
    Guarded out(static_cast<size_t>(r.out_len));
    EXPECT_EQ(vx::get_field(r.text, r.delim, out.data(), r.out_len), r.want_rc) << r.text;
    EXPECT_EQ(out.text(), r.want) << r.text;
    EXPECT_EQ(out.bytes[static_cast<size_t>(r.out_len) - 1], '\0') << r.text << ": always terminated";
    EXPECT_TRUE(out.guard_intact()) << r.text;
  }
  char out[4];
  EXPECT_EQ(vx::get_field(nullptr, ',', out, 4), 1u);
  EXPECT_EQ(vx::get_field("a", ',', out, 0), 1u);
}

TEST(Text, Ipv6BothWays) {
  const struct { std::vector<uint8_t> in; size_t out_size; const char* want; } to_text[] = {
      {bytes_of({0xfe80, 0, 0, 0, 0, 0, 0, 1}), 40, "fe80::1"},
      {bytes_of({1, 0, 0, 0, 0, 0, 0, 0}), 40, "1::"},
      {bytes_of({0, 0, 0, 0, 0, 0, 0, 0}), 40, ""},
      {bytes_of({0, 0, 0, 0, 0, 0, 0, 1}), 40, "0::1"},
      {bytes_of({0x2001, 0xdb8, 0, 0, 0xff00, 0x42, 0x8329, 0}), 40, "2001:db8::ff00:42:8329:0"},
      {bytes_of({1, 0, 0, 2, 0, 0, 0, 3}), 40, "1::2:0:0:0:3"},
      {bytes_of({1, 2, 3, 4, 5, 6, 7, 0}), 40, "1:2:3:4:5:6:7::"},
      {bytes_of({0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff}), 40,
       "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
      {bytes_of({0xfe80, 0, 0, 0, 0, 0, 0, 1}), 5, "fe80"},
      {bytes_of({0xfe80, 0, 0, 0, 0, 0, 0, 1}), 1, ""},
  };
  for (const auto& r : to_text) {
    Guarded out(r.out_size);
    vx::U8IPv6ToStr(r.in.data(), out.data(), r.out_size);
    EXPECT_EQ(out.text(), r.want);
    EXPECT_TRUE(out.guard_intact()) << r.want;
  }
  // Text to bytes: an upper-case text as given; the zero address rewrites its text when it has room.
  uint8_t bytes[16 + 8];
  std::memset(bytes, 0xAA, sizeof bytes);
  char zero[40] = "", tight[1] = {'\0'};
  vx::StrToU8IPv6(zero, sizeof zero, bytes);
  EXPECT_STREQ(zero, "0::");
  vx::StrToU8IPv6(tight, sizeof tight, bytes);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[16], 0xAA) << "nothing past 16 bytes";
  for (const char* t : {"fe80::1", "1::", "0::1", "1:2:3:4:5:6:7:8", "2001:db8::ff00:42:8329:0"}) {
    char expanded[vx::kIpv6TextSize] = "";
    std::snprintf(expanded, sizeof expanded, "%s", t);
    ASSERT_EQ(vx::validateIPv6Address(expanded), 0u) << t;
    uint8_t bytes[16] = {};
    vx::StrToU8IPv6(expanded, sizeof expanded, bytes);
    char back[vx::kIpv6TextSize];
    vx::U8IPv6ToStr(bytes, back, sizeof back);
    EXPECT_STREQ(back, t) << "round trip through the expanded form";
  }
}

TEST(Text, MacAndHexStayWithinTheOutput) {
  const struct { const char* src; size_t dst_size; uint32_t want_rc; const char* want; } macs[] = {
      {"00-11-22-aa-bb-cc", 18, 0, "00:11:22:aa:bb:cc"}, {"00-11-22-aa-bb-cc", 17, 1, "00:11:22:aa:bb:c"},
      {"00-11", 1, 1, ""}, {"", 4, 0, ""}};
  for (const auto& r : macs) {
    Guarded out(r.dst_size);
    EXPECT_EQ(vx::VARU_convert_mac_addr(r.src, '-', out.data(), r.dst_size, ':'), r.want_rc) << r.src;
    EXPECT_EQ(out.text(), r.want);
    EXPECT_TRUE(out.guard_intact()) << r.src;
  }
  char dst[8];
  EXPECT_EQ(vx::VARU_convert_mac_addr(nullptr, '-', dst, sizeof dst, ':'), 1u);
  EXPECT_EQ(vx::VARU_convert_mac_addr("a", '-', dst, 0, ':'), 1u);
  const struct { const char* hex; int32_t len; size_t out_size; int32_t want_rc; std::vector<uint8_t> want; } hexes[] = {
      {"0a1B", 4, 2, 0, {0x0a, 0x1b}}, {"0a1B", 3, 2, 0, {0x0a, 0xEE}},   // an odd length drops the last character
      {"0a1b", 4, 1, -1, {0xEE}},      {"0g", 2, 1, -1, {0xEE}},           // would not fit, not hex: nothing written
      {"0a", 4, 2, -1, {0xEE, 0xEE}},  {"0a", -2, 1, -1, {0xEE}},  {"", 0, 1, 0, {0xEE}}};
  for (const auto& r : hexes) {
    std::vector<uint8_t> out(r.out_size + 4, 0xEE);
    EXPECT_EQ(vx::convert_hex_to_bin(r.hex, r.len, out.data(), r.out_size), r.want_rc) << r.hex << "/" << r.len;
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(r.out_size)), r.want) << r.hex;
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + static_cast<long>(r.out_size), out.end()),
              std::vector<uint8_t>(4, 0xEE)) << r.hex;
  }
  EXPECT_EQ(vx::convert_hex_to_bin(nullptr, 2, reinterpret_cast<uint8_t*>(dst), 2), -1);
  const std::pair<const char*, int32_t> digits[] = {{"0aF9", 4}, {"12zz", 2}, {"xyz", 0}, {"xyz", -5}};
  for (const auto& [text, len] : digits) EXPECT_EQ(vx::is_hex(text, len), 1u) << text << "/" << len;
  const std::pair<const char*, int32_t> not_digits[] = {{"0aG9", 4}, {"ab", 3}, {nullptr, 1}};
  for (const auto& [text, len] : not_digits) EXPECT_EQ(vx::is_hex(text, len), 0u) << (text ? text : "NULL");
}

TEST(Text, FieldsOfDelimitedText) {
  char text[] = "a,b;c,";
  EXPECT_EQ(vx::backend_split(text, ",;"), 3u);
  EXPECT_EQ(std::memcmp(text, "a\0b\0c\0", 7), 0);
  EXPECT_EQ(vx::backend_split(nullptr, ","), 0u);
  // varu_parse takes runs of delimiters as one separator, parse_file every delimiter; NULL: none.
  const struct { const char* text; uint32_t n; const char* delims; const char* parse; const char* file; } rows[] = {
      {"a,,b", 1, ",", "a", "a"},          {"a,,b", 2, ",", "b", ""},       {"a,,b", 3, ",", nullptr, "b"},
      {"a,b\n", 2, ",", "b", "b"},         {"abc", 1, ",", nullptr, nullptr}, {"a,b", 3, ",", nullptr, nullptr},
      {",a,b", 1, ",", "a", ""},           {"a,b,,", 3, ",", nullptr, ""},  {"a b\tc", 3, " \t", "c", "c"},
      {"a,b", 0, ",", nullptr, nullptr},   {nullptr, 1, ",", nullptr, nullptr},
  };
  const uint32_t before = vx::varu_alloc_count();
  for (const auto& r : rows) {
    char* parsed = vx::varu_parse(r.text, r.n, r.delims);
    char* filed = vx::parse_file(r.text, r.n, r.delims);
    EXPECT_STREQ(parsed != nullptr ? parsed : "(none)", r.parse != nullptr ? r.parse : "(none)") << &r - rows;
    EXPECT_STREQ(filed != nullptr ? filed : "(none)", r.file != nullptr ? r.file : "(none)") << &r - rows;
    vx::varu_dfree(parsed);
    vx::varu_dfree(filed);
  }
  EXPECT_EQ(vx::varu_alloc_count(), before) << "fields come from the counted allocator";
}

}  // namespace
