// Bounded readers of the live properties' records.
#include "adapter/live_records.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "adapter/controller_attribs.h"

namespace vx {
namespace {

// A record of type T from a reply of `size` bytes; missing bytes read as 0.
template <typename T>
T record_of(const uint8_t* reply, size_t size) {
  T r;
  std::memset(&r, 0, sizeof r);
  if (reply != nullptr) std::memcpy(&r, reply, std::min(size, sizeof r));
  return r;
}

// A word the reply holds whole; 0 otherwise.
uint32_t word_at(const uint8_t* reply, size_t size, size_t offset) {
  uint32_t v = 0;
  if (reply != nullptr && offset <= size && size - offset >= sizeof v) std::memcpy(&v, reply + offset, sizeof v);
  return v;
}

// Offsets of the MIB fields in the two forms: versions, sequence numbers, packet counters.
struct MibLayout {
  size_t app_sequence;
  size_t tx_packets;
};
constexpr MibLayout kMib{36, 64};
constexpr MibLayout kQuentaMib{20, 32};

constexpr const char* kChassisTypes[] = {"Chassis Component", "Interface Alias", "Port Component", "MAC Address",
                                         "Network Address",   "Interface Name",  "Locally Assigned"};
constexpr const char* kPortTypes[] = {"Interface Alias", "Port Component",   "MAC Address",     "Network Address",
                                      "Interface Name",  "Agent Circuit Id", "Locally Assigned"};
constexpr const char* kCapabilities[] = {"Other", "Repeater", "Bridge", "WLAN", "Router", "Telephone", "Docsis", "Station"};
constexpr const char* kUnknown = "Unknown";

// Operating-parameter descriptors: from byte 16, each u8 type, u16 length at 2, u8 mode at 5.
constexpr size_t kDescriptorsOffset = 16;
constexpr size_t kDescriptorMode = 5;
constexpr uint8_t kModeMask = 0x07;

struct LinkSpeedRow {
  uint32_t code;
  LinkSpeedText text;
};
constexpr const char* kForce = "Force";
constexpr const char* kAuto = "Auto-Negotiate";
constexpr LinkSpeedRow kLinkSpeeds[] = {
    {0, {"All Supported Speeds", "Default"}}, {1, {"10Gb", kForce}},        {2, {"1Gb", kForce}},
    {3, {"10Gb", kAuto}},                     {4, {"1Gb", kAuto}},          {5, {"100Mb", kAuto}},
    {6, {"10Gb/1Gb", kAuto}},                 {7, {"10Gb/1Gb/100Mb", kAuto}}, {8, {"1Gb/100Mb", kAuto}},
    {9, {"10Mb", kAuto}},                     {10, {"1Gb/100Mb/10Mb", kAuto}}, {11, {"100Mb/10Mb", kAuto}},
    {12, {"100Mb", kForce}},                  {13, {"10Mb", kForce}},       {14, {"40Gb", kForce}},
    {15, {"40Gb", kAuto}},                    {16, {"40Gb/10Gb", kAuto}},   {32, {"40Gb/1Gb", kAuto}},
    {64, {"40Gb/10Gb/1Gb", kAuto}},           {72, {"20Gb", kAuto}},        {74, {"20Gb/1Gb", kAuto}},
    {76, {"20Gb/10Gb", kAuto}},               {78, {"20Gb/10Gb/1Gb", kAuto}}, {136, {"20Gb", kForce}},
};

// How each 10GBASE-T value is printed, by its word in the record.
enum class BaseTForm : uint8_t { kHex, kSigned, kUnsigned, kFrames };
struct BaseTRow {
  uint8_t word;
  BaseTForm form;
};
constexpr BaseTRow kBaseTRows[kBaseTProperties] = {
    {0, BaseTForm::kHex},       {1, BaseTForm::kSigned},    {2, BaseTForm::kHex},       {3, BaseTForm::kHex},
    {4, BaseTForm::kHex},       {5, BaseTForm::kHex},       {6, BaseTForm::kSigned},    {7, BaseTForm::kSigned},
    {8, BaseTForm::kSigned},    {9, BaseTForm::kSigned},    {10, BaseTForm::kSigned},   {11, BaseTForm::kSigned},
    {12, BaseTForm::kUnsigned}, {13, BaseTForm::kUnsigned}, {14, BaseTForm::kUnsigned}, {15, BaseTForm::kUnsigned},
    {16, BaseTForm::kSigned},   {18, BaseTForm::kSigned},   {19, BaseTForm::kFrames},
};
constexpr size_t kFramesHighWord = 21;

}  // namespace

const char* const kBaseTPropertyNames[kBaseTProperties] = {
    "10GBaseTDiagStatus", "Temperature",     "PairASNR",        "PairBSNR",        "PairCSNR",
    "PairDSNR",           "TimeSinceLinkHigh", "TimeSinceLinkLow", "AverageMSEPairA", "AverageMSEPairB",
    "AverageMSEPairC",    "AverageMSEPairD", "LDPCFrameHigh",   "LDPCFrameLow",    "PHYCRC8High",
    "PHYCRC8Low",         "MDIPLLEventCounter", "10GEMIEventCounter", "PHYFrameCounter",
};

uint8_t DcbxView::members(uint32_t group) const {
  uint8_t bits = 0;
  for (int k = 0; k < kPriorities; ++k) {
    if ((record.base.priority_pg[k] & 0xFF) == group) bits = static_cast<uint8_t>(bits | (1u << k));
  }
  return bits;
}

uint8_t DcbxView::pfc_bitmap() const {
  uint8_t bits = 0;
  for (int k = 0; k < kPriorities; ++k) {
    if (record.base.pfc_enable[k] != 0) bits = static_cast<uint8_t>(bits | (1u << k));
  }
  return bits;
}

uint8_t DcbxView::entry_bitmap(int32_t entry) const {
  if (entry < 0 || entry >= kDcbxAppEntries) return 0;
  uint8_t bits = 0;
  for (int k = 0; k < kPriorities; ++k) {
    if (record.base.app[entry].priority[k] != 0) bits = static_cast<uint8_t>(bits | (1u << k));
  }
  return bits;
}

DcbxView dcbx_view_of(const uint8_t* record, size_t size) {
  return DcbxView{record_of<dcbx_cfg_params_v1>(record, std::min(size, kDcbxV1Size))};
}

void dcbx_carry_over(const uint8_t* reply, size_t size, uint8_t* request) {
  std::memset(request, 0, size);
  request[0] = reply[0];
  request[1] = reply[offsetof(dcbx_cfg_params, app_count)];
  const auto copy = [&](size_t first, size_t last) { std::memcpy(request + first, reply + first, last - first + 1); };
  copy(offsetof(dcbx_cfg_params, pg_flags), offsetof(dcbx_cfg_params, qcn_flags) - 1);
  copy(offsetof(dcbx_cfg_params, app_flags), offsetof(dcbx_cfg_params, reserved20) - 1);
  copy(offsetof(dcbx_cfg_params, pg_bandwidth), kDcbxSize - 1);
  if (size == kDcbxV1Size) {
    copy(offsetof(dcbx_cfg_params, qcn_flags), offsetof(dcbx_cfg_params, app_flags) - 1);
    request[offsetof(dcbx_cfg_params_v1, cnpv_bitmap)] = reply[offsetof(dcbx_cfg_params_v1, cnpv_bitmap)];
  }
}

DcbxMib dcbx_mib_of(const uint8_t* reply, size_t size, bool quenta) {
  const size_t room = std::min(size, quenta ? kQuentaDcbxMibSize : kDcbxMibSize);
  const MibLayout& l = quenta ? kQuentaMib : kMib;
  const auto w = [&](size_t offset) { return word_at(reply, room, offset); };
  DcbxMib m;
  m.operating_version = room > 2 && reply != nullptr ? reply[2] : 0;
  m.max_version = room > 3 && reply != nullptr ? reply[3] : 0;
  m.sequence = w(4);
  m.ack = w(8);
  m.peer_sequence = w(12);
  m.peer_ack = w(16);
  m.app_sequence = w(l.app_sequence);
  m.pg_sequence = w(l.app_sequence + 4);
  m.pfc_sequence = w(l.app_sequence + 8);
  m.tx_packets = w(l.tx_packets);
  m.rx_packets = w(l.tx_packets + 4);
  m.dropped = w(l.tx_packets + 12);
  return m;
}

bool operating_mode_not_applicable(const uint8_t* reply, size_t size) {
  if (reply == nullptr || size < 2) return false;
  uint16_t count = 0;
  std::memcpy(&count, reply, sizeof count);
  size_t at = kDescriptorsOffset;
  for (uint16_t i = 0; i < count && at <= size && size - at > kDescriptorMode; ++i) {
    uint16_t length = 0;
    std::memcpy(&length, reply + at + 2, sizeof length);
    if (length <= kDescriptorMode) break;   // a descriptor that does not hold its mode ends the walk
    const uint8_t mode = reply[at + kDescriptorMode] & kModeMask;
    if (mode == 0 || mode == 2) return true;
    at += length;
  }
  return false;
}

lldp_cfg_params lldp_params_of(const uint8_t* reply, size_t size) { return record_of<lldp_cfg_params>(reply, size); }

const char* chassis_type_name(uint32_t subtype) {
  return subtype >= 1 && subtype <= std::size(kChassisTypes) ? kChassisTypes[subtype - 1] : kUnknown;
}

const char* port_type_name(uint32_t subtype) {
  return subtype >= 1 && subtype <= std::size(kPortTypes) ? kPortTypes[subtype - 1] : kUnknown;
}

const char* system_capability_name(uint32_t bits) {
  for (size_t i = 0; i < std::size(kCapabilities); ++i) {
    if ((bits & (1u << i)) != 0) return kCapabilities[i];
  }
  return kUnknown;
}

LldpStats lldp_stats_of(const uint8_t* reply, size_t size) {
  const size_t room = std::min(size, kLldpStatsSize);
  return LldpStats{word_at(reply, room, 0), word_at(reply, room, 4), word_at(reply, room, 12),
                   word_at(reply, room, 16), word_at(reply, room, 24)};
}

ncsi_attribs ncsi_attribs_of(const uint8_t* reply, size_t size) { return record_of<ncsi_attribs>(reply, size); }

NcsiTexts ncsi_texts_of(const ncsi_config_block& b) {
  const auto yes_no = [](uint8_t v) -> const char* { return v == 1 ? "Yes" : v == 0 ? "No" : nullptr; };
  const auto mac = [](const uint8_t* m, char* out) {
    std::snprintf(out, 18, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
  };
  NcsiTexts t{};
  t.port_swap = yes_no(b.port_swap);
  t.wol_port0 = yes_no(b.wol_port0);
  t.wol_port1 = yes_no(b.wol_port1);
  mac(b.port0_mac, t.port0_mac);
  mac(b.port1_mac, t.port1_mac);
  std::snprintf(t.mgmt_vlan, sizeof t.mgmt_vlan, "%d", b.mgmt_vlan);
  return t;
}

void baset_texts_of(const uint8_t* reply, size_t size, bool v1, BaseTTexts* out) {
  const size_t room = std::min(size, v1 ? kBaseTStatsV1Size : kBaseTStatsSize);
  for (int i = 0; i < kBaseTProperties; ++i) {
    const uint32_t word = word_at(reply, room, 4u * kBaseTRows[i].word);
    char* text = out->values[i];
    const size_t n = sizeof out->values[i];
    switch (kBaseTRows[i].form) {
      case BaseTForm::kHex: std::snprintf(text, n, "0x%x", word); break;
      case BaseTForm::kSigned: std::snprintf(text, n, "%d", static_cast<int32_t>(word)); break;
      case BaseTForm::kUnsigned: std::snprintf(text, n, "%u", word); break;
      case BaseTForm::kFrames:
        if (v1) {
          const uint64_t high = word_at(reply, room, 4 * kFramesHighWord);
          std::snprintf(text, n, "%llu", static_cast<unsigned long long>((high << 32) | word));
        } else {
          std::snprintf(text, n, "%u", word);
        }
        break;
    }
  }
}

void fru_segment_text(const uint8_t* data, size_t size, size_t first, size_t count, char out[kValueSize]) {
  size_t used = 0;
  out[0] = '\0';
  for (size_t i = first; data != nullptr && i < size && i - first < count && used + 1 < kValueSize; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", data[i]);
    for (int d = 0; d < 2 && used + 1 < kValueSize; ++d) out[used++] = pair[d];
  }
  out[used] = '\0';
}

LinkSpeedText link_speed_text(uint32_t code) {
  for (const LinkSpeedRow& row : kLinkSpeeds) {
    if (row.code == code) return row.text;
  }
  return LinkSpeedText{nullptr, kAuto};
}

uint16_t link_speed_code(const char* mode, const char* speed) {
  for (const LinkSpeedRow& row : kLinkSpeeds) {
    if (row.code != 0 && ::strcasecmp(row.text.mode, mode) == 0 && ::strcasecmp(row.text.speed, speed) == 0) {
      return static_cast<uint16_t>(row.code);
    }
  }
  return 0;
}

bool is_auto_negotiate_speed(const char* speed) {
  for (const LinkSpeedRow& row : kLinkSpeeds) {
    if (std::strcmp(row.text.mode, kAuto) == 0 && ::strcasecmp(row.text.speed, speed) == 0) return true;
  }
  return false;
}

}  // namespace vx
