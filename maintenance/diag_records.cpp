#include "maintenance/diag_records.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vx {
namespace {

void dump(const uint8_t* data, size_t count, size_t width, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  out[0] = '\0';
  size_t used = 0;
  for (size_t i = 0; i < count && used + 1 < size; ++i) {
    if (i != 0 && i % 16 == 0) {
      out[used++] = '\n';
      out[used] = '\0';
    }
    uint32_t value = 0;
    std::memcpy(&value, data + i * width, width);
    const int n = std::snprintf(out + used, size - used, width == 1 ? "%02x " : "%08x ", value);
    if (n < 0) break;
    used += static_cast<size_t>(n) < size - used ? static_cast<size_t>(n) : size - used - 1;
  }
}

}  // namespace

DiagCounters loopback_counters(uint32_t loops, uint32_t sent_ok, uint32_t received_ok, uint32_t cycles) {
  if (loops == 0) return DiagCounters{};
  const int64_t l = loops;
  const int64_t send_errors = l - (sent_ok < loops ? sent_ok : loops);
  const int64_t receive_errors = l - (received_ok < loops ? received_ok : loops);
  const int64_t errors = send_errors + receive_errors;
  const int64_t k = cycles != 0 ? cycles : 1;
  return {k, k * (l - errors) / l, k * errors / l, send_errors, receive_errors, receive_errors, l - errors};
}

DiagCounters dma_counters(uint32_t loops, uint32_t send_errors, uint32_t miscompares, int64_t elapsed_ms) {
  if (loops == 0) return DiagCounters{};
  const int64_t l = loops;
  const int64_t errors = int64_t{send_errors} + miscompares;
  return {elapsed_ms, elapsed_ms * (l - errors) / l, errors * elapsed_ms / l, send_errors,
          miscompares, miscompares, l - errors};
}

void build_dma_request(uint64_t pattern, uint32_t byte_count, ddr_dma_record* out) {
  std::memset(out, 0, sizeof *out);
  const uint32_t bytes = (byte_count > kDmaDataSize ? kDmaDataSize : byte_count) & ~7u;
  out->pattern[0] = static_cast<uint32_t>(pattern);
  out->pattern[1] = static_cast<uint32_t>(pattern >> 32);
  out->byte_count = bytes;
  for (uint32_t i = 0; i < bytes; ++i) out->sent[i] = static_cast<uint8_t>(pattern >> (8 * (i % 8)));
}

PatternParse parse_pattern(const char* text, uint64_t* out) {
  if (text == nullptr) return PatternParse::kBadPattern;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text += 2;
  if (*text == '\0') return PatternParse::kBadPattern;
  for (const char* p = text; *p != '\0'; ++p) {
    if (std::isxdigit(static_cast<unsigned char>(*p)) == 0) return PatternParse::kBadPattern;
  }
  while (*text == '0' && text[1] != '\0') ++text;
  if (std::strlen(text) > 16) return PatternParse::kPatternTooLarge;
  *out = std::strtoull(text, nullptr, 16);
  return PatternParse::kOk;
}

uint32_t tdr_pair_result(const tdr_reply& r, int pair) { return (r.pair_status >> (4 * pair)) & 0xF; }

void dump_bytes(const uint8_t* data, size_t count, char* out, size_t size) { dump(data, count, 1, out, size); }
void dump_words(const uint8_t* data, size_t count, char* out, size_t size) { dump(data, count, 4, out, size); }

}  // namespace vx
