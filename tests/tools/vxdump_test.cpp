// vxdump on dump files whose compressed segment does not hold what its stored length claims: the
// tool refuses them with a reason and exit status 1, whatever the claim, and lists a sound one.
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "maintenance/core_dump_records.h"
#include "support/test_support.h"
#include "tests/tools/tool_runner.h"

namespace vxtest {
namespace {

// vxdump on one file.
Ran vxdump(const std::string& file) { return run_tool("vxdump", "'" + file + "'"); }

// One compressed segment instance holding `stream` followed by the stored length `claim`, then the
// closing record.
std::string dump_of(const std::string& stream, uint32_t claim) {
  vx::core_dump_segment_header h{};
  h.magic = vx::kSegmentMagic;
  h.component = 1;
  h.compress = 1;
  h.header_size = sizeof h;
  h.data_length = static_cast<uint32_t>(stream.size() + sizeof claim);
  vx::core_dump_record r{};
  r.magic = vx::kRecordMagic;
  r.segments = 1;
  std::string bytes(reinterpret_cast<const char*>(&h), sizeof h);
  bytes += stream;
  bytes.append(reinterpret_cast<const char*>(&claim), sizeof claim);
  bytes.append(reinterpret_cast<const char*>(&r), sizeof r);
  return bytes;
}

std::string deflated(const std::string& data) {
  uLongf room = ::compressBound(data.size());
  std::string out(room, '\0');
  ::compress(reinterpret_cast<Bytef*>(&out[0]), &room, reinterpret_cast<const Bytef*>(data.data()), data.size());
  out.resize(room);
  return out;
}

TEST(Vxdump, ACompressedSegmentMustInflateToItsStoredLength) {
  TempRoot root;
  std::string data;
  for (int i = 0; i < 3000; ++i) data += static_cast<char>(i * 7 % 251);
  const std::string stream = deflated(data);
  const uint32_t size = static_cast<uint32_t>(data.size());
  struct Row {
    const char* what;
    std::string stream;
    uint32_t claim;
    int exit;
  } rows[] = {
      {"a 4 GiB claim", stream, 0xFFFFFFFFu, 1},
      {"a 2 GiB claim", stream, 0x80000000u, 1},
      {"one byte more", stream, size + 1, 1},
      {"one byte less", stream, size - 1, 1},
      {"a stream cut short", stream.substr(0, stream.size() - 10), size, 1},
      {"no stream", "", 0, 1},
      {"as stored", stream, size, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    root.write("/core.bin", dump_of(row.stream, row.claim));
    const Ran ran = vxdump(root.at("/core.bin"));
    EXPECT_EQ(ran.exit, row.exit) << ran.out << ran.err;
    if (row.exit == 0) {
      EXPECT_NE(ran.out.find("3000 bytes deflated"), std::string::npos) << ran.out;
    } else {
      EXPECT_NE(ran.err.find("a compressed segment does not inflate to its length at byte 64"), std::string::npos)
          << ran.err;
    }
  }
}

}  // namespace
}  // namespace vxtest
