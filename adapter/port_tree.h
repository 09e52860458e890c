// The port tree of every controller, built at start-up: one port instance per physical port that has
// a physical HBA, with its fixed facts (name, interface type, supported speeds, counter support),
// the PG instances of its priority-group settings and one ApplicationTLV per in-use entry of its
// three DCBX records; and the controller's loopback support.
#pragma once

#include <cstdint>

#include "adapter/port_records.h"
#include "engine/hm.h"

namespace vx {

// Statuses left by these routines.
constexpr uint32_t kStatusPortNameFailed = 75;
constexpr uint32_t kStatusPhyDetailFailed = 228;
constexpr uint32_t kPgPerSetting = 8;

// The port tree of `controller`; always 0. A port whose steps fail keeps what was made so far, and
// the other ports are still built.
uint32_t VARU_get_port_discovery_config(hm_node* controller);

// Fixed facts of a port instance, read through the physical HBA's port `handle`.
// PortName: 0, or 1 (generation unknown or unreadable; status 75 when the read failed). On a
// virtual function it is "N/A" unless the read succeeds.
uint32_t VARU_update_portname(int32_t handle, hm_node* port);
// InterfaceType: 0, or 1 ("N/A" when the PHY details could not be read).
uint32_t VARU_update_interfacetype(int32_t handle, hm_node* port);
// ANSpeedsSupported and ForceSpeedsSupported: 0, or 1 (status 228 when the PHY details could not be
// read). "N/A" on generation 2 and for details without the valid-speeds signature.
uint32_t VARU_update_speed_props(int32_t handle, hm_node* port);
// BaseT10G/IsClearCountersSupported: generation 5 "True" when the version-1 10GBASE-T statistics
// can be read, else "False"; other generations "N/A". 0, or 1 without a BaseT10G group.
uint32_t VARU_update_is_clear_counter(int32_t handle, hm_node* port);

// Diagnostics/IsLoopbackSupported from the loopback mode of the controller's first port: 0, or 1
// (no Diagnostics group or port, or the read failed).
uint32_t VARU_update_diagnostics_prop(hm_node* controller);

// One ApplicationTLV under an application TLV setting group, mirroring entry `e` (recorded in its
// driver record, its four properties set). With `action` (the administrator setting's
// AddApplicationTLV) the instance is made on its behalf with `params` and so is persistent; NULL
// when it could not be made.
hm_node* make_application_tlv(hm_node* group, hm_node* action, char params[6][256], const AppTlvEntry& e);
// The DCBX entry (0..14) that an ApplicationTLV instance mirrors; -1 for any other node. Entry and instance numbers differ when the record has free entries between used ones.
int32_t apptlv_entry(hm_node* tlv);
// Frees the entry records of the ApplicationTLV instances of a port instance (the port's own record
// belongs to its physical HBA and is left alone).
void release_port_records(hm_node* port);

}  // namespace vx
