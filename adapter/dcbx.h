// The DCBX records of a port as its DCBX, PFC, priority-group, application-TLV and QCN properties
// show and change them: one read fills a whole group; a write reads the administrator record,
// carries it over into the request and changes one field.
#pragma once

#include <cstdint>

#include "adapter/command_target.h"
#include "engine/hm.h"

namespace vx {

// Statuses of these routines.
constexpr uint32_t kStatusDcbxRead = 101;
constexpr uint32_t kStatusDcbxWrite = 102;
constexpr uint32_t kStatusDcbxModeRead = 103;
constexpr uint32_t kStatusDcbxModeWrite = 104;
constexpr uint32_t kStatusDcbxMib = 108;
constexpr uint32_t kStatusDcbxModeChanged = 152;
constexpr uint32_t kStatusNotOnThisAdapter = 291;
constexpr uint32_t kStatusQcnNotSupported = 326;
constexpr uint32_t kStatusQcnNotOperational = 327;
constexpr uint32_t kStatusRecordVersion = 213;   // the firmware knows only the 312-byte record

// The record a group's properties come from: 0 administrator, 2 peer, 1 operational (any other
// group, DCBXPortVars among them). A PG or ApplicationTLV instance reads its setting's.
uint8_t dcbx_selector(const hm_node* group);

// One DCBX record of the port: 312 bytes, or 368 with `v1`. 0, or the command's status.
uint32_t read_dcbx_record(const PortCommand& at, uint8_t selector, bool v1, uint8_t* record);
uint32_t write_dcbx_record(const PortCommand& at, bool v1, uint8_t* request);

// One read of the group's record, and its properties filled (the QCN groups from the 368-byte
// record). 0; the command's status with status 101; 1 when a property write failed.
uint32_t VARU_get_feature_vars(const PortCommand& at, hm_node* group);
// One carry-over write of the administrator record that changes the property's field to `value`.
// 0; 6 with "Invalid Value." for a bad number (nothing sent); the command's status with 101 or 102.
uint32_t VARU_set_feature_vars(const PortCommand& at, hm_node* prop, const char* value);

// The operating parameters of the port: when a descriptor's mode is 0 or 2 the group's
// OperationalMode becomes "N/A" and *flag 1. 0, or 1 when the read failed.
uint32_t VARU_get_operating_value(const PortCommand& at, hm_node* group, uint32_t* flag);

}  // namespace vx
