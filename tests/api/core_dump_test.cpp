// Core dumps through "RetrieveBrightlaneCoreDump", read back by vxdump: live, dead and test dumps
// of running and dead chips, what a failed read or a chip that cannot answer leaves in the file,
// the host-wide lock, and the firmware's command line through "RetrieveFwCliData".
#include <set>
#include <vector>

#include "tests/api/firmware_lab.h"

namespace vxtest {
namespace {

constexpr uint32_t kRebootNow = 239;

// The simulated firmware's bytes: byte i of a segment's instance n is (i + n) & 0xFF.
bool generated(const vxdump::Segment& s) {
  for (size_t i = 0; i < s.data.size(); ++i) {
    if (static_cast<uint8_t>(s.data[i]) != static_cast<uint8_t>(s.header.offset + i + s.header.instance)) return false;
  }
  return true;
}

std::string text(const char* field) { return field; }

class CoreDump : public FirmwareLab {
 protected:
  size_t count(const vxdump::Listing& l, uint32_t component, uint32_t segment) const {
    size_t n = 0;
    for (const vxdump::Segment& s : l.segments) n += s.header.component == component && s.header.segment == segment;
    return n;
  }
  std::set<uint32_t> components(const vxdump::Listing& l) const {
    std::set<uint32_t> out;
    for (const vxdump::Segment& s : l.segments) out.insert(s.header.component);
    return out;
  }
};

TEST_F(CoreDump, LiveDeadAndTestDumps) {
  struct Row {
    const char* serial;
    const char* kind;   // NULL: not given
    const char* recorded;
    uint8_t chip_state;
    size_t segments;
    std::set<uint32_t> components;
    bool reboot;
  } rows[] = {
      {"G3", nullptr, "live", 0, 12, {1, 2, 3, 4}, false},   // live rows, then components 2 to 4 (5 and 6 never)
      {"G3", "Dead", "Dead", 1, 45, {1, 4}, true},           // dead rows; components 2 and 3 left out
      {"G3", "Test", "Test live", 0, 4111, {1, 2, 3, 4}, false},
      {"G5", nullptr, "Dead", 1, 103, {1}, true},             // the chip says it is dead
      {"G5", "Test", "Test Dead", 1, 4108, {1}, true},
      {"G2", "Dead", "Dead", 1, 39, {1}, true},
      {"G4", nullptr, "", 0, 0, {}, false},                   // generation 4: the record alone
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.serial) + " " + row.recorded);
    vxdump::Listing l;
    std::string error;
    EXPECT_EQ(dump(row.serial, row.kind, &l, &error), 0u) << error;
    EXPECT_EQ(last_status().code == kRebootNow, row.reboot);
    EXPECT_EQ(text(l.record.dump_string), row.recorded);
    EXPECT_EQ(l.record.chip_state, row.chip_state);
    EXPECT_EQ(l.segments.size(), row.segments);
    EXPECT_EQ(l.record.failed, 0u);
    EXPECT_EQ(components(l), row.components);
    for (const vxdump::Segment& s : l.segments) {
      ASSERT_TRUE(generated(s)) << s.header.component << "/" << s.header.segment;
      if (s.header.component == 1) {
        EXPECT_EQ(s.header.flag1, text(row.recorded).rfind("Test", 0) == 0 ? 0 : 1);   // template's flag 1
      }
    }
    EXPECT_FALSE(root_.exists(kDumpPid));
  }
}

TEST_F(CoreDump, WhatEachDumpTakes) {
  vxdump::Listing l;
  std::string error;
  ASSERT_EQ(dump("G3", "Dead", &l, &error), 0u) << error;
  EXPECT_EQ(count(l, 1, 0x0D), 1u);
  EXPECT_EQ(count(l, 1, 0x70), 1u);
  for (const vxdump::Segment& s : l.segments) {
    if (s.header.segment != 0x24) continue;
    // Longer than one read: read in pieces, deflated, and inflating to its length.
    EXPECT_EQ(s.header.compress, 1u);
    EXPECT_EQ(s.data.size(), 0xA0000u);
    EXPECT_LT(s.header.data_length, 0xA0000u / 10);
  }
  ASSERT_EQ(dump("G3", "live", &l, &error), 0u) << error;
  EXPECT_EQ(count(l, 1, 0x0D), 0u);
  EXPECT_EQ(count(l, 1, 0x70), 1u);
  EXPECT_EQ(count(l, 2, 0), 2u);   // instances 0 and 1, with the segment's versions
  EXPECT_EQ(count(l, 2, 1), 0u);   // highest instance -1: none
  for (const vxdump::Segment& s : l.segments) {
    if (s.header.component != 2) continue;
    EXPECT_EQ(s.data.size(), 100000u);
    EXPECT_EQ(std::make_pair(s.header.flag0, s.header.flag1), std::make_pair(uint8_t{2}, uint8_t{1}));
  }
  EXPECT_EQ(std::make_pair(l.record.low_version, l.record.high_version), std::make_pair(uint8_t{3}, uint8_t{2}));
  EXPECT_EQ(l.record.hqi_intf, 0xC0010140u);
}

TEST_F(CoreDump, AChipThatCannotAnswerOrLacksFunctionZero) {
  // Properties answered 1: dead, 7 components, no ASIC type: component 1 reads nothing, 2 and 3 are
  // left out of a dead dump, 5 and 6 are never read.
  sim_.journal_clear();
  sim_.inject_status(21, 11, 3, 0, 1);
  vxdump::Listing l;
  std::string error;
  ASSERT_EQ(dump("G3", nullptr, &l, &error), 0u) << error;
  EXPECT_EQ(components(l), std::set<uint32_t>{4});
  EXPECT_EQ(sent(22, 11), 1u);
  EXPECT_EQ(l.record.chip_state, 1u);
  EXPECT_EQ(l.record.hqi_intf, 0u);
  EXPECT_NE(last_status().code, kRebootNow);
  // No NIC function is PCI function 0: the record alone, marked failed.
  ASSERT_EQ(dump("G3B", nullptr, &l, &error), 0u) << error;
  EXPECT_TRUE(l.segments.empty());
  EXPECT_EQ(l.record.failed, vx::kDumpFailedMark);
  EXPECT_EQ(text(l.record.dump_string), "live");
  // No NIC function at all: no dump.
  EXPECT_EQ(run("G5B", "RetrieveBrightlaneCoreDump", {root_.at("/dumps/none.bin").c_str()}), 1u);
  EXPECT_FALSE(root_.exists("/dumps/none.bin"));
}

TEST_F(CoreDump, AFailedReadIsMarkedAndTheDumpGoesOn) {
  sim_.inject_status(24, 11, 3, 0, 1);
  vxdump::Listing l;
  std::string error;
  ASSERT_EQ(dump("G3", nullptr, &l, &error), 0u) << error;
  EXPECT_EQ(l.record.failed, vx::kDumpFailedMark);
  EXPECT_EQ(l.segments.size(), 12u);
  EXPECT_TRUE(l.segments[0].data.empty());
  // The next dump starts clean.
  ASSERT_EQ(dump("G3", nullptr, &l, &error), 0u) << error;
  EXPECT_EQ(l.record.failed, 0u);
  EXPECT_EQ(l.record.segments, 12u);
}

// A reply of `words` little-endian u32 words.
std::vector<uint8_t> words(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> out;
  for (uint32_t v : values) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  return out;
}

TEST_F(CoreDump, CountsWithoutBoundEndTheirReadAtOnce) {
  struct Row {
    const char* shape;
    int opcode;                  // the first reply of this command is replaced
    std::vector<uint8_t> reply;
    uint32_t result;
    uint32_t status;
    size_t segments;             // of the live dump's 12
    std::set<uint32_t> components;
  } rows[] = {
      // versions 1.0, running, the lab's HQI word and ASIC id, then the component count
      {"2^32 components", 21, words({1, 0xC0010140, 0x300, 0, 0xFFFFFFFF}), 1, 265, 0, {}},
      {"2^32 segments of component 2", 22, words({0xFFFFFFFF, 0}), 0, 266, 10, {1, 3, 4}},
      // status 0, highest instance, length
      {"2^31 instances", 23, words({0, 0, 0x7FFFFFFF, 16}), 0, 267, 10, {1, 3, 4}},
      {"an instance of 4 GiB", 23, words({0, 0, 0, 0xFFFFFFFF}), 0, 267, 10, {1, 3, 4}},
      {"4096 instances of 256 MiB", 23, words({0, 0, 4095, 0x10000000}), 0, 267, 10, {1, 3, 4}},
  };
  // What a sound live dump of the lab asks of the adapter: a shape without bound asks no more.
  vxdump::Listing sound;
  std::string sound_error;
  sim_.journal_clear();
  ASSERT_EQ(dump("G3", nullptr, &sound, &sound_error), 0u) << sound_error;
  const size_t sound_commands = sim_.commands().size();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.shape);
    sim_.reply_with(row.opcode, 11, row.reply);
    sim_.journal_clear();
    vxdump::Listing l;
    std::string error;
    EXPECT_EQ(dump("G3", nullptr, &l, &error), row.result) << error;
    EXPECT_LE(sim_.commands().size(), sound_commands);
    EXPECT_EQ(last_status().code, row.status);
    EXPECT_EQ(l.segments.size(), row.segments);
    EXPECT_EQ(components(l), row.components);
    EXPECT_EQ(l.record.failed, row.result != 0 ? vx::kDumpFailedMark : 0u);
    EXPECT_FALSE(root_.exists(kDumpPid));
    sim_.clear_faults();
  }
  // The largest shape the templates know still passes: 4096 instances of one segment.
  vxdump::Listing l;
  std::string error;
  ASSERT_EQ(dump("G3", "Test", &l, &error), 0u) << error;
  EXPECT_EQ(count(l, 1, 0xD6), 4096u);
}

TEST_F(CoreDump, ADumpRunningElsewhereKeepsThisOneOut) {
  LockedElsewhere other(kDumpPid);
  ASSERT_TRUE(other.held());
  EXPECT_STATUS(run("G3", "RetrieveBrightlaneCoreDump", {root_.at("/dumps/core.bin").c_str()}), 322,
                "Requested operation is already running in some other application.");
  EXPECT_STATUS(run("G3", "RetrieveBrightlaneCoreDump", {"/no/such/dir/core.bin"}), 257,
                "Invalid file name or path name given. Please provide valid file name or path name.");
}

TEST_F(CoreDump, TheFirmwaresCommandLine) {
  const std::string out = root_.at("/dumps/cli.txt");
  const std::string before = "left from before";
  struct Row {
    const char* serial;
    const char* command;
    int fault;   // segment reads refused once
    uint32_t result;
    uint32_t status;
    std::string file;   // "": no file left
  } rows[] = {
      {"G3", "show ver", 0, 0, 0, std::string("version\0\xff", 9)},   // the reply's bytes exactly
      {"G3", "bad", 0, 331, 331, ""},
      {"G3", "never heard of", 0, 331, 331, ""},
      {"G3", "show ver", 24, 1, 269, ""},
      {"G4", "show ver", 0, 1, 0, before},   // refused before anything is touched
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.serial) + " " + row.command);
    root_.write("/dumps/cli.txt", before);
    vx::varu_set_last_status(0, "");
    if (row.fault != 0) sim_.inject_status(row.fault, 11, 3, 0, 1);
    EXPECT_EQ(run(row.serial, "RetrieveFwCliData", {out.c_str(), row.command}), row.result);
    EXPECT_EQ(last_status().code, row.status);
    EXPECT_EQ(root_.exists("/dumps/cli.txt") ? root_.read("/dumps/cli.txt") : "", row.file);
  }
  // A reply that claims more bytes than it can hold gives what it holds.
  sim_.reply_with(24, 11, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'o', 'k'});
  EXPECT_EQ(run("G3", "RetrieveFwCliData", {out.c_str(), "show ver"}), 0u);
  EXPECT_EQ(root_.read("/dumps/cli.txt").size(), 64992u);
}

}  // namespace
}  // namespace vxtest
