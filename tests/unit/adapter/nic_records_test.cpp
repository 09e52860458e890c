// The readers of the NIC function records on short and odd replies: the virtual-function table, the
// expansion-ROM bits, the bandwidth texts, the mode codes and the older blocks with the SR-IOV state.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adapter/nic_records.h"

namespace {

using namespace vx;

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

TEST(NicRecords, VirtualFunctionEntriesStopAtTheCountTheTableAndTheReply) {
  std::vector<uint8_t> table(976, 0);
  table[16 + 16 * 2] = 0xAB;
  table[16 + 16 * 2 + 6] = 100;   // VLAN
  table[16 + 16 * 2 + 8] = 25;    // QoS
  const struct { uint32_t count; uint32_t index; size_t size; bool found;
  } rows[] = {
      {3, 2, 976, true},    {2, 2, 976, false}, {70, 59, 976, true},
      {70, 60, 976, false}, {3, 2, 63, false},  {3, 2, 64, true},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(vf_entry(table.data(), r.size, r.count, r.index).has_value(), r.found) << r.index;
  }
  const VfEntry e = *vf_entry(table.data(), table.size(), 3, 2);
  EXPECT_EQ(e.mac[0], 0xAB);
  EXPECT_EQ(e.vlan, 100);
  EXPECT_EQ(e.qos, 25);
}

TEST(NicRecords, ExpansionRomBitFollowsTheGenerationsNumbering) {
  std::vector<uint8_t> mapping(kPciFuncMappingSize, 0);
  put32(mapping, kExpansionRomBits, 0x00000104);   // bits 2 and 8
  const struct { uint32_t function; uint32_t generation; bool on;
  } rows[] = {
      {2, 5, true},  {8, 5, true},   {8, 3, false},  {10, 3, true},
      {10, 2, true}, {264, 5, true}, {40, 5, false}, {3, 5, false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(expansion_rom_enabled(mapping.data(), mapping.size(), r.function, r.generation), r.on) << r.function;
  }
  EXPECT_FALSE(expansion_rom_enabled(mapping.data(), 35, 2, 5));
}

TEST(NicRecords, BandwidthIsTheSpeedFactorTimesThePercentInHundredsOfMegabits) {
  const struct { uint8_t code; uint32_t percent; const char* want; } rows[] = {
      {4, 25, "25"}, {4, 5, "5"}, {3, 25, "2.5"}, {3, 100, "10"}, {6, 10, "25"}, {8, 100, "1000"}, {5, 3, "6"},
      {2, 25, nullptr}, {9, 25, nullptr}, {3, 0xFFFFFFFFu, "429496729.5"},
  };
  for (const auto& r : rows) {
    char text[32] = "";
    EXPECT_EQ(bandwidth_text(r.code, r.percent, text, sizeof text), r.want != nullptr) << int(r.code);
    if (r.want != nullptr) {
      EXPECT_STREQ(text, r.want) << int(r.code) << " " << r.percent;
    }
  }
}

TEST(NicRecords, ModeCodesIgnoreCaseAndKnowNoOtherNames) {
  const std::pair<const char*, uint8_t> rows[] = {{"None", 1}, {"npar", 5}, {"vNIC1", 4}, {"HPFLEXQBG", 8},
                                                  {"HPZMC", 10}, {"N/A", 0}, {"", 0}, {nullptr, 0}};
  for (const auto& [text, code] : rows) EXPECT_EQ(mc_code_of(text), code) << (text ? text : "null");
}

TEST(NicRecords, LegacyBlocksGiveTheFirstMatchingEntryOnly) {
  std::vector<uint8_t> v1(1092, 0);
  put32(v1, 0, 3);
  auto entry = [&](size_t i, uint8_t pf, uint8_t state5, uint8_t sriov) {
    uint8_t* e = v1.data() + 4 + 68 * i;
    e[4] = pf, e[5] = state5, e[12] = sriov;
  };
  entry(0, 1, 1, 9);   // pf_state set: not one of these
  entry(1, 1, 0, 1);
  entry(2, 1, 0, 0);
  LegacySriov s = legacy_sriov(LegacySriovBlock::kVxConfV1, v1.data(), v1.size(), "0X1");
  EXPECT_TRUE(s.found);
  EXPECT_EQ(s.state, 1);
  EXPECT_EQ(s.offset, 4u + 68 + 12);
  EXPECT_FALSE(legacy_sriov(LegacySriovBlock::kVxConfV1, v1.data(), 4 + 68, "0x1").found);   // the reply ends first
  put32(v1, 0, 1000);   // a count past the block: its 16 entries
  EXPECT_TRUE(legacy_sriov(LegacySriovBlock::kVxConfV1, v1.data(), v1.size(), "0x1").found);

  std::vector<uint8_t> common(18436, 0);
  put32(common, 0, 2);
  uint8_t* e = common.data() + 4 + 72;
  e[0] = 64, e[6] = 3, e[12] = 1, e[13] = 1, e[14] = 1;
  s = legacy_sriov(LegacySriovBlock::kCommonProfile, common.data(), common.size(), "0x3");
  EXPECT_TRUE(s.found && s.state == 1);
  e[14] = 2;   // not a NIC function
  EXPECT_FALSE(legacy_sriov(LegacySriovBlock::kCommonProfile, common.data(), common.size(), "0x3").found);
  put32(common, 0, 513);
  EXPECT_FALSE(legacy_sriov(LegacySriovBlock::kCommonProfile, common.data(), common.size(), "0x3").count_usable);

  std::vector<uint8_t> conf(836, 0);
  put32(conf, 0, 2);
  conf[4 + 52 + 4] = 6;
  EXPECT_EQ(vx_conf_mac_offset(conf.data(), conf.size(), 6), 4u + 52 + 8);
  EXPECT_EQ(vx_conf_mac_offset(conf.data(), conf.size(), 7), 0u);
  EXPECT_EQ(vx_conf_mac_offset(conf.data(), 60, 6), 0u);
}

}  // namespace
