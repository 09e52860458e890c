// The login-options block that logins and persistent targets carry, filled from the defaults and
// from the properties of a login-option group (InitiatorLoginOptions, TargetLoginOptions or
// SendTargetPortalLoginOptions, with its Authentication group).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/hm.h"
#include "iscsi/records.h"

namespace vx {

// The default block, refilled on every call; callers copy it.
const login_options* get_default_login_options();

// Kinds of get_login_options: 1 fills nothing, 3 only the CHAP part, 0 and 2 the CHAP part, the
// digests and InitialR2T / ImmediateData. 1 for a kind above 3 or a group without its
// Authentication group, else 0.
uint32_t get_login_options(hm_node* group, login_options* block, uint32_t kind);
// The same, with the CHAP part filled only when `chap` is 1 (the kinds and results above).
uint32_t conditional_get_login_options(hm_node* group, login_options* block, uint32_t kind, uint32_t chap);

// A CHAP secret as the block holds it: "0x" or "0X" and an even number of hex digits give the
// bytes they spell, any other text its own bytes; at most 16 bytes either way. The byte count that
// was copied; 0 (no secret) for malformed hex.
uint16_t encode_chap_secret(const std::string& text, uint8_t out[kChapSecretSize]);

// The twelve login options of a level, in the order of the saved files.
enum LoginOption : size_t {
  kOptInitialR2T,
  kOptImmediateData,
  kOptHeaderDigest,
  kOptDataDigest,
  kOptMethod,
  kOptInitiatorChapName,
  kOptInitiatorSecret,
  kOptTargetChapName,
  kOptTargetSecret,
  kOptChapParam,
  kOptHeaderParam,
  kOptDataParam,
  kOptionCount,
};
struct LoginOptionTexts {
  std::string values[kOptionCount];
};
// The option's property name, and whether it sits in the Authentication group.
const char* option_name(size_t option);
bool option_in_authentication(size_t option);
// The option of a property name; kOptionCount for none.
size_t option_of(const char* name);

// Reads the twelve values of a level: the level's stored record is read into the properties first
// (InitiatorLoginOptions, TargetLoginOptions, SendTargetPortalLoginOptions), then their values are
// taken. False when the group or its Authentication group is missing.
bool read_login_option_texts(hm_node* options_group, LoginOptionTexts* out);
// Writes the twelve values into the group and its Authentication group (cached values).
bool write_login_option_texts(hm_node* options_group, const LoginOptionTexts& values);

// The parts of a login block, from a level's values. CHAP choice 1 fills the CHAP fields from the
// values (choice 0 leaves the defaults); InitialR2T and ImmediateData follow the values either way.
// A digest choice 1 sets the digest when the value is "CRC32C"; choice 0 clears it.
void apply_chap(const LoginOptionTexts& o, login_options* block, uint32_t choice);
void apply_header_digest(const LoginOptionTexts& o, login_options* block, uint32_t choice);
void apply_data_digest(const LoginOptionTexts& o, login_options* block, uint32_t choice);
// The same from a login-option group: 1 when it has no Authentication group, else 0.
uint32_t update_chap_details(hm_node* group, login_options* block, uint32_t choice);
uint32_t update_header_digest_details(hm_node* group, login_options* block, uint32_t choice);
uint32_t update_data_digest_details(hm_node* group, login_options* block, uint32_t choice);

}  // namespace vx
