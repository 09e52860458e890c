// iSNS discovery of an iSCSI port (group iSNS of an iSCSIPhysicalHBA): switching it on and off,
// the iSNSServer instances that mirror the firmware's first server, and the actions that
// configure, delete and learn (by DHCP) that server. Every change reads the firmware's discovery
// parameters, edits them and writes them back.
#pragma once

#include <cstdint>

#include "engine/hm.h"
#include "iscsi/common.h"
#include "iscsi/net_records.h"

namespace vx {

constexpr uint32_t kStatusHostUnreachable = 32;
constexpr uint32_t kStatusGetDiscoveryParams = 80;
constexpr uint32_t kStatusSetDiscoveryParams = 81;

// The firmware's record; 0, or the command's result with status 80.
uint32_t read_discovery_params(const CommandAddress& at, discovery_params* out);
uint32_t get_discovery_params(int32_t port, int32_t domain, int32_t phba_port, hm_node* isns_group);

}  // namespace vx
