// Personalities: the storage protocol an adapter's storage-capable functions run (NIC, iSCSI or
// FCoE), read and changed on the profile path, or on the legacy path of the adapters whose firmware
// answers the profile commands with status 213 (288 for a read). A change needs a reboot.
// do_SetPersonality, handle_ConfiguredPersonality and VARU_update_current_personality (start-up)
// are declared in schema/handlers.h.
#pragma once

#include <cstdint>

#include "engine/hm.h"
#include "schema/handlers.h"

namespace vx {

constexpr uint32_t kStatusPersonalityChangeFailed = 139;
constexpr uint32_t kStatusPersonalityReadFailed = 140;
constexpr uint32_t kStatusPersonalityChanged = 143;
constexpr uint32_t kStatusPersonalityNotSupported = 151;
constexpr uint32_t kStatusConfiguredPersonalityFailed = 177;
constexpr uint32_t kStatusNoProfileSupport = 288;
constexpr int kMaxStorageFunctions = 8;

// The storage functions (mission roles iSCSI or FCoE) of the active profile: their PF numbers and
// types (the protocol when switched on, else 1). 0, 213 (no profiles), 288 (another refusal, or a
// first descriptor that is no PCI function) or 1.
uint32_t VARU_get_storage_functions(int32_t handle, uint8_t domain, uint8_t port_number, hm_node* controller,
                                    uint32_t* count, uint16_t pf_numbers[kMaxStorageFunctions],
                                    uint8_t types[kMaxStorageFunctions], bool verbose);
// CurrentPersonality of the Personality group from the active profile (the listing's result), or
// from the legacy blocks (0, or 1 with status 140 when a block cannot be read).
uint32_t VARU_get_adapter_current_personality(int32_t handle, uint8_t domain, uint8_t port_number,
                                              hm_node* controller, hm_node* personality);
uint32_t VARU_get_legacy_adapter_current_personality(int32_t handle, uint8_t domain, uint8_t port_number,
                                                     hm_node* controller, hm_node* personality);
// Writes the new personality: 0, 213 (profile path: no profiles), or 1 with status 151, 278, 283
// (profile path) or 139, 151, 16 (legacy path).
uint32_t VARU_set_adapter_personality(int32_t handle, uint8_t domain, uint8_t port_number, hm_node* controller,
                                      const char* personality);
uint32_t VARU_set_legacy_adapter_personality(int32_t handle, uint8_t domain, uint8_t port_number,
                                             hm_node* controller, const char* personality);

// The personality the legacy entries of PF 2 and PF 3 give (vx_conf: `gen4` false; the common
// profile of generation 4: true): "NIC", "iSCSI", "FCoE", "Illegal" or "Unknown".
const char* legacy_personality(bool gen4, uint8_t type2, uint8_t state2, uint8_t type3, uint8_t state3);

}  // namespace vx
