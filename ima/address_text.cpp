#include "ima/address_text.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vx {
namespace {

constexpr uint16_t kDefaultIscsiPort = 3260;

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool parse_ipv4(const char* p, uint8_t out[4]) {
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && *p++ != '.') return false;
    int value = 0;
    int digits = 0;
    for (; is_digit(*p) && digits < 3; ++p, ++digits) value = value * 10 + (*p - '0');
    if (digits == 0 || value > 255) return false;
    out[i] = static_cast<uint8_t>(value);
  }
  return *p == '\0';
}

}  // namespace

bool parse_ip_text(const char* text, IMA_IP_ADDRESS* out) {
  std::memset(out, 0, sizeof *out);
  if (text == nullptr) return false;
  out->ipv4Address = std::strchr(text, ':') == nullptr ? 1 : 0;
  uint8_t bytes[16] = {};
  const bool ok = out->ipv4Address != 0 ? parse_ipv4(text, bytes) : ::inet_pton(AF_INET6, text, bytes) == 1;
  if (ok) std::memcpy(out->ipAddress, bytes, sizeof bytes);
  return ok;
}

bool parse_mac_text(const char* text, uint8_t out[6]) {
  uint8_t bytes[6] = {};
  const char* p = text;
  bool ok = p != nullptr;
  for (int i = 0; ok && i < 6; ++i) {
    if (i > 0 && *p++ != '-') ok = false;
    int value = 0;
    int digits = 0;
    for (; ok && digits < 2 && hex_value(*p) >= 0; ++p, ++digits) value = value * 16 + hex_value(*p);
    ok = ok && digits > 0;
    bytes[i] = static_cast<uint8_t>(value);
  }
  ok = ok && *p == '\0';
  std::memset(out, 0, 6);
  if (ok) std::memcpy(out, bytes, sizeof bytes);
  return ok;
}

uint32_t parse_rate_text(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (!is_digit(*p)) return 0;
  double value = 0;
  for (; is_digit(*p); ++p) value = value * 10 + (*p - '0');
  if (*p == '.') {
    double scale = 0.1;
    for (++p; is_digit(*p); ++p, scale /= 10) value += (*p - '0') * scale;
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (strncasecmp(p, "Mb", 2) != 0) value *= 1000;
  // Truncated toward zero; a number too large for any rate keeps its low 32 bits, and one past
  // what a double holds counts as no number.
  if (!std::isfinite(value)) return 0;
  return static_cast<uint32_t>(std::fmod(std::trunc(value), 4294967296.0));
}

void format_ip_text(const IMA_IP_ADDRESS& address, char* out, size_t size) {
  const uint8_t* b = address.ipAddress;
  if (address.ipv4Address != 0) {
    std::snprintf(out, size, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return;
  }
  std::snprintf(out, size, "%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x", b[0], b[1], b[2],
                b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

void format_port_text(uint16_t port, char* out, size_t size) {
  std::snprintf(out, size, "%d", port != 0 ? port : kDefaultIscsiPort);
}

IMA_STATUS Covert_Hex_To_Bin(uint8_t* out, const char* hex, int32_t text_length, int32_t n) {
  if (out == nullptr || hex == nullptr) return IMA_ERROR_GENERAL;
  // Each pair reads like strtol base 16: its digits up to the first other character. A text
  // shorter than it claims ends at its NUL.
  for (int32_t i = 0; i < n && 2 * i + 1 < text_length && hex[2 * i] != '\0'; ++i) {
    const int high = hex_value(hex[2 * i]);
    const int low = high < 0 ? -1 : hex_value(hex[2 * i + 1]);
    out[i] = static_cast<uint8_t>(high < 0 ? 0 : low < 0 ? high : high * 16 + low);
    if (hex[2 * i + 1] == '\0') break;
  }
  return IMA_STATUS_SUCCESS;
}

}  // namespace vx
