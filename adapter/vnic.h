// Bandwidth caps and vNIC values of the NIC and iSCSI functions. Their property handlers are
// declared in schema/handlers.h; `path` is 2 for the NIC device node, 1 for the iSCSI one.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

// Stores MinBitsPerSecond or MaxBitsPerSecond (by `prop`'s name) of the function whose number text
// ("0x%x") is `function` in `group`: the port's link speed factor times the function's bandwidth in
// the active profile's descriptor of `type` (81 NIC, 82 iSCSI); both "0" without a link speed.
// 0 (also when no descriptor matches: nothing stored), or 1 (93 when the link read fails).
uint32_t VARU_get_bw_softcap(hm_node* group, hm_node* controller, int32_t port, int32_t domain, int32_t port_number,
                             uint8_t type, const char* function, hm_node* prop, int32_t path);
// MaxBitsPerSecond of a node's group from the QoS get on the NIC path: 0, or 1 with status 114.
uint32_t get_nicphba_params(int32_t port, hm_node* node);
// The same for a NIC physical HBA on generation 2; 1 with status 259 on generation 4.
uint32_t VARU_get_legacy_QOS(int32_t port, hm_node* nic_phba);
// vNICEnabled ("true" or "False") and vNICName: 0 (also when the adapter does not support the
// query), or 1 with status 186.
uint32_t get_vnic_name(int32_t port, int32_t domain, int32_t port_number, hm_node* vnic_group, int32_t path);
// OuterVLANID, MinBandwidth, MaxBandwidth: 0, or 1 with status 185.
uint32_t get_vnic_stats(int32_t port, int32_t domain, int32_t port_number, hm_node* vnic_group, int32_t path);

}  // namespace vx
