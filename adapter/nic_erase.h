// The erase of a NIC function's settings, and of a port's port and discovery configuration, in the
// adapter's flash, as the adapter-wide erase of the configuration runs them.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

constexpr uint32_t kStatusErased = 184;
constexpr uint32_t kStatusEraseRebootNow = 55;
constexpr uint32_t kStatusPortEraseFailed = 187;
constexpr uint32_t kStatusNicEraseFailed = 188;
constexpr uint32_t kStatusRebootImmediately = 239;

// 0 with status 184; 55 with status 239 when the adapter must be rebooted at once; else the
// command's status with status 188.
uint32_t VARU_EraseNICConfiguration(hm_node* nic_phba);
// The action NICPhysicalHBA<k>/EraseNICConfiguration (declared in schema/handlers.h): the same, but
// 1 with status 256 on a virtual function and 0 when the adapter must be rebooted at once.
// The action iSCSIPhysicalHBA<k>/Network/NICConfiguration/RefreshNICConfig: the port's network
// parameters and MAC read again; 0, or 1.
// The action PortDiscoveryAndConfiguration<n>/ErasePortandDiscoveryConfiguration (declared in
// schema/handlers.h): 0 with status 184; 1 with status 256 on a virtual function (nothing sent); else
// the command's status with status 187.

}  // namespace vx
