// What the handlers of the NIC function, SR-IOV, MAC, virtual-function, channel and profile-save
// settings share: answering a property's cached value, the "N/A" and virtual-function answers, the
// physical HBA above a node with its function number, and the statuses these handlers leave.
#pragma once

#include <cstdint>

#include "adapter/command_target.h"
#include "engine/hm.h"
#include "iscsi/common.h"

namespace vx {

constexpr const char* kTextNotAvailable = kTextNA;
constexpr uint32_t kGenerationNone = 1;   // get_vx_type could not read the generation

// Statuses of these handlers.
constexpr uint32_t kStatusBadValue = 17;                 // "Invalid value. Please use valid value."
constexpr uint32_t kStatusSetMacNotInOs = 70;
constexpr uint32_t kStatusGetNicParamsFailed = 93;
constexpr uint32_t kStatusGetQosFailed = 114;
constexpr uint32_t kStatusSetVlanFailed = 124;
constexpr uint32_t kStatusLegacyPersonalityRead = 140;
constexpr uint32_t kStatusBootRead = 141;
constexpr uint32_t kStatusBootWrite = 142;
constexpr uint32_t kStatusNoFactoryMac = 159;
constexpr uint32_t kStatusGetMacFailed = 160;
constexpr uint32_t kStatusSetMacFailed = 161;
constexpr uint32_t kStatusVnicStats = 185;
constexpr uint32_t kStatusVnicName = 186;
constexpr uint32_t kStatusGetSriovFailed = 241;
constexpr uint32_t kStatusSetSriovFailed = 242;
constexpr uint32_t kStatusSriovNotChangeable = 247;
constexpr uint32_t kStatusSriovChanged = 252;
constexpr uint32_t kStatusSriovZmc = 253;
constexpr uint32_t kStatusFirmwareNotSupported = 149;   // the firmware does not offer the command
constexpr uint32_t kStatusNotOnController = 259;
constexpr uint32_t kStatusNetworkBootRefused = 272;
constexpr uint32_t kStatusBootMethodRefused = 273;
constexpr uint32_t kStatusBootMethodMissing = 274;
constexpr uint32_t kStatusLinkDisabledQos = 285;
constexpr uint32_t kStatusLpvidStorage = 286;
constexpr uint32_t kStatusQosMinAboveMax = 287;
constexpr uint32_t kStatusNotOnAdapter = 291;
constexpr uint32_t kStatusVepaRefused = 297;
constexpr uint32_t kStatusSaveNotSupported = 303;
constexpr uint32_t kStatusRebootForChange = 304;
constexpr uint32_t kStatusSaveRefused = 305;
constexpr uint32_t kStatusLpvidRange = 308;
constexpr uint32_t kStatusAdvancedModeRefused = 311;
constexpr uint32_t kStatusAdvancedModeChanged = 312;
constexpr uint32_t kStatusNoChannels = 317;
constexpr uint32_t kStatusChannelParameterRefused = 323;
constexpr uint32_t kStatusVolatileMacFailed = 328;

// The property becomes `text` and is answered (return_cached, cache_text and refuse_on_vf of
// adapter/command_target.h do the rest).
uint32_t give_text(hm_node* prop, char* buf, const char* text);

// The physical HBA a node belongs to: the nearest NICPhysicalHBA or iSCSIPhysicalHBA above it (the
// node itself first); NULL when none.
hm_node* physical_hba_of(hm_node* node);
// The controller (Vexalon instance) a node belongs to, through its physical HBA's parent or its
// own ancestors; NULL when none.
hm_node* adapter_of(hm_node* node);
// The physical HBA's PCI/FunctionNumber: the text (as shown, "0x%x") and its value in any base.
// False when it cannot be read or is not a whole number.
bool phba_function_number(hm_node* phba, char text[kValueSize], uint32_t* value);

}  // namespace vx
