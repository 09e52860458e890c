// The ARM firmware's extended trace: its capabilities and trace modules at start-up, each logging
// mode's masks and trace level, the default configuration, logging switched on or off for all
// modules, and the ARM log written to a file behind the firmware's string table.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "access/fw_commands.h"
#include "access/text.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "maintenance/controller_target.h"
#include "maintenance/firmware_trace.h"
#include "maintenance/output_file.h"
#include "maintenance/trace_records.h"
#include "schema/ext_fat.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"
#include "schema/names_services.h"

namespace vx {
namespace {

using namespace controller;
using services::kPropMode;
using services::kPropModuleId;
using services::kPropModuleString;
using services::kPropPCIFunctionMask;
using services::kPropPortMask;
using services::kPropTraceLevel;

constexpr uint32_t kStatusBadMask = 6;
constexpr uint32_t kStatusEnableFailed = 211;
constexpr uint32_t kStatusDisableFailed = 212;
constexpr uint32_t kStatusBadFileOrPath = 257;
constexpr uint32_t kStatusSnapshotFailed = 206;
constexpr uint32_t kStatusNoSnapshotEntries = 205;
constexpr uint32_t kStatusSnapshotConfigFailed = 204;
constexpr uint32_t kTraceLevelDisabled = 255;
constexpr uint32_t kMaxPortMaskBits = 16;
constexpr uint64_t kAllFunctions = ~uint64_t{0};
constexpr size_t kMaxStringTable = 16u << 20;   // a firmware that never says it is done is not followed for ever
constexpr const char* kAllModes = "ALL";

int32_t adapter_of(const ControllerTarget& t) { return get_vx_instance(t.controller); }

uint32_t write_extfat_record(const ControllerTarget& t, std::vector<uint8_t>& record) {
  const uint32_t status = ioctl_set_extfat_capabilites(t.port, record.data(), static_cast<uint16_t>(record.size()),
                                                       t.domain, t.port_number, adapter_of(t));
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_set_extfat_capabilites failed with status = %d\n", __func__, static_cast<int>(status));
    varu_set_last_status(kStatusExtFatSetFailed, msg::kExtFatSetFailed);
  }
  return status;
}

extfat_capabilities head_of(const std::vector<uint8_t>& record) {
  extfat_capabilities c;
  std::memcpy(&c, record.data(), sizeof c);
  return c;
}

// The seven ExtFATData properties from the record; 0 when every write succeeded.
uint32_t set_capability_props(hm_node* group, const std::vector<uint8_t>& record) {
  const extfat_capabilities c = head_of(record);
  int failed = set_prop_val(group, kPropMaxLogEntries, "%u", c.max_log_entries);
  failed |= set_prop_val(group, kPropLogEntrySize, "%u", c.log_entry_size);
  failed |= set_prop_val(group, kPropLoggingType, "%s", logging_type_text(c.logging_type));
  failed |= set_prop_val(group, kPropMaxLoggingFunctions, "%u", c.max_functions);
  failed |= set_prop_val(group, kPropMaxLoggingPorts, "%u", c.max_ports);
  failed |= set_prop_val(group, kPropSupportedModes, "%s", supported_modes_text(c.supported_modes));
  failed |= set_prop_val(group, kPropNumberOfModules, "%u", c.module_count);
  return failed != 0 ? kStatusFailed : kStatusOk;
}

// A mode entry into an ExtFATMode instance; the masks with or without their "0x".
uint32_t fill_mode(hm_node* mode, const extfat_mode_entry& e, bool prefixed) {
  int failed = 0;
  if (const char* name = mode_name(e.mode)) failed |= set_prop_val(mode, kPropMode, "%s", name);
  failed |= set_prop_val(mode, kPropTraceLevel, "%u", e.trace_level);
  failed |= set_prop_val(mode, kPropPortMask, prefixed ? "0x%x" : "%x", e.port_mask);
  failed |= set_prop_val(mode, kPropPCIFunctionMask, prefixed ? "0x%llx" : "%llx",
                         static_cast<unsigned long long>(function_mask_of(e)));
  return failed != 0 ? kStatusFailed : kStatusOk;
}

extfat_mode_entry mode_entry(const std::vector<uint8_t>& record, const ExtFatModule& m, uint32_t k) {
  extfat_mode_entry e;
  std::memcpy(&e, record.data() + m.offset + sizeof(extfat_module_entry) + k * sizeof e, sizeof e);
  return e;
}

// A capability count as a number; false when unreadable.
bool count_of(hm_node* group, const char* property, uint64_t* out) {
  std::string text;
  return read_property(group, property, &text) && parse_number(text, 10, UINT32_MAX, out);
}

// Sets the trace level of the mode entries, in the record, of every ExtFATMode instance whose Mode
// is `mode` ("ALL": every one). 0, or 1 for another mode name or an unreadable Mode.
uint32_t update_trace_level_for_mode(hm_node* group, const char* mode, std::vector<uint8_t>& record, uint32_t level) {
  const bool all = std::strcmp(mode, kAllModes) == 0;
  if (!all && std::strcmp(mode, "UART") != 0 && std::strcmp(mode, "RAM") != 0) return kStatusFailed;
  ExtFatModule modules[kMaxExtFatModules];
  const size_t count = extfat_modules(record.data(), record.size(), ExtFatWalk::kHandlers, modules);
  hm_node* module = get_first_instance(group, kGroupExtFATModule);
  for (size_t i = 0; module != nullptr && i < count; module = next_instance(module), ++i) {
    hm_node* instance = get_first_instance(module, kGroupExtFATMode);
    for (uint32_t k = 0; instance != nullptr && k < modules[i].modes_present; instance = next_instance(instance), ++k) {
      std::string name;
      if (!read_property(instance, kPropMode, &name)) return kStatusFailed;
      if (!all && name != mode) continue;
      auto* e = extfat_mode_at(record.data(), record.size(), static_cast<uint32_t>(i), k);
      if (e != nullptr) e->trace_level = level;
    }
  }
  return kStatusOk;
}

uint32_t set_extfat_modes(hm_node* group, char params[6][256], bool enable) {
  ControllerTarget t;
  if (!controller_target(controller_of(group), group, &t)) return kStatusFailed;
  const std::string uart = enable ? params[1] : params[0];
  const std::string ram = enable ? params[2] : params[1];
  const uint32_t level = enable ? static_cast<uint32_t>(std::strtoul(params[0], nullptr, 10)) : kTraceLevelDisabled;
  const bool uart_yes = equal_nocase(uart, "Yes");
  const bool ram_yes = equal_nocase(ram, "Yes");
  if (!uart.empty() && !ram.empty() && !uart_yes && !ram_yes) return kStatusOk;   // both "No": nothing to do

  std::vector<uint8_t> record;
  const uint32_t read = read_extfat_record(t.controller, group, kExtFatCurrent, &record);
  if (read != 0) return read;
  const char* mode = nullptr;
  if ((uart.empty() && ram.empty()) || (uart_yes && ram_yes)) {
    mode = kAllModes;
  } else if (uart_yes) {
    mode = "UART";
  } else if (ram_yes) {
    mode = "RAM";
  }
  if (mode != nullptr && update_trace_level_for_mode(group, mode, record, level) != 0) return kStatusFailed;
  return write_extfat_record(t, record);
}

// Hex digits after "0x" (status 6 for anything else); their value in `out`, false when it needs
// more than 64 bits.
uint32_t parse_mask(const char* value, uint64_t* out, bool* fits) {
  if (value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) return refuse(kStatusBadMask, msg::kMaskNotHex);
  const char* digits = value + 2;
  const size_t length = std::strlen(digits);
  if (length == 0 || is_hex(digits, static_cast<int32_t>(length)) == 0) {
    return refuse(kStatusBadMask, msg::kSecretHexDigits);
  }
  while (*digits == '0' && digits[1] != '\0') ++digits;
  *fits = std::strlen(digits) <= 16;
  *out = *fits ? std::strtoull(digits, nullptr, 16) : 0;
  return kStatusOk;
}

// Reads the snapshot's entries from `first` into `reply`; 0 or the command's status (with 206).
uint32_t read_snapshot(const ControllerTarget& t, uint32_t source, uint32_t first, std::vector<uint8_t>* reply) {
  reply->assign(kExtFatBuffer, 0);
  const extfat_snapshot_request r{source, first, kSnapshotAsk};
  std::memcpy(reply->data(), &r, sizeof r);
  const uint32_t status = ioctl_retrieve_extfat_snapshot(t.port, reply->data(), static_cast<uint16_t>(reply->size()),
                                                         t.domain, t.port_number, adapter_of(t));
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_retrieve_extfat_snapshot failed with status = %d\n", __func__,
           static_cast<int>(status));
    varu_set_last_status(kStatusSnapshotFailed, msg::kSnapshotFailed);
  }
  return status;
}

bool write_entries(OutputFile& out, const std::vector<uint8_t>& reply, uint32_t count) {
  return out.write(reply.data() + kSnapshotEntries, size_t{count} * kLogEntrySize);
}

// A log whose replies would go past the retrieval's limits: a failed retrieval.
uint32_t log_beyond_limits(const char* caller) {
  pdebug(kBackEnd, 3, "%s: the log goes past %u entries or %u requests\n", caller, kMaxArmLogEntries, kMaxTraceReads);
  return refuse(kStatusSnapshotFailed, msg::kSnapshotFailed);
}

// FLASH: the entries from the first on, until a reply brings none or MaxLogEntries are written.
uint32_t write_flash_log(const ControllerTarget& t, hm_node* group, OutputFile& out) {
  uint64_t limit = 0;
  if (!count_of(group, kPropMaxLogEntries, &limit) || limit == 0) limit = kSnapshotAsk;
  std::vector<uint8_t> reply;
  ArmLogCount written;
  for (uint32_t first = 0;;) {
    if (read_snapshot(t, kSnapshotFlash, first, &reply) != 0) return kStatusFailed;
    const uint32_t n = snapshot_entries(reply.data(), reply.size());
    if (first == 0 && n < 2) return refuse(kStatusNoSnapshotEntries, msg::kNoSnapshotEntries);
    if (n == 0) return kStatusOk;
    const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(n, limit - written.entries()));
    if (!written.add(take)) return log_beyond_limits(__func__);
    if (!write_entries(out, reply, take)) return refuse(kStatusSnapshotFailed, msg::kSnapshotFailed);
    if (written.entries() >= limit) return kStatusOk;
    first += n;
  }
}

// RAM and DDR: the snapshot's entries, as many as configuring it announced.
uint32_t write_memory_log(const ControllerTarget& t, uint32_t expected, OutputFile& out) {
  std::vector<uint8_t> reply;
  ArmLogCount written;
  for (uint32_t first = 0;;) {
    if (read_snapshot(t, kSnapshotMemory, first, &reply) != 0) return kStatusFailed;
    const uint32_t n = snapshot_entries(reply.data(), reply.size());
    if (n == 0) return kStatusOk;
    if (!written.add(n)) return log_beyond_limits(__func__);
    if (!write_entries(out, reply, n)) return refuse(kStatusSnapshotFailed, msg::kSnapshotFailed);
    if (n >= expected) return kStatusOk;
    first += n;
    expected -= n;
  }
}

}  // namespace

uint32_t read_extfat_record(hm_node* controller, hm_node* at, uint32_t selector, std::vector<uint8_t>* record) {
  ControllerTarget t;
  if (!controller_target(controller, at, &t)) return kStatusFailed;
  record->assign(kExtFatBuffer, 0);
  std::memcpy(record->data(), &selector, sizeof selector);
  const uint32_t status = ioctl_get_extfat_capabilites(t.port, record->data(), static_cast<uint16_t>(record->size()),
                                                       t.domain, t.port_number, adapter_of(t));
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_extfat_capabilites failed with status = %d\n", __func__, static_cast<int>(status));
    varu_set_last_status(kStatusExtFatGetFailed, msg::kExtFatGetFailed);
  }
  return status;
}

uint32_t VARU_extfat_modules(hm_node* controller) {
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) return kStatusFailed;
  if (generation == kGenerationQuenta) return refuse(kStatusNotOnThisController, msg::kNotOnThisController);
  hm_node* group = internal_get_node(controller, kGroupExtFATData, kGroup);
  if (group == nullptr) return kStatusFailed;
  std::vector<uint8_t> record;
  // The first physical HBA's domain and port number, as every start-up read of the controller.
  const uint32_t read = read_extfat_record(controller, first_physical_hba(controller), kExtFatDefaults, &record);
  if (read != 0) return read;
  uint32_t result = set_capability_props(group, record);

  ExtFatModule modules[kMaxExtFatModules];
  const size_t count = extfat_modules(record.data(), record.size(), ExtFatWalk::kStartup, modules);
  for (size_t i = 0; i < count; ++i) {
    hm_node* module = initialize_ExtFATModule(group, nullptr, nullptr, nullptr);
    if (module == nullptr) return kStatusFailed;
    result |= set_prop_val(module, kPropModuleString, "%s", modules[i].name);
    result |= set_prop_val(module, kPropModuleId, "%u", modules[i].id);
    if (modules[i].mode_count > 4) break;
    // Two modes each, whatever the module has; a mode it lacks keeps its defaults.
    for (uint32_t k = 0; k < 2; ++k) {
      hm_node* mode = initialize_ExtFATMode(module, nullptr, nullptr, nullptr);
      if (mode == nullptr) return kStatusFailed;
      if (k < modules[i].modes_present) result |= fill_mode(mode, mode_entry(record, modules[i], k), true);
    }
  }
  return result != 0 ? kStatusFailed : kStatusOk;
}

uint32_t get_extfat_data(hm_node* group, hm_node* mode) {
  std::vector<uint8_t> record;
  const uint32_t read = read_extfat_record(controller_of(group), mode, kExtFatCurrent, &record);
  if (read != 0) return read;
  const int32_t module_number = instance_number(mode->parent);
  const int32_t mode_number = instance_number(mode);
  if (module_number < 0 || mode_number < 0) return kStatusOk;
  // A mode with no entry of its own keeps what it shows.
  const extfat_mode_entry* e = extfat_mode_at(record.data(), record.size(), static_cast<uint32_t>(module_number),
                                              static_cast<uint32_t>(mode_number));
  return e != nullptr ? fill_mode(mode, *e, true) : kStatusOk;
}

uint32_t set_extfat_data(hm_node* group, hm_node* mode, const char* property, const char* value) {
  ControllerTarget t;
  if (value == nullptr || property == nullptr || !controller_target(controller_of(group), mode, &t)) {
    return kStatusFailed;
  }
  uint64_t functions = 0;
  uint64_t ports = 0;
  if (!count_of(group, kPropMaxLoggingFunctions, &functions) || !count_of(group, kPropMaxLoggingPorts, &ports)) {
    return kStatusFailed;
  }
  const bool port_mask = std::strcmp(property, kPropPortMask) == 0;
  const bool function_mask = std::strcmp(property, kPropPCIFunctionMask) == 0;
  if (!port_mask && !function_mask && std::strcmp(property, kPropTraceLevel) != 0) return kStatusFailed;
  uint64_t mask = 0;
  bool fits = true;
  if (port_mask || function_mask) {
    if (parse_mask(value, &mask, &fits) != 0) return kStatusFailed;
  }
  // Limits are 64-bit: a count of 16 ports (64 functions) or more allows every mask. The all-ones
  // function mask stands for every function and is never bounded.
  if (port_mask && (!fits || !mask_within(mask, ports < kMaxPortMaskBits ? static_cast<uint32_t>(ports)
                                                                        : kMaxPortMaskBits))) {
    return refuse(kStatusBadMask, msg::kMaskBeyondPorts);
  }
  if (function_mask && (!fits || (mask != kAllFunctions && !mask_within(mask, static_cast<uint32_t>(functions))))) {
    return refuse(kStatusBadMask, msg::kMaskBeyondFunctions);
  }

  std::vector<uint8_t> record;
  const uint32_t read = read_extfat_record(t.controller, mode, kExtFatCurrent, &record);
  if (read != 0) return read;
  const int32_t module_number = instance_number(mode->parent);
  const int32_t mode_number = instance_number(mode);
  extfat_mode_entry* e = module_number < 0 || mode_number < 0
                             ? nullptr
                             : extfat_mode_at(record.data(), record.size(), static_cast<uint32_t>(module_number),
                                              static_cast<uint32_t>(mode_number));
  // A mode the module does not have cannot be set: said so, never a success that changed nothing.
  if (e == nullptr) return refuse(kStatusExtFatSetFailed, msg::kExtFatSetFailed);
  if (port_mask) {
    e->port_mask = static_cast<uint16_t>(mask);
  } else if (function_mask) {
    set_function_mask(e, mask);
  } else {
    e->trace_level = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
  }
  return write_extfat_record(t, record);
}

uint32_t handle_current_mode_properties(hm_node* prop, char* buf, uint32_t op) {
  hm_node* mode = prop != nullptr ? prop->parent : nullptr;
  hm_node* group = ancestor_named(mode, kGroupExtFATData);
  if (mode == nullptr || group == nullptr || buf == nullptr) return kStatusFailed;
  if (op == kSet) return set_extfat_data(group, mode, prop->name, buf);
  if (op != kGet) return kStatusFailed;
  const uint32_t got = get_extfat_data(group, mode);
  handle_internal_property(prop, buf, kGet);
  return got != 0 ? kStatusFailed : kStatusOk;
}

uint32_t do_SetDefaultLoggingConfiguration(hm_node* group, hm_node*, char[6][256]) {
  ControllerTarget t;
  if (!controller_target(controller_of(group), group, &t)) return kStatusFailed;
  std::vector<uint8_t> record;
  const uint32_t read = read_extfat_record(t.controller, group, kExtFatDefaults, &record);
  if (read != 0) return read;
  const uint32_t written = write_extfat_record(t, record);
  if (written != 0) return written;
  set_capability_props(group, record);

  ExtFatModule modules[kMaxExtFatModules];
  const size_t count = extfat_modules(record.data(), record.size(), ExtFatWalk::kHandlers, modules);
  hm_node* module = get_first_instance(group, kGroupExtFATModule);
  if (module == nullptr) return kStatusFailed;
  for (size_t i = 0; module != nullptr && i < count; module = next_instance(module), ++i) {
    set_prop_val(module, kPropModuleString, "%s", modules[i].name);
    set_prop_val(module, kPropModuleId, "%u", modules[i].id);
    hm_node* mode = get_first_instance(module, kGroupExtFATMode);
    if (mode == nullptr) return kStatusFailed;
    for (uint32_t k = 0; mode != nullptr; mode = next_instance(mode), ++k) {
      if (k < modules[i].modes_present) fill_mode(mode, mode_entry(record, modules[i], k), false);
    }
  }
  return kStatusOk;
}

uint32_t do_EnableLoggingOnAllModules(hm_node* group, hm_node*, char params[6][256]) {
  return set_extfat_modes(group, params, true) != 0 ? refuse(kStatusEnableFailed, msg::kEnableLoggingFailed)
                                                     : kStatusOk;
}

uint32_t do_DisableLoggingOnAllModules(hm_node* group, hm_node*, char params[6][256]) {
  return set_extfat_modes(group, params, false) != 0 ? refuse(kStatusDisableFailed, msg::kDisableLoggingFailed)
                                                      : kStatusOk;
}

uint32_t read_extfat_string_table(hm_node* controller, hm_node* at, std::vector<uint8_t>* table) {
  ControllerTarget t;
  table->clear();
  if (!controller_target(controller, at, &t)) return kStatusFailed;
  std::vector<uint8_t> reply(kExtFatBuffer);
  for (uint32_t offset = 0, reads = 0;; ++reads) {
    std::fill(reply.begin(), reply.end(), 0);
    const string_table_request r{offset, kStringTableAsk};
    std::memcpy(reply.data(), &r, sizeof r);
    const uint32_t status = ioctl_read_extfat_string_table(t.port, reply.data(), static_cast<uint16_t>(reply.size()),
                                                           t.domain, t.port_number, adapter_of(t));
    if (status != 0 || table->size() > kMaxStringTable || reads >= kMaxTraceReads) {
      pdebug(kBackEnd, 3, "%s:ioctl_read_extfat_string_table failed with status = %d\n", __func__,
             static_cast<int>(status));
      table->clear();
      return refuse(kStatusStringTableFailed, msg::kStringTableFailed);
    }
    const uint32_t n = string_table_bytes(reply.data(), reply.size());
    if (n == 0) break;
    table->insert(table->end(), reply.begin() + kStringTableData, reply.begin() + kStringTableData + n);
    offset += n;
    if (string_table_remaining(reply.data(), reply.size()) == 0) break;
  }
  return kStatusOk;
}

uint32_t do_RetrieveARMLog(hm_node* group, hm_node* action, char params[6][256]) {
  ControllerTarget t;
  if (!controller_target(controller_of(group), action, &t)) return kStatusFailed;
  char file[kValueSize];
  std::snprintf(file, sizeof file, "%s", params[0]);
  // Kept in memory: nothing is written beside the log, so two retrievals never meet in a file.
  std::vector<uint8_t> table;
  const bool have_table = read_extfat_string_table(t.controller, action, &table) == 0;
  std::remove(file);

  OutputFile out;
  uint32_t result;
  if (equal_nocase(params[1], "FLASH")) {
    if (!out.create_new(file)) {
      pdebug(kBackEnd, 2, "%s:cannot create %s\n", __func__, file);
      return kStatusFailed;
    }
    if (!have_table) return refuse(kStatusBadFileOrPath, msg::kInvalidFileName);
    out.write(table.data(), table.size());
    result = write_flash_log(t, group, out);
  } else {
    uint32_t total = 0;
    if (ioctl_configure_extfat_snapshot(t.port, &total, t.domain, t.port_number, adapter_of(t)) != 0) {
      return refuse(kStatusSnapshotConfigFailed, msg::kSnapshotConfigFailed);
    }
    if (total == 0) return refuse(kStatusNoSnapshotEntries, msg::kNoSnapshotEntries);
    if (total > kMaxArmLogEntries) return log_beyond_limits(__func__);
    if (!out.create_new(file)) return refuse(kStatusBadFileOrPath, msg::kInvalidFileName);
    if (!have_table) return kStatusFailed;
    out.write(table.data(), table.size());
    result = write_memory_log(t, total, out);
  }
  if (!out.close() && result == kStatusOk) result = refuse(kStatusSnapshotFailed, msg::kSnapshotFailed);
  return result;
}

}  // namespace vx
