// The logical HBAs that start-up gives the iSCSI physical HBAs, and the restore steps after them.
#include "iscsi/lhba_startup.h"

#include <cstdio>
#include <cstring>

#include "access/discovery.h"
#include "access/adapter_tables.h"
#include "access/walks.h"
#include "iscsi/restore.h"
#include "schema/handlers.h"
#include "schema/logical_hba.h"

namespace vx {
namespace {

constexpr size_t kKeySize = 256;

hm_node* root() { return get_node(0); }

int32_t port_handle_of(hm_node* phba) {
  hm_group_data* data = group_data(phba);
  if (data == nullptr || data->backend_info == nullptr) return 0;
  return static_cast<int32_t>(static_cast<const instance_backend_record*>(data->backend_info)->port_handle);
}

// The restore of one logical HBA from the text files and the firmware; results are not looked at.
void restore(hm_node* controller, hm_node* phba, hm_node* lhba, int32_t handle) {
  char adapter_key[kKeySize];
  char phba_key[kKeySize];
  char lhba_key[kKeySize];
  std::snprintf(adapter_key, sizeof adapter_key, "Vexalon%d", instance_number(controller));
  std::snprintf(phba_key, sizeof phba_key, "iSCSIPhysicalHBA%d", instance_number(phba));
  std::snprintf(lhba_key, sizeof lhba_key, "LogicalHBA%d", instance_number(lhba));
  VARU_set_ini_loginopts_prop(lhba, adapter_key, phba_key, lhba_key);
  VARU_set_target_loginopts_prop(adapter_key, phba_key, lhba_key, lhba);
  VARU_set_stp_loginopts_prop(adapter_key, phba_key, lhba_key, lhba);

  hm_node* isns = internal_get_node(phba, "iSNS", kGroup);
  if (isns == nullptr) return;
  char params[kParamCount][kValueSize] = {};
  get_all_isns(phba, handle, 0, get_phba_port_number(phba), isns,
               internal_get_node(isns, "ConfigureiSNSServer", kAction), params);
}

}  // namespace

hm_node* create_startup_lhba(hm_node* phba, int32_t handle) {
  hm_node* lhba = initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
  if (lhba == nullptr) return nullptr;
  char name[kVmhbaNameSize] = "";
  if (ioctl_get_vmhba_name(handle, name, sizeof name) == 0) set_prop_val(lhba, "IfName", "%s", name);
  set_prop_val(lhba, "Enabled", "%s", "True");
  char params[kParamCount][kValueSize] = {};
  if (setup_iscsi(lhba, "True", nullptr, nullptr, params) != 0) {
    pdebug(kBackEnd, 5, "%s:updating lhba properties failed.\n", "VARU_set_lhba_prop");
  }
  return lhba;
}

uint32_t VARU_set_lhba_prop() {
  hm_node* controller = get_first_instance(root(), "Vexalon");
  if (controller == nullptr) return kStatusFailed;
  uint32_t result = kStatusOk;
  begin_saved_file_restore();
  for (; controller != nullptr; controller = next_instance(controller)) {
    for (hm_node* phba = get_first_instance(controller, "iSCSIPhysicalHBA"); phba != nullptr;
         phba = next_instance(phba)) {
      // One physical HBA that cannot be set up never keeps the others from theirs.
      const int32_t handle = port_handle_of(phba);
      if (handle == 0) {
        pdebug(kBackEnd, 3, "%s:iSCSIPhysicalHBA%d has no port handle.\n", __func__, instance_number(phba));
        result = kStatusFailed;
        continue;
      }
      hm_node* lhba = create_startup_lhba(phba, handle);
      if (lhba == nullptr) {
        pdebug(kBackEnd, 3, "%s:Failed to initialize LogicalHBA.\n", __func__);
        result = kStatusFailed;
        continue;
      }
      restore(controller, phba, lhba, handle);
    }
  }
  end_saved_file_restore();
  return result;
}

}  // namespace vx
