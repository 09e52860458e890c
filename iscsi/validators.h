// Checks of user text that claims to be a MAC address, an IPv4 address of a given kind or an
// iSCSI name, and the address texts of the firmware records. The MAC and IPv4 checks set no
// status: their callers report a refusal in their own words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vx {

constexpr uint32_t kStatusInvalidIscsiName = 30;
constexpr size_t kMaxIscsiNameLength = 223;

// The base-N digit parser of the MAC check: reads up to the first character that is no digit of
// the base ('A' and 'a' are 10).
uint32_t convert(const char* digits, uint32_t base);

// 1 when `text` is six groups of one or two hex digits separated by ':' or '-', with the bytes in
// `out`; else 0.
uint32_t validateMACAddress(const char* text, uint8_t out[6]);

// Kinds of the IPv4 check.
enum IpKind : int32_t {
  kIpAnyButZero = 0,   // route subnet masks
  kIpHost = 1,         // interface, gateway, route, ARP, iSNS and ping addresses
  kIpKind2 = 2,
  kIpKind3 = 3,
  kIpShapeOnly = 4,
  kIpSubnetMask = 5,
};
// 1 when `text` (at most 15 characters) is a dotted IPv4 address acceptable for `kind`, with its
// bytes in `out`; else 0.
uint32_t validateIPAddress(const char* text, uint8_t out[4], int32_t kind);

// 0 with the name folded to lower case in `out` (224 bytes); 1 with status 30 for a missing or
// empty name, one of 224 characters or more, or a character outside letters, digits, '-', '.', ':'.
uint32_t validateISCSIName(const char* text, char out[224]);

// The text of a record's address: type 0 "0.0.0.0", an IPv4 type the dotted text, else the full
// upper-case IPv6 form (the form the engine gives address parameters).
void ipaddr_to_string(const uint8_t address[16], char* out, size_t out_size, uint8_t type);

// An address text as record bytes: IPv6 when it holds ':', else IPv4, each parsed by the standard
// routine. False for anything else.
bool parse_address(const std::string& text, uint8_t out[16], uint8_t* type);

}  // namespace vx
