// LLDP of a port: the local and peer configuration read from the firmware, the local transmit and
// TLV switches written back, and the statistics.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <iterator>

#include "access/fw_commands.h"
#include "adapter/command_target.h"
#include "adapter/controller_attribs.h"
#include "adapter/live_records.h"
#include "engine/messages.h"
#include "schema/handlers.h"
#include "schema/names_port.h"

namespace vx {
namespace {

constexpr uint32_t kStatusLldpRead = 105;
constexpr uint32_t kStatusLldpWrite = 106;
constexpr uint32_t kStatusLldpStats = 107;
constexpr uint32_t kLocal = 0;
constexpr uint32_t kPeer = 1;

// The local switches: byte and bit of the first five bytes of the record.
struct Switch {
  const char* property;
  uint8_t byte;
  uint8_t bit;
};
constexpr Switch kSwitches[] = {
    {"TxState", 0, 0x01},           {"RxState", 0, 0x02},       {"PortDescriptionTLV", 1, 0x01},
    {"SystemNameTLV", 2, 0x01},     {"SystemDescriptionTLV", 3, 0x01}, {"SystemCapabilitiesTLV", 4, 0x01},
};

const Switch* switch_of(const hm_node* prop) {
  for (const Switch& s : kSwitches) {
    if (::strcasecmp(prop->name, s.property) == 0) return &s;
  }
  return nullptr;
}

bool usable_path(const PortCommand& at) { return at.path == 1 || at.path == 2; }

// The local (0) or peer (1) record; 0, or a failure with status 105.
uint32_t read_lldp(const PortCommand& at, uint32_t which, uint8_t reply[kLldpParamsSize]) {
  std::memset(reply, 0, kLldpParamsSize);
  std::memcpy(reply, &which, sizeof which);
  const uint32_t status = usable_path(at) ? ioctl_get_lldp_params(at.handle, reply, at.domain, at.port_number, at.path)
                                          : kStatusFailed;
  if (status != kStatusOk) fail(kStatusLldpRead, "%s", msg::kLldpReadFailed);
  return status;
}

// LocalConfiguration or PeerConfiguration from one read.
uint32_t get_lldp_props(const PortCommand& at, hm_node* group) {
  const bool local = group_named(group, port::kGroupLocalConfiguration);
  uint8_t reply[kLldpParamsSize];
  const uint32_t status = read_lldp(at, local ? kLocal : kPeer, reply);
  if (status != kStatusOk) return status;
  const lldp_cfg_params r = lldp_params_of(reply, sizeof reply);
  int failed = 0;
  if (local) {
    for (const Switch& s : kSwitches) {
      failed |= set_prop_val(group, s.property, "%s", (r.switches[s.byte] & s.bit) != 0 ? "Enabled" : "Disabled");
    }
  }
  const struct {
    const char* property;
    const char* field;
  } texts[] = {{"ChassisId", r.chassis_id},
               {"PortId", r.port_id},
               {"PortDescription", r.port_description},
               {"SystemName", r.system_name},
               {"SystemDescription", r.system_description}};
  for (const auto& t : texts) {
    char text[kValueSize];
    copy_field_text(t.field, kLldpText, text, sizeof text);
    failed |= set_prop_val(group, t.property, "%s", text);
  }
  failed |= set_prop_val(group, "ChassisType", "%s", chassis_type_name(r.chassis_subtype));
  failed |= set_prop_val(group, "PortType", "%s", port_type_name(r.port_subtype));
  failed |= set_prop_val(group, "SystemCapabilities", "%s", system_capability_name(r.capabilities));
  failed |= set_prop_val(group, "TTL", "%d", static_cast<int>(r.ttl));
  return failed != 0 ? kStatusFailed : kStatusOk;
}

// One switch of the local record set or cleared; nothing is sent when it already reads so.
uint32_t set_lldp_switch(const PortCommand& at, hm_node* prop, const char* value) {
  const Switch* s = switch_of(prop);
  char current[kValueSize] = "";
  if (s == nullptr || get_lldp_props(at, prop->parent) != kStatusOk || return_cached(prop, current) != kStatusOk) {
    return kStatusFailed;
  }
  if (::strcasecmp(current, value) == 0) return kStatusOk;
  uint8_t reply[kLldpParamsSize];
  const uint32_t status = read_lldp(at, kLocal, reply);
  if (status != kStatusOk) return status;
  // Bytes 0 to 4 of the record; the fifth widened to a word whose upper bytes are zero.
  uint8_t request[kLldpSetSize] = {};
  std::memcpy(request, reply, 5);
  const bool on = ::strcasecmp(value, "Enabled") == 0;
  request[s->byte] = static_cast<uint8_t>(on ? (request[s->byte] | s->bit) : (request[s->byte] & ~s->bit));
  const uint32_t sent = ioctl_set_lldp_params(at.handle, request, at.domain, at.port_number, at.path);
  if (sent != kStatusOk) {
    fail(kStatusLldpWrite, "%s", msg::kLldpWriteFailed);
    return sent;
  }
  return cache_text(prop, value);
}

}  // namespace

uint32_t handle_LLDP_properties(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op == kSet) return set_lldp_switch(at, prop, buf);
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  const uint32_t status = get_lldp_props(at, prop->parent);
  return status != kStatusOk ? status : return_cached(prop, buf);
}

uint32_t handle_lldp_stats_props(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  uint8_t reply[kLldpStatsSize] = {};
  const uint32_t status = ioctl_get_lldp_stats(at.handle, reply, at.domain, at.port_number, at.path);
  if (status != kStatusOk) {
    fail(kStatusLldpStats, "%s", msg::kLldpStatsFailed);
    return status;
  }
  const LldpStats s = lldp_stats_of(reply, sizeof reply);
  const struct {
    const char* property;
    uint32_t value;
  } values[] = {{"TxPacketCount", s.tx_packets},
                {"RxPacketCount", s.rx_packets},
                {"UnrecognizedTLVs", s.unrecognized},
                {"NumPacketsDropped", s.dropped},
                {"OrganizationalTLVCount", s.organizational}};
  int failed = 0;
  for (const auto& v : values) failed |= set_prop_val(prop->parent, v.property, "%u", v.value);
  return failed != 0 ? kStatusFailed : return_cached(prop, buf);
}

}  // namespace vx
