#include "iscsi/login_options.h"


#include <cctype>
#include <cstring>
#include <optional>
#include <vector>

#include "access/host.h"
#include "access/walks.h"
#include "engine/messages.h"
#include "iscsi/common.h"
#include "iscsi/login_block.h"
#include "iscsi/saved_files.h"
#include "iscsi/sessions.h"
#include "iscsi/targets.h"
#include "iscsi/tlv_editor.h"
#include "schema/handlers.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

// What tells a level's records apart besides the instance key.
enum class OwnerKey { kNone, kPortal, kTargetName };

struct OptionLevel {
  const char* group;      // the login-option group's name
  const char* file;
  size_t fields;          // fields of a record
  size_t first;           // 0-based field of InitialR2T
  bool type_field;        // TargetType stands between TargetSecret and CHAPParam
  OwnerKey key;
  uint32_t missing_file;  // the reader's result when the file is missing
  bool update_sessions;   // a change registers the target's idle sessions again
  const char* setter;     // the level's file setter and the file it locks, as a failed rewrite logs them
  const char* locked;
};

constexpr OptionLevel kLevels[] = {
    {kGroupInitiatorLoginOptions, kInitiatorOptionsFile, kInitiatorRecordFields, 3, false, OwnerKey::kNone, 1, false,
     "VARU_set_initiator_loginoptions", "intr_logopts.txt"},
    {kGroupSendTargetPortalLoginOptions, kSavePortalFile, kPortalRecordFields, 6, false, OwnerKey::kPortal, 1, false,
     "VARU_set_stploginoptions", "savestp.txt"},
    {kGroupTargetLoginOptions, kSaveTargetFile, kTargetRecordFields, 8, true, OwnerKey::kTargetName, 0, true,
     "VARU_set_target_loginoptions", "temp_tgt.txt"},
};

constexpr size_t kHexDigitsMin = 24;
constexpr size_t kHexDigitsMax = 32;
constexpr size_t kTextSecretMin = 12;
constexpr size_t kTextSecretMax = 16;

const OptionLevel* level_of(hm_node* group) {
  if (group == nullptr || group->name == nullptr) return nullptr;
  for (const OptionLevel& level : kLevels) {
    if (std::strcmp(group->name, level.group) == 0) return &level;
  }
  return nullptr;
}

size_t field_of(const OptionLevel& level, size_t option) {
  return level.first + option + (level.type_field && option >= kOptChapParam ? 1 : 0);
}

// The leading fields that name the owner's records; false when a value cannot be read.
bool owner_key(const OptionLevel& level, hm_node* owner, std::vector<std::string>* key) {
  *key = lhba_instance_key(owner);
  std::string a;
  std::string b;
  switch (level.key) {
    case OwnerKey::kNone:
      return true;
    case OwnerKey::kPortal:
      if (!read_property(owner, kPropStpIPAddress, &a) || !read_property(owner, kPropStpPortNumber, &b)) return false;
      key->push_back(a);
      key->push_back(b);
      return true;
    case OwnerKey::kTargetName:
      if (!read_property(owner, kPropTargetISCSIName, &a)) return false;
      key->push_back(a);
      return true;
  }
  return false;
}

bool owners_record(const OptionLevel& level, const std::vector<std::string>& fields, const std::vector<std::string>& key) {
  return fields.size() == level.fields && record_matches(fields, key, true);
}

// The value as the property's allowed list spells it (the engine compares lists ignoring case).
std::string canonical(const char* list, const std::string& value) {
  const std::string all = list;
  size_t start = 0;
  while (start <= all.size()) {
    size_t comma = all.find(',', start);
    if (comma == std::string::npos) comma = all.size();
    const std::string item = all.substr(start, comma - start);
    if (equal_nocase(item, value)) return item;
    start = comma + 1;
  }
  return value;
}

// Writes the values to the stored record, then to the properties.
uint32_t store_options(hm_node* group, const std::vector<OptionValue>& values) {
  const uint32_t result = set_level_options(group, values);
  if (result != kStatusOk) return result;
  hm_node* auth = internal_get_node(group, kGroupAuthentication, kGroup);
  bool ok = auth != nullptr;
  for (const OptionValue& v : values) {
    ok = ok && set_cached(option_in_authentication(v.option) ? auth : group, option_name(v.option), v.value);
  }
  return ok ? kStatusOk : kStatusFailed;
}

// A change of a target's options registers its idle sessions again. Its result is not used, but
// for a registration the adapter refused: the previous options are back then, and the change fails.
uint32_t after_change(const OptionLevel& level, hm_node* group, const LoginOptionTexts& previous) {
  if (!level.update_sessions) return kStatusOk;
  return VARU_update_session_authentication(group->parent, &previous) == kStatusLoginOptionsRefused ? kStatusFailed
                                                                                                    : kStatusOk;
}

// The plain options of every level.
uint32_t handle_level_option(hm_node* prop, char* buf, uint32_t op) {
  hm_node* group = owning_group(prop);
  const OptionLevel* level = level_of(group);
  if (level == nullptr || buf == nullptr) return kStatusFailed;
  LoginOptionTexts previous;
  if (!read_login_option_texts(group, &previous)) return kStatusFailed;   // the stored record, read afresh
  if (op == kGet) return handle_internal_property(prop, buf, kGet);
  if (op != kSet) return kStatusOk;
  const size_t option = option_of(prop->name);
  const struct {
    size_t level_option;
    size_t digest_option;
  } pairs[] = {{kOptHeaderParam, kOptHeaderDigest}, {kOptDataParam, kOptDataDigest}};
  for (const auto& p : pairs) {
    const std::string level_value = cached_value(group, option_name(p.level_option));
    const std::string digest_value = cached_value(group, option_name(p.digest_option));
    if (option == p.level_option && equal_nocase(buf, "Preferred") && equal_nocase(digest_value, "None")) {
      return refuse(kStatusDigestLevelPreferred, msg::kDigestLevelPreferred);
    }
    if (option == p.digest_option && equal_nocase(buf, "None") && equal_nocase(level_value, "Preferred")) {
      return refuse(kStatusDigestDefaultPreferred, msg::kDigestDefaultPreferred);
    }
  }
  if (option == kOptionCount || set_level_options(group, {{option, buf}}) != kStatusOk) return kStatusFailed;
  const uint32_t result = handle_internal_property(prop, buf, kSet);
  return after_change(*level, group, previous) != kStatusOk ? kStatusFailed : result;
}

// The Authentication properties: a read refreshes them; changes go through the CHAP actions.
uint32_t handle_level_authentication(hm_node* prop, char* buf, uint32_t op) {
  hm_node* auth = owning_group(prop);
  if (op == kGet && auth != nullptr) get_level_options(auth->parent);
  return handle_internal_property(prop, buf, op);
}

uint32_t set_one(hm_node* group, const char* option, const char* value) {
  const size_t index = option_of(option);
  if (index == kOptionCount || value == nullptr) return kStatusFailed;
  return set_level_options(group, {{index, value}}) == kStatusOk ? kStatusOk : kStatusFailed;
}

}  // namespace

// ---- the stored records ------------------------------------------------------------------------------

uint32_t get_level_options(hm_node* options_group) {
  const OptionLevel* level = level_of(options_group);
  std::vector<std::string> key;
  if (level == nullptr || !owner_key(*level, options_group->parent, &key)) return kStatusFailed;
  std::vector<std::string> fields;
  const file_store::ReadResult got = find_record(level->file, key, true, level->fields, &fields);
  if (got == file_store::ReadResult::kMissing) return level->missing_file;
  if (got != file_store::ReadResult::kRead) return kStatusFailed;
  if (fields.empty()) return kStatusOk;
  LoginOptionTexts o;
  for (size_t i = 0; i < kOptionCount; ++i) o.values[i] = fields[field_of(*level, i)];
  for (size_t i : {kOptChapParam, kOptHeaderParam, kOptDataParam}) {
    if (o.values[i].empty()) o.values[i] = "Prohibited";
  }
  return write_login_option_texts(options_group, o) ? kStatusOk : kStatusFailed;
}

uint32_t set_level_options(hm_node* options_group, const std::vector<OptionValue>& values) {
  const OptionLevel* level = level_of(options_group);
  std::vector<std::string> key;
  if (level == nullptr || !owner_key(*level, options_group->parent, &key)) return kStatusFailed;
  for (const OptionValue& v : values) {
    if (v.option >= kOptionCount) return kStatusFailed;
    if (!record_safe(v.value)) return fail(kStatusInvalidValue, msg::kParamInvalidValue, option_name(v.option));
  }
  const bool written = rewrite_records(level->file, [&](std::string& line) {
    std::vector<std::string> fields = split_record(line);
    if (!owners_record(*level, fields, key)) return true;
    for (const OptionValue& v : values) fields[field_of(*level, v.option)] = v.value;
    line = join_record(fields);
    return true;
  });
  if (!written) {
    pdebug(kBackEnd, 3, "%s: Failed to get a file lock for %s\n", level->setter, level->locked);
    return saved_file_failed(msg::kSavedFileNotWritten, level->file);
  }
  return kStatusOk;
}

uint32_t VARU_set_target_loginoptions(hm_node*, hm_node* options_group, hm_node*, const char* option,
                                      const char* value) {
  return set_one(options_group, option, value);
}
uint32_t VARU_set_initiator_loginoptions(hm_node*, hm_node* options_group, hm_node*, const char* option,
                                         const char* value) {
  return set_one(options_group, option, value);
}
uint32_t VARU_set_stploginoptions(hm_node*, hm_node* options_group, hm_node*, const char* option, const char* value) {
  return set_one(options_group, option, value);
}
uint32_t VARU_get_target_loginoptions(hm_node*, hm_node* options_group, hm_node*) {
  return get_level_options(options_group);
}
uint32_t VARU_get_initiator_loginoptions(hm_node*, hm_node* options_group, hm_node*) {
  return get_level_options(options_group);
}
uint32_t VARU_get_stploginoptions(hm_node*, hm_node* options_group, hm_node*) {
  return get_level_options(options_group);
}

// ---- property handlers ---------------------------------------------------------------------------------

uint32_t handle_initiator_loginoptions(hm_node* prop, char* buf, uint32_t op) {
  return handle_level_option(prop, buf, op);
}
uint32_t handle_target_loginoptions(hm_node* prop, char* buf, uint32_t op) {
  return handle_level_option(prop, buf, op);
}
uint32_t handle_target_loginopts(hm_node* prop, char* buf, uint32_t op) {
  return handle_target_loginoptions(prop, buf, op);
}
uint32_t handle_stploginoptions(hm_node* prop, char* buf, uint32_t op) { return handle_level_option(prop, buf, op); }
uint32_t handle_authentication_initiator_loginoptions(hm_node* prop, char* buf, uint32_t op) {
  return handle_level_authentication(prop, buf, op);
}
uint32_t handle_authentication_target_loginopts(hm_node* prop, char* buf, uint32_t op) {
  return handle_level_authentication(prop, buf, op);
}
uint32_t handle_authentication_stploginoptions(hm_node* prop, char* buf, uint32_t op) {
  return handle_level_authentication(prop, buf, op);
}

// ---- CHAP ------------------------------------------------------------------------------------------------

uint32_t check_chap_secret(const std::string& secret, const char* name) {
  if (secret.size() >= 2 && secret[0] == '0' && (secret[1] == 'x' || secret[1] == 'X')) {
    const std::string digits = secret.substr(2);
    for (unsigned char c : digits) {
      if (std::isxdigit(c) == 0) return refuse(kStatusInvalidValue, msg::kSecretHexDigits);
    }
    if (digits.size() % 2 != 0) return refuse(kStatusInvalidValue, msg::kSecretOddDigits);
    if (digits.size() < kHexDigitsMin || digits.size() > kHexDigitsMax) {
      fail(kStatusBadLength, msg::kSecretHexLength, name);
      return kStatusFailed;
    }
    return kStatusOk;
  }
  if (secret.size() < kTextSecretMin || secret.size() > kTextSecretMax) {
    fail(kStatusBadLength, msg::kSecretTextLength, name);
    return kStatusFailed;
  }
  return kStatusOk;
}

uint32_t do_ConfigureCHAP(hm_node* auth, hm_node*, char params[6][256]) {
  hm_node* group = auth != nullptr ? auth->parent : nullptr;
  const OptionLevel* level = level_of(group);
  LoginOptionTexts previous;
  if (level == nullptr || !read_login_option_texts(group, &previous)) return kStatusFailed;
  const std::string method = canonical("Mutual CHAP,One-Way CHAP", params[0]);
  const std::string initiator_name = params[1];
  const std::string initiator_secret = params[2];
  const std::string target_name = params[3];
  const std::string target_secret = params[4];
  // Names and secrets stand in clear in the saved records: nothing that a record cannot hold is taken.
  const struct {
    const char* name;
    const std::string& value;
  } texts[] = {{kPropInitiatorCHAPName, initiator_name},
               {kPropInitiatorSecret, initiator_secret},
               {kPropTargetCHAPName, target_name},
               {kPropTargetSecret, target_secret}};
  for (const auto& t : texts) {
    if (!record_safe(t.value)) {
      fail(kStatusInvalidValue, msg::kParamInvalidValue, t.name);
      return kStatusFailed;
    }
  }
  const bool mutual = method == "Mutual CHAP";
  if (mutual && (initiator_name.empty() || initiator_secret.empty())) {
    return refuse(kStatusMutualChapNeedsInitiator, msg::kMutualChapNeedsInitiator);
  }
  if (check_chap_secret(target_secret, kPropTargetSecret) != kStatusOk) return kStatusFailed;
  if (!mutual && (!initiator_name.empty() || !initiator_secret.empty())) {
    varu_set_last_status(kStatusOneWayChapIgnores, msg::kOneWayChapIgnoresInitiator);
  }
  if (mutual && check_chap_secret(initiator_secret, kPropInitiatorSecret) != kStatusOk) return kStatusFailed;
  if (initiator_secret == target_secret) return refuse(kStatusSameChapSecret, msg::kFwSameChapSecret);
  const std::string chap_param = params[5][0] == '\0' ? "Prohibited" : canonical("Discouraged,Preferred,Required", params[5]);
  const uint32_t result = store_options(group, {{kOptChapParam, chap_param},
                                                {kOptMethod, method},
                                                {kOptTargetChapName, target_name},
                                                {kOptTargetSecret, target_secret},
                                                {kOptInitiatorChapName, mutual ? initiator_name : ""},
                                                {kOptInitiatorSecret, mutual ? initiator_secret : ""}});
  if (result != kStatusOk) return kStatusFailed;
  return after_change(*level, group, previous);
}

uint32_t do_DeleteCHAP(hm_node* auth, hm_node*, char[6][256]) {
  hm_node* group = auth != nullptr ? auth->parent : nullptr;
  const OptionLevel* level = level_of(group);
  LoginOptionTexts previous;
  if (level == nullptr || !read_login_option_texts(group, &previous)) return kStatusFailed;
  const uint32_t result = store_options(group, {{kOptMethod, "None"},
                                                {kOptChapParam, "Prohibited"},
                                                {kOptInitiatorChapName, ""},
                                                {kOptInitiatorSecret, ""},
                                                {kOptTargetChapName, ""},
                                                {kOptTargetSecret, ""}});
  if (result != kStatusOk) return kStatusFailed;
  return after_change(*level, group, previous);
}

// ---- sessions of a target whose options changed -------------------------------------------------------

namespace {

// An idle session, and what registers it again (its node is gone once it is withdrawn).
struct IdleSession {
  hm_node* session;
  std::string address;
  std::string port;
  uint32_t isid;
  std::string boot;
  std::string initiator;
};

uint32_t register_again(hm_node* target, const IdleSession& s, uint32_t eto) {
  return make_session_persistent(target, s.address.c_str(), s.port.c_str(), s.isid, nullptr, s.boot.c_str(),
                                 s.initiator.c_str(), eto);
}

}  // namespace

uint32_t VARU_update_session_authentication(hm_node* target, const LoginOptionTexts* previous) {
  hm_node* lhba = ancestor_named(target, kGroupLogicalHBA);
  hm_node* controller = controller_of(target);
  if (lhba == nullptr || ancestor_named(target, kGroupiSCSIPhysicalHBA) == nullptr || controller == nullptr) {
    return kStatusFailed;
  }
  const uint32_t generation = get_vx_type(controller);
  if (generation == kStatusFailed) {
    pdebug(kBackEnd, 3, "%s: Failed to get vx_type\n", __func__);
    return kStatusFailed;
  }
  std::string name;
  std::string eto_text;
  if (!read_property(target, kPropTargetISCSIName, &name) || !read_property(target, kPropETO, &eto_text)) {
    return kStatusFailed;
  }
  if (get_first_instance(target, kGroupSession) == nullptr) {
    pdebug(kBackEnd, 6, "%s:There are no session to update the authentication details.\n", __func__);
    return kStatusOk;
  }
  uint64_t eto = 0;
  parse_number(eto_text, 10, UINT32_MAX, &eto);
  const CommandAddress at = command_address(target);
  // Every idle session's qualifier is held before the first of them changes, and from its
  // withdrawal, which takes the session out of the adapter's list, through its registration again
  // (which finds it held here and goes on): no other process's login takes it in between. One that
  // cannot be held stops the change as a refusal does, with nothing sent and the reason kept.
  IsidChoice choice;
  std::optional<KeptStatus> not_held;
  std::vector<IdleSession> idle_sessions;
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    std::string status;
    if (!read_property(s, kPropSessionStatus, &status) || !session_inactive(status)) continue;
    hm_node* c = get_first_instance(s, kGroupConnection);
    if (c == nullptr) return kStatusFailed;
    uint64_t isid = 0;
    if (!parse_number(cached_value(s, kPropSessionISIDQualifier), 16, 0xFFFF, &isid)) return kStatusFailed;
    const std::string boot = cached_value(s, kPropSessioniSCSIBoot);
    const IdleSession idle{s, cached_value(c, kPropConnectionDestinationIPAddress),
                           cached_value(c, kPropConnectionDestinationPortNumber), static_cast<uint32_t>(isid),
                           boot.empty() ? "False" : boot, cached_value(s, kPropSessionInitiatorName)};
    if (choice.hold(name.c_str(), idle.initiator.c_str(), idle.isid) != kStatusOk) {
      not_held.emplace();
      break;
    }
    idle_sessions.push_back(idle);
  }
  size_t registered = 0;   // the first of idle_sessions, registered again
  bool refused = not_held.has_value();
  while (registered < idle_sessions.size() && !refused) {
    const IdleSession& idle = idle_sessions[registered++];
    if (equal_nocase(idle.boot, "True")) {
      const uint32_t cleared = clear_boot_session(idle.session, generation, session_address(idle.session));
      if (cleared != kStatusOk) return cleared;
    }
    delete_persistent(at.port, get_domain_id(target), at.phba_port, target, name.c_str(), idle.address.c_str(),
                      idle.port.c_str(), idle.isid, idle.initiator.c_str(), 1);
    delete_with_records(idle.session);
    refused = register_again(target, idle, static_cast<uint32_t>(eto)) != kStatusOk;
  }
  if (registered == 0 && !refused) return kStatusOk;
  hm_node* options = internal_get_node(target, kGroupTargetLoginOptions, kGroup);
  if (refused && previous != nullptr && options != nullptr) {
    // The adapter keeps what it had: the previous options stand in the file and the properties
    // again, and every session changed so far is registered with them once more.
    std::vector<OptionValue> values;
    for (size_t i = 0; i < kOptionCount; ++i) values.push_back({i, previous->values[i]});
    store_options(options, values);
    for (size_t i = 0; i < registered; ++i) {
      const IdleSession& idle = idle_sessions[i];
      if (register_again(target, idle, static_cast<uint32_t>(eto)) != kStatusOk) {
        pdebug(kBackEnd, 3, "%s:the previous registration of %s was not put back\n", __func__, idle.address.c_str());
      }
    }
  }
  char params[kParamCount][kValueSize] = {};
  get_all_sessions(lhba, at, target, params);
  if (refused) {
    if (not_held) {
      not_held->put_back();
    } else {
      refuse(kStatusLoginOptionsRefused, msg::kLoginOptionsKept);
    }
    return kStatusLoginOptionsRefused;
  }
  if (generation != kGenerationOrvelle) return kStatusOk;
  for (hm_node* s = get_first_instance(target, kGroupSession); s != nullptr; s = next_instance(s)) {
    if (!session_inactive(cached_value(s, kPropSessionStatus)) || !equal_nocase(cached_value(s, kPropSessioniSCSIBoot), "True")) {
      continue;
    }
    if (VARU_add_boottarget_tlv(session_address(s), s) != kStatusOk) {
      return refuse(kStatusBootTlvAddFailed, msg::kBootTlvAddFailed);
    }
  }
  return kStatusOk;
}

}  // namespace vx
