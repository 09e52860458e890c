#include "support/test_support.h"

#include "engine/hm.h"

namespace vxtest {

LastStatus last_status() {
  uint32_t code = 0;
  char text[vx::kStatusTextSize] = "";
  vx::varu_get_last_status(&code, text);
  return LastStatus{code, text};
}

}  // namespace vxtest
