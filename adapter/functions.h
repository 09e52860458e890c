// A physical function's factory MAC address and its SR-IOV virtual functions, as start-up reads
// them.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

constexpr uint32_t kStatusNoPermanentMac = 76;

// The virtual-function table of the NIC driver's answer: entry i at 16 + 16 i of 976 bytes, so
// at most 60 entries can be described.
constexpr uint32_t kVfTableOffset = 16;
constexpr uint32_t kVfEntrySize = 16;
constexpr uint32_t kMaxVfEntries = (976 - kVfTableOffset) / kVfEntrySize;
static_assert(kMaxVfEntries == 60);

// MAC query (opcode 1, 72 bytes): request byte 0 = 9; the answer holds the permanent MAC of PCI
// function n at 10 + 8 n. MAC list (opcode 147, 532 bytes): request bytes 9, 1; the MAC at 2.
constexpr uint32_t kMacQuerySize = 72;
constexpr uint8_t kMacQueryPermanent = 9;
constexpr uint32_t kMacQueryTableOffset = 10;
constexpr uint32_t kMacQueryStride = 8;
constexpr uint32_t kMacListSize = 532;
constexpr uint32_t kMacListOffset = 2;

// FactoryDefaultMACAddress of the function (iSCSI: its Network/NICConfiguration group; NIC: the
// physical HBA itself) from the adapter's permanent MAC. 0 (also on generations without the
// query: nothing set), or 1 (status 76 when the command failed).
uint32_t VARU_update_fd_mac(int32_t handle, hm_node* phba, int32_t protocol);

// Asks the NIC driver for the function's virtual functions; *vf_count receives their number (at
// most 60, what the answer can describe). With `create` 1 one NICLogicalHBA per virtual function
// is built under `nic_phba` (a failure is logged, the others still built). 0, or 1 when the query
// fails.
uint32_t VARU_Get_VF_Info(int32_t handle, uint32_t* vf_count, uint32_t create, hm_node* nic_phba);
// Start-up's call of the above for one NIC physical HBA; always 0.
uint32_t VARU_get_nic_logicalhba(hm_node* nic_phba, int32_t handle, uint32_t* vf_count, uint32_t create);

}  // namespace vx
