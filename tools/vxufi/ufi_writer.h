// Writes firmware image files from a small JSON description: UFI files of generations 2, 3 and 5
// and object files of generation 4, laid out as the plug-in reads them (maintenance/ufi.h).
//
//   {"generation": 3, "asic_revision": "0x11",
//    "components": [{"image_type": "0xA0", "fill": "0x5a"}, {"image_type": "0xE0", "bytes": "0011..."}]}
//
// Keys: "generation" 2, 3, 5 or 4. UFI files: "asic_revision" (header byte 96), "image_ids" (the
// image headers' ids, [1] by default), "image_count" (the header's count, when it must differ),
// "entry_count" (generation 5: the directory's count, when it must differ). A component gives its
// bytes ("bytes" in hexadecimal, or "fill" a byte value, up to its size) and is placed by the
// fixed tables: generation 2 by "optype", generation 3 by "image_type"; generation 5 takes
// "image_type", "optype" (0xFFFF: from the image type), "size" and an optional "offset" (from the
// image data start; else the next 4 KiB boundary after the one before) and "absent": true for an
// entry whose bytes the file does not hold. The last 4 bytes of every
// component are its CRC: "crc" when given, else the CRC-32 of the bytes before it. Generation 4:
// "size", "bytes" or "fill", "revision_name", "date", "revision" and "byte_order": "swapped" for
// a header written in the other byte order. Every file: "truncate" cuts it to that many bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vxufi {

// Where a component landed in the file.
struct Placed {
  uint32_t optype;
  uint32_t image_type;
  uint64_t file_offset;
  uint32_t size;
};

struct Written {
  std::string bytes;            // the whole file
  std::vector<Placed> placed;   // in the order of the description
};

// False with a one-line reason for a description that breaks a rule.
bool build_file(const std::string& description, Written* out, std::string* error);
// build_file, then the bytes to `path`.
bool write_file(const std::string& description, const std::string& path, Written* out, std::string* error);

}  // namespace vxufi
