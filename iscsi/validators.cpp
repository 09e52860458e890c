#include "iscsi/validators.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "engine/hm.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/records.h"

namespace vx {
namespace {

constexpr size_t kMacTextMax = 17;
constexpr size_t kIpv4TextMax = 15;
constexpr int kMacGroups = 6;

bool is_separator(char c) { return c == ':' || c == '-'; }

// A subnet mask is a run of leading ones and nothing after it; 0.0.0.0 is no mask.
bool contiguous_mask(const uint8_t b[4]) {
  const uint32_t mask = (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
                        (static_cast<uint32_t>(b[2]) << 8) | b[3];
  const uint32_t inverted = ~mask;
  return mask != 0 && (inverted & (inverted + 1)) == 0;
}

bool kind_accepts(int32_t kind, const uint8_t v[4]) {
  const bool zero = v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == 0;
  const bool loop_or_broadcast = v[0] == 127 || v[0] == 255;
  switch (kind) {
    case kIpAnyButZero: return !zero;
    case kIpHost: return !zero && !loop_or_broadcast;
    case kIpKind2: return !(v[0] == 0 && v[1] == 0) && !loop_or_broadcast && v[3] != 0 && v[3] != 255;
    case kIpKind3:
      return !(v[0] == 0 && v[1] == 0) && !loop_or_broadcast && !(v[0] >= 224 && v[0] <= 247) && v[3] != 255;
    case kIpSubnetMask: return contiguous_mask(v);
    default: return true;
  }
}

}  // namespace

uint32_t convert(const char* digits, uint32_t base) {
  uint32_t value = 0;
  if (digits == nullptr) return 0;
  for (const char* p = digits; *p != '\0'; ++p) {
    int digit = *p - '0';
    if (digit > 16) digit = *p - '7';
    if (digit >= static_cast<int>(base)) digit -= 32;
    if (digit < 0 || digit >= static_cast<int>(base)) break;
    value = value * base + static_cast<uint32_t>(digit);
  }
  return value;
}

uint32_t validateMACAddress(const char* text, uint8_t out[6]) {
  if (text == nullptr || out == nullptr) return 0;
  const size_t length = ::strnlen(text, kMacTextMax + 1);
  if (length == 0 || length > kMacTextMax) return 0;
  uint8_t bytes[kMacGroups] = {};
  int groups = 0;
  size_t i = 0;
  while (true) {
    char group[3] = {};
    size_t n = 0;
    while (i < length && std::isxdigit(static_cast<unsigned char>(text[i])) && n < 2) group[n++] = text[i++];
    if (n == 0 || groups == kMacGroups) return 0;   // an empty or seventh group
    bytes[groups++] = static_cast<uint8_t>(convert(group, 16));
    if (i == length) break;
    if (!is_separator(text[i]) || i + 1 == length) return 0;   // a third digit, a stray character, a trailing separator
    ++i;
  }
  if (groups != kMacGroups) return 0;
  std::memcpy(out, bytes, sizeof bytes);
  return 1;
}

uint32_t validateIPAddress(const char* text, uint8_t out[4], int32_t kind) {
  if (text == nullptr || out == nullptr) return 0;
  const size_t length = ::strnlen(text, kIpv4TextMax + 1);
  if (length == 0 || length > kIpv4TextMax) return 0;
  uint8_t v[4] = {};
  int part = 0;
  size_t i = 0;
  while (true) {
    unsigned value = 0;
    size_t digits = 0;
    while (i < length && std::isdigit(static_cast<unsigned char>(text[i]))) {
      if (++digits > 3) return 0;
      value = value * 10 + static_cast<unsigned>(text[i++] - '0');
    }
    if (digits == 0 || value > 255 || part == 4) return 0;
    v[part++] = static_cast<uint8_t>(value);
    if (i == length) break;
    if (text[i] != '.') return 0;
    ++i;
  }
  if (part != 4 || !kind_accepts(kind, v)) return 0;
  std::memcpy(out, v, sizeof v);
  return 1;
}

uint32_t validateISCSIName(const char* text, char out[224]) {
  const size_t length = text != nullptr ? ::strnlen(text, kMaxIscsiNameLength + 1) : 0;
  bool valid = out != nullptr && length > 0 && length <= kMaxIscsiNameLength;
  char folded[kIscsiNameSize] = {};
  for (size_t i = 0; valid && i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::islower(c) || std::isdigit(c) || c == '-' || c == '.' || c == ':') {
      folded[i] = static_cast<char>(c);
    } else if (std::isupper(c)) {
      folded[i] = static_cast<char>(std::tolower(c));
    } else {
      valid = false;
    }
  }
  if (!valid) return refuse(kStatusInvalidIscsiName, msg::kInvalidIscsiName);
  std::memcpy(out, folded, sizeof folded);
  return 0;
}

void ipaddr_to_string(const uint8_t address[16], char* out, size_t out_size, uint8_t type) {
  if (out == nullptr || out_size == 0) return;
  if (type == kAddressTypeNone) {
    std::snprintf(out, out_size, "%s", "0.0.0.0");
  } else if ((type & 0x07) != 0) {
    std::snprintf(out, out_size, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
  } else {
    char text[40];
    size_t at = 0;
    for (int i = 0; i < 16; i += 2) {
      at += static_cast<size_t>(std::snprintf(text + at, sizeof text - at, i == 0 ? "%02X%02X" : ":%02X%02X",
                                              address[i], address[i + 1]));
    }
    std::snprintf(out, out_size, "%s", text);
  }
}

bool parse_address(const std::string& text, uint8_t out[16], uint8_t* type) {
  uint8_t bytes[16] = {};
  if (text.find(':') != std::string::npos) {
    if (::inet_pton(AF_INET6, text.c_str(), bytes) != 1) return false;
    *type = kAddressTypeIpv6;
  } else {
    if (::inet_pton(AF_INET, text.c_str(), bytes) != 1) return false;
    *type = kAddressTypeIpv4;
  }
  std::memcpy(out, bytes, sizeof bytes);
  return true;
}

}  // namespace vx
