// Flash regions of the simulated adapter, one per optype, kept in
// <state>/regions/<optype> so that a second process (or a test) reads what was flashed. A
// component arrives in chunks, operation 2 for each but the last and 1 for the last; the chunks
// are gathered in the process and the region is written when the last one arrives. With the
// offset flag off every chunk repeats the component's offset; with it on the offset advances by
// the chunk size: both place the chunk after the ones before it. Every chunk is noted in
// regions/chunks.log ("<pid> <optype> <operation> <offset word> <bytes>"), so a test can tell
// whose chunks came in which order.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "access/fw_commands.h"
#include "sim/maintenance_firmware.h"

namespace vx::sim {
namespace {

constexpr uint32_t kOperationLastChunk = 1;
constexpr uint32_t kOperationChunk = 2;
constexpr size_t kChunkHeader = sizeof(flashrom_request);
constexpr size_t kCrcAt = offsetof(FlashComponentRecord, crc);

// A component whose last chunk has not come yet.
struct Sequence {
  uint32_t start = 0;
  std::string bytes;
};
using SequenceKey = std::tuple<std::string, uint32_t>;   // adapter serial, optype
std::map<SequenceKey, Sequence>& sequences() {
  static auto* open = new std::map<SequenceKey, Sequence>;
  return *open;
}

std::string region_path(const Command& c, uint32_t optype) {
  return c.store.adapter_file(c.adapter.serial_number, "regions/" + std::to_string(optype));
}

Answer echo(const Command& c) {
  Answer a;
  a.length = c.payload.size();
  return a;
}

}  // namespace

Answer flash_write(Command& c) {
  const uint32_t operation = c.payload.u32(0);
  if (operation != kOperationLastChunk && operation != kOperationChunk) return echo(c);
  const uint32_t optype = c.payload.u32(4);
  const uint32_t size = c.payload.u32(8);
  const uint32_t offset = c.payload.u32(12);
  if (c.payload.size() < kChunkHeader || size > c.payload.size() - kChunkHeader) return kAnswerInvalidField;
  const SequenceKey key{c.adapter.serial_number, optype};
  auto configured = c.adapter.flash.write_answers.find(optype);
  if (configured != c.adapter.flash.write_answers.end() && configured->second.status != 0) {
    sequences().erase(key);   // the firmware gave the component up
    return Answer{configured->second.status, configured->second.additional, 0};
  }
  char note[96];
  std::snprintf(note, sizeof note, "%d %u %u %u %u\n", static_cast<int>(::getpid()), optype, operation, offset, size);
  c.store.append_line(c.store.adapter_file(c.adapter.serial_number, "regions/chunks.log"), note);
  auto it = sequences().find(key);
  if (it == sequences().end()) {
    it = sequences().emplace(key, Sequence{offset, std::string()}).first;
  } else if (offset != it->second.start && offset != it->second.start + it->second.bytes.size()) {
    sequences().erase(it);
    return kAnswerInvalidField;   // neither the repeated nor the advanced offset word
  }
  it->second.bytes += c.payload.bytes(kChunkHeader, size);
  if (operation == kOperationChunk) return echo(c);

  const Sequence done = std::move(it->second);
  sequences().erase(it);
  const bool ok = c.store.update(region_path(c, optype), [&](std::string& region, bool) {
    if (region.size() < done.start + done.bytes.size()) region.resize(done.start + done.bytes.size(), '\0');
    region.replace(done.start, done.bytes.size(), done.bytes);
    return true;
  });
  return ok ? echo(c) : kAnswerFlashFailure;
}

Answer flash_crc(Command& c) {
  if (c.payload.size() < sizeof(FlashComponentRecord)) return kAnswerInvalidField;
  const uint32_t optype = c.payload.u32(4);
  const uint32_t offset = c.payload.u32(12);
  auto refused = c.adapter.flash.crc_answers.find(optype);
  if (refused != c.adapter.flash.crc_answers.end() && refused->second != 0) return Answer{refused->second, 0, 0};
  std::string region;
  if (c.store.read(region_path(c, optype), &region) == file_store::ReadResult::kFailed) return kAnswerFlashFailure;
  uint32_t crc = 0;
  if (offset <= region.size() && region.size() - offset >= sizeof crc) {
    std::memcpy(&crc, region.data() + offset, sizeof crc);
  } else if (auto it = c.adapter.flash.crcs.find(optype); it != c.adapter.flash.crcs.end()) {
    crc = it->second;
  }
  c.payload.put_u32(kCrcAt, crc);
  Answer a;
  a.length = sizeof(FlashComponentRecord);
  return a;
}

void clear_flash_sequences() { sequences().clear(); }

}  // namespace vx::sim
