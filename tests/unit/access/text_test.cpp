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
  bool guard_intact() const {
    for (size_t i = size; i < bytes.size(); ++i) {
      if (bytes[i] != kCanary) return false;
    }
    return true;
  }
  std::string text() const { return std::string(bytes.data(), strnlen(bytes.data(), size)); }
  std::vector<char> bytes;
  size_t size;
};

TEST(Text, GetFieldCopiesTheFirstFieldWithinTheOutput) {
  struct Row {
    const char* text;
    char delim;
    int32_t out_len;
    uint32_t want_rc;
    const char* want;
  };
  const Row rows[] = {
      {"abc,def", ',', 8, 0, "abc"},  {"abc", ',', 8, 0, "abc"},   {",abc", ',', 8, 1, ""},
      {"", ',', 8, 0, ""},            {"abc", ',', 4, 0, "abc"},   {"abcd", ',', 4, 0, "abc"},
      {"abcdefgh,x", ',', 4, 0, "abc"}, {"a b", ' ', 2, 0, "a"},   {"abc", ',', 1, 0, ""},
  };
  for (const Row& r : rows) {
    Guarded out(static_cast<size_t>(r.out_len));
    EXPECT_EQ(vx::get_field(r.text, r.delim, out.data(), r.out_len), r.want_rc) << r.text;
    EXPECT_EQ(out.text(), r.want) << r.text;
    EXPECT_EQ(out.bytes[static_cast<size_t>(r.out_len) - 1], '\0') << r.text << ": always terminated";
    EXPECT_TRUE(out.guard_intact()) << r.text;
  }
  char out[4];
  EXPECT_EQ(vx::get_field(nullptr, ',', out, 4), 1u);
  EXPECT_EQ(vx::get_field("a", ',', nullptr, 4), 1u);
  EXPECT_EQ(vx::get_field("a", ',', out, 0), 1u);
}

TEST(Text, WordCountAndShifts) {
  struct Count {
    const char* text;
    const char* word;
    uint32_t want;
  };
  const Count counts[] = {{"aaaa", "aa", 2}, {"aaa", "aa", 1}, {"abc", "", 0}, {nullptr, "a", 0}};
  for (const Count& c : counts) {
    EXPECT_EQ(vx::word_count(c.text, c.word), c.want) << (c.text ? c.text : "NULL");
  }

  struct Shift {
    uint32_t value;
    int32_t n;
    uint32_t right;
    uint32_t left;
  };
  const Shift shifts[] = {{5, 0, 5, 5},
                          {1, 32, 0, 0},
                          {0x80000000u, 31, 1, 0},
                          {1, 31, 0, 0x80000000u},
                          {0xF0, 4, 0xF, 0xF00},
                          {7, 100, 0, 0},
                          {7, -1, 0, 0}};
  for (const Shift& s : shifts) {
    EXPECT_EQ(vx::ULShr(s.value, s.n), s.right) << s.value << ">>" << s.n;
    EXPECT_EQ(vx::ULShl(s.value, s.n), s.left) << s.value << "<<" << s.n;
  }
}

std::vector<uint8_t> bytes_of(std::initializer_list<unsigned> groups) {
  std::vector<uint8_t> out;
  for (unsigned g : groups) {
    out.push_back(static_cast<uint8_t>(g >> 8));
    out.push_back(static_cast<uint8_t>(g & 0xFF));
  }
  return out;
}

TEST(Text, Ipv6BytesToText) {
  struct Row {
    std::vector<uint8_t> in;
    size_t out_size;
    const char* want;
  };
  const Row rows[] = {
      {bytes_of({0xfe80, 0, 0, 0, 0, 0, 0, 1}), 40, "fe80::1"},
      {bytes_of({1, 0, 0, 0, 0, 0, 0, 0}), 40, "1::"},
      {bytes_of({0, 0, 0, 0, 0, 0, 0, 0}), 40, ""},
      {bytes_of({0, 0, 0, 0, 0, 0, 0, 1}), 40, "0::1"},
      {bytes_of({1, 2, 3, 4, 5, 6, 7, 8}), 40, "1:2:3:4:5:6:7:8"},
      {bytes_of({0x2001, 0xdb8, 0, 0, 0xff00, 0x42, 0x8329, 0}), 40, "2001:db8::ff00:42:8329:0"},
      {bytes_of({1, 0, 0, 2, 0, 0, 0, 3}), 40, "1::2:0:0:0:3"},
      {bytes_of({1, 2, 3, 4, 5, 6, 7, 0}), 40, "1:2:3:4:5:6:7::"},
      {bytes_of({0x1200, 0xab0c, 0x000a, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff}), 40,
       "1200:ab0c:a:ffff:ffff:ffff:ffff:ffff"},
      {bytes_of({0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff}), 40,
       "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
      {bytes_of({0xfe80, 0, 0, 0, 0, 0, 0, 1}), 5, "fe80"},
      {bytes_of({0xfe80, 0, 0, 0, 0, 0, 0, 1}), 1, ""},
  };
  for (const Row& r : rows) {
    Guarded out(r.out_size);
    vx::U8IPv6ToStr(r.in.data(), out.data(), r.out_size);
    EXPECT_EQ(out.text(), r.want);
    EXPECT_TRUE(out.guard_intact()) << r.want;
  }
}

TEST(Text, Ipv6TextToBytes) {
  struct Row {
    const char* text;
    size_t text_size;   // 0: the text's own size
    std::vector<uint8_t> want;   // 16 bytes, starting from 0xAA in every byte
    const char* text_after;
  };
  std::vector<uint8_t> zero_first(16, 0xAA);
  zero_first[0] = 0;
  std::vector<uint8_t> odd(16, 0xAA);
  odd[0] = 0xAB;
  odd[1] = 0xC0;
  const Row rows[] = {
      {"FE80:0000:0000:0000:0000:0000:0000:0001", 0, bytes_of({0xfe80, 0, 0, 0, 0, 0, 0, 1}),
       "FE80:0000:0000:0000:0000:0000:0000:0001"},
      {"fe80:0000:0000:0000:0000:0000:0000:0001", 0, bytes_of({0xfe80, 0, 0, 0, 0, 0, 0, 1}), nullptr},
      {"", 40, zero_first, "0::"},
      {"", 1, zero_first, ""},   // no room to rewrite: still the zero address
      {"ABC", 0, odd, nullptr},
      {"11112222333344445555666677778888999900", 0,
       bytes_of({0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666, 0x7777, 0x8888}), nullptr},
  };
  for (const Row& r : rows) {
    size_t size = r.text_size != 0 ? r.text_size : std::strlen(r.text) + 1;
    std::vector<char> text(size + 8, kCanary);
    std::memcpy(text.data(), r.text, std::min(size, std::strlen(r.text) + 1));
    std::vector<uint8_t> out(16 + 8, 0xAA);
    vx::StrToU8IPv6(text.data(), size, out.data());
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 16), r.want) << r.text;
    for (size_t i = 16; i < out.size(); ++i) EXPECT_EQ(out[i], 0xAA) << r.text << ": wrote past 16 bytes";
    for (size_t i = size; i < text.size(); ++i) EXPECT_EQ(text[i], kCanary) << r.text;
    if (r.text_after != nullptr) {
      EXPECT_STREQ(text.data(), r.text_after);
    }
  }
}

TEST(Text, Ipv6RoundTripThroughTheExpandedForm) {
  const char* texts[] = {"fe80::1", "1::", "0::1", "1:2:3:4:5:6:7:8", "2001:db8::ff00:42:8329:0"};
  for (const char* t : texts) {
    char expanded[vx::kIpv6TextSize] = "";
    std::snprintf(expanded, sizeof expanded, "%s", t);
    ASSERT_EQ(vx::validateIPv6Address(expanded), 0u) << t;
    uint8_t bytes[16] = {};
    vx::StrToU8IPv6(expanded, sizeof expanded, bytes);
    char back[vx::kIpv6TextSize];
    vx::U8IPv6ToStr(bytes, back, sizeof back);
    EXPECT_STREQ(back, t);
  }
}

TEST(Text, MacConversionStaysWithinTheOutput) {
  struct Row {
    const char* src;
    size_t dst_size;
    uint32_t want_rc;
    const char* want;
  };
  const Row rows[] = {
      {"00-11-22-aa-bb-cc", 18, 0, "00:11:22:aa:bb:cc"},
      {"00-11-22-aa-bb-cc", 64, 0, "00:11:22:aa:bb:cc"},
      {"00-11-22-aa-bb-cc", 17, 1, "00:11:22:aa:bb:c"},
      {"00-11", 1, 1, ""},
      {"", 4, 0, ""},
  };
  for (const Row& r : rows) {
    Guarded out(r.dst_size);
    EXPECT_EQ(vx::VARU_convert_mac_addr(r.src, '-', out.data(), r.dst_size, ':'), r.want_rc) << r.src;
    EXPECT_EQ(out.text(), r.want);
    EXPECT_TRUE(out.guard_intact()) << r.src;
  }
  char dst[8];
  EXPECT_EQ(vx::VARU_convert_mac_addr(nullptr, '-', dst, sizeof dst, ':'), 1u);
  EXPECT_EQ(vx::VARU_convert_mac_addr("a", '-', nullptr, 8, ':'), 1u);
  EXPECT_EQ(vx::VARU_convert_mac_addr("a", '-', dst, 0, ':'), 1u);
}

TEST(Text, HexToBinary) {
  struct Row {
    const char* hex;
    int32_t len;
    size_t out_size;
    int32_t want_rc;
    std::vector<uint8_t> want;   // the whole output (starts as 0xEE)
  };
  const Row rows[] = {
      {"0a1B", 4, 2, 0, {0x0a, 0x1b}},
      {"0a1B", 3, 2, 0, {0x0a, 0xEE}},   // an odd length drops the last character
      {"ffFF00", 6, 3, 0, {0xff, 0xff, 0x00}},
      {"0a1b", 4, 1, -1, {0xEE}},        // would not fit: nothing written
      {"0g", 2, 1, -1, {0xEE}},
      {"0a", 4, 2, -1, {0xEE, 0xEE}},    // the text ends early
      {"0a", -2, 1, -1, {0xEE}},
      {"", 0, 1, 0, {0xEE}},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> out(r.out_size + 4, 0xEE);
    EXPECT_EQ(vx::convert_hex_to_bin(r.hex, r.len, out.data(), r.out_size), r.want_rc) << r.hex << "/" << r.len;
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(r.out_size)), r.want) << r.hex;
    for (size_t i = r.out_size; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << r.hex;
  }
  uint8_t out[2];
  EXPECT_EQ(vx::convert_hex_to_bin(nullptr, 2, out, 2), -1);
  EXPECT_EQ(vx::convert_hex_to_bin("00", 2, nullptr, 2), -1);
}

TEST(Text, SplitReplacesEveryDelimiter) {
  char text[] = "a,b;c,";
  EXPECT_EQ(vx::backend_split(text, ",;"), 3u);
  EXPECT_EQ(std::memcmp(text, "a\0b\0c\0", 7), 0);
  char empty[] = "";
  EXPECT_EQ(vx::backend_split(empty, ","), 0u);
  EXPECT_EQ(vx::backend_split(nullptr, ","), 0u);
}

TEST(Text, FieldsOfDelimitedText) {
  struct Row {
    const char* text;
    uint32_t n;
    const char* delims;
    const char* parse;   // varu_parse: runs of delimiters are one separator
    const char* file;    // parse_file: every delimiter separates
  };
  const Row rows[] = {
      {"a,,b", 1, ",", "a", "a"},
      {"a,,b", 2, ",", "b", ""},
      {"a,,b", 3, ",", nullptr, "b"},
      {"a,b\n", 2, ",", "b", "b"},
      {"abc", 1, ",", nullptr, nullptr},   // no delimiter at all
      {"a,b", 3, ",", nullptr, nullptr},
      {",a,b", 1, ",", "a", ""},
      {"a,b,,", 3, ",", nullptr, ""},
      {"a b\tc", 3, " \t", "c", "c"},
      {"a,b", 0, ",", nullptr, nullptr},
      {"Vexalon0,iSCSIPhysicalHBA1,LogicalHBA0,iqn.x", 4, ",", "iqn.x", "iqn.x"},
  };
  uint32_t before = vx::varu_alloc_count();
  for (const Row& r : rows) {
    char* parsed = vx::varu_parse(r.text, r.n, r.delims);
    char* filed = vx::parse_file(r.text, r.n, r.delims);
    if (r.parse == nullptr) {
      EXPECT_EQ(parsed, nullptr) << r.text << " #" << r.n;
    } else {
      ASSERT_NE(parsed, nullptr) << r.text << " #" << r.n;
      EXPECT_STREQ(parsed, r.parse) << r.text << " #" << r.n;
    }
    if (r.file == nullptr) {
      EXPECT_EQ(filed, nullptr) << r.text << " #" << r.n;
    } else {
      ASSERT_NE(filed, nullptr) << r.text << " #" << r.n;
      EXPECT_STREQ(filed, r.file) << r.text << " #" << r.n;
    }
    vx::varu_dfree(parsed);
    vx::varu_dfree(filed);
  }
  EXPECT_EQ(vx::varu_alloc_count(), before) << "fields come from the counted allocator";
  EXPECT_EQ(vx::varu_parse(nullptr, 1, ","), nullptr);
  EXPECT_EQ(vx::parse_file(nullptr, 1, ","), nullptr);
}

TEST(Text, HexDigitsCheck) {
  struct Row {
    const char* text;
    int32_t len;
    uint32_t want;
  };
  const Row rows[] = {{"0aF9", 4, 1}, {"0aG9", 4, 0}, {"ab", 3, 0}, {"12zz", 2, 1},
                      {"xyz", 0, 1},  {"xyz", -5, 1}, {nullptr, 1, 0}};
  for (const Row& r : rows) EXPECT_EQ(vx::is_hex(r.text, r.len), r.want) << (r.text ? r.text : "NULL") << "/" << r.len;
}

}  // namespace
