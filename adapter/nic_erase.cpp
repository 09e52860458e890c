#include "adapter/nic_erase.h"

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "iscsi/net_records.h"
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
