#include "access/walks.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/messages.h"

namespace vx {
namespace {

struct DeviceRange {
  uint32_t first;
  uint32_t last;
  uint32_t generation;
};

constexpr DeviceRange kGenerations[] = {
    {0x210, 0x217, kGeneration2},   {0x700, 0x703, kGeneration2},
    {0x220, 0x227, kGeneration3},   {0x710, 0x710, kGeneration3},        {0x712, 0x712, kGeneration3},
    {0x714, 0x714, kGeneration3},   {0xE220, 0xE220, kGenerationQuenta}, {0xE228, 0xE228, kGenerationQuenta},
    {0x720, 0x720, kGenerationOrvelle}, {0x722, 0x723, kGenerationOrvelle}, {0x728, 0x728, kGenerationOrvelle},
    {0x730, 0x730, kGeneration6},
};

constexpr const char* kPhbaGroups[] = {"iSCSIPhysicalHBA", "PortDiscoveryAndConfiguration", "NICPhysicalHBA"};
constexpr const char* kNcsiVersion = "3.102.148.0";
constexpr size_t kNcsiCompareBytes = 11;

bool named(const hm_node* node, const char* name) {
  return node->kind == kGroup && node->name != nullptr && ::strcasecmp(node->name, name) == 0;
}

// Calls `match` on the node and each ancestor until it returns true; that node, or NULL once "ROOT"
// (or a detached top) is reached. The step bound only guards against a damaged parent chain.
template <typename Match>
hm_node* walk_up(hm_node* node, Match match) {
  hm_node* n = node;
  for (int steps = 0; n != nullptr && steps < kPathLevels; ++steps) {
    if (n->parent == n || (n->name != nullptr && std::strcmp(n->name, "ROOT") == 0)) return nullptr;
    if (match(n)) return n;
    n = n->parent;
  }
  return nullptr;
}

int32_t instance_number_of(hm_node* node, const char* group) {
  hm_node* found = walk_up(node, [group](hm_node* n) { return named(n, group) && instance_info(n) != nullptr; });
  return found != nullptr ? instance_info(found)->number : 0;
}

// A whole decimal or hexadecimal text as a non-negative number; false when anything is left over.
bool parse_whole(const char* text, int base, long long* out) {
  if (text == nullptr || text[0] == '\0') return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text, &end, base);
  if (end == text || *end != '\0' || errno != 0 || v < 0) return false;
  *out = v;
  return true;
}

}  // namespace

hm_node* owning_group(hm_node* node) {
  if (node == nullptr) return nullptr;
  return node->kind == kGroup ? node : node->parent;
}

int32_t get_port_number(hm_node* node) {
  hm_node* found = walk_up(node, [](hm_node* n) {
    hm_group_data* g = group_data(n);
    return g != nullptr && g->backend_info != nullptr && *static_cast<const uint32_t*>(g->backend_info) != 0;
  });
  if (found == nullptr) return -1;
  return static_cast<int32_t>(*static_cast<const uint32_t*>(group_data(found)->backend_info));
}

int32_t get_vx_instance(hm_node* node) { return instance_number_of(node, "Vexalon"); }

int32_t get_domain_id(hm_node* node) { return instance_number_of(node, "LogicalHBA"); }

int32_t get_phba_port_number(hm_node* node) {
  hm_node* phba = walk_up(node, [](hm_node* n) {
    for (const char* name : kPhbaGroups) {
      if (named(n, name)) return true;
    }
    return false;
  });
  if (phba == nullptr) return 0;
  char value[kValueSize] = "";
  if (internal_get_property(phba, "PortNumber", value) != 0) return 0;
  value[kValueSize - 1] = '\0';
  long long port = 0;
  if (!parse_whole(value, 10, &port) || port > INT32_MAX) return 0;
  return static_cast<int32_t>(port);
}

uint32_t generation_of_device_id(uint32_t device_id) {
  for (const DeviceRange& row : kGenerations) {
    if (device_id >= row.first && device_id <= row.last) return row.generation;
  }
  return kGenerationUnknown;
}

uint32_t get_vx_type(hm_node* controller) {
  hm_node* phba = nullptr;
  if (controller != nullptr) {
    phba = get_first_instance(controller, "iSCSIPhysicalHBA");
    if (phba == nullptr) phba = get_first_instance(controller, "NICPhysicalHBA");
  }
  hm_node* pci = phba != nullptr ? internal_get_node(phba, "PCI", kGroup) : nullptr;
  char value[kValueSize] = "";
  long long id = 0;
  bool readable = pci != nullptr && internal_get_property(pci, "DeviceID", value) == 0;
  value[kValueSize - 1] = '\0';
  if (!readable || !parse_whole(value, 16, &id)) {
    fail(kStatusNoControllerType, "%s", msg::kNoControllerType);
    return kStatusFailed;
  }
  return id > UINT32_MAX ? kGenerationUnknown : generation_of_device_id(static_cast<uint32_t>(id));
}

uint32_t is_ncsi_required(hm_node* node) {
  char version[kValueSize] = "";
  if (node == nullptr || internal_get_property(node, "ActiveFirmwareVersion", version) != 0) return 1;
  version[kValueSize - 1] = '\0';
  return std::strncmp(version, kNcsiVersion, kNcsiCompareBytes) > 0 ? 1 : 0;
}

}  // namespace vx
