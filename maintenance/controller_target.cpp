#include "maintenance/controller_target.h"

#include "access/transport.h"
#include "access/walks.h"

namespace vx {

hm_node* first_physical_hba(hm_node* controller) {
  if (controller == nullptr) return nullptr;
  hm_node* phba = get_first_instance(controller, "iSCSIPhysicalHBA");
  return phba != nullptr ? phba : get_first_instance(controller, "NICPhysicalHBA");
}

bool controller_target(hm_node* controller, hm_node* action, ControllerTarget* out) {
  hm_node* phba = first_physical_hba(controller);
  if (phba == nullptr) {
    pdebug(kBackEnd, 3, "%s: the controller has no physical HBA\n", __func__);
    return false;
  }
  out->controller = controller;
  out->port = get_port_number(phba);
  out->domain = static_cast<uint8_t>(get_domain_id(action));
  out->port_number = static_cast<uint8_t>(get_phba_port_number(action));
  out->protocol = static_cast<int32_t>(get_the_protocol(get_vx_instance(controller)));
  return true;
}

}  // namespace vx
