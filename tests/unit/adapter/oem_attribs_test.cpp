// How the OEM block and the additional controller attributes read: which IPL number names which
// record of the table, when the PHY and OEM serial texts stand, and that every text stays within
// its field.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "adapter/oem_attribs.h"

namespace {

using namespace vx;

std::string record(int n) { return ipl_file_name_table.records[n]; }

TEST(AdditionalAttributes, IplNumberNamesATableRecordOnlyInItsGenerationsRange) {
  const struct { uint32_t generation; uint16_t number; const char* name; std::string want; } rows[] = {
      {3, 1, "", record(1) + "1A"},      {3, 113, "", record(113) + "1A"}, {3, 114, "", "N/A"},
      {3, 0, "", "N/A"},                 {5, 256, "", record(114) + "1A"}, {5, 293, "", record(151) + "1A"},
      {5, 294, "", "N/A"},               {5, 255, "", "N/A"},              {2, 7, "", "N/A"},
      {6, 256, "", "N/A"},               {5, 256, "QM-2S10.ufi", "QM-2S10.ufi"},
      {3, 0, "Q", "Q"},
  };
  for (const auto& row : rows) {
    cntr_additional_attribs rec{};
    rec.ipl_file_no = row.number;
    rec.ipl_suffix = 0x1a;
    std::snprintf(rec.ipl_file_name, sizeof rec.ipl_file_name, "%s", row.name);
    AdditionalTexts texts;
    decode_additional_attribs(rec, row.generation, &texts);
    EXPECT_EQ(std::string(texts.values[10]), row.want) << row.generation << " " << row.number;
  }
  EXPECT_EQ(record(0).empty(), false) << "record 0 names an unknown file";
}

TEST(AdditionalAttributes, PhyValuesStandOnlyWithAFirmwareTextOutsideGeneration4) {
  const struct { uint32_t generation; const char* firmware; const char* id; const char* want[2]; } rows[] = {
      {5, "1.2.3", "00A1", {"1.2.3", "0x00A1"}}, {3, "1.2.3", "", {"1.2.3", "0x"}},
      {4, "1.2.3", "00A1", {"N/A", "N/A"}},      {5, "", "00A1", {"N/A", "N/A"}},
  };
  for (const auto& row : rows) {
    cntr_additional_attribs rec{};
    std::snprintf(rec.phy_firmware_version, sizeof rec.phy_firmware_version, "%s", row.firmware);
    std::snprintf(rec.phy_config_id, sizeof rec.phy_config_id, "%s", row.id);
    AdditionalTexts texts;
    decode_additional_attribs(rec, row.generation, &texts);
    EXPECT_EQ(std::string(texts.values[8]) + "|" + texts.values[9], std::string(row.want[0]) + "|" + row.want[1]);
  }
}

TEST(OemBlock, Generation4SerialEndsAtAnErasedByteAndNeedsTwoCharacters) {
  const struct { uint32_t generation; const char* serial; size_t length; const char* want; } rows[] = {
      {4, "AB\xFFZ", 4, "AB"}, {4, "\xFF" "B", 2, "N/A"}, {4, "A", 2, "N/A"}, {4, "", 0, "N/A"},
      {3, "A", 2, "A"},         {3, "AB\xFFZ", 4, "AB\xFFZ"},
  };
  for (const auto& row : rows) {
    oem_params block{};
    std::memcpy(block.oem_serial, row.serial, row.length);
    OemTexts texts;
    decode_oem_params(block, row.generation, &texts);
    EXPECT_EQ(std::string(texts.oem_serial), row.want) << row.generation << " " << row.serial;
  }
}

TEST(OemBlock, PersonalityBitsAreNamedInTheirOrder) {
  char names[kValueSize];
  const struct { uint32_t bits; const char* want; } rows[] = {
      {0x600, "iSCSI/FCoE"}, {0xF00, "NIC/iSCSI/FCoE/RDMA"}, {0xF0FF, ""}, {0x100, "NIC"}};
  for (const auto& row : rows) {
    personality_names(row.bits, names);
    EXPECT_STREQ(names, row.want);
  }
}

// Every text a reply carries is cut at its field, whatever bytes the reply holds.
TEST(Replies, TextsWithoutTerminatorsStayWithinTheirFields) {
  oem_params block;
  std::memset(&block, 'A', sizeof block);
  cntr_additional_attribs rec;
  std::memset(&rec, 'B', sizeof rec);
  uint8_t personalities[kPersonalityBufferSize];
  std::memset(personalities, 'C', sizeof personalities);
  for (uint32_t generation : {3u, 4u, 5u}) {
    OemTexts oem;
    decode_oem_params(block, generation, &oem);
    EXPECT_EQ(std::strlen(oem.oem_serial), 24u);
    AdditionalTexts texts;
    decode_additional_attribs(rec, generation, &texts);
    EXPECT_EQ(std::strlen(texts.values[0]), 32u);
    EXPECT_EQ(std::strlen(texts.values[10]), 88u);
    if (generation != 4) {
      EXPECT_EQ(std::strlen(texts.values[8]) + std::strlen(texts.values[9]), 160u + 10u);
    }
  }
  char text[kValueSize];
  available_personalities_text(personalities, text);
  EXPECT_EQ(std::strlen(text), 255u) << "a length word of 0x43434343 reads 255 bytes at most";
}

}  // namespace
