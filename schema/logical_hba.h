// The logical HBA: the iSCSI initiator of one iSCSI physical HBA (always LogicalHBA0), with its
// names, default and configured login options, QoS, statistics and the Discovery group.
#pragma once

#include "engine/hm.h"

namespace vx {

// Creates LogicalHBA0 under an iSCSIPhysicalHBA instance; NULL when the physical HBA has it already
// or a node cannot be made (nothing is left behind then).
hm_node* initialize_LogicalHBA(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_AddTarget_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_DeleteTarget_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_AddSendTargetPortal_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_DeleteSendTargetPortal_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Discovery_RefreshAvailableTargets_action;

}  // namespace vx
