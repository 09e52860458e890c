#include "iscsi/port_network.h"

#include <cstdio>
#include <cstring>

#include "access/backend_state.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/net_records.h"
#include "iscsi/tcpip.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr const char* kMaxSpeedNames[] = {"Unknown", "less than 1Mb", "less than 1Gb", "1Gb", "10Gb", "20Gb", "40Gb"};
constexpr const char* kPhysicalSpeedNames[] = {"0 (Link Down)", "10Mb", "100Mb", "1Gb",  "10Gb",
                                               "20Gb",          "25Gb", "40Gb",  "100Gb"};
constexpr const char* kLinkDown = "0 (Link Down)";
// MAC query (72 bytes): byte 1 set in the request, the MAC at bytes 2 to 7 of the answer. Byte 0
// stays 0: setting it is the NIC path's request.
constexpr size_t kMacQuerySize = 72;
constexpr size_t kMacRequestFlag = 1;
constexpr size_t kMacAnswerOffset = 2;
constexpr uint32_t kGenerationQuentaLink = 4;
constexpr uint32_t kMaxTenths = 0xFFFF;   // the speed is 16 bits of 10 Mb/s

bool is_down(hm_node* group, const char* property) {
  std::string value;
  return read_property(group, property, &value) && equal_nocase(value, "Down");
}

uint32_t read_link(int32_t port, int32_t domain, int32_t phba_port, int32_t protocol, link_status_record* r) {
  *r = link_status_record{};
  return ioctl_get_link_status_v1(port, r, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port), protocol);
}

// The cached value after a handler's refresh, or its failure.
uint32_t refreshed(uint32_t rc, hm_node* prop, char* buf) {
  return rc != 0 ? kStatusFailed : handle_internal_property(prop, buf, kGet);
}

}  // namespace

std::string port_speed_text(uint32_t units, uint8_t physical_code) {
  units &= 0xFFFF;
  if (units == 0) return physical_code < 9 ? kPhysicalSpeedNames[physical_code] : kLinkDown;
  const uint32_t mb = units * 10;
  char text[24];
  if (mb <= 999) {
    std::snprintf(text, sizeof text, "%uMb", mb);
  } else if (mb % 1000 == 0) {
    std::snprintf(text, sizeof text, "%uGb", mb / 1000);
  } else {
    std::snprintf(text, sizeof text, "%.1fGb", mb / 1000.0);
  }
  return text;
}

bool parse_tenths(const std::string& text, uint32_t* tenths) {
  const size_t dot = text.find('.');
  const std::string whole = text.substr(0, dot);
  const bool decimal = dot != std::string::npos;
  if (whole.empty() || (whole.size() > 1 && whole[0] == '0') || (decimal && dot + 2 != text.size())) return false;
  uint32_t value = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == dot) continue;
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    if (value > kMaxTenths) return false;
  }
  if (!decimal) value *= 10;
  if (value > kMaxTenths) return false;
  *tenths = value;
  return true;
}

uint32_t VARU_get_iscsi_ntwk_params(int32_t port, int32_t domain, int32_t phba_port, hm_node* group) {
  nic_params_record r{};
  if (ioctl_get_NIC_params(port, &r, sizeof r, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port)) != 0) {
    return refuse(kStatusNicParams, msg::kNicParamsFailed);
  }
  bool ok = set_cached(group, kPropPhbaMaxMTUSize, std::to_string(r.max_mtu));
  if (r.max_speed < sizeof kMaxSpeedNames / sizeof kMaxSpeedNames[0]) {
    ok = set_cached(group, kPropPhbaPortMaxSpeed, kMaxSpeedNames[r.max_speed]) && ok;
  }
  return ok ? kStatusOk : kStatusFailed;
}

uint32_t VARU_get_iscsi_ntwk_mac(int32_t port, int32_t domain, int32_t phba_port, hm_node* group, const char* property) {
  if (group == nullptr || property == nullptr || internal_get_node(group, property, kProperty) == nullptr) {
    return kStatusFailed;
  }
  uint8_t query[kMacQuerySize] = {};
  query[kMacRequestFlag] = 1;
  if (ioctl_get_mac_query(port, query, static_cast<uint8_t>(domain), static_cast<uint8_t>(phba_port), kProtocolIscsi) != 0) {
    return kStatusFailed;
  }
  const uint8_t* m = query + kMacAnswerOffset;
  const char* name = equal_nocase(property, kPropPhbaMACAddress) ? kPropPhbaMACAddress : kPropPhbaPermanentMACAddress;
  return set_prop_val(group, name, "%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]) == 0
             ? kStatusOk
             : kStatusFailed;
}

uint32_t get_logical_link_status(int32_t port, int32_t domain, int32_t phba_port, hm_node* group, int32_t protocol) {
  link_status_record r{};
  const char* state = nullptr;
  if (protocol == kProtocolIscsi) {
    if (read_link(port, domain, phba_port, kProtocolIscsi, &r) != 0) return refuse(kStatusLogicalLink, msg::kLogicalLinkFailed);
    pdebug(kBackEnd, 6, "LogicalLinkStatus = %u\n", r.logical_state);
    state = r.logical_state == 1 ? "Up" : r.logical_state == 0 ? "Down" : nullptr;
  } else {
    const uint32_t generation = get_vx_type(group->parent);
    if (generation == kStatusFailed) return kStatusFailed;
    if (generation == kGenerationQuentaLink) {
      const uint32_t rc = ioctl_get_quenta_linkstatus(port, &r, static_cast<uint8_t>(domain),
                                                      static_cast<uint8_t>(phba_port), kProtocolNic);
      pdebug(kBackEnd, 6, "%s:status = %u\n", __func__, rc);
      if (rc != 0) {
        varu_set_last_status(kStatusNicParams, msg::kNicParamsFailed);
        return rc;
      }
      pdebug(kBackEnd, 6, "%s: logical = %u\n", __func__, r.logical_state);
      state = r.logical_state == 1 ? "Up" : r.logical_state == 0 ? "Down" : nullptr;
    } else {
      if (read_link(port, domain, phba_port, kProtocolNic, &r) != 0) return refuse(kStatusLogicalLink, msg::kLogicalLinkFailed);
      pdebug(kBackEnd, 6, "%s: physical = %u, link = %u and logical = %u\n", __func__, r.physical_speed, r.link_state,
             r.logical_state);
      state = r.physical_speed == 0 || r.link_state == 0 || r.logical_state == 0 ? "Down" : "Up";
    }
  }
  if (state == nullptr) return kStatusOk;
  return set_cached(group, kPropPhbaLogicalLinkStatus, state) ? kStatusOk : kStatusFailed;
}

uint32_t get_portspeed(hm_node* group, int32_t port, int32_t domain, int32_t phba_port, int32_t protocol,
                       uint32_t generation) {
  hm_node* owner = protocol == kProtocolIscsi ? ancestor_at(group, 2) : group;   // the physical HBA
  hm_node* qos = nullptr;
  if (protocol == kProtocolIscsi) {
    char name[kNameSize];
    std::snprintf(name, sizeof name, "%s0", kGroupLogicalHBA);
    qos = internal_get_node(internal_get_node(owner, name, kGroup), kGroupiSCSIQoS, kGroup);
    if (qos == nullptr) return kStatusFailed;
  }
  hm_node* adapter = owner != nullptr ? owner->parent : nullptr;
  std::string port_number;
  if (adapter == nullptr || !read_property(owner, kPropPhbaPortNumber, &port_number)) return kStatusFailed;
  const bool logical_down = is_down(group, kPropPhbaLogicalLinkStatus);
  for (hm_node* p = get_first_instance(adapter, "PortDiscoveryAndConfiguration"); p != nullptr; p = next_instance(p)) {
    std::string number;
    if (!read_property(p, "PortNumber", &number) || number != port_number) continue;
    if (logical_down && is_down(p, "PhysicalLinkStatus")) {
      return set_cached(group, kPropPhbaPortSpeed, kLinkDown) ? kStatusOk : kStatusFailed;
    }
    break;
  }
  link_status_record r{};
  if (read_link(port, domain, phba_port, protocol, &r) != 0) return refuse(kStatusNicParams, msg::kNicParamsFailed);
  pdebug(kBackEnd, 6, "%s:qos_link_speed = %u\n", __func__, r.qos_link_speed);
  // Both the QoS link speed and MaxBitsPerSecond read in tenths count 10 Mb/s.
  uint32_t units = r.qos_link_speed;
  if (generation == kGenerationOrvelle && vm_flag == 0) {
    // The bandwidth cap is written with one decimal when it is not whole ("2.5" on a 1 Gb/s port).
    std::string max_bps;
    if (!read_property(protocol == kProtocolIscsi ? qos : group, kPropLhbaMaxBitsPerSecond, &max_bps) ||
        !parse_tenths(max_bps, &units)) {
      return kStatusOk;
    }
    pdebug(kBackEnd, 6, "%s:max_bps = %s\n", __func__, max_bps.c_str());
  }
  if ((units & 0xFFFF) == 0) pdebug(kBackEnd, 6, "%s:physical_port_speed = %u\n", __func__, r.physical_speed);
  return set_cached(group, kPropPhbaPortSpeed, port_speed_text(units, r.physical_speed)) ? kStatusOk : kStatusFailed;
}

// ---- handlers -------------------------------------------------------------------------------------

uint32_t handle_NICprop(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* group = owning_group(prop);
  const CommandAddress at = command_address(group);
  return refreshed(VARU_get_iscsi_ntwk_params(at.port, at.domain, at.phba_port, group), prop, buf);
}

uint32_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_MACAddress(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* group = owning_group(prop);
  const CommandAddress at = command_address(group);
  return refreshed(VARU_get_iscsi_ntwk_mac(at.port, at.domain, at.phba_port, group, prop->name), prop, buf);
}

uint32_t handle_logical_link_status(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* group = owning_group(prop);
  if (ancestor_at(group, 3) == nullptr) return kStatusFailed;
  const CommandAddress at = command_address(group);
  return refreshed(get_logical_link_status(at.port, at.domain, at.phba_port, group, kProtocolIscsi), prop, buf);
}

uint32_t handle_portspeed(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* group = owning_group(prop);
  int32_t protocol = 0;
  hm_node* controller = nullptr;
  if (equal_nocase(group->name, "NICPhysicalHBA")) {
    protocol = kProtocolNic;
    controller = group->parent;
  } else if (equal_nocase(group->name, kGroupPhbaNICConfiguration)) {
    protocol = kProtocolIscsi;
    controller = ancestor_at(group, 3);
  } else {
    return handle_internal_property(prop, buf, kGet);
  }
  if (controller == nullptr) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) return kStatusFailed;
  const CommandAddress at = command_address(group);
  return refreshed(get_portspeed(group, at.port, at.domain, at.phba_port, protocol, generation), prop, buf);
}

uint32_t handle_activeport(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusFailed;
  hm_node* group = owning_group(prop);
  const CommandAddress at = command_address(group);
  link_status_record r{};
  if (ioctl_get_NIC_link_params(at.port, &r, at.domain, at.phba_port, kProtocolIscsi) != 0) {
    return refuse(kStatusActivePort, msg::kActivePortFailed);
  }
  pdebug(kBackEnd, 6, "ActivePort = %u\n", r.active_port);
  if (r.active_port <= 1) {
    set_cached(group, kPropPhbaActivePort, std::to_string(r.active_port));
  } else if (r.active_port == kNoActivePort) {
    set_cached(group, kPropPhbaActivePort, "None");
  }
  return handle_internal_property(prop, buf, kGet);
}

}  // namespace vx
