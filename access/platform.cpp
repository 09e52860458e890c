#include "access/platform.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vx {
namespace {

int real_open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int real_close(int fd) { return ::close(fd); }
int real_ioctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }
int real_system(const char* command) { return ::system(command); }

}  // namespace

HostOps& host_ops() {
  static HostOps ops{real_open, real_close, real_ioctl, real_system};
  return ops;
}

std::string host_path(const char* absolute) {
  if (absolute == nullptr) return std::string();
  const char* root = std::getenv("VXIMA_ROOT");
  if (root == nullptr || root[0] == '\0' || absolute[0] != '/') return absolute;
  std::string mapped(root);
  while (!mapped.empty() && mapped.back() == '/') mapped.pop_back();
  mapped += absolute;
  return mapped;
}

bool make_dirs(const std::string& dir) {
  if (dir.empty()) return false;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    size_t next = dir.find('/', pos + 1);
    partial = dir.substr(0, next);
    if (!partial.empty() && partial != "/") {
      if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    pos = next;
  }
  struct stat st {};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace vx
