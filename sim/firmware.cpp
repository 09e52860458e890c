#include "sim/firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/controller_firmware.h"
#include "sim/dcb_firmware.h"
#include "sim/diag_firmware.h"
#include "sim/iscsi_firmware.h"
#include "sim/maintenance_firmware.h"
#include "sim/net_firmware.h"
#include "sim/nic_firmware.h"
#include "sim/port_firmware.h"
#include "sim/profile_firmware.h"
#include "sim/startup_commands.h"

namespace vx::sim {

uint32_t Payload::u32(size_t offset) const {
  uint32_t v = 0;
  if (offset <= size_ && size_ - offset >= sizeof v) std::memcpy(&v, data_ + offset, sizeof v);
  return v;
}

std::string Payload::text(size_t offset, size_t field) const {
  if (offset >= size_) return std::string();
  size_t n = std::min<size_t>(field, size_ - offset);
  const char* p = reinterpret_cast<const char*>(data_ + offset);
  return std::string(p, strnlen(p, n));
}

std::string Payload::bytes(size_t offset, size_t count) const {
  if (offset >= size_) return std::string();
  return std::string(reinterpret_cast<const char*>(data_ + offset), std::min<size_t>(count, size_ - offset));
}

bool Payload::has_nul(size_t offset, size_t field) const {
  if (offset >= size_ || size_ - offset < field) return false;
  return std::memchr(data_ + offset, 0, field) != nullptr;
}

void Payload::put(size_t offset, const void* bytes, size_t count) {
  if (offset >= size_) return;
  std::memcpy(data_ + offset, bytes, std::min<size_t>(count, size_ - offset));
}

Answer answer_record(Command& c, const void* record, size_t size) {
  c.payload.put(0, record, size);
  Answer a;
  a.length = static_cast<uint32_t>(size);
  if (size > c.payload.size()) a.status = kStatusResponseTooLarge;
  return a;
}

namespace {

using Handler = Answer (*)(Command&);

void put_text(std::vector<uint8_t>& rec, size_t offset, size_t field, const std::string& text) {
  std::memcpy(rec.data() + offset, text.data(), std::min(text.size(), field - 1));
}

template <typename T>
void put_value(std::vector<uint8_t>& rec, size_t offset, T value) {
  std::memcpy(rec.data() + offset, &value, sizeof value);
}

// ---- controller attributes (the per-function identity record) ------------------------------------

Answer fetch_controller_attributes(Command& c) {
  std::vector<uint8_t> rec = controller_attributes(c.adapter, c.function, c.nic_path);
  return answer_record(c, rec.data(), rec.size());
}

// ---- PCI configuration space through the firmware -------------------------------------------------
// Request: u32 register offset, u32 count; answer: the 256 bytes of configuration space from byte 8.

constexpr size_t kPciConfigAnswerOffset = 8;
constexpr size_t kPciConfigAnswerBytes = 256;

Answer read_pci_config(Command& c) {
  std::vector<uint8_t> space = pci_config_space(c.adapter, c.function, c.nic_path);
  c.payload.put(kPciConfigAnswerOffset, space.data(), kPciConfigAnswerBytes);
  Answer a;
  a.length = kPciConfigAnswerOffset + kPciConfigAnswerBytes;
  if (a.length > c.payload.size()) a.status = kStatusResponseTooLarge;
  return a;
}

// ---- flash objects ----------------------------------------------------------------------------------
// Read request: u32 bytes asked (bits 0-23; 0 asks for the bytes available), u32 read offset, object
// name (104 bytes, NUL-terminated). Answer: u32 bytes read (for 0 asked: available), u32 whose bit 31
// marks the end of the object, the data from byte 8.
// Write request: u32 chunk size (bits 0-23), u32 write offset, object name, the data from byte 112.
// Answer: u32 bytes written, u8 change status (0). A write at offset 0 starts the object anew.

constexpr size_t kObjectNameOffset = 8;
constexpr size_t kObjectNameSize = 104;
constexpr size_t kObjectDataOffset = 112;
constexpr uint32_t kObjectEnd = 0x80000000u;
constexpr uint32_t kObjectChunkMask = 0x00FFFFFFu;
constexpr size_t kMaxObjectSize = 16u << 20;

std::string object_path(const Command& c, const std::string& name) {
  return c.store.adapter_file(c.adapter.serial_number, "objects/" + object_file_name(name));
}

// Content of an object: what was written last, else what the adapter left the factory with.
bool current_object(const Command& c, const std::string& name, const std::string& stored, bool existed,
                    std::string* out) {
  if (existed) {
    *out = stored;
    return true;
  }
  for (const auto& [factory_name, content] : c.adapter.flash_objects) {
    if (factory_name == name) {
      *out = content;
      return true;
    }
  }
  if (default_region_image(c.adapter, name, out)) return true;
  out->clear();
  return false;
}

Answer read_object(Command& c) {
  if (!c.payload.has_nul(kObjectNameOffset, kObjectNameSize)) return kAnswerInvalidField;
  std::string name = c.payload.text(kObjectNameOffset, kObjectNameSize);
  if (name.empty()) return kAnswerInvalidField;
  uint32_t offset = c.payload.u32(4);
  std::string stored;
  const file_store::ReadResult got = c.store.read(object_path(c, name), &stored);
  if (got == file_store::ReadResult::kFailed) return kAnswerFlashFailure;
  std::string content;
  current_object(c, name, stored, got == file_store::ReadResult::kRead, &content);
  // A length asked caps the answer; none asks for the bytes available, and what fits comes with it.
  const uint32_t asked = c.payload.u32(0) & kObjectChunkMask;
  size_t room = c.payload.size() - kObjectNameOffset;
  size_t left = offset < content.size() ? content.size() - offset : 0;
  size_t count = std::min(room, left);
  if (asked != 0) count = std::min<size_t>(count, asked);
  c.payload.put(kObjectNameOffset, content.data() + (left ? offset : 0), count);
  c.payload.put_u32(0, static_cast<uint32_t>(asked == 0 ? left : count));
  c.payload.put_u32(4, count == left ? kObjectEnd : 0);
  Answer a;
  a.length = static_cast<uint32_t>(kObjectNameOffset + count);
  return a;
}

Answer write_object(Command& c) {
  if (!c.payload.has_nul(kObjectNameOffset, kObjectNameSize)) return kAnswerInvalidField;
  std::string name = c.payload.text(kObjectNameOffset, kObjectNameSize);
  uint32_t size = c.payload.u32(0) & kObjectChunkMask;
  uint32_t offset = c.payload.u32(4);
  if (name.empty() || c.payload.size() - kObjectDataOffset < size || offset > kMaxObjectSize - size) {
    return kAnswerInvalidField;
  }
  const std::string chunk = c.payload.bytes(kObjectDataOffset, size);
  bool ok = c.store.update(object_path(c, name), [&](std::string& content, bool existed) {
    std::string current;
    current_object(c, name, content, existed, &current);
    if (offset == 0) current.clear();
    if (current.size() < offset + chunk.size()) current.resize(offset + chunk.size(), '\0');
    std::memcpy(&current[offset], chunk.data(), chunk.size());
    content = std::move(current);
    return true;
  });
  if (!ok) return kAnswerFlashFailure;
  // The firmware object tells on its last piece whether it runs only after a reboot.
  const bool firmware_end = name == "/prg" && (c.payload.u32(0) & kObjectEnd) != 0;
  c.payload.put_u32(0, size);
  uint8_t changed = firmware_end ? c.adapter.flash.prg_change_status : 0;
  c.payload.put(4, &changed, 1);
  Answer a;
  a.length = 8;
  return a;
}

// ---- settings the firmware keeps: a record read by one opcode and written by another ---------------

enum class Scope { kAdapter, kFunction };

struct RecordRow {
  uint8_t subsystem;
  uint8_t get_opcode;
  uint8_t set_opcode;
  uint32_t size;
  Scope scope;
  const char* key;
  void (*factory)(const Adapter&, const Function&, std::string&);
};

// Initiator name record: u16 flags, name at 4 (224 bytes), alias at 228 (32 bytes).
void factory_initiator_name(const Adapter& adapter, const Function&, std::string& rec) {
  rec.replace(4, std::min<size_t>(adapter.initiator_name.size(), 223), adapter.initiator_name, 0, 223);
}

constexpr RecordRow kRecords[] = {
    // sub  get  set  size  scope             file                 factory content
    {6, 6, 7, 260, Scope::kFunction, "initiator-name", factory_initiator_name},
    {1, 78, 79, 132, Scope::kAdapter, "config-signature", nullptr},
};

const RecordRow* find_record(uint8_t opcode, uint8_t subsystem) {
  for (const RecordRow& row : kRecords) {
    if (row.subsystem == subsystem && (row.get_opcode == opcode || row.set_opcode == opcode)) return &row;
  }
  return nullptr;
}

std::string record_path(const Command& c, const RecordRow& row) {
  std::string file = std::string("records/") + row.key;
  if (row.scope == Scope::kFunction) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "-%03d.%02d.%d", c.adapter.bus, c.adapter.device, c.function.number);
    file += suffix;
  }
  return c.store.adapter_file(c.adapter.serial_number, file);
}

Answer get_record(Command& c) {
  const RecordRow* row = find_record(c.opcode, c.subsystem);
  std::string rec;
  const file_store::ReadResult got = c.store.read(record_path(c, *row), &rec);
  if (got == file_store::ReadResult::kFailed) return kAnswerFlashFailure;
  if (got == file_store::ReadResult::kMissing || rec.size() != row->size) {
    rec.assign(row->size, '\0');
    if (row->factory != nullptr) row->factory(c.adapter, c.function, rec);
  }
  return answer_record(c, rec.data(), rec.size());
}

Answer set_record(Command& c) {
  const RecordRow* row = find_record(c.opcode, c.subsystem);
  if (c.payload.size() < row->size) return kAnswerInvalidField;
  const std::string rec = c.payload.bytes(0, row->size);
  bool ok = c.store.update(record_path(c, *row), [&](std::string& content, bool) {
    content = rec;
    return true;
  });
  if (!ok) return kAnswerFlashFailure;
  Answer a;
  a.length = row->size;
  return a;
}

// ---- the table --------------------------------------------------------------------------------------

struct CommandRow {
  uint8_t opcode;
  uint8_t subsystem;
  Handler handler;
};

constexpr CommandRow kCommands[] = {
    // op  sub  handler
    {32, 1, fetch_controller_attributes},
    {72, 1, read_pci_config},
    {171, 1, read_object},
    {172, 1, write_object},
    {6, 6, get_record},     // initiator name and alias
    {7, 6, set_record},
    {78, 1, get_record},    // configuration signature
    {79, 1, set_record},
    {91, 1, fetch_vpd},     // what the management library reads at start-up (startup_commands.cpp)
    {1, 1, mac_query},
    {147, 1, mac_list},
    {88, 1, start_management_service},
    {76, 1, oem_params},
    {113, 1, available_personalities},
    {121, 1, additional_attributes},
    {27, 6, add_persistent_target},   // the iSCSI initiator (iscsi_firmware.cpp, scsi_target.cpp)
    {28, 6, del_persistent_target},
    {29, 6, list_sessions},
    {14, 6, get_session},
    {16, 6, get_session_config},
    {17, 6, set_session_config},
    {24, 6, logout_session},
    {53, 6, set_boot_target},
    {59, 6, scsi_passthru},
    {27, 1, get_qos},
    {28, 1, set_qos},
    {6, 2, ping},
    {23, 6, login_target},   // logins and SendTargets discovery (discovery_firmware.cpp)
    {33, 6, send_targets},
    {34, 6, send_targets_more},
    {58, 1, get_fw_config},
    {30, 6, get_target_ids},
    {32, 6, get_target},
    {24, 2, get_interface_ids},   // the network of an iSCSI function (net_firmware.cpp)
    {25, 2, get_interface},
    {21, 2, modify_ip_entry},
    {22, 2, get_default_gateway},
    {23, 2, set_default_gateway},
    {17, 2, dhcp_on},
    {18, 2, dhcp_off},
    {14, 2, set_vlan},
    {10, 2, fetch_routes},
    {11, 2, save_route},
    {8, 2, fetch_arp},
    {9, 2, save_arp},
    {28, 2, get_discovery_params},
    {29, 2, set_discovery_params},
    {30, 2, get_node_params},
    {7, 2, get_nic_params},
    {5, 1, get_link_status},
    {46, 6, get_initiator_stats},
    {47, 6, get_login_stats},
    {48, 6, get_session_attributes},
    {7, 1, erase_or_flash},
    {169, 1, set_factory_profile},
    {102, 1, get_phy_details},   // what the port tree reads of each port (port_firmware.cpp)
    {77, 1, get_port_names},
    {8, 18, get_baset_stats},
    {68, 1, fat_command},   // trace data, event log and diagnostics (trace_firmware.cpp, diag_firmware.cpp)
    {125, 1, get_extfat},
    {126, 1, set_extfat},
    {127, 1, configure_snapshot},
    {128, 1, retrieve_snapshot},
    {130, 1, read_string_table},
    {63, 2, get_event_log},
    {62, 2, clear_event_log},
    {20, 11, get_loopback_mode},
    {19, 11, set_loopback_mode},
    {18, 11, loopback_test},
    {17, 11, ddr_dma_test},
    {73, 1, read_transceiver},
    {9, 18, run_self_test},
    {11, 18, run_tdr},
    {71, 1, get_port_state},     // the live port settings (port_firmware.cpp)
    {62, 1, set_port_state},
    {70, 1, get_beacon_state},
    {69, 1, set_beacon_state},
    {133, 1, get_tx_throttle},
    {132, 1, set_tx_throttle},
    {12, 18, get_nvp},
    {10, 18, set_nvp},
    {134, 1, get_link_speed},
    {57, 1, set_port_speed},
    {37, 1, get_common_flow_control},
    {205, 1, management_flow_control},
    {1, 16, get_dcbx_config},    // DCBX and LLDP (dcb_firmware.cpp)
    {2, 16, set_dcbx_config},
    {3, 16, get_dcbx_mib},
    {4, 16, get_dcbx_mode},
    {5, 16, set_dcbx_mode},
    {108, 1, get_operating_params},
    {1, 15, get_lldp_params},
    {2, 15, set_lldp_params},
    {3, 15, get_lldp_stats},
    {2, 19, ffv_params},   // the controller-wide settings (controller_firmware.cpp)
    {3, 19, read_fru_vpd},
    {86, 1, get_ncsi_attributes},
    {87, 1, set_ncsi_attributes},
    {164, 1, get_profile_config},   // profiles, link configurations, ARI, personalities (profile_firmware.cpp)
    {165, 1, set_profile_config},
    {166, 1, get_profile_list},
    {161, 1, get_profile_caps},
    {167, 1, get_active_profile},
    {168, 1, set_active_profile},
    {201, 1, get_link_reconfig},
    {202, 1, set_link_reconfig},
    {94, 1, get_ari},
    {95, 1, set_ari},
    {84, 1, get_reset_needed},
    {123, 1, get_mc_capabilities},
    {114, 1, get_configured_personality},
    {81, 1, get_vx_conf},
    {82, 1, set_vx_conf},
    {64, 1, get_vnic_stats},   // NIC function settings (nic_firmware.cpp)
    {120, 1, get_vnic_name},
    {66, 1, get_boot_config},
    {67, 1, set_boot_config},
    {83, 1, get_pci_func_mapping},
    {4, 21, oem_exec_config},
    {152, 1, get_switch_config},
    {153, 1, set_switch_config},
    {124, 1, set_switch_type},
    {6, 1, flash_crc},   // firmware update and core dump (flash_firmware.cpp, core_dump_firmware.cpp)
    {21, 11, get_coredump_props},
    {22, 11, get_coredump_comp_props},
    {23, 11, get_coredump_seg_props},
    {24, 11, get_coredump_seg},
};

}  // namespace

bool has_handler(uint8_t opcode, uint8_t subsystem) {
  return std::any_of(std::begin(kCommands), std::end(kCommands),
                     [&](const CommandRow& r) { return r.opcode == opcode && r.subsystem == subsystem; });
}

Answer run_command(Command& command) {
  if (refused_on_virtual_function(command)) return kAnswerNotForVirtualFunction;
  for (const CommandRow& row : kCommands) {
    if (row.opcode == command.opcode && row.subsystem == command.subsystem) return row.handler(command);
  }
  Answer echo;
  echo.length = command.payload.size();
  return echo;
}

std::vector<uint8_t> controller_attributes(const Adapter& a, const Function& f, bool nic) {
  std::vector<uint8_t> rec(kControllerAttributesSize, 0);
  put_text(rec, 32, 32, a.manufacturer);
  put_value<uint32_t>(rec, 64, a.capabilities);
  unsigned n[5];
  if (a.generation == 2 &&
      std::sscanf(a.ncsi_version.c_str(), "%u.%u.%u.%u-%u", &n[0], &n[1], &n[2], &n[3], &n[4]) == 5) {
    for (int i = 0; i < 5; ++i) put_value<uint16_t>(rec, 80 + 2 * i, static_cast<uint16_t>(n[i]));
  } else {
    put_text(rec, 80, 12, a.ncsi_version);
  }
  put_value<uint32_t>(rec, 92, a.default_eto);
  put_text(rec, 96, 32, a.model);
  put_text(rec, 128, 64, a.description);
  put_text(rec, 192, 32, a.serial_number);
  put_text(rec, 256, 32, a.firmware_active);
  put_text(rec, 288, 32, a.bios_version);
  put_text(rec, 320, 32, a.boot_code_version);
  put_text(rec, 352, 32, a.driver_version);
  put_text(rec, 384, 32, a.firmware_flash);
  put_value<uint16_t>(rec, 420, a.max_cdb_length);
  put_value<uint16_t>(rec, 440, a.ldto);
  rec[442] = a.iscsi_versions;
  rec[417] = a.diag.phy_loopback ? 1 : 0;   // bit 0: PHY loopback supported
  rec[445] = a.firmware_status;
  rec[447] = f.port;
  put_value<uint16_t>(rec, 500, a.vendor_id);
  put_value<uint16_t>(rec, 502, nic ? a.nic_device_id : a.device_id);
  put_value<uint16_t>(rec, 504, a.subsystem_vendor_id);
  put_value<uint16_t>(rec, 506, a.subsystem_device_id);
  rec[508] = a.bus;
  rec[509] = a.device;
  rec[510] = f.number;
  return rec;
}

std::vector<uint8_t> pci_config_space(const Adapter& a, const Function& f, bool nic) {
  std::vector<uint8_t> cs(kPciConfigSpaceSize, 0);
  put_value<uint16_t>(cs, 0x00, a.vendor_id);
  put_value<uint16_t>(cs, 0x02, nic ? a.nic_device_id : a.device_id);
  put_value<uint16_t>(cs, 0x04, 0x0406);   // memory space, bus master, no INTx
  put_value<uint16_t>(cs, 0x06, 0x0010);   // capability list present
  cs[0x08] = 0x01;                         // revision
  cs[0x0a] = 0x00;                         // subclass: Ethernet / SCSI
  cs[0x0b] = nic ? 0x02 : 0x01;            // class: network / mass storage
  cs[0x0e] = 0x80;                         // multi-function device
  put_value<uint16_t>(cs, 0x2c, a.subsystem_vendor_id);
  put_value<uint16_t>(cs, 0x2e, a.subsystem_device_id);
  cs[0x3d] = 0x01;                         // INTA
  // PCI Express capability; its link control/status dword sits at 164 on generation 4 and at 208
  // on the others, where the management software looks for it.
  const size_t cap = a.generation == 4 ? 0x94 : 0xC0;
  cs[0x34] = static_cast<uint8_t>(cap);
  cs[cap] = 0x10;
  put_value<uint16_t>(cs, cap + 0x02, 0x0002);   // version 2, endpoint
  put_value<uint32_t>(cs, cap + 0x0C, static_cast<uint32_t>(a.link_speed) | (static_cast<uint32_t>(a.link_width) << 4));
  put_value<uint16_t>(cs, cap + 0x12, static_cast<uint16_t>(a.link_speed | (a.link_width << 4)));
  (void)f;
  return cs;
}

}  // namespace vx::sim
