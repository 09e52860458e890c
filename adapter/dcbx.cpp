// DCBX, PFC, priority-group, application-TLV and QCN properties of a port: the fields of the DCBX
// record each group shows, the carry-over writes of the administrator record, the DCBX state, mode,
// MIB and the operational mode of the priority groups.
#include "adapter/dcbx.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <iterator>

#include "access/adapter_tables.h"
#include "access/fw_commands.h"
#include "access/walks.h"
#include "adapter/configured_values.h"
#include "adapter/controller_attribs.h"
#include "adapter/live_records.h"
#include "adapter/port_tree.h"
#include "engine/messages.h"
#include "schema/handlers.h"
#include "schema/names_controller.h"
#include "schema/names_port.h"

namespace vx {
namespace {

using namespace port;

// Where a property's text comes from in the record, and how it is written.
enum class Source : uint8_t { kPgFlags, kPfcFlags, kAppFlags, kQcnFlags, kPfcBitmap, kPgCount, kPg15, kState, kCnpv, kReady };
enum class Form : uint8_t {
  kYesNo,            // the bit
  kTrueFalse,        // the bit
  kHex02,            // "0x%02x" of the value
  kHex,              // "0x%x" of the value
  kDecimal,          // "%d" of the value
  kEnabled,          // "Enabled" when the value is 1
  kBitmapIfEnabled,  // "0x%02x", or "N/A" while PFC bit 0 is clear
  kModeOrNA,         // "N/A" when bit 30 is set, else the bit as True/False
};
struct Field {
  const char* property;
  Source source;
  uint32_t bit;
  Form form;
};
struct FeatureGroup {
  const char* group;
  const Field* fields;
  size_t count;
  bool v1;   // the 368-byte record (QCN)
};

constexpr Field kPortVars[] = {{"DCBXState", Source::kState, 0, Form::kEnabled}};
constexpr Field kAdminPfc[] = {
    {"Enabled", Source::kPfcFlags, kFlagEnabled, Form::kYesNo},
    {"Advertise", Source::kPfcFlags, kFlagAdvertise, Form::kYesNo},
    {"Willing", Source::kPfcFlags, kFlagWilling, Form::kYesNo},
    {kPropPriorityBitMap, Source::kPfcBitmap, 0, Form::kHex02},
};
constexpr Field kPeerPfc[] = {
    {"Enabled", Source::kPfcFlags, kFlagEnabled, Form::kYesNo},
    {"Willing", Source::kPfcFlags, kFlagWilling, Form::kYesNo},
    {"Advertise", Source::kPfcFlags, kFlagAdvertise, Form::kYesNo},
    {"Error", Source::kPfcFlags, kFlagError, Form::kYesNo},
    {kPropPriorityBitMap, Source::kPfcBitmap, 0, Form::kHex02},
};
constexpr Field kOperationalPfc[] = {
    {"OperationalMode", Source::kPfcFlags, kFlagEnabled, Form::kTrueFalse},
    {"Error", Source::kPfcFlags, kFlagError, Form::kYesNo},
    {"Synced", Source::kPfcFlags, kFlagSynced, Form::kYesNo},
    {kPropPriorityBitMap, Source::kPfcBitmap, 0, Form::kBitmapIfEnabled},
};
constexpr Field kAdminPg[] = {
    {"Enabled", Source::kPgFlags, kFlagEnabled, Form::kYesNo},
    {"Advertise", Source::kPgFlags, kFlagAdvertise, Form::kYesNo},
    {"Willing", Source::kPgFlags, kFlagWilling, Form::kYesNo},
    {"NumPGSupported", Source::kPgCount, 0, Form::kDecimal},
    {"PG15PriorityMemberShip", Source::kPg15, 0, Form::kHex02},
};
constexpr Field kPeerPg[] = {
    {"Enabled", Source::kPgFlags, kFlagEnabled, Form::kYesNo},
    {"Willing", Source::kPgFlags, kFlagWilling, Form::kYesNo},
    {"Advertise", Source::kPgFlags, kFlagAdvertise, Form::kYesNo},
    {"Error", Source::kPgFlags, kFlagError, Form::kYesNo},
    {"NumPGSupported", Source::kPgCount, 0, Form::kDecimal},
    {"PG15PriorityMemberShip", Source::kPg15, 0, Form::kHex02},
};
// OperationalMode follows from more than the record (operational_pg_mode).
constexpr Field kOperationalPg[] = {
    {"Error", Source::kPgFlags, kFlagError, Form::kYesNo},
    {"Synced", Source::kPgFlags, kFlagSynced, Form::kYesNo},
    {"NumPGSupported", Source::kPgCount, 0, Form::kDecimal},
    {"PG15PriorityMemberShip", Source::kPg15, 0, Form::kHex02},
};
constexpr Field kAdminTlv[] = {
    {"Enabled", Source::kAppFlags, kFlagEnabled, Form::kYesNo},
    {"Advertise", Source::kAppFlags, kFlagAdvertise, Form::kYesNo},
    {"Willing", Source::kAppFlags, kFlagWilling, Form::kYesNo},
};
constexpr Field kPeerTlv[] = {
    {"Enabled", Source::kAppFlags, kFlagEnabled, Form::kYesNo},
    {"Advertise", Source::kAppFlags, kFlagAdvertise, Form::kYesNo},
    {"Willing", Source::kAppFlags, kFlagWilling, Form::kYesNo},
    {"Error", Source::kAppFlags, kFlagError, Form::kYesNo},
};
constexpr Field kOperationalTlv[] = {
    {"OperationalMode", Source::kAppFlags, kFlagEnabled, Form::kTrueFalse},
    {"Error", Source::kAppFlags, kFlagError, Form::kYesNo},
    {"Synced", Source::kAppFlags, kFlagSynced, Form::kYesNo},
};
constexpr Field kAdminQcn[] = {
    {"Enabled", Source::kQcnFlags, kFlagEnabled, Form::kYesNo},
    {"Advertise", Source::kQcnFlags, kFlagAdvertise, Form::kYesNo},
    {"Willing", Source::kQcnFlags, kFlagWilling, Form::kYesNo},
    {"CNPVBitMap", Source::kCnpv, 0, Form::kHex},
};
constexpr Field kPeerQcn[] = {
    {"Enabled", Source::kQcnFlags, kFlagEnabled, Form::kYesNo},
    {"Willing", Source::kQcnFlags, kFlagWilling, Form::kYesNo},
    {"Advertise", Source::kQcnFlags, kFlagAdvertise, Form::kYesNo},
    {"Error", Source::kQcnFlags, kFlagError, Form::kYesNo},
    {"CNPVBitMap", Source::kCnpv, 0, Form::kHex},
    {"ReadyBitMap", Source::kReady, 0, Form::kHex},
};
constexpr Field kOperationalQcn[] = {
    {"OperationalMode", Source::kQcnFlags, kFlagEnabled, Form::kModeOrNA},
    {"Error", Source::kQcnFlags, kFlagError, Form::kYesNo},
    {"Synced", Source::kQcnFlags, kFlagSynced, Form::kYesNo},
    {"CNPVBitMap", Source::kCnpv, 0, Form::kHex},
    {"ReadyBitMap", Source::kReady, 0, Form::kHex},
};

#define VX_FEATURE(group, fields, v1) {group, fields, std::size(fields), v1}
constexpr FeatureGroup kFeatureGroups[] = {
    VX_FEATURE(kGroupDCBXPortVars, kPortVars, false),
    VX_FEATURE(kGroupAdministratorPFCSetting, kAdminPfc, false),
    VX_FEATURE(kGroupPeerPFCSetting, kPeerPfc, false),
    VX_FEATURE(kGroupOperationalPFCSettings, kOperationalPfc, false),
    VX_FEATURE(kGroupAdministratorPGSetting, kAdminPg, false),
    VX_FEATURE(kGroupPeerPGSetting, kPeerPg, false),
    VX_FEATURE(kGroupOperationalPGSettings, kOperationalPg, false),
    VX_FEATURE(kGroupAdministratorTLVSetting, kAdminTlv, false),
    VX_FEATURE(kGroupPeerTLVSetting, kPeerTlv, false),
    VX_FEATURE(kGroupOperationalTLVSettings, kOperationalTlv, false),
    VX_FEATURE(kGroupAdministratorQCNSetting, kAdminQcn, true),
    VX_FEATURE(kGroupPeerQCNSetting, kPeerQcn, true),
    VX_FEATURE(kGroupOperationalQCNSettings, kOperationalQcn, true),
};
#undef VX_FEATURE

const FeatureGroup* feature_group(const hm_node* group) {
  for (const FeatureGroup& g : kFeatureGroups) {
    if (group_named(group, g.group)) return &g;
  }
  return nullptr;
}

bool is_instance_of(const hm_node* node, const char* name) {
  return group_named(node, name) && instance_info(node) != nullptr;
}

uint32_t value_of(const DcbxView& v, Source source) {
  const dcbx_cfg_params& r = v.record.base;
  switch (source) {
    case Source::kPgFlags: return r.pg_flags;
    case Source::kPfcFlags: return r.pfc_flags;
    case Source::kAppFlags: return r.app_flags;
    case Source::kQcnFlags: return r.qcn_flags;
    case Source::kPfcBitmap: return v.pfc_bitmap();
    case Source::kPgCount: return r.pg_supported;
    case Source::kPg15: return v.members(kPriorityGroup15);
    case Source::kState: return r.selector_or_state;
    case Source::kCnpv: return v.record.cnpv_bitmap;
    case Source::kReady: return v.record.ready_bitmap;
  }
  return 0;
}

void field_text(const DcbxView& v, const Field& f, char out[kValueSize]) {
  const uint32_t value = value_of(v, f.source);
  const bool bit = (value & f.bit) != 0;
  switch (f.form) {
    case Form::kYesNo: std::snprintf(out, kValueSize, "%s", bit ? "Yes" : "No"); break;
    case Form::kTrueFalse: std::snprintf(out, kValueSize, "%s", bit ? "True" : "False"); break;
    case Form::kHex02: std::snprintf(out, kValueSize, "0x%02x", value); break;
    case Form::kHex: std::snprintf(out, kValueSize, "0x%x", value); break;
    case Form::kDecimal: std::snprintf(out, kValueSize, "%d", static_cast<int>(value)); break;
    case Form::kEnabled: std::snprintf(out, kValueSize, "%s", value == 1 ? "Enabled" : "Disabled"); break;
    case Form::kBitmapIfEnabled:
      if ((v.record.base.pfc_flags & kFlagEnabled) == 0) {
        std::snprintf(out, kValueSize, "%s", kTextNA);
      } else {
        std::snprintf(out, kValueSize, "0x%02x", value);
      }
      break;
    case Form::kModeOrNA:
      std::snprintf(out, kValueSize, "%s",
                    (value & kFlagNotOperational) != 0 ? kTextNA : bit ? "True" : "False");
      break;
  }
}

// The instance properties of a PG or ApplicationTLV instance.
int fill_instance(hm_node* group, const DcbxView& v) {
  if (is_instance_of(group, kGroupPG)) {
    const int32_t n = instance_number(group);
    if (n < 0 || n >= kPriorities) return 1;
    int failed = set_prop_val(group, "PriorityMembership", "0x%02x", v.members(static_cast<uint32_t>(n)));
    failed |= set_prop_val(group, "Bandwidth", "%d", v.record.base.pg_bandwidth[n]);
    return failed;
  }
  const int32_t entry = apptlv_entry(group);
  if (entry < 0) return 1;
  const dcbx_app_tlv& e = v.record.base.app[entry];
  int failed = set_prop_val(group, kPropProtocolSelector, "%d", e.selector);
  failed |= set_prop_val(group, kPropProtocolID, "0x%02x", e.protocol_id);
  failed |= set_prop_val(group, kPropOUI, "0x%02x", e.oui);
  failed |= set_prop_val(group, kPropPriorityBitMap, "0x%02x", v.entry_bitmap(entry));
  return failed;
}

// Parses a bitmap text; false (with status 6 "Invalid Value.") for a negative number or trailing
// characters.
bool bitmap_of(const char* value, uint8_t* out) {
  uint32_t bits = 0;
  if (!parse_whole(value, UINT32_MAX, &bits)) {
    fail(kStatusInvalidValue, "%s", msg::kInvalidValueCapital);
    return false;
  }
  *out = static_cast<uint8_t>(bits & 0xFF);   // only the low byte counts
  return true;
}

// The edit of one field of the request: 0, or 1 (status 6 for a bad number, none for a property
// that has no field of the administrator record).
uint32_t edit_field(dcbx_cfg_params_v1& request, hm_node* prop, const char* value) {
  dcbx_cfg_params& r = request.base;
  hm_node* group = prop->parent;
  const char* name = prop->name;
  if (::strcasecmp(name, "DCBXState") == 0) {
    r.selector_or_state = ::strcasecmp(value, "Enabled") == 0 ? static_cast<uint8_t>(r.selector_or_state | 1) : 0;
    return kStatusOk;
  }
  struct FlagWord {
    const char* group;
    uint32_t* word;
  };
  const FlagWord words[] = {{kGroupAdministratorPFCSetting, &r.pfc_flags},
                            {kGroupAdministratorPGSetting, &r.pg_flags},
                            {kGroupAdministratorTLVSetting, &r.app_flags},
                            {kGroupAdministratorQCNSetting, &r.qcn_flags}};
  const struct {
    const char* property;
    uint32_t bit;
  } flags[] = {{"Enabled", kFlagEnabled}, {"Advertise", kFlagAdvertise}, {"Willing", kFlagWilling}};
  for (const FlagWord& w : words) {
    if (!group_named(group, w.group)) continue;
    for (const auto& f : flags) {
      if (::strcasecmp(name, f.property) != 0) continue;
      *w.word = ::strcasecmp(value, "Yes") == 0 ? (*w.word | f.bit) : (*w.word & ~f.bit);
      return kStatusOk;
    }
  }
  uint8_t bits = 0;
  if (::strcasecmp(name, kPropPriorityBitMap) == 0 && group_named(group, kGroupAdministratorPFCSetting)) {
    if (!bitmap_of(value, &bits)) return kStatusFailed;
    for (int k = 0; k < kPriorities; ++k) r.pfc_enable[k] = (bits >> k) & 1;
    return kStatusOk;
  }
  if (::strcasecmp(name, kPropPriorityBitMap) == 0 && is_instance_of(group, kGroupApplicationTLV)) {
    const int32_t entry = apptlv_entry(group);
    if (entry < 0 || !bitmap_of(value, &bits)) return kStatusFailed;
    for (int k = 0; k < kPriorities; ++k) r.app[entry].priority[k] = (bits >> k) & 1;
    return kStatusOk;
  }
  if (::strcasecmp(name, "PG15PriorityMemberShip") == 0 && group_named(group, kGroupAdministratorPGSetting)) {
    if (!bitmap_of(value, &bits)) return kStatusFailed;
    for (int k = 0; k < kPriorities; ++k) {
      if ((bits >> k) & 1) r.priority_pg[k] = (r.priority_pg[k] & ~0xFFu) | kPriorityGroup15;
    }
    return kStatusOk;
  }
  if (::strcasecmp(name, "CNPVBitMap") == 0 && group_named(group, kGroupAdministratorQCNSetting)) {
    if (!bitmap_of(value, &bits)) return kStatusFailed;
    request.cnpv_bitmap = bits;
    return kStatusOk;
  }
  return kStatusFailed;
}

// OperationalPGSettings/OperationalMode: "N/A" while a multichannel type is configured, while the
// PG feature is not operational, or when the operating parameters say so; else the PG bit 0.
uint32_t operational_pg_mode(const PortCommand& at, hm_node* group, const DcbxView& v) {
  uint32_t not_applicable = 0;
  VARU_get_operating_value(at, group, &not_applicable);
  hm_node* channels = internal_get_node(at.controller, controller::kGroupChannelManagement, kGroup);
  char type[kValueSize] = "";
  if (channels != nullptr && !configured_management_type(at.controller, type)) return kStatusFailed;
  const uint32_t pg = v.record.base.pg_flags;
  const char* mode = nullptr;
  if (channels == nullptr || ::strcasecmp(type, kTextNA) != 0 || (pg & kFlagNotOperational) != 0) {
    mode = kTextNA;
  } else if (not_applicable == 0) {
    mode = (pg & kFlagEnabled) != 0 ? "True" : "False";
  }
  return mode != nullptr && set_prop_val(group, "OperationalMode", "%s", mode) != 0 ? kStatusFailed : kStatusOk;
}

// The handlers' shape: a read refreshes the property's group and returns its cached value; a write
// changes the administrator record and caches the value.
uint32_t feature_handler(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op == kGet) {
    if (vm_flag != 0) return refuse_on_vf(buf);
    const uint32_t status = VARU_get_feature_vars(at, prop->parent);
    return status != kStatusOk ? status : return_cached(prop, buf);
  }
  if (op != kSet) return kStatusOk;
  const uint32_t status = VARU_set_feature_vars(at, prop, buf);
  return status != kStatusOk ? status : cache_text(prop, buf);
}

// The MIB into DCBXPortVars and DCBXStatistics of the port.
uint32_t get_port_vars(const PortCommand& at) {
  hm_node* dcbx = internal_get_node(at.port, kGroupDCBX, kGroup);
  hm_node* vars = internal_get_node(dcbx, kGroupDCBXPortVars, kGroup);
  hm_node* stats = internal_get_node(dcbx, kGroupDCBXStatistics, kGroup);
  if (vars == nullptr || stats == nullptr || at.generation == kStatusFailed) return kStatusFailed;   // generation unreadable
  const bool quenta = at.generation == kGenerationQuenta;
  uint8_t reply[kDcbxMibSize] = {};
  const uint32_t status = quenta ? ioctl_quenta_get_dcbx_mib_params(at.handle, reply, at.domain, at.port_number, at.path)
                                 : ioctl_get_dcbx_mib_params(at.handle, reply, at.domain, at.port_number, at.path);
  if (status != kStatusOk) {
    fail(kStatusDcbxMib, "%s", msg::kDcbxMibFailed);
    return status;
  }
  const DcbxMib m = dcbx_mib_of(reply, quenta ? kQuentaDcbxMibSize : kDcbxMibSize, quenta);
  const struct {
    hm_node* group;
    const char* property;
    uint32_t value;
  } values[] = {
      {vars, "OperatingVersion", m.operating_version},   {vars, "MaxVersion", m.max_version},
      {vars, "SequenceNumber", m.sequence},               {vars, "AckNumber", m.ack},
      {vars, "PeerSequenceNumber", m.peer_sequence},      {vars, "PeerAckNumber", m.peer_ack},
      {vars, "PFCFeatureSequenceNumber", m.pfc_sequence}, {vars, "PGFeatureSequenceNumber", m.pg_sequence},
      {vars, "AppFeatureSequenceNumber", m.app_sequence}, {stats, "TxPacketCount", m.tx_packets},
      {stats, "RxPacketCount", m.rx_packets},             {stats, "NumPacketsDropped", m.dropped},
  };
  int failed = 0;
  // Counters are unsigned: a count past 2^31 must not read negative.
  for (const auto& v : values) failed |= set_prop_val(v.group, v.property, "%u", v.value);
  return failed != 0 ? kStatusFailed : kStatusOk;
}

constexpr const char* kDcbxModes[] = {"CEE", "CIN", "Auto-CEE", "Auto-IEEE"};
constexpr uint32_t kDcbxModeSize = 4;
constexpr size_t kFwConfigSize = 156;
constexpr size_t kFunctionCapsOffset = 120;
constexpr uint32_t kCapsNoDcbx = 0x40;

}  // namespace

uint8_t dcbx_selector(const hm_node* group) {
  if (group == nullptr) return kDcbxOperational;
  const hm_node* setting = instance_info(group) != nullptr ? group->parent : group;
  const char* name = setting != nullptr && setting->name != nullptr ? setting->name : "";
  if (::strncasecmp(name, "Administrator", 13) == 0) return kDcbxAdministrator;
  if (::strncasecmp(name, "Peer", 4) == 0) return kDcbxPeer;
  return kDcbxOperational;
}

uint32_t read_dcbx_record(const PortCommand& at, uint8_t selector, bool v1, uint8_t* record) {
  std::memset(record, 0, v1 ? kDcbxV1Size : kDcbxSize);
  record[0] = selector;
  return v1 ? ioctl_get_dcbx_cfg_params_v1(at.handle, record, at.domain, at.port_number, at.path)
            : ioctl_get_dcbx_cfg_params(at.handle, record, at.domain, at.port_number, at.path);
}

uint32_t write_dcbx_record(const PortCommand& at, bool v1, uint8_t* request) {
  return v1 ? ioctl_set_dcbx_cfg_params_v1(at.handle, request, at.domain, at.port_number, at.path)
            : ioctl_set_dcbx_cfg_params(at.handle, request, at.domain, at.port_number, at.path);
}

uint32_t VARU_get_feature_vars(const PortCommand& at, hm_node* group) {
  const bool instance = is_instance_of(group, kGroupPG) || is_instance_of(group, kGroupApplicationTLV);
  const FeatureGroup* g = instance ? nullptr : feature_group(group);
  if (!instance && g == nullptr) return kStatusFailed;
  const bool v1 = g != nullptr && g->v1;
  uint8_t record[kDcbxV1Size];
  const uint32_t status = read_dcbx_record(at, dcbx_selector(group), v1, record);
  if (status != kStatusOk) {
    pdebug(kBackEnd, 3, "%s:Failed to get DCBX CFG params, status = %d\n", __func__, static_cast<int>(status));
    fail(kStatusDcbxRead, "%s", msg::kDcbxReadFailed);
    return status;
  }
  const DcbxView view = dcbx_view_of(record, v1 ? kDcbxV1Size : kDcbxSize);
  if (instance) return fill_instance(group, view) != 0 ? kStatusFailed : kStatusOk;
  int failed = 0;
  for (size_t i = 0; i < g->count; ++i) {
    char text[kValueSize];
    field_text(view, g->fields[i], text);
    failed |= set_prop_val(group, g->fields[i].property, "%s", text);
  }
  if (failed != 0) return kStatusFailed;
  return group_named(group, kGroupOperationalPGSettings) ? operational_pg_mode(at, group, view) : kStatusOk;
}

uint32_t VARU_set_feature_vars(const PortCommand& at, hm_node* prop, const char* value) {
  if (prop == nullptr || value == nullptr || prop->parent == nullptr) return kStatusFailed;
  const bool v1 = group_named(prop->parent, kGroupAdministratorQCNSetting);
  const size_t size = v1 ? kDcbxV1Size : kDcbxSize;
  // The value is checked before anything is sent.
  dcbx_cfg_params_v1 probe{};
  if (edit_field(probe, prop, value) != kStatusOk) return kStatusFailed;
  uint8_t reply[kDcbxV1Size];
  uint32_t status = read_dcbx_record(at, kDcbxAdministrator, v1, reply);
  if (status != kStatusOk) {
    fail(kStatusDcbxRead, "%s", msg::kDcbxReadFailed);
    return status;
  }
  dcbx_cfg_params_v1 request{};
  dcbx_carry_over(reply, size, reinterpret_cast<uint8_t*>(&request));
  if (edit_field(request, prop, value) != kStatusOk) return kStatusFailed;
  status = write_dcbx_record(at, v1, reinterpret_cast<uint8_t*>(&request));
  if (status != kStatusOk) {
    fail(kStatusDcbxWrite, "%s", msg::kDcbxWriteFailed);
    return status;
  }
  return kStatusOk;
}

uint32_t VARU_get_operating_value(const PortCommand& at, hm_node* group, uint32_t* flag) {
  uint8_t reply[kOperatingParamsSize] = {};
  reply[0] = 1;
  reply[4] = at.port_number & 0x3F;
  if (ioctl_get_opg_params(at.handle, reply, kOperatingParamsSize, at.domain, at.port_number, at.path) != kStatusOk) {
    return kStatusFailed;
  }
  if (!operating_mode_not_applicable(reply, sizeof reply)) return kStatusOk;
  set_prop_val(group, "OperationalMode", "%s", kTextNA);
  *flag = 1;
  return kStatusOk;
}

// ---- handlers ----------------------------------------------------------------------------------------

uint32_t handle_pfc_feature_vars(hm_node* prop, char* buf, uint32_t op) { return feature_handler(prop, buf, op); }
uint32_t handle_pg_feature_vars(hm_node* prop, char* buf, uint32_t op) { return feature_handler(prop, buf, op); }
uint32_t handle_app_feature_vars(hm_node* prop, char* buf, uint32_t op) { return feature_handler(prop, buf, op); }
uint32_t handle_bwg_props(hm_node* prop, char* buf, uint32_t op) { return feature_handler(prop, buf, op); }

uint32_t handle_pg15_membership(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (op == kGet && vm_flag == 0 && port_command(prop, &at) && at.generation != kGenerationOrvelle) {
    cache_text(prop, kTextNA);
    return return_cached(prop, buf);
  }
  return feature_handler(prop, buf, op);
}

uint32_t handle_apptlv_feature_vars(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op == kSet && vm_flag != 0) return refuse_on_vf(nullptr);
  if (op != kGet) return feature_handler(prop, buf, op);
  // On a virtual function the read goes on; "N/A" stays only when it fails.
  if (vm_flag != 0) std::snprintf(buf, kValueSize, "%s", kTextNA);
  const uint32_t status = VARU_get_feature_vars(at, prop->parent);
  return status != kStatusOk ? status : return_cached(prop, buf);
}

uint32_t handle_DCBXState(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (op != kGet || vm_flag != 0 || !port_command(prop, &at) || at.generation == kGenerationQuenta) {
    return feature_handler(prop, buf, op);
  }
  uint8_t config[kFwConfigSize] = {};
  ioctl_get_fw_config(at.handle, config, at.domain, at.port_number, at.path);   // its status is not looked at
  uint32_t caps = 0;
  std::memcpy(&caps, config + kFunctionCapsOffset, sizeof caps);
  if ((caps & kCapsNoDcbx) == 0) return feature_handler(prop, buf, op);
  cache_text(prop, kTextNA);
  return return_cached(prop, buf);
}

uint32_t handle_DCBXMode(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op == kGet) {
    if (vm_flag != 0) return refuse_on_vf(buf);
    uint32_t mode = 0;
    const uint32_t status = ioctl_get_dcbx_mode(at.handle, &mode, at.domain, at.port_number, at.path);
    if (status != kStatusOk) {
      fail(kStatusDcbxModeRead, "%s", msg::kDcbxModeReadFailed);
      return status;
    }
    if (mode < std::size(kDcbxModes)) cache_text(prop, kDcbxModes[mode]);
    return return_cached(prop, buf);
  }
  if (op != kSet) return kStatusOk;
  char current[kValueSize] = "";
  if (handle_DCBXMode(prop, current, kGet) != kStatusOk) return kStatusFailed;
  if (::strcasecmp(current, buf) == 0) return kStatusOk;
  // The set request tells CIN from CEE only: an automatic mode cannot be asked for.
  const bool cin = ::strcasecmp(buf, "CIN") == 0;
  if (!cin && ::strcasecmp(buf, "CEE") != 0) return refuse(kStatusNotOnThisAdapter, msg::kNotSupportedOnAdapter);
  uint8_t request[kDcbxModeSize] = {};
  request[1] = cin ? 1 : 0;
  const uint32_t status = ioctl_set_dcbx_mode(at.handle, request, at.domain, at.port_number, at.path);
  if (status != kStatusOk) {
    fail(kStatusDcbxModeWrite, "%s", msg::kDcbxModeWriteFailed);
    return status;
  }
  cache_text(prop, buf);
  fail(kStatusDcbxModeChanged, "%s", msg::kDcbxModeChanged);
  return kStatusOk;
}

uint32_t handle_dcbx_port_vars(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) return refuse_on_vf(buf);
  const uint32_t status = get_port_vars(at);
  return status != kStatusOk ? status : return_cached(prop, buf);
}

uint32_t handle_dcbx_stats_props(hm_node* prop, char* buf, uint32_t op) { return handle_dcbx_port_vars(prop, buf, op); }

uint32_t handle_update_qcn_props(hm_node* prop, char* buf, uint32_t op) {
  PortCommand at;
  if (prop == nullptr || buf == nullptr || !port_command(prop, &at)) return kStatusFailed;
  if (at.generation == kGeneration2 || at.generation == kGeneration3 || at.generation == kGenerationQuenta) {
    return refuse(kStatusQcnNotSupported, msg::kQcnNotSupported);
  }
  if (op == kSet) return vm_flag != 0 ? refuse_on_vf(nullptr) : feature_handler(prop, buf, op);
  if (op != kGet) return kStatusOk;
  if (vm_flag != 0) std::snprintf(buf, kValueSize, "%s", kTextNA);
  const uint32_t status = VARU_get_feature_vars(at, prop->parent);
  if (status == kStatusQcnNotOperational && group_named(prop->parent, kGroupOperationalQCNSettings)) {
    const int failed = set_prop_val(prop->parent, "OperationalMode", "%s", kTextNA);
    return_cached(prop, buf);
    return failed != 0 ? kStatusFailed : kStatusOk;
  }
  return status != kStatusOk ? status : return_cached(prop, buf);
}

}  // namespace vx
