// Controller and NIC physical HBA routines of controller_properties.cpp that no schema table
// installs (the handlers the tables install are declared in schema/handlers.h): the readers of an
// IP endpoint of a NIC physical HBA and the switch-type update.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

// What an IP-endpoint reader answers when the host gives it no value: "0.0.0.0" for an IPv4
// address, "0000:0000:0000:0000" for an IPv6 address, "N/A" for a text.
enum class EndpointValue : uint8_t { kText, kIpv4, kIpv6 };
// `fetched` when it is a value of that kind (an address of the family; any text but an empty one),
// else the fall-back. A NULL `fetched` gives the fall-back.
const char* endpoint_value(const char* fetched, EndpointValue kind);

// The readers of an IP endpoint of a NIC physical HBA, with the property-handler contract: a get
// (op 0) refreshes the property from the NIC routines of the host layer (the interface name, type
// and address of the NIC function, its mask, gateways and address origin), caches it and copies it
// into `buf`: 0. Another op does nothing: 0. 1 for a node that is no property below a
// NICPhysicalHBA, or a NULL `buf`.
uint32_t handle_CIM_IPProtocolEndPointName(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_CIM_IPProtocolIfType(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_CIM_IPv4Address(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_CIM_SubnetMask(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_CIM_GateWay(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_CIM_IPv6GateWay(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_CIM_IPv6Address(hm_node* prop, char* buf, uint32_t op);
uint32_t handle_CIM_AddressOrigin(hm_node* prop, char* buf, uint32_t op);

// Reads the controller's firmware configuration through `port_handle` and, when its function mode
// asks for it (bit 0x20000), sends the set-switch-type command (8 zero bytes). 0 when nothing had
// to be sent or the adapter took the command; otherwise the status of the command that failed
// (1 without a controller), logged.
uint32_t VARU_update_switch_type(hm_node* controller, int32_t port_handle, uint8_t domain, uint8_t port_number);

}  // namespace vx
