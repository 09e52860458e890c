#include "sim/net_state.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>

#include <nlohmann/json.hpp>

#include "iscsi/net_records.h"

namespace vx::sim {
namespace {

using json = nlohmann::json;

template <size_t N>
std::string hex(const std::array<uint8_t, N>& a) {
  return to_hex(std::string(a.begin(), a.end()));
}

template <size_t N>
std::array<uint8_t, N> bytes_of(const json& j) {
  const std::string b = from_hex(j.get<std::string>());
  if (b.size() != N) throw std::invalid_argument("field size");
  std::array<uint8_t, N> a{};
  std::copy(b.begin(), b.end(), a.begin());
  return a;
}

std::string net_state_file(const Store& store, const Adapter& adapter, const Function& function) {
  char name[48];
  std::snprintf(name, sizeof name, "records/net-%03d.%02d.%d", adapter.bus, adapter.device, function.number);
  return store.adapter_file(adapter.serial_number, name);
}

json state_json(const NetState& s) {
  json routable = json::array();
  for (const Ip6& a : s.routable) routable.push_back(hex(a));
  json routes = json::array();
  for (const StaticRoute& r : s.routes) {
    routes.push_back({{"destination", hex(r.destination)}, {"mask", hex(r.mask)}, {"gateway", hex(r.gateway)}});
  }
  json arp = json::array();
  for (const ArpEntry& e : s.arp) arp.push_back({{"ip", hex(e.ip)}, {"mac", hex(e.mac)}});
  json servers = json::array();
  for (const IsnsEntry& e : s.isns_servers) {
    servers.push_back({{"type", e.type}, {"address", hex(e.address)}, {"port", e.port}});
  }
  return json{{"address", hex(s.address)},   {"mask", hex(s.mask)},
              {"gateway", hex(s.gateway)},   {"dhcp", s.dhcp},
              {"lease", s.lease},            {"vlan_tag", s.vlan_tag},
              {"ipv6_states", s.ipv6_states}, {"link_local", hex(s.link_local)},
              {"routable", routable},        {"auto_routable", hex(s.auto_routable)},
              {"gateway6", hex(s.gateway6)}, {"routes", routes},
              {"arp", arp},                  {"isns_flags", s.isns_flags},
              {"isns_entity", s.isns_entity}, {"isns_servers", servers}};
}

// The state of a file's text; an empty text is the factory state.
bool parse_state(const std::string& text, const NetState& factory, NetState* out) {
  if (text.empty()) {
    *out = factory;
    return true;
  }
  try {
    const json j = json::parse(text);
    NetState s;
    s.address = bytes_of<4>(j.at("address"));
    s.mask = bytes_of<4>(j.at("mask"));
    s.gateway = bytes_of<4>(j.at("gateway"));
    s.dhcp = j.at("dhcp").get<bool>();
    s.lease = j.at("lease").get<uint32_t>();
    s.vlan_tag = j.at("vlan_tag").get<uint32_t>();
    s.ipv6_states = j.at("ipv6_states").get<uint16_t>();
    s.link_local = bytes_of<16>(j.at("link_local"));
    for (const json& a : j.at("routable")) s.routable.push_back(bytes_of<16>(a));
    s.auto_routable = bytes_of<16>(j.at("auto_routable"));
    s.gateway6 = bytes_of<16>(j.at("gateway6"));
    for (const json& r : j.at("routes")) {
      s.routes.push_back({bytes_of<4>(r.at("destination")), bytes_of<4>(r.at("mask")), bytes_of<4>(r.at("gateway"))});
    }
    for (const json& e : j.at("arp")) s.arp.push_back({bytes_of<4>(e.at("ip")), bytes_of<6>(e.at("mac"))});
    s.isns_flags = j.at("isns_flags").get<uint16_t>();
    s.isns_entity = j.at("isns_entity").get<std::string>();
    for (const json& e : j.at("isns_servers")) {
      s.isns_servers.push_back({e.at("type").get<uint8_t>(), bytes_of<16>(e.at("address")), e.at("port").get<uint16_t>()});
    }
    *out = std::move(s);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// ---- counters ---------------------------------------------------------------------------------------

struct Counters {
  std::mutex mu;
  std::map<std::string, LoginCounters> logins;   // by function
  std::map<std::pair<std::string, uint32_t>, IoCounters> io;   // by function and session handle
};

Counters& counters() {
  static Counters c;
  return c;
}

std::string function_key(const Command& c) { return iscsi_state_file(c.store, c.adapter, c.function); }

}  // namespace

bool has_ipv6(const Adapter& adapter) { return adapter.generation != 2 && adapter.generation != 3; }

uint32_t interface_id(const Function& function) { return 0x100u + function.number; }

NetState factory_net_state(const Adapter& adapter, const Function& function) {
  NetState s;
  if (has_ipv6(adapter)) {
    // fe80:: and the modified EUI-64 of the MAC address.
    const Mac& m = function.mac;
    s.link_local = Ip6{0xfe, 0x80, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(m[0] ^ 0x02), m[1], m[2], 0xff, 0xfe,
                       m[3], m[4], m[5]};
    s.ipv6_states = kIpv6StateStatic;
  }
  return s;
}

namespace {

// The state's text; a missing file is the function's factory state.
Store::Format<NetState> net_format(const Adapter& adapter, const Function& function) {
  NetState factory = factory_net_state(adapter, function);
  return {[factory](const std::string& text, NetState* out) { return parse_state(text, factory, out); },
          [](const NetState& s) { return state_json(s).dump(); }};
}

}  // namespace

bool read_net_state(const Store& store, const Adapter& adapter, const Function& function, NetState* out) {
  const std::shared_ptr<const NetState> state =
      store.load(net_state_file(store, adapter, function), net_format(adapter, function));
  if (state == nullptr) return false;
  *out = *state;
  return true;
}

// A change that leaves the text as it was writes nothing (a start-up writes the same iSNS switch
// on every logical HBA).
bool update_net_state(const Store& store, const Adapter& adapter, const Function& function,
                      const std::function<bool(NetState&)>& edit) {
  return store.change(net_state_file(store, adapter, function), net_format(adapter, function), edit);
}

void note_login(const Command& c, LoginVerdict verdict, const std::string& target, const NetAddress& address) {
  Counters& all = counters();
  std::lock_guard<std::mutex> lock(all.mu);
  LoginCounters& n = all.logins[function_key(c)];
  if (verdict == LoginVerdict::kAccepted) {
    ++n.accepted;
    return;
  }
  ++n.failures;
  ++n.session_failures;
  n.last_failure_time = static_cast<uint32_t>(std::time(nullptr));
  n.last_failed_target = target;
  n.last_failed_address = address;
  switch (verdict) {
    case LoginVerdict::kAuthentication:
      ++n.authentication_failure_responses;
      ++n.authentication_failures;
      n.last_failure_type = kLoginFailureAuthentication;
      n.last_session_failure_type = kSessionFailureOther;
      break;
    case LoginVerdict::kDigest:
      ++n.negotiation_failures;
      ++n.digest_errors;
      n.last_failure_type = kLoginFailureNegotiation;
      n.last_session_failure_type = kSessionFailureDigest;
      break;
    default:   // nothing answered at that address
      ++n.connection_timeouts;
      n.last_failure_type = kLoginFailureOther;
      n.last_session_failure_type = kSessionFailureTimeout;
      break;
  }
}

void note_logout(const Command& c) {
  Counters& all = counters();
  std::lock_guard<std::mutex> lock(all.mu);
  ++all.logins[function_key(c)].normal_logouts;
}

void note_io(const Command& c, uint32_t session_handle, bool answered, uint64_t transmitted, uint64_t received) {
  Counters& all = counters();
  std::lock_guard<std::mutex> lock(all.mu);
  IoCounters& n = all.io[{function_key(c), session_handle}];
  ++n.commands;
  if (answered) ++n.responses;
  n.transmitted += transmitted;
  n.received += received;
}

LoginCounters login_counters(const Command& c) {
  Counters& all = counters();
  std::lock_guard<std::mutex> lock(all.mu);
  auto it = all.logins.find(function_key(c));
  return it != all.logins.end() ? it->second : LoginCounters{};
}

IoCounters io_counters(const Command& c, uint32_t session_handle) {
  Counters& all = counters();
  std::lock_guard<std::mutex> lock(all.mu);
  auto it = all.io.find({function_key(c), session_handle});
  return it != all.io.end() ? it->second : IoCounters{};
}

void clear_counters() {
  Counters& all = counters();
  std::lock_guard<std::mutex> lock(all.mu);
  all.logins.clear();
  all.io.clear();
}

}  // namespace vx::sim
