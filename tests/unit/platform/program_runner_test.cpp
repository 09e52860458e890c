// The seam's program runner: an argument list run as it is, the exit status, programs that cannot
// start or do not end, and the descriptors the child does not get.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(ProgramRunner, RunsTheArgumentListAsItIsAndGivesTheExitStatus) {
  // Each argument arrives whole: a ";" or a blank is no command separator.
  EXPECT_EQ(vx::run_program({"/bin/sh", "-c", "exit $#", "sh", "a;b", "c d", "$(false)"}), 3);
  EXPECT_EQ(vx::run_program({"/bin/sh", "-c", "test \"$1\" = 'a;b'", "sh", "a;b"}), 0);
  EXPECT_EQ(vx::run_program({"/bin/false"}), 1);
  EXPECT_EQ(vx::run_program({"/nonexistent/ip", "link"}), -1);
  EXPECT_EQ(vx::run_program({}), -1);
  EXPECT_EQ(vx::run_program({"/bin/sh", "-c", "kill -9 $$"}), -1);
}

// Why a program did not start is kept for the caller's message, and only until the next run.
TEST(ProgramRunner, TheReasonAProgramCouldNotStartIsKeptUntilTheNextRun) {
  struct Row {
    std::vector<std::string> argv;
    int exit;
    int start_error;
  } rows[] = {
      {{"/nonexistent/ip", "link"}, -1, ENOENT},
      {{"/bin/false"}, 1, 0},
      {{"/dev/null"}, -1, EACCES},
      {{"/bin/sh", "-c", "kill -9 $$"}, -1, 0},   // started, then ended by a signal
      {{"/bin/true"}, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.argv[0]);
    EXPECT_EQ(vx::run_program(row.argv), row.exit);
    EXPECT_EQ(vx::program_start_error(), row.start_error);
  }
}

// The child is gone when the runner returns: killed and reaped, not left running, whenever a busy
// machine got round to starting it. A runner that waited for it would take ten minutes, well past
// the 30 s this allows on any machine.
TEST(ProgramRunner, AProgramThatDoesNotEndIsKilledAtTheTimeOut) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(vx::run_program({"/bin/sleep", "600"}, 1), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(vx::program_start_error(), 0) << "the program started";
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a child of this process still runs or is not reaped";
  EXPECT_EQ(errno, ECHILD);
}

TEST(ProgramRunner, TheChildGetsNoneOfTheLibrarysDescriptors) {
  const int fd = ::open("/dev/null", O_RDONLY);   // without close-on-exec
  ASSERT_GE(fd, 3);
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  EXPECT_EQ(vx::run_program({"/bin/sh", "-c", "test -e " + path}), 1);
  ::close(fd);
}

}  // namespace
