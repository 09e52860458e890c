// The port commands of the simulated firmware: what the port-tree start-up reads of each physical
// port (`port_settings` of the configuration).
#pragma once

#include "sim/firmware.h"

namespace vx::sim {

Answer get_phy_details(Command& c);      // 102/1: PHY type, interface type, signature, speed bits
Answer get_port_names(Command& c);       // 77/1: one name character per port
Answer get_dcbx_config(Command& c);      // 1/16: the DCBX record of the request's selector
Answer get_baset_stats(Command& c);      // 8/18: version 1 refused unless baset_stats_v1
Answer get_loopback_mode(Command& c);    // 20/11: 255 none, 254 not supported

}  // namespace vx::sim
