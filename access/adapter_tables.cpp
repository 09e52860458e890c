// The adapter and port tables of the back end, and the instance-ring steps.
#include "access/adapter_tables.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "access/backend_state.h"
#include "access/transport.h"
#include "access/walks.h"

namespace vx {
namespace {

uint8_t g_port_bitmap[kMaxAdapters][kPortsPerAdapter];   // guarded by varu_glob_lock()
uint8_t g_vf_count[wire::kMaxNicHandles];                 // entry h-1 = NIC port handle h

constexpr const char* kAnyPhbaGroups[] = {"iSCSIPhysicalHBA", "NICPhysicalHBA"};

hm_node* root() { return get_node(0); }

bool same(const char* a, const char* b) { return ::strcasecmp(a, b) == 0; }

}  // namespace

int32_t instance_number(const hm_node* instance) {
  hm_instance_info* info = instance_info(instance);
  return info != nullptr ? info->number : -1;
}

hm_node* next_instance(hm_node* instance) {
  hm_instance_info* info = instance_info(instance);
  hm_node* next = info != nullptr ? info->next : nullptr;
  hm_instance_info* next_info = instance_info(next);
  if (next_info == nullptr || next_info->number < 0 || next_info->number <= info->number) return nullptr;
  return next;
}

void clear_adapter_tables() {
  VaruGlobGuard guard;
  std::memset(g_port_bitmap, 0, sizeof g_port_bitmap);
  std::memset(varu_glob.protocol_mask, 0, sizeof varu_glob.protocol_mask);
  std::memset(g_vf_count, 0, sizeof g_vf_count);
}

uint8_t nic_vf_count(int32_t handle) {
  if (handle < 1 || handle > wire::kMaxNicHandles) return 0;
  VaruGlobGuard guard;
  return g_vf_count[handle - 1];
}

void set_protocol(uint32_t adapter, int32_t protocol) {
  if (adapter >= static_cast<uint32_t>(kMaxAdapters)) return;
  uint8_t bit = protocol == kProtocolIscsi ? kProtocolBitIscsi
              : protocol == kProtocolNic   ? kProtocolBitNic
              : protocol == kProtocolOther ? kProtocolBitOther
                                           : 0;
  VaruGlobGuard guard;
  varu_glob.protocol_mask[adapter] |= bit;
}

void set_nic_vf_count(int32_t handle, uint32_t count) {
  if (handle < 1 || handle > wire::kMaxNicHandles) return;
  VaruGlobGuard guard;
  g_vf_count[handle - 1] = static_cast<uint8_t>(count > 0xFF ? 0xFF : count);
}

hm_node* get_valid_phba(hm_node* controller, const char* port_text) {
  if (controller == nullptr || port_text == nullptr) return nullptr;
  for (const char* group : kAnyPhbaGroups) {
    for (hm_node* phba = get_first_instance(controller, group); phba != nullptr; phba = next_instance(phba)) {
      char port[kValueSize];
      if (!read_property(phba, "PortNumber", port)) return nullptr;
      if (same(port, port_text)) return phba;
    }
  }
  return nullptr;
}

void set_port_bitmap() {
  for (hm_node* controller = get_first_instance(root(), "Vexalon"); controller != nullptr;
       controller = next_instance(controller)) {
    const int32_t adapter = instance_number(controller);
    if (adapter < 0 || adapter >= kMaxAdapters) continue;
    for (int32_t port = 0; port < kPortsPerAdapter; ++port) {
      char text[8];
      std::snprintf(text, sizeof text, "%d", port);
      hm_node* phba = get_valid_phba(controller, text);
      if (phba == nullptr) continue;
      uint8_t bit = std::strcmp(phba->name, "iSCSIPhysicalHBA") == 0 ? kPortBitIscsi
                  : std::strcmp(phba->name, "NICPhysicalHBA") == 0   ? kPortBitNic
                                                                     : kPortBitOther;
      VaruGlobGuard guard;
      g_port_bitmap[adapter][port] |= bit;
    }
  }
}

uint8_t port_bitmap_bits(uint32_t adapter, int32_t port) {
  if (adapter >= static_cast<uint32_t>(kMaxAdapters) || port < 0 || port >= kPortsPerAdapter) return 0;
  VaruGlobGuard guard;
  return g_port_bitmap[adapter][port];
}

uint32_t get_port_bitmap(uint32_t adapter, int32_t port) {
  const uint8_t bits = port_bitmap_bits(adapter, port);
  if ((bits & kPortBitIscsi) != 0) return kPortBitIscsi;
  if ((bits & kPortBitNic) != 0) return kPortBitNic;
  return kPortBitOther;
}

}  // namespace vx
