// The live properties of a port instance, read from the firmware on every request: beaconing, the
// FCoE WWPN, the configured link speed, the port state, the transmit throttle, the PHY type, the
// 10GBASE-T NVP value and counters (the counters at most once per 10 seconds), the physical link
// status and the PHY's link-down reason.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "access/adapter_tables.h"
#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/host.h"
#include "access/walks.h"
#include "adapter/command_target.h"
#include "adapter/configured_values.h"
#include "adapter/controller_attribs.h"
#include "adapter/live_properties.h"
#include "adapter/live_records.h"
#include "adapter/oem_attribs.h"
#include "adapter/port_records.h"
#include "adapter/port_tree.h"
#include "engine/messages.h"
#include "platform/platform.h"
#include "schema/handlers.h"
#include "schema/names_port.h"

namespace vx {
namespace {

using namespace port;

constexpr uint32_t kStatusPortStateRead = 72;
constexpr uint32_t kStatusPortStateWrite = 73;
constexpr uint32_t kStatusNicParams = 93;
constexpr uint32_t kStatusBeaconState = 120;
constexpr uint32_t kStatusNoAdditionalAttributes = 192;
constexpr uint32_t kStatusTxThrottleRead = 208;
constexpr uint32_t kStatusTxThrottleWrite = 209;
constexpr uint32_t kStatusTxThrottleNotSupported = 210;
constexpr uint32_t kStatusBaseTStats = 215;
constexpr uint32_t kStatusNvpRead = 220;
constexpr uint32_t kStatusNvpWrite = 221;
constexpr uint32_t kStatusLinkSpeed = 230;
constexpr uint32_t kStatusNotSupported = 149;
constexpr uint32_t kStatusRecordVersion = 213;

constexpr size_t kSmallRecord = 4;
constexpr size_t kLinkStatusSize = 12;
constexpr size_t kLinkStatusSpeed = 2;
constexpr uint32_t kRefreshMs = 9999;        // counters younger than this are served from the cache
constexpr const char* kFcoe = "FCoE";

uint8_t port_byte(const PortCommand& at) { return at.port_number & 0x3F; }

// The three link-speed properties as "N/A".
int link_speed_na(hm_node* port) {
  int failed = 0;
  for (const char* name : {"ConfiguredSpeed", "Mode", "DACCableLength"}) failed |= set_prop_val(port, name, "%s", kTextNA);
  return failed;
}

// The port state: 1 enabled; the Quenta generation's form carries the port in byte 2 and the state
// in bit 0.
uint32_t read_port_state(const PortCommand& at, bool* enabled) {
  uint8_t record[kSmallRecord] = {};
  uint32_t status;
  if (at.generation == kGenerationQuenta) {
    record[2] = port_byte(at);
    status = ioctl_quenta_get_port_state(at.handle, record, at.domain, at.port_number, at.path);
    *enabled = (record[0] & 1) != 0;
  } else {
    status = ioctl_get_port_state(at.handle, record, at.domain, at.port_number, at.path);
    uint32_t state = 0;
    std::memcpy(&state, record, sizeof state);
    *enabled = state == 1;
  }
  return status;
}

uint32_t write_port_state(const PortCommand& at, bool enable) {
  uint8_t record[kSmallRecord] = {};
  if (at.generation == kGenerationQuenta) {
    record[0] = enable ? 1 : 0;
    record[2] = port_byte(at);
    return ioctl_quenta_set_port_state(at.handle, record, at.domain, at.port_number, at.path);
  }
  const uint32_t state = enable ? 1 : 0;
  std::memcpy(record, &state, sizeof state);
  return ioctl_set_port_state(at.handle, record, at.domain, at.port_number, at.path);
}

// The number a port's NVP commands carry: its PortNumber property.
bool nvp_port(hm_node* port, uint32_t* out) {
  char text[kValueSize];
  return read_property(port, kPropPortNumber, text) && parse_whole(text, UINT32_MAX, out);
}

// The 10GBASE-T refresh times: one per adapter and port, as the instance numbers give them.
std::mutex g_baset_mutex;
timeval* baset_slot(const PortCommand& at) {
  if (at.port_number >= kPortsPerAdapter) return nullptr;
  return baset_update_time(at.adapter * kPortsPerAdapter + static_cast<int32_t>(at.port_number));
}

uint32_t read_baset_stats(const PortCommand& at, bool v1, uint8_t* reply) {
  const uint32_t number = at.port_number;
  std::memset(reply, 0, v1 ? kBaseTStatsV1Size : kBaseTStatsSize);
  std::memcpy(reply, &number, sizeof number);
  return v1 ? ioctl_get_baseT_stats_v1(at.handle, reply, at.domain, at.port_number, at.path)
            : ioctl_get_baseT_stats(at.handle, reply, at.domain, at.port_number, at.path);
}

}  // namespace

uint32_t VARU_update_10GbaseT_properties(hm_node* baset, const uint8_t* record_v0, const uint8_t* record_v1,
                                         uint32_t mode) {
  PortCommand at;
  if (baset == nullptr || !port_command(baset, &at)) return kStatusFailed;
  int failed = 0;
  if (record_v0 == nullptr && record_v1 == nullptr) {
    for (const char* name : kBaseTPropertyNames) failed |= set_prop_val(baset, name, "%s", kTextNA);
    if (mode == 0) return failed != 0 ? kStatusFailed : kStatusOk;
  }
  {
    std::lock_guard<std::mutex> lock(g_baset_mutex);
    if (timeval* slot = baset_slot(at)) host_ops().gettimeofday(slot);
  }
  if (mode == 1) return kStatusOk;
  BaseTTexts texts;
  const bool v1 = record_v1 != nullptr;
  baset_texts_of(v1 ? record_v1 : record_v0, v1 ? kBaseTStatsV1Size : kBaseTStatsSize, v1, &texts);
  for (int i = 0; i < kBaseTProperties; ++i) failed |= set_prop_val(baset, kBaseTPropertyNames[i], "%s", texts.values[i]);
  return failed != 0 ? kStatusFailed : kStatusOk;
}

uint32_t handle_BeaconState(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  uint8_t record[kSmallRecord] = {port_byte(at)};
  const uint32_t status = ioctl_get_beacon_state(at.handle, record, at.domain, at.port_number, at.path);
  if (status == kStatusNotSupported) {
    cache_text(prop, "Not Supported");
  } else if (status != kStatusOk) {
    return refuse(kStatusBeaconState, msg::kBeaconStateFailed);
  } else {
    uint32_t on = 0;
    std::memcpy(&on, record, sizeof on);
    cache_text(prop, on == 1 ? "Enabled" : "Disabled");
  }
  return return_cached(prop, buf);
}

uint32_t handle_FCoEWWPN(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  cntr_additional_attribs record{};
  const uint32_t status = at.path == 1 || at.path == 2
                              ? ioctl_get_cnt_additional_attribs(at.handle, &record, at.domain, at.port_number, at.path)
                              : kStatusFailed;
  if (status != kStatusOk) return refuse(kStatusNoAdditionalAttributes, msg::kNoAdditionalAttributes);
  const uint8_t* w = record.fcoe_wwpn;
  SET_CACHE_PROP_VAL(prop, "%02x:%02x:%02x:%02x:%02x:%02x:%02x:%02x", w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
  return return_cached(prop, buf);
}

uint32_t handle_get_link_speed_properties(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  if (at.generation == kStatusFailed) return kStatusFailed;
  if (at.generation == kGeneration2) {
    link_speed_na(at.port);
    return return_cached(prop, buf);
  }
  uint8_t record[kSmallRecord] = {port_byte(at)};
  const uint32_t status = ioctl_get_link_speed(at.handle, record, at.domain, at.port_number, at.path);
  if (status == kStatusRecordVersion) {
    return link_speed_na(at.port) != 0 ? kStatusFailed : return_cached(prop, buf);
  }
  if (status != kStatusOk) return refuse(kStatusLinkSpeed, msg::kLinkSpeedFailed);
  uint16_t code = 0;
  uint16_t dac = 0;
  std::memcpy(&code, record, sizeof code);
  std::memcpy(&dac, record + 2, sizeof dac);
  const LinkSpeedText text = link_speed_text(code);
  set_prop_val(at.port, "DACCableLength", "%d", dac);
  if (text.speed != nullptr) set_prop_val(at.port, "ConfiguredSpeed", "%s", text.speed);
  set_prop_val(at.port, "Mode", "%s", text.mode);
  return return_cached(prop, buf);
}

uint32_t handle_PortState(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at) || at.generation == kStatusFailed) {
    return kStatusFailed;
  }
  if (op == kGet) {
    if (vm_flag != 0) return refuse_on_vf(buf);
    bool enabled = false;
    if (read_port_state(at, &enabled) != kStatusOk) return refuse(kStatusPortStateRead, msg::kPortStateReadFailed);
    cache_text(prop, enabled ? "Enabled" : "Disabled");
    return return_cached(prop, buf);
  }
  if (op != kSet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(nullptr);
  char current[kValueSize] = "";
  if (handle_PortState(prop, current, kGet) != kStatusOk) return kStatusFailed;
  if (::strcasecmp(current, buf) == 0) return kStatusOk;
  if (write_port_state(at, ::strcasecmp(buf, "Enabled") == 0) != kStatusOk) {
    return refuse(kStatusPortStateWrite, msg::kPortStateWriteFailed);
  }
  return kStatusOk;
}

uint32_t handle_TXThrottle(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet && op != kSet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(op == kGet ? buf : nullptr);
  if (at.generation == kStatusFailed) return kStatusFailed;
  if (at.generation == kGenerationOrvelle) {
    if (op == kGet) cache_text(prop, kTextNA);
    return op == kGet ? return_cached(prop, buf) : kStatusOk;
  }
  char personality[kValueSize];
  if (!current_personality(at.controller, personality)) return kStatusFailed;
  // Start-up writes "FCoE", the adapter "FcoE": either counts.
  const bool fcoe = ::strcasecmp(personality, kFcoe) == 0;
  if (op == kGet) {
    if (at.generation != kGeneration2 || !fcoe) {
      cache_text(prop, kTextNA);
      return return_cached(prop, buf);
    }
    uint32_t value = 0;
    if (ioctl_get_tx_throttel(at.handle, &value, at.domain, at.port_number, at.path) != kStatusOk) {
      return refuse(kStatusTxThrottleRead, msg::kTxThrottleReadFailed);
    }
    SET_CACHE_PROP_VAL(prop, "%d", static_cast<int>(value));
    return return_cached(prop, buf);
  }
  char current[kValueSize] = "";
  return_cached(prop, current);
  if (std::strcmp(current, buf) == 0) return kStatusOk;
  if (at.generation == kGeneration3 || (at.generation == kGeneration2 && !fcoe)) {
    return refuse(kStatusTxThrottleNotSupported, msg::kTxThrottleNotSupported);
  }
  uint32_t value = 0;
  if (!parse_decimal(buf, 2, &value) || value < 1 || buf[0] == '0') {
    return refuse(kStatusInvalidValue, msg::kTxThrottleValues);
  }
  if (ioctl_set_tx_throttel(at.handle, &value, at.domain, at.port_number, at.path) != kStatusOk) {
    return refuse(kStatusTxThrottleWrite, msg::kTxThrottleWriteFailed);
  }
  return cache_text(prop, buf);
}

uint32_t handle_PHYType(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  uint8_t reply[sizeof(phy_details)] = {};
  const uint32_t status = at.generation == kGenerationQuenta
                              ? ioctl_get_quenta_phy_details(at.handle, reply, at.domain, at.port_number, at.path)
                              : ioctl_get_phy_details(at.handle, reply, at.domain, at.port_number, at.path);
  if (status != kStatusOk) {
    cache_text(prop, kTextNA);
    return status;
  }
  SET_CACHE_PROP_VAL(prop, "0x%x", phy_details_of(reply, sizeof reply).phy_type);
  return return_cached(prop, buf);
}

uint32_t handle_10baseT_nvpvalue(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  uint32_t number = 0;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at) || !nvp_port(at.port, &number)) {
    return kStatusFailed;
  }
  if (op == kGet) {
    if (vm_flag != 0) return refuse_on_vf(buf);
    if (at.generation == kStatusFailed) return kStatusFailed;
    if (at.generation == kGeneration2) {
      cache_text(prop, kTextNA);
      return return_cached(prop, buf);
    }
    uint32_t record = number;
    const uint32_t status = ioctl_get_nvp_value(at.handle, &record, at.domain, at.port_number, at.path);
    if (status == kStatusNotSupported) {
      cache_text(prop, kTextNA);
    } else if (status != kStatusOk) {
      return refuse(kStatusNvpRead, msg::kNvpReadFailed);
    } else {
      SET_CACHE_PROP_VAL(prop, "%d", static_cast<int>(record));
    }
    return return_cached(prop, buf);
  }
  if (op != kSet) return kStatusOk;
  char current[kValueSize] = "";
  return_cached(prop, current);
  if (std::strcmp(current, buf) == 0) return kStatusOk;
  // A value that is no whole decimal number would go out as whatever its digits begin with.
  uint32_t value = 0;
  if (!parse_decimal(buf, INT32_MAX, &value)) {
    fail(kStatusInvalidValue, msg::kNamedInvalidValue, "NVPValue");
    return kStatusFailed;
  }
  uint32_t record[2] = {number, value};
  if (ioctl_set_nvp_value(at.handle, record, at.domain, at.port_number, at.path) != kStatusOk) {
    return refuse(kStatusNvpWrite, msg::kNvpWriteFailed);
  }
  return cache_text(prop, buf);
}

uint32_t handle_10GbaseT_properties(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  hm_node* baset = prop != nullptr ? prop->parent : nullptr;
  if (baset == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (at.generation == kStatusFailed) return kStatusFailed;
  if (at.generation == kGeneration2 || at.generation == kGenerationQuenta) {
    if (VARU_update_10GbaseT_properties(baset, nullptr, nullptr, 0) != kStatusOk) return kStatusFailed;
    return return_cached(prop, buf);
  }
  char clear_counters[kValueSize];
  if (!read_property(baset, kPropIsClearCountersSupported, clear_counters)) return kStatusFailed;
  {
    std::lock_guard<std::mutex> lock(g_baset_mutex);
    timeval* slot = baset_slot(at);
    timeval now{};
    host_ops().gettimeofday(&now);
    if (slot != nullptr && (slot->tv_sec != 0 || slot->tv_usec != 0) && elapsed_ms(*slot, now) <= kRefreshMs) {
      return return_cached(prop, buf);
    }
  }
  uint8_t reply[kBaseTStatsV1Size];
  uint32_t status = kStatusNotSupported;
  if (::strcasecmp(clear_counters, "True") == 0) {
    status = read_baset_stats(at, true, reply);
    if (status == kStatusOk) {
      if (VARU_update_10GbaseT_properties(baset, nullptr, reply, 0) != kStatusOk) return kStatusFailed;
      return return_cached(prop, buf);
    }
    if (status != kStatusNotSupported) return refuse(kStatusBaseTStats, msg::kBaseTStatsFailed);
  }
  status = read_baset_stats(at, false, reply);
  if (status == kStatusNotSupported) {
    VARU_update_10GbaseT_properties(baset, nullptr, nullptr, 1);
  } else if (status != kStatusOk) {
    return refuse(kStatusBaseTStats, msg::kBaseTStatsFailed);
  } else if (VARU_update_10GbaseT_properties(baset, reply, nullptr, 0) != kStatusOk) {
    return kStatusFailed;
  }
  return return_cached(prop, buf);
}

uint32_t handle_PhysicalLinkStatus(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  uint8_t reply[kLinkStatusSize] = {};
  const uint32_t status = ioctl_get_link_status_v1(at.handle, reply, at.domain, at.port_number, at.path);
  if (status != kStatusOk) {
    fail(kStatusNicParams, "%s", msg::kNicParamsFailed);
    return status;
  }
  cache_text(prop, reply[kLinkStatusSpeed] != 0 ? "Up" : "Down");
  return return_cached(prop, buf);
}

uint32_t handle_over_temperature(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet && op != kSet) return kStatusOk;
  // Like the port's other live values: nothing is read or written from a virtual function.
  if (vm_flag != 0) return refuse_on_vf(op == kGet ? buf : nullptr);
  if (op != kGet || at.generation == kStatusFailed) return kStatusFailed;
  // The reason comes with the link information of the port's NIC function.
  const int32_t nic = nic_handle_of(at);
  if (at.generation == kGeneration2 || nic == 0) {
    cache_text(prop, kTextNA);
  } else if (VARU_get_over_temperature(prop->parent, nic) != kStatusOk) {
    return kStatusFailed;
  }
  return return_cached(prop, buf);
}

}  // namespace vx
