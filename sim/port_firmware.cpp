#include "sim/port_firmware.h"

#include <cstring>

namespace vx::sim {
namespace {

constexpr size_t kPhyDetailsSize = 24;
constexpr size_t kPortNamesSize = 4;
constexpr size_t kDcbxSize = 312;
constexpr size_t kDcbxV1Size = 368;
constexpr size_t kDcbxEntries = 72;
constexpr size_t kDcbxEntrySize = 16;
constexpr uint8_t kDcbxEnabled = 1;
constexpr Answer kAnswerNotSupported{66, 0, 0};

// The settings of the port a command names, or NULL for a port the adapter does not have.
const PortSettings* port_of(const Command& c, uint32_t port) {
  return port < c.adapter.port_settings.size() ? &c.adapter.port_settings[port] : nullptr;
}

template <typename T>
void put_at(std::vector<uint8_t>& rec, size_t offset, T value) {
  std::memcpy(rec.data() + offset, &value, sizeof value);
}

}  // namespace

Answer get_phy_details(Command& c) {
  const PortSettings* p = port_of(c, c.port_number);
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

Answer get_dcbx_config(Command& c) {
  const PortSettings* p = port_of(c, c.port_number);
  const std::string request = c.payload.bytes(0, 1);
  const uint8_t selector = request.empty() ? 0 : static_cast<uint8_t>(request[0]);
  if (p == nullptr || selector >= kDcbxRecords) return kAnswerInvalidField;
  std::vector<uint8_t> rec(c.version == 1 ? kDcbxV1Size : kDcbxSize, 0);
  const std::vector<AppTlv>& tlvs = p->app_tlvs[selector];
  rec[0] = kDcbxEnabled;
  rec[2] = static_cast<uint8_t>(tlvs.size());
  for (const AppTlv& t : tlvs) {
    const size_t at = kDcbxEntries + kDcbxEntrySize * t.entry;
    put_at<uint16_t>(rec, at, t.protocol);
    rec[at + 2] = t.selector;
    rec[at + 3] = 1;   // in use
    put_at<uint32_t>(rec, at + 4, t.oui);
    for (int k = 0; k < 8; ++k) rec[at + 8 + k] = (t.priorities >> k) & 1;
  }
  return answer_record(c, rec.data(), rec.size());
}

Answer get_baset_stats(Command& c) {
  const PortSettings* p = port_of(c, c.payload.u32(0));
  if (p == nullptr) return kAnswerInvalidField;
  if (c.version == 1 && !p->baset_stats_v1) return kAnswerNotSupported;
  std::vector<uint8_t> rec(c.payload.size(), 0);   // counters at zero, as after a reset
  return answer_record(c, rec.data(), rec.size());
}

Answer get_loopback_mode(Command& c) {
  const PortSettings* p = port_of(c, c.payload.u32(0));
  if (p == nullptr) return kAnswerInvalidField;
  c.payload.put_u32(0, p->loopback_mode);
  Answer a;
  a.length = sizeof(uint32_t);
  return a;
}

}  // namespace vx::sim
