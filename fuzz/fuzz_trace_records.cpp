// The readers of the trace replies on arbitrary bytes: the ExtFAT record's module and mode walks,
// the snapshot, string-table and object-read replies. Nothing is read past the reply, every count
// is bounded by what the reply holds, and module names stay within their 32 bytes. A firmware that
// answers the ARM log with the input's counts, over and over, is stopped within the limits.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "maintenance/trace_records.h"

using vxfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vxfuzz::Reply reply(data, size);
  uint8_t* bytes = reply.copy.empty() ? nullptr : reply.copy.data();

  for (vx::ExtFatWalk walk : {vx::ExtFatWalk::kHandlers, vx::ExtFatWalk::kStartup}) {
    vx::ExtFatModule modules[vx::kMaxExtFatModules];
    const size_t n = vx::extfat_modules(bytes, size, walk, modules);
    require(n <= vx::kMaxExtFatModules);
    for (size_t i = 0; i < n; ++i) {
      require(std::strlen(modules[i].name) <= 32 && modules[i].modes_present <= modules[i].mode_count);
      require(modules[i].offset + sizeof(vx::extfat_module_entry) +
                  size_t{modules[i].modes_present} * sizeof(vx::extfat_mode_entry) <=
              size);
    }
  }
  for (uint32_t module = 0; module < 4; ++module) {
    for (uint32_t mode = 0; mode < 3; ++mode) {
      vx::extfat_mode_entry* e = vx::extfat_mode_at(bytes, size, module, mode);
      if (e != nullptr) {
        require(reinterpret_cast<uint8_t*>(e) >= bytes &&
                reinterpret_cast<uint8_t*>(e) + sizeof *e <= bytes + size);
        e->trace_level = 255;   // a write lands inside the record
      }
    }
  }
  require(size_t{vx::snapshot_entries(bytes, size)} * vx::kLogEntrySize + vx::kSnapshotEntries <= size ||
          vx::snapshot_entries(bytes, size) == 0);
  const uint32_t table = vx::string_table_bytes(bytes, size);
  require(table <= vx::kStringTableAsk && (table == 0 || table + vx::kStringTableData <= size));
  if (size >= sizeof(uint32_t)) {
    vx::ArmLogCount count;
    for (uint32_t i = 0;; ++i) {
      uint32_t n = 0;
      std::memcpy(&n, data + (size_t{i} * 4) % (size - size % 4), sizeof n);
      if (!count.add(n % (vx::kSnapshotAsk + 1))) break;
      require(i < vx::kMaxTraceReads && count.entries() <= vx::kMaxArmLogEntries);
    }
  }
  const uint32_t piece = vx::object_piece_bytes(bytes, size, vx::kObjectPiece);
  require(piece <= vx::kObjectPiece && (piece == 0 || piece + vx::kObjectReplyData <= size));
  return 0;
}
