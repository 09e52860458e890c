// Identifiers: what node each object type stands for, the checks every entry point runs first,
// the mapping of hierarchy statuses, and the lists handed to the host.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ima/front.h"
#include "schema/names_controller.h"
#include "schema/names_iscsi.h"
#include "schema/names_iscsi_phba.h"

namespace vx {
namespace {

constexpr int32_t kMaxObjectType = 16;
constexpr uint32_t kStaleTag = 0xFFFFFFFFu;   // the hierarchy's "no such node" (-1)
constexpr uint32_t kImaCodeBit = 0x80000000u;

// How the name of an identifier's node is recognised. The front end only ever issues identifiers
// of nodes named exactly so, which keeps out groups whose names merely contain the word
// (NICLogicalHBA0, SessionLoginOptions, SendTargetPortal0 as a "Target").
enum class NameForm : uint8_t {
  kNone,          // no node stands for the type
  kInstance,      // the group name and an instance number (LogicalHBA0)
  kStatic,        // the group name itself (TCPIPConfiguration)
  kChildOfInstance,   // any child of such an instance (a target's portals, sessions, LUNs)
};

struct TypeName {
  const char* name;
  NameForm form;
};

constexpr TypeName kTypeNames[] = {
    /*  0 */ {nullptr, NameForm::kNone},
    /*  1 plug-in */ {nullptr, NameForm::kNone},
    /*  2 node */ {nullptr, NameForm::kNone},
    /*  3 */ {kGroupLogicalHBA, NameForm::kInstance},
    /*  4 */ {kGroupiSCSIPhysicalHBA, NameForm::kInstance},
    /*  5 */ {kGroupPhbaTCPIPConfiguration, NameForm::kStatic},
    /*  6 portal group */ {nullptr, NameForm::kNone},
    /*  7 */ {kGroupiSCSIPhysicalHBA, NameForm::kInstance},
    /*  8 */ {kGroupPhbaNICConfiguration, NameForm::kStatic},
    /*  9 */ {kGroupTarget, NameForm::kChildOfInstance},
    /* 10 */ {kGroupLUN, NameForm::kInstance},
    /* 11 */ {kGroupSendTargetPortal, NameForm::kInstance},
    /* 12 */ {kGroupTarget, NameForm::kChildOfInstance},
    /* 13 */ {kGroupConnection, NameForm::kInstance},
    /* 14 */ {kGroupSession, NameForm::kInstance},
};
constexpr int32_t kTypeCount = static_cast<int32_t>(sizeof kTypeNames / sizeof kTypeNames[0]);

bool name_matches(const char* shown, const TypeName& want) {
  const size_t length = std::strlen(want.name);
  if (std::strncmp(shown, want.name, length) != 0) return false;
  const char* rest = shown + length;
  if (want.form == NameForm::kStatic) return *rest == '\0';
  if (*rest == '\0') return false;
  for (; *rest != '\0'; ++rest) {
    if (*rest < '0' || *rest > '9') return false;
  }
  return true;
}

// Child groups that only a node of the type has, made with it: an entry point whose walk goes down
// through one has the node's kind proven by finding it, and the name is not looked up as well. A
// test holds each row against the name test over a whole tree.
struct KindProof {
  int32_t type;
  const char* child;
};
constexpr KindProof kKindProofs[] = {
    {IMA_OBJECT_TYPE_LHBA, kGroupInitiatoriSCSIName},
    {IMA_OBJECT_TYPE_PHBA, kGroupPhbaNetwork},
    {IMA_OBJECT_TYPE_LNP, kGroupPhbaNetwork},
};

// The length of the path's first group name.
size_t first_part(const char* path) { return std::strcspn(path, "/"); }

}  // namespace

bool walk_proves(int32_t type, const char* path) {
  if (path == nullptr) return false;
  const size_t length = first_part(path);
  for (const KindProof& proof : kKindProofs) {
    if (proof.type == type && std::strlen(proof.child) == length && std::strncmp(proof.child, path, length) == 0) {
      return true;
    }
  }
  return false;
}

IMA_OID make_oid(uint32_t type, int32_t tag) {
  return IMA_OID{type, ima_owner_id(), static_cast<uint32_t>(tag), tag < 0 ? 0xFFFFFFFFu : 0u};
}

IMA_STATUS ValidateOidTag(int32_t type, uint32_t owner_id, int32_t tag, uint32_t /*seq_high*/) {
  if (type < 0 || type >= kTypeCount || kTypeNames[type].form == NameForm::kNone) {
    return IMA_ERROR_INCORRECT_OBJECT_TYPE;
  }
  const TypeName& want = kTypeNames[type];
  int32_t node = tag;
  if (want.form == NameForm::kChildOfInstance && Get_Target_tag(tag, &node) != 0) return IMA_ERROR_OBJECT_NOT_FOUND;
  char shown[VARU_NAME_SIZE] = "";
  if (VARU_get_node_name(node, shown, VARU_KIND_GROUP) != 0) return IMA_ERROR_OBJECT_NOT_FOUND;
  if (!name_matches(shown, want)) return IMA_ERROR_OBJECT_NOT_FOUND;
  return owner_id == ima_owner_id() ? IMA_STATUS_SUCCESS : IMA_ERROR_OBJECT_NOT_FOUND;
}

IMA_STATUS CheckParameters(int32_t type, uint32_t owner_id, int32_t seq_low, uint32_t seq_high, uint32_t mask) {
  if (type < 1 || type > kMaxObjectType) return IMA_ERROR_INVALID_OBJECT_TYPE;
  if (type > 15 || (mask & (1u << type)) == 0) return IMA_ERROR_INCORRECT_OBJECT_TYPE;
  return ValidateOidTag(type, owner_id, seq_low, seq_high);
}

IMA_STATUS check_oid(const IMA_OID& oid, uint32_t mask) {
  return CheckParameters(static_cast<int32_t>(oid.objectType), oid.ownerId, oid_tag(oid), oid.sequenceHigh, mask);
}

IMA_STATUS check_oid_at(const IMA_OID& oid, uint32_t mask, const char* path, int32_t* at) {
  const auto type = static_cast<int32_t>(oid.objectType);
  if (!walk_proves(type, path)) {
    const IMA_STATUS checked = check_oid(oid, mask);
    if (checked != IMA_STATUS_SUCCESS) return checked;
    const uint32_t walk = group_at(oid_tag(oid), path != nullptr ? path : "", at);
    return walk == 0 ? IMA_STATUS_SUCCESS : ErrorCheck(walk);
  }
  if ((mask & (1u << type)) == 0) return IMA_ERROR_INCORRECT_OBJECT_TYPE;
  if (oid.ownerId != ima_owner_id()) return IMA_ERROR_OBJECT_NOT_FOUND;
  // The proving group not found is a node of another kind (or none): refused as by its name.
  char first[VARU_NAME_SIZE];
  const size_t length = first_part(path);
  if (length >= sizeof first) return IMA_ERROR_OBJECT_NOT_FOUND;
  std::memcpy(first, path, length);
  first[length] = '\0';
  int32_t proven = 0;
  if (group_at(oid_tag(oid), first, &proven) != 0) return IMA_ERROR_OBJECT_NOT_FOUND;
  const uint32_t walk = group_at(proven, path[length] == '/' ? path + length + 1 : "", at);
  return walk == 0 ? IMA_STATUS_SUCCESS : ErrorCheck(walk);
}

IMA_STATUS ErrorCheck(uint32_t status) {
  if (status == 0) return IMA_STATUS_SUCCESS;
  if (status == kStaleTag) return IMA_ERROR_OBJECT_NOT_FOUND;
  if (status == VARU_FAILED) {
    ppdebug("in Error check and failed in VARU\n");
    return IMA_ERROR_INVALID_PARAMETER;
  }
  if ((status & kImaCodeBit) != 0) return status;
  // Neither success nor an IMA code: never passed on as it is, since the host would read it as a
  // success. The hierarchy's own reason stays in its last status.
  if (status == VARU_LOCK_TIMEOUT) {
    ppdebug("in Error check: hierarchy lock not obtained (status %u)\n", status);
    return IMA_ERROR_SYNC_TIMEOUT;
  }
  uint32_t code = 0;
  char text[VARU_STATUS_TEXT_SIZE] = "";
  VARU_get_last_status(&code, text);
  ppdebug("in Error check: hierarchy status %u, last status %u \"%s\"\n", status, code, text);
  return IMA_ERROR_GENERAL;
}

IMA_STATUS publish_oids(uint32_t type, const std::vector<int32_t>& tags, IMA_OID_LIST** out, IMA_STATUS no_memory) {
  const size_t bytes = offsetof(IMA_OID_LIST, oids) + tags.size() * sizeof(IMA_OID);
  auto* list = static_cast<IMA_OID_LIST*>(std::calloc(1, bytes));
  if (list == nullptr) return no_memory;
  list->oidCount = static_cast<IMA_UINT>(tags.size());
  IMA_OID* oids = list->oids;   // oidCount entries follow the count
  for (size_t i = 0; i < tags.size(); ++i) oids[i] = make_oid(type, tags[i]);
  *out = list;
  return IMA_STATUS_SUCCESS;
}

}  // namespace vx

using namespace vx;

extern "C" {

IMA_API IMA_STATUS IMA_VMW_CheckSupportedParameterLevel(IMA_OID oid) {
  constexpr uint32_t kSettable = oid_types({3, 5, 7, 8, 9, 11, 12});
  const int32_t type = static_cast<int32_t>(oid.objectType);
  if (type < 1 || type > kMaxObjectType) return IMA_ERROR_INVALID_OBJECT_TYPE;
  return (kSettable & (1u << type)) != 0 ? IMA_STATUS_SUCCESS : IMA_ERROR_INCORRECT_OBJECT_TYPE;
}

IMA_API IMA_STATUS IMA_GetSharedNodeOid(IMA_OID* nodeOid) {
  if (nodeOid == nullptr) return IMA_ERROR_INVALID_PARAMETER;
  char path[4 * VARU_NAME_SIZE];
  std::snprintf(path, sizeof path, "%s0/%s0/%s0/%s", kGroupVexalon, kGroupiSCSIPhysicalHBA, kGroupLogicalHBA,
                kGroupInitiatoriSCSIName);
  int32_t tag = 0;
  const uint32_t status = group_at(0, path, &tag);
  if (status != 0) return ErrorCheck(status);
  *nodeOid = make_oid(IMA_OBJECT_TYPE_NODE, tag);
  return IMA_STATUS_SUCCESS;
}

}  // extern "C"
