// Handler of "ROOT"/"VARUDebugLevel": the log level, kept in the level file.
#include <cstdio>
#include <cstdlib>

#include "engine/hm.h"
#include "engine/messages.h"

namespace vx {
namespace {

constexpr const char* kLevelFileName = "libvaru.conf";   // as a status names the level file

}  // namespace

uint32_t handle_VARUDebugLevel(hm_node* prop, char* buf, uint32_t op) {
  if (prop == nullptr || buf == nullptr) return kStatusFailed;
  if (op == kSet) {
    const int32_t before = varu_debug_level();
    varu_set_debug_level_value(static_cast<int32_t>(std::strtol(buf, nullptr, 10)));
    if (VARU_set_debug_level() != kStatusOk) {
      // A level the file does not hold would be gone at the next read or start-up: the process
      // keeps the file's level (the one before when the file tells none), and the caller is told.
      varu_set_debug_level_value(before);
      VARU_get_debug_level();
      fail(kStatusSavedFileNotWritten, msg::kSavedFileKept, kLevelFileName, "log level");
      return kStatusFailed;
    }
    return static_cast<uint32_t>(SET_CACHE_PROP_VAL(prop, "%s", buf) < 0 ? 1 : 0);
  }
  if (op == kGet) {
    VARU_get_debug_level();
    SET_CACHE_PROP_VAL(prop, "%d", varu_debug_level());
    hm_property* p = property_data(prop);
    if (p == nullptr) return kStatusFailed;
    std::snprintf(buf, kValueSize, "%s", property_value(p));
  }
  return kStatusOk;
}

}  // namespace vx
