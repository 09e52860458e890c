// The firmware records the port-tree start-up reads, and the bounded readers that turn them into
// property texts. The readers take raw reply bytes and their length, so that nothing a reply holds
// can make them read or write outside it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// ---- PHY details (opcode 102, subsystem 1, 24 bytes) ------------------------------------------
struct phy_details {
  uint16_t phy_type;
  uint16_t interface_type;
  uint8_t reserved4[4];
  uint16_t signature;        // kPhySignature when the speed fields are valid
  uint8_t reserved10[2];
  uint16_t auto_speeds;      // speed bits (kSpeedNames) of auto-negotiation
  uint16_t fixed_speeds;     // speed bits of forced speeds
  uint8_t reserved16[8];
};
static_assert(sizeof(phy_details) == 24);
static_assert(offsetof(phy_details, interface_type) == 2);
static_assert(offsetof(phy_details, signature) == 8);
static_assert(offsetof(phy_details, auto_speeds) == 12);
static_assert(offsetof(phy_details, fixed_speeds) == 14);
constexpr uint16_t kPhySignature = 0xFEEC;

// ---- port name (opcode 77, subsystem 1, 4 bytes): byte k names physical port k -----------------
constexpr size_t kPortNameSize = 4;

// ---- DCBX configuration (subsystem 16: get 1, set 2) -------------------------------------------
// One application TLV entry: entry n is shown as the ApplicationTLV that mirrors it.
struct dcbx_app_tlv {
  uint16_t protocol_id;
  uint8_t selector;          // 0 Ethernet type, 1 TCP port
  uint8_t in_use;            // kDcbxEntryInUse, or 0 when free
  uint32_t oui;
  uint8_t priority[8];       // byte k = 1: priority k is mapped to the protocol
};
static_assert(sizeof(dcbx_app_tlv) == 16);
static_assert(offsetof(dcbx_app_tlv, in_use) == 3);
static_assert(offsetof(dcbx_app_tlv, oui) == 4);
static_assert(offsetof(dcbx_app_tlv, priority) == 8);

constexpr int kDcbxAppEntries = 15;
constexpr uint8_t kDcbxEntryInUse = 1;

// The 312-byte record. Byte 0 is the selector in the request (kDcbxAdministrator ...) and the DCBX
// state in the reply; byte 1 the entries in use of a set request, byte 2 those of a reply.
struct dcbx_cfg_params {
  uint8_t selector_or_state;
  uint8_t set_app_count;
  uint8_t app_count;
  uint8_t pg_supported;
  uint32_t pg_flags;         // feature flags: bit 0 enabled, 1 advertise, 2 willing, 3 synced,
  uint32_t pfc_flags;        // 30 operational mode not applicable, 31 error
  uint32_t qcn_flags;        // only in the version-1 record
  uint32_t app_flags;
  uint32_t reserved20;
  uint8_t pg_bandwidth[8];   // percent; 255: no share of the 100 percent
  uint32_t priority_pg[8];   // low byte: the priority group of priority k
  uint8_t pfc_enable[8];
  dcbx_app_tlv app[kDcbxAppEntries];
};
static_assert(sizeof(dcbx_cfg_params) == 312);
static_assert(offsetof(dcbx_cfg_params, app_count) == 2);
static_assert(offsetof(dcbx_cfg_params, pg_flags) == 4);
static_assert(offsetof(dcbx_cfg_params, app_flags) == 16);
static_assert(offsetof(dcbx_cfg_params, pg_bandwidth) == 24);
static_assert(offsetof(dcbx_cfg_params, priority_pg) == 32);
static_assert(offsetof(dcbx_cfg_params, pfc_enable) == 64);
static_assert(offsetof(dcbx_cfg_params, app) == 72);

// The version-1 record (header version 1, 368 bytes): the same and the QCN bitmaps.
struct dcbx_cfg_params_v1 {
  dcbx_cfg_params base;
  uint8_t cnpv_bitmap;
  uint8_t reserved313[3];
  uint8_t ready_bitmap;      // peer and operational records
  uint8_t reserved317[51];
};
static_assert(sizeof(dcbx_cfg_params_v1) == 368);
static_assert(offsetof(dcbx_cfg_params_v1, cnpv_bitmap) == 312);
static_assert(offsetof(dcbx_cfg_params_v1, ready_bitmap) == 316);

constexpr uint8_t kDcbxAdministrator = 0;
constexpr uint8_t kDcbxOperational = 1;
constexpr uint8_t kDcbxPeer = 2;

// ---- readers -------------------------------------------------------------------------------------
// Name of an interface type: "CX4_10GB_TYPE" ... "KR2_TYPE", "Not Supported" (13), else "N/A".
const char* interface_type_name(uint32_t type);
// The speeds of a speed-bit word in increasing order, joined by ",", "0" when none is set; `out`
// holds at least kSpeedListSize bytes.
constexpr size_t kSpeedListSize = 32;
void speed_list_text(uint16_t bits, char* out, size_t size);
// The PHY details of a reply of `size` bytes (missing bytes read as 0).
phy_details phy_details_of(const uint8_t* reply, size_t size);
// The name of physical port `port` from a port-name reply of `size` bytes into `out` (2 bytes); false
// when the generation knows no such port (above 1 on generation 2, above 3 otherwise) or the reply
// does not reach it.
bool port_name_of(const uint8_t* reply, size_t size, uint32_t port, uint32_t generation, char out[2]);

// One in-use application TLV entry of a DCBX record, as the ApplicationTLV instance shows it.
struct AppTlvEntry {
  uint8_t entry;             // 0..14: its place in the record
  uint8_t selector;
  uint16_t protocol_id;
  uint32_t oui;
  uint8_t priority_bitmap;   // bit k: priority k
};
// The in-use entries of a DCBX record of `size` bytes (only whole entries inside it count), in
// record order; their number.
size_t app_tlv_entries(const uint8_t* record, size_t size, AppTlvEntry out[kDcbxAppEntries]);

}  // namespace vx
