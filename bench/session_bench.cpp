// Creating and deleting the sessions of one target, each with its connection (and, in the second
// benchmark, one LUN beside each session), as the session walk does when a target's sessions come
// and go. Run at 16, 32 and 64 sessions: the time per session should not grow with the count.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_support.h"
#include "engine/hm.h"
#include "schema/session.h"
#include "schema/target.h"

namespace {

using namespace vx;

int nodes_below(hm_node* node) {
  int n = 1;
  hm_group_data* g = group_data(node);
  if (node->kind != kGroup || g == nullptr) return n;
  for (hm_node* c = g->first_child; c != nullptr && c != node; c = c->next) n += nodes_below(c);
  return n;
}

// Builds `count` sessions with their connections (and a LUN each) under `target`; false when a
// builder refuses.
bool build_all(hm_node* target, int count, bool with_luns, std::vector<hm_node*>* made) {
  made->clear();
  for (int i = 0; i < count; ++i) {
    hm_node* session = initialize_Session(target, nullptr, nullptr, nullptr);
    if (session == nullptr || initialize_Connection(session, nullptr, nullptr, nullptr) == nullptr) return false;
    made->push_back(session);
    if (with_luns) {
      hm_node* lun = initialize_LUN(target, nullptr, nullptr, nullptr);
      if (lun == nullptr) return false;
      made->push_back(lun);
    }
  }
  return true;
}

void delete_all(std::vector<hm_node*>* made) {
  for (hm_node* node : *made) delete_node(node);
  made->clear();
}

void run(benchmark::State& state, bool with_luns) {
  vxbench::Client client(vxbench::Chain::kTarget);
  if (client.target() == nullptr) {
    state.SkipWithError("no target to build under");
    return;
  }
  const int count = static_cast<int>(state.range(0));
  std::vector<hm_node*> made;
  made.reserve(2 * static_cast<size_t>(count));

  // The heap and nodes one session takes (with its connection, and its LUN), measured once.
  vxbench::HeapMeter meter;
  if (!build_all(client.target(), count, with_luns, &made)) {
    state.SkipWithError("a builder refused");
    return;
  }
  const double heap = meter.bytes();
  int nodes = 0;
  for (hm_node* node : made) nodes += nodes_below(node);
  delete_all(&made);

  for (auto _ : state) {
    if (!build_all(client.target(), count, with_luns, &made)) {
      state.SkipWithError("a builder refused");
      break;
    }
    delete_all(&made);
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetComplexityN(count);
  state.counters["bytes_per_session"] = heap / count;
  state.counters["nodes_per_session"] = static_cast<double>(nodes) / count;
  state.counters["ns_per_session"] = benchmark::Counter(static_cast<double>(state.iterations() * count),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SessionsWithConnections(benchmark::State& state) { run(state, false); }
void BM_SessionsWithConnectionsAndLuns(benchmark::State& state) { run(state, true); }

BENCHMARK(BM_SessionsWithConnections)->Arg(16)->Arg(32)->Arg(64)->Complexity(benchmark::oN);
BENCHMARK(BM_SessionsWithConnectionsAndLuns)->Arg(16)->Arg(32)->Arg(64)->Complexity(benchmark::oN);

}  // namespace
