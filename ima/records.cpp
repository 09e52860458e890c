// Records filled from tables of rows: each row reads one property and one writer puts it into its
// field. Records are written byte-wise at the rows' offsets, so no field is written past its size.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ima/address_text.h"
#include "ima/esx50_codeset.h"
#include "ima/front.h"

namespace vx {
namespace {

void put_u32(uint8_t* record, uint32_t offset, uint32_t value) { std::memcpy(record + offset, &value, sizeof value); }

IMA_WCHAR* wide_field(uint8_t* record, const FieldRow& row) {
  return reinterpret_cast<IMA_WCHAR*>(record + row.offset);
}

uint32_t wide_units(const FieldRow& row) { return row.size / static_cast<uint32_t>(sizeof(IMA_WCHAR)); }

}  // namespace

IMA_STATUS write_wide(const char* text, uint8_t* record, const FieldRow& row) {
  return Sample_Iscsi_ToWide(wide_field(record, row), text, wide_units(row));
}

IMA_STATUS write_wide_soft(const char* text, uint8_t* record, const FieldRow& row) {
  if (write_wide(text, record, row) != IMA_STATUS_SUCCESS) std::memset(record + row.offset, 0, row.size);
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS write_wide_flagged(const char* text, uint8_t* record, const FieldRow& row) {
  put_u32(record, row.flag, text[0] != '\0' ? 1 : 0);
  return write_wide(text, record, row);
}

IMA_STATUS write_decimal(const char* text, uint8_t* record, const FieldRow& row) {
  const auto value = static_cast<uint32_t>(std::strtol(text, nullptr, 10));
  if (row.size == sizeof(uint16_t)) {
    const auto narrow = static_cast<uint16_t>(value);
    std::memcpy(record + row.offset, &narrow, sizeof narrow);
  } else {
    put_u32(record, row.offset, value);
  }
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS write_ip(const char* text, uint8_t* record, const FieldRow& row) {
  IMA_IP_ADDRESS address;
  parse_ip_text(text, &address);
  std::memcpy(record + row.offset, &address, sizeof address);
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS write_flag(const char* text, uint8_t* record, const FieldRow& row) {
  put_u32(record, row.offset, std::strcmp(text, "None") == 0 || std::strcmp(text, "No") == 0 ? 0 : 1);
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS write_hex(const char* text, uint8_t* record, const FieldRow& row) {
  return Covert_Hex_To_Bin(record + row.offset, text, static_cast<int32_t>(strnlen(text, kTextSize)),
                           static_cast<int32_t>(row.size));
}

IMA_STATUS write_mac(const char* text, uint8_t* record, const FieldRow& row) {
  uint8_t mac[6];
  parse_mac_text(text, mac);
  std::memcpy(record + row.offset, mac, std::min<size_t>(row.size, sizeof mac));
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS write_rate(const char* text, uint8_t* record, const FieldRow& row) {
  put_u32(record, row.offset, parse_rate_text(text));
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS fill_record(int32_t base, const FieldRow* rows, size_t count, void* record) {
  auto* bytes = static_cast<uint8_t*>(record);
  const char* path = nullptr;   // the sub-group of the previous row, looked up once for a run
  int32_t group = base;
  for (size_t i = 0; i < count; ++i) {
    const FieldRow& row = rows[i];
    if (path == nullptr || std::strcmp(path, row.group) != 0) {
      const uint32_t status = group_at(base, row.group, &group);
      if (status != 0) return ErrorCheck(status);
      path = row.group;
    }
    char text[kTextSize];
    const uint32_t status = GetVaruPropertyVal(group, row.property, text);
    if (status != 0) return ErrorCheck(status);
    const IMA_STATUS written = row.write(text, bytes, row);
    if (written != IMA_STATUS_SUCCESS) return written;
  }
  return IMA_STATUS_SUCCESS;
}

}  // namespace vx
