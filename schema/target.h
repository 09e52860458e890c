// Targets of a logical HBA, with their portals and LUNs.
#pragma once

#include "engine/hm.h"

namespace vx {

// Each creates the next instance (lowest free number) under its parent and records the origin,
// action and params it is given for persistence; NULL when the parent has the maximum already or a
// node cannot be made (nothing is left behind then).
hm_node* initialize_Target(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);        // under LogicalHBA<n>, 256
hm_node* initialize_TargetPortal(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);  // under Target<n>, 64
hm_node* initialize_LUN(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);           // under Target<n>, 256

extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_Login_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_DeleteTargetPortal_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_AddTargetPortal_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_Logout_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_ReScanLUNS_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_StdInquiry_action;
extern const hm_action_descriptor ROOT_Vexalon_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_SCSIWrite_action;

}  // namespace vx
