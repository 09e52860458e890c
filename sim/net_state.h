// What the simulated firmware of one iSCSI function keeps of its network: the IPv4 interface
// (address, mask, DHCP lease, VLAN, gateway), the IPv6 addresses, states and gateway, the static
// route and ARP tables and the iSNS record. Kept in a state file of the adapter
// ("records/net-BBB.DD.F"), so a second process on the same root sees it as after a host restart;
// a function without one is in its factory state.
//
// The statistics counters (logins, logouts, SCSI commands and data of each session) live in the
// module's memory instead: they start at zero in each process, as an adapter's do after a reset,
// and counting an I/O never costs a file write.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/config.h"
#include "sim/firmware.h"
#include "sim/iscsi_state.h"
#include "sim/store.h"

namespace vx::sim {

using Ip4 = std::array<uint8_t, 4>;
using Ip6 = std::array<uint8_t, 16>;

struct StaticRoute {
  Ip4 destination{};
  Ip4 mask{};
  Ip4 gateway{};
  bool operator==(const StaticRoute& o) const {
    return destination == o.destination && mask == o.mask && gateway == o.gateway;
  }
};

struct ArpEntry {
  Ip4 ip{};
  Mac mac{};
};

struct IsnsEntry {
  uint8_t type = 0;   // 1 IPv4, 16 IPv6
  Ip6 address{};
  uint16_t port = 0;
};

struct NetState {
  Ip4 address{};          // all zero: no address
  Ip4 mask{};
  Ip4 gateway{};
  bool dhcp = false;
  uint32_t lease = 0;     // seconds of the DHCP lease held
  uint32_t vlan_tag = 65535;
  uint16_t ipv6_states = 0;
  Ip6 link_local{};
  std::vector<Ip6> routable;
  Ip6 auto_routable{};    // the routable address auto-assignment gave, all zero when none
  Ip6 gateway6{};
  std::vector<StaticRoute> routes;
  std::vector<ArpEntry> arp;
  uint16_t isns_flags = 0;
  std::string isns_entity;
  std::vector<IsnsEntry> isns_servers;
};

// The state an iSCSI function leaves the factory with: no address, DHCP off, no VLAN, no routes; on
// generations with IPv6 a link-local address made from the MAC address, assigned statically.
NetState factory_net_state(const Adapter& adapter, const Function& function);
bool has_ipv6(const Adapter& adapter);
// The firmware's interface id of the function.
uint32_t interface_id(const Function& function);

// The state as kept; false when the state file exists but cannot be read.
bool read_net_state(const Store& store, const Adapter& adapter, const Function& function, NetState* out);
// A read-modify-write under the file's lock; `edit` returning false changes nothing.
bool update_net_state(const Store& store, const Adapter& adapter, const Function& function,
                      const std::function<bool(NetState&)>& edit);

// ---- statistics (module memory) ---------------------------------------------------------------------
struct LoginCounters {
  uint32_t accepted = 0;
  uint32_t failures = 0;
  uint32_t other_failure_responses = 0;
  uint32_t authentication_failure_responses = 0;
  uint32_t authentication_failures = 0;
  uint32_t negotiation_failures = 0;
  uint32_t normal_logouts = 0;
  uint32_t other_logouts = 0;
  uint32_t last_failure_time = 0;
  uint32_t last_failure_type = 0;
  std::string last_failed_target;
  NetAddress last_failed_address;
  uint32_t session_failures = 0;
  uint32_t last_session_failure_type = 0;
  uint32_t digest_errors = 0;
  uint32_t connection_timeouts = 0;
};

struct IoCounters {
  uint32_t commands = 0;
  uint32_t responses = 0;
  uint64_t transmitted = 0;   // data bytes sent to the target
  uint64_t received = 0;
};

void note_login(const Command& c, LoginVerdict verdict, const std::string& target, const NetAddress& address);
void note_logout(const Command& c);
void note_io(const Command& c, uint32_t session_handle, bool answered, uint64_t transmitted, uint64_t received);
LoginCounters login_counters(const Command& c);
IoCounters io_counters(const Command& c, uint32_t session_handle);
// Every counter back to zero (vxsim_reset).
void clear_counters();

}  // namespace vx::sim
