// Start-up (VARU_init: enumeration of every adapter and the per-controller steps, the port tree of
// every port with its application TLVs included) and shut-down against 1, 4 and 16 simulated
// adapters, each with an iSCSI function on every one of its four ports and, for the first eight (the
// NIC driver's inventory holds eight chips), a NIC function on every port as well; and the same
// adapters with their iSCSI functions only. Reported per adapter, so that linear growth shows as
// flat counters: start-up time (in all, and the library's own wall and CPU time: without the time
// inside the device calls), the library's fsyncs, heap and allocations of the built tree, and
// firmware commands sent (from the simulator's journal).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "varu.h"

namespace {

// Groups under "ROOT". The call needs room for every child: as many as the hierarchy has tags (a
// tree another benchmark left standing may hold far more groups than there are adapters).
uint32_t controllers() {
  std::vector<uint32_t> tags(static_cast<size_t>(vx::hierarchy_name_.capacity));
  uint32_t count = 0;
  VARU_get_child_tags(0, tags.data(), &count, VARU_KIND_GROUP);
  return count;
}

void BM_StartUp(benchmark::State& state) {
  const int adapters = static_cast<int>(state.range(0));
  vxbench::Lab lab(adapters, state.range(1) != 0, /*tlvs*/ true);
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  // One measured start for what the tree holds and what was sent.
  lab.clear_journal();
  const vxbench::HeapMeter meter;
  VARU_init();
  const double allocations = meter.allocations();
  const double commands = lab.firmware_commands();
  lab.clear_journal();   // the simulator's record of the commands is not the library's heap
  const double heap = meter.bytes();
  const uint32_t built = controllers();
  VARU_exit();
  if (built != static_cast<uint32_t>(adapters)) {
    state.SkipWithError("not every adapter became a controller");
    return;
  }

  vxbench::SplitTimer timer;
  for (auto _ : state) {
    timer.start();
    VARU_init();
    timer.stop();
    state.PauseTiming();
    VARU_exit();
    state.ResumeTiming();
  }
  const double n = static_cast<double>(adapters);
  state.counters["adapters"] = n;
  timer.report(state, "per_adapter", static_cast<double>(state.iterations()) * n);
  state.counters["heap_bytes_per_adapter"] = heap / n;
  state.counters["allocations_per_adapter"] = allocations / n;
  state.counters["commands_per_adapter"] = commands / n;
}

}  // namespace

// Second argument 1: NIC functions too (every NIC command first re-enumerates the NIC functions,
// so their cost grows with the number of functions); 0: iSCSI functions only.
BENCHMARK(BM_StartUp)
    ->ArgNames({"adapters", "nic"})
    ->ArgsProduct({{1, 4, 8, 16}, {1, 0}})
    ->Unit(benchmark::kMillisecond);
