// The configured multichannel types and the current personality, as the port handlers read them:
// through the properties that the profile, multichannel and personality handlers keep.
#include "adapter/configured_values.h"

#include "adapter/command_target.h"
#include "schema/names_controller.h"
#include "schema/names_services.h"

namespace vx {

bool configured_management_type(hm_node* controller, char out[kValueSize]) {
  hm_node* group = controller != nullptr ? internal_get_node(controller, controller::kGroupChannelManagement, kGroup)
                                         : nullptr;
  return read_property(group, controller::kPropConfiguredManagementType, out);
}

bool configured_mc_type(hm_node* port, char out[kValueSize]) {
  hm_node* controller = enclosing(port, kGroupVexalon);
  hm_node* management =
      controller != nullptr ? internal_get_node(controller, controller::kGroupProfileManagement, kGroup) : nullptr;
  hm_node* configured =
      management != nullptr ? internal_get_node(management, controller::kGroupConfiguredProfile, kGroup) : nullptr;
  hm_node* first = configured != nullptr ? internal_get_node(configured, "Port0", kGroup) : nullptr;
  return read_property(first, services::kPropMCType, out);
}

bool current_personality(hm_node* controller, char out[kValueSize]) {
  hm_node* group = controller != nullptr ? internal_get_node(controller, controller::kGroupPersonality, kGroup) : nullptr;
  return read_property(group, controller::kPropCurrentPersonality, out);
}

}  // namespace vx
