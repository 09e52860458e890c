// A test's own step at an exact point of a call, instead of a thread that hopes to run there: for
// a scope, every request the library makes of a device (the seam's ioctl) passes `before` on its
// way to the driver and `after` on its way back (where it may change the answer), on the thread
// that makes it. One hook at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "access/wire.h"
#include "platform/platform.h"

namespace vxtest {

// Opcode and subsystem of a firmware command request, on either path; {-1, -1} for other requests.
struct CommandId {
  int opcode;
  int subsystem;
};
inline CommandId command_of(unsigned long request, const void* arg) {
  const auto* bytes = static_cast<const uint8_t*>(arg);
  if (request == vx::wire::kNicFirmwareCommand) {
    bytes += vx::wire::kNicHeaderOffset;
  } else if (request != vx::wire::kIscsiFirmwareCommand) {
    return {-1, -1};
  }
  return {bytes[0], bytes[1]};
}

class RequestHook {
 public:
  using Step = std::function<void(unsigned long request, void* arg)>;
  explicit RequestHook(Step before, Step after = nullptr) : before_(std::move(before)), after_(std::move(after)) {
    active() = this;
  }
  ~RequestHook() { active() = nullptr; }
  RequestHook(const RequestHook&) = delete;
  RequestHook& operator=(const RequestHook&) = delete;

 private:
  static RequestHook*& active() {
    static RequestHook* hook = nullptr;
    return hook;
  }
  static int ioctl(int fd, unsigned long request, void* arg) {
    RequestHook& hook = *active();
    if (hook.before_) hook.before_(request, arg);
    const int rc = hook.driver_(fd, request, arg);
    if (hook.after_) hook.after_(request, arg);
    return rc;
  }

  Step before_;
  Step after_;
  int (*driver_)(int, unsigned long, void*) = vx::host_ops().ioctl;
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> scope_{&vx::HostOps::ioctl, &RequestHook::ioctl};
};

}  // namespace vxtest
