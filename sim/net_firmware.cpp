#include "sim/net_firmware.h"

#include "sim/maintenance_firmware.h"
#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "access/flash_erase.h"
#include "iscsi/net_records.h"
#include "iscsi/records.h"
#include "sim/iscsi_state.h"
#include "sim/maintenance_firmware.h"
#include "sim/net_state.h"
#include "sim/nic_firmware.h"

namespace vx::sim {
namespace {

constexpr Answer kAnswerUnreachable{1, 19, 0};
constexpr Answer kAnswerRouteLimit{1, 22, 0};
constexpr Answer kAnswerActiveSessions{1, 16, 0};
constexpr Answer kAnswerNotSupported{66, 0, 0};
constexpr uint32_t kAddressTableFull = 11;
constexpr uint32_t kAddressRefused = 13;
constexpr size_t kMaxRoutableAddresses = 4;
constexpr uint32_t kOutboundSession = 2;

template <typename Record>
bool take(const Command& c, Record* out) {
  if (c.payload.size() < sizeof(Record)) return false;
  std::memcpy(out, c.payload.bytes(0, sizeof(Record)).data(), sizeof(Record));
  return true;
}

Answer echo(const Command& c) {
  Answer a;
  a.length = c.payload.size();
  return a;
}

Ip4 ip4(const uint8_t* field) {
  Ip4 a{};
  std::memcpy(a.data(), field, a.size());
  return a;
}

Ip6 ip6(const uint8_t* field) {
  Ip6 a{};
  std::memcpy(a.data(), field, a.size());
  return a;
}

template <size_t N>
bool zero(const std::array<uint8_t, N>& a) {
  return std::all_of(a.begin(), a.end(), [](uint8_t b) { return b == 0; });
}

NetAddress net_address(const uint8_t* bytes, uint8_t type) {
  NetAddress a;
  a.type = type;
  std::memcpy(a.bytes.data(), bytes, type == kAddressTypeIpv6 ? 16 : 4);
  return a;
}

// An address some other node of the network already has.
bool taken(const Command& c, const uint8_t* bytes, uint8_t type) { return c.network.reachable(net_address(bytes, type)); }

bool load(const Command& c, NetState* s) { return read_net_state(c.store, c.adapter, c.function, s); }

// A change of the network state. `edit` answers; only an accepted command is written.
Answer net_change(Command& c, const std::function<Answer(NetState&)>& edit) {
  Answer answer = echo(c);
  const bool written = update_net_state(c.store, c.adapter, c.function, [&](NetState& s) {
    answer = edit(s);
    return answer.status == 0;
  });
  if (answer.status != 0) return answer;
  return written ? answer : kAnswerFlashFailure;
}

void put(std::vector<uint8_t>& rec, size_t offset, const void* value, size_t size) {
  if (offset + size <= rec.size()) std::memcpy(rec.data() + offset, value, size);
}

template <typename T>
void put_value(std::vector<uint8_t>& rec, size_t offset, T value) {
  put(rec, offset, &value, sizeof value);
}

// The routable address of IPv6 auto-assignment: the network's prefix and the modified EUI-64.
Ip6 auto_address(const Command& c, const NetState& s) {
  Ip6 a = ip6(c.network.dhcp.ipv6_prefix.bytes.data());
  std::copy(s.link_local.begin() + 8, s.link_local.end(), a.begin() + 8);
  if (zero(s.link_local)) {
    const Mac& m = c.function.mac;
    const uint8_t eui[8] = {static_cast<uint8_t>(m[0] ^ 0x02), m[1], m[2], 0xff, 0xfe, m[3], m[4], m[5]};
    std::copy(eui, eui + 8, a.begin() + 8);
  }
  return a;
}

uint32_t edit_ipv4(const Command& c, NetState& s, const ip_entry_record& r) {
  const Ip4 address = ip4(r.address);
  if (r.operation == kOperationDelete) {
    if (address == s.address) s.address = s.mask = Ip4{};
    return 0;
  }
  if (s.dhcp) return kAddressRefused;
  if (zero(address)) {
    s.address = s.mask = Ip4{};
    return 0;
  }
  if (taken(c, r.address, kIpTypeIpv4) || address == s.gateway) return kIpEntryDuplicate;
  s.address = address;
  s.mask = ip4(r.mask);
  return 0;
}

uint32_t edit_ipv6(const Command& c, NetState& s, const ip_entry_record& r) {
  const Ip6 address = ip6(r.address);
  if (r.type == kIpTypeLinkLocal) {
    if (r.operation == kOperationDelete) {
      if (address == s.link_local) s.link_local = Ip6{};
      return 0;
    }
    if (taken(c, r.address, kAddressTypeIpv6)) return kIpEntryDuplicate;
    s.link_local = address;
    s.ipv6_states |= kIpv6StateStatic;
    return 0;
  }
  auto at = std::find(s.routable.begin(), s.routable.end(), address);
  if (r.operation == kOperationDelete) {
    if (at != s.routable.end()) s.routable.erase(at);
    if (address == s.auto_routable) s.auto_routable = Ip6{};
    return 0;
  }
  if (zero(address) || at != s.routable.end()) return 0;
  if (taken(c, r.address, kAddressTypeIpv6) || address == s.link_local) return kIpEntryDuplicate;
  if (s.routable.size() >= kMaxRoutableAddresses) return kAddressTableFull;
  s.routable.push_back(address);
  s.ipv6_states |= kIpv6StateStatic;
  return 0;
}

std::vector<uint8_t> ipv6_entries(const NetState& s, uint8_t type) {
  std::vector<uint8_t> rec(sizeof(if_info_params), 0);
  std::vector<Ip6> list;
  if (type == kIpTypeLinkLocal && !zero(s.link_local)) list.push_back(s.link_local);
  if (type == kIpTypeRoutable) list = s.routable;
  for (size_t i = 0; i < list.size() && i < kMaxIpv6Entries; ++i) {
    rec[kIpv6EntrySize * i + kIpv6EntryTypeOffset] = type;
    put(rec, kIpv6EntrySize * i + kIpv6EntryAddressOffset, list[i].data(), 16);
  }
  put_value<uint32_t>(rec, offsetof(if_info_params, address_count), static_cast<uint32_t>(list.size()));
  return rec;
}

bool same_server(const IsnsServer& n, const IsnsEntry& e) {
  return n.address == net_address(e.address.data(), e.type) && n.port == e.port;
}

// The servers a discovery-parameters record asks for; false when it names none usable.
bool requested_servers(const Command& c, const discovery_params& r, std::vector<IsnsEntry>* out) {
  if (r.flags & kIsnsServerByDhcp) {
    // What the DHCP server hands out: the network's first iSNS server.
    if (c.network.isns_servers.empty()) return false;
    const IsnsServer& n = c.network.isns_servers.front();
    out->push_back({n.address.type, ip6(n.address.bytes.data()), n.port});
    return true;
  }
  const uint32_t count = std::min<uint32_t>(r.server_count, kMaxIsnsServers);
  for (uint32_t i = 0; i < count; ++i) {
    const isns_server_entry& e = r.servers[i];
    out->push_back({e.type, ip6(e.address), e.port});
  }
  return true;
}

bool any_open_session(const IscsiState& s) {
  return std::any_of(s.sessions.begin(), s.sessions.end(), [](const SimSession& x) { return (x.state & kSessionOpen) != 0; });
}

// PortMaxSpeed codes of the NIC parameters for the physical speed codes 0-8.
constexpr uint32_t kMaxSpeedCode[] = {0, 2, 2, 3, 4, 5, 0, 6, 0};

}  // namespace

Answer get_interface_ids(Command& c) {
  if_id_list r{};
  r.count = 1;
  r.ids[0] = interface_id(c.function);
  return answer_record(c, &r, sizeof r);
}

Answer get_interface(Command& c) {
  if_info_params r{};
  if (!take(c, &r) || r.interface_id != interface_id(c.function)) return kAnswerInvalidField;
  NetState s;
  if (!load(c, &s)) return kAnswerFlashFailure;
  if (c.version == 1) {   // the IPv6 configuration states
    uint16_t kind = 0;
    std::memcpy(&kind, &r.kind_or_vlan, sizeof kind);
    if (!has_ipv6(c.adapter) || kind != kIpv6StateQuery) return kAnswerInvalidField;
    std::vector<uint8_t> rec(sizeof r, 0);
    put_value<uint32_t>(rec, 0, r.interface_id);
    put_value<uint32_t>(rec, offsetof(if_info_params, address_count),
                        static_cast<uint32_t>(s.routable.size() + (zero(s.link_local) ? 0 : 1)));
    put_value<uint16_t>(rec, kIpv6StatesOffset, s.ipv6_states);
    return answer_record(c, rec.data(), rec.size());
  }
  if (r.kind_or_vlan == kIpTypeRoutable || r.kind_or_vlan == kIpTypeLinkLocal) {
    if (!has_ipv6(c.adapter)) return kAnswerInvalidField;
    std::vector<uint8_t> rec = ipv6_entries(s, static_cast<uint8_t>(r.kind_or_vlan));
    return answer_record(c, rec.data(), rec.size());
  }
  if (r.kind_or_vlan != kIpTypeIpv4) return kAnswerInvalidField;
  if_info_params out{};
  out.interface_id = r.interface_id;
  out.kind_or_vlan = s.vlan_tag;
  out.address_count = zero(s.address) ? 0 : 1;
  out.dhcp = s.dhcp ? 1 : 0;
  std::memcpy(out.address, s.address.data(), 4);
  std::memcpy(out.mask, s.mask.data(), 4);
  return answer_record(c, &out, sizeof out);
}

Answer modify_ip_entry(Command& c) {
  ip_entry_record r{};
  if (!take(c, &r) || r.count != 1 || r.interface_id != interface_id(c.function) ||
      (r.operation != kOperationAdd && r.operation != kOperationDelete)) {
    return kAnswerInvalidField;
  }
  const bool v6 = r.type == kIpTypeRoutable || r.type == kIpTypeLinkLocal;
  if ((!v6 && r.type != kIpTypeIpv4) || (v6 && !has_ipv6(c.adapter))) return kAnswerInvalidField;
  uint32_t per_address = 0;
  const Answer a = net_change(c, [&](NetState& s) {
    per_address = v6 ? edit_ipv6(c, s, r) : edit_ipv4(c, s, r);
    return echo(c);
  });
  if (a.status != 0) return a;
  r.status = per_address;
  c.payload.put(0, &r, sizeof r);
  return a;
}

Answer get_default_gateway(Command& c) {
  gateway_query r{};
  if (!take(c, &r)) return kAnswerInvalidField;
  const bool v6 = r.kind == kIpTypeIpv6Gateway;
  if ((!v6 && r.kind != kIpTypeIpv4) || (v6 && !has_ipv6(c.adapter))) return kAnswerInvalidField;
  NetState s;
  if (!load(c, &s)) return kAnswerFlashFailure;
  gateway_query out{};
  out.kind = r.kind;
  if (v6 && !zero(s.gateway6)) {
    out.type = kIpTypeIpv6Gateway;
    std::memcpy(out.address, s.gateway6.data(), 16);
  } else if (!v6 && !zero(s.gateway)) {
    out.type = kIpTypeIpv4;
    std::memcpy(out.address, s.gateway.data(), 4);
  }
  return answer_record(c, &out, sizeof out);
}

Answer set_default_gateway(Command& c) {
  gateway_change r{};
  if (!take(c, &r) || (r.operation != kOperationAdd && r.operation != kOperationDelete)) return kAnswerInvalidField;
  const bool v6 = r.type == kIpTypeIpv6Gateway;
  if ((!v6 && r.type != kIpTypeIpv4) || (v6 && !has_ipv6(c.adapter))) return kAnswerInvalidField;
  const bool add = r.operation == kOperationAdd;
  if (add && (r.size != kGatewayRecordSize || (v6 ? zero(ip6(r.address)) : zero(ip4(r.address))))) {
    return kAnswerInvalidField;
  }
  return net_change(c, [&](NetState& s) {
    if (v6) {
      if (add || s.gateway6 == ip6(r.address)) s.gateway6 = add ? ip6(r.address) : Ip6{};
    } else if (add || s.gateway == ip4(r.address)) {
      s.gateway = add ? ip4(r.address) : Ip4{};
    }
    return echo(c);
  });
}

Answer dhcp_on(Command& c) {
  dhcp_request r{};
  if (!take(c, &r) || r.interface_id != interface_id(c.function)) return kAnswerInvalidField;
  if (r.kind == kAutoAssignIpv6) {
    if (!has_ipv6(c.adapter)) return kAnswerInvalidField;
    return net_change(c, [&](NetState& s) {
      s.ipv6_states |= kIpv6StateAuto;
      s.auto_routable = auto_address(c, s);
      if (std::find(s.routable.begin(), s.routable.end(), s.auto_routable) == s.routable.end()) {
        s.routable.insert(s.routable.begin(), s.auto_routable);
      }
      return echo(c);
    });
  }
  if (r.kind != kDhcpIpv4) return kAnswerInvalidField;
  const Dhcp& d = c.network.dhcp;
  return net_change(c, [&](NetState& s) {
    // The lease: the pool's first address plus the function's node number.
    uint32_t first = 0;
    std::memcpy(&first, d.first_address.bytes.data(), 4);
    const uint32_t leased = htonl(ntohl(first) + static_cast<uint32_t>(c.function.iscsi_node));
    std::memcpy(s.address.data(), &leased, 4);
    s.mask = d.subnet_mask;
    s.gateway = ip4(d.gateway.bytes.data());
    s.lease = d.lease;
    s.dhcp = true;
    return echo(c);
  });
}

Answer dhcp_off(Command& c) {
  dhcp_release r{};
  if (!take(c, &r) || r.interface_id != interface_id(c.function)) return kAnswerInvalidField;
  if (r.kind == kAutoAssignIpv6) {
    if (!has_ipv6(c.adapter)) return kAnswerInvalidField;
    return net_change(c, [&](NetState& s) {
      s.ipv6_states = static_cast<uint16_t>(s.ipv6_states & ~kIpv6StateAuto);
      s.routable.erase(std::remove(s.routable.begin(), s.routable.end(), s.auto_routable), s.routable.end());
      s.auto_routable = Ip6{};
      return echo(c);
    });
  }
  if (r.kind != kDhcpIpv4) return kAnswerInvalidField;
  return net_change(c, [&](NetState& s) {
    if (s.dhcp) {
      // The lease goes back, and with it what it brought.
      if (s.gateway == ip4(c.network.dhcp.gateway.bytes.data())) s.gateway = Ip4{};
      s.address = s.mask = Ip4{};
      s.lease = 0;
    }
    s.dhcp = false;
    return echo(c);
  });
}

Answer set_vlan(Command& c) {
  vlan_request r{};
  if (!take(c, &r) || r.interface_id != interface_id(c.function)) return kAnswerInvalidField;
  if (r.tag != kNoVlanTag && (r.tag > 0xFFFF || (r.tag & 0xFFF) > 4094)) return kAnswerInvalidField;
  return net_change(c, [&](NetState& s) {
    s.vlan_tag = r.tag;
    return echo(c);
  });
}

Answer fetch_routes(Command& c) {
  NetState s;
  if (!load(c, &s)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec(kRouteTableSize, 0);
  for (size_t i = 0; i < s.routes.size() && i < kMaxRoutesInTable; ++i) {
    put(rec, kRouteStride * i + offsetof(route_entry_request, destination), s.routes[i].destination.data(), 4);
    put(rec, kRouteStride * i + offsetof(route_entry_request, mask), s.routes[i].mask.data(), 4);
    put(rec, kRouteStride * i + offsetof(route_entry_request, gateway), s.routes[i].gateway.data(), 4);
  }
  put_value<uint32_t>(rec, 0, static_cast<uint32_t>(s.routes.size()));
  return answer_record(c, rec.data(), rec.size());
}

Answer save_route(Command& c) {
  route_entry_request r{};
  if (!take(c, &r) || (r.operation != kOperationAdd && r.operation != kOperationDelete)) return kAnswerInvalidField;
  const StaticRoute route{ip4(r.destination), ip4(r.mask), ip4(r.gateway)};
  return net_change(c, [&](NetState& s) {
    auto at = std::find(s.routes.begin(), s.routes.end(), route);
    if (r.operation == kOperationDelete) {
      if (at == s.routes.end()) return kAnswerInvalidField;
      s.routes.erase(at);
    } else if (at == s.routes.end()) {
      if (s.routes.size() >= c.adapter.route_limit) return kAnswerRouteLimit;
      s.routes.push_back(route);
    }
    return echo(c);
  });
}

Answer fetch_arp(Command& c) {
  NetState s;
  if (!load(c, &s)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec(kArpTableSize, 0);
  for (size_t i = 0; i < s.arp.size(); ++i) {
    put(rec, kArpStride * i + offsetof(arp_entry_request, ip), s.arp[i].ip.data(), 4);
    put(rec, kArpStride * i + offsetof(arp_entry_request, mac), s.arp[i].mac.data(), 6);
  }
  put_value<uint32_t>(rec, 0, static_cast<uint32_t>(s.arp.size()));
  return answer_record(c, rec.data(), rec.size());
}

Answer save_arp(Command& c) {
  arp_entry_request r{};
  if (!take(c, &r) || (r.operation != kOperationAdd && r.operation != kOperationDelete) || zero(ip4(r.ip))) {
    return kAnswerInvalidField;
  }
  return net_change(c, [&](NetState& s) {
    auto at = std::find_if(s.arp.begin(), s.arp.end(), [&](const ArpEntry& e) { return e.ip == ip4(r.ip); });
    if (r.operation == kOperationDelete) {
      if (at == s.arp.end()) return kAnswerInvalidField;
      s.arp.erase(at);
    } else if (at != s.arp.end()) {
      std::memcpy(at->mac.data(), r.mac, 6);
    } else {
      if (s.arp.size() >= kMaxArpEntries) return kAnswerInvalidField;
      ArpEntry e{ip4(r.ip), {}};
      std::memcpy(e.mac.data(), r.mac, 6);
      s.arp.push_back(e);
    }
    return echo(c);
  });
}

Answer get_discovery_params(Command& c) {
  NetState s;
  if (!load(c, &s)) return kAnswerFlashFailure;
  discovery_params r{};
  r.flags = s.isns_flags;
  std::memcpy(r.entity_name, s.isns_entity.data(), std::min(s.isns_entity.size(), sizeof r.entity_name - 1));
  r.server_count = static_cast<uint32_t>(std::min<size_t>(s.isns_servers.size(), kMaxIsnsServers));
  for (uint32_t i = 0; i < r.server_count; ++i) {
    r.servers[i].type = s.isns_servers[i].type;
    std::memcpy(r.servers[i].address, s.isns_servers[i].address.data(), 16);
    r.servers[i].port = s.isns_servers[i].port;
  }
  return answer_record(c, &r, sizeof r);
}

Answer set_discovery_params(Command& c) {
  discovery_params r{};
  if (!take(c, &r)) return kAnswerInvalidField;
  const uint16_t mode = r.flags & (kIsnsServerByUser | kIsnsServerByDhcp);
  std::vector<IsnsEntry> servers;
  bool reachable = true;
  if (mode != 0) {
    // The servers are given anew. One that is no iSNS server of the network is kept all the same,
    // but the answer says the host is unreachable.
    if (!requested_servers(c, r, &servers)) return kAnswerUnreachable;
    NetState kept;
    if (!load(c, &kept)) return kAnswerFlashFailure;
    for (const IsnsEntry& e : servers) {
      if (e.type != kAddressTypeIpv4 && e.type != kAddressTypeIpv6) return kAnswerInvalidField;
      // Only a server not kept already is registered with now.
      const bool known = std::any_of(kept.isns_servers.begin(), kept.isns_servers.end(), [&](const IsnsEntry& k) {
        return k.type == e.type && k.address == e.address && k.port == e.port;
      });
      reachable = reachable && (known || std::any_of(c.network.isns_servers.begin(), c.network.isns_servers.end(),
                                                     [&](const IsnsServer& n) { return same_server(n, e); }));
    }
  }
  const std::string entity(r.entity_name, ::strnlen(r.entity_name, sizeof r.entity_name - 1));
  const Answer a = net_change(c, [&](NetState& s) {
    // A record that names no way of finding servers keeps the servers and the way they came.
    s.isns_flags = static_cast<uint16_t>((r.flags & kIsnsEnabled) |
                                         (mode != 0 ? mode : (s.isns_flags & (kIsnsServerByUser | kIsnsServerByDhcp))));
    if (!entity.empty()) s.isns_entity = entity;
    if (mode != 0) s.isns_servers = servers;
    return echo(c);
  });
  return a.status == 0 && !reachable ? kAnswerUnreachable : a;
}

Answer get_node_params(Command& c) {
  std::vector<uint8_t> rec(kNodeParamsSize, 0);
  put_value<uint32_t>(rec, kNodeCountOffset, 1);
  put_value<int16_t>(rec, kNodeRolesOffset, 2);      // initiator
  put_value<int16_t>(rec, kPortalCountOffset, 1);
  put_value<uint32_t>(rec, kPortRowStatusOffset, 1);   // active
  put_value<uint8_t>(rec, kPortalRoleOffset, 2);     // initiator portal
  put_value<uint8_t>(rec, kPortalProtocolOffset, 6);   // TCP
  put_value<uint16_t>(rec, kPortalTagOffset, 1);
  return answer_record(c, rec.data(), rec.size());
}

Answer get_nic_params(Command& c) {
  nic_params_record r{};
  r.max_speed = kMaxSpeedCode[std::min<size_t>(c.function.speed, sizeof kMaxSpeedCode / sizeof kMaxSpeedCode[0] - 1)];
  r.max_mtu = c.function.mtu;
  return answer_record(c, &r, sizeof r);
}

Answer get_link_status(Command& c) {
  const bool up = c.function.link_up && c.function.link_down_reason == 0;
  link_status_record r{};
  r.active_port = up ? c.function.port : kNoActivePort;
  r.link_state = up ? 1 : 0;
  r.physical_speed = up ? c.function.speed : 0;
  r.qos_link_speed = up ? c.function.qos_speed : 0;
  r.logical_state = up ? 1 : 0;
  // A port whose configuration gives its physical speed reports that in the version-1 form.
  if (c.version == 1 && c.port_number < c.adapter.port_settings.size() &&
      c.adapter.port_settings[c.port_number].link_speed >= 0) {
    r.physical_speed = static_cast<uint8_t>(c.adapter.port_settings[c.port_number].link_speed);
  }
  return answer_record(c, &r, sizeof r);
}

Answer get_initiator_stats(Command& c) {
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  if (state == nullptr) return kAnswerFlashFailure;
  const LoginCounters n = login_counters(c);
  std::vector<uint8_t> rec(kInitiatorStatsSize, 0);
  put_value<uint32_t>(rec, kSessionCountOffset, static_cast<uint32_t>(state->sessions.size()));
  put_value<uint32_t>(rec, kSessionFailureCountOffset, n.session_failures);
  put_value<int32_t>(rec, kLastSessionFailureTypeOffset, static_cast<int32_t>(n.last_session_failure_type));
  put(rec, kLastSessionRmtNodeNameOffset, n.last_failed_target.data(),
      std::min(n.last_failed_target.size(), kLastSessionRmtNodeNameSize - 1));
  put_value<uint32_t>(rec, kSessionDigestErrorsOffset, n.digest_errors);
  put_value<uint32_t>(rec, kSessionConnectionTimeoutOffset, n.connection_timeouts);
  return answer_record(c, rec.data(), rec.size());
}

Answer get_login_stats(Command& c) {
  const LoginCounters n = login_counters(c);
  std::vector<uint8_t> rec(kLoginStatsSize, 0);
  put_value<uint32_t>(rec, kLoginFailuresOffset, n.failures);
  put_value<uint32_t>(rec, kLastFailureTimeOffset, n.last_failure_time);
  put_value<uint32_t>(rec, kLastFailureTypeOffset, n.last_failure_type);
  put(rec, kLastTgtFailureNameOffset, n.last_failed_target.data(),
      std::min(n.last_failed_target.size(), kLastTgtFailureNameSize - 1));
  put_value<uint8_t>(rec, kLastTgtFailureAddrTypeOffset, n.last_failed_address.type);
  put(rec, kLastTgtFailureAddrOffset, n.last_failed_address.bytes.data(), 16);
  put_value<uint32_t>(rec, kLoginAcceptRspsOffset, n.accepted);
  put_value<uint32_t>(rec, kLoginOtherFailRspsOffset, n.other_failure_responses);
  put_value<uint32_t>(rec, kLoginAuthFailRspsOffset, n.authentication_failure_responses);
  put_value<uint32_t>(rec, kLoginAuthFailsOffset, n.authentication_failures);
  put_value<uint32_t>(rec, kLoginNegoFailsOffset, n.negotiation_failures);
  put_value<uint32_t>(rec, kLogoutNormalsOffset, n.normal_logouts);
  put_value<uint32_t>(rec, kLogoutOthersOffset, n.other_logouts);
  return answer_record(c, rec.data(), rec.size());
}

Answer get_session_attributes(Command& c) {
  const uint32_t asked = c.payload.u32(4);
  if (c.payload.u32(0) != kSessionAttributesMarker || asked > (c.payload.size() - kSessionAttributesHeader) / 4) {
    return kAnswerInvalidField;
  }
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  if (state == nullptr) return kAnswerFlashFailure;
  std::vector<session_attributes_entry> entries;
  for (uint32_t i = 0; i < asked && entries.size() < kMaxSessionAttributeEntries; ++i) {
    const SimSession* x = state->session(c.payload.u32(kSessionAttributesHeader + 4 * i));
    if (x == nullptr) continue;   // a session the firmware does not have is left out
    session_attributes_entry e{};
    e.session_id = x->handle;
    e.direction = kOutboundSession;
    const RemoteTarget* t = c.network.find(x->target);
    if (t != nullptr) std::memcpy(e.target_alias, t->alias.data(), std::min(t->alias.size(), sizeof e.target_alias - 1));
    const IoCounters io = io_counters(c, x->handle);
    e.cmd_pdus = io.commands;
    e.rsp_pdus = io.responses;
    e.tx_data_octets[0] = static_cast<uint32_t>(io.transmitted);
    e.tx_data_octets[1] = static_cast<uint32_t>(io.transmitted >> 32);
    e.rx_data_octets[0] = static_cast<uint32_t>(io.received);
    e.rx_data_octets[1] = static_cast<uint32_t>(io.received >> 32);
    entries.push_back(e);
  }
  std::vector<uint8_t> rec(kSessionAttributesHeader + entries.size() * kSessionAttributesEntry, 0);
  put_value<uint32_t>(rec, 4, static_cast<uint32_t>(entries.size()));
  if (!entries.empty()) put(rec, kSessionAttributesHeader, entries.data(), entries.size() * kSessionAttributesEntry);
  return answer_record(c, rec.data(), rec.size());
}

Answer erase_or_flash(Command& c) {
  if (c.payload.u32(0) != kEraseOperation) return flash_write(c);   // a chunk of a firmware image
  const uint32_t area = c.payload.u32(4);
  if (area == kEraseNic || area == kErasePort) return erase_nic_or_port(c, area);
  if (area != kEraseIscsi || c.nic_path || c.payload.size() < sizeof(erase_request)) return kAnswerInvalidField;
  const std::shared_ptr<const IscsiState> state = read_iscsi_state(c.store, c.adapter, c.function);
  if (state == nullptr) return kAnswerFlashFailure;
  if (any_open_session(*state)) return kAnswerActiveSessions;
  // The persistent targets go with the configuration; the network settings are the factory's.
  const bool targets = update_iscsi_state(c.store, c.adapter, c.function, [](IscsiState& s) {
    s.persistent.clear();
    s.sessions.clear();
    return true;
  });
  const bool network = targets && update_net_state(c.store, c.adapter, c.function, [&](NetState& s) {
    s = factory_net_state(c.adapter, c.function);
    return true;
  });
  return network ? echo(c) : kAnswerFlashFailure;
}

Answer set_factory_profile(Command& c) { return c.adapter.generation == 5 ? echo(c) : kAnswerNotSupported; }

}  // namespace vx::sim
