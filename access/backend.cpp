// Back-end start-up and shut-down. Until the adapter enumeration is in place the back end finds no
// adapter: start-up succeeds with "ROOT" alone and last status 313.
#include "engine/hm.h"
#include "engine/messages.h"

namespace vx {

int backend_init() {
  pdebug(2, 2, "%s:Brightlane Adapter Not Found.\n", __func__);
  varu_set_last_status(kStatusNoAdapters, msg::kAdapterNotFound);
  return 0;
}

void backend_exit() {}

}  // namespace vx
