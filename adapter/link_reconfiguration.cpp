// Link configurations (LinkReconfiguration and its LinkConfig instances) and the actions that choose
// the next link configuration or profile, or their factory defaults. Every action that changes what
// the adapter runs next builds the ConfiguredProfile sub-tree again from the adapter.
#include <cstdlib>
#include <cstring>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/multichannel.h"
#include "adapter/oem_attribs.h"
#include "adapter/profiles.h"
#include "engine/messages.h"
#include "schema/link_config.h"
#include "schema/names_controller.h"
#include "schema/names_services.h"

namespace vx {

using namespace controller;

namespace {

constexpr const char* kNotAvailable = "N/A";
constexpr uint32_t kStatusGetLinkReconfigFailed = 332;
constexpr uint32_t kStatusLinkReconfigNotSupported = 333;
constexpr uint32_t kStatusSetLinkReconfigFailed = 334;
constexpr uint32_t kStatusSetActiveProfileFailed = 281;
constexpr uint32_t kStatusFactoryProfileNotSupported = 301;
constexpr uint8_t kFactoryDefault = 0x80;   // byte 3 of the set requests
constexpr uint32_t kLargestProfileId = 255;   // the request carries the id in one byte

enum class Choice { kGiven, kFactory };

bool legacy(hm_node* controller) {
  const uint32_t generation = get_vx_type(controller);
  return generation == kGeneration2 || generation == kGeneration3 || generation == kGenerationQuenta;
}

// One 4-byte set request (byte 0 the id, or byte 3 the factory bit) through `send`: its status.
template <typename Send>
uint32_t send_choice(hm_node* controller, Choice choice, const char* id, Send send) {
  ControllerAddress a;
  if (!controller_address(controller, &a)) return kStatusFailed;
  uint8_t request[4] = {};
  if (choice == Choice::kGiven) {
    request[0] = static_cast<uint8_t>(std::strtoul(id, nullptr, 10));
  } else {
    request[3] = kFactoryDefault;
  }
  return send(a.handle, request, a.domain, a.port_number, a.adapter);
}

void show_id(hm_node* group, const char* name, uint8_t id) {
  if (id == 0) {
    set_prop_val(group, name, "%s", kNotAvailable);
  } else {
    set_prop_val(group, name, "%u", id);
  }
}

// Steps shared by the two link actions: the refusals and the command. 0, or 1 with the status.
uint32_t choose_link(hm_node* group, Choice choice, const char* id) {
  if (vm_flag != 0) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  hm_node* controller = controller_above(group);
  if (controller == nullptr) return kStatusFailed;
  if (legacy(controller)) return refuse(kStatusLinkReconfigNotSupported, msg::kLinkReconfigNotSupported);
  if (send_choice(controller, choice, id, ioctl_set_link_reconfig) != 0) {
    return refuse(kStatusSetLinkReconfigFailed, msg::kSetLinkReconfigFailed);
  }
  return kStatusOk;
}

// Sends a choice of profile: 0, or 1 with status 281.
uint32_t choose_profile(hm_node* controller, Choice choice, const char* id) {
  if (send_choice(controller, choice, id, ioctl_set_active_profile) != 0) {
    return refuse(kStatusSetActiveProfileFailed, msg::kSetActiveProfileFailed);
  }
  return kStatusOk;
}

}  // namespace

uint32_t VARU_get_link_reconfig_details(hm_node* controller, uint32_t mode) {
  hm_node* group = controller != nullptr ? internal_get_node(controller, kGroupLinkReconfiguration, kGroup) : nullptr;
  if (group == nullptr) return kStatusFailed;
  if (legacy(controller)) {
    set_prop_val(group, kPropActiveLinkConfigID, "%s", kNotAvailable);
    return kStatusFailed;
  }
  ControllerAddress a;
  if (!controller_address(controller, &a)) return kStatusFailed;
  ProfileReply reply(static_cast<uint8_t*>(varu_dcalloc(kLinkReconfigSize)));
  if (reply == nullptr) {
    fail(kStatusInsufficientBuffer, "%s", msg::kInsufficientBuffer);
    return kStatusFailed;
  }
  if (ioctl_get_link_reconfig(a.handle, reply.get(), kLinkReconfigSize, a.domain, a.port_number, a.adapter) != 0) {
    fail(kStatusGetLinkReconfigFailed, "%s", msg::kGetLinkReconfigFailed);
    return kStatusFailed;
  }
  show_id(group, kPropActiveLinkConfigID, link_config_active(reply.get(), kLinkReconfigSize));
  show_id(group, kPropConfiguredLinkConfigID, link_config_next(reply.get(), kLinkReconfigSize));
  if (mode == 1) return kStatusOk;
  const size_t count = link_config_count(reply.get(), kLinkReconfigSize);
  for (size_t i = 0; i < count; ++i) {
    const LinkConfigEntry e = link_config_entry(reply.get(), kLinkReconfigSize, i);
    hm_node* config = initialize_LinkConfig(group, nullptr, nullptr, nullptr);
    if (config == nullptr) {
      pdebug(kBackEnd, 2, "%s:Failed to initialize LinkConfig group.\n", __func__);
      return kStatusFailed;
    }
    set_prop_val(config, services::kPropLinkConfigID, "%u", e.id);
    set_prop_val(config, services::kPropLinkConfigDescription, "%s", e.description);
  }
  return kStatusOk;
}

uint32_t handle_ConfiguredLinkConfigID(hm_node* prop, char* buf, uint32_t) {
  hm_node* controller = controller_above(prop);
  if (controller == nullptr || buf == nullptr) return kStatusFailed;
  if (legacy(controller)) {
    SET_CACHE_PROP_VAL(prop, "%s", kNotAvailable);
  } else if (VARU_get_link_reconfig_details(controller, 1) != 0) {
    return kStatusFailed;
  }
  copy_property_value(property_data(prop), buf);
  return kStatusOk;
}

uint32_t do_SetLinkConfigID(hm_node* group, hm_node*, char params[6][256]) {
  if (choose_link(group, Choice::kGiven, params[0]) != 0) return kStatusFailed;
  hm_node* controller = controller_above(group);
  uint32_t result = rebuild_configured_profile(controller);
  result |= VARU_enummerate_dummy_port_discovery(controller);
  return result != 0 ? kStatusFailed : kStatusOk;
}

uint32_t do_SetLinkConfigFactoryDefaults(hm_node* group, hm_node*, char[6][256]) {
  if (choose_link(group, Choice::kFactory, nullptr) != 0) return kStatusFailed;
  return rebuild_configured_profile(controller_above(group));
}

uint32_t do_SetProfileId(hm_node* group, hm_node*, char params[6][256]) {
  hm_node* controller = controller_above(group);
  if (controller == nullptr || !profile_capable(get_vx_type(controller)) ||
      internal_get_node(group, kGroupConfiguredProfile, kGroup) == nullptr) {
    return kStatusFailed;
  }
  // The parameter's rule lets 256 through; one byte cannot carry it, and 0 would be sent instead.
  if (std::strtoul(params[0], nullptr, 10) > kLargestProfileId) return refuse(kStatusOutOfRange, msg::kProfileIdRange);
  if (choose_profile(controller, Choice::kGiven, params[0]) != 0) return kStatusFailed;
  if (rebuild_configured_profile(controller) != 0) return kStatusFailed;
  varu_set_last_status(kStatusProfileConfigured, msg::kProfileConfigured);
  return kStatusOk;
}

uint32_t do_SetFactoryDefaults(hm_node* group, hm_node*, char[6][256]) {
  hm_node* controller = controller_above(group);
  if (controller == nullptr || legacy(controller)) return kStatusFailed;
  if (vm_flag != 0) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  if (get_vx_type(controller) != kGenerationOrvelle) {
    return refuse(kStatusFactoryProfileNotSupported, msg::kFactoryProfileNotSupported);
  }
  if (choose_profile(controller, Choice::kFactory, nullptr) != 0) return kStatusFailed;
  return rebuild_configured_profile(controller);
}

}  // namespace vx
