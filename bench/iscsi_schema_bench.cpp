// Creating and deleting targets, each with one portal, under one logical HBA: time and heap per
// target for 64, 128 and 256 targets (the per-target cost should not grow with the count).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/hm.h"
#include "schema/controller.h"
#include "schema/iscsi_phba.h"
#include "schema/logical_hba.h"
#include "schema/target.h"
#include "varu.h"

namespace {

using namespace vx;

// A client of the hierarchy with one controller, one iSCSI physical HBA and its logical HBA.
class InitiatorTree {
 public:
  InitiatorTree() {
    if (std::getenv("VXIMA_ROOT") == nullptr) {
      std::string root = (std::filesystem::temp_directory_path() / "vxima-bench").string();
      std::filesystem::create_directories(root);
      ::setenv("VXIMA_ROOT", root.c_str(), 1);
    }
    VARU_init();
    hm_node* root = get_node(0);
    if (root == nullptr) return;
    vexalon_ = initialize_Vexalon(root, nullptr, nullptr, nullptr);
    hm_node* phba = vexalon_ != nullptr ? initialize_iSCSIPhysicalHBA(vexalon_, nullptr, nullptr, nullptr) : nullptr;
    lhba_ = phba != nullptr ? initialize_LogicalHBA(phba, nullptr, nullptr, nullptr) : nullptr;
  }
  ~InitiatorTree() {
    if (vexalon_ != nullptr) delete_node(vexalon_);
    VARU_exit();
  }
  InitiatorTree(const InitiatorTree&) = delete;
  InitiatorTree& operator=(const InitiatorTree&) = delete;
  hm_node* lhba() const { return lhba_; }

 private:
  hm_node* vexalon_ = nullptr;
  hm_node* lhba_ = nullptr;
};

// `count` targets with one portal each; false when a builder refused.
bool make_targets(hm_node* lhba, int count, std::vector<hm_node*>* made) {
  made->clear();
  for (int i = 0; i < count; ++i) {
    hm_node* t = initialize_Target(lhba, nullptr, nullptr, nullptr);
    if (t == nullptr || initialize_TargetPortal(t, nullptr, nullptr, nullptr) == nullptr) return false;
    made->push_back(t);
  }
  return true;
}

void delete_targets(std::vector<hm_node*>* made) {
  for (hm_node* t : *made) delete_node(t);
  made->clear();
}

void BM_CreateDeleteTargets(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  InitiatorTree tree;
  if (tree.lhba() == nullptr) {
    state.SkipWithError("no logical HBA");
    return;
  }
  std::vector<hm_node*> made;
  made.reserve(static_cast<size_t>(count));
  for (auto _ : state) {
    if (!make_targets(tree.lhba(), count, &made)) {
      state.SkipWithError("a builder refused");
      break;
    }
    delete_targets(&made);
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["per_target"] =
      benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CreateDeleteTargets)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);

// Heap in use (glibc's count, chunk headers included) and allocations per target with its portal.
// One round of creating and deleting comes first, so that the tag table has grown and the number
// bits exist: only what the targets themselves hold is counted.
void BM_TargetMemory(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  InitiatorTree tree;
  if (tree.lhba() == nullptr) {
    state.SkipWithError("no logical HBA");
    return;
  }
  std::vector<hm_node*> made;
  made.reserve(static_cast<size_t>(count));
  if (!make_targets(tree.lhba(), count, &made)) {
    state.SkipWithError("a builder refused");
    return;
  }
  delete_targets(&made);

  double bytes = 0;
  double allocations = 0;
  for (auto _ : state) {
    size_t heap_before = mallinfo2().uordblks;
    uint32_t allocations_before = varu_alloc_count();
    if (!make_targets(tree.lhba(), count, &made)) {
      state.SkipWithError("a builder refused");
      break;
    }
    bytes = static_cast<double>(mallinfo2().uordblks - heap_before) / count;
    allocations = static_cast<double>(varu_alloc_count() - allocations_before) / count;
    delete_targets(&made);
  }
  state.counters["heap_bytes_per_target"] = bytes;
  state.counters["allocations_per_target"] = allocations;
}
BENCHMARK(BM_TargetMemory)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);

}  // namespace
