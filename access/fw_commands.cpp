#include "access/fw_commands.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "access/backend_state.h"
#include "access/fw_status.h"
#include "access/transport.h"
#include "engine/hm.h"

namespace vx {
namespace {

uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t read_u32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void put_u32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

// Protocol of a row's path for this call; 0 = answer `early` without sending.
int32_t route_of(const FwCommand& cmd, int32_t route, uint32_t* early) {
  int32_t protocol = kProtocolNone;
  switch (cmd.path) {
    case FwPath::I:
    case FwPath::S:
      return kProtocolIscsi;
    case FwPath::N:
      return kProtocolNic;
    case FwPath::P:
      protocol = route;
      break;
    case FwPath::PN:
      protocol = route == kProtocolNic ? kProtocolNic : kProtocolNone;
      break;
    case FwPath::A:
    case FwPath::SA:
      protocol = static_cast<int32_t>(get_the_protocol(route));
      break;
    case FwPath::AC:
      protocol = static_cast<int32_t>(get_the_protocol(route));
      // The configuration signature lives with the iSCSI function; NIC-only adapters have none.
      if (protocol == kProtocolNic) {
        *early = 0;
        return 0;
      }
      break;
    case FwPath::D:
      break;
  }
  if (protocol == kProtocolIscsi || protocol == kProtocolNic) return protocol;
  *early = kStatusFailed;
  return 0;
}

// The buffer of a direct command: the iSCSI node of the handle, or the NIC node. 1 for a handle
// that names no iSCSI node slot.
bool direct_descriptor(int32_t handle, int32_t protocol, int32_t* fd) {
  if (protocol == kProtocolNic) {
    *fd = varu_glob.nic_fds[0];
    return true;
  }
  if (handle < 1 || handle > wire::kMaxIscsiNodes) return false;
  *fd = varu_glob.iscsi_fds[handle - 1];
  return true;
}

uint8_t status_of(const uint8_t* buffer) { return buffer[wire::kResponseStatusOffset]; }
uint16_t additional_of(const uint8_t* buffer) { return read_u16(buffer + wire::kResponseAdditionalOffset); }

// The personality queries: the caller's buffer is the whole command buffer.
uint32_t personality_command(const FwCommand& cmd, int32_t handle, uint8_t* buffer, uint32_t length,
                             uint8_t domain, uint8_t port_number, int32_t protocol, const char* fn) {
  if (buffer == nullptr || length > kMaxRequestLength) return kStatusFailed;
  VaruGlobGuard guard;
  int32_t fd = kNoDescriptor;
  if (!direct_descriptor(handle, protocol, &fd)) return kStatusFailed;
  // Any other protocol leaves the header unanswered; its status byte (the Timeout's low byte)
  // then maps to 1.
  if (IssueIOCTL(fd, cmd.opcode, cmd.subsystem, length, buffer, domain, port_number, protocol, handle) != 0) {
    return kStatusFailed;
  }
  const uint8_t status = status_of(buffer);
  if (status == 0) return 0;
  uint32_t answered;
  std::memcpy(&answered, buffer + wire::kResponseLengthOffset, sizeof answered);
  pdebug(2, 3, "%s:IOCTL with opcode:0x%x subsystem:0x%x failed with status 0x%x\n", fn, cmd.opcode, cmd.subsystem,
         status);
  pdebug(2, 3, "%s:Actual response length = %d\n", fn, static_cast<int>(answered));
  pdebug(2, 3, "%s:Additional status = 0x%x\n", fn, additional_of(buffer));
  return VaruStatusFromIOCTLResponse(status, additional_of(buffer), cmd.opcode);
}

}  // namespace

uint32_t run_fw_command(FwId id, const FwCall& call) {
  if (static_cast<size_t>(id) >= kFwCommandCount) return kStatusFailed;
  const FwCommand& cmd = fw_command(id);
  if (cmd.path == FwPath::D) return kStatusFailed;   // these build their own buffer

  uint32_t early = kStatusFailed;
  const int32_t protocol = route_of(cmd, call.route, &early);
  if (protocol == 0) return early;

  void* payload = call.payload;
  uint32_t request = cmd.request;
  switch (cmd.length) {
    case FwLength::FIX:
      break;
    case FwLength::VAR:
      request = call.length;
      break;
    case FwLength::NONE:
      payload = nullptr;
      break;
    case FwLength::FAT: {
      if (payload == nullptr) return kStatusFailed;
      const uint32_t data = read_u32(static_cast<const uint8_t*>(payload) + kFatLengthOffset);
      if (data > kMaxRequestLength - kFatFixedRequest) {
        pdebug(2, 3, "%s: data length %u too large\n", cmd.name, data);
        return kStatusFailed;
      }
      request = kFatFixedRequest + data;
      break;
    }
    case FwLength::OFF16:
      if (payload != nullptr) payload = static_cast<uint8_t*>(payload) + wire::kHeaderSize;
      break;
  }
  // Computed in 32 bits: a request whose buffer would not fit 16 bits is refused, not wrapped.
  if (request > kMaxRequestLength) {
    pdebug(2, 3, "%s: request length %u too large\n", cmd.name, request);
    return kStatusFailed;
  }
  const auto request16 = static_cast<uint16_t>(request);
  const auto buffer16 = static_cast<uint16_t>(request + wire::kHeaderSize);

  if (cmd.path == FwPath::S || cmd.path == FwPath::SA) {
    return protocol == kProtocolIscsi
               ? GetIOCTLPayLoadSize(call.handle, cmd.opcode, cmd.subsystem, request16, buffer16, payload,
                                     call.size_out, call.domain, call.port_number)
               : GetNICIOCTLPayLoadSize(call.handle, cmd.opcode, cmd.subsystem, request16, buffer16, payload,
                                        call.size_out, call.domain, call.port_number);
  }
  return protocol == kProtocolIscsi
             ? IssueIOCTLWithPayLoad(call.handle, cmd.opcode, cmd.subsystem, request16, buffer16, payload,
                                     cmd.direction, call.domain, call.port_number, cmd.version)
             : IssueNICIOCTLWithPayLoad(call.handle, cmd.opcode, cmd.subsystem, request16, buffer16, payload,
                                        cmd.direction, call.domain, call.port_number, cmd.version);
}

// ---- the table-driven wrappers -----------------------------------------------------------------

#define FW_DEF_I_FIX(w)                                                            \
  uint32_t w(int32_t handle, void* payload, uint8_t domain, uint8_t port_number) { \
    return run_fw_command(FwId::w, FwCall{handle, payload, 0, nullptr, domain, port_number, 0}); \
  }
#define FW_DEF_I_VAR(w)                                                                             \
  uint32_t w(int32_t handle, void* payload, uint16_t length, uint8_t domain, uint8_t port_number) { \
    return run_fw_command(FwId::w, FwCall{handle, payload, length, nullptr, domain, port_number, 0}); \
  }
#define FW_DEF_N_FIX(w) FW_DEF_I_FIX(w)
#define FW_DEF_N_OFF16(w) FW_DEF_I_FIX(w)
#define FW_DEF_P_FIX(w)                                                                            \
  uint32_t w(int32_t handle, void* payload, uint8_t domain, uint8_t port_number, int32_t route) { \
    return run_fw_command(FwId::w, FwCall{handle, payload, 0, nullptr, domain, port_number, route}); \
  }
#define FW_DEF_P_OFF16(w) FW_DEF_P_FIX(w)
#define FW_DEF_PN_FIX(w) FW_DEF_P_FIX(w)
#define FW_DEF_A_FIX(w) FW_DEF_P_FIX(w)
#define FW_DEF_AC_FIX(w) FW_DEF_P_FIX(w)
#define FW_DEF_A_FAT(w) FW_DEF_P_FIX(w)
#define FW_DEF_P_VAR(w)                                                                          \
  uint32_t w(int32_t handle, void* payload, uint16_t length, uint8_t domain, uint8_t port_number, \
             int32_t route) {                                                                    \
    return run_fw_command(FwId::w, FwCall{handle, payload, length, nullptr, domain, port_number, route}); \
  }
#define FW_DEF_A_VAR(w) FW_DEF_P_VAR(w)
#define FW_DEF_A_NONE(w)                                                            \
  uint32_t w(int32_t handle, uint8_t domain, uint8_t port_number, int32_t route) { \
    return run_fw_command(FwId::w, FwCall{handle, nullptr, 0, nullptr, domain, port_number, route}); \
  }
#define FW_DEF_S_FIX(w)                                                                                 \
  uint32_t w(int32_t handle, void* payload, uint16_t* size_out, uint8_t domain, uint8_t port_number) { \
    return run_fw_command(FwId::w, FwCall{handle, payload, 0, size_out, domain, port_number, 0});      \
  }
#define FW_DEF_S_NONE(w)                                                                \
  uint32_t w(int32_t handle, uint16_t* size_out, uint8_t domain, uint8_t port_number) { \
    return run_fw_command(FwId::w, FwCall{handle, nullptr, 0, size_out, domain, port_number, 0}); \
  }
#define FW_DEF_SA_FIX(w)                                                                                \
  uint32_t w(int32_t handle, void* payload, uint16_t* size_out, uint8_t domain, uint8_t port_number, \
             int32_t route) {                                                                         \
    return run_fw_command(FwId::w, FwCall{handle, payload, 0, size_out, domain, port_number, route}); \
  }
#define FW_DEF_D_FIX(w)
#define FW_DEF_D_VAR(w)

#define FW_CMD(wrapper, op, sub, length, request, dir, path, ver, pair) FW_DEF_##path##_##length(wrapper)
#include "access/fw_commands.def"
#undef FW_CMD

// ---- the commands that build their own buffer ----------------------------------------------------

uint32_t ioctl_get_available_personalities(int32_t handle, uint8_t* buffer, uint8_t domain, uint8_t port_number,
                                           int32_t protocol) {
  const FwCommand& cmd = fw_command(FwId::ioctl_get_available_personalities);
  return personality_command(cmd, handle, buffer, cmd.request, domain, port_number, protocol, __func__);
}

uint32_t ioctl_get_configured_personality(int32_t handle, uint8_t* buffer, uint32_t length, uint8_t domain,
                                          uint8_t port_number, int32_t protocol) {
  return personality_command(fw_command(FwId::ioctl_get_configured_personality), handle, buffer, length, domain,
                             port_number, protocol, __func__);
}

uint32_t ioctl_get_flash_component_details(int32_t handle, uint32_t record[6], uint8_t domain, uint8_t port_number,
                                           int32_t protocol) {
  const FwCommand& cmd = fw_command(FwId::ioctl_get_flash_component_details);
  if (record == nullptr) return kStatusFailed;
  VaruGlobGuard guard;
  int32_t fd = kNoDescriptor;
  if (!direct_descriptor(handle, protocol, &fd)) return kStatusFailed;
  uint8_t buffer[wire::kHeaderSize + sizeof(FlashComponentRecord)] = {};
  std::memcpy(buffer + wire::kHeaderSize, record, sizeof(FlashComponentRecord));
  // The raw status byte is the answer; when nothing went out it still holds the Timeout's low byte,
  // which is non-zero, so a failure is never read as success.
  IssueIOCTL(fd, cmd.opcode, cmd.subsystem, cmd.request, buffer, domain, port_number, protocol, handle);
  const uint8_t status = status_of(buffer);
  if (status == 0) {
    std::memcpy(record, buffer + wire::kHeaderSize, sizeof(FlashComponentRecord));
  } else {
    pdebug(2, 3, "%s:IOCTL failed with status 0x%x additional status 0x%x\n", __func__, status,
           additional_of(buffer));
  }
  return status;
}

uint32_t ioctl_upgrade_flash(int32_t handle, const flashrom_request* request, uint8_t domain, uint8_t port_number,
                             int32_t protocol, uint8_t offset_flag) {
  const FwCommand& cmd = fw_command(FwId::ioctl_upgrade_flash);
  if (request == nullptr) return kStatusFailed;
  VaruGlobGuard guard;
  int32_t fd = kNoDescriptor;
  if (!direct_descriptor(handle, protocol, &fd)) return kStatusFailed;
  auto* buffer = static_cast<uint8_t*>(varu_dcalloc(kFlashBufferSize));
  if (buffer == nullptr) {
    pdebug(2, 3, "%s:ERROR: Unable to allocate memory for the FlashROM command.\n", __func__);
    return kStatusFailed;
  }
  constexpr size_t kFields = wire::kHeaderSize;                          // flashrom_request in the payload
  constexpr size_t kImage = wire::kHeaderSize + sizeof(flashrom_request);  // chunk bytes
  std::memcpy(buffer + kFields, request, sizeof *request);
  const auto* image = reinterpret_cast<const uint8_t*>(request) + sizeof *request;
  const uint32_t total = request->total_length;
  uint32_t sent = 0;
  uint32_t result = 0;
  while (sent < total) {
    const uint32_t chunk = total - sent < kFlashChunkSize ? total - sent : kFlashChunkSize;
    std::memcpy(buffer + kImage, image + sent, chunk);
    const bool last = sent + chunk == total;
    put_u32(buffer + kFields + offsetof(flashrom_request, operation), last ? kFlashOperationLastChunk : kFlashOperationWrite);
    put_u32(buffer + kFields + offsetof(flashrom_request, image_type), request->image_type);
    put_u32(buffer + kFields + offsetof(flashrom_request, total_length), chunk);
    put_u32(buffer + kFields + offsetof(flashrom_request, offset), offset_flag != 0 ? request->offset + sent : request->offset);
    result = IssueIOCTL(fd, cmd.opcode, cmd.subsystem, kFlashRequestLength, buffer, domain, port_number, protocol,
                        handle);
    if (result != 0) break;
    const uint8_t status = status_of(buffer);
    if (status != 0) {
      const uint16_t additional = additional_of(buffer);
      if (status == 1 && additional == kAdditionalCrcMismatch && request->image_type == kFlashImageTypeCrcTolerant) {
        result = 0;
      } else {
        pdebug(2, 3, "%s:Error in Writing ROM. status = %d and Addstatus = %d\n", __func__, status, additional);
        result = status;
      }
      break;
    }
    sent += chunk;
  }
  varu_dfree(buffer);
  return result;
}

// ---- per-instance command bitfields --------------------------------------------------------------

namespace {

// Rows: one per combination of the instanced ancestors' numbers; columns: the node's instances.
struct BitfieldShape {
  uint32_t rows;
  uint32_t row_bytes;
  uint32_t row;      // this node's row
  int32_t column;    // this node's number
};

bool bitfield_shape(hm_node* node, BitfieldShape* shape) {
  hm_instance_info* own = node != nullptr ? instance_info(node) : nullptr;
  if (own == nullptr || own->number < 0) return false;
  uint64_t rows = 1;
  uint64_t row_product = 1;
  for (hm_node* up = node->parent; up != nullptr && up != node; up = up->parent) {
    hm_instance_info* info = instance_info(up);
    if (info != nullptr && info->number >= 0) {
      rows *= info->max_instances;
      row_product *= static_cast<uint64_t>(info->number) + 1;
      if (rows > (1u << 20)) return false;
    }
    if (up->parent == up) break;
  }
  shape->rows = static_cast<uint32_t>(rows);
  shape->row_bytes = (own->max_instances + 7u) / 8u;
  shape->row = static_cast<uint32_t>(row_product - 1);
  shape->column = own->number;
  return shape->row < shape->rows && shape->column < own->max_instances;
}

}  // namespace

uint8_t* alloc_ioctl_bitfield(hm_node* node) {
  BitfieldShape shape{};
  if (!bitfield_shape(node, &shape)) return alloc_bitfield(1);
  // Whole bytes per row: a row of 1 instance still takes a byte, so size by rows x row bytes.
  return alloc_bitfield(shape.rows * shape.row_bytes * 8u);
}

void free_ioctl_bitfield(uint8_t* field) { free_bitfield(field); }

int is_ioctl_set(uint8_t* field, hm_node* node) {
  BitfieldShape shape{};
  if (field == nullptr || !bitfield_shape(node, &shape)) return -1;
  const int32_t bits = static_cast<int32_t>(shape.row_bytes * 8u);
  return is_set(field + shape.row * shape.row_bytes, bits, shape.column);
}

int set_ioctl_bit(uint8_t* field, hm_node* node) {
  BitfieldShape shape{};
  if (field == nullptr || !bitfield_shape(node, &shape)) return -1;
  const int32_t bits = static_cast<int32_t>(shape.row_bytes * 8u);
  return set_bit(field + shape.row * shape.row_bytes, bits, shape.column);
}

}  // namespace vx
