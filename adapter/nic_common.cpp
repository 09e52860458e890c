#include "adapter/nic_common.h"

#include <strings.h>

#include <cstring>

#include "adapter/controller_attribs.h"
#include "adapter/oem_attribs.h"
#include "schema/names_controller.h"
#include "schema/names_nic.h"

namespace vx {

uint32_t give_text(hm_node* prop, char* buf, const char* text) {
  cache_text(prop, text);
  return return_cached(prop, buf);
}

hm_node* physical_hba_of(hm_node* node) {
  hm_node* nic = enclosing(node, kGroupNICPhysicalHBA);
  return nic != nullptr ? nic : enclosing(node, "iSCSIPhysicalHBA");
}

hm_node* adapter_of(hm_node* node) { return enclosing(node, kGroupVexalon); }

bool phba_function_number(hm_node* phba, char text[kValueSize], uint32_t* value) {
  hm_node* pci = phba != nullptr ? internal_get_node(phba, nic::kGroupPCI, kGroup) : nullptr;
  return read_property(pci, nic::kPropFunctionNumber, text) && parse_pci_number(text, value);
}

}  // namespace vx
