// Shared helpers for the tests: a fresh temporary root per test and status checks.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace vxtest {

// Creates a temporary directory, points VXIMA_ROOT at it for the test's life and removes it after.
class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::string& path() const { return path_; }
  // `absolute` under this root.
  std::string at(const std::string& absolute) const { return path_ + absolute; }
  std::string read(const std::string& absolute) const;   // "" when missing
  void write(const std::string& absolute, const std::string& content) const;
  bool exists(const std::string& absolute) const;

 private:
  std::string path_;
  std::string saved_root_;
  bool had_root_ = false;
};

// The last status, read without taking the API lock.
struct LastStatus {
  uint32_t code;
  std::string text;
};
LastStatus last_status();

// Path of a file of the source tree (examples, fuzz corpora).
std::string source_path(const std::string& relative);

// Runs `fn` in a child process and returns its exit code (what the child saw), or -1.
template <typename Fn>
int in_child(Fn fn) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(fn());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child process running `work` (its exit code, should it return), returned only once the child
// runs it: a kill after a random pause then lands somewhere in the work, however late a busy machine
// starts the child. -1 when it could not be started.
template <typename Fn>
pid_t started_child(Fn work) {
  int begun[2];
  if (::pipe(begun) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(begun[0]);
    const char word = '1';
    if (::write(begun[1], &word, 1) != 1) ::_exit(1);
    ::close(begun[1]);
    ::_exit(work());
  }
  ::close(begun[1]);
  char word = 0;
  const bool running = pid > 0 && ::read(begun[0], &word, 1) == 1;
  ::close(begun[0]);
  if (pid > 0 && !running) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  return running ? pid : -1;
}

// Kills a child and waits for its end.
inline void kill_child(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

// Two processes taking turns: `play(in, out, first)` runs in a child (first 1) and in this process
// (first 2); each reads one byte from `in` before a turn (the other's word of what it did) and writes
// one to `out` after it. The child begins, told '0'. What each play answered (the child's exit code,
// -1 when it did not exit); a side that stops early ends the other's wait.
struct Turns {
  int parent;
  int child;
};
inline Turns take_turns(const std::function<int(int in, int out, int first)>& play) {
  int to_child[2];
  int to_parent[2];
  if (::pipe(to_child) != 0) return {-1, -1};
  if (::pipe(to_parent) != 0) {
    ::close(to_child[0]);
    ::close(to_child[1]);
    return {-1, -1};
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(to_child[1]);
    ::close(to_parent[0]);
    ::_exit(play(to_child[0], to_parent[1], 1));
  }
  ::close(to_child[0]);
  ::close(to_parent[1]);
  const char start = '0';
  Turns result{-1, -1};
  if (child > 0 && ::write(to_child[1], &start, 1) == 1) result.parent = play(to_parent[0], to_child[1], 2);
  ::close(to_child[1]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) result.child = WEXITSTATUS(status);
  ::close(to_parent[0]);   // only now: the child's last word must not meet a closed pipe
  return result;
}

// Another process that holds a lock of the whole file `path` (fcntl, `type` F_RDLCK or F_WRLCK),
// as user `uid` when it is given (the test then runs as root), from the constructor until release()
// or the object's end: 60 seconds at most, so that code that waits for it fails a test instead of
// hanging it.
class OtherProcessLock {
 public:
  static constexpr uid_t kThisUser = static_cast<uid_t>(-1);
  OtherProcessLock(const std::string& path, short type, uid_t uid = kThisUser);
  ~OtherProcessLock() { release(); }
  OtherProcessLock(const OtherProcessLock&) = delete;
  OtherProcessLock& operator=(const OtherProcessLock&) = delete;
  bool held() const { return held_; }
  void release();

 private:
  pid_t child_ = -1;
  int release_ = -1;
  bool held_ = false;
};

}  // namespace vxtest

// Checks a result and the last status (code and text) together.
#define EXPECT_STATUS(expr, want_code, want_text)                  \
  do {                                                             \
    EXPECT_EQ((expr), 1u);                                         \
    ::vxtest::LastStatus vx_ls_ = ::vxtest::last_status();         \
    EXPECT_EQ(vx_ls_.code, static_cast<uint32_t>(want_code));      \
    EXPECT_EQ(vx_ls_.text, std::string(want_text));                \
  } while (0)
