// The firmware's trace data and event log through the public calls on the simulated lab: FAT data,
// the ExtFAT modules and modes, logging on all modules, the ARM log, and the event log.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "maintenance/trace_records.h"
#include "tests/api/maintenance_fixture.h"

namespace vxtest {
namespace {

using std::string;

const string kFat = string(kGen5) + "/FATData";
const string kExtFat = string(kGen5) + "/ExtFATData";
const string kIsnsUart = kExtFat + "/ExtFATModule0/ExtFATMode0";
const string kIsnsRam = kExtFat + "/ExtFATModule0/ExtFATMode1";
const string kFipRam = kExtFat + "/ExtFATModule1/ExtFATMode0";
const string kFipMissing = kExtFat + "/ExtFATModule1/ExtFATMode1";   // FIP has one mode only
const string kFlashUart = kExtFat + "/ExtFATModule2/ExtFATMode0";
const string kFlashRam = kExtFat + "/ExtFATModule2/ExtFATMode1";
const string kEventLog = string(kGen5) + "/EventLog";

uint32_t u32_at(const void* p, size_t offset) {
  uint32_t v;
  std::memcpy(&v, static_cast<const uint8_t*>(p) + offset, sizeof v);
  return v;
}

uint32_t instances(const string& parent, const char* group) {
  std::vector<uint32_t> numbers(1024);
  uint32_t count = 0;
  return VARU_get_valid_instances(static_cast<int32_t>(tag_at(parent)), group, numbers.data(), &count) == 0 ? count
                                                                                                            : 9999;
}

std::string trace_levels() {
  string out;
  for (const string& mode : {kIsnsUart, kIsnsRam, kFipRam, kFipMissing, kFlashUart, kFlashRam}) {
    out += value_at(mode + "/TraceLevel") + " ";
  }
  return out;
}

class FirmwareTrace : public MaintenanceLab {};

TEST_F(FirmwareTrace, FatDataIsReadInPiecesWrittenWithoutItsFirstWordAndCleared) {
  start_lab();
  EXPECT_EQ(value_at(kFat + "/FATDataValid"), "Yes");
  sim_.journal_clear();
  ASSERT_EQ(run(kFat, "RetrieveFATData", {"fat.bin"}), 0u);
  const string data = bytes("fat.bin");
  ASSERT_EQ(data.size(), 99996u);
  size_t wrong = 0;
  for (size_t i = 0; i < data.size(); ++i) wrong += static_cast<uint8_t>(data[i]) != ((i + 4) & 0xFF);
  EXPECT_EQ(wrong, 0u);
  string pieces;
  for (const auto& p : sim_.payloads_of(68, 1)) pieces += std::to_string(u32_at(p.data(), 4)) + "+" + std::to_string(u32_at(p.data(), 8)) + " ";
  EXPECT_EQ(pieces, "0+0 0+0 0+64000 64000+36000 ") << "two size requests, then two pieces";

  ASSERT_EQ(run(kFat, "ClearFATData"), 0u);
  EXPECT_EQ(value_at(kFat + "/FATDataValid"), "No");
  EXPECT_EQ(run(kFat, "RetrieveFATData", {"again.bin"}), 0u);
  EXPECT_EQ(last_status().code, 77u);
  EXPECT_EQ(last_status().text, vx::msg::kNoFatData);
  EXPECT_EQ(files(), (std::set<string>{"fat.bin"}));
}

TEST_F(FirmwareTrace, AGeneration4DumpObjectIsReadInPiecesIntoAFreshFile) {
  start_lab();
  const string fat = string(kGen4) + "/FATData";
  root_.write("/work/dump.bin", string(100, 'x'));
  EXPECT_EQ(value_at(fat + "/FATDataValid"), "Yes");
  sim_.journal_clear();
  ASSERT_EQ(run(fat, "RetrieveFATData", {"dump.bin"}), 0u);
  EXPECT_EQ(bytes("dump.bin"), string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13", 20));
  string asked;
  for (const auto& p : sim_.payloads_of(171, 1)) asked += std::to_string(u32_at(p.data(), 0)) + " " + string(reinterpret_cast<const char*>(p.data() + 8)) + " ";
  EXPECT_EQ(asked, "0 /dbg/dump.bin 0 /dbg/dump.bin 20 /dbg/dump.bin ") << "validity, size, one piece";
  EXPECT_STATUS(run(string(kGen4) + "/EventLog", "RefreshEventLog"), 259, vx::msg::kNotOnThisController);
  EXPECT_STATUS(run(string(kGen4) + "/EventLog", "ClearEventLog"), 259, vx::msg::kNotOnThisController);
  EXPECT_TRUE(sim_.payloads_of(62, 2).empty() && sim_.payloads_of(63, 2).empty());
}

TEST_F(FirmwareTrace, ModulesModesAndTheChecksOfTheirMasks) {
  start_lab();
  EXPECT_EQ(instances(kExtFat, "ExtFATModule"), 3u);
  EXPECT_EQ(value_at(kExtFat + "/ExtFATModule1/ModuleString") + value_at(kExtFat + "/ExtFATModule1/ModuleId"), "FIP2");
  EXPECT_EQ(value_at(kIsnsUart + "/PortMask") + value_at(kIsnsUart + "/PCIFunctionMask") + value_at(kIsnsRam + "/Mode"),
            "0x30xffRAM");
  EXPECT_EQ(value_at(kFipMissing + "/PortMask"), "0xFF") << "a mode the module lacks keeps its defaults";

  struct Row {
    string path;
    const char* value;
    uint32_t code;
    const char* text;
  };
  const Row refused[] = {
      {kIsnsUart + "/PortMask", "333", 6, vx::msg::kMaskNotHex},
      {kIsnsUart + "/PortMask", "0xZ", 6, vx::msg::kSecretHexDigits},
      {kIsnsUart + "/PortMask", "0x4", 6, vx::msg::kMaskBeyondPorts},
      {kIsnsUart + "/PCIFunctionMask", "0x100", 6, vx::msg::kMaskBeyondFunctions},
      {kIsnsUart + "/PCIFunctionMask", "0x000000000000100", 6, vx::msg::kMaskBeyondFunctions},
      {kFipMissing + "/TraceLevel", "5", 203, vx::msg::kExtFatSetFailed},
  };
  for (const Row& r : refused) EXPECT_STATUS(set(r.path, r.value), r.code, r.text);
  const std::pair<string, const char*> accepted[] = {{kIsnsUart + "/PortMask", "0x1"},
                                                     {kIsnsRam + "/PCIFunctionMask", "0x0000000000000080"},
                                                     {kIsnsUart + "/PCIFunctionMask", "0xFFFFFFFFFFFFFFFF"},
                                                     {kFipRam + "/TraceLevel", "64"}};
  for (const auto& [path, value] : accepted) EXPECT_EQ(set(path, value), 0u) << path;
  EXPECT_EQ(value_at(kIsnsUart + "/PortMask") + value_at(kIsnsRam + "/PCIFunctionMask") +
                value_at(kIsnsUart + "/PCIFunctionMask") + value_at(kFipRam + "/TraceLevel"),
            "0x10x800xffffffffffffffff64");
}

TEST_F(FirmwareTrace, LoggingOnAllModulesChangesOnlyTheModesAskedFor) {
  start_lab();
  ASSERT_EQ(trace_levels(), "0 32 48 0 5 5 ");
  ASSERT_EQ(run(kExtFat, "EnableLoggingOnAllModules", {"16", "Yes", "No"}), 0u);
  EXPECT_EQ(trace_levels(), "16 32 48 0 16 5 ");
  ASSERT_EQ(run(kExtFat, "EnableLoggingOnAllModules", {"8", nullptr, "Yes"}), 0u);
  EXPECT_EQ(trace_levels(), "16 8 8 0 16 8 ");

  sim_.journal_clear();
  ASSERT_EQ(run(kExtFat, "DisableLoggingOnAllModules", {"No", "No"}), 0u);
  EXPECT_TRUE(sim_.commands().empty()) << "both answers No: nothing is sent";
  ASSERT_EQ(run(kExtFat, "DisableLoggingOnAllModules"), 0u);
  EXPECT_EQ(trace_levels(), "255 255 255 0 255 255 ") << "every mode with an entry";

  ASSERT_EQ(run(kExtFat, "SetDefaultLoggingConfiguration"), 0u);
  EXPECT_EQ(trace_levels(), "0 32 48 0 5 5 ");
  sim_.inject_status(126, 1, 3, 0, 1);
  EXPECT_STATUS(run(kExtFat, "EnableLoggingOnAllModules", {"16"}), 211, vx::msg::kEnableLoggingFailed);
}

TEST_F(FirmwareTrace, WideMaskLimitsAFatBelowAWordAModuleWithoutModesAndAnEndlessFlashLog) {
  start_lab(R"({"adapters": [{"serial_number": "S5", "generation": 5, "fat": {"size": 3},
      "iscsi_functions": [{"function": 2}],
      "extfat": {"max_ports": 200, "max_functions": 200, "max_log_entries": 1500, "flash_entries": 100000,
                 "modules": [{"name": "A", "modes": [{"mode": "UART"}]}, {"name": "B"}, {"name": "C", "modes": [{}]}]}}]})");
  const string extfat = "Vexalon0/ExtFATData";
  EXPECT_EQ(instances(extfat, "ExtFATModule"), 2u) << "start-up stops after the module without modes";
  EXPECT_EQ(set(extfat + "/ExtFATModule0/ExtFATMode0/PortMask", "0xFF"), 0u);
  EXPECT_EQ(set(extfat + "/ExtFATModule0/ExtFATMode0/PCIFunctionMask", "0xFFFFFFFFFFFFFFE"), 0u);
  EXPECT_EQ(value_at(extfat + "/ExtFATModule0/ExtFATMode0/PCIFunctionMask"), "0xffffffffffffffe");
  EXPECT_STATUS(set(extfat + "/ExtFATModule1/ExtFATMode0/PortMask", "0x1"), 203, vx::msg::kExtFatSetFailed);

  ASSERT_EQ(run("Vexalon0/FATData", "RetrieveFATData", {"small.bin"}), 0u);
  EXPECT_TRUE(files().count("small.bin") == 1 && bytes("small.bin").empty());
  ASSERT_EQ(run(extfat, "RetrieveARMLog", {"flash.log", "FLASH"}), 0u);
  EXPECT_EQ(bytes("flash.log").size(), 5000u + 1500 * 64) << "no more than MaxLogEntries";
}

TEST_F(FirmwareTrace, TheArmLogFollowsTheStringTableKeptInMemory) {
  start_lab();
  sim_.journal_clear();
  ASSERT_EQ(run(kExtFat, "RetrieveARMLog", {"arm.log", "RAM"}), 0u);
  const string log = bytes("arm.log");
  ASSERT_EQ(log.size(), 5000u + 1000u * 64);
  size_t wrong = 0;
  for (size_t i = 0; i < 5000; ++i) wrong += static_cast<uint8_t>(log[i]) != (i & 0xFF);
  for (uint32_t k = 0; k < 1000; ++k) wrong += u32_at(log.data(), 5000 + 64 * k) != k;
  EXPECT_EQ(wrong, 0u);
  string asked;
  for (const auto& p : sim_.payloads_of(128, 1)) asked += std::to_string(u32_at(p.data(), 4)) + "/" + std::to_string(u32_at(p.data(), 8)) + " ";
  EXPECT_EQ(asked, "0/998 998/998 ");

  ASSERT_EQ(run(kExtFat, "RetrieveARMLog", {"flash.log", "DDR"}), 0u);
  EXPECT_EQ(bytes("flash.log"), log) << "DDR reads what RAM reads";
  ASSERT_EQ(run(kExtFat, "RetrieveARMLog", {"flash.log", "FLASH"}), 0u);
  EXPECT_EQ(bytes("flash.log").size(), 5000u + 30 * 64);

  sim_.inject_status(130, 1, 3, 0, -1);
  EXPECT_STATUS(run(kExtFat, "RetrieveARMLog", {"flash.log", "FLASH"}), 257, vx::msg::kInvalidFileName);
  EXPECT_STATUS(run(kExtFat, "RetrieveARMLog", {"ram.log", "RAM"}), 207, vx::msg::kStringTableFailed);
  EXPECT_EQ(files(), (std::set<string>{"arm.log", "flash.log", "ram.log"})) << "no string table beside them";
}

TEST_F(FirmwareTrace, AnArmLogWithoutEndFailsAtOnce) {
  start_lab(R"({"adapters": [{"serial_number": "S5", "generation": 5, "iscsi_functions": [{"function": 2}],
      "extfat": {"max_log_entries": 4294967295}}]})");
  const string extfat = "Vexalon0/ExtFATData";
  std::vector<uint8_t> two_entries(4 + 2 * 64, 0);   // a first FLASH reply of one entry says "none"
  two_entries[0] = 2;
  struct Row {
    const char* mode;
    std::vector<uint8_t> total;   // what configuring the snapshot answers; empty: the lab's own
  } rows[] = {
      {"RAM", {0xFF, 0xFF, 0xFF, 0xFF}},
      {"DDR", {0x00, 0x00, 0x02, 0x00}},   // 2^17 entries, within the limit, two per reply
      {"FLASH", {}},                       // as many as MaxLogEntries, 2^32 - 1, two per reply
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    if (!row.total.empty()) sim_.reply_with(127, 1, row.total);
    sim_.reply_with(128, 1, two_entries, -1);
    sim_.journal_clear();
    EXPECT_STATUS(run(extfat, "RetrieveARMLog", {"arm.log", row.mode}), 206, vx::msg::kSnapshotFailed);
    // The work is bounded by the named limits, whatever the machine's speed: one read past the
    // limit tells that the log goes on.
    EXPECT_LE(sim_.payloads_of(128, 1).size(), size_t{vx::kMaxTraceReads} + 1);
    EXPECT_LE(bytes("arm.log").size(), 5000u + vx::kMaxTraceReads * 2 * 64);
    sim_.clear_faults();
  }
  // A string table that never ends, a byte at a time.
  sim_.reply_with(130, 1, {1, 0, 0, 0, 1, 0, 0, 0, 'x'}, -1);
  sim_.journal_clear();
  EXPECT_STATUS(run(extfat, "RetrieveARMLog", {"arm.log", "RAM"}), 207, vx::msg::kStringTableFailed);
  EXPECT_LE(sim_.payloads_of(130, 1).size(), size_t{vx::kMaxTraceReads} + 1);
  EXPECT_TRUE(sim_.payloads_of(128, 1).empty()) << "no snapshot read without its string table";
}

TEST_F(FirmwareTrace, TheStartUpReadOfTheTraceGoesToTheFirstPhysicalHbasPort) {
  start_lab(R"({"adapters": [{"serial_number": "P1", "generation": 5, "ports": 2,
      "iscsi_functions": [{"function": 2, "port": 1}], "nic_functions": [{"function": 0, "port": 0}],
      "extfat": {"modules": [{"name": "A", "modes": [{"mode": "UART"}]}]}}]})");
  ASSERT_EQ(value_at("Vexalon0/iSCSIPhysicalHBA0/PortNumber"), "1");
  EXPECT_EQ(instances("Vexalon0/ExtFATData", "ExtFATModule"), 1u);
  string sent;
  for (const vxsim_journal_entry& e : sim_.commands()) {
    if (e.opcode != 125 || e.subsystem != 1) continue;
    sent += std::to_string(e.domain) + "/" + std::to_string(e.port_number) + " ";
  }
  EXPECT_EQ(sent, "0/1 ") << "domain/port number of each capabilities read at start-up";
}

TEST_F(FirmwareTrace, TheEventLogShowsItsRecordsAndIsRefreshedAndCleared) {
  start_lab();
  ASSERT_EQ(instances(kEventLog, "EventLogEntry"), 7u);
  const string e = kEventLog + "/EventLogEntry";
  const std::pair<string, const char*> shown[] = {
      {e + "0/Description", "Ethernet link is down on Port :1"},
      {e + "0/Severity", "Error"},
      {e + "2/Description", "Ioctl failed: page code:14, subsystem:1, IRB:1f, status:2, addnl status:55"},
      {e + "3/Description", "Corvath: Diffie-Hellman group 14 (2048 bits)"},
      {e + "5/Description", "custom event"},
      {e + "5/ErrorCode", "95"},
      {e + "6/Severity", "INVALID SEVERITY LEVEL!"},
      {e + "6/Description", "INVALID Description!!"},
      {e + "6/TimeStamp", "500"},
  };
  for (const auto& [path, want] : shown) EXPECT_EQ(value_at(path), want) << path;

  std::vector<uint8_t> reply(65472, 0);
  reply[4] = 0x88;   // 5000 records claimed
  reply[5] = 0x13;
  sim_.reply_with(63, 2, reply);
  ASSERT_EQ(run(kEventLog, "RefreshEventLog"), 0u);
  EXPECT_EQ(instances(kEventLog, "EventLogEntry"), 1023u);
  EXPECT_EQ(value_at(e + "1022/Description"), "Management firmware load successful");

  ASSERT_EQ(run(kEventLog, "ClearEventLog"), 0u);
  EXPECT_EQ(instances(kEventLog, "EventLogEntry"), 0u);
  ASSERT_EQ(run(kEventLog, "RefreshEventLog"), 0u);
  EXPECT_EQ(instances(kEventLog, "EventLogEntry"), 0u) << "the adapter's log is empty";
  sim_.inject_status(63, 2, 3, 0, 1);
  EXPECT_STATUS(run(kEventLog, "RefreshEventLog"), 112, vx::msg::kEventLogReadFailed);
}

}  // namespace
}  // namespace vxtest
