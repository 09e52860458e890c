// Send-target portals of a logical HBA's Discovery group.
#pragma once

#include "engine/hm.h"

namespace vx {

// Creates the next SendTargetPortal instance (lowest free number, at most 128) under a
// LogicalHBA<n>/Discovery group and records the origin, action and params it is given; NULL when
// the group is full or a node cannot be made (nothing is left behind then).
hm_node* initialize_SendTargetPortal(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_DiscoverTargets_action;

}  // namespace vx
