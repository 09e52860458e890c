// The controller group: one Vexalon<n> instance per adapter, directly under "ROOT".
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

constexpr uint16_t kVexalonMax = 16;   // controllers under "ROOT"

// Builds one controller instance with all its static sub-groups, properties and actions under
// `parent` ("ROOT"). NULL when all 16 numbers are taken or on any failure, with nothing left behind.
hm_node* initialize_Vexalon(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
