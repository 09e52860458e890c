// A time of day for the platform seam that a test sets and advances, for a scope.
#pragma once

#include <sys/time.h>

#include "platform/platform.h"

namespace vxtest {

class FakeClock {
 public:
  FakeClock() : scope_(&vx::HostOps::gettimeofday, &FakeClock::read) { now() = timeval{1000000, 0}; }
  void advance_ms(long ms) {
    const long long us = static_cast<long long>(now().tv_usec) + ms * 1000LL;
    now().tv_sec += static_cast<time_t>(us / 1000000);
    now().tv_usec = static_cast<suseconds_t>(us % 1000000);
  }

 private:
  static timeval& now() {
    static timeval t{};
    return t;
  }
  static int read(timeval* tv) {
    *tv = now();
    return 0;
  }
  vx::ScopedHostOp<int (*)(timeval*)> scope_;
};

}  // namespace vxtest
