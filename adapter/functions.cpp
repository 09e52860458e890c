// The factory MAC address and the virtual functions of a PCI function, and the NIC physical HBA's
// refresh, which builds its virtual functions again.
#include "adapter/functions.h"

#include <cstring>

#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "iscsi/lookups.h"
#include "schema/handlers.h"
#include "schema/nic_hba.h"

namespace vx {
namespace {

hm_node* parent_controller(hm_node* phba) {
  hm_node* parent = phba != nullptr ? phba->parent : nullptr;
  return parent != nullptr && parent != phba && instance_info(parent) != nullptr ? parent : nullptr;
}

uint8_t header_byte(int32_t value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

}  // namespace

uint32_t VARU_update_fd_mac(int32_t handle, hm_node* phba, int32_t protocol) {
  if (phba == nullptr) return kStatusFailed;
  hm_node* controller = parent_controller(phba);
  if (controller == nullptr) {
    pdebug(kBackEnd, 3, "%s:Adapter node not found.\n", __func__);
    return kStatusFailed;
  }
  const uint32_t generation = get_vx_type(controller);
  if (generation == 1) return kStatusFailed;

  hm_node* target = phba;
  if (protocol == kProtocolIscsi) {
    hm_node* network = internal_get_node(phba, "Network", kGroup);
    target = network != nullptr ? internal_get_node(network, "NICConfiguration", kGroup) : nullptr;
    if (target == nullptr) return kStatusFailed;
  }
  hm_node* pci = internal_get_node(phba, "PCI", kGroup);
  char text[kValueSize] = "";
  uint32_t function = 0;
  if (pci == nullptr || internal_get_property(pci, "FunctionNumber", text) != 0 ||
      (text[kValueSize - 1] = '\0', !parse_pci_number(text, &function))) {
    pdebug(kBackEnd, 3, "%s:pf_num is invalid\n", __func__);
    return kStatusFailed;
  }
  const uint8_t domain = header_byte(get_domain_id(phba));
  const uint8_t port = header_byte(get_phba_port_number(phba));

  uint8_t mac[6];
  uint32_t status;
  if (generation == kGeneration2 || generation == kGeneration3) {
    // The answer has room for the MACs of functions 0 to 7 only.
    if (function > kMaxPciFunction) {
      pdebug(kBackEnd, 3, "%s:pf_num %u out of range\n", __func__, function);
      return kStatusFailed;
    }
    uint8_t query[kMacQuerySize] = {};
    query[0] = kMacQueryPermanent;
    status = ioctl_get_mac_query(handle, query, domain, port, protocol);
    std::memcpy(mac, query + kMacQueryTableOffset + kMacQueryStride * function, sizeof mac);
  } else if (generation == kGenerationQuenta || generation == kGenerationOrvelle) {
    uint8_t list[kMacListSize] = {};
    list[0] = kMacQueryPermanent;
    list[1] = 1;
    status = ioctl_get_mac_list(handle, list, domain, port, protocol);
    std::memcpy(mac, list + kMacListOffset, sizeof mac);
  } else {
    return kStatusOk;
  }
  if (status != 0) {
    varu_set_last_status(kStatusNoPermanentMac, msg::kNoPermanentMac);
    return kStatusFailed;
  }
  return set_prop_val(target, "FactoryDefaultMACAddress", "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2],
                      mac[3], mac[4], mac[5]) != 0
             ? kStatusFailed
             : kStatusOk;
}

uint32_t VARU_Get_VF_Info(int32_t handle, uint32_t* vf_count, uint32_t create, hm_node* nic_phba) {
  uint8_t table[kLinkReplySize] = {};
  uint32_t count = 0;
  uint32_t status = ioctl_get_virt_f_info(handle, table, &count);
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_virt_f_info failed with status = %d\n", __func__, static_cast<int>(status));
    if (vf_count != nullptr) *vf_count = 0;
    return kStatusFailed;
  }
  if (count > kMaxVfEntries) {
    pdebug(kBackEnd, 3, "%s:driver reports %u virtual functions, %u used\n", __func__, count, kMaxVfEntries);
    count = kMaxVfEntries;
  }
  if (vf_count != nullptr) *vf_count = count;
  if (create == 1 && nic_phba != nullptr) {
    for (uint32_t i = 0; i < count; ++i) {
      if (initialize_NICLogicalHBA(nic_phba, nullptr, nullptr, nullptr) == nullptr) {
        pdebug(kBackEnd, 3, "Failed to initialize NICLogicalHBA.\n");
      }
    }
  }
  return kStatusOk;
}

uint32_t VARU_get_nic_logicalhba(hm_node* nic_phba, int32_t handle, uint32_t* vf_count, uint32_t create) {
  VARU_Get_VF_Info(handle, vf_count, create, nic_phba);
  return kStatusOk;
}

// Every refresh drops the NIC physical HBA's virtual functions and builds one for each the driver
// reports now.
uint32_t group_NICPhysicalHBA(hm_node* group) {
  const int32_t port = get_port_number(group);
  pdebug(kBackEnd, 6, "%s:vx_port_number = %d\n", __func__, port);
  purge_nodes_within(group, "NICLogicalHBA");
  uint32_t count = 0;
  VARU_Get_VF_Info(port, &count, 1, group);
  return kStatusOk;
}

}  // namespace vx
