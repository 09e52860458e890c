// The records of the diagnostic commands (loopback, DMA, beacon, port speed, transceiver, PHY self
// test, cable test, counters) and the arithmetic and texts made from their replies. Readers take raw
// reply bytes and their length and never read past them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// ---- loopback (subsystem 11: 20 get mode, 19 set mode, 18 test) -----------------------------------
constexpr uint8_t kLoopbackMac = 0;
constexpr uint8_t kLoopbackPhy = 1;
constexpr uint8_t kLoopbackOnePort = 2;
constexpr uint8_t kLoopbackTwoPort = 3;
constexpr uint8_t kLoopbackNone = 255;

struct loopback_mode_request {
  uint8_t source;
  uint8_t destination;
  uint8_t mode;
  uint8_t state;             // 1 enter, 0 exit
};
static_assert(sizeof(loopback_mode_request) == 4);

// Sent and answered in one buffer; the reply's fields are named after the slash.
struct loopback_test_record {
  uint32_t type;             // / test status, 0 to 5
  uint32_t loop_count;       // / loops sent without error
  uint32_t pattern[2];       // low word first / [0]: loops received without error
  uint32_t source;           // / test cycles
  uint32_t destination;
  uint32_t byte_count;
};
static_assert(sizeof(loopback_test_record) == 28);
static_assert(offsetof(loopback_test_record, source) == 16);

// Values of the seven Diagnostics counters.
struct DiagCounters {
  int64_t total_test_cycles;
  int64_t total_complete_cycles;
  int64_t total_error_cycles;
  int64_t send_errors;
  int64_t receive_errors;
  int64_t miscompares;
  int64_t total_complete;
};
// From a loopback reply for `loops` loops asked: counts above the loops asked are taken as the loops
// asked, and no cycle count as one cycle.
DiagCounters loopback_counters(uint32_t loops, uint32_t sent_ok, uint32_t received_ok, uint32_t cycles);
// From a DMA test of `loops` loops (at least 1) that took `elapsed_ms`.
DiagCounters dma_counters(uint32_t loops, uint32_t send_errors, uint32_t miscompares, int64_t elapsed_ms);

// ---- DDR DMA test (opcode 17, subsystem 11, 8208 bytes) --------------------------------------------
constexpr uint32_t kDmaDataSize = 4096;
struct ddr_dma_record {
  uint32_t pattern[2];       // low word first
  uint32_t byte_count;       // a multiple of 8
  uint32_t send_failed;      // reply: non-zero when the send failed
  uint8_t sent[kDmaDataSize];
  uint8_t received[kDmaDataSize];
};
static_assert(sizeof(ddr_dma_record) == 8208);
static_assert(offsetof(ddr_dma_record, sent) == 16);
static_assert(offsetof(ddr_dma_record, received) == 4112);
// The request: the pattern's eight bytes, lowest first, repeated over `byte_count` (rounded down to
// a multiple of 8, at most 4096) bytes.
void build_dma_request(uint64_t pattern, uint32_t byte_count, ddr_dma_record* out);

// A pattern: hexadecimal digits, "0x" before them allowed. kBadPattern for anything else,
// kPatternTooLarge for more than 64 bits.
enum class PatternParse { kOk, kBadPattern, kPatternTooLarge };
PatternParse parse_pattern(const char* text, uint64_t* out);

// ---- PHY cable test (opcode 11, subsystem 18, 24 bytes) -------------------------------------------
struct tdr_reply {
  uint32_t pair_status;      // 4 bits a pair, pair A lowest
  uint32_t lengths[4];       // pairs A to D
  uint32_t nvp;
};
static_assert(sizeof(tdr_reply) == 24);
constexpr uint32_t kTdrNoLength = 1;   // pair OK, no length estimated
uint32_t tdr_pair_result(const tdr_reply& r, int pair);

// ---- requests of the port actions ------------------------------------------------------------------
struct beacon_request {
  uint8_t port;
  uint8_t state;             // 1 enable, 0 disable
  uint8_t beacon_duration;
  uint8_t status_duration;
};
static_assert(sizeof(beacon_request) == 4);

struct port_speed_request {
  uint8_t port;
  uint8_t virtual_port;
  uint16_t speed_code;
  uint32_t dac_length;       // metres, only for SFP+ ports
};
static_assert(sizeof(port_speed_request) == 8);

constexpr uint32_t kTransceiverPageA0 = 0xA0;
constexpr uint32_t kTransceiverPageA2 = 0xA2;
constexpr uint8_t kTransceiverPortMask = 0x3F;

constexpr size_t kSelfTestRequest = 555;
constexpr uint32_t kClearCountersBit = 1;

// ---- hex dumps -----------------------------------------------------------------------------------
// `count` bytes ("%02x ") or u32 words ("%08x ", from little-endian bytes) in lines of 16, each line
// ending with a blank; cut to `size` - 1 and terminated.
void dump_bytes(const uint8_t* data, size_t count, char* out, size_t size);
void dump_words(const uint8_t* data, size_t count, char* out, size_t size);

}  // namespace vx
