// The first read of a logical HBA at start-up: its Enabled flag, the port's MAC, routable IPv6
// addresses, interface, route and ARP tables, then the targets the firmware knows, their sessions
// and LUNs.
#include <cstring>
#include <string>

#include "access/walks.h"
#include "iscsi/common.h"
#include "iscsi/discovery.h"
#include "iscsi/ipv6.h"
#include "iscsi/lookups.h"
#include "iscsi/net_records.h"
#include "iscsi/route_arp.h"
#include "iscsi/scsi.h"
#include "iscsi/sessions.h"
#include "iscsi/tcpip.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kRefreshTargetType = 1;

// The routable addresses of the port; generations without IPv6 show "N/A" as their handler does.
void routable_addresses(hm_node* ipv6, const CommandAddress& at) {
  const uint32_t generation = get_vx_type(controller_of(ipv6));
  const bool none = generation == kGeneration2 || generation == kGeneration3;
  const char* names[2] = {kPropPhbaInitiatorRoutableAddress1, kPropPhbaInitiatorRoutableAddress2};
  for (uint32_t which = 0; which < 2; ++which) {
    std::string text = "N/A";
    if (!none) {
      VARU_get_IPv6configuration_properties(at.port, at.domain, at.phba_port, kIpTypeRoutable, &text, which);
      pdebug(kBackEnd, 6, "%s:route_addr_%u = %s strlen(route_addr_%u) = %u\n", __func__, which, text.c_str(), which,
             static_cast<unsigned>(text.size()));
      if (text.empty()) text = kZeroIpv6;
    }
    set_cached(ipv6, names[which], text);
  }
}

}  // namespace

uint32_t setup_iscsi(hm_node* lhba, const char* enabled, hm_node* origin, hm_node* action, char params[6][256]) {
  hm_node* phba = lhba != nullptr ? lhba->parent : nullptr;
  const instance_backend_record* rec = record_of(phba);
  if (rec == nullptr) return kStatusFailed;
  CommandAddress at = command_address(lhba);
  at.port = static_cast<int32_t>(rec->port_handle);
  pdebug(kBackEnd, 6, "%s:vx_port_number = %d\n", __func__, at.port);

  uint32_t result = set_cached(lhba, kPropLhbaEnabled, enabled) ? kStatusOk : kStatusFailed;
  hm_node* network = internal_get_node(phba, kGroupPhbaNetwork, kGroup);
  hm_node* tcpip = internal_get_node(network, kGroupPhbaTCPIPConfiguration, kGroup);
  hm_node* nic = internal_get_node(network, kGroupPhbaNICConfiguration, kGroup);
  hm_node* ipv6 = internal_get_node(tcpip, kGroupPhbaIPv6Configuration, kGroup);
  if (nic == nullptr || ipv6 == nullptr) return kStatusFailed;
  std::string mac;
  if (!read_property(nic, kPropPhbaMACAddress, &mac)) {
    pdebug(kBackEnd, 3, "%s:Failed to get iSCSI MACAddress.\n", __func__);
    result = kStatusFailed;
  }
  routable_addresses(ipv6, at);

  result |= get_all_interfaces(at.port, at.phba_port, at.domain, tcpip);
  result |= get_routeEntry_attribs(at.port, at.domain, at.phba_port, tcpip);
  result |= get_Arp_Entry_attribs(at.port, at.domain, at.phba_port, tcpip, BuilderArgs{});
  // The targets the firmware knows, asked for with the type of the target refresh.
  std::memset(params, 0, kParamCount * kValueSize);
  result |= get_all_targets(lhba, at.port, at.domain, at.phba_port, kRefreshTargetType,
                            origin != nullptr ? origin : internal_get_node(lhba, kGroupDiscovery, kGroup), action, params);
  if (result != 0) return result;

  std::memset(params, 0, kParamCount * kValueSize);
  get_all_sessions(lhba, at, nullptr, params);
  for (hm_node* t = get_first_instance(lhba, kGroupTarget); t != nullptr; t = next_instance(t)) {
    std::string changed;
    get_all_luns(t, BuilderArgs{t, internal_get_node(t, kActionReScanLUNS, kAction), params}, &changed);
  }
  return result;
}

}  // namespace vx
