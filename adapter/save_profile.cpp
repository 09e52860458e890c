// SaveProfile: the pending choices of a controller's configured profile (ProfileId, each port's
// MCType, each function's Protocol and SRIOVState) go to the adapter as one full profile write; then
// the configured profile and every port's channels are read again, the channels' own settings
// restored.
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/channel_settings.h"
#include "adapter/controller_attribs.h"
#include "adapter/live_properties.h"
#include "adapter/nic_common.h"
#include "adapter/nic_records.h"
#include "adapter/pending_profile.h"
#include "adapter/profiles.h"
#include "engine/messages.h"
#include "iscsi/lookups.h"
#include "schema/names_controller.h"
#include "schema/names_port.h"
#include "schema/names_services.h"

namespace vx {
namespace {

constexpr size_t kResetNeededSize = 4;
constexpr uint8_t kProtocolOff = 15;     // a function whose pending Protocol names none is switched off
constexpr uint8_t kSriovAlwaysProfile = 24;
constexpr size_t kMaxProfileId = 255;

// One PCI function of the configured profile: its number and the descriptor it is written from.
struct Template {
  uint16_t pf;
  uint8_t bytes[kResourceDescriptorLength];
};

// One function of the pending choices.
struct Choice {
  uint16_t pf;
  uint8_t protocol;
  bool sriov;
};

uint8_t protocol_code(const char* text) {
  if (::strcasecmp(text, "NIC") == 0) return kFnNic;
  if (::strcasecmp(text, "iSCSI") == 0) return kFnIscsi;
  if (::strcasecmp(text, "FCoE") == 0) return kFnFcoe;
  if (::strcasecmp(text, "NIC+RoCE") == 0 || ::strcasecmp(text, "RoCE") == 0) return kFnRoce;
  return kProtocolOff;
}

void put_u16(uint8_t* at, uint16_t v) { std::memcpy(at, &v, sizeof v); }

// The PCI-function descriptors of the configured profile, each replaced by the active profile's
// descriptor of the same place and number (the two are walked side by side).
bool read_templates(hm_node* controller, std::vector<Template>* out) {
  ProfileReply configured = fetch_profile(controller, kConfiguredProfile, 0, 1);
  if (configured == nullptr) return false;
  for (const ResourceDescriptor& d : descriptors_of(configured.get())) {
    if (d.type != kDescPciFunction) continue;
    Template t{desc_pf_number(d), {}};
    std::memcpy(t.bytes, d.bytes, std::min<size_t>(d.length, sizeof t.bytes));
    out->push_back(t);
  }
  ProfileReply active = fetch_profile(controller, kActiveProfile, 0, 0);
  if (active == nullptr) return false;
  size_t k = 0;
  for (const ResourceDescriptor& d : descriptors_of(active.get())) {
    if (d.type != kDescPciFunction || k >= out->size()) continue;
    if (desc_pf_number(d) == (*out)[k].pf) {
      std::memcpy((*out)[k].bytes, d.bytes, std::min<size_t>(d.length, kResourceDescriptorLength));
    }
    ++k;
  }
  return true;
}

// The pending choices of every port of ConfiguredProfile, in order: the ports' MCType texts and the
// functions. False when a group is missing, a read fails or a port has no function.
bool read_choices(hm_node* configured, std::vector<std::string>* mc_types, std::vector<Choice>* choices) {
  hm_node* port = get_first_instance(configured, kGroupProfilePort);
  if (port == nullptr) return false;
  for (; port != nullptr; port = next_instance(port)) {
    char mc_type[kValueSize];
    hm_node* f = get_first_instance(port, kGroupProfileFunction);
    if (!read_property(port, services::kPropMCType, mc_type) || f == nullptr) return false;
    mc_types->push_back(mc_type);
    for (; f != nullptr; f = next_instance(f)) {
      char protocol[kValueSize];
      char number[kValueSize];
      char sriov[kValueSize];
      if (!read_property(f, services::kPropProtocol, protocol) ||
          !read_property(f, services::kPropFunctionNumber, number) ||
          !read_property(f, services::kPropSRIOVState, sriov)) {
        return false;
      }
      choices->push_back({static_cast<uint16_t>(std::strtoul(number, nullptr, 16) & 0x3FF), protocol_code(protocol),
                          ::strcasecmp(sriov, "Enabled") == 0});
    }
  }
  return true;
}

// Slot of one PCI function in the request.
void fill_function(uint8_t* slot, const Template& t, const Choice* choice, uint8_t profile_id) {
  std::memcpy(slot, t.bytes, kResourceDescriptorLength);
  slot[3] &= 0x3F;
  slot[0] = kDescPciFunction;
  slot[1] = kResourceDescriptorLength;
  slot[6] = static_cast<uint8_t>(t.pf & 0xFF);
  slot[7] = static_cast<uint8_t>((slot[7] & 0xFC) | ((t.pf >> 8) & 0x03));
  uint8_t state = 0, protocol = kFnNic, sriov = 0;
  uint16_t vfs = 0;
  if (choice != nullptr && choice->protocol != kProtocolOff) {
    state = 1;
    protocol = choice->protocol;
    sriov = profile_id == kSriovAlwaysProfile || choice->sriov ? 1 : 0;
    vfs = sriov == 1 ? kAllVirtualFunctions : 0;
  }
  slot[kFnSriovState] = sriov;
  slot[kFnPfState] = state;
  slot[kFnProtocol] = protocol;
  put_u16(slot + kFnNumberVfs, vfs);
}

// Every port's channels are read again from the adapter, their settings saved before and restored
// after. False on the failures that end the save.
bool reread_channels(hm_node* controller, const std::vector<std::string>& mc_types, const uint16_t codes[kMcPorts]) {
  hm_node* port = get_first_instance(controller, kGroupPortDiscoveryAndConfiguration);
  if (port == nullptr) return false;
  mc_prop area{};
  for (; port != nullptr; port = next_instance(port)) {
    const int32_t index = instance_number(port);
    const std::string mc_type =
        static_cast<size_t>(index) < mc_types.size() ? mc_types[static_cast<size_t>(index)] : "None";
    // The port's flow-control settings go again with its new mode; a failure does not end the save.
    if (VARU_reset_flow_control_properties(port, mc_type.c_str()) != 0) {
      pdebug(kBackEnd, 3, "%s: flow control of port %d not re-sent\n", __func__, index);
    }
    char number[kValueSize];
    hm_node* channels = internal_get_node(port, port::kGroupChannelManagement, kGroup);
    if (!read_property(port, port::kPropPortNumber, number) || channels == nullptr) return false;
    uint32_t count = 0;
    const uint32_t saved = VARU_save_mc_props(channels, &area, static_cast<uint32_t>(index), &count);
    if (saved == kStatusNoChannels) continue;
    if (saved != 0 || purge_nodes_within(channels, kGroupChannel) != 0 ||
        VARU_get_multi_channels_info(static_cast<uint32_t>(std::strtoul(number, nullptr, 10)), port) != 0) {
      return false;
    }
    VARU_reset_mc_props(channels, &area, static_cast<uint32_t>(index), codes, count);
  }
  return true;
}

}  // namespace

uint32_t do_SaveProfile(hm_node* group, hm_node*, char[6][256]) {
  hm_node* controller = group != nullptr ? group->parent : nullptr;
  if (controller == nullptr || adapter_of(controller) != controller) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kGeneration2 || generation == kGeneration3 || generation == kGenerationQuenta) {
    return refuse(kStatusSaveNotSupported, msg::kSaveNotSupported);
  }
  ControllerAddress a;
  hm_node* configured = internal_get_node(group, controller::kGroupConfiguredProfile, kGroup);
  if (generation == kGenerationNone || !controller_address(controller, &a) || configured == nullptr) {
    return kStatusFailed;
  }
  // The id travels in one byte: a pending id it cannot hold is refused before anything is sent.
  char id_text[kValueSize];
  uint32_t profile_id = 0;
  if (!read_property(configured, controller::kPropProfileId, id_text)) return kStatusFailed;
  if (!parse_decimal(id_text, kMaxProfileId, &profile_id)) return refuse(kStatusInvalidValue, msg::kProfileIdRange);

  std::vector<Template> templates;
  std::vector<std::string> mc_types;
  std::vector<Choice> choices;
  if (!read_templates(controller, &templates) || !read_choices(configured, &mc_types, &choices)) return kStatusFailed;
  // Choices of this process that another's start-up wrote over are not sent as if they were its own.
  AdapterKey key;
  if (!adapter_key(controller, &key)) return kStatusFailed;
  switch (check_pending_choices(key)) {
    case RememberedChoices::kHeld: break;
    case RememberedChoices::kChanged: return refuse(kStatusPendingChoicesChanged, msg::kPendingChoicesChanged);
    case RememberedChoices::kUnreadable: return kStatusFailed;
  }
  // A pending function the profile has no descriptor for would be left out of the write unseen.
  for (const Choice& c : choices) {
    if (std::none_of(templates.begin(), templates.end(), [&](const Template& t) { return t.pf == c.pf; })) {
      pdebug(kBackEnd, 3, "%s:function 0x%x is not in the configured profile\n", __func__, c.pf);
      return refuse(kStatusSaveRefused, msg::kSaveRefused);
    }
  }
  const size_t n = templates.size();
  const size_t length = kProfileSetDescriptors + kResourceDescriptorLength * n + kMultichannelLength;
  if (length > kMaxRequestLength) return kStatusFailed;
  ProfileReply request(static_cast<uint8_t*>(varu_dcalloc(static_cast<uint32_t>(length))));
  if (request == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  request[0] = static_cast<uint8_t>(profile_id);
  request[3] = kProfileSetMarker;
  const uint32_t count = static_cast<uint32_t>(n + 1);
  std::memcpy(request.get() + 4, &count, sizeof count);
  for (size_t k = 0; k < n; ++k) {
    // Every pending function counts, wherever it stands in the list.
    const Choice* choice = nullptr;
    for (const Choice& c : choices) {
      if (c.pf == templates[k].pf) {
        choice = &c;
        break;
      }
    }
    fill_function(request.get() + kProfileSetDescriptors + kResourceDescriptorLength * k, templates[k], choice,
                  static_cast<uint8_t>(profile_id));
  }
  uint8_t* mc = request.get() + kProfileSetDescriptors + kResourceDescriptorLength * n;
  mc[0] = kMultichannelDescriptor;
  mc[1] = kMultichannelLength;
  uint16_t codes[kMcPorts] = {};
  for (size_t p = 0; p < mc_types.size() && kMultichannelPorts + p < kMultichannelLength; ++p) {
    mc[kMultichannelPorts + p] = mc_code_of(mc_types[p].c_str());
    if (p < kMcPorts) codes[p] = mc[kMultichannelPorts + p];
  }

  if (ioctl_set_profile_config(a.handle, request.get(), static_cast<uint16_t>(length), a.domain, a.port_number,
                               a.path) != 0) {
    rebuild_configured_profile(controller);
    return refuse(kStatusSaveRefused, msg::kSaveRefused);
  }
  uint8_t reset[kResetNeededSize] = {};
  if (ioctl_get_reset_needed(a.handle, reset, a.domain, a.port_number, a.adapter) != 0) {
    return refuse(kStatusGetResetNeededFailed, msg::kGetResetNeededFailed);
  }
  if (reset[0] != 0) varu_set_last_status(kStatusRebootForChange, msg::kRebootForChange);
  // What the save reports stays the last status, whatever the re-reads below leave.
  uint32_t outcome = 0;
  char outcome_text[kStatusTextSize];
  varu_get_last_status(&outcome, outcome_text);
  if (rebuild_configured_profile(controller) != 0 || !reread_channels(controller, mc_types, codes)) {
    return kStatusFailed;
  }
  varu_set_last_status(outcome, outcome_text);
  return kStatusOk;
}

}  // namespace vx
