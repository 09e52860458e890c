#include "iscsi/target_lists.h"

#include <cstring>

#include "iscsi/lookups.h"
#include "iscsi/records.h"
#include "iscsi/validators.h"

namespace vx {
namespace {

template <typename T>
T read_at(const uint8_t* data, size_t offset) {
  T v;
  std::memcpy(&v, data + offset, sizeof v);
  return v;
}

bool fits(size_t size, size_t offset, size_t length) { return offset <= size && size - offset >= length; }

// A name that fills its whole field has lost its end: no name at all.
std::string name_at(const uint8_t* field) {
  const std::string name = field_text(reinterpret_cast<const char*>(field), kIscsiNameSize);
  return name.size() < kIscsiNameSize ? name : std::string();
}

ListedPortal portal_of(const uint8_t* address, uint8_t type, uint32_t port, uint32_t tag) {
  char text[64];
  ipaddr_to_string(address, text, sizeof text, type);
  return ListedPortal{text, std::to_string(port), std::to_string(tag)};
}

}  // namespace

std::vector<ListedTarget> read_target_list(const uint8_t* data, size_t size, size_t limit, uint32_t* count) {
  std::vector<ListedTarget> out;
  if (count != nullptr) *count = 0;
  if (data == nullptr || !fits(size, 0, kTargetListHeader)) return out;
  const uint32_t claimed = read_at<uint32_t>(data, 0);
  if (count != nullptr) *count = claimed;
  size_t at = kTargetListHeader;
  for (uint32_t i = 0; i < claimed && out.size() < limit; ++i) {
    if (!fits(size, at, kTargetEntryHeader)) break;
    const uint32_t addresses = read_at<uint32_t>(data, at);
    const size_t slots = addresses == 0 ? 1 : addresses;
    // An entry is taken only when all of it arrived; a count that no buffer can hold ends the list.
    if (slots > (size - at - kTargetEntryHeader) / sizeof(target_list_address)) break;
    ListedTarget t;
    t.name = name_at(data + at + 4);
    for (uint32_t a = 0; a < addresses; ++a) {
      target_list_address e;
      std::memcpy(&e, data + at + kTargetEntryHeader + a * sizeof e, sizeof e);
      t.portals.push_back(portal_of(e.address, e.type, e.port, e.group_tag));
    }
    out.push_back(std::move(t));
    at += kTargetEntryHeader + slots * sizeof(target_list_address);
  }
  return out;
}

bool read_target_record(const uint8_t* data, size_t size, ListedTarget* out) {
  *out = ListedTarget{};
  if (data == nullptr || !fits(size, kTargetRecordName, kIscsiNameSize)) return false;
  out->name = name_at(data + kTargetRecordName);
  if (fits(size, kTargetRecordAlias, kAliasSize)) {
    out->alias = field_text(reinterpret_cast<const char*>(data + kTargetRecordAlias), kAliasSize - 1);
  }
  if (!fits(size, kTargetRecordGroupCount, 4)) return true;
  const uint32_t groups = read_at<uint32_t>(data, kTargetRecordGroupCount);
  for (uint32_t g = 0; g < groups; ++g) {
    const size_t group = kTargetRecordGroupStride * g;
    if (!fits(size, kTargetRecordPortalCount + group, 2)) break;
    const uint16_t tag = read_at<uint16_t>(data, kTargetRecordGroupTag + group);
    const uint16_t portals = read_at<uint16_t>(data, kTargetRecordPortalCount + group);
    for (uint16_t p = 0; p < portals; ++p) {
      const size_t base = group + kTargetRecordPortalStride * p;
      if (!fits(size, base + kTargetRecordPortalPort, 2)) return true;
      out->portals.push_back(portal_of(data + base + kTargetRecordPortalAddress,
                                       data[base + kTargetRecordPortalType],
                                       read_at<uint16_t>(data, base + kTargetRecordPortalPort), tag));
    }
  }
  return true;
}

}  // namespace vx
