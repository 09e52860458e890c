// The simulated adapters as the configuration file describes them (format: sim/README.md).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/diag_config.h"
#include "sim/maintenance_config.h"

namespace vx::sim {

constexpr int kMaxAdapters = 16;
constexpr int kMaxPorts = 4;
constexpr int kMaxFunctionNumber = 7;      // PCI function numbers 0..7
constexpr int kMaxVirtualFunctions = 60;   // what fits in the virtual-function reply
constexpr size_t kMaxNameLength = 31;      // host adapter and interface names
constexpr uint16_t kUnknownGeneration = 65535;

using Mac = std::array<uint8_t, 6>;

struct VirtualFunction {
  Mac mac{};
  uint16_t vlan = 0;
  uint16_t qos = 0;
};

// A function's vNIC in the older multichannel modes (opcodes 64 and 120); absent: 120 answers the
// pair the library reads as "not supported".
struct Vnic {
  bool present = false;
  bool enabled = false;
  std::string name;
  uint32_t outer_vlan = 0;
  uint32_t min_bw = 0;
  uint32_t max_bw = 0;
};

// What a function's boot configuration (opcodes 66/67), PCI function mapping (83) and OEM execution
// configuration (21/4) start with.
struct BootSettings {
  bool enabled = false;
  uint8_t method = 1;          // 1 PXE, 2 iBFT
  uint8_t native_mode = 0;
  bool rom_enabled = true;     // the function's expansion-ROM bit
  uint16_t vlan = 0;
  uint8_t priority = 0;
  Mac volatile_mac{};
};

// One PCI function of an adapter: an iSCSI function (served by its own iSCSI device node) or a NIC
// function (reached through the NIC node by bus, device and function).
struct Function {
  uint8_t number = 0;           // PCI function number
  uint8_t port = 0;             // physical port it sits on
  std::string name;             // vmhbaNN (iSCSI) or vmnicN (NIC)
  Mac mac{};
  int iscsi_node = -1;          // iSCSI: number of its device node
  uint16_t mtu = 1500;          // NIC: link information; iSCSI: the largest MTU (9000 by default)
  uint8_t link_down_reason = 0;
  bool link_up = true;          // iSCSI: the port's link state and speeds
  uint8_t speed = 4;            // physical speed code (1 10Mb ... 4 10Gb ... 8 100Gb)
  uint16_t qos_speed = 0;       // QoS link speed in units of 10 Mb/s; 0 none
  std::vector<VirtualFunction> virtual_functions;
  Vnic vnic;
  BootSettings boot;
  uint32_t qos_max_bps = 0;     // NIC path QoS get (opcode 27)
};

// One entry of an application TLV table of a port's DCBX records.
struct AppTlv {
  uint8_t entry = 0;         // 0..14: its place in the record
  uint8_t selector = 0;      // 0 Ethernet type, 1 TCP port
  uint16_t protocol = 0;
  uint8_t priorities = 0;    // bit k: priority k
  uint32_t oui = 0x001b21;
};

constexpr int kDcbxRecords = 3;   // administrator, operational, peer (the firmware's selectors 0, 1, 2)

// One DCBX record of a port as the configuration gives it; its application TLV table is app_tlvs.
struct DcbxRecordSettings {
  uint32_t pg_flags = 0;       // feature flags: bit 0 enabled, 1 advertise, 2 willing, 3 synced,
  uint32_t pfc_flags = 0;      // 30 not operational, 31 error
  uint32_t app_flags = 0;
  uint32_t qcn_flags = 0;
  std::array<uint8_t, 8> bandwidth{};   // per priority group, percent; 255 no share
  std::array<uint8_t, 8> groups{};      // the priority group of priorities 0-7
  uint8_t pfc_priorities = 0;           // bit k: PFC on priority k
  uint8_t num_pgs = 3;
  uint8_t cnpv = 0;
  uint8_t ready = 0;
};

// What the LLDP command answers for the local or the peer side of a port.
struct LldpSettings {
  uint8_t switches = 0x03;      // bit 0 transmit, bit 1 receive
  uint8_t tlvs = 0x0F;          // bits 0-3: port description, system name, system description, capabilities
  std::string chassis_id;
  uint32_t chassis_type = 0;
  std::string port_id;
  uint32_t port_type = 0;
  uint32_t ttl = 0;
  uint32_t capabilities = 0;
  std::string system_name;
  std::string system_description;
  std::string port_description;
};
struct LldpCounters {
  uint32_t tx = 0;
  uint32_t rx = 0;
  uint32_t dropped = 0;
  uint32_t unrecognized = 0;
  uint32_t organizational = 0;
};

constexpr uint8_t kBeaconOff = 0;
constexpr uint8_t kBeaconOn = 1;
constexpr uint8_t kBeaconUnsupported = 2;
constexpr int64_t kNvpUnsupported = -1;

// What a physical port answers: its name, PHY, 10GBASE-T statistics, loopback mode and DCBX records.
struct PortSettings {
  char name = '0';
  uint16_t phy_type = 0x20;
  uint16_t interface_type = 3;
  uint16_t phy_signature = 0xFEEC;
  uint16_t an_speeds = 0x0C;       // speed bits: 1 10Mb, 2 100Mb, 4 1Gb, 8 10Gb, 16 20Gb, 32 40Gb
  uint16_t force_speeds = 0x0C;
  bool baset_stats_v1 = true;      // false: the version-1 statistics are refused
  std::array<std::vector<AppTlv>, kDcbxRecords> app_tlvs;
  uint16_t forwarding = 2;         // switch configuration: 2 VEB, 3 VEPA, 0 the command is not offered
  // The live settings: what the port commands answer at first (writes are kept, sim/live_state.h).
  bool enabled = true;             // port state
  int link_speed = -1;             // physical speed of the version-1 link status; -1: the function's
  uint16_t speed_code = 0;         // configured link speed (opcode 134)
  uint16_t dac_length = 0;
  uint8_t beacon = kBeaconOff;
  uint32_t tx_throttle = 2;
  int64_t nvp = 72;                // kNvpUnsupported: the NVP commands are refused
  bool flow_tx = true;
  bool flow_rx = true;
  uint8_t operating_mode = 1;      // mode of the operating-parameter descriptor
  bool dcbx_enabled = true;
  uint8_t dcbx_mode = 3;           // 0 CEE, 1 CIN, 2 Auto-CEE, 3 Auto-IEEE
  bool dcbx_v1 = true;             // false: the 368-byte record is refused
  bool mirror_admin = false;       // administrator writes copied into the operational record
  std::array<DcbxRecordSettings, kDcbxRecords> dcbx;
  LldpSettings lldp_local;
  LldpSettings lldp_peer;
  LldpCounters lldp_stats;
  PortDiagnostics diag;            // loopback, transceiver, PHY self test and cable test
};

// The NC-SI record of an adapter (opcode 86): state, handshake and two 28-byte blocks.
struct NcsiSettings {
  uint8_t state = 0;               // 1: NC-SI supported
  uint8_t handshake = 0;
  std::array<uint8_t, 28> static_block{};
  std::array<uint8_t, 28> dynamic_block{};
};

// The additional controller attributes (opcode 121). A text as long as its field has no NUL.
constexpr int kVersionTexts = 8;   // FCoE universal, x86 BIOS, EFI, FCODE; UEFI BIOS, NIC, FCODE, iSCSI
struct AdditionalAttributes {
  uint16_t ipl_file_no = 0;
  uint8_t ipl_suffix = 0;
  std::string ipl_file_name;       // at most 88
  uint8_t temperature = 0;
  std::array<uint8_t, 8> wwpn{};
  std::string phy_firmware;        // at most 160
  std::string phy_config_id;       // at most 8
  std::array<std::string, kVersionTexts> versions;   // at most 32 each
};

// ---- profiles, link configurations, ARI and the older configuration blocks (sim/README.md) -----------
// One PCI function of a profile configuration: a PCI-function descriptor, the descriptor of its
// protocol and, with RoCE, a RoCE descriptor.
struct ProfileFunction {
  uint16_t pf = 0;
  uint8_t link = 0;
  uint8_t protocol = 1;        // 1 NIC, 2 iSCSI, 4 FCoE
  uint8_t state = 1;           // pf_state
  Mac mac{};
  uint8_t roles = 1;           // mission roles: bit 0 NIC, 1 iSCSI, 2 FCoE, 3 RoCE
  uint8_t sriov = 0;           // sriov_state: 0 disabled, 1 enabled, 2 neither ("N/A")
  bool sriov_changeable = true;
  bool roce = false;
  uint32_t min_bw = 0;
  uint32_t max_bw = 100;
  uint16_t lpvid = 2;
  uint16_t outer_vlan = 0;
  bool link_disabled = false;
  bool vf_template = false;
  uint16_t vfs = 0;            // number_vfs
};

struct ProfilePort {
  uint8_t link = 0;
  uint8_t mc_type = 0;
  uint16_t max_pf = 0;
  uint16_t storage = 0, nic = 0, roce = 0, iscsi = 0, fcoe = 0;
};

struct ProfileConfiguration {
  std::vector<uint8_t> protocols;   // capability types of opcode 161 (145 NIC ... 148 RoCE)
  std::vector<ProfilePort> ports;
  std::vector<ProfileFunction> functions;
};

struct ProfileEntry {
  uint8_t id = 0;
  std::string description;
  uint8_t link_config_profile = 0;   // link configurations: the profile that choosing it makes next
};

struct ProfileModel {
  bool present = false;
  std::vector<ProfileEntry> list;
  uint8_t active = 0, next = 0, factory = 0;
  std::vector<std::pair<uint8_t, ProfileConfiguration>> configurations;
  const ProfileConfiguration* configuration(uint8_t id) const;
};

struct AriModel {
  bool present = false;
  uint8_t next_max = 0, ipl_max = 0, active_max = 0;
  bool settable = false;
};

// An entry of the older configuration blocks: vx_conf (generations 2, 3) and the common profile
// configuration (generation 4).
struct LegacyFunction {
  uint8_t pf = 0;
  uint8_t type = 0;    // vx_conf pf_type: 0 NIC, 1 iSCSI, 2 FCoE
  uint8_t state = 0;
  uint8_t sriov = 255; // 0 disabled, 1 enabled, 255 N/A
  Mac mac{};           // vx_conf: the function's last configured MAC at +8
};

// The firmware configuration (opcode 58): byte 4 the ASIC revision, the u32 at 12 the function
// mode, byte 120 the function capabilities.
struct FwConfig {
  uint8_t asic_revision = 0;
  uint8_t function_caps = 0;
  uint32_t function_mode = 0;
};

struct Adapter {
  uint16_t generation = kUnknownGeneration;
  uint16_t vendor_id = 0;
  uint16_t device_id = 0;       // iSCSI functions
  uint16_t nic_device_id = 0;   // NIC functions
  uint16_t subsystem_vendor_id = 0;
  uint16_t subsystem_device_id = 0;
  uint8_t bus = 0;
  uint8_t device = 0;
  uint8_t link_speed = 2;       // PCI Express link status: speed code and width
  uint8_t link_width = 8;
  int ports = 2;

  std::string serial_number;
  std::string model;
  std::string description;
  std::string manufacturer;
  std::string firmware_active;
  std::string firmware_flash;
  std::string bios_version;
  std::string boot_code_version;
  std::string driver_version;
  std::string ncsi_version;
  std::string initiator_name;   // factory default of each iSCSI function
  uint8_t firmware_status = 0;
  uint32_t capabilities = 0;
  uint32_t default_eto = 10;
  uint16_t ldto = 20;
  uint16_t max_cdb_length = 16;
  uint8_t iscsi_versions = 0;   // low 4 bits minimum, high 4 bits maximum
  uint32_t max_targets = 512;   // the firmware configuration's maximum target count
  bool virtual_function = false;   // seen from inside an SR-IOV virtual function: privileged probes refused
  std::string oem_serial_number;   // OEM parameter block (opcode 76)
  uint32_t personality_word = 0;   // its u32 at 36
  std::optional<uint32_t> personality_bits;           // its u32 at 40; else the kinds of function
  std::optional<std::string> available_personalities;  // opcode 113; else the names of those bits
  AdditionalAttributes additional;
  uint32_t route_limit = 16;       // static routes each iSCSI function takes
  std::optional<std::string> ffv_name;   // absent: the FFV command is not supported
  std::string fru_vpd;             // the FRU's bytes; empty: byte i reads i & 0xFF
  NcsiSettings ncsi;

  ProfileModel profiles;                      // profiles: without it the profile commands answer 1/30
  ProfileModel link_configurations;           // link_configurations (entries' profile ids unused)
  AriModel ari;
  std::vector<std::string> mc_capabilities;   // opcode-123 bits by name
  FwConfig fw_config;
  std::string configured_personality;         // opcode 114
  std::vector<LegacyFunction> legacy_functions;

  std::vector<PortSettings> port_settings;   // one per port

  std::vector<Function> iscsi_functions;
  std::vector<Function> nic_functions;
  // Flash objects an adapter leaves the factory with: name -> content, served until written.
  std::vector<std::pair<std::string, std::string>> flash_objects;
  AdapterDiagnostics diag;         // fat, phy_loopback, dma, extfat, event_log
  bool controller_dead = false;    // controller_state "dead": the core-dump properties say so
  FlashConfig flash;               // flash: CRCs and answers of the flash commands
  CoreDumpConfig core_dump;        // core_dump: what the core-dump commands describe and return
};

// ---- the remote world: targets, discovery portals and iSNS servers ----------------------------------
constexpr size_t kMaxIscsiName = 223;
constexpr size_t kMaxRemoteTargets = 256;
constexpr size_t kMaxPortalsPerTarget = 16;
constexpr size_t kMaxLunsPerTarget = 1024;
constexpr uint32_t kMaxLunNumber = 16383;   // what the two-byte LUN addressing carries
constexpr uint32_t kDefaultPageSize = 100;  // SendTargets entries one answer carries
constexpr uint32_t kDefaultMaxTargets = 512;

struct NetAddress {
  uint8_t type = 0;                 // 1 IPv4, 16 IPv6 (the firmware's address types)
  std::array<uint8_t, 16> bytes{};  // IPv4 in the first four
  bool operator==(const NetAddress& o) const { return type == o.type && bytes == o.bytes; }
};

struct Chap {
  std::string name;
  std::string secret;
};

enum class Digest { kEither, kNone, kCrc32c };

struct RemoteLun {
  uint32_t number = 0;
  uint64_t blocks = 2097152;
  uint32_t block_size = 512;
  std::string vendor;
  std::string product;
  std::string serial;
};

struct RemotePortal {
  NetAddress address;
  uint16_t port = 3260;
  uint16_t group_tag = 1;
};

struct RemoteTarget {
  std::string name;
  std::string alias;
  std::vector<RemotePortal> portals;
  bool has_chap = false;
  Chap chap;
  bool has_mutual_chap = false;
  Chap mutual_chap;
  Digest digest = Digest::kEither;
  std::vector<RemoteLun> luns;
};

struct DiscoveryPortal {
  NetAddress address;
  uint16_t port = 3260;
  std::vector<std::string> targets;   // every target when the configuration names none
  bool has_chap = false;
  Chap chap;
  uint32_t page_size = kDefaultPageSize;
};

struct IsnsServer {
  NetAddress address;
  uint16_t port = 3205;
  std::vector<std::string> targets;   // every target when the configuration names none
};

// What the network's DHCP server leases: function n (its iSCSI node number) gets `first_address`
// + n; IPv6 auto-assignment gives the prefix and the interface's EUI-64.
struct Dhcp {
  NetAddress first_address;
  std::array<uint8_t, 4> subnet_mask{255, 255, 255, 0};
  NetAddress gateway;
  uint32_t lease = 86400;
  NetAddress ipv6_prefix;
};

struct Network {
  Dhcp dhcp;
  std::vector<RemoteTarget> targets;
  std::vector<DiscoveryPortal> discovery_portals;
  std::vector<IsnsServer> isns_servers;
  // The target of that name (case ignored), or NULL.
  const RemoteTarget* find(const std::string& name) const;
  // The discovery portal at that address and port, or NULL.
  const DiscoveryPortal* discovery_portal(const NetAddress& address, uint16_t port) const;
  // True when some target portal, discovery portal or iSNS server has the address.
  bool reachable(const NetAddress& address) const;
};

struct Config {
  std::vector<Adapter> adapters;
  Network network;
};

// An IPv4 or IPv6 text (IPv6 when it holds ':'); false for anything else.
bool parse_net_address(const std::string& text, NetAddress* out);

// Controller generation of a PCI device ID; kUnknownGeneration for any other device.
uint16_t generation_of_device(uint16_t device_id);

// Parses and checks a configuration text. On failure returns false with a one-line reason.
bool parse_config(const std::string& text, Config* out, std::string* error);
bool load_config(const std::string& path, Config* out, std::string* error);

// The personality bits of the OEM block (8 NIC, 9 iSCSI, 10 FCoE, 11 RDMA) and their names.
constexpr uint32_t kPersonalityNic = 1u << 8;
constexpr uint32_t kPersonalityIscsi = 1u << 9;
constexpr uint32_t kPersonalityFcoe = 1u << 10;
constexpr uint32_t kPersonalityRdma = 1u << 11;
uint32_t personality_bits_of(const Adapter& adapter);
std::string available_personalities_of(const Adapter& adapter);   // "NIC/iSCSI" ...

// "vmnicN" -> N, else -1.
int vmnic_index(const std::string& name);

}  // namespace vx::sim
