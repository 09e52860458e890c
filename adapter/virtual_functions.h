// SR-IOV virtual functions (NICLogicalHBA) and the host's `ip link` command that changes them. The
// property handlers are declared in schema/handlers.h; the program runs through the platform seam's
// runner as "/sbin/ip" (under VXIMA_ROOT when it is set), with a 10-second limit.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

// Writes into `out` (256 bytes) the value of `property` ("MACAddress" as "xx:xx:xx:xx:xx:xx",
// "VLANID", "TxRate" = QoS x 10) of virtual function `vf` from the driver's table; any other name
// writes nothing. 0, or 1 when the request fails or the table has no such function (status 1).
uint32_t VARU_get_vf_params(int32_t handle, uint32_t vf, char* out, const char* property);
// An interface name the command may be given: 1 to 15 of [A-Za-z0-9_.:-].
bool valid_interface_name(const char* name);
// IfName of every NIC physical HBA that has a driver record, from the host's interface names: 0.
uint32_t update_nic_ifname();

}  // namespace vx
