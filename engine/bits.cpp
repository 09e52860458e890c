// Bitfields (tag table, instance numbers) and comma-separated lists (allowed values).
#include <strings.h>

#include <cstring>

#include "engine/hm.h"

namespace vx {
namespace {

// A list is a text of at most this many characters; anything longer is not a list.
constexpr size_t kListMax = kValueSize - 1;
constexpr size_t kNotAList = static_cast<size_t>(-1);

size_t list_length(const char* list) {
  size_t n = ::strnlen(list, kListMax + 1);
  return n > kListMax ? kNotAList : n;
}

bool same_item(const char* a, const char* b, size_t n, int32_t mode) {
  return mode == 0 ? std::memcmp(a, b, n) == 0 : ::strncasecmp(a, b, n) == 0;
}

bool in_range(const uint8_t* field, int32_t nbits, int32_t i) {
  return field != nullptr && i >= 0 && i < nbits;
}

// Lowest index below nbits whose bit equals `want`.
int32_t first_with(const uint8_t* field, int32_t nbits, bool want) {
  if (field == nullptr || nbits < 1) return -1;
  const uint8_t skip = want ? 0x00 : 0xFF;   // a byte with no candidate bit
  int32_t bytes = nbits / 8 + (nbits % 8 != 0);
  for (int32_t b = 0; b < bytes; ++b) {
    if (field[b] == skip) continue;
    for (int32_t bit = 0; bit < 8; ++bit) {
      int32_t i = b * 8 + bit;
      if (i >= nbits) return -1;
      if (((field[b] >> bit) & 1) == (want ? 1 : 0)) return i;
    }
  }
  return -1;
}

}  // namespace

uint8_t* alloc_bitfield(uint32_t nbits) {
  if (nbits == 0) return nullptr;
  return static_cast<uint8_t*>(varu_dcalloc(nbits / 8 + (nbits % 8 != 0)));
}

void free_bitfield(uint8_t* field) { varu_dfree(field); }

int is_set(const uint8_t* field, int32_t nbits, int32_t i) {
  if (!in_range(field, nbits, i)) return -1;
  return field[i / 8] & (1u << (i % 8));
}

int set_bit(uint8_t* field, int32_t nbits, int32_t i) {
  if (!in_range(field, nbits, i)) return -1;
  field[i / 8] = static_cast<uint8_t>(field[i / 8] | (1u << (i % 8)));
  return 0;
}

int clear_bit(uint8_t* field, int32_t nbits, int32_t i) {
  if (!in_range(field, nbits, i)) return -1;
  field[i / 8] = static_cast<uint8_t>(field[i / 8] & ~(1u << (i % 8)));
  return 0;
}

int32_t get_first_zero(const uint8_t* field, int32_t nbits) { return first_with(field, nbits, false); }
int32_t get_first_one(const uint8_t* field, int32_t nbits) { return first_with(field, nbits, true); }

const char* varu_internal_list_search(const char* list, const char* item, int32_t mode) {
  if (list == nullptr || item == nullptr || (mode != 0 && mode != 1)) return nullptr;
  size_t len = list_length(list);
  size_t item_len = ::strnlen(item, kListMax + 1);
  if (len == kNotAList || item_len > kListMax) return nullptr;
  // An empty list holds one empty item.
  size_t start = 0;
  for (;;) {
    const char* comma = static_cast<const char*>(std::memchr(list + start, ',', len - start));
    size_t end = comma != nullptr ? static_cast<size_t>(comma - list) : len;
    if (end - start == item_len && same_item(list + start, item, item_len, mode)) return list + start;
    if (comma == nullptr) return nullptr;
    start = end + 1;
  }
}

int varu_internal_list_add(char* list, const char* item, int32_t mode) {
  if (list == nullptr || item == nullptr) return 1;
  size_t len = list_length(list);
  if (len == kNotAList || len + 2 > kValueSize) return 1;
  if (varu_internal_list_search(list, item, mode) != nullptr) return 1;
  size_t item_len = ::strnlen(item, kListMax + 1);
  size_t sep = len == 0 ? 0 : 1;
  // An item that does not fit whole is refused rather than stored cut.
  if (len + sep + item_len > kListMax) return 1;
  if (sep != 0) list[len] = ',';
  std::memcpy(list + len + sep, item, item_len);
  list[len + sep + item_len] = '\0';
  return 0;
}

int varu_internal_list_del(char* list, const char* item, int32_t mode) {
  if (list == nullptr || item == nullptr) return 1;
  const char* found = varu_internal_list_search(list, item, mode);
  if (found == nullptr) return 1;
  size_t len = std::strlen(list);   // bounded: the search accepted the list
  size_t start = static_cast<size_t>(found - list);
  size_t end = start + std::strlen(item);
  if (start == 0) {
    if (end < len) ++end;   // the following comma
  } else {
    --start;                // the preceding comma
  }
  std::memmove(list + start, list + end, len - end + 1);
  return 0;
}

}  // namespace vx
