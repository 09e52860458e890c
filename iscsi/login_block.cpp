#include "iscsi/login_block.h"

#include <cstring>

#include "access/text.h"
#include "iscsi/common.h"
#include "schema/names_iscsi.h"

namespace vx {
namespace {

constexpr uint8_t kDefaultFlags = 0x0F;   // InitialR2T, ImmediateData, DataPDUInOrder, DataSequenceInOrder
constexpr uint32_t kKindChapOnly = 3;
constexpr uint32_t kKindNothing = 1;

// The twelve options: which group holds each (false: the level's group, true: Authentication).
struct OptionPlace {
  const char* name;
  bool in_authentication;
};
constexpr OptionPlace kOptionOrder[12] = {
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
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const std::string digits = text.substr(2);
    size_t bytes = digits.size() / 2;
    if (bytes > kChapSecretSize) bytes = kChapSecretSize;
    if (convert_hex_to_bin(digits.c_str(), static_cast<int32_t>(bytes * 2), out, kChapSecretSize) == 0) {
      return static_cast<uint16_t>(bytes);
    }
    std::memset(out, 0, kChapSecretSize);
  }
  const size_t n = text.size() < kChapSecretSize ? text.size() : kChapSecretSize;
  std::memcpy(out, text.data(), n);
  return static_cast<uint16_t>(n);
}

bool read_login_option_texts(hm_node* options_group, LoginOptionTexts* out) {
  hm_node* auth = internal_get_node(options_group, kGroupAuthentication, kGroup);
  if (options_group == nullptr || auth == nullptr) return false;
  for (size_t i = 0; i < 12; ++i) {
    out->values[i] = cached_value(kOptionOrder[i].in_authentication ? auth : options_group, kOptionOrder[i].name);
  }
  return true;
}

bool write_login_option_texts(hm_node* options_group, const LoginOptionTexts& values) {
  hm_node* auth = internal_get_node(options_group, kGroupAuthentication, kGroup);
  if (options_group == nullptr || auth == nullptr) return false;
  bool ok = true;
  for (size_t i = 0; i < 12; ++i) {
    ok = set_cached(kOptionOrder[i].in_authentication ? auth : options_group, kOptionOrder[i].name, values.values[i]) &&
         ok;
  }
  return ok;
}

uint32_t get_login_options(hm_node* group, login_options* block, uint32_t kind) {
  if (kind > kKindChapOnly || block == nullptr) return kStatusFailed;
  if (kind == kKindNothing) return kStatusOk;
  LoginOptionTexts o;
  if (!read_login_option_texts(group, &o)) return kStatusFailed;
  const std::string& method = o.values[4];
  const bool mutual = equal_nocase(method, "Mutual CHAP");
  block->chap = (mutual || equal_nocase(method, "One-Way CHAP")) ? 1 : 0;
  block->mutual = mutual ? 1 : 0;
  copy_name(o.values[5], block->initiator_chap_name, &block->initiator_chap_name_length);
  block->initiator_secret_length = encode_chap_secret(o.values[6], block->initiator_secret);
  copy_name(o.values[7], block->target_chap_name, &block->target_chap_name_length);
  block->target_secret_length = encode_chap_secret(o.values[8], block->target_secret);
  if (kind == kKindChapOnly) return kStatusOk;
  block->flags = static_cast<uint8_t>(block->flags & ~0x03u);
  if (equal_nocase(o.values[0], "Yes")) block->flags |= 0x01;
  if (equal_nocase(o.values[1], "Yes")) block->flags |= 0x02;
  block->header_digest = equal_nocase(o.values[2], "CRC32C") ? 1 : 0;
  block->data_digest = equal_nocase(o.values[3], "CRC32C") ? 1 : 0;
  return kStatusOk;
}

}  // namespace vx
