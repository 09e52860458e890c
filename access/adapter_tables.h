// The per-adapter protocol bits and port table that pick the command path of adapter and port
// commands, the virtual-function counts found at start-up, the physical HBAs' driver record, and the
// instance-ring steps every walker of the tree uses. Filled by the enumeration of start-up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/hm.h"

namespace vx {

constexpr int kPortsPerAdapter = 4;   // ports 0 to 3

// Bits of the port table.
constexpr uint8_t kPortBitIscsi = 1;
constexpr uint8_t kPortBitNic = 2;
constexpr uint8_t kPortBitOther = 4;

// The 16-byte driver record of a physical HBA (and of the other groups that address commands):
// the first word is the 1-based port handle of the transport.
struct instance_backend_record {
  uint32_t port_handle;
  uint32_t firmware_handle;   // sessions and connections
  uint32_t reserved[2];
};
static_assert(sizeof(instance_backend_record) == 16);
static_assert(offsetof(instance_backend_record, firmware_handle) == 4);

// Protocol 1 sets bit value 1 of the adapter's protocol mask, 2 sets 2, 3 sets 4; anything else,
// or an adapter outside 0..15, changes nothing.
void set_protocol(uint32_t adapter, int32_t protocol);
// Fills the port table from the tree: for every controller and port 0..3 the kind of the physical
// HBA that has that port number.
void set_port_bitmap();
// The first iSCSI, else NIC, physical HBA of the controller whose "PortNumber" reads `port_text`
// (ignoring case); NULL when none, or when a "PortNumber" cannot be read.
hm_node* get_valid_phba(hm_node* controller, const char* port_text);
// Path of a port command: 1 when an iSCSI physical HBA has the port, else 2 for a NIC one, else 4
// (also for an adapter or port outside the table).
uint32_t get_port_bitmap(uint32_t adapter, int32_t port);
// The raw bits of one entry (0 outside the table).
uint8_t port_bitmap_bits(uint32_t adapter, int32_t port);

// Clears the protocol mask and the port table (start-up step 2).
void clear_adapter_tables();
// Virtual functions of NIC port handle `handle` (1..128) found at start-up; 0 outside the table.
uint8_t nic_vf_count(int32_t handle);

// The next instance of the same group in ascending order, or NULL after the last.
hm_node* next_instance(hm_node* instance);
// Instance number of an instanced group, or -1.
int32_t instance_number(const hm_node* instance);

// Records the virtual functions of NIC port handle `handle` (1..128); other handles are ignored.
void set_nic_vf_count(int32_t handle, uint32_t count);

}  // namespace vx
