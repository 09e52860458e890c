// Multichannel modes (the controller's ChannelManagement group), the Channel instances of every
// port, and the port instances kept in step with the ports of the configured profile. The handlers
// (handle_SupportedMCTypes, handle_ChannelManagement_details, do_ConfigureChannelManagement) and the
// start-up steps (VARU_get_multi_channels_info, VARU_enummerate_dummy_port_discovery) are declared
// in schema/handlers.h.
#pragma once

#include <cstdint>

#include "adapter/profile_records.h"
#include "engine/hm.h"
#include "schema/handlers.h"

namespace vx {

constexpr uint32_t kStatusSetPortProtocolFailed = 283;
constexpr uint32_t kStatusMultiChannelChanged = 284;
constexpr uint32_t kStatusMultiChannelNotSupported = 289;
constexpr uint32_t kStatusGetCapabilitiesFailed = 292;
constexpr uint32_t kStatusChannelTypeMissing = 293;
constexpr uint32_t kStatusChannelTypeNotSupported = 294;

// The mode names of the capability bits (opcode 123) joined by ",", in the firmware's order; "N/A"
// when none is set.
void supported_mc_types_text(uint32_t capabilities, char out[kValueSize]);
// True when `name` is a whole item of the comma-separated `list` (case-sensitive).
bool list_has_item(const char* list, const char* name);

// Creates one Channel from a NIC, iSCSI or FCoE descriptor, or marks the NIC channel of a RoCE
// descriptor's function NIC+RoCE. 0, or 1 when the channel could not be made.
uint32_t VARU_initialize_channels(uint8_t desc_type, const char* function_number, hm_node* channel_group,
                                  const ResourceDescriptor& descriptor);

}  // namespace vx
