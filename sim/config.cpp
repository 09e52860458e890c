#include "sim/config.h"
#include "sim/config_reader.h"

#include "access/wire.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <utility>


namespace vx::sim {
namespace {

struct GenerationRange {
  uint16_t first;
  uint16_t last;
  uint16_t generation;
};

constexpr GenerationRange kGenerations[] = {
    {0x0210, 0x0217, 2}, {0x0700, 0x0703, 2},
    {0x0220, 0x0227, 3}, {0x0710, 0x0710, 3}, {0x0712, 0x0712, 3}, {0x0714, 0x0714, 3},
    {0xE220, 0xE220, 4}, {0xE228, 0xE228, 4},
    {0x0720, 0x0720, 5}, {0x0722, 0x0723, 5}, {0x0728, 0x0728, 5},
    {0x0730, 0x0730, 6},
};

// Device IDs an adapter of a generation shows when the configuration names only the generation.
struct DefaultIds {
  uint16_t generation;
  uint16_t iscsi;
  uint16_t nic;
};
constexpr DefaultIds kDefaultIds[] = {
    {2, 0x0212, 0x0211}, {3, 0x0712, 0x0710}, {4, 0xE220, 0xE220}, {5, 0x0722, 0x0720}, {6, 0x0730, 0x0730},
};

constexpr const char* kDefaultManufacturer = "Quillmarchant Corp";
constexpr uint32_t kDefaultCapabilities = 0x13;   // TCP offload, raw Ethernet, iSCSI initiator
constexpr size_t kMaxObjectName = 103;
constexpr size_t kMaxFactoryObject = 1 << 20;

}  // namespace

// ---- readers shared with the other configuration files (sim/config_reader.h) -----------------------

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw ConfigError{where + ": " + what}; }

// Integers may be written as JSON numbers or as texts ("0x0712", "18").
uint64_t read_uint(const json& obj, const char* key, uint64_t fallback, uint64_t max, const std::string& where) {
  auto it = obj.find(key);
  if (it == obj.end() || it->is_null()) return fallback;
  uint64_t value = 0;
  if (it->is_number_unsigned()) {
    value = it->get<uint64_t>();
  } else if (it->is_number_integer()) {
    int64_t v = it->get<int64_t>();
    if (v < 0) fail(where, std::string(key) + " must not be negative");
    value = static_cast<uint64_t>(v);
  } else if (it->is_string()) {
    const std::string text = it->get<std::string>();
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-') fail(where, std::string(key) + " is not a number");
  } else {
    fail(where, std::string(key) + " must be a number");
  }
  if (value > max) fail(where, std::string(key) + " is out of range");
  return value;
}

bool has(const json& obj, const char* key) { return obj.contains(key) && !obj.at(key).is_null(); }

std::string read_text(const json& obj, const char* key, const std::string& fallback, size_t max_length,
                      const std::string& where) {
  auto it = obj.find(key);
  if (it == obj.end() || it->is_null()) return fallback;
  if (!it->is_string()) fail(where, std::string(key) + " must be a text");
  std::string text = it->get<std::string>();
  if (text.size() > max_length) fail(where, std::string(key) + " is longer than " + std::to_string(max_length));
  if (text.find('\0') != std::string::npos) fail(where, std::string(key) + " holds a NUL");
  return text;
}

// Octets of one or two hexadecimal digits each, separated by ':' or '-' ("00:1f:4e:30:00:02").
template <size_t N>
std::array<uint8_t, N> parse_octets(const std::string& text, const char* what, const std::string& where) {
  std::array<uint8_t, N> out{};
  size_t at = 0;
  for (size_t i = 0; i < N; ++i) {
    size_t digits = 0;
    unsigned value = 0;
    for (; digits < 2 && at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at])); ++digits, ++at) {
      value = value * 16 + static_cast<unsigned>(std::stoi(std::string(1, text[at]), nullptr, 16));
    }
    const bool separated = i + 1 == N ? at == text.size() : at < text.size() && (text[at] == ':' || text[at] == '-');
    if (digits == 0 || !separated) fail(where, std::string("bad ") + what + " \"" + text + "\"");
    out[i] = static_cast<uint8_t>(value);
    ++at;
  }
  return out;
}

Mac parse_mac(const std::string& text, const std::string& where) { return parse_octets<6>(text, "MAC address", where); }

std::string parse_hex(const std::string& text, const std::string& where) {
  std::string out;
  int high = -1;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) fail(where, "flash object content is not hexadecimal");
    int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) fail(where, "flash object content has an odd number of digits");
  if (out.size() > kMaxFactoryObject) fail(where, "flash object is too large");
  return out;
}

namespace {

bool safe_directory_name(const std::string& s) {
  if (s.empty() || s == "." || s == "..") return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
  });
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Names given to functions that the configuration leaves unnamed: numbered across all adapters.
struct NameCounters {
  int vmhba = 33;
  int vmnic = 0;
};

bool read_bool(const json& obj, const char* key, bool fallback, const std::string& where);

// The keys both kinds of function take: vNIC, link parameters, QoS, boot, boot VLAN, volatile MAC.
void read_function_settings(const json& obj, Function& f, const std::string& where) {
  if (has(obj, "vnic")) {
    const json& v = obj.at("vnic");
    const std::string at = where + ".vnic";
    if (!v.is_object()) fail(at, "must be an object");
    f.vnic.present = true;
    f.vnic.enabled = read_bool(v, "enabled", true, at);
    f.vnic.name = read_text(v, "name", "", 87, at);
    f.vnic.outer_vlan = static_cast<uint32_t>(read_uint(v, "outer_vlan", 0, 4095, at));
    f.vnic.min_bw = static_cast<uint32_t>(read_uint(v, "min_bw", 0, 100, at));
    f.vnic.max_bw = static_cast<uint32_t>(read_uint(v, "max_bw", 100, 100, at));
  }
  if (has(obj, "link_params")) {
    const json& l = obj.at("link_params");
    if (!l.is_object()) fail(where, "link_params must be an object");
    f.speed = static_cast<uint8_t>(read_uint(l, "mac_speed", f.speed, 0xFF, where + ".link_params"));
    f.qos_speed = static_cast<uint16_t>(read_uint(l, "qos_link_speed", f.qos_speed, 0xFFFF, where + ".link_params"));
  }
  f.qos_max_bps = static_cast<uint32_t>(read_uint(obj, "qos_max_bps", 0, 0xFFFFFFFFu, where));
  if (has(obj, "boot")) {
    const json& b = obj.at("boot");
    const std::string at = where + ".boot";
    if (!b.is_object()) fail(at, "must be an object");
    f.boot.enabled = read_bool(b, "enabled", false, at);
    const std::string method = read_text(b, "method", "PXE", 4, at);
    if (method != "PXE" && method != "iBFT") fail(at, "method must be \"PXE\" or \"iBFT\"");
    f.boot.method = method == "PXE" ? 1 : 2;
    f.boot.native_mode = static_cast<uint8_t>(read_uint(b, "native_mode", 0, 0xFF, at));
    f.boot.rom_enabled = read_bool(b, "rom_enabled", true, at);
  }
  if (has(obj, "boot_vlan")) {
    const json& v = obj.at("boot_vlan");
    if (!v.is_object()) fail(where, "boot_vlan must be an object");
    f.boot.vlan = static_cast<uint16_t>(read_uint(v, "id", 0, 4095, where + ".boot_vlan"));
    f.boot.priority = static_cast<uint8_t>(read_uint(v, "priority", 0, 7, where + ".boot_vlan"));
  }
  if (has(obj, "volatile_mac")) f.boot.volatile_mac = parse_mac(read_text(obj, "volatile_mac", "", 17, where), where);
}

Function read_function(const json& obj, const Adapter& adapter, bool iscsi, NameCounters& names,
                       const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  Function f;
  if (!has(obj, "function")) fail(where, "function is missing");
  f.number = static_cast<uint8_t>(read_uint(obj, "function", 0, kMaxFunctionNumber, where));
  f.port = static_cast<uint8_t>(read_uint(obj, "port", 0, kMaxPorts - 1, where));
  if (f.port >= adapter.ports) fail(where, "port is beyond the adapter's ports");
  std::string fallback = iscsi ? "vmhba" + std::to_string(names.vmhba) : "vmnic" + std::to_string(names.vmnic);
  f.name = read_text(obj, "name", fallback, kMaxNameLength, where);
  if (iscsi) {
    ++names.vmhba;
  } else {
    int n = vmnic_index(f.name);
    names.vmnic = std::max(names.vmnic + 1, n + 1);
  }
  if (has(obj, "mac")) {
    if (!obj.at("mac").is_string()) fail(where, "mac must be a text");
    f.mac = parse_mac(obj.at("mac").get<std::string>(), where);
  } else {
    f.mac = Mac{0x02, 0x00, adapter.bus, adapter.device, f.number, static_cast<uint8_t>(iscsi ? 1 : 0)};
  }
  read_function_settings(obj, f, where);
  if (iscsi) {
    if (has(obj, "iscsi_node")) f.iscsi_node = static_cast<int>(read_uint(obj, "iscsi_node", 0, 127, where));
    f.mtu = static_cast<uint16_t>(read_uint(obj, "mtu", 9000, 0xFFFF, where));
    const std::string link = read_text(obj, "link", "up", 4, where);
    if (link != "up" && link != "down") fail(where, "link must be \"up\" or \"down\"");
    f.link_up = link == "up";
    f.speed = static_cast<uint8_t>(read_uint(obj, "speed", f.speed, 8, where));
    f.qos_speed = static_cast<uint16_t>(read_uint(obj, "qos_speed", f.qos_speed, 0xFFFF, where));
    return f;
  }
  f.mtu = static_cast<uint16_t>(read_uint(obj, "mtu", 1500, 0xFFFF, where));
  f.link_down_reason = static_cast<uint8_t>(read_uint(obj, "link_down_reason", 0, 0xFF, where));
  if (has(obj, "virtual_functions")) {
    const json& vfs = obj.at("virtual_functions");
    if (vfs.is_number()) {
      uint64_t n = read_uint(obj, "virtual_functions", 0, kMaxVirtualFunctions, where);
      for (uint64_t i = 0; i < n; ++i) {
        VirtualFunction vf;
        vf.mac = Mac{0x02, 0x01, adapter.bus, adapter.device, f.number, static_cast<uint8_t>(i)};
        f.virtual_functions.push_back(vf);
      }
    } else if (vfs.is_array()) {
      if (vfs.size() > kMaxVirtualFunctions) fail(where, "too many virtual functions");
      for (size_t i = 0; i < vfs.size(); ++i) {
        const std::string at = where + ".virtual_functions[" + std::to_string(i) + "]";
        if (!vfs[i].is_object()) fail(at, "must be an object");
        VirtualFunction vf;
        vf.mac = Mac{0x02, 0x01, adapter.bus, adapter.device, f.number, static_cast<uint8_t>(i)};
        if (has(vfs[i], "mac")) {
          if (!vfs[i].at("mac").is_string()) fail(at, "mac must be a text");
          vf.mac = parse_mac(vfs[i].at("mac").get<std::string>(), at);
        }
        vf.vlan = static_cast<uint16_t>(read_uint(vfs[i], "vlan", 0, 4095, at));
        vf.qos = static_cast<uint16_t>(read_uint(vfs[i], "qos", 0, 0xFFFF, at));
        f.virtual_functions.push_back(vf);
      }
    } else {
      fail(where, "virtual_functions must be a count or a list");
    }
  }
  return f;
}

void read_ids(const json& obj, Adapter& a, const std::string& where) {
  const json empty = json::object();
  const json& pci = obj.contains("pci") ? obj.at("pci") : empty;
  if (!pci.is_object()) fail(where, "pci must be an object");
  const std::string at = where + ".pci";
  bool has_generation = has(obj, "generation");
  uint16_t generation = static_cast<uint16_t>(read_uint(obj, "generation", kUnknownGeneration, 0xFFFF, where));
  const DefaultIds* defaults = nullptr;
  for (const auto& d : kDefaultIds) {
    if (d.generation == generation) defaults = &d;
  }
  if (!has(pci, "device_id")) {
    if (defaults == nullptr) fail(where, "needs a known generation or pci.device_id");
    a.device_id = defaults->iscsi;
  } else {
    a.device_id = static_cast<uint16_t>(read_uint(pci, "device_id", 0, 0xFFFF, at));
  }
  if (has(pci, "nic_device_id")) {
    a.nic_device_id = static_cast<uint16_t>(read_uint(pci, "nic_device_id", 0, 0xFFFF, at));
  } else {
    a.nic_device_id = (defaults != nullptr && !has(pci, "device_id")) ? defaults->nic : a.device_id;
  }
  a.generation = generation_of_device(a.device_id);
  if (has_generation && (a.generation != generation || generation_of_device(a.nic_device_id) != generation)) {
    fail(where, "the PCI device IDs do not belong to generation " + std::to_string(generation));
  }
  a.vendor_id = static_cast<uint16_t>(read_uint(pci, "vendor_id", vx::wire::kMakerVendorIds[0], 0xFFFF, at));
  a.subsystem_vendor_id = static_cast<uint16_t>(read_uint(pci, "subsystem_vendor_id", a.vendor_id, 0xFFFF, at));
  a.subsystem_device_id = static_cast<uint16_t>(read_uint(pci, "subsystem_device_id", a.device_id, 0xFFFF, at));
  a.bus = static_cast<uint8_t>(read_uint(pci, "bus", 0, 0xFF, at));
  a.device = static_cast<uint8_t>(read_uint(pci, "device", 0, 31, at));
  a.link_speed = static_cast<uint8_t>(read_uint(pci, "link_speed", 2, 7, at));
  a.link_width = static_cast<uint8_t>(read_uint(pci, "link_width", 8, 63, at));
}

// ---- port settings ------------------------------------------------------------------------------------

constexpr const char* kSpeedNames[] = {"10Mb", "100Mb", "1Gb", "10Gb", "20Gb", "40Gb"};
constexpr const char* kDcbxRecordKeys[kDcbxRecords] = {"admin", "operational", "peer"};
constexpr size_t kMaxAppTlvEntry = 14;
constexpr size_t kMaxFruBytes = 1280;   // both blocks the library reads

const json& list_of(const json& obj, const char* key, const std::string& where);

uint16_t read_speeds(const json& obj, const char* key, const std::string& where) {
  if (!has(obj, key)) return 0x0C;   // 1Gb and 10Gb
  const json& list = obj.at(key);
  if (!list.is_array()) fail(where, std::string(key) + " must be a list of speeds");
  uint16_t bits = 0;
  for (const json& speed : list) {
    const auto* found = speed.is_string() ? std::find(std::begin(kSpeedNames), std::end(kSpeedNames), speed.get<std::string>())
                                          : std::end(kSpeedNames);
    if (found == std::end(kSpeedNames)) fail(where, std::string(key) + " holds an unknown speed");
    bits = static_cast<uint16_t>(bits | (1u << (found - std::begin(kSpeedNames))));
  }
  return bits;
}

struct PersonalityName {
  const char* name;
  uint32_t bit;
};
constexpr PersonalityName kPersonalityNames[] = {
    {"NIC", kPersonalityNic}, {"iSCSI", kPersonalityIscsi}, {"FCoE", kPersonalityFcoe}, {"RDMA", kPersonalityRdma}};
constexpr size_t kMaxPersonalitiesText = 511;   // what the 512-byte answer holds with its NUL

uint32_t read_personalities(const json& list, const std::string& where) {
  if (!list.is_array()) fail(where, "personality_bits must be a list");
  uint32_t bits = 0;
  for (const json& item : list) {
    const auto* known = item.is_string() ? std::find_if(std::begin(kPersonalityNames), std::end(kPersonalityNames),
                                                         [&](const PersonalityName& p) { return item == p.name; })
                                         : std::end(kPersonalityNames);
    if (known == std::end(kPersonalityNames)) fail(where, "personality_bits takes NIC, iSCSI, FCoE and RDMA");
    bits |= known->bit;
  }
  return bits;
}

std::vector<AppTlv> read_app_tlvs(const json& record, const std::string& where) {
  std::vector<AppTlv> tlvs;
  if (!record.is_object()) fail(where, "must be an object");
  const json& list = list_of(record, "app_tlvs", where);
  std::set<int> entries;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string at = where + ".app_tlvs[" + std::to_string(i) + "]";
    if (!list[i].is_object()) fail(at, "must be an object");
    if (!has(list[i], "entry")) fail(at, "entry is missing");
    AppTlv t;
    t.entry = static_cast<uint8_t>(read_uint(list[i], "entry", 0, kMaxAppTlvEntry, at));
    if (!entries.insert(t.entry).second) fail(at, "entry " + std::to_string(t.entry) + " is used twice");
    t.selector = static_cast<uint8_t>(read_uint(list[i], "selector", 0, 1, at));
    t.protocol = static_cast<uint16_t>(read_uint(list[i], "protocol", 0, 0xFFFF, at));
    t.priorities = static_cast<uint8_t>(read_uint(list[i], "priorities", 0, 0xFF, at));
    t.oui = static_cast<uint32_t>(read_uint(list[i], "oui", 0x001b21, 0xFFFFFFFFu, at));
    tlvs.push_back(t);
  }
  return tlvs;
}

// ---- live port and adapter settings (sim/live_state.h keeps what writes change) ---------------------

struct NamedBit {
  const char* name;
  uint32_t bit;
};
constexpr NamedBit kFeatureFlags[] = {{"enabled", 1u << 0},  {"advertise", 1u << 1},        {"willing", 1u << 2},
                                      {"synced", 1u << 3},   {"not_operational", 1u << 30}, {"error", 1u << 31}};
constexpr NamedBit kLldpTlvs[] = {{"port_description", 1}, {"system_name", 2}, {"system_description", 4},
                                  {"system_capabilities", 8}};
constexpr const char* kDcbxModeNames[] = {"CEE", "CIN", "Auto-CEE", "Auto-IEEE"};
constexpr size_t kMaxLldpText = 255;

uint32_t read_bits(const json& obj, const char* key, const NamedBit* names, size_t count, uint32_t fallback,
                   const std::string& where) {
  if (!has(obj, key)) return fallback;
  const json& list = obj.at(key);
  if (!list.is_array()) fail(where, std::string(key) + " must be a list of names");
  uint32_t bits = 0;
  for (const json& item : list) {
    const NamedBit* found = nullptr;
    for (size_t i = 0; i < count && item.is_string(); ++i) {
      if (item.get<std::string>() == names[i].name) found = &names[i];
    }
    if (found == nullptr) fail(where, std::string(key) + " holds an unknown name");
    bits |= found->bit;
  }
  return bits;
}

bool read_bool(const json& obj, const char* key, bool fallback, const std::string& where) {
  if (!has(obj, key)) return fallback;
  if (!obj.at(key).is_boolean()) fail(where, std::string(key) + " must be true or false");
  return obj.at(key).get<bool>();
}

std::array<uint8_t, 8> read_eight(const json& obj, const char* key, uint8_t max, const std::string& where) {
  std::array<uint8_t, 8> out{};
  if (!has(obj, key)) return out;
  const json& list = obj.at(key);
  if (!list.is_array() || list.size() != out.size()) fail(where, std::string(key) + " must list 8 numbers");
  for (size_t i = 0; i < out.size(); ++i) {
    const json item = json{{"v", list[i]}};
    out[i] = static_cast<uint8_t>(read_uint(item, "v", 0, max, where + "." + key));
  }
  return out;
}

DcbxRecordSettings read_dcbx_record(const json& obj, const std::string& where) {
  DcbxRecordSettings r;
  const size_t flags = std::size(kFeatureFlags);
  r.pg_flags = read_bits(obj, "pg", kFeatureFlags, flags, 0, where);
  r.pfc_flags = read_bits(obj, "pfc", kFeatureFlags, flags, 0, where);
  r.app_flags = read_bits(obj, "app", kFeatureFlags, flags, 0, where);
  r.qcn_flags = read_bits(obj, "qcn", kFeatureFlags, flags, 0, where);
  r.bandwidth = read_eight(obj, "bandwidth", 255, where);
  r.groups = read_eight(obj, "groups", 15, where);
  r.pfc_priorities = static_cast<uint8_t>(read_uint(obj, "pfc_priorities", 0, 0xFF, where));
  r.num_pgs = static_cast<uint8_t>(read_uint(obj, "num_pgs", 3, 0xFF, where));
  r.cnpv = static_cast<uint8_t>(read_uint(obj, "cnpv", 0, 0xFF, where));
  r.ready = static_cast<uint8_t>(read_uint(obj, "ready", 0, 0xFF, where));
  return r;
}

LldpSettings read_lldp_side(const json& obj, bool local, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  LldpSettings l;
  if (!local) l.switches = 0;
  l.switches = static_cast<uint8_t>((read_bool(obj, "tx", (l.switches & 1) != 0, where) ? 1 : 0) |
                                    (read_bool(obj, "rx", (l.switches & 2) != 0, where) ? 2 : 0));
  l.tlvs = static_cast<uint8_t>(read_bits(obj, "tlvs", kLldpTlvs, std::size(kLldpTlvs), local ? 0x0F : 0, where));
  l.chassis_id = read_text(obj, "chassis_id", "", kMaxLldpText, where);
  l.chassis_type = static_cast<uint32_t>(read_uint(obj, "chassis_type", 0, 0xFFFFFFFFu, where));
  l.port_id = read_text(obj, "port_id", "", kMaxLldpText, where);
  l.port_type = static_cast<uint32_t>(read_uint(obj, "port_type", 0, 0xFFFFFFFFu, where));
  l.ttl = static_cast<uint32_t>(read_uint(obj, "ttl", 0, 0xFFFFFFFFu, where));
  l.capabilities = static_cast<uint32_t>(read_uint(obj, "capabilities", 0, 0xFFFFFFFFu, where));
  l.system_name = read_text(obj, "system_name", "", kMaxLldpText, where);
  l.system_description = read_text(obj, "system_description", "", kMaxLldpText, where);
  l.port_description = read_text(obj, "port_description", "", kMaxLldpText, where);
  return l;
}

void read_port_live(const json& obj, PortSettings& p, const std::string& where) {
  const std::string state = read_text(obj, "state", "Enabled", 8, where);
  if (state != "Enabled" && state != "Disabled") fail(where, "state must be \"Enabled\" or \"Disabled\"");
  p.enabled = state == "Enabled";
  if (has(obj, "link_speed")) p.link_speed = static_cast<int>(read_uint(obj, "link_speed", 0, 0xFF, where));
  p.speed_code = static_cast<uint16_t>(read_uint(obj, "speed_code", 0, 0xFFFF, where));
  p.dac_length = static_cast<uint16_t>(read_uint(obj, "dac_length", 0, 0xFFFF, where));
  const std::string beacon = read_text(obj, "beacon", "off", 11, where);
  if (beacon != "off" && beacon != "on" && beacon != "unsupported") {
    fail(where, "beacon must be \"off\", \"on\" or \"unsupported\"");
  }
  p.beacon = beacon == "on" ? kBeaconOn : beacon == "off" ? kBeaconOff : kBeaconUnsupported;
  p.tx_throttle = static_cast<uint32_t>(read_uint(obj, "tx_throttle", 2, 0xFFFFFFFFu, where));
  if (has(obj, "nvp") && obj.at("nvp").is_string() && obj.at("nvp").get<std::string>() == "unsupported") {
    p.nvp = kNvpUnsupported;
  } else {
    p.nvp = static_cast<int64_t>(read_uint(obj, "nvp", 72, 0xFFFFFFFFu, where));
  }
  if (has(obj, "flow_control")) {
    const json& fc = obj.at("flow_control");
    if (!fc.is_object()) fail(where, "flow_control must be an object");
    p.flow_tx = read_bool(fc, "tx", true, where + ".flow_control");
    p.flow_rx = read_bool(fc, "rx", true, where + ".flow_control");
  }
  p.operating_mode = static_cast<uint8_t>(read_uint(obj, "operating_mode", 1, 7, where));
  if (has(obj, "lldp")) {
    const json& lldp = obj.at("lldp");
    if (!lldp.is_object()) fail(where, "lldp must be an object");
    const json empty = json::object();
    p.lldp_local = read_lldp_side(lldp.contains("local") ? lldp.at("local") : empty, true, where + ".lldp.local");
    p.lldp_peer = read_lldp_side(lldp.contains("peer") ? lldp.at("peer") : empty, false, where + ".lldp.peer");
    const json& stats = lldp.contains("stats") ? lldp.at("stats") : empty;
    if (!stats.is_object()) fail(where, "lldp.stats must be an object");
    const std::string at = where + ".lldp.stats";
    p.lldp_stats = LldpCounters{static_cast<uint32_t>(read_uint(stats, "tx", 0, 0xFFFFFFFFu, at)),
                                static_cast<uint32_t>(read_uint(stats, "rx", 0, 0xFFFFFFFFu, at)),
                                static_cast<uint32_t>(read_uint(stats, "dropped", 0, 0xFFFFFFFFu, at)),
                                static_cast<uint32_t>(read_uint(stats, "unrecognized", 0, 0xFFFFFFFFu, at)),
                                static_cast<uint32_t>(read_uint(stats, "organizational", 0, 0xFFFFFFFFu, at))};
  }
  if (!has(obj, "dcbx")) return;
  const json& dcbx = obj.at("dcbx");
  p.dcbx_enabled = read_bool(dcbx, "enabled", true, where + ".dcbx");
  p.dcbx_v1 = read_bool(dcbx, "v1", true, where + ".dcbx");
  p.mirror_admin = read_bool(dcbx, "mirror_admin", false, where + ".dcbx");
  const std::string mode = read_text(dcbx, "mode", "Auto-IEEE", 9, where + ".dcbx");
  const auto* known = std::find(std::begin(kDcbxModeNames), std::end(kDcbxModeNames), mode);
  if (known == std::end(kDcbxModeNames)) fail(where, "dcbx.mode must be CEE, CIN, Auto-CEE or Auto-IEEE");
  p.dcbx_mode = static_cast<uint8_t>(known - std::begin(kDcbxModeNames));
  for (int r = 0; r < kDcbxRecords; ++r) {
    if (has(dcbx, kDcbxRecordKeys[r])) {
      p.dcbx[r] = read_dcbx_record(dcbx.at(kDcbxRecordKeys[r]), where + ".dcbx." + kDcbxRecordKeys[r]);
    }
  }
}

// An NC-SI configuration block: port swap (static only), MACs, wake-on-LAN bytes, VLAN id.
std::array<uint8_t, 28> read_ncsi_block(const json& obj, bool with_swap, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  std::array<uint8_t, 28> b{};
  if (with_swap) b[0] = static_cast<uint8_t>(read_uint(obj, "port_swap", 0, 0xFF, where));
  const Mac mac0 = has(obj, "mac0") ? parse_mac(read_text(obj, "mac0", "", 17, where), where) : Mac{};
  const Mac mac1 = has(obj, "mac1") ? parse_mac(read_text(obj, "mac1", "", 17, where), where) : Mac{};
  std::copy(mac0.begin(), mac0.end(), b.begin() + 1);
  b[7] = static_cast<uint8_t>(read_uint(obj, "wol0", 0, 0xFF, where));
  std::copy(mac1.begin(), mac1.end(), b.begin() + 8);
  b[14] = static_cast<uint8_t>(read_uint(obj, "wol1", 0, 0xFF, where));
  const uint16_t vlan = static_cast<uint16_t>(read_uint(obj, "vlan", 0, 0xFFFF, where));
  std::memcpy(b.data() + 16, &vlan, sizeof vlan);
  return b;
}

void read_adapter_live(const json& obj, Adapter& a, const std::string& where) {
  if (has(obj, "ffv_name")) a.ffv_name = read_text(obj, "ffv_name", "", 32, where);
  if (has(obj, "fru_vpd")) {
    a.fru_vpd = parse_hex(read_text(obj, "fru_vpd", "", 2 * kMaxFruBytes + 512, where), where);
    if (a.fru_vpd.size() > kMaxFruBytes) fail(where, "fru_vpd is longer than the FRU");
  }
  if (!has(obj, "ncsi")) return;
  const json& ncsi = obj.at("ncsi");
  const std::string at = where + ".ncsi";
  if (!ncsi.is_object()) fail(at, "must be an object");
  a.ncsi.state = static_cast<uint8_t>(read_uint(ncsi, "state", 0, 0xFF, at));
  a.ncsi.handshake = static_cast<uint8_t>(read_uint(ncsi, "handshake", 0, 0xFF, at));
  const json empty = json::object();
  a.ncsi.static_block = read_ncsi_block(ncsi.contains("static") ? ncsi.at("static") : empty, true, at + ".static");
  a.ncsi.dynamic_block = read_ncsi_block(ncsi.contains("dynamic") ? ncsi.at("dynamic") : empty, false, at + ".dynamic");
}

PortSettings read_port(const json& obj, int port, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  PortSettings p;
  const std::string name = read_text(obj, "name", std::string(1, static_cast<char>('0' + port)), 1, where);
  if (name.size() != 1) fail(where, "name must be one character");
  p.name = name[0];
  p.phy_type = static_cast<uint16_t>(read_uint(obj, "phy_type", 0x20, 0xFFFF, where));
  p.interface_type = static_cast<uint16_t>(read_uint(obj, "interface_type", 3, 0xFFFF, where));
  p.phy_signature = static_cast<uint16_t>(read_uint(obj, "phy_signature", 0xFEEC, 0xFFFF, where));
  p.an_speeds = read_speeds(obj, "an_speeds", where);
  p.force_speeds = read_speeds(obj, "force_speeds", where);
  if (has(obj, "baset_stats_v1")) {
    if (!obj.at("baset_stats_v1").is_boolean()) fail(where, "baset_stats_v1 must be true or false");
    p.baset_stats_v1 = obj.at("baset_stats_v1").get<bool>();
  }
  read_port_diagnostics(obj, p, where);
  const std::string forwarding = read_text(obj, "forwarding", "VEB", 16, where);
  if (forwarding != "VEB" && forwarding != "VEPA" && forwarding != "unsupported") {
    fail(where, "forwarding must be \"VEB\", \"VEPA\" or \"unsupported\"");
  }
  p.forwarding = forwarding == "VEB" ? 2 : forwarding == "VEPA" ? 3 : 0;
  read_port_live(obj, p, where);
  if (has(obj, "dcbx")) {
    const json& dcbx = obj.at("dcbx");
    if (!dcbx.is_object()) fail(where, "dcbx must be an object");
    for (int r = 0; r < kDcbxRecords; ++r) {
      if (has(dcbx, kDcbxRecordKeys[r])) {
        p.app_tlvs[r] = read_app_tlvs(dcbx.at(kDcbxRecordKeys[r]), where + ".dcbx." + kDcbxRecordKeys[r]);
      }
    }
  }
  return p;
}

// Entry i of "port_settings" is physical port i; ports without an entry take the defaults.
void read_port_settings(const json& obj, Adapter& a, const std::string& where) {
  const json& list = list_of(obj, "port_settings", where);
  if (list.size() > static_cast<size_t>(a.ports)) fail(where, "port_settings has more entries than ports");
  const json empty = json::object();
  for (int port = 0; port < a.ports; ++port) {
    const size_t i = static_cast<size_t>(port);
    a.port_settings.push_back(
        read_port(i < list.size() ? list[i] : empty, port, where + ".port_settings[" + std::to_string(port) + "]"));
  }
}

constexpr const char* kVersionKeys[kVersionTexts] = {"fcoe_universal", "fcoe_x86_bios", "fcoe_efi",   "fcoe_fcode",
                                                     "uefi_bios",      "uefi_nic",      "uefi_fcode", "uefi_iscsi"};

AdditionalAttributes read_additional(const json& obj, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  AdditionalAttributes a;
  a.ipl_file_no = static_cast<uint16_t>(read_uint(obj, "ipl_file_no", 0, 0xFFFF, where));
  a.ipl_suffix = static_cast<uint8_t>(read_uint(obj, "ipl_suffix", 0, 0xFF, where));
  a.ipl_file_name = read_text(obj, "ipl_file_name", "", 88, where);
  a.temperature = static_cast<uint8_t>(read_uint(obj, "temperature", 0, 0xFF, where));
  if (has(obj, "wwpn")) a.wwpn = parse_octets<8>(read_text(obj, "wwpn", "", 23, where), "WWPN", where);
  a.phy_firmware = read_text(obj, "phy_firmware", "", 160, where);
  a.phy_config_id = read_text(obj, "phy_config_id", "", 8, where);
  if (has(obj, "versions")) {
    const json& versions = obj.at("versions");
    if (!versions.is_object()) fail(where, "versions must be an object");
    for (int i = 0; i < kVersionTexts; ++i) a.versions[i] = read_text(versions, kVersionKeys[i], "", 32, where + ".versions");
  }
  return a;
}

// ---- profiles, link configurations, ARI, multichannel and the older configuration blocks ----------

struct Named {
  const char* name;
  uint8_t code;
};
constexpr Named kProtocolCodes[] = {{"NIC", 1}, {"iSCSI", 2}, {"FCoE", 4}};
constexpr Named kRoleBits[] = {{"NIC", 1}, {"iSCSI", 2}, {"FCoE", 4}, {"RoCE", 8}};
constexpr Named kCapabilityTypes[] = {{"NIC", 145}, {"iSCSI", 146}, {"FCoE", 147}, {"RoCE", 148}};
constexpr Named kMcTypes[] = {{"None", 1}, {"ZMC", 2}, {"HPFlex", 3}, {"vNIC1", 4}, {"NPAR", 5},
                              {"UFP", 6},  {"vNIC2", 7}, {"HPFlexQBG", 8}, {"HPZMC", 10}};
constexpr Named kSriovStates[] = {{"Disabled", 0}, {"Enabled", 1}, {"N/A", 2}};
constexpr Named kMcCapabilities[] = {{"ZMC", 0}, {"NPAR", 3}, {"vNIC1", 4}, {"vNIC2", 5}, {"UFP", 6},
                                     {"HPFlexQBG", 7}, {"HPZMC", 9}, {"HPFlex", 10}};
constexpr Named kLegacyTypes[] = {{"NIC", 0}, {"iSCSI", 1}, {"FCoE", 2}};
constexpr size_t kMaxProfileDescriptors = (22620 - 4) / 88;
constexpr size_t kProfileDescriptionMax = 511;

template <size_t N>
uint8_t named(const json& value, const Named (&table)[N], const std::string& what, const std::string& where) {
  if (value.is_string()) {
    for (const Named& n : table) {
      if (value.get<std::string>() == n.name) return n.code;
    }
  }
  fail(where, what + " " + value.dump() + " is unknown");
}

template <size_t N>
uint8_t named_key(const json& obj, const char* key, uint8_t fallback, const Named (&table)[N], const std::string& where) {
  return has(obj, key) ? named(obj.at(key), table, key, where) : fallback;
}

ProfileFunction read_profile_function(const json& obj, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  ProfileFunction f;
  f.pf = static_cast<uint16_t>(read_uint(obj, "pf", 0, 0x3FF, where));
  f.link = static_cast<uint8_t>(read_uint(obj, "link", 0, 63, where));
  f.protocol = named_key(obj, "protocol", 1, kProtocolCodes, where);
  f.state = static_cast<uint8_t>(read_uint(obj, "state", 1, 0xFF, where));
  if (has(obj, "mac")) f.mac = parse_mac(read_text(obj, "mac", "", 17, where), where);
  f.roles = 0;
  for (const json& role : list_of(obj, "roles", where)) f.roles = static_cast<uint8_t>(f.roles | named(role, kRoleBits, "role", where));
  if (!has(obj, "roles")) f.roles = f.protocol;
  f.sriov = named_key(obj, "sriov", 0, kSriovStates, where);
  f.sriov_changeable = read_bool(obj, "sriov_changeable", true, where);
  f.roce = read_bool(obj, "roce", false, where);
  f.min_bw = static_cast<uint32_t>(read_uint(obj, "min_bw", 0, 100, where));
  f.max_bw = static_cast<uint32_t>(read_uint(obj, "max_bw", 100, 100, where));
  f.lpvid = static_cast<uint16_t>(read_uint(obj, "lpvid", 2, 4094, where));
  f.outer_vlan = static_cast<uint16_t>(read_uint(obj, "outer_vlan", 0, 4094, where));
  f.link_disabled = read_bool(obj, "link_disabled", false, where);
  f.vf_template = read_bool(obj, "vf_template", false, where);
  f.vfs = static_cast<uint16_t>(read_uint(obj, "vfs", 0, 0xFFFF, where));
  return f;
}

ProfileConfiguration read_profile_configuration(const json& obj, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  ProfileConfiguration c;
  for (const json& p : list_of(obj, "protocols", where)) c.protocols.push_back(named(p, kCapabilityTypes, "protocol", where));
  const json& ports = list_of(obj, "ports", where);
  for (size_t i = 0; i < ports.size(); ++i) {
    const std::string at = where + ".ports[" + std::to_string(i) + "]";
    if (!ports[i].is_object()) fail(at, "must be an object");
    ProfilePort p;
    p.link = static_cast<uint8_t>(read_uint(ports[i], "link", i, 63, at));
    const json& mc = has(ports[i], "mc_type") ? ports[i].at("mc_type") : json("None");
    p.mc_type = mc.is_string() ? named(mc, kMcTypes, "mc_type", at) : static_cast<uint8_t>(read_uint(ports[i], "mc_type", 0, 0xFF, at));
    p.max_pf = static_cast<uint16_t>(read_uint(ports[i], "max_pf", 0, 0xFFF, at));
    const json empty = json::object();
    const json& counts = has(ports[i], "counts") ? ports[i].at("counts") : empty;
    if (!counts.is_object()) fail(at, "counts must be an object");
    p.storage = static_cast<uint16_t>(read_uint(counts, "storage", 0, 0xFFF, at));
    p.nic = static_cast<uint16_t>(read_uint(counts, "nic", 0, 0xFFF, at));
    p.roce = static_cast<uint16_t>(read_uint(counts, "roce", 0, 0xFFF, at));
    p.iscsi = static_cast<uint16_t>(read_uint(counts, "iscsi", 0, 0xFFF, at));
    p.fcoe = static_cast<uint16_t>(read_uint(counts, "fcoe", 0, 0xFFF, at));
    c.ports.push_back(p);
  }
  const json& functions = list_of(obj, "functions", where);
  std::set<uint16_t> numbers;
  size_t descriptors = c.ports.size();
  for (size_t i = 0; i < functions.size(); ++i) {
    const std::string at = where + ".functions[" + std::to_string(i) + "]";
    c.functions.push_back(read_profile_function(functions[i], at));
    if (!numbers.insert(c.functions.back().pf).second) fail(at, "pf is used twice");
    descriptors += c.functions.back().roce ? 3 : 2;
  }
  if (descriptors > kMaxProfileDescriptors) fail(where, "more descriptors than a profile configuration holds");
  return c;
}

// "profiles" and "link_configurations": a list of ids and descriptions, the active, next and factory ids.
ProfileModel read_choices(const json& obj, const char* key, size_t description_size, const std::string& where) {
  ProfileModel m;
  if (!has(obj, key)) return m;
  const json& o = obj.at(key);
  const std::string at = where + "." + key;
  if (!o.is_object()) fail(at, "must be an object");
  m.present = true;
  const json& list = list_of(o, "list", at);
  if (list.size() > 255) fail(at, "more than 255 entries");
  std::set<uint8_t> ids;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string item = at + ".list[" + std::to_string(i) + "]";
    if (!list[i].is_object()) fail(item, "must be an object");
    ProfileEntry e;
    e.id = static_cast<uint8_t>(read_uint(list[i], "id", 0, 255, item));
    if (e.id == 0 || !ids.insert(e.id).second) fail(item, "id must be 1 to 255 and unique");
    e.description = read_text(list[i], "description", "", description_size, item);
    e.link_config_profile = static_cast<uint8_t>(read_uint(list[i], "profile", 0, 255, item));
    m.list.push_back(e);
  }
  const uint8_t first = m.list.empty() ? 0 : m.list.front().id;
  m.active = static_cast<uint8_t>(read_uint(o, "active", first, 255, at));
  m.next = static_cast<uint8_t>(read_uint(o, "next", m.active, 255, at));
  m.factory = static_cast<uint8_t>(read_uint(o, "factory", first, 255, at));
  if (has(o, "configurations")) {
    const json& configs = o.at("configurations");
    if (!configs.is_object()) fail(at, "configurations must be an object");
    for (auto it = configs.begin(); it != configs.end(); ++it) {
      char* end = nullptr;
      const unsigned long id = std::strtoul(it.key().c_str(), &end, 10);
      if (*end != '\0' || id == 0 || id > 255) fail(at, "configurations are keyed by profile id");
      m.configurations.emplace_back(static_cast<uint8_t>(id),
                                    read_profile_configuration(it.value(), at + ".configurations." + it.key()));
    }
  }
  return m;
}

void read_profile_keys(const json& obj, Adapter& a, const std::string& where) {
  a.profiles = read_choices(obj, "profiles", kProfileDescriptionMax, where);
  a.link_configurations = read_choices(obj, "link_configurations", 31, where);
  if (has(obj, "ari")) {
    const json& o = obj.at("ari");
    const std::string at = where + ".ari";
    if (!o.is_object()) fail(at, "must be an object");
    a.ari.present = true;
    a.ari.next_max = static_cast<uint8_t>(read_uint(o, "next_max", 7, 255, at));
    a.ari.ipl_max = static_cast<uint8_t>(read_uint(o, "ipl_max", 15, 255, at));
    a.ari.active_max = static_cast<uint8_t>(read_uint(o, "active_max", a.ari.next_max, 255, at));
    a.ari.settable = read_bool(o, "settable", true, at);
  }
  for (const json& name : list_of(obj, "mc_capabilities", where)) {
    named(name, kMcCapabilities, "multichannel mode", where);
    a.mc_capabilities.push_back(name.get<std::string>());
  }
  if (has(obj, "fw_config")) {
    const json& o = obj.at("fw_config");
    const std::string at = where + ".fw_config";
    if (!o.is_object()) fail(at, "must be an object");
    a.fw_config.asic_revision = static_cast<uint8_t>(read_uint(o, "asic_revision", 0, 0xFF, at));
    a.fw_config.function_caps = static_cast<uint8_t>(read_uint(o, "function_caps", 0, 0xFF, at));
    a.fw_config.function_mode = static_cast<uint32_t>(read_uint(o, "function_mode", 0, 0xFFFFFFFFu, at));
  }
  a.configured_personality = read_text(obj, "configured_personality", "", 8, where);
  const json& legacy = list_of(obj, "legacy_functions", where);
  if (legacy.size() > 16) fail(where, "more than 16 legacy_functions");
  for (size_t i = 0; i < legacy.size(); ++i) {
    const std::string at = where + ".legacy_functions[" + std::to_string(i) + "]";
    if (!legacy[i].is_object()) fail(at, "must be an object");
    LegacyFunction f;
    f.pf = static_cast<uint8_t>(read_uint(legacy[i], "pf", 0, kMaxFunctionNumber, at));
    f.type = named_key(legacy[i], "type", 0, kLegacyTypes, at);
    f.state = static_cast<uint8_t>(read_uint(legacy[i], "state", 0, 0xFF, at));
    const uint8_t sriov = named_key(legacy[i], "sriov", 2, kSriovStates, at);
    f.sriov = sriov == 2 ? 255 : sriov;
    a.legacy_functions.push_back(f);
  }
}

Adapter read_adapter(const json& obj, NameCounters& names, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  Adapter a;
  read_ids(obj, a, where);
  a.serial_number = read_text(obj, "serial_number", "", kMaxNameLength, where);
  if (!safe_directory_name(a.serial_number)) fail(where, "serial_number must be letters, digits, '.', '_' or '-'");
  a.ports = static_cast<int>(read_uint(obj, "ports", 2, kMaxPorts, where));
  if (a.ports < 1) fail(where, "needs at least one port");
  a.model = read_text(obj, "model", "Brightlane", 31, where);
  a.description = read_text(obj, "description", "", 63, where);
  a.manufacturer = read_text(obj, "manufacturer", kDefaultManufacturer, 31, where);
  a.driver_version = read_text(obj, "driver_version", "", 31, where);
  a.ncsi_version = read_text(obj, "ncsi_version", "", 11, where);
  a.initiator_name = read_text(obj, "initiator_name", "iqn.1990-07.com.quillmarchant:" + lower(a.serial_number), 223, where);
  a.firmware_status = static_cast<uint8_t>(read_uint(obj, "firmware_status", 0, 0xFF, where));
  a.capabilities = static_cast<uint32_t>(read_uint(obj, "capabilities", kDefaultCapabilities, 0xFFFFFFFF, where));
  a.default_eto = static_cast<uint32_t>(read_uint(obj, "default_eto", 10, 0xFFFFFFFF, where));
  a.ldto = static_cast<uint16_t>(read_uint(obj, "ldto", 20, 0xFFFF, where));
  a.max_cdb_length = static_cast<uint16_t>(read_uint(obj, "max_cdb_length", 16, 0xFFFF, where));
  a.iscsi_versions = static_cast<uint8_t>(read_uint(obj, "iscsi_versions", 0, 0xFF, where));
  a.max_targets = static_cast<uint32_t>(read_uint(obj, "max_targets", kDefaultMaxTargets, 0xFFFF, where));
  if (has(obj, "virtual_function")) {
    if (!obj.at("virtual_function").is_boolean()) fail(where, "virtual_function must be true or false");
    a.virtual_function = obj.at("virtual_function").get<bool>();
  }
  a.oem_serial_number = read_text(obj, "oem_serial_number", a.serial_number, 23, where);
  a.route_limit = static_cast<uint32_t>(read_uint(obj, "route_limit", 16, 999, where));
  read_port_settings(obj, a, where);
  read_adapter_live(obj, a, where);
  a.personality_word = static_cast<uint32_t>(read_uint(obj, "personality_word", 0, 0xFFFFFFFFu, where));
  if (has(obj, "personality_bits")) a.personality_bits = read_personalities(obj.at("personality_bits"), where);
  if (has(obj, "available_personalities")) {
    a.available_personalities = read_text(obj, "available_personalities", "", kMaxPersonalitiesText, where);
  }
  if (has(obj, "additional_attributes")) {
    a.additional = read_additional(obj.at("additional_attributes"), where + ".additional_attributes");
  }
  read_diagnostics(obj, a, where);
  read_profile_keys(obj, a, where);
  read_maintenance(obj, a, where);

  const json empty = json::object();
  const json& fw = obj.contains("firmware") ? obj.at("firmware") : empty;
  if (!fw.is_object()) fail(where, "firmware must be an object");
  const std::string fw_at = where + ".firmware";
  a.firmware_active = read_text(fw, "active", "", 31, fw_at);
  a.firmware_flash = read_text(fw, "flash", a.firmware_active, 31, fw_at);
  a.bios_version = read_text(fw, "bios", "", 31, fw_at);
  a.boot_code_version = read_text(fw, "boot_code", "", 31, fw_at);

  std::set<int> numbers;
  for (const char* kind : {"iscsi_functions", "nic_functions"}) {
    if (!has(obj, kind)) continue;
    const json& list = obj.at(kind);
    if (!list.is_array()) fail(where, std::string(kind) + " must be a list");
    bool iscsi = kind[0] == 'i';
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = where + "." + kind + "[" + std::to_string(i) + "]";
      Function f = read_function(list[i], a, iscsi, names, at);
      if (!numbers.insert(f.number).second) fail(at, "PCI function " + std::to_string(f.number) + " is used twice");
      (iscsi ? a.iscsi_functions : a.nic_functions).push_back(f);
    }
  }

  if (has(obj, "flash_objects")) {
    const json& objects = obj.at("flash_objects");
    if (!objects.is_object()) fail(where, "flash_objects must be an object");
    for (auto it = objects.begin(); it != objects.end(); ++it) {
      const std::string at = where + ".flash_objects." + it.key();
      if (it.key().empty() || it.key().size() > kMaxObjectName) fail(at, "bad object name");
      if (!it.value().is_string()) fail(at, "content must be a hexadecimal text");
      a.flash_objects.emplace_back(it.key(), parse_hex(it.value().get<std::string>(), at));
    }
  }
  return a;
}

void check_across_adapters(Config& config) {
  std::set<std::pair<int, int>> addresses;
  std::set<std::string> serials;
  std::set<int> nodes;
  int next_node = 0;
  int with_nic = 0;
  for (size_t i = 0; i < config.adapters.size(); ++i) {
    Adapter& a = config.adapters[i];
    const std::string where = "adapters[" + std::to_string(i) + "]";
    if (!addresses.insert({a.bus, a.device}).second) fail(where, "another adapter has the same PCI bus and device");
    if (!serials.insert(a.serial_number).second) fail(where, "another adapter has the same serial_number");
    // The NIC driver's chip inventory has room for eight chips.
    if (!a.nic_functions.empty() && ++with_nic > 8) fail(where, "more than 8 adapters with NIC functions");
    for (Function& f : a.iscsi_functions) {
      if (f.iscsi_node < 0) f.iscsi_node = next_node;
      if (f.iscsi_node > 127) fail(where, "iSCSI node numbers end at 127");
      if (!nodes.insert(f.iscsi_node).second) fail(where, "iSCSI node " + std::to_string(f.iscsi_node) + " is used twice");
      next_node = f.iscsi_node + 1;
    }
  }
}

// ---- the remote world ---------------------------------------------------------------------------------

NetAddress read_address(const json& obj, const std::string& where) {
  NetAddress a;
  const std::string text = read_text(obj, "address", "", 64, where);
  if (!parse_net_address(text, &a)) fail(where, "bad address \"" + text + "\"");
  return a;
}

Chap read_chap(const json& obj, const char* key, const std::string& where) {
  const json& c = obj.at(key);
  const std::string at = where + "." + key;
  if (!c.is_object()) fail(at, "must be an object");
  Chap chap{read_text(c, "name", "", 255, at), read_text(c, "secret", "", 255, at)};
  if (chap.name.empty() || chap.secret.empty()) fail(at, "needs a name and a secret");
  return chap;
}

std::vector<std::string> read_names(const json& obj, const std::string& where) {
  std::vector<std::string> names;
  if (!has(obj, "targets")) return names;
  const json& list = obj.at("targets");
  if (!list.is_array()) fail(where, "targets must be a list");
  for (const json& n : list) {
    if (!n.is_string()) fail(where, "targets must be names");
    names.push_back(n.get<std::string>());
  }
  return names;
}

const json& list_of(const json& obj, const char* key, const std::string& where) {
  static const json kEmpty = json::array();
  if (!has(obj, key)) return kEmpty;
  if (!obj.at(key).is_array()) fail(where, std::string(key) + " must be a list");
  return obj.at(key);
}

RemoteTarget read_target(const json& obj, const std::string& where) {
  if (!obj.is_object()) fail(where, "must be an object");
  RemoteTarget t;
  t.name = read_text(obj, "name", "", kMaxIscsiName, where);
  if (t.name.empty()) fail(where, "name is missing");
  t.alias = read_text(obj, "alias", "", 31, where);
  const json& portals = list_of(obj, "portals", where);
  if (portals.empty() || portals.size() > kMaxPortalsPerTarget) fail(where, "needs 1 to 16 portals");
  for (size_t i = 0; i < portals.size(); ++i) {
    const std::string at = where + ".portals[" + std::to_string(i) + "]";
    if (!portals[i].is_object()) fail(at, "must be an object");
    RemotePortal p;
    p.address = read_address(portals[i], at);
    p.port = static_cast<uint16_t>(read_uint(portals[i], "port", 3260, 0xFFFF, at));
    p.group_tag = static_cast<uint16_t>(read_uint(portals[i], "group_tag", 1, 0xFFFF, at));
    t.portals.push_back(p);
  }
  if ((t.has_chap = has(obj, "chap"))) t.chap = read_chap(obj, "chap", where);
  if ((t.has_mutual_chap = has(obj, "mutual_chap"))) t.mutual_chap = read_chap(obj, "mutual_chap", where);
  const std::string digest = read_text(obj, "digest", "either", 16, where);
  if (digest == "either") {
    t.digest = Digest::kEither;
  } else if (digest == "none") {
    t.digest = Digest::kNone;
  } else if (digest == "crc32c") {
    t.digest = Digest::kCrc32c;
  } else {
    fail(where, "digest must be \"none\", \"crc32c\" or \"either\"");
  }
  const json& luns = list_of(obj, "luns", where);
  if (luns.size() > kMaxLunsPerTarget) fail(where, "more than 1024 LUNs");
  std::set<uint32_t> numbers;
  for (size_t i = 0; i < (luns.empty() ? 1 : luns.size()); ++i) {
    const std::string at = where + ".luns[" + std::to_string(i) + "]";
    const json empty = json::object();
    const json& l = luns.empty() ? empty : luns[i];
    if (!l.is_object()) fail(at, "must be an object");
    RemoteLun lun;
    lun.number = static_cast<uint32_t>(read_uint(l, "lun", i, kMaxLunNumber, at));
    lun.blocks = read_uint(l, "blocks", 2097152, (1ull << 48), at);
    lun.block_size = static_cast<uint32_t>(read_uint(l, "block_size", 512, 4096, at));
    if (lun.blocks == 0) fail(at, "needs at least one block");
    if (lun.block_size != 512 && lun.block_size != 1024 && lun.block_size != 2048 && lun.block_size != 4096) {
      fail(at, "block_size must be 512, 1024, 2048 or 4096");
    }
    lun.vendor = read_text(l, "vendor", "QMC", 8, at);
    lun.product = read_text(l, "product", "VDISK", 16, at);
    lun.serial = read_text(l, "serial", (t.alias.empty() ? "LUN" : t.alias + "-") + std::to_string(lun.number), 200, at);
    if (!numbers.insert(lun.number).second) fail(at, "LUN " + std::to_string(lun.number) + " is used twice");
    t.luns.push_back(lun);
  }
  return t;
}

Dhcp read_dhcp(const json& obj, const std::string& where) {
  Dhcp d;
  parse_net_address("10.0.0.100", &d.first_address);
  parse_net_address("10.0.0.1", &d.gateway);
  parse_net_address("fd00::", &d.ipv6_prefix);
  if (!has(obj, "dhcp")) return d;
  const json& o = obj.at("dhcp");
  const std::string at = where + ".dhcp";
  if (!o.is_object()) fail(at, "must be an object");
  auto v4 = [&](const char* key, NetAddress* out) {
    if (!has(o, key)) return;
    const std::string text = read_text(o, key, "", 15, at);
    if (!parse_net_address(text, out) || out->type != 1) fail(at, std::string(key) + " must be an IPv4 address");
  };
  v4("first_address", &d.first_address);
  v4("gateway", &d.gateway);
  NetAddress mask;
  parse_net_address("255.255.255.0", &mask);
  v4("subnet_mask", &mask);
  std::copy_n(mask.bytes.begin(), 4, d.subnet_mask.begin());
  d.lease = static_cast<uint32_t>(read_uint(o, "lease", 86400, 0xFFFFFFFFu, at));
  if (has(o, "ipv6_prefix")) {
    const std::string text = read_text(o, "ipv6_prefix", "", 39, at);
    if (!parse_net_address(text, &d.ipv6_prefix) || d.ipv6_prefix.type != 16) fail(at, "ipv6_prefix must be an IPv6 address");
  }
  return d;
}

Network read_network(const json& obj) {
  const std::string where = "network";
  if (!obj.is_object()) fail(where, "must be an object");
  Network n;
  n.dhcp = read_dhcp(obj, where);
  const json& targets = list_of(obj, "targets", where);
  if (targets.size() > kMaxRemoteTargets) fail(where, "more than 256 targets");
  std::set<std::string> names;
  for (size_t i = 0; i < targets.size(); ++i) {
    n.targets.push_back(read_target(targets[i], where + ".targets[" + std::to_string(i) + "]"));
    if (!names.insert(lower(n.targets.back().name)).second) fail(where, "two targets are named " + n.targets.back().name);
  }
  auto resolve = [&](std::vector<std::string>& list, const std::string& at) {
    for (const std::string& name : list) {
      if (names.count(lower(name)) == 0) fail(at, "no target is named " + name);
    }
    if (list.empty()) {
      for (const RemoteTarget& t : n.targets) list.push_back(t.name);
    }
  };
  const json& portals = list_of(obj, "discovery_portals", where);
  for (size_t i = 0; i < portals.size(); ++i) {
    const std::string at = where + ".discovery_portals[" + std::to_string(i) + "]";
    if (!portals[i].is_object()) fail(at, "must be an object");
    DiscoveryPortal p;
    p.address = read_address(portals[i], at);
    p.port = static_cast<uint16_t>(read_uint(portals[i], "port", 3260, 0xFFFF, at));
    p.targets = read_names(portals[i], at);
    resolve(p.targets, at);
    p.page_size = static_cast<uint32_t>(read_uint(portals[i], "page_size", kDefaultPageSize, kMaxRemoteTargets, at));
    if (p.page_size == 0) fail(at, "page_size must be at least 1");
    if ((p.has_chap = has(portals[i], "chap"))) p.chap = read_chap(portals[i], "chap", at);
    n.discovery_portals.push_back(p);
  }
  const json& servers = list_of(obj, "isns_servers", where);
  for (size_t i = 0; i < servers.size(); ++i) {
    const std::string at = where + ".isns_servers[" + std::to_string(i) + "]";
    if (!servers[i].is_object()) fail(at, "must be an object");
    IsnsServer s;
    s.address = read_address(servers[i], at);
    s.port = static_cast<uint16_t>(read_uint(servers[i], "port", 3205, 0xFFFF, at));
    s.targets = read_names(servers[i], at);
    resolve(s.targets, at);
    n.isns_servers.push_back(s);
  }
  return n;
}

}  // namespace

bool parse_net_address(const std::string& text, NetAddress* out) {
  NetAddress a;
  const bool v6 = text.find(':') != std::string::npos;
  if (::inet_pton(v6 ? AF_INET6 : AF_INET, text.c_str(), a.bytes.data()) != 1) return false;
  a.type = v6 ? 16 : 1;
  *out = a;
  return true;
}

const RemoteTarget* Network::find(const std::string& name) const {
  for (const RemoteTarget& t : targets) {
    if (t.name.size() == name.size() && ::strncasecmp(t.name.c_str(), name.c_str(), name.size()) == 0) return &t;
  }
  return nullptr;
}

const DiscoveryPortal* Network::discovery_portal(const NetAddress& address, uint16_t port) const {
  for (const DiscoveryPortal& p : discovery_portals) {
    if (p.address == address && p.port == port) return &p;
  }
  return nullptr;
}

bool Network::reachable(const NetAddress& address) const {
  for (const RemoteTarget& t : targets) {
    for (const RemotePortal& p : t.portals) {
      if (p.address == address) return true;
    }
  }
  for (const DiscoveryPortal& p : discovery_portals) {
    if (p.address == address) return true;
  }
  for (const IsnsServer& s : isns_servers) {
    if (s.address == address) return true;
  }
  return false;
}

uint16_t generation_of_device(uint16_t device_id) {
  for (const auto& row : kGenerations) {
    if (device_id >= row.first && device_id <= row.last) return row.generation;
  }
  return kUnknownGeneration;
}

uint32_t personality_bits_of(const Adapter& a) {
  if (a.personality_bits) return *a.personality_bits;
  return (a.nic_functions.empty() ? 0 : kPersonalityNic) | (a.iscsi_functions.empty() ? 0 : kPersonalityIscsi);
}

std::string available_personalities_of(const Adapter& a) {
  if (a.available_personalities) return *a.available_personalities;
  std::string names;
  for (const PersonalityName& p : kPersonalityNames) {
    if ((personality_bits_of(a) & p.bit) != 0) names += (names.empty() ? "" : "/") + std::string(p.name);
  }
  return names;
}

const ProfileConfiguration* ProfileModel::configuration(uint8_t id) const {
  for (const auto& [number, c] : configurations) {
    if (number == id) return &c;
  }
  return nullptr;
}

int vmnic_index(const std::string& name) {
  if (name.size() < 6 || name.compare(0, 5, "vmnic") != 0) return -1;
  int n = 0;
  for (size_t i = 5; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 100000) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

bool parse_config(const std::string& text, Config* out, std::string* error) {
  try {
    json doc = json::parse(text);
    if (!doc.is_object()) fail("configuration", "must be a JSON object");
    Config config;
    if (has(doc, "adapters")) {
      const json& list = doc.at("adapters");
      if (!list.is_array()) fail("configuration", "adapters must be a list");
      if (list.size() > static_cast<size_t>(kMaxAdapters)) fail("configuration", "more than 16 adapters");
      NameCounters names;
      for (size_t i = 0; i < list.size(); ++i) {
        config.adapters.push_back(read_adapter(list[i], names, "adapters[" + std::to_string(i) + "]"));
      }
    }
    check_across_adapters(config);
    config.network = read_network(has(doc, "network") ? doc.at("network") : json::object());
    *out = std::move(config);
    return true;
  } catch (const ConfigError& e) {
    *error = e.text;
  } catch (const std::exception& e) {
    *error = std::string("configuration: ") + e.what();
  }
  return false;
}

bool load_config(const std::string& path, Config* out, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parse_config(text.str(), out, error);
}

}  // namespace vx::sim
