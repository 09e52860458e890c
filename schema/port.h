// The port tree of a controller: one PortDiscoveryAndConfiguration<n> per physical port under
// Vexalon<n>, with its fixed subtree of 181 nodes (BaseT10G, LLDP, DCBX with PFC, priority groups,
// application TLVs and QCN), and the Channel<n> instances of its ChannelManagement group. The PG and
// ApplicationTLV instances inside DCBX have their builders in dcb_features.h and application_tlv.h.
#pragma once

#include <cstddef>

#include "engine/hm.h"

namespace vx {

// Nodes one port instance is made of, itself included.
constexpr size_t kPortNodeCount = 182;

// One port instance under a Vexalon<n> instance (at most 4 per controller); its number is the
// lowest free one, the port's number is its "PortNumber". NULL when none is free or on any failure,
// with nothing left behind.
hm_node* initialize_PortDiscoveryAndConfiguration(hm_node* parent, hm_node* origin, hm_node* action,
                                                  char params[6][256]);
// One Channel instance under the ChannelManagement group of a port instance (at most 16).
hm_node* initialize_Channel(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]);

}  // namespace vx
