// The readers and the arithmetic of the trace and diagnostic records, fed what a firmware might
// answer, sane or not.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adapter/live_records.h"
#include "maintenance/diag_records.h"
#include "maintenance/event_records.h"
#include "maintenance/trace_records.h"

namespace {

using namespace vx;

template <typename T>
void put(std::vector<uint8_t>& rec, size_t at, T value) {
  std::memcpy(rec.data() + at, &value, sizeof value);
}

// An ExtFAT record of modules with these mode counts, each module laid out as the firmware does (a
// module without modes takes one mode entry's room); `claimed` modules in the head.
std::vector<uint8_t> extfat_record(const std::vector<uint32_t>& mode_counts, uint32_t claimed, size_t size = 64000) {
  std::vector<uint8_t> rec(size, 0);
  put<uint32_t>(rec, 16, claimed);
  size_t at = 20;
  for (size_t i = 0; i < mode_counts.size() && at + 40 <= size; ++i) {
    std::memset(rec.data() + at, 'm', 32);   // a name with no NUL in its field
    put<uint32_t>(rec, at + 32, static_cast<uint32_t>(i + 1));
    put<uint32_t>(rec, at + 36, mode_counts[i]);
    at += 40 + 16 * (mode_counts[i] == 0 ? 1 : mode_counts[i]);
  }
  return rec;
}

TEST(TraceRecords, ModuleWalksFollowTheirRulesAndStayInsideTheRecord) {
  struct Row {
    std::vector<uint32_t> modes;
    uint32_t claimed;
    ExtFatWalk walk;
    size_t want;
    size_t size = 64000;
  };
  const Row rows[] = {
      {{2, 0, 1}, 3, ExtFatWalk::kHandlers, 3},   // the empty module's 56 bytes lead to the next
      {{2, 0, 1}, 3, ExtFatWalk::kStartup, 2},    // start-up stops after the empty module
      {{2, 5, 1}, 3, ExtFatWalk::kStartup, 2},    // more than four modes: listed, and the walk ends
      {{2, 2}, 1000, ExtFatWalk::kHandlers, 2, 20 + 2 * 72 + 39},   // the record ends first
      {{2, 2}, 1000, ExtFatWalk::kHandlers, 64},  // zeros read as empty modules, up to 64
      {std::vector<uint32_t>(70, 1), 70, ExtFatWalk::kHandlers, 64},
      {{0x10000000}, 1, ExtFatWalk::kHandlers, 1},
  };
  for (const Row& r : rows) {
    const std::vector<uint8_t> rec = extfat_record(r.modes, r.claimed, r.size);
    ExtFatModule out[kMaxExtFatModules];
    const size_t n = extfat_modules(rec.data(), rec.size(), r.walk, out);
    EXPECT_EQ(n, r.want) << r.modes.size();
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(std::string(out[i].name), std::string(i < r.modes.size() ? 32 : 0, 'm'));
      EXPECT_LE(out[i].offset + 40 + 16 * out[i].modes_present, rec.size());
    }
  }
  std::vector<uint8_t> rec = extfat_record({1, 0, 2}, 3);
  EXPECT_EQ(extfat_mode_at(rec.data(), rec.size(), 1, 0), nullptr) << "an empty module has no mode to set";
  EXPECT_EQ(extfat_mode_at(rec.data(), rec.size(), 0, 1), nullptr);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(extfat_mode_at(rec.data(), rec.size(), 2, 1)), rec.data() + 20 + 56 + 56 + 40 + 16);
  EXPECT_EQ(extfat_modules(rec.data(), 19, ExtFatWalk::kHandlers, nullptr), 0u);
}

TEST(TraceRecords, MaskLimitsAndReplyCountsAreBounded) {
  const std::tuple<uint64_t, uint32_t, bool> masks[] = {
      {0x3, 2, true}, {0x4, 2, false}, {0, 0, true}, {1, 0, false}, {0xFFFF, 16, true}, {~0ull, 63, false},
      {~0ull, 64, true}, {~0ull, 200, true}};
  for (const auto& [mask, bits, ok] : masks) EXPECT_EQ(mask_within(mask, bits), ok) << mask << "/" << bits;

  std::vector<uint8_t> reply(64000, 0);
  put<uint32_t>(reply, 0, 5000);
  EXPECT_EQ(snapshot_entries(reply.data(), reply.size()), 999u);
  EXPECT_EQ(snapshot_entries(reply.data(), 3), 0u);
  put<uint32_t>(reply, 0, 70000);
  EXPECT_EQ(string_table_bytes(reply.data(), reply.size()), kStringTableAsk);
  EXPECT_EQ(string_table_bytes(reply.data(), 100), 92u);
}

TEST(EventRecords, RecordsBecomeTheirTexts) {
  std::vector<uint8_t> reply(kEventLogBuffer, 0);
  put<uint32_t>(reply, 4, 5000);
  EXPECT_EQ(event_record_count(reply.data(), reply.size()), 1023u);
  EXPECT_EQ(event_record_count(reply.data(), 8 + 64 * 3 + 63), 3u);

  struct Row {
    uint16_t code, severity;
    std::vector<uint32_t> args;
    const char* text;
    const char* severity_text;
    const char* want;
  };
  const Row rows[] = {
      {40, 2, {1}, "", "Error", "Ethernet link is down on Port :1"},
      {47, 0, {0xAB, 2, 3, 4}, "", "Informational", "Port failover info: 0xab 2 3 4"},
      {65, 1, {0x1F, 0xABCDEF01}, "", "Warning", "Corvath: AH inbound [0000001f] | outbound [abcdef01]"},
      {94, 3, {7, 7}, "", "Fatal", "Corvath: Could not start certificate request operation"},
      {95, 0, {}, "custom event", "Informational", "custom event"},
      {200, 0, {}, "twenty-one characters", "Informational", "twenty-one character"},
      {40, 4, {1}, "", "INVALID SEVERITY LEVEL!", "INVALID Description!!"},
  };
  for (const Row& r : rows) {
    eventlog_entry e{};
    e.error_code = r.code;
    e.severity = r.severity;
    if (!r.args.empty()) std::memcpy(e.args, r.args.data(), r.args.size() * 4);
    std::memcpy(reinterpret_cast<uint8_t*>(&e) + offsetof(eventlog_entry, args), r.text, std::strlen(r.text));
    char out[kEventDescriptionSize];
    event_description(e, out);
    EXPECT_STREQ(out, r.want) << r.code;
    EXPECT_STREQ(event_severity_text(r.severity), r.severity_text);
  }
}

TEST(DiagRecords, CountersFollowTheirFormulas) {
  struct Row {
    DiagCounters got;
    DiagCounters want;   // cycles, complete cycles, error cycles, send, receive, miscompare, complete
  };
  const Row rows[] = {
      {loopback_counters(100, 98, 99, 0), {1, 0, 0, 2, 1, 1, 97}},
      {loopback_counters(100, 150, 100, 50), {50, 50, 0, 0, 0, 0, 100}},   // counts above the loops asked
      {loopback_counters(10, 8, 10, 100), {100, 80, 20, 2, 0, 0, 8}},
      {dma_counters(4, 1, 2, 40), {40, 10, 30, 1, 2, 2, 1}},
      {dma_counters(0, 0, 0, 5), {}},
  };
  for (const Row& r : rows) {
    const int64_t* g = &r.got.total_test_cycles;
    const int64_t* w = &r.want.total_test_cycles;
    for (int i = 0; i < 7; ++i) EXPECT_EQ(g[i], w[i]) << "counter " << i;
  }
}

TEST(DiagRecords, RequestsAndTextsAreLaidOutByteForByte) {
  ddr_dma_record r;
  build_dma_request(0x0102030405060708ull, 100, &r);
  EXPECT_EQ(r.byte_count, 96u);
  EXPECT_EQ(std::vector<uint8_t>(r.sent, r.sent + 10), (std::vector<uint8_t>{8, 7, 6, 5, 4, 3, 2, 1, 8, 7}));
  EXPECT_EQ(r.sent[96], 0);

  const std::pair<const char*, PatternParse> patterns[] = {
      {"12G4", PatternParse::kBadPattern}, {"0x", PatternParse::kBadPattern}, {"-1", PatternParse::kBadPattern},
      {"0xFFFFFFFFFFFFFFFF", PatternParse::kOk}, {"00000000000000000001", PatternParse::kOk},
      {"10000000000000000", PatternParse::kPatternTooLarge}};
  for (const auto& [text, want] : patterns) {
    uint64_t value = 0;
    EXPECT_EQ(parse_pattern(text, &value), want) << text;
  }

  const std::tuple<const char*, const char*, uint16_t> codes[] = {
      {"Default", "10Gb", 0}, {"force", "20GB", 136}, {"Auto-Negotiate", "10Gb/1Gb", 6}, {"Force", "10Gb/1Gb", 0}};
  for (const auto& [mode, speed, code] : codes) EXPECT_EQ(link_speed_code(mode, speed), code) << mode << speed;

  uint8_t bytes[20];
  for (int i = 0; i < 20; ++i) bytes[i] = static_cast<uint8_t>(i);
  char text[600];
  dump_bytes(bytes, 20, text, sizeof text);
  EXPECT_STREQ(text, "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f \n10 11 12 13 ");
  dump_words(bytes, 5, text, 20);
  EXPECT_STREQ(text, "03020100 07060504 0") << "cut to its room";

  tdr_reply t{0x1021, {}, 0};
  EXPECT_EQ((std::vector<uint32_t>{tdr_pair_result(t, 0), tdr_pair_result(t, 1), tdr_pair_result(t, 2),
                                   tdr_pair_result(t, 3)}),
            (std::vector<uint32_t>{1, 2, 0, 1}));
}

}  // namespace
