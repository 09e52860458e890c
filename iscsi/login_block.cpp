#include "iscsi/login_block.h"

#include <cctype>
#include <cstring>

#include "access/text.h"
#include "iscsi/common.h"
#include "iscsi/login_options.h"
#include "schema/names_iscsi.h"

namespace vx {
namespace {

constexpr uint8_t kDefaultFlags = 0x0F;   // InitialR2T, ImmediateData, DataPDUInOrder, DataSequenceInOrder
constexpr uint8_t kFlagInitialR2T = 0x01;
constexpr uint8_t kFlagImmediateData = 0x02;
constexpr uint32_t kKindChapOnly = 3;
constexpr uint32_t kKindNothing = 1;

// The twelve options: which group holds each (false: the level's group, true: Authentication).
struct OptionPlace {
  const char* name;
  bool in_authentication;
};
constexpr OptionPlace kOptionOrder[kOptionCount] = {
    {kPropInitialR2T, false},         {kPropImmediateData, false},      {kPropHeaderDigest, false},
    {kPropDataDigest, false},         {kPropAuthenticationMethod, true}, {kPropInitiatorCHAPName, true},
    {kPropInitiatorSecret, true},     {kPropTargetCHAPName, true},      {kPropTargetSecret, true},
    {kPropCHAPParam, true},           {kPropHeaderParam, false},        {kPropDataParam, false},
};

void copy_name(const std::string& name, char* field, uint16_t* length) {
  const size_t n = name.size() < kChapNameSize - 1 ? name.size() : kChapNameSize - 1;
  std::memset(field, 0, kChapNameSize);
  std::memcpy(field, name.data(), n);
  *length = static_cast<uint16_t>(n);
}

bool is_hex(const std::string& digits) {
  for (unsigned char c : digits) {
    if (std::isxdigit(c) == 0) return false;
  }
  return true;
}

void apply_chap_fields(const LoginOptionTexts& o, login_options* block) {
  const std::string& method = o.values[kOptMethod];
  const bool mutual = equal_nocase(method, "Mutual CHAP");
  block->chap = (mutual || equal_nocase(method, "One-Way CHAP")) ? 1 : 0;
  block->mutual = mutual ? 1 : 0;
  copy_name(o.values[kOptInitiatorChapName], block->initiator_chap_name, &block->initiator_chap_name_length);
  block->initiator_secret_length = encode_chap_secret(o.values[kOptInitiatorSecret], block->initiator_secret);
  copy_name(o.values[kOptTargetChapName], block->target_chap_name, &block->target_chap_name_length);
  block->target_secret_length = encode_chap_secret(o.values[kOptTargetSecret], block->target_secret);
}

void apply_r2t(const LoginOptionTexts& o, login_options* block) {
  block->flags = static_cast<uint8_t>(block->flags & ~(kFlagInitialR2T | kFlagImmediateData));
  if (equal_nocase(o.values[kOptInitialR2T], "Yes")) block->flags |= kFlagInitialR2T;
  if (equal_nocase(o.values[kOptImmediateData], "Yes")) block->flags |= kFlagImmediateData;
}

uint8_t digest_byte(const std::string& value, uint32_t choice) {
  return choice == 1 && equal_nocase(value, "CRC32C") ? 1 : 0;
}

// Runs `apply` on the group's values; 1 when the group or its Authentication group is missing.
template <typename Apply>
uint32_t update_from(hm_node* group, Apply apply) {
  LoginOptionTexts o;
  if (!read_login_option_texts(group, &o)) return kStatusFailed;
  apply(o);
  return kStatusOk;
}

}  // namespace

const login_options* get_default_login_options() {
  static login_options block;
  std::memset(&block, 0, sizeof block);
  block.flags = kDefaultFlags;
  block.first_burst_length = 8192;
  block.max_burst_length = 262144;
  block.max_connections = 1;
  block.max_outstanding_r2t = 1;
  block.default_time2wait = 2;
  block.default_time2retain = 20;
  block.max_recv_data_segment_length = 65536;
  block.second_segment_length = 65536;
  block.tcp_window_size = 16000;
  block.initiator_secret[0] = ' ';
  block.target_secret[0] = ' ';
  return &block;
}

uint16_t encode_chap_secret(const std::string& text, uint8_t out[kChapSecretSize]) {
  std::memset(out, 0, kChapSecretSize);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const std::string digits = text.substr(2);
    if (digits.empty() || digits.size() % 2 != 0 || !is_hex(digits)) return 0;
    const size_t bytes = digits.size() / 2 < kChapSecretSize ? digits.size() / 2 : kChapSecretSize;
    if (convert_hex_to_bin(digits.c_str(), static_cast<int32_t>(bytes * 2), out, kChapSecretSize) != 0) {
      std::memset(out, 0, kChapSecretSize);
      return 0;
    }
    return static_cast<uint16_t>(bytes);
  }
  const size_t n = text.size() < kChapSecretSize ? text.size() : kChapSecretSize;
  std::memcpy(out, text.data(), n);
  return static_cast<uint16_t>(n);
}

const char* option_name(size_t option) { return option < kOptionCount ? kOptionOrder[option].name : ""; }
bool option_in_authentication(size_t option) { return option < kOptionCount && kOptionOrder[option].in_authentication; }

size_t option_of(const char* name) {
  for (size_t i = 0; name != nullptr && i < kOptionCount; ++i) {
    if (std::strcmp(kOptionOrder[i].name, name) == 0) return i;
  }
  return kOptionCount;
}

bool read_login_option_texts(hm_node* options_group, LoginOptionTexts* out) {
  hm_node* auth = internal_get_node(options_group, kGroupAuthentication, kGroup);
  if (options_group == nullptr || auth == nullptr) return false;
  // The stored record is the truth; a level without one keeps the values it shows.
  get_level_options(options_group);
  for (size_t i = 0; i < kOptionCount; ++i) {
    out->values[i] = cached_value(kOptionOrder[i].in_authentication ? auth : options_group, kOptionOrder[i].name);
  }
  return true;
}

bool write_login_option_texts(hm_node* options_group, const LoginOptionTexts& values) {
  hm_node* auth = internal_get_node(options_group, kGroupAuthentication, kGroup);
  if (options_group == nullptr || auth == nullptr) return false;
  bool ok = true;
  for (size_t i = 0; i < kOptionCount; ++i) {
    ok = set_cached(kOptionOrder[i].in_authentication ? auth : options_group, kOptionOrder[i].name, values.values[i]) &&
         ok;
  }
  return ok;
}

void apply_chap(const LoginOptionTexts& o, login_options* block, uint32_t choice) {
  if (choice == 1) apply_chap_fields(o, block);
  apply_r2t(o, block);
  pdebug(kBackEnd, 6, "ir2t = %d\n", block->flags & kFlagInitialR2T);
}

void apply_header_digest(const LoginOptionTexts& o, login_options* block, uint32_t choice) {
  block->header_digest = digest_byte(o.values[kOptHeaderDigest], choice);
}

void apply_data_digest(const LoginOptionTexts& o, login_options* block, uint32_t choice) {
  block->data_digest = digest_byte(o.values[kOptDataDigest], choice);
}

uint32_t update_chap_details(hm_node* group, login_options* block, uint32_t choice) {
  return update_from(group, [&](const LoginOptionTexts& o) { apply_chap(o, block, choice); });
}

uint32_t update_header_digest_details(hm_node* group, login_options* block, uint32_t choice) {
  return update_from(group, [&](const LoginOptionTexts& o) { apply_header_digest(o, block, choice); });
}

uint32_t update_data_digest_details(hm_node* group, login_options* block, uint32_t choice) {
  return update_from(group, [&](const LoginOptionTexts& o) { apply_data_digest(o, block, choice); });
}

uint32_t get_login_options(hm_node* group, login_options* block, uint32_t kind) {
  return conditional_get_login_options(group, block, kind, 1);
}

uint32_t conditional_get_login_options(hm_node* group, login_options* block, uint32_t kind, uint32_t chap) {
  if (kind > kKindChapOnly || block == nullptr) return kStatusFailed;
  if (kind == kKindNothing) return kStatusOk;
  LoginOptionTexts o;
  if (!read_login_option_texts(group, &o)) return kStatusFailed;
  if (chap == 1) apply_chap_fields(o, block);
  if (kind == kKindChapOnly) return kStatusOk;
  apply_r2t(o, block);
  apply_header_digest(o, block, 1);
  apply_data_digest(o, block, 1);
  return kStatusOk;
}

}  // namespace vx
