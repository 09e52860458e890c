// Building one controller instance (Vexalon<n> with its 117 nodes below it) under "ROOT" and
// deleting it again, and the heap one instance takes.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_support.h"
#include "engine/hm.h"
#include "schema/controller.h"

namespace {

using namespace vx;

constexpr int kNodesPerController = 118;
constexpr int kMaxControllers = 16;

using vxbench::Client;

void BM_BuildDeleteController(benchmark::State& state) {
  Client client;
  if (client.root() == nullptr) {
    state.SkipWithError("no hierarchy");
    return;
  }
  for (auto _ : state) {
    hm_node* v = initialize_Vexalon(client.root(), nullptr, nullptr, nullptr);
    if (v == nullptr) {
      state.SkipWithError("initialize_Vexalon refused");
      break;
    }
    delete_node(v);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["nodes_per_instance"] = kNodesPerController;
}

// Heap in use (glibc's count, chunk headers included) and allocations per instance, measured over
// the second to sixteenth instance: the tag table has grown beforehand and the instance ring's
// sentinel and number bits exist, so only what each instance brings is counted.
void BM_ControllerMemory(benchmark::State& state) {
  Client client;
  if (client.root() == nullptr) {
    state.SkipWithError("no hierarchy");
    return;
  }
  for (auto _ : state) {
    std::vector<hm_node*> made;
    for (int i = 0; i < kMaxControllers; ++i) made.push_back(initialize_Vexalon(client.root(), nullptr, nullptr, nullptr));
    for (hm_node* v : made) delete_node(v);
    made.clear();
    made.push_back(initialize_Vexalon(client.root(), nullptr, nullptr, nullptr));

    vxbench::HeapMeter meter;
    for (int i = 1; i < kMaxControllers; ++i) {
      made.push_back(initialize_Vexalon(client.root(), nullptr, nullptr, nullptr));
    }
    double heap = meter.bytes();
    double allocations = meter.allocations();
    for (hm_node* v : made) {
      if (v == nullptr) state.SkipWithError("initialize_Vexalon refused");
    }
    for (hm_node* v : made) delete_node(v);

    constexpr double kMeasured = kMaxControllers - 1;
    state.counters["bytes_per_instance"] = heap / kMeasured;
    state.counters["bytes_per_node"] = heap / kMeasured / kNodesPerController;
    state.counters["allocations_per_instance"] = allocations / kMeasured;
  }
}

}  // namespace

BENCHMARK(BM_BuildDeleteController)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ControllerMemory)->Iterations(1);
