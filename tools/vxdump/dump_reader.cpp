#include "tools/vxdump/dump_reader.h"

#include <zlib.h>

#include <cstring>

namespace vxdump {
namespace {

bool fail(std::string* error, const std::string& why, uint64_t at) {
  *error = why + " at byte " + std::to_string(at);
  return false;
}

// A zlib stream followed by the u32 length it inflates to. The stream is inflated piece by piece
// and never past that length, so the stored length claims no memory the data does not fill.
bool inflate_segment(const std::string& stored, std::string* out) {
  uint32_t length = 0;
  if (stored.size() < sizeof length) return false;
  std::memcpy(&length, stored.data() + stored.size() - sizeof length, sizeof length);
  out->clear();
  z_stream z{};
  if (::inflateInit(&z) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
  z.avail_in = static_cast<uInt>(stored.size() - sizeof length);
  char piece[1 << 16];
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(piece);
    z.avail_out = sizeof piece;
    rc = ::inflate(&z, Z_NO_FLUSH);
    const size_t produced = sizeof piece - z.avail_out;
    if ((rc != Z_OK && rc != Z_STREAM_END) || produced > length - out->size()) {
      rc = Z_DATA_ERROR;
      break;
    }
    out->append(piece, produced);
    if (rc == Z_OK && produced == 0) rc = Z_BUF_ERROR;   // the stream is cut short
  }
  ::inflateEnd(&z);
  return rc == Z_STREAM_END && out->size() == length;
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
