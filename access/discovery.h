// The drivers' device nodes and their private requests: the iSCSI node per port, the NIC node with
// its chip inventory (the NIC functions become port handles in inventory order), the host interface
// names from the host configuration, link and virtual-function information and configuration-space
// reads, and the property helpers built on them.
#pragma once

#include <cstdint>

#include "access/wire.h"

struct hm_node;

namespace vx {

constexpr uint32_t kVmhbaNameSize = 256;        // room the iSCSI driver fills for request 1
constexpr uint32_t kIfNameKept = 9;             // characters of a vmnic name kept
constexpr uint32_t kLinkReplySize = sizeof(wire::LinkInfoRecord::reply);   // 976
constexpr uint32_t kPciDwordArea = 2400;        // data area of the one-dword configuration read
constexpr uint32_t kPciDumpArea = 979;          // data area of the configuration dump
constexpr uint32_t kPciDumpShown = 256;         // bytes a dump shows at most
constexpr uint32_t kPciDumpTextSize = 600;
constexpr uint32_t kPcieLinkStatusOffset = 164;   // Quenta generation: link status dword
constexpr uint32_t kPcieCapLinkOffset = 208;      // other generations, through opcode 72
constexpr uint32_t kGenerationQuenta = 4;

// iSCSI nodes 0..count-1 opened read-write, stored densely: the k-th node that opens is entry k-1.
// Returns the number opened; every other entry is -1.
int32_t os_get_port_instances(int32_t* table, int32_t count);
// Closes every descriptor of the first `count` entries and sets it to -1.
void os_put_port_instances(int32_t* table, int32_t count);
// Opens the NIC node into entry 0, enumerates the functions and their interface names. Returns the
// function count (0: no node, no inventory or no host configuration; the node is then closed,
// except after an empty inventory).
int32_t os_get_nic_port_instances(int32_t* table, uint32_t count);
void os_put_nic_port_instances(int32_t* table, int32_t count);
// Opens the NIC node into entry 0 (every entry cleared first) without enumerating: false when it
// does not open.
bool os_open_nic_node(int32_t* table, uint32_t count);

// NIC request 6 on NIC descriptor `slot`: the ioctl result when >= 0, else 1.
int32_t ioctl_get_chipinfo(int32_t slot, wire::ChipInfoRecord* record);
// start + functions found (at most 8 records x 8 functions, at most 128 handles); 0 when the
// inventory request fails.
uint32_t enumerate_vx_nics(uint32_t start);
// Interface names of handles start+1..count from the host configuration; count, or 0 when it
// cannot be opened.
uint32_t get_interface_names(uint32_t count, uint32_t start);

// Host adapter name of the iSCSI port (request 1): 0, or 1 on failure. `buffer` receives at most
// size-1 characters and a NUL.
uint32_t ioctl_get_vmhba_name(int32_t handle, char* buffer, uint32_t size = kVmhbaNameSize);
// Link information (request 4): 0 with the 976-byte reply copied; 0 without copying when the driver
// answers a positive result; 1 on a negative result, a bad handle or a changed function set.
uint32_t ioctl_get_mtu(int32_t handle, uint8_t* reply976);
// Virtual-function information (request 7): 0 with the reply and *vf_count = reply byte 12.
uint32_t ioctl_get_virt_f_info(int32_t handle, uint8_t* reply976, uint32_t* vf_count);
// The configuration dword at offset 164 of the handle's function (request 8).
uint32_t ioctl_quenta_read_pci_conf(int32_t handle, uint8_t domain, uint8_t port_number, uint32_t* dword);

// Hex dump ("%02x " per byte, a line break before every 16th) of `length` bytes of configuration
// space from `offset`; at most 979 bytes may be asked for and 256 are shown.
uint32_t VARU_get_quenta_pci_data(int32_t handle, uint32_t offset, uint32_t length, char* text600);
// Set the node's "MTUSize" / "PHYLinkDownReason" from the link information.
uint32_t VARU_get_nic_mtusize(hm_node* node, int32_t handle);
uint32_t VARU_get_over_temperature(hm_node* node, int32_t handle);
// PCI Express link speed ("%.1fGT/s", property "PCIExpressLinkSpeed") or width ("x%d", any other
// property) of the physical HBA `node`. Failure: last status 121, 1.
uint32_t VARU_get_pci_express_data(int32_t handle, uint8_t domain, uint8_t port_number, uint32_t kind,
                                   hm_node* node, const char* property, char* out256);
// Number of virtual functions of the NIC function `handle`; 0, or 1 when the query fails.
uint32_t get_vf_count(int32_t handle, uint32_t* vf_count);

// 0 when `ifname` is a host interface on a physical function of one of the maker's adapters, else
// 1 (also for a name that is not a plain interface name).
uint32_t VARU_check_valid_interface(const char* ifname);
uint32_t os_prepare_device_for_removal();

// Device node path of iSCSI node `number`.
void iscsi_node_path(int32_t number, char* out, uint32_t size);

}  // namespace vx
