// One event-log record of the adapter firmware. The event-log read builds the entries with no
// creating action and writes their plain caches from the records without validation, so numbers
// above the stored maximum of 255 show as written; what it does not write keeps its default.
#include "schema/event_log.h"

#include "engine/builder.h"
#include "schema/names_services.h"

namespace vx {
namespace {

using namespace services;

// clang-format off
constexpr SchemaRow kEntryRows[] = {
  /* 0 */ property(kInstance, kPropSequenceNumber, "This property displays a Sequence number of the event log entry.",
                   kReadOnly, handle_internal_property, range(1, 255), "1"),
  /* 1 */ property(kInstance, kPropTimeStamp,
                   "This property displays the Time stamp in seconds since ARM boot, of the event log entry.",
                   kReadOnly, handle_internal_property, range(1, 255), "1"),
  /* 2 */ property(kInstance, kPropSeverity,
                   "This property indicates the severity associated with the event log entry. The severity level can "
                   "be Fatal, Error, Warning or Informational. Fatal events are most severe in nature and need to be "
                   "attended to immediately to restore normal operation. Error events are less severe in nature than "
                   "Fatal, but they are serious enough to affect important features. It is important to clear all "
                   "Fatal and Error events for a normal operation. Warning events are less critical and suggest a "
                   "potential problem. Informational messages are logged upon completion of some important "
                   "operations.",
                   kReadOnly, handle_internal_property, one_of("Fatal,Error,Warning,Informational,Unknown", 1, 255),
                   "Unknown"),
  /* 3 */ property(kInstance, kPropDescription, "This property gives a text description of the event log entry.",
                   kReadOnly, handle_internal_property, length(1, 255), "0"),
  /* 4 */ property(kInstance, kPropErrorCode,
                   "This property specifies the numeric error code associated with the event log entry.",
                   kReadOnly, handle_internal_property, range(1, 255), "1"),
};
// clang-format on

InstanceBits g_event_log_entry_bits;
constexpr GroupSpec kEntry = group_spec(
    kGroupEventLogEntry,
    "This group represents an event log entry from the Brightlane firmware. This entry is obtained by VARU during "
    "initialization and cached in VARU. OEMQMRefreshEventLog command, available in EventLog group, has to be run to "
    "refresh the entries.",
    /*max*/ 1024, nullptr, kEntryRows, g_event_log_entry_bits);

}  // namespace

hm_node* initialize_EventLogEntry(hm_node* parent, hm_node* origin, hm_node* action, char params[6][256]) {
  return build_instance(kEntry, parent, origin, action, params);
}

}  // namespace vx
