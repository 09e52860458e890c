// The firmware command wrappers `ioctl_<command>`: one descriptor row per command in
// access/fw_commands.def, read by one routine that picks the path, sizes the request and calls the
// transport. This header needs nothing beyond <cstdint> and access/wire.h, so the simulated adapter
// can include it to decode requests.
//
// Every wrapper returns a library status: 0 success; 1 when nothing could be sent (unusable
// protocol, bad handle, a request too large for the transport, the NIC function set changed) or the
// driver failed; otherwise the code of the firmware status map (which may set the last status).
// The payload is copied in behind the 16-byte header and the answer copied back over it, so the
// caller's buffer must hold the larger of request and answer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "access/wire.h"

struct hm_node;

namespace vx {

enum class FwLength : uint8_t { FIX, VAR, NONE, FAT, OFF16 };
enum class FwPath : uint8_t { I, N, P, PN, A, AC, S, SA, D };

enum class FwId : uint16_t {
#define FW_CMD(wrapper, op, sub, length, request, dir, path, ver, pair) wrapper,
#include "access/fw_commands.def"
#undef FW_CMD
  count,
  none = count,
};

struct FwCommand {
  const char* name;
  uint8_t opcode;
  uint8_t subsystem;
  FwLength length;
  uint32_t request;     // request bytes for FIX, NONE and OFF16
  uint8_t direction;    // 1 read, 2 write, 3 both, 0 size query or own buffer
  FwPath path;
  uint8_t version;      // header version byte
  FwId pair;            // size query <-> fetch
};

inline constexpr FwCommand kFwCommands[] = {
#define FW_CMD(wrapper, op, sub, len, req, dir, path, ver, pair) \
  {#wrapper, op, sub, FwLength::len, req, dir, FwPath::path, ver, FwId::pair},
#include "access/fw_commands.def"
#undef FW_CMD
};
inline constexpr size_t kFwCommandCount = sizeof kFwCommands / sizeof kFwCommands[0];
static_assert(kFwCommandCount == static_cast<size_t>(FwId::count));

inline constexpr const FwCommand& fw_command(FwId id) { return kFwCommands[static_cast<size_t>(id)]; }

// The largest request the transport carries: header and payload must fit a 16-bit buffer length.
inline constexpr uint32_t kMaxRequestLength = 0xFFFFu - wire::kHeaderSize;

// ---- payload records laid out by the wrappers themselves ------------------------------------------

// Flash write request: 16 bytes, then `total_length` image bytes.
struct flashrom_request {
  uint32_t operation;
  uint32_t image_type;
  uint32_t total_length;
  uint32_t offset;
};
static_assert(sizeof(flashrom_request) == 16);
static_assert(offsetof(flashrom_request, total_length) == 8);
static_assert(offsetof(flashrom_request, offset) == 12);

constexpr uint32_t kFlashChunkSize = 32768;
constexpr uint32_t kFlashRequestLength = 32788;    // every chunk goes out at this length
constexpr uint32_t kFlashBufferSize = 32804;
constexpr uint32_t kFlashOperationWrite = 2;
constexpr uint32_t kFlashOperationLastChunk = 1;
constexpr uint32_t kFlashImageTypeCrcTolerant = 23;   // a CRC mismatch on this image counts as done
constexpr uint16_t kAdditionalCrcMismatch = 77;

// Flash component query: six u32 words {4, operation type, 4, offset, CRC (answer), reserved}.
struct FlashComponentRecord {
  uint32_t op_header;
  uint32_t operation_type;
  uint32_t data_size;
  uint32_t offset;
  uint32_t crc;
  uint32_t reserved;
};
static_assert(sizeof(FlashComponentRecord) == 24);
static_assert(offsetof(FlashComponentRecord, crc) == 16);

// Configuration-space read (opcode 72) and transceiver read (opcode 73): 264 bytes.
struct ReadPciConfRecord {
  uint32_t offset;      // register offset
  uint32_t count;
  uint8_t data[256];    // answer: the function's configuration space
};
static_assert(sizeof(ReadPciConfRecord) == 264);
static_assert(offsetof(ReadPciConfRecord, data) == 8);

// ioctl_retrieve_fat: the request is 20 bytes and the data length, the u32 at payload byte 8. A
// length whose request would not fit the transport is refused, never cut to its low 16 bits.
constexpr size_t kFatLengthOffset = 8;
constexpr uint32_t kFatFixedRequest = 20;

// ---- the one routine behind every table-driven wrapper -----------------------------------------

struct FwCall {
  int32_t handle;         // 1-based port handle, or -1 for every port of the path
  void* payload;
  uint32_t length;        // VAR rows
  uint16_t* size_out;     // size queries
  uint8_t domain;
  uint8_t port_number;
  int32_t route;          // protocol (P, PN) or adapter index (A, AC, SA)
};
uint32_t run_fw_command(FwId id, const FwCall& call);

// ---- the wrappers ------------------------------------------------------------------------------

#define FW_DECL_I_FIX(w) uint32_t w(int32_t handle, void* payload, uint8_t domain, uint8_t port_number);
#define FW_DECL_I_VAR(w) \
  uint32_t w(int32_t handle, void* payload, uint16_t length, uint8_t domain, uint8_t port_number);
#define FW_DECL_N_FIX(w) FW_DECL_I_FIX(w)
#define FW_DECL_N_OFF16(w) FW_DECL_I_FIX(w)
#define FW_DECL_P_FIX(w) \
  uint32_t w(int32_t handle, void* payload, uint8_t domain, uint8_t port_number, int32_t protocol);
#define FW_DECL_P_OFF16(w) FW_DECL_P_FIX(w)
#define FW_DECL_PN_FIX(w) FW_DECL_P_FIX(w)
#define FW_DECL_P_VAR(w) \
  uint32_t w(int32_t handle, void* payload, uint16_t length, uint8_t domain, uint8_t port_number, int32_t protocol);
#define FW_DECL_A_FIX(w) \
  uint32_t w(int32_t handle, void* payload, uint8_t domain, uint8_t port_number, int32_t adapter);
#define FW_DECL_AC_FIX(w) FW_DECL_A_FIX(w)
#define FW_DECL_A_FAT(w) FW_DECL_A_FIX(w)
#define FW_DECL_A_VAR(w) \
  uint32_t w(int32_t handle, void* payload, uint16_t length, uint8_t domain, uint8_t port_number, int32_t adapter);
#define FW_DECL_A_NONE(w) uint32_t w(int32_t handle, uint8_t domain, uint8_t port_number, int32_t adapter);
#define FW_DECL_S_FIX(w) \
  uint32_t w(int32_t handle, void* payload, uint16_t* size_out, uint8_t domain, uint8_t port_number);
#define FW_DECL_S_NONE(w) uint32_t w(int32_t handle, uint16_t* size_out, uint8_t domain, uint8_t port_number);
#define FW_DECL_SA_FIX(w)                                                                         \
  uint32_t w(int32_t handle, void* payload, uint16_t* size_out, uint8_t domain, uint8_t port_number, \
             int32_t adapter);
#define FW_DECL_D_FIX(w)
#define FW_DECL_D_VAR(w)

#define FW_CMD(wrapper, op, sub, length, request, dir, path, ver, pair) FW_DECL_##path##_##length(wrapper)
#include "access/fw_commands.def"
#undef FW_CMD
#undef FW_DECL_I_FIX
#undef FW_DECL_I_VAR
#undef FW_DECL_N_FIX
#undef FW_DECL_N_OFF16
#undef FW_DECL_P_FIX
#undef FW_DECL_P_OFF16
#undef FW_DECL_PN_FIX
#undef FW_DECL_P_VAR
#undef FW_DECL_A_FIX
#undef FW_DECL_AC_FIX
#undef FW_DECL_A_FAT
#undef FW_DECL_A_VAR
#undef FW_DECL_A_NONE
#undef FW_DECL_S_FIX
#undef FW_DECL_S_NONE
#undef FW_DECL_SA_FIX
#undef FW_DECL_D_FIX
#undef FW_DECL_D_VAR

// The four commands that build their own buffer.
// `buffer` is the whole command buffer: 16 header bytes and a 512-byte payload.
uint32_t ioctl_get_available_personalities(int32_t handle, uint8_t* buffer, uint8_t domain, uint8_t port_number,
                                           int32_t protocol);
// `buffer` holds 16 header bytes and `length` payload bytes.
uint32_t ioctl_get_configured_personality(int32_t handle, uint8_t* buffer, uint32_t length, uint8_t domain,
                                          uint8_t port_number, int32_t protocol);
// Returns the raw firmware status byte (0 success, only then is the record copied back).
uint32_t ioctl_get_flash_component_details(int32_t handle, uint32_t record[6], uint8_t domain, uint8_t port_number,
                                           int32_t protocol);
// Writes the image in chunks of 32768 bytes. Returns 0, the transport's failure, or the raw firmware
// status of the first chunk refused.
uint32_t ioctl_upgrade_flash(int32_t handle, const flashrom_request* request, uint8_t domain, uint8_t port_number,
                             int32_t protocol, uint8_t offset_flag);

// ---- per-instance command bitfields --------------------------------------------------------------
// One bit per instance of the node's group under every combination of its instanced ancestors.
uint8_t* alloc_ioctl_bitfield(hm_node* node);
void free_ioctl_bitfield(uint8_t* field);
// -1 for a node that is not an instanced group; else the bit (is) or the set result (set).
int is_ioctl_set(uint8_t* field, hm_node* node);
int set_ioctl_bit(uint8_t* field, hm_node* node);

}  // namespace vx
