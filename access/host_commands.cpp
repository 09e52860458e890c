// The host-layer helpers and controller queries that send a firmware command.
#include <cstdio>
#include <cstring>

#include "access/fw_commands.h"
#include "access/host.h"
#include "access/walks.h"
#include "engine/messages.h"

namespace vx {
namespace {

constexpr uint32_t kStatusMacAddressFailed = 246;
constexpr int32_t kProtocolIscsi = 1;
constexpr int32_t kProtocolNic = 2;

// Controller-attributes record (540 bytes): the fields read here.
constexpr size_t kAttributesSize = 540;
constexpr size_t kAttrLhbaCount = 446;
constexpr size_t kAttrPortNumber = 447;
constexpr size_t kAttrBus = 508;
constexpr size_t kAttrDevice = 509;
constexpr size_t kAttrFunction = 510;

// MAC query (72 bytes): request bytes 0 and 1, the MAC at bytes 2 to 7 of the answer.
constexpr size_t kMacQuerySize = 72;
constexpr size_t kMacOffset = 2;

// Configuration signature request (132 bytes): u32 3 first.
constexpr size_t kConfigSignSize = 132;
constexpr uint32_t kConfigSignature = 3;

void put_decimal(char* out, size_t size, unsigned value) {
  if (out != nullptr && size > 0) std::snprintf(out, size, "%u", value);
}

}  // namespace

uint32_t get_lhba_count(hm_node* node, char* a, char* b, char* c, char* d, size_t size) {
  uint8_t record[kAttributesSize] = {};
  if (ioctl_fetch_controller_attribs(get_port_number(node), record, 0, 0, kProtocolIscsi) != 0) return 1;
  put_decimal(a, size, record[kAttrBus]);
  put_decimal(b, size, record[kAttrDevice]);
  put_decimal(c, size, record[kAttrFunction]);
  put_decimal(d, size, record[kAttrPortNumber]);
  return record[kAttrLhbaCount];
}

uint32_t VARU_set_config_signature(int32_t handle, int32_t adapter) {
  uint8_t request[kConfigSignSize] = {};
  const uint32_t signature = kConfigSignature;
  for (size_t i = 0; i < sizeof signature; ++i) request[i] = static_cast<uint8_t>(signature >> (8 * i));
  return ioctl_set_config_sign(handle, request, 0, 0, adapter);
}

uint32_t VARU_get_nic_macaddress(hm_node* node) {
  uint8_t payload[kMacQuerySize] = {};
  payload[0] = 1;
  payload[1] = 1;
  uint32_t rc = ioctl_get_mac_query(get_port_number(node), payload, static_cast<uint8_t>(get_domain_id(node)),
                                    static_cast<uint8_t>(get_phba_port_number(node)), kProtocolNic);
  const uint8_t* mac = payload + kMacOffset;
  if (rc != 0 || set_prop_val(owning_group(node), "MACAddress", "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1],
                              mac[2], mac[3], mac[4], mac[5]) != 0) {
    varu_set_last_status(kStatusMacAddressFailed, msg::kMacAddressFailed);
    return 1;
  }
  return 0;
}

}  // namespace vx
