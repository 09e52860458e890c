// The erase actions of a NIC function and of a port, and the NIC configuration's refresh.
#include "access/adapter_tables.h"
#include "access/flash_erase.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/oem_attribs.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/port_network.h"
#include "schema/names_iscsi_phba.h"
#include "schema/handlers.h"

namespace vx {

// The action NICPhysicalHBA<k>/EraseNICConfiguration: as VARU_EraseNICConfiguration, but 1 with
// status 256 on a virtual function and 0 when the adapter must be rebooted at once.
uint32_t do_EraseNICConfiguration(hm_node* nic_phba, hm_node*, char[6][256]) {
  if (vm_flag == 1) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  const uint32_t rc = VARU_EraseNICConfiguration(nic_phba);
  return rc == kStatusEraseRebootNow ? kStatusOk : rc;
}

// The action iSCSIPhysicalHBA<k>/Network/NICConfiguration/RefreshNICConfig: the port's network
// parameters and MAC read again; 0, or 1.
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

// The action PortDiscoveryAndConfiguration<n>/ErasePortandDiscoveryConfiguration: 0 with status
// 184; 1 with status 256 on a virtual function (nothing sent); else the command's status with
// status 187.
uint32_t do_ErasePortandDiscoveryConfiguration(hm_node* port, hm_node*, char[6][256]) {
  if (vm_flag == 1) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
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
