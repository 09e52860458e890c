#include "iscsi/sessions.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "access/fw_commands.h"
#include "access/transport.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/lookups.h"
#include "iscsi/scsi.h"
#include "iscsi/targets.h"
#include "iscsi/tlv_editor.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr const char* kNotApplicable = "N/A";
constexpr int kSessionListAttempts = 3;

const char* true_false(bool on) { return on ? "True" : "False"; }

std::string isid_qualifier_text(const session_info& info) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x%02x", info.isid[4], info.isid[5]);
  return text;
}

std::string address_text(const address_record& a) {
  char text[kValueSize];
  ipaddr_to_string(a.address, text, sizeof text, a.type);
  return text;
}

hm_node* connection_with_handle(hm_node* session, uint32_t handle, bool* unrecorded) {
  for (hm_node* c = get_first_instance(session, kGroupConnection); c != nullptr; c = next_instance(c)) {
    const instance_backend_record* rec = record_of(c);
    if (rec == nullptr) {
      if (unrecorded != nullptr) *unrecorded = true;
      return nullptr;
    }
    if (rec->firmware_handle == handle) return c;
  }
  return nullptr;
}

}  // namespace

uint32_t fetch_session_config(const CommandAddress& at, uint32_t handle, session_config* out) {
  std::vector<uint8_t> query(kSessionConfigQuerySize, 0);
  std::memcpy(query.data(), &handle, sizeof handle);
  uint16_t size = 0;
  if (ioctl_get_sessionconfig_size(at.port, query.data(), &size, at.domain, at.phba_port) != 0 || size == 0) {
    pdebug(kBackEnd, 3, "%s:ioctl_get_sessionconfig_size failed\n", __func__);
    return refuse(kStatusInsufficientBuffer, msg::kInsufficientBuffer);
  }
  // Room for the whole record even when the firmware reports less; only what it sends is read.
  std::vector<uint8_t> buffer(size > sizeof(session_config) ? size : sizeof(session_config), 0);
  std::memcpy(buffer.data(), &handle, sizeof handle);
  if (ioctl_get_session_conf(at.port, buffer.data(), size, at.domain, at.phba_port) != 0) {
    return refuse(kStatusGetSessionConfigFailed, msg::kGetSessionConfigFailed);
  }
  std::memcpy(out, buffer.data(), sizeof *out);
  return kStatusOk;
}

namespace {

hm_node* first_recorded_session(hm_node* target) {
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    if (record_of(s) != nullptr) return s;
  }
  return nullptr;
}

}  // namespace

CommandAddress session_address(hm_node* session) {
  CommandAddress at = command_address(session);
  if (const instance_backend_record* rec = record_of(session)) at.port = static_cast<int32_t>(rec->port_handle);
  return at;
}

uint32_t clear_boot_session(hm_node* session, uint32_t generation, const CommandAddress& at) {
  const instance_backend_record* rec = record_of(session);
  session_info info{};
  if (rec == nullptr || !VARU_get_session_params(rec->firmware_handle, at, &info)) {
    pdebug(kBackEnd, 3, "%s:Failed to get the session info.\n", __func__);
    return kStatusFailed;
  }
  if (VARU_configure_boot_target(session, info.flags, "False", at) != 0) {
    pdebug(kBackEnd, 3, "%s:Failed to set iSCSIBoot property to False.\n", __func__);
    return kStatusFailed;
  }
  if (generation == kGenerationOrvelle && VARU_delete_boottarget_tlv(at, info) != 0) {
    return refuse(kStatusBootTlvDeleteFailed, msg::kBootTlvDeleteFailed);
  }
  return kStatusOk;
}

const char* session_state_text(uint32_t state) {
  if (state & kSessionOpen) return "Open";
  if (state & kSessionClosed) return "Closed";
  if (state & kSessionLoginInProgress) return "Login in Progress";
  if (state & kSessionLoginFailed) return "Login failed";
  if (state & kSessionLogoutFailed) return "Logout failed";
  if (state & (kSessionRecovery12 | kSessionRecovery6)) return "In Recovery";
  if (state & kSessionDeleted) return "Deleted";
  return "Unknown";
}

bool session_inactive(const std::string& status) {
  return equal_nocase(status, "Closed") || equal_nocase(status, "Login Failed");
}

login_options negotiated_of(const session_info& info) {
  login_options block{};
  std::memcpy(&block, info.session_options, kSessionOptionsSize);
  std::memcpy(reinterpret_cast<uint8_t*>(&block) + kSessionOptionsSize, info.connection.options,
              kConnectionOptionsSize);
  return block;
}

bool VARU_get_session_params(uint32_t handle, const CommandAddress& at, session_info* out) {
  session_info info{};
  info.session_handle = handle;
  if (ioctl_get_a_session(at.port, &info, sizeof info, at.domain, at.phba_port) != 0) return false;
  *out = info;
  return true;
}

uint32_t fetch_active_session_ids(const CommandAddress& at, std::vector<uint32_t>* ids) {
  ids->clear();
  std::vector<uint8_t> list;
  uint32_t fetched = kStatusInsufficientBuffer;
  // A session that another process (or the firmware itself) adds between the size query and the
  // fetch makes the answer too long for its buffer: the size is asked again.
  for (int attempt = 0; attempt < kSessionListAttempts && fetched == kStatusInsufficientBuffer; ++attempt) {
    uint8_t query[kSessionListQuerySize] = {};
    uint16_t size = 0;
    if (ioctl_get_activesessionidbuffersize(at.port, query, &size, at.domain, at.phba_port) != 0 ||
        size < kSessionListHeader) {
      pdebug(kBackEnd, 3, "session_buffer_size = 0\n");
      varu_set_last_status(kStatusInsufficientBuffer, msg::kInsufficientBuffer);
      return kStatusInsufficientBuffer;
    }
    list.assign(size, 0);
    const uint32_t request_flags = kSessionListRequestFlags;
    std::memcpy(list.data(), &request_flags, sizeof request_flags);
    fetched = ioctl_get_activesessionid(at.port, list.data(), size, at.domain, at.phba_port);
  }
  if (fetched != 0) return refuse(kStatusNoSessionIds, msg::kNoActiveSessionIds);
  uint32_t count = 0;
  std::memcpy(&count, list.data(), sizeof count);
  const uint32_t room = static_cast<uint32_t>((list.size() - kSessionListHeader) / sizeof(uint32_t));
  if (count > room) {
    pdebug(kBackEnd, 3, "%s:%u sessions reported, %u fit the answer\n", __func__, count, room);
    count = room;
  }
  ids->resize(count);
  if (count > 0) std::memcpy(ids->data(), list.data() + kSessionListHeader, count * sizeof(uint32_t));
  return kStatusOk;
}

namespace {

// Sessions a reader found ended that leave the tree once the public call ends (the reader's callers
// may hold them): their tag, where their list is read, and their firmware handle. Only the API
// lock's holder changes it.
struct EndedSession {
  int32_t tag;
  CommandAddress at;
  uint32_t handle;
};
std::vector<EndedSession>& ended_sessions() {
  static auto* ended = new std::vector<EndedSession>;   // never freed: a late call may still use it
  return *ended;
}

// Whether the function of `at` lists firmware session `handle` now; kUnknown (the list's status
// set) when the list cannot be read.
enum class Listed { kYes, kNo, kUnknown };
Listed listed_now(const CommandAddress& at, uint32_t handle) {
  std::vector<uint32_t> ids;
  if (fetch_active_session_ids(at, &ids) != kStatusOk) return Listed::kUnknown;
  return std::find(ids.begin(), ids.end(), handle) != ids.end() ? Listed::kYes : Listed::kNo;
}

// Deletes each one that is still in the tree under its tag with its handle, once its adapter's list
// confirms that it is gone.
void drop_ended_sessions() {
  std::vector<EndedSession> ended;
  ended.swap(ended_sessions());
  for (const EndedSession& e : ended) {
    hm_node* s = get_node(e.tag);
    const bool session =
        s != nullptr && s->kind == kGroup && s->name != nullptr && std::strcmp(s->name, kGroupSession) == 0;
    const instance_backend_record* rec = session ? record_of(s) : nullptr;
    if (rec != nullptr && rec->firmware_handle == e.handle && listed_now(e.at, e.handle) == Listed::kNo) {
      delete_with_records(s);
    }
  }
}

// `session` ended meanwhile and leaves the tree at the end of the public call.
void leaves_tree_at_call_end(hm_node* session) {
  const instance_backend_record* rec = record_of(session);
  if (rec == nullptr) return;
  ended_sessions().push_back({session->tag, session_address(session), rec->firmware_handle});
  run_at_call_end(drop_ended_sessions);
}

}  // namespace

SessionRead read_listed_session(const CommandAddress& at, uint32_t handle, session_info* info) {
  const KeptStatus before;
  if (VARU_get_session_params(handle, at, info)) return SessionRead::kRead;
  const Listed listed = listed_now(at, handle);
  if (listed == Listed::kUnknown) return SessionRead::kUnread;
  if (listed == Listed::kNo) {
    pdebug(kBackEnd, 5, "%s:session %u is no longer listed\n", __func__, handle);
    before.put_back();
    return SessionRead::kGone;
  }
  pdebug(kBackEnd, 3, "%s:session %u is listed but cannot be read\n", __func__, handle);
  varu_set_last_status(kStatusGetSessionFailed, msg::kGetSessionFailed);
  return SessionRead::kUnread;
}

SessionRead read_mirrored_session(hm_node* session, session_info* info, GoneSession gone) {
  const instance_backend_record* rec = record_of(session);
  if (rec == nullptr) {
    varu_set_last_status(kStatusSessionWithoutRecord, "");
    return SessionRead::kUnread;
  }
  const SessionRead read = read_listed_session(session_address(session), rec->firmware_handle, info);
  if (read == SessionRead::kGone) {
    if (gone == GoneSession::kLeavesTreeNow) {
      delete_with_records(session);
    } else {
      leaves_tree_at_call_end(session);
    }
  }
  return read;
}

uint32_t get_all_sessions(hm_node* lhba, const CommandAddress& at, hm_node* target, char params[6][256]) {
  std::vector<uint32_t> ids;
  const uint32_t listed = fetch_active_session_ids(at, &ids);
  if (listed != 0) return listed;
  const uint32_t count = static_cast<uint32_t>(ids.size());
  if (count == 0) {
    if (target != nullptr) purge_nodes_within(target, kGroupSession);
    return kStatusOk;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t handle = ids[i];
    session_info info{};
    const SessionRead read = read_listed_session(at, handle, &info);
    if (read == SessionRead::kGone) continue;   // logged out since the list
    if (read != SessionRead::kRead) return kStatusFailed;
    const std::string name = field_text(info.target_name, sizeof info.target_name);
    hm_node* owner = target;
    if (owner != nullptr) {
      std::string own_name;
      if (!read_property(owner, kPropTargetISCSIName, &own_name) || !equal_nocase(own_name, name)) continue;
    } else {
      owner = find_target(lhba, name.c_str());
      if (owner == nullptr) return refuse(kStatusTargetNotFound, msg::kTargetNotFound);
    }
    hm_node* login = internal_get_node(owner, kActionLogin, kAction);
    const session_connection_entry& entry = info.connection;
    const std::string address = address_text(entry.destination);
    const std::string port = std::to_string(entry.destination_port);
    const std::string initiator = field_text(info.initiator_name, sizeof info.initiator_name);
    std::memset(params, 0, 6 * kValueSize);
    std::snprintf(params[0], kValueSize, "%s", address.c_str());
    std::snprintf(params[1], kValueSize, "%s", port.c_str());
    std::snprintf(params[2], kValueSize, "%s", initiator.c_str());
    std::snprintf(params[3], kValueSize, "%s", isid_qualifier_text(info).c_str());
    hm_node* portal = find_target_portal(owner, address.c_str(), port.c_str());
    std::string tag;
    if (portal == nullptr || !read_property(portal, kPropPortalGroupTag, &tag)) return kStatusFailed;
    uint32_t found = 0;
    hm_node* mirrored = nullptr;
    hm_node* mirrored_connection = nullptr;
    if (VARU_check_for_duplicate_session(owner, at, params, &found, &mirrored, &mirrored_connection) != 0) {
      return kStatusFailed;
    }
    const login_options negotiated = negotiated_of(info);
    if (found != 0) {
      set_connection_login_options(
          internal_get_node(mirrored_connection, kGroupConnectionNegotiatedLoginOptions, kGroup), negotiated);
      continue;
    }
    if (info.state & kSessionOpen) setup_initiator_target_loginopts(owner, negotiated);
    hm_node* session =
        setup_session(owner, at.port, handle, &negotiated, BuilderArgs{owner, login, params}, tag.c_str());
    if (session == nullptr) return kStatusFailed;
    bool ok = set_cached(session, kPropSessioniSCSIBoot, true_false((info.flags & kSessionFlagBoot) != 0));
    if (at.domain == 0) {
      ok = set_cached(session, kPropSessionPersistent, true_false((info.flags & kSessionFlagNotPersistent) == 0)) && ok;
    }
    setup_initiator_target_loginopts(session, negotiated);
    if (get_eto_prop(at, owner) != 0) return kStatusFailed;
    hm_node* connection = setup_connection(session, entry.connection_handle, negotiated, BuilderArgs{});
    ok = ok && connection != nullptr && set_cached(session, kPropSessionISIDQualifier, isid_qualifier_text(info)) &&
         set_cached(session, kPropSessionInitiatorName, initiator) &&
         set_cached(connection, kPropConnectionDestinationIPAddress, address) &&
         set_cached(connection, kPropConnectionDestinationPortNumber, port) &&
         set_cached(session, kPropSessionStatus, session_state_text(info.state));
    if (!ok) return kStatusFailed;
  }
  return kStatusOk;
}

uint32_t VARU_check_for_duplicate_session(hm_node* target, const CommandAddress&, char params[6][256],
                                          uint32_t* found, hm_node** session, hm_node** connection) {
  *found = 0;
  uint64_t wanted_isid = 0;
  const bool isid_ok = parse_number(params[3], 16, 0xFFFF, &wanted_isid);
  hm_node* next = nullptr;
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next) {
    next = next_instance(s);
    if (record_of(s) == nullptr) return kStatusSessionWithoutRecord;
    session_info info{};
    const SessionRead read = read_mirrored_session(s, &info, GoneSession::kLeavesTreeNow);
    if (read == SessionRead::kGone) continue;   // ended since it was mirrored, and gone from the tree
    if (read != SessionRead::kRead) return kStatusFailed;
    bool unrecorded = false;
    hm_node* c = connection_with_handle(s, info.connection.connection_handle, &unrecorded);
    if (unrecorded) return kStatusFailed;
    if (c == nullptr) continue;
    uint64_t isid = 0;
    const bool same = address_text(info.connection.destination) == params[0] &&
                      std::to_string(info.connection.destination_port) == params[1] && isid_ok &&
                      parse_number(isid_qualifier_text(info), 16, 0xFFFF, &isid) && isid == wanted_isid &&
                      equal_nocase(field_text(info.initiator_name, sizeof info.initiator_name), params[2]);
    if (same) {
      *found = 1;
      *session = s;
      *connection = c;
      return kStatusOk;
    }
  }
  return kStatusOk;
}

uint32_t show_session_info(const CommandAddress& at, hm_node* session, const session_info& info) {
  uint32_t result = VARU_update_connection_props(info, session);
  char isid[16];
  std::snprintf(isid, sizeof isid, "%02x%02x%02x%02x%02x%02x", info.isid[0], info.isid[1], info.isid[2], info.isid[3],
                info.isid[4], info.isid[5]);
  bool ok = set_cached(session, kPropSessionTSIH, std::to_string(info.tsih)) &&
            set_cached(session, kPropSessionISIDQualifier, isid_qualifier_text(info)) &&
            set_cached(session, kPropSessionISID, isid) &&
            set_cached(session, kPropSessionStatus, session_state_text(info.state)) &&
            set_cached(session, kPropSessionInitiatorName, field_text(info.initiator_name, sizeof info.initiator_name));
  if (at.domain == 0) {
    ok = set_cached(session, kPropSessionPersistent, true_false((info.flags & kSessionFlagNotPersistent) == 0)) && ok;
  }
  return result | (ok ? kStatusOk : kStatusFailed);
}

uint32_t get_session_attribs(const CommandAddress& at, hm_node* session) {
  const instance_backend_record* rec = record_of(session);
  if (rec == nullptr) return kStatusFailed;
  session_info info{};
  if (!VARU_get_session_params(rec->firmware_handle, at, &info)) {
    pdebug(kBackEnd, 3, "%s:failed to get session %u\n", __func__, rec->firmware_handle);
    return refuse(kStatusGetSessionFailed, msg::kGetSessionFailed);
  }
  return show_session_info(at, session, info);
}

namespace {

uint32_t qualifier_of(const session_info& info) { return static_cast<uint32_t>(info.isid[4]) << 8 | info.isid[5]; }

bool names_target(const session_info& info, const std::string& name) {
  return equal_nocase(field_text(info.target_name, sizeof info.target_name), name);
}

void hold(const session_info& info, std::vector<HeldSession>* held) {
  held->push_back({field_text(info.initiator_name, sizeof info.initiator_name), qualifier_of(info)});
}

// The target's name is its own (no handler behind it): the cached text serves, uncopied.
bool has_name(hm_node* target, const std::string& name) {
  hm_property* p = property_data(internal_get_node(target, kPropTargetISCSIName, kProperty));
  return p != nullptr && ::strcasecmp(property_value(p), name.c_str()) == 0;
}

// What the mirror of a session says it holds: its qualifier and initiator name as last read.
bool mirrored_hold(hm_node* session, std::vector<HeldSession>* held) {
  uint64_t isid = 0;
  if (!parse_number(cached_value(session, kPropSessionISIDQualifier), 16, 0xFFFF, &isid)) return false;
  held->push_back({cached_value(session, kPropSessionInitiatorName), static_cast<uint32_t>(isid)});
  return true;
}

// The sessions of that name that the function of one logical HBA holds (see read_sessions_named).
uint32_t read_lhba_sessions_named(hm_node* lhba, const std::string& name, bool prune, std::vector<HeldSession>* held) {
  const CommandAddress at = command_address(lhba);
  std::vector<uint32_t> ids;
  const uint32_t listed = fetch_active_session_ids(at, &ids);
  if (listed != kStatusOk) return listed;
  std::sort(ids.begin(), ids.end());
  std::vector<uint32_t> mirrored;
  for (hm_node* t = get_first_instance(lhba, kGroupTarget); t != nullptr; t = next_instance(t)) {
    const bool named = has_name(t, name);
    hm_node* next = nullptr;
    for (hm_node* s = get_first_instance(t, kGroupSession); s != nullptr; s = next) {
      next = next_instance(s);
      const instance_backend_record* rec = record_of(s);
      if (rec == nullptr) continue;
      const uint32_t handle = rec->firmware_handle;
      mirrored.push_back(handle);
      if (!named) continue;   // another target's
      if (!std::binary_search(ids.begin(), ids.end(), handle)) {
        // The adapter no longer lists it: the session this instance stood for is gone.
        if (prune) delete_with_records(s);
        continue;
      }
      // Listed, it is in use whatever its record answers. Without a prune the mirror tells; with
      // one the record is read, and a handle the adapter now lists for another target's session
      // leaves the tree.
      if (!prune && mirrored_hold(s, held)) continue;
      session_info info{};
      const KeptStatus before;
      const GoneSession gone = prune ? GoneSession::kLeavesTreeNow : GoneSession::kLeavesTreeAtCallEnd;
      const SessionRead read = read_mirrored_session(s, &info, gone);
      if (read == SessionRead::kGone) continue;   // ended since the list: not in use (with a prune, gone from the tree)
      if (read == SessionRead::kUnread) {
        // Still listed: its mirror tells what it holds.
        if (!mirrored_hold(s, held)) return kStatusFailed;
        before.put_back();
        continue;
      }
      if (names_target(info, name)) {
        hold(info, held);
        if (prune) show_session_info(session_address(s), s, info);
      } else if (prune) {
        delete_with_records(s);
      }
    }
  }
  std::sort(mirrored.begin(), mirrored.end());
  for (uint32_t id : ids) {
    if (std::binary_search(mirrored.begin(), mirrored.end(), id)) continue;
    // Another process's, or one this process does not show: its record tells. One gone between the
    // list and its read is not in use; one still listed but unreadable holds a qualifier nobody
    // here knows, and the choice cannot be made.
    session_info info{};
    const SessionRead read = read_listed_session(at, id, &info);
    if (read == SessionRead::kUnread) return kStatusFailed;
    if (read == SessionRead::kRead && names_target(info, name)) hold(info, held);
  }
  return kStatusOk;
}

}  // namespace

uint32_t read_sessions_named(const char* target_name, bool prune, std::vector<HeldSession>* held) {
  const std::string name = target_name != nullptr ? target_name : "";
  // Every logical HBA: another process may have a target of that name where this one has none.
  for (hm_node* c = get_first_instance(get_node(0), "Vexalon"); c != nullptr; c = next_instance(c)) {
    for (hm_node* p = get_first_instance(c, kGroupiSCSIPhysicalHBA); p != nullptr; p = next_instance(p)) {
      for (hm_node* l = get_first_instance(p, kGroupLogicalHBA); l != nullptr; l = next_instance(l)) {
        const uint32_t result = read_lhba_sessions_named(l, name, prune, held);
        if (result != kStatusOk) return result;
      }
    }
  }
  return kStatusOk;
}

uint32_t VARU_update_connection_props(const session_info& info, hm_node* session) {
  if (info.connection_count == 0) return kStatusOk;
  const session_connection_entry& e = info.connection;
  hm_node* c = connection_with_handle(session, e.connection_handle, nullptr);
  if (c == nullptr) {
    pdebug(kBackEnd, 3, "%s:Invalid connection node.\n", __func__);
    return kStatusFailed;
  }
  const bool redirected = (e.flags & kConnectionRedirected) != 0;
  const bool ok =
      set_cached(c, kPropConnectioniSCSIConnectionID, std::to_string(e.cid)) &&
      set_cached(c, kPropConnectionStatus, (e.flags & kConnectionLoggedIn) ? "Logged-in" : "Connection closed") &&
      set_cached(c, kPropConnectionSourcePortNumber, std::to_string(e.source_port)) &&
      set_cached(c, kPropConnectionDestinationPortNumber, std::to_string(e.destination_port)) &&
      set_cached(c, kPropConnectionSourceIPAddress, address_text(e.source)) &&
      set_cached(c, kPropConnectionDestinationIPAddress, address_text(e.destination)) &&
      set_cached(c, kPropConnectionRedirectedDestinationPort,
                 redirected ? std::to_string(e.redirected_port) : kNotApplicable) &&
      set_cached(c, kPropConnectionRedirectedDestinationIPAddress,
                 redirected ? address_text(e.redirected) : kNotApplicable);
  if (!ok) {
    pdebug(kBackEnd, 3, "%s:Failed to set connection related properties.\n", __func__);
    return kStatusFailed;
  }
  return kStatusOk;
}

// ---- refresh and property handlers -----------------------------------------------------------------

uint32_t group_Session(hm_node* group) {
  if (record_of(group) == nullptr) return kStatusOk;
  return get_session_attribs(session_address(group), group) != 0 ? kStatusFailed : kStatusOk;
}

uint32_t group_LUN(hm_node* group) {
  hm_node* target = group != nullptr ? group->parent : nullptr;
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    if (get_session_attribs(session_address(s), s) == 0) return kStatusOk;
  }
  return kStatusFailed;
}

uint32_t handle_session_properties(hm_node* prop, char* buf, uint32_t op) {
  hm_node* session = owning_group(prop);
  const uint32_t result = get_session_attribs(session_address(session), session);
  if (result != 0) return result;
  if (op == kGet) return handle_internal_property(prop, buf, kGet);
  return kStatusOk;
}

uint32_t handle_connection_properties(hm_node* prop, char* buf, uint32_t op) {
  hm_node* connection = owning_group(prop);
  hm_node* session = connection != nullptr ? connection->parent : nullptr;
  const uint32_t result = get_session_attribs(session_address(session), session);
  if (result != 0) return result;
  if (op == kGet) return handle_internal_property(prop, buf, kGet);
  return kStatusOk;
}

uint32_t group_Target(hm_node* group) {
  const CommandAddress at = command_address(group);
  char params[6][256] = {};
  get_all_sessions(group->parent, at, group, params);
  hm_node* s = get_first_instance(group, kGroupSession);
  while (s != nullptr) {
    hm_node* next = next_instance(s);
    if (record_of(s) != nullptr && get_session_attribs(session_address(s), s) != 0) delete_with_records(s);
    s = next;
  }
  std::memset(params, 0, sizeof params);
  std::string changed;
  const uint32_t result =
      get_all_luns(group, BuilderArgs{group, internal_get_node(group, kActionReScanLUNS, kAction), params}, &changed);
  if ((result == 0 || result == kStatusScsiFailed) && changed == "1") scan_from_os();
  return kStatusOk;
}

uint32_t do_ReScanLUNS(hm_node* target, hm_node* action, char params[6][256]) {
  scan_from_os();
  std::string changed;
  const uint32_t result = get_all_luns(target, BuilderArgs{target, action, params}, &changed);
  if (result == kStatusNoSession) {
    varu_set_last_status(kStatusNoSession, msg::kNoSessionToTarget);
    return kStatusOk;
  }
  if (result == kStatusScsiFailed) {
    varu_set_last_status(kStatusScsiFailed, msg::kLunInfoSomeSessions);
    return kStatusOk;
  }
  return result;
}

// ---- ETO ---------------------------------------------------------------------------------------------

namespace {

// After a failed read of `session`'s configuration: true when the adapter no longer lists it (it
// ended since it was mirrored), and its drop from the tree is queued for the end of the public call
// (its reader's callers may hold it). False, with the failed read's status, when it is still listed
// or the list cannot be read.
bool unlisted_and_dropped_at_call_end(hm_node* session) {
  const instance_backend_record* rec = record_of(session);
  const KeptStatus failed;
  if (rec == nullptr || listed_now(session_address(session), rec->firmware_handle) != Listed::kNo) {
    failed.put_back();
    return false;
  }
  pdebug(kBackEnd, 5, "%s:session %u is no longer listed\n", __func__, rec->firmware_handle);
  leaves_tree_at_call_end(session);
  return true;
}

// The target's ETO from its first session the adapter still lists (*none_listed set, 1, when no
// session is).
uint32_t read_eto(const CommandAddress& at, hm_node* target, bool* none_listed) {
  const KeptStatus before;
  if (none_listed != nullptr) *none_listed = false;
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    const instance_backend_record* rec = record_of(s);
    if (rec == nullptr) continue;
    session_config config{};
    const uint32_t result = fetch_session_config(at, rec->firmware_handle, &config);
    if (result == kStatusOk) {
      return set_cached(target, kPropETO, std::to_string(config.eto)) ? kStatusOk : kStatusFailed;
    }
    // One another process logged out since this one mirrored it is passed over.
    if (!unlisted_and_dropped_at_call_end(s)) return result;
    before.put_back();
  }
  if (none_listed != nullptr) *none_listed = true;
  return kStatusFailed;
}

}  // namespace

uint32_t get_eto_prop(const CommandAddress& at, hm_node* target) { return read_eto(at, target, nullptr); }

uint32_t set_eto_prop(const CommandAddress& at, hm_node* target, const char* eto, uint32_t session_handle) {
  session_config config{};
  const uint32_t result = fetch_session_config(at, session_handle, &config);
  if (result != 0) return result;
  uint64_t value = 0;
  if (eto == nullptr || !parse_number(eto, 0, UINT32_MAX, &value)) return refuse(kStatusInvalidValue, msg::kInvalidValue);
  session_config_set request{};
  request.session_handle = config.session_handle;
  request.one = 1;
  request.eto = static_cast<uint32_t>(value);
  request.byte8 = config.byte8;
  request.word12 = config.word12;
  std::memcpy(request.block240, config.block240, sizeof request.block240);
  request.word272 = config.word272;
  if (ioctl_set_session_conf(at.port, &request, at.domain, at.phba_port) != 0) {
    return refuse(kStatusSetSessionConfigFailed, msg::kSetSessionConfigFailed);
  }
  return get_eto_prop(at, target);
}

uint32_t handle_Target_ETO(hm_node* prop, char* buf, uint32_t op) {
  hm_node* target = owning_group(prop);
  if (op == kSet) {
    const KeptStatus before;
    for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
      const instance_backend_record* rec = record_of(s);
      if (rec == nullptr) continue;
      const uint32_t result = set_eto_prop(session_address(s), target, buf, rec->firmware_handle);
      if (result == kStatusOk) continue;
      if (!unlisted_and_dropped_at_call_end(s)) {
        pdebug(kBackEnd, 3, " set_eto_prop failed\n");
        return result;
      }
      before.put_back();
    }
    // Cached only once every session's firmware took it.
    return handle_internal_property(prop, buf, kSet);
  }
  if (hm_node* s = first_recorded_session(target)) {
    bool none_listed = false;
    const uint32_t result = read_eto(session_address(s), target, &none_listed);
    // Every session ended meanwhile: the value stands as for a target without one.
    if (result != kStatusOk && !none_listed) return result;
  }
  return handle_internal_property(prop, buf, kGet);
}

uint32_t refresh_eto(hm_node* lhba, const CommandAddress& at) {
  for (hm_node* t = get_first_instance(lhba, kGroupTarget); t != nullptr; t = next_instance(t)) {
    if (get_first_instance(t, kGroupSession) != nullptr) continue;
    uint8_t attributes[kControllerAttributesSize] = {};
    if (ioctl_fetch_controller_attribs(at.port, attributes, at.domain, at.phba_port, kProtocolIscsi) != 0) {
      pdebug(kBackEnd, 3, "ioctl_fetch_controller_attribs for ETO failed\n");
      return kStatusFailed;
    }
    uint32_t eto = 0;
    std::memcpy(&eto, attributes + kDefaultEtoOffset, sizeof eto);
    if (!set_cached(t, kPropETO, std::to_string(eto))) return kStatusFailed;
  }
  return kStatusOk;
}

// ---- boot flag ----------------------------------------------------------------------------------------

uint32_t VARU_configure_boot_target(hm_node* session, uint32_t session_flags, const char* value,
                                    const CommandAddress& at) {
  std::string current;
  read_property(session, kPropSessioniSCSIBoot, &current);
  if (value == nullptr || equal_nocase(current, value)) {
    pdebug(kBackEnd, 6, "%s:Given value is already configured.\n", __func__);
    return kStatusOk;
  }
  const instance_backend_record* rec = record_of(session);
  if (rec == nullptr) {
    pdebug(kBackEnd, 3, "%s:Failed: Invalid session handle.\n", __func__);
    return kStatusFailed;
  }
  boot_target_request request{};
  request.session_handle = rec->firmware_handle;
  request.flags = equal_nocase(value, "True") ? (session_flags | kSessionFlagBoot) : (session_flags & ~kSessionFlagBoot);
  return ioctl_set_boot_target_params(at.port, &request, at.domain, at.phba_port) != 0 ? kStatusFailed : kStatusOk;
}

uint32_t handle_boot_session(hm_node* prop, char* buf, uint32_t op) {
  hm_node* session = owning_group(prop);
  hm_property* data = property_data(prop);
  if (data == nullptr || buf == nullptr) return kStatusFailed;
  if (op == kSet && equal_nocase(property_value(data), buf)) return kStatusOk;
  hm_node* target = session->parent;
  if (target == nullptr || target->tag == 0) {
    pdebug(kBackEnd, 3, "%s: Failed to get target node\n", __func__);
    return kStatusFailed;
  }
  hm_node* controller = controller_of(session);
  if (controller == nullptr) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) {
    pdebug(kBackEnd, 3, "%s: Failed to get vx_type\n", __func__);
    return kStatusFailed;
  }
  const instance_backend_record* rec = record_of(session);
  const CommandAddress at = session_address(session);
  session_info info{};
  if (rec == nullptr || !VARU_get_session_params(rec->firmware_handle, at, &info)) {
    pdebug(kBackEnd, 3, "%s: could not get session info\n", __func__);
    return kStatusFailed;
  }
  if (op == kGet) {
    set_cached(session, kPropSessioniSCSIBoot, true_false((info.flags & kSessionFlagBoot) != 0));
    return handle_internal_property(prop, buf, kGet);
  }
  if (VARU_configure_boot_target(session, info.flags, buf, at) != 0) {
    return refuse(kStatusSetBootTargetFailed, msg::kSetBootTargetFailed);
  }
  if (generation == kGenerationOrvelle) {
    if (equal_nocase(buf, "True") && VARU_add_boottarget_tlv(at, session) != 0) {
      return refuse(kStatusBootTlvAddFailed, msg::kBootTlvAddFailed);
    }
    if (equal_nocase(buf, "False") && VARU_delete_boottarget_tlv(at, info) != 0) {
      return refuse(kStatusBootTlvDeleteFailed, msg::kBootTlvDeleteFailed);
    }
  }
  return handle_internal_property(prop, buf, kSet);
}

uint32_t VARU_cleanup_sessions(hm_node* target, hm_node* session, const CommandAddress&) {
  if (target == nullptr || session == nullptr) return kStatusFailed;
  const uint32_t result = delete_with_records(session);
  if (result != 0) return result;
  char params[6][256] = {};
  std::string changed;
  return get_all_luns(target, BuilderArgs{target, internal_get_node(target, kActionReScanLUNS, kAction), params},
                      &changed);
}

uint32_t VARU_check_session_status(hm_node* target, const char* target_name, int32_t port, uint32_t* active,
                                   hm_node* node, hm_node* portal, uint32_t mode) {
  hm_node* controller = controller_of(node);
  const uint32_t generation = controller != nullptr ? get_vx_type(controller) : kStatusFailed;
  if (generation == kStatusFailed || active == nullptr) {
    pdebug(kBackEnd, 3, "%s: Failed to get vx_type\n", __func__);
    return kStatusFailed;
  }
  CommandAddress at = command_address(node);
  at.port = port;
  std::string portal_address;
  std::string portal_port;
  if (mode == 1 && (!read_property(portal, kPropTargetIPAddress, &portal_address) ||
                    !read_property(portal, kPropTargetPortNumber, &portal_port))) {
    return kStatusFailed;
  }
  // Every closed session's qualifier is held before the first of them changes (see IsidChoice), and
  // stays held until the check ends: a hold that is refused leaves every session as it was.
  struct Closed {
    hm_node* session;
    bool boot;
    uint32_t isid;
    std::string initiator;
    std::string address;
    std::string port;
  };
  std::vector<Closed> closed;
  IsidChoice choice;
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    hm_node* c = get_first_instance(s, kGroupConnection);
    std::string status;
    std::string address;
    std::string number;
    if (c == nullptr || !read_property(s, kPropSessionStatus, &status) ||
        !read_property(c, kPropConnectionDestinationIPAddress, &address) ||
        !read_property(c, kPropConnectionDestinationPortNumber, &number)) {
      return kStatusFailed;
    }
    if (mode == 1 && !(equal_nocase(address, portal_address) && equal_nocase(number, portal_port))) continue;
    if (!session_inactive(status)) {
      *active = 1;
      continue;
    }
    std::string boot;
    std::string isid_text;
    std::string initiator;
    uint64_t isid = 0;
    const bool is_boot = read_property(s, kPropSessioniSCSIBoot, &boot) && equal_nocase(boot, "True");
    if (!read_property(s, kPropSessionISIDQualifier, &isid_text) || !parse_number(isid_text, 16, 0xFFFF, &isid) ||
        !read_property(s, kPropSessionInitiatorName, &initiator) ||
        choice.hold(target_name, initiator.c_str(), static_cast<uint32_t>(isid)) != kStatusOk) {
      return kStatusFailed;
    }
    closed.push_back({s, is_boot, static_cast<uint32_t>(isid), initiator, address, number});
  }
  for (const Closed& s : closed) {
    if (s.boot) {
      const uint32_t result = clear_boot_session(s.session, generation, session_address(s.session));
      if (result != 0) return result;
    }
    // A registration the firmware keeps must not outlive its target unseen: its failure stands.
    const uint32_t withdrawn = delete_persistent(port, get_domain_id(target), at.phba_port, target, target_name,
                                                 s.address.c_str(), s.port.c_str(), s.isid, s.initiator.c_str(), 0);
    if (withdrawn != 0) return withdrawn;
    // The firmware drops a withdrawn session that is not logged in; so does the mirror, else the
    // next check could no longer read it.
    delete_with_records(s.session);
  }
  return kStatusOk;
}

}  // namespace vx
