// Three values that the profile, multichannel and personality side of a controller owns and that
// the port handlers branch on, each read in one place through the property that side keeps.
#pragma once

#include "engine/hm.h"

namespace vx {

// ChannelManagement/ConfiguredManagementType of the controller ("N/A" when no multichannel type is
// configured); false when the group or property is missing or cannot be read.
bool configured_management_type(hm_node* controller, char out[kValueSize]);
// The configured multichannel type of the port's controller (ProfileManagement/ConfiguredProfile/
// Port0/MCType); false when it is missing or cannot be read.
bool configured_mc_type(hm_node* port, char out[kValueSize]);
// Personality/CurrentPersonality of the controller; false when it cannot be read.
bool current_personality(hm_node* controller, char out[kValueSize]);

}  // namespace vx
