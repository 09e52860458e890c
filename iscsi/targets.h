// Static targets and their portals: the AddTarget, AddTargetPortal, DeleteTarget and
// DeleteTargetPortal actions, the choice of a new session's ISID qualifier, the persistent-target
// registration in the firmware (which logs in at once and after every restart of the adapter) and
// its withdrawal, and the TargetType property read back from the saved-target file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/hm.h"
#include "iscsi/common.h"
#include "iscsi/records.h"
#include "platform/file_store.h"

namespace vx {

constexpr uint32_t kStatusIsidOutOfRange = 8;
constexpr uint32_t kStatusInvalidInstance = 20;
constexpr uint32_t kStatusDuplicateTarget = 21;
constexpr uint32_t kStatusAuthenticationFailure = 25;
constexpr uint32_t kStatusSessionLoggedIn = 34;
constexpr uint32_t kStatusIsidInUse = 71;
constexpr uint32_t kStatusDeletePersistencyFailed = 127;
constexpr uint32_t kStatusTargetCount = 175;
constexpr uint32_t kStatusDuplicatePortal = 214;
constexpr uint32_t kStatusCrcMismatch = 243;
constexpr uint32_t kStatusIpv6NotSupported = 330;
constexpr uint32_t kIsidNone = 0xFFFF;   // every qualifier 0..65534 in use
constexpr size_t kMaxTargetsOldGenerations = 128;
constexpr const char* kDefaultPort = "3260";

// The choice of a new session's ISID qualifier, with the persistent registration and the login
// that take it, as one step across the host's processes: while a choice lasts, this process holds
// a host-wide lock (the whole-file lock of its own file beside the saved targets), and the sessions
// of a target name are read from the adapters once (again after a registration or a withdrawal).
// A choice made inside another in this thread joins it. The lock is taken before any saved file's
// lock, never while holding one: a process that holds it may wait for the saved-target file.
class IsidChoice {
 public:
  IsidChoice();
  ~IsidChoice() { end(); }
  IsidChoice(const IsidChoice&) = delete;
  IsidChoice& operator=(const IsidChoice&) = delete;

  // False when the lock file cannot be opened (the scratch directory is missing).
  bool held() const { return lock_.has_value() && lock_->held(); }
  // Ends the choice before the scope does (the session it made is the adapter's by then).
  void end();
  // What was read goes: a registration made or withdrawn in this choice is read next time.
  static void forget();

 private:
  std::optional<file_store::FileLock> lock_;
};

// The lowest qualifier 0..65534 that no session of that target name and initiator name holds on
// the adapters; 65535 when none is free (status 71) or the sessions cannot be read (their status).
uint32_t generate_isid_qualifier(const char* target_name, const char* initiator_name);
// 1 when some session of that target name and initiator name (any adapter) holds the qualifier
// (status 71), or when the sessions cannot be read (their status); else 0.
uint32_t check_for_isid_existence(uint32_t isid, const char* target_name, const char* initiator_name);
// The ISID of a login through one portal, with the target's sessions first brought in line with
// what the adapters hold: a closed or failed session there is reused (*found 1, *session set);
// else a free qualifier, or the one given. 0, or 1 (status 8 or 71, or why the sessions cannot be
// read).
uint32_t VARU_get_isid(hm_node* target, const char* isid_text, const char* target_name, const char* initiator_name,
                       const char* address, const char* port, uint32_t* found, uint32_t* isid, hm_node** session);

// Registers the target's portal as persistent in the firmware (defaults and the target's own
// options when `options` is NULL) and records it with its ISID. 0, or the failure with its status.
uint32_t make_session_persistent(hm_node* target, const char* address, const char* port, uint32_t isid,
                                 const login_options* options, const char* boot, const char* initiator_name,
                                 uint32_t eto);
uint32_t VARU_update_target_params(login_target_request* request, hm_node* lhba, hm_node* target, uint32_t isid,
                                   const char* address, const char* port, const char* boot,
                                   const char* initiator_name, uint32_t eto);
// Withdraws a persistent registration (logical HBA 0 only) and, unless mode is 1, its records.
uint32_t delete_persistent(int32_t port, int32_t lhba_number, int32_t phba_port, hm_node* target,
                           const char* target_name, const char* address, const char* port_text, uint32_t isid,
                           const char* initiator_name, uint32_t mode);
// TargetType from the target's first record in savetgt.txt; left as it is without one.
uint32_t get_target_type(hm_node* target);

}  // namespace vx
