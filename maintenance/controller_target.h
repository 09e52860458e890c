// Where a controller-level maintenance command goes: the port handle of the controller's first
// iSCSI physical HBA (else its first NIC one), the domain and port number found above the action
// node (0 for the controller's own actions) and the controller's protocol path.
#pragma once

#include <cstdint>

#include "engine/hm.h"

namespace vx {

constexpr uint32_t kStatusInsufficientBuffer = 31;

struct ControllerTarget {
  hm_node* controller = nullptr;
  int32_t port = -1;
  uint8_t domain = 0;
  uint8_t port_number = 0;
  int32_t protocol = 0;
};

// The first "iSCSIPhysicalHBA" instance of the controller, else its first "NICPhysicalHBA"; NULL
// when it has neither.
hm_node* first_physical_hba(hm_node* controller);
// False (logged) when the controller has no physical HBA.
bool controller_target(hm_node* controller, hm_node* action, ControllerTarget* out);

// Sets the last status and gives an action's plain failure, 1.
inline uint32_t fail_action(uint32_t status, const char* text) {
  fail(status, "%s", text);
  return 1;
}

}  // namespace vx
