// The initiator's identity and limits on the logical HBA: its iSCSI name and alias (one setting of
// the whole host, written to every iSCSI function of every adapter), the iSCSI QoS limits and the
// Enabled flag.
#pragma once

#include <cstdint>

#include "engine/hm.h"
#include "iscsi/common.h"

namespace vx {

constexpr uint32_t kStatusGetInitiatorName = 110;
constexpr uint32_t kStatusSetInitiatorName = 111;
constexpr uint32_t kStatusGetQos = 114;
constexpr uint32_t kStatusSetQos = 115;
constexpr uint32_t kStatusLhbaAlwaysEnabled = 47;
constexpr int kBytesPerSecondShift = 10;   // MaxBytesPerSecond is shown in units of 1024 bytes

// Reads the function's name record into InitiatoriSCSIName and InitiatorAlias of `node`'s group.
uint32_t get_name_params(const CommandAddress& at, hm_node* name_group);
// Writes a new name (`property` InitiatoriSCSIName) or alias to every iSCSI function.
uint32_t VARU_set_initatorIQN_alias(hm_node* property, const char* value);
uint32_t get_qos_params(const CommandAddress& at, hm_node* qos_group);

}  // namespace vx
