// The mirror of the firmware's sessions: Session and Connection instances under their Target,
// refreshed from the active-session list and one session record per session; the target's
// extended time-out (ETO) through the session configuration; a session's boot flag; and the check
// that clears closed sessions before a target or portal goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/hm.h"
#include "iscsi/common.h"
#include "iscsi/records.h"

namespace vx {

constexpr uint32_t kStatusNoMemory = 16;
constexpr uint32_t kStatusTargetNotFound = 19;
constexpr uint32_t kStatusInsufficientBuffer = 31;
constexpr uint32_t kStatusNoSessionIds = 84;
constexpr uint32_t kStatusGetSessionFailed = 85;
constexpr uint32_t kStatusGetSessionConfigFailed = 86;
constexpr uint32_t kStatusSetSessionConfigFailed = 87;
constexpr uint32_t kStatusSetBootTargetFailed = 258;
constexpr uint32_t kStatusBootTlvAddFailed = 306;
constexpr uint32_t kStatusBootTlvDeleteFailed = 307;
constexpr uint32_t kStatusSessionWithoutRecord = 335;

// A session's commands go to its own port; the domain and physical port are those of its HBA.
CommandAddress session_address(hm_node* session);
// Clears a closed boot session's boot flag and, on generation 5, its boot TLV. 0, or 1 (307).
uint32_t clear_boot_session(hm_node* session, uint32_t generation, const CommandAddress& at);

// SessionStatus of a state word.
const char* session_state_text(uint32_t state);
// True for "Closed" and "Login Failed" (case ignored): a session that is not logged in.
bool session_inactive(const std::string& status);
// The negotiated values of a session record as one login-options block.
login_options negotiated_of(const session_info& info);

// The session configuration of firmware session `handle`: size query, then the record. 0, or 31 /
// 86 with the last status.
uint32_t fetch_session_config(const CommandAddress& at, uint32_t handle, session_config* out);

// Fetches the record of firmware session `handle`; false when the command fails.
bool VARU_get_session_params(uint32_t handle, const CommandAddress& at, session_info* out);

// The firmware's active session handles (the count clamped to what the answer holds). 0, or 31 /
// 84 with the last status.
uint32_t fetch_active_session_ids(const CommandAddress& at, std::vector<uint32_t>* ids);

// A session is gone only when the adapter's list says so. How a read of one ended:
enum class SessionRead {
  kRead,
  kGone,     // the read failed and the adapter no longer lists the session: it ended meanwhile, and
             // whatever was reading it goes on without it (the last status is left as before)
  kUnread,   // the read failed and the session is still listed, or the list cannot be read: in
             // use, and the last status says why (85, or the list's 31 / 84)
};
// The record of firmware session `handle` of the function of `at`; after a failed read the list is
// asked again.
SessionRead read_listed_session(const CommandAddress& at, uint32_t handle, session_info* info);
// When a Session of the tree found gone leaves it, with its Connection.
enum class GoneSession {
  kLeavesTreeNow,        // where no caller holds it
  kLeavesTreeAtCallEnd,  // when the public call ends, once the adapter's list still leaves it out
};
// The same for a Session of the tree, at its own port; kGone takes it out of the tree as `gone`
// says. One without a backend record is kUnread (status 335).
SessionRead read_mirrored_session(hm_node* session, session_info* info, GoneSession gone);
// Writes what a session record tells into its Session and Connection. 0, or 1.
uint32_t show_session_info(const CommandAddress& at, hm_node* session, const session_info& info);
// Mirrors the firmware's sessions (of `target` only, when given). 0, or 1 / 31 with the last status.
uint32_t get_all_sessions(hm_node* lhba, const CommandAddress& at, hm_node* target, char params[6][256]);
// Refreshes one Session and its Connection from the firmware. 0, or 1 (status 85).
uint32_t get_session_attribs(const CommandAddress& at, hm_node* session);

// A session an adapter holds: its initiator name and ISID qualifier.
struct HeldSession {
  std::string initiator;
  uint32_t isid;
};
// The sessions of that target name that the adapters hold now, on every logical HBA of every
// adapter: its active-session list once, then the record of each listed session this process does
// not mirror (another process's); one it mirrors under a Target of that name counts with the
// qualifier its mirror shows, and one mirrored under another name is that target's. With `prune`,
// the records of the sessions mirrored under that name are read too: one the adapter no longer
// lists, or lists for another target, leaves the tree; the others show what was read. A record that
// cannot be read is asked after in the list again (read_listed_session): gone, the session is not
// in use and leaves the tree; still listed, a mirrored one holds the qualifier its mirror shows,
// and one not mirrored (whose qualifier nobody here knows) fails the read. 0, or non-zero with the
// last status: a list's failure (31 / 84) or a read's (85).
uint32_t read_sessions_named(const char* target_name, bool prune, std::vector<HeldSession>* held);
uint32_t VARU_update_connection_props(const session_info& info, hm_node* session);
// The Session (and Connection) of the target that the firmware's session in `params` (address,
// port, initiator name, ISID qualifier) already mirrors. 0 (found set when one does), 1 or 335.
uint32_t VARU_check_for_duplicate_session(hm_node* target, const CommandAddress& at, char params[6][256],
                                          uint32_t* found, hm_node** session, hm_node** connection);

// The target's ETO from its first session that the adapter still lists (one logged out since it was
// mirrored is passed over). 0, or 1 without one, or the read's 31 / 86.
uint32_t get_eto_prop(const CommandAddress& at, hm_node* target);
uint32_t set_eto_prop(const CommandAddress& at, hm_node* target, const char* eto, uint32_t session_handle);
// ETO of every target without a session: the controller's default.
uint32_t refresh_eto(hm_node* lhba, const CommandAddress& at);

// Sets or clears a session's boot flag in the firmware ("True" / "False"); 0 also when it is set so.
uint32_t VARU_configure_boot_target(hm_node* session, uint32_t session_flags, const char* value,
                                    const CommandAddress& at);
// Deletes a Session with its Connection and reads the target's LUNs again.
uint32_t VARU_cleanup_sessions(hm_node* target, hm_node* session, const CommandAddress& at);

// Mode 1: only the sessions through `portal`; else every session of the target. Sessions that
// are closed or failed lose their persistence (and a boot session its boot flag and TLV) and leave
// the hierarchy; *active becomes 1 when another session is logged in. 0, or 1 (307 for a boot TLV
// failure, 127 when the firmware keeps a registration).
uint32_t VARU_check_session_status(hm_node* target, const char* target_name, int32_t port, uint32_t* active,
                                   hm_node* node, hm_node* portal, uint32_t mode);

}  // namespace vx
