// Channel settings: each Channel instance is one PCI function of a port in a multichannel mode; its
// settings live in the function's NIC, iSCSI or FCoE descriptor of the profile configuration, and a
// change goes to the adapter as a set request carrying one copied and edited descriptor.
#include "adapter/channel_settings.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/multichannel.h"
#include "adapter/nic_common.h"
#include "adapter/oem_attribs.h"
#include "adapter/profiles.h"
#include "engine/messages.h"
#include "iscsi/lookups.h"
#include "schema/names_controller.h"
#include "schema/names_nic.h"
#include "schema/names_port.h"
#include "schema/names_services.h"

namespace vx {
namespace {

constexpr size_t kChannelRequestSize = 184;
constexpr const char* kPropType = port::kPropChannelType;
constexpr const char* kPropFunctionNumber = port::kPropChannelFunctionNumber;
constexpr const char* kPropLogicalLinkState = port::kPropChannelLogicalLinkState;
constexpr const char* kPropLPVID = port::kPropChannelLPVID;
constexpr const char* kPropOuterVLANID = port::kPropChannelOuterVLANID;
constexpr const char* kPropMinBandWidth = port::kPropChannelMinBandWidth;
constexpr const char* kPropMaxBandWidth = port::kPropChannelMaxBandWidth;
constexpr const char* kPropRebootRequired = "RebootRequired";

// Where each channel descriptor keeps the fields written here.
struct ChannelLayout {
  uint8_t type;
  size_t link_disabled;   // byte whose bit 1 is the logical-link-disabled flag
  size_t min_bandwidth;   // u32, the maximum follows
};
constexpr ChannelLayout kLayouts[] = {{kDescNic, 45, 48}, {kDescIscsi, 33, 36}, {kDescFcoe, 53, 56}};
constexpr uint8_t kLinkDisabledBit = 0x02;
constexpr uint8_t kLinkEditBit = 0x80;       // byte 2: the logical link state is written
constexpr uint8_t kNicFieldsBit = 0x04;      // byte 3: the NIC fields are written
constexpr uint8_t kModeInForceBit = 0x40;    // byte 3: the mode is in force, the active profile changes too
constexpr uint8_t kSetClearedBits = 0xC2;    // byte 3 bits 1, 6 and 7: the mode bit is set anew
constexpr uint8_t kQosClearedBits = 0xD2;    // byte 3 bits 1, 4, 6 and 7
constexpr size_t kNicUnchangedWords[] = {8, 18, 20, 28, 32, 38, 60, 62};
constexpr size_t kNicLpvid = 36;
constexpr size_t kNicLink = 44;
constexpr size_t kNicOuterVlanLow = 46;

const ChannelLayout* layout_of(uint8_t type) {
  for (const ChannelLayout& l : kLayouts) {
    if (l.type == type) return &l;
  }
  return nullptr;
}

bool is(const char* text, const char* name) { return ::strcasecmp(text, name) == 0; }
bool none_or_na(const char* text) { return is(text, kTextNotAvailable) || is(text, "None"); }
bool vnic1_or_ufp(const char* text) { return is(text, "vNIC1") || is(text, "UFP"); }

// Descriptor type of a channel's Type: NIC (and NIC+RoCE) 81, iSCSI 82, FCoE 83; 0 for others.
uint8_t descriptor_type(const char* type) {
  if (is(type, "NIC") || is(type, "NIC+RoCE")) return kDescNic;
  if (is(type, "iSCSI")) return kDescIscsi;
  return is(type, "FCoE") ? kDescFcoe : 0;
}

// A channel and the groups above it.
struct ChannelAt {
  hm_node* channel = nullptr;
  hm_node* port = nullptr;
  hm_node* controller = nullptr;
  uint32_t generation = kGenerationNone;
};

bool locate(hm_node* channel, ChannelAt* out) {
  hm_node* management = channel != nullptr ? channel->parent : nullptr;
  out->channel = channel;
  out->port = management != nullptr ? management->parent : nullptr;
  out->controller = out->port != nullptr ? out->port->parent : nullptr;
  if (out->controller == nullptr || adapter_of(out->controller) != out->controller) return false;
  out->generation = get_vx_type(out->controller);
  return true;
}

// The mode texts a handler tests. Generation 3: the controller's management types asked for (the
// other stays empty) and the reboot text "No" for the link-state and LPVID handlers; generation 5:
// all three of the port; other generations: none.
enum ModeNeed : unsigned { kCurrent = 1, kConfigured = 2, kRebootNo = 4 };
struct ModeTexts {
  char active[kValueSize] = "";
  char configured[kValueSize] = "";
  char reboot[kValueSize] = "";
};

bool mode_texts(const ChannelAt& at, unsigned need, ModeTexts* t) {
  if (at.generation == kGenerationOrvelle) {
    return VARU_get_ovl_mc_type(at.controller, at.port, t->active, t->configured, t->reboot) == 0;
  }
  if (at.generation != kGeneration3) return true;
  hm_node* management = internal_get_node(at.controller, controller::kGroupChannelManagement, kGroup);
  if ((need & kCurrent) != 0 && !read_property(management, controller::kPropCurrentManagementType, t->active)) {
    return false;
  }
  if ((need & kConfigured) != 0 &&
      !read_property(management, controller::kPropConfiguredManagementType, t->configured)) {
    return false;
  }
  if ((need & kRebootNo) != 0) std::snprintf(t->reboot, sizeof t->reboot, "%s", "No");
  return true;
}

// The first descriptor of the channel's function: by "0x%x" of its number (reads) or by the number
// the FunctionNumber text gives in hexadecimal (writes).
bool find_descriptor(const uint8_t* reply, uint8_t type, const char* function, bool by_value, ResourceDescriptor* out) {
  const uint32_t wanted = static_cast<uint32_t>(std::strtoul(function, nullptr, 16));
  for (const ResourceDescriptor& d : descriptors_of(reply)) {
    if (d.type != type) continue;
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", desc_pf_number(d));
    if (by_value ? desc_pf_number(d) == wanted : is(text, function)) {
      *out = d;
      return true;
    }
  }
  return false;
}

// The edits of one channel write.
enum class Edit { kLinkState, kLpvid, kQos };
struct ChannelWrite {
  Edit edit;
  bool link_disabled = false;
  uint16_t lpvid = 0;
  uint32_t min_bandwidth = 0;
  uint32_t max_bandwidth = 0;
  bool mode_in_force = false;
  uint8_t port_number = 0;
};

// The set request of one channel write: count 1 and the edited copy of descriptor `d` of `type`.
void build_request(const ResourceDescriptor& d, uint8_t type, uint16_t pf, const ChannelWrite& w,
                   uint8_t request[kChannelRequestSize]) {
  std::memset(request, 0, kChannelRequestSize);
  request[4] = 1;
  uint8_t* c = request + kProfileSetDescriptors;
  std::memcpy(c, d.bytes, std::min<size_t>(d.length, kResourceDescriptorLength));
  const ChannelLayout& l = *layout_of(type);
  c[0] = type;
  c[1] = kResourceDescriptorLength;
  c[6] = static_cast<uint8_t>(pf & 0xFF);
  c[7] = static_cast<uint8_t>((c[7] & 0xFC) | ((pf >> 8) & 0x03));
  c[3] = static_cast<uint8_t>(c[3] & ~(w.edit == Edit::kQos ? kQosClearedBits : kSetClearedBits));
  if (w.mode_in_force) c[3] |= kModeInForceBit;
  if (w.edit != Edit::kQos) {
    c[2] |= kLinkEditBit;
    c[l.link_disabled] = static_cast<uint8_t>(w.link_disabled ? c[l.link_disabled] | kLinkDisabledBit
                                                              : c[l.link_disabled] & ~kLinkDisabledBit);
  }
  uint32_t words[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
  if (w.edit == Edit::kQos) words[0] = w.min_bandwidth, words[1] = w.max_bandwidth;
  std::memcpy(c + l.min_bandwidth, words, sizeof words);
  if (type != kDescNic) return;
  for (size_t at : kNicUnchangedWords) c[at] = c[at + 1] = 0xFF;
  c[kNicLink] = static_cast<uint8_t>((c[kNicLink] & 0xC0) | (w.port_number & 0x3F));
  c[3] |= kNicFieldsBit;
  std::memcpy(c + kNicLpvid, &w.lpvid, sizeof w.lpvid);
}

// What the writes of one port's channels share: the port, the profiles their descriptors are
// copied from (fetched once), and whether the channels' own values are taken as cached (a restore,
// which has just written them) or read again through their handlers.
struct PortWrites {
  ChannelAt at;
  ProfileReply configured;
  ProfileReply active;
  bool cached_values = false;

  const uint8_t* profile(uint8_t config_type) {
    ProfileReply& reply = config_type == kActiveProfile ? active : configured;
    if (reply == nullptr) reply = fetch_profile(at.controller, config_type, 0, 0);
    return reply.get();
  }
  bool value(hm_node* channel, const char* name, char out[kValueSize]) {
    if (!cached_values) return read_property(channel, name, out);
    const hm_property* p = property_data(internal_get_node(channel, name, kProperty));
    if (p != nullptr) std::snprintf(out, kValueSize, "%s", property_value(p));
    return p != nullptr;
  }
};

// Sends one channel write through the controller's first physical HBA.
uint32_t send_channel_write(PortWrites& port, hm_node* channel, uint8_t type, const char* function, uint8_t config_type,
                            ChannelWrite w) {
  ControllerAddress a;
  if (!controller_address(port.at.controller, &a)) return kStatusFailed;
  const uint8_t* reply = port.profile(config_type);
  ResourceDescriptor d{};
  if (reply == nullptr || !find_descriptor(reply, type, function, true, &d)) return kStatusFailed;
  w.port_number = static_cast<uint8_t>(get_phba_port_number(channel) & 0xFF);
  uint8_t request[kChannelRequestSize];
  build_request(d, type, desc_pf_number(d), w, request);
  if (ioctl_set_profile_config(a.handle, request, kChannelRequestSize, a.domain, w.port_number, a.path) != 0) {
    return refuse(kStatusSetPortProtocolFailed, msg::kSetPortProtocolFailed);
  }
  return kStatusOk;
}

bool mode_in_force(const char* active, const char* reboot) { return !none_or_na(active) && !is(reboot, "Yes"); }

// The channel property named by `prop` from the profile of `config_type` (the handlers take the
// active one in vNIC1 and UFP, else the configured one).
uint32_t read_from_profile(const ChannelAt& at, hm_node* prop, uint8_t config_type) {
  ProfileReply reply = fetch_profile(at.controller, config_type, 0, 0);
  if (reply == nullptr) return kStatusFailed;
  return VARU_get_mchannel_params(at.channel, prop, reply.get());
}

uint32_t bandwidth_property(hm_node* prop, char* buf) {
  ChannelAt at;
  ModeTexts t;
  if (prop == nullptr || !locate(prop->parent, &at) || !mode_texts(at, kCurrent, &t)) return kStatusFailed;
  if (read_from_profile(at, prop, vnic1_or_ufp(t.active) ? kActiveProfile : kConfiguredProfile) != 0) {
    return refuse(kStatusGetProfileConfigFailed, msg::kGetProfileConfigFailed);
  }
  return return_cached(prop, buf);
}

// The physical HBA of the controller whose PCI FunctionNumber is the channel's.
hm_node* phba_of_function(hm_node* controller, const char* group, const char* function) {
  for (hm_node* p = get_first_instance(controller, group); p != nullptr; p = next_instance(p)) {
    char text[kValueSize];
    if (read_property(internal_get_node(p, nic::kGroupPCI, kGroup), nic::kPropFunctionNumber, text) &&
        is(text, function)) {
      return p;
    }
  }
  return nullptr;
}

}  // namespace

uint32_t VARU_get_ovl_mc_type(hm_node* controller, hm_node* port, char active[kValueSize],
                              char configured[kValueSize], char reboot[kValueSize]) {
  active[0] = configured[0] = reboot[0] = '\0';
  hm_node* management =
      controller != nullptr ? internal_get_node(controller, controller::kGroupProfileManagement, kGroup) : nullptr;
  hm_node* active_group =
      management != nullptr ? internal_get_node(management, controller::kGroupActiveProfile, kGroup) : nullptr;
  hm_node* configured_group =
      management != nullptr ? internal_get_node(management, controller::kGroupConfiguredProfile, kGroup) : nullptr;
  char number[kValueSize];
  char interface_type[kValueSize];
  if (active_group == nullptr || configured_group == nullptr || !read_property(port, port::kPropPortNumber, number) ||
      !read_property(port, port::kPropInterfaceType, interface_type)) {
    return kStatusFailed;
  }
  if (is(interface_type, "Unknown")) return kStatusOk;
  char name[kNameSize];
  std::snprintf(name, sizeof name, "%s%.20s", kGroupProfilePort, number);
  if (!read_property(internal_get_node(active_group, name, kGroup), services::kPropMCType, active)) {
    return kStatusFailed;
  }
  hm_node* configured_port = internal_get_node(configured_group, name, kGroup);
  return configured_port != nullptr && read_property(configured_port, services::kPropMCType, configured) &&
                 read_property(management, kPropRebootRequired, reboot)
             ? kStatusOk
             : kStatusFailed;
}

uint32_t VARU_get_mchannel_params(hm_node* channel, hm_node* prop, const uint8_t* reply) {
  char type[kValueSize];
  char function[kValueSize];
  if (channel == nullptr || prop == nullptr || reply == nullptr || !read_property(channel, kPropType, type) ||
      !read_property(channel, kPropFunctionNumber, function)) {
    return kStatusFailed;
  }
  ResourceDescriptor d{};
  const uint8_t desc_type = descriptor_type(type);
  if (desc_type == 0 || !find_descriptor(reply, desc_type, function, false, &d)) return kStatusOk;
  const char* name = prop->name;
  const bool nic = desc_type == kDescNic;
  if (is(name, kPropLogicalLinkState)) {
    SET_CACHE_PROP_VAL(prop, "%s", desc_link_disabled(d) ? "Disabled" : "Enabled");
  } else if (is(name, kPropLPVID)) {
    nic ? SET_CACHE_PROP_VAL(prop, "%d", desc_lpvid(d)) : SET_CACHE_PROP_VAL(prop, "%s", kTextNotAvailable);
  } else if (is(name, kPropOuterVLANID)) {
    const int vlan = d.bytes[kNicOuterVlanLow] | ((d.bytes[kNicOuterVlanLow + 1] & 0x0F) << 8);
    nic ? SET_CACHE_PROP_VAL(prop, "%d", vlan) : SET_CACHE_PROP_VAL(prop, "%s", kTextNotAvailable);
  } else if (is(name, kPropMinBandWidth) || is(name, kPropMaxBandWidth)) {
    const uint32_t value = is(name, kPropMinBandWidth) ? desc_min_bandwidth(d) : desc_max_bandwidth(d);
    SET_CACHE_PROP_VAL(prop, "%d", static_cast<int>(value));
  }
  return kStatusOk;
}

namespace {

// LogicalLinkState or LPVID of one channel of the port, with the port's active and reboot texts.
uint32_t set_channel(PortWrites& port, const ModeTexts& texts, hm_node* channel, hm_node* prop, const char* value) {
  char function[kValueSize];
  char type[kValueSize];
  if (prop == nullptr || value == nullptr || first_phba(port.at.controller) == nullptr ||
      !read_property(channel, kPropFunctionNumber, function) || !read_property(channel, kPropType, type)) {
    return kStatusFailed;
  }
  const uint8_t desc_type = descriptor_type(type);
  const bool lpvid = is(prop->name, kPropLPVID);
  if (lpvid && desc_type != kDescNic) return refuse(kStatusLpvidStorage, msg::kLpvidStorage);
  if (desc_type == 0) return kStatusFailed;
  ChannelWrite w{lpvid ? Edit::kLpvid : Edit::kLinkState};
  w.mode_in_force = mode_in_force(texts.active, texts.reboot);
  // The write keeps what the channel shows of the field it does not change.
  char current[kValueSize] = "";
  if (lpvid) {
    w.lpvid = static_cast<uint16_t>(std::strtoul(value, nullptr, 10));
    w.link_disabled = port.value(channel, kPropLogicalLinkState, current) && !is(current, "Enabled");
  } else {
    w.link_disabled = !is(value, "Enabled");
    if (desc_type == kDescNic && port.value(channel, kPropLPVID, current)) {
      w.lpvid = static_cast<uint16_t>(std::strtoul(current, nullptr, 10));
    }
  }
  return send_channel_write(port, channel, desc_type, function,
                            is(texts.active, "vNIC1") ? kActiveProfile : kConfiguredProfile, w);
}

// The bandwidths of one channel of the port, with the mode texts the action reads itself.
uint32_t configure_qos(PortWrites& port, hm_node* channel, const char* min_text, const char* max_text) {
  ModeTexts texts;
  if (first_phba(port.at.controller) == nullptr || !mode_texts(port.at, kCurrent | kConfigured, &texts)) {
    return kStatusFailed;
  }
  if (none_or_na(texts.configured)) return refuse(kStatusChannelParameterRefused, msg::kChannelParameterRefused);
  if (vnic1_or_ufp(texts.configured)) {
    varu_set_last_status(kStatusLinkDisabledQos, msg::kLinkDisabledQos);
    return kStatusLinkDisabledQos;
  }
  const long min = std::strtol(min_text, nullptr, 10);
  const long max = std::strtol(max_text, nullptr, 10);
  if (min > max) return refuse(kStatusQosMinAboveMax, msg::kQosMinAboveMax);
  char function[kValueSize];
  char lpvid[kValueSize];
  char type[kValueSize];
  if (!read_property(channel, kPropFunctionNumber, function) || !port.value(channel, kPropLPVID, lpvid) ||
      !read_property(channel, kPropType, type) || descriptor_type(type) == 0) {
    return kStatusFailed;
  }
  ChannelWrite w{Edit::kQos};
  w.min_bandwidth = static_cast<uint32_t>(min);
  w.max_bandwidth = static_cast<uint32_t>(max);
  w.lpvid = static_cast<uint16_t>(std::strtoul(lpvid, nullptr, 10));
  w.mode_in_force = mode_in_force(texts.active, texts.reboot);
  if (send_channel_write(port, channel, descriptor_type(type), function, kConfiguredProfile, w) != 0) {
    return kStatusFailed;
  }
  set_prop_val(channel, kPropMinBandWidth, "%ld", min);
  set_prop_val(channel, kPropMaxBandWidth, "%ld", max);
  return kStatusOk;
}

}  // namespace

uint32_t VARU_set_mchannel_params(hm_node* controller, hm_node* channel, hm_node* prop, const char* value,
                                  const char* active_text, const char* reboot_text) {
  PortWrites port;
  ModeTexts texts;
  if (controller == nullptr || active_text == nullptr || reboot_text == nullptr || !locate(channel, &port.at) ||
      port.at.controller != controller) {
    return kStatusFailed;
  }
  std::snprintf(texts.active, kValueSize, "%s", active_text);
  std::snprintf(texts.reboot, kValueSize, "%s", reboot_text);
  return set_channel(port, texts, channel, prop, value);
}

// ---- the Channel handlers ---------------------------------------------------------------------------

uint32_t handle_MinBandWidth(hm_node* prop, char* buf, uint32_t) { return bandwidth_property(prop, buf); }
uint32_t handle_MaxBandWidth(hm_node* prop, char* buf, uint32_t) { return bandwidth_property(prop, buf); }

uint32_t handle_LogicalLinkState(hm_node* prop, char* buf, uint32_t op) {
  ChannelAt at;
  if (prop == nullptr || buf == nullptr || !locate(prop->parent, &at)) return kStatusFailed;
  if (op == kGet) {
    ModeTexts t;
    if (!mode_texts(at, kCurrent, &t) ||
        read_from_profile(at, prop, vnic1_or_ufp(t.active) ? kActiveProfile : kConfiguredProfile) != 0) {
      return kStatusFailed;
    }
    return return_cached(prop, buf);
  }
  if (op != kSet) return kStatusOk;
  // Generation 3 tests no configured type here: the running one picks the profile and the mode bit.
  ModeTexts t;
  if (!mode_texts(at, kCurrent | kRebootNo, &t)) return kStatusFailed;
  if (none_or_na(t.configured)) return refuse(kStatusChannelParameterRefused, msg::kChannelParameterRefused);
  if (VARU_set_mchannel_params(at.controller, at.channel, prop, buf, t.active, t.reboot) != 0) return kStatusFailed;
  SET_CACHE_PROP_VAL(prop, "%s", buf);
  return kStatusOk;
}

uint32_t handle_LPVID(hm_node* prop, char* buf, uint32_t op) {
  ChannelAt at;
  ModeTexts t;
  if (prop == nullptr || buf == nullptr || !locate(prop->parent, &at) ||
      !mode_texts(at, kConfigured | kRebootNo, &t)) {
    return kStatusFailed;
  }
  if (op != kGet && op != kSet) return kStatusOk;
  if (is(t.configured, "UFP")) return op == kGet ? give_text(prop, buf, kTextNotAvailable) : kStatusFailed;
  if (op == kGet) {
    return read_from_profile(at, prop, kConfiguredProfile) != 0 ? kStatusFailed : return_cached(prop, buf);
  }
  if (none_or_na(t.configured)) return refuse(kStatusChannelParameterRefused, msg::kChannelParameterRefused);
  if (!is(t.active, "vNIC1") && std::strtol(buf, nullptr, 10) < 2) return refuse(kStatusLpvidRange, msg::kLpvidRange);
  if (VARU_set_mchannel_params(at.controller, at.channel, prop, buf, t.active, t.reboot) != 0) return kStatusFailed;
  SET_CACHE_PROP_VAL(prop, "%s", buf);
  return kStatusOk;
}

uint32_t handle_channel_outer_vlan(hm_node* prop, char* buf, uint32_t) {
  ChannelAt at;
  ModeTexts t;
  if (prop == nullptr || !locate(prop->parent, &at) || !mode_texts(at, kConfigured, &t)) return kStatusFailed;
  if (!vnic1_or_ufp(t.configured)) return give_text(prop, buf, kTextNotAvailable);
  return read_from_profile(at, prop, kActiveProfile) != 0 ? kStatusFailed : return_cached(prop, buf);
}

uint32_t handle_channel_vnic_name(hm_node* prop, char* buf, uint32_t) {
  ChannelAt at;
  ModeTexts t;
  char type[kValueSize];
  char function[kValueSize];
  if (prop == nullptr || !locate(prop->parent, &at) || !mode_texts(at, kCurrent, &t)) return kStatusFailed;
  if (!vnic1_or_ufp(t.active)) return give_text(prop, buf, kTextNotAvailable);
  if (!read_property(at.channel, kPropType, type) || !read_property(at.channel, kPropFunctionNumber, function)) {
    return kStatusFailed;
  }
  const bool nic = is(type, "NIC");
  if (!nic && !is(type, "iSCSI")) return give_text(prop, buf, "");
  hm_node* phba = phba_of_function(at.controller, nic ? kGroupNICPhysicalHBA : "iSCSIPhysicalHBA", function);
  if (phba == nullptr) return return_cached(prop, buf);
  const CommandAddress c = command_address(phba);
  vnic_name_record r{};
  if (ioctl_get_vnic_function_name(c.port, &r, c.domain, c.phba_port, nic ? kProtocolNic : kProtocolIscsi) != 0) {
    return kStatusFailed;
  }
  return give_text(prop, buf, r.enabled == 1 ? std::string(r.name, strnlen(r.name, sizeof r.name)).c_str() : "");
}

uint32_t do_ConfigureQoS(hm_node* channel, hm_node*, char params[6][256]) {
  PortWrites port;
  if (!locate(channel, &port.at)) return kStatusFailed;
  return configure_qos(port, channel, params[0], params[1]);
}

// ---- save and restore around a profile save ----------------------------------------------------------

uint32_t VARU_save_mc_props(hm_node* channel_group, mc_prop* area, uint32_t port_number, uint32_t* count) {
  hm_node* port = channel_group != nullptr ? channel_group->parent : nullptr;
  hm_node* controller = port != nullptr ? port->parent : nullptr;
  hm_node* management =
      controller != nullptr ? internal_get_node(controller, controller::kGroupProfileManagement, kGroup) : nullptr;
  hm_node* active =
      management != nullptr ? internal_get_node(management, controller::kGroupActiveProfile, kGroup) : nullptr;
  char interface_type[kValueSize];
  if (area == nullptr || count == nullptr || port_number >= kMcPorts || active == nullptr ||
      !read_property(port, port::kPropInterfaceType, interface_type)) {
    return kStatusFailed;
  }
  mc_prop_record* records = area->record[port_number];
  if (!is(interface_type, "Unknown")) {
    char name[kNameSize];
    char mc_type[kValueSize];
    std::snprintf(name, sizeof name, "%s%u", kGroupProfilePort, port_number);
    if (!read_property(internal_get_node(active, name, kGroup), services::kPropMCType, mc_type)) return kStatusFailed;
    records[0].mc_type = mc_code_of(mc_type);
  }
  hm_node* channel = get_first_instance(channel_group, kGroupChannel);
  if (channel == nullptr) return kStatusNoChannels;
  // The channels' values as they stand in the tree: built from the adapter, and kept by every write.
  uint32_t n = 0;
  for (; channel != nullptr && n < kMcChannels; channel = next_instance(channel), ++n) {
    mc_prop_record& r = records[n];
    auto cached = [&](const char* name, char text[kValueSize]) {
      const hm_property* p = property_data(internal_get_node(channel, name, kProperty));
      if (p != nullptr) std::snprintf(text, kValueSize, "%s", property_value(p));
      return p != nullptr;
    };
    char text[kValueSize];
    if (cached(kPropMinBandWidth, text)) r.bw_min = static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
    if (cached(kPropMaxBandWidth, text)) r.bw_max = static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
    if (cached(kPropLPVID, text)) r.vlan_id = static_cast<uint16_t>(std::strtoul(text, nullptr, 10));
    if (cached(kPropLogicalLinkState, text)) r.lld = is(text, "Enabled") ? 0 : 1;
    if (cached(kPropType, text)) std::snprintf(r.func_type, sizeof r.func_type, "%.31s", text);
  }
  *count = n;
  return kStatusOk;
}

uint32_t VARU_reset_mc_props(hm_node* channel_group, const mc_prop* area, uint32_t port_number,
                             const uint16_t configured_codes[kMcPorts], uint32_t count) {
  if (area == nullptr || channel_group == nullptr || port_number >= kMcPorts) return kStatusFailed;
  const mc_prop_record* records = area->record[port_number];
  if (records[0].mc_type == 1 || (configured_codes != nullptr && configured_codes[port_number] == 1)) return kStatusOk;
  hm_node* channel = get_first_instance(channel_group, kGroupChannel);
  PortWrites port;
  port.cached_values = true;
  if (channel == nullptr || !locate(channel, &port.at)) return kStatusFailed;
  for (uint32_t c = 0; channel != nullptr; channel = next_instance(channel), ++c) {
    const mc_prop_record* r = c < count && c < kMcChannels ? &records[c] : nullptr;
    char min[16];
    char max[16];
    std::snprintf(min, sizeof min, "%u", r != nullptr ? r->bw_min : 0);
    std::snprintf(max, sizeof max, "%u", r != nullptr ? r->bw_max : 0);
    const uint32_t qos = configure_qos(port, channel, min, max);
    if (r == nullptr) {
      pdebug(kBackEnd, 6, "%s: channel %u bandwidths cleared: %u\n", __func__, c, qos);
      continue;
    }
    if (qos != 0) return qos == kStatusLinkDisabledQos ? kStatusOk : kStatusFailed;
    // The link and LPVID writes take the port's profile mode texts, whatever the generation.
    ModeTexts texts;
    char type[kValueSize];
    char lpvid[kValueSize];
    if (VARU_get_ovl_mc_type(port.at.controller, port.at.port, texts.active, texts.configured, texts.reboot) != 0 ||
        !port.value(channel, kPropType, type) || !port.value(channel, kPropLPVID, lpvid)) {
      return kStatusFailed;
    }
    if (is(type, r->func_type) && std::strstr(type, "NIC") != nullptr) {
      char value[16];
      std::snprintf(value, sizeof value, "%u", r->vlan_id);
      if (std::strcmp(value, "0") != 0) {
        set_channel(port, texts, channel, internal_get_node(channel, kPropLPVID, kProperty), value);
      }
      set_prop_val(channel, kPropLPVID, "%s", value);
    }
    const char* link = r->lld != 0 ? "Disabled" : "Enabled";
    set_channel(port, texts, channel, internal_get_node(channel, kPropLogicalLinkState, kProperty), link);
    set_prop_val(channel, kPropLogicalLinkState, "%s", link);
  }
  return kStatusOk;
}

}  // namespace vx
