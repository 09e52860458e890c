// The hierarchy engine on trees of 1,000, 10,000 and 100,000 nodes: tag and path lookups, property
// reads and writes through the public calls, and adding then deleting an instance. Each tree has
// the same shape at every size (shelves of 100 instances of 9 properties), so a cost that grows
// with the argument grows with the size of the tree. Apart: the lookup of an instance by its
// shown name among 16, 256 and 4096 instances of one group.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/builder.h"
#include "engine/hm.h"
#include "support/item_rows.h"

namespace {

using namespace vx;

InstanceBits g_shelf_bits;
InstanceBits g_item_bits;
InstanceBits g_unit_bits;

constexpr GroupSpec kItem = group_spec("Item", "", 128, nullptr, vxtest::kItemRows, g_item_bits);
constexpr GroupSpec kShelf = group_spec("Shelf", "", 4096, nullptr, g_shelf_bits);
constexpr GroupSpec kUnit = group_spec("Unit", "", 4096, nullptr, g_unit_bits);

constexpr int kItemsPerShelf = 100;
constexpr int kNodesPerItem = 10;

// A tree of about `nodes` nodes under ROOT for the life of one benchmark run, in a scratch root;
// the heap it takes is measured around the build. The library is stopped again afterwards, so
// benchmarks that start it themselves find it stopped.
struct Tree {
  explicit Tree(int count) {
    hm_node* top = get_node(0);
    vxbench::HeapMeter meter;
    int made = 0;
    while (made < count) {
      hm_node* shelf = build_instance(kShelf, top, nullptr, nullptr, nullptr);
      if (first_shelf == nullptr) first_shelf = shelf;
      ++made;
      for (int i = 0; i < kItemsPerShelf && made < count; ++i) {
        build_instance(kItem, shelf, nullptr, nullptr, nullptr);
        made += kNodesPerItem;
      }
    }
    bytes_per_node = meter.bytes() / made;
    nodes = made;
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  vxbench::ScratchRoot root{"vxima-bench-"};
  vxbench::Started library;
  int nodes = 0;
  hm_node* first_shelf = nullptr;
  double bytes_per_node = 0;
};

void BM_TagLookup(benchmark::State& state) {
  Tree t(static_cast<int>(state.range(0)));
  char name[vx::kNameSize];
  int32_t tag = 5;
  for (auto _ : state) {
    benchmark::DoNotOptimize(VARU_get_node_name(tag, name, VARU_KIND_PROPERTY));
  }
}

void BM_PathLookup(benchmark::State& state) {
  Tree t(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    uint32_t shelf = 0, item = 0, prop = 0;
    VARU_get_node_tag(0, "Shelf0", &shelf, VARU_KIND_GROUP);
    VARU_get_node_tag(static_cast<int32_t>(shelf), "Item50", &item, VARU_KIND_GROUP);
    VARU_get_node_tag(static_cast<int32_t>(item), "P5", &prop, VARU_KIND_PROPERTY);
    benchmark::DoNotOptimize(prop);
  }
}

void BM_PropertyGet(benchmark::State& state) {
  Tree t(static_cast<int>(state.range(0)));
  hm_node* item = internal_get_node(t.first_shelf, "Item50", kGroup);
  hm_node* prop = internal_get_node(item, "P0", kProperty);
  char buf[256];
  for (auto _ : state) {
    benchmark::DoNotOptimize(VARU_get_property_val(static_cast<uint32_t>(item->tag),
                                                   static_cast<uint32_t>(prop->tag), buf, sizeof buf));
  }
}

void BM_PropertySet(benchmark::State& state) {
  Tree t(static_cast<int>(state.range(0)));
  hm_node* item = internal_get_node(t.first_shelf, "Item50", kGroup);
  hm_node* prop = internal_get_node(item, "P4", kProperty);
  char value[] = "512";
  for (auto _ : state) {
    benchmark::DoNotOptimize(VARU_set_property_val(static_cast<uint32_t>(item->tag), prop->tag, value, sizeof value));
  }
}

void BM_AddDeleteInstance(benchmark::State& state) {
  Tree t(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    hm_node* item = build_instance(kItem, t.first_shelf, nullptr, nullptr, nullptr);
    delete_node(item);
  }
  hm_node* probe = build_instance(kItem, t.first_shelf, nullptr, nullptr, nullptr);
  delete_node(probe);
}

// VARU_get_node_tag of "Unit<k>" under "ROOT", every k of n instances in turn: the time per
// lookup should not grow with n.
void BM_InstanceNameLookup(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const vxbench::ScratchRoot root("vxima-bench-");
  const vxbench::Started library;
  std::vector<std::string> names;
  for (int k = 0; k < n; ++k) {
    if (build_instance(kUnit, get_node(0), nullptr, nullptr, nullptr) == nullptr) break;
    names.push_back("Unit" + std::to_string(k));
  }
  if (names.size() != static_cast<size_t>(n)) {
    state.SkipWithError("an instance was not made");
    return;
  }
  size_t next = 0;
  uint32_t found = 0;
  for (auto _ : state) {
    uint32_t tag = 0;
    found += VARU_get_node_tag(0, names[next].c_str(), &tag, VARU_KIND_GROUP) == VARU_OK ? 1 : 0;
    next = next + 1 == names.size() ? 0 : next + 1;
  }
  if (found != state.iterations()) state.SkipWithError("an instance was not found");
}

// Heap bytes per node of the tree (node records, data blocks, tag table growth, bitfields).
void BM_MemoryPerNode(benchmark::State& state) {
  Tree t(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(t.nodes);
  state.counters["bytes_per_node"] = t.bytes_per_node;
}

BENCHMARK(BM_TagLookup)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_PathLookup)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_PropertyGet)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_PropertySet)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_AddDeleteInstance)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_InstanceNameLookup)->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK(BM_MemoryPerNode)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1);

}  // namespace
