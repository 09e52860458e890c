// vxdump's reader of core-dump files on arbitrary bytes: a file it takes is laid out whole (each
// header, its data, the closing record) with every compressed segment inflated to exactly the
// length stored behind it, and no stored length makes it claim memory the file cannot fill (the
// fuzzer's allocation limit stops a run that does).
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tools/vxdump/dump_reader.h"

using vxfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  vxdump::Listing listing;
  std::string error;
  if (!vxdump::read_dump(bytes, &listing, &error)) {
    require(!error.empty());
    return 0;
  }
  require(listing.record.segments == listing.segments.size());
  size_t at = 0;
  for (const vxdump::Segment& s : listing.segments) {
    at += sizeof s.header + s.header.data_length;
    require(at <= size);
    if (s.header.compress == 0) {
      require(s.data.size() == s.header.data_length);
      continue;
    }
    uint32_t stored = 0;
    require(s.header.data_length >= sizeof stored);
    std::memcpy(&stored, data + at - sizeof stored, sizeof stored);
    require(s.data.size() == stored);
  }
  require(at + sizeof listing.record == size);
  return 0;
}
