// The firmware trace records: the FAT request, the firmware-object read of generation 4, the
// extended FAT (ExtFAT) record with its module and mode entries, and the replies of the string-table
// and snapshot reads. The readers take raw reply bytes and their length and never read past them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// ---- FAT data (opcode 68, subsystem 1) ------------------------------------------------------------
// The request is these 16 bytes, then the data area; the request length sent is `length` + 20.
struct fat_request {
  uint32_t operation;      // kFatReadPiece, kFatSize, kFatClear
  uint32_t offset;
  uint32_t length;         // of the piece; 0 for the size and the clear
  uint32_t length_again;
};
static_assert(sizeof(fat_request) == 16);
static_assert(offsetof(fat_request, length) == 8);

constexpr uint32_t kFatReadPiece = 0;
constexpr uint32_t kFatSize = 1;
constexpr uint32_t kFatClear = 2;
constexpr uint32_t kFatPiece = 64000;        // largest piece read at once
constexpr uint32_t kFatRequestExtra = 20;    // a request is the piece and this much
constexpr size_t kFatDataOffset = 16;        // where a read piece lands
constexpr uint32_t kFatUnwritten = 4;        // the data's first bytes, never written to the file

// ---- firmware object read (opcode 171, header version 1) ------------------------------------------
struct object_read_request {
  uint32_t length;         // bits 0-23: bytes asked; 0 asks for the bytes available
  uint32_t offset;
  char name[104];
};
static_assert(sizeof(object_read_request) == 112);
static_assert(offsetof(object_read_request, name) == 8);

constexpr uint32_t kObjectReadBuffer = 32876;
constexpr uint32_t kObjectPiece = 32768;
constexpr uint32_t kObjectLengthMask = 0x00FFFFFFu;
constexpr uint32_t kObjectEnd = 0x80000000u;   // in the reply's second word
constexpr size_t kObjectReplyData = 8;
constexpr const char* kFatObject = "/dbg/dump.bin";
// Bytes a piece reply of an object read brings: what it says, within the asked count and the reply.
uint32_t object_piece_bytes(const uint8_t* reply, size_t size, uint32_t asked);
constexpr const char* kVpdObject = "/vpd/ntr_pf.vpd";

// ---- ExtFAT record (opcodes 125 get, 126 set; 64000 bytes) ------------------------------------------
constexpr uint32_t kExtFatBuffer = 64000;
constexpr uint32_t kExtFatZeroedHead = 76;     // zeroed before a read; the selector goes in word 0
constexpr uint32_t kExtFatDefaults = 0;        // selector: the firmware's default configuration
constexpr uint32_t kExtFatCurrent = 1;         // selector: the configuration in force
constexpr uint32_t kMaxExtFatModules = 64;

struct extfat_capabilities {
  uint32_t max_log_entries;
  uint32_t log_entry_size;
  uint8_t logging_type;      // 0 synchronous, 1 asynchronous
  uint8_t max_functions;     // bits usable in a PCI-function mask
  uint8_t max_ports;         // bits usable in a port mask
  uint8_t reserved;
  uint32_t supported_modes;  // bit 0 UART, bit 1 RAM
  uint32_t module_count;
};
static_assert(sizeof(extfat_capabilities) == 20);
static_assert(offsetof(extfat_capabilities, supported_modes) == 12);

struct extfat_module_entry {
  char name[32];
  uint32_t module_id;
  uint32_t mode_count;
};
static_assert(sizeof(extfat_module_entry) == 40);

// The 64-bit function mask is two words, so that the record is the same in every build.
struct extfat_mode_entry {
  uint8_t mode;              // 0 UART, 1 RAM, 2 NVRAM, 3 TFTP
  uint8_t unused;
  uint16_t port_mask;
  uint32_t trace_level;
  uint32_t function_mask[2];
};
static_assert(sizeof(extfat_mode_entry) == 16);
static_assert(offsetof(extfat_mode_entry, port_mask) == 2);
static_assert(offsetof(extfat_mode_entry, function_mask) == 8);

uint64_t function_mask_of(const extfat_mode_entry& e);
void set_function_mask(extfat_mode_entry* e, uint64_t mask);

// One module entry as a walk finds it.
struct ExtFatModule {
  size_t offset;             // of the entry in the record
  char name[33];             // at most 32 characters, terminated
  uint32_t id;
  uint32_t mode_count;
  uint32_t modes_present;    // mode entries wholly inside the record, at most mode_count
};

// How the module list is walked. kHandlers: a module with no mode takes 56 bytes, as one with one
// mode. kStartup: a module with more than 4 modes ends the walk (it is listed, its modes are not),
// and one with no mode ends it after itself.
enum class ExtFatWalk { kHandlers, kStartup };

// The module entries of a record in order: at most the record's count and 64, each entry wholly
// inside `size` bytes. How many were written to `out` (room for 64).
size_t extfat_modules(const uint8_t* record, size_t size, ExtFatWalk walk, ExtFatModule out[kMaxExtFatModules]);
// Mode entry `mode` of module `module` (the handlers' walk), or NULL when the module has no such
// entry inside the record.
extfat_mode_entry* extfat_mode_at(uint8_t* record, size_t size, uint32_t module, uint32_t mode);

// The property texts of the record's fields.
const char* logging_type_text(uint8_t type);         // "synchronous", "asynchronous", "Unknown"
const char* supported_modes_text(uint32_t modes);    // "UART", "RAM", "UART,RAM", "Unknown"
const char* mode_name(uint8_t mode);                 // "UART" ... "TFTP", NULL above 3

// True when `mask` is at most 2^bits - 1; 64 bits or more allow every mask.
bool mask_within(uint64_t mask, uint32_t bits);

// ---- string table (opcode 130) and snapshots (opcodes 127, 128) -------------------------------------
struct string_table_request {
  uint32_t offset;
  uint32_t asked;
};
constexpr uint32_t kStringTableAsk = 62992;
constexpr size_t kStringTableData = 8;     // reply: u32 returned, u32 remaining, data
// Bytes of a string-table reply: what it says it returned, within the asked count and the reply.
uint32_t string_table_bytes(const uint8_t* reply, size_t size);
uint32_t string_table_remaining(const uint8_t* reply, size_t size);

struct extfat_snapshot_request {
  uint32_t source;         // kSnapshotFlash, or kSnapshotMemory for RAM and DDR
  uint32_t first;
  uint32_t count;
};
static_assert(sizeof(extfat_snapshot_request) == 12);
constexpr uint32_t kSnapshotMemory = 0;
constexpr uint32_t kSnapshotFlash = 1;
constexpr uint32_t kLogEntrySize = 64;
constexpr uint32_t kSnapshotAsk = 998;
constexpr size_t kSnapshotEntries = 4;     // reply: u32 count, then the entries
// Entries of a snapshot reply: its count, within what the reply holds (999 in 64000 bytes).
uint32_t snapshot_entries(const uint8_t* reply, size_t size);

// How far one ARM-log retrieval goes. A real adapter's log is far smaller (its MaxLogEntries; 1000
// on the lab); replies that would run past these are malformed, and the retrieval fails rather
// than run for hours with the API lock held.
constexpr uint32_t kMaxArmLogEntries = 1u << 18;   // 16 MiB of entries, 263 full replies
constexpr uint32_t kMaxTraceReads = 512;           // snapshot (or string-table) requests of one retrieval

// The replies of one retrieval, counted against those limits.
class ArmLogCount {
 public:
  // Counts a reply that brings `entries`: false once the retrieval goes past a limit.
  bool add(uint32_t entries);
  uint64_t entries() const { return entries_; }

 private:
  uint32_t reads_ = 0;
  uint64_t entries_ = 0;
};

}  // namespace vx
