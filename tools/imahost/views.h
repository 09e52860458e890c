// Records as text: one row per shown field of a published IMA record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/imahost/cli.h"

namespace imahost {

enum class Show : uint8_t { kWide, kNumber, kMac, kOid, kAddress, kHex, kLun };

struct FieldView {
  const char* label;
  Show show;
  size_t offset;
  size_t size;
};
#define VIEW(label, show, Record, member) {label, Show::show, offsetof(Record, member), sizeof(Record::member)}
// A field inside a nested member (an address or port within a target address).
#define VIEW_AT(label, show, Record, path, Type) {label, Show::show, offsetof(Record, path), sizeof(Type)}

// The field as text; identifiers as the names of the objects they stand for.
std::string field_text(Names& names, const void* record, const FieldView& view);
void print_record(Names& names, const void* record, const FieldView* views, size_t count, const char* indent = "  ");
template <size_t N>
void print_record(Names& names, const void* record, const FieldView (&views)[N], const char* indent = "  ") {
  print_record(names, record, views, N, indent);
}
// A LUN as its decimal number: the record holds the LUN structure's first four bytes in reverse
// order from byte 4, so the 14-bit number is in the last two.
unsigned lun_number(const uint8_t lun[8]);

}  // namespace imahost
