// Cached entries of the adapter's route, ARP and iSNS tables, below an iSCSIPhysicalHBA<n>. The
// values are plain cached texts that the table readers fill right after each build; the adapter is
// not asked when they are read.
#pragma once

#include "engine/hm.h"

namespace vx {

// RouteTableEntry<n> under .../Network/TCPIPConfiguration/RouteTable (at most 1024 per physical HBA).
// Routes are never persistent (they come back from the adapter at start-up): callers pass no
// origin, action or params. NULL when the table is full or a node cannot be made.
hm_node* initialize_RouteTableEntry(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

// ARPTableEntry<n> under .../Network/TCPIPConfiguration/ARPTable (at most 64 per physical HBA).
// The entry records whatever origin, action and params its caller passes, and then takes a
// persistence priority, so that saving the tree replays that action at restore. A table reader
// may therefore pass the creating action only to the first entry of a rebuild made by
// AddARPTableEntry; it must never pass DeleteARPTableEntry (or any delete action): a replay would
// delete an entry instead of re-creating one. The same holds for routes. NULL when the table is
// full or a node cannot be made.
hm_node* initialize_ARPTableEntry(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

// iSNSServer<n> under .../iSNS (at most 4 per physical HBA). Persistent when the caller passes the
// iSNS group, its ConfigureiSNSServer action and a block holding the server's address in slot 0
// and its port in slot 1, so that a restore configures the server again.
hm_node* initialize_iSNSServer(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
