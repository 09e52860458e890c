// The profile list, each profile's protocols, the ports and functions of the active and configured
// profiles; the function-number limits, RoCE and functions per port.
#include "adapter/profiles.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/oem_attribs.h"
#include "adapter/pending_profile.h"
#include "engine/messages.h"
#include "iscsi/lookups.h"
#include "schema/names_controller.h"
#include "schema/names_services.h"
#include "schema/profile.h"

namespace vx {

using namespace controller;
using namespace services;

namespace {

constexpr const char* kNotAvailable = "N/A";
constexpr uint32_t kGenerationUnreadable = 1;
constexpr size_t kAriSize = 4;
constexpr uint8_t kAriSettableBit = 0x80;
constexpr size_t kActiveProfileSize = 4;
constexpr size_t kMaxCapabilities = 64;
constexpr int kMaxFunctionsPerPort = 64;

uint8_t header_byte(int32_t value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

// The cached value of a property into the caller's buffer.
uint32_t answer(hm_node* prop, char* buf) {
  hm_property* p = property_data(prop);
  if (p == nullptr || buf == nullptr) return kStatusFailed;
  copy_property_value(p, buf);
  return kStatusOk;
}

uint32_t not_on_virtual_function(hm_node* prop, char* buf) {
  SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
  answer(prop, buf);
  return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
}

bool legacy_generation(uint32_t generation) {
  return generation == kGeneration2 || generation == kGeneration3 || generation == kGenerationQuenta;
}

std::string mac_text(const uint8_t* mac) {
  char text[24];
  std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
  return text;
}

std::string function_text(uint16_t pf) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", pf);
  return text;
}

const char* protocol_name(uint8_t type) {
  switch (type) {
    case kDescNic: return "NIC";
    case kDescIscsi: return "iSCSI";
    case kDescFcoe: return "FCoE";
    default: return "RoCE";
  }
}

bool is_protocol_descriptor(uint8_t type) { return type == kDescNic || type == kDescIscsi || type == kDescFcoe; }

// The raw 10-bit number at bytes 6-7 of any descriptor long enough to have them.
uint16_t raw_function_number(const ResourceDescriptor& d) {
  return d.length >= 8 ? static_cast<uint16_t>((d.bytes[6] | (d.bytes[7] << 8)) & 0x3FF) : 0;
}

hm_node* profile_management(hm_node* controller) {
  return controller != nullptr ? internal_get_node(controller, kGroupProfileManagement, kGroup) : nullptr;
}

// The first Function of `port` whose Protocol is NIC and whose FunctionNumber is `number`.
hm_node* nic_function(hm_node* port, const std::string& number) {
  for (hm_node* f = get_first_instance(port, kGroupProfileFunction); f != nullptr; f = next_instance(f)) {
    char protocol[kValueSize];
    char text[kValueSize];
    if (read_property(f, kPropProtocol, protocol) && read_property(f, kPropFunctionNumber, text) &&
        ::strcasecmp(protocol, "NIC") == 0 && ::strcasecmp(text, number.c_str()) == 0) {
      return f;
    }
  }
  return nullptr;
}

// What one port's function walk needs besides the profile.
struct PortWalk {
  hm_node* controller;
  hm_node* port;
  uint8_t link;
  uint8_t config_type;
  uint8_t profile_id;
  uint8_t active_max_pf_id;   // active profile only
  int max_pf_count;
  bool configured;
  std::string line_prefix;    // configured profile: "serial,bus,profile,MCType"
  std::vector<std::string>* lines;
};

// The Function instances of one port of the active or configured profile; for the configured one
// also the port's lines of the pending-choices file.
uint32_t enumerate_port_functions(const PortWalk& w) {
  ProfileReply reply = fetch_profile(w.controller, w.config_type, w.profile_id, 0);
  if (reply == nullptr) return kStatusFailed;
  const std::vector<ResourceDescriptor> all = descriptors_of(reply.get());
  if (all.empty() || w.max_pf_count <= 0) return kStatusOk;
  uint8_t pf_state = 0;
  std::string sriov = kNotAvailable;
  // A RoCE descriptor ahead of every NIC, iSCSI and FCoE descriptor goes with link 0.
  int kept_link = 0;
  int created = 0;
  for (const ResourceDescriptor& d : all) {
    if (!w.configured && w.active_max_pf_id != 0 && raw_function_number(d) > w.active_max_pf_id) break;
    if (d.type == kDescPciFunction) {
      pf_state = desc_pf_state(d);
      const uint8_t state = desc_sriov_state(d);
      sriov = !desc_sriov_state_chg(d) ? kNotAvailable : state == 0 ? "Disabled" : state == 1 ? "Enabled" : kNotAvailable;
    } else if (is_protocol_descriptor(d.type) || d.type == kDescRoce) {
      const bool roce = d.type == kDescRoce;
      if (!roce) kept_link = desc_link_number(d);
      const bool ours = (roce ? kept_link : desc_link_number(d)) == w.link && !desc_vf_template(d);
      const std::string number = function_text(desc_pf_number(d));
      const bool on = pf_state == 1 || w.configured;
      hm_node* upgraded = roce && ours ? get_first_instance(w.port, kGroupProfileFunction) : nullptr;
      if (upgraded != nullptr) {
        upgraded = nic_function(w.port, number);
        if (upgraded != nullptr) {
          set_prop_val(upgraded, kPropProtocol, "%s", on ? "NIC+RoCE" : "None");
          if (w.configured) w.lines->push_back(w.line_prefix + "," + number + ",NIC+RoCE," + sriov);
        }
      } else if (ours) {
        hm_node* f = w.configured ? initialize_ConfiguredProfile_Port_Function(w.port, nullptr, nullptr, nullptr)
                                  : initialize_ActiveProfile_Port_Function(w.port, nullptr, nullptr, nullptr);
        if (f == nullptr) {
          pdebug(kBackEnd, 2, "%s:Failed to initialize Function group.\n", __func__);
          return kStatusFailed;
        }
        ++created;
        set_prop_val(f, kPropProtocol, "%s", on ? protocol_name(d.type) : "None");
        set_prop_val(f, kPropFunctionNumber, "%s", number.c_str());
        // A function made from a RoCE descriptor has no MAC of its own: the builder's stays.
        if (!roce) set_prop_val(f, kPropMACAddress, "%s", mac_text(desc_mac(d)).c_str());
        if (w.configured) {
          set_prop_val(f, kPropSRIOVState, "%s", sriov.c_str());
          set_prop_val(f, kPropState, "%s", pf_state == 1 ? "Enabled" : "Disabled");
          if (!roce) w.lines->push_back(w.line_prefix + "," + number + "," + protocol_name(d.type) + "," + sriov);
        }
      }
    }
    if (created >= w.max_pf_count) break;
  }
  return kStatusOk;
}

// The ARI settings of a controller: 0, 213 (no ARI), or the command's other status.
uint32_t read_ari(hm_node* controller, uint8_t out[kAriSize]) {
  ControllerAddress a;
  std::memset(out, 0, kAriSize);
  if (!controller_address(controller, &a)) return kStatusFailed;
  return ioctl_get_ari_settings(a.handle, out, a.domain, a.port_number, a.path);
}

// The three ARI properties of ConfiguredProfile: `byte` of the answer, shown by `show`.
uint32_t ari_property(hm_node* prop, char* buf, size_t byte, bool settable) {
  if (vm_flag != 0) return not_on_virtual_function(prop, buf);
  hm_node* controller = controller_above(prop);
  const uint32_t generation = controller != nullptr ? get_vx_type(controller) : kGenerationUnreadable;
  if (generation == kGenerationUnreadable) return kStatusFailed;
  if (legacy_generation(generation)) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
    return answer(prop, buf);
  }
  uint8_t ari[kAriSize];
  const uint32_t status = read_ari(controller, ari);
  if (status == kStatusNoResource) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
  } else if (status != 0) {
    return refuse(kStatusGetAriFailed, msg::kGetAriFailed);
  } else if (settable) {
    SET_CACHE_PROP_VAL(prop, "%s", (ari[3] & kAriSettableBit) != 0 ? "Yes" : "No");
  } else {
    SET_CACHE_PROP_VAL(prop, "%u", ari[byte]);
  }
  return answer(prop, buf);
}

}  // namespace

// ---- addressing ---------------------------------------------------------------------------------

bool controller_address(hm_node* controller, ControllerAddress* out) {
  hm_node* phba = first_phba(controller);
  if (phba == nullptr) return false;
  out->handle = get_port_number(phba);
  out->domain = header_byte(get_domain_id(phba));
  out->port_number = header_byte(get_phba_port_number(phba));
  out->adapter = instance_number(controller);
  out->path = static_cast<int32_t>(get_the_protocol(out->adapter));
  return true;
}

bool profile_capable(uint32_t generation) { return generation != kGenerationUnreadable && !legacy_generation(generation); }

hm_node* controller_above(hm_node* node) {
  for (int steps = 0; node != nullptr && node->tag != 0 && steps < kPathLevels; ++steps, node = node->parent) {
    if (node->kind == kGroup && instance_info(node) != nullptr && std::strcmp(node->name, kGroupVexalon) == 0) {
      return node;
    }
  }
  return nullptr;
}

const char* profile_mc_type_text(uint8_t mc_type) {
  static constexpr const char* kTexts[] = {"None", "None", "ZMC", "HPFLEX", "vNIC1", "NPAR", "UFP", "vNIC2", "HPFlEXQBG",
                                           nullptr, "HPZMC"};
  return mc_type < sizeof kTexts / sizeof kTexts[0] ? kTexts[mc_type] : nullptr;
}

// ---- fetching a configuration ---------------------------------------------------------------------

ProfileReply fetch_profile(hm_node* controller, uint8_t config_type, uint8_t profile_id, uint8_t flag,
                           uint32_t* status_out) {
  uint32_t ignored = 0;
  uint32_t* status = status_out != nullptr ? status_out : &ignored;
  *status = kStatusFailed;
  ControllerAddress a;
  if (controller == nullptr || !controller_address(controller, &a)) return nullptr;
  ProfileReply buffer(static_cast<uint8_t*>(varu_dcalloc(kProfileConfigSize)));
  if (buffer == nullptr) {
    fail(kStatusOutOfMemory, "%s", msg::kOutOfMemory);
    return nullptr;
  }
  buffer[0] = profile_id;
  buffer[1] = static_cast<uint8_t>((config_type & 0x03) | ((flag & 1) != 0 ? kProfileFlagBit : 0));
  *status = ioctl_get_profile_config(a.handle, buffer.get(), kProfileConfigSize, a.domain, a.port_number, a.path);
  // An answer short of the descriptors it counts is refused like a failed read.
  if (*status == 0 && !profile_reply_complete(buffer.get(), kProfileConfigSize)) {
    pdebug(kBackEnd, 3, "%s:the answer is short of the descriptors it counts\n", __func__);
    *status = kStatusFailed;
  } else if (*status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_profile_config failed with status = %d\n", __func__, static_cast<int>(*status));
  }
  if (*status != 0) {
    fail(kStatusGetProfileConfigFailed, "%s", msg::kGetProfileConfigFailed);
    return nullptr;
  }
  return buffer;
}

uint8_t* VARU_get_profile(hm_node* controller, uint8_t config_type, uint8_t profile_id, uint8_t flag) {
  return fetch_profile(controller, config_type, profile_id, flag).release();
}

std::vector<ResourceDescriptor> descriptors_of(const uint8_t* reply) {
  std::vector<ResourceDescriptor> out(profile_descriptors(reply, kProfileConfigSize, nullptr, 0));
  profile_descriptors(reply, kProfileConfigSize, out.data(), out.size());
  return out;
}

// ---- the profile list ---------------------------------------------------------------------------

uint32_t VARU_list_available_profiles(hm_node* controller) {
  hm_node* management = profile_management(controller);
  ControllerAddress a;
  if (management == nullptr || !profile_capable(get_vx_type(controller)) || !controller_address(controller, &a)) {
    return kStatusFailed;
  }
  ProfileReply list(static_cast<uint8_t*>(varu_dcalloc(kProfileListSize)));
  if (list == nullptr) {
    fail(kStatusInsufficientBuffer, "%s", msg::kInsufficientBuffer);
    return kStatusFailed;
  }
  const uint32_t status = ioctl_get_profile_list(a.handle, list.get(), kProfileListSize, a.domain, a.port_number, a.adapter);
  if (status != 0) {
    fail(kStatusGetProfileListFailed, "%s", msg::kGetProfileListFailed);
    return kStatusFailed;
  }
  const size_t count = profile_list_count(list.get(), kProfileListSize);
  for (size_t i = 0; i < count; ++i) {
    const ProfileListEntry e = profile_list_entry(list.get(), kProfileListSize, i);
    hm_node* profile = initialize_Profile(management, nullptr, nullptr, nullptr);
    if (profile == nullptr) {
      pdebug(kBackEnd, 2, "%s:Failed to initialize Profile group.\n", __func__);
      return kStatusFailed;
    }
    set_prop_val(profile, services::kPropProfileId, "%u", e.id);
    set_prop_val(profile, kPropProfileDescription, "%s", e.description);
    VARU_get_profile_capacities(e.id, profile, controller);
  }
  return kStatusOk;
}

uint32_t VARU_get_profile_capacities(uint8_t profile_id, hm_node* profile, hm_node* controller) {
  uint32_t nic = 0, iscsi = 0, fcoe = 0, roce = 0;
  {
    ProfileReply reply = fetch_profile(controller, kProfileById, profile_id, 0);
    if (reply == nullptr) return kStatusFailed;
    for (const ResourceDescriptor& d : descriptors_of(reply.get())) {
      if (d.type != kDescPort) continue;
      const PortCounts c = desc_port_counts(d);
      nic += c.nic;
      iscsi += c.iscsi;
      fcoe += c.fcoe;
      roce += c.roce;
    }
  }
  ControllerAddress a;
  if (!controller_address(controller, &a)) return kStatusFailed;
  ProfileReply caps(static_cast<uint8_t*>(varu_dcalloc(kProfileCapSize)));
  if (caps == nullptr) {
    fail(kStatusInsufficientBuffer, "%s", msg::kInsufficientBuffer);
    return kStatusFailed;
  }
  caps[0] = profile_id;
  if (ioctl_get_profile_cap(a.handle, caps.get(), kProfileCapSize, a.domain, a.port_number, a.adapter) != 0) {
    fail(kStatusGetCapacitiesFailed, "%s", msg::kGetProfileCapacitiesFailed);
    return kStatusFailed;
  }
  uint8_t types[kMaxCapabilities];
  const size_t count = profile_capabilities(caps.get(), kProfileCapSize, types, kMaxCapabilities);
  for (size_t i = 0; i < count; ++i) {
    const char* name = nullptr;
    uint32_t functions = 0;
    switch (types[i]) {
      case kCapNic: name = "NIC", functions = nic; break;
      case kCapIscsi: name = "iSCSI", functions = iscsi; break;
      case kCapFcoe: name = "FCoE", functions = fcoe; break;
      case kCapRoce: name = "RoCE", functions = roce; break;
      default: continue;
    }
    hm_node* first = get_first_instance(profile, kGroupProfileProtocol);
    if (types[i] == kCapRoce && first != nullptr) {
      // RoCE rides on the NIC functions: the NIC protocol becomes NIC+RoCE.
      for (hm_node* p = first; p != nullptr; p = next_instance(p)) {
        char text[kValueSize];
        if (read_property(p, kPropProtocolName, text) && ::strcasecmp(text, "NIC") == 0) {
          set_prop_val(p, kPropProtocolName, "%s", "NIC+RoCE");
          break;
        }
      }
      continue;
    }
    hm_node* protocol = initialize_Profile_Protocol(profile, nullptr, nullptr, nullptr);
    if (protocol == nullptr) return kStatusFailed;
    set_prop_val(protocol, kPropProtocolName, "%s", name);
    set_prop_val(protocol, kPropFunctionCount, "%u", functions);
  }
  return kStatusOk;
}

// ---- the active and the configured profile ------------------------------------------------------

namespace {

// The active and next profile ids: 0, or 1 with status 277.
uint32_t read_active_profile(hm_node* controller, uint16_t* active, uint16_t* next) {
  ControllerAddress a;
  uint8_t reply[kActiveProfileSize] = {};
  if (!controller_address(controller, &a)) return kStatusFailed;
  if (ioctl_get_active_profile(a.handle, reply, a.domain, a.port_number, a.adapter) != 0) {
    fail(kStatusGetActiveProfileFailed, "%s", msg::kGetActiveProfileFailed);
    return kStatusFailed;
  }
  std::memcpy(active, reply, 2);
  std::memcpy(next, reply + 2, 2);
  return kStatusOk;
}

hm_node* profile_group(hm_node* controller, const char* name) {
  hm_node* management = profile_management(controller);
  return management != nullptr ? internal_get_node(management, name, kGroup) : nullptr;
}

}  // namespace

uint32_t VARU_get_active_profiles(hm_node* controller) {
  hm_node* group = profile_group(controller, kGroupActiveProfile);
  if (group == nullptr || !profile_capable(get_vx_type(controller))) return kStatusFailed;
  uint16_t active = 0, next = 0;
  if (read_active_profile(controller, &active, &next) != 0) return kStatusFailed;
  set_prop_val(group, controller::kPropProfileId, "%u", active);
  uint8_t ari[kAriSize];
  const uint8_t max_pf = read_ari(controller, ari) == 0 ? ari[2] : 0;
  return VARU_get_port_profile(controller, group, static_cast<uint8_t>(active), kActiveProfile, max_pf) != 0
             ? kStatusFailed
             : kStatusOk;
}

uint32_t VARU_get_configured_profiles(hm_node* controller) {
  hm_node* group = profile_group(controller, kGroupConfiguredProfile);
  if (group == nullptr || !profile_capable(get_vx_type(controller))) return kStatusFailed;
  uint16_t active = 0, next = 0;
  if (read_active_profile(controller, &active, &next) != 0) return kStatusFailed;
  set_prop_val(group, controller::kPropProfileId, "%u", next);
  return VARU_get_port_profile(controller, group, static_cast<uint8_t>(next), kConfiguredProfile, 0) != 0
             ? kStatusFailed
             : kStatusOk;
}

uint32_t VARU_get_port_profile(hm_node* controller, hm_node* group, uint8_t profile_id, uint8_t config_type,
                               uint8_t active_max_pf_id) {
  const bool configured = ::strcasecmp(group->name, kGroupConfiguredProfile) == 0;
  AdapterKey key;
  if (configured && !adapter_key(controller, &key)) return kStatusFailed;
  std::vector<std::string> lines;
  std::vector<size_t> port_starts;
  ProfileReply reply = fetch_profile(controller, config_type, profile_id, 0);
  uint32_t result = reply == nullptr ? kStatusFailed : kStatusOk;
  const std::vector<ResourceDescriptor> all = reply != nullptr ? descriptors_of(reply.get()) : std::vector<ResourceDescriptor>();
  for (const ResourceDescriptor& d : all) {
    if (d.type != kDescPort) continue;
    hm_node* port = configured ? initialize_ConfiguredProfile_Port(group, nullptr, nullptr, nullptr)
                               : initialize_ActiveProfile_Port(group, nullptr, nullptr, nullptr);
    if (port == nullptr) {
      pdebug(kBackEnd, 2, "%s:Failed to initialize Port group.\n", __func__);
      result = kStatusFailed;
      break;
    }
    if (const char* text = profile_mc_type_text(desc_mc_type(d))) set_prop_val(port, kPropMCType, "%s", text);
    // The text just set (or the builder's), not what the pending choices would show through the handler.
    const char* mc_type = property_value(property_data(internal_get_node(port, kPropMCType, kProperty)));
    const PortCounts c = desc_port_counts(d);
    if (!configured) {
      set_prop_val(port, kPropMaxStoragePFCount, "%u", c.max_storage);
      set_prop_val(port, kPropMaxNICPFCount, "%u", c.nic);
      set_prop_val(port, kPropMaxRoCEPFCount, "%u", c.roce);
      set_prop_val(port, kPropMaxiSCSIPFCount, "%u", c.iscsi);
      set_prop_val(port, kPropMaxFCoEPFCount, "%u", c.fcoe);
    }
    char prefix[kValueSize] = "";
    if (configured) {
      std::snprintf(prefix, sizeof prefix, "%s,%s,%d,%.34s", key.serial.c_str(), key.bus.c_str(), profile_id, mc_type);
    }
    port_starts.push_back(lines.size());
    const PortWalk walk{controller, port, desc_link_number(d), config_type, profile_id, active_max_pf_id,
                        std::min<int>(c.max_pf, kMaxFunctionsPerPort), configured, prefix, &lines};
    enumerate_port_functions(walk);
  }
  // An adapter whose key would break the file's lines keeps none there.
  if (configured && pending_text_ok(key.serial) && pending_text_ok(key.bus) &&
      replace_adapter_lines(key, lines, port_starts) != 0) {
    result = kStatusFailed;
  }
  return result;
}

uint32_t rebuild_configured_profile(hm_node* controller) {
  hm_node* group = profile_group(controller, kGroupConfiguredProfile);
  if (group == nullptr || purge_nodes_within(group, kGroupProfilePort) != 0) return kStatusFailed;
  return VARU_get_configured_profiles(controller);
}

uint32_t handle_AvailableProtocols(hm_node* prop, char* buf, uint32_t) {
  hm_node* function = prop != nullptr ? prop->parent : nullptr;
  hm_node* controller = controller_above(prop);
  char text[kValueSize];
  uint32_t number = 0;
  if (controller == nullptr || !read_property(function, kPropFunctionNumber, text)) return kStatusFailed;
  if (!parse_pci_number(text, &number)) {
    pdebug(kBackEnd, 3, "%s:function number %s is invalid\n", __func__, text);
    return kStatusFailed;
  }
  ProfileReply reply = fetch_profile(controller, kConfiguredProfile, 0, 1);
  if (reply == nullptr) return kStatusFailed;
  std::string value;
  for (const ResourceDescriptor& d : descriptors_of(reply.get())) {
    if (d.type != kDescPciFunction || desc_pf_number(d) != number) continue;
    static constexpr const char* kRoles[] = {"NIC", "iSCSI", "FCoE", "RoCE"};
    for (int bit = 0; bit < 4; ++bit) {
      if ((desc_mission_roles(d) & (1u << bit)) != 0) value += (value.empty() ? "" : ",") + std::string(kRoles[bit]);
    }
    break;
  }
  SET_CACHE_PROP_VAL(prop, "%s", value.c_str());
  return answer(prop, buf);
}

// ---- function-number limits, RoCE and functions per port -------------------------------------------

uint32_t handle_IPLMaxFunctionNumber(hm_node* prop, char* buf, uint32_t) { return ari_property(prop, buf, 1, false); }
uint32_t handle_SettableMaxFunctionNumber(hm_node* prop, char* buf, uint32_t) { return ari_property(prop, buf, 3, true); }
uint32_t handle_MaxFunctionNumber(hm_node* prop, char* buf, uint32_t) { return ari_property(prop, buf, 0, false); }

uint32_t do_SetMaxFunctionNumber(hm_node* group, hm_node*, char params[6][256]) {
  if (vm_flag != 0) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  hm_node* controller = controller_above(group);
  if (controller == nullptr || !profile_capable(get_vx_type(controller))) return kStatusFailed;
  // Whether the number may change is asked of the adapter now, not taken from an earlier read.
  char settable[kValueSize];
  if (!read_property(group, kPropSettableMaxFunctionNumber, settable)) return kStatusFailed;
  if (::strcasecmp(settable, "No") == 0) return refuse(kStatusMaxFunctionNotSettable, msg::kMaxFunctionNotSettable);
  uint8_t request[kAriSize] = {};
  if (params[0][0] != '\0') {
    char* end = nullptr;
    const long value = std::strtol(params[0], &end, 10);
    if (*end != '\0' || (value != 7 && value != 15)) return refuse(kStatusInvalidValue, msg::kMaxFunctionValues);
    request[0] = static_cast<uint8_t>(value);
  } else {
    request[3] = kAriSettableBit;   // back to the default
  }
  ControllerAddress a;
  if (!controller_address(controller, &a)) return kStatusFailed;
  if (ioctl_set_ari_settings(a.handle, request, a.domain, a.port_number, a.path) != 0) {
    return refuse(kStatusGetAriFailed, msg::kGetAriFailed);
  }
  if (rebuild_configured_profile(controller) != 0) return kStatusFailed;
  varu_set_last_status(kStatusProfileConfigured, msg::kProfileConfigured);
  return kStatusOk;
}

uint32_t handle_MaxFunctionsPerPort(hm_node* prop, char* buf, uint32_t) {
  if (vm_flag != 0) return not_on_virtual_function(prop, buf);
  hm_node* controller = controller_above(prop);
  if (controller == nullptr) return kStatusFailed;
  if (legacy_generation(get_vx_type(controller))) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
    return answer(prop, buf);
  }
  ProfileReply reply = fetch_profile(controller, kConfiguredProfile, 0, 0);
  if (reply == nullptr) return kStatusFailed;
  uint32_t value = 0;
  for (const ResourceDescriptor& d : descriptors_of(reply.get())) {
    if (d.type == kDescPort) value = desc_port_counts(d).max_pf;
  }
  SET_CACHE_PROP_VAL(prop, "%u", value);
  return answer(prop, buf);
}

uint32_t handle_IsRoCEEnabled(hm_node* prop, char* buf, uint32_t) {
  hm_node* nic = prop != nullptr ? prop->parent : nullptr;
  hm_node* controller = controller_above(nic);
  if (vm_flag != 0 || (controller != nullptr && legacy_generation(get_vx_type(controller)))) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
    return answer(prop, buf);
  }
  if (controller == nullptr) return kStatusFailed;
  SET_CACHE_PROP_VAL(prop, "%s", "False");
  char text[kValueSize];
  uint32_t number = 0;
  if (!read_property(internal_get_node(nic, "PCI", kGroup), "FunctionNumber", text) || !parse_pci_number(text, &number)) {
    return kStatusFailed;
  }
  ProfileReply reply(static_cast<uint8_t*>(varu_dcalloc(kProfileConfigSize)));
  if (reply == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  reply[1] = kActiveProfile;
  // Asked on the NIC path through this function itself, whatever the controller's path is.
  if (ioctl_get_profile_config(get_port_number(nic), reply.get(), kProfileConfigSize, 0,
                               header_byte(get_phba_port_number(nic)), kProtocolNic) != 0 ||
      !profile_reply_complete(reply.get(), kProfileConfigSize)) {
    return refuse(kStatusGetProfileConfigFailed, msg::kGetProfileConfigFailed);
  }
  for (const ResourceDescriptor& d : descriptors_of(reply.get())) {
    if (d.type == kDescRoce && desc_pf_number(d) == number) {
      SET_CACHE_PROP_VAL(prop, "%s", "True");
      break;
    }
  }
  return answer(prop, buf);
}

uint32_t get_nic_count(hm_node* node) {
  hm_node* parent = node != nullptr ? node->parent : nullptr;
  hm_node* nic = parent != nullptr ? get_first_instance(parent, "NICPhysicalHBA") : nullptr;
  char own[kValueSize];
  if (nic == nullptr || !read_property(node, "PortNumber", own)) return 1;
  uint32_t count = 0;
  for (; nic != nullptr; nic = next_instance(nic)) {
    char text[kValueSize];
    if (!read_property(nic, "PortNumber", text)) return 1;
    if (std::atoi(text) == std::atoi(own)) ++count;
  }
  return count;
}

}  // namespace vx
