// The text forms of addresses, MACs, rates and hex bytes that hierarchy values and action
// parameters use, read into and written from the IMA records. Every parser is bounded by the
// text's NUL and writes zero bytes for what does not parse.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ima_types.h"

namespace vx {

// Text with a ':' is IPv6 (flag 0; full or compressed form), anything else dotted IPv4 (flag 1).
// Returns false (and zero address bytes) when the text is not such an address ("N/A", "0").
bool parse_ip_text(const char* text, IMA_IP_ADDRESS* out);
// Six hexadecimal numbers of one or two digits separated by "-"; false (and zeros) otherwise.
bool parse_mac_text(const char* text, uint8_t out[6]);
// A rate text, a number followed by a unit word, in megabits per second: the number as it is for a
// unit beginning with "Mb" (any case), else times 1000; truncated, its low 32 bits. A text that
// does not start with a number ("less than 1Gb") gives 0.
uint32_t parse_rate_text(const char* text);

// An address as an action parameter: "%d.%d.%d.%d", or eight groups of four lower-case hex digits.
void format_ip_text(const IMA_IP_ADDRESS& address, char* out, size_t size);
// A port as an action parameter, 3260 for 0.
void format_port_text(uint16_t port, char* out, size_t size);

// Byte i from the hex characters 2i and 2i+1 of `hex`, for i below n and both characters within
// text_length. 0x80000000 for a NULL argument, 0 otherwise.
IMA_STATUS Covert_Hex_To_Bin(uint8_t* out, const char* hex, int32_t text_length, int32_t n);

}  // namespace vx
