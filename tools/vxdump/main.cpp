// vxdump: checks a core-dump file and lists its segments and its closing record.
//
//   vxdump FILE     one line per segment instance, then the record; exit status 1 when the file
//                   cannot be read or breaks the layout (the reason on stderr)
//   vxdump --help   the usage
// Exit status 2 for a command line not understood.
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/vxdump/dump_reader.h"

namespace {

std::string text_of(const char* field, size_t size) {
  std::string s(field, size);
  return s.substr(0, s.find('\0'));
}

constexpr const char* kSynopsis = "usage: vxdump FILE";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("%s\nChecks a core-dump file as RetrieveBrightlaneCoreDump writes it and lists one line per\n"
                "segment instance, then the closing record. Exit status: 0; 1 when the file cannot be read\n"
                "or breaks the layout (the reason on standard error); 2 for a command line not understood.\n",
                kSynopsis);
    return 0;
  }
  // A file named like an option is given as ./-name.
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "%s\n(vxdump --help says more)\n", kSynopsis);
    return 2;
  }
  vxdump::Listing listing;
  std::string error;
  bool read = false;
  // A file too large for memory is a file this tool cannot check: a failure, never an abort.
  try {
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    read = in && vxdump::read_dump(bytes.str(), &listing, &error);
    if (!in) error = "cannot read";
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!read) {
    std::fprintf(stderr, "vxdump: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  for (const vxdump::Segment& s : listing.segments) {
    const vx::core_dump_segment_header& h = s.header;
    std::printf("segment component %u id 0x%04x instance %u: %u bytes%s, stored %u, status 0x%x, flags %u/%u, "
                "function %u, %u ms\n",
                h.component, h.segment, h.instance, static_cast<unsigned>(s.data.size()),
                h.compress != 0 ? " deflated" : "", h.data_length, h.segment_status, h.flag0, h.flag1,
                h.pci_function, h.milliseconds);
  }
  const vx::core_dump_record& r = listing.record;
  std::printf("record: %u segments, chip %s, string \"%s\", hqi 0x%08x, ASIC 0x%x, versions %u.%u, %s\n", r.segments,
              r.chip_state != 0 ? "dead" : "running", text_of(r.dump_string, sizeof r.dump_string).c_str(), r.hqi_intf,
              r.asic_id, r.low_version, r.high_version,
              r.failed != 0 ? "a segment read failed" : "every read answered");
  std::printf("host \"%s\", %s %u.%u, started %04u-%02u-%02u %02u:%02u:%02u\n",
              text_of(r.host_name, sizeof r.host_name).c_str(), text_of(r.os_text, sizeof r.os_text).c_str(),
              r.os_major, r.os_minor, r.start.year, r.start.month, r.start.day, r.start.hour, r.start.minute,
              r.start.second);
  return 0;
}
