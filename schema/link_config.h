// LinkConfig<k> under a controller's LinkReconfiguration group: one per link configuration the
// adapter reports.
#pragma once

#include "engine/hm.h"

namespace vx {

// One link configuration under `parent` (the controller's LinkReconfiguration group; at most 32
// per controller). NULL when all numbers are taken or on any failure, with nothing left behind.
hm_node* initialize_LinkConfig(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
