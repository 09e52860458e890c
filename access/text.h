// Small text, address and number routines shared by the handlers. Every routine that writes text
// takes the size of its output and never writes past it; outputs are always NUL-terminated when
// their size is at least 1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// Size of an IPv6 address text: eight groups of four digits, seven colons and the terminator.
constexpr size_t kIpv6TextSize = 40;

// Clears `out_len` bytes of `out` and copies the first `delim`-separated field of `text` into it.
// 1 when an argument is unusable or the text starts with `delim` (empty first field), else 0.
// A field of `out_len` characters or more is cut to `out_len` - 1 (logged).
uint32_t get_field(const char* text, char delim, char* out, int32_t out_len);

// Non-overlapping occurrences of `word` in `text`; 0 for a NULL text or an empty word.
uint32_t word_count(const char* text, const char* word);

// Logical shifts that give 0 for a count outside 0..31 (a processor shift would wrap the count).
uint32_t ULShr(uint32_t value, int32_t n);
uint32_t ULShl(uint32_t value, int32_t n);

void copy_U32IP(uint32_t out[16], const uint8_t in[16]);
void copy_U8IP(uint8_t out[16], const uint8_t in[16]);

// Hex digits of `text`, in order, fill `out` two per byte (high nibble assigned, low nibble ORed
// in); other characters are skipped and digits beyond the 32nd are ignored. Bytes that receive no
// digit keep their contents. An empty text stands for "0::" and is rewritten so in place when
// `text_size` leaves room for it.
void StrToU8IPv6(char* text, size_t text_size, uint8_t out[16]);

// The compressed lower-case text of an IPv6 address; the zero address gives the empty text.
// At most 39 characters, cut to `out_size` - 1.
void U8IPv6ToStr(const uint8_t in[16], char* out, size_t out_size);

// Copies `src` to `dst` with every `from` replaced by `to`. 1 for a NULL argument, a zero size or a
// source that does not fit (then `dst` holds the terminated part that fits), else 0.
uint32_t VARU_convert_mac_addr(const char* src, char from, char* dst, size_t dst_size, char to);

// Converts len / 2 pairs of hex characters into bytes. -1 when an argument is NULL, len is negative,
// the text ends early or holds a non-hex character, or the bytes would not fit in `out_size`
// (nothing is written then); else 0.
int32_t convert_hex_to_bin(const char* hex, int32_t len, uint8_t* out, size_t out_size);

// Replaces every character of `text` that occurs in `delims` by the terminator; how many were
// replaced.
uint32_t backend_split(char* text, const char* delims);

// The n-th field (from 1) of `text` as a new text from the counted allocator (free with varu_dfree);
// a run of delimiters is one separator. NULL when the text is NULL, has no delimiter, has fewer than
// n - 1 delimiters, or the field does not exist. A newline ending the field is cut.
char* varu_parse(const char* text, uint32_t n, const char* delims);

// As varu_parse, but every delimiter separates, so empty fields count.
char* parse_file(const char* text, uint32_t n, const char* delims);

// 1 when the first `len` characters are hex digits (len below 1: 1); 0 otherwise or for NULL.
uint32_t is_hex(const char* text, int32_t len);

}  // namespace vx
