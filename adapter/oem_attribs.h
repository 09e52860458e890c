// What start-up reads about a controller after its functions are placed: the OEM parameter block
// (serial numbers, personality word), the personalities the adapter may run, and the additional
// controller attributes (boot code versions, PHY firmware, IPL file name). The records' readers
// are pure, so that bad replies can be tried on them directly; the steps (VARU_update_oem_props,
// VARU_update_available_personalities, VARU_update_cntr_additional_attribs) are declared with the
// other start-up steps in schema/handlers.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/hm.h"

namespace vx {

// The OEM parameter block (opcode 76, subsystem 1, 44 bytes).
struct oem_params {
  uint8_t serial[12];          // two characters, then ten bytes (generation 4: two characters, four bytes)
  char oem_serial[24];         // text; generation 4: ends at 0 or 0xFF
  uint32_t personality_word;
  uint32_t personality_bits;   // generation 4: bit 8 NIC, 9 iSCSI, 10 FCoE, 11 RDMA
};
static_assert(sizeof(oem_params) == 44);
static_assert(offsetof(oem_params, oem_serial) == 12);
static_assert(offsetof(oem_params, personality_word) == 36);
static_assert(offsetof(oem_params, personality_bits) == 40);

// The additional controller attributes (opcode 121, subsystem 1, 612 bytes). Texts end at their
// first NUL within the field, or at the field's end.
struct cntr_additional_attribs {
  uint16_t ipl_file_no;
  uint8_t ipl_suffix;            // printed in hexadecimal after the table's name
  uint8_t reserved3;
  uint8_t temperature;           // on-die, degrees centigrade
  uint8_t reserved5[23];
  char versions[8][32];          // FCoE universal, x86 BIOS, EFI, FCODE; UEFI BIOS, NIC, FCODE, iSCSI
  uint8_t reserved284[64];
  uint8_t fcoe_wwpn[8];
  char phy_firmware_version[160];
  char phy_config_id[8];         // hexadecimal digits
  char ipl_file_name[88];
};
static_assert(sizeof(cntr_additional_attribs) == 612);
static_assert(offsetof(cntr_additional_attribs, ipl_suffix) == 2);
static_assert(offsetof(cntr_additional_attribs, temperature) == 4);
static_assert(offsetof(cntr_additional_attribs, versions) == 28);
static_assert(offsetof(cntr_additional_attribs, fcoe_wwpn) == 348);
static_assert(offsetof(cntr_additional_attribs, phy_firmware_version) == 356);
static_assert(offsetof(cntr_additional_attribs, phy_config_id) == 516);
static_assert(offsetof(cntr_additional_attribs, ipl_file_name) == 524);

// The available-personalities command carries its own header: 16 bytes and a 512-byte payload;
// the answer's length word (header byte 8) counts the text.
constexpr uint32_t kPersonalityBufferSize = 528;
constexpr size_t kPersonalityLengthOffset = 8;

// Names of IPL files by IPL file number: record 0 an unknown file, then a four-character
// configuration tag and a two- or three-character OEM code.
constexpr int kIplRecords = 152;
constexpr int kIplRecordSize = 35;
struct IplFileNameTable {
  char records[kIplRecords][kIplRecordSize];
};
extern const IplFileNameTable ipl_file_name_table;

constexpr uint32_t kStatusNoOemAttributes = 74;
constexpr uint32_t kStatusNoAvailablePersonalities = 176;
constexpr uint32_t kStatusNotOnVirtualFunction = 256;

// The OEM group's three values of a block.
struct OemTexts {
  char talvix_serial[kValueSize];
  char oem_serial[kValueSize];
  char personality_word[kValueSize];
};
void decode_oem_params(const oem_params& block, uint32_t generation, OemTexts* out);

// The names of the set personality bits (8 NIC, 9 iSCSI, 10 FCoE, 11 RDMA) joined by "/".
void personality_names(uint32_t bits, char out[kValueSize]);
// The text of an available-personalities answer (the whole 528-byte buffer): at most as long as its
// length word, the payload and 255 bytes.
void available_personalities_text(const uint8_t* buffer, char out[kValueSize]);

// The controller's values of an additional-attributes record, in the order of kAdditionalProperties.
constexpr int kAdditionalProperties = 11;
extern const char* const kAdditionalPropertyNames[kAdditionalProperties];
struct AdditionalTexts {
  char values[kAdditionalProperties][kValueSize];
};
void decode_additional_attribs(const cntr_additional_attribs& record, uint32_t generation, AdditionalTexts* out);

// The first iSCSI, else NIC, physical HBA of a controller: whose port handle addresses the
// controller's commands. NULL when it has none.
hm_node* first_phba(hm_node* controller);

}  // namespace vx
