// Creating and deleting targets, each with one portal, under one logical HBA: time and heap per
// target for 64, 128 and 256 targets (the per-target cost should not grow with the count).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_support.h"
#include "engine/hm.h"
#include "schema/target.h"

namespace {

using namespace vx;

// `count` targets, each with one portal, made and deleted again under the logical HBA of a client
// of its own. A refusal ends the benchmark with an error.
class Targets {
 public:
  explicit Targets(benchmark::State& state) : state_(state), count_(static_cast<int>(state.range(0))) {
    made_.reserve(static_cast<size_t>(count_));
    if (client_.lhba() == nullptr) state_.SkipWithError("no logical HBA");
  }
  bool ready() const { return client_.lhba() != nullptr; }
  int count() const { return count_; }

  bool make() {
    made_.clear();
    for (int i = 0; i < count_; ++i) {
      hm_node* t = initialize_Target(client_.lhba(), nullptr, nullptr, nullptr);
      if (t == nullptr || initialize_TargetPortal(t, nullptr, nullptr, nullptr) == nullptr) {
        state_.SkipWithError("a builder refused");
        return false;
      }
      made_.push_back(t);
    }
    return true;
  }
  void remove() {
    for (hm_node* t : made_) delete_node(t);
    made_.clear();
  }

 private:
  benchmark::State& state_;
  const int count_;
  vxbench::Client client_{vxbench::Chain::kLogicalHba};
  std::vector<hm_node*> made_;
};

void BM_CreateDeleteTargets(benchmark::State& state) {
  Targets targets(state);
  if (!targets.ready()) return;
  for (auto _ : state) {
    if (!targets.make()) break;
    targets.remove();
  }
  state.SetItemsProcessed(state.iterations() * targets.count());
  state.counters["per_target"] = benchmark::Counter(
      targets.count(), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CreateDeleteTargets)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);

// Heap in use (glibc's count, chunk headers included) and allocations per target with its portal.
// One round of creating and deleting comes first, so that the tag table has grown and the number
// bits exist: only what the targets themselves hold is counted.
void BM_TargetMemory(benchmark::State& state) {
  Targets targets(state);
  if (!targets.ready() || !targets.make()) return;
  targets.remove();

  double bytes = 0;
  double allocations = 0;
  for (auto _ : state) {
    vxbench::HeapMeter meter;
    if (!targets.make()) break;
    bytes = meter.bytes() / targets.count();
    allocations = meter.allocations() / targets.count();
    targets.remove();
  }
  state.counters["heap_bytes_per_target"] = bytes;
  state.counters["allocations_per_target"] = allocations;
}
BENCHMARK(BM_TargetMemory)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);

}  // namespace
