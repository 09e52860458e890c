// Start-up's reads of a controller's OEM block, available personalities and additional attributes.
// Every text taken from a reply is bounded by its field and terminated, whatever the reply holds.
#include "adapter/oem_attribs.h"

#include <cstdio>
#include <cstring>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "access/wire.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"

namespace vx {

using namespace controller;

const char* const kAdditionalPropertyNames[kAdditionalProperties] = {
    kPropFCoEUniversalVersion, kPropFCoEx86BIOSVersion, kPropFCoEEFIVersion, kPropFCoEFCODEVersion,
    kPropUEFIBIOSVersion,      kPropUEFINICVersion,     kPropUEFIFCODEVersion, kPropUEFISCSIVersion,
    kPropPHYFirmwareVersion,   kPropPHYConfigurationId, kPropIPLFileName,
};

namespace {

constexpr int kVersionValues = 8;
constexpr int kPhyFirmwareValue = 8;
constexpr int kPhyConfigurationValue = 9;
constexpr int kIplFileNameValue = 10;
constexpr uint8_t kErased = 0xFF;
constexpr const char* kNotAvailable = "N/A";
constexpr uint32_t kPersonalityPayload = kPersonalityBufferSize - wire::kHeaderSize;
constexpr uint32_t kGenerationUnreadable = 1;   // get_vx_type could not tell (status 163)
constexpr uint32_t kMaxPersonalityText = kValueSize - 1;

struct PersonalityBit {
  uint32_t mask;
  const char* name;
};
constexpr PersonalityBit kPersonalityBits[] = {
    {1u << 8, "NIC"}, {1u << 9, "iSCSI"}, {1u << 10, "FCoE"}, {1u << 11, "RDMA"}};

// IPL file numbers that name a record of the table, per generation.
struct IplRange {
  uint32_t generation;
  uint32_t first;
  uint32_t last;
  int first_record;
};
constexpr IplRange kIplRanges[] = {{kGeneration3, 1, 113, 1}, {kGenerationOrvelle, 256, 293, 114}};
static_assert(114 + (293 - 256) == kIplRecords - 1, "the generation-5 numbers end at the table's last record");

constexpr const char* kOemProperties[] = {kPropTalvixSerialNumber, kPropOEMSerialNumber, kPropPersonalityManagementWord};

// The generation-4 OEM block is asked on the NIC node, so the handle must be a NIC function's (an
// iSCSI handle would name another function there). 0, which nothing answers, when there is none.
int32_t nic_handle(hm_node* controller) {
  hm_node* nic = get_first_instance(controller, "NICPhysicalHBA");
  const int32_t handle = nic != nullptr ? get_port_number(nic) : 0;
  return handle > 0 ? handle : 0;
}

int32_t controller_path(hm_node* controller) {
  return static_cast<int32_t>(get_the_protocol(instance_number(controller)));
}

uint8_t as_u8(int32_t value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

}  // namespace

hm_node* first_phba(hm_node* controller) {
  if (controller == nullptr) return nullptr;
  hm_node* phba = get_first_instance(controller, "iSCSIPhysicalHBA");
  return phba != nullptr ? phba : get_first_instance(controller, "NICPhysicalHBA");
}

void decode_oem_params(const oem_params& block, uint32_t generation, OemTexts* out) {
  const uint8_t* s = block.serial;
  const auto* oem = reinterpret_cast<const uint8_t*>(block.oem_serial);
  if (generation == kGenerationQuenta) {
    std::snprintf(out->talvix_serial, kValueSize, "%c%c%02x%02x%02x%02x", s[0], s[1], s[2], s[3], s[4], s[5]);
    // An erased or one-character serial is no serial.
    size_t n = 0;
    while (n < sizeof block.oem_serial && oem[n] != 0 && oem[n] != kErased) ++n;
    if (oem[0] == kErased || oem[1] == 0) {
      std::snprintf(out->oem_serial, kValueSize, "%s", kNotAvailable);
    } else {
      copy_field_text(block.oem_serial, n, out->oem_serial, kValueSize);
    }
  } else {
    std::snprintf(out->talvix_serial, kValueSize, "%c%c%02x%02x%02x%02x%02x%02x%02x%02x%02x%02x", s[0], s[1], s[2],
                  s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10], s[11]);
    copy_field_text(block.oem_serial, sizeof block.oem_serial, out->oem_serial, kValueSize);
  }
  std::snprintf(out->personality_word, kValueSize, "0x%08x", block.personality_word);
}

void personality_names(uint32_t bits, char out[kValueSize]) {
  size_t used = 0;
  out[0] = '\0';
  for (const PersonalityBit& b : kPersonalityBits) {
    if ((bits & b.mask) == 0) continue;
    used += static_cast<size_t>(std::snprintf(out + used, kValueSize - used, "%s%s", used == 0 ? "" : "/", b.name));
  }
}

void available_personalities_text(const uint8_t* buffer, char out[kValueSize]) {
  uint32_t length = 0;
  std::memcpy(&length, buffer + kPersonalityLengthOffset, sizeof length);
  if (length > kPersonalityPayload) length = kPersonalityPayload;
  if (length > kMaxPersonalityText) length = kMaxPersonalityText;
  copy_field_text(reinterpret_cast<const char*>(buffer + wire::kHeaderSize), length, out, kValueSize);
}

void decode_additional_attribs(const cntr_additional_attribs& record, uint32_t generation, AdditionalTexts* out) {
  for (int i = 0; i < kVersionValues; ++i) {
    copy_field_text(record.versions[i], sizeof record.versions[i], out->values[i], kValueSize);
  }
  char* phy = out->values[kPhyFirmwareValue];
  char* config = out->values[kPhyConfigurationValue];
  if (generation == kGenerationQuenta || record.phy_firmware_version[0] == '\0') {
    std::snprintf(phy, kValueSize, "%s", kNotAvailable);
    std::snprintf(config, kValueSize, "%s", kNotAvailable);
  } else {
    copy_field_text(record.phy_firmware_version, sizeof record.phy_firmware_version, phy, kValueSize);
    char id[sizeof record.phy_config_id + 1];
    copy_field_text(record.phy_config_id, sizeof record.phy_config_id, id, sizeof id);
    std::snprintf(config, kValueSize, "0x%s", id);
  }
  // A name in the reply wins; else the table's name for the number, followed by the suffix.
  char* ipl = out->values[kIplFileNameValue];
  if (record.ipl_file_name[0] != '\0') {
    copy_field_text(record.ipl_file_name, sizeof record.ipl_file_name, ipl, kValueSize);
    return;
  }
  std::snprintf(ipl, kValueSize, "%s", kNotAvailable);
  for (const IplRange& r : kIplRanges) {
    if (r.generation != generation || record.ipl_file_no < r.first || record.ipl_file_no > r.last) continue;
    const char* name = ipl_file_name_table.records[r.first_record + (record.ipl_file_no - r.first)];
    std::snprintf(ipl, kValueSize, "%.*s%X", kIplRecordSize, name, record.ipl_suffix);
  }
}

uint32_t VARU_update_oem_props(hm_node* controller) {
  hm_node* oem = controller != nullptr ? internal_get_node(controller, kGroupOEM, kGroup) : nullptr;
  if (oem == nullptr) return kStatusFailed;
  if (vm_flag == 1) {
    for (const char* name : kOemProperties) set_prop_val(oem, name, "%s", kNotAvailable);
    return kStatusFailed;
  }
  const uint32_t generation = get_vx_type(controller);
  hm_node* phba = first_phba(controller);
  if (generation == kGenerationUnknown || generation == kGenerationUnreadable || phba == nullptr) return kStatusFailed;
  oem_params block{};
  const uint32_t status = generation == kGenerationQuenta
                              ? ioctl_get_quenta_oem_params_v1(nic_handle(controller), &block, 0, 0)
                              : ioctl_get_oem_params(get_port_number(phba), &block, 0, 0, instance_number(controller));
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:Failed to get OEM params, status = %d\n", __func__, static_cast<int>(status));
    fail(kStatusNoOemAttributes, "%s", msg::kNoOemAttributes);
    return kStatusFailed;
  }
  OemTexts texts;
  decode_oem_params(block, generation, &texts);
  int failed = set_prop_val(oem, kPropTalvixSerialNumber, "%s", texts.talvix_serial);
  failed |= set_prop_val(oem, kPropOEMSerialNumber, "%s", texts.oem_serial);
  failed |= set_prop_val(oem, kPropPersonalityManagementWord, "%s", texts.personality_word);
  return failed != 0 ? kStatusFailed : kStatusOk;
}

uint32_t VARU_update_available_personalities(hm_node* controller) {
  hm_node* group = controller != nullptr ? internal_get_node(controller, kGroupPersonality, kGroup) : nullptr;
  if (group == nullptr) return kStatusFailed;
  if (vm_flag == 1) {
    set_prop_val(group, kPropAvailablePersonalities, "%s", kNotAvailable);
    fail(kStatusNotOnVirtualFunction, "%s", msg::kNotOnVirtualFunction);
    return kStatusFailed;
  }
  hm_node* phba = first_phba(controller);
  const uint32_t generation = phba != nullptr ? get_vx_type(controller) : kGenerationUnreadable;
  if (generation == kGenerationUnreadable) return kStatusFailed;
  char text[kValueSize] = "";
  if (generation == kGeneration2 || generation == kGeneration3) {
    auto* buffer = static_cast<uint8_t*>(varu_dcalloc(kPersonalityBufferSize));
    if (buffer == nullptr) {
      fail(kStatusOutOfMemory, "%s", msg::kOutOfMemory);
      return kStatusFailed;
    }
    const uint32_t status =
        ioctl_get_available_personalities(get_port_number(phba), buffer, 0, 0, controller_path(controller));
    if (status == 0) available_personalities_text(buffer, text);
    varu_dfree(buffer);
    if (status != 0) {
      pdebug(kBackEnd, 3, "%s:Failed to get available personalities, status = %d\n", __func__,
             static_cast<int>(status));
      fail(kStatusNoAvailablePersonalities, "%s", msg::kNoAvailablePersonalities);
      return kStatusFailed;
    }
  } else if (generation == kGenerationQuenta) {
    oem_params block{};
    if (ioctl_get_quenta_oem_params_v1(nic_handle(controller), &block, as_u8(get_domain_id(phba)),
                                       as_u8(get_phba_port_number(phba))) != 0) {
      fail(kStatusNoOemAttributes, "%s", msg::kNoOemAttributes);
      return kStatusFailed;
    }
    personality_names(block.personality_bits, text);
  } else {
    return kStatusOk;   // later generations keep their personalities in profiles
  }
  return set_prop_val(group, kPropAvailablePersonalities, "%s", text) != 0 ? kStatusFailed : kStatusOk;
}

uint32_t VARU_update_cntr_additional_attribs(hm_node* controller) {
  if (controller == nullptr) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kGenerationUnreadable) {
    pdebug(kBackEnd, 3, "%s:Failed to get the controller type.\n", __func__);
    return kStatusFailed;
  }
  hm_node* phba = first_phba(controller);
  if (phba == nullptr) return kStatusFailed;
  cntr_additional_attribs record{};
  const uint32_t status = ioctl_get_cnt_additional_attribs(get_port_number(phba), &record, 0, 0, controller_path(controller));
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:Failed to get additional attributes, status = %d\n", __func__, static_cast<int>(status));
    return status;
  }
  AdditionalTexts texts;
  decode_additional_attribs(record, generation, &texts);
  int failed = 0;
  for (int i = 0; i < kAdditionalProperties; ++i) {
    failed |= set_prop_val(controller, kAdditionalPropertyNames[i], "%s", texts.values[i]);
  }
  return failed != 0 ? kStatusFailed : kStatusOk;
}

}  // namespace vx
