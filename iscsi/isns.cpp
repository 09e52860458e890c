#include "iscsi/isns.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "access/fw_commands.h"
#include "access/text.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/ipv6.h"
#include "iscsi/lookups.h"
#include "iscsi/scsi.h"
#include "iscsi/targets.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"
#include "schema/table_entries.h"

namespace vx {
namespace {

constexpr uint32_t kGenerationSingleServer = 3;

uint32_t write_record(const CommandAddress& at, discovery_params* record) {
  return ioctl_set_discoveryparams(at.port, record, at.domain, at.phba_port);
}

// The entity name: the initiator name of the logical HBA, bounded by its field.
uint32_t set_entity(hm_node* isns, int32_t domain, discovery_params* record) {
  char name[kValueSize] = {};
  const uint32_t rc = get_initiator_name(isns, name, domain);
  if (rc != 0) return rc;
  std::memset(record->entity_name, 0, sizeof record->entity_name);
  std::memcpy(record->entity_name, name, ::strnlen(name, sizeof record->entity_name - 1));
  return kStatusOk;
}

// The iSNS group's commands: its port, domain `domain`, and the physical port.
CommandAddress isns_address(hm_node* isns, int32_t domain) {
  CommandAddress at = command_address(isns);
  at.domain = static_cast<uint8_t>(domain);
  return at;
}

// A write that may answer "host unreachable" (32): that status is kept and the caller goes on.
uint32_t send_and_go_on(const CommandAddress& at, discovery_params* record) {
  const uint32_t rc = write_record(at, record);
  if (rc == kStatusHostUnreachable) varu_set_last_status(kStatusHostUnreachable, msg::kFwHostUnreachable);
  if (rc == 0 || rc == kStatusHostUnreachable) return kStatusOk;
  varu_set_last_status(kStatusSetDiscoveryParams, msg::kSetDiscoveryParamsFailed);
  return rc;
}

}  // namespace

uint32_t read_discovery_params(const CommandAddress& at, discovery_params* out) {
  *out = discovery_params{};
  const uint32_t rc = ioctl_get_discoveryparams(at.port, out, at.domain, at.phba_port);
  if (rc != 0) varu_set_last_status(kStatusGetDiscoveryParams, msg::kGetDiscoveryParamsFailed);
  return rc;
}

uint32_t get_discovery_params(int32_t port, int32_t domain, int32_t phba_port, hm_node* isns_group) {
  discovery_params r{};
  const uint32_t rc = read_discovery_params({port, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)}, &r);
  if (rc != 0) return rc;
  return set_cached(isns_group, kPropPhbaiSNSEnabled, (r.flags & kIsnsEnabled) ? "Yes" : "No") ? kStatusOk
                                                                                              : kStatusFailed;
}

uint32_t handle_discoveryparams(hm_node* prop, char* buf, uint32_t op) {
  hm_node* group = owning_group(prop);
  const CommandAddress at = isns_address(group, 0);
  if (op == kGet) {
    const uint32_t rc = get_discovery_params(at.port, at.domain, at.phba_port, group);
    return rc != 0 ? rc : handle_internal_property(prop, buf, kGet);
  }
  if (op != kSet) return kStatusOk;
  discovery_params r{};
  const uint32_t rc = read_discovery_params(at, &r);
  if (rc != 0) return rc;
  const bool on = equal_nocase(buf, "Yes");
  if (on && (r.flags & kIsnsEnabled)) return kStatusOk;
  // Only the switch changes: the servers and the way they were given stay as the firmware has them.
  r.flags = static_cast<uint16_t>(on ? (r.flags | kIsnsEnabled) : (r.flags & ~kIsnsEnabled));
  const uint32_t written = write_record(at, &r);
  if (written != 0) {
    varu_set_last_status(kStatusSetDiscoveryParams, msg::kSetDiscoveryParamsFailed);
    return written;
  }
  return get_discovery_params(at.port, at.domain, at.phba_port, group) != 0 ? kStatusFailed : kStatusOk;
}

uint32_t get_all_isns(hm_node*, int32_t port, int32_t domain, int32_t phba_port, hm_node* isns_group, hm_node* action,
                      char params[6][256]) {
  discovery_params r{};
  const uint32_t rc = read_discovery_params({port, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)}, &r);
  if (rc != 0) return rc;
  if (isns_group == nullptr) return kStatusFailed;
  if (r.server_count == 0) return purge_nodes_within(isns_group, kGroupiSNSServer);
  const isns_server_entry& server = r.servers[0];
  pdebug(kBackEnd, 6, "%s:ip_type = 0x%x\n", __func__, server.type);
  char address[kIpv6TextSize] = "";
  ipaddr_to_string(server.address, address, sizeof address, server.type);
  const std::string port_text = std::to_string(server.port);
  // The server is shown once: a refresh while the first instance shows another server would
  // otherwise add it again on every read, until no instance is left to make.
  for (hm_node* s = get_first_instance(isns_group, kGroupiSNSServer); s != nullptr; s = next_instance(s)) {
    std::string shown_address;
    std::string shown_port;
    if (!read_property(s, kPropIsnsServerIPAddress, &shown_address) ||
        !read_property(s, kPropIsnsServerPortNumber, &shown_port)) {
      return kStatusFailed;
    }
    if (shown_address == address && shown_port == port_text) return kStatusOk;
  }
  // The new instance is recorded as made by ConfigureiSNSServer with this server's values.
  char local[kParamCount][kValueSize] = {};
  char (*block)[kValueSize] = params != nullptr ? params : local;
  std::memset(block, 0, sizeof local);
  std::snprintf(block[0], kValueSize, "%s", address);
  std::snprintf(block[1], kValueSize, "%s", port_text.c_str());
  hm_node* instance = initialize_iSNSServer(isns_group, isns_group, action, block);
  if (instance == nullptr) return kStatusFailed;
  char value[kValueSize] = {};
  std::snprintf(value, sizeof value, "%s", address);
  internal_set_property(instance, kPropIsnsServerIPAddress, value);
  std::snprintf(value, sizeof value, "%s", port_text.c_str());
  const uint32_t set = internal_set_property(instance, kPropIsnsServerPortNumber, value);
  if (set != 0) {
    delete_with_records(instance);
    return set;
  }
  return kStatusOk;
}

uint32_t group_iSNS(hm_node* group) {
  hm_node* phba = group->parent;
  const CommandAddress at = isns_address(group, 0);
  char params[kParamCount][kValueSize] = {};
  return get_all_isns(phba, at.port, 0, at.phba_port, group, internal_get_node(group, kActionPhbaConfigureiSNSServer, kAction),
                      params) != 0
             ? kStatusFailed
             : kStatusOk;
}

uint32_t do_ConfigureiSNSServer(hm_node* target, hm_node* action, char params[6][256]) {
  hm_node* phba = target->parent;
  hm_node* adapter = controller_of(phba);
  const uint32_t generation = adapter != nullptr ? get_vx_type(adapter) : kStatusFailed;
  if (adapter == nullptr || generation == kStatusFailed || get_first_instance(phba, kGroupLogicalHBA) == nullptr) {
    return kStatusFailed;
  }
  if (generation == kGenerationSingleServer && get_first_instance(target, kGroupiSNSServer) != nullptr) {
    return refuse(kStatusSetDiscoveryParams, msg::kSetDiscoveryParamsFailed);
  }
  uint8_t address[16] = {};
  uint8_t type = kAddressTypeIpv4;
  if (validateIPAddress(params[0], address, kIpHost) == 1) {
    pdebug(kBackEnd, 6, "%s:ip_type = 0x%x ipAddress = %u.%u.%u.%u\n\n", __func__, type, address[0], address[1],
           address[2], address[3]);
  } else {
    std::string full;
    if (!parse_ipv6_text(params[0], &full, address)) return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
    type = kAddressTypeIpv6;
    pdebug(kBackEnd, 6, "%s:ip_type = 0x%x ipv6address = %s\n", __func__, type, full.c_str());
  }
  uint64_t port_number = kDefaultIsnsPort;
  if (params[1][0] != '\0' && !parse_number(params[1], 10, 0xFFFF, &port_number)) {
    return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  }
  const int32_t domain = 0;
  pdebug(kBackEnd, 6, "domainid is:%d\n", domain);
  const CommandAddress at = isns_address(target, domain);
  discovery_params r{};
  const uint32_t rc = read_discovery_params(at, &r);
  if (rc != 0) return rc;
  pdebug(kBackEnd, 6, "srv_count  is:%u\n", r.server_count);
  if (r.server_count == 0) r.server_count = 1;
  r.servers[0] = isns_server_entry{};
  r.servers[0].type = type;
  std::memcpy(r.servers[0].address, address, sizeof address);
  r.servers[0].port = static_cast<uint16_t>(port_number);
  const uint32_t named = set_entity(target, domain, &r);
  if (named != 0) return named;
  pdebug(kBackEnd, 6, "initiator_name is :%s\n", field_text(r.entity_name, sizeof r.entity_name).c_str());
  r.flags = static_cast<uint16_t>((r.flags | kIsnsServerByUser) & ~kIsnsServerByDhcp);
  const uint32_t sent = send_and_go_on(at, &r);
  if (sent != 0) return sent;
  return get_all_isns(phba, at.port, domain, at.phba_port, target, action, params);
}

uint32_t do_DeleteiSNSServer(hm_node* target, hm_node*, char params[6][256]) {
  hm_node* instance = get_selected_group_node(target, kGroupiSNSServer, params[0]);
  if (instance == nullptr) return refuse(kStatusInvalidInstance, msg::kInvalidInstanceNumber);
  const int32_t n = instance_number(instance);
  const CommandAddress at = isns_address(target, 0);
  discovery_params read{};
  uint32_t rc = read_discovery_params(at, &read);
  if (rc != 0) return rc;
  // The count never goes below zero, whatever the firmware reported.
  if (read.server_count > 0) --read.server_count;
  if (n >= 0 && static_cast<uint32_t>(n) < kMaxIsnsServers) read.servers[n] = isns_server_entry{};
  discovery_params fresh{};
  fresh.flags = static_cast<uint16_t>(kIsnsServerByUser | (read.flags & kIsnsEnabled));
  std::memcpy(fresh.entity_name, read.entity_name, sizeof fresh.entity_name - 1);
  fresh.servers[0] = read.servers[0];
  fresh.server_count = read.server_count;
  rc = write_record(at, &fresh);
  if (rc == 0) {
    delete_with_records(instance);
    return kStatusOk;
  }
  discovery_params again{};
  const uint32_t reread = read_discovery_params(at, &again);
  if (reread != 0) return reread;
  if (again.server_count == 1) {
    delete_with_records(instance);
    return kStatusOk;
  }
  if (rc == kStatusHostUnreachable) return refuse(kStatusHostUnreachable, msg::kFwHostUnreachable);
  return refuse(kStatusSetDiscoveryParams, msg::kSetDiscoveryParamsFailed);
}

uint32_t do_DiscoveryiSNSThruDHCP(hm_node* target, hm_node* action, char params[6][256]) {
  hm_node* phba = target->parent;
  uint32_t result = kStatusOk;
  for (hm_node* lhba = get_first_instance(phba, kGroupLogicalHBA); lhba != nullptr; lhba = next_instance(lhba)) {
    const int32_t domain = instance_number(lhba);
    const CommandAddress at = isns_address(target, domain);
    discovery_params r{};
    const uint32_t rc = read_discovery_params(at, &r);
    if (rc != 0) return rc;
    r.flags = static_cast<uint16_t>((r.flags | kIsnsServerByDhcp) & ~kIsnsServerByUser);
    const uint32_t named = set_entity(target, domain, &r);
    if (named != 0) return named;
    pdebug(kBackEnd, 6, "discovery_params.isns_param.entity.initiator_iscsiname = %s\n",
           field_text(r.entity_name, sizeof r.entity_name).c_str());
    const uint32_t sent = send_and_go_on(at, &r);
    if (sent != 0) return sent;
    result = get_all_isns(phba, at.port, domain, at.phba_port, target, action, params);
    if (result != 0) return result;
  }
  return result;
}

}  // namespace vx
