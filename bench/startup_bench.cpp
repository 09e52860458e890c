// Start-up (VARU_init: enumeration of every adapter and the per-controller steps, the port tree of
// every port with its application TLVs included) and shut-down against 1, 4 and 16 simulated
// adapters, each with an iSCSI function on every one of its four ports and, for the first eight (the
// NIC driver's inventory holds eight chips), a NIC function on every port as well; and the same
// adapters with their iSCSI functions only. Reported per adapter, so that linear growth shows as
// flat counters: start-up time (in all, and the library's own wall and CPU time: without the time
// inside the device calls), the library's fsyncs, heap and allocations of the built tree, and
// firmware commands sent (from the simulator's journal).
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "varu.h"

namespace {

void BM_StartUp(benchmark::State& state) {
  const int adapters = static_cast<int>(state.range(0));
  vxbench::Lab lab(adapters, state.range(1) != 0, /*tlvs*/ true);
  if (!lab.ok()) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  vxbench::start_ups_per_adapter(state, lab, adapters);
}

}  // namespace

// Second argument 1: NIC functions too (every NIC command first re-enumerates the NIC functions,
// so their cost grows with the number of functions); 0: iSCSI functions only.
BENCHMARK(BM_StartUp)
    ->ArgNames({"adapters", "nic"})
    ->ArgsProduct({{1, 4, 8, 16}, {1, 0}})
    ->Unit(benchmark::kMillisecond);
