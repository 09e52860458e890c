// MAC addresses of the physical functions beyond their property handlers (schema/handlers.h): the
// reset to the factory address and the last configured MAC. No hierarchy node runs these yet.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

// Reset of a function's MAC to its factory address (from the MAC query): the last configured MAC
// and PermanentMACAddress become it, status 304 and 0; 1 with status 159 when the query fails, or
// with the status of the write.
uint32_t do_NICPhysicalHBA_ResetMACAddress(hm_node* nic_phba, hm_node* action, char params[6][256]);
uint32_t do_iSCSIPhysicalHBA_Network_NICConfiguration_ResetMACAddress(hm_node* nic_configuration, hm_node* action,
                                                                     char params[6][256]);
// The function's MAC in its NIC (protocol 2) or iSCSI (1) descriptor, written as one descriptor
// edited from the active profile; on generation 2 in the adapter configuration block. 0, or 1 with
// status 17 (not a MAC) or 161.
uint32_t VARU_set_last_configured_mac(hm_node* adapter, hm_node* phba, const char* mac, int32_t protocol);
// PermanentMACAddress from the last configured MAC (the configured profile's descriptor; the
// block on generation 2): 0, or 1 (160 on the legacy path).
uint32_t VARU_get_last_configured_mac(hm_node* adapter, hm_node* phba, int32_t protocol);
uint32_t VARU_set_legacy_last_configured_mac(hm_node* adapter, hm_node* phba, const char* mac);
uint32_t VARU_get_legacy_last_configured_mac(hm_node* adapter, hm_node* phba, int32_t protocol);

}  // namespace vx
