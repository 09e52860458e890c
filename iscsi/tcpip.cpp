#include "iscsi/tcpip.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "access/fw_commands.h"
#include "access/text.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/net_records.h"
#include "iscsi/records.h"
#include "iscsi/scsi.h"
#include "iscsi/sessions.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr const char* kNoAddress = "0.0.0.0";

std::string ipv4_text(const uint8_t* bytes) {
  char text[kIpv6TextSize] = "";
  ipaddr_to_string(bytes, text, sizeof text, kIpTypeIpv4);
  return text;
}

// The address of a cached property when it is a valid address of that kind.
bool cached_address(hm_node* group, const char* name, int32_t kind, uint8_t out[4]) {
  return validateIPAddress(cached_value(group, name).c_str(), out, kind) == 1;
}

// What the actions of the group address: the port of the group, domain and port of the action.
CommandAddress action_address(hm_node* target, hm_node* action) {
  CommandAddress at = command_address(action);
  at.port = get_port_number(target);
  return at;
}

// "True" when DHCPEnabled, read afresh, says so; false with *readable false when it can't be read.
bool dhcp_on(hm_node* tcpip, bool* readable) {
  std::string value;
  *readable = read_property(tcpip, kPropPhbaDHCPEnabled, &value);
  return *readable && equal_nocase(value, "True");
}

// The refusals every address change shares: DHCP on (43), a boot session (44).
uint32_t address_change_refused(hm_node* tcpip) {
  bool readable = false;
  if (dhcp_on(tcpip, &readable)) return refuse(kStatusAddressWithDhcp, msg::kAddressWithDhcp);
  if (!readable) return kStatusFailed;
  return check_for_boot_session(ancestor_at(tcpip, 2));
}

}  // namespace

uint32_t send_gateway_change(const CommandAddress& at, uint32_t operation, uint8_t type, const uint8_t* address) {
  gateway_change r{};
  r.operation = operation;
  // An IPv4 deletion carries no record size; the other changes do.
  r.size = operation == kOperationAdd || type != kIpTypeIpv4 ? kGatewayRecordSize : 0;
  r.type = type;
  std::memcpy(r.address, address, type == kIpTypeIpv4 ? 4 : 16);
  return ioctl_set_default_gateway(at.port, &r, at.domain, at.phba_port);
}

uint32_t send_ip_entry(const CommandAddress& at, uint32_t interface_id, uint32_t operation, uint8_t type,
                       const uint8_t* address, const uint8_t* mask, uint32_t* per_address) {
  ip_entry_record r{};
  r.count = 1;
  r.operation = operation;
  r.interface_id = interface_id;
  r.record_size = kIpEntryRecordSize;
  r.type = type;
  const size_t length = type == kIpTypeIpv4 ? 4 : 16;
  std::memcpy(r.address, address, length);
  if (mask != nullptr) std::memcpy(r.mask, mask, length);
  const uint32_t rc = ioctl_modify_ip_entry(at.port, &r, sizeof r, at.domain, at.phba_port);
  if (per_address != nullptr) *per_address = r.status;
  return rc;
}

hm_node* ancestor_at(hm_node* group, int levels) {
  for (int i = 0; i < levels && group != nullptr; ++i) group = group->parent;
  return group;
}

bool tcpip_interface(hm_node* tcpip, int32_t* port, uint32_t* interface_id) {
  const instance_backend_record* rec = record_of(tcpip);
  if (rec == nullptr) return false;
  *port = static_cast<int32_t>(rec->port_handle);
  *interface_id = rec->firmware_handle;
  return true;
}

uint32_t get_all_interfaces(int32_t port, int32_t phba_port, int32_t domain, hm_node* group) {
  if_id_list ids{};
  pdebug(kBackEnd, 6, "buffersize = %u\n", static_cast<unsigned>(sizeof ids));
  if (ioctl_get_all_if_id(port, &ids, sizeof ids, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)) != 0) {
    pdebug(kBackEnd, 3, "ioctl_get_all_if_id failed\n");
    return refuse(kStatusInterfaceIds, msg::kInterfaceIdsFailed);
  }
  pdebug(kBackEnd, 6, "InterfaceCount is :%u\n", ids.count);
  // No interface means no id to address: the first slot would be whatever the reply left there.
  if (ids.count == 0) return refuse(kStatusInterfaceIds, msg::kInterfaceIdsFailed);
  if (!attach_record(group, instance_backend_record{static_cast<uint32_t>(port), ids.ids[0], {0, 0}})) {
    pdebug(kBackEnd, 3, "malloc failed\n");
    return refuse(kStatusNoMemory, msg::kOutOfMemory);
  }
  return get_if_info_params(port, ids.ids[0], group, domain, phba_port) != 0 ? kStatusFailed : kStatusOk;
}

uint32_t get_if_info_params(int32_t port, uint32_t interface_id, hm_node* group, int32_t domain, int32_t phba_port) {
  if_info_params r{};
  r.interface_id = interface_id;
  r.kind_or_vlan = kIpTypeIpv4;
  if (ioctl_get_if_info_params(port, &r, sizeof r, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)) != 0) {
    pdebug(kBackEnd, 3, "ioctl_get_if_info_params failed\n");
    return refuse(kStatusInterfaceInfo, msg::kInterfaceInfoFailed);
  }
  const bool none = r.address_count == 0;
  const bool written = set_cached(group, kPropPhbaInitiatorIPAddress, none ? kNoAddress : ipv4_text(r.address)) &&
                       set_cached(group, kPropPhbaInitiatorSubnetMask, none ? kNoAddress : ipv4_text(r.mask));
  if (!written) return kStatusFailed;
  bool ok = set_cached(group, kPropPhbaDHCPEnabled, r.dhcp != 0 ? "True" : "False");
  const uint32_t tag = r.kind_or_vlan;
  if (tag == kNoVlanTag) {
    set_cached(group, kPropPhbaVLANEnabled, "False");
    set_cached(group, kPropPhbaVLANId, "");
    ok = set_cached(group, kPropPhbaPriority, "") && ok;
  } else {
    const std::string id = std::to_string(tag & 0xFFF);
    const std::string priority = std::to_string((tag >> 13) & 7);
    set_cached(group, kPropPhbaVLANEnabled, "True");
    set_cached(group, kPropPhbaVLANId, id);
    pdebug(kBackEnd, 6, "vlan_tag is %s\n", id.c_str());
    pdebug(kBackEnd, 6, "priority is %s\n", priority.c_str());
    ok = set_cached(group, kPropPhbaPriority, priority) && ok;
  }
  return ok ? kStatusOk : kStatusFailed;
}

uint32_t check_for_boot_session(hm_node* phba) {
  for (hm_node* lhba = get_first_instance(phba, kGroupLogicalHBA); lhba != nullptr; lhba = next_instance(lhba)) {
    for (hm_node* t = get_first_instance(lhba, kGroupTarget); t != nullptr; t = next_instance(t)) {
      for (hm_node* s = get_first_instance(t, kGroupSession); s != nullptr; s = next_instance(s)) {
        std::string boot;
        read_property(s, kPropSessioniSCSIBoot, &boot);
        pdebug(kBackEnd, 6, "iscsi_boot = %s\n", boot.c_str());
        if (equal_nocase(boot, "True")) return refuse(kStatusBootSession, msg::kBootSessionActive);
      }
    }
  }
  return kStatusOk;
}

uint32_t VARU_delete_ip_from_firmware(int32_t port, uint32_t interface_id, hm_node*, int32_t domain, int32_t phba_port,
                                      const uint8_t address[4], const uint8_t mask[4]) {
  const CommandAddress at{port, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)};
  if (send_ip_entry(at, interface_id, kOperationDelete, kIpTypeIpv4, address, mask, nullptr) != 0) {
    pdebug(kBackEnd, 3, "%s: ioctl_modify_ip_entry failed\n", __func__);
    return refuse(kStatusModifyIp, msg::kModifyIpFailed);
  }
  return kStatusOk;
}

// ---- handlers -------------------------------------------------------------------------------------

uint32_t handle_tcpip_properties(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* group = owning_group(prop);
  hm_node* phba = ancestor_at(group, 2);
  const instance_backend_record* rec = record_of(phba);
  if (rec == nullptr) return kStatusFailed;
  const int32_t port = static_cast<int32_t>(rec->port_handle);
  pdebug(kBackEnd, 6, "the oshandle obtained is :%d\n", port);
  const CommandAddress at = command_address(group);
  if (get_all_interfaces(port, at.phba_port, at.domain, group) != 0) {
    pdebug(kBackEnd, 3, "get_all_interfaces failed\n");
    return kStatusFailed;
  }
  return handle_internal_property(prop, buf, kGet);
}

uint32_t handle_DefaultGateway(hm_node* prop, char* buf, uint32_t op) {
  hm_node* group = owning_group(prop);
  const CommandAddress at = command_address(group);
  gateway_query current{};
  current.kind = kIpTypeIpv4;
  if (ioctl_get_default_gateway(at.port, &current, at.domain, at.phba_port) != 0) {
    pdebug(kBackEnd, 3, "Get Def Gateway failed!!\n");
    return refuse(kStatusGetGateway, msg::kGetGatewayFailed);
  }
  const uint8_t* old = current.address;
  if (op == kGet) {
    pdebug(kBackEnd, 6, "DefaultGateway = %u.%u.%u.%u\n", old[0], old[1], old[2], old[3]);
    const bool written = set_cached(group, kPropPhbaDefaultGateway, ipv4_text(old));
    const uint32_t rc = handle_internal_property(prop, buf, kGet);
    return written ? rc : kStatusFailed;
  }
  bool readable = false;
  if (dhcp_on(group, &readable)) return refuse(kStatusGatewayWithDhcp, msg::kGatewayWithDhcp);
  std::string address;
  std::string mask;
  if (!readable || !read_property(group, kPropPhbaInitiatorIPAddress, &address) ||
      !read_property(group, kPropPhbaInitiatorSubnetMask, &mask)) {
    return kStatusFailed;
  }
  // The new value is checked before the old gateway goes: a refused value changes nothing.
  uint8_t gateway[4] = {};
  if (validateIPAddress(buf, gateway, kIpHost) == 0) return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  if (check_for_boot_session(ancestor_at(group, 2)) != 0) return kStatusFailed;
  if (old[0] != 0 && send_gateway_change(at, kOperationDelete, kIpTypeIpv4, old) != 0) {
    pdebug(kBackEnd, 3, "Could not DEL the old address!!\n");
    return refuse(kStatusSetGateway, msg::kSetGatewayFailed);
  }
  if (send_gateway_change(at, kOperationAdd, kIpTypeIpv4, gateway) != 0) {
    pdebug(kBackEnd, 3, "Could not ADD the new address!!\n");
    // A refused gateway leaves the one there was.
    if (old[0] != 0 && send_gateway_change(at, kOperationAdd, kIpTypeIpv4, old) != 0) {
      pdebug(kBackEnd, 3, "%s: the previous gateway could not be put back\n", __func__);
    }
    return refuse(kStatusSetGateway, msg::kSetGatewayFailed);
  }
  set_cached(group, kPropPhbaDefaultGateway, ipv4_text(gateway));
  return kStatusOk;
}

uint32_t do_ConfigureIPAddress(hm_node* target, hm_node* action, char params[6][256]) {
  if (address_change_refused(target) != 0) return kStatusFailed;
  int32_t port = 0;
  uint32_t interface_id = 0;
  if (!tcpip_interface(target, &port, &interface_id)) return kStatusFailed;
  const std::string address_text = params[0];
  const std::string mask_text = params[1];
  uint8_t address[4] = {};
  uint8_t mask[4] = {};
  const bool address_ok = address_text == kNoAddress || validateIPAddress(address_text.c_str(), address, kIpHost) == 1;
  const bool mask_ok = mask_text == kNoAddress || validateIPAddress(mask_text.c_str(), mask, kIpSubnetMask) == 1;
  if (!address_ok || !mask_ok) return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  if (address_text == cached_value(target, kPropPhbaInitiatorIPAddress) &&
      mask_text == cached_value(target, kPropPhbaInitiatorSubnetMask)) {
    varu_set_last_status(kStatusIpSettingsMatch, msg::kIpSettingsMatch);
    return kStatusOk;
  }
  CommandAddress at = action_address(target, action);
  uint8_t old_address[4] = {};
  uint8_t old_mask[4] = {};
  const bool had_address = cached_address(target, kPropPhbaInitiatorIPAddress, kIpHost, old_address) &&
                           cached_address(target, kPropPhbaInitiatorSubnetMask, kIpAnyButZero, old_mask);
  if (had_address &&
      VARU_delete_ip_from_firmware(at.port, interface_id, target, at.domain, at.phba_port, old_address, old_mask) != 0) {
    return kStatusFailed;
  }
  uint32_t per_address = 0;
  const uint32_t sent = send_ip_entry(at, interface_id, kOperationAdd, kIpTypeIpv4, address, mask, &per_address);
  if (sent != 0 || per_address == kIpEntryDuplicate) {
    // The new address did not take: the port keeps the one it had, and its sessions with it.
    if (had_address &&
        send_ip_entry(at, interface_id, kOperationAdd, kIpTypeIpv4, old_address, old_mask, nullptr) != 0) {
      pdebug(kBackEnd, 3, "%s: the previous address could not be put back\n", __func__);
    }
    if (sent == 0) return refuse(kStatusDuplicateIp, msg::kDuplicateIp);
    pdebug(kBackEnd, 3, "%s: ioctl_modify_ip_entry failed\n", __func__);
    return refuse(kStatusModifyIp, msg::kModifyIpFailed);
  }
  if (per_address != 0) {
    pdebug(kBackEnd, 3, "%s: ioctl_modify_ip_entry succeded,but the status of the given IP is %u\n", __func__,
           per_address);
  }
  return kStatusOk;
}

uint32_t do_DHCPEnable(hm_node* target, hm_node* action, char[6][256]) {
  bool readable = false;
  if (dhcp_on(target, &readable)) {
    varu_set_last_status(kStatusDhcpConfigured, msg::kDhcpAlreadyConfigured);
    return kStatusOk;
  }
  if (!readable) return kStatusFailed;
  for (const char* name : {kPropPhbaInitiatorIPAddress, kPropPhbaInitiatorSubnetMask, kPropPhbaDefaultGateway}) {
    if (internal_get_node(target, name, kProperty) == nullptr) return kStatusFailed;
  }
  pdebug(kBackEnd, 6, "In %s : ipaddr_prop = %s, subnet_prop = %s, gateway = %s\n", __func__,
         cached_value(target, kPropPhbaInitiatorIPAddress).c_str(), cached_value(target, kPropPhbaInitiatorSubnetMask).c_str(),
         cached_value(target, kPropPhbaDefaultGateway).c_str());
  if (check_for_boot_session(ancestor_at(target, 2)) != 0) return kStatusFailed;
  int32_t port = 0;
  uint32_t interface_id = 0;
  if (!tcpip_interface(target, &port, &interface_id)) return kStatusFailed;
  const CommandAddress at = action_address(target, action);
  uint8_t address[4] = {};
  uint8_t mask[4] = {};
  if (cached_address(target, kPropPhbaInitiatorIPAddress, kIpHost, address) &&
      cached_address(target, kPropPhbaInitiatorSubnetMask, kIpAnyButZero, mask) &&
      VARU_delete_ip_from_firmware(at.port, interface_id, target, at.domain, at.phba_port, address, mask) != 0) {
    return kStatusFailed;
  }
  uint8_t gateway[4] = {};
  if (cached_address(target, kPropPhbaDefaultGateway, kIpHost, gateway) &&
      send_gateway_change(at, kOperationDelete, kIpTypeIpv4, gateway) != 0) {
    pdebug(kBackEnd, 3, "In %s: Could not delete the old default gateway address\n", __func__);
    return refuse(kStatusSetGateway, msg::kSetGatewayFailed);
  }
  dhcp_request on{interface_id, kDhcpIpv4, 1, 1};
  if (ioctl_config_dhcp(at.port, &on, at.domain, at.phba_port) != 0) {
    pdebug(kBackEnd, 3, "%s: ioctl_config_dhcp failed\n", __func__);
    return kStatusFailed;
  }
  std::string value;
  if (!read_property(target, kPropPhbaDHCPEnabled, &value)) return kStatusFailed;
  if (equal_nocase(value, "False")) return refuse(kStatusDhcpEnable, msg::kDhcpEnableFailed);
  return kStatusOk;
}

uint32_t do_DHCPDisable(hm_node* target, hm_node* action, char[6][256]) {
  if (check_for_boot_session(ancestor_at(target, 2)) != 0) return kStatusFailed;
  int32_t port = 0;
  uint32_t interface_id = 0;
  if (!tcpip_interface(target, &port, &interface_id)) return kStatusFailed;
  const CommandAddress at = action_address(target, action);
  dhcp_release off{interface_id, kDhcpIpv4};
  if (ioctl_release_dhcp(at.port, &off, at.domain, at.phba_port) != 0) {
    return refuse(kStatusDhcpDisable, msg::kDhcpDisableFailed);
  }
  const bool ok = set_cached(target, kPropPhbaDHCPEnabled, "False") &&
                  set_cached(target, kPropPhbaInitiatorIPAddress, kNoAddress) &&
                  set_cached(target, kPropPhbaInitiatorSubnetMask, kNoAddress);
  return ok ? kStatusOk : kStatusFailed;
}

namespace {

uint32_t send_vlan(hm_node* target, hm_node* action, uint32_t tag) {
  int32_t port = 0;
  uint32_t interface_id = 0;
  if (!tcpip_interface(target, &port, &interface_id)) return kStatusFailed;
  const CommandAddress at = action_address(target, action);
  vlan_request r{interface_id, tag};
  if (ioctl_set_vlan_params(at.port, &r, at.domain, at.phba_port) != 0) return refuse(kStatusVlan, msg::kVlanFailed);
  return get_if_info_params(at.port, interface_id, target, at.domain, at.phba_port);
}

}  // namespace

uint32_t do_ConfigureVLAN(hm_node* target, hm_node* action, char params[6][256]) {
  uint64_t id = 0;
  uint64_t priority = 0;
  const std::string priority_text = params[1][0] == '\0' ? "0" : params[1];
  if (!parse_number(params[0], 10, 0xFFFF, &id) || !parse_number(priority_text, 10, 7, &priority)) {
    return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  }
  const uint32_t tag = static_cast<uint32_t>(((priority << 13) & 0xFFFF) | (id & 0xFFFF));
  return send_vlan(target, action, tag);
}

uint32_t do_VLANDisable(hm_node* target, hm_node* action, char[6][256]) { return send_vlan(target, action, kNoVlanTag); }

uint32_t do_DeleteDefaultGateway(hm_node* target, hm_node* action, char[6][256]) {
  bool readable = false;
  if (dhcp_on(target, &readable)) return refuse(kStatusAddressWithDhcp, msg::kAddressWithDhcp);
  std::string current;
  if (!readable || !read_property(target, kPropPhbaDefaultGateway, &current)) return kStatusFailed;
  uint8_t gateway[4] = {};
  if (validateIPAddress(current.c_str(), gateway, kIpHost) == 0) return kStatusOk;
  if (check_for_boot_session(ancestor_at(target, 2)) != 0) return kStatusFailed;
  if (send_gateway_change(action_address(target, action), kOperationDelete, kIpTypeIpv4, gateway) != 0) {
    pdebug(kBackEnd, 3, "Could not DEL the old address!!\n");
    return refuse(kStatusSetGateway, msg::kSetGatewayFailed);
  }
  return kStatusOk;
}

}  // namespace vx
