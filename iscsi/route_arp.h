// The route and ARP tables of an iSCSI port (RouteTable and ARPTable under TCPIPConfiguration):
// the readers of the firmware's tables, the mirrors that keep RouteTableEntry and ARPTableEntry in
// step with them, and the removal of every route that the configuration erase uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/hm.h"
#include "iscsi/lookups.h"

namespace vx {

constexpr uint32_t kStatusArpTable = 97;
constexpr uint32_t kStatusRouteTable = 100;
constexpr uint32_t kStatusRouteChange = 129;
constexpr uint32_t kStatusArpChange = 130;
constexpr uint32_t kStatusRouteLimit = 245;

struct RouteText {
  std::string destination;
  std::string mask;
  std::string gateway;
};
struct ArpText {
  std::string ip;
  std::string mac;
};

// The routes of a route-table reply, as many as the count says and the reply holds.
std::vector<RouteText> read_route_table(const uint8_t* reply, size_t size);
// The entries of an ARP-table reply; false for a count above 64. Entries the reply cannot hold
// are left out.
bool read_arp_table(const uint8_t* reply, size_t size, std::vector<ArpText>* out);

// Mirrors of the firmware's tables under the TCPIPConfiguration group; 0, or 1 with the status.
uint32_t get_routeEntry_attribs(int32_t port, int32_t domain, int32_t phba_port, hm_node* tcpip);
// The first entry made records `first` as its creating action.
uint32_t get_Arp_Entry_attribs(int32_t port, int32_t domain, int32_t phba_port, hm_node* tcpip,
                               const BuilderArgs& first);
// Deletes every route of the physical HBA's port. 0, or 1.
uint32_t VARU_delete_available_routes(hm_node* phba);

}  // namespace vx
