#include "adapter/profile_records.h"

#include <algorithm>
#include <cstring>

namespace vx {
namespace {

template <typename T>
T read_at(const uint8_t* data, size_t offset) {
  T v;
  std::memcpy(&v, data + offset, sizeof v);
  return v;
}

// Bytes a descriptor must have for the fields its type's readers take.
size_t needed_length(uint8_t type) {
  switch (type) {
    case kDescPciFunction: return 24;
    case kDescNic: return 56;
    case kDescIscsi: return 44;
    case kDescFcoe: return 64;
    case kDescRoce: return 8;
    case kDescPort: return 24;
    default: return 2;
  }
}

// Where each protocol descriptor keeps its MAC, link number, link-disabled byte and bandwidths.
struct ProtocolLayout {
  uint8_t type;
  size_t mac;
  size_t link;
  size_t disabled;
  size_t min_bandwidth;
  size_t max_bandwidth;
};
constexpr ProtocolLayout kLayouts[] = {
    {kDescNic, 10, 44, 45, 48, 52},
    {kDescIscsi, 14, 32, 33, 36, 40},
    {kDescFcoe, 40, 52, 53, 56, 60},
};

const ProtocolLayout* layout_of(const ResourceDescriptor& d) {
  for (const ProtocolLayout& l : kLayouts) {
    if (l.type == d.type) return &l;
  }
  return nullptr;
}

constexpr uint8_t kLinkMask = 0x3F;
constexpr uint16_t kPfMask = 0x3FF;
constexpr uint16_t kCountMask = 0x0FFF;
constexpr uint8_t kLinkDisabledBit = 0x02;

uint8_t byte_of(const ResourceDescriptor& d, uint8_t type, size_t offset) {
  return d.type == type ? d.bytes[offset] : 0;
}

void copy_text(const uint8_t* field, size_t width, char* out) {
  const size_t n = strnlen(reinterpret_cast<const char*>(field), width);
  std::memcpy(out, field, n);
  out[n] = '\0';
}

}  // namespace

uint16_t desc_pf_number(const ResourceDescriptor& d) {
  return d.type >= kDescPciFunction && d.type <= kDescRoce ? read_at<uint16_t>(d.bytes, 6) & kPfMask : 0;
}
bool desc_vf_template(const ResourceDescriptor& d) {
  return d.type >= kDescNic && d.type <= kDescRoce && (d.bytes[3] & 0x08) != 0;
}
uint8_t desc_sriov_state(const ResourceDescriptor& d) { return byte_of(d, kDescPciFunction, 12); }
uint8_t desc_pf_state(const ResourceDescriptor& d) { return byte_of(d, kDescPciFunction, 13); }
uint8_t desc_protocol(const ResourceDescriptor& d) { return byte_of(d, kDescPciFunction, 14); }
uint8_t desc_mission_roles(const ResourceDescriptor& d) { return byte_of(d, kDescPciFunction, 20); }
bool desc_sriov_state_chg(const ResourceDescriptor& d) { return (byte_of(d, kDescPciFunction, 23) & 0x10) != 0; }

const uint8_t* desc_mac(const ResourceDescriptor& d) {
  static const uint8_t kNone[6] = {};
  const ProtocolLayout* l = layout_of(d);
  return l != nullptr ? d.bytes + l->mac : kNone;
}
uint8_t desc_link_number(const ResourceDescriptor& d) {
  if (d.type == kDescPort) return d.bytes[4] & kLinkMask;
  const ProtocolLayout* l = layout_of(d);
  return l != nullptr ? d.bytes[l->link] & kLinkMask : 0;
}
bool desc_link_disabled(const ResourceDescriptor& d) {
  const ProtocolLayout* l = layout_of(d);
  return l != nullptr && (d.bytes[l->disabled] & kLinkDisabledBit) != 0;
}
uint32_t desc_min_bandwidth(const ResourceDescriptor& d) {
  const ProtocolLayout* l = layout_of(d);
  return l != nullptr ? read_at<uint32_t>(d.bytes, l->min_bandwidth) : 0;
}
uint32_t desc_max_bandwidth(const ResourceDescriptor& d) {
  const ProtocolLayout* l = layout_of(d);
  return l != nullptr ? read_at<uint32_t>(d.bytes, l->max_bandwidth) : 0;
}
uint16_t desc_lpvid(const ResourceDescriptor& d) { return d.type == kDescNic ? read_at<uint16_t>(d.bytes, 36) : 0; }
uint8_t desc_mc_type(const ResourceDescriptor& d) { return byte_of(d, kDescPort, 5); }

PortCounts desc_port_counts(const ResourceDescriptor& d) {
  if (d.type != kDescPort) return {};
  auto count = [&](size_t at) { return static_cast<uint16_t>(read_at<uint16_t>(d.bytes, at) & kCountMask); };
  return {count(12), count(14), count(16), count(18), count(20), count(22)};
}

size_t profile_descriptors(const uint8_t* reply, size_t size, ResourceDescriptor* out, size_t capacity) {
  if (reply == nullptr || size < kProfileReplyDescriptors) return 0;
  const uint16_t count = read_at<uint16_t>(reply, 0);
  size_t at = kProfileReplyDescriptors;
  size_t n = 0;
  for (uint16_t i = 0; i < count; ++i) {
    if (size - at < 2) break;
    const uint8_t type = reply[at];
    const uint8_t length = reply[at + 1];
    if (length == 0 || length < needed_length(type) || length > size - at) break;
    if (n < capacity) out[n] = {type, length, reply + at};
    ++n;
    at += length;
  }
  return n;
}

bool profile_reply_complete(const uint8_t* reply, size_t size) {
  return reply != nullptr && size >= kProfileReplyDescriptors &&
         profile_descriptors(reply, size, nullptr, 0) == read_at<uint16_t>(reply, 0);
}

size_t profile_list_count(const uint8_t* reply, size_t size) {
  if (reply == nullptr || size < 4) return 0;
  return std::min<size_t>(read_at<uint32_t>(reply, 0), (size - 4) / kProfileListEntry);
}

ProfileListEntry profile_list_entry(const uint8_t* reply, size_t size, size_t index) {
  ProfileListEntry e{};
  if (index >= profile_list_count(reply, size)) return e;
  const uint8_t* at = reply + 4 + kProfileListEntry * index;
  e.id = at[0];
  copy_text(at + 4, kProfileDescriptionSize - 1, e.description);
  return e;
}

size_t profile_capabilities(const uint8_t* reply, size_t size, uint8_t* types, size_t capacity) {
  if (reply == nullptr || size < 4) return 0;
  const uint32_t count = read_at<uint32_t>(reply, 0);
  size_t at = 4;
  size_t n = 0;
  for (uint32_t i = 0; i < count && n < capacity && size - at >= 2; ++i) {
    const uint8_t length = reply[at + 1];
    if (length < 2 || length > size - at) break;
    types[n++] = reply[at];
    at += length;
  }
  return n;
}

uint8_t link_config_active(const uint8_t* reply, size_t size) { return reply != nullptr && size > 0 ? reply[0] : 0; }
uint8_t link_config_next(const uint8_t* reply, size_t size) { return reply != nullptr && size > 2 ? reply[2] : 0; }

size_t link_config_count(const uint8_t* reply, size_t size) {
  if (reply == nullptr || size < 8) return 0;
  return std::min<size_t>(read_at<uint32_t>(reply, 4), (size - 8) / kLinkConfigEntry);
}

LinkConfigEntry link_config_entry(const uint8_t* reply, size_t size, size_t index) {
  LinkConfigEntry e{};
  if (index >= link_config_count(reply, size)) return e;
  const uint8_t* at = reply + 8 + kLinkConfigEntry * index;
  e.id = at[3];
  copy_text(at + 4, kLinkConfigDescriptionSize, e.description);
  return e;
}

LegacyFunction legacy_function(LegacyBlock block, const uint8_t* data, size_t size, uint16_t pf, bool* count_valid) {
  struct Shape {
    size_t entries;
    size_t stride;
    uint8_t kind;       // of a PCI function
    size_t pf_at;
    bool pf_is_u16;
    size_t state_at;
    size_t type_at;
  };
  static constexpr Shape kVx{kVxConfEntries, kVxConfEntry, 0, 4, false, 5, 6};
  static constexpr Shape kVxV1{kVxConfEntries, 68, 0, 4, false, 5, 6};
  static constexpr Shape kCommon{256, 72, 64, 6, true, 13, 14};
  const Shape& s = block == LegacyBlock::kVxConf ? kVx : block == LegacyBlock::kVxConfV1 ? kVxV1 : kCommon;
  LegacyFunction found{};
  if (count_valid != nullptr) *count_valid = false;
  if (data == nullptr || size < 4 + s.stride) return found;
  const uint32_t count = read_at<uint32_t>(data, 0);
  if (count_valid != nullptr) *count_valid = count <= s.entries;
  const size_t usable = std::min({static_cast<size_t>(count), s.entries, (size - 4) / s.stride});
  auto entry = [&](size_t i) {
    const uint8_t* e = data + 4 + s.stride * i;
    const uint16_t number = s.pf_is_u16 ? read_at<uint16_t>(e, s.pf_at) & kPfMask : e[s.pf_at];
    return LegacyFunction{true, number, e[s.state_at], e[s.type_at]};
  };
  for (size_t i = 0; i < usable; ++i) {
    if (data[4 + s.stride * i] == s.kind && entry(i).pf == pf) found = entry(i);
  }
  if (!found.present) {
    found = entry(0);
    found.present = false;
  }
  return found;
}

}  // namespace vx
