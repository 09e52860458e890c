// The iSCSI physical HBA: one instance per iSCSI PCI function of a controller, with its driver,
// network (TCP/IP, route and ARP tables, IPv6, NIC, vNIC), VPD, PCI and iSNS groups.
#pragma once

#include "engine/hm.h"

namespace vx {

// Creates the next iSCSIPhysicalHBA<n> (at most 8 under one Vexalon<n>, lowest free number) with
// all its static sub-groups, properties and actions. The enumeration passes no origin, action or
// params (the group is never persistent) and attaches the port's driver record afterwards.
// NULL when the controller has 8 already or a node cannot be made (nothing is left behind).
hm_node* initialize_iSCSIPhysicalHBA(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
