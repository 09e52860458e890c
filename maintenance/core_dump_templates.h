// The segment templates of component 1 of a core dump, one per chip and one for test dumps. A row's
// index is its segment id; only rows that carry byte code are read, the others are passed over.
// The byte code is a list of 32-bit words the firmware interprets to gather one segment; the
// library sends it as it is. The words here are placeholders of the right counts: a real adapter
// would not understand them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// A row that carries byte code, at its segment id. Every row's flag 0 and starting offset are 0;
// its flag 1 is the template's.
struct CodedRow {
  const char* name;   // short chip name, segment id in four hex digits, name
  uint16_t segment;
  uint8_t dead;
  uint8_t live;
  uint8_t compress;
  uint32_t highest_instance;   // instances 0 to this are read
  uint32_t length;
  uint32_t word_count;         // byte-code words
};

struct SegmentTemplate {
  const char* name;
  uint32_t rows;           // rows in all, with byte code or without
  uint8_t flag1;           // 1 in the chip templates, 0 in the test template
  const CodedRow* coded;   // in ascending segment order
  size_t coded_count;
};

// Templates by ASIC type (2, 3, 5, 6) and the test template; NULL for another type.
const SegmentTemplate* chip_template(uint32_t asic_type);
const SegmentTemplate& test_template();
// Word `index` of a row's byte code.
uint32_t byte_code_word(const CodedRow& row, uint32_t index);
}  // namespace vx
