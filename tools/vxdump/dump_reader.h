// Reads a core-dump file (maintenance/core_dump_records.h): the segment instances with their
// headers, each compressed one inflated, and the closing record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maintenance/core_dump_records.h"

namespace vxdump {

struct Segment {
  vx::core_dump_segment_header header;
  std::string data;   // as the firmware returned it: inflated when the segment was compressed
};

struct Listing {
  std::vector<Segment> segments;
  vx::core_dump_record record;
};

// False with a reason for a file that breaks the layout: a header without its magic or of another
// size, data running past the end, a compressed segment that does not inflate to the length stored
// behind it, no closing record at the end, or a record whose count differs from the segments.
bool read_dump(const std::string& bytes, Listing* out, std::string* error);

}  // namespace vxdump
