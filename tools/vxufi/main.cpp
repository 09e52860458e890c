// vxufi: writes a firmware image file from a JSON description (tools/vxufi/ufi_writer.h).
//
//   vxufi DESCRIPTION.json OUTPUT     writes OUTPUT and lists where each component landed
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/vxufi/ufi_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vxufi DESCRIPTION.json OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "vxufi: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  vxufi::Written written;
  std::string error;
  if (!vxufi::write_file(text.str(), argv[2], &written, &error)) {
    std::fprintf(stderr, "vxufi: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu bytes\n", argv[2], written.bytes.size());
  for (const vxufi::Placed& p : written.placed) {
    std::printf("  optype %u image type 0x%x at %" PRIu64 ", %u bytes\n", p.optype, p.image_type, p.file_offset,
                p.size);
  }
  return 0;
}
