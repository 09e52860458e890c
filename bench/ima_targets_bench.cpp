// Listing an initiator's targets, static targets, sessions and logical units through the IMA entry
// points, with each object's record, over a logical HBA of n targets with 4 portals each, n / 4
// sessions with their connection and n LUNs (at n = 256: 1024 portals, 64 sessions, 256 LUNs).
// Every property reads its cached value, so what is timed is the front end's walks and the
// hierarchy calls they make. Run at n = 16, 64 and 256: the time per listed object should not grow.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "bench/bench_support.h"
#include "ima.h"
#include "schema/session.h"
#include "support/cached_tree.h"

namespace {

using namespace vx;

constexpr int kPortals = 4;
constexpr uint32_t kOwner = 1;

// n targets under the logical HBA; false when a builder refuses.
bool build(hm_node* lhba, int n) {
  for (int t = 0; t < n; ++t) {
    hm_node* target = initialize_Target(lhba, nullptr, nullptr, nullptr);
    if (target == nullptr) return false;
    set_prop_val(target, "TargetISCSIName", "iqn.2026-01.com.example:bench.%d", t);
    for (int p = 0; p < kPortals; ++p) {
      hm_node* portal = initialize_TargetPortal(target, nullptr, nullptr, nullptr);
      if (portal == nullptr) return false;
      set_prop_val(portal, "TargetIPAddress", "10.1.%d.%d", t, p);
      set_prop_val(portal, "TargetPortNumber", "3260");
    }
    hm_node* lun = initialize_LUN(target, nullptr, nullptr, nullptr);
    if (lun == nullptr) return false;
    set_prop_val(lun, "LUNNumber", "%04x000000000000", t);
    if (t % 4 != 0) continue;
    hm_node* session = initialize_Session(target, nullptr, nullptr, nullptr);
    hm_node* connection = session != nullptr ? initialize_Connection(session, nullptr, nullptr, nullptr) : nullptr;
    if (connection == nullptr) return false;
    set_prop_val(session, "SessionStatus", "Open");
    set_prop_val(connection, "DestinationIPAddress", "10.1.%d.1", t);
    set_prop_val(connection, "DestinationPortNumber", "3260");
  }
  vxtest::cache_values(lhba);
  return true;
}

double g_list_seconds = 0;   // of the listing calls alone

std::vector<IMA_OID> listed(IMA_STATUS (*fn)(IMA_OID, IMA_OID_LIST**), const IMA_OID& of) {
  const auto start = std::chrono::steady_clock::now();
  IMA_OID_LIST* list = nullptr;
  std::vector<IMA_OID> oids;
  if (fn(of, &list) == IMA_STATUS_SUCCESS) oids.assign(list->oids, list->oids + list->oidCount);
  IMA_FreeMemory(list);
  g_list_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return oids;
}

// Lists with `list` and reads each object's record with `get`; the number of objects read.
template <typename Record>
size_t look(IMA_STATUS (*list)(IMA_OID, IMA_OID_LIST**), IMA_STATUS (*get)(IMA_OID, Record*), const IMA_OID& of) {
  size_t read = 0;
  for (const IMA_OID& each : listed(list, of)) {
    Record props;
    read += get(each, &props) == IMA_STATUS_SUCCESS ? 1 : 0;
  }
  return read;
}

size_t sessions_with_connections(const IMA_OID& lhba) {
  size_t read = 0;
  for (const IMA_OID& session : listed(IMA_GetSessionOidList, lhba)) {
    IMA_SESSION_PROPERTIES props;
    read += IMA_GetSessionProperties(session, &props) == IMA_STATUS_SUCCESS ? 1 : 0;
    look(IMA_GetConnectionOidList, IMA_GetConnectionProperties, session);
  }
  return read;
}

enum class What { kTargets, kStaticTargets, kSessions, kLuns };

void run(benchmark::State& state, What what) {
  const int n = static_cast<int>(state.range(0));
  vxbench::Client client(vxbench::Chain::kLogicalHba);
  if (client.lhba() == nullptr || !build(client.lhba(), n)) {
    state.SkipWithError("the initiator could not be built");
    return;
  }
  IMA_VMW_PluginInit(kOwner);
  const IMA_OID lhba{IMA_OBJECT_TYPE_LHBA, kOwner, static_cast<uint32_t>(client.lhba()->tag), 0};
  const size_t expected[] = {static_cast<size_t>(n), static_cast<size_t>(kPortals * n), static_cast<size_t>(n + 3) / 4,
                             static_cast<size_t>(n)};
  size_t objects = 0;
  g_list_seconds = 0;
  for (auto _ : state) {
    switch (what) {
      case What::kTargets: objects = look(IMA_GetTargetOidList, IMA_GetTargetProperties, lhba); break;
      case What::kStaticTargets:
        objects = look(IMA_GetStaticDiscoveryTargetOidList, IMA_GetStaticDiscoveryTargetProperties, lhba);
        break;
      case What::kSessions: objects = sessions_with_connections(lhba); break;
      case What::kLuns: objects = look(IMA_GetLuOidList, IMA_GetLuProperties, lhba); break;
    }
  }
  IMA_VMW_PluginCleanup();
  if (objects != expected[static_cast<int>(what)]) state.SkipWithError("not every object was listed and read");
  state.SetComplexityN(static_cast<int64_t>(objects));
  state.counters["objects"] = static_cast<double>(objects);
  state.counters["list_ns_per_object"] = g_list_seconds * 1e9 / static_cast<double>(state.iterations() * objects);
  state.counters["ns_per_object"] = benchmark::Counter(static_cast<double>(state.iterations() * objects),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ImaTargets(benchmark::State& state) { run(state, What::kTargets); }
void BM_ImaStaticTargets(benchmark::State& state) { run(state, What::kStaticTargets); }
void BM_ImaSessions(benchmark::State& state) { run(state, What::kSessions); }
void BM_ImaLuns(benchmark::State& state) { run(state, What::kLuns); }

BENCHMARK(BM_ImaTargets)->Arg(16)->Arg(64)->Arg(256)->Complexity(benchmark::oN);
BENCHMARK(BM_ImaStaticTargets)->Arg(16)->Arg(64)->Arg(256)->Complexity(benchmark::oN);
BENCHMARK(BM_ImaSessions)->Arg(16)->Arg(64)->Arg(256)->Complexity(benchmark::oN);
BENCHMARK(BM_ImaLuns)->Arg(16)->Arg(64)->Arg(256)->Complexity(benchmark::oN);

}  // namespace
