// Building one controller instance (Vexalon<n> with its 117 nodes below it) under "ROOT" and
// deleting it again, and the heap one instance takes.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/hm.h"
#include "schema/controller.h"
#include "varu.h"

namespace {

using namespace vx;

constexpr int kNodesPerController = 118;
constexpr int kMaxControllers = 16;

// One client of the hierarchy for the length of a benchmark; another benchmark's tree, when one
// stands, is shared and left as it was.
class Client {
 public:
  Client() {
    if (std::getenv("VXIMA_ROOT") == nullptr) {
      std::string root = (std::filesystem::temp_directory_path() / "vxima-bench").string();
      std::filesystem::create_directories(root);
      ::setenv("VXIMA_ROOT", root.c_str(), 1);
    }
    VARU_init();
    root_ = get_node(0);
  }
  ~Client() { VARU_exit(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  hm_node* root() const { return root_; }

 private:
  hm_node* root_ = nullptr;
};

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

    size_t heap_before = mallinfo2().uordblks;
    uint32_t allocations_before = varu_alloc_count();
    for (int i = 1; i < kMaxControllers; ++i) {
      made.push_back(initialize_Vexalon(client.root(), nullptr, nullptr, nullptr));
    }
    double heap = static_cast<double>(mallinfo2().uordblks - heap_before);
    double allocations = static_cast<double>(varu_alloc_count() - allocations_before);
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
