// The readers of the live properties' records, fed what a firmware might answer, sane or not.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adapter/command_target.h"
#include "adapter/live_records.h"

namespace {

using namespace vx;

template <typename T>
void put(std::vector<uint8_t>& r, size_t at, T v) {
  std::memcpy(r.data() + at, &v, sizeof v);
}

TEST(LiveRecords, CarryOverKeepsWhatTheWriteMayNotChangeAndClearsTheRest) {
  for (size_t size : {kDcbxSize, kDcbxV1Size}) {
    std::vector<uint8_t> reply(size);
    for (size_t i = 0; i < size; ++i) reply[i] = static_cast<uint8_t>(i | 0x80);
    std::vector<uint8_t> request(size, 0xEE);
    dcbx_carry_over(reply.data(), size, request.data());
    for (size_t i = 0; i < size; ++i) {
      const bool qcn = i >= 12 && i < 16;
      bool kept = i == 0 || (i >= 4 && i < 12) || (i >= 16 && i < 20) || (i >= 24 && i < 312);
      kept = kept || (size == kDcbxV1Size && (qcn || i == 312));
      const uint8_t want = i == 1 ? reply[2] : kept ? reply[i] : 0;
      ASSERT_EQ(request[i], want) << size << " byte " << i;
    }
  }
}

TEST(LiveRecords, DcbxViewReadsGroupsPrioritiesAndEntriesWithinTheReply) {
  std::vector<uint8_t> r(kDcbxV1Size, 0);
  for (int k = 0; k < 8; ++k) put<uint32_t>(r, 32 + 4 * k, k < 2 ? 0x0102 : 15);   // the low byte counts
  r[64 + 3] = 1;
  r[72 + 16 * 14 + 8 + 7] = 1;
  r[312] = 0x44;
  const DcbxView full = dcbx_view_of(r.data(), r.size());
  EXPECT_EQ(full.members(2), 0x03);
  EXPECT_EQ(full.members(15), 0xFC);
  EXPECT_EQ(full.pfc_bitmap(), 0x08);
  EXPECT_EQ(full.entry_bitmap(14), 0x80);
  EXPECT_EQ(full.entry_bitmap(15) + full.entry_bitmap(-1), 0);
  EXPECT_EQ(full.record.cnpv_bitmap, 0x44);
  EXPECT_EQ(dcbx_view_of(r.data(), kDcbxSize).record.cnpv_bitmap, 0) << "the short record has no QCN";
  EXPECT_EQ(dcbx_view_of(r.data(), 40).members(0), 0xFC) << "missing bytes read as 0";
}

TEST(LiveRecords, MibFieldsSitWhereEachFormPutsThem) {
  std::vector<uint8_t> reply(kDcbxMibSize);
  for (size_t i = 0; i < reply.size() / 4; ++i) put<uint32_t>(reply, 4 * i, static_cast<uint32_t>(i + 1));
  const DcbxMib m = dcbx_mib_of(reply.data(), reply.size(), false);
  const DcbxMib q = dcbx_mib_of(reply.data(), reply.size(), true);
  EXPECT_EQ(std::vector<uint32_t>({m.sequence, m.peer_ack, m.app_sequence, m.pfc_sequence, m.tx_packets, m.dropped}),
            std::vector<uint32_t>({2, 5, 10, 12, 17, 20}));
  EXPECT_EQ(std::vector<uint32_t>({q.app_sequence, q.pfc_sequence, q.tx_packets, q.dropped}),
            std::vector<uint32_t>({6, 8, 9, 12}));
  EXPECT_EQ(dcbx_mib_of(reply.data(), 6, false).sequence, 0u);
}

TEST(LiveRecords, OperatingModeWalkStopsAtItsCountLengthsAndEnd) {
  struct Row {
    std::vector<std::pair<uint16_t, uint8_t>> descriptors;   // length, mode
    uint16_t count;
    size_t size;
    bool not_applicable;
  };
  const Row rows[] = {
      {{{8, 1}, {8, 2}}, 2, 64, true},     {{{8, 1}, {8, 2}}, 1, 64, false},   {{{8, 3}, {12, 0}}, 2, 64, true},
      {{{9, 3}, {8, 0}}, 2, 64, false},
      {{{0, 1}, {8, 0}}, 2, 64, false},    {{{8, 1}, {8, 0}}, 2, 29, false},   {{{8, 1}, {8, 0}}, 9, 30, true},
      {{{65535, 1}, {8, 0}}, 2, 64, false}, {{{8, 0x0A}}, 1, 64, true},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> reply(64, 0);
    put<uint16_t>(reply, 0, r.count);
    size_t at = 16;
    for (const auto& [length, mode] : r.descriptors) {   // laid out 8 bytes apart, whatever they declare
      put<uint16_t>(reply, at + 2, length);
      reply[at + 5] = mode;
      at += 8;
    }
    EXPECT_EQ(operating_mode_not_applicable(reply.data(), r.size), r.not_applicable) << r.count << " " << r.size;
  }
}

TEST(LiveRecords, LldpAndNcsiValuesAreBoundedAndNamed) {
  std::vector<uint8_t> reply(kLldpParamsSize, 'x');   // no text ends within its field
  const lldp_cfg_params p = lldp_params_of(reply.data(), reply.size());
  EXPECT_EQ(p.chassis_id[kLldpText - 1], 'x');
  const std::pair<uint32_t, const char*> chassis[] = {{1, "Chassis Component"}, {7, "Locally Assigned"}, {0, "Unknown"}, {8, "Unknown"}};
  for (const auto& [n, name] : chassis) EXPECT_STREQ(chassis_type_name(n), name);
  EXPECT_STREQ(port_type_name(6), "Agent Circuit Id");
  const std::pair<uint32_t, const char*> caps[] = {{0x14, "Bridge"}, {0x80, "Station"}, {0, "Unknown"}, {0x100, "Unknown"}};
  for (const auto& [bits, name] : caps) EXPECT_STREQ(system_capability_name(bits), name);
  ncsi_config_block b{};
  b.wol_port0 = 1;
  b.wol_port1 = 6;
  b.port_swap = 2;
  b.port0_mac[5] = 0xAB;
  b.mgmt_vlan = 4095;
  const NcsiTexts t = ncsi_texts_of(b);
  EXPECT_STREQ(t.wol_port0, "Yes");
  EXPECT_EQ(t.wol_port1, nullptr);
  EXPECT_EQ(t.port_swap, nullptr);
  EXPECT_STREQ(t.port0_mac, "00:00:00:00:00:ab");
  EXPECT_STREQ(t.mgmt_vlan, "4095");
}

TEST(LiveRecords, CountersFruTextsAndSpeedCodes) {
  std::vector<uint8_t> stats(kBaseTStatsV1Size);
  for (size_t i = 0; i < stats.size() / 4; ++i) put<uint32_t>(stats, 4 * i, 0xFFFFFF00u + static_cast<uint32_t>(i));
  BaseTTexts v0;
  BaseTTexts v1;
  baset_texts_of(stats.data(), stats.size(), false, &v0);
  baset_texts_of(stats.data(), stats.size(), true, &v1);
  EXPECT_STREQ(v0.values[0], "0xffffff00");
  EXPECT_STREQ(v0.values[1], "-255") << "temperature is signed";
  EXPECT_STREQ(v0.values[12], "4294967052") << "LDPC counters are unsigned";
  EXPECT_STREQ(v0.values[17], "-238") << "word 18";
  EXPECT_STREQ(v0.values[18], "4294967059");
  EXPECT_STREQ(v1.values[18], "18446743068687204115") << "word 21 : word 19";
  baset_texts_of(stats.data(), 80, false, &v0);
  EXPECT_STREQ(v0.values[18], "4294967059");
  baset_texts_of(stats.data(), 79, false, &v0);
  EXPECT_STREQ(v0.values[18], "0") << "a word the reply does not hold whole reads 0";

  std::vector<uint8_t> fru(256);
  for (size_t i = 0; i < fru.size(); ++i) fru[i] = static_cast<uint8_t>(i);
  char text[kValueSize];
  fru_segment_text(fru.data(), fru.size(), 127, 129, text);
  EXPECT_EQ(std::strlen(text), 255u);
  EXPECT_EQ(std::string(text).substr(0, 4), "7f80");
  fru_segment_text(fru.data(), 10, 8, 127, text);
  EXPECT_STREQ(text, "0809");

  const std::pair<uint32_t, std::string> speeds[] = {
      {13, "10Mb Force"}, {9, "10Mb Auto-Negotiate"}, {0, "All Supported Speeds Default"}, {136, "20Gb Force"}};
  for (const auto& [code, want] : speeds) {
    const LinkSpeedText t = link_speed_text(code);
    EXPECT_EQ(std::string(t.speed) + " " + t.mode, want) << code;
  }
  EXPECT_EQ(link_speed_text(17).speed, nullptr);

  uint32_t n = 0;
  const std::pair<const char*, bool> numbers[] = {{"0x105", true}, {"010", true}, {"-1", false}, {" 1", false},
                                                  {"1x", false},   {"", false},   {"+1", false}};
  for (const auto& [text_in, ok] : numbers) EXPECT_EQ(parse_whole(text_in, UINT32_MAX, &n), ok) << text_in;
  EXPECT_FALSE(parse_decimal("0x10", UINT32_MAX, &n));
  EXPECT_FALSE(parse_decimal("4294967296", UINT32_MAX, &n));
}

}  // namespace
