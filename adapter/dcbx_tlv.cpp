// The administrator DCBX settings edited as a whole: adding and deleting application TLVs (through
// the 312-byte record where the firmware knows no other), the priority groups' membership and
// bandwidth, and the refresh of the three application TLV settings from the firmware's tables.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "access/adapter_tables.h"
#include "adapter/command_target.h"
#include "adapter/controller_attribs.h"
#include "adapter/dcbx.h"
#include "adapter/live_records.h"
#include "adapter/port_tree.h"
#include "engine/messages.h"
#include "iscsi/lookups.h"
#include "schema/application_tlv.h"
#include "schema/handlers.h"
#include "schema/names_port.h"

namespace vx {
namespace {

using namespace port;

constexpr uint32_t kStatusInvalidInstanceNumber = 20;
constexpr uint32_t kStatusMaxTlvs = 158;
constexpr uint32_t kStatusBandwidth = 51;
constexpr uint32_t kDefaultOui = 6945;   // 0x001b21
constexpr uint32_t kMaxProtocolId = 0xFFFF;
constexpr uint32_t kNoBandwidthLimit = 255;
constexpr uint32_t kFullBandwidth = 100;
constexpr size_t kInstanceNameRoom = 34;

// An ApplicationTLV to add: the entry's fields from the action's parameters.
struct NewTlv {
  uint8_t selector;
  uint16_t protocol_id;
  uint8_t bitmap;
  uint32_t oui;
};

// Status 6 "<name>: Invalid Value.": false.
bool invalid(const char* name) {
  fail(kStatusInvalidValue, msg::kNamedInvalidValue, name);
  return false;
}

// The parameters of AddApplicationTLV, checked before anything is sent.
bool new_tlv_of(char params[6][256], NewTlv* out) {
  uint32_t bitmap = 0;
  uint32_t oui = 0;
  uint32_t protocol = 0;
  uint32_t selector = 0;
  if (!parse_whole(params[kAddTlvBitMapSlot], UINT32_MAX, &bitmap)) return invalid("PriorityBitMap");
  // An OUI not given is the maker's.
  if (params[kAddTlvOuiSlot][0] == '\0') std::snprintf(params[kAddTlvOuiSlot], kValueSize, "%u", kDefaultOui);
  if (!parse_whole(params[kAddTlvOuiSlot], UINT32_MAX, &oui)) return invalid("OUI");
  // The entry holds 16 bits: a larger protocol would be stored as another one.
  if (!parse_whole(params[kAddTlvProtocolSlot], kMaxProtocolId, &protocol)) return invalid("ProtocolID");
  if (!parse_whole(params[kAddTlvSelectorSlot], 1, &selector)) return invalid("ProtocolSelector");
  *out = NewTlv{static_cast<uint8_t>(selector), static_cast<uint16_t>(protocol), static_cast<uint8_t>(bitmap), oui};
  return true;
}

size_t tlv_count(hm_node* group) {
  size_t n = 0;
  for (hm_node* t = get_first_instance(group, kGroupApplicationTLV); t != nullptr; t = next_instance(t)) ++n;
  return n;
}

// Fills the first free entry of the request; its index, or -1 (status 158) when the group holds 15
// instances or the record has no free entry.
int32_t fill_free_entry(hm_node* group, dcbx_cfg_params& r, const NewTlv& t) {
  int32_t entry = -1;
  for (int32_t n = 0; n < kDcbxAppEntries && entry < 0; ++n) {
    if (r.app[n].in_use != kDcbxEntryInUse) entry = n;
  }
  if (entry < 0 || tlv_count(group) >= kApplicationTLVMax) {
    fail(kStatusMaxTlvs, "%s", msg::kMaxApplicationTlvs);
    return -1;
  }
  dcbx_app_tlv& e = r.app[entry];
  e.protocol_id = t.protocol_id;
  e.selector = t.selector;
  e.oui = t.oui;
  e.in_use = kDcbxEntryInUse;
  for (int k = 0; k < kPriorities; ++k) e.priority[k] = (t.bitmap >> k) & 1;
  return entry;
}

// One administrator-record edit of an application TLV, in the record version the firmware takes:
// adds `tlv` (with `action` and `params`, so that it is persistent) or deletes `instance`. 0; 213
// when the 368-byte record is not known (nothing changed); a failed 368-byte read gives status 101
// and 1 for an add, the read's status for a delete; a failed 312-byte read its status, without
// one; a full table 1 with status 158 (*full set); a failed write its status with 102; else 1.
uint32_t edit_tlvs(const PortCommand& at, hm_node* group, bool v1, hm_node* action, char params[6][256],
                   const NewTlv* tlv, hm_node* instance, bool* full) {
  const size_t size = v1 ? kDcbxV1Size : kDcbxSize;
  uint8_t reply[kDcbxV1Size];
  uint32_t status = read_dcbx_record(at, kDcbxAdministrator, v1, reply);
  if (status != kStatusOk) {
    if (!v1 || status == kStatusRecordVersion) return status;
    fail(kStatusDcbxRead, "%s", msg::kDcbxReadFailed);
    return tlv != nullptr ? kStatusFailed : status;
  }
  dcbx_cfg_params_v1 request{};
  dcbx_carry_over(reply, size, reinterpret_cast<uint8_t*>(&request));
  dcbx_cfg_params& r = request.base;
  int32_t entry = -1;
  if (tlv != nullptr) {
    if ((entry = fill_free_entry(group, r, *tlv)) < 0) {
      *full = true;
      return kStatusFailed;
    }
    r.set_app_count = static_cast<uint8_t>(r.set_app_count + 1);
  } else {
    entry = apptlv_entry(instance);
    if (entry < 0) return refuse(kStatusInvalidInstanceNumber, msg::kInvalidInstanceNumber);
    r.app[entry].in_use = 0;
    if (r.set_app_count > 0) r.set_app_count = static_cast<uint8_t>(r.set_app_count - 1);
  }
  status = write_dcbx_record(at, v1, reinterpret_cast<uint8_t*>(&request));
  if (status != kStatusOk) {
    fail(kStatusDcbxWrite, "%s", msg::kDcbxWriteFailed);
    return status;
  }
  if (tlv == nullptr) return delete_with_records(instance);
  AppTlvEntry e{static_cast<uint8_t>(entry), tlv->selector, tlv->protocol_id, tlv->oui, tlv->bitmap};
  return make_application_tlv(group, action, params, e) != nullptr ? kStatusOk : kStatusFailed;
}

// The newer record first; the 312-byte one when the firmware answers that it knows only that. A
// failure there reads as the DCBX settings not obtained, with 1 for an add and the failing status
// for a delete; a full table keeps its own status.
uint32_t edit_tlvs_any_version(const PortCommand& at, hm_node* group, hm_node* action, char params[6][256],
                               const NewTlv* tlv, hm_node* instance) {
  bool full = false;
  const uint32_t status = edit_tlvs(at, group, true, action, params, tlv, instance, &full);
  if (status != kStatusRecordVersion) return status;
  const uint32_t fallback = edit_tlvs(at, group, false, action, params, tlv, instance, &full);
  if (fallback == kStatusOk || full) return fallback;
  fail(kStatusDcbxRead, "%s", msg::kDcbxReadFailed);
  return tlv != nullptr ? kStatusFailed : fallback;
}

// Refreshes the ApplicationTLV instances of a setting group from its record: every instance goes,
// one comes for every in-use entry, in entry order. 0, or 1 (status 101 when the read failed and
// the instances stay).
uint32_t refresh_tlvs(hm_node* group) {
  PortCommand at;
  if (!port_command(group, &at)) return kStatusFailed;
  uint8_t record[kDcbxSize];
  if (read_dcbx_record(at, dcbx_selector(group), false, record) != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:Failed to get DCBX CFG params.\n", __func__);
    return refuse(kStatusDcbxRead, msg::kDcbxReadFailed);
  }
  if (purge_nodes_within(group, kGroupApplicationTLV) != kStatusOk) return kStatusFailed;
  AppTlvEntry entries[kDcbxAppEntries];
  const size_t count = app_tlv_entries(record, sizeof record, entries);
  for (size_t i = 0; i < count; ++i) {
    if (make_application_tlv(group, nullptr, nullptr, entries[i]) == nullptr) return kStatusFailed;
  }
  return kStatusOk;
}

}  // namespace

uint32_t do_AddApplicationTLV(hm_node* group, hm_node* action, char params[6][256]) {
  PortCommand at;
  NewTlv tlv{};
  if (group == nullptr || action == nullptr || !port_command(group, &at)) return kStatusFailed;
  if (!new_tlv_of(params, &tlv)) return kStatusFailed;
  return edit_tlvs_any_version(at, group, action, params, &tlv, nullptr);
}

uint32_t do_DeleteApplicationTLV(hm_node* group, hm_node* action, char params[6][256]) {
  PortCommand at;
  if (group == nullptr || !port_command(group, &at)) return kStatusFailed;
  char name[kNameSize + kValueSize];
  std::snprintf(name, sizeof name, "%s%.*s", kGroupApplicationTLV, static_cast<int>(kInstanceNameRoom), params[0]);
  hm_node* instance = internal_get_node(group, name, kGroup);
  if (instance == nullptr || instance_info(instance) == nullptr) {
    return refuse(kStatusInvalidInstanceNumber, msg::kInvalidInstanceNumber);
  }
  return edit_tlvs_any_version(at, group, action, params, nullptr, instance);
}

uint32_t do_ConfigurePGSettings(hm_node* pg, hm_node* /*action*/, char params[6][256]) {
  PortCommand at;
  if (pg == nullptr || pg->parent == nullptr || !port_command(pg, &at)) return kStatusFailed;
  uint32_t membership = 0;
  uint32_t bandwidth = 0;
  if (!parse_whole(params[0], UINT32_MAX, &membership)) return refuse(kStatusInvalidValue, msg::kInvalidValueCapital);
  if (!parse_whole(params[1], kNoBandwidthLimit, &bandwidth)) return refuse(kStatusInvalidValue, msg::kInvalidValueCapital);
  const uint8_t bits = static_cast<uint8_t>(membership & 0xFF);
  const int32_t n = instance_number(pg);
  if (n < 0 || n >= kPriorities) return kStatusFailed;
  uint8_t reply[kDcbxSize];
  uint32_t status = read_dcbx_record(at, kDcbxAdministrator, false, reply);
  if (status != kStatusOk) {
    fail(kStatusDcbxRead, "%s", msg::kDcbxReadFailed);
    return status;
  }
  const DcbxView view = dcbx_view_of(reply, sizeof reply);
  dcbx_cfg_params_v1 request{};
  dcbx_carry_over(reply, kDcbxSize, reinterpret_cast<uint8_t*>(&request));
  // The priorities given join group n and leave every other group; a priority that no PG
  // instance holds is in group 15. Only PG instances that exist hold priorities.
  uint8_t members[kPriorities] = {};
  bool present[kPriorities] = {};
  uint32_t total = bandwidth;
  for (hm_node* g = get_first_instance(pg->parent, kGroupPG); g != nullptr; g = next_instance(g)) {
    const int32_t m = instance_number(g);
    if (m < 0 || m >= kPriorities) continue;
    present[m] = true;
    members[m] = m == n ? bits : static_cast<uint8_t>(view.members(static_cast<uint32_t>(m)) & ~bits);
    const uint32_t share = view.record.base.pg_bandwidth[m];
    if (m != n && share != kNoBandwidthLimit) total += share;
  }
  if (bandwidth != kNoBandwidthLimit && total > kFullBandwidth) {
    return refuse(kStatusBandwidth, msg::kBandwidthOver100);
  }
  dcbx_cfg_params& r = request.base;
  for (int k = 0; k < kPriorities; ++k) {
    uint32_t group = kPriorityGroup15;
    for (int m = 0; m < kPriorities; ++m) {
      if (present[m] && ((members[m] >> k) & 1) != 0) group = static_cast<uint32_t>(m);
    }
    r.priority_pg[k] = (r.priority_pg[k] & ~0xFFu) | group;
  }
  r.pg_bandwidth[n] = static_cast<uint8_t>(bandwidth);
  status = write_dcbx_record(at, false, reinterpret_cast<uint8_t*>(&request));
  if (status != kStatusOk) {
    fail(kStatusDcbxWrite, "%s", msg::kDcbxWriteFailed);
    return status;
  }
  // The cached memberships follow what the adapter now holds, and only once it holds it.
  for (hm_node* g = get_first_instance(pg->parent, kGroupPG); g != nullptr; g = next_instance(g)) {
    const int32_t m = instance_number(g);
    if (m >= 0 && m < kPriorities) set_prop_val(g, "PriorityMembership", "0x%02x", members[m]);
  }
  set_prop_val(pg, "Bandwidth", "%u", bandwidth);
  return kStatusOk;
}

uint32_t group_AdministratorTLVSetting(hm_node* group) { return refresh_tlvs(group); }
uint32_t group_PeerTLVSetting(hm_node* group) { return vm_flag != 0 ? kStatusOk : refresh_tlvs(group); }
uint32_t group_OperationalTLVSettings(hm_node* group) { return vm_flag != 0 ? kStatusOk : refresh_tlvs(group); }

}  // namespace vx
