// Core dumps: the controller action "RetrieveBrightlaneCoreDump" (do_RetrieveBrightlaneCoreDump,
// bound in the controller table) collects the chip's state into one file under a host-wide pid
// lock: component 1 from the segment templates, the other components as the firmware describes
// them, every segment instance behind its header (deflated where the template asks), then the
// closing record. The reading of the firmware's replies is kept apart here, so that it can be
// checked on arbitrary replies.
#pragma once

#include <cstdint>

#include "maintenance/core_dump_records.h"

namespace vx {

constexpr const char* kCoreDumpPidFile = "/var/run/varucoredump.pid";

constexpr uint32_t kStatusInvalidFileName = 257;
constexpr uint32_t kStatusCoreDumpPropsFailed = 265;
constexpr uint32_t kStatusDumpRunning = 322;
constexpr uint32_t kStatusComponentPropsFailed = 266;
constexpr uint32_t kStatusSegmentPropsFailed = 267;
constexpr uint32_t kStatusSegmentFailed = 269;
constexpr uint32_t kStatusDumpFileFailed = 270;
constexpr uint32_t kStatusWriteNotSupported = 319;
constexpr uint32_t kStatusRebootNow = 239;
constexpr uint32_t kStatusCliUnsupported = 331;

// ASIC types; 65535 when the firmware gave no HQI interface word.
constexpr uint32_t kAsicTypeUnknown = 65535;
constexpr uint32_t kAsicTypeQuenta = 4;

// Sets *type from the sixth hexadecimal digit of hqi_intf (and the ASIC id): '0' 2, '1' 3, 'a' or
// 'b' 4, 'f' or '2' with ASIC id 0x410 or 0x411 5, 'f' with 0x500 6; anything else (also a word of
// fewer than six digits) leaves it; hqi_intf 0 gives 65535.
void VARU_get_asic_type(uint32_t hqi_intf, uint32_t* type, uint32_t asic_id);

// What the dump takes from the properties command: a command that answers 1 stands for a dead chip
// that cannot answer.
struct DumpProperties {
  uint8_t chip_state;
  uint8_t low_version;
  uint8_t high_version;
  uint32_t components;
  uint32_t hqi_intf;
  uint32_t asic_id;
};
DumpProperties dump_properties(uint32_t command_result, const coredump_props& reply);

// How much of what the firmware describes one dump takes. They admit the largest shapes the
// templates know (4096 instances of one segment, one instance of 0x10000000 bytes) and a real
// adapter's dump; a reply beyond them is malformed, taken as a failed read, so that no count can
// keep a dump running for hours and growing for gigabytes with the API and dump locks held.
constexpr uint32_t kMaxDumpComponents = 64;            // components 0 to 63
constexpr uint32_t kMaxComponentSegments = 1024;
constexpr uint32_t kMaxSegmentInstances = 4096;
constexpr uint32_t kMaxSegmentLength = 0x10000000;     // one instance, held in memory whole
constexpr uint64_t kMaxDescribedBytes = 0x40000000;    // every described instance of one dump

// Whether the properties' component count is within the limit (else: a failed properties read).
bool components_within(const DumpProperties& props);
// Whether a component's segment count is within the limit (else: a failed component read).
bool segments_within(const coredump_comp_props& reply);
// Instances a segment's properties ask for into *instances: highest instance + 1, none for a
// negative one. False (a failed segment-properties read) for more instances or a longer instance
// than the limits allow, or more bytes in all than `room`, what is left of the dump's budget; a
// segment without instances is never refused.
bool segment_instances(const coredump_seg_props& reply, uint64_t room, uint32_t* instances);

// The data bytes a segment reply gives for a piece of `piece` bytes: never more than the piece.
uint32_t segment_reply_bytes(const uint8_t* reply, uint32_t piece);

}  // namespace vx
