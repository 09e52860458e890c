// Value rules of properties and action parameters. Pure text checks; the only side effect is the
// rewrite of a valid IPv6 address into its full upper-case form, so that handlers see one form.
// Every routine reads the value only up to its terminator and never writes more than 40 bytes.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "engine/hm.h"

namespace vx {
namespace {

constexpr size_t kIpv4MaxChars = 15;
constexpr int kIpv4Parts = 4;
constexpr int kIpv6Groups = 8;
constexpr int kIpv6GroupDigits = 4;
constexpr size_t kIpv6FullChars = 39;   // 8 groups of 4 digits and 7 colons
// The work text holds at most 8 groups with their colons and one double colon (41 characters);
// anything longer can no longer become a valid address and is refused before it is written.
constexpr size_t kIpv6WorkChars = 40;

enum ValidationType : uint8_t { kString = 0, kInteger = 1, kAddress = 2, kSubnetMask = 3, kList = 4 };

// Reads one decimal part the way strtol does (leading blanks and a sign; no digits reads 0).
// Returns false when the number does not fit a long.
bool read_decimal(const char* text, long* value, const char** end) {
  errno = 0;
  char* stop = nullptr;
  *value = std::strtol(text, &stop, 10);
  *end = stop;
  return errno != ERANGE;
}

uint32_t validate_ipv4(const char* value) {
  if (std::strlen(value) > kIpv4MaxChars) return kStatusInvalidValue;
  long part[kIpv4Parts] = {};
  const char* p = value;
  for (int i = 0; i < kIpv4Parts; ++i) {
    const char* end = nullptr;
    if (!read_decimal(p, &part[i], &end) || part[i] < 0 || part[i] > 255) return kStatusInvalidValue;
    if (i < kIpv4Parts - 1) {
      if (*end != '.') return kStatusInvalidValue;   // also the end of the text before the 4th part
      p = end + 1;
    } else if (*end != '\0') {
      return kStatusInvalidValue;
    }
  }
  if (part[0] == 127 || part[0] == 255) return kStatusInvalidValue;   // 255.255.255.255 included
  if (part[0] == 0 && part[1] == 0 && part[2] == 0 && part[3] == 0) return kStatusInvalidValue;
  return kStatusOk;
}

// Appends one group right-aligned in four digits (the work text is prefilled with '0').
bool put_group(char* work, size_t* at, const char* digits, int count, bool colon) {
  size_t need = kIpv6GroupDigits + (colon ? 1 : 0);
  if (*at + need > kIpv6WorkChars) return false;
  std::memcpy(work + *at + (kIpv6GroupDigits - count), digits, static_cast<size_t>(count));
  *at += kIpv6GroupDigits;
  if (colon) work[(*at)++] = ':';
  return true;
}

}  // namespace

uint32_t varu_validate_val_string(const char* value, int32_t min, int32_t max) {
  if (value == nullptr) return kStatusBadLength;
  // Compared as a signed number, as the bounds are.
  long long length = static_cast<long long>(std::strlen(value));
  if (length > max || length < min) return kStatusBadLength;
  return kStatusOk;
}

uint32_t varu_validate_val_integer(const char* value, int32_t min, int32_t max) {
  if (value == nullptr || value[0] == '\0') return kStatusInvalidValue;
  errno = 0;
  char* end = nullptr;
  long long number = std::strtoll(value, &end, 0);
  if (end == value || *end != '\0') return kStatusInvalidValue;
  if (errno == ERANGE) return kStatusOutOfRange;
  if (number > max || number < min) return kStatusOutOfRange;
  return kStatusOk;
}

uint32_t varu_validate_ipv6(char* value) {
  if (value == nullptr || value[0] == '\0') return kStatusInvalidValue;
  char work[kIpv6WorkChars + 1];
  std::memset(work, '0', sizeof work);
  size_t at = 0;
  char digits[kIpv6GroupDigits];
  int count = 0;
  int groups = 0;
  bool double_colon = false;
  for (const char* p = value; *p != '\0'; ++p) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      if (count == kIpv6GroupDigits) return kStatusInvalidValue;   // a fifth digit
      digits[count++] = c;
      continue;
    }
    if (c != ':') return kStatusInvalidValue;
    if (count == 0) {
      // A colon at the start or right after another: the one allowed double colon.
      if (double_colon || at + 1 > kIpv6WorkChars) return kStatusInvalidValue;
      double_colon = true;
      work[at++] = ':';
      continue;
    }
    if (++groups > kIpv6Groups || !put_group(work, &at, digits, count, true)) return kStatusInvalidValue;
    count = 0;
  }
  // The last group; an empty one stands for four zeros.
  if (++groups > kIpv6Groups) return kStatusInvalidValue;
  if (count == 0) {
    if (at + kIpv6GroupDigits > kIpv6WorkChars) return kStatusInvalidValue;
    at += kIpv6GroupDigits;
  } else if (!put_group(work, &at, digits, count, false)) {
    return kStatusInvalidValue;
  }
  work[at] = '\0';

  char full[kIpv6FullChars + 1];
  const char* result = work;
  char* gap = std::strstr(work, "::");
  if (at < kIpv6FullChars && gap != nullptr) {
    // The double colon becomes the missing zero groups.
    size_t head = static_cast<size_t>(gap - work);
    size_t zero_groups = (kIpv6WorkChars - at) / 5;
    size_t out = 0;
    std::memcpy(full, work, head);
    out = head;
    for (size_t i = 0; i < zero_groups; ++i) {
      std::memcpy(full + out, ":0000", 5);
      out += 5;
    }
    full[out++] = ':';
    size_t tail = at - head - 2;
    if (out + tail != kIpv6FullChars) return kStatusInvalidValue;
    std::memcpy(full + out, gap + 2, tail);
    full[kIpv6FullChars] = '\0';
    result = full;
  }
  if (std::strlen(result) != kIpv6FullChars) return kStatusInvalidValue;
  // Only a valid address is written back: 39 characters and the terminator.
  std::memcpy(value, result, kIpv6FullChars + 1);
  return kStatusOk;
}

uint32_t validateIPv6Address(char* value) { return varu_validate_ipv6(value); }

uint32_t varu_validate_ip(char* value) {
  if (value == nullptr) return kStatusInvalidValue;
  size_t length = strnlen(value, kIpv4MaxChars + 1);
  if (length > 2 && std::strchr(value, ':') != nullptr) return varu_validate_ipv6(value);
  return validate_ipv4(value);
}

uint32_t varu_validate_subnetmask(const char* value) {
  if (value == nullptr || std::strlen(value) > kIpv4MaxChars) return kStatusInvalidValue;
  long part[kIpv4Parts] = {};
  int parts = 0;
  const char* p = value;
  while (true) {
    const char* end = nullptr;
    long number = 0;
    if (!read_decimal(p, &number, &end) || number < 0 || number > 255) return kStatusInvalidValue;
    if (parts < kIpv4Parts) part[parts] = number;
    ++parts;
    const char* dot = std::strchr(p, '.');
    if (dot == nullptr) break;
    p = dot + 1;
  }
  if (parts != kIpv4Parts) return kStatusInvalidValue;
  uint32_t mask = (static_cast<uint32_t>(part[0]) << 24) | (static_cast<uint32_t>(part[1]) << 16) |
                  (static_cast<uint32_t>(part[2]) << 8) | static_cast<uint32_t>(part[3]);
  if (mask == 0) return kStatusInvalidValue;
  // n leading ones for n from 1 to 32: the inverted mask plus one is a power of two (or zero).
  uint32_t inverted = ~mask;
  return (inverted & (inverted + 1)) == 0 ? kStatusOk : kStatusInvalidValue;
}

uint32_t varu_validate_list(const char* value, const char* allowed) {
  if (value == nullptr) return kStatusInvalidValue;
  if (allowed == nullptr) allowed = "";
  size_t length = std::strlen(value);
  const char* item = allowed;
  while (true) {
    const char* comma = std::strchr(item, ',');
    size_t item_length = comma != nullptr ? static_cast<size_t>(comma - item) : std::strlen(item);
    if (item_length == length && strncasecmp(item, value, length) == 0) return kStatusOk;
    if (comma == nullptr) return kStatusInvalidValue;
    item = comma + 1;
  }
}

uint32_t varu_validate(char* value, const char* allowed, uint8_t vtype, int32_t min, int32_t max) {
  if (value == nullptr) return kStatusInvalidValue;
  switch (vtype) {
    case kString: return varu_validate_val_string(value, min, max);
    case kInteger: return varu_validate_val_integer(value, min, max);
    case kAddress: return varu_validate_ip(value);
    case kSubnetMask: return varu_validate_subnetmask(value);
    case kList: return varu_validate_list(value, allowed);
    default: return kStatusOk;
  }
}

}  // namespace vx
