#include "adapter/nic_common.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "adapter/controller_attribs.h"
#include "adapter/oem_attribs.h"
#include "engine/messages.h"
#include "schema/names_nic.h"

namespace vx {

uint32_t give_cached(hm_node* prop, char* buf) {
  hm_property* p = property_data(prop);
  if (p == nullptr || buf == nullptr) return kStatusFailed;
  std::memcpy(buf, p->value, kValueSize);
  return kStatusOk;
}

uint32_t give_text(hm_node* prop, char* buf, const char* text) {
  SET_CACHE_PROP_VAL(prop, "%s", text);
  return give_cached(prop, buf);
}

uint32_t refuse_virtual_function(hm_node* prop, char* buf) {
  give_text(prop, buf, kTextNotAvailable);
  return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
}

hm_node* physical_hba_of(hm_node* node) {
  for (int steps = 0; node != nullptr && node->tag != 0 && steps < kPathLevels; ++steps, node = node->parent) {
    if (node->kind == kGroup && instance_info(node) != nullptr &&
        (std::strcmp(node->name, kGroupNICPhysicalHBA) == 0 || std::strcmp(node->name, "iSCSIPhysicalHBA") == 0)) {
      return node;
    }
  }
  return nullptr;
}

hm_node* adapter_of(hm_node* node) {
  for (int steps = 0; node != nullptr && node->tag != 0 && steps < kPathLevels; ++steps, node = node->parent) {
    if (node->kind == kGroup && instance_info(node) != nullptr && std::strcmp(node->name, "Vexalon") == 0) return node;
  }
  return nullptr;
}

bool phba_function_number(hm_node* phba, char text[kValueSize], uint32_t* value) {
  hm_node* pci = phba != nullptr ? internal_get_node(phba, nic::kGroupPCI, kGroup) : nullptr;
  return read_property(pci, nic::kPropFunctionNumber, text) && parse_pci_number(text, value);
}

bool whole_decimal(const char* text, uint32_t max, uint32_t* out) {
  if (text == nullptr || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (*end != '\0' || errno == ERANGE || v > max) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

}  // namespace vx
