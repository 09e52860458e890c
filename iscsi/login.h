// Login to a target and logout of its sessions: the Login and Logout actions of a Target, and the
// login core that sends the firmware's login command and tries it again over the CHAP and digest
// choices the login-option policies allow. SendTargets discovery logs in through the same core.
#pragma once

#include <cstdint>

#include "engine/hm.h"
#include "iscsi/records.h"

namespace vx {

constexpr uint32_t kStatusPortalNotFound = 29;
constexpr uint32_t kStatusEtoFailed = 58;
constexpr uint32_t kStatusLunInfo = 90;
constexpr uint32_t kStatusMaxSessions = 118;
constexpr uint32_t kStatusActiveBootSession = 126;
constexpr uint32_t kStatusNoSessionToLogout = 174;
constexpr uint32_t kStatusLoginCommandFailed = 237;
constexpr uint32_t kStatusNoSuchTargetHere = 144;
constexpr uint32_t kStatusHostUnreachable = 32;
constexpr uint32_t kMaxSessionsPerTarget = 64;

enum LoginMode : uint32_t { kDiscoveryLogin = 0, kTargetLogin = 1 };

// One choice list of the tries: on (1) or off (0), in order.
struct TryList {
  uint8_t choices[2];
  uint8_t count;
};
// The CHAP tries of a CHAPParam text; false for a text that allows none.
bool chap_tries(const char* policy, TryList* out);
// The digest tries of a HeaderParam or DataParam text.
TryList digest_tries(const char* policy);

// Sends `request` (prepared by the caller) as a login through `options_group`'s level (a Target's
// TargetLoginOptions, or a SendTargetPortal's options in discovery mode), one try per choice of the
// lists, CHAP outermost. A target login registers the persistent target once per try unless
// `session_found` (VARU_get_isid) says a session is reused. On success the firmware's answer
// (login_reply) stands in `request`, *used_isid (when given) gets the ISID qualifier of the try and
// *registered_here (when given) tells whether the registration that stands was made by this call.
// 0; else 1 or the status of the last try (25 and 243 with their texts, 237 for any other refusal
// of a target login).
uint32_t VARU_esx_login(hm_node* node, hm_node* options_group, login_target_request* request, char params[6][256],
                        const char* initiator_name, uint32_t session_found, uint32_t mode,
                        uint32_t* used_isid = nullptr, bool* registered_here = nullptr);

}  // namespace vx
