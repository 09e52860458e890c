// The one process-wide last status: a code and the text that explains it to the user.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "engine/hm.h"

namespace vx {
namespace {

std::mutex g_status_mutex;
uint32_t varu_last_status_code = 0;
char varu_last_status_string[kStatusTextSize] = "";

}  // namespace

void varu_set_last_status(uint32_t code, const char* text) {
  std::lock_guard<std::mutex> guard(g_status_mutex);
  varu_last_status_code = code;
  if (text == nullptr) text = "";
  std::snprintf(varu_last_status_string, sizeof varu_last_status_string, "%s", text);
}

void varu_get_last_status(uint32_t* code, char* text) {
  std::lock_guard<std::mutex> guard(g_status_mutex);
  if (code != nullptr) *code = varu_last_status_code;
  if (text != nullptr) std::memcpy(text, varu_last_status_string, sizeof varu_last_status_string);
}

uint32_t fail(uint32_t code, const char* fmt, ...) {
  char text[kStatusTextSize];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  varu_set_last_status(code, text);
  return code;
}

}  // namespace vx
