// The port commands of the simulated firmware: what the port-tree start-up reads of each physical
// port (`port_settings` of the configuration), and the live port settings the library reads and
// writes. The loopback mode is in sim/diag_firmware.h.
#pragma once

#include <functional>

#include "sim/firmware.h"
#include "sim/live_state.h"

namespace vx::sim {

// The settings of port `port` of the command's adapter, or NULL for a port it does not have.
const PortSettings* port_settings_of(const Command& c, uint32_t port);
// The live state of port `port`; false when it cannot be read.
bool live_port(const Command& c, uint32_t port, PortLive* out);
// A read-modify-write of port `port`'s live state, answered with `length` bytes (invalid field for
// a port the adapter does not have, flash failure when the state cannot be written).
Answer change_port(Command& c, uint32_t port, uint32_t length, const std::function<void(PortLive&)>& edit);

Answer get_phy_details(Command& c);      // 102/1: PHY type, interface type, signature, speed bits
Answer get_port_names(Command& c);       // 77/1: one name character per port
Answer get_baset_stats(Command& c);      // 8/18: version 1 refused unless baset_stats_v1
// The live port settings, writes kept (sim/live_state.h).
Answer get_port_state(Command& c);       // 71/1: u32 1 enabled; version 1: port at byte 2, bit 0
Answer set_port_state(Command& c);       // 62/1
Answer get_beacon_state(Command& c);     // 70/1: port at byte 0; u32 1 beaconing; 66 when unsupported
Answer set_beacon_state(Command& c);     // 69/1: port, state; 66/103 while another port beacons
Answer get_tx_throttle(Command& c);      // 133/1
Answer set_tx_throttle(Command& c);      // 132/1
Answer get_nvp(Command& c);              // 12/18: u32 port; 66 when unsupported
Answer set_nvp(Command& c);              // 10/18: u32 port, u32 value
Answer get_link_speed(Command& c);       // 134/1: port at byte 0; u16 speed code, u16 DAC cable length
Answer set_port_speed(Command& c);       // 57/1: port at byte 0, u16 speed code at 2, u32 DAC length at 4
Answer get_common_flow_control(Command& c);   // 37/1: u16 transmit, u16 receive
Answer management_flow_control(Command& c);   // 205/1: byte 1 zero reads, else writes byte 0

}  // namespace vx::sim
