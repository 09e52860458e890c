#include "iscsi/ipv6.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "access/fw_commands.h"
#include "access/text.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/net_records.h"
#include "iscsi/scsi.h"
#include "iscsi/sessions.h"
#include "iscsi/tcpip.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr size_t kIpv6FullLength = 39;

bool no_ipv6(hm_node* node) {
  const uint32_t generation = get_vx_type(controller_of(node));
  return generation == kGeneration2 || generation == kGeneration3;
}

// Property handlers address the port of the physical HBA (four levels above an IPv6 property).
bool phba_port(hm_node* ipv6_group, int32_t* port) {
  const instance_backend_record* rec = record_of(ancestor_at(ipv6_group, 3));
  if (rec == nullptr) return false;
  *port = static_cast<int32_t>(rec->port_handle);
  return true;
}

uint32_t first_interface(int32_t port, int32_t domain, int32_t phba_port, uint32_t* id) {
  if_id_list ids{};
  if (ioctl_get_all_if_id(port, &ids, sizeof ids, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)) != 0 ||
      ids.count == 0) {
    return refuse(kStatusInterfaceIds, msg::kInterfaceIdsFailed);
  }
  *id = ids.ids[0];
  return kStatusOk;
}

uint32_t set_na(hm_node* prop, char* buf) {
  SET_CACHE_PROP_VAL(prop, "%s", "N/A");
  return handle_internal_property(prop, buf, kGet);
}

// The TCPIPConfiguration record an IPv6 action needs, and its addressing.
bool action_interface(hm_node* ipv6_group, hm_node* action, CommandAddress* at, uint32_t* interface_id) {
  int32_t port = 0;
  if (!tcpip_interface(ipv6_group->parent, &port, interface_id)) return false;
  *at = command_address(action);
  at->port = get_port_number(ipv6_group);
  return true;
}

}  // namespace

std::string ipv6_full_text(const uint8_t b[16]) {
  char text[kIpv6TextSize];
  ipaddr_to_string(b, text, sizeof text, kAddressTypeIpv6);
  return text;
}

bool parse_ipv6_text(const char* text, std::string* full, uint8_t bytes[16]) {
  // Judged whole: a longer text is refused, never cut to a prefix that happens to be valid.
  if (text == nullptr || ::strnlen(text, kIpv6FullLength + 1) > kIpv6FullLength) return false;
  char work[kIpv6TextSize] = {};
  std::memcpy(work, text, ::strnlen(text, kIpv6FullLength));
  if (validateIPv6Address(work) != 0 || ::inet_pton(AF_INET6, work, bytes) != 1) return false;
  *full = work;
  return true;
}

std::vector<std::pair<uint8_t, std::string>> read_ipv6_entries(const uint8_t* reply, size_t size) {
  std::vector<std::pair<uint8_t, std::string>> entries;
  uint32_t count = 0;
  if (size >= offsetof(if_info_params, address_count) + 4) {
    std::memcpy(&count, reply + offsetof(if_info_params, address_count), sizeof count);
  }
  for (size_t i = 0; i < count && i < kMaxIpv6Entries; ++i) {
    const size_t at = kIpv6EntrySize * i;
    if (at + kIpv6EntryAddressOffset + 16 > size) break;
    entries.emplace_back(reply[at + kIpv6EntryTypeOffset], ipv6_full_text(reply + at + kIpv6EntryAddressOffset));
  }
  return entries;
}

uint32_t VARU_get_IPv6configuration_properties(int32_t port, int32_t domain, int32_t phba_port, uint8_t type,
                                               std::string* out, uint32_t which) {
  out->clear();
  pdebug(kBackEnd, 6, "%s:ip_type = 0x%x\n", __func__, type);
  if_info_params r{};
  if (first_interface(port, domain, phba_port, &r.interface_id) != 0) return kStatusFailed;
  r.kind_or_vlan = type;
  if (ioctl_get_if_info_params(port, &r, sizeof r, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)) != 0) {
    return refuse(kStatusInterfaceInfo, msg::kInterfaceInfoFailed);
  }
  bool first_routable_seen = false;
  for (const auto& [entry_type, text] : read_ipv6_entries(reinterpret_cast<const uint8_t*>(&r), sizeof r)) {
    pdebug(kBackEnd, 6, "%s:IPType = 0x%x\n", __func__, entry_type);
    bool take = false;
    if (entry_type == kIpTypeRoutable && type == kIpTypeRoutable) {
      take = which != 1 || first_routable_seen;
      first_routable_seen = true;
    } else if (entry_type == kIpTypeLinkLocal && type == kIpTypeLinkLocal) {
      take = true;
    }
    if (take) {
      *out = text;
      pdebug(kBackEnd, 6, "%s:IPv6Address = %s\n", __func__, text.c_str());
      break;
    }
  }
  return kStatusOk;
}

uint32_t handle_IPv6State(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* group = owning_group(prop);
  if (no_ipv6(group)) return set_na(prop, buf);
  int32_t port = 0;
  if (!phba_port(group, &port)) return kStatusFailed;
  const CommandAddress at = command_address(group);
  if_info_params r{};
  if (first_interface(port, at.domain, at.phba_port, &r.interface_id) != 0) return kStatusFailed;
  const uint16_t query[2] = {kIpv6StateQuery, 0};
  std::memcpy(&r.kind_or_vlan, query, sizeof query);
  if (ioctl_get_if_info_params_v1(port, &r, sizeof r, at.domain, at.phba_port) != 0) {
    return refuse(kStatusInterfaceInfo, msg::kInterfaceInfoFailed);
  }
  uint16_t states = 0;
  std::memcpy(&states, reinterpret_cast<const uint8_t*>(&r) + kIpv6StatesOffset, sizeof states);
  pdebug(kBackEnd, 6, "%s:ipaddr_cnt = %u\n", __func__, r.address_count);
  pdebug(kBackEnd, 6, "%s:config_states = %u\n", __func__, states);
  const char* state = (states & kIpv6StateAuto) ? "AutoAssign"
                      : (states & kIpv6StateDhcp) ? "DHCP"
                      : (states & kIpv6StateStatic) ? "Static"
                                                     : nullptr;
  if (state != nullptr) SET_CACHE_PROP_VAL(prop, "%s", state);
  return handle_internal_property(prop, buf, kGet);
}

namespace {

// The address of a type for an address property; a failed lookup fails the read rather than
// showing "no address".
uint32_t address_property(hm_node* prop, char* buf, uint8_t type, uint32_t which) {
  hm_node* group = owning_group(prop);
  if (no_ipv6(group)) return set_na(prop, buf);
  int32_t port = 0;
  if (!phba_port(group, &port)) return kStatusFailed;
  const CommandAddress at = command_address(group);
  std::string text;
  if (VARU_get_IPv6configuration_properties(port, at.domain, at.phba_port, type, &text, which) != 0) {
    return kStatusFailed;
  }
  SET_CACHE_PROP_VAL(prop, "%s", text.empty() ? kZeroIpv6 : text.c_str());
  return handle_internal_property(prop, buf, kGet);
}

}  // namespace

uint32_t handle_InitiatorRoutableAddress(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet || ancestor_at(prop, 4) == nullptr) return kStatusFailed;
  const bool first = equal_nocase(prop->name, kPropPhbaInitiatorRoutableAddress1);
  return address_property(prop, buf, kIpTypeRoutable, first ? 0 : 1);
}

uint32_t handle_InitiatorLinkLocalAddress(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  return address_property(prop, buf, kIpTypeLinkLocal, 0);
}

uint32_t handle_DefaultIPv6Gateway(hm_node* prop, char* buf, uint32_t op) {
  hm_node* group = owning_group(prop);
  if (no_ipv6(group)) {
    if (op == kGet) return set_na(prop, buf);
    return refuse(kStatusIpv6NotOnAdapter, msg::kIpv6NotOnAdapter);
  }
  int32_t port = 0;
  if (!phba_port(group, &port)) return kStatusFailed;
  CommandAddress at = command_address(group);
  at.port = port;
  if (op == kGet) {
    gateway_query q{};
    q.kind = kIpTypeIpv6Gateway;
    if (ioctl_get_default_gateway(port, &q, at.domain, at.phba_port) != 0) {
      return refuse(kStatusGetGateway, msg::kGetGatewayFailed);
    }
    const std::string text = ipv6_full_text(q.address);
    pdebug(kBackEnd, 6, "%s:IPType = 0x%x\n", __func__, q.type);
    pdebug(kBackEnd, 6, "%s:strlen(IPv6Gateway) = %u IPv6Gateway = %s\n", __func__,
           static_cast<unsigned>(text.size()), text.c_str());
    SET_CACHE_PROP_VAL(prop, "%s", text.c_str());
    return handle_internal_property(prop, buf, kGet);
  }
  pdebug(kBackEnd, 6, "%s:value = %s\n", __func__, buf);
  std::string full;
  uint8_t address[16] = {};
  if (!parse_ipv6_text(buf, &full, address) || full == kZeroIpv6) {
    return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  }
  if (VARU_delete_IPv6Gateway(port, at.domain, at.phba_port, group) != 0) {
    pdebug(kBackEnd, 3, "%s:Deleteing Gateway Address failed.\n", __func__);
    return kStatusFailed;
  }
  if (send_gateway_change(at, kOperationAdd, kIpTypeIpv6Gateway, address) != 0) return refuse(kStatusSetGateway, msg::kSetGatewayFailed);
  return kStatusOk;
}

uint32_t VARU_delete_IPv6Gateway(int32_t port, int32_t domain, int32_t phba_port, hm_node* ipv6_group) {
  std::string current;
  if (!read_property(ipv6_group, kPropPhbaDefaultIPv6Gateway, &current)) return kStatusFailed;
  pdebug(kBackEnd, 6, "%s:IPv6Gateway = %s\n", __func__, current.c_str());
  std::string full;
  uint8_t address[16] = {};
  if (current == kZeroIpv6 || !parse_ipv6_text(current.c_str(), &full, address)) return kStatusOk;
  const CommandAddress at{port, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)};
  if (send_gateway_change(at, kOperationDelete, kIpTypeIpv6Gateway, address) != 0) return refuse(kStatusSetGateway, msg::kSetGatewayFailed);
  return kStatusOk;
}

uint32_t VARU_delete_ipv6_address(hm_node* ipv6_group, const char* property, uint8_t type, int32_t port,
                                  int32_t domain, int32_t phba_port, uint32_t interface_id) {
  pdebug(kBackEnd, 6, "%s:ip_type = 0x%x property_name = %s\n", __func__, type, property);
  std::string current;
  if (!read_property(ipv6_group, property, &current)) return kStatusFailed;
  pdebug(kBackEnd, 6, "%s:ipv6address = %s\n", __func__, current.c_str());
  if (current == kZeroIpv6) return kStatusOk;
  std::string full;
  uint8_t address[16] = {};
  if (!parse_ipv6_text(current.c_str(), &full, address)) return refuse(kStatusInvalidValue, msg::kStoredIpv6Malformed);
  const CommandAddress at{port, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)};
  if (send_ip_entry(at, interface_id, kOperationDelete, type, address, nullptr, nullptr) != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_modify_ip_entry failed\n", __func__);
    return refuse(kStatusModifyIp, msg::kModifyIpFailed);
  }
  return kStatusOk;
}

// ---- actions --------------------------------------------------------------------------------------

uint32_t do_ConfigureIPv6Address(hm_node* target, hm_node* action, char params[6][256]) {
  if (no_ipv6(target)) return refuse(kStatusIpv6NotOnAdapter, msg::kIpv6NotOnAdapter);
  static const struct {
    const char* type_text;
    const char* property;
    uint8_t type;
  } kKinds[] = {{"0", kPropPhbaInitiatorLinkLocalAddress, kIpTypeLinkLocal},
                {"1", kPropPhbaInitiatorRoutableAddress1, kIpTypeRoutable},
                {"2", kPropPhbaInitiatorRoutableAddress2, kIpTypeRoutable}};
  const auto* kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                  [&](const auto& k) { return std::strcmp(params[0], k.type_text) == 0; });
  if (kind == std::end(kKinds)) return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  CommandAddress at{};
  uint32_t interface_id = 0;
  if (!action_interface(target, action, &at, &interface_id)) return kStatusFailed;
  std::string full;
  uint8_t address[16] = {};
  if (!parse_ipv6_text(params[1], &full, address)) return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  if (VARU_delete_ipv6_address(target, kind->property, kind->type, at.port, at.domain, at.phba_port, interface_id) != 0) {
    pdebug(kBackEnd, 3, "%s:Failed to delete ipaddress %s with iptype %u\n", __func__, cached_value(target, kind->property).c_str(),
           kind->type);
    return kStatusFailed;
  }
  if (full == kZeroIpv6) {
    pdebug(kBackEnd, 6, "%s:IPv6address = %s.So returning success\n", __func__, full.c_str());
    return kStatusOk;
  }
  pdebug(kBackEnd, 6, "%s:ip_record_params.ip_record[0].ip_address.IPType = 0x%x\n", __func__, kind->type);
  uint32_t per_address = 0;
  if (send_ip_entry(at, interface_id, kOperationAdd, kind->type, address, nullptr, &per_address) != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_modify_ip_entry failed\n", __func__);
    return refuse(kStatusModifyIp, msg::kModifyIpFailed);
  }
  if (per_address != 0) {
    pdebug(kBackEnd, 3, "%s: ioctl_modify_ip_entry succeded,but the status of the given IP is %u\n", __func__,
           per_address);
    if (per_address == kIpEntryDuplicate) return refuse(kStatusDuplicateIp, msg::kDuplicateIp);
    return kStatusFailed;
  }
  return set_cached(target, kind->property, full) ? kStatusOk : kStatusFailed;
}

uint32_t do_AutoAssignEnable(hm_node* target, hm_node* action, char[6][256]) {
  if (no_ipv6(target)) return refuse(kStatusIpv6NotOnAdapter, msg::kIpv6NotOnAdapter);
  CommandAddress at{};
  uint32_t interface_id = 0;
  if (!action_interface(target, action, &at, &interface_id)) return kStatusFailed;
  if (VARU_delete_IPv6Gateway(at.port, at.domain, at.phba_port, target) != 0) {
    pdebug(kBackEnd, 3, "%s:Deleteing Gateway Address failed.\n", __func__);
    return kStatusFailed;
  }
  // "Auto" and "DHCP" send the same request.
  dhcp_request on{interface_id, kAutoAssignIpv6, 1, 1};
  if (ioctl_config_dhcp(at.port, &on, at.domain, at.phba_port) != 0) {
    pdebug(kBackEnd, 3, "%s:Failed to AutoAssignEnabled\n", __func__);
    return kStatusFailed;
  }
  return kStatusOk;
}

uint32_t do_AutoAssignDisable(hm_node* target, hm_node* action, char[6][256]) {
  if (no_ipv6(target)) return refuse(kStatusIpv6NotOnAdapter, msg::kIpv6NotOnAdapter);
  CommandAddress at{};
  uint32_t interface_id = 0;
  if (!action_interface(target, action, &at, &interface_id)) return kStatusFailed;
  dhcp_release off{interface_id, kAutoAssignIpv6};
  if (ioctl_release_dhcp(at.port, &off, at.domain, at.phba_port) != 0) {
    return refuse(kStatusDhcpDisable, msg::kDhcpDisableFailed);
  }
  return kStatusOk;
}

uint32_t do_DeleteDefaultIPv6Gateway(hm_node* target, hm_node* action, char[6][256]) {
  if (no_ipv6(target)) return refuse(kStatusIpv6NotOnAdapter, msg::kIpv6NotOnAdapter);
  CommandAddress at{};
  uint32_t interface_id = 0;
  if (!action_interface(target, action, &at, &interface_id)) return kStatusFailed;
  return VARU_delete_IPv6Gateway(at.port, at.domain, at.phba_port, target) != 0 ? kStatusFailed : kStatusOk;
}

}  // namespace vx
