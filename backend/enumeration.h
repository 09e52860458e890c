// Adapter enumeration: every iSCSI and NIC PCI function the drivers expose becomes a physical HBA
// under the controller instance ("Vexalon<n>") of its adapter, grouped by PCI bus and the
// adapter's serial number (or PCI device number).
#pragma once

#include <cstdint>

#include "access/adapter_tables.h"

namespace vx {

// Results of the two identity lookups.
constexpr uint32_t kNodeNew = 0;       // a new controller is needed
constexpr uint32_t kNodeFound = 1;     // belongs to an existing controller (its number is returned)
constexpr uint32_t kNodeSkip = 2;      // skip this function

// Start-up's two passes, iSCSI first; each failure skips only the function concerned. Always 0.
uint32_t VARU_enumerate_iscsi_functions();
uint32_t VARU_enumerate_nic_functions();

// Which controller a function belongs to. `attrs` is its 540-byte controller-attributes record and
// `attrs_status` the status of reading it; `out_instance` (256 bytes) receives the controller's
// instance number when the result is kNodeFound.
uint32_t VARU_get_iscsi_node_info(uint32_t handle, char* out_instance, const uint8_t* attrs, uint32_t attrs_status);
uint32_t VARU_get_nic_node_info(uint32_t handle, char* out_instance, const uint8_t* attrs, uint32_t attrs_status);

}  // namespace vx
