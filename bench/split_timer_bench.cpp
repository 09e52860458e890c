// The split of a step's time between the library and the device calls, checked on a driver whose
// cost is known: each of its ioctls spins for about kDeviceSpin of CPU time, and the library's own
// part of the step spins for about kLibrarySpin (each spin measures what it took); a file written
// through the store is two fsyncs (the file and its directory). Timing a device call costs about as
// much as a short call itself (the thread's CPU clock is a system call), so the CPU time of a step of
// many short calls shows whether that cost is taken off: left on, it would add about 0.6 µs of CPU
// per call to the library's part. The benchmark fails when the library's part is off by more than
// kCallError per device call, or the drivers' part by more than a quarter.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cmath>
#include <string>

#include "bench/bench_support.h"
#include "platform/file_store.h"
#include "platform/platform.h"

namespace {

constexpr int kCalls = 200;
constexpr double kDeviceSpin = 10e-6;
constexpr double kLibrarySpin = 100e-6;
constexpr double kCallError = 0.3e-6;

double thread_cpu() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Spins for at least `seconds` of CPU time; the time it took.
double spin(double seconds) {
  const double start = thread_cpu();
  double now = start;
  while (now < start + seconds) now = thread_cpu();
  return now - start;
}

double g_driver_cpu = 0;   // what the driver's spins took

int spinning_ioctl(int, unsigned long, void*) {
  g_driver_cpu += spin(kDeviceSpin);
  return 0;
}

bool near(double measured, double expected, double error) { return std::fabs(measured - expected) <= error; }

void BM_SplitTimerCheck(benchmark::State& state) {
  const vxbench::ScratchRoot root("vxima-bench-");
  const vx::ScopedHostOp<int (*)(int, unsigned long, void*)> driver(&vx::HostOps::ioctl, spinning_ioctl);
  vxbench::SplitTimer step;    // made after the driver's stand-in: it times that
  vxbench::SplitTimer store;
  const std::string file = root.path() + "/written";
  g_driver_cpu = 0;
  double library_spins = 0;
  for (auto _ : state) {
    step.start();
    for (int i = 0; i < kCalls; ++i) vx::host_ops().ioctl(-1, 0, nullptr);
    library_spins += spin(kLibrarySpin);
    step.stop();
    store.start();
    const bool written = vx::file_store::write_file(file, "written\n");
    store.stop();
    if (!written) state.SkipWithError("the store could not write its file");
  }
  const double steps = static_cast<double>(state.iterations());
  const double library_cpu = step.library_cpu() / steps;
  const double device_cpu = step.device_cpu() / steps;
  state.counters["library_cpu_us"] = library_cpu * 1e6;
  state.counters["device_cpu_us"] = device_cpu * 1e6;
  state.counters["library_spin_us"] = library_spins / steps * 1e6;
  state.counters["driver_spin_us"] = g_driver_cpu / steps * 1e6;
  state.counters["fsyncs_per_write"] = store.fsyncs() / steps;
  if (!near(library_cpu, library_spins / steps, kCalls * kCallError) ||
      !near(device_cpu, g_driver_cpu / steps, g_driver_cpu / steps / 4)) {
    state.SkipWithError("the library's and the device calls' CPU time are split wrongly");
  } else if (step.fsyncs() != 0 || store.fsyncs() != 2 * steps) {
    state.SkipWithError("the store's fsyncs are miscounted");
  }
}

}  // namespace

BENCHMARK(BM_SplitTimerCheck)->Iterations(20)->Unit(benchmark::kMillisecond);
