// The benchmarks' split of a step's time, driven by clocks that move only by known amounts: every
// reading of a clock costs kRead (a system call: wall time and system time), and the test moves them
// by each piece of work it does, the library's and the device calls'. The timer must then find
// exactly the work done, its own readings taken off, whatever a step holds.
#include <gtest/gtest.h>

#include <errno.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "bench/split_timer.h"
#include "platform/file_store.h"
#include "platform/platform.h"

namespace {

// A piece of work, in nanoseconds: wall time (waits included) and the CPU time it took in user code
// and in the kernel.
struct Work {
  int64_t wall;
  int64_t user;
  int64_t system;
};

constexpr Work kRead{300, 0, 200};
constexpr Work kDeviceCall{5000, 700, 1900};   // waits for the device besides its CPU time
constexpr Work kNone{0, 0, 0};

// The thread as the clocks see it.
Work g_thread;

void run(const Work& work) {
  g_thread.wall += work.wall;
  g_thread.user += work.user;
  g_thread.system += work.system;
}

int fake_clock(clockid_t clock, timespec* now) {
  int64_t ns = 0;
  if (clock == CLOCK_MONOTONIC) {
    ns = g_thread.wall;
  } else if (clock == CLOCK_THREAD_CPUTIME_ID || clock == vxbench::kThreadUserSystemClock) {
    ns = g_thread.user + g_thread.system;
  } else if (clock == vxbench::kThreadUserClock) {
    ns = g_thread.user;
  } else {
    errno = EINVAL;
    return -1;
  }
  now->tv_sec = static_cast<time_t>(ns / 1000000000);
  now->tv_nsec = static_cast<long>(ns % 1000000000);
  run(kRead);
  return 0;
}

int device_open(const char*, int, mode_t) {
  run(kDeviceCall);
  return 3;
}
int device_close(int) {
  run(kDeviceCall);
  return 0;
}
int device_ioctl(int, unsigned long, void*) {
  run(kDeviceCall);
  return 0;
}

class SplitTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_thread = Work{1000000000, 40000000, 20000000};
    saved_clock_ = vxbench::timer_clock();
    vxbench::timer_clock() = fake_clock;
    std::string pattern = (std::filesystem::temp_directory_path() / "vxima-split-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    vxbench::timer_clock() = saved_clock_;
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }

  vxbench::ClockRead saved_clock_ = nullptr;
  std::string dir_;
  vx::ScopedHostOp<int (*)(const char*, int, mode_t)> open_{&vx::HostOps::open, device_open};
  vx::ScopedHostOp<int (*)(int)> close_{&vx::HostOps::close, device_close};
  vx::ScopedHostOp<int (*)(int, unsigned long, void*)> ioctl_{&vx::HostOps::ioctl, device_ioctl};
};

// Steps of the library's work, split in two around its device calls, and of files it writes
// through the store (each a file and its directory fsync'd).
struct Case {
  const char* what;
  Work library;
  int ioctls;   // besides an open and a close of the device, when there are any
  int writes;
  int steps;
};
constexpr Case kCases[] = {
    {"a step of nothing", kNone, 0, 0, 1},
    {"device calls alone", kNone, 6, 0, 2},
    {"the library alone", {40000, 9000, 3000}, 0, 1, 1},
    {"the library and device calls", {40000, 9000, 3000}, 8, 1, 3},
    {"a library working in the kernel", {25000, 1000, 8000}, 30, 2, 2},
};

// The whole and both parts of wall and CPU time, the library's user and system time and its fsyncs
// are what was done, to a nanosecond's thousandth (a reading's cost is hundreds of nanoseconds).
TEST_F(SplitTimerTest, FindsExactlyTheWorkDoneWithItsOwnReadingsTakenOff) {
  constexpr double kNanosecond = 1e-9;   // in the timer's seconds
  constexpr double kError = 1e-12;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    vxbench::SplitTimer timer;
    for (int step = 0; step < c.steps; ++step) {
      timer.start();
      run({c.library.wall / 2, c.library.user / 2, c.library.system / 2});
      if (c.ioctls > 0) {
        const int fd = vx::host_ops().open("/dev/vxfake", 0, 0);
        for (int i = 0; i < c.ioctls; ++i) vx::host_ops().ioctl(fd, 0, nullptr);
        vx::host_ops().close(fd);
      }
      run({c.library.wall - c.library.wall / 2, c.library.user - c.library.user / 2,
           c.library.system - c.library.system / 2});
      for (int w = 0; w < c.writes; ++w) ASSERT_TRUE(vx::file_store::write_file(dir_ + "/written", "written\n"));
      timer.stop();
    }
    const double steps = c.steps;
    const double calls = c.ioctls > 0 ? steps * (c.ioctls + 2) : 0;
    const double device_wall = calls * kDeviceCall.wall * kNanosecond;
    const double device_cpu = calls * (kDeviceCall.user + kDeviceCall.system) * kNanosecond;
    const double library_wall = steps * c.library.wall * kNanosecond;
    const double library_user = steps * c.library.user * kNanosecond;
    const double library_system = steps * c.library.system * kNanosecond;
    EXPECT_NEAR(timer.total(), library_wall + device_wall, kError);
    EXPECT_NEAR(timer.device(), device_wall, kError);
    EXPECT_NEAR(timer.library(), library_wall, kError);
    EXPECT_NEAR(timer.cpu(), library_user + library_system + device_cpu, kError);
    EXPECT_NEAR(timer.device_cpu(), device_cpu, kError);
    EXPECT_NEAR(timer.library_cpu(), library_user + library_system, kError);
    EXPECT_NEAR(timer.library_user(), library_user, kError);
    EXPECT_NEAR(timer.library_system(), library_system, kError);
    EXPECT_EQ(timer.fsyncs(), steps * c.writes * 2);
  }
}

// The device calls go back to what they were when the last timer goes, and the fsyncs counted are
// only those made while a timer stands.
TEST_F(SplitTimerTest, PutsTheSeamBackWhenTheLastTimerGoes) {
  const vx::HostOps before = vx::host_ops();
  const auto fsync = vx::file_store::system_calls().fsync;
  {
    vxbench::SplitTimer outer;
    {
      vxbench::SplitTimer inner;
      EXPECT_NE(vx::host_ops().ioctl, before.ioctl);
    }
    EXPECT_NE(vx::host_ops().ioctl, before.ioctl) << "a timer still stands";
    outer.start();
    ASSERT_TRUE(vx::file_store::write_file(dir_ + "/written", "written\n"));
    outer.stop();
    EXPECT_EQ(outer.fsyncs(), 2);
  }
  EXPECT_EQ(vx::host_ops().open, before.open);
  EXPECT_EQ(vx::host_ops().close, before.close);
  EXPECT_EQ(vx::host_ops().ioctl, before.ioctl);
  EXPECT_EQ(vx::file_store::system_calls().fsync, fsync);
}

}  // namespace
