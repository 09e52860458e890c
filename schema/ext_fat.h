// The firmware's trace modules under a controller's ExtFATData group: ExtFATModule<m>, each with
// an ExtFATMode<k> per logging mode.
#pragma once

#include "engine/hm.h"

namespace vx {

// One trace module under `parent` (the controller's ExtFATData group; at most 64), and one logging
// mode under a module (at most 2, numbered per module). NULL when all numbers are taken or on any
// failure, with nothing left behind.
hm_node* initialize_ExtFATModule(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
hm_node* initialize_ExtFATMode(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
