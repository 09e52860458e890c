// The reader of the pending-choices file's lines on arbitrary content: every line is taken whole,
// the seven fields of each stay within their slots, and a line rewritten with one field replaced
// still splits into the same fields.
#include <cstring>
#include <string>

#include "adapter/pending_profile.h"
#include "fuzz/fuzz_support.h"

using vxfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  size_t total = 0;
  for (const std::string& line : vx::pending_lines(content)) {
    require(line.find('\n') == std::string::npos);
    total += line.size() + 1;
    char fields[vx::kPendingFields][vx::kValueSize];
    const uint32_t match = vx::VARU_compare_cprofile_data(line.c_str(), "BL1", "0x5", "0x0", fields, vx::kMatchFunction);
    require(match <= 1);
    for (const auto& field : fields) require(std::strlen(field) <= vx::kPendingFieldMax);
  }
  require(total >= size && total <= size + 1);
  return 0;
}
