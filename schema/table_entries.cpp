// Schema of the route, ARP and iSNS table entries: one instanced group each, read-only cached
// properties only, no sub-groups and no actions.
#include "schema/table_entries.h"

#include "engine/builder.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

InstanceBits g_route_bits;
InstanceBits g_arp_bits;
InstanceBits g_isns_bits;

constexpr SchemaRow kRouteRows[] = {
    /* 0 */ property(kInstance, kPropRouteDestination, "Destination IP address of the route.", kReadOnly,
                     handle_internal_property, address(0, 16), "0.0.0.0"),
    /* 1 */ property(kInstance, kPropRouteSubnetMask, "Subnet mask of the route.", kReadOnly,
                     handle_internal_property, subnet_mask(0, 255), "255.255.255.0"),
    /* 2 */ property(kInstance, kPropRouteGateway, "Gateway of the route.", kReadOnly, handle_internal_property,
                     address(1, 64), "0.0.0.0"),
};

constexpr SchemaRow kArpRows[] = {
    /* 0 */ property(kInstance, kPropArpIPAddress, "IP address of the entry.", kReadOnly, handle_internal_property,
                     address(0, 16), "0.0.0.0"),
    /* 1 */ property(kInstance, kPropArpMACAddress, "MAC address of the entry.", kReadOnly,
                     handle_internal_property, length(17, 17), "00:00:00:00:00:00"),
};

constexpr SchemaRow kIsnsRows[] = {
    /* 0 */ property(kInstance, kPropIsnsServerIPAddress, "IP address of the iSNS server.", kReadOnly,
                     handle_internal_property, address(0, 0), "0.0.0.0"),
    /* 1 */ property(kInstance, kPropIsnsServerPortNumber, "TCP port of the iSNS server (1024 to 65535).",
                     kReadOnly, handle_internal_property, range(1024, 65535), "3205"),
};

constexpr GroupSpec kRouteEntry = group_spec(kGroupRouteTableEntry,
                                             "One entry of the port's IPv4 route table, as the adapter reported it.",
                                             /*max*/ 1024, nullptr, kRouteRows, g_route_bits);
constexpr GroupSpec kArpEntry = group_spec(kGroupARPTableEntry,
                                           "One entry of the port's ARP table, as the adapter reported it.",
                                           /*max*/ 64, nullptr, kArpRows, g_arp_bits);
// The parent iSNS group's refresh rebuilds these; the entry has no refresh of its own.
constexpr GroupSpec kIsnsServer = group_spec(kGroupiSNSServer, "An iSNS server known to the firmware.",
                                             /*max*/ 4, nullptr, kIsnsRows, g_isns_bits);

}  // namespace

hm_node* initialize_RouteTableEntry(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kRouteEntry, parent, origin, action, params);
}

// Callers must not pass a delete action (DeleteARPTableEntry): whatever action is passed is
// recorded as the entry's creating action and replayed at restore.
hm_node* initialize_ARPTableEntry(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kArpEntry, parent, origin, action, params);
}

hm_node* initialize_iSNSServer(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kIsnsServer, parent, origin, action, params);
}

}  // namespace vx
