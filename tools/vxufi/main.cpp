// vxufi: writes a firmware image file from a JSON description (tools/vxufi/ufi_writer.h).
//
//   vxufi DESCRIPTION.json OUTPUT     writes OUTPUT and lists where each component landed
//   vxufi --help                      the usage and the description's keys
// Exit status: 0; 1 when a file cannot be read or written or the description breaks a rule; 2 for
// a command line not understood.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/vxufi/ufi_writer.h"

namespace {

constexpr const char* kSynopsis = "usage: vxufi DESCRIPTION.json OUTPUT";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("%s\nWrites the firmware image file OUTPUT from a JSON description and lists where each component\n"
                "landed. examples/firmware/ holds a description per generation. The description's keys:\n%s"
                "Exit status: 0; 1 when a file cannot be read or written or the description breaks a rule;\n"
                "2 for a command line not understood.\n",
                kSynopsis, vxufi::kDescriptionKeys);
    return 0;
  }
  // A file named like an option is given as ./-name.
  const bool option = (argc > 1 && argv[1][0] == '-') || (argc > 2 && argv[2][0] == '-');
  if (argc != 3 || option) {
    std::fprintf(stderr, "%s\n(vxufi --help lists the description's keys)\n", kSynopsis);
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
