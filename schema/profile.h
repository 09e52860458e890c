// The profiles of a controller's ProfileManagement group: Profile<k> with its Protocol<j>
// instances, and the Port<p> instances of the active and of the configured profile with their
// Function<f> instances.
#pragma once

#include "engine/hm.h"

namespace vx {

// Each returns the new instance, or NULL when all numbers under `parent` are taken or on any
// failure (nothing left behind).
// Under ProfileManagement, at most 100 per controller.
hm_node* initialize_Profile(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
// Under a Profile instance, at most 8.
hm_node* initialize_Profile_Protocol(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
// Under ActiveProfile, at most 4; and a Function under such a port, at most 64.
hm_node* initialize_ActiveProfile_Port(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
hm_node* initialize_ActiveProfile_Port_Function(hm_node* parent, hm_node* origin, hm_node* action,
                                                char params[6][256]);
// Under ConfiguredProfile, at most 4; and a Function under such a port, at most 64. Numbered apart
// from the active profile's.
hm_node* initialize_ConfiguredProfile_Port(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);
hm_node* initialize_ConfiguredProfile_Port_Function(hm_node* parent, hm_node* origin, hm_node* action,
                                                    char params[6][256]);

}  // namespace vx
