// Bitfields and comma lists.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/hm.h"

using namespace vx;

namespace {

enum class Op { kIsSet, kSet, kClear, kFirstZero, kFirstOne };

struct BitCase {
  const char* what;
  std::vector<int> preset;   // bits set before the operation
  Op op;
  int32_t nbits;
  int32_t index;
  int want;
  uint16_t want_field;       // the two bytes afterwards
};

const BitCase kBitCases[] = {
    {"set bit 0", {}, Op::kSet, 16, 0, 0, 0x0001},
    {"set bit 9 (second byte)", {}, Op::kSet, 16, 9, 0, 0x0200},
    {"set past the end", {}, Op::kSet, 8, 8, -1, 0x0000},
    {"set negative", {}, Op::kSet, 8, -1, -1, 0x0000},
    {"clear bit", {3, 4}, Op::kClear, 8, 3, 0, 0x0010},
    {"clear past the end", {8}, Op::kClear, 8, 8, -1, 0x0100},
    {"is_set gives the masked bit", {2}, Op::kIsSet, 8, 2, 4, 0x0004},
    {"is_set clear", {2}, Op::kIsSet, 8, 1, 0, 0x0004},
    {"is_set past the end", {9}, Op::kIsSet, 9, 9, -1, 0x0200},
    {"first zero of empty", {}, Op::kFirstZero, 16, 0, 0, 0x0000},
    {"first zero after a full byte", {0, 1, 2, 3, 4, 5, 6, 7, 8}, Op::kFirstZero, 16, 0, 9, 0x01FF},
    {"first zero: none below nbits", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Op::kFirstZero, 10, 0, -1, 0x03FF},
    {"first zero: no bits", {}, Op::kFirstZero, 0, 0, -1, 0x0000},
    {"first one of empty", {}, Op::kFirstOne, 16, 0, -1, 0x0000},
    {"first one in second byte", {12, 14}, Op::kFirstOne, 16, 0, 12, 0x5000},
    {"first one beyond nbits ignored", {12}, Op::kFirstOne, 12, 0, -1, 0x1000},
    {"first one: negative nbits", {1}, Op::kFirstOne, -5, 0, -1, 0x0002},
};

TEST(Bitfield, Rows) {
  for (const BitCase& c : kBitCases) {
    SCOPED_TRACE(c.what);
    uint8_t field[2] = {0, 0};
    for (int bit : c.preset) field[bit / 8] = static_cast<uint8_t>(field[bit / 8] | (1 << (bit % 8)));
    int got = 0;
    switch (c.op) {
      case Op::kIsSet: got = is_set(field, c.nbits, c.index); break;
      case Op::kSet: got = set_bit(field, c.nbits, c.index); break;
      case Op::kClear: got = clear_bit(field, c.nbits, c.index); break;
      case Op::kFirstZero: got = get_first_zero(field, c.nbits); break;
      case Op::kFirstOne: got = get_first_one(field, c.nbits); break;
    }
    EXPECT_EQ(got, c.want);
    EXPECT_EQ(field[0] | (field[1] << 8), c.want_field);
  }
}

TEST(Bitfield, AllocatedZeroedAndCounted) {
  const uint32_t start = varu_alloc_count();
  EXPECT_EQ(alloc_bitfield(0), nullptr);
  uint8_t* f = alloc_bitfield(1025);   // 129 bytes
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(get_first_one(f, 1025), -1);
  EXPECT_EQ(set_bit(f, 1025, 1024), 0);
  EXPECT_EQ(get_first_one(f, 1025), 1024);
  EXPECT_EQ(is_set(nullptr, 8, 0), -1);
  EXPECT_EQ(set_bit(nullptr, 8, 0), -1);
  EXPECT_EQ(get_first_zero(nullptr, 8), -1);
  free_bitfield(f);
  free_bitfield(nullptr);
  EXPECT_EQ(varu_alloc_count(), start);
}

// ---- comma lists -------------------------------------------------------------------------------

struct SearchCase {
  const char* list;
  const char* item;
  int32_t mode;
  int want_offset;   // -1 = not found
};

const SearchCase kSearchCases[] = {
    {"a,b,c", "b", 0, 2},
    {"Yes,No", "no", 1, 4},
    {"Yes,No", "no", 0, -1},
    {"Yes,No", "no", 2, -1},         // other modes match nothing
    {"Yes,No", "Ye", 1, -1},         // whole items only
    {"Yes,No", "Yes,No", 1, -1},
    {"True,False", "False", 1, 5},
    {"", "", 0, 0},                  // an empty list holds one empty item
    {"", "a", 0, -1},
    {"a,,b", "", 0, 2},
    {"abc", "abcd", 0, -1},
};

TEST(CommaList, Search) {
  for (const SearchCase& c : kSearchCases) {
    const char* got = varu_internal_list_search(c.list, c.item, c.mode);
    EXPECT_EQ(got == nullptr ? -1 : static_cast<int>(got - c.list), c.want_offset)
        << "'" << c.list << "' / '" << c.item << "' mode " << c.mode;
  }
  EXPECT_EQ(varu_internal_list_search(nullptr, "a", 0), nullptr);
  EXPECT_EQ(varu_internal_list_search("a", nullptr, 0), nullptr);
}

struct EditCase {
  bool add;
  const char* list;
  const char* item;
  int32_t mode;
  int want;
  const char* want_list;
};

const EditCase kEditCases[] = {
    {false, "a,b,c", "b", 0, 0, "a,c"},
    {false, "a,b,c", "a", 0, 0, "b,c"},
    {false, "a,b,c", "c", 0, 0, "a,b"},
    {false, "a", "a", 0, 0, ""},
    {false, "a,b,c", "B", 1, 0, "a,c"},
    {false, "a,b,c", "B", 0, 1, "a,b,c"},
    {false, "a,b,c", "d", 1, 1, "a,b,c"},
    {false, "a,,b", "", 0, 0, "a,b"},
    {true, "", "a", 0, 0, "a"},
    {true, "a", "b", 0, 0, "a,b"},
    {true, "a,b", "B", 1, 1, "a,b"},
    {true, "a,b", "B", 0, 0, "a,b,B"},
    {true, "a", "a", 7, 0, "a,a"},   // other modes find nothing, so the item goes in
};

TEST(CommaList, AddAndDelete) {
  for (const EditCase& c : kEditCases) {
    char list[kValueSize];
    std::snprintf(list, sizeof list, "%s", c.list);
    int got = c.add ? varu_internal_list_add(list, c.item, c.mode) : varu_internal_list_del(list, c.item, c.mode);
    EXPECT_EQ(got, c.want) << (c.add ? "add '" : "del '") << c.item << "' to '" << c.list << "'";
    EXPECT_STREQ(list, c.want_list);
  }
  char list[kValueSize] = "a";
  EXPECT_EQ(varu_internal_list_add(nullptr, "a", 0), 1);
  EXPECT_EQ(varu_internal_list_add(list, nullptr, 0), 1);
  EXPECT_EQ(varu_internal_list_del(nullptr, "a", 0), 1);
  EXPECT_EQ(varu_internal_list_del(list, nullptr, 0), 1);
}

TEST(CommaList, NeverGoesPastTwoHundredFiftyFiveCharacters) {
  // Full list: 255 characters.
  char list[kValueSize];
  std::string full(253, 'x');
  full += ",y";
  std::snprintf(list, sizeof list, "%s", full.c_str());
  EXPECT_EQ(varu_internal_list_add(list, "z", 0), 1);
  EXPECT_EQ(std::string(list), full);
  EXPECT_EQ(varu_internal_list_del(list, "y", 0), 0);
  EXPECT_EQ(std::string(list), std::string(253, 'x'));

  // An item that would not fit whole is refused, not cut.
  std::string almost(250, 'a');
  std::snprintf(list, sizeof list, "%s", almost.c_str());
  EXPECT_EQ(varu_internal_list_add(list, "bcdefg", 0), 1);
  EXPECT_EQ(std::string(list), almost);
  EXPECT_EQ(varu_internal_list_add(list, "bcd", 0), 0);
  EXPECT_EQ(std::string(list), almost + ",bcd");

  // A text without terminator in its first 256 bytes is no list: nothing read past them.
  std::vector<char> unterminated(256, 'q');
  EXPECT_EQ(varu_internal_list_search(unterminated.data(), "q", 0), nullptr);
  EXPECT_EQ(varu_internal_list_add(unterminated.data(), "q", 0), 1);
  EXPECT_EQ(varu_internal_list_del(unterminated.data(), "q", 0), 1);
  EXPECT_EQ(std::string(unterminated.begin(), unterminated.end()), std::string(256, 'q'));

  // An item longer than a list can be is never found.
  std::vector<char> long_item(300, 'q');
  long_item.back() = '\0';
  EXPECT_EQ(varu_internal_list_search("q", long_item.data(), 0), nullptr);
}

}  // namespace
