#include "adapter/nic_records.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "access/walks.h"

namespace vx {
namespace {

constexpr size_t kVfTableOffset = 16;
constexpr size_t kVfEntrySize = 16;
constexpr uint32_t kVfTableEntries = 60;
constexpr uint8_t kCommonPciFunction = 64;
constexpr size_t kCommonEntry = 72;
constexpr uint32_t kCommonMaxCount = 512;
constexpr size_t kCommonEntries = 256;
constexpr size_t kVxConfEntries = 16;
constexpr size_t kVxConfEntrySize = 52;
constexpr size_t kVxConfV1Entry = 68;
constexpr size_t kLegacySriovOffset = 12;
constexpr size_t kVxConfMacOffset = 8;

template <typename T>
T read_at(const uint8_t* data, size_t offset) {
  T v;
  std::memcpy(&v, data + offset, sizeof v);
  return v;
}

bool number_matches(uint32_t number, const char* function) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", number);
  return function != nullptr && ::strcasecmp(text, function) == 0;
}

// Entries that lie within `size`, at most `capacity`.
size_t usable_entries(size_t size, size_t stride, size_t capacity, uint32_t count) {
  const size_t fit = size < 4 ? 0 : (size - 4) / stride;
  size_t n = count < capacity ? count : capacity;
  return n < fit ? n : fit;
}

}  // namespace

std::optional<VfEntry> vf_entry(const uint8_t* table, size_t size, uint32_t count, uint32_t index) {
  if (table == nullptr || index >= count || index >= kVfTableEntries) return std::nullopt;
  const size_t at = kVfTableOffset + kVfEntrySize * index;
  if (size < at + kVfEntrySize) return std::nullopt;
  VfEntry e{};
  std::memcpy(e.mac, table + at, sizeof e.mac);
  e.vlan = read_at<uint16_t>(table, at + 6);
  e.qos = read_at<uint16_t>(table, at + 8);
  return e;
}

bool expansion_rom_enabled(const uint8_t* mapping, size_t size, uint32_t function, uint32_t generation) {
  if (mapping == nullptr || size < kExpansionRomBits + 4) return false;
  const uint32_t bit = generation == kGeneration2 || generation == kGeneration3 ? function & 7 : function & 255;
  return bit < 32 && (read_at<uint32_t>(mapping, kExpansionRomBits) & (1u << bit)) != 0;
}

const char* boot_method_text(const boot_config& r) { return r.method >= kBootMethodIbft ? "iBFT" : "PXE"; }

void mac_text(const uint8_t mac[6], char separator, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  std::snprintf(out, size, "%02x%c%02x%c%02x%c%02x%c%02x%c%02x", mac[0], separator, mac[1], separator, mac[2],
                separator, mac[3], separator, mac[4], separator, mac[5]);
}

bool bandwidth_text(uint8_t speed_code, uint32_t percent, char* out, size_t size) {
  static constexpr uint32_t kFactors[] = {1, 10, 20, 25, 40, 100};   // codes 3 to 8
  if (speed_code < 3 || speed_code > 8 || out == nullptr || size == 0) return false;
  const uint64_t product = static_cast<uint64_t>(kFactors[speed_code - 3]) * percent;
  if (product % 10 == 0) {
    std::snprintf(out, size, "%llu", static_cast<unsigned long long>(product / 10));
  } else {
    std::snprintf(out, size, "%.1f", static_cast<double>(product) / 10.0);
  }
  return true;
}

uint8_t mc_code_of(const char* text) {
  static constexpr struct {
    const char* name;
    uint8_t code;
  } kCodes[] = {{"None", 1}, {"ZMC", 2},   {"HPFlex", 3},    {"vNIC1", 4},  {"NPAR", 5},
                {"UFP", 6},  {"vNIC2", 7}, {"HPFlexQBG", 8}, {"HPZMC", 10}};
  for (const auto& c : kCodes) {
    if (text != nullptr && ::strcasecmp(text, c.name) == 0) return c.code;
  }
  return 0;
}

LegacySriov legacy_sriov(LegacySriovBlock block, const uint8_t* data, size_t size, const char* function) {
  LegacySriov out;
  if (data == nullptr || size < 4) return out;
  const uint32_t count = read_at<uint32_t>(data, 0);
  if (block == LegacySriovBlock::kCommonProfile) {
    if (count > kCommonMaxCount) {
      out.count_usable = false;
      return out;
    }
    for (size_t i = 0; i < usable_entries(size, kCommonEntry, kCommonEntries, count); ++i) {
      const uint8_t* e = data + 4 + kCommonEntry * i;
      if (e[0] == kCommonPciFunction && e[13] == 1 && e[14] == 1 &&
          number_matches(read_at<uint16_t>(e, 6) & 0x3FF, function)) {
        return LegacySriov{true, true, e[kLegacySriovOffset], 4 + kCommonEntry * i + kLegacySriovOffset};
      }
    }
    return out;
  }
  for (size_t i = 0; i < usable_entries(size, kVxConfV1Entry, kVxConfEntries, count); ++i) {
    const uint8_t* e = data + 4 + kVxConfV1Entry * i;
    if (e[0] == 0 && e[5] == 0 && e[6] == 0 && number_matches(e[4], function)) {
      return LegacySriov{true, true, e[kLegacySriovOffset], 4 + kVxConfV1Entry * i + kLegacySriovOffset};
    }
  }
  return out;
}

size_t vx_conf_mac_offset(const uint8_t* data, size_t size, uint32_t pf) {
  if (data == nullptr || size < 4) return 0;
  const uint32_t count = read_at<uint32_t>(data, 0);
  for (size_t i = 0; i < usable_entries(size, kVxConfEntrySize, kVxConfEntries, count); ++i) {
    const uint8_t* e = data + 4 + kVxConfEntrySize * i;
    if (e[0] == 0 && e[4] == pf) return 4 + kVxConfEntrySize * i + kVxConfMacOffset;
  }
  return 0;
}

}  // namespace vx
