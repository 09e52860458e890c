// The configured multichannel types and the current personality, as the port handlers read them.
// For now each is the value kept in its property; the routines that read them from the adapter
// take their place here once they exist.
#include "adapter/configured_values.h"

#include <cstdio>

#include "access/adapter_tables.h"
#include "adapter/command_target.h"
#include "schema/names_controller.h"
#include "schema/names_services.h"

namespace vx {
namespace {

constexpr const char* kNoMultichannel = "None";

// The cached text of a property: no firmware read.
bool cached(hm_node* group, const char* name, char out[kValueSize]) {
  hm_node* prop = group != nullptr ? internal_get_node(group, name, kProperty) : nullptr;
  return prop != nullptr && return_cached(prop, out) == kStatusOk;
}

}  // namespace

bool configured_management_type(hm_node* controller, char out[kValueSize]) {
  hm_node* group = controller != nullptr ? internal_get_node(controller, controller::kGroupChannelManagement, kGroup)
                                         : nullptr;
  return cached(group, controller::kPropConfiguredManagementType, out);
}

bool configured_mc_type(hm_node* port, char out[kValueSize]) {
  hm_node* controller = enclosing(port, kGroupVexalon);
  hm_node* management = controller != nullptr ? internal_get_node(controller, controller::kGroupProfileManagement, kGroup)
                                              : nullptr;
  hm_node* configured = management != nullptr ? internal_get_node(management, controller::kGroupConfiguredProfile, kGroup)
                                               : nullptr;
  if (configured == nullptr) return false;
  hm_node* first = get_first_instance(configured, kGroupProfilePort);
  // Until the configured profile's ports are read, no multichannel type is configured.
  if (first == nullptr || instance_number(first) != 0) {
    std::snprintf(out, kValueSize, "%s", kNoMultichannel);
    return true;
  }
  return read_property(first, services::kPropMCType, out);
}

bool current_personality(hm_node* controller, char out[kValueSize]) {
  hm_node* group = controller != nullptr ? internal_get_node(controller, controller::kGroupPersonality, kGroup) : nullptr;
  return cached(group, controller::kPropCurrentPersonality, out);
}

}  // namespace vx
