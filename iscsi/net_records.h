// The records of the network, statistics and iSNS commands of an iSCSI function, at their
// exact sizes: the same bytes in the 32-bit and 64-bit builds. Plain data, shared with the
// simulated adapter so that both sides read one layout. Addresses are 16-byte fields with an IPv4
// address in the first four bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "iscsi/records.h"

namespace vx {

// Address types of the network records (the iSCSI records use 1 and 16 as well).
constexpr uint8_t kIpTypeIpv4 = 1;
constexpr uint8_t kIpTypeIpv6Gateway = 16;
constexpr uint8_t kIpTypeRoutable = 0x30;
constexpr uint8_t kIpTypeLinkLocal = 0x50;

constexpr uint32_t kOperationAdd = 1;
constexpr uint32_t kOperationDelete = 2;

// ---- interface (opcodes 24 and 25 of subsystem 2) ---------------------------------------------------
struct if_id_list {
  uint32_t count;
  uint32_t ids[32];
};
static_assert(sizeof(if_id_list) == 132);

// Request: the interface id and the kind of address wanted (1 IPv4, 0x30 or 0x50 IPv6). The IPv4
// answer: the VLAN tag over the kind, the address count, the DHCP flag, address and mask. The IPv6
// answer: the count, and address entries of 40 bytes counted from the start of the record.
constexpr uint32_t kNoVlanTag = 65535;
struct if_info_params {
  uint32_t interface_id;
  uint32_t kind_or_vlan;
  uint32_t address_count;
  uint32_t dhcp;
  uint8_t reserved16[4];
  uint8_t address[16];   // 20
  uint8_t mask[16];      // 36
  uint8_t reserved52[1244];
};
static_assert(sizeof(if_info_params) == 1296);
static_assert(offsetof(if_info_params, address) == 20 && offsetof(if_info_params, mask) == 36);
constexpr size_t kIpv6EntrySize = 40;
constexpr size_t kIpv6EntryTypeOffset = 18;
constexpr size_t kIpv6EntryAddressOffset = 20;
// Entries whose address still lies within the record.
constexpr size_t kMaxIpv6Entries = (sizeof(if_info_params) - kIpv6EntryAddressOffset - 16) / kIpv6EntrySize + 1;

// The header-version-1 state query over the same record: request u16 16 and u16 0 behind the
// interface id; answer the count at 8 and the configuration states at 12.
constexpr uint16_t kIpv6StateQuery = 16;
constexpr size_t kIpv6StatesOffset = 12;
constexpr uint16_t kIpv6StateAuto = 0x400;
constexpr uint16_t kIpv6StateDhcp = 0x200;
constexpr uint16_t kIpv6StateStatic = 0x100;

// ---- address entries (opcode 21 of subsystem 2) ----------------------------------------------------
constexpr uint16_t kIpEntryRecordSize = 40;
constexpr uint32_t kIpEntryDuplicate = 47;
struct ip_entry_record {
  uint32_t count;          // 1
  uint32_t operation;
  uint32_t interface_id;
  uint16_t record_size;    // 12: 40
  uint8_t type;            // 14
  uint8_t reserved15;
  uint8_t address[16];     // 16
  uint8_t mask[16];        // 32
  uint8_t reserved48[4];
  uint32_t status;         // 52: per-address answer
};
static_assert(sizeof(ip_entry_record) == 56);
static_assert(offsetof(ip_entry_record, type) == 14 && offsetof(ip_entry_record, status) == 52);

// ---- default gateway (opcodes 22 and 23) -----------------------------------------------------------
struct gateway_query {
  uint8_t kind;            // request: 1 IPv4, 16 IPv6 (the low byte of a u32)
  uint8_t reserved1[2];
  uint8_t type;            // 3: answer
  uint8_t address[16];     // 4
  uint8_t reserved20[4];
};
static_assert(sizeof(gateway_query) == 24);

constexpr uint16_t kGatewayRecordSize = 24;
struct gateway_change {
  uint32_t operation;
  uint16_t size;           // 4: 24 (0 on an IPv4 delete)
  uint8_t reserved6;
  uint8_t type;            // 7
  uint8_t address[16];     // 8
  uint8_t reserved24[4];
};
static_assert(sizeof(gateway_change) == 28);
static_assert(offsetof(gateway_change, type) == 7 && offsetof(gateway_change, address) == 8);

// ---- DHCP and IPv6 auto-assignment (opcodes 17 and 18), VLAN (opcode 14) ----------------------------
constexpr uint32_t kDhcpIpv4 = 5;
constexpr uint32_t kAutoAssignIpv6 = 144;
struct dhcp_request {
  uint32_t interface_id;
  uint32_t kind;
  uint32_t one;
  uint32_t one_again;
};
static_assert(sizeof(dhcp_request) == 16);

struct dhcp_release {
  uint32_t interface_id;
  uint32_t kind;
};
static_assert(sizeof(dhcp_release) == 8);

struct vlan_request {
  uint32_t interface_id;
  uint32_t tag;            // priority << 13 | VLAN id; 65535 off
};
static_assert(sizeof(vlan_request) == 8);

// ---- route table (opcodes 10 and 11) ---------------------------------------------------------------
struct route_entry_request {
  uint32_t operation;
  uint8_t reserved4[8];
  uint8_t destination[16];   // 12
  uint8_t mask[16];          // 28
  uint8_t reserved44[8];
  uint8_t gateway[16];       // 52
  uint8_t reserved68[4];
};
static_assert(sizeof(route_entry_request) == 72);
static_assert(offsetof(route_entry_request, destination) == 12 && offsetof(route_entry_request, mask) == 28);
static_assert(offsetof(route_entry_request, gateway) == 52);
// The table: the count at 0, route i with the request's field places from byte 64 i.
constexpr size_t kRouteTableSize = 64000;
constexpr size_t kRouteStride = 64;
// Routes whose gateway field still lies within the table.
constexpr size_t kMaxRoutesInTable = (kRouteTableSize - offsetof(route_entry_request, gateway) - 16) / kRouteStride + 1;

// ---- ARP table (opcodes 8 and 9) -------------------------------------------------------------------
struct arp_entry_request {
  uint32_t operation;
  uint8_t reserved4[8];
  uint8_t ip[16];            // 12
  uint8_t reserved28[6];
  uint8_t mac[6];            // 34
  uint8_t reserved40[8];
};
static_assert(sizeof(arp_entry_request) == 48);
static_assert(offsetof(arp_entry_request, ip) == 12 && offsetof(arp_entry_request, mac) == 34);
constexpr size_t kArpTableSize = 2568;
constexpr size_t kArpStride = 40;
constexpr uint32_t kMaxArpEntries = 64;

// ---- iSNS: the discovery parameters (opcodes 28 and 29) --------------------------------------------
// The flags and server count of the record: iscsi/records.h.
constexpr uint16_t kDefaultIsnsPort = 3205;
struct isns_server_entry {
  uint8_t reserved0[3];
  uint8_t type;              // 3
  uint8_t address[16];       // 4
  uint8_t reserved20[4];
  uint16_t port;             // 24
  uint8_t reserved26[2];
};
static_assert(sizeof(isns_server_entry) == 28);

struct discovery_params {
  uint8_t reserved0[544];
  uint16_t flags;            // 544
  uint8_t reserved546[2];
  char entity_name[224];     // 548
  uint32_t server_count;     // 772
  isns_server_entry servers[kMaxIsnsServers];   // 776
};
static_assert(sizeof(discovery_params) == 888);
static_assert(offsetof(discovery_params, flags) == 544 && offsetof(discovery_params, entity_name) == 548);
static_assert(offsetof(discovery_params, server_count) == 772 && offsetof(discovery_params, servers) == 776);
static_assert(sizeof(discovery_params) == kDiscoveryParamsSize && offsetof(discovery_params, flags) == kDiscoveryParamsFlags &&
              offsetof(discovery_params, server_count) == kDiscoveryParamsServerCount &&
              sizeof(isns_server_entry) == kIsnsServerEntrySize);

// ---- statistics (opcodes 30/2, 46/6, 47/6, 48/6) -----------------------------------------------------
constexpr size_t kNodeParamsSize = 760;
constexpr size_t kInitiatorStatsSize = 264;
constexpr size_t kLoginStatsSize = 520;

// Node parameters.
constexpr size_t kNodeCountOffset = 0;
constexpr size_t kNodeRolesOffset = 12;
constexpr size_t kPortalCountOffset = 14;
constexpr size_t kPortRowStatusOffset = 724;
constexpr size_t kPortalRoleOffset = 728;
constexpr size_t kPortalProtocolOffset = 729;
constexpr size_t kPortalTagOffset = 732;
// Initiator-instance statistics.
constexpr size_t kSessionCountOffset = 8;
constexpr size_t kSessionFailureCountOffset = 12;
constexpr size_t kLastSessionFailureTypeOffset = 16;
constexpr size_t kLastSessionRmtNodeNameOffset = 20;
constexpr size_t kLastSessionRmtNodeNameSize = 224;
constexpr size_t kSessionDigestErrorsOffset = 244;
constexpr size_t kSessionConnectionTimeoutOffset = 248;
constexpr size_t kSessionFormatErrorsOffset = 252;
// Login statistics.
constexpr size_t kLoginFailuresOffset = 224;
constexpr size_t kLastFailureTimeOffset = 228;
constexpr size_t kLastFailureTypeOffset = 232;
constexpr size_t kLastTgtFailureNameOffset = 236;
constexpr size_t kLastTgtFailureNameSize = 224;
constexpr size_t kLastTgtFailureAddrTypeOffset = 467;
constexpr size_t kLastTgtFailureAddrOffset = 468;
constexpr size_t kLoginAcceptRspsOffset = 488;
constexpr size_t kLoginOtherFailRspsOffset = 492;
constexpr size_t kLoginRedirectRspsOffset = 496;
constexpr size_t kLoginAuthFailRspsOffset = 500;
constexpr size_t kLoginAuthFailsOffset = 504;
constexpr size_t kLoginNegoFailsOffset = 508;
constexpr size_t kLogoutNormalsOffset = 512;
constexpr size_t kLogoutOthersOffset = 516;
// Failure types of the two statistics records.
constexpr uint32_t kSessionFailureOther = 0;
constexpr uint32_t kSessionFailureDigest = 1;
constexpr uint32_t kSessionFailureTimeout = 2;
constexpr uint32_t kLoginFailureOther = 2;
constexpr uint32_t kLoginFailureAuthentication = 5;
constexpr uint32_t kLoginFailureNegotiation = 6;

// Session attributes: request word 0 the marker, word 1 the count, then the session ids; answer
// word 1 the count of entries, entries of 1276 bytes from byte 8.
constexpr size_t kSessionAttributesSize = 64000;
constexpr uint32_t kSessionAttributesMarker = 0xA1B2C3D4u;
constexpr size_t kSessionAttributesHeader = 8;
constexpr size_t kSessionAttributesEntry = 1276;
constexpr size_t kSessionIdsPerBatch = 50;   // 64000 / 1284: a full batch still fits its answer
constexpr size_t kMaxSessionAttributeEntries =
    (kSessionAttributesSize - kSessionAttributesHeader) / kSessionAttributesEntry;
struct session_attributes_entry {
  uint32_t session_id;
  uint32_t direction;        // 4
  uint8_t reserved8[32];
  char target_alias[32];     // 40
  uint32_t cmd_pdus;         // 72
  uint32_t rsp_pdus;         // 76
  uint32_t tx_data_octets[2];   // 80
  uint32_t rx_data_octets[2];   // 88
  uint32_t digest_errors;    // 96
  uint32_t timeout_errors;   // 100
  uint8_t reserved104[1172];
};
static_assert(sizeof(session_attributes_entry) == kSessionAttributesEntry);
static_assert(offsetof(session_attributes_entry, target_alias) == 40 && offsetof(session_attributes_entry, cmd_pdus) == 72);
static_assert(offsetof(session_attributes_entry, digest_errors) == 96);

// ---- port: link status (opcode 5 of subsystem 1), NIC parameters (opcode 7 of subsystem 2) ----------
struct link_status_record {
  uint8_t active_port;       // header version 0 (NIC link parameters)
  uint8_t link_state;        // 1
  uint8_t physical_speed;    // 2: 0 no link
  uint8_t reserved3[3];
  uint16_t qos_link_speed;   // 6: units of 10 Mb/s
  uint8_t logical_state;     // 8: 1 up
  uint8_t reserved9[3];
};
static_assert(sizeof(link_status_record) == 12);
static_assert(offsetof(link_status_record, qos_link_speed) == 6 && offsetof(link_status_record, logical_state) == 8);
constexpr uint8_t kNoActivePort = 15;

struct nic_params_record {
  uint8_t reserved0[8];
  uint32_t max_speed;        // 8
  uint8_t reserved12[4];
  uint32_t max_mtu;          // 16
  uint8_t reserved20[32];
};
static_assert(sizeof(nic_params_record) == 52);

}  // namespace vx
