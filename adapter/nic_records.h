// The firmware and driver records of the NIC function settings: the virtual-function table, boot
// configuration, PCI function mapping, OEM execution configuration, switch configuration, vNIC
// statistics and name, the channel save area of a profile save, and the older configuration blocks
// that hold the SR-IOV state. Every reader takes the bytes and their length and never reads past
// them; a record too short reads as "nothing there".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vx {

// ---- virtual-function table (NIC driver request 7): 976 bytes, entry i at 16 + 16 i ---------------
struct VfEntry {
  uint8_t mac[6];
  uint16_t vlan;
  uint16_t qos;   // transmit rate in units of 10 Mb/s
};
// Entry `index` of a table the driver reported `count` entries in; nothing for an index at or past
// the count, past the 60 entries the table holds, or past `size`.
std::optional<VfEntry> vf_entry(const uint8_t* table, size_t size, uint32_t count, uint32_t index);

// ---- boot configuration (get opcode 66, set 67, subsystem 1) --------------------------------------
struct boot_config {
  uint8_t enabled;      // 1: boot enabled
  uint8_t reserved1;
  uint8_t native_mode;  // non-zero: advanced mode on
  uint8_t method;       // 1 PXE, 2 (or more) iBFT
  uint8_t reserved4[4];
};
static_assert(sizeof(boot_config) == 8);
static_assert(offsetof(boot_config, native_mode) == 2 && offsetof(boot_config, method) == 3);
constexpr uint8_t kBootMethodPxe = 1;
constexpr uint8_t kBootMethodIbft = 2;
// "iBFT" for a method of 2 or more, else "PXE".
const char* boot_method_text(const boot_config& r);

// ---- PCI function mapping (opcode 83, 68 bytes): u32 expansion-ROM enable bits at 32 -----------------
constexpr size_t kPciFuncMappingSize = 68;
constexpr size_t kExpansionRomBits = 32;
// Whether the mapping lets `function` boot from the network: bit (function & 7) on generations 2 and
// 3, bit (function & 255) on the others; a bit past the word's 32 is clear.
bool expansion_rom_enabled(const uint8_t* mapping, size_t size, uint32_t function, uint32_t generation);

// ---- OEM execution configuration (opcode 4, subsystem 21, NIC node) --------------------------------
struct oem_exec_cfg {
  uint8_t valid;          // write: bit 0 the volatile MAC, bit 1 the VLAN fields
  uint8_t reserved1[2];
  uint8_t write_flags;    // bit 7 in a write
  uint8_t volatile_mac[6];
  uint8_t reserved10[2];
  uint16_t vlan_id;
  uint8_t vlan_priority;
  uint8_t vlan_flags;     // bit 7 with a VLAN write
  uint8_t reserved16[32];
};
static_assert(sizeof(oem_exec_cfg) == 48);
static_assert(offsetof(oem_exec_cfg, volatile_mac) == 4 && offsetof(oem_exec_cfg, vlan_id) == 12);
static_assert(offsetof(oem_exec_cfg, vlan_priority) == 14 && offsetof(oem_exec_cfg, vlan_flags) == 15);
constexpr uint8_t kOemExecMacValid = 0x01;
constexpr uint8_t kOemExecVlanValid = 0x02;
constexpr uint8_t kOemExecWrite = 0x80;

// ---- switch configuration (get opcode 152, 16 bytes; set 153, 20 bytes; NIC node) ------------------
struct hsw_config_get {
  uint16_t port;          // answer: bits 6-8 the forwarding mode
  uint8_t reserved2;
  uint8_t flags;          // 0x80
  uint8_t reserved4[12];
};
static_assert(sizeof(hsw_config_get) == 16);
struct hsw_config_set {
  uint16_t port;
  uint8_t reserved2;
  uint8_t flags;          // 0x80
  uint16_t mode;          // bits 6-8 the forwarding mode
  uint8_t reserved6[14];
};
static_assert(sizeof(hsw_config_set) == 20);
static_assert(offsetof(hsw_config_set, mode) == 4);
constexpr uint8_t kHswFlags = 0x80;
constexpr uint16_t kForwardingVeb = 2;
constexpr uint16_t kForwardingVepa = 3;
constexpr uint16_t forwarding_mode(uint16_t word) { return static_cast<uint16_t>((word >> 6) & 0x7); }
constexpr uint16_t forwarding_word(uint16_t mode) { return static_cast<uint16_t>((mode & 0x7) << 6); }

// ---- vNIC function statistics (opcode 64, 24 bytes) and name (opcode 120, 92 bytes) --------------------
struct vnic_stats_record {
  uint8_t reserved0[4];
  uint32_t outer_vlan;
  uint8_t reserved8[4];
  uint32_t min_bandwidth;
  uint32_t max_bandwidth;
  uint8_t reserved20[4];
};
static_assert(sizeof(vnic_stats_record) == 24);
static_assert(offsetof(vnic_stats_record, min_bandwidth) == 12 && offsetof(vnic_stats_record, max_bandwidth) == 16);
struct vnic_name_record {
  uint32_t enabled;       // 1: the vNIC is enabled
  char name[88];          // NUL-terminated when shorter
};
static_assert(sizeof(vnic_name_record) == 92);

// Six address bytes as "xx<sep>xx<sep>..." in lower case (17 characters).
void mac_text(const uint8_t mac[6], char separator, char* out, size_t size);

// QoS get on the NIC path (opcode 27, 32 bytes): u32 maximum bits per second at 0.
constexpr size_t kNicQosSize = 32;

// A function's bandwidth as the caps show it: the link speed factor of the MAC speed code (3 1G,
// 4 10G, 5 20G, 6 25G, 7 40G, 8 100G) times the percentage, in units of 100 Mb/s: "%d" when whole,
// else "%.1f". False (nothing written) for a code without a speed.
bool bandwidth_text(uint8_t speed_code, uint32_t percent, char* out, size_t size);

// ---- the full profile write (opcode 165, header byte 3 bit 7) ----------------------------------------
// Fields of a written PCI-function descriptor (type 80).
constexpr size_t kFnSriovState = 12;
constexpr size_t kFnPfState = 13;
constexpr size_t kFnProtocol = 14;
constexpr size_t kFnNumberVfs = 16;         // u16
constexpr uint16_t kAllVirtualFunctions = 255;
// The multichannel descriptor that ends a full write: byte 52 + p the mode code of port p.
constexpr uint8_t kMultichannelDescriptor = 86;
constexpr size_t kMultichannelLength = 68;
constexpr size_t kMultichannelPorts = 52;

// ---- the channel save area of a profile save: 4 ports x 16 channels x 48 bytes ----------------------
struct mc_prop_record {
  uint32_t bw_min;
  uint32_t bw_max;
  uint16_t vlan_id;       // 0 for "N/A"
  uint16_t mc_type;       // record [p][0] only: the port's active mode code
  char func_type[32];     // the channel's Type
  uint32_t lld;           // 1: the logical link was not "Enabled"
};
static_assert(sizeof(mc_prop_record) == 48);
static_assert(offsetof(mc_prop_record, vlan_id) == 8 && offsetof(mc_prop_record, func_type) == 12);
static_assert(offsetof(mc_prop_record, lld) == 44);
constexpr int kMcPorts = 4;
constexpr int kMcChannels = 16;
struct mc_prop {
  mc_prop_record record[kMcPorts][kMcChannels];
};
static_assert(sizeof(mc_prop) == 3072);

// The multichannel code of a port's MCType text (case ignored): "None" 1, "ZMC" 2, "HPFlex" 3,
// "vNIC1" 4, "NPAR" 5, "UFP" 6, "vNIC2" 7, "HPFlexQBG" 8, "HPZMC" 10; 0 for any other text.
uint8_t mc_code_of(const char* text);

// ---- the older blocks that hold the SR-IOV state ------------------------------------------------------
// vx_conf_v1 (1092 bytes, 16 entries of 68 from 4): the first PCI-function entry (kind 0, bytes 5
// and 6 zero) whose number printed "0x%x" is `function` (case ignored). common_profile_config (18436
// bytes, 256 entries of 72 from 4; a count above 512 makes none usable): the first entry of type 64
// with that number, pf_state 1 and protocol 1. Either gives its state byte at 12.
enum class LegacySriovBlock { kVxConfV1, kCommonProfile };
struct LegacySriov {
  bool found = false;
  bool count_usable = true;
  uint8_t state = 0;
  size_t offset = 0;   // of the state byte in the block
};
LegacySriov legacy_sriov(LegacySriovBlock block, const uint8_t* data, size_t size, const char* function);

// The function's MAC in the vx_conf block (836 bytes, 16 entries of 52 from 4): six bytes at +8 of
// its PCI-function entry. The offset of the MAC in the block, or 0 when the block has no entry for
// `pf`.
size_t vx_conf_mac_offset(const uint8_t* data, size_t size, uint32_t pf);

}  // namespace vx
