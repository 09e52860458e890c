// The records of the iSCSI firmware commands, at their exact sizes: the same bytes in the 32-bit
// and 64-bit builds. Plain data with no behaviour, so the simulated adapter decodes the same
// layouts the handlers fill.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// Address types of the firmware records.
constexpr uint8_t kAddressTypeNone = 0;
constexpr uint8_t kAddressTypeIpv4 = 1;
constexpr uint8_t kAddressTypeIpv6 = 16;
constexpr uint16_t kAddressRecordSize = 24;

constexpr size_t kIscsiNameSize = 224;      // target and initiator names, NUL-padded
constexpr size_t kAliasSize = 32;
constexpr size_t kChapNameSize = 256;
constexpr size_t kChapSecretSize = 16;

// The 24-byte address record of logins, persistent targets and connections.
struct address_record {
  uint16_t size;          // 24 where the library fills it
  uint8_t reserved;
  uint8_t type;           // kAddressType*
  uint8_t address[16];    // IPv4 in the first four bytes
  uint8_t reserved2[4];
};
static_assert(sizeof(address_record) == 24);
static_assert(offsetof(address_record, type) == 3 && offsetof(address_record, address) == 4);

// Login options: flags bit 0 InitialR2T, 1 ImmediateData, 2 DataPDUInOrder, 3 DataSequenceInOrder.
struct login_options {
  uint8_t flags;
  uint8_t error_recovery_level;
  uint8_t reserved2[2];
  uint32_t first_burst_length;
  uint32_t max_burst_length;
  uint16_t max_connections;
  uint16_t max_outstanding_r2t;
  uint16_t default_time2wait;
  uint16_t default_time2retain;
  uint8_t reserved20;
  uint8_t header_digest;      // 1 CRC32C
  uint8_t data_digest;
  uint8_t reserved23;
  uint32_t max_recv_data_segment_length;
  uint32_t second_segment_length;
  uint32_t tcp_mss;
  uint32_t tcp_window_size;
  uint32_t chap;              // 1 CHAP
  uint32_t mutual;            // 1 mutual CHAP
  char initiator_chap_name[kChapNameSize];
  uint8_t initiator_secret[kChapSecretSize];
  char target_chap_name[kChapNameSize];
  uint8_t target_secret[kChapSecretSize];
  uint16_t initiator_chap_name_length;
  uint16_t initiator_secret_length;
  uint16_t target_chap_name_length;
  uint16_t target_secret_length;
};
static_assert(sizeof(login_options) == 600);
static_assert(offsetof(login_options, header_digest) == 21 && offsetof(login_options, max_recv_data_segment_length) == 24);
static_assert(offsetof(login_options, tcp_mss) == 32 && offsetof(login_options, chap) == 40);
static_assert(offsetof(login_options, initiator_chap_name) == 48 && offsetof(login_options, initiator_secret) == 304);
static_assert(offsetof(login_options, target_chap_name) == 320 && offsetof(login_options, target_secret) == 576);
static_assert(offsetof(login_options, initiator_chap_name_length) == 592);
// A session record splits the block: bytes 0-19 with the session, 20-599 with its connection.
constexpr size_t kSessionOptionsSize = 20;
constexpr size_t kConnectionOptionsSize = sizeof(login_options) - kSessionOptionsSize;

constexpr uint32_t kLoginFlagPersistent = 0x40;
constexpr uint32_t kLoginFlagBoot = 0x100;

// Login and add-persistent-target request (opcodes 23 and 27 of subsystem 6).
struct login_target_request {
  char target_name[kIscsiNameSize];
  address_record portal;       // 224
  uint16_t tcp_port;           // 248
  uint8_t reserved250[258];
  uint32_t flags;              // 508
  uint8_t reserved512[8];
  uint32_t eto;                // 520
  uint16_t isid_qualifier;     // 524
  uint8_t reserved526[2];
  login_options options;       // 528
  char initiator_name[kIscsiNameSize];   // 1128
  char initiator_alias[kAliasSize];      // 1352
  uint8_t reserved1384[14];
  uint16_t word1398;
  uint16_t word1400;
  uint8_t reserved1402[18];
};
static_assert(sizeof(login_target_request) == 1420);
static_assert(offsetof(login_target_request, tcp_port) == 248 && offsetof(login_target_request, flags) == 508);
static_assert(offsetof(login_target_request, eto) == 520 && offsetof(login_target_request, isid_qualifier) == 524);
static_assert(offsetof(login_target_request, options) == 528 && offsetof(login_target_request, initiator_name) == 1128);
static_assert(offsetof(login_target_request, initiator_alias) == 1352 && offsetof(login_target_request, word1398) == 1398);

// Login flags of the login command: a target login, and what a discovery login adds.
constexpr uint32_t kLoginFlagTarget = 0x41;
constexpr uint32_t kLoginFlagDiscovery = 0x11;
constexpr uint32_t kNoEto = 0xFFFFFFFFu;   // a login leaves the time-out to the firmware

// The firmware's answer to a login, written over the request.
struct login_reply {
  uint32_t session_handle;
  uint32_t state;              // session state bits; a discovery login: bit 0 logged in
  uint32_t connection_handle;
  uint32_t reserved12;
  login_options negotiated;    // 16; its connection part starts at 36
  uint8_t reserved616[804];
};
static_assert(sizeof(login_reply) == sizeof(login_target_request));
static_assert(offsetof(login_reply, negotiated) == 16);

// Delete-persistent-target request (opcode 28 of subsystem 6).
constexpr uint32_t kDeleteIsidFlag = 0x80000000u;
struct del_persistent_target_request {
  char target_name[kIscsiNameSize];
  address_record portal;       // 224
  uint16_t tcp_port;           // 248
  uint16_t reserved250;
  uint32_t isid;               // 252: qualifier | kDeleteIsidFlag
  char initiator_name[kIscsiNameSize];   // 256
};
static_assert(sizeof(del_persistent_target_request) == 480);
static_assert(offsetof(del_persistent_target_request, isid) == 252);
static_assert(offsetof(del_persistent_target_request, initiator_name) == 256);

// ---- sessions (subsystem 6) ------------------------------------------------------------------------

// Session state bits, as SessionStatus shows them.
constexpr uint32_t kSessionOpen = 1u << 0;
constexpr uint32_t kSessionLoginInProgress = 1u << 1;
constexpr uint32_t kSessionClosed = 1u << 5;
constexpr uint32_t kSessionRecovery6 = 1u << 6;
constexpr uint32_t kSessionLoginFailed = 1u << 8;
constexpr uint32_t kSessionLogoutFailed = 1u << 11;
constexpr uint32_t kSessionRecovery12 = 1u << 12;
constexpr uint32_t kSessionDeleted = 1u << 13;
// Session flags: bit 0 clear marks a persistent session, bit 8 a boot session.
constexpr uint32_t kSessionFlagNotPersistent = 1u << 0;
constexpr uint32_t kSessionFlagBoot = 1u << 8;
// Connection flags.
constexpr uint32_t kConnectionLoggedIn = 1u << 0;
constexpr uint32_t kConnectionRedirected = 1u << 2;

struct session_connection_entry {
  uint32_t connection_handle;
  uint32_t flags;
  uint16_t source_port;
  uint16_t destination_port;
  uint16_t redirected_port;
  uint16_t cid;
  uint8_t reserved16[4];
  address_record source;        // 20
  address_record destination;   // 44
  address_record redirected;    // 68
  uint8_t options[kConnectionOptionsSize];   // 92: login_options bytes 20-599
};
static_assert(sizeof(session_connection_entry) == 672);
static_assert(offsetof(session_connection_entry, destination) == 44 && offsetof(session_connection_entry, options) == 92);

// Get-a-session answer (opcode 14): room for one connection entry.
struct session_info {
  uint32_t session_handle;
  uint32_t state;
  uint8_t isid[6];              // 8; bytes 4-5 (record 12-13) are the qualifier, big-endian
  uint16_t tsih;                // 14
  uint32_t flags;               // 16
  uint16_t connection_count;    // 20
  uint8_t reserved22[2];
  char target_name[kIscsiNameSize];      // 24
  char initiator_name[kIscsiNameSize];   // 248
  uint8_t session_options[kSessionOptionsSize];   // 472: login_options bytes 0-19
  session_connection_entry connection;            // 492
};
static_assert(sizeof(session_info) == 1164);
static_assert(offsetof(session_info, tsih) == 14 && offsetof(session_info, flags) == 16);
static_assert(offsetof(session_info, target_name) == 24 && offsetof(session_info, initiator_name) == 248);
static_assert(offsetof(session_info, session_options) == 472 && offsetof(session_info, connection) == 492);

// Active session list (opcode 29): the count, then the handles.
constexpr size_t kSessionListHeader = 8;
constexpr size_t kSessionListQuerySize = 12;
constexpr uint32_t kSessionListRequestFlags = (1u << 6) | (1u << 7);

// Session configuration (opcode 16 get, 17 set).
constexpr size_t kSessionConfigQuerySize = 276;
struct session_config {
  uint32_t session_handle;
  uint32_t eto;
  uint8_t byte8;
  uint8_t reserved9[3];
  uint32_t word12;
  uint8_t reserved16[224];
  uint8_t block240[32];        // holds the two numbers of a LUN's host name at 256 and 268
  uint32_t word272;
};
static_assert(sizeof(session_config) == 276);
static_assert(offsetof(session_config, block240) == 240 && offsetof(session_config, word272) == 272);
constexpr size_t kLunNameFirstOffset = 256;    // u16
constexpr size_t kLunNameSecondOffset = 268;   // u16

struct session_config_set {
  uint32_t session_handle;
  uint32_t one;                // 1
  uint32_t eto;
  uint32_t byte8;
  uint32_t word12;
  uint8_t reserved20[224];
  uint8_t block240[32];        // 244
  uint32_t word272;            // 276
};
static_assert(sizeof(session_config_set) == 280);
static_assert(offsetof(session_config_set, block240) == 244 && offsetof(session_config_set, word272) == 276);

// Boot flag of a session (opcode 53).
struct boot_target_request {
  uint32_t session_handle;
  uint32_t flags;
  uint8_t reserved[520];
};
static_assert(sizeof(boot_target_request) == 528);

// Logout (opcode 24): the session handle.
struct logout_request {
  uint32_t session_handle;
};

// ---- SendTargets discovery and the firmware's target database (subsystem 6) -------------------------
constexpr size_t kDiscoveryBufferSize = 64000;   // SendTargets, continuation and target-id buffers
constexpr size_t kSendTargetsKeySize = 256;

// SendTargets request (opcode 33): the answer is a target list in the same buffer.
struct sendtargets_request {
  uint32_t session_handle;     // of the discovery session
  uint32_t one;                // 1
  char key[kSendTargetsKeySize];   // "SendTargets=All" or "SendTargets=<name>"
};
static_assert(sizeof(sendtargets_request) == 264);

// Continuation of a SendTargets answer (opcode 34, generation 5).
constexpr uint32_t kContinuationKind = 2;
struct sendtargets_continuation {
  uint16_t received;           // entries already received
  uint16_t wanted;             // entries still wanted
  uint32_t kind;               // kContinuationKind
};
static_assert(sizeof(sendtargets_continuation) == 8);

// Target list: u32 entry count, then the entries. An entry is a u32 address count n, the target
// name, and n address entries (one slot when n is 0).
constexpr size_t kTargetListHeader = 4;
constexpr size_t kTargetEntryHeader = 4 + kIscsiNameSize;
struct target_list_address {
  uint8_t reserved[3];
  uint8_t type;
  uint8_t address[16];
  uint8_t reserved20[4];
  uint32_t port;               // 24
  uint32_t group_tag;          // 28
};
static_assert(sizeof(target_list_address) == 32);
static_assert(offsetof(target_list_address, port) == 24);

// Target-id list (opcode 30): request u32 target type at 0 and the kinds wanted at 4; answer u32
// count at 0, then 8-byte entries from 4 whose first word is a target id.
constexpr uint32_t kTargetIdKinds = 0xE;
constexpr size_t kTargetIdEntrySize = 8;

// Target record (opcode 32, of the size its size query gives; the query is 816 bytes): request u32
// target id at 0. Portal group g and portal p of it sit at these offsets.
constexpr size_t kTargetRecordQuerySize = 816;
constexpr size_t kTargetRecordName = 4;
constexpr size_t kTargetRecordAlias = 228;
constexpr size_t kTargetRecordGroupCount = 260;
constexpr size_t kTargetRecordGroupTag = 264;     // + kTargetRecordGroupStride * g (u16)
constexpr size_t kTargetRecordPortalCount = 266;  // + kTargetRecordGroupStride * g (u16)
constexpr size_t kTargetRecordGroupStride = 552;
constexpr size_t kTargetRecordPortalStride = 548;
constexpr size_t kTargetRecordPortalType = 271;   // + group and portal strides (u8)
constexpr size_t kTargetRecordPortalAddress = 272;
constexpr size_t kTargetRecordPortalPort = 292;   // u16

// Firmware configuration (opcode 58 of subsystem 1): the maximum target count is the sum of two words;
// byte 4 is the ASIC revision.
constexpr size_t kFwConfigSize = 156;
constexpr size_t kFwConfigAsicRevision = 4;   // u8
constexpr size_t kFwConfigTargetsA = 32;
constexpr size_t kFwConfigTargetsB = 84;

// Byte 120 of the firmware configuration: the function capabilities; with kFwConfigNoMultichannel
// set the adapter offers no multichannel mode.
constexpr size_t kFwConfigFunctionCaps = 120;
constexpr uint8_t kFwConfigNoMultichannel = 0x40;

// The u32 at 12 of the firmware configuration: the function mode; with kFunctionModeSwitchType set
// the adapter wants its switch type set (opcode 124 of subsystem 1, 8 zero bytes).
constexpr size_t kFwConfigFunctionMode = 12;
constexpr uint32_t kFunctionModeSwitchType = 0x20000;
constexpr size_t kSwitchTypeRequestSize = 8;

// Discovery parameters (opcodes 28 get and 29 set of subsystem 2).
constexpr size_t kDiscoveryParamsSize = 888;
constexpr size_t kDiscoveryParamsFlags = 544;     // u16
constexpr size_t kDiscoveryParamsEntity = 548;    // initiator name registered with iSNS
constexpr size_t kDiscoveryParamsServerCount = 772;
constexpr size_t kDiscoveryParamsServers = 776;   // + 28 n: type at 3, address at 4, u16 port at 24
constexpr size_t kIsnsServerEntrySize = 28;
constexpr size_t kMaxIsnsServers = 4;
constexpr uint16_t kIsnsEnabled = 0x01;
constexpr uint16_t kIsnsServerByUser = 0x10;
constexpr uint16_t kIsnsServerByDhcp = 0x40;

// ---- SCSI pass-through (opcode 59) -------------------------------------------------------------------
constexpr uint8_t kScsiDirectionNone = 0;
constexpr uint8_t kScsiDirectionRead = 1;
constexpr uint8_t kScsiDirectionWrite = 2;
constexpr size_t kScsiSenseSize = 18;   // fixed-format sense data, in the reserved area at 36

struct scsi_params {
  uint32_t session_handle;
  uint8_t lun[8];
  uint8_t direction;
  uint8_t reserved13[2];
  uint8_t check_condition;     // 15: set when the target answered CHECK CONDITION
  uint8_t cdb[16];
  uint8_t reserved32[2];
  uint16_t data_length;        // 34
  uint8_t sense[256];          // 36
};
static_assert(sizeof(scsi_params) == 292);
static_assert(offsetof(scsi_params, check_condition) == 15 && offsetof(scsi_params, data_length) == 34);

// ---- initiator identity and QoS ------------------------------------------------------------------------
struct initiator_name_record {
  uint16_t flags;              // bit 0 cleared before both commands
  uint8_t reserved2[2];
  char name[kIscsiNameSize];   // 4
  char alias[kAliasSize];      // 228
};
static_assert(sizeof(initiator_name_record) == 260);

struct qos_get_record {
  uint8_t reserved0[8];
  uint32_t max_ios;            // 8
  uint32_t max_bytes;          // 12
  uint8_t reserved16[16];
};
static_assert(sizeof(qos_get_record) == 32);

constexpr uint32_t kQosIosGiven = 0x04;
constexpr uint32_t kQosBytesGiven = 0x40;
struct qos_set_record {
  uint32_t flags;
  uint8_t reserved4[8];
  uint32_t max_ios;            // 12
  uint32_t max_bytes;          // 16
  uint8_t reserved20[16];
};
static_assert(sizeof(qos_set_record) == 36);

// ---- ping (opcode 6 of subsystem 2) --------------------------------------------------------------------
struct ping_request {
  uint8_t reserved[3];
  uint8_t type;
  uint8_t address[16];
  uint8_t reserved20[4];
};
static_assert(sizeof(ping_request) == 24);

// ---- flash objects (opcodes 171 and 172 of subsystem 1, version 1) ------------------------------------
constexpr size_t kFlashObjectNameSize = 104;
constexpr size_t kFlashReadSize = 32876;                 // request length of one read
constexpr size_t kFlashDataOffset = 8;                   // read answer data
constexpr size_t kFlashReadRoom = kFlashReadSize - kFlashDataOffset;
constexpr size_t kFlashWriteHeader = 112;                // write request data
constexpr uint32_t kFlashEndOfObject = 0x80000000u;
constexpr uint32_t kFlashLastPiece = 0x80000000u;
constexpr uint32_t kFlashSizeMask = 0x00FFFFFFu;

// Offset of the default ETO in the controller attributes (opcode 32 of subsystem 1, 540 bytes).
constexpr size_t kControllerAttributesSize = 540;
constexpr size_t kDefaultEtoOffset = 92;

}  // namespace vx
