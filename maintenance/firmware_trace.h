// What the firmware records under a controller: the FAT data (FATData group), the ARM firmware's
// extended trace (ExtFATData group, its ExtFATModule and ExtFATMode instances and the ARM log) and
// the event log (EventLog group). The handlers themselves are declared in schema/handlers.h; these
// are the routines beside them.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/hm.h"

namespace vx {

// Statuses these routines leave.
constexpr uint32_t kStatusFatRetrieveFailed = 65;
constexpr uint32_t kStatusInvalidFatFile = 66;
constexpr uint32_t kStatusNoFatData = 77;
constexpr uint32_t kStatusNoObjectData = 271;
constexpr uint32_t kStatusNotOnThisController = 259;
constexpr uint32_t kStatusExtFatGetFailed = 201;
constexpr uint32_t kStatusExtFatSetFailed = 203;
constexpr uint32_t kStatusStringTableFailed = 207;

// Firmware objects of a generation-4 adapter that quenta_get_read_object reads.
enum class FirmwareObject : uint32_t { kFatDump = 1, kVpd = 2 };

// Writes the object to `file`, made fresh, reading it in pieces of at most 32768 bytes on the
// given path. 0; or 1 with status 66 (the file cannot be made or is refused), 16 (no memory), 65
// (a command failed) or 271 (the object is empty, or a piece came back empty).
uint32_t quenta_get_read_object(hm_node* controller, int32_t port, const char* file, uint8_t domain,
                                uint8_t port_number, int32_t protocol, FirmwareObject object);

// The ExtFAT record with `selector` (kExtFatDefaults, kExtFatCurrent) into `record` (64000 bytes):
// 0, or the command's status with status 201.
uint32_t read_extfat_record(hm_node* controller, hm_node* at, uint32_t selector, std::vector<uint8_t>* record);

// The mode entry's masks and trace level into the ExtFATMode instance's cached values: 0, or the
// failure of the read (status 201).
uint32_t get_extfat_data(hm_node* extfat_group, hm_node* mode_instance);
// Checks `value` for the ExtFATMode property `property` and writes it into the instance's mode
// entry: 0; 1 with status 6 (bad mask), 201 (read failed) or 203 (write failed, or the instance has
// no mode entry of its own).
uint32_t set_extfat_data(hm_node* extfat_group, hm_node* mode_instance, const char* property, const char* value);

// The firmware's string table, kept in memory: 0, or 1 with status 207.
uint32_t read_extfat_string_table(hm_node* controller, hm_node* at, std::vector<uint8_t>* table);

// Replaces the controller's EventLogEntry instances with the adapter's records: 0; 1 (no EventLog
// group, an instance that could not be made, or the read failed: status 112); or a failed deletion's
// status.
uint32_t get_eventlog_entries(int32_t port, uint8_t domain, uint8_t port_number, hm_node* controller);

}  // namespace vx
