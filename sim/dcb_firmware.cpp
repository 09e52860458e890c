#include "sim/dcb_firmware.h"

#include <cstring>

#include "sim/live_state.h"
#include "sim/port_firmware.h"

namespace vx::sim {
namespace {

constexpr size_t kDcbxEntries = 72;
constexpr size_t kDcbxEntrySize = 16;
constexpr int kDcbxEntryCount = 15;
constexpr size_t kQcnFlags = 12;
constexpr size_t kAppFlags = 16;
constexpr size_t kCnpv = 312;
constexpr size_t kLldpSize = 1576;
constexpr size_t kLldpStatsSize = 48;
constexpr size_t kDescriptors = 16;
constexpr uint16_t kDescriptorLength = 8;

template <typename T>
void put_at(std::vector<uint8_t>& rec, size_t offset, T value) {
  std::memcpy(rec.data() + offset, &value, sizeof value);
}

void put_text(std::vector<uint8_t>& rec, size_t offset, const std::string& text) {
  std::memcpy(rec.data() + offset, text.data(), std::min<size_t>(text.size(), 255));
}

}  // namespace

Answer get_dcbx_config(Command& c) {
  const PortSettings* p = port_settings_of(c, c.port_number);
  const std::string request = c.payload.bytes(0, 1);
  const uint8_t selector = request.empty() ? 0 : static_cast<uint8_t>(request[0]);
  if (p == nullptr || selector >= kDcbxRecords) return kAnswerInvalidField;
  if (c.version == 1 && !p->dcbx_v1) return kAnswerRecordVersion;
  PortLive live;
  if (!live_port(c, c.port_number, &live)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec(live.dcbx[selector].begin(), live.dcbx[selector].end());
  rec.resize(c.version == 1 ? kDcbxImageSize : kDcbxShortSize);
  rec[0] = live.dcbx_enabled ? 1 : 0;
  uint8_t in_use = 0;
  for (int n = 0; n < kDcbxEntryCount; ++n) {
    if (rec[kDcbxEntries + kDcbxEntrySize * n + 3] == 1) ++in_use;
  }
  rec[2] = in_use;
  return answer_record(c, rec.data(), rec.size());
}

Answer set_dcbx_config(Command& c) {
  const PortSettings* p = port_settings_of(c, c.port_number);
  if (p == nullptr) return kAnswerInvalidField;
  if (c.version == 1 && !p->dcbx_v1) return kAnswerRecordVersion;
  const size_t size = c.version == 1 ? kDcbxImageSize : kDcbxShortSize;
  if (c.payload.size() < size) return kAnswerInvalidField;
  const std::string request = c.payload.bytes(0, size);
  const bool mirror = p->mirror_admin;
  return change_port(c, c.port_number, static_cast<uint32_t>(size), [&](PortLive& l) {
    l.dcbx_enabled = (request[0] & 1) != 0;
    std::string& admin = l.dcbx[0];
    // Flags, bandwidths, groups, PFC and the entries; the QCN fields only from the longer record.
    std::memcpy(&admin[4], &request[4], kQcnFlags - 4);
    std::memcpy(&admin[kAppFlags], &request[kAppFlags], kDcbxShortSize - kAppFlags);
    if (size == kDcbxImageSize) {
      std::memcpy(&admin[kQcnFlags], &request[kQcnFlags], 4);
      admin[kCnpv] = request[kCnpv];
    }
    if (mirror) std::memcpy(&l.dcbx[1][4], &admin[4], kCnpv + 1 - 4);
  });
}

Answer get_dcbx_mib(Command& c) {
  std::vector<uint8_t> rec(c.payload.size() / 4 * 4, 0);
  for (size_t i = 0; i < rec.size() / 4; ++i) put_at<uint32_t>(rec, 4 * i, static_cast<uint32_t>(i + 1));
  return answer_record(c, rec.data(), rec.size());
}

Answer get_dcbx_mode(Command& c) {
  PortLive live;
  if (port_settings_of(c, c.port_number) == nullptr) return kAnswerInvalidField;
  if (!live_port(c, c.port_number, &live)) return kAnswerFlashFailure;
  c.payload.put_u32(0, live.dcbx_mode);
  Answer a;
  a.length = 4;
  return a;
}

Answer set_dcbx_mode(Command& c) {
  const std::string request = c.payload.bytes(0, 2);
  const uint32_t mode = request.size() == 2 && request[1] == 1 ? 1 : 0;
  return change_port(c, c.port_number, 4, [&](PortLive& l) { l.dcbx_mode = mode; });
}

Answer get_operating_params(Command& c) {
  const std::string request = c.payload.bytes(4, 1);
  const uint32_t port = request.empty() ? 0 : static_cast<uint8_t>(request[0]) & 0x3F;
  const PortSettings* p = port_settings_of(c, port);
  if (p == nullptr) return kAnswerInvalidField;
  std::vector<uint8_t> rec(kDescriptors + kDescriptorLength, 0);
  put_at<uint16_t>(rec, 0, 1);
  rec[kDescriptors] = 1;
  put_at<uint16_t>(rec, kDescriptors + 2, kDescriptorLength);
  rec[kDescriptors + 4] = static_cast<uint8_t>(port);
  rec[kDescriptors + 5] = p->operating_mode;
  return answer_record(c, rec.data(), rec.size());
}

Answer get_lldp_params(Command& c) {
  const PortSettings* p = port_settings_of(c, c.port_number);
  PortLive live;
  if (p == nullptr) return kAnswerInvalidField;
  if (!live_port(c, c.port_number, &live)) return kAnswerFlashFailure;
  const bool local = c.payload.u32(0) == 0;
  const LldpSettings& s = local ? p->lldp_local : p->lldp_peer;
  std::vector<uint8_t> rec(kLldpSize, 0);
  if (local) {
    std::memcpy(rec.data(), live.lldp.data(), live.lldp.size());
  } else {
    rec[0] = s.switches;
    for (int i = 0; i < 4; ++i) rec[1 + i] = (s.tlvs >> i) & 1;
  }
  put_text(rec, 8, s.chassis_id);
  put_at<uint32_t>(rec, 264, s.chassis_type);
  put_text(rec, 268, s.port_id);
  put_at<uint32_t>(rec, 524, s.port_type);
  put_at<uint32_t>(rec, 528, s.ttl);
  put_text(rec, 532, s.system_name);
  put_text(rec, 788, s.system_description);
  put_text(rec, 1300, s.port_description);
  put_at<uint32_t>(rec, 1556, s.capabilities);
  return answer_record(c, rec.data(), rec.size());
}

Answer set_lldp_params(Command& c) {
  const std::string request = c.payload.bytes(0, 5);
  if (request.size() < 5) return kAnswerInvalidField;
  return change_port(c, c.port_number, 8,
                     [&](PortLive& l) { std::memcpy(l.lldp.data(), request.data(), l.lldp.size()); });
}

Answer get_lldp_stats(Command& c) {
  const PortSettings* p = port_settings_of(c, c.port_number);
  if (p == nullptr) return kAnswerInvalidField;
  std::vector<uint8_t> rec(kLldpStatsSize, 0);
  put_at<uint32_t>(rec, 0, p->lldp_stats.tx);
  put_at<uint32_t>(rec, 4, p->lldp_stats.rx);
  put_at<uint32_t>(rec, 12, p->lldp_stats.dropped);
  put_at<uint32_t>(rec, 16, p->lldp_stats.unrecognized);
  put_at<uint32_t>(rec, 24, p->lldp_stats.organizational);
  return answer_record(c, rec.data(), rec.size());
}

}  // namespace vx::sim
