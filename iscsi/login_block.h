// The login-options block that logins and persistent targets carry, filled from the defaults and
// from the properties of a login-option group (InitiatorLoginOptions, TargetLoginOptions or
// SendTargetPortalLoginOptions, with its Authentication group).
#pragma once

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

// A CHAP secret as the block holds it: "0x" or "0X" and hex digits give the bytes they spell,
// any other text its own bytes; at most 16 bytes either way. The byte count.
uint16_t encode_chap_secret(const std::string& text, uint8_t out[kChapSecretSize]);

// The twelve login options of a level, in the order of the saved files, read from the group's
// working copy (the cached values that the option handlers keep in step with the files).
struct LoginOptionTexts {
  std::string values[12];
};
// False when the group or its Authentication group is missing.
bool read_login_option_texts(hm_node* options_group, LoginOptionTexts* out);
// Writes the twelve values into the group and its Authentication group (cached values).
bool write_login_option_texts(hm_node* options_group, const LoginOptionTexts& values);

}  // namespace vx
