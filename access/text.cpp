#include "access/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/hm.h"

namespace vx {
namespace {


int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_delim(char c, const char* delims) { return c != '\0' && std::strchr(delims, c) != nullptr; }

uint32_t count_delims(const char* text, const char* delims) {
  uint32_t count = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (is_delim(*p, delims)) ++count;
  }
  return count;
}

// A field as a counted copy, with one newline at its end cut.
char* field_copy(const char* begin, size_t len) {
  if (len > 0 && begin[len - 1] == '\n') --len;
  char* out = static_cast<char*>(varu_dmalloc(static_cast<uint32_t>(len + 1)));
  if (out == nullptr) return nullptr;
  std::memcpy(out, begin, len);
  out[len] = '\0';
  return out;
}

// Appends to a fixed buffer, never past its end.
struct Appender {
  char* buf;
  size_t size;
  size_t len = 0;
  void group(const char* fmt, unsigned a, unsigned b = 0) {
    if (len + 1 >= size) return;
    int n = std::snprintf(buf + len, size - len, fmt, a, b);
    if (n > 0) len = std::min(len + static_cast<size_t>(n), size - 1);
  }
  void colon() {
    if (len + 1 < size) {
      buf[len++] = ':';
      buf[len] = '\0';
    }
  }
  bool ends_with_colon() const { return len > 0 && buf[len - 1] == ':'; }
};

}  // namespace

uint32_t get_field(const char* text, char delim, char* out, int32_t out_len) {
  if (out == nullptr || out_len <= 0) return 1;
  std::memset(out, 0, static_cast<size_t>(out_len));
  if (text == nullptr || text[0] == delim) return 1;
  size_t n = 0;
  while (text[n] != '\0' && text[n] != delim) ++n;
  size_t room = static_cast<size_t>(out_len) - 1;
  if (n > room) {
    pdebug(kBackEnd, 3, "dest len is smaller %d %d\n", static_cast<int>(n), static_cast<int>(out_len));
    n = room;
  }
  std::memcpy(out, text, n);
  return 0;
}

uint32_t word_count(const char* text, const char* word) {
  if (text == nullptr || word == nullptr || word[0] == '\0') return 0;
  size_t step = std::strlen(word);
  uint32_t count = 0;
  for (const char* hit = std::strstr(text, word); hit != nullptr; hit = std::strstr(hit + step, word)) ++count;
  return count;
}

uint32_t ULShr(uint32_t value, int32_t n) { return (n < 0 || n >= 32) ? 0 : value >> n; }
uint32_t ULShl(uint32_t value, int32_t n) { return (n < 0 || n >= 32) ? 0 : value << n; }

void copy_U32IP(uint32_t out[16], const uint8_t in[16]) {
  if (out == nullptr || in == nullptr) return;
  for (int i = 0; i < 16; ++i) out[i] = in[i];
}

void copy_U8IP(uint8_t out[16], const uint8_t in[16]) {
  if (out == nullptr || in == nullptr) return;
  std::memmove(out, in, 16);
}

void StrToU8IPv6(char* text, size_t text_size, uint8_t out[16]) {
  if (text == nullptr || out == nullptr || text_size == 0) return;
  static const char kZero[] = "0::";
  const char* src = text;
  size_t limit = text_size;
  if (text[0] == '\0') {
    if (text_size >= sizeof kZero) std::memcpy(text, kZero, sizeof kZero);
    src = kZero;
    limit = sizeof kZero;
  }
  size_t digit = 0;
  for (size_t i = 0; i < limit && src[i] != '\0' && digit < 32; ++i) {
    int v = hex_value(src[i]);
    if (v < 0) continue;
    uint8_t& byte = out[digit / 2];
    if (digit % 2 == 0) {
      byte = static_cast<uint8_t>(v << 4);
    } else {
      byte = static_cast<uint8_t>(byte | v);
    }
    ++digit;
  }
}

void U8IPv6ToStr(const uint8_t in[16], char* out, size_t out_size) {
  if (out == nullptr || out_size == 0) return;
  std::memset(out, 0, out_size);
  if (in == nullptr) return;
  char text[48] = "";
  Appender a{text, sizeof text};
  if (in[0] != 0) {
    a.group("%x%02x", in[0], in[1]);
  } else {
    a.group("%01x", in[1]);
  }
  bool in_run = false;
  bool run_used = false;
  for (int g = 1; g < 8; ++g) {
    unsigned hi = in[2 * g];
    unsigned lo = in[2 * g + 1];
    if (hi != 0) {
      a.group(":%x%02x", hi, lo);
      in_run = false;
    } else if (lo != 0) {
      a.group(":%01x", lo);
      in_run = false;
    } else if (in_run || (!run_used && !a.ends_with_colon())) {
      if (!in_run) {
        a.colon();
        in_run = true;
        run_used = true;
      }
      if (g == 7) a.colon();   // the run reaches the last group: close it
    } else {
      a.group(":%x", 0);
    }
  }
  if (std::strcmp(text, "0::") == 0) text[0] = '\0';
  size_t n = std::strlen(text);
  if (n > out_size - 1) n = out_size - 1;
  std::memcpy(out, text, n);
}

uint32_t VARU_convert_mac_addr(const char* src, char from, char* dst, size_t dst_size, char to) {
  if (src == nullptr || dst == nullptr || dst_size == 0) return 1;
  pdebug(kBackEnd, 6, "%s:source mac = %s\n", __func__, src);
  size_t i = 0;
  for (; src[i] != '\0' && i + 1 < dst_size; ++i) dst[i] = (src[i] == from) ? to : src[i];
  dst[i] = '\0';
  pdebug(kBackEnd, 6, "%s:destination mac = %s\n", __func__, dst);
  return src[i] == '\0' ? 0 : 1;
}

int32_t convert_hex_to_bin(const char* hex, int32_t len, uint8_t* out, size_t out_size) {
  if (hex == nullptr || out == nullptr || len < 0) return -1;
  size_t pairs = static_cast<size_t>(len) / 2;
  if (pairs > out_size) return -1;
  for (size_t i = 0; i < pairs * 2; ++i) {
    if (hex_value(hex[i]) < 0) return -1;   // also stops at the terminator of a short text
  }
  for (size_t i = 0; i < pairs; ++i) {
    out[i] = static_cast<uint8_t>((hex_value(hex[2 * i]) << 4) | hex_value(hex[2 * i + 1]));
  }
  return 0;
}

uint32_t backend_split(char* text, const char* delims) {
  if (text == nullptr || delims == nullptr) return 0;
  uint32_t count = 0;
  for (char* p = text; *p != '\0'; ++p) {
    if (std::strchr(delims, *p) != nullptr) {
      *p = '\0';
      ++count;
    }
  }
  return count;
}

char* varu_parse(const char* text, uint32_t n, const char* delims) {
  if (text == nullptr || delims == nullptr || delims[0] == '\0' || n == 0) return nullptr;
  uint32_t count = count_delims(text, delims);
  if (count == 0 || count < n - 1) return nullptr;
  const char* p = text;
  for (uint32_t field = 1;; ++field) {
    while (is_delim(*p, delims)) ++p;   // a run of delimiters, leading ones too, is one separator
    if (*p == '\0') return nullptr;
    const char* begin = p;
    while (*p != '\0' && !is_delim(*p, delims)) ++p;
    if (field == n) return field_copy(begin, static_cast<size_t>(p - begin));
  }
}

char* parse_file(const char* text, uint32_t n, const char* delims) {
  if (text == nullptr || delims == nullptr || delims[0] == '\0' || n == 0) return nullptr;
  uint32_t count = count_delims(text, delims);
  if (count == 0 || count < n - 1) return nullptr;
  const char* begin = text;
  for (uint32_t field = 1; field < n; ++field) {
    while (!is_delim(*begin, delims)) ++begin;   // the count above guarantees the delimiter
    ++begin;
  }
  const char* end = begin;
  while (*end != '\0' && !is_delim(*end, delims)) ++end;
  return field_copy(begin, static_cast<size_t>(end - begin));
}

uint32_t is_hex(const char* text, int32_t len) {
  if (len < 1) return 1;
  if (text == nullptr) return 0;
  for (int32_t i = 0; i < len; ++i) {
    if (hex_value(text[i]) < 0) return 0;   // the terminator of a short text fails too
  }
  return 1;
}

}  // namespace vx
