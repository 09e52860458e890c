#include "ima/levels.h"

#include "schema/names_iscsi.h"

namespace vx {

uint32_t login_options_of(const IMA_OID& oid, int32_t* group) {
  const int32_t tag = oid_tag(oid);
  if (oid.objectType == IMA_OBJECT_TYPE_LHBA) return group_at(tag, kGroupInitiatorLoginOptions, group);
  if (oid.objectType == IMA_OBJECT_TYPE_DISCOVERY_ADDRESS) {
    return group_at(tag, kGroupSendTargetPortalLoginOptions, group);
  }
  int32_t target = 0;
  const uint32_t status = Get_Target_tag(tag, &target);
  return status != 0 ? status : group_at(target, kGroupTargetLoginOptions, group);
}

uint32_t lhba_of_level(const IMA_OID& oid, int32_t* lhba) {
  // A portal sits under its Target, a SendTargets portal under Discovery, both under the LHBA.
  int32_t tag = oid_tag(oid);
  for (int up = oid.objectType == IMA_OBJECT_TYPE_LHBA ? 0 : 2; up > 0; --up) {
    const uint32_t status = parent_of(tag, &tag);
    if (status != 0) return status;
  }
  *lhba = tag;
  return 0;
}

}  // namespace vx
