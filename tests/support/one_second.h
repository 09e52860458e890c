// For a scope, the file store sees the files as a file system of one-second times (ext2 of 128-byte
// inodes, vfat, some network file systems) shows them when every step of the scope falls within one
// second, however slowly the steps run: a file time from the second before the scope began or later
// reads as the scope's second, an older one (a time a writer put back) as its own whole second, and
// every version is taken half a second into the scope's second, too soon after its change to count as
// settled.
#pragma once

#include <sys/stat.h>
#include <time.h>

#include "platform/file_store.h"

namespace vxtest {

class OneSecond {
 public:
  OneSecond() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    second() = now.tv_sec;
    vx::file_store::SystemCalls& calls = vx::file_store::system_calls();
    calls.stat = [](const char* path, struct stat* st) { return within(::stat(path, st), st); };
    calls.fstat = [](int fd, struct stat* st) { return within(::fstat(fd, st), st); };
    calls.clock_gettime = [](clockid_t, struct timespec* at) {
      *at = {second(), 500000000};
      return 0;
    };
  }
  ~OneSecond() { vx::file_store::system_calls() = saved_; }
  OneSecond(const OneSecond&) = delete;
  OneSecond& operator=(const OneSecond&) = delete;

 private:
  static time_t& second() {
    static time_t s = 0;
    return s;
  }
  static int within(int rc, struct stat* st) {
    if (rc != 0) return rc;
    // File times lag the clock by up to a timer tick: the second before the scope's is the scope's.
    for (struct timespec* t : {&st->st_mtim, &st->st_ctim}) *t = {t->tv_sec >= second() - 1 ? second() : t->tv_sec, 0};
    return rc;
  }

  vx::file_store::SystemCalls saved_ = vx::file_store::system_calls();
};

}  // namespace vxtest
