#include "maintenance/trace_records.h"

#include <algorithm>
#include <cstring>

namespace vx {
namespace {

uint32_t u32_at(const uint8_t* bytes, size_t size, size_t offset) {
  uint32_t v = 0;
  if (bytes != nullptr && offset <= size && size - offset >= sizeof v) std::memcpy(&v, bytes + offset, sizeof v);
  return v;
}

constexpr uint32_t kStartupMaxModes = 4;

}  // namespace

uint32_t object_piece_bytes(const uint8_t* reply, size_t size, uint32_t asked) {
  if (size < kObjectReplyData) return 0;
  return static_cast<uint32_t>(
      std::min<uint64_t>({u32_at(reply, size, 0) & kObjectLengthMask, asked, size - kObjectReplyData}));
}

uint64_t function_mask_of(const extfat_mode_entry& e) {
  return static_cast<uint64_t>(e.function_mask[1]) << 32 | e.function_mask[0];
}

void set_function_mask(extfat_mode_entry* e, uint64_t mask) {
  e->function_mask[0] = static_cast<uint32_t>(mask);
  e->function_mask[1] = static_cast<uint32_t>(mask >> 32);
}

size_t extfat_modules(const uint8_t* record, size_t size, ExtFatWalk walk, ExtFatModule out[kMaxExtFatModules]) {
  if (record == nullptr || size < sizeof(extfat_capabilities)) return 0;
  extfat_capabilities head;
  std::memcpy(&head, record, sizeof head);
  size_t at = sizeof head;
  size_t n = 0;
  while (n < head.module_count && n < kMaxExtFatModules && size - at >= sizeof(extfat_module_entry)) {
    extfat_module_entry e;
    std::memcpy(&e, record + at, sizeof e);
    ExtFatModule& m = out[n++];
    m.offset = at;
    const size_t name = strnlen(e.name, sizeof e.name);
    std::memcpy(m.name, e.name, name);
    m.name[name] = '\0';
    m.id = e.module_id;
    m.mode_count = e.mode_count;
    const size_t room = (size - at - sizeof e) / sizeof(extfat_mode_entry);
    m.modes_present = static_cast<uint32_t>(std::min<size_t>(e.mode_count, room));
    if (walk == ExtFatWalk::kStartup && e.mode_count > kStartupMaxModes) {
      m.modes_present = 0;
      break;
    }
    if (walk == ExtFatWalk::kStartup && e.mode_count == 0) break;
    // A module without modes still takes one mode entry's room.
    const uint64_t step = sizeof e + uint64_t{sizeof(extfat_mode_entry)} * std::max<uint32_t>(e.mode_count, 1);
    if (step > size - at) break;
    at += static_cast<size_t>(step);
  }
  return n;
}

extfat_mode_entry* extfat_mode_at(uint8_t* record, size_t size, uint32_t module, uint32_t mode) {
  ExtFatModule modules[kMaxExtFatModules];
  const size_t count = extfat_modules(record, size, ExtFatWalk::kHandlers, modules);
  if (module >= count || mode >= modules[module].modes_present) return nullptr;
  return reinterpret_cast<extfat_mode_entry*>(record + modules[module].offset + sizeof(extfat_module_entry) +
                                              mode * sizeof(extfat_mode_entry));
}

const char* logging_type_text(uint8_t type) {
  switch (type) {
    case 0:
      return "synchronous";
    case 1:
      return "asynchronous";
    default:
      return "Unknown";
  }
}

const char* supported_modes_text(uint32_t modes) {
  switch (modes & 3u) {
    case 1:
      return "UART";
    case 2:
      return "RAM";
    case 3:
      return "UART,RAM";
    default:
      return "Unknown";
  }
}

const char* mode_name(uint8_t mode) {
  static constexpr const char* kNames[] = {"UART", "RAM", "NVRAM", "TFTP"};
  return mode < sizeof kNames / sizeof kNames[0] ? kNames[mode] : nullptr;
}

bool mask_within(uint64_t mask, uint32_t bits) { return bits >= 64 || mask <= (uint64_t{1} << bits) - 1; }

uint32_t string_table_bytes(const uint8_t* reply, size_t size) {
  if (size < kStringTableData) return 0;
  return static_cast<uint32_t>(
      std::min<uint64_t>({u32_at(reply, size, 0), kStringTableAsk, size - kStringTableData}));
}

uint32_t string_table_remaining(const uint8_t* reply, size_t size) { return u32_at(reply, size, 4); }

uint32_t snapshot_entries(const uint8_t* reply, size_t size) {
  if (size < kSnapshotEntries) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(u32_at(reply, size, 0), (size - kSnapshotEntries) / kLogEntrySize));
}

bool ArmLogCount::add(uint32_t entries) {
  ++reads_;
  entries_ += entries;
  return reads_ <= kMaxTraceReads && entries_ <= kMaxArmLogEntries;
}

}  // namespace vx
