// The network commands of the simulated iSCSI firmware (subsystem 2: interface, addresses,
// gateways, DHCP, VLAN, routes, ARP, iSNS, node parameters, NIC parameters), the link status and
// statistics it reports, the erase of a function's configuration and the factory profile.
#pragma once

#include "sim/firmware.h"

namespace vx::sim {

Answer get_interface_ids(Command& c);        // 24/2
Answer get_interface(Command& c);            // 25/2, both header versions
Answer modify_ip_entry(Command& c);          // 21/2
Answer get_default_gateway(Command& c);      // 22/2
Answer set_default_gateway(Command& c);      // 23/2
Answer dhcp_on(Command& c);                  // 17/2
Answer dhcp_off(Command& c);                 // 18/2
Answer set_vlan(Command& c);                 // 14/2
Answer fetch_routes(Command& c);             // 10/2
Answer save_route(Command& c);               // 11/2
Answer fetch_arp(Command& c);                // 8/2
Answer save_arp(Command& c);                 // 9/2
Answer get_discovery_params(Command& c);     // 28/2
Answer set_discovery_params(Command& c);     // 29/2
Answer get_node_params(Command& c);          // 30/2
Answer get_nic_params(Command& c);           // 7/2
Answer get_link_status(Command& c);          // 5/1, both header versions
Answer get_initiator_stats(Command& c);      // 46/6
Answer get_login_stats(Command& c);          // 47/6
Answer get_session_attributes(Command& c);   // 48/6
Answer erase_or_flash(Command& c);           // 7/1: the erase; a flash chunk is echoed as before
Answer set_factory_profile(Command& c);      // 169/1

}  // namespace vx::sim
