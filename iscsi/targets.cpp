#include "iscsi/targets.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "access/fw_commands.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/login_block.h"
#include "iscsi/lookups.h"
#include "iscsi/saved_files.h"
#include "iscsi/scsi.h"
#include "iscsi/sessions.h"
#include "iscsi/tlv_editor.h"
#include "iscsi/validators.h"
#include "platform/platform.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kMaxIsid = 0xFFFF;
constexpr size_t kTargetTypeMax = 34;
constexpr uint16_t kNoSpecificWord = 0xFFFF;

bool empty(const char* text) { return text == nullptr || text[0] == '\0'; }

// The choice's own file, beside the saved targets; the file store locks it through "isid_choice.lock".
constexpr const char* kIsidChoiceFile = "/scratch/Talvix/isid_choice";
constexpr const char* kIsidChoiceLock = "isid_choice.lock";

// This thread's choice: how deep it nests, and the sessions read of each target name (case folded).
struct ChoiceState {
  int depth = 0;
  std::map<std::string, std::vector<HeldSession>> held;
};
thread_local ChoiceState t_choice;

std::string folded(const char* text) {
  std::string out = text != nullptr ? text : "";
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The sessions of that target name that the adapters hold, read once in the caller's choice (again
// with `prune`, which also brings the tree's sessions of that name in line). NULL, with the status
// set, when the choice has no lock or the sessions cannot be read.
const std::vector<HeldSession>* held_sessions(const IsidChoice& choice, const char* target_name, bool prune) {
  if (!choice.held()) {
    pdebug(kBackEnd, 3, "%s:Failed to get file lock\n", __func__);
    saved_file_failed(msg::kSavedFileNotWritten, kIsidChoiceLock);
    return nullptr;
  }
  const std::string key = folded(target_name);
  auto read = t_choice.held.find(key);
  if (prune || read == t_choice.held.end()) {
    std::vector<HeldSession> held;
    if (read_sessions_named(target_name, prune, &held) != kStatusOk) return nullptr;
    read = t_choice.held.insert_or_assign(key, std::move(held)).first;
  }
  return &read->second;
}

// The qualifiers that sessions of that target name and initiator name hold on the adapters.
bool isids_in_use(const char* target_name, const char* initiator_name, std::set<uint32_t>* used) {
  IsidChoice choice;
  const std::vector<HeldSession>* held = held_sessions(choice, target_name, false);
  if (held == nullptr) return false;
  for (const HeldSession& s : *held) {
    if (equal_nocase(s.initiator, initiator_name != nullptr ? initiator_name : "")) used->insert(s.isid);
  }
  return true;
}

bool is_old_generation(uint32_t generation) { return generation == kGeneration2 || generation == kGeneration3; }

size_t count_instances(hm_node* parent, const char* group) {
  size_t n = 0;
  for (hm_node* i = get_first_instance(parent, group); i != nullptr; i = next_instance(i)) ++n;
  return n;
}

// Reads the initiator name of a logical HBA; false (logged) when it cannot be read.
bool initiator_name_of(hm_node* lhba, std::string* out) {
  hm_node* group = internal_get_node(lhba, kGroupInitiatoriSCSIName, kGroup);
  if (group == nullptr) {
    pdebug(kBackEnd, 3, "%s:Failed to get the initiator iscsi node.\n", __func__);
    return false;
  }
  if (!read_property(group, kPropInitiatoriSCSIName, out)) {
    pdebug(kBackEnd, 3, "%s:Failed to get InitiatoriSCSIName.\n", __func__);
    return false;
  }
  return true;
}

// The value of a parameter that would stand in a saved record: status 6 when it may not.
bool record_param_ok(const char* name, const char* value) {
  if (record_safe(value)) return true;
  fail(kStatusInvalidValue, msg::kParamInvalidValue, name);
  return false;
}

// An address the firmware records cannot carry ("010.0.0.5" passes the engine's check) is refused
// before anything is made: status 6.
bool address_param_ok(const char* value) {
  uint8_t bytes[16];
  uint8_t type = 0;
  if (parse_address(value, bytes, &type)) return true;
  fail(kStatusInvalidValue, msg::kParamInvalidValue, "IPAddress");
  return false;
}

// The session of a new portal: its ISID, the persistent registration that logs in, the mirror.
uint32_t register_portal(hm_node* lhba, hm_node* target, const std::string& name, const std::string& initiator,
                         const char* address, const char* port, const char* boot, char params[6][256]) {
  IsidChoice choice;
  const uint32_t isid = generate_isid_qualifier(name.c_str(), initiator.c_str());
  pdebug(kBackEnd, 5, "%s:isid = %d\n", __func__, static_cast<int>(isid));
  if (isid == kIsidNone) return kStatusFailed;
  const uint32_t result = make_session_persistent(target, address, port, isid, nullptr, boot, initiator.c_str(), 0);
  choice.end();
  // The session the adapter's login opened shows at once, with its LUNs, as a login's does; after a
  // failure, whatever session a withdrawn registration left behind.
  std::memset(params, 0, 6 * kValueSize);
  get_all_sessions(lhba, command_address(target), target, params);
  if (result != 0) return result;
  rescan_luns(target, msg::kLoginLunInfo);
  return kStatusOk;
}

}  // namespace

// ---- ISID -------------------------------------------------------------------------------------------

IsidChoice::IsidChoice() {
  lock_.emplace(host_path(kIsidChoiceFile));
  if (lock_->held()) ++t_choice.depth;
}

void IsidChoice::end() {
  if (!lock_.has_value()) return;
  if (lock_->held() && --t_choice.depth == 0) t_choice.held.clear();
  lock_.reset();
}

void IsidChoice::forget() { t_choice.held.clear(); }

uint32_t generate_isid_qualifier(const char* target_name, const char* initiator_name) {
  std::set<uint32_t> used;
  if (!isids_in_use(target_name, initiator_name, &used)) return kIsidNone;
  uint32_t isid = 0;
  while (isid < kIsidNone && used.count(isid) != 0) ++isid;
  if (isid == kIsidNone) refuse(kStatusIsidInUse, msg::kIsidInUse);
  return isid;
}

uint32_t check_for_isid_existence(uint32_t isid, const char* target_name, const char* initiator_name) {
  std::set<uint32_t> used;
  if (!isids_in_use(target_name, initiator_name, &used)) return 1;
  if (used.count(isid & kMaxIsid) == 0) return 0;
  refuse(kStatusIsidInUse, msg::kIsidInUse);
  return 1;
}

uint32_t VARU_get_isid(hm_node* target, const char* isid_text, const char* target_name, const char* initiator_name,
                       const char* address, const char* port, uint32_t* found, uint32_t* isid, hm_node** session) {
  if (target == nullptr || empty(target_name) || empty(initiator_name) || empty(address) || empty(port) ||
      found == nullptr || isid == nullptr || session == nullptr) {
    return kStatusFailed;
  }
  *found = 0;
  *session = nullptr;
  auto fresh = [&]() -> uint32_t {
    *isid = generate_isid_qualifier(target_name, initiator_name);
    return *isid == kIsidNone ? kStatusFailed : kStatusOk;
  };
  uint64_t wanted = 0;
  const bool given = !empty(isid_text);
  if (given && !parse_number(isid_text, 0, kMaxIsid, &wanted)) {
    return refuse(kStatusIsidOutOfRange, msg::kIsidOutOfRange);
  }
  // What this process shows of the target's sessions may be stale (another process logged in or
  // out): the adapters are read first, and a session they no longer report leaves the tree.
  IsidChoice choice;
  if (held_sessions(choice, target_name, true) == nullptr) return kStatusFailed;
  // A qualifier the caller gives is the one taken, also for a target without sessions.
  if (!given && get_first_instance(target, kGroupSession) == nullptr) {
    pdebug(kBackEnd, 6, "%s:There are no sessions. So generating ISID.\n", __func__);
    return fresh();
  }
  // A closed or failed session through the same portal (with the same ISID when one is given) is reused.
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    std::string status;
    std::string qualifier;
    uint64_t value = 0;
    hm_node* c = get_first_instance(s, kGroupConnection);
    if (!read_property(s, kPropSessionStatus, &status) || !session_inactive(status) || c == nullptr) continue;
    if (!equal_nocase(cached_value(c, kPropConnectionDestinationIPAddress), address) ||
        !equal_nocase(cached_value(c, kPropConnectionDestinationPortNumber), port)) {
      continue;
    }
    if (!read_property(s, kPropSessionISIDQualifier, &qualifier) || !parse_number(qualifier, 16, kMaxIsid, &value)) {
      continue;
    }
    if (given && value != wanted) continue;
    *isid = static_cast<uint32_t>(value);
    *found = 1;
    *session = s;
    return kStatusOk;
  }
  if (!given) return fresh();
  if (check_for_isid_existence(static_cast<uint32_t>(wanted), target_name, initiator_name) != 0) return kStatusFailed;
  *isid = static_cast<uint32_t>(wanted);
  return kStatusOk;
}

// ---- persistent targets --------------------------------------------------------------------------------

uint32_t VARU_update_target_params(login_target_request* request, hm_node* lhba, hm_node* target, uint32_t isid,
                                   const char* address, const char* port, const char* boot,
                                   const char* initiator_name, uint32_t eto) {
  if (request == nullptr || lhba == nullptr || target == nullptr || address == nullptr || port == nullptr ||
      boot == nullptr || initiator_name == nullptr) {
    return kStatusFailed;
  }
  std::string alias;
  std::string name;
  hm_node* name_group = internal_get_node(lhba, kGroupInitiatoriSCSIName, kGroup);
  if (!read_property(name_group, kPropInitiatorAlias, &alias) || !read_property(target, kPropTargetISCSIName, &name)) {
    return kStatusFailed;
  }
  uint64_t port_number = 0;
  if (!parse_address(address, request->portal.address, &request->portal.type) ||
      !parse_number(port, 10, 0xFFFF, &port_number)) {
    return refuse(kStatusInvalidValue, msg::kInvalidValue);
  }
  if (isid > kMaxIsid) return refuse(kStatusIsidOutOfRange, msg::kIsidOutOfRange);
  if (check_for_isid_existence(isid, name.c_str(), initiator_name) != 0) return kStatusFailed;
  std::snprintf(request->target_name, sizeof request->target_name, "%s", name.c_str());
  request->portal.size = kAddressRecordSize;
  request->tcp_port = static_cast<uint16_t>(port_number);
  request->flags = (kLoginFlagPersistent | (equal_nocase(boot, "True") ? kLoginFlagBoot : 0u)) & ~1u;
  request->eto = eto == 0 ? 0xFFFFFFFFu : eto;
  request->isid_qualifier = static_cast<uint16_t>(isid);
  std::snprintf(request->initiator_name, sizeof request->initiator_name, "%s", initiator_name);
  std::strncpy(request->initiator_alias, alias.c_str(), sizeof request->initiator_alias - 1);
  request->word1398 = kNoSpecificWord;
  request->word1400 = kNoSpecificWord;
  return kStatusOk;
}

uint32_t make_session_persistent(hm_node* target, const char* address, const char* port, uint32_t isid,
                                 const login_options* options, const char* boot, const char* initiator_name,
                                 uint32_t eto) {
  hm_node* target_options = internal_get_node(target, kGroupTargetLoginOptions, kGroup);
  if (empty(address) || empty(port) || boot == nullptr || empty(initiator_name) || target_options == nullptr) {
    return kStatusFailed;
  }
  hm_node* lhba = target->parent;
  // From the check of the qualifier to the registration that takes it (a login's choice holds it longer).
  IsidChoice choice;
  login_target_request request{};
  const uint32_t filled = VARU_update_target_params(&request, lhba, target, isid, address, port, boot, initiator_name, eto);
  if (filled != 0) return filled;
  if (options != nullptr) {
    request.options = *options;
  } else {
    request.options = *get_default_login_options();
    get_login_options(target_options, &request.options, 2);
  }
  const CommandAddress at = command_address(target);
  const uint32_t result = ioctl_add_persistent_target(at.port, &request, at.domain, at.phba_port);
  IsidChoice::forget();
  if (result == kStatusAuthenticationFailure) return refuse(result, msg::kFwAuthenticationFailure);
  if (result == kStatusCrcMismatch) return refuse(result, msg::kCrcMismatchLogin);
  if (result != 0) return result;
  // A registration stands only with its record: the next process would neither show nor withdraw
  // a session the adapter logs in to by itself.
  if (VARU_update_tgt_entry(lhba, target, address, port, isid) != kStatusOk) {
    delete_persistent(at.port, get_domain_id(target), at.phba_port, target, request.target_name, address, port, isid,
                      initiator_name, 1);
    return saved_file_failed(msg::kRegistrationWithdrawn, kSaveTargetFile);
  }
  return kStatusOk;
}

uint32_t delete_persistent(int32_t port, int32_t lhba_number, int32_t phba_port, hm_node* target,
                           const char* target_name, const char* address, const char* port_text, uint32_t isid,
                           const char* initiator_name, uint32_t mode) {
  if (target == nullptr || target_name == nullptr || address == nullptr || port_text == nullptr ||
      initiator_name == nullptr) {
    return kStatusFailed;
  }
  // The records go first, and come back when the firmware keeps the registration: the file and
  // the adapter never tell two stories.
  std::vector<std::string> removed;
  const std::vector<std::string> key =
      saved_record_key(target->parent, kTargetRecords, target_name, address, port_text, isid);
  if (mode != 1 && !remove_records(kSaveTargetFile, {key}, &removed)) {
    return saved_file_failed(msg::kRegistrationKept, kSaveTargetFile);
  }
  if (lhba_number == 0) {
    del_persistent_target_request request{};
    uint64_t port_number = 0;
    std::strncpy(request.target_name, target_name, sizeof request.target_name - 1);
    std::strncpy(request.initiator_name, initiator_name, sizeof request.initiator_name - 1);
    request.portal.size = kAddressRecordSize;
    parse_address(address, request.portal.address, &request.portal.type);
    parse_number(port_text, 10, 0xFFFF, &port_number);
    request.tcp_port = static_cast<uint16_t>(port_number);
    request.isid = isid | kDeleteIsidFlag;
    const uint32_t result = ioctl_del_persistent_target(port, &request, 0, static_cast<uint8_t>(phba_port));
    IsidChoice::forget();
    if (result != 0) {
      pdebug(kBackEnd, 3, "%s:ioctl_del_persistent_target is failed\n", __func__);
      if (!append_lines(kSaveTargetFile, removed)) pdebug(kBackEnd, 3, "%s:the records were not put back\n", __func__);
      return refuse(kStatusDeletePersistencyFailed, msg::kDeletePersistencyFailed);
    }
  }
  return kStatusOk;
}

// ---- actions ---------------------------------------------------------------------------------------

uint32_t do_AddTarget(hm_node* lhba, hm_node* action, char params[6][256]) {
  hm_node* controller = controller_of(lhba);
  if (controller == nullptr) {
    pdebug(kBackEnd, 3, "%s:Failed to get %s node\n", __func__, "Vexalon");
    return kStatusFailed;
  }
  if (empty(params[0]) || empty(params[1])) {
    pdebug(kBackEnd, 3, "%s:Invalid TargetISCSIName or TargetIPAddress\n", __func__);
    return kStatusFailed;
  }
  if (!record_param_ok("TargetName", params[0])) return kStatusFailed;
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) {
    pdebug(kBackEnd, 3, "%s:Failed to get vx_type\n", __func__);
    return kStatusFailed;
  }
  validateIPv6Address(params[1]);
  if (!address_param_ok(params[1])) return kStatusFailed;
  if (is_old_generation(generation)) {
    if (std::strchr(params[1], ':') != nullptr) return refuse(kStatusIpv6NotSupported, msg::kIpv6NotSupported);
    if (count_instances(lhba, kGroupTarget) == kMaxTargetsOldGenerations) {
      return refuse(kStatusTargetCount, msg::kFwTargetCountExceeded);
    }
  }
  std::string initiator;
  if (!initiator_name_of(lhba, &initiator)) return kStatusFailed;
  const std::string name = params[0];
  const std::string address = params[1];
  const std::string port = empty(params[2]) ? kDefaultPort : params[2];
  const std::string boot = equal_nocase(params[3], "True") ? "True" : "False";
  if (find_target(lhba, name.c_str()) != nullptr) return refuse(kStatusDuplicateTarget, msg::kDuplicateTarget);

  hm_node* target = setup_target(lhba, name.c_str(), BuilderArgs{lhba, action, params}, 0);
  if (target == nullptr) return kStatusFailed;
  if (setup_portal(target, address.c_str(), port.c_str(), "0", BuilderArgs{}) == nullptr) {
    delete_with_records(target);
    return kStatusFailed;
  }
  // Recorded before the adapter hears of it: a target the file cannot hold is not added at all.
  if (VARU_add_target_into_file(lhba, target, name.c_str(), address.c_str(), port.c_str(), true) != 0) {
    delete_with_records(target);
    return saved_file_failed(msg::kSavedFileNotAdded, kSaveTargetFile, "target");
  }
  const uint32_t result = register_portal(lhba, target, name, initiator, address.c_str(), port.c_str(), boot.c_str(), params);
  if (result != 0) return result;
  if (boot == "True" && generation == kGenerationOrvelle) {
    hm_node* session = get_first_instance(target, kGroupSession);
    if (session == nullptr || VARU_add_boottarget_tlv(command_address(target), session) != 0) {
      return refuse(kStatusBootTlvAddFailed, msg::kBootTlvAddFailed);
    }
  }
  return kStatusOk;
}

uint32_t do_AddTargetPortal(hm_node* target, hm_node*, char params[6][256]) {
  if (empty(params[0])) {
    pdebug(kBackEnd, 3, "%s:Invalid TargetIPAddress\n", __func__);
    return kStatusFailed;
  }
  hm_node* lhba = ancestor_named(target, kGroupLogicalHBA);
  hm_node* controller = controller_of(target);
  if (lhba == nullptr || ancestor_named(target, kGroupiSCSIPhysicalHBA) == nullptr || controller == nullptr) {
    return kStatusFailed;
  }
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) return kStatusFailed;
  validateIPv6Address(params[0]);
  if (!address_param_ok(params[0])) return kStatusFailed;
  if (is_old_generation(generation) && std::strchr(params[0], ':') != nullptr) {
    return refuse(kStatusIpv6NotSupported, msg::kIpv6NotSupported);
  }
  std::string name;
  std::string initiator;
  if (!read_property(target, kPropTargetISCSIName, &name) || !initiator_name_of(lhba, &initiator)) {
    return kStatusFailed;
  }
  const std::string address = params[0];
  const std::string port = empty(params[1]) ? kDefaultPort : params[1];
  for (hm_node* p = get_first_instance(target, kGroupTargetPortal); p != nullptr; p = next_instance(p)) {
    if (equal_nocase(cached_value(p, kPropTargetIPAddress), address) &&
        equal_nocase(cached_value(p, kPropTargetPortNumber), port)) {
      return refuse(kStatusDuplicatePortal, msg::kDuplicateTargetPortal);
    }
  }
  hm_node* portal = setup_portal(target, address.c_str(), port.c_str(), "0", BuilderArgs{});
  if (portal == nullptr) return kStatusFailed;
  if (VARU_add_target_into_file(lhba, target, name.c_str(), address.c_str(), port.c_str(), false) != 0) {
    delete_with_records(portal);
    return saved_file_failed(msg::kSavedFileNotAdded, kSaveTargetFile, "target portal");
  }
  return register_portal(lhba, target, name, initiator, address.c_str(), port.c_str(), "False", params);
}

uint32_t do_DeleteTarget(hm_node* lhba, hm_node*, char params[6][256]) {
  hm_node* target = get_selected_group_node(lhba, kGroupTarget, params[0]);
  if (target == nullptr) return refuse(kStatusInvalidInstance, msg::kInvalidInstanceNumber);
  std::string name;
  char value[kValueSize];
  const uint32_t read = internal_get_property(target, kPropTargetISCSIName, value);
  if (read != 0) return read;
  value[kValueSize - 1] = '\0';
  name = value;
  uint32_t active = 0;
  if (VARU_check_session_status(target, name.c_str(), get_port_number(lhba), &active, lhba, nullptr, 0) != 0) {
    return kStatusFailed;
  }
  if (active != 0) return refuse(kStatusSessionLoggedIn, msg::kTargetHasLoggedInSession);
  // Every record of every portal in one rewrite, before the node goes: records left behind would
  // bring the target back at the next start.
  std::vector<std::vector<std::string>> keys;
  for (hm_node* p = get_first_instance(target, kGroupTargetPortal); p != nullptr; p = next_instance(p)) {
    keys.push_back(saved_record_key(lhba, kTargetRecords, name.c_str(), cached_value(p, kPropTargetIPAddress).c_str(),
                                    cached_value(p, kPropTargetPortNumber).c_str(), kAnyIsid));
  }
  if (!remove_records(kSaveTargetFile, keys)) return saved_file_failed(msg::kSavedFileKept, kSaveTargetFile, "target");
  return delete_with_records(target);
}

uint32_t do_DeleteTargetPortal(hm_node* target, hm_node*, char params[6][256]) {
  hm_node* portal = get_selected_group_node(target, kGroupTargetPortal, params[0]);
  if (portal == nullptr) return refuse(kStatusInvalidInstance, msg::kInvalidInstanceNumber);
  std::string name;
  if (!read_property(target, kPropTargetISCSIName, &name)) return kStatusFailed;
  uint32_t active = 0;
  if (VARU_check_session_status(target, name.c_str(), get_port_number(target), &active, target, portal, 1) != 0) {
    return kStatusFailed;
  }
  if (active != 0) return refuse(kStatusSessionLoggedIn, msg::kTargetHasLoggedInSession);
  std::string address;
  std::string port;
  if (!read_property(portal, kPropTargetIPAddress, &address) || !read_property(portal, kPropTargetPortNumber, &port)) {
    return kStatusFailed;
  }
  if (!remove_records(kSaveTargetFile,
                      {saved_record_key(target->parent, kTargetRecords, name.c_str(), address.c_str(), port.c_str(),
                                        kAnyIsid)})) {
    return saved_file_failed(msg::kSavedFileKept, kSaveTargetFile, "target portal");
  }
  return delete_with_records(portal);
}

// ---- TargetType -------------------------------------------------------------------------------------

uint32_t get_target_type(hm_node* target) {
  std::string name;
  if (!read_property(target, kPropTargetISCSIName, &name)) return kStatusFailed;
  std::vector<std::string> key = lhba_instance_key(target);
  key.push_back(name);
  std::vector<std::string> found;
  find_record(kSaveTargetFile, key, true, 0, &found);
  if (found.size() > kTargetTypeField && !found[kTargetTypeField].empty()) {
    set_cached(target, kPropTargetType, found[kTargetTypeField].substr(0, kTargetTypeMax));
  }
  return kStatusOk;
}

uint32_t handle_target_type(hm_node* prop, char* buf, uint32_t op) {
  if (op != kGet) return kStatusOk;
  get_target_type(owning_group(prop));
  return handle_internal_property(prop, buf, kGet);
}

}  // namespace vx
