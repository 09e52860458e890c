#include "access/flash_erase.h"

#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "engine/hm.h"
#include "engine/messages.h"

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

}  // namespace vx
