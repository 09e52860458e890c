// Back-end start-up and shut-down, and the calls of a separate back-end client.
//
// Start-up runs inside the engine's bootstrap (VARU_init, or a rebuild of the tree) with the API
// lock held: it opens the drivers' device nodes, turns the adapters' PCI functions into controller
// and physical-HBA instances, and lets every other part load its share of each controller.
#include "backend/backend.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "access/backend_state.h"
#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/pending_profile.h"
#include "adapter/port_tree.h"
#include "backend/enumeration.h"
#include "engine/api_lock.h"
#include "engine/hm.h"
#include "engine/messages.h"
#include "iscsi/discovery.h"
#include "iscsi/lhba_startup.h"
#include "schema/handlers.h"

namespace vx {
namespace {

constexpr int kServiceVersion[4] = {1, 0, 99, 0};
constexpr int kHierarchyVersion[2] = {10, 6};
constexpr uint32_t kStatusNoController = 18;
constexpr int32_t kClientModeMax = 1;
constexpr int kClientRebuildRounds = 3;   // a set of functions that keeps changing is not chased for ever
constexpr int kLoopbackPorts = 4;

hm_node* root() { return get_node(0); }

// Frees a group's driver record, if it has one.
void free_record(hm_node* group) {
  hm_group_data* data = group_data(group);
  if (data == nullptr || data->backend_info == nullptr) return;
  varu_dfree(data->backend_info);
  data->backend_info = nullptr;
}

// The records that belong to the iSCSI side of one physical HBA: its own, its TCP/IP group's, and
// those of the sessions, connections and LUNs of the targets of its first logical HBA. Groups
// elsewhere may point at one of these records (a port instance shares its physical HBA's), so only
// these owners free them.
void free_iscsi_records(hm_node* phba) {
  free_record(phba);
  if (hm_node* network = internal_get_node(phba, "Network", kGroup)) {
    free_record(internal_get_node(network, "TCPIPConfiguration", kGroup));
  }
  hm_node* lhba = get_first_instance(phba, "LogicalHBA");
  if (lhba == nullptr) return;
  for (hm_node* target = get_first_instance(lhba, "Target"); target != nullptr; target = next_instance(target)) {
    for (hm_node* session = get_first_instance(target, "Session"); session != nullptr;
         session = next_instance(session)) {
      free_record(session);
      for (hm_node* connection = get_first_instance(session, "Connection"); connection != nullptr;
           connection = next_instance(connection)) {
        free_record(connection);
      }
    }
    for (hm_node* lun = get_first_instance(target, "LUN"); lun != nullptr; lun = next_instance(lun)) {
      free_record(lun);
    }
  }
}

// The per-controller start-up steps of the other parts, in their order; results are not looked at.
void load_controller(hm_node* controller) {
  VARU_get_all_eventlog(controller);
  VARU_list_available_profiles(controller);
  VARU_get_active_profiles(controller);
  VARU_get_configured_profiles(controller);
  VARU_get_link_reconfig_details(controller, 0);
  VARU_get_port_discovery_config(controller);
  VARU_enummerate_dummy_port_discovery(controller);
  VARU_extfat_modules(controller);
  if (hm_node* ncsi = internal_get_node(controller, "NCSI", kGroup)) {
    VARU_get_ncsi_attributes(get_port_number(controller), get_phba_port_number(controller), ncsi, ncsi, 0, 1);
  }
  VARU_update_oem_props(controller);
  VARU_update_available_personalities(controller);
  VARU_update_current_personality(controller);
  VARU_update_diagnostics_prop(controller);
  VARU_update_cntr_additional_attribs(controller);
}

int32_t open_iscsi_nodes() {
  const int32_t count = os_get_port_instances(varu_glob.iscsi_fds, wire::kMaxIscsiNodes);
  VaruGlobGuard guard;
  varu_glob.iscsi_node_count = count;
  return count;
}

// Counts the NIC functions; the node itself is opened again around every NIC command.
int32_t count_nic_functions() {
  VaruGlobGuard guard;
  const int32_t count = os_get_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
  os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
  return count;
}

bool is_enabled(hm_node* group, const char* property) {
  char value[kValueSize] = "";
  if (internal_get_property(group, property, value) != 0) return false;
  value[kValueSize - 1] = '\0';
  return ::strcasecmp(value, "Enabled") == 0;
}

// Runs an action's handler directly, as its own code would: no parameter checks, no lock taken.
void run_handler(hm_node* target, const char* action_name, char params[kParamCount][kValueSize]) {
  hm_node* action = internal_get_node(target, action_name, kAction);
  const hm_action_descriptor* desc = action != nullptr ? action_data(resolve_link(action)) : nullptr;
  if (desc != nullptr && desc->handler != nullptr) desc->handler(target, action, params);
}

// Tears the tree down and builds it again; false when the bootstrap failed.
bool rebuild_tree() {
  exit_hm();
  return init_hm() == 0;
}

}  // namespace

int backend_init() {
  pdebug(kBackEnd, 6, "%s:Called.\n", "backend_init");
  VARU_save_file_configuration();
  pdebug(kBackEnd, 6, "VARUServiceVersion   = %d.%d.%d.%d\n", kServiceVersion[0], kServiceVersion[1],
         kServiceVersion[2], kServiceVersion[3]);
  pdebug(kBackEnd, 6, "VARUHierarchyVersion = %d.%d\n", kHierarchyVersion[0], kHierarchyVersion[1]);
  clear_adapter_tables();
  VARU_config_dir_permssions();
  VARU_check_for_corrupted_database();

  const int32_t iscsi_count = open_iscsi_nodes();
  pdebug(kBackEnd, 6, "%s:iscsi_valid_hba = %d\n", __func__, iscsi_count);
  int32_t nic_count;
  {
    // The set the tree is built from: the NIC-path refresh compares the driver's against it.
    VaruGlobGuard guard;
    nic_count = count_nic_functions();
    varu_glob.nic_function_count = nic_count;
    nic_functions_enumerated();
  }
  pdebug(kBackEnd, 6, "%s:nic_valid_hba = %d\n", __func__, nic_count);
  if (iscsi_count == 0 && nic_count == 0) {
    pdebug(kBackEnd, 2, "%s:Brightlane Adapter Not Found.\n", __func__);
    varu_set_last_status(kStatusNoAdapters, msg::kAdapterNotFound);
    return 0;
  }

  VARU_enumerate_iscsi_functions();
  VARU_enumerate_nic_functions();
  set_port_bitmap();
  {
    // Pending profile edits do not survive a restart: the file holds what these controllers'
    // configured profiles write, and is written once for all of them. Only a start-up the caller
    // asked for lets this process's choices go with them; after a rebuild it did not ask for, a
    // save tells that they are gone.
    StartupPendingLines pending(tree_build_asked());
    for (hm_node* controller = get_first_instance(root(), "Vexalon"); controller != nullptr;
         controller = next_instance(controller)) {
      load_controller(controller);
    }
    pending.commit();
  }
  set_prop_val(root(), "VARUServiceVersion", "%d.%d.%d.%d", kServiceVersion[0], kServiceVersion[1],
               kServiceVersion[2], kServiceVersion[3]);
  set_prop_val(root(), "VARUHierarchyVersion", "%d.%d", kHierarchyVersion[0], kHierarchyVersion[1]);
  VARU_set_lhba_prop();
  recheck_nic_functions();
  return 0;
}

void backend_exit() {
  VARU_free_all_node_handles();
  os_put_port_instances(varu_glob.iscsi_fds, wire::kMaxIscsiNodes);
  os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
}

uint32_t VARU_free_all_node_handles() {
  for (hm_node* controller = get_first_instance(root(), "Vexalon"); controller != nullptr;
       controller = next_instance(controller)) {
    for (hm_node* nic = get_first_instance(controller, "NICPhysicalHBA"); nic != nullptr; nic = next_instance(nic)) {
      free_record(nic);
    }
    for (hm_node* phba = get_first_instance(controller, "iSCSIPhysicalHBA"); phba != nullptr;
         phba = next_instance(phba)) {
      free_iscsi_records(phba);
    }
    for (hm_node* port = get_first_instance(controller, "PortDiscoveryAndConfiguration"); port != nullptr;
         port = next_instance(port)) {
      release_port_records(port);
    }
  }
  return 0;
}

uint32_t backend_client_bdf(int32_t protocol) {
  if (protocol != kProtocolIscsi && protocol != kProtocolNic) return 0;
  const char* group = protocol == kProtocolIscsi ? "iSCSIPhysicalHBA" : "NICPhysicalHBA";
  for (hm_node* controller = get_first_instance(root(), "Vexalon"); controller != nullptr;
       controller = next_instance(controller)) {
    hm_node* phba = get_first_instance(controller, group);
    if (phba == nullptr) return 0;
    for (; phba != nullptr; phba = next_instance(phba)) {
      hm_node* pci = internal_get_node(phba, "PCI", kGroup);
      hm_property* bus_prop = pci != nullptr ? property_data(internal_get_node(pci, "BusNumber", kProperty)) : nullptr;
      hm_property* fun_prop =
          pci != nullptr ? property_data(internal_get_node(pci, "FunctionNumber", kProperty)) : nullptr;
      if (bus_prop == nullptr || fun_prop == nullptr) return 0;
      uint8_t bytes[kCntrAttribsSize] = {};
      const int32_t port = get_phba_port_number(phba);
      if (ioctl_fetch_controller_attribs(get_port_number(phba), bytes, 0, static_cast<uint8_t>(port & 0xFF),
                                         protocol) != 0) {
        return 0;
      }
      cntr_attribs record;
      std::memcpy(&record, bytes, sizeof record);
      char bus[kValueSize];
      char fun[kValueSize];
      char serial[sizeof record.serial_number + 1] = "";
      std::snprintf(bus, sizeof bus, "0x%x", record.bus);
      std::snprintf(fun, sizeof fun, "0x%x", record.function);
      std::memcpy(serial, record.serial_number, strnlen(record.serial_number, sizeof record.serial_number));
      char stored[kValueSize] = "";
      internal_get_property(controller, "SerialNumber", stored);
      stored[kValueSize - 1] = '\0';
      pdebug(kBackEnd, 6, "%s:serial_number = %s asn = %s\n", "VARU_backend_client_bdf", serial, stored);
      pdebug(kBackEnd, 6, "%s:bus=%s fun=%s bus_node->u.prop->val=%s fun_node->u.prop->val=%s\n",
             "VARU_backend_client_bdf", bus, fun, property_value(bus_prop), property_value(fun_prop));
      if (::strcasecmp(serial, "0") != 0 && ::strcasecmp(stored, "N/A") != 0) {
        if (::strcasecmp(bus, property_value(bus_prop)) != 0 || ::strcasecmp(serial, stored) != 0) return 1;
      }
    }
  }
  return 0;
}

uint32_t VARU_refresh_backend_client_iscsi_tgts() {
  // The open-iscsi drivers keep their own targets.
  if (OPEN_ISCSI_DRIVER_LOADED == 0 && VARU_ISCSI_INBOX_DRIVER_LOADED == 0) VARU_refresh_backend_client_iscsi_targets();
  return kStatusOk;
}

uint32_t client_init(int32_t mode) {
  if (mode > kClientModeMax) return 0;
  bool settled = false;
  for (int round = 0; round < kClientRebuildRounds && !settled; ++round) {
    int32_t stored_iscsi;
    int32_t stored_nic;
    {
      VaruGlobGuard guard;
      stored_iscsi = varu_glob.iscsi_node_count;
      stored_nic = varu_glob.nic_function_count;
    }
    // The old descriptors are closed before the nodes are opened again.
    os_put_port_instances(varu_glob.iscsi_fds, wire::kMaxIscsiNodes);
    const int32_t iscsi_count = open_iscsi_nodes();
    if (iscsi_count != stored_iscsi) {
      pdebug(kBackEnd, 2, "%s:There is a change in VARU iSCSI hierarchy.\n", "backend_client_init");
      if (!rebuild_tree()) return kStatusFailed;
      continue;
    }
    // The whole set is compared, not only its size: the handles must keep naming the tree's functions.
    // A change the end of this call's last start-up saw counts as this round's look.
    const bool nic_changed = nic_change_seen() || nic_functions_changed();
    os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
    const int32_t nic_count = stored_nic;
    if (nic_changed) {
      pdebug(kBackEnd, 2, "%s:There is a change in VARU NIC hierarchy.\n", "backend_client_init");
      if (!rebuild_tree()) return kStatusFailed;
      continue;
    }
    bool iscsi_unchanged = true;
    if (iscsi_count > 0) {
      iscsi_unchanged = backend_client_bdf(kProtocolIscsi) == 0;
      if (iscsi_unchanged) VARU_refresh_backend_client_iscsi_tgts();
    }
    if (iscsi_unchanged) {
      if (nic_count == 0) {
        if (iscsi_count > 0) return kStatusOk;
        varu_set_last_status(kStatusNoController, msg::kNoController);
        return kStatusFailed;
      }
      if (backend_client_bdf(kProtocolNic) == 0) {
        settled = true;
        continue;
      }
    }
    if (!rebuild_tree()) return kStatusFailed;
  }
  if (!settled) {
    pdebug(kBackEnd, 2, "%s:The adapters kept changing; gave up after %d rebuilds.\n", "backend_client_init",
           kClientRebuildRounds);
    return kStatusFailed;
  }
  if (get_first_instance(root(), "Vexalon") == nullptr) return kStatusFailed;
  for (hm_node* controller = get_first_instance(root(), "Vexalon"); controller != nullptr;
       controller = next_instance(controller)) {
    for (hm_node* phba = get_first_instance(controller, "NICPhysicalHBA"); phba != nullptr;
         phba = next_instance(phba)) {
      VARU_update_nic_ifname(phba, get_port_number(phba));
    }
  }
  return kStatusOk;
}

void client_exit(int32_t mode) {
  if (mode != 0) return;
  for (hm_node* controller = get_first_instance(root(), "Vexalon"); controller != nullptr;
       controller = next_instance(controller)) {
    for (hm_node* port = get_first_instance(controller, "PortDiscoveryAndConfiguration"); port != nullptr;
         port = next_instance(port)) {
      if (!is_enabled(port, "BeaconState")) continue;
      char params[kParamCount][kValueSize] = {};
      std::snprintf(params[2], kValueSize, "%s", "Disabled");   // BeaconDuration, StatusDuration empty
      run_handler(port, "Beacon", params);
    }
    if (hm_node* diagnostics = internal_get_node(controller, "Diagnostics", kGroup)) {
      for (int source = 0; source < kLoopbackPorts; ++source) {
        for (int destination = 0; destination < kLoopbackPorts; ++destination) {
          char params[kParamCount][kValueSize] = {};
          std::snprintf(params[0], kValueSize, "%d", source);
          std::snprintf(params[1], kValueSize, "%d", destination);
          run_handler(diagnostics, "ExitLoopBackMode", params);
        }
      }
    }
  }
  os_put_port_instances(varu_glob.iscsi_fds, wire::kMaxIscsiNodes);
  os_put_nic_port_instances(varu_glob.nic_fds, wire::kMaxNicHandles);
}

}  // namespace vx

using namespace vx;

extern "C" {

// A client of the back end beside the hierarchy's own: each runs under the API lock like any public
// call, and never inside a handler (a rebuild there would free nodes the handler holds).
VARU_API uint32_t VARU_backend_client_bdf(int32_t protocol) {
  return public_call("VARU_backend_client_bdf", [&]() -> uint32_t { return backend_client_bdf(protocol); });
}

VARU_API uint32_t backend_client_init(int32_t mode) {
  return public_call("backend_client_init", [&]() -> uint32_t {
    if (call_depth() > 1) return kStatusFailed;
    return client_init(mode);
  });
}

VARU_API void backend_client_exit(int32_t mode) {
  public_call("backend_client_exit", [&]() -> uint32_t {
    if (call_depth() <= 1) client_exit(mode);
    return kStatusOk;
  });
}

}  // extern "C"
