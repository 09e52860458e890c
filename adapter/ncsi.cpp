// NC-SI of a controller: whether the adapter offers it, the handshake, the version, and on the
// generation that has them the static (as manufactured) and dynamic (the user's) configurations,
// whose dynamic settings are written back one at a time.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/command_target.h"
#include "adapter/controller_attribs.h"
#include "adapter/live_properties.h"
#include "adapter/live_records.h"
#include "engine/messages.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"
#include "schema/names_services.h"
#include "schema/ncsi.h"

namespace vx {
namespace {

using namespace services;

constexpr uint32_t kStatusBadMac = 17;
constexpr uint32_t kStatusNcsiDisabled = 145;
constexpr uint32_t kStatusNcsiSet = 219;
constexpr uint8_t kNcsiSupported = 1;
constexpr const char* kSupported = "Supported";
constexpr const char* kStatic = "NCSIStaticConfiguration";
constexpr const char* kDynamic = "NCSIDynamicConfiguration";
constexpr const char* kStaticInstance = "NCSIStaticConfiguration0";
constexpr const char* kDynamicInstance = "NCSIDynamicConfiguration0";
constexpr size_t kNcsiVersionOffset = offsetof(cntr_attribs, ncsi_version);
constexpr int kNcsiVersionNumbers = 5;

uint32_t read_ncsi(const ControllerCommand& at, ncsi_attribs* out) {
  uint8_t reply[sizeof(ncsi_attribs)] = {};
  const uint32_t status = ioctl_get_ncsi_attributes(at.handle, reply, at.domain, at.port_number, at.adapter);
  if (status == kStatusOk) *out = ncsi_attribs_of(reply, sizeof reply);
  return status;
}

// A configuration instance's properties from its block.
int fill_instance(hm_node* instance, const ncsi_config_block& block, bool with_swap) {
  const NcsiTexts t = ncsi_texts_of(block);
  int failed = 0;
  const struct {
    const char* property;
    const char* text;
  } values[] = {{kPropPortSwap, with_swap ? t.port_swap : nullptr},
                {kPropEnableWOLPort0, t.wol_port0},
                {kPropEnableWOLPort1, t.wol_port1},
                {kPropPort0MAC, t.port0_mac},
                {kPropPort1MAC, t.port1_mac},
                {kPropMgmtVLANId, t.mgmt_vlan}};
  for (const auto& v : values) {
    if (v.text != nullptr) failed |= set_prop_val(instance, v.property, "%s", v.text);
  }
  return failed;
}

// The instance named `name` under the NCSI group, made first when `create` is set.
hm_node* configuration(hm_node* ncsi_group, const char* name, bool create,
                       hm_node* (*build)(hm_node*, hm_node*, hm_node*, char[6][256])) {
  hm_node* found = internal_get_node(ncsi_group, name, kGroup);
  return found != nullptr || !create ? found : build(ncsi_group, nullptr, nullptr, nullptr);
}

// The group a configuration property's refresh fills, and the NCSI group above it.
void refresh_groups(hm_node* prop, hm_node** ncsi, hm_node** selector) {
  hm_node* group = prop->parent;
  const bool instance = group_named(group, kStatic) || group_named(group, kDynamic);
  *ncsi = instance ? group->parent : group;
  *selector = group;
}

// One dynamic field of the 32-byte set request (bytes 40-71 of the record): 0, or 1 (status 17 for
// a bad MAC address, 6 for a VLAN id that is no number).
uint32_t edit_dynamic(uint8_t* request, const char* property, const char* value) {
  auto* block = reinterpret_cast<ncsi_config_block*>(request + offsetof(ncsi_attribs, dynamic_config) - kNcsiSetOffset);
  const bool port0 = ::strcasecmp(property, kPropEnableWOLPort0) == 0 || ::strcasecmp(property, kPropPort0MAC) == 0;
  if (::strcasecmp(property, kPropEnableWOLPort0) == 0 || ::strcasecmp(property, kPropEnableWOLPort1) == 0) {
    uint8_t& wol = port0 ? block->wol_port0 : block->wol_port1;
    if (::strcasecmp(value, "Yes") == 0) wol = static_cast<uint8_t>(wol | 1);
    if (::strcasecmp(value, "No") == 0) wol = 0;
  } else if (::strcasecmp(property, kPropPort0MAC) == 0 || ::strcasecmp(property, kPropPort1MAC) == 0) {
    uint8_t mac[6];
    if (validateMACAddress(value, mac) != 1) return refuse(kStatusBadMac, msg::kInvalidValueUseValid);
    std::memcpy(port0 ? block->port0_mac : block->port1_mac, mac, sizeof mac);
  } else if (::strcasecmp(property, kPropMgmtVLANId) == 0) {
    uint32_t vlan = 0;
    if (!parse_whole(value, UINT16_MAX, &vlan)) return refuse(kStatusInvalidValue, msg::kInvalidValue);
    block->mgmt_vlan = static_cast<uint16_t>(vlan);
  }
  return kStatusOk;
}

}  // namespace

uint32_t VARU_get_ncsi_attributes(int32_t /*handle*/, int32_t /*port_number*/, hm_node* ncsi_group,
                                  hm_node* selector_group, uint32_t /*domain*/, uint32_t create) {
  ControllerCommand at;
  if (ncsi_group == nullptr || !controller_command(ncsi_group, &at, true) || at.generation == kStatusFailed) {
    return kStatusFailed;
  }
  const auto unsupported = [&] {
    const int failed = set_prop_val(ncsi_group, controller::kPropNCSISupport, "%s", "Not Supported") |
                       set_prop_val(ncsi_group, controller::kPropNCSIVXHandShake, "%s", kTextNA);
    return failed != 0 ? kStatusFailed : kStatusOk;
  };
  if (at.generation == kGenerationQuenta) return unsupported();
  ncsi_attribs record{};
  const uint32_t status = read_ncsi(at, &record);
  if (status != kStatusOk) return status;
  if (record.ncsi_state != kNcsiSupported) return unsupported();
  int failed = set_prop_val(ncsi_group, controller::kPropNCSISupport, "%s", kSupported);
  if (at.generation != kGeneration2) {
    return (failed | set_prop_val(ncsi_group, controller::kPropNCSIVXHandShake, "%s", kTextNA)) != 0 ? kStatusFailed
                                                                                                  : kStatusOk;
  }
  hm_node* fixed = configuration(ncsi_group, kStaticInstance, create != 0, initialize_NCSIStaticConfiguration);
  hm_node* dynamic = configuration(ncsi_group, kDynamicInstance, create != 0, initialize_NCSIDynamicConfiguration);
  if (fixed == nullptr || dynamic == nullptr) return kStatusFailed;
  const uint8_t handshake = record.ncsi_handshake_status;
  if (handshake <= 1) {
    failed |= set_prop_val(ncsi_group, controller::kPropNCSIVXHandShake, "%s", handshake == 0 ? "Success" : "Error");
  }
  if (group_named(selector_group, kStatic)) failed |= fill_instance(selector_group, record.static_config, true);
  if (group_named(selector_group, kDynamic)) failed |= fill_instance(selector_group, record.dynamic_config, false);
  return failed != 0 ? kStatusFailed : kStatusOk;
}

uint32_t set_ncsi_attributes(hm_node* ncsi_group, const char* property_name, const char* value) {
  ControllerCommand at;
  if (ncsi_group == nullptr || !controller_command(ncsi_group, &at, true)) return kStatusFailed;
  ncsi_attribs record{};
  const uint32_t status = read_ncsi(at, &record);
  if (status != kStatusOk) return status;
  uint8_t request[kNcsiSetSize];
  std::memcpy(request, reinterpret_cast<const uint8_t*>(&record) + kNcsiSetOffset, sizeof request);
  if (edit_dynamic(request, property_name, value) != kStatusOk) return kStatusFailed;
  const uint32_t sent = ioctl_set_ncsi_attributes(at.handle, request, at.domain, at.port_number, at.adapter);
  if (sent != kStatusOk) fail(kStatusNcsiSet, "%s", msg::kNcsiSetFailed);
  return sent;
}

uint32_t handle_ncsi_static_configuration(hm_node* prop, char* buf, uint32_t op) {
  if (prop == nullptr || buf == nullptr || prop->parent == nullptr) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  hm_node* ncsi = nullptr;
  hm_node* selector = nullptr;
  refresh_groups(prop, &ncsi, &selector);
  const uint32_t status = VARU_get_ncsi_attributes(0, 0, ncsi, selector, 0, 0);
  return status != kStatusOk ? status : return_cached(prop, buf);
}

uint32_t handle_ncsi_dynamic_configuration(hm_node* prop, char* buf, uint32_t op) {
  if (prop == nullptr || buf == nullptr || prop->parent == nullptr) return kStatusFailed;
  hm_node* ncsi = prop->parent->parent;
  if (op == kGet) {
    const uint32_t status = VARU_get_ncsi_attributes(0, 0, ncsi, prop->parent, 0, 0);
    return status != kStatusOk ? status : return_cached(prop, buf);
  }
  if (op != kSet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(nullptr);
  hm_node* support = ncsi != nullptr ? internal_get_node(ncsi, controller::kPropNCSISupport, kProperty) : nullptr;
  if (support == nullptr) {
    pdebug(kBackEnd, 3, "%s:Failed to get NCSI State\n", __func__);
    return kStatusFailed;
  }
  char state[kValueSize] = "";
  return_cached(support, state);
  if (::strcasecmp(state, kSupported) != 0) return refuse(kStatusNcsiDisabled, msg::kNcsiDisabled);
  const uint32_t status = set_ncsi_attributes(ncsi, prop->name, buf);
  return status != kStatusOk ? status : cache_text(prop, buf);
}

uint32_t handle_get_ncsi_version(hm_node* prop, char* buf, uint32_t op) {
  ControllerCommand at;
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  if (prop == nullptr || buf == nullptr || !controller_command(prop, &at)) return kStatusFailed;
  char support[kValueSize] = "";
  if (!read_property(prop->parent, controller::kPropNCSISupport, support)) {
    pdebug(kBackEnd, 3, "%s:Failed to get NCSI State\n", __func__);
    return kStatusFailed;
  }
  if (at.generation == kStatusFailed) return kStatusFailed;
  if (::strcasecmp(support, kSupported) != 0 || (at.generation != kGeneration2 && at.generation != kGeneration3)) {
    cache_text(prop, kTextNA);
    return return_cached(prop, buf);
  }
  uint8_t record[kCntrAttribsSize];
  if (VARU_get_cntr_attribs(at.handle, at.port_number, at.domain, at.path, record) != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:ioctl_fetch_controller_attribs failed\n", __func__);
    return kStatusFailed;
  }
  if (at.generation == kGeneration2) {
    uint16_t n[kNcsiVersionNumbers];
    std::memcpy(n, record + kNcsiVersionOffset, sizeof n);
    SET_CACHE_PROP_VAL(prop, "%d.%d.%d.%d-%d", n[0], n[1], n[2], n[3], n[4]);
  } else {
    char text[kValueSize];
    copy_field_text(reinterpret_cast<const char*>(record + kNcsiVersionOffset), sizeof(cntr_attribs::ncsi_version),
                    text, sizeof text);
    cache_text(prop, text);
  }
  return return_cached(prop, buf);
}

}  // namespace vx
