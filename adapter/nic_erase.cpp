#include "adapter/nic_erase.h"

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "iscsi/net_records.h"
#include "iscsi/port_network.h"
#include "schema/names_iscsi_phba.h"
#include "schema/handlers.h"

namespace vx {

uint32_t VARU_EraseNICConfiguration(hm_node* nic_phba) {
  erase_request r{kEraseOperation, kEraseNic, {}};
  const uint32_t rc = ioctl_erase_ROM(get_port_number(nic_phba), &r, static_cast<uint8_t>(get_domain_id(nic_phba)),
                                      static_cast<uint8_t>(get_phba_port_number(nic_phba)), kProtocolNic);
  if (rc == 0) {
    varu_set_last_status(kStatusErased, msg::kErasedReboot);
  } else if (rc == kStatusEraseRebootNow) {
    varu_set_last_status(kStatusRebootImmediately, msg::kRebootImmediately);
  } else {
    varu_set_last_status(kStatusNicEraseFailed, msg::kNicEraseFailed);
  }
  return rc;
}

uint32_t do_EraseNICConfiguration(hm_node* nic_phba, hm_node*, char[6][256]) {
  constexpr uint32_t kStatusNotOnVirtualFunction = 256;
  if (vm_flag == 1) return fail(kStatusNotOnVirtualFunction, "%s", msg::kNotOnVirtualFunction);
  const uint32_t rc = VARU_EraseNICConfiguration(nic_phba);
  return rc == kStatusEraseRebootNow ? kStatusOk : rc;
}

uint32_t do_RefreshNICConfig(hm_node* group, hm_node* action, char[6][256]) {
  if (group == nullptr || action == nullptr ||
      internal_get_node(group, kPropPhbaPermanentMACAddress, kProperty) == nullptr) {
    return kStatusFailed;
  }
  const int32_t port = get_port_number(group);
  const int32_t domain = get_domain_id(group);
  const int32_t phba_port = get_phba_port_number(group);
  return VARU_get_iscsi_ntwk_params(port, domain, phba_port, group) |
         VARU_get_iscsi_ntwk_mac(port, domain, phba_port, group, kPropPhbaMACAddress);
}

uint32_t do_ErasePortandDiscoveryConfiguration(hm_node* port, hm_node*, char[6][256]) {
  constexpr uint32_t kStatusNotOnVirtualFunction = 256;
  if (vm_flag == 1) return fail(kStatusNotOnVirtualFunction, "%s", msg::kNotOnVirtualFunction);
  const int32_t port_number = get_phba_port_number(port);
  const int32_t path = static_cast<int32_t>(get_port_bitmap(static_cast<uint32_t>(get_vx_instance(port)), port_number));
  erase_request r{kEraseOperation, kErasePort, {}};
  const uint32_t rc = ioctl_erase_ROM(get_port_number(port), &r, static_cast<uint8_t>(get_domain_id(port)),
                                      static_cast<uint8_t>(port_number), path);
  if (rc != 0) {
    varu_set_last_status(kStatusPortEraseFailed, msg::kPortEraseFailed);
    return rc;
  }
  varu_set_last_status(kStatusErased, msg::kErasedReboot);
  return kStatusOk;
}

}  // namespace vx
