#include "iscsi/route_arp.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "access/fw_commands.h"
#include "access/text.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/net_records.h"
#include "iscsi/scsi.h"
#include "iscsi/targets.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"
#include "schema/table_entries.h"

namespace vx {
namespace {

std::string ipv4_text(const uint8_t* bytes) {
  char text[kIpv6TextSize] = "";
  ipaddr_to_string(bytes, text, sizeof text, kIpTypeIpv4);
  return text;
}

uint32_t count_of(const uint8_t* reply, size_t size) {
  uint32_t count = 0;
  if (size >= sizeof count) std::memcpy(&count, reply, sizeof count);
  return count;
}

// The TCPIPConfiguration group above a RouteTable or ARPTable, and the addressing of its actions.
CommandAddress table_address(hm_node* table, hm_node* action) {
  CommandAddress at = command_address(action);
  at.port = get_port_number(table);
  return at;
}

bool same_route(hm_node* entry, const RouteText& r, bool* readable) {
  std::string gateway;
  *readable = read_property(entry, kPropRouteGateway, &gateway);
  return *readable && cached_value(entry, kPropRouteDestination) == r.destination &&
         cached_value(entry, kPropRouteSubnetMask) == r.mask && gateway == r.gateway;
}

}  // namespace

std::vector<RouteText> read_route_table(const uint8_t* reply, size_t size) {
  std::vector<RouteText> routes;
  const size_t gateway_end = offsetof(route_entry_request, gateway) + 16;
  if (size < gateway_end) return routes;
  // As many routes as the count gives and the reply holds, whatever the count claims.
  const size_t room = (size - gateway_end) / kRouteStride + 1;
  const size_t count = std::min<size_t>({static_cast<size_t>(count_of(reply, size)), room, kMaxRoutesInTable});
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* at = reply + kRouteStride * i;
    routes.push_back({ipv4_text(at + offsetof(route_entry_request, destination)),
                      ipv4_text(at + offsetof(route_entry_request, mask)),
                      ipv4_text(at + offsetof(route_entry_request, gateway))});
  }
  return routes;
}

bool read_arp_table(const uint8_t* reply, size_t size, std::vector<ArpText>* out) {
  out->clear();
  const uint32_t count = count_of(reply, size);
  if (count > kMaxArpEntries) return false;
  const size_t mac_end = offsetof(arp_entry_request, mac) + 6;
  for (size_t i = 0; i < count && kArpStride * i + mac_end <= size; ++i) {
    const uint8_t* at = reply + kArpStride * i;
    const uint8_t* m = at + offsetof(arp_entry_request, mac);
    char mac[18];
    std::snprintf(mac, sizeof mac, "%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    out->push_back({ipv4_text(at + offsetof(arp_entry_request, ip)), mac});
  }
  return true;
}

uint32_t get_routeEntry_attribs(int32_t port, int32_t domain, int32_t phba_port, hm_node* tcpip) {
  std::vector<uint8_t> reply(kRouteTableSize, 0);
  if (ioctl_Fetch_Route_Table(port, reply.data(), static_cast<uint16_t>(reply.size()), static_cast<uint8_t>(domain),
                              static_cast<uint8_t>(phba_port)) != 0) {
    return refuse(kStatusRouteTable, msg::kRouteTableFailed);
  }
  pdebug(kBackEnd, 6, "RoutesCount is :%u\n", count_of(reply.data(), reply.size()));
  const std::vector<RouteText> routes = read_route_table(reply.data(), reply.size());
  hm_node* table = internal_get_node(tcpip, kGroupPhbaRouteTable, kGroup);
  if (table == nullptr) return kStatusFailed;
  // Entries the firmware no longer has go; the others keep their numbers.
  std::vector<hm_node*> stale;
  std::vector<bool> shown(routes.size(), false);
  for (hm_node* e = get_first_instance(table, kGroupRouteTableEntry); e != nullptr; e = next_instance(e)) {
    bool kept = false;
    for (size_t i = 0; i < routes.size() && !kept; ++i) {
      bool readable = true;
      kept = same_route(e, routes[i], &readable);
      if (!readable) return kStatusFailed;
      if (kept) shown[i] = true;
    }
    if (!kept) stale.push_back(e);
  }
  for (hm_node* e : stale) delete_with_records(e);
  for (size_t i = 0; i < routes.size(); ++i) {
    if (shown[i]) continue;
    pdebug(kBackEnd, 6, "routeEntry init called\n");
    hm_node* e = initialize_RouteTableEntry(table, nullptr, nullptr, nullptr);
    if (e == nullptr) return kStatusFailed;
    const bool ok = set_cached(e, kPropRouteDestination, routes[i].destination) &&
                    set_cached(e, kPropRouteSubnetMask, routes[i].mask) && set_cached(e, kPropRouteGateway, routes[i].gateway);
    pdebug(kBackEnd, 6, "status - %d\n", ok ? 0 : 1);
    if (!ok) return kStatusFailed;
    // A route listed twice is shown once.
    for (size_t j = i + 1; j < routes.size(); ++j) {
      if (routes[j].destination == routes[i].destination && routes[j].mask == routes[i].mask &&
          routes[j].gateway == routes[i].gateway) {
        shown[j] = true;
      }
    }
  }
  pdebug(kBackEnd, 6, "routeEntry init success\n");
  return kStatusOk;
}

uint32_t get_Arp_Entry_attribs(int32_t port, int32_t domain, int32_t phba_port, hm_node* tcpip,
                               const BuilderArgs& first) {
  std::vector<uint8_t> reply(kArpTableSize, 0);
  if (ioctl_Fetch_ARP_Table(port, reply.data(), static_cast<uint16_t>(reply.size()), static_cast<uint8_t>(domain),
                            static_cast<uint8_t>(phba_port)) != 0) {
    return refuse(kStatusArpTable, msg::kArpTableFailed);
  }
  pdebug(kBackEnd, 6, "ArpsCount is :%u\n", count_of(reply.data(), reply.size()));
  std::vector<ArpText> entries;
  if (!read_arp_table(reply.data(), reply.size(), &entries)) return kStatusFailed;
  hm_node* table = internal_get_node(tcpip, kGroupPhbaARPTable, kGroup);
  if (table == nullptr || purge_nodes_within(table, kGroupARPTableEntry) != 0) return kStatusFailed;
  for (size_t i = 0; i < entries.size(); ++i) {
    pdebug(kBackEnd, 6, "ArpEntry init called\n");
    const BuilderArgs none;
    const BuilderArgs& args = i == 0 ? first : none;
    hm_node* e = initialize_ARPTableEntry(table, args.origin, args.action, args.params);
    if (e == nullptr) return kStatusFailed;
    const bool ok = set_cached(e, kPropArpIPAddress, entries[i].ip) && set_cached(e, kPropArpMACAddress, entries[i].mac);
    pdebug(kBackEnd, 6, "status - %d\n", ok ? 0 : 1);
    if (!ok) return kStatusFailed;
  }
  pdebug(kBackEnd, 6, "Arpentry init success\n");
  return kStatusOk;
}

// ---- actions --------------------------------------------------------------------------------------

namespace {

uint32_t send_route(hm_node* table, hm_node* action, uint32_t operation, const uint8_t destination[4],
                    const uint8_t mask[4], const uint8_t gateway[4]) {
  route_entry_request r{};
  r.operation = operation;
  std::memcpy(r.destination, destination, 4);
  std::memcpy(r.mask, mask, 4);
  std::memcpy(r.gateway, gateway, 4);
  const CommandAddress at = table_address(table, action);
  const uint32_t rc = ioctl_Save_Route_Table(at.port, &r, at.domain, at.phba_port);
  if (rc == kStatusRouteLimit) return refuse(kStatusRouteLimit, msg::kRouteLimit);
  if (rc != 0) return refuse(kStatusRouteChange, msg::kRouteChangeFailed);
  return get_routeEntry_attribs(at.port, at.domain, at.phba_port, table->parent);
}

uint32_t refresh_arp(hm_node* table, hm_node* action, const BuilderArgs& first) {
  const CommandAddress at = table_address(table, action);
  return get_Arp_Entry_attribs(at.port, at.domain, at.phba_port, table->parent, first);
}

uint32_t send_arp(hm_node* table, hm_node* action, uint32_t operation, const uint8_t ip[4], const uint8_t mac[6]) {
  arp_entry_request r{};
  r.operation = operation;
  std::memcpy(r.ip, ip, 4);
  std::memcpy(r.mac, mac, 6);
  const CommandAddress at = table_address(table, action);
  if (ioctl_Save_Arp_Table(at.port, &r, at.domain, at.phba_port) != 0) {
    return refuse(kStatusArpChange, msg::kArpChangeFailed);
  }
  return kStatusOk;
}

}  // namespace

uint32_t do_AddRouteTableEntry(hm_node* target, hm_node* action, char params[6][256]) {
  uint8_t destination[4] = {};
  uint8_t mask[4] = {};
  uint8_t gateway[4] = {};
  if (validateIPAddress(params[0], destination, kIpHost) == 0 || validateIPAddress(params[1], mask, kIpAnyButZero) == 0 ||
      validateIPAddress(params[2], gateway, kIpHost) == 0) {
    return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  }
  pdebug(kBackEnd, 6, "gateway is %u %u  %u %u\n", gateway[0], gateway[1], gateway[2], gateway[3]);
  return send_route(target, action, kOperationAdd, destination, mask, gateway);
}

uint32_t do_DeleteRouteTableEntry(hm_node* target, hm_node* action, char params[6][256]) {
  hm_node* entry = get_selected_group_node(target, kGroupRouteTableEntry, params[0]);
  if (entry == nullptr) return refuse(kStatusInvalidInstance, msg::kInvalidInstanceNumber);
  std::string texts[3];
  const char* names[3] = {kPropRouteDestination, kPropRouteSubnetMask, kPropRouteGateway};
  uint8_t bytes[3][16] = {};
  for (int i = 0; i < 3; ++i) {
    uint8_t type = 0;
    if (!read_property(entry, names[i], &texts[i]) || !parse_address(texts[i], bytes[i], &type)) return kStatusFailed;
  }
  return send_route(target, action, kOperationDelete, bytes[0], bytes[1], bytes[2]);
}

uint32_t do_RefreshRouteTableEntry(hm_node* target, hm_node* action, char[6][256]) {
  const CommandAddress at = table_address(target, action);
  return get_routeEntry_attribs(at.port, at.domain, at.phba_port, target->parent);
}

uint32_t do_AddARPTableEntry(hm_node* target, hm_node* action, char params[6][256]) {
  uint8_t ip[4] = {};
  uint8_t mac[6] = {};
  if (validateIPAddress(params[0], ip, kIpHost) == 0 || validateMACAddress(params[1], mac) == 0) {
    return refuse(kStatusBadAddress, msg::kInvalidValueUseValid);
  }
  if (send_arp(target, action, kOperationAdd, ip, mac) != 0) return kStatusFailed;
  BuilderArgs first;
  first.origin = target;
  first.action = action;
  first.params = params;
  return refresh_arp(target, action, first);
}

uint32_t do_DeleteARPTableEntry(hm_node* target, hm_node* action, char params[6][256]) {
  hm_node* entry = get_selected_group_node(target, kGroupARPTableEntry, params[0]);
  if (entry == nullptr) return refuse(kStatusInvalidInstance, msg::kInvalidInstanceNumber);
  std::string ip_text;
  std::string mac_text;
  uint8_t ip[16] = {};
  uint8_t type = 0;
  uint8_t mac[6] = {};
  if (!read_property(entry, kPropArpIPAddress, &ip_text) || !read_property(entry, kPropArpMACAddress, &mac_text) ||
      !parse_address(ip_text, ip, &type) || validateMACAddress(mac_text.c_str(), mac) == 0) {
    return kStatusFailed;
  }
  if (send_arp(target, action, kOperationDelete, ip, mac) != 0) return kStatusFailed;
  // The rebuilt entries are not recorded as made by a deletion: replayed, it would delete again.
  return refresh_arp(target, action, BuilderArgs{});
}

uint32_t do_RefreshARPTableEntry(hm_node* target, hm_node* action, char[6][256]) {
  return refresh_arp(target, action, BuilderArgs{});
}

uint32_t VARU_delete_available_routes(hm_node* phba) {
  pdebug(kBackEnd, 6, "%s:NODE_INSTANCE(iscsi_phba) = %d\n", __func__, instance_number(phba));
  hm_node* network = internal_get_node(phba, kGroupPhbaNetwork, kGroup);
  hm_node* tcpip = internal_get_node(network, kGroupPhbaTCPIPConfiguration, kGroup);
  hm_node* table = internal_get_node(tcpip, kGroupPhbaRouteTable, kGroup);
  if (table == nullptr) return kStatusFailed;
  hm_node* refresh = internal_get_node(table, kActionPhbaRefreshRouteTableEntry, kAction);
  if (refresh == nullptr) {
    pdebug(kBackEnd, 3, "%s: Failed to get RefreshRouteTableEntry action node\n", __func__);
    return kStatusFailed;
  }
  char params[kParamCount][kValueSize] = {};
  if (do_RefreshRouteTableEntry(table, refresh, params) != 0) return kStatusFailed;
  hm_node* remove = internal_get_node(table, kActionPhbaDeleteRouteTableEntry, kAction);
  // Every pass must delete something: a firmware that keeps a route it accepted the deletion of
  // would otherwise keep this loop going.
  size_t before = SIZE_MAX;
  while (true) {
    std::vector<int32_t> numbers;
    for (hm_node* e = get_first_instance(table, kGroupRouteTableEntry); e != nullptr; e = next_instance(e)) {
      numbers.push_back(instance_number(e));
    }
    pdebug(kBackEnd, 6, "%s:count = %u\n", __func__, static_cast<unsigned>(numbers.size()));
    if (numbers.empty()) return kStatusOk;
    if (numbers.size() >= before) {
      pdebug(kBackEnd, 3, "%s:%u routes stay after a pass of deletions.\n", __func__, static_cast<unsigned>(numbers.size()));
      return kStatusFailed;
    }
    before = numbers.size();
    if (remove == nullptr) {
      pdebug(kBackEnd, 3, "%s: Failed to get DeleteRouteTableEntry action node\n", __func__);
      return kStatusFailed;
    }
    for (int32_t n : numbers) {
      char one[kParamCount][kValueSize] = {};
      std::snprintf(one[0], kValueSize, "%d", n);
      if (do_DeleteRouteTableEntry(table, remove, one) != 0) return kStatusFailed;
    }
  }
}

}  // namespace vx
