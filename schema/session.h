// Sessions of the initiator with a target and their single connection: reported state only (the
// options asked for, the negotiated values, identity, status, statistics, addresses and ports).
#pragma once

#include "engine/hm.h"

namespace vx {

// Creates the next Session<n> under a Target<n> (at most 64, lowest free number) with its login
// option, negotiated option and statistics groups. The login and the session walk pass the Target
// as origin, the Target's Login action and a parameter block (destination address, port,
// initiator name, ISID qualifier); the session is then persistent and takes a priority.
// NULL when the target has 64 sessions or a node cannot be made (nothing is left behind).
hm_node* initialize_Session(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

// Creates Connection0 under a Session<n> (one per session); callers pass no origin, action or
// params, so a connection is never persistent. NULL for a second connection or when a node cannot
// be made.
hm_node* initialize_Connection(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
