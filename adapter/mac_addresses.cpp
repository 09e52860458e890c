// The MAC addresses of the physical functions: permanent (the factory address), current and
// volatile, the reset to the factory address and the last configured MAC kept in the adapter's
// profile (or, on generation 2, in its adapter configuration block). The hierarchy shows addresses as
// "%02x-%02x-%02x-%02x-%02x-%02x"; the firmware holds six bytes.
#include "adapter/mac_addresses.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/functions.h"
#include "adapter/nic_common.h"
#include "adapter/nic_records.h"
#include "adapter/oem_attribs.h"
#include "adapter/profile_records.h"
#include "adapter/profiles.h"
#include "engine/messages.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"
#include "schema/names_nic.h"

namespace vx {
namespace {

constexpr size_t kSingleRequestSize = 184;
constexpr uint8_t kSetClearedBits = 0x82;   // byte 3 bits 1 and 7 of a single-descriptor write
constexpr size_t kNicMac = 10;
constexpr size_t kIscsiMac = 14;
constexpr uint8_t kLinkEditBit = 0x80;     // byte 2: the logical link state is written
constexpr size_t kNicBandwidths = 48;
constexpr size_t kIscsiBandwidths = 36;
constexpr size_t kNicLpvid = 36;

void mac_text(const uint8_t* m, char out[kValueSize]) { vx::mac_text(m, '-', out, kValueSize); }

// The group that shows a function's PermanentMACAddress: its Network/NICConfiguration (iSCSI) or
// the physical HBA itself (NIC).
hm_node* mac_group(hm_node* phba, int32_t protocol) {
  if (protocol != kProtocolIscsi) return phba;
  hm_node* network = internal_get_node(phba, kGroupPhbaNetwork, kGroup);
  return network != nullptr ? internal_get_node(network, kGroupPhbaNICConfiguration, kGroup) : nullptr;
}

uint32_t permanent_mac(hm_node* prop, char* buf, uint32_t op, bool nic) {
  if (op == kSet) return refuse(kStatusSetMacNotInOs, msg::kSettingNotSupportedInOs);
  if (op != kGet || prop == nullptr) return kStatusOk;
  hm_property* factory = property_data(internal_get_node(prop->parent, nic::kPropFactoryDefaultMACAddress, kProperty));
  if (factory == nullptr) return kStatusFailed;
  const int rc = set_prop_val(prop->parent, nic::kPropPermanentMACAddress, "%s", property_value(factory));
  return_cached(prop, buf);
  return nic && rc != 0 ? kStatusFailed : kStatusOk;
}

// The function's descriptor of its protocol (81 NIC, 82 iSCSI) in a profile reply, not a template
// of its virtual functions.
bool function_descriptor(const uint8_t* reply, int32_t protocol, uint32_t pf, ResourceDescriptor* out) {
  const uint8_t type = protocol == kProtocolIscsi ? kDescIscsi : kDescNic;
  for (const ResourceDescriptor& d : descriptors_of(reply)) {
    if (d.type == type && desc_pf_number(d) == pf && !desc_vf_template(d)) {
      *out = d;
      return true;
    }
  }
  return false;
}

// The vx_conf block of the adapter (generation 2).
bool read_vx_conf(hm_node* adapter, hm_node* phba, uint8_t block[kVxConfSize]) {
  const CommandAddress at = command_address(phba);
  std::memset(block, 0, kVxConfSize);
  return ioctl_get_vx_conf(at.port, block, kVxConfSize, at.domain, at.phba_port, instance_number(adapter)) == 0;
}

uint32_t reset_mac(hm_node* phba, int32_t protocol) {
  hm_node* adapter = adapter_of(phba);
  hm_node* group = mac_group(phba, protocol);
  char function[kValueSize];
  uint32_t pf = 0;
  if (adapter == nullptr || group == nullptr || !phba_function_number(phba, function, &pf)) return kStatusFailed;
  const CommandAddress at = command_address(phba);
  uint8_t query[kMacQuerySize] = {};
  query[0] = kMacQueryPermanent;
  // The answer holds the addresses of functions 0 to 7.
  if (pf > kMaxPciFunction || ioctl_get_mac_query(at.port, query, at.domain, at.phba_port, protocol) != 0) {
    return refuse(kStatusNoFactoryMac, msg::kNoFactoryMac);
  }
  char text[kValueSize];
  mac_text(query + kMacQueryTableOffset + kMacQueryStride * pf, text);
  if (VARU_set_last_configured_mac(adapter, phba, text, protocol) != 0) return kStatusFailed;
  set_prop_val(group, nic::kPropPermanentMACAddress, "%s", text);
  varu_set_last_status(kStatusRebootForChange, msg::kRebootForChange);
  return kStatusOk;
}

}  // namespace

uint32_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress(hm_node* prop, char* buf, uint32_t op) {
  return permanent_mac(prop, buf, op, false);
}

uint32_t handle_NICPhysicalHBA_PermanentMACAddress(hm_node* prop, char* buf, uint32_t op) {
  return permanent_mac(prop, buf, op, true);
}

uint32_t handle_NICPhysicalHBA_MACAddress(hm_node* prop, char* buf, uint32_t op) {
  if (prop == nullptr || prop->parent == nullptr) return kStatusFailed;
  if (op == kSet) return VARU_set_nic_macaddress();
  if (op != kGet) return kStatusOk;
  return VARU_get_nic_macaddress(prop->parent) != 0 ? kStatusFailed : return_cached(prop, buf);
}

uint32_t handle_VolatileMACAddress(hm_node* prop, char* buf, uint32_t op) {
  hm_node* phba = physical_hba_of(prop);
  hm_node* adapter = adapter_of(phba);
  const uint32_t generation = adapter != nullptr ? get_vx_type(adapter) : kGenerationNone;
  if (generation == kGenerationNone || buf == nullptr) return kStatusFailed;
  if (generation == kGeneration2) {
    return op == kSet ? refuse(kStatusNotOnAdapter, msg::kNotSupportedOnAdapter) : kStatusOk;
  }
  const CommandAddress at = command_address(phba);
  if (op == kGet) {
    if (vm_flag != 0) std::snprintf(buf, kValueSize, "%s", kTextNotAvailable);
    oem_exec_cfg r{};
    if (ioctl_get_oem_exec_cfg(at.port, &r, at.domain, at.phba_port) != 0) {
      pdebug(kBackEnd, 3, "%s: OEM execution configuration not read\n", __func__);
      return kStatusFailed;
    }
    char text[kValueSize];
    mac_text(r.volatile_mac, text);
    const int rc = set_prop_val(prop->parent, nic::kPropVolatileMACAddress, "%s", text);
    return_cached(prop, buf);
    return rc != 0 ? kStatusFailed : kStatusOk;
  }
  if (op != kSet) return kStatusOk;
  if (vm_flag != 0) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  if (::strcasecmp(buf, property_value(property_data(prop))) == 0) return kStatusOk;
  oem_exec_cfg r{};
  if (validateMACAddress(buf, r.volatile_mac) == 0) return refuse(kStatusBadValue, msg::kInvalidValueUseValid);
  r.valid = kOemExecMacValid;
  r.write_flags = kOemExecWrite;
  if (ioctl_set_oem_exec_cfg(at.port, &r, at.domain, at.phba_port) != 0) {
    return refuse(kStatusVolatileMacFailed, msg::kVolatileMacFailed);
  }
  return kStatusOk;
}

uint32_t do_NICPhysicalHBA_ResetMACAddress(hm_node* phba, hm_node*, char[6][256]) {
  return reset_mac(phba, kProtocolNic);
}

uint32_t do_iSCSIPhysicalHBA_Network_NICConfiguration_ResetMACAddress(hm_node* group, hm_node*, char[6][256]) {
  return reset_mac(physical_hba_of(group), kProtocolIscsi);
}

uint32_t VARU_set_last_configured_mac(hm_node* adapter, hm_node* phba, const char* mac, int32_t protocol) {
  uint8_t bytes[6];
  if (validateMACAddress(mac, bytes) == 0) return refuse(kStatusBadValue, msg::kInvalidValueUseValid);
  char function[kValueSize];
  uint32_t pf = 0;
  if (adapter == nullptr || !phba_function_number(phba, function, &pf)) return kStatusFailed;
  if (get_vx_type(adapter) == kGeneration2) return VARU_set_legacy_last_configured_mac(adapter, phba, mac);
  ControllerAddress a;
  ProfileReply reply = fetch_profile(adapter, kActiveProfile, 0, 0);
  ResourceDescriptor d{};
  if (reply == nullptr || !controller_address(adapter, &a) || !function_descriptor(reply.get(), protocol, pf, &d)) {
    return refuse(kStatusSetMacFailed, msg::kSetMacFailed);
  }
  uint8_t request[kSingleRequestSize] = {};
  request[4] = 1;
  uint8_t* c = request + kProfileSetDescriptors;
  std::memcpy(c, d.bytes, std::min<size_t>(d.length, kResourceDescriptorLength));
  c[1] = kResourceDescriptorLength;
  c[3] = static_cast<uint8_t>(c[3] & ~kSetClearedBits);
  // Only the address changes: the link state, bandwidths and LPVID go as "unchanged".
  c[2] = static_cast<uint8_t>(c[2] & ~kLinkEditBit);
  std::memset(c + (d.type == kDescIscsi ? kIscsiBandwidths : kNicBandwidths), 0xFF, 8);
  if (d.type == kDescNic) std::memset(c + kNicLpvid, 0xFF, 2);
  std::memcpy(c + (d.type == kDescIscsi ? kIscsiMac : kNicMac), bytes, sizeof bytes);
  if (ioctl_set_profile_config(a.handle, request, kSingleRequestSize, a.domain, a.port_number, a.path) != 0) {
    return refuse(kStatusSetMacFailed, msg::kSetMacFailed);
  }
  return kStatusOk;
}

uint32_t VARU_get_last_configured_mac(hm_node* adapter, hm_node* phba, int32_t protocol) {
  char function[kValueSize];
  uint32_t pf = 0;
  hm_node* group = mac_group(phba, protocol);
  if (adapter == nullptr || group == nullptr || !phba_function_number(phba, function, &pf)) return kStatusFailed;
  if (get_vx_type(adapter) == kGeneration2) return VARU_get_legacy_last_configured_mac(adapter, phba, protocol);
  // The last write lands in the profile the adapter boots next.
  ProfileReply reply = fetch_profile(adapter, kConfiguredProfile, 0, 0);
  ResourceDescriptor d{};
  if (reply == nullptr || !function_descriptor(reply.get(), protocol, pf, &d)) return kStatusFailed;
  char text[kValueSize];
  mac_text(desc_mac(d), text);
  return set_prop_val(group, nic::kPropPermanentMACAddress, "%s", text) == 0 ? kStatusOk : kStatusFailed;
}

uint32_t VARU_set_legacy_last_configured_mac(hm_node* adapter, hm_node* phba, const char* mac) {
  uint8_t bytes[6];
  if (validateMACAddress(mac, bytes) == 0) return refuse(kStatusBadValue, msg::kInvalidValueUseValid);
  char function[kValueSize];
  uint32_t pf = 0;
  uint8_t block[kVxConfSize];
  if (adapter == nullptr || !phba_function_number(phba, function, &pf) || !read_vx_conf(adapter, phba, block)) {
    return refuse(kStatusSetMacFailed, msg::kSetMacFailed);
  }
  const size_t at = vx_conf_mac_offset(block, sizeof block, pf);
  if (at == 0) return refuse(kStatusSetMacFailed, msg::kSetMacFailed);
  std::memcpy(block + at, bytes, sizeof bytes);
  const CommandAddress c = command_address(phba);
  if (ioctl_set_vx_conf(c.port, block, kVxConfSize, c.domain, c.phba_port, instance_number(adapter)) != 0) {
    return refuse(kStatusSetMacFailed, msg::kSetMacFailed);
  }
  return kStatusOk;
}

uint32_t VARU_get_legacy_last_configured_mac(hm_node* adapter, hm_node* phba, int32_t protocol) {
  char function[kValueSize];
  uint32_t pf = 0;
  uint8_t block[kVxConfSize];
  hm_node* group = mac_group(phba, protocol);
  if (adapter == nullptr || group == nullptr || !phba_function_number(phba, function, &pf) ||
      !read_vx_conf(adapter, phba, block)) {
    return refuse(kStatusGetMacFailed, msg::kGetMacFailed);
  }
  const size_t at = vx_conf_mac_offset(block, sizeof block, pf);
  if (at == 0) return refuse(kStatusGetMacFailed, msg::kGetMacFailed);
  char text[kValueSize];
  mac_text(block + at, text);
  return set_prop_val(group, nic::kPropPermanentMACAddress, "%s", text) == 0 ? kStatusOk : kStatusFailed;
}

}  // namespace vx
