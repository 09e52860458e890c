// The UTF-8 / UTF-32 codec and the two conversions every entry point uses.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ima/esx50_codeset.h"

namespace vx {
namespace {

TEST(Codeset, DecodesOneSequence) {
  const struct {
    std::string bytes;
    uint32_t length;   // 0: invalid
    uint32_t code_point;
  } cases[] = {
      {"A", 1, 0x41}, {"\xC3\xA9", 2, 0xE9}, {"\xF4\x90\x80\x80", 4, 0x110000},
      {"\xED\xA0\x80", 3, 0xD800},   // a surrogate is taken as it is
      {"\xC0\xAF", 0, 0}, {"\xE0\x80\x80", 0, 0},   // overlong
      {"\x80", 0, 0}, {"\xC3\x41", 0, 0},           // stray or missing continuation
      {"\xF5\x80\x80\x80", 0, 0}, {"\xE2\x82", 0, 0},   // no such lead; runs past the end
  };
  for (const auto& c : cases) {
    const auto* p = reinterpret_cast<const uint8_t*>(c.bytes.data());
    uint32_t v = 0;
    EXPECT_EQ(Iscsi_CodeSetOldGetUtf8(p, p + c.bytes.size(), &v), c.length) << c.bytes;
    if (c.length != 0) {
      EXPECT_EQ(v, c.code_point) << c.bytes;
    }
  }
  EXPECT_EQ(Iscsi_CodeSet_LengthInCodePoints("a\xC3\xA9z"), 3);
  EXPECT_EQ(Iscsi_CodeSet_LengthInCodePoints("a\xC3"), -1);
}

TEST(Codeset, ToWideFitsBelowTheFieldSizeOrLeavesTheFieldAlone) {
  std::vector<IMA_WCHAR> field(64, 7);
  EXPECT_EQ(Sample_Iscsi_ToWide(field.data(), std::string(64, 'x').c_str(), 64), IMA_ERROR_TEXT_CONVERSION);
  EXPECT_EQ(Sample_Iscsi_ToWide(field.data(), "\xC0\xAF", 64), IMA_ERROR_TEXT_CONVERSION);
  EXPECT_EQ(field, std::vector<IMA_WCHAR>(64, 7));
  EXPECT_EQ(Sample_Iscsi_ToWide(field.data(), std::string(63, 'x').c_str(), 64), IMA_STATUS_SUCCESS);
  EXPECT_EQ(field[62] * 2 + field[63], 'x' * 2u);
  EXPECT_EQ(Sample_Iscsi_ToWide(field.data(), "", 64), IMA_STATUS_SUCCESS);
  EXPECT_EQ(std::vector<IMA_WCHAR>(64, 0), field);
}

TEST(Codeset, ToUtf8RefusesWhatDoesNotFitOrEncode) {
  const std::vector<IMA_WCHAR> four_byte(75, 0x1F600);   // 300 bytes of UTF-8
  const struct {
    std::vector<IMA_WCHAR> wide;   // terminated by the test
    IMA_STATUS want;
    std::string text;
  } cases[] = {
      {{}, IMA_STATUS_SUCCESS, ""},
      {{0xE9, 0x20AC, 0x1F600}, IMA_STATUS_SUCCESS, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {{0xD800}, IMA_STATUS_SUCCESS, "\xED\xA0\x80"},
      {std::vector<IMA_WCHAR>(255, 'a'), IMA_STATUS_SUCCESS, std::string(255, 'a')},
      {std::vector<IMA_WCHAR>(256, 'a'), IMA_ERROR_NAME_TOO_LONG, ""},   // no 0 unit within the scan
      {four_byte, IMA_ERROR_NAME_TOO_LONG, ""},
      {{'a', 0x110000}, IMA_ERROR_TEXT_CONVERSION, ""},
      {{0x80000041}, IMA_ERROR_TEXT_CONVERSION, ""},   // unsigned: never a negative unit
  };
  for (const auto& c : cases) {
    std::vector<IMA_WCHAR> wide = c.wide;
    wide.push_back(0);
    char slot[256];
    std::memset(slot, 'Z', sizeof slot);
    EXPECT_EQ(wide_to_utf8(slot, wide.data(), sizeof slot, IMA_ERROR_NAME_TOO_LONG), c.want) << c.wide.size();
    if (c.want == IMA_STATUS_SUCCESS) {
      EXPECT_EQ(std::string(slot), c.text);
      EXPECT_EQ(slot[255], '\0');
    } else {
      EXPECT_EQ(slot[0], 'Z');
    }
  }
}

TEST(Codeset, AllocatingConversionsAndComparisons) {
  IMA_WCHAR* wide = nullptr;
  char* text = nullptr;
  ASSERT_EQ(Iscsi_CodeSet_UTF8ToUTF32("a\xC3\xA9", &wide) + Iscsi_CodeSet_UTF32ToUTF8(wide, &text), 2);
  EXPECT_STREQ(text, "a\xC3\xA9");
  EXPECT_EQ(Sample_Iscsi_WideLength(wide) + Sample_Iscsi_WideCmp(wide, wide, 2), 2);
  EXPECT_EQ(Sample_Iscsi_WideAndUtf8Cmp(wide, "b", 2), IMA_ERROR_INVALID_PARAMETER);
  std::free(wide);
  std::free(text);
  const IMA_WCHAR bad[] = {0x110000, 0};
  EXPECT_EQ(Iscsi_CodeSet_UTF32ToUTF8(bad, &text) + Iscsi_CodeSet_UTF8ToUTF32("\xFF", &wide), 0);
  EXPECT_TRUE(text == nullptr && wide == nullptr);
  EXPECT_EQ(Sample_Iscsi_WideAndUtf8Cmp(bad, "x", 1), IMA_ERROR_TEXT_CONVERSION);
}

}  // namespace
}  // namespace vx
