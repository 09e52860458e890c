// The FAT data: the trace data the firmware keeps in non-volatile memory, whether there is any,
// written to a file, and cleared. A generation-4 adapter keeps it as the firmware object
// "/dbg/dump.bin" instead.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "maintenance/controller_target.h"
#include "maintenance/firmware_trace.h"
#include "maintenance/output_file.h"
#include "maintenance/trace_records.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"

namespace vx {
namespace {

constexpr const char* kNotAvailable = "N/A";

const char* object_name(FirmwareObject object) {
  return object == FirmwareObject::kVpd ? kVpdObject : kFatObject;
}

// One read of the object: `asked` bytes (0: the bytes available) from `offset`. 0 or the command's
// status; the reply is left in `buffer` (kObjectReadBuffer bytes).
uint32_t read_object(int32_t port, uint8_t domain, uint8_t port_number, int32_t protocol, FirmwareObject object,
                     uint32_t asked, uint32_t offset, std::vector<uint8_t>* buffer) {
  buffer->assign(kObjectReadBuffer, 0);
  object_read_request r{};
  r.length = asked & kObjectLengthMask;
  r.offset = offset;
  std::strncpy(r.name, object_name(object), sizeof r.name - 1);
  std::memcpy(buffer->data(), &r, sizeof r);
  const uint32_t status = ioctl_common_read_object_v1(port, buffer->data(), static_cast<uint16_t>(buffer->size()),
                                                      domain, port_number, protocol);
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_common_read_object_v1 failed with status = %d\n", __func__, static_cast<int>(status));
  }
  return status;
}

uint32_t reply_word(const std::vector<uint8_t>& reply, size_t offset) {
  uint32_t v = 0;
  std::memcpy(&v, reply.data() + offset, sizeof v);
  return v;
}

// The FAT size through the size request; 0 or the command's status.
uint32_t fat_size(const ControllerTarget& t, uint32_t* size) {
  uint8_t request[kFatRequestExtra] = {};
  const fat_request r{kFatSize, 0, 0, 0};
  std::memcpy(request, &r, sizeof r);
  const uint32_t status = ioctl_retrieve_fat(t.port, request, t.domain, t.port_number, get_vx_instance(t.controller));
  std::memcpy(size, request, sizeof *size);
  return status;
}

// Controller, generation and target of a FATData node; false (1 to answer) when any is missing.
bool fat_target(hm_node* node, uint32_t* generation, ControllerTarget* t) {
  hm_node* controller = controller_of(node);
  if (controller == nullptr) return false;
  *generation = get_vx_type(controller);
  return *generation != kStatusFailed && controller_target(controller, node, t);
}

}  // namespace

uint32_t quenta_get_read_object(hm_node* controller, int32_t port, const char* file, uint8_t domain,
                                uint8_t port_number, int32_t protocol, FirmwareObject object) {
  (void)controller;
  OutputFile out;
  if (!out.create(file)) return refuse(kStatusInvalidFatFile, msg::kInvalidFatFileName);
  std::vector<uint8_t> reply;
  if (read_object(port, domain, port_number, protocol, object, 0, 0, &reply) != 0) {
    return refuse(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
  }
  uint32_t remaining = reply_word(reply, 0);
  if (remaining == 0) return refuse(kStatusNoObjectData, msg::kNoObjectData);
  // The first answer only tells the size; its end mark does not end the read, the pieces' marks do.
  for (uint32_t offset = 0; remaining > 0;) {
    const uint32_t asked = remaining < kObjectPiece ? remaining : kObjectPiece;
    if (read_object(port, domain, port_number, protocol, object, asked, offset, &reply) != 0) {
      return refuse(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
    }
    const uint32_t got = object_piece_bytes(reply.data(), reply.size(), asked);
    if (got == 0) return refuse(kStatusNoObjectData, msg::kNoObjectData);
    if (!out.write(reply.data() + kObjectReplyData, got)) return refuse(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
    offset += got;
    remaining -= got;
    if ((reply_word(reply, 4) & kObjectEnd) != 0) break;
  }
  return out.close() ? kStatusOk : refuse(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
}

uint32_t handle_FATDataValid(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet || buf == nullptr) return kStatusFailed;
  uint32_t generation = 0;
  ControllerTarget t;
  if (!fat_target(prop, &generation, &t)) return kStatusFailed;
  // What a failing probe leaves behind on a virtual function.
  if (vm_flag != 0) std::snprintf(buf, kValueSize, "%s", kNotAvailable);
  bool present = false;
  if (generation == kGenerationQuenta) {
    std::vector<uint8_t> reply;
    if (read_object(t.port, t.domain, t.port_number, kProtocolNic, FirmwareObject::kFatDump, 0, 0, &reply) != 0) {
      return kStatusFailed;
    }
    present = reply_word(reply, 0) != 0;
  } else {
    uint32_t size = 0;
    if (fat_size(t, &size) != 0) return refuse(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
    present = size != 0;
  }
  SET_CACHE_PROP_VAL(prop, "%s", present ? "Yes" : "No");
  std::snprintf(buf, kValueSize, "%s", present ? "Yes" : "No");
  return kStatusOk;
}

uint32_t do_RetrieveFATData(hm_node* group, hm_node*, char params[6][256]) {
  char valid[kValueSize];
  if (!read_property(group, controller::kPropFATDataValid, valid)) return kStatusFailed;
  if (std::strcmp(valid, "No") == 0) {
    varu_set_last_status(kStatusNoFatData, msg::kNoFatData);
    return kStatusOk;
  }
  uint32_t generation = 0;
  ControllerTarget t;
  if (!fat_target(group, &generation, &t)) return kStatusFailed;
  char file[kValueSize];
  std::snprintf(file, sizeof file, "%s", params[0]);
  if (generation == kGenerationQuenta) {
    return quenta_get_read_object(t.controller, t.port, file, t.domain, t.port_number, kProtocolNic,
                                  FirmwareObject::kFatDump) != 0
               ? kStatusFailed
               : kStatusOk;
  }

  uint32_t size = 0;
  if (fat_size(t, &size) != 0) return refuse(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
  if (size == 0) {
    varu_set_last_status(kStatusNoFatData, msg::kNoFatData);
    return kStatusOk;
  }
  auto* data = static_cast<uint8_t*>(varu_dcalloc(size));
  if (data == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  std::vector<uint8_t> request(kFatPiece + kFatRequestExtra);
  uint32_t result = kStatusOk;
  for (uint32_t offset = 0; offset < size && result == kStatusOk;) {
    const uint32_t piece = size - offset < kFatPiece ? size - offset : kFatPiece;
    std::fill(request.begin(), request.end(), 0);
    const fat_request r{kFatReadPiece, offset, piece, piece};
    std::memcpy(request.data(), &r, sizeof r);
    result = ioctl_retrieve_fat(t.port, request.data(), t.domain, t.port_number, get_vx_instance(t.controller));
    if (result != 0) {
      varu_set_last_status(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
      break;
    }
    std::memcpy(data + offset, request.data() + kFatDataOffset, piece);
    offset += piece;
  }
  if (result == kStatusOk) {
    OutputFile out;
    // The first four bytes of the data are not the trace; a size below them writes an empty file.
    const uint32_t skipped = size < kFatUnwritten ? size : kFatUnwritten;
    if (!out.create(file)) {
      result = refuse(kStatusInvalidFatFile, msg::kInvalidFatFileName);
    } else if (!out.write(data + skipped, size - skipped) || !out.close()) {
      result = refuse(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
    }
  }
  varu_dfree(data);
  return result;
}

uint32_t do_ClearFATData(hm_node* group, hm_node*, char[6][256]) {
  ControllerTarget t;
  if (!controller_target(controller_of(group), group, &t)) return kStatusFailed;
  uint8_t request[kFatRequestExtra] = {};
  const fat_request r{kFatClear, 0, 0, 0};
  std::memcpy(request, &r, sizeof r);
  if (ioctl_clear_fat(t.port, request, t.domain, t.port_number, get_vx_instance(t.controller)) != 0) {
    return refuse(kStatusFatRetrieveFailed, msg::kFatRetrieveFailed);
  }
  return kStatusOk;
}

}  // namespace vx
