// The iSCSI commands of the simulated firmware (subsystem 6, and QoS and ping): persistent targets
// that log in at once, the session table, session configuration, logout, the boot flag, QoS, ping
// and the SCSI pass-through to the remote targets of the configuration's network.
#pragma once

#include <functional>

#include "sim/firmware.h"
#include "sim/iscsi_state.h"

namespace vx::sim {

// The plain acceptance: status 0, the payload left as sent.
Answer echo(const Command& c);
// A change of the function's iSCSI state: `done` when made, kAnswerInvalidField when `edit`
// declines, kAnswerFlashFailure when the state file cannot be written.
Answer change(Command& c, const std::function<bool(IscsiState&)>& edit, Answer done);

Answer add_persistent_target(Command& c);
Answer del_persistent_target(Command& c);
Answer list_sessions(Command& c);
Answer get_session(Command& c);
Answer get_session_config(Command& c);
Answer set_session_config(Command& c);
Answer login_target(Command& c);      // target and discovery logins
Answer logout_session(Command& c);
Answer set_boot_target(Command& c);
Answer get_qos(Command& c);
Answer set_qos(Command& c);
Answer ping(Command& c);
Answer scsi_passthru(Command& c);   // scsi_target.cpp

// The factory content of a boot-settings region (2 or 3) of a port the adapter has, when the
// configuration gives none: a header and one small TLV. False for any other object.
bool default_region_image(const Adapter& adapter, const std::string& name, std::string* out);

// SendTargets discovery and the firmware's target database (discovery_firmware.cpp).
Answer send_targets(Command& c);
Answer send_targets_more(Command& c);   // the continuation, generation 5
Answer get_fw_config(Command& c);
Answer get_target_ids(Command& c);
Answer get_target(Command& c);

}  // namespace vx::sim
