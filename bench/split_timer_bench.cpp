// The split of a step's time between the library and the device calls, shown on a driver whose
// cost is known: each of its ioctls spins for about kDeviceSpin of CPU time, and the library's own
// part of the step spins for about kLibrarySpin (each spin measures what it took); a file written
// through the store is two fsyncs (the file and its directory). Timing a device call costs about as
// much as a short call itself (the thread's CPU clock is a system call), so the CPU time of a step of
// many short calls shows whether that cost is taken off: left on, it would add about 0.6 µs of CPU
// per call to the library's part. The figures are reported beside the spins they should match; the
// benchmark fails only on what is exact, the file written and its fsyncs counted (the split itself
// is tested exactly, on clocks the test drives, in tests/bench).
//
// The split of the library's CPU time into user and system time, shown the same way: the library's
// part spins in its own code for about 1 ms and in the kernel (reads of /dev/zero) for about 0.4 ms,
// the driver's calls in the kernel for about 1 ms. The kernel samples the split at its timer tick, so
// the benchmark runs long enough for a few hundred ticks, with spins of random length so that they
// do not keep step with the tick.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <random>
#include <string>

#include "bench/bench_support.h"
#include "platform/file_store.h"
#include "platform/platform.h"

namespace {

constexpr int kCalls = 200;
constexpr double kDeviceSpin = 10e-6;
constexpr double kLibrarySpin = 100e-6;

// Spins for at least `seconds` of CPU time; the time it took.
double spin(double seconds) {
  const double start = vxbench::thread_cpu_seconds();
  double now = start;
  while (now < start + seconds) now = vxbench::thread_cpu_seconds();
  return now - start;
}

double g_driver_cpu = 0;   // what the driver's spins took

int spinning_ioctl(int, unsigned long, void*) {
  g_driver_cpu += spin(kDeviceSpin);
  return 0;
}

void BM_SplitTimerCheck(benchmark::State& state) {
  const vxbench::ScratchRoot root("vxima-bench-");
  const vx::ScopedHostOp<int (*)(int, unsigned long, void*)> driver(&vx::HostOps::ioctl, spinning_ioctl);
  const std::string file = root.path() + "/written";
  vxbench::SplitTimer step;   // made after the driver's stand-in: it times that
  vxbench::SplitTimer store;
  double library_spins = 0;
  bool written = true;
  g_driver_cpu = 0;
  for (auto _ : state) {
    step.start();
    for (int i = 0; i < kCalls; ++i) vx::host_ops().ioctl(-1, 0, nullptr);
    library_spins += spin(kLibrarySpin);
    step.stop();
    store.start();
    written = vx::file_store::write_file(file, "written\n") && written;
    store.stop();
  }
  const double steps = static_cast<double>(state.iterations());
  state.counters["library_cpu_us"] = step.library_cpu() / steps * 1e6;
  state.counters["device_cpu_us"] = step.device_cpu() / steps * 1e6;
  state.counters["library_spin_us"] = library_spins / steps * 1e6;
  state.counters["driver_spin_us"] = g_driver_cpu / steps * 1e6;
  state.counters["fsyncs_per_write"] = store.fsyncs() / steps;
  if (!written) {
    state.SkipWithError("the store could not write its file");
  } else if (step.fsyncs() != 0 || store.fsyncs() != 2 * steps) {
    state.SkipWithError("the store's fsyncs are miscounted");
  }
}

int g_zero = -1;   // /dev/zero, read for kernel work

// Spins for at least `seconds` of CPU time, in the kernel or in user code; the time it took.
double spin_in(bool kernel, double seconds) {
  static char buffer[16384];
  volatile uint64_t sum = 0;
  const double start = vxbench::thread_cpu_seconds();
  double now = start;
  while (now < start + seconds) {
    if (kernel) {
      for (int i = 0; i < 4; ++i) {
        if (::read(g_zero, buffer, sizeof buffer) < 0) return now - start;
      }
    } else {
      for (int i = 0; i < 200000; ++i) sum = sum + static_cast<uint64_t>(i) * 2654435761u;
    }
    now = vxbench::thread_cpu_seconds();
  }
  return now - start;
}

double g_driver_kernel = 0;   // what the driver's kernel spins took
double g_driver_length = 0;   // how long its next spin is

int kernel_ioctl(int, unsigned long, void*) {
  g_driver_kernel += spin_in(true, g_driver_length);
  return 0;
}

void BM_SplitTimerUserSystem(benchmark::State& state) {
  g_zero = ::open("/dev/zero", O_RDONLY | O_CLOEXEC);
  if (g_zero < 0) {
    state.SkipWithError("cannot open /dev/zero");
    return;
  }
  const vx::ScopedHostOp<int (*)(int, unsigned long, void*)> driver(&vx::HostOps::ioctl, kernel_ioctl);
  vxbench::SplitTimer step;
  std::mt19937 random(33);
  std::uniform_real_distribution<double> user_length(0.5e-3, 1.5e-3);   // seconds
  std::uniform_real_distribution<double> kernel_length(0.2e-3, 0.6e-3);
  std::uniform_real_distribution<double> driver_length(0.05e-3, 0.2e-3);
  g_driver_kernel = 0;
  double user_spins = 0;
  double kernel_spins = 0;
  for (auto _ : state) {
    step.start();
    user_spins += spin_in(false, user_length(random));
    for (int i = 0; i < 8; ++i) {
      g_driver_length = driver_length(random);
      vx::host_ops().ioctl(-1, 0, nullptr);
    }
    kernel_spins += spin_in(true, kernel_length(random));
    step.stop();
  }
  ::close(g_zero);
  g_zero = -1;
  const double steps = static_cast<double>(state.iterations());
  state.counters["library_user_us"] = step.library_user() / steps * 1e6;
  state.counters["library_system_us"] = step.library_system() / steps * 1e6;
  state.counters["user_spin_us"] = user_spins / steps * 1e6;
  state.counters["kernel_spin_us"] = kernel_spins / steps * 1e6;
  state.counters["driver_kernel_us"] = g_driver_kernel / steps * 1e6;
}

}  // namespace

BENCHMARK(BM_SplitTimerCheck)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitTimerUserSystem)->Iterations(500)->Unit(benchmark::kMillisecond);
