#include "sim/nic_firmware.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "access/flash_erase.h"
#include "adapter/nic_records.h"
#include "iscsi/net_records.h"
#include "iscsi/records.h"
#include "sim/iscsi_firmware.h"
#include "sim/live_state.h"

namespace vx::sim {
namespace {

constexpr Answer kAnswerNotSupported{66, 0, 0};
constexpr Answer kAnswerNoVnic{1, 30, 0};   // read by the library as "not supported by this firmware"
constexpr size_t kVfRecord = 16;

std::string function_file(const Command& c, const char* kind) {
  char name[64];
  std::snprintf(name, sizeof name, "records/%s-%03d.%02d.%d", kind, c.adapter.bus, c.adapter.device, c.function.number);
  return c.store.adapter_file(c.adapter.serial_number, name);
}

// A function's boot configuration and OEM execution configuration, as kept.
struct NicRecords {
  boot_config boot;
  oem_exec_cfg oem;
};

NicRecords factory_records(const Function& f) {
  NicRecords r{};
  r.boot.enabled = f.boot.enabled ? 1 : 0;
  r.boot.native_mode = f.boot.native_mode;
  r.boot.method = f.boot.method;
  std::memcpy(r.oem.volatile_mac, f.boot.volatile_mac.data(), sizeof r.oem.volatile_mac);
  r.oem.vlan_id = f.boot.vlan;
  r.oem.vlan_priority = f.boot.priority;
  return r;
}

// The kept records, or the factory's when none are (or they were erased); false when the file cannot
// be read.
bool parse_records(const Command& c, const std::string& content, NicRecords* out) {
  if (content.size() != sizeof(NicRecords)) {
    *out = factory_records(c.function);
    return true;
  }
  std::memcpy(out, content.data(), sizeof *out);
  return true;
}

bool read_records(const Command& c, NicRecords* out) {
  std::string content;
  if (c.store.read(function_file(c, "nic"), &content) == file_store::ReadResult::kFailed) return false;
  return parse_records(c, content, out);
}

template <typename Edit>
Answer update_records(Command& c, Edit edit) {
  const bool ok = c.store.update(function_file(c, "nic"), [&](std::string& content, bool) {
    NicRecords r{};
    parse_records(c, content, &r);
    edit(r);
    content.assign(reinterpret_cast<const char*>(&r), sizeof r);
    return true;
  });
  return ok ? echo(c) : kAnswerFlashFailure;
}

std::string switch_file(const Command& c) { return c.store.adapter_file(c.adapter.serial_number, "records/switch"); }

// The forwarding mode of each port: as kept, else the configuration's.
std::vector<uint8_t> forwarding_modes(const Command& c, const std::string& content) {
  std::vector<uint8_t> modes;
  for (size_t p = 0; p < c.adapter.port_settings.size(); ++p) {
    modes.push_back(p < content.size() ? static_cast<uint8_t>(content[p])
                                       : static_cast<uint8_t>(c.adapter.port_settings[p].forwarding));
  }
  return modes;
}

std::string vf_file(const Store& store, const Adapter& a, const Function& f) {
  char name[64];
  std::snprintf(name, sizeof name, "records/vfs-%03d.%02d.%d", a.bus, a.device, f.number);
  return store.adapter_file(a.serial_number, name);
}

std::vector<VirtualFunction> parse_vfs(const Function& f, const std::string& content) {
  if (content.empty() || content.size() % kVfRecord != 0) return f.virtual_functions;
  std::vector<VirtualFunction> table(content.size() / kVfRecord);
  for (size_t i = 0; i < table.size(); ++i) {
    const char* at = content.data() + kVfRecord * i;
    std::memcpy(table[i].mac.data(), at, 6);
    std::memcpy(&table[i].vlan, at + 6, 2);
    std::memcpy(&table[i].qos, at + 8, 2);
  }
  return table;
}

std::string vfs_content(const std::vector<VirtualFunction>& table) {
  std::string out(table.size() * kVfRecord, '\0');
  for (size_t i = 0; i < table.size(); ++i) {
    char* at = &out[kVfRecord * i];
    std::memcpy(at, table[i].mac.data(), 6);
    std::memcpy(at + 6, &table[i].vlan, 2);
    std::memcpy(at + 8, &table[i].qos, 2);
  }
  return out;
}

}  // namespace

Answer get_vnic_stats(Command& c) {
  const Vnic& v = c.function.vnic;
  if (!v.present) return kAnswerNoVnic;
  vnic_stats_record r{};
  r.outer_vlan = v.outer_vlan;
  r.min_bandwidth = v.min_bw;
  r.max_bandwidth = v.max_bw;
  return answer_record(c, &r, sizeof r);
}

Answer get_vnic_name(Command& c) {
  const Vnic& v = c.function.vnic;
  if (!v.present) return kAnswerNoVnic;
  vnic_name_record r{};
  r.enabled = v.enabled ? 1 : 0;
  std::memcpy(r.name, v.name.data(), std::min(v.name.size(), sizeof r.name - 1));
  return answer_record(c, &r, sizeof r);
}

Answer get_boot_config(Command& c) {
  NicRecords r{};
  if (!read_records(c, &r)) return kAnswerFlashFailure;
  return answer_record(c, &r.boot, sizeof r.boot);
}

Answer set_boot_config(Command& c) {
  if (c.payload.size() < sizeof(boot_config)) return kAnswerInvalidField;
  boot_config b{};
  std::memcpy(&b, c.payload.bytes(0, sizeof b).data(), sizeof b);
  return update_records(c, [&](NicRecords& r) { r.boot = b; });
}

Answer get_pci_func_mapping(Command& c) {
  uint8_t rec[kPciFuncMappingSize] = {};
  uint32_t bits = 0;
  for (const auto* list : {&c.adapter.iscsi_functions, &c.adapter.nic_functions}) {
    for (const Function& f : *list) {
      if (f.boot.rom_enabled) bits |= 1u << f.number;
    }
  }
  std::memcpy(rec + kExpansionRomBits, &bits, sizeof bits);
  return answer_record(c, rec, sizeof rec);
}

Answer oem_exec_config(Command& c) {
  if (c.payload.size() < sizeof(oem_exec_cfg)) return kAnswerInvalidField;
  oem_exec_cfg request{};
  std::memcpy(&request, c.payload.bytes(0, sizeof request).data(), sizeof request);
  if ((request.write_flags & kOemExecWrite) == 0) {
    NicRecords r{};
    if (!read_records(c, &r)) return kAnswerFlashFailure;
    return answer_record(c, &r.oem, sizeof r.oem);
  }
  // A write changes the fields it marks valid.
  return update_records(c, [&](NicRecords& r) {
    if ((request.valid & kOemExecMacValid) != 0) {
      std::memcpy(r.oem.volatile_mac, request.volatile_mac, sizeof request.volatile_mac);
    }
    if ((request.valid & kOemExecVlanValid) != 0) {
      r.oem.vlan_id = request.vlan_id;
      r.oem.vlan_priority = request.vlan_priority;
    }
  });
}

Answer get_switch_config(Command& c) {
  hsw_config_get request{};
  std::memcpy(&request, c.payload.bytes(0, sizeof request).data(), std::min<size_t>(c.payload.size(), sizeof request));
  std::string content;
  if (c.store.read(switch_file(c), &content) == file_store::ReadResult::kFailed) return kAnswerFlashFailure;
  const std::vector<uint8_t> modes = forwarding_modes(c, content);
  if (request.port >= modes.size()) return kAnswerInvalidField;
  if (modes[request.port] == 0) return kAnswerNotSupported;
  hsw_config_get r{};
  r.port = forwarding_word(modes[request.port]);
  return answer_record(c, &r, sizeof r);
}

Answer set_switch_config(Command& c) {
  if (c.payload.size() < sizeof(hsw_config_set)) return kAnswerInvalidField;
  hsw_config_set request{};
  std::memcpy(&request, c.payload.bytes(0, sizeof request).data(), sizeof request);
  const uint16_t mode = forwarding_mode(request.mode);
  if (request.port >= c.adapter.port_settings.size() || (mode != kForwardingVeb && mode != kForwardingVepa)) {
    return kAnswerInvalidField;
  }
  if (c.adapter.port_settings[request.port].forwarding == 0) return kAnswerNotSupported;
  const bool ok = c.store.update(switch_file(c), [&](std::string& content, bool) {
    const std::vector<uint8_t> modes = forwarding_modes(c, content);
    content.assign(modes.begin(), modes.end());
    content[request.port] = static_cast<char>(mode);
    return true;
  });
  return ok ? echo(c) : kAnswerFlashFailure;
}

Answer set_switch_type(Command& c) {
  if ((c.adapter.fw_config.function_mode & kFunctionModeSwitchType) == 0) return kAnswerNotSupported;
  return echo(c);
}

Answer erase_nic_or_port(Command& c, uint32_t area) {
  if (area == kEraseNic) {
    const bool ok = c.store.update(function_file(c, "nic"), [](std::string& content, bool) {
      content.clear();
      return true;
    });
    return ok ? echo(c) : kAnswerFlashFailure;
  }
  if (c.port_number >= c.adapter.port_settings.size()) return kAnswerInvalidField;
  const size_t port = c.port_number;
  const bool ok = c.store.update(switch_file(c), [&](std::string& content, bool) {
    std::vector<uint8_t> modes = forwarding_modes(c, content);
    modes[port] = static_cast<uint8_t>(c.adapter.port_settings[port].forwarding);
    content.assign(modes.begin(), modes.end());
    return true;
  });
  // The port's DCBX and LLDP administrator settings go back to the configuration's.
  const AdapterLive factory = factory_live(c.adapter);
  const bool live = ok && update_live(c.store, c.adapter, [&](AdapterLive& kept) {
    if (port >= kept.ports.size() || port >= factory.ports.size()) return false;
    kept.ports[port].dcbx[0] = factory.ports[port].dcbx[0];
    kept.ports[port].lldp = factory.ports[port].lldp;
    return true;
  });
  return live ? echo(c) : kAnswerFlashFailure;
}

std::optional<std::vector<VirtualFunction>> read_vf_table(const Store& store, const Adapter& adapter,
                                                          const Function& function) {
  std::string content;
  if (store.read(vf_file(store, adapter, function), &content) == file_store::ReadResult::kFailed) return std::nullopt;
  return parse_vfs(function, content);
}

bool update_vf(const Store& store, const Adapter& adapter, const Function& function, size_t index,
               const std::function<void(VirtualFunction&)>& edit) {
  return store.update(vf_file(store, adapter, function), [&](std::string& content, bool) {
    std::vector<VirtualFunction> table = parse_vfs(function, content);
    if (index >= table.size()) return false;
    edit(table[index]);
    content = vfs_content(table);
    return true;
  });
}

}  // namespace vx::sim
