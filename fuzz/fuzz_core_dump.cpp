// The readers of the firmware's core-dump replies on arbitrary bytes: the properties, a segment's
// instance count and the bytes a segment read gives never reach past what was asked for, and no
// count (components, segments, instances, lengths) takes a dump past its limits.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "maintenance/core_dump.h"

using vxfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < sizeof(vx::coredump_props) + sizeof(vx::coredump_seg_props) + 2 * sizeof(uint32_t) + 1) return 0;
  vx::coredump_props props{};
  std::memcpy(&props, data, sizeof props);
  const vx::DumpProperties read = vx::dump_properties(data[size - 1] & 3u, props);
  if ((data[size - 1] & 3u) == 1) require(read.chip_state == 1 && read.components == 7 && read.hqi_intf == 0);

  uint32_t type = 7;
  vx::VARU_get_asic_type(read.hqi_intf, &type, read.asic_id);
  require(type == 7 || (type >= 2 && type <= 6) || type == vx::kAsicTypeUnknown);

  require(vx::components_within(read) == (read.components <= vx::kMaxDumpComponents));

  vx::coredump_seg_props seg{};
  std::memcpy(&seg, data + sizeof props, sizeof seg);
  // The same words read as a component's properties: its segment count.
  vx::coredump_comp_props comp{};
  std::memcpy(&comp, data + sizeof props + 8, sizeof comp);
  require(vx::segments_within(comp) == (comp.segments <= vx::kMaxComponentSegments));
  // What is left of the dump's budget, from none to all of it.
  const uint64_t room = vx::kMaxDescribedBytes >> (data[size - 1] >> 2);
  uint32_t instances = 0xDEAD;
  if (vx::segment_instances(seg, room, &instances)) {
    require(instances <= vx::kMaxSegmentInstances && uint64_t{instances} * seg.length <= room);
    require(instances == 0 || seg.length <= vx::kMaxSegmentLength);
    require(seg.highest_instance < 0 ? instances == 0 : instances == uint64_t(seg.highest_instance) + 1);
  } else {
    require(instances == 0xDEAD && seg.highest_instance >= 0);
  }

  // A segment reply: status and bytes returned, then the data, at the reply's exact size.
  const vxfuzz::Reply reply(data + sizeof props + sizeof seg, size - sizeof props - sizeof seg - 1);
  uint32_t piece = 0;
  std::memcpy(&piece, data + sizeof props + 4, sizeof piece);
  const uint32_t bytes = vx::segment_reply_bytes(reply.bytes(), piece);
  require(bytes <= piece && bytes <= vx::kSegmentPieceMax);
  return 0;
}
