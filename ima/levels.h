// The login-option levels that authentication and login parameters share: a logical HBA (the
// initiator's own options), a target (named by one of its portals) and a SendTargets portal.
#pragma once

#include <cstdint>

#include "ima/front.h"

namespace vx {

// LHBA, TARGET, DISCOVERY_ADDRESS and STATIC_DISCOVERY_TARGET.
constexpr uint32_t kLevelTypes = oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_TARGET,
                                            IMA_OBJECT_TYPE_DISCOVERY_ADDRESS,
                                            IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET});

// The login-options group of a checked identifier's level: InitiatorLoginOptions of a logical HBA,
// TargetLoginOptions of the target above a portal, SendTargetPortalLoginOptions of a SendTargets
// portal. A hierarchy status.
uint32_t login_options_of(const IMA_OID& oid, int32_t* group);
// The logical HBA of a checked identifier's level.
uint32_t lhba_of_level(const IMA_OID& oid, int32_t* lhba);

}  // namespace vx
