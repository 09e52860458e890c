// The adapter's event log as the firmware answers it (opcode 63, subsystem 2): a count and 64-byte
// records, each an event code with its time, sequence number, severity and five arguments of the
// code's description (or a text of its own for codes the table does not know).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

struct eventlog_entry {
  uint16_t error_code;       // index into the description table
  uint16_t reserved2;
  uint32_t time_stamp;       // seconds since the adapter's ARM processor started
  uint32_t sequence;
  uint16_t severity;         // 0 Informational, 1 Warning, 2 Error, 3 Fatal
  uint16_t reserved14;
  uint32_t args[5];          // or, for a code outside the table, a NUL-terminated text
  uint8_t reserved36[28];
};
static_assert(sizeof(eventlog_entry) == 64);
static_assert(offsetof(eventlog_entry, time_stamp) == 4);
static_assert(offsetof(eventlog_entry, sequence) == 8);
static_assert(offsetof(eventlog_entry, severity) == 12);
static_assert(offsetof(eventlog_entry, args) == 16);

constexpr uint32_t kEventLogBuffer = 65480;
constexpr size_t kEventCountOffset = 4;
constexpr size_t kEventRecordsOffset = 8;
constexpr uint32_t kMaxEventRecords = 1023;   // what the buffer holds
constexpr uint16_t kEventCodes = 95;          // codes with a description of the table
constexpr size_t kEventTextSize = 20;         // a code's own text
constexpr size_t kEventDescriptionSize = 256;

// Records of a reply: its count, within the 1023 the buffer holds and what `size` bytes hold.
uint32_t event_record_count(const uint8_t* reply, size_t size);
// Record `i` of a reply (i below event_record_count).
eventlog_entry event_record(const uint8_t* reply, size_t size, uint32_t i);

// "Informational" ... "Fatal"; "INVALID SEVERITY LEVEL!" above 3.
const char* event_severity_text(uint16_t severity);
// The description of a record: its code's format applied to the arguments, its own text for a
// code of 95 or more, "INVALID Description!!" for a severity above 3. Always terminated.
void event_description(const eventlog_entry& e, char out[kEventDescriptionSize]);

}  // namespace vx
