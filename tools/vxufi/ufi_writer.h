// Writes firmware image files from a small JSON description: UFI files of generations 2, 3 and 5
// and object files of generation 4, laid out as the plug-in reads them (maintenance/ufi.h).
//
//   {"generation": 3, "asic_revision": "0x11",
//    "components": [{"image_type": "0xA0", "fill": "0x5a"}, {"image_type": "0xE0", "bytes": "0011..."}]}
//
// The keys are listed in kDescriptionKeys below (vxufi --help prints them); examples/firmware/
// holds a description per generation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vxufi {

constexpr const char* kDescriptionKeys =
    "  generation        2, 3 or 5: a UFI file; 4: an object file\n"
    "UFI files:\n"
    "  asic_revision     the header's byte 96\n"
    "  image_ids         the image headers' ids ([1] when not given)\n"
    "  image_count       the header's count of images, when it must differ\n"
    "  entry_count       generation 5: the directory's count of entries, when it must differ\n"
    "  components        a list; each component gives its bytes and is placed by the fixed tables:\n"
    "    optype            generation 2: its region; generation 5: its optype (0xFFFF: from the image type)\n"
    "    image_type        generation 3: its table entry; generation 5: its image type\n"
    "    size              generation 5: its size\n"
    "    offset            generation 5: from the image data start (else the next 4 KiB boundary\n"
    "                      after the component before)\n"
    "    absent            generation 5: true for an entry whose bytes the file does not hold\n"
    "    bytes or fill     its bytes in hexadecimal, or a byte value that fills it to its size\n"
    "    crc               its last 4 bytes (else the CRC-32 of the bytes before them)\n"
    "Object files (generation 4):\n"
    "  size, bytes or fill, revision_name, date, revision\n"
    "  byte_order        \"swapped\": the header written in the other byte order\n"
    "Every file:\n"
    "  truncate          cuts the file to that many bytes\n"
    "A number is a JSON number or a text in any base (\"0x5a\").\n";

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
