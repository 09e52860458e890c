// The readers of the route, ARP, IPv6-address and statistics answers on arbitrary replies: they
// read only within the bytes given, never list more than the reply holds, and give well-formed texts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "iscsi/ipv6.h"
#include "iscsi/net_records.h"
#include "iscsi/route_arp.h"
#include "iscsi/statistics.h"

using vxfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vxfuzz::Reply reply(data, size);
  const uint8_t* bytes = reply.bytes();
  if (bytes == nullptr) return 0;

  const std::vector<vx::RouteText> routes = vx::read_route_table(bytes, size);
  require(routes.size() <= vx::kMaxRoutesInTable && routes.size() * vx::kRouteStride <= size);
  for (const vx::RouteText& r : routes) require(r.destination.size() <= 15 && r.mask.size() <= 15 && r.gateway.size() <= 15);

  std::vector<vx::ArpText> arp;
  if (vx::read_arp_table(bytes, size, &arp)) {
    require(arp.size() <= vx::kMaxArpEntries && arp.size() * vx::kArpStride <= size);
    for (const vx::ArpText& e : arp) require(e.mac.size() == 17 && e.ip.size() <= 15);
  }

  const auto entries = vx::read_ipv6_entries(bytes, size);
  require(entries.size() <= vx::kMaxIpv6Entries);
  for (const auto& e : entries) require(e.second.size() == 39);

  // The session statistics: an entry found lies wholly within the reply, and its fields decode.
  uint32_t id = 0;
  if (size >= vx::kSessionAttributesHeader + 4) std::memcpy(&id, bytes + vx::kSessionAttributesHeader, sizeof id);
  const uint8_t* entry = vx::find_session_entry(bytes, size, vx::kSessionIdsPerBatch, id);
  if (entry != nullptr) {
    require(entry >= bytes + vx::kSessionAttributesHeader && entry + vx::kSessionAttributesEntry <= bytes + size);
    vx::publish_stats(nullptr, entry, vx::kSessionAttributesEntry, vx::kSessionStatRows, vx::kSessionStatRowCount);
  }
  vx::publish_stats(nullptr, bytes, size, vx::kSessionStatRows, vx::kSessionStatRowCount);
  return 0;
}
