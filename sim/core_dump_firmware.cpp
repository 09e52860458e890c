// The core-dump commands of the simulated firmware (subsystem 11). The properties report the
// chip's state (controller_state), the configured versions, HQI interface word, ASIC id and
// component count; components and segments are those of the core_dump key. Segment data is
// generated: byte i of a segment's instance n is (i + n) & 0xFF. Component 1 is the template
// component: any segment of it returns the length asked (its byte code is not interpreted). The
// command line rides on the segment read (component 3, segment 0xFFFFFFFF).
#include <algorithm>
#include <cstring>

#include "maintenance/core_dump_records.h"
#include "sim/maintenance_firmware.h"

namespace vx::sim {
namespace {

constexpr uint32_t kAbsent = 1;   // component or segment status of one the firmware does not have
constexpr uint32_t kMinComponents = 2;

const CoreDumpComponent* component_of(const Adapter& a, uint32_t id) {
  for (const CoreDumpComponent& c : a.core_dump.components) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const CoreDumpSegment* segment_of(const CoreDumpComponent* c, uint32_t id) {
  if (c == nullptr) return nullptr;
  for (const CoreDumpSegment& s : c->segments) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

// Answers a segment read with `count` bytes of data (status word 0) or a status word alone.
Answer segment_reply(Command& c, uint32_t status, const uint8_t* data, uint32_t count) {
  const size_t room = c.payload.size() > kSegmentDataOffset ? c.payload.size() - kSegmentDataOffset : 0;
  count = static_cast<uint32_t>(std::min<size_t>(count, room));
  if (count > 0) c.payload.put(kSegmentDataOffset, data, count);
  c.payload.put_u32(0, status);
  c.payload.put_u32(4, count);
  Answer a;
  a.length = static_cast<uint32_t>(kSegmentDataOffset + count);
  return a;
}

Answer command_line(Command& c, uint32_t length) {
  const std::string text = c.payload.bytes(sizeof(coredump_seg_request), length);
  auto it = c.adapter.core_dump.cli.find(text);
  if (it == c.adapter.core_dump.cli.end() || it->second.unsupported) {
    return segment_reply(c, kCliUnsupported, nullptr, 0);
  }
  const std::string& bytes = it->second.bytes;
  return segment_reply(c, 0, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
}

}  // namespace

Answer get_coredump_props(Command& c) {
  const CoreDumpConfig& d = c.adapter.core_dump;
  uint32_t components = kMinComponents;
  for (const CoreDumpComponent& comp : d.components) components = std::max(components, comp.id + 1);
  coredump_props rec{};
  rec.low_version = d.low_version;
  rec.high_version = d.high_version;
  rec.chip_state = c.adapter.controller_dead ? 1 : 0;
  rec.hqi_intf = d.hqi_intf;
  rec.asic_id = d.asic_id;
  rec.components = d.component_count >= 0 ? static_cast<uint32_t>(d.component_count) : components;
  return answer_record(c, &rec, sizeof rec);
}

Answer get_coredump_comp_props(Command& c) {
  const CoreDumpComponent* comp = component_of(c.adapter, c.payload.u32(0));
  coredump_comp_props rec{0, comp != nullptr ? comp->status : kAbsent};
  if (comp != nullptr) {
    for (const CoreDumpSegment& s : comp->segments) rec.segments = std::max(rec.segments, s.id + 1);
  }
  return answer_record(c, &rec, sizeof rec);
}

Answer get_coredump_seg_props(Command& c) {
  const CoreDumpSegment* s = segment_of(component_of(c.adapter, c.payload.u32(0)), c.payload.u32(4));
  coredump_seg_props rec{};
  rec.status = kAbsent;
  if (s != nullptr) {
    rec.low_version = s->low_version;
    rec.high_version = s->high_version;
    rec.status = s->status;
    rec.highest_instance = s->highest_instance;
    rec.length = s->length;
  }
  return answer_record(c, &rec, sizeof rec);
}

Answer get_coredump_seg(Command& c) {
  if (c.payload.size() < sizeof(coredump_seg_request)) return kAnswerInvalidField;
  coredump_seg_request r{};
  std::memcpy(&r, c.payload.bytes(0, sizeof r).data(), sizeof r);
  if (r.component == kCliComponent && r.segment == kCliSegment) return command_line(c, r.word_count);
  uint32_t available = r.length;
  if (r.component != kNoTemplateComponent) {
    const CoreDumpSegment* s = segment_of(component_of(c.adapter, r.component), r.segment);
    if (s == nullptr) return segment_reply(c, kAbsent, nullptr, 0);
    available = std::min(r.length, s->length > r.offset ? s->length - r.offset : 0);
  }
  std::string data(std::min<size_t>(available, kSegmentPieceMax), '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((r.offset + i + r.instance) & 0xFF);
  return segment_reply(c, 0, reinterpret_cast<const uint8_t*>(data.data()), static_cast<uint32_t>(data.size()));
}

}  // namespace vx::sim
