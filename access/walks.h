// The addressing of a node's firmware commands, found by walking from the node up its parents, and
// the controller queries that every handler branches on. The walks look at the node itself first;
// group names compare ignoring case; "ROOT" ends a walk. They never fail.
#pragma once

#include <cstdint>

#include "access/discovery.h"   // kGenerationQuenta (4), shared with the PCI Express reads
#include "engine/hm.h"

namespace vx {

// Controller generations (get_vx_type).
constexpr uint32_t kGeneration2 = 2;
constexpr uint32_t kGeneration3 = 3;
constexpr uint32_t kGenerationOrvelle = 5;
constexpr uint32_t kGeneration6 = 6;
constexpr uint32_t kGenerationUnknown = 65535;

constexpr uint32_t kStatusNoControllerType = 163;

// First u32 of the driver record of the nearest group that has a non-zero one: the 1-based port
// handle of the transport; -1 (every port) when none is found.
int32_t get_port_number(hm_node* node);
// Instance number of the enclosing "Vexalon" group (the adapter index); 0 when none.
int32_t get_vx_instance(hm_node* node);
// "PortNumber" (decimal, read through its handler) of the enclosing "iSCSIPhysicalHBA",
// "PortDiscoveryAndConfiguration" or "NICPhysicalHBA" group; 0 when none or unreadable.
int32_t get_phba_port_number(hm_node* node);
// Instance number of the enclosing "LogicalHBA" group (the domain of firmware commands); 0 when none.
int32_t get_domain_id(hm_node* node);

// The node itself when it is a group, else its parent: the group whose properties a helper given
// either a group or one of its properties writes.
hm_node* owning_group(hm_node* node);

// Generation from the PCI "DeviceID" of the controller's first iSCSI (else NIC) physical HBA:
// 2 to 6, 65535 for a readable ID of another device, or 1 with status 163 when there is no physical
// HBA, "PCI" group or readable ID.
uint32_t get_vx_type(hm_node* controller);
// Generation of a device ID (2 to 6, else 65535).
uint32_t generation_of_device_id(uint32_t device_id);

// 1 when the node's "ActiveFirmwareVersion" compares greater, over its first 11 bytes, than
// "3.102.148.0", or cannot be read; else 0.
uint32_t is_ncsi_required(hm_node* node);

// Controller attributes of the node's port: bus, device, function and port number in decimal into
// the four outputs (each `size` bytes); returns the byte at 446, or 1 when the command fails.
uint32_t get_lhba_count(hm_node* node, char* a, char* b, char* c, char* d, size_t size = 256);

// Writes the configuration signature of a new controller (adapters reached through their NIC
// functions are skipped with 0); the command's status.
uint32_t VARU_set_config_signature(int32_t handle, int32_t adapter);

}  // namespace vx
