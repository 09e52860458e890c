// Start-up with a saved iSCSI configuration to restore: 1, 4 and 16 simulated adapters with an
// iSCSI function on each of their four ports, every logical HBA with 64 saved targets of two
// portals each, four send-target portals and its initiator options. Reported per restored target
// (in all, and the library's own wall and CPU time without the device calls, and its fsyncs), so
// that a restore linear in what it restores shows as a flat counter.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/bench_support.h"
#include "varu.h"

namespace {

constexpr int kTargetsPerLhba = 64;
constexpr int kPortalsPerTarget = 2;
constexpr int kSendTargetPortalsPerLhba = 4;
constexpr const char* kOptions = "Yes,Yes,None,None,None,,,,";

// The three saved files of every logical HBA of `adapters` adapters.
void write_saved_files(const std::string& root, int adapters) {
  const std::string dir = root + "/scratch/Talvix/";
  std::ofstream targets(dir + "savetgt.txt");
  std::ofstream portals(dir + "savestp.txt");
  std::ofstream initiators(dir + "intr_logopts.txt");
  for (int a = 0; a < adapters; ++a) {
    for (int p = 0; p < vxbench::kLabPorts; ++p) {
      const std::string key = "Vexalon" + std::to_string(a) + ",iSCSIPhysicalHBA" + std::to_string(p) + ",LogicalHBA0,";
      initiators << key << kOptions << ",Prohibited,Prohibited,Prohibited\n";
      for (int t = 0; t < kTargetsPerLhba; ++t) {
        for (int q = 0; q < kPortalsPerTarget; ++q) {
          targets << key << "iqn.2026-01.com.example:bench." << t << ",10." << a << "." << t << "." << q
                  << ",3260,,iqn.1990-07.com.quillmarchant:bench," << kOptions << ",Static,Prohibited,Prohibited,"
                  << "Prohibited\n";
        }
      }
      for (int s = 0; s < kSendTargetPortalsPerLhba; ++s) {
        portals << key << "10.9." << a << "." << s << ",3260,00-1f-4e-00-00-0" << p << "," << kOptions
                << ",Prohibited,Prohibited,Prohibited\n";
      }
    }
  }
}

void BM_StartUpWithRestore(benchmark::State& state) {
  const int adapters = static_cast<int>(state.range(0));
  vxbench::Lab lab(adapters, false);
  const char* root = std::getenv("VXIMA_ROOT");
  if (!lab.ok() || root == nullptr) {
    state.SkipWithError("simulated adapter module not available (build the vxsim target)");
    return;
  }
  // A first start makes the scratch directory; the files then stand for every start measured.
  VARU_init();
  VARU_exit();
  write_saved_files(root, adapters);
  const vxbench::StartUpFootprint footprint(lab);

  const vxbench::SplitTimes timer = vxbench::timed_start_ups(state);
  const double targets = static_cast<double>(adapters) * vxbench::kLabPorts * kTargetsPerLhba;
  state.counters["targets"] = targets;
  state.counters["startup_ms"] = timer.total() * 1e3 / static_cast<double>(state.iterations());
  timer.report(state, "per_target", static_cast<double>(state.iterations()) * targets);
  state.counters["heap_bytes_per_target"] = footprint.heap / targets;
  state.counters["commands_per_target"] = footprint.commands / targets;
}

}  // namespace

BENCHMARK(BM_StartUpWithRestore)->ArgNames({"adapters"})->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
