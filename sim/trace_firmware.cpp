// The firmware's trace data and event log: FAT bytes, the ExtFAT record, the ARM log's entries and
// string table, and the event records. FAT byte i and string-table byte i are i & 0xFF; log entry k
// carries k in its first word.
#include <algorithm>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/diag_firmware.h"

namespace vx::sim {
namespace {

using json = nlohmann::json;

constexpr uint32_t kFatReadPiece = 0;
constexpr uint32_t kFatSize = 1;
constexpr uint32_t kFatClear = 2;
constexpr size_t kFatData = 16;
constexpr size_t kFatExtra = 20;
constexpr uint32_t kSnapshotFlash = 1;
constexpr size_t kLogEntry = 64;
constexpr size_t kEventRecord = 64;
constexpr size_t kEventRecords = 8;
constexpr uint32_t kRecordSelectorCurrent = 1;

std::string diag_state_file(const Command& c) { return c.store.adapter_file(c.adapter.serial_number, "records/diagnostics"); }

bool parse_diag_state(const std::string& text, DiagState* out) {
  *out = DiagState{};
  if (text.empty()) return true;
  try {
    const json j = json::parse(text);
    out->fat_cleared = j.at("fat_cleared").get<bool>();
    out->event_log_cleared = j.at("event_log_cleared").get<bool>();
    out->extfat = from_hex(j.at("extfat").get<std::string>());
    out->loopback = j.at("loopback").get<std::array<int64_t, kMaxPorts>>();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

template <typename T>
void put_at(std::vector<uint8_t>& rec, size_t offset, T value) {
  std::memcpy(rec.data() + offset, &value, sizeof value);
}

// The ExtFAT record the configuration describes. A module with no mode takes one empty mode
// entry's room, as the firmware lays it out.
std::vector<uint8_t> default_extfat(const ExtFatConfig& x, size_t size) {
  std::vector<uint8_t> rec(size, 0);
  put_at<uint32_t>(rec, 0, x.max_log_entries);
  put_at<uint32_t>(rec, 4, x.log_entry_size);
  rec[8] = x.logging_type;
  rec[9] = x.max_functions;
  rec[10] = x.max_ports;
  put_at<uint32_t>(rec, 12, x.modes);
  put_at<uint32_t>(rec, 16, static_cast<uint32_t>(x.modules.size()));
  size_t at = 20;
  for (const ExtFatModuleConfig& m : x.modules) {
    if (at + 40 + 16 * std::max<size_t>(m.modes.size(), 1) > size) break;
    std::memcpy(rec.data() + at, m.name.data(), std::min<size_t>(m.name.size(), 31));
    put_at<uint32_t>(rec, at + 32, m.id);
    put_at<uint32_t>(rec, at + 36, static_cast<uint32_t>(m.modes.size()));
    at += 40;
    for (const ExtFatModeConfig& mode : m.modes) {
      rec[at] = mode.mode;
      put_at<uint16_t>(rec, at + 2, mode.port_mask);
      put_at<uint32_t>(rec, at + 4, mode.level);
      put_at<uint64_t>(rec, at + 8, mode.function_mask);
      at += 16;
    }
    if (m.modes.empty()) at += 16;
  }
  return rec;
}

// A change of the state, answered with the request's length (a flash failure when it cannot be kept).
Answer change_diag_state(Command& c, const std::function<void(DiagState&)>& edit) {
  if (!update_diag_state(c, [&](DiagState& d) {
        edit(d);
        return true;
      })) {
    return kAnswerFlashFailure;
  }
  Answer a;
  a.length = c.payload.size();
  return a;
}

}  // namespace

bool read_diag_state(const Command& c, DiagState* out) {
  std::string text;
  const file_store::ReadResult got = c.store.read(diag_state_file(c), &text);
  if (got == file_store::ReadResult::kFailed) return false;
  if (got == file_store::ReadResult::kMissing) text.clear();
  return parse_diag_state(text, out);
}

bool update_diag_state(const Command& c, const std::function<bool(DiagState&)>& edit) {
  return c.store.update(diag_state_file(c), [&](std::string& content, bool) {
    DiagState s;
    if (!parse_diag_state(content, &s) || !edit(s)) return false;
    content = json{{"fat_cleared", s.fat_cleared},
                   {"event_log_cleared", s.event_log_cleared},
                   {"extfat", to_hex(s.extfat)},
                   {"loopback", s.loopback}}
                  .dump();
    return true;
  });
}

Answer fat_command(Command& c) {
  DiagState s;
  if (!read_diag_state(c, &s)) return kAnswerFlashFailure;
  const uint32_t size = s.fat_cleared ? 0 : c.adapter.diag.fat_size;
  const uint32_t offset = c.payload.u32(4);
  const uint32_t length = c.payload.u32(8);
  Answer a;
  a.length = c.payload.size();
  switch (c.payload.u32(0)) {
    case kFatSize:
      c.payload.put_u32(0, size);
      return a;
    case kFatClear:
      return change_diag_state(c, [](DiagState& d) { d.fat_cleared = true; });
    case kFatReadPiece:
      if (offset > size || length > size - offset || c.payload.size() < kFatExtra + length) return kAnswerInvalidField;
      for (uint32_t i = 0; i < length; ++i) {
        const auto byte = static_cast<uint8_t>((offset + i) & 0xFF);
        c.payload.put(kFatData + i, &byte, 1);
      }
      return a;
    default:
      return kAnswerInvalidField;
  }
}

Answer get_extfat(Command& c) {
  DiagState s;
  if (!read_diag_state(c, &s)) return kAnswerFlashFailure;
  std::vector<uint8_t> rec = default_extfat(c.adapter.diag.extfat, c.payload.size());
  if (c.payload.u32(0) == kRecordSelectorCurrent && !s.extfat.empty()) {
    std::fill(rec.begin(), rec.end(), 0);
    std::memcpy(rec.data(), s.extfat.data(), std::min(rec.size(), s.extfat.size()));
  }
  return answer_record(c, rec.data(), rec.size());
}

Answer set_extfat(Command& c) {
  const std::string rec = c.payload.bytes(0, c.payload.size());
  return change_diag_state(c, [&](DiagState& d) { d.extfat = rec; });
}

Answer configure_snapshot(Command& c) {
  c.payload.put_u32(0, c.adapter.diag.extfat.ram_entries);
  Answer a;
  a.length = sizeof(uint32_t);
  return a;
}

Answer retrieve_snapshot(Command& c) {
  const ExtFatConfig& x = c.adapter.diag.extfat;
  const uint32_t total = c.payload.u32(0) == kSnapshotFlash ? x.flash_entries : x.ram_entries;
  const uint32_t first = c.payload.u32(4);
  const size_t room = c.payload.size() < 4 ? 0 : (c.payload.size() - 4) / kLogEntry;
  const uint32_t n = static_cast<uint32_t>(
      std::min<uint64_t>({c.payload.u32(8), first < total ? total - first : 0, room}));
  std::vector<uint8_t> entry(kLogEntry, 0);
  for (uint32_t i = 0; i < n; ++i) {
    put_at<uint32_t>(entry, 0, first + i);
    c.payload.put(4 + i * kLogEntry, entry.data(), entry.size());
  }
  c.payload.put_u32(0, n);
  Answer a;
  a.length = static_cast<uint32_t>(4 + n * kLogEntry);
  return a;
}

Answer read_string_table(Command& c) {
  const uint32_t size = c.adapter.diag.extfat.string_table_size;
  const uint32_t offset = c.payload.u32(0);
  const size_t room = c.payload.size() < 8 ? 0 : c.payload.size() - 8;
  const uint32_t n = static_cast<uint32_t>(
      std::min<uint64_t>({c.payload.u32(4), offset < size ? size - offset : 0, room}));
  for (uint32_t i = 0; i < n; ++i) {
    const auto byte = static_cast<uint8_t>((offset + i) & 0xFF);
    c.payload.put(8 + i, &byte, 1);
  }
  c.payload.put_u32(0, n);
  c.payload.put_u32(4, offset < size ? size - offset - n : 0);
  Answer a;
  a.length = 8 + n;
  return a;
}

Answer get_event_log(Command& c) {
  DiagState s;
  if (!read_diag_state(c, &s)) return kAnswerFlashFailure;
  const std::vector<EventConfig> none;
  const std::vector<EventConfig>& events = s.event_log_cleared ? none : c.adapter.diag.event_log;
  std::vector<uint8_t> rec(kEventRecords + kEventRecord * events.size(), 0);
  put_at<uint32_t>(rec, 4, static_cast<uint32_t>(events.size()));
  for (size_t i = 0; i < events.size(); ++i) {
    const EventConfig& e = events[i];
    const size_t at = kEventRecords + kEventRecord * i;
    put_at<uint16_t>(rec, at, e.code);
    put_at<uint32_t>(rec, at + 4, e.time);
    put_at<uint32_t>(rec, at + 8, e.sequence);
    put_at<uint16_t>(rec, at + 12, e.severity);
    for (size_t k = 0; k < e.args.size(); ++k) put_at<uint32_t>(rec, at + 16 + 4 * k, e.args[k]);
    if (!e.text.empty()) std::memcpy(rec.data() + at + 16, e.text.data(), e.text.size());
  }
  return answer_record(c, rec.data(), rec.size());
}

Answer clear_event_log(Command& c) {
  return change_diag_state(c, [](DiagState& d) { d.event_log_cleared = true; });
}

}  // namespace vx::sim
