// The erase of an area of the adapter's flash (opcode 7 of subsystem 1): its request, and the erase
// of a NIC function's settings, which the NIC function's own erase and the adapter-wide erase of the
// configuration both run. The request is plain data, shared with the simulated adapter.
#pragma once

#include <cstdint>

struct hm_node;

namespace vx {

constexpr uint32_t kEraseOperation = 3;
// Areas.
constexpr uint32_t kEraseIscsi = 6;
constexpr uint32_t kEraseNic = 14;
constexpr uint32_t kErasePort = 15;
struct erase_request {
  uint32_t operation;
  uint32_t area;
  uint8_t reserved8[12];
};
static_assert(sizeof(erase_request) == 20);

constexpr uint32_t kStatusErased = 184;
constexpr uint32_t kStatusEraseRebootNow = 55;   // the firmware's answer: done, reboot at once
constexpr uint32_t kStatusPortEraseFailed = 187;
constexpr uint32_t kStatusNicEraseFailed = 188;
constexpr uint32_t kStatusRebootImmediately = 239;

// Erases the NIC settings of the NIC physical HBA's function. 0 with status 184; 55 with status 239
// when the adapter must be rebooted at once; else the command's status with status 188.
uint32_t VARU_EraseNICConfiguration(hm_node* nic_phba);

}  // namespace vx
