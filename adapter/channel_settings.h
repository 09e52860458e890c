// The settings of a port's channels (the Channel instances of a multichannel mode): logical link
// state, LPVID, outer VLAN, bandwidths and vNIC name, kept in the adapter's profile configuration,
// and their save and restore around a profile save. The property and action handlers are declared
// in schema/handlers.h.
#pragma once

#include <cstdint>

#include "adapter/nic_records.h"
#include "engine/hm.h"

namespace vx {

// The generation-5 mode texts of a port: the MCType of ActiveProfile/Port<n> and of
// ConfiguredProfile/Port<n> (n its PortNumber) and ProfileManagement/RebootRequired, each read
// through its handler; all three stay empty for a port whose InterfaceType is "Unknown". 0, or 1
// when a group is missing or a read fails.
uint32_t VARU_get_ovl_mc_type(hm_node* controller, hm_node* port, char active[kValueSize],
                              char configured[kValueSize], char reboot[kValueSize]);

// Writes the channel's property named by `prop` (LogicalLinkState, LPVID, OuterVLANID, MinBandWidth,
// MaxBandWidth) from the descriptor of its function in a profile reply. 0 (also when no descriptor
// matches: nothing written), or 1 when the channel's Type or FunctionNumber cannot be read.
uint32_t VARU_get_mchannel_params(hm_node* channel, hm_node* prop, const uint8_t* profile_reply);
// Writes LogicalLinkState or LPVID of the channel to the adapter as one edited descriptor. 0; 1
// (a missing argument, no descriptor for the function: nothing sent), with 286 (LPVID of a storage
// function), 16 or 283 (the adapter refused).
uint32_t VARU_set_mchannel_params(hm_node* controller, hm_node* channel, hm_node* prop, const char* value,
                                  const char* active_text, const char* reboot_text);

// The channels of port `port_number` (0-3) into the save area; *count their number. 0, 317 when the
// port has none, 1 when a group is missing or a read fails.
uint32_t VARU_save_mc_props(hm_node* channel_group, mc_prop* area, uint32_t port_number, uint32_t* count);
// Sends the saved bandwidths, LPVID and logical link of the first `count` channels again, and
// bandwidths 0 to the others. Nothing is done for a port whose saved or configured mode code is 1
// (no multichannel). 0, or 1.
uint32_t VARU_reset_mc_props(hm_node* channel_group, const mc_prop* area, uint32_t port_number,
                             const uint16_t configured_codes[kMcPorts], uint32_t count);

}  // namespace vx
