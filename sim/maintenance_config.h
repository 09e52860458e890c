// What a simulated adapter's configuration says about its flash and its core dump (format:
// sim/README.md).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vx::sim {

// A raw firmware answer: status and additional status.
struct RawAnswer {
  uint8_t status = 0;
  uint16_t additional = 0;
};

// The flash, keyed by optype.
struct FlashConfig {
  std::map<uint32_t, uint32_t> crcs;              // CRC reported where nothing was written yet
  std::map<uint32_t, uint8_t> crc_answers;        // raw status the CRC query answers instead
  std::map<uint32_t, RawAnswer> write_answers;    // what every flash write of the optype answers
  uint8_t prg_change_status = 0;                  // change status of the last piece of "/prg"
};

struct CoreDumpSegment {
  uint32_t id = 0;
  uint8_t low_version = 0;
  uint8_t high_version = 0;
  uint32_t status = 0;
  int32_t highest_instance = 0;
  uint32_t length = 0;
};

struct CoreDumpComponent {
  uint32_t id = 0;
  uint32_t status = 0;
  std::vector<CoreDumpSegment> segments;
};

// What the firmware's command line answers a string.
struct CliReply {
  bool unsupported = false;   // segment status 0x30004
  std::string bytes;
};

struct CoreDumpConfig {
  uint8_t low_version = 1;
  uint8_t high_version = 0;
  uint32_t hqi_intf = 0;    // by generation when not given
  uint32_t asic_id = 0;
  int64_t component_count = -1;   // -1: the highest component id + 1 (at least 2)
  std::vector<CoreDumpComponent> components;
  std::map<std::string, CliReply> cli;
};

}  // namespace vx::sim
