// The front end's road into the hierarchy: lookups by name, property reads and writes, instance
// listings and actions, all through the public VARU_* calls. Results are hierarchy statuses.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ima/esx50_codeset.h"
#include "ima/front.h"
#include "schema/names_iscsi.h"

namespace vx {
namespace {

// VARU_get_valid_instances has no capacity argument: the array must hold every instance a group
// may have, and instance numbers are 16-bit in the hierarchy.
constexpr size_t kMaxInstances = 65536;

uint32_t child_tag(int32_t parent, const char* name, int32_t kind, int32_t* out) {
  uint32_t tag = 0;
  const uint32_t status = VARU_get_node_tag(parent, name, &tag, kind);
  if (status == 0) *out = static_cast<int32_t>(tag);
  return status;
}

}  // namespace

uint32_t group_at(int32_t base, const char* path, int32_t* out) {
  int32_t tag = base;
  for (const char* part = path; part != nullptr && *part != '\0';) {
    const char* slash = std::strchr(part, '/');
    const size_t length = slash != nullptr ? static_cast<size_t>(slash - part) : std::strlen(part);
    char name[VARU_NAME_SIZE];
    if (length >= sizeof name) return VARU_FAILED;
    std::memcpy(name, part, length);
    name[length] = '\0';
    const uint32_t status = child_tag(tag, name, VARU_KIND_GROUP, &tag);
    if (status != 0) return status;
    part = slash != nullptr ? slash + 1 : nullptr;
  }
  *out = tag;
  return 0;
}

uint32_t Get_Target_tag(int32_t tag, int32_t* parent) {
  uint32_t up = 0;
  if (VARU_get_parent_tag(tag, &up) != 0) return VARU_FAILED;
  *parent = static_cast<int32_t>(up);
  return 0;
}

uint32_t GetVaruPropertyVal(int32_t tag, const char* property, char* out) {
  std::memset(out, 0, kTextSize);
  int32_t prop = 0;
  const uint32_t status = child_tag(tag, property, VARU_KIND_PROPERTY, &prop);
  if (status != 0) return status;
  return VARU_get_property_val(static_cast<uint32_t>(tag), static_cast<uint32_t>(prop), out, kTextSize);
}

uint32_t GetVaruVal(int32_t tag, const char* group, const char* property, char* out) {
  std::memset(out, 0, kTextSize);
  int32_t owner = 0;
  const uint32_t status = group_at(tag, group, &owner);
  return status != 0 ? status : GetVaruPropertyVal(owner, property, out);
}

uint32_t SetVaruPropertyVal(int32_t tag, const char* group, const char* property, const char* value) {
  int32_t owner = 0;
  int32_t prop = 0;
  uint32_t status = group_at(tag, group, &owner);
  if (status == 0) status = child_tag(owner, property, VARU_KIND_PROPERTY, &prop);
  if (status != 0) return status;
  char copy[kTextSize] = "";
  const size_t length = strnlen(value, kTextSize);
  if (length == kTextSize) return VARU_FAILED;
  std::memcpy(copy, value, length);
  return VARU_set_property_val(static_cast<uint32_t>(owner), prop, copy, kTextSize);
}

uint32_t Varu_Get_Child_Tags(int32_t parent, const char* group, std::vector<int32_t>* tags) {
  // The listing call takes no capacity, so the buffer holds every possible number; one per thread,
  // made once, rather than 256 KB per call (listings run once per target).
  thread_local std::unique_ptr<uint32_t[]> numbers(new uint32_t[kMaxInstances]);
  uint32_t count = 0;
  const uint32_t status = VARU_get_valid_instances(parent, group, numbers.get(), &count);
  if (status != 0) return status;
  for (uint32_t i = 0; i < count && i < kMaxInstances; ++i) {
    char name[VARU_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s%u", group, numbers[i]);
    int32_t tag = 0;
    // The tree may change between the listing and this lookup; a vanished instance is left out. A lock
    // time-out is not a vanished instance: the list would come back short but reported whole.
    const uint32_t got = child_tag(parent, name, VARU_KIND_GROUP, &tag);
    if (got == VARU_LOCK_TIMEOUT) return got;
    if (got == 0) tags->push_back(tag);
  }
  return 0;
}

uint32_t Varu_Get_TargetPortal_Tags(const std::vector<int32_t>& targets, std::vector<int32_t>* portals) {
  std::vector<int32_t> found;
  for (int32_t target : targets) {
    const uint32_t status = Varu_Get_Child_Tags(target, kGroupTargetPortal, &found);
    if (status != 0) return status;
  }
  portals->insert(portals->end(), found.begin(), found.end());
  return 0;
}

ActionParams::ActionParams() { std::memset(slots_, 0, sizeof slots_); }

IMA_STATUS ActionParams::set_wide(int slot, const IMA_WCHAR* text, IMA_STATUS too_long) {
  return wide_to_utf8(slots_[slot], text, VARU_VALUE_SIZE, too_long);
}

bool ActionParams::set_text(int slot, const char* text) {
  const size_t length = strnlen(text, VARU_VALUE_SIZE);
  if (length == VARU_VALUE_SIZE) return false;
  std::memset(slots_[slot], 0, VARU_VALUE_SIZE);
  std::memcpy(slots_[slot], text, length);
  return true;
}

void ActionParams::set_number(int slot, uint32_t number) {
  std::snprintf(slots_[slot], VARU_VALUE_SIZE, "%u", number);
}

void ActionParams::set_absent(int slot) {
  std::memset(slots_[slot], 0, VARU_VALUE_SIZE);
  slots_[slot][0] = static_cast<char>(VARU_PARAM_ABSENT);
}

uint32_t instance_number(int32_t tag, const char* group, uint32_t* number) {
  char shown[VARU_NAME_SIZE] = "";
  const uint32_t status = VARU_get_node_name(tag, shown, VARU_KIND_GROUP);
  if (status != 0) return status;
  const size_t length = std::strlen(group);
  const char* digits = shown + length;
  if (strncasecmp(shown, group, length) != 0 || *digits == '\0' || std::strspn(digits, "0123456789") != std::strlen(digits)) {
    return VARU_FAILED;
  }
  *number = static_cast<uint32_t>(std::strtoul(digits, nullptr, 10));
  return 0;
}

uint32_t find_action(int32_t group, const char* name, int32_t* action) {
  return child_tag(group, name, VARU_KIND_ACTION, action);
}

uint32_t run_action(int32_t group, int32_t action, ActionParams& params) {
  return VARU_do_action(static_cast<uint32_t>(group), action, params.block(), nullptr);
}

uint32_t invoke_action(int32_t group, const char* name, ActionParams& params) {
  int32_t action = 0;
  const uint32_t status = find_action(group, name, &action);
  return status != 0 ? status : run_action(group, action, params);
}

}  // namespace vx
