#include "ima/esx50_codeset.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vx {
namespace {

constexpr uint32_t kMaxCodePoint = 0x10FFFF;
// The UTF-8 form of the longest wide string read, with its NUL.
constexpr size_t kEncodedSize = kWideScanLimit * 4 + 1;

enum class Encoded { kOk, kTooLong, kUnencodable };

// The caller sees why a conversion failed on standard output, as the host's own tools print it.
void report(const char* routine, unsigned line, IMA_STATUS status) {
  std::printf("%s:%u: imaStatus:0x%x\n", routine, line, status);
}

// One code point as UTF-8 into out (room for 4); its length, 0 when it cannot be encoded.
size_t encode_unit(uint32_t v, char* out) {
  auto byte = [](uint32_t b) { return static_cast<char>(static_cast<uint8_t>(b)); };
  if (v < 0x80) {
    out[0] = byte(v);
    return 1;
  }
  if (v < 0x800) {
    out[0] = byte(0xC0 | v >> 6);
    out[1] = byte(0x80 | (v & 0x3F));
    return 2;
  }
  if (v < 0x10000) {
    out[0] = byte(0xE0 | v >> 12);
    out[1] = byte(0x80 | ((v >> 6) & 0x3F));
    out[2] = byte(0x80 | (v & 0x3F));
    return 3;
  }
  if (v > kMaxCodePoint) return 0;
  out[0] = byte(0xF0 | v >> 18);
  out[1] = byte(0x80 | ((v >> 12) & 0x3F));
  out[2] = byte(0x80 | ((v >> 6) & 0x3F));
  out[3] = byte(0x80 | (v & 0x3F));
  return 4;
}

// A caller's wide string as NUL-terminated UTF-8 into out (kEncodedSize bytes); *length receives
// its length in bytes.
Encoded encode(const IMA_WCHAR* wide, char* out, size_t* length) {
  const size_t units = wide_length(wide);
  if (units >= kWideScanLimit) return Encoded::kTooLong;
  size_t at = 0;
  for (size_t i = 0; i < units; ++i) {
    const size_t n = encode_unit(wide[i], out + at);
    if (n == 0) return Encoded::kUnencodable;
    at += n;
  }
  out[at] = '\0';
  *length = at;
  return Encoded::kOk;
}

// Decodes a text already checked by Iscsi_CodeSet_LengthInCodePoints into dst.
size_t decode_checked(const char* utf8, IMA_WCHAR* dst) {
  const auto* p = reinterpret_cast<const uint8_t*>(utf8);
  const uint8_t* end = p + std::strlen(utf8);
  size_t count = 0;
  while (p < end) {
    uint32_t v = 0;
    p += Iscsi_CodeSetOldGetUtf8(p, end, &v);
    dst[count++] = v;
  }
  return count;
}

}  // namespace

uint32_t Iscsi_CodeSetOldGetUtf8(const uint8_t* p, const uint8_t* end, uint32_t* code_point) {
  if (p == nullptr || end == nullptr || p >= end) return 0;
  const uint8_t lead = *p;
  if (lead < 0x80) {
    if (code_point != nullptr) *code_point = lead;
    return 1;
  }
  // Stray continuation bytes and the overlong leads 0xC0 and 0xC1 are refused here.
  if (lead < 0xC2 || lead > 0xF4) return 0;
  uint32_t length = 4;
  uint32_t v = lead - 0xF0u;
  if (lead <= 0xDF) {
    length = 2;
    v = lead - 0xC0u;
  } else if (lead <= 0xEF) {
    length = 3;
    v = lead - 0xE0u;
  }
  if (static_cast<size_t>(end - p) < length) return 0;
  for (uint32_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    v = v * 64 + (p[i] - 0x80u);
  }
  if (v < (1u << (5 * length - 4))) return 0;   // overlong
  if (code_point != nullptr) *code_point = v;
  return length;
}

int32_t Iscsi_CodeSet_LengthInCodePoints(const char* utf8) {
  if (utf8 == nullptr) return -1;
  const auto* p = reinterpret_cast<const uint8_t*>(utf8);
  const uint8_t* end = p + std::strlen(utf8);
  int32_t count = 0;
  while (p < end) {
    const uint32_t n = Iscsi_CodeSetOldGetUtf8(p, end, nullptr);
    if (n == 0) return -1;
    p += n;
    ++count;
  }
  return count;
}

int Iscsi_CodeSet_UTF8ToUTF32(const char* utf8, IMA_WCHAR** out) {
  if (out == nullptr) return 0;
  *out = nullptr;
  if (utf8 == nullptr) return 1;
  const int32_t count = Iscsi_CodeSet_LengthInCodePoints(utf8);
  if (count < 0) return 0;
  auto* wide = static_cast<IMA_WCHAR*>(std::malloc((static_cast<size_t>(count) + 1) * sizeof(IMA_WCHAR)));
  if (wide == nullptr) return 0;
  wide[decode_checked(utf8, wide)] = 0;
  *out = wide;
  return 1;
}

int Iscsi_CodeSet_UTF32ToUTF8(const IMA_WCHAR* wide, char** out) {
  if (out == nullptr) return 0;
  *out = nullptr;
  if (wide == nullptr) return 1;
  char buf[kEncodedSize];
  size_t length = 0;
  if (encode(wide, buf, &length) != Encoded::kOk) return 0;
  char* text = static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) return 0;
  std::memcpy(text, buf, length + 1);
  *out = text;
  return 1;
}

size_t wide_length(const IMA_WCHAR* wide, size_t limit) {
  size_t n = 0;
  while (n < limit && wide[n] != 0) ++n;
  return n;
}

IMA_STATUS Sample_Iscsi_ToWide(IMA_WCHAR* dst, const char* utf8, uint32_t len) {
  const int32_t count = dst != nullptr ? Iscsi_CodeSet_LengthInCodePoints(utf8) : -1;
  if (count < 0 || static_cast<uint32_t>(count) >= len) {
    report("Sample_Iscsi_ToWide", 73, IMA_ERROR_TEXT_CONVERSION);
    return IMA_ERROR_TEXT_CONVERSION;
  }
  size_t n = decode_checked(utf8, dst);
  while (n < len) dst[n++] = 0;
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS wide_to_utf8(char* dst, const IMA_WCHAR* wide, uint32_t len, IMA_STATUS too_long) {
  char buf[kEncodedSize];
  size_t length = 0;
  Encoded verdict = dst != nullptr && wide != nullptr ? encode(wide, buf, &length) : Encoded::kUnencodable;
  if (verdict == Encoded::kOk && length >= len) verdict = Encoded::kTooLong;
  if (verdict != Encoded::kOk) {
    const IMA_STATUS status = verdict == Encoded::kTooLong ? too_long : IMA_ERROR_TEXT_CONVERSION;
    report("Sample_Iscsi_ToUtf8", 116, status);
    return status;
  }
  std::memcpy(dst, buf, length);
  std::memset(dst + length, 0, len - length);
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS Sample_Iscsi_ToUtf8(char* dst, const IMA_WCHAR* wide, uint32_t len) {
  return wide_to_utf8(dst, wide, len, IMA_ERROR_TEXT_CONVERSION);
}

int32_t Sample_Iscsi_WideLength(const IMA_WCHAR* wide) {
  if (wide == nullptr) return -1;
  char buf[kEncodedSize];
  size_t length = 0;
  if (encode(wide, buf, &length) != Encoded::kOk) return -1;
  return Iscsi_CodeSet_LengthInCodePoints(buf);
}

IMA_STATUS Sample_Iscsi_WideAndUtf8Cmp(const IMA_WCHAR* wide, const char* utf8, uint32_t len) {
  if (wide == nullptr || utf8 == nullptr || len == 0) return IMA_ERROR_INVALID_PARAMETER;
  char buf[kEncodedSize];
  size_t length = 0;
  if (encode(wide, buf, &length) != Encoded::kOk) {
    report("Sample_Iscsi_WideAndUtf8Cmp", 191, IMA_ERROR_TEXT_CONVERSION);
    return IMA_ERROR_TEXT_CONVERSION;
  }
  return std::strncmp(utf8, buf, size_t{4} * len) == 0 ? IMA_STATUS_SUCCESS : IMA_ERROR_INVALID_PARAMETER;
}

int Sample_Iscsi_WideCmp(const IMA_WCHAR* a, const IMA_WCHAR* b, uint32_t len) {
  char text_a[kEncodedSize];
  char text_b[kEncodedSize];
  size_t length = 0;
  if (a == nullptr || encode(a, text_a, &length) != Encoded::kOk) return -1;
  if (b == nullptr || encode(b, text_b, &length) != Encoded::kOk) return 1;
  return std::strncmp(text_a, text_b, size_t{4} * len);
}

IMA_STATUS Iscsi_Wcsnrtombs(char* dst, const wchar_t* src, uint32_t count, uint32_t size) {
  if (dst == nullptr || src == nullptr || size == 0) return IMA_ERROR_TEXT_CONVERSION;
  mbstate_t state{};
  const wchar_t* from = src;
  const size_t written = ::wcsnrtombs(dst, &from, count, size - 1, &state);
  if (written == static_cast<size_t>(-1)) {
    std::puts("Converting name from wide string failed.");
    return IMA_ERROR_TEXT_CONVERSION;
  }
  dst[written] = '\0';
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS Iscsi_Mbsnrtowcs(wchar_t* dst, const char* src, uint32_t count, uint32_t size) {
  if (dst == nullptr || src == nullptr || size == 0) return IMA_ERROR_TEXT_CONVERSION;
  mbstate_t state{};
  const char* from = src;
  const size_t written = ::mbsnrtowcs(dst, &from, count, size - 1, &state);
  if (written == static_cast<size_t>(-1)) {
    std::puts("Converting name to wide string failed.");
    return IMA_ERROR_TEXT_CONVERSION;
  }
  dst[written] = L'\0';
  return IMA_STATUS_SUCCESS;
}

}  // namespace vx
