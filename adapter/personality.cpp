#include "adapter/personality.h"

#include <strings.h>

#include <cstring>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/oem_attribs.h"
#include "adapter/profile_records.h"
#include "adapter/multichannel.h"
#include "adapter/profiles.h"
#include "access/transport.h"
#include "engine/messages.h"
#include "schema/names_controller.h"

namespace vx {

using namespace controller;

namespace {

constexpr const char* kNotAvailable = "N/A";
constexpr uint32_t kGenerationUnreadable = 1;
constexpr uint8_t kRoleIscsi = 0x02;
constexpr uint8_t kRoleFcoe = 0x04;
constexpr uint16_t kStoragePfA = 2;   // the legacy blocks keep the storage protocol on PF 2 and 3
constexpr uint16_t kStoragePfB = 3;
constexpr size_t kConfiguredPersonalityPayload = 8;
constexpr size_t kHeaderLengthWord = 8;

struct Personality {
  const char* name;
  uint8_t protocol;   // profile descriptor
  uint8_t pf_type;    // vx_conf entry
};
constexpr Personality kPersonalities[] = {{"NIC", kFnNic, 0}, {"iSCSI", kFnIscsi, 1}, {"FCoE", kFnFcoe, 2}};

const Personality* personality_named(const char* name) {
  for (const Personality& p : kPersonalities) {
    if (name != nullptr && ::strcasecmp(p.name, name) == 0) return &p;
  }
  return nullptr;
}

hm_node* personality_group(hm_node* controller) {
  return controller != nullptr ? internal_get_node(controller, kGroupPersonality, kGroup) : nullptr;
}

}  // namespace

const char* legacy_personality(bool gen4, uint8_t type2, uint8_t state2, uint8_t type3, uint8_t state3) {
  if (type2 != type3 || state2 != state3) return "Unknown";
  if (gen4) {
    if (type2 == kFnFcoe && state2 == 1) return "FCoE";
    return type2 != kFnNic && state2 != 0 ? "Illegal" : "NIC";
  }
  switch (type2) {
    case 0: return "NIC";
    case 1: return state2 == 0 ? "iSCSI" : state2 == 1 ? "NIC" : "Illegal";
    case 2: return state2 == 0 ? "FCoE" : state2 == 1 ? "NIC" : "Illegal";
    default: return state2 == 1 ? "NIC" : "Illegal";
  }
}

uint32_t VARU_get_storage_functions(int32_t handle, uint8_t domain, uint8_t port_number, hm_node* controller,
                                    uint32_t* count, uint16_t pf_numbers[kMaxStorageFunctions],
                                    uint8_t types[kMaxStorageFunctions], bool verbose) {
  *count = 0;
  ProfileReply reply(static_cast<uint8_t*>(varu_dcalloc(kProfileConfigSize)));
  if (reply == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  reply[1] = kActiveProfile;
  const int32_t path = static_cast<int32_t>(get_the_protocol(instance_number(controller)));
  const uint32_t status = ioctl_get_profile_config(handle, reply.get(), kProfileConfigSize, domain, port_number, path);
  if (status != 0) {
    if (verbose) pdebug(kBackEnd, 3, "%s:ioctl_get_profile_config failed with status = %d\n", __func__, static_cast<int>(status));
    return status == kStatusNoResource ? kStatusNoResource : static_cast<uint32_t>(kStatusNoProfileSupport);
  }
  const std::vector<ResourceDescriptor> all = descriptors_of(reply.get());
  if (all.empty() || all[0].type < kDescPciFunction) return kStatusNoProfileSupport;
  for (const ResourceDescriptor& d : all) {
    if (d.type != kDescPciFunction || (desc_mission_roles(d) & (kRoleIscsi | kRoleFcoe)) == 0) continue;
    if (*count == kMaxStorageFunctions) break;
    pf_numbers[*count] = desc_pf_number(d);
    types[*count] = desc_pf_state(d) != 0 ? desc_protocol(d) : static_cast<uint8_t>(kFnNic);
    ++*count;
  }
  return kStatusOk;
}

uint32_t VARU_get_adapter_current_personality(int32_t handle, uint8_t domain, uint8_t port_number,
                                              hm_node* controller, hm_node* personality) {
  if (controller == nullptr || personality == nullptr) return kStatusFailed;
  uint32_t count = 0;
  uint16_t numbers[kMaxStorageFunctions];
  uint8_t types[kMaxStorageFunctions];
  const uint32_t status = VARU_get_storage_functions(handle, domain, port_number, controller, &count, numbers, types, false);
  if (status != 0) return status;
  const char* name = "NIC";
  for (uint32_t i = 0; i < count; ++i) {
    name = types[i] == kFnNic ? "NIC" : types[i] == kFnIscsi ? "iSCSI" : types[i] == kFnFcoe ? "FCoE" : "Illegal";
  }
  set_prop_val(personality, kPropCurrentPersonality, "%s", name);
  return kStatusOk;
}

uint32_t VARU_get_legacy_adapter_current_personality(int32_t handle, uint8_t domain, uint8_t port_number,
                                                     hm_node* controller, hm_node* personality) {
  const uint32_t generation = get_vx_type(controller);
  if (generation == kGenerationUnknown) return kStatusFailed;
  const bool gen4 = generation == kGenerationQuenta;
  if (generation != kGeneration2 && generation != kGeneration3 && !gen4) return kStatusOk;
  const uint32_t size = gen4 ? kCommonProfileSize : kVxConfV1Size;
  ProfileReply block(static_cast<uint8_t*>(varu_dcalloc(size)));
  if (block == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  const int32_t adapter = instance_number(controller);
  uint32_t status;
  if (gen4) {
    block[1] = kActiveProfile;
    status = ioctl_get_common_profile_config(handle, block.get(), static_cast<uint16_t>(size), domain, port_number, adapter);
  } else {
    status = ioctl_get_vx_conf_V1(handle, block.get(), static_cast<uint16_t>(size), domain, port_number,
                                  static_cast<int32_t>(get_the_protocol(adapter)));
  }
  if (status != 0) {
    fail(kStatusPersonalityReadFailed, "%s", msg::kPersonalityReadFailed);
    return kStatusFailed;
  }
  const LegacyBlock kind = gen4 ? LegacyBlock::kCommonProfile : LegacyBlock::kVxConfV1;
  bool count_valid = true;
  const LegacyFunction a = legacy_function(kind, block.get(), size, kStoragePfA, &count_valid);
  const LegacyFunction b = legacy_function(kind, block.get(), size, kStoragePfB, nullptr);
  const char* name = gen4 && !count_valid ? kNotAvailable : legacy_personality(gen4, a.type, a.state, b.type, b.state);
  if (std::strcmp(name, "Unknown") == 0) pdebug(kBackEnd, 3, "%s:PF 2 and PF 3 run different protocols\n", __func__);
  return set_prop_val(personality, kPropCurrentPersonality, "%s", name) != 0 ? kStatusFailed : kStatusOk;
}

uint32_t VARU_set_adapter_personality(int32_t handle, uint8_t domain, uint8_t port_number, hm_node* controller,
                                      const char* personality) {
  const Personality* wanted = personality_named(personality);
  if (controller == nullptr || wanted == nullptr) return kStatusFailed;
  uint32_t count = 0;
  uint16_t numbers[kMaxStorageFunctions];
  uint8_t types[kMaxStorageFunctions];
  const uint32_t listed = VARU_get_storage_functions(handle, domain, port_number, controller, &count, numbers, types, true);
  if (listed == kStatusNoResource) return kStatusNoResource;
  if (listed != 0) return refuse(kStatusGetProfileConfigFailed, msg::kGetProfileConfigFailed);
  if (count == 0) return refuse(kStatusPersonalityNotSupported, msg::kPersonalityNotSupported);
  ProfileReply request(static_cast<uint8_t*>(varu_dcalloc(kProfileConfigSetSize)));
  if (request == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  std::memcpy(request.get() + 4, &count, sizeof count);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* d = request.get() + kProfileSetDescriptors + kResourceDescriptorLength * i;
    d[0] = kDescPciFunction;
    d[1] = kResourceDescriptorLength;
    d[3] = kProfileSetMarker;
    d[6] = static_cast<uint8_t>(numbers[i] & 0xFF);
    d[7] = static_cast<uint8_t>((numbers[i] >> 8) & 0x03);
    d[13] = 1;   // pf_state: on
    d[14] = wanted->protocol;
  }
  const int32_t path = static_cast<int32_t>(get_the_protocol(instance_number(controller)));
  const uint32_t status = ioctl_set_profile_config(handle, request.get(), kProfileConfigSetSize, domain, port_number, path);
  if (status == kStatusPersonalityNotSupported) {
    return refuse(kStatusPersonalityNotSupported, msg::kPersonalityNotSupported);
  }
  if (status != 0) return refuse(kStatusSetPortProtocolFailed, msg::kSetPortProtocolFailed);
  return kStatusOk;
}

uint32_t VARU_set_legacy_adapter_personality(int32_t handle, uint8_t domain, uint8_t port_number,
                                             hm_node* controller, const char* personality) {
  const Personality* wanted = personality_named(personality);
  if (controller == nullptr || wanted == nullptr) return kStatusFailed;
  ProfileReply block(static_cast<uint8_t*>(varu_dcalloc(kVxConfSize)));
  if (block == nullptr) return refuse(kStatusOutOfMemory, msg::kOutOfMemory);
  const int32_t adapter = instance_number(controller);
  if (ioctl_get_vx_conf(handle, block.get(), kVxConfSize, domain, port_number, adapter) != 0) {
    return refuse(kStatusPersonalityChangeFailed, msg::kPersonalityChangeFailed);
  }
  uint32_t count = 0;
  std::memcpy(&count, block.get(), sizeof count);
  for (size_t i = 0; i < count && i < kVxConfEntries; ++i) {
    uint8_t* e = block.get() + kVxConfFirstEntry + kVxConfEntry * i;
    if (e[0] != 0 || (e[4] != kStoragePfA && e[4] != kStoragePfB)) continue;
    e[6] = wanted->pf_type;
    if (wanted->protocol != kFnNic) e[5] = 0;   // a storage protocol runs on a function in state 0
  }
  const uint32_t status = ioctl_set_vx_conf(handle, block.get(), kVxConfSize, domain, port_number, adapter);
  if (status == kStatusPersonalityNotSupported) {
    return refuse(kStatusPersonalityNotSupported, msg::kPersonalityNotSupported);
  }
  if (status != 0) return refuse(kStatusPersonalityChangeFailed, msg::kPersonalityChangeFailed);
  return kStatusOk;
}

uint32_t do_SetPersonality(hm_node* group, hm_node* action, char params[6][256]) {
  if (vm_flag != 0) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  hm_node* controller = controller_above(group);
  hm_node* phba = first_phba(controller);
  if (phba == nullptr) return kStatusFailed;
  const int32_t handle = get_port_number(phba);
  const auto domain = static_cast<uint8_t>(get_domain_id(action));
  const auto port_number = static_cast<uint8_t>(get_phba_port_number(action));
  uint32_t status = VARU_set_adapter_personality(handle, domain, port_number, controller, params[0]);
  if (status == kStatusNoResource) status = VARU_set_legacy_adapter_personality(handle, domain, port_number, controller, params[0]);
  if (status != 0) return kStatusFailed;
  char current[kValueSize];
  if (!read_property(group, kPropCurrentPersonality, current)) return kStatusFailed;
  // CurrentPersonality keeps showing what runs until the next start.
  if (::strcasecmp(current, params[0]) != 0) varu_set_last_status(kStatusPersonalityChanged, msg::kPersonalityChanged);
  return kStatusOk;
}

uint32_t handle_ConfiguredPersonality(hm_node* prop, char* buf, uint32_t) {
  hm_node* controller = controller_above(prop);
  if (vm_flag != 0) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
    copy_property_value(property_data(prop), buf);
    return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  }
  const uint32_t generation = controller != nullptr ? get_vx_type(controller) : kGenerationUnreadable;
  if (generation == kGenerationUnreadable) {
    pdebug(kBackEnd, 3, "%s:Failed to get the controller type.\n", __func__);
    return kStatusFailed;
  }
  hm_node* phba = first_phba(controller);
  if (generation != kGenerationQuenta) {
    if (phba == nullptr) return kStatusFailed;
    uint8_t buffer[wire::kHeaderSize + kConfiguredPersonalityPayload] = {};
    const int32_t port_number = get_phba_port_number(phba);
    const int32_t path = static_cast<int32_t>(get_port_bitmap(static_cast<uint32_t>(instance_number(controller)), port_number));
    if (ioctl_get_configured_personality(get_port_number(phba), buffer, kConfiguredPersonalityPayload,
                                         static_cast<uint8_t>(get_domain_id(prop)), static_cast<uint8_t>(port_number),
                                         path) != 0) {
      return refuse(kStatusConfiguredPersonalityFailed, msg::kConfiguredPersonalityFailed);
    }
    uint32_t length = 0;
    std::memcpy(&length, buffer + kHeaderLengthWord, sizeof length);
    char text[kConfiguredPersonalityPayload + 1] = {};
    copy_field_text(reinterpret_cast<const char*>(buffer + wire::kHeaderSize),
                    length < kConfiguredPersonalityPayload ? length : kConfiguredPersonalityPayload, text, sizeof text);
    SET_CACHE_PROP_VAL(prop, "%s", text);
  } else {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
  }
  copy_property_value(property_data(prop), buf);
  return kStatusOk;
}

uint32_t VARU_update_current_personality(hm_node* controller) {
  hm_node* group = personality_group(controller);
  if (group == nullptr) return kStatusFailed;
  if (vm_flag != 0) {
    set_prop_val(group, kPropCurrentPersonality, "%s", kNotAvailable);
    return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  }
  hm_node* phba = first_phba(controller);
  if (phba == nullptr) return kStatusFailed;
  const int32_t handle = get_port_number(phba);
  const uint32_t status = VARU_get_adapter_current_personality(handle, 0, 0, controller, group);
  if (status == kStatusNoProfileSupport || status == kStatusNoResource) {
    return VARU_get_legacy_adapter_current_personality(handle, 0, 0, controller, group) != 0 ? kStatusFailed : kStatusOk;
  }
  return status == kStatusFailed ? kStatusFailed : kStatusOk;
}

}  // namespace vx
