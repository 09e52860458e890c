// Start-up of the port tree: port instances, their fixed facts, PG and ApplicationTLV instances.
#include "adapter/port_tree.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/port_records.h"
#include "engine/messages.h"
#include "schema/application_tlv.h"
#include "schema/dcb_features.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"
#include "schema/names_port.h"
#include "schema/port.h"

namespace vx {
namespace {

using namespace port;

constexpr const char* kNotAvailable = "N/A";
constexpr uint32_t kLoopbackNotSupported = 254;
constexpr size_t kBaseTStatsV1Size = 112;

// Where a port's commands go: the port number its instance shows, on the port's path.
struct PortAddress {
  uint8_t domain;
  uint8_t port_number;
  int32_t path;
};

PortAddress address_of(hm_node* port) {
  const int32_t number = get_phba_port_number(port);
  return {static_cast<uint8_t>(get_domain_id(port) & 0xFF), static_cast<uint8_t>(number & 0xFF),
          static_cast<int32_t>(get_port_bitmap(static_cast<uint32_t>(get_vx_instance(port)), number))};
}

// Generation of the controller a port instance sits under; 1 when there is none or it is unreadable.
uint32_t generation_of(hm_node* port) {
  hm_node* controller = port != nullptr ? port->parent : nullptr;
  if (controller == nullptr || instance_info(controller) == nullptr || ::strcasecmp(controller->name, "Vexalon") != 0) {
    return kStatusFailed;
  }
  return get_vx_type(controller);
}

uint32_t read_phy_details(int32_t handle, hm_node* port, uint32_t generation, phy_details* out) {
  uint8_t reply[sizeof(phy_details)] = {};
  const PortAddress a = address_of(port);
  const uint32_t status = generation == kGenerationQuenta
                              ? ioctl_get_quenta_phy_details(handle, reply, a.domain, a.port_number, a.path)
                              : ioctl_get_phy_details(handle, reply, a.domain, a.port_number, a.path);
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_phy_details failed with status = %d\n", __func__, static_cast<int>(status));
    return status;
  }
  *out = phy_details_of(reply, sizeof reply);
  return 0;
}

// The DCBX record of `selector` for the port at index `port_index`; 0 or the command's status.
uint32_t read_dcbx(int32_t handle, hm_node* port, uint32_t port_index, uint8_t selector, dcbx_cfg_params* out) {
  uint8_t record[sizeof(dcbx_cfg_params)] = {};
  record[0] = selector;
  const PortAddress a = address_of(port);
  const uint32_t status = ioctl_get_dcbx_cfg_params(handle, record, 0, static_cast<uint8_t>(port_index), a.path);
  if (status == 0) std::memcpy(out, record, sizeof record);
  return status;
}

// The entry an ApplicationTLV mirrors, kept in its driver record. The record's first word is 0, so
// the walk that finds a node's port handle passes on to the port instance.
struct apptlv_record {
  uint32_t port_handle;
  int32_t entry;
};


bool is_apptlv(const hm_node* node) {
  return node != nullptr && node->kind == kGroup && instance_info(node) != nullptr && node->name != nullptr &&
         std::strcmp(node->name, kGroupApplicationTLV) == 0;
}

using Builder = hm_node* (*)(hm_node*, hm_node*, hm_node*, char[6][256]);

// The three application TLV settings in the order start-up reads them.
struct TlvSetting {
  const char* group;
  uint8_t selector;
  Builder build;
  bool persistent;   // made on behalf of the group's AddApplicationTLV action
};
constexpr TlvSetting kTlvSettings[] = {
    {kGroupAdministratorTLVSetting, kDcbxAdministrator, initialize_AdministratorTLVSetting_ApplicationTLV, true},
    {kGroupOperationalTLVSettings, kDcbxOperational, initialize_OperationalTLVSettings_ApplicationTLV, false},
    {kGroupPeerTLVSetting, kDcbxPeer, initialize_PeerTLVSetting_ApplicationTLV, false},
};

struct PgSetting {
  const char* group;
  Builder build;
};
constexpr PgSetting kPgSettings[] = {
    {kGroupAdministratorPGSetting, initialize_AdministratorPGSetting_PG},
    {kGroupOperationalPGSettings, initialize_OperationalPGSettings_PG},
    {kGroupPeerPGSetting, initialize_PeerPGSetting_PG},
};

// The ApplicationTLV instances of one port from its three DCBX records; false when a read failed or
// a group is missing, which ends the port's work.
bool build_tlvs(int32_t handle, hm_node* port, uint32_t port_index, hm_node* dcbx) {
  hm_node* groups = internal_get_node(dcbx, kGroupApplicationTLVGroups, kGroup);
  if (groups == nullptr) return false;
  for (const TlvSetting& setting : kTlvSettings) {
    hm_node* group = internal_get_node(groups, setting.group, kGroup);
    if (group == nullptr) return false;
    dcbx_cfg_params record;
    const uint32_t status = read_dcbx(handle, port, port_index, setting.selector, &record);
    if (status != 0) {
      pdebug(kBackEnd, 3, "%s:Failed to get DCBX CFG params, status = %d\n", __func__, static_cast<int>(status));
      return false;
    }
    hm_node* action = nullptr;
    if (setting.persistent && (action = internal_get_node(group, kActionAddApplicationTLV, kAction)) == nullptr) {
      return false;
    }
    AppTlvEntry entries[kDcbxAppEntries];
    const size_t count = app_tlv_entries(reinterpret_cast<const uint8_t*>(&record), sizeof record, entries);
    for (size_t i = 0; i < count; ++i) {
      // Everything AddApplicationTLV needs to make it again, in the action's slot order.
      char params[kParamCount][kValueSize] = {};
      std::snprintf(params[kAddTlvSelectorSlot], kValueSize, "%d", entries[i].selector);
      std::snprintf(params[kAddTlvProtocolSlot], kValueSize, "%d", entries[i].protocol_id);
      std::snprintf(params[kAddTlvBitMapSlot], kValueSize, "%d", entries[i].priority_bitmap);
      std::snprintf(params[kAddTlvOuiSlot], kValueSize, "%u", entries[i].oui);
      if (make_application_tlv(group, action, params, entries[i]) == nullptr) {
        pdebug(kBackEnd, 2, "%s:Failed to initialize ApplicationTLV group.\n", __func__);
        break;
      }
    }
  }
  return true;
}

// PG0 to PG7 in each priority-group setting; false without a DCBX group.
bool build_pgs(hm_node* dcbx) {
  hm_node* groups = internal_get_node(dcbx, kGroupPriorityGroups, kGroup);
  if (groups == nullptr) return false;
  for (const PgSetting& setting : kPgSettings) {
    hm_node* group = internal_get_node(groups, setting.group, kGroup);
    for (uint32_t i = 0; group != nullptr && i < kPgPerSetting; ++i) setting.build(group, nullptr, nullptr, nullptr);
  }
  return true;
}

}  // namespace

uint32_t VARU_update_portname(int32_t handle, hm_node* port) {
  const uint32_t generation = generation_of(port);
  if (generation == kStatusFailed || generation == kGenerationUnknown) return kStatusFailed;
  if (vm_flag != 0) set_prop_val(port, kPropPortName, "%s", kNotAvailable);
  uint8_t reply[kPortNameSize] = {};
  const PortAddress a = address_of(port);
  uint32_t status;
  if (generation == kGeneration2) {
    status = ioctl_get_port_name(handle, reply, a.domain, a.port_number, a.path);
  } else if (generation == kGenerationQuenta) {
    status = ioctl_get_quenta_port_name_v1(handle, reply, a.domain, a.port_number, a.path);
  } else {
    status = ioctl_get_port_name_v1(handle, reply, a.domain, a.port_number, a.path);
  }
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_port_name failed with status = %d\n", __func__, static_cast<int>(status));
    varu_set_last_status(kStatusPortNameFailed, msg::kPortNameFailed);
    return kStatusFailed;
  }
  char name[2];
  if (!port_name_of(reply, sizeof reply, a.port_number, generation, name)) return kStatusOk;
  set_prop_val(port, kPropPortName, "%s", name);
  return kStatusOk;
}

uint32_t VARU_update_interfacetype(int32_t handle, hm_node* port) {
  const uint32_t generation = generation_of(port);
  if (generation == kStatusFailed) return kStatusFailed;
  phy_details details;
  if (read_phy_details(handle, port, generation, &details) != 0) {
    set_prop_val(port, kPropInterfaceType, "%s", kNotAvailable);
    return kStatusFailed;
  }
  set_prop_val(port, kPropInterfaceType, "%s", interface_type_name(details.interface_type));
  return kStatusOk;
}

uint32_t VARU_update_speed_props(int32_t handle, hm_node* port) {
  const uint32_t generation = generation_of(port);
  if (generation == kStatusFailed) return kStatusFailed;
  phy_details details{};
  if (generation != kGeneration2) {
    if (read_phy_details(handle, port, generation, &details) != 0) {
      varu_set_last_status(kStatusPhyDetailFailed, msg::kPhyDetailFailed);
      return kStatusFailed;
    }
  }
  if (generation == kGeneration2 || details.signature != kPhySignature) {
    set_prop_val(port, kPropANSpeedsSupported, "%s", kNotAvailable);
    set_prop_val(port, kPropForceSpeedsSupported, "%s", kNotAvailable);
    return kStatusOk;
  }
  char speeds[kSpeedListSize];
  speed_list_text(details.auto_speeds, speeds, sizeof speeds);
  set_prop_val(port, kPropANSpeedsSupported, "%s", speeds);
  speed_list_text(details.fixed_speeds, speeds, sizeof speeds);
  set_prop_val(port, kPropForceSpeedsSupported, "%s", speeds);
  return kStatusOk;
}

uint32_t VARU_update_is_clear_counter(int32_t handle, hm_node* port) {
  hm_node* baset = internal_get_node(port, kGroupBaseT10G, kGroup);
  if (baset == nullptr) return kStatusFailed;
  if (generation_of(port) != kGenerationOrvelle) {
    set_prop_val(baset, kPropIsClearCountersSupported, "%s", kNotAvailable);
    return kStatusOk;
  }
  uint8_t stats[kBaseTStatsV1Size] = {};
  const PortAddress a = address_of(port);
  const uint32_t number = a.port_number;
  std::memcpy(stats, &number, sizeof number);
  const bool readable = ioctl_get_baseT_stats_v1(handle, stats, a.domain, a.port_number, a.path) == 0;
  set_prop_val(baset, kPropIsClearCountersSupported, "%s", readable ? "True" : "False");
  return kStatusOk;
}

uint32_t VARU_update_diagnostics_prop(hm_node* controller) {
  hm_node* diagnostics = internal_get_node(controller, controller::kGroupDiagnostics, kGroup);
  hm_node* port = get_first_instance(controller, kGroupPortDiscoveryAndConfiguration);
  if (diagnostics == nullptr || port == nullptr) return kStatusFailed;
  const PortAddress a = address_of(port);
  uint32_t mode = a.port_number;
  const uint32_t status = ioctl_get_loopbackmode(get_port_number(port), &mode, a.domain, a.port_number, a.path);
  if (status != 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_loopbackmode failed with status = %d\n", __func__, static_cast<int>(status));
    return kStatusFailed;
  }
  set_prop_val(diagnostics, controller::kPropIsLoopbackSupported, "%s",
               mode == kLoopbackNotSupported ? "False" : "True");
  return kStatusOk;
}

uint32_t VARU_get_port_discovery_config(hm_node* controller) {
  if (controller == nullptr) return kStatusOk;
  for (uint32_t index = 0; index < kPortMax; ++index) {
    char text[8];
    std::snprintf(text, sizeof text, "%u", index);
    hm_node* phba = get_valid_phba(controller, text);
    void* record = phba != nullptr ? group_data(phba)->backend_info : nullptr;
    const int32_t handle = record != nullptr ? static_cast<int32_t>(*static_cast<const uint32_t*>(record)) : 0;
    if (handle <= 0) continue;   // no driver port to send the port's commands to
    hm_node* port = initialize_PortDiscoveryAndConfiguration(controller, nullptr, nullptr, nullptr);
    if (port == nullptr) {
      pdebug(kBackEnd, 2, "%s:Failed to initialize PortDiscoveryAndConfiguration group.\n", __func__);
      continue;
    }
    set_prop_val(port, kPropPortNumber, "%u", index);
    VARU_update_portname(handle, port);
    VARU_update_interfacetype(handle, port);
    VARU_update_speed_props(handle, port);
    VARU_update_is_clear_counter(handle, port);
    // Commands issued below the port reach the physical HBA's port; the record stays the HBA's.
    group_data(port)->backend_info = record;

    hm_node* dcbx = internal_get_node(port, kGroupDCBX, kGroup);
    if (dcbx == nullptr || !build_pgs(dcbx) || !build_tlvs(handle, port, index, dcbx)) continue;
    const uint32_t generation = get_vx_type(controller);
    if (generation == kGeneration3 || generation == kGenerationOrvelle) VARU_get_multi_channels_info(index, port);
  }
  return kStatusOk;
}

hm_node* make_application_tlv(hm_node* group, hm_node* action, char params[6][256], const AppTlvEntry& e) {
  const TlvSetting* setting = nullptr;
  for (const TlvSetting& s : kTlvSettings) {
    if (group != nullptr && group->name != nullptr && std::strcmp(group->name, s.group) == 0) setting = &s;
  }
  if (setting == nullptr) return nullptr;
  hm_node* tlv = action != nullptr && setting->persistent ? setting->build(group, group, action, params)
                                                          : setting->build(group, nullptr, nullptr, nullptr);
  if (tlv == nullptr) return nullptr;
  // Without its entry the instance would stand for whatever entry its number names: none at all.
  auto* record = static_cast<apptlv_record*>(varu_dcalloc(sizeof(apptlv_record)));
  if (record == nullptr) {
    delete_node(tlv);
    return nullptr;
  }
  record->entry = e.entry;
  group_data(tlv)->backend_info = record;
  set_prop_val(tlv, kPropProtocolSelector, "%d", e.selector);
  set_prop_val(tlv, kPropProtocolID, "0x%02x", e.protocol_id);
  set_prop_val(tlv, kPropOUI, "0x%02x", e.oui);
  set_prop_val(tlv, kPropPriorityBitMap, "0x%02x", e.priority_bitmap);
  return tlv;
}

int32_t apptlv_entry(hm_node* tlv) {
  if (!is_apptlv(tlv) || group_data(tlv)->backend_info == nullptr) return -1;
  return static_cast<const apptlv_record*>(group_data(tlv)->backend_info)->entry;
}

void release_port_records(hm_node* port) {
  hm_node* groups = internal_get_node(internal_get_node(port, kGroupDCBX, kGroup), kGroupApplicationTLVGroups, kGroup);
  if (groups == nullptr) return;
  for (const TlvSetting& setting : kTlvSettings) {
    hm_node* group = internal_get_node(groups, setting.group, kGroup);
    for (hm_node* tlv = group != nullptr ? get_first_instance(group, kGroupApplicationTLV) : nullptr; tlv != nullptr;
         tlv = next_instance(tlv)) {
      hm_group_data* data = group_data(tlv);
      varu_dfree(data->backend_info);
      data->backend_info = nullptr;
    }
  }
}

}  // namespace vx
