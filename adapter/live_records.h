// The firmware records behind the live controller, port, NCSI, DCBX and LLDP properties, and the
// bounded readers that turn them into values. Every reader takes the reply's bytes and length and
// reads missing bytes as 0, so nothing a reply holds makes it read outside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "adapter/port_records.h"
#include "engine/hm.h"

namespace vx {

// ---- DCBX records (dcbx_cfg_params, dcbx_cfg_params_v1 of port_records.h) -------------------------
constexpr size_t kDcbxSize = sizeof(dcbx_cfg_params);
constexpr size_t kDcbxV1Size = sizeof(dcbx_cfg_params_v1);

// Bits of a feature flags word (PG, PFC, application, QCN).
constexpr uint32_t kFlagEnabled = 1u << 0;
constexpr uint32_t kFlagAdvertise = 1u << 1;
constexpr uint32_t kFlagWilling = 1u << 2;
constexpr uint32_t kFlagSynced = 1u << 3;
constexpr uint32_t kFlagNotOperational = 1u << 30;
constexpr uint32_t kFlagError = 1u << 31;
constexpr uint8_t kPriorityGroup15 = 15;
constexpr int kPriorities = 8;

// A record of either size; the QCN fields read 0 in the 312-byte one.
struct DcbxView {
  dcbx_cfg_params_v1 record;
  // Bit k: priority k is in priority group `group` (the low byte of its entry).
  uint8_t members(uint32_t group) const;
  // Bit k: PFC is enabled for priority k.
  uint8_t pfc_bitmap() const;
  // Bit k: priority k is mapped to application TLV entry `entry` (0 for an entry outside the table).
  uint8_t entry_bitmap(int32_t entry) const;
};
DcbxView dcbx_view_of(const uint8_t* record, size_t size);

// The request of a DCBX write (312 or 368 bytes, `size`) from the administrator record just read:
// byte 0, the reply's entry count (byte 2) in byte 1, the PG and PFC flags (4-11), the application
// flags (16-19), bytes 24-311 and, in the 368-byte record, the QCN flags (12-15) and the CNPV
// bitmap (312). Everything else is zero.
void dcbx_carry_over(const uint8_t* reply, size_t size, uint8_t* request);

// ---- DCBX MIB (subsystem 16, command 3): 108 bytes, 60 on the Quenta generation --------------------
constexpr size_t kDcbxMibSize = 108;
constexpr size_t kQuentaDcbxMibSize = 60;
struct DcbxMib {
  uint32_t operating_version;
  uint32_t max_version;
  uint32_t sequence;
  uint32_t ack;
  uint32_t peer_sequence;
  uint32_t peer_ack;
  uint32_t app_sequence;
  uint32_t pg_sequence;
  uint32_t pfc_sequence;
  uint32_t tx_packets;
  uint32_t rx_packets;
  uint32_t dropped;
};
DcbxMib dcbx_mib_of(const uint8_t* reply, size_t size, bool quenta);

// ---- operating parameters (subsystem 1, command 108) -------------------------------------------------
constexpr size_t kOperatingParamsSize = 2080;
// True when a descriptor of the reply has mode 0 or 2 (operational mode not applicable). The walk
// stops at the descriptor count, at a descriptor too short to hold its mode, or at the reply's end.
bool operating_mode_not_applicable(const uint8_t* reply, size_t size);

// ---- LLDP (subsystem 15) -----------------------------------------------------------------------------
constexpr size_t kLldpText = 256;
struct lldp_cfg_params {
  uint8_t switches[5];            // byte 0 bit 0 transmit, bit 1 receive; bytes 1-4 bit 0 the four TLVs
  uint8_t reserved5[3];
  char chassis_id[kLldpText];
  uint32_t chassis_subtype;
  char port_id[kLldpText];
  uint32_t port_subtype;
  uint32_t ttl;
  char system_name[kLldpText];
  char system_description[kLldpText];
  uint8_t reserved1044[kLldpText];
  char port_description[kLldpText];
  uint32_t capabilities;
};
static_assert(sizeof(lldp_cfg_params) == 1560);
static_assert(offsetof(lldp_cfg_params, chassis_id) == 8);
static_assert(offsetof(lldp_cfg_params, chassis_subtype) == 264);
static_assert(offsetof(lldp_cfg_params, port_id) == 268);
static_assert(offsetof(lldp_cfg_params, port_subtype) == 524);
static_assert(offsetof(lldp_cfg_params, ttl) == 528);
static_assert(offsetof(lldp_cfg_params, system_name) == 532);
static_assert(offsetof(lldp_cfg_params, system_description) == 788);
static_assert(offsetof(lldp_cfg_params, port_description) == 1300);
static_assert(offsetof(lldp_cfg_params, capabilities) == 1556);
constexpr size_t kLldpParamsSize = 1576;   // the command's buffer: the record and 16 spare bytes
constexpr size_t kLldpSetSize = 8;
constexpr size_t kLldpStatsSize = 48;
lldp_cfg_params lldp_params_of(const uint8_t* reply, size_t size);
// "Chassis Component" ... "Locally Assigned", else "Unknown".
const char* chassis_type_name(uint32_t subtype);
const char* port_type_name(uint32_t subtype);
// The lowest set capability bit's name ("Other" ... "Station"), "Unknown" when none is set.
const char* system_capability_name(uint32_t bits);
struct LldpStats {
  uint32_t tx_packets;
  uint32_t rx_packets;
  uint32_t dropped;
  uint32_t unrecognized;
  uint32_t organizational;
};
LldpStats lldp_stats_of(const uint8_t* reply, size_t size);

// ---- NCSI attributes (opcode 86, 72 bytes; the set, opcode 87, sends bytes 40-71) ------------------
struct ncsi_config_block {
  uint8_t port_swap;
  uint8_t port0_mac[6];
  uint8_t wol_port0;
  uint8_t port1_mac[6];
  uint8_t wol_port1;
  uint8_t pad;
  uint16_t mgmt_vlan;
  uint8_t rest[10];
};
static_assert(sizeof(ncsi_config_block) == 28);
static_assert(offsetof(ncsi_config_block, wol_port0) == 7);
static_assert(offsetof(ncsi_config_block, port1_mac) == 8);
static_assert(offsetof(ncsi_config_block, wol_port1) == 14);
static_assert(offsetof(ncsi_config_block, mgmt_vlan) == 16);
struct ncsi_attribs {
  uint8_t ncsi_state;              // 1: NC-SI supported
  uint8_t ncsi_handshake_status;   // 0 success, 1 error
  uint8_t reserved2[10];
  ncsi_config_block static_config;
  uint8_t kept[4];                 // sent back first in a set
  ncsi_config_block dynamic_config;
};
static_assert(sizeof(ncsi_attribs) == 72);
static_assert(offsetof(ncsi_attribs, static_config) == 12);
static_assert(offsetof(ncsi_attribs, kept) == 40);
static_assert(offsetof(ncsi_attribs, dynamic_config) == 44);
constexpr size_t kNcsiSetOffset = offsetof(ncsi_attribs, kept);
constexpr size_t kNcsiSetSize = sizeof(ncsi_attribs) - kNcsiSetOffset;
static_assert(kNcsiSetSize == 32);
ncsi_attribs ncsi_attribs_of(const uint8_t* reply, size_t size);
// The values of a configuration block; a WOL or port-swap byte other than 0 and 1 gives NULL (the
// property keeps its value).
struct NcsiTexts {
  const char* port_swap;
  const char* wol_port0;
  const char* wol_port1;
  char port0_mac[18];
  char port1_mac[18];
  char mgmt_vlan[8];
};
NcsiTexts ncsi_texts_of(const ncsi_config_block& block);

// ---- 10GBASE-T statistics (subsystem 18, command 8): 84 bytes, 112 with header version 1 -------------
constexpr size_t kBaseTStatsSize = 84;
constexpr size_t kBaseTStatsV1Size = 112;
constexpr int kBaseTProperties = 19;
extern const char* const kBaseTPropertyNames[kBaseTProperties];
struct BaseTTexts {
  char values[kBaseTProperties][24];
};
// The values of a first-form (`v1` false) or version-1 reply.
void baset_texts_of(const uint8_t* reply, size_t size, bool v1, BaseTTexts* out);

// ---- FRU VPD (subsystem 19, command 3) ------------------------------------------------------------------
constexpr size_t kFruBufferSize = 1024;
constexpr size_t kFruSegmentBytes = 127;
// Bytes [first, first + count) of the data as hexadecimal digits, within `size` and cut at 255
// characters.
void fru_segment_text(const uint8_t* data, size_t size, size_t first, size_t count, char out[kValueSize]);

// ---- link speed (opcode 134): ConfiguredSpeed and Mode of a speed code --------------------------------
// NULL speed: the code names none (ConfiguredSpeed keeps its value; Mode "Auto-Negotiate").
struct LinkSpeedText {
  const char* speed;
  const char* mode;
};
LinkSpeedText link_speed_text(uint32_t code);
// The other way (SetPortSpeed): the code of (mode, speed), both matched without regard to case; 0
// for mode "Default" and for a pair the table lacks.
uint16_t link_speed_code(const char* mode, const char* speed);
// True when `speed` is an Auto-Negotiate speed of the table.
bool is_auto_negotiate_speed(const char* speed);

}  // namespace vx
