#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>

#include "engine/hm.h"

namespace vxtest {

LastStatus last_status() {
  uint32_t code = 0;
  char text[vx::kStatusTextSize] = "";
  vx::varu_get_last_status(&code, text);
  return LastStatus{code, text};
}

OtherProcessLock::OtherProcessLock(const std::string& path, short type, uid_t uid) {
  int ready[2];
  int release[2];
  if (::pipe(ready) != 0) return;
  if (::pipe(release) != 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    return;
  }
  child_ = ::fork();
  if (child_ == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    // Opened first: the directories above a test's root are its user's alone.
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
    const bool user = uid == kThisUser || (::setgid(uid) == 0 && ::setuid(uid) == 0);
    const char word = fd >= 0 && user && ::fcntl(fd, F_SETLK, &fl) == 0 ? '1' : '0';
    if (::write(ready[1], &word, 1) != 1) ::_exit(1);
    pollfd wait{release[0], POLLIN, 0};
    ::poll(&wait, 1, 60 * 1000);
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  release_ = release[1];
  char word = '0';
  held_ = child_ > 0 && ::read(ready[0], &word, 1) == 1 && word == '1';
  ::close(ready[0]);
}

void OtherProcessLock::release() {
  if (release_ >= 0) ::close(release_);
  release_ = -1;
  if (child_ > 0) ::waitpid(child_, nullptr, 0);
  child_ = -1;
  held_ = false;
}

}  // namespace vxtest
