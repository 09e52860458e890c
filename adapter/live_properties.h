// Routines behind the live controller, port and NCSI properties that other code calls besides the
// property handlers (schema/handlers.h): the 10GBASE-T writer, the NCSI refresh and write, and the
// flow-control re-send of a profile save.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

// The BaseT10G counters from a first-form (`record_v0`, 84 bytes) or version-1 (`record_v1`, 112
// bytes) statistics reply; with neither all read "N/A". Mode 1, or a record, stores the time of
// the update in the port's refresh slot (mode 1 then ends there). 0, or 1 when a write failed.
uint32_t VARU_update_10GbaseT_properties(hm_node* baset, const uint8_t* record_v0, const uint8_t* record_v1,
                                         uint32_t mode);

// One NCSI property of NCSIDynamicConfiguration0 written to the adapter (`value` as the property
// takes it). 0; 17 for a MAC address that is not one; the command's status (219 for the write).
uint32_t set_ncsi_attributes(hm_node* ncsi_group, const char* property_name, const char* value);

// TxFlowControl and RxFlowControl of the port: "Enabled" for 1, else "Disabled". 0, 1 without a
// node, or the OR of the two writes.
uint32_t VARU_update_flow_control_props(hm_node* port, uint32_t tx, uint32_t rx);
// Sends the port's current flow-control settings again with the multichannel type `mc_type` (byte
// 1: 11 for "NPAR", else 8), as a profile save does. 0, 1 without a node or type, or the command's
// status.
uint32_t VARU_reset_flow_control_properties(hm_node* port, const char* mc_type);

}  // namespace vx
