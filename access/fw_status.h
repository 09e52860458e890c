// The firmware's answer to a command (status byte, 16-bit additional status, the opcode sent) turned
// into the library status that every command wrapper returns. For failures a user can act on it
// also leaves a message in the last status.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// One rule of the map. Rules are taken in table order; the first that matches decides.
struct FwStatusRule {
  uint32_t status_min;       // status byte range, inclusive
  uint32_t status_max;
  int32_t additional;        // exact additional status, or kAnyAdditional
  uint8_t opcode_count;      // 0 = any opcode
  uint8_t opcodes[5];
  uint32_t result;           // library status returned
  uint32_t message_code;     // 0 = the last status is left as it is
  const char* message;
};

constexpr int32_t kAnyAdditional = -1;

// The rule table, exposed so tests can walk it row by row.
const FwStatusRule* fw_status_rules(size_t* count);

// Library status for a firmware answer; sets the last status where the matching rule has a message.
// Status 0 gives 0; statuses above 66 give 1.
uint32_t VaruStatusFromIOCTLResponse(uint32_t status, uint32_t additional_status, uint8_t opcode);

// Status of a command that never reached the firmware: always 1.
uint32_t VaruStatusFromHBAStatus(uint32_t status);

}  // namespace vx
