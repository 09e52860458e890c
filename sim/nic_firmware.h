// The simulated firmware's NIC function settings: vNIC statistics and name, boot configuration, PCI
// function mapping, OEM execution configuration (volatile MAC, boot VLAN), switch configuration
// (VEB or VEPA forwarding), the switch type, the erase of NIC and port settings, and the
// virtual-function table that the NIC driver reports and the `ip` stand-in changes. What writes
// change lives in the adapter's state directory: "records/nic-BBB.DD.F" (boot and OEM execution
// records), "records/vfs-BBB.DD.F" (the virtual-function table) and "records/switch" (the ports'
// forwarding modes).
#pragma once

#include <optional>
#include <vector>

#include "sim/firmware.h"

namespace vx::sim {

Answer get_vnic_stats(Command& command);     // 64/1
Answer get_vnic_name(Command& command);      // 120/1
Answer get_boot_config(Command& command);    // 66/1
Answer set_boot_config(Command& command);    // 67/1
Answer get_pci_func_mapping(Command& command);   // 83/1
Answer oem_exec_config(Command& command);    // 4/21: a request with byte 3 bit 7 writes
Answer get_switch_config(Command& command);  // 152/1
Answer set_switch_config(Command& command);  // 153/1
// 124/1: taken (nothing kept) when the firmware configuration's function mode has bit 0x20000.
Answer set_switch_type(Command& command);
// The erase of area 14 (the function's boot and OEM execution configuration) and 15 (the port's
// forwarding mode and its DCBX and LLDP administrator settings): back to the configuration's values.
Answer erase_nic_or_port(Command& command, uint32_t area);

// The virtual-function table of a NIC function as kept (the configuration's list until changed);
// nothing when the state file exists but cannot be read.
std::optional<std::vector<VirtualFunction>> read_vf_table(const Store& store, const Adapter& adapter,
                                                          const Function& function);
// Changes entry `index` of the table under the file's lock; false when there is no such entry or a
// step fails.
bool update_vf(const Store& store, const Adapter& adapter, const Function& function, size_t index,
               const std::function<void(VirtualFunction&)>& edit);

}  // namespace vx::sim
