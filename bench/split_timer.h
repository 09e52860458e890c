// The split of a step's time between the library and the device calls (open, close and ioctl of the
// platform seam: the drivers, here the simulated adapter), of wall time and of the thread's CPU time,
// with the library's CPU time split into user and system time and the fsyncs of its file store
// counted. The timer reads its clocks through a seam of its own (timer_clock), so that a test can
// drive it with clocks whose every reading it knows.
#pragma once

#include <time.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_store.h"
#include "platform/platform.h"

namespace vxbench {

// The thread's CPU time, in seconds (read directly, never through the timer's seam).
inline double thread_cpu_seconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The calling thread's clocks of its user and system time as the kernel samples them (at each timer
// tick it adds the tick to the user or the system time of the thread it interrupted), as the kernel
// numbers a thread's CPU clocks: ~tid << 3 | type | 4, thread id 0 the caller's own, type 0 user and
// system time, type 1 user time.
constexpr clockid_t kThreadUserSystemClock = static_cast<clockid_t>(~0u << 3 | 0 | 4);
constexpr clockid_t kThreadUserClock = static_cast<clockid_t>(~0u << 3 | 1 | 4);

// The clocks SplitTimer reads: CLOCK_MONOTONIC (wall time), CLOCK_THREAD_CPUTIME_ID (the thread's
// CPU time), kThreadUserSystemClock and kThreadUserClock. ::clock_gettime, or a stand-in that a test
// sets before it makes a timer (a timer measures its own cost anew with each reader it meets).
using ClockRead = int (*)(clockid_t clock, timespec* now);
inline ClockRead& timer_clock() {
  static ClockRead read = ::clock_gettime;
  return read;
}

// What SplitTimer measured, in seconds; the times of several timers add up (a login's and a
// logout's into a session's).
class SplitTimes {
 public:
  // In all, inside the device calls, and the library's own: wall time.
  double total() const { return total_; }
  double device() const { return device_; }
  double library() const { return total_ - device_; }
  // The same as the thread's CPU time.
  double cpu() const { return cpu_; }
  double device_cpu() const { return device_cpu_; }
  double library_cpu() const { return cpu_ - device_cpu_; }
  // The library's CPU time split into its own code (user time) and the kernel's work in its system
  // calls (system time: the files it reads, writes, renames and fsyncs). The kernel samples the
  // split at each timer tick (every 4 ms on a kernel of 250 Hz), so it is a share of as many ticks
  // as fell within the library's part, good to about 1/sqrt(ticks); it is applied to the library's
  // CPU time, which is exact. Both are 0 while no tick fell there.
  double library_system() const { return share_of(sampled_system()); }
  double library_user() const { return share_of(sampled_user()); }
  // The library's fsyncs (of files and of their directories).
  double fsyncs() const { return fsyncs_; }

  SplitTimes& operator+=(const SplitTimes& other) {
    total_ += other.total_;
    device_ += other.device_;
    cpu_ += other.cpu_;
    device_cpu_ += other.device_cpu_;
    user_ += other.user_;
    system_ += other.system_;
    fsyncs_ += other.fsyncs_;
    return *this;
  }

  // Counters per operation, `per` naming it ("per_adapter"): "us_<per>" in all, the library's own
  // wall time "library_us_<per>", its CPU time "library_cpu_us_<per>" with that split into
  // "library_user_us_<per>" and "library_system_us_<per>", and "fsyncs_<per>".
  void report(benchmark::State& state, const std::string& per, double operations) const {
    const double us = 1e6 / operations;
    state.counters["us_" + per] = total() * us;
    state.counters["library_us_" + per] = library() * us;
    state.counters["library_cpu_us_" + per] = library_cpu() * us;
    state.counters["library_user_us_" + per] = library_user() * us;
    state.counters["library_system_us_" + per] = library_system() * us;
    state.counters["fsyncs_" + per] = fsyncs() / operations;
  }

 protected:
  // As sampled; the overhead taken off may leave a sample a little below 0.
  double sampled_user() const { return std::max(user_, 0.0); }
  double sampled_system() const { return std::max(system_, 0.0); }
  bool sampled() const { return sampled_user() + sampled_system() > 0; }
  // The library's CPU time in the proportion `part` of the samples: each share computed on its own,
  // so that a part no tick fell in is 0, never a rounding error below it.
  double share_of(double part) const {
    return sampled() ? library_cpu() * part / (sampled_user() + sampled_system()) : 0;
  }

  double total_ = 0;
  double device_ = 0;
  double cpu_ = 0;
  double device_cpu_ = 0;
  double user_ = 0;     // the library's user and system time as the kernel sampled them
  double system_ = 0;
  double fsyncs_ = 0;
};

// Time of the steps measured, in all and inside the device calls; the library's own time is the
// rest. Both as wall time and as the thread's CPU time: the library's wall time holds its own fsyncs
// (a wait for the disk that is short on a quiet disk and long on a loaded one), its CPU time does
// not, so the two together tell the library's work from the disk's. The library's CPU time holds the
// kernel's work in its own system calls, told apart as system time (the thread's user and system
// time around the same steps and device calls). The fsyncs of the library's file store are counted
// too. The seam's entries are timed, and the fsyncs counted, while a timer stands. One thread.
class SplitTimer : public SplitTimes {
 public:
  SplitTimer() {
    if (timers()++ == 0) {
      vx::HostOps& ops = vx::host_ops();
      real() = ops;
      ops.open = [](const char* path, int flags, mode_t mode) { return timed(real().open, path, flags, mode); };
      ops.close = [](int fd) { return timed(real().close, fd); };
      ops.ioctl = [](int fd, unsigned long request, void* arg) { return timed(real().ioctl, fd, request, arg); };
      vx::file_store::SystemCalls& calls = vx::file_store::system_calls();
      real_fsync() = calls.fsync;
      calls.fsync = [](int fd) {
        ++seam().fsyncs;
        return real_fsync()(fd);
      };
    }
    overhead();   // measured before the first step, not inside one
  }
  ~SplitTimer() {
    if (--timers() != 0) return;
    vx::HostOps& ops = vx::host_ops();
    ops.open = real().open;
    ops.close = real().close;
    ops.ioctl = real().ioctl;
    vx::file_store::system_calls().fsync = real_fsync();
  }
  SplitTimer(const SplitTimer&) = delete;
  SplitTimer& operator=(const SplitTimer&) = delete;

  // Around each step measured.
  void start() {
    at_start_ = seam();
    usage_start_ = Usage::now();
    start_ = Clocks::now();
  }
  void stop() {
    const Clocks end = Clocks::now();
    const Usage usage_end = Usage::now();
    const Seam& now = seam();
    const Overhead& cost = overhead();
    const double calls = static_cast<double>(now.calls - at_start_.calls);
    total_ += end.wall - start_.wall - cost.step_wall - calls * cost.call_wall;
    cpu_ += end.cpu - start_.cpu - cost.step_cpu - calls * cost.call_cpu;
    device_ += now.wall - at_start_.wall - calls * cost.device_wall;
    device_cpu_ += now.cpu - at_start_.cpu - calls * cost.device_cpu;
    user_ += usage_end.user - usage_start_.user - (now.usage.user - at_start_.usage.user);
    system_ += usage_end.system - usage_start_.system - (now.usage.system - at_start_.usage.system) -
               cost.step_usage() - calls * cost.usage;
    fsyncs_ += static_cast<double>(now.fsyncs - at_start_.fsyncs);
  }

 private:
  static double read(clockid_t clock) {
    timespec now{};
    timer_clock()(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  }
  struct Clocks {
    double wall;
    double cpu;
    static Clocks now() { return {read(CLOCK_MONOTONIC), read(CLOCK_THREAD_CPUTIME_ID)}; }   // in this order
  };
  // The thread's user and system time, read raw from its sampled clocks: getrusage scales them to
  // the exact run time at every call, which spreads each span's time in the thread's lifelong ratio
  // of the two (a spin in user code between kernel work read as a third user time). Both change
  // only at a tick, so the user time is read again only when the sum has changed: one clock read a
  // reading.
  struct Usage {
    double user = 0;
    double system = 0;
    static Usage now() {
      Last& last = Usage::last();
      const double total = read(kThreadUserSystemClock);
      if (total != last.total) {
        last.total = total;
        last.user = read(kThreadUserClock);
      }
      return {last.user, total - last.user};
    }
    struct Last {
      double total = -1;
      double user = 0;
    };
    static Last& last() {
      static Last sum;
      return sum;
    }
  };
  // What the seam has seen while timers stood: time inside the device calls, the calls, fsyncs.
  struct Seam {
    double wall = 0;
    double cpu = 0;
    Usage usage;
    uint64_t calls = 0;
    uint64_t fsyncs = 0;
  };
  // What the timer's own readings add, measured with the clock reader in force on device calls that
  // do nothing, and taken off. The thread's CPU clocks are system calls (a quarter to half a
  // microsecond on a virtual machine), so a step of many short device calls would otherwise show
  // their cost as the library's or the drivers' time. Each reading of a clock stands somewhere
  // within its call, the same place in every call, so between two readings lies exactly one whole
  // call of the reader: a step's two readings of wall and CPU time hold one reading's cost besides
  // the step (`step_*`); each device call adds the whole of its timing to the step (`call_*`), of
  // which one reading's cost lies inside the call as timed (`device_*`). The user and system times
  // are read outermost: between a step's two readings of them lie one reading of them (the rest of
  // the first and the beginning of the last) and both readings of wall and CPU time, and each
  // device call adds one reading of them besides its own readings; that CPU time (`usage` a
  // reading) is the kernel's, taken off the system time.
  struct Overhead {
    ClockRead clock = nullptr;   // the clock reader it was measured with
    double call_wall = 0;
    double call_cpu = 0;
    double device_wall = 0;
    double device_cpu = 0;
    double step_wall = 0;
    double step_cpu = 0;
    double usage = 0;
    double step_usage() const { return usage + 2 * step_cpu; }
  };

  static int& timers() {
    static int count = 0;
    return count;
  }
  static vx::HostOps& real() {
    static vx::HostOps ops{};
    return ops;
  }
  using Fsync = int (*)(int);
  static Fsync& real_fsync() {
    static Fsync fsync = nullptr;
    return fsync;
  }
  static Seam& seam() {
    static Seam seen;
    return seen;
  }
  template <typename Call, typename... Args>
  static int timed(Call call, Args... args) {
    const Usage usage_start = Usage::now();
    const Clocks start = Clocks::now();
    const int result = call(args...);
    const Clocks end = Clocks::now();
    const Usage usage_end = Usage::now();
    Seam& s = seam();
    s.wall += end.wall - start.wall;
    s.cpu += end.cpu - start.cpu;
    s.usage.user += usage_end.user - usage_start.user;
    s.usage.system += usage_end.system - usage_start.system;
    ++s.calls;
    return result;
  }
  // Measured once for each clock reader: the median of rounds of calls that do nothing.
  static const Overhead& overhead() {
    static Overhead cost;
    if (cost.clock == timer_clock()) return cost;
    Usage::last() = Usage::Last{};
    constexpr int kCalls = 200;
    constexpr int kRounds = 9;
    std::vector<double> call_wall, call_cpu, device_wall, device_cpu, step_wall, step_cpu, usage;
    for (int round = 0; round < kRounds; ++round) {
      const Clocks first = Clocks::now();
      const Clocks second = Clocks::now();
      const Clocks step{second.wall - first.wall, second.cpu - first.cpu};
      step_wall.push_back(step.wall);
      step_cpu.push_back(step.cpu);

      const Seam before = seam();
      Clocks start = Clocks::now();
      for (int i = 0; i < kCalls; ++i) timed(+[](int fd) { return fd; }, i);
      Clocks end = Clocks::now();
      const Seam after = seam();
      seam() = before;
      call_wall.push_back((end.wall - start.wall - step.wall) / kCalls);
      call_cpu.push_back((end.cpu - start.cpu - step.cpu) / kCalls);
      device_wall.push_back((after.wall - before.wall) / kCalls);
      device_cpu.push_back((after.cpu - before.cpu) / kCalls);

      start = Clocks::now();
      for (int i = 0; i < kCalls; ++i) Usage::now();
      end = Clocks::now();
      usage.push_back((end.cpu - start.cpu - step.cpu) / kCalls);
    }
    cost = Overhead{timer_clock(),      median(call_wall), median(call_cpu), median(device_wall),
                    median(device_cpu), median(step_wall), median(step_cpu), median(usage)};
    return cost;
  }
  static double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
  }

  Clocks start_{};
  Usage usage_start_;
  Seam at_start_;
};

}  // namespace vxbench
