// The adapter's event log mirrored into EventLogEntry instances: read at start-up, replaced whole by
// every refresh and clear. Generation-4 adapters keep no log the library can read.
#include <vector>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/controller_attribs.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/lookups.h"
#include "maintenance/controller_target.h"
#include "maintenance/event_records.h"
#include "maintenance/firmware_trace.h"
#include "schema/event_log.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"
#include "schema/names_services.h"

namespace vx {
namespace {

using namespace services;

constexpr uint32_t kStatusEventLogReadFailed = 112;
constexpr uint32_t kStatusEventLogClearFailed = 113;
constexpr uint32_t kStatusNotOnVirtualFunction = 256;

// One instance per record, in record order; 1 when one could not be made (those made stay).
uint32_t Fill_EventLog_Entries(const std::vector<uint8_t>& reply, hm_node* event_log) {
  const uint32_t count = event_record_count(reply.data(), reply.size());
  for (uint32_t i = 0; i < count; ++i) {
    hm_node* entry = initialize_EventLogEntry(event_log, nullptr, nullptr, nullptr);
    if (entry == nullptr) return kStatusFailed;
    const eventlog_entry e = event_record(reply.data(), reply.size(), i);
    char description[kEventDescriptionSize];
    event_description(e, description);
    set_prop_val(entry, kPropErrorCode, "%u", e.error_code);
    set_prop_val(entry, kPropSequenceNumber, "%u", e.sequence);
    set_prop_val(entry, kPropTimeStamp, "%u", e.time_stamp);
    set_prop_val(entry, kPropSeverity, "%s", event_severity_text(e.severity));
    set_prop_val(entry, kPropDescription, "%s", description);
  }
  return kStatusOk;
}

// Where an EventLog action's commands go: 0 with `t` filled, else the answer to give (1 without a
// controller, generation or physical HBA; 259 on generation 4, whose log cannot be read).
uint32_t event_log_target(hm_node* group, hm_node* action, ControllerTarget* t) {
  hm_node* controller = controller_of(group);
  const uint32_t generation = controller != nullptr ? get_vx_type(controller) : kStatusFailed;
  if (generation == kStatusFailed) return kStatusFailed;
  if (generation == kGenerationQuenta) return refuse(kStatusNotOnThisController, msg::kNotOnThisController);
  return controller_target(controller, action, t) ? kStatusOk : kStatusFailed;
}

}  // namespace

uint32_t get_eventlog_entries(int32_t port, uint8_t domain, uint8_t port_number, hm_node* controller) {
  hm_node* event_log = internal_get_node(controller, controller::kGroupEventLog, kGroup);
  if (event_log == nullptr) return kStatusFailed;
  const uint32_t purged = purge_nodes_within(event_log, kGroupEventLogEntry);
  if (purged != 0) return purged;
  std::vector<uint8_t> reply(kEventLogBuffer, 0);
  const uint32_t status = ioctl_get_eventlog_entries(port, reply.data(), static_cast<uint16_t>(reply.size()), domain,
                                                     port_number, get_vx_instance(controller));
  // 31: the log did not fit the reply; what came is still shown.
  if (status != 0 && status != kStatusInsufficientBuffer) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_eventlog_entries failed with status = %d\n", __func__, static_cast<int>(status));
    return refuse(kStatusEventLogReadFailed, msg::kEventLogReadFailed);
  }
  return Fill_EventLog_Entries(reply, event_log);
}

uint32_t do_RefreshEventLog(hm_node* group, hm_node* action, char[6][256]) {
  if (vm_flag != 0) return refuse(kStatusNotOnVirtualFunction, msg::kNotOnVirtualFunction);
  ControllerTarget t;
  const uint32_t found = event_log_target(group, action, &t);
  return found != 0 ? found : get_eventlog_entries(t.port, t.domain, t.port_number, t.controller);
}

uint32_t do_ClearEventLog(hm_node* group, hm_node* action, char[6][256]) {
  ControllerTarget t;
  const uint32_t found = event_log_target(group, action, &t);
  if (found != 0) return found;
  const uint32_t status = ioctl_clear_event_log(t.port, t.domain, t.port_number, get_vx_instance(t.controller));
  if (status != 0) {
    varu_set_last_status(kStatusEventLogClearFailed, msg::kEventLogClearFailed);
    return status;
  }
  return get_eventlog_entries(t.port, t.domain, t.port_number, t.controller);
}

uint32_t VARU_get_all_eventlog(hm_node* controller) {
  uint32_t generation = 0;
  if (controller == nullptr || (generation = get_vx_type(controller)) == kStatusFailed) return kStatusFailed;
  if (generation == kGenerationQuenta) return kStatusOk;
  ControllerTarget t;
  if (!controller_target(controller, controller, &t)) return kStatusFailed;
  if (get_eventlog_entries(t.port, 0, 0, controller) != 0) pdebug(kBackEnd, 2, "Eventlog failure\n");
  return kStatusOk;
}

}  // namespace vx
