#include "adapter/sriov.h"

#include <strings.h>

#include <cstring>
#include <vector>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/nic_common.h"
#include "adapter/nic_records.h"
#include "adapter/multichannel.h"
#include "adapter/oem_attribs.h"
#include "adapter/personality.h"
#include "adapter/profiles.h"
#include "engine/messages.h"
#include "iscsi/records.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"
#include "schema/names_nic.h"
#include "schema/names_services.h"

namespace vx {
namespace {

constexpr uint8_t kPfUnchanged = 0xFF;
constexpr uint8_t kCommonProfileActive = 2;
constexpr uint32_t kMaxProfileId = 255;

bool is(const char* text, const char* name) { return ::strcasecmp(text, name) == 0; }

const char* state_text(uint8_t state) {
  return state == 0 ? "Disabled" : state == 1 ? "Enabled" : state == 255 ? kTextNotAvailable : nullptr;
}

// Whether the adapter's firmware configuration says the function cannot run SR-IOV (or any
// multichannel mode).
bool sriov_not_offered(const CommandAddress& at) {
  uint8_t config[kFwConfigSize] = {};
  ioctl_get_fw_config(at.port, config, at.domain, at.phba_port, kProtocolNic);
  return (config[kFwConfigFunctionCaps] & kFwConfigNoMultichannel) != 0;
}

hm_node* configured_profile(hm_node* adapter) {
  hm_node* management = internal_get_node(adapter, controller::kGroupProfileManagement, kGroup);
  return management != nullptr ? internal_get_node(management, controller::kGroupConfiguredProfile, kGroup) : nullptr;
}

// A descriptor of the full write: its 88 bytes and whether the function is switched off.
struct Entry {
  uint16_t pf;
  uint8_t bytes[kResourceDescriptorLength];
};

// A port's code as the full write carries it: the codes a profile shows as "None" (0, 9 and those
// above 10) go as 1, the code of no multichannel mode (0 there would leave the port's mode as it is).
uint8_t written_mc_code(uint8_t code) {
  constexpr uint8_t kNoMode = 1;
  const char* shown = profile_mc_type_text(code);
  return shown == nullptr || std::strcmp(shown, "None") == 0 ? kNoMode : code;
}

Entry entry_of(const ResourceDescriptor& d) {
  Entry e{desc_pf_number(d), {}};
  std::memcpy(e.bytes, d.bytes, std::min<size_t>(d.length, sizeof e.bytes));
  return e;
}

uint32_t legacy_read(uint32_t generation, const CommandAddress& at, hm_node* adapter, ProfileReply* block,
                     size_t* size) {
  *size = generation == kGeneration3 ? kVxConfV1Size : kCommonProfileSize;
  block->reset(static_cast<uint8_t*>(varu_dcalloc(static_cast<uint32_t>(*size))));
  if (*block == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  if (generation == kGeneration3) {
    return ioctl_get_vx_conf_V1(at.port, block->get(), static_cast<uint16_t>(*size), at.domain, at.phba_port,
                                kProtocolNic) != 0
               ? refuse(kStatusGetSriovFailed, msg::kGetSriovFailed)
               : kStatusOk;
  }
  (*block)[1] = kCommonProfileActive;
  return ioctl_get_common_profile_config(at.port, block->get(), static_cast<uint16_t>(*size), at.domain, at.phba_port,
                                         instance_number(adapter)) != 0
             ? refuse(kStatusLegacyPersonalityRead, msg::kPersonalityReadFailed)
             : kStatusOk;
}

}  // namespace

uint32_t VARU_get_SRIOVState(uint32_t generation, hm_node* phba, int32_t port, uint8_t domain, uint8_t port_number,
                             hm_node* adapter, const char* function, uint8_t config_type, hm_node* target) {
  if (phba == nullptr || adapter == nullptr || function == nullptr || target == nullptr) return kStatusFailed;
  if (generation == kGenerationQuenta) return kStatusNoProfileSupport;
  uint32_t pf = 0;
  if (!parse_pci_number(function, &pf)) return kStatusFailed;
  ProfileReply reply(static_cast<uint8_t*>(varu_dcalloc(kProfileConfigSize)));
  if (reply == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  reply[1] = static_cast<uint8_t>(config_type & 0x03);
  const uint32_t rc =
      ioctl_get_profile_config(port, reply.get(), kProfileConfigSize, domain, port_number, kProtocolNic);
  if (rc == kStatusNoResource) return rc;
  if (rc != 0) return refuse(kStatusGetProfileConfigFailed, msg::kGetProfileConfigFailed);
  for (const ResourceDescriptor& d : descriptors_of(reply.get())) {
    if (d.type != kDescPciFunction || desc_pf_number(d) != pf) continue;
    const char* text = !desc_sriov_state_chg(d)   ? kTextNotAvailable
                       : desc_sriov_state(d) <= 1 ? state_text(desc_sriov_state(d))
                                                  : nullptr;
    if (text != nullptr) set_prop_val(target, nic::kPropSRIOVState, "%s", text);
  }
  return kStatusOk;
}

uint32_t VARU_set_SRIOVState(uint32_t generation, hm_node* phba, int32_t port, uint8_t domain, uint8_t port_number,
                             const char* value, hm_node* adapter) {
  if (value == nullptr || phba == nullptr || adapter == nullptr) return kStatusOk;
  if (generation == kGeneration2 || generation == kGenerationQuenta) return kStatusNoProfileSupport;
  char current[kValueSize];
  char function[kValueSize];
  uint32_t pf = 0;
  if (!read_property(phba, nic::kPropSRIOVState, current)) return kStatusFailed;
  if (is(current, kTextNotAvailable)) return refuse(kStatusSriovNotChangeable, msg::kSriovNotChangeable);
  if (!phba_function_number(phba, function, &pf)) return kStatusFailed;
  if (generation == kGeneration3) {
    ProfileReply request(static_cast<uint8_t*>(varu_dcalloc(kProfileConfigSetSize)));
    if (request == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
    request[4] = 1;
    uint8_t* d = request.get() + kProfileSetDescriptors;
    d[0] = kDescPciFunction;
    d[1] = kResourceDescriptorLength;
    d[6] = static_cast<uint8_t>(pf & 0xFF);
    d[7] = static_cast<uint8_t>((pf >> 8) & 0x03);
    d[kFnSriovState] = is(value, "Disabled") ? 0 : 1;
    d[kFnPfState] = kPfUnchanged;
    d[kFnProtocol] = kFnNic;
    const uint32_t rc = ioctl_set_profile_config(port, request.get(), static_cast<uint16_t>(kProfileConfigSetSize),
                                                 domain, port_number, kProtocolNic);
    if (rc == kStatusNoResource) return rc;
    if (rc != 0) return refuse(kStatusSetPortProtocolFailed, msg::kSetPortProtocolFailed);
  } else if (VARU_set_hqi_sriov_state(adapter, pf, value, port, domain, port_number, kProtocolNic) != 0) {
    return kStatusFailed;
  }
  varu_set_last_status(kStatusSriovChanged, msg::kSriovChanged);
  return kStatusOk;
}

uint32_t VARU_set_hqi_sriov_state(hm_node* adapter, uint32_t pf, const char* value, int32_t port, uint8_t domain,
                                  uint8_t port_number, int32_t path) {
  char id_text[kValueSize];
  uint32_t profile_id = 0;
  if (!read_property(configured_profile(adapter), controller::kPropProfileId, id_text)) return kStatusFailed;
  // One byte on the wire, as for the profile save.
  if (!parse_decimal(id_text, kMaxProfileId, &profile_id)) return refuse(kStatusInvalidValue, msg::kProfileIdRange);
  ProfileReply first = fetch_profile(adapter, kConfiguredProfile, 0, 1);
  ProfileReply second = first != nullptr ? fetch_profile(adapter, kConfiguredProfile, 0, 0) : nullptr;
  if (second == nullptr) return kStatusFailed;
  std::vector<Entry> entries;
  for (const ResourceDescriptor& d : descriptors_of(first.get())) {
    if (d.type == kDescPciFunction) entries.push_back(entry_of(d));
  }
  // The second read lists the functions that are on, in the first read's order: those it passes
  // over go out switched off. A function the first read does not have moves nothing.
  std::vector<uint8_t> port_codes;
  size_t next = 0;
  for (const ResourceDescriptor& d : descriptors_of(second.get())) {
    if (d.type == kDescPort) port_codes.push_back(written_mc_code(desc_mc_type(d)));
    if (d.type != kDescPciFunction) continue;
    size_t match = next;
    while (match < entries.size() && entries[match].pf != desc_pf_number(d)) ++match;
    if (match == entries.size()) continue;
    for (; next < match; ++next) entries[next].bytes[kFnPfState] = 0, entries[next].bytes[kFnProtocol] = kFnNic;
    entries[next++] = entry_of(d);
  }
  const size_t length = kProfileSetDescriptors + kResourceDescriptorLength * entries.size() + kMultichannelLength;
  if (length > kMaxRequestLength) return kStatusFailed;
  ProfileReply request(static_cast<uint8_t*>(varu_dcalloc(static_cast<uint32_t>(length))));
  if (request == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  request[0] = static_cast<uint8_t>(profile_id);
  request[3] = kProfileSetMarker;
  const uint32_t count = static_cast<uint32_t>(entries.size() + 1);
  std::memcpy(request.get() + 4, &count, sizeof count);
  uint8_t* slot = request.get() + kProfileSetDescriptors;
  for (const Entry& e : entries) {
    std::memcpy(slot, e.bytes, kResourceDescriptorLength);
    slot[0] = kDescPciFunction;
    slot[1] = kResourceDescriptorLength;
    slot[3] &= 0x3F;
    if (e.pf == pf && (is(value, "Enabled") || is(value, "Disabled"))) {
      const bool on = is(value, "Enabled");
      const uint16_t vfs = on ? kAllVirtualFunctions : 0;
      slot[kFnSriovState] = on ? 1 : 0;
      std::memcpy(slot + kFnNumberVfs, &vfs, sizeof vfs);
    }
    slot += kResourceDescriptorLength;
  }
  slot[0] = kMultichannelDescriptor;
  slot[1] = kMultichannelLength;
  // Each port keeps the mode the configured profile has for it.
  for (size_t p = 0; p < port_codes.size() && kMultichannelPorts + p < kMultichannelLength; ++p) {
    slot[kMultichannelPorts + p] = port_codes[p];
  }
  if (ioctl_set_profile_config(port, request.get(), static_cast<uint16_t>(length), domain, port_number, path) != 0) {
    return refuse(kStatusSaveRefused, msg::kSaveRefused);
  }
  VARU_conf_sriov_state(adapter, pf, value);
  return kStatusOk;
}

uint32_t VARU_conf_sriov_state(hm_node* adapter, uint32_t pf, const char* value) {
  hm_node* port = get_first_instance(configured_profile(adapter), kGroupProfilePort);
  if (port == nullptr || value == nullptr) return kStatusFailed;
  for (; port != nullptr; port = next_instance(port)) {
    for (hm_node* f = get_first_instance(port, kGroupProfileFunction); f != nullptr; f = next_instance(f)) {
      char text[kValueSize];
      uint32_t number = 0;
      if (!read_property(f, services::kPropFunctionNumber, text) || !parse_pci_number(text, &number) || number != pf) {
        continue;
      }
      // Through its handler, so that the pending choice follows what the adapter now holds.
      char copy[kValueSize];
      std::snprintf(copy, sizeof copy, "%s", value);
      if (internal_set_property(f, services::kPropSRIOVState, copy) != 0) {
        set_prop_val(f, services::kPropSRIOVState, "%s", value);
      }
      return kStatusOk;
    }
  }
  return kStatusFailed;
}

uint32_t VARU_get_legacy_sriov_state(uint32_t generation, hm_node* phba, int32_t port, uint8_t domain,
                                     uint8_t port_number, hm_node* adapter) {
  char function[kValueSize];
  uint32_t pf = 0;
  if (phba == nullptr || !phba_function_number(phba, function, &pf)) return kStatusFailed;
  const char* text = kTextNotAvailable;
  if (generation == kGeneration3 || generation == kGenerationQuenta) {
    ProfileReply block;
    size_t size = 0;
    if (legacy_read(generation, CommandAddress{port, domain, port_number}, adapter, &block, &size) != 0) {
      return kStatusFailed;
    }
    const bool v1 = generation == kGeneration3;
    const LegacySriov s =
        legacy_sriov(v1 ? LegacySriovBlock::kVxConfV1 : LegacySriovBlock::kCommonProfile, block.get(), size, function);
    if (s.found) text = v1 ? state_text(s.state) : s.state <= 1 ? state_text(s.state) : kTextNotAvailable;
  }
  if (text != nullptr) set_prop_val(phba, nic::kPropSRIOVState, "%s", text);
  return kStatusOk;
}

uint32_t VARU_set_legacy_sriov_state(uint32_t generation, hm_node* phba, int32_t port, uint8_t domain,
                                     uint8_t port_number, const char* value, hm_node* adapter) {
  // A write that would send nothing is no success.
  if (generation != kGeneration3) return refuse(kStatusSriovNotChangeable, msg::kSriovNotChangeable);
  char function[kValueSize];
  uint32_t pf = 0;
  if (phba == nullptr || value == nullptr || !phba_function_number(phba, function, &pf)) return kStatusFailed;
  ProfileReply block;
  size_t size = 0;
  if (legacy_read(generation, CommandAddress{port, domain, port_number}, adapter, &block, &size) != 0) {
    return kStatusFailed;
  }
  const LegacySriov s = legacy_sriov(LegacySriovBlock::kVxConfV1, block.get(), size, function);
  if (!s.found) return refuse(kStatusSriovNotChangeable, msg::kSriovNotChangeable);
  if (is(value, "Disabled") || is(value, "Enabled")) block[s.offset] = is(value, "Enabled") ? 1 : 0;
  const uint32_t rc =
      ioctl_set_vx_conf_V1(port, block.get(), static_cast<uint16_t>(size), domain, port_number, kProtocolNic);
  if (rc == kStatusSriovZmc) return refuse(kStatusSriovZmc, msg::kSriovZmc);
  if (rc != 0) return refuse(kStatusSetSriovFailed, msg::kSetSriovFailed);
  varu_set_last_status(kStatusSriovChanged, msg::kSriovChanged);
  return kStatusOk;
}

// ---- the handlers ------------------------------------------------------------------------------------

uint32_t handle_NICPhysicalHBA_SRIOVState(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet && op != kSet) return kStatusOk;
  if (vm_flag != 0) {
    return op == kGet ? refuse_on_vf(buf) : refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  }
  hm_node* phba = prop != nullptr ? prop->parent : nullptr;
  hm_node* adapter = adapter_of(phba);
  const uint32_t generation = adapter != nullptr ? get_vx_type(adapter) : kGenerationNone;
  if (generation == kGenerationNone || buf == nullptr) return kStatusFailed;
  if (generation == kGeneration2) {
    return op == kGet ? give_text(prop, buf, kTextNotAvailable)
                      : refuse(kStatusSriovNotChangeable, msg::kSriovNotChangeable);
  }
  char function[kValueSize];
  uint32_t pf = 0;
  if (!phba_function_number(phba, function, &pf)) return kStatusFailed;
  const CommandAddress at = command_address(phba);
  if (op == kSet) {
    const uint32_t rc = VARU_set_SRIOVState(generation, phba, at.port, at.domain, at.phba_port, buf, adapter);
    if (rc == kStatusNoResource || rc == kStatusNoProfileSupport) {
      return VARU_set_legacy_sriov_state(generation, phba, at.port, at.domain, at.phba_port, buf, adapter) != 0
                 ? kStatusFailed
                 : kStatusOk;
    }
    return rc == 0 ? kStatusOk : kStatusFailed;
  }
  if (generation != kGenerationQuenta && sriov_not_offered(at)) return give_text(prop, buf, kTextNotAvailable);
  const uint32_t rc = VARU_get_SRIOVState(generation, phba, at.port, at.domain, at.phba_port, adapter, function,
                                          kConfiguredProfile, phba);
  if (rc == kStatusNoResource || rc == kStatusNoProfileSupport) {
    if (VARU_get_legacy_sriov_state(generation, phba, at.port, at.domain, at.phba_port, adapter) != 0) {
      return kStatusFailed;
    }
  } else if (rc != 0) {
    return kStatusFailed;
  }
  return return_cached(prop, buf);
}

uint32_t handle_AProf_SRIOVState(hm_node* prop, char* buf, uint32_t) {
  if (prop == nullptr || buf == nullptr) return kStatusFailed;
  if (vm_flag != 0) std::snprintf(buf, kValueSize, "%s", kTextNotAvailable);
  hm_node* function = prop->parent;
  hm_node* adapter = adapter_of(function);
  const uint32_t generation = adapter != nullptr ? get_vx_type(adapter) : kGenerationNone;
  if (generation == kGenerationNone) return kStatusFailed;
  if (generation == kGeneration2 || generation == kGeneration3 || generation == kGenerationQuenta) {
    return give_text(prop, buf, kTextNotAvailable);
  }
  hm_node* nic = get_first_instance(adapter, kGroupNICPhysicalHBA);
  char number[kValueSize];
  if (nic == nullptr || !read_property(function, services::kPropFunctionNumber, number)) return kStatusFailed;
  const CommandAddress at = command_address(nic);
  // An adapter that offers no SR-IOV shows it on the function asked about.
  if (sriov_not_offered(at)) return give_text(prop, buf, kTextNotAvailable);
  if (VARU_get_SRIOVState(generation, nic, at.port, at.domain, at.phba_port, adapter, number, kActiveProfile,
                          function) != 0) {
    return kStatusFailed;
  }
  return return_cached(prop, buf);
}

}  // namespace vx
