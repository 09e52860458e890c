// Bandwidth caps of the NIC and iSCSI functions (MinBitsPerSecond, MaxBitsPerSecond), the vNIC
// group of their older multichannel modes (enabled flag, name, outer VLAN, bandwidths) and the
// legacy QoS read.
#include <cstdio>
#include <cstring>
#include <string>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/nic_common.h"
#include "adapter/nic_records.h"
#include "adapter/profiles.h"
#include "adapter/vnic.h"
#include "engine/messages.h"
#include "iscsi/net_records.h"
#include "schema/handlers.h"
#include "schema/names_nic.h"

namespace vx {
namespace {

constexpr const char* kMinBits = "MinBitsPerSecond";
constexpr const char* kMaxBits = "MaxBitsPerSecond";

bool is(const char* text, const char* name) { return std::strcmp(text, name) == 0; }

// The two caps of a group as "N/A".
void caps_not_available(hm_node* group) {
  set_prop_val(group, kMinBits, "%s", kTextNotAvailable);
  set_prop_val(group, kMaxBits, "%s", kTextNotAvailable);
}

}  // namespace

// Computes MinBitsPerSecond or MaxBitsPerSecond (the property's name decides) of the function whose
// number text is `function` from the active profile's descriptors of `type` and the port's speed.
uint32_t VARU_get_bw_softcap(hm_node* group, hm_node* controller, int32_t port, int32_t domain, int32_t port_number,
                             uint8_t type, const char* function, hm_node* prop, int32_t path) {
  if (group == nullptr || controller == nullptr || function == nullptr || prop == nullptr) return kStatusFailed;
  link_status_record link{};
  const auto d = static_cast<uint8_t>(domain);
  const auto n = static_cast<uint8_t>(port_number);
  if (ioctl_get_NIC_link_params(port, &link, d, n, path) != 0) {
    return refuse(kStatusGetNicParamsFailed, msg::kNicParamsFailed);
  }
  pdebug(kBackEnd, 6, "%s: speed code %u, QoS link speed %u\n", __func__, link.physical_speed, link.qos_link_speed);
  char text[kValueSize];
  if (!bandwidth_text(link.physical_speed, 0, text, sizeof text)) {
    set_prop_val(group, kMinBits, "%s", "0");
    set_prop_val(group, kMaxBits, "%s", "0");
    return kStatusOk;
  }
  ProfileReply reply = fetch_profile(controller, kActiveProfile, 0, 0);
  if (reply == nullptr) return kStatusFailed;
  for (const ResourceDescriptor& d : descriptors_of(reply.get())) {
    char number[16];
    std::snprintf(number, sizeof number, "0x%x", desc_pf_number(d));
    if (d.type != type || !equal_nocase(number, function)) continue;
    if (!is(prop->name, kMinBits) && !is(prop->name, kMaxBits)) return kStatusOk;
    bandwidth_text(link.physical_speed, is(prop->name, kMinBits) ? desc_min_bandwidth(d) : desc_max_bandwidth(d), text,
                   sizeof text);
    set_prop_val(group, prop->name, "%s", text);
    return kStatusOk;
  }
  return kStatusOk;
}

// MaxBitsPerSecond of any node's group from the QoS get on the NIC path.
uint32_t get_nicphba_params(int32_t port, hm_node* node) {
  const CommandAddress at = command_address(node);
  uint8_t qos[kNicQosSize] = {};
  if (ioctl_qos_get(port, qos, at.domain, at.phba_port, kProtocolNic) != 0) {
    return refuse(kStatusGetQosFailed, msg::kGetQosFailed);
  }
  uint32_t bits = 0;
  std::memcpy(&bits, qos, sizeof bits);
  return set_prop_val(owning_group(node), kMaxBits, "%u", bits) == 0 ? kStatusOk : kStatusFailed;
}

uint32_t VARU_get_legacy_QOS(int32_t port, hm_node* nic_phba) {
  const uint32_t generation = get_vx_type(adapter_of(nic_phba));
  if (generation == kGenerationNone) return kStatusFailed;
  if (generation == kGenerationQuenta) return refuse(kStatusNotOnController, msg::kNotOnThisController);
  return get_nicphba_params(port, nic_phba);
}

// vNICEnabled and vNICName of a vNIC group from the get-vNIC-function-name command.
uint32_t get_vnic_name(int32_t port, int32_t domain, int32_t port_number, hm_node* vnic, int32_t path) {
  vnic_name_record r{};
  const uint32_t rc =
      ioctl_get_vnic_function_name(port, &r, static_cast<uint8_t>(domain), static_cast<uint8_t>(port_number), path);
  if (rc != 0 && rc != kStatusNoResource) return refuse(kStatusVnicName, msg::kVnicNameFailed);
  const bool enabled = rc == 0 && r.enabled == 1;
  set_prop_val(vnic, nic::kPropvNICEnabled, "%s", enabled ? "true" : "False");
  set_prop_val(vnic, nic::kPropvNICName, "%s",
               enabled ? std::string(r.name, strnlen(r.name, sizeof r.name)).c_str() : "");
  return kStatusOk;
}

// OuterVLANID, MinBandwidth and MaxBandwidth of a vNIC group.
uint32_t get_vnic_stats(int32_t port, int32_t domain, int32_t port_number, hm_node* vnic, int32_t path) {
  vnic_stats_record r{};
  const auto d = static_cast<uint8_t>(domain);
  const auto n = static_cast<uint8_t>(port_number);
  if (ioctl_get_vnic_function_stats(port, &r, d, n, path) != 0) {
    return refuse(kStatusVnicStats, msg::kVnicStatsFailed);
  }
  set_prop_val(vnic, nic::kPropOuterVLANID, "%u", r.outer_vlan);
  set_prop_val(vnic, nic::kPropMinBandwidth, "%u", r.min_bandwidth);
  set_prop_val(vnic, nic::kPropMaxBandwidth, "%u", r.max_bandwidth);
  return kStatusOk;
}

namespace {

// The vNIC statistics of a group whose vNICEnabled (read through its handler) is "True"; three
// empty texts for a vNIC that is not.
uint32_t vnic_stats(hm_node* prop, char* buf, hm_node* phba, int32_t path) {
  hm_node* vnic = prop->parent;
  char enabled[kValueSize];
  if (!read_property(vnic, nic::kPropvNICEnabled, enabled)) return kStatusFailed;
  uint32_t rc = kStatusOk;
  if (!equal_nocase(enabled, "True")) {
    for (const char* name : {nic::kPropOuterVLANID, nic::kPropMinBandwidth, nic::kPropMaxBandwidth}) {
      set_prop_val(vnic, name, "%s", "");
    }
  } else {
    const CommandAddress at = command_address(phba);
    rc = get_vnic_stats(at.port, at.domain, at.phba_port, vnic, path);
  }
  return_cached(prop, buf);
  return rc;
}

}  // namespace

uint32_t handle_nic_bandwidth_softcap(hm_node* prop, char* buf, uint32_t) {
  if (vm_flag != 0) return refuse_on_vf(buf);
  hm_node* phba = prop != nullptr ? prop->parent : nullptr;
  hm_node* controller = adapter_of(phba);
  if (controller == nullptr) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kGenerationNone) return kStatusFailed;
  const CommandAddress at = command_address(phba);
  if (generation == kGeneration2 || generation == kGenerationQuenta) {
    set_prop_val(phba, kMinBits, "%s", kTextNotAvailable);
    const uint32_t rc = VARU_get_legacy_QOS(at.port, phba);
    return_cached(prop, buf);
    return rc;
  }
  char function[kValueSize];
  uint32_t number = 0;
  if (!phba_function_number(phba, function, &number)) {
    pdebug(kBackEnd, 3, "%s: no function number\n", __func__);
    return kStatusFailed;
  }
  if (VARU_get_bw_softcap(phba, controller, at.port, at.domain, at.phba_port, kDescNic, function, prop,
                          kProtocolNic) != 0) {
    return kStatusFailed;
  }
  return return_cached(prop, buf);
}

uint32_t handle_iscsi_bandwidth_softcap(hm_node* prop, char* buf, uint32_t) {
  hm_node* qos = prop != nullptr ? prop->parent : nullptr;
  hm_node* phba = physical_hba_of(qos);
  hm_node* controller = adapter_of(phba);
  if (controller == nullptr) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kGenerationNone) return kStatusFailed;
  if (generation == kGeneration2 || generation == kGenerationQuenta) {
    caps_not_available(qos);
    return return_cached(prop, buf);
  }
  char function[kValueSize];
  uint32_t number = 0;
  if (!phba_function_number(phba, function, &number)) return kStatusFailed;
  const CommandAddress at = command_address(phba);
  if (VARU_get_bw_softcap(qos, controller, at.port, at.domain, at.phba_port, kDescIscsi, function, prop,
                          kProtocolIscsi) != 0) {
    caps_not_available(qos);
    return_cached(prop, buf);
    return kStatusFailed;
  }
  return return_cached(prop, buf);
}

uint32_t handle_nic_vnic_name_props(hm_node* prop, char* buf, uint32_t) {
  if (vm_flag != 0) return refuse_on_vf(buf);
  hm_node* phba = physical_hba_of(prop);
  const uint32_t generation = get_vx_type(adapter_of(phba));
  if (phba == nullptr || generation == kGenerationNone) return kStatusFailed;
  if (generation == kGenerationQuenta) return refuse(kStatusNotOnController, msg::kNotOnThisController);
  const CommandAddress at = command_address(phba);
  // A query that fails is a failure here too, as it is for the iSCSI functions.
  if (get_vnic_name(at.port, at.domain, at.phba_port, prop->parent, kProtocolNic) != 0) return kStatusFailed;
  return return_cached(prop, buf);
}

uint32_t handle_iscsi_vnic_name_props(hm_node* prop, char* buf, uint32_t) {
  hm_node* phba = physical_hba_of(prop);
  if (phba == nullptr) return kStatusFailed;
  const CommandAddress at = command_address(phba);
  if (get_vnic_name(at.port, at.domain, at.phba_port, prop->parent, kProtocolIscsi) != 0) return kStatusFailed;
  return return_cached(prop, buf);
}

uint32_t handle_nic_vnic_stats(hm_node* prop, char* buf, uint32_t) {
  if (vm_flag != 0) return refuse_on_vf(buf);
  hm_node* phba = physical_hba_of(prop);
  return phba == nullptr ? kStatusFailed : vnic_stats(prop, buf, phba, kProtocolNic);
}

uint32_t handle_iscsi_vnic_stats(hm_node* prop, char* buf, uint32_t) {
  hm_node* phba = physical_hba_of(prop);
  return phba == nullptr ? kStatusFailed : vnic_stats(prop, buf, phba, kProtocolIscsi);
}

}  // namespace vx
