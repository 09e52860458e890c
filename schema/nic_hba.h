// The NIC side of a controller: one NICPhysicalHBA<k> per NIC PCI function under Vexalon<n>, and
// one NICLogicalHBA<v> per SR-IOV virtual function under its NICPhysicalHBA.
#pragma once

#include "engine/hm.h"

namespace vx {

// One NIC physical HBA under a Vexalon<n> instance (at most 32 per controller).
hm_node* initialize_NICPhysicalHBA(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
// One NIC logical HBA under a NICPhysicalHBA<k> instance (at most 64 per physical HBA); its number
// is the virtual function's index.
hm_node* initialize_NICLogicalHBA(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
