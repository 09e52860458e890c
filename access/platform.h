// The platform seam: every host path and every device call of the library goes through here.
//  - VXIMA_ROOT=DIR puts every absolute host path under DIR.
//  - VXIMA_SIMULATOR=FILE serves the driver device nodes from the simulated adapter module
//    (libvxsim.so beside the library) configured by FILE.
// With neither set, the real paths and the real system calls are used.
#pragma once

#include <sys/types.h>

#include <string>

namespace vx {

struct HostOps {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  int (*ioctl)(int fd, unsigned long request, void* arg);
  int (*system)(const char* command);
};

// The table in force. Tests swap single entries for a scope with ScopedHostOp.
HostOps& host_ops();

// `absolute` under VXIMA_ROOT when it is set; other paths unchanged.
std::string host_path(const char* absolute);
inline std::string host_path(const std::string& absolute) { return host_path(absolute.c_str()); }

// Creates every missing directory of `absolute_dir` (already mapped by host_path) with mode 0755.
bool make_dirs(const std::string& dir);

template <typename Fn>
class ScopedHostOp {
 public:
  ScopedHostOp(Fn HostOps::*member, Fn replacement) : member_(member), saved_(host_ops().*member) {
    host_ops().*member = replacement;
  }
  ~ScopedHostOp() { host_ops().*member_ = saved_; }
  ScopedHostOp(const ScopedHostOp&) = delete;
  ScopedHostOp& operator=(const ScopedHostOp&) = delete;

 private:
  Fn HostOps::*member_;
  Fn saved_;
};

}  // namespace vx
