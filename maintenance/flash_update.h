// Firmware update: the controller action "UpgradeFlashROM" (do_UpgradeFlashROM, bound in the
// controller table), which the IMA firmware download reaches too. It takes the host-wide pid lock
// and follows one of four flows by generation: the region list of generation 2, the component table
// of generation 3, the flash directory of generation 5 (by optype, or by offset when the running
// firmware predates 10.0) and the object file of generation 4. Every file is checked whole before
// the first flash command.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

constexpr const char* kFlashPidFile = "/var/run/varuflash.pid";

constexpr uint32_t kStatusFirmwareUpdateOnVf = 235;
constexpr uint32_t kStatusUpgradeRunning = 173;
constexpr uint32_t kStatusUfiIncompatible = 162;
constexpr uint32_t kStatusFlashUpgradeFailed = 166;
constexpr uint32_t kStatusFlashUpdated = 55;
constexpr uint32_t kStatusDownloadTwice = 318;
// Written, but without the components the adapter refused (their image types are logged).
constexpr uint32_t kStatusFlashComponentsRefused = 339;

// 1 when the controller's PHY (type 13 on interface 6) takes its own firmware, or when the
// controller has no physical HBA to ask; 0 otherwise or when the PHY details cannot be read.
uint32_t phy_flashing_required(hm_node* controller);

}  // namespace vx
