#include "iscsi/lookups.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"
#include "schema/session.h"
#include "schema/target.h"

namespace vx {
namespace {

const char* yes_no(bool on) { return on ? "Yes" : "No"; }
const char* digest_text(uint8_t d) { return d == 1 ? "CRC32C" : "None"; }

// The method of a CHAP byte and mutual word; NULL leaves the method as it is.
const char* method_text(uint32_t chap, uint32_t mutual) {
  const uint8_t on = static_cast<uint8_t>(chap & 0xFF);
  if (on == 0) return "None";
  if (on == 1 && mutual == 0) return "One-Way CHAP";
  if (on == 1 && mutual == 1) return "Mutual CHAP";
  return nullptr;
}

// Writes a number or text property; a property the group does not have is no failure, since the
// negotiated groups show only some of the values.
uint32_t put(hm_node* group, const char* name, const std::string& value) {
  if (internal_get_node(group, name, kProperty) == nullptr) return kStatusOk;
  return set_cached(group, name, value) ? kStatusOk : kStatusFailed;
}
uint32_t put(hm_node* group, const char* name, uint32_t value) { return put(group, name, std::to_string(value)); }

bool property_is(hm_node* group, const char* name, const std::string& want, bool ignore_case) {
  std::string value;
  if (!read_property(group, name, &value)) return false;
  return ignore_case ? equal_nocase(value, want) : value == want;
}

// By logical HBA: the folded names of its targets -> their tags.
struct TargetIndex {
  bool on = false;
  std::unordered_map<hm_node*, std::unordered_map<std::string, int32_t>> by_lhba;
};

TargetIndex& target_index() {
  static TargetIndex index;
  return index;
}

std::string folded(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

}  // namespace

std::string field_text(const char* field, size_t size) { return std::string(field, ::strnlen(field, size)); }

std::string secret_text(const uint8_t* bytes, uint16_t length) {
  const size_t n = length < kChapSecretSize ? length : kChapSecretSize;
  bool printable = true;
  for (size_t i = 0; i < n; ++i) printable = printable && std::isprint(bytes[i]) != 0 && bytes[i] != ',';
  if (printable) return std::string(reinterpret_cast<const char*>(bytes), n);
  std::string hex = "0x";
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    hex += two;
  }
  return hex;
}

// ---- lookups ----------------------------------------------------------------------------------------

hm_node* find_target(hm_node* lhba, const char* name) {
  TargetIndex& index = target_index();
  lhba = resolve_link(lhba);
  if (name == nullptr || lhba == nullptr) return nullptr;
  if (!index.on) return get_matchnode_by_propvalue(lhba, kGroupTarget, kPropTargetISCSIName, name);
  auto [names, made] = index.by_lhba.try_emplace(lhba);
  for (hm_node* t = made ? get_first_instance(lhba, kGroupTarget) : nullptr; t != nullptr; t = next_instance(t)) {
    names->second.emplace(folded(cached_value(t, kPropTargetISCSIName)), t->tag);
  }
  auto hit = names->second.find(folded(name));
  if (hit == names->second.end()) return nullptr;
  // A target deleted since has left its tag behind, maybe to another node by now.
  hm_node* t = get_node(hit->second);
  if (t != nullptr && t->kind == kGroup && t->parent == lhba && std::strcmp(t->name, kGroupTarget) == 0 &&
      equal_nocase(cached_value(t, kPropTargetISCSIName), name)) {
    return t;
  }
  names->second.erase(hit);
  return nullptr;
}

void use_target_index(bool on) {
  target_index().on = on;
  target_index().by_lhba.clear();
}

uint32_t validate_target_portal(hm_node* target, int32_t* out_number, const char* ip, const char* port) {
  for (hm_node* p = get_first_instance(target, kGroupTargetPortal); p != nullptr; p = next_instance(p)) {
    if (!property_is(p, kPropTargetIPAddress, ip != nullptr ? ip : "", false)) continue;
    if (port != nullptr && port[0] != '\0' && !property_is(p, kPropTargetPortNumber, port, false)) continue;
    if (out_number != nullptr) *out_number = instance_number(p);
    return kStatusOk;
  }
  return kStatusFailed;
}

hm_node* find_target_portal(hm_node* target, const char* ip, const char* port) {
  for (hm_node* p = get_first_instance(target, kGroupTargetPortal); p != nullptr; p = next_instance(p)) {
    if (ip != nullptr && ip[0] != '\0' && !property_is(p, kPropTargetIPAddress, ip, false)) continue;
    if (port != nullptr && port[0] != '\0' && !property_is(p, kPropTargetPortNumber, port, false)) continue;
    return p;
  }
  return nullptr;
}

uint32_t check_for_stp_in_VARU(hm_node* discovery, const char* ip, const char* port) {
  for (hm_node* p = get_first_instance(discovery, kGroupSendTargetPortal); p != nullptr; p = next_instance(p)) {
    std::string address;
    std::string number;
    if (!read_property(p, kPropStpIPAddress, &address) || !read_property(p, kPropStpPortNumber, &number)) return 0;
    if (equal_nocase(address, ip != nullptr ? ip : "") && equal_nocase(number, port != nullptr ? port : "")) return 1;
  }
  return 0;
}

hm_node* find_session(hm_node* target, const char* ip, const char* port) {
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    hm_node* c = get_first_instance(s, kGroupConnection);
    if (c == nullptr) return nullptr;
    std::string address;
    std::string number;
    if (!read_property(c, kPropConnectionDestinationIPAddress, &address) ||
        !read_property(c, kPropConnectionDestinationPortNumber, &number)) {
      return nullptr;
    }
    if (equal_nocase(address, ip != nullptr ? ip : "") && equal_nocase(number, port != nullptr ? port : "")) return s;
  }
  return nullptr;
}

hm_node* get_matchnode_by_propvalue(hm_node* parent, const char* group_name, const char* property, const char* value) {
  for (hm_node* n = get_first_instance(parent, group_name); n != nullptr; n = next_instance(n)) {
    std::string text;
    if (!read_property(n, property, &text)) return nullptr;
    if (equal_nocase(text, value != nullptr ? value : "")) return n;
  }
  return nullptr;
}

hm_node* get_selected_group_node(hm_node* parent, const char* group_name, const char* number_text) {
  if (group_name == nullptr || number_text == nullptr) return nullptr;
  const std::string name = std::string(group_name) + number_text;
  return name.size() < kNameSize ? internal_get_node(parent, name.c_str(), kGroup) : nullptr;
}

uint32_t get_initiator_name(hm_node* node, char out[kValueSize], int32_t lhba_number) {
  char name[kNameSize];
  std::snprintf(name, sizeof name, "%s%d", kGroupLogicalHBA, lhba_number);
  hm_node* lhba = node != nullptr ? internal_get_node(node->parent, name, kGroup) : nullptr;
  hm_node* group = internal_get_node(lhba, kGroupInitiatoriSCSIName, kGroup);
  if (group == nullptr) return kStatusFailed;
  return read_property(group, kPropInitiatoriSCSIName, out) ? kStatusOk : kStatusFailed;
}

// ---- set-up -----------------------------------------------------------------------------------------

hm_node* setup_target(hm_node* lhba, const char* name, const BuilderArgs& args, uint32_t type) {
  const CommandAddress at = command_address(lhba);
  if (name == nullptr || find_target(lhba, name) != nullptr) return nullptr;
  hm_node* target = initialize_Target(lhba, args.origin, args.action, args.params);
  if (target == nullptr) {
    refuse(kStatusMaxTargets, msg::kMaxTargetsReached);
    return nullptr;
  }
  char value[kValueSize] = {};
  std::snprintf(value, sizeof value, "%s", name);
  internal_set_property(target, kPropTargetISCSIName, value);
  set_cached(target, kPropTargetType, type == 0 ? "Static" : "Discovered");

  uint8_t attributes[kControllerAttributesSize] = {};
  if (ioctl_fetch_controller_attribs(at.port, attributes, at.domain, at.phba_port, kProtocolIscsi) != 0) {
    pdebug(kBackEnd, 3, "ioctl_fetch_controller_attribs for ETO failed\n");
    delete_with_records(target);
    return nullptr;
  }
  uint32_t eto = 0;
  std::memcpy(&eto, attributes + kDefaultEtoOffset, sizeof eto);
  if (!set_cached(target, kPropETO, std::to_string(eto))) {
    pdebug(kBackEnd, 3, "set ETO failed\n");
    delete_with_records(target);
    return nullptr;
  }
  if (internal_get_node(target, kGroupTargetLoginOptions, kGroup) == nullptr ||
      internal_get_node(lhba, kGroupInitiatorLoginOptions, kGroup) == nullptr) {
    delete_with_records(target);
    return nullptr;
  }
  // An index not made yet for this logical HBA finds the new target with the others by its walk.
  auto names = target_index().by_lhba.find(resolve_link(lhba));
  if (names != target_index().by_lhba.end()) {
    names->second[folded(cached_value(target, kPropTargetISCSIName))] = target->tag;
  }
  return target;
}

hm_node* setup_portal(hm_node* target, const char* ip, const char* port, const char* portal_group_tag,
                      const BuilderArgs& args) {
  if (ip == nullptr || port == nullptr || portal_group_tag == nullptr) return nullptr;
  hm_node* portal = initialize_TargetPortal(target, args.origin, args.action, args.params);
  if (portal == nullptr) return nullptr;
  const char* values[3][2] = {
      {kPropTargetIPAddress, ip}, {kPropTargetPortNumber, port}, {kPropPortalGroupTag, portal_group_tag}};
  for (const auto& v : values) {
    char text[kValueSize] = {};
    std::snprintf(text, sizeof text, "%s", v[1]);
    if (internal_set_property(portal, v[0], text) != 0) {
      delete_with_records(portal);
      return nullptr;
    }
  }
  return portal;
}

hm_node* setup_session(hm_node* target, int32_t port_handle, uint32_t session_handle, const login_options* negotiated,
                       const BuilderArgs& args, const char* portal_group_tag) {
  hm_node* session = initialize_Session(target, args.origin, args.action, args.params);
  if (session == nullptr) return nullptr;
  uint64_t tag = 0;
  parse_number(portal_group_tag != nullptr ? portal_group_tag : "", 10, UINT32_MAX, &tag);
  instance_backend_record rec{static_cast<uint32_t>(port_handle), session_handle, {0, static_cast<uint32_t>(tag)}};
  bool ok = attach_record(session, rec);
  if (ok && negotiated != nullptr) {
    set_session_login_options(internal_get_node(session, kGroupSessionNegotiatedLoginOptions, kGroup), *negotiated);
  }
  ok = ok && internal_get_node(target, kGroupTargetLoginOptions, kGroup) != nullptr &&
       internal_get_node(session, kGroupSessionLoginOptions, kGroup) != nullptr;
  if (!ok) {
    delete_with_records(session);
    return nullptr;
  }
  return session;
}

hm_node* setup_connection(hm_node* session, uint32_t connection_handle, const login_options& negotiated,
                          const BuilderArgs& args) {
  if (session == nullptr) return nullptr;
  hm_node* connection = initialize_Connection(session, args.origin, args.action, args.params);
  if (connection == nullptr) return nullptr;
  if (!attach_record(connection, instance_backend_record{0, connection_handle, {0, 0}})) {
    delete_with_records(connection);
    return nullptr;
  }
  set_connection_login_options(internal_get_node(connection, kGroupConnectionNegotiatedLoginOptions, kGroup),
                               negotiated);
  return connection;
}

hm_node* VARU_get_boot_target(hm_node* lhba, const BuilderArgs& args, const session_info* info) {
  if (lhba == nullptr || info == nullptr) return nullptr;
  const std::string name = field_text(info->target_name, sizeof info->target_name);
  hm_node* target = setup_target(lhba, name.c_str(), args, 0);
  if (target == nullptr || info->connection_count == 0) return target;
  // The record has room for one connection entry.
  const session_connection_entry& entry = info->connection;
  char address[kValueSize];
  ipaddr_to_string(entry.destination.address, address, sizeof address, entry.destination.type);
  const std::string port = std::to_string(entry.destination_port);
  if (find_target_portal(target, address, port.c_str()) == nullptr &&
      setup_portal(target, address, port.c_str(), "0", BuilderArgs{}) == nullptr) {
    delete_with_records(target);
    return nullptr;
  }
  return target;
}

// ---- login-option groups ------------------------------------------------------------------------------

uint32_t set_session_login_options(hm_node* group, const login_options& v) {
  if (group == nullptr) return kStatusFailed;
  uint32_t result = put(group, kPropInitialR2T, yes_no((v.flags & 0x01) != 0));
  result |= put(group, kPropImmediateData, yes_no((v.flags & 0x02) != 0));
  std::string r2t;
  std::string immediate;
  result |= read_property(group, kPropInitialR2T, &r2t) ? 0u : 1u;
  result |= read_property(group, kPropImmediateData, &immediate) ? 0u : 1u;
  if (equal_nocase(immediate, "No") && equal_nocase(r2t, "Yes")) {
    result |= put(group, kPropFirstBurstLength, std::string("Irrelevant"));
  } else {
    result |= put(group, kPropFirstBurstLength, v.first_burst_length);
  }
  result |= put(group, kPropMaxConnections, v.max_connections);
  result |= put(group, kPropMaxBurstLength, v.max_burst_length);
  result |= put(group, kPropMaxOutstandingR2T, v.max_outstanding_r2t);
  result |= put(group, kPropDataPDUInOrder, yes_no((v.flags & 0x04) != 0));
  result |= put(group, kPropDataSequenceInOrder, yes_no((v.flags & 0x08) != 0));
  result |= put(group, kPropDefaultTime2Wait, v.default_time2wait);
  result |= put(group, kPropDefaultTime2Retain, v.default_time2retain);
  result |= put(group, kPropErrorRecoveryLevel, v.error_recovery_level);
  return result;
}

uint32_t set_connection_login_options(hm_node* group, const login_options& v) {
  if (group == nullptr) return kStatusFailed;
  uint32_t result = put(group, kPropHeaderDigest, std::string(digest_text(v.header_digest)));
  result |= put(group, kPropDataDigest, std::string(digest_text(v.data_digest)));
  // The negotiated MaxRecvDataSegmentLength is the largest segment this connection may send.
  result |= put(group, kPropConnectionMaxSendDataSegmentLength, v.max_recv_data_segment_length);
  result |= put(group, "TCPWindowSize", v.tcp_window_size);
  result |= put(group, kPropConnectionTCPMSS, v.tcp_mss);
  if (const char* method = method_text(v.chap, v.mutual)) {
    result |= put(group, kPropAuthenticationMethod, std::string(method));
  }
  return result;
}

uint32_t setup_initiator_target_loginopts(hm_node* node, const login_options& v) {
  const bool is_target = node != nullptr && node->name != nullptr && std::strcmp(node->name, kGroupTarget) == 0;
  hm_node* group = internal_get_node(node, is_target ? kGroupTargetLoginOptions : kGroupSessionLoginOptions, kGroup);
  if (group == nullptr) return kStatusFailed;
  put(group, kPropHeaderDigest, std::string(digest_text(v.header_digest)));
  uint32_t result = put(group, kPropDataDigest, std::string(digest_text(v.data_digest)));
  hm_node* auth = internal_get_node(group, kGroupAuthentication, kGroup);
  if (auth == nullptr) return kStatusFailed;
  if (const char* method = method_text(v.chap, v.mutual)) result |= put(auth, kPropAuthenticationMethod, std::string(method));
  result |= put(auth, kPropInitiatorCHAPName, field_text(v.initiator_chap_name, kChapNameSize));
  result |= put(auth, kPropInitiatorSecret, secret_text(v.initiator_secret, v.initiator_secret_length));
  result |= put(auth, kPropTargetCHAPName, field_text(v.target_chap_name, kChapNameSize));
  result |= put(auth, kPropTargetSecret, secret_text(v.target_secret, v.target_secret_length));
  return result != 0 ? kStatusFailed : kStatusOk;
}

uint32_t copy_login_options(hm_node* destination, hm_node* source, uint32_t mode) {
  constexpr uint32_t kModeChapOnly = 3;
  hm_node* to = internal_get_node(destination, kGroupAuthentication, kGroup);
  hm_node* from = internal_get_node(source, kGroupAuthentication, kGroup);
  if (mode > kModeChapOnly || to == nullptr || from == nullptr) return kStatusFailed;
  for (const char* name : {kPropAuthenticationMethod, kPropInitiatorCHAPName, kPropInitiatorSecret,
                           kPropTargetCHAPName, kPropTargetSecret}) {
    std::string value;
    read_property(from, name, &value);
    set_cached(to, name, value);
  }
  if (mode == kModeChapOnly) return kStatusOk;
  const bool cached_only = destination->name != nullptr && std::strcmp(destination->name, kGroupTargetLoginOptions) == 0;
  bool first = true;
  for (const char* name : {kPropInitialR2T, kPropImmediateData, kPropDataDigest, kPropHeaderDigest}) {
    char value[kValueSize];
    read_property(source, name, value);
    if (first || !cached_only) {
      internal_set_property(destination, name, value);
    } else {
      set_cached(destination, name, value);
    }
    first = false;
  }
  return kStatusOk;
}

uint32_t purge_nodes_within(hm_node* parent, const char* group_name) {
  hm_node* node = get_first_instance(parent, group_name);
  while (node != nullptr) {
    hm_node* next = next_instance(node);
    const uint32_t result = delete_with_records(node);
    if (result != kStatusOk) return result;
    node = next;
  }
  return kStatusOk;
}

}  // namespace vx
