// Static targets and their portals: the AddTarget, AddTargetPortal, DeleteTarget and
// DeleteTargetPortal actions, the choice of a new session's ISID qualifier, the persistent-target
// registration in the firmware (which logs in at once and after every restart of the adapter) and
// its withdrawal, and the TargetType property read back from the saved-target file.
#pragma once

#include <cstdint>
#include <string>

#include "engine/hm.h"
#include "iscsi/common.h"
#include "iscsi/records.h"

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

// The choice of a new session's ISID qualifier, unique across the host's processes, keeps two rules
// on every path: a qualifier in use is, at every moment, claimed or in an adapter's session list;
// and at every moment at most one live process claims a qualifier of a target name and initiator
// name. Every claim is made in a section that has read every process's claims first, and is not
// made where another process's stands: a choice takes another qualifier, a hold is refused. Claims
// are never waited for.
// - A choice is a short host-wide section, the whole-file lock of "isid_choice.lock" beside the
//   saved targets, waited for kIsidChoiceWaitSeconds at most. It reads every claim first, then the
//   sessions of the target name on every logical HBA, and claims the qualifier it takes (a new one,
//   or that of the closed session a login reuses). No registration, login, retry or discovery runs
//   inside it.
// - A claim is made only inside a section. It is a file of this process (file_store::LiveFile) that
//   every choice counts while the outermost IsidChoice of the thread that made it lasts: until its
//   login has failed or its session is in the adapter's list. It ends earlier only once its
//   qualifier is no longer used by that login (a failed try's registration withdrawn: release), and
//   never outlives this process. A choice made outside any IsidChoice claims nothing.
// - What frees a qualifier holds it (hold) from before its first change to its last command: a
//   logout, or a withdrawal, takes the session out of the adapter's list at its first command, while
//   the registration and the saved record of its key still stand until its last. A session
//   registered again keeps its qualifier held from its withdrawal through its registration again.
//   A hold that another process's claim refuses (a login that reuses the session, or another
//   logout of it) stops its caller before anything is sent or changed.
// - So a section that reads the claims before the lists misses nothing: a claim that ended before
//   the read has its session listed already (or its qualifier is used no more), and none is made
//   while the section is held.
//
// Lock order: the saved files' locks come before the section's (a target refresh holds them while
// it logs in); the section takes no other lock, so it never waits for longer than another
// process's section lasts.
constexpr int kIsidChoiceWaitSeconds = 5;   // a section takes milliseconds: past this its holder is stuck

class IsidChoice {
 public:
  IsidChoice();
  ~IsidChoice() { end(); }
  IsidChoice(const IsidChoice&) = delete;
  IsidChoice& operator=(const IsidChoice&) = delete;

  // Ends the choice before the scope does (the session it made is the adapter's by then, or the
  // login failed); the outermost one's end lets the thread's claims go.
  void end();
  // Claims the qualifier of a session whose logout or withdrawal follows, in a section of its own
  // (nothing to choose: the session holds it), for as long as this choice lasts. 0 (also when this
  // thread claims it already), or 1 with status 336 when another process claims it, or the section
  // or the claim cannot be had.
  uint32_t hold(const char* target_name, const char* initiator_name, uint32_t isid);
  // A failed try's registration withdrawn: its qualifier is no longer claimed.
  static void release(const char* target_name, const char* initiator_name, uint32_t isid);

 private:
  bool ended_ = false;
};

// The lowest qualifier 0..65534 that no session of that target name and initiator name holds on
// the adapters and no other choice claims, claimed; 65535 when none is free (status 71), or the
// choice cannot be made (336) or the sessions cannot be read (their status).
uint32_t generate_isid_qualifier(const char* target_name, const char* initiator_name);
// 1 when some session of that target name and initiator name (any adapter) holds the qualifier or
// another choice claims it (status 71), or when the choice cannot be made (336) or the sessions
// cannot be read (their status); else 0, with the qualifier claimed (at once when this choice
// claimed it already).
uint32_t check_for_isid_existence(uint32_t isid, const char* target_name, const char* initiator_name);
// The ISID of a login through one portal, with the target's sessions first brought in line with
// what the adapters hold, all in one section: a closed or failed session there that no other login
// claims is reused (*found 1, *session set); else a free qualifier, or the one given. Either way the
// qualifier is claimed. 0, or 1 (status 8, 71 or 336, or why the sessions cannot be read).
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
// Withdraws a persistent registration (logical HBA 0 only) and, unless mode is 1, its records. The
// caller holds the qualifier (IsidChoice::hold, or its login's claim) until this has returned.
uint32_t delete_persistent(int32_t port, int32_t lhba_number, int32_t phba_port, hm_node* target,
                           const char* target_name, const char* address, const char* port_text, uint32_t isid,
                           const char* initiator_name, uint32_t mode);
// TargetType from the target's first record in savetgt.txt; left as it is without one.
uint32_t get_target_type(hm_node* target);

}  // namespace vx
