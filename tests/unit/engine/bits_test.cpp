// Bitfields and comma lists.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"

using namespace vx;

namespace {

// The bit operations never touch a bit outside the field; the field is allocated zeroed and counted.
TEST(Bitfield, StaysWithinItsBits) {
  uint8_t field[2] = {0, 0};
  EXPECT_EQ(set_bit(field, 16, 9), 0);
  EXPECT_EQ(is_set(field, 16, 9), 2) << "the masked bit";
  for (int32_t index : {8, -1}) EXPECT_EQ(set_bit(field, 8, index), -1) << index;
  EXPECT_EQ(clear_bit(field, 8, 9), -1);
  EXPECT_EQ(is_set(field, 9, 9), -1);
  EXPECT_EQ(field[0] | field[1] << 8, 0x0200);
  EXPECT_EQ(get_first_one(field, 9), -1) << "bits beyond nbits are not looked at";
  EXPECT_EQ(get_first_one(field, -5), -1);
  field[0] = 0xFF;
  field[1] = 0x03;
  EXPECT_EQ(get_first_zero(field, 16), 10);
  EXPECT_EQ(get_first_zero(field, 10), -1);
  EXPECT_EQ(get_first_zero(field, 0), -1);
  const uint32_t start = varu_alloc_count();
  EXPECT_EQ(alloc_bitfield(0), nullptr);
  uint8_t* f = alloc_bitfield(1025);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(get_first_one(f, 1025), -1);
  EXPECT_EQ(set_bit(f, 1025, 1024), 0);
  EXPECT_EQ(set_bit(nullptr, 8, 0), -1);
  free_bitfield(f);
  EXPECT_EQ(varu_alloc_count(), start);
}

// Whole items, by mode (1 ignores case, other modes match nothing); never past 255 characters: an
// item that would not fit whole is refused, not cut, and a text without a terminator in its first
// 256 bytes is no list.
TEST(CommaList, WholeItemsWithinTwoHundredFiftyFiveCharacters) {
  const struct { const char* list; const char* item; int32_t mode; int offset; } searches[] = {
      {"Yes,No", "no", 1, 4}, {"Yes,No", "no", 0, -1}, {"Yes,No", "no", 2, -1}, {"Yes,No", "Ye", 1, -1},
      {"a,,b", "", 0, 2},     {"abc", "abcd", 0, -1}};
  for (const auto& c : searches) {
    const char* got = varu_internal_list_search(c.list, c.item, c.mode);
    EXPECT_EQ(got == nullptr ? -1 : static_cast<int>(got - c.list), c.offset) << c.list << " / " << c.item;
  }
  char list[kValueSize] = "a,b,c";
  EXPECT_EQ(varu_internal_list_del(list, "B", 1), 0);
  EXPECT_EQ(varu_internal_list_add(list, "C", 1), 1) << "already there";
  EXPECT_STREQ(list, "a,c");
  const std::string almost(250, 'a');
  std::snprintf(list, sizeof list, "%s", almost.c_str());
  EXPECT_EQ(varu_internal_list_add(list, "bcdefg", 0), 1);
  EXPECT_EQ(std::string(list), almost);
  EXPECT_EQ(varu_internal_list_add(list, "bcd", 0), 0);
  EXPECT_EQ(std::string(list), almost + ",bcd");
  std::vector<char> unterminated(256, 'q');
  EXPECT_EQ(varu_internal_list_search(unterminated.data(), "q", 0), nullptr);
  EXPECT_EQ(varu_internal_list_add(unterminated.data(), "q", 0), 1);
  EXPECT_EQ(varu_internal_list_del(unterminated.data(), "q", 0), 1);
  EXPECT_EQ(std::string(unterminated.begin(), unterminated.end()), std::string(256, 'q'));
  EXPECT_EQ(varu_internal_list_add(nullptr, "a", 0) + varu_internal_list_del(list, nullptr, 0), 2);
}

}  // namespace
