// The simulated firmware's profiles: the profile list and capabilities, the active, next and
// configured profile with its resource descriptors, the link configurations, ARI, reset-needed,
// multichannel capabilities, the configured personality and the older configuration blocks. What
// writes change lives in the adapter's state file "records/profiles", so a second process sees it.
#pragma once

#include "sim/firmware.h"

namespace vx::sim {

// The answer of a profile command on an adapter without profiles (or without ARI, or link
// configurations): the pair the library reads as "not supported by this firmware" (213).
constexpr Answer kAnswerNoProfiles{1, 30, 0};

Answer get_profile_config(Command& command);    // 164/1 (version 1; version 0: common profile block)
Answer set_profile_config(Command& command);    // 165/1
Answer get_profile_list(Command& command);      // 166/1
Answer get_profile_caps(Command& command);      // 161/1
Answer get_active_profile(Command& command);    // 167/1
Answer set_active_profile(Command& command);    // 168/1
Answer get_link_reconfig(Command& command);     // 201/1
Answer set_link_reconfig(Command& command);     // 202/1
Answer get_ari(Command& command);               // 94/1
Answer set_ari(Command& command);               // 95/1
Answer get_reset_needed(Command& command);      // 84/1
Answer get_mc_capabilities(Command& command);   // 123/1
Answer get_configured_personality(Command& command);   // 114/1
Answer get_vx_conf(Command& command);           // 81/1 (version 0: 836 bytes, 1: 1092)
Answer set_vx_conf(Command& command);           // 82/1

}  // namespace vx::sim
