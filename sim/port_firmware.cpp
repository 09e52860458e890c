#include "sim/port_firmware.h"

#include <cstring>

#include "sim/dcb_firmware.h"
#include "sim/live_state.h"

namespace vx::sim {

const PortSettings* port_settings_of(const Command& c, uint32_t port) {
  return port < c.adapter.port_settings.size() ? &c.adapter.port_settings[port] : nullptr;
}

bool live_port(const Command& c, uint32_t port, PortLive* out) {
  AdapterLive a;
  if (!read_live(c.store, c.adapter, &a) || port >= a.ports.size()) return false;
  *out = a.ports[port];
  return true;
}

Answer change_port(Command& c, uint32_t port, uint32_t length, const std::function<void(PortLive&)>& edit) {
  if (port_settings_of(c, port) == nullptr) return kAnswerInvalidField;
  if (!update_live(c.store, c.adapter, [&](AdapterLive& a) {
        edit(a.ports[port]);
        return true;
      })) {
    return kAnswerFlashFailure;
  }
  Answer a;
  a.length = length;
  return a;
}

namespace {

constexpr size_t kPhyDetailsSize = 24;
constexpr size_t kPortNamesSize = 4;

template <typename T>
void put_at(std::vector<uint8_t>& rec, size_t offset, T value) {
  std::memcpy(rec.data() + offset, &value, sizeof value);
}

uint8_t port_in(const Command& c, size_t offset) {
  const std::string b = c.payload.bytes(offset, 1);
  return b.empty() ? 0 : static_cast<uint8_t>(b[0]) & 0x3F;
}

Answer answer_u32(Command& c, uint32_t value) {
  c.payload.put_u32(0, value);
  Answer a;
  a.length = sizeof value;
  return a;
}

}  // namespace

Answer get_phy_details(Command& c) {
  const PortSettings* p = port_settings_of(c, c.port_number);
  if (p == nullptr) return kAnswerInvalidField;
  std::vector<uint8_t> rec(kPhyDetailsSize, 0);
  put_at<uint16_t>(rec, 0, p->phy_type);
  put_at<uint16_t>(rec, 2, p->interface_type);
  put_at<uint16_t>(rec, 8, p->phy_signature);
  put_at<uint16_t>(rec, 12, p->an_speeds);
  put_at<uint16_t>(rec, 14, p->force_speeds);
  return answer_record(c, rec.data(), rec.size());
}

Answer get_port_names(Command& c) {
  std::vector<uint8_t> rec(kPortNamesSize, 0);
  for (size_t port = 0; port < kPortNamesSize && port < c.adapter.port_settings.size(); ++port) {
    rec[port] = static_cast<uint8_t>(c.adapter.port_settings[port].name);
  }
  return answer_record(c, rec.data(), rec.size());
}

Answer get_baset_stats(Command& c) {
  const PortSettings* p = port_settings_of(c, c.payload.u32(0));
  if (p == nullptr) return kAnswerInvalidField;
  if (c.version == 1 && !p->baset_stats_v1) return kAnswerUnsupported;
  // Generated counters: word i reads i + 1.
  std::vector<uint8_t> rec(c.payload.size() / 4 * 4, 0);
  for (size_t i = 0; i < rec.size() / 4; ++i) put_at<uint32_t>(rec, 4 * i, static_cast<uint32_t>(i + 1));
  return answer_record(c, rec.data(), rec.size());
}

}  // namespace vx::sim

namespace vx::sim {

Answer get_port_state(Command& c) {
  const uint32_t port = c.version == 1 ? port_in(c, 2) : c.port_number;
  PortLive l;
  if (port_settings_of(c, port) == nullptr) return kAnswerInvalidField;
  if (!live_port(c, port, &l)) return kAnswerFlashFailure;
  if (c.version != 1) return answer_u32(c, l.enabled ? 1 : 0);
  const uint8_t state = l.enabled ? 1 : 0;
  c.payload.put(0, &state, 1);
  Answer a;
  a.length = 4;
  return a;
}

Answer set_port_state(Command& c) {
  const uint32_t port = c.version == 1 ? port_in(c, 2) : c.port_number;
  const bool enable = c.version == 1 ? (c.payload.u32(0) & 1) != 0 : c.payload.u32(0) == 1;
  return change_port(c, port, 4, [&](PortLive& l) { l.enabled = enable; });
}

Answer get_beacon_state(Command& c) {
  const uint32_t port = port_in(c, 0);
  const PortSettings* p = port_settings_of(c, port);
  PortLive l;
  if (p == nullptr) return kAnswerInvalidField;
  if (p->beacon == kBeaconUnsupported) return kAnswerUnsupported;
  if (!live_port(c, port, &l)) return kAnswerFlashFailure;
  return answer_u32(c, l.beacon ? 1 : 0);
}

Answer set_beacon_state(Command& c) {
  constexpr Answer kBeaconActive{66, 103, 0};
  const uint32_t port = port_in(c, 0);
  const std::string request = c.payload.bytes(0, 2);
  const PortSettings* p = port_settings_of(c, port);
  if (p == nullptr || request.size() < 2) return kAnswerInvalidField;
  if (p->beacon == kBeaconUnsupported) return kAnswerUnsupported;
  const bool on = request[1] != 0;
  // One port of an adapter beacons at a time.
  bool busy = false;
  const bool written = update_live(c.store, c.adapter, [&](AdapterLive& a) {
    for (size_t i = 0; i < a.ports.size(); ++i) busy = busy || (on && i != port && a.ports[i].beacon);
    if (busy) return false;
    a.ports[port].beacon = on;
    return true;
  });
  if (busy) return kBeaconActive;
  if (!written) return kAnswerFlashFailure;
  Answer a;
  a.length = 4;
  return a;
}

Answer get_tx_throttle(Command& c) {
  PortLive l;
  if (port_settings_of(c, c.port_number) == nullptr) return kAnswerInvalidField;
  if (!live_port(c, c.port_number, &l)) return kAnswerFlashFailure;
  return answer_u32(c, l.tx_throttle);
}

Answer set_tx_throttle(Command& c) {
  const uint32_t value = c.payload.u32(0);
  return change_port(c, c.port_number, 4, [&](PortLive& l) { l.tx_throttle = value; });
}

Answer get_nvp(Command& c) {
  const uint32_t port = c.payload.u32(0);
  const PortSettings* p = port_settings_of(c, port);
  PortLive l;
  if (p == nullptr) return kAnswerInvalidField;
  if (p->nvp == kNvpUnsupported) return kAnswerUnsupported;
  if (!live_port(c, port, &l)) return kAnswerFlashFailure;
  return answer_u32(c, l.nvp);
}

Answer set_nvp(Command& c) {
  const uint32_t port = c.payload.u32(0);
  const uint32_t value = c.payload.u32(4);
  const PortSettings* p = port_settings_of(c, port);
  if (p != nullptr && p->nvp == kNvpUnsupported) return kAnswerUnsupported;
  return change_port(c, port, 8, [&](PortLive& l) { l.nvp = value; });
}

Answer get_link_speed(Command& c) {
  const uint32_t port = port_in(c, 0);
  PortLive l;
  if (port_settings_of(c, port) == nullptr) return kAnswerInvalidField;
  if (!live_port(c, port, &l)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec(4, 0);
  put_at<uint16_t>(rec, 0, l.speed_code);
  put_at<uint16_t>(rec, 2, l.dac_length);
  return answer_record(c, rec.data(), rec.size());
}

Answer set_port_speed(Command& c) {
  const auto code = static_cast<uint16_t>(c.payload.u32(0) >> 16);
  const auto dac = static_cast<uint16_t>(c.payload.u32(4));
  return change_port(c, port_in(c, 0), 8, [&](PortLive& l) {
    l.speed_code = code;
    l.dac_length = dac;
  });
}

Answer get_common_flow_control(Command& c) {
  PortLive l;
  if (port_settings_of(c, c.port_number) == nullptr) return kAnswerInvalidField;
  if (!live_port(c, c.port_number, &l)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec(4, 0);
  put_at<uint16_t>(rec, 0, l.flow_tx ? 1 : 0);
  put_at<uint16_t>(rec, 2, l.flow_rx ? 1 : 0);
  return answer_record(c, rec.data(), rec.size());
}

Answer management_flow_control(Command& c) {
  const std::string request = c.payload.bytes(0, 2);
  const uint32_t port = port_in(c, 3);
  const uint8_t settings = request.size() == 2 ? static_cast<uint8_t>(request[0]) : 0;
  const bool write = request.size() == 2 && request[1] != 0;
  if (write) {
    return change_port(c, port, 8, [&](PortLive& l) {
      l.flow_tx = (settings & 0x0F) != 0;
      l.flow_rx = (settings & 0xF0) != 0;
    });
  }
  PortLive l;
  if (port_settings_of(c, port) == nullptr) return kAnswerInvalidField;
  if (!live_port(c, port, &l)) return kAnswerFlashFailure;
  const uint8_t byte0 = static_cast<uint8_t>((l.flow_tx ? 0x01 : 0) | (l.flow_rx ? 0x10 : 0));
  c.payload.put(0, &byte0, 1);
  Answer a;
  a.length = 8;
  return a;
}

}  // namespace vx::sim
