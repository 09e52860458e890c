// The IPv4 interface of an iSCSI port (group Network/TCPIPConfiguration of an iSCSIPhysicalHBA):
// reading address, mask, DHCP and VLAN, the default gateway, and the actions that change them.
// Every change goes to the firmware; the hierarchy shows what the firmware holds after a fresh
// read. Changes of address, DHCP and gateway are refused while the port has an iSCSI boot session.
#pragma once

#include <cstdint>

#include "engine/hm.h"
#include "iscsi/common.h"

namespace vx {

constexpr uint32_t kStatusAddressWithDhcp = 43;
constexpr uint32_t kStatusBootSession = 44;
constexpr uint32_t kStatusGatewayWithDhcp = 49;
constexpr uint32_t kStatusIpSettingsMatch = 56;
constexpr uint32_t kStatusDhcpConfigured = 57;
constexpr uint32_t kStatusDuplicateIp = 69;
constexpr uint32_t kStatusInterfaceIds = 98;
constexpr uint32_t kStatusInterfaceInfo = 99;
constexpr uint32_t kStatusModifyIp = 122;
constexpr uint32_t kStatusDhcpDisable = 123;
constexpr uint32_t kStatusVlan = 124;
constexpr uint32_t kStatusSetGateway = 132;
constexpr uint32_t kStatusGetGateway = 133;
constexpr uint32_t kStatusDhcpEnable = 135;

// The TCPIPConfiguration group's driver record holds the port handle and the firmware's interface
// id; it is made anew on every read of the interface, and the actions need it.
bool tcpip_interface(hm_node* tcpip, int32_t* port, uint32_t* interface_id);
// The interface ids, then the interface into `group` (TCPIPConfiguration). 0, or 1 with the status.
uint32_t get_all_interfaces(int32_t port, int32_t phba_port, int32_t domain, hm_node* group);
uint32_t get_if_info_params(int32_t port, uint32_t interface_id, hm_node* group, int32_t domain, int32_t phba_port);
// 1 with status 44 when a Session under the physical HBA reads iSCSIBoot "True", else 0.
uint32_t check_for_boot_session(hm_node* phba);
uint32_t VARU_delete_ip_from_firmware(int32_t port, uint32_t interface_id, hm_node* group, int32_t domain,
                                      int32_t phba_port, const uint8_t address[4], const uint8_t mask[4]);

// One address entry (IPv4: 4 bytes of address and mask; IPv6: 16 bytes, no mask) added or deleted;
// the command's result, and the firmware's verdict on the address in *per_address.
uint32_t send_ip_entry(const CommandAddress& at, uint32_t interface_id, uint32_t operation, uint8_t type,
                       const uint8_t* address, const uint8_t* mask, uint32_t* per_address);
// A default gateway (type 1 IPv4, 16 IPv6) added or deleted.
uint32_t send_gateway_change(const CommandAddress& at, uint32_t operation, uint8_t type, const uint8_t* address);

// The iSCSIPhysicalHBA of a group `levels` levels up, or NULL.
hm_node* ancestor_at(hm_node* group, int levels);

}  // namespace vx
