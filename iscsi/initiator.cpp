#include "iscsi/initiator.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/records.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint16_t kNameFlagCleared = 0x0001;
constexpr size_t kAliasMax = kAliasSize - 1;

bool fetch_name_record(const CommandAddress& at, initiator_name_record* rec) {
  *rec = initiator_name_record{};
  if (ioctl_fetch_initiator_name_params(at.port, rec, at.domain, at.phba_port) != 0) return false;
  rec->flags = static_cast<uint16_t>(rec->flags & ~kNameFlagCleared);
  return true;
}

}  // namespace

uint32_t get_name_params(const CommandAddress& at, hm_node* name_group) {
  initiator_name_record rec{};
  if (!fetch_name_record(at, &rec)) return refuse(kStatusGetInitiatorName, msg::kGetInitiatorNameFailed);
  const std::string alias(rec.alias, ::strnlen(rec.alias, kAliasMax));
  const std::string name(rec.name, ::strnlen(rec.name, sizeof rec.name - 1));
  const bool ok = set_cached(name_group, kPropInitiatorAlias, alias) && set_cached(name_group, kPropInitiatoriSCSIName, name);
  return ok ? kStatusOk : kStatusFailed;
}

uint32_t handle_name_params(hm_node* prop, char* buf, uint32_t op) {
  hm_node* group = owning_group(prop);
  if (op == kGet) {
    const uint32_t result = get_name_params(command_address(group), group);
    if (result != 0) return result;
    return handle_internal_property(prop, buf, kGet);
  }
  const bool is_name = std::strcmp(prop->name, kPropInitiatoriSCSIName) == 0;
  char value[kIscsiNameSize] = {};
  if (is_name) {
    if (validateISCSIName(buf, value) != 0) return kStatusFailed;
  } else {
    std::snprintf(value, sizeof value, "%s", buf);
  }
  if (VARU_set_initatorIQN_alias(prop, value) != 0) return kStatusFailed;
  return handle_internal_property(prop, value, kSet);
}

uint32_t VARU_set_initatorIQN_alias(hm_node* property, const char* value) {
  const bool is_name = std::strcmp(property->name, kPropInitiatoriSCSIName) == 0;
  hm_node* first = get_first_instance(get_node(0), "Vexalon");
  if (first == nullptr) {
    pdebug(kBackEnd, 3, "%s:no adapter to write the initiator name to.\n", __func__);
    return kStatusFailed;
  }
  std::string changed;   // the functions that took the new value, for the log if a later one fails
  for (hm_node* c = first; c != nullptr; c = next_instance(c)) {
    for (hm_node* p = get_first_instance(c, kGroupiSCSIPhysicalHBA); p != nullptr; p = next_instance(p)) {
      hm_node* lhba = get_first_instance(p, kGroupLogicalHBA);
      if (lhba == nullptr || instance_number(lhba) != 0) continue;
      const CommandAddress at = command_address(lhba);
      initiator_name_record rec{};
      const std::string where = "Vexalon" + std::to_string(instance_number(c)) + "/iSCSIPhysicalHBA" +
                                std::to_string(instance_number(p));
      if (!fetch_name_record(at, &rec)) {
        if (!changed.empty()) pdebug(kBackEnd, 3, "%s:only%s took the new value.\n", __func__, changed.c_str());
        return refuse(kStatusGetInitiatorName, msg::kGetInitiatorNameFailed);
      }
      if (is_name) {
        std::memset(rec.name, 0, sizeof rec.name);
        std::strncpy(rec.name, value, sizeof rec.name - 1);
      } else {
        std::memset(rec.alias, 0, sizeof rec.alias);
        std::strncpy(rec.alias, value, kAliasMax);
      }
      if (ioctl_save_initiator_name_params(at.port, &rec, at.domain, at.phba_port) != 0) {
        if (!changed.empty()) pdebug(kBackEnd, 3, "%s:only%s took the new value.\n", __func__, changed.c_str());
        return refuse(kStatusSetInitiatorName, msg::kSetInitiatorNameFailed);
      }
      changed += " " + where;
    }
  }
  return kStatusOk;
}

// ---- QoS --------------------------------------------------------------------------------------------

uint32_t get_qos_params(const CommandAddress& at, hm_node* qos_group) {
  qos_get_record rec{};
  if (ioctl_qos_get(at.port, &rec, at.domain, at.phba_port, kProtocolIscsi) != 0) {
    return refuse(kStatusGetQos, msg::kGetQosFailed);
  }
  const bool ok = set_cached(qos_group, kPropLhbaMaxBytesPerSecond, std::to_string(rec.max_bytes >> kBytesPerSecondShift)) &&
                  set_cached(qos_group, kPropLhbaMaxIosPerSecond, std::to_string(rec.max_ios));
  return ok ? kStatusOk : kStatusFailed;
}

namespace {

uint32_t qos_handler(hm_node* prop, char* buf, uint32_t op, bool bytes) {
  hm_node* group = owning_group(prop);
  const CommandAddress at = command_address(group);
  if (op == kGet) {
    if (get_qos_params(at, group) != 0) return kStatusFailed;
    return handle_internal_property(prop, buf, kGet);
  }
  // Read with the same base rule the value check used, so "0x10" is 16 both times.
  uint64_t value = 0;
  if (!parse_number(buf, 0, UINT32_MAX >> (bytes ? kBytesPerSecondShift : 0), &value)) {
    return refuse(kStatusInvalidValue, msg::kInvalidValue);
  }
  qos_set_record rec{};
  if (bytes) {
    rec.flags = kQosBytesGiven;
    rec.max_bytes = static_cast<uint32_t>(value << kBytesPerSecondShift);
  } else {
    rec.flags = kQosIosGiven;
    rec.max_ios = static_cast<uint32_t>(value);
  }
  if (ioctl_qos_set(at.port, &rec, at.domain, at.phba_port, kProtocolIscsi) != 0) {
    return refuse(kStatusSetQos, msg::kSetQosFailed);
  }
  return get_qos_params(at, group) != 0 ? kStatusFailed : kStatusOk;
}

}  // namespace

uint32_t handle_MaxBytesPerSecond(hm_node* prop, char* buf, uint32_t op) { return qos_handler(prop, buf, op, true); }
uint32_t handle_MaxIosPerSecond(hm_node* prop, char* buf, uint32_t op) { return qos_handler(prop, buf, op, false); }

uint32_t handle_iSCSIPhysicalHBA_LogicalHBA_Enabled(hm_node* prop, char* buf, uint32_t op) {
  if (op == kSet && equal_nocase(buf, "False")) return refuse(kStatusLhbaAlwaysEnabled, msg::kLhbaAlwaysEnabled);
  return handle_internal_property(prop, buf, op);
}

}  // namespace vx
