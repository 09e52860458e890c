#include "maintenance/flash_update.h"

#include <cstring>
#include <string>
#include <vector>

#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "iscsi/records.h"
#include "maintenance/controller_target.h"
#include "maintenance/ufi.h"
#include "schema/handlers.h"

namespace vx {
namespace {

constexpr uint16_t kPhyTypeFlashed = 13;
constexpr uint16_t kPhyInterfaceFlashed = 6;
constexpr uint32_t kPhyAnswerPassedOver = 2;
constexpr uint32_t kOrvelleAnswerTwoPass = 3;
constexpr uint32_t kCrcQueryWords = 4;
constexpr uint32_t kCrcSize = 4;
constexpr const char* kOptypeFirmwareVersion = "10.0";   // firmware that takes components by optype

// Object-file pieces: the 32880-byte request of the object write.
constexpr uint32_t kObjectRequestSize = 32880;
constexpr uint32_t kObjectPieceMax = 32768;
constexpr size_t kObjectNameOffset = 8;
constexpr size_t kObjectDataOffset = 112;
constexpr uint32_t kObjectEndOfFile = 0x80000000u;
constexpr const char* kProgramObject = "/prg";

// A write that never got its bytes (memory short, or the file could not be read).
constexpr uint32_t kComponentUnread = 0xFFFFFFFFu;

// One component to flash: where its bytes are in the file and how the firmware takes them.
struct FlashStep {
  uint64_t file_offset;
  uint32_t size;
  uint32_t optype;
  uint32_t flash_offset;   // the offset word of the offset-based method, else 0
  bool by_offset;
  bool crc_test;           // skipped when the flashed CRC equals the file's
  bool own_optype;         // generation 5: a failure of this entry ends the update
  bool phy;                // generation 3: the PHY row, whose answer 2 is passed over
  uint32_t image_type = 0;  // generation 5: the directory entry's, named when the adapter refuses it
};
using FlashPlan = std::vector<FlashStep>;

// What a generation-5 update wrote, and the image types of the components whose optype comes from
// their image type that the adapter refused: passed over so the update goes on, but the update
// is then not complete.
struct FlashTally {
  bool written = false;
  std::vector<uint32_t> refused;
};

uint32_t refuse_file(const char* why) {
  pdebug(kBackEnd, 3, "UpgradeFlashROM: %s\n", why);
  fail(kStatusUfiInvalid, "%s", msg::kUfiInvalid);
  return 1;
}

// The step's bytes must lie within the file, with its CRC where one is read, and its flash offsets
// must not wrap.
bool step_fits(const ImageFile& image, const FlashStep& step) {
  if (!image.holds(step.file_offset, step.size)) return false;
  if (step.crc_test && step.size < kCrcSize) return false;
  return !step.by_offset || uint64_t{step.flash_offset} + step.size <= UINT32_MAX;
}

// Reads the component into a flash request and writes it: the command's answer, or
// kComponentUnread (status 16 when memory was short).
uint32_t write_component(const ControllerTarget& t, const ImageFile& image, const FlashStep& step) {
  if (step.size > UINT32_MAX - sizeof(flashrom_request) - kCrcSize) return kComponentUnread;
  auto* request = static_cast<flashrom_request*>(varu_dcalloc(step.size + sizeof(flashrom_request) + kCrcSize));
  if (request == nullptr) {
    fail(kStatusOutOfMemory, "%s", msg::kOutOfMemory);
    return kComponentUnread;
  }
  request->operation = kFlashOperationLastChunk;
  request->image_type = step.optype;
  request->total_length = step.size;
  request->offset = step.by_offset ? step.flash_offset : 0;
  uint32_t answer = kComponentUnread;
  if (image.read_at(step.file_offset, request + 1, step.size)) {
    answer = ioctl_upgrade_flash(t.port, request, t.domain, t.port_number, t.protocol, step.by_offset ? 1 : 0);
  } else {
    pdebug(kBackEnd, 3, "%s: the component of optype %u could not be read\n", __func__, step.optype);
  }
  varu_dfree(request);
  return answer;
}

// Raw status of the CRC query of a flashed component; its CRC in *crc on success.
uint32_t flashed_crc(const ControllerTarget& t, uint32_t optype, uint32_t offset, uint32_t* crc) {
  uint32_t record[6] = {kCrcQueryWords, optype, kCrcSize, offset, 0, 0};
  const uint32_t status = ioctl_get_flash_component_details(t.port, record, t.domain, t.port_number, t.protocol);
  *crc = record[offsetof(FlashComponentRecord, crc) / sizeof(uint32_t)];
  return status;
}

// Generation 2: 0 when the boot code on flash carries the file's CRC, so it is not written again.
uint32_t if_required_redboot_flash(const ControllerTarget& t, const ImageFile& image) {
  uint32_t file_crc = 0;
  uint32_t flash_crc = 0;
  if (!image.read_at(kBootCodeCrcFileOffset, &file_crc, sizeof file_crc)) return 1;
  const uint32_t status = flashed_crc(t, kBootCodeOptype, kBootCodeCrcFlashOffset, &flash_crc);
  return status == 0 && flash_crc == file_crc ? 0 : 1;
}

// Generation 5: 0 when the flashed copy carries the component's CRC, 318 when the firmware asks for
// a second download (raw status 2 or 3), else 1.
uint32_t is_required_flash(const ControllerTarget& t, const ImageFile& image, const FlashStep& step) {
  uint32_t file_crc = 0;
  if (!image.read_at(step.file_offset + step.size - kCrcSize, &file_crc, sizeof file_crc)) return 1;
  const uint32_t at = step.by_offset ? step.flash_offset + step.size - kCrcSize : step.size - kCrcSize;
  uint32_t flash_crc = 0;
  const uint32_t status = flashed_crc(t, step.optype, at, &flash_crc);
  if (status == 2 || status == 3) return kStatusDownloadTwice;
  if (status != 0) return 1;
  return flash_crc == file_crc ? 0 : 1;
}

// The controller's running firmware version: its property read through its handler, else what
// start-up published from the controller attributes.
std::string active_firmware_version(hm_node* controller) {
  char text[kValueSize];
  if (read_property(controller, "ActiveFirmwareVersion", text)) return text;
  hm_node* prop = internal_get_node(controller, "ActiveFirmwareVersion", kProperty);
  hm_property* data = property_data(prop);
  return data != nullptr ? std::string(property_value(data)) : std::string();
}

// ---- generation 2: the fixed region list ------------------------------------------------------------

uint32_t flash_vx2_regions(const ControllerTarget& t, const char* path) {
  ImageFile image = open_ufi_with_fallback(path);
  if (image.file == nullptr) {
    fail(kStatusFlashUpgradeFailed, "%s", msg::kFirmwareUpgradeFailed);
    return 1;
  }
  FlashPlan plan;
  for (const Vx2Region& region : kVx2FlashRegions) {
    plan.push_back({uint64_t{kUfiGeneration2Base} + region.offset, region.size, region.optype, 0, false,
                    region.optype == kBootCodeOptype, false, false});
  }
  uint32_t result = ChkForValidUFI(image, nullptr, nullptr);
  for (const FlashStep& step : plan) {
    if (result == 0 && !step_fits(image, step)) result = refuse_file("a region lies outside the file");
  }
  for (size_t i = 0; result == 0 && i < plan.size(); ++i) {
    const FlashStep& step = plan[i];
    const bool asked = t.protocol == kProtocolIscsi || t.protocol == kProtocolNic;
    if (step.crc_test && asked && if_required_redboot_flash(t, image) == 0) continue;
    const uint32_t answer = write_component(t, image, step);
    if (answer != 0) result = answer == kComponentUnread ? 1 : answer;
  }
  close_image_file(&image);
  if (result != 0) {
    fail(kStatusFlashUpgradeFailed, "%s", msg::kFirmwareUpgradeFailed);
    return result;
  }
  varu_set_last_status(kStatusFlashUpdated, msg::kFirmwareUpdatedReboot);
  return 0;
}

// ---- generations 3 and 5: the images of a UFI file ------------------------------------------------

uint32_t plan_vx3_image(const ControllerTarget& t, const ImageFile& image, uint64_t start, FlashPlan* plan) {
  flash_directory directory{};
  if (get_flash_dir_vx3(start, image, &directory) != 0) {
    pdebug(kBackEnd, 3, "%s:Invalid Cookie. UFI corrupted.\n", __func__);
    return 1;
  }
  for (const Vx3Component& row : kVx3FlashComponents) {
    if (is_comp_in_ufi(directory, row.image_type, nullptr) == 0) continue;
    if (row.condition == FlashCondition::kNcsi && is_ncsi_required(t.controller) == 0) continue;
    if (row.condition == FlashCondition::kPhy && phy_flashing_required(t.controller) == 0) continue;
    const FlashStep step{start + row.offset, row.size, row.optype, 0, false, false, false,
                         row.condition == FlashCondition::kPhy};
    if (!step_fits(image, step)) return refuse_file("a component lies outside the file");
    plan->push_back(step);
  }
  return 0;
}

uint32_t plan_orvelle_image(const ControllerTarget& t, const ImageFile& image, uint64_t start, FlashPlan* plan) {
  flash_directory directory{};
  if (get_flash_dir_vx3(start, image, &directory) != 0) {
    pdebug(kBackEnd, 3, "%s:Invalid Cookie. UFI corrupted.\n", __func__);
    return 1;
  }
  if (directory.entry_count > kMaxDirectoryEntries) return refuse_file("the directory claims too many entries");
  // Once the running firmware predates 10.0, the entries that follow are written by offset.
  bool by_offset = false;
  bool version_read = false;
  bool by_optype = false;
  for (uint32_t i = 0; i < directory.entry_count; ++i) {
    const flash_directory_entry& entry = directory.entries[i];
    FlashStep step{start + entry.offset, entry.size, entry.optype, entry.offset, false, false, false, false};
    step.image_type = entry.image_type;
    if (entry.optype != kOptypeFromImageType) {
      if (!version_read) {
        by_optype = active_firmware_version(t.controller).find(kOptypeFirmwareVersion) != std::string::npos;
        version_read = true;
      }
      if (!by_optype) {
        by_offset = true;
        step.optype = kOffsetMethodOptype;
      }
      step.crc_test = true;
      step.own_optype = true;
    } else if (!orvelle_optype(entry.image_type, &step.optype)) {
      continue;
    }
    step.by_offset = by_offset;
    if (!step_fits(image, step)) return refuse_file("a component lies outside the file");
    plan->push_back(step);
  }
  return 0;
}

uint32_t run_vx3_plan(const ControllerTarget& t, const ImageFile& image, const FlashPlan& plan) {
  for (const FlashStep& step : plan) {
    const uint32_t answer = write_component(t, image, step);
    if (answer == 0 || (step.phy && answer == kPhyAnswerPassedOver)) continue;
    pdebug(kBackEnd, 3, "Flash Failed. Status = %d\n", static_cast<int>(answer));
    return 1;
  }
  return 0;
}

uint32_t run_orvelle_plan(const ControllerTarget& t, const ImageFile& image, const FlashPlan& plan,
                          FlashTally* tally) {
  for (const FlashStep& step : plan) {
    if (step.crc_test) {
      const uint32_t needed = is_required_flash(t, image, step);
      if (needed == kStatusDownloadTwice) return kStatusDownloadTwice;
      if (needed == 0) continue;
    }
    const uint32_t answer = write_component(t, image, step);
    if (answer == kComponentUnread) return 1;
    if (answer == 0) {
      tally->written = true;
      continue;
    }
    if (!step.own_optype) {
      pdebug(kBackEnd, 3, "%s: the adapter refused the component of image type 0x%X (optype %u), status 0x%x\n",
             __func__, step.image_type, step.optype, answer);
      tally->refused.push_back(step.image_type);
      continue;
    }
    pdebug(kBackEnd, 3, "Failed to flash firmware with status = 0x%x\n", answer);
    return answer == kOrvelleAnswerTwoPass ? kStatusDownloadTwice : 1;
  }
  return 0;
}

// Every image marked for flashing, each planned (and the file checked whole) before the first
// write; the first image that fails ends the update with its result.
uint32_t VARU_fw_download(const ControllerTarget& t, const char* path, uint32_t generation, FlashTally* tally) {
  ImageFile image = open_image_file(path);
  if (image.file == nullptr) {
    fail(kStatusUfiNotFound, "%s", msg::kUfiNotFound);
    return 1;
  }
  ufi_file_header header{};
  uint32_t result = read_ufi_header(image, &header) != 0 ? refuse_file("no signature or too many images") : 0;
  const uint64_t start = image_data_start(header.image_count);
  std::vector<FlashPlan> plans;
  for (uint32_t i = 0; result == 0 && i < header.image_count; ++i) {
    ufi_image_header image_header{};
    if (!image.read_at(sizeof header + uint64_t{sizeof image_header} * i, &image_header, sizeof image_header)) {
      result = refuse_file("an image header cannot be read");
    } else if (image_header.image_id == kImageToFlash) {
      plans.emplace_back();
      result = generation == kGeneration3 ? plan_vx3_image(t, image, start, &plans.back())
                                          : plan_orvelle_image(t, image, start, &plans.back());
    }
  }
  for (size_t i = 0; result == 0 && i < plans.size(); ++i) {
    result = generation == kGeneration3 ? run_vx3_plan(t, image, plans[i])
                                        : run_orvelle_plan(t, image, plans[i], tally);
  }
  close_image_file(&image);
  return result;
}

// ---- generation 4: the object file ------------------------------------------------------------------

// Writes the image to the "/prg" object in pieces: 0, 55 when the firmware takes it after a
// reboot, or 1. A piece is done only when the firmware wrote all of it.
uint32_t flash_quenta_image(const ControllerTarget& t, const uint8_t* image, uint32_t length) {
  if (image == nullptr || length == 0) return 1;
  auto* request = static_cast<uint8_t*>(varu_dmalloc(kObjectRequestSize));
  if (request == nullptr) return 1;
  uint32_t done = 0;
  uint32_t result = 1;
  while (done < length) {
    const uint32_t piece = length - done < kObjectPieceMax ? length - done : kObjectPieceMax;
    const bool last = piece == length - done;
    std::memset(request, 0, kObjectRequestSize);
    const uint32_t words[2] = {piece | (last ? kObjectEndOfFile : 0), done};
    std::memcpy(request, words, sizeof words);
    std::memcpy(request + kObjectNameOffset, kProgramObject, std::strlen(kProgramObject));
    std::memcpy(request + kObjectDataOffset, image + done, piece);
    if (ioctl_common_write_object_v1(t.port, request, kObjectRequestSize, t.domain, t.port_number, t.protocol) != 0) {
      break;
    }
    uint32_t written = 0;
    std::memcpy(&written, request, sizeof written);
    if (written == 0 || written > piece) {
      pdebug(kBackEnd, 3, "%s: No data has been written\n", __func__);
      break;
    }
    if (last && written == piece) {
      result = request[sizeof(uint32_t)] != 0 ? kStatusFlashUpdated : 0;
      break;
    }
    done += written;
  }
  varu_dfree(request);
  return result;
}

// Reads and checks the object file once, then writes what was checked.
uint32_t flash_object_file(const ControllerTarget& t, const char* path) {
  ImageFile file = open_image_file(path);
  if (file.file == nullptr) {
    fail(kStatusUfiNotFound, "%s", msg::kUfiNotFound);
    return 1;
  }
  const uint32_t length = file.size > UINT32_MAX ? 0 : static_cast<uint32_t>(file.size);
  auto* data = static_cast<uint8_t*>(varu_dmalloc(length != 0 ? length : 1));
  uint32_t result = 1;
  object_file_header header{};
  if (data == nullptr) {
    fail(kStatusInsufficientBuffer, "%s", msg::kInsufficientBuffer);
  } else if (!file.read_at(0, data, length)) {
    fail(kStatusObjectInvalid, "%s", msg::kObjectFileInvalid);
  } else if (process_obj_file(data, length, &header) == 0) {
    result = flash_quenta_image(t, data, length);
    if (result == kStatusFlashUpdated) {
      varu_set_last_status(kStatusFlashUpdated, msg::kFirmwareUpdatedReboot);
      result = 0;
    } else if (result != 0) {
      fail(kStatusFlashUpgradeFailed, "%s", msg::kFirmwareUpgradeFailed);
    }
  }
  varu_dfree(data);
  close_image_file(&file);
  return result;
}

// ---- the checks before a UFI flow -------------------------------------------------------------------

uint32_t check_ufi(const ControllerTarget& t, const char* path, uint32_t generation) {
  uint32_t subtype = 0;
  const uint32_t type = VARU_get_ufi_type(path, &subtype, generation);
  if (type == kUfiCannotOpen) {
    fail(kStatusUfiNotFound, "%s", msg::kUfiNotFound);
    return 1;
  }
  if (type != generation || type == kUfiInvalid) {
    fail(kStatusUfiIncompatible, "%s", msg::kUfiIncompatible);
    return 1;
  }
  uint8_t config[kFwConfigSize] = {};
  const uint32_t rc = ioctl_get_fw_config(t.port, config, t.domain, t.port_number, t.protocol);
  if (rc != 0) return 1;
  const uint8_t revision = config[kFwConfigAsicRevision];
  bool refused = false;
  if (generation == kGeneration3) {
    refused = (revision >= 0x11 && (subtype == 3 || subtype == 4)) || (revision == 0x10 && subtype == 3);
  } else if (generation == kGenerationOrvelle) {
    refused = subtype < revision;
  }
  if (refused) {
    fail(kStatusUfiIncompatible, "%s", msg::kUfiIncompatible);
    return 1;
  }
  return 0;
}

uint32_t upgrade_locked(const ControllerTarget& t, const char* path) {
  const uint32_t generation = get_vx_type(t.controller);
  if (generation == kStatusFailed) return 1;
  if (generation == kGenerationQuenta) return flash_object_file(t, path);
  if (check_ufi(t, path, generation) != 0) return 1;
  if (generation == kGeneration2) return flash_vx2_regions(t, path);
  FlashTally tally;
  const uint32_t result = VARU_fw_download(t, path, generation, &tally);
  if (result == 0 && !tally.refused.empty()) {
    // The update went on past the refused components; it still did not do all it was asked.
    if (!tally.written) {
      fail(kStatusFlashUpgradeFailed, "%s", msg::kFirmwareUpgradeFailed);
    } else {
      fail(kStatusFlashComponentsRefused, "%s", msg::kFirmwareComponentsRefused);
    }
    return 1;
  }
  if (result == 0) {
    varu_set_last_status(kStatusFlashUpdated, msg::kFirmwareUpdatedReboot);
  } else if (result == kStatusDownloadTwice) {
    varu_set_last_status(kStatusDownloadTwice, msg::kFirmwareTwoPass);
  } else {
    fail(kStatusFlashUpgradeFailed, "%s", msg::kFirmwareUpgradeFailed);
  }
  return result;
}

}  // namespace

uint32_t phy_flashing_required(hm_node* controller) {
  hm_node* phba = first_physical_hba(controller);
  if (phba == nullptr) return 1;
  const bool iscsi = get_first_instance(controller, "iSCSIPhysicalHBA") == phba;
  uint8_t details[24] = {};
  if (ioctl_get_phy_details(get_port_number(phba), details, static_cast<uint8_t>(get_domain_id(phba)),
                            static_cast<uint8_t>(get_phba_port_number(phba)),
                            iscsi ? kProtocolIscsi : kProtocolNic) != 0) {
    return 0;
  }
  uint16_t type = 0;
  uint16_t interface = 0;
  std::memcpy(&type, details, sizeof type);
  std::memcpy(&interface, details + 2, sizeof interface);
  return type == kPhyTypeFlashed && interface == kPhyInterfaceFlashed ? 1 : 0;
}

uint32_t do_UpgradeFlashROM(hm_node* controller, hm_node* action, char params[6][256]) {
  if (vm_flag == 1) {
    fail(kStatusFirmwareUpdateOnVf, "%s", msg::kFirmwareUpdateOnVf);
    return 1;
  }
  ControllerTarget target;
  if (!controller_target(controller, action, &target)) return 1;
  char path[kValueSize];
  std::memcpy(path, params[0], sizeof path);
  path[sizeof path - 1] = '\0';
  CmdLockGuard lock(kFlashPidFile);
  if (!lock.held()) {
    fail(kStatusUpgradeRunning, "%s", msg::kUpgradeFlashRunning);
    return 1;
  }
  return upgrade_locked(target, path);
}

}  // namespace vx
