#include "tools/vxdump/dump_reader.h"

#include <zlib.h>

#include <cstring>

namespace vxdump {
namespace {

bool fail(std::string* error, const std::string& why, uint64_t at) {
  *error = why + " at byte " + std::to_string(at);
  return false;
}

// A zlib stream followed by the u32 length it inflates to.
bool inflate_segment(const std::string& stored, std::string* out) {
  uint32_t length = 0;
  if (stored.size() < sizeof length) return false;
  std::memcpy(&length, stored.data() + stored.size() - sizeof length, sizeof length);
  out->assign(length, '\0');
  uLongf produced = length;
  const int rc = ::uncompress(reinterpret_cast<Bytef*>(&(*out)[0]), &produced,
                              reinterpret_cast<const Bytef*>(stored.data()), stored.size() - sizeof length);
  return rc == Z_OK && produced == length;
}

}  // namespace

bool read_dump(const std::string& bytes, Listing* out, std::string* error) {
  *out = Listing{};
  uint64_t at = 0;
  while (bytes.size() - at > sizeof(vx::core_dump_record)) {
    Segment s;
    if (bytes.size() - at < sizeof s.header) return fail(error, "a segment header is cut", at);
    std::memcpy(&s.header, bytes.data() + at, sizeof s.header);
    if (s.header.magic != vx::kSegmentMagic) return fail(error, "no segment magic", at);
    if (s.header.header_size != sizeof s.header) return fail(error, "a segment header of another size", at);
    at += sizeof s.header;
    if (bytes.size() - at < s.header.data_length) return fail(error, "segment data runs past the end", at);
    s.data = bytes.substr(at, s.header.data_length);
    if (s.header.compress != 0 && !inflate_segment(bytes.substr(at, s.header.data_length), &s.data)) {
      return fail(error, "a compressed segment does not inflate to its length", at);
    }
    at += s.header.data_length;
    out->segments.push_back(std::move(s));
  }
  if (bytes.size() - at != sizeof out->record) return fail(error, "no closing record", at);
  std::memcpy(&out->record, bytes.data() + at, sizeof out->record);
  if (out->record.magic != vx::kRecordMagic) return fail(error, "no record magic", at);
  if (out->record.segments != out->segments.size()) {
    return fail(error, "the record counts " + std::to_string(out->record.segments) + " segments, the file holds " +
                           std::to_string(out->segments.size()), at);
  }
  return true;
}

}  // namespace vxdump
