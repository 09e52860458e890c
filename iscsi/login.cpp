#include "iscsi/login.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "access/discovery.h"
#include "access/fw_commands.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/login_block.h"
#include "iscsi/lookups.h"
#include "iscsi/saved_files.h"
#include "iscsi/scsi.h"
#include "iscsi/sessions.h"
#include "iscsi/targets.h"
#include "iscsi/tlv_editor.h"
#include "iscsi/validators.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr int kLogoutAttempts = 3;
constexpr uint16_t kNoSpecificWord = 0xFFFF;

// Every discovery login takes the next number as its ISID qualifier.
uint16_t discovery_login_counter = 0;

bool is_retry_status(uint32_t status) { return status == kStatusAuthenticationFailure || status == kStatusCrcMismatch; }

uint32_t retry_status_text(uint32_t status) {
  return fail(status, "%s", status == kStatusAuthenticationFailure ? msg::kFwAuthenticationFailure
                                                                   : msg::kCrcMismatchLogin);
}

void copy_bounded(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), text.size() < size - 1 ? text.size() : size - 1);
}

// What stays the same over the tries of one target login.
struct TargetTries {
  hm_node* target;
  CommandAddress at;
  std::string name;
  std::string address;
  std::string port;
  std::string boot;
  std::string initiator;
  bool withdraw_on_failure;   // CHAPParam "Discouraged" or "Preferred", or a session not reused
};

// Withdraws a failed try's registration with its records, under the login's claim of the qualifier;
// once both are gone the qualifier is free again for every process.
uint32_t withdraw(const TargetTries& t, uint32_t isid) {
  const uint32_t withdrawn = delete_persistent(t.at.port, get_domain_id(t.target), t.at.phba_port, t.target,
                                               t.name.c_str(), t.address.c_str(), t.port.c_str(), isid,
                                               t.initiator.c_str(), 0);
  if (withdrawn == kStatusOk) IsidChoice::release(t.name.c_str(), t.initiator.c_str(), isid);
  return withdrawn;
}

}  // namespace

bool chap_tries(const char* policy, TryList* out) {
  const std::string p = policy != nullptr ? policy : "";
  if (equal_nocase(p, "Preferred")) {
    *out = TryList{{1, 0}, 2};
  } else if (equal_nocase(p, "Discouraged")) {
    *out = TryList{{0, 1}, 2};
  } else if (equal_nocase(p, "Prohibited")) {
    *out = TryList{{0, 0}, 1};
  } else if (equal_nocase(p, "Required")) {
    *out = TryList{{1, 0}, 1};
  } else {
    return false;
  }
  return true;
}

TryList digest_tries(const char* policy) {
  return equal_nocase(policy != nullptr ? policy : "", "Preferred") ? TryList{{1, 0}, 2} : TryList{{0, 0}, 1};
}

uint32_t VARU_esx_login(hm_node* node, hm_node* options_group, login_target_request* request, char params[6][256],
                        const char* initiator_name, uint32_t session_found, uint32_t mode, uint32_t* used_isid,
                        bool* registered_here) {
  if (registered_here != nullptr) *registered_here = false;
  hm_node* owner = options_group != nullptr ? options_group->parent : nullptr;
  if ((mode != kTargetLogin && mode != kDiscoveryLogin) || owner == nullptr || request == nullptr) {
    return kStatusFailed;
  }
  CommandAddress at = command_address(node);
  at.port = get_port_number(owner->parent);
  const login_target_request as_given = *request;
  LoginOptionTexts o;
  TryList chap;
  if (!read_login_option_texts(options_group, &o) || !chap_tries(o.values[kOptChapParam].c_str(), &chap)) {
    return kStatusFailed;
  }
  const TryList header = digest_tries(o.values[kOptHeaderParam].c_str());
  const TryList data = digest_tries(o.values[kOptDataParam].c_str());

  TargetTries t{owner, at, "", "", "", "", initiator_name != nullptr ? initiator_name : "", session_found == 0};
  if (mode == kTargetLogin) {
    if (!read_property(owner, kPropTargetISCSIName, &t.name) || params == nullptr) return kStatusFailed;
    t.address = params[0];
    t.port = params[1];
    t.boot = params[4][0] != '\0' ? params[4] : "False";
    t.withdraw_on_failure = t.withdraw_on_failure || equal_nocase(o.values[kOptChapParam], "Discouraged") ||
                            equal_nocase(o.values[kOptChapParam], "Preferred");
  }
  uint32_t isid = as_given.isid_qualifier;
  bool registered = session_found != 0;
  // The first registration carries no time-out; one made again after a withdrawal carries the
  // target's ETO.
  uint32_t eto = 0;
  for (uint8_t c = 0; c < chap.count; ++c) {
    for (uint8_t h = 0; h < header.count; ++h) {
      for (uint8_t d = 0; d < data.count; ++d) {
        const bool last = c + 1 == chap.count && h + 1 == header.count && d + 1 == data.count;
        *request = as_given;
        request->options = *get_default_login_options();
        apply_chap(o, &request->options, chap.choices[c]);
        apply_header_digest(o, &request->options, header.choices[h]);
        apply_data_digest(o, &request->options, data.choices[d]);
        if (mode == kDiscoveryLogin) {
          request->flags |= kLoginFlagDiscovery;
          request->isid_qualifier = discovery_login_counter++;
          if (used_isid != nullptr) *used_isid = request->isid_qualifier;
          const uint32_t result = ioctl_login_target(at.port, request, at.domain, at.phba_port);
          if (result == kStatusOk) return kStatusOk;
          if (!is_retry_status(result)) return result;
          if (last) {
            retry_status_text(result);
            return kStatusFailed;
          }
          continue;
        }
        request->isid_qualifier = static_cast<uint16_t>(isid);
        // One registration per try: it logs in with this try's options and is withdrawn when the try fails.
        if (!registered) {
          const uint32_t made = make_session_persistent(owner, t.address.c_str(), t.port.c_str(), isid,
                                                        &request->options, t.boot.c_str(), t.initiator.c_str(), eto);
          if (made != kStatusOk) return made;
          registered = true;
          if (registered_here != nullptr) *registered_here = true;
        }
        if (used_isid != nullptr) *used_isid = isid;
        const uint32_t result = ioctl_login_target(at.port, request, at.domain, at.phba_port);
        pdebug(kBackEnd, 5, "%s:status of ioctl_login_target = %d\n", __func__, static_cast<int>(result));
        if (result == kStatusOk) return kStatusOk;
        if (result == kStatusHostUnreachable || result == kStatusNoSuchTargetHere) {
          pdebug(kBackEnd, 3, "%s:Login failed for invalid Target..\n", __func__);
        }
        const bool invalid_target = result == kStatusHostUnreachable || result == kStatusNoSuchTargetHere;
        if ((session_found == 0 || (!invalid_target && t.withdraw_on_failure)) && registered) {
          // A withdrawal refused leaves the registration with its record; its status says so.
          const uint32_t withdrawn = withdraw(t, isid);
          if (withdrawn != kStatusOk) return withdrawn;
          registered = false;
          if (registered_here != nullptr) *registered_here = false;
        }
        if (!is_retry_status(result)) return refuse(kStatusLoginCommandFailed, msg::kLoginCommandFailed);
        if (last) return retry_status_text(result);
        if (!registered) {
          isid = generate_isid_qualifier(t.name.c_str(), t.initiator.c_str());
          if (isid == kIsidNone) return kStatusFailed;
          std::string eto_text;
          uint64_t value = 0;
          if (!read_property(owner, kPropETO, &eto_text)) return kStatusFailed;
          eto = parse_number(eto_text, 10, UINT32_MAX, &value) ? static_cast<uint32_t>(value) : 0;
        }
      }
    }
  }
  return kStatusFailed;
}

uint32_t do_Login(hm_node* target, hm_node* action, char params[6][256]) {
  hm_node* lhba = target != nullptr ? target->parent : nullptr;
  if (lhba == nullptr || ancestor_named(lhba, kGroupLogicalHBA) != lhba) return kStatusFailed;
  hm_node* controller = controller_of(target);
  if (controller == nullptr) {
    pdebug(kBackEnd, 3, "%s: Failed to get %s node\n", __func__, "Vexalon");
    return kStatusFailed;
  }
  size_t sessions = 0;
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) ++sessions;
  if (sessions >= kMaxSessionsPerTarget) return refuse(kStatusMaxSessions, msg::kMaxSessions);
  hm_node* portal = get_first_instance(target, kGroupTargetPortal);   // the lowest-numbered one
  if (portal == nullptr) return refuse(kStatusPortalNotFound, msg::kPortalNotFound);
  if (params[0][0] != '\0' || params[1][0] != '\0') {
    int32_t number = -1;
    if (validate_target_portal(target, &number, params[0], params[1]) != 0) {
      return refuse(kStatusPortalNotFound, msg::kPortalNotFound);
    }
    portal = get_selected_group_node(target, kGroupTargetPortal, std::to_string(number).c_str());
  }
  std::string address;
  std::string port;
  std::string tag;
  if (!read_property(portal, kPropTargetIPAddress, &address) || !read_property(portal, kPropTargetPortNumber, &port) ||
      !read_property(portal, kPropPortalGroupTag, &tag)) {
    return kStatusFailed;
  }
  std::snprintf(params[0], kValueSize, "%s", address.c_str());
  std::snprintf(params[1], kValueSize, "%s", port.c_str());

  const CommandAddress at = command_address(target);
  hm_node* name_group = internal_get_node(lhba, kGroupInitiatoriSCSIName, kGroup);
  if (name_group == nullptr) return kStatusFailed;
  hm_node* existing = find_session(target, address.c_str(), port.c_str());
  if (params[2][0] == '\0') {
    std::string initiator;
    if (existing != nullptr) {
      // Its initiator name as the adapter has it now; a session that another process logged out
      // since this one mirrored it is gone, and the login goes on as without one.
      session_info info{};
      const SessionRead read = read_mirrored_session(existing, &info, GoneSession::kLeavesTreeNow);
      if (read == SessionRead::kUnread) return kStatusFailed;
      if (read == SessionRead::kGone) {
        existing = nullptr;
      } else {
        show_session_info(session_address(existing), existing, info);
        initiator = field_text(info.initiator_name, sizeof info.initiator_name);
      }
    }
    if (existing == nullptr && !read_property(name_group, kPropInitiatoriSCSIName, &initiator)) return kStatusFailed;
    std::snprintf(params[2], kValueSize, "%s", initiator.c_str());
  }
  const std::string existing_boot = existing != nullptr ? cached_value(existing, kPropSessioniSCSIBoot) : "";
  const std::string initiator = params[2];
  std::string alias;
  std::string name;
  if (!read_property(name_group, kPropInitiatorAlias, &alias) || !read_property(target, kPropTargetISCSIName, &name)) {
    return kStatusFailed;
  }
  login_target_request request{};
  copy_bounded(request.initiator_name, sizeof request.initiator_name, initiator);
  copy_bounded(request.initiator_alias, sizeof request.initiator_alias, alias);
  copy_bounded(request.target_name, sizeof request.target_name, name);

  // The session is recorded in the saved-target file once the adapter took its registration: a
  // lock of that file that cannot be used is told before anything is sent.
  if (check_saved_file_lock(kSaveTargetFile) != kStatusOk) return kStatusFailed;
  uint32_t found = 0;
  uint32_t isid = 0;
  hm_node* reused = nullptr;
  // The qualifier chosen stays claimed through the registration, the login and its retries: no
  // other process takes it meanwhile.
  IsidChoice choice;
  if (VARU_get_isid(target, params[3], name.c_str(), initiator.c_str(), address.c_str(), port.c_str(), &found, &isid,
                    &reused) != 0) {
    return kStatusFailed;
  }
  uint64_t port_number = 0;
  if (!parse_address(address, request.portal.address, &request.portal.type) ||
      !parse_number(port, 10, 0xFFFF, &port_number)) {
    return refuse(kStatusInvalidValue, msg::kInvalidValue);
  }
  request.isid_qualifier = static_cast<uint16_t>(isid);
  request.portal.size = kAddressRecordSize;
  request.tcp_port = static_cast<uint16_t>(port_number);
  request.flags |= kLoginFlagTarget;
  request.eto = kNoEto;
  request.word1398 = kNoSpecificWord;
  request.word1400 = kNoSpecificWord;

  hm_node* options = internal_get_node(target, kGroupTargetLoginOptions, kGroup);
  if (options == nullptr) return kStatusFailed;
  bool registered_here = false;
  const uint32_t logged_in =
      VARU_esx_login(action, options, &request, params, initiator.c_str(), found, kTargetLogin, &isid, &registered_here);
  if (logged_in != 0) {
    choice.end();
    // What the firmware holds after the failed tries (a registration that could not be withdrawn
    // keeps its session) is what the tree shows.
    char cleared[kParamCount][kValueSize] = {};
    get_all_sessions(lhba, at, target, cleared);
    return kStatusFailed;
  }
  login_reply reply;
  std::memcpy(&reply, &request, sizeof reply);
  if ((reply.state & kSessionLoginFailed) != 0) {
    pdebug(kBackEnd, 3, "%s:Session status open failed.\n", __func__);
    // Withdraw what this login registered, also when a reused session's registration was replaced.
    if (registered_here) {
      delete_persistent(at.port, get_domain_id(target), at.phba_port, target, name.c_str(), address.c_str(),
                        port.c_str(), isid, initiator.c_str(), 0);
    }
    return refuse(kStatusLoginCommandFailed, msg::kLoginCommandFailed);
  }
  // A reused session keeps its instance only while the firmware answers with its handle. Another
  // process may have logged it out (and withdrawn its registration) while this login was sent: the
  // firmware then opened a new session, which no registration stands behind yet.
  if (reused != nullptr && record_of(reused)->firmware_handle != reply.session_handle) {
    session_info gone{};
    if (read_mirrored_session(reused, &gone, GoneSession::kLeavesTreeNow) == SessionRead::kGone) reused = nullptr;
    if (!registered_here) {
      const uint32_t made = make_session_persistent(target, address.c_str(), port.c_str(), isid, nullptr,
                                                    params[4][0] != '\0' ? params[4] : "False", initiator.c_str(), 0);
      if (made != kStatusOk) {
        // No session of this login's making is left open unseen.
        logout_request logout{reply.session_handle};
        if (ioctl_logout_target(at.port, &logout, at.domain, at.phba_port) != kStatusOk) {
          pdebug(kBackEnd, 3, "%s:the session %u opened unregistered could not be logged out\n", __func__,
                 reply.session_handle);
        }
        char cleared[kParamCount][kValueSize] = {};
        const KeptStatus why;
        get_all_sessions(lhba, at, target, cleared);
        why.put_back();
        return kStatusFailed;
      }
    }
  }
  // The session is in the adapter's list: the qualifier's claim may end.
  choice.end();
  std::string eto;
  if (!read_property(target, kPropETO, &eto)) return kStatusFailed;

  hm_node* session = reused;
  if (session != nullptr && record_of(session)->firmware_handle != reply.session_handle) session = nullptr;
  if (session == nullptr) {
    session = setup_session(target, at.port, reply.session_handle, &reply.negotiated, BuilderArgs{target, action, params},
                            tag.c_str());
    if (session == nullptr) return kStatusFailed;
    if (setup_connection(session, reply.connection_handle, reply.negotiated, BuilderArgs{}) == nullptr) {
      delete_with_records(session);
      return kStatusFailed;
    }
  } else {
    set_session_login_options(internal_get_node(session, kGroupSessionNegotiatedLoginOptions, kGroup), reply.negotiated);
    set_connection_login_options(
        internal_get_node(get_first_instance(session, kGroupConnection), kGroupConnectionNegotiatedLoginOptions, kGroup),
        reply.negotiated);
  }
  // What this login used, shown at once rather than only once a later walk mirrors the session afresh.
  setup_initiator_target_loginopts(session, reply.negotiated);
  get_session_attribs(session_address(session), session);
  rescan_luns(target, msg::kLoginLunInfo);
  // The session is up: a time-out the firmware refuses is reported, the remaining steps still run.
  if (set_eto_prop(at, target, eto.c_str(), reply.session_handle) != 0) {
    varu_set_last_status(kStatusEtoFailed, msg::kLoginEtoFailed);
  }
  set_cached(session, kPropSessionPersistent, "True");
  if (get_vx_type(controller) == kGenerationOrvelle &&
      (equal_nocase(existing_boot, "True") || equal_nocase(params[4], "True"))) {
    const uint32_t result = VARU_add_boottarget_tlv(session_address(session), session);
    if (result != 0) {
      pdebug(kBackEnd, 3, "%s: Login succeeded but adding tlv to iSCSI region has failed with status = %d\n", __func__,
             static_cast<int>(result));
      return refuse(kStatusBootTlvAddFailed, msg::kBootTlvAddFailed);
    }
  }
  return kStatusOk;
}

uint32_t do_Logout(hm_node* target, hm_node*, char params[6][256]) {
  hm_node* session = nullptr;
  if (params[0][0] == '\0') {
    session = get_first_instance(target, kGroupSession);
    if (session == nullptr) return refuse(kStatusNoSessionToLogout, msg::kNoSessionToLogout);
    std::snprintf(params[0], kValueSize, "%d", instance_number(session));
  } else {
    session = get_selected_group_node(target, kGroupSession, params[0]);
    if (session == nullptr) return refuse(kStatusInvalidInstance, msg::kInvalidInstanceNumber);
  }
  hm_node* controller = controller_of(target);
  if (controller == nullptr) {
    pdebug(kBackEnd, 3, "%s: Failed to get %s node\n", __func__, "Vexalon");
    return kStatusFailed;
  }
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) {
    pdebug(kBackEnd, 3, "%s: Failed to get vx_type\n", __func__);
    return kStatusFailed;
  }
  std::string boot;
  std::string status;
  const instance_backend_record* rec = record_of(session);
  if (!read_property(session, kPropSessioniSCSIBoot, &boot) || !read_property(session, kPropSessionStatus, &status) ||
      rec == nullptr) {
    return kStatusFailed;
  }
  const CommandAddress at = session_address(session);
  const bool boot_session = equal_nocase(boot, "True");
  if (boot_session && equal_nocase(status, "Open")) {
    pdebug(kBackEnd, 5, "%s:Boot Target is configured.\n", __func__);
    return refuse(kStatusActiveBootSession, msg::kActiveBootSession);
  }
  std::string name;
  std::string persistent;
  std::string isid_text;
  std::string initiator;
  std::string address;
  std::string port;
  hm_node* connection = get_first_instance(session, kGroupConnection);
  if (!read_property(target, kPropTargetISCSIName, &name) || !read_property(session, kPropSessionPersistent, &persistent) ||
      !read_property(session, kPropSessionISIDQualifier, &isid_text) ||
      !read_property(session, kPropSessionInitiatorName, &initiator) || record_of(connection) == nullptr ||
      !read_property(connection, kPropConnectionDestinationIPAddress, &address) ||
      !read_property(connection, kPropConnectionDestinationPortNumber, &port)) {
    return kStatusFailed;
  }
  // A persistent session's qualifier is held before anything changes (its boot setting first), and
  // from its logout command, which takes it out of the adapter's list, until its withdrawal and
  // record removal are done: no other process's login takes it meanwhile, to register the same key
  // and lose that registration and its record to them. A qualifier that another process claims
  // (its login reuses this session, or it logs it out too) refuses the logout, nothing sent.
  const bool withdraws = equal_nocase(persistent, "True");
  uint64_t isid = 0;
  IsidChoice choice;
  if (withdraws && (!parse_number(isid_text, 16, 0xFFFF, &isid) ||
                    choice.hold(name.c_str(), initiator.c_str(), static_cast<uint32_t>(isid)) != kStatusOk)) {
    return kStatusFailed;
  }
  if (boot_session) {
    const uint32_t cleared = clear_boot_session(session, generation, at);
    if (cleared != 0) return cleared;
  }
  for (hm_node* lun = get_first_instance(target, kGroupLUN); lun != nullptr; lun = next_instance(lun)) {
    std::string vendor;
    std::string model;
    if (!read_property(lun, kPropDeviceVendorName, &vendor) || !read_property(lun, kPropDeviceModelNumber, &model)) continue;
    if (os_prepare_device_for_removal() != 0) {
      pdebug(kBackEnd, 3, "%s: could not safely remove device for vendor:%s model:%s\n", __func__, vendor.c_str(),
             model.c_str());
    }
  }
  logout_request request{rec->firmware_handle};
  uint32_t result = kStatusFailed;
  for (int attempt = 0; attempt < kLogoutAttempts && result != kStatusOk; ++attempt) {
    request.session_handle = rec->firmware_handle;
    result = ioctl_logout_target(at.port, &request, at.domain, at.phba_port);
  }
  if (result != kStatusOk) return result;
  const uint32_t deleted = delete_with_records(session);
  rescan_luns(target, msg::kLogoutLunInfo);
  if (deleted == kStatusOk && withdraws) {
    if (delete_persistent(at.port, get_domain_id(target), at.phba_port, target, name.c_str(), address.c_str(),
                          port.c_str(), static_cast<uint32_t>(isid), initiator.c_str(), 0) != 0) {
      pdebug(kBackEnd, 3, "%s:delete_persistent failed\n", __func__);
      return kStatusFailed;
    }
  }
  return deleted;
}

}  // namespace vx
