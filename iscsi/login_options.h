// The twelve login options at their three levels: the initiator (InitiatorLoginOptions of the
// logical HBA, stored in "intr_logopts.txt"), each send-target portal (SendTargetPortalLoginOptions,
// "savestp.txt") and each target (TargetLoginOptions, "savetgt.txt"), with the CHAP settings of
// their Authentication groups. One table describes the levels; one reader and one writer serve all
// three. The properties are the working copy, the files the stored one: every read refreshes the
// properties from the owner's record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/hm.h"

namespace vx {

constexpr uint32_t kStatusSameChapSecret = 38;
constexpr uint32_t kStatusOneWayChapIgnores = 137;
constexpr uint32_t kStatusMutualChapNeedsInitiator = 138;
constexpr uint32_t kStatusDigestLevelPreferred = 193;
constexpr uint32_t kStatusDigestDefaultPreferred = 194;
constexpr uint32_t kStatusLoginOptionsRefused = 337;

// Reads the owner's record of the level of `options_group` into its twelve properties (empty
// CHAPParam, HeaderParam and DataParam shown as "Prohibited"). 0, also when no record matches;
// 1 for a group of no level, an unreadable file, or a missing one (0 at the target level).
uint32_t get_level_options(hm_node* options_group);

// Writes options into every record of the owner in the level's file, in one rewrite; other fields
// (a target record's ISID among them) stay as they are and no record is added. 0; 1 when the file
// is missing or cannot be rewritten, or the owner's key cannot be read; 6 with the status when a
// value may not stand in a record (nothing is written).
struct OptionValue {
  size_t option;   // LoginOption
  std::string value;
};
uint32_t set_level_options(hm_node* options_group, const std::vector<OptionValue>& values);

// The file setters and getters of the three levels, one option per set.
uint32_t VARU_set_target_loginoptions(hm_node* target, hm_node* options_group, hm_node* auth, const char* option,
                                      const char* value);
uint32_t VARU_set_initiator_loginoptions(hm_node* lhba, hm_node* options_group, hm_node* auth, const char* option,
                                         const char* value);
uint32_t VARU_set_stploginoptions(hm_node* stp, hm_node* options_group, hm_node* auth, const char* option,
                                  const char* value);
uint32_t VARU_get_target_loginoptions(hm_node* target, hm_node* options_group, hm_node* auth);
uint32_t VARU_get_initiator_loginoptions(hm_node* lhba, hm_node* options_group, hm_node* auth);
uint32_t VARU_get_stploginoptions(hm_node* stp, hm_node* options_group, hm_node* auth);

// The target variant of the plain-option handler, installed by no table: get and set of a
// TargetLoginOptions property as handle_target_loginoptions does them (a set rewrites the target's
// records, then registers its idle sessions again). 0, or 1 (with status 193 / 194 for a digest
// and its level that do not agree).
uint32_t handle_target_loginopts(hm_node* prop, char* buf, uint32_t op);

// A CHAP secret as ConfigureCHAP accepts it: "0x" and 24 to 32 hex digits, or 12 to 16 characters.
// Checked in this order: hex digits, an odd count, the length. 0, or 6 / 8 with the status.
uint32_t check_chap_secret(const std::string& secret, const char* name);

// After a change of a target's login options: every closed or failed session of the target is
// registered again with the new options. When the adapter refuses one, the `previous` options (the
// twelve values before the change) are put back in the file and the properties and every session
// changed so far is registered with them again: 337 with its status. So too when a session's
// qualifier cannot be held through its registration again (337, the status 336 kept). 0, or 1
// (306 / 307 for the boot TLV).
struct LoginOptionTexts;
uint32_t VARU_update_session_authentication(hm_node* target, const LoginOptionTexts* previous = nullptr);

}  // namespace vx
