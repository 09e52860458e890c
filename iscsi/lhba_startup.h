// Start-up of the iSCSI side: every iSCSI physical HBA gets its one logical HBA (LogicalHBA0) with
// the host's adapter name and iSCSI enabled, then the restore of what the text files and the
// firmware keep for it.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

// 0; 1 when there is no controller, or when some physical HBA could not be given its logical HBA
// (the others are still set up).
uint32_t VARU_set_lhba_prop();

// LogicalHBA0 of one iSCSI physical HBA with "IfName" and "Enabled"; NULL when it cannot be made.
hm_node* create_startup_lhba(hm_node* phba, int32_t handle);

}  // namespace vx
