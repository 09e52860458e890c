// Settings of the NIC physical functions kept in the adapter's flash: network boot (state and PXE or
// iBFT method), the network-boot VLAN, VEPA forwarding, the adapter's advanced (native) mode, the
// logical link status, and the iSCSI BIOS switch of an iSCSI function. Most take effect at the next
// boot.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/nic_common.h"
#include "adapter/nic_records.h"
#include "adapter/oem_attribs.h"
#include "engine/messages.h"
#include "iscsi/port_network.h"
#include "schema/handlers.h"
#include "schema/names_nic.h"

namespace vx {
namespace {

bool is(const char* text, const char* name) { return ::strcasecmp(text, name) == 0; }

// A NIC function's node and what its handlers address.
struct NicAt {
  hm_node* phba = nullptr;
  hm_node* adapter = nullptr;
  uint32_t generation = kGenerationNone;
  CommandAddress at{};
};

bool locate(hm_node* node, NicAt* out) {
  out->phba = physical_hba_of(node);
  out->adapter = adapter_of(out->phba);
  if (out->adapter == nullptr) return false;
  out->generation = get_vx_type(out->adapter);
  out->at = command_address(out->phba);
  return out->generation != kGenerationNone;
}

uint32_t read_boot(const CommandAddress& at, int32_t path, boot_config* r) {
  *r = boot_config{};
  return ioctl_get_boot_config(at.port, r, at.domain, at.phba_port, path) != 0
             ? refuse(kStatusBootRead, msg::kBootReadFailed)
             : kStatusOk;
}

uint32_t write_boot(const CommandAddress& at, int32_t path, boot_config* r) {
  return ioctl_set_boot_config(at.port, r, at.domain, at.phba_port, path) != 0
             ? refuse(kStatusBootWrite, msg::kBootWriteFailed)
             : kStatusOk;
}

// The switch configuration's forwarding mode of the function's physical port: 0, or the command's
// status.
uint32_t read_forwarding(const NicAt& n, uint16_t* mode) {
  hsw_config_get r{};
  r.port = n.at.phba_port;
  r.flags = kHswFlags;
  const uint32_t rc = ioctl_get_hsw_config(n.at.port, &r, n.at.domain, n.at.phba_port);
  *mode = forwarding_mode(r.port);
  return rc;
}

}  // namespace

uint32_t handle_iSCSIBIOSEnable(hm_node* prop, char* buf, uint32_t op) {
  hm_node* phba = prop != nullptr ? prop->parent : nullptr;
  if (phba == nullptr || buf == nullptr) return kStatusFailed;
  if (op != kGet && op != kSet) return kStatusOk;
  const CommandAddress at = command_address(phba);
  boot_config r{};
  if (read_boot(at, kProtocolIscsi, &r) != 0) return kStatusFailed;
  if (op == kGet) return give_text(prop, buf, r.enabled == 1 ? "Yes" : "No");
  r.enabled = is(buf, "Yes") ? 1 : 0;
  if (write_boot(at, kProtocolIscsi, &r) != 0) return kStatusFailed;
  SET_CACHE_PROP_VAL(prop, "%s", r.enabled == 1 ? "Yes" : "No");
  return kStatusOk;
}

uint32_t handle_AvailableNetworkBootMethods(hm_node* prop, char* buf, uint32_t) {
  NicAt n;
  if (!locate(prop, &n)) return kStatusFailed;
  return give_text(prop, buf, n.generation == kGenerationQuenta ? "PXE,iBFT" : "PXE");
}

uint32_t handle_networkboot_config(hm_node* prop, char* buf, uint32_t) {
  NicAt n;
  if (prop == nullptr || !locate(prop, &n)) return kStatusFailed;
  if (vm_flag != 0) return refuse_on_vf(buf);
  boot_config r{};
  if (read_boot(n.at, kProtocolNic, &r) != 0) return kStatusFailed;
  hm_node* group = prop->parent;
  set_prop_val(group, nic::kPropNetworkBootMethod, "%s", boot_method_text(r));
  const char* state = r.enabled == 1 ? "Enabled" : "Disabled";
  if (n.generation != kGenerationQuenta) {
    char text[kValueSize];
    uint32_t function = 0;
    if (!phba_function_number(n.phba, text, &function)) {
      pdebug(kBackEnd, 3, "%s: function number not read\n", __func__);
      return kStatusFailed;
    }
    // Only a function whose expansion ROM is enabled can boot from the network.
    uint8_t mapping[kPciFuncMappingSize] = {};
    if (ioctl_get_pci_func_mapping(n.at.port, mapping, n.at.domain, n.at.phba_port, kProtocolNic) != 0) {
      return refuse(kStatusBootRead, msg::kBootReadFailed);
    }
    if (!expansion_rom_enabled(mapping, sizeof mapping, function, n.generation)) state = kTextNotAvailable;
  }
  set_prop_val(group, nic::kPropNetworkBootState, "%s", state);
  return return_cached(prop, buf);
}

uint32_t do_SetNetworkBoot(hm_node* group, hm_node*, char params[6][256]) {
  NicAt n;
  if (!locate(group, &n) || n.generation == kGenerationUnknown) return kStatusFailed;
  const bool enable = is(params[0], "Enabled");
  if (enable && params[1][0] == '\0') return refuse(kStatusBootMethodMissing, msg::kBootMethodMissing);
  if (enable && is(params[1], "iBFT") && n.generation != kGenerationQuenta) {
    return refuse(kStatusBootMethodRefused, msg::kBootMethodRefused);
  }
  char current[kValueSize];
  if (!read_property(group, nic::kPropNetworkBootState, current)) return kStatusFailed;
  if (is(current, kTextNotAvailable)) return refuse(kStatusNetworkBootRefused, msg::kNetworkBootRefused);
  boot_config r{};
  if (read_boot(n.at, kProtocolNic, &r) != 0) return kStatusFailed;
  r.enabled = enable ? 1 : 0;
  r.method = !enable ? 0 : is(params[1], "PXE") ? kBootMethodPxe : kBootMethodIbft;
  if (write_boot(n.at, kProtocolNic, &r) != 0) return kStatusFailed;
  set_prop_val(group, nic::kPropNetworkBootState, "%s", enable ? "Enabled" : "Disabled");
  return kStatusOk;
}

uint32_t handle_vlan_properties(hm_node* prop, char* buf, uint32_t) {
  if (prop == nullptr || buf == nullptr) return kStatusFailed;
  if (vm_flag != 0) std::snprintf(buf, kValueSize, "%s", kTextNotAvailable);
  NicAt n;
  if (!locate(prop, &n)) return kStatusFailed;
  if (n.generation == kGeneration2) return kStatusOk;
  oem_exec_cfg r{};
  if (ioctl_get_oem_exec_cfg(n.at.port, &r, n.at.domain, n.at.phba_port) != 0) {
    pdebug(kBackEnd, 3, "%s: OEM execution configuration not read\n", __func__);
    return kStatusFailed;
  }
  set_prop_val(prop->parent, nic::kPropVLANId, "%d", r.vlan_id);
  set_prop_val(prop->parent, nic::kPropVLANPriority, "%d", r.vlan_priority);
  return return_cached(prop, buf);
}

uint32_t do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN(hm_node* group, hm_node*, char params[6][256]) {
  if (vm_flag != 0) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  NicAt n;
  if (!locate(group, &n)) return kStatusFailed;
  if (n.generation == kGeneration2) return refuse(kStatusNotOnAdapter, msg::kNotSupportedOnAdapter);
  hm_property* cached = property_data(internal_get_node(group, nic::kPropVLANPriority, kProperty));
  if (params[1][0] == '\0' && cached == nullptr) return kStatusFailed;
  oem_exec_cfg r{};
  r.valid = kOemExecVlanValid;
  r.write_flags = kOemExecWrite;
  r.vlan_id = static_cast<uint16_t>(std::strtoul(params[0], nullptr, 10));
  r.vlan_priority = static_cast<uint8_t>(std::strtoul(params[1][0] != '\0' ? params[1] : property_value(cached), nullptr, 10));
  r.vlan_flags = kOemExecWrite;
  if (ioctl_set_oem_exec_cfg(n.at.port, &r, n.at.domain, n.at.phba_port) != 0) {
    return refuse(kStatusSetVlanFailed, msg::kVlanFailed);
  }
  return kStatusOk;
}

uint32_t handle_VEPAState(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet && op != kSet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  NicAt n;
  if (prop == nullptr || buf == nullptr || !locate(prop, &n)) return kStatusFailed;
  const bool older = n.generation == kGeneration2 || n.generation == kGeneration3 || n.generation == kGenerationQuenta;
  if (older) {
    return op == kGet ? give_text(prop, buf, kTextNotAvailable) : refuse(kStatusVepaRefused, msg::kVepaRefused);
  }
  if (op == kGet) {
    uint16_t mode = 0;
    const uint32_t rc = read_forwarding(n, &mode);
    if (rc == kStatusFirmwareNotSupported) {
      give_text(prop, buf, kTextNotAvailable);
      return kStatusFailed;
    }
    if (rc != 0) return kStatusFailed;
    return give_text(prop, buf, mode == kForwardingVepa ? "Enabled" : "Disabled");
  }
  // VEPA forwarding needs the function's virtual functions.
  char sriov[kValueSize];
  char current[kValueSize];
  if (!read_property(n.phba, nic::kPropSRIOVState, sriov)) return kStatusFailed;
  if (!is(sriov, "Enabled")) return refuse(kStatusVepaRefused, msg::kVepaRefused);
  if (!read_property(n.phba, nic::kPropVEPAState, current)) return kStatusFailed;
  if (is(current, buf)) return kStatusOk;
  hsw_config_set r{};
  r.port = n.at.phba_port;
  r.flags = kHswFlags;
  r.mode = forwarding_word(is(buf, "Enabled") ? kForwardingVepa : kForwardingVeb);
  if (ioctl_set_hsw_config(n.at.port, &r, n.at.domain, n.at.phba_port) != 0) return kStatusFailed;
  SET_CACHE_PROP_VAL(prop, "%s", is(buf, "Enabled") ? "Enabled" : "Disabled");
  return kStatusOk;
}

uint32_t handle_AdvancedMode(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet && op != kSet) return kStatusOk;
  hm_node* adapter = adapter_of(prop);
  if (adapter == nullptr || buf == nullptr) return kStatusFailed;
  if (get_vx_type(adapter) != kGeneration3) {
    return op == kGet ? give_text(prop, buf, kTextNotAvailable)
                      : refuse(kStatusAdvancedModeRefused, msg::kAdvancedModeRefused);
  }
  hm_node* nic = get_first_instance(adapter, kGroupNICPhysicalHBA);
  if (nic == nullptr) return kStatusFailed;
  if (vm_flag != 0) return refuse_on_vf(buf);
  const CommandAddress at = command_address(nic);
  boot_config r{};
  if (read_boot(at, kProtocolNic, &r) != 0) return kStatusFailed;
  if (op == kGet) return give_text(prop, buf, r.native_mode != 0 ? "Enabled" : "Disabled");
  r.native_mode = is(buf, "Enabled") ? 1 : 0;
  if (write_boot(at, kProtocolNic, &r) != 0) return kStatusFailed;
  varu_set_last_status(kStatusAdvancedModeChanged, msg::kAdvancedModeChanged);
  return kStatusOk;
}

uint32_t handle_nic_logical_link_status(hm_node* prop, char* buf, uint32_t) {
  hm_node* phba = prop != nullptr ? prop->parent : nullptr;
  if (phba == nullptr) return kStatusFailed;
  const CommandAddress at = command_address(phba);
  return get_logical_link_status(at.port, at.domain, at.phba_port, phba, kProtocolNic) != 0 ? kStatusFailed
                                                                                            : return_cached(prop, buf);
}

}  // namespace vx
