// Authentication methods and CHAP credentials at the three login-option levels. Every level has an
// Authentication group holding the method ("None", "One-Way CHAP", "Mutual CHAP"), the CHAP policy
// (CHAPParam) and two pairs of credentials; it changes only through its ConfigureCHAP and DeleteCHAP
// actions. The IMA one-way ("initiator") credentials are TargetCHAPName / TargetSecret, the ones
// the target checks; the mutual ones are InitiatorCHAPName / InitiatorSecret.
//
// Whatever CHAP is in use is rebuilt from the group's current values when only part of it changes
// (the policy, or mutual CHAP switched on or off, or credentials given without a policy), so that
// working credentials and policy are never replaced by placeholders or lost: ConfigureCHAP takes a
// missing policy as "Prohibited".
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ima/front.h"
#include "ima/levels.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr uint32_t kLhbaOnly = oid_types({IMA_OBJECT_TYPE_LHBA});
constexpr uint32_t kLocalTypes = oid_types({IMA_OBJECT_TYPE_TARGET, IMA_OBJECT_TYPE_DISCOVERY_ADDRESS,
                                            IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET});

constexpr const char* kMethodNone = "None";
constexpr const char* kMethodOneWay = "One-Way CHAP";
constexpr const char* kMethodMutual = "Mutual CHAP";
constexpr const char* kProhibited = "Prohibited";
constexpr const char* kDiscouraged = "Discouraged";
constexpr const char* kPreferred = "Preferred";
constexpr const char* kRequired = "Required";

// Credentials used where CHAP is switched on without the caller's own (12 to 16 characters, as
// ConfigureCHAP demands of a text secret). The two directions never share a secret (the adapter
// refuses that), so the second secret stands in where the first is taken.
constexpr const char* kPlaceholderName = "vexalon";
constexpr const char* kPlaceholderSecret = "quietmeadowlark";
constexpr const char* kOtherPlaceholderSecret = "stillwaterheron";

constexpr size_t kMinSecret = 12;
constexpr size_t kMaxSecret = 16;
constexpr IMA_UINT kMaxMethods = 2;

// The ConfigureCHAP parameter slots.
enum Slot : int { kSlotMethod, kSlotMutualName, kSlotMutualSecret, kSlotName, kSlotSecret, kSlotPolicy };

enum class Method : uint8_t { kNone, kOneWay, kMutual };

Method method_of(const char* text) {
  if (std::strcmp(text, kMethodMutual) == 0) return Method::kMutual;
  return std::strcmp(text, kMethodOneWay) == 0 ? Method::kOneWay : Method::kNone;
}

// The Authentication group of a level and what it holds, read as needed.
struct Auth {
  int32_t group = 0;
  char method[kTextSize] = "";
  Method kind() const { return method_of(method); }
  uint32_t read(const char* property, char* out) const { return GetVaruPropertyVal(group, property, out); }
};

// The CHAPParam text of a policy word (2 to 4), NULL for any other word.
const char* policy_of_word(uint32_t word) {
  constexpr const char* kPolicies[] = {kDiscouraged, kPreferred, kRequired};
  return word >= IMA_VMW_CHAP_DISCOURAGED && word <= IMA_VMW_CHAP_REQUIRED ? kPolicies[word - 2] : nullptr;
}

uint32_t policy_word(const IMA_INITIATOR_AUTHPARMS& parms) {
  uint32_t word = 0;
  std::memcpy(&word, parms.chapParms.reserved, sizeof word);
  return word;
}

// The policy slot: one of the texts ConfigureCHAP takes, else not given.
void set_policy(ActionParams& params, const char* policy) {
  if (policy != nullptr && (std::strcmp(policy, kDiscouraged) == 0 || std::strcmp(policy, kPreferred) == 0 ||
                            std::strcmp(policy, kRequired) == 0)) {
    params.set_text(kSlotPolicy, policy);
  } else {
    params.set_absent(kSlotPolicy);
  }
}

// A name and a secret to configure: the caller's (measured within their fields), the level's
// current ones, or the placeholders.
struct Chap {
  char name[kTextSize] = "";
  char secret[kTextSize] = "";
};

// Placeholder credentials whose secret differs from `taken`.
Chap placeholder(const char* taken = "") {
  Chap chap;
  std::strcpy(chap.name, kPlaceholderName);
  std::strcpy(chap.secret, std::strcmp(taken, kPlaceholderSecret) == 0 ? kOtherPlaceholderSecret : kPlaceholderSecret);
  return chap;
}

// The caller's credentials; false when a text does not end within its field or does not fit a
// parameter slot, or when `rule` is set and the secret is not 12 to 16 characters long.
bool caller_chap(const IMA_INITIATOR_AUTHPARMS& parms, bool rule, Chap* out) {
  const IMA_CHAP_INITIATOR_AUTHPARMS& chap = parms.chapParms;
  const size_t name = strnlen(reinterpret_cast<const char*>(chap.name), sizeof chap.name);
  const size_t secret = strnlen(reinterpret_cast<const char*>(chap.challengeSecret), sizeof chap.challengeSecret);
  if (name >= kTextSize || secret >= kTextSize) return false;
  if (rule && (secret < kMinSecret || secret > kMaxSecret)) return false;
  std::memcpy(out->name, chap.name, name);
  std::memcpy(out->secret, chap.challengeSecret, secret);
  return true;
}

uint32_t read_chap(const Auth& auth, const char* name, const char* secret, Chap* out) {
  uint32_t status = auth.read(name, out->name);
  if (status == 0) status = auth.read(secret, out->secret);
  return status;
}

uint32_t current_one_way(const Auth& auth, Chap* out) {
  return read_chap(auth, kPropTargetCHAPName, kPropTargetSecret, out);
}

// Runs ConfigureCHAP with one-way credentials, and mutual ones when given. Without a policy, CHAP in
// use keeps its own.
IMA_STATUS configure(const Auth& auth, const Chap& one_way, const Chap* mutual, const char* policy) {
  char current[kTextSize] = "";
  if (policy == nullptr && auth.kind() != Method::kNone) {
    const uint32_t read = auth.read(kPropCHAPParam, current);
    if (read != 0) return ErrorCheck(read);
    policy = current;
  }
  ActionParams params;
  params.set_text(kSlotMethod, mutual != nullptr ? kMethodMutual : kMethodOneWay);
  if (mutual != nullptr) {
    params.set_text(kSlotMutualName, mutual->name);
    params.set_text(kSlotMutualSecret, mutual->secret);
  } else {
    params.set_absent(kSlotMutualName);
    params.set_absent(kSlotMutualSecret);
  }
  params.set_text(kSlotName, one_way.name);
  params.set_text(kSlotSecret, one_way.secret);
  set_policy(params, policy);
  return ErrorCheck(invoke_action(auth.group, kActionConfigureCHAP, params));
}

IMA_STATUS delete_chap(const Auth& auth) {
  ActionParams none;
  return ErrorCheck(invoke_action(auth.group, kActionDeleteCHAP, none));
}

// ---- finding the Authentication group ---------------------------------------------------------------

// The SessionLoginOptions of the first session of a target whose connection leads to one of the
// target's portals (portals in order, then sessions in order), or `options` as it was. A session
// whose destination cannot be read leads nowhere.
uint32_t prefer_session(int32_t target, int32_t* options) {
  std::vector<int32_t> sessions;
  uint32_t status = Varu_Get_Child_Tags(target, kGroupSession, &sessions);
  if (status != 0 || sessions.empty()) return status;
  std::vector<std::pair<int32_t, Endpoint>> destinations;
  for (int32_t session : sessions) {
    int32_t connection = 0;
    Endpoint to;
    if (group_at(session, "Connection0", &connection) == 0 && read_destination(connection, &to) == 0) {
      destinations.emplace_back(session, to);
    }
  }
  std::vector<int32_t> portals;
  status = Varu_Get_Child_Tags(target, kGroupTargetPortal, &portals);
  for (size_t i = 0; status == 0 && i < portals.size(); ++i) {
    Endpoint portal;
    status = read_portal(portals[i], &portal);
    for (const auto& [session, to] : destinations) {
      if (status == 0 && same_endpoint(to, portal.address, portal.port)) {
        return group_at(session, kGroupSessionLoginOptions, options);
      }
    }
  }
  return status;
}

enum class Where : uint8_t { kLevel, kSession };

// The Authentication group of a checked identifier's level (with kSession, of the target's matching
// session when there is one), and its method. `policy`, when given, receives the level's CHAPParam,
// read before any session is looked for.
IMA_STATUS find_auth(const IMA_OID& oid, Where where, Auth* auth, char* policy = nullptr) {
  int32_t options = 0;
  uint32_t status = login_options_of(oid, &options);
  if (status == 0 && policy != nullptr) status = GetVaruVal(options, kGroupAuthentication, kPropCHAPParam, policy);
  const bool target =
      oid.objectType == IMA_OBJECT_TYPE_TARGET || oid.objectType == IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET;
  if (status == 0 && where == Where::kSession && target) {
    int32_t target_tag = 0;
    status = Get_Target_tag(oid_tag(oid), &target_tag);
    if (status == 0) status = prefer_session(target_tag, &options);
  }
  if (status == 0) status = group_at(options, kGroupAuthentication, &auth->group);
  if (status == 0) status = auth->read(kPropAuthenticationMethod, auth->method);
  return ErrorCheck(status);
}

// check_oid, then find_auth.
IMA_STATUS open_auth(const IMA_OID& oid, uint32_t types, Auth* auth, Where where = Where::kLevel) {
  const IMA_STATUS status = check_oid(oid, types);
  return status != IMA_STATUS_SUCCESS ? status : find_auth(oid, where, auth);
}

// ---- methods ------------------------------------------------------------------------------------

IMA_STATUS supported_methods(const IMA_OID& oid, uint32_t types, IMA_BOOL settable, IMA_UINT* count,
                             IMA_AUTHMETHOD* methods) {
  if (count == nullptr || methods == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  const IMA_STATUS status = check_oid(oid, types);
  if (status != IMA_STATUS_SUCCESS) return status;
  if (settable > 1) return IMA_ERROR_INVALID_PARAMETER;
  *count = std::min(*count, kMaxMethods);
  const IMA_AUTHMETHOD all[kMaxMethods] = {IMA_AUTHMETHOD_NONE, IMA_AUTHMETHOD_CHAP};
  std::copy(all, all + *count, methods);
  return IMA_STATUS_SUCCESS;
}

// The policy of a method list: one or two distinct methods, NONE or CHAP; NULL when refused.
const char* policy_of_list(IMA_UINT count, const IMA_AUTHMETHOD* methods) {
  if (count == 1 && methods[0] <= IMA_AUTHMETHOD_CHAP) {
    return methods[0] == IMA_AUTHMETHOD_CHAP ? kRequired : kProhibited;
  }
  if (count == 2 && methods[0] <= IMA_AUTHMETHOD_CHAP && methods[1] <= IMA_AUTHMETHOD_CHAP &&
      methods[0] != methods[1]) {
    return methods[0] == IMA_AUTHMETHOD_CHAP ? kPreferred : kDiscouraged;
  }
  return nullptr;
}

IMA_STATUS set_methods(const IMA_OID& oid, uint32_t types, IMA_UINT count, const IMA_AUTHMETHOD* methods,
                       bool entries_first) {
  if (methods == nullptr || count == 0 || count > kMaxMethods) return IMA_ERROR_INVALID_PARAMETER;
  const char* policy = policy_of_list(count, methods);
  if (entries_first && policy == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  IMA_STATUS status = check_oid(oid, types);
  if (status != IMA_STATUS_SUCCESS) return status;
  if (policy == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  status = find_auth(oid, Where::kLevel, &auth);
  if (status != IMA_STATUS_SUCCESS) return status;
  if (policy == kProhibited) return delete_chap(auth);
  // CHAP in use keeps its credentials (both pairs) and takes the new policy; CHAP off is switched
  // on with placeholders.
  Chap one_way = placeholder();
  Chap mutual;
  uint32_t read = 0;
  if (auth.kind() != Method::kNone) read = current_one_way(auth, &one_way);
  if (read == 0 && auth.kind() == Method::kMutual) {
    read = read_chap(auth, kPropInitiatorCHAPName, kPropInitiatorSecret, &mutual);
  }
  if (read != 0) return ErrorCheck(read);
  return configure(auth, one_way, auth.kind() == Method::kMutual ? &mutual : nullptr, policy);
}

// The method list of a level's policy, for a CHAP method in use; NONE alone otherwise.
void methods_in_use(const Auth& auth, const char* policy, IMA_UINT* count, IMA_AUTHMETHOD* methods) {
  struct Row {
    const char* policy;
    IMA_UINT count;
    IMA_AUTHMETHOD methods[kMaxMethods];
  };
  constexpr Row kRows[] = {
      {kPreferred, 2, {IMA_AUTHMETHOD_CHAP, IMA_AUTHMETHOD_NONE}},
      {kDiscouraged, 2, {IMA_AUTHMETHOD_NONE, IMA_AUTHMETHOD_CHAP}},
      {kRequired, 1, {IMA_AUTHMETHOD_CHAP}},
      {kProhibited, 1, {IMA_AUTHMETHOD_NONE}},
  };
  *count = 0;   // a policy of no known form lists nothing
  const Row none{nullptr, 1, {IMA_AUTHMETHOD_NONE}};
  const Row* found = auth.kind() == Method::kNone ? &none : nullptr;
  for (const Row& row : kRows) {
    if (found == nullptr && std::strcmp(policy, row.policy) == 0) found = &row;
  }
  if (found == nullptr) return;
  *count = found->count;
  std::copy(found->methods, found->methods + found->count, methods);
}

IMA_STATUS in_use_methods(const IMA_OID& oid, bool vmware, IMA_UINT* count, IMA_AUTHMETHOD* methods) {
  if (count == nullptr || methods == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  IMA_STATUS status = check_oid(oid, vmware ? kLevelTypes : kLhbaOnly);
  if (status != IMA_STATUS_SUCCESS) return status;
  Auth auth;
  char policy[kTextSize] = "";
  if (vmware) {
    status = find_auth(oid, Where::kSession, &auth, policy);
  } else {
    status = find_auth(oid, Where::kLevel, &auth);
    if (status == IMA_STATUS_SUCCESS && auth.kind() != Method::kNone) {
      status = ErrorCheck(auth.read(kPropCHAPParam, policy));
    }
  }
  if (status != IMA_STATUS_SUCCESS) return status;
  methods_in_use(auth, policy, count, methods);
  return IMA_STATUS_SUCCESS;
}

// ---- credentials read ---------------------------------------------------------------------------------

// Copies a text into a record field, cut to the field and terminated; returns the length copied.
IMA_UINT put_text(IMA_BYTE* field, size_t size, const char* text) {
  const size_t length = strnlen(text, size - 1);
  std::memcpy(field, text, length);
  field[length] = 0;
  return static_cast<IMA_UINT>(length);
}

// What a getter reports besides the texts.
struct Limits {
  IMA_UINT retries;
  IMA_UINT min_length;
  IMA_UINT max_length;
  bool capacities;   // lengths are the fields' capacities (256), not the texts' lengths
};
constexpr Limits kInitiatorLimits{0, 0, 256, false};
constexpr Limits kLocalLimits{3, 12, 18, true};
constexpr Limits kMutualLimits{3, 12, 16, false};

IMA_STATUS report(const Auth& auth, const char* name_prop, const char* secret_prop, const Limits& limits,
                  IMA_INITIATOR_AUTHPARMS* parms) {
  Chap chap;
  const uint32_t status = read_chap(auth, name_prop, secret_prop, &chap);
  if (status != 0) return ErrorCheck(status);
  IMA_CHAP_INITIATOR_AUTHPARMS& out = parms->chapParms;
  out.nameLength = put_text(out.name, sizeof out.name, chap.name);
  out.challengeSecretLength = put_text(out.challengeSecret, sizeof out.challengeSecret, chap.secret);
  if (limits.capacities) out.nameLength = out.challengeSecretLength = kTextSize;
  out.retries = limits.retries;
  out.minValueLength = limits.min_length;
  out.maxValueLength = limits.max_length;
  return IMA_STATUS_SUCCESS;
}

// A getter's first checks: the record, and the method CHAP; the record is cleared.
bool getter_args(IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS* parms) {
  if (parms == nullptr || method != IMA_AUTHMETHOD_CHAP) return false;
  std::memset(parms, 0, sizeof *parms);
  return true;
}

IMA_STATUS get_one_way(const IMA_OID& oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS* parms) {
  if (!getter_args(method, parms)) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  const IMA_STATUS status = open_auth(oid, kLevelTypes, &auth);
  if (status != IMA_STATUS_SUCCESS || auth.kind() != Method::kOneWay) return status;
  return report(auth, kPropTargetCHAPName, kPropTargetSecret, kInitiatorLimits, parms);
}

IMA_STATUS get_local_one_way(const IMA_OID& oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS* parms,
                             IMA_BOOL* enabled) {
  if (enabled == nullptr || !getter_args(method, parms)) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  const IMA_STATUS status = open_auth(oid, kLocalTypes, &auth, Where::kSession);
  if (status != IMA_STATUS_SUCCESS) return status;
  *enabled = std::strcmp(auth.method, kMethodNone) != 0 ? 1 : 0;
  if (*enabled == 0) return IMA_STATUS_SUCCESS;
  return report(auth, kPropTargetCHAPName, kPropTargetSecret, kLocalLimits, parms);
}

IMA_STATUS get_mutual(const IMA_OID& oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS* parms, bool vmware) {
  if (!getter_args(method, parms)) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  IMA_STATUS status = open_auth(oid, vmware ? kLevelTypes : kLocalTypes, &auth);
  if (status != IMA_STATUS_SUCCESS) return status;
  if (!vmware) return report(auth, kPropInitiatorCHAPName, kPropInitiatorSecret, kMutualLimits, parms);
  uint32_t word = IMA_VMW_CHAP_PROHIBITED;
  if (auth.kind() == Method::kMutual) {
    status = report(auth, kPropInitiatorCHAPName, kPropInitiatorSecret, kMutualLimits, parms);
    if (status != IMA_STATUS_SUCCESS) return status;
    // A policy that cannot be read counts as required.
    char policy[kTextSize];
    word = auth.read(kPropCHAPParam, policy) != 0 || std::strcmp(policy, kRequired) == 0 ? IMA_VMW_CHAP_REQUIRED
           : std::strcmp(policy, kPreferred) == 0                                       ? IMA_VMW_CHAP_PREFERRED
                                                                                         : IMA_VMW_CHAP_DISCOURAGED;
  }
  std::memcpy(parms->chapParms.reserved, &word, sizeof word);
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS get_mutual_list(const IMA_OID& oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS_LIST** list) {
  if (list == nullptr || method != IMA_AUTHMETHOD_CHAP) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  IMA_STATUS status = open_auth(oid, kLhbaOnly, &auth);
  if (status != IMA_STATUS_SUCCESS) return status;
  std::unique_ptr<IMA_INITIATOR_AUTHPARMS_LIST, decltype(&std::free)> out(
      static_cast<IMA_INITIATOR_AUTHPARMS_LIST*>(std::calloc(1, sizeof(IMA_INITIATOR_AUTHPARMS_LIST))), &std::free);
  if (out == nullptr) return IMA_ERROR_GENERAL;
  status = report(auth, kPropInitiatorCHAPName, kPropInitiatorSecret, kInitiatorLimits, &out->authParms[0]);
  if (status != IMA_STATUS_SUCCESS) {
    *list = nullptr;   // the list is freed: nothing is handed out
    return status;
  }
  out->authParmsCount = 1;
  *list = out.release();
  return IMA_STATUS_SUCCESS;
}

// ---- credentials set ------------------------------------------------------------------------------

// One-way CHAP with the caller's credentials. With `vmware` the policy word decides (PROHIBITED
// switches CHAP off) and the secret must have 12 to 16 characters.
IMA_STATUS set_one_way(const IMA_OID& oid, uint32_t types, IMA_AUTHMETHOD method,
                       const IMA_INITIATOR_AUTHPARMS* parms, bool vmware) {
  if (parms == nullptr || method > IMA_AUTHMETHOD_CHAP) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  const IMA_STATUS status = open_auth(oid, types, &auth);
  if (status != IMA_STATUS_SUCCESS) return status;
  if (!vmware && method == IMA_AUTHMETHOD_NONE) return IMA_STATUS_SUCCESS;
  const uint32_t word = vmware ? policy_word(*parms) : 0;
  if (word == IMA_VMW_CHAP_PROHIBITED) return delete_chap(auth);
  Chap chap;
  if (!caller_chap(*parms, vmware, &chap)) return IMA_ERROR_INVALID_PARAMETER;
  return configure(auth, chap, nullptr, policy_of_word(word));
}

IMA_STATUS set_local_one_way(const IMA_OID& oid, IMA_AUTHMETHOD method, const IMA_INITIATOR_AUTHPARMS* parms,
                             IMA_BOOL enable) {
  if (parms == nullptr || method != IMA_AUTHMETHOD_CHAP) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  const IMA_STATUS status = open_auth(oid, kLocalTypes, &auth);
  if (status != IMA_STATUS_SUCCESS) return status;
  if (enable != 1) return delete_chap(auth);
  Chap chap;
  if (!caller_chap(*parms, true, &chap)) return IMA_ERROR_INVALID_PARAMETER;
  return configure(auth, chap, nullptr, nullptr);
}

// Mutual CHAP with the caller's credentials added to the one-way CHAP in use, whose credentials and
// (unless the policy word gives one) policy stay. Without one-way CHAP there is nothing to add to.
IMA_STATUS add_mutual(const IMA_OID& oid, uint32_t types, IMA_AUTHMETHOD method, const IMA_INITIATOR_AUTHPARMS* parms,
                      bool rule_always) {
  if (parms == nullptr || method != IMA_AUTHMETHOD_CHAP) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  const IMA_STATUS status = open_auth(oid, types, &auth);
  if (status != IMA_STATUS_SUCCESS) return status;
  const uint32_t word = policy_word(*parms);
  Chap mutual;
  if ((rule_always || word != IMA_VMW_CHAP_PROHIBITED) && !caller_chap(*parms, true, &mutual)) {
    return IMA_ERROR_INVALID_PARAMETER;
  }
  if (word == IMA_VMW_CHAP_PROHIBITED) return IMA_STATUS_SUCCESS;
  if (auth.kind() == Method::kNone) return IMA_ERROR_INVALID_PARAMETER;
  Chap one_way;
  const uint32_t read = current_one_way(auth, &one_way);
  return read != 0 ? ErrorCheck(read) : configure(auth, one_way, &mutual, policy_of_word(word));
}

// Ends mutual CHAP: the one-way CHAP under it stays with its credentials and policy.
IMA_STATUS end_mutual(const Auth& auth) {
  if (auth.kind() != Method::kMutual) return IMA_STATUS_SUCCESS;
  Chap one_way;
  const uint32_t read = current_one_way(auth, &one_way);
  return read != 0 ? ErrorCheck(read) : configure(auth, one_way, nullptr, nullptr);
}

// Mutual CHAP switched on or off at a target or SendTargets portal. On: with the caller's mutual
// credentials (`parms`) or placeholders, over the one-way CHAP in use (its credentials and policy
// kept) or placeholder one-way credentials, with the policy "Required" when the caller gave
// credentials.
IMA_STATUS set_local_mutual(const IMA_OID& oid, IMA_AUTHMETHOD method, const IMA_INITIATOR_AUTHPARMS* parms,
                            bool parms_needed, IMA_BOOL enable) {
  if ((parms_needed && parms == nullptr) || method != IMA_AUTHMETHOD_CHAP) return IMA_ERROR_INVALID_PARAMETER;
  Auth auth;
  const IMA_STATUS status = open_auth(oid, kLocalTypes, &auth);
  if (status != IMA_STATUS_SUCCESS) return status;
  if (enable != 1) return end_mutual(auth);
  Chap mutual;
  if (parms != nullptr && !caller_chap(*parms, false, &mutual)) return IMA_ERROR_INVALID_PARAMETER;
  if (parms == nullptr && auth.kind() == Method::kMutual) return IMA_STATUS_SUCCESS;   // already on
  if (auth.kind() == Method::kNone) {
    if (parms == nullptr) mutual = placeholder();
    return configure(auth, placeholder(mutual.secret), &mutual, parms != nullptr ? kRequired : nullptr);
  }
  Chap one_way;
  const uint32_t read = current_one_way(auth, &one_way);
  if (read != 0) return ErrorCheck(read);
  if (parms == nullptr) mutual = placeholder(one_way.secret);
  return configure(auth, one_way, &mutual, nullptr);
}

}  // namespace
}  // namespace vx

using namespace vx;

extern "C" {

IMA_API IMA_STATUS IMA_GetSupportedAuthMethods(IMA_OID lhbaOid, IMA_BOOL getSettableMethods, IMA_UINT* methodCount,
                                               IMA_AUTHMETHOD* methodList) {
  return guarded([&] { return supported_methods(lhbaOid, kLhbaOnly, getSettableMethods, methodCount, methodList); });
}

IMA_API IMA_STATUS IMA_VMW_GetSupportedAuthMethods(IMA_OID oid, IMA_BOOL getSettableMethods, IMA_UINT* methodCount,
                                                   IMA_AUTHMETHOD* methodList) {
  return guarded([&] { return supported_methods(oid, kLevelTypes, getSettableMethods, methodCount, methodList); });
}

IMA_API IMA_STATUS IMA_VMW_GetSupportedMutualAuthMethods(IMA_OID, IMA_BOOL, IMA_UINT*, IMA_AUTHMETHOD*) {
  return IMA_ERROR_NOT_SUPPORTED;
}

IMA_API IMA_STATUS IMA_VMW_SetMutualAuthMethods(IMA_OID, IMA_UINT, const IMA_AUTHMETHOD*) {
  return IMA_ERROR_NOT_SUPPORTED;
}

IMA_API IMA_STATUS IMA_SetInitiatorAuthMethods(IMA_OID lhbaOid, IMA_UINT methodCount,
                                               const IMA_AUTHMETHOD* methodList) {
  return guarded([&] { return set_methods(lhbaOid, kLhbaOnly, methodCount, methodList, true); });
}

IMA_API IMA_STATUS IMA_VMW_SetInitiatorAuthMethods(IMA_OID oid, IMA_UINT methodCount,
                                                   const IMA_AUTHMETHOD* methodList) {
  return guarded([&] { return set_methods(oid, kLevelTypes, methodCount, methodList, false); });
}

IMA_API IMA_STATUS IMA_GetInUseInitiatorAuthMethods(IMA_OID lhbaOid, IMA_UINT* methodCount,
                                                    IMA_AUTHMETHOD* methodList) {
  return guarded([&] { return in_use_methods(lhbaOid, false, methodCount, methodList); });
}

IMA_API IMA_STATUS IMA_VMW_GetInUseInitiatorLocalAuthMethods(IMA_OID oid, IMA_UINT* methodCount,
                                                             IMA_AUTHMETHOD* methodList) {
  return guarded([&] { return in_use_methods(oid, true, methodCount, methodList); });
}

IMA_API IMA_STATUS IMA_GetInitiatorAuthParms(IMA_OID oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS* parms) {
  return guarded([&] { return get_one_way(oid, method, parms); });
}

IMA_API IMA_STATUS IMA_SetInitiatorAuthParms(IMA_OID lhbaOid, IMA_AUTHMETHOD method,
                                             const IMA_INITIATOR_AUTHPARMS* parms) {
  return guarded([&] { return set_one_way(lhbaOid, kLhbaOnly, method, parms, false); });
}

IMA_API IMA_STATUS IMA_VMW_SetInitiatorAuthParms(IMA_OID oid, IMA_AUTHMETHOD method,
                                                 const IMA_INITIATOR_AUTHPARMS* parms) {
  return guarded([&] { return set_one_way(oid, kLevelTypes, method, parms, true); });
}

IMA_API IMA_STATUS IMA_GetInitiatorLocalAuthParms(IMA_OID oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS* parms,
                                                  IMA_BOOL* enabled) {
  return guarded([&] { return get_local_one_way(oid, method, parms, enabled); });
}

IMA_API IMA_STATUS IMA_SetInitiatorLocalAuthParms(IMA_OID oid, IMA_AUTHMETHOD method,
                                                  const IMA_INITIATOR_AUTHPARMS* parms, IMA_BOOL enable) {
  return guarded([&] { return set_local_one_way(oid, method, parms, enable); });
}

IMA_API IMA_STATUS IMA_AddLhbaMutualAuthParms(IMA_OID lhbaOid, IMA_AUTHMETHOD method,
                                              const IMA_INITIATOR_AUTHPARMS* parms) {
  return guarded([&] { return add_mutual(lhbaOid, kLhbaOnly, method, parms, true); });
}

IMA_API IMA_STATUS IMA_GetLhbaMutualAuthParmsList(IMA_OID lhbaOid, IMA_AUTHMETHOD method,
                                                  IMA_INITIATOR_AUTHPARMS_LIST** list) {
  return guarded([&] { return get_mutual_list(lhbaOid, method, list); });
}

IMA_API IMA_STATUS IMA_RemoveLhbaMutualAuthParms(IMA_OID lhbaOid, IMA_AUTHMETHOD method,
                                                 const IMA_INITIATOR_AUTHPARMS* parms) {
  return guarded([&] {
    if (parms == nullptr || method != IMA_AUTHMETHOD_CHAP) return IMA_ERROR_INVALID_PARAMETER;
    Auth auth;
    const IMA_STATUS status = open_auth(lhbaOid, kLhbaOnly, &auth);
    return status != IMA_STATUS_SUCCESS ? status : end_mutual(auth);
  });
}

IMA_API IMA_STATUS IMA_GetMutualLocalAuthParms(IMA_OID oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS* parms) {
  return guarded([&] { return get_mutual(oid, method, parms, false); });
}

IMA_API IMA_STATUS IMA_VMW_GetMutualAuthParms(IMA_OID oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS* parms) {
  return guarded([&] { return get_mutual(oid, method, parms, true); });
}

IMA_API IMA_STATUS IMA_VMW_SetMutualAuthParms(IMA_OID oid, IMA_AUTHMETHOD method,
                                              const IMA_INITIATOR_AUTHPARMS* parms) {
  return guarded([&] { return add_mutual(oid, kLevelTypes, method, parms, false); });
}

IMA_API IMA_STATUS IMA_SetMutualLocalAuthParms(IMA_OID oid, IMA_AUTHMETHOD method,
                                               const IMA_INITIATOR_AUTHPARMS* parms, IMA_BOOL enable) {
  return guarded([&] { return set_local_mutual(oid, method, parms, true, enable); });
}

IMA_API IMA_STATUS IMA_SetMutualLocalAuth(IMA_OID oid, IMA_AUTHMETHOD method, IMA_BOOL enable) {
  return guarded([&] { return set_local_mutual(oid, method, nullptr, false, enable); });
}

}  // extern "C"
