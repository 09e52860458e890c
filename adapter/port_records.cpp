// Bounded readers of the port-tree records.
#include "adapter/port_records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace vx {
namespace {

constexpr const char* kInterfaceTypes[] = {
    "CX4_10GB_TYPE",  "XFP_10GB_TYPE",   "SFP_1GB_TYPE", "SFP_PLUS_10GB_TYPE", "KR_10GB_TYPE",
    "KX4_10GB_TYPE",  "BASET_10GB_TYPE", "BASET_1000_TYPE", "BASEX_1000_TYPE", "SGMII_TYPE",
    "QSFP_TYPE",      "KR4_TYPE",        "KR2_TYPE",     "Not Supported",
};

// Speed bit i names kSpeedNames[i].
constexpr const char* kSpeedNames[] = {"10Mb", "100Mb", "1Gb", "10Gb", "20Gb", "40Gb"};

constexpr uint32_t kGeneration2Ports = 2;

}  // namespace

const char* interface_type_name(uint32_t type) {
  return type < std::size(kInterfaceTypes) ? kInterfaceTypes[type] : "N/A";
}

void speed_list_text(uint16_t bits, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  size_t used = 0;
  out[0] = '\0';
  for (size_t i = 0; i < std::size(kSpeedNames); ++i) {
    if ((bits & (1u << i)) == 0) continue;
    const int n = std::snprintf(out + used, size - used, "%s%s", used == 0 ? "" : ",", kSpeedNames[i]);
    if (n < 0 || static_cast<size_t>(n) >= size - used) {   // cut after the last whole name
      out[used] = '\0';
      break;
    }
    used += static_cast<size_t>(n);
  }
  if (used == 0) std::snprintf(out, size, "0");
}

phy_details phy_details_of(const uint8_t* reply, size_t size) {
  phy_details d{};
  if (reply != nullptr) std::memcpy(&d, reply, std::min(size, sizeof d));
  return d;
}

bool port_name_of(const uint8_t* reply, size_t size, uint32_t port, uint32_t generation, char out[2]) {
  const uint32_t known = generation == 2 ? kGeneration2Ports : kPortNameSize;
  if (reply == nullptr || port >= known || port >= size) return false;
  out[0] = static_cast<char>(reply[port]);
  out[1] = '\0';
  return true;
}

size_t app_tlv_entries(const uint8_t* record, size_t size, AppTlvEntry out[kDcbxAppEntries]) {
  if (record == nullptr || size <= offsetof(dcbx_cfg_params, app)) return 0;
  const size_t whole = std::min<size_t>((size - offsetof(dcbx_cfg_params, app)) / sizeof(dcbx_app_tlv), kDcbxAppEntries);
  size_t count = 0;
  for (size_t n = 0; n < whole; ++n) {
    dcbx_app_tlv e;
    std::memcpy(&e, record + offsetof(dcbx_cfg_params, app) + n * sizeof e, sizeof e);
    if (e.in_use != kDcbxEntryInUse) continue;
    AppTlvEntry& o = out[count++];
    o.entry = static_cast<uint8_t>(n);
    o.selector = e.selector;
    o.protocol_id = e.protocol_id;
    o.oui = e.oui;
    o.priority_bitmap = 0;
    for (int k = 0; k < 8; ++k) {
      if (e.priority[k] != 0) o.priority_bitmap = static_cast<uint8_t>(o.priority_bitmap | (1u << k));
    }
  }
  return count;
}

}  // namespace vx
