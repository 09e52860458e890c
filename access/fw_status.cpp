#include "access/fw_status.h"

#include <cstdint>

#include "engine/hm.h"
#include "engine/messages.h"

namespace vx {
namespace {

constexpr uint32_t kAnyStatusAbove = UINT32_MAX;
constexpr int32_t kAny = kAnyAdditional;

// Status 1 and 2 are one family; the additional status tells the cause. Opcode conditions name the
// commands whose callers handle the answer themselves (29: active-session list, 23/27: login and
// persistent target, 57: port speed, 1: MAC query family, 69/70/73/12/8: beacon, transceiver, NVP
// and 10GBASE-T statistics).
constexpr FwStatusRule kRules[] = {
    // status      additional  opcodes          result  last status
    {67, kAnyStatusAbove, kAny, 0, {}, 1, 0, nullptr},
    {0, 0, kAny, 0, {}, 0, 0, nullptr},
    {1, 2, 0, 0, {}, 116, 0, nullptr},
    {1, 2, 16, 0, {}, 1, 41, msg::kFwActiveSessions},
    {1, 2, 17, 0, {}, 1, 27, msg::kFwSessionOpened},
    {1, 2, 18, 0, {}, 35, 35, msg::kFwSessionClosed},
    {1, 2, 19, 1, {29}, 32, 0, nullptr},
    {1, 2, 19, 0, {}, 32, 32, msg::kFwHostUnreachable},
    {1, 2, 21, 0, {}, 1, 23, msg::kFwTcpConnectFailure},
    {1, 2, 22, 0, {}, 245, 0, nullptr},
    {1, 2, 23, 0, {}, 1, 52, msg::kFwLinkDown},
    // The DHCP handlers check the resulting state themselves: success, with the message kept.
    {1, 2, 24, 0, {}, 0, 33, msg::kFwDhcpError},
    {1, 2, 30, 0, {}, 213, 0, nullptr},
    {1, 2, 43, 0, {}, 1, 24, msg::kFwInitiatorError},
    {1, 2, 44, 2, {23, 27}, 25, 0, nullptr},
    {1, 2, 44, 0, {}, 1, 25, msg::kFwAuthenticationFailure},
    {1, 2, 45, 0, {}, 1, 26, msg::kFwAuthorizationFailure},
    {1, 2, 46, 0, {}, 144, 144, msg::kFwNoSuchTarget},
    {1, 2, 56, 0, {}, 1, 164, msg::kFwLoginServiceUnavailable},
    {1, 2, 58, 0, {}, 1, 38, msg::kFwSameChapSecret},
    {1, 2, 59, 0, {}, 1, 37, msg::kFwSecretLength},
    {1, 2, 75, 1, {57}, 229, 0, nullptr},
    {1, 2, 75, 1, {1}, 213, 0, nullptr},
    {1, 2, 75, 0, {}, 327, 0, nullptr},
    {1, 2, 77, 0, {}, 1, 136, msg::kFwCrcMismatch},
    {1, 2, 79, 0, {}, 151, 0, nullptr},
    {1, 2, 81, 0, {}, 151, 0, nullptr},
    {1, 2, 83, 0, {}, 153, 153, msg::kFwLoopbackTypeUnsupported},
    {1, 2, 84, 0, {}, 154, 154, msg::kFwAlreadyInLoopback},
    {1, 2, 85, 0, {}, 155, 0, nullptr},
    {1, 2, 99, 0, {}, 198, 0, nullptr},
    {1, 2, 100, 0, {}, 243, 0, nullptr},
    {1, 2, 104, 0, {}, 253, 0, nullptr},
    {1, 2, 105, 1, {1}, 213, 0, nullptr},
    {1, 2, 105, 0, {}, 5, 0, nullptr},
    {1, 2, 162, 0, {}, 262, 0, nullptr},
    {1, 2, kAny, 0, {}, 5, 0, nullptr},   // every other additional status, also those above 162
    {3, 3, kAny, 1, {57}, 229, 0, nullptr},
    {3, 3, kAny, 0, {}, 1, 0, nullptr},
    {4, 4, kAny, 0, {}, 31, 0, nullptr},   // the answer did not fit
    {5, 5, 0, 0, {}, 196, 196, msg::kFwNotSupportedForVf},
    {5, 5, 96, 0, {}, 195, 195, msg::kFwPrivilegeLevel},
    {5, 5, kAny, 0, {}, 5, 0, nullptr},
    {20, 20, kAny, 1, {23}, 1, 175, msg::kFwTargetCountExceeded},
    {20, 20, kAny, 0, {}, 1, 0, nullptr},
    {31, 31, kAny, 2, {28, 24}, 0, 0, nullptr},
    {31, 31, kAny, 0, {}, 28, 0, nullptr},
    {44, 44, kAny, 0, {}, 55, 0, nullptr},
    {46, 46, 0, 0, {}, 1, 45, msg::kFwTcpIpNotConfigured},
    {46, 46, kAny, 0, {}, 5, 0, nullptr},
    {49, 49, kAny, 0, {}, 1, 117, msg::kFwLogoutIoPending},
    {66, 66, 103, 1, {69}, 236, 0, nullptr},
    {66, 66, kAny, 5, {73, 70, 12, 8, 69}, 149, 0, nullptr},
    {66, 66, kAny, 0, {}, 149, 149, msg::kFwOperationNotSupported},
    {1, 66, kAny, 0, {}, 1, 0, nullptr},
};

bool matches(const FwStatusRule& rule, uint32_t status, uint32_t additional, uint8_t opcode) {
  if (status < rule.status_min || status > rule.status_max) return false;
  if (rule.additional != kAny && additional != static_cast<uint32_t>(rule.additional)) return false;
  if (rule.opcode_count == 0) return true;
  for (uint8_t i = 0; i < rule.opcode_count; ++i) {
    if (rule.opcodes[i] == opcode) return true;
  }
  return false;
}

}  // namespace

const FwStatusRule* fw_status_rules(size_t* count) {
  if (count != nullptr) *count = sizeof kRules / sizeof kRules[0];
  return kRules;
}

uint32_t VaruStatusFromIOCTLResponse(uint32_t status, uint32_t additional_status, uint8_t opcode) {
  for (const FwStatusRule& rule : kRules) {
    if (!matches(rule, status, additional_status, opcode)) continue;
    if (rule.message != nullptr) varu_set_last_status(rule.message_code, rule.message);
    return rule.result;
  }
  return kStatusFailed;   // not reached: the last rule covers 1..66
}

uint32_t VaruStatusFromHBAStatus(uint32_t /*status*/) { return kStatusFailed; }

}  // namespace vx
