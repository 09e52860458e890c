// The NC-SI settings of a controller: NCSIStaticConfiguration0 (as manufactured) and
// NCSIDynamicConfiguration0 (what the user may override) under its NCSI group.
#pragma once

#include "engine/hm.h"

namespace vx {

// The one instance of each under `parent` (the controller's NCSI group); NULL for a second one or
// on any failure, with nothing left behind.
hm_node* initialize_NCSIStaticConfiguration(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
hm_node* initialize_NCSIDynamicConfiguration(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
