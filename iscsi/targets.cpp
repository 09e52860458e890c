#include "iscsi/targets.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
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
#include "platform/file_store.h"
#include "platform/platform.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kMaxIsid = 0xFFFF;
constexpr size_t kTargetTypeMax = 34;
constexpr uint16_t kNoSpecificWord = 0xFFFF;

bool empty(const char* text) { return text == nullptr || text[0] == '\0'; }

// The section's file beside the saved targets, locked through "isid_choice.lock" (never written),
// and the directory of the claims.
constexpr const char* kIsidChoiceFile = "/scratch/Talvix/isid_choice";
constexpr const char* kIsidClaimDir = "/scratch/Talvix/isid_claims";

std::string folded(const char* text) {
  std::string out = text != nullptr ? text : "";
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A qualifier claimed for a target name and an initiator name (case folded): in its file, the three
// as NUL-separated texts (the names may hold any other byte).
struct Claim {
  std::string target;
  std::string initiator;
  uint32_t isid = 0;
  std::unique_ptr<file_store::LiveFile> file;

  std::string text() const { return std::to_string(isid) + '\0' + initiator + '\0' + target; }
  bool parse(const std::string& text) {
    const size_t first = text.find('\0');
    const size_t second = first == std::string::npos ? first : text.find('\0', first + 1);
    uint64_t value = 0;
    if (second == std::string::npos || !parse_number(text.substr(0, first), 10, kIsidNone, &value)) return false;
    isid = static_cast<uint32_t>(value);
    initiator = text.substr(first + 1, second - first - 1);
    target = text.substr(second + 1);
    return true;
  }
  bool is(const std::string& t, const std::string& i, uint32_t q) const { return isid == q && target == t && initiator == i; }
};

// This thread's choice: how deep it nests, and what it claims.
struct ChoiceState {
  int depth = 0;
  std::vector<Claim> claims;
};
thread_local ChoiceState t_choice;

bool claimed_here(const char* target_name, const char* initiator_name, uint32_t isid) {
  const std::string t = folded(target_name);
  const std::string i = folded(initiator_name);
  for (const Claim& c : t_choice.claims) {
    if (c.is(t, i, isid)) return true;
  }
  return false;
}

// One choice's host-wide section (see IsidChoice).
class ChoiceSection {
 public:
  ChoiceSection() : lock_(host_path(kIsidChoiceFile), kIsidChoiceWaitSeconds * 1000) {}

  // The qualifiers in use for that target name and initiator name: first those that choices claim
  // (*claimed, every process's), then those that sessions hold on the adapters (read_sessions_named,
  // with `prune`); *used gets both. In this order nothing in use is missed: a claim ends only once
  // its qualifier is in an adapter's list (or no longer used), and none is made while this section
  // is held. 0, or 1 with the status (336 when the section could not be entered).
  uint32_t read_in_use(const char* target_name, const char* initiator_name, bool prune, std::set<uint32_t>* used,
                       std::set<uint32_t>* claimed = nullptr) const {
    if (entered() != kStatusOk) return kStatusFailed;
    std::set<uint32_t> claims;
    if (read_claims(target_name, initiator_name, &claims) != kStatusOk) return kStatusFailed;
    used->insert(claims.begin(), claims.end());
    if (claimed != nullptr) claimed->insert(claims.begin(), claims.end());
    std::vector<HeldSession> held;
    if (read_sessions_named(target_name, prune, &held) != kStatusOk) return kStatusFailed;
    const std::string initiator = initiator_name != nullptr ? initiator_name : "";
    for (const HeldSession& s : held) {
      if (equal_nocase(s.initiator, initiator)) used->insert(s.isid);
    }
    return kStatusOk;
  }

  // Claims the qualifier a session holds, whose logout or withdrawal follows (see IsidChoice::hold),
  // unless another process claims it already.
  uint32_t hold(const char* target_name, const char* initiator_name, uint32_t isid) const {
    if (entered() != kStatusOk) return kStatusFailed;
    std::set<uint32_t> claims;
    if (read_claims(target_name, initiator_name, &claims) != kStatusOk) return kStatusFailed;
    if (claims.count(isid) != 0) {
      pdebug(kBackEnd, 3, "%s:ISID %04x is claimed by another process\n", __func__, static_cast<unsigned>(isid));
      return fail(kStatusSavedFileNotWritten, msg::kIsidClaimedElsewhere, static_cast<unsigned>(isid));
    }
    return claim(target_name, initiator_name, isid);
  }

  // Claims `isid` for the thread's choice (nothing outside one). 0, or 1 with status 336.
  uint32_t claim(const char* target_name, const char* initiator_name, uint32_t isid) const {
    if (t_choice.depth == 0) return kStatusOk;
    Claim c;
    c.target = folded(target_name);
    c.initiator = folded(initiator_name);
    c.isid = isid;
    c.file = std::make_unique<file_store::LiveFile>();
    const std::string claim_dir = host_path(kIsidClaimDir);
    file_store::LockFailure why = file_store::LockFailure::kNone;
    if (!c.file->make(claim_dir, c.text(), &why)) {
      const int error = errno;
      pdebug(kBackEnd, 3, "%s:the claim cannot be made: %s\n", __func__, std::strerror(error));
      return live_dir_failed(claim_dir, why, error);
    }
    t_choice.claims.push_back(std::move(c));
    return kStatusOk;
  }

  // The lowest qualifier not in `used`, claimed; kIsidNone when none is free (71) or the claim fails.
  uint32_t take_lowest(const char* target_name, const char* initiator_name, const std::set<uint32_t>& used) const {
    uint32_t isid = 0;
    while (isid < kIsidNone && used.count(isid) != 0) ++isid;
    if (isid == kIsidNone) {
      refuse(kStatusIsidInUse, msg::kIsidInUse);
      return kIsidNone;
    }
    return claim(target_name, initiator_name, isid) == kStatusOk ? isid : kIsidNone;
  }

 private:
  // 0; or 1 with status 336 when another process held the section past the wait, or its lock file
  // cannot be used.
  uint32_t entered() const {
    if (lock_.held()) return kStatusOk;
    pdebug(kBackEnd, 3, "%s:Failed to get file lock\n", __func__);
    if (lock_.failure() == file_store::LockFailure::kBusy) {
      return fail(kStatusSavedFileNotWritten, msg::kIsidChoiceBusy, kIsidChoiceWaitSeconds);
    }
    return lock_file_failed(lock_.lock_path(), lock_.failure(), lock_.error());
  }

  // The qualifiers that choices claim (every process's) for that target name and initiator name.
  static uint32_t read_claims(const char* target_name, const char* initiator_name, std::set<uint32_t>* claims) {
    std::vector<std::string> texts;
    const std::string claim_dir = host_path(kIsidClaimDir);
    file_store::LockFailure why = file_store::LockFailure::kNone;
    if (file_store::read_live_files(claim_dir, &texts, &why) == file_store::ReadResult::kFailed) {
      const int error = errno;
      pdebug(kBackEnd, 3, "%s:the claims cannot be read\n", __func__);
      return live_dir_failed(claim_dir, why, error);
    }
    const std::string t = folded(target_name);
    const std::string i = folded(initiator_name);
    for (const std::string& text : texts) {
      Claim c;
      if (c.parse(text) && c.target == t && c.initiator == i) claims->insert(c.isid);
    }
    return kStatusOk;
  }

  file_store::FileLock lock_;
};

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

IsidChoice::IsidChoice() { ++t_choice.depth; }

void IsidChoice::end() {
  if (ended_) return;
  ended_ = true;
  if (--t_choice.depth == 0) t_choice.claims.clear();
}

uint32_t IsidChoice::hold(const char* target_name, const char* initiator_name, uint32_t isid) {
  isid &= kMaxIsid;
  if (claimed_here(target_name, initiator_name, isid)) return kStatusOk;
  const ChoiceSection section;
  return section.hold(target_name, initiator_name, isid);
}

void IsidChoice::release(const char* target_name, const char* initiator_name, uint32_t isid) {
  const std::string t = folded(target_name);
  const std::string i = folded(initiator_name);
  auto& claims = t_choice.claims;
  claims.erase(std::remove_if(claims.begin(), claims.end(), [&](const Claim& c) { return c.is(t, i, isid); }),
               claims.end());
}

uint32_t generate_isid_qualifier(const char* target_name, const char* initiator_name) {
  const ChoiceSection section;
  std::set<uint32_t> used;
  if (section.read_in_use(target_name, initiator_name, false, &used) != kStatusOk) return kIsidNone;
  return section.take_lowest(target_name, initiator_name, used);
}

uint32_t check_for_isid_existence(uint32_t isid, const char* target_name, const char* initiator_name) {
  isid &= kMaxIsid;
  if (claimed_here(target_name, initiator_name, isid)) return 0;
  const ChoiceSection section;
  std::set<uint32_t> used;
  if (section.read_in_use(target_name, initiator_name, false, &used) != kStatusOk) return 1;
  if (used.count(isid) != 0) {
    refuse(kStatusIsidInUse, msg::kIsidInUse);
    return 1;
  }
  return section.claim(target_name, initiator_name, isid) == kStatusOk ? 0 : 1;
}

uint32_t VARU_get_isid(hm_node* target, const char* isid_text, const char* target_name, const char* initiator_name,
                       const char* address, const char* port, uint32_t* found, uint32_t* isid, hm_node** session) {
  if (target == nullptr || empty(target_name) || empty(initiator_name) || empty(address) || empty(port) ||
      found == nullptr || isid == nullptr || session == nullptr) {
    return kStatusFailed;
  }
  *found = 0;
  *session = nullptr;
  uint64_t wanted = 0;
  const bool given = !empty(isid_text);
  if (given && !parse_number(isid_text, 0, kMaxIsid, &wanted)) {
    return refuse(kStatusIsidOutOfRange, msg::kIsidOutOfRange);
  }
  // What this process shows of the target's sessions may be stale (another process logged in or
  // out): the adapters are read first, and a session they no longer report leaves the tree. The
  // qualifier is chosen from that same read, in the same section.
  const ChoiceSection section;
  std::set<uint32_t> used;
  std::set<uint32_t> claimed;
  if (section.read_in_use(target_name, initiator_name, true, &used, &claimed) != kStatusOk) return kStatusFailed;
  auto fresh = [&]() -> uint32_t {
    *isid = section.take_lowest(target_name, initiator_name, used);
    return *isid == kIsidNone ? kStatusFailed : kStatusOk;
  };
  // A qualifier the caller gives is the one taken, also for a target without sessions.
  if (!given && get_first_instance(target, kGroupSession) == nullptr) {
    pdebug(kBackEnd, 6, "%s:There are no sessions. So generating ISID.\n", __func__);
    return fresh();
  }
  // A closed or failed session through the same portal (with the same ISID when one is given) is
  // reused, unless another login (of any process) claims it already.
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
    if ((given && value != wanted) || claimed.count(static_cast<uint32_t>(value)) != 0) continue;
    // Claimed for the login's length like a new one: should the session end meanwhile (its holder
    // logs it out), no other choice takes its qualifier before this login's session is listed.
    if (section.claim(target_name, initiator_name, static_cast<uint32_t>(value)) != kStatusOk) return kStatusFailed;
    *isid = static_cast<uint32_t>(value);
    *found = 1;
    *session = s;
    return kStatusOk;
  }
  if (!given) return fresh();
  if (used.count(static_cast<uint32_t>(wanted)) != 0) return refuse(kStatusIsidInUse, msg::kIsidInUse);
  if (section.claim(target_name, initiator_name, static_cast<uint32_t>(wanted)) != kStatusOk) return kStatusFailed;
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
  // The qualifier is claimed from its check until the registration has taken it (a login's choice
  // keeps it longer).
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
