// The event-log, loopback-test and cable-test replies on arbitrary bytes: records are read only
// within the reply and at most 1023 of them, every description is a bounded text, and the counters
// and pair results stay within their ranges.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "maintenance/diag_records.h"
#include "maintenance/event_records.h"

using vxfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vxfuzz::Reply reply(data, size);
  const uint8_t* bytes = reply.bytes();

  const uint32_t count = vx::event_record_count(bytes, size);
  require(count <= vx::kMaxEventRecords && (count == 0 || vx::kEventRecordsOffset + count * 64ull <= size));
  for (uint32_t i = 0; i < count; ++i) {
    const vx::eventlog_entry e = vx::event_record(bytes, size, i);
    char description[vx::kEventDescriptionSize];
    vx::event_description(e, description);
    require(std::strlen(description) < sizeof description && vx::event_severity_text(e.severity) != nullptr);
  }

  vx::loopback_test_record test{};
  if (size != 0) std::memcpy(&test, bytes, size < sizeof test ? size : sizeof test);
  const uint32_t loops = test.byte_count % 4097;
  const vx::DiagCounters c = vx::loopback_counters(loops, test.loop_count, test.pattern[0], test.source);
  require(c.send_errors >= 0 && c.send_errors <= loops && c.receive_errors <= loops &&
          c.total_complete >= -static_cast<int64_t>(loops) && c.total_test_cycles >= 0);

  vx::tdr_reply tdr{};
  if (size != 0) std::memcpy(&tdr, bytes, size < sizeof tdr ? size : sizeof tdr);
  for (int pair = 0; pair < 4; ++pair) require(vx::tdr_pair_result(tdr, pair) <= 15);
  return 0;
}
