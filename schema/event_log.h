// EventLogEntry<k> under a controller's EventLog group: one per record of the adapter's event log.
#pragma once

#include "engine/hm.h"

namespace vx {

// One entry under `parent` (the controller's EventLog group; at most 1024). NULL when all numbers
// are taken or on any failure, with nothing left behind.
hm_node* initialize_EventLogEntry(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
