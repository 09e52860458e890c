// The records of a core dump: the firmware's core-dump commands (properties, component and
// segment properties, segment reads) and the dump file (a segment header before each instance's
// data, a closing record). Little-endian, the same bytes in the 32- and the 64-bit build; the
// simulated adapter and tools/vxdump read them too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// ---- firmware commands (subsystem 11) ------------------------------------------------------------

// Answer of the properties command (opcode 21), 20 bytes.
struct coredump_props {
  uint8_t low_version;
  uint8_t high_version;
  uint8_t chip_state;   // non-zero: the firmware has stopped
  uint8_t reserved3;
  uint32_t hqi_intf;
  uint32_t asic_id;
  uint32_t reserved12;
  uint32_t components;
};
static_assert(sizeof(coredump_props) == 20);
static_assert(offsetof(coredump_props, hqi_intf) == 4);
static_assert(offsetof(coredump_props, components) == 16);

// Component properties (opcode 22), 8 bytes: request u32 component, u32 0.
struct coredump_comp_props {
  uint32_t segments;   // answer; the request's component id
  uint32_t status;     // answer; 0 in the request
};
static_assert(sizeof(coredump_comp_props) == 8);

// Segment properties (opcode 23), 16 bytes: request u32 component, u32 segment, u32 0, u32 0.
struct coredump_seg_props {
  uint8_t low_version;
  uint8_t high_version;
  uint8_t reserved2[2];
  uint32_t status;
  int32_t highest_instance;   // -1: no instance
  uint32_t length;
};
static_assert(sizeof(coredump_seg_props) == 16);
static_assert(offsetof(coredump_seg_props, highest_instance) == 8);

// Segment read (opcode 24): the request's words, then the byte code (component 1 only). The answer
// in the same buffer: u32 segment status, u32 bytes returned, the data from byte 8.
struct coredump_seg_request {
  uint32_t component;
  uint32_t segment;
  uint32_t instance;
  uint32_t offset;
  uint32_t length;       // at most 64000
  uint32_t word_count;   // byte-code words that follow
};
static_assert(sizeof(coredump_seg_request) == 24);
constexpr uint32_t kSegmentRequestSize = 64008;
constexpr uint32_t kSegmentPieceMax = 64000;
constexpr size_t kSegmentDataOffset = 8;
constexpr uint32_t kMaxByteCodeWords = (kSegmentRequestSize - sizeof(coredump_seg_request)) / 4;

// The firmware's command line rides on the segment read: component 3, segment 0xFFFFFFFF, the
// string's length in the sixth word and its characters from byte 24.
constexpr uint32_t kCliComponent = 3;
constexpr uint32_t kCliSegment = 0xFFFFFFFFu;
constexpr uint32_t kCliRequestSize = 65000;
constexpr uint32_t kCliReplyMax = kCliRequestSize - kSegmentDataOffset;   // 64992
constexpr uint32_t kCliUnsupported = 0x30004;   // segment status of a string the firmware refuses

// ---- the dump file ---------------------------------------------------------------------------------

constexpr uint32_t kSegmentMagic = 0x4D674573;   // "sEgM"
constexpr uint32_t kRecordMagic = 0x45724F63;    // "cOrE"
constexpr uint32_t kNoTemplateComponent = 1;     // component 1: read from the segment templates

struct core_dump_segment_header {
  uint32_t magic;
  uint32_t component;
  uint32_t segment;
  uint32_t compress;        // 1: the data is a zlib stream followed by the u32 uncompressed length
  uint8_t flag0;
  uint8_t flag1;
  uint16_t pci_function;
  uint32_t offset;
  uint32_t data_length;     // bytes that follow the header
  uint32_t segment_status;  // first word of the last firmware reply for the instance
  uint32_t milliseconds;
  uint32_t header_size;     // 64
  uint32_t instance;
  uint8_t reserved[20];
};
static_assert(sizeof(core_dump_segment_header) == 64);
static_assert(offsetof(core_dump_segment_header, flag0) == 16);
static_assert(offsetof(core_dump_segment_header, pci_function) == 18);
static_assert(offsetof(core_dump_segment_header, data_length) == 24);
static_assert(offsetof(core_dump_segment_header, instance) == 40);

// year, month (1-12), day of month, hour, minute, second, UTC bias in minutes (local - UTC)
struct core_dump_time {
  uint16_t year;
  uint16_t month;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  int16_t utc_bias;
};
static_assert(sizeof(core_dump_time) == 14);

struct core_dump_record {
  uint32_t magic;
  uint8_t reserved4[5];
  uint8_t one;          // 1
  uint8_t chip_state;   // 0 running, 1 dead
  uint8_t reserved11[5];
  char host_name[32];
  core_dump_time start;
  uint8_t reserved62[2];
  char dump_string[256];
  uint32_t segments;    // segment instances written
  uint32_t os_major;
  uint32_t os_minor;
  uint8_t reserved332[4];
  char os_text[32];
  core_dump_time end;
  uint8_t reserved382[2];
  uint32_t hqi_intf;
  uint32_t asic_id;
  uint32_t failed;      // 0xFFFFFFFF when a segment read failed during the dump
  uint8_t low_version;
  uint8_t high_version;
  uint8_t reserved398[626];
};
static_assert(sizeof(core_dump_record) == 1024);
static_assert(offsetof(core_dump_record, one) == 9);
static_assert(offsetof(core_dump_record, host_name) == 16);
static_assert(offsetof(core_dump_record, start) == 48);
static_assert(offsetof(core_dump_record, dump_string) == 64);
static_assert(offsetof(core_dump_record, segments) == 320);
static_assert(offsetof(core_dump_record, os_text) == 336);
static_assert(offsetof(core_dump_record, end) == 368);
static_assert(offsetof(core_dump_record, hqi_intf) == 384);
static_assert(offsetof(core_dump_record, failed) == 392);
static_assert(offsetof(core_dump_record, low_version) == 396);
constexpr uint32_t kDumpFailedMark = 0xFFFFFFFFu;

}  // namespace vx
