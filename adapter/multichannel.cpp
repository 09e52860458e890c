#include "adapter/multichannel.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/oem_attribs.h"
#include "adapter/port_tree.h"
#include "adapter/profiles.h"
#include "engine/messages.h"
#include "iscsi/lookups.h"
#include "iscsi/records.h"
#include "schema/names_controller.h"
#include "schema/names_port.h"
#include "schema/names_services.h"
#include "schema/port.h"

namespace vx {
namespace {

constexpr const char* kNotAvailable = "N/A";
constexpr uint32_t kGenerationUnreadable = 1;
constexpr size_t kCapabilitiesSize = 12;
constexpr size_t kModeRequestSize = 184;
constexpr size_t kResetNeededSize = 4;
constexpr uint8_t kMcDisabled = 1;

// Channel properties.
constexpr const char* kPropFunctionNumber = port::kPropChannelFunctionNumber;
constexpr const char* kPropType = port::kPropChannelType;
constexpr const char* kPropLogicalLinkState = port::kPropChannelLogicalLinkState;
constexpr const char* kPropMACAddress = port::kPropChannelMACAddress;
constexpr const char* kPropLPVID = port::kPropChannelLPVID;
constexpr const char* kPropMinBandWidth = port::kPropChannelMinBandWidth;
constexpr const char* kPropMaxBandWidth = port::kPropChannelMaxBandWidth;

// Capability bits and the names they give, in the order the names are listed.
struct ModeBit {
  uint32_t bit;
  const char* name;
};
constexpr ModeBit kModeBits[] = {{5, "vNIC2"}, {0, "ZMC"},  {3, "NPAR"},  {4, "vNIC1"},
                                 {6, "UFP"},   {9, "HPZMC"}, {10, "HPFlex"}, {7, "HPFlexQBG"}};
constexpr uint32_t kVnic2Bit = 5;
constexpr uint32_t kZmcBit = 0;

// Multichannel codes: what ChannelManagement shows, and what a ChannelType sets.
struct ModeCode {
  uint8_t code;
  const char* shown;   // NULL: leaves the property as it was
  const char* set_by;  // ChannelType naming it, NULL when none does
};
constexpr ModeCode kModeCodes[] = {
    {0, kNotAvailable, nullptr}, {1, kNotAvailable, nullptr}, {2, "ZMC", "ZMC"},     {3, kNotAvailable, nullptr},
    {4, "vNIC1", "vNIC1"},       {5, "NPAR", "NPAR"},         {6, "UFP", "UFP"},     {7, "vNIC2", "vNIC2"},
    {8, nullptr, nullptr},       {10, nullptr, "HPZMC"},
};

bool refuses_multichannel(uint32_t generation) {
  return generation == kGeneration2 || generation == kGenerationQuenta || generation == kGenerationOrvelle;
}

uint32_t answer(hm_node* prop, char* buf) {
  copy_property_value(property_data(prop), buf);
  return kStatusOk;
}

std::string number_text(uint16_t pf) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", pf);
  return text;
}

hm_node* channel_management(hm_node* port) { return internal_get_node(port, port::kGroupChannelManagement, kGroup); }

// A port instance goes with its entry records; its own record is its physical HBA's and stays.
uint32_t delete_port_instance(hm_node* port) {
  release_port_records(port);
  group_data(port)->backend_info = nullptr;
  return delete_node(port);
}

bool id_known(hm_node* group, const char* name) {
  hm_property* p = property_data(internal_get_node(group, name, kProperty));
  return p != nullptr && property_value(p)[0] != '\0' && std::strcmp(property_value(p), "0") != 0 &&
         std::strcmp(property_value(p), kNotAvailable) != 0;
}

}  // namespace

void supported_mc_types_text(uint32_t capabilities, char out[kValueSize]) {
  std::string text;
  for (const ModeBit& m : kModeBits) {
    if ((capabilities & (1u << m.bit)) == 0) continue;
    if (m.bit == kZmcBit && (capabilities & (1u << kVnic2Bit)) != 0) continue;
    text += (text.empty() ? "" : ",") + std::string(m.name);
  }
  std::snprintf(out, kValueSize, "%s", text.empty() ? kNotAvailable : text.c_str());
}

bool list_has_item(const char* list, const char* name) {
  if (list == nullptr || name == nullptr || name[0] == '\0') return false;
  const size_t n = std::strlen(name);
  for (const char* at = list; at != nullptr; at = std::strchr(at, ',')) {
    if (*at == ',') ++at;
    if (std::strncmp(at, name, n) == 0 && (at[n] == ',' || at[n] == '\0')) return true;
  }
  return false;
}

uint32_t handle_SupportedMCTypes(hm_node* prop, char* buf, uint32_t) {
  hm_node* controller = controller_above(prop);
  const uint32_t generation = controller != nullptr ? get_vx_type(controller) : kGenerationUnreadable;
  if (generation == kGenerationUnreadable) return kStatusFailed;
  if (generation == kGeneration2 || generation == kGenerationQuenta) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
    return answer(prop, buf);
  }
  ControllerAddress a;
  if (!controller_address(controller, &a)) return kStatusFailed;
  uint8_t config[kFwConfigSize] = {};
  ioctl_get_fw_config(a.handle, config, a.domain, a.port_number, a.path);
  if ((config[kFwConfigFunctionCaps] & kFwConfigNoMultichannel) != 0) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
    return answer(prop, buf);
  }
  if (vm_flag != 0) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
    answer(prop, buf);
    return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  }
  uint8_t caps[kCapabilitiesSize] = {};
  if (ioctl_get_capabilities(a.handle, caps, a.domain, a.port_number, a.adapter) != 0) {
    return refuse(kStatusGetCapabilitiesFailed, msg::kGetCapabilitiesFailed);
  }
  uint32_t bits = 0;
  std::memcpy(&bits, caps, sizeof bits);
  char text[kValueSize];
  supported_mc_types_text(bits, text);
  SET_CACHE_PROP_VAL(prop, "%s", text);
  return answer(prop, buf);
}

uint32_t handle_ChannelManagement_details(hm_node* prop, char* buf, uint32_t) {
  hm_node* group = prop != nullptr ? prop->parent : nullptr;
  hm_node* controller = controller_above(group);
  if (controller == nullptr) return kStatusFailed;
  const bool current = std::strcmp(prop->name, controller::kPropCurrentManagementType) == 0;
  auto both_not_available = [&] {
    set_prop_val(group, controller::kPropCurrentManagementType, "%s", kNotAvailable);
    set_prop_val(group, controller::kPropConfiguredManagementType, "%s", kNotAvailable);
    return answer(prop, buf);
  };
  if (refuses_multichannel(get_vx_type(controller))) return both_not_available();
  if (vm_flag != 0) {
    both_not_available();
    return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  }
  // The modes on offer are asked of the adapter here, not taken from an earlier read.
  char supported[kValueSize];
  if (!read_property(group, controller::kPropSupportedMCTypes, supported)) return kStatusFailed;
  if (std::strcmp(supported, kNotAvailable) == 0) return both_not_available();
  ProfileReply reply = fetch_profile(controller, current ? kActiveProfile : kConfiguredProfile, 0, 0);
  if (reply == nullptr) return kStatusFailed;
  for (const ResourceDescriptor& d : descriptors_of(reply.get())) {
    if (d.type != kDescPort) continue;
    for (const ModeCode& m : kModeCodes) {
      if (m.code == desc_mc_type(d) && m.shown != nullptr) SET_CACHE_PROP_VAL(prop, "%s", m.shown);
    }
  }
  return answer(prop, buf);
}

uint32_t do_ConfigureChannelManagement(hm_node* group, hm_node*, char params[6][256]) {
  hm_node* controller = controller_above(group);
  if (controller == nullptr) return kStatusFailed;
  if (refuses_multichannel(get_vx_type(controller))) {
    return refuse(kStatusMultiChannelNotSupported, msg::kMultiChannelNotSupported);
  }
  const bool enable = ::strcasecmp(params[0], "Enabled") == 0;
  uint8_t code = kMcDisabled;
  if (enable) {
    if (params[1][0] == '\0') return refuse(kStatusChannelTypeMissing, msg::kChannelTypeMissing);
    // Only a mode the adapter offers, named whole: "ZMC" is not "HPZMC".
    char supported[kValueSize];
    if (!read_property(group, controller::kPropSupportedMCTypes, supported) || !list_has_item(supported, params[1])) {
      return refuse(kStatusChannelTypeNotSupported, msg::kChannelTypeNotSupported);
    }
    code = 0;
    for (const ModeCode& m : kModeCodes) {
      if (m.set_by != nullptr && ::strcasecmp(m.set_by, params[1]) == 0) code = m.code;
    }
  }
  ControllerAddress a;
  if (!controller_address(controller, &a)) return kStatusFailed;
  uint8_t request[kModeRequestSize] = {};
  request[4] = 1;
  request[kProfileSetDescriptors] = kDescPort;
  request[kProfileSetDescriptors + 1] = kResourceDescriptorLength;
  request[kProfileSetDescriptors + 5] = code;
  if (ioctl_set_profile_config(a.handle, request, kModeRequestSize, a.domain, a.port_number, a.path) != 0) {
    return refuse(kStatusSetPortProtocolFailed, msg::kSetPortProtocolFailed);
  }
  uint8_t reset[kResetNeededSize] = {};
  if (ioctl_get_reset_needed(a.handle, reset, a.domain, a.port_number, a.adapter) != 0) {
    return refuse(kStatusGetResetNeededFailed, msg::kGetResetNeededFailed);
  }
  if (reset[0] != 0) varu_set_last_status(kStatusMultiChannelChanged, msg::kMultiChannelChanged);
  hm_node* port = get_first_instance(controller, kGroupPortDiscoveryAndConfiguration);
  if (port == nullptr) return kStatusFailed;
  for (; port != nullptr; port = next_instance(port)) {
    char number[kValueSize];
    hm_node* channels = channel_management(port);
    if (!read_property(port, port::kPropPortNumber, number) || channels == nullptr ||
        purge_nodes_within(channels, kGroupChannel) != 0 ||
        VARU_get_multi_channels_info(static_cast<uint32_t>(std::strtoul(number, nullptr, 10)), port) != 0) {
      return kStatusFailed;
    }
  }
  return kStatusOk;
}

uint32_t VARU_get_multi_channels_info(uint32_t port_number, hm_node* port) {
  hm_node* controller = controller_above(port);
  if (controller == nullptr) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kGenerationUnreadable) return kStatusFailed;
  if (generation == kGenerationQuenta) return kStatusOk;
  hm_node* channels = channel_management(port);
  if (channels == nullptr || first_phba(controller) == nullptr) return kStatusFailed;
  uint32_t status = 0;
  ProfileReply reply = fetch_profile(controller, kConfiguredProfile, 0, 0, &status);
  if (reply == nullptr) return status;
  uint8_t pf_state = 0;
  uint8_t link = 0;
  for (const ResourceDescriptor& d : descriptors_of(reply.get())) {
    if (d.type == kDescPciFunction) {
      pf_state = desc_pf_state(d);
      continue;
    }
    if (d.type < kDescNic || d.type > kDescRoce) continue;
    if (d.type != kDescRoce) link = desc_link_number(d);   // RoCE rides on the function before it
    if (pf_state != 1 || desc_vf_template(d) || link != port_number) continue;
    const uint32_t result = VARU_initialize_channels(d.type, number_text(desc_pf_number(d)).c_str(), channels, d);
    if (result != 0) return result;
  }
  return kStatusOk;
}

uint32_t VARU_initialize_channels(uint8_t desc_type, const char* function_number, hm_node* channel_group,
                                  const ResourceDescriptor& d) {
  if (desc_type == kDescRoce) {
    for (hm_node* c = get_first_instance(channel_group, kGroupChannel); c != nullptr; c = next_instance(c)) {
      char type[kValueSize];
      char number[kValueSize];
      if (read_property(c, kPropType, type) && read_property(c, kPropFunctionNumber, number) &&
          ::strcasecmp(type, "NIC") == 0 && ::strcasecmp(number, function_number) == 0) {
        set_prop_val(c, kPropType, "%s", "NIC+RoCE");
        break;
      }
    }
    return kStatusOk;
  }
  if (desc_type != kDescNic && desc_type != kDescIscsi && desc_type != kDescFcoe) return kStatusOk;
  hm_node* channel = initialize_Channel(channel_group, nullptr, nullptr, nullptr);
  if (channel == nullptr) {
    pdebug(kBackEnd, 2, "Failed to initialize Channel group.\n");
    return kStatusFailed;
  }
  const uint8_t* mac = desc_mac(d);
  set_prop_val(channel, kPropFunctionNumber, "%s", function_number);
  set_prop_val(channel, kPropType, "%s", desc_type == kDescNic ? "NIC" : desc_type == kDescIscsi ? "iSCSI" : "FCOE");
  set_prop_val(channel, kPropLogicalLinkState, "%s", desc_link_disabled(d) ? "Disabled" : "Enabled");
  set_prop_val(channel, kPropMACAddress, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
  if (desc_type == kDescNic) {
    set_prop_val(channel, kPropLPVID, "%d", desc_lpvid(d));
  } else {
    set_prop_val(channel, kPropLPVID, "%s", kNotAvailable);
  }
  set_prop_val(channel, kPropMinBandWidth, "%u", desc_min_bandwidth(d));
  set_prop_val(channel, kPropMaxBandWidth, "%u", desc_max_bandwidth(d));
  return kStatusOk;
}

uint32_t VARU_enummerate_dummy_port_discovery(hm_node* controller) {
  hm_node* links = controller != nullptr ? internal_get_node(controller, controller::kGroupLinkReconfiguration, kGroup) : nullptr;
  hm_node* management = controller != nullptr ? internal_get_node(controller, controller::kGroupProfileManagement, kGroup) : nullptr;
  hm_node* configured = management != nullptr ? internal_get_node(management, controller::kGroupConfiguredProfile, kGroup) : nullptr;
  char active[kValueSize];
  char next[kValueSize];
  if (configured == nullptr || !read_property(links, controller::kPropActiveLinkConfigID, active) ||
      !read_property(links, controller::kPropConfiguredLinkConfigID, next)) {
    return kStatusFailed;
  }
  // An adapter that cannot tell its link configurations or profile keeps the ports it has.
  if (!id_known(links, controller::kPropActiveLinkConfigID) || !id_known(links, controller::kPropConfiguredLinkConfigID) ||
      !id_known(configured, controller::kPropProfileId)) {
    return kStatusOk;
  }
  std::vector<int32_t> configured_ports;
  for (hm_node* p = get_first_instance(configured, kGroupProfilePort); p != nullptr; p = next_instance(p)) {
    configured_ports.push_back(instance_number(p));
  }
  size_t ports = 0;
  for (hm_node* p = get_first_instance(controller, kGroupPortDiscoveryAndConfiguration); p != nullptr; p = next_instance(p)) {
    ++ports;
  }
  if (std::strcmp(active, next) == 0) {
    hm_node* port = get_first_instance(controller, kGroupPortDiscoveryAndConfiguration);
    while (ports > configured_ports.size() && port != nullptr) {
      hm_node* following = next_instance(port);
      char number[kValueSize];
      const int32_t n = read_property(port, port::kPropPortNumber, number) ? std::atoi(number) : -1;
      bool kept = false;
      for (int32_t c : configured_ports) kept = kept || c == n;
      if (!kept && delete_port_instance(port) == kStatusOk) --ports;
      port = following;
    }
    return kStatusOk;
  }
  hm_node* phba = first_phba(controller);
  for (size_t i = ports; i < configured_ports.size(); ++i) {
    hm_node* port = initialize_PortDiscoveryAndConfiguration(controller, nullptr, nullptr, nullptr);
    if (port == nullptr) {
      pdebug(kBackEnd, 2, "%s:Failed to initialize PortDiscoveryAndConfiguration group.\n", __func__);
      continue;
    }
    // Its commands go to this adapter, through the controller's first physical HBA.
    group_data(port)->backend_info = phba != nullptr ? group_data(phba)->backend_info : nullptr;
    const int32_t number = instance_number(port);
    set_prop_val(port, port::kPropPortNumber, "%d", number);
    set_prop_val(port, port::kPropPortName, "%d", number);
    VARU_get_multi_channels_info(static_cast<uint32_t>(number), port);
  }
  return kStatusOk;
}

}  // namespace vx
