// The SR-IOV state of a NIC PCI function: kept in its PCI-function descriptor of the profile
// configuration, or on older firmware in the adapter configuration block (generation 3) or the
// common profile block (generation 4). The handlers (handle_NICPhysicalHBA_SRIOVState,
// handle_AProf_SRIOVState) are declared in schema/handlers.h.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

// The target node's SRIOVState from the profile configuration of `config_type` (0 configured, 2
// active), read on the NIC path: 0; 288 on generation 4; 213 (no profiles); 1 (278, 16).
uint32_t VARU_get_SRIOVState(uint32_t generation, hm_node* phba, int32_t port, uint8_t domain, uint8_t port_number,
                             hm_node* adapter, const char* function, uint8_t config_type, hm_node* target);
// Writes the state ("Enabled"/"Disabled") of the physical HBA's function: 0 with status 252; 288
// on generations 2 and 4; 213 (no profiles); 1 (247, 283, 305, 16, 6).
uint32_t VARU_set_SRIOVState(uint32_t generation, hm_node* phba, int32_t port, uint8_t domain, uint8_t port_number,
                             const char* value, hm_node* adapter);
// Rewrites the whole configured profile with the function's new state: 0, or 1 (305, 16, 6).
uint32_t VARU_set_hqi_sriov_state(hm_node* adapter, uint32_t pf, const char* value, int32_t port, uint8_t domain,
                                  uint8_t port_number, int32_t path);
// The pending SRIOVState of the configured profile's Function of `pf` becomes `value`: 0, or 1 when
// there is no such Function.
uint32_t VARU_conf_sriov_state(hm_node* adapter, uint32_t pf, const char* value);
// The older blocks: 0, or 1 (241, 140, 16; 247, 242, 253 for a write).
uint32_t VARU_get_legacy_sriov_state(uint32_t generation, hm_node* phba, int32_t port, uint8_t domain,
                                     uint8_t port_number, hm_node* adapter);
uint32_t VARU_set_legacy_sriov_state(uint32_t generation, hm_node* phba, int32_t port, uint8_t domain,
                                     uint8_t port_number, const char* value, hm_node* adapter);

}  // namespace vx
