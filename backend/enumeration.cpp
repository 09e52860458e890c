// The adapter enumeration of start-up.
#include "backend/enumeration.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "access/adapter_tables.h"
#include "access/backend_state.h"
#include "access/fw_commands.h"
#include "access/host.h"
#include "access/transport.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "adapter/functions.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/nic_hba.h"

namespace vx {
namespace {

constexpr size_t kInstanceTextSize = 256;
constexpr size_t kManagementServiceRequest = 16;

// Generation-4 OEM parameter block (44 bytes): the maker's serial from byte 0, the OEM serial
// from byte 12. A blank or erased serial means the adapter has no usable serial number.
constexpr uint32_t kOemParamsSize = 44;
constexpr size_t kOemSerialOffset = 12;
constexpr uint8_t kErased = 0xFF;

hm_node* root() { return get_node(0); }

// The identity of one PCI function, as texts.
struct Identity {
  char bus[kValueSize];
  char device[kValueSize];
  char function[kValueSize];
  char serial[kValueSize];
};

// What a controller's physical HBA says about the adapter.
struct Stored {
  char bus[kValueSize];
  char device[kValueSize];
  char serial[kValueSize];
};

bool same(const char* a, const char* b) { return ::strcasecmp(a, b) == 0; }

// Kinds of function the two passes enumerate.
struct Pass {
  int32_t protocol;
  const char* name;                 // for the log
  const char* kind;
  hm_node* (*build)(hm_node*, hm_node*, hm_node*, char[6][256]);
  uint32_t (*lookup)(uint32_t, char*, const uint8_t*, uint32_t);
};


// A function matches a controller by bus and serial, or by bus and device when no usable serial is
// known. An iSCSI function is compared with each controller's first iSCSI physical HBA; a NIC
// function with its first iSCSI, else NIC, physical HBA, and also by device when the controller's
// serial is "N/A". Logged and written to `out_instance` on a match.
uint32_t match_controllers(const char* fn, const Identity& id, bool iscsi, char* out_instance) {
  hm_node* controller = get_first_instance(root(), "Vexalon");
  if (controller == nullptr) {
    pdebug(kBackEnd, 6, "%s:Adapter node not found.\n", fn);
    return kNodeNew;
  }
  for (; controller != nullptr; controller = next_instance(controller)) {
    hm_node* phba = get_first_instance(controller, "iSCSIPhysicalHBA");
    if (phba == nullptr && !iscsi) phba = get_first_instance(controller, "NICPhysicalHBA");
    hm_node* pci = phba != nullptr ? internal_get_node(phba, "PCI", kGroup) : nullptr;
    // A controller that cannot be compared ends the search: the function gets a controller of its
    // own. (Start-up removes a controller that got no physical HBA, so this stays rare.)
    if (pci == nullptr) {
      if (iscsi && phba == nullptr) {
        pdebug(kBackEnd, 3, "%s:Failed to get iSCSI PHBA first instance.\n", fn);
      } else {
        pdebug(kBackEnd, 3, "%s:Failed to get PCI node.\n", fn);
      }
      return kNodeNew;
    }
    Stored s;
    char function[kValueSize];
    bool read = read_property(pci, "BusNumber", s.bus) && read_property(pci, "DeviceNumber", s.device) &&
                (!iscsi || read_property(pci, "FunctionNumber", function)) &&
                read_property(controller, "SerialNumber", s.serial);
    if (!read) {
      pdebug(kBackEnd, 3, "%s:Failed to get PCI information from %s PHBA group.\n", fn, iscsi ? "iSCSI" : "NIC");
      return kNodeNew;
    }
    bool by_device = same(id.serial, "0") || (!iscsi && same(s.serial, "N/A"));
    bool match = same(id.bus, s.bus) && (by_device ? same(id.device, s.device) : same(id.serial, s.serial));
    if (!match) continue;
    const int32_t number = instance_number(controller);
    std::snprintf(out_instance, kInstanceTextSize, "%d", number);
    pdebug(kBackEnd, 6, "%s:%s:%s belongs to adapter Vexalon%d.\n", fn, id.bus, by_device ? id.device : id.serial,
           number);
    return kNodeFound;
  }
  return kNodeNew;
}

// A new controller for the function `handle`, with its identity filled; NULL on failure.
hm_node* create_controller(const char* fn, int32_t handle, int32_t protocol, const uint8_t* record,
                           uint32_t status) {
  hm_node* controller = initialize_Vexalon(root(), nullptr, nullptr, nullptr);
  if (controller == nullptr) {
    pdebug(kBackEnd, 3, "%s:Failed to initialize adapter node.\n", fn);
    return nullptr;
  }
  const int32_t number = instance_number(controller);
  pdebug(kBackEnd, 6, "%s:initialized controller %d\n", fn, number);
  set_protocol(static_cast<uint32_t>(number), protocol);
  uint8_t request[kManagementServiceRequest] = {};
  ioctl_start_management_service(handle, request, 0, 0, protocol);
  VARU_update_cntr_attribs(controller, record, status);
  VARU_set_config_signature(handle, number);
  return controller;
}

// Undoes a controller made for a function whose physical HBA could not be made: left in place it
// would have no port handle, and its commands would go to every port.
void drop_new_controller(hm_node* controller) {
  const int32_t number = instance_number(controller);
  if (number >= 0 && number < kMaxAdapters) {
    VaruGlobGuard guard;
    varu_glob.protocol_mask[number] = 0;
  }
  delete_node(controller);
}

// One physical HBA with its driver record, or NULL (nothing left behind).
hm_node* create_phba(const char* fn, const Pass& pass, hm_node* controller, int32_t handle) {
  hm_node* phba = pass.build(controller, nullptr, nullptr, nullptr);
  if (phba == nullptr) {
    pdebug(kBackEnd, 2, "%s:Failed to initialize iscsi phba.\n", fn);
    return nullptr;
  }
  pdebug(kBackEnd, 6, "%s:initialized %s PHBA %d\n", fn, pass.kind, instance_number(phba));
  auto* record = static_cast<instance_backend_record*>(varu_dcalloc(sizeof(instance_backend_record)));
  if (record == nullptr) {
    pdebug(kBackEnd, 2, "%s:Failed to allocate memory of nhandle.\n", fn);
    // Without its record the physical HBA would address every port.
    delete_node(phba);
    return nullptr;
  }
  record->port_handle = static_cast<uint32_t>(handle);
  group_data(phba)->backend_info = record;
  return phba;
}

// The controller a function belongs to (existing or new); NULL to skip the function. *created
// tells whether it was made now.
hm_node* controller_for(const char* fn, const Pass& pass, int32_t handle, const uint8_t* record, uint32_t status,
                        bool* created) {
  *created = false;
  char text[kInstanceTextSize] = "";
  switch (pass.lookup(static_cast<uint32_t>(handle), text, record, status)) {
    case kNodeFound: {
      char name[kInstanceTextSize + 8];
      std::snprintf(name, sizeof name, "Vexalon%s", text);
      hm_node* controller = internal_get_node(root(), name, kGroup);
      if (controller == nullptr) pdebug(kBackEnd, 3, "%s:Adapter node not found.\n", fn);
      return controller;
    }
    case kNodeNew: {
      hm_node* controller = create_controller(fn, handle, pass.protocol, record, status);
      *created = controller != nullptr;
      return controller;
    }
    default: return nullptr;
  }
}

// The generation-4 OEM block tells whether the serial number in the attributes can be trusted.
void check_quenta_serial(const char* fn, hm_node* controller, int32_t handle) {
  uint8_t block[kOemParamsSize] = {};
  if (ioctl_get_quenta_oem_params_v1(handle, block, 0, 0) != 0) return;
  pdebug(kBackEnd, 6, "%s: %d %d %d %d \n", fn, block[0], block[0], block[kOemSerialOffset],
         block[kOemSerialOffset + 1]);
  if (block[0] == 0 || block[0] == kErased || block[kOemSerialOffset] == kErased || block[kOemSerialOffset + 1] == 0) {
    set_prop_val(controller, "SerialNumber", "%s", "N/A");
  }
}

const Pass kIscsiPass = {kProtocolIscsi, "VARU_enumerate_iscsi_functions", "iSCSI", initialize_iSCSIPhysicalHBA,
                         VARU_get_iscsi_node_info};
const Pass kNicPass = {kProtocolNic, "VARU_enumerate_nic_functions", "NIC", initialize_NICPhysicalHBA,
                       VARU_get_nic_node_info};

}  // namespace

namespace {

// Where the function `handle` of one protocol belongs (see VARU_get_iscsi_node_info); `func` names
// the caller in the log.
uint32_t node_info(const char* func, int32_t protocol, uint32_t handle, char* out_instance, const uint8_t* attrs,
                   uint32_t attrs_status) {
  if (attrs == nullptr || out_instance == nullptr) return kNodeSkip;
  if (get_first_instance(root(), "Vexalon") == nullptr) {
    pdebug(kBackEnd, 6, "%s:Adapter node not found.\n", func);
    return kNodeNew;
  }
  Identity id;
  if (VARU_get_pci_bdf(static_cast<int32_t>(handle), id.bus, id.device, id.function, id.serial, protocol, attrs,
                       attrs_status) != 0) {
    pdebug(kBackEnd, 3, "%s:Failed to get PCI information.\n", func);
    return kNodeSkip;
  }
  return match_controllers(func, id, /*iscsi=*/protocol == kProtocolIscsi, out_instance);
}

}  // namespace

uint32_t VARU_get_iscsi_node_info(uint32_t handle, char* out_instance, const uint8_t* attrs, uint32_t attrs_status) {
  return node_info(__func__, kProtocolIscsi, handle, out_instance, attrs, attrs_status);
}

uint32_t VARU_get_nic_node_info(uint32_t handle, char* out_instance, const uint8_t* attrs, uint32_t attrs_status) {
  return node_info(__func__, kProtocolNic, handle, out_instance, attrs, attrs_status);
}

namespace {

// One function of a pass up to its physical HBA with driver record; NULL to go on with the next.
hm_node* enumerate_function(const Pass& pass, int32_t handle, const uint8_t* record, uint32_t status,
                            hm_node** controller_out) {
  bool created = false;
  hm_node* controller = controller_for(pass.name, pass, handle, record, status, &created);
  if (controller == nullptr) return nullptr;
  hm_node* phba = create_phba(pass.name, pass, controller, handle);
  if (phba == nullptr) {
    if (created) drop_new_controller(controller);
    return nullptr;
  }
  *controller_out = controller;
  return phba;
}

// A handle count of the back end's state, read under its lock, at most the size of its table.
int32_t handle_count(int32_t VaruGlob::*count, int32_t limit) {
  VaruGlobGuard guard;
  return std::min(varu_glob.*count, limit);
}

}  // namespace

uint32_t VARU_enumerate_iscsi_functions() {
  const int32_t count = handle_count(&VaruGlob::iscsi_node_count, wire::kMaxIscsiNodes);
  for (int32_t h = 1; h <= count; ++h) {
    uint8_t record[kCntrAttribsSize] = {};
    if (VARU_get_cntr_attribs(h, 0, 0, kProtocolIscsi, record) != 0) {
      pdebug(kBackEnd, 3, "%s:VARU_get_cntr_attribs failed for i = %d.\n", __func__, h - 1);
      continue;
    }
    hm_node* controller = nullptr;
    hm_node* phba = enumerate_function(kIscsiPass, h, record, 0, &controller);
    if (phba == nullptr) continue;
    VARU_update_driver_attribs(h, phba, kProtocolIscsi, record, 0);
    VARU_update_vpd_data(phba, h, kProtocolIscsi);
    VARU_update_fd_mac(h, phba, kProtocolIscsi);
  }
  return kStatusOk;
}

uint32_t VARU_enumerate_nic_functions() {
  const int32_t count = handle_count(&VaruGlob::nic_function_count, wire::kMaxNicHandles);
  for (int32_t h = 1; h <= count; ++h) {
    uint8_t record[kCntrAttribsSize] = {};
    // A NIC function whose attributes cannot be read is still placed, by its PCI address.
    const uint32_t status = VARU_get_cntr_attribs(h, 0, 0, kProtocolNic, record);
    hm_node* controller = nullptr;
    hm_node* phba = enumerate_function(kNicPass, h, record, status, &controller);
    if (phba == nullptr) continue;
    VARU_update_driver_attribs(h, phba, kProtocolNic, record, status);
    VARU_update_vpd_data(phba, h, kProtocolNic);
    VARU_update_fd_mac(h, phba, kProtocolNic);
    if (instance_number(phba) == 0) {
      const uint32_t generation = get_vx_type(controller);
      pdebug(kBackEnd, 6, "%s:vx_type = %d.\n", __func__, static_cast<int>(generation));
      if (generation == kGenerationQuenta) check_quenta_serial(__func__, controller, h);
    }
    uint32_t vfs = 0;
    VARU_get_nic_logicalhba(phba, h, &vfs, 1);
    set_nic_vf_count(h, vfs);
    VARU_check_for_vm(h, phba, controller);
    set_prop_val(phba, "IsVF", "%s", vm_flag == 1 ? "True" : "False");
  }
  return kStatusOk;
}

}  // namespace vx
